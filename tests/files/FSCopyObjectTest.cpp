// Tests of the object copy toolkit: forks copied byte for byte, catalog information carried over,
// folder trees by depth, refused copies and name clashes, recursive deletion, drop boxes and the
// server copy, the buffer size rule, the cross-volume move rule for skipped forks, move-rename,
// type/creator and date touches (the equal-time rule on a pinned clock), and failures injected through the File Manager stand-in.
// Each test runs on a fresh temporary root with /src, /dst and a second volume /Volumes/Other.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "files/FSCopyObject.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

HFSUniStr255 Name(std::string const& text) {
  HFSUniStr255 name = {};
  for (char c : text) name.unicode[name.length++] = UniChar(UInt8(c));
  return name;
}

std::string Text(HFSUniStr255 const& name) {
  std::string text;
  for (UInt16 i = 0; i < name.length; ++i) text += char(name.unicode[i]);
  return text;
}

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
  return bytes;
}

class FSCopyObjectTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("fscopyobject", {"/src", "/dst", "/Volumes/Other", "/outside"}));
    ASSERT_EQ(noErr, InstallRoot());
  }
  void TearDown() override { RemoveRoot(); }

  static FSRef Ref(std::string const& path) {
    FSRef ref = {};
    EXPECT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>(path.c_str()), &ref, nullptr))
        << path;
    return ref;
  }
  static bool Exists(std::string const& path) {
    FSRef ref;
    return FSPathMakeRef(reinterpret_cast<UInt8 const*>(path.c_str()), &ref, nullptr) == noErr;
  }
  static std::string ReadFork(std::string const& path, bool resource) {
    FSRef ref = Ref(path);
    HFSUniStr255 fork;
    resource ? FSGetResourceForkName(&fork) : FSGetDataForkName(&fork);
    FSIORefNum refNum = 0;
    if (FSOpenFork(&ref, fork.length, fork.unicode, fsRdPerm, &refNum) != noErr) return "<none>";
    SInt64 size = 0;
    FSGetForkSize(refNum, &size);
    std::string bytes(size_t(size), '\0');
    ByteCount got = 0;
    if (size > 0) FSReadFork(refNum, fsFromStart, 0, ByteCount(size), &bytes[0], &got);
    FSCloseFork(refNum);
    return bytes;
  }
  static void WriteFork(FSRef const& ref, bool resource, std::string const& bytes) {
    HFSUniStr255 fork;
    resource ? FSGetResourceForkName(&fork) : FSGetDataForkName(&fork);
    FSIORefNum refNum = 0;
    ASSERT_EQ(noErr, FSOpenFork(&ref, fork.length, fork.unicode, fsWrPerm, &refNum));
    ByteCount written = 0;
    EXPECT_EQ(noErr, FSWriteFork(refNum, fsFromStart, 0, ByteCount(bytes.size()), bytes.data(),
                                 &written));
    FSCloseFork(refNum);
  }
  // A file with both forks under the folder path.
  static FSRef MakeFile(std::string const& folder, std::string const& name, std::string const& data,
                        std::string const& rsrc = std::string()) {
    FSRef parent = Ref(folder), file = {};
    HFSUniStr255 uni = Name(name);
    EXPECT_EQ(noErr, FSCreateFileUnicode(&parent, uni.length, uni.unicode, kFSCatInfoNone, nullptr,
                                         &file, nullptr));
    if (!data.empty()) WriteFork(file, false, data);
    if (!rsrc.empty()) WriteFork(file, true, rsrc);
    return file;
  }
  static FSRef MakeFolder(std::string const& folder, std::string const& name) {
    FSRef parent = Ref(folder), made = {};
    HFSUniStr255 uni = Name(name);
    EXPECT_EQ(noErr, FSCreateDirectoryUnicode(&parent, uni.length, uni.unicode, kFSCatInfoNone,
                                              nullptr, &made, nullptr, nullptr));
    return made;
  }
  static FSCatalogInfo Info(std::string const& path, FSCatalogInfoBitmap which) {
    FSRef ref = Ref(path);
    FSCatalogInfo info = {};
    EXPECT_EQ(noErr, FSGetCatalogInfo(&ref, which, &info, nullptr, nullptr, nullptr)) << path;
    return info;
  }
  static FInfo FinderInfo(std::string const& path) {
    FSSpec spec;
    FSRef ref = Ref(path);
    FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr);
    FInfo finder = {};
    EXPECT_EQ(noErr, FSpGetFInfo(&spec, &finder)) << path;
    return finder;
  }
  static OSErr Copy(std::string const& source, std::string const& dest,
                    UInt32 clash = kCopyClashFail, UInt32 maxLevels = 0) {
    FSRef src = Ref(source), dst = Ref(dest);
    return FSCopyObject(&src, &dst, maxLevels, kFSCatInfoNone, clash, false, false, nullptr,
                        nullptr, nullptr, nullptr);
  }
  // The copy of a move across volumes: preflight, then CopyFile with the skipped-fork rule.
  static OSErr CopyForMove(std::string const& source, std::string const& dest, bool strict) {
    FSRef src = Ref(source), dst = Ref(dest);
    CopyBufferContext context;
    Boolean isFolder = false;
    OSErr err = FSCopyObjectPreflight(&src, &dst, kCopyClashFail, &context, &isFolder);
    FSCatalogInfo info = {};
    HFSUniStr255 name = {};
    if (err == noErr)
      err = FSGetCatalogInfo(&src, kFSCatInfoSettableInfo, &info, &name, nullptr, nullptr);
    context.failOnSkippedFork = strict;
    if (err == noErr) err = CopyFile(&src, &info, &dst, &name, &context, nullptr, nullptr);
    std::free(context.buffer);
    return err;
  }
  // How many items the File Manager shows in a folder.
  static ItemCount Items(std::string const& folder) {
    FSRef ref = Ref(folder);
    FSIterator iterator;
    if (FSOpenIterator(&ref, kFSIterateFlat, &iterator) != noErr) return 0;
    ItemCount total = 0, count = 0;
    while (FSGetCatalogInfoBulk(iterator, 1, &count, nullptr, kFSCatInfoNone, nullptr, nullptr,
                                nullptr, nullptr) == noErr)
      total += count;
    total += count;
    FSCloseIterator(iterator);
    return total;
  }
};

TEST_F(FSCopyObjectTest, CopiesBothForksByteForByte) {
  struct {
    size_t data, rsrc;
  } const cases[] = {{100000, 70000}, {0, 70001}, {1000, 0}, {512, 513}, {0x40000 + 1, 3}};
  int n = 0;
  for (auto const& c : cases) {
    std::string const name = "f" + std::to_string(n++);
    std::string const data = Pattern(c.data, 1), rsrc = Pattern(c.rsrc, 2);
    MakeFile("/src", name, data, rsrc);
    for (std::string dest : {"/dst", "/Volumes/Other"}) {
      ASSERT_EQ(noErr, Copy("/src/" + name, dest)) << name << " to " << dest;
      EXPECT_EQ(data, ReadFork(dest + "/" + name, false)) << name << " to " << dest;
      EXPECT_EQ(c.rsrc == 0 ? std::string() : rsrc, ReadFork(dest + "/" + name, true)) << name;
    }
  }
}

TEST_F(FSCopyObjectTest, CarriesCatalogInformationOver) {
  FSRef file = MakeFile("/src", "doc.txt", "contents", "rsrc");
  FSCatalogInfo info = {};
  ASSERT_EQ(noErr,
            FSGetCatalogInfo(&file, kFSCatInfoSettableInfo, &info, nullptr, nullptr, nullptr));
  info.createDate = UTCDateTime{0, 3000000000u, 0};
  info.contentModDate = UTCDateTime{0, 3100000000u, 0};
  info.permissions[2] = (info.permissions[2] & ~0xFFFFu) | 0640;
  info.nodeFlags |= kFSNodeLockedMask;
  ASSERT_EQ(noErr, FSSetCatalogInfo(&file, kFSCatInfoCreateDate | kFSCatInfoContentMod |
                                               kFSCatInfoPermissions, &info));
  FSSpec spec;
  FSGetCatalogInfo(&file, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr);
  FInfo finder = {};
  finder.fdType = MakeFourCharCode("TEXT");
  finder.fdCreator = MakeFourCharCode("ttxt");
  ASSERT_EQ(noErr, FSpSetFInfo(&spec, &finder));
  ASSERT_EQ(noErr, FSSetCatalogInfo(&file, kFSCatInfoNodeFlags, &info));

  for (std::string dest : {"/dst", "/Volumes/Other"}) {
    ASSERT_EQ(noErr, Copy("/src/doc.txt", dest)) << dest;
    std::string const copy = dest + "/doc.txt";
    FSCatalogInfo got = Info(copy, kFSCatInfoSettableInfo);
    EXPECT_EQ(3000000000u, got.createDate.lowSeconds) << dest;
    EXPECT_EQ(3100000000u, got.contentModDate.lowSeconds) << dest;
    EXPECT_EQ(0640u, got.permissions[2] & 0777) << dest;
    EXPECT_TRUE(got.nodeFlags & kFSNodeLockedMask) << dest;
    FInfo const copied = FinderInfo(copy);
    EXPECT_EQ(MakeFourCharCode("TEXT"), copied.fdType) << dest;  // not the busy type
    EXPECT_EQ(MakeFourCharCode("ttxt"), copied.fdCreator) << dest;
    EXPECT_EQ("contents", ReadFork(copy, false));
  }
}

struct stcSeen {
  std::vector<std::pair<UInt32, std::string>> items;
  int stopAfter = -1;
};

Boolean RecordItem(Boolean, UInt32 level, OSErr err, FSCatalogInfo const*, FSRef const*,
                   FSSpec const*, HFSUniStr255 const* name, void* data) {
  stcSeen* seen = static_cast<stcSeen*>(data);
  seen->items.push_back({level, (err != noErr ? "!" : "") + Text(*name)});
  return seen->stopAfter >= 0 && int(seen->items.size()) > seen->stopAfter;
}

// The modes a link's copy had while it was still a file holding the link's text.
mode_t g_modeLinkTextFile = 0;
void NoteLinkTextFile(std::string const& realPath) {
  struct stat st;
  if (realPath.size() >= 11 && realPath.compare(realPath.size() - 11, 11, "/top/z/link") == 0 &&
      lstat(realPath.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    g_modeLinkTextFile |= st.st_mode & 0777;
}

TEST_F(FSCopyObjectTest, CopiesFolderTreesToTheGivenDepth) {
  MakeFolder("/src", "top");
  MakeFile("/src/top", "a.txt", "A");
  MakeFolder("/src/top", "sub1");
  MakeFile("/src/top/sub1", "b.txt", "B");
  MakeFolder("/src/top/sub1", "sub2");
  MakeFile("/src/top/sub1/sub2", "c.txt", "C");
  MakeFolder("/src/top", "z");
  ASSERT_EQ(0, symlink(Real("/outside").c_str(), Real("/src/top/z/link").c_str()));
  // An ordinary file that names a path and claims a link's type and creator.
  FSRef fake = MakeFile("/src/top/z", "fake", Real("/outside"));
  FSSpec fakeSpec;
  ASSERT_EQ(noErr, FSGetCatalogInfo(&fake, kFSCatInfoNone, nullptr, nullptr, &fakeSpec, nullptr));
  FInfo fakeInfo = {};
  fakeInfo.fdType = MakeFourCharCode("slnk");
  fakeInfo.fdCreator = MakeFourCharCode("rhap");
  ASSERT_EQ(noErr, FSpSetFInfo(&fakeSpec, &fakeInfo));
  FSCatalogInfo topInfo = Info("/src/top", kFSCatInfoSettableInfo);
  topInfo.createDate = UTCDateTime{0, 3200000000u, 0};
  topInfo.contentModDate = UTCDateTime{0, 3300000000u, 0};
  FSRef top = Ref("/src/top"), sub1 = Ref("/src/top/sub1");
  ASSERT_EQ(noErr, FSSetCatalogInfo(&top, kFSCatInfoCreateDate | kFSCatInfoContentMod, &topInfo));
  FSCatalogInfo readOnly = Info("/src/top/sub1", kFSCatInfoPermissions);
  readOnly.permissions[2] = (readOnly.permissions[2] & ~0xFFFFu) | 0555;
  readOnly.contentModDate = UTCDateTime{0, 3300000000u, 0};
  ASSERT_EQ(noErr,
            FSSetCatalogInfo(&sub1, kFSCatInfoPermissions | kFSCatInfoContentMod, &readOnly));

  struct {
    UInt32 levels;
    bool b, sub2, c;
  } const cases[] = {{0, true, true, true}, {1, false, false, false}, {2, true, true, false}};
  g_modeLinkTextFile = 0;
  FSStandInTestSetBeforeChangeHook(NoteLinkTextFile);
  for (auto const& c : cases) {
    std::string const dest = "/dst/L" + std::to_string(c.levels);
    MakeFolder("/dst", "L" + std::to_string(c.levels));
    FSRef dst = Ref(dest);
    stcSeen seen;
    ASSERT_EQ(noErr, FSCopyObject(&top, &dst, c.levels, kFSCatInfoNone, kCopyClashFail, false,
                                  true, RecordItem, &seen, nullptr, nullptr));
    EXPECT_EQ("A", ReadFork(dest + "/top/a.txt", false));
    EXPECT_TRUE(Exists(dest + "/top/sub1"));
    EXPECT_TRUE(Exists(dest + "/top/z"));
    // A link is copied as a link, never followed.
    std::string const link = Real(dest + "/top/z/link");
    EXPECT_EQ(c.levels != 1, std::filesystem::is_symlink(link)) << c.levels;
    if (c.levels != 1) {
      EXPECT_EQ(Real("/outside"), std::filesystem::read_symlink(link).string());
      // ... and a file is copied as a file with its own bytes, whatever its type says.
      std::string const copy = dest + "/top/z/fake";
      EXPECT_FALSE(std::filesystem::is_symlink(Real(copy)));
      EXPECT_EQ(Real("/outside"), ReadFork(copy, false));
      EXPECT_EQ(MakeFourCharCode("slnk"), FinderInfo(copy).fdType);
    }
    EXPECT_EQ(c.b, Exists(dest + "/top/sub1/b.txt")) << c.levels;
    EXPECT_EQ(c.sub2, Exists(dest + "/top/sub1/sub2")) << c.levels;
    EXPECT_EQ(c.c, Exists(dest + "/top/sub1/sub2/c.txt")) << c.levels;
    // The busy creation date is gone and the read-only folder got its mode back.
    EXPECT_EQ(3200000000u, Info(dest + "/top", kFSCatInfoCreateDate).createDate.lowSeconds);
    EXPECT_EQ(0555u, Info(dest + "/top/sub1", kFSCatInfoPermissions).permissions[2] & 0777);
    for (std::string folder : {"/top", "/top/sub1"})
      EXPECT_EQ(3300000000u, Info(dest + folder, kFSCatInfoContentMod).contentModDate.lowSeconds)
          << folder;
    if (c.levels == 0) {
      // Depth first: sub1's contents come before its later sibling z.
      std::vector<std::pair<UInt32, std::string>> const expected = {
          {0, "top"}, {1, "a.txt"}, {1, "sub1"}, {1, "z"},
          {2, "b.txt"}, {2, "sub2"}, {3, "c.txt"}, {2, "fake"}, {2, "link"}};
      EXPECT_EQ(expected, seen.items);
    }
  }
  FSStandInTestSetBeforeChangeHook(nullptr);
  EXPECT_EQ(0u, g_modeLinkTextFile & 077);  // a link's text was never open to others
  EXPECT_NE(0u, g_modeLinkTextFile);
  // A filter that answers 1 stops the copy.
  MakeFolder("/dst", "stopped");
  FSRef stopped = Ref("/dst/stopped");
  stcSeen seen;
  seen.stopAfter = 0;
  EXPECT_EQ(kCopyErrStoppedByFilter,
            FSCopyObject(&top, &stopped, 0, kFSCatInfoNone, kCopyClashFail, false, true,
                         RecordItem, &seen, nullptr, nullptr));
  EXPECT_FALSE(Exists("/dst/stopped/top/a.txt"));
}

TEST_F(FSCopyObjectTest, StoppedCopyStillGivesItsSubFoldersTheirPermissions) {
  MakeFolder("/src", "top");
  MakeFile("/src/top", "a.txt", "A");
  MakeFolder("/src/top", "sub");
  MakeFile("/src/top/sub", "b.txt", "B");
  FSRef top = Ref("/src/top"), sub = Ref("/src/top/sub"), dst = Ref("/dst");
  FSCatalogInfo readOnly = Info("/src/top/sub", kFSCatInfoPermissions);
  readOnly.permissions[2] = (readOnly.permissions[2] & ~0xFFFFu) | 0555;
  ASSERT_EQ(noErr, FSSetCatalogInfo(&sub, kFSCatInfoPermissions, &readOnly));
  // The filter stops at a.txt; sub is still made in the same batch, and never filled.
  stcSeen seen;
  seen.stopAfter = 1;
  EXPECT_EQ(kCopyErrStoppedByFilter, FSCopyObject(&top, &dst, 0, kFSCatInfoNone, kCopyClashFail,
                                                  false, true, RecordItem, &seen, nullptr,
                                                  nullptr));
  ASSERT_TRUE(Exists("/dst/top/sub"));
  EXPECT_FALSE(Exists("/dst/top/sub/b.txt"));
  EXPECT_EQ(0555u, Info("/dst/top/sub", kFSCatInfoPermissions).permissions[2] & 0777);
}

TEST_F(FSCopyObjectTest, RefusesCopiesIntoItselfAndOntoExistingNames) {
  MakeFolder("/src", "tree");
  MakeFolder("/src/tree", "inner");
  for (std::string dest : {"/src/tree", "/src/tree/inner"}) {
    EXPECT_EQ(kCopyErrDestInsideSource, Copy("/src/tree", dest)) << dest;
    EXPECT_FALSE(Exists(dest + "/tree")) << dest;
  }
  FSRef file = Ref("/src/tree"), notFolder = MakeFile("/src", "plain", "x");
  EXPECT_EQ(errFSNotAFolder, FSCopyObject(&file, &notFolder, 0, 0, 0, false, false, nullptr,
                                          nullptr, nullptr, nullptr));
  EXPECT_EQ(paramErr, FSCopyObject(nullptr, &file, 0, 0, 0, false, false, nullptr, nullptr,
                                   nullptr, nullptr));

  MakeFile("/src", "a.txt", "new");
  MakeFile("/dst", "a.txt", "old");
  EXPECT_EQ(dupFNErr, Copy("/src/a.txt", "/dst", kCopyClashFail));
  EXPECT_EQ("old", ReadFork("/dst/a.txt", false));

  MakeFile("/dst", "a 1.txt", "one");
  EXPECT_EQ(noErr, Copy("/src/a.txt", "/dst", kCopyClashUniqueName));
  EXPECT_EQ("new", ReadFork("/dst/a 2.txt", false));
  MakeFile("/src", ".profile", "p");
  EXPECT_EQ(noErr, Copy("/src/.profile", "/dst", kCopyClashUniqueName));
  EXPECT_EQ(noErr, Copy("/src/.profile", "/dst", kCopyClashUniqueName));
  EXPECT_EQ("p", ReadFork("/dst/.profile 1", false));
  MakeFile("/src", "x", "x");
  MakeFile("/dst", "x", "0");
  for (char d = '1'; d <= '9'; ++d) MakeFile("/dst", std::string("x ") + d, std::string(1, d));
  EXPECT_EQ(dupFNErr, Copy("/src/x", "/dst", kCopyClashUniqueName));
  EXPECT_EQ("0", ReadFork("/dst/x", false));

  EXPECT_EQ(noErr, Copy("/src/a.txt", "/dst", kCopyClashReplace));
  EXPECT_EQ("new", ReadFork("/dst/a.txt", false));
  EXPECT_FALSE(Exists("/dst/.DeleteMe"));
  // Replacing an item with a copy of itself would delete the only original.
  EXPECT_EQ(dupFNErr, Copy("/src/a.txt", "/src", kCopyClashReplace));
  EXPECT_EQ("new", ReadFork("/src/a.txt", false));
  EXPECT_FALSE(Exists("/src/.DeleteMe"));
}

TEST_F(FSCopyObjectTest, DeletesTreesWithoutFollowingLinks) {
  MakeFolder("/src", "gone");
  MakeFolder("/src/gone", "deep");
  FSRef locked = MakeFile("/src/gone/deep", "locked.txt", "L", "R");
  FSCatalogInfo info = Info("/src/gone/deep/locked.txt", kFSCatInfoNodeFlags);
  info.nodeFlags |= kFSNodeLockedMask;
  ASSERT_EQ(noErr, FSSetCatalogInfo(&locked, kFSCatInfoNodeFlags, &info));
  MakeFile("/outside", "keep.txt", "K");
  ASSERT_EQ(0, symlink(Real("/outside").c_str(), Real("/src/gone/link").c_str()));

  FSRef gone = Ref("/src/gone");
  EXPECT_EQ(noErr, FSDeleteObjects(&gone));
  EXPECT_FALSE(Exists("/src/gone"));
  EXPECT_EQ("K", ReadFork("/outside/keep.txt", false));

  MakeFolder("/src", "stuck");
  MakeFile("/src/stuck", "a", "a");
  FSStandInTestFailNext("FSDeleteObject", "/src/stuck/a", fBsyErr);
  FSRef stuck = Ref("/src/stuck");
  EXPECT_EQ(fBsyErr, FSDeleteObjects(&stuck));
  EXPECT_TRUE(Exists("/src/stuck/a"));
  EXPECT_EQ(paramErr, FSDeleteObjects(nullptr));
}

TEST_F(FSCopyObjectTest, CopiesIntoDropBoxesAndOnServers) {
  FSRef file = MakeFile("/src", "in.txt", Pattern(5000, 3), "res");
  FSCatalogInfo info = Info("/src/in.txt", kFSCatInfoNodeFlags);
  info.nodeFlags |= kFSNodeLockedMask;
  ASSERT_EQ(noErr, FSSetCatalogInfo(&file, kFSCatInfoNodeFlags, &info));

  // A drop box by access rights: everything written, nothing put back (the copy stays unlocked).
  FSRef box = MakeFolder("/dst", "box");
  ASSERT_EQ(noErr, FSStandInTestSetDirAccess(&box, 0x04000000));
  CopyBufferContext context;
  Boolean isFolder = true;
  ASSERT_EQ(noErr, FSCopyObjectPreflight(&file, &box, kCopyClashFail, &context, &isFolder));
  EXPECT_TRUE(context.isDropBox);
  EXPECT_TRUE(context.isLocal);
  EXPECT_FALSE(isFolder);
  std::free(context.buffer);
  ASSERT_EQ(noErr, Copy("/src/in.txt", "/dst/box"));
  EXPECT_EQ(Pattern(5000, 3), ReadFork("/dst/box/in.txt", false));
  EXPECT_EQ("res", ReadFork("/dst/box/in.txt", true));
  EXPECT_FALSE(Info("/dst/box/in.txt", kFSCatInfoNodeFlags).nodeFlags & kFSNodeLockedMask);

  // A drop box by mode where the volume keeps no rights: others may write and search only.
  FSRef modeBox = MakeFolder("/dst", "modebox");
  chmod(Real("/dst/modebox").c_str(), 0733);
  ASSERT_EQ(noErr, FSCopyObjectPreflight(&file, &modeBox, kCopyClashFail, &context, &isFolder));
  EXPECT_TRUE(context.isDropBox);
  std::free(context.buffer);

  // Both volumes on one server that copies files itself.
  FSVolumeRefNum startup = Info("/src", kFSCatInfoVolume).volume;
  FSVolumeRefNum other = Info("/Volumes/Other", kFSCatInfoVolume).volume;
  stcFSVolumeParms server = FSStandInTestDefaultVolumeParms();
  server.lngServerAdr = 0x0A000001;
  server.lngAttrib |= 1 << bHasCopyFile;
  ASSERT_EQ(noErr, FSStandInTestSetVolumeParms(startup, server));
  ASSERT_EQ(noErr, FSStandInTestSetVolumeParms(other, server));
  FSRef otherRoot = Ref("/Volumes/Other");
  ASSERT_EQ(noErr, FSCopyObjectPreflight(&file, &otherRoot, kCopyClashFail, &context, &isFolder));
  EXPECT_FALSE(context.isLocal);
  EXPECT_TRUE(context.copyOnServer);
  std::free(context.buffer);
  FSStandInTestSetCallLog(true);
  ASSERT_EQ(noErr, Copy("/src/in.txt", "/Volumes/Other"));
  std::vector<std::string> const log = FSStandInTestCallLog();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](std::string const& line) {
    return line.find("CopyFile") != std::string::npos;
  }));
  EXPECT_EQ(Pattern(5000, 3), ReadFork("/Volumes/Other/in.txt", false));
  EXPECT_EQ("res", ReadFork("/Volumes/Other/in.txt", true));
  // The server takes names of up to 31 bytes; a longer one is copied by us. A name taken makes
  // the copy's name two units longer (" 1"). Names are made from Latin-1 units and found by
  // their UTF-8 paths.
  struct {
    std::string units, path;
    bool taken, onServer;
  } const names[] = {{std::string(31, 'n'), std::string(31, 'n'), false, true},
                     {std::string(29, 'n'), std::string(29, 'n'), true, true},
                     {std::string(30, 'n'), std::string(30, 'n'), true, false},
                     {std::string(27, 'u') + "\xE9", std::string(27, 'u') + "\xC3\xA9", true, true},
                     {std::string(28, 'u') + "\xE9", std::string(28, 'u') + "\xC3\xA9", true, false}};
  for (auto const& name : names) {
    MakeFile("/src", name.units, "x");
    if (name.taken) MakeFile("/Volumes/Other", name.units, "old");
    FSStandInTestClearCallLog();
    ASSERT_EQ(noErr, Copy("/src/" + name.path, "/Volumes/Other", kCopyClashUniqueName)) << name.path;
    std::vector<std::string> const named = FSStandInTestCallLog();
    EXPECT_EQ(name.onServer, std::any_of(named.begin(), named.end(), [](std::string const& line) {
                return line.find("CopyFile") != std::string::npos;
              })) << name.path;
    EXPECT_EQ("x", ReadFork("/Volumes/Other/" + name.path + (name.taken ? " 1" : ""), false));
  }
  // The server refusing falls back to our own copy, with server-volume fork rules.
  FSStandInTestFailNext("PBHCopyFileSync", "", ioErr);
  MakeFolder("/Volumes/Other", "again");
  ASSERT_EQ(noErr, Copy("/src/in.txt", "/Volumes/Other/again"));
  EXPECT_EQ(Pattern(5000, 3), ReadFork("/Volumes/Other/again/in.txt", false));
  EXPECT_EQ("res", ReadFork("/Volumes/Other/again/in.txt", true));
}

// Another user's move in a folder others can write: the item about to be changed becomes a link.
std::string g_strSwapWhere, g_strSwapVictim;
void SwapForLink(std::string const& realPath) {
  if (realPath != g_strSwapWhere) return;
  g_strSwapWhere.clear();
  unlink(realPath.c_str());
  EXPECT_EQ(0, symlink(g_strSwapVictim.c_str(), realPath.c_str()));
}

TEST_F(FSCopyObjectTest, NeverChangesWhatALinkSwappedInForTheCopyPointsTo) {
  MakeFile("/src", "in.txt", "data");
  ASSERT_EQ(0, chmod(Real("/src/in.txt").c_str(), 0644));
  std::string const victim = Real("/outside/secret.txt");
  std::ofstream(victim) << "secret";
  ASSERT_EQ(0, chmod(victim.c_str(), 0600));
  struct timespec const old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, victim.c_str(), old, 0));
  stcFSVolumeParms server = FSStandInTestDefaultVolumeParms();
  server.lngServerAdr = 0x0A000001;
  server.lngAttrib |= 1 << bHasCopyFile;

  struct {
    char const* dest;
    bool onServer;  // the server copies the bytes and times itself
  } const cases[] = {{"/dst", false}, {"/Volumes/Other", true}};
  for (auto const& c : cases) {
    if (c.onServer) {
      ASSERT_EQ(noErr, FSStandInTestSetVolumeParms(Info("/src", kFSCatInfoVolume).volume, server));
      ASSERT_EQ(noErr, FSStandInTestSetVolumeParms(Info(c.dest, kFSCatInfoVolume).volume, server));
    }
    g_strSwapWhere = Real(std::string(c.dest) + "/in.txt");
    g_strSwapVictim = victim;
    FSStandInTestSetBeforeChangeHook(SwapForLink);
    Copy("/src/in.txt", c.dest);  // may fail: its new file was taken away
    FSStandInTestSetBeforeChangeHook(nullptr);
    EXPECT_TRUE(g_strSwapWhere.empty()) << c.dest;  // the swap happened
    struct stat st;
    ASSERT_EQ(0, stat(victim.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777) << c.dest;
    EXPECT_EQ(1000000000, st.st_mtim.tv_sec) << c.dest;
    std::string text;
    std::getline(std::ifstream(victim), text);
    EXPECT_EQ("secret", text) << c.dest;
  }
}

TEST_F(FSCopyObjectTest, SizesTheBufferFromTheVolumeGrade) {
  FSRef file = MakeFile("/src", "f", "x"), dst = Ref("/dst");
  FSVolumeRefNum startup = Info("/src", kFSCatInfoVolume).volume;
  struct {
    SInt32 grade;
    UInt32 size;
  } const cases[] = {{-100000, 24576}, {-1000, 1024}, {-10000000, 0x200000}, {5, 0x40000},
                     {0, 0x40000}, {SInt32(0x80000000), 0x200000}};
  for (auto const& c : cases) {
    stcFSVolumeParms parms = FSStandInTestDefaultVolumeParms();
    parms.lngVolumeGrade = c.grade;
    ASSERT_EQ(noErr, FSStandInTestSetVolumeParms(startup, parms));
    CopyBufferContext context;
    Boolean isFolder;
    ASSERT_EQ(noErr, FSCopyObjectPreflight(&file, &dst, kCopyClashFail, &context, &isFolder));
    EXPECT_EQ(c.size, context.bufferSize) << c.grade;
    std::free(context.buffer);
  }
  // A small buffer still copies a fork of many chunks whose end is not block-aligned.
  std::string const data = Pattern(10 * 1024 + 77, 9);
  MakeFile("/src", "chunks", data);
  stcFSVolumeParms parms = FSStandInTestDefaultVolumeParms();
  parms.lngVolumeGrade = -1000;
  ASSERT_EQ(noErr, FSStandInTestSetVolumeParms(startup, parms));
  ASSERT_EQ(noErr, Copy("/src/chunks", "/dst"));
  EXPECT_EQ(data, ReadFork("/dst/chunks", false));
}

TEST_F(FSCopyObjectTest, MoveCopyNeverLeavesAForkBehind) {
  MakeFile("/src", "m.txt", "data fork", "resource fork");
  // A plain copy skips a fork it cannot create.
  FSStandInTestFailNext("FSCreateFork", "/Volumes/Other/m.txt", permErr);
  ASSERT_EQ(noErr, CopyForMove("/src/m.txt", "/Volumes/Other", false));
  EXPECT_EQ("", ReadFork("/Volumes/Other/m.txt", false));
  EXPECT_EQ("resource fork", ReadFork("/Volumes/Other/m.txt", true));
  // The copy of a move fails instead and leaves no partial copy.
  MakeFolder("/Volumes/Other", "strict");
  FSStandInTestFailNext("FSCreateFork", "/Volumes/Other/strict/m.txt", permErr);
  EXPECT_EQ(permErr, CopyForMove("/src/m.txt", "/Volumes/Other/strict", true));
  EXPECT_FALSE(Exists("/Volumes/Other/strict/m.txt"));
  EXPECT_EQ(noErr, CopyForMove("/src/m.txt", "/Volumes/Other/strict", true));
  EXPECT_EQ("data fork", ReadFork("/Volumes/Other/strict/m.txt", false));

  // The platform move itself refuses other volumes, and the source stays.
  FSRef src = Ref("/src/m.txt"), other = Ref("/Volumes/Other"), moved;
  EXPECT_EQ(diffVolErr, FSMoveRenameObjectUnicode(&src, &other, 0, nullptr, 0, &moved));
  EXPECT_TRUE(Exists("/src/m.txt"));
}

TEST_F(FSCopyObjectTest, MovesAndRenamesInOneStepOrNotAtAll) {
  MakeFolder("/src", "A");
  MakeFile("/src/A", "f", "F");
  MakeFile("/dst", "taken", "T");
  FSRef file = Ref("/src/A/f"), dst = Ref("/dst"), moved;
  HFSUniStr255 taken = Name("taken"), fresh = Name("g");
  EXPECT_EQ(dupFNErr,
            FSMoveRenameObjectUnicode(&file, &dst, taken.length, taken.unicode, 0, &moved));
  EXPECT_EQ("F", ReadFork("/src/A/f", false));
  EXPECT_EQ("T", ReadFork("/dst/taken", false));
  EXPECT_EQ(1u, Items("/dst"));

  ASSERT_EQ(noErr, FSMoveRenameObjectUnicode(&file, &dst, fresh.length, fresh.unicode, 0, &moved));
  EXPECT_EQ("F", ReadFork("/dst/g", false));
  EXPECT_EQ(noErr, FSCompareFSRefs(&moved, &file));  // references follow the move
  FSRef back = Ref("/src/A");
  ASSERT_EQ(noErr, FSMoveRenameObjectUnicode(&moved, &back, 0, nullptr, 0, &moved));
  EXPECT_TRUE(Exists("/src/A/g"));
  HFSUniStr255 inPlace = Name("h");
  ASSERT_EQ(noErr, FSMoveRenameObjectUnicode(&moved, &back, inPlace.length, inPlace.unicode, 0,
                                             &moved));
  EXPECT_EQ("F", ReadFork("/src/A/h", false));
  EXPECT_EQ(paramErr, FSMoveRenameObjectUnicode(&moved, &back, 0, nullptr, 0, nullptr));
}

TEST_F(FSCopyObjectTest, ChangesTypeCreatorAndTouchesDates) {
  MakeFile("/src", "t", "t");
  FSRef file = Ref("/src/t"), folder = Ref("/src");
  ASSERT_EQ(noErr, FSChangeCreatorType(&file, MakeFourCharCode("R*ch"), MakeFourCharCode("TEXT")));
  ASSERT_EQ(noErr, FSChangeCreatorType(&file, 0, MakeFourCharCode("PDF ")));
  EXPECT_EQ(MakeFourCharCode("PDF "), FinderInfo("/src/t").fdType);
  EXPECT_EQ(MakeFourCharCode("R*ch"), FinderInfo("/src/t").fdCreator);
  EXPECT_EQ(notAFileErr, FSChangeCreatorType(&folder, 0, 0));

  FSCatalogInfo info = {};
  info.contentModDate = UTCDateTime{0, 100, 0};
  ASSERT_EQ(noErr, FSSetCatalogInfo(&file, kFSCatInfoContentMod, &info));
  ASSERT_EQ(noErr, FSBumpDate(&file));
  UTCDateTime const first = Info("/src/t", kFSCatInfoContentMod).contentModDate;
  EXPECT_GT(first.lowSeconds, 100u);
  ASSERT_EQ(noErr, FSBumpDate(&file));
  UTCDateTime const second = Info("/src/t", kFSCatInfoContentMod).contentModDate;
  EXPECT_TRUE(second.lowSeconds > first.lowSeconds ||
              (second.lowSeconds == first.lowSeconds && second.fraction > first.fraction));

  // With the clock pinned: the date becomes the clock's, one second later when the clock gives
  // exactly the stored date (carrying into the high seconds).
  struct {
    UTCDateTime stored, clock, expected;
  } const bumps[] = {
      {{0, 100, 0}, {0, 100, 0}, {0, 101, 0}},
      {{0, 100, 0x8000}, {0, 100, 0x8000}, {0, 101, 0x8000}},
      {{0, 100, 0}, {0, 100, 1}, {0, 100, 1}},
      {{0, 100, 5}, {0, 100, 0}, {0, 100, 0}},  // an earlier clock is taken as it is
      {{0, 0xFFFFFFFFu, 7}, {0, 0xFFFFFFFFu, 7}, {1, 0, 7}},
  };
  for (auto const& b : bumps) {
    info.contentModDate = b.stored;
    ASSERT_EQ(noErr, FSSetCatalogInfo(&file, kFSCatInfoContentMod, &info));
    FSStandInTestSetUTCDateTime(&b.clock);
    ASSERT_EQ(noErr, FSBumpDate(&file));
    UTCDateTime const got = Info("/src/t", kFSCatInfoContentMod).contentModDate;
    EXPECT_EQ(b.expected.highSeconds, got.highSeconds) << b.stored.lowSeconds;
    EXPECT_EQ(b.expected.lowSeconds, got.lowSeconds) << b.stored.lowSeconds;
    EXPECT_EQ(b.expected.fraction, got.fraction) << b.stored.lowSeconds;
  }
  FSStandInTestSetUTCDateTime(nullptr);
}

Boolean RecordRef(Boolean, UInt32, OSErr err, FSCatalogInfo const*, FSRef const* ref,
                  FSSpec const*, HFSUniStr255 const*, void* data) {
  auto* calls = static_cast<std::vector<std::pair<OSErr, FSRef>>*>(data);
  calls->push_back({err, ref != nullptr ? *ref : FSRef{}});
  return false;
}

TEST_F(FSCopyObjectTest, FailedReplaceNeverHandsTheOriginalToTheFilter) {
  MakeFile("/src", "big", Pattern(300000, 5));
  MakeFile("/dst", "big", "old");
  FSRef const original = Ref("/dst/big");
  FSStandInTestFailNext("FSWriteFork", "/dst/big", dskFulErr);
  std::vector<std::pair<OSErr, FSRef>> calls;
  FSRef src = Ref("/src/big"), dst = Ref("/dst");
  EXPECT_EQ(dskFulErr, FSCopyObject(&src, &dst, 0, kFSCatInfoNone, kCopyClashReplace, false,
                                    false, RecordRef, &calls, nullptr, nullptr));
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(dskFulErr, calls[0].first);
  // A filter that cleans up after the failure must not be pointed at the user's file.
  EXPECT_NE(noErr, FSCompareFSRefs(&calls[0].second, &original));
  EXPECT_EQ("old", ReadFork("/dst/big", false));
}

TEST_F(FSCopyObjectTest, InjectedFailuresLeaveNoPartialCopies) {
  std::string const data = Pattern(300000, 4);
  MakeFile("/src", "big", data, "rsrc");
  struct {
    char const* call;
    OSErr code;
  } const faults[] = {{"FSWriteFork", dskFulErr}, {"FSReadFork", ioErr},
                      {"FSAllocateFork", dskFulErr}, {"FSSetForkSize", ioErr},
                      {"FSSetCatalogInfo", permErr}, {"FSCreateFileUnicode", dirFulErr}};
  for (auto const& f : faults) {
    FSStandInTestClearFaults();
    bool const onSource = std::string(f.call) == "FSReadFork";
    FSStandInTestFailNext(f.call, onSource ? "/src/big" : "/dst/big", f.code);
    EXPECT_EQ(f.code, Copy("/src/big", "/dst")) << f.call;
    EXPECT_FALSE(Exists("/dst/big")) << f.call;
  }
  // Replace keeps the old item when the new copy fails.
  FSStandInTestClearFaults();
  MakeFile("/dst", "big", "old");
  FSStandInTestFailNext("FSWriteFork", "/dst/big", dskFulErr);
  EXPECT_EQ(dskFulErr, Copy("/src/big", "/dst", kCopyClashReplace));
  EXPECT_EQ("old", ReadFork("/dst/big", false));
  EXPECT_FALSE(Exists("/dst/.DeleteMe"));

  // In a tree an item's failure reaches the filter only; the rest is copied.
  MakeFolder("/src", "tree");
  MakeFile("/src/tree", "bad", "b");
  MakeFile("/src/tree", "good", "g");
  FSStandInTestFailNext("FSCreateFileUnicode", "/dst/tree/bad", dirFulErr);
  FSRef tree = Ref("/src/tree"), dst = Ref("/dst");
  stcSeen seen;
  ASSERT_EQ(noErr, FSCopyObject(&tree, &dst, 0, kFSCatInfoNone, kCopyClashFail, false, true,
                                RecordItem, &seen, nullptr, nullptr));
  EXPECT_FALSE(Exists("/dst/tree/bad"));
  EXPECT_EQ("g", ReadFork("/dst/tree/good", false));
  EXPECT_NE(seen.items.end(), std::find(seen.items.begin(), seen.items.end(),
                                        std::make_pair(UInt32(1), std::string("!bad"))));
  // A folder that cannot be read ends the copy with that error.
  FSStandInTestFailNext("FSGetCatalogInfoBulk", "/src/tree", ioErr);
  MakeFolder("/dst", "second");
  FSRef second = Ref("/dst/second");
  EXPECT_EQ(ioErr, FSCopyObject(&tree, &second, 0, kFSCatInfoNone, kCopyClashFail, false, false,
                                nullptr, nullptr, nullptr, nullptr));
}

}  // namespace
