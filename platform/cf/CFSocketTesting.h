// CFSocketTesting: counters of the CFSocket stand-in, for tests only: how many sends went out
// and how many bytes they carried, over every socket of the process since the last reset.
#pragma once

#include <cstdint>

void CFSocketTestingResetCounters();
int64_t CFSocketTestingSendCount();
int64_t CFSocketTestingBytesSent();
