// clsDynamicWindow, realisation: the window of a layout (class, attributes, limits, handler,
// placement), one control per layout object, moving and resizing, and taking it all down.
// A control that cannot be made is simply missing; only the window itself, its modality and its
// event handler make BuildWindow fail.
#include "dialogs/clsDynamicWindow.h"

#include <algorithm>
#include <new>

#include "core/MacOSGlue.h"
#include "dialogs/WebViewBridge.h"
#include "dialogs/clsDWMenu.h"
#include "files/XFileSpec.h"
#include "platform/carbon/MacTextEditor.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFURL.h"
#include "platform/cg/CGDirectDisplay.h"
#include "platform/cg/CGImage.h"
#include "platform/webkit/HIWebView.h"

namespace {

constexpr int kTextViewOffset = 20000;
constexpr int kRadioGroupOffset = 100000;
constexpr int kRadioButtonOffset = 110000;
constexpr int kRadioButtonStep = 10000;
constexpr int kMaxWindowSize = 3000;

// The object's bounds: each final field where it is set, else the laid-out one.
Rect BoundsOf(clsDWLayoutObject const& obj) {
  int const x = obj.m_intFinalX != 0 ? obj.m_intFinalX : obj.m_intX;
  int const y = obj.m_intFinalY != 0 ? obj.m_intFinalY : obj.m_intY;
  int const w = obj.m_intFinalWidth != 0 ? obj.m_intFinalWidth : obj.m_intWidth;
  int const h = obj.m_intFinalHeight != 0 ? obj.m_intFinalHeight : obj.m_intHeight;
  return Rect{SInt16(y), SInt16(x), SInt16(y + h), SInt16(x + w)};
}

// An empty text for titles, made once.
CFStringRef EmptyText() {
  static CFStringRef s_refEmpty = CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
  return s_refEmpty;
}

HIRect RectToHIRect(Rect const& r) {
  return CGRectMake(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// A CFString of the text, released when the holder goes.
struct stcCFText {
  explicit stcCFText(UniString const& text) : m_ref(UniStringToCFString(text)) {}
  ~stcCFText() {
    if (m_ref != nullptr) CFRelease(m_ref);
  }
  stcCFText(stcCFText const&) = delete;
  stcCFText& operator=(stcCFText const&) = delete;
  CFStringRef m_ref;
};

void SetWholeText(TXNObject txn, UniString const& text) {
  TXNSetData(txn, kTXNUnicodeTextData, text.GetBytes(), ByteCount(text.Length()) * 2,
             kTXNStartOffset, kTXNEndOffset);
}

// The control's help tag shows the hint; an empty hint leaves the control without one.
void SetHintTag(ControlRef control, UniString const& text) {
  if (text.IsEmpty()) return;
  stcCFText hint(text);
  if (hint.m_ref == nullptr) return;
  HMHelpContentRec content{};
  content.version = kMacHelpVersion;
  content.tagSide = kHMDefaultSide;
  content.content[kHMMinimumContentIndex].contentType = kHMCFStringContent;
  content.content[kHMMinimumContentIndex].u.tagCFString = hint.m_ref;
  content.content[kHMMaximumContentIndex].contentType = kHMNoContent;
  HMSetControlHelpContent(control, &content);
}

}  // namespace

// ---- clsMLTEObject, clsSliderInfo ----

clsMLTEObject::clsMLTEObject()
    : m_blnFocused(false),
      m_blnActive(true),
      m_rctBounds{0, 0, 0, 0},
      m_shpFrame(nullptr),
      m_shpFocusFrame(nullptr) {}

clsMLTEObject::~clsMLTEObject() {
  if (m_shpFrame != nullptr) CFRelease(m_shpFrame);
  if (m_shpFocusFrame != nullptr) CFRelease(m_shpFocusFrame);
}

void clsMLTEObject::CalculateBounds(CGRect r) {
  m_rctBounds = Rect{SInt16(r.origin.y), SInt16(r.origin.x), SInt16(r.origin.y + r.size.height),
                     SInt16(r.origin.x + r.size.width)};
  if (m_shpFrame != nullptr) CFRelease(m_shpFrame);
  if (m_shpFocusFrame != nullptr) CFRelease(m_shpFocusFrame);
  CGRect const frame = CGRectInset(r, -2, -2);
  CGRect const focus = CGRectInset(r, -3, -3);
  m_shpFrame = HIShapeCreateWithRect(&frame);
  m_shpFocusFrame = HIShapeCreateWithRect(&focus);
}

clsSliderInfo::~clsSliderInfo() {
  if (m_uppAction != nullptr) DisposeControlActionUPP(m_uppAction);
}

// ---- clsDynamicWindow ----

clsDynamicWindow::clsDynamicWindow()
    : m_pudtEvents(nullptr),
      m_intWindowType(0),
      m_blnShown(false),
      m_intWindowFeatures(0),
      m_blnDone(false),
      m_uppEventHandler(nullptr),
      m_hSavedMenuBar(nullptr),
      m_blnBuilding(false),
      m_refWindow(nullptr),
      m_blnEatKeys(false) {}

clsDynamicWindow::~clsDynamicWindow() { DestroyWindow(); }

void clsDynamicWindow::SetWindowType(int32_t type) {
  if (!m_blnShown) m_intWindowType = type;
}

clsDWLayoutObject* clsDynamicWindow::FindObject(int32_t id) {
  bool found = false;
  clsDWLayoutObject::iterator it = m_udtLayout.FindControlWithID(id, found);
  return found ? &*it : nullptr;
}

ControlRef clsDynamicWindow::FindControl(int32_t id) {
  if (m_refWindow == nullptr) return nullptr;
  ControlID const controlID{kDynamicWindowSignature, id};
  ControlRef control = nullptr;
  if (GetControlByID(m_refWindow, &controlID, &control) != noErr) return nullptr;
  return control;
}

bool clsDynamicWindow::BuildWindow(clsDWLayout& layout, int x, int y, int width, int height) {
  m_refWindow = nullptr;
  m_udtLayout = layout;
  m_blnBuilding = true;
  m_udtLayout.LayoutWindow();

  m_uppEventHandler = NewEventHandlerUPP(&clsDynamicWindow::WindowEventHandler);

  WindowClass windowClass = kMovableModalWindowClass;
  WindowAttributes attributes = kWindowStandardHandlerAttribute;
  bool appModal = false;
  bool const feature1 = HasFeature(1);
  switch (m_intWindowType) {
    case 0:
      windowClass = kDocumentWindowClass;
      if (!feature1) attributes |= kWindowCloseBoxAttribute;
      break;
    case 1:
      if (feature1) {
        windowClass = kDocumentWindowClass;
        attributes |= kWindowCloseBoxAttribute;
        appModal = true;
      }
      break;
    case 2:
      windowClass = kFloatingWindowClass;
      if (feature1) attributes |= kWindowCloseBoxAttribute;
      break;
    default:
      break;
  }
  bool const resizable = m_udtLayout.IsResizable();
  if (resizable) {
    attributes |= kWindowResizableAttribute;
    if (m_udtLayout.m_blnLiveResize) attributes |= kWindowLiveResizeAttribute;
  }
  attributes |= kWindowCompositingAttribute;

  Rect const content{100, 100, SInt16(100 + m_udtLayout.m_intWindowHeight),
                     SInt16(100 + m_udtLayout.m_intWindowWidth)};
  auto fail = [this]() {
    if (m_refWindow != nullptr) ReleaseWindow(m_refWindow);
    m_refWindow = nullptr;
    m_blnBuilding = false;
    return false;
  };
  if (CreateNewWindow(windowClass, attributes, &content, &m_refWindow) != noErr) return fail();
  if (appModal && SetWindowModality(m_refWindow, kWindowModalityAppModal, nullptr) != noErr) {
    return fail();
  }

  if (resizable) {
    HISize const minimum = CGSizeMake(m_udtLayout.m_intWindowWidth, m_udtLayout.m_intWindowHeight);
    HISize const maximum =
        CGSizeMake(m_udtLayout.m_blnResizableH ? kMaxWindowSize : m_udtLayout.m_intWindowWidth,
                   m_udtLayout.m_blnResizableV ? kMaxWindowSize : m_udtLayout.m_intWindowHeight);
    SetWindowResizeLimits(m_refWindow, &minimum, &maximum);
  }

  EventTypeSpec const kWindowEvents[] = {
      {kEventClassWindow, kEventWindowClose},   {kEventClassControl, kEventControlHit},
      {kEventClassKeyboard, kEventRawKeyDown},  {kEventClassKeyboard, kEventRawKeyRepeat},
      {kEventClassKeyboard, kEventRawKeyUp},    {kEventClassWindow, kEventWindowDrawContent},
      {kEventClassWindow, kEventWindowBoundsChanged}};
  ItemCount const count = resizable ? 7 : 6;
  if (InstallWindowEventHandler(m_refWindow, m_uppEventHandler, count, kWindowEvents, this,
                                nullptr) != noErr) {
    return fail();
  }

  SetThemeWindowBackground(m_refWindow, kThemeBrushDialogBackgroundActive, true);
  {
    stcCFText title(m_udtLayout.m_ustrTitle);
    if (title.m_ref != nullptr) SetWindowTitleWithCFString(m_refWindow, title.m_ref);
  }
  if (resizable) {
    HIViewRef growBox = nullptr;
    if (HIViewFindByID(HIViewGetRoot(m_refWindow), kHIViewWindowGrowBoxID, &growBox) == noErr) {
      HIGrowBoxViewSetTransparent(growBox, true);
    }
  }

  HIViewRef contentView = nullptr;
  HIViewFindByID(HIViewGetRoot(m_refWindow), kHIViewWindowContentID, &contentView);
  CreateControls(m_udtLayout, contentView);

  if (m_intWindowType == 1) RepositionWindow(m_refWindow, nullptr, kWindowAlertPositionOnMainScreen);

  if (width != 0 || height != 0) {
    Rect structure;
    if (::GetWindowBounds(m_refWindow, kWindowStructureRgn, &structure) == noErr) {
      int const oldWidth = structure.right - structure.left;
      int const oldHeight = structure.bottom - structure.top;
      int const newWidth = std::max(width, oldWidth);
      int const newHeight = std::max(height, oldHeight);
      if (newWidth != oldWidth || newHeight != oldHeight) {
        structure.right = SInt16(structure.left + newWidth);
        structure.bottom = SInt16(structure.top + newHeight);
        SetWindowBounds(m_refWindow, kWindowStructureRgn, &structure);
        Rect contentNow;
        if (::GetWindowBounds(m_refWindow, kWindowContentRgn, &contentNow) == noErr) {
          m_udtLayout.ResizeLayout(contentNow.right - contentNow.left,
                                   contentNow.bottom - contentNow.top, this);
        }
      }
    }
  }
  if (x != 0 || y != 0) PositionWindow(x, y);
  m_blnBuilding = false;
  return true;
}

void clsDynamicWindow::Adopt(ControlRef control, clsDWLayoutObject& obj, ControlRef parent,
                             int32_t id) {
  ControlID const controlID{kDynamicWindowSignature, id};
  SetControlID(control, &controlID);
  if (parent != nullptr) HIViewAddSubview(parent, control);
  if (!obj.m_blnEnabled) DeactivateControl(control);
  HIViewSetVisible(control, obj.m_blnVisible);
}

void clsDynamicWindow::CreateControls(clsDWLayoutObject& obj, ControlRef parent) {
  if (m_refWindow == nullptr) return;
  Rect const bounds = BoundsOf(obj);
  ControlRef control = nullptr;
  stcCFText label(obj.m_ustrLabel);
  CFStringRef const text = label.m_ref != nullptr ? label.m_ref : EmptyText();
  bool helpTag = true;

  switch (obj.m_enmType) {
    case DWLO_TabControl:
      if (obj.HasChildren()) MakeTabControl(obj, parent, bounds);
      return;
    case DWLO_VBox:
    case DWLO_HBox: {
      if (!obj.HasChildren()) return;
      ControlRef inside = parent;
      if (obj.HasFeature(1) &&
          CreateGroupBoxControl(m_refWindow, &bounds, text, true, &control) == noErr) {
        Adopt(control, obj, parent, obj.m_lngID);
        inside = control;
      }
      for (clsDWLayoutObject& child : obj.m_vecChildren) CreateControls(child, inside);
      break;
    }
    case DWLO_Button:
      if (CreatePushButtonControl(m_refWindow, &bounds, text, &control) == noErr) {
        Adopt(control, obj, parent, obj.m_lngID);
        if (obj.HasFeature(1)) SetWindowDefaultButton(m_refWindow, control);
        if (obj.HasFeature(2)) SetWindowCancelButton(m_refWindow, control);
      }
      break;
    case DWLO_SmallButton:
      if (CreateBevelButtonControl(m_refWindow, &bounds, text, kControlBevelButtonSmallBevel,
                                   kControlBehaviorPushbutton, nullptr, 0, 0, 0,
                                   &control) == noErr) {
        Adopt(control, obj, parent, obj.m_lngID);
      }
      break;
    case DWLO_Label: {
      ControlFontStyleRec style{};
      if (obj.HasFeature(8)) {
        style.flags |= kControlUseJustMask;
        style.just = teCenter;
      } else if (obj.HasFeature(16)) {
        style.flags |= kControlUseJustMask;
        style.just = teFlushRight;
      }
      bool const link = obj.HasFeature(1);
      if (link) {
        style.flags |= kControlUseFaceMask | kControlUseForeColorMask;
        style.style = underline;
        style.foreColor = RGBColor{0, 0, 65535};
      }
      if (CreateStaticTextControl(m_refWindow, &bounds, text, &style, &control) != noErr) break;
      Adopt(control, obj, parent, obj.m_lngID);
      if (link) {
        HIViewNewTrackingArea(control, nullptr, HIViewTrackingAreaID(obj.m_lngID), nullptr);
        EventTypeSpec const kLinkEvents[] = {{kEventClassControl, kEventControlHit},
                                             {kEventClassControl, kEventControlHitTest},
                                             {kEventClassControl, kEventControlTrackingAreaEntered},
                                             {kEventClassControl, kEventControlTrackingAreaExited}};
        InstallControlEventHandler(control, m_uppEventHandler, 4, kLinkEvents, this, nullptr);
      }
      break;
    }
    case DWLO_Edit:
      if (obj.HasFeature(1)) {
        MakeMultiLineEdit(obj, parent, bounds);
        return;
      }
      if (CreateEditUnicodeTextControl(m_refWindow, &bounds, text, obj.HasFeature(2), nullptr,
                                       &control) == noErr) {
        Adopt(control, obj, parent, obj.m_lngID);
        if (obj.HasFeature(4)) {
          Boolean const locked = true;
          SetControlData(control, kControlEntireControl, kControlEditTextLockedTag, sizeof locked,
                         &locked);
        }
        HIViewNewTrackingArea(control, nullptr, HIViewTrackingAreaID(obj.m_lngID), nullptr);
        EventTypeSpec const kEditEvents[] = {
            {kEventClassTextInput, kEventTextInputUnicodeForKeyEvent},
            {kEventClassControl, kEventControlTrackingAreaEntered},
            {kEventClassControl, kEventControlTrackingAreaExited},
            {kEventClassControl, kEventControlContextualMenuClick},
            {kEventClassControl, kEventControlSetFocusPart}};
        InstallControlEventHandler(control, m_uppEventHandler, 5, kEditEvents, this, nullptr);
      }
      break;
    case DWLO_CheckBox:
      if (CreateCheckBoxControl(m_refWindow, &bounds, text, obj.m_intValue > 0 ? 1 : 0, true,
                                &control) == noErr) {
        Adopt(control, obj, parent, obj.m_lngID);
      }
      break;
    case DWLO_RadioGroup:
      MakeRadioGroup(obj, parent, bounds);
      return;
    case DWLO_ComboBox:
      if (!obj.HasFeature(1)) {
        MakePopup(obj, parent, bounds);
        return;
      }
      {
        OptionBits attributes = kHIComboBoxAutoCompletionAttribute |
                                kHIComboBoxAutoDisclosureAttribute | kHIComboBoxAutoSizeListAttribute;
        if (obj.HasFeature(2)) attributes |= kHIComboBoxAutoSortAttribute;
        HIRect const frame = RectToHIRect(bounds);
        if (HIComboBoxCreate(&frame, text, nullptr, nullptr, attributes, &control) != noErr) break;
        Adopt(control, obj, parent, obj.m_lngID);
        if (obj.m_pulstItems != nullptr) {
          for (UniString const& item : *obj.m_pulstItems) {
            stcCFText itemText(item);
            if (itemText.m_ref != nullptr) HIComboBoxAppendTextItem(control, itemText.m_ref, nullptr);
          }
        }
        EventTypeSpec const kComboEvents[] = {{kEventClassControl, kEventControlSetFocusPart}};
        InstallControlEventHandler(control, m_uppEventHandler, 1, kComboEvents, this, nullptr);
      }
      break;
    case DWLO_ListBox:
      MakeListBox(obj, parent, bounds);
      return;
    case DWLO_ProgressBar:
      if (CreateProgressBarControl(m_refWindow, &bounds, obj.m_intValue, 0, 100, false,
                                   &control) == noErr) {
        Adopt(control, obj, parent, obj.m_lngID);
      }
      break;
    case DWLO_Separator:
      if (CreateSeparatorControl(m_refWindow, &bounds, &control) == noErr) {
        Adopt(control, obj, parent, obj.m_lngID);
      }
      break;
    case DWLO_Picture:
      if (obj.HasFeature(1)) MakePicture(obj, parent, bounds);
      return;
    case DWLO_Slider: {
      clsSliderInfo* info = new (std::nothrow) clsSliderInfo;
      if (info == nullptr) break;
      info->m_pudtWindow = this;
      info->m_uppAction = NewControlActionUPP(&clsDynamicWindow::SliderControlAction);
      UInt16 const ticks = UInt16((obj.m_intMaximum - obj.m_intMinimum) / 10 + 1);
      if (CreateSliderControl(m_refWindow, &bounds, obj.m_intValue, obj.m_intMinimum,
                              obj.m_intMaximum, kControlSliderPointsDownOrRight, ticks, true,
                              info->m_uppAction, &control) != noErr) {
        delete info;
        control = nullptr;
        break;
      }
      Adopt(control, obj, parent, obj.m_lngID);
      SetControlReference(control, info);
      break;
    }
    case DWLO_WebView:
      MakeWebView(obj, parent, bounds);
      helpTag = false;
      return;
    case DWLO_RadioButton: {
      bool checked = false;
      if (clsDWLayoutObject* controller = FindObject(obj.m_lngAssociateID)) {
        if (controller->m_enmType == DWLO_RadioController && controller->m_pulstItems != nullptr &&
            controller->m_pulstItems->IndexOf(UniString(obj.m_lngID), true) == controller->m_intValue) {
          checked = true;
        }
      }
      if (CreateRadioButtonControl(m_refWindow, &bounds, text, checked ? 1 : 0, false,
                                   &control) == noErr) {
        Adopt(control, obj, parent, obj.m_lngID);
      }
      break;
    }
    default:
      return;  // radio controllers, spaces, fills and fresh nodes have no control
  }

  if (control != nullptr && helpTag) SetHintTag(control, obj.m_ustrHint);
}

void clsDynamicWindow::MakeTabControl(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds) {
  size_t const pages = obj.m_vecChildren.size();
  ControlTabEntry* entries = new (std::nothrow) ControlTabEntry[pages];
  if (entries == nullptr) return;
  std::vector<CFStringRef> names(pages, nullptr);
  for (size_t i = 0; i < pages; ++i) {
    names[i] = UniStringToCFString(obj.m_vecChildren[i].m_ustrLabel);
    entries[i] = ControlTabEntry{nullptr, names[i], obj.m_vecChildren[i].m_blnEnabled};
  }
  ControlRef tabs = nullptr;
  OSStatus const status = CreateTabsControl(m_refWindow, &bounds, kControlTabSizeLarge,
                                            kControlTabDirectionNorth, UInt16(pages), entries, &tabs);
  for (CFStringRef name : names) {
    if (name != nullptr) CFRelease(name);
  }
  delete[] entries;
  if (status != noErr) return;  // the pages and their children go with it
  Adopt(tabs, obj, parent, obj.m_lngID);
  int const width = bounds.right - bounds.left;
  int const height = bounds.bottom - bounds.top;
  for (clsDWLayoutObject& page : obj.m_vecChildren) {
    Rect const paneBounds{46, 0, SInt16(height), SInt16(width)};
    ControlRef pane = nullptr;
    if (CreateUserPaneControl(m_refWindow, &paneBounds, kControlSupportsEmbedding, &pane) != noErr) {
      continue;
    }
    ControlID const paneID{kDynamicWindowSignature, page.m_lngID};
    SetControlID(pane, &paneID);
    HIViewAddSubview(tabs, pane);
    for (clsDWLayoutObject& child : page.m_vecChildren) CreateControls(child, pane);
    HIViewSetVisible(pane, false);
  }
  ShowTabPage(obj, obj.m_intValue);
  SetControl32BitValue(tabs, obj.m_intValue);
}

void clsDynamicWindow::ShowTabPage(clsDWLayoutObject& tabs, int32_t value) {
  size_t const pages = tabs.m_vecChildren.size();
  size_t const shown = value >= 1 && size_t(value) <= pages ? size_t(value) - 1 : 0;
  for (size_t i = 0; i < pages; ++i) {
    if (ControlRef pane = FindControl(tabs.m_vecChildren[i].m_lngID)) {
      HIViewSetVisible(pane, i == shown);
    }
  }
}

void clsDynamicWindow::MakeRadioGroup(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds) {
  stcCFText title(obj.m_ustrLabel);
  ControlRef group = nullptr;
  if (CreateGroupBoxControl(m_refWindow, &bounds, title.m_ref != nullptr ? title.m_ref : EmptyText(),
                            true, &group) != noErr) {
    return;
  }
  Adopt(group, obj, parent, obj.m_lngID);
  int const width = bounds.right - bounds.left;
  int const height = bounds.bottom - bounds.top;
  Rect const inner{0, 0, SInt16(height), SInt16(width)};
  ControlRef radios = nullptr;
  if (CreateRadioGroupControl(m_refWindow, &inner, &radios) == noErr) {
    ControlID const groupID{kDynamicWindowSignature, obj.m_lngID + kRadioGroupOffset};
    SetControlID(radios, &groupID);
    HIViewAddSubview(group, radios);
    if (obj.m_pulstItems != nullptr) {
      int n = 0;
      for (UniString const& item : *obj.m_pulstItems) {
        Rect const r{SInt16(28 + 25 * n), 16, SInt16(28 + 25 * n + 18), SInt16(width - 16)};
        stcCFText itemTitle(item);
        ControlRef button = nullptr;
        if (CreateRadioButtonControl(m_refWindow, &r, itemTitle.m_ref != nullptr ? itemTitle.m_ref : EmptyText(),
                                     0, false, &button) == noErr) {
          ControlID const buttonID{kDynamicWindowSignature,
                                   obj.m_lngID + kRadioButtonOffset + kRadioButtonStep * n};
          SetControlID(button, &buttonID);
          HIViewAddSubview(radios, button);
        }
        ++n;
      }
    }
    SetControl32BitValue(radios, obj.m_intValue + 1);
  }
  SetHintTag(group, obj.m_ustrHint);
}

void clsDynamicWindow::MakePopup(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds) {
  bool ok = false;
  clsDWMenu::iterator menu = m_udtMainDWMenu.NewSubMenu(obj.m_lngID, obj.m_ustrLabel, this, ok);
  if (!ok) return;
  menu->AddMenuItems(obj.m_pulstItems, false);
  MenuRef const menuRef = menu->m_hMenu;
  ControlRef popup = nullptr;
  if (CreatePopupButtonControl(m_refWindow, &bounds, EmptyText(), -12345, false, 0, teFlushDefault,
                               0, &popup) != noErr) {
    return;
  }
  Adopt(popup, obj, parent, obj.m_lngID);
  SetControlPopupMenuHandle(popup, menuRef);
  if (obj.m_pulstItems != nullptr) SetControl32BitMaximum(popup, SInt32(obj.m_pulstItems->Count()));
  SetControl32BitValue(popup, obj.m_intValue + 1);
  SetHintTag(popup, obj.m_ustrHint);
}

void clsDynamicWindow::MakePicture(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds) {
  CFStringRef identifier =
      CFStringCreateWithCString(nullptr, g_strPluginBundleIdentifier, kCFStringEncodingUTF8);
  CFBundleRef bundle = identifier != nullptr ? CFBundleGetBundleWithIdentifier(identifier) : nullptr;
  if (identifier != nullptr) CFRelease(identifier);
  if (bundle == nullptr) return;
  stcCFText name(obj.m_ustrLabel);
  CFURLRef url = name.m_ref != nullptr ? CFBundleCopyResourceURL(bundle, name.m_ref, nullptr, nullptr)
                                       : nullptr;
  if (url == nullptr) return;
  CGDataProviderRef provider = CGDataProviderCreateWithURL(url);
  CFRelease(url);
  if (provider == nullptr) return;
  CGImageRef image = CGImageCreateWithPNGDataProvider(provider, nullptr, false, kCGRenderingIntentDefault);
  CGDataProviderRelease(provider);
  if (image == nullptr) return;
  ControlRef view = nullptr;
  OSStatus const status = HIImageViewCreate(image, &view);
  CGImageRelease(image);
  if (status != noErr) return;
  HIRect const frame = RectToHIRect(bounds);
  HIViewSetFrame(view, &frame);
  if (parent == nullptr) HIViewFindByID(HIViewGetRoot(m_refWindow), kHIViewWindowContentID, &parent);
  Adopt(view, obj, parent, obj.m_lngID);
  SetHintTag(view, obj.m_ustrHint);
}

void clsDynamicWindow::MakeWebView(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds) {
  WebInitForCarbon();
  HIViewRef view = nullptr;
  if (HIWebViewCreate(&view) != noErr) return;
  HIRect const frame = RectToHIRect(bounds);
  HIViewSetFrame(view, &frame);
  if (parent == nullptr) HIViewFindByID(HIViewGetRoot(m_refWindow), kHIViewWindowContentID, &parent);
  Adopt(view, obj, parent, obj.m_lngID);
  WKI_InitWebView(view);
  if (obj.m_ustrLabel.IsNotEmpty()) {
    AnsiString const bytes = obj.m_ustrLabel.GetAnsiString(1);
    CFURLRef url = CFURLCreateWithBytes(nullptr, reinterpret_cast<UInt8 const*>(bytes.c_str()),
                                        CFIndex(bytes.Length()), kCFStringEncodingUTF8, nullptr);
    if (url != nullptr) {
      WKI_UpdateWebViewURL(view, url);
      CFRelease(url);
    }
  } else if (obj.m_pulstItems != nullptr && obj.m_pulstItems->Count() > 0) {
    stcCFText html(obj.m_pulstItems->Text(kLineEndingCR));
    if (html.m_ref != nullptr) WKI_UpdateWebViewContent(view, html.m_ref);
  } else {
    CFURLRef url = CFURLCreateWithBytes(nullptr, reinterpret_cast<UInt8 const*>("about:blank"), 11,
                                        kCFStringEncodingUTF8, nullptr);
    if (url != nullptr) {
      WKI_UpdateWebViewURL(view, url);
      CFRelease(url);
    }
  }
}

void clsDynamicWindow::MakeMultiLineEdit(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds) {
  clsMLTEObject* mlte = new (std::nothrow) clsMLTEObject;
  if (mlte == nullptr) return;
  HIViewRef scroll = nullptr;
  if (HIScrollViewCreate(kHIScrollViewOptionsVertScroll, &scroll) != noErr) {
    delete mlte;
    return;
  }
  ControlID const scrollID{kDynamicWindowSignature, obj.m_lngID};
  SetControlID(scroll, &scrollID);
  if (parent == nullptr) HIViewFindByID(HIViewGetRoot(m_refWindow), kHIViewWindowContentID, &parent);
  HIViewAddSubview(parent, scroll);

  HIRect frame = RectToHIRect(bounds);
  HIViewSetFrame(scroll, &frame);
  HIViewConvertRect(&frame, HIViewGetSuperview(scroll), scroll);
  mlte->CalculateBounds(frame);
  HIScrollViewSetScrollBarAutoHide(scroll, true);
  SetControlReference(scroll, mlte);

  EventTypeSpec const kScrollEvents[] = {{kEventClassControl, kEventControlActivate},
                                         {kEventClassControl, kEventControlDeactivate},
                                         {kEventClassControl, kEventControlDraw},
                                         {kEventClassControl, kEventControlGetPartRegion}};
  InstallControlEventHandler(scroll, m_uppEventHandler, 4, kScrollEvents, this, nullptr);

  TXNFrameOptions options = kTXNAlwaysWrapAtViewEdgeMask | kTXNMonostyledTextMask |
                            kTXNDoFontSubstitutionMask;
  if (obj.HasFeature(4)) options |= kTXNReadOnlyMask;
  HIViewRef textView = nullptr;
  if (HITextViewCreate(nullptr, 0, options, &textView) == noErr) {
    HIViewSetVisible(textView, true);
    HIViewAddSubview(scroll, textView);
    ControlID const textID{kDynamicWindowSignature, obj.m_lngID + kTextViewOffset};
    SetControlID(textView, &textID);
    SetControlReference(textView, mlte);
    SetControlCommandID(textView, 1);
    TXNObject txn = HITextViewGetTXNObject(textView);
    TXNMargins margins{2, 3, 2, 1};
    TXNControlTag const tags[] = {kTXNMarginsTag};
    TXNControlData data[1];
    data[0].marginsPtr = &margins;
    TXNSetTXNObjectControls(txn, false, 1, tags, data);
    UniString const whole =
        obj.m_pulstItems != nullptr ? obj.m_pulstItems->Text(kLineEndingCR) : UniString();
    SetWholeText(txn, whole);
    HIViewNewTrackingArea(textView, nullptr, HIViewTrackingAreaID(obj.m_lngID), nullptr);
    EventTypeSpec const kTextEvents[] = {
        {kEventClassTextInput, kEventTextInputUnicodeForKeyEvent},
        {kEventClassControl, kEventControlTrackingAreaEntered},
        {kEventClassControl, kEventControlTrackingAreaExited},
        {kEventClassControl, kEventControlSetFocusPart},
        {kEventClassControl, kEventControlContextualMenuClick}};
    InstallControlEventHandler(textView, m_uppEventHandler, 5, kTextEvents, this, nullptr);
  }
  if (!obj.m_blnEnabled) DeactivateControl(scroll);
  HIViewSetVisible(scroll, obj.m_blnVisible);
  SetHintTag(scroll, obj.m_ustrHint);
}

void clsDynamicWindow::MakeListBox(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds) {
  ControlRef browser = nullptr;
  if (CreateDataBrowserControl(m_refWindow, &bounds, kDataBrowserListView, &browser) != noErr) return;
  Adopt(browser, obj, parent, obj.m_lngID);
  SetControlReference(browser, this);
  DataBrowserCallbacks callbacks;
  InitDataBrowserCallbacks(&callbacks);
  callbacks.u.v1.itemDataCallback = NewDataBrowserItemDataUPP(&clsDynamicWindow::DataBrowser_GetSetItemData);
  callbacks.u.v1.itemNotificationCallback =
      NewDataBrowserItemNotificationUPP(&clsDynamicWindow::DataBrowser_ItemNotification);
  if (obj.HasFeature(2)) {
    callbacks.u.v1.itemCompareCallback =
        NewDataBrowserItemCompareUPP(&clsDynamicWindow::DataBrowser_CompareItemData);
  }
  SetDataBrowserCallbacks(browser, &callbacks);
  SetDataBrowserListViewHeaderBtnHeight(browser, 0);
  DataBrowserListViewColumnDesc column{};
  column.propertyDesc.propertyID = MakeFourCharCode("LBSC");
  column.propertyDesc.propertyType = kDataBrowserTextType;
  column.propertyDesc.propertyFlags =
      kDataBrowserListViewSelectionColumn | kDataBrowserTruncateTextAtEnd | kDataBrowserPropertyIsMutable;
  column.headerBtnDesc.version = kDataBrowserListViewLatestHeaderDesc;
  column.headerBtnDesc.minimumWidth = 100;
  column.headerBtnDesc.maximumWidth = 10000;
  column.headerBtnDesc.titleString = nullptr;
  column.headerBtnDesc.btnFontStyle.flags = kControlUseJustMask;
  column.headerBtnDesc.btnFontStyle.just = teFlushLeft;
  AddDataBrowserListViewColumn(browser, &column, kDataBrowserListViewAppendColumn);
  if (!obj.HasFeature(1)) SetDataBrowserSelectionFlags(browser, kDataBrowserSelectOnlyOne);
  SetDataBrowserHasScrollBars(browser, false, true);
  SetDataBrowserTableViewHiliteStyle(browser, kDataBrowserTableViewFillHilite);
  AutoSizeDataBrowserListViewColumns(browser);
  if (obj.HasFeature(2)) SetDataBrowserSortProperty(browser, MakeFourCharCode("LBSC"));
  if (obj.m_pulstItems != nullptr && obj.m_pulstItems->Count() > 0) {
    AddDataBrowserItems(browser, kDataBrowserNoItem, ItemCount(obj.m_pulstItems->Count()), nullptr,
                        kDataBrowserItemNoProperty);
  }
  SetHintTag(browser, obj.m_ustrHint);
}

// ---- placement and size ----

void clsDynamicWindow::PositionWindow(int x, int y) {
  if (m_refWindow == nullptr) return;
  Rect structure;
  if (::GetWindowBounds(m_refWindow, kWindowStructureRgn, &structure) != noErr) return;
  int const w = structure.right - structure.left;
  int const h = structure.bottom - structure.top;
  CGPoint const probe = CGPointMake(x == -1 ? 100 : x, y == -1 ? 100 : y);
  CGDirectDisplayID display = CGMainDisplayID();
  uint32_t count = 0;
  CGDirectDisplayID found = 0;
  if (CGGetDisplaysWithPoint(probe, 1, &found, &count) == kCGErrorSuccess && count > 0) display = found;
  CGRect const screen = CGDisplayBounds(display);
  int const ox = int(screen.origin.x);
  int const oy = int(screen.origin.y);
  int const dw = int(screen.size.width);
  int const dh = int(screen.size.height);
  if (x == -1) x = dw / 2 - w / 2 + ox;
  if (y == -1) y = dh / 2 - h / 2 + oy;
  x = std::min(x, ox + dw - w);
  y = std::min(y, oy + dh - h);
  GDHandle device = nullptr;
  Rect available;
  if (DMGetGDeviceByDisplayID(display, &device, false) == noErr && device != nullptr &&
      GetAvailableWindowPositioningBounds(device, &available) == noErr) {
    if (x + w > available.right) x = available.right - w;
    if (y + h > available.bottom) y = available.bottom - h;
    x = std::max<int>(x, available.left);
    y = std::max<int>(y, available.top);
  }
  if (MoveWindowStructure(m_refWindow, SInt16(x), SInt16(y)) == noErr) {
    ConstrainWindowToScreen(m_refWindow, kWindowStructureRgn, kWindowConstrainMoveRegardlessOfFit,
                            nullptr, nullptr);
  }
}

OSStatus clsDynamicWindow::ResizeWindow(int width, int height, bool relative) {
  Rect r;
  OSStatus status = ::GetWindowBounds(m_refWindow, kWindowStructureRgn, &r);
  if (status != noErr) return status;
  int const w = relative ? r.right - r.left + width : width;
  int const h = relative ? r.bottom - r.top + height : height;
  r.right = SInt16(r.left + w);
  r.bottom = SInt16(r.top + h);
  return SetWindowBounds(m_refWindow, kWindowStructureRgn, &r);
}

OSStatus clsDynamicWindow::SetWindowSize(int width, int height, bool relative) {
  Rect r;
  OSStatus status = ::GetWindowBounds(m_refWindow, kWindowContentRgn, &r);
  if (status != noErr) return status;
  int const w = relative ? r.right - r.left + width : width;
  int const h = relative ? r.bottom - r.top + height : height;
  r.right = SInt16(r.left + w);
  r.bottom = SInt16(r.top + h);
  status = SetWindowBounds(m_refWindow, kWindowContentRgn, &r);
  if (status != noErr || !m_udtLayout.IsResizable()) return status;
  HISize minimum, maximum;
  if (GetWindowResizeLimits(m_refWindow, &minimum, &maximum) != noErr) return status;
  // The minimum follows the new size; growing by a relative amount moves the old minimum by it.
  minimum.width = relative && width != 0 ? minimum.width + width : w;
  minimum.height = relative && height != 0 ? minimum.height + height : h;
  maximum = CGSizeMake(m_udtLayout.m_blnResizableH ? kMaxWindowSize : w,
                       m_udtLayout.m_blnResizableV ? kMaxWindowSize : h);
  SetWindowResizeLimits(m_refWindow, &minimum, &maximum);
  return status;
}

void clsDynamicWindow::GetWindowBounds(int* left, int* top, int* width, int* height) {
  Rect r;
  if (m_refWindow == nullptr || ::GetWindowBounds(m_refWindow, kWindowStructureRgn, &r) != noErr) {
    if (left != nullptr) *left = 0;
    if (top != nullptr) *top = 0;
    if (width != nullptr) *width = m_udtLayout.m_intWindowWidth;
    if (height != nullptr) *height = m_udtLayout.m_intWindowHeight;
    return;
  }
  if (left != nullptr) *left = r.left;
  if (top != nullptr) *top = r.top;
  if (width != nullptr) *width = r.right - r.left;
  if (height != nullptr) *height = r.bottom - r.top;
}

void clsDynamicWindow::PositionControl(clsDWLayoutObject& obj) {
  bool const control = obj.m_enmType > 0;
  bool const tabControl = obj.m_enmType == DWLO_TabControl;
  bool const groupBox = obj.IsBox() && obj.HasFeature(1);
  bool const tabPage = obj.IsBox() && obj.HasFeature(2);
  if (!control && !tabControl && !groupBox && !tabPage) return;
  if (obj.m_hControl == nullptr) obj.m_hControl = FindControl(obj.m_lngID);
  ControlRef view = obj.m_hControl;
  if (view == nullptr) return;
  Rect const b = BoundsOf(obj);
  HIRect frame = RectToHIRect(b);
  if (tabPage) {
    frame.origin.y += 46;
    frame.origin.x -= 22;
    frame.size.width += 22 + 22;
    frame.size.height += 18;
  }
  bool const visible = HIViewIsVisible(view) != 0;
  if (visible) HIViewSetVisible(view, false);
  HIViewSetFrame(view, &frame);
  if (visible) HIViewSetVisible(view, true);
  if (obj.m_enmType == DWLO_Edit && obj.HasFeature(1)) {
    if (auto* mlte = static_cast<clsMLTEObject*>(GetControlReference(view))) {
      HIRect local = frame;
      HIViewConvertRect(&local, HIViewGetSuperview(view), view);
      mlte->CalculateBounds(local);
    }
  } else if (obj.m_enmType == DWLO_ListBox) {
    AutoSizeDataBrowserListViewColumns(view);
  }
}

void clsDynamicWindow::DisposeControls(clsDWLayoutObject& obj) {
  if (obj.m_enmType == DWLO_TabControl || obj.IsBox()) {
    for (clsDWLayoutObject& child : obj.m_vecChildren) DisposeControls(child);
    return;
  }
  if (obj.m_enmType == DWLO_Edit && obj.HasFeature(1)) {
    // The record is reached through the text view, and through the scroll view when the text
    // view is missing, so it never outlives both.
    ControlRef textView = FindControl(obj.m_lngID + kTextViewOffset);
    ControlRef scroll = FindControl(obj.m_lngID);
    clsMLTEObject* mlte = nullptr;
    if (textView != nullptr) mlte = static_cast<clsMLTEObject*>(GetControlReference(textView));
    if (mlte == nullptr && scroll != nullptr) mlte = static_cast<clsMLTEObject*>(GetControlReference(scroll));
    delete mlte;
    if (textView != nullptr) SetControlReference(textView, nullptr);
    if (scroll != nullptr) SetControlReference(scroll, nullptr);
  } else if (obj.m_enmType == DWLO_ListBox) {
    if (ControlRef browser = FindControl(obj.m_lngID)) SetControlReference(browser, nullptr);
  } else if (obj.m_enmType == DWLO_Slider) {
    if (ControlRef slider = FindControl(obj.m_lngID)) {
      delete static_cast<clsSliderInfo*>(GetControlReference(slider));
      SetControlReference(slider, nullptr);
    }
  }
}

void clsDynamicWindow::DestroyWindow() {
  if (m_refWindow == nullptr) return;
  DisposeControls(m_udtLayout);
  ClearDWMenu(this);
  HideWindow(m_refWindow);
  ReleaseWindow(m_refWindow);
  m_refWindow = nullptr;
  if (m_uppEventHandler != nullptr) DisposeEventHandlerUPP(m_uppEventHandler);
  m_uppEventHandler = nullptr;
}
