// Resources: stand-in for the Carbon Resource Manager over resource files of our own format
// (platform/carbon/ResourceFile.h). Open files form a chain; the most recently opened is on top
// and becomes current. GetResource searches the current file, then the files opened before it.
// Interface: the Carbon calls below plus OpenResourceFileAtPath. One handle per resource and open
// file: GetResource hands out the same handle until ReleaseResource or CloseResFile frees it.
// Resource data is read from disk on demand (ReadPartialResource, or GetResource with loading on).
// Thread-safe: one mutex guards the chain. ResError and the SetResLoad flag belong to the calling
// thread, so one thread's SetResLoad(false) or failure never leaks into another's calls.
// Failures are reported through ResError; a stale or foreign handle is refused, never followed.
#pragma once

#include "platform/carbon/MacTypes.h"

enum {
  kResFileNotOpened = -1,  // CurResFile when no resource file is open

  inputOutOfBounds = -190,  // a partial read beyond the resource's end
  resNotFound = -192,       // no such resource, or not a resource handle
  resFNotFound = -193,      // no such resource file (open failed, unknown reference number)
  mapReadErr = -199         // the file is not a resource file or could not be read
};

// Current resource file, or kResFileNotOpened.
ResFileRefNum CurResFile(void);

// Makes an open file current; an unknown reference number leaves the current file unchanged
// (ResError resFNotFound).
void UseResFile(ResFileRefNum refNum);

// Whether GetResource reads the resource's data (default true); per thread.
void SetResLoad(Boolean load);

// The resource from the current file or the files opened before it; null when not found
// (ResError resNotFound). With loading off the handle is empty (*handle null) until loaded.
Handle GetResource(ResType theType, ResID theID);

// Copies count bytes at offset of the resource's data into buffer. A range beyond the end copies
// nothing and sets inputOutOfBounds; a handle that is no (longer a) resource sets resNotFound.
void ReadPartialResource(Handle theResource, Size offset, void* buffer, Size count);

// The size of the resource's data, whether loaded or not; -1 when the handle is no resource.
Size GetResourceSizeOnDisk(Handle theResource);

// Frees the resource's handle (and data); the next GetResource makes a new one.
void ReleaseResource(Handle theResource);

// Result of the calling thread's last Resource Manager call.
OSErr ResError(void);

// Opens a resource file, puts it on top of the chain and makes it current. Opening a file twice
// gives two independent entries. Answers noErr, resFNotFound (cannot open) or mapReadErr.
OSErr OpenResourceFileAtPath(char const* posixPath, ResFileRefNum* refNum);

// Closes the file and frees its handles; when it was current, the file below it (opened before)
// becomes current.
void CloseResFile(ResFileRefNum refNum);
