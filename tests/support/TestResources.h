// TestResources: opens the plug-in's generated resource file (the 'UNIC' code-page tables and
// other resources) for tests, benchmarks and fuzzers, and makes it the current resource file.
// The path is the environment variable VELMORA_TEST_RESOURCE_FILE when set, else the compile
// definition of that name. The test executables open it through a GoogleTest environment
// (TestResources.cpp) before any test; benchmarks and fuzzers call OpenVelmoraTestResources()
// themselves. This header needs only the Resource Manager stand-in, not gtest.
// The file is opened once per process; later calls just make it current again.
#pragma once

#include <cstdlib>

#include "platform/carbon/Resources.h"

// The resource file's path, or null when neither the environment nor the build names one.
inline char const* VelmoraTestResourcePath() {
  char const* path = std::getenv("VELMORA_TEST_RESOURCE_FILE");
  if (path != nullptr && path[0] != '\0') return path;
#ifdef VELMORA_TEST_RESOURCE_FILE
  return VELMORA_TEST_RESOURCE_FILE;
#else
  return nullptr;
#endif
}

// Opens the resource file on first use and makes it current; noErr or the open's error.
inline OSErr OpenVelmoraTestResources() {
  struct stcOpened {
    OSErr m_intErr = resFNotFound;
    ResFileRefNum m_intRef = kResFileNotOpened;
  };
  static stcOpened const s_udtOpened = [] {
    stcOpened opened;
    char const* path = VelmoraTestResourcePath();
    if (path != nullptr) opened.m_intErr = OpenResourceFileAtPath(path, &opened.m_intRef);
    return opened;
  }();
  if (s_udtOpened.m_intErr != noErr) return s_udtOpened.m_intErr;
  UseResFile(s_udtOpened.m_intRef);
  return ResError();
}
