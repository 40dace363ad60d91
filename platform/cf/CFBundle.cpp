// CFBundle: bundles as folders of code: the running program's folder (main bundle) and the
// folders of loaded libraries that registered an identifier with an address inside them (or
// that a test placed). Resource and private-framework URLs are paths inside the folder.
// Bundles keep the real path of their folder and turn it into a URL on demand, so a change of
// the File Manager stand-in's root is seen. They are never freed: a bundle handed out under
// the Get rule stays valid however often its identifier is registered again.
// Relies on CFURL, CFString, FilesStandIn (virtual paths), dladdr, realpath, stat and
// /proc/self/exe. Failures answer NULL / false; one mutex guards the registry.
#include "platform/cf/CFBundle.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/carbon/FilesStandIn.h"
#include "platform/cf/CFBundleInternal.h"

namespace {

char const kResourcesFolder[] = "/Resources";
char const kPrivateFrameworksFolder[] = "/PrivateFrameworks";

struct stcBundleRegistry {
  std::mutex mtxLock;
  std::map<std::u16string, __CFBundle*> mapByIdentifier;
  std::vector<__CFBundle*> vecReplaced;  // kept for whoever still holds one
};

// Never destroyed, like the bundles it holds.
stcBundleRegistry& Registry() {
  static stcBundleRegistry* s_pRegistry = new stcBundleRegistry();
  return *s_pRegistry;
}

std::u16string Units(CFStringRef text) {
  CFIndex intLength = CFStringGetLength(text);
  std::vector<UniChar> vecUnits(size_t(intLength) + 1);
  CFStringGetCharacters(text, CFRangeMake(0, intLength), vecUnits.data());
  return std::u16string(vecUnits.begin(), vecUnits.begin() + intLength);
}

std::string UTF8(CFStringRef text) {
  if (text == nullptr) return std::string();
  std::u16string units = Units(text);
  return FSStandInUTF16ToUTF8(reinterpret_cast<UniChar const*>(units.data()), units.size());
}

bool ProgramPath(std::string* path) {
  char chrBuffer[PATH_MAX];
  ssize_t intLength = readlink("/proc/self/exe", chrBuffer, sizeof(chrBuffer) - 1);
  if (intLength <= 0) return false;
  *path = std::string(chrBuffer, size_t(intLength));
  return true;
}

std::string FolderOf(std::string const& file) {
  size_t pos = file.rfind('/');
  return pos == 0 || pos == std::string::npos ? "/" : file.substr(0, pos);
}

// A folder path without a trailing '/' (but "/"), so sub-paths join with one '/'.
std::string Joined(std::string const& folder, std::string const& rest) {
  return (folder == "/" ? std::string() : folder) + rest;
}

__CFBundle* NewBundle(std::string const& realFolder) {
  __CFBundle* pBundle = new (std::nothrow) __CFBundle();
  if (pBundle == nullptr) return nullptr;
  pBundle->m_strRealFolder = realFolder;
  return pBundle;
}

Boolean Register(CFStringRef identifier, std::string const& realFolder) {
  __CFBundle* pBundle = NewBundle(realFolder);
  if (pBundle == nullptr) return FALSE;
  stcBundleRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mtxLock);
  __CFBundle*& pSlot = registry.mapByIdentifier[Units(identifier)];
  if (pSlot != nullptr) registry.vecReplaced.push_back(pSlot);  // an earlier bundle stays valid
  pSlot = pBundle;
  return TRUE;
}

bool UsableIdentifier(CFStringRef identifier) {
  return identifier != nullptr && CFStringGetLength(identifier) > 0;
}

// The URL of a real path: its virtual path below the stand-in's root, else the real one.
CFURLRef URLOfRealPath(std::string const& realPath, bool isDirectory) {
  std::string strPath;
  if (!FSStandInVirtualFromReal(realPath, &strPath)) strPath = realPath;
  std::u16string units = FSStandInUTF8ToUTF16(strPath);
  CFStringRef strURLPath = CFStringCreateWithCharacters(
      kCFAllocatorDefault, reinterpret_cast<UniChar const*>(units.data()), CFIndex(units.size()));
  if (strURLPath == nullptr) return nullptr;
  CFURLRef urlOut =
      CFURLCreateWithFileSystemPath(kCFAllocatorDefault, strURLPath, kCFURLPOSIXPathStyle, isDirectory);
  CFRelease(strURLPath);
  return urlOut;
}

bool HasStep(std::string const& path, char const* step) {
  size_t start = 0;
  while (true) {
    size_t slash = path.find('/', start);
    if (path.compare(start, slash == std::string::npos ? std::string::npos : slash - start, step) == 0) {
      return true;
    }
    if (slash == std::string::npos) return false;
    start = slash + 1;
  }
}

}  // namespace

CFTypeID CFBundleGetTypeID(void) { return kCFRuntimeTypeBundle; }

CFBundleRef CFBundleGetMainBundle(void) {
  static __CFBundle* s_pMain = []() -> __CFBundle* {
    std::string strProgram;
    if (!ProgramPath(&strProgram)) return nullptr;
    return NewBundle(FolderOf(strProgram));
  }();
  return s_pMain;
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
  if (bundleID == nullptr) return nullptr;
  stcBundleRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mtxLock);
  auto it = registry.mapByIdentifier.find(Units(bundleID));
  return it == registry.mapByIdentifier.end() ? nullptr : it->second;
}

Boolean CFBundleRegisterForAddress(CFStringRef identifier, void const* address) {
  if (!UsableIdentifier(identifier) || address == nullptr) return FALSE;
  Dl_info info;
  if (dladdr(address, &info) == 0) return FALSE;
  // The main program's entry may carry no usable name; /proc/self/exe names it then.
  std::string strFile;
  if (info.dli_fname != nullptr && std::string(info.dli_fname).find('/') != std::string::npos) {
    char chrResolved[PATH_MAX];
    if (realpath(info.dli_fname, chrResolved) == nullptr) return FALSE;
    strFile = chrResolved;
  } else if (!ProgramPath(&strFile)) {
    return FALSE;
  }
  return Register(identifier, FolderOf(strFile));
}

Boolean CFBundleSetLocationForTesting(CFStringRef identifier, char const* realFolderPath) {
  if (!UsableIdentifier(identifier)) return FALSE;
  if (realFolderPath == nullptr) {
    stcBundleRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mtxLock);
    auto it = registry.mapByIdentifier.find(Units(identifier));
    if (it != registry.mapByIdentifier.end()) {
      registry.vecReplaced.push_back(it->second);
      registry.mapByIdentifier.erase(it);
    }
    return TRUE;
  }
  std::string strFolder = realFolderPath;
  if (strFolder.empty()) return FALSE;
  if (strFolder[0] != '/') {
    char chrCurrent[PATH_MAX];
    if (getcwd(chrCurrent, sizeof(chrCurrent)) == nullptr) return FALSE;
    strFolder = Joined(chrCurrent, "/" + strFolder);
  }
  while (strFolder.size() > 1 && strFolder.back() == '/') strFolder.pop_back();
  return Register(identifier, strFolder);
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
  if (bundle == nullptr) return nullptr;
  return URLOfRealPath(bundle->m_strRealFolder, true);
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName,
                                 CFStringRef resourceType, CFStringRef subDirName) {
  if (bundle == nullptr || resourceName == nullptr) return nullptr;
  std::string strName = UTF8(resourceName);
  std::string strType = UTF8(resourceType);
  std::string strSubDir = UTF8(subDirName);
  if (strName.empty() || strName == "." || strName == ".." || strName.find('/') != std::string::npos ||
      strType.find('/') != std::string::npos || HasStep(strSubDir, "..")) {
    return nullptr;
  }
  if (!strType.empty()) strName += "." + strType;
  std::string strPath = Joined(bundle->m_strRealFolder, kResourcesFolder);
  if (!strSubDir.empty()) strPath += "/" + strSubDir;
  strPath += "/" + strName;
  struct stat info;
  if (stat(strPath.c_str(), &info) != 0) return nullptr;
  return URLOfRealPath(strPath, S_ISDIR(info.st_mode));
}

CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle) {
  if (bundle == nullptr) return nullptr;
  return URLOfRealPath(Joined(bundle->m_strRealFolder, kPrivateFrameworksFolder), true);
}
