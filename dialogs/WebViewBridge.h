// WebViewBridge: the way to the web-view bundle "WebKitInterface.bundle" in the plug-in's
// private frameworks, which loads URLs and HTML text into a web view for us.
// Interface: WKI_InitWebView (prepare a new view), WKI_UpdateWebViewURL (load a URL),
// WKI_UpdateWebViewContent (show HTML text); LoadPrivateFrameworkBundle; the loaded bundle and
// its three entry points as globals.
// Relies on the CoreFoundation bundle, URL and string stand-ins and the plug-in's bundle
// identifier. The bundle is loaded on the first call and kept; each entry point is looked up on
// its first use. Every failure is silent and tried again on the next call: the view stays empty.
// Host thread only; the globals are not guarded.
#pragma once

#include "platform/carbon/Controls.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFString.h"
#include "platform/cf/CFURL.h"

typedef void (*Cocoa_InitWebViewProcPtr)(HIViewRef webView);
typedef void (*Cocoa_UpdateWebViewURLProcPtr)(HIViewRef webView, CFURLRef url);
typedef void (*Cocoa_UpdateWebViewContentProcPtr)(HIViewRef webView, CFStringRef html);

extern CFBundleRef g_udtWebKitInterfaceBundle;
extern Cocoa_InitWebViewProcPtr Cocoa_InitWebView;
extern Cocoa_UpdateWebViewURLProcPtr Cocoa_UpdateWebViewURL;
extern Cocoa_UpdateWebViewContentProcPtr Cocoa_UpdateWebViewContent;

// *out becomes the loaded bundle called name in the plug-in's private frameworks, or null.
void LoadPrivateFrameworkBundle(CFStringRef name, CFBundleRef* out);

void WKI_InitWebView(HIViewRef webView);
void WKI_UpdateWebViewURL(HIViewRef webView, CFURLRef url);
void WKI_UpdateWebViewContent(HIViewRef webView, CFStringRef html);
