// CFURLInternal: the URL object of the CoreFoundation stand-in, shared by the units that make
// URLs (CFURL.cpp, CFURLText.cpp). Not for code above the stand-ins.
// A file URL keeps its path; any other URL (a web address, "about:blank") keeps its text and has
// no path.
#pragma once

#include <mutex>
#include <string>

#include "platform/cf/CFURL.h"

struct __CFURL : public CFRuntimeObject {
  __CFURL() : CFRuntimeObject(kCFRuntimeTypeURL) {}
  ~__CFURL() override {
    if (m_urlBase != nullptr) CFRelease(m_urlBase);
    if (m_strString != nullptr) CFRelease(m_strString);
  }
  std::string m_strPath;  // a file URL's path: absolute, or relative to m_urlBase
  bool m_blnIsDirectory = false;
  CFURLRef m_urlBase = nullptr;
  bool m_blnIsFileURL = true;
  std::string m_strText;  // the text of a URL that is not a file URL (UTF-8)
  // The URL's string, made on first request (CFURLGetString).
  mutable std::once_flag m_flgString;
  mutable CFStringRef m_strString = nullptr;
};
