// Tests of the 'FNAM' stream codec: the known bytes of a stream, refusals, round trips of what
// the writer can write, streams compressed by an independent encoder (tests/support/
// scsu_encode.py run by the system's Python), the reader's tags one by one, and that no prefix of
// a valid stream is read past its end.
#include "plugin/clsFNAMParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::u16string Units;
typedef std::vector<unsigned char> Bytes;

Units TextUnits(fmx::Text const& text) {
  Units units(text.GetSize(), 0);
  if (!units.empty()) text.GetUnicode(reinterpret_cast<fmx::unichar16*>(&units[0]), 0, text.GetSize());
  return units;
}

void SetUnits(fmx::Text& text, Units const& units) {
  text.AssignUnicodeWithLength(reinterpret_cast<fmx::unichar16 const*>(units.data()), fmx::uint32(units.size()));
}

Bytes Write(Units const& protocol, Units const& path, Units const& name, std::string* error = nullptr) {
  clsFNAMParser parser;
  SetUnits(*parser.m_txtProtocol, protocol);
  SetUnits(*parser.m_txtPath, path);
  SetUnits(*parser.m_txtFileName, name);
  unsigned int length = 99;
  std::unique_ptr<unsigned char[]> stream(parser.Get(&length));
  if (error) *error = parser.ErrorString().c_str();
  if (!stream) {
    EXPECT_EQ(0u, length);
    return Bytes();
  }
  return Bytes(stream.get(), stream.get() + length);
}

// Parses a copy of exactly the given bytes, so that a read past them is seen by the sanitizers.
bool Read(Bytes const& bytes, Units* protocol, Units* path, Units* name, std::string* error = nullptr) {
  std::unique_ptr<unsigned char[]> exact(bytes.empty() ? nullptr : new unsigned char[bytes.size()]);
  if (exact) std::copy(bytes.begin(), bytes.end(), exact.get());
  clsFNAMParser parser;
  bool const ok = parser.Set(exact.get(), unsigned(bytes.size()));
  if (error) *error = parser.ErrorString().c_str();
  if (protocol) *protocol = TextUnits(*parser.m_txtProtocol);
  if (path) *path = TextUnits(*parser.m_txtPath);
  if (name) *name = TextUnits(*parser.m_txtFileName);
  return ok;
}

Bytes Masked(Bytes bytes) {
  for (unsigned char& b : bytes) b ^= 0x1D;
  return bytes;
}

// A stream of one reference from the compressed (unmasked) bytes of three texts.
Bytes Stream(std::vector<std::pair<size_t, Bytes>> const& texts) {
  Bytes stream = {0, 0, 0, 1};
  for (auto const& text : texts) {
    stream.push_back(static_cast<unsigned char>(text.first));
    Bytes const masked = Masked(text.second);
    stream.insert(stream.end(), masked.begin(), masked.end());
  }
  return stream;
}

std::string Hex(std::string const& utf8) {
  static char const digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : utf8) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

// The independent encoder's bytes for each text.
std::vector<Bytes> Encode(std::vector<std::string> const& texts) {
  std::string command = "/usr/bin/python3 " VELMORA_SOURCE_DIR "/tests/support/scsu_encode.py";
  for (auto const& text : texts) command += " " + Hex(text);
  std::vector<Bytes> encoded;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return encoded;
  char line[4096];
  while (fgets(line, sizeof line, pipe)) {
    Bytes bytes;
    for (char const* p = line; p[0] && p[1] && p[0] != '\n'; p += 2) {
      bytes.push_back(static_cast<unsigned char>(std::stoi(std::string(p, 2), nullptr, 16)));
    }
    encoded.push_back(bytes);
  }
  EXPECT_EQ(0, pclose(pipe));
  return encoded;
}

Units FromUtf8(std::string const& utf8) {
  Units units;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char const c = utf8[i];
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += extra + 1;
    if (cp >= 0x10000) {
      units += char16_t(0xD800 + ((cp - 0x10000) >> 10));
      units += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      units += char16_t(cp);
    }
  }
  return units;
}

}  // namespace

TEST(clsFNAMParserTest, WritesTheKnownStreamAndReadsTheFirstOfAnyCount) {
  Bytes const known = {0x00, 0x00, 0x00, 0x01, 0x07, 0x7B, 0x74, 0x71, 0x78, 0x70, 0x7C, 0x7E, 0x03, 0x06,
                       0x75, 0x9D, 0x7C, 0x9D, 0x01, 0x7F};
  EXPECT_EQ(known, Write(u"filemac", u"/a/", u"b"));

  for (unsigned char count : {1, 2, 255}) {
    Bytes stream = known;
    stream[3] = count;
    stream[0] = count == 255 ? 0x80 : 0;
    stream.push_back(0x42);  // a second reference is never read
    Units protocol, path, name;
    ASSERT_TRUE(Read(stream, &protocol, &path, &name)) << int(count);
    EXPECT_EQ(u"filemac", protocol);
    EXPECT_EQ(u"/a/", path);
    EXPECT_EQ(u"b", name);
  }
}

TEST(clsFNAMParserTest, RefusesACountOfZeroAndAShortStream) {
  struct stcCase {
    Bytes stream;
    char const* error;
  };
  char const* const none = "The FileName Stream did not contain any File References.";
  char const* const cut = "The FileName Stream ended before its File Reference did.";
  std::vector<stcCase> const cases = {
      {{0, 0, 0, 0}, none},
      {{0, 0, 0, 0, 0x07, 0x7B, 0x74, 0x71, 0x78, 0x70, 0x7C, 0x7E, 0x00, 0x00}, none},
      {{0, 0, 0}, cut},
      {{}, cut},
      {{0, 0, 0, 1, 0, 0}, cut},               // no file-name length
      {{0, 0, 0, 1, 0, 0, 2, 0x7C}, cut},       // one unit of two
      {{0, 0, 0, 1, 0, 0, 1, 0x0E ^ 0x1D}, cut},  // a quote without its unit
  };
  for (auto const& c : cases) {
    clsFNAMParser parser;
    SetUnits(*parser.m_txtFileName, u"kept");
    std::unique_ptr<unsigned char[]> exact(c.stream.empty() ? nullptr : new unsigned char[c.stream.size()]);
    std::copy(c.stream.begin(), c.stream.end(), exact.get());
    EXPECT_FALSE(parser.Set(exact.get(), unsigned(c.stream.size())));
    EXPECT_STREQ(c.error, parser.ErrorString().c_str());
    EXPECT_EQ(u"kept", TextUnits(*parser.m_txtFileName)) << "a refused stream changes nothing";
  }
}

TEST(clsFNAMParserTest, WhatTheWriterWritesReadsBackUnchanged) {
  Units controls, latin1, cjkPath = u"/";
  for (char16_t u = 0; u < 0x20; ++u) controls += u;
  for (char16_t u = 0x80; u <= 0xFF; ++u) latin1 += u;
  for (int i = 0; i < 40; ++i) cjkPath += u"\u65E5\u672C/";  // 120 units, 280 compressed bytes
  struct stcCase {
    Units protocol, path, name;
  };
  std::vector<stcCase> const cases = {
      {u"filemac", u"/Users/ann/Documents/Invoices 2024/", u"report.pdf"},
      {u"imagewin", u"/C:/Pictures/", Units(130, u'x') + u".jpg"},
      {u"filemac", cjkPath, u"\u65E5\u672C\u8A9E \u0416.txt"},
      {u"filemac", u"/a/", u"a/b.pdf"},                            // a slash of the name stays plain
      {controls, u"/x" + controls + u"/", controls},               // tags if written as bytes
      {latin1, u"/" + latin1 + u"/", latin1},                      // window 3 in the folder path
      {u"\u00E9", u"/\uE001\uFFFF\U0001D11E/", u"\U0001D11E\u0100"},
      {u"", u"", u""},
      {u"f", u"", u"name"},                                        // an empty folder path
      {Units(255, u'p'), Units(255, u'/'), Units(255, u'\u4E00')},  // the longest texts
  };
  for (auto const& c : cases) {
    std::string error;
    Bytes const stream = Write(c.protocol, c.path, c.name, &error);
    ASSERT_FALSE(stream.empty()) << error;
    Units protocol, path, name;
    ASSERT_TRUE(Read(stream, &protocol, &path, &name, &error)) << error;
    EXPECT_EQ(c.protocol, protocol);
    EXPECT_EQ(c.path, path);
    EXPECT_EQ(c.name, name);

    // Every proper prefix is refused without a read past its end.
    for (size_t n = 0; n < stream.size(); ++n) {
      EXPECT_FALSE(Read(Bytes(stream.begin(), stream.begin() + n), nullptr, nullptr, nullptr)) << n;
    }
  }
}

TEST(clsFNAMParserTest, RefusesATextOfMoreThan255UnitsWithoutCuttingIt) {
  for (int which = 0; which < 3; ++which) {
    Units texts[3] = {u"filemac", u"/a/", u"b"};
    texts[which] = Units(256, u'n');
    std::string error;
    EXPECT_TRUE(Write(texts[0], texts[1], texts[2], &error).empty()) << which;
    EXPECT_EQ("A File Reference text is longer than 255 characters and does not fit the FileName Stream.", error);
  }
}

TEST(clsFNAMParserTest, ReadsStreamsOfAnIndependentEncoder) {
  // Texts that need: the Cyrillic window, a defined window, the Hiragana window, quotes from a
  // static window, Unicode mode (with a unit quoted there), and an extended window.
  std::vector<std::string> const texts = {
      "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80.txt",
      "/\xCE\xB1\xCE\xB2\xCE\xB3/\xD0\x94/",
      "\xE3\x81\xB2\xE3\x82\x89\xE3\x81\x8C\xE3\x81\xAA a\xE2\x82\xAC\x62",
      "\xE4\xB8\xAD\xE6\x96\x87\xE6\x96\x87\xE4\xBB\xB6\xEE\x84\xA3.pdf",
      "\xF0\x9D\x84\x9E music \xF0\x9D\x84\xA2",
      "tab\there\x01",
  };
  std::vector<Bytes> const encoded = Encode(texts);
  ASSERT_EQ(texts.size(), encoded.size()) << "the encoder did not run";
  for (size_t i = 0; i < texts.size(); ++i) {
    Units const expected = FromUtf8(texts[i]);
    Bytes const stream = Stream({{1, {'f'}}, {expected.size(), encoded[i]}, {expected.size(), encoded[i]}});
    Units path, name;
    std::string error;
    ASSERT_TRUE(Read(stream, nullptr, &path, &name, &error)) << texts[i] << ": " << error;
    EXPECT_EQ(expected, name) << texts[i];
    EXPECT_EQ(expected, path) << texts[i];
    for (size_t n = 0; n < stream.size(); ++n) {
      EXPECT_FALSE(Read(Bytes(stream.begin(), stream.begin() + n), nullptr, nullptr, nullptr));
    }
  }
  // The encoder used the tags this test is about.
  auto holds = [&](size_t i, Bytes const& tag) {
    return std::search(encoded[i].begin(), encoded[i].end(), tag.begin(), tag.end()) != encoded[i].end();
  };
  EXPECT_TRUE(holds(0, {0x12}));        // change to the Cyrillic window
  EXPECT_TRUE(holds(3, {0x0F}));        // Unicode mode
  EXPECT_TRUE(holds(3, {0xF0, 0xE1}));  // a unit quoted in Unicode mode
  EXPECT_TRUE(holds(4, {0x0B}));        // an extended window
}

TEST(clsFNAMParserTest, DecodesEachTagOfTheScheme) {
  struct stcCase {
    char const* what;
    Bytes bytes;  // unmasked
    unsigned int count;
    Units expected;
    unsigned int consumed;
  };
  std::vector<stcCase> const cases = {
      {"controls that are characters", {0x00, 0x09, 0x0A, 0x0D, 0x41}, 5, Units(u"\0\t\n\rA", 5), 5},
      {"initial window 0", {0x80, 0xFF}, 2, u"\u0080\u00FF", 2},
      {"quote from a static window", {0x06, 0x2C}, 1, u"\u20AC", 2},
      {"quote from a dynamic window", {0x03, 0x90}, 1, u"\u0410", 2},
      {"change window", {0x15, 0x82, 0x41}, 2, u"\u3042A", 3},
      {"initial window 1 used undefined", {0x11, 0x81}, 1, u"\u00C1", 2},
      {"define window", {0x1A, 0x07, 0xB1}, 1, u"\u03B1", 3},
      {"define window above Hangul", {0x19, 0x68, 0x85}, 1, u"\uE005", 3},
      {"define window, fixed offsets", {0x18, 0xF9, 0x80, 0x18, 0xFF, 0x81}, 2, u"\u00C0\uFF61", 6},
      {"a reserved offset keeps the window", {0x1A, 0x00, 0x90, 0x1A, 0xA8, 0x91}, 2, u"\u0410\u0411", 6},
      {"extended window", {0x0B, 0x41, 0xA2, 0x9E}, 2, u"\U0001D11E", 4},
      {"quote from an extended window", {0x0B, 0x41, 0xA2, 0x41, 0x03, 0x9E}, 3, u"A\U0001D11E", 6},
      {"quote a unit", {0x0E, 0xE0, 0x00, 0x0E, 0x00, 0x01}, 2, u"\uE000\u0001", 6},
      {"a reserved byte is skipped", {0x0C, 0x41}, 1, u"A", 2},
      {"Unicode mode and back", {0x0F, 0x4E, 0x2D, 0xF0, 0xE1, 0x23, 0xF2, 0xE2, 0x80}, 3, u"\u4E2D\uE123\u0400", 9},
      {"Unicode mode, define window", {0x0F, 0xE9, 0x07, 0xB2}, 1, u"\u03B2", 4},
      {"Unicode mode, extended window", {0x0F, 0xF1, 0x01, 0xA2, 0x9E}, 2, u"\U0001D11E", 5},
      {"a supplementary character beyond the count", {0x0B, 0x01, 0xA2, 0x9E, 0x41}, 1, u"\U0001D11E", 4},
      {"tags after the last unit are not read", {0x41, 0x0F}, 1, u"A", 1},
      {"nothing wanted", {0x41}, 0, u"", 0},
  };
  for (auto const& c : cases) {
    Bytes const masked = Masked(c.bytes);
    std::unique_ptr<unsigned char[]> exact(new unsigned char[masked.size()]);
    std::copy(masked.begin(), masked.end(), exact.get());
    clsFNAMParser parser;
    unsigned int consumed = 99;
    std::unique_ptr<unsigned short[]> units(parser.DecodeUnicode(exact.get(), unsigned(masked.size()), c.count, &consumed));
    ASSERT_TRUE(units) << c.what << ": " << parser.ErrorString().c_str();
    EXPECT_EQ(c.expected, Units(reinterpret_cast<char16_t const*>(units.get()), c.expected.size())) << c.what;
    EXPECT_EQ(0, units[c.expected.size()]) << c.what;
    EXPECT_EQ(c.consumed, consumed) << c.what;
  }
}
