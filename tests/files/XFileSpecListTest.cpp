// Tests of the XFileSpec listings: "." and ".." closing every folder, recursion and its depth
// limit, sizes of data plus resource fork and dates, escaped names and the name form over more
// than one bulk read, sidecars and symbolic links kept out of the walk, and the failures
// (null outputs, missing folder or parent, a file, injected iterator and bulk-read faults), and
// sizes past 31 bits listed as -1.
// Each test runs on a fresh temporary file-system root holding /list.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/clsMultiVar.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

using Names = std::vector<std::string>;

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

// Entry names in the File Manager's order (name order in the stand-in).
Names NamesOf(clsMultiVar const* list) {
  Names names;
  if (list != nullptr) for (clsSingleVar const& value : *list) names.push_back(S(value.GetName()));
  return names;
}

clsMultiVar* Entry(clsMultiVar* list, std::string const& name) {
  clsMultiVar::iterator it;
  if (list == nullptr || !list->GetVar(U(name), it) || it->GetType() != kVarTypeArray) return nullptr;
  return it->GetArrayValue();
}

// A value of an entry; a missing one reads as an empty value of type 0.
clsSingleVar const* Value(clsMultiVar* entry, char const* name) {
  static clsSingleVar const s_udtMissing;
  clsMultiVar::iterator it;
  return entry != nullptr && entry->GetVar(U(name), it) ? &*it : &s_udtMissing;
}

class XFileSpecListFixture : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("xfilespec-list", {"/list"}));
    ASSERT_EQ(noErr, InstallRoot());
    ASSERT_TRUE(m_udtSpec.ParsePath(U("/list")));
  }
  void TearDown() override { RemoveRoot(); }
  void Make(std::string const& path, char const* data = "x") {
    std::filesystem::path const real(Real(path));
    std::filesystem::create_directories(real.parent_path());
    if (data != nullptr) std::ofstream(real, std::ios::binary) << data;
    else std::filesystem::create_directory(real);
  }

  XFileSpec m_udtSpec;
  clsMultiVar m_udtItems;
};

TEST_F(XFileSpecListFixture, EveryFolderEndsWithDotEntriesAndRecursionHonoursTheDepth) {
  Make("/list/a.txt");
  Make("/list/sub/b.txt");
  Make("/list/sub/empty", nullptr);
  m_udtItems.AddStringVar(U("stale"), U("x"), true);
  ASSERT_TRUE(m_udtSpec.XListFiles(&m_udtItems, true, 31, kPathStylePOSIX)) << S(m_udtSpec.ErrorString());
  EXPECT_EQ(S(m_udtSpec.ErrorString()), "");
  EXPECT_EQ(NamesOf(&m_udtItems), (Names{"a.txt", "sub", ".", ".."}));
  EXPECT_EQ(NamesOf(Entry(&m_udtItems, "a.txt")), (Names{"Type", "Size", "CreationDate", "ModDate"}));
  EXPECT_EQ(S(Value(Entry(&m_udtItems, "a.txt"), "Type")->GetStringValue()), "file");
  clsMultiVar* subItems = Entry(Entry(&m_udtItems, "sub"), "Items");
  EXPECT_EQ(NamesOf(subItems), (Names{"b.txt", "empty", ".", ".."}));
  clsMultiVar* emptyItems = Entry(Entry(subItems, "empty"), "Items");
  EXPECT_EQ(NamesOf(emptyItems), (Names{".", ".."}));
  for (char const* dot : {".", ".."}) {
    clsMultiVar* entry = Entry(emptyItems, dot);
    EXPECT_EQ(NamesOf(entry), (Names{"Type", "Size", "CreationDate", "ModDate"}));
    EXPECT_EQ(S(Value(entry, "Type")->GetStringValue()), "dir");
    EXPECT_EQ(Value(entry, "Size")->GetIntegerValue(), 0);
    for (char const* date : {"CreationDate", "ModDate"}) {
      ASSERT_EQ(Value(entry, date)->GetType(), kVarTypeDateTime);
      EXPECT_EQ(S(Value(entry, date)->GetDateTimeValue().GetAsString()), "01/01/2000 00:00:00");
    }
  }

  // Without recursion a sub-folder has its values but no "Items"; mask 19 leaves out the rest.
  ASSERT_TRUE(m_udtSpec.XListFiles(&m_udtItems, false, 19, kPathStylePOSIX));
  EXPECT_EQ(NamesOf(&m_udtItems), (Names{"a.txt", "sub", ".", ".."}));
  EXPECT_EQ(NamesOf(Entry(&m_udtItems, "sub")), (Names{"Type", "ModDate"}));
}

TEST_F(XFileSpecListFixture, SizeAddsTheResourceForkWhoseSidecarIsNeverListed) {
  Make("/list/both", "12345");
  Make("/list/data", "12345");
  Make("/list/folder", nullptr);
  FSRef ref;
  HFSUniStr255 fork;
  FSIORefNum refNum = 0;
  ByteCount written = 0;
  ASSERT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>("/list/both"), &ref, nullptr));
  ASSERT_EQ(noErr, FSGetResourceForkName(&fork));
  ASSERT_EQ(noErr, FSOpenFork(&ref, fork.length, fork.unicode, fsWrPerm, &refNum));
  EXPECT_EQ(noErr, FSWriteFork(refNum, fsFromStart, 0, 7, "1234567", &written));
  EXPECT_EQ(noErr, FSCloseFork(refNum));
  ASSERT_TRUE(std::filesystem::exists(m_strRoot + "/list/._both"));
  timespec const times[2] = {{1000000000, 0}, {1200000000, 0}};  // access, modification
  ASSERT_EQ(0, utimensat(AT_FDCWD, (m_strRoot + "/list/data").c_str(), times, 0));

  ASSERT_TRUE(m_udtSpec.XListFiles(&m_udtItems, false, 31, kPathStylePOSIX)) << S(m_udtSpec.ErrorString());
  EXPECT_EQ(NamesOf(&m_udtItems), (Names{"both", "data", "folder", ".", ".."}));
  EXPECT_EQ(Value(Entry(&m_udtItems, "both"), "Size")->GetIntegerValue(), 12);
  EXPECT_EQ(Value(Entry(&m_udtItems, "data"), "Size")->GetIntegerValue(), 5);
  EXPECT_EQ(Value(Entry(&m_udtItems, "folder"), "Size")->GetIntegerValue(), 0);
  EXPECT_EQ(Value(Entry(&m_udtItems, "data"), "ModDate")->GetDateTimeValue().GetAsSeconds(), 1200000000u);
  UniStringList list;
  ASSERT_TRUE(m_udtSpec.XListFiles(&list, kPathStylePOSIX));
  EXPECT_EQ(list.Count(), 3u);
}

TEST_F(XFileSpecListFixture, SizeIsMinusOneWhereThirtyOneBitsCannotHoldIt) {
  struct {
    char const* name;
    off_t bytes;  // sparse: the size is real, the disk space is not used
    int32_t size;
  } const rows[] = {
      {"max", off_t(INT32_MAX), INT32_MAX},
      {"two-gib", off_t(1) << 31, -1},
      {"wraps-to-five", (off_t(1) << 32) + 5, -1},
  };
  for (auto const& row : rows) {
    Make(std::string("/list/") + row.name, "");
    ASSERT_EQ(0, truncate((m_strRoot + "/list/" + row.name).c_str(), row.bytes)) << row.name;
  }
  ASSERT_TRUE(m_udtSpec.XListFiles(&m_udtItems, false, 4, kPathStylePOSIX))  // 4: the size alone
      << S(m_udtSpec.ErrorString());
  for (auto const& row : rows)
    EXPECT_EQ(Value(Entry(&m_udtItems, row.name), "Size")->GetIntegerValue(), row.size) << row.name;
}

TEST_F(XFileSpecListFixture, NamesAreEscapedAndTheNameFormDecodesThemForTheStyle) {
  Make("/list/50%");
  Make("/list/a:b");  // a '/' of the Finder's name
  Make("/list/back\\slash");
  for (int i = 0; i < 40; ++i) Make("/list/sub/f" + std::to_string(100 + i));  // two bulk reads
  ASSERT_TRUE(m_udtSpec.XListFiles(&m_udtItems, true, 2, kPathStylePOSIX)) << S(m_udtSpec.ErrorString());
  EXPECT_EQ(NamesOf(&m_udtItems), (Names{"50%25", "a%2Fb", "back%5Cslash", "sub", ".", ".."}));
  Names inner = NamesOf(Entry(Entry(&m_udtItems, "sub"), "Items"));
  ASSERT_EQ(inner.size(), 42u);
  EXPECT_EQ(inner[39], "f139");

  struct {
    enumPathStyle style;
    Names names;
  } const kStyles[] = {{kPathStyleInternal, {"50%25", "a%2Fb", "back%5Cslash", "sub"}},
                       {kPathStylePOSIX, {"50%", "a:b", "back\\slash", "sub"}},
                       {kPathStyleHFS, {"50%", "a/b", "back\\slash", "sub"}}};
  for (auto const& row : kStyles) {
    UniStringList list;
    list.Add(U("stale"));
    ASSERT_TRUE(m_udtSpec.XListFiles(&list, row.style)) << S(m_udtSpec.ErrorString());
    Names names;
    for (UniString const& name : list) names.push_back(S(name));
    EXPECT_EQ(names, row.names) << row.style;
  }
}

TEST_F(XFileSpecListFixture, SymbolicLinksAreListedAsFilesAndNeverFollowed) {
  Make("/list/real/inside");
  ASSERT_EQ(0, symlink((m_strRoot + "/list").c_str(), (m_strRoot + "/list/real/loop").c_str()));
  ASSERT_TRUE(m_udtSpec.XListFiles(&m_udtItems, true, 2, kPathStylePOSIX)) << S(m_udtSpec.ErrorString());
  clsMultiVar* loop = Entry(Entry(Entry(&m_udtItems, "real"), "Items"), "loop");
  EXPECT_EQ(NamesOf(loop), (Names{"Type"}));
  EXPECT_EQ(S(Value(loop, "Type")->GetStringValue()), "file");
}

TEST_F(XFileSpecListFixture, FailuresAreReportedWithTheirTextAndNeverAsSuccess) {
  Make("/list/a.txt");
  Make("/list/sub/b.txt");
  Make("/list/z.txt");
  struct {
    char const* path;
    std::string error;
  } const kPaths[] = {{"/list/a.txt", "Folder is not a Folder (it's a File): a.txt"},
                      {"/list/missing", "Folder does not exist: missing"},
                      {"/list/gone/deeper", "Path is Invalid: /Volumes/Macintosh HD/list/gone/deeper"}};
  for (auto const& row : kPaths) {
    XFileSpec spec;
    ASSERT_TRUE(spec.ParsePath(U(row.path)));
    EXPECT_FALSE(spec.XListFiles(&m_udtItems, true, 31, kPathStylePOSIX));
    EXPECT_EQ(S(spec.ErrorString()), row.error);
    UniStringList list;
    EXPECT_FALSE(spec.XListFiles(&list, kPathStylePOSIX));
    EXPECT_EQ(S(spec.ErrorString()), row.error);
  }
  EXPECT_FALSE(m_udtSpec.XListFiles(static_cast<clsMultiVar*>(nullptr), false, 2, kPathStylePOSIX));
  EXPECT_EQ(S(m_udtSpec.ErrorString()), "Output Item List is NULL.");
  EXPECT_FALSE(m_udtSpec.XListFiles(static_cast<UniStringList*>(nullptr), kPathStylePOSIX));
  EXPECT_EQ(S(m_udtSpec.ErrorString()), "Output File Name List is NULL.");

  // A fault in a sub-folder ends the walk: what came before stays, no "." or ".." follow.
  std::string const io = S(XFileSpec::GetMacError(ioErr));
  std::string const perm = S(XFileSpec::GetMacError(permErr));
  FSStandInTestFailNext("FSGetCatalogInfoBulk", "/list/sub", ioErr);
  EXPECT_FALSE(m_udtSpec.XListFiles(&m_udtItems, true, 2, kPathStylePOSIX));
  EXPECT_EQ(S(m_udtSpec.ErrorString()),
            "Error during recursion: There was an error iterating the files; MacError: " + io);
  EXPECT_EQ(NamesOf(&m_udtItems), (Names{"a.txt"}));
  FSStandInTestFailNext("FSOpenIterator", "/list/sub", permErr);
  EXPECT_FALSE(m_udtSpec.XListFiles(&m_udtItems, true, 2, kPathStylePOSIX));
  EXPECT_EQ(S(m_udtSpec.ErrorString()),
            "Error during recursion: Could not get File System Iterator; MacError: " + perm);
  // Access denied ends only that folder, as its normal end.
  FSStandInTestFailNext("FSGetCatalogInfoBulk", "/list/sub", afpAccessDenied);
  ASSERT_TRUE(m_udtSpec.XListFiles(&m_udtItems, true, 2, kPathStylePOSIX));
  EXPECT_EQ(NamesOf(&m_udtItems), (Names{"a.txt", "sub", "z.txt", ".", ".."}));
  EXPECT_EQ(NamesOf(Entry(Entry(&m_udtItems, "sub"), "Items")), (Names{".", ".."}));

  UniStringList list;
  FSStandInTestFailNext("FSGetCatalogInfoBulk", "/list", ioErr);
  EXPECT_FALSE(m_udtSpec.XListFiles(&list, kPathStylePOSIX));
  EXPECT_EQ(S(m_udtSpec.ErrorString()), "There was an error iterating the files; MacError: " + io);
  FSStandInTestFailNext("FSOpenIterator", "/list", permErr);
  EXPECT_FALSE(m_udtSpec.XListFiles(&list, kPathStylePOSIX));
  EXPECT_EQ(S(m_udtSpec.ErrorString()), "Could not create File System Iterator; MacError: " + perm);
  EXPECT_EQ(FSStandInTestPendingFaults(), 0);
}

}  // namespace
