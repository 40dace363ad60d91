// Fuzz target: any subject, To and CC entries, attachment display name and extra headers
// through the header block and the writer, and any bytes through SplitEmailAddress. No line
// may hold a NUL, and every CR LF inside a line must be a fold (followed by a blank) with no
// other CR or LF; the message must reach ".". Input: byte 0 picks the charset; the rest are
// UTF-16 units, fields separated by U+FFFF in the order subject, To, To, CC, name, extra,
// extra (missing fields are empty).
// The File Manager stand-in's root is a temporary folder made at start-up (the preferences live
// there), so nothing outside it is touched.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/MimeFuzzInput.h"
#include "mime/clsSMTPEmail.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFDate.h"

// The fields no operation of the message fills.
class clsSMTPEmailTestAccess {
 public:
  static void AddTo(clsSMTPEmail& m, UniStringList* clsSMTPEmail::*list, UniString const& entry) {
    if (m.*list == nullptr) m.*list = new UniStringList;
    (m.*list)->Add(entry);
  }
  static void Fill(clsSMTPEmail& m, std::vector<UniString> const& fields, UniString const& charset) {
    m.m_ustrCharSet = charset;
    m.SetSubject(fields[0]);
    m.AddTo(fields[1]);
    AddTo(m, &clsSMTPEmail::m_pulstTos, fields[2]);
    AddTo(m, &clsSMTPEmail::m_pulstCCs, fields[3]);
    m.AddAttachment(fields[4] + UniString("=/data/f.bin"));
    AddTo(m, &clsSMTPEmail::m_pulstExtraHeaders, fields[5]);
    AddTo(m, &clsSMTPEmail::m_pulstExtraHeaders, UniString("X-Fuzz=") + fields[6]);
    m.m_ustrFrom = fields[1];
    m.m_ustrRecordID = fields[6];
  }
};

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckLine(AnsiString const& line) {
  char const* p = line.c_str();
  int const n = line.Length();
  for (int i = 0; i < n; ++i) {
    Check(p[i] != 0);
    if (p[i] == '\r') Check(i + 2 < n && p[i + 1] == '\n' && p[i + 2] == ' ');
    if (p[i] == '\n') Check(i > 0 && p[i - 1] == '\r');
  }
}

char const* const kCharSets[] = {"UTF-8", "ISO-8859-1", "ISO-2022-JP", "GB2312", "KOI8-R", "WINDOWS-1253"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/fuzz-mimeheaders-XXXXXX";
  char* root = mkdtemp(pattern);
  if (root == nullptr) std::abort();
  std::string const base = root;
  for (char const* dir : {"/data", "/prefs"}) mkdir((base + dir).c_str(), 0700);
  FILE* file = fopen((base + "/data/f.bin").c_str(), "w");
  if (file == nullptr) std::abort();
  fputs("attached", file);
  fclose(file);
  if (FSStandInSetRoot(base.c_str()) != noErr) std::abort();
  // No temporary folder can be made below a file: the attachment's start fails, so no run
  // leaves a file (or a file reference) behind; its header lines are made all the same.
  FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/data/f.bin/chew");
  FSStandInSetFolder(kUserDomain, kTemporaryFolderType, "/data/f.bin/temp");
  FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs");
  CFAbsoluteTimeSetCurrentForTesting(800000000.0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  // SplitEmailAddress on the raw bytes: the pieces come from the text.
  AnsiString const raw(reinterpret_cast<char const*>(data), int(size));
  AnsiString name, address, rest;
  clsSMTPEmail::SplitEmailAddress(raw, &name, &address, &rest);
  Check(name.Length() + address.Length() + rest.Length() <= raw.Length());

  std::vector<UniString> fields = MimeFuzzTexts(data, size, 1);
  while (fields.size() < 7) fields.push_back(UniString());

  clsSMTPEmail message;
  clsSMTPEmailTestAccess::Fill(message, fields, UniString(kCharSets[data[0] % 6]));
  message.SetLocalHost(AnsiString("host.example"));
  if (message.GenerateEmail().IsNotEmpty()) {
    // Only a display name holding "=" moves the path.
    Check(fields[4].Pos(static_cast<unsigned short>('=')) > 0);
    return 0;
  }
  for (int i = 0;; ++i) {
    Check(i < 100000);
    AnsiString const line = message.GetLine();
    CheckLine(line);
    if (line == AnsiString(".")) break;
  }
  return 0;
}
