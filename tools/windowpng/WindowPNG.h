// WindowPNG: a picture of a window of the headless window server, for a person to look at a
// dialog. Each visible view is drawn as a box of its kind (buttons, fields, check boxes, lists
// with their rows, bars, sliders, tabs, group boxes) with its text in a built-in 8 x 16 ASCII
// bitmap font (other characters show as '?'), below a 22-pixel title bar with the title.
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

// The 16 rows of the glyph of a character (bit 7 the leftmost of 8 pixels); '?' for one outside
// printable ASCII.
void WindowFontGlyph(unsigned char ch, uint8_t rows[16]);
