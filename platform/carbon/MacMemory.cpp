// MacMemory: a block is a header (address, size) followed by the bytes; the handle points at the
// header's address field.
#include "platform/carbon/MacMemory.h"

#include <atomic>
#include <cstdlib>

namespace {

struct stcBlock {
  Ptr m_ptrData;  // first: the handle points here
  Size m_lngSize;
};

std::atomic<OSErr> g_shtMemError{0};
constexpr OSErr kMemFullErr = -108;

}  // namespace

Handle NewHandle(Size byteCount) {
  if (byteCount < 0) {
    g_shtMemError = -50;
    return nullptr;
  }
  auto* block = static_cast<stcBlock*>(std::malloc(sizeof(stcBlock) + size_t(byteCount) + 1));
  if (block == nullptr) {
    g_shtMemError = kMemFullErr;
    return nullptr;
  }
  block->m_ptrData = reinterpret_cast<Ptr>(block + 1);
  block->m_lngSize = byteCount;
  g_shtMemError = 0;
  return &block->m_ptrData;
}

void DisposeHandle(Handle h) {
  if (h != nullptr) std::free(reinterpret_cast<stcBlock*>(h));
}

Size GetHandleSize(Handle h) { return h == nullptr ? 0 : reinterpret_cast<stcBlock*>(h)->m_lngSize; }

void HLock(Handle) {}
void HUnlock(Handle) {}
OSErr MemError(void) { return g_shtMemError; }
