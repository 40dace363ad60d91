// PluginMain: the plug-in's one entry point and the start-up, idle, preference, text-query and
// shut-down handling hanging off it.
// Interface: FMExternCallProc (the exported, unmangled entry point; the call codes Init 0,
// Idle 1, External 3, Shutdown 4, DoAppPreferences 5 and GetString 7; others are ignored),
// PluginInit (51 loaded, -1 wrong API version, -2 refused or failed; anything but 51 is followed
// by a full shutdown), PluginShutdown, PluginIdle / Internal_PluginIdle (levels 0 to 3 run the
// script queue and, when the host lends its current environment, one SQL statement),
// PluginAppPrefs (the configuration dialog on a client host, then the registration a change of
// AddHelp or UseNewFunctions calls for; refused with a message while a dialog is shown),
// PluginGetString (128 the name,
// 129 the name, version and description, 131 the plug-in ID and option flags; written into the
// caller's buffer of parameter-3 units, ending in a 0 unit; 0 units: the whole text),
// Internal_PluginShutdown.
// Relies on every other unit of the frame, the preference store, the debug log and crash log and
// the stock message dialog. Host thread only; no lock.
// Failures: every exception escaping a handler is caught, written to a crash log naming the call
// code being handled, and leaves no result; the resource file that was current before the call
// is current again on every path.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "platform/fmx/FMXExtern.h"

extern "C" void FMExternCallProc(FMX_ExternCallPtr block);

int32_t PluginInit(int16_t apiVersion, uint8_t appType, uint16_t const* versionText);
void PluginShutdown();
void PluginIdle(uint8_t level);
void Internal_PluginIdle(uint8_t level);
void PluginAppPrefs();
// bufferUnits: the buffer's size in UTF-16 units (0: unknown, the whole text is written);
// unused: the call's parameter 2.
void PluginGetString(int16_t apiVersion, uint32_t id, uint32_t unused, int32_t bufferUnits, uint16_t* buffer);
void Internal_PluginShutdown();
