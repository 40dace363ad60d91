// PluginIdentity: the names under which the plug-in presents itself to the host and its users:
// product name, version, description, the plug-in ID of its calculation functions and the option
// flags it answers the host with. One text each, the same everywhere: take them from here.
#pragma once

// The product name; every function is registered as this, "_" and the function's name.
inline constexpr char g_strProductName[] = "Velmora";
inline constexpr char g_strProductVersion[] = "1.1.3";
inline constexpr char g_strProductDescription[] = "An easy to use Email Plug-in for FileMaker Pro.";
// The four characters passed with every registration, and the start of the options string.
inline constexpr char g_strPluginID[] = "QRVe";
// Option flags after the plug-in ID: among others, a preference dialog (call code 5) and idle
// calls (call code 1) are wanted; the positions follow the host's plug-in interface.
inline constexpr char g_strPluginOptionFlags[] = "1YnYYnn";
