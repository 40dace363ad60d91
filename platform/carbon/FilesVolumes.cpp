// FilesVolumes: volume parameters (PBHGetVolParmsSync), folder access rights
// (PBHGetDirAccessSync), the file server's own copy (PBHCopyFileSync), the UTC clock calls and
// FNNotify of the File Manager stand-in, and its test hooks (FilesTesting.h): per-volume
// parameters, per-folder access rights, injected faults and the call log.
// Every volume is local (no server address, no access rights) until a test says otherwise; a
// volume with a server address is a file server's, whose folders report access rights from their
// mode and which copies files itself when its attributes have bHasCopyFile.
// Relies on POSIX (time zone through localtime_r/mktime), Files.cpp's volumes and specs, and
// FilesMeta.cpp for the sidecar and attributes of a copy. One mutex guards the test settings.
// Errors are OSErr codes; nothing throws.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesShared.h"
#include "platform/carbon/FilesStandIn.h"
#include "platform/carbon/FilesTesting.h"

namespace {

constexpr int64_t kSeconds1904To1970 = 2082844800LL;
constexpr SInt16 kVolParmsVersion = 3;

struct stcFault {
  std::string strCall;
  std::string strPath;
  OSErr intCode;
  int intCount;
};

struct stcTestState {
  std::mutex mtxLock;
  std::map<FSVolumeRefNum, stcFSVolumeParms> mapVolumes;
  std::map<std::string, SInt32> mapDirAccess;  // by virtual path
  std::deque<stcFault> deqFaults;
  bool blnLogging = false;
  std::vector<std::string> vecLog;
  bool blnClockPinned = false;
  UTCDateTime udtPinnedClock{};
};

stcTestState& TestState() {
  static stcTestState* s_pState = new stcTestState();
  return *s_pState;
}

stcFSVolumeParms VolumeParms(FSVolumeRefNum vRefNum) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  auto it = state.mapVolumes.find(vRefNum);
  return it == state.mapVolumes.end() ? FSStandInTestDefaultVolumeParms() : it->second;
}

bool CopyBytes(int from, int to) {
  std::vector<char> vecBuffer(65536);
  for (;;) {
    ssize_t n = read(from, vecBuffer.data(), vecBuffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(to, vecBuffer.data() + done, size_t(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += w;
    }
  }
}

// Copies one regular file's bytes, mode, modification time and extended attributes to a new
// file (which must not exist); the new file is removed again on failure.
OSErr CopyOneFile(std::string const& fromReal, std::string const& toReal) {
  int from = open(fromReal.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (from < 0) return FSStandInErrnoToOSErr(errno);
  struct stat st;
  if (fstat(from, &st) != 0) {
    int intError = errno;
    close(from);
    return FSStandInErrnoToOSErr(intError);
  }
  int to = open(toReal.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, st.st_mode & 07777);
  if (to < 0) {
    int intError = errno;
    close(from);
    return FSStandInErrnoToOSErr(intError);
  }
  bool blnOK = CopyBytes(from, to);
  int intError = blnOK ? 0 : errno;
  close(from);
  // The times go through the new file's descriptor: by path, a link swapped in would be followed.
  FilesTestBeforeChange(toReal);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  futimens(to, times);
  if (close(to) != 0 && blnOK) {
    blnOK = false;
    intError = errno;
  }
  if (!blnOK) {
    unlink(toReal.c_str());
    return FSStandInErrnoToOSErr(intError != 0 ? intError : EIO);
  }
  FilesMetaCopyAttributes(fromReal, toReal);
  return noErr;
}

std::string PascalToString(ConstStringPtr name) {
  return name == nullptr ? std::string() : std::string(reinterpret_cast<char const*>(name + 1), name[0]);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Test hooks
// ---------------------------------------------------------------------------------------------

stcFSVolumeParms FSStandInTestDefaultVolumeParms(void) {
  stcFSVolumeParms parms;
  parms.lngAttrib = SInt32((1u << bHasExtFSVol) | (1u << bHasFileIDs));
  parms.lngServerAdr = 0;
  parms.lngVolumeGrade = 0;
  parms.lngExtendedAttribs = SInt32((1u << bSupportsHFSPlusAPIs) | (1u << bSupportsLongNames) |
                                    (1u << bSupportsMultiScriptNames) | (1u << bSupportsSymbolicLinks) |
                                    (1u << bIsCaseSensitive) | (1u << bIsCasePreserving));
  return parms;
}

OSErr FSStandInTestSetVolumeParms(FSVolumeRefNum vRefNum, stcFSVolumeParms const& parms) {
  stcFilesVolume vol;
  OSErr err = FilesVolumeByRefNum(vRefNum, &vol);
  if (err != noErr) return err;
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.mapVolumes[vol.intVRefNum] = parms;
  return noErr;
}

void FSStandInTestClearVolumeParms(void) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.mapVolumes.clear();
}

OSErr FSStandInTestSetDirAccess(FSRef const* folder, SInt32 accessRights) {
  std::string strPath;
  OSErr err = FilesRefGetLivePath(folder, &strPath);
  if (err != noErr) return err;
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.mapDirAccess[strPath] = accessRights;
  return noErr;
}

void FSStandInTestClearDirAccess(void) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.mapDirAccess.clear();
}

void FSStandInTestFailNext(std::string const& call, std::string const& path, OSErr code, int count) {
  if (count <= 0) return;
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.deqFaults.push_back(stcFault{call, path, code, count});
}

void FSStandInTestClearFaults(void) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.deqFaults.clear();
}

int FSStandInTestPendingFaults(void) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  int intCount = 0;
  for (stcFault const& fault : state.deqFaults) intCount += fault.intCount;
  return intCount;
}

void FSStandInTestSetCallLog(bool enabled) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.blnLogging = enabled;
}

std::vector<std::string> FSStandInTestCallLog(void) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  return state.vecLog;
}

void FSStandInTestClearCallLog(void) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.vecLog.clear();
}

OSErr FilesCheckCall(char const* call, std::string const& virtualPath) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  if (state.blnLogging)
    state.vecLog.push_back(virtualPath.empty() ? std::string(call) : std::string(call) + " " + virtualPath);
  for (auto it = state.deqFaults.begin(); it != state.deqFaults.end(); ++it) {
    if (it->strCall != call || (!it->strPath.empty() && it->strPath != virtualPath)) continue;
    OSErr intCode = it->intCode;
    if (--it->intCount <= 0) state.deqFaults.erase(it);
    return intCode;
  }
  return noErr;
}

namespace {
std::atomic<void (*)(std::string const&)> g_pfnBeforeChange{nullptr};
}  // namespace

void FSStandInTestSetBeforeChangeHook(void (*hook)(std::string const& realPath)) {
  g_pfnBeforeChange.store(hook);
}

void FilesTestBeforeChange(std::string const& realPath) {
  void (*hook)(std::string const&) = g_pfnBeforeChange.load(std::memory_order_relaxed);
  if (hook != nullptr) hook(realPath);
}

bool FilesVolumeIsServer(FSVolumeRefNum vRefNum) { return VolumeParms(vRefNum).lngServerAdr != 0; }

void FilesTestingReset(void) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.mapVolumes.clear();
  state.mapDirAccess.clear();
  state.deqFaults.clear();
  state.blnLogging = false;
  state.vecLog.clear();
  state.blnClockPinned = false;
  g_pfnBeforeChange.store(nullptr);
}

void FSStandInTestSetUTCDateTime(UTCDateTime const* pinned) {
  stcTestState& state = TestState();
  std::lock_guard<std::mutex> lock(state.mtxLock);
  state.blnClockPinned = pinned != nullptr;
  if (pinned != nullptr) state.udtPinnedClock = *pinned;
}

// ---------------------------------------------------------------------------------------------
// Volume parameters, access rights, the server copy
// ---------------------------------------------------------------------------------------------

OSErr PBHGetVolParmsSync(HParamBlockRec* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  HIOParam& pb = paramBlock->ioParam;
  stcFilesVolume vol;
  OSErr err = FilesVolumeByRefNum(pb.ioVRefNum, &vol);
  if (err == noErr) err = FilesCheckCall("PBHGetVolParmsSync", vol.strRoot);
  if (err == noErr && (pb.ioBuffer == nullptr || pb.ioReqCount < 0)) err = paramErr;
  if (err == noErr) {
    stcFSVolumeParms parms = VolumeParms(vol.intVRefNum);
    GetVolParmsInfoBuffer info;
    std::memset(&info, 0, sizeof(info));
    info.vMVersion = kVolParmsVersion;
    info.vMAttrib = parms.lngAttrib;
    info.vMServerAdr = parms.lngServerAdr;
    info.vMVolumeGrade = parms.lngVolumeGrade;
    info.vMExtendedAttributes = parms.lngExtendedAttribs;
    info.vMMaxNameLength = 255;
    size_t intCount = std::min<size_t>(size_t(pb.ioReqCount), sizeof(info));
    std::memcpy(pb.ioBuffer, &info, intCount);
    pb.ioActCount = SInt32(intCount);
  }
  pb.ioResult = err;
  return err;
}

OSErr PBHGetDirAccessSync(HParamBlockRec* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  AccessParam& pb = paramBlock->accessParam;
  std::string strPath;
  OSErr err = FilesPathOfSpec(pb.ioVRefNum, paramBlock->fileParam.ioDirID, pb.ioNamePtr, &strPath);
  if (err == noErr) err = FilesCheckCall("PBHGetDirAccessSync", strPath);
  struct stat st;
  if (err == noErr && lstat(FSStandInRealPath(strPath).c_str(), &st) != 0) err = FSStandInErrnoToOSErr(errno);
  if (err == noErr && !S_ISDIR(st.st_mode)) err = dirNFErr;
  if (err == noErr) {
    pb.ioACOwnerID = SInt32(st.st_uid);
    pb.ioACGroupID = SInt32(st.st_gid);
    stcTestState& state = TestState();
    bool blnSet = false;
    {
      std::lock_guard<std::mutex> lock(state.mtxLock);
      auto it = state.mapDirAccess.find(strPath);
      if (it != state.mapDirAccess.end()) {
        pb.ioACAccess = it->second;
        blnSet = true;
      }
    }
    if (!blnSet && !FilesVolumeIsServer(FilesVolumeOfPath(strPath).intVRefNum)) {
      err = paramErr;  // a local volume keeps no access rights
    } else if (!blnSet) {
      // The user's rights from the mode: read gives see files and folders, write make changes.
      auto Rights = [](mode_t bits) -> UInt32 {
        return ((bits & 4) ? 0x03u : 0u) | ((bits & 2) ? 0x04u : 0u);
      };
      bool blnOwner = st.st_uid == geteuid();
      UInt32 ulngOwner = Rights((st.st_mode >> 6) & 7), ulngGroup = Rights((st.st_mode >> 3) & 7);
      UInt32 ulngOthers = Rights(st.st_mode & 7);
      UInt32 ulngUser = blnOwner ? ulngOwner : ulngOthers;
      pb.ioACAccess = SInt32((blnOwner ? 0x80000000u : 0u) | (ulngUser << 24) | (ulngOthers << 16) |
                             (ulngGroup << 8) | ulngOwner);
    }
  }
  pb.ioResult = err;
  return err;
}

OSErr PBHCopyFileSync(HParamBlockRec* paramBlock) {
  if (paramBlock == nullptr) return paramErr;
  CopyParam& pb = paramBlock->copyParam;
  std::string strSource, strFolder;
  OSErr err = FilesPathOfSpec(pb.ioVRefNum, pb.ioDirID, pb.ioNamePtr, &strSource);
  if (err == noErr) err = FilesCheckCall("PBHCopyFileSync", strSource);
  if (err == noErr) err = FilesPathOfFolderID(pb.ioDstVRefNum, pb.ioNewDirID, &strFolder);
  if (err == noErr && pb.ioNewName != nullptr && pb.ioNewName[0] > 0) {
    std::string strSub = FSStandInHFSNameToDisk(PascalToString(pb.ioNewName));
    if (strSub.find(':') != std::string::npos || FilesIsSidecarName(strSub)) err = bdNamErr;
    else strFolder = FilesChildOf(strFolder, strSub);
  }
  stcFilesVolume volSource = FilesVolumeOfPath(strSource), volDest = FilesVolumeOfPath(strFolder);
  if (err == noErr) {
    stcFSVolumeParms parmsSource = VolumeParms(volSource.intVRefNum);
    stcFSVolumeParms parmsDest = VolumeParms(volDest.intVRefNum);
    if (parmsSource.lngServerAdr == 0 || !(UInt32(parmsSource.lngAttrib) & (1u << bHasCopyFile)))
      err = wrgVolTypErr;
    else if (parmsDest.lngServerAdr != parmsSource.lngServerAdr)
      err = diffVolErr;
  }
  std::string strName;
  if (err == noErr) {
    std::string strHFS = pb.ioCopyName != nullptr && pb.ioCopyName[0] > 0
                             ? PascalToString(pb.ioCopyName)
                             : FSStandInDiskNameToHFS(FilesLeafOf(strSource));
    std::u16string units = FSStandInUTF8ToUTF16(strHFS);
    err = FilesNewDiskName(UniCharCount(units.size()), reinterpret_cast<UniChar const*>(units.data()),
                           &strName);
  }
  struct stat st;
  std::string strSourceReal = FSStandInRealPath(strSource);
  if (err == noErr && lstat(strSourceReal.c_str(), &st) != 0) err = FSStandInErrnoToOSErr(errno);
  if (err == noErr && S_ISDIR(st.st_mode)) err = notAFileErr;
  if (err == noErr && S_ISLNK(st.st_mode)) err = wrgVolTypErr;  // links are copied item by item
  if (err == noErr && !S_ISREG(st.st_mode)) err = afpObjectTypeErr;  // a FIFO or device has no bytes to copy
  struct stat stFolder;
  if (err == noErr && (lstat(FSStandInRealPath(strFolder).c_str(), &stFolder) != 0 ||
                       !S_ISDIR(stFolder.st_mode)))
    err = dirNFErr;
  if (err == noErr) {
    std::string strDest = FilesChildOf(strFolder, strName);
    std::string strDestReal = FSStandInRealPath(strDest);
    std::string strDestSide = FSStandInRealPath(FilesSidecarPath(strDest));
    struct stat stDest;
    if (lstat(strDestReal.c_str(), &stDest) == 0) {
      err = dupFNErr;
    } else {
      if (FilesIsOwnSidecar(strDestSide)) unlink(strDestSide.c_str());  // an orphan
      err = CopyOneFile(strSourceReal, strDestReal);
      std::string strSourceSide = FSStandInRealPath(FilesSidecarPath(strSource));
      if (err == noErr && FilesIsOwnSidecar(strSourceSide)) {
        err = CopyOneFile(strSourceSide, strDestSide);
        if (err != noErr) unlink(strDestReal.c_str());
      }
      if (err == noErr) FSStandInNoteRemoved(strDest);
    }
  }
  pb.ioResult = err;
  return err;
}

// ---------------------------------------------------------------------------------------------
// Clock and notification
// ---------------------------------------------------------------------------------------------

UTCDateTime FilesNowUTC(void) {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  int64_t intSeconds = int64_t(ts.tv_sec) + kSeconds1904To1970;
  if (intSeconds < 0) intSeconds = 0;
  return UTCDateTime{UInt16(uint64_t(intSeconds) >> 32), UInt32(uint64_t(intSeconds)),
                     UInt16((uint64_t(ts.tv_nsec) << 16) / 1000000000ULL)};
}

OSErr GetUTCDateTime(UTCDateTime* utcDateTime, OptionBits options) {
  (void)options;
  if (utcDateTime == nullptr) return paramErr;
  {
    stcTestState& state = TestState();
    std::lock_guard<std::mutex> lock(state.mtxLock);
    if (state.blnClockPinned) {
      *utcDateTime = state.udtPinnedClock;
      return noErr;
    }
  }
  *utcDateTime = FilesNowUTC();
  return noErr;
}

OSErr ConvertLocalTimeToUTC(UInt32 localSeconds, UInt32* utcSeconds) {
  if (utcSeconds == nullptr) return paramErr;
  // The local wall-clock time, read as fields, then placed by the system time zone.
  time_t intWall = time_t(int64_t(localSeconds) - kSeconds1904To1970);
  struct tm tmWall;
  if (gmtime_r(&intWall, &tmWall) == nullptr) return kUTCUnderflowErr;
  tmWall.tm_isdst = -1;
  time_t intUTC = mktime(&tmWall);
  int64_t intResult = int64_t(intUTC) + kSeconds1904To1970;
  if (intResult < 0) return kUTCUnderflowErr;
  if (intResult > int64_t(0xFFFFFFFFu)) return kUTCOverflowErr;
  *utcSeconds = UInt32(intResult);
  return noErr;
}

OSErr ConvertUTCToLocalTime(UInt32 utcSeconds, UInt32* localSeconds) {
  if (localSeconds == nullptr) return paramErr;
  time_t intUTC = time_t(int64_t(utcSeconds) - kSeconds1904To1970);
  struct tm tmLocal;
  if (localtime_r(&intUTC, &tmLocal) == nullptr) return kUTCUnderflowErr;
  int64_t intResult = int64_t(utcSeconds) + int64_t(tmLocal.tm_gmtoff);
  if (intResult < 0) return kUTCUnderflowErr;
  if (intResult > int64_t(0xFFFFFFFFu)) return kUTCOverflowErr;
  *localSeconds = UInt32(intResult);
  return noErr;
}

OSStatus FNNotify(FSRef const* ref, FNMessage message, OptionBits flags) {
  (void)message;
  (void)flags;
  std::string strPath;
  OSErr err = FilesRefGetLivePath(ref, &strPath);
  if (err == noErr) err = FilesCheckCall("FNNotify", strPath);
  return err;
}
