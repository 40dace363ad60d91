// SharedPlatformProbe: the interface of a small library that a test program loads with dlopen
// to see whether the loaded code shares the program's platform state (as a plug-in shares its
// host's). The program sets the state up, fills in what it expects and calls ProbeSharedPlatform;
// the library looks at the same state through its own calls and reports what it found.
#pragma once

#include "platform/carbon/Files.h"
#include "platform/carbon/MacTypes.h"
#include "platform/mp/Multiprocessing.h"

struct stcSharedPlatformProbe {
  // In: what the program has set up.
  ResType m_ulngResourceType;      // a resource in the program's current resource file
  ResID m_intResourceID;
  FSRef m_udtFileRef;              // a reference the program made
  UInt32 m_ulngEventClass;         // an event the program posted to the main queue
  UInt32 m_ulngEventKind;
  MPCriticalRegionID m_idRegion;   // a region the program made and holds
  char const* m_strBundleID;       // an identifier the program registered a bundle under
  // Out: what the library saw.
  ResFileRefNum m_intCurResFile;
  char m_chrResourceText[64];      // the resource's bytes, NUL-terminated; empty when not found
  OSStatus m_intRefNameStatus;     // FSGetCatalogInfo's name of the program's reference
  char m_chrRefName[256];          // the name's units as bytes (an ASCII name is expected)
  OSStatus m_intEventStatus;       // ReceiveNextEvent for the program's event, not waiting
  UInt32 m_ulngEventKindSeen;
  OSStatus m_intRegionStatus;      // entering the program's region (the same thread: nested)
  Boolean m_bolBundleFound;
};

typedef void (*ProbeSharedPlatformProc)(stcSharedPlatformProbe* probe);
extern "C" void ProbeSharedPlatform(stcSharedPlatformProbe* probe);
