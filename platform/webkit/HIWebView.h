// HIWebView: WebKit's Carbon web view, without a web engine.
// Interface: WebInitForCarbon (prepares the engine for Carbon windows; counts its calls) and
// HIWebViewCreate (a view of the class "WebView" made by the window server, outside every window;
// add it to a view). What a web view loads is its web-view bundle's business, not this library's.
// Relies on the window server (platform/carbon/Controls.h); never throws.
#pragma once

#include "platform/carbon/Controls.h"

void WebInitForCarbon(void);
OSStatus HIWebViewCreate(HIViewRef* outControl);

// How often WebInitForCarbon was called; for tests.
int WebInitForCarbonCallsForTesting(void);
