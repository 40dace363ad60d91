// FilesCatalog: the File Manager stand-in's catalogue over the Linux file system: catalog
// information (get, set, bulk through flat iterators), creating files and folders, deleting,
// renaming and moving items, and the FSSpec Finder-information calls.
// An item is what lstat sees: a symbolic link is an item of its own (a file of type 'slnk',
// creator 'rhap'), never followed by iteration or deletion. Sidecars ("._name" files with the
// AppleDouble header) are never items; they are renamed, moved and deleted with their item. A
// "._" file without that header is an ordinary item, counted, listed and kept as any other. Metadata Linux has no place for
// (creation date, Finder information, locked flag) comes from FilesMeta.cpp; a creation date
// never stored is the birth time (statx) where the file system keeps one.
// Relies on POSIX and Linux (statx, renameat2) and Files.cpp's table. Errors are OSErr codes;
// every public call passes the test hooks first (FilesCheckCall).
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesShared.h"
#include "platform/carbon/FilesStandIn.h"

namespace {

constexpr off_t kMaxLinkText = 4095;
constexpr UInt64 kPhysicalBlock = 4096;
constexpr int64_t kSeconds1904To1970 = 2082844800LL;

UTCDateTime UTCFromTimespec(struct timespec const& ts) {
  UTCDateTime udt;
  int64_t intSeconds = int64_t(ts.tv_sec) + kSeconds1904To1970;
  if (intSeconds < 0) intSeconds = 0;
  udt.highSeconds = UInt16(uint64_t(intSeconds) >> 32);
  udt.lowSeconds = UInt32(uint64_t(intSeconds));
  udt.fraction = UInt16((uint64_t(ts.tv_nsec) << 16) / 1000000000ULL);
  return udt;
}

struct timespec TimespecFromUTC(UTCDateTime const& udt) {
  int64_t intSeconds = int64_t((uint64_t(udt.highSeconds) << 32) | udt.lowSeconds) - kSeconds1904To1970;
  struct timespec ts;
  ts.tv_sec = time_t(intSeconds);
  // Rounded up, so that reading the time back gives the same fraction (truncating both ways
  // would lose one 1/65536 s step and make a later date read as the earlier one).
  ts.tv_nsec = long(((uint64_t(udt.fraction) * 1000000000ULL) + 0xFFFF) >> 16);
  return ts;
}

// The Finder information's fields, as byte widths: the catalogue keeps them big-endian, the
// FSCatalogInfo record in the machine's order.
constexpr int kFileInfoFields[] = {4, 4, 2, 2, 2, 2};
constexpr int kFolderInfoFields[] = {2, 2, 2, 2, 2, 2, 2, 2};
constexpr int kExtFileInfoFields[] = {2, 2, 2, 2, 2, 2, 4};
constexpr int kExtFolderInfoFields[] = {2, 2, 4, 2, 2, 4};

template <size_t N>
void SwapFields(UInt8 const* in, UInt8* out, int const (&widths)[N], bool toBigEndian) {
  size_t pos = 0;
  for (int width : widths) {
    if (width == 4) {
      UInt32 value;
      if (toBigEndian) {
        std::memcpy(&value, in + pos, 4);
        out[pos] = UInt8(value >> 24), out[pos + 1] = UInt8(value >> 16);
        out[pos + 2] = UInt8(value >> 8), out[pos + 3] = UInt8(value);
      } else {
        value = (UInt32(in[pos]) << 24) | (UInt32(in[pos + 1]) << 16) | (UInt32(in[pos + 2]) << 8) |
                UInt32(in[pos + 3]);
        std::memcpy(out + pos, &value, 4);
      }
    } else {
      UInt16 value;
      if (toBigEndian) {
        std::memcpy(&value, in + pos, 2);
        out[pos] = UInt8(value >> 8), out[pos + 1] = UInt8(value);
      } else {
        value = UInt16((in[pos] << 8) | in[pos + 1]);
        std::memcpy(out + pos, &value, 2);
      }
    }
    pos += size_t(width);
  }
}

void FinderInfoToNative(UInt8 const stored[32], bool isFolder, UInt8 finderInfo[16], UInt8 ext[16]) {
  if (isFolder) {
    SwapFields(stored, finderInfo, kFolderInfoFields, false);
    SwapFields(stored + 16, ext, kExtFolderInfoFields, false);
  } else {
    SwapFields(stored, finderInfo, kFileInfoFields, false);
    SwapFields(stored + 16, ext, kExtFileInfoFields, false);
  }
}

void FinderInfoToStored(UInt8 const finderInfo[16], UInt8 const ext[16], bool isFolder, UInt8 stored[32],
                        bool setMain, bool setExt) {
  if (setMain) {
    if (isFolder) SwapFields(finderInfo, stored, kFolderInfoFields, true);
    else SwapFields(finderInfo, stored, kFileInfoFields, true);
  }
  if (setExt) {
    if (isFolder) SwapFields(ext, stored + 16, kExtFolderInfoFields, true);
    else SwapFields(ext, stored + 16, kExtFileInfoFields, true);
  }
}

// The number of items in a folder (sidecars are not items); false when it cannot be read.
bool CountItems(std::string const& realFolder, UInt32* count) {
  DIR* dir = opendir(realFolder.c_str());
  if (dir == nullptr) return false;
  UInt32 ulngCount = 0;
  while (struct dirent* ent = readdir(dir)) {
    if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) continue;
    if (!FilesIsOwnSidecar(realFolder + "/" + ent->d_name)) ++ulngCount;
  }
  closedir(dir);
  *count = ulngCount;
  return true;
}

// The creation date: the stored one, else the birth time, else the older of the two times
// Linux always keeps.
UTCDateTime CreateDateOf(std::string const& realPath, struct stat const& st) {
  UTCDateTime udt;
  if (FilesMetaGetCreateDate(realPath, &udt)) return udt;
  struct statx stx;
  if (statx(AT_FDCWD, realPath.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &stx) == 0 &&
      (stx.stx_mask & STATX_BTIME)) {
    struct timespec ts;
    ts.tv_sec = time_t(stx.stx_btime.tv_sec);
    ts.tv_nsec = long(stx.stx_btime.tv_nsec);
    return UTCFromTimespec(ts);
  }
  return UTCFromTimespec(st.st_mtim.tv_sec < st.st_ctim.tv_sec ? st.st_mtim : st.st_ctim);
}

// rename(2) that never replaces an existing item.
int RenameNoReplace(std::string const& from, std::string const& to) {
#ifdef SYS_renameat2
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return rename(from.c_str(), to.c_str());
}

bool Exists(std::string const& realPath) {
  struct stat st;
  return lstat(realPath.c_str(), &st) == 0;
}

// The real path of an item's sidecar when there is one (a "._" file that is no sidecar is an
// item of its own and never goes with it); empty otherwise.
std::string OwnSidecarOf(std::string const& virtualPath) {
  std::string strSide = FSStandInRealPath(FilesSidecarPath(virtualPath));
  return FilesIsOwnSidecar(strSide) ? strSide : std::string();
}

// Moves an item and its sidecar from one virtual path to another; the sidecar's failure undoes
// the item's move (also when an ordinary "._" file holds the sidecar's name there). References
// follow.
OSErr MoveItem(std::string const& fromPath, std::string const& toPath) {
  std::string strFrom = FSStandInRealPath(fromPath), strTo = FSStandInRealPath(toPath);
  std::string strFromSide = OwnSidecarOf(fromPath);
  std::string strToSide = FSStandInRealPath(FilesSidecarPath(toPath));
  if (RenameNoReplace(strFrom, strTo) != 0) return FSStandInErrnoToOSErr(errno);
  if (!strFromSide.empty()) {
    if (FilesIsOwnSidecar(strToSide)) unlink(strToSide.c_str());  // an orphan: its item is gone
    if (RenameNoReplace(strFromSide, strToSide) != 0) {
      int intError = errno;
      rename(strTo.c_str(), strFrom.c_str());
      return FSStandInErrnoToOSErr(intError);
    }
  }
  FSStandInNoteMoved(fromPath, toPath);
  return noErr;
}

// Turns a regular file into a symbolic link to the text of its data fork (how a copied link
// becomes a link again: its permissions carry the link kind, which only lstat of a link gives).
OSErr MakeSymbolicLink(std::string const& realPath, struct stat const& st) {
  if (!S_ISREG(st.st_mode) || st.st_size == 0 || st.st_size > kMaxLinkText) return noErr;
  std::string strTarget(size_t(st.st_size), '\0');
  int fd = open(realPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return FSStandInErrnoToOSErr(errno);
  ssize_t n = pread(fd, &strTarget[0], strTarget.size(), 0);
  close(fd);
  if (n != ssize_t(strTarget.size()) || strTarget.find('\0') != std::string::npos) return noErr;
  std::string strTemp = realPath.substr(0, realPath.rfind('/') + 1) + "._velmora-link-" +
                        std::to_string(getpid()) + "-" + std::to_string(st.st_ino);
  unlink(strTemp.c_str());
  if (symlink(strTarget.c_str(), strTemp.c_str()) != 0) return FSStandInErrnoToOSErr(errno);
  if (rename(strTemp.c_str(), realPath.c_str()) != 0) {
    int intError = errno;
    unlink(strTemp.c_str());
    return FSStandInErrnoToOSErr(intError);
  }
  return noErr;
}

OSErr SetCatalogInfoOfPath(std::string const& virtualPath, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo const* info) {
  if (whichInfo & ~FSCatalogInfoBitmap(kFSCatInfoSettableInfo)) return errFSBadInfoBitmap;
  if (whichInfo == kFSCatInfoNone) return noErr;
  if (info == nullptr) return paramErr;
  std::string strReal = FSStandInRealPath(virtualPath);
  struct stat st;
  if (lstat(strReal.c_str(), &st) != 0) return FSStandInErrnoToOSErr(errno);
  bool const blnLink = S_ISLNK(st.st_mode), blnDir = S_ISDIR(st.st_mode);
  FilesTestBeforeChange(strReal);
  OSErr err = noErr;
  // Nothing below follows a link: the item may have been swapped for one since the lstat.
  if (whichInfo & kFSCatInfoPermissions) {
    if (S_ISREG(st.st_mode) && (info->permissions[2] & S_IFMT) == S_IFLNK)
      return MakeSymbolicLink(strReal, st);
    uid_t uid = uid_t(info->permissions[0]);
    gid_t gid = gid_t(info->permissions[1]);
    // Another owner is for the privileged only; without the privilege it is left as it is.
    if ((uid != st.st_uid || gid != st.st_gid) &&
        lchown(strReal.c_str(), uid, gid) != 0 && errno != EPERM)
      return FSStandInErrnoToOSErr(errno);
    if (!blnLink &&
        fchmodat(AT_FDCWD, strReal.c_str(), mode_t(info->permissions[2] & 07777), AT_SYMLINK_NOFOLLOW) != 0)
      return FSStandInErrnoToOSErr(errno);
  }
  if (whichInfo & (kFSCatInfoContentMod | kFSCatInfoAccessDate)) {
    struct timespec times[2];
    times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
    if (whichInfo & kFSCatInfoAccessDate) times[0] = TimespecFromUTC(info->accessDate);
    if (whichInfo & kFSCatInfoContentMod) times[1] = TimespecFromUTC(info->contentModDate);
    if (utimensat(AT_FDCWD, strReal.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
      return FSStandInErrnoToOSErr(errno);
  }
  if (whichInfo & kFSCatInfoCreateDate) {
    err = FilesMetaSetCreateDate(strReal, info->createDate);
    if (err != noErr) return err;
  }
  if (whichInfo & kFSCatInfoNodeFlags) {
    err = FilesMetaSetLocked(strReal, (info->nodeFlags & kFSNodeLockedMask) != 0);
    if (err != noErr) return err;
  }
  if ((whichInfo & (kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo)) && !blnLink) {
    UInt8 stored[32];
    FilesMetaGetFinderInfo(strReal, stored);
    FinderInfoToStored(info->finderInfo, info->extFinderInfo, blnDir, stored,
                       (whichInfo & kFSCatInfoFinderInfo) != 0, (whichInfo & kFSCatInfoFinderXInfo) != 0);
    err = FilesMetaSetFinderInfo(strReal, stored);
  }
  return err;
}

// The live path of a folder reference; dirNFErr when it is no folder.
OSErr FolderPathOf(FSRef const* ref, std::string* path) {
  OSErr err = FilesRefGetLivePath(ref, path);
  if (err != noErr) return err;
  struct stat st;
  if (lstat(FSStandInRealPath(*path).c_str(), &st) != 0) return FSStandInErrnoToOSErr(errno);
  return S_ISDIR(st.st_mode) ? OSErr(noErr) : OSErr(dirNFErr);
}

bool IsVolumeRoot(std::string const& path) { return FilesVolumeOfPath(path).strRoot == path; }

// ---------------------------------------------------------------------------------------------
// Iterators
// ---------------------------------------------------------------------------------------------

struct stcIterator {
  std::string strFolder;
  std::vector<std::string> vecNames;  // on disk, in name order
  size_t intNext = 0;
  bool blnChanged = false;
};

std::mutex g_mtxIterators;
std::set<stcIterator*>& Iterators() {
  static std::set<stcIterator*>* s_pIterators = new std::set<stcIterator*>();
  return *s_pIterators;
}

bool IsIterator(FSIterator iterator) {
  std::lock_guard<std::mutex> lock(g_mtxIterators);
  return Iterators().count(reinterpret_cast<stcIterator*>(iterator)) != 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Catalog information
// ---------------------------------------------------------------------------------------------

OSErr FilesGetCatalogInfoOfPath(std::string const& strPath, FSCatalogInfoBitmap whichInfo,
                                FSCatalogInfo* catalogInfo, HFSUniStr255* outName, FSSpec* fsSpec,
                                FSRef* parentRef) {
  std::string strReal = FSStandInRealPath(strPath);
  struct stat st;
  if (lstat(strReal.c_str(), &st) != 0) return FSStandInErrnoToOSErr(errno);
  bool const blnDir = S_ISDIR(st.st_mode), blnLink = S_ISLNK(st.st_mode);
  stcFilesVolume vol = FilesVolumeOfPath(strPath);
  bool blnRoot = strPath == vol.strRoot;
  std::string strParent = blnRoot ? std::string() : FilesParentOf(strPath);
  std::string strHFSName = blnRoot ? vol.strName : FSStandInDiskNameToHFS(FilesLeafOf(strPath));
  UInt32 ulngParentID = blnRoot ? UInt32(fsRtParID) : FilesNodeIDOfPath(strParent, vol);

  if (fsSpec) {
    fsSpec->vRefNum = vol.intVRefNum;
    fsSpec->parID = SInt32(ulngParentID);
    if (!FilesToStr63(strHFSName, fsSpec->name)) return bdNamErr;
  }
  if (catalogInfo) {
    FSCatalogInfo& info = *catalogInfo;
    if (whichInfo & kFSCatInfoNodeFlags) {
      info.nodeFlags = blnDir ? kFSNodeIsDirectoryMask : 0;
      if (FilesMetaGetLocked(strReal)) info.nodeFlags |= kFSNodeLockedMask;
    }
    if (whichInfo & kFSCatInfoVolume) info.volume = vol.intVRefNum;
    if (whichInfo & kFSCatInfoParentDirID) info.parentDirID = ulngParentID;
    if (whichInfo & kFSCatInfoNodeID) info.nodeID = FilesNodeIDOfPath(strPath, vol);
    if (whichInfo & kFSCatInfoTextEncoding) info.textEncodingHint = kTextEncodingUnknown;
    if (whichInfo & kFSCatInfoCreateDate) info.createDate = CreateDateOf(strReal, st);
    if (whichInfo & kFSCatInfoContentMod) info.contentModDate = UTCFromTimespec(st.st_mtim);
    if (whichInfo & kFSCatInfoAttrMod) info.attributeModDate = UTCFromTimespec(st.st_ctim);
    if (whichInfo & kFSCatInfoAccessDate) info.accessDate = UTCFromTimespec(st.st_atim);
    if (whichInfo & kFSCatInfoBackupDate) info.backupDate = UTCDateTime{0, 0, 0};
    if (whichInfo & kFSCatInfoPermissions) {
      info.permissions[0] = UInt32(st.st_uid);
      info.permissions[1] = UInt32(st.st_gid);
      info.permissions[2] = UInt32(st.st_mode);  // the kind of item (S_IFMT) with the rights
      info.permissions[3] = 0;
    }
    if (whichInfo & (kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo)) {
      UInt8 stored[32];
      FilesMetaGetFinderInfo(strReal, stored);
      if (blnLink) {
        UInt8 const chrLink[8] = {'s', 'l', 'n', 'k', 'r', 'h', 'a', 'p'};
        std::memcpy(stored, chrLink, 8);
      }
      UInt8 finderInfo[16], ext[16];
      FinderInfoToNative(stored, blnDir, finderInfo, ext);
      if (whichInfo & kFSCatInfoFinderInfo) std::memcpy(info.finderInfo, finderInfo, 16);
      if (whichInfo & kFSCatInfoFinderXInfo) std::memcpy(info.extFinderInfo, ext, 16);
    }
    if (whichInfo & kFSCatInfoDataSizes) {
      info.dataLogicalSize = blnDir ? 0 : UInt64(st.st_size);
      info.dataPhysicalSize = blnDir ? 0 : UInt64(st.st_blocks) * 512;
    }
    if (whichInfo & kFSCatInfoRsrcSizes) {
      UInt64 ulngLength = 0;
      if (blnDir || !FilesMetaHasRsrcFork(strReal, &ulngLength)) ulngLength = 0;
      info.rsrcLogicalSize = ulngLength;
      info.rsrcPhysicalSize = (ulngLength + kPhysicalBlock - 1) / kPhysicalBlock * kPhysicalBlock;
    }
    if (whichInfo & kFSCatInfoSharingFlags) info.sharingFlags = 0;
    if (whichInfo & kFSCatInfoUserPrivs) info.userPrivileges = 0;
    if (whichInfo & kFSCatInfoValence) {
      UInt32 ulngCount = 0;
      if (blnDir && !CountItems(strReal, &ulngCount)) ulngCount = 0;
      info.valence = ulngCount;
    }
  }
  if (outName) FilesToHFSUniStr255(strHFSName, outName);
  if (parentRef) {
    if (blnRoot) std::memset(parentRef->hidden, 0, sizeof(parentRef->hidden));
    else FilesRefForPath(strParent, parentRef);
  }
  return noErr;
}

OSErr FilesGetCatalogInfo(FSRef const* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                          HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef) {
  std::string strPath;
  OSErr err = FilesRefGetLivePath(ref, &strPath);
  if (err != noErr) return err;
  return FilesGetCatalogInfoOfPath(strPath, whichInfo, catalogInfo, outName, fsSpec, parentRef);
}

OSErr FSGetCatalogInfo(FSRef const* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef) {
  std::string strPath;
  OSErr err = FilesRefGetLivePath(ref, &strPath);
  if (err == noErr) err = FilesCheckCall("FSGetCatalogInfo", strPath);
  if (err != noErr) return err;
  return FilesGetCatalogInfoOfPath(strPath, whichInfo, catalogInfo, outName, fsSpec, parentRef);
}

OSErr PBGetCatalogInfoSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  OSErr err = FSGetCatalogInfo(paramBlock->ref, paramBlock->whichInfo, paramBlock->catInfo,
                               paramBlock->outName, paramBlock->spec, paramBlock->parentRef);
  paramBlock->ioResult = err;
  return err;
}

OSErr FSSetCatalogInfo(FSRef const* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo const* catalogInfo) {
  std::string strPath;
  OSErr err = FilesRefGetLivePath(ref, &strPath);
  if (err == noErr) err = FilesCheckCall("FSSetCatalogInfo", strPath);
  if (err != noErr) return err;
  return SetCatalogInfoOfPath(strPath, whichInfo, catalogInfo);
}

OSErr PBSetCatalogInfoSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  OSErr err = FSSetCatalogInfo(paramBlock->ref, paramBlock->whichInfo, paramBlock->catInfo);
  paramBlock->ioResult = err;
  return err;
}

// ---------------------------------------------------------------------------------------------
// Creating
// ---------------------------------------------------------------------------------------------

namespace {

OSErr CreateItem(char const* call, bool folder, FSRef const* parentRef, UniCharCount nameLength,
                 UniChar const* name, FSCatalogInfoBitmap whichInfo, FSCatalogInfo const* catalogInfo,
                 FSRef* newRef, FSSpec* newSpec, UInt32* newDirID) {
  if (whichInfo & ~FSCatalogInfoBitmap(kFSCatInfoSettableInfo)) return errFSBadInfoBitmap;
  std::string strParent, strName;
  OSErr err = FolderPathOf(parentRef, &strParent);
  if (err != noErr) return err;
  err = FilesNewDiskName(nameLength, name, &strName);
  if (err != noErr) return err;
  std::string strPath = FilesChildOf(strParent, strName);
  err = FilesCheckCall(call, strPath);
  if (err != noErr) return err;
  std::string strReal = FSStandInRealPath(strPath);
  if (!Exists(strReal)) {
    std::string const strOrphan = OwnSidecarOf(strPath);  // its item is gone
    if (!strOrphan.empty()) unlink(strOrphan.c_str());
  }
  // Asked-for permissions hold from the first moment: a private item is never open to others.
  mode_t const mode = (whichInfo & kFSCatInfoPermissions) && catalogInfo
                          ? mode_t(catalogInfo->permissions[2] & 0777)
                          : mode_t(folder ? 0777 : 0666);
  if (folder) {
    if (mkdir(strReal.c_str(), mode) != 0) return FSStandInErrnoToOSErr(errno);
  } else {
    int fd = open(strReal.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) return FSStandInErrnoToOSErr(errno);
    close(fd);
  }
  FSStandInNoteRemoved(strPath);  // references to an earlier item of this name stay dead
  // The new item is a file or a folder whatever kind the permissions name.
  FSCatalogInfo info;
  if (catalogInfo) {
    info = *catalogInfo;
    info.permissions[2] &= ~UInt32(S_IFMT);
  }
  err = SetCatalogInfoOfPath(strPath, whichInfo, catalogInfo ? &info : nullptr);
  if (err == noErr && (newSpec || newDirID)) {
    err = FilesGetCatalogInfoOfPath(strPath, kFSCatInfoNodeID, &info, nullptr, newSpec, nullptr);
    if (err == noErr && newDirID) *newDirID = info.nodeID;
  }
  if (err != noErr) {  // the item is made whole or not at all
    if (folder) rmdir(strReal.c_str());
    else unlink(strReal.c_str());
    std::string const strSide = OwnSidecarOf(strPath);
    if (!strSide.empty()) unlink(strSide.c_str());
    return err;
  }
  if (newRef) FilesRefForPath(strPath, newRef);
  return noErr;
}

}  // namespace

OSErr FSCreateFileUnicode(FSRef const* parentRef, UniCharCount nameLength, UniChar const* name,
                          FSCatalogInfoBitmap whichInfo, FSCatalogInfo const* catalogInfo,
                          FSRef* newRef, FSSpec* newSpec) {
  return CreateItem("FSCreateFileUnicode", false, parentRef, nameLength, name, whichInfo,
                    catalogInfo, newRef, newSpec, nullptr);
}

OSErr FSCreateDirectoryUnicode(FSRef const* parentRef, UniCharCount nameLength, UniChar const* name,
                               FSCatalogInfoBitmap whichInfo, FSCatalogInfo const* catalogInfo,
                               FSRef* newRef, FSSpec* newSpec, UInt32* newDirID) {
  return CreateItem("FSCreateDirectoryUnicode", true, parentRef, nameLength, name, whichInfo,
                    catalogInfo, newRef, newSpec, newDirID);
}

OSErr PBCreateFileUnicodeSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  OSErr err = FSCreateFileUnicode(paramBlock->ref, paramBlock->nameLength, paramBlock->name,
                                  paramBlock->whichInfo, paramBlock->catInfo, paramBlock->newRef,
                                  paramBlock->spec);
  paramBlock->ioResult = err;
  return err;
}

OSErr PBCreateDirectoryUnicodeSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  UInt32 ulngDirID = 0;
  OSErr err = FSCreateDirectoryUnicode(paramBlock->ref, paramBlock->nameLength, paramBlock->name,
                                       paramBlock->whichInfo, paramBlock->catInfo,
                                       paramBlock->newRef, paramBlock->spec, &ulngDirID);
  if (err == noErr) paramBlock->ioDirID = SInt32(ulngDirID);
  paramBlock->ioResult = err;
  return err;
}

// ---------------------------------------------------------------------------------------------
// Deleting, renaming, moving
// ---------------------------------------------------------------------------------------------

OSErr FSDeleteObject(FSRef const* ref) {
  std::string strPath;
  OSErr err = FilesRefGetLivePath(ref, &strPath);
  if (err == noErr) err = FilesCheckCall("FSDeleteObject", strPath);
  if (err != noErr) return err;
  if (IsVolumeRoot(strPath)) return paramErr;
  std::string strReal = FSStandInRealPath(strPath);
  struct stat st;
  if (lstat(strReal.c_str(), &st) != 0) return FSStandInErrnoToOSErr(errno);
  if (FilesMetaGetLocked(strReal)) return fLckdErr;
  if (S_ISDIR(st.st_mode)) {
    UInt32 ulngItems = 0;
    if (!CountItems(strReal, &ulngItems)) return FSStandInErrnoToOSErr(errno);
    if (ulngItems > 0) return fBsyErr;
    // Only sidecars are left (of items deleted behind the stand-in's back): they go with it.
    if (DIR* dir = opendir(strReal.c_str())) {
      while (struct dirent* ent = readdir(dir))
        if (FilesIsOwnSidecar(strReal + "/" + ent->d_name)) unlinkat(dirfd(dir), ent->d_name, 0);
      closedir(dir);
    }
    if (rmdir(strReal.c_str()) != 0) return FSStandInErrnoToOSErr(errno);
  } else {
    if (!S_ISLNK(st.st_mode) && FilesHasOpenFork(strReal)) return fBsyErr;
    if (unlink(strReal.c_str()) != 0) return FSStandInErrnoToOSErr(errno);
  }
  std::string const strSide = OwnSidecarOf(strPath);
  if (!strSide.empty()) unlink(strSide.c_str());
  FSStandInNoteRemoved(strPath);
  return noErr;
}

OSErr PBDeleteObjectSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  OSErr err = FSDeleteObject(paramBlock->ref);
  paramBlock->ioResult = err;
  return err;
}

OSErr FSRenameUnicode(FSRef const* ref, UniCharCount nameLength, UniChar const* name,
                      TextEncoding textEncodingHint, FSRef* newRef) {
  (void)textEncodingHint;  // names are Unicode throughout
  std::string strPath, strName;
  OSErr err = FilesRefGetLivePath(ref, &strPath);
  if (err == noErr) err = FilesCheckCall("FSRenameUnicode", strPath);
  if (err == noErr) err = FilesNewDiskName(nameLength, name, &strName);
  if (err != noErr) return err;
  if (IsVolumeRoot(strPath)) return paramErr;
  std::string strReal = FSStandInRealPath(strPath);
  if (!Exists(strReal)) return FSStandInErrnoToOSErr(errno);
  if (FilesMetaGetLocked(strReal)) return fLckdErr;
  std::string strNew = FilesChildOf(FilesParentOf(strPath), strName);
  if (strNew != strPath) {
    err = MoveItem(strPath, strNew);
    if (err != noErr) return err;
  }
  if (newRef) FilesRefForPath(strNew, newRef);
  return noErr;
}

OSErr PBRenameUnicodeSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  OSErr err = FSRenameUnicode(paramBlock->ref, paramBlock->nameLength, paramBlock->name,
                              paramBlock->textEncodingHint, paramBlock->newRef);
  paramBlock->ioResult = err;
  return err;
}

OSErr FSMoveObject(FSRef const* ref, FSRef const* destDirectory, FSRef* newRef) {
  std::string strPath, strDest;
  OSErr err = FilesRefGetLivePath(ref, &strPath);
  if (err == noErr) err = FilesCheckCall("FSMoveObject", strPath);
  if (err != noErr) return err;
  err = FolderPathOf(destDirectory, &strDest);
  if (err == dirNFErr) return errFSNotAFolder;
  if (err != noErr) return err;
  if (FilesVolumeOfPath(strPath).intVRefNum != FilesVolumeOfPath(strDest).intVRefNum)
    return diffVolErr;
  if (IsVolumeRoot(strPath)) return paramErr;
  if (strDest == strPath || strDest.compare(0, strPath.size() + 1, strPath + "/") == 0)
    return badMovErr;
  std::string strReal = FSStandInRealPath(strPath);
  if (!Exists(strReal)) return FSStandInErrnoToOSErr(errno);
  if (FilesMetaGetLocked(strReal)) return fLckdErr;
  std::string strNew = FilesChildOf(strDest, FilesLeafOf(strPath));
  if (strNew != strPath) {
    err = MoveItem(strPath, strNew);
    if (err != noErr) return err;
  }
  if (newRef) FilesRefForPath(strNew, newRef);
  return noErr;
}

OSErr PBMoveObjectSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  OSErr err = FSMoveObject(paramBlock->ref, paramBlock->parentRef, paramBlock->newRef);
  paramBlock->ioResult = err;
  return err;
}

// ---------------------------------------------------------------------------------------------
// Iteration
// ---------------------------------------------------------------------------------------------

OSErr FSOpenIterator(FSRef const* container, FSIteratorFlags iteratorFlags, FSIterator* iterator) {
  if (iterator == nullptr) return paramErr;
  *iterator = nullptr;
  if (iteratorFlags & ~FSIteratorFlags(kFSIterateSubtree | kFSIterateDelete)) return errFSBadIteratorFlags;
  if (iteratorFlags & kFSIterateSubtree) return errFSIteratorNotSupported;
  std::string strFolder;
  OSErr err = FilesRefGetLivePath(container, &strFolder);
  if (err == noErr) err = FilesCheckCall("FSOpenIterator", strFolder);
  if (err == noErr) err = FolderPathOf(container, &strFolder);
  if (err == dirNFErr) return errFSNotAFolder;
  if (err != noErr) return err;
  stcIterator* pIterator = new stcIterator();
  pIterator->strFolder = strFolder;
  DIR* dir = opendir(FSStandInRealPath(strFolder).c_str());
  if (dir == nullptr) {
    err = FSStandInErrnoToOSErr(errno);
    delete pIterator;
    return err;
  }
  while (struct dirent* ent = readdir(dir)) {
    std::string strName = ent->d_name;
    if (strName == "." || strName == ".." || FilesIsOwnSidecar(FSStandInRealPath(FilesChildOf(strFolder, strName))))
      continue;
    pIterator->vecNames.push_back(strName);
  }
  closedir(dir);
  std::sort(pIterator->vecNames.begin(), pIterator->vecNames.end());
  std::lock_guard<std::mutex> lock(g_mtxIterators);
  Iterators().insert(pIterator);
  *iterator = reinterpret_cast<FSIterator>(pIterator);
  return noErr;
}

OSErr FSCloseIterator(FSIterator iterator) {
  stcIterator* pIterator = reinterpret_cast<stcIterator*>(iterator);
  {
    std::lock_guard<std::mutex> lock(g_mtxIterators);
    if (Iterators().erase(pIterator) == 0) return errFSIteratorNotFound;
  }
  delete pIterator;
  return noErr;
}

OSErr FSGetCatalogInfoBulk(FSIterator iterator, ItemCount maximumObjects, ItemCount* actualObjects,
                           Boolean* containerChanged, FSCatalogInfoBitmap whichInfo,
                           FSCatalogInfo* catalogInfos, FSRef* refs, FSSpec* specs,
                           HFSUniStr255* names) {
  if (actualObjects == nullptr) return paramErr;
  *actualObjects = 0;
  if (containerChanged) *containerChanged = FALSE;
  if (!IsIterator(iterator)) return errFSIteratorNotFound;
  if (maximumObjects == 0) return errFSBadItemCount;
  if (whichInfo & kFSCatInfoReserved) return errFSBadInfoBitmap;
  stcIterator& it = *reinterpret_cast<stcIterator*>(iterator);
  OSErr err = FilesCheckCall("FSGetCatalogInfoBulk", it.strFolder);
  if (err != noErr) return err;
  ItemCount count = 0;
  while (count < maximumObjects && it.intNext < it.vecNames.size()) {
    std::string strPath = FilesChildOf(it.strFolder, it.vecNames[it.intNext]);
    err = FilesGetCatalogInfoOfPath(strPath, whichInfo, catalogInfos ? &catalogInfos[count] : nullptr,
                                    names ? &names[count] : nullptr, specs ? &specs[count] : nullptr,
                                    nullptr);
    if (err == fnfErr) {  // gone since the iterator was opened
      it.blnChanged = true;
      ++it.intNext;
      continue;
    }
    if (err != noErr) break;
    if (refs) FilesRefForPath(strPath, &refs[count]);
    ++it.intNext;
    ++count;
  }
  *actualObjects = count;
  if (containerChanged) *containerChanged = it.blnChanged ? TRUE : FALSE;
  if (err != noErr && err != fnfErr) return err;
  // The end is told only by a call that could not fill its request.
  return count < maximumObjects ? OSErr(errFSNoMoreItems) : OSErr(noErr);
}

// ---------------------------------------------------------------------------------------------
// FSSpec Finder information
// ---------------------------------------------------------------------------------------------

namespace {

OSErr FilePathOfSpec(FSSpec const* spec, std::string* path) {
  if (spec == nullptr) return paramErr;
  OSErr err = FilesPathOfSpec(spec->vRefNum, spec->parID, spec->name, path);
  if (err != noErr) return err;
  struct stat st;
  if (lstat(FSStandInRealPath(*path).c_str(), &st) != 0) return FSStandInErrnoToOSErr(errno);
  return S_ISDIR(st.st_mode) ? OSErr(notAFileErr) : OSErr(noErr);
}

}  // namespace

OSErr FSpGetFInfo(FSSpec const* spec, FInfo* fndrInfo) {
  if (fndrInfo == nullptr) return paramErr;
  std::string strPath;
  OSErr err = FilePathOfSpec(spec, &strPath);
  if (err == noErr) err = FilesCheckCall("FSpGetFInfo", strPath);
  if (err != noErr) return err;
  FSCatalogInfo info;
  err = FilesGetCatalogInfoOfPath(strPath, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr);
  if (err == noErr) std::memcpy(fndrInfo, info.finderInfo, sizeof(FInfo));
  return err;
}

OSErr FSpSetFInfo(FSSpec const* spec, FInfo const* fndrInfo) {
  if (fndrInfo == nullptr) return paramErr;
  std::string strPath;
  OSErr err = FilePathOfSpec(spec, &strPath);
  if (err == noErr) err = FilesCheckCall("FSpSetFInfo", strPath);
  if (err != noErr) return err;
  FSCatalogInfo info;
  std::memcpy(info.finderInfo, fndrInfo, sizeof(FInfo));
  return SetCatalogInfoOfPath(strPath, kFSCatInfoFinderInfo, &info);
}

static_assert(sizeof(FInfo) == 16, "FInfo is the 16 bytes of a file's Finder information");
