// CGDataProvider: providers over a whole file or the caller's bytes (see CGDataProvider.h).
// A file URL's path is the File Manager stand-in's virtual path; it is read through its real
// path in one go when the provider is made.
#include "platform/cg/CGDataProvider.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>
#include <vector>

#include "platform/carbon/FilesStandIn.h"
#include "platform/cg/CGInternal.h"

namespace {

// The real path of a file URL; false for a URL that names no path.
bool RealPathOf(CFURLRef url, std::string* realPath) {
  CFURLRef absolute = CFURLCopyAbsoluteURL(url);
  if (absolute == nullptr) return false;
  CFStringRef path = CFURLCopyFileSystemPath(absolute, kCFURLPOSIXPathStyle);
  CFRelease(absolute);
  if (path == nullptr) return false;
  CFIndex const length = CFStringGetLength(path);
  std::vector<UniChar> units(size_t(length) + 1);
  CFStringGetCharacters(path, CFRangeMake(0, length), units.data());
  CFRelease(path);
  *realPath = FSStandInRealPath(FSStandInUTF16ToUTF8(units.data(), size_t(length)));
  return true;
}

bool ReadWholeFile(std::string const& path, std::vector<unsigned char>* bytes) {
  int const fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  try {
    if (ok) bytes->resize(size_t(info.st_size));
  } catch (...) {
    ok = false;
  }
  size_t done = 0;
  while (ok && done < bytes->size()) {
    ssize_t const got = read(fd, bytes->data() + done, bytes->size() - done);
    if (got <= 0) {
      ok = false;
      break;
    }
    done += size_t(got);
  }
  close(fd);
  return ok;
}

}  // namespace

CGDataProviderRef CGDataProviderCreateWithURL(CFURLRef url) {
  if (url == nullptr) return nullptr;
  std::string path;
  if (!RealPathOf(url, &path)) return nullptr;
  CGDataProvider* provider = new (std::nothrow) CGDataProvider();
  if (provider == nullptr) return nullptr;
  if (!ReadWholeFile(path, &provider->m_vecOwned)) {
    delete provider;
    return nullptr;
  }
  provider->m_ptrData = provider->m_vecOwned.data();
  provider->m_intSize = provider->m_vecOwned.size();
  return provider;
}

CGDataProviderRef CGDataProviderCreateWithData(void* info, void const* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData) {
  if (data == nullptr && size > 0) return nullptr;
  CGDataProvider* provider = new (std::nothrow) CGDataProvider();
  if (provider == nullptr) return nullptr;
  provider->m_ptrData = static_cast<unsigned char const*>(data);
  provider->m_intSize = size;
  provider->m_ptrInfo = info;
  provider->m_fnReleaseData = releaseData;
  return provider;
}

CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider) {
  if (provider != nullptr) CFRetain(provider);
  return provider;
}

void CGDataProviderRelease(CGDataProviderRef provider) {
  if (provider != nullptr) CFRelease(provider);
}
