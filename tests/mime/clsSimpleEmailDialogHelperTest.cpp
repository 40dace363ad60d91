// Tests of the compose dialog, scripted end to end through the window server's driver as a user
// would work it: the window, the To choices, Send with empty, invalid and valid addresses,
// closing, the place and size kept in the preferences, the menus and merge markers, the three
// attachment slots with their questions, the write-back into the message, and windows that
// cannot be made. Stock dialogs are answered as the user would; the file dialog through the
// Navigation stand-in's script.
#include "mime/clsSimpleEmailDialogHelper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/MacOSGlue.h"
#include "dialogs/clsDynamicWindow.h"
#include "mime/MimeMessageFixture.h"
#include "mime/NothrowAllocationFailures.h"
#include "platform/carbon/Menus.h"
#include "platform/carbon/MenusTesting.h"
#include "platform/carbon/NavigationTesting.h"
#include "platform/carbon/WindowsTesting.h"
#include "tests/support/MenuTesting.h"
#include "tests/support/StockDialogTesting.h"

namespace {

using mimecheck::Uni;
using mimecheck::Utf8;
using Access = clsSMTPEmailTestAccess;
using Lines = std::vector<std::string>;

// ---- the stock dialogs: what the user is asked and how they answer ----

// The user's answer to the next stock dialog (1 OK, 3 Yes, 4 No), queued right after the action
// that brings it up.
void Answer(int button) { QueueStockDialogAnswer(button); }

// Notes the stock dialogs as the window server shows them, from the last reset on.
std::unique_ptr<clsStockDialogRecorder> g_udtStockDialogs;

// The stock dialogs shown so far: the buttons left to right, the default one in brackets, then
// the text: "[OK]: text", "[No]/Yes: text".
Lines Shown() {
  Lines shown;
  if (g_udtStockDialogs == nullptr) return shown;
  for (stcShownStockDialog const& dialog : g_udtStockDialogs->Shown()) {
    std::string line;
    for (std::string const& button : dialog.m_vecButtons) {
      if (!line.empty()) line += "/";
      line += button == dialog.m_strDefaultButton ? "[" + button + "]" : button;
    }
    shown.push_back(line + ": " + dialog.m_strText);
  }
  return shown;
}

// Forgets what was shown; the recorder takes the server's show hook again (a server reset drops it).
void ResetStockDialogs() {
  g_udtStockDialogs.reset();
  g_udtStockDialogs = std::make_unique<clsStockDialogRecorder>();
}

// ---- the compose window ----

WindowRef ComposeWindow() {
  for (WindowRef window : WindowsListForTesting()) {
    stcWindowInfoForTesting info{};
    if (WindowsInfoForTesting(window, &info) && info.m_strTitle == "Send Email...") return window;
  }
  return nullptr;
}

stcControlInfoForTesting Control(SInt32 id) {
  stcControlInfoForTesting info{};
  EXPECT_TRUE(WindowsControlInfoForTesting(WindowsFindControlForTesting(ComposeWindow(), id), &info)) << id;
  return info;
}

std::string TextOf(SInt32 id) { return Control(id).m_strText; }

// The menu the user opened last.
Lines LastMenu() { return LastMenuLinesForTesting(); }

// The standard items of an edit's menu, then, after a separator, the given lines.
Lines EditMenu(bool multiLine, Lines const& lines) {
  Lines all = {"Undo", "-", "Cut", "Copy", "Paste", "Delete", "-", "Select All"};
  if (multiLine) all.insert(all.begin() + 1, "Redo");
  if (!lines.empty()) all.push_back("-");
  all.insert(all.end(), lines.begin(), lines.end());
  return all;
}

// The view that takes an edit's clicks: a multi-line edit's text view.
SInt32 ViewOf(SInt32 id) { return id == kSimpleDlgBody ? id + 20000 : id; }

// A click opens a button's menu; an edit's menu opens on a contextual click while it has the focus.
void OpenMenu(SInt32 id) {
  WindowsQueueClickForTesting(ViewOf(id));
  if (id == kSimpleDlgSubject || id == kSimpleDlgBody) WindowsQueueContextualClickForTesting(ViewOf(id));
}

void Pick(SInt32 id, char const* entry) {
  OpenMenu(id);
  WindowsQueueMenuPickForTesting(entry);
}

void Look(std::function<void()> look) { WindowsQueueCallForTesting(std::move(look)); }

void TypeInto(SInt32 id, char const* text) {
  WindowsQueueClickForTesting(ViewOf(id));
  WindowsQueueTypeForTesting(text);
}

UniStringList List(Lines const& lines) {
  UniStringList list;
  for (std::string const& line : lines) list.Add(Uni(line));
  return list;
}

Lines Entries(UniStringList const& list) {
  Lines lines;
  for (UniString const& line : list) lines.push_back(Utf8(line));
  return lines;
}

// One of the message's lists through its getter.
Lines Got(clsSMTPEmail& message, void (clsSMTPEmail::*getter)(UniStringList*)) {
  UniStringList list;
  (message.*getter)(&list);
  return Entries(list);
}

class clsSimpleEmailDialogTest : public clsMimeMessageTest {
 protected:
  void SetUp() override {
    clsMimeMessageTest::SetUp();
    WindowsResetForTesting();
    MenusResetForTesting();
    NavTestReset();
    ResetStockDialogs();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    Write("/Users/bob/data/notes.txt", "notes");
  }
  void TearDown() override {
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting()) << "the dialog closed before the script ended";
    EXPECT_EQ(Lines(), WindowsRefusalsForTesting());
    EXPECT_EQ(0u, NavTestQueuedRuns());
    WindowsResetForTesting();
    MenusResetForTesting();
    NavTestReset();
    g_udtStockDialogs.reset();
    clsMimeMessageTest::TearDown();
  }

  // A preference as the next start of the plug-in reads it from the file.
  static int32_t SavedPref(char const* name) {
    ResetPrefsForTesting();
    g_udtPrefs.LoadPrefs();
    return g_udtPrefs.GetIntegerPref(Uni(name), -1);
  }
};

TEST_F(clsSimpleEmailDialogTest, AModalWindowThatLaysItselfOutAgainWhenResized) {
  stcControlInfoForTesting body{};
  Look([&] {
    stcWindowInfoForTesting window{};
    ASSERT_TRUE(WindowsInfoForTesting(ComposeWindow(), &window));
    EXPECT_TRUE(window.m_blnResizable);
    EXPECT_NE(0u, window.m_ulngModality);
    EXPECT_EQ(WindowsFindControlForTesting(ComposeWindow(), kSimpleDlgSend), window.m_hDefaultButton);
    EXPECT_EQ(WindowsFindControlForTesting(ComposeWindow(), kSimpleDlgCancel), window.m_hCancelButton);
    for (SInt32 id : {kSimpleDlgFrom, kSimpleDlgAttachEdit1, kSimpleDlgAttachEdit2, kSimpleDlgAttachEdit3}) {
      EXPECT_TRUE(Control(id).m_blnLocked) << id;
    }
    EXPECT_FALSE(Control(kSimpleDlgTo).m_blnLocked);
    EXPECT_EQ(teCenter, Control(704).m_shtJustification);
    EXPECT_EQ(Control(kSimpleDlgTo).m_intX, Control(kSimpleDlgSubject).m_intX);
    body = Control(ViewOf(kSimpleDlgBody));
  });
  WindowsQueueResizeWindowForTesting(900, 700);
  Look([&] {
    EXPECT_GT(Control(ViewOf(kSimpleDlgBody)).m_intWidth, body.m_intWidth);
    EXPECT_GT(Control(ViewOf(kSimpleDlgBody)).m_intHeight, body.m_intHeight);
    EXPECT_GT(Control(kSimpleDlgSend).m_intX + Control(kSimpleDlgSend).m_intWidth, 850);
  });
  WindowsQueueClickForTesting(kSimpleDlgCancel);
  clsSMTPEmail message;
  EXPECT_FALSE(message.ShowSimpleDialog(nullptr, nullptr, nullptr));
  EXPECT_EQ(nullptr, ComposeWindow()) << "the window is gone when the call ends";
}

// ---- To and Send ----

void SendRefused() {
  WindowsQueueClickForTesting(kSimpleDlgSend);
  Answer(1);
  Look([] {
    EXPECT_TRUE(Control(kSimpleDlgTo).m_blnFocused) << "the focus goes to To";
    EXPECT_TRUE(Control(kSimpleDlgTo).m_blnVisible) << "the window stays open";
  });
}

TEST_F(clsSimpleEmailDialogTest, ToChoicesAndSendTakeOnlyAnAddressTheCheckAccepts) {
  std::string const empty = "[OK]: You must specify who to send the email to ('To' field).";
  std::string const invalid = "[OK]: The To Email Address appears to be invalid.";
  struct stcCase {
    char const* name;
    bool hasList;
    Lines choices;
    std::string firstTo;  // what To shows when the window opens
    std::function<void()> user;
    Lines shown;  // the stock dialogs
    bool sent;
    Lines tos;  // the message's To list afterwards
  };
  std::vector<stcCase> const cases = {
      {"no choices: To starts empty, the To button does nothing", false, {}, "",
       [&] {
         WindowsQueueClickForTesting(kSimpleDlgToButton);
         SendRefused();
         WindowsQueueKeyForTesting(27);
       },
       {empty}, false, {"old@example.com"}},
      {"one choice fills To", true, {"Bob <bob@example.com>"}, "Bob <bob@example.com>",
       [] { WindowsQueueClickForTesting(kSimpleDlgSend); }, {}, true, {"Bob <bob@example.com>"}},
      {"two choices: To starts empty, the menu fills it, Send writes the cleaned form", true,
       {"a@example.com", "Sales, Team <team@example.com>"}, "",
       [&] {
         SendRefused();
         Pick(kSimpleDlgToButton, "Sales, Team <team@example.com>");
         Look([] { EXPECT_EQ("Sales, Team <team@example.com>", TextOf(kSimpleDlgTo)); });
         WindowsQueueClickForTesting(kSimpleDlgSend);
       },
       {empty}, true, {"\"Sales, Team\" <team@example.com>"}},
      {"an invalid address keeps the window open until it is mended", true, {}, "",
       [&] {
         TypeInto(kSimpleDlgTo, "bob@");
         SendRefused();
         Look([] { EXPECT_EQ("bob@", TextOf(kSimpleDlgTo)); });
         TypeInto(kSimpleDlgTo, "example.com  ");
         WindowsQueueClickForTesting(kSimpleDlgSend);
       },
       {invalid}, true, {"bob@example.com"}},
      {"blanks are no address", false, {}, "",
       [&] {
         TypeInto(kSimpleDlgTo, "   ");
         SendRefused();
         WindowsQueueClickForTesting(kSimpleDlgCancel);
       },
       {invalid}, false, {"old@example.com"}},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.name);
    ResetStockDialogs();
    MenusResetForTesting();
    clsSMTPEmail message;
    message.AddTo(Uni("old@example.com"));
    UniStringList choices = List(c.choices);
    Look([&] { EXPECT_EQ(c.firstTo, TextOf(kSimpleDlgTo)); });
    if (c.hasList && !c.choices.empty()) {
      WindowsQueueClickForTesting(kSimpleDlgToButton);  // the menu opens and closes unused
      Look([&] { EXPECT_EQ(c.choices, LastMenu()); });
    }
    c.user();
    EXPECT_EQ(c.sent, message.ShowSimpleDialog(c.hasList ? &choices : nullptr, nullptr, nullptr));
    EXPECT_EQ(c.shown, Shown());
    EXPECT_EQ(c.tos, Got(message, &clsSMTPEmail::GetTos));
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
  }
}

// ---- closing, place and size ----

struct stcBounds {
  int left, top, width, height;
  bool operator==(stcBounds const& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

std::ostream& operator<<(std::ostream& out, stcBounds const& b) {
  return out << b.left << "," << b.top << " " << b.width << "x" << b.height;
}

stcBounds Structure() {
  stcWindowInfoForTesting info{};
  EXPECT_TRUE(WindowsInfoForTesting(ComposeWindow(), &info));
  Rect const& r = info.m_rctStructure;
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

char const* const g_arrGeometry[4] = {"LastSimpleDialogLeft", "LastSimpleDialogTop", "LastSimpleDialogWidth",
                                      "LastSimpleDialogHeight"};

TEST_F(clsSimpleEmailDialogTest, ThePlaceAndSizeComeBackAndAreKeptWhateverClosesTheWindow) {
  auto cancel = [] { WindowsQueueClickForTesting(kSimpleDlgCancel); };
  struct stcCase {
    char const* name;
    stcBounds stored;    // the preferences before
    bool placed, sized;  // whether the window opens at the stored place, in the stored size
    std::function<void()> user;
    std::function<void()> close;
    bool sent;
    Lines refusals;
  };
  std::vector<stcCase> const cases = {
      {"nothing stored, Cancel", {0, 0, 0, 0}, false, false, [] {}, cancel, false, {}},
      {"a half-stored place and size are not used; the close box is refused", {0, 90, 820, 0}, false,
       false,
       [] {
         WindowsQueueCloseBoxForTesting();
         WindowsQueueResizeWindowForTesting(800, 600);
       },
       cancel, false, {"close box: the window \"Send Email...\" has none"}},
      {"stored place and size, Send", {120, 90, 820, 660}, true, true, [] {},
       [] { WindowsQueueClickForTesting(kSimpleDlgSend); }, true, {}},
      {"moved and resized, then Escape", {120, 90, 820, 660}, true, true,
       [] {
         WindowsQueueMoveWindowForTesting(200, 150);
         WindowsQueueResizeWindowForTesting(900, 700);
       },
       [] { WindowsQueueKeyForTesting(27); }, false, {}},
  };
  stcBounds first{0, 0, 0, 0};
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.name);
    int const stored[4] = {c.stored.left, c.stored.top, c.stored.width, c.stored.height};
    for (int i = 0; i < 4; ++i) g_udtPrefs.SetIntegerPref(Uni(g_arrGeometry[i]), stored[i]);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    clsSMTPEmail message;
    UniStringList choices = List({"dan@example.com"});
    stcBounds opened{0, 0, 0, 0}, closing{0, 0, 0, 0};
    Look([&] { opened = Structure(); });
    c.user();
    Look([&] { closing = Structure(); });
    c.close();
    EXPECT_EQ(c.sent, message.ShowSimpleDialog(&choices, nullptr, nullptr));
    if (&c == &cases[0]) first = opened;
    EXPECT_EQ(c.placed, opened.left == c.stored.left && opened.top == c.stored.top) << opened;
    EXPECT_EQ(c.sized, opened.width == c.stored.width && opened.height == c.stored.height) << opened;
    if (!c.placed && !c.sized) {
      EXPECT_EQ(first, opened);
    }
    EXPECT_EQ(c.refusals, WindowsRefusalsForTesting());
    stcBounds const saved{SavedPref(g_arrGeometry[0]), SavedPref(g_arrGeometry[1]), SavedPref(g_arrGeometry[2]),
                          SavedPref(g_arrGeometry[3])};
    EXPECT_EQ(closing, saved);
  }
}

// ---- menus and merge markers ----

TEST_F(clsSimpleEmailDialogTest, MenusFollowTheCallersLists) {
  std::string const m = "Insert Merge Field>";
  Lines const own = {m + "-", m + "Current Date;//", m + "Current Time;::", m + "Current User;||",
                     m + "Current Record Number;@@"};
  struct stcCase {
    char const* name;
    bool lists;  // whether the merge-field and container lists are given
    Lines names, containers;
    Lines mergeAfter;  // the caller's merge-field list afterwards: the menu's lines
  };
  std::vector<stcCase> const cases = {
      {"no lists", false, {}, {}, {}},
      {"empty lists", true, {}, {}, own},
      {"names", true, {"First Name", "Company"}, {"Photo", "Invoice"},
       {m + "First Name", m + "Company", own[0], own[1], own[2], own[3], own[4]}},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.name);
    MenusResetForTesting();
    Lines shownMerge;  // a line's text shows, its value after ";" does not
    for (std::string const& line : c.mergeAfter) shownMerge.push_back(line.substr(0, line.find(';')));
    Lines attach = {"Clear", "-", "Select File..."};
    if (c.lists) attach.push_back("-");
    attach.insert(attach.end(), c.containers.begin(), c.containers.end());
    clsSMTPEmail message;
    UniStringList mergeFields = List(c.names);
    UniStringList containers = List(c.containers);
    // Each menu opens and closes unused.
    OpenMenu(kSimpleDlgSubject);
    Look([&] { EXPECT_EQ(EditMenu(false, shownMerge), LastMenu()); });
    OpenMenu(kSimpleDlgBody);
    Look([&] { EXPECT_EQ(EditMenu(true, shownMerge), LastMenu()); });
    for (SInt32 button : {kSimpleDlgAttach1, kSimpleDlgAttach2, kSimpleDlgAttach3}) {
      OpenMenu(button);
      Look([&] { EXPECT_EQ(attach, LastMenu()); });
    }
    WindowsQueueClickForTesting(kSimpleDlgCancel);
    EXPECT_FALSE(message.ShowSimpleDialog(nullptr, c.lists ? &mergeFields : nullptr, c.lists ? &containers : nullptr));
    EXPECT_EQ(c.mergeAfter, Entries(mergeFields));
    EXPECT_EQ(c.containers, Entries(containers));
  }
}

TEST_F(clsSimpleEmailDialogTest, MergeMarkersGoInAtTheInsertionPoint) {
  clsSMTPEmail message;
  message.SetSubject(Uni("Offer"));
  UniStringList body = List({"Dear ,", "regards"});
  message.AddTextBody(&body);
  UniStringList merge = List({"First Name", "Company"});
  UniStringList choices = List({"eve@example.com"});
  auto menuPick = [](SInt32 id, char const* entry) {
    WindowsQueueContextualClickForTesting(ViewOf(id));
    WindowsQueueMenuPickForTesting(entry);
  };
  // Subject: the caret at the end, typed text, one step back, then two markers.
  TypeInto(kSimpleDlgSubject, " for ,");
  WindowsQueueKeyForTesting(28);
  menuPick(kSimpleDlgSubject, "Company");
  menuPick(kSimpleDlgSubject, "Current Date");
  menuPick(kSimpleDlgSubject, "Current Record Number");
  // Body: the caret at the end, nine steps back, then the other markers.
  WindowsQueueClickForTesting(kSimpleDlgBody);
  for (int i = 0; i < 9; ++i) WindowsQueueKeyForTesting(28);
  menuPick(kSimpleDlgBody, "First Name");
  menuPick(kSimpleDlgBody, "Current Time");
  menuPick(kSimpleDlgBody, "Current User");
  Look([] {
    EXPECT_EQ("Offer for <<Company>><<//>><<@@>>,", TextOf(kSimpleDlgSubject));
    EXPECT_EQ("Dear <<First Name>><<::>><<||>>,\rregards", TextOf(ViewOf(kSimpleDlgBody)));
  });
  WindowsQueueClickForTesting(kSimpleDlgSend);
  EXPECT_TRUE(message.ShowSimpleDialog(&choices, &merge, nullptr));
  EXPECT_EQ("Offer for <<Company>><<//>><<@@>>,", Access::Get(message, Access::Subject));
  EXPECT_EQ((Lines{"Dear <<First Name>><<::>><<||>>,", "regards"}), Got(message, &clsSMTPEmail::GetTextBody));
}

// ---- attachments ----

TEST_F(clsSimpleEmailDialogTest, AttachmentSlotsAskBeforeTheyLoseAValue) {
  std::string const remove = "[No]/Yes: Are you sure you want to remove the Attachment";
  std::string const replace = "[No]/Yes: Are you sure you want to replace the current attachment with this new attachment?";
  std::string const notes = "/Volumes/Macintosh HD/Users/bob/data/notes.txt";
  auto choose = [](SInt32 button, stcNavTestRun const& run) {
    NavTestQueueRun(run);
    Pick(button, "Select File...");
  };
  struct stcCase {
    char const* name;
    Lines before;  // the message's attachments
    std::function<void()> user;
    Lines questions;
    Lines shown;  // what the three slots show before Send
    Lines after;  // the message's attachments after Send
  };
  std::vector<stcCase> const cases = {
      {"Clear on an empty slot asks nothing", {},
       [] { Pick(kSimpleDlgAttach2, "Clear"); }, {}, {"", "", ""}, {}},
      {"Clear a file, No keeps it", {"~/data/report.pdf"},
       [] { Pick(kSimpleDlgAttach1, "Clear"); Answer(4); },
       {remove + ":\rreport.pdf"}, {"report.pdf", "", ""}, {"~/data/report.pdf"}},
      {"Clear a container, Yes empties the slot; later slots keep their order",
       {"~/data/report.pdf", "Container: Photo", "/Volumes/Disk/notes.txt"},
       [] { Pick(kSimpleDlgAttach2, "Clear"); Answer(3); },
       {remove + " from the Container:\r Photo"}, {"report.pdf", "", "notes.txt"},
       {"~/data/report.pdf", "/Volumes/Disk/notes.txt"}},
      {"Select File into an empty slot", {},
       [&] { choose(kSimpleDlgAttach3, NavTestChoose("/Users/bob/data/notes.txt")); }, {},
       {"", "", "notes.txt"}, {notes}},
      {"Select File cancelled leaves the slot", {"~/data/report.pdf"},
       [&] { choose(kSimpleDlgAttach1, NavTestCancel()); }, {}, {"report.pdf", "", ""}, {"~/data/report.pdf"}},
      {"Select File over a file, No", {"~/data/report.pdf"},
       [&] { choose(kSimpleDlgAttach1, NavTestChoose("/Users/bob/data/notes.txt")); Answer(4); },
       {replace}, {"report.pdf", "", ""}, {"~/data/report.pdf"}},
      {"Select File over a container, Yes", {"Container: Photo"},
       [&] { choose(kSimpleDlgAttach1, NavTestChoose("/Users/bob/data/notes.txt")); Answer(3); },
       {replace}, {"notes.txt", "", ""}, {notes}},
      {"a container into an empty slot", {"~/data/report.pdf"},
       [] { Pick(kSimpleDlgAttach3, "Invoice"); }, {}, {"report.pdf", "", "Container: Invoice"},
       {"~/data/report.pdf", "Container: Invoice"}},
      {"a container over a file, Yes; the fourth attachment is gone",
       {"~/data/report.pdf", "a.txt", "b.txt", "~/data/fourth.txt"},
       [] { Pick(kSimpleDlgAttach2, "Photo"); Answer(3); }, {replace},
       {"report.pdf", "Container: Photo", "b.txt"}, {"~/data/report.pdf", "Container: Photo", "b.txt"}},
      {"a container over a container, No", {"Container: Photo"},
       [] { Pick(kSimpleDlgAttach1, "Invoice"); Answer(4); }, {replace}, {"Container: Photo", "", ""},
       {"Container: Photo"}},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.name);
    ResetStockDialogs();
    clsSMTPEmail message;
    for (std::string const& path : c.before) message.AddAttachment(Uni(path));
    UniStringList choices = List({"fay@example.com"});
    UniStringList containers = List({"Photo", "Invoice"});
    c.user();
    Lines shown;
    Look([&] {
      for (SInt32 id : {kSimpleDlgAttachEdit1, kSimpleDlgAttachEdit2, kSimpleDlgAttachEdit3}) shown.push_back(TextOf(id));
    });
    WindowsQueueClickForTesting(kSimpleDlgSend);
    EXPECT_TRUE(message.ShowSimpleDialog(&choices, nullptr, &containers));
    EXPECT_EQ(c.questions, Shown());
    EXPECT_EQ(c.shown, shown);
    EXPECT_EQ(c.after, Got(message, &clsSMTPEmail::GetAttachments));
    for (stcNavTestDialog const& dialog : NavTestDialogs()) {
      EXPECT_EQ(kNavTestGetFile, dialog.m_intKind);
      EXPECT_FALSE(dialog.m_bolHasTypeList);
    }
    NavTestReset();
  }
}

// ---- the write-back ----

TEST_F(clsSimpleEmailDialogTest, SendWritesTheDialogBackAndSkipsThePreferenceHeaderAndFooter) {
  using stcList = Access::stcList;
  struct stcCase {
    char const* name;
    bool headerPref, footerPref;
    bool ownHeader, ownFooter;  // the message's own lists before
    // The message's lists afterwards; "absent" when there is none.
    Lines header, footer;
  };
  Lines const absent = {"absent"};
  Lines const skip = {"[[Skip]]"};
  std::vector<stcCase> const cases = {
      {"header preference: [[Skip]]; an own footer without its preference is emptied", true, false, true, true,
       skip, {}},
      {"no preferences: own lists emptied, absent ones stay absent", false, false, true, false, {}, absent},
      {"footer preference, no own footer: [[Skip]] in a new list", false, true, false, false, absent, skip},
  };
  auto listOf = [&](clsSMTPEmail& m, stcList list) {
    if (!Access::HasList(m, list)) return absent;
    UniStringList copy;
    copy.Assign(m.*list);
    return Entries(copy);
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.name);
    // A fresh store over an empty preference folder (the dialog saves what it holds).
    std::filesystem::remove_all(Real("/prefs"));
    std::filesystem::create_directories(Real("/prefs"));
    ResetPrefsForTesting();
    SetStringPref("From", "Ann <ann@example.com>");
    if (c.headerPref) SetListPref("TextHeader", "HEADER FROM PREFS");
    if (c.footerPref) SetListPref("TextFooter", "FOOTER FROM PREFS");
    clsSMTPEmail message;
    message.AddTo(Uni("old@example.com"));
    if (c.ownHeader) Access::SetList(message, Access::TextHeader, {"own header"});
    if (c.ownFooter) Access::SetList(message, Access::TextFooter, {"own footer"});
    UniStringList body = List({"old body"});
    message.AddTextBody(&body);
    TypeInto(kSimpleDlgTo, "  Carol   <carol@example.com> ");
    TypeInto(kSimpleDlgSubject, "  Hello  ");
    TypeInto(kSimpleDlgBody, "\rmore \xC3\xA9");
    WindowsQueueClickForTesting(kSimpleDlgSend);
    EXPECT_TRUE(message.ShowSimpleDialog(nullptr, nullptr, nullptr));
    EXPECT_EQ(Lines{"Carol <carol@example.com>"}, Got(message, &clsSMTPEmail::GetTos));
    EXPECT_EQ("Ann <ann@example.com>", Access::Get(message, Access::From));
    EXPECT_EQ("  Hello  ", Access::Get(message, Access::Subject)) << "stored untrimmed";
    EXPECT_EQ((Lines{"old body", "more \xC3\xA9"}), Got(message, &clsSMTPEmail::GetTextBody));
    EXPECT_TRUE(Access::TextNeedsQP(message));
    EXPECT_EQ(c.header, listOf(message, Access::TextHeader));
    EXPECT_EQ(c.footer, listOf(message, Access::TextFooter));
    std::string const wire = Wire(Pull(message));
    EXPECT_EQ(std::string::npos, wire.find("FROM PREFS")) << wire;
    EXPECT_EQ(std::string::npos, wire.find("own ")) << wire;
    EXPECT_NE(std::string::npos, wire.find("old body")) << wire;
  }
}

TEST_F(clsSimpleEmailDialogTest, AWindowThatCannotBeMadeLeavesTheMessageUntouched) {
  struct stcCase {
    char const* name;
    std::function<void()> fault;
    std::string shown;
  };
  std::vector<stcCase> const cases = {
      {"no memory for the window", [] { g_sizFailObjectOfSize = sizeof(clsDynamicWindow); },
       "[OK]: Could not create Simple Email Dialog!"},
      {"the window server refuses the window", [] { WindowsFailForTesting(kWindowsFailCreateWindow, 1); },
       "[OK]: Could not build Simple Email Dialog!"},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.name);
    ResetStockDialogs();
    clsSMTPEmail message;
    message.AddTo(Uni("old@example.com"));
    message.AddAttachment(Uni("~/data/report.pdf"));
    UniStringList choices = List({"gil@example.com"});
    c.fault();
    Answer(1);
    EXPECT_FALSE(message.ShowSimpleDialog(&choices, nullptr, nullptr));
    EXPECT_EQ(0u, g_sizFailObjectOfSize);
    EXPECT_EQ(Lines{c.shown}, Shown());
    EXPECT_EQ(Lines{"old@example.com"}, Got(message, &clsSMTPEmail::GetTos));
    EXPECT_EQ(Lines{"~/data/report.pdf"}, Got(message, &clsSMTPEmail::GetAttachments));
    EXPECT_EQ(nullptr, ComposeWindow());
    EXPECT_EQ(-1, SavedPref(g_arrGeometry[0])) << "nothing was shown, nothing is kept";
  }
}

}  // namespace
