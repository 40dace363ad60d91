// Navigation: stand-in for Navigation Services (the open, save and choose-folder dialogs), the
// CoreFoundation arrays their type pop-up takes, and the Appearance Manager's theme cursor.
// Interface: the platform's types and calls: NavGetDefaultDialogCreationOptions, the three
// NavCreate...Dialog calls, NavDialogRun, NavDialogGetUserAction, NavDialogGetReply,
// NavDisposeReply, NavDialogDispose, NavDialogGetSaveFileName, NavDialogSetSaveFileName,
// NavCustomControl, the event and object-filter callbacks (NavEventUPP, NavObjectFilterUPP),
// CFArrayCreate/CFArrayGetCount/CFArrayGetValueAtIndex and SetThemeCursor.
// There is no screen: a dialog "runs" by playing a script that tests queue through
// platform/carbon/NavigationTesting.h. Running sends the client's event callback the start
// message, offers the items of the shown folder to the filter callback, plays the scripted
// pop-up changes and typing, and ends with the scripted choice or a cancel; a run with nothing
// queued is cancelled, so nothing ever blocks. Selections are 'fsrf' descriptors in an
// AEDescList (platform/carbon/AppleEvents.h) made with the File Manager stand-in's
// FSPathMakeRef.
// Relies on the File Manager, Apple Event and CoreFoundation string stand-ins and the C++
// standard library. Calls answer OSStatus codes (paramErr for null arguments, kNavInvalidDialog
// for a dialog that is not live, whatever a script makes them answer); nothing throws.
// Host thread only, like the real dialogs; the script and its records take a lock anyway.
#pragma once

#include "platform/carbon/AppleEvents.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/Finder.h"
#include "platform/carbon/Appearance.h"
#include "platform/carbon/MacWindows.h"
#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFBase.h"
#include "platform/cf/CFString.h"

// ---------------------------------------------------------------------------------------------
// CoreFoundation arrays (immutable), as far as the dialogs' pop-up needs them.
// ---------------------------------------------------------------------------------------------

typedef struct __CFArray const* CFArrayRef;

typedef void const* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, void const* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, void const* value);
struct CFArrayCallBacks {
  CFIndex version;
  CFArrayRetainCallBack retain;
  CFArrayReleaseCallBack release;
  void const* copyDescription;  // unused
  void const* equal;            // unused
};
// Retains the values on creation and releases them with the array (CFRetain/CFRelease).
extern CFArrayCallBacks const kCFTypeArrayCallBacks;

enum : CFTypeID { kCFRuntimeTypeArray = kCFRuntimeTypeOther + 1 };

// An array of numValues values; callBacks null keeps the pointers without retaining them.
// NULL for a negative count, missing values or no memory.
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, void const** values, CFIndex numValues,
                         CFArrayCallBacks const* callBacks);
CFIndex CFArrayGetCount(CFArrayRef theArray);                           // 0 for NULL
void const* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);  // NULL outside
CFTypeID CFArrayGetTypeID(void);

// The theme cursor (ThemeCursor, SetThemeCursor) is the Appearance Manager's: Appearance.h.

// ---------------------------------------------------------------------------------------------
// Navigation Services
// ---------------------------------------------------------------------------------------------

// WindowRef and WindowModality are the window server's (MacWindows.h).

typedef struct __NavDialog* NavDialogRef;
typedef UInt32 NavDialogOptionFlags;
typedef UInt32 NavUserAction;
typedef SInt32 NavEventCallbackMessage;
typedef SInt32 NavCustomControlMessage;
typedef SInt16 NavFilterModes;
typedef Handle NavTypeListHandle;

enum : NavDialogOptionFlags {
  kNavNoTypePopup = 0x00000001,
  kNavDontAutoTranslate = 0x00000002,
  kNavDontAddTranslateItems = 0x00000004,
  kNavAllFilesInPopup = 0x00000010,
  kNavAllowStationery = 0x00000020,
  kNavAllowPreviews = 0x00000040,
  kNavAllowMultipleFiles = 0x00000080,
  kNavAllowInvisibleFiles = 0x00000100,
  kNavDontResolveAliases = 0x00000200,
  kNavSelectDefaultLocation = 0x00000400,
  kNavSelectAllReadableItem = 0x00000800,
  kNavSupportPackages = 0x00001000,
  kNavAllowOpenPackages = 0x00002000,
  kNavDontAddRecents = 0x00004000,
  kNavDontUseCustomFrame = 0x00008000,
  kNavDontConfirmReplacement = 0x00010000,
  kNavPreserveSaveFileExtension = 0x00020000,
  kNavDefaultNavDlogOptions = 0x000000E4
};

enum : NavUserAction {
  kNavUserActionNone = 0,
  kNavUserActionCancel = 1,
  kNavUserActionOpen = 2,
  kNavUserActionSaveAs = 3,
  kNavUserActionChoose = 4,
  kNavUserActionNewFolder = 5,
  kNavUserActionSaveChanges = 6,
  kNavUserActionDontSaveChanges = 7,
  kNavUserActionDiscardChanges = 8,
  kNavUserActionReviewDocuments = 9,
  kNavUserActionDiscardDocuments = 10
};

enum : NavEventCallbackMessage {
  kNavCBEvent = 0,
  kNavCBCustomize = 1,
  kNavCBStart = 2,
  kNavCBTerminate = 3,
  kNavCBAdjustRect = 4,
  kNavCBNewLocation = 5,
  kNavCBShowDesktop = 6,
  kNavCBSelectEntry = 7,
  kNavCBPopupMenuSelect = 8,
  kNavCBAccept = 9,
  kNavCBCancel = 10,
  kNavCBAdjustPreview = 11,
  kNavCBUserAction = 12
};

enum : NavCustomControlMessage {
  kNavCtlShowDesktop = 0,
  kNavCtlSortBy = 1,
  kNavCtlSortOrder = 2,
  kNavCtlScrollHome = 3,
  kNavCtlScrollEnd = 4,
  kNavCtlPageUp = 5,
  kNavCtlPageDown = 6,
  kNavCtlGetLocation = 7,
  kNavCtlSetLocation = 8,
  kNavCtlGetSelection = 9,
  kNavCtlSetSelection = 10,
  kNavCtlShowSelection = 11,
  kNavCtlOpenSelection = 12,
  kNavCtlEjectVolume = 13,
  kNavCtlNewFolder = 14,
  kNavCtlCancel = 15,
  kNavCtlAccept = 16,
  kNavCtlIsPreviewShowing = 17,
  kNavCtlAddControl = 18,
  kNavCtlAddControlList = 19,
  kNavCtlGetFirstControlID = 20,
  kNavCtlSelectCustomType = 21,
  kNavCtlSelectAllType = 22,
  kNavCtlGetEditFileName = 23,
  kNavCtlSetEditFileName = 24,
  kNavCtlSelectEditFileName = 25,
  kNavCtlBrowserSelectAll = 26,
  kNavCtlGotoParent = 27,
  kNavCtlSetActionState = 28,
  kNavCtlBrowserRedraw = 29,
  kNavCtlTerminate = 30
};

enum : NavFilterModes {
  kNavFilteringBrowserList = 0,
  kNavFilteringFavorites = 1,
  kNavFilteringRecents = 2,
  kNavFilteringShortCutVolumes = 3,
  kNavFilteringLocationPopup = 4
};

enum : OSStatus {
  kNavWrongDialogStateErr = -5694,
  kNavWrongDialogClassErr = -5695,
  kNavInvalidSystemConfigErr = -5696,
  kNavCustomControlMessageFailedErr = -5697,
  kNavInvalidCustomControlMessageErr = -5698,
  kNavMissingKindStringErr = -5699,
  kNavInvalidDialog = -5700  // the stand-in's code for a dialog that is not live
};

enum : UInt16 { kNavDialogCreationOptionsVersion = 0, kNavReplyRecordVersion = 2,
                kNavCBRecVersion = 1, kNavMenuItemSpecVersion = 0, kNavFileOrFolderVersion = 1 };

// The creator of a NavMenuItemSpec that names an entry of the pop-up extension by its index
// (in menuType).
enum : OSType { kNavGenericSignature = MakeFourCharCode("****"),
                kNavCustomTypeCreator = MakeFourCharCode("extn") };

struct NavDialogCreationOptions {
  UInt16 version;
  NavDialogOptionFlags optionFlags;
  Point location;  // -1, -1: the default place
  CFStringRef clientName;
  CFStringRef windowTitle;
  CFStringRef actionButtonLabel;
  CFStringRef cancelButtonLabel;
  CFStringRef saveFileName;
  CFStringRef message;
  UInt32 preferenceKey;
  CFArrayRef popupExtension;  // the entries of the type pop-up (CFStrings)
  WindowModality modality;
  WindowRef parentWindow;
  char reserved[16];
};

struct NavReplyRecord {
  UInt16 version;
  Boolean validRecord;
  Boolean replacing;
  Boolean isStationery;
  Boolean translationNeeded;
  AEDescList selection;  // 'fsrf' items
  SInt16 keyScript;
  Handle fileTranslation;
  UInt32 reserved1;
  CFStringRef saveFileName;  // save dialogs: the typed name (owned by the reply)
  Boolean saveFileExtensionHidden;
  UInt8 reserved2;
  char reserved[225];
};

struct NavMenuItemSpec {
  UInt16 version;
  OSType menuCreator;
  OSType menuType;
  unsigned char menuItemName[256];  // Pascal string
  char reserved[245];
};

struct EventRecord;
struct NavEventData {
  union {
    EventRecord* event;
    void* param;  // kNavCBPopupMenuSelect: the NavMenuItemSpec of the chosen entry
  } eventDataParms;
  SInt16 itemHit;
};

struct NavCBRec {
  UInt16 version;
  NavDialogRef context;
  WindowRef window;
  Rect customRect;
  Rect previewRect;
  NavEventData eventData;
  NavUserAction userAction;
  char reserved[218];
};
typedef NavCBRec* NavCBRecPtr;

// The information a filter callback gets with each item (as its void* info).
struct NavFileOrFolderInfo {
  UInt16 version;
  Boolean isFolder;
  Boolean visible;
  UInt32 creationDate;
  UInt32 modificationDate;
  union {
    struct {
      Boolean locked;
      Boolean resourceOpen;
      Boolean dataOpen;
      Boolean reserved1;
      UInt32 dataSize;
      UInt32 resourceSize;
      FInfo finderInfo;
      FXInfo finderXInfo;
    } fileInfo;
    struct {
      Boolean shareable;
      Boolean sharePoint;
      Boolean mounted;
      Boolean readable;
      Boolean writeable;
      Boolean reserved2;
      UInt32 numberOfFiles;
      DInfo finderDInfo;
      DXInfo finderDXInfo;
      OSType folderType;
      OSType folderCreator;
      char reserved3[206];
    } folderInfo;
  } fileAndFolder;
};

typedef void (*NavEventProcPtr)(NavEventCallbackMessage callBackSelector, NavCBRecPtr callBackParms,
                                void* callBackUD);
typedef Boolean (*NavObjectFilterProcPtr)(AEDesc* theItem, void* info, void* callBackUD,
                                          NavFilterModes filterMode);
typedef Boolean (*NavPreviewProcPtr)(NavCBRecPtr callBackParms, void* callBackUD);
typedef NavEventProcPtr NavEventUPP;
typedef NavObjectFilterProcPtr NavObjectFilterUPP;
typedef NavPreviewProcPtr NavPreviewUPP;

// The routine itself (there is no mixed-mode glue); null when a test makes creation fail.
NavEventUPP NewNavEventUPP(NavEventProcPtr userRoutine);
void DisposeNavEventUPP(NavEventUPP userUPP);
NavObjectFilterUPP NewNavObjectFilterUPP(NavObjectFilterProcPtr userRoutine);
void DisposeNavObjectFilterUPP(NavObjectFilterUPP userUPP);

// Fills the options with the defaults: version 0, kNavDefaultNavDlogOptions, location -1/-1,
// no strings, no pop-up, modality kWindowModalityAppModal, no parent window.
OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions);

// Each copies (retains) the option strings and the pop-up array it is given; the dialog is
// freed with NavDialogDispose.
OSStatus NavCreateGetFileDialog(NavDialogCreationOptions const* inOptions,
                                NavTypeListHandle inTypeList, NavEventUPP inEventProc,
                                NavPreviewUPP inPreviewProc, NavObjectFilterUPP inFilterProc,
                                void* inClientData, NavDialogRef* outDialog);
OSStatus NavCreatePutFileDialog(NavDialogCreationOptions const* inOptions, OSType inFileType,
                                OSType inFileCreator, NavEventUPP inEventProc, void* inClientData,
                                NavDialogRef* outDialog);
OSStatus NavCreateChooseFolderDialog(NavDialogCreationOptions const* inOptions,
                                     NavEventUPP inEventProc, NavObjectFilterUPP inFilterProc,
                                     void* inClientData, NavDialogRef* outDialog);

// Runs the dialog modally (plays its script) and returns when the user has chosen or
// cancelled. A dialog runs once; a second run answers kNavWrongDialogStateErr. A scripted
// choice of a path that does not exist ends the run as a cancel and answers FSPathMakeRef's
// code.
OSStatus NavDialogRun(NavDialogRef inDialog);
NavUserAction NavDialogGetUserAction(NavDialogRef inDialog);  // kNavUserActionNone before a run
// The outcome of a run: validRecord set and one 'fsrf' item in the selection when the user
// chose (the chosen file, or the folder of a save or choose-folder dialog). Free it with
// NavDisposeReply.
OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord* outReply);
OSStatus NavDisposeReply(NavReplyRecord* inReply);
void NavDialogDispose(NavDialogRef inDialog);

// The save dialog's name field. Get answers a string the dialog keeps (do not release; null
// for other dialogs); Set copies the name.
CFStringRef NavDialogGetSaveFileName(NavDialogRef inPutFileDialog);
OSStatus NavDialogSetSaveFileName(NavDialogRef inPutFileDialog, CFStringRef inFileName);

// Selectors used with a parameter: kNavCtlSetLocation (AEDesc* of an 'fsrf' folder),
// kNavCtlSelectCustomType (NavMenuItemSpec* with creator 'extn' and the index as type),
// kNavCtlGetLocation (AEDesc* to fill, freed by the caller). kNavCtlShowSelection and
// kNavCtlBrowserRedraw take none (the redraw offers the folder's items to the filter again).
// Other selectors are accepted and recorded.
OSStatus NavCustomControl(NavDialogRef inDialog, NavCustomControlMessage inSelector, void* ioParms);
