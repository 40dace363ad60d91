// clsSMTPEmailPart: the text and HTML parts: their part header lines, the six start and six
// line operations with the header and footer caches, the line producers, the cutter, SMTP
// dot-stuffing and the rewriting of HTML image references into "cid:" URLs (RFC 2045, 2387,
// 3676 format=flowed, 1468 ISO-2022-JP, 5321 line limits and dot-stuffing).
// Every line handed out is at most 998 bytes and holds no CR or LF: a source line ends at a CR
// or LF inside it, and a piece the cutter leaves too long is cut again (ISO-2022-JP between
// characters with the JIS run closed and reopened, other text at 998 bytes as a last resort).
// Flowed ISO-2022-JP goes out with DelSp=yes: every soft break ends in a blank of its own that
// the reader removes, so a cut between two characters joins again without a blank between them.
// Quoted-printable lines are at most 76 characters with their soft break, which never splits an
// "=XX" (RFC 2045 6.7); flowed lines that begin with a blank, "From " or ">" are space-stuffed
// (RFC 3676 4.4). A long line is cut where it lies in the pending text, which is never copied
// or shifted, so its cost grows with its length and not with its square.
#include "mime/clsSMTPEmailPart.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "mime/MimeBytes.h"

namespace {

// The longest line SMTP carries, without its CR LF.
constexpr size_t kMaxLine = 998;
// The longest quoted-printable line (RFC 2045 6.7).
constexpr size_t kMaxQPLine = 76;
constexpr int kMinLineLength = 6;
constexpr int kMaxLineLength = 1000;
constexpr int kHTMLLineLength = 80;
constexpr char kToJIS[] = "\x1B$B";
constexpr char kToASCII[] = "\x1B(B";

bool StartsWith(std::string const& s, size_t i, char const* seq) { return s.compare(i, 3, seq) == 0; }
bool IsToASCII(std::string const& s, size_t i) {
  return StartsWith(s, i, kToASCII) || StartsWith(s, i, "\x1B(J");
}

// CR, LF and NUL of a header value become blanks.
UniString Flatten(UniString text) {
  for (int i = 1; i <= text.Length(); ++i) {
    unsigned short& u = text[i];
    if (u == 13 || u == 10 || u == 0) u = ' ';
  }
  return text;
}

// RFC 3676 4.4: lines a flowed reader would take for stuffed, quoted or an mbox "From ".
bool NeedsSpaceStuffing(std::string_view line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '>' || line.compare(0, 5, "From ") == 0);
}

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return s;
}

std::string TrimBytes(std::string const& s) {
  size_t b = 0, e = s.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0; };
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The cid URL of image index with name: only the name's characters A-Z, a-z, 0-9 and "." are
// kept, as in the image part's Content-ID. id: the message's unique ID, or empty for the marker.
std::string CidURL(std::string const& id, int index, std::string const& name) {
  std::string kept;
  for (char c : name) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.') kept += c;
  }
  return "cid:" + (id.empty() ? std::string("[[TarnixUniqueID]]") : id) + "." + std::to_string(index) + "." + kept +
         "@local";
}

bool IsTrimByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0; }

struct stcImageTag {
  char const* name;
  char const* attribute;
};
// Kinds 1 to 8.
stcImageTag const kImageTags[] = {{"IMG", "SRC"},   {"INPUT", "SRC"}, {"BODY", "BACKGROUND"},
                                  {"TABLE", "BACKGROUND"}, {"TR", "BACKGROUND"},
                                  {"TD", "BACKGROUND"}, {"TH", "BACKGROUND"},
                                  {"V:IMAGEDATA", "SRC"}};

// The kind (1 to 8) of the tag whose name begins text (the text after "<"), or 0: the name runs
// to the next blank and is compared trimmed and upper-cased. Only as much of the text is read
// as could still give a name of the table.
int TagKind(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] != ' ' && IsTrimByte(text[i])) ++i;
  size_t const coreStart = i;
  while (i < text.size() && !IsTrimByte(text[i])) {
    if (i - coreStart >= 11) return 0;  // longer than "V:IMAGEDATA"
    ++i;
  }
  size_t const coreEnd = i;
  // What follows the name up to the blank must be trimmed away, or the name is another.
  while (i < text.size() && text[i] != ' ') {
    if (!IsTrimByte(text[i])) return 0;
    ++i;
  }
  std::string const name = Upper(std::string(text.substr(coreStart, coreEnd - coreStart)));
  for (int k = 0; k < 8; ++k) {
    if (name == kImageTags[k].name) return k + 1;
  }
  return 0;
}

// Whether text holds exactly the ASCII characters of ascii (no string is built to compare).
bool SameAsciiText(UniString const& text, char const* ascii) {
  unsigned short const* units = text.GetBytes();
  int const n = text.Length();
  int i = 0;
  for (; i < n && ascii[i] != 0; ++i) {
    if (units[i] != static_cast<unsigned char>(ascii[i])) return false;
  }
  return i == n && ascii[i] == 0;
}

}  // namespace

// ---- progress ----

void clsSMTPEmailPart::UpdateStatus(UniString text) {
  m_ustrStatus = text;
  UpdatePercent();
}

void clsSMTPEmailPart::UpdatePercent() {
  if (m_lngStatusTotal == 0) {
    m_intStatusPercent = 0;
    return;
  }
  float const percent = float(m_lngStatusDone) / float(m_lngStatusTotal) * 100.0f;
  m_intStatusPercent = percent >= 100.0f ? 100 : int32_t(percent);
}

// ---- setup ----

void clsSMTPEmailPart::InvalidateCaches() {
  m_bolHeaderCached = false;
  m_bolFooterCached = false;
}

void clsSMTPEmailPart::SetupText(UniString charset, UniString contentType, UniString transferEncoding,
                                 int lineLength, bool quotedPrintable) {
  UniString const cs = charset.Trim().UpperCase();
  if (cs != m_ustrCharSet) {
    m_ustrCharSet = cs;
    InvalidateCaches();
  }
  // Below 6 the cut widths would reach zero.
  int length = lineLength > kMaxLineLength ? kMaxLineLength : lineLength;
  if (length < kMinLineLength) length = kMinLineLength;
  if (length != m_intLineLength) {
    m_intLineLength = length;
    InvalidateCaches();
  }
  if (quotedPrintable != m_bolQuotedPrintable) {
    m_bolQuotedPrintable = quotedPrintable;
    InvalidateCaches();
  }
  m_bolFlowed = false;
  bool delSp = false;

  if (m_ptlstPartHeaders == nullptr) m_ptlstPartHeaders = new (std::nothrow) TStringList;
  if (m_ptlstPartHeaders != nullptr) m_ptlstPartHeaders->Clear();

  std::string const csBytes = MimeBytes(cs.GetAnsiString(1));
  std::string typeLine;
  UniString const type = Flatten(contentType);
  if (type.IsEmpty()) {
    typeLine = "Content-Type: text/plain; charset=\"" + csBytes + "\"; format=flowed";
    m_bolFlowed = true;
    // Japanese has no blanks to break at: a line too long for the wire is cut between two
    // characters with a soft break whose blank the reader takes away (RFC 3676 4.2).
    if (cs == UniString("ISO-2022-JP")) {
      typeLine += "; delsp=yes";
      delSp = true;
    }
  } else {
    UniString const given = type.StrSub(UniString("[[charset]]"), cs, true);
    typeLine = "Content-Type: " + MimeBytes(given.GetAnsiString(1));
    m_bolFlowed = given.Pos(UniString("flowed"), true) > given.Pos(UniString("format"), true);
  }
  if (delSp != m_bolDelSp) {
    m_bolDelSp = delSp;
    InvalidateCaches();
  }
  std::string encodingLine = "Content-Transfer-Encoding: ";
  UniString const encoding = Flatten(transferEncoding);
  if (encoding.IsEmpty()) {
    encodingLine += cs == UniString("ISO-2022-JP") ? "7bit" : (m_bolQuotedPrintable ? "quoted-printable" : "7bit");
  } else {
    encodingLine += MimeBytes(encoding.GetAnsiString(1));
    // The header decides the encoding of the lines; cached lines of the other kind are stale.
    if (encoding.Pos(UniString("quoted-printable"), true) > 0 && !m_bolQuotedPrintable) {
      m_bolQuotedPrintable = true;
      InvalidateCaches();
    }
  }
  if (m_ptlstPartHeaders != nullptr) {
    m_ptlstPartHeaders->Add(MimeAnsi(typeLine));
    m_ptlstPartHeaders->Add(MimeAnsi(encodingLine));
  }
  m_pulstSource = nullptr;
  m_itrSource = 0;
  ClearPending();
  m_astrCarry = AnsiString();
  m_intCacheIndex = 0;
}

void clsSMTPEmailPart::SetupHTML(UniString charset, UniString contentType, UniString transferEncoding) {
  UniString const cs = charset.Trim().UpperCase();
  if (cs != m_ustrCharSet) {
    m_ustrCharSet = cs;
    InvalidateCaches();
  }
  if (m_intLineLength != kHTMLLineLength) {
    m_intLineLength = kHTMLLineLength;
    InvalidateCaches();
  }
  if (m_ptlstPartHeaders == nullptr) m_ptlstPartHeaders = new (std::nothrow) TStringList;
  if (m_ptlstPartHeaders != nullptr) m_ptlstPartHeaders->Clear();

  std::string typeLine;
  UniString const type = Flatten(contentType);
  if (type.IsEmpty()) {
    typeLine = "Content-Type: text/html; charset=\"" + MimeBytes(cs.GetAnsiString(1)) + "\"";
  } else {
    typeLine = "Content-Type: " + MimeBytes(type.StrSub(UniString("[[charset]]"), cs, true).GetAnsiString(1));
  }
  std::string encodingLine = "Content-Transfer-Encoding: ";
  UniString const encoding = Flatten(transferEncoding);
  if (encoding.IsEmpty()) {
    encodingLine += cs == UniString("ISO-2022-JP") ? "7bit" : "quoted-printable";
  } else {
    encodingLine += MimeBytes(encoding.GetAnsiString(1));
  }
  if (m_ptlstPartHeaders != nullptr) {
    m_ptlstPartHeaders->Add(MimeAnsi(typeLine));
    m_ptlstPartHeaders->Add(MimeAnsi(encodingLine));
  }
  m_pulstSource = nullptr;
  m_itrSource = 0;
  ClearPending();
  m_astrCarry = AnsiString();
  m_intCacheIndex = 0;
  m_bolInTag = false;
  m_intTagType = 0;
}

void clsSMTPEmailPart::SetUniqueID(AnsiString const& id) {
  if (id == m_astrUniqueID) return;
  m_astrUniqueID = id;
  // Cached lines may hold cid URLs of the message before.
  InvalidateCaches();
}

// ---- runs ----

void clsSMTPEmailPart::StartRun(UniStringList* source, enumSection section, bool html) {
  int32_t total = 0;
  if (source != nullptr) {
    for (UniString const& line : *source) total += line.Length();
  }
  m_lngStatusTotal = total;
  m_lngStatusDone = 0;
  m_pulstSource = source;
  m_itrSource = 0;
  ClearPending();
  m_astrCarry = AnsiString();
  m_intCacheIndex = 0;
  if (html) m_bolInTag = false;
  if (section == kSectionBody) return;
  TStringList* cache = section == kSectionHeader ? m_ptlstHeaderCache : m_ptlstFooterCache;
  bool& cached = section == kSectionHeader ? m_bolHeaderCached : m_bolFooterCached;
  if (cached && cache != nullptr && cache->Count() > 0) return;
  cached = false;
  if (cache != nullptr) cache->Clear();
}

void clsSMTPEmailPart::StartTextHeader(UniStringList* source) { StartRun(source, kSectionHeader, false); }
void clsSMTPEmailPart::StartTextBody(UniStringList* source) { StartRun(source, kSectionBody, false); }
void clsSMTPEmailPart::StartTextFooter(UniStringList* source) { StartRun(source, kSectionFooter, false); }
void clsSMTPEmailPart::StartHTMLHeader(UniStringList* source) { StartRun(source, kSectionHeader, true); }
void clsSMTPEmailPart::StartHTMLBody(UniStringList* source) { StartRun(source, kSectionBody, true); }
void clsSMTPEmailPart::StartHTMLFooter(UniStringList* source) { StartRun(source, kSectionFooter, true); }

bool clsSMTPEmailPart::SourceRemains() const {
  return m_astrCarry.Length() > 0 || (m_pulstSource != nullptr && m_itrSource < m_pulstSource->Count());
}

bool clsSMTPEmailPart::EncodeRun(AnsiString* line, enumSection section, bool html, TStringList* images,
                                 char const* status) {
  TStringList** cache = nullptr;
  bool* cached = nullptr;
  if (section == kSectionHeader) {
    cache = &m_ptlstHeaderCache;
    cached = &m_bolHeaderCached;
  } else if (section == kSectionFooter) {
    cache = &m_ptlstFooterCache;
    cached = &m_bolFooterCached;
  }
  AnsiString scratch;
  if (line == nullptr) line = &scratch;
  bool result = false;
  bool cacheWhole = true;
  if (cached != nullptr && *cached) {
    if (*cache != nullptr && m_intCacheIndex < (*cache)->Count()) {
      *line = (*cache)->Strings[unsigned(m_intCacheIndex)];
      ++m_intCacheIndex;
      result = m_intCacheIndex < (*cache)->Count();
    }
  } else if (PendingLeft() > 0 || SourceRemains()) {
    *line = html ? GetNextHTMLLine(images) : GetNextTextLine();
    result = PendingLeft() > 0 || SourceRemains();
    if (cache != nullptr) {
      if (*cache == nullptr) *cache = new (std::nothrow) TStringList;
      if (*cache != nullptr) {
        (*cache)->Add(*line);
      } else {
        cacheWhole = false;
      }
    }
  }
  m_lngStatusDone += line->Length();
  // The status text is the same for every line of a run: set when it changes, the percent
  // each time.
  if (!SameAsciiText(m_ustrStatus, status)) {
    UpdateStatus(UniString(status));
  } else {
    UpdatePercent();
  }
  if (!result) {
    m_lngStatusTotal = 0;
    m_lngStatusDone = 0;
    UpdateStatus(UniString());
    m_pulstSource = nullptr;
    m_itrSource = 0;
    // A fresh run that reached its end leaves a complete cache.
    if (cached != nullptr && !*cached && cacheWhole && *cache != nullptr) *cached = true;
  }
  return result;
}

bool clsSMTPEmailPart::EncodeTextHeaderLine(AnsiString* line) {
  return EncodeRun(line, kSectionHeader, false, nullptr, "Encoding Text Header...");
}
bool clsSMTPEmailPart::EncodeTextBodyLine(AnsiString* line) {
  return EncodeRun(line, kSectionBody, false, nullptr, "Encoding Text Body...");
}
bool clsSMTPEmailPart::EncodeTextFooterLine(AnsiString* line) {
  return EncodeRun(line, kSectionFooter, false, nullptr, "Encoding Text Footer...");
}
bool clsSMTPEmailPart::EncodeHTMLHeaderLine(AnsiString* line, TStringList* images) {
  return EncodeRun(line, kSectionHeader, true, images, "Encoding HTML Header...");
}
bool clsSMTPEmailPart::EncodeHTMLBodyLine(AnsiString* line, TStringList* images) {
  return EncodeRun(line, kSectionBody, true, images, "Encoding HTML Body...");
}
bool clsSMTPEmailPart::EncodeHTMLFooterLine(AnsiString* line, TStringList* images) {
  return EncodeRun(line, kSectionFooter, true, images, "Encoding HTML Footer...");
}

void clsSMTPEmailPart::ClearTextBody() {
  m_pulstSource = nullptr;
  m_itrSource = 0;
  ClearPending();
  m_astrCarry = AnsiString();
  m_intCacheIndex = 0;
}

// ---- line producers ----

AnsiString clsSMTPEmailPart::TakeSourceBytes() {
  std::string bytes;
  if (m_astrCarry.Length() > 0) {
    bytes = MimeBytes(m_astrCarry);
    m_astrCarry = AnsiString();
  } else {
    bytes = MimeBytes(GetLineByCharSet(m_pulstSource->At(m_itrSource), m_ustrCharSet));
    ++m_itrSource;
  }
  size_t const end = bytes.find_first_of("\r\n");
  if (end == std::string::npos) return MimeAnsi(bytes);
  size_t rest = end + 1;
  if (bytes[end] == '\r' && rest < bytes.size() && bytes[rest] == '\n') ++rest;
  m_astrCarry = MimeAnsi(bytes.substr(rest));
  return MimeAnsi(bytes.substr(0, end));
}

AnsiString clsSMTPEmailPart::GetNextTextLine() {
  if (PendingLeft() == 0 && SourceRemains()) {
    AnsiString bytes = TakeSourceBytes();
    // Format=flowed lines lose their trailing blanks; the signature separator keeps its own.
    // A line a flowed reader would take for stuffed, quoted or an mbox "From " is stuffed.
    if (m_bolFlowed && !(bytes == AnsiString("-- "))) bytes = bytes.TrimRight();
    if (m_bolFlowed && NeedsSpaceStuffing(std::string_view(bytes.c_str(), size_t(bytes.Length())))) {
      bytes = AnsiString(" ") + bytes;
    }
    if (bytes.Length() > 0) {
      if (m_ustrCharSet == UniString("ISO-2022-JP")) {
        bytes = JPEncodeLine(bytes);
      } else if (m_bolQuotedPrintable) {
        bytes = QPEncodeLine(bytes, false);
      }
    }
    SetPending(bytes);
  }
  if (PendingLeft() == 0) return AnsiString();
  return CutPendingLine(false);
}

AnsiString clsSMTPEmailPart::GetNextHTMLLine(TStringList* images) {
  if (PendingLeft() == 0 && SourceRemains()) {
    AnsiString bytes = TakeSourceBytes().TrimRight();
    if (bytes.Length() > 0 && images != nullptr && images->Count() > 0) {
      bytes = RewriteImageReferences(bytes, *images);
    }
    bytes = m_ustrCharSet == UniString("ISO-2022-JP") ? JPEncodeLine(bytes) : QPEncodeLine(bytes, false);
    SetPending(bytes);
  }
  if (PendingLeft() == 0) return AnsiString();
  return CutPendingLine(true);
}

void clsSMTPEmailPart::SetPending(AnsiString const& bytes) {
  m_astrPending = bytes;
  m_intPendingStart = 0;
  m_intBlankSearch = -1;
  m_intBlankFound = -1;
}

void clsSMTPEmailPart::ClearPending() {
  if (m_astrPending.Length() > 0) m_astrPending = AnsiString();
  m_intPendingStart = 0;
  m_intBlankSearch = -1;
  m_intBlankFound = -1;
}

int32_t clsSMTPEmailPart::PendingLeft() const { return m_astrPending.Length() - m_intPendingStart; }

size_t clsSMTPEmailPart::CutLength(std::string_view s, int width, size_t shift, size_t nextBlank, size_t* restStart) {
  size_t const n = s.size();
  size_t const w = width < 0 ? 0 : size_t(width);
  auto cut = [&](size_t lineEnd, size_t rest) {
    *restStart = rest < n ? rest : n;
    return lineEnd;
  };
  if (n <= w) return cut(n, n);
  if (w >= 1 && s[w - 1] == ' ') return cut(w - 1, w);
  size_t const last = w == 0 ? std::string_view::npos : s.rfind(' ', w - 1);
  if (last != std::string_view::npos) return cut(last, last + 1);
  // The first blank after the width: the caller may know it already.
  size_t const next = nextBlank == kSearchBlank ? s.find(' ', w) : nextBlank;
  if (next != std::string_view::npos) return cut(next, next + 1);
  if (w + shift <= size_t(kNoBlankWidth)) return cut(n, n);
  return cut(size_t(kNoBlankWidth) - shift, size_t(kNoBlankWidth) - shift);
}

AnsiString clsSMTPEmailPart::CutPendingLine(bool html) {
  // The rest of the pending text is cut where it stands: the text is never copied or shifted,
  // so a long line costs what its pieces cost.
  char* const base = &m_astrPending[1] + m_intPendingStart;
  std::string_view const v(base, size_t(PendingLeft()));
  // SMTP dot-stuffing, on every call, so the rest of a cut line is stuffed too.
  std::string_view prefix = v[0] == '.' ? "." : "";
  int const length = m_intLineLength;
  bool const jp = m_ustrCharSet == UniString("ISO-2022-JP");
  bool const qp = !jp && (html || m_bolQuotedPrintable);
  bool const flowed = !html && !qp && m_bolFlowed;
  // RFC 3676 4.4: a flowed line that begins with a blank, "From " or ">" is space-stuffed; the
  // source line was stuffed when it was taken, a piece cut from it is stuffed here.
  if (flowed && m_intPendingStart > 0 && NeedsSpaceStuffing(v)) prefix = " ";
  if (jp) return CutJPLine(v, prefix, length - 5, !html && m_bolFlowed && m_bolDelSp);
  if (qp) return CutQPLine(v, prefix);
  int const width = (flowed ? length - 3 : length - 2) - int(prefix.size());
  // The first blank past the width is remembered for the next calls on the same text, so a
  // long run without blanks is searched once, not once per piece cut from it.
  size_t nextBlank = std::string_view::npos;
  size_t const from = width < 0 ? 0 : size_t(width);
  if (from < v.size()) {
    size_t const at = size_t(m_intPendingStart) + from;
    if (m_intBlankSearch < 0 || size_t(m_intBlankSearch) > at ||
        (m_intBlankFound >= 0 && size_t(m_intBlankFound) < at)) {
      size_t const found = v.find(' ', from);
      m_intBlankSearch = int32_t(at);
      m_intBlankFound = found == std::string_view::npos ? -1 : int32_t(size_t(m_intPendingStart) + found);
    }
    if (m_intBlankFound >= 0) nextBlank = size_t(m_intBlankFound) - size_t(m_intPendingStart);
  }
  size_t rest = 0;
  size_t lineEnd = CutLength(v, width, prefix.size(), nextBlank, &rest);
  char const* suffix = rest < v.size() && flowed ? " " : "";
  if (prefix.size() + lineEnd + std::char_traits<char>::length(suffix) > kMaxLine) {
    lineEnd = kMaxLine - prefix.size();
    rest = lineEnd;
    suffix = "";
  }
  return TakeCutLine(v, prefix, lineEnd, rest, suffix);
}

// The line a cutter chose: the prefix, the first lineEnd bytes of the pending text and the
// suffix; the pending text then starts rest bytes further on.
AnsiString clsSMTPEmailPart::TakeCutLine(std::string_view v, std::string_view prefix, size_t lineEnd,
                                         size_t rest, char const* suffix) {
  std::string line;
  line.reserve(prefix.size() + lineEnd + std::char_traits<char>::length(suffix));
  line.append(prefix).append(v.substr(0, lineEnd)).append(suffix);
  m_intPendingStart += int32_t(rest);
  if (PendingLeft() == 0) ClearPending();
  return MimeAnsi(line);
}

AnsiString clsSMTPEmailPart::CutQPLine(std::string_view v, std::string_view prefix) {
  // RFC 2045 6.7: at most 76 characters, soft line break included, and never inside an "=XX".
  // A cut at a blank drops the blank and ends the line " =", which gives it back; a cut
  // elsewhere ends it "=".
  int limit = m_intLineLength - 4;
  if (limit > int(kMaxQPLine)) limit = int(kMaxQPLine);
  if (limit < 5) limit = 5;
  size_t const room = size_t(limit) - prefix.size();
  size_t lineEnd, rest;
  char const* suffix;
  if (v.size() <= room) {
    lineEnd = rest = v.size();
    suffix = "";
  } else {
    size_t const lastBlank = room >= 2 ? v.rfind(' ', room - 2) : std::string_view::npos;
    if (lastBlank != std::string_view::npos && lastBlank > 0) {
      lineEnd = lastBlank;
      rest = lastBlank + 1;
      suffix = " =";
    } else {
      lineEnd = room - 1;
      if (v[lineEnd - 1] == '=') {
        lineEnd -= 1;
      } else if (lineEnd >= 2 && v[lineEnd - 2] == '=') {
        lineEnd -= 2;
      }
      rest = lineEnd;
      suffix = "=";
    }
  }
  return TakeCutLine(v, prefix, lineEnd, rest, suffix);
}

AnsiString clsSMTPEmailPart::CutJPLine(std::string_view v, std::string_view prefix, int width, bool softBreaks) {
  size_t rest = 0;
  size_t const cut = JPCutLength(v, width - int(prefix.size()), prefix.size(), kMaxLine + 4, &rest);
  std::string line;
  line.reserve(prefix.size() + cut + 4);
  line.append(prefix).append(v.substr(0, cut));
  size_t const n = line.size();
  // A line that more of its text follows ends in the soft break's own blank: room for it.
  size_t const limit = softBreaks && (rest < v.size() || n > kMaxLine) ? kMaxLine - 1 : kMaxLine;
  // Walk the characters, remembering the last place where the line could end.
  bool jis = false;
  size_t best = 0;
  bool bestJIS = false;
  size_t i = 0;
  while (i < n) {
    // An escape cut short by the cutter goes to the next line whole.
    if (line[i] == '\x1B' && i + 3 > n) break;
    if (!jis && StartsWith(line, i, kToJIS)) {
      jis = true;
      i += 3;
    } else if (jis && IsToASCII(line, i)) {
      jis = false;
      i += 3;
    } else {
      i += jis ? 2 : 1;
    }
    if (i <= n && i + (jis ? 3 : 0) <= limit) {
      best = i;
      bestJIS = jis;
    }
    if (i > kMaxLine) break;
  }
  if (best == 0) best = n;  // cannot happen for a non-empty line; keeps the walk finite
  if (best == n && !bestJIS) {
    m_intPendingStart += int32_t(rest);
    if (softBreaks && rest < v.size()) line += ' ';
  } else {
    line.resize(best);
    size_t const used = best - prefix.size();
    if (bestJIS) {
      line += kToASCII;
      // The rest reopens the JIS run: the escape goes over the last bytes already handed out.
      if (used < v.size()) {
        std::memcpy(const_cast<char*>(v.data()) + used - 3, kToJIS, 3);
        m_intPendingStart += int32_t(used - 3);
      } else {
        m_intPendingStart += int32_t(used);
      }
    } else {
      m_intPendingStart += int32_t(used);
    }
    if (softBreaks && PendingLeft() > 0) line += ' ';
  }
  if (PendingLeft() == 0) ClearPending();
  return MimeAnsi(line);
}

AnsiString clsSMTPEmailPart::GetLine(AnsiString& pending, int width) {
  std::string const s = MimeBytes(pending);
  size_t rest = 0;
  size_t const lineEnd = CutLength(s, width, 0, kSearchBlank, &rest);
  pending = MimeAnsi(s.substr(rest));
  return MimeAnsi(s.substr(0, lineEnd));
}

// ---- image references ----

AnsiString clsSMTPEmailPart::RewriteImageReferences(AnsiString const& source, TStringList const& images) {
  // The rest of the line is a view that moves on, so a long line with many tags is read once.
  std::string out;
  std::string_view rest(source.c_str(), size_t(source.Length()));
  int kind = 0;
  bool continuing = false;
  if (m_bolInTag) {
    m_bolInTag = false;
    continuing = true;
    kind = m_intTagType;
  }
  for (;;) {
    size_t tagStart = 0;
    if (!continuing) {
      size_t const lt = rest.find('<');
      if (lt == std::string_view::npos) break;
      kind = TagKind(rest.substr(lt + 1));
      if (kind == 0) {
        size_t const moved = lt + 2 < rest.size() ? lt + 2 : rest.size();
        out.append(rest.substr(0, moved));
        rest.remove_prefix(moved);
        continue;
      }
      tagStart = lt;
    }
    continuing = false;
    if (kind < 1 || kind > 8) break;
    out.append(rest.substr(0, tagStart));
    rest.remove_prefix(tagStart);
    size_t const gt = rest.find('>');
    bool const open = gt == std::string_view::npos;
    std::string const tag(open ? rest : rest.substr(0, gt + 1));
    rest.remove_prefix(tag.size());

    auto keepTag = [&]() {
      out += tag;
      if (open) {
        m_bolInTag = true;
        m_intTagType = kind;
      }
    };
    std::string const attribute = kImageTags[kind - 1].attribute;
    size_t const at = Upper(tag).find(attribute);
    if (at == std::string::npos) {
      keepTag();
      if (open) break;
      continue;
    }
    size_t const eq = tag.find('=', at + attribute.size());
    size_t v = eq == std::string::npos ? tag.size() : eq + 1;
    while (v < tag.size() && (tag[v] == ' ' || tag[v] == '\t')) ++v;
    if (v >= tag.size()) {
      keepTag();
      if (open) break;
      continue;
    }
    out += tag.substr(0, v);
    size_t valueEnd;
    char const quote = tag[v];
    if (quote == '\'' || quote == '"') {
      size_t const close = tag.find(quote, v + 1);
      valueEnd = close == std::string::npos ? tag.size() : close + 1;
    } else {
      valueEnd = tag.find_first_of(" \t>", v);
      if (valueEnd == std::string::npos) valueEnd = tag.size();
    }
    std::string value = tag.substr(v, valueEnd - v);
    if (!value.empty() && (value.front() == '\'' || value.front() == '"')) value.erase(0, 1);
    if (!value.empty() && (value.back() == '\'' || value.back() == '"')) value.pop_back();
    value = TrimBytes(value);

    std::string const upperValue = Upper(value);
    if (upperValue.compare(0, 7, "HTTP://") == 0) {
      // Left as it is.
    } else if (upperValue.compare(0, 8, "CID:PART") == 0) {
      int const n = MimeAnsi(value.substr(8)).ToInt();
      if (n >= 1 && n <= images.Count()) {
        value = CidURL(MimeBytes(m_astrUniqueID), n - 1, Lower(TrimBytes(MimeBytes(images.Strings[unsigned(n - 1)]))));
      }
    } else {
      size_t const slash = value.find_last_of("/\\:");
      std::string const name = Lower(TrimBytes(slash == std::string::npos ? value : value.substr(slash + 1)));
      int const index = images.IndexOf(MimeAnsi(name), false);
      if (index >= 0) value = CidURL(MimeBytes(m_astrUniqueID), index, name);
    }
    out += "\"" + value + "\"" + tag.substr(valueEnd);
  }
  out.append(rest);
  return MimeAnsi(out);
}
