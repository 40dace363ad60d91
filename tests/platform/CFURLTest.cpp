// Tests of the CFURL and CFBundle stand-ins: URLs from references and paths in both styles,
// relative URLs made absolute, references back from URLs, names the disk holds but UTF-8 does
// not, reference counts, the bundles of the test program, and a bundle's folder layout, also as
// the build assembles the plug-in's bundle.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesStandIn.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFURL.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

CFStringRef MakeString(std::string const& bytes) {
  std::u16string units = FSStandInUTF8ToUTF16(bytes);
  return CFStringCreateWithCharacters(kCFAllocatorDefault,
                                      reinterpret_cast<UniChar const*>(units.data()),
                                      CFIndex(units.size()));
}

// The text of a string the caller owns, released here.
std::string TakeString(CFStringRef text) {
  if (text == nullptr) return "<null>";
  CFIndex intLength = CFStringGetLength(text);
  std::vector<UniChar> vecUnits(size_t(intLength) + 1);
  CFStringGetCharacters(text, CFRangeMake(0, intLength), vecUnits.data());
  CFRelease(text);
  return FSStandInUTF16ToUTF8(vecUnits.data(), size_t(intLength));
}

std::string PathOfURL(CFURLRef url, CFURLPathStyle style) {
  return TakeString(CFURLCopyFileSystemPath(url, style));
}

class CFURLTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-cfurl", {"/Users/bob", "/Volumes/Data/x"}));
    for (char const* file : {"/Users/bob/a:b", "/Users/bob/\xFF.txt"})
      close(open(Real(file).c_str(), O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(InstallRoot(), noErr);
  }
  void TearDown() override { RemoveRoot(); }
};

TEST_F(CFURLTest, PathsOfReferencesInBothStyles) {
  struct {
    char const* pchrPath;
    char const* pchrHFS;
  } const cases[] = {
      {"/", "Macintosh HD:"},
      {"/Users/bob", "Macintosh HD:Users:bob"},
      {"/Users/bob/a:b", "Macintosh HD:Users:bob:a/b"},
      {"/Volumes", "Macintosh HD:Volumes"},
      {"/Volumes/Data", "Data:"},
      {"/Volumes/Data/x", "Data:x"},
  };
  for (auto const& c : cases) {
    FSRef ref, refBack;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<UInt8 const*>(c.pchrPath), &ref, nullptr), noErr);
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &ref);
    ASSERT_NE(url, nullptr) << c.pchrPath;
    EXPECT_EQ(CFGetTypeID(url), CFURLGetTypeID());
    EXPECT_EQ(PathOfURL(url, kCFURLPOSIXPathStyle), c.pchrPath);
    EXPECT_EQ(PathOfURL(url, kCFURLHFSPathStyle), c.pchrHFS);
    ASSERT_TRUE(CFURLGetFSRef(url, &refBack));
    EXPECT_EQ(FSCompareFSRefs(&ref, &refBack), noErr);
    CFRelease(url);

    // The HFS text leads back to the same place.
    CFStringRef strHFS = MakeString(c.pchrHFS);
    url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, strHFS, kCFURLHFSPathStyle, TRUE);
    CFRelease(strHFS);
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(PathOfURL(url, kCFURLPOSIXPathStyle), c.pchrPath);
    CFRelease(url);
  }
  FSRef refZero = {};
  EXPECT_EQ(CFURLCreateFromFSRef(kCFAllocatorDefault, &refZero), nullptr);
  EXPECT_EQ(CFURLCreateFromFSRef(kCFAllocatorDefault, nullptr), nullptr);
}

TEST_F(CFURLTest, PathsGivenAsText) {
  struct {
    char const* pchrText;
    CFURLPathStyle intStyle;
    char const* pchrPOSIX;  // nullptr: no URL
  } const cases[] = {
      {"/Users/bob/", kCFURLPOSIXPathStyle, "/Users/bob"},
      {"/Users//bob/./x/..", kCFURLPOSIXPathStyle, "/Users/bob"},
      {"Gone:x", kCFURLHFSPathStyle, "/Volumes/Gone/x"},  // an unmounted volume
      {"Macintosh HD:a/b:", kCFURLHFSPathStyle, "/a:b"},
      {":sub:a/b", kCFURLHFSPathStyle, "sub/a:b"},  // relative; an empty step is the parent
      {"::up:", kCFURLHFSPathStyle, "../up"},
      {":", kCFURLHFSPathStyle, "."},
      {"", kCFURLPOSIXPathStyle, nullptr},
      {"C:\\x", kCFURLWindowsPathStyle, nullptr},
  };
  for (auto const& c : cases) {
    CFStringRef strText = MakeString(c.pchrText);
    CFURLRef url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, strText, c.intStyle, FALSE);
    CFRelease(strText);
    if (c.pchrPOSIX == nullptr) {
      EXPECT_EQ(url, nullptr) << c.pchrText;
      continue;
    }
    ASSERT_NE(url, nullptr) << c.pchrText;
    EXPECT_EQ(PathOfURL(url, kCFURLPOSIXPathStyle), c.pchrPOSIX);
    CFRelease(url);
  }
  UniChar const uniNul[] = {'/', 'a', 0, 'b'};
  CFStringRef strNul = CFStringCreateWithCharacters(kCFAllocatorDefault, uniNul, 4);
  EXPECT_EQ(CFURLCreateWithFileSystemPath(kCFAllocatorDefault, strNul, kCFURLPOSIXPathStyle, FALSE),
            nullptr);
  CFRelease(strNul);
  EXPECT_EQ(CFURLCopyFileSystemPath(nullptr, kCFURLPOSIXPathStyle), nullptr);
}

TEST_F(CFURLTest, RelativeAndAbsoluteURLs) {
  char chrCwd[PATH_MAX];
  ASSERT_NE(getcwd(chrCwd, sizeof(chrCwd)), nullptr);
  CFStringRef strRel = MakeString("sub/../file.txt");
  CFURLRef url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, strRel, kCFURLPOSIXPathStyle, FALSE);
  CFRelease(strRel);
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(PathOfURL(url, kCFURLPOSIXPathStyle), "sub/../file.txt");
  EXPECT_EQ(PathOfURL(url, kCFURLHFSPathStyle), ":sub::file.txt");
  CFURLRef urlAbs = CFURLCopyAbsoluteURL(url);
  ASSERT_NE(urlAbs, nullptr);
  EXPECT_EQ(PathOfURL(urlAbs, kCFURLPOSIXPathStyle), std::string(chrCwd) + "/file.txt");
  // An absolute URL comes back as itself, retained.
  CFURLRef urlAgain = CFURLCopyAbsoluteURL(urlAbs);
  EXPECT_EQ(urlAgain, urlAbs);
  EXPECT_EQ(CFGetRetainCount(urlAbs), 2);
  CFRelease(urlAgain);
  CFRelease(urlAbs);
  CFRelease(url);
  EXPECT_EQ(CFURLCopyAbsoluteURL(nullptr), nullptr);

  CFStringRef strMissing = MakeString("/Users/bob/missing");
  url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, strMissing, kCFURLPOSIXPathStyle, FALSE);
  CFRelease(strMissing);
  FSRef ref;
  EXPECT_FALSE(CFURLGetFSRef(url, &ref));
  CFRelease(url);
}

// A name that is no valid UTF-8 survives the trip through CFString and back to the file.
TEST_F(CFURLTest, UndecodableNameRoundTrips) {
  FSRef ref, refBack;
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<UInt8 const*>("/Users/bob/\xFF.txt"), &ref, nullptr), noErr);
  CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &ref);
  ASSERT_NE(url, nullptr);
  CFStringRef strPath = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  CFRelease(url);
  ASSERT_NE(strPath, nullptr);
  url = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, strPath, kCFURLPOSIXPathStyle, FALSE);
  CFRelease(strPath);
  ASSERT_TRUE(CFURLGetFSRef(url, &refBack));
  EXPECT_EQ(FSCompareFSRefs(&ref, &refBack), noErr);
  CFRelease(url);
}

void FunctionInThisProgram() {}

TEST(CFBundleTest, BundlesOfTheTestProgram) {
  FSStandInReset();
  char chrExe[PATH_MAX];
  ssize_t intLength = readlink("/proc/self/exe", chrExe, sizeof(chrExe) - 1);
  ASSERT_GT(intLength, 0);
  std::string strExe(chrExe, size_t(intLength));

  CFBundleRef bundleMain = CFBundleGetMainBundle();
  ASSERT_NE(bundleMain, nullptr);
  EXPECT_EQ(CFBundleGetMainBundle(), bundleMain);
  EXPECT_EQ(CFGetTypeID(bundleMain), CFBundleGetTypeID());
  CFURLRef url = CFBundleCopyBundleURL(bundleMain);
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(CFGetRetainCount(url), 1);
  EXPECT_EQ(PathOfURL(url, kCFURLPOSIXPathStyle), strExe.substr(0, strExe.rfind('/')));
  CFRelease(url);

  CFStringRef strID = MakeString("org.example.velmora-test");
  CFStringRef strUnknown = MakeString("org.example.unknown");
  // Registrations live as long as the process: a run of this test before in the same process
  // left one.
  CFBundleSetLocationForTesting(strID, nullptr);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(strID), nullptr);
  ASSERT_TRUE(CFBundleRegisterForAddress(strID, reinterpret_cast<void const*>(&FunctionInThisProgram)));
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(strID);
  ASSERT_NE(bundle, nullptr);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(strID), bundle);
  url = CFBundleCopyBundleURL(bundle);
  ASSERT_NE(url, nullptr);
  // A registered bundle is the folder of the code holding the address.
  char chrResolved[PATH_MAX];
  ASSERT_NE(realpath(strExe.c_str(), chrResolved), nullptr);
  std::string const strResolved = chrResolved;
  EXPECT_EQ(PathOfURL(url, kCFURLPOSIXPathStyle), strResolved.substr(0, strResolved.rfind('/')));
  CFRelease(url);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(strUnknown), nullptr);
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(nullptr), nullptr);
  EXPECT_FALSE(CFBundleRegisterForAddress(strUnknown, nullptr));
  EXPECT_EQ(CFBundleCopyBundleURL(nullptr), nullptr);
  CFRelease(strID);
  CFRelease(strUnknown);
}

// A bundle placed in a folder: its URL, resources found in Resources/ (missing ones and names
// that would leave the folder are refused), PrivateFrameworks/, and removal of the placement.
TEST_F(CFURLTest, BundleLayoutFollowsItsFolder) {
  std::filesystem::create_directories(Real("/Apps/Plug.bundle/Resources/Pictures"));
  Write("/Apps/Plug.bundle/Resources/Logo.png", "png");
  Write("/Apps/Plug.bundle/Resources/Pictures/Small.png", "png");
  Write("/Apps/Plug.bundle/Secret.txt", "x");
  CFStringRef strID = MakeString("org.example.velmora-layout");
  ASSERT_TRUE(CFBundleSetLocationForTesting(strID, (Real("/Apps/Plug.bundle") + "/").c_str()));
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(strID);
  ASSERT_NE(bundle, nullptr);

  auto Path = [](CFURLRef url) {
    if (url == nullptr) return std::string("<null>");
    std::string path = PathOfURL(url, kCFURLPOSIXPathStyle);
    CFRelease(url);
    return path;
  };
  EXPECT_EQ(Path(CFBundleCopyBundleURL(bundle)), "/Apps/Plug.bundle");
  EXPECT_EQ(Path(CFBundleCopyPrivateFrameworksURL(bundle)), "/Apps/Plug.bundle/PrivateFrameworks");
  struct {
    char const* pchrName;
    char const* pchrType;
    char const* pchrSubDir;
    char const* pchrExpected;
  } const cases[] = {
      {"Logo.png", nullptr, nullptr, "/Apps/Plug.bundle/Resources/Logo.png"},
      {"Logo", "png", "", "/Apps/Plug.bundle/Resources/Logo.png"},
      {"Small.png", nullptr, "Pictures", "/Apps/Plug.bundle/Resources/Pictures/Small.png"},
      {"Pictures", nullptr, nullptr, "/Apps/Plug.bundle/Resources/Pictures"},
      {"Missing.png", nullptr, nullptr, "<null>"},
      {"Small.png", nullptr, nullptr, "<null>"},
      {"Secret.txt", nullptr, "..", "<null>"},
      {"../Secret.txt", nullptr, nullptr, "<null>"},
      {"..", nullptr, nullptr, "<null>"},
      {"", nullptr, nullptr, "<null>"},
  };
  for (auto const& c : cases) {
    CFStringRef name = MakeString(c.pchrName);
    CFStringRef type = c.pchrType ? MakeString(c.pchrType) : nullptr;
    CFStringRef subDir = c.pchrSubDir ? MakeString(c.pchrSubDir) : nullptr;
    EXPECT_EQ(Path(CFBundleCopyResourceURL(bundle, name, type, subDir)), c.pchrExpected)
        << c.pchrName << " " << (c.pchrSubDir ? c.pchrSubDir : "");
    for (CFStringRef text : {name, type, subDir})
      if (text != nullptr) CFRelease(text);
  }
  EXPECT_EQ(CFBundleCopyResourceURL(bundle, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(CFBundleCopyResourceURL(nullptr, strID, nullptr, nullptr), nullptr);
  EXPECT_EQ(CFBundleCopyPrivateFrameworksURL(nullptr), nullptr);

  // The build's plug-in bundle carries the resource file.
  ASSERT_TRUE(CFBundleSetLocationForTesting(strID, VELMORA_BUNDLE_DIR));
  CFStringRef strResourceFile = MakeString("Velmora.rsrc");
  CFURLRef urlResourceFile =
      CFBundleCopyResourceURL(CFBundleGetBundleWithIdentifier(strID), strResourceFile, nullptr, nullptr);
  EXPECT_EQ(Path(urlResourceFile), std::string(VELMORA_BUNDLE_DIR) + "/Resources/Velmora.rsrc");
  CFRelease(strResourceFile);

  EXPECT_TRUE(CFBundleSetLocationForTesting(strID, nullptr));
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(strID), nullptr);
  EXPECT_EQ(Path(CFBundleCopyBundleURL(bundle)), "/Apps/Plug.bundle");  // handed out: still valid
  EXPECT_FALSE(CFBundleSetLocationForTesting(strID, ""));
  EXPECT_FALSE(CFBundleSetLocationForTesting(nullptr, "/x"));
  CFRelease(strID);
}

}  // namespace
