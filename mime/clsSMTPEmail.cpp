// clsSMTPEmail: the message's life, clearing, filling, presence tests, getters with their
// preference fallbacks, and the envelope (see mime/clsSMTPEmail.h).
// ClearAll with item names works from one table: the names each row accepts, what it clears
// and the word it adds to the answer.
#include "mime/clsSMTPEmail.h"

#include <functional>
#include <initializer_list>
#include <new>

#include "core/DebugLog.h"
#include "mime/MimePrefs.h"
#include "mime/clsSMTPEmailPart.h"
#include "plugin/PlaceholderSettings.h"
#include "plugin/clsPrefs.h"

namespace {

// An attachment entry without the blanks at either end. Unlike UniString::Trim it keeps what
// follows a zero unit: an entry is a display name, "=" and a path, and cutting a name at a zero
// unit would leave a part of the name as the path.
UniString TrimEntry(UniString const& entry) {
  int first = 1;
  int last = entry.Length();
  while (first <= last && UniString::IsBlank(entry[first])) ++first;
  while (last >= first && UniString::IsBlank(entry[last])) --last;
  return last < first ? UniString() : UniString(entry.GetBytes() + first - 1, last - first + 1);
}

// Deletes an owned list and leaves the pointer null.
void DropList(UniStringList*& list) {
  delete list;
  list = nullptr;
}

}  // namespace

clsSMTPEmail::clsSMTPEmail()
    : m_pulstTos(nullptr),
      m_pulstCCs(nullptr),
      m_pulstBCCs(nullptr),
      m_pulstExtraHeaders(nullptr),
      m_pulstTextBody(nullptr),
      m_pulstTextHeader(nullptr),
      m_pulstTextFooter(nullptr),
      m_pulstHTMLBody(nullptr),
      m_pulstHTMLHeader(nullptr),
      m_pulstHTMLFooter(nullptr),
      m_pulstAttachments(nullptr),
      m_pulstHTMLImages(nullptr),
      m_lngPriority(3),
      m_ptlstHeaders(nullptr),
      m_ptlstImageRefs(nullptr),
      m_pudtTextPart(nullptr),
      m_pudtHTMLPart(nullptr),
      m_bolWriterFlag(false),
      m_bolTextNeedsQP(false),
      m_bolHasTextBody(false),
      m_bolHasHTMLBody(false),
      m_lngWriterState(seStart),
      m_lngLineCounter(0),
      m_lngCurrentAttachment(0),
      m_lngAttachmentCount(0),
      m_lngImageCount(0) {
  ClearAll(nullptr);
}

clsSMTPEmail::~clsSMTPEmail() { ClearAll(nullptr); }

void clsSMTPEmail::DeleteParts(std::vector<clsSMTPEmailPart*>& parts) {
  for (clsSMTPEmailPart* part : parts) delete part;
  parts.clear();
}

void clsSMTPEmail::DeleteTextPart() {
  delete m_pudtTextPart;
  m_pudtTextPart = nullptr;
}

void clsSMTPEmail::DeleteHTMLPart() {
  delete m_pudtHTMLPart;
  m_pudtHTMLPart = nullptr;
}

UniString clsSMTPEmail::ClearAll(UniStringList* items) {
  if (items == nullptr || items->Count() == 0) {
    m_ustrFrom = UniString();
    m_ustrReplyTo = UniString();
    m_ustrSubject = UniString();
    m_ustrDefaultXMailer = UniString();
    m_ustrRecordID = UniString();
    m_ustrCharSet = UniString();
    m_ustrTextContentType = UniString();
    m_ustrHTMLContentType = UniString();
    m_ustrTextContentTransferEncoding = UniString();
    m_ustrHTMLContentTransferEncoding = UniString();
    m_ustrMimeVersion = UniString("1.0");
    m_lngPriority = 3;
    m_udtDate.SetToNow();
    m_bolTextNeedsQP = false;
    m_astrUniqueID = AnsiString();
    m_astrMessageID = AnsiString();
    m_astrLocalHost = AnsiString();
    m_lngWriterState = seStart;
    m_lngLineCounter = 0;
    m_lngCurrentAttachment = 0;
    m_vecStateStack.clear();
    m_ustrWriterError = UniString();
    for (UniStringList** list :
         {&m_pulstTos, &m_pulstCCs, &m_pulstBCCs, &m_pulstExtraHeaders, &m_pulstTextBody,
          &m_pulstTextHeader, &m_pulstTextFooter, &m_pulstHTMLBody, &m_pulstHTMLHeader,
          &m_pulstHTMLFooter, &m_pulstAttachments, &m_pulstHTMLImages}) {
      DropList(*list);
    }
    delete m_ptlstHeaders;
    m_ptlstHeaders = nullptr;
    DeleteTextPart();
    DeleteHTMLPart();
    DeleteParts(m_vecAttachmentParts);
    DeleteParts(m_vecImageParts);
    DropImageRefs();
    return UniString("All.");
  }
  return ClearItems(*items);
}

UniString clsSMTPEmail::ClearItems(UniStringList const& items) {
  // The flag of the text part follows what stays of its three lists.
  auto textFlag = [this](UniStringList* a, UniStringList* b) {
    m_bolTextNeedsQP = HasHighASCII(a) || HasHighASCII(b);
  };
  struct stcClearItem {
    std::initializer_list<char const*> names;
    char const* result;
    std::function<void()> effect;
  };
  stcClearItem const table[] = {
      {{"FROM"}, "From", [this] { m_ustrFrom = UniString(); }},
      {{"REPLYTO", "REPLY-TO", "REPLY TO"}, "Reply-To", [this] { m_ustrReplyTo = UniString(); }},
      {{"SUBJECT"}, "Subject", [this] { m_ustrSubject = UniString(); }},
      {{"PRIORITY"}, "Priority", [this] { m_lngPriority = 3; }},
      {{"RECORDID", "RECID", "RECORD ID"}, "Record ID", [this] { m_ustrRecordID = UniString(); }},
      {{"TEXT-CONTENT-TYPE"}, "Text-Content-Type", [this] { m_ustrTextContentType = UniString(); }},
      {{"HTML-CONTENT-TYPE"}, "HTML-Content-Type", [this] { m_ustrHTMLContentType = UniString(); }},
      {{"TEXT-CONTENT-TRANSFER-ENCODING"}, "Text-Content-Transfer-Encoding",
       [this] { m_ustrTextContentTransferEncoding = UniString(); }},
      {{"HTML-CONTENT-TRANSFER-ENCODING"}, "HTML-Content-Transfer-Encoding",
       [this] { m_ustrHTMLContentTransferEncoding = UniString(); }},
      {{"TO", "TOS"}, "Tos", [this] { DropList(m_pulstTos); }},
      {{"CC", "CCS"}, "CCs", [this] { DropList(m_pulstCCs); }},
      {{"BCC", "BCCS"}, "BCCs", [this] { DropList(m_pulstBCCs); }},
      {{"RECIPIENT", "RECIPIENTS"}, "Recipients",
       [this] {
         DropList(m_pulstTos);
         DropList(m_pulstCCs);
         DropList(m_pulstBCCs);
       }},
      {{"EXTRAHEADERS", "EMAILHEADERS", "EXTRA HEADERS", "EMAIL HEADERS"}, "Email Headers",
       [this] { DropList(m_pulstExtraHeaders); }},
      {{"TEXTBODY", "TEXT BODY"}, "Text Body",
       [this, textFlag] {
         DropList(m_pulstTextBody);
         DeleteTextPart();
         textFlag(m_pulstTextHeader, m_pulstTextFooter);
       }},
      {{"TEXTHEADER", "TEXT HEADER"}, "Text Header",
       [this, textFlag] {
         DropList(m_pulstTextHeader);
         DeleteTextPart();
         textFlag(m_pulstTextBody, m_pulstTextFooter);
       }},
      {{"TEXTFOOTER", "TEXT FOOTER"}, "Text Footer",
       [this, textFlag] {
         DropList(m_pulstTextFooter);
         DeleteTextPart();
         textFlag(m_pulstTextBody, m_pulstTextHeader);
       }},
      {{"TEXT", "TEXT-RELATED", "TEXT RELATED"}, "Text-Related",
       [this] {
         DropList(m_pulstTextBody);
         DropList(m_pulstTextHeader);
         DropList(m_pulstTextFooter);
         DeleteTextPart();
         m_bolTextNeedsQP = false;
       }},
      {{"HTMLBODY", "HTML BODY"}, "HTML Body",
       [this] {
         DropList(m_pulstHTMLBody);
         DeleteHTMLPart();
       }},
      {{"HTMLHEADER", "HTML HEADER"}, "HTML Header",
       [this] {
         DropList(m_pulstHTMLHeader);
         DeleteHTMLPart();
       }},
      {{"HTMLFOOTER", "HTML FOOTER"}, "HTML Footer",
       [this] {
         DropList(m_pulstHTMLFooter);
         DeleteHTMLPart();
       }},
      {{"HTML", "HTML-RELATED", "HTML RELATED"}, "HTML-Related",
       [this] {
         DropList(m_pulstHTMLBody);
         DropList(m_pulstHTMLHeader);
         DropList(m_pulstHTMLFooter);
         DropList(m_pulstHTMLImages);
         DeleteParts(m_vecImageParts);
         DropImageRefs();
         DeleteHTMLPart();
       }},
      {{"ATTACH", "ATTACHMENTS"}, "Attachments",
       [this] {
         DropList(m_pulstAttachments);
         DeleteParts(m_vecAttachmentParts);
       }},
      {{"HTMLIMAGES", "HTML IMAGES"}, "HTML Images",
       [this] {
         DropList(m_pulstHTMLImages);
         DeleteParts(m_vecImageParts);
         DropImageRefs();
       }},
  };

  UniString const separator("; ");
  UniString result;
  UniString unknown;
  for (UniString const& entry : items) {
    UniString const item = entry.Trim();
    if (item.IsEmpty()) continue;
    UniString const upper = item.UpperCase();
    stcClearItem const* row = nullptr;
    for (stcClearItem const& candidate : table) {
      for (char const* name : candidate.names) {
        if (upper == UniString(name)) row = &candidate;
      }
      if (row != nullptr) break;
    }
    if (row == nullptr) {
      if (unknown.IsNotEmpty()) unknown += separator;
      unknown += item;
      continue;
    }
    row->effect();
    if (result.IsNotEmpty()) result += separator;
    result += UniString(row->result);
  }
  if (result.IsEmpty()) result = UniString("Nothing");
  if (unknown.IsNotEmpty()) result += UniString(".  WARNING: Unknown Clear Items Specified: ") + unknown;
  result += UniString(".");
  return result;
}

void clsSMTPEmail::DropImageRefs() {
  delete m_ptlstImageRefs;
  m_ptlstImageRefs = nullptr;
}

// ---- filling ----

namespace {

UniString U(char const* text) { return UniString(text); }

// Creates an owned list when it is absent; false when that fails.
bool EnsureList(UniStringList*& list) {
  if (list == nullptr) list = new (std::nothrow) UniStringList;
  return list != nullptr;
}

}  // namespace

void clsSMTPEmail::AddTo(UniString address) {
  address = address.Trim();
  if (address.IsEmpty() || !EnsureList(m_pulstTos)) return;
  m_pulstTos->Add(address);
  DebugOutput(kDebugResult, U("Added To Email Address: ") + address);
}

void clsSMTPEmail::AddTextBody(UniStringList* lines) {
  if (lines == nullptr || lines->Count() == 0 || !EnsureList(m_pulstTextBody)) return;
  // Each given line starts a line of its own; one holding line ends becomes several.
  for (UniString const& line : *lines) {
    if (line.Pos(static_cast<unsigned short>(13)) == 0 && line.Pos(static_cast<unsigned short>(10)) == 0) {
      m_pulstTextBody->Add(line);
    } else {
      UniStringList pieces;
      pieces.AddText(line);
      m_pulstTextBody->AddStrings(&pieces);
    }
  }
  m_bolTextNeedsQP = HasHighASCII(lines);
  if (m_pudtTextPart != nullptr) m_pudtTextPart->ClearTextBody();
}

void clsSMTPEmail::ClearTextBody() {
  if (m_pulstTextBody != nullptr) m_pulstTextBody->Clear();
  m_bolTextNeedsQP = HasHighASCII(m_pulstTextHeader) || HasHighASCII(m_pulstTextFooter);
  if (m_pudtTextPart != nullptr) m_pudtTextPart->ClearTextBody();
}

void clsSMTPEmail::AddAttachment(UniString path) {
  path = TrimEntry(path);
  if (path.IsEmpty() || !EnsureList(m_pulstAttachments)) return;
  m_pulstAttachments->Add(path);
  DebugOutput(kDebugResult, U("Added Attachment: ") + path);
  DeleteParts(m_vecAttachmentParts);
}

void clsSMTPEmail::AddAttachments(UniStringList* paths) {
  if (paths == nullptr || paths->Count() == 0 || !EnsureList(m_pulstAttachments)) return;
  bool added = false;
  for (UniString const& entry : *paths) {
    UniString const path = TrimEntry(entry);
    if (path.IsEmpty()) continue;
    m_pulstAttachments->Add(path);
    DebugOutput(kDebugResult, U("Addeed Attachment: ") + path);
    added = true;
  }
  if (added) DeleteParts(m_vecAttachmentParts);
}

void clsSMTPEmail::ClearAttachments() {
  if (m_pulstAttachments != nullptr) m_pulstAttachments->Clear();
  DeleteParts(m_vecAttachmentParts);
}

void clsSMTPEmail::SetSubject(UniString subject) {
  m_ustrSubject = subject.Trim();
  DebugOutput(kDebugResult, m_ustrSubject.IsEmpty() ? U("Subject Cleared.") : U("Subject set to: ") + m_ustrSubject);
}

void clsSMTPEmail::SetDefaultXMailer(UniString text) {
  m_ustrDefaultXMailer = text.Trim();
  DebugOutput(kDebugResult, m_ustrDefaultXMailer.IsEmpty() ? U("Default XMailer Cleared.")
                                                           : U("Default XMailer set to: ") + m_ustrDefaultXMailer);
}

// ---- reading ----

void clsSMTPEmail::GetTos(UniStringList* out) {
  if (out != nullptr && m_pulstTos != nullptr) out->Assign(m_pulstTos);
}

void clsSMTPEmail::GetTextBody(UniStringList* out) {
  if (out != nullptr && m_pulstTextBody != nullptr) out->Assign(m_pulstTextBody);
}

void clsSMTPEmail::GetAttachments(UniStringList* out) {
  if (out != nullptr && m_pulstAttachments != nullptr) out->Assign(m_pulstAttachments);
}

bool clsSMTPEmail::Holds(UniStringList const* list) { return list != nullptr && list->IsNotEmpty(); }

bool clsSMTPEmail::HaveTos() { return Holds(m_pulstTos); }
bool clsSMTPEmail::HaveCCs() { return Holds(m_pulstCCs); }
bool clsSMTPEmail::HaveBCCs() { return Holds(m_pulstBCCs); }
bool clsSMTPEmail::HaveTextBody() { return Holds(m_pulstTextBody); }
bool clsSMTPEmail::HaveHTMLBody() { return Holds(m_pulstHTMLBody); }
bool clsSMTPEmail::HaveTextContent() { return HaveTextBody(); }
bool clsSMTPEmail::HaveRecipients() { return HaveTos() || HaveCCs() || HaveBCCs(); }

bool clsSMTPEmail::HaveSection(UniStringList const* own, char const* preference) {
  if (Holds(own)) return own->At(0) != U("[[Skip]]");
  UniStringList copy;
  return CopyListPref(U(preference), &copy) && copy.IsNotEmpty();
}

bool clsSMTPEmail::HaveTextHeader() { return HaveSection(m_pulstTextHeader, "TextHeader"); }
bool clsSMTPEmail::HaveTextFooter() { return HaveSection(m_pulstTextFooter, "TextFooter"); }
bool clsSMTPEmail::HaveHTMLHeader() { return HaveSection(m_pulstHTMLHeader, "HTMLHeader"); }
bool clsSMTPEmail::HaveHTMLFooter() { return HaveSection(m_pulstHTMLFooter, "HTMLFooter"); }

bool clsSMTPEmail::HaveFrom() {
  if (m_ustrFrom.IsNotEmpty()) return true;
  return g_udtPrefs.GetStringPref(U("From"), U(g_strPlaceholderFrom)).IsNotEmpty();
}

int32_t clsSMTPEmail::AttachmentCount() {
  UniStringList copy;
  CopyListPref(U("Attachments"), &copy);
  return int32_t((m_pulstAttachments ? m_pulstAttachments->Count() : 0) + copy.Count());
}

int32_t clsSMTPEmail::HTMLImageCount() {
  UniStringList copy;
  CopyListPref(U("HTMLImages"), &copy);
  return int32_t((m_pulstHTMLImages ? m_pulstHTMLImages->Count() : 0) + copy.Count());
}

UniString clsSMTPEmail::GetFrom() {
  UniString const from = m_ustrFrom.Trim();
  if (from.IsNotEmpty()) return from;
  return g_udtPrefs.GetStringPref(U("From"), U(g_strPlaceholderFrom)).Trim();
}

UniString clsSMTPEmail::GetSubject() {
  UniString const subject = m_ustrSubject.Trim();
  if (subject.IsNotEmpty()) return subject;
  return g_udtPrefs.GetStringPref(U("Subject"), UniString()).Trim();
}

UniString clsSMTPEmail::GetReplyTo() {
  UniString const replyTo = m_ustrReplyTo.Trim();
  if (replyTo.IsNotEmpty()) return replyTo;
  return g_udtPrefs.GetStringPref(U("ReplyTo"), UniString());
}

UniString clsSMTPEmail::GetCharSet() {
  UniString charset = m_ustrCharSet.Trim();
  if (charset.IsEmpty()) charset = g_udtPrefs.GetStringPref(U("CharSet"), UniString());
  return charset.IsEmpty() ? U("ISO-8859-1") : charset;
}

int32_t clsSMTPEmail::GetPriority() {
  return m_lngPriority != 3 ? m_lngPriority : g_udtPrefs.GetIntegerPref(U("Priority"), 3);
}

// ---- envelope ----

namespace {

// The first `wanted` byte at or after start that stands outside quoted strings and comments
// (RFC 5322 3.2.4, 3.2.2): a quoted string runs from '"' to the next '"', a comment from '(' to
// its matching ')' (comments nest), and in both a '\' takes the next byte as it stands. Bytes
// between ESC $ and ESC ( are two-byte ISO-2022-JP characters (RFC 1468), never specials.
// 0 when there is none.
int PosOutsideQuotes(AnsiString const& text, char wanted, int start) {
  bool quoted = false;
  bool twoByte = false;
  int depth = 0;
  for (int i = start; i <= text.Length(); ++i) {
    char const c = text[i];
    if (c == '\x1B' && i < text.Length()) {
      if (text[i + 1] == '$') twoByte = true;
      if (text[i + 1] == '(') twoByte = false;
      ++i;
      continue;
    }
    if (twoByte) continue;
    if (quoted || depth > 0) {
      if (c == '\\') {
        ++i;
      } else if (quoted) {
        quoted = c != '"';
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        --depth;
      }
      continue;
    }
    if (c == wanted) return i;
    if (c == '"') quoted = true;
    if (c == '(') depth = 1;
  }
  return 0;
}

}  // namespace

void clsSMTPEmail::SplitEmailAddress(AnsiString text, AnsiString* name, AnsiString* address, AnsiString* rest) {
  AnsiString work = text.Trim();
  if (name != nullptr) *name = AnsiString();
  if (address != nullptr) *address = work;
  if (rest != nullptr) *rest = AnsiString();
  if (work.Length() == 0) return;
  // A "<" or ">" inside a quoted display name or a comment is text of the name, not the address.
  int const p = PosOutsideQuotes(work, '<', 1);
  if (p > 1) {
    if (name != nullptr) *name = work.SubString(1, p - 1).Trim();
    work = work.SubString(p, work.Length() - p + 1);
  }
  int const q = PosOutsideQuotes(work, '>', 1);
  if (q > 0 && q < work.Length()) {
    if (rest != nullptr) *rest = work.SubString(q + 1, work.Length() - q).Trim();
    work = work.SubString(1, q);
  }
  if (address != nullptr) *address = work;
}

void clsSMTPEmail::GetRecipients(TStringList* out) {
  if (out == nullptr) return;
  out->Clear();
  clsSMTPEmailPart scratch;
  for (UniStringList const* list : {m_pulstTos, m_pulstCCs, m_pulstBCCs}) {
    if (list == nullptr) continue;
    for (UniString const& entry : *list) {
      AnsiString address;
      SplitEmailAddress(scratch.GetLineByCharSet(entry, U("ISO-8859-1")), nullptr, &address, nullptr);
      out->Add(address);
    }
  }
}

AnsiString clsSMTPEmail::GetMailFrom() {
  if (!HaveFrom()) return AnsiString();
  clsSMTPEmailPart scratch;
  AnsiString address;
  SplitEmailAddress(scratch.GetLineByCharSet(GetFrom(), U("ISO-8859-1")), nullptr, &address, nullptr);
  return address;
}
