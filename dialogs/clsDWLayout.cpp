// clsDWLayout: the dialog description's nodes, builders, item lists, search and copying (see
// dialogs/clsDWLayout.h). The layout passes are in dialogs/DWLayoutEngine.cpp.
// Copies are deep: every node gets its own item and contextual-menu lists. Builders check the
// parent's kind before anything is made, and throw the bare int -1 on a wrong one.
#include "dialogs/clsDWLayout.h"

#include <new>
#include <utility>

namespace {

UniStringList* CopyOfList(UniStringList const* source) {
  if (source == nullptr) return nullptr;
  return new (std::nothrow) UniStringList(*source);
}

// Creates the list when it is missing; false when it cannot be had.
bool EnsureList(UniStringList*& list) {
  if (list == nullptr) list = new (std::nothrow) UniStringList();
  return list != nullptr;
}

}  // namespace

// ---- construction, copying ----

clsDWLayoutObject::clsDWLayoutObject()
    : m_enmType(DWLO_None),
      m_lngID(-1),
      m_intValue(-1),
      m_intMinimum(0),
      m_intMaximum(100),
      m_intFeatures(0),
      m_pulstItems(nullptr),
      m_blnEnabled(true),
      m_blnVisible(true),
      m_intX(0),
      m_intY(0),
      m_intWidth(0),
      m_intHeight(0),
      m_intMinWidth(0),
      m_intMinHeight(0),
      m_intMaxWidth(0),
      m_intMaxHeight(0),
      m_blnExpandH(false),
      m_blnExpandV(false),
      m_blnShareDone(false),
      m_intFinalX(0),
      m_intFinalY(0),
      m_intFinalWidth(0),
      m_intFinalHeight(0),
      m_lngAssociateID(-1),
      m_pulstContextMenu(nullptr),
      m_blnCollapsed(false),
      m_intAdjWidth(0),
      m_intAdjHeight(0),
      m_hControl(nullptr) {}

clsDWLayoutObject::clsDWLayoutObject(clsDWLayoutObject const& other)
    : m_pulstItems(nullptr), m_pulstContextMenu(nullptr) {
  CopyFrom(other);
}

clsDWLayoutObject::clsDWLayoutObject(clsDWLayoutObject&& other) noexcept
    : clsDWLayoutObject() {
  *this = std::move(other);
}

clsDWLayoutObject& clsDWLayoutObject::operator=(clsDWLayoutObject const& other) {
  if (this == &other) return *this;
  // Through a complete copy first: the source may be a node inside this very tree.
  clsDWLayoutObject copy(other);
  *this = std::move(copy);
  return *this;
}

clsDWLayoutObject& clsDWLayoutObject::operator=(clsDWLayoutObject&& other) noexcept {
  if (this == &other) return *this;
  FreeLists();
  m_enmType = other.m_enmType;
  m_lngID = other.m_lngID;
  m_ustrLabel = std::move(other.m_ustrLabel);
  m_intValue = other.m_intValue;
  m_intMinimum = other.m_intMinimum;
  m_intMaximum = other.m_intMaximum;
  m_intFeatures = other.m_intFeatures;
  m_pulstItems = std::exchange(other.m_pulstItems, nullptr);
  m_blnEnabled = other.m_blnEnabled;
  m_blnVisible = other.m_blnVisible;
  m_intX = other.m_intX;
  m_intY = other.m_intY;
  m_intWidth = other.m_intWidth;
  m_intHeight = other.m_intHeight;
  m_intMinWidth = other.m_intMinWidth;
  m_intMinHeight = other.m_intMinHeight;
  m_intMaxWidth = other.m_intMaxWidth;
  m_intMaxHeight = other.m_intMaxHeight;
  m_blnExpandH = other.m_blnExpandH;
  m_blnExpandV = other.m_blnExpandV;
  m_blnShareDone = other.m_blnShareDone;
  m_intFinalX = other.m_intFinalX;
  m_intFinalY = other.m_intFinalY;
  m_intFinalWidth = other.m_intFinalWidth;
  m_intFinalHeight = other.m_intFinalHeight;
  m_lngAssociateID = other.m_lngAssociateID;
  m_pulstContextMenu = std::exchange(other.m_pulstContextMenu, nullptr);
  m_ustrHint = std::move(other.m_ustrHint);
  m_blnCollapsed = other.m_blnCollapsed;
  m_intAdjWidth = other.m_intAdjWidth;
  m_intAdjHeight = other.m_intAdjHeight;
  m_hControl = other.m_hControl;
  // The children may hold the source; take them over before the old ones go.
  std::vector<clsDWLayoutObject> children = std::move(other.m_vecChildren);
  m_vecChildren.swap(children);
  return *this;
}

clsDWLayoutObject::~clsDWLayoutObject() { FreeLists(); }

void clsDWLayoutObject::CopyFrom(clsDWLayoutObject const& other) {
  m_enmType = other.m_enmType;
  m_lngID = other.m_lngID;
  m_ustrLabel = other.m_ustrLabel;
  m_intValue = other.m_intValue;
  m_intMinimum = other.m_intMinimum;
  m_intMaximum = other.m_intMaximum;
  m_intFeatures = other.m_intFeatures;
  m_pulstItems = CopyOfList(other.m_pulstItems);
  m_blnEnabled = other.m_blnEnabled;
  m_blnVisible = other.m_blnVisible;
  m_intX = other.m_intX;
  m_intY = other.m_intY;
  m_intWidth = other.m_intWidth;
  m_intHeight = other.m_intHeight;
  m_intMinWidth = other.m_intMinWidth;
  m_intMinHeight = other.m_intMinHeight;
  m_intMaxWidth = other.m_intMaxWidth;
  m_intMaxHeight = other.m_intMaxHeight;
  m_blnExpandH = other.m_blnExpandH;
  m_blnExpandV = other.m_blnExpandV;
  m_blnShareDone = other.m_blnShareDone;
  m_intFinalX = other.m_intFinalX;
  m_intFinalY = other.m_intFinalY;
  m_intFinalWidth = other.m_intFinalWidth;
  m_intFinalHeight = other.m_intFinalHeight;
  m_lngAssociateID = other.m_lngAssociateID;
  m_pulstContextMenu = CopyOfList(other.m_pulstContextMenu);
  m_ustrHint = other.m_ustrHint;
  m_blnCollapsed = other.m_blnCollapsed;
  m_intAdjWidth = other.m_intAdjWidth;
  m_intAdjHeight = other.m_intAdjHeight;
  m_hControl = other.m_hControl;
  m_vecChildren = other.m_vecChildren;
}

void clsDWLayoutObject::FreeLists() {
  delete m_pulstItems;
  m_pulstItems = nullptr;
  delete m_pulstContextMenu;
  m_pulstContextMenu = nullptr;
}

// ---- builders ----

clsDWLayoutObject::iterator clsDWLayoutObject::NewChild(enumDWLOType kind, int32_t id) {
  if (!IsBox()) throw -1;
  clsDWLayoutObject child;
  child.m_enmType = kind;
  child.m_lngID = id;
  m_vecChildren.push_back(std::move(child));
  return m_vecChildren.end() - 1;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddHBox(int32_t id, UniString title, int minWidth,
                                                       bool group) {
  iterator it = NewChild(DWLO_HBox, id);
  it->m_ustrLabel = title;
  it->m_intMinWidth = minWidth;
  if (group) it->m_intFeatures = 1;
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddVBox(int32_t id, UniString title, int minHeight,
                                                       bool group) {
  iterator it = NewChild(DWLO_VBox, id);
  it->m_ustrLabel = title;
  it->m_intMinHeight = minHeight;
  if (group) it->m_intFeatures = 1;
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddFill(int32_t id) {
  bool const vertical = m_enmType == DWLO_VBox;
  iterator it = NewChild(DWLO_Fill, id);
  it->m_intFeatures = vertical ? 1 : 0;
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddSpace(int32_t id, int minW, int minH, int maxW,
                                                        int maxH) {
  iterator it = NewChild(DWLO_Space, id);
  it->m_intMinWidth = minW;
  it->m_intMinHeight = minH;
  it->m_intMaxWidth = maxW;
  it->m_intMaxHeight = maxH;
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddTabControl(int32_t id, int minW, int minH) {
  iterator it = NewChild(DWLO_TabControl, id);
  it->m_intMinWidth = minW;
  it->m_intMinHeight = minH;
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddTab(int32_t id, UniString title, bool vertical,
                                                      int minW, int minH) {
  if (m_enmType != DWLO_TabControl) throw -1;
  clsDWLayoutObject page;
  page.m_enmType = vertical ? DWLO_VBox : DWLO_HBox;
  page.m_lngID = id;
  page.m_intFeatures = 2;
  page.m_ustrLabel = title;
  page.m_intMinWidth = minW;
  page.m_intMinHeight = minH;
  m_vecChildren.push_back(std::move(page));
  return m_vecChildren.end() - 1;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddButton(int32_t id, UniString text, int minW,
                                                         int minH, bool isDefault, bool isCancel,
                                                         bool closes) {
  iterator it = NewChild(DWLO_Button, id);
  it->m_ustrLabel = text;
  it->m_intMinWidth = minW;
  it->m_intMinHeight = minH;
  it->m_intFeatures = (isDefault ? 1 : 0) | (isCancel ? 2 : 0) | (closes ? 4 : 0);
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddSmallButton(int32_t id, UniString text, int minW,
                                                              int minH) {
  iterator it = NewChild(DWLO_SmallButton, id);
  it->m_ustrLabel = text;
  it->m_intMinWidth = minW;
  it->m_intMinHeight = minH;
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddLabel(int32_t id, UniString text, int minW,
                                                        int minH, int maxW, int maxH) {
  iterator it = NewChild(DWLO_Label, id);
  it->m_ustrLabel = text;
  it->m_intMinWidth = minW;
  it->m_intMinHeight = minH;
  it->m_intMaxWidth = maxW;
  it->m_intMaxHeight = maxH;
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddEdit(int32_t id, UniString text, int minW,
                                                       int minH, bool password, bool readOnly,
                                                       bool multiLine, bool flag8) {
  iterator it = NewChild(DWLO_Edit, id);
  it->m_ustrLabel = text;
  it->m_intMinWidth = minW;
  it->m_intMinHeight = minH;
  it->m_intFeatures =
      (password ? 2 : 0) | (readOnly ? 4 : 0) | (multiLine ? 1 : 0) | (flag8 ? 8 : 0);
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddCheckBox(int32_t id, UniString text, int minW,
                                                           int minH, bool checked) {
  iterator it = NewChild(DWLO_CheckBox, id);
  it->m_ustrLabel = text;
  it->m_intMinWidth = minW;
  it->m_intMinHeight = minH;
  if (checked) it->m_intValue = 1;  // unchecked stays -1: any value below 1 reads as unchecked
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddComboBox(int32_t id, UniString text, int minW,
                                                           bool editable, bool sorted) {
  iterator it = NewChild(DWLO_ComboBox, id);
  it->m_ustrLabel = text;
  it->m_intMinWidth = minW;
  it->m_intFeatures = (editable ? 1 : 0) | (sorted ? 2 : 0);
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddProgressBar(int32_t id, int minW) {
  iterator it = NewChild(DWLO_ProgressBar, id);
  it->m_intMinWidth = minW;
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddSeparator(int32_t id, int length) {
  bool const inRow = m_enmType == DWLO_HBox;
  iterator it = NewChild(DWLO_Separator, id);
  if (inRow) {
    it->m_intFeatures = 1;  // a vertical line between the row's items
    it->m_intMinHeight = length;
  } else {
    it->m_intMinWidth = length;
  }
  return it;
}

clsDWLayoutObject::iterator clsDWLayoutObject::AddPicture(int32_t id, int picture, int minW,
                                                          int minH, int maxW, int maxH) {
  iterator it = NewChild(DWLO_Picture, id);
  it->m_intValue = picture;
  it->m_intMinWidth = minW;
  it->m_intMinHeight = minH;
  it->m_intMaxWidth = maxW;
  it->m_intMaxHeight = maxH;
  return it;
}

void clsDWLayoutObject::MakeMeAVBox(int32_t id, UniString title, int minHeight, bool group) {
  if (m_enmType != DWLO_None) throw -1;
  m_intX = m_intY = m_intWidth = m_intHeight = 0;
  m_enmType = DWLO_VBox;
  m_lngID = id;
  m_ustrLabel = title;
  m_intMinHeight = minHeight;
  if (group) m_intFeatures |= 1;
}

// ---- values and item lines ----

void clsDWLayoutObject::SetValue(int32_t value) {
  switch (m_enmType) {
    case DWLO_RadioController:
    case DWLO_RadioGroup:
    case DWLO_ComboBox:
    case DWLO_ListBox:
      if (value < 1) {
        m_intValue = 0;
      } else if (m_pulstItems != nullptr && value >= int32_t(m_pulstItems->Count())) {
        m_intValue = int32_t(m_pulstItems->Count()) - 1;  // -1 for an empty list
      } else {
        m_intValue = value;
      }
      return;
    case DWLO_CheckBox:
      m_intValue = value > 0 ? 1 : 0;
      return;
    case DWLO_ProgressBar:
      m_intValue = value < 1 ? 0 : (value > 100 ? 100 : value);
      return;
    default:
      m_intValue = value;
      return;
  }
}

void clsDWLayoutObject::AddItem(UniString item) {
  if (!EnsureList(m_pulstItems)) return;
  m_pulstItems->Add(item);
}

void clsDWLayoutObject::SetText(UniString text) {
  if (!EnsureList(m_pulstItems)) return;
  m_pulstItems->Clear();
  m_pulstItems->Add(text);
}

void clsDWLayoutObject::AssignText(UniStringList* lines) {
  if (!EnsureList(m_pulstItems)) return;
  m_pulstItems->Assign(lines);
}

void clsDWLayoutObject::GetText(UniStringList* out) const {
  if (out == nullptr) return;
  out->Clear();
  if (m_pulstItems != nullptr) out->Assign(m_pulstItems);
}

UniString clsDWLayoutObject::GetItem(unsigned int index) const {
  if (m_pulstItems == nullptr || index >= m_pulstItems->Count()) return UniString();
  return m_pulstItems->At(index);
}

void clsDWLayoutObject::SetContextualMenu(UniStringList* lines) {
  if (!EnsureList(m_pulstContextMenu)) return;
  m_pulstContextMenu->Assign(lines);
}

bool clsDWLayoutObject::HasContextualMenu() const {
  return m_pulstContextMenu != nullptr && m_pulstContextMenu->IsNotEmpty();
}

void clsDWLayoutObject::SetCollapsed(bool collapsed) {
  m_blnCollapsed = collapsed;
  m_blnVisible = !collapsed;
}

clsDWLayoutObject::iterator clsDWLayoutObject::FindControlWithID(int32_t id, bool& found) {
  for (iterator it = m_vecChildren.begin(); it != m_vecChildren.end(); ++it) {
    if (it->m_lngID == id) {
      found = true;
      return it;
    }
    if (it->HasChildren()) {
      iterator inner = it->FindControlWithID(id, found);
      if (found) return inner;
    }
  }
  found = false;
  return m_vecChildren.end();
}

// ---- the layout ----

clsDWLayout::clsDWLayout()
    : m_intWindowWidth(0),
      m_intWindowHeight(0),
      m_blnResizableH(false),
      m_blnResizableV(false),
      m_blnLiveResize(false) {}

void clsDWLayout::SetLayout(clsDWLayoutObject const& root) { clsDWLayoutObject::operator=(root); }

void clsDWLayout::SetResizable(bool horizontally, bool vertically) {
  m_blnResizableH = horizontally;
  m_blnResizableV = vertically;
}
