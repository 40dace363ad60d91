// FilesFolders: FSFindFolder, the Folder Manager of the File Manager stand-in, mapping the
// platform's folder types and domains onto the Linux conventions (XDG base and user folders,
// $TMPDIR, $HOME; see the table in Files.h), each overridable with FSStandInSetFolder.
// Relies on Files.cpp for references and volumes, on the environment and the password
// database. Fails with fnfErr for an unknown type or domain and for a missing folder when not
// asked to create it, nsvErr for an unknown volume, and the errno code of a failed creation.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesShared.h"
#include "platform/carbon/FilesStandIn.h"

namespace {

// An environment variable's value when it is an absolute path (relative values are ignored,
// as the XDG rules ask).
std::string EnvFolder(char const* name) {
  char const* pchrValue = std::getenv(name);
  return pchrValue != nullptr && pchrValue[0] == '/' ? std::string(pchrValue) : std::string();
}

std::string HomeFolder() {
  std::string strHome = EnvFolder("HOME");
  if (!strHome.empty()) return strHome;
  struct passwd pwd;
  struct passwd* pResult = nullptr;
  std::vector<char> vecBuffer(16384);
  if (getpwuid_r(getuid(), &pwd, vecBuffer.data(), vecBuffer.size(), &pResult) == 0 &&
      pResult != nullptr && pwd.pw_dir != nullptr && pwd.pw_dir[0] == '/')
    return pwd.pw_dir;
  return std::string();
}

// base + tail, or nothing when the base is unknown.
std::string Below(std::string const& base, char const* tail) {
  return base.empty() ? std::string() : base + tail;
}

std::string ConfigHome() {
  std::string strFolder = EnvFolder("XDG_CONFIG_HOME");
  return strFolder.empty() ? Below(HomeFolder(), "/.config") : strFolder;
}

std::string DataHome() {
  std::string strFolder = EnvFolder("XDG_DATA_HOME");
  return strFolder.empty() ? Below(HomeFolder(), "/.local/share") : strFolder;
}

std::string TempFolder() {
  std::string strFolder = EnvFolder("TMPDIR");
  return strFolder.empty() ? std::string("/tmp") : strFolder;
}

// The folder of a type in the user's column or in the system's (system and local domains);
// empty when the type has none there.
std::string DefaultFolder(OSType folderType, bool user) {
  switch (folderType) {
    case kSystemFolderType: return user ? std::string() : std::string("/etc");
    case kSystemDesktopFolderType:
    case kVolumeRootFolderType: return "/";
    case kTrashFolderType: return user ? Below(DataHome(), "/Trash") : std::string();
    case kStartupFolderType: return user ? Below(ConfigHome(), "/autostart") : "/etc/xdg/autostart";
    case kPreferencesFolderType: return user ? ConfigHome() : "/etc/xdg";
    case kTemporaryFolderType:
    case kChewableItemsFolderType: return TempFolder();
    case kApplicationsFolderType:
      return user ? Below(DataHome(), "/applications") : "/usr/share/applications";
    case kDocumentsFolderType: return user ? Below(HomeFolder(), "/Documents") : std::string();
    case kDesktopFolderType: return user ? Below(HomeFolder(), "/Desktop") : std::string();
    case kCurrentUserFolderType: return user ? HomeFolder() : std::string();
    case kApplicationSupportFolderType: return user ? DataHome() : "/usr/share";
    default: return std::string();
  }
}

struct stcCandidate {
  SInt16 intDomain;
  bool blnUser;
};

// Where a folder type lies for a domain or volume: an override of that domain first, then the
// default of its column; the system disk falls back to the user's column.
OSErr FolderPath(SInt16 vRefNum, OSType folderType, std::string* path, bool* user) {
  std::vector<stcCandidate> vecCandidates;
  auto SystemDisk = [&vecCandidates]() {
    vecCandidates.push_back(stcCandidate{kOnSystemDisk, false});
    vecCandidates.push_back(stcCandidate{kUserDomain, true});
  };
  switch (vRefNum) {
    case kUserDomain: vecCandidates.push_back(stcCandidate{kUserDomain, true}); break;
    case kSystemDomain: vecCandidates.push_back(stcCandidate{kSystemDomain, false}); break;
    case kLocalDomain: vecCandidates.push_back(stcCandidate{kLocalDomain, false}); break;
    case kOnSystemDisk: SystemDisk(); break;
    case kNetworkDomain:
    case kClassicDomain: return fnfErr;
    default: {
      stcFilesVolume vol;
      if (FilesVolumeByRefNum(FSVolumeRefNum(vRefNum), &vol) != noErr) return nsvErr;
      if (vol.blnStartup) {
        SystemDisk();
      } else if (folderType == kVolumeRootFolderType || folderType == kSystemDesktopFolderType) {
        *path = vol.strRoot;  // another volume offers its root only
        *user = false;
        return noErr;
      } else {
        return fnfErr;
      }
    }
  }
  for (stcCandidate const& candidate : vecCandidates) {
    std::string strFolder;
    if (!FilesFolderOverride(candidate.intDomain, folderType, &strFolder))
      strFolder = DefaultFolder(folderType, candidate.blnUser);
    if (!strFolder.empty()) {
      *path = strFolder;
      *user = candidate.blnUser;
      return noErr;
    }
  }
  return fnfErr;
}

// Creates the folder and its missing parents, below the root only.
OSErr MakeFolders(std::string const& virtualPath, mode_t mode) {
  std::string strPrefix;
  size_t pos = 1;
  while (pos <= virtualPath.size()) {
    size_t next = virtualPath.find('/', pos);
    if (next == std::string::npos) next = virtualPath.size();
    strPrefix = virtualPath.substr(0, next);
    std::string strReal = FSStandInRealPath(strPrefix);
    if (mkdir(strReal.c_str(), mode) != 0) {
      if (errno != EEXIST) return FSStandInErrnoToOSErr(errno);
      struct stat st;
      if (stat(strReal.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return dirNFErr;
    }
    pos = next + 1;
  }
  return noErr;
}

}  // namespace

OSErr FSFindFolder(SInt16 vRefNum, OSType folderType, Boolean createFolder, FSRef* foundRef) {
  if (foundRef == nullptr) return paramErr;
  std::string strFolder, strPath;
  bool blnUser = false;
  OSErr err = FolderPath(vRefNum, folderType, &strFolder, &blnUser);
  if (err != noErr) return err;
  err = FSStandInNormalizePath(strFolder, &strPath);
  if (err != noErr) return err;
  FSRef ref;
  Boolean blnIsDir = FALSE;
  err = FilesMakeRefForPath(strPath, &ref, &blnIsDir);
  if (err == fnfErr && createFolder) {
    // The user's own folders are private to the user.
    err = MakeFolders(strPath, blnUser ? 0700 : 0755);
    if (err == noErr) err = FilesMakeRefForPath(strPath, &ref, &blnIsDir);
  }
  if (err != noErr) return err;
  if (!blnIsDir) return dirNFErr;
  *foundRef = ref;
  return noErr;
}
