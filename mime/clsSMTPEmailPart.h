// clsSMTPEmailPart: one MIME part of the outgoing message: the plain-text part, the HTML part,
// one attachment or one inline HTML image. It builds its part header lines, encodes its body one
// output line per call (caching the encoded header and footer of text and HTML), converts text
// into the message charset and encodes it (quoted-printable, ISO-2022-JP, RFC 2047 words), and
// for files keeps a Base64 copy in a temporary file that lives as long as the part.
// Standards: RFC 2045 (Base64, quoted-printable), RFC 2047 (encoded words), RFC 3676 (flowed
// text), RFC 1468 (ISO-2022-JP), RFC 2387 (related parts).
// Relies on core/ strings and lists, files/ streams and file specifications, and the host SDK's
// text conversion (fmx::Text) for the code pages.
// Failures: nothing throws; the file operations leave an English text in ErrorString().
#pragma once

#include <cstdint>

#include "core/AnsiString.h"
#include "core/TStringList.h"
#include "core/UniString.h"
#include "core/UniStringList.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"

// True when a byte is 128 or more, a UTF-16 unit above 127, or a line of the list holds one;
// empty strings and a null or empty list give false.
bool HasHighASCII(AnsiString const& bytes);
bool HasHighASCII(UniString const& text);
bool HasHighASCII(UniStringList const* lines);

class clsSMTPEmailPart {
 public:
  clsSMTPEmailPart();
  ~clsSMTPEmailPart();
  clsSMTPEmailPart(clsSMTPEmailPart const&) = delete;
  clsSMTPEmailPart& operator=(clsSMTPEmailPart const&) = delete;

  // Frees the work buffer, the header lines, the caches and the streams, deletes the encoded
  // temporary file, and resets the texts, flags and progress. The charset stays.
  void Clear();

  UniString ErrorString() const { return m_ustrError; }

 private:
  unsigned char* m_pbytBuffer;        // encoders' work buffer, allocated on first use
  int32_t m_lngBufferSize;            // 128 after Clear
  UniStringList* m_pulstSource;       // the run's source lines, not owned
  unsigned int m_itrSource;           // index of the next source line
  TStringList* m_ptlstPartHeaders;    // part header lines
  TStringList* m_ptlstHeaderCache;    // encoded lines of the header
  TStringList* m_ptlstFooterCache;    // encoded lines of the footer
  bool m_bolHeaderCached;
  bool m_bolFooterCached;
  int32_t m_intCacheIndex;            // next cache line to serve
  UniString m_ustrError;
  UniString m_ustrCharSet;            // trimmed and upper-cased
  UniString m_ustrStatus;
  UniString m_ustrName;               // display name of an attachment or image
  XFileSpec m_udtFile;                // the file to send
  XFileSpec m_udtEncodedFile;         // its Base64 copy
  XFileStream* m_pudtFileStream;
  XFileStream* m_pudtEncodedStream;
  bool m_bolAttachmentEncoded;
  bool m_bolImageEncoded;
  bool m_bolQuotedPrintable;
  bool m_bolFlowed;
  bool m_bolInTag;                    // HTML: the last line ended inside an image-bearing tag
  int32_t m_intTagType;               // HTML: that tag's kind, 1 IMG to 8 V:IMAGEDATA
  int32_t m_intLineLength;            // at most 1000
  int32_t m_lngStatusTotal;
  int32_t m_lngStatusDone;
  int32_t m_intStatusPercent;
  AnsiString m_astrPending;           // encoded text of a cut line not yet handed out
};
