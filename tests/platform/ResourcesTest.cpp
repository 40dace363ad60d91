// Tests of the Resource Manager stand-in and the resource file format: chain order and the
// current file, loading on and off, partial reads and their bounds, stale handles, refused
// files and concurrent use. Files are written with the writer into a temporary folder.
#include "platform/carbon/Resources.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/carbon/ResourceFile.h"

namespace {

constexpr ResType kTest = MakeFourCharCode("TEST");

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmora-rsrc-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_strDir = pattern;
    m_intSavedRef = CurResFile();
  }
  void TearDown() override {
    for (ResFileRefNum ref : m_intOpened) CloseResFile(ref);
    for (std::string const& path : m_strFiles) unlink(path.c_str());
    rmdir(m_strDir.c_str());
    if (m_intSavedRef != kResFileNotOpened) UseResFile(m_intSavedRef);
  }
  std::string Path(char const* name) {
    m_strFiles.push_back(m_strDir + "/" + name);
    return m_strFiles.back();
  }
  // Writes resources 'TEST' id = text and opens the file.
  ResFileRefNum Open(char const* name, std::vector<std::pair<ResID, std::string>> const& resources) {
    clsResourceFileWriter writer;
    for (auto const& [id, text] : resources) writer.AddResource(kTest, id, text.data(), text.size());
    std::string path = Path(name);
    EXPECT_TRUE(writer.WriteToPath(path.c_str())) << writer.ErrorString();
    ResFileRefNum ref = kResFileNotOpened;
    EXPECT_EQ(OpenResourceFileAtPath(path.c_str(), &ref), noErr);
    m_intOpened.push_back(ref);
    return ref;
  }
  void Close(ResFileRefNum ref) {
    CloseResFile(ref);
    EXPECT_EQ(ResError(), noErr);
    for (size_t i = 0; i < m_intOpened.size(); ++i) {
      if (m_intOpened[i] == ref) m_intOpened.erase(m_intOpened.begin() + long(i));
    }
  }
  // The text of 'TEST' id from the chain, "-" when not found.
  static std::string Text(ResID id) {
    Handle handle = GetResource(kTest, id);
    if (handle == nullptr) return "-";
    return std::string(*handle, size_t(GetResourceSizeOnDisk(handle)));
  }

  std::string m_strDir;
  std::vector<std::string> m_strFiles;
  std::vector<ResFileRefNum> m_intOpened;
  ResFileRefNum m_intSavedRef = kResFileNotOpened;
};

TEST_F(ResourcesTest, ChainSearchesCurrentFileThenOlderOnes) {
  ResFileRefNum a = Open("a.rsrc", {{1, "A1"}, {2, "A2"}, {-5, "A-5"}});
  ResFileRefNum b = Open("b.rsrc", {{1, "B1"}, {4, "B4"}});
  ResFileRefNum c = Open("c.rsrc", {{7, "C7"}});
  EXPECT_EQ(CurResFile(), c);
  EXPECT_EQ(Text(1), "B1");
  EXPECT_EQ(Text(2), "A2");
  EXPECT_EQ(Text(-5), "A-5");
  EXPECT_EQ(Text(9), "-");
  EXPECT_EQ(ResError(), resNotFound);
  EXPECT_EQ(GetResource(MakeFourCharCode("OTHR"), 1), nullptr);

  UseResFile(a);  // files opened later are not searched
  EXPECT_EQ(CurResFile(), a);
  EXPECT_EQ(Text(1), "A1");
  EXPECT_EQ(Text(4), "-");
  UseResFile(b);
  EXPECT_EQ(Text(4), "B4");
  EXPECT_EQ(Text(7), "-");

  UseResFile(12345);
  EXPECT_EQ(ResError(), resFNotFound);
  EXPECT_EQ(CurResFile(), b);

  Close(b);  // the current file closes: the one opened before it takes over
  EXPECT_EQ(CurResFile(), a);
  UseResFile(c);
  EXPECT_EQ(Text(1), "A1");
  Close(a);  // the oldest while another is current: the current one stays
  EXPECT_EQ(CurResFile(), c);
  EXPECT_EQ(Text(1), "-");
  CloseResFile(a);
  EXPECT_EQ(ResError(), resFNotFound);
}

TEST_F(ResourcesTest, HandlesLoadingAndRelease) {
  Open("h.rsrc", {{1, "hello"}, {2, ""}});
  SetResLoad(false);
  Handle lazy = GetResource(kTest, 1);
  SetResLoad(true);
  ASSERT_NE(lazy, nullptr);
  EXPECT_EQ(*lazy, nullptr);  // data not read
  EXPECT_EQ(GetResourceSizeOnDisk(lazy), 5);
  char buffer[8] = {};
  ReadPartialResource(lazy, 1, buffer, 3);
  EXPECT_EQ(ResError(), noErr);
  EXPECT_STREQ(buffer, "ell");

  Handle loaded = GetResource(kTest, 1);  // the same handle, now with its data
  EXPECT_EQ(loaded, lazy);
  ASSERT_NE(*loaded, nullptr);
  EXPECT_EQ(std::string(*loaded, 5), "hello");

  Handle empty = GetResource(kTest, 2);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(GetResourceSizeOnDisk(empty), 0);

  ReleaseResource(loaded);
  EXPECT_EQ(ResError(), noErr);
  ReleaseResource(loaded);  // stale: refused, not followed
  EXPECT_EQ(ResError(), resNotFound);
  ReadPartialResource(loaded, 0, buffer, 1);
  EXPECT_EQ(ResError(), resNotFound);
  char notAResource = 0;
  char* master = &notAResource;
  ReleaseResource(&master);
  EXPECT_EQ(ResError(), resNotFound);
  ReleaseResource(nullptr);
  EXPECT_EQ(ResError(), resNotFound);
}

TEST_F(ResourcesTest, PartialReadsStayWithinTheResource) {
  Open("p.rsrc", {{1, "0123456789"}});
  for (bool load : {false, true}) {
    SetResLoad(load);
    Handle handle = GetResource(kTest, 1);
    SetResLoad(true);
    ASSERT_NE(handle, nullptr);
    struct stcCase {
      Size m_lngOffset, m_lngCount;
      OSErr m_intErr;
      char const* m_strRead;
    } const cases[] = {
        {0, 10, noErr, "0123456789"}, {9, 1, noErr, "9"}, {10, 0, noErr, ""},
        {9, 2, inputOutOfBounds, ""},  {11, 0, inputOutOfBounds, ""}, {-1, 1, inputOutOfBounds, ""},
        {0, -1, inputOutOfBounds, ""}, {0x7FFFFFFF, 0x7FFFFFFF, inputOutOfBounds, ""},
    };
    for (stcCase const& c : cases) {
      char buffer[16] = {};
      ReadPartialResource(handle, c.m_lngOffset, buffer, c.m_lngCount);
      EXPECT_EQ(ResError(), c.m_intErr) << c.m_lngOffset << "+" << c.m_lngCount;
      EXPECT_STREQ(buffer, c.m_strRead) << c.m_lngOffset << "+" << c.m_lngCount;  // nothing on failure
    }
    ReleaseResource(handle);
  }
}

TEST_F(ResourcesTest, RefusedFilesLeaveTheChainAlone) {
  ResFileRefNum good = Open("good.rsrc", {{1, "x"}});
  clsResourceFileWriter writer;
  writer.AddResource(kTest, 1, "abcdef", 6);
  std::string whole = Path("whole.rsrc");
  ASSERT_TRUE(writer.WriteToPath(whole.c_str()));
  std::string bytes;
  {
    FILE* file = std::fopen(whole.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    char chunk[64];
    size_t got = std::fread(chunk, 1, sizeof chunk, file);
    std::fclose(file);
    bytes.assign(chunk, got);
  }
  ASSERT_EQ(bytes.size(), 4 + kResourceEntryHeaderSize + 6);
  struct stcCase {
    char const* m_strName;
    std::string m_strContent;
  } const cases[] = {
      {"magic.rsrc", "XRSF" + bytes.substr(4)},
      {"short.rsrc", "VRS"},
      {"header.rsrc", bytes.substr(0, 4 + kResourceEntryHeaderSize - 1)},
      {"data.rsrc", bytes.substr(0, bytes.size() - 1)},
  };
  for (stcCase const& c : cases) {
    std::string path = Path(c.m_strName);
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(c.m_strContent.data(), 1, c.m_strContent.size(), file);
    std::fclose(file);
    ResFileRefNum ref = 77;
    EXPECT_EQ(OpenResourceFileAtPath(path.c_str(), &ref), mapReadErr) << c.m_strName;
    EXPECT_EQ(ref, 77) << c.m_strName;
  }
  ResFileRefNum ref = 77;
  EXPECT_EQ(OpenResourceFileAtPath((m_strDir + "/missing.rsrc").c_str(), &ref), resFNotFound);
  EXPECT_EQ(ResError(), resFNotFound);
  EXPECT_EQ(OpenResourceFileAtPath(m_strDir.c_str(), &ref), mapReadErr);  // a folder
  EXPECT_EQ(CurResFile(), good);
}

TEST_F(ResourcesTest, WriterReplacesAndReaderKeepsOrder) {
  clsResourceFileWriter writer;
  writer.AddResource(kTest, 3, "old", 3);
  writer.AddResource(MakeFourCharCode("UNIC"), -32768, nullptr, 0);
  writer.AddResource(kTest, 3, "new!", 4);
  std::string path = Path("w.rsrc");
  ASSERT_TRUE(writer.WriteToPath(path.c_str()));
  clsResourceFileReader reader;
  ASSERT_TRUE(reader.Open(path.c_str())) << reader.ErrorString();
  ASSERT_EQ(reader.Entries().size(), 2u);
  EXPECT_EQ(reader.FindEntry(kTest, 3), 0);
  EXPECT_EQ(reader.FindEntry(MakeFourCharCode("UNIC"), -32768), 1);
  EXPECT_EQ(reader.FindEntry(kTest, 4), -1);
  char buffer[4];
  ASSERT_TRUE(reader.ReadData(0, 0, buffer, 4));
  EXPECT_EQ(std::string(buffer, 4), "new!");
  EXPECT_FALSE(reader.ReadData(0, 1, buffer, 4));
  EXPECT_FALSE(writer.WriteToPath((m_strDir + "/no/such/folder.rsrc").c_str()));
  EXPECT_FALSE(writer.ErrorString().empty());
}

TEST_F(ResourcesTest, ThreadsShareTheChain) {
  std::vector<std::pair<ResID, std::string>> resources;
  for (ResID id = 0; id < 4; ++id) resources.push_back({id, std::string(64, char('a' + id))});
  Open("t.rsrc", resources);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (ResID id = 0; id < 4; ++id) {
    threads.emplace_back([id, &failures] {
      for (int round = 0; round < 200; ++round) {
        SetResLoad(round % 2 == 0);
        Handle handle = GetResource(kTest, id);
        SetResLoad(true);
        char buffer[64];
        ReadPartialResource(handle, 0, buffer, sizeof buffer);
        if (handle == nullptr || ResError() != noErr || buffer[63] != char('a' + id)) ++failures[size_t(id)];
        ReleaseResource(handle);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
