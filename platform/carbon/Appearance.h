// Appearance: the Appearance Manager's text measuring, with a fixed metric instead of a font, and
// the theme cursor and theme drawing of the headless window server, which are recorded for tests
// (WindowsTesting.h) instead of shown.
// Interface: GetThemeTextDimensions measures a string as the dialog font would show it: an East
// Asian wide or fullwidth character is 16 pixels wide, every other UTF-16 unit 8 (so a surrogate
// pair is 16 too), and every line 16 pixels high; CR, LF and CR LF each end a line (a text ending
// in one has no empty line after it). With inWrapToWidth, ioBounds->h on entry is the wrap width
// and lines wrap greedily at blanks to at most that many pixels: the blank at a break is not
// counted, a word longer than a line is cut between characters (never inside a surrogate pair),
// and a line holds at least one character. On return ioBounds->h is the widest line's width and
// ioBounds->v the number of lines times 16 (an empty text is 0 x 16); both stop at 32767, the
// most a QuickDraw point holds. ThemeStandInCharacterWidth, the stand-in's own, tells the width
// of one character, for a tool that draws texts where the layout put them.
// Relies on the CoreFoundation string stand-in. Never throws; a null string or bounds
// answers paramErr (Files.h).
#pragma once

#include "platform/carbon/Finder.h"
#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFString.h"

typedef UInt16 ThemeFontID;
enum : ThemeFontID { kThemeSystemFont = 0, kThemeSmallSystemFont = 1 };

typedef UInt32 ThemeDrawState;
enum : ThemeDrawState { kThemeStateInactive = 0, kThemeStateActive = 1, kThemeStatePressed = 2 };

enum : SInt32 { kThemeTextUnitWidth = 8, kThemeTextLineHeight = 16 };

// outBaseline, when given, gets the negative distance from the first line's top to its baseline.
OSStatus GetThemeTextDimensions(CFStringRef inString, ThemeFontID inFontID,
                                ThemeDrawState inState, Boolean inWrapToWidth, Point* ioBounds,
                                SInt16* outBaseline);

// The stand-in's own, not the platform's: the pixels the fixed metric gives a character (a
// Unicode scalar value). 16 for the wide and fullwidth ones: Hangul Jamo U+1100-115F, the angle
// brackets U+2329-232A, CJK radicals to Yi U+2E80-A4CF but for U+303F (a half-width space), Hangul
// syllables U+AC00-D7A3, CJK compatibility ideographs U+F900-FAFF, vertical forms U+FE10-FE19,
// CJK compatibility and small forms U+FE30-FE6F, fullwidth forms U+FF00-FF60 and fullwidth signs
// U+FFE0-FFE6; 16 as well for a character beyond U+FFFF (two units); 8 for every other.
SInt32 ThemeStandInCharacterWidth(UInt32 inCharacter);

// ---- theme cursors and drawing (recorded by the window server) ----
typedef UInt32 ThemeCursor;
enum : ThemeCursor {
  kThemeArrowCursor = 0,
  kThemeCopyArrowCursor = 1,
  kThemeAliasArrowCursor = 2,
  kThemeContextualMenuArrowCursor = 3,
  kThemeIBeamCursor = 4,
  kThemeCrossCursor = 5,
  kThemePlusCursor = 6,
  kThemeWatchCursor = 7,
  kThemePointingHandCursor = 10
};
// Records the cursor (there is no screen to show it on): Navigation Services' record of every
// call (NavigationTesting.h) and the window server's current cursor (WindowsTesting.h).
OSStatus SetThemeCursor(ThemeCursor inCursor);
OSStatus DrawThemeEditTextFrame(Rect const* inRect, ThemeDrawState inState);
OSStatus DrawThemeFocusRect(Rect const* inRect, Boolean inHasFocus);
