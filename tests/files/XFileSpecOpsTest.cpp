// Tests of the XFileSpec whole-file operations: existence by target kind, '/' in names stored
// as ':' on disk, sizes of both forks and past 31 bits, creator, type and date, creating files
// and folder chains, removing with the ".DS_Store" rule, renaming, SelectDirName.
// Each test runs on a fresh temporary root: home /Users/bob with dir/f.txt and file.txt.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/support/XFileSpecTestRoot.h"

namespace {

using namespace XFileSpecTesting;

class OpsFixture : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("xfilespec-ops", {"/Users/bob/dir", "/etc"}));
    Write("/Users/bob/dir/f.txt", "hello");
    Write("/Users/bob/file.txt", "keep");
    ASSERT_EQ(noErr, InstallRoot());
    UseHome("/Users/bob");
  }
  void TearDown() override {
    CleanUpXFileSpec();
    RemoveRoot();
  }
  static void WriteResourceFork(std::string const& path, std::string const& bytes) {
    FSRef ref = Ref(path);
    HFSUniStr255 fork;
    FSGetResourceForkName(&fork);
    FSIORefNum refNum = 0;
    ASSERT_EQ(noErr, FSOpenFork(&ref, fork.length, fork.unicode, fsWrPerm, &refNum));
    EXPECT_EQ(noErr, FSWriteFork(refNum, fsFromStart, 0, bytes.size(), bytes.data(), nullptr));
    FSCloseFork(refNum);
  }
  static void SetLocked(std::string const& path, bool locked) {
    FSRef ref = Ref(path);
    FSCatalogInfo info = {};
    info.nodeFlags = locked ? kFSNodeLockedMask : 0;
    ASSERT_EQ(noErr, FSSetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info));
  }
};

TEST_F(OpsFixture, ExistenceTestsByTargetKind) {
  struct {
    char const *spec, *name;
    bool file;
    char const* fileError;
    bool dir;
    char const* dirError;
  } const rows[] = {
      {"~/dir", "", false, "File is not a File (it's a Folder): dir", true, ""},
      {"~/dir", "f.txt", true, "", false, "Folder is not a Folder (it's a File): f.txt"},
      {"~/dir", "a/b", false, "File does not exist: a%2Fb; MacError: -43 (File Not Found)", false,
       "Folder does not exist: a%2Fb; MacError: -43 (File Not Found)"},
      {"~/file.txt", "", true, "", false, "Folder is not a Folder (it's a File): file.txt"},
      {"~/file.txt", "x", false, "Parent Folder is not a Folder (it's a File): file.txt", false,
       "Parent Folder is not a Folder (it's a File): file.txt"},
      {"~/missing", "", false, "File does not exist: missing", false,
       "Folder does not exist: missing"},
      {"~/missing", "x", false, "Parent Folder does not exist: missing", false,
       "Parent Folder does not exist: missing"},
      {"~/missing/deeper", "", false, "One of the Parent Folders does not exist: missing", false,
       "One of the Parent Folders does not exist: missing"},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(std::string(row.spec) + " " + row.name);
    XFileSpec spec = Spec(row.spec);
    EXPECT_EQ(row.file, spec.XFileExists(U(row.name)));
    EXPECT_EQ(row.fileError, Err(spec));
    EXPECT_EQ(row.dir, spec.XDirExists(U(row.name)));
    EXPECT_EQ(row.dirError, Err(spec));
  }
}

TEST_F(OpsFixture, SlashInNamesIsColonOnDisk) {
  XFileSpec dir = Spec("~/dir");
  ASSERT_TRUE(dir.XCreateFile(U("a/b"), 0, 0, false)) << Err(dir);
  EXPECT_TRUE(Exists("/Users/bob/dir/a:b"));
  EXPECT_TRUE(dir.XFileExists(U("a%2Fb")));  // the escaped form names the same item
  ASSERT_TRUE(dir.XRenameFile(U("c/d"), U("a/b"))) << Err(dir);
  EXPECT_TRUE(Exists("/Users/bob/dir/c:d"));
  EXPECT_TRUE(dir.XRemoveFile(U("c/d")));
  EXPECT_FALSE(Exists("/Users/bob/dir/c:d"));
  ASSERT_TRUE(dir.XCreateDir(U("x/y"))) << Err(dir);
  EXPECT_TRUE(dir.SelectDirName(U("x/y")));
  EXPECT_EQ("~/dir/x%2Fy", S(dir.GetPath(kPathStyleInternal, true)));
  EXPECT_EQ("/Users/bob/dir/x:y", S(dir.GetPath(kPathStylePOSIX, true)));
  EXPECT_TRUE(dir.XDirExists(UniString()));
}

TEST_F(OpsFixture, AttributesAndTheirFailures) {
  Write("/Users/bob/dir/both", "0123456789");
  WriteResourceFork("/Users/bob/dir/both", "abcde");
  XFileSpec dir = Spec("~/dir");
  EXPECT_EQ(15, dir.XFileSize(U("both")));
  EXPECT_EQ(5, Spec("~/dir/f.txt").XFileSize(UniString()));
  ASSERT_TRUE(dir.XCreateFile(U("t"), MakeFourCharCode("R*ch"), MakeFourCharCode("TEXT"), false));
  EXPECT_EQ(MakeFourCharCode("R*ch"), dir.XGetCreator(U("t")));
  EXPECT_EQ(MakeFourCharCode("TEXT"), dir.XGetFileType(U("t")));
  struct timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, Real("/Users/bob/dir/f.txt").c_str(), times, 0));
  EXPECT_EQ(1500000000u, dir.XGetModDate(U("f.txt")).GetAsSeconds());

  XFileSpec home = Spec("~");
  EXPECT_EQ(-1, home.XFileSize(U("dir")));
  EXPECT_EQ("File is not a File (it's a Folder): dir", Err(home));
  EXPECT_EQ(0u, home.XGetFileType(U("nope")));
  EXPECT_EQ("File does not exist: nope", Err(home));
  EXPECT_EQ(0u, dir.XGetModDate(U("nope")).GetAsSeconds());
  EXPECT_EQ("File or Directory does not exist: nope", Err(dir));
  FSStandInTestFailNext("FSGetCatalogInfo", "/Users/bob/dir/f.txt", ioErr);
  EXPECT_EQ(-1, dir.XFileSize(U("f.txt")));
  EXPECT_EQ("Could not get File size: f.txt; MacError: -36", Err(dir));
}

TEST_F(OpsFixture, FileSizeRefusesWhatThirtyOneBitsCannotHold) {
  struct {
    char const* name;
    off_t data;  // sparse: the size is real, the disk space is not used
    char const* rsrc;
    int32_t size;
  } const rows[] = {
      {"max", off_t(INT32_MAX), "", INT32_MAX},
      {"two-gib", off_t(1) << 31, "", -1},
      {"wraps-to-five", (off_t(1) << 32) + 5, "", -1},
      {"sum-crosses", off_t(INT32_MAX) - 9, "0123456789abcde", -1},
  };
  XFileSpec dir = Spec("~/dir");
  for (auto const& row : rows) {
    std::string const path = "/Users/bob/dir/" + std::string(row.name);
    Write(path, "");
    ASSERT_EQ(0, truncate(Real(path).c_str(), row.data));
    if (*row.rsrc) WriteResourceFork(path, row.rsrc);
    EXPECT_EQ(row.size, dir.XFileSize(U(row.name))) << row.name;
    EXPECT_EQ(row.size < 0 ? "Could not get File size: " + std::string(row.name) +
                                 " (the File is 2 GB or larger)"
                           : "",
              Err(dir));
  }
}

TEST_F(OpsFixture, CreateFileLeavesWhatExists) {
  XFileSpec home = Spec("~");
  EXPECT_TRUE(home.XCreateFile(U("file.txt"), MakeFourCharCode("ABCD"), 0, true)) << Err(home);
  EXPECT_EQ(0u, home.XGetCreator(U("file.txt")));
  EXPECT_EQ(4, home.XFileSize(U("file.txt")));
  EXPECT_FALSE(home.XCreateFile(U("file.txt"), 0, 0, false));
  EXPECT_EQ("File already exists: file.txt", Err(home));
  EXPECT_FALSE(home.XCreateFile(U("dir"), 0, 0, true));
  EXPECT_EQ("A Folder with that name already exists: dir", Err(home));
  XFileSpec self = Spec("~/file.txt");
  EXPECT_FALSE(self.XCreateFile(UniString(), 0, 0, false));
  EXPECT_EQ("File already exists: file.txt", Err(self));

  XFileSpec fresh = Spec("~/dir/new.txt");
  EXPECT_TRUE(fresh.XCreateFile(UniString(), 0, MakeFourCharCode("TEXT"), false)) << Err(fresh);
  EXPECT_EQ(MakeFourCharCode("TEXT"), fresh.XGetFileType(UniString()));
  FSStandInTestFailNext("FSCreateFileUnicode", "/Users/bob/dir/denied", permErr);
  XFileSpec dir = Spec("~/dir");
  EXPECT_FALSE(dir.XCreateFile(U("denied"), 0, 0, false));
  EXPECT_EQ("Could not create File: denied; MacError: -54 (Permission Error)", Err(dir));
}

TEST_F(OpsFixture, CreateDirMakesMissingParentsAndTheNamedFolder) {
  std::filesystem::create_directories(Real("/Users/bob/A"));
  XFileSpec chain = Spec("~/A/B/D");
  EXPECT_TRUE(chain.XCreateDir(UniString())) << Err(chain);
  EXPECT_TRUE(std::filesystem::is_directory(Real("/Users/bob/A/B/D")));
  EXPECT_FALSE(chain.XCreateDir(UniString()));
  EXPECT_EQ("Folder already exists: D", Err(chain));
  // With a name, success means that the named folder exists too.
  XFileSpec named = Spec("~/A/X/Y");
  EXPECT_TRUE(named.XCreateDir(U("E"))) << Err(named);
  EXPECT_TRUE(std::filesystem::is_directory(Real("/Users/bob/A/X/Y/E")));

  XFileSpec blocked = Spec("~/file.txt/P/Q");
  EXPECT_FALSE(blocked.XCreateDir(UniString()));
  EXPECT_EQ("A File with that name already exists: file.txt", Err(blocked));
  EXPECT_FALSE(Spec("//server/share/x/y").XCreateDir(UniString()));  // no chain on a network
  // Nor on a volume that is not mounted, which reads as the startup volume's /Missing/a.
  XFileSpec unmounted = Spec("/Volumes/Missing/a");
  EXPECT_FALSE(unmounted.XCreateDir(UniString()));
  EXPECT_FALSE(std::filesystem::exists(Real("/Missing")));
  XFileSpec missing = Spec("~/missing");
  EXPECT_FALSE(missing.XCreateDir(U("x")));
  EXPECT_EQ("Parent Folder does not exist: missing", Err(missing));
}

TEST_F(OpsFixture, RemoveFileAndDirWithTheDSStoreRule) {
  XFileSpec home = Spec("~");
  EXPECT_FALSE(home.XRemoveFile(U("dir")));
  EXPECT_EQ("File is not a File (it's a Folder): dir", Err(home));
  EXPECT_FALSE(home.XRemoveDir(U("file.txt")));
  EXPECT_EQ("Folder is not a Folder (it's a File): file.txt", Err(home));
  SetLocked("/Users/bob/file.txt", true);
  EXPECT_FALSE(home.XRemoveFile(U("file.txt")));
  EXPECT_EQ("Could not delete File: file.txt; MacError: -45 (File is Locked)", Err(home));
  SetLocked("/Users/bob/file.txt", false);
  EXPECT_TRUE(Spec("~/file.txt").XRemoveFile(UniString()));
  EXPECT_FALSE(Exists("/Users/bob/file.txt"));

  // A lone ".DS_Store" file goes with its folder; nothing else is ever removed.
  struct {
    char const* folder;
    bool dsStoreIsFolder, extra, removed;
  } const rows[] = {{"only", false, false, true},
                    {"more", false, true, false},
                    {"odd", true, false, false},
                    {"empty", false, false, true}};
  for (auto const& row : rows) {
    std::string const folder = std::string("/Users/bob/") + row.folder;
    std::filesystem::create_directories(Real(row.dsStoreIsFolder ? folder + "/.DS_Store" : folder));
    if (!row.dsStoreIsFolder && std::string(row.folder) != "empty")
      Write(folder + "/.DS_Store", "finder");
    if (row.extra) Write(folder + "/x", "data");
    EXPECT_EQ(row.removed, home.XRemoveDir(U(row.folder))) << row.folder;
    EXPECT_EQ(row.removed, !Exists(folder)) << row.folder;
    if (!row.removed) {
      EXPECT_EQ("Could not delete Folder: " + std::string(row.folder) +
                    "; MacError: -47 (File/Folder is in use)",
                Err(home));
      EXPECT_TRUE(Exists(folder + "/.DS_Store"));
    }
  }
}

TEST_F(OpsFixture, RenameMovesTheSpecWithItsFile) {
  XFileSpec self = Spec("~/file.txt");
  EXPECT_TRUE(self.XRenameFile(U("N"), UniString())) << Err(self);
  EXPECT_EQ("/Users/bob/N", S(self.GetPath(kPathStylePOSIX, true)));
  EXPECT_TRUE(Exists("/Users/bob/N"));
  EXPECT_FALSE(self.XRenameFile(UniString(), UniString()));
  EXPECT_EQ("You must specify a New Name for the File.", Err(self));

  XFileSpec dir = Spec("~/dir");
  Write("/Users/bob/dir/g.txt", "other");
  EXPECT_FALSE(dir.XRenameFile(U("g.txt"), U("f.txt")));
  EXPECT_EQ("A File with that name already exists: g.txt", Err(dir));
  EXPECT_TRUE(dir.XRenameFile(U("h.txt"), U("f.txt")));
  EXPECT_EQ("/Users/bob/dir", S(dir.GetPath(kPathStylePOSIX, true)));
  XFileSpec home = Spec("~");
  EXPECT_FALSE(home.XRenameFile(U("dir"), U("N")));
  EXPECT_EQ("A Folder with that name already exists: dir", Err(home));

  FSStandInTestFailNext("FSRenameUnicode", "/Users/bob/N", fLckdErr);
  EXPECT_FALSE(self.XRenameFile(U("M"), UniString()));
  EXPECT_EQ("Could not rename File: N to: M; MacError: -45 (File is Locked)", Err(self));
  EXPECT_EQ("/Users/bob/N", S(self.GetPath(kPathStylePOSIX, true)));
}

TEST_F(OpsFixture, SelectDirNameStepsOnlyIntoExistingSubFolders) {
  std::filesystem::create_directories(Real("/Users/bob/dir/sub"));
  XFileSpec spec = Spec("~/dir");
  EXPECT_TRUE(spec.SelectDirName(U("sub")));
  for (char const* name : {"nope", "", "..", "."}) {
    EXPECT_FALSE(spec.SelectDirName(U(name))) << name;
    EXPECT_EQ("/Users/bob/dir/sub", S(spec.GetPath(kPathStylePOSIX, true))) << name;
  }
  XFileSpec file = Spec("~/file.txt");
  EXPECT_FALSE(file.SelectDirName(U("x")));
  EXPECT_EQ("/Users/bob/file.txt", S(file.GetPath(kPathStylePOSIX, true)));
}

}  // namespace
