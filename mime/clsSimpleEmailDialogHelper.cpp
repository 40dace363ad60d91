// The compose dialog: clsSMTPEmail::ShowSimpleDialog builds the layout from the message and the
// caller's three lists, runs the window modally with clsSimpleEmailDialogHelper as its handler,
// keeps the window's place and size in the preferences whatever closed it, and after Send
// writes the user's To, From, Subject, attachments and body back into the message (see
// mime/clsSimpleEmailDialogHelper.h).
// The merge-field menu is made in the caller's own list; the attachment menu is one list shared
// by the three "+" buttons. A window that cannot be made or built is reported to the user in the
// stock message dialog and leaves the message untouched.
#include "mime/clsSimpleEmailDialogHelper.h"

#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/clsDynamicWindow.h"
#include "files/XFileSpec.h"
#include "mime/CleanOneEmailAddress.h"
#include "mime/MimePrefs.h"
#include "mime/clsSMTPEmail.h"
#include "mime/clsSMTPEmailPart.h"
#include "plugin/clsPrefs.h"

namespace {

UniString U(char const* text) { return UniString(text); }

constexpr unsigned short kCR = 13;
constexpr char const* kMergePrefix = "Insert Merge Field>";
constexpr char const* kMenuValue = "SimpDlg";
// "Container: " and the other spellings of the prefix are ten characters before the name.
constexpr int kContainerPrefixLength = 10;

char const* const kGeometryPrefs[4] = {"LastSimpleDialogLeft", "LastSimpleDialogTop",
                                       "LastSimpleDialogWidth", "LastSimpleDialogHeight"};

bool IsContainerAttachment(UniString const& value) {
  return value.UpperCase().SubString(1, kContainerPrefixLength) == U("CONTAINER:");
}

// What a slot's edit shows: a container value whole, a path by its file name.
UniString ShownAttachment(UniString const& value) {
  return IsContainerAttachment(value) ? value : XFileSpec::GetFileName(value);
}

// Yes of the No-default question.
bool AskYes(UniString const& question) {
  return MessageDialog(question, kMsgDlgNoDefaultYes, UniString(), nullptr, UniString(), 0) == 3;
}

void Tell(UniString const& text) {
  MessageDialog(text, kMsgDlgOK, UniString(), nullptr, UniString(), 0);
}

// Creates an owned list of the message when it is absent; false when that fails.
bool EnsureList(UniStringList*& list) {
  if (list == nullptr) list = new (std::nothrow) UniStringList;
  return list != nullptr;
}

// The text an object of the window's layout copy holds (an edit's text after the window ran).
UniString LabelOf(clsDynamicWindow& window, int32_t id) {
  bool found = false;
  clsDWLayoutObject::iterator it = window.GetLayout().FindControlWithID(id, found);
  return found ? it->GetLabel() : UniString();
}

}  // namespace

// ---- the handler ----

clsSimpleEmailDialogHelper::clsSimpleEmailDialogHelper()
    : m_pudtEmail(nullptr), m_pudtWindow(nullptr), m_lngButtonPressed(kSimpleDlgCancel) {}

clsSimpleEmailDialogHelper::~clsSimpleEmailDialogHelper() = default;

void clsSimpleEmailDialogHelper::ButtonClick(int32_t id, bool* close) {
  if (id == kSimpleDlgCancel) {
    if (close != nullptr) *close = true;
    m_lngButtonPressed = kSimpleDlgCancel;
    return;
  }
  if (id != kSimpleDlgSend || m_pudtWindow == nullptr) return;
  UniString error;
  UniString const to = m_pudtWindow->GetEditText(kSimpleDlgTo);
  if (to.IsEmpty()) {
    error = U("You must specify who to send the email to ('To' field).");
  } else {
    UniString cleaned;
    CleanOneEmailAddress(to, &cleaned, nullptr);
    if (cleaned.IsNotEmpty()) {
      m_pudtWindow->UpdateEditText(kSimpleDlgTo, cleaned);
    } else {
      error = U("The To Email Address appears to be invalid.");
    }
  }
  if (error.IsNotEmpty()) {
    m_pudtWindow->UpdateFocus(kSimpleDlgTo);
    Tell(error);
    if (close != nullptr) *close = false;
    return;
  }
  if (close != nullptr) *close = true;
  m_lngButtonPressed = kSimpleDlgSend;
}

void clsSimpleEmailDialogHelper::ContextualMenuClick(int32_t id, UniString text, UniString value) {
  if (m_pudtWindow == nullptr) return;
  UniString const word = value.IsNotEmpty() ? value : text;
  switch (id) {
    case kSimpleDlgSubject:
    case kSimpleDlgBody:
      if (word.IsNotEmpty()) m_pudtWindow->InsertEditText(id, U("<<") + word + U(">>"));
      break;
    case kSimpleDlgToButton:
      if (word.IsNotEmpty()) m_pudtWindow->UpdateEditText(kSimpleDlgTo, word);
      break;
    case kSimpleDlgAttach1:
    case kSimpleDlgAttach2:
    case kSimpleDlgAttach3:
      AttachmentMenuClick(id - kSimpleDlgAttach1, text, value, word);
      break;
    default:
      break;
  }
}

void clsSimpleEmailDialogHelper::AttachmentMenuClick(int slot, UniString const& text,
                                                     UniString const& value, UniString const& word) {
  UniString& current = m_ustrAttachments[slot];
  bool const ours = value.UpperCase() == U(kMenuValue).UpperCase();
  if (ours && text.UpperCase() == U("CLEAR")) {
    if (current.IsEmpty()) return;
    UniString question = U("Are you sure you want to remove the Attachment");
    if (IsContainerAttachment(current)) {
      question += U(" from the Container:") + UniString(kCR) +
                  current.SubString(kContainerPrefixLength + 1, current.Length());
    } else {
      question += U(":") + UniString(kCR) + XFileSpec::GetFileName(current);
    }
    if (AskYes(question)) SetSlot(slot, UniString(), UniString());
    return;
  }
  if (ours && text.UpperCase() == U("SELECT FILE...")) {
    XFileSpec file;
    int typeIndex = -1;
    if (!file.SelectFileNameDlg(0, nullptr, &typeIndex, false, UniString())) {
      DebugOutput(kDebugInfo, U("Attachment not chosen: ") + file.ErrorString());
      return;
    }
    if (!MayReplace(slot)) return;
    UniString const path = file.GetPath(kPathStyleInternal, true);
    SetSlot(slot, path, XFileSpec::GetFileName(path));
    return;
  }
  // A container field's name.
  if (!MayReplace(slot) || word.IsEmpty()) return;
  UniString const container = U("Container: ") + word;
  SetSlot(slot, container, container);
}

bool clsSimpleEmailDialogHelper::MayReplace(int slot) {
  return m_ustrAttachments[slot].IsEmpty() ||
         AskYes(U("Are you sure you want to replace the current attachment with this new attachment?"));
}

void clsSimpleEmailDialogHelper::SetSlot(int slot, UniString const& value, UniString const& shown) {
  m_ustrAttachments[slot] = value;
  m_pudtWindow->UpdateEditText(kSimpleDlgAttachEdit1 + slot, shown);
}

// ---- the dialog ----

bool clsSMTPEmail::ShowSimpleDialog(UniStringList* addresses, UniStringList* mergeFields,
                                    UniStringList* containers) {
  clsFuncDebug debug(U("clsSMTPEmail::ShowSimpleDialog"), kDebugFull);
  clsSimpleEmailDialogHelper helper;

  // The menus. The merge fields go into a submenu, made in the caller's list.
  if (mergeFields != nullptr) {
    for (UniString& name : *mergeFields) name = U(kMergePrefix) + name;
    for (char const* entry : {"-", "Current Date;//", "Current Time;::", "Current User;||",
                              "Current Record Number;@@"}) {
      mergeFields->Add(U(kMergePrefix) + U(entry));
    }
  }
  UniStringList attachmentMenu;
  attachmentMenu.Add(U("Clear;") + U(kMenuValue));
  attachmentMenu.Add(U("-"));
  attachmentMenu.Add(U("Select File...;") + U(kMenuValue));
  if (containers != nullptr) {
    attachmentMenu.Add(U("-"));
    attachmentMenu.AddStrings(containers);
  }

  // The layout, row by row; each row is finished before the next is added to the root.
  UniString const none;
  clsDWLayoutObject root;
  root.MakeMeAVBox(700, none, 0, false);
  {
    auto row = root.AddHBox(701, none, 0, false);
    auto toButton = row->AddButton(kSimpleDlgToButton, U("To:"), 120, 0, false, false, false);
    if (addresses != nullptr) toButton->SetContextualMenu(addresses);
    UniString const to =
        addresses != nullptr && addresses->Count() == 1 ? addresses->At(0) : UniString();
    row->AddEdit(kSimpleDlgTo, to, 400, 0, false, false, false, true);
  }
  root.AddSpace(702, 1, 12, 1, 12);
  {
    auto row = root.AddHBox(703, none, 0, false);
    row->AddLabel(704, U("From:"), 120, 0, 0, 0)->SetFeatures(8);
    row->AddEdit(kSimpleDlgFrom, GetFrom(), 400, 0, false, true, false, true);
  }
  root.AddSpace(705, 1, 12, 1, 12);
  {
    auto row = root.AddHBox(706, none, 0, false);
    row->AddLabel(707, U("Subject:"), 120, 0, 0, 0)->SetFeatures(8);
    auto subject = row->AddEdit(kSimpleDlgSubject, GetSubject(), 400, 0, false, false, false, true);
    if (mergeFields != nullptr) subject->SetContextualMenu(mergeFields);
  }
  root.AddSpace(708, 1, 12, 1, 12);
  {
    auto row = root.AddHBox(709, none, 0, false);
    row->AddLabel(710, U("Attachments:"), 120, 0, 0, 0)->SetFeatures(8);
    int32_t const spaces[3] = {711, 712, 713};
    for (int slot = 0; slot < 3; ++slot) {
      UniString shown;
      if (m_pulstAttachments != nullptr && unsigned(slot) < m_pulstAttachments->Count()) {
        helper.m_ustrAttachments[slot] = m_pulstAttachments->At(unsigned(slot));
        shown = ShownAttachment(helper.m_ustrAttachments[slot]);
      }
      row->AddEdit(kSimpleDlgAttachEdit1 + slot, shown, 100, 0, false, true, false, true);
      row->AddSpace(spaces[slot], 6, 1, 6, 1);
      row->AddSmallButton(kSimpleDlgAttach1 + slot, U("+"), 0, 0)->SetContextualMenu(&attachmentMenu);
    }
  }
  root.AddSpace(714, 1, 10, 1, 10);
  {
    auto body = root.AddEdit(kSimpleDlgBody, none, 300, 250, false, false, true, true);
    if (m_pulstTextBody != nullptr) body->AssignText(m_pulstTextBody);
    if (mergeFields != nullptr) body->SetContextualMenu(mergeFields);
  }
  root.AddSpace(715, 1, 8, 1, 8);
  root.AddSeparator(716, 0);
  root.AddSpace(717, 1, 8, 1, 8);
  {
    auto row = root.AddHBox(718, none, 0, false);
    row->AddFill(719);
    row->AddButton(kSimpleDlgCancel, U("Cancel"), 0, 0, false, true, false);
    row->AddButton(kSimpleDlgSend, U("Send"), 0, 0, true, false, false);
  }
  clsDWLayout layout;
  layout.SetLayout(root);
  layout.SetTitle(U("Send Email..."));
  layout.SetResizable(true, true);
  layout.SetLiveResize(true);

  // The window, placed where the user left it last time.
  std::unique_ptr<clsDynamicWindow> window(new (std::nothrow) clsDynamicWindow);
  if (!window) {
    debug.Output(kDebugError, U("Could not create Simple Email Dialog!"));
    Tell(U("Could not create Simple Email Dialog!"));
    return false;
  }
  window->SetWindowType(1);
  window->SetEventsObject(&helper);
  if (!window->BuildWindow(layout, 0, 0, 0, 0)) {
    debug.Output(kDebugError, U("Could not build Simple Email Dialog!"));
    Tell(U("Could not build Simple Email Dialog!"));
    return false;
  }
  int32_t geometry[4];
  for (int i = 0; i < 4; ++i) geometry[i] = g_udtPrefs.GetIntegerPref(U(kGeometryPrefs[i]), 0);
  if (geometry[0] != 0 && geometry[1] != 0) window->PositionWindow(geometry[0], geometry[1]);
  if (geometry[2] != 0 && geometry[3] != 0) window->ResizeWindow(geometry[2], geometry[3], false);

  helper.m_pudtWindow = window.get();
  helper.m_pudtEmail = this;
  window->MyShow();

  // Kept whatever closed the window.
  int bounds[4] = {0, 0, 0, 0};
  window->GetWindowBounds(&bounds[0], &bounds[1], &bounds[2], &bounds[3]);
  for (int i = 0; i < 4; ++i) g_udtPrefs.SetIntegerPref(U(kGeometryPrefs[i]), bounds[i]);
  g_udtPrefs.SavePrefs();

  if (helper.m_lngButtonPressed != kSimpleDlgSend) {
    debug.Output(kDebugInfo, U("Dialog Canceled."));
    return false;
  }

  // The write-back. A list that cannot be made is skipped; the other fields still go in.
  if (EnsureList(m_pulstTos)) {
    m_pulstTos->Clear();
    m_pulstTos->Add(LabelOf(*window, kSimpleDlgTo));
  }
  m_ustrFrom = LabelOf(*window, kSimpleDlgFrom);
  m_ustrSubject = LabelOf(*window, kSimpleDlgSubject);
  DeleteParts(m_vecAttachmentParts);
  if (m_pulstAttachments != nullptr) m_pulstAttachments->Clear();
  for (UniString const& value : helper.m_ustrAttachments) {
    if (value.IsNotEmpty() && EnsureList(m_pulstAttachments)) m_pulstAttachments->Add(value);
  }
  if (m_pulstTextBody != nullptr) m_pulstTextBody->Clear();
  // The preference header and footer are left out of a message written here.
  UniStringList preference;
  struct stcSection {
    char const* m_strPreference;
    UniStringList** m_ppulstList;
  } const sections[] = {{"TextHeader", &m_pulstTextHeader}, {"TextFooter", &m_pulstTextFooter}};
  for (stcSection const& section : sections) {
    UniStringList*& list = *section.m_ppulstList;
    if (CopyListPref(U(section.m_strPreference), &preference)) {
      if (EnsureList(list)) {
        list->Clear();
        list->Add(U("[[Skip]]"));
      }
    } else if (list != nullptr) {
      list->Clear();
    }
  }
  bool found = false;
  clsDWLayoutObject::iterator body = window->GetLayout().FindControlWithID(kSimpleDlgBody, found);
  if (EnsureList(m_pulstTextBody) && found) body->GetText(m_pulstTextBody);
  m_bolTextNeedsQP = HasHighASCII(m_pulstTextBody) || HasHighASCII(m_pulstTextHeader) ||
                     HasHighASCII(m_pulstTextFooter);
  if (m_pudtTextPart != nullptr) m_pudtTextPart->ClearTextBody();
  debug.Output(kDebugInfo, U("Email updated from the dialog."));
  return true;
}
