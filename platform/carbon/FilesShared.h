// FilesShared: declarations shared by the File Manager stand-in's own sources (Files*.cpp):
// volumes, references made from paths, node ids, HFS name checks and folder overrides.
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
