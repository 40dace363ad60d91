// Tests of the CFData stand-in: a created data holds its own copy; a no-copy data shows the
// caller's bytes themselves and frees them on release only when asked to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/cf/CFData.h"

namespace {

TEST(CFDataTest, CopiedAndBorrowedBytes) {
  struct Row {
    char const* name;
    bool noCopy;
    bool fromMalloc;  // the bytes come from malloc and go to the data (freed on release)
    CFIndex length;
  };
  for (Row const& row : {Row{"copy", false, false, 5}, Row{"copy, empty", false, false, 0},
                         Row{"no copy, kept", true, false, 5}, Row{"no copy, kept, empty", true, false, 0},
                         Row{"no copy, freed", true, true, 5}}) {
    SCOPED_TRACE(row.name);
    UInt8 own[5] = {'a', 'b', 'c', 'd', 'e'};
    UInt8* bytes = own;
    if (row.fromMalloc) {
      bytes = static_cast<UInt8*>(std::malloc(sizeof own));
      std::memcpy(bytes, own, sizeof own);
    }
    CFDataRef data = row.noCopy
                         ? CFDataCreateWithBytesNoCopy(kCFAllocatorDefault, bytes, row.length,
                                                       row.fromMalloc ? kCFAllocatorMalloc : kCFAllocatorNull)
                         : CFDataCreate(kCFAllocatorDefault, bytes, row.length);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(CFDataGetTypeID(), CFGetTypeID(data));
    EXPECT_EQ(CFDataGetLength(data), row.length);
    UInt8 const* shown = CFDataGetBytePtr(data);
    if (row.length == 0) {
      EXPECT_EQ(shown, nullptr);
    } else {
      ASSERT_NE(shown, nullptr);
      EXPECT_EQ(std::string(reinterpret_cast<char const*>(shown), size_t(row.length)), "abcde");
      // Borrowed bytes are the caller's: a change shows through; a copy does not follow it.
      bytes[0] = 'z';
      EXPECT_EQ(shown[0], row.noCopy ? 'z' : 'a');
    }
    // Releasing a data over the stack array must not free it (free() of it would abort); the
    // malloc'd bytes are freed (a leak shows under the sanitizer build).
    CFRelease(data);
    if (!row.noCopy && row.fromMalloc) std::free(bytes);
  }
  EXPECT_EQ(CFDataCreateWithBytesNoCopy(kCFAllocatorDefault, nullptr, 3, kCFAllocatorNull), nullptr);
  EXPECT_EQ(CFDataCreateWithBytesNoCopy(kCFAllocatorDefault, nullptr, -1, kCFAllocatorNull), nullptr);
}

}  // namespace
