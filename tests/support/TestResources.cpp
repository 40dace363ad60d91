// TestResources: a GoogleTest global environment, registered by a static object, that opens the
// plug-in's resource file and makes it current before any test runs. When the file cannot be
// opened the environment fails fatally, so no test runs and the executable reports the failure.
#include "tests/support/TestResources.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class clsVelmoraResourceEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char const* path = VelmoraTestResourcePath();
    OSErr err = OpenVelmoraTestResources();
    if (err != noErr) {
      std::fprintf(stderr, "Cannot open the test resource file \"%s\" (error %d)\n",
                   path != nullptr ? path : "(none named)", int(err));
      GTEST_FAIL() << "Cannot open the test resource file \"" << (path != nullptr ? path : "(none named)")
                   << "\" (error " << err << "); set VELMORA_TEST_RESOURCE_FILE or build velmora_resources";
    }
  }
};

::testing::Environment* const s_pudtResourceEnvironment =
    ::testing::AddGlobalTestEnvironment(new clsVelmoraResourceEnvironment);

}  // namespace
