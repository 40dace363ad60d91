// DWLayoutEngine: measuring, stacking, expanding and re-placing a dialog description (see
// dialogs/DWLayoutEngine.h and dialogs/clsDWLayout.h).
// A layout runs once: every node is measured after its children, each box stacks its children
// along its axis with the fixed gaps, spare room goes to the children that may stretch, and the
// root is moved inside the window margins. Later resizes and collapsed boxes only set the final
// bounds and adjusted sizes; a final field of 0 means the laid-out value stands.
// Children of titled group boxes and the pages of tab controls are placed relative to their
// container; everything else relative to the window content.
// Relies on GetThemeTextDimensions, the CoreFoundation string bridge, the bundle and CoreGraphics
// stand-ins for pictures, and the window's PositionControl and SetWindowSize, which are called
// only when a window is given.
#include "dialogs/DWLayoutEngine.h"

#include <algorithm>

#include "core/DebugLog.h"
#include "core/MacOSGlue.h"
#include "dialogs/clsDynamicWindow.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Appearance.h"
#include "platform/cf/CFBundle.h"
#include "platform/cg/CGImage.h"

namespace {

struct stcInsets {
  int m_intLeft = 0;
  int m_intTop = 0;
  int m_intRight = 0;
  int m_intBottom = 0;
};

// The insets of a box (titled group boxes only) or a tab control.
stcInsets InsetsOf(clsDWLayoutObject const& node) {
  stcInsets insets;
  if (node.m_enmType == DWLO_TabControl) {
    GetControlSpacing(CST_TabTopLeft, insets.m_intLeft, insets.m_intTop);
    GetControlSpacing(CST_TabBottomRight, insets.m_intRight, insets.m_intBottom);
  } else if (node.IsBox() && node.HasFeature(1)) {
    GetControlSpacing(CST_GroupTopLeft, insets.m_intLeft, insets.m_intTop);
    GetControlSpacing(CST_GroupBottomRight, insets.m_intRight, insets.m_intBottom);
  }
  return insets;
}

// One axis of a node seen through a box's direction: "main" runs along the box, "cross" across
// it. The layout rules are written once for an HBox and read the other way for a VBox.
struct stcAxis {
  bool m_blnVertical;
  int32_t& Pos(clsDWLayoutObject& n) const { return m_blnVertical ? n.m_intY : n.m_intX; }
  int32_t& CrossPos(clsDWLayoutObject& n) const { return m_blnVertical ? n.m_intX : n.m_intY; }
  int32_t& Size(clsDWLayoutObject& n) const { return m_blnVertical ? n.m_intHeight : n.m_intWidth; }
  int32_t& CrossSize(clsDWLayoutObject& n) const {
    return m_blnVertical ? n.m_intWidth : n.m_intHeight;
  }
  bool& Expands(clsDWLayoutObject& n) const { return m_blnVertical ? n.m_blnExpandV : n.m_blnExpandH; }
  bool& CrossExpands(clsDWLayoutObject& n) const {
    return m_blnVertical ? n.m_blnExpandH : n.m_blnExpandV;
  }
  int32_t& FinalPos(clsDWLayoutObject& n) const { return m_blnVertical ? n.m_intFinalY : n.m_intFinalX; }
  int32_t& FinalCrossPos(clsDWLayoutObject& n) const {
    return m_blnVertical ? n.m_intFinalX : n.m_intFinalY;
  }
  int32_t& FinalSize(clsDWLayoutObject& n) const {
    return m_blnVertical ? n.m_intFinalHeight : n.m_intFinalWidth;
  }
  int32_t& FinalCrossSize(clsDWLayoutObject& n) const {
    return m_blnVertical ? n.m_intFinalWidth : n.m_intFinalHeight;
  }
  int32_t& AdjSize(clsDWLayoutObject& n) const { return m_blnVertical ? n.m_intAdjHeight : n.m_intAdjWidth; }
  int LeadInset(stcInsets const& i) const { return m_blnVertical ? i.m_intTop : i.m_intLeft; }
  int CrossLeadInset(stcInsets const& i) const { return m_blnVertical ? i.m_intLeft : i.m_intTop; }
  int CrossInsets(stcInsets const& i) const {
    return m_blnVertical ? i.m_intLeft + i.m_intRight : i.m_intTop + i.m_intBottom;
  }
};

stcAxis AxisOf(clsDWLayoutObject const& box) { return stcAxis{box.m_enmType == DWLO_VBox}; }

bool IsUntitledBox(clsDWLayoutObject const& node) { return node.IsBox() && !node.HasFeature(1); }

// The marking walk of a hand-out: an expanding child already at least as large as the fair share
// keeps its size, and its size leaves the pool before the others share it. Walks again from the
// first child after each mark.
template <typename Eligible>
void MarkChildrenKeepingSize(std::vector<clsDWLayoutObject>& children, stcAxis const& axis,
                             Eligible eligible, int& spare, int& count) {
  if (count <= 0 || spare <= 0) return;
  int share = spare / count;
  size_t i = 0;
  while (i < children.size()) {
    clsDWLayoutObject& child = children[i];
    if (eligible(child) && axis.Expands(child) && !child.m_blnShareDone &&
        axis.Size(child) >= share) {
      child.m_blnShareDone = true;
      spare -= axis.Size(child);
      count -= 1;
      if (spare <= 0 || count <= 0) return;
      share = spare / count;
      i = 0;
      continue;
    }
    ++i;
  }
}

}  // namespace

// ---- tables ----

void GetControlTypeMetrics(enumDWLOType kind, stcDWControlMetrics& m) {
  auto set = [&m](bool fromText, int minH, int gap, int minW, int extra, bool expH, bool expV) {
    m.m_blnSizeFromText = fromText;
    m.m_intMinHeight = minH;
    m.m_intItemGap = gap;
    m.m_intMinWidth = minW;
    m.m_intExtraWidth = extra;
    m.m_blnExpandH = expH;
    m.m_blnExpandV = expV;
  };
  switch (kind) {
    case DWLO_TabControl: set(false, 0, 0, 0, 0, true, true); break;
    case DWLO_Button: set(true, 20, 0, 68, 28, false, false); break;
    case DWLO_SmallButton: set(true, 20, 0, 20, 10, false, false); break;
    case DWLO_Label: set(true, 16, 14, 0, 2, false, false); break;
    case DWLO_Edit: set(false, 18, 14, 60, 0, true, false); break;
    case DWLO_CheckBox:
    case DWLO_RadioButton: set(true, 18, 14, 80, 26, false, false); break;
    case DWLO_RadioGroup: set(true, 18, 7, 80, 26, true, false); break;
    case DWLO_ComboBox: set(false, 20, 0, 69, 38, true, false); break;
    case DWLO_ListBox:
    case DWLO_WebView: set(false, 20, 0, 69, 38, true, true); break;
    case DWLO_ProgressBar: set(false, 16, 0, 100, 0, true, false); break;
    case DWLO_Separator: set(false, 3, 0, 50, 0, false, false); break;
    case DWLO_Slider: set(false, 25, 0, 100, 0, false, false); break;
    default: set(false, 0, 0, 0, 0, false, false); break;
  }
}

void GetControlSpacing(enumControlSpaceType type, int& first, int& second) {
  static int const s_intTable[][2] = {{20, 14}, {20, 20}, {16, 28}, {16, 14}, {12, 16},
                                      {20, 20}, {12, 12}, {6, 6},   {3, 4},   {3, 4},
                                      {8, 8},   {8, 6},   {22, 46}, {22, 18}};
  if (type < 0 || type >= int(sizeof(s_intTable) / sizeof(s_intTable[0]))) return;
  first = s_intTable[type][0];
  second = s_intTable[type][1];
}

void GetControlTypeSize(enumDWLOType kind, UniString text, int& width, int& height) {
  stcDWControlMetrics metrics;
  GetControlTypeMetrics(kind, metrics);
  int const wrapWidth = width;
  width = metrics.m_intExtraWidth;
  height = metrics.m_intMinHeight;
  if (metrics.m_blnSizeFromText) {
    CFStringRef string = UniStringToCFString(text);
    if (string != nullptr) {
      Point bounds = {0, SInt16(std::clamp(wrapWidth, 0, 32767))};
      SInt16 baseline = 0;
      if (GetThemeTextDimensions(string, kThemeSystemFont, kThemeStateActive, wrapWidth != 0,
                                 &bounds, &baseline) == noErr) {
        width += bounds.h;
        height = bounds.v;
      }
      CFRelease(string);
    }
  }
  width = std::max(width, metrics.m_intMinWidth);
  height = std::max(height, metrics.m_intMinHeight);
}

// ---- measuring ----

void clsDWLayoutObject::MeasureSelf() {
  m_intWidth = 0;
  m_intHeight = 0;
  stcDWControlMetrics metrics;
  GetControlTypeMetrics(m_enmType, metrics);

  switch (m_enmType) {
    case DWLO_Space:
      m_blnExpandH = m_intMaxWidth == 0 || m_intMaxWidth > m_intMinWidth;
      m_blnExpandV = m_intMaxHeight == 0 || m_intMaxHeight > m_intMinHeight;
      break;
    case DWLO_Fill:
    case DWLO_Separator:
      m_blnExpandV = HasFeature(1);
      m_blnExpandH = !HasFeature(1);
      break;
    case DWLO_Label:
      m_blnExpandH = HasFeature(2);
      m_blnExpandV = HasFeature(4);
      break;
    case DWLO_Edit:
      m_blnExpandH = m_intMaxWidth == 0;
      m_blnExpandV = HasFeature(1) && m_intMaxHeight == 0;
      break;
    default:
      m_blnExpandH = metrics.m_blnExpandH;
      m_blnExpandV = metrics.m_blnExpandV;
      break;
  }
  m_blnShareDone = false;

  if (m_enmType < DWLO_Button) return;  // boxes, tab controls, spaces, fills: sized by layout

  switch (m_enmType) {
    case DWLO_Separator:
      if (HasFeature(1)) {
        m_intWidth = 3;
        m_intHeight = std::max(m_intMinHeight, 25);
      } else {
        m_intWidth = std::max(m_intMinWidth, 50);
        m_intHeight = 3;
      }
      break;
    case DWLO_Picture:
      if (HasFeature(1)) MeasurePicture();
      return;  // a picture shows at its pixel size: no limits
    case DWLO_Slider:
      if (HasFeature(1)) {
        m_intWidth = 25;
        m_intHeight = std::max(m_intMinHeight, 100);
      } else {
        m_intWidth = std::max(m_intMinWidth, 100);
        m_intHeight = 25;
      }
      break;
    case DWLO_RadioGroup: {
      if (m_pulstItems == nullptr) AddItem(UniString("No Items", 1, -1));
      int const wrapWidth = m_intMaxWidth != 0 ? m_intMaxWidth - 32 : 0;
      int widest = 0;
      int tallest = 0;
      int count = 0;
      if (m_pulstItems != nullptr) {
        for (UniString const& item : *m_pulstItems) {
          int w = wrapWidth;
          int h = 0;
          GetControlTypeSize(DWLO_RadioGroup, item, w, h);
          widest = std::max(widest, w);
          tallest = std::max(tallest, h);
          ++count;
        }
      }
      m_intWidth = 16 + 16 + widest;
      m_intHeight = 28 + 14 + (count - 1) * metrics.m_intItemGap + count * tallest;
      break;
    }
    default: {
      int w = m_intMaxWidth;
      int h = 0;
      GetControlTypeSize(m_enmType, m_ustrLabel, w, h);
      m_intWidth = w;
      m_intHeight = h;
      break;
    }
  }

  if (m_intMinWidth != 0) m_intWidth = std::max(m_intWidth, m_intMinWidth);
  if (m_intMaxWidth != 0) m_intWidth = std::min(m_intWidth, m_intMaxWidth);
  if (m_intMinHeight != 0) m_intHeight = std::max(m_intHeight, m_intMinHeight);
  if (m_intMaxHeight != 0) m_intHeight = std::min(m_intHeight, m_intMaxHeight);
}

// The plug-in bundle's PNG resource named by the label, at its pixel size; each failing step
// logs its line and leaves 0 x 0.
void clsDWLayoutObject::MeasurePicture() {
  UniString const which = UniString(m_lngID) + UniString("; ", 1, -1) + m_ustrLabel;
  auto fail = [&which](char const* what) {
    DebugOutput(kDebugError, UniString(what, 1, -1) + which);
  };
  CFStringRef identifier = CFStringCreateWithCString(kCFAllocatorDefault, g_strPluginBundleIdentifier,
                                                     kCFStringEncodingUTF8);
  CFBundleRef bundle = identifier != nullptr ? CFBundleGetBundleWithIdentifier(identifier) : nullptr;
  if (identifier != nullptr) CFRelease(identifier);
  if (bundle == nullptr) return fail("Could not get Bundle Ref for (Resource) Picture Control: ");

  CFStringRef name = UniStringToCFString(m_ustrLabel);
  CFURLRef url = name != nullptr ? CFBundleCopyResourceURL(bundle, name, nullptr, nullptr) : nullptr;
  if (name != nullptr) CFRelease(name);
  if (url == nullptr) return fail("Could not make URL for (Resource) Picture Control: ");

  CGDataProviderRef provider = CGDataProviderCreateWithURL(url);
  CFRelease(url);
  if (provider == nullptr) return fail("Could not get Data Provider for (Resource) Picture Control: ");

  CGImageRef image =
      CGImageCreateWithPNGDataProvider(provider, nullptr, false, kCGRenderingIntentDefault);
  CGDataProviderRelease(provider);
  if (image == nullptr) return fail("Could not load Image for (Resource) Picture Control: ");
  m_intWidth = int32_t(CGImageGetWidth(image));
  m_intHeight = int32_t(CGImageGetHeight(image));
  CGImageRelease(image);
}

void clsDWLayout::MeasureAllControls(clsDWLayoutObject& node) {
  for (clsDWLayoutObject& child : node.m_vecChildren) {
    if (child.HasChildren()) {
      MeasureAllControls(child);
    } else {
      child.MeasureSelf();
    }
  }
  node.MeasureSelf();
}

// ---- stacking ----

int clsDWLayout::GetSpacingBetweenLayoutObjects(clsDWLayoutObject& a, clsDWLayoutObject& b,
                                                bool vertical) {
  int across = 0;
  int down = 0;
  auto gap = [&](enumControlSpaceType type) {
    GetControlSpacing(type, across, down);
    return vertical ? down : across;
  };
  if (a.m_enmType == DWLO_Space || a.m_enmType == DWLO_Fill || b.m_enmType == DWLO_Space ||
      b.m_enmType == DWLO_Fill) {
    return 0;
  }
  if (a.IsBox() || b.m_enmType == DWLO_HBox) return gap(CST_Boxes);
  if (a.m_enmType != b.m_enmType) {
    return a.m_enmType == DWLO_RadioController ? 0 : gap(CST_Controls);
  }
  switch (a.m_enmType) {
    case DWLO_Button: return gap(CST_Buttons);
    case DWLO_SmallButton: return gap(CST_SmallButtons);
    case DWLO_Edit: return gap(CST_Edits);
    case DWLO_CheckBox: return gap(CST_CheckBoxes);
    case DWLO_RadioGroup:
    case DWLO_RadioButton: return gap(CST_RadioButtons);
    case DWLO_RadioController: return 0;
    default: return gap(CST_Controls);
  }
}

void clsDWLayout::CalculateLayout(clsDWLayoutObject& node, bool doSize, bool doPlace) {
  if (!node.HasChildren()) return;
  std::vector<clsDWLayoutObject>& children = node.m_vecChildren;
  stcInsets const insets = InsetsOf(node);

  if (node.m_enmType == DWLO_TabControl) {
    int const insetW = insets.m_intLeft + insets.m_intRight;
    int const insetH = insets.m_intTop + insets.m_intBottom;
    if (doSize) {
      int contentW = 0;
      int contentH = 0;
      for (clsDWLayoutObject& page : children) {
        CalculateLayout(page, true, false);
        contentW = std::max(contentW, int(page.m_intWidth));
        contentH = std::max(contentH, int(page.m_intHeight));
        node.m_blnExpandH = node.m_blnExpandH || page.m_blnExpandH;
        node.m_blnExpandV = node.m_blnExpandV || page.m_blnExpandV;
      }
      // The minimum size is the page area's, not the outer size.
      contentW = std::max(contentW, int(node.m_intMinWidth));
      contentH = std::max(contentH, int(node.m_intMinHeight));
      node.m_intWidth = contentW + insetW;
      node.m_intHeight = contentH + insetH;
    }
    if (doPlace) {
      int const innerW = node.m_intWidth - insetW;
      int const innerH = node.m_intHeight - insetH;
      for (clsDWLayoutObject& page : children) {
        ExpandControls(page, innerW, innerH, false);
        page.m_intWidth = innerW;
        page.m_intHeight = innerH;
        CalculateLayout(page, false, true);
      }
      for (clsDWLayoutObject& page : children) MoveLayoutObject(page, insets.m_intLeft, 0);
    }
    return;
  }
  if (!node.IsBox()) return;

  stcAxis const axis = AxisOf(node);
  bool const vertical = axis.m_blnVertical;

  for (size_t i = 0; i < children.size(); ++i) {
    clsDWLayoutObject& child = children[i];
    if (child.HasChildren()) {
      CalculateLayout(child, doSize, doPlace);
    } else if (doSize) {
      if (child.m_enmType == DWLO_Fill) {
        // Fills count as first or last by id, as nodes compare.
        if (!(child == children.front()) && !(child == children.back())) {
          axis.Size(child) = GetSpacingBetweenLayoutObjects(children[i - 1], children[i + 1], vertical);
          axis.CrossSize(child) = 0;
        } else {
          child.m_intWidth = 0;
          child.m_intHeight = 0;
        }
      } else if (child.m_enmType == DWLO_Space) {
        child.m_intWidth = child.m_intMinWidth;
        child.m_intHeight = child.m_intMinHeight;
      } else {
        child.m_intX = 0;
        child.m_intY = 0;
      }
    }
  }

  if (doSize) {
    int mainSum = 0;
    int crossMax = 0;
    for (size_t i = 0; i < children.size(); ++i) {
      clsDWLayoutObject& child = children[i];
      if (i > 0) mainSum += GetSpacingBetweenLayoutObjects(children[i - 1], child, vertical);
      mainSum += axis.Size(child);
      crossMax = std::max(crossMax, int(axis.CrossSize(child)));
      node.m_blnExpandH = node.m_blnExpandH || child.m_blnExpandH;
      node.m_blnExpandV = node.m_blnExpandV || child.m_blnExpandV;
    }
    int contentW = vertical ? crossMax : mainSum;
    int contentH = vertical ? mainSum : crossMax;
    node.m_intWidth = contentW;
    node.m_intHeight = contentH;
    bool raised = false;
    if (node.m_intMinWidth - insets.m_intLeft - insets.m_intRight > contentW) {
      contentW = node.m_intMinWidth - insets.m_intLeft - insets.m_intRight;
      raised = true;
    }
    if (node.m_intMinHeight - insets.m_intTop - insets.m_intBottom > contentH) {
      contentH = node.m_intMinHeight - insets.m_intTop - insets.m_intBottom;
      raised = true;
    }
    if (raised) {
      ExpandControls(node, contentW, contentH, false);
      node.m_intWidth = contentW;
      node.m_intHeight = contentH;
    }
    node.m_intWidth += insets.m_intLeft + insets.m_intRight;
    node.m_intHeight += insets.m_intTop + insets.m_intBottom;
  }

  if (doPlace) {
    int const innerW = node.m_intWidth - insets.m_intLeft - insets.m_intRight;
    int const innerH = node.m_intHeight - insets.m_intTop - insets.m_intBottom;
    for (clsDWLayoutObject& child : children) {
      if (!child.HasChildren()) continue;
      if (vertical) {
        ExpandControls(child, innerW, child.m_intHeight, true);
      } else {
        ExpandControls(child, child.m_intWidth, innerH, true);
      }
    }
    clsDWLayoutObject& first = children.front();
    int running = axis.Size(first);
    if (insets.m_intLeft >= 1 || insets.m_intTop >= 1) {
      MoveLayoutObject(first, insets.m_intLeft, insets.m_intTop);
      running += axis.LeadInset(insets);
    }
    for (size_t i = 1; i < children.size(); ++i) {
      clsDWLayoutObject& child = children[i];
      int const gap = GetSpacingBetweenLayoutObjects(children[i - 1], child, vertical);
      if (vertical) {
        MoveLayoutObject(child, insets.m_intLeft, running + gap);
      } else {
        MoveLayoutObject(child, running + gap, insets.m_intTop);
      }
      running += gap + axis.Size(child);
    }
  }
}

void clsDWLayout::ExpandControls(clsDWLayoutObject& node, int width, int height,
                                 bool moveFollowers) {
  if (!node.IsBox() || !node.HasChildren()) return;
  std::vector<clsDWLayoutObject>& children = node.m_vecChildren;
  stcInsets const insets = InsetsOf(node);
  stcAxis const axis = AxisOf(node);
  int const mainTarget = axis.m_blnVertical ? height : width;
  int const crossTarget = axis.m_blnVertical ? width : height;
  auto eligible = [](clsDWLayoutObject const& child) {
    return !IsUntitledBox(child) && child.m_enmType != DWLO_Space;
  };

  int spare = mainTarget - axis.Size(node);
  int count = 0;
  for (clsDWLayoutObject& child : children) {
    if (!eligible(child)) continue;
    if (axis.Expands(child)) {
      count += 1;
      spare += axis.Size(child);
      child.m_blnShareDone = false;
    }
    if (axis.CrossExpands(child)) axis.CrossSize(child) = crossTarget - axis.CrossInsets(insets);
  }

  MarkChildrenKeepingSize(children, axis, eligible, spare, count);

  if (count > 0 && spare > 0) {
    int const share = spare / count;  // the remainder is not handed out
    for (size_t i = 0; i < children.size(); ++i) {
      clsDWLayoutObject& child = children[i];
      if (!eligible(child) || !axis.Expands(child) || child.m_blnShareDone) continue;
      if (axis.Size(child) >= share) continue;
      int const growth = share - axis.Size(child);
      axis.Size(child) = share;
      if (!moveFollowers) continue;
      for (size_t k = i + 1; k < children.size(); ++k) {
        if (axis.m_blnVertical) {
          MoveLayoutObject(children[k], 0, growth);
        } else {
          MoveLayoutObject(children[k], growth, 0);
        }
      }
    }
  }

  node.m_intWidth = std::max(int(node.m_intWidth), width);
  node.m_intHeight = std::max(int(node.m_intHeight), height);
}

void clsDWLayout::MoveLayoutObject(clsDWLayoutObject& node, int dx, int dy) {
  node.m_intX += dx;
  node.m_intY += dy;
  // Children of titled group boxes and tab controls are relative to their container.
  if (!IsUntitledBox(node)) return;
  for (clsDWLayoutObject& child : node.m_vecChildren) {
    if (child.IsBox() && child.HasChildren()) {
      MoveLayoutObject(child, dx, dy);
    } else {
      child.m_intX += dx;
      child.m_intY += dy;
    }
  }
}

// ---- collapsed boxes and resizing ----

void clsDWLayout::CalculateAdjustedBounds(clsDWLayoutObject& node) {
  if (node.m_blnCollapsed || !node.HasChildren()) return;
  std::vector<clsDWLayoutObject>& children = node.m_vecChildren;

  if (node.m_enmType == DWLO_TabControl) {
    stcInsets const insets = InsetsOf(node);
    int const insetW = insets.m_intLeft + insets.m_intRight;
    int const insetH = insets.m_intTop + insets.m_intBottom;
    int contentW = node.m_intWidth - insetW;
    int contentH = node.m_intHeight - insetH;
    node.m_intAdjWidth = 0;
    node.m_intAdjHeight = 0;
    for (clsDWLayoutObject& page : children) {
      CalculateAdjustedBounds(page);
      contentW = std::max(contentW, int(page.m_intAdjWidth != 0 ? page.m_intAdjWidth : page.m_intWidth));
      contentH = std::max(contentH, int(page.m_intAdjHeight != 0 ? page.m_intAdjHeight : page.m_intHeight));
    }
    if (contentW + insetW != node.m_intWidth) node.m_intAdjWidth = contentW + insetW;
    if (contentH + insetH != node.m_intHeight) node.m_intAdjHeight = contentH + insetH;
    return;
  }
  if (!node.IsBox()) return;

  stcAxis const axis = AxisOf(node);
  node.m_intAdjWidth = 0;
  node.m_intAdjHeight = 0;
  int width = node.m_intWidth;
  int height = node.m_intHeight;
  int& mainSize = axis.m_blnVertical ? height : width;
  for (size_t i = 0; i < children.size(); ++i) {
    clsDWLayoutObject& child = children[i];
    if (child.m_blnCollapsed) {
      mainSize -= axis.Size(child);
      if (i + 1 < children.size()) {
        mainSize -= GetSpacingBetweenLayoutObjects(child, children[i + 1], axis.m_blnVertical);
      }
      continue;
    }
    if (child.HasChildren()) CalculateAdjustedBounds(child);
    if (child.m_intAdjWidth != 0) width += child.m_intAdjWidth - child.m_intWidth;
    if (child.m_intAdjHeight != 0) height += child.m_intAdjHeight - child.m_intHeight;
  }
  if (width != node.m_intWidth) node.m_intAdjWidth = width;
  if (height != node.m_intHeight) node.m_intAdjHeight = height;
}

void clsDWLayout::ResizeControls(clsDWLayoutObject& node, clsDynamicWindow* window) {
  if (node.m_blnCollapsed || !node.HasChildren()) return;
  std::vector<clsDWLayoutObject>& children = node.m_vecChildren;
  stcInsets const insets = InsetsOf(node);

  if (node.m_enmType == DWLO_TabControl) {
    for (clsDWLayoutObject& page : children) {
      page.m_intFinalX = insets.m_intLeft;
      page.m_intFinalY = 0;
      page.m_intFinalWidth = node.m_intFinalWidth - insets.m_intLeft - insets.m_intRight;
      page.m_intFinalHeight = node.m_intFinalHeight - insets.m_intTop - insets.m_intBottom;
      ResizeControls(page, window);
      if (window != nullptr) window->PositionControl(page);
    }
    return;
  }
  if (!node.IsBox()) return;

  stcAxis const axis = AxisOf(node);
  auto eligible = [](clsDWLayoutObject const& child) { return !child.m_blnCollapsed; };
  int const laidOut = axis.AdjSize(node) != 0 ? axis.AdjSize(node) : axis.Size(node);
  int spare = axis.FinalSize(node) - laidOut;
  int count = 0;
  for (clsDWLayoutObject& child : children) {
    if (!eligible(child) || !axis.Expands(child)) continue;
    count += 1;
    spare += axis.Size(child);
    child.m_blnShareDone = false;
  }
  MarkChildrenKeepingSize(children, axis, eligible, spare, count);
  int const share = spare >= 1 && count > 0 ? spare / count : 0;

  int offset = 0;
  for (size_t i = 0; i < children.size(); ++i) {
    clsDWLayoutObject& child = children[i];
    if (child.m_blnCollapsed) {
      // The following children close up over the collapsed one.
      if (i + 1 < children.size()) offset += axis.Pos(child) - axis.Pos(children[i + 1]);
      continue;
    }
    bool const tookShare = axis.Expands(child) && !child.m_blnShareDone;
    axis.FinalSize(child) = tookShare ? share : axis.Size(child);
    axis.FinalCrossSize(child) = axis.CrossExpands(child)
                                     ? axis.FinalCrossSize(node) - axis.CrossInsets(insets)
                                     : axis.CrossSize(child);
    axis.FinalPos(child) = axis.Pos(child) + offset;
    axis.FinalCrossPos(child) = axis.FinalCrossPos(node) + axis.CrossLeadInset(insets);
    if (child.HasChildren()) ResizeControls(child, window);
    if (window != nullptr) window->PositionControl(child);
    if (tookShare) offset += share - axis.Size(child);
  }
}

void clsDWLayout::LayoutWindow() {
  MeasureAllControls(*this);
  CalculateLayout(*this, true, true);
  ExpandControls(*this, m_intWidth, m_intHeight, true);

  int left = 0, top = 0, right = 0, bottom = 0;
  GetControlSpacing(CST_WindowTopLeft, left, top);
  GetControlSpacing(CST_WindowBottomRight, right, bottom);
  MoveLayoutObject(*this, left, top);
  m_intWindowWidth = left + right + m_intWidth;
  m_intWindowHeight = top + bottom + m_intHeight;

  CalculateAdjustedBounds(*this);
  if (m_intAdjWidth == 0 && m_intAdjHeight == 0) return;

  m_intFinalX = left;
  m_intFinalY = top;
  m_intFinalWidth = m_intAdjWidth != 0 ? m_intAdjWidth : m_intWidth;
  m_intFinalHeight = m_intAdjHeight != 0 ? m_intAdjHeight : m_intHeight;
  ResizeControls(*this, nullptr);
  if (m_intAdjWidth != 0) m_intWindowWidth = m_intAdjWidth + left + right;
  if (m_intAdjHeight != 0) m_intWindowHeight = m_intAdjHeight + top + bottom;
}

void clsDWLayout::ResizeLayout(int width, int height, clsDynamicWindow* window) {
  int left = 0, top = 0, right = 0, bottom = 0;
  GetControlSpacing(CST_WindowTopLeft, left, top);
  GetControlSpacing(CST_WindowBottomRight, right, bottom);
  m_intFinalX = left;
  m_intFinalY = top;
  m_intFinalWidth = width - left - right;
  m_intFinalHeight = height - top - bottom;
  ResizeControls(*this, window);
}

void clsDWLayout::ExpandBox(int32_t id, clsDynamicWindow* window) {
  SetBoxCollapsed(id, false, window);
}

void clsDWLayout::CollapseBox(int32_t id, clsDynamicWindow* window) {
  SetBoxCollapsed(id, true, window);
}

void clsDWLayout::SetBoxCollapsed(int32_t id, bool collapsed, clsDynamicWindow* window) {
  int const oldWidth = m_intAdjWidth != 0 ? m_intAdjWidth : m_intWidth;
  int const oldHeight = m_intAdjHeight != 0 ? m_intAdjHeight : m_intHeight;
  bool found = false;
  iterator box = FindControlWithID(id, found);
  if (!found || !box->IsBox() || box->m_blnCollapsed == collapsed) return;
  box->m_blnCollapsed = collapsed;  // only the flag: visibility is the window's business here

  int left = 0, top = 0, right = 0, bottom = 0;
  GetControlSpacing(CST_WindowTopLeft, left, top);
  GetControlSpacing(CST_WindowBottomRight, right, bottom);
  CalculateAdjustedBounds(*this);
  int const width = m_intAdjWidth != 0 ? m_intAdjWidth : m_intWidth;
  int const height = m_intAdjHeight != 0 ? m_intAdjHeight : m_intHeight;
  m_intFinalX = left;
  m_intFinalY = top;
  m_intFinalWidth = width;
  m_intFinalHeight = height;
  ResizeControls(*this, window);
  m_intWindowWidth = width + left + right;
  m_intWindowHeight = height + top + bottom;
  if (window != nullptr && (width != oldWidth || height != oldHeight)) {
    window->SetWindowSize(width - oldWidth, height - oldHeight, true);
  }
}
