// FilesForks: the fork calls of the File Manager stand-in: the data fork is the file itself, the
// resource fork lives in the file's AppleDouble sidecar (FilesMeta.cpp), and the data fork of a
// symbolic link is the link's text (read-only).
// Open forks are a process-wide table of reference numbers (1 .. 32767) holding a descriptor, the
// fork's mark and permission; reads and writes are positioned (pread/pwrite), so a file renamed
// or moved while open stays open. One writer per fork (opWrErr for a second); a file with an open
// fork cannot be deleted (fBsyErr, see FilesCatalog.cpp).
// Relies on POSIX and Linux (fallocate) and on FilesMeta.cpp for the sidecar's layout. One mutex
// guards the table and is held through each call's I/O. Errors are OSErr codes; a read that
// reaches the end gives eofErr with the bytes it got.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesShared.h"
#include "platform/carbon/FilesStandIn.h"

namespace {

UniChar const kResourceForkName[] = {'R', 'E', 'S', 'O', 'U', 'R', 'C', 'E', '_', 'F', 'O', 'R', 'K'};
constexpr UniCharCount kResourceForkNameLength = 13;
constexpr SInt16 kMaxForkRefNum = 32767;
constexpr UInt64 kPhysicalBlock = 4096;

enum enumForkKind { kForkData, kForkResource, kForkOther };

enumForkKind KindOfFork(UniCharCount length, UniChar const* name) {
  if (length == 0) return kForkData;
  if (name != nullptr && length == kResourceForkNameLength &&
      std::memcmp(name, kResourceForkName, sizeof(kResourceForkName)) == 0)
    return kForkResource;
  return kForkOther;
}

struct stcOpenFork {
  FSRef refFile;
  int intFD = -1;             // the file, or its sidecar for the resource fork
  bool blnResource = false;
  bool blnLink = false;       // a symbolic link's text, kept here
  std::string strLinkText;
  SInt8 bytPermissions = fsRdPerm;
  UInt64 ulngMark = 0;
  dev_t udtDevice = 0;
  ino_t udtInode = 0;
};

std::mutex g_mtxForks;
std::map<SInt16, stcOpenFork>& Forks() {
  static std::map<SInt16, stcOpenFork>* s_pForks = new std::map<SInt16, stcOpenFork>();
  return *s_pForks;
}
SInt16 g_intNextRefNum = 1;

bool CanWrite(SInt8 permissions) { return (permissions & fsWrPerm) != 0; }

// The fork's current length and where its bytes start in the descriptor's file.
OSErr ForkExtent(stcOpenFork const& fork, UInt64* base, UInt64* length) {
  *base = 0;
  if (fork.blnLink) {
    *length = fork.strLinkText.size();
    return noErr;
  }
  if (fork.blnResource) return FilesMetaRsrcExtent(fork.intFD, base, length) ? OSErr(noErr) : OSErr(ioErr);
  struct stat st;
  if (fstat(fork.intFD, &st) != 0) return FSStandInErrnoToOSErr(errno);
  *length = UInt64(st.st_size);
  return noErr;
}

// Whether a call at this position mode must ask the fork's length first: always for a resource
// fork (its bytes start inside the sidecar) and a link's text, and for a position counted from
// the end. A data fork's bytes start at 0 in its file, so a read, write or move from its start
// or mark asks nothing (no fstat a block).
bool NeedsExtent(stcOpenFork const& fork, UInt16 positionMode) {
  return fork.blnResource || fork.blnLink || (positionMode & ~UInt16(noCacheMask)) == fsFromLEOF;
}

// The position a mode and offset name; posErr before the start.
OSErr ResolvePosition(stcOpenFork const& fork, UInt16 positionMode, SInt64 positionOffset,
                      UInt64 length, UInt64* position) {
  SInt64 intBase = 0;
  switch (positionMode & ~UInt16(noCacheMask)) {
    case fsAtMark: *position = fork.ulngMark; return noErr;
    case fsFromStart: intBase = 0; break;
    case fsFromLEOF: intBase = SInt64(length); break;
    case fsFromMark: intBase = SInt64(fork.ulngMark); break;
    default: return paramErr;
  }
  SInt64 intPosition = intBase + positionOffset;
  if (intPosition < 0) return posErr;
  *position = UInt64(intPosition);
  return noErr;
}

// The fork of a reference number and the test hooks' check for the call; the caller holds the
// lock.
OSErr FindFork(char const* call, FSIORefNum forkRefNum, stcOpenFork** fork) {
  auto it = Forks().find(forkRefNum);
  if (it == Forks().end()) return rfNumErr;
  std::string strPath;
  FSStandInRefGetPath(&it->second.refFile, &strPath);
  OSErr err = FilesCheckCall(call, strPath);
  if (err != noErr) return err;
  *fork = &it->second;
  return noErr;
}

// The file of a reference: its live path, real path and lstat.
OSErr FileOf(FSRef const* ref, char const* call, std::string* path, std::string* real, struct stat* st) {
  OSErr err = FilesRefGetLivePath(ref, path);
  if (err == noErr) err = FilesCheckCall(call, *path);
  if (err != noErr) return err;
  *real = FSStandInRealPath(*path);
  if (lstat(real->c_str(), st) != 0) return FSStandInErrnoToOSErr(errno);
  return noErr;
}

}  // namespace

bool FilesHasOpenFork(std::string const& realPath) {
  struct stat st;
  if (lstat(realPath.c_str(), &st) != 0) return false;
  std::lock_guard<std::mutex> lock(g_mtxForks);
  for (auto const& entry : Forks())
    if (entry.second.udtDevice == st.st_dev && entry.second.udtInode == st.st_ino) return true;
  return false;
}

OSErr FSGetDataForkName(HFSUniStr255* dataForkName) {
  if (dataForkName == nullptr) return paramErr;
  dataForkName->length = 0;
  return noErr;
}

OSErr FSGetResourceForkName(HFSUniStr255* resourceForkName) {
  if (resourceForkName == nullptr) return paramErr;
  resourceForkName->length = UInt16(kResourceForkNameLength);
  std::memcpy(resourceForkName->unicode, kResourceForkName, sizeof(kResourceForkName));
  return noErr;
}

OSErr FSIterateForks(FSRef const* ref, CatPositionRec* forkIterator, HFSUniStr255* forkName,
                     SInt64* forkSize, UInt64* forkPhysicalSize) {
  if (forkIterator == nullptr) return paramErr;
  std::string strPath, strReal;
  struct stat st;
  OSErr err = FileOf(ref, "FSIterateForks", &strPath, &strReal, &st);
  if (err != noErr) return err;
  // initialize 0 starts; priv[0] then holds the index of the next fork (0 data, 1 resource).
  SInt16 intIndex = forkIterator->initialize == 0 ? 0 : forkIterator->priv[0];
  forkIterator->initialize = 1;
  if (S_ISDIR(st.st_mode)) return errFSNoMoreItems;
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return afpObjectTypeErr;  // no bytes to copy
  UInt64 ulngLength = 0;
  if (intIndex == 0) {
    ulngLength = UInt64(st.st_size);
    if (forkName) FSGetDataForkName(forkName);
    if (forkPhysicalSize) *forkPhysicalSize = S_ISLNK(st.st_mode) ? ulngLength : UInt64(st.st_blocks) * 512;
  } else if (intIndex == 1 && !S_ISLNK(st.st_mode) && FilesMetaHasRsrcFork(strReal, &ulngLength)) {
    if (forkName) FSGetResourceForkName(forkName);
    if (forkPhysicalSize)
      *forkPhysicalSize = (ulngLength + kPhysicalBlock - 1) / kPhysicalBlock * kPhysicalBlock;
  } else {
    forkIterator->priv[0] = 2;
    return errFSNoMoreItems;
  }
  if (forkSize) *forkSize = SInt64(ulngLength);
  forkIterator->priv[0] = SInt16(intIndex + 1);
  return noErr;
}

OSErr FSCreateFork(FSRef const* ref, UniCharCount forkNameLength, UniChar const* forkName) {
  std::string strPath, strReal;
  struct stat st;
  OSErr err = FileOf(ref, "FSCreateFork", &strPath, &strReal, &st);
  if (err != noErr) return err;
  if (S_ISDIR(st.st_mode)) return notAFileErr;
  bool blnServer = FilesVolumeIsServer(FilesVolumeOfPath(strPath).intVRefNum);
  switch (KindOfFork(forkNameLength, forkName)) {
    case kForkData: return blnServer ? OSErr(errFSForkExists) : OSErr(noErr);
    case kForkResource: {
      if (FilesMetaHasRsrcFork(strReal, nullptr)) return blnServer ? OSErr(errFSForkExists) : OSErr(noErr);
      if (S_ISLNK(st.st_mode)) return permErr;
      int fd = FilesMetaOpenRsrc(strReal, true, &err);
      if (fd >= 0) close(fd);
      return err;
    }
    default: return errFSBadForkName;
  }
}

OSErr FSDeleteFork(FSRef const* ref, UniCharCount forkNameLength, UniChar const* forkName) {
  std::string strPath, strReal;
  struct stat st;
  OSErr err = FileOf(ref, "FSDeleteFork", &strPath, &strReal, &st);
  if (err != noErr) return err;
  if (S_ISDIR(st.st_mode)) return notAFileErr;
  if (FilesMetaGetLocked(strReal)) return fLckdErr;
  if (FilesHasOpenFork(strReal)) return fBsyErr;
  switch (KindOfFork(forkNameLength, forkName)) {
    case kForkData:
      if (S_ISLNK(st.st_mode)) return permErr;
      return truncate(strReal.c_str(), 0) == 0 ? OSErr(noErr) : FSStandInErrnoToOSErr(errno);
    case kForkResource: return FilesMetaDeleteRsrc(strReal);
    default: return errFSForkNotFound;
  }
}

OSErr FSOpenFork(FSRef const* ref, UniCharCount forkNameLength, UniChar const* forkName,
                 SInt8 permissions, FSIORefNum* forkRefNum) {
  if (forkRefNum == nullptr) return paramErr;
  if (permissions < fsCurPerm || permissions > fsRdWrPerm) return paramErr;
  std::string strPath, strReal;
  struct stat st;
  OSErr err = FileOf(ref, "FSOpenFork", &strPath, &strReal, &st);
  if (err != noErr) return err;
  if (S_ISDIR(st.st_mode)) return notAFileErr;
  // A FIFO or device has no fork to read or write: opening one could block or never end.
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return afpObjectTypeErr;
  enumForkKind intKind = KindOfFork(forkNameLength, forkName);
  if (intKind == kForkOther) return errFSBadForkName;
  if (permissions == fsCurPerm) permissions = fsRdPerm;
  bool const blnWrite = CanWrite(permissions);
  if (blnWrite && (S_ISLNK(st.st_mode) || FilesMetaGetLocked(strReal))) return permErr;

  stcOpenFork fork;
  fork.bytPermissions = permissions;
  fork.blnResource = intKind == kForkResource;
  fork.udtDevice = st.st_dev;
  fork.udtInode = st.st_ino;
  std::lock_guard<std::mutex> lock(g_mtxForks);
  if (blnWrite)
    for (auto const& entry : Forks())
      if (entry.second.udtDevice == st.st_dev && entry.second.udtInode == st.st_ino &&
          entry.second.blnResource == fork.blnResource && CanWrite(entry.second.bytPermissions))
        return opWrErr;
  if (S_ISLNK(st.st_mode)) {
    if (fork.blnResource) {
      fork.blnLink = true;  // a link has no resource fork: an empty one
    } else {
      std::string strText(size_t(st.st_size) + 1, '\0');
      ssize_t n = readlink(strReal.c_str(), &strText[0], strText.size());
      if (n < 0) return FSStandInErrnoToOSErr(errno);
      strText.resize(size_t(n));
      fork.blnLink = true;
      fork.strLinkText = strText;
    }
  } else if (fork.blnResource) {
    fork.intFD = FilesMetaOpenRsrc(strReal, blnWrite, &err);
    if (fork.intFD < 0) {
      if (err != fnfErr || blnWrite) return err;
      fork.blnLink = true;  // no resource fork yet: reads see an empty one
    }
  } else {
    // Non-blocking, so that an item swapped for a FIFO since the lstat cannot hold the open.
    fork.intFD = open(strReal.c_str(), (blnWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fork.intFD < 0) return FSStandInErrnoToOSErr(errno);
    struct stat stOpen;
    if (fstat(fork.intFD, &stOpen) != 0 || !S_ISREG(stOpen.st_mode) ||
        fcntl(fork.intFD, F_SETFL, fcntl(fork.intFD, F_GETFL) & ~O_NONBLOCK) != 0) {
      close(fork.intFD);
      return afpObjectTypeErr;
    }
  }
  FilesRefForPath(strPath, &fork.refFile);
  // The next free reference number.
  for (int attempt = 0; attempt < kMaxForkRefNum; ++attempt) {
    SInt16 intRefNum = g_intNextRefNum;
    g_intNextRefNum = SInt16(g_intNextRefNum >= kMaxForkRefNum ? 1 : g_intNextRefNum + 1);
    if (Forks().count(intRefNum) == 0) {
      Forks()[intRefNum] = fork;
      *forkRefNum = intRefNum;
      return noErr;
    }
  }
  if (fork.intFD >= 0) close(fork.intFD);
  return tmfoErr;
}

OSErr FSReadFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                 ByteCount requestCount, void* buffer, ByteCount* actualCount) {
  if (actualCount) *actualCount = 0;
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSReadFork", forkRefNum, &pFork);
  if (err != noErr) return err;
  if (buffer == nullptr && requestCount > 0) return paramErr;
  // A data fork read from a known position needs no length: pread stops at the file's end.
  bool const blnExtent = NeedsExtent(*pFork, positionMode);
  UInt64 ulngBase = 0, ulngLength = 0, ulngPos = 0;
  if (blnExtent) err = ForkExtent(*pFork, &ulngBase, &ulngLength);
  if (err == noErr) err = ResolvePosition(*pFork, positionMode, positionOffset, ulngLength, &ulngPos);
  if (err != noErr) return err;
  ByteCount ulngWanted = requestCount;
  if (blnExtent) ulngWanted = ulngPos >= ulngLength ? 0 : ByteCount(std::min<UInt64>(requestCount, ulngLength - ulngPos));
  ByteCount ulngDone = 0;
  if (pFork->blnLink) {
    if (ulngWanted > 0) std::memcpy(buffer, pFork->strLinkText.data() + ulngPos, ulngWanted);
    ulngDone = ulngWanted;
  }
  while (ulngDone < ulngWanted) {
    // At most 1 GiB a call: a request not cut to the length must not pass what pread accepts.
    ssize_t n = pread(pFork->intFD, static_cast<char*>(buffer) + ulngDone,
                      std::min<ByteCount>(ulngWanted - ulngDone, ByteCount(1) << 30),
                      off_t(ulngBase + ulngPos + ulngDone));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = FSStandInErrnoToOSErr(errno);
      break;
    }
    if (n == 0) break;
    ulngDone += ByteCount(n);
  }
  pFork->ulngMark = ulngPos + ulngDone;
  if (actualCount) *actualCount = ulngDone;
  if (err != noErr) return err;
  return ulngDone < requestCount ? OSErr(eofErr) : OSErr(noErr);
}

OSErr FSWriteFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                  ByteCount requestCount, void const* buffer, ByteCount* actualCount) {
  if (actualCount) *actualCount = 0;
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSWriteFork", forkRefNum, &pFork);
  if (err != noErr) return err;
  if (!CanWrite(pFork->bytPermissions)) return wrPermErr;
  if (buffer == nullptr && requestCount > 0) return paramErr;
  UInt64 ulngBase = 0, ulngLength = 0, ulngPos = 0;
  if (NeedsExtent(*pFork, positionMode)) err = ForkExtent(*pFork, &ulngBase, &ulngLength);
  if (err == noErr) err = ResolvePosition(*pFork, positionMode, positionOffset, ulngLength, &ulngPos);
  if (err != noErr) return err;
  if (pFork->blnResource && ulngPos + requestCount > 0xFFFFFFFFull) return dskFulErr;
  ByteCount ulngDone = 0;
  while (ulngDone < requestCount) {
    ssize_t n = pwrite(pFork->intFD, static_cast<char const*>(buffer) + ulngDone,
                       requestCount - ulngDone, off_t(ulngBase + ulngPos + ulngDone));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      err = n < 0 ? FSStandInErrnoToOSErr(errno) : OSErr(ioErr);
      break;
    }
    ulngDone += ByteCount(n);
  }
  if (pFork->blnResource && ulngPos + ulngDone > ulngLength) {
    OSErr errLength = FilesMetaSetRsrcLength(pFork->intFD, ulngPos + ulngDone);
    if (err == noErr) err = errLength;
  }
  pFork->ulngMark = ulngPos + ulngDone;
  if (actualCount) *actualCount = ulngDone;
  return err;
}

OSErr FSGetForkPosition(FSIORefNum forkRefNum, SInt64* position) {
  if (position == nullptr) return paramErr;
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSGetForkPosition", forkRefNum, &pFork);
  if (err == noErr) *position = SInt64(pFork->ulngMark);
  return err;
}

OSErr FSSetForkPosition(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset) {
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSSetForkPosition", forkRefNum, &pFork);
  UInt64 ulngBase = 0, ulngLength = 0, ulngPos = 0;
  if (err == noErr && NeedsExtent(*pFork, positionMode)) err = ForkExtent(*pFork, &ulngBase, &ulngLength);
  if (err == noErr) err = ResolvePosition(*pFork, positionMode, positionOffset, ulngLength, &ulngPos);
  if (err == noErr) pFork->ulngMark = ulngPos;
  return err;
}

OSErr FSGetForkSize(FSIORefNum forkRefNum, SInt64* forkSize) {
  if (forkSize == nullptr) return paramErr;
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSGetForkSize", forkRefNum, &pFork);
  UInt64 ulngBase = 0, ulngLength = 0;
  if (err == noErr) err = ForkExtent(*pFork, &ulngBase, &ulngLength);
  if (err == noErr) *forkSize = SInt64(ulngLength);
  return err;
}

OSErr FSSetForkSize(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset) {
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSSetForkSize", forkRefNum, &pFork);
  if (err != noErr) return err;
  if (!CanWrite(pFork->bytPermissions)) return wrPermErr;
  UInt64 ulngBase = 0, ulngLength = 0, ulngSize = 0;
  err = ForkExtent(*pFork, &ulngBase, &ulngLength);
  if (err == noErr) err = ResolvePosition(*pFork, positionMode, positionOffset, ulngLength, &ulngSize);
  if (err != noErr) return err;
  if (pFork->blnResource) {
    err = FilesMetaSetRsrcLength(pFork->intFD, ulngSize);
  } else if (ftruncate(pFork->intFD, off_t(ulngSize)) != 0) {
    err = FSStandInErrnoToOSErr(errno);
  }
  if (err == noErr && pFork->ulngMark > ulngSize) pFork->ulngMark = ulngSize;
  return err;
}

OSErr FSAllocateFork(FSIORefNum forkRefNum, FSAllocationFlags flags, UInt16 positionMode,
                     SInt64 positionOffset, UInt64 requestCount, UInt64* actualCount) {
  (void)flags;  // contiguity and rounding are the file system's business
  if (actualCount) *actualCount = 0;
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSAllocateFork", forkRefNum, &pFork);
  if (err != noErr) return err;
  if (!CanWrite(pFork->bytPermissions)) return wrPermErr;
  UInt64 ulngBase = 0, ulngLength = 0, ulngPos = 0;
  err = ForkExtent(*pFork, &ulngBase, &ulngLength);
  if (err == noErr) err = ResolvePosition(*pFork, positionMode, positionOffset, ulngLength, &ulngPos);
  if (err != noErr) return err;
  if (requestCount > 0 &&
      fallocate(pFork->intFD, FALLOC_FL_KEEP_SIZE, off_t(ulngBase + ulngPos), off_t(requestCount)) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS)
    return FSStandInErrnoToOSErr(errno);
  if (actualCount) *actualCount = requestCount;
  return noErr;
}

OSErr FSFlushFork(FSIORefNum forkRefNum) {
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSFlushFork", forkRefNum, &pFork);
  if (err == noErr && pFork->intFD >= 0 && fsync(pFork->intFD) != 0) err = FSStandInErrnoToOSErr(errno);
  return err;
}

OSErr FSGetForkCBInfo(FSIORefNum desiredRefNum, FSVolumeRefNum volume, SInt16* iterator,
                      FSIORefNum* actualRefNum, FSForkInfo* forkInfo, FSRef* ref,
                      HFSUniStr255* outForkName) {
  (void)volume;
  (void)iterator;
  if (desiredRefNum == 0) return paramErr;
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSGetForkCBInfo", desiredRefNum, &pFork);
  if (err != noErr) return err;
  if (actualRefNum) *actualRefNum = desiredRefNum;
  if (ref) *ref = pFork->refFile;
  if (outForkName) {
    if (pFork->blnResource) FSGetResourceForkName(outForkName);
    else FSGetDataForkName(outForkName);
  }
  if (forkInfo) {
    UInt64 ulngBase = 0, ulngLength = 0;
    err = ForkExtent(*pFork, &ulngBase, &ulngLength);
    if (err != noErr) return err;
    std::string strPath;
    FSStandInRefGetPath(&pFork->refFile, &strPath);
    stcFilesVolume vol = FilesVolumeOfPath(strPath);
    std::memset(forkInfo, 0, sizeof(*forkInfo));
    forkInfo->permissions = pFork->bytPermissions;
    forkInfo->volume = vol.intVRefNum;
    forkInfo->nodeID = FilesNodeIDOfPath(strPath, vol);
    forkInfo->forkID = pFork->blnResource ? 1 : 0;
    forkInfo->currentPosition = pFork->ulngMark;
    forkInfo->logicalEOF = ulngLength;
    forkInfo->physicalEOF = (ulngLength + kPhysicalBlock - 1) / kPhysicalBlock * kPhysicalBlock;
  }
  return noErr;
}

OSErr FSCloseFork(FSIORefNum forkRefNum) {
  std::lock_guard<std::mutex> lock(g_mtxForks);
  stcOpenFork* pFork = nullptr;
  OSErr err = FindFork("FSCloseFork", forkRefNum, &pFork);
  if (err != noErr) return err;
  if (pFork->intFD >= 0 && close(pFork->intFD) != 0) err = FSStandInErrnoToOSErr(errno);
  Forks().erase(forkRefNum);
  return err;
}
