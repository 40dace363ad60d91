// WebKitInterface: the web-view bundle. It exports the three entry points the plug-in's web-view
// bridge resolves by name, as plain C: Cocoa_InitWebView(view), Cocoa_UpdateWebViewURL(view,
// url) and Cocoa_UpdateWebViewContent(view, html). There is no web engine behind them: each call
// is recorded as one line, and WebKitInterfaceRecordForTesting hands the record to tests:
//   Cocoa_InitWebView view=<pointer>
//   Cocoa_UpdateWebViewURL view=<pointer> url=<the URL's text>
//   Cocoa_UpdateWebViewContent view=<pointer> html=<the text>
// The URL and HTML texts are read through the CoreFoundation functions of the process that
// loaded the bundle, found at run time as the platform's would be. The CoreFoundation stand-in
// is written in C++, so they are looked up by their C++ link names. "(null)" stands for a null
// argument and "?" for a text that cannot be read.
// Links nothing of ours; one lock guards the record.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

typedef void const* CFTypeRef;
typedef CFTypeRef (*URLGetStringProc)(CFTypeRef url);
typedef int32_t (*StringGetLengthProc)(CFTypeRef string);
typedef unsigned char (*StringGetCStringProc)(CFTypeRef string, char* buffer, int32_t size,
                                              uint32_t encoding);

constexpr uint32_t kEncodingUTF8 = 0x08000100;

// CFURLGetString(CFURLRef), CFStringGetLength(CFStringRef) and CFStringGetCString(CFStringRef,
// char*, CFIndex, CFStringEncoding).
char const kURLGetString[] = "_Z14CFURLGetStringPK7__CFURL";
char const kStringGetLength[] = "_Z17CFStringGetLengthPK10__CFString";
char const kStringGetCString[] = "_Z18CFStringGetCStringPK10__CFStringPcij";

std::mutex g_mtxRecord;
std::string g_strRecord;
std::string g_strHandedOut;

std::string PointerText(void const* pointer) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%p", pointer);
  return buffer;
}

std::string StringText(CFTypeRef string) {
  if (string == nullptr) return "(null)";
  auto length = reinterpret_cast<StringGetLengthProc>(dlsym(RTLD_DEFAULT, kStringGetLength));
  auto getCString = reinterpret_cast<StringGetCStringProc>(dlsym(RTLD_DEFAULT, kStringGetCString));
  if (length == nullptr || getCString == nullptr) return "?";
  std::vector<char> buffer(size_t(length(string)) * 3 + 1);
  if (!getCString(string, buffer.data(), int32_t(buffer.size()), kEncodingUTF8)) return "?";
  return buffer.data();
}

std::string URLText(CFTypeRef url) {
  if (url == nullptr) return "(null)";
  auto getString = reinterpret_cast<URLGetStringProc>(dlsym(RTLD_DEFAULT, kURLGetString));
  if (getString == nullptr) return "?";
  return StringText(getString(url));
}

void Record(std::string const& line) {
  std::lock_guard<std::mutex> lock(g_mtxRecord);
  g_strRecord += line + "\n";
}

}  // namespace

extern "C" {

// Built without it, the bundle lets tests see a missing entry point.
#ifndef WEBKITINTERFACE_WITHOUT_INIT
__attribute__((visibility("default"))) void Cocoa_InitWebView(void* view) {
  Record("Cocoa_InitWebView view=" + PointerText(view));
}
#endif

__attribute__((visibility("default"))) void Cocoa_UpdateWebViewURL(void* view, void const* url) {
  Record("Cocoa_UpdateWebViewURL view=" + PointerText(view) + " url=" + URLText(url));
}

__attribute__((visibility("default"))) void Cocoa_UpdateWebViewContent(void* view,
                                                                       void const* html) {
  Record("Cocoa_UpdateWebViewContent view=" + PointerText(view) + " html=" + StringText(html));
}

// Every call so far, one line each; the text stays valid until the next call of this function.
__attribute__((visibility("default"))) char const* WebKitInterfaceRecordForTesting(void) {
  std::lock_guard<std::mutex> lock(g_mtxRecord);
  g_strHandedOut = g_strRecord;
  return g_strHandedOut.c_str();
}

}  // extern "C"
