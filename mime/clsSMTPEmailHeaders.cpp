// clsSMTPEmail: the header block of a message (RFC 5322 fields and dates, RFC 2047 encoded
// words): the unique ID, the Message-ID, the date line, the X-Mailer and Mime-Version lookups,
// the extra headers merged with the "EmailHeaders" preference, and the block itself.
// Header values never carry a line end of their own: every CR, LF and NUL of a value becomes a
// blank before conversion, and an extra header whose name is not a field name gives no line, so
// the only CR LF inside a header line are the folds made here (To and CC, split encoded words,
// and lines longer than 78 bytes folded at blanks, RFC 5322 2.2.3; a value with a run too long
// for a line of 998 bytes goes out as encoded words).
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

#include "core/DebugLog.h"
#include "mime/MimeBytes.h"
#include "mime/MimePrefs.h"
#include "mime/clsSMTPEmail.h"
#include "mime/clsSMTPEmailPart.h"

namespace {

UniString U(char const* text) { return UniString(text); }

char const* const kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
char const* const kMonthNames[13] = {"", "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The names extra headers can never add, upper-cased.
char const* const kExcludedNames[] = {"TO",
                                      "FROM",
                                      "SUBJECT",
                                      "DATE",
                                      "MESSAGE-ID",
                                      "CC",
                                      "BCC",
                                      "CONTENT-TYPE",
                                      "CONTENT-TRANSFER-ENCODING",
                                      "X-PRIORITY",
                                      "X-MAILER",
                                      "TEXT-CONTENT-TYPE",
                                      "TEXT-CONTENT-TRANSFER-ENCODING",
                                      "HTML-CONTENT-TYPE",
                                      "HTML-CONTENT-TRANSFER-ENCODING",
                                      "REPLY-TO"};

// CR, LF and NUL of a header value as blanks.
UniString Flatten(UniString text) {
  for (int i = 1; i <= text.Length(); ++i) {
    unsigned short& u = text[i];
    if (u == 13 || u == 10 || u == 0) u = ' ';
  }
  return text;
}

AnsiString Flatten(AnsiString const& bytes) {
  std::string s = MimeBytes(bytes);
  for (char& c : s) {
    if (c == '\r' || c == '\n' || c == 0) c = ' ';
  }
  return MimeAnsi(s);
}

// A field name: printable ASCII other than the blank and ":".
bool IsFieldName(UniString const& name) {
  if (name.IsEmpty()) return false;
  for (int i = 1; i <= name.Length(); ++i) {
    unsigned short const u = name[i];
    if (u < 33 || u > 126 || u == ':') return false;
  }
  return true;
}

// The value of a name in a name=value list (names trimmed, case ignored), trimmed; empty when
// the list is null or lacks the name.
UniString ValueOf(UniStringList const* list, char const* name) {
  if (list == nullptr || list->IndexOfName(U(name), '=', false) < 0) return UniString();
  return list->Values(U(name), '=', false).Trim();
}

// ASCII a reader would take for an RFC 2047 word and decode: "=?" with a "?=" after it.
bool LooksLikeEncodedWord(std::string_view text) {
  size_t const open = text.find("=?");
  return open != std::string_view::npos && text.find("?=", open + 2) != std::string_view::npos;
}

// A header text as it goes out: RFC 2047 words when it is not ASCII, when it holds what a
// reader would decode as a word (so the reader shows the text itself), or when a run without
// blanks would not fit a header line even after folding (beside its field name of nameLength
// bytes, ": " and the fold's blank); otherwise the bytes. A comment after an address that comes
// here keeps its ASCII as it stands (words made of it whole would no longer be a comment).
AnsiString HeaderText(clsSMTPEmailPart& scratch, AnsiString const& bytes, UniString const& charset,
                      size_t nameLength, bool comment = false) {
  std::string_view const text(bytes.c_str(), size_t(bytes.Length()));
  if (HasHighASCII(bytes) || (!comment && LooksLikeEncodedWord(text))) {
    return scratch.EncodeHeaderWords(bytes, charset, true);
  }
  if (LongestBlanklessRun(text) + nameLength + 2 > kMaxHeaderLine) {
    return scratch.EncodeHeaderWords(bytes, charset, true);
  }
  return bytes;
}

}  // namespace

AnsiString clsSMTPEmail::CreateUniqueID() {
  unsigned short year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  m_udtDate.DecodeDate(&year, &month, &day);
  m_udtDate.DecodeTime(&hour, &minute, &second);
  char text[48];
  std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u.%6.6u", unsigned(year), unsigned(month), unsigned(day),
                unsigned(hour), unsigned(minute), unsigned(second), unsigned(rand()));
  return AnsiString(text);
}

AnsiString clsSMTPEmail::CreateMessageID() {
  AnsiString id("<[[TarnixUniqueID]]");
  if (m_ustrRecordID.IsNotEmpty()) id += AnsiString(".") + Flatten(m_ustrRecordID).GetAnsiString(-1);
  return id + AnsiString("@") + Flatten(m_astrLocalHost) + AnsiString(">");
}

AnsiString clsSMTPEmail::MakeRFC822Date(clsDateTime date) {
  unsigned short year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  date.DecodeDate(&year, &month, &day);
  date.DecodeTime(&hour, &minute, &second);
  int const weekday = date.GetDayOfWeek();
  // The zone with its minutes: "+0530", "-0330", "+0000".
  int const offset = date.GetGMTOffset();
  int const magnitude = offset < 0 ? -offset : offset;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02u %s %04u %02u:%02u:%02u %c%02d%02d",
                kDayNames[weekday >= 0 && weekday < 7 ? weekday : 0], unsigned(day),
                kMonthNames[month <= 12 ? month : 0], unsigned(year), unsigned(hour), unsigned(minute),
                unsigned(second), offset < 0 ? '-' : '+', magnitude / 3600, (magnitude % 3600) / 60);
  return AnsiString(text);
}

UniString clsSMTPEmail::GetXMailer() {
  clsFuncDebug dbg(U("clsSMTPEmail::GetXMailer"), kDebugFull);
  UniString value = ValueOf(m_pulstExtraHeaders, "X-Mailer");
  if (value.IsEmpty()) {
    UniStringList preference;
    if (CopyListPref(U("EmailHeaders"), &preference)) value = ValueOf(&preference, "X-Mailer");
  }
  if (value.IsEmpty()) value = m_ustrDefaultXMailer.Trim();
  return value;
}

UniString clsSMTPEmail::GetMimeVersion() {
  clsFuncDebug dbg(U("clsSMTPEmail::GetMimeVersion"), kDebugFull);
  UniString value = m_ustrMimeVersion.Trim();
  if (value.IsEmpty()) value = ValueOf(m_pulstExtraHeaders, "Mime-Version");
  if (value.IsEmpty()) {
    UniStringList preference;
    if (CopyListPref(U("EmailHeaders"), &preference)) value = ValueOf(&preference, "Mime-Version");
  }
  return value;
}

void clsSMTPEmail::GetExtraHeaders(UniStringList* out) {
  clsFuncDebug dbg(U("clsSMTPEmail::GetExtraHeaders"), kDebugFull);
  if (out == nullptr) return;
  out->Clear();
  if (m_pulstExtraHeaders != nullptr) out->Assign(m_pulstExtraHeaders);
  UniStringList preference;
  if (!CopyListPref(U("EmailHeaders"), &preference) || preference.IsEmpty()) return;
  for (UniString const& entry : preference) {
    UniString const name = entry.GetName('=');
    if (name.IsEmpty() || out->IndexOfName(name, '=', false) >= 0) continue;
    out->Add(entry);
  }
}

void clsSMTPEmail::SetLocalHost(AnsiString host) { m_astrLocalHost = host; }

namespace {

// The text of a display name that is one quoted string (RFC 5322 3.2.4), its quoted pairs
// resolved; false for any other name.
bool QuotedStringText(std::string const& name, std::string* text) {
  if (name.size() < 2 || name.front() != '"' || name.back() != '"') return false;
  text->clear();
  for (size_t i = 1; i + 1 < name.size(); ++i) {
    char c = name[i];
    if (c == '\\') {
      if (i + 2 >= name.size()) return false;
      c = name[++i];
    } else if (c == '"') {
      return false;
    }
    text->push_back(c);
  }
  return true;
}

// The comments after an address when their text is not ASCII or holds what a reader would
// decode as a word (RFC 5322 3.2.2, RFC 2047 5 (2)): the parentheses of each comment, nested ones
// too, and the blanks between comments stay as they are; each such run of text between two
// parentheses goes out, without the blanks around it, as "B" words of its text with the quoted
// pairs resolved (so "\(" is text), and the letters of a "B" word are never a parenthesis, a
// quote or a backslash; other ASCII runs stay as they stand. The text is UTF-8, where no byte of a character is a parenthesis or a
// backslash. False when it is not whole comments and blanks, or when the result would hold a
// run too long for a header line.
bool RenderComments(clsSMTPEmailPart& scratch, std::string const& utf8, UniString const& charset, AnsiString* out) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::string result;
  int depth = 0;
  size_t i = 0;
  while (i < utf8.size()) {
    char const c = utf8[i];
    if (c == '(' || c == ')' || depth == 0) {
      if (c == ')' && depth == 0) return false;
      if (c != '(' && c != ')' && !blank(c)) return false;
      depth += c == '(' ? 1 : c == ')' ? -1 : 0;
      result += c;
      ++i;
      continue;
    }
    // The run up to the next parenthesis that is not a quoted pair's.
    size_t end = i;
    bool ascii = true;
    while (end < utf8.size() && utf8[end] != '(' && utf8[end] != ')') {
      if (utf8[end] == '\\' && end + 1 < utf8.size()) ++end;
      ascii = ascii && static_cast<unsigned char>(utf8[end]) < 128;
      ++end;
    }
    std::string_view const run(utf8.data() + i, end - i);
    i = end;
    // ASCII goes as it stands, but for what a reader would decode as a word of its own.
    if (ascii && !LooksLikeEncodedWord(run)) {
      result += run;
      continue;
    }
    size_t lead = 0;
    // The run holds a byte above 127 or a "=?": neither is a blank or a backslash, and both scans
    // stop at it.
    while (blank(run[lead])) ++lead;
    size_t stop = run.size();
    while (blank(run[stop - 1])) {
      size_t slashes = 0;
      while (run[stop - 2 - slashes] == '\\') ++slashes;
      if (slashes % 2 == 1) break;  // a quoted blank is text
      --stop;
    }
    std::string text;
    for (size_t k = lead; k < stop; ++k) {
      if (run[k] == '\\' && k + 1 < stop) ++k;
      text += run[k];
    }
    AnsiString const bytes = scratch.GetLineByCharSet(UniString(text.data(), 1, int(text.size())), charset);
    std::string const words = MimeBytes(scratch.EncodeHeaderWords(bytes, charset, true));
    if (words.find_first_of("()\"\\") != std::string::npos) return false;  // a charset name holding one
    result.append(run.substr(0, lead)).append(words).append(run.substr(stop));
  }
  if (depth != 0 || LongestBlanklessRun(result) + 2 > kMaxHeaderLine) return false;
  *out = MimeAnsi(result);
  return true;
}

}  // namespace

AnsiString clsSMTPEmail::RenderAddress(clsSMTPEmailPart& scratch, UniString const& entry, UniString const& charset) {
  // Split as UTF-8, where no byte of a character is a quote, bracket or backslash (a Shift_JIS
  // trail byte may be one), then each piece in the charset.
  AnsiString name, address, rest;
  SplitEmailAddress(Flatten(entry).Trim().GetAnsiString(1), &name, &address, &rest);
  auto inCharset = [&](std::string const& utf8) {
    return scratch.GetLineByCharSet(UniString(utf8.data(), 1, int(utf8.size())), charset);
  };
  std::string const utf8Name = MimeBytes(name);
  std::string const utf8Rest = MimeBytes(rest);
  name = inCharset(utf8Name);
  address = inCharset(MimeBytes(address));
  rest = inCharset(utf8Rest);
  AnsiString rendered;
  if (name.Length() > 0) {
    AnsiString shown = HeaderText(scratch, name, charset, 0);
    // A name that goes out as encoded words carries its text alone: quote marks inside a word
    // are text every reader shows.
    std::string text;
    if (shown != name && QuotedStringText(utf8Name, &text)) {
      shown = scratch.EncodeHeaderWords(inCharset(text), charset, true);
    }
    rendered = shown + AnsiString(" ");
  }
  rendered += address;
  if (rest.Length() > 0) {
    AnsiString shown;
    if ((!HasHighASCII(rest) && !LooksLikeEncodedWord(utf8Rest)) ||
        !RenderComments(scratch, utf8Rest, charset, &shown)) {
      shown = HeaderText(scratch, rest, charset, 0, true);
    }
    rendered += AnsiString(" ") + shown;
  }
  return rendered;
}

void clsSMTPEmail::CreateHeaders() {
  clsFuncDebug dbg(U("CreateHeaders"), kDebugFull);
  if (m_ptlstHeaders == nullptr) m_ptlstHeaders = new (std::nothrow) TStringList;
  if (m_ptlstHeaders == nullptr) return;
  m_ptlstHeaders->Clear();
  TStringList& block = *m_ptlstHeaders;

  clsSMTPEmailPart scratch;
  UniString const charset = GetCharSet();
  auto encoded = [&](UniString const& value, size_t nameLength) {
    return HeaderText(scratch, scratch.GetLineByCharSet(Flatten(value), charset), charset, nameLength);
  };
  auto addressLine = [&](char const* field, UniStringList const* list) {
    AnsiString line(field);
    bool first = true;
    for (UniString const& entry : *list) {
      if (entry.Trim().IsEmpty()) continue;
      if (!first) line += AnsiString(",\r\n    ");
      line += RenderAddress(scratch, entry, charset);
      first = false;
    }
    return line;
  };

  // The one marker of the block is the Message-ID's own; a marker in a value stays text.
  static char const kMarker[] = "<[[TarnixUniqueID]]";
  std::string id = MimeBytes(m_astrMessageID);
  if (m_astrUniqueID.Length() > 0 && id.compare(0, sizeof kMarker - 1, kMarker) == 0) id.replace(1, sizeof kMarker - 2, MimeBytes(m_astrUniqueID));
  block.Add(MimeAnsi("Message-ID: " + id));
  UniString const mailer = GetXMailer();
  if (mailer.IsNotEmpty()) block.Add(AnsiString("X-Mailer: ") + encoded(mailer, 8));
  switch (GetPriority()) {
    case 1: block.Add(AnsiString("X-Priority: 1 (Highest)")); break;
    case 2: block.Add(AnsiString("X-Priority: 2 (High)")); break;
    case 4: block.Add(AnsiString("X-Priority: 4 (Low)")); break;
    case 5: block.Add(AnsiString("X-Priority: 5 (Lowest)")); break;
    default: break;
  }
  UniString mime = GetMimeVersion();
  if (mime.IsEmpty()) mime = U("1.0");
  block.Add(AnsiString("Mime-Version: ") + scratch.GetLineByCharSet(Flatten(mime), charset));
  block.Add(AnsiString("Date: ") + MakeRFC822Date(m_udtDate));
  if (HaveTos()) {
    block.Add(addressLine("To: ", m_pulstTos));
  } else {
    block.Add(AnsiString("To: undisclosed-recipients:;"));
  }
  if (HaveCCs()) block.Add(addressLine("CC: ", m_pulstCCs));
  UniString const from = GetFrom();
  if (from.IsNotEmpty()) block.Add(AnsiString("From: ") + RenderAddress(scratch, from, charset));
  UniString const replyTo = GetReplyTo();
  if (replyTo.IsNotEmpty()) block.Add(AnsiString("Reply-To: ") + RenderAddress(scratch, replyTo, charset));
  UniString const subject = GetSubject();
  if (subject.IsNotEmpty()) block.Add(AnsiString("Subject: ") + encoded(subject, 7));

  UniStringList* extra = new (std::nothrow) UniStringList;
  if (extra != nullptr) {
    GetExtraHeaders(extra);
    for (UniString const& entry : *extra) {
      UniString const name = entry.GetName('=').Trim();
      UniString const value = entry.GetValue('=').Trim();
      if (name.IsEmpty() || value.IsEmpty() || !IsFieldName(name)) continue;
      bool excluded = false;
      for (char const* no : kExcludedNames) excluded = excluded || name.UpperCase() == U(no);
      if (excluded) continue;
      AnsiString const field = name.GetAnsiString(-1);
      block.Add(field + AnsiString(": ") + encoded(value, size_t(field.Length())));
    }
    delete extra;
  }
  for (unsigned i = 0; i < unsigned(block.Count()); ++i) {
    AnsiString const& line = block.Strings[i];
    if (size_t(line.Length()) > kFoldAt) block.Strings[i] = MimeAnsi(FoldHeaderLine(MimeBytes(line)));
  }
}
