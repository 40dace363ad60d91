// CFBundle: the CoreFoundation bundle stand-in: where code and its resources live.
// A bundle is a folder. On this system its layout is:
//   <bundle>/                    the folder; its code (the plug-in's shared library) lies in it
//   <bundle>/Resources/          the resource file and the pictures (CFBundleCopyResourceURL)
//   <bundle>/PrivateFrameworks/  bundles of its own that its code loads, such as the web-view
//                                bundle, each a folder of the same layout
// The build assembles the plug-in's bundle in this layout (velmora_bundle_... in
// cmake/VelmoraBundle.cmake). The main bundle is the folder of the running program
// (/proc/self/exe). A plug-in's bundle is the folder of the shared library (or program) holding
// an address it registers under its identifier with CFBundleRegisterForAddress.
// Interface: CFBundleGetMainBundle, CFBundleGetBundleWithIdentifier (Get rule: not to be
// released), CFBundleCopyBundleURL, CFBundleCopyResourceURL, CFBundleCopyPrivateFrameworksURL
// (Copy rule), CFBundleRegisterForAddress (ours), CFBundleGetTypeID, and the test seam
// CFBundleSetLocationForTesting.
// URLs name virtual paths when the folder lies below the File Manager stand-in's root, real
// paths otherwise (FSStandInRealPath turns one back for dlopen).
// Relies on CFURL, CFString, the File Manager stand-in's virtual paths, stat and dladdr. Bundles
// live until the process ends. Unknown identifiers, missing resources and failed look-ups
// answer NULL / false.
#pragma once

#include "platform/cf/CFBase.h"
#include "platform/cf/CFString.h"
#include "platform/cf/CFURL.h"

typedef struct __CFBundle* CFBundleRef;

enum : CFTypeID { kCFRuntimeTypeBundle = kCFRuntimeTypeOther + 11 };

CFTypeID CFBundleGetTypeID(void);

// The host application's bundle; NULL when the running program cannot be found.
CFBundleRef CFBundleGetMainBundle(void);

// The bundle registered under the identifier; NULL when none is.
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);

// The bundle's folder, a folder URL. NULL for NULL.
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);

// The file Resources/[subDirName/]resourceName[.resourceType] of the bundle (resourceType and
// subDirName may be NULL or empty); NULL when it does not exist, for a null bundle or name, and
// for a name "." or "..", a name or type holding a '/', or a sub-folder with a ".." step.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName,
                                 CFStringRef resourceType, CFStringRef subDirName);

// The bundle's PrivateFrameworks/ folder, whether or not it exists. NULL for NULL.
CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle);

// Registers (or replaces) the bundle of identifier as the folder of the loaded library or
// program that holds address. False for a null or empty identifier, or an address in no loaded
// object.
Boolean CFBundleRegisterForAddress(CFStringRef identifier, void const* address);

// Test seam: registers (or replaces) the bundle of identifier as the folder at realFolderPath
// (a real path, made absolute; it need not exist yet), so a test places the plug-in's bundle,
// and with it the folder beside it, inside its own file-system root. A null path removes the
// registration. False for a null or empty identifier or an empty path.
Boolean CFBundleSetLocationForTesting(CFStringRef identifier, char const* realFolderPath);

// ---- loading a bundle's code (CFBundleLoading.cpp) ----
// A bundle's executable is the file in its folder named like the folder without its extension
// (WebKitInterface.bundle/WebKitInterface), a shared library.
// A new bundle (Create rule) for the folder a file URL names; NULL when no folder is there.
CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);
// Loads the executable (once; later calls answer true); false when it is missing or cannot be
// loaded. Loaded code stays for the life of the process.
Boolean CFBundleLoadExecutable(CFBundleRef bundle);
// The address of the executable's function of that name, loading the executable first when
// needed; NULL when the function or the executable is not there.
void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName);
