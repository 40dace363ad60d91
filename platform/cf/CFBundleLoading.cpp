// CFBundleLoading: bundles made from a folder URL, and their code loaded and looked up (see
// CFBundle.h). Loading is dlopen of the executable with its own symbols kept to itself
// (RTLD_LOCAL), look-up is dlsym on that handle, so a function of the bundle is found even
// when the loading program has a symbol of the same name.
// Relies on CFBundleInternal.h, CFURL, the File Manager stand-in's real paths, stat and dlopen.
// One mutex guards loading. Failures answer NULL / false; nothing throws.
#include <dlfcn.h>
#include <sys/stat.h>

#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/carbon/FilesStandIn.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFBundleInternal.h"

namespace {

std::mutex& LoadLock() {
  static std::mutex* s_pLock = new std::mutex();
  return *s_pLock;
}

std::string UTF8Of(CFStringRef text) {
  CFIndex const length = CFStringGetLength(text);
  std::vector<UniChar> units(size_t(length) + 1);
  CFStringGetCharacters(text, CFRangeMake(0, length), units.data());
  return FSStandInUTF16ToUTF8(units.data(), size_t(length));
}

// The real path of the folder a file URL names; false when the URL has no path.
bool RealFolderOf(CFURLRef url, std::string* realPath) {
  CFURLRef absolute = CFURLCopyAbsoluteURL(url);
  if (absolute == nullptr) return false;
  CFStringRef path = CFURLCopyFileSystemPath(absolute, kCFURLPOSIXPathStyle);
  CFRelease(absolute);
  if (path == nullptr) return false;
  *realPath = FSStandInRealPath(UTF8Of(path));
  CFRelease(path);
  while (realPath->size() > 1 && realPath->back() == '/') realPath->pop_back();
  return true;
}

std::string ExecutablePath(std::string const& folder) {
  std::string name = folder.substr(folder.rfind('/') + 1);
  size_t const dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return folder + "/" + name;
}

}  // namespace

CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL) {
  (void)allocator;
  if (bundleURL == nullptr) return nullptr;
  std::string folder;
  if (!RealFolderOf(bundleURL, &folder)) return nullptr;
  struct stat info;
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
  __CFBundle* bundle = new (std::nothrow) __CFBundle();
  if (bundle == nullptr) return nullptr;
  bundle->m_strRealFolder = folder;
  return bundle;
}

Boolean CFBundleLoadExecutable(CFBundleRef bundle) {
  if (bundle == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(LoadLock());
  if (bundle->m_ptrExecutable != nullptr) return TRUE;
  bundle->m_ptrExecutable =
      dlopen(ExecutablePath(bundle->m_strRealFolder).c_str(), RTLD_NOW | RTLD_LOCAL);
  return bundle->m_ptrExecutable != nullptr ? TRUE : FALSE;
}

void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName) {
  if (bundle == nullptr || functionName == nullptr) return nullptr;
  if (!CFBundleLoadExecutable(bundle)) return nullptr;
  std::string const name = UTF8Of(functionName);
  if (name.empty()) return nullptr;
  std::lock_guard<std::mutex> lock(LoadLock());
  return dlsym(bundle->m_ptrExecutable, name.c_str());
}
