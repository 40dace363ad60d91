// Navigation: the scripted Navigation Services dialogs, Apple Event data descriptors and lists,
// immutable CFArrays and the recorded theme cursor.
// A dialog is a heap object in a live set; NavDialogRun takes the oldest queued script and
// plays it against the client's callbacks on the calling thread: start message, a filter pass
// over the shown folder (the scripted one, else the location the client set; listed on disk
// through the File Manager stand-in's root, sorted by name), the scripted steps (each may
// trigger another pass through kNavCtlBrowserRedraw), then accept or cancel. What the dialog
// was given and did is written into its record, which outlives the dialog for the tests.
// The lock guards the script, the records and the live sets; it is never held while a client
// callback runs, since callbacks call back into NavCustomControl.
#include "platform/carbon/Navigation.h"

#include "platform/carbon/WindowServerInternal.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/carbon/FilesStandIn.h"
#include "platform/carbon/NavigationTesting.h"

// ---------------------------------------------------------------------------------------------
// CFArray
// ---------------------------------------------------------------------------------------------

namespace {

class clsCFArray : public CFRuntimeObject {
 public:
  clsCFArray(std::vector<void const*> values, CFArrayCallBacks callBacks, bool hasCallBacks)
      : CFRuntimeObject(kCFRuntimeTypeArray),
        m_vecValues(std::move(values)),
        m_udtCallBacks(callBacks),
        m_bolHasCallBacks(hasCallBacks) {}
  ~clsCFArray() override {
    if (m_bolHasCallBacks && m_udtCallBacks.release != nullptr) {
      for (void const* value : m_vecValues) m_udtCallBacks.release(kCFAllocatorDefault, value);
    }
  }
  std::vector<void const*> const& Values() const { return m_vecValues; }

 private:
  std::vector<void const*> m_vecValues;
  CFArrayCallBacks m_udtCallBacks;
  bool m_bolHasCallBacks;
};

void const* RetainArrayValue(CFAllocatorRef, void const* value) { return CFRetain(value); }
void ReleaseArrayValue(CFAllocatorRef, void const* value) { CFRelease(value); }

clsCFArray const* ArrayFromRef(CFArrayRef theArray) {
  if (theArray == nullptr) return nullptr;
  auto const* object = CFRuntimeObjectFromRef(theArray);
  if (object->TypeID() != kCFRuntimeTypeArray) return nullptr;
  return static_cast<clsCFArray const*>(object);
}

bool TakeForcedFailure(enumNavTestCall call, OSStatus* result);

}  // namespace

CFArrayCallBacks const kCFTypeArrayCallBacks = {0, RetainArrayValue, ReleaseArrayValue, nullptr,
                                                nullptr};

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, void const** values, CFIndex numValues,
                         CFArrayCallBacks const* callBacks) {
  (void)allocator;
  OSStatus forced;
  if (TakeForcedFailure(kNavTestCallCFArrayCreate, &forced)) return nullptr;
  if (numValues < 0 || (numValues > 0 && values == nullptr)) return nullptr;
  try {
    std::vector<void const*> copy(values, values + numValues);
    CFArrayCallBacks used = callBacks != nullptr ? *callBacks : CFArrayCallBacks{0, nullptr, nullptr,
                                                                                 nullptr, nullptr};
    auto* array = new clsCFArray(std::move(copy), used, callBacks != nullptr);
    if (callBacks != nullptr && callBacks->retain != nullptr) {
      for (void const* value : array->Values()) callBacks->retain(allocator, value);
    }
    return static_cast<CFArrayRef>(CFRuntimeObjectToRef(array));
  } catch (...) {
    return nullptr;
  }
}

CFIndex CFArrayGetCount(CFArrayRef theArray) {
  clsCFArray const* array = ArrayFromRef(theArray);
  return array == nullptr ? 0 : CFIndex(array->Values().size());
}

void const* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
  clsCFArray const* array = ArrayFromRef(theArray);
  if (array == nullptr || idx < 0 || size_t(idx) >= array->Values().size()) return nullptr;
  return array->Values()[size_t(idx)];
}

CFTypeID CFArrayGetTypeID(void) { return kCFRuntimeTypeArray; }

// ---------------------------------------------------------------------------------------------
// Shared state: script, records, live objects
// ---------------------------------------------------------------------------------------------

struct __NavDialog {
  enumNavTestDialogKind m_intKind = kNavTestGetFile;
  NavEventUPP m_fnEventProc = nullptr;
  NavObjectFilterUPP m_fnFilterProc = nullptr;
  void* m_ptrClientData = nullptr;
  NavDialogOptionFlags m_ulngOptionFlags = 0;
  CFArrayRef m_udtPopup = nullptr;
  CFStringRef m_udtSaveName = nullptr;
  bool m_bolRan = false;
  bool m_bolRunning = false;
  bool m_bolRedrawPending = false;
  NavUserAction m_ulngAction = kNavUserActionNone;
  stcNavTestRun m_udtRun;
  std::string m_strShownFolder;
  FSRef m_udtChosen{};
  std::shared_ptr<stcNavTestDialog> m_ptrRecord;
};

namespace {

struct stcAEDataItem {
  DescType m_ulngType;
  std::string m_strData;
};

struct stcAEDataRecord {
  bool m_bolList = false;
  DescType m_ulngType = typeNull;
  std::string m_strData;
  std::vector<stcAEDataItem> m_vecItems;
};

struct stcNavState {
  std::recursive_mutex m_mtxState;
  std::deque<stcNavTestRun> m_lstRuns;
  std::vector<std::shared_ptr<stcNavTestDialog>> m_vecRecords;
  std::map<int32_t, OSStatus> m_mapForced;
  std::set<__NavDialog*> m_setDialogs;
  std::set<stcAEDataRecord*> m_setData;
  std::set<void*> m_setReplies;  // selection handles of replies not yet disposed
  std::vector<ThemeCursor> m_vecCursors;
};

stcNavState& State() {
  static stcNavState* s_udtState = new stcNavState;
  return *s_udtState;
}

typedef std::lock_guard<std::recursive_mutex> tLock;

bool TakeForcedFailure(enumNavTestCall call, OSStatus* result) {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  auto found = state.m_mapForced.find(call);
  if (found == state.m_mapForced.end()) return false;
  *result = found->second;
  state.m_mapForced.erase(found);
  return true;
}

bool LiveDialog(NavDialogRef dialog) {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  return dialog != nullptr && state.m_setDialogs.count(dialog) != 0;
}

stcAEDataRecord* LiveData(AEDesc const* desc) {
  if (desc == nullptr || desc->dataHandle == nullptr || desc->descriptorType == typeAppleEvent) {
    return nullptr;
  }
  auto* data = reinterpret_cast<stcAEDataRecord*>(desc->dataHandle);
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  return state.m_setData.count(data) != 0 ? data : nullptr;
}

OSErr NewDataDescriptor(stcAEDataRecord* data, AEDesc* result) {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  try {
    state.m_setData.insert(data);
  } catch (...) {
    delete data;
    return errAEWrongDataType;
  }
  *result = AEDesc{data->m_ulngType, reinterpret_cast<AEDataStorage>(data)};
  return noErr;
}

// The UTF-8 text of a CoreFoundation string ("" for null).
std::string Utf8Of(CFStringRef text) {
  CFIndex length = CFStringGetLength(text);
  if (length <= 0) return std::string();
  CFIndex capacity = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8);
  if (capacity <= 0) return std::string();
  std::string bytes(size_t(capacity), '\0');
  CFIndex used = 0;
  CFStringGetBytes(text, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false,
                   reinterpret_cast<UInt8*>(&bytes[0]), capacity, &used);
  bytes.resize(size_t(used));
  return bytes;
}

// A copy of the string's units (null for null or no memory).
CFStringRef CopyString(CFStringRef text) {
  if (text == nullptr) return nullptr;
  CFIndex length = CFStringGetLength(text);
  std::vector<UniChar> units(size_t(length) + 1);
  if (length > 0) CFStringGetCharacters(text, CFRangeMake(0, length), units.data());
  return CFStringCreateWithCharacters(kCFAllocatorDefault, units.data(), length);
}

void SendEvent(NavDialogRef dialog, NavEventCallbackMessage message, void* param) {
  {
    stcNavState& state = State();
    tLock guard(state.m_mtxState);
    dialog->m_ptrRecord->m_vecEvents.push_back(message);
  }
  if (dialog->m_fnEventProc == nullptr) return;
  NavCBRec rec;
  std::memset(&rec, 0, sizeof rec);
  rec.version = kNavCBRecVersion;
  rec.context = dialog;
  rec.eventData.eventDataParms.param = param;
  rec.userAction = dialog->m_ulngAction;
  dialog->m_fnEventProc(message, &rec, dialog->m_ptrClientData);
}

std::string JoinPath(std::string const& folder, std::string const& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// Offers every item of the shown folder to the filter callback and records the verdicts.
void FilterPass(NavDialogRef dialog) {
  dialog->m_bolRedrawPending = false;
  std::vector<stcNavTestFilterCall> pass;
  std::string folder = dialog->m_strShownFolder;
  if (folder.empty()) {
    stcNavState& state = State();
    tLock guard(state.m_mtxState);
    if (!dialog->m_ptrRecord->m_vecLocationPaths.empty()) {
      folder = dialog->m_ptrRecord->m_vecLocationPaths.back();
    }
  }
  if (dialog->m_fnFilterProc != nullptr && !folder.empty()) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(FSStandInRealPath(folder).c_str())) {
      while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (name[0] == '.' && (dialog->m_ulngOptionFlags & kNavAllowInvisibleFiles) == 0) continue;
        names.push_back(name);
      }
      closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (std::string const& name : names) {
      std::string path = JoinPath(folder, name);
      FSRef ref;
      Boolean isDir = false;
      if (FSPathMakeRef(reinterpret_cast<UInt8 const*>(path.c_str()), &ref, &isDir) != noErr) {
        continue;
      }
      NavFileOrFolderInfo info;
      std::memset(&info, 0, sizeof info);
      info.version = kNavFileOrFolderVersion;
      info.isFolder = isDir;
      info.visible = name[0] != '.';
      if (!isDir) {
        FSCatalogInfo catalog;
        std::memset(&catalog, 0, sizeof catalog);
        if (FSGetCatalogInfo(&ref, kFSCatInfoFinderInfo, &catalog, nullptr, nullptr, nullptr) ==
            noErr) {
          std::memcpy(&info.fileAndFolder.fileInfo.finderInfo.fdType, &catalog.finderInfo[0], 4);
          std::memcpy(&info.fileAndFolder.fileInfo.finderInfo.fdCreator, &catalog.finderInfo[4], 4);
        }
      }
      AEDesc item{typeNull, nullptr};
      if (AECreateDesc(typeFSRef, &ref, sizeof ref, &item) != noErr) continue;
      bool shown = dialog->m_fnFilterProc(&item, &info, dialog->m_ptrClientData,
                                          kNavFilteringBrowserList) != 0;
      AEDisposeDataDescriptor(&item);
      pass.push_back(stcNavTestFilterCall{path, isDir != 0, shown});
    }
  }
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  try {
    dialog->m_ptrRecord->m_vecFilterPasses.push_back(std::move(pass));
  } catch (...) {
  }
}

void SetSaveName(NavDialogRef dialog, CFStringRef name, bool byClient) {
  CFStringRef copy = CopyString(name);
  if (copy == nullptr) return;
  if (dialog->m_udtSaveName != nullptr) CFRelease(dialog->m_udtSaveName);
  dialog->m_udtSaveName = copy;
  std::string text = Utf8Of(copy);
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  dialog->m_ptrRecord->m_strSaveName = text;
  if (byClient) dialog->m_ptrRecord->m_vecSaveNamesSet.push_back(text);
}

OSStatus CreateDialog(enumNavTestDialogKind kind, enumNavTestCall call,
                      NavDialogCreationOptions const* options, NavEventUPP eventProc,
                      NavObjectFilterUPP filterProc, void* clientData, NavTypeListHandle typeList,
                      OSType fileType, OSType fileCreator, NavDialogRef* outDialog) {
  if (outDialog != nullptr) *outDialog = nullptr;
  OSStatus forced;
  if (TakeForcedFailure(call, &forced)) return forced;
  if (options == nullptr || outDialog == nullptr) return paramErr;
  NavDialogRef dialog = nullptr;
  try {
    dialog = new __NavDialog;
    dialog->m_ptrRecord = std::make_shared<stcNavTestDialog>();
    stcNavTestDialog& record = *dialog->m_ptrRecord;
    record.m_intKind = kind;
    record.m_ulngOptionFlags = options->optionFlags;
    record.m_ulngModality = options->modality;
    record.m_strMessage = Utf8Of(options->message);
    record.m_strActionButtonLabel = Utf8Of(options->actionButtonLabel);
    record.m_bolHasEventProc = eventProc != nullptr;
    record.m_bolHasFilterProc = filterProc != nullptr;
    record.m_bolHasTypeList = typeList != nullptr;
    record.m_ulngFileType = fileType;
    record.m_ulngFileCreator = fileCreator;
    if (options->popupExtension != nullptr && (options->optionFlags & kNavNoTypePopup) == 0) {
      record.m_bolHasPopup = true;
      for (CFIndex i = 0; i < CFArrayGetCount(options->popupExtension); ++i) {
        auto text = static_cast<CFStringRef>(CFArrayGetValueAtIndex(options->popupExtension, i));
        record.m_vecPopup.push_back(Utf8Of(text));
      }
      dialog->m_udtPopup = static_cast<CFArrayRef>(CFRetain(options->popupExtension));
    }
    dialog->m_intKind = kind;
    dialog->m_fnEventProc = eventProc;
    dialog->m_fnFilterProc = filterProc;
    dialog->m_ptrClientData = clientData;
    dialog->m_ulngOptionFlags = options->optionFlags;
    if (kind == kNavTestPutFile) SetSaveName(dialog, options->saveFileName, false);
    stcNavState& state = State();
    tLock guard(state.m_mtxState);
    state.m_vecRecords.push_back(dialog->m_ptrRecord);
    state.m_setDialogs.insert(dialog);
  } catch (...) {
    if (dialog != nullptr) {
      if (dialog->m_udtPopup != nullptr) CFRelease(dialog->m_udtPopup);
      if (dialog->m_udtSaveName != nullptr) CFRelease(dialog->m_udtSaveName);
      delete dialog;
    }
    return memFullErr;
  }
  *outDialog = dialog;
  return noErr;
}

// The menu item of pop-up entry index, as the pop-up message carries it.
NavMenuItemSpec PopupItem(NavDialogRef dialog, int32_t index) {
  NavMenuItemSpec item;
  std::memset(&item, 0, sizeof item);
  item.version = kNavMenuItemSpecVersion;
  item.menuCreator = kNavCustomTypeCreator;
  item.menuType = OSType(index);
  std::string name =
      Utf8Of(static_cast<CFStringRef>(CFArrayGetValueAtIndex(dialog->m_udtPopup, index)));
  size_t length = std::min<size_t>(name.size(), 255);
  item.menuItemName[0] = static_cast<unsigned char>(length);
  std::memcpy(&item.menuItemName[1], name.data(), length);
  return item;
}

void PlayStep(NavDialogRef dialog, stcNavTestStep const& step) {
  switch (step.m_intKind) {
    case kNavTestStepPopup: {
      if (step.m_intIndex < 0 || step.m_intIndex >= CFArrayGetCount(dialog->m_udtPopup)) return;
      {
        stcNavState& state = State();
        tLock guard(state.m_mtxState);
        dialog->m_ptrRecord->m_intPopupIndex = step.m_intIndex;
      }
      NavMenuItemSpec item = PopupItem(dialog, step.m_intIndex);
      SendEvent(dialog, kNavCBPopupMenuSelect, &item);
      break;
    }
    case kNavTestStepTypeName: {
      if (dialog->m_intKind != kNavTestPutFile) return;
      CFStringRef name = CFStringCreateWithBytes(
          kCFAllocatorDefault, reinterpret_cast<UInt8 const*>(step.m_strText.data()),
          CFIndex(step.m_strText.size()), kCFStringEncodingUTF8, false);
      if (name == nullptr) return;
      SetSaveName(dialog, name, false);
      CFRelease(name);
      break;
    }
    case kNavTestStepShowFolder:
      dialog->m_strShownFolder = step.m_strText;
      SendEvent(dialog, kNavCBNewLocation, nullptr);
      dialog->m_bolRedrawPending = true;
      break;
  }
  if (dialog->m_bolRedrawPending) FilterPass(dialog);
}

NavUserAction AcceptAction(enumNavTestDialogKind kind) {
  switch (kind) {
    case kNavTestPutFile:
      return kNavUserActionSaveAs;
    case kNavTestChooseFolder:
      return kNavUserActionChoose;
    default:
      return kNavUserActionOpen;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Apple Event data descriptors and lists
// ---------------------------------------------------------------------------------------------

OSErr AECreateDesc(DescType typeCode, void const* dataPtr, Size dataSize, AEDesc* result) {
  if (result == nullptr) return errAEWrongDataType;
  *result = AEDesc{typeNull, nullptr};
  if (typeCode == typeNull || typeCode == typeAppleEvent || typeCode == typeAEList) {
    return errAEWrongDataType;
  }
  if (dataSize < 0 || (dataSize > 0 && dataPtr == nullptr)) return errAEWrongDataType;
  stcAEDataRecord* data = new (std::nothrow) stcAEDataRecord;
  if (data == nullptr) return errAEWrongDataType;
  try {
    data->m_ulngType = typeCode;
    if (dataSize > 0) data->m_strData.assign(static_cast<char const*>(dataPtr), size_t(dataSize));
  } catch (...) {
    delete data;
    return errAEWrongDataType;
  }
  return NewDataDescriptor(data, result);
}

OSErr AECreateList(void const* factoringPtr, Size factoredSize, Boolean isRecord,
                   AEDescList* resultList) {
  if (resultList == nullptr) return errAEWrongDataType;
  *resultList = AEDesc{typeNull, nullptr};
  if (factoringPtr != nullptr || factoredSize != 0 || isRecord) return errAEWrongDataType;
  stcAEDataRecord* data = new (std::nothrow) stcAEDataRecord;
  if (data == nullptr) return errAEWrongDataType;
  data->m_bolList = true;
  data->m_ulngType = typeAEList;
  return NewDataDescriptor(data, resultList);
}

OSErr AEPutPtr(AEDescList* theAEDescList, SInt32 index, DescType typeCode, void const* dataPtr,
               Size dataSize) {
  stcAEDataRecord* data = LiveData(theAEDescList);
  if (data == nullptr) return errAENotAEDesc;
  if (!data->m_bolList) return errAEWrongDataType;
  if (dataSize < 0 || (dataSize > 0 && dataPtr == nullptr)) return errAEWrongDataType;
  SInt32 count = SInt32(data->m_vecItems.size());
  if (index < 0 || index > count + 1) return errAEIllegalIndex;
  try {
    stcAEDataItem item{typeCode, std::string()};
    if (dataSize > 0) item.m_strData.assign(static_cast<char const*>(dataPtr), size_t(dataSize));
    if (index == 0 || index == count + 1) {
      data->m_vecItems.push_back(std::move(item));
    } else {
      data->m_vecItems[size_t(index - 1)] = std::move(item);
    }
  } catch (...) {
    return errAEWrongDataType;
  }
  return noErr;
}

OSErr AECountItems(AEDescList const* theAEDescList, SInt32* theCount) {
  if (theCount != nullptr) *theCount = 0;
  stcAEDataRecord* data = LiveData(theAEDescList);
  if (data == nullptr) return errAENotAEDesc;
  if (!data->m_bolList) return errAEWrongDataType;
  if (theCount != nullptr) *theCount = SInt32(data->m_vecItems.size());
  return noErr;
}

OSErr AEGetNthPtr(AEDescList const* theAEDescList, SInt32 index, DescType desiredType,
                  AEKeyword* theAEKeyword, DescType* typeCode, void* dataPtr, Size maximumSize,
                  Size* actualSize) {
  if (actualSize != nullptr) *actualSize = 0;
  stcAEDataRecord* data = LiveData(theAEDescList);
  if (data == nullptr) return errAENotAEDesc;
  if (!data->m_bolList) return errAEWrongDataType;
  if (index < 1 || size_t(index) > data->m_vecItems.size()) return errAEIllegalIndex;
  stcAEDataItem const& item = data->m_vecItems[size_t(index - 1)];
  if (desiredType != typeWildCard && desiredType != item.m_ulngType) return errAECoercionFail;
  if (theAEKeyword != nullptr) *theAEKeyword = typeWildCard;
  if (typeCode != nullptr) *typeCode = item.m_ulngType;
  if (actualSize != nullptr) *actualSize = Size(item.m_strData.size());
  if (dataPtr != nullptr && maximumSize > 0) {
    std::memcpy(dataPtr, item.m_strData.data(), std::min(size_t(maximumSize), item.m_strData.size()));
  }
  return noErr;
}

Size AEGetDescDataSize(AEDesc const* theAEDesc) {
  stcAEDataRecord* data = LiveData(theAEDesc);
  if (data == nullptr || data->m_bolList) return 0;
  return Size(data->m_strData.size());
}

OSErr AEGetDescData(AEDesc const* theAEDesc, void* dataPtr, Size maximumSize) {
  stcAEDataRecord* data = LiveData(theAEDesc);
  if (data == nullptr) return errAENotAEDesc;
  if (data->m_bolList) return errAEWrongDataType;
  if (dataPtr != nullptr && maximumSize > 0) {
    std::memcpy(dataPtr, data->m_strData.data(), std::min(size_t(maximumSize), data->m_strData.size()));
  }
  return noErr;
}

bool AEDisposeDataDescriptor(AEDesc* theAEDesc) {
  stcAEDataRecord* data = LiveData(theAEDesc);
  if (data == nullptr) return false;
  {
    stcNavState& state = State();
    tLock guard(state.m_mtxState);
    state.m_setData.erase(data);
  }
  delete data;
  *theAEDesc = AEDesc{typeNull, nullptr};
  return true;
}

// ---------------------------------------------------------------------------------------------
// Theme cursor
// ---------------------------------------------------------------------------------------------

OSStatus SetThemeCursor(ThemeCursor inCursor) {
  WindowServerNoteCursor(inCursor);
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  try {
    state.m_vecCursors.push_back(inCursor);
  } catch (...) {
  }
  return noErr;
}

// ---------------------------------------------------------------------------------------------
// Navigation Services
// ---------------------------------------------------------------------------------------------

NavEventUPP NewNavEventUPP(NavEventProcPtr userRoutine) {
  OSStatus forced;
  if (TakeForcedFailure(kNavTestCallNewEventUPP, &forced)) return nullptr;
  return userRoutine;
}
void DisposeNavEventUPP(NavEventUPP) {}

NavObjectFilterUPP NewNavObjectFilterUPP(NavObjectFilterProcPtr userRoutine) {
  OSStatus forced;
  if (TakeForcedFailure(kNavTestCallNewFilterUPP, &forced)) return nullptr;
  return userRoutine;
}
void DisposeNavObjectFilterUPP(NavObjectFilterUPP) {}

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions) {
  OSStatus forced;
  if (TakeForcedFailure(kNavTestCallDefaultOptions, &forced)) return forced;
  if (outOptions == nullptr) return paramErr;
  std::memset(outOptions, 0, sizeof *outOptions);
  outOptions->version = kNavDialogCreationOptionsVersion;
  outOptions->optionFlags = kNavDefaultNavDlogOptions;
  outOptions->location = Point{-1, -1};
  outOptions->modality = kWindowModalityAppModal;
  return noErr;
}

OSStatus NavCreateGetFileDialog(NavDialogCreationOptions const* inOptions,
                                NavTypeListHandle inTypeList, NavEventUPP inEventProc,
                                NavPreviewUPP inPreviewProc, NavObjectFilterUPP inFilterProc,
                                void* inClientData, NavDialogRef* outDialog) {
  (void)inPreviewProc;
  return CreateDialog(kNavTestGetFile, kNavTestCallCreateGetFile, inOptions, inEventProc,
                      inFilterProc, inClientData, inTypeList, 0, 0, outDialog);
}

OSStatus NavCreatePutFileDialog(NavDialogCreationOptions const* inOptions, OSType inFileType,
                                OSType inFileCreator, NavEventUPP inEventProc, void* inClientData,
                                NavDialogRef* outDialog) {
  return CreateDialog(kNavTestPutFile, kNavTestCallCreatePutFile, inOptions, inEventProc, nullptr,
                      inClientData, nullptr, inFileType, inFileCreator, outDialog);
}

OSStatus NavCreateChooseFolderDialog(NavDialogCreationOptions const* inOptions,
                                     NavEventUPP inEventProc, NavObjectFilterUPP inFilterProc,
                                     void* inClientData, NavDialogRef* outDialog) {
  return CreateDialog(kNavTestChooseFolder, kNavTestCallCreateChooseFolder, inOptions,
                      inEventProc, inFilterProc, inClientData, nullptr, 0, 0, outDialog);
}

OSStatus NavDialogRun(NavDialogRef inDialog) {
  if (!LiveDialog(inDialog)) return kNavInvalidDialog;
  if (inDialog->m_bolRan) return kNavWrongDialogStateErr;
  inDialog->m_bolRan = true;
  {
    stcNavState& state = State();
    tLock guard(state.m_mtxState);
    inDialog->m_ptrRecord->m_bolRan = true;
    if (state.m_lstRuns.empty()) {
      inDialog->m_udtRun = NavTestCancel();
    } else {
      inDialog->m_udtRun = state.m_lstRuns.front();
      state.m_lstRuns.pop_front();
    }
  }
  stcNavTestRun const& run = inDialog->m_udtRun;
  if (run.m_lngRunResult != noErr) return run.m_lngRunResult;

  inDialog->m_bolRunning = true;
  inDialog->m_strShownFolder = run.m_strShownFolder;
  SendEvent(inDialog, kNavCBStart, nullptr);
  FilterPass(inDialog);
  for (stcNavTestStep const& step : run.m_vecSteps) PlayStep(inDialog, step);

  OSStatus result = noErr;
  if (run.m_bolChoose) {
    Boolean isDir = false;
    result = FSPathMakeRef(reinterpret_cast<UInt8 const*>(run.m_strChosenPath.c_str()),
                           &inDialog->m_udtChosen, &isDir);
  }
  // A save dialog cannot be accepted while its name field is empty: the button stays disabled,
  // so such a run ends as a cancel.
  bool const noSaveName = inDialog->m_intKind == kNavTestPutFile &&
                          (inDialog->m_udtSaveName == nullptr ||
                           CFStringGetLength(inDialog->m_udtSaveName) == 0);
  if (run.m_bolChoose && result == noErr && !noSaveName) {
    inDialog->m_ulngAction = AcceptAction(inDialog->m_intKind);
    SendEvent(inDialog, kNavCBAccept, nullptr);
  } else {
    inDialog->m_ulngAction = kNavUserActionCancel;
    SendEvent(inDialog, kNavCBCancel, nullptr);
  }
  SendEvent(inDialog, kNavCBUserAction, nullptr);
  SendEvent(inDialog, kNavCBTerminate, nullptr);
  inDialog->m_bolRunning = false;
  return result;
}

NavUserAction NavDialogGetUserAction(NavDialogRef inDialog) {
  if (!LiveDialog(inDialog)) return kNavUserActionNone;
  return inDialog->m_ulngAction;
}

OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord* outReply) {
  if (outReply == nullptr) return paramErr;
  std::memset(outReply, 0, sizeof *outReply);
  outReply->version = kNavReplyRecordVersion;
  outReply->selection = AEDesc{typeNull, nullptr};
  if (!LiveDialog(inDialog)) return kNavInvalidDialog;
  if (!inDialog->m_bolRan) return kNavWrongDialogStateErr;
  stcNavTestRun const& run = inDialog->m_udtRun;
  if (run.m_lngReplyResult != noErr) return run.m_lngReplyResult;
  NavUserAction action = inDialog->m_ulngAction;
  if (action == kNavUserActionNone || action == kNavUserActionCancel) return noErr;

  OSErr err = AECreateList(nullptr, 0, false, &outReply->selection);
  if (err != noErr) return err;
  if (!run.m_bolEmptySelection) {
    err = AEPutPtr(&outReply->selection, 0, typeFSRef, &inDialog->m_udtChosen, sizeof(FSRef));
    if (err != noErr) {
      AEDisposeDataDescriptor(&outReply->selection);
      return err;
    }
  }
  outReply->validRecord = !run.m_bolInvalidReply;
  if (inDialog->m_intKind == kNavTestPutFile) {
    outReply->saveFileName = CopyString(inDialog->m_udtSaveName);
  }
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  try {
    state.m_setReplies.insert(outReply->selection.dataHandle);
  } catch (...) {
  }
  return noErr;
}

OSStatus NavDisposeReply(NavReplyRecord* inReply) {
  if (inReply == nullptr) return paramErr;
  {
    stcNavState& state = State();
    tLock guard(state.m_mtxState);
    state.m_setReplies.erase(inReply->selection.dataHandle);
  }
  AEDisposeDataDescriptor(&inReply->selection);
  inReply->selection = AEDesc{typeNull, nullptr};
  if (inReply->saveFileName != nullptr) CFRelease(inReply->saveFileName);
  inReply->saveFileName = nullptr;
  inReply->validRecord = false;
  return noErr;
}

void NavDialogDispose(NavDialogRef inDialog) {
  {
    stcNavState& state = State();
    tLock guard(state.m_mtxState);
    if (inDialog == nullptr || state.m_setDialogs.erase(inDialog) == 0) return;
    inDialog->m_ptrRecord->m_bolDisposed = true;
  }
  if (inDialog->m_udtPopup != nullptr) CFRelease(inDialog->m_udtPopup);
  if (inDialog->m_udtSaveName != nullptr) CFRelease(inDialog->m_udtSaveName);
  delete inDialog;
}

CFStringRef NavDialogGetSaveFileName(NavDialogRef inPutFileDialog) {
  if (!LiveDialog(inPutFileDialog) || inPutFileDialog->m_intKind != kNavTestPutFile) {
    return nullptr;
  }
  return inPutFileDialog->m_udtSaveName;
}

OSStatus NavDialogSetSaveFileName(NavDialogRef inPutFileDialog, CFStringRef inFileName) {
  if (!LiveDialog(inPutFileDialog)) return kNavInvalidDialog;
  if (inPutFileDialog->m_intKind != kNavTestPutFile) return kNavWrongDialogClassErr;
  if (inFileName == nullptr) return paramErr;
  SetSaveName(inPutFileDialog, inFileName, true);
  return noErr;
}

OSStatus NavCustomControl(NavDialogRef inDialog, NavCustomControlMessage inSelector, void* ioParms) {
  if (!LiveDialog(inDialog)) return kNavInvalidDialog;
  stcNavState& state = State();
  switch (inSelector) {
    case kNavCtlSetLocation: {
      auto* desc = static_cast<AEDesc*>(ioParms);
      if (desc == nullptr) return paramErr;
      FSRef ref;
      if (desc->descriptorType == typeFSRef && AEGetDescDataSize(desc) == Size(sizeof ref)) {
        AEGetDescData(desc, &ref, sizeof ref);
      } else if (desc->descriptorType == typeFSS && AEGetDescDataSize(desc) == Size(sizeof(FSSpec))) {
        FSSpec spec;
        AEGetDescData(desc, &spec, sizeof spec);
        if (FSpMakeFSRef(&spec, &ref) != noErr) return paramErr;
      } else {
        return paramErr;
      }
      std::string path;
      if (FSStandInRefGetPath(&ref, &path) != noErr) return paramErr;
      tLock guard(state.m_mtxState);
      inDialog->m_ptrRecord->m_vecLocations.push_back(ref);
      inDialog->m_ptrRecord->m_vecLocationPaths.push_back(path);
      return noErr;
    }
    case kNavCtlGetLocation: {
      auto* desc = static_cast<AEDesc*>(ioParms);
      if (desc == nullptr) return paramErr;
      FSRef ref;
      {
        tLock guard(state.m_mtxState);
        if (inDialog->m_ptrRecord->m_vecLocations.empty()) return errAEDescNotFound;
        ref = inDialog->m_ptrRecord->m_vecLocations.back();
      }
      return AECreateDesc(typeFSRef, &ref, sizeof ref, desc);
    }
    case kNavCtlShowSelection: {
      tLock guard(state.m_mtxState);
      ++inDialog->m_ptrRecord->m_intShowSelectionCount;
      return noErr;
    }
    case kNavCtlSelectCustomType: {
      auto* item = static_cast<NavMenuItemSpec*>(ioParms);
      if (item == nullptr || item->menuCreator != kNavCustomTypeCreator) return paramErr;
      CFIndex count = CFArrayGetCount(inDialog->m_udtPopup);
      if (item->menuType >= OSType(count)) return paramErr;
      tLock guard(state.m_mtxState);
      inDialog->m_ptrRecord->m_vecSelectedCustomTypes.push_back(int32_t(item->menuType));
      inDialog->m_ptrRecord->m_intPopupIndex = int32_t(item->menuType);
      return noErr;
    }
    case kNavCtlBrowserRedraw: {
      {
        tLock guard(state.m_mtxState);
        ++inDialog->m_ptrRecord->m_intRedrawCount;
      }
      if (inDialog->m_bolRunning) inDialog->m_bolRedrawPending = true;
      return noErr;
    }
    default:
      return noErr;
  }
}

// ---------------------------------------------------------------------------------------------
// Script and records
// ---------------------------------------------------------------------------------------------

stcNavTestRun& stcNavTestRun::ShowFolder(std::string folder) {
  if (m_vecSteps.empty()) {
    m_strShownFolder = std::move(folder);
    return *this;
  }
  m_vecSteps.push_back(stcNavTestStep{kNavTestStepShowFolder, 0, std::move(folder)});
  return *this;
}

stcNavTestRun& stcNavTestRun::Popup(int32_t index) {
  m_vecSteps.push_back(stcNavTestStep{kNavTestStepPopup, index, std::string()});
  return *this;
}

stcNavTestRun& stcNavTestRun::TypeName(std::string name) {
  m_vecSteps.push_back(stcNavTestStep{kNavTestStepTypeName, 0, std::move(name)});
  return *this;
}

stcNavTestRun NavTestCancel() { return stcNavTestRun(); }

stcNavTestRun NavTestChoose(std::string path) {
  stcNavTestRun run;
  run.m_bolChoose = true;
  run.m_strChosenPath = std::move(path);
  return run;
}

void NavTestQueueRun(stcNavTestRun const& run) {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  state.m_lstRuns.push_back(run);
}

size_t NavTestQueuedRuns() {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  return state.m_lstRuns.size();
}

std::vector<stcNavTestDialog> NavTestDialogs() {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  std::vector<stcNavTestDialog> dialogs;
  for (auto const& record : state.m_vecRecords) dialogs.push_back(*record);
  return dialogs;
}

std::vector<std::string> NavTestLastShownItems() {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  std::vector<std::string> shown;
  if (state.m_vecRecords.empty() || state.m_vecRecords.back()->m_vecFilterPasses.empty()) {
    return shown;
  }
  for (stcNavTestFilterCall const& call : state.m_vecRecords.back()->m_vecFilterPasses.back()) {
    if (call.m_bolShown) shown.push_back(call.m_strPath);
  }
  return shown;
}

void NavTestFailCall(enumNavTestCall call, OSStatus result) {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  state.m_mapForced[call] = result;
}

int32_t NavTestLiveDialogs() {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  return int32_t(state.m_setDialogs.size());
}

int32_t NavTestLiveReplies() {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  return int32_t(state.m_setReplies.size());
}

int32_t NavTestLiveDataDescriptors() {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  return int32_t(state.m_setData.size());
}

std::vector<ThemeCursor> NavTestThemeCursors() {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  return state.m_vecCursors;
}

void NavTestReset() {
  stcNavState& state = State();
  tLock guard(state.m_mtxState);
  state.m_lstRuns.clear();
  state.m_vecRecords.clear();
  state.m_mapForced.clear();
  state.m_vecCursors.clear();
}
