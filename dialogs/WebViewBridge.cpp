// WebViewBridge: finding and loading the web-view bundle, and forwarding to its entry points
// (see dialogs/WebViewBridge.h). The plug-in's own bundle is found by its identifier; the web-view
// bundle lies in its private frameworks folder.
#include "dialogs/WebViewBridge.h"

#include "files/XFileSpec.h"

CFBundleRef g_udtWebKitInterfaceBundle = nullptr;
Cocoa_InitWebViewProcPtr Cocoa_InitWebView = nullptr;
Cocoa_UpdateWebViewURLProcPtr Cocoa_UpdateWebViewURL = nullptr;
Cocoa_UpdateWebViewContentProcPtr Cocoa_UpdateWebViewContent = nullptr;

namespace {

char const kWebViewBundleName[] = "WebKitInterface.bundle";

// True when the web-view bundle is loaded (loading it now when it is not).
bool HaveWebViewBundle() {
  if (g_udtWebKitInterfaceBundle == nullptr) {
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, kWebViewBundleName,
                                                 kCFStringEncodingUTF8);
    if (name == nullptr) return false;
    LoadPrivateFrameworkBundle(name, &g_udtWebKitInterfaceBundle);
    CFRelease(name);
  }
  return g_udtWebKitInterfaceBundle != nullptr;
}

// Looks the entry point up in the bundle when it is not known yet.
template <typename ProcPtr>
void Resolve(ProcPtr& entry, char const* name) {
  if (entry != nullptr) return;
  CFStringRef function = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8);
  if (function == nullptr) return;
  entry = reinterpret_cast<ProcPtr>(
      CFBundleGetFunctionPointerForName(g_udtWebKitInterfaceBundle, function));
  CFRelease(function);
}

}  // namespace

void LoadPrivateFrameworkBundle(CFStringRef name, CFBundleRef* out) {
  if (out == nullptr) return;
  *out = nullptr;
  CFMutableStringRef identifier = CFStringCreateMutable(kCFAllocatorDefault, 256);
  if (identifier == nullptr) return;
  CFStringAppendCString(identifier, g_strPluginBundleIdentifier, kCFStringEncodingUTF8);
  CFBundleRef plugin = CFBundleGetBundleWithIdentifier(identifier);
  CFURLRef frameworks = plugin != nullptr ? CFBundleCopyPrivateFrameworksURL(plugin) : nullptr;
  CFURLRef location = frameworks != nullptr
                          ? CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, frameworks,
                                                                  name, false)
                          : nullptr;
  CFBundleRef bundle = location != nullptr ? CFBundleCreate(kCFAllocatorDefault, location) : nullptr;
  if (bundle != nullptr) {
    if (CFBundleLoadExecutable(bundle)) {
      *out = bundle;
    } else {
      CFRelease(bundle);
    }
  }
  if (location != nullptr) CFRelease(location);
  if (frameworks != nullptr) CFRelease(frameworks);
  CFRelease(identifier);
}

void WKI_InitWebView(HIViewRef webView) {
  if (!HaveWebViewBundle()) return;
  Resolve(Cocoa_InitWebView, "Cocoa_InitWebView");
  if (Cocoa_InitWebView != nullptr) Cocoa_InitWebView(webView);
}

void WKI_UpdateWebViewURL(HIViewRef webView, CFURLRef url) {
  if (!HaveWebViewBundle()) return;
  Resolve(Cocoa_UpdateWebViewURL, "Cocoa_UpdateWebViewURL");
  if (Cocoa_UpdateWebViewURL != nullptr) Cocoa_UpdateWebViewURL(webView, url);
}

void WKI_UpdateWebViewContent(HIViewRef webView, CFStringRef html) {
  if (!HaveWebViewBundle()) return;
  Resolve(Cocoa_UpdateWebViewContent, "Cocoa_UpdateWebViewContent");
  if (Cocoa_UpdateWebViewContent != nullptr) Cocoa_UpdateWebViewContent(webView, html);
}
