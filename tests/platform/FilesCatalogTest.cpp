// Tests of the File Manager stand-in's catalogue over a temporary root: catalog information
// round trips (dates, type and creator, locked), names on disk, sidecars travelling with their
// item and hidden from iteration, deletion, renaming and moving with their failures, bulk reads,
// symbolic links never followed, volume parameters, access rights and the server copy.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesStandIn.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

std::vector<UniChar> Units(std::string const& text) {
  std::u16string units = FSStandInUTF8ToUTF16(text);
  return std::vector<UniChar>(units.begin(), units.end());
}

class FilesCatalogTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-catalog", {"/a", "/b", "/Volumes/Data", "/outside"}));
    ASSERT_EQ(InstallRoot(), noErr);
  }
  void TearDown() override { RemoveRoot(); }
  // lstat: a link counts as there even when what it points at is not.
  bool Exists(std::string const& path) const {
    struct stat st;
    return lstat(Real(path).c_str(), &st) == 0;
  }
  FSRef Ref(std::string const& path) {
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<UInt8 const*>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
  }
  OSErr Create(std::string const& folder, std::string const& name, FSRef* out = nullptr, bool dir = false) {
    FSRef parent = Ref(folder), made;
    std::vector<UniChar> units = Units(name);
    return dir ? FSCreateDirectoryUnicode(&parent, units.size(), units.data(), kFSCatInfoNone, nullptr,
                                          out ? out : &made, nullptr, nullptr)
               : FSCreateFileUnicode(&parent, units.size(), units.data(), kFSCatInfoNone, nullptr,
                                     out ? out : &made, nullptr);
  }
  // Gives a file a resource fork through the fork calls.
  void WriteRsrc(FSRef const& file, std::string const& data) {
    HFSUniStr255 rsrc;
    FSGetResourceForkName(&rsrc);
    FSIORefNum refNum = 0;
    ASSERT_EQ(FSOpenFork(&file, rsrc.length, rsrc.unicode, fsWrPerm, &refNum), noErr);
    ASSERT_EQ(FSWriteFork(refNum, fsFromStart, 0, ByteCount(data.size()), data.data(), nullptr), noErr);
    ASSERT_EQ(FSCloseFork(refNum), noErr);
  }
  std::string PathOf(FSRef const& ref) {
    std::string strPath;
    EXPECT_EQ(FSStandInRefGetPath(&ref, &strPath), noErr);
    return strPath;
  }
  std::vector<std::string> List(std::string const& folder, ItemCount batch = 3) {
    FSRef ref = Ref(folder);
    FSIterator iterator;
    EXPECT_EQ(FSOpenIterator(&ref, kFSIterateFlat, &iterator), noErr);
    std::vector<std::string> vecNames;
    OSErr err = noErr;
    while (err == noErr) {
      std::vector<HFSUniStr255> names(batch);
      ItemCount count = 0;
      err = FSGetCatalogInfoBulk(iterator, batch, &count, nullptr, kFSCatInfoNone, nullptr, nullptr,
                                 nullptr, names.data());
      for (ItemCount i = 0; i < count; ++i)
        vecNames.push_back(FSStandInUTF16ToUTF8(names[i].unicode, names[i].length));
    }
    EXPECT_EQ(err, errFSNoMoreItems);
    EXPECT_EQ(FSCloseIterator(iterator), noErr);
    return vecNames;
  }
};

TEST_F(FilesCatalogTest, CatalogInfoRoundTrips) {
  FSRef file, folder;
  ASSERT_EQ(Create("/a", "doc.txt", &file), noErr);
  ASSERT_EQ(Create("/a", "sub", &folder, true), noErr);
  FSCatalogInfo info = {};
  info.createDate = UTCDateTime{0, 3000000000u, 0x8000};
  info.contentModDate = UTCDateTime{0, 3100000000u, 0};
  info.accessDate = UTCDateTime{0, 3200000000u, 0};
  info.permissions[2] = 0640;
  info.nodeFlags = kFSNodeLockedMask;
  OSType const type = MakeFourCharCode("TEXT"), creator = MakeFourCharCode("ttxt");
  std::memcpy(info.finderInfo, &type, 4);
  std::memcpy(info.finderInfo + 4, &creator, 4);
  UInt16 const flags = kHasBeenInited | kIsInvisible;
  std::memcpy(info.finderInfo + 8, &flags, 2);
  FSCatalogInfoBitmap const which = kFSCatInfoCreateDate | kFSCatInfoContentMod | kFSCatInfoAccessDate |
                                    kFSCatInfoPermissions | kFSCatInfoNodeFlags | kFSCatInfoFinderInfo;
  for (FSRef* ref : {&file, &folder}) {
    ASSERT_EQ(FSSetCatalogInfo(ref, which, &info), noErr);
    FSCatalogInfo got = {};
    ASSERT_EQ(FSGetCatalogInfo(ref, kFSCatInfoGettableInfo, &got, nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(got.createDate.lowSeconds, 3000000000u);
    EXPECT_EQ(got.createDate.fraction, 0x8000);
    EXPECT_EQ(got.contentModDate.lowSeconds, 3100000000u);
    EXPECT_EQ(got.accessDate.lowSeconds, 3200000000u);
    EXPECT_EQ(got.permissions[2] & 0777, 0640u);
    EXPECT_NE(got.nodeFlags & kFSNodeLockedMask, 0);
    EXPECT_EQ(std::memcmp(got.finderInfo, info.finderInfo, 10), 0);
  }
  // Stored big-endian on disk, whatever the machine: the type reads "TEXT" in the attribute.
  char chrStored[32];
  ASSERT_EQ(getxattr(Real("/a/doc.txt").c_str(), "user.velmora.FinderInfo", chrStored, 32), 32);
  EXPECT_EQ(std::string(chrStored, 8), "TEXTttxt");

  // A locked item cannot be deleted, renamed or written until it is unlocked.
  std::vector<UniChar> name = Units("renamed.txt");
  FSIORefNum refNum = 0;
  EXPECT_EQ(FSDeleteObject(&file), fLckdErr);
  EXPECT_EQ(FSRenameUnicode(&file, name.size(), name.data(), kTextEncodingUnknown, nullptr), fLckdErr);
  EXPECT_EQ(FSOpenFork(&file, 0, nullptr, fsWrPerm, &refNum), permErr);
  info.nodeFlags = 0;
  ASSERT_EQ(FSSetCatalogInfo(&file, kFSCatInfoNodeFlags, &info), noErr);
  EXPECT_EQ(FSRenameUnicode(&file, name.size(), name.data(), kTextEncodingUnknown, nullptr), noErr);
  EXPECT_EQ(FSSetCatalogInfo(&file, kFSCatInfoValence, &info), errFSBadInfoBitmap);

  // The FSSpec form of the Finder information.
  FSSpec spec;
  FInfo finder;
  ASSERT_EQ(FSGetCatalogInfo(&file, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);
  ASSERT_EQ(FSpGetFInfo(&spec, &finder), noErr);
  EXPECT_EQ(finder.fdType, type);
  finder.fdCreator = MakeFourCharCode("R*ch");
  ASSERT_EQ(FSpSetFInfo(&spec, &finder), noErr);
  ASSERT_EQ(FSpGetFInfo(&spec, &finder), noErr);
  EXPECT_EQ(finder.fdCreator, MakeFourCharCode("R*ch"));
  EXPECT_EQ(finder.fdType, type);

  // Without a stored date the creation date is the birth time (or no later than now).
  FSRef fresh;
  ASSERT_EQ(Create("/b", "fresh", &fresh), noErr);
  FSCatalogInfo now;
  ASSERT_EQ(FSGetCatalogInfo(&fresh, kFSCatInfoCreateDate, &now, nullptr, nullptr, nullptr), noErr);
  UTCDateTime clock;
  ASSERT_EQ(GetUTCDateTime(&clock, kUTCDefaultOptions), noErr);
  EXPECT_LE(now.createDate.lowSeconds, clock.lowSeconds);
  EXPECT_GT(now.createDate.lowSeconds + 60, clock.lowSeconds);
}

TEST_F(FilesCatalogTest, NamesOnDiskAndTheirLimits) {
  FSRef file;
  ASSERT_EQ(Create("/a", "a/b", &file), noErr);
  EXPECT_TRUE(Exists("/a/a:b"));  // a Finder '/' is ':' on disk
  HFSUniStr255 name;
  ASSERT_EQ(FSGetCatalogInfo(&file, kFSCatInfoNone, nullptr, &name, nullptr, nullptr), noErr);
  EXPECT_EQ(FSStandInUTF16ToUTF8(name.unicode, name.length), "a/b");
  EXPECT_EQ(List("/a"), std::vector<std::string>{"a/b"});

  struct {
    std::string strName;
    OSErr intExpected;
  } const cases[] = {
      {std::string(253, 'x'), noErr},     // with "._" the sidecar still fits 255 bytes
      {std::string(254, 'x'), bdNamErr},  // its sidecar would not
      {std::string(256, 'x'), bdNamErr},
      {std::string(127, 'x') + "\xC3\xA9", noErr},  // 129 bytes
      {std::string(100, 'x') + std::string(60, 'y'), noErr},
      {"._hidden", noErr},                              // an ordinary file: no sidecar header
      {"a:b", bdNamErr},
      {"", bdNamErr},
      {"a/b", dupFNErr},
  };
  for (auto const& c : cases) {
    std::vector<UniChar> units = Units(c.strName);
    FSRef parent = Ref("/a"), made;
    EXPECT_EQ(FSCreateFileUnicode(&parent, units.size(), units.data(), kFSCatInfoNone, nullptr, &made,
                                  nullptr),
              c.intExpected)
        << c.strName.size();
  }
  // 200 units of two bytes each: within 255 units, beyond 255 bytes on disk.
  std::vector<UniChar> accents(200, 0x00E9);
  FSRef parent = Ref("/a"), made;
  EXPECT_EQ(FSCreateFileUnicode(&parent, accents.size(), accents.data(), kFSCatInfoNone, nullptr,
                                &made, nullptr),
            bdNamErr);
  // Never truncated: nothing of the refused names reached the disk.
  for (auto const& entry : std::filesystem::directory_iterator(Real("/a")))
    EXPECT_LE(entry.path().filename().string().size(), 253u);
}

TEST_F(FilesCatalogTest, SidecarsTravelWithTheirFile) {
  FSRef file;
  ASSERT_EQ(Create("/a", "f.txt", &file), noErr);
  WriteRsrc(file, "resource bytes");
  EXPECT_TRUE(Exists("/a/._f.txt"));
  EXPECT_EQ(List("/a"), std::vector<std::string>{"f.txt"});  // the sidecar is no item
  FSCatalogInfo info;
  FSRef folderA = Ref("/a");
  ASSERT_EQ(FSGetCatalogInfo(&folderA, kFSCatInfoValence, &info, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(info.valence, 1u);

  std::vector<UniChar> name = Units("g.txt");
  FSRef renamed, moved;
  ASSERT_EQ(FSRenameUnicode(&file, name.size(), name.data(), kTextEncodingUnknown, &renamed), noErr);
  EXPECT_TRUE(Exists("/a/._g.txt"));
  EXPECT_FALSE(Exists("/a/._f.txt"));
  FSRef folderB = Ref("/b");
  ASSERT_EQ(FSMoveObject(&renamed, &folderB, &moved), noErr);
  EXPECT_TRUE(Exists("/b/g.txt"));
  EXPECT_TRUE(Exists("/b/._g.txt"));
  EXPECT_FALSE(Exists("/a/._g.txt"));
  EXPECT_EQ(PathOf(file), "/b/g.txt");  // the first reference followed both steps
  ASSERT_EQ(FSGetCatalogInfo(&file, kFSCatInfoRsrcSizes, &info, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(info.rsrcLogicalSize, 14u);

  // The file server's copy takes the sidecar along.
  FSVolumeRefNum vRefNum = 0;
  ASSERT_EQ(FSGetVolumeInfo(0, 1, &vRefNum, kFSVolInfoNone, nullptr, nullptr, nullptr), noErr);
  stcFSVolumeParms parms = FSStandInTestDefaultVolumeParms();
  parms.lngServerAdr = 0x0A000001;
  parms.lngAttrib |= SInt32(1u << bHasCopyFile);
  ASSERT_EQ(FSStandInTestSetVolumeParms(vRefNum, parms), noErr);
  FSSpec spec;
  FSCatalogInfo folderInfo;
  ASSERT_EQ(FSGetCatalogInfo(&moved, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);
  ASSERT_EQ(FSGetCatalogInfo(&folderA, kFSCatInfoNodeID, &folderInfo, nullptr, nullptr, nullptr), noErr);
  HParamBlockRec pb = {};
  unsigned char chrCopyName[] = "\x06" "h.copy";
  pb.copyParam.ioVRefNum = spec.vRefNum;
  pb.copyParam.ioDirID = spec.parID;
  pb.copyParam.ioNamePtr = spec.name;
  pb.copyParam.ioDstVRefNum = spec.vRefNum;
  pb.copyParam.ioNewDirID = SInt32(folderInfo.nodeID);
  pb.copyParam.ioCopyName = chrCopyName;
  ASSERT_EQ(PBHCopyFileSync(&pb), noErr);
  EXPECT_TRUE(Exists("/a/h.copy"));
  EXPECT_TRUE(Exists("/a/._h.copy"));
  EXPECT_EQ(PBHCopyFileSync(&pb), dupFNErr);
  FSStandInTestClearVolumeParms();
  EXPECT_EQ(PBHCopyFileSync(&pb), wrgVolTypErr);  // a local volume copies nothing itself

  // Deleting takes the sidecar too; the reference is dead afterwards.
  FSRef copy = Ref("/a/h.copy");
  ASSERT_EQ(FSDeleteObject(&copy), noErr);
  EXPECT_FALSE(Exists("/a/._h.copy"));
  EXPECT_EQ(FSGetCatalogInfo(&copy, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), fnfErr);

  // Only the AppleDouble header makes a "._" file a sidecar: any other is an item of its own,
  // listed, counted, and neither deleted nor moved with the file of its name. A sidecar's own
  // name is taken, and it is no item to look up.
  FSRef notes;
  ASSERT_EQ(Create("/a", "n.txt", &notes), noErr);
  std::ofstream(Real("/a/._n.txt")) << "notes, no sidecar";
  EXPECT_EQ(List("/a"), (std::vector<std::string>{"._n.txt", "n.txt"}));
  ASSERT_EQ(FSGetCatalogInfo(&folderA, kFSCatInfoValence, &info, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(info.valence, 2u);
  ASSERT_EQ(FSMoveObject(&notes, &folderB, &moved), noErr);
  EXPECT_TRUE(Exists("/a/._n.txt"));
  EXPECT_FALSE(Exists("/b/._n.txt"));
  ASSERT_EQ(FSDeleteObject(&moved), noErr);
  std::ofstream(Real("/b/._n.txt")) << "more notes";
  FSRef again;
  ASSERT_EQ(Create("/b", "n.txt", &again), noErr);  // never taken for an orphan sidecar
  ASSERT_EQ(FSDeleteObject(&again), noErr);
  EXPECT_TRUE(Exists("/a/._n.txt"));
  EXPECT_TRUE(Exists("/b/._n.txt"));
  EXPECT_EQ(Create("/b", "._g.txt", &again), dupFNErr);
  Boolean isDir = false;
  EXPECT_EQ(FSPathMakeRef(reinterpret_cast<UInt8 const*>("/b/._g.txt"), &again, &isDir), fnfErr);
}

TEST_F(FilesCatalogTest, DeleteRenameAndMoveFailures) {
  FSRef sub, inner, file, data;
  ASSERT_EQ(Create("/a", "sub", &sub, true), noErr);
  ASSERT_EQ(Create("/a/sub", "inner.txt", &inner), noErr);
  ASSERT_EQ(Create("/b", "x", &file), noErr);
  EXPECT_EQ(FSDeleteObject(&sub), fBsyErr);  // not empty
  FSRef volumeData = Ref("/Volumes/Data");
  EXPECT_EQ(FSMoveObject(&file, &volumeData, nullptr), diffVolErr);
  EXPECT_TRUE(Exists("/b/x"));
  EXPECT_EQ(FSMoveObject(&sub, &inner, nullptr), errFSNotAFolder);
  FSRef folderA = Ref("/a");
  EXPECT_EQ(FSMoveObject(&folderA, &sub, nullptr), badMovErr);
  std::vector<UniChar> name = Units("sub");
  EXPECT_EQ(FSRenameUnicode(&file, name.size(), name.data(), kTextEncodingUnknown, nullptr), noErr);
  FSRef folderB = Ref("/b");
  EXPECT_EQ(FSMoveObject(&sub, &folderB, nullptr), dupFNErr);  // /b/sub is the renamed file
  EXPECT_EQ(FSDeleteObject(&volumeData), paramErr);              // a volume's root

  // A file with an open fork is busy.
  FSIORefNum refNum = 0;
  ASSERT_EQ(FSOpenFork(&inner, 0, nullptr, fsRdPerm, &refNum), noErr);
  EXPECT_EQ(FSDeleteObject(&inner), fBsyErr);
  ASSERT_EQ(FSCloseFork(refNum), noErr);
  ASSERT_EQ(FSDeleteObject(&inner), noErr);
  // Moving a folder: every reference below it follows.
  ASSERT_EQ(Create("/a/sub", "deep", &data, true), noErr);
  FSRef moved;
  ASSERT_EQ(FSMoveObject(&sub, &volumeData, &moved), diffVolErr);
  FSRef folderBsub = Ref("/b/sub");
  ASSERT_EQ(FSDeleteObject(&folderBsub), noErr);
  ASSERT_EQ(FSMoveObject(&sub, &folderB, &moved), noErr);
  EXPECT_EQ(PathOf(data), "/b/sub/deep");
  EXPECT_EQ(FSCompareFSRefs(&moved, &sub), noErr);
}

TEST_F(FilesCatalogTest, BulkReadsInBatches) {
  for (char c = 'e'; c >= 'a'; --c) ASSERT_EQ(Create("/b", std::string(1, c)), noErr);
  ASSERT_EQ(Create("/b", "dir", nullptr, true), noErr);
  EXPECT_EQ(List("/b", 3), (std::vector<std::string>{"a", "b", "c", "d", "dir", "e"}));
  EXPECT_EQ(List("/b", 2).size(), 6u);  // an exactly filled last batch, then the end
  EXPECT_EQ(List("/b", 32).size(), 6u);

  FSRef folder = Ref("/b");
  FSIterator iterator;
  ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &iterator), noErr);
  std::vector<FSCatalogInfo> infos(8);
  std::vector<FSRef> refs(8);
  ItemCount count = 0;
  Boolean changed = TRUE;
  EXPECT_EQ(FSGetCatalogInfoBulk(iterator, 0, &count, &changed, kFSCatInfoNone, nullptr, nullptr,
                                 nullptr, nullptr),
            errFSBadItemCount);
  FSRef fileB = Ref("/b/b");
  ASSERT_EQ(FSDeleteObject(&fileB), noErr);  // gone before it is read
  EXPECT_EQ(FSGetCatalogInfoBulk(iterator, 8, &count, &changed, kFSCatInfoNodeFlags, infos.data(),
                                 refs.data(), nullptr, nullptr),
            errFSNoMoreItems);
  ASSERT_EQ(count, 5u);
  EXPECT_TRUE(changed);
  EXPECT_NE(infos[3].nodeFlags & kFSNodeIsDirectoryMask, 0);  // "dir"
  EXPECT_EQ(PathOf(refs[3]), "/b/dir");
  EXPECT_EQ(FSCloseIterator(iterator), noErr);
  EXPECT_EQ(FSCloseIterator(iterator), errFSIteratorNotFound);
  EXPECT_EQ(FSOpenIterator(&folder, kFSIterateSubtree, &iterator), errFSIteratorNotSupported);
  FSRef file = Ref("/b/a");
  EXPECT_EQ(FSOpenIterator(&file, kFSIterateFlat, &iterator), errFSNotAFolder);
}

TEST_F(FilesCatalogTest, SymbolicLinksAreNeverFollowed) {
  std::ofstream(Real("/outside/keep.txt")) << "keep";
  ASSERT_EQ(symlink(Real("/outside").c_str(), Real("/a/link").c_str()), 0);
  ASSERT_EQ(symlink("/nowhere", Real("/a/dangling").c_str()), 0);
  EXPECT_EQ(List("/a"), (std::vector<std::string>{"dangling", "link"}));

  FSRef folder = Ref("/a");
  FSIterator iterator;
  ASSERT_EQ(FSOpenIterator(&folder, kFSIterateFlat, &iterator), noErr);
  FSCatalogInfo infos[2];
  FSRef refs[2];
  ItemCount count = 0;
  EXPECT_EQ(FSGetCatalogInfoBulk(iterator, 2, &count, nullptr, kFSCatInfoNodeFlags | kFSCatInfoFinderInfo,
                                 infos, refs, nullptr, nullptr),
            noErr);
  ASSERT_EQ(count, 2u);
  FSCloseIterator(iterator);
  for (FSCatalogInfo const& info : infos) {
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);  // a link is no folder
    OSType type;
    std::memcpy(&type, info.finderInfo, 4);
    EXPECT_EQ(type, MakeFourCharCode("slnk"));
  }
  // Deleting the link item removes the link, not what it leads to.
  ASSERT_EQ(FSDeleteObject(&refs[1]), noErr);
  EXPECT_FALSE(Exists("/a/link"));
  EXPECT_TRUE(Exists("/outside/keep.txt"));
  ASSERT_EQ(FSDeleteObject(&refs[0]), noErr);

  // FSPathMakeRef follows a last-step link to an object below the root.
  ASSERT_EQ(symlink(Real("/outside").c_str(), Real("/a/link").c_str()), 0);
  Boolean isDir = FALSE;
  FSRef followed;
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<UInt8 const*>("/a/link"), &followed, &isDir), noErr);
  EXPECT_TRUE(isDir);
  EXPECT_EQ(PathOf(followed), "/outside");
  // ... unless the caller asks for the link itself, which the mode then says it is.
  FSRef itself;
  ASSERT_EQ(FSPathMakeRefWithOptions(reinterpret_cast<UInt8 const*>("/a/link"),
                                     kFSPathMakeRefDoNotFollowLeafSymlink, &itself, &isDir),
            noErr);
  EXPECT_FALSE(isDir);
  EXPECT_EQ(PathOf(itself), "/a/link");
  FSCatalogInfo kind;
  ASSERT_EQ(FSGetCatalogInfo(&itself, kFSCatInfoPermissions, &kind, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(kind.permissions[2] & S_IFMT, UInt32(S_IFLNK));

  // A FIFO is an item whose forks are neither iterated nor opened (an open would wait for a
  // writer); nothing here blocks.
  ASSERT_EQ(mkfifo(Real("/a/fifo").c_str(), 0600), 0);
  FSRef fifo = Ref("/a/fifo");
  ASSERT_EQ(FSGetCatalogInfo(&fifo, kFSCatInfoPermissions, &kind, nullptr, nullptr, nullptr), noErr);
  EXPECT_EQ(kind.permissions[2] & S_IFMT, UInt32(S_IFIFO));
  CatPositionRec position = {};
  EXPECT_EQ(FSIterateForks(&fifo, &position, nullptr, nullptr, nullptr), afpObjectTypeErr);
  FSIORefNum forkRef = 0;
  EXPECT_EQ(FSOpenFork(&fifo, 0, nullptr, fsRdPerm, &forkRef), afpObjectTypeErr);
  EXPECT_EQ(FSOpenFork(&fifo, 0, nullptr, fsWrPerm, &forkRef), afpObjectTypeErr);

  // Anyone may type a file 'slnk'/'rhap': that stays an ordinary file with its own bytes.
  std::ofstream(Real("/b/copy")) << "../outside";
  FSRef copy = Ref("/b/copy");
  FSSpec spec;
  ASSERT_EQ(FSGetCatalogInfo(&copy, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);
  FInfo finder = {};
  finder.fdType = MakeFourCharCode("slnk");
  finder.fdCreator = MakeFourCharCode("rhap");
  ASSERT_EQ(FSpSetFInfo(&spec, &finder), noErr);
  EXPECT_FALSE(std::filesystem::is_symlink(Real("/b/copy")));
  FSCatalogInfo link;
  ASSERT_EQ(FSGetCatalogInfo(&itself, kFSCatInfoPermissions | kFSCatInfoFinderInfo, &link, nullptr,
                             nullptr, nullptr),
            noErr);
  ASSERT_EQ(FSSetCatalogInfo(&copy, kFSCatInfoFinderInfo, &link), noErr);
  EXPECT_FALSE(std::filesystem::is_symlink(Real("/b/copy")));
  // A copied link comes back as a link: a file whose data is the text gets a link's mode.
  ASSERT_EQ(FSSetCatalogInfo(&copy, kFSCatInfoPermissions, &link), noErr);
  EXPECT_EQ(std::filesystem::read_symlink(Real("/b/copy")).string(), "../outside");
}

TEST_F(FilesCatalogTest, VolumeParametersAndAccessRights) {
  FSVolumeRefNum intData = 0;
  ASSERT_EQ(FSGetVolumeInfo(0, 2, &intData, kFSVolInfoNone, nullptr, nullptr, nullptr), noErr);
  GetVolParmsInfoBuffer parms;
  HParamBlockRec pb = {};
  pb.ioParam.ioVRefNum = intData;
  pb.ioParam.ioBuffer = reinterpret_cast<Ptr>(&parms);
  pb.ioParam.ioReqCount = 32;
  ASSERT_EQ(PBHGetVolParmsSync(&pb), noErr);
  EXPECT_EQ(pb.ioParam.ioActCount, 32);
  EXPECT_EQ(parms.vMServerAdr, 0);
  stcFSVolumeParms set = {SInt32(1u << bHasCopyFile), 0x0A000002, -100000, 0};
  ASSERT_EQ(FSStandInTestSetVolumeParms(intData, set), noErr);
  ASSERT_EQ(PBHGetVolParmsSync(&pb), noErr);
  EXPECT_EQ(parms.vMServerAdr, 0x0A000002);
  EXPECT_EQ(parms.vMVolumeGrade, -100000);
  EXPECT_NE(parms.vMAttrib & (1 << bHasCopyFile), 0);
  pb.ioParam.ioVRefNum = -4242;
  EXPECT_EQ(PBHGetVolParmsSync(&pb), nsvErr);

  // Access rights: none on a local volume unless set; from the mode on a server's.
  FSRef box = Ref("/a"), serverFolder = Ref("/Volumes/Data");
  auto Access = [](FSRef const& folder, SInt32* rights) {
    FSSpec spec;
    EXPECT_EQ(FSGetCatalogInfo(&folder, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);
    HParamBlockRec access = {};
    access.accessParam.ioNamePtr = spec.name;
    access.accessParam.ioVRefNum = spec.vRefNum;
    access.fileParam.ioDirID = spec.parID;
    OSErr err = PBHGetDirAccessSync(&access);
    *rights = access.accessParam.ioACAccess;
    return err;
  };
  SInt32 rights = 0;
  EXPECT_EQ(Access(box, &rights), paramErr);
  ASSERT_EQ(FSStandInTestSetDirAccess(&box, 0x04000000), noErr);
  EXPECT_EQ(Access(box, &rights), noErr);
  EXPECT_EQ(rights, 0x04000000);
  ASSERT_EQ(chmod(Real("/Volumes/Data").c_str(), 0755), 0);
  EXPECT_EQ(Access(serverFolder, &rights), noErr);
  EXPECT_EQ(UInt32(rights) & 0x07000000u, 0x07000000u);  // the owner may do everything

  // Local time and UTC convert both ways.
  UInt32 ulngUTC = 0, ulngLocal = 0;
  ASSERT_EQ(ConvertLocalTimeToUTC(0x4F3AFDB0, &ulngUTC), noErr);
  ASSERT_EQ(ConvertUTCToLocalTime(ulngUTC, &ulngLocal), noErr);
  EXPECT_EQ(ulngLocal, 0x4F3AFDB0u);
}

}  // namespace
