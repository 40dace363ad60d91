// FmxTestHost: the host model tests drive the plug-in's code with; it is the host library's
// clsFmxHost (host/clsFmxHost.h), under the name the tests have always used.
#pragma once

#include "host/clsFmxHost.h"

using FmxTestHost = clsFmxHost;
