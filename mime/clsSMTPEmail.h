// clsSMTPEmail: the plug-in's one outgoing message. The e-mail workers clear and fill it
// (addresses, subject, bodies, attachment paths); the SMTP worker thread reads its envelope and
// pulls it out line by line through the message writer, which builds the header block, the
// MIME structure and the part objects (mime/clsSMTPEmailPart.h) as it goes.
// Standards: RFC 5322 (header block, dates), RFC 2045-2047 (MIME), RFC 2387 (related parts).
// Relies on core/ strings, lists and dates, and on the part class.
// Failures: nothing throws; a list or part that cannot be allocated stays absent.
// No lock: the host thread fills the message, the SMTP worker thread writes it while the host
// thread waits.
#pragma once

#include <cstdint>
#include <vector>

#include "core/AnsiString.h"
#include "core/TStringList.h"
#include "core/UniString.h"
#include "core/UniStringList.h"
#include "core/clsDateTime.h"

class clsSMTPEmailPart;

// The states of the message writer; the numbers are kept in the writer state and on its stack.
enum enumSEGetLineState : int32_t {
  seStart = 0,
  seHeaders = 1,
  seMixedHeader = 2,
  seRelatedHeader = 3,
  seAlternativeHeader = 4,
  sePreamble = 5,
  seMixedBoundary = 6,
  seRelatedBoundary = 7,
  seAlternativeBoundary = 8,
  seTextPartHeader = 9,
  seTextHeader = 10,
  seTextBody = 11,
  seTextFooter = 12,
  seHTMLPartHeader = 14,
  seHTMLHeader = 15,
  seHTMLBody = 16,
  seHTMLFooter = 17,
  seAttachmentHeader = 19,
  seAttachmentData = 20,
  seImageHeader = 21,
  seImageData = 22,
  seAlternativeEnd = 23,
  seRelatedEnd = 24,
  seMixedEnd = 25,
  seEnd = 26
};

class clsSMTPEmail {
 public:
  // Empty message: Mime-Version "1.0", priority 3, dated now. No I/O.
  clsSMTPEmail();
  ~clsSMTPEmail();
  clsSMTPEmail(clsSMTPEmail const&) = delete;
  clsSMTPEmail& operator=(clsSMTPEmail const&) = delete;

  // Clears everything (items null or empty) or only the named items; answers what was cleared,
  // as "All.", "Nothing." or the names joined by "; " and ended by ".".
  UniString ClearAll(UniStringList* items = nullptr);

 private:
  // Deletes every part of a vector and empties it.
  static void DeleteParts(std::vector<clsSMTPEmailPart*>& parts);
  // Drops the text part or the HTML part (with the image parts and references for "HTML").
  void DeleteTextPart();
  void DeleteHTMLPart();
  void DropImageRefs();
  // ClearAll's work for a list of item names.
  UniString ClearItems(UniStringList const& items);

  UniString m_ustrFrom;
  UniString m_ustrSubject;
  UniString m_ustrDefaultXMailer;
  UniString m_ustrMimeVersion;
  UniString m_ustrReplyTo;
  UniString m_ustrRecordID;
  UniString m_ustrCharSet;
  UniString m_ustrTextContentType;
  UniString m_ustrHTMLContentType;
  UniString m_ustrTextContentTransferEncoding;
  UniString m_ustrHTMLContentTransferEncoding;
  UniStringList* m_pulstTos;
  UniStringList* m_pulstCCs;
  UniStringList* m_pulstBCCs;
  UniStringList* m_pulstExtraHeaders;
  UniStringList* m_pulstTextBody;
  UniStringList* m_pulstTextHeader;
  UniStringList* m_pulstTextFooter;
  UniStringList* m_pulstHTMLBody;
  UniStringList* m_pulstHTMLHeader;
  UniStringList* m_pulstHTMLFooter;
  UniStringList* m_pulstAttachments;
  UniStringList* m_pulstHTMLImages;
  int32_t m_lngPriority;                 // 1 highest .. 5 lowest; 3 takes the preference
  TStringList* m_ptlstHeaders;           // the header block
  TStringList* m_ptlstImageRefs;         // inline-image names for the HTML rewriting
  clsDateTime m_udtDate;
  clsSMTPEmailPart* m_pudtTextPart;
  clsSMTPEmailPart* m_pudtHTMLPart;
  std::vector<clsSMTPEmailPart*> m_vecAttachmentParts;
  std::vector<clsSMTPEmailPart*> m_vecImageParts;
  bool m_bolWriterFlag;                  // the preamble line has been handed out
  bool m_bolTextNeedsQP;                 // the text part needs quoted-printable
  bool m_bolHasTextBody;
  bool m_bolHasHTMLBody;
  AnsiString m_astrUniqueID;
  AnsiString m_astrMessageID;
  AnsiString m_astrLocalHost;
  int32_t m_lngWriterState;              // an enumSEGetLineState; 0 starts a new message
  int32_t m_lngLineCounter;
  int32_t m_lngCurrentAttachment;
  int32_t m_lngAttachmentCount;
  int32_t m_lngImageCount;
  std::vector<enumSEGetLineState> m_vecStateStack;  // pending states, the top at the back
};
