// Tests of bundles made from folder URLs and their code: the web-view bundle the build makes is
// loaded from a copy inside the File Manager stand-in's root, its entry points are found by name
// and record what they were given.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/cf/CFBundle.h"
#include "platform/cf/CFString.h"
#include "platform/cf/CFURL.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

CFStringRef String(char const* text) {
  return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

CFURLRef FolderURL(char const* virtualPath) {
  CFStringRef path = String(virtualPath);
  CFURLRef url = CFURLCreateWithFileSystemPath(nullptr, path, kCFURLPOSIXPathStyle, TRUE);
  CFRelease(path);
  return url;
}

void* Function(CFBundleRef bundle, char const* name) {
  CFStringRef string = String(name);
  void* function = CFBundleGetFunctionPointerForName(bundle, string);
  CFRelease(string);
  return function;
}

class CFBundleLoadingTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("bundleload", {"/Frameworks/Empty.bundle"}));
    std::filesystem::copy(std::string(VELMORA_BUNDLE_DIR) + "/PrivateFrameworks/WebKitInterface.bundle",
                          Real("/Frameworks/WebKitInterface.bundle"),
                          std::filesystem::copy_options::recursive);
    Write("/Frameworks/File.bundle", "not a folder");
    ASSERT_EQ(InstallRoot(), noErr);
  }
  void TearDown() override { RemoveRoot(); }
};

TEST_F(CFBundleLoadingTest, TheWebViewBundleLoadsAndRecordsItsCalls) {
  for (char const* absent : {"/Frameworks/Missing.bundle", "/Frameworks/File.bundle"}) {
    CFURLRef url = FolderURL(absent);
    EXPECT_EQ(CFBundleCreate(nullptr, url), nullptr) << absent;
    CFRelease(url);
  }
  EXPECT_EQ(CFBundleCreate(nullptr, nullptr), nullptr);

  CFURLRef emptyURL = FolderURL("/Frameworks/Empty.bundle");
  CFBundleRef empty = CFBundleCreate(nullptr, emptyURL);
  ASSERT_NE(empty, nullptr);
  EXPECT_FALSE(CFBundleLoadExecutable(empty));
  EXPECT_EQ(Function(empty, "Cocoa_InitWebView"), nullptr);
  CFRelease(empty);
  CFRelease(emptyURL);

  CFURLRef url = FolderURL("/Frameworks/WebKitInterface.bundle");
  CFBundleRef bundle = CFBundleCreate(nullptr, url);
  CFRelease(url);
  ASSERT_NE(bundle, nullptr);
  ASSERT_TRUE(CFBundleLoadExecutable(bundle));
  EXPECT_TRUE(CFBundleLoadExecutable(bundle));
  EXPECT_EQ(Function(bundle, "NoSuchFunction"), nullptr);
  EXPECT_EQ(Function(bundle, ""), nullptr);

  auto init = reinterpret_cast<void (*)(void*)>(Function(bundle, "Cocoa_InitWebView"));
  auto load = reinterpret_cast<void (*)(void*, CFURLRef)>(Function(bundle, "Cocoa_UpdateWebViewURL"));
  auto show = reinterpret_cast<void (*)(void*, CFStringRef)>(Function(bundle, "Cocoa_UpdateWebViewContent"));
  auto record = reinterpret_cast<char const* (*)()>(Function(bundle, "WebKitInterfaceRecordForTesting"));
  ASSERT_TRUE(init != nullptr && load != nullptr && show != nullptr && record != nullptr);
  std::string const before = record();

  int view = 0;
  char const blank[] = "about:blank";
  CFURLRef page = CFURLCreateWithBytes(nullptr, reinterpret_cast<UInt8 const*>(blank),
                                       CFIndex(sizeof(blank) - 1), kCFStringEncodingUTF8, nullptr);
  CFStringRef html = String("<p>h\xc3\xa9</p>");
  init(&view);
  load(&view, page);
  show(&view, html);
  load(&view, nullptr);
  CFRelease(html);
  CFRelease(page);

  char pointer[32];
  std::snprintf(pointer, sizeof(pointer), "%p", static_cast<void*>(&view));
  std::string const v = pointer;
  EXPECT_EQ(std::string(record()).substr(before.size()),
            "Cocoa_InitWebView view=" + v + "\n" +
            "Cocoa_UpdateWebViewURL view=" + v + " url=about:blank\n" +
            "Cocoa_UpdateWebViewContent view=" + v + " html=<p>h\xc3\xa9</p>\n" +
            "Cocoa_UpdateWebViewURL view=" + v + " url=(null)\n");
  CFRelease(bundle);
}

}  // namespace
