// DataBrowser: list views of the window server (see Controls.h). The rows are item ids in the
// order shown; their texts come from the item-data callback, asked when something needs them.
// Sorting goes through the compare callback with an insertion sort that never leaves the list,
// whatever the callback answers.
#include <algorithm>

#include "platform/carbon/WindowServerInternal.h"

namespace {

constexpr OSStatus kParamErr = -50;
constexpr OSStatus kMemFullErr = -108;

// The browser under the lock, or null.
stcDataBrowser* BrowserOf(ControlRef browser) {
  if (!ViewAlive(browser) || browser->m_enmKind != kViewDataBrowser) return nullptr;
  return browser->m_pBrowser;
}

}  // namespace

std::u16string BrowserRowText(ControlRef browser, DataBrowserItemID item) {
  DataBrowserItemDataUPP callback = nullptr;
  DataBrowserPropertyID property = 0;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    stcDataBrowser* state = BrowserOf(browser);
    if (state == nullptr) return std::u16string();
    callback = state->m_udtCallbacks.u.v1.itemDataCallback;
    if (!state->m_vecColumns.empty()) property = state->m_vecColumns.front().propertyID;
  }
  if (callback == nullptr) return std::u16string();
  OpaqueDataBrowserItemDataRef data;
  callback(browser, item, property, &data, FALSE);
  std::u16string text = UnitsOf(data.m_strText);
  if (data.m_strText != nullptr) CFRelease(data.m_strText);
  return text;
}

void NotifyBrowser(ControlRef browser, DataBrowserItemID item, DataBrowserItemNotification message) {
  DataBrowserItemNotificationUPP callback = nullptr;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    stcDataBrowser* state = BrowserOf(browser);
    if (state == nullptr) return;
    callback = state->m_udtCallbacks.u.v1.itemNotificationCallback;
  }
  if (callback != nullptr) callback(browser, item, message);
}

void SortBrowser(ControlRef browser) {
  DataBrowserItemCompareUPP compare = nullptr;
  DataBrowserPropertyID property = 0;
  std::vector<DataBrowserItemID> rows;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    stcDataBrowser* state = BrowserOf(browser);
    if (state == nullptr) return;
    compare = state->m_udtCallbacks.u.v1.itemCompareCallback;
    property = state->m_ulngSortProperty;
    if (compare == nullptr || property == 0) return;
    rows = state->m_vecItems;
  }
  // A row moves before an earlier one only while the callback says it sorts first and not the
  // other way round, so an answer of true both ways leaves the order as it was.
  for (size_t i = 1; i < rows.size(); ++i) {
    size_t j = i;
    while (j > 0 && compare(browser, rows[j], rows[j - 1], property) &&
           !compare(browser, rows[j - 1], rows[j], property)) {
      std::swap(rows[j], rows[j - 1]);
      --j;
    }
  }
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (stcDataBrowser* state = BrowserOf(browser)) state->m_vecItems.swap(rows);
}

OSStatus CreateDataBrowserControl(WindowRef window, Rect const* boundsRect,
                                  DataBrowserViewStyle style, ControlRef* outControl) {
  if (style != kDataBrowserListView) return kParamErr;
  return NewControlInWindow(window, boundsRect, kViewDataBrowser, outControl);
}

OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks* callbacks) {
  if (callbacks == nullptr) return kParamErr;
  *callbacks = DataBrowserCallbacks{};
  callbacks->version = kDataBrowserLatestCallbacks;
  return noErr;
}

OSStatus SetDataBrowserCallbacks(ControlRef browser, DataBrowserCallbacks const* callbacks) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr || callbacks == nullptr) return kParamErr;
  state->m_udtCallbacks = *callbacks;
  return noErr;
}

OSStatus AddDataBrowserListViewColumn(ControlRef browser, DataBrowserListViewColumnDesc* columnDesc,
                                      DataBrowserTableViewColumnIndex position) {
  (void)position;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr || columnDesc == nullptr) return kParamErr;
  try {
    state->m_vecColumns.push_back(columnDesc->propertyDesc);
  } catch (...) {
    return kMemFullErr;
  }
  return noErr;
}

OSStatus SetDataBrowserListViewHeaderBtnHeight(ControlRef browser, UInt16 height) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr) return kParamErr;
  state->m_uintHeaderHeight = height;
  return noErr;
}

OSStatus SetDataBrowserSelectionFlags(ControlRef browser, DataBrowserSelectionFlags flags) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr) return kParamErr;
  state->m_ulngSelectionFlags = flags;
  return noErr;
}

OSStatus SetDataBrowserHasScrollBars(ControlRef browser, Boolean horiz, Boolean vert) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr) return kParamErr;
  state->m_blnHScroll = horiz != 0;
  state->m_blnVScroll = vert != 0;
  return noErr;
}

OSStatus SetDataBrowserTableViewHiliteStyle(ControlRef browser,
                                            DataBrowserTableViewHiliteStyle hiliteStyle) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr) return kParamErr;
  state->m_ulngHilite = hiliteStyle;
  return noErr;
}

OSStatus AutoSizeDataBrowserListViewColumns(ControlRef browser) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr) return kParamErr;
  ++state->m_intAutoSizes;
  return noErr;
}

OSStatus SetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID property) {
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    stcDataBrowser* state = BrowserOf(browser);
    if (state == nullptr) return kParamErr;
    state->m_ulngSortProperty = property;
  }
  SortBrowser(browser);
  return noErr;
}

OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, ItemCount numItems,
                             DataBrowserItemID const* items, DataBrowserPropertyID preSortProperty) {
  (void)container, (void)preSortProperty;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    stcDataBrowser* state = BrowserOf(browser);
    if (state == nullptr) return kParamErr;
    try {
      for (ItemCount i = 0; i < numItems; ++i) {
        DataBrowserItemID const id = items != nullptr ? items[i] : DataBrowserItemID(i + 1);
        if (id == kDataBrowserNoItem) continue;
        if (std::find(state->m_vecItems.begin(), state->m_vecItems.end(), id) == state->m_vecItems.end()) {
          state->m_vecItems.push_back(id);
        }
      }
    } catch (...) {
      return kMemFullErr;
    }
  }
  SortBrowser(browser);
  return noErr;
}

OSStatus GetDataBrowserSelectionAnchor(ControlRef browser, DataBrowserItemID* first,
                                       DataBrowserItemID* last) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr) return kParamErr;
  DataBrowserItemID a = kDataBrowserNoItem, b = kDataBrowserNoItem;
  for (DataBrowserItemID id : state->m_vecItems) {
    if (state->m_setSelected.count(id) == 0) continue;
    if (a == kDataBrowserNoItem) a = id;
    b = id;
  }
  if (first != nullptr) *first = a;
  if (last != nullptr) *last = b;
  return noErr;
}

OSStatus GetDataBrowserItemCount(ControlRef browser, DataBrowserItemID container, Boolean recurse,
                                 DataBrowserItemState stateWanted, ItemCount* numItems) {
  (void)container, (void)recurse;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr || numItems == nullptr) return kParamErr;
  *numItems = stateWanted == kDataBrowserItemIsSelected ? ItemCount(state->m_setSelected.size())
                                                       : ItemCount(state->m_vecItems.size());
  return noErr;
}

OSStatus SetDataBrowserSelectedItems(ControlRef browser, ItemCount numItems,
                                     DataBrowserItemID const* items,
                                     DataBrowserSetOption operation) {
  bool changed = false;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    stcDataBrowser* state = BrowserOf(browser);
    if (state == nullptr || (numItems > 0 && items == nullptr)) return kParamErr;
    std::set<DataBrowserItemID> selected =
        operation == kDataBrowserItemsAssign ? std::set<DataBrowserItemID>() : state->m_setSelected;
    for (ItemCount i = 0; i < numItems; ++i) {
      DataBrowserItemID const id = items[i];
      if (std::find(state->m_vecItems.begin(), state->m_vecItems.end(), id) == state->m_vecItems.end()) {
        continue;
      }
      if (operation == kDataBrowserItemsRemove) {
        selected.erase(id);
      } else if (operation == kDataBrowserItemsToggle && selected.count(id) != 0) {
        selected.erase(id);
      } else {
        selected.insert(id);
      }
    }
    // Only one row at a time: the last one named wins.
    if ((state->m_ulngSelectionFlags & kDataBrowserSelectOnlyOne) != 0 && selected.size() > 1) {
      DataBrowserItemID keep = numItems > 0 ? items[numItems - 1] : *selected.begin();
      if (selected.count(keep) == 0) keep = *selected.begin();
      selected = {keep};
    }
    changed = selected != state->m_setSelected;
    state->m_setSelected.swap(selected);
  }
  if (changed) NotifyBrowser(browser, kDataBrowserNoItem, kDataBrowserSelectionSetChanged);
  return noErr;
}

Boolean IsDataBrowserItemSelected(ControlRef browser, DataBrowserItemID item) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  return state != nullptr && state->m_setSelected.count(item) != 0 ? TRUE : FALSE;
}

OSStatus RevealDataBrowserItem(ControlRef browser, DataBrowserItemID item,
                               DataBrowserPropertyID property, DataBrowserRevealOptions options) {
  (void)property, (void)options;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDataBrowser* state = BrowserOf(browser);
  if (state == nullptr) return kParamErr;
  if (std::find(state->m_vecItems.begin(), state->m_vecItems.end(), item) == state->m_vecItems.end()) {
    return errDataBrowserItemNotFound;
  }
  state->m_ulngRevealed = item;
  return noErr;
}

OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, CFStringRef theData) {
  if (itemData == nullptr || theData == nullptr) return kParamErr;
  CFRetain(theData);
  if (itemData->m_strText != nullptr) CFRelease(itemData->m_strText);
  itemData->m_strText = theData;
  return noErr;
}
