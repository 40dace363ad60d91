// HIWebView: the web view is a window-server view of its own class; the engine's start is counted.
#include "platform/webkit/HIWebView.h"

#include <atomic>

namespace {
std::atomic<int> g_intInitCalls{0};
}  // namespace

void WebInitForCarbon(void) { ++g_intInitCalls; }

OSStatus HIWebViewCreate(HIViewRef* outControl) {
  CFStringRef classID = CFStringCreateWithCString(nullptr, "WebView", kCFStringEncodingUTF8);
  if (classID == nullptr) return -108;
  OSStatus status = HIObjectCreate(classID, nullptr, outControl);
  CFRelease(classID);
  return status;
}

int WebInitForCarbonCallsForTesting(void) { return g_intInitCalls; }
