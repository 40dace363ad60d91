// Appearance: the fixed text metric behind GetThemeTextDimensions (see Appearance.h).
// Lines are cut at CR, LF or CR LF; each is then wrapped greedily when a wrap width is given.
// The wide characters (East Asian Width W and F in Unicode's character database, in the few
// ranges Appearance.h lists) are those a CJK font draws two cells wide.
#include "platform/carbon/Appearance.h"

#include <algorithm>
#include <vector>

#include "platform/carbon/Files.h"

namespace {

constexpr UniChar kUnitCR = 13;
constexpr UniChar kUnitLF = 10;
constexpr UniChar kUnitBlank = ' ';
constexpr SInt32 kMostPoint = 32767;

// The character that starts at units[at]: a surrogate pair is one character of two units, any
// other unit (a lone surrogate too) one of its own.
struct stcCharacter {
  SInt32 m_lngUnits;
  SInt32 m_lngWidth;
};
stcCharacter CharacterAt(UniChar const* units, SInt32 length, SInt32 at) {
  UInt32 const unit = units[at];
  if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < length && units[at + 1] >= 0xDC00 &&
      units[at + 1] <= 0xDFFF) {
    UInt32 const ch = 0x10000 + ((unit - 0xD800) << 10) + (UInt32(units[at + 1]) - 0xDC00);
    return {2, ThemeStandInCharacterWidth(ch)};
  }
  return {1, ThemeStandInCharacterWidth(unit)};
}

// The pixels of units[from] to units[to], to excluded.
SInt64 RunWidth(UniChar const* units, SInt32 length, SInt32 from, SInt32 to) {
  SInt64 width = 0;
  while (from < to) {
    stcCharacter const c = CharacterAt(units, length, from);
    width += c.m_lngWidth;
    from += c.m_lngUnits;
  }
  return width;
}

// Counts the lines of one paragraph wrapped at limit pixels (0: unwrapped) and notes the widest,
// in pixels.
void WrapParagraph(UniChar const* units, SInt32 length, SInt32 limit, SInt32* lines,
                   SInt64* widest) {
  if (length == 0 || limit <= 0) {
    *lines += 1;
    *widest = std::max(*widest, RunWidth(units, length, 0, length));
    return;
  }
  SInt32 start = 0;
  while (start < length) {
    // The characters from start that fit, at least one: they end before end.
    SInt32 end = start;
    SInt64 width = 0;
    while (end < length) {
      stcCharacter const c = CharacterAt(units, length, end);
      if (end > start && width + c.m_lngWidth > limit) break;
      width += c.m_lngWidth;
      end += c.m_lngUnits;
    }
    SInt32 next = end;
    if (end < length) {
      // The last blank that lets the line fit, the break blank dropped; with none the word is cut.
      for (SInt32 i = end; i > start; --i) {
        if (units[i] == kUnitBlank) {
          width = RunWidth(units, length, start, i);
          next = i + 1;
          break;
        }
      }
    }
    *lines += 1;
    *widest = std::max(*widest, width);
    start = next;
  }
}

}  // namespace

OSStatus GetThemeTextDimensions(CFStringRef inString, ThemeFontID inFontID,
                                ThemeDrawState inState, Boolean inWrapToWidth, Point* ioBounds,
                                SInt16* outBaseline) {
  (void)inFontID;
  (void)inState;
  if (inString == nullptr || ioBounds == nullptr) return paramErr;
  CFIndex const length = CFStringGetLength(inString);
  std::vector<UniChar> units(size_t(length) + 1, 0);
  if (length > 0) CFStringGetCharacters(inString, CFRangeMake(0, length), units.data());

  // The pixels a wrapped line holds (a line holds one character all the same); 0: no wrapping.
  SInt32 limit = 0;
  if (inWrapToWidth) limit = std::max<SInt32>(1, SInt32(ioBounds->h));

  SInt32 lines = 0;
  SInt64 widest = 0;
  SInt32 start = 0;
  SInt32 i = 0;
  while (i < length) {
    if (units[size_t(i)] == kUnitCR || units[size_t(i)] == kUnitLF) {
      WrapParagraph(units.data() + start, i - start, limit, &lines, &widest);
      if (units[size_t(i)] == kUnitCR && i + 1 < length && units[size_t(i) + 1] == kUnitLF) ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < length || length == 0) {
    WrapParagraph(units.data() + start, length - start, limit, &lines, &widest);
  }

  SInt64 const width = widest;
  SInt64 const height = SInt64(lines) * kThemeTextLineHeight;
  ioBounds->h = SInt16(std::min<SInt64>(width, kMostPoint));
  ioBounds->v = SInt16(std::min<SInt64>(height, kMostPoint));
  if (outBaseline != nullptr) *outBaseline = -12;
  return noErr;
}

SInt32 ThemeStandInCharacterWidth(UInt32 inCharacter) {
  UInt32 const c = inCharacter;
  bool const wide = (c >= 0x1100 && c <= 0x115F) || c == 0x2329 || c == 0x232A ||
                    (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) || (c >= 0xAC00 && c <= 0xD7A3) ||
                    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE10 && c <= 0xFE19) ||
                    (c >= 0xFE30 && c <= 0xFE6F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6);
  if (wide) return 2 * kThemeTextUnitWidth;
  return c > 0xFFFF ? 2 * kThemeTextUnitWidth : kThemeTextUnitWidth;
}
