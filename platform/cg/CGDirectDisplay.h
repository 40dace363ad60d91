// CGDirectDisplay: the displays of the machine, as CoreGraphics reports them, without a screen.
// Interface: CGMainDisplayID, CGGetActiveDisplayList, CGGetDisplaysWithPoint, CGDisplayBounds,
// and for tests (through platform/carbon/WindowsTesting.h) adding displays and going back to the
// one main display. Global coordinates: the main display's top-left corner is (0, 0), y downwards.
// At start there is one main display, 1440 x 900, whose top 22 pixels are the menu bar.
// Its own small shared library (platform_cg_display), so the window server in platform_carbon
// and the picture code in platform_cg see one set. Thread-safe; never fails.
#pragma once

#include <cstdint>

#include "platform/cg/CGGeometry.h"

typedef uint32_t CGDirectDisplayID;
typedef int32_t CGError;
enum : CGError { kCGErrorSuccess = 0, kCGErrorIllegalArgument = 1001 };

// The size of the menu bar at the top of the main display.
constexpr int kCGMenuBarHeight = 22;

CGDirectDisplayID CGMainDisplayID(void);
CGError CGGetActiveDisplayList(uint32_t maxDisplays, CGDirectDisplayID* activeDisplays,
                               uint32_t* displayCount);
// The displays whose bounds hold the point, main display first.
CGError CGGetDisplaysWithPoint(CGPoint point, uint32_t maxDisplays, CGDirectDisplayID* displays,
                               uint32_t* matchingDisplayCount);
// A zero rectangle for an unknown display.
CGRect CGDisplayBounds(CGDirectDisplayID display);

// ---- for tests ----
// A further display at those global bounds, without a menu bar; answers its id.
CGDirectDisplayID CGDisplayAddForTesting(CGRect bounds);
// Back to the one main display.
void CGDisplayResetForTesting(void);
