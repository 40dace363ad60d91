// FilesShared: declarations shared by the File Manager stand-in's own sources (Files*.cpp):
// volumes, references made from paths, node ids, HFS name checks, folder overrides, path
// pieces, the sidecar and extended-attribute metadata (FilesMeta.cpp), open-fork bookkeeping
// (FilesForks.cpp) and the test hooks' call check (FilesVolumes.cpp).
// Not for use outside platform/carbon/Files*.cpp. Relies on Files.cpp's table; failures are
// OSErr codes as in Files.h.
#pragma once

#include <string>
#include <vector>

#include "platform/carbon/Files.h"

// One volume: its name (UTF-8, HFS form), its root folder (virtual), reference number and
// whether it is the startup volume.
struct stcFilesVolume {
  std::string strName;
  std::string strRoot;
  FSVolumeRefNum intVRefNum;
  bool blnStartup;
};

// The startup volume first, then the folders under the mount folder in name order.
OSErr FilesListVolumes(std::vector<stcFilesVolume>* volumes);
stcFilesVolume FilesVolumeOfPath(std::string const& virtualPath);
// kFSInvalidVolumeRefNum (0) stands for the startup volume; nsvErr for an unknown number.
OSErr FilesVolumeByRefNum(FSVolumeRefNum vRefNum, stcFilesVolume* volume);

// The reference of an existing object at a virtual path (normalized here).
OSStatus FilesMakeRefForPath(std::string const& virtualPath, FSRef* ref, Boolean* isDirectory);
// The path of a reference whose object the stand-in has not deleted (fnfErr otherwise).
OSErr FilesRefGetLivePath(FSRef const* ref, std::string* virtualPath);
// A UTF-16 catalogue name as a name on disk; bdNamErr when it cannot be one.
OSErr FilesHFSNameToDiskName(UniCharCount nameLength, UniChar const* name, std::string* diskName);

// The catalogue id of a folder or file (fsRtDirID for a volume's root), and back.
UInt32 FilesNodeIDOfPath(std::string const& virtualPath, stcFilesVolume const& volume);
OSErr FilesPathOfFolderID(FSVolumeRefNum vRefNum, SInt32 dirID, std::string* virtualPath);

// The override FSStandInSetFolder set for exactly this domain and type.
bool FilesFolderOverride(SInt16 domain, OSType folderType, std::string* virtualPath);

// ---------------------------------------------------------------------------------------------
// Paths, names and references
// ---------------------------------------------------------------------------------------------

std::string FilesParentOf(std::string const& virtualPath);
std::string FilesLeafOf(std::string const& virtualPath);
std::string FilesChildOf(std::string const& folder, std::string const& name);
void FilesToHFSUniStr255(std::string const& hfsName, HFSUniStr255* out);
// A Pascal string of a name; false when it does not fit 63 bytes.
bool FilesToStr63(std::string const& name, StrFileName out);
// The reference of a virtual path (normalized) without looking at the disk.
void FilesRefForPath(std::string const& virtualPath, FSRef* ref);
// The path an FSSpec-style triple names (the leaf need not exist).
OSErr FilesPathOfSpec(FSVolumeRefNum vRefNum, SInt32 parID, ConstStr255Param name, std::string* path);
// A new item's name on disk: FilesHFSNameToDiskName, and short enough that its "._" sidecar
// fits too (bdNamErr otherwise).
OSErr FilesNewDiskName(UniCharCount nameLength, UniChar const* name, std::string* diskName);
// Whether a name on disk has the form of a sidecar ("._" + name).
bool FilesIsSidecarName(std::string const& diskName);
// Whether the file at a real path is a sidecar, which the File Manager never shows: a regular
// file with a sidecar's name that carries the AppleDouble header. Any other "._" file is an
// ordinary item. Reads the header without blocking.
bool FilesIsOwnSidecar(std::string const& realPath);
// The virtual path of the sidecar of an item.
std::string FilesSidecarPath(std::string const& virtualPath);
// The catalog information without the test hooks (for the stand-in's own use).
OSErr FilesGetCatalogInfo(FSRef const* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                          HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef);
OSErr FilesGetCatalogInfoOfPath(std::string const& virtualPath, FSCatalogInfoBitmap whichInfo,
                                FSCatalogInfo* catalogInfo, HFSUniStr255* outName, FSSpec* fsSpec,
                                FSRef* parentRef);

// ---------------------------------------------------------------------------------------------
// Metadata kept beside the file system's own (FilesMeta.cpp)
// ---------------------------------------------------------------------------------------------

// The 32 bytes of Finder information (16 of finderInfo, then 16 of extFinderInfo) as the
// catalogue holds them: big-endian fields. All zero when nothing is stored.
void FilesMetaGetFinderInfo(std::string const& realPath, UInt8 finderInfo[32]);
OSErr FilesMetaSetFinderInfo(std::string const& realPath, UInt8 const finderInfo[32]);
// The stored creation date; false when none is stored.
bool FilesMetaGetCreateDate(std::string const& realPath, UTCDateTime* date);
OSErr FilesMetaSetCreateDate(std::string const& realPath, UTCDateTime const& date);
bool FilesMetaGetLocked(std::string const& realPath);
OSErr FilesMetaSetLocked(std::string const& realPath, bool locked);
// The resource fork inside the sidecar of realPath: its offset and length; false when the file
// has no resource fork.
bool FilesMetaRsrcExtent(int sidecarFD, UInt64* offset, UInt64* length);
bool FilesMetaHasRsrcFork(std::string const& realPath, UInt64* length);
// Opens the sidecar for the resource fork: for writing it is made (or rewritten so that the
// resource fork is its last entry) first. -1 with *error set on failure; for reading a file with
// no sidecar gives -1 and fnfErr.
int FilesMetaOpenRsrc(std::string const& realPath, bool forWriting, OSErr* error);
// Sets the length field of the resource-fork entry of an open sidecar.
OSErr FilesMetaSetRsrcLength(int sidecarFD, UInt64 length);
// Removes the resource fork (the whole sidecar when nothing else is kept in it).
OSErr FilesMetaDeleteRsrc(std::string const& realPath);
// Copies the extended attributes of the stand-in from one real path to another.
void FilesMetaCopyAttributes(std::string const& fromRealPath, std::string const& toRealPath);

// ---------------------------------------------------------------------------------------------
// Forks and test hooks
// ---------------------------------------------------------------------------------------------

// Whether any fork of the file at the real path (by device and inode) is open.
bool FilesHasOpenFork(std::string const& realPath);
// The test hooks' check at the start of a public call: writes the call log and answers an
// injected fault's code (noErr when there is none).
OSErr FilesCheckCall(char const* call, std::string const& virtualPath);
// Runs the test hook that may swap an item between looking at it and changing it.
void FilesTestBeforeChange(std::string const& realPath);
// Whether a volume has a non-zero server address (by the test settings).
bool FilesVolumeIsServer(FSVolumeRefNum vRefNum);
// Clears the test settings (FSStandInReset).
void FilesTestingReset(void);
// The time now in the File Manager's date form.
UTCDateTime FilesNowUTC(void);
