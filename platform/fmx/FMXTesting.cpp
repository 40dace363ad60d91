// FMXTesting: one optional GetData fault, kept under a mutex.
#include "platform/fmx/FMXTesting.h"

#include <mutex>

namespace fmx {

namespace {

struct stcGetDataFault {
  bool active = false;
  QuadChar type;
  uint32 offset = 0;
};

std::mutex g_mtxFaults;
stcGetDataFault g_udtGetDataFault;

}  // namespace

void FMXTestFailGetDataFrom(QuadChar const& type, uint32 offset) {
  std::lock_guard<std::mutex> lock(g_mtxFaults);
  g_udtGetDataFault.active = true;
  g_udtGetDataFault.type = type;
  g_udtGetDataFault.offset = offset;
}

void FMXTestClearFaults() {
  std::lock_guard<std::mutex> lock(g_mtxFaults);
  g_udtGetDataFault = stcGetDataFault();
}

namespace detail {

bool GetDataFaultApplies(QuadChar const& type, uint32 offset, uint32 amount) {
  std::lock_guard<std::mutex> lock(g_mtxFaults);
  return g_udtGetDataFault.active && g_udtGetDataFault.type == type &&
         uint64(offset) + amount > g_udtGetDataFault.offset;
}

}  // namespace detail

}  // namespace fmx
