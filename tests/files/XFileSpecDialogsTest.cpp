// Tests of the XFileSpec dialogs over the scripted Navigation Services stand-in: the file-type
// keyword table, the open dialog's filter by extension, Finder type and "All Files", the save
// dialog keeping the typed name's extension in step with the pop-up, the choose-folder dialog,
// and every failure's text with the file spec left as it was.
// Each test works in a fresh temporary folder on the real file system (stand-in root "/").
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Navigation.h"
#include "platform/carbon/NavigationTesting.h"

namespace {

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

UniStringList List(std::vector<std::string> const& items) {
  UniStringList list;
  for (std::string const& item : items) list.Add(U(item));
  return list;
}

std::vector<std::string> Items(UniStringList const& list) {
  std::vector<std::string> items;
  for (UniString const& item : list) items.push_back(S(item));
  return items;
}

class DialogsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    FSStandInReset();
    NavTestReset();
    CleanUpXFileSpec();
    XFileSpec::m_ulngGetVolNamesTimeout = 0;
    char pattern[] = "/tmp/xfs-dialogs-XXXXXX";
    m_strDir = mkdtemp(pattern);
    std::filesystem::create_directory(m_strDir + "/sub");
    for (char const* name : {"photo.gif", "a.jpg", "b.JPEG", "notes.txt", "README"}) {
      std::ofstream(m_strDir + "/" + name) << "x";
    }
  }
  void TearDown() override {
    EXPECT_EQ(0, NavTestLiveDialogs());
    EXPECT_EQ(0, NavTestLiveReplies());
    NavTestReset();
    CleanUpXFileSpec();
    std::filesystem::remove_all(m_strDir);
  }
  XFileSpec Spec(std::string const& name) {
    XFileSpec spec;
    EXPECT_TRUE(spec.ParsePath(U(name.empty() ? m_strDir : m_strDir + "/" + name)));
    return spec;
  }
  std::string Path(std::string const& name) { return m_strDir + "/" + name; }
  std::string m_strDir;
};

// The items each filter pass showed, by name.
std::vector<std::vector<std::string>> ShownByPass(stcNavTestDialog const& dialog) {
  std::vector<std::vector<std::string>> passes;
  for (auto const& pass : dialog.m_vecFilterPasses) {
    std::vector<std::string> shown;
    for (auto const& call : pass) {
      if (call.m_bolShown) shown.push_back(std::filesystem::path(call.m_strPath).filename().string());
    }
    passes.push_back(shown);
  }
  return passes;
}

TEST(XFileSpecFileTypes, KeywordTableAndEntries) {
  InitDebug();
  g_intDebugLevel = kDebugFull;
  g_ulstDebugBackLog->Clear();
  UniStringList types = List({"jpg", "  gif  ", "", "Tarball| *.tar, *.tgz |", "sgiimage", "foo",
                              "Word|ext|LONGTYPE", "Word|.x|AB", "Text|", "Pict", "QuickTimeImage",
                              "Docs|.doc;.rtf\\.odt|W8BN", "any", "flashPIX", ".sgi"});
  XFileSpec::GenerateFileTypeList(&types);
  EXPECT_EQ((std::vector<std::string>{
                "JPEG Images|.jpg/.jpeg/.jpe/.jfif|JPEG", "GIF Images|.gif|GIFf",
                "Tarball|.tar/.tgz|????", "SGI Images|.sgi|.SGI", "Word|ext|LONG", "Word|.x|AB  ",
                "Text Files|.txt|TEXT", "PICT Images|.pct/.pict/.pic|PICT",
                "QuickTime Images|.qif/.qtif/.qt/.qti|qtif", "Docs|.doc/.rtf/.odt|W8BN",
                "All Files|.*|", "FlashPix Images|.fpx|FPix", "SGI Images|.sgi|.SGI"}),
            Items(types));
  std::string log;
  for (UniString const& line : *g_ulstDebugBackLog) log += S(line) + "\n";
  EXPECT_NE(std::string::npos, log.find("Removing Empty Type")) << log;
  EXPECT_NE(std::string::npos, log.find("Unknown File Type: FOO; discarding")) << log;
  EndDebug();

  UniStringList empty;
  XFileSpec::GenerateFileTypeList(&empty);
  XFileSpec::GenerateFileTypeList(nullptr);
  EXPECT_EQ(0u, empty.Count());
}

TEST_F(DialogsFixture, OpenDialogFiltersByTypeAndReturnsTheChoice) {
  UniStringList types = List({"jpg", "gif", "all"});
  XFileSpec::GenerateFileTypeList(&types);
  XFileSpec spec = Spec("photo.gif");
  int index = -1;
  // JPEG (2), All Files (4), the separator (1), All Readable Files (0), then GIF again (3).
  NavTestQueueRun(NavTestChoose(Path("a.jpg")).Popup(2).Popup(4).Popup(1).Popup(0).Popup(3));
  ASSERT_TRUE(spec.SelectFileNameDlg(0, &types, &index, false, U("Attach")));
  EXPECT_EQ("", S(spec.ErrorString()));
  EXPECT_EQ(Path("a.jpg"), S(spec.GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ(1, index);
  EXPECT_EQ(nullptr, spec.m_ulstFileTypes);

  stcNavTestDialog dialog = NavTestDialogs().at(0);
  EXPECT_EQ(kNavTestGetFile, dialog.m_intKind);
  EXPECT_EQ("Choose", dialog.m_strActionButtonLabel);
  EXPECT_EQ("Attach", dialog.m_strMessage);
  EXPECT_EQ(kNavDefaultNavDlogOptions & ~kNavAllowMultipleFiles, dialog.m_ulngOptionFlags);
  EXPECT_EQ(kWindowModalityAppModal, dialog.m_ulngModality);
  EXPECT_TRUE(dialog.m_bolHasFilterProc);
  EXPECT_FALSE(dialog.m_bolHasTypeList);
  EXPECT_EQ((std::vector<std::string>{"All Readable Files", "-", "JPEG Images", "GIF Images", "All Files"}),
            dialog.m_vecPopup);
  EXPECT_EQ(std::vector<std::string>{m_strDir}, dialog.m_vecLocationPaths);
  EXPECT_EQ(1, dialog.m_intShowSelectionCount);
  using V = std::vector<std::string>;
  EXPECT_EQ((std::vector<V>{
                V{"photo.gif", "sub"},                                     // GIF from the name
                V{"a.jpg", "b.JPEG", "sub"},                               // JPEG, case ignored
                V{"README", "a.jpg", "b.JPEG", "notes.txt", "photo.gif", "sub"},  // All Files
                V{"sub"},                                                  // the separator
                V{"README", "a.jpg", "b.JPEG", "notes.txt", "photo.gif", "sub"},  // All Readable
                V{"photo.gif", "sub"}}),
            ShownByPass(dialog));

  // Untouched pop-up: the entry found from the file spec's extension comes back.
  index = -1;
  spec = Spec("photo.gif");
  NavTestQueueRun(NavTestChoose(Path("photo.gif")));
  ASSERT_TRUE(spec.SelectFileNameDlg(0, &types, &index, false, UniString()));
  EXPECT_EQ(1, index);
  EXPECT_EQ(Path("photo.gif"), S(spec.GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ(std::vector<ThemeCursor>(2, kThemeArrowCursor), NavTestThemeCursors());

  // No types: no pop-up rows and every file shown.
  NavTestQueueRun(NavTestChoose(Path("README")));
  ASSERT_TRUE(spec.SelectFileNameDlg(0, nullptr, nullptr, false, UniString()));
  dialog = NavTestDialogs().at(2);
  EXPECT_FALSE(dialog.m_bolHasPopup);
  EXPECT_EQ(6u, ShownByPass(dialog).at(0).size());
}

TEST_F(DialogsFixture, FilterTakesAnExtensionByItsLastPart) {
  std::ofstream(m_strDir + "/a.tar.gz") << "x";
  UniStringList types = List({"Tarballs|.tar.gz|????"});
  XFileSpec spec = Spec("");
  NavTestQueueRun(NavTestChoose(Path("a.tar.gz")).Popup(2));
  ASSERT_TRUE(spec.SelectFileNameDlg(0, &types, nullptr, false, UniString()));
  EXPECT_EQ((std::vector<std::string>{"a.tar.gz", "sub"}), ShownByPass(NavTestDialogs().at(0)).back());
}

TEST_F(DialogsFixture, FilterMatchesFinderTypesExactly) {
  UniStringList types = List({"jpg", "gif"});
  XFileSpec::GenerateFileTypeList(&types);
  XFileSpec spec;
  spec.m_ulstFileTypes = &types;
  FSRef ref;
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>(Path("README").c_str()), &ref, nullptr));
  AEDesc item;
  ASSERT_EQ(noErr, AECreateDesc(typeFSRef, &ref, sizeof ref, &item));
  AEDesc other;
  ASSERT_EQ(noErr, AECreateDesc(typeChar, "x", 1, &other));

  struct {
    int32_t index;
    uint8_t noPopup;
    OSType type;
    bool withInfo;
    bool shown;
  } const rows[] = {
      {2, 0, MakeFourCharCode("JPEG"), true, true},  {2, 0, MakeFourCharCode("GIFf"), true, false},
      {3, 0, MakeFourCharCode("GIFf"), true, true},  {3, 0, MakeFourCharCode("GIFF"), true, false},
      {0, 0, MakeFourCharCode("GIFf"), true, true},  {1, 0, MakeFourCharCode("GIFf"), true, false},
      {9, 0, MakeFourCharCode("JPEG"), true, false}, {1, 1, MakeFourCharCode("JPEG"), true, true},
      {2, 0, 0, true, false},                        {2, 0, 0, false, true},
  };
  for (auto const& row : rows) {
    spec.m_lngTypeIndex = row.index;
    spec.m_bytNoTypePopup = row.noPopup;
    NavFileOrFolderInfo info;
    std::memset(&info, 0, sizeof info);
    info.fileAndFolder.fileInfo.finderInfo.fdType = row.type;
    EXPECT_EQ(row.shown, XFSNavObjectFilterProc(&item, row.withInfo ? &info : nullptr, &spec, 0) != 0)
        << row.index << " " << row.type;
  }
  spec.m_lngTypeIndex = 1;
  NavFileOrFolderInfo folder;
  std::memset(&folder, 0, sizeof folder);
  folder.isFolder = true;
  EXPECT_TRUE(XFSNavObjectFilterProc(&item, &folder, &spec, 0));      // folders always
  EXPECT_TRUE(XFSNavObjectFilterProc(&other, &folder, &spec, 0));     // not a file reference
  spec.m_ulstFileTypes = nullptr;
  NavFileOrFolderInfo file;
  std::memset(&file, 0, sizeof file);
  EXPECT_TRUE(XFSNavObjectFilterProc(&item, &file, &spec, 0));        // no types
  EXPECT_TRUE(XFSNavObjectFilterProc(&item, &file, nullptr, 0));      // no spec
  AEDisposeDataDescriptor(&item);
  AEDisposeDataDescriptor(&other);
}

TEST_F(DialogsFixture, SaveDialogKeepsTheExtensionInStepWithThePopup) {
  UniStringList types = List({"jpg", "gif"});
  XFileSpec::GenerateFileTypeList(&types);
  XFileSpec spec = Spec("photo.jpg");  // does not exist yet
  int index = -1;
  NavTestQueueRun(NavTestChoose(m_strDir).Popup(1));
  ASSERT_TRUE(spec.SelectFileNameDlg(1, &types, &index, false, UniString()));
  EXPECT_EQ(Path("photo.gif"), S(spec.GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ(1, index);
  stcNavTestDialog dialog = NavTestDialogs().at(0);
  EXPECT_EQ(kNavTestPutFile, dialog.m_intKind);
  EXPECT_EQ(MakeFourCharCode("JPEG"), dialog.m_ulngFileType);
  EXPECT_EQ(MakeFourCharCode("****"), dialog.m_ulngFileCreator);
  EXPECT_EQ("", dialog.m_strActionButtonLabel);
  EXPECT_EQ(std::vector<int32_t>{0}, dialog.m_vecSelectedCustomTypes);
  EXPECT_EQ(std::vector<std::string>{m_strDir}, dialog.m_vecLocationPaths);
  EXPECT_EQ((std::vector<std::string>{"photo.jpg", "photo.gif"}), dialog.m_vecSaveNamesSet);

  struct {
    std::vector<std::string> types;
    char const* typed;
    int popup;
    char const* saved;
  } const rows[] = {
      {{"jpg", "gif"}, "photo.JPG", 0, "photo.JPG"},   // already a JPEG name
      {{"jpg", "gif"}, "photo", 1, "photo.gif"},       // no extension: one is added
      {{"gif", "jpg"}, "a.b.gif", 1, "a.b.jpg"},       // only the last extension changes
      {{"jpg", "all"}, "photo.jpg", 1, "photo.jpg"},   // All Files keeps any name
  };
  for (auto const& row : rows) {
    UniStringList rowTypes = List(row.types);
    XFileSpec::GenerateFileTypeList(&rowTypes);
    XFileSpec target = Spec("");
    NavTestQueueRun(NavTestChoose(m_strDir).TypeName(row.typed).Popup(row.popup));
    ASSERT_TRUE(target.SelectFileNameDlg(1, &rowTypes, nullptr, false, UniString())) << row.typed;
    EXPECT_EQ(Path(row.saved), S(target.GetPath(kPathStylePOSIX, true))) << row.typed;
  }
  // A spec naming photo.gif preselects GIF and gives the dialog its Finder type.
  NavTestQueueRun(NavTestCancel());
  EXPECT_FALSE(spec.SelectFileNameDlg(1, &types, nullptr, false, UniString()));
  dialog = NavTestDialogs().back();
  EXPECT_EQ(MakeFourCharCode("GIFf"), dialog.m_ulngFileType);
  EXPECT_EQ(std::vector<int32_t>{1}, dialog.m_vecSelectedCustomTypes);
  EXPECT_EQ("photo.gif", dialog.m_strSaveName);
}

TEST_F(DialogsFixture, ChooseFolderStartsAtTheSpecAndSetsItToTheChoice) {
  XFileSpec spec = Spec("");
  NavTestQueueRun(NavTestChoose(Path("sub")));
  ASSERT_TRUE(spec.SelectDirNameDlg(U("Where to?")));
  EXPECT_EQ("", S(spec.ErrorString()));
  EXPECT_EQ(Path("sub"), S(spec.GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ(2, spec.m_lngDialogKind);
  stcNavTestDialog dialog = NavTestDialogs().at(0);
  EXPECT_EQ(kNavTestChooseFolder, dialog.m_intKind);
  EXPECT_EQ("Where to?", dialog.m_strMessage);
  EXPECT_FALSE(dialog.m_bolHasFilterProc);
  EXPECT_EQ(std::vector<std::string>{m_strDir}, dialog.m_vecLocationPaths);
}

enum enumCall { kOpen, kSave, kSaveNoTypes, kDir, kBadKind };

TEST_F(DialogsFixture, FailuresLeaveTheSpecAndSayWhy) {
  auto run = [](stcNavTestRun r, void (*fault)(stcNavTestRun*)) {
    fault(&r);
    return r;
  };
  auto none = [](stcNavTestRun*) {};
  struct {
    enumCall call;
    stcNavTestRun script;
    int forcedCall;  // -1 none
    std::string error;
  } const rows[] = {
      {kOpen, NavTestCancel(), -1, "Dialog Canceled."},
      {kDir, NavTestCancel(), -1, "Dialog Canceled."},
      {kSave, NavTestChoose("/").TypeName(""), -1, "Dialog Canceled."},  // nothing to save as
      {kSaveNoTypes, NavTestChoose("/"), -1, "You must specify at least one File Type for 'Save As' dialogs."},
      {kBadKind, NavTestChoose("/"), -1, "Unknown Dialog Type."},
      {kOpen, run(NavTestChoose("/"), [](stcNavTestRun* r) { r->m_lngRunResult = -36; }), -1,
       "Error Showing Dialog; MacError: " + S(XFileSpec::GetMacError(-36))},
      {kDir, run(NavTestChoose("/"), [](stcNavTestRun* r) { r->m_lngReplyResult = -50; }), -1,
       "Could not get Selected Item; MacError: " + S(XFileSpec::GetMacError(-50))},
      {kSave, run(NavTestChoose("/"), [](stcNavTestRun* r) { r->m_bolInvalidReply = true; }), -1,
       "Selected Item was not Valid."},
      {kOpen, run(NavTestChoose("/"), [](stcNavTestRun* r) { r->m_bolEmptySelection = true; }), -1,
       "Could not get Selected File; MacError: " + S(XFileSpec::GetMacError(errAEIllegalIndex))},
      {kSave, run(NavTestChoose("/"), [](stcNavTestRun* r) { r->m_bolEmptySelection = true; }), -1,
       "Could not get Selected Folder; MacError: " + S(XFileSpec::GetMacError(errAEIllegalIndex))},
      {kDir, run(NavTestChoose("/"), [](stcNavTestRun* r) { r->m_bolEmptySelection = true; }), -1,
       "Could not get Selected Folder; MacError: " + S(XFileSpec::GetMacError(errAEIllegalIndex))},
      {kOpen, run(NavTestChoose("/"), none), kNavTestCallDefaultOptions, "Could not get Default Dialog Options."},
      {kDir, run(NavTestChoose("/"), none), kNavTestCallDefaultOptions, "Could not get Default Dialog Options."},
      {kSave, run(NavTestChoose("/"), none), kNavTestCallNewEventUPP, "Could not create Event Proc."},
      {kDir, run(NavTestChoose("/"), none), kNavTestCallNewEventUPP, "Could not create Event Proc."},
      {kOpen, run(NavTestChoose("/"), none), kNavTestCallNewFilterUPP, "Could not create Filter Proc."},
      {kOpen, run(NavTestChoose("/"), none), kNavTestCallCreateGetFile, "Could not create Get File Dialog."},
      {kSave, run(NavTestChoose("/"), none), kNavTestCallCreatePutFile, "Could not create Put File Dialog."},
      {kDir, run(NavTestChoose("/"), none), kNavTestCallCreateChooseFolder,
       "Could not create Choose Folder Dialog."},
      {kOpen, run(NavTestChoose("/"), none), kNavTestCallCFArrayCreate, "Could not create File Type Array."},
  };
  UniStringList types = List({"txt"});
  XFileSpec::GenerateFileTypeList(&types);
  for (auto const& row : rows) {
    NavTestReset();
    NavTestQueueRun(row.script);
    if (row.forcedCall >= 0) NavTestFailCall(enumNavTestCall(row.forcedCall), -108);
    XFileSpec spec = Spec("notes.txt");
    int index = 0;
    bool chosen = false;
    switch (row.call) {
      case kOpen: chosen = spec.SelectFileNameDlg(0, &types, &index, false, UniString()); break;
      case kSave: chosen = spec.SelectFileNameDlg(1, &types, &index, false, UniString()); break;
      case kSaveNoTypes: chosen = spec.SelectFileNameDlg(1, nullptr, &index, false, UniString()); break;
      case kBadKind: chosen = spec.SelectFileNameDlg(5, &types, &index, false, UniString()); break;
      case kDir: chosen = spec.SelectDirNameDlg(UniString()); break;
    }
    EXPECT_FALSE(chosen) << row.error;
    EXPECT_EQ(row.error, S(spec.ErrorString()));
    EXPECT_EQ(Path("notes.txt"), S(spec.GetPath(kPathStylePOSIX, true))) << row.error;
    EXPECT_EQ(0, index) << row.error;
    EXPECT_EQ(nullptr, spec.m_ulstFileTypes);
    if (row.call == kSaveNoTypes || row.call == kBadKind) {
      EXPECT_TRUE(NavTestDialogs().empty());
    }
  }
}

}  // namespace
