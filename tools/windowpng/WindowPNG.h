// WindowPNG: a picture of a window of the headless window server, for a person to look at a
// dialog. Each visible view is drawn as a box of its kind (buttons, fields, check boxes, lists
// with their rows, bars, sliders, tabs, group boxes) with its text in GNU Unifont's bitmap font
// (Debian's unifont package; see WindowFont.cpp), below a 22-pixel title bar with the title.
// Interface: DrawWindowPicture (RGB pixels, row by row) and WriteWindowPNG (the picture as a PNG
// file). Relies on the window server's inspection calls (platform/carbon/WindowsTesting.h) and
// libpng. Failures: false, with a reason, for an unknown window or a file that cannot be written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/carbon/MacWindows.h"

struct stcWindowPicture {
  int m_intWidth = 0, m_intHeight = 0;
  std::vector<uint8_t> m_vecRGB;  // 3 bytes a pixel, rows top to bottom
};

bool DrawWindowPicture(WindowRef window, stcWindowPicture* out);
bool WriteWindowPNG(WindowRef window, char const* path, std::string* error);

// The glyph of a character: 16 rows of two bytes, bit 7 of the first the leftmost pixel. A narrow
// glyph takes one 8-pixel cell (its second bytes are 0), a wide one two.
struct stcWindowGlyph {
  int m_intCells = 1;
  uint8_t m_arrRows[16][2] = {};
};
stcWindowGlyph WindowFontGlyph(char32_t ch);
