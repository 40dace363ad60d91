// FMXTesting: test hooks of the host SDK stand-in, for failures the host may have that a test
// cannot bring about otherwise.
// Interface: FMXTestFailGetDataFrom (BinaryData::GetData of the streams of one type fails for
// any request that reaches a byte at or past an offset), FMXTestClearFaults.
// Relies on FMXBinaryData.cpp, which consults the hook. Process-wide (one copy in the shared
// library) and guarded by one mutex; nothing throws.
#pragma once

#include "platform/fmx/FMXTypes.h"

namespace fmx {

// From now on GetData of a stream of this type answers kErrUnknown, copying nothing, when the
// request reaches byte `offset` or beyond. A second call replaces the first.
void FMXTestFailGetDataFrom(QuadChar const& type, uint32 offset);
// Removes the hook.
void FMXTestClearFaults();

namespace detail {
// Whether a GetData request of the type is to fail (for FMXBinaryData.cpp).
bool GetDataFaultApplies(QuadChar const& type, uint32 offset, uint32 amount);
}  // namespace detail

}  // namespace fmx
