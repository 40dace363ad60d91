// Files: stand-in for the Carbon File Manager (and its Folder Manager) over the Linux file system.
// Interface: the FSRef calls (FSPathMakeRef, FSMakeFSRefUnicode, FSCompareFSRefs, FSpMakeFSRef,
// FSMakeFSSpec, catalog information, volume information by index, FSFindFolder) with the
// platform's types, constants and result codes, plus the stand-in's own configuration
// (FSStandIn...): the file-system root, the startup volume's name, the mount folder and
// per-folder overrides.
// Every path handed in or out is a "virtual" POSIX path (UTF-8) below a configurable root ("/"
// by default, so a user's files are their real files). The startup volume is "/"; each folder
// directly under the mount folder ("/Volumes") is a further volume.
// An FSRef is a handle into a process-wide, thread-safe table of paths; it never holds a path
// itself, and references follow renames and moves made through the stand-in.
// Relies on POSIX and the C++ standard library only. Every call returns an OSErr (noErr = 0);
// errno values are mapped to the platform's codes; a name that does not fit on disk fails with
// bdNamErr, never truncated. Nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/carbon/MacTypes.h"
#include "platform/carbon/UTCDateTime.h"

// ---------------------------------------------------------------------------------------------
// Scalar types
// ---------------------------------------------------------------------------------------------

typedef SInt16 FSVolumeRefNum;
typedef SInt16 FSIORefNum;  // fork reference numbers
typedef UInt32 ItemCount;
typedef UInt32 TextEncoding;
typedef UInt32 FSCatalogInfoBitmap;
typedef UInt32 FSVolumeInfoBitmap;
typedef UInt32 FSIteratorFlags;

typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef Str63 StrFileName;
typedef unsigned char const* ConstStr255Param;
typedef unsigned char* StringPtr;
typedef unsigned char const* ConstStringPtr;
typedef HFSUniStr255 const* ConstHFSUniStr255Param;

enum : TextEncoding { kTextEncodingUnknown = 0xFFFF };

// ---------------------------------------------------------------------------------------------
// Result codes
// ---------------------------------------------------------------------------------------------

enum {
  dirFulErr = -33,        // directory full
  dskFulErr = -34,        // disk full
  nsvErr = -35,           // no such volume
  ioErr = -36,            // I/O error
  bdNamErr = -37,         // bad name: empty, holds a character the disk cannot store, too long
  fnOpnErr = -38,         // file not open
  eofErr = -39,           // end of file
  posErr = -40,           // position before the start of the file
  tmfoErr = -42,          // too many files open
  fnfErr = -43,           // file not found
  wPrErr = -44,           // volume is write-protected
  fLckdErr = -45,         // file is locked
  vLckdErr = -46,         // volume is locked
  fBsyErr = -47,          // file busy; a folder that is not empty
  dupFNErr = -48,         // duplicate file name
  opWrErr = -49,          // file already open for writing
  paramErr = -50,         // bad parameter
  rfNumErr = -51,         // bad reference number
  volOffLinErr = -53,     // volume off line
  permErr = -54,          // permission denied
  nsDrvErr = -56,         // no such drive
  wrPermErr = -61,        // write permission denied
  memFullErr = -108,      // out of memory
  dirNFErr = -120,        // directory not found (or a path step is not a folder)
  volGoneErr = -124,      // volume disconnected
  afpAccessDenied = -5000,
  notAFileErr = -1302,    // a folder where a file is needed
  diffVolErr = -1303,     // source and destination on different volumes
  errFSUnknownCall = -1400,
  errFSBadFSRef = -1401,  // not a reference of this process's table
  errFSBadForkName = -1402,
  errFSBadBuffer = -1403,
  errFSBadForkRef = -1404,
  errFSBadInfoBitmap = -1405,
  errFSMissingCatInfo = -1406,
  errFSNotAFolder = -1407,
  errFSForkNotFound = -1409,
  errFSNameTooLong = -1410,
  errFSMissingName = -1411,
  errFSBadPosMode = -1412,
  errFSBadAllocFlags = -1413,
  errFSNoMoreItems = -1417,
  errFSBadItemCount = -1418,
  errFSBadSearchParams = -1419,
  errFSRefsDifferent = -1420,
  errFSForkExists = -1421,
  errFSBadIteratorFlags = -1422,
  errFSIteratorNotFound = -1423,
  errFSIteratorNotSupported = -1424,
  errFSQuotaExceeded = -1425
};

// ---------------------------------------------------------------------------------------------
// References and FSSpec records
// ---------------------------------------------------------------------------------------------

// 80 opaque bytes: a handle into the stand-in's reference table, compared with FSCompareFSRefs.
struct FSRef {
  UInt8 hidden[80];
};
typedef FSRef* FSRefPtr;

// A volume, a parent folder id and a leaf name (a Pascal string). In this stand-in the name's
// bytes are UTF-8 (a '/' in it is a '/' of the Finder's name, stored as ':' on disk).
struct FSSpec {
  FSVolumeRefNum vRefNum;
  SInt32 parID;
  StrFileName name;
};
typedef FSSpec* FSSpecPtr;

enum : FSVolumeRefNum { kFSInvalidVolumeRefNum = 0 };

// Folder ids of the catalogue: every volume's root folder is 2, its (virtual) parent 1.
enum : UInt32 { fsRtParID = 1, fsRtDirID = 2 };

// ---------------------------------------------------------------------------------------------
// Catalog information
// ---------------------------------------------------------------------------------------------

enum : FSCatalogInfoBitmap {
  kFSCatInfoNone = 0x00000000,
  kFSCatInfoTextEncoding = 0x00000001,
  kFSCatInfoNodeFlags = 0x00000002,
  kFSCatInfoVolume = 0x00000004,
  kFSCatInfoParentDirID = 0x00000008,
  kFSCatInfoNodeID = 0x00000010,
  kFSCatInfoCreateDate = 0x00000020,
  kFSCatInfoContentMod = 0x00000040,
  kFSCatInfoAttrMod = 0x00000080,
  kFSCatInfoAccessDate = 0x00000100,
  kFSCatInfoBackupDate = 0x00000200,
  kFSCatInfoPermissions = 0x00000400,
  kFSCatInfoFinderInfo = 0x00000800,
  kFSCatInfoFinderXInfo = 0x00001000,
  kFSCatInfoValence = 0x00002000,
  kFSCatInfoDataSizes = 0x00004000,
  kFSCatInfoRsrcSizes = 0x00008000,
  kFSCatInfoSharingFlags = 0x00010000,
  kFSCatInfoUserPrivs = 0x00020000,
  kFSCatInfoUserAccess = 0x00080000,
  kFSCatInfoAllDates = 0x000003E0,
  kFSCatInfoGettableInfo = 0x0003FFFF,
  kFSCatInfoSettableInfo = 0x00001FE3,
  kFSCatInfoReserved = 0xFFFC0000
};

// nodeFlags bits.
enum : UInt16 {
  kFSNodeLockedBit = 0,
  kFSNodeLockedMask = 0x0001,
  kFSNodeIsDirectoryBit = 4,
  kFSNodeIsDirectoryMask = 0x0010
};

// Fields in the platform's order. permissions: owner id, group id, then a word holding a
// reserved byte, the user's access byte and the 16-bit mode (mode in the low half), then a
// reserved word. finderInfo of a file: type, creator, Finder flags, location, reserved.
struct FSCatalogInfo {
  UInt16 nodeFlags;
  FSVolumeRefNum volume;
  UInt32 parentDirID;
  UInt32 nodeID;
  UInt8 sharingFlags;
  UInt8 userPrivileges;
  UInt8 reserved1;
  UInt8 reserved2;
  UTCDateTime createDate;
  UTCDateTime contentModDate;
  UTCDateTime attributeModDate;
  UTCDateTime accessDate;
  UTCDateTime backupDate;
  UInt32 permissions[4];
  UInt8 finderInfo[16];
  UInt8 extFinderInfo[16];
  UInt64 dataLogicalSize;
  UInt64 dataPhysicalSize;
  UInt64 rsrcLogicalSize;
  UInt64 rsrcPhysicalSize;
  UInt32 valence;
  TextEncoding textEncodingHint;
};
typedef FSCatalogInfo* FSCatalogInfoPtr;

// The parameter block of the reference calls (PBGetCatalogInfoSync, PBMakeFSRefUnicodeSync and,
// later, create, rename, delete). Only the fields a call names are read or written; ioResult
// receives the call's result as well.
struct FSRefParam {
  OSErr ioResult;
  ConstStringPtr ioNamePtr;
  FSVolumeRefNum ioVRefNum;
  FSRef const* ref;
  FSCatalogInfoBitmap whichInfo;
  FSCatalogInfo* catInfo;
  UniCharCount nameLength;
  UniChar const* name;
  SInt32 ioDirID;
  FSSpecPtr spec;
  FSRef* parentRef;
  FSRef* newRef;
  TextEncoding textEncodingHint;
  HFSUniStr255* outName;
};
typedef FSRefParam* FSRefParamPtr;

// ---------------------------------------------------------------------------------------------
// Volume information
// ---------------------------------------------------------------------------------------------

enum : FSVolumeInfoBitmap {
  kFSVolInfoNone = 0x0000,
  kFSVolInfoCreateDate = 0x0001,
  kFSVolInfoModDate = 0x0002,
  kFSVolInfoBackupDate = 0x0004,
  kFSVolInfoCheckedDate = 0x0008,
  kFSVolInfoFileCount = 0x0010,
  kFSVolInfoDirCount = 0x0020,
  kFSVolInfoSizes = 0x0040,
  kFSVolInfoBlocks = 0x0080,
  kFSVolInfoNextAlloc = 0x0100,
  kFSVolInfoRsrcClump = 0x0200,
  kFSVolInfoDataClump = 0x0400,
  kFSVolInfoNextID = 0x0800,
  kFSVolInfoFinderInfo = 0x1000,
  kFSVolInfoFlags = 0x2000,
  kFSVolInfoFSInfo = 0x4000,
  kFSVolInfoDriveInfo = 0x8000,
  kFSVolInfoGettableInfo = 0xFFFF
};

// FSVolumeInfo::flags bits.
enum : UInt16 {
  kFSVolFlagDefaultVolumeMask = 0x0020,  // the startup volume
  kFSVolFlagFilesOpenMask = 0x0040,
  kFSVolFlagHardwareLockedMask = 0x0080,
  kFSVolFlagSoftwareLockedMask = 0x8000  // mounted read-only
};

struct FSVolumeInfo {
  UTCDateTime createDate;
  UTCDateTime modifyDate;
  UTCDateTime backupDate;
  UTCDateTime checkedDate;
  UInt32 fileCount;
  UInt32 folderCount;
  UInt64 totalBytes;
  UInt64 freeBytes;
  UInt32 blockSize;
  UInt32 totalBlocks;
  UInt32 freeBlocks;
  UInt32 nextAllocation;
  UInt32 rsrcClumpSize;
  UInt32 dataClumpSize;
  UInt32 nextCatalogID;
  UInt8 finderInfo[32];
  UInt16 flags;
  UInt16 filesystemID;
  UInt16 signature;
  UInt16 driveNumber;
  SInt16 driverRefNum;
};

// PBGetVolumeInfoSync: with volumeIndex > 0 the volume of that index (1 = the startup volume),
// otherwise the volume ioVRefNum. Out: ioVRefNum, and volumeInfo (the whichInfo fields),
// volumeName and ref (the root folder) where not null.
struct FSVolumeInfoParam {
  OSErr ioResult;
  FSVolumeRefNum ioVRefNum;
  ItemCount volumeIndex;
  FSVolumeInfoBitmap whichInfo;
  FSVolumeInfo* volumeInfo;
  HFSUniStr255* volumeName;
  FSRef* ref;
};
typedef FSVolumeInfoParam* FSVolumeInfoParamPtr;

// ---------------------------------------------------------------------------------------------
// Forks and iteration (constants; the calls come with the fork and iteration support)
// ---------------------------------------------------------------------------------------------

enum : SInt8 { fsCurPerm = 0, fsRdPerm = 1, fsWrPerm = 2, fsRdWrPerm = 3 };
enum : UInt16 { fsAtMark = 0, fsFromStart = 1, fsFromLEOF = 2, fsFromMark = 3, noCacheMask = 0x0020 };
enum : UInt16 { kFSAllocDefaultFlags = 0, kFSAllocAllOrNothingMask = 1, kFSAllocContiguousMask = 2,
                kFSAllocNoRoundUpMask = 4 };
enum : FSIteratorFlags { kFSIterateFlat = 0, kFSIterateSubtree = 1, kFSIterateDelete = 2 };

// ---------------------------------------------------------------------------------------------
// Folder Manager
// ---------------------------------------------------------------------------------------------

// Domains, given as the vRefNum of FSFindFolder (a volume's reference number is accepted too).
enum : SInt16 {
  kOnSystemDisk = -32767,
  kOnAppropriateDisk = -32767,
  kSystemDomain = -32766,
  kLocalDomain = -32765,
  kNetworkDomain = -32764,
  kUserDomain = -32763,
  kClassicDomain = -32762
};

enum : Boolean { kDontCreateFolder = 0, kCreateFolder = 1 };

// Folder types with their Linux homes (each can be overridden with FSStandInSetFolder):
//   'macs' system folder        /etc
//   'sdsk' startup disk         /  (the startup volume's root)
//   'root' volume root          the root of the volume given (or of the startup volume)
//   'trsh' trash                $XDG_DATA_HOME/Trash or ~/.local/share/Trash
//   'strt' startup items        user: ~/.config/autostart; system and local: /etc/xdg/autostart
//   'pref' preferences          user: $XDG_CONFIG_HOME or ~/.config; system and local: /etc/xdg
//   'temp' temporary items      $TMPDIR or /tmp
//   'flnt' chewable items       as temporary items
//   'apps' applications         user: ~/.local/share/applications; others: /usr/share/applications
//   'docs' documents            ~/Documents
//   'desk' desktop              ~/Desktop
//   'cusr' current user's home  $HOME (or the password database's entry)
//   'asup' application support  user: $XDG_DATA_HOME or ~/.local/share; others: /usr/share
// Folders of the user domain are also found on the system disk when the type has no system one.
enum : OSType {
  kSystemFolderType = MakeFourCharCode("macs"),
  kSystemDesktopFolderType = MakeFourCharCode("sdsk"),
  kVolumeRootFolderType = MakeFourCharCode("root"),
  kTrashFolderType = MakeFourCharCode("trsh"),
  kStartupFolderType = MakeFourCharCode("strt"),
  kPreferencesFolderType = MakeFourCharCode("pref"),
  kTemporaryFolderType = MakeFourCharCode("temp"),
  kChewableItemsFolderType = MakeFourCharCode("flnt"),
  kApplicationsFolderType = MakeFourCharCode("apps"),
  kDocumentsFolderType = MakeFourCharCode("docs"),
  kDesktopFolderType = MakeFourCharCode("desk"),
  kCurrentUserFolderType = MakeFourCharCode("cusr"),
  kApplicationSupportFolderType = MakeFourCharCode("asup")
};

// ---------------------------------------------------------------------------------------------
// Calls
// ---------------------------------------------------------------------------------------------

// The reference of an existing object named by a zero-terminated UTF-8 POSIX path (absolute;
// "." and ".." steps are resolved in the text). fnfErr when the object is missing, dirNFErr
// when a step is not a folder, bdNamErr when a name is longer than the disk holds, paramErr for
// a null or relative path. *isDirectory (may be null) tells whether it is a folder.
OSStatus FSPathMakeRef(UInt8 const* path, FSRef* ref, Boolean* isDirectory);

// The reference of the object of that UTF-16 name (a '/' in it is stored as ':' on disk) in the
// folder parentRef. fnfErr when there is none; bdNamErr for an empty name, "." or "..", a ':'
// or U+0000 in it, or more than 255 bytes on disk; dirNFErr when parentRef is not a folder.
OSErr FSMakeFSRefUnicode(FSRef const* parentRef, UniCharCount nameLength, UniChar const* name,
                         TextEncoding textEncodingHint, FSRef* newRef);
// The same through a parameter block: ref, nameLength, name, textEncodingHint in; newRef out.
OSErr PBMakeFSRefUnicodeSync(FSRefParam* paramBlock);

// noErr when both name the same object; errFSRefsDifferent otherwise; paramErr for null.
OSErr FSCompareFSRefs(FSRef const* ref1, FSRef const* ref2);

// FSSpec and FSRef of each other. FSpMakeFSRef: fnfErr when the object is missing.
// FSMakeFSSpec: the leaf fileName (Pascal string, may be null or empty for the folder dirID
// itself) in the folder dirID of volume vRefNum; fills spec and answers fnfErr when the leaf does
// not exist but its folder does.
OSErr FSpMakeFSRef(FSSpec const* source, FSRef* newRef);
OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec);

// Catalog information of ref: the whichInfo fields of catInfo, the name, an FSSpec and the
// parent folder's reference, each where not null. A volume's root folder reports parent id 1
// (fsRtParID), the volume's name, and an all-zero parent reference. The Finder information and
// the resource fork's sizes read as 0 until the stand-in keeps them.
OSErr FSGetCatalogInfo(FSRef const* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef);
// The same through a parameter block: ref, whichInfo in; catInfo, outName, spec, parentRef out.
OSErr PBGetCatalogInfoSync(FSRefParam* paramBlock);

// Volume information by index (volumeIndex > 0) or by reference number; nsvErr past the last
// volume or for an unknown reference number.
OSErr FSGetVolumeInfo(FSVolumeRefNum volume, ItemCount volumeIndex, FSVolumeRefNum* actualVolume,
                      FSVolumeInfoBitmap whichInfo, FSVolumeInfo* info, HFSUniStr255* volumeName,
                      FSRef* rootDirectory);
OSErr PBGetVolumeInfoSync(FSVolumeInfoParam* paramBlock);

// The reference of a well-known folder (types above) of a domain. With createFolder a missing
// folder is created (with its missing parents); without it a missing folder gives fnfErr.
// fnfErr for an unknown type or domain, nsvErr for an unknown volume reference number.
OSErr FSFindFolder(SInt16 vRefNum, OSType folderType, Boolean createFolder, FSRef* foundRef);

// ---------------------------------------------------------------------------------------------
// Stand-in configuration (ours). Paths are real paths for the root, virtual paths otherwise.
// Changing the root empties the reference table: references made before answer errFSBadFSRef.
// ---------------------------------------------------------------------------------------------

// The real folder that stands for "/" (links in it resolved). paramErr for a relative path, dirNFErr when it is no
// folder; the previous root stays then.
OSErr FSStandInSetRoot(char const* realPath);
// The startup volume's name (UTF-8; "Macintosh HD" by default). paramErr for an empty name, or
// one that holds ':' or does not fit 255 UTF-16 units.
OSErr FSStandInSetStartupVolumeName(char const* name);
// The virtual folder whose sub-folders are the further volumes ("/Volumes" by default).
OSErr FSStandInSetMountFolder(char const* virtualPath);
// Overrides where FSFindFolder finds folderType in domain (a domain constant above) with a
// virtual path; null or "" removes the override.
OSErr FSStandInSetFolder(SInt16 domain, OSType folderType, char const* virtualPath);
// Back to the defaults: root "/", "Macintosh HD", "/Volumes", no overrides; empties the table.
void FSStandInReset(void);
