// Files: the File Manager stand-in's reference table, configuration, path model, references,
// FSSpec records and volumes (catalog information and changes are in FilesCatalog.cpp, forks in
// FilesForks.cpp, the sidecar metadata in FilesMeta.cpp, volume parameters and test hooks in
// FilesVolumes.cpp, the Folder Manager in FilesFolders.cpp).
// The table maps a 32-bit id to a virtual path; an FSRef holds a magic word, the table's
// generation and the id. One live entry per path, so the same path always gives the same
// reference; entries are never freed (references are plain values with no release call), so
// the table grows with the number of distinct paths the process has named.
// Relies on POSIX (stat, opendir, statvfs) and the C++ standard library. Errors are OSErr codes;
// one mutex guards the table and the configuration, and no file-system call runs under it.
#include "platform/carbon/Files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/carbon/FilesStandIn.h"
#include "platform/carbon/FilesShared.h"

namespace {

constexpr UInt32 kRefMagic = MakeFourCharCode("VfsR");
constexpr UInt32 kFirstNodeID = 16;  // node ids below are the catalogue's reserved ids
constexpr size_t kMaxNameBytes = 255;
constexpr FSVolumeRefNum kStartupVRefNum = -100;
constexpr char const* kDefaultStartupName = "Macintosh HD";
constexpr char const* kDefaultMountFolder = "/Volumes";

struct stcRefEntry {
  std::string strPath;
  bool blnLive;
};

UInt32 NewGeneration(UInt32 previous) {
  UInt32 ulngSeed = UInt32(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (UInt32(getpid()) << 16);
  UInt32 ulngGen = previous + 1 + (ulngSeed & 0xFFFF);
  return ulngGen == 0 ? 1 : ulngGen;
}

void PutBE32(UInt8* at, UInt32 value) {
  at[0] = UInt8(value >> 24);
  at[1] = UInt8(value >> 16);
  at[2] = UInt8(value >> 8);
  at[3] = UInt8(value);
}

UInt32 GetBE32(UInt8 const* at) {
  return (UInt32(at[0]) << 24) | (UInt32(at[1]) << 16) | (UInt32(at[2]) << 8) | UInt32(at[3]);
}

bool StartsWithFolder(std::string const& path, std::string const& folder) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

// ---------------------------------------------------------------------------------------------
// Shared state
// ---------------------------------------------------------------------------------------------

struct stcFileState {
  std::mutex mtxLock;
  std::string strRoot = "/";
  std::string strStartupName = kDefaultStartupName;
  std::string strMountFolder = kDefaultMountFolder;
  std::map<std::pair<SInt16, OSType>, std::string> mapFolderOverrides;
  UInt32 ulngGeneration = NewGeneration(0);
  std::vector<stcRefEntry> vecEntries;
  std::map<std::string, UInt32> mapByPath;  // live entries only
  std::map<std::string, FSVolumeRefNum> mapVolRefNums;
  FSVolumeRefNum intNextVolRefNum = kStartupVRefNum - 1;
};

// Never destroyed, so threads and static destructors may still use it at exit.
stcFileState& FilesState() {
  static stcFileState* s_pState = new stcFileState();
  return *s_pState;
}

UInt32 InternLocked(stcFileState& state, std::string const& path) {
  auto it = state.mapByPath.find(path);
  if (it != state.mapByPath.end()) return it->second;
  state.vecEntries.push_back(stcRefEntry{path, true});
  UInt32 ulngID = UInt32(state.vecEntries.size());
  state.mapByPath[path] = ulngID;
  return ulngID;
}

void EncodeRef(UInt32 generation, UInt32 id, FSRef* ref) {
  std::memset(ref->hidden, 0, sizeof(ref->hidden));
  PutBE32(ref->hidden, kRefMagic);
  PutBE32(ref->hidden + 4, generation);
  PutBE32(ref->hidden + 8, id);
}

// The entry of a reference: its id, path and whether the object is still where it was.
OSErr DecodeRef(FSRef const* ref, UInt32* id, std::string* path, bool* live) {
  if (ref == nullptr) return paramErr;
  stcFileState& state = FilesState();
  if (GetBE32(ref->hidden) != kRefMagic) return errFSBadFSRef;
  UInt32 ulngID = GetBE32(ref->hidden + 8);
  std::lock_guard<std::mutex> lock(state.mtxLock);
  if (GetBE32(ref->hidden + 4) != state.ulngGeneration || ulngID == 0 ||
      ulngID > state.vecEntries.size())
    return errFSBadFSRef;
  stcRefEntry const& entry = state.vecEntries[ulngID - 1];
  if (id) *id = ulngID;
  if (path) *path = entry.strPath;
  if (live) *live = entry.blnLive;
  return noErr;
}

std::string ParentOf(std::string const& path) {
  size_t pos = path.rfind('/');
  if (pos == 0 || pos == std::string::npos) return "/";
  return path.substr(0, pos);
}

std::string LeafOf(std::string const& path) {
  size_t pos = path.rfind('/');
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ChildOf(std::string const& folder, std::string const& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

void ToHFSUniStr255(std::string const& hfsName, HFSUniStr255* out) {
  std::u16string units = FSStandInUTF8ToUTF16(hfsName);
  size_t n = std::min<size_t>(units.size(), 255);
  out->length = UInt16(n);
  for (size_t i = 0; i < n; ++i) out->unicode[i] = UniChar(units[i]);
}

// A Pascal string of a name; false when it does not fit 63 bytes.
bool ToStr63(std::string const& name, StrFileName out) {
  if (name.size() > 63) return false;
  out[0] = UInt8(name.size());
  std::memcpy(out + 1, name.data(), name.size());
  return true;
}

}  // namespace

std::string FilesParentOf(std::string const& virtualPath) { return ParentOf(virtualPath); }
std::string FilesLeafOf(std::string const& virtualPath) { return LeafOf(virtualPath); }
std::string FilesChildOf(std::string const& folder, std::string const& name) {
  return ChildOf(folder, name);
}
void FilesToHFSUniStr255(std::string const& hfsName, HFSUniStr255* out) { ToHFSUniStr255(hfsName, out); }
bool FilesToStr63(std::string const& name, StrFileName out) { return ToStr63(name, out); }

// ---------------------------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------------------------

OSErr FSStandInErrnoToOSErr(int error) {
  switch (error) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case ENOTDIR: return dirNFErr;
    case EACCES:
    case EPERM: return permErr;
    case EROFS: return wPrErr;
    case ENOSPC:
    case EDQUOT: return dskFulErr;
    case EEXIST: return dupFNErr;
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY: return fBsyErr;
    case EXDEV: return diffVolErr;
    case ENAMETOOLONG: return bdNamErr;
    case EINVAL: return paramErr;
    case EISDIR: return notAFileErr;
    case EMFILE:
    case ENFILE: return tmfoErr;
    case ENOMEM: return memFullErr;
    case ELOOP: return fnfErr;
    default: return ioErr;
  }
}

std::u16string FSStandInUTF8ToUTF16(std::string const& bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0, n = bytes.size();
  while (i < n) {
    UInt8 b = UInt8(bytes[i]);
    if (b < 0x80) {
      out.push_back(char16_t(b));
      ++i;
      continue;
    }
    int intMore = (b >= 0xC2 && b <= 0xDF) ? 1 : (b >= 0xE0 && b <= 0xEF) ? 2
                : (b >= 0xF0 && b <= 0xF4) ? 3 : -1;
    uint32_t cp = intMore == 3 ? (b & 0x07u) : intMore == 2 ? (b & 0x0Fu) : (b & 0x1Fu);
    bool blnValid = intMore > 0 && i + size_t(intMore) < n;
    if (blnValid) {
      for (int k = 1; k <= intMore; ++k) {
        UInt8 c = UInt8(bytes[i + size_t(k)]);
        if ((c & 0xC0) != 0x80) {
          blnValid = false;
          break;
        }
        cp = (cp << 6) | (c & 0x3Fu);
      }
    }
    // Overlong forms, encoded surrogates and values beyond U+10FFFF are not valid.
    if (blnValid && ((intMore == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                     (intMore == 3 && (cp < 0x10000 || cp > 0x10FFFF))))
      blnValid = false;
    if (!blnValid) {
      out.push_back(char16_t(0xDC00 + b));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += size_t(intMore) + 1;
  }
  return out;
}

std::string FSStandInUTF16ToUTF8(UniChar const* units, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (uint32_t(units[i + 1]) - 0xDC00);
      ++i;
    } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
      out.push_back(char(cp - 0xDC00));  // a byte that was not valid UTF-8
      continue;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string FSStandInDiskNameToHFS(std::string const& diskName) {
  std::string out = diskName;
  std::replace(out.begin(), out.end(), ':', '/');
  return out;
}

std::string FSStandInHFSNameToDisk(std::string const& hfsName) {
  std::string out = hfsName;
  std::replace(out.begin(), out.end(), '/', ':');
  return out;
}

OSErr FSStandInNormalizePath(std::string const& path, std::string* normalized) {
  if (path.empty() || path[0] != '/') return paramErr;
  std::vector<std::string> vecParts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    std::string strPart = path.substr(pos, next - pos);
    if (strPart == "..") {
      if (!vecParts.empty()) vecParts.pop_back();
    } else if (!strPart.empty() && strPart != ".") {
      if (strPart.size() > kMaxNameBytes) return bdNamErr;
      vecParts.push_back(strPart);
    }
    pos = next + 1;
  }
  std::string strOut;
  for (std::string const& part : vecParts) strOut += "/" + part;
  *normalized = strOut.empty() ? "/" : strOut;
  return noErr;
}

std::string FSStandInRealPath(std::string const& virtualPath) {
  stcFileState& state = FilesState();
  std::string strRoot;
  {
    std::lock_guard<std::mutex> lock(state.mtxLock);
    strRoot = state.strRoot;
  }
  if (strRoot == "/") return virtualPath;
  return virtualPath == "/" ? strRoot : strRoot + virtualPath;
}

bool FSStandInVirtualFromReal(std::string const& realPath, std::string* virtualPath) {
  std::string strReal;
  if (FSStandInNormalizePath(realPath, &strReal) != noErr) return false;
  stcFileState& state = FilesState();
  std::string strRoot;
  {
    std::lock_guard<std::mutex> lock(state.mtxLock);
    strRoot = state.strRoot;
  }
  if (strRoot == "/") {
    *virtualPath = strReal;
  } else if (strReal == strRoot) {
    *virtualPath = "/";
  } else if (StartsWithFolder(strReal, strRoot)) {
    *virtualPath = strReal.substr(strRoot.size());
  } else {
    return false;
  }
  return true;
}

std::string FSStandInMountFolder(void) {
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  return state.strMountFolder;
}

// ---------------------------------------------------------------------------------------------
// Volumes
// ---------------------------------------------------------------------------------------------

namespace {

// A folder directly under the mount folder counts as a volume unless it is hidden, no folder,
// or the file-system root itself seen through a link.
bool IsVolumeFolder(std::string const& realRoot, std::string const& mountReal, std::string const& name) {
  if (name.empty() || name[0] == '.') return false;
  struct stat stFolder, stRoot;
  if (stat((mountReal + "/" + name).c_str(), &stFolder) != 0 || !S_ISDIR(stFolder.st_mode))
    return false;
  if (stat(realRoot.c_str(), &stRoot) == 0 && stRoot.st_dev == stFolder.st_dev &&
      stRoot.st_ino == stFolder.st_ino)
    return false;
  return true;
}

struct stcConfigSnapshot {
  std::string strRoot, strStartupName, strMountFolder;
};

stcConfigSnapshot Snapshot() {
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  return stcConfigSnapshot{state.strRoot, state.strStartupName, state.strMountFolder};
}

std::string RealOf(stcConfigSnapshot const& config, std::string const& virtualPath) {
  if (config.strRoot == "/") return virtualPath;
  return virtualPath == "/" ? config.strRoot : config.strRoot + virtualPath;
}

FSVolumeRefNum VolRefNumFor(std::string const& diskName) {
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  auto it = state.mapVolRefNums.find(diskName);
  if (it != state.mapVolRefNums.end()) return it->second;
  FSVolumeRefNum intRef = state.intNextVolRefNum;
  if (state.intNextVolRefNum > -32000) --state.intNextVolRefNum;
  state.mapVolRefNums[diskName] = intRef;
  return intRef;
}

}  // namespace

OSErr FilesListVolumes(std::vector<stcFilesVolume>* volumes) {
  stcConfigSnapshot config = Snapshot();
  volumes->clear();
  volumes->push_back(stcFilesVolume{config.strStartupName, "/", kStartupVRefNum, true});
  std::string strMountReal = RealOf(config, config.strMountFolder);
  std::vector<std::string> vecNames;
  if (DIR* dir = opendir(strMountReal.c_str())) {
    while (struct dirent* ent = readdir(dir)) {
      std::string strName = ent->d_name;
      if (IsVolumeFolder(config.strRoot, strMountReal, strName)) vecNames.push_back(strName);
    }
    closedir(dir);
  }
  std::sort(vecNames.begin(), vecNames.end());
  for (std::string const& name : vecNames)
    volumes->push_back(stcFilesVolume{FSStandInDiskNameToHFS(name),
                                      ChildOf(config.strMountFolder, name), VolRefNumFor(name),
                                      false});
  return noErr;
}

stcFilesVolume FilesVolumeOfPath(std::string const& virtualPath) {
  stcConfigSnapshot config = Snapshot();
  if (StartsWithFolder(virtualPath, config.strMountFolder) && config.strMountFolder != "/") {
    std::string strRest = virtualPath.substr(config.strMountFolder.size() + 1);
    std::string strName = strRest.substr(0, strRest.find('/'));
    if (IsVolumeFolder(config.strRoot, RealOf(config, config.strMountFolder), strName))
      return stcFilesVolume{FSStandInDiskNameToHFS(strName),
                            ChildOf(config.strMountFolder, strName), VolRefNumFor(strName), false};
  }
  return stcFilesVolume{config.strStartupName, "/", kStartupVRefNum, true};
}

OSErr FilesVolumeByRefNum(FSVolumeRefNum vRefNum, stcFilesVolume* volume) {
  std::vector<stcFilesVolume> vecVolumes;
  FilesListVolumes(&vecVolumes);
  if (vRefNum == kFSInvalidVolumeRefNum) {
    *volume = vecVolumes.front();
    return noErr;
  }
  for (stcFilesVolume const& vol : vecVolumes)
    if (vol.intVRefNum == vRefNum) {
      *volume = vol;
      return noErr;
    }
  return nsvErr;
}

void FSStandInVolumeOfPath(std::string const& virtualPath, std::string* volumeName,
                           std::string* volumeRoot) {
  stcFilesVolume vol = FilesVolumeOfPath(virtualPath);
  if (volumeName) *volumeName = vol.strName;
  if (volumeRoot) *volumeRoot = vol.strRoot;
}

bool FSStandInVolumeRootForName(std::string const& volumeName, std::string* volumeRoot) {
  std::vector<stcFilesVolume> vecVolumes;
  FilesListVolumes(&vecVolumes);
  for (stcFilesVolume const& vol : vecVolumes)
    if (vol.strName == volumeName) {
      *volumeRoot = vol.strRoot;
      return true;
    }
  return false;
}

OSErr FSGetVolumeInfo(FSVolumeRefNum volume, ItemCount volumeIndex, FSVolumeRefNum* actualVolume,
                      FSVolumeInfoBitmap whichInfo, FSVolumeInfo* info, HFSUniStr255* volumeName,
                      FSRef* rootDirectory) {
  stcFilesVolume vol;
  if (volumeIndex > 0) {
    std::vector<stcFilesVolume> vecVolumes;
    FilesListVolumes(&vecVolumes);
    if (volumeIndex > vecVolumes.size()) return nsvErr;
    vol = vecVolumes[volumeIndex - 1];
  } else {
    OSErr err = FilesVolumeByRefNum(volume, &vol);
    if (err != noErr) return err;
  }
  OSErr const errFault = FilesCheckCall("FSGetVolumeInfo", vol.strRoot);
  if (errFault != noErr) return errFault;
  if (actualVolume) *actualVolume = vol.intVRefNum;
  if (info) {
    struct statvfs sv;
    bool blnHaveFS = statvfs(FSStandInRealPath(vol.strRoot).c_str(), &sv) == 0;
    if (whichInfo & kFSVolInfoFlags) {
      info->flags = vol.blnStartup ? kFSVolFlagDefaultVolumeMask : 0;
      if (blnHaveFS && (sv.f_flag & ST_RDONLY)) info->flags |= kFSVolFlagSoftwareLockedMask;
    }
    if (whichInfo & kFSVolInfoSizes) {
      info->totalBytes = blnHaveFS ? UInt64(sv.f_blocks) * sv.f_frsize : 0;
      info->freeBytes = blnHaveFS ? UInt64(sv.f_bavail) * sv.f_frsize : 0;
    }
    if (whichInfo & kFSVolInfoBlocks) {
      info->blockSize = blnHaveFS ? UInt32(sv.f_frsize) : 0;
      info->totalBlocks = blnHaveFS ? UInt32(std::min<uint64_t>(sv.f_blocks, 0xFFFFFFFFu)) : 0;
      info->freeBlocks = blnHaveFS ? UInt32(std::min<uint64_t>(sv.f_bavail, 0xFFFFFFFFu)) : 0;
    }
    if (whichInfo & kFSVolInfoFSInfo) {
      info->filesystemID = 0;
      info->signature = 0x482B;  // 'H+'
    }
    if (whichInfo & kFSVolInfoFinderInfo) std::memset(info->finderInfo, 0, sizeof(info->finderInfo));
  }
  if (volumeName) ToHFSUniStr255(vol.strName, volumeName);
  if (rootDirectory) {
    stcFileState& state = FilesState();
    std::lock_guard<std::mutex> lock(state.mtxLock);
    EncodeRef(state.ulngGeneration, InternLocked(state, vol.strRoot), rootDirectory);
  }
  return noErr;
}

OSErr PBGetVolumeInfoSync(FSVolumeInfoParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  FSVolumeRefNum intActual = 0;
  OSErr err = FSGetVolumeInfo(paramBlock->ioVRefNum, paramBlock->volumeIndex, &intActual,
                              paramBlock->whichInfo, paramBlock->volumeInfo, paramBlock->volumeName,
                              paramBlock->ref);
  if (err == noErr) paramBlock->ioVRefNum = intActual;
  paramBlock->ioResult = err;
  return err;
}

// ---------------------------------------------------------------------------------------------
// References
// ---------------------------------------------------------------------------------------------

namespace {

// The reference to a normalized path whose item the caller has just looked at (st).
OSStatus RefForItem(std::string const& strPath, struct stat const& st, FSRef* ref, Boolean* isDirectory) {
  if (ref) {
    stcFileState& state = FilesState();
    std::lock_guard<std::mutex> lock(state.mtxLock);
    EncodeRef(state.ulngGeneration, InternLocked(state, strPath), ref);
  }
  if (isDirectory) *isDirectory = S_ISDIR(st.st_mode) ? TRUE : FALSE;
  return noErr;
}

}  // namespace

OSStatus FilesMakeRefForPath(std::string const& virtualPath, FSRef* ref, Boolean* isDirectory) {
  std::string strPath;
  OSErr err = FSStandInNormalizePath(virtualPath, &strPath);
  if (err != noErr) return err;
  // The item itself: a symbolic link is an item of its own, never followed here.
  struct stat st;
  if (lstat(FSStandInRealPath(strPath).c_str(), &st) != 0) return FSStandInErrnoToOSErr(errno);
  return RefForItem(strPath, st, ref, isDirectory);
}

void FilesRefForPath(std::string const& virtualPath, FSRef* ref) {
  std::string strPath;
  if (FSStandInNormalizePath(virtualPath, &strPath) != noErr) strPath = virtualPath;
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  EncodeRef(state.ulngGeneration, InternLocked(state, strPath), ref);
}

OSStatus FSPathMakeRef(UInt8 const* path, FSRef* ref, Boolean* isDirectory) {
  return FSPathMakeRefWithOptions(path, kFSPathMakeRefDefaultOptions, ref, isDirectory);
}

OSStatus FSPathMakeRefWithOptions(UInt8 const* path, UInt32 options, FSRef* ref, Boolean* isDirectory) {
  if (path == nullptr || ref == nullptr) return paramErr;
  std::string strPath;
  OSErr err = FSStandInNormalizePath(std::string(reinterpret_cast<char const*>(path)), &strPath);
  if (err != noErr) return err;
  err = FilesCheckCall("FSPathMakeRef", strPath);
  if (err != noErr) return err;
  std::string strReal = FSStandInRealPath(strPath);
  // A sidecar is no item of its own; a "._" file that is not one is an ordinary file.
  if (FilesIsOwnSidecar(strReal)) return fnfErr;
  // A link as the last step leads to its object, as long as that lies below the root, unless
  // the caller asks for the link itself.
  // One look at the item serves both, unless it is a link that leads elsewhere.
  struct stat st;
  if (lstat(strReal.c_str(), &st) != 0) return FSStandInErrnoToOSErr(errno);
  if ((options & kFSPathMakeRefDoNotFollowLeafSymlink) == 0 && S_ISLNK(st.st_mode)) {
    char chrResolved[PATH_MAX];
    std::string strTarget;
    if (realpath(strReal.c_str(), chrResolved) != nullptr &&
        FSStandInVirtualFromReal(chrResolved, &strTarget))
      return FilesMakeRefForPath(strTarget, ref, isDirectory);
  }
  return RefForItem(strPath, st, ref, isDirectory);
}

OSErr FSStandInRefGetPath(FSRef const* ref, std::string* virtualPath) {
  if (virtualPath == nullptr) return paramErr;
  return DecodeRef(ref, nullptr, virtualPath, nullptr);
}

OSErr FilesRefGetLivePath(FSRef const* ref, std::string* virtualPath) {
  bool blnLive = false;
  OSErr err = DecodeRef(ref, nullptr, virtualPath, &blnLive);
  if (err != noErr) return err;
  return blnLive ? OSErr(noErr) : OSErr(fnfErr);
}

OSErr FilesHFSNameToDiskName(UniCharCount nameLength, UniChar const* name, std::string* diskName) {
  if (nameLength == 0) return bdNamErr;
  if (name == nullptr) return paramErr;
  if (nameLength > 255) return bdNamErr;
  for (UniCharCount i = 0; i < nameLength; ++i)
    if (name[i] == 0 || name[i] == ':') return bdNamErr;  // ':' would be a '/' on disk
  std::string strName = FSStandInHFSNameToDisk(FSStandInUTF16ToUTF8(name, nameLength));
  if (strName == "." || strName == ".." || strName.size() > kMaxNameBytes) return bdNamErr;
  *diskName = strName;
  return noErr;
}

OSErr FilesNewDiskName(UniCharCount nameLength, UniChar const* name, std::string* diskName) {
  OSErr err = FilesHFSNameToDiskName(nameLength, name, diskName);
  if (err == noErr && diskName->size() + 2 > kMaxNameBytes) err = bdNamErr;  // "._" + name
  return err;
}

bool FilesIsSidecarName(std::string const& diskName) {
  return diskName.size() > 2 && diskName[0] == '.' && diskName[1] == '_';
}

std::string FilesSidecarPath(std::string const& virtualPath) {
  return ChildOf(ParentOf(virtualPath), "._" + LeafOf(virtualPath));
}

OSErr FSMakeFSRefUnicode(FSRef const* parentRef, UniCharCount nameLength, UniChar const* name,
                         TextEncoding textEncodingHint, FSRef* newRef) {
  (void)textEncodingHint;  // names are Unicode throughout
  if (newRef == nullptr) return paramErr;
  std::string strParent, strName;
  OSErr err = FilesRefGetLivePath(parentRef, &strParent);
  if (err != noErr) return err;
  struct stat st;
  if (stat(FSStandInRealPath(strParent).c_str(), &st) != 0) return FSStandInErrnoToOSErr(errno);
  if (!S_ISDIR(st.st_mode)) return dirNFErr;
  err = FilesHFSNameToDiskName(nameLength, name, &strName);
  if (err != noErr) return err;
  std::string const strChild = ChildOf(strParent, strName);
  if (FilesIsOwnSidecar(FSStandInRealPath(strChild))) return fnfErr;  // no item of its own
  return FilesMakeRefForPath(strChild, newRef, nullptr);
}

OSErr PBMakeFSRefUnicodeSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  OSErr err = FSMakeFSRefUnicode(paramBlock->ref, paramBlock->nameLength, paramBlock->name,
                                 paramBlock->textEncodingHint, paramBlock->newRef);
  paramBlock->ioResult = err;
  return err;
}

OSErr FSCompareFSRefs(FSRef const* ref1, FSRef const* ref2) {
  if (ref1 == nullptr || ref2 == nullptr) return paramErr;
  UInt32 ulngID1 = 0, ulngID2 = 0;
  std::string strPath1, strPath2;
  bool blnLive1 = false, blnLive2 = false;
  OSErr err = DecodeRef(ref1, &ulngID1, &strPath1, &blnLive1);
  if (err == noErr) err = DecodeRef(ref2, &ulngID2, &strPath2, &blnLive2);
  if (err != noErr) return err;
  if (ulngID1 == ulngID2) return noErr;
  if (!blnLive1 || !blnLive2) return errFSRefsDifferent;
  // Two paths can name one object (a folder reached through a link).
  struct stat st1, st2;
  if (stat(FSStandInRealPath(strPath1).c_str(), &st1) == 0 &&
      stat(FSStandInRealPath(strPath2).c_str(), &st2) == 0 && st1.st_dev == st2.st_dev &&
      st1.st_ino == st2.st_ino && S_ISDIR(st1.st_mode))
    return noErr;
  return errFSRefsDifferent;
}

// ---------------------------------------------------------------------------------------------
// Node ids and FSSpec records
// ---------------------------------------------------------------------------------------------

UInt32 FilesNodeIDOfPath(std::string const& virtualPath, stcFilesVolume const& volume) {
  if (virtualPath == volume.strRoot) return fsRtDirID;
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  return InternLocked(state, virtualPath) + kFirstNodeID;
}

OSErr FilesPathOfFolderID(FSVolumeRefNum vRefNum, SInt32 dirID, std::string* virtualPath) {
  stcFilesVolume vol;
  OSErr err = FilesVolumeByRefNum(vRefNum, &vol);
  if (err != noErr) return err;
  if (UInt32(dirID) == fsRtDirID) {
    *virtualPath = vol.strRoot;
    return noErr;
  }
  if (dirID <= SInt32(kFirstNodeID)) return dirNFErr;
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  UInt32 ulngID = UInt32(dirID) - kFirstNodeID;
  if (ulngID > state.vecEntries.size() || !state.vecEntries[ulngID - 1].blnLive) return dirNFErr;
  *virtualPath = state.vecEntries[ulngID - 1].strPath;
  return noErr;
}

// The path an FSSpec names (a volume root's spec has parent id 1).
OSErr FilesPathOfSpec(FSVolumeRefNum vRefNum, SInt32 parID, ConstStr255Param name, std::string* path) {
  std::string strName;
  if (name != nullptr && name[0] > 0) {
    std::string strHFS(reinterpret_cast<char const*>(name + 1), name[0]);
    if (strHFS.find(':') != std::string::npos || strHFS.find('\0') != std::string::npos)
      return bdNamErr;  // partial paths are not accepted
    strName = FSStandInHFSNameToDisk(strHFS);
    if (strName == "." || strName == "..") return bdNamErr;
  }
  if (UInt32(parID) == fsRtParID) {
    stcFilesVolume vol;
    OSErr err = FilesVolumeByRefNum(vRefNum, &vol);
    if (err != noErr) return err;
    if (!strName.empty() && FSStandInDiskNameToHFS(strName) != vol.strName) return nsvErr;
    *path = vol.strRoot;
    return noErr;
  }
  std::string strFolder;
  OSErr err = FilesPathOfFolderID(vRefNum, parID, &strFolder);
  if (err != noErr) return err;
  *path = strName.empty() ? strFolder : ChildOf(strFolder, strName);
  return noErr;
}

OSErr FSpMakeFSRef(FSSpec const* source, FSRef* newRef) {
  if (source == nullptr || newRef == nullptr) return paramErr;
  std::string strPath;
  OSErr err = FilesPathOfSpec(source->vRefNum, source->parID, source->name, &strPath);
  if (err != noErr) return err;
  return FilesMakeRefForPath(strPath, newRef, nullptr);
}

OSErr PBMakeFSRefSync(FSRefParam* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  std::string strPath;
  OSErr err = paramBlock->newRef == nullptr ? OSErr(paramErr)
              : FilesPathOfSpec(paramBlock->ioVRefNum, paramBlock->ioDirID, paramBlock->ioNamePtr,
                                &strPath);
  if (err == noErr) err = FilesMakeRefForPath(strPath, paramBlock->newRef, nullptr);
  paramBlock->ioResult = err;
  return err;
}

OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* spec) {
  if (spec == nullptr) return paramErr;
  std::string strPath;
  OSErr err = FilesPathOfSpec(vRefNum, dirID, fileName, &strPath);
  if (err != noErr) return err;
  FSRef ref;
  err = FilesMakeRefForPath(strPath, &ref, nullptr);
  if (err == noErr) return FilesGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, spec, nullptr);
  if (err != fnfErr) return err;
  // A missing leaf in an existing folder still gives its spec, with fnfErr.
  FSRef refFolder;
  std::string strFolder = ParentOf(strPath);
  if (FilesMakeRefForPath(strFolder, &refFolder, nullptr) != noErr) return dirNFErr;
  stcFilesVolume vol = FilesVolumeOfPath(strFolder);
  spec->vRefNum = vol.intVRefNum;
  spec->parID = SInt32(FilesNodeIDOfPath(strFolder, vol));
  if (!ToStr63(FSStandInDiskNameToHFS(LeafOf(strPath)), spec->name)) return bdNamErr;
  return fnfErr;
}

// ---------------------------------------------------------------------------------------------
// Following moves and deletions
// ---------------------------------------------------------------------------------------------

namespace {

// The live paths equal to path or inside it.
std::vector<std::string> PathsUnderLocked(stcFileState& state, std::string const& path) {
  std::vector<std::string> vecOut;
  if (state.mapByPath.count(path)) vecOut.push_back(path);
  std::string strPrefix = path == "/" ? "/" : path + "/";
  for (auto it = state.mapByPath.lower_bound(strPrefix);
       it != state.mapByPath.end() && it->first.compare(0, strPrefix.size(), strPrefix) == 0; ++it)
    if (it->first != path) vecOut.push_back(it->first);
  return vecOut;
}

void KillLocked(stcFileState& state, std::string const& path) {
  for (std::string const& strPath : PathsUnderLocked(state, path)) {
    state.vecEntries[state.mapByPath[strPath] - 1].blnLive = false;
    state.mapByPath.erase(strPath);
  }
}

}  // namespace

void FSStandInNoteMoved(std::string const& fromVirtualPath, std::string const& toVirtualPath) {
  std::string strFrom, strTo;
  if (FSStandInNormalizePath(fromVirtualPath, &strFrom) != noErr ||
      FSStandInNormalizePath(toVirtualPath, &strTo) != noErr || strFrom == strTo ||
      strFrom == "/" || StartsWithFolder(strTo, strFrom))
    return;
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  std::vector<std::pair<std::string, UInt32>> vecMoving;
  for (std::string const& strPath : PathsUnderLocked(state, strFrom))
    vecMoving.emplace_back(strPath, state.mapByPath[strPath]);
  for (auto const& moving : vecMoving) state.mapByPath.erase(moving.first);
  KillLocked(state, strTo);  // what the destination held before is gone
  for (auto const& moving : vecMoving) {
    std::string strNew = strTo + moving.first.substr(strFrom.size());
    state.vecEntries[moving.second - 1].strPath = strNew;
    state.mapByPath[strNew] = moving.second;
  }
}

void FSStandInNoteRemoved(std::string const& virtualPath) {
  std::string strPath;
  if (FSStandInNormalizePath(virtualPath, &strPath) != noErr) return;
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  KillLocked(state, strPath);
}

// ---------------------------------------------------------------------------------------------
// Configuration
// ---------------------------------------------------------------------------------------------

namespace {

void EmptyTableLocked(stcFileState& state) {
  state.vecEntries.clear();
  state.mapByPath.clear();
  state.ulngGeneration = NewGeneration(state.ulngGeneration);
}

}  // namespace

OSErr FSStandInSetRoot(char const* realPath) {
  if (realPath == nullptr) return paramErr;
  std::string strRoot;
  OSErr err = FSStandInNormalizePath(realPath, &strRoot);
  if (err != noErr) return err;
  struct stat st;
  if (stat(strRoot.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return dirNFErr;
  // Resolved, so that resolved real paths (the running program's, the current folder) are
  // recognised as lying below it.
  char chrResolved[PATH_MAX];
  if (realpath(strRoot.c_str(), chrResolved) != nullptr) strRoot = chrResolved;
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.strRoot = strRoot;
  EmptyTableLocked(state);
  return noErr;
}

OSErr FSStandInSetStartupVolumeName(char const* name) {
  if (name == nullptr || name[0] == '\0' || std::strchr(name, ':') != nullptr) return paramErr;
  if (FSStandInUTF8ToUTF16(name).size() > 255) return paramErr;
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.strStartupName = name;
  return noErr;
}

OSErr FSStandInSetMountFolder(char const* virtualPath) {
  if (virtualPath == nullptr) return paramErr;
  std::string strFolder;
  OSErr err = FSStandInNormalizePath(virtualPath, &strFolder);
  if (err != noErr) return err;
  if (strFolder == "/") return paramErr;  // the startup volume cannot hold itself
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.strMountFolder = strFolder;
  return noErr;
}

OSErr FSStandInSetFolder(SInt16 domain, OSType folderType, char const* virtualPath) {
  stcFileState& state = FilesState();
  if (virtualPath == nullptr || virtualPath[0] == '\0') {
    std::lock_guard<std::mutex> lock(state.mtxLock);
    state.mapFolderOverrides.erase(std::make_pair(domain, folderType));
    return noErr;
  }
  std::string strFolder;
  OSErr err = FSStandInNormalizePath(virtualPath, &strFolder);
  if (err != noErr) return err;
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.mapFolderOverrides[std::make_pair(domain, folderType)] = strFolder;
  return noErr;
}

bool FilesFolderOverride(SInt16 domain, OSType folderType, std::string* virtualPath) {
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  auto it = state.mapFolderOverrides.find(std::make_pair(domain, folderType));
  if (it == state.mapFolderOverrides.end()) return false;
  *virtualPath = it->second;
  return true;
}

void FSStandInReset(void) {
  stcFileState& state = FilesState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.strRoot = "/";
  state.strStartupName = kDefaultStartupName;
  state.strMountFolder = kDefaultMountFolder;
  state.mapFolderOverrides.clear();
  EmptyTableLocked(state);
  FilesTestingReset();
}
