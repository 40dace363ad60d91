// Tests of bringing in a buffer's pages: the whole pages inside the range come in, the pages it
// only touches and its neighbours do not, and no byte anywhere changes.
#include "core/Prefault.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

size_t PageSize() { return size_t(sysconf(_SC_PAGESIZE)); }

// Which of the mapping's pages are present.
std::vector<bool> Present(unsigned char* map, size_t pages) {
  std::vector<unsigned char> flags(pages);
  EXPECT_EQ(0, mincore(map, pages * PageSize(), flags.data()));
  std::vector<bool> present(pages);
  for (size_t i = 0; i < pages; ++i) present[i] = (flags[i] & 1) != 0;
  return present;
}

}  // namespace

TEST(Prefault, BringsInTheWholePagesInsideTheRangeAndChangesNoByte) {
  size_t const page = PageSize();
  size_t const pages = 8;
  // Whether the kernel can populate at all; without it the call leaves everything as it was.
  void* probe = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(MAP_FAILED, probe);
  bool const populates = madvise(probe, page, MADV_POPULATE_WRITE) == 0;
  munmap(probe, page);

  struct {
    size_t from, to;              // the range, in bytes from the mapping's start
    std::vector<bool> expected;   // the pages present afterwards (when the kernel populates)
  } const cases[] = {
      {0, pages * page, {true, true, true, true, true, true, true, true}},
      // Partly covered pages at both ends stay out.
      {page + 100, 5 * page + 100, {false, false, true, true, true, false, false, false}},
      {2 * page, 4 * page, {false, false, true, true, false, false, false, false}},
      {3 * page + 1, 4 * page - 1, {false, false, false, false, false, false, false, false}},
      {5 * page, 5 * page, {false, false, false, false, false, false, false, false}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(testing::Message() << "range " << c.from << " to " << c.to);
    auto* map = static_cast<unsigned char*>(
        mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(MAP_FAILED, static_cast<void*>(map));
    PrefaultPages(map + c.from, c.to - c.from);
    if (populates) {
      EXPECT_EQ(c.expected, Present(map, pages));
    }
    // Pages with bytes of their own keep them: nothing is cleared or moved.
    for (size_t i = 0; i < pages * page; ++i) map[i] = static_cast<unsigned char>(i * 7 + 3);
    PrefaultPages(map + c.from, c.to - c.from);
    bool same = true;
    for (size_t i = 0; i < pages * page && same; ++i) same = map[i] == static_cast<unsigned char>(i * 7 + 3);
    EXPECT_TRUE(same);
    munmap(map, pages * page);
  }
  PrefaultPages(nullptr, 4 * page);  // nothing to bring in, and no fault
}
