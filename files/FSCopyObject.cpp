// FSCopyObject: the object copy toolkit (see FSCopyObject.h): file and folder-tree copies with all
// forks and catalog information, drop-box and server-side copies, move-and-rename, tree deletion,
// type and creator change and the modification-date touch.
// Copies run in a fixed order: preflight (buffer, drop box, volumes), name clash handling, create
// the copy marked busy, copy its forks, put the real catalog information back. Folder trees are
// walked through a list of folders still to be copied, depth first, 80 items per catalog read, so
// the stack does not grow with the tree. Relies on the File Manager only; the buffers and arrays
// come from std::malloc. Every function frees what it took on every path out; nothing throws.
#include "files/FSCopyObject.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr OSType kBusyFileType = MakeFourCharCode("bzy ");
// The kind of item in the permissions' mode (as lstat gives it): only a real link is copied as one,
// whatever type and creator its Finder information claims.
constexpr UInt32 kModeKindMask = 0170000;
constexpr UInt32 kModeKindSymLink = 0120000;
constexpr UInt32 kOwnerReadWriteSearch = 0x1C0;   // mode bits the copy needs while it fills an item
constexpr UInt32 kBulkItemCount = 80;             // items per catalog read of a folder copy
constexpr UInt32 kDefaultBufferSize = 0x40000;    // volumes that report no speed grade
constexpr UInt32 kMinBufferSize = 1024;
constexpr UInt32 kMaxBufferSize = 0x200000;
constexpr UInt32 kDiskBlockSize = 512;
constexpr UInt32 kVolParmsRequestSize = 32;
constexpr UInt32 kHasCopyFileAttrib = 1u << 14;   // vMAttrib bit bHasCopyFile
constexpr UInt32 kDropBoxRightsMask = 0x07000000;  // user may make changes / see files / folders
constexpr UInt32 kDropBoxRights = 0x04000000;      // make changes only
constexpr UInt32 kBusyLocalSeconds = 0x4F3AFDB0;   // 1946-02-14 00:34:56 local time
constexpr UInt32 kBusyDateNotComputed = 0xDEADBEEF;
constexpr UInt32 kTempNameCounterStart = 0x56454C4D;
constexpr UInt32 kMaxTempNameTries = 0x10000;
// Results of the 8-bit name conversion of a server copy (a failure falls back to our own copy).
constexpr OSErr kNameUnmappableErr = -8754;  // an unpaired surrogate
constexpr OSErr kNameTooLongErr = -8785;     // more bytes than an HFS name holds
// What a finished copy gets back from its source. Filling an item moves its modification date,
// so that date is put back last with the rest.
constexpr FSCatalogInfoBitmap kRestoreFileInfo =
    kFSCatInfoNodeFlags | kFSCatInfoPermissions | kFSCatInfoFinderInfo | kFSCatInfoContentMod;
constexpr FSCatalogInfoBitmap kRestoreSymLinkInfo = kFSCatInfoNodeFlags | kFSCatInfoPermissions;
constexpr FSCatalogInfoBitmap kRestoreFolderInfo =
    kFSCatInfoPermissions | kFSCatInfoCreateDate | kFSCatInfoContentMod;
constexpr FSCatalogInfoBitmap kRestoreSubFolderInfo = kFSCatInfoPermissions | kFSCatInfoContentMod;

UniChar const kDeleteMeName[] = {'.', 'D', 'e', 'l', 'e', 't', 'e', 'M', 'e'};

// ---------------------------------------------------------------------------------------------
// Catalog-information field helpers. The Finder information of a file holds the type at byte 0,
// the creator at 4 and the Finder flags at 8 (a folder's flags sit at 8 as well); the mode is the
// low half of the third permissions word.
// ---------------------------------------------------------------------------------------------

OSType GetInfoType(FSCatalogInfo const& info) {
  OSType value;
  std::memcpy(&value, info.finderInfo, sizeof value);
  return value;
}
void SetInfoType(FSCatalogInfo* info, OSType value) {
  std::memcpy(info->finderInfo, &value, sizeof value);
}
void SetInfoCreator(FSCatalogInfo* info, OSType value) {
  std::memcpy(info->finderInfo + 4, &value, sizeof value);
}
void ClearFinderFlag(FSCatalogInfo* info, UInt16 flag) {
  UInt16 flags;
  std::memcpy(&flags, info->finderInfo + 8, sizeof flags);
  flags = UInt16(flags & ~flag);
  std::memcpy(info->finderInfo + 8, &flags, sizeof flags);
}
void AddOwnerRights(FSCatalogInfo* info) { info->permissions[2] |= kOwnerReadWriteSearch; }
bool IsFolder(FSCatalogInfo const& info) { return (info.nodeFlags & kFSNodeIsDirectoryMask) != 0; }

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------

struct CopyFilterContext {
  FSCatalogInfoBitmap whichInfo;  // fields the caller wants to see of each new item
  CopyObjectFilterProcPtr filterProcPtr;
  Boolean containerChanged;
  Boolean wantSpec;
  Boolean wantName;
  void* filterParamPtr;
};

struct ForkTrackerEntry {
  HFSUniStr255 forkName;
  UInt64 forkSize;
  FSIORefNum forkDestRefNum;  // 0 = not open
};

struct FolderListEntry {
  FSRef sourceDirRef;
  FSRef destDirRef;
  UInt32 level;
  // Permissions and modification date the new folder gets once its contents are in (it stays
  // writable until then); the folder named in the call gets its own at the very end instead.
  Boolean hasPermissions;
  UInt32 permissions[4];
  UTCDateTime contentModDate;
};

// The bulk arrays of a folder copy.
struct stcBulkArrays {
  FSCatalogInfo* catInfos;
  FSRef* refs;
  HFSUniStr255* names;
};

// ---------------------------------------------------------------------------------------------
// Linked list of heap blocks with a dispose function.
// ---------------------------------------------------------------------------------------------

typedef void (*DisposeDataProcPtr)(void* dataPtr);

struct ListNode {
  ListNode* next;
  void* data;
};

struct LinkedList {
  ListNode* first;
  ListNode* last;
  UInt32 count;
  DisposeDataProcPtr disposeProcPtr;
};

void InitLinkedList(LinkedList* list, DisposeDataProcPtr disposeProcPtr) {
  list->first = nullptr;
  list->last = nullptr;
  list->count = 0;
  list->disposeProcPtr = disposeProcPtr;
}

OSErr AddToTail(LinkedList* list, void* data) {
  if (list == nullptr || data == nullptr) return paramErr;
  ListNode* node = static_cast<ListNode*>(std::malloc(sizeof(ListNode)));
  if (node == nullptr) return memFullErr;
  node->next = nullptr;
  node->data = data;
  if (list->last == nullptr)
    list->first = node;
  else
    list->last->next = node;
  list->last = node;
  ++list->count;
  return noErr;
}

// Moves the nodes of source into destination after the node after (null: in front); source is
// left empty. Lists of different dispose functions are not mixed.
void InsertList(LinkedList* destination, LinkedList* source, ListNode* after) {
  if (destination == nullptr || source == nullptr || source->first == nullptr ||
      destination->disposeProcPtr != source->disposeProcPtr)
    return;
  if (destination->first == nullptr) {
    destination->first = source->first;
    destination->last = source->last;
  } else if (after == nullptr) {
    source->last->next = destination->first;
    destination->first = source->first;
  } else {
    source->last->next = after->next;
    after->next = source->first;
    if (destination->last == after) destination->last = source->last;
  }
  destination->count += source->count;
  source->first = nullptr;
  source->last = nullptr;
  source->count = 0;
}

ListNode* InitIterator(LinkedList const* list) { return list->first; }
ListNode* Next(ListNode* node) { return node != nullptr ? node->next : nullptr; }
void* GetData(ListNode* node) { return node != nullptr ? node->data : nullptr; }

void DestroyList(LinkedList* list) {
  ListNode* node = list->first;
  while (node != nullptr) {
    ListNode* next = node->next;
    if (list->disposeProcPtr != nullptr) list->disposeProcPtr(node->data);
    std::free(node);
    node = next;
  }
  list->first = nullptr;
  list->last = nullptr;
  list->count = 0;
}

void MyDisposeDataProc(void* dataPtr) { std::free(dataPtr); }

void MyCloseForkProc(void* dataPtr) {
  ForkTrackerEntry* entry = static_cast<ForkTrackerEntry*>(dataPtr);
  if (entry != nullptr && entry->forkDestRefNum != 0) FSCloseFork(entry->forkDestRefNum);
  std::free(dataPtr);
}

// ---------------------------------------------------------------------------------------------
// Volumes and buffer size
// ---------------------------------------------------------------------------------------------

OSErr FSGetVRefNum(FSRef const* ref, FSVolumeRefNum* vRefNum) {
  FSCatalogInfo info;
  OSErr err = FSGetCatalogInfo(ref, kFSCatInfoVolume, &info, nullptr, nullptr, nullptr);
  if (err == noErr) *vRefNum = info.volume;
  return err;
}

OSErr FSGetVolParms(FSVolumeRefNum volRefNum, UInt32 bufferSize,
                    GetVolParmsInfoBuffer* volParmsInfo, UInt32* actualInfoSize) {
  if (volParmsInfo == nullptr || actualInfoSize == nullptr) return paramErr;
  HParamBlockRec pb;
  std::memset(&pb, 0, sizeof pb);
  pb.ioParam.ioNamePtr = nullptr;
  pb.ioParam.ioVRefNum = volRefNum;
  pb.ioParam.ioBuffer = reinterpret_cast<Ptr>(volParmsInfo);
  pb.ioParam.ioReqCount = SInt32(bufferSize);
  OSErr err = PBHGetVolParmsSync(&pb);
  *actualInfoSize = err == noErr ? UInt32(pb.ioParam.ioActCount) : 0;
  return err;
}

UInt32 BufferSizeForVolSpeed(UInt32 volumeBytesPerSecond) {
  UInt32 size = volumeBytesPerSecond == 0 ? kDefaultBufferSize
                                          : (volumeBytesPerSecond / 4) & ~(kDiskBlockSize - 1);
  if (size < kMinBufferSize) size = kMinBufferSize;
  if (size > kMaxBufferSize) size = kMaxBufferSize;
  return size;
}

UInt32 BufferSizeForVol(FSVolumeRefNum volRefNum) {
  GetVolParmsInfoBuffer volParms;
  std::memset(&volParms, 0, sizeof volParms);
  UInt32 actual = 0;
  UInt32 speed = 0;
  // The grade is there when the answer reaches past it (18 bytes in the platform's packed form).
  UInt32 const gradeEnd = UInt32(offsetof(GetVolParmsInfoBuffer, vMVolumeGrade) +
                                 sizeof(volParms.vMVolumeGrade));
  if (FSGetVolParms(volRefNum, kVolParmsRequestSize, &volParms, &actual) == noErr &&
      actual >= gradeEnd && volParms.vMVolumeGrade <= 0)
    speed = UInt32(0) - UInt32(volParms.vMVolumeGrade);  // unsigned: the most negative grade too
  return BufferSizeForVolSpeed(speed);
}

OSErr CalculateBufferSize(FSRef const* source, FSRef const* destDir, UInt32* bufferSize) {
  if (source == nullptr || destDir == nullptr || bufferSize == nullptr) {
    if (bufferSize != nullptr) *bufferSize = 0;
    return paramErr;
  }
  *bufferSize = 0;
  FSVolumeRefNum sourceVol = 0, destVol = 0;
  OSErr err = FSGetVRefNum(source, &sourceVol);
  if (err == noErr) err = FSGetVRefNum(destDir, &destVol);
  if (err != noErr) return err;
  UInt32 size = BufferSizeForVol(sourceVol);
  if (destVol != sourceVol) {
    UInt32 destSize = BufferSizeForVol(destVol);
    if (destSize < size) size = destSize;
  }
  *bufferSize = size;
  return noErr;
}

// A drop box lets the user put items in but see nothing; on volumes without access rights, a
// folder others may write and search but not read.
OSErr IsDropBox(FSRef const* source, Boolean* isDropBox) {
  *isDropBox = false;
  FSCatalogInfo info;
  FSSpec spec;
  OSErr err = FSGetCatalogInfo(source, kFSCatInfoNodeFlags | kFSCatInfoPermissions, &info,
                               nullptr, &spec, nullptr);
  if (err != noErr) return err;
  if (!IsFolder(info)) return errFSNotAFolder;
  HParamBlockRec pb;
  std::memset(&pb, 0, sizeof pb);
  pb.accessParam.ioNamePtr = spec.name;
  pb.accessParam.ioVRefNum = spec.vRefNum;
  pb.fileParam.ioDirID = spec.parID;
  err = PBHGetDirAccessSync(&pb);
  if (err == noErr) {
    *isDropBox = (UInt32(pb.accessParam.ioACAccess) & kDropBoxRightsMask) == kDropBoxRights;
  } else if (err == paramErr) {
    *isDropBox = (info.permissions[2] & 0x7) == 0x3;
    err = noErr;
  }
  return err;
}

// ---------------------------------------------------------------------------------------------
// Busy marks, destination checks and names
// ---------------------------------------------------------------------------------------------

// The busy creation date: computed once, then the same for the whole process.
std::atomic<UInt32> g_ulngBusyDateLowSeconds{kBusyDateNotComputed};

OSErr GetMagicBusyCreateDate(UTCDateTime* date) {
  if (date == nullptr) return paramErr;
  UInt32 lowSeconds = g_ulngBusyDateLowSeconds.load();
  if (lowSeconds == kBusyDateNotComputed) {
    OSErr err = ConvertLocalTimeToUTC(kBusyLocalSeconds, &lowSeconds);
    if (err != noErr) return err;
    g_ulngBusyDateLowSeconds.store(lowSeconds);
  }
  date->highSeconds = 0;
  date->lowSeconds = lowSeconds;
  date->fraction = 0;
  return noErr;
}

OSErr CheckForDestInsideSrc(FSRef const* source, FSRef const* destDir) {
  FSRef current = *destDir;
  for (;;) {
    OSErr err = FSCompareFSRefs(&current, source);
    if (err == noErr) return kCopyErrDestInsideSource;
    if (err == diffVolErr) return noErr;
    if (err != errFSRefsDifferent) return err;
    FSCatalogInfo info;
    FSRef parent;
    err = FSGetCatalogInfo(&current, kFSCatInfoParentDirID, &info, nullptr, nullptr, &parent);
    if (err != noErr) return err;
    if (info.parentDirID == fsRtParID) return noErr;
    current = parent;
  }
}

// Gives *name the first free candidate of "name 1.ext" .. "name 9.ext" in destDir; leaves it
// unchanged when all nine exist (the create then reports the clash). A name with no room for
// the two new units is a bad name: it is refused before anything is appended.
OSErr GetUniqueName(FSRef const* destDir, HFSUniStr255* name) {
  if (name->length + 2u > 255u) return bdNamErr;
  HFSUniStr255 candidate = *name;
  UInt16 insertAt = candidate.length;
  for (UInt16 i = candidate.length; i > 1; --i) {
    if (candidate.unicode[i - 1] == '.') {
      insertAt = UInt16(i - 1);
      break;
    }
  }
  std::memmove(candidate.unicode + insertAt + 2, candidate.unicode + insertAt,
               (candidate.length - insertAt) * sizeof(UniChar));
  candidate.unicode[insertAt] = ' ';
  candidate.length = UInt16(candidate.length + 2);
  OSErr err = noErr;
  for (UniChar digit = '1'; digit <= '9'; ++digit) {
    candidate.unicode[insertAt + 1] = digit;
    FSRef existing;
    err = FSMakeFSRefUnicode(destDir, candidate.length, candidate.unicode, kTextEncodingUnknown,
                             &existing);
    if (err != noErr) break;
  }
  if (err == fnfErr) {
    *name = candidate;
    return noErr;
  }
  return err;
}

// Makes the destination name usable under the clash action. Replace sets the existing item aside
// under ".DeleteMe" (*setAside true, setAsideRef its reference). An existing item that is the
// source itself cannot be replaced by its own copy: dupFNErr, nothing touched.
OSErr SetupDestination(FSRef const* source, FSRef const* destDir, UInt32 clashAction,
                       HFSUniStr255* name, FSRef* setAsideRef, bool* setAside) {
  *setAside = false;
  FSRef existing;
  OSErr err = FSMakeFSRefUnicode(destDir, name->length, name->unicode, kTextEncodingUnknown,
                                 &existing);
  if (err == fnfErr) return noErr;
  if (err != noErr) return err;
  switch (clashAction) {
    case kCopyClashReplace:
      if (FSCompareFSRefs(&existing, source) == noErr) return dupFNErr;
      err = FSRenameUnicode(&existing, sizeof kDeleteMeName / sizeof kDeleteMeName[0],
                            kDeleteMeName, kTextEncodingUnknown, setAsideRef);
      if (err == noErr) *setAside = true;
      return err;
    case kCopyClashUniqueName:
      return GetUniqueName(destDir, name);
    default:
      return noErr;
  }
}

// A name of 8 upper-case hexadecimal digits free in both folders; *counter ends one past it.
OSErr GenerateUniqueHFSUniStr(UInt32* counter, FSRef const* dir1, FSRef const* dir2,
                              HFSUniStr255* uniqueName) {
  static char const kHexDigits[] = "0123456789ABCDEF";
  for (UInt32 tries = 0; tries < kMaxTempNameTries; ++tries) {
    UInt32 value = (*counter)++;
    uniqueName->length = 8;
    for (int i = 7; i >= 0; --i) {
      uniqueName->unicode[i] = UniChar(kHexDigits[value & 0xF]);
      value >>= 4;
    }
    FSRef found;
    OSErr err = FSMakeFSRefUnicode(dir1, 8, uniqueName->unicode, kTextEncodingUnknown, &found);
    if (err == fnfErr)
      err = FSMakeFSRefUnicode(dir2, 8, uniqueName->unicode, kTextEncodingUnknown, &found);
    if (err == fnfErr) return noErr;
    if (err != noErr) return err;
  }
  return dupFNErr;
}

// ---------------------------------------------------------------------------------------------
// Forks
// ---------------------------------------------------------------------------------------------

// Copies size bytes from the source fork to the destination fork through the context's buffer.
// On a local destination every write is whole 512-byte blocks: the short last chunk is padded
// with zeros and the fork is cut back to size at the end.
OSErr WriteFork(FSIORefNum sourceRefNum, FSIORefNum destRefNum, CopyBufferContext const* context,
                UInt64 size) {
  if (context->buffer == nullptr || context->bufferSize < kDiskBlockSize) return paramErr;
  UInt64 allocated = 0;
  OSErr err = FSAllocateFork(destRefNum, kFSAllocNoRoundUpMask, fsFromStart, 0, size, &allocated);
  if (err != noErr) return err;
  UInt64 remaining = size;
  while (remaining > 0 && err == noErr) {
    ByteCount chunk = remaining < context->bufferSize ? ByteCount(remaining) : context->bufferSize;
    ByteCount actual = 0;
    err = FSReadFork(sourceRefNum, fsAtMark | noCacheMask, 0, chunk, context->buffer, &actual);
    if (err == noErr && actual != chunk) err = eofErr;  // the source shrank under us
    if (err == eofErr && actual == chunk) err = noErr;
    if (err != noErr) break;
    ByteCount writeCount = chunk;
    if (context->isLocal && chunk % kDiskBlockSize != 0) {
      ByteCount rounded = (chunk + kDiskBlockSize - 1) & ~ByteCount(kDiskBlockSize - 1);
      if (rounded <= context->bufferSize) {
        std::memset(context->buffer + chunk, 0, rounded - chunk);
        writeCount = rounded;
      }
    }
    err = FSWriteFork(destRefNum, fsAtMark | noCacheMask, 0, writeCount, context->buffer, &actual);
    if (err == noErr && actual != writeCount) err = ioErr;
    remaining -= chunk;
  }
  if (err == noErr && context->isLocal && size % kDiskBlockSize != 0)
    err = FSSetForkSize(destRefNum, fsFromStart, SInt64(size));
  return err;
}

OSErr CopyForksToDisk(FSRef const* source, FSRef const* dest, CopyBufferContext const* context) {
  CatPositionRec iterator;
  std::memset(&iterator, 0, sizeof iterator);
  iterator.initialize = 0;
  for (;;) {
    HFSUniStr255 forkName;
    SInt64 forkSize = 0;
    OSErr err = FSIterateForks(source, &iterator, &forkName, &forkSize, nullptr);
    if (err == errFSNoMoreItems) return noErr;
    if (err != noErr) return err;
    OSErr createErr = FSCreateFork(dest, forkName.length, forkName.unicode);
    if (createErr == errFSForkExists && !context->isLocal) createErr = noErr;
    if (createErr != noErr) {
      // A plain copy goes on without this fork; a copy whose source will be deleted may not.
      if (context->failOnSkippedFork) return createErr;
      continue;
    }
    if (forkSize == 0) continue;
    FSIORefNum destRefNum = 0, sourceRefNum = 0;
    err = FSOpenFork(dest, forkName.length, forkName.unicode, fsWrPerm, &destRefNum);
    if (err == noErr) {
      err = FSOpenFork(source, forkName.length, forkName.unicode, fsRdPerm, &sourceRefNum);
      if (err == noErr) {
        err = WriteFork(sourceRefNum, destRefNum, context, UInt64(forkSize));
        FSCloseFork(sourceRefNum);
      }
      FSCloseFork(destRefNum);
    }
    if (err != noErr) return err;
  }
}

// Creates every fork of source on dest and opens the non-empty ones for writing: in a drop box
// the new file vanishes from the user's sight once it exists, so nothing is looked up later.
OSErr OpenAllForks(FSRef const* source, FSRef const* dest, LinkedList* forkList) {
  CatPositionRec iterator;
  std::memset(&iterator, 0, sizeof iterator);
  iterator.initialize = 0;
  for (;;) {
    HFSUniStr255 forkName;
    SInt64 forkSize = 0;
    OSErr err = FSIterateForks(source, &iterator, &forkName, &forkSize, nullptr);
    if (err == errFSNoMoreItems) return noErr;
    if (err != noErr) return err;
    err = FSCreateFork(dest, forkName.length, forkName.unicode);
    if (err != noErr && err != afpAccessDenied) return err;
    if (forkSize == 0) continue;
    ForkTrackerEntry* entry = static_cast<ForkTrackerEntry*>(std::malloc(sizeof(ForkTrackerEntry)));
    if (entry == nullptr) return memFullErr;
    entry->forkName = forkName;
    entry->forkSize = UInt64(forkSize);
    entry->forkDestRefNum = 0;
    err = AddToTail(forkList, entry);
    if (err != noErr) {
      std::free(entry);
      return err;
    }
    err = FSOpenFork(dest, forkName.length, forkName.unicode, fsWrPerm, &entry->forkDestRefNum);
    if (err != noErr) {
      entry->forkDestRefNum = 0;
      return err;
    }
  }
}

OSErr CopyForksToDropBox(FSRef const* source, FSRef const* dest, CopyBufferContext const* context) {
  LinkedList forkList;
  InitLinkedList(&forkList, MyCloseForkProc);
  OSErr err = OpenAllForks(source, dest, &forkList);
  for (ListNode* node = InitIterator(&forkList); node != nullptr && err == noErr;
       node = Next(node)) {
    ForkTrackerEntry* entry = static_cast<ForkTrackerEntry*>(GetData(node));
    FSIORefNum sourceRefNum = 0;
    err = FSOpenFork(source, entry->forkName.length, entry->forkName.unicode, fsRdPerm,
                     &sourceRefNum);
    if (err == noErr) {
      err = WriteFork(sourceRefNum, entry->forkDestRefNum, context, entry->forkSize);
      FSCloseFork(sourceRefNum);
    }
  }
  DestroyList(&forkList);
  return err;
}

OSErr CopyForks(FSRef const* source, FSRef const* dest, CopyBufferContext const* context) {
  return context->isDropBox ? CopyForksToDropBox(source, dest, context)
                            : CopyForksToDisk(source, dest, context);
}

// ---------------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------------

// The file system's 8-bit form of a UTF-16 name (a length byte, then the bytes): on this
// platform the UTF-8 bytes that FSSpec names carry. At most 31 bytes (27 for a volume name).
OSErr UnicodeNameGetHFSName(UniCharCount nameLength, UniChar const* name,
                            TextEncoding /*textEncodingHint*/, bool isVolumeName,
                            Str31 hfsName) {
  if (hfsName == nullptr || (name == nullptr && nameLength != 0)) return paramErr;
  UInt32 const limit = isVolumeName ? 27 : 31;
  UInt32 used = 0;
  for (UniCharCount i = 0; i < nameLength; ++i) {
    UInt32 code = name[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < nameLength && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (name[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      return kNameUnmappableErr;
    }
    UInt8 bytes[4];
    UInt32 count;
    if (code < 0x80) {
      bytes[0] = UInt8(code);
      count = 1;
    } else if (code < 0x800) {
      bytes[0] = UInt8(0xC0 | (code >> 6));
      bytes[1] = UInt8(0x80 | (code & 0x3F));
      count = 2;
    } else if (code < 0x10000) {
      bytes[0] = UInt8(0xE0 | (code >> 12));
      bytes[1] = UInt8(0x80 | ((code >> 6) & 0x3F));
      bytes[2] = UInt8(0x80 | (code & 0x3F));
      count = 3;
    } else {
      bytes[0] = UInt8(0xF0 | (code >> 18));
      bytes[1] = UInt8(0x80 | ((code >> 12) & 0x3F));
      bytes[2] = UInt8(0x80 | ((code >> 6) & 0x3F));
      bytes[3] = UInt8(0x80 | (code & 0x3F));
      count = 4;
    }
    if (used + count > limit) return kNameTooLongErr;
    std::memcpy(hfsName + 1 + used, bytes, count);
    used += count;
  }
  hfsName[0] = UInt8(used);
  return noErr;
}

OSErr FSMakeFSRef(FSVolumeRefNum volRefNum, SInt32 dirID, ConstStr255Param name, FSRef* ref) {
  FSRefParam pb;
  std::memset(&pb, 0, sizeof pb);
  pb.ioVRefNum = volRefNum;
  pb.ioDirID = dirID;
  pb.ioNamePtr = name;
  pb.newRef = ref;
  return PBMakeFSRefSync(&pb);
}

// Lets the file server copy the file itself.
OSErr FSUsePBHCopyFile(FSRef const* source, FSRef const* destDir, HFSUniStr255 const* destName,
                       FSRef* newFile, FSSpec* newSpec) {
  FSSpec sourceSpec;
  OSErr err = FSGetCatalogInfo(source, kFSCatInfoNone, nullptr, nullptr, &sourceSpec, nullptr);
  FSCatalogInfo destInfo;
  if (err == noErr)
    err = FSGetCatalogInfo(destDir, kFSCatInfoVolume | kFSCatInfoNodeID, &destInfo, nullptr,
                           nullptr, nullptr);
  if (err != noErr) return err;
  Str31 hfsName;
  err = UnicodeNameGetHFSName(destName->length, destName->unicode, kTextEncodingUnknown, false,
                              hfsName);
  if (err != noErr) return err;
  HParamBlockRec pb;
  std::memset(&pb, 0, sizeof pb);
  pb.copyParam.ioVRefNum = sourceSpec.vRefNum;
  pb.copyParam.ioDirID = sourceSpec.parID;
  pb.copyParam.ioNamePtr = sourceSpec.name;
  pb.copyParam.ioDstVRefNum = destInfo.volume;
  pb.copyParam.ioNewDirID = SInt32(destInfo.nodeID);
  pb.copyParam.ioNewName = nullptr;
  pb.copyParam.ioCopyName = hfsName;
  err = PBHCopyFileSync(&pb);
  if (err == noErr && (newFile != nullptr || newSpec != nullptr)) {
    FSSpec spec;
    err = FSMakeFSSpec(destInfo.volume, SInt32(destInfo.nodeID), hfsName, &spec);
    if (err == noErr && newSpec != nullptr) *newSpec = spec;
    if (err == noErr && newFile != nullptr)
      err = FSMakeFSRef(spec.vRefNum, spec.parID, spec.name, newFile);
  }
  return err;
}

// Creates the copy under a busy type, unlocked and writable, fills its forks, then gives it the
// source's type, flags, permissions and modification date. A failed copy is deleted unless the name was taken.
OSErr DoCopyFile(FSRef const* source, FSCatalogInfo const* sourceCatInfo, FSRef const* destDir,
                 HFSUniStr255 const* destName, CopyBufferContext const* context, FSRef* newFile,
                 FSSpec* newSpec) {
  FSCatalogInfo info = *sourceCatInfo;
  OSType const originalType = GetInfoType(info);
  UInt16 const originalNodeFlags = info.nodeFlags;
  UInt32 originalPermissions[4];
  std::memcpy(originalPermissions, info.permissions, sizeof originalPermissions);
  bool const isSymLink = (info.permissions[2] & kModeKindMask) == kModeKindSymLink;
  if (!context->isDropBox) SetInfoType(&info, kBusyFileType);
  info.nodeFlags = UInt16(info.nodeFlags & ~kFSNodeLockedMask);
  AddOwnerRights(&info);
  // A link's copy holds its text in a file until it becomes a link: nobody else may write it.
  if (isSymLink) info.permissions[2] = (info.permissions[2] & ~UInt32(0777)) | kOwnerReadWriteSearch;

  bool const wantSpec = newSpec != nullptr || (!context->isDropBox && isSymLink);
  FSRef dest;
  FSSpec destSpec;
  std::memset(&destSpec, 0, sizeof destSpec);
  OSErr err = FSCreateFileUnicode(destDir, destName->length, destName->unicode,
                                  kFSCatInfoSettableInfo, &info, &dest,
                                  wantSpec ? &destSpec : nullptr);
  if (err != noErr) return err;  // nothing was made, so nothing to delete

  err = CopyForks(source, &dest, context);
  if (err == noErr && !context->isDropBox) {
    SetInfoType(&info, originalType);
    info.nodeFlags = originalNodeFlags;
    std::memcpy(info.permissions, originalPermissions, sizeof originalPermissions);
    if (isSymLink) {
      err = FSSetCatalogInfo(&dest, kRestoreSymLinkInfo, &info);
      if (err == noErr) {
        FInfo finderInfo;
        std::memcpy(&finderInfo, info.finderInfo, sizeof finderInfo);
        err = FSpSetFInfo(&destSpec, &finderInfo);
      }
    } else {
      err = FSSetCatalogInfo(&dest, kRestoreFileInfo, &info);
    }
  }
  if (err != noErr) {
    FSDeleteObjects(&dest);
    return err;
  }
  if (newFile != nullptr) *newFile = dest;
  if (newSpec != nullptr) *newSpec = destSpec;
  return noErr;
}

// The copy of one file with name clash handling and the filter call.
OSErr FSCopyFile(FSRef const* source, FSRef const* destDir, CopyBufferContext const* bufferContext,
                 CopyFilterContext const* filterContext, FSRef* newFile, FSSpec* newSpec) {
  if (source == nullptr || destDir == nullptr || bufferContext == nullptr ||
      filterContext == nullptr)
    return paramErr;
  FSRef setAsideRef, newRef;
  std::memset(&setAsideRef, 0, sizeof setAsideRef);
  std::memset(&newRef, 0, sizeof newRef);
  FSSpec spec;
  std::memset(&spec, 0, sizeof spec);
  bool setAside = false;
  FSCatalogInfo info;
  std::memset(&info, 0, sizeof info);
  HFSUniStr255 name;
  name.length = 0;
  OSErr err = FSGetCatalogInfo(source, kFSCatInfoSettableInfo, &info, &name, nullptr, nullptr);
  if (err == noErr)
    err = SetupDestination(source, destDir, bufferContext->clashAction, &name, &setAsideRef,
                           &setAside);
  bool const wantSpec = filterContext->wantSpec || newSpec != nullptr;
  if (err == noErr)
    err = CopyFile(source, &info, destDir, &name, bufferContext, &newRef,
                   wantSpec ? &spec : nullptr);
  if (bufferContext->clashAction == kCopyClashReplace && setAside) {
    // A failed copy has already removed its partial result: the old item gets its name back.
    // (newRef stays the failed copy's: the filter must never be handed the user's original.)
    if (err != noErr)
      FSRenameUnicode(&setAsideRef, name.length, name.unicode, kTextEncodingUnknown, nullptr);
    else
      err = FSDeleteObjects(&setAsideRef);
  }
  if (filterContext->filterProcPtr != nullptr) {
    FSCatalogInfoBitmap const extra = filterContext->whichInfo & ~kFSCatInfoSettableInfo;
    if (err == noErr && extra != 0)
      err = FSGetCatalogInfo(&newRef, extra, &info, nullptr, nullptr, nullptr);
    filterContext->filterProcPtr(false, 0, err, &info, &newRef,
                                 filterContext->wantSpec ? &spec : nullptr,
                                 filterContext->wantName ? &name : nullptr,
                                 filterContext->filterParamPtr);
  }
  if (err == noErr) {
    if (newFile != nullptr) *newFile = newRef;
    if (newSpec != nullptr) *newSpec = spec;
  }
  return err;
}

// ---------------------------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------------------------

// Creates the folder writable for its owner and copies the source folder's named forks.
// *created tells whether the folder exists afterwards (its forks may still have failed).
OSErr DoCreateFolder(FSRef const* sourceRef, FSRef const* destDirRef, FSCatalogInfo const* info,
                     HFSUniStr255 const* name, CopyBufferContext const* context, FSRef* newFolder,
                     FSSpec* newSpec, bool* created) {
  FSCatalogInfo createInfo = *info;
  ClearFinderFlag(&createInfo, kHasBeenInited);
  AddOwnerRights(&createInfo);
  OSErr err = FSCreateDirectoryUnicode(destDirRef, name->length, name->unicode,
                                       kFSCatInfoSettableInfo, &createInfo, newFolder, newSpec,
                                       nullptr);
  *created = err == noErr;
  if (err == noErr) err = CopyForks(sourceRef, newFolder, context);
  return err;
}

// A sub-folder of a tree copy. Its own permissions are set at once when its contents will not be
// copied, else (deferPermissions) after them, so that a read-only folder can still be filled.
OSErr CreateFolder(FSRef const* sourceRef, FSRef const* destDirRef, FSCatalogInfo const* info,
                   HFSUniStr255 const* name, CopyBufferContext const* context, FSRef* newFolder,
                   FSSpec* newSpec, bool deferPermissions) {
  bool created = false;
  OSErr err = DoCreateFolder(sourceRef, destDirRef, info, name, context, newFolder, newSpec,
                             &created);
  if (err == noErr && !context->isDropBox && !deferPermissions)
    err = FSSetCatalogInfo(newFolder, kFSCatInfoPermissions, info);
  return err;
}

// Copies the items of one folder; sub-folders whose contents are to be copied go into the folder
// list right after entry's node, so they come next. Item errors reach the filter only.
OSErr CopyFolder(LinkedList* folderList, ListNode* node, UInt32 maxLevels,
                 CopyBufferContext const* bufferContext, CopyFilterContext* filterContext,
                 stcBulkArrays const* arrays) {
  FolderListEntry const* entry = static_cast<FolderListEntry const*>(GetData(node));
  FSIterator iterator;
  OSErr err = FSOpenIterator(&entry->sourceDirRef, kFSIterateFlat, &iterator);
  if (err != noErr) return err;
  LinkedList subFolders;
  InitLinkedList(&subFolders, MyDisposeDataProc);
  UInt32 const itemLevel = entry->level + 1;
  bool const copyContents = maxLevels == 0 || maxLevels > itemLevel;
  bool stop = false;
  while (err == noErr && !stop) {
    ItemCount count = 0;
    err = FSGetCatalogInfoBulk(iterator, kBulkItemCount, &count, &filterContext->containerChanged,
                               kFSCatInfoSettableInfo, arrays->catInfos, arrays->refs, nullptr,
                               arrays->names);
    bool const lastBatch = err == errFSNoMoreItems || err == afpAccessDenied;
    if (err != noErr && !lastBatch) break;
    for (ItemCount i = 0; i < count && i < kBulkItemCount; ++i) {
      FSCatalogInfo* info = &arrays->catInfos[i];
      FSRef newRef;
      std::memset(&newRef, 0, sizeof newRef);
      FSSpec newSpec;
      std::memset(&newSpec, 0, sizeof newSpec);
      FSSpec* specOut = filterContext->wantSpec ? &newSpec : nullptr;
      OSErr itemErr;
      if (IsFolder(*info)) {
        itemErr = CreateFolder(&arrays->refs[i], &entry->destDirRef, info, &arrays->names[i],
                               bufferContext, &newRef, specOut, copyContents);
        if (itemErr == noErr && copyContents) {
          FolderListEntry* sub =
              static_cast<FolderListEntry*>(std::malloc(sizeof(FolderListEntry)));
          if (sub == nullptr) {
            itemErr = memFullErr;
          } else {
            sub->sourceDirRef = arrays->refs[i];
            sub->destDirRef = newRef;
            sub->level = itemLevel;
            sub->hasPermissions = !bufferContext->isDropBox;
            std::memcpy(sub->permissions, info->permissions, sizeof sub->permissions);
            sub->contentModDate = info->contentModDate;
            itemErr = AddToTail(&subFolders, sub);
            if (itemErr != noErr) std::free(sub);
          }
          // Without an entry its contents are not copied: give it its permissions now.
          if (itemErr != noErr && !bufferContext->isDropBox)
            FSSetCatalogInfo(&newRef, kFSCatInfoPermissions, info);
        }
      } else {
        itemErr = CopyFile(&arrays->refs[i], info, &entry->destDirRef, &arrays->names[i],
                           bufferContext, &newRef, specOut);
      }
      if (filterContext->filterProcPtr != nullptr) {
        FSCatalogInfoBitmap const extra = filterContext->whichInfo & ~kFSCatInfoSettableInfo;
        if (itemErr == noErr && extra != 0)
          itemErr = FSGetCatalogInfo(&newRef, extra, info, nullptr, nullptr, nullptr);
        if (filterContext->filterProcPtr(filterContext->containerChanged, itemLevel, itemErr, info,
                                         &newRef, specOut,
                                         filterContext->wantName ? &arrays->names[i] : nullptr,
                                         filterContext->filterParamPtr))
          stop = true;  // the rest of this batch still goes
      }
    }
    if (lastBatch) err = noErr;
    if (lastBatch) break;
  }
  FSCloseIterator(iterator);
  if (err == noErr && stop) err = kCopyErrStoppedByFilter;
  // The sub-folders made so far are listed even when this folder stops early, so that the walk
  // still gives them the permissions they were created without.
  InsertList(folderList, &subFolders, node);
  DestroyList(&subFolders);
  return err;
}

// Copies the contents of every folder on the list, depth first; a folder whose permissions were
// held back gets them once its own items are in.
OSErr ProcessFolderList(LinkedList* folderList, UInt32 maxLevels,
                        CopyBufferContext const* bufferContext, CopyFilterContext* filterContext,
                        stcBulkArrays const* arrays) {
  OSErr err = noErr;
  // After an error the walk copies nothing more but still gives every listed folder its
  // permissions.
  for (ListNode* node = InitIterator(folderList); node != nullptr; node = Next(node)) {
    if (err == noErr)
      err = CopyFolder(folderList, node, maxLevels, bufferContext, filterContext, arrays);
    FolderListEntry const* entry = static_cast<FolderListEntry const*>(GetData(node));
    if (entry->hasPermissions) {
      FSCatalogInfo info;
      std::memset(&info, 0, sizeof info);
      std::memcpy(info.permissions, entry->permissions, sizeof info.permissions);
      info.contentModDate = entry->contentModDate;
      FSSetCatalogInfo(&entry->destDirRef, kRestoreSubFolderInfo, &info);
    }
  }
  return err;
}

OSErr FSCopyFolder(FSRef const* source, FSRef const* destDir, UInt32 maxLevels,
                   CopyBufferContext const* bufferContext, CopyFilterContext* filterContext,
                   FSRef* newFolder, FSSpec* newSpec) {
  stcBulkArrays arrays;
  arrays.catInfos =
      static_cast<FSCatalogInfo*>(std::malloc(kBulkItemCount * sizeof(FSCatalogInfo)));
  arrays.refs = static_cast<FSRef*>(std::malloc(kBulkItemCount * sizeof(FSRef)));
  arrays.names = static_cast<HFSUniStr255*>(std::malloc(kBulkItemCount * sizeof(HFSUniStr255)));
  OSErr err = noErr;
  if (arrays.catInfos == nullptr || arrays.refs == nullptr || arrays.names == nullptr)
    err = memFullErr;

  FSCatalogInfo info;
  std::memset(&info, 0, sizeof info);
  HFSUniStr255 name;
  name.length = 0;
  if (err == noErr)
    err = FSGetCatalogInfo(source, kFSCatInfoSettableInfo, &info, &name, nullptr, nullptr);
  FSCatalogInfo const originalInfo = info;

  FSRef setAsideRef, newRef;
  std::memset(&setAsideRef, 0, sizeof setAsideRef);
  std::memset(&newRef, 0, sizeof newRef);
  FSSpec spec;
  std::memset(&spec, 0, sizeof spec);
  bool setAside = false;
  bool created = false;
  if (err == noErr)
    err = SetupDestination(source, destDir, bufferContext->clashAction, &name, &setAsideRef,
                           &setAside);
  if (err == noErr && !bufferContext->isDropBox) err = GetMagicBusyCreateDate(&info.createDate);
  bool const wantSpec = filterContext->wantSpec || newSpec != nullptr;
  if (err == noErr) {
    err = DoCreateFolder(source, destDir, &info, &name, bufferContext, &newRef,
                         wantSpec ? &spec : nullptr, &created);
  }
  if (filterContext->filterProcPtr != nullptr) {
    FSCatalogInfo filterInfo = originalInfo;
    FSCatalogInfoBitmap const extra = filterContext->whichInfo & ~kFSCatInfoSettableInfo;
    if (err == noErr && extra != 0)
      err = FSGetCatalogInfo(&newRef, extra, &filterInfo, nullptr, nullptr, nullptr);
    if (filterContext->filterProcPtr(false, 0, err, &filterInfo, &newRef,
                                     filterContext->wantSpec ? &spec : nullptr,
                                     filterContext->wantName ? &name : nullptr,
                                     filterContext->filterParamPtr) &&
        err == noErr)
      err = kCopyErrStoppedByFilter;
  }
  if (err == noErr) {
    LinkedList folderList;
    InitLinkedList(&folderList, MyDisposeDataProc);
    FolderListEntry* top = static_cast<FolderListEntry*>(std::malloc(sizeof(FolderListEntry)));
    if (top == nullptr) {
      err = memFullErr;
    } else {
      top->sourceDirRef = *source;
      top->destDirRef = newRef;
      top->level = 0;
      top->hasPermissions = false;  // set below together with the real creation date
      err = AddToTail(&folderList, top);
      if (err != noErr) std::free(top);
    }
    if (err == noErr)
      err = ProcessFolderList(&folderList, maxLevels, bufferContext, filterContext, &arrays);
    DestroyList(&folderList);
  }
  if (err == noErr && !bufferContext->isDropBox)
    err = FSSetCatalogInfo(&newRef, kRestoreFolderInfo, &originalInfo);
  if (bufferContext->clashAction == kCopyClashReplace && setAside) {
    if (err != noErr) {
      if (created) FSDeleteObjects(&newRef);
      FSRenameUnicode(&setAsideRef, name.length, name.unicode, kTextEncodingUnknown, nullptr);
    } else {
      err = FSDeleteObjects(&setAsideRef);
    }
  }
  if (err == noErr) {
    if (newFolder != nullptr) *newFolder = newRef;
    if (newSpec != nullptr) *newSpec = spec;
  }
  std::free(arrays.catInfos);
  std::free(arrays.refs);
  std::free(arrays.names);
  return err;
}

// ---------------------------------------------------------------------------------------------
// Deletion
// ---------------------------------------------------------------------------------------------

// Deletes everything inside container, one item at a time, sub-folders emptied first.
void FSDeleteFolderLevel(FSRef const* container, OSErr* result) {
  FSIterator iterator;
  *result = FSOpenIterator(container, kFSIterateDelete, &iterator);
  if (*result != noErr) return;
  while (*result == noErr) {
    ItemCount count = 0;
    FSRef item;
    FSCatalogInfo info;
    *result = FSGetCatalogInfoBulk(iterator, 1, &count, nullptr, kFSCatInfoNodeFlags, &info,
                                   &item, nullptr, nullptr);
    if (*result == noErr && count == 0) *result = errFSNoMoreItems;  // never spin on nothing
    if (*result != noErr) break;
    if (IsFolder(info)) {
      FSDeleteFolderLevel(&item, result);
      if (*result != noErr) break;
    }
    if (info.nodeFlags & kFSNodeLockedMask) {
      info.nodeFlags = UInt16(info.nodeFlags & ~kFSNodeLockedMask);
      *result = FSSetCatalogInfo(&item, kFSCatInfoNodeFlags, &info);
      if (*result != noErr) break;
    }
    *result = FSDeleteObject(&item);
  }
  if (*result == errFSNoMoreItems) *result = noErr;
  FSCloseIterator(iterator);
}

OSErr FSDeleteFolder(FSRef const* container) {
  OSErr result = noErr;
  FSDeleteFolderLevel(container, &result);
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public entry points
// ---------------------------------------------------------------------------------------------

OSErr FSCopyObjectPreflight(FSRef const* source, FSRef const* destDir, UInt32 clashAction,
                            CopyBufferContext* bufferContext, Boolean* isDirectory) {
  if (bufferContext == nullptr) return paramErr;
  std::memset(bufferContext, 0, sizeof *bufferContext);
  bufferContext->clashAction = clashAction;
  if (isDirectory != nullptr) *isDirectory = false;
  if (source == nullptr || destDir == nullptr || isDirectory == nullptr) return paramErr;

  UInt32 bufferSize = 0;
  OSErr err = CalculateBufferSize(source, destDir, &bufferSize);
  if (err != noErr) return err;
  bufferContext->buffer = static_cast<char*>(std::malloc(bufferSize));
  if (bufferContext->buffer == nullptr) return memFullErr;
  bufferContext->bufferSize = bufferSize;

  FSCatalogInfo sourceInfo;
  err = FSGetCatalogInfo(source, kFSCatInfoNodeFlags, &sourceInfo, nullptr, nullptr, nullptr);
  if (err != noErr) return err;
  err = IsDropBox(destDir, &bufferContext->isDropBox);
  if (err != noErr) return err;

  FSVolumeRefNum destVol = 0;
  GetVolParmsInfoBuffer destParms;
  std::memset(&destParms, 0, sizeof destParms);
  UInt32 actual = 0;
  err = FSGetVRefNum(destDir, &destVol);
  if (err == noErr) err = FSGetVolParms(destVol, kVolParmsRequestSize, &destParms, &actual);
  if (err != noErr) return err;

  *isDirectory = IsFolder(sourceInfo);
  bufferContext->isLocal = destParms.vMServerAdr == 0;
  if (bufferContext->isLocal) return noErr;

  FSVolumeRefNum sourceVol = 0;
  GetVolParmsInfoBuffer sourceParms;
  std::memset(&sourceParms, 0, sizeof sourceParms);
  err = FSGetVRefNum(source, &sourceVol);
  if (err == noErr) err = FSGetVolParms(sourceVol, kVolParmsRequestSize, &sourceParms, &actual);
  bufferContext->copyOnServer = err == noErr && sourceParms.vMServerAdr == destParms.vMServerAdr &&
                                (UInt32(sourceParms.vMAttrib) & kHasCopyFileAttrib) != 0;
  return err;
}

OSErr FSCopyObject(FSRef const* source, FSRef const* destDir, UInt32 maxLevels,
                   FSCatalogInfoBitmap whichInfo, UInt32 clashAction, Boolean wantFSSpec,
                   Boolean wantName, CopyObjectFilterProcPtr filterProcPtr, void* yourDataPtr,
                   FSRef* newObjectRef, FSSpec* newObjectSpec) {
  if (source == nullptr || destDir == nullptr) return paramErr;
  CopyFilterContext filterContext;
  filterContext.whichInfo = whichInfo;
  filterContext.filterProcPtr = filterProcPtr;
  filterContext.containerChanged = false;
  filterContext.wantSpec = filterProcPtr != nullptr && wantFSSpec;
  filterContext.wantName = filterProcPtr != nullptr && wantName;
  filterContext.filterParamPtr = yourDataPtr;

  CopyBufferContext bufferContext;
  Boolean isDirectory = false;
  OSErr err = FSCopyObjectPreflight(source, destDir, clashAction, &bufferContext, &isDirectory);
  if (err == noErr) {
    if (isDirectory) {
      err = CheckForDestInsideSrc(source, destDir);
      if (err == noErr)
        err = FSCopyFolder(source, destDir, maxLevels, &bufferContext, &filterContext,
                           newObjectRef, newObjectSpec);
    } else {
      err = FSCopyFile(source, destDir, &bufferContext, &filterContext, newObjectRef,
                       newObjectSpec);
    }
  }
  std::free(bufferContext.buffer);
  return err;
}

OSErr CopyFile(FSRef const* source, FSCatalogInfo* sourceCatInfo, FSRef const* destDir,
               HFSUniStr255 const* destName, CopyBufferContext const* bufferContext,
               FSRef* newFile, FSSpec* newSpec) {
  if (source == nullptr || sourceCatInfo == nullptr || destDir == nullptr || destName == nullptr ||
      bufferContext == nullptr)
    return paramErr;
  ClearFinderFlag(sourceCatInfo, kHasBeenInited);
  if (bufferContext->copyOnServer &&
      FSUsePBHCopyFile(source, destDir, destName, newFile, newSpec) == noErr)
    return noErr;
  return DoCopyFile(source, sourceCatInfo, destDir, destName, bufferContext, newFile, newSpec);
}

OSErr FSMoveRenameObjectUnicode(FSRef const* ref, FSRef const* destDirectory,
                                UniCharCount nameLength, UniChar const* name,
                                TextEncoding textEncodingHint, FSRef* newRef) {
  if (newRef == nullptr || ref == nullptr || destDirectory == nullptr) return paramErr;
  if (nameLength != 0 && name == nullptr) return paramErr;
  *newRef = *ref;
  FSCatalogInfo destInfo;
  OSErr err = FSGetCatalogInfo(destDirectory, kFSCatInfoVolume, &destInfo, nullptr, nullptr,
                               nullptr);
  if (err != noErr) return err;
  FSCatalogInfo info;
  HFSUniStr255 oldName;
  FSRef parentRef;
  err = FSGetCatalogInfo(ref, kFSCatInfoVolume | kFSCatInfoTextEncoding, &info, &oldName, nullptr,
                         &parentRef);
  if (err != noErr) return err;
  if (info.volume != destInfo.volume) return diffVolErr;

  // Moving into the folder that already holds it is no move at all.
  bool const sameFolder = FSCompareFSRefs(&parentRef, destDirectory) == noErr;
  if (nameLength == 0) return sameFolder ? OSErr(noErr) : FSMoveObject(ref, destDirectory, newRef);

  // Through a temporary name free in both folders, so neither the move nor the final rename can
  // meet an item of the old or the new name halfway.
  UInt32 counter = kTempNameCounterStart;
  HFSUniStr255 tempName;
  err = GenerateUniqueHFSUniStr(&counter, &parentRef, destDirectory, &tempName);
  if (err != noErr) return err;
  FSRef tempRef;
  err = FSRenameUnicode(ref, tempName.length, tempName.unicode, kTextEncodingUnknown, &tempRef);
  if (err != noErr) return err;
  FSRef movedRef = tempRef;
  if (!sameFolder) {
    err = FSMoveObject(&tempRef, destDirectory, &movedRef);
    if (err != noErr) {
      FSRenameUnicode(&tempRef, oldName.length, oldName.unicode, info.textEncodingHint, newRef);
      return err;
    }
  }
  err = FSRenameUnicode(&movedRef, nameLength, name, textEncodingHint, newRef);
  if (err != noErr) {
    FSRef backRef = movedRef;
    if (sameFolder || FSMoveObject(&movedRef, &parentRef, &backRef) == noErr)
      FSRenameUnicode(&backRef, oldName.length, oldName.unicode, info.textEncodingHint, newRef);
    else
      *newRef = movedRef;
  }
  return err;
}

OSErr FSChangeCreatorType(FSRef const* ref, OSType fileCreator, OSType fileType) {
  if (ref == nullptr) return paramErr;
  FSCatalogInfo info;
  FSRef parentRef;
  OSErr err = FSGetCatalogInfo(ref, kFSCatInfoNodeFlags | kFSCatInfoFinderInfo, &info, nullptr,
                               nullptr, &parentRef);
  if (err != noErr) return err;
  if (IsFolder(info)) return notAFileErr;
  if (fileType != 0) SetInfoType(&info, fileType);
  if (fileCreator != 0) SetInfoCreator(&info, fileCreator);
  err = FSSetCatalogInfo(ref, kFSCatInfoFinderInfo, &info);
  if (err != noErr) return err;
  return FSBumpDate(&parentRef);
}

OSErr FSBumpDate(FSRef const* ref) {
  if (ref == nullptr) return paramErr;
  FSCatalogInfo info;
  FSRef parentRef;
  OSErr err = FSGetCatalogInfo(ref, kFSCatInfoNodeFlags | kFSCatInfoContentMod, &info, nullptr,
                               nullptr, &parentRef);
  if (err != noErr) return err;
  UTCDateTime const oldDate = info.contentModDate;
  err = GetUTCDateTime(&info.contentModDate, kUTCDefaultOptions);
  if (err != noErr) return err;
  if (info.contentModDate.highSeconds == oldDate.highSeconds &&
      info.contentModDate.lowSeconds == oldDate.lowSeconds &&
      info.contentModDate.fraction == oldDate.fraction) {
    if (++info.contentModDate.lowSeconds == 0) ++info.contentModDate.highSeconds;
  }
  if (FSSetCatalogInfo(ref, kFSCatInfoContentMod, &info) != noErr) return noErr;
  FNNotify(IsFolder(info) ? ref : &parentRef, kFNDirectoryModifiedMessage, kNilOptions);
  return noErr;
}

OSErr FSDeleteObjects(FSRef const* source) {
  if (source == nullptr) return paramErr;
  FSCatalogInfo info;
  OSErr err = FSGetCatalogInfo(source, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr);
  if (err != noErr) return err;
  if (IsFolder(info)) {
    err = FSDeleteFolder(source);
    if (err != noErr) return err;
  }
  if (info.nodeFlags & kFSNodeLockedMask) {
    info.nodeFlags = UInt16(info.nodeFlags & ~kFSNodeLockedMask);
    FSSetCatalogInfo(source, kFSCatInfoNodeFlags, &info);
  }
  return FSDeleteObject(source);
}
