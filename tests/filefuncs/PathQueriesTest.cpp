// Tests of the path queries and the selection dialogs: type words in any case and with blanks,
// the two refusal texts, the front database's folder, a system folder that cannot be had, and
// the dialogs chosen, cancelled and refused (save-as without types, a server product).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filefuncs/PathQueries.h"
#include "platform/carbon/NavigationTesting.h"
#include "plugin/PluginGlobals.h"
#include "tests/filefuncs/FileFuncsTesting.h"
#include "tests/support/FmxTestHost.h"

namespace {

using namespace FileFuncsTesting;

class PathQueriesTest : public clsFileFuncsRootTest {
 protected:
  void SetUp() override {
    clsFileFuncsRootTest::SetUp();
    NavTestReset();
    gFMX_ExternCallPtr = &m_udtHost.CallBlock();
  }
  void TearDown() override {
    EXPECT_EQ(0, NavTestLiveDialogs());
    NavTestReset();
    gFMX_ExternCallPtr = nullptr;
    g_fudtFMProduct = 0;
    clsFileFuncsRootTest::TearDown();
  }
  FmxTestHost m_udtHost;
};

std::string GetPath(std::string const& type) {
  clsMultiVar params = Params({{"Type", type}});
  return Text(DoFileGetPath(&params));
}

TEST_F(PathQueriesTest, TypeWordsPickTheirFolderOrSayWhichWordsExist) {
  m_udtHost.SetEvaluateResult("Get(FilePath)", "filemac:/Macintosh HD/Users/bob/dir/Orders.fmp12");
  FSStandInSetFolder(kUserDomain, kTrashFolderType, "/Users/bob/.Trash");
  FSStandInSetFolder(kUserDomain, kDocumentsFolderType, "/Users/bob/Documents");
  struct {
    char const* type;
    char const* expected;
  } const rows[] = {
      {" docs ", "/Users/bob/Documents"},
      {"Documents", "/Users/bob/Documents"},
      {"TRASH", "/Users/bob/.Trash"},
      {"trash", "/Users/bob/.Trash"},
      {"Root", "Macintosh HD"},
      {"DB", "/Users/bob/dir"},  // the database's folder, not the file
      {"Recycle",
       "ERROR: GetPath: Unknown Path Type.  Specify \"Database\", \"FileMaker\", \"Root\", \"System\", \"Desktop\", "
       "\"Preferences\", \"Temporary\", \"Applications\", or \"Documents\"."},
      {"  ",
       "ERROR: File_GetPath: You must specify the Path Type to get ('Type' parameter).  Specify \"Database\", "
       "\"FileMaker\", \"Root\", \"System\", \"Desktop\", \"Trash\", \"Startup\", \"Preferences\", \"Temporary\", "
       "\"Applications\", or \"Documents\"."},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.type);
    EXPECT_EQ(row.expected, GetPath(row.type));
  }
  // No front database: the database row's own text.
  m_udtHost.SetEvaluateResult("Get(FilePath)", "");
  EXPECT_EQ("ERROR: File_GetPath: 'Database' Path is invalid.", GetPath("Database"));
  // A system folder that is a file cannot be had; the texts keep their own spelling.
  FSStandInSetFolder(kUserDomain, kDocumentsFolderType, "/Users/bob/file.txt");
  EXPECT_EQ("ERROR: File_GetPath: Could not get 'Documents' Path.", GetPath("DOCS"));
  FSStandInSetFolder(kOnSystemDisk, kApplicationsFolderType, "/Users/bob/file.txt");
  EXPECT_EQ("ERROR: File_GetPath: Could not get 'Applicationss' Path.", GetPath("apps"));
}

TEST_F(PathQueriesTest, DialogsChosenCancelledAndRefused) {
  clsSingleVar (*const folder)(clsMultiVar*) = DoFileSelectFolderWithDialog;
  clsSingleVar (*const file)(clsMultiVar*) = DoFileSelectFileWithDialog;
  struct {
    clsSingleVar (*worker)(clsMultiVar*);
    std::vector<std::pair<char const*, std::string>> params;
    bool queue;  // a dialog is expected and scripted
    stcNavTestRun run;
    uint8_t product;
    char const* expected;
  } const rows[] = {
      {folder, {{"StartPath", "~/dir"}, {"Prompt", "  Pick one  "}}, true, NavTestChoose("/Users/bob/full"), 0,
       "/Users/bob/full/"},
      {folder, {}, true, NavTestCancel(), 0, ""},
      {file, {{"Prompt", "Which?"}}, true, NavTestChoose("/Users/bob/file.txt"), 0, "/Users/bob/file.txt"},
      {file, {}, true, NavTestCancel(), 0, "ERROR: File_SelectFileWithDialog: Dialog Canceled."},
      {file, {{"DialogType", " saveas "}}, false, stcNavTestRun(), 0,
       "ERROR: File_SelectFileWithDialog: You must specify at least one File Type for 'Save As' dialogs."},
      {file, {{"DialogType", "SaveAs"}, {"FileTypes", "TEXT"}}, true,
       NavTestChoose("/Users/bob/dir").TypeName("out.txt"), 0, "/Users/bob/dir/out.txt"},
      {folder, {}, false, stcNavTestRun(), 3,
       "ERROR: File_SelectFolderWithDialog: This function is not available from FileMaker Server or the Web "
       "Publishing Engine."},
      {file, {}, false, stcNavTestRun(), 4,
       "ERROR: File_SelectFileWithDialog: This function is not available from FileMaker Server or the Web "
       "Publishing Engine."},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.expected);
    NavTestReset();
    g_fudtFMProduct = row.product;
    if (row.queue) NavTestQueueRun(row.run);
    clsMultiVar params;
    for (auto const& param : row.params) params.AddStringVar(U(param.first), U(param.second), true);
    EXPECT_EQ(row.expected, Text(row.worker(&params)));
    std::vector<stcNavTestDialog> const dialogs = NavTestDialogs();
    ASSERT_EQ(row.queue ? 1u : 0u, dialogs.size());
    if (row.queue) {
      // The prompt arrives trimmed; the start path is where the dialog opens.
      if (row.params.size() == 2 && row.params[1].first == std::string("Prompt")) {
        EXPECT_EQ("Pick one", dialogs[0].m_strMessage);
        EXPECT_EQ(std::vector<std::string>{"/Users/bob/dir"}, dialogs[0].m_vecLocationPaths);
      }
    }
  }
}

}  // namespace
