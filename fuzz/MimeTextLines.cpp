// Fuzz target: any text through the text and HTML parts as the message writer runs them, in
// every charset kind (UTF-8, single-byte, double-byte, KOI8-R, ISO-2022-JP), quoted-printable or
// not, flowed or plain, at any line length, HTML with a random list of inline-image names.
// Input: byte 0 the charset, byte 1 the mode bits, byte 2 the line length, byte 3 the number of
// image names; the rest UTF-16 units, lines separated by U+FFFF (the first lines are the image
// names). Every produced line must be at most 998 bytes, hold no CR or LF, and begin with ".."
// when it begins with "."; a quoted-printable line (its stuffing dot taken off) must be at most
// 76 characters, end in no blank or tab and hold no "=" before a blank, so none can begin like
// a boundary ("--= "); a flowed line must not begin with ">" or "From " (it is space-stuffed);
// every run must end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/TStringList.h"
#include "core/UniStringList.h"
#include "fuzz/MimeFuzzInput.h"
#include "mime/clsSMTPEmailPart.h"

namespace {

// Aborts, naming the line of the check that failed.
void Check(bool condition, int line = __builtin_LINE()) {
  if (condition) return;
  fprintf(stderr, "%s:%d: check failed\n", __FILE__, line);
  std::abort();
}

enum enumKind { kPlain, kQuotedPrintable, kFlowed };

void CheckLine(AnsiString const& line, enumKind kind) {
  char const* p = line.c_str();
  int const n = line.Length();
  Check(n <= 998);
  for (int i = 0; i < n; ++i) Check(p[i] != '\r' && p[i] != '\n');
  if (n > 0 && p[0] == '.') Check(n > 1 && p[1] == '.');
  std::string_view received(p, size_t(n));
  if (received.size() >= 2 && received[0] == '.') received.remove_prefix(1);
  if (kind == kQuotedPrintable) {
    Check(received.size() <= 76);
    Check(received.empty() || (received.back() != ' ' && received.back() != '\t'));
    Check(received.find("= ") == std::string_view::npos);
    Check(received.compare(0, 4, "--= ") != 0);
  } else if (kind == kFlowed) {
    Check(received.empty() || received[0] != '>');
    Check(received.compare(0, 5, "From ") != 0);
  }
}

char const* const kCharSets[] = {"UTF-8", "ISO-8859-1", "ISO-2022-JP", "WINDOWS-1252", "GB2312", "KOI8-R",
                                 "BIG5", "x-unknown"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size < 4) return 0;
  UniString const charset(kCharSets[data[0] % 8]);
  uint8_t const mode = data[1];
  int const length = data[2] * 4 + (data[2] & 3);
  size_t const imageCount = data[3] % 4;

  TStringList images;
  UniStringList body;
  for (UniString const& line : MimeFuzzTexts(data, size, 4)) {
    if (size_t(images.Count()) < imageCount) {
      images.Add(line.GetAnsiString(1));
    } else {
      body.Add(line);
    }
  }

  clsSMTPEmailPart part;
  bool const html = (mode & 1) != 0;
  if (html) {
    part.SetupHTML(charset, UniString(), UniString());
  } else {
    part.SetupText(charset, (mode & 2) ? UniString() : UniString("text/plain"), UniString(), length, (mode & 4) != 0);
  }
  bool const jp = charset == UniString("ISO-2022-JP");
  TStringList const* headers = part.GetPartHeaders();
  bool qp = html && !jp;
  bool flowed = false;
  for (int i = 0; headers != nullptr && i < headers->Count(); ++i) {
    std::string_view const h(headers->Strings[unsigned(i)].c_str(), size_t(headers->Strings[unsigned(i)].Length()));
    if (!jp && h == "Content-Transfer-Encoding: quoted-printable") qp = true;
    if (!html && h.find("format=flowed") != std::string_view::npos) flowed = true;
  }
  // The flag passed asks for quoted-printable lines whatever the header says.
  if (!html && !jp && (mode & 4) != 0) qp = true;
  enumKind const kind = qp ? kQuotedPrintable : (flowed ? kFlowed : kPlain);
  // Header, body and footer runs, twice, so cached lines are served as well.
  for (int round = 0; round < 2; ++round) {
    for (int section = 0; section < 3; ++section) {
      if (html) {
        section == 0 ? part.StartHTMLHeader(&body) : section == 1 ? part.StartHTMLBody(&body) : part.StartHTMLFooter(&body);
      } else {
        section == 0 ? part.StartTextHeader(&body) : section == 1 ? part.StartTextBody(&body) : part.StartTextFooter(&body);
      }
      for (int guard = 0;; ++guard) {
        Check(guard < 1000000);
        AnsiString line;
        bool more;
        if (html) {
          more = section == 0   ? part.EncodeHTMLHeaderLine(&line, &images)
                 : section == 1 ? part.EncodeHTMLBodyLine(&line, &images)
                                : part.EncodeHTMLFooterLine(&line, &images);
        } else {
          more = section == 0   ? part.EncodeTextHeaderLine(&line)
                 : section == 1 ? part.EncodeTextBodyLine(&line)
                                : part.EncodeTextFooterLine(&line);
        }
        CheckLine(line, kind);
        if (!more) break;
      }
    }
  }
  return 0;
}
