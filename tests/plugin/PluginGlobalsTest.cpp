// Tests of the host globals' start-up: InitGlobals stores what the host said and traces it at
// level Err, also for an empty version text.
#include "plugin/PluginGlobals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DebugLog.h"

namespace {

std::vector<std::string> g_lstLines;
void Record(UniString const& line) {
  std::string const text = line.GetAnsiString(1).c_str();
  if (text.find("Err : ") != std::string::npos) g_lstLines.push_back(text.substr(text.find("Err : ") + 6));
}

}  // namespace

TEST(PluginGlobalsTest, InitGlobalsStoresAndTracesTheHostValues) {
  g_fnDebugLogFileWriter = Record;
  InitDebug();
  g_intDebugLevel = kDebugError;
  g_lstLines.clear();
  InitGlobals(57, 2, UniString());
  InitGlobals(51, 1, UniString("12.0v5"));
  EndDebug();
  g_intDebugLevel = kDebugNone;
  g_fnDebugLogFileWriter = nullptr;

  EXPECT_EQ(51, g_fshtFMAPIVersion);
  EXPECT_EQ(1, g_fudtFMProduct);
  EXPECT_EQ(UniString("12.0v5"), g_ustrFMVersionStr);
  std::vector<std::string> const expected = {
      "FileMaker API Version: 57", "FileMaker Product: 2", "FileMaker Version Str: ",
      "FileMaker API Version: 51", "FileMaker Product: 1", "FileMaker Version Str: 12.0v5"};
  EXPECT_EQ(expected, g_lstLines);
  ShutdownGlobals();
  EXPECT_EQ(UniString("12.0v5"), g_ustrFMVersionStr) << "kept until the plug-in is unloaded";
}
