// FilesTesting: test hooks of the File Manager stand-in: per-volume parameters (server address,
// attributes such as bHasCopyFile, speed grade), per-folder access rights for drop boxes,
// injected failures ("the next n calls X on path P fail with code C"), a log of the calls and
// a pinned UTC clock.
// Interface: the FSStandInTest... functions below; FSStandInReset (Files.h) clears all of it.
// Relies on Files*.cpp, whose public calls consult the faults and write the log (a PB... call
// counts as the FS... call it stands for: PBDeleteObjectSync is "FSDeleteObject"). Failures
// are OSErr codes; nothing throws. Thread-safe (one mutex).
#pragma once

#include <string>
#include <vector>

#include "platform/carbon/Files.h"

// What PBHGetVolParmsSync reports for volume vRefNum. A volume with a non-zero server address
// counts as a file server's volume (not local).
struct stcFSVolumeParms {
  SInt32 lngAttrib;           // vMAttrib, e.g. 1 << bHasCopyFile
  SInt32 lngServerAdr;        // vMServerAdr
  SInt32 lngVolumeGrade;      // vMVolumeGrade
  SInt32 lngExtendedAttribs;  // vMExtendedAttributes
};
// nsvErr for an unknown volume. FSStandInTestClearVolumeParms brings back a local volume's.
OSErr FSStandInTestSetVolumeParms(FSVolumeRefNum vRefNum, stcFSVolumeParms const& parms);
void FSStandInTestClearVolumeParms(void);
// The parameters a volume reports when no test set any.
stcFSVolumeParms FSStandInTestDefaultVolumeParms(void);

// The ioACAccess that PBHGetDirAccessSync reports for the folder (0x04000000 makes a drop box:
// the user may make changes but sees neither files nor folders). Follows the folder through
// renames by path only (set it again after moving the folder).
OSErr FSStandInTestSetDirAccess(FSRef const* folder, SInt32 accessRights);
void FSStandInTestClearDirAccess(void);

// The next `count` calls named `call` ("FSWriteFork", "FSDeleteObject", ...) on the object at
// the virtual path `path` (empty: any object) fail with `code` and do nothing else. The path of
// a fork call is its file's; of a create, the new item's; of a move, the item moved; of a bulk
// read, the folder iterated; of "FSGetVolumeInfo", the volume's root folder (nsvErr there ends a
// walk over the volumes at once: the volume list cannot be read). Faults of one call and path add up in the order they are set.
void FSStandInTestFailNext(std::string const& call, std::string const& path, OSErr code,
                           int count = 1);
void FSStandInTestClearFaults(void);
// How many injected faults are still waiting.
int FSStandInTestPendingFaults(void);

// The log of public calls while enabled: one line per call, "FSWriteFork /a/b.txt" (the call's
// name, a blank, the path as for faults; only the name where there is no path).
void FSStandInTestSetCallLog(bool enabled);
std::vector<std::string> FSStandInTestCallLog(void);
void FSStandInTestClearCallLog(void);

// Called with the real path of an item after the stand-in looked at it and before it changes
// the item's catalog information (permissions, dates, flags, Finder information) or finishes a
// server copy: a test may swap the item there. Null (and FSStandInReset) removes it.
void FSStandInTestSetBeforeChangeHook(void (*hook)(std::string const& realPath));

// GetUTCDateTime answers this time from now on (fraction included); null brings back the real
// clock, as does FSStandInReset.
void FSStandInTestSetUTCDateTime(UTCDateTime const* pinned);
