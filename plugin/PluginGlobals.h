// PluginGlobals: what the host told the plug-in about itself, kept in process-wide globals.
// Interface: gFMX_ExternCallPtr (the host's call block of the current or last entry-point call,
// null before the first call), g_shtResourceID (the plug-in's own resource file, from every
// entry-point call), and from Init: g_fshtFMAPIVersion (the host's plug-in API version),
// g_fudtFMProduct (the host application type: 0 to 2 client applications, 3 and up server
// products, 4 the Web Publishing Engine) and g_ustrFMVersionStr (the host's version text);
// InitGlobals sets the last three and traces them, ShutdownGlobals ends their use.
// Relies on the host SDK stand-in's call block (platform/fmx/FMXExtern.h), core/UniString.h and
// core/DebugLog.h. Plain data: written on the host's thread during start-up and entry-point
// calls, read anywhere; nothing here fails. The values stay until the plug-in is unloaded.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "platform/fmx/FMXExtern.h"

// The host's call block; among other things it lends the current calculation environment.
extern FMX_ExternCallPtr gFMX_ExternCallPtr;
// The plug-in's own resource file; made current around every host call.
extern int16_t g_shtResourceID;
// Host plug-in API version from Init (GetString updates it).
extern int16_t g_fshtFMAPIVersion;
// Host application type from the Init call; 0 until the host has said otherwise.
extern uint8_t g_fudtFMProduct;
// The host's version text from Init.
extern UniString g_ustrFMVersionStr;

// Stores the three values from Init and traces each at level Err, so that every debug log that
// is switched on shows them.
void InitGlobals(int16_t apiVersion, uint8_t appType, UniString versionText);
// The last step of Shutdown; the host-version globals keep their values.
void ShutdownGlobals();
