// FunctionResult: the result value of a calculation-function worker written into the host's
// result object; every calculation-function callback ends with it.
// Interface: Function_SetResult(value, result, locale). The value's type alone decides the host
// form: strings, variables and arrays become host text in the caller's locale (an empty text
// leaves the result as the caller prepared it), integers and floats host numbers (precision
// 16), lists their lines joined by CR, date-times host timestamps in the system time zone to
// the whole second; any other type (or no value) the text
// "ERROR: PluginFuncCallback: Function did not return a valid result.", also logged.
// Relies on the host SDK stand-in's value classes, core/clsSingleVar.h, core/DebugLog.h and
// plugin/HostText.h. Host thread only; keeps no state; never throws of its own.
#pragma once

#include "core/clsSingleVar.h"
#include "platform/fmx/FMXData.h"
#include "platform/fmx/FMXTypes.h"

void Function_SetResult(clsSingleVar* value, fmx::Data& result, fmx::Locale& locale);
