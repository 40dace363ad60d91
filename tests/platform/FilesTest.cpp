// Tests of the File Manager stand-in over a temporary root: the reference table (equality,
// threads, following moves and deletions), names, volumes by index, the climb to the startup
// volume's name, catalog information and specs, and FSFindFolder's mapping and overrides.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesStandIn.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

class FilesTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-files", {"/Users/bob", "/Volumes/Data/x", "/Volumes/.hidden", "/etc", "/tmp"}));
    std::filesystem::create_directory_symlink(m_strRoot, m_strRoot + "/Volumes/Macintosh HD");
    WriteFile("/Users/bob/a.txt", "hello");
    ASSERT_EQ(InstallRoot(), noErr);
    SaveEnv("HOME");
    SaveEnv("XDG_CONFIG_HOME");
    SaveEnv("TMPDIR");
  }
  void TearDown() override {
    for (auto const& saved : m_vecEnv) {
      if (saved.second.first)
        setenv(saved.first.c_str(), saved.second.second.c_str(), 1);
      else
        unsetenv(saved.first.c_str());
    }
    RemoveRoot();
  }
  void SaveEnv(char const* name) {
    char const* value = getenv(name);
    m_vecEnv.push_back({name, {value != nullptr, value ? value : ""}});
  }
  void WriteFile(std::string const& virtualPath, std::string const& text) {
    int fd = open((m_strRoot + virtualPath).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
    close(fd);
  }
  static OSStatus MakeRef(std::string const& path, FSRef* ref, Boolean* isDir = nullptr) {
    return FSPathMakeRef(reinterpret_cast<UInt8 const*>(path.c_str()), ref, isDir);
  }
  static std::string PathOf(FSRef const& ref) {
    std::string strPath;
    EXPECT_EQ(FSStandInRefGetPath(&ref, &strPath), noErr);
    return strPath;
  }
  static std::string NameOf(HFSUniStr255 const& name) {
    return FSStandInUTF16ToUTF8(name.unicode, name.length);
  }

  std::vector<std::pair<std::string, std::pair<bool, std::string>>> m_vecEnv;
};

TEST_F(FilesTest, PathMakeRefResultsAndEquality) {
  FSRef ref1, ref2, refOther;
  Boolean blnDir = TRUE;
  ASSERT_EQ(MakeRef("/Users/bob/a.txt", &ref1, &blnDir), noErr);
  EXPECT_FALSE(blnDir);
  ASSERT_EQ(MakeRef("//Users/./bob/../bob/a.txt", &ref2), noErr);
  EXPECT_EQ(FSCompareFSRefs(&ref1, &ref2), noErr);
  EXPECT_EQ(std::memcmp(&ref1, &ref2, sizeof(FSRef)), 0);
  ASSERT_EQ(MakeRef("/Users/bob", &refOther, &blnDir), noErr);
  EXPECT_TRUE(blnDir);
  EXPECT_EQ(FSCompareFSRefs(&ref1, &refOther), errFSRefsDifferent);
  EXPECT_EQ(PathOf(ref1), "/Users/bob/a.txt");
  // ".." never climbs above the root.
  ASSERT_EQ(MakeRef("/../../Users", &ref2), noErr);
  EXPECT_EQ(PathOf(ref2), "/Users");

  struct {
    std::string strPath;
    OSStatus intExpected;
  } const cases[] = {
      {"/Users/bob/missing", fnfErr},
      {"/Users/bob/a.txt/below", dirNFErr},
      {"Users/bob", paramErr},
      {"/Users/" + std::string(256, 'x'), bdNamErr},
  };
  for (auto const& c : cases) EXPECT_EQ(MakeRef(c.strPath, &ref2), c.intExpected) << c.strPath;
  EXPECT_EQ(FSPathMakeRef(nullptr, &ref2, nullptr), paramErr);

  FSRef refZero;
  std::memset(&refZero, 0, sizeof(refZero));
  EXPECT_EQ(FSCompareFSRefs(&refZero, &ref1), errFSBadFSRef);
  EXPECT_EQ(FSGetCatalogInfo(&refZero, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr),
            errFSBadFSRef);
  // A new root empties the table: old references are refused, not misread.
  ASSERT_EQ(FSStandInSetRoot(m_strRoot.c_str()), noErr);
  EXPECT_EQ(FSGetCatalogInfo(&ref1, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr),
            errFSBadFSRef);
  EXPECT_EQ(FSStandInSetRoot("relative/root"), paramErr);
  EXPECT_EQ(FSStandInSetRoot((m_strRoot + "/Users/bob/a.txt").c_str()), dirNFErr);
}

TEST_F(FilesTest, ManyThreadsMakeRefsAtOnce) {
  constexpr int kFiles = 40, kThreads = 8, kRounds = 25;
  for (int i = 0; i < kFiles; ++i) WriteFile("/tmp/f" + std::to_string(i), "");
  std::vector<std::vector<FSRef>> vecRefs(kThreads, std::vector<FSRef>(kFiles));
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < kThreads; ++t)
    vecThreads.emplace_back([t, &vecRefs]() {
      for (int round = 0; round < kRounds; ++round)
        for (int i = 0; i < kFiles; ++i) {
          // Threads walk the files in different orders so that they create entries together.
          int intFile = (i * (t + 1) + round) % kFiles;
          ASSERT_EQ(MakeRef("/tmp/f" + std::to_string(intFile), &vecRefs[t][intFile]), noErr);
        }
    });
  for (std::thread& thread : vecThreads) thread.join();
  for (int i = 0; i < kFiles; ++i) {
    FSRef refMain;
    ASSERT_EQ(MakeRef("/tmp/f" + std::to_string(i), &refMain), noErr);
    for (int t = 0; t < kThreads; ++t) {
      EXPECT_EQ(std::memcmp(&refMain, &vecRefs[t][i], sizeof(FSRef)), 0);
      EXPECT_EQ(PathOf(vecRefs[t][i]), "/tmp/f" + std::to_string(i));
    }
  }
}

TEST_F(FilesTest, MakeFSRefUnicodeNames) {
  WriteFile("/Users/bob/a:b", "");
  FSRef refBob, refFile, refOut;
  ASSERT_EQ(MakeRef("/Users/bob", &refBob), noErr);
  ASSERT_EQ(MakeRef("/Users/bob/a.txt", &refFile), noErr);
  auto Units = [](std::string const& text) {
    std::u16string units = FSStandInUTF8ToUTF16(text);
    return std::vector<UniChar>(units.begin(), units.end());
  };
  std::string strAccents;
  for (int i = 0; i < 200; ++i) strAccents += "\xC3\xA9";  // 200 units, 400 bytes
  struct {
    std::string strName;
    OSErr intExpected;
    char const* pchrPath;
  } const cases[] = {
      {"a.txt", noErr, "/Users/bob/a.txt"},
      {"a/b", noErr, "/Users/bob/a:b"},  // a Finder '/' is ':' on disk
      {"a:b", bdNamErr, nullptr},
      {"", bdNamErr, nullptr},
      {".", bdNamErr, nullptr},
      {"..", bdNamErr, nullptr},
      {std::string(255, 'y'), fnfErr, nullptr},
      {std::string(256, 'y'), bdNamErr, nullptr},
      {strAccents, bdNamErr, nullptr},
      {"missing", fnfErr, nullptr},
  };
  for (auto const& c : cases) {
    std::vector<UniChar> vecName = Units(c.strName);
    EXPECT_EQ(FSMakeFSRefUnicode(&refBob, vecName.size(), vecName.data(), kTextEncodingUnknown,
                                 &refOut),
              c.intExpected)
        << c.strName;
    if (c.pchrPath) {
      EXPECT_EQ(PathOf(refOut), c.pchrPath);
    }
  }
  UniChar const uniNul[] = {'a', 0, 'b'};
  EXPECT_EQ(FSMakeFSRefUnicode(&refBob, 3, uniNul, kTextEncodingUnknown, &refOut), bdNamErr);
  std::vector<UniChar> vecName = Units("x");
  EXPECT_EQ(FSMakeFSRefUnicode(&refFile, 1, vecName.data(), kTextEncodingUnknown, &refOut),
            dirNFErr);
  FSRefParam pb = {};
  pb.ref = &refBob;
  vecName = Units("a.txt");
  pb.name = vecName.data();
  pb.nameLength = vecName.size();
  pb.newRef = &refOut;
  EXPECT_EQ(PBMakeFSRefUnicodeSync(&pb), noErr);
  EXPECT_EQ(FSCompareFSRefs(&refOut, &refFile), noErr);
}

TEST_F(FilesTest, VolumesByIndex) {
  FSVolumeInfo info;
  HFSUniStr255 name;
  FSRef refRoot, refExpected;
  FSVolumeInfoParam pb = {};
  pb.volumeInfo = &info;
  pb.volumeName = &name;
  pb.ref = &refRoot;
  pb.whichInfo = kFSVolInfoFlags;

  struct {
    char const* pchrName;
    char const* pchrRoot;
    bool blnDefault;
  } const expected[] = {{"Macintosh HD", "/", true}, {"Data", "/Volumes/Data", false}};
  std::vector<FSVolumeRefNum> vecRefNums;
  for (ItemCount i = 1; i <= 2; ++i) {
    pb.volumeIndex = i;
    pb.ioVRefNum = 0;
    ASSERT_EQ(PBGetVolumeInfoSync(&pb), noErr);
    EXPECT_EQ(pb.ioResult, noErr);
    EXPECT_EQ(NameOf(name), expected[i - 1].pchrName);
    EXPECT_EQ((info.flags & kFSVolFlagDefaultVolumeMask) != 0, expected[i - 1].blnDefault);
    ASSERT_EQ(MakeRef(expected[i - 1].pchrRoot, &refExpected), noErr);
    EXPECT_EQ(FSCompareFSRefs(&refRoot, &refExpected), noErr);
    vecRefNums.push_back(pb.ioVRefNum);
  }
  EXPECT_NE(vecRefNums[0], vecRefNums[1]);
  // The hidden folder and the link back to the root are no volumes.
  pb.volumeIndex = 3;
  EXPECT_EQ(PBGetVolumeInfoSync(&pb), nsvErr);
  EXPECT_EQ(pb.ioResult, nsvErr);

  // By reference number; an unknown one is no volume.
  pb.volumeIndex = 0;
  pb.ioVRefNum = vecRefNums[1];
  ASSERT_EQ(PBGetVolumeInfoSync(&pb), noErr);
  EXPECT_EQ(NameOf(name), "Data");
  pb.ioVRefNum = -5000;
  EXPECT_EQ(PBGetVolumeInfoSync(&pb), nsvErr);

  // Configured names and mount folders.
  ASSERT_EQ(FSStandInSetStartupVolumeName("Linux Disk"), noErr);
  std::filesystem::create_directories(m_strRoot + "/media/Stick:1");
  ASSERT_EQ(FSStandInSetMountFolder("/media"), noErr);
  for (ItemCount i = 1; i <= 2; ++i) {
    ASSERT_EQ(FSGetVolumeInfo(0, i, nullptr, kFSVolInfoNone, nullptr, &name, &refRoot), noErr);
    EXPECT_EQ(NameOf(name), i == 1 ? "Linux Disk" : "Stick/1");
  }
  EXPECT_EQ(FSGetVolumeInfo(0, 3, nullptr, kFSVolInfoNone, nullptr, &name, nullptr), nsvErr);
  EXPECT_EQ(FSStandInSetStartupVolumeName("a:b"), paramErr);
  EXPECT_EQ(FSStandInSetMountFolder("/"), paramErr);
}

// The climb of the startup-volume lookup: from the system folder up to a node whose parent id
// is 1; every step's parent id is the node id of the folder above it.
TEST_F(FilesTest, ClimbToVolumeName) {
  std::filesystem::remove_all(m_strRoot + "/etc");
  struct {
    char const* pchrStart;
    char const* pchrVolume;
  } const cases[] = {{nullptr, "Macintosh HD"}, {"/Volumes/Data/x", "Data"}, {"/", "Macintosh HD"},
                     {"/Volumes", "Macintosh HD"}};
  for (auto const& c : cases) {
    FSRef ref;
    if (c.pchrStart == nullptr) {
      ASSERT_EQ(FSFindFolder(kOnSystemDisk, kSystemFolderType, kCreateFolder, &ref), noErr);
      EXPECT_TRUE(std::filesystem::is_directory(m_strRoot + "/etc"));  // created
    } else {
      ASSERT_EQ(MakeRef(c.pchrStart, &ref), noErr);
    }
    std::string strName;
    for (int step = 0; step < 10 && strName.empty(); ++step) {
      FSCatalogInfo info;
      HFSUniStr255 name;
      FSRef refParent;
      FSRefParam pb = {};
      pb.ref = &ref;
      pb.whichInfo = kFSCatInfoParentDirID | kFSCatInfoNodeID;
      pb.catInfo = &info;
      pb.outName = &name;
      pb.parentRef = &refParent;
      ASSERT_EQ(PBGetCatalogInfoSync(&pb), noErr);
      if (info.parentDirID == fsRtParID) {
        EXPECT_EQ(info.nodeID, UInt32(fsRtDirID));
        strName = NameOf(name);
        break;
      }
      FSCatalogInfo infoParent;
      ASSERT_EQ(FSGetCatalogInfo(&refParent, kFSCatInfoNodeID, &infoParent, nullptr, nullptr, nullptr),
                noErr);
      EXPECT_EQ(infoParent.nodeID, info.parentDirID);
      ref = refParent;
    }
    EXPECT_EQ(strName, c.pchrVolume);
  }
}

TEST_F(FilesTest, CatalogInfoAndSpecs) {
  WriteFile("/Users/bob/x:y", "");
  FSRef refFile, refDir, refOdd, refBack;
  ASSERT_EQ(MakeRef("/Users/bob/a.txt", &refFile), noErr);
  ASSERT_EQ(MakeRef("/Users/bob", &refDir), noErr);
  ASSERT_EQ(MakeRef("/Users/bob/x:y", &refOdd), noErr);
  FSCatalogInfo info;
  HFSUniStr255 name;
  ASSERT_EQ(FSGetCatalogInfo(&refFile, kFSCatInfoNodeFlags | kFSCatInfoDataSizes, &info, &name,
                             nullptr, nullptr),
            noErr);
  EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
  EXPECT_EQ(info.dataLogicalSize, 5u);
  EXPECT_EQ(NameOf(name), "a.txt");
  ASSERT_EQ(FSGetCatalogInfo(&refDir, kFSCatInfoNodeFlags | kFSCatInfoValence, &info, nullptr,
                             nullptr, nullptr),
            noErr);
  EXPECT_NE(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
  EXPECT_EQ(info.valence, 2u);
  ASSERT_EQ(FSGetCatalogInfo(&refOdd, kFSCatInfoNone, nullptr, &name, nullptr, nullptr), noErr);
  EXPECT_EQ(NameOf(name), "x/y");  // shown as the Finder shows it

  // FSSpec and back, and a spec for a leaf that does not exist yet.
  FSSpec spec;
  ASSERT_EQ(FSGetCatalogInfo(&refOdd, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(spec.name + 1), spec.name[0]), "x/y");
  ASSERT_EQ(FSpMakeFSRef(&spec, &refBack), noErr);
  EXPECT_EQ(FSCompareFSRefs(&refBack, &refOdd), noErr);
  unsigned char const chrNew[] = "\x07new.txt";
  FSSpec specNew;
  EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, chrNew, &specNew), fnfErr);
  EXPECT_EQ(specNew.parID, spec.parID);
  EXPECT_EQ(FSpMakeFSRef(&specNew, &refBack), fnfErr);
  unsigned char const chrPartial[] = "\x05" "a:b:c";
  EXPECT_EQ(FSMakeFSSpec(spec.vRefNum, spec.parID, chrPartial, &specNew), bdNamErr);
}

TEST_F(FilesTest, RefsFollowMovesAndDeletions) {
  std::filesystem::create_directories(m_strRoot + "/a/b");
  WriteFile("/a/b/c", "");
  WriteFile("/z", "");
  FSRef refC, refA, refZ, refNew, refAbc;
  ASSERT_EQ(MakeRef("/a/b/c", &refC), noErr);
  ASSERT_EQ(MakeRef("/a", &refA), noErr);
  WriteFile("/a-b", "");
  ASSERT_EQ(MakeRef("/a-b", &refAbc), noErr);  // sorts between "/a" and "/a/": must not move
  ASSERT_EQ(MakeRef("/z", &refZ), noErr);
  // The stand-in's move of /a over /z.
  std::filesystem::remove(m_strRoot + "/z");
  std::filesystem::rename(m_strRoot + "/a", m_strRoot + "/z");
  FSStandInNoteMoved("/a", "/z");
  EXPECT_EQ(PathOf(refC), "/z/b/c");
  EXPECT_EQ(PathOf(refA), "/z");
  EXPECT_EQ(PathOf(refAbc), "/a-b");
  ASSERT_EQ(MakeRef("/z/b/c", &refNew), noErr);
  EXPECT_EQ(FSCompareFSRefs(&refC, &refNew), noErr);
  EXPECT_EQ(FSGetCatalogInfo(&refZ, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), fnfErr);
  EXPECT_EQ(FSCompareFSRefs(&refZ, &refA), errFSRefsDifferent);

  // A deleted object's reference stays dead when a new object takes its place.
  std::filesystem::remove(m_strRoot + "/z/b/c");
  FSStandInNoteRemoved("/z/b");
  WriteFile("/z/b/c", "");
  EXPECT_EQ(FSGetCatalogInfo(&refC, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), fnfErr);
  ASSERT_EQ(MakeRef("/z/b/c", &refNew), noErr);
  EXPECT_EQ(FSCompareFSRefs(&refC, &refNew), errFSRefsDifferent);
  EXPECT_EQ(PathOf(refA), "/z");  // the folder above is untouched
}

TEST_F(FilesTest, FindFolderMappingOverridesAndCreation) {
  setenv("HOME", "/Users/bob", 1);
  setenv("XDG_CONFIG_HOME", "relative/config", 1);  // relative values are ignored
  setenv("TMPDIR", "/tmp", 1);
  struct {
    SInt16 intDomain;
    OSType ulngType;
    char const* pchrPath;
  } const cases[] = {
      {kUserDomain, kCurrentUserFolderType, "/Users/bob"},
      {kUserDomain, kPreferencesFolderType, "/Users/bob/.config"},
      {kUserDomain, kTemporaryFolderType, "/tmp"},
      {kUserDomain, kDesktopFolderType, "/Users/bob/Desktop"},
      {kUserDomain, kDocumentsFolderType, "/Users/bob/Documents"},
      {kUserDomain, kApplicationSupportFolderType, "/Users/bob/.local/share"},
      {kOnSystemDisk, kSystemFolderType, "/etc"},
      {kOnSystemDisk, kSystemDesktopFolderType, "/"},
      {kOnSystemDisk, kTrashFolderType, "/Users/bob/.local/share/Trash"},
      {kOnSystemDisk, kChewableItemsFolderType, "/tmp"},
      {kSystemDomain, kStartupFolderType, "/etc/xdg/autostart"},
      {kLocalDomain, kPreferencesFolderType, "/etc/xdg"},
  };
  for (auto const& c : cases) {
    FSRef ref;
    std::string strReal = m_strRoot + c.pchrPath;
    bool blnExisted = std::filesystem::exists(strReal);
    if (!blnExisted) {
      EXPECT_EQ(FSFindFolder(c.intDomain, c.ulngType, kDontCreateFolder, &ref), fnfErr) << c.pchrPath;
    }
    ASSERT_EQ(FSFindFolder(c.intDomain, c.ulngType, kCreateFolder, &ref), noErr) << c.pchrPath;
    EXPECT_EQ(PathOf(ref), c.pchrPath);
    EXPECT_TRUE(std::filesystem::is_directory(strReal)) << c.pchrPath;
  }
  struct stat st;
  ASSERT_EQ(stat((m_strRoot + "/Users/bob/Desktop").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);  // the user's own folders are private

  // Overrides, and their removal.
  FSRef ref;
  ASSERT_EQ(FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/Users/bob/Library/Preferences"),
            noErr);
  ASSERT_EQ(FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &ref), noErr);
  EXPECT_EQ(PathOf(ref), "/Users/bob/Library/Preferences");
  ASSERT_EQ(FSStandInSetFolder(kUserDomain, kPreferencesFolderType, nullptr), noErr);
  ASSERT_EQ(FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &ref), noErr);
  EXPECT_EQ(PathOf(ref), "/Users/bob/.config");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  ASSERT_EQ(FSFindFolder(kUserDomain, kPreferencesFolderType, kCreateFolder, &ref), noErr);
  EXPECT_EQ(PathOf(ref), "/cfg");

  // Failures.
  EXPECT_EQ(FSFindFolder(kUserDomain, MakeFourCharCode("zzzz"), kCreateFolder, &ref), fnfErr);
  EXPECT_EQ(FSFindFolder(kNetworkDomain, kPreferencesFolderType, kCreateFolder, &ref), fnfErr);
  EXPECT_EQ(FSFindFolder(kUserDomain, kSystemFolderType, kCreateFolder, &ref), fnfErr);
  EXPECT_EQ(FSFindFolder(-5000, kTemporaryFolderType, kCreateFolder, &ref), nsvErr);
  ASSERT_EQ(FSStandInSetFolder(kUserDomain, kDocumentsFolderType, "/Users/bob/a.txt"), noErr);
  EXPECT_EQ(FSFindFolder(kUserDomain, kDocumentsFolderType, kCreateFolder, &ref), dirNFErr);
  ASSERT_EQ(FSStandInSetFolder(kUserDomain, kDocumentsFolderType, "/Users/bob/a.txt/docs"), noErr);
  EXPECT_EQ(FSFindFolder(kUserDomain, kDocumentsFolderType, kCreateFolder, &ref), dirNFErr);

  // Another volume offers its root.
  FSVolumeRefNum intData = 0;
  ASSERT_EQ(FSGetVolumeInfo(0, 2, &intData, kFSVolInfoNone, nullptr, nullptr, nullptr), noErr);
  ASSERT_EQ(FSFindFolder(intData, kVolumeRootFolderType, kDontCreateFolder, &ref), noErr);
  EXPECT_EQ(PathOf(ref), "/Volumes/Data");
  EXPECT_EQ(FSFindFolder(intData, kTemporaryFolderType, kCreateFolder, &ref), fnfErr);
}

TEST(FilesNames, UTF8RoundTripKeepsUndecodableBytes) {
  struct {
    std::string strBytes;
    size_t intUnits;
  } const cases[] = {
      {"plain", 5},
      {"caf\xC3\xA9", 4},
      {"\xF0\x9F\x98\x80", 2},     // a pair of surrogates
      {"\xFF\xFE", 2},             // undecodable
      {"\xC0\xAF", 2},             // overlong '/'
      {"\xED\xA0\x80", 3},         // an encoded surrogate
      {"\xE2\x82", 2},             // cut short
  };
  for (auto const& c : cases) {
    std::u16string units = FSStandInUTF8ToUTF16(c.strBytes);
    EXPECT_EQ(units.size(), c.intUnits) << c.strBytes;
    EXPECT_EQ(FSStandInUTF16ToUTF8(reinterpret_cast<UniChar const*>(units.data()), units.size()),
              c.strBytes);
  }
  UniChar const uniLone[] = {0xD800, 'a'};
  EXPECT_EQ(FSStandInUTF16ToUTF8(uniLone, 2), "\xEF\xBF\xBD" "a");
}

}  // namespace
