// Tests of the CoreGraphics stand-in: PNG bytes decoded to their pixel size, everything else
// refused, and data providers over files and memory.
#include "platform/cg/CGImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cg/CGDataProvider.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

// A 3 x 2 RGB picture.
std::vector<unsigned char> const kPNG = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0x12,
    0x16, 0xf1, 0x4d, 0x00, 0x00, 0x00, 0x10, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8,
    0xcf, 0xc0, 0x00, 0x41, 0x0c, 0x70, 0x16, 0x00, 0x41, 0xd2, 0x05, 0xfb, 0x87, 0xf0, 0xb9,
    0x48, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

int g_intReleased = 0;
void CountRelease(void* info, void const*, size_t) { g_intReleased += *static_cast<int*>(info); }

TEST(CGImageTest, DecodesSoundPNGsAndRefusesTheRest) {
  std::vector<unsigned char> badCRC = kPNG;
  badCRC[30] ^= 0x01;  // inside the header's checksum
  std::vector<unsigned char> hugeSides = kPNG;
  hugeSides[16] = 0x7f;  // width 0x7f000003; the checksum is wrong too, but the size goes first
  struct stcCase {
    char const* m_strWhat;
    std::vector<unsigned char> m_vecBytes;
    size_t m_intWidth;  // 0: refused
    size_t m_intHeight;
  };
  std::vector<stcCase> const cases = {
      {"sound", kPNG, 3, 2},
      {"empty", {}, 0, 0},
      {"truncated in the data", std::vector<unsigned char>(kPNG.begin(), kPNG.begin() + 50), 0, 0},
      {"signature only", std::vector<unsigned char>(kPNG.begin(), kPNG.begin() + 8), 0, 0},
      {"bad header checksum", badCRC, 0, 0},
      {"absurd width", hugeSides, 0, 0},
      {"not a PNG", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, 0, 0},
  };
  for (stcCase const& c : cases) {
    int weight = 1;
    g_intReleased = 0;
    CGDataProviderRef provider =
        CGDataProviderCreateWithData(&weight, c.m_vecBytes.data(), c.m_vecBytes.size(), CountRelease);
    ASSERT_NE(provider, nullptr) << c.m_strWhat;
    CGImageRef image = CGImageCreateWithPNGDataProvider(provider, nullptr, false,
                                                        kCGRenderingIntentDefault);
    EXPECT_EQ(image != nullptr, c.m_intWidth != 0) << c.m_strWhat;
    EXPECT_EQ(CGImageGetWidth(image), c.m_intWidth) << c.m_strWhat;
    EXPECT_EQ(CGImageGetHeight(image), c.m_intHeight) << c.m_strWhat;
    CGImageRelease(image);
    CGDataProviderRelease(provider);
    EXPECT_EQ(g_intReleased, 1) << c.m_strWhat;
  }
  EXPECT_EQ(CGImageCreateWithPNGDataProvider(nullptr, nullptr, false, kCGRenderingIntentDefault),
            nullptr);
}

class CGDataProviderTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("cgtest", {"/pictures/folder.png"}));
    ASSERT_EQ(InstallRoot(), noErr);
  }
  void TearDown() override { RemoveRoot(); }
};

TEST_F(CGDataProviderTest, FileURLsGiveTheirWholeFile) {
  Write("/pictures/p.png", std::string(kPNG.begin(), kPNG.end()));
  struct stcCase {
    char const* m_strURL;
    bool m_blnProvider;
  };
  stcCase const cases[] = {
      {"file:///pictures/p.png", true},
      {"file:///pictures/missing.png", false},
      {"file:///pictures/folder.png", false},
      {"http://example.invalid/p.png", false},
  };
  for (stcCase const& c : cases) {
    std::string const text = c.m_strURL;
    CFURLRef url = CFURLCreateWithBytes(nullptr, reinterpret_cast<UInt8 const*>(text.data()),
                                        CFIndex(text.size()), kCFStringEncodingUTF8, nullptr);
    ASSERT_NE(url, nullptr) << text;
    CGDataProviderRef provider = CGDataProviderCreateWithURL(url);
    EXPECT_EQ(provider != nullptr, c.m_blnProvider) << text;
    if (provider != nullptr) {
      CGImageRef image = CGImageCreateWithPNGDataProvider(provider, nullptr, true,
                                                          kCGRenderingIntentPerceptual);
      EXPECT_EQ(CGImageGetWidth(image), 3u);
      CGImageRelease(image);
      CGDataProviderRelease(provider);
    }
    CFRelease(url);
  }
}

}  // namespace
