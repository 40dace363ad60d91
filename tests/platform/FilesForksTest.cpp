// Tests of the File Manager stand-in's fork calls over a temporary root: positions and eofErr,
// a resource fork larger than 64 KiB in the AppleDouble sidecar, fork iteration and creation,
// permissions and one writer per fork, and the test hooks (injected faults, the call log).
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

class FilesForksTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-forks", {"/f"}));
    ASSERT_EQ(InstallRoot(), noErr);
    FSRef folder;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<UInt8 const*>("/f"), &folder, nullptr), noErr);
    UniChar const name[] = {'d', 'o', 'c'};
    ASSERT_EQ(FSCreateFileUnicode(&folder, 3, name, kFSCatInfoNone, nullptr, &m_refFile, nullptr), noErr);
    FSGetResourceForkName(&m_rsrcName);
  }
  void TearDown() override { RemoveRoot(); }
  FSIORefNum Open(bool rsrc, SInt8 permissions) {
    FSIORefNum refNum = 0;
    EXPECT_EQ(FSOpenFork(&m_refFile, rsrc ? m_rsrcName.length : 0, m_rsrcName.unicode, permissions,
                         &refNum),
              noErr);
    return refNum;
  }
  std::string ReadAll(bool rsrc) {
    FSIORefNum refNum = Open(rsrc, fsRdPerm);
    SInt64 size = 0;
    EXPECT_EQ(FSGetForkSize(refNum, &size), noErr);
    std::string data(size_t(size), '\0');
    ByteCount actual = 0;
    if (size > 0) {
      EXPECT_EQ(FSReadFork(refNum, fsFromStart, 0, ByteCount(size), &data[0], &actual), noErr);
    }
    FSCloseFork(refNum);
    return data;
  }

  FSRef m_refFile;
  HFSUniStr255 m_rsrcName;
};

TEST_F(FilesForksTest, PositionsSizesAndEndOfFile) {
  FSIORefNum refNum = Open(false, fsRdWrPerm);
  ByteCount actual = 0;
  ASSERT_EQ(FSWriteFork(refNum, fsAtMark, 0, 10, "0123456789", &actual), noErr);
  EXPECT_EQ(actual, 10u);
  char chrBuffer[16] = {};
  struct {
    UInt16 intMode;
    SInt64 intOffset;
    ByteCount intRequest;
    OSErr intExpected;
    char const* pchrData;
  } const cases[] = {
      {fsFromStart, 2, 3, noErr, "234"},
      {fsFromMark, 1, 2, noErr, "67"},         // mark was 5
      {fsAtMark | noCacheMask, 0, 5, eofErr, "89"},
      {fsFromLEOF, -4, 4, noErr, "6789"},
      {fsFromLEOF, 0, 1, eofErr, ""},
      {fsFromStart, -1, 1, posErr, ""},
  };
  for (auto const& c : cases) {
    actual = 99;
    EXPECT_EQ(FSReadFork(refNum, c.intMode, c.intOffset, c.intRequest, chrBuffer, &actual), c.intExpected)
        << c.pchrData;
    if (c.intExpected != posErr) {
      EXPECT_EQ(std::string(chrBuffer, actual), c.pchrData);
    }
  }
  SInt64 intPos = 0, intSize = 0;
  ASSERT_EQ(FSSetForkPosition(refNum, fsFromStart, 8), noErr);
  ASSERT_EQ(FSSetForkSize(refNum, fsFromStart, 4), noErr);  // the mark comes back inside
  EXPECT_EQ(FSGetForkPosition(refNum, &intPos), noErr);
  EXPECT_EQ(intPos, 4);
  UInt64 ulngAllocated = 0;
  EXPECT_EQ(FSAllocateFork(refNum, kFSAllocNoRoundUpMask, fsFromStart, 0, 1000, &ulngAllocated), noErr);
  EXPECT_EQ(FSGetForkSize(refNum, &intSize), noErr);
  EXPECT_EQ(intSize, 4);  // reserving space does not lengthen the fork
  ASSERT_EQ(FSCloseFork(refNum), noErr);
  EXPECT_EQ(FSCloseFork(refNum), rfNumErr);
  EXPECT_EQ(ReadAll(false), "0123");

  // A read-only fork refuses writes; a second writer is refused.
  refNum = Open(false, fsRdPerm);
  EXPECT_EQ(FSWriteFork(refNum, fsAtMark, 0, 1, "x", nullptr), wrPermErr);
  EXPECT_EQ(FSSetForkSize(refNum, fsFromStart, 0), wrPermErr);
  FSCloseFork(refNum);
  refNum = Open(false, fsWrPerm);
  FSIORefNum second = 0;
  EXPECT_EQ(FSOpenFork(&m_refFile, 0, nullptr, fsWrPerm, &second), opWrErr);
  FSCloseFork(refNum);
  UniChar const other[] = {'x'};
  EXPECT_EQ(FSOpenFork(&m_refFile, 1, other, fsRdPerm, &second), errFSBadForkName);
}

TEST_F(FilesForksTest, DataForkFollowsItsFileChangingSize) {
  // The file is changed on disk between the calls, under the open forks: each read and write
  // sees the length the file has then, from whichever position it starts.
  std::string const real = m_strRoot + "/f/doc";
  FSIORefNum reader = Open(false, fsRdPerm);
  FSIORefNum writer = Open(false, fsWrPerm);
  struct {
    char const* pchrDisk;  // the file's content set before the call (null: left as it is)
    bool blnWrite;         // through the writer, the bytes of pchrData; else a read
    UInt16 intMode;
    SInt64 intOffset;
    ByteCount intRequest;
    OSErr intExpected;
    char const* pchrData;  // read: the bytes that came; write: the bytes written
    SInt64 intMark;        // the fork's mark afterwards
  } const cases[] = {
      {"0123456789", false, fsFromStart, 20, 4, eofErr, "", 20},       // past the end
      {nullptr, false, fsAtMark, 0, 4, eofErr, "", 20},                // the mark stays there
      {nullptr, false, fsFromStart, 8, 0, noErr, "", 8},               // nothing asked
      {"0123456789ABCD", false, fsFromStart, 8, 10, eofErr, "89ABCD", 14},  // grown
      {nullptr, false, fsFromLEOF, -2, 2, noErr, "CD", 14},
      {"01234", false, fsFromStart, 3, 10, eofErr, "34", 5},           // shrunk
      {nullptr, false, fsFromMark, -1, 1, noErr, "4", 5},
      {nullptr, false, fsAtMark, 0, 1, eofErr, "", 5},
      {nullptr, false, fsFromMark, -6, 1, posErr, "", 5},
      {nullptr, true, fsFromStart, 7, 2, noErr, "xy", 9},              // a gap, then the bytes
      {nullptr, true, fsFromLEOF, 0, 1, noErr, "z", 10},
      {"012", true, fsFromLEOF, -1, 1, noErr, "w", 3},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.pchrDisk ? c.pchrDisk : "-") << " mode " << c.intMode
                                    << " offset " << c.intOffset);
    if (c.pchrDisk != nullptr) std::ofstream(real, std::ios::binary | std::ios::trunc) << c.pchrDisk;
    FSIORefNum const fork = c.blnWrite ? writer : reader;
    char chrBuffer[16] = {};
    ByteCount actual = 99;
    OSErr const err = c.blnWrite ? FSWriteFork(fork, c.intMode, c.intOffset, c.intRequest, c.pchrData, &actual)
                                 : FSReadFork(fork, c.intMode, c.intOffset, c.intRequest, chrBuffer, &actual);
    EXPECT_EQ(err, c.intExpected);
    if (c.blnWrite) {
      EXPECT_EQ(actual, c.intRequest);
    } else {
      EXPECT_EQ(std::string(chrBuffer, actual), c.pchrData);
    }
    SInt64 mark = -1;
    EXPECT_EQ(FSGetForkPosition(fork, &mark), noErr);
    EXPECT_EQ(mark, c.intMark);
  }
  EXPECT_EQ(ReadAll(false), "01w");
  // Positions set past the end are kept, and the length is the file's at each call.
  std::ofstream(real, std::ios::binary | std::ios::trunc) << "0123456789";
  EXPECT_EQ(FSSetForkPosition(reader, fsFromStart, 30), noErr);
  SInt64 value = 0;
  EXPECT_EQ(FSGetForkPosition(reader, &value), noErr);
  EXPECT_EQ(value, 30);
  EXPECT_EQ(FSSetForkPosition(reader, fsFromLEOF, -3), noErr);
  EXPECT_EQ(FSGetForkPosition(reader, &value), noErr);
  EXPECT_EQ(value, 7);
  std::ofstream(real, std::ios::binary | std::ios::app) << "ABC";
  EXPECT_EQ(FSSetForkPosition(reader, fsFromLEOF, 0), noErr);
  EXPECT_EQ(FSGetForkPosition(reader, &value), noErr);
  EXPECT_EQ(value, 13);
  EXPECT_EQ(FSGetForkSize(reader, &value), noErr);
  EXPECT_EQ(value, 13);
  EXPECT_EQ(FSSetForkPosition(reader, fsFromMark, -14), posErr);
  FSCloseFork(writer);
  FSCloseFork(reader);
}

TEST_F(FilesForksTest, LargeResourceForkInTheSidecar) {
  // Reads of a missing resource fork see an empty one and make no sidecar.
  EXPECT_EQ(ReadAll(true), "");
  EXPECT_FALSE(std::filesystem::exists(m_strRoot + "/f/._doc"));

  std::string strBig(200000, '\0');
  for (size_t i = 0; i < strBig.size(); ++i) strBig[i] = char((i * 7 + i / 251) & 0xFF);
  FSIORefNum refNum = Open(true, fsWrPerm);
  for (size_t done = 0; done < strBig.size(); done += 65536) {
    ByteCount n = ByteCount(std::min<size_t>(65536, strBig.size() - done));
    ASSERT_EQ(FSWriteFork(refNum, fsAtMark, 0, n, strBig.data() + done, nullptr), noErr);
  }
  ASSERT_EQ(FSCloseFork(refNum), noErr);
  refNum = Open(false, fsWrPerm);
  ASSERT_EQ(FSWriteFork(refNum, fsFromStart, 0, 4, "data", nullptr), noErr);
  FSCloseFork(refNum);
  EXPECT_EQ(ReadAll(true), strBig);
  EXPECT_EQ(ReadAll(false), "data");
  FSCatalogInfo info;
  ASSERT_EQ(FSGetCatalogInfo(&m_refFile, kFSCatInfoDataSizes | kFSCatInfoRsrcSizes, &info, nullptr,
                             nullptr, nullptr),
            noErr);
  EXPECT_EQ(info.rsrcLogicalSize, strBig.size());
  EXPECT_GE(info.rsrcPhysicalSize, info.rsrcLogicalSize);
  EXPECT_EQ(info.dataLogicalSize, 4u);

  // The sidecar is AppleDouble, and keeps the Finder information when it is set afterwards.
  std::ifstream sidecar(m_strRoot + "/f/._doc", std::ios::binary);
  char chrMagic[4] = {};
  sidecar.read(chrMagic, 4);
  EXPECT_EQ(std::string(chrMagic, 4), std::string("\x00\x05\x16\x07", 4));
  ASSERT_EQ(FSGetCatalogInfo(&m_refFile, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr), noErr);
  OSType const type = MakeFourCharCode("APPL");
  std::memcpy(info.finderInfo, &type, 4);
  ASSERT_EQ(FSSetCatalogInfo(&m_refFile, kFSCatInfoFinderInfo, &info), noErr);
  EXPECT_EQ(ReadAll(true), strBig);

  // Shrinking, then the forks listed in turn.
  refNum = Open(true, fsRdWrPerm);
  ASSERT_EQ(FSSetForkSize(refNum, fsFromLEOF, -199990), noErr);
  FSCloseFork(refNum);
  EXPECT_EQ(ReadAll(true), strBig.substr(0, 10));
  CatPositionRec iterator = {};
  HFSUniStr255 name;
  SInt64 size = 0;
  std::vector<std::pair<UInt16, SInt64>> forks;
  while (FSIterateForks(&m_refFile, &iterator, &name, &size, nullptr) == noErr)
    forks.emplace_back(name.length, size);
  EXPECT_EQ(forks, (std::vector<std::pair<UInt16, SInt64>>{{0, 4}, {13, 10}}));
  EXPECT_EQ(FSCreateFork(&m_refFile, m_rsrcName.length, m_rsrcName.unicode), noErr);
  EXPECT_EQ(FSDeleteFork(&m_refFile, m_rsrcName.length, m_rsrcName.unicode), noErr);
  iterator = CatPositionRec{};
  forks.clear();
  while (FSIterateForks(&m_refFile, &iterator, &name, &size, nullptr) == noErr)
    forks.emplace_back(name.length, size);
  EXPECT_EQ(forks.size(), 1u);
}

TEST_F(FilesForksTest, InjectedFaultsAndTheCallLog) {
  FSStandInTestSetCallLog(true);
  FSStandInTestFailNext("FSWriteFork", "/f/doc", dskFulErr, 2);
  FSStandInTestFailNext("FSOpenFork", "/elsewhere", ioErr);
  FSIORefNum refNum = Open(false, fsWrPerm);
  ByteCount actual = 7;
  EXPECT_EQ(FSWriteFork(refNum, fsAtMark, 0, 3, "abc", &actual), dskFulErr);
  EXPECT_EQ(actual, 0u);
  EXPECT_EQ(FSWriteFork(refNum, fsAtMark, 0, 3, "abc", &actual), dskFulErr);
  EXPECT_EQ(FSWriteFork(refNum, fsAtMark, 0, 3, "abc", &actual), noErr);  // counted out
  FSCloseFork(refNum);
  EXPECT_EQ(FSStandInTestPendingFaults(), 1);  // the fault of another path is still waiting

  FSStandInTestFailNext("FSDeleteObject", "", permErr);
  FSRefParam pb = {};
  pb.ref = &m_refFile;
  EXPECT_EQ(PBDeleteObjectSync(&pb), permErr);  // the PB form counts as the FS call
  EXPECT_EQ(pb.ioResult, permErr);
  EXPECT_TRUE(std::filesystem::exists(m_strRoot + "/f/doc"));
  std::vector<std::string> log = FSStandInTestCallLog();
  std::vector<std::string> const expected = {"FSOpenFork /f/doc", "FSWriteFork /f/doc", "FSWriteFork /f/doc",
                                             "FSWriteFork /f/doc", "FSCloseFork /f/doc",
                                             "FSDeleteObject /f/doc"};
  EXPECT_EQ(log, expected);
  FSStandInReset();  // clears faults and the log
  EXPECT_EQ(FSStandInTestPendingFaults(), 0);
  EXPECT_TRUE(FSStandInTestCallLog().empty());
}

}  // namespace
