// MacWindows: windows of the headless window server (see MacWindows.h), the server's one state,
// the graphics devices of the displays, the theme cursor and the recorded theme drawing.
// A window's bounds are its content rectangle in global coordinates; its structure adds the
// title bar on top. Its views: a root covering the structure, the content view below the title
// bar, a grow box in the content's bottom-right corner when it is resizable.
#include <algorithm>
#include <cstdio>
#include <new>

#include "platform/carbon/WindowServerInternal.h"
#include "platform/cg/CGDirectDisplay.h"

struct OpaqueGDevice {
  CGDirectDisplayID m_ulngDisplay = 0;
};

namespace {

constexpr OSStatus kParamErr = -50;
constexpr OSStatus kMemFullErr = -108;

Rect StructureOf(WindowRef window) {
  Rect r = window->m_rctContent;
  r.top = SInt16(r.top - kWindowTitleBarHeight);
  return r;
}

// The root, content and grow box views follow the content size.
void LayOutFrameViews(WindowRef window) {
  double const w = window->m_rctContent.right - window->m_rctContent.left;
  double const h = window->m_rctContent.bottom - window->m_rctContent.top;
  window->m_hRoot->m_udtFrame = CGRectMake(0, 0, w, h + kWindowTitleBarHeight);
  window->m_hContent->m_udtFrame = CGRectMake(0, kWindowTitleBarHeight, w, h);
  if (window->m_hGrowBox != nullptr) {
    window->m_hGrowBox->m_udtFrame = CGRectMake(w - 15, h - 15, 15, 15);
  }
}

bool IsWindowTarget(EventTargetRef target) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  for (WindowRef window : server.m_vecWindows) {
    if (window->m_refTarget == target) return true;
  }
  return false;
}

void FreeWindow(WindowRef window) {
  stcWindowServer& server = WindowServer();
  {
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    server.m_vecWindows.erase(
        std::remove(server.m_vecWindows.begin(), server.m_vecWindows.end(), window),
        server.m_vecWindows.end());
  }
  FreeViewTree(window->m_hRoot);
  CarbonEventsDisposeTarget(window->m_refTarget);
  delete window;
}

// Sends kEventWindowBoundsChanged with the new content bounds.
void SendBoundsChanged(WindowRef window, UInt32 attributes) {
  Rect content;
  EventTargetRef target;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return;
    content = window->m_rctContent;
    target = window->m_refTarget;
  }
  SendNewEvent(kEventClassWindow, kEventWindowBoundsChanged, target, [&](EventRef event) {
    SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof(WindowRef), &window);
    SetEventParameter(event, kEventParamAttributes, typeUInt32, sizeof(attributes), &attributes);
    SetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, sizeof(Rect), &content);
  });
}

// The available bounds of a display: its bounds without the menu bar on the main display.
Rect AvailableBounds(CGDirectDisplayID display) {
  CGRect const b = CGDisplayBounds(display);
  Rect r{SInt16(b.origin.y), SInt16(b.origin.x), SInt16(b.origin.y + b.size.height),
         SInt16(b.origin.x + b.size.width)};
  if (display == CGMainDisplayID()) r.top = SInt16(r.top + kCGMenuBarHeight);
  return r;
}

// The display holding most of the rectangle (the main display when it is on none).
CGDirectDisplayID DisplayOf(Rect const& r) {
  CGDirectDisplayID ids[16];
  uint32_t count = 0;
  CGGetActiveDisplayList(16, ids, &count);
  CGDirectDisplayID best = CGMainDisplayID();
  long bestArea = 0;
  for (uint32_t i = 0; i < count; ++i) {
    CGRect const b = CGDisplayBounds(ids[i]);
    long const w = std::min<long>(r.right, long(b.origin.x + b.size.width)) -
                   std::max<long>(r.left, long(b.origin.x));
    long const h = std::min<long>(r.bottom, long(b.origin.y + b.size.height)) -
                   std::max<long>(r.top, long(b.origin.y));
    if (w > 0 && h > 0 && w * h > bestArea) {
      bestArea = w * h;
      best = ids[i];
    }
  }
  return best;
}

OSStatus MoveStructureTo(WindowRef window, int left, int top, UInt32 attributes) {
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return errInvalidWindowRef;
    Rect& c = window->m_rctContent;
    int const w = c.right - c.left;
    int const h = c.bottom - c.top;
    c.left = SInt16(left);
    c.top = SInt16(top + kWindowTitleBarHeight);
    c.right = SInt16(left + w);
    c.bottom = SInt16(c.top + h);
  }
  SendBoundsChanged(window, attributes | kWindowBoundsChangeOriginChanged);
  return noErr;
}

}  // namespace

stcWindowServer& WindowServer() {
  static stcWindowServer* s_pServer = new stcWindowServer;
  return *s_pServer;
}

bool WindowAlive(WindowRef window) {
  if (window == nullptr) return false;
  auto const& windows = WindowServer().m_vecWindows;
  return std::find(windows.begin(), windows.end(), window) != windows.end();
}

bool TakeFault(enumWindowsFault fault) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  int& count = server.m_aintFaults[int(fault)];
  if (count <= 0) return false;
  --count;
  return true;
}

bool KindFails(enumViewKindForTesting kind) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return server.m_setFailKinds.count(int(kind)) != 0;
}

void WindowsFailForTesting(enumWindowsFault fault, int count) {
  if (int(fault) < 0 || int(fault) > 4) return;
  stcWindowServer& server = WindowServer();
  {
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    server.m_aintFaults[int(fault)] = count;
  }
  if (fault == kWindowsFailHandler) CarbonEventsFailInstallsOn(&IsWindowTarget, count);
}

void WindowsFailViewKindForTesting(enumViewKindForTesting kind) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  server.m_setFailKinds.insert(int(kind));
}

// ---- windows ----

OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes,
                         Rect const* contentBounds, WindowRef* outWindow) {
  if (outWindow == nullptr || contentBounds == nullptr) return kParamErr;
  *outWindow = nullptr;
  if (TakeFault(kWindowsFailCreateWindow)) return kMemFullErr;
  WindowRef window = new (std::nothrow) OpaqueWindowPtr;
  if (window == nullptr) return kMemFullErr;
  window->m_ulngClass = windowClass;
  window->m_ulngAttributes = attributes;
  window->m_rctContent = *contentBounds;
  if (windowClass == kMovableModalWindowClass || windowClass == kModalWindowClass ||
      windowClass == kAlertWindowClass || windowClass == kMovableAlertWindowClass) {
    window->m_ulngModality = kWindowModalityAppModal;
  }
  window->m_refTarget = CarbonEventsNewTarget(GetApplicationEventTarget());
  window->m_hRoot = NewView(kViewRoot);
  window->m_hContent = NewView(kViewContent);
  if ((attributes & kWindowResizableAttribute) != 0) window->m_hGrowBox = NewView(kViewGrowBox);
  bool const complete = window->m_refTarget != nullptr && window->m_hRoot != nullptr &&
                        window->m_hContent != nullptr &&
                        ((attributes & kWindowResizableAttribute) == 0 || window->m_hGrowBox != nullptr);
  if (!complete) {
    if (window->m_hRoot != nullptr) FreeViewTree(window->m_hRoot);
    if (window->m_hContent != nullptr) FreeViewTree(window->m_hContent);
    if (window->m_hGrowBox != nullptr) FreeViewTree(window->m_hGrowBox);
    CarbonEventsDisposeTarget(window->m_refTarget);
    delete window;
    return kMemFullErr;
  }
  window->m_hContent->m_udtID = kHIViewWindowContentID;
  stcWindowServer& server = WindowServer();
  {
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    try {
      server.m_vecWindows.push_back(window);  // hidden windows go behind
    } catch (...) {
      FreeViewTree(window->m_hRoot);
      FreeViewTree(window->m_hContent);
      if (window->m_hGrowBox != nullptr) FreeViewTree(window->m_hGrowBox);
      CarbonEventsDisposeTarget(window->m_refTarget);
      delete window;
      return kMemFullErr;
    }
    window->m_hRoot->m_refWindow = window;
    CarbonEventsSetParentTarget(window->m_hRoot->m_refTarget, window->m_refTarget);
  }
  HIViewAddSubview(window->m_hRoot, window->m_hContent);
  if (window->m_hGrowBox != nullptr) {
    window->m_hGrowBox->m_udtID = kHIViewWindowGrowBoxID;
    HIViewAddSubview(window->m_hContent, window->m_hGrowBox);
  }
  LayOutFrameViews(window);
  *outWindow = window;
  return noErr;
}

OSStatus RetainWindow(WindowRef window) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  ++window->m_intRefCount;
  return noErr;
}

OSStatus ReleaseWindow(WindowRef window) {
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return errInvalidWindowRef;
    if (--window->m_intRefCount > 0) return noErr;
    window->m_blnVisible = false;
  }
  FreeWindow(window);
  return noErr;
}

void DisposeWindow(WindowRef window) { ReleaseWindow(window); }

ItemCount GetWindowRetainCount(WindowRef window) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return WindowAlive(window) ? ItemCount(window->m_intRefCount) : 0;
}

OSStatus GetWindowClass(WindowRef window, WindowClass* outClass) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window) || outClass == nullptr) return errInvalidWindowRef;
  *outClass = window->m_ulngClass;
  return noErr;
}

OSStatus GetWindowAttributes(WindowRef window, WindowAttributes* outAttributes) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window) || outAttributes == nullptr) return errInvalidWindowRef;
  *outAttributes = window->m_ulngAttributes;
  return noErr;
}

OSStatus SetWindowModality(WindowRef window, WindowModality modality, WindowRef parent) {
  (void)parent;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  if (TakeFault(kWindowsFailModality)) return kParamErr;
  window->m_ulngModality = modality;
  return noErr;
}

OSStatus GetWindowModality(WindowRef window, WindowModality* outModality, WindowRef* outParent) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  if (outModality != nullptr) *outModality = window->m_ulngModality;
  if (outParent != nullptr) *outParent = nullptr;
  return noErr;
}

OSStatus SetWindowTitleWithCFString(WindowRef window, CFStringRef title) {
  if (title == nullptr) return kParamErr;
  std::u16string units = UnitsOf(title);
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  window->m_strTitle.swap(units);
  return noErr;
}

OSStatus CopyWindowTitleAsCFString(WindowRef window, CFStringRef* outTitle) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window) || outTitle == nullptr) return errInvalidWindowRef;
  *outTitle = StringOf(window->m_strTitle);
  return *outTitle == nullptr ? kMemFullErr : noErr;
}

OSStatus SetThemeWindowBackground(WindowRef window, ThemeBrush brush, Boolean update) {
  (void)update;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  window->m_shtBackground = brush;
  return noErr;
}

EventTargetRef GetWindowEventTarget(WindowRef window) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return WindowAlive(window) ? window->m_refTarget : nullptr;
}

OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect* globalBounds) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  if (globalBounds == nullptr) return kParamErr;
  if (regionCode == kWindowContentRgn) {
    *globalBounds = window->m_rctContent;
  } else if (regionCode == kWindowStructureRgn) {
    *globalBounds = StructureOf(window);
  } else {
    return kParamErr;
  }
  return noErr;
}

OSStatus SetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect const* globalBounds) {
  UInt32 attributes = 0;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return errInvalidWindowRef;
    if (globalBounds == nullptr || globalBounds->right < globalBounds->left ||
        globalBounds->bottom < globalBounds->top) {
      return kParamErr;
    }
    Rect content = *globalBounds;
    if (regionCode == kWindowStructureRgn) {
      content.top = SInt16(content.top + kWindowTitleBarHeight);
      if (content.bottom < content.top) content.bottom = content.top;
    } else if (regionCode != kWindowContentRgn) {
      return kParamErr;
    }
    Rect const old = window->m_rctContent;
    if (old.right - old.left != content.right - content.left ||
        old.bottom - old.top != content.bottom - content.top) {
      attributes |= kWindowBoundsChangeSizeChanged;
    }
    if (old.left != content.left || old.top != content.top) {
      attributes |= kWindowBoundsChangeOriginChanged;
    }
    window->m_rctContent = content;
    LayOutFrameViews(window);
  }
  if (attributes != 0) SendBoundsChanged(window, attributes);
  return noErr;
}

OSStatus MoveWindowStructure(WindowRef window, SInt16 hGlobal, SInt16 vGlobal) {
  return MoveStructureTo(window, hGlobal, vGlobal, 0);
}

OSStatus ConstrainWindowToScreen(WindowRef window, WindowRegionCode regionCode,
                                 WindowConstrainOptions options, Rect const* screenRect,
                                 Rect* outStructure) {
  (void)regionCode;
  Rect structure;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return errInvalidWindowRef;
    structure = StructureOf(window);
  }
  Rect const avail = screenRect != nullptr ? *screenRect : AvailableBounds(DisplayOf(structure));
  int const w = structure.right - structure.left;
  int const h = structure.bottom - structure.top;
  bool const fits = w <= avail.right - avail.left && h <= avail.bottom - avail.top;
  int left = structure.left;
  int top = structure.top;
  if (fits || (options & kWindowConstrainMoveRegardlessOfFit) != 0) {
    if (left + w > avail.right) left = avail.right - w;
    if (top + h > avail.bottom) top = avail.bottom - h;
    left = std::max<int>(left, avail.left);
    top = std::max<int>(top, avail.top);
  }
  if (left != structure.left || top != structure.top) MoveStructureTo(window, left, top, 0);
  if (outStructure != nullptr) GetWindowBounds(window, kWindowStructureRgn, outStructure);
  return noErr;
}

OSStatus RepositionWindow(WindowRef window, WindowRef parentWindow, WindowPositionMethod method) {
  (void)parentWindow;
  Rect structure;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return errInvalidWindowRef;
    structure = StructureOf(window);
  }
  Rect const avail = AvailableBounds(CGMainDisplayID());
  int const w = structure.right - structure.left;
  int const h = structure.bottom - structure.top;
  int const left = avail.left + (avail.right - avail.left - w) / 2;
  int const spare = std::max(0, avail.bottom - avail.top - h);
  int const top = method == kWindowCenterOnMainScreen ? avail.top + spare / 2 : avail.top + spare / 3;
  return MoveStructureTo(window, left, top, 0);
}

OSStatus SetWindowResizeLimits(WindowRef window, HISize const* minLimits, HISize const* maxLimits) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  if (minLimits != nullptr) window->m_udtMin = *minLimits;
  if (maxLimits != nullptr) window->m_udtMax = *maxLimits;
  return noErr;
}

OSStatus GetWindowResizeLimits(WindowRef window, HISize* minLimits, HISize* maxLimits) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  if (minLimits != nullptr) *minLimits = window->m_udtMin;
  if (maxLimits != nullptr) *maxLimits = window->m_udtMax;
  return noErr;
}

void ShowWindow(WindowRef window) {
  std::function<void(WindowRef)> hook;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window) || window->m_blnVisible) return;
    window->m_blnVisible = true;
    window->m_intIdleSteps = 0;
    hook = server.m_fnShowHook;
  }
  SelectWindow(window);
  WindowsDrawForTesting(window);
  if (hook) hook(window);
}

void HideWindow(WindowRef window) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window) || !window->m_blnVisible) return;
  window->m_blnVisible = false;
  // Hidden windows go behind the visible ones.
  auto& windows = server.m_vecWindows;
  windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
  auto firstHidden = std::find_if(windows.begin(), windows.end(),
                                  [](WindowRef w) { return !w->m_blnVisible; });
  windows.insert(firstHidden, window);
}

Boolean IsWindowVisible(WindowRef window) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return WindowAlive(window) && window->m_blnVisible ? TRUE : FALSE;
}

void SelectWindow(WindowRef window) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return;
  auto& windows = server.m_vecWindows;
  windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
  // Floating windows stay above the others.
  bool const floating = window->m_ulngClass == kFloatingWindowClass;
  auto place = floating ? windows.begin()
                        : std::find_if(windows.begin(), windows.end(), [](WindowRef w) {
                            return w->m_ulngClass != kFloatingWindowClass || !w->m_blnVisible;
                          });
  windows.insert(place, window);
}

WindowRef FrontWindow(void) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  for (WindowRef window : server.m_vecWindows) {
    if (window->m_blnVisible) return window;
  }
  return nullptr;
}

WindowRef FrontNonFloatingWindow(void) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  for (WindowRef window : server.m_vecWindows) {
    if (window->m_blnVisible && window->m_ulngClass != kFloatingWindowClass) return window;
  }
  return nullptr;
}

OSStatus SetWindowDefaultButton(WindowRef window, ControlRef control) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  window->m_hDefault = control;
  return noErr;
}

OSStatus SetWindowCancelButton(WindowRef window, ControlRef control) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return errInvalidWindowRef;
  window->m_hCancel = control;
  return noErr;
}

OSStatus GetWindowDefaultButton(WindowRef window, ControlRef* outControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window) || outControl == nullptr) return errInvalidWindowRef;
  *outControl = ViewAlive(window->m_hDefault) ? window->m_hDefault : nullptr;
  return noErr;
}

OSStatus GetWindowCancelButton(WindowRef window, ControlRef* outControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window) || outControl == nullptr) return errInvalidWindowRef;
  *outControl = ViewAlive(window->m_hCancel) ? window->m_hCancel : nullptr;
  return noErr;
}

// ---- displays as devices ----

OSErr DMGetGDeviceByDisplayID(DisplayIDType displayID, GDHandle* displayDevice,
                              Boolean failToMain) {
  if (displayDevice == nullptr) return OSErr(kParamErr);
  CGRect const bounds = CGDisplayBounds(displayID);
  if (bounds.size.width <= 0) {
    if (!failToMain) return OSErr(kParamErr);
    displayID = CGMainDisplayID();
  }
  // One device record per display id, kept for the life of the process.
  static std::mutex s_mtxDevices;
  static std::vector<OpaqueGDevice*>* s_pDevices = new std::vector<OpaqueGDevice*>;
  std::lock_guard<std::mutex> lock(s_mtxDevices);
  for (OpaqueGDevice*& device : *s_pDevices) {
    if (device->m_ulngDisplay == displayID) {
      *displayDevice = reinterpret_cast<GDHandle>(&device);
      return noErr;
    }
  }
  OpaqueGDevice* device = new (std::nothrow) OpaqueGDevice{displayID};
  if (device == nullptr) return OSErr(kMemFullErr);
  s_pDevices->reserve(64);
  if (s_pDevices->size() >= 64) return OSErr(kMemFullErr);  // the slots must not move
  s_pDevices->push_back(device);
  *displayDevice = reinterpret_cast<GDHandle>(&s_pDevices->back());
  return noErr;
}

GDHandle GetMainDevice(void) {
  GDHandle device = nullptr;
  DMGetGDeviceByDisplayID(CGMainDisplayID(), &device, true);
  return device;
}

OSStatus GetAvailableWindowPositioningBounds(GDHandle inDevice, Rect* outAvailableRect) {
  if (inDevice == nullptr || *inDevice == nullptr || outAvailableRect == nullptr) return kParamErr;
  *outAvailableRect = AvailableBounds((*inDevice)->m_ulngDisplay);
  return noErr;
}

void GetGlobalMouse(Point* globalMouse) {
  if (globalMouse == nullptr) return;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  *globalMouse = server.m_udtMouse;
}

// ---- cursor and theme drawing ----

void WindowServerNoteCursor(ThemeCursor inCursor) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  server.m_ulngCursor = inCursor;
}

namespace {

void RecordDrawing(char const* what, Rect const* r, char const* state) {
  char line[128];
  std::snprintf(line, sizeof line, "%s %s %d,%d,%d,%d", what, state, r->top, r->left, r->bottom,
                r->right);
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  try {
    server.m_vecDrawings.push_back(line);
  } catch (...) {
  }
}

}  // namespace

OSStatus DrawThemeEditTextFrame(Rect const* inRect, ThemeDrawState inState) {
  if (inRect == nullptr) return kParamErr;
  RecordDrawing("EditTextFrame", inRect, inState == kThemeStateInactive ? "inactive" : "active");
  return noErr;
}

OSStatus DrawThemeFocusRect(Rect const* inRect, Boolean inHasFocus) {
  if (inRect == nullptr) return kParamErr;
  RecordDrawing("FocusRect", inRect, inHasFocus ? "on" : "off");
  return noErr;
}

CGDirectDisplayID WindowsAddDisplayForTesting(int left, int top, int width, int height) {
  return CGDisplayAddForTesting(CGRectMake(left, top, width, height));
}
