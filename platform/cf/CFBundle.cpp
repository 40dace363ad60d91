// CFBundle: bundles as locations of code: the running program's folder (main bundle) and the
// loaded libraries that registered an identifier with an address inside them.
// Bundles keep the real path of their location and turn it into a URL on demand, so a change
// of the File Manager stand-in's root is seen. They are never freed: a bundle handed out under
// the Get rule stays valid however often its identifier is registered again.
// Relies on CFURL, CFString, FilesStandIn (virtual paths), dladdr, realpath and /proc/self/exe.
// Failures answer NULL / false; one mutex guards the registry.
#include "platform/cf/CFBundle.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/carbon/FilesStandIn.h"

struct __CFBundle : public CFRuntimeObject {
  __CFBundle() : CFRuntimeObject(kCFRuntimeTypeBundle) {}
  std::string m_strRealPath;
  bool m_blnIsDirectory = false;
};

namespace {

struct stcBundleRegistry {
  std::mutex mtxLock;
  std::map<std::u16string, __CFBundle*> mapByIdentifier;
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

bool ProgramPath(std::string* path) {
  char chrBuffer[PATH_MAX];
  ssize_t intLength = readlink("/proc/self/exe", chrBuffer, sizeof(chrBuffer) - 1);
  if (intLength <= 0) return false;
  *path = std::string(chrBuffer, size_t(intLength));
  return true;
}

__CFBundle* NewBundle(std::string const& realPath, bool isDirectory) {
  __CFBundle* pBundle = new (std::nothrow) __CFBundle();
  if (pBundle == nullptr) return nullptr;
  pBundle->m_strRealPath = realPath;
  pBundle->m_blnIsDirectory = isDirectory;
  return pBundle;
}

}  // namespace

CFTypeID CFBundleGetTypeID(void) { return kCFRuntimeTypeBundle; }

CFBundleRef CFBundleGetMainBundle(void) {
  static __CFBundle* s_pMain = []() -> __CFBundle* {
    std::string strProgram;
    if (!ProgramPath(&strProgram)) return nullptr;
    size_t pos = strProgram.rfind('/');
    std::string strFolder = pos == 0 || pos == std::string::npos ? "/" : strProgram.substr(0, pos);
    return NewBundle(strFolder, true);
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
  if (identifier == nullptr || CFStringGetLength(identifier) == 0 || address == nullptr) return FALSE;
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
  __CFBundle* pBundle = NewBundle(strFile, false);
  if (pBundle == nullptr) return FALSE;
  stcBundleRegistry& registry = Registry();
  std::lock_guard<std::mutex> lock(registry.mtxLock);
  registry.mapByIdentifier[Units(identifier)] = pBundle;  // an earlier bundle stays valid
  return TRUE;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
  if (bundle == nullptr) return nullptr;
  std::string strPath;
  if (!FSStandInVirtualFromReal(bundle->m_strRealPath, &strPath)) strPath = bundle->m_strRealPath;
  std::u16string units = FSStandInUTF8ToUTF16(strPath);
  CFStringRef strURLPath = CFStringCreateWithCharacters(
      kCFAllocatorDefault, reinterpret_cast<UniChar const*>(units.data()), CFIndex(units.size()));
  if (strURLPath == nullptr) return nullptr;
  CFURLRef urlOut = CFURLCreateWithFileSystemPath(kCFAllocatorDefault, strURLPath,
                                                  kCFURLPOSIXPathStyle, bundle->m_blnIsDirectory);
  CFRelease(strURLPath);
  return urlOut;
}
