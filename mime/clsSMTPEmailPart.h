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
#include <string>
#include <string_view>

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

// Header lines (RFC 5322 2.1.1, 2.2.3): folded at blanks to lines of at most kFoldAt bytes
// where a blank allows, never longer than kMaxHeaderLine. A line that holds folds already is
// folded line by line; a line with no blank within kMaxHeaderLine bytes is broken there with a
// blank added, as a last resort (values that could need it are sent as encoded words instead).
constexpr size_t kFoldAt = 78;
constexpr size_t kMaxHeaderLine = 998;
std::string FoldHeaderLine(std::string const& line);
// The longest run of bytes without a blank or tab.
size_t LongestBlanklessRun(std::string_view bytes);

// One Shift_JIS double-byte character, in place, as its JIS X 0208 byte pair.
void SJIStoJIS(unsigned char* lead, unsigned char* trail);

class clsEncodeAhead;

class clsSMTPEmailPart {
 public:
  clsSMTPEmailPart();
  ~clsSMTPEmailPart();
  clsSMTPEmailPart(clsSMTPEmailPart const&) = delete;
  clsSMTPEmailPart& operator=(clsSMTPEmailPart const&) = delete;

  // Frees the work buffer, the header lines, the caches and the streams, deletes the encoded
  // temporary file, and resets the texts, flags and progress. The charset stays.
  void Clear();
  // Deletes the encoded temporary file now, as Clear would, and keeps the rest of the part: the
  // next run encodes the file again.
  void ReleaseEncodedFile();

  UniString ErrorString() const { return m_ustrError; }

  // A cutter that finds no blank hands out the whole text up to this width, and beyond it
  // cuts here.
  static constexpr int kNoBlankWidth = 990;

  // ---- progress ----
  // Stores the status text and recomputes the percent from done and total.
  void UpdateStatus(UniString text);
  UniString const& GetStatusText() const { return m_ustrStatus; }
  int32_t GetStatusPercent() const { return m_intStatusPercent; }
  // The part header lines, one entry per header (an entry may hold inner CR LF); null until a
  // setup has built them.
  TStringList const* GetPartHeaders() const { return m_ptlstPartHeaders; }

  // ---- text and HTML parts ----
  // Prepare the part and build its Content-Type and Content-Transfer-Encoding lines. The
  // caches survive unless the charset, the line length or the quoted-printable setting changes.
  // A line length is taken between 6 and 1000; HTML always uses 80.
  void SetupText(UniString charset, UniString contentType, UniString transferEncoding, int lineLength,
                 bool quotedPrintable);
  void SetupHTML(UniString charset, UniString contentType, UniString transferEncoding);
  // The message's unique ID, which the HTML part writes into its cid URLs itself (the writer
  // leaves markers in body lines alone); empty writes the "[[TarnixUniqueID]]" marker.
  void SetUniqueID(AnsiString const& id);
  // Start one section on a source list (not owned; null gives an empty section).
  void StartTextHeader(UniStringList* source);
  void StartTextBody(UniStringList* source);
  void StartTextFooter(UniStringList* source);
  void StartHTMLHeader(UniStringList* source);
  void StartHTMLBody(UniStringList* source);
  void StartHTMLFooter(UniStringList* source);
  // One output line per call into *line; true while more lines follow, false with the last one
  // (or with *line untouched when the section is empty). Header and footer are served from
  // their caches once complete; the body is encoded afresh on every run. images: the message's
  // inline-image names in image order, for rewriting references to them.
  bool EncodeTextHeaderLine(AnsiString* line);
  bool EncodeTextBodyLine(AnsiString* line);
  bool EncodeTextFooterLine(AnsiString* line);
  bool EncodeHTMLHeaderLine(AnsiString* line, TStringList* images);
  bool EncodeHTMLBodyLine(AnsiString* line, TStringList* images);
  bool EncodeHTMLFooterLine(AnsiString* line, TStringList* images);
  // The next encoded, cut and dot-stuffed output line of the current run; never longer than
  // 998 bytes and never holding a CR or LF.
  AnsiString GetNextTextLine();
  AnsiString GetNextHTMLLine(TStringList* images);
  // The cutter: removes the next line of at most width bytes from pending, cutting at a blank
  // (which belongs to neither piece); see kNoBlankWidth for text without a fitting blank.
  AnsiString GetLine(AnsiString& pending, int width);
  // Forgets the body run in progress.
  void ClearTextBody();

  // ---- attachments and inline images ----
  // Build the part header lines of a file entry: a path, or a display name, "=" and a path.
  // index: the image's place in the message's image list, from 0 (its Content-ID). No stream
  // stays open; the encoded file of an earlier run is kept.
  void SetupAttachment(UniString entry, UniString charset);
  void SetupHTMLImage(UniString entry, int index, UniString charset);
  // Open the streams of one run: the file and a new ".att" file in "Tarnix Temp" the first
  // time, the ".att" file once it holds the whole encoding. False with ErrorString() set.
  bool StartAttachment();
  bool StartHTMLImage();
  // The next Base64 line (60 characters for 45 bytes) into *line; true while more follow. A
  // read or write failure on the way is left in ErrorString().
  bool EncodeAttachmentLine(AnsiString* line);
  bool EncodeHTMLImageLine(AnsiString* line);
  // Of a first run read ahead: the next lines that leave the status as the first of them does,
  // joined by CR LF (none after the last), into *lines: what that many EncodeAttachmentLine
  // calls would give, all true. False, with *lines untouched, when fewer than two such lines
  // are ready, and never for the last line of the file.
  bool EncodeFileLines(AnsiString* lines);
  // The content type of a file name, by its extension: the "ContentTypes" list preference
  // (".ext=type", case ignored), else the built-in types, else "application/octet-stream".
  AnsiString GetContentType(UniString fileName);

  // ---- character sets and transfer encodings ----
  // The text in the charset's bytes (trimmed, case ignored): UTF-8 and KOI8-R converted here,
  // the other names of the table by the host, an unknown name as ISO 8859-1. The text ends at
  // its first U+0000.
  AnsiString GetLineByCharSet(UniString const& text, UniString const& charset);
  // Quoted-printable of one line without soft breaks (header false), or the RFC 2047 "Q" form.
  AnsiString QPEncodeLine(AnsiString bytes, bool header);
  // A line of Shift_JIS bytes as ISO-2022-JP, every JIS run closed with ESC ( B; half-width
  // katakana become their full-width characters.
  AnsiString JPEncodeLine(AnsiString sjis);
  // Pure ASCII unchanged; otherwise RFC 2047 words, "Q" (for part names) or "B", of at most 75
  // characters of whole characters each, joined by CR LF and a blank.
  AnsiString MaybeEncodeHeader(AnsiString bytes, UniString charset, bool base64);
  // The same words whatever the bytes: for a value with a run too long for a header line.
  AnsiString EncodeHeaderWords(AnsiString bytes, UniString charset, bool base64);
  // Removes and returns the next line of ISO-2022-JP bytes: up to and including the last blank
  // outside JIS runs that lets the line reach the width (or the first blank past it); with no
  // such blank the whole text, or its first 990 bytes when the width is larger than that.
  AnsiString GetLineJP(AnsiString& pending, int width, bool unused);

 private:
  enum enumSection { kSectionHeader, kSectionBody, kSectionFooter };

  // The start and line operations' shared work.
  void StartRun(UniStringList* source, enumSection section, bool html);
  bool EncodeRun(AnsiString* line, enumSection section, bool html, TStringList* images, char const* status);
  // The percent from done and total (0 to 100; 0 without a total).
  void UpdatePercent();
  // Marks both caches incomplete.
  void InvalidateCaches();
  // Whether the run still has source bytes: a rest after a line end, or unread source lines.
  bool SourceRemains() const;
  // The next source line in the charset's bytes, ending at its first CR or LF (the rest is
  // kept for the next call).
  AnsiString TakeSourceBytes();
  // The pending text is m_astrPending from m_intPendingStart on; a cut moves the start.
  void SetPending(AnsiString const& bytes);
  void ClearPending();
  int32_t PendingLeft() const;
  // Cuts the next output line from the pending text, dot-stuffed: ISO-2022-JP, or
  // quoted-printable (html or the flag), format=flowed, or plain.
  AnsiString CutPendingLine(bool html);
  // An ISO-2022-JP line made whole: at most 998 bytes, ending in ASCII between characters; a
  // JIS run cut in two is closed and reopened. softBreaks: a line that more text follows ends
  // in one more blank, the soft break a DelSp=yes reader takes away.
  AnsiString CutJPLine(std::string_view pending, std::string_view prefix, int width, bool softBreaks);
  // A quoted-printable line of at most 76 characters (fewer with a short line length).
  AnsiString CutQPLine(std::string_view pending, std::string_view prefix);
  AnsiString TakeCutLine(std::string_view pending, std::string_view prefix, size_t lineEnd, size_t rest,
                          char const* suffix);
  // The cutters' rules on text s: the length of the line and, in *restStart, where the rest
  // begins. shift: bytes the caller puts in front of the line (the 990-byte rule counts them).
  // nextBlank: the first blank at or after the width when the caller knows it, npos when there
  // is none, kSearchBlank to look. bound: how far the ISO-2022-JP scan need look for a blank.
  static constexpr size_t kSearchBlank = size_t(-2);
  static size_t CutLength(std::string_view s, int width, size_t shift, size_t nextBlank, size_t* restStart);
  static size_t JPCutLength(std::string_view s, int width, size_t shift, size_t bound, size_t* restStart);
  // HTML image references to the inline images rewritten as "cid:" URLs.
  AnsiString RewriteImageReferences(AnsiString const& line, TStringList const& images);
  // The file family's shared work; imageIndex -1 for an attachment.
  void SetupFile(UniString entry, int imageIndex, UniString charset);
  bool StartFile(bool image);
  bool EncodeFileLine(AnsiString* line, bool image);
  // Finds "Tarnix Temp", makes the unique ".att" file and opens it for writing; the reason is
  // left in m_ustrError.
  void CreateEncodedFile(UniString const& noun);
  // Deletes the encoded file when there is one and forgets it.
  void RemoveEncodedFile();
  // The new encoded file made readable by this user alone (0600).
  bool CloseEncodedFileToOthers();
  // Notes the complete encoded file's size, date and node; false when they cannot be read.
  bool RecordEncodedFile();
  // Whether the encoded file is still the one noted: this user's own file (not a link) of the
  // same size, date and node.
  bool EncodedFileUnchanged();
  void CloseFileStreams();
  // Allocates the work buffer when it is missing; false when that fails.
  bool EnsureBuffer();
  // Bytes of the work buffer: room for two bytes per unit of a host chunk and the terminator.
  int32_t ConversionBufferSize() const;

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
  clsEncodeAhead* m_pudtEncodeAhead;  // a first run's reader and encoder, while its thread runs
  bool m_bolAttachmentEncoded;
  bool m_bolImageEncoded;
  bool m_bolEncodeFailed;             // this run could not read the file or write its encoding
  uint64_t m_ulngEncodedSize;         // the complete encoded file as its run left it: size,
  UTCDateTime m_udtEncodedDate;       // content date
  uint32_t m_ulngEncodedNode;         // and node
  bool m_bolQuotedPrintable;
  bool m_bolFlowed;
  bool m_bolDelSp;                    // flowed with DelSp=yes: a soft break's last blank is the break's own
  bool m_bolInTag;                    // HTML: the last line ended inside an image-bearing tag
  int32_t m_intTagType;               // HTML: that tag's kind, 1 IMG to 8 V:IMAGEDATA
  int32_t m_intLineLength;            // at most 1000
  int32_t m_lngStatusTotal;
  int32_t m_lngStatusDone;
  int32_t m_intStatusPercent;
  AnsiString m_astrPending;           // encoded text of a cut line not yet handed out
  int32_t m_intPendingStart;          // its first byte not yet handed out
  int32_t m_intBlankSearch;           // where the last search for a blank past the width began
  int32_t m_intBlankFound;            // the blank it found (-1: none up to the end)
  AnsiString m_astrCarry;             // converted source text after a CR or LF inside a line
  AnsiString m_astrUniqueID;          // HTML: the message's unique ID for cid URLs
};
