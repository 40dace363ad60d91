// CalcCallbackFrame: the frame every calculation-function callback of the plug-in runs its own
// steps in: the plug-in's resource file made current (and the one before made current again on
// every path, a thrown exception included), the parameter extractor made sure of, the steps, the
// result value (or the error text) written as the host result in the first parameter's locale and
// traced, and a catch-all that writes a crash log and answers "ERROR: <callback>: Crash Log
// Generated: " and its path, or, when even that throws, tells the user on a client host.
// Interface: RunCalcCallback(callback name, steps, the level error results are traced at, the
// host's arguments). The steps fill the result value or an error text and may rename the function
// a crash log names (it starts as the callback's name and " main try/catch"), and may keep a
// secret result out of the trace.
// Relies on the parameter extractor, the host results, the debug log and crash log, the stock
// message dialog and the plug-in globals. Host thread only; answers the host 0 on every path.
#pragma once

#include "core/DebugLog.h"
#include "core/UniString.h"
#include "core/clsSingleVar.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXData.h"

// The tracer is the callback's own scope; the steps write the function's name through it.
typedef void (*CalcCallbackSteps)(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                                  clsSingleVar* resultValue, UniString* error, UniString* functionName,
                                  clsFuncDebug& tracer);

// Called by the steps when the result is a secret (a password read back): the frame's result
// trace then shows kDebugCensoredText in its place. Holds for the running callback only.
void CensorCalcCallbackResult();

fmx::errcode RunCalcCallback(char const* callbackName, CalcCallbackSteps steps, enumDebugLevel errorLevel,
                             short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                             fmx::Data& result);
