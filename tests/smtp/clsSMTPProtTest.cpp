// Tests of the SMTP controller's life cycle: it can be embedded in the plug-in state without
// starting anything.
#include "smtp/clsSMTPProt.h"

#include <dirent.h>
#include <gtest/gtest.h>

namespace {

int ThreadCount() {
  int count = 0;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return -1;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count;
}

TEST(clsSMTPProtTest, ConstructionStartsNoThread) {
  int before = ThreadCount();
  {
    clsSMTPProt prot;
    EXPECT_FALSE(prot.IsProtocolStarted());
    EXPECT_EQ(prot.GetThread(), nullptr);
    EXPECT_EQ(prot.ErrorString(), AnsiString(""));
    EXPECT_EQ(ThreadCount(), before);
  }
  EXPECT_EQ(ThreadCount(), before);
}

}  // namespace
