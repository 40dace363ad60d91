// CFBundle: the CoreFoundation bundle stand-in, as far as finding where code lives.
// The main bundle is the folder of the running program (/proc/self/exe). A plug-in's bundle is
// the shared library (or program) that holds an address it registers under its identifier with
// CFBundleRegisterForAddress; its URL names that file.
// Interface: CFBundleGetMainBundle, CFBundleGetBundleWithIdentifier (Get rule: not to be
// released), CFBundleCopyBundleURL (Copy rule), CFBundleRegisterForAddress (ours),
// CFBundleGetTypeID.
// Relies on CFURL, CFString, the File Manager stand-in's virtual paths and dladdr. Bundles live
// until the process ends. Unknown identifiers and failed look-ups answer NULL / false.
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

// The bundle's location: a folder URL for the main bundle, the library file's URL for a
// registered one. The path is virtual when it lies below the File Manager stand-in's root and
// the real path otherwise. NULL for NULL.
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);

// Registers (or replaces) the bundle of identifier as the loaded library or program that holds
// address. False for a null or empty identifier, or an address in no loaded object.
Boolean CFBundleRegisterForAddress(CFStringRef identifier, void const* address);
