// Tests of the web-view bridge. The bridge loads its bundle once per process and never lets it
// go, so one test walks through the whole life: no bundle at first, then a bundle that lacks
// Cocoa_InitWebView appears in the plug-in's private frameworks.
#include "dialogs/WebViewBridge.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "files/XFileSpec.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

class WebViewBridgeTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("webview", {"/Plugins/Velmora.bundle"}));
    ASSERT_EQ(InstallRoot(), noErr);
    m_strIdentifier = CFStringCreateWithCString(nullptr, g_strPluginBundleIdentifier,
                                                kCFStringEncodingUTF8);
    ASSERT_TRUE(CFBundleSetLocationForTesting(m_strIdentifier, Real("/Plugins/Velmora.bundle").c_str()));
  }
  void TearDown() override {
    // The bridge keeps its bundle for the process; the test lets it go, so that a later run in
    // the same process starts again without one and nothing is left unreleased.
    if (g_udtWebKitInterfaceBundle != nullptr) CFRelease(g_udtWebKitInterfaceBundle);
    g_udtWebKitInterfaceBundle = nullptr;
    Cocoa_InitWebView = nullptr;
    Cocoa_UpdateWebViewURL = nullptr;
    Cocoa_UpdateWebViewContent = nullptr;
    CFBundleSetLocationForTesting(m_strIdentifier, nullptr);
    CFRelease(m_strIdentifier);
    RemoveRoot();
  }
  // What the bundle recorded since the last look.
  std::string NewCalls() {
    CFStringRef name = CFStringCreateWithCString(nullptr, "WebKitInterfaceRecordForTesting",
                                                 kCFStringEncodingUTF8);
    auto record = reinterpret_cast<char const* (*)()>(
        CFBundleGetFunctionPointerForName(g_udtWebKitInterfaceBundle, name));
    CFRelease(name);
    if (record == nullptr) return "<no record>";
    std::string const all = record();
    std::string const fresh = all.substr(m_intSeen);
    m_intSeen = all.size();
    return fresh;
  }
  static std::string Pointer(void const* view) {
    char text[32];
    std::snprintf(text, sizeof(text), "%p", view);
    return text;
  }

  CFStringRef m_strIdentifier = nullptr;
  size_t m_intSeen = 0;
};

TEST_F(WebViewBridgeTest, LoadsOnceWhenThereAndForwardsWhatTheBundleHas) {
  ASSERT_EQ(g_udtWebKitInterfaceBundle, nullptr);
  char const blank[] = "about:blank";
  CFURLRef url = CFURLCreateWithBytes(nullptr, reinterpret_cast<UInt8 const*>(blank),
                                      CFIndex(sizeof(blank) - 1), kCFStringEncodingUTF8, nullptr);
  CFStringRef html = CFStringCreateWithCString(nullptr, "<b>x</b>", kCFStringEncodingUTF8);
  HIViewRef first = reinterpret_cast<HIViewRef>(0x1000);
  HIViewRef second = reinterpret_cast<HIViewRef>(0x2000);

  // No web-view bundle: nothing happens, nothing is kept.
  WKI_InitWebView(first);
  WKI_UpdateWebViewURL(first, url);
  WKI_UpdateWebViewContent(first, html);
  EXPECT_EQ(g_udtWebKitInterfaceBundle, nullptr);
  CFBundleRef out = reinterpret_cast<CFBundleRef>(0x1);
  CFStringRef name = CFStringCreateWithCString(nullptr, "WebKitInterface.bundle", kCFStringEncodingUTF8);
  LoadPrivateFrameworkBundle(name, &out);
  EXPECT_EQ(out, nullptr);
  LoadPrivateFrameworkBundle(name, nullptr);
  CFRelease(name);

  // The bundle appears (without Cocoa_InitWebView): the next calls load it and use what it has.
  std::filesystem::create_directories(Real("/Plugins/Velmora.bundle/PrivateFrameworks"));
  std::filesystem::copy(VELMORA_WEBVIEW_BUNDLE_WITHOUT_INIT,
                        Real("/Plugins/Velmora.bundle/PrivateFrameworks/WebKitInterface.bundle"),
                        std::filesystem::copy_options::recursive);
  WKI_InitWebView(first);
  CFBundleRef const loaded = g_udtWebKitInterfaceBundle;
  ASSERT_NE(loaded, nullptr);
  NewCalls();  // loaded code stays, and with it what an earlier run in this process recorded
  EXPECT_EQ(Cocoa_InitWebView, nullptr);
  WKI_UpdateWebViewURL(first, url);
  WKI_InitWebView(second);
  WKI_UpdateWebViewContent(second, html);
  WKI_UpdateWebViewURL(second, nullptr);
  EXPECT_EQ(g_udtWebKitInterfaceBundle, loaded);  // two views, one load
  EXPECT_NE(Cocoa_UpdateWebViewURL, nullptr);
  EXPECT_NE(Cocoa_UpdateWebViewContent, nullptr);
  EXPECT_EQ(NewCalls(), "Cocoa_UpdateWebViewURL view=" + Pointer(first) + " url=about:blank\n" +
                            "Cocoa_UpdateWebViewContent view=" + Pointer(second) + " html=<b>x</b>\n" +
                            "Cocoa_UpdateWebViewURL view=" + Pointer(second) + " url=(null)\n");
  CFRelease(html);
  CFRelease(url);
}

}  // namespace
