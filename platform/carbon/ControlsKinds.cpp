// ControlsKinds: the creation calls of each control kind (see Controls.h) and the calls that
// belong to one kind (popup menus, combo box items, scroll views, the grow box, views by class).
// A created control is visible and active in its window's content view; what a kind keeps is
// kept in its OpaqueControlRef fields.
#include <algorithm>
#include <new>

#include "platform/carbon/WindowServerInternal.h"

namespace {

constexpr OSStatus kParamErr = -50;
constexpr OSStatus kMemFullErr = -108;

OSStatus Make(WindowRef window, Rect const* bounds, enumViewKindForTesting kind,
              ControlRef* outControl) {
  return NewControlInWindow(window, bounds, kind, outControl);
}

}  // namespace

OSStatus CreatePushButtonControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                                 ControlRef* outControl) {
  OSStatus status = Make(window, boundsRect, kViewPushButton, outControl);
  if (status == noErr) (*outControl)->m_strTitle = UnitsOf(title);
  return status;
}

OSStatus CreateBevelButtonControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                                  ControlBevelThickness thickness,
                                  ControlBevelButtonBehavior behavior,
                                  ControlButtonContentInfoPtr info, SInt16 menuID,
                                  ControlBevelButtonMenuBehavior menuBehavior,
                                  ControlBevelButtonMenuPlacement menuPlacement,
                                  ControlRef* outControl) {
  (void)thickness, (void)info, (void)menuID, (void)menuBehavior, (void)menuPlacement;
  OSStatus status = Make(window, boundsRect, kViewBevelButton, outControl);
  if (status != noErr) return status;
  (*outControl)->m_strTitle = UnitsOf(title);
  (*outControl)->m_blnAutoToggle = behavior != kControlBehaviorPushbutton;
  (*outControl)->m_intMaximum = 1;
  return noErr;
}

OSStatus CreateStaticTextControl(WindowRef window, Rect const* boundsRect, CFStringRef text,
                                 ControlFontStyleRec const* style, ControlRef* outControl) {
  OSStatus status = Make(window, boundsRect, kViewStaticText, outControl);
  if (status != noErr) return status;
  (*outControl)->m_strText = UnitsOf(text);
  if (style != nullptr) (*outControl)->m_udtStyle = *style;
  return noErr;
}

OSStatus CreateEditUnicodeTextControl(WindowRef window, Rect const* boundsRect, CFStringRef text,
                                      Boolean isPassword, ControlFontStyleRec const* style,
                                      ControlRef* outControl) {
  OSStatus status = Make(window, boundsRect, kViewEditText, outControl);
  if (status != noErr) return status;
  ControlRef c = *outControl;
  c->m_strText = UnitsOf(text);
  c->m_blnPassword = isPassword != 0;
  c->m_shtSelStart = c->m_shtSelEnd = SInt16(std::min<size_t>(c->m_strText.size(), 32767));
  if (style != nullptr) c->m_udtStyle = *style;
  return noErr;
}

OSStatus CreateCheckBoxControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                               SInt32 initialValue, Boolean autoToggle, ControlRef* outControl) {
  OSStatus status = Make(window, boundsRect, kViewCheckBox, outControl);
  if (status != noErr) return status;
  ControlRef c = *outControl;
  c->m_strTitle = UnitsOf(title);
  c->m_intMaximum = 2;  // 2: mixed
  c->m_intValue = std::max<SInt32>(0, std::min<SInt32>(2, initialValue));
  c->m_blnAutoToggle = autoToggle != 0;
  return noErr;
}

OSStatus CreateRadioGroupControl(WindowRef window, Rect const* boundsRect, ControlRef* outControl) {
  return Make(window, boundsRect, kViewRadioGroup, outControl);
}

OSStatus CreateRadioButtonControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                                  SInt32 initialValue, Boolean autoToggle, ControlRef* outControl) {
  OSStatus status = Make(window, boundsRect, kViewRadioButton, outControl);
  if (status != noErr) return status;
  ControlRef c = *outControl;
  c->m_strTitle = UnitsOf(title);
  c->m_intMaximum = 1;
  c->m_intValue = initialValue != 0 ? 1 : 0;
  c->m_blnAutoToggle = autoToggle != 0;
  return noErr;
}

OSStatus CreateGroupBoxControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                               Boolean primary, ControlRef* outControl) {
  (void)primary;
  OSStatus status = Make(window, boundsRect, kViewGroupBox, outControl);
  if (status == noErr) (*outControl)->m_strTitle = UnitsOf(title);
  return status;
}

OSStatus CreateUserPaneControl(WindowRef window, Rect const* boundsRect, UInt32 features,
                               ControlRef* outControl) {
  OSStatus status = Make(window, boundsRect, kViewUserPane, outControl);
  if (status == noErr) (*outControl)->m_ulngOptions = features;
  return status;
}

OSStatus CreateTabsControl(WindowRef window, Rect const* boundsRect, ControlTabSize size,
                           ControlTabDirection direction, UInt16 numTabs,
                           ControlTabEntry const* tabArray, ControlRef* outControl) {
  (void)size, (void)direction;
  if (numTabs > 0 && tabArray == nullptr) return kParamErr;
  std::vector<std::u16string> names;
  std::vector<bool> enabled;
  try {
    for (UInt16 i = 0; i < numTabs; ++i) {
      names.push_back(UnitsOf(tabArray[i].name));
      enabled.push_back(tabArray[i].enabled != 0);
    }
  } catch (...) {
    return kMemFullErr;
  }
  OSStatus status = Make(window, boundsRect, kViewTabs, outControl);
  if (status != noErr) return status;
  ControlRef c = *outControl;
  c->m_vecItems.swap(names);
  c->m_vecItemEnabled.swap(enabled);
  c->m_intMinimum = numTabs > 0 ? 1 : 0;
  c->m_intMaximum = numTabs;
  c->m_intValue = numTabs > 0 ? 1 : 0;
  return noErr;
}

OSStatus CreatePopupButtonControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                                  SInt16 menuID, Boolean variableWidth, SInt16 titleWidth,
                                  SInt16 titleJustification, Style titleStyle,
                                  ControlRef* outControl) {
  (void)menuID, (void)variableWidth, (void)titleWidth, (void)titleJustification, (void)titleStyle;
  OSStatus status = Make(window, boundsRect, kViewPopupButton, outControl);
  if (status == noErr) (*outControl)->m_strTitle = UnitsOf(title);
  return status;
}

void SetControlPopupMenuHandle(ControlRef control, MenuRef popupMenu) {
  // The Menu Manager is asked outside the server's lock (it calls the server in turn).
  if (popupMenu != nullptr && RetainMenu(popupMenu) != noErr) return;
  SInt32 const count = popupMenu != nullptr ? SInt32(CountMenuItems(popupMenu)) : 0;
  MenuRef old = popupMenu;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (ViewAlive(control) && control->m_enmKind == kViewPopupButton) {
      old = control->m_hMenu;
      control->m_hMenu = popupMenu;
      control->m_intMaximum = count;
    }
  }
  if (old != nullptr) ReleaseMenu(old);
}

MenuRef GetControlPopupMenuHandle(ControlRef control) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(control) ? control->m_hMenu : nullptr;
}

OSStatus HIComboBoxCreate(HIRect const* boundsRect, CFStringRef text,
                          ControlFontStyleRec const* style, void const* list,
                          OptionBits inAttributes, HIViewRef* outComboBox) {
  (void)list;
  if (outComboBox == nullptr || boundsRect == nullptr) return kParamErr;
  *outComboBox = nullptr;
  ControlRef c = NewView(kViewComboBox);
  if (c == nullptr) return kMemFullErr;
  c->m_udtFrame = *boundsRect;
  c->m_strText = UnitsOf(text);
  c->m_shtSelStart = c->m_shtSelEnd = SInt16(std::min<size_t>(c->m_strText.size(), 32767));
  c->m_ulngOptions = inAttributes;
  if (style != nullptr) c->m_udtStyle = *style;
  *outComboBox = c;
  return noErr;
}

OSStatus HIComboBoxAppendTextItem(HIViewRef inComboBox, CFStringRef inText, CFIndex* outIndex) {
  if (inText == nullptr) return kParamErr;
  std::u16string units = UnitsOf(inText);
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inComboBox) || inComboBox->m_enmKind != kViewComboBox) return kParamErr;
  auto& items = inComboBox->m_vecItems;
  try {
    if ((inComboBox->m_ulngOptions & kHIComboBoxAutoSortAttribute) != 0) {
      auto at = std::upper_bound(items.begin(), items.end(), units);
      at = items.insert(at, units);
      if (outIndex != nullptr) *outIndex = CFIndex(at - items.begin());
    } else {
      items.push_back(units);
      if (outIndex != nullptr) *outIndex = CFIndex(items.size() - 1);
    }
  } catch (...) {
    return kMemFullErr;
  }
  return noErr;
}

ItemCount HIComboBoxGetItemCount(HIViewRef inComboBox) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(inComboBox) ? ItemCount(inComboBox->m_vecItems.size()) : 0;
}

OSStatus HIComboBoxCopyTextItemAtIndex(HIViewRef inComboBox, CFIndex inIndex,
                                       CFStringRef* outString) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inComboBox) || outString == nullptr || inIndex < 0 ||
      size_t(inIndex) >= inComboBox->m_vecItems.size()) {
    return kParamErr;
  }
  *outString = StringOf(inComboBox->m_vecItems[size_t(inIndex)]);
  return *outString == nullptr ? kMemFullErr : noErr;
}

OSStatus CreateProgressBarControl(WindowRef window, Rect const* boundsRect, SInt32 value,
                                  SInt32 minimum, SInt32 maximum, Boolean indeterminate,
                                  ControlRef* outControl) {
  OSStatus status = Make(window, boundsRect, kViewProgressBar, outControl);
  if (status != noErr) return status;
  ControlRef c = *outControl;
  c->m_intMinimum = minimum;
  c->m_intMaximum = maximum;
  c->m_intValue = maximum >= minimum ? std::max(minimum, std::min(maximum, value)) : value;
  c->m_blnIndeterminate = indeterminate != 0;
  return noErr;
}

OSStatus CreateSeparatorControl(WindowRef window, Rect const* boundsRect, ControlRef* outControl) {
  return Make(window, boundsRect, kViewSeparator, outControl);
}

OSStatus HIImageViewCreate(CGImageRef inImage, HIViewRef* outControl) {
  if (outControl == nullptr) return kParamErr;
  *outControl = nullptr;
  ControlRef c = NewView(kViewImage);
  if (c == nullptr) return kMemFullErr;
  if (inImage != nullptr) {
    CFRetain(reinterpret_cast<CFTypeRef>(inImage));
    c->m_refImage = inImage;
  }
  *outControl = c;
  return noErr;
}

OSStatus CreateSliderControl(WindowRef window, Rect const* boundsRect, SInt32 value,
                             SInt32 minimum, SInt32 maximum, ControlSliderOrientation orientation,
                             UInt16 numTickMarks, Boolean liveTracking, ControlActionUPP liveProc,
                             ControlRef* outControl) {
  (void)orientation;
  OSStatus status = Make(window, boundsRect, kViewSlider, outControl);
  if (status != noErr) return status;
  ControlRef c = *outControl;
  c->m_intMinimum = minimum;
  c->m_intMaximum = maximum;
  c->m_intValue = maximum >= minimum ? std::max(minimum, std::min(maximum, value)) : value;
  c->m_intTickMarks = numTickMarks;
  c->m_blnLiveTracking = liveTracking != 0;
  c->m_uppAction = liveProc;
  return noErr;
}

OSStatus HIScrollViewCreate(OptionBits inOptions, HIViewRef* outView) {
  if (outView == nullptr) return kParamErr;
  *outView = NewView(kViewScrollView);
  if (*outView == nullptr) return kMemFullErr;
  (*outView)->m_ulngOptions = inOptions;
  return noErr;
}

OSStatus HIScrollViewSetScrollBarAutoHide(HIViewRef inView, Boolean inAutoHide) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inView) || inView->m_enmKind != kViewScrollView) return kParamErr;
  inView->m_blnAutoHide = inAutoHide != 0;
  return noErr;
}

OSStatus HIObjectCreate(CFStringRef inClassID, EventRef inConstructData, HIObjectRef* outObject) {
  (void)inConstructData;
  if (outObject == nullptr || inClassID == nullptr) return kParamErr;
  *outObject = NewView(kViewCustom);
  if (*outObject == nullptr) return kMemFullErr;
  std::u16string const name = UnitsOf(inClassID);
  (*outObject)->m_strClassID = Utf8Of(name);
  return noErr;
}

OSStatus HIGrowBoxViewSetTransparent(HIViewRef inGrowBoxView, Boolean inTransparent) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(inGrowBoxView) || inGrowBoxView->m_enmKind != kViewGrowBox) return kParamErr;
  inGrowBoxView->m_blnTransparent = inTransparent != 0;
  return noErr;
}
