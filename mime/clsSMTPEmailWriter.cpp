// clsSMTPEmail: the message writer, a state machine that hands the message out one line per
// call (RFC 5322 header block, RFC 2045/2046 multipart structures, RFC 2387 related parts).
// The current state says what the next call returns; a stack of pending states holds what
// follows, so that multipart/mixed around multipart/related around multipart/alternative is
// written by pushing each structure's pieces in reverse order. The "[[TarnixUniqueID]]" marker
// becomes the message's unique ID only in the lines the writer makes itself (the multipart
// Content-Type texts, the boundaries, an image's Content-ID; the header block and the HTML
// part's cid URLs carry the ID already): a marker in a body, header, footer or name is text, so
// no such line can become a boundary. Header-block lines are dot-stuffed here (RFC 5321
// 4.5.2); the text and HTML parts stuff their own lines.
// Failures never stop the writer: a missing piece goes out as an "ERROR: " line and the writer
// moves on. Since such a message is not what the user sent, the first failure (an error line,
// or a part that could not be read) is also kept as the writer error, which the sender reads
// after each line; GenerateEmail refuses a message whose attachment or image file is missing
// or too large for the parts' 32-bit sizes.
#include <cstdint>
#include <initializer_list>
#include <new>
#include <string_view>

#include "files/XFileSpec.h"
#include "mime/MimeBytes.h"
#include "mime/MimePrefs.h"
#include "mime/clsSMTPEmail.h"
#include "mime/clsSMTPEmailPart.h"
#include "platform/carbon/Files.h"
#include "plugin/clsPrefs.h"

namespace {

UniString U(char const* text) { return UniString(text); }

char const kMixedBoundary[] = "--= Multipart Mixed Boundary [[TarnixUniqueID]]";
char const kRelatedBoundary[] = "--= Multipart Related Boundary [[TarnixUniqueID]]";
char const kAlternativeBoundary[] = "--= Multipart Alternative Boundary [[TarnixUniqueID]]";
char const kPreamble[] = "This is a Multipart MIME Message.\r\n";

// The longest blank-less run (in UTF-16 units) a line of the list holds.
int LongestRun(UniStringList const* list) {
  int longest = 0;
  if (list == nullptr) return 0;
  for (UniString const& line : *list) {
    unsigned short const* units = line.GetBytes();
    int run = 0;
    for (int i = 0; i < line.Length(); ++i) {
      run = units[i] == ' ' ? 0 : run + 1;
      if (run > longest) longest = run;
    }
  }
  return longest;
}

// Whether a line of the list (or a piece of one after a CR or LF) begins with "--=", as every
// boundary line does. Quoted-printable writes "=" as "=3D", so such a part sent that way holds
// no line a reader could take for a boundary.
bool StartsLikeBoundary(UniStringList const* list) {
  if (list == nullptr) return false;
  for (UniString const& line : *list) {
    unsigned short const* units = line.GetBytes();
    int const n = line.Length();
    for (int i = 0; i + 2 < n; ++i) {
      if ((i == 0 || units[i - 1] == 13 || units[i - 1] == 10) && units[i] == '-' && units[i + 1] == '-' &&
          units[i + 2] == '=') {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

// ---- the writer's interface ----

UniString clsSMTPEmail::GenerateEmail() {
  m_lngWriterState = seStart;
  m_ustrWriterError = UniString();
  // A message whose file is missing is refused before anything is sent.
  CopyListPref(U("Attachments"), &m_ulstPrefAttachments);
  CopyListPref(U("HTMLImages"), &m_ulstPrefImages);
  for (bool image : {false, true}) {
    int32_t const count = image ? HTMLImageCount() : AttachmentCount();
    for (int32_t i = 0; i < count; ++i) {
      UniString const entry = FilePath(image, i);
      if (entry.IsEmpty()) continue;
      int const eq = entry.Pos('=');
      // No file name holds a zero unit: the path would be cut there and name another file.
      if (entry.Pos(static_cast<unsigned short>(0), false, eq + 1) > 0) {
        return U(image ? "HTML Image path holds a zero character: " : "Attachment path holds a zero character: ") +
               entry.SubString(eq + 1, entry.Length());
      }
      XFileSpec file;
      file.Set(eq > 0 ? entry.SubString(eq + 1, entry.Length()) : entry);
      if (!file.XFileExists()) {
        return U(image ? "HTML Image does not exist: " : "Attachment does not exist: ") +
               file.GetPath(kPathStylePOSIX, true);
      }
      // The part reads its file through a stream of 32-bit sizes.
      FSRef ref;
      FSCatalogInfo info;
      if (file.GetFSRef(&ref, true) &&
          FSGetCatalogInfo(&ref, kFSCatInfoDataSizes, &info, nullptr, nullptr, nullptr) == noErr &&
          info.dataLogicalSize > UInt64(INT32_MAX)) {
        return U(image ? "HTML Image is too large (2 GB or larger): " : "Attachment is too large (2 GB or larger): ") +
               file.GetPath(kPathStylePOSIX, true);
      }
    }
  }
  return UniString();
}

AnsiString clsSMTPEmail::GetLine() {
  AnsiString line;
  GetLine(&line);
  return line;
}

void clsSMTPEmail::GetLine(AnsiString* line) {
  // The caller's buffer is kept: a sender that passes the same string line after line
  // allocates only when a line is longer than any before.
  if (line->Length() > 0) line->Load(nullptr, 0);
  if (m_lngWriterState == seStart) StartMessage();
  bool own = true;  // a line of the writer's own, whose marker becomes the unique ID
  switch (m_lngWriterState) {
    case seHeaders:
      WriteHeaders(line);
      own = false;
      break;
    case seMixedHeader:
    case seRelatedHeader:
    case seAlternativeHeader:
      WriteMultipartHeader(line, enumSEGetLineState(m_lngWriterState));
      break;
    case sePreamble:
      if (!m_bolWriterFlag) {
        *line = AnsiString(kPreamble);
        m_bolWriterFlag = true;
      }
      Pop();
      break;
    case seMixedBoundary:
      *line = AnsiString(kMixedBoundary);
      Pop();
      break;
    case seRelatedBoundary:
      *line = AnsiString(kRelatedBoundary);
      Pop();
      break;
    case seAlternativeBoundary:
      *line = AnsiString(kAlternativeBoundary);
      Pop();
      break;
    case seAlternativeEnd:
      *line = AnsiString(kAlternativeBoundary) + AnsiString("--");
      Pop();
      break;
    case seRelatedEnd:
      *line = AnsiString(kRelatedBoundary) + AnsiString("--");
      Pop();
      break;
    case seMixedEnd:
      *line = AnsiString(kMixedBoundary) + AnsiString("--");
      Pop();
      break;
    case seTextPartHeader:
    case seTextHeader:
    case seTextBody:
    case seTextFooter:
      WritePartSection(line, false);
      own = false;
      break;
    case seHTMLPartHeader:
    case seHTMLHeader:
    case seHTMLBody:
    case seHTMLFooter:
      WritePartSection(line, true);
      own = false;
      break;
    case seAttachmentHeader:
    case seAttachmentData:
      WriteFilePart(line, false);
      own = false;
      break;
    case seImageHeader:
      WriteFilePart(line, true);
      // Of an image's header lines only the Content-ID is the writer's; its name is reduced to
      // letters, digits and dots, so it holds no marker of the user's.
      own = std::string_view(line->c_str(), size_t(line->Length())).rfind("Content-ID: ", 0) == 0;
      break;
    case seImageData:
      WriteFilePart(line, true);
      own = false;
      break;
    default:
      m_lngWriterState = seEnd;
      *line = AnsiString(".");
      break;
  }
  // Only a few lines carry the marker: a byte search that skips to each '[' finds them
  // without building the marker as a string for every line.
  static char const kMarker[] = "[[TarnixUniqueID]]";
  if (own && std::string_view(line->c_str(), size_t(line->Length())).find(kMarker) != std::string_view::npos) {
    *line = line->StrSub(AnsiString(kMarker), m_astrUniqueID);
  }
}

void clsSMTPEmail::GetLines(AnsiString* lines) {
  if (m_lngWriterState == seAttachmentData || m_lngWriterState == seImageData) {
    std::vector<clsSMTPEmailPart*> const& parts =
        m_lngWriterState == seAttachmentData ? m_vecAttachmentParts : m_vecImageParts;
    if (m_lngCurrentAttachment >= 0 && size_t(m_lngCurrentAttachment) < parts.size() &&
        parts[size_t(m_lngCurrentAttachment)] != nullptr && parts[size_t(m_lngCurrentAttachment)]->EncodeFileLines(lines)) {
      return;
    }
  }
  GetLine(lines);
}

void clsSMTPEmail::GetStatus(UniString* text, int* percent) {
  clsSMTPEmailPart* part = nullptr;
  int32_t const state = m_lngWriterState;
  if (state >= seTextPartHeader && state <= seTextFooter) {
    part = m_pudtTextPart;
  } else if (state >= seHTMLPartHeader && state <= seHTMLFooter) {
    part = m_pudtHTMLPart;
  } else if (state == seAttachmentHeader || state == seAttachmentData || state == seImageHeader ||
             state == seImageData) {
    std::vector<clsSMTPEmailPart*> const& parts =
        state <= seAttachmentData ? m_vecAttachmentParts : m_vecImageParts;
    if (m_lngCurrentAttachment >= 0 && size_t(m_lngCurrentAttachment) < parts.size()) {
      part = parts[size_t(m_lngCurrentAttachment)];
    }
  }
  // Assigned, not constructed, and only when it differs: the caller's text keeps its buffer from
  // call to call, and a sender asking after every line mostly finds it unchanged.
  if (text != nullptr) {
    if (part != nullptr) {
      if (*text != part->GetStatusText()) *text = part->GetStatusText();
    } else if (text->Length() > 0) {
      *text = UniString();
    }
  }
  if (percent != nullptr) *percent = part != nullptr ? part->GetStatusPercent() : 0;
}

void clsSMTPEmail::MessageSent() {
  if (m_bolKeepEncodedFiles) return;
  for (std::vector<clsSMTPEmailPart*> const* parts : {&m_vecAttachmentParts, &m_vecImageParts}) {
    for (clsSMTPEmailPart* part : *parts) {
      if (part != nullptr) part->ReleaseEncodedFile();
    }
  }
}

// ---- starting a message ----

void clsSMTPEmail::StartMessage() {
  // The counts and paths come from the message and from copies of the preference lists taken
  // now, so a reload meanwhile cannot change them under the writer.
  CopyListPref(U("Attachments"), &m_ulstPrefAttachments);
  CopyListPref(U("HTMLImages"), &m_ulstPrefImages);
  m_lngAttachmentCount =
      int32_t((m_pulstAttachments ? m_pulstAttachments->Count() : 0) + m_ulstPrefAttachments.Count());
  m_lngImageCount = int32_t((m_pulstHTMLImages ? m_pulstHTMLImages->Count() : 0) + m_ulstPrefImages.Count());
  m_bolHasTextBody = HaveTextBody();
  m_bolHasHTMLBody = HaveHTMLBody();

  m_udtDate.SetToNow();
  m_astrUniqueID = CreateUniqueID();
  m_astrMessageID = CreateMessageID();
  CreateHeaders();

  m_lngLineCounter = 0;
  m_lngCurrentAttachment = 0;
  m_vecStateStack.clear();
  m_bolWriterFlag = false;

  Push(seEnd);
  bool const text = m_bolHasTextBody;
  bool const html = m_bolHasHTMLBody;
  if (m_lngAttachmentCount == 0) {
    // Inline images always make a related structure; without an HTML body the text part
    // stands in the HTML part's place.
    if (m_lngImageCount != 0) {
      Push(seRelatedHeader);
    } else if (text && html) {
      Push(seAlternativeHeader);
    } else if (text) {
      Push(seTextPartHeader);
      SetupTextPart();
    } else if (html) {
      Push(seHTMLPartHeader);
      SetupHTMLPart();
    }
  } else if (text || html || m_lngAttachmentCount >= 2 || m_lngImageCount != 0) {
    Push(seMixedHeader);
  } else {
    Push(seAttachmentHeader);
    PrepareParts(false);
  }

  if (m_ptlstImageRefs == nullptr) m_ptlstImageRefs = new (std::nothrow) TStringList;
  if (m_ptlstImageRefs != nullptr) {
    m_ptlstImageRefs->Clear();
    for (int32_t i = 0; i < m_lngImageCount; ++i) {
      UniString const path = FilePath(true, i);
      if (path.IsEmpty()) continue;
      int const eq = path.Pos('=');
      UniString const name = eq > 0 ? path.Left(eq - 1) : XFileSpec::GetFileName(path);
      if (name.IsNotEmpty()) m_ptlstImageRefs->Add(name.GetAnsiString(1));
    }
  }
  // The first call of a message returns the first header line.
  m_lngWriterState = seHeaders;
}

// ---- moving on ----

void clsSMTPEmail::Pop() {
  if (m_vecStateStack.empty()) {
    m_lngWriterState = seEnd;
    return;
  }
  m_lngWriterState = m_vecStateStack.back();
  m_lngLineCounter = 0;
  m_vecStateStack.pop_back();
}

void clsSMTPEmail::GuardedPop() {
  if (m_vecStateStack.empty()) {
    m_lngWriterState = seEnd;
  } else {
    Pop();
  }
}

void clsSMTPEmail::NoteWriterError(UniString const& text) {
  if (m_ustrWriterError.IsEmpty()) m_ustrWriterError = text;
}

void clsSMTPEmail::ErrorLine(AnsiString* line, char const* text) {
  *line = AnsiString("ERROR: ") + AnsiString(text);
  NoteWriterError(U(text));
  GuardedPop();
}

// ---- the text and HTML parts ----

UniString clsSMTPEmail::PartSetting(UniString const& field, char const* name) {
  if (field.IsNotEmpty()) return field;
  UniStringList preference;
  if (!CopyListPref(U("EmailHeaders"), &preference) || preference.IsEmpty()) return UniString();
  if (preference.IndexOfName(U(name), '=', false) < 0) return UniString();
  return preference.Values(U(name), '=', false).Trim();
}

UniStringList* clsSMTPEmail::SectionSource(UniStringList* own, char const* preference, UniStringList& copy) {
  if (Holds(own)) return own;
  CopyListPref(U(preference), &copy);
  return &copy;
}

bool clsSMTPEmail::TextNeedsQP() {
  UniStringList header, footer;
  UniStringList const* lists[3] = {m_pulstTextBody, nullptr, nullptr};
  if (HaveTextHeader()) lists[1] = SectionSource(m_pulstTextHeader, "TextHeader", header);
  if (HaveTextFooter()) lists[2] = SectionSource(m_pulstTextFooter, "TextFooter", footer);
  // A run this long (in units, at up to three bytes each in UTF-8 and two in the double-byte
  // charsets) could not go out as one line without breaking it.
  UniString const charset = GetCharSet().Trim().UpperCase();
  int bytesPerUnit = 1;
  if (charset == U("UTF-8")) {
    bytesPerUnit = 3;
  } else if (charset == U("BIG5") || charset == U("GB2312") || charset == U("KS_C_5601-1987")) {
    bytesPerUnit = 2;
  }
  for (UniStringList const* list : lists) {
    if (HasHighASCII(list) || LongestRun(list) * bytesPerUnit > 990 || StartsLikeBoundary(list)) return true;
  }
  return m_bolTextNeedsQP;
}

void clsSMTPEmail::SetupTextPart() {
  if (m_pudtTextPart == nullptr) m_pudtTextPart = new (std::nothrow) clsSMTPEmailPart;
  if (m_pudtTextPart == nullptr) return;
  m_pudtTextPart->SetupText(GetCharSet(), PartSetting(m_ustrTextContentType, "Text-Content-Type"),
                            PartSetting(m_ustrTextContentTransferEncoding, "Text-Content-Transfer-Encoding"),
                            g_udtPrefs.GetIntegerPref(U("LineBreak"), 80), TextNeedsQP());
}

void clsSMTPEmail::SetupHTMLPart() {
  if (m_pudtHTMLPart == nullptr) m_pudtHTMLPart = new (std::nothrow) clsSMTPEmailPart;
  if (m_pudtHTMLPart == nullptr) return;
  m_pudtHTMLPart->SetupHTML(GetCharSet(), PartSetting(m_ustrHTMLContentType, "HTML-Content-Type"),
                            PartSetting(m_ustrHTMLContentTransferEncoding, "HTML-Content-Transfer-Encoding"));
  m_pudtHTMLPart->SetUniqueID(m_astrUniqueID);
}

void clsSMTPEmail::WritePartSection(AnsiString* line, bool html) {
  clsSMTPEmailPart* const part = html ? m_pudtHTMLPart : m_pudtTextPart;
  int32_t const base = html ? seHTMLPartHeader : seTextPartHeader;
  int32_t const step = m_lngWriterState - base;  // 0 part header, 1 header, 2 body, 3 footer
  UniStringList* const body = html ? m_pulstHTMLBody : m_pulstTextBody;
  if (step == 0) {
    if (part == nullptr || part->GetPartHeaders() == nullptr) {
      ErrorLine(line, html ? "Email HTML Part or Part Headers is NULL!" : "Email Text Part or Part Headers is NULL!");
      return;
    }
    TStringList const& headers = *part->GetPartHeaders();
    if (m_lngLineCounter < headers.Count()) {
      *line = headers.Strings[unsigned(m_lngLineCounter)];
      ++m_lngLineCounter;
      return;
    }
    // The empty line that ends the part's header, then its first section.
    if (html ? HaveHTMLHeader() : HaveTextHeader()) {
      m_lngWriterState = base + 1;
      UniStringList* source = html ? SectionSource(m_pulstHTMLHeader, "HTMLHeader", m_ulstPrefHeader)
                                   : SectionSource(m_pulstTextHeader, "TextHeader", m_ulstPrefHeader);
      html ? part->StartHTMLHeader(source) : part->StartTextHeader(source);
    } else {
      m_lngWriterState = base + 2;
      html ? part->StartHTMLBody(body) : part->StartTextBody(body);
    }
    return;
  }
  if (part == nullptr) {
    ErrorLine(line, html ? "Email HTML Part is NULL!" : "Email Text Part is NULL!");
    return;
  }
  TStringList* const images = m_ptlstImageRefs;
  if (step == 1) {
    if (!(html ? part->EncodeHTMLHeaderLine(line, images) : part->EncodeTextHeaderLine(line))) {
      m_lngWriterState = base + 2;
      html ? part->StartHTMLBody(body) : part->StartTextBody(body);
    }
  } else if (step == 2) {
    if (!(html ? part->EncodeHTMLBodyLine(line, images) : part->EncodeTextBodyLine(line))) {
      if (html ? HaveHTMLFooter() : HaveTextFooter()) {
        m_lngWriterState = base + 3;
        UniStringList* source = html ? SectionSource(m_pulstHTMLFooter, "HTMLFooter", m_ulstPrefFooter)
                                     : SectionSource(m_pulstTextFooter, "TextFooter", m_ulstPrefFooter);
        html ? part->StartHTMLFooter(source) : part->StartTextFooter(source);
      } else {
        Pop();
      }
    }
  } else {
    if (!(html ? part->EncodeHTMLFooterLine(line, images) : part->EncodeTextFooterLine(line))) Pop();
  }
}

// ---- headers and multipart structures ----

void clsSMTPEmail::WriteHeaders(AnsiString* line) {
  if (m_ptlstHeaders == nullptr) {
    ErrorLine(line, "Email Headers are NULL!");
    return;
  }
  if (m_lngLineCounter < m_ptlstHeaders->Count()) {
    *line = m_ptlstHeaders->Strings[unsigned(m_lngLineCounter)];
    ++m_lngLineCounter;
    // An extra header's name may begin with "."; folded lines begin with a blank.
    if (line->Length() > 0 && line->c_str()[0] == '.') *line = AnsiString(".") + *line;
  }
  if (m_lngLineCounter >= m_ptlstHeaders->Count()) Pop();
}

void clsSMTPEmail::WriteMultipartHeader(AnsiString* line, enumSEGetLineState state) {
  bool const text = m_bolHasTextBody;
  bool const html = m_bolHasHTMLBody;
  if (state == seMixedHeader) {
    *line = AnsiString("Content-Type: multipart/mixed;\r\n    boundary=\"= Multipart Mixed Boundary [[TarnixUniqueID]]\"\r\n");
    Push(seMixedEnd);
    Push(seAttachmentHeader);
    Push(seMixedBoundary);
    if (m_lngImageCount != 0) {
      Push(seRelatedHeader);
      Push(seMixedBoundary);
    } else if (text && html) {
      Push(seAlternativeHeader);
      Push(seMixedBoundary);
    } else if (text) {
      Push(seTextPartHeader);
      Push(seMixedBoundary);
      SetupTextPart();
    } else if (html) {
      Push(seHTMLPartHeader);
      Push(seMixedBoundary);
      SetupHTMLPart();
    }
    PrepareParts(false);
  } else if (state == seRelatedHeader) {
    AnsiString type;
    if (text && html) {
      type = AnsiString("    type=\"multipart/alternative\";\r\n");
    } else if (html) {
      type = AnsiString("    type=\"text/html\";\r\n");
    } else if (text) {
      type = AnsiString("    type=\"text/plain\";\r\n");
    }
    *line = AnsiString("Content-Type: multipart/related;\r\n") + type +
            AnsiString("    boundary=\"= Multipart Related Boundary [[TarnixUniqueID]]\"\r\n");
    Push(seRelatedEnd);
    Push(seImageHeader);
    Push(seRelatedBoundary);
    if (text && html) {
      Push(seAlternativeHeader);
      Push(seRelatedBoundary);
    } else if (html) {
      Push(seHTMLPartHeader);
      Push(seRelatedBoundary);
      SetupHTMLPart();
    } else if (text) {
      Push(seTextPartHeader);
      Push(seRelatedBoundary);
      SetupTextPart();
    }
    PrepareParts(true);
  } else {
    *line = AnsiString(
        "Content-Type: multipart/alternative;\r\n    boundary=\"= Multipart Alternative Boundary [[TarnixUniqueID]]\"\r\n");
    Push(seAlternativeEnd);
    Push(seHTMLPartHeader);
    Push(seAlternativeBoundary);
    Push(seTextPartHeader);
    Push(seAlternativeBoundary);
    SetupHTMLPart();
    SetupTextPart();
  }
  m_lngWriterState = sePreamble;
}

// ---- attachments and inline images ----

UniString clsSMTPEmail::FilePath(bool image, int32_t index) {
  UniStringList const* own = image ? m_pulstHTMLImages : m_pulstAttachments;
  UniStringList const& preference = image ? m_ulstPrefImages : m_ulstPrefAttachments;
  int32_t const ownCount = own != nullptr ? int32_t(own->Count()) : 0;
  if (index < ownCount) return own->At(unsigned(index));
  index -= ownCount;
  if (index < int32_t(preference.Count())) return preference.At(unsigned(index));
  return UniString();
}

void clsSMTPEmail::SetupFilePart(bool image, int32_t index) {
  std::vector<clsSMTPEmailPart*>& parts = image ? m_vecImageParts : m_vecAttachmentParts;
  if (index < 0 || size_t(index) >= parts.size() || parts[size_t(index)] == nullptr) return;
  UniString const path = FilePath(image, index);
  if (path.IsEmpty()) return;
  if (image) {
    parts[size_t(index)]->SetupHTMLImage(path, int(index), GetCharSet());
  } else {
    parts[size_t(index)]->SetupAttachment(path, GetCharSet());
  }
}

void clsSMTPEmail::PrepareParts(bool image) {
  std::vector<clsSMTPEmailPart*>& parts = image ? m_vecImageParts : m_vecAttachmentParts;
  int32_t const count = image ? m_lngImageCount : m_lngAttachmentCount;
  while (int32_t(parts.size()) < count) {
    clsSMTPEmailPart* part = new (std::nothrow) clsSMTPEmailPart;
    if (part == nullptr) break;
    parts.push_back(part);
  }
  m_lngCurrentAttachment = 0;
  if (parts.empty() || parts[0] == nullptr) return;
  SetupFilePart(image, 0);
}

void clsSMTPEmail::WriteFilePart(AnsiString* line, bool image) {
  std::vector<clsSMTPEmailPart*>& parts = image ? m_vecImageParts : m_vecAttachmentParts;
  char const* const missing =
      image ? "HTML Image is not present or has not been generated!" : "Attachment is not present or has not been generated!";
  bool const header = m_lngWriterState == (image ? seImageHeader : seAttachmentHeader);
  clsSMTPEmailPart* part = nullptr;
  if (m_lngCurrentAttachment >= 0 && size_t(m_lngCurrentAttachment) < parts.size()) {
    part = parts[size_t(m_lngCurrentAttachment)];
  }
  if (part == nullptr || (header && part->GetPartHeaders() == nullptr)) {
    ErrorLine(line, missing);
    return;
  }
  if (header) {
    TStringList const& headers = *part->GetPartHeaders();
    if (m_lngLineCounter < headers.Count()) {
      *line = headers.Strings[unsigned(m_lngLineCounter)];
      ++m_lngLineCounter;
      return;
    }
    m_lngWriterState = image ? seImageData : seAttachmentData;
    if (!(image ? part->StartHTMLImage() : part->StartAttachment())) NoteWriterError(part->ErrorString());
    return;
  }
  bool const more = image ? part->EncodeHTMLImageLine(line) : part->EncodeAttachmentLine(line);
  if (part->ErrorString().IsNotEmpty()) NoteWriterError(part->ErrorString());
  if (more) return;
  ++m_lngCurrentAttachment;
  if (m_lngCurrentAttachment < (image ? m_lngImageCount : m_lngAttachmentCount)) {
    m_lngWriterState = image ? seRelatedBoundary : seMixedBoundary;
    m_lngLineCounter = 0;
    Push(image ? seImageHeader : seAttachmentHeader);
    SetupFilePart(image, m_lngCurrentAttachment);
  } else {
    Pop();
    m_lngCurrentAttachment = 0;
  }
}
