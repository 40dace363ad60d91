// clsDWLayout: a dialog described as data before any window exists.
// Interface: enumDWLOType (the kinds of node), clsDWLayoutObject (one node: a box that stacks its
// children, or a control with an id, label, value, items and feature bits; builders append
// children), clsDWLayout (the root node plus window title and sizing flags, and the layout passes
// of dialogs/DWLayoutEngine.cpp), clsDWEvents (the handler interface a window reports to).
// Relies on UniString and UniStringList only; the window half caches its control handle here.
// Failures: a builder on a node of the wrong kind throws the bare int -1 before changing
// anything; a list that cannot be allocated stays absent and the operation needing it does
// nothing. Nodes are held by value: a parent's storage may move when a child is added to it or
// to any node above it, so an iterator from a builder is to be used at once.
#pragma once

#include <cstdint>
#include <vector>

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "platform/carbon/Controls.h"

class clsDynamicWindow;

enum enumDWLOType : int32_t {
  DWLO_RadioController = -6,  // invisible controller of radio buttons: items hold their ids
  DWLO_TabControl = -5,       // children are the tab pages
  DWLO_Space = -4,            // empty space sized by its limits
  DWLO_Fill = -3,             // stretchable filler
  DWLO_VBox = -2,             // stacks its children top to bottom
  DWLO_HBox = -1,             // stacks its children left to right
  DWLO_None = 0,              // a fresh node
  DWLO_Button = 1,
  DWLO_SmallButton = 2,
  DWLO_Label = 3,
  DWLO_Edit = 4,
  DWLO_CheckBox = 5,
  DWLO_RadioGroup = 6,  // one control; its items are the button titles
  DWLO_ComboBox = 7,
  DWLO_ListBox = 8,
  DWLO_ProgressBar = 9,
  DWLO_Separator = 10,
  DWLO_Picture = 11,
  DWLO_Slider = 12,
  DWLO_WebView = 13,
  DWLO_RadioButton = 14  // its associate id names its radio controller
};

class clsDWLayoutObject {
 public:
  using iterator = std::vector<clsDWLayoutObject>::iterator;

  clsDWLayoutObject();
  clsDWLayoutObject(clsDWLayoutObject const& other);
  clsDWLayoutObject(clsDWLayoutObject&& other) noexcept;
  clsDWLayoutObject& operator=(clsDWLayoutObject const& other);
  clsDWLayoutObject& operator=(clsDWLayoutObject&& other) noexcept;
  ~clsDWLayoutObject();

  // ---- builders: append a fresh child and designate it (the parent's last child) ----
  iterator AddHBox(int32_t id, UniString title, int minWidth, bool group);
  iterator AddVBox(int32_t id, UniString title, int minHeight, bool group);
  iterator AddFill(int32_t id);
  iterator AddSpace(int32_t id, int minW, int minH, int maxW, int maxH);
  iterator AddTabControl(int32_t id, int minW, int minH);
  iterator AddTab(int32_t id, UniString title, bool vertical, int minW, int minH);
  iterator AddButton(int32_t id, UniString text, int minW, int minH, bool isDefault, bool isCancel,
                     bool closes);
  iterator AddSmallButton(int32_t id, UniString text, int minW, int minH);
  iterator AddLabel(int32_t id, UniString text, int minW, int minH, int maxW, int maxH);
  iterator AddEdit(int32_t id, UniString text, int minW, int minH, bool password, bool readOnly,
                   bool multiLine, bool flag8);
  iterator AddCheckBox(int32_t id, UniString text, int minW, int minH, bool checked);
  iterator AddComboBox(int32_t id, UniString text, int minW, bool editable, bool sorted);
  iterator AddProgressBar(int32_t id, int minW);
  iterator AddSeparator(int32_t id, int length);
  iterator AddPicture(int32_t id, int picture, int minW, int minH, int maxW, int maxH);

  // Turns a fresh node into the root VBox.
  void MakeMeAVBox(int32_t id, UniString title, int minHeight, bool group);

  // ---- accessors ----
  enumDWLOType GetType() const { return m_enmType; }
  int32_t GetID() const { return m_lngID; }
  int32_t GetAssociateID() const { return m_lngAssociateID; }
  int32_t GetValue() const { return m_intValue; }
  UniString GetLabel() const { return m_ustrLabel; }
  void SetLabel(UniString label) { m_ustrLabel = label; }
  void SetEnabled(bool enabled) { m_blnEnabled = enabled; }
  void SetHint(UniString hint) { m_ustrHint = hint; }
  void SetFeatures(int32_t features) { m_intFeatures = features; }
  void AddFeature(int32_t bits) { m_intFeatures |= bits; }
  bool HasFeature(int32_t bit) const { return (m_intFeatures & bit) > 0; }
  // Stores the value clamped as the kind needs (a selection into the items, a check state, a
  // percentage).
  void SetValue(int32_t value);

  // ---- item lines ----
  void AddItem(UniString item);
  void SetText(UniString text);
  void AssignText(UniStringList* lines);
  void GetText(UniStringList* out) const;
  UniString GetItem(unsigned int index) const;
  void SetContextualMenu(UniStringList* lines);
  bool HasContextualMenu() const;

  void SetCollapsed(bool collapsed);
  bool IsCollapsed() const { return m_blnCollapsed; }

  // Nodes are the same node when their ids are.
  bool operator==(clsDWLayoutObject const& other) const { return m_lngID == other.m_lngID; }

  // Searches the descendants (never this node) in pre-order; found tells whether the iterator
  // designates a node.
  iterator FindControlWithID(int32_t id, bool& found);

  // Natural size and expand flags of this node alone (dialogs/DWLayoutEngine.cpp).
  void MeasureSelf();

  bool IsBox() const { return m_enmType == DWLO_HBox || m_enmType == DWLO_VBox; }
  bool HasChildren() const { return !m_vecChildren.empty(); }

  enumDWLOType m_enmType;
  int32_t m_lngID;
  UniString m_ustrLabel;
  int32_t m_intValue;
  int32_t m_intMinimum;
  int32_t m_intMaximum;
  int32_t m_intFeatures;
  UniStringList* m_pulstItems;  // owned; created on first use
  bool m_blnEnabled;
  bool m_blnVisible;
  int32_t m_intX, m_intY;
  int32_t m_intWidth, m_intHeight;
  int32_t m_intMinWidth, m_intMinHeight;
  int32_t m_intMaxWidth, m_intMaxHeight;  // the maximum width is also the wrap width of text
  bool m_blnExpandH, m_blnExpandV;
  bool m_blnShareDone;  // layout mark: keeps its own size in the current hand-out
  int32_t m_intFinalX, m_intFinalY, m_intFinalWidth, m_intFinalHeight;  // 0: the laid-out value
  int32_t m_lngAssociateID;
  UniStringList* m_pulstContextMenu;  // owned
  UniString m_ustrHint;
  bool m_blnCollapsed;
  int32_t m_intAdjWidth, m_intAdjHeight;  // 0: same as the laid-out size
  ControlRef m_hControl;  // the live control, cached by the window; not owned
  std::vector<clsDWLayoutObject> m_vecChildren;

 private:
  // Appends a fresh child of the kind after checking this node may take one.
  iterator NewChild(enumDWLOType kind, int32_t id);
  void CopyFrom(clsDWLayoutObject const& other);
  // A picture's pixel size, read from its PNG resource; 0 x 0 (and one log line) on failure.
  void MeasurePicture();
  void FreeLists();
};

class clsDWLayout : public clsDWLayoutObject {
 public:
  clsDWLayout();
  clsDWLayout(clsDWLayout const& other) = default;
  clsDWLayout& operator=(clsDWLayout const& other) = default;
  ~clsDWLayout() = default;

  // The tree becomes the root (the layout is its own root node).
  void SetLayout(clsDWLayoutObject const& root);
  void SetTitle(UniString title) { m_ustrTitle = title; }
  void SetResizable(bool horizontally, bool vertically);
  void SetLiveResize(bool live) { m_blnLiveResize = live; }
  bool IsResizable() const { return m_blnResizableH || m_blnResizableV; }

  // ---- the layout engine (dialogs/DWLayoutEngine.cpp); the layout passes itself as the root ----
  void MeasureAllControls(clsDWLayoutObject& node);
  void CalculateLayout(clsDWLayoutObject& node, bool doSize, bool doPlace);
  void ExpandControls(clsDWLayoutObject& node, int width, int height, bool moveFollowers);
  void MoveLayoutObject(clsDWLayoutObject& node, int dx, int dy);
  int GetSpacingBetweenLayoutObjects(clsDWLayoutObject& a, clsDWLayoutObject& b, bool vertical);
  void CalculateAdjustedBounds(clsDWLayoutObject& node);
  void ResizeControls(clsDWLayoutObject& node, clsDynamicWindow* window);
  // Measures, stacks and expands the whole tree; sets the window content size.
  void LayoutWindow();
  // The window content became width x height: new final bounds for everything.
  void ResizeLayout(int width, int height, clsDynamicWindow* window);
  void ExpandBox(int32_t id, clsDynamicWindow* window);
  void CollapseBox(int32_t id, clsDynamicWindow* window);

  UniString m_ustrTitle;
  int32_t m_intWindowWidth, m_intWindowHeight;  // content size computed by LayoutWindow
  bool m_blnResizableH, m_blnResizableV;
  bool m_blnLiveResize;

 private:
  // Shared by ExpandBox and CollapseBox.
  void SetBoxCollapsed(int32_t id, bool collapsed, clsDynamicWindow* window);
};

// The handler interface: every slot does nothing unless a dialog's handler overrides it.
class clsDWEvents {
 public:
  virtual void WindowShow() {}
  virtual void WindowCloseBoxClick(bool* close) { (void)close; }
  virtual void ContextualMenuClick(int32_t id, UniString text, UniString tag) {
    (void)id, (void)text, (void)tag;
  }
  virtual void RadioControllerChange(int32_t id) { (void)id; }
  virtual void ButtonClick(int32_t id, bool* close) { (void)id, (void)close; }
  virtual void HyperlinkClick(int32_t id, UniString* url) { (void)id, (void)url; }
  virtual void EditChange(int32_t id) { (void)id; }
  // modifiers: shift 1, option 2, control 4, command 8.
  virtual void EditKeyPress(int32_t id, unsigned short key, int modifiers, bool* pass) {
    (void)id, (void)key, (void)modifiers, (void)pass;
  }
  virtual void CheckBoxChange(int32_t id) { (void)id; }
  virtual void RadioGroupChange(int32_t id) { (void)id; }
  virtual void ComboBoxChange(int32_t id) { (void)id; }
  // row: the first selected row (0-based, -1 for none); multiple: more than one is selected.
  virtual void ListBoxChange(int32_t id, int row, bool multiple) {
    (void)id, (void)row, (void)multiple;
  }
  virtual void ListBoxDoubleClick(int32_t id, int row, bool multiple) {
    (void)id, (void)row, (void)multiple;
  }
  virtual ~clsDWEvents() = default;
};
