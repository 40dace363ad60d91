// clsSMTPEmailPart: character sets and transfer encodings: the high-ASCII tests, conversion of
// text into a message charset, quoted-printable and RFC 2047 "Q" encoding, Shift_JIS to
// ISO-2022-JP (RFC 1468), RFC 2047 encoded words and the ISO-2022-JP line cutter.
#include "mime/clsSMTPEmailPart.h"

bool HasHighASCII(AnsiString const& bytes) {
  char const* p = bytes.c_str();
  for (int i = 0; i < bytes.Length(); ++i) {
    if (static_cast<unsigned char>(p[i]) >= 128) return true;
  }
  return false;
}

bool HasHighASCII(UniString const& text) {
  unsigned short const* units = text.GetBytes();
  for (int i = 0; i < text.Length(); ++i) {
    if (units[i] > 127) return true;
  }
  return false;
}

bool HasHighASCII(UniStringList const* lines) {
  if (lines == nullptr) return false;
  for (UniString const& line : *lines) {
    if (HasHighASCII(line)) return true;
  }
  return false;
}
