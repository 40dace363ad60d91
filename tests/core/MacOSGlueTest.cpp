// Tests of the Mac OS glue: string bridges on both ways of reading a CoreFoundation string,
// HFS names, the key test, the version text, the one-event pump, the URL request and the
// message box. The browser hand-off is switched off for the whole file.
#include "core/MacOSGlue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/MessageDialog.h"
#include "platform/carbon/AppleEvents.h"
#include "platform/carbon/Gestalt.h"
#include "platform/carbon/WindowsTesting.h"
#include "tests/support/StockDialogTesting.h"

namespace {

class MacOSGlueTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("VELMORA_NO_BROWSER", "1", 1);
    AESetBrowserLaunchEnabledForTesting(false);
  }
  void TearDown() override {
    CFStringSetCharactersPtrAvailableForTesting(true);
    SetGestaltFailureForTesting(noErr);
    SetGestaltSystemVersionForTesting(0x1068);
    SetKeyMapForTesting(nullptr);
    AESetSendResultForTesting(noErr);
    AESetBuildResultForTesting(noErr);
    AEClearSentEventsForTesting();
    WindowsResetForTesting();
  }
};

std::vector<UniChar> Units(UniString const& text) {
  std::vector<UniChar> units(size_t(text.Length()));
  text.GetBytes(units.data());
  return units;
}

UniString Utf8(char const* text) { return UniString(text, 1, -1); }

}  // namespace

TEST_F(MacOSGlueTest, StringsRoundTripWithAndWithoutDirectAccess) {
  UniChar const withZero[] = {'a', 0, 'b'};
  for (bool direct : {true, false}) {
    SCOPED_TRACE(direct ? "direct units" : "copied units");
    CFStringSetCharactersPtrAvailableForTesting(direct);
    for (UniString text : {UniString(), Utf8("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"),
                           UniString(withZero, 3)}) {
      CFStringRef cf = UniStringToCFString(text);
      ASSERT_NE(nullptr, cf);
      EXPECT_EQ(text.Length(), CFStringGetLength(cf));
      EXPECT_EQ(direct, CFStringGetCharactersPtr(cf) != nullptr);
      UniString back = CFStringToUniString(cf);
      if (!direct && text.Length() == 3 && Units(text)[1] == 0) {
        EXPECT_EQ(Units(Utf8("a")), Units(back));  // a copy ends at the first zero unit
      } else {
        EXPECT_EQ(Units(text), Units(back));
      }
      CFRelease(cf);
    }
  }
  // A string made from 8-bit text never offers its units directly.
  CFStringRef eightBit = CFStringCreateWithCString(kCFAllocatorDefault, "caf\xC3\xA9",
                                                   kCFStringEncodingUTF8);
  ASSERT_NE(nullptr, eightBit);
  EXPECT_EQ(nullptr, CFStringGetCharactersPtr(eightBit));
  EXPECT_TRUE(CFStringToUniString(eightBit) == Utf8("caf\xC3\xA9"));
  CFRelease(eightBit);
  EXPECT_TRUE(CFStringToUniString(nullptr).IsEmpty());
}

TEST_F(MacOSGlueTest, HFSNamesTakeAtMost255Units) {
  std::vector<UniChar> units(300);
  for (size_t i = 0; i < units.size(); ++i) units[i] = UniChar(0x4E00 + i);
  struct stcCase {
    CFIndex m_lngLength;
    int m_intExpected;
  } const cases[] = {{0, 0}, {1, 1}, {255, 255}, {256, 255}, {300, 255}};
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.m_lngLength);
    CFStringRef cf = CFStringCreateWithCharacters(kCFAllocatorDefault, units.data(), c.m_lngLength);
    HFSUniStr255 name;
    name.length = 999;
    name.unicode[0] = 0xFFFF;
    EXPECT_EQ(c.m_intExpected, CFStringToHFSUniStr255(cf, &name));
    EXPECT_EQ(c.m_intExpected, name.length);
    for (int i = 0; i < c.m_intExpected; ++i) ASSERT_EQ(units[size_t(i)], name.unicode[i]) << i;
    CFRelease(cf);
  }
  HFSUniStr255 name;
  EXPECT_EQ(0, CFStringToHFSUniStr255(nullptr, &name));
  EXPECT_EQ(0, name.length);
}

TEST_F(MacOSGlueTest, KeyCodesReadTheirBitOfTheMap) {
  SetKeyDownForTesting(56, true);  // Shift
  KeyMap keys;
  GetKeys(keys);
  UInt8 const* bytes = reinterpret_cast<UInt8 const*>(keys);
  EXPECT_EQ(0x01, bytes[7]);
  EXPECT_TRUE(IsKeyDown(keys, 56));
  EXPECT_FALSE(IsKeyDown(keys, 59));
  EXPECT_FALSE(IsKeyDown(keys, 57));

  SetKeyDownForTesting(59, true);  // Control: bit 3 of byte 7
  SetKeyDownForTesting(127, true);
  SetKeyDownForTesting(0, true);
  GetKeys(keys);
  EXPECT_EQ(0x09, bytes[7]);
  for (short code : {0, 56, 59, 127}) EXPECT_TRUE(IsKeyDown(keys, code)) << code;
  for (short code : {-1, 128, 1000}) EXPECT_FALSE(IsKeyDown(keys, code)) << code;
  EXPECT_FALSE(IsKeyDown(nullptr, 56));
}

TEST_F(MacOSGlueTest, VersionTextAndNumbers) {
  struct stcCase {
    SInt32 m_lngAnswer;
    char const* m_pchText;
    int m_intMajor, m_intMinor, m_intRevision;
  } const cases[] = {
      {0x1049, "Mac OS X 10.4.9 (Intel)", 10, 4, 9},
      {0x1068, "Mac OS X 10.6.8 (Intel)", 10, 6, 8},
      {0x1100, "Mac OS X 11.0.0 (Intel)", 11, 0, 0},
      {0x0922, "Mac OS 9.2.2 (Intel)", 9, 2, 2},
      {0x0F12, "Mac OS X 15.1.2 (Intel)", 15, 1, 2},
  };
  for (stcCase const& c : cases) {
    SetGestaltSystemVersionForTesting(c.m_lngAnswer);
    int major = -1, minor = -1, revision = -1;
    AnsiString text = GetMacOSVersion(&major, &minor, &revision);
    EXPECT_STREQ(c.m_pchText, text.c_str());
    EXPECT_EQ(c.m_intMajor, major);
    EXPECT_EQ(c.m_intMinor, minor);
    EXPECT_EQ(c.m_intRevision, revision);
  }
  EXPECT_STREQ("Mac OS X 15.1.2 (Intel)", GetMacOSVersion(nullptr, nullptr, nullptr).c_str());

  SetGestaltFailureForTesting(gestaltUndefSelectorErr);
  int major = 7, minor = 7, revision = 7;
  EXPECT_EQ(0, GetMacOSVersion(&major, &minor, &revision).Length());
  EXPECT_EQ(0, major);
  EXPECT_EQ(0, minor);
  EXPECT_EQ(0, revision);
}

namespace {
constexpr UInt32 kPumpClass = MakeFourCharCode("gtst");
int g_intPumpedEvents = 0;
OSStatus CountingHandler(EventHandlerCallRef, EventRef, void*) {
  ++g_intPumpedEvents;
  return noErr;
}
}  // namespace

TEST_F(MacOSGlueTest, ProcessMessagesDispatchesOneEventOfAnyKind) {
  FlushEventQueue(GetMainEventQueue());
  EventTypeSpec type = {kPumpClass, 1};
  EventHandlerRef handler = nullptr;
  ASSERT_EQ(noErr, InstallEventHandler(GetEventDispatcherTarget(), CountingHandler, 1, &type,
                                       nullptr, &handler));
  g_intPumpedEvents = 0;

  OSX_ProcessMessages(nullptr, 0.001);  // nothing queued: returns after the wait
  EXPECT_EQ(0, g_intPumpedEvents);

  std::thread poster([] {
    for (UInt32 kind : {1u, 1u}) {
      EventRef event = nullptr;
      CreateEvent(kCFAllocatorDefault, kPumpClass, kind, 0, kEventAttributeNone, &event);
      PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard);
      ReleaseEvent(event);
    }
  });
  // The list is not applied, and each call takes exactly one event.
  EventTypeSpec other = {MakeFourCharCode("none"), 9};
  OSX_ProcessMessages(&other, 10.0);
  EXPECT_EQ(1, g_intPumpedEvents);
  OSX_ProcessMessages(&other, 10.0);
  poster.join();
  EXPECT_EQ(2, g_intPumpedEvents);
  EXPECT_EQ(0u, GetNumEventsInQueue(GetMainEventQueue()));
  RemoveEventHandler(handler);
}

TEST_F(MacOSGlueTest, URLGoesToTheFinderAsUTF8Text) {
  EXPECT_TRUE(SendURLToBrowser(Utf8("http://example.com/gr\xC3\xBC\xC3\x9F" "e?a=1&b=2")));
  std::vector<AESentEventForTesting> sent = AEGetSentEventsForTesting();
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(MakeFourCharCode("GURL"), sent[0].eventClass);
  EXPECT_EQ(MakeFourCharCode("GURL"), sent[0].eventID);
  EXPECT_EQ(typeApplSignature, sent[0].addressType);
  EXPECT_EQ(MakeFourCharCode("MACS"), sent[0].targetSignature);
  EXPECT_EQ("http://example.com/gr\xC3\xBC\xC3\x9F" "e?a=1&b=2", sent[0].directText);

  AESetSendResultForTesting(-609);  // connectionInvalid
  EXPECT_FALSE(SendURLToBrowser(Utf8("http://example.com/")));
  AESetSendResultForTesting(noErr);
  AESetBuildResultForTesting(errAEBuildSyntaxError);
  EXPECT_FALSE(SendURLToBrowser(Utf8("http://example.com/")));
  EXPECT_EQ(1u, AEGetSentEventsForTesting().size());
}

TEST_F(MacOSGlueTest, ShowMessageOpensAPlainOKBox) {
  clsStockDialogRecorder recorder;
  ShowMessage(AnsiString("Cannot load: \xE2\x80\x9Cplug-in\xE2\x80\x9D"));  // Return answers it
  ASSERT_EQ(1u, recorder.Shown().size());
  stcShownStockDialog const& shown = recorder.Shown()[0];
  EXPECT_EQ("Cannot load: \xE2\x80\x9Cplug-in\xE2\x80\x9D", shown.m_strText);
  EXPECT_EQ(std::vector<std::string>{"OK"}, shown.m_vecButtons);
  EXPECT_TRUE(shown.m_strTitle.empty());
  EXPECT_FALSE(shown.m_blnHasCheckBox);
  EXPECT_TRUE(WindowsListForTesting().empty());  // the box is gone when the call returns
}

// The conversions the bridges and their neighbours rely on: whole characters only, the loss
// byte, buffer limits.
TEST_F(MacOSGlueTest, StringBytesStopAtWholeCharacters) {
  UniChar const units[] = {'A', 0xE9, 0xD83D, 0xDE00, 0xDC00, 'z'};  // pair, then a lone low
  CFStringRef cf = CFStringCreateWithCharacters(kCFAllocatorDefault, units, 6);
  struct stcCase {
    CFStringEncoding m_ulngEncoding;
    UInt8 m_bytLoss;
    CFIndex m_lngRoom;
    CFIndex m_lngConverted;
    std::string m_strBytes;
  } const cases[] = {
      {kCFStringEncodingUTF8, 0, 100, 4, "A\xC3\xA9\xF0\x9F\x98\x80"},
      {kCFStringEncodingUTF8, '?', 100, 6, "A\xC3\xA9\xF0\x9F\x98\x80?z"},
      {kCFStringEncodingUTF8, '?', 6, 2, "A\xC3\xA9"},  // the pair needs 4 more bytes
      {kCFStringEncodingASCII, 0, 100, 1, "A"},
      {kCFStringEncodingISOLatin1, '_', 100, 6, "A\xE9___z"},
      {kCFStringEncodingUTF16BE, 0, 5, 2, std::string("\0A\0\xE9", 4)},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.m_strBytes);
    UInt8 buffer[100] = {};
    CFIndex used = -1;
    EXPECT_EQ(c.m_lngConverted, CFStringGetBytes(cf, CFRangeMake(0, 6), c.m_ulngEncoding,
                                                 c.m_bytLoss, false, buffer, c.m_lngRoom, &used));
    EXPECT_EQ(c.m_strBytes, std::string(reinterpret_cast<char*>(buffer), size_t(used)));
  }
  CFIndex used = -1;
  EXPECT_EQ(0, CFStringGetBytes(cf, CFRangeMake(4, 3), kCFStringEncodingUTF8, 0, false, nullptr,
                                0, &used));  // past the end: nothing
  char text[8];
  EXPECT_FALSE(CFStringGetCString(cf, text, sizeof text, kCFStringEncodingUTF8));
  CFRelease(cf);
  EXPECT_EQ(nullptr, CFStringCreateWithCString(kCFAllocatorDefault, "\xC3(", kCFStringEncodingUTF8));
}
