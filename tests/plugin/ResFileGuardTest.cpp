// Tests of the resource-file guard: the plug-in's file is current inside the scope, and the file
// current before is current again after it, whether the scope returns or throws.
#include "plugin/ResFileGuard.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/TestResources.h"

TEST(ResFileGuardTest, ThePreviousFileIsCurrentAgainOnEveryPath) {
  ResFileRefNum host = kResFileNotOpened;
  ResFileRefNum plugin = kResFileNotOpened;
  ASSERT_EQ(noErr, OpenResourceFileAtPath(VelmoraTestResourcePath(), &plugin));
  ASSERT_EQ(noErr, OpenResourceFileAtPath(VelmoraTestResourcePath(), &host));
  for (bool const throws : {false, true}) {
    UseResFile(host);
    try {
      clsResFileGuard guard(plugin);
      EXPECT_EQ(plugin, CurResFile());
      if (throws) throw std::runtime_error("caught by the entry point");
    } catch (std::runtime_error const&) {
    }
    EXPECT_EQ(host, CurResFile()) << (throws ? "after a throw" : "after a return");
  }
  CloseResFile(host);
  CloseResFile(plugin);
}
