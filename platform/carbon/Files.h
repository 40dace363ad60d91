// Files: stand-in for the Carbon File Manager (and its Folder Manager) over the Linux file system.
// Interface: the FSRef calls (FSPathMakeRef, FSMakeFSRefUnicode, FSCompareFSRefs, FSpMakeFSRef,
// FSMakeFSSpec), catalog information (get, set, bulk through iterators), create, delete, rename
// and move, forks (iterate, create, open, read, write, size, position, allocate, close), volume
// information and parameters, folder access rights, the server-side file copy, the FSSpec
// Finder-information calls, the UTC clock calls and FSFindFolder, with the platform's types,
// constants and result codes; plus the stand-in's own configuration (FSStandIn...): the
// file-system root, the startup volume's name, the mount folder and per-folder overrides.
// Test hooks (volume parameters, access rights, fault injection, a call log) are in
// FilesTesting.h.
// Every path handed in or out is a "virtual" POSIX path (UTF-8) below a configurable root ("/"
// by default, so a user's files are their real files). The startup volume is "/"; each folder
// directly under the mount folder ("/Volumes") is a further volume.
// An FSRef is a handle into a process-wide, thread-safe table of paths; it never holds a path
// itself, and references follow renames and moves made through the stand-in.
// On disk: the data fork is the file; the resource fork (and a copy of the Finder information)
// lives in an AppleDouble sidecar "._name" beside it, hidden from the File Manager's view (a
// "._" file without the AppleDouble header is an ordinary file, listed and kept as any other); the
// creation date, the Finder information and the locked flag are kept in user extended
// attributes (in the sidecar where the file system has none). A '/' of an HFS name is ':' on
// disk. Symbolic links are items of type 'slnk' (creator 'rhap'); iteration, catalog
// information and deletion never follow them. A FIFO, device or socket is an item whose forks
// cannot be iterated or opened (afpObjectTypeErr), so nothing ever blocks on one.
// Relies on POSIX, Linux (statx, extended attributes, renameat2) and the C++ standard library.
// Every call returns an OSErr (noErr = 0); errno values are mapped to the platform's codes; a
// name that does not fit on disk (with its "._" sidecar) fails with bdNamErr, never truncated.
// Nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/carbon/Finder.h"
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
typedef UInt32 ByteCount;  // 32-bit, as on the platform
typedef UInt16 FSAllocationFlags;
typedef UInt32 OptionBits;
typedef UInt32 FNMessage;
typedef struct OpaqueFSIterator* FSIterator;

typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef unsigned char Str31[32];
typedef Str63 StrFileName;
typedef unsigned char const* ConstStr255Param;
typedef unsigned char* StringPtr;
typedef unsigned char const* ConstStringPtr;
typedef HFSUniStr255 const* ConstHFSUniStr255Param;

enum : TextEncoding { kTextEncodingUnknown = 0xFFFF };
enum : OptionBits { kNilOptions = 0 };

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
  badMovErr = -122,       // a folder moved into itself or below itself
  wrgVolTypErr = -123,    // the volume does not offer the call (PBHCopyFileSync)
  volGoneErr = -124,      // volume disconnected
  afpAccessDenied = -5000,
  afpObjectTypeErr = -5025,
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
// Forks and iteration
// ---------------------------------------------------------------------------------------------

// Fork permissions, position modes (a mode may carry noCacheMask), allocation flags.
enum : SInt8 { fsCurPerm = 0, fsRdPerm = 1, fsWrPerm = 2, fsRdWrPerm = 3 };
enum : UInt16 { fsAtMark = 0, fsFromStart = 1, fsFromLEOF = 2, fsFromMark = 3, noCacheMask = 0x0020 };
enum : FSAllocationFlags { kFSAllocDefaultFlags = 0, kFSAllocAllOrNothingMask = 1,
                           kFSAllocContiguousMask = 2, kFSAllocNoRoundUpMask = 4 };
// Iterators are flat only (kFSIterateSubtree gives errFSIteratorNotSupported); kFSIterateDelete
// may be added when the caller deletes the items it is handed.
enum : FSIteratorFlags { kFSIterateFlat = 0, kFSIterateSubtree = 1, kFSIterateDelete = 2 };

// The position of a fork iteration (FSIterateForks): initialize = 0 starts it.
struct CatPositionRec {
  SInt32 initialize;
  SInt16 priv[6];
};

// What FSGetForkCBInfo reports of an open fork.
struct FSForkInfo {
  SInt8 flags;
  SInt8 permissions;
  FSVolumeRefNum volume;
  UInt32 reserved2;
  UInt32 nodeID;
  UInt32 forkID;
  UInt64 currentPosition;
  UInt64 logicalEOF;
  UInt64 physicalEOF;
  UInt64 process;
};

// Finder flags of FInfo::fdFlags and of the Finder information's flags word.
enum : UInt16 {
  kIsOnDesk = 0x0001,
  kHasBeenInited = 0x0100,
  kHasCustomIcon = 0x0400,
  kIsStationery = 0x0800,
  kNameLocked = 0x1000,
  kHasBundle = 0x2000,
  kIsInvisible = 0x4000,
  kIsAlias = 0x8000
};


// ---------------------------------------------------------------------------------------------
// Parameter blocks of the older calls (PBH...Sync): one header, then the fields of each form.
// Only the fields a call names are read or written.
// ---------------------------------------------------------------------------------------------

// Fields of PBHGetVolParmsSync (ioVRefNum, ioBuffer, ioReqCount in; ioActCount out).
struct HIOParam {
  void* qLink;
  SInt16 qType;
  SInt16 ioTrap;
  Ptr ioCmdAddr;
  void* ioCompletion;
  OSErr ioResult;
  StringPtr ioNamePtr;
  FSVolumeRefNum ioVRefNum;
  SInt16 ioRefNum;
  SInt8 ioVersNum;
  SInt8 ioPermssn;
  Ptr ioMisc;
  Ptr ioBuffer;
  SInt32 ioReqCount;
  SInt32 ioActCount;
  SInt16 ioPosMode;
  SInt32 ioPosOffset;
};

struct HFileParam {
  void* qLink;
  SInt16 qType;
  SInt16 ioTrap;
  Ptr ioCmdAddr;
  void* ioCompletion;
  OSErr ioResult;
  StringPtr ioNamePtr;
  FSVolumeRefNum ioVRefNum;
  SInt16 ioFRefNum;
  SInt8 ioFVersNum;
  SInt8 filler1;
  SInt16 ioFDirIndex;
  SInt8 ioFlAttrib;
  SInt8 ioFlVersNum;
  UInt8 ioFlFndrInfo[16];  // an FInfo
  SInt32 ioDirID;
  UInt16 ioFlStBlk;
  SInt32 ioFlLgLen;
  SInt32 ioFlPyLen;
  UInt16 ioFlRStBlk;
  SInt32 ioFlRLgLen;
  SInt32 ioFlRPyLen;
  UInt32 ioFlCrDat;
  UInt32 ioFlMdDat;
};

// Fields of PBHGetDirAccessSync: ioNamePtr, ioVRefNum and ioDirID (the same place as
// fileParam.ioDirID) name the folder; ioACOwnerID, ioACGroupID and ioACAccess come back.
// ioACAccess: bit 31 the user owns the folder; bits 24-26 the user's rights (0x01 see folders,
// 0x02 see files, 0x04 make changes); bits 16-23 everyone's, 8-15 the group's, 0-7 the owner's.
struct AccessParam {
  void* qLink;
  SInt16 qType;
  SInt16 ioTrap;
  Ptr ioCmdAddr;
  void* ioCompletion;
  OSErr ioResult;
  StringPtr ioNamePtr;
  FSVolumeRefNum ioVRefNum;
  SInt16 filler3;
  SInt16 ioDenyModes;
  SInt16 filler4;
  SInt8 filler5;
  SInt8 ioACUser;
  SInt32 filler6;
  SInt32 ioACOwnerID;
  SInt32 ioACGroupID;
  SInt32 ioACAccess;
  SInt32 ioDirID;
};

// Fields of PBHCopyFileSync: the source (ioVRefNum, ioDirID, ioNamePtr), the destination folder
// (ioDstVRefNum, ioNewDirID; ioNewName, when not null, a folder name inside it) and the copy's
// name (ioCopyName; null keeps the source's name). Pascal strings, UTF-8 bytes.
struct CopyParam {
  void* qLink;
  SInt16 qType;
  SInt16 ioTrap;
  Ptr ioCmdAddr;
  void* ioCompletion;
  OSErr ioResult;
  StringPtr ioNamePtr;
  FSVolumeRefNum ioVRefNum;
  FSVolumeRefNum ioDstVRefNum;
  SInt16 filler8;
  StringPtr ioNewName;
  StringPtr ioCopyName;
  SInt32 ioNewDirID;
  SInt32 filler14;
  SInt32 filler15;
  SInt32 ioDirID;
};

union HParamBlockRec {
  HIOParam ioParam;
  HFileParam fileParam;
  AccessParam accessParam;
  CopyParam copyParam;
};
typedef HParamBlockRec* HParmBlkPtr;

static_assert(offsetof(AccessParam, ioDirID) == offsetof(HFileParam, ioDirID),
              "the folder id of a dir-access call is read where fileParam puts it");

// ---------------------------------------------------------------------------------------------
// Volume parameters (PBHGetVolParmsSync)
// ---------------------------------------------------------------------------------------------

// vMAttrib bits.
enum {
  bLimitFCBs = 31,
  bLocalWList = 30,
  bNoMiniFndr = 29,
  bNoVNEdit = 28,
  bNoLclSync = 27,
  bTrshOffLine = 26,
  bNoSwitchTo = 25,
  bNoDeskItems = 20,
  bNoBootBlks = 19,
  bAccessCntl = 18,
  bNoSysDir = 17,
  bHasExtFSVol = 16,
  bHasOpenDeny = 15,
  bHasCopyFile = 14,  // the file server copies files itself (PBHCopyFileSync)
  bHasMoveRename = 13,
  bHasDesktopMgr = 12,
  bHasShortName = 11,
  bHasFolderLock = 10,
  bHasPersonalAccessPrivileges = 9,
  bHasUserGroupList = 8,
  bHasCatSearch = 7,
  bHasFileIDs = 6,
  bHasBTreeMgr = 5,
  bHasBlankAccessPrivileges = 4,
  bSupportsAsyncRequests = 3,
  bSupportsTrashVolumeCache = 2
};

// vMExtendedAttributes bits.
enum {
  bIsEjectable = 0,
  bSupportsHFSPlusAPIs = 1,
  bSupportsFSCatalogSearch = 2,
  bSupportsFSExchangeObjects = 3,
  bSupports2TBFiles = 4,
  bSupportsLongNames = 5,
  bSupportsMultiScriptNames = 6,
  bSupportsNamedForks = 7,
  bSupportsSubtreeIterators = 8,
  bL2PCanMapFileBlocks = 9,
  bParentModDateChanges = 10,
  bAncestorModDateChanges = 11,
  bSupportsSymbolicLinks = 13,
  bIsAutoMounted = 14,
  bAllowCDiDataHandler = 17,
  bSupportsExclusiveLocks = 18,
  bSupportsJournaling = 19,
  bNoVolumeSizes = 20,
  bIsOnInternalBus = 21,
  bIsCaseSensitive = 22,
  bIsCasePreserving = 23,
  bDoNotDisplay = 24
};

// Naturally aligned. ioActCount tells how many bytes were filled (at most ioReqCount). A volume
// grade of 0 or below is minus the volume's speed in bytes per second (0: unknown).
struct GetVolParmsInfoBuffer {
  SInt16 vMVersion;
  SInt32 vMAttrib;
  Handle vMLocalHand;
  SInt32 vMServerAdr;  // 0 for a local volume
  SInt32 vMVolumeGrade;
  SInt16 vMForeignPrivID;
  SInt32 vMExtendedAttributes;
  void* vMDeviceID;
  UniCharCount vMMaxNameLength;
};

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
// "." and ".." steps are resolved in the text). A symbolic link as the last step is followed
// when it leads to an object below the root; otherwise the reference names the link itself.
// fnfErr when the object is missing or is a sidecar, dirNFErr when a step is not a folder,
// bdNamErr when a name is longer than the disk holds, paramErr for a null or relative path.
// *isDirectory (may be null) tells whether it is a folder.
OSStatus FSPathMakeRef(UInt8 const* path, FSRef* ref, Boolean* isDirectory);
// FSPathMakeRef with options: kFSPathMakeRefDoNotFollowLeafSymlink makes a symbolic link as the
// last step name the link itself (links in earlier steps are always followed).
enum : UInt32 { kFSPathMakeRefDefaultOptions = 0, kFSPathMakeRefDoNotFollowLeafSymlink = 0x01 };
OSStatus FSPathMakeRefWithOptions(UInt8 const* path, UInt32 options, FSRef* ref, Boolean* isDirectory);

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
// (fsRtParID), the volume's name, and an all-zero parent reference. A symbolic link is reported
// as itself (a file of type 'slnk', creator 'rhap', its data fork the link's text). Sizes of a
// folder are 0; its valence counts its items (sidecars excluded). Physical sizes are the space
// the disk gives the fork. The mode of the permissions is the whole POSIX mode, the kind of
// item (S_IFMT) included.
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
// Calls: catalog information, creation, deletion, renaming and moving
// ---------------------------------------------------------------------------------------------

// The FSRef of the object an FSSpec-style triple names (ioVRefNum, ioDirID, ioNamePtr in;
// newRef out). fnfErr when it does not exist.
OSErr PBMakeFSRefSync(FSRefParam* paramBlock);

// Writes the whichInfo fields of catalogInfo that can be kept: node flags (the locked bit), the
// creation, content-modification and access dates, permissions (owner and group as far as the
// process may, the mode), the Finder information (type, creator, flags; extended information
// too) and the text-encoding hint (ignored). The other settable fields are accepted and not
// kept. errFSBadInfoBitmap for bits outside kFSCatInfoSettableInfo. Nothing is set through a
// link: an item that is one, or became one since it was looked at, keeps its target untouched.
// Permissions whose mode has the link kind (S_IFLNK, as a link reports them) turn a regular file
// into a symbolic link to the text of its data fork; Finder information never makes a link.
OSErr FSSetCatalogInfo(FSRef const* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo const* catalogInfo);
OSErr PBSetCatalogInfoSync(FSRefParam* paramBlock);  // ref, whichInfo, catInfo

// Creates an empty file (a folder) of the UTF-16 name in parentRef and sets the whichInfo fields
// of catalogInfo (may be null) on it. dupFNErr when the name is taken; bdNamErr for a bad name
// or one that does not fit on disk with its sidecar; dirNFErr when parentRef is not a folder.
// newRef, newSpec and newDirID (a folder's node id) are filled where not null.
OSErr FSCreateFileUnicode(FSRef const* parentRef, UniCharCount nameLength, UniChar const* name,
                          FSCatalogInfoBitmap whichInfo, FSCatalogInfo const* catalogInfo,
                          FSRef* newRef, FSSpec* newSpec);
OSErr FSCreateDirectoryUnicode(FSRef const* parentRef, UniCharCount nameLength, UniChar const* name,
                               FSCatalogInfoBitmap whichInfo, FSCatalogInfo const* catalogInfo,
                               FSRef* newRef, FSSpec* newSpec, UInt32* newDirID);
// ref (the parent), nameLength, name, whichInfo, catInfo in; newRef, spec (and ioDirID for a
// folder) out.
OSErr PBCreateFileUnicodeSync(FSRefParam* paramBlock);
OSErr PBCreateDirectoryUnicodeSync(FSRefParam* paramBlock);

// Deletes a file (with its sidecar) or an empty folder; a symbolic link is deleted, never what
// it points to. fBsyErr for a folder that is not empty and for a file with an open fork;
// fLckdErr for a locked item; paramErr for a volume's root.
OSErr FSDeleteObject(FSRef const* ref);
OSErr PBDeleteObjectSync(FSRefParam* paramBlock);  // ref

// Renames an item in its folder (its sidecar with it). dupFNErr when the name is taken by
// another item; fLckdErr for a locked item; paramErr for a volume's root. newRef (may be null)
// receives the renamed item's reference; every reference to it and below it follows.
OSErr FSRenameUnicode(FSRef const* ref, UniCharCount nameLength, UniChar const* name,
                      TextEncoding textEncodingHint, FSRef* newRef);
OSErr PBRenameUnicodeSync(FSRefParam* paramBlock);  // ref, nameLength, name, textEncodingHint; newRef

// Moves an item into the folder destDirectory (its sidecar with it), keeping its name.
// diffVolErr when the folder is on another volume; badMovErr into itself or below itself;
// dupFNErr when the name is taken there; errFSNotAFolder when destDirectory is no folder.
OSErr FSMoveObject(FSRef const* ref, FSRef const* destDirectory, FSRef* newRef);
OSErr PBMoveObjectSync(FSRefParam* paramBlock);  // ref, parentRef (the destination); newRef

// Exchanges the contents of two files on one volume (their data, forks and catalog
// information; the names stay): the items behind the two names swap in one step. A symbolic
// link is exchanged as itself. diffVolErr across volumes, notAFileErr for a folder, fLckdErr
// for a locked file.
OSErr FSExchangeObjects(FSRef const* ref, FSRef const* destRef);

// Flat iteration of a folder's items in name order; sidecars are never items and symbolic
// links are items of their own. errFSNotAFolder when container is no folder.
OSErr FSOpenIterator(FSRef const* container, FSIteratorFlags iteratorFlags, FSIterator* iterator);
OSErr FSCloseIterator(FSIterator iterator);
// Up to maximumObjects items: for each, the whichInfo fields of catalogInfos[i] and refs[i],
// specs[i], names[i] (each array may be null). errFSNoMoreItems when fewer than maximumObjects
// items were left (the call still hands those out); a call that fills its request is noErr;
// errFSBadItemCount for 0; errFSIteratorNotFound for a closed or unknown iterator.
// *containerChanged is true when items vanished since the iterator was opened.
OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, FSSpec* specs,
                           HFSUniStr255* names);

// The Finder information of the file an FSSpec names (fdType, fdCreator, fdFlags, ...).
OSErr FSpGetFInfo(FSSpec const* spec, FInfo* fndrInfo);
OSErr FSpSetFInfo(FSSpec const* spec, FInfo const* fndrInfo);

// ---------------------------------------------------------------------------------------------
// Calls: forks
// ---------------------------------------------------------------------------------------------

// The names of the data fork ("", no units) and of the resource fork ("RESOURCE_FORK").
OSErr FSGetDataForkName(HFSUniStr255* dataForkName);
OSErr FSGetResourceForkName(HFSUniStr255* resourceForkName);

// The forks of a file in turn: the data fork, then the resource fork when the file has one.
// errFSNoMoreItems after the last; a folder has none; afpObjectTypeErr for an item that is no
// regular file, folder or link. forkName, forkSize and forkPhysicalSize may be null.
OSErr FSIterateForks(FSRef const* ref, CatPositionRec* forkIterator, HFSUniStr255* forkName,
                     SInt64* forkSize, UInt64* forkPhysicalSize);
// Gives a file a fork. Both standard forks always count as present (noErr; on a volume with a
// server address errFSForkExists when the fork is there already); other names errFSBadForkName;
// notAFileErr for a folder.
OSErr FSCreateFork(FSRef const* ref, UniCharCount forkNameLength, UniChar const* forkName);
// Removes the resource fork (the data fork is emptied instead).
OSErr FSDeleteFork(FSRef const* ref, UniCharCount forkNameLength, UniChar const* forkName);

// Opens the data or resource fork of a file (fsRdPerm, fsWrPerm, fsRdWrPerm; fsCurPerm reads).
// Opening the resource fork of a file without one for writing gives it one; for reading gives an
// empty fork. permErr to write a locked file, opWrErr when the fork is already open for
// writing, notAFileErr for a folder, afpObjectTypeErr (without opening it) for an item that is
// no regular file or link, errFSBadForkName for another fork name.
OSErr FSOpenFork(FSRef const* ref, UniCharCount forkNameLength, UniChar const* forkName,
                 SInt8 permissions, FSIORefNum* forkRefNum);
// Reads (writes) requestCount bytes at the position given by positionMode (fsAtMark,
// fsFromStart, fsFromLEOF, fsFromMark; noCacheMask is ignored) and positionOffset, and moves the
// mark past them. A read that reaches the end answers eofErr with the bytes it got; a position
// before the start gives posErr; a write extends the fork. rfNumErr for an unknown fork,
// wrPermErr to write a fork opened for reading.
OSErr FSReadFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                 ByteCount requestCount, void* buffer, ByteCount* actualCount);
OSErr FSWriteFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                  ByteCount requestCount, void const* buffer, ByteCount* actualCount);
OSErr FSGetForkPosition(FSIORefNum forkRefNum, SInt64* position);
// Moves the mark; posErr before the start. A mark past the end is allowed (reads there give
// eofErr).
OSErr FSSetForkPosition(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset);
OSErr FSGetForkSize(FSIORefNum forkRefNum, SInt64* forkSize);
// Sets the fork's length to the position the mode and offset name; the mark is kept within it.
OSErr FSSetForkSize(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset);
// Reserves space for requestCount bytes past the position (the fork's length is unchanged);
// *actualCount (may be null) receives what was reserved. dskFulErr when the disk cannot hold it.
OSErr FSAllocateFork(FSIORefNum forkRefNum, FSAllocationFlags flags, UInt16 positionMode,
                     SInt64 positionOffset, UInt64 requestCount, UInt64* actualCount);
OSErr FSFlushFork(FSIORefNum forkRefNum);
// What is known of an open fork (forkInfo, ref and outForkName may be null). desiredRefNum names
// the fork; iterating over all open forks is not offered (paramErr for 0).
OSErr FSGetForkCBInfo(FSIORefNum desiredRefNum, FSVolumeRefNum volume, SInt16* iterator,
                      FSIORefNum* actualRefNum, FSForkInfo* forkInfo, FSRef* ref,
                      HFSUniStr255* outForkName);
OSErr FSCloseFork(FSIORefNum forkRefNum);

// ---------------------------------------------------------------------------------------------
// Calls: volume parameters, access rights, the server copy
// ---------------------------------------------------------------------------------------------

// The parameters of volume ioParam.ioVRefNum (0: the startup volume) into ioParam.ioBuffer, at
// most ioParam.ioReqCount bytes; ioParam.ioActCount tells how many. Attributes, server address
// and grade are those the tests set (FilesTesting.h), else a local volume's. nsvErr for an
// unknown volume.
OSErr PBHGetVolParmsSync(HParamBlockRec* paramBlock);
// The access rights of a folder (accessParam). paramErr on a volume that keeps none (every
// local volume, unless a test set rights for the folder); on a volume with a server address the
// rights follow the folder's mode for this process's user. dirNFErr / fnfErr when the folder
// is not there.
OSErr PBHGetDirAccessSync(HParamBlockRec* paramBlock);
// Copies a file, its sidecar and its extended attributes into a folder on the same file server
// (copyParam). wrgVolTypErr when the source volume does not have bHasCopyFile; diffVolErr when
// the destination is not on the same server; dupFNErr when the name is taken.
OSErr PBHCopyFileSync(HParamBlockRec* paramBlock);

// ---------------------------------------------------------------------------------------------
// Calls: the UTC clock and Finder notification
// ---------------------------------------------------------------------------------------------

enum : OptionBits { kUTCDefaultOptions = 0 };
enum : FNMessage { kFNDirectoryModifiedMessage = 1 };

// The current time (options ignored).
OSErr GetUTCDateTime(UTCDateTime* utcDateTime, OptionBits options);
// Seconds since 1904 in local time and in UTC, by the system time zone. kUTCUnderflowErr /
// kUTCOverflowErr when the result does not fit 32 bits; paramErr for null.
OSErr ConvertLocalTimeToUTC(UInt32 localSeconds, UInt32* utcSeconds);
OSErr ConvertUTCToLocalTime(UInt32 utcSeconds, UInt32* localSeconds);
// Tells the Finder that ref (a folder) changed: there is no Finder, so only the reference is
// checked.
OSStatus FNNotify(FSRef const* ref, FNMessage message, OptionBits flags);

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
