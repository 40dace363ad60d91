// Tests of the File_* registration: which ids reach the host in which order for a mask, the
// names, prototypes, help comments, counts and flags byte for byte, the stop at a refusal, and
// the seventeen unregistrations whatever the mask.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filefuncs/FileFuncDispatch.h"
#include "filefuncs/FileFuncs.h"
#include "tests/support/FmxTestHost.h"

namespace {

std::vector<fmx::int16> const kAllIds = {2010, 2020, 2030, 2035, 2040, 2050, 2055, 2065, 2060,
                                         2070, 2075, 2080, 2090, 2100, 2115, 2116, 2110};

class FileFuncRegistrationTest : public ::testing::Test {
 protected:
  void TearDown() override { ChooseFileFuncs(0); }
};

TEST_F(FileFuncRegistrationTest, MasksPickRowsInTableOrderAndARefusalStopsTheWalk) {
  struct {
    uint32_t mask;
    fmx::int16 refusedId;
    fmx::errcode refusal;
    std::vector<fmx::int16> ids;
    int32_t result;
  } const rows[] = {
      {0, 0, 0, {}, 0},
      {0x80, 0, 0, {2065, 2060, 2070, 2075}, 0},
      {0x80, 2065, -4, {}, -4},  // the old names are not tried after File_GetPath fails
      {0x80, 2070, 7, {2065, 2060}, 7},
      {0x3FFF, 0, 0, kAllIds, 0},
      {0x3FFF, 2040, -1, {2010, 2020, 2030, 2035}, -1},
      {0x2001, 0, 0, {2010, 2110}, 0},
      {0xFFFFC000u, 0, 0, {}, 0},  // bits above 0x2000 mean nothing
      {0xFFFFFFFFu, 0, 0, kAllIds, 0},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.mask);
    FmxTestHost host;
    if (row.refusedId != 0) host.RefuseRegistration(row.refusedId, row.refusal);
    ChooseFileFuncs(row.mask);
    EXPECT_EQ(row.mask, m_ulngFileFuncMask);
    EXPECT_EQ(row.result, RegisterFileFuncs(true, true));
    std::vector<fmx::int16> ids;
    for (auto const& function : host.Functions()) {
      ids.push_back(function.functionId);
      EXPECT_EQ(FileFuncCallback, function.callback);
      EXPECT_EQ("QRVe", std::string({char(function.pluginId[0]), char(function.pluginId[1]),
                                      char(function.pluginId[2]), char(function.pluginId[3])}));
    }
    EXPECT_EQ(row.ids, ids);
    // Shutdown unregisters every id, whatever was registered.
    UnregisterFileFuncs();
    EXPECT_EQ(kAllIds, host.UnregisterRequests());
  }
}

TEST_F(FileFuncRegistrationTest, NamesPrototypesCountsAndFlags) {
  struct {
    bool help;
    bool dialog;
    fmx::int16 id;
    char const* name;
    char const* prototype;
    fmx::int16 minArgs;
    fmx::int16 maxArgs;
    fmx::uint32 flags;
  } const rows[] = {
      {true, true, 2010, "Velmora_File_Copy",
       "Velmora_File_Copy( Source ; Destination )\r/*\rSource = The Path and File Name of the File you want to "
       "Copy.\rDestination = The Path to the Folder where you want the Copy. [You can optionally specify a File "
       "Name to Rename the File.]\r*/",
       2, 2, 0xFF01},
      {true, true, 2065, "Velmora_File_GetPath",
       "Velmora_File_GetPath( Type )\r/*Type = Which Path Type you need. Specify \"Database\", \"FileMaker\", "
       "\"Root\", \"System\", \"Desktop\", \"Preferences\", \"Temporary\", \"Applications\", or \"Documents\".*/",
       1, 1, 0xFF01},
      {true, true, 2060, "Velmora_File_GetPathToDB", "Velmora_File_GetPathToDB", 0, 0, 0x0001},
      {true, true, 2115, "Velmora_File_SelectFileWithDialog",
       "Velmora_File_SelectFileWithDialog{( StartPath {; Prompt } )}\r/*\rStartPath = The Path to the Folder to "
       "display when the dialog first opens.\rPrompt = An optional Prompt or Message to display on the dialog.\r*/",
       0, -1, 0xFF00},
      {true, true, 2116, "Velmora_File_SelectFolderWithDialog",
       "Velmora_File_SelectFolderWithDialog{( StartPath {; Prompt } )}\r/*\rStartPath = The Path to the Folder to "
       "display when the dialog first opens.\rPrompt = An optional Prompt or Message to display on the Dialog.\r*/",
       0, -1, 0xFF00},
      {false, false, 2110, "Velmora_File_Size", "Velmora_File_Size( File )", 1, 1, 0x0001},
      {false, false, 2116, "Velmora_File_SelectFolderWithDialog",
       "Velmora_File_SelectFolderWithDialog{( StartPath {; Prompt } )}", 0, -1, 0x0000},
      {false, false, 2075, "Velmora_File_GetRoot", "Velmora_File_GetRoot", 0, 0, 0x0001},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.name);
    FmxTestHost host;
    ChooseFileFuncs(0x3FFF);
    ASSERT_EQ(0, RegisterFileFuncs(row.help, row.dialog));
    FmxTestHost::stcFunction const* function = host.FindFunction(row.id);
    ASSERT_NE(nullptr, function);
    EXPECT_EQ(row.name, function->name);
    EXPECT_EQ(row.prototype, function->prototype);
    EXPECT_EQ(row.minArgs, function->minArgs);
    EXPECT_EQ(row.maxArgs, function->maxArgs);
    EXPECT_EQ(row.flags, function->flags);
  }
}

}  // namespace
