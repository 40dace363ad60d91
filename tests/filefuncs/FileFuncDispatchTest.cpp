// Tests of the File_* dispatch: the host callback's checks in order (mask, count, container,
// text parameters), optional parameters, File_Import's result written by its worker, the
// old-style numbering over enabled entries with single and parsed parameters, and a worker that
// throws: a crash text, and the resource file current before is current again.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/DebugLogFile.h"
#include "core/UniStringList.h"
#include "filefuncs/FileFuncDispatch.h"
#include "filefuncs/FileFuncs.h"
#include "platform/carbon/Resources.h"
#include "plugin/PluginGlobals.h"
#include "tests/filefuncs/FileFuncsTesting.h"
#include "tests/support/FmxTestHost.h"
#include "tests/support/TestResources.h"

namespace {

using namespace FileFuncsTesting;

// A host whose calculations throw, as a failing host call would.
class clsThrowingHost : public FmxTestHost {
 public:
  fmx::errcode Evaluate(fmx::ExprEnv const&, fmx::Text const&, fmx::Data&) override {
    throw std::runtime_error("host failure");
  }
};

class FileFuncDispatchTest : public clsFileFuncsRootTest {
 protected:
  void TearDown() override {
    ChooseFileFuncs(0);
    gFMX_ExternCallPtr = nullptr;
    clsFileFuncsRootTest::TearDown();
  }
  // Calls the callback directly (the host would refuse counts below its own minimum).
  static std::string Call(fmx::int16 id, std::vector<fmx::Data> const& params) {
    fmx::DataVect vect;
    for (auto const& param : params) vect.PushBack(param);
    fmx::Data result;
    fmx::ExprEnv env;
    EXPECT_EQ(0, FileFuncCallback(id, env, vect, result));
    return FmxTestHost::TextOf(result);
  }
  static fmx::Data T(std::string const& text) { return FmxTestHost::TextData(text); }
};

TEST_F(FileFuncDispatchTest, ChecksInOrderThenTheWorker) {
  fmx::Data const container = FmxTestHost::ContainerData({{"FILE", "data"}});
  struct {
    uint32_t mask;
    fmx::int16 id;
    std::vector<fmx::Data> params;
    std::string expected;
  } const rows[] = {
      {0, 2010, {T("~/file.txt"), T("~/dir")}, "ERROR: FileFuncCallback: Unknown File Function."},
      {0x3FFF, 1999, {}, "ERROR: FileFuncCallback: Unknown File Function."},
      {0x3FFE, 2010, {T("~/file.txt"), T("~/dir")}, "ERROR: FileFuncCallback: Unknown File Function."},
      {0x1, 2010, {T("~/file.txt")}, "ERROR: File_Copy: Incorrect number of parameters."},
      {0x1, 2010, {container, T("~/dir")}, "ERROR: File_Copy: The 'Source' parameter must be text."},
      {0x1, 2010, {T("~/file.txt"), T("~/empty"), container}, "Copied /Users/bob/file.txt to /Users/bob/empty"},
      {0x400, 2100, {T("~/file.txt"), container}, "ERROR: File_Rename: The 'NewName' parameter must be text."},
      {0x10, 2040, {FmxTestHost::NumberData(42)}, "ERROR: File_Exists: File does not exist: 42"},
      {0x20, 2050, {container}, "ERROR: File_Export: Incorrect number of parameters."},
      {0x20, 2050, {FmxTestHost::NumberData(1), T("~/empty")},
       "ERROR: File_Export: The 'Container' parameter must be a container field."},
      // An empty SaveAs before a ReqType: only "Path" and "ReqType" reach the worker.
      {0x20, 2050, {container, T("~/empty"), T(""), T("FILE")}, "Exported file to: /Users/bob/empty/Untitled"},
      {0x20, 2050, {T("one\rtwo"), T("~/empty"), T("t.txt")}, "Exported Text to /Users/bob/empty/t.txt"},
      {0x100, 2080, {T("~/nope.txt")}, "ERROR: File_Import: File does not exist."},
      {0x80, 2075, {}, "Macintosh HD"},
      {0x80, 2065, {T(" root ")}, "Macintosh HD"},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.expected);
    Populate();
    ChooseFileFuncs(row.mask);
    EXPECT_EQ(row.expected, Call(row.id, row.params));
  }

  // Through the host: its minimum for File_Export is 1, the dispatch's 2.
  FmxTestHost host;
  ChooseFileFuncs(0x3FFF);
  ASSERT_EQ(0, RegisterFileFuncs(true, true));
  fmx::Data result;
  EXPECT_EQ(0, host.CallFunctionWith(2050, {container}, result));
  EXPECT_EQ("ERROR: File_Export: Incorrect number of parameters.", FmxTestHost::TextOf(result));
  // File_Exists answers a number; a successful File_Import leaves the container its worker wrote.
  EXPECT_EQ(0, host.CallFunctionWith(2040, {T("~/file.txt")}, result));
  EXPECT_EQ(fmx::Data::kDTNumber, result.GetNativeType());
  EXPECT_EQ("1", FmxTestHost::TextOf(result));
  EXPECT_EQ(0, host.CallFunctionWith(2080, {T("~/file.txt"), T("")}, result));
  EXPECT_EQ(fmx::Data::kDTBinary, result.GetNativeType());
  EXPECT_EQ(2, result.GetBinaryData().GetCount());
}

TEST_F(FileFuncDispatchTest, OldStyleNumbersTheEnabledEntries) {
  struct {
    uint32_t mask;
    int32_t number;
    std::vector<std::string> lines;
    bool handled;
    std::string expected;
  } const rows[] = {
      {0, 0, {"~/file.txt"}, false, ""},
      {0x2004, 0, {"~/file.txt"}, true, "/Users/bob/file.txt Deleted."},  // a bare path is "File"
      {0x2004, 1, {"~/dir/f.txt"}, true, "5"},
      {0x2004, 2, {"~/file.txt"}, false, ""},
      {0x2004, 0, {"File=\"~/file.txt\""}, true, "/Users/bob/file.txt Deleted."},
      {0x2004, 0, {"File=\"~/file.txt"}, true, "ERROR: File_Delete: Error parsing parameters: Ending Quote not Found for Variable named File."},
      {0x80, 2, {}, true, "Macintosh HD"},
      {0x80, 3, {}, false, ""},
      {0x1, 0, {"Source=\"~/file.txt\"; Destination=\"~/empty\""}, true,
       "Copied /Users/bob/file.txt to /Users/bob/empty"},
      // Copy always parses: a bare path names no "Source".
      {0x1, 0, {"~/file.txt"}, true, "ERROR: File_Copy: You must specify the Source File ('Source' parameter)."},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(std::to_string(row.mask) + " #" + std::to_string(row.number));
    Populate();
    ChooseFileFuncs(row.mask);
    UniStringList in;
    for (auto const& line : row.lines) in.Add(U(line));
    UniStringList out;
    out.Add(U("untouched"));
    EXPECT_EQ(row.handled, OldStyleFileFuncCallback(0, row.number, &in, &out));
    ASSERT_EQ(1u, out.Count());
    EXPECT_EQ(row.handled ? row.expected : "untouched", S(out.At(0)));
  }
}

TEST_F(FileFuncDispatchTest, AThrowingWorkerGivesACrashTextAndTheResourceFileBack) {
  ResFileRefNum plugin = kResFileNotOpened;
  ResFileRefNum before = kResFileNotOpened;
  ASSERT_EQ(noErr, OpenResourceFileAtPath(VelmoraTestResourcePath(), &plugin));
  ASSERT_EQ(noErr, OpenResourceFileAtPath(VelmoraTestResourcePath(), &before));
  g_shtResourceID = plugin;
  clsThrowingHost host;
  gFMX_ExternCallPtr = &host.CallBlock();
  ChooseFileFuncs(0x80);
  UseResFile(before);
  std::string const result = Call(2060, {});  // File_GetPathToDB asks the host for the database
  EXPECT_EQ("ERROR: FileFuncCallback: Crash Log Generated: " + S(g_ustrCrashLogFileName), result);
  EXPECT_TRUE(Exists(S(g_ustrCrashLogFileName)));  // inside the temporary root
  EXPECT_EQ(before, CurResFile());
  CloseResFile(before);
  CloseResFile(plugin);
}

}  // namespace
