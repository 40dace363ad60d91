// Tests of the plug-in state: its creation (once; a throwing one leaves it null) and its
// destruction, which deletes the listed temporary files and ignores those already gone; the
// random sequence each start draws.
#include "plugin/frame/clsPluginVars.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/carbon/Events.h"

#include "plugin/frame/clsSendValues.h"
#include "tests/support/TempFileSystemRoot.h"

class clsPluginVarsTest : public clsTempFileSystemRootTest {
 protected:
  void TearDown() override {
    delete m_udtPluginVars;
    m_udtPluginVars = nullptr;
    RemoveRoot();
  }
};

TEST_F(clsPluginVarsTest, CreatedOnceAndNullWhenItsCreationThrows) {
  FailNextPluginVarsForTesting();
  Internal_PluginInit();
  EXPECT_EQ(nullptr, m_udtPluginVars);
  Internal_PluginInit();
  ASSERT_NE(nullptr, m_udtPluginVars);
  clsPluginVars* const first = m_udtPluginVars;
  EXPECT_EQ(nullptr, first->m_udtSendValues);
  EXPECT_EQ(nullptr, first->m_ulstTempFiles);
  EXPECT_FALSE(first->m_bolCustomStatusTitle);
  Internal_PluginInit();
  EXPECT_EQ(first, m_udtPluginVars) << "an existing state stays";
}

// Processes started within one tick must not draw the same sequence (their Message-IDs and
// boundaries would repeat): two starts within one tick give different sequences.
TEST_F(clsPluginVarsTest, StartsWithinOneTickDrawDifferentSequences) {
  auto draw = [] {
    Internal_PluginInit();
    std::vector<int> values;
    for (int i = 0; i < 4; ++i) values.push_back(rand());
    return values;
  };
  for (int attempt = 0; attempt < 100; ++attempt) {
    UInt32 const tick = TickCount();
    std::vector<int> const first = draw();
    std::vector<int> const second = draw();
    if (TickCount() != tick) continue;
    EXPECT_NE(first, second);
    return;
  }
  FAIL() << "no two starts within one tick";
}

TEST_F(clsPluginVarsTest, DestructionDeletesTheListedTemporaryFiles) {
  ASSERT_TRUE(MakeRoot("velmora-vars", {"/tmp/Velmora Temp"}));
  ASSERT_EQ(noErr, InstallRoot());
  Write("/tmp/Velmora Temp/a.pdf", "a");
  Write("/tmp/Velmora Temp/b 50%.txt", "b");
  Write("/tmp/Velmora Temp/kept.txt", "c");
  clsPluginVars* vars = new clsPluginVars;
  vars->m_ulstTempFiles = new UniStringList;
  for (char const* path : {"/tmp/Velmora Temp/a.pdf", "/tmp/Velmora Temp/gone.txt",
                           "/tmp/Velmora Temp/b 50%.txt"}) {
    vars->m_ulstTempFiles->Add(UniString(path));
  }
  vars->m_udtSendValues = new clsSendValues;
  vars->m_ulstMergeLines = new UniStringList;
  delete vars;
  EXPECT_FALSE(Exists("/tmp/Velmora Temp/a.pdf"));
  EXPECT_FALSE(Exists("/tmp/Velmora Temp/b 50%.txt"));
  EXPECT_TRUE(Exists("/tmp/Velmora Temp/kept.txt"));
}
