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

  // ---- filling (host thread) ----
  // Blank-only texts and null or empty lists add nothing.
  void AddTo(UniString address);
  // Appends the lines as new lines (a line holding CR, LF or CR LF becomes several); the text
  // needs quoted-printable when these lines hold a character above 127.
  void AddTextBody(UniStringList* lines);
  void ClearTextBody();
  void AddAttachment(UniString path);
  void AddAttachments(UniStringList* paths);
  void ClearAttachments();
  void SetSubject(UniString subject);
  void SetDefaultXMailer(UniString text);

  // ---- reading ----
  // Copies of the lists; nothing happens for a null out or an absent list.
  void GetTos(UniStringList* out);
  void GetTextBody(UniStringList* out);
  void GetAttachments(UniStringList* out);
  bool HaveTos();
  bool HaveCCs();
  bool HaveBCCs();
  bool HaveTextBody();
  bool HaveHTMLBody();
  bool HaveTextContent();
  bool HaveRecipients();
  // The message's own list decides when it holds lines (false when its first line is exactly
  // "[[Skip]]"); otherwise whether the preference list holds lines.
  bool HaveTextHeader();
  bool HaveTextFooter();
  bool HaveHTMLHeader();
  bool HaveHTMLFooter();
  bool HaveFrom();
  // The message's entries plus those of the "Attachments" / "HTMLImages" preference lists.
  int32_t AttachmentCount();
  int32_t HTMLImageCount();
  // The message's value, else the preference's ("From" defaults to the placeholder sender,
  // the charset to "ISO-8859-1", the priority to 3).
  UniString GetFrom();
  UniString GetSubject();
  UniString GetReplyTo();
  UniString GetCharSet();
  int32_t GetPriority();

  // ---- the compose dialog (host thread; mime/clsSimpleEmailDialogHelper.cpp) ----
  // Runs the modal compose dialog prefilled from the message. The address choices make the To
  // button's menu (one choice fills To); the merge-field names become the Subject and body menu
  // (the list is rewritten into menu lines); the container names join the attachment menus.
  // Each list may be null. True after Send, with To, From, Subject, the attachments and the
  // body taken from the dialog; false on Cancel, any other close, or a window that could not be
  // made (the message is then untouched). The window's place and size are kept either way.
  bool ShowSimpleDialog(UniStringList* addresses, UniStringList* mergeFields, UniStringList* containers);

  // ---- envelope (SMTP worker thread) ----
  // Splits "name <address> rest" (each output may be null): the address keeps its brackets; the
  // brackets are the first outside quoted strings and comments, which stay text of the name.
  static void SplitEmailAddress(AnsiString text, AnsiString* name, AnsiString* address, AnsiString* rest);
  // The address part of every To, CC and BCC entry, in that order (out emptied first).
  void GetRecipients(TStringList* out);
  // The address part of the sender; empty without one.
  AnsiString GetMailFrom();

  // ---- header block (SMTP worker thread) ----
  AnsiString CreateUniqueID();
  // "<[[TarnixUniqueID]]" ["." record ID] "@" local host ">"; the writer fills in the ID.
  AnsiString CreateMessageID();
  // "Tue, 08 Dec 2026 09:06:17 +0100": the zone of the current moment, with its minutes.
  AnsiString MakeRFC822Date(clsDateTime date);
  UniString GetXMailer();
  UniString GetMimeVersion();
  // The message's extra headers, then the "EmailHeaders" entries of names not yet given.
  void GetExtraHeaders(UniStringList* out);
  // Rebuilds the header block. Every CR, LF and NUL of a header value becomes a blank, so the
  // only line ends inside a header line are the folds the builder makes.
  void CreateHeaders();
  void SetLocalHost(AnsiString host);

  // ---- message writer (SMTP worker thread) ----
  // Makes the next GetLine start a new message. Answers an error text, empty when the message
  // can be written: a missing attachment or inline-image file is refused here.
  UniString GenerateEmail();
  // The next line of the message, without its CR LF; "." at the end and forever after. Text
  // and HTML lines come dot-stuffed.
  AnsiString GetLine();
  // The same into *line, whose buffer is reused (the sender's loop passes one string).
  void GetLine(AnsiString* line);
  // The same, or, inside a file part's Base64 lines, several lines joined by CR LF (none after
  // the last) when they leave the status as their first does: the same bytes in fewer calls,
  // for a sender that writes no line of them to a log.
  void GetLines(AnsiString* lines);
  // The status text and percent of the part being written (empty and 0 elsewhere); either
  // pointer may be null.
  void GetStatus(UniString* text, int* percent);
  // Why the message being written is not whole (a part that could not be read, a piece that
  // was missing); empty when nothing went wrong. The sender stops before "." when it is set.
  UniString GetWriterError() const { return m_ustrWriterError; }
  // Whether the encoded copies of the attachments and images outlive a send of the message, for
  // a next send to read back (true unless set otherwise; ClearAll leaves the setting alone).
  void SetKeepEncodedFiles(bool keep) { m_bolKeepEncodedFiles = keep; }
  // The sender's call once the final "." of the message is out. Copies not kept are deleted
  // here, while the server is still at work on the message, rather than after its reply: a
  // large copy's pages take milliseconds to free.
  void MessageSent();

 private:
  // Tests and fuzz targets fill what no operation here fills (CC, extra headers, HTML bodies,
  // ...) and reach the writer's pieces through an accessor of their own.
  friend class clsSMTPEmailTestAccess;

  // Deletes every part of a vector and empties it.
  static void DeleteParts(std::vector<clsSMTPEmailPart*>& parts);
  // Drops the text part or the HTML part (with the image parts and references for "HTML").
  void DeleteTextPart();
  void DeleteHTMLPart();
  void DropImageRefs();
  // ClearAll's work for a list of item names.
  UniString ClearItems(UniStringList const& items);
  // Whether a list exists and holds lines.
  static bool Holds(UniStringList const* list);
  // HaveTextHeader and its three siblings.
  bool HaveSection(UniStringList const* own, char const* preference);
  // One address entry of the header block: name, address and comment, the name and comment
  // as encoded words where needed.
  AnsiString RenderAddress(clsSMTPEmailPart& scratch, UniString const& entry, UniString const& charset);

  // The writer's steps.
  void StartMessage();
  void Push(enumSEGetLineState state) { m_vecStateStack.push_back(state); }
  void Pop();
  void GuardedPop();
  // Hands out an error line in place of a missing piece and remembers it as the writer error.
  void ErrorLine(AnsiString* line, char const* text);
  void NoteWriterError(UniString const& text);
  void SetupTextPart();
  void SetupHTMLPart();
  // A part-setting from the message field, else from the "EmailHeaders" preference.
  UniString PartSetting(UniString const& field, char const* name);
  // Whether the text part must be quoted-printable: a character above 127 or a blank-less run
  // too long for one line in any list it will carry.
  bool TextNeedsQP();
  // Path of attachment or image i: the message's list first, then the preference copy.
  UniString FilePath(bool image, int32_t index);
  void PrepareParts(bool image);
  void SetupFilePart(bool image, int32_t index);
  // The list a text or HTML header or footer run reads: the message's own, else a copy of the
  // preference list kept in the message for the run.
  UniStringList* SectionSource(UniStringList* own, char const* preference, UniStringList& copy);
  // The writer's states, one function each.
  void WriteHeaders(AnsiString* line);
  void WriteMultipartHeader(AnsiString* line, enumSEGetLineState state);
  void WritePartSection(AnsiString* line, bool html);
  void WriteFilePart(AnsiString* line, bool image);

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
  bool m_bolKeepEncodedFiles = true;
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

  // Kept by the writer for one message: the first failure, and copies of the preference lists
  // it reads (the store may replace its own lists on a reload meanwhile).
  UniString m_ustrWriterError;
  UniStringList m_ulstPrefAttachments;
  UniStringList m_ulstPrefImages;
  UniStringList m_ulstPrefHeader;
  UniStringList m_ulstPrefFooter;
};
