// Tests of XFileSpec parsing: path texts of every style into items, host prefixes, UNC and ".."
// handling, volume matching, the 15-second volume cache, the escape rules and File Manager
// references. Each test runs on a fresh temporary file-system root holding the startup volume
// "Macintosh HD", a volume Data at /Volumes/Data and the home folder /Users/bob; the clock is
// pinned through the CoreFoundation stand-in, so nothing waits.
// Items are compared through their internal-style rendering, which joins them with '/'.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/MacOSGlue.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFDate.h"
#include "plugin/PluginGlobals.h"
#include "support/FmxTestHost.h"
#include "tests/support/XFileSpecTestRoot.h"

namespace {

CFAbsoluteTime const kNow = 300000000.0;

using namespace XFileSpecTesting;

class ParseFixture : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("xfilespec-parse", {"/Users/bob", "/Volumes/Data/db", "/etc"}));
    MakeFile("/Volumes/Data/db/Orders");
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
  // The items of a parse, or "ERR:" and the error text.
  static std::string Parse(std::string const& text, std::string* protocol = nullptr) {
    XFileSpec spec;
    bool const ok = spec.ParsePath(U(text));
    if (protocol) *protocol = S(spec.GetProtocol());
    return ok ? S(spec.GetPath(kPathStyleInternal, true)) : "ERR:" + S(spec.ErrorString());
  }
};

TEST_F(ParseFixture, WorkedExamplesAndInternalRoundTrip) {
  FmxTestHost host;
  host.SetEvaluateResult("Get(FilePath)", "file:/Data/db/Orders");
  gFMX_ExternCallPtr = &host.CallBlock();
  struct {
    char const* text;
    char const* protocol;
    char const* items;
  } const cases[] = {
      {"/Users/bob/a.txt", "", "/Volumes/Macintosh HD/Users/bob/a.txt"},
      {"/Volumes/Data/x/y.txt", "", "/Volumes/Data/x/y.txt"},
      {"/data/x", "", "/Volumes/data/x"},
      {"/Volumes/Gone/x", "", "/Volumes/Macintosh HD/Gone/x"},
      {"Macintosh HD:Users:bob:a.txt", "", "/Volumes/Macintosh HD/Users/bob/a.txt"},
      {"filemac:/Data/x/y.txt", "filemac", "/Volumes/Data/x/y.txt"},
      {"file:y.txt", "file", "/Volumes/Data/db/y.txt"},
      {"y.txt", "", "/Volumes/Macintosh HD/y.txt"},
      {"D:\\dir\\file.txt", "", "/Volumes/Macintosh HD/D/dir/file.txt"},
      {"/a/./b/../c", "", "/Volumes/Macintosh HD/a/c"},
      {"/tmp/50%.txt", "", "/Volumes/Macintosh HD/tmp/50%25.txt"},
      {"/tmp/a:b", "", "/Volumes/Macintosh HD/tmp/a%2Fb"},
      {"~", "", "~"},
      {"~/", "", "~"},
      {"~/Documents/../x", "", "~/Documents/../x"},
      {"~/../x", "", "~/../x"},
      {"~bob/x", "", "/Volumes/Macintosh HD/~bob/x"},
      {"//srv/share/dir/", "", "/Network/srv/share/dir"},
      {"//srv", "", "/Network/srv"},
      {"/Network/srv/share", "", "/Network/srv/share"},
      {"/Network", "", "/Volumes/Macintosh HD/Network"},
      {"/", "", "/Volumes/Macintosh HD"},
      {"/../x", "", "/Volumes/Macintosh HD/x"},
      {"/Volumes", "", "/"},
      {"/Volumes/", "", "/"},
      {"//", "", "ERR:UNC Path does not appear to be complete (missing server name and share name)."},
      {"///", "", "ERR:UNC Path does not appear to be complete (missing server name and share name)."},
      // No server left after "." and "..": an incomplete UNC path, not the root folder.
      {"//./", "", "ERR:UNC Path does not appear to be complete (missing server name and share name)."},
      {"//srv/..", "", "ERR:UNC Path does not appear to be complete (missing server name and share name)."},
      // Windows UNC paths.
      {"\\\\srv\\share\\a/b", "", "/Network/srv/share/a%2Fb"},
      {"\\\\", "", "ERR:UNC Path does not appear to be complete (missing server name and share name)."},
      {"\\\\\\", "", "ERR:UNC Path does not appear to be complete (missing server name and share name)."},
  };
  for (auto const& c : cases) {
    std::string protocol;
    EXPECT_EQ(c.items, Parse(c.text, &protocol)) << c.text;
    EXPECT_EQ(c.protocol, protocol) << c.text;
    // The internal rendering reads back to the same items (the empty list aside).
    std::string const items = c.items;
    if (items.rfind("ERR:", 0) != 0 && items != "/") {
      EXPECT_EQ(items, Parse(items)) << c.text;
    }
  }
  XFileSpec empty;
  EXPECT_FALSE(empty.ParsePath(UniString()));
  EXPECT_EQ("No path or file name was specified.", S(empty.ErrorString()));
}

TEST_F(ParseFixture, HostPrefixes) {
  for (char const* prefix : {"FILE", "IMAGE", "MOVIE", "FILEMAC", "IMAGEMAC", "MOVIEMAC", "FILEWIN",
                             "IMAGEWIN", "MOVIEWIN"}) {
    std::string protocol;
    EXPECT_EQ("/Volumes/Data/x", Parse(std::string(prefix) + ":/Data/x", &protocol)) << prefix;
    EXPECT_EQ(prefix, protocol);
  }
  std::string protocol;
  EXPECT_EQ("/Volumes/Data/x", Parse("FileMac:/Data/x", &protocol));
  EXPECT_EQ("FileMac", protocol);
  // Every ":/" after the prefix becomes "/".
  EXPECT_EQ("/Volumes/Data/a/b", Parse("filemac:/Data:/a:/b", &protocol));
  // Only at the very start: with a leading blank the text is a plain relative path.
  EXPECT_EQ("/Volumes/Macintosh HD/ filemac/Data/x", Parse(" filemac:/Data/x", &protocol));
  EXPECT_EQ("", protocol);
  // A prefix alone fails and keeps the protocol.
  XFileSpec spec;
  EXPECT_FALSE(spec.ParsePath(U("file:")));
  EXPECT_EQ("No path or file name was specified.", S(spec.ErrorString()));
  EXPECT_EQ("file", S(spec.GetProtocol()));
}

TEST_F(ParseFixture, RelativeHostPathsWithoutAUsableHost) {
  // No host: the front database is unknown, and so is the application below this root.
  EXPECT_EQ("/Volumes/Macintosh HD/y.txt", Parse("file:y.txt"));
  FmxTestHost host;
  gFMX_ExternCallPtr = &host.CallBlock();
  host.SetCurrentEnvError(1);
  EXPECT_EQ("/Volumes/Macintosh HD/y.txt", Parse("file:y.txt"));
  EXPECT_TRUE(GetFrontDatabaseLocation().GetPath(kPathStyleInternal, true).IsEmpty());
  // A host that answers with a relative host path again does not send the parse in circles.
  host.SetCurrentEnvError(0);
  host.SetEvaluateResult("Get(FilePath)", "file:Orders");
  EXPECT_EQ("/Volumes/Macintosh HD/y.txt", Parse("file:y.txt"));
  // A database that does not exist on disk is not used.
  host.SetEvaluateResult("Get(FilePath)", "file:/Data/db/Missing");
  EXPECT_EQ("/Volumes/Macintosh HD/y.txt", Parse("image:y.txt"));
}

TEST_F(ParseFixture, VolumeNameMatchedBeforeMountPoint) {
  // A volume list of our own, valid for the next 15 seconds.
  XFileSpec::GetVolumeNames(nullptr);
  XFileSpec::m_ulstVolNames->Clear();
  for (char const* row : {"Macintosh HD=", "Macintosh HD=", "Data=/Volumes/Data 1", "Backup=/Volumes/Data"})
    XFileSpec::m_ulstVolNames->Add(U(row));
  EXPECT_EQ("/Volumes/Data/x", Parse("/Data/x"));             // Data's own name, before Backup's mount
  EXPECT_EQ("/Volumes/Data/x", Parse("/Volumes/data 1/x"));   // Data's mount folder
  EXPECT_EQ("/Volumes/backup/x", Parse("/backup/x"));         // a name keeps the case as typed
}

// Volumes whose names hold an escaped character are found by their name and their mount
// folder, render as their mount points, and every rendering reads back to the same items, as
// does the XFileSpec made from a reference to the same file.
TEST_F(ParseFixture, VolumesWithEscapedNamesRoundTripInEveryStyle) {
  for (char const* volume : {"/Volumes/50%", "/Volumes/a:b"}) {  // a:b shows as a/b in the Finder
    MakeDir(volume);
    MakeFile(std::string(volume) + "/x");
  }
  ResetXFileSpecCaches();
  struct {
    char const* texts[3];
    char const* style[5];  // 0, 1, 2, (3 unused), 4
  } const rows[] = {
      {{"/Volumes/50%/x", "/50%/x", "50%:x"},
       {"/Volumes/50%25/x", "/Volumes/50%/x", "50%25:x", "", "/Volumes/50%/x"}},
      {{"/Volumes/a:b/x", "/Volumes/a%2Fb/x", "/a%2fb/x"},
       {"/Volumes/a%2Fb/x", "/Volumes/a:b/x", "a%2Fb:x", "", "/Volumes/a:b/x"}},
  };
  for (auto const& row : rows) {
    for (char const* text : row.texts) {
      XFileSpec spec = Spec(text);
      for (int style : {0, 1, 2, 4}) {
        std::string const rendered = S(spec.GetPath(enumPathStyle(style), true));
        EXPECT_EQ(row.style[style], rendered) << text << " style " << style;
        EXPECT_EQ(row.style[0], Parse(rendered)) << text << " style " << style;
      }
    }
    FSRef ref = Ref(row.style[1]);
    XFileSpec fromRef;
    ASSERT_TRUE(fromRef.Set(&ref));
    EXPECT_EQ(row.style[0], S(fromRef.GetPath(kPathStyleInternal, true)));
    EXPECT_EQ(row.style[4], S(fromRef.GetPath(kPathStyleHost, true)));
  }
}

TEST_F(ParseFixture, VolumeListIsReusedForFifteenSeconds) {
  EXPECT_EQ("/Volumes/Macintosh HD/New/x", Parse("/New/x"));
  MakeDir("/Volumes/New");
  ASSERT_EQ(noErr, FSStandInSetStartupVolumeName("Other HD"));
  CFAbsoluteTimeSetCurrentForTesting(kNow + 14);
  EXPECT_EQ("/Volumes/Macintosh HD/New/x", Parse("/New/x"));
  EXPECT_EQ("Macintosh HD", S(XFileSpec::GetRootVolumeName()));
  CFAbsoluteTimeSetCurrentForTesting(kNow + 15);
  EXPECT_EQ("/Volumes/New/x", Parse("/New/x"));
  EXPECT_EQ("/Volumes/Other HD", Parse("/"));
  UniStringList rows;
  EXPECT_GE(XFileSpec::GetVolumeNames(&rows), 1u);
  ASSERT_GE(rows.Count(), 4u);
  EXPECT_EQ("Other HD=", S(rows.At(0)));
  EXPECT_EQ("Other HD=", S(rows.At(1)));
  EXPECT_NE(-1, rows.IndexOf(U("New=/Volumes/New"), true));
}

TEST_F(ParseFixture, EscapeRules) {
  struct {
    char const* in;
    char const* out;
  } const normalize[] = {
      {"Vol:a/b:c", "Vol/a%2Fb/c"},        // HFS: a '/' of a name
      {"/x/a:b", "/x/a%2Fb"},              // POSIX: a ':' of a name
      {"C:\\a/b\\c", "C/a%2Fb/c"},         // Windows: a '/' of a name, drive colon dropped
      {"/D:/dir", "/D/dir"},               // drive letter after a slash
      {"/x/a\\b", "/x/a%5Cb"},
      {"50%", "50%25"},                    // no delimiter
      {"/a%2fb/%5c/%25/%zz", "/a%2Fb/%5C/%25/%25zz"},
      {"/a**PERCENT**b", "/a**PERCENT**b"},  // a name is never taken for a marker
  };
  for (auto const& c : normalize) EXPECT_EQ(c.out, S(XFileSpec::NormalizePathDelimiters(U(c.in)))) << c.in;

  struct {
    char const* in;
    char const* out;
  } const encode[] = {{"a/b%c", "a%2Fb%25c"}, {"a%2fb", "a%2Fb"}, {"a\\b:c", "a%5Cb:c"}, {"", ""}};
  for (auto const& c : encode) {
    UniString const once = XFileSpec::EncodeSlashes(U(c.in));
    EXPECT_EQ(c.out, S(once)) << c.in;
    EXPECT_EQ(S(once), S(XFileSpec::EncodeSlashes(once))) << c.in;
  }
}

TEST_F(ParseFixture, ReferencesAndCopies) {
  FSRef ref;
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>("/"), &ref, nullptr));
  XFileSpec spec;
  EXPECT_TRUE(spec.Set(&ref));
  EXPECT_EQ("/Volumes/Macintosh HD", S(spec.GetPath(kPathStyleInternal, true)));
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>("/Volumes/Data/db"), &ref, nullptr));
  EXPECT_TRUE(spec.Set(&ref));
  EXPECT_EQ("/Volumes/Data/db", S(spec.GetPath(kPathStyleInternal, true)));
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>("/Users/bob"), &ref, nullptr));
  EXPECT_TRUE(spec.Set(&ref));
  EXPECT_EQ("/Volumes/Macintosh HD/Users/bob", S(spec.GetPath(kPathStyleInternal, true)));

  // A copy owns its items.
  XFileSpec copy(spec);
  copy.AddFileOrDirName(U("x"));
  XFileSpec assigned;
  assigned = copy;
  assigned.RemoveFileOrDirName();
  EXPECT_EQ("/Volumes/Macintosh HD/Users/bob", S(spec.GetPath(kPathStyleInternal, true)));
  EXPECT_EQ("/Volumes/Macintosh HD/Users/bob/x", S(copy.GetPath(kPathStyleInternal, true)));
  EXPECT_EQ("/Volumes/Macintosh HD/Users/bob", S(assigned.GetPath(kPathStyleInternal, true)));

  // An unreadable reference is a failure, not the root folder.
  FSRef bad = {};
  EXPECT_FALSE(spec.Set(&bad));
  EXPECT_EQ("Could not create URL from FSRef.", S(spec.ErrorString()));
  FSSpec missing = {};
  EXPECT_FALSE(spec.Set(&missing));
  EXPECT_EQ("Could not make an FSRef out of the FSSpec.", S(spec.ErrorString()));
}

}  // namespace
