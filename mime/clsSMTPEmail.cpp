// clsSMTPEmail: the message's life, clearing and filling (see mime/clsSMTPEmail.h).
// ClearAll with item names works from one table: the names each row accepts, what it clears
// and the word it adds to the answer.
#include "mime/clsSMTPEmail.h"

#include <functional>
#include <initializer_list>

#include "mime/clsSMTPEmailPart.h"

namespace {

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
