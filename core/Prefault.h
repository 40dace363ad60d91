// Prefault: brings in the pages of a fresh buffer with one call, before its first use.
// A page touched for the first time costs a fault of its own, and where faults are dear (a
// guest under a hypervisor: about ten microseconds each) a buffer of a megabyte filled once
// costs milliseconds that way; asking for its pages at once costs a small part of that.
// Interface: PrefaultPages(start, bytes): the whole pages inside the range are made present and
// writable. Nothing fails: where the kernel cannot do it, the pages come in as they are touched,
// as they would have. Any thread; the memory must be the caller's, mapped and writable.
#pragma once

#include <cstddef>

void PrefaultPages(void* start, size_t bytes);
