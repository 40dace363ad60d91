#include "core/Prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

void PrefaultPages(void* start, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  static uintptr_t const page = [] {
    long const size = sysconf(_SC_PAGESIZE);
    return size > 0 ? uintptr_t(size) : uintptr_t(4096);
  }();
  uintptr_t const first = (reinterpret_cast<uintptr_t>(start) + page - 1) & ~(page - 1);
  uintptr_t const end = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(page - 1);
  if (start == nullptr || end <= first) return;
  // Only the pages wholly inside the range: its neighbours' are not ours to fault in.
  madvise(reinterpret_cast<void*>(first), size_t(end - first), MADV_POPULATE_WRITE);
#else
  (void)start;
  (void)bytes;
#endif
}
