// FileFuncDispatch: the host callback of every File_* function and the mask it obeys.
// Interface: m_ulngFileFuncMask (one bit per offered function; only ChooseFileFuncs writes it)
// and FileFuncCallback, which the registration hands to the host. The old-style entry point is
// in filefuncs/FileFuncs.h.
// Relies on the host SDK stand-in's calculation-engine types.
#pragma once

#include <cstdint>

#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXData.h"

// Read by both entry points on every call: a function whose bit is clear is unknown to them.
extern uint32_t m_ulngFileFuncMask;

// Checks the function's bit and its parameters, reads them into a collection by name, runs the
// worker and writes its value, or the error text, into the result. Always answers 0: failures
// are text results beginning "ERROR: ". Catches everything: a crash writes a crash log and the
// text "ERROR: FileFuncCallback: Crash Log Generated: " and its path. The plug-in's resource
// file is current for the call and the previous one current again on every path.
fmx::errcode FileFuncCallback(short funcId, fmx::ExprEnv const& env, fmx::DataVect const& params,
                              fmx::Data& result);
