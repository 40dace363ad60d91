// Tests of the build and test scripts' parallel levels from the environment: the scripts run
// with stand-ins for cmake and ctest that only write down how they were called.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

TEST(ScriptsTest, BuildAndTestTakeTheirParallelLevelsFromTheEnvironment) {
  char pattern[] = "/tmp/velmora-scripts-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(pattern));
  std::string const dir = pattern;
  std::filesystem::create_directories(dir + "/bin");
  for (char const* tool : {"cmake", "ctest"}) {
    std::string const path = dir + "/bin/" + tool;
    std::ofstream(path) << "#!/bin/sh\necho \"" << tool << " $*\" >> \"$CALLS\"\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  }
  struct stcCase {
    char const* m_strEnvironment;
    char const* m_strScript;  // with its arguments
    std::string m_strCalls;
  } const cases[] = {
      {"CMAKE_BUILD_PARALLEL_LEVEL=5", "build.sh DIR/b", "cmake -S . -B DIR/b -G Ninja\ncmake --build DIR/b -j 5\n"},
      {"JOBS=3 CMAKE_BUILD_PARALLEL_LEVEL=5", "build.sh DIR/b", "cmake -S . -B DIR/b -G Ninja\ncmake --build DIR/b -j 3\n"},
      // the tree's own build folder (configured first when it is not yet)
      {"CMAKE_BUILD_PARALLEL_LEVEL=4 CTEST_PARALLEL_LEVEL=2", "test.sh -R x",
       "cmake --build build -j 4\nctest --test-dir build --output-on-failure -j 2 --timeout 300 -R x\n"},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.m_strEnvironment);
    std::string script = c.m_strScript;
    std::string calls = c.m_strCalls;
    if (calls.compare(0, 20, "cmake --build build ") == 0 &&
        !std::filesystem::exists(VELMORA_SOURCE_DIR "/build/build.ninja"))
      calls = "cmake -S . -B build -G Ninja\n" + calls;
    for (std::string* text : {&script, &calls})
      for (size_t at = text->find("DIR"); at != std::string::npos; at = text->find("DIR", at)) text->replace(at, 3, dir);
    std::filesystem::remove(dir + "/calls");
    std::string const command = "env -i PATH=" + dir + "/bin:/usr/bin:/bin CALLS=" + dir + "/calls " +
                                c.m_strEnvironment + " /bin/bash " VELMORA_SOURCE_DIR "/scripts/" + script +
                                " >/dev/null 2>&1";
    EXPECT_EQ(0, std::system(command.c_str()));
    std::ifstream in(dir + "/calls");
    EXPECT_EQ(calls, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
