// MimeCheck: runs the independent checker (tools/mimecheck/mimecheck.py, under Debian's
// /usr/bin/python3) on bytes the tests made, and reads back its "key<TAB>value" rows.
// Records going in and values coming out are escaped the checker's way (a backslash doubled,
// every byte outside printable ASCII as \xHH). Header-only; a checker that cannot run answers
// no rows, which the tests' expectations then show.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/AnsiString.h"
#include "core/UniString.h"

namespace mimecheck {

inline std::string Bytes(AnsiString const& s) { return std::string(s.c_str(), size_t(s.Length())); }
inline AnsiString Ansi(std::string const& s) { return AnsiString(s.data(), int(s.size())); }
inline std::string Utf8(UniString const& s) { return Bytes(s.GetAnsiString(1)); }
// UTF-8 to UTF-16 with four-byte sequences as surrogate pairs (the tests' own decoder).
inline UniString Uni(std::string const& utf8) {
  std::vector<unsigned short> units;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = c;
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (n > 1) cp = c & (0x7F >> n);
    for (size_t k = 1; k < n && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      units.push_back(static_cast<unsigned short>(0xD800 + ((cp - 0x10000) >> 10)));
      units.push_back(static_cast<unsigned short>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<unsigned short>(cp));
    }
  }
  return units.empty() ? UniString() : UniString(units.data(), int(units.size()));
}

// Lower-case hexadecimal, as the checker prints a part's bytes.
inline std::string Hex(std::string const& bytes) {
  static char const kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

inline std::string Escape(std::string const& bytes) {
  static char const kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

inline std::string Unescape(std::string const& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out += char(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct stcRows {
  std::vector<std::pair<std::string, std::string>> rows;

  // The first value of a key, or "<missing key>".
  std::string Get(std::string const& key) const {
    for (auto const& row : rows) {
      if (row.first == key) return row.second;
    }
    return "<missing " + key + ">";
  }
  bool Has(std::string const& key) const {
    for (auto const& row : rows) {
      if (row.first == key) return true;
    }
    return false;
  }
  // The values of every row, in order (for the record commands).
  std::vector<std::string> Values() const {
    std::vector<std::string> values;
    for (auto const& row : rows) values.push_back(row.first == "!error" ? "!error " + row.second : row.second);
    return values;
  }
};

// Runs "mimecheck.py <command> [codec] FILE [flag]" with the file holding input.
inline stcRows Run(std::string const& command, std::string const& input, std::string const& codec = "",
                   std::string const& flag = "") {
  stcRows result;
  char path[] = "/tmp/mimecheck-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return result;
  size_t done = 0;
  while (done < input.size()) {
    ssize_t n = write(fd, input.data() + done, input.size() - done);
    if (n <= 0) break;
    done += size_t(n);
  }
  close(fd);
  std::string cmd = "/usr/bin/python3 " VELMORA_SOURCE_DIR "/tools/mimecheck/mimecheck.py " + command + " ";
  if (!codec.empty()) cmd += codec + " ";
  cmd += path;
  if (!flag.empty()) cmd += " " + flag;
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe != nullptr) {
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    size_t start = 0;
    while (start < out.size()) {
      size_t end = out.find('\n', start);
      if (end == std::string::npos) end = out.size();
      std::string line = out.substr(start, end - start);
      size_t tab = line.find('\t');
      if (tab != std::string::npos) result.rows.emplace_back(line.substr(0, tab), Unescape(line.substr(tab + 1)));
      start = end + 1;
    }
  }
  unlink(path);
  return result;
}

// Several messages given as DATA phases (each ending in a "." line), read in one run; the rows
// of each come back without their "N/" prefix.
inline std::vector<stcRows> RunMessages(std::vector<std::string> const& wires) {
  std::string input;
  for (auto const& wire : wires) input += wire;
  stcRows const all = Run("message", input, "", "--data");
  std::vector<stcRows> result(wires.size());
  for (auto const& row : all.rows) {
    size_t number = 0;
    std::string key = row.first;
    size_t const slash = key.find('/');
    if (slash != std::string::npos && slash > 0 && key.find_first_not_of("0123456789") == slash) {
      number = size_t(std::stoul(key.substr(0, slash)));
      key = key.substr(slash + 1);
    }
    if (number < result.size()) result[number].rows.emplace_back(key, row.second);
  }
  return result;
}

// One record per element, for the words, qp, encode and decode commands.
inline std::vector<std::string> RunRecords(std::string const& command, std::vector<std::string> const& records,
                                           std::string const& codec = "", std::string const& flag = "") {
  std::string input;
  for (auto const& record : records) input += Escape(record) + "\n";
  return Run(command, input, codec, flag).Values();
}

}  // namespace mimecheck
