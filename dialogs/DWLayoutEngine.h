// DWLayoutEngine: the fixed metrics and spacings of the layout engine, and text measuring.
// Interface: stcDWControlMetrics and GetControlTypeMetrics (natural size rules of a kind),
// enumControlSpaceType and GetControlSpacing (margins, insets and gaps), GetControlTypeSize (the
// natural size of a kind showing a text). The passes over a tree are members of clsDWLayout
// (dialogs/clsDWLayout.h) and clsDWLayoutObject::MeasureSelf, all in DWLayoutEngine.cpp.
// Relies on the Appearance Manager's text measuring; pictures read their PNG through the bundle
// and CoreGraphics stand-ins. All integer pixels, x to the right and y downwards. Never throws.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "dialogs/clsDWLayout.h"

struct stcDWControlMetrics {
  bool m_blnSizeFromText;  // the natural size is measured from the label
  int32_t m_intMinHeight;  // natural and minimum height
  int32_t m_intItemGap;    // gap between the rows of a radio group
  int32_t m_intMinWidth;   // lower bound of the natural width
  int32_t m_intExtraWidth; // added to the measured text width
  bool m_blnExpandH;       // default of m_blnExpandH
  bool m_blnExpandV;       // default of m_blnExpandV
};

void GetControlTypeMetrics(enumDWLOType kind, stcDWControlMetrics& metrics);

enum enumControlSpaceType : int32_t {
  CST_WindowTopLeft = 0,      // window margin left, top
  CST_WindowBottomRight = 1,  // window margin right, bottom
  CST_GroupTopLeft = 2,       // inset left, top of a titled group box and a radio group
  CST_GroupBottomRight = 3,   // inset right, bottom of the same
  CST_Controls = 4,           // gap between unlike neighbours: across, down
  CST_Boxes = 5,              // gap after a box or before an HBox
  CST_Buttons = 6,
  CST_SmallButtons = 7,
  CST_RadioButtons = 8,  // across, down
  CST_CheckBoxes = 9,    // across, down
  CST_Edits = 10,
  CST_Spare = 11,
  CST_TabTopLeft = 12,     // inset left, top of a tab control
  CST_TabBottomRight = 13  // inset right, bottom of a tab control
};

// A value outside the table leaves both outputs untouched.
void GetControlSpacing(enumControlSpaceType type, int& first, int& second);

// On entry width is the wrap width (0: no wrapping); on return the natural size of the kind
// showing the text.
void GetControlTypeSize(enumDWLOType kind, UniString text, int& width, int& height);
