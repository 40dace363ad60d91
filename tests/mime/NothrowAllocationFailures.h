// NothrowAllocationFailures: makes one nothrow allocation fail in the mime tests. Setting a size
// makes the next nothrow allocation (array or single object) of exactly that many bytes answer
// null; for arrays, g_sizFailArrayAfter (when not 0) also asks that the nothrow array allocation
// just before was of that size, which singles out a copy made right after a string was built.
// The knobs then go back to 0. All other allocations go through as usual.
// The replaceable nothrow operators and the knobs are defined in clsRegExTest.cpp.
#pragma once

#include <cstddef>

extern std::size_t g_sizFailArrayOfSize;
extern std::size_t g_sizFailArrayAfter;
extern std::size_t g_sizFailObjectOfSize;
