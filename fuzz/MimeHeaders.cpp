// Fuzz target: any subject, To and CC entries, attachment display name, extra headers, text
// body, HTML body and text footer through the header block and the writer, and any bytes
// through SplitEmailAddress. No line may hold a NUL, and every CR LF inside a line must be a
// fold (followed by a blank or tab) or end it, with no other CR or LF; every physical line is at most
// 998 bytes; a line beginning with "." is dot-stuffed; a line of a quoted-printable part is at
// most 76 characters once unstuffed; only the writer's boundary states give lines that begin
// like a boundary of the message (outside ISO-2022-JP, which has no quoted-printable, no part
// line begins "--= " at all); the message must reach ".". Input: byte 0 picks the charset; the rest are
// UTF-16 units, fields separated by U+FFFF in the order subject, To, To, CC, name, extra,
// extra, text body, HTML body, text footer (missing fields are empty).
// The File Manager stand-in's root is a temporary folder made at start-up (the preferences live
// there), so nothing outside it is touched.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
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
    UniStringList text;
    text.Add(fields[7]);
    m.AddTextBody(&text);
    if (fields[8].IsNotEmpty()) AddTo(m, &clsSMTPEmail::m_pulstHTMLBody, fields[8]);
    if (fields[9].IsNotEmpty()) AddTo(m, &clsSMTPEmail::m_pulstTextFooter, fields[9]);
  }
  static int32_t State(clsSMTPEmail& m) { return m.m_lngWriterState; }
  static std::string UniqueID(clsSMTPEmail& m) { return std::string(m.m_astrUniqueID.c_str(), size_t(m.m_astrUniqueID.Length())); }
};

namespace {

// Aborts, naming the line of the check that failed.
void Check(bool condition, int line = __builtin_LINE()) {
  if (condition) return;
  fprintf(stderr, "%s:%d: check failed\n", __FILE__, line);
  std::abort();
}

void CheckLine(AnsiString const& line) {
  char const* p = line.c_str();
  int const n = line.Length();
  int start = 0;
  for (int i = 0; i < n; ++i) {
    Check(p[i] != 0);
    if (p[i] == '\r') {
      // A fold, or the line end that ends a multipart Content-Type text or the preamble.
      Check(i + 1 < n && p[i + 1] == '\n' && (i + 2 == n || p[i + 2] == ' ' || p[i + 2] == '\t'));
      Check(i - start <= 998);
      start = i + 2;
    }
    if (p[i] == '\n') Check(i > 0 && p[i - 1] == '\r');
  }
  Check(n - start <= 998);
  if (n > 0 && p[0] == '.') Check(n == 1 || p[1] == '.');
}

bool StartsWith(std::string_view line, std::string const& start) { return line.compare(0, start.size(), start) == 0; }

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
  while (fields.size() < 10) fields.push_back(UniString());

  clsSMTPEmail message;
  clsSMTPEmailTestAccess::Fill(message, fields, UniString(kCharSets[data[0] % 6]));
  message.SetLocalHost(AnsiString("host.example"));
  if (message.GenerateEmail().IsNotEmpty()) {
    // Only a display name holding "=" moves the path.
    Check(fields[4].Pos(static_cast<unsigned short>('=')) > 0);
    return 0;
  }
  bool const jp = data[0] % 6 == 2;
  bool qp = false;  // the part being written is quoted-printable
  std::string boundaries[3];
  for (int i = 0;; ++i) {
    Check(i < 100000);
    int32_t const state = clsSMTPEmailTestAccess::State(message);
    AnsiString const line = message.GetLine();
    CheckLine(line);
    if (line == AnsiString(".")) break;
    std::string_view const text(line.c_str(), size_t(line.Length()));
    if (boundaries[0].empty()) {
      std::string const id = clsSMTPEmailTestAccess::UniqueID(message);
      boundaries[0] = "--= Multipart Mixed Boundary " + id;
      boundaries[1] = "--= Multipart Related Boundary " + id;
      boundaries[2] = "--= Multipart Alternative Boundary " + id;
    }
    bool const boundaryState = (state >= seMixedBoundary && state <= seAlternativeBoundary) ||
                               (state >= seAlternativeEnd && state <= seMixedEnd);
    if (!boundaryState) {
      for (std::string const& b : boundaries) Check(!StartsWith(text, b));
      if (!jp && state >= seTextHeader && state <= seHTMLFooter) Check(!StartsWith(text, "--= "));
    }
    if (state == seTextPartHeader || state == seHTMLPartHeader) {
      if (text == "Content-Transfer-Encoding: quoted-printable") qp = !jp;
      if (StartsWith(text, "Content-Transfer-Encoding: ") && text != "Content-Transfer-Encoding: quoted-printable") {
        qp = false;
      }
    }
    bool const partLine = (state >= seTextHeader && state <= seTextFooter) || (state >= seHTMLHeader && state <= seHTMLFooter);
    if (qp && partLine) Check(text.size() - (StartsWith(text, "..") ? 1 : 0) <= 76);
  }
  return 0;
}
