// Controls: the HIToolbox controls (views) of the headless window server: the view tree of a
// window, control ids, values, titles and data tags, the creation calls of every control kind the
// dialog engine makes (buttons, texts, edits, check boxes, radio groups and buttons, group boxes,
// user panes, tabs, popup buttons, combo boxes, progress bars, separators, image views, sliders,
// scroll views, data browsers), keyboard focus, tracking areas, help tags, shapes and regions,
// and the control event constants and parameters.
// A control and a view are one object (ControlRef == HIViewRef). Frames are in the coordinates of
// the parent view; a window's root view covers its structure (22-pixel title bar, then content).
// Nothing is drawn: the window server keeps what is set and answers what is read, and tests drive
// and inspect it through WindowsTesting.h. Text views and their text objects: MacTextEditor.h.
// Relies on the event stand-in (every control has an event target whose parent is its superview,
// the content view's parent being the window) and the Menu Manager (popup menus).
// Failures come back as codes: paramErr for a null or dead control, errUnknownControl for a
// missing id, errDataNotSupported for a tag a kind does not have; never throws.
#pragma once

#include "platform/carbon/CarbonEvents.h"
#include "platform/carbon/Finder.h"
#include "platform/carbon/MacTypes.h"
#include "platform/carbon/Menus.h"
#include "platform/cf/CFString.h"
#include "platform/cg/CGGeometry.h"

typedef struct OpaqueControlRef* ControlRef;
typedef ControlRef HIViewRef;
typedef HIViewRef HIObjectRef;
typedef struct OpaqueWindowPtr* WindowRef;
typedef struct CGImage* CGImageRef;
typedef struct OpaqueHIShapeRef const* HIShapeRef;
typedef struct OpaqueRgnHandle* RgnHandle;
typedef struct OpaqueTrackingAreaRef* HIViewTrackingAreaRef;
typedef UInt64 HIViewTrackingAreaID;

typedef CGRect HIRect;
typedef CGPoint HIPoint;
typedef CGSize HISize;

typedef void* SRefCon;
typedef SInt16 ControlPartCode;
typedef ControlPartCode ControlFocusPart;
typedef UInt32 OptionBits;
typedef UInt32 EventModifiers;
typedef UInt32 HIViewFeatures;
typedef SInt16 Style;

struct ControlID {
  OSType signature;
  SInt32 id;
};
typedef ControlID HIViewID;

// The views every window has, found with HIViewFindByID from the root.
constexpr HIViewID kHIViewWindowContentID = {MakeFourCharCode("wind"), 1};
constexpr HIViewID kHIViewWindowGrowBoxID = {MakeFourCharCode("grow"), 1};

enum : OSStatus {
  errUnknownControl = -30584,
  errDataNotSupported = -30583,
  errInvalidWindowRef = -5600
};

// Part codes.
enum : ControlPartCode {
  kControlNoPart = 0,
  kControlEntireControl = 0,
  kControlMenuPart = 2,
  kControlEditTextPart = 5,
  kControlButtonPart = 10,
  kControlCheckBoxPart = 11,
  kControlRadioButtonPart = 11,
  kControlIndicatorPart = 129,
  kControlStructureMetaPart = -1,
  kControlContentMetaPart = -2,
  kControlFocusNextPart = -1,
  kControlFocusPrevPart = -2
};

// Keyboard modifier flags of key and mouse events.
enum : EventModifiers {
  cmdKey = 1 << 8,
  shiftKey = 1 << 9,
  alphaLock = 1 << 10,
  optionKey = 1 << 11,
  controlKey = 1 << 12
};

// ---- control events and their parameters ----
enum : UInt32 {
  kEventClassMouse = MakeFourCharCode("mous"),
  kEventClassKeyboard = MakeFourCharCode("keyb"),
  kEventClassTextInput = MakeFourCharCode("text"),
  kEventClassWindow = MakeFourCharCode("wind"),
  kEventClassControl = MakeFourCharCode("cntl"),
  kEventClassCommand = MakeFourCharCode("cmds")
};
enum : UInt32 { kEventMouseDown = 1, kEventMouseUp = 2, kEventMouseMoved = 5 };
enum : UInt32 { kEventRawKeyDown = 1, kEventRawKeyRepeat = 2, kEventRawKeyUp = 3 };
enum : UInt32 { kEventTextInputUnicodeForKeyEvent = 2 };
enum : UInt32 {
  kEventWindowDrawContent = 2,
  kEventWindowBoundsChanged = 27,
  kEventWindowClose = 72
};
enum : UInt32 {
  kEventControlHit = 1,
  kEventControlHitTest = 3,
  kEventControlDraw = 4,
  kEventControlSetFocusPart = 7,
  kEventControlActivate = 9,
  kEventControlDeactivate = 10,
  kEventControlContextualMenuClick = 12,
  kEventControlTrackingAreaEntered = 23,
  kEventControlTrackingAreaExited = 24,
  kEventControlGetPartRegion = 101
};
enum : UInt32 { kEventCommandProcess = 1 };

enum : EventParamName {
  kEventParamDirectObject = MakeFourCharCode("----"),
  kEventParamWindowRef = MakeFourCharCode("wind"),
  kEventParamControlPart = MakeFourCharCode("cprt"),
  kEventParamControlRegion = MakeFourCharCode("crgn"),
  kEventParamMouseLocation = MakeFourCharCode("mloc"),
  kEventParamWindowMouseLocation = MakeFourCharCode("wmou"),
  kEventParamKeyModifiers = MakeFourCharCode("kmod"),
  kEventParamKeyCode = MakeFourCharCode("kcod"),
  kEventParamKeyUnicodes = MakeFourCharCode("kuni"),
  kEventParamTextInputSendText = MakeFourCharCode("tstx"),
  kEventParamTextInputSendKeyboardEvent = MakeFourCharCode("tske"),
  kEventParamAttributes = MakeFourCharCode("attr"),
  kEventParamCurrentBounds = MakeFourCharCode("crct"),
  kEventParamOriginalBounds = MakeFourCharCode("orct"),
  kEventParamHIViewTrackingArea = MakeFourCharCode("ctra"),
  kEventParamClickCount = MakeFourCharCode("ccnt")
};
enum : EventParamType {
  typeControlRef = MakeFourCharCode("ctrl"),
  typeWindowRef = MakeFourCharCode("wind"),
  typeControlPartCode = MakeFourCharCode("cprt"),
  typeQDRgnHandle = MakeFourCharCode("rgnh"),
  typeHIPoint = MakeFourCharCode("hipt"),
  typeUInt32 = MakeFourCharCode("magn"),
  typeUnicodeText = MakeFourCharCode("utxt"),
  typeEventRef = MakeFourCharCode("evrf"),
  typeQDRectangle = MakeFourCharCode("qdrt"),
  typeHIViewTrackingAreaRef = MakeFourCharCode("ctra"),
  typeHICommand = MakeFourCharCode("hcmd")
};

// kEventParamAttributes of a bounds-changed event.
enum : UInt32 {
  kWindowBoundsChangeUserDrag = 1 << 0,
  kWindowBoundsChangeUserResize = 1 << 1,
  kWindowBoundsChangeSizeChanged = 1 << 2,
  kWindowBoundsChangeOriginChanged = 1 << 3
};

// The direct object of a command event.
struct HICommand {
  UInt32 attributes;
  UInt32 commandID;
  struct {
    MenuRef menuRef;
    MenuItemIndex menuItemIndex;
  } menu;
};
enum : UInt32 {
  kHICommandOK = MakeFourCharCode("ok  "),
  kHICommandCancel = MakeFourCharCode("not!"),
  kHICommandClose = MakeFourCharCode("clos"),
  kHICommandUndo = MakeFourCharCode("undo"),
  kHICommandRedo = MakeFourCharCode("redo"),
  kHICommandCut = MakeFourCharCode("cut "),
  kHICommandCopy = MakeFourCharCode("copy"),
  kHICommandPaste = MakeFourCharCode("past"),
  kHICommandClear = MakeFourCharCode("clea"),
  kHICommandSelectAll = MakeFourCharCode("sall")
};

EventTargetRef GetControlEventTarget(ControlRef inControl);
inline OSStatus InstallControlEventHandler(ControlRef control, EventHandlerUPP handler,
                                           ItemCount count, EventTypeSpec const* list,
                                           void* userData, EventHandlerRef* outRef) {
  return InstallEventHandler(GetControlEventTarget(control), handler, count, list, userData,
                             outRef);
}

// ---- the view tree ----
HIViewRef HIViewGetRoot(WindowRef inWindow);
WindowRef GetControlOwner(ControlRef inControl);
WindowRef HIViewGetWindow(HIViewRef inView);
OSStatus HIViewAddSubview(HIViewRef inParent, HIViewRef inNewChild);
OSStatus HIViewRemoveFromSuperview(HIViewRef inView);
HIViewRef HIViewGetSuperview(HIViewRef inView);
// Depth first, pre-order, from (and including) the start view.
OSStatus HIViewFindByID(HIViewRef inStartView, HIViewID inID, HIViewRef* outControl);
OSStatus GetControlByID(WindowRef inWindow, ControlID const* inID, ControlRef* outControl);
OSStatus SetControlID(ControlRef inControl, ControlID const* inID);
OSStatus GetControlID(ControlRef inControl, ControlID* outID);
inline OSStatus HIViewSetID(HIViewRef view, HIViewID id) { return SetControlID(view, &id); }

OSStatus HIViewSetFrame(HIViewRef inView, HIRect const* inRect);
OSStatus HIViewGetFrame(HIViewRef inView, HIRect* outRect);
OSStatus HIViewGetBounds(HIViewRef inView, HIRect* outRect);
// From the coordinates of one view to another's; a null view is the window's root.
OSStatus HIViewConvertRect(HIRect* ioRect, HIViewRef inSourceView, HIViewRef inDestView);
OSStatus HIViewSetVisible(HIViewRef inView, Boolean inVisible);
// True when the view and every view above it are visible.
Boolean HIViewIsVisible(HIViewRef inView);
OSStatus SetControlVisibility(ControlRef inControl, Boolean inIsVisible, Boolean inDoDraw);
Boolean IsControlVisible(ControlRef inControl);
OSStatus ActivateControl(ControlRef inControl);
OSStatus DeactivateControl(ControlRef inControl);
Boolean IsControlActive(ControlRef inControl);
OSStatus HIViewSetNeedsDisplay(HIViewRef inView, Boolean inNeedsDisplay);
void Draw1Control(ControlRef theControl);
OSStatus HIViewReshapeStructure(HIViewRef inView);
OSStatus HIViewAdvanceFocus(HIViewRef inRootForFocus, EventModifiers inModifiers);

void SetControlReference(ControlRef theControl, SRefCon data);
SRefCon GetControlReference(ControlRef theControl);
OSStatus SetControlCommandID(ControlRef inControl, UInt32 inCommandID);

void SetControl32BitValue(ControlRef theControl, SInt32 newValue);
SInt32 GetControl32BitValue(ControlRef theControl);
void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum);
SInt32 GetControl32BitMinimum(ControlRef theControl);
void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum);
SInt32 GetControl32BitMaximum(ControlRef theControl);
OSStatus SetControlTitleWithCFString(ControlRef inControl, CFStringRef inString);
// The caller releases the title.
OSStatus CopyControlTitleAsCFString(ControlRef inControl, CFStringRef* outString);

// ---- control data ----
typedef ResType ControlDataTag;
enum : ControlDataTag {
  kControlFontStyleTag = MakeFourCharCode("font"),
  kControlEditTextCFStringTag = MakeFourCharCode("cfst"),
  kControlEditTextPasswordCFStringTag = MakeFourCharCode("pwcf"),
  kControlEditTextLockedTag = MakeFourCharCode("lock"),
  kControlEditTextSelectionTag = MakeFourCharCode("sele"),
  kControlStaticTextCFStringTag = MakeFourCharCode("cfst"),
  kControlProgressBarIndeterminateTag = MakeFourCharCode("inde"),
  kControlPopupButtonMenuRefTag = MakeFourCharCode("mhan")
};
// A CFString tag is given and read as a CFStringRef; what GetControlData hands out is the
// caller's to release. The locked and indeterminate tags are Booleans.
OSStatus SetControlData(ControlRef inControl, ControlPartCode inPart, ControlDataTag inTagName,
                        Size inSize, void const* inData);
OSStatus GetControlData(ControlRef inControl, ControlPartCode inPart, ControlDataTag inTagName,
                        Size inBufferSize, void* inBuffer, Size* outActualSize);

// Selection of an edit text control: 0-based unit offsets, end after the last selected unit.
struct ControlEditTextSelectionRec {
  SInt16 selStart;
  SInt16 selEnd;
};

struct RGBColor {
  UInt16 red;
  UInt16 green;
  UInt16 blue;
};
struct ControlFontStyleRec {
  SInt16 flags;
  SInt16 font;
  SInt16 size;
  SInt16 style;
  SInt16 mode;
  SInt16 just;
  RGBColor foreColor;
  RGBColor backColor;
};
enum : SInt16 {
  kControlUseFontMask = 0x0001,
  kControlUseFaceMask = 0x0002,
  kControlUseSizeMask = 0x0004,
  kControlUseForeColorMask = 0x0008,
  kControlUseBackColorMask = 0x0010,
  kControlUseModeMask = 0x0020,
  kControlUseJustMask = 0x0040
};
enum : Style { underline = 4 };  // the QuickDraw face bit
enum : SInt16 { teFlushDefault = 0, teCenter = 1, teFlushRight = -1, teFlushLeft = -2 };

// ---- creation (the control starts visible, active, in the window's content view) ----
OSStatus CreatePushButtonControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                                 ControlRef* outControl);

typedef UInt16 ControlBevelThickness;
typedef UInt16 ControlBevelButtonBehavior;
typedef UInt16 ControlBevelButtonMenuBehavior;
typedef UInt16 ControlBevelButtonMenuPlacement;
enum : ControlBevelThickness {
  kControlBevelButtonSmallBevel = 0,
  kControlBevelButtonNormalBevel = 1,
  kControlBevelButtonLargeBevel = 2
};
enum : ControlBevelButtonBehavior {
  kControlBehaviorPushbutton = 0,
  kControlBehaviorToggles = 0x0100,
  kControlBehaviorSticky = 0x0200
};
struct ControlButtonContentInfo {
  SInt16 contentType;
  void* data;
};
typedef ControlButtonContentInfo* ControlButtonContentInfoPtr;
enum : SInt16 { kControlContentTextOnly = 0 };
OSStatus CreateBevelButtonControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                                  ControlBevelThickness thickness,
                                  ControlBevelButtonBehavior behavior,
                                  ControlButtonContentInfoPtr info, SInt16 menuID,
                                  ControlBevelButtonMenuBehavior menuBehavior,
                                  ControlBevelButtonMenuPlacement menuPlacement,
                                  ControlRef* outControl);

OSStatus CreateStaticTextControl(WindowRef window, Rect const* boundsRect, CFStringRef text,
                                 ControlFontStyleRec const* style, ControlRef* outControl);
OSStatus CreateEditUnicodeTextControl(WindowRef window, Rect const* boundsRect, CFStringRef text,
                                      Boolean isPassword, ControlFontStyleRec const* style,
                                      ControlRef* outControl);
OSStatus CreateCheckBoxControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                               SInt32 initialValue, Boolean autoToggle, ControlRef* outControl);
// Radio buttons embedded in a radio group: the group's value is the 1-based checked button.
OSStatus CreateRadioGroupControl(WindowRef window, Rect const* boundsRect, ControlRef* outControl);
OSStatus CreateRadioButtonControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                                  SInt32 initialValue, Boolean autoToggle, ControlRef* outControl);
OSStatus CreateGroupBoxControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                               Boolean primary, ControlRef* outControl);
enum : UInt32 { kControlSupportsEmbedding = 1 << 1 };
OSStatus CreateUserPaneControl(WindowRef window, Rect const* boundsRect, UInt32 features,
                               ControlRef* outControl);

typedef UInt16 ControlTabSize;
typedef UInt16 ControlTabDirection;
enum : ControlTabSize { kControlTabSizeLarge = 0, kControlTabSizeSmall = 1 };
enum : ControlTabDirection { kControlTabDirectionNorth = 0, kControlTabDirectionSouth = 1 };
struct ControlTabEntry {
  ControlButtonContentInfo* icon;
  CFStringRef name;
  Boolean enabled;
};
// The value of a tabs control is the 1-based selected tab.
OSStatus CreateTabsControl(WindowRef window, Rect const* boundsRect, ControlTabSize size,
                           ControlTabDirection direction, UInt16 numTabs,
                           ControlTabEntry const* tabArray, ControlRef* outControl);

// A popup button shows the menu given with SetControlPopupMenuHandle; its value is the 1-based
// chosen item.
OSStatus CreatePopupButtonControl(WindowRef window, Rect const* boundsRect, CFStringRef title,
                                  SInt16 menuID, Boolean variableWidth, SInt16 titleWidth,
                                  SInt16 titleJustification, Style titleStyle,
                                  ControlRef* outControl);
void SetControlPopupMenuHandle(ControlRef control, MenuRef popupMenu);
MenuRef GetControlPopupMenuHandle(ControlRef control);

// Editable combo box: a text field with a list of items.
enum : OptionBits {
  kHIComboBoxAutoCompletionAttribute = 1 << 0,
  kHIComboBoxAutoDisclosureAttribute = 1 << 1,
  kHIComboBoxAutoSortAttribute = 1 << 2,
  kHIComboBoxAutoSizeListAttribute = 1 << 3
};
OSStatus HIComboBoxCreate(HIRect const* boundsRect, CFStringRef text,
                          ControlFontStyleRec const* style, void const* list,
                          OptionBits inAttributes, HIViewRef* outComboBox);
OSStatus HIComboBoxAppendTextItem(HIViewRef inComboBox, CFStringRef inText, CFIndex* outIndex);
ItemCount HIComboBoxGetItemCount(HIViewRef inComboBox);
OSStatus HIComboBoxCopyTextItemAtIndex(HIViewRef inComboBox, CFIndex inIndex,
                                       CFStringRef* outString);

OSStatus CreateProgressBarControl(WindowRef window, Rect const* boundsRect, SInt32 value,
                                  SInt32 minimum, SInt32 maximum, Boolean indeterminate,
                                  ControlRef* outControl);
OSStatus CreateSeparatorControl(WindowRef window, Rect const* boundsRect, ControlRef* outControl);
// The view keeps a reference on the image. It starts outside every window: add it to a view.
OSStatus HIImageViewCreate(CGImageRef inImage, HIViewRef* outControl);

typedef void (*ControlActionProcPtr)(ControlRef theControl, ControlPartCode partCode);
typedef ControlActionProcPtr ControlActionUPP;
inline ControlActionUPP NewControlActionUPP(ControlActionProcPtr routine) { return routine; }
inline void DisposeControlActionUPP(ControlActionUPP) {}
typedef UInt16 ControlSliderOrientation;
enum : ControlSliderOrientation {
  kControlSliderPointsDownOrRight = 0,
  kControlSliderPointsUpOrLeft = 1,
  kControlSliderDoesNotPoint = 2
};
// With liveTracking the action runs at every step of a drag.
OSStatus CreateSliderControl(WindowRef window, Rect const* boundsRect, SInt32 value,
                             SInt32 minimum, SInt32 maximum, ControlSliderOrientation orientation,
                             UInt16 numTickMarks, Boolean liveTracking, ControlActionUPP liveProc,
                             ControlRef* outControl);

enum : OptionBits { kHIScrollViewOptionsVertScroll = 1 << 0, kHIScrollViewOptionsHorizScroll = 1 << 1 };
// A scroll view outside every window; its one subview scrolls inside it.
OSStatus HIScrollViewCreate(OptionBits inOptions, HIViewRef* outView);
OSStatus HIScrollViewSetScrollBarAutoHide(HIViewRef inView, Boolean inAutoHide);

// Views of other kinds (the web view of platform/webkit), made by class name outside every window.
OSStatus HIObjectCreate(CFStringRef inClassID, EventRef inConstructData, HIObjectRef* outObject);

// The grow box of a resizable window: transparent, it shows the content under it.
OSStatus HIGrowBoxViewSetTransparent(HIViewRef inGrowBoxView, Boolean inTransparent);

// ---- keyboard focus ----
OSStatus SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlFocusPart inPart);
OSStatus GetKeyboardFocus(WindowRef inWindow, ControlRef* outControl);
OSStatus ClearKeyboardFocus(WindowRef inWindow);

// ---- shapes and regions ----
HIShapeRef HIShapeCreateWithRect(HIRect const* inRect);  // a CF object: CFRelease it
OSStatus HIShapeGetBounds(HIShapeRef inShape, HIRect* outRect);
RgnHandle NewRgn(void);
void DisposeRgn(RgnHandle rgn);
Rect* GetRegionBounds(RgnHandle region, Rect* bounds);
OSStatus HIShapeGetAsQDRgn(HIShapeRef inShape, RgnHandle outRgn);

// ---- tracking areas: the view gets entered and exited events as the mouse crosses it ----
OSStatus HIViewNewTrackingArea(HIViewRef inView, HIShapeRef inShape, HIViewTrackingAreaID inID,
                               HIViewTrackingAreaRef* outRef);
OSStatus HIViewGetTrackingAreaID(HIViewTrackingAreaRef inTrackingRef,
                                 HIViewTrackingAreaID* outID);

// ---- help tags ----
typedef UInt32 HMContentType;
typedef SInt16 HMTagDisplaySide;
enum : HMContentType { kHMNoContent = MakeFourCharCode("none"), kHMCFStringContent = MakeFourCharCode("cfst") };
enum : HMTagDisplaySide { kHMDefaultSide = 0 };
enum : SInt32 { kMacHelpVersion = 3 };
enum { kHMMinimumContentIndex = 0, kHMMaximumContentIndex = 1 };
struct HMHelpContent {
  HMContentType contentType;
  union {
    CFStringRef tagCFString;
  } u;
};
struct HMHelpContentRec {
  SInt32 version;
  Rect absHotRect;
  HMTagDisplaySide tagSide;
  HMHelpContent content[2];
};
OSStatus HMSetControlHelpContent(ControlRef inControl, HMHelpContentRec const* inContent);

// ---- the data browser (list view) ----
typedef UInt32 DataBrowserItemID;
typedef UInt32 DataBrowserPropertyID;
typedef OSType DataBrowserPropertyType;
typedef UInt32 DataBrowserPropertyFlags;
typedef OSType DataBrowserViewStyle;
typedef UInt32 DataBrowserItemNotification;
typedef UInt32 DataBrowserItemState;
typedef UInt32 DataBrowserSelectionFlags;
typedef UInt32 DataBrowserSetOption;
typedef UInt32 DataBrowserRevealOptions;
typedef UInt32 DataBrowserTableViewHiliteStyle;
typedef UInt32 DataBrowserTableViewColumnIndex;
typedef struct OpaqueDataBrowserItemDataRef* DataBrowserItemDataRef;

enum : DataBrowserViewStyle { kDataBrowserListView = MakeFourCharCode("lstv") };
enum : DataBrowserPropertyType { kDataBrowserTextType = MakeFourCharCode("text") };
enum : DataBrowserPropertyFlags {
  kDataBrowserItemIsEditableProperty = 1 << 0,
  kDataBrowserListViewSelectionColumn = 1 << 1,
  kDataBrowserTruncateTextAtEnd = 2 << 3,
  kDataBrowserPropertyIsMutable = 1 << 8
};
enum : DataBrowserItemNotification {
  kDataBrowserItemAdded = 1,
  kDataBrowserItemSelected = 5,
  kDataBrowserItemDeselected = 6,
  kDataBrowserItemDoubleClicked = 7,
  kDataBrowserSelectionSetChanged = 14
};
enum : DataBrowserItemState { kDataBrowserItemAnyState = 0xFFFFFFFFu, kDataBrowserItemIsSelected = 1 };
enum : DataBrowserSelectionFlags { kDataBrowserSelectOnlyOne = 1 << 0 };
enum : DataBrowserSetOption {
  kDataBrowserItemsAdd = 0,
  kDataBrowserItemsAssign = 1,
  kDataBrowserItemsToggle = 2,
  kDataBrowserItemsRemove = 3
};
enum : DataBrowserRevealOptions { kDataBrowserRevealOnly = 0, kDataBrowserRevealAndCenterInView = 1 };
enum : DataBrowserTableViewHiliteStyle {
  kDataBrowserTableViewMinimalHilite = 0,
  kDataBrowserTableViewFillHilite = 1
};
enum : DataBrowserItemID { kDataBrowserNoItem = 0 };
enum : DataBrowserPropertyID { kDataBrowserItemNoProperty = 0 };
enum : OSStatus { errDataBrowserPropertyNotSupported = -4979, errDataBrowserItemNotFound = -4971 };

typedef OSStatus (*DataBrowserItemDataProcPtr)(ControlRef browser, DataBrowserItemID item,
                                               DataBrowserPropertyID property,
                                               DataBrowserItemDataRef itemData, Boolean setValue);
typedef Boolean (*DataBrowserItemCompareProcPtr)(ControlRef browser, DataBrowserItemID itemOne,
                                                 DataBrowserItemID itemTwo,
                                                 DataBrowserPropertyID sortProperty);
typedef void (*DataBrowserItemNotificationProcPtr)(ControlRef browser, DataBrowserItemID item,
                                                   DataBrowserItemNotification message);
typedef DataBrowserItemDataProcPtr DataBrowserItemDataUPP;
typedef DataBrowserItemCompareProcPtr DataBrowserItemCompareUPP;
typedef DataBrowserItemNotificationProcPtr DataBrowserItemNotificationUPP;
inline DataBrowserItemDataUPP NewDataBrowserItemDataUPP(DataBrowserItemDataProcPtr p) { return p; }
inline DataBrowserItemCompareUPP NewDataBrowserItemCompareUPP(DataBrowserItemCompareProcPtr p) {
  return p;
}
inline DataBrowserItemNotificationUPP NewDataBrowserItemNotificationUPP(
    DataBrowserItemNotificationProcPtr p) {
  return p;
}

struct DataBrowserCallbacks {
  UInt32 version;
  union {
    struct {
      DataBrowserItemDataUPP itemDataCallback;
      DataBrowserItemCompareUPP itemCompareCallback;
      DataBrowserItemNotificationUPP itemNotificationCallback;
    } v1;
  } u;
};
enum : UInt32 { kDataBrowserLatestCallbacks = 0 };
OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks* callbacks);

struct DataBrowserTableViewColumnDesc {
  DataBrowserPropertyID propertyID;
  DataBrowserPropertyType propertyType;
  DataBrowserPropertyFlags propertyFlags;
};
struct DataBrowserListViewHeaderDesc {
  UInt32 version;
  UInt16 minimumWidth;
  UInt16 maximumWidth;
  SInt16 titleOffset;
  CFStringRef titleString;
  UInt16 initialOrder;
  ControlFontStyleRec btnFontStyle;
  ControlButtonContentInfo btnContentInfo;
};
struct DataBrowserListViewColumnDesc {
  DataBrowserTableViewColumnDesc propertyDesc;
  DataBrowserListViewHeaderDesc headerBtnDesc;
};
enum : UInt32 { kDataBrowserListViewLatestHeaderDesc = 0 };
enum : DataBrowserTableViewColumnIndex { kDataBrowserListViewAppendColumn = 0xFFFFFFFFu };

OSStatus CreateDataBrowserControl(WindowRef window, Rect const* boundsRect,
                                  DataBrowserViewStyle style, ControlRef* outControl);
OSStatus SetDataBrowserCallbacks(ControlRef browser, DataBrowserCallbacks const* callbacks);
OSStatus AddDataBrowserListViewColumn(ControlRef browser, DataBrowserListViewColumnDesc* columnDesc,
                                      DataBrowserTableViewColumnIndex position);
OSStatus SetDataBrowserListViewHeaderBtnHeight(ControlRef browser, UInt16 height);
OSStatus SetDataBrowserSelectionFlags(ControlRef browser, DataBrowserSelectionFlags flags);
OSStatus SetDataBrowserHasScrollBars(ControlRef browser, Boolean horiz, Boolean vert);
OSStatus SetDataBrowserTableViewHiliteStyle(ControlRef browser,
                                            DataBrowserTableViewHiliteStyle hiliteStyle);
OSStatus AutoSizeDataBrowserListViewColumns(ControlRef browser);
// With a compare callback the rows are kept sorted by this property.
OSStatus SetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID property);
// A null item list adds the ids 1 to numItems.
OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, ItemCount numItems,
                             DataBrowserItemID const* items, DataBrowserPropertyID preSortProperty);
// The first and last selected items in row order; both kDataBrowserNoItem without a selection.
OSStatus GetDataBrowserSelectionAnchor(ControlRef browser, DataBrowserItemID* first,
                                       DataBrowserItemID* last);
OSStatus GetDataBrowserItemCount(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                                 DataBrowserItemState state, ItemCount* numItems);
OSStatus SetDataBrowserSelectedItems(ControlRef browser, ItemCount numItems,
                                     DataBrowserItemID const* items,
                                     DataBrowserSetOption operation);
Boolean IsDataBrowserItemSelected(ControlRef browser, DataBrowserItemID item);
OSStatus RevealDataBrowserItem(ControlRef browser, DataBrowserItemID item,
                               DataBrowserPropertyID property, DataBrowserRevealOptions options);
// Inside the item-data callback: the text of the requested cell.
OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, CFStringRef theData);
