// MacTextEditor: text views holding one text object each (see MacTextEditor.h). The text object
// lives with its view and goes with it.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/carbon/WindowServerInternal.h"

namespace {

constexpr OSStatus kParamErr = -50;
constexpr OSStatus kMemFullErr = -108;

bool Alive(TXNObject object) {
  return object != nullptr && WindowServer().m_setTXN.count(object) != 0;
}

// The range [start, end) clipped to the text; false when start lies past end.
bool Range(TXNObject object, TXNOffset start, TXNOffset end, size_t* from, size_t* to) {
  size_t const length = object->m_strText.size();
  *from = std::min<size_t>(start, length);
  *to = end == kTXNEndOffset ? length : std::min<size_t>(end, length);
  return *from <= *to;
}

}  // namespace

OSStatus HITextViewCreate(HIRect const* inBoundsRect, OptionBits inOptions,
                          TXNFrameOptions inTXNFrameOptions, HIViewRef* outTextView) {
  (void)inOptions;
  if (outTextView == nullptr) return kParamErr;
  *outTextView = nullptr;
  ControlRef view = NewView(kViewTextView);
  if (view == nullptr) return kMemFullErr;
  auto* object = new (std::nothrow) OpaqueTXNObject;
  if (object == nullptr) {
    FreeViewTree(view);
    return kMemFullErr;
  }
  object->m_ulngFrameOptions = inTXNFrameOptions;
  object->m_blnReadOnly = (inTXNFrameOptions & kTXNReadOnlyMask) != 0;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  try {
    server.m_setTXN.insert(object);
  } catch (...) {
    delete object;
    FreeViewTree(view);
    return kMemFullErr;
  }
  view->m_pTXN = object;
  if (inBoundsRect != nullptr) view->m_udtFrame = *inBoundsRect;
  *outTextView = view;
  return noErr;
}

TXNObject HITextViewGetTXNObject(HIViewRef inTextView) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return ViewAlive(inTextView) ? inTextView->m_pTXN : nullptr;
}

OSStatus TXNSetData(TXNObject iTXNObject, TXNDataType iDataType, void const* iDataPtr,
                    ByteCount iDataSize, TXNOffset iStartOffset, TXNOffset iEndOffset) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!Alive(iTXNObject) || iDataType != kTXNUnicodeTextData || (iDataSize > 0 && iDataPtr == nullptr)) {
    return kParamErr;
  }
  if (TakeFault(kWindowsFailTXNSetData)) return kMemFullErr;
  size_t from, to;
  if (!Range(iTXNObject, iStartOffset, iEndOffset, &from, &to)) return kParamErr;
  std::u16string units(iDataSize / 2, u'\0');
  if (!units.empty()) std::memcpy(&units[0], iDataPtr, units.size() * 2);
  try {
    iTXNObject->m_strText.replace(from, to - from, units);
  } catch (...) {
    return kMemFullErr;
  }
  TXNOffset const caret = TXNOffset(from + units.size());
  iTXNObject->m_ulngSelStart = iTXNObject->m_ulngSelEnd = caret;
  return noErr;
}

OSStatus TXNGetDataEncoded(TXNObject iTXNObject, TXNOffset iStartOffset, TXNOffset iEndOffset,
                           Handle* oDataHandle, TXNDataType iEncoding) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (oDataHandle == nullptr) return kParamErr;
  *oDataHandle = nullptr;
  if (!Alive(iTXNObject) || iEncoding != kTXNUnicodeTextData) return kParamErr;
  if (TakeFault(kWindowsFailTXNGetData)) return kMemFullErr;
  size_t from, to;
  if (!Range(iTXNObject, iStartOffset, iEndOffset, &from, &to)) return kParamErr;
  Handle handle = NewHandle(Size((to - from) * 2));
  if (handle == nullptr) return kMemFullErr;
  if (to > from) std::memcpy(*handle, iTXNObject->m_strText.data() + from, (to - from) * 2);
  *oDataHandle = handle;
  return noErr;
}

OSStatus TXNGetData(TXNObject iTXNObject, TXNOffset iStartOffset, TXNOffset iEndOffset,
                    Handle* oDataHandle) {
  return TXNGetDataEncoded(iTXNObject, iStartOffset, iEndOffset, oDataHandle, kTXNUnicodeTextData);
}

ByteCount TXNDataSize(TXNObject iTXNObject) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return Alive(iTXNObject) ? ByteCount(iTXNObject->m_strText.size() * 2) : 0;
}

void TXNGetSelection(TXNObject iTXNObject, TXNOffset* oStartOffset, TXNOffset* oEndOffset) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!Alive(iTXNObject)) return;
  if (oStartOffset != nullptr) *oStartOffset = iTXNObject->m_ulngSelStart;
  if (oEndOffset != nullptr) *oEndOffset = iTXNObject->m_ulngSelEnd;
}

OSStatus TXNSetSelection(TXNObject iTXNObject, TXNOffset iStartOffset, TXNOffset iEndOffset) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!Alive(iTXNObject)) return kParamErr;
  size_t from, to;
  if (!Range(iTXNObject, iStartOffset, iEndOffset, &from, &to)) return kParamErr;
  iTXNObject->m_ulngSelStart = TXNOffset(from);
  iTXNObject->m_ulngSelEnd = TXNOffset(to);
  return noErr;
}

void TXNShowSelection(TXNObject iTXNObject, Boolean iShowEnd) { (void)iTXNObject, (void)iShowEnd; }
void TXNForceUpdate(TXNObject iTXNObject) { (void)iTXNObject; }

OSStatus TXNSetTXNObjectControls(TXNObject iTXNObject, Boolean iClearAll, ItemCount iControlCount,
                                 TXNControlTag const* iControlTags,
                                 TXNControlData const* iControlData) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!Alive(iTXNObject) || (iControlCount > 0 && (iControlTags == nullptr || iControlData == nullptr))) {
    return kParamErr;
  }
  if (iClearAll) {
    iTXNObject->m_udtMargins = TXNMargins{0, 0, 0, 0};
    iTXNObject->m_blnReadOnly = false;
  }
  for (ItemCount i = 0; i < iControlCount; ++i) {
    if (iControlTags[i] == kTXNMarginsTag) {
      if (iControlData[i].marginsPtr == nullptr) return kParamErr;
      iTXNObject->m_udtMargins = *iControlData[i].marginsPtr;
    } else if (iControlTags[i] == kTXNIOPrivilegesTag) {
      iTXNObject->m_blnReadOnly = iControlData[i].uValue != 0;
    } else {
      return kParamErr;
    }
  }
  return noErr;
}

OSStatus TXNGetTXNObjectControls(TXNObject iTXNObject, ItemCount iControlCount,
                                 TXNControlTag const* iControlTags, TXNControlData* oControlData) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!Alive(iTXNObject) || (iControlCount > 0 && (iControlTags == nullptr || oControlData == nullptr))) {
    return kParamErr;
  }
  for (ItemCount i = 0; i < iControlCount; ++i) {
    if (iControlTags[i] == kTXNMarginsTag) {
      if (oControlData[i].marginsPtr == nullptr) return kParamErr;
      *oControlData[i].marginsPtr = iTXNObject->m_udtMargins;
    } else if (iControlTags[i] == kTXNIOPrivilegesTag) {
      oControlData[i].uValue = iTXNObject->m_blnReadOnly ? 1 : 0;
    } else {
      return kParamErr;
    }
  }
  return noErr;
}
