// clsSMTPEmailPart: character sets and transfer encodings: the high-ASCII tests, conversion of
// text into a message charset, quoted-printable (RFC 2045) and the RFC 2047 "Q" form, Shift_JIS
// to ISO-2022-JP (RFC 1468), RFC 2047 encoded words and the ISO-2022-JP line cutter.
// The code pages are converted by the host (fmx::Text::GetBytes) in chunks of half the work
// buffer's size; the chunk's bytes land in a buffer with room for two bytes per unit and the
// terminator, and a chunk never ends between the halves of a surrogate pair, so every character
// is converted exactly once. UTF-8 and KOI8-R are converted here, without the host.
// Every ISO-2022-JP run returns to ASCII with ESC ( B, as RFC 1468 asks: after ESC ( J, common
// decoders read "\" and "~" as JIS X 0201 characters.
#include "mime/clsSMTPEmailPart.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "core/TextEncoders.h"
#include "mime/MimeBytes.h"
#include "platform/fmx/FMXText.h"

namespace {

constexpr char kToJIS[] = "\x1B$B";
constexpr char kToASCII[] = "\x1B(B";
// The longest encoded word RFC 2047 allows.
constexpr int kMaxEncodedWord = 75;

// The host encoding of each charset name; KOI8-R and UTF-8 are converted without the host.
struct stcCharSet {
  char const* name;
  int32_t encoding;
};
constexpr int32_t kOwnUTF8 = -1;
constexpr int32_t kOwnKOI8R = -2;
stcCharSet const kCharSets[] = {
    {"UTF-8", kOwnUTF8},          {"ISO-8859-1", 5},    {"ISO-8859-2", 20},
    {"ISO-8859-3", 23},           {"ISO-8859-4", 26},   {"ISO-8859-5", 17},
    {"ISO-8859-6", 29},           {"ISO-8859-9", 24},   {"ISO-8859-15", 36},
    {"WINDOWS-1250", 19},         {"WINDOWS-1251", 16}, {"WINDOWS-1252", 3},
    {"WINDOWS-1253", 31},         {"WINDOWS-1254", 22}, {"WINDOWS-1255", 34},
    {"WINDOWS-1256", 28},         {"WINDOWS-1257", 25}, {"BIG5", 12},
    {"GB2312", 14},               {"ISO-2022-JP", 7},   {"KOI8-R", kOwnKOI8R},
    {"KS_C_5601-1987", 9},
};

// The host encoding of a charset name, compared trimmed (blanks, tabs, CR and LF at either end),
// up to a zero unit and upper-cased in ASCII, as UniString's Trim and UpperCase give it, but
// without building either string: the body conversion asks once a line.
int32_t EncodingOf(UniString const& charset) {
  unsigned short const* units = charset.GetBytes();
  int start = 0;
  int end = charset.Length();
  while (start < end && UniString::IsBlank(units[start])) ++start;
  while (end > start && UniString::IsBlank(units[end - 1])) --end;
  for (int i = start; i < end; ++i) {
    if (units[i] == 0) {
      end = i;
      break;
    }
  }
  size_t const length = size_t(end - start);
  for (stcCharSet const& cs : kCharSets) {
    if (std::strlen(cs.name) != length) continue;
    size_t k = 0;
    while (k < length) {
      unsigned short u = units[start + int(k)];
      if (u >= 'a' && u <= 'z') u = static_cast<unsigned short>(u - 'a' + 'A');
      if (u != static_cast<unsigned char>(cs.name[k])) break;
      ++k;
    }
    if (k == length) return cs.encoding;
  }
  return 5;
}

// The bytes of one conversion or encoding are gathered here and become the result string in
// one piece; kept per thread between calls (a part is used by one thread at a time), and let
// go when an unusually long line has made it large.
std::string& Scratch() {
  thread_local std::string s_strScratch;
  if (s_strScratch.capacity() > (size_t{1} << 16)) std::string().swap(s_strScratch);
  s_strScratch.clear();
  return s_strScratch;
}

// KOI8-R bytes 0x80 to 0xFF (RFC 1489).
unsigned short const kKOI8RHigh[128] = {
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524, 0x252C, 0x2534, 0x253C,
    0x2580, 0x2584, 0x2588, 0x258C, 0x2590, 0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219,
    0x221A, 0x2248, 0x2264, 0x2265, 0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7, 0x2550,
    0x2551, 0x2552, 0x0451, 0x2553, 0x2554, 0x2555, 0x2556, 0x2557, 0x2558, 0x2559, 0x255A,
    0x255B, 0x255C, 0x255D, 0x255E, 0x255F, 0x2560, 0x2561, 0x0401, 0x2562, 0x2563, 0x2564,
    0x2565, 0x2566, 0x2567, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x00A9, 0x044E, 0x0430,
    0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433, 0x0445, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x044F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0436, 0x0432,
    0x044C, 0x044B, 0x0437, 0x0448, 0x044D, 0x0449, 0x0447, 0x044A, 0x042E, 0x0410, 0x0411,
    0x0426, 0x0414, 0x0415, 0x0424, 0x0413, 0x0425, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x042F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0416, 0x0412, 0x042C,
    0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A};

bool IsHighSurrogate(unsigned short u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(unsigned short u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The units up to the first U+0000, as the host reads a text.
int TextLength(UniString const& text) {
  unsigned short const* units = text.GetBytes();
  int n = 0;
  while (n < text.Length() && units[n] != 0) ++n;
  return n;
}

// UTF-8 with surrogate pairs as one four-byte character; a lone surrogate is written as a
// three-byte sequence of its own, as the string class writes every unit. Appended to *out.
void AppendUTF8(UniString const& text, std::string* out) {
  unsigned short const* u = text.GetBytes();
  int const n = TextLength(text);
  size_t const at = out->size();
  out->resize(at + size_t(n) * 3);
  char* const begin = &(*out)[0] + at;
  char* o = begin;
  for (int i = 0; i < n; ++i) {
    uint32_t cp = u[i];
    if (cp < 0x80) {
      *o++ = char(cp);
      continue;
    }
    if (IsHighSurrogate(u[i]) && i + 1 < n && IsLowSurrogate(u[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x800) {
      *o++ = char(0xC0 | (cp >> 6));
      *o++ = char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *o++ = char(0xE0 | (cp >> 12));
      *o++ = char(0x80 | ((cp >> 6) & 0x3F));
      *o++ = char(0x80 | (cp & 0x3F));
    } else {
      // Two units give these four bytes: within the three a unit has room for.
      *o++ = char(0xF0 | (cp >> 18));
      *o++ = char(0x80 | ((cp >> 12) & 0x3F));
      *o++ = char(0x80 | ((cp >> 6) & 0x3F));
      *o++ = char(0x80 | (cp & 0x3F));
    }
  }
  out->resize(at + size_t(o - begin));
}

// KOI8-R; a character it lacks becomes "?" (a surrogate pair one "?"), as the host does.
std::string ToKOI8R(UniString const& text) {
  unsigned short const* u = text.GetBytes();
  int const n = TextLength(text);
  std::string out;
  out.reserve(size_t(n));
  for (int i = 0; i < n; ++i) {
    unsigned short c = u[i];
    if (c < 0x80) {
      out += char(c);
      continue;
    }
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(u[i + 1])) ++i;
    char byte = '?';
    for (int k = 0; k < 128; ++k) {
      if (kKOI8RHigh[k] == c) {
        byte = char(0x80 + k);
        break;
      }
    }
    out += byte;
  }
  return out;
}

// Half-width katakana 0xA1 to 0xDF as the JIS X 0208 characters NFKC gives (the sound marks
// as the spacing marks, which JIS X 0208 has).
unsigned short const kHalfWidthKana[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529,
    0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B,
    0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541,
    0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552, 0x2555,
    0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C};

bool IsHalfWidthKana(unsigned char c) { return c >= 0xA1 && c <= 0xDF; }

// The JIS X 0208 character of a half-width kana, composed with a following voiced (0xDE) or
// semi-voiced (0xDF) sound mark where NFKC composes them; *used is 1 or 2 bytes.
unsigned short HalfWidthToJIS(unsigned char c, int next, int* used) {
  unsigned short jis = kHalfWidthKana[c - 0xA1];
  *used = 1;
  if (next == 0xDE) {
    if (c == 0xB3) {
      *used = 2;
      return 0x2574;
    }
    if ((c >= 0xB6 && c <= 0xC4) || (c >= 0xCA && c <= 0xCE)) {
      *used = 2;
      return jis + 1;
    }
  } else if (next == 0xDF && c >= 0xCA && c <= 0xCE) {
    *used = 2;
    return jis + 2;
  }
  return jis;
}

bool IsSJISLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsSJISTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Length of the character that starts at i in the charset's bytes (ISO-2022-JP: its Shift_JIS
// form), so that encoded words are split between whole characters.
size_t CharLength(std::string const& s, size_t i, std::string const& upper) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t left = s.size() - i;
  size_t len = 1;
  if (upper == "UTF-8") {
    if (c >= 0xF0) len = 4;
    else if (c >= 0xE0) len = 3;
    else if (c >= 0xC0) len = 2;
    size_t k = 1;
    while (k < len && k < left && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80) ++k;
    return k;
  }
  if (upper == "ISO-2022-JP") {
    // A half-width kana keeps its sound mark, which composes with it.
    unsigned char next = left >= 2 ? static_cast<unsigned char>(s[i + 1]) : 0;
    if (left >= 2 && IsSJISLead(c) && IsSJISTrail(next)) len = 2;
    if (IsHalfWidthKana(c) && (next == 0xDE || next == 0xDF)) len = 2;
    return len;
  }
  if (upper == "BIG5" || upper == "GB2312" || upper == "KS_C_5601-1987") {
    if (c >= 0x81 && left >= 2) len = 2;
  }
  return len;
}

// Shift_JIS line cutting helpers: the mode switches of an ISO-2022-JP text.
bool At(std::string_view s, size_t i, char const* seq) {
  return i + 3 <= s.size() && std::memcmp(s.data() + i, seq, 3) == 0;
}
bool AtToASCII(std::string_view s, size_t i) { return At(s, i, kToASCII) || At(s, i, "\x1B(J"); }

}  // namespace

// ---- high-ASCII tests ----

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

// ---- conversion ----

bool clsSMTPEmailPart::EnsureBuffer() {
  if (m_pbytBuffer == nullptr) m_pbytBuffer = new (std::nothrow) unsigned char[ConversionBufferSize()];
  return m_pbytBuffer != nullptr;
}

int32_t clsSMTPEmailPart::ConversionBufferSize() const { return m_lngBufferSize + 1; }

AnsiString clsSMTPEmailPart::GetLineByCharSet(UniString const& text, UniString const& charset) {
  if (text.IsEmpty()) return AnsiString();
  int32_t const encoding = EncodingOf(charset);
  if (encoding == kOwnKOI8R) return MimeAnsi(ToKOI8R(text));
  std::string& result = Scratch();
  if (encoding == kOwnUTF8 || !EnsureBuffer()) {
    AppendUTF8(text, &result);
    return MimeAnsi(result);
  }

  int const length = TextLength(text);
  unsigned short const* units = text.GetBytes();
  try {
    fmx::TextAutoPtr host;
    host->AssignUnicodeWithLength(reinterpret_cast<fmx::unichar16 const*>(units), uint32_t(length));
    char* buffer = reinterpret_cast<char*>(m_pbytBuffer);
    int32_t const chunk = m_lngBufferSize / 2;
    int32_t position = 0;
    for (;;) {
      int32_t count = chunk;
      // Keep a surrogate pair in one chunk.
      if (count > 1 && position + count < length && IsHighSurrogate(units[position + count - 1]) &&
          IsLowSurrogate(units[position + count])) {
        --count;
      }
      host->GetBytes(buffer, uint32_t(ConversionBufferSize()), uint32_t(position), uint32_t(count),
                     encoding);
      if (buffer[0] == 0) break;
      result.append(buffer);
      position += count;
    }
  } catch (...) {
    // The host's failure ends the conversion with what it gave so far.
  }
  return MimeAnsi(result);
}

// ---- quoted-printable and "Q" ----

namespace {

// The bytes quoted-printable writes as "=" and two hex digits, in a body line and in a "Q" word.
// A CR or LF never stands bare in an encoded line. A "Q" word holds printable characters only,
// and none that would end a quoted parameter value; its blanks become "_".
struct stcQPTables {
  bool body[256];
  bool header[256];
};
constexpr stcQPTables MakeQPTables() {
  stcQPTables t{};
  for (int c = 0; c < 256; ++c) {
    t.body[c] = c >= 128 || c == '=' || c == '\r' || c == '\n';
    t.header[c] = t.body[c] || c < 0x20 || c == 0x7F || c == '?' || c == '_' || c == '"' || c == '\\' || c == ' ';
  }
  return t;
}
constexpr stcQPTables kQP = MakeQPTables();

}  // namespace

AnsiString clsSMTPEmailPart::QPEncodeLine(AnsiString bytes, bool header) {
  if (!EnsureBuffer()) return bytes;
  static char const kHex[] = "0123456789ABCDEF";
  unsigned char const* p = reinterpret_cast<unsigned char const*>(bytes.c_str());
  int const n = bytes.Length();
  bool const* const table = header ? kQP.header : kQP.body;
  // A blank or tab never ends a body line (RFC 2045 6.7 rule 3: decoders strip it); in a "Q"
  // word both are encoded anyway.
  bool const lastBlank = !header && n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t');
  // A line with nothing to encode (most body lines) is its own result.
  int first = 0;
  while (first < n && !table[p[first]]) ++first;
  if (first == n && !lastBlank) return bytes;
  if (first == n) first = n - 1;
  std::string& out = Scratch();
  out.resize(size_t(n) * 3);
  char* const begin = &out[0];
  std::memcpy(begin, p, size_t(first));
  char* o = begin + first;
  for (int i = first; i < n; ++i) {
    unsigned char const c = p[i];
    if (!table[c] && !(lastBlank && i == n - 1)) {
      *o++ = char(c);
    } else if (header && c == ' ') {
      *o++ = '_';
    } else {
      o[0] = '=';
      o[1] = kHex[c >> 4];
      o[2] = kHex[c & 15];
      o += 3;
    }
  }
  out.resize(size_t(o - begin));
  return MimeAnsi(out);
}

// ---- Shift_JIS to ISO-2022-JP ----

void SJIStoJIS(unsigned char* lead, unsigned char* trail) {
  unsigned char l = *lead;
  unsigned char t = *trail;
  unsigned char r = static_cast<unsigned char>(l < 160 ? l - 113 : l - 177);
  unsigned char newLead = static_cast<unsigned char>(2 * r + 1);
  if (t >= 127) t = static_cast<unsigned char>(t - 1);
  if (t >= 158) {
    newLead = static_cast<unsigned char>(2 * r + 2);
    t = static_cast<unsigned char>(t - 125);
  } else {
    t = static_cast<unsigned char>(t - 31);
  }
  *lead = newLead;
  *trail = t;
}

AnsiString clsSMTPEmailPart::JPEncodeLine(AnsiString sjis) {
  if (!EnsureBuffer()) return sjis;
  std::string const in = MimeBytes(sjis);
  std::string out;
  out.reserve(in.size() * 2 + 8);
  bool jis = false;
  auto toJIS = [&]() {
    if (!jis) out += kToJIS;
    jis = true;
  };
  size_t i = 0;
  while (i < in.size()) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    bool const hasNext = i + 1 < in.size();
    if (IsSJISLead(c) && hasNext && IsSJISTrail(static_cast<unsigned char>(in[i + 1]))) {
      unsigned char lead = c;
      unsigned char trail = static_cast<unsigned char>(in[i + 1]);
      SJIStoJIS(&lead, &trail);
      toJIS();
      out += char(lead);
      out += char(trail);
      i += 2;
      continue;
    }
    if (IsHalfWidthKana(c)) {
      int used = 1;
      unsigned short jisChar = HalfWidthToJIS(c, hasNext ? static_cast<unsigned char>(in[i + 1]) : -1, &used);
      toJIS();
      out += char(jisChar >> 8);
      out += char(jisChar & 0xFF);
      i += size_t(used);
      continue;
    }
    if (jis) out += kToASCII;
    jis = false;
    out += char(c);
    ++i;
  }
  if (jis) out += kToASCII;
  return MimeAnsi(out);
}

// ---- encoded words ----

AnsiString clsSMTPEmailPart::MaybeEncodeHeader(AnsiString bytes, UniString charset, bool base64) {
  if (!HasHighASCII(bytes)) return bytes;
  return EncodeHeaderWords(bytes, charset, base64);
}

AnsiString clsSMTPEmailPart::EncodeHeaderWords(AnsiString bytes, UniString charset, bool base64) {
  UniString const name = charset.Trim();
  std::string const upper = MimeBytes(name.UpperCase().GetAnsiString(1));
  bool const jp = upper == "ISO-2022-JP";
  std::string const prefix = "=?" + MimeBytes(name.GetAnsiString(1)) + (base64 ? "?B?" : "?Q?");

  // Words of whole characters, each at most 75 characters long where the charset name leaves
  // room for one character; the "Q" form of names is split the same way.
  auto word = [&](std::string const& piece) {
    AnsiString data = MimeAnsi(piece);
    if (jp) data = JPEncodeLine(data);
    return prefix + MimeBytes(base64 ? UUEncodeString(data) : QPEncodeLine(data, true)) + "?=";
  };
  std::string const in = MimeBytes(bytes);
  std::string result;
  size_t start = 0;
  while (start < in.size()) {
    size_t end = start + CharLength(in, start, upper);
    std::string current = word(in.substr(start, end - start));
    while (end < in.size()) {
      size_t next = end + CharLength(in, end, upper);
      std::string longer = word(in.substr(start, next - start));
      if (longer.size() > size_t(kMaxEncodedWord)) break;
      current.swap(longer);
      end = next;
    }
    if (!result.empty()) result += "\r\n ";
    result += current;
    start = end;
  }
  return MimeAnsi(result);
}

size_t LongestBlanklessRun(std::string_view bytes) {
  size_t longest = 0, run = 0;
  for (char c : bytes) {
    run = (c == ' ' || c == '\t') ? 0 : run + 1;
    if (run > longest) longest = run;
  }
  return longest;
}

std::string FoldHeaderLine(std::string const& line) {
  if (line.size() <= kFoldAt) return line;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::string out;
  out.reserve(line.size() + line.size() / 32);
  size_t start = 0;
  bool first = true;
  for (;;) {
    size_t end = line.find("\r\n", start);
    if (end == std::string::npos) end = line.size();
    std::string_view const phys(line.data() + start, end - start);
    // The first line is not folded at the blank after the field name's colon.
    size_t pos = 0;
    size_t lead = 0;  // a blank this function put in front of the current line
    size_t floor = 0;
    if (first) {
      size_t const colon = phys.find(':');
      floor = colon == std::string_view::npos ? 0 : colon + 1;
    }
    while (lead + phys.size() - pos > kFoldAt) {
      // Fold points: blanks with something other than blanks before them on the line.
      size_t lower = pos == 0 ? floor : pos;
      while (lower < phys.size() && blank(phys[lower])) ++lower;
      size_t p = std::string_view::npos;
      size_t const reach = pos + kFoldAt - lead;
      for (size_t k = reach < phys.size() ? reach : phys.size() - 1; k > lower; --k) {
        if (blank(phys[k])) {
          p = k;
          break;
        }
      }
      if (p == std::string_view::npos) {
        for (size_t k = reach + 1; k < phys.size() && k <= pos + kMaxHeaderLine - lead; ++k) {
          if (blank(phys[k])) {
            p = k;
            break;
          }
        }
      }
      if (p == std::string_view::npos) {
        if (lead + phys.size() - pos <= kMaxHeaderLine) break;
        // No blank within a line's reach: broken, as a last resort, with a blank of our own.
        size_t const piece = kMaxHeaderLine - lead;
        out.append(phys.substr(pos, piece)).append("\r\n ");
        pos += piece;
        lead = 1;
        continue;
      }
      out.append(phys.substr(pos, p - pos)).append("\r\n");
      pos = p;
      lead = 0;
    }
    out.append(phys.substr(pos));
    if (end == line.size()) break;
    out.append("\r\n");
    start = end + 2;
    first = false;
  }
  return out;
}

// ---- ISO-2022-JP line cutting ----

AnsiString clsSMTPEmailPart::GetLineJP(AnsiString& pending, int width, bool) {
  std::string const s = MimeBytes(pending);
  size_t rest = 0;
  size_t const cut = JPCutLength(s, width, 0, std::string::npos, &rest);
  AnsiString line = MimeAnsi(s.substr(0, cut));
  pending = MimeAnsi(s.substr(rest));
  return line;
}

size_t clsSMTPEmailPart::JPCutLength(std::string_view s, int width, size_t shift, size_t bound, size_t* restStart) {
  size_t const n = s.size();
  if (width < 0 || n <= size_t(width)) {
    *restStart = n;
    return n;
  }
  bool ascii = true;
  size_t i = 0;  // 0-based; a position i is past the width when i >= width
  long blank = -1;
  while (i < n) {
    // Past the bound no blank can end a line the caller keeps: it cuts there itself.
    if (blank < 0 && i > bound) break;
    if (ascii && At(s, i, kToJIS)) {
      ascii = false;
      i += 3;
      continue;
    }
    if (ascii && s[i] == ' ') {
      blank = long(i);
      ++i;
      continue;
    }
    if (!ascii && AtToASCII(s, i)) {
      ascii = true;
      i += 3;
      continue;
    }
    if (blank >= 0 && i >= size_t(width)) break;
    i += ascii ? 1 : 2;
  }
  size_t cut;
  if (blank >= 0) {
    cut = size_t(blank) + 1;
  } else if (size_t(width) + shift > size_t(kNoBlankWidth)) {
    cut = size_t(kNoBlankWidth) - shift;
  } else {
    cut = i < n ? i : n;  // the whole text, or as far as the bound
  }
  if (cut > n) cut = n;
  *restStart = cut;
  return cut;
}
