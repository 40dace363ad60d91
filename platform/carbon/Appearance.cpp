// Appearance: the fixed text metric behind GetThemeTextDimensions (see Appearance.h).
// Lines are cut at CR, LF or CR LF; each is then wrapped greedily when a wrap width is given.
#include "platform/carbon/Appearance.h"

#include <algorithm>
#include <vector>

#include "platform/carbon/Files.h"

namespace {

constexpr UniChar kUnitCR = 13;
constexpr UniChar kUnitLF = 10;
constexpr UniChar kUnitBlank = ' ';
constexpr SInt32 kMostPoint = 32767;

// Counts the lines of one paragraph wrapped at capacity units and notes the widest, in units.
void WrapParagraph(UniChar const* units, SInt32 length, SInt32 capacity, SInt32* lines,
                   SInt32* widest) {
  if (length == 0 || capacity <= 0) {
    *lines += 1;
    *widest = std::max(*widest, length);
    return;
  }
  SInt32 start = 0;
  while (start < length) {
    SInt32 lineLength;
    SInt32 next;
    if (length - start <= capacity) {
      lineLength = length - start;
      next = length;
    } else {
      // The last blank that lets the line hold at most capacity units, the break blank dropped.
      SInt32 blank = -1;
      for (SInt32 i = start + capacity; i > start; --i) {
        if (units[i] == kUnitBlank) {
          blank = i;
          break;
        }
      }
      if (blank > start) {
        lineLength = blank - start;
        next = blank + 1;
      } else {
        lineLength = capacity;  // one word longer than the line: cut it
        next = start + capacity;
      }
    }
    *lines += 1;
    *widest = std::max(*widest, lineLength);
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

  // Units a wrapped line holds; at least one. 0 means no wrapping.
  SInt32 capacity = 0;
  if (inWrapToWidth) capacity = std::max<SInt32>(1, SInt32(ioBounds->h) / kThemeTextUnitWidth);

  SInt32 lines = 0;
  SInt32 widest = 0;
  SInt32 start = 0;
  SInt32 i = 0;
  while (i < length) {
    if (units[size_t(i)] == kUnitCR || units[size_t(i)] == kUnitLF) {
      WrapParagraph(units.data() + start, i - start, capacity, &lines, &widest);
      if (units[size_t(i)] == kUnitCR && i + 1 < length && units[size_t(i) + 1] == kUnitLF) ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < length || length == 0) {
    WrapParagraph(units.data() + start, length - start, capacity, &lines, &widest);
  }

  SInt64 const width = SInt64(widest) * kThemeTextUnitWidth;
  SInt64 const height = SInt64(lines) * kThemeTextLineHeight;
  ioBounds->h = SInt16(std::min<SInt64>(width, kMostPoint));
  ioBounds->v = SInt16(std::min<SInt64>(height, kMostPoint));
  if (outBaseline != nullptr) *outBaseline = -12;
  return noErr;
}
