// ControlsViews: the view tree of the window server (see Controls.h): views and their targets,
// frames and conversions, visibility, activation, ids, references, values, titles, control data,
// keyboard focus, shapes, regions, tracking areas and help tags; and the helpers of the server's
// units (texts, sending events, hit-testing).
#include <algorithm>
#include <new>

#include "platform/carbon/WindowServerInternal.h"

struct OpaqueHIShapeRef : public CFRuntimeObject {
  OpaqueHIShapeRef() : CFRuntimeObject(kCFRuntimeTypeOther + 30) {}
  HIRect m_udtRect{{0, 0}, {0, 0}};
};

struct OpaqueRgnHandle {
  Rect m_rctBounds{0, 0, 0, 0};
};

namespace {

constexpr OSStatus kParamErr = -50;
constexpr OSStatus kMemFullErr = -108;

void SetWindowOfTree(ControlRef view, WindowRef window) {
  view->m_refWindow = window;
  for (ControlRef sub : view->m_vecSubviews) SetWindowOfTree(sub, window);
}

bool IsTextKind(enumViewKindForTesting kind) {
  return kind == kViewEditText || kind == kViewStaticText || kind == kViewComboBox;
}

}  // namespace

bool ViewAlive(ControlRef view) {
  return view != nullptr && WindowServer().m_setViews.count(view) != 0;
}

// ---- helpers ----

std::u16string UnitsOf(CFStringRef text) {
  if (text == nullptr) return std::u16string();
  CFIndex const length = CFStringGetLength(text);
  std::u16string units(size_t(length), u'\0');
  if (length > 0) {
    CFStringGetCharacters(text, CFRangeMake(0, length), reinterpret_cast<UniChar*>(&units[0]));
  }
  return units;
}

CFStringRef StringOf(std::u16string const& units) {
  return CFStringCreateWithCharacters(nullptr, reinterpret_cast<UniChar const*>(units.data()),
                                      CFIndex(units.size()));
}

std::string Utf8Of(std::u16string const& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string UnitsOfUtf8(char const* utf8) {
  std::u16string out;
  if (utf8 == nullptr) return out;
  auto const* s = reinterpret_cast<unsigned char const*>(utf8);
  while (*s != 0) {
    uint32_t c = *s++;
    int extra = 0;
    if (c >= 0xF0) {
      c &= 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      c &= 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      c &= 0x1F;
      extra = 1;
    } else if (c >= 0x80) {
      c = 0xFFFD;
    }
    for (; extra > 0 && (*s & 0xC0) == 0x80; --extra) c = (c << 6) | (*s++ & 0x3F);
    if (extra > 0) c = 0xFFFD;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

OSStatus SendNewEvent(UInt32 eventClass, UInt32 kind, EventTargetRef target,
                      std::function<void(EventRef)> const& fill,
                      std::function<void(EventRef)> const& after) {
  if (target == nullptr) return eventNotHandledErr;
  EventRef event = nullptr;
  OSStatus status = CreateEvent(nullptr, eventClass, kind, 0, kEventAttributeUserEvent, &event);
  if (status != noErr) return status;
  if (fill) fill(event);
  status = SendEventToEventTarget(event, target);
  if (after) after(event);
  ReleaseEvent(event);
  return status;
}

ControlRef NewView(enumViewKindForTesting kind) {
  if (KindFails(kind)) return nullptr;
  ControlRef view = new (std::nothrow) OpaqueControlRef;
  if (view == nullptr) return nullptr;
  view->m_enmKind = kind;
  view->m_refTarget = CarbonEventsNewTarget(nullptr);
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  try {
    if (view->m_refTarget == nullptr) throw std::bad_alloc();
    if (kind == kViewDataBrowser) view->m_pBrowser = new stcDataBrowser;
    server.m_setViews.insert(view);
  } catch (...) {
    CarbonEventsDisposeTarget(view->m_refTarget);
    delete view->m_pBrowser;
    delete view;
    return nullptr;
  }
  return view;
}

OSStatus NewControlInWindow(WindowRef window, Rect const* bounds, enumViewKindForTesting kind,
                            ControlRef* outControl) {
  if (outControl == nullptr) return kParamErr;
  *outControl = nullptr;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return errInvalidWindowRef;
  }
  if (bounds == nullptr) return kParamErr;
  ControlRef view = NewView(kind);
  if (view == nullptr) return kMemFullErr;
  view->m_udtFrame = CGRectMake(bounds->left, bounds->top, bounds->right - bounds->left,
                                bounds->bottom - bounds->top);
  HIViewAddSubview(window->m_hContent, view);
  *outControl = view;
  return noErr;
}

void FreeViewTree(ControlRef view) {
  if (view == nullptr) return;
  std::vector<ControlRef> subviews;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(view)) return;
    server.m_setViews.erase(view);
    subviews.swap(view->m_vecSubviews);
    if (view->m_pTXN != nullptr) server.m_setTXN.erase(view->m_pTXN);
    if (view->m_refWindow != nullptr) {
      WindowRef window = view->m_refWindow;
      if (window->m_hFocus == view) window->m_hFocus = nullptr;
      if (window->m_hDefault == view) window->m_hDefault = nullptr;
      if (window->m_hCancel == view) window->m_hCancel = nullptr;
      if (window->m_pHover != nullptr && window->m_pHover->m_hView == view) window->m_pHover = nullptr;
    }
  }
  for (ControlRef sub : subviews) {
    sub->m_hParent = nullptr;
    FreeViewTree(sub);
  }
  if (view->m_hMenu != nullptr) ReleaseMenu(view->m_hMenu);
  if (view->m_refImage != nullptr) CFRelease(reinterpret_cast<CFTypeRef>(view->m_refImage));
  for (OpaqueTrackingAreaRef* area : view->m_vecTracking) delete area;
  delete view->m_pTXN;
  delete view->m_pBrowser;
  CarbonEventsDisposeTarget(view->m_refTarget);
  delete view;
}

HIRect ViewRectInRoot(ControlRef view) {
  HIRect r = view->m_udtFrame;
  for (ControlRef p = view->m_hParent; p != nullptr; p = p->m_hParent) {
    r.origin.x += p->m_udtFrame.origin.x;
    r.origin.y += p->m_udtFrame.origin.y;
  }
  return r;
}

HIRect ViewRectInContent(ControlRef view) {
  HIRect r = ViewRectInRoot(view);
  r.origin.y -= kWindowTitleBarHeight;
  return r;
}

void CollectViews(ControlRef view, std::vector<ControlRef>* out) {
  out->push_back(view);
  for (ControlRef sub : view->m_vecSubviews) CollectViews(sub, out);
}

ControlRef HitView(WindowRef window, HIPoint contentPoint) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return nullptr;
  // Later subviews lie on top: search them first, deepest first.
  std::function<ControlRef(ControlRef)> search = [&](ControlRef view) -> ControlRef {
    if (!view->m_blnVisible) return nullptr;
    for (auto it = view->m_vecSubviews.rbegin(); it != view->m_vecSubviews.rend(); ++it) {
      if (ControlRef hit = search(*it)) return hit;
    }
    if (view->m_enmKind == kViewContent || view->m_enmKind == kViewRoot) return nullptr;
    return CGRectContainsPoint(ViewRectInContent(view), contentPoint) ? view : nullptr;
  };
  return search(window->m_hContent);
}

// ---- the view tree ----

EventTargetRef GetControlEventTarget(ControlRef inControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(inControl) ? inControl->m_refTarget : nullptr;
}

HIViewRef HIViewGetRoot(WindowRef inWindow) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return WindowAlive(inWindow) ? inWindow->m_hRoot : nullptr;
}

WindowRef GetControlOwner(ControlRef inControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(inControl) ? inControl->m_refWindow : nullptr;
}

WindowRef HIViewGetWindow(HIViewRef inView) { return GetControlOwner(inView); }

OSStatus HIViewAddSubview(HIViewRef inParent, HIViewRef inNewChild) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inParent) || !ViewAlive(inNewChild) || inParent == inNewChild) return kParamErr;
  for (ControlRef p = inParent; p != nullptr; p = p->m_hParent) {
    if (p == inNewChild) return kParamErr;  // no view inside itself
  }
  if (inNewChild->m_hParent != nullptr) HIViewRemoveFromSuperview(inNewChild);
  try {
    inParent->m_vecSubviews.push_back(inNewChild);
  } catch (...) {
    return kMemFullErr;
  }
  inNewChild->m_hParent = inParent;
  // A scroll view's content fills it.
  if (inParent->m_enmKind == kViewScrollView) {
    inNewChild->m_udtFrame = CGRectMake(0, 0, inParent->m_udtFrame.size.width, inParent->m_udtFrame.size.height);
  }
  SetWindowOfTree(inNewChild, inParent->m_refWindow);
  CarbonEventsSetParentTarget(inNewChild->m_refTarget, inParent->m_refTarget);
  return noErr;
}

OSStatus HIViewRemoveFromSuperview(HIViewRef inView) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView) || inView->m_hParent == nullptr) return kParamErr;
  auto& siblings = inView->m_hParent->m_vecSubviews;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), inView), siblings.end());
  inView->m_hParent = nullptr;
  WindowRef window = inView->m_refWindow;
  if (window != nullptr && window->m_hFocus != nullptr) {
    for (ControlRef p = window->m_hFocus; p != nullptr; p = p->m_hParent) {
      if (p == inView) window->m_hFocus = nullptr;
    }
  }
  SetWindowOfTree(inView, nullptr);
  CarbonEventsSetParentTarget(inView->m_refTarget, nullptr);
  return noErr;
}

HIViewRef HIViewGetSuperview(HIViewRef inView) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(inView) ? inView->m_hParent : nullptr;
}

OSStatus HIViewFindByID(HIViewRef inStartView, HIViewID inID, HIViewRef* outControl) {
  if (outControl == nullptr) return kParamErr;
  *outControl = nullptr;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inStartView)) return kParamErr;
  std::vector<ControlRef> views;
  CollectViews(inStartView, &views);
  for (ControlRef view : views) {
    if (view->m_udtID.signature == inID.signature && view->m_udtID.id == inID.id) {
      *outControl = view;
      return noErr;
    }
  }
  return errUnknownControl;
}

OSStatus GetControlByID(WindowRef inWindow, ControlID const* inID, ControlRef* outControl) {
  if (inID == nullptr || outControl == nullptr) return kParamErr;
  *outControl = nullptr;
  HIViewRef root = HIViewGetRoot(inWindow);
  if (root == nullptr) return errInvalidWindowRef;
  return HIViewFindByID(root, *inID, outControl);
}

OSStatus SetControlID(ControlRef inControl, ControlID const* inID) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inControl) || inID == nullptr) return kParamErr;
  inControl->m_udtID = *inID;
  return noErr;
}

OSStatus GetControlID(ControlRef inControl, ControlID* outID) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inControl) || outID == nullptr) return kParamErr;
  *outID = inControl->m_udtID;
  return noErr;
}

OSStatus HIViewSetFrame(HIViewRef inView, HIRect const* inRect) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView) || inRect == nullptr) return kParamErr;
  inView->m_udtFrame = *inRect;
  if (inView->m_enmKind == kViewScrollView) {
    for (ControlRef sub : inView->m_vecSubviews) {
      sub->m_udtFrame = CGRectMake(0, 0, inRect->size.width, inRect->size.height);
    }
  }
  return noErr;
}

OSStatus HIViewGetFrame(HIViewRef inView, HIRect* outRect) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView) || outRect == nullptr) return kParamErr;
  *outRect = inView->m_udtFrame;
  return noErr;
}

OSStatus HIViewGetBounds(HIViewRef inView, HIRect* outRect) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView) || outRect == nullptr) return kParamErr;
  *outRect = CGRectMake(0, 0, inView->m_udtFrame.size.width, inView->m_udtFrame.size.height);
  return noErr;
}

OSStatus HIViewConvertRect(HIRect* ioRect, HIViewRef inSourceView, HIViewRef inDestView) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (ioRect == nullptr) return kParamErr;
  if ((inSourceView != nullptr && !ViewAlive(inSourceView)) ||
      (inDestView != nullptr && !ViewAlive(inDestView))) {
    return kParamErr;
  }
  // Through the root's coordinates: a view's own coordinates start at its frame's origin.
  auto originInRoot = [](HIViewRef view) {
    if (view == nullptr) return CGPointMake(0, 0);
    HIRect const r = ViewRectInRoot(view);
    return r.origin;
  };
  CGPoint const from = originInRoot(inSourceView);
  CGPoint const to = originInRoot(inDestView);
  ioRect->origin.x += from.x - to.x;
  ioRect->origin.y += from.y - to.y;
  return noErr;
}

OSStatus HIViewSetVisible(HIViewRef inView, Boolean inVisible) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView)) return kParamErr;
  inView->m_blnVisible = inVisible != 0;
  return noErr;
}

Boolean HIViewIsVisible(HIViewRef inView) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView)) return FALSE;
  for (ControlRef v = inView; v != nullptr; v = v->m_hParent) {
    if (!v->m_blnVisible) return FALSE;
  }
  return TRUE;
}

OSStatus SetControlVisibility(ControlRef inControl, Boolean inIsVisible, Boolean inDoDraw) {
  (void)inDoDraw;
  return HIViewSetVisible(inControl, inIsVisible);
}

Boolean IsControlVisible(ControlRef inControl) { return HIViewIsVisible(inControl); }

namespace {

OSStatus SetActive(ControlRef control, bool active) {
  EventTargetRef target;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(control)) return kParamErr;
    if (control->m_blnActive == active) return noErr;
    control->m_blnActive = active;
    target = control->m_refTarget;
  }
  SendNewEvent(kEventClassControl, active ? kEventControlActivate : kEventControlDeactivate,
               target, [&](EventRef event) {
                 SetEventParameter(event, kEventParamDirectObject, typeControlRef,
                                   sizeof(ControlRef), &control);
               });
  return noErr;
}

}  // namespace

OSStatus ActivateControl(ControlRef inControl) { return SetActive(inControl, true); }
OSStatus DeactivateControl(ControlRef inControl) { return SetActive(inControl, false); }

Boolean IsControlActive(ControlRef inControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(inControl) && inControl->m_blnActive ? TRUE : FALSE;
}

OSStatus HIViewSetNeedsDisplay(HIViewRef inView, Boolean inNeedsDisplay) {
  (void)inNeedsDisplay;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(inView) ? noErr : kParamErr;
}

void Draw1Control(ControlRef theControl) { HIViewSetNeedsDisplay(theControl, TRUE); }

OSStatus HIViewReshapeStructure(HIViewRef inView) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView)) return kParamErr;
  ++inView->m_intReshapes;
  return noErr;
}

void SetControlReference(ControlRef theControl, SRefCon data) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (ViewAlive(theControl)) theControl->m_ptrReference = data;
}

SRefCon GetControlReference(ControlRef theControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(theControl) ? theControl->m_ptrReference : nullptr;
}

OSStatus SetControlCommandID(ControlRef inControl, UInt32 inCommandID) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inControl)) return kParamErr;
  inControl->m_ulngCommandID = inCommandID;
  return noErr;
}

void SetControl32BitValue(ControlRef theControl, SInt32 newValue) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(theControl)) return;
  ControlRef c = theControl;
  switch (c->m_enmKind) {
    case kViewCheckBox:
    case kViewRadioButton:
    case kViewProgressBar:
    case kViewSlider:
    case kViewPopupButton:
      if (c->m_intMaximum >= c->m_intMinimum) {
        newValue = std::max(c->m_intMinimum, std::min(c->m_intMaximum, newValue));
      }
      break;
    case kViewRadioGroup: {
      SInt32 const buttons = SInt32(std::count_if(
          c->m_vecSubviews.begin(), c->m_vecSubviews.end(),
          [](ControlRef sub) { return sub->m_enmKind == kViewRadioButton; }));
      newValue = std::max<SInt32>(0, std::min(buttons, newValue));
      // The group checks its button of that 1-based position.
      SInt32 n = 0;
      for (ControlRef sub : c->m_vecSubviews) {
        if (sub->m_enmKind == kViewRadioButton) sub->m_intValue = (++n == newValue) ? 1 : 0;
      }
      break;
    }
    case kViewTabs:
      newValue = std::max<SInt32>(0, std::min<SInt32>(SInt32(c->m_vecItems.size()), newValue));
      break;
    default:
      break;
  }
  c->m_intValue = newValue;
}

SInt32 GetControl32BitValue(ControlRef theControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(theControl) ? theControl->m_intValue : 0;
}

void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (ViewAlive(theControl)) theControl->m_intMinimum = newMinimum;
}

SInt32 GetControl32BitMinimum(ControlRef theControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(theControl) ? theControl->m_intMinimum : 0;
}

void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (ViewAlive(theControl)) theControl->m_intMaximum = newMaximum;
}

SInt32 GetControl32BitMaximum(ControlRef theControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(theControl) ? theControl->m_intMaximum : 0;
}

OSStatus SetControlTitleWithCFString(ControlRef inControl, CFStringRef inString) {
  if (inString == nullptr) return kParamErr;
  std::u16string units = UnitsOf(inString);
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inControl)) return kParamErr;
  inControl->m_strTitle.swap(units);
  return noErr;
}

OSStatus CopyControlTitleAsCFString(ControlRef inControl, CFStringRef* outString) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inControl) || outString == nullptr) return kParamErr;
  *outString = StringOf(inControl->m_strTitle);
  return *outString == nullptr ? kMemFullErr : noErr;
}

// ---- control data ----

OSStatus SetControlData(ControlRef inControl, ControlPartCode inPart, ControlDataTag inTagName,
                        Size inSize, void const* inData) {
  (void)inPart;
  if (inData == nullptr) return kParamErr;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inControl)) return kParamErr;
  ControlRef c = inControl;
  switch (inTagName) {
    case kControlEditTextCFStringTag:  // also the static text's tag
    case kControlEditTextPasswordCFStringTag: {
      if (!IsTextKind(c->m_enmKind) || inSize != Size(sizeof(CFStringRef))) return errDataNotSupported;
      if (inTagName == kControlEditTextPasswordCFStringTag && !c->m_blnPassword) return errDataNotSupported;
      c->m_strText = UnitsOf(*static_cast<CFStringRef const*>(inData));
      SInt16 const end = SInt16(std::min<size_t>(c->m_strText.size(), 32767));
      c->m_shtSelStart = end;
      c->m_shtSelEnd = end;
      return noErr;
    }
    case kControlEditTextLockedTag:
      if (c->m_enmKind != kViewEditText || inSize != Size(sizeof(Boolean))) return errDataNotSupported;
      c->m_blnLocked = *static_cast<Boolean const*>(inData) != 0;
      return noErr;
    case kControlEditTextSelectionTag: {
      if (c->m_enmKind != kViewEditText && c->m_enmKind != kViewComboBox) return errDataNotSupported;
      if (inSize != Size(sizeof(ControlEditTextSelectionRec))) return errDataNotSupported;
      auto const* sel = static_cast<ControlEditTextSelectionRec const*>(inData);
      SInt16 const length = SInt16(std::min<size_t>(c->m_strText.size(), 32767));
      c->m_shtSelStart = std::max<SInt16>(0, std::min(length, sel->selStart));
      c->m_shtSelEnd = std::max(c->m_shtSelStart, std::min(length, sel->selEnd));
      return noErr;
    }
    case kControlFontStyleTag:
      if (inSize != Size(sizeof(ControlFontStyleRec))) return errDataNotSupported;
      c->m_udtStyle = *static_cast<ControlFontStyleRec const*>(inData);
      return noErr;
    case kControlProgressBarIndeterminateTag:
      if (c->m_enmKind != kViewProgressBar || inSize != Size(sizeof(Boolean))) return errDataNotSupported;
      c->m_blnIndeterminate = *static_cast<Boolean const*>(inData) != 0;
      return noErr;
    case kControlPopupButtonMenuRefTag:
      if (c->m_enmKind != kViewPopupButton || inSize != Size(sizeof(MenuRef))) return errDataNotSupported;
      SetControlPopupMenuHandle(c, *static_cast<MenuRef const*>(inData));
      return noErr;
    default:
      return errDataNotSupported;
  }
}

OSStatus GetControlData(ControlRef inControl, ControlPartCode inPart, ControlDataTag inTagName,
                        Size inBufferSize, void* inBuffer, Size* outActualSize) {
  (void)inPart;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inControl)) return kParamErr;
  ControlRef c = inControl;
  auto give = [&](void const* data, Size size) -> OSStatus {
    if (outActualSize != nullptr) *outActualSize = size;
    if (inBuffer == nullptr) return noErr;
    if (inBufferSize < size) return kParamErr;
    std::copy_n(static_cast<unsigned char const*>(data), size, static_cast<unsigned char*>(inBuffer));
    return noErr;
  };
  switch (inTagName) {
    case kControlEditTextCFStringTag:
    case kControlEditTextPasswordCFStringTag: {
      if (!IsTextKind(c->m_enmKind)) return errDataNotSupported;
      if (inTagName == kControlEditTextPasswordCFStringTag && !c->m_blnPassword) return errDataNotSupported;
      if (inBuffer == nullptr) return give(nullptr, Size(sizeof(CFStringRef)));
      if (inBufferSize < Size(sizeof(CFStringRef))) return kParamErr;
      // A password field's plain text tag shows only bullets, as the platform's does.
      std::u16string text = c->m_strText;
      if (c->m_blnPassword && inTagName == kControlEditTextCFStringTag) {
        text.assign(text.size(), u'\u2022');
      }
      CFStringRef string = StringOf(text);
      if (string == nullptr) return kMemFullErr;
      return give(&string, Size(sizeof(CFStringRef)));
    }
    case kControlEditTextLockedTag: {
      Boolean const locked = c->m_blnLocked ? TRUE : FALSE;
      return give(&locked, Size(sizeof locked));
    }
    case kControlEditTextSelectionTag: {
      if (c->m_enmKind != kViewEditText && c->m_enmKind != kViewComboBox) return errDataNotSupported;
      ControlEditTextSelectionRec const sel{c->m_shtSelStart, c->m_shtSelEnd};
      return give(&sel, Size(sizeof sel));
    }
    case kControlFontStyleTag:
      return give(&c->m_udtStyle, Size(sizeof c->m_udtStyle));
    case kControlProgressBarIndeterminateTag: {
      if (c->m_enmKind != kViewProgressBar) return errDataNotSupported;
      Boolean const indeterminate = c->m_blnIndeterminate ? TRUE : FALSE;
      return give(&indeterminate, Size(sizeof indeterminate));
    }
    case kControlPopupButtonMenuRefTag:
      if (c->m_enmKind != kViewPopupButton) return errDataNotSupported;
      return give(&c->m_hMenu, Size(sizeof(MenuRef)));
    default:
      return errDataNotSupported;
  }
}

// ---- keyboard focus ----

bool TakesFocus(ControlRef view) {
  switch (view->m_enmKind) {
    case kViewEditText:
    case kViewComboBox:
    case kViewTextView:
    case kViewDataBrowser:
      return true;
    default:
      return false;
  }
}

OSStatus MoveFocus(WindowRef window, ControlRef control, ControlFocusPart part) {
  ControlRef old;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return errInvalidWindowRef;
    if (control != nullptr && (!ViewAlive(control) || control->m_refWindow != window)) return kParamErr;
    old = window->m_hFocus;
    if (old == control) return noErr;
    window->m_hFocus = nullptr;
  }
  if (old != nullptr) {
    ControlPartCode none = kControlNoPart;
    SendNewEvent(kEventClassControl, kEventControlSetFocusPart, GetControlEventTarget(old),
                 [&](EventRef event) {
                   SetEventParameter(event, kEventParamDirectObject, typeControlRef,
                                     sizeof(ControlRef), &old);
                   SetEventParameter(event, kEventParamControlPart, typeControlPartCode,
                                     sizeof none, &none);
                 });
  }
  if (control == nullptr) return noErr;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(control) || !WindowAlive(window)) return kParamErr;
    window->m_hFocus = control;
    window->m_shtFocusPart = part;
  }
  ControlPartCode given = part == kControlFocusNextPart || part == kControlFocusPrevPart
                              ? ControlPartCode(kControlEditTextPart)
                              : part;
  SendNewEvent(kEventClassControl, kEventControlSetFocusPart, GetControlEventTarget(control),
               [&](EventRef event) {
                 SetEventParameter(event, kEventParamDirectObject, typeControlRef,
                                   sizeof(ControlRef), &control);
                 SetEventParameter(event, kEventParamControlPart, typeControlPartCode,
                                   sizeof given, &given);
               });
  return noErr;
}

OSStatus SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlFocusPart inPart) {
  if (inPart == kControlNoPart) return MoveFocus(inWindow, nullptr, kControlNoPart);
  return MoveFocus(inWindow, inControl, inPart);
}

OSStatus GetKeyboardFocus(WindowRef inWindow, ControlRef* outControl) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(inWindow) || outControl == nullptr) return errInvalidWindowRef;
  *outControl = inWindow->m_hFocus;
  return noErr;
}

OSStatus ClearKeyboardFocus(WindowRef inWindow) { return MoveFocus(inWindow, nullptr, 0); }

OSStatus HIViewAdvanceFocus(HIViewRef inRootForFocus, EventModifiers inModifiers) {
  WindowRef window;
  ControlRef next = nullptr;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(inRootForFocus) || inRootForFocus->m_refWindow == nullptr) return kParamErr;
    window = inRootForFocus->m_refWindow;
    std::vector<ControlRef> all;
    CollectViews(inRootForFocus, &all);
    std::vector<ControlRef> ring;
    for (ControlRef view : all) {
      // Focusable, visible and active; a text view inside a scroll view counts, the scroll view not.
      if (TakesFocus(view) && view->m_blnActive && HIViewIsVisible(view)) ring.push_back(view);
    }
    if (ring.empty()) return noErr;
    auto at = std::find(ring.begin(), ring.end(), window->m_hFocus);
    bool const backwards = (inModifiers & shiftKey) != 0;
    if (at == ring.end()) {
      next = backwards ? ring.back() : ring.front();
    } else if (backwards) {
      next = at == ring.begin() ? ring.back() : *(at - 1);
    } else {
      next = (at + 1) == ring.end() ? ring.front() : *(at + 1);
    }
  }
  return MoveFocus(window, next, (inModifiers & shiftKey) != 0 ? kControlFocusPrevPart
                                                               : kControlFocusNextPart);
}

// ---- shapes and regions ----

HIShapeRef HIShapeCreateWithRect(HIRect const* inRect) {
  if (inRect == nullptr) return nullptr;
  auto* shape = new (std::nothrow) OpaqueHIShapeRef;
  if (shape == nullptr) return nullptr;
  shape->m_udtRect = *inRect;
  return shape;
}

OSStatus HIShapeGetBounds(HIShapeRef inShape, HIRect* outRect) {
  if (inShape == nullptr || outRect == nullptr) return kParamErr;
  *outRect = inShape->m_udtRect;
  return noErr;
}

RgnHandle NewRgn(void) { return new (std::nothrow) OpaqueRgnHandle; }
void DisposeRgn(RgnHandle rgn) { delete rgn; }

Rect* GetRegionBounds(RgnHandle region, Rect* bounds) {
  if (region == nullptr || bounds == nullptr) return bounds;
  *bounds = region->m_rctBounds;
  return bounds;
}

OSStatus HIShapeGetAsQDRgn(HIShapeRef inShape, RgnHandle outRgn) {
  if (inShape == nullptr || outRgn == nullptr) return kParamErr;
  HIRect const& r = inShape->m_udtRect;
  outRgn->m_rctBounds = Rect{SInt16(CGRectGetMinY(r)), SInt16(CGRectGetMinX(r)),
                             SInt16(CGRectGetMaxY(r)), SInt16(CGRectGetMaxX(r))};
  return noErr;
}

// ---- tracking areas ----

OSStatus HIViewNewTrackingArea(HIViewRef inView, HIShapeRef inShape, HIViewTrackingAreaID inID,
                               HIViewTrackingAreaRef* outRef) {
  (void)inShape;  // the whole view
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView)) return kParamErr;
  auto* area = new (std::nothrow) OpaqueTrackingAreaRef;
  if (area == nullptr) return kMemFullErr;
  area->m_hView = inView;
  area->m_ullID = inID;
  try {
    inView->m_vecTracking.push_back(area);
  } catch (...) {
    delete area;
    return kMemFullErr;
  }
  if (outRef != nullptr) *outRef = area;
  return noErr;
}

OSStatus HIViewGetTrackingAreaID(HIViewTrackingAreaRef inTrackingRef,
                                 HIViewTrackingAreaID* outID) {
  if (inTrackingRef == nullptr || outID == nullptr) return kParamErr;
  *outID = inTrackingRef->m_ullID;
  return noErr;
}

// ---- help tags ----

OSStatus HMSetControlHelpContent(ControlRef inControl, HMHelpContentRec const* inContent) {
  if (inContent == nullptr) return kParamErr;
  std::u16string text;
  if (inContent->content[kHMMinimumContentIndex].contentType == kHMCFStringContent) {
    text = UnitsOf(inContent->content[kHMMinimumContentIndex].u.tagCFString);
  }
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inControl)) return kParamErr;
  inControl->m_strHelpTag.swap(text);
  return noErr;
}
