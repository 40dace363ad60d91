// NoRealLogFile: keeps test programs from appending to the user's real debug log. The log's file
// step is switched off before any test runs; the tests of the log file switch it on themselves,
// inside a temporary file-system root.
#include <gtest/gtest.h>

#include "core/DebugLog.h"

namespace {

class NoRealLogFileEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { g_fnDebugLogFileWriter = nullptr; }
};

::testing::Environment* const g_envNoRealLogFile =
    ::testing::AddGlobalTestEnvironment(new NoRealLogFileEnvironment);

}  // namespace
