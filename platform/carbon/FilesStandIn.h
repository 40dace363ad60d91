// FilesStandIn: what the other stand-ins (CFURL, CFBundle) and the File Manager's own later
// parts need of its reference table and path model; not for the code above the stand-ins.
// Interface: the virtual path of a reference, virtual <-> real path mapping, volume lookup by
// path and by name, the HFS <-> disk name rule ('/' of a name is ':' on disk), UTF-8 <-> UTF-16
// that keeps undecodable bytes (as U+DC80..U+DCFF), and the notes that keep references on their
// objects when the stand-in moves or deletes them.
// Relies on Files.cpp's table and configuration (one mutex). Failures are OSErr codes as in
// Files.h; the conversions cannot fail.
#pragma once

#include <string>

#include "platform/carbon/Files.h"

// The virtual path a reference stands for (also for an object deleted since: the path it had).
// errFSBadFSRef for a reference this table did not make, paramErr for null.
OSErr FSStandInRefGetPath(FSRef const* ref, std::string* virtualPath);

// Lexical clean-up of an absolute virtual path: no empty, "." or ".." steps, no trailing '/'
// (except "/" itself). paramErr when not absolute, bdNamErr for a name over 255 bytes.
OSErr FSStandInNormalizePath(std::string const& path, std::string* normalized);

// The real path of a virtual one, and the virtual path of a real one (false when it lies
// outside the root).
std::string FSStandInRealPath(std::string const& virtualPath);
bool FSStandInVirtualFromReal(std::string const& realPath, std::string* virtualPath);

// The volume that holds a virtual path: its name (UTF-8, HFS form) and root folder.
void FSStandInVolumeOfPath(std::string const& virtualPath, std::string* volumeName,
                           std::string* volumeRoot);
// The root folder of the volume of that name (HFS form); false when none is mounted.
bool FSStandInVolumeRootForName(std::string const& volumeName, std::string* volumeRoot);
// The configured mount folder (virtual).
std::string FSStandInMountFolder(void);

// A name on disk in its HFS form (':' -> '/') and back ('/' -> ':').
std::string FSStandInDiskNameToHFS(std::string const& diskName);
std::string FSStandInHFSNameToDisk(std::string const& hfsName);

// UTF-8 bytes to UTF-16 units; a byte that starts no valid sequence becomes U+DC00 + byte.
std::u16string FSStandInUTF8ToUTF16(std::string const& bytes);
// UTF-16 units to UTF-8; U+DC80..U+DCFF alone become their byte again, any other unpaired
// surrogate U+FFFD.
std::string FSStandInUTF16ToUTF8(UniChar const* units, size_t count);

// To be called after the stand-in has renamed or moved an object: references to it and to
// everything inside it follow to the new path; references to what was at the new path before
// are left pointing at a deleted object.
void FSStandInNoteMoved(std::string const& fromVirtualPath, std::string const& toVirtualPath);
// To be called after the stand-in has deleted an object: references to it and everything inside
// it then answer fnfErr, also when a new object appears at the same path.
void FSStandInNoteRemoved(std::string const& virtualPath);

// Maps an errno value to the File Manager's code for it.
OSErr FSStandInErrnoToOSErr(int error);
