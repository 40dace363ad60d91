// Tests of URLs made from text and grown by a path component, and of mutable strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/carbon/FilesStandIn.h"
#include "platform/cf/CFString.h"
#include "platform/cf/CFURL.h"

namespace {

std::string Text(CFStringRef string) {
  if (string == nullptr) return "<null>";
  CFIndex const length = CFStringGetLength(string);
  std::vector<UniChar> units(size_t(length) + 1);
  CFStringGetCharacters(string, CFRangeMake(0, length), units.data());
  return FSStandInUTF16ToUTF8(units.data(), size_t(length));
}

std::string TakeText(CFStringRef string) {
  std::string text = Text(string);
  if (string != nullptr) CFRelease(string);
  return text;
}

CFURLRef FromText(std::string const& text, CFURLRef base = nullptr) {
  return CFURLCreateWithBytes(nullptr, reinterpret_cast<UInt8 const*>(text.data()),
                              CFIndex(text.size()), kCFStringEncodingUTF8, base);
}

TEST(CFURLTextTest, URLsFromBytesKeepTheirTextOrTheirPath) {
  CFURLRef base = FromText("file:///base/folder/");
  ASSERT_NE(base, nullptr);
  struct stcCase {
    char const* m_strText;
    CFURLRef m_urlBase;
    char const* m_strString;  // "<null>": no URL
    char const* m_strPath;    // "<null>": no file-system path
  };
  stcCase const cases[] = {
      {"about:blank", nullptr, "about:blank", "<null>"},
      {"http://example.invalid/a b", nullptr, "http://example.invalid/a b", "<null>"},
      {"file:///a%20b/c.png", nullptr, "file:///a%20b/c.png", "/a b/c.png"},
      {"FILE://localhost/x/../y/", nullptr, "file:///y/", "/y"},
      {"file://elsewhere/x", nullptr, "file://elsewhere/x", "<null>"},
      {"file:///bad%2", nullptr, "<null>", "<null>"},
      {"file:///nul%00", nullptr, "<null>", "<null>"},
      {"", nullptr, "<null>", "<null>"},
      {"sub/p.png", base, "sub/p.png", "sub/p.png"},
      {"sub/p.png", nullptr, "sub/p.png", "<null>"},
  };
  for (stcCase const& c : cases) {
    CFURLRef url = FromText(c.m_strText, c.m_urlBase);
    EXPECT_EQ(Text(CFURLGetString(url)), c.m_strString) << c.m_strText;
    EXPECT_EQ(TakeText(CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle)), c.m_strPath)
        << c.m_strText;
    if (url != nullptr) CFRelease(url);
  }
  CFURLRef relative = FromText("sub/p.png", base);
  CFURLRef absolute = CFURLCopyAbsoluteURL(relative);
  EXPECT_EQ(Text(CFURLGetString(absolute)), "file:///base/folder/sub/p.png");
  CFRelease(absolute);
  CFRelease(relative);
  CFRelease(base);
}

TEST(CFURLTextTest, AppendingAPathComponent) {
  struct stcCase {
    char const* m_strURL;
    char const* m_strComponent;
    bool m_blnDirectory;
    char const* m_strString;
  };
  stcCase const cases[] = {
      {"file:///Velmora.bundle/PrivateFrameworks/", "WebKitInterface.bundle", false,
       "file:///Velmora.bundle/PrivateFrameworks/WebKitInterface.bundle"},
      {"file:///a", "b c", true, "file:///a/b%20c/"},
      {"file:///a", "..", false, "file:///"},
      {"http://example.invalid", "x y", false, "http://example.invalid/x%20y"},
      {"http://example.invalid/", "x", true, "http://example.invalid/x/"},
      {"file:///a", "", false, "<null>"},
  };
  for (stcCase const& c : cases) {
    CFURLRef url = FromText(c.m_strURL);
    ASSERT_NE(url, nullptr) << c.m_strURL;
    CFStringRef component =
        CFStringCreateWithCString(nullptr, c.m_strComponent, kCFStringEncodingUTF8);
    CFURLRef grown = CFURLCreateCopyAppendingPathComponent(nullptr, url, component, c.m_blnDirectory);
    EXPECT_EQ(Text(CFURLGetString(grown)), c.m_strString) << c.m_strURL << " + " << c.m_strComponent;
    if (grown != nullptr) CFRelease(grown);
    CFRelease(component);
    CFRelease(url);
  }
}

TEST(CFURLTextTest, MutableStringsGrowUpToTheirLimit) {
  CFMutableStringRef string = CFStringCreateMutable(nullptr, 8);
  ASSERT_NE(string, nullptr);
  CFStringAppendCString(string, "com.", kCFStringEncodingUTF8);
  CFStringAppend(string, string);
  EXPECT_EQ(Text(string), "com.com.");
  CFStringAppendCString(string, "x", kCFStringEncodingUTF8);  // past the limit
  EXPECT_EQ(Text(string), "com.com.");
  CFRelease(string);

  CFMutableStringRef unlimited = CFStringCreateMutable(nullptr, 0);
  CFStringAppendCString(unlimited, "\xff", kCFStringEncodingUTF8);  // not UTF-8
  CFStringAppendCString(unlimited, "\xc3\xa9t\xc3\xa9", kCFStringEncodingUTF8);
  UniChar const units[] = {'!', '?'};
  CFStringAppendCharacters(unlimited, units, 2);
  EXPECT_EQ(Text(unlimited), "\xc3\xa9t\xc3\xa9!?");
  CFStringRef fixed = CFStringCreateWithCString(nullptr, "fixed", kCFStringEncodingUTF8);
  CFStringAppend(const_cast<CFMutableStringRef>(fixed), unlimited);  // not mutable: unchanged
  EXPECT_EQ(Text(fixed), "fixed");
  CFRelease(fixed);
  CFRelease(unlimited);
}

}  // namespace
