// CFBundleInternal: the bundle object of the CoreFoundation stand-in, shared by the units that
// find bundles (CFBundle.cpp) and load their code (CFBundleLoading.cpp). Not for code above the
// stand-ins.
#pragma once

#include <string>

#include "platform/cf/CFBundle.h"

struct __CFBundle : public CFRuntimeObject {
  __CFBundle() : CFRuntimeObject(kCFRuntimeTypeBundle) {}
  std::string m_strRealFolder;
  // The loaded executable (dlopen), kept for the life of the process once loaded.
  void* m_ptrExecutable = nullptr;
};
