// PluginGlobals: what the host told the plug-in about itself, kept in process-wide globals.
// Interface: g_fudtFMProduct (the host application type: 0 to 2 client applications, 3 and up
// server products, 4 the Web Publishing Engine) and gFMX_ExternCallPtr (the host's call block of
// the current or last entry-point call, null before the first call).
// Relies on the host SDK stand-in's call block (platform/fmx/FMXExtern.h). Plain data: written on
// the host's thread during start-up and entry-point calls, read anywhere; nothing here fails.
#pragma once

#include <cstdint>

#include "platform/fmx/FMXExtern.h"

// Host application type from the Init call; 0 until the host has said otherwise.
extern uint8_t g_fudtFMProduct;

// The host's call block; among other things it lends the current calculation environment.
extern FMX_ExternCallPtr gFMX_ExternCallPtr;
