// MacWindows: the windows of the headless window server (the HIToolbox Window Manager part).
// Interface: creation by class and attributes (CreateNewWindow), reference counting
// (RetainWindow, ReleaseWindow, DisposeWindow), modality, title, bounds of the structure and the
// content (GetWindowBounds, SetWindowBounds, MoveWindowStructure, ConstrainWindowToScreen,
// RepositionWindow), resize limits, visibility and order (ShowWindow, HideWindow, SelectWindow,
// FrontWindow, FrontNonFloatingWindow), the theme background, default and cancel buttons, the
// window's event target, the displays' graphics devices and their window-positioning bounds,
// and the mouse position.
// Fixed metrics: every window has a 22-pixel title bar above its content (the structure is the
// content grown by 22 pixels at the top); the main display is 1440 x 900 with the menu bar in its
// top 22 pixels (platform/cg/CGDirectDisplay.h), and no Dock. Global coordinates, y downwards.
// The event target of a window passes what its handlers leave to the application target; a
// window with kWindowStandardHandlerAttribute gets the standard handling of clicks, keys and
// commands that WindowsTesting.h drives. Relies on CarbonEvents, Controls and CGDirectDisplay.
// Thread-safe (one lock, never held while a handler runs); never throws; a null or released
// window answers errInvalidWindowRef (or nothing).
#pragma once

#include "platform/carbon/CarbonEvents.h"
#include "platform/carbon/Controls.h"
#include "platform/carbon/Finder.h"
#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFString.h"

typedef UInt32 WindowClass;
typedef UInt32 WindowAttributes;
typedef UInt32 WindowModality;
typedef UInt16 WindowRegionCode;
typedef UInt32 WindowPositionMethod;
typedef UInt32 WindowConstrainOptions;
typedef SInt16 ThemeBrush;
typedef UInt32 DisplayIDType;
typedef struct OpaqueGDevice** GDHandle;

enum : WindowClass {
  kAlertWindowClass = 1,
  kMovableAlertWindowClass = 2,
  kModalWindowClass = 3,
  kMovableModalWindowClass = 4,
  kFloatingWindowClass = 5,
  kDocumentWindowClass = 6
};
enum : WindowAttributes {
  kWindowNoAttributes = 0,
  kWindowCloseBoxAttribute = 1u << 0,
  kWindowHorizontalZoomAttribute = 1u << 1,
  kWindowVerticalZoomAttribute = 1u << 2,
  kWindowCollapseBoxAttribute = 1u << 3,
  kWindowResizableAttribute = 1u << 4,
  kWindowLiveResizeAttribute = 1u << 28,
  kWindowStandardHandlerAttribute = 1u << 25,
  kWindowCompositingAttribute = 1u << 19
};
enum : WindowModality {
  kWindowModalityNone = 0,
  kWindowModalitySystemModal = 1,
  kWindowModalityAppModal = 2,
  kWindowModalityWindowModal = 3
};
enum : WindowRegionCode { kWindowStructureRgn = 32, kWindowContentRgn = 33 };
enum : WindowPositionMethod {
  kWindowCenterOnMainScreen = 1,
  kWindowAlertPositionOnMainScreen = 4,
  kWindowAlertPositionOnParentWindowScreen = 12
};
enum : WindowConstrainOptions {
  kWindowConstrainMayResize = 1u << 0,
  kWindowConstrainMoveRegardlessOfFit = 1u << 1,
  kWindowConstrainStandardOptions = 1u << 1
};
enum : ThemeBrush { kThemeBrushDialogBackgroundActive = 1, kThemeBrushDocumentWindowBackground = 15 };

// The title bar's height above the content.
constexpr SInt16 kWindowTitleBarHeight = 22;

// A window of the class with the attributes, its content at the global bounds; hidden, with a
// root view, a content view and (when resizable) a grow box view. Count 1.
OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes,
                         Rect const* contentBounds, WindowRef* outWindow);
OSStatus RetainWindow(WindowRef window);
// A window goes when its last reference does; it is hidden first.
OSStatus ReleaseWindow(WindowRef window);
void DisposeWindow(WindowRef window);
ItemCount GetWindowRetainCount(WindowRef window);

OSStatus GetWindowClass(WindowRef window, WindowClass* outClass);
OSStatus GetWindowAttributes(WindowRef window, WindowAttributes* outAttributes);
OSStatus SetWindowModality(WindowRef window, WindowModality modality, WindowRef parent);
OSStatus GetWindowModality(WindowRef window, WindowModality* outModality, WindowRef* outParent);
OSStatus SetWindowTitleWithCFString(WindowRef window, CFStringRef title);
OSStatus CopyWindowTitleAsCFString(WindowRef window, CFStringRef* outTitle);  // caller releases
OSStatus SetThemeWindowBackground(WindowRef window, ThemeBrush brush, Boolean update);
EventTargetRef GetWindowEventTarget(WindowRef window);
inline OSStatus InstallWindowEventHandler(WindowRef window, EventHandlerUPP handler,
                                          ItemCount count, EventTypeSpec const* list,
                                          void* userData, EventHandlerRef* outRef) {
  return InstallEventHandler(GetWindowEventTarget(window), handler, count, list, userData,
                             outRef);
}

// Bounds in global coordinates. Setting them sends kEventWindowBoundsChanged to the window.
OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect* globalBounds);
OSStatus SetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect const* globalBounds);
OSStatus MoveWindowStructure(WindowRef window, SInt16 hGlobal, SInt16 vGlobal);
// Moves (never resizes) the structure into the available bounds of the display holding most of
// it; with kWindowConstrainMoveRegardlessOfFit also when it cannot fit (its top-left then wins).
OSStatus ConstrainWindowToScreen(WindowRef window, WindowRegionCode regionCode,
                                 WindowConstrainOptions options, Rect const* screenRect,
                                 Rect* outStructure);
// The alert position: centred across, a third of the spare height above, below the menu bar.
OSStatus RepositionWindow(WindowRef window, WindowRef parentWindow, WindowPositionMethod method);
// Limits of the content size for the user's resizing; null leaves that limit.
OSStatus SetWindowResizeLimits(WindowRef window, HISize const* minLimits, HISize const* maxLimits);
OSStatus GetWindowResizeLimits(WindowRef window, HISize* minLimits, HISize* maxLimits);

void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
Boolean IsWindowVisible(WindowRef window);
// Brings the window to the front of its layer (floating windows stay above the others).
void SelectWindow(WindowRef window);
WindowRef FrontWindow(void);            // the frontmost visible window, floating or not
WindowRef FrontNonFloatingWindow(void);  // the frontmost visible window that is not floating

OSStatus SetWindowDefaultButton(WindowRef window, ControlRef control);
OSStatus SetWindowCancelButton(WindowRef window, ControlRef control);
OSStatus GetWindowDefaultButton(WindowRef window, ControlRef* outControl);
OSStatus GetWindowCancelButton(WindowRef window, ControlRef* outControl);

// Displays as graphics devices: the device of a display id, and where windows may go on it
// (without the menu bar).
OSErr DMGetGDeviceByDisplayID(DisplayIDType displayID, GDHandle* displayDevice,
                              Boolean failToMain);
GDHandle GetMainDevice(void);
OSStatus GetAvailableWindowPositioningBounds(GDHandle inDevice, Rect* outAvailableRect);

// The mouse in global coordinates (where the last user action left it).
void GetGlobalMouse(Point* globalMouse);
