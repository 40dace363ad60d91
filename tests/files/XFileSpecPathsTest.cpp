// Tests of XFileSpec rendering and well-known places: the style table with round trips between
// styles, the per-style cache, home-folder expansion, volumes missing from the list, a volume
// list that cannot be read, the text helpers, name operations, FindUniqueFileName, IsValid,
// GetMacError, system folders, GetFSRef and the plug-in, application and front-database
// locations.
// Each test runs on a fresh temporary file-system root (startup volume "Macintosh HD", volume
// Data at /Volumes/Data, home folder /Users/bob) with the clock pinned.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/MacOSGlue.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFDate.h"
#include "plugin/PluginGlobals.h"
#include "support/FmxTestHost.h"
#include "tests/support/XFileSpecTestRoot.h"

namespace {

CFAbsoluteTime const kNow = 300000000.0;

using namespace XFileSpecTesting;

class PathsFixture : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("xfilespec-paths", {"/Users/bob/out", "/Users/alice", "/Volumes/Data/a", "/etc"}));
    MakeFile("/Users/bob/f");
    ASSERT_EQ(noErr, InstallRoot());
    UseHome("/Users/bob");
    CFAbsoluteTimeSetCurrentForTesting(kNow);
  }
  void TearDown() override {
    gFMX_ExternCallPtr = nullptr;
    CleanUpXFileSpec();
    CFAbsoluteTimeClearCurrentForTesting();
    RemoveRoot();
  }
  void MakeDir(std::string const& path) { std::filesystem::create_directories(Real(path)); }
  void MakeFile(std::string const& path) { std::ofstream(Real(path)) << "x"; }
};

TEST_F(PathsFixture, StyleTableAndRoundTrips) {
  struct {
    char const* text;
    char const* style[5];  // 0, 1, 2, (3 unused), 4
    bool hfsRoundTrips;
  } const rows[] = {
      {"/Users/bob/a.txt",
       {"/Volumes/Macintosh HD/Users/bob/a.txt", "/Users/bob/a.txt", "Macintosh HD:Users:bob:a.txt", "",
        "/Macintosh HD/Users/bob/a.txt"},
       true},
      {"/Volumes/Data/x/y.txt",
       {"/Volumes/Data/x/y.txt", "/Volumes/Data/x/y.txt", "Data:x:y.txt", "", "/Volumes/Data/x/y.txt"},
       true},
      {"/", {"/Volumes/Macintosh HD", "/", "Macintosh HD", "", "/Macintosh HD"}, true},
      {"/tmp/a:b",
       {"/Volumes/Macintosh HD/tmp/a%2Fb", "/tmp/a:b", "Macintosh HD:tmp:a%2Fb", "", "/Macintosh HD/tmp/a%2Fb"},
       true},
      {"/tmp/50%.txt",
       {"/Volumes/Macintosh HD/tmp/50%25.txt", "/tmp/50%.txt", "Macintosh HD:tmp:50%25.txt", "",
        "/Macintosh HD/tmp/50%25.txt"},
       true},
      {"~", {"~", "/Users/bob", "", "", "/Macintosh HD/Users/bob"}, false},
      {"~/Documents/../x", {"~/Documents/../x", "/Users/bob/x", "Documents:..:x", "", "/Macintosh HD/Users/bob/x"},
       false},
      {"//srv/share/dir", {"/Network/srv/share/dir", "/srv/share/dir", "srv:share:dir", "", "/srv/share/dir"}, true},
      {"/Volumes", {"/", "/", "", "", "/"}, true},
  };
  for (auto const& row : rows) {
    XFileSpec spec = Spec(row.text);
    std::string const posix = S(spec.GetPath(kPathStylePOSIX, true));
    for (int style : {0, 1, 2, 4}) {
      std::string const text = S(spec.GetPath(enumPathStyle(style), true));
      EXPECT_EQ(row.style[style], text) << row.text << " style " << style;
      // Every rendering names the same file again when parsed back.
      if (text.empty() || (style == 2 && !row.hfsRoundTrips)) continue;
      EXPECT_EQ(posix, S(Spec(text).GetPath(kPathStylePOSIX, true))) << row.text << " style " << style;
    }
  }
  // Parent paths, built fresh and taken from the cache.
  XFileSpec spec = Spec("/Users/bob/a.txt");
  char const* const parents[] = {"/Volumes/Macintosh HD/Users/bob", "/Users/bob", "Macintosh HD:Users:bob", "",
                                 "/Macintosh HD/Users/bob"};
  for (int pass = 0; pass < 2; ++pass) {
    for (int style : {0, 1, 2, 4}) EXPECT_EQ(parents[style], S(spec.GetPath(enumPathStyle(style), false)));
  }
  EXPECT_EQ("/", S(Spec("/Volumes/Macintosh HD/a.txt").GetPath(kPathStylePOSIX, false)));
  XFileSpec x = Spec("/x");
  EXPECT_EQ("/x", S(x.GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ("/", S(x.GetPath(kPathStylePOSIX, false)));
  EXPECT_EQ("/Users/bob", S(Spec("~").GetPath(kPathStylePOSIX, false)));  // the root part alone

  EXPECT_EQ("", S(spec.GetPath(kPathStyleWindows, true)));
  EXPECT_EQ("Cannot return Windows style paths on Mac.", S(spec.ErrorString()));
  EXPECT_EQ("", S(spec.GetPath(enumPathStyle(7), true)));
  EXPECT_EQ("", S(spec.ErrorString()));
  XFileSpec none;
  EXPECT_EQ("", S(none.GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ("A Path has not been defined.", S(none.ErrorString()));
}

TEST_F(PathsFixture, HomeAndVolumeExpansion) {
  EXPECT_EQ("/Users/alice", S(Spec("~/../alice").GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ("~/../alice", S(Spec("~/../alice").GetPath(kPathStyleInternal, true)));
  // ".." stops at the volume's root, as in the file system.
  EXPECT_EQ("/etc", S(Spec("~/../../../../etc").GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ("/Users/bob", S(Spec("~/x/..").GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ("/Users", S(Spec("~/..").GetPath(kPathStylePOSIX, true)));
  // A folder named "~" inside the home folder is kept.
  EXPECT_EQ("/Users/bob/~/x", S(Spec("~/~/x").GetPath(kPathStylePOSIX, true)));

  // When the volume list cannot be read (the walk over the volumes fails at its first step), the
  // items are joined as they stand, also for the startup volume; a parse then fails.
  struct {
    char const* text;
    enumPathStyle style;
    char const* expected;
  } const unreadable[] = {
      {"/Users/bob/a.txt", kPathStylePOSIX, "/Volumes/Macintosh HD/Users/bob/a.txt"},
      {"/Users/bob/a.txt", kPathStyleHost, "/Volumes/Macintosh HD/Users/bob/a.txt"},
      {"/Users/bob/a.txt", kPathStyleInternal, "/Volumes/Macintosh HD/Users/bob/a.txt"},
      {"/Volumes/Data/a", kPathStylePOSIX, "/Volumes/Data/a"},
      {"/tmp/50%.txt", kPathStylePOSIX, "/Volumes/Macintosh HD/tmp/50%.txt"},
  };
  for (auto const& row : unreadable) {
    XFileSpec spec = Spec(row.text);
    CleanUpXFileSpec();
    FSStandInTestFailNext("FSGetVolumeInfo", "", nsvErr);
    EXPECT_EQ(row.expected, S(spec.GetPath(row.style, true))) << row.text << " style " << row.style;
    FSStandInTestClearFaults();
  }
  CleanUpXFileSpec();
  FSStandInTestFailNext("FSGetVolumeInfo", "", nsvErr);
  XFileSpec refused;
  EXPECT_FALSE(refused.ParsePath(U("/Users/bob")));
  EXPECT_EQ("Could not get Volume Names.", Err(refused));
  FSStandInTestClearFaults();
  CleanUpXFileSpec();

  // A volume that has gone since the file spec was set renders under the mount folder.
  XFileSpec data = Spec("/Volumes/Data/a");
  std::filesystem::remove_all(m_strRoot + "/Volumes/Data");
  CFAbsoluteTimeSetCurrentForTesting(kNow + 15);
  EXPECT_EQ("/Volumes/Data/a", S(data.GetPath(kPathStylePOSIX, true)));
  data.ClearPathStrings();
  EXPECT_EQ("/Data/a", S(data.GetPath(kPathStyleHost, true)));

  // Without a home folder a home path has no POSIX form: an empty text and the error.
  XFileSpec home = Spec("~/x");
  FSStandInSetFolder(kUserDomain, kCurrentUserFolderType, "/Users/nobody");
  EXPECT_EQ("", S(home.GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ("Could not get User Folder.", S(home.ErrorString()));
  EXPECT_EQ("", S(home.GetPath(kPathStyleHost, false)));
  EXPECT_FALSE(home.IsValid(nullptr, nullptr, false, false));
  EXPECT_EQ("~/x", S(home.GetPath(kPathStyleInternal, true)));
}

TEST_F(PathsFixture, TextHelpers) {
  UniString const escaped = U("a%5Cb%2Fc%25d%252F");
  char const* const decoded[] = {"a%5Cb%2Fc%25d%252F", "a\\b:c%d%2F", "a\\b/c%d%2F", "a-b-c%d%2F",
                                 "a\\b%2Fc%25d%252F"};
  for (int style = 0; style <= 4; ++style)
    EXPECT_EQ(decoded[style], S(XFileSpec::DecodeSlashes(escaped, enumPathStyle(style))));
  EXPECT_EQ(S(escaped), S(XFileSpec::DecodeSlashes(escaped, enumPathStyle(7))));

  struct {
    char const* text;
    int style;
    char const* out;
  } const delims[] = {{"", 2, ":"}, {"/x/", 1, "/x/"}, {"/x", 0, "/x/"}, {"/x", 4, "/x/"},
                      {"a", 3, "a\\"}, {"a", 7, "a"}, {"", 1, "/"}};
  for (auto const& d : delims)
    EXPECT_EQ(d.out, S(XFileSpec::AddEndingPathDelim(U(d.text), enumPathStyle(d.style)))) << d.text;

  struct {
    char const* in;
    char const* out;
  } const names[] = {{"/x/50%.txt", "50%25.txt"}, {"50%.txt", "50%.txt"}, {"Vol:dir:file", "file"},
                     {"C:\\dir\\file.txt", "file.txt"}, {"", ""}};
  for (auto const& n : names) EXPECT_EQ(n.out, S(XFileSpec::GetFileName(U(n.in)))) << n.in;

  EXPECT_EQ(".gz", S(XFileSpec::GetFileExt(U("archive.tar.gz"))));
  EXPECT_EQ(".profile", S(XFileSpec::GetFileExt(U(".profile"))));
  EXPECT_EQ("", S(XFileSpec::GetFileExt(U("README"))));

  struct {
    int32_t code;
    char const* text;
  } const errors[] = {{-43, "-43 (File Not Found)"}, {0, "0 (No Error)"}, {-36, "-36"}, {5, "5"},
                      {-47, "-47 (File/Folder is in use)"}, {-124, "-124 (Volume was Disconnected)"},
                      {-61, "-61 (Write Permission Error)"}, {-120, "-120 (Folder Not Found)"}};
  for (auto const& e : errors) EXPECT_EQ(e.text, S(XFileSpec::GetMacError(e.code)));
}

TEST_F(PathsFixture, NameOperations) {
  for (char const* root : {"/", "~", "//srv"}) {
    XFileSpec spec = Spec(root);
    EXPECT_EQ("", S(spec.GetFileOrDirName(kPathStylePOSIX))) << root;
    std::string const before = S(spec.GetPath(kPathStyleInternal, true));
    spec.RemoveFileOrDirName();
    EXPECT_EQ(before, S(spec.GetPath(kPathStyleInternal, true))) << root;
  }
  XFileSpec home = Spec("~/x");
  home.RemoveFileOrDirName();
  EXPECT_EQ("~", S(home.GetPath(kPathStyleInternal, true)));

  XFileSpec spec = Spec("/tmp");
  EXPECT_EQ("/tmp", S(spec.GetPath(kPathStylePOSIX, true)));
  spec.AddFileOrDirName(U("a/b"));
  EXPECT_EQ("/tmp/a:b", S(spec.GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ("a%2Fb", S(spec.GetFileName(0)));
  EXPECT_EQ("a/b", S(spec.GetFileOrDirName(kPathStyleHFS)));
  spec.AddFileOrDirName(UniString());
  EXPECT_EQ("/tmp/a:b/", S(spec.GetPath(kPathStylePOSIX, true)));
  XFileSpec none;
  none.AddFileOrDirName(U("x"));
  EXPECT_EQ("", S(none.GetPath(kPathStyleInternal, true)));
}

TEST_F(PathsFixture, FindUniqueFileName) {
  XFileSpec out = Spec("~/out");
  EXPECT_EQ("new.pdf", S(out.FindUniqueFileName(U("new.pdf"), 0)));
  EXPECT_EQ("a%2Fb", S(out.FindUniqueFileName(U("a/b"), 0)));
  EXPECT_EQ("report.pdf", S(Spec("~/missing").FindUniqueFileName(U("report.pdf"), 0)));
  MakeFile("/Users/bob/out/report.pdf");
  EXPECT_EQ("report1.pdf", S(out.FindUniqueFileName(U("report.pdf"), 0)));
  EXPECT_EQ("report001.pdf", S(out.FindUniqueFileName(U("report.pdf"), 3)));
  EXPECT_EQ("report1.pdf", S(out.FindUniqueFileName(U("report.pdf"), 1)));  // fills the width exactly
  MakeDir("/Users/bob/out/report1.pdf");  // a folder takes the name as well
  EXPECT_EQ("report2.pdf", S(out.FindUniqueFileName(U("report.pdf"), 0)));
  for (int n = 2; n <= 9; ++n) MakeFile("/Users/bob/out/report" + std::to_string(n) + ".pdf");
  EXPECT_EQ("", S(out.FindUniqueFileName(U("report.pdf"), 1)));   // the counter outgrows 1 digit
  EXPECT_EQ("report10.pdf", S(out.FindUniqueFileName(U("report.pdf"), 0)));
}

TEST_F(PathsFixture, IsValid) {
  MakeDir("/Volumes/Data/a");
  struct {
    char const* path;
    bool fullOnly;
    bool valid, isDir, isFile;
    char const* error;
  } const cases[] = {
      {"/Users/bob/f", true, true, false, true, ""},
      {"~", true, true, true, false, ""},
      {"/Volumes/Data/a/b", false, true, false, false, ""},
      {"/Volumes/Data/a/b", true, false, false, false, "Unknown Error"},
      {"/new", false, true, false, false, ""},
      {"/Users/bob/f/x", false, false, false, false, "Parent Folder is not a Folder (it's a File): f"},
      {"/Users/bob/f/x/y", false, false, false, false, "One of the Parent Folders is not a Folder (it's a File): f"},
      {"/Users/bob/a/b/c", false, false, false, false, "One of the Parent Folders does not exist: a"},
      {"/x/y/z", false, false, false, false, "Unknown Error"},
  };
  for (auto const& c : cases) {
    XFileSpec spec = Spec(c.path);
    bool isDir = true, isFile = true;
    EXPECT_EQ(c.valid, spec.IsValid(&isDir, &isFile, c.fullOnly, false)) << c.path;
    EXPECT_EQ(c.isDir, isDir) << c.path;
    EXPECT_EQ(c.isFile, isFile) << c.path;
    EXPECT_EQ(c.error, S(spec.ErrorString())) << c.path;
  }
  XFileSpec none;
  EXPECT_FALSE(none.IsValid(nullptr, nullptr, false, false));
  EXPECT_EQ("A Path has not been defined.", S(none.ErrorString()));

  FSRef ref;
  EXPECT_TRUE(Spec("/Users/bob/f").GetFSRef(&ref, true));
  EXPECT_TRUE(Spec("/Users/bob/f").GetFSRef(&ref, false));
  // Only for an item that exists, also when its folder is wanted.
  EXPECT_FALSE(Spec("/Users/bob/new").GetFSRef(&ref, false));
  EXPECT_FALSE(Spec("/Users/bob/new").GetFSRef(&ref, true));
}

TEST_F(PathsFixture, SystemFolders) {
  // Each kind asks for its own folder type in its own domain; the folder is created.
  struct {
    enumSysFolder kind;
    SInt16 domain;
    OSType type;
  } const table[] = {
      {kSysFolderSystem, -32767, MakeFourCharCode("macs")},
      {kSysFolderDesktop, -32763, MakeFourCharCode("desk")},
      {kSysFolderStartupDisk, -32767, MakeFourCharCode("sdsk")},
      {kSysFolderTrash, -32767, MakeFourCharCode("trsh")},
      {kSysFolderStartupItems, -32766, MakeFourCharCode("strt")},
      {kSysFolderPreferences, -32763, MakeFourCharCode("pref")},
      {kSysFolderTemporaryItems, -32763, MakeFourCharCode("temp")},
      {kSysFolderApplications, -32767, MakeFourCharCode("apps")},
      {kSysFolderDocuments, -32763, MakeFourCharCode("docs")},
      {kSysFolderChewableItems, -32767, MakeFourCharCode("flnt")}};
  // A decoy in the neighbouring local domain must not be taken for startup items.
  ASSERT_EQ(noErr, FSStandInSetFolder(-32765, MakeFourCharCode("strt"), "/decoy"));
  XFileSpec spec;
  for (auto const& row : table) {
    std::string const path = "/sys/kind" + std::to_string(int(row.kind));
    ASSERT_EQ(noErr, FSStandInSetFolder(row.domain, row.type, path.c_str()));
    EXPECT_TRUE(spec.FindSysFolder(row.kind)) << row.kind;
    EXPECT_EQ(path, S(spec.GetPath(kPathStylePOSIX, true))) << row.kind;
    EXPECT_TRUE(std::filesystem::is_directory(m_strRoot + path)) << row.kind;
  }
  EXPECT_FALSE(spec.FindSysFolder(enumSysFolder(10)));
  EXPECT_EQ("Unknown System Folder Type.", S(spec.ErrorString()));
  ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kDesktopFolderType, "/Users/bob/f/Desktop"));
  EXPECT_FALSE(spec.FindSysFolder(kSysFolderDesktop));
  EXPECT_EQ(0u, S(spec.ErrorString()).rfind("Error getting System Folder: -", 0)) << S(spec.ErrorString());
}

TEST_F(PathsFixture, FrontDatabaseLocation) {
  MakeFile("/Volumes/Data/a/Orders");
  EXPECT_EQ("", S(GetFrontDatabaseLocation().GetPath(kPathStylePOSIX, true)));  // no host
  FmxTestHost host;
  gFMX_ExternCallPtr = &host.CallBlock();
  host.SetEvaluateResult("Get(FilePath)", "file:/Data/a/Orders");
  EXPECT_EQ("/Volumes/Data/a/Orders", S(GetFrontDatabaseLocation().GetPath(kPathStylePOSIX, true)));
  EXPECT_EQ("/Volumes/Data/a/x.txt", S(Spec("movie:x.txt").GetPath(kPathStylePOSIX, true)));
  host.SetEvaluateResult("Get(FilePath)", "");  // no database open
  XFileSpec empty = GetFrontDatabaseLocation();
  EXPECT_EQ("", S(empty.GetPath(kPathStyleInternal, true)));
  EXPECT_EQ("A Path has not been defined.", S(empty.ErrorString()));
  host.SetEvaluateError(100);
  EXPECT_EQ("", S(GetFrontDatabaseLocation().GetPath(kPathStylePOSIX, true)));
}

void MarkerInThisBinary() {}

TEST_F(PathsFixture, PluginAndApplicationLocations) {
  // The bundles are real files: look at them through the real file system.
  FSStandInReset();
  std::string const exe = std::filesystem::canonical("/proc/self/exe").string();
  XFileSpec spec;
  ASSERT_TRUE(My_GetAppLocationX(&spec));
  EXPECT_EQ(std::filesystem::path(exe).parent_path().string(), S(spec.GetPath(kPathStylePOSIX, true)));
  EXPECT_FALSE(My_GetPluginLocationX(nullptr));
  CFStringRef id = UniStringToCFString(U(g_strPluginBundleIdentifier));
  ASSERT_TRUE(CFBundleRegisterForAddress(id, reinterpret_cast<void const*>(&MarkerInThisBinary)));
  CFRelease(id);
  ASSERT_TRUE(My_GetPluginLocationX(&spec));
  // The bundle is the folder holding the code that registered it.
  EXPECT_EQ(std::filesystem::path(exe).parent_path().string(), S(spec.GetPath(kPathStylePOSIX, true)));
}

}  // namespace
