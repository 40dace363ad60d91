// Tests of the Navigation Services stand-in: data descriptors and lists, CFArray ownership, an
// unscripted run (cancelled, never blocking), a scripted open run whose filter sees the shown
// folder and runs again on a redraw from the pop-up callback, the save dialog's name field and
// custom type, forced failures, and that every dialog, reply and descriptor is freed.
#include "platform/carbon/Navigation.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/carbon/NavigationTesting.h"

namespace {

CFStringRef Text(char const* text) {
  return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

class NavigationFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    FSStandInReset();
    NavTestReset();
    char pattern[] = "/tmp/nav-standin-XXXXXX";
    m_strDir = mkdtemp(pattern);
    std::filesystem::create_directory(m_strDir + "/sub");
    for (char const* name : {"b.txt", "a.jpg", ".hidden"}) std::ofstream(m_strDir + "/" + name) << "x";
    m_intLiveData = NavTestLiveDataDescriptors();
  }
  void TearDown() override {
    EXPECT_EQ(0, NavTestLiveDialogs());
    EXPECT_EQ(0, NavTestLiveReplies());
    EXPECT_EQ(m_intLiveData, NavTestLiveDataDescriptors());
    NavTestReset();
    std::filesystem::remove_all(m_strDir);
  }
  std::string m_strDir;
  int32_t m_intLiveData = 0;
};

// Client of the scripted dialogs: sets the location at the start, redraws on a pop-up change,
// and hides files named *.txt.
struct stcClient {
  std::string m_strLocation;
  std::vector<NavMenuItemSpec> m_vecPopups;
  int32_t m_intFilterCalls = 0;
};

void ClientEvents(NavEventCallbackMessage message, NavCBRecPtr params, void* data) {
  auto* client = static_cast<stcClient*>(data);
  if (message == kNavCBStart && !client->m_strLocation.empty()) {
    FSRef ref;
    ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>(client->m_strLocation.c_str()),
                                   &ref, nullptr));
    AEDesc desc;
    ASSERT_EQ(noErr, AECreateDesc(typeFSRef, &ref, sizeof ref, &desc));
    EXPECT_EQ(noErr, NavCustomControl(params->context, kNavCtlSetLocation, &desc));
    AEDisposeDataDescriptor(&desc);
  } else if (message == kNavCBPopupMenuSelect) {
    client->m_vecPopups.push_back(*static_cast<NavMenuItemSpec*>(params->eventData.eventDataParms.param));
    NavCustomControl(params->context, kNavCtlBrowserRedraw, nullptr);
  }
}

Boolean ClientFilter(AEDesc* item, void* info, void* data, NavFilterModes) {
  auto* client = static_cast<stcClient*>(data);
  ++client->m_intFilterCalls;
  EXPECT_EQ(typeFSRef, item->descriptorType);
  EXPECT_EQ(Size(sizeof(FSRef)), AEGetDescDataSize(item));
  EXPECT_NE(nullptr, info);
  auto const* fileInfo = static_cast<NavFileOrFolderInfo const*>(info);
  if (fileInfo->isFolder) return true;
  FSRef ref;
  AEGetDescData(item, &ref, sizeof ref);
  HFSUniStr255 name;
  EXPECT_EQ(noErr, FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &name, nullptr, nullptr));
  return !(name.length > 4 && name.unicode[name.length - 1] == 't' && name.unicode[name.length - 4] == '.');
}

TEST(NavigationDescriptors, ListsAndDataDescriptors) {
  int32_t live = NavTestLiveDataDescriptors();
  AEDescList list;
  ASSERT_EQ(noErr, AECreateList(nullptr, 0, false, &list));
  EXPECT_EQ(typeAEList, list.descriptorType);
  UInt32 first = 7, second = 9;
  EXPECT_EQ(noErr, AEPutPtr(&list, 0, typeFSRef, &first, sizeof first));
  EXPECT_EQ(noErr, AEPutPtr(&list, 2, typeFSS, &second, sizeof second));
  EXPECT_EQ(errAEIllegalIndex, AEPutPtr(&list, 4, typeFSS, &second, sizeof second));
  SInt32 count = 0;
  EXPECT_EQ(noErr, AECountItems(&list, &count));
  EXPECT_EQ(2, count);

  struct {
    SInt32 index;
    DescType wanted;
    OSErr result;
    UInt32 value;
  } const rows[] = {{1, typeFSRef, noErr, 7},       {2, typeWildCard, noErr, 9},
                    {2, typeFSRef, errAECoercionFail, 0}, {0, typeWildCard, errAEIllegalIndex, 0},
                    {3, typeWildCard, errAEIllegalIndex, 0}};
  for (auto const& row : rows) {
    UInt32 value = 0;
    Size size = -1;
    DescType type = 0;
    EXPECT_EQ(row.result, AEGetNthPtr(&list, row.index, row.wanted, nullptr, &type, &value,
                                      sizeof value, &size))
        << row.index;
    EXPECT_EQ(row.value, value) << row.index;
  }
  // A short buffer gets what fits and the full size.
  UInt16 half = 0;
  Size size = 0;
  EXPECT_EQ(noErr, AEGetNthPtr(&list, 1, typeWildCard, nullptr, nullptr, &half, sizeof half, &size));
  EXPECT_EQ(Size(4), size);

  AEDesc data;
  EXPECT_EQ(errAEWrongDataType, AECreateDesc(typeAppleEvent, &first, 4, &data));
  EXPECT_EQ(typeNull, data.descriptorType);
  ASSERT_EQ(noErr, AECreateDesc(typeFSRef, &first, sizeof first, &data));
  EXPECT_EQ(errAEWrongDataType, AEGetNthPtr(&data, 1, typeWildCard, nullptr, nullptr, nullptr, 0, nullptr));
  EXPECT_EQ(live + 2, NavTestLiveDataDescriptors());

  EXPECT_TRUE(AEDisposeDataDescriptor(&list));
  EXPECT_TRUE(AEDisposeDataDescriptor(&data));
  EXPECT_EQ(typeNull, data.descriptorType);
  EXPECT_FALSE(AEDisposeDataDescriptor(&data));  // already gone
  EXPECT_EQ(errAENotAEDesc, AECountItems(&list, &count));
  EXPECT_EQ(live, NavTestLiveDataDescriptors());
}

TEST(NavigationCFArray, RetainsItsValuesAndReleasesThemWithItself) {
  CFStringRef one = Text("one");
  void const* values[] = {one, one};
  CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, values, 2, &kCFTypeArrayCallBacks);
  ASSERT_NE(nullptr, array);
  EXPECT_EQ(3, CFGetRetainCount(one));
  EXPECT_EQ(2, CFArrayGetCount(array));
  EXPECT_EQ(one, CFArrayGetValueAtIndex(array, 1));
  EXPECT_EQ(nullptr, CFArrayGetValueAtIndex(array, 2));
  EXPECT_EQ(nullptr, CFArrayGetValueAtIndex(array, -1));
  EXPECT_EQ(kCFRuntimeTypeArray, CFGetTypeID(array));
  CFRelease(array);
  EXPECT_EQ(1, CFGetRetainCount(one));
  EXPECT_EQ(nullptr, CFArrayCreate(kCFAllocatorDefault, nullptr, 1, nullptr));
  NavTestFailCall(kNavTestCallCFArrayCreate, -108);
  EXPECT_EQ(nullptr, CFArrayCreate(kCFAllocatorDefault, values, 2, &kCFTypeArrayCallBacks));
  CFRelease(one);
}

TEST_F(NavigationFixture, UnscriptedRunIsCancelled) {
  NavDialogCreationOptions options;
  ASSERT_EQ(noErr, NavGetDefaultDialogCreationOptions(&options));
  EXPECT_EQ(kNavDefaultNavDlogOptions, options.optionFlags);
  EXPECT_EQ(kWindowModalityAppModal, options.modality);
  stcClient client;
  NavDialogRef dialog = nullptr;
  ASSERT_EQ(noErr, NavCreateChooseFolderDialog(&options, ClientEvents, nullptr, &client, &dialog));
  NavReplyRecord reply;
  EXPECT_EQ(kNavWrongDialogStateErr, NavDialogGetReply(dialog, &reply));
  EXPECT_EQ(noErr, NavDialogRun(dialog));
  EXPECT_EQ(kNavWrongDialogStateErr, NavDialogRun(dialog));
  EXPECT_EQ(kNavUserActionCancel, NavDialogGetUserAction(dialog));
  EXPECT_EQ(noErr, NavDialogGetReply(dialog, &reply));
  EXPECT_FALSE(reply.validRecord);
  EXPECT_EQ(noErr, NavDisposeReply(&reply));
  NavDialogDispose(dialog);
  EXPECT_EQ(kNavInvalidDialog, NavDialogRun(dialog));

  auto dialogs = NavTestDialogs();
  ASSERT_EQ(1u, dialogs.size());
  EXPECT_EQ(kNavTestChooseFolder, dialogs[0].m_intKind);
  EXPECT_EQ((std::vector<NavEventCallbackMessage>{kNavCBStart, kNavCBCancel, kNavCBUserAction,
                                                   kNavCBTerminate}),
            dialogs[0].m_vecEvents);
  EXPECT_TRUE(dialogs[0].m_bolDisposed);
}

TEST_F(NavigationFixture, OpenRunFiltersTheShownFolderAndDeliversTheChoice) {
  NavDialogCreationOptions options;
  ASSERT_EQ(noErr, NavGetDefaultDialogCreationOptions(&options));
  CFStringRef rows[] = {Text("All"), Text("JPEG")};
  CFArrayRef popup = CFArrayCreate(kCFAllocatorDefault, reinterpret_cast<void const**>(rows), 2,
                                   &kCFTypeArrayCallBacks);
  options.popupExtension = popup;
  CFStringRef message = Text("Pick one");
  options.message = message;
  stcClient client;
  client.m_strLocation = m_strDir;  // the shown folder comes from the client's location
  NavDialogRef dialog = nullptr;
  ASSERT_EQ(noErr, NavCreateGetFileDialog(&options, nullptr, ClientEvents, nullptr, ClientFilter,
                                          &client, &dialog));
  for (CFStringRef row : rows) CFRelease(row);
  CFRelease(popup);
  CFRelease(message);

  NavTestQueueRun(NavTestChoose(m_strDir + "/a.jpg").Popup(1).Popup(7));
  ASSERT_EQ(noErr, NavDialogRun(dialog));
  EXPECT_EQ(kNavUserActionOpen, NavDialogGetUserAction(dialog));
  ASSERT_EQ(1u, client.m_vecPopups.size());  // index 7 does not exist: not played
  EXPECT_EQ(kNavCustomTypeCreator, client.m_vecPopups[0].menuCreator);
  EXPECT_EQ(1u, client.m_vecPopups[0].menuType);
  EXPECT_EQ(std::string("\x04JPEG"), std::string(reinterpret_cast<char*>(client.m_vecPopups[0].menuItemName), 5));

  NavReplyRecord reply;
  ASSERT_EQ(noErr, NavDialogGetReply(dialog, &reply));
  EXPECT_TRUE(reply.validRecord);
  FSRef chosen, expected;
  Size size = 0;
  ASSERT_EQ(noErr, AEGetNthPtr(&reply.selection, 1, typeFSRef, nullptr, nullptr, &chosen,
                               sizeof chosen, &size));
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>((m_strDir + "/a.jpg").c_str()),
                                 &expected, nullptr));
  EXPECT_EQ(noErr, FSCompareFSRefs(&chosen, &expected));
  EXPECT_EQ(1, NavTestLiveReplies());
  NavDisposeReply(&reply);
  NavDialogDispose(dialog);

  stcNavTestDialog record = NavTestDialogs().at(0);
  EXPECT_EQ("Pick one", record.m_strMessage);
  EXPECT_EQ((std::vector<std::string>{"All", "JPEG"}), record.m_vecPopup);
  EXPECT_EQ(std::vector<std::string>{m_strDir}, record.m_vecLocationPaths);
  EXPECT_EQ(1, record.m_intRedrawCount);
  EXPECT_EQ(1, record.m_intPopupIndex);
  ASSERT_EQ(2u, record.m_vecFilterPasses.size());  // the start and the redraw
  std::vector<std::string> seen;
  for (auto const& call : record.m_vecFilterPasses[1]) seen.push_back(call.m_strPath + (call.m_bolShown ? "+" : "-"));
  EXPECT_EQ((std::vector<std::string>{m_strDir + "/a.jpg+", m_strDir + "/b.txt-", m_strDir + "/sub+"}), seen);
  EXPECT_EQ((std::vector<std::string>{m_strDir + "/a.jpg", m_strDir + "/sub"}), NavTestLastShownItems());
  EXPECT_EQ(6, client.m_intFilterCalls);
}

TEST_F(NavigationFixture, SaveDialogNameFieldAndCustomType) {
  NavDialogCreationOptions options;
  ASSERT_EQ(noErr, NavGetDefaultDialogCreationOptions(&options));
  CFStringRef initial = Text("start.txt");
  options.saveFileName = initial;
  CFStringRef row = Text("Text");
  CFArrayRef popup = CFArrayCreate(kCFAllocatorDefault, reinterpret_cast<void const**>(&row), 1,
                                   &kCFTypeArrayCallBacks);
  options.popupExtension = popup;
  NavDialogRef dialog = nullptr;
  ASSERT_EQ(noErr, NavCreatePutFileDialog(&options, MakeFourCharCode("TEXT"), MakeFourCharCode("****"),
                                          nullptr, nullptr, &dialog));
  CFRelease(initial);
  CFRelease(row);
  CFRelease(popup);

  NavMenuItemSpec item{};
  item.menuCreator = kNavCustomTypeCreator;
  item.menuType = 0;
  EXPECT_EQ(noErr, NavCustomControl(dialog, kNavCtlSelectCustomType, &item));
  item.menuType = 1;
  EXPECT_EQ(paramErr, NavCustomControl(dialog, kNavCtlSelectCustomType, &item));
  CFStringRef set = Text("by client.txt");
  EXPECT_EQ(noErr, NavDialogSetSaveFileName(dialog, set));
  CFRelease(set);

  NavTestQueueRun(NavTestChoose(m_strDir).TypeName("typed.txt"));
  ASSERT_EQ(noErr, NavDialogRun(dialog));
  EXPECT_EQ(kNavUserActionSaveAs, NavDialogGetUserAction(dialog));
  NavReplyRecord reply;
  ASSERT_EQ(noErr, NavDialogGetReply(dialog, &reply));
  EXPECT_EQ(9, CFStringGetLength(reply.saveFileName));
  EXPECT_EQ(9, CFStringGetLength(NavDialogGetSaveFileName(dialog)));
  NavDisposeReply(&reply);
  NavDialogDispose(dialog);

  stcNavTestDialog record = NavTestDialogs().at(0);
  EXPECT_EQ(MakeFourCharCode("TEXT"), record.m_ulngFileType);
  EXPECT_EQ(std::vector<int32_t>{0}, record.m_vecSelectedCustomTypes);
  EXPECT_EQ(std::vector<std::string>{"by client.txt"}, record.m_vecSaveNamesSet);
  EXPECT_EQ("typed.txt", record.m_strSaveName);
}

TEST_F(NavigationFixture, ForcedFailuresAndScriptedFaults) {
  NavDialogCreationOptions options;
  NavTestFailCall(kNavTestCallDefaultOptions, paramErr);
  EXPECT_EQ(paramErr, NavGetDefaultDialogCreationOptions(&options));
  ASSERT_EQ(noErr, NavGetDefaultDialogCreationOptions(&options));
  NavTestFailCall(kNavTestCallNewEventUPP, 1);
  EXPECT_EQ(nullptr, NewNavEventUPP(ClientEvents));
  EXPECT_EQ(ClientEvents, NewNavEventUPP(ClientEvents));
  NavDialogRef dialog = nullptr;
  NavTestFailCall(kNavTestCallCreateGetFile, -108);
  EXPECT_EQ(-108, NavCreateGetFileDialog(&options, nullptr, nullptr, nullptr, nullptr, nullptr, &dialog));
  EXPECT_EQ(nullptr, dialog);

  struct {
    stcNavTestRun run;
    OSStatus runResult;
    OSStatus replyResult;
    bool valid;
    SInt32 items;
  } const rows[] = {
      {[] { auto r = NavTestChoose("/"); r.m_lngRunResult = -36; return r; }(), -36, 0, false, 0},
      {NavTestChoose("/no/such/file"), fnfErr, noErr, false, 0},
      {[] { auto r = NavTestChoose("/"); r.m_lngReplyResult = -50; return r; }(), noErr, -50, false, 0},
      {[] { auto r = NavTestChoose("/"); r.m_bolInvalidReply = true; return r; }(), noErr, noErr, false, 1},
      {[] { auto r = NavTestChoose("/"); r.m_bolEmptySelection = true; return r; }(), noErr, noErr, true, 0},
  };
  for (auto const& row : rows) {
    ASSERT_EQ(noErr, NavCreateChooseFolderDialog(&options, nullptr, nullptr, nullptr, &dialog));
    NavTestQueueRun(row.run);
    EXPECT_EQ(row.runResult, NavDialogRun(dialog));
    NavReplyRecord reply;
    OSStatus replyResult = NavDialogGetReply(dialog, &reply);
    EXPECT_EQ(row.replyResult, replyResult);
    EXPECT_EQ(row.valid, reply.validRecord != 0);
    SInt32 count = 0;
    AECountItems(&reply.selection, &count);
    EXPECT_EQ(row.items, count);
    NavDisposeReply(&reply);
    NavDialogDispose(dialog);
  }
  EXPECT_EQ(0u, NavTestQueuedRuns());
  EXPECT_EQ(noErr, SetThemeCursor(kThemeArrowCursor));
  EXPECT_EQ(std::vector<ThemeCursor>{kThemeArrowCursor}, NavTestThemeCursors());
}

}  // namespace
