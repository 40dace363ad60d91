// PluginGlobals: storage of the host globals, at their values before the host's Init call.
#include "plugin/PluginGlobals.h"

uint8_t g_fudtFMProduct = 0;
FMX_ExternCallPtr gFMX_ExternCallPtr = nullptr;
