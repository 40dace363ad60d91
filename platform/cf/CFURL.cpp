// CFURL: file URLs over the File Manager stand-in's virtual POSIX paths.
// A URL keeps its path as UTF-8 bytes (undecodable bytes of a file name survive the trip
// through CFString as U+DC80..U+DCFF) and an optional retained base URL; it is never changed
// after creation, so it may be shared between threads.
// Relies on CFBase, CFString, the File Manager stand-in (FilesStandIn.h) and getcwd. Failures
// answer NULL / false; nothing throws.
#include "platform/cf/CFURL.h"

#include <limits.h>
#include <unistd.h>

#include <new>
#include <string>
#include <vector>

#include "platform/carbon/FilesStandIn.h"
#include "platform/cf/CFURLInternal.h"

namespace {

CFURLRef NewURL(std::string const& path, bool isDirectory, CFURLRef base) {
  __CFURL* pURL = new (std::nothrow) __CFURL();
  if (pURL == nullptr) return nullptr;
  pURL->m_strPath = path;
  pURL->m_blnIsDirectory = isDirectory;
  if (base != nullptr) pURL->m_urlBase = static_cast<CFURLRef>(CFRetain(base));
  return pURL;
}

std::string StringToUTF8(CFStringRef text) {
  CFIndex intLength = CFStringGetLength(text);
  std::vector<UniChar> vecUnits(size_t(intLength) + 1);
  CFStringGetCharacters(text, CFRangeMake(0, intLength), vecUnits.data());
  return FSStandInUTF16ToUTF8(vecUnits.data(), size_t(intLength));
}

CFStringRef UTF8ToString(std::string const& bytes) {
  std::u16string units = FSStandInUTF8ToUTF16(bytes);
  return CFStringCreateWithCharacters(kCFAllocatorDefault,
                                      reinterpret_cast<UniChar const*>(units.data()),
                                      CFIndex(units.size()));
}

std::vector<std::string> Split(std::string const& text, char delimiter) {
  std::vector<std::string> vecParts;
  size_t pos = 0;
  while (true) {
    size_t next = text.find(delimiter, pos);
    vecParts.push_back(text.substr(pos, next == std::string::npos ? std::string::npos : next - pos));
    if (next == std::string::npos) break;
    pos = next + 1;
  }
  return vecParts;
}

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The current folder as a virtual path (its real path when it lies outside the root).
CFURLRef CurrentFolderURL() {
  char chrBuffer[PATH_MAX];
  if (getcwd(chrBuffer, sizeof(chrBuffer)) == nullptr) return nullptr;
  std::string strPath;
  if (!FSStandInVirtualFromReal(chrBuffer, &strPath)) strPath = chrBuffer;
  return NewURL(strPath, true, nullptr);
}

// "Volume:a:b" as /volume-root/a/b, or ":a:b" (relative; an empty step is the parent) as a/b.
bool HFSToPOSIX(std::string const& hfsPath, std::string* posixPath, bool* relative) {
  *relative = hfsPath[0] == ':';
  std::vector<std::string> vecParts = Split(*relative ? hfsPath.substr(1) : hfsPath, ':');
  if (vecParts.back().empty()) vecParts.pop_back();  // one trailing ':' ends a folder's path
  std::string strOut;
  size_t intFirst = 0;
  if (!*relative) {
    if (vecParts.empty() || vecParts[0].empty()) return false;
    std::string strVolume = vecParts[0];
    if (!FSStandInVolumeRootForName(strVolume, &strOut))
      strOut = FSStandInMountFolder() + "/" + FSStandInHFSNameToDisk(strVolume);
    if (strOut == "/") strOut.clear();
    intFirst = 1;
  }
  for (size_t i = intFirst; i < vecParts.size(); ++i) {
    std::string strStep = vecParts[i].empty() ? std::string("..") : FSStandInHFSNameToDisk(vecParts[i]);
    if (!strOut.empty() || !*relative) strOut += "/";
    strOut += strStep;
  }
  if (strOut.empty()) strOut = *relative ? "." : "/";
  *posixPath = strOut;
  return true;
}

std::string POSIXToHFS(std::string const& posixPath, bool relative) {
  std::string strOut, strRest = posixPath;
  if (!relative) {
    std::string strVolume, strRoot;
    FSStandInVolumeOfPath(posixPath, &strVolume, &strRoot);
    strOut = strVolume;
    if (strRoot == "/")
      strRest = posixPath.substr(1);
    else
      strRest = posixPath.size() > strRoot.size() ? posixPath.substr(strRoot.size() + 1) : "";
    if (strRest.empty()) return strOut + ":";
  }
  for (std::string const& step : Split(strRest, '/')) {
    if (step.empty() || step == ".") continue;
    strOut += ":";
    if (step != "..") strOut += FSStandInDiskNameToHFS(step);  // an empty step is the parent
  }
  return strOut;
}

}  // namespace

CFTypeID CFURLGetTypeID(void) { return kCFRuntimeTypeURL; }

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath,
                                       CFURLPathStyle pathStyle, Boolean isDirectory) {
  (void)allocator;
  if (filePath == nullptr) return nullptr;
  std::string strPath = StringToUTF8(filePath);
  if (strPath.empty() || strPath.find('\0') != std::string::npos) return nullptr;
  bool blnRelative = false;
  if (pathStyle == kCFURLHFSPathStyle) {
    std::string strPOSIX;
    if (!HFSToPOSIX(strPath, &strPOSIX, &blnRelative)) return nullptr;
    strPath = strPOSIX;
  } else if (pathStyle == kCFURLPOSIXPathStyle) {
    blnRelative = strPath[0] != '/';
  } else {
    return nullptr;
  }
  if (blnRelative) {
    CFURLRef urlBase = CurrentFolderURL();
    if (urlBase == nullptr) return nullptr;
    CFURLRef urlOut = NewURL(StripTrailingSlashes(strPath), isDirectory != 0, urlBase);
    CFRelease(urlBase);
    return urlOut;
  }
  std::string strNormal;
  if (FSStandInNormalizePath(strPath, &strNormal) != noErr) return nullptr;
  return NewURL(strNormal, isDirectory != 0, nullptr);
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, FSRef const* fsRef) {
  (void)allocator;
  FSCatalogInfo info;
  if (FSGetCatalogInfo(fsRef, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr) != noErr)
    return nullptr;
  std::string strPath;
  if (FSStandInRefGetPath(fsRef, &strPath) != noErr) return nullptr;
  return NewURL(strPath, (info.nodeFlags & kFSNodeIsDirectoryMask) != 0, nullptr);
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle) {
  if (anURL == nullptr || !anURL->m_blnIsFileURL) return nullptr;
  bool blnRelative = anURL->m_urlBase != nullptr;
  if (pathStyle == kCFURLPOSIXPathStyle) return UTF8ToString(StripTrailingSlashes(anURL->m_strPath));
  if (pathStyle == kCFURLHFSPathStyle) return UTF8ToString(POSIXToHFS(anURL->m_strPath, blnRelative));
  return nullptr;
}

CFURLRef CFURLCopyAbsoluteURL(CFURLRef relativeURL) {
  if (relativeURL == nullptr) return nullptr;
  if (relativeURL->m_urlBase == nullptr || !relativeURL->m_blnIsFileURL) {
    return static_cast<CFURLRef>(CFRetain(relativeURL));
  }
  std::string strPath;
  if (FSStandInNormalizePath(relativeURL->m_urlBase->m_strPath + "/" + relativeURL->m_strPath,
                             &strPath) != noErr)
    return nullptr;
  return NewURL(strPath, relativeURL->m_blnIsDirectory, nullptr);
}

Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef) {
  if (url == nullptr || fsRef == nullptr) return FALSE;
  if (!url->m_blnIsFileURL) return FALSE;
  CFURLRef urlAbsolute = CFURLCopyAbsoluteURL(url);
  if (urlAbsolute == nullptr) return FALSE;
  OSStatus err = FSPathMakeRef(reinterpret_cast<UInt8 const*>(urlAbsolute->m_strPath.c_str()),
                               fsRef, nullptr);
  CFRelease(urlAbsolute);
  return err == noErr ? TRUE : FALSE;
}
