// VelmoraBundle: the plug-in's shared library as the host loads it. Its one exported symbol is
// the entry point FMExternCallProc (plugin/frame/PluginMain.h); everything else stays inside.
// On load it registers its bundle (the folder holding the library) under the plug-in's bundle
// identifier, so that the preference store and the logs find the folder beside it.
// Relies on the CoreFoundation bundle stand-in and files/XFileSpec.h for the identifier. A
// registration that fails leaves the bundle unknown: the folder beside it is then not used.
#include "files/XFileSpec.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFString.h"
#include "plugin/frame/PluginMain.h"

namespace {

__attribute__((constructor)) void RegisterPluginBundle() {
  CFStringRef identifier =
      CFStringCreateWithCString(kCFAllocatorDefault, g_strPluginBundleIdentifier, kCFStringEncodingUTF8);
  if (!identifier) return;
  CFBundleRegisterForAddress(identifier, reinterpret_cast<void const*>(&FMExternCallProc));
  CFRelease(identifier);
}

}  // namespace
