// Tests of the nine plain file and folder workers on real files: every member's texts in the
// order of its checks, what each operation leaves on disk, and sizes at the 31-bit edge.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "filefuncs/FileOperations.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/filefuncs/FileFuncsTesting.h"

namespace {

using namespace FileFuncsTesting;

typedef clsSingleVar (*WorkerFn)(clsMultiVar*);

class FileOperationsTest : public clsFileFuncsRootTest {};

TEST_F(FileOperationsTest, EachMemberAnswersItsChecksAndOperationInOrder) {
  struct stcRow {
    WorkerFn worker;
    char const* name1;
    char const* value1;
    char const* name2;
    char const* value2;
    char const* expected;  // a text result, or null for the integer below
    int32_t integer;
    char const* present;  // a real path that must exist afterwards (or null)
    char const* absent;   // a real path that must not exist afterwards (or null)
  } const rows[] = {
      // The shared shape, in the order of its checks: missing, invalid, wrong kind, not found,
      // missing 2, destination invalid, failed, done. Other members: what differs.
      {DoFileCopy, "Source", "", "", "", "ERROR: File_Copy: You must specify the Source File ('Source' parameter).", 0, nullptr, nullptr},
      {DoFileCopy, "Source", "~/nope/x.txt", "Destination", "~/dir", "ERROR: File_Copy: Source File is invalid: One of the Parent Folders does not exist: nope", 0, nullptr, nullptr},
      {DoFileCopy, "Source", "~/dir", "Destination", "~/empty", "ERROR: File_Copy: You cannot copy Folders with this function; you must specify a File.", 0, nullptr, nullptr},
      {DoFileCopy, "Source", "~/nope.txt", "", "", "ERROR: File_Copy: Source File does not exist.", 0, nullptr, nullptr},
      {DoFileCopy, "Source", "~/file.txt", "", "", "ERROR: File_Copy: You must specify the File Destination ('Destination' parameter).", 0, nullptr, nullptr},
      {DoFileCopy, "Source", "~/file.txt", "Destination", "~/nope/deeper/x.txt", "ERROR: File_Copy: File Destination is invalid: One of the Parent Folders does not exist: nope", 0, nullptr, "/Users/bob/nope"},
      {DoFileCopy, "Source", "~/dir/f.txt", "Destination", "~/dir", "ERROR: File_Copy: File Copy Failed: Destination File already exists: f.txt", 0, nullptr, nullptr},
      {DoFileCopy, "Source", "~/file.txt", "Destination", "~/dir", "Copied /Users/bob/file.txt to /Users/bob/dir", 0, "/Users/bob/dir/file.txt", nullptr},
      // Move: the source path in the text is the old location.
      {DoFileMove, "Source", "~/dir/f.txt", "Destination", "~/dir", "ERROR: File_Move: File Move Failed: Destination File already exists: f.txt", 0, "/Users/bob/dir/f.txt", nullptr},
      {DoFileMove, "Source", "~/file.txt", "Destination", "~/dir", "Moved /Users/bob/file.txt to /Users/bob/dir", 0, "/Users/bob/dir/file.txt", "/Users/bob/file.txt"},
      // Rename: the path in the text is the renamed file's; the new name as passed.
      {DoFileRename, "File", "", "", "", "ERROR: File_Rename: You must specify the File to Rename ('File' parameter).", 0, nullptr, nullptr},
      {DoFileRename, "File", "~/file.txt", "NewName", "", "ERROR: File_Rename: You must specify a new Name for the File ('NewName' parameter). (2)", 0, nullptr, nullptr},
      {DoFileRename, "File", "~/file.txt", "NewName", "dir", "ERROR: File_Rename: File Renaming Failed: A Folder with that name already exists: dir", 0, "/Users/bob/file.txt", nullptr},
      {DoFileRename, "File", "~/file.txt", "NewName", "a/b", "Renamed /Users/bob/a:b to a/b", 0, "/Users/bob/a:b", "/Users/bob/file.txt"},
      // Delete.
      {DoFileDelete, "File", "~/file.txt", "", "", "/Users/bob/file.txt Deleted.", 0, nullptr, "/Users/bob/file.txt"},
      // DeleteFolder: a file is the wrong kind; a folder with content cannot go.
      {DoFileDeleteFolder, "Folder", "~/file.txt", "", "", "ERROR: File_DeleteFolder: You cannot delete Files with this function; you must specify a Folder.", 0, "/Users/bob/file.txt", nullptr},
      {DoFileDeleteFolder, "Folder", "~/nope", "", "", "ERROR: File_DeleteFolder: Folder does not exist.", 0, nullptr, nullptr},
      {DoFileDeleteFolder, "Folder", "~/full", "", "", "ERROR: File_DeleteFolder: Folder Deletion Failed: Could not delete Folder: full; MacError: -47 (File/Folder is in use)", 0, "/Users/bob/full/x", nullptr},
      {DoFileDeleteFolder, "Folder", "~/empty", "", "", "/Users/bob/empty Deleted.", 0, nullptr, "/Users/bob/empty"},
      // CreateFolder: an existing folder is a success text; missing parents are made.
      {DoFileCreateFolder, "Folder", "", "", "", "ERROR: File_CreateFolder: You must specify a name for the New Folder ('Folder' parameter).", 0, nullptr, nullptr},
      {DoFileCreateFolder, "Folder", "~/dir", "", "", "Folder already exists.", 0, nullptr, nullptr},
      {DoFileCreateFolder, "Folder", "~/file.txt", "", "", "ERROR: File_CreateFolder: Folder Creation Failed: A File with that name already exists: file.txt", 0, nullptr, nullptr},
      {DoFileCreateFolder, "Folder", "~/a/b", "", "", "/Users/bob/a/b Created.", 0, "/Users/bob/a/b", nullptr},
      // Exists tests: 1 or an error text, never 0.
      {DoFileExists, "File", "", "", "", "ERROR: File_Exists: You must specify a File to test ('File' parameter).", 0, nullptr, nullptr},
      {DoFileExists, "File", "~/file.txt", "", "", nullptr, 1, nullptr, nullptr},
      {DoFileExists, "File", "~/dir", "", "", "ERROR: File_Exists: File is not a File (it's a Folder): dir", 0, nullptr, nullptr},
      {DoFileExists, "File", "~/nope.txt", "", "", "ERROR: File_Exists: File does not exist: nope.txt", 0, nullptr, nullptr},
      {DoFileFolderExists, "Folder", "~/dir", "", "", nullptr, 1, nullptr, nullptr},
      {DoFileFolderExists, "Folder", "~/file.txt", "", "", "ERROR: File_FolderExists: Folder is not a Folder (it's a File): file.txt", 0, nullptr, nullptr},
      // Size.
      {DoFileSize, "File", "~/dir/f.txt", "", "", nullptr, 5, nullptr, nullptr},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(std::string(row.value1) + " / " + row.value2);
    Populate();
    clsMultiVar params = Params({{row.name1, row.value1}});
    if (row.value2[0] != '\0') params.AddStringVar(U(row.name2), U(row.value2), true);
    clsSingleVar const result = row.worker(&params);
    if (row.expected == nullptr) {
      EXPECT_EQ(kVarTypeInteger, result.GetType());
      EXPECT_EQ(row.integer, result.GetIntegerValue());
    } else {
      EXPECT_EQ(kVarTypeString, result.GetType());
      EXPECT_EQ(row.expected, Text(result));
    }
    if (row.present != nullptr) {
      EXPECT_TRUE(Exists(row.present)) << row.present;
    }
    if (row.absent != nullptr) {
      EXPECT_FALSE(Exists(row.absent)) << row.absent;
    }
  }
}

TEST_F(FileOperationsTest, SizesUpToTheSignedLimitAndRefusedOperations) {
  // Sparse files: no disk space is used. 2^31 bytes do not fit the signed 32-bit result.
  struct {
    off_t size;
    char const* expected;
  } const sizes[] = {
      {0, "0"},
      {INT32_MAX, "2147483647"},
      {off_t(INT32_MAX) + 1, "ERROR: File_Size: Getting File Size failed: Could not get File size: file.txt (the File is 2 GB or larger)"},
  };
  for (auto const& row : sizes) {
    SCOPED_TRACE(row.size);
    ASSERT_EQ(0, truncate(Real("/Users/bob/file.txt").c_str(), row.size));
    clsMultiVar params = Params({{"File", "~/file.txt"}});
    EXPECT_EQ(row.expected, Text(DoFileSize(&params)));
  }
  // A deletion the file system refuses keeps the file and names the reason.
  FSStandInTestFailNext("FSDeleteObject", "/Users/bob/file.txt", fBsyErr);
  clsMultiVar params = Params({{"File", "~/file.txt"}});
  EXPECT_EQ("ERROR: File_Delete: File Deletion Failed: Could not delete File: file.txt; MacError: -47 (File/Folder is in use)", Text(DoFileDelete(&params)));
  EXPECT_TRUE(Exists("/Users/bob/file.txt"));
}

}  // namespace
