// Tests of XFileSpec moving and copying: the naming cases, refusals that leave both sides alone,
// moves and copies across volumes (a failed delete, a fork that cannot be created), the
// move-rename rolled back, a resource fork over 64 KiB kept byte for byte, lock and mode kept,
// the toolkit's unique name refused when it would pass 255 units, and "." and ".." as names
// reaching neither the folder nor its parent.
// Each test runs on a fresh temporary root: /Users/bob/A/a (data "alpha", resource "rsrc"), an
// empty /Users/bob/B, and a second volume Data with an empty folder C.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/FSCopyObject.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/support/XFileSpecTestRoot.h"

namespace {

using namespace XFileSpecTesting;

class MoveFixture : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("xfilespec-move", {"/Users/bob/A", "/Users/bob/B", "/Volumes/Data/C", "/etc"}));
    ASSERT_EQ(noErr, InstallRoot());
    UseHome("/Users/bob");
    MakeA("alpha", "rsrc");
  }
  void TearDown() override {
    CleanUpXFileSpec();
    RemoveRoot();
  }
  static HFSUniStr255 ForkName(bool resource) {
    HFSUniStr255 name;
    resource ? FSGetResourceForkName(&name) : FSGetDataForkName(&name);
    return name;
  }
  void MakeA(std::string const& data, std::string const& rsrc) {
    Write("/Users/bob/A/a", data);
    FSRef ref = Ref("/Users/bob/A/a");
    HFSUniStr255 const fork = ForkName(true);
    FSIORefNum refNum = 0;
    ASSERT_EQ(noErr, FSOpenFork(&ref, fork.length, fork.unicode, fsWrPerm, &refNum));
    EXPECT_EQ(noErr, FSSetForkSize(refNum, fsFromStart, 0));
    EXPECT_EQ(noErr, FSWriteFork(refNum, fsFromStart, 0, rsrc.size(), rsrc.data(), nullptr));
    FSCloseFork(refNum);
  }
  // Both forks of a file as "data|resource"; "missing" when it is not there.
  static std::string Forks(std::string const& path) {
    FSRef ref;
    if (FSPathMakeRef(reinterpret_cast<UInt8 const*>(path.c_str()), &ref, nullptr) != noErr)
      return "missing";
    std::string out;
    for (bool resource : {false, true}) {
      HFSUniStr255 const fork = ForkName(resource);
      FSIORefNum refNum = 0;
      if (FSOpenFork(&ref, fork.length, fork.unicode, fsRdPerm, &refNum) != noErr) return "?";
      char buffer[8192];
      ByteCount got = 0;
      out += resource ? "|" : "";
      while (FSReadFork(refNum, fsAtMark, 0, sizeof buffer, buffer, &got) == noErr || got > 0) {
        out.append(buffer, got);
        got = 0;
      }
      FSCloseFork(refNum);
    }
    return out;
  }
  // Sets the locked flag; answers whether it was set before.
  static bool SwapLock(std::string const& path, bool lock) {
    FSRef ref = Ref(path);
    FSCatalogInfo info = {};
    EXPECT_EQ(noErr, FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr));
    bool const locked = info.nodeFlags & kFSNodeLockedMask;
    info.nodeFlags = lock ? kFSNodeLockedMask : 0;
    EXPECT_EQ(noErr, FSSetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info));
    return locked;
  }
};

TEST_F(MoveFixture, NamingCasesForMoveAndCopy) {
  struct {
    bool move;
    char const *source, *name, *dest, *newName, *arrives;
  } const rows[] = {
      {true, "~/A", "a", "~/B", "", "/Users/bob/B/a"},
      {true, "~/A/a", "", "~/B", "N", "/Users/bob/B/N"},
      {true, "~/A", "a", "~/B/D", "", "/Users/bob/B/D"},
      {true, "~/A", "a", "~/B", "sub", "/Users/bob/B/sub/a"},
      {true, "~/A/a", "", "~/B", "sub", "/Users/bob/B/sub/a"},
      {false, "~/A", "a", "~/B", "", "/Users/bob/B/a"},
      {false, "~/A/a", "", "~/B/D", "", "/Users/bob/B/D"},
      {false, "~/A", "a", "~/B", "N", "/Users/bob/B/N"},
      {false, "~/A/a", "", "~/B", "sub", "/Users/bob/B/sub/a"},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(std::string(row.move ? "move " : "copy ") + row.source + " " + row.name + " -> " +
                 row.dest + " " + row.newName);
    std::filesystem::remove_all(Real("/Users/bob/B"));
    std::filesystem::create_directories(Real("/Users/bob/B/sub"));
    MakeA("alpha", "rsrc");
    XFileSpec source = Spec(row.source);
    XFileSpec dest = Spec(row.dest);
    bool const ok = row.move ? source.XMoveFile(dest, U(row.name), U(row.newName))
                             : source.XCopyFile(dest, U(row.name), U(row.newName));
    EXPECT_TRUE(ok) << Err(source);
    EXPECT_EQ("", Err(source));
    EXPECT_EQ("alpha|rsrc", Forks(row.arrives));
    EXPECT_EQ(row.move ? "missing" : "alpha|rsrc", Forks("/Users/bob/A/a"));
    EXPECT_EQ(row.dest, S(dest.GetPath(kPathStyleInternal, true)));  // neither spec changes
    EXPECT_EQ(row.source, S(source.GetPath(kPathStyleInternal, true)));
  }
}

TEST_F(MoveFixture, RefusalsLeaveBothSidesAlone) {
  std::filesystem::create_directories(Real("/Users/bob/B/D/a"));
  std::filesystem::create_directories(Real("/Users/bob/B/E"));
  for (char const* path : {"/Users/bob/B/E/a", "/Users/bob/B/a", "/Users/bob/B/file"})
    Write(path, "old");
  struct {
    char const *source, *name, *dest, *newName, *error;
  } const rows[] = {
      {"~/A", "a", "~/B", "", "Destination File already exists: a"},
      {"~/A", "a", "~/B", "file", "Destination File already exists: file"},
      {"~/A", "a", "~/B", "D", "Destination File Name conflicts with an existing Folder Name: a"},
      {"~/A", "a", "~/B", "E", "Destination File already exists: a"},
      {"~/A/a", "", "~/B/a", "", "Destination File already exists: a"},
      {"~/A", "a", "~/A", "", "Destination File already exists: a"},
      {"~/A", "a", "~/B/file", "x",
       "Destination Parent Folder is not a Folder (it's a File): file"},
      {"~/A", "a", "~/B/none", "x", "Destination Parent Folder does not exist: none"},
      {"~/A", "a", "~/nope/x", "",
       "File Destination is invalid: One of the Parent Folders does not exist: nope"},
      {"~/A", "", "~/B", "", "Source File is not a File (it's a Folder): A"},
      {"~/A", "zz", "~/B", "", "Source File does not exist: zz"},
      {"~/A/a", "x", "~/B", "", "Source Parent Folder is not a Folder (it's a File): a"},
      {"~/Q", "x", "~/B", "", "Source Parent Folder does not exist: Q"},
      {"~/Q", "", "~/B", "", "Source File does not exist: Q"},
  };
  for (bool move : {true, false}) {
    for (auto const& row : rows) {
      SCOPED_TRACE(std::string(move ? "move " : "copy ") + row.source + " " + row.name + " -> " +
                   row.dest + " " + row.newName);
      XFileSpec source = Spec(row.source);
      XFileSpec dest = Spec(row.dest);
      EXPECT_FALSE(move ? source.XMoveFile(dest, U(row.name), U(row.newName))
                        : source.XCopyFile(dest, U(row.name), U(row.newName)));
      EXPECT_EQ(row.error, Err(source));
      EXPECT_EQ("alpha|rsrc", Forks("/Users/bob/A/a"));
      for (char const* path : {"/Users/bob/B/E/a", "/Users/bob/B/a", "/Users/bob/B/file"})
        EXPECT_EQ("old|", Forks(path));
    }
  }
}

TEST_F(MoveFixture, AcrossVolumesCopyThenDelete) {
  XFileSpec source = Spec("~/A");
  XFileSpec data = Spec("/Volumes/Data/C");
  ASSERT_TRUE(source.XCopyFile(data, U("a"), UniString())) << Err(source);
  EXPECT_EQ("alpha|rsrc", Forks("/Volumes/Data/C/a"));
  EXPECT_EQ("alpha|rsrc", Forks("/Users/bob/A/a"));
  ASSERT_TRUE(source.XMoveFile(data, U("a"), U("moved"))) << Err(source);
  EXPECT_EQ("alpha|rsrc", Forks("/Volumes/Data/C/moved"));
  EXPECT_EQ("missing", Forks("/Users/bob/A/a"));

  // A source that cannot be deleted stays; the move still counts.
  Write("/Users/bob/A/b", "beta");
  FSStandInTestFailNext("FSDeleteObject", "/Users/bob/A/b", fBsyErr);
  EXPECT_TRUE(source.XMoveFile(data, U("b"), UniString())) << Err(source);
  EXPECT_EQ("beta|", Forks("/Volumes/Data/C/b"));
  EXPECT_EQ("beta|", Forks("/Users/bob/A/b"));

  // A failed copy keeps the source and leaves no partial copy.
  FSStandInTestFailNext("FSWriteFork", "/Volumes/Data/C/N", dskFulErr);
  EXPECT_FALSE(source.XMoveFile(data, U("b"), U("N")));
  EXPECT_EQ("Could not move File: b to: N; MacError: -34 (Disk Full)", Err(source));
  EXPECT_EQ("beta|", Forks("/Users/bob/A/b"));
  EXPECT_EQ("missing", Forks("/Volumes/Data/C/N"));

  // "._" files without the AppleDouble header are files of their own on either side: the move
  // takes neither along, nor deletes either for an orphan sidecar.
  Write("/Users/bob/A/d", "delta");
  Write("/Users/bob/A/._d", "notes here");
  Write("/Volumes/Data/C/._d", "notes there");
  ASSERT_TRUE(source.XMoveFile(data, U("d"), UniString())) << Err(source);
  EXPECT_EQ("delta|", Forks("/Volumes/Data/C/d"));
  EXPECT_EQ("missing", Forks("/Users/bob/A/d"));
  EXPECT_EQ("notes here", Read("/Users/bob/A/._d"));
  EXPECT_EQ("notes there", Read("/Volumes/Data/C/._d"));
}

TEST_F(MoveFixture, MoveAcrossVolumesNeverDropsAFork) {
  XFileSpec source = Spec("~/A");
  XFileSpec data = Spec("/Volumes/Data/C");
  for (std::string const newName : {"", "N"}) {
    std::string const target = "/Volumes/Data/C/" + (newName.empty() ? "a" : newName);
    FSStandInTestFailNext("FSCreateFork", target, ioErr);
    EXPECT_FALSE(source.XMoveFile(data, U("a"), U(newName))) << newName;
    EXPECT_EQ(newName.empty() ? "Could not move File: a; MacError: -36"
                              : "Could not move File: a to: N; MacError: -36",
              Err(source));
    EXPECT_EQ("alpha|rsrc", Forks("/Users/bob/A/a"));
    EXPECT_EQ("missing", Forks(target));
  }
  // A plain copy goes on without the fork it could not create.
  FSStandInTestFailNext("FSCreateFork", "/Volumes/Data/C/a", ioErr);
  EXPECT_TRUE(source.XCopyFile(data, U("a"), UniString())) << Err(source);
  EXPECT_EQ("|rsrc", Forks("/Volumes/Data/C/a"));
}

TEST_F(MoveFixture, FailedMoveRenameIsRolledBack) {
  XFileSpec a = Spec("~/A");
  XFileSpec b = Spec("~/B");
  // A dry run shows the temporary name the final rename in B starts from.
  FSStandInTestSetCallLog(true);
  ASSERT_TRUE(a.XMoveFile(b, U("a"), U("D"))) << Err(a);
  FSStandInTestSetCallLog(false);
  std::string lastRename;
  for (std::string const& line : FSStandInTestCallLog())
    if (line.rfind("FSRenameUnicode ", 0) == 0) lastRename = line.substr(16);
  ASSERT_EQ(0u, lastRename.rfind("/Users/bob/B/", 0)) << lastRename;
  ASSERT_TRUE(b.XMoveFile(a, U("D"), U("a"))) << Err(b);

  for (std::string const call : {"FSMoveObject", "FSRenameUnicode"}) {
    FSStandInTestFailNext(call, call == "FSMoveObject" ? "" : lastRename, permErr);
    EXPECT_FALSE(a.XMoveFile(b, U("a"), U("D"))) << call;
    EXPECT_EQ("Could not move File: a to: D; MacError: -54 (Permission Error)", Err(a));
    EXPECT_EQ("alpha|rsrc", Forks("/Users/bob/A/a")) << call;
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(Real("/Users/bob/A")), {}) -
                     Exists("/Users/bob/A/._a"))
        << call;  // no temporary name left behind
    EXPECT_TRUE(std::filesystem::is_empty(Real("/Users/bob/B"))) << call;
  }
}

TEST_F(MoveFixture, LargeResourceForkSurvivesByteForByte) {
  std::string big(100 * 1024 + 17, '\0');
  uint32_t seed = 12345;
  for (char& c : big) c = char((seed = seed * 1103515245u + 12345u) >> 24);
  MakeA("alpha", big);
  std::string const expected = "alpha|" + big;
  XFileSpec source = Spec("~/A");
  XFileSpec b = Spec("~/B");
  XFileSpec data = Spec("/Volumes/Data/C");
  ASSERT_TRUE(source.XCopyFile(b, U("a"), U("copy"))) << Err(source);
  EXPECT_TRUE(Forks("/Users/bob/B/copy") == expected);
  ASSERT_TRUE(source.XMoveFile(b, U("a"), UniString())) << Err(source);
  EXPECT_TRUE(Forks("/Users/bob/B/a") == expected);
  XFileSpec moved = Spec("~/B/a");
  ASSERT_TRUE(moved.XRenameFile(U("renamed"), UniString())) << Err(moved);
  EXPECT_TRUE(Forks("/Users/bob/B/renamed") == expected);
  ASSERT_TRUE(moved.XMoveFile(data, UniString(), U("far"))) << Err(moved);
  EXPECT_TRUE(Forks("/Volumes/Data/C/far") == expected);
  EXPECT_EQ("missing", Forks("/Users/bob/B/renamed"));
}

TEST_F(MoveFixture, CopyKeepsLockAndMode) {
  Write("/Users/bob/A/ro", "read only");
  ASSERT_EQ(0, chmod(Real("/Users/bob/A/ro").c_str(), 0555));
  SwapLock("/Users/bob/A/a", true);
  XFileSpec source = Spec("~/A");
  XFileSpec data = Spec("/Volumes/Data/C");
  for (char const* name : {"a", "ro"})
    ASSERT_TRUE(source.XCopyFile(data, U(name), UniString())) << name << ": " << Err(source);
  EXPECT_EQ("alpha|rsrc", Forks("/Volumes/Data/C/a"));
  EXPECT_TRUE(SwapLock("/Volumes/Data/C/a", false));
  EXPECT_TRUE(SwapLock("/Users/bob/A/a", false));
  struct stat st = {};
  ASSERT_EQ(0, stat(Real("/Volumes/Data/C/ro").c_str(), &st));
  EXPECT_EQ(0555u, st.st_mode & 07777u);
  EXPECT_EQ("read only|", Forks("/Volumes/Data/C/ro"));
}

TEST_F(MoveFixture, UniqueNameThatWouldNotFitIsABadName) {
  // Unique names and depths are the toolkit's own tests; the 255-unit limit is checked here.
  std::string const longName(254, 'n');
  Write("/Users/bob/A/" + longName, "long");
  Write("/Users/bob/B/" + longName, "old");
  FSRef from = Ref("/Users/bob/A/" + longName), to = Ref("/Users/bob/B");
  OSErr const err = FSCopyObject(&from, &to, 0, kFSCatInfoNone, kCopyClashUniqueName, false, false,
                                 nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(bdNamErr, err);
  EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(Real("/Users/bob/B")), {}));
}

// Every path below root, relative to it, one a line in name order.
std::string TreeOf(std::string const& root) {
  std::vector<std::string> paths;
  for (auto const& entry : std::filesystem::recursive_directory_iterator(root))
    paths.push_back(entry.path().string().substr(root.size()));
  std::sort(paths.begin(), paths.end());
  std::string out;
  for (std::string const& path : paths) out += path + "\n";
  return out;
}

TEST_F(MoveFixture, DotNamesReachNeitherTheFolderNorItsParent) {
  std::filesystem::create_directories(Real("/Users/bob/B/empty"));
  enum enumOp { kRemoveDir, kMove, kCopy, kDirExists, kFileExists };
  struct {
    enumOp op;
    char const *spec, *name, *newName, *error;
  } const rows[] = {
      {kRemoveDir, "~/B/empty", ".", "", "Folder does not exist: ."},
      {kRemoveDir, "~/B/empty", "..", "", "Folder does not exist: .."},
      {kMove, "~/A", "a", "..", "Could not move File: a to: ..; MacError: -37"},
      {kMove, "~/A/a", "", ".", "Could not move File: a to: .; MacError: -37"},
      {kCopy, "~/A", "a", "..", "Could not copy File: a to: ..; MacError: -37"},
      {kDirExists, "~/B/empty", "..", "",
       "Folder does not exist: ..; MacError: -43 (File Not Found)"},
      {kFileExists, "~/A", "..", "", "File does not exist: ..; MacError: -43 (File Not Found)"},
  };
  std::string const before = TreeOf(Real("/Users/bob"));
  for (auto const& row : rows) {
    SCOPED_TRACE(std::string(row.spec) + " " + row.name + " " + row.newName);
    XFileSpec spec = Spec(row.spec);
    XFileSpec dest = Spec("~/B");
    bool result = true;
    switch (row.op) {
      case kRemoveDir: result = spec.XRemoveDir(U(row.name)); break;
      case kMove: result = spec.XMoveFile(dest, U(row.name), U(row.newName)); break;
      case kCopy: result = spec.XCopyFile(dest, U(row.name), U(row.newName)); break;
      case kDirExists: result = spec.XDirExists(U(row.name)); break;
      case kFileExists: result = spec.XFileExists(U(row.name)); break;
    }
    EXPECT_FALSE(result);
    EXPECT_EQ(row.error, Err(spec));
    EXPECT_EQ(before, TreeOf(Real("/Users/bob")));
    EXPECT_EQ("alpha|rsrc", Forks("/Users/bob/A/a"));
  }
}

}  // namespace
