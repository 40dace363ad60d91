// WindowPNG: draws a window from what the window server tells of it and writes it with libpng.
// Views are drawn parents first, each clipped to the window. Texts (UTF-8 from the window server)
// are cut into lines at line ends and wrapped at blanks to the view's width where the window
// server wraps them, by its metric (ThemeStandInCharacterWidth: 16 pixels an East Asian wide
// character, 8 a UTF-16 unit else). Unifont draws some other glyphs 16 pixels wide all the same
// (Indic scripts, many symbols), so a label or a check box title holding such glyphs may run past
// its view's right edge, up to the window's (boxed views cut their texts at the box).
#include "WindowPNG.h"

#include <png.h>

#include <algorithm>
#include <cstdio>

#include "platform/carbon/Appearance.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

struct stcColour {
  uint8_t r, g, b;
};

constexpr stcColour kBackground{236, 236, 236};
constexpr stcColour kTitleBar{206, 206, 212};
constexpr stcColour kFrame{96, 96, 96};
constexpr stcColour kText{0, 0, 0};
constexpr stcColour kGreyText{150, 150, 150};
constexpr stcColour kWhite{255, 255, 255};
constexpr stcColour kButton{248, 248, 248};
constexpr stcColour kAccent{40, 110, 220};
constexpr stcColour kSelected{190, 214, 250};
constexpr int kTitleHeight = 22;
constexpr int kCharWidth = 8, kLineHeight = 16;

class clsCanvas {
 public:
  explicit clsCanvas(stcWindowPicture* picture) : m_pPicture(picture) {}

  void Pixel(int x, int y, stcColour c) {
    if (x < 0 || y < 0 || x >= m_pPicture->m_intWidth || y >= m_pPicture->m_intHeight) return;
    size_t const at = (size_t(y) * size_t(m_pPicture->m_intWidth) + size_t(x)) * 3;
    m_pPicture->m_vecRGB[at] = c.r;
    m_pPicture->m_vecRGB[at + 1] = c.g;
    m_pPicture->m_vecRGB[at + 2] = c.b;
  }
  void Fill(int x, int y, int w, int h, stcColour c) {
    for (int j = std::max(y, 0); j < std::min(y + h, m_pPicture->m_intHeight); ++j) {
      for (int i = std::max(x, 0); i < std::min(x + w, m_pPicture->m_intWidth); ++i) Pixel(i, j, c);
    }
  }
  void Box(int x, int y, int w, int h, stcColour c) {
    if (w <= 0 || h <= 0) return;
    Fill(x, y, w, 1, c);
    Fill(x, y + h - 1, w, 1, c);
    Fill(x, y, 1, h, c);
    Fill(x + w - 1, y, 1, h, c);
  }
  // One line of text from (x, y), cut before the first glyph that would pass right.
  void Text(int x, int y, std::u32string const& text, stcColour c, int right, bool underline = false) {
    for (char32_t ch : text) {
      stcWindowGlyph const glyph = WindowFontGlyph(ch);
      int const width = glyph.m_intCells * kCharWidth;
      if (x + width > right) return;
      for (int r = 0; r < 16; ++r) {
        for (int b = 0; b < width; ++b) {
          if ((glyph.m_arrRows[r][b / 8] & (0x80 >> (b % 8))) != 0) Pixel(x + b, y + r, c);
        }
      }
      if (underline) Fill(x, y + kLineHeight - 1, width, 1, c);
      x += width;
    }
  }

 private:
  stcWindowPicture* m_pPicture;
};

// The characters of a UTF-8 text; each byte of a malformed sequence stands for U+FFFD.
std::u32string Decode(std::string const& text) {
  std::u32string out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char const lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;  // 0: a byte no character starts with
    char32_t ch = 0;
    if (lead < 0x80) {
      length = 1, ch = lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      length = 2, ch = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      length = 3, ch = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      length = 4, ch = lead & 0x07;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      unsigned char const next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      ch = (ch << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed too.
    if (valid && length == 3) valid = ch >= 0x800 && (ch < 0xD800 || ch > 0xDFFF);
    if (valid && length == 4) valid = ch >= 0x10000 && ch <= 0x10FFFF;
    out += valid ? ch : char32_t(0xFFFD);
    i += valid ? length : 1;
  }
  return out;
}

// The 8-pixel cells a text's glyphs take.
size_t Cells(std::u32string const& text) {
  size_t n = 0;
  for (char32_t ch : text) n += size_t(WindowFontGlyph(ch).m_intCells);
  return n;
}

// The pixels the window server's metric gives a character or a text (not always what its glyphs
// take: see Cells).
size_t Measure(char32_t ch) { return size_t(ThemeStandInCharacterWidth(UInt32(ch))); }
size_t Measure(std::u32string const& text) {
  size_t n = 0;
  for (char32_t ch : text) n += Measure(ch);
  return n;
}

// The text's lines: cut at CR, LF or CR LF, then wrapped at blanks to at most width pixels of
// the window server's metric (a longer word is cut, a line holds at least one character); width
// 0 means no wrapping.
std::vector<std::u32string> Lines(std::u32string const& text, size_t width) {
  std::vector<std::u32string> paragraphs(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      paragraphs.emplace_back();
    } else {
      paragraphs.back() += text[i];
    }
  }
  if (width == 0) return paragraphs;
  std::vector<std::u32string> lines;
  for (std::u32string const& paragraph : paragraphs) {
    std::u32string line;
    size_t start = 0;
    while (start <= paragraph.size()) {
      size_t end = paragraph.find(U' ', start);
      if (end == std::u32string::npos) end = paragraph.size();
      std::u32string word = paragraph.substr(start, end - start);
      // Cut a word longer than a line; a character wider than the line stays a line of its own.
      while (word.size() > 1 && Measure(word) > width) {
        if (!line.empty()) lines.push_back(line), line.clear();
        size_t take = 1, pixels = Measure(word[0]);
        while (take < word.size() && pixels + Measure(word[take]) <= width) pixels += Measure(word[take++]);
        lines.push_back(word.substr(0, take));
        word = word.substr(take);
      }
      std::u32string const joined = line.empty() ? word : line + U" " + word;
      if (!line.empty() && Measure(joined) > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = joined;
      }
      start = end + 1;
    }
    lines.push_back(line);
  }
  return lines;
}

// Lines in the box from (x, y), w x h (at least one line), each cut before right.
void DrawLines(clsCanvas& canvas, std::vector<std::u32string> const& lines, int x, int y, int w, int h,
               SInt16 justification, stcColour colour, bool underline, int right) {
  for (size_t n = 0; n < lines.size() && int(n) * kLineHeight < std::max(h, kLineHeight); ++n) {
    int const width = int(Cells(lines[n])) * kCharWidth;
    int left = x;
    if (justification == teCenter) left = x + (w - width) / 2;
    if (justification == teFlushRight) left = x + w - width;
    canvas.Text(left, y + int(n) * kLineHeight, lines[n], colour, right, underline);
  }
}

// windowRight: the right edge of the window's inside, where unboxed texts are cut.
void DrawView(clsCanvas& canvas, ControlRef view, stcControlInfoForTesting const& c,
              stcWindowInfoForTesting const& window, int windowRight) {
  int const x = c.m_intX, y = c.m_intY + kTitleHeight, w = c.m_intWidth, h = c.m_intHeight;
  stcColour const ink = c.m_blnActive ? kText : kGreyText;
  int const textY = y + std::max(0, (h - kLineHeight) / 2);
  switch (c.m_enmKind) {
    case kViewPushButton:
    case kViewBevelButton: {
      canvas.Fill(x, y, w, h, kButton);
      canvas.Box(x, y, w, h, kFrame);
      if (view == window.m_hDefaultButton) canvas.Box(x + 1, y + 1, w - 2, h - 2, kAccent);
      DrawLines(canvas, {Decode(c.m_strTitle)}, x, textY, w, kLineHeight, teCenter, ink, false, x + w + kCharWidth);
      break;
    }
    case kViewStaticText: {
      bool const link = c.m_blnUnderlined;
      stcColour const colour = link ? kAccent : ink;
      DrawLines(canvas, Lines(Decode(c.m_strText), size_t(std::max(1, w))), x, y, w, h,
                c.m_shtJustification, colour, link, std::max(x + w + kCharWidth, windowRight));
      break;
    }
    case kViewEditText:
    case kViewComboBox: {
      canvas.Fill(x, y, w, h, kWhite);
      canvas.Box(x, y, w, h, c.m_blnFocused ? kAccent : kFrame);
      std::u32string const text = Decode(c.m_strText);
      std::u32string const shown = c.m_blnPassword ? std::u32string(text.size(), U'*') : text;
      int const right = c.m_enmKind == kViewComboBox ? x + w - 16 : x + w - 2;
      canvas.Text(x + 3, textY, shown, ink, right);
      if (c.m_enmKind == kViewComboBox) canvas.Text(x + w - 12, textY, U"v", ink, x + w);
      break;
    }
    case kViewPopupButton: {
      canvas.Fill(x, y, w, h, kButton);
      canvas.Box(x, y, w, h, kFrame);
      std::u32string const current = Decode(c.m_intValue >= 1 && size_t(c.m_intValue) <= c.m_vecItems.size()
                                      ? c.m_vecItems[size_t(c.m_intValue) - 1]
                                      : c.m_strTitle);
      canvas.Text(x + 4, textY, current, ink, x + w - 16);
      canvas.Text(x + w - 12, textY, U"v", ink, x + w);
      break;
    }
    case kViewCheckBox:
    case kViewRadioButton: {
      int const top = y + std::max(0, (h - 12) / 2);
      canvas.Fill(x + 1, top, 12, 12, kWhite);
      canvas.Box(x + 1, top, 12, 12, kFrame);
      if (c.m_intValue != 0) canvas.Fill(x + 4, top + 3, 6, 6, ink);
      canvas.Text(x + 18, textY, Decode(c.m_strTitle), ink, std::max(x + w + kCharWidth, windowRight));
      break;
    }
    case kViewGroupBox: {
      canvas.Box(x, y + 8, w, h - 8, kFrame);
      if (!c.m_strTitle.empty()) {
        std::u32string const title = Decode(c.m_strTitle);
        int const width = int(Cells(title)) * kCharWidth + 4;
        canvas.Fill(x + 8, y, width, kLineHeight, kBackground);
        canvas.Text(x + 10, y, title, ink, x + w);
      }
      break;
    }
    case kViewTabs: {
      canvas.Box(x, y + 22, w, h - 22, kFrame);
      int left = x + 10;
      for (size_t n = 0; n < c.m_vecItems.size(); ++n) {
        std::u32string const item = Decode(c.m_vecItems[n]);
        int const width = int(Cells(item)) * kCharWidth + 16;
        bool const chosen = int(n) + 1 == c.m_intValue;
        canvas.Fill(left, y + 2, width, 20, chosen ? kSelected : kButton);
        canvas.Box(left, y + 2, width, 20, kFrame);
        canvas.Text(left + 8, y + 4, item, ink, left + width);
        left += width + 2;
      }
      break;
    }
    case kViewDataBrowser: {
      canvas.Fill(x, y, w, h, kWhite);
      canvas.Box(x, y, w, h, kFrame);
      for (size_t n = 0; n < c.m_vecItems.size() && int(n + 1) * kLineHeight <= h - 2; ++n) {
        int const rowY = y + 1 + int(n) * kLineHeight;
        if (std::find(c.m_vecSelectedRows.begin(), c.m_vecSelectedRows.end(), int(n)) !=
            c.m_vecSelectedRows.end()) {
          canvas.Fill(x + 1, rowY, w - 2, kLineHeight, kSelected);
        }
        canvas.Text(x + 4, rowY, Decode(c.m_vecItems[n]), ink, x + w - 2);
      }
      break;
    }
    case kViewProgressBar: {
      canvas.Fill(x, y + 2, w, h - 4, kWhite);
      canvas.Box(x, y + 2, w, h - 4, kFrame);
      if (c.m_blnIndeterminate) {
        for (int i = x + 2; i < x + w - 2; i += 8) canvas.Fill(i, y + 4, 4, h - 8, kSelected);
      } else if (c.m_intMaximum > c.m_intMinimum) {
        int const filled = int(int64_t(w - 4) * (c.m_intValue - c.m_intMinimum) / (c.m_intMaximum - c.m_intMinimum));
        canvas.Fill(x + 2, y + 4, std::clamp(filled, 0, w - 4), h - 8, kAccent);
      }
      break;
    }
    case kViewSeparator:
      if (w >= h) {
        canvas.Fill(x, y + h / 2, w, 1, kFrame);
      } else {
        canvas.Fill(x + w / 2, y, 1, h, kFrame);
      }
      break;
    case kViewSlider: {
      int const mid = y + h / 2;
      canvas.Fill(x + 4, mid, w - 8, 2, kFrame);
      for (int t = 0; t < c.m_intTickMarks && c.m_intTickMarks > 1; ++t) {
        canvas.Fill(x + 4 + (w - 9) * t / (c.m_intTickMarks - 1), mid + 5, 1, 4, kFrame);
      }
      if (c.m_intMaximum > c.m_intMinimum) {
        int const at = x + 4 + int(int64_t(w - 9) * (c.m_intValue - c.m_intMinimum) / (c.m_intMaximum - c.m_intMinimum));
        canvas.Fill(at - 3, mid - 5, 7, 11, kButton);
        canvas.Box(at - 3, mid - 5, 7, 11, kFrame);
      }
      break;
    }
    case kViewScrollView:
      canvas.Box(x - 1, y - 1, w + 2, h + 2, c.m_blnActive ? kFrame : kGreyText);
      break;
    case kViewTextView:
      canvas.Fill(x, y, w, h, kWhite);
      if (c.m_blnFocused) canvas.Box(x - 2, y - 2, w + 4, h + 4, kAccent);
      DrawLines(canvas, Lines(Decode(c.m_strText), size_t(std::max(1, w - 4))), x + 3, y + 2, w - 4,
                h - 4, teFlushDefault, ink, false, x + w + kCharWidth);
      break;
    case kViewImage:
    case kViewCustom:
      canvas.Box(x, y, w, h, kFrame);
      for (int i = 0; i < std::min(w, h); ++i) {
        canvas.Pixel(x + i * w / std::max(1, std::min(w, h)), y + i * h / std::max(1, std::min(w, h)), kGreyText);
      }
      canvas.Text(x + 4, y + 4, c.m_enmKind == kViewImage ? U"picture" : Decode(c.m_strClassID), kGreyText, x + w);
      break;
    default:  // root, content, grow box, user panes, radio groups: nothing of their own
      break;
  }
}

// libpng's part; a libpng error comes back here through its jump buffer. Nothing local changes
// after setjmp.
bool WritePNG(png_structp png, png_infop pngInfo, FILE* file, stcWindowPicture const& picture) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, pngInfo, png_uint_32(picture.m_intWidth), png_uint_32(picture.m_intHeight), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, pngInfo);
  for (int y = 0; y < picture.m_intHeight; ++y) {
    png_write_row(png, &picture.m_vecRGB[size_t(y) * size_t(picture.m_intWidth) * 3]);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool DrawWindowPicture(WindowRef window, stcWindowPicture* out) {
  stcWindowInfoForTesting info{};
  if (out == nullptr || !WindowsInfoForTesting(window, &info)) return false;
  int const width = info.m_rctContent.right - info.m_rctContent.left;
  int const height = info.m_rctContent.bottom - info.m_rctContent.top + kTitleHeight;
  if (width <= 0 || height <= 0 || width > 8000 || height > 8000) return false;
  out->m_intWidth = width;
  out->m_intHeight = height;
  out->m_vecRGB.assign(size_t(width) * size_t(height) * 3, 0);
  clsCanvas canvas(out);
  canvas.Fill(0, 0, width, height, kBackground);
  canvas.Fill(0, 0, width, kTitleHeight, kTitleBar);
  canvas.Fill(0, kTitleHeight - 1, width, 1, kFrame);
  canvas.Box(0, 0, width, height, kFrame);
  if (info.m_blnHasCloseBox) canvas.Box(8, 5, 12, 12, kFrame);
  DrawLines(canvas, {Decode(info.m_strTitle)}, 0, 3, width, kLineHeight, teCenter, kText, false, width);
  for (ControlRef view : WindowsControlsForTesting(window)) {
    stcControlInfoForTesting c{};
    if (!WindowsControlInfoForTesting(view, &c) || !c.m_blnVisible) continue;
    DrawView(canvas, view, c, info, width - 1);
  }
  return true;
}

bool WriteWindowPNG(WindowRef window, char const* path, std::string* error) {
  auto fail = [error](char const* why) {
    if (error != nullptr) *error = why;
    return false;
  };
  stcWindowPicture picture;
  if (!DrawWindowPicture(window, &picture)) return fail("no such window, or it has no size");
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return fail("cannot open the file for writing");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop pngInfo = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool const wrote = pngInfo != nullptr && WritePNG(png, pngInfo, file, picture);
  png_destroy_write_struct(&png, pngInfo != nullptr ? &pngInfo : nullptr);
  bool const closed = std::fclose(file) == 0;
  if (!wrote) return fail("libpng could not write the picture");
  if (!closed) return fail("the file could not be written whole");
  return true;
}
