// clsNewCfgDlg: the configuration dialog. Five tab pages (Basics, Authentication, Advanced, About
// and, on request, Debug) over the preference store; OK checks the sender's address and saves
// the settings, Cancel writes nothing. The Debug page changes the debug level at once, whichever
// button closes the dialog, and shows the most recent debug log lines.
// The Debug page is built when it is asked for by name or while Shift and Control are held as the
// dialog is built; the button row's id tells the two layouts apart (734 without the page, 738
// with it). The sender is split into name and address for two fields and joined again on OK
// (plugin/frame/FromAddress.h). A setting stored over several lines (a list) fits no field: OK
// leaves it as it is stored while its control shows it unchanged, and refuses a changed field
// that still holds a line break. OK also refuses a Port outside 1 to 65535 (letters, read as 0,
// stand for the default).
// Relies on the dialog engine (layout, window, modal loop, control access, stock message dialog),
// the preference store g_udtPrefs, the address validation and the debug log's globals. Host
// thread only. Failures to make or build the window are told in a message dialog and the debug
// log; a control missing from the window's layout copy is skipped.
#include <cstdint>
#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "core/MacOSGlue.h"
#include "core/UniStringList.h"
#include "core/clsDateTime.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/clsDynamicWindow.h"
#include "mime/CleanOneEmailAddress.h"
#include "platform/carbon/Keys.h"
#include "plugin/PlaceholderSettings.h"
#include "plugin/PluginGlobals.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/EmailFunctions.h"
#include "plugin/frame/FromAddress.h"
#include "plugin/frame/PluginIdentity.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// The product's web site, opened by the About page's link.
constexpr char kWebSite[] = "https://www.velmora.example/";

// Object ids: the settings and Debug controls keep their ids wherever they sit in the tree.
enum : int32_t {
  kRootID = 100,
  kTabsID = 101,
  kTabBasicsID = 102,
  kTabAdvancedID = 103,
  kTabAboutID = 104,
  kTabDebugID = 105,
  kTabAuthenticationID = 106,
  kOKID = 200,
  kCancelID = 201,
  kRefreshID = 203,
  kWebLinkID = 303,
  kAddHelpID = 304,
  kDebugLevelID = 305,
  kDebugFileID = 306,
  kDebugLinesID = 307,
  kHostID = 308,
  kFromEmailID = 309,
  kAuthTypeID = 310,
  kUsernameLabelID = 311,
  kUsernameID = 312,
  kPasswordLabelID = 313,
  kPasswordID = 314,
  kCharSetID = 315,
  kFromNameID = 316,
  kTLSTypeID = 317,
  kPortID = 318,
  kButtonRowID = 734,            // without the Debug page
  kButtonRowWithDebugID = 738,   // with it
};

// Virtual key codes held to ask for the Debug page.
constexpr short kShiftKey = 56;
constexpr short kControlKey = 59;

char const* const kAuthTypeItems[] = {"None (off)", "Plain", "Login", "CRAM-MD5", "Auto"};
char const* const kAuthTypeWords[] = {"NONE", "PLAIN", "LOGIN", "CRAM-MD5", "AUTO"};
char const* const kAuthTypeStored[] = {"None", "Plain", "Login", "CRAM-MD5", "Auto"};
char const* const kTLSTypeItems[] = {"None (off)", "After Connect (StartTLS)", "Before Connect (Alt. Port)"};
char const* const kTLSTypeWords[] = {"NONE", "AFTERCONNECT", "BEFORECONNECT"};
char const* const kTLSTypeStored[] = {"None", "AfterConnect", "BeforeConnect"};
char const* const kCharSets[] = {"ISO-8859-1",   "ISO-8859-2",   "ISO-8859-3",   "ISO-8859-4",  "ISO-8859-5",
                                 "ISO-8859-6",   "ISO-8859-9",   "ISO-8859-15",  "WINDOWS-1250", "WINDOWS-1251",
                                 "WINDOWS-1252", "WINDOWS-1253", "WINDOWS-1254", "WINDOWS-1255", "WINDOWS-1256",
                                 "WINDOWS-1257", "BIG5",         "GB2312",       "ISO-2022-JP",  "KOI8-R",
                                 "KS_C_5601-1987", "UTF-8"};
char const* const kDebugLevelItems[] = {"None (Off)", "Error", "Warning", "Result", "Info", "Full"};
char const* const kDebugLevelNames[] = {"None", "Error", "Warning", "Result", "Info", "Full"};

// The controls that show a setting and OK writes, with the page each is on; an edit has the label
// its refusal names.
struct stcSetting {
  int32_t m_lngID;
  char const* m_strPref;
  int32_t m_lngPage;
  char const* m_strEditLabel;  // null for a popup or the check box
};
stcSetting const kSettings[] = {
    {kHostID, "Host", 1, "SMTP Host"},         {kFromNameID, "From", 1, "From Name"},
    {kFromEmailID, "From", 1, "From Email"},   {kAuthTypeID, "AuthType", 2, nullptr},
    {kUsernameID, "Username", 2, "Username"},  {kPasswordID, "Password", 2, "Password"},
    {kTLSTypeID, "TLSType", 2, nullptr},       {kCharSetID, "CharSet", 3, nullptr},
    {kPortID, "Port", 3, "Port"},              {kAddHelpID, "AddHelp", 3, nullptr},
};

bool HoldsLineBreak(UniString const& text) {
  return text.Pos(static_cast<unsigned short>('\r')) > 0 || text.Pos(static_cast<unsigned short>('\n')) > 0;
}

// The tab names a caller may ask for, in page order (the empty name opens the first page too).
char const* const kTabWords[] = {"BASICS", "AUTHENTICATION", "ADVANCED", "ABOUT", "DEBUG"};

template <size_t N>
int32_t IndexOfWord(char const* const (&words)[N], UniString const& word) {
  for (size_t i = 0; i < N; ++i)
    if (word == U(words[i])) return int32_t(i);
  return 0;
}

template <size_t N>
char const* StoredWord(char const* const (&stored)[N], int32_t value) {
  return value > 0 && size_t(value) < N ? stored[value] : stored[0];
}

template <size_t N>
void AddItems(clsDWLayoutObject& popup, char const* const (&items)[N]) {
  for (char const* item : items) popup.AddItem(U(item));
}

// A row: an HBox with an empty title, no minimum width and no group box, holding its label.
clsDWLayoutObject::iterator AddRow(clsDWLayoutObject& page, int32_t rowID, int32_t labelID, char const* label) {
  auto row = page.AddHBox(rowID, UniString(), 0, false);
  row->AddLabel(labelID, U(label), 100, 0, 0, 0);
  return row;
}

void AddTextField(clsDWLayoutObject& row, int32_t id, UniString const& text, int minWidth, bool password,
                  char const* hint) {
  auto edit = row.AddEdit(id, text, minWidth, 0, password, false, false, true);
  edit->SetHint(U(hint));
}

clsDWLayoutObject::iterator AddPopup(clsDWLayoutObject& row, int32_t id, UniString const& text, int minWidth,
                                     char const* hint) {
  auto popup = row.AddComboBox(id, text, minWidth, false, false);
  if (hint) popup->SetHint(U(hint));
  return popup;
}

bool DebugPageKeysDown() {
  KeyMap keys;
  GetKeys(keys);
  return IsKeyDown(keys, kShiftKey) && IsKeyDown(keys, kControlKey);
}

bool HaveBackLog() { return g_bolDebugInitialized && g_ulstDebugBackLog != nullptr; }

void BuildBasicsPage(clsDWLayoutObject& page) {
  page.AddLabel(700, U("Basic Settings"), 0, 0, 0, 0);
  auto row = AddRow(page, 701, 702, "SMTP Host");
  AddTextField(*row, kHostID, g_udtPrefs.GetStringPref(U("Host"), U(g_strPlaceholderHost)), 300, false,
               "The Domain Name or IP Address of the SMTP Mail Server.");
  UniString name, address;
  SplitFromAddress(g_udtPrefs.GetStringPref(U("From"), U(g_strPlaceholderFrom)), &name, &address);
  row = AddRow(page, 703, 704, "From Name");
  AddTextField(*row, kFromNameID, name, 300, false, "The Name used to indicate who the email is From.");
  row = AddRow(page, 705, 706, "From Email");
  AddTextField(*row, kFromEmailID, address, 300, false, "The Email Address used to send the email From.");
}

void BuildAuthenticationPage(clsDWLayoutObject& page) {
  page.AddLabel(707, U("Authentication Settings"), 0, 0, 0, 0);
  auto row = AddRow(page, 708, 709, "Type");
  auto popup = AddPopup(*row, kAuthTypeID, UniString(), 300, "The type of Authentication your mail server requires.");
  AddItems(*popup, kAuthTypeItems);
  int32_t const authType =
      IndexOfWord(kAuthTypeWords, g_udtPrefs.GetStringPref(U("AuthType"), U("None")).Trim().UpperCase());
  popup->SetValue(authType);
  bool const enabled = authType != 0;

  row = AddRow(page, 710, kUsernameLabelID, "Username");
  row->m_vecChildren.back().SetEnabled(enabled);
  AddTextField(*row, kUsernameID, g_udtPrefs.GetStringPref(U("Username"), UniString()), 300, false,
               "The Username used to log in to the mail server when sending email.");
  row->m_vecChildren.back().SetEnabled(enabled);

  row = AddRow(page, 711, kPasswordLabelID, "Password");
  row->m_vecChildren.back().SetEnabled(enabled);
  AddTextField(*row, kPasswordID, g_udtPrefs.GetStringPref(U("Password"), UniString()), 300, true,
               "The Password used to log in to the mail server when sending email.");
  row->m_vecChildren.back().SetEnabled(enabled);

  row = AddRow(page, 712, 713, "TLS/SSL Type");
  popup = AddPopup(*row, kTLSTypeID, UniString(), 200, "The type of Secure Connection your mail server requires.");
  AddItems(*popup, kTLSTypeItems);
  popup->SetValue(IndexOfWord(kTLSTypeWords, g_udtPrefs.GetStringPref(U("TLSType"), U("None")).Trim().UpperCase()));
}

void BuildAdvancedPage(clsDWLayoutObject& page) {
  page.AddLabel(714, U("Advanced Settings"), 0, 0, 0, 0);
  auto row = AddRow(page, 715, 716, "Email Character Set: ");
  auto popup = AddPopup(*row, kCharSetID, UniString(), 300, nullptr);
  std::unique_ptr<UniStringList> charSets(new (std::nothrow) UniStringList);
  if (charSets) {
    for (char const* charSet : kCharSets) charSets->Add(U(charSet));
    popup->AssignText(charSets.get());
    UniString const stored = g_udtPrefs.GetStringPref(U("CharSet"), UniString());
    if (stored.IsNotEmpty()) popup->SetValue(charSets->IndexOf(stored, false));  // no match: the first
  }
  page.AddSeparator(717, 0);
  row = AddRow(page, 718, 719, "Port");
  AddTextField(*row, kPortID, UniString(g_udtPrefs.GetIntegerPref(U("Port"), 25)), 300, false,
               "The TCP/IP Port to connect to your mail server.");
  page.AddSeparator(720, 0);
  auto check = page.AddCheckBox(kAddHelpID, U("Add Help Comments to External Functions"), 0, 0,
                                g_udtPrefs.GetBooleanPref(U("AddHelp"), true));
  check->SetHint(
      U("If Checked, Function specific Help will be added to Calculations when inserting the Plug-in's Functions."));
}

void BuildAboutPage(clsDWLayoutObject& page) {
  auto row = page.AddHBox(721, UniString(), 0, false);
  row->AddFill(722);
  auto column = row->AddVBox(723, UniString(), 0, false);
  column->AddFill(724);
  auto label = column->AddLabel(725, U(g_strProductName) + U(" - ") + U(g_strProductDescription), 0, 0, 225, 0);
  label->AddFeature(8 | 2);  // centred, expands horizontally
  label = column->AddLabel(726, U("Version ") + U(g_strProductVersion), 0, 0, 0, 0);
  label->AddFeature(8 | 2);
  column->AddFill(727);
  row->AddFill(728);
  auto picture = row->AddPicture(729, 0, 0, 0, 0, 0);
  picture->SetLabel(U("Plugin_Logo.png"));
  picture->AddFeature(1);  // a PNG resource of the plug-in's bundle
  page.AddFill(730);
  row = page.AddHBox(731, UniString(), 0, false);
  row->AddLabel(732, U("Visit us at:"), 0, 0, 0, 0);
  auto link = row->AddLabel(kWebLinkID, U(kWebSite), 0, 0, 0, 0);
  link->AddFeature(1);  // a hyperlink: the engine opens it in the browser
  link->SetHint(U("Click to open in your Web Browser."));
}

void BuildDebugPage(clsDWLayoutObject& page) {
  auto row = AddRow(page, 734, 735, "Debug Level:");
  auto popup = AddPopup(*row, kDebugLevelID, U("DebugLevel"), 300, "Set the Debug Level for the Plug-in.");
  AddItems(*popup, kDebugLevelItems);
  popup->SetValue(g_intDebugLevel);
  AddTextField(page, kDebugFileID, g_ustrDebugLogFileName, 300, false,
               "This is the location of the Debug Log Text File on your Hard Drive.");
  page.AddSeparator(736, 0);
  page.AddLabel(737, U("Most Recent Debug Log Entries:"), 0, 0, 0, 0);
  auto lines = page.AddEdit(kDebugLinesID, UniString(), 400, 200, false, false, true, true);
  if (HaveBackLog()) lines->AssignText(g_ulstDebugBackLog);
  auto refresh = page.AddButton(kRefreshID, U("Refresh"), 0, 0, false, false, false);
  refresh->SetHint(U("Refresh the Debug Log Text above."));
}

void ShowMessage(char const* text) { MessageDialog(U(text), kMsgDlgOK, UniString(), nullptr, UniString(), 0); }

// Whether the Port field's text, read as UniString::ToInt reads it but without its 32-bit
// wrap-around, is at most 65535 and not below 0: a larger or negative number would reach the
// socket cut to another port. Letters read as 0, which the connection takes as port 25.
bool PortFieldInRange(UniString const& field) {
  UniString const text = field.Trim();
  int const length = text.Length();
  int64_t value = 0;
  auto add = [&value](int64_t base, int64_t digit) { value = value > 65535 ? value : value * base + digit; };
  if (length >= 2 && text[1] == '0' && text[2] == 'x') {
    for (int i = 3; i <= length; ++i) {
      unsigned short const c = text[i];
      if (c >= '0' && c <= '9') {
        add(16, c - '0');
      } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        add(16, (c | 0x20) - 'a' + 10);
      } else {
        break;
      }
    }
    return value <= 65535;
  }
  bool const negative = length >= 1 && text[1] == '-';
  for (int i = negative ? 2 : 1; i <= length && text[i] >= '0' && text[i] <= '9'; ++i) add(10, text[i] - '0');
  return value <= 65535 && !(negative && value > 0);
}

}  // namespace

clsNewCfgDlg::clsNewCfgDlg() : m_bolSavePrefs(false), m_pudtWindow(nullptr) {}

clsNewCfgDlg::~clsNewCfgDlg() { delete m_pudtWindow; }

namespace {

// Dialogs in their modal loop; the loop may be left by an exception.
int g_intShownDialogs = 0;

struct stcShownDialog {
  stcShownDialog() { ++g_intShownDialogs; }
  ~stcShownDialog() { --g_intShownDialogs; }
  stcShownDialog(stcShownDialog const&) = delete;
  stcShownDialog& operator=(stcShownDialog const&) = delete;
};

}  // namespace

bool clsNewCfgDlg::IsAnyShown() { return g_intShownDialogs > 0; }

UniString clsNewCfgDlg::Show(UniString tabName) {
  clsFuncDebug dbg(U("ShowConfigDialog"));
  UniString result;
  if (g_fudtFMProduct >= 3) {
    dbg.Output(kDebugWarning, U("Er.. we are running under server or wpe or something.."));
  } else {
    if (m_pudtWindow == nullptr) {
      result = CreateConfigDialog(tabName);
      if (m_pudtWindow == nullptr) dbg.Output(kDebugWarning, U("CreateConfigDialog failed."));
    }
    if (m_pudtWindow != nullptr) {
      m_bolSavePrefs = false;
      {
        stcShownDialog const shown;
        m_pudtWindow->MyShow();
      }
      if (m_bolSavePrefs) SaveThePrefs();
    }
  }
  delete m_pudtWindow;
  m_pudtWindow = nullptr;
  return result;
}

UniString clsNewCfgDlg::CreateConfigDialog(UniString tabName) {
  clsFuncDebug dbg(U("CreateConfigDialog"));
  UniString const wanted = tabName.Trim().UpperCase();
  UniString result;
  int32_t page = 0;
  // Just before a page is built: when the caller asked for it, it is the page to open.
  auto pageComing = [&](int32_t number) {
    if (wanted == U(kTabWords[number - 1]) || (number == 1 && wanted.IsEmpty())) {
      result = tabName;
      page = number;
    }
  };
  bool const withDebug = wanted == U("DEBUG") || DebugPageKeysDown();

  clsDWLayoutObject root;
  root.MakeMeAVBox(kRootID, UniString(), 0, false);
  auto tabs = root.AddTabControl(kTabsID, 0, 0);
  pageComing(1);
  BuildBasicsPage(*tabs->AddTab(kTabBasicsID, U("Basics"), true, 0, 0));
  pageComing(2);
  BuildAuthenticationPage(*tabs->AddTab(kTabAuthenticationID, U("Authentication"), true, 0, 0));
  pageComing(3);
  BuildAdvancedPage(*tabs->AddTab(kTabAdvancedID, U("Advanced"), true, 0, 0));
  pageComing(4);
  BuildAboutPage(*tabs->AddTab(kTabAboutID, U("About"), true, 0, 0));
  if (withDebug) {
    pageComing(5);
    BuildDebugPage(*tabs->AddTab(kTabDebugID, U("Debug"), true, 0, 0));
  }
  tabs->SetValue(page);

  int32_t const rowID = withDebug ? kButtonRowWithDebugID : kButtonRowID;
  auto row = root.AddHBox(rowID, UniString(), 0, false);
  row->AddFill(rowID + 1);
  row->AddButton(kCancelID, U("Cancel"), 0, 0, false, true, true);
  row->AddButton(kOKID, U("OK"), 0, 0, true, false, true);

  clsDWLayout layout;
  layout.SetLayout(root);
  m_vecSeveralLines.clear();
  for (stcSetting const& setting : kSettings) {
    bool found = false;
    auto control = layout.FindControlWithID(setting.m_lngID, found);
    if (found && HoldsLineBreak(g_udtPrefs.GetPref(U(setting.m_strPref), clsSingleVar()).GetValue_AsString())) {
      m_vecSeveralLines.push_back({setting.m_lngID, control->GetLabel(), control->GetValue()});
    }
  }
  layout.SetTitle(U(g_strProductName) + U(" - A FileMaker Pro Plug-in"));
  layout.SetResizable(true, true);
  layout.SetLiveResize(true);

  m_pudtWindow = new (std::nothrow) clsDynamicWindow;
  if (m_pudtWindow == nullptr) {
    ShowMessage("Could not create configuration dialog!");
    return result;
  }
  m_pudtWindow->SetWindowType(1);
  m_pudtWindow->SetEventsObject(this);
  if (!m_pudtWindow->BuildWindow(layout, 0, 0, 0, 0)) {
    ShowMessage("Could not build configuration dialog!");
    delete m_pudtWindow;
    m_pudtWindow = nullptr;
  }
  return result;
}

void clsNewCfgDlg::ButtonClick(int32_t id, bool* close) {
  if (m_pudtWindow == nullptr) return;
  if (id == kOKID) {
    *close = false;
    // A line break in a field comes only from a setting stored over several lines; changed, the
    // field cannot be stored as it is.
    for (stcSetting const& setting : kSettings) {
      if (setting.m_strEditLabel == nullptr) continue;
      UniString const live = m_pudtWindow->GetEditText(setting.m_lngID);
      if (!HoldsLineBreak(live) || KeptAsStored(setting.m_lngID, live, 0)) continue;
      MessageDialog(U("The ") + U(setting.m_strEditLabel) +
                        U(" cannot hold a line break. Remove it, or press Cancel to keep the setting as it is stored."),
                    kMsgDlgOK, UniString(), nullptr, UniString(), 0);
      m_pudtWindow->UpdateControlValue(kTabsID, setting.m_lngPage);
      m_pudtWindow->UpdateFocus(setting.m_lngID);
      return;
    }
    UniString const address = m_pudtWindow->GetEditText(kFromEmailID);
    // The field keeps the address alone: a display name or comment the cleaned form kept goes to
    // From Name when that is empty (a given From Name wins), so the save does not wrap a named
    // address in a second pair of brackets and the next opening shows the same two fields.
    UniString name, bare;
    if (address.IsEmpty()) {
      ShowMessage("You must specify a From Email Address.");
    } else {
      UniString cleaned;
      CleanOneEmailAddress(address, &cleaned, nullptr);
      if (cleaned.IsNotEmpty()) SplitFromAddress(cleaned, &name, &bare);
      if (bare.IsEmpty()) ShowMessage("The From Email Address appears to be invalid.");
    }
    if (bare.IsEmpty()) {
      m_pudtWindow->UpdateControlValue(kTabsID, 1);
      m_pudtWindow->UpdateFocus(kFromEmailID);
      return;
    }
    if (!PortFieldInRange(m_pudtWindow->GetEditText(kPortID))) {
      ShowMessage("The Port must be a number from 1 to 65535.");
      m_pudtWindow->UpdateControlValue(kTabsID, 3);
      m_pudtWindow->UpdateFocus(kPortID);
      return;
    }
    m_pudtWindow->UpdateEditText(kFromEmailID, bare);
    if (name.IsNotEmpty() && m_pudtWindow->GetEditText(kFromNameID).Trim().IsEmpty()) {
      m_pudtWindow->UpdateEditText(kFromNameID, name);
    }
    m_bolSavePrefs = true;
    *close = true;
  } else if (id == kRefreshID) {
    if (HaveBackLog()) m_pudtWindow->UpdateMultiLineEditText(kDebugLinesID, g_ulstDebugBackLog);
  }
}

void clsNewCfgDlg::RadioGroupChange(int32_t) {}

bool clsNewCfgDlg::KeptAsStored(int32_t id, UniString const& text, int32_t value) const {
  for (stcShownSetting const& shown : m_vecSeveralLines) {
    if (shown.m_lngID != id) continue;
    for (stcSetting const& setting : kSettings) {
      if (setting.m_lngID == id) return setting.m_strEditLabel ? shown.m_ustrText == text : shown.m_lngValue == value;
    }
  }
  return false;
}

void clsNewCfgDlg::ComboBoxChange(int32_t id) {
  if (m_pudtWindow == nullptr) return;
  bool found = false;
  auto control = m_pudtWindow->GetLayout().FindControlWithID(id, found);
  if (!found) return;

  if (id == kAuthTypeID) {
    bool const enabled = control->GetValue() != 0;
    for (int32_t dependent : {kUsernameLabelID, kUsernameID, kPasswordLabelID, kPasswordID}) {
      if (enabled) {
        m_pudtWindow->EnableControl(dependent);
      } else {
        m_pudtWindow->DisableControl(dependent);
      }
    }
    return;
  }
  if (id != kDebugLevelID) return;

  int32_t const level = control->GetValue();
  int32_t const previous = g_intDebugLevel;
  if (level == previous) return;
  g_intDebugLevel = level;
  clsDateTime now;
  now.SetToNow();
  UniString const stamp(now.GetAsString());

  if (level == kDebugNone) {
    DebugOutput(kDebugError, U("File DateTime Stamp: ") + stamp);
    DebugOutput(kDebugError, U("Debug Level Set to \"None\""));
  } else {
    if (previous == kDebugNone && HaveBackLog()) {
      // Lines kept in memory while the log was off reach the file now; they are in the back-log already.
      UniStringList const backLog = *g_ulstDebugBackLog;
      DebugOutput(kDebugError, U("Begin : Debug Back Log Entries"), true);
      for (UniString const& line : backLog) DebugOutput(kDebugError, line, true);
      DebugOutput(kDebugError, U("End : Debug Back Log Entries"), true);
    }
    UniString text = U("Debug Level Set to ");
    if (level > 0 && level <= kDebugFull) text += U("\"") + U(kDebugLevelNames[level]) + U("\"");
    DebugOutput(kDebugError, text);
    DebugOutput(kDebugError, U("*** ") + U(g_strProductName) + U(" v.") + U(g_strProductVersion), true);
    DebugOutput(kDebugError, U("*** ") + UniString(GetMacOSVersion(nullptr, nullptr, nullptr)));
    DebugOutput(kDebugError, U("*** FileMaker Version: ") + g_ustrFMVersionStr);
    DebugOutput(kDebugError, U("*** File DateTime Stamp: ") + stamp);
  }
  m_pudtWindow->UpdateEditText(kDebugFileID, g_ustrDebugLogFileName);
}

void clsNewCfgDlg::SaveThePrefs() {
  if (m_pudtWindow == nullptr) return;
  clsFuncDebug dbg(U("clsNewCfgDlg::SaveThePrefs"));
  clsDWLayout& layout = m_pudtWindow->GetLayout();
  auto control = [&layout](int32_t id) -> clsDWLayoutObject* {
    bool found = false;
    auto it = layout.FindControlWithID(id, found);
    return found ? &*it : nullptr;
  };
  auto kept = [this, &control](int32_t id) {
    clsDWLayoutObject* shown = control(id);
    return shown != nullptr && KeptAsStored(id, shown->GetLabel(), shown->GetValue());
  };
  // A setting stored over several lines and shown unchanged is left as it is stored.
  auto find = [&control, &kept](int32_t id) { return kept(id) ? nullptr : control(id); };
  auto text = [&control](int32_t id) {
    clsDWLayoutObject* shown = control(id);
    return shown ? shown->GetLabel() : UniString();
  };

  dbg.Output(kDebugInfo, U("Grabbing 'Basics' Tab Settings"));
  if (clsDWLayoutObject* host = find(kHostID)) g_udtPrefs.SetStringPref(U("Host"), host->GetLabel());
  if (!kept(kFromNameID) || !kept(kFromEmailID))
    g_udtPrefs.SetStringPref(U("From"), ComposeFromAddress(text(kFromNameID), text(kFromEmailID)));

  dbg.Output(kDebugInfo, U("Grabbing 'Authentication' Tab Settings"));
  if (clsDWLayoutObject* auth = find(kAuthTypeID))
    g_udtPrefs.SetStringPref(U("AuthType"), U(StoredWord(kAuthTypeStored, auth->GetValue())));
  if (clsDWLayoutObject* user = find(kUsernameID)) g_udtPrefs.SetStringPref(U("Username"), user->GetLabel());
  if (clsDWLayoutObject* password = find(kPasswordID))
    g_udtPrefs.SetStringPref(U("Password"), password->GetLabel());
  if (clsDWLayoutObject* tls = find(kTLSTypeID))
    g_udtPrefs.SetStringPref(U("TLSType"), U(StoredWord(kTLSTypeStored, tls->GetValue())));

  dbg.Output(kDebugInfo, U("Grabbing 'Advanced' Tab Settings"));
  if (clsDWLayoutObject* charSet = find(kCharSetID)) g_udtPrefs.SetStringPref(U("CharSet"), charSet->GetLabel());
  if (clsDWLayoutObject* port = find(kPortID)) g_udtPrefs.SetIntegerPref(U("Port"), port->GetLabel().ToInt());
  if (clsDWLayoutObject* help = find(kAddHelpID)) g_udtPrefs.SetBooleanPref(U("AddHelp"), help->GetValue() != 0);

  dbg.Output(kDebugInfo, U("Saving Prefs to HD"));
  g_udtPrefs.SavePrefs();
}
