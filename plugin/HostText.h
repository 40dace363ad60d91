// HostText: host texts (fmx::Text) turned into the system's own strings and lines, and lines
// joined back into host text.
// Interface: ExtractFromFMXText (the text's UTF-16 units up to a first U+0000),
// ExtractLinesFromFMXText (the pieces between carriage returns, one line each; a line feed is an
// ordinary character) and InsertLinesIntoFMXText (lines joined by CR, none after the last).
// Relies on the host SDK stand-in's text and on core/UniString.h and core/UniStringList.h.
// Keeps no state, never throws of its own; when a working buffer cannot be allocated the text
// (or the one line that needed it) comes out empty (or is left out), and nothing is reported.
#pragma once

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "platform/fmx/FMXText.h"

// The host text's units; an empty text or a failed allocation gives an empty string.
UniString ExtractFromFMXText(fmx::Text const& text);

// Empties the list and appends the text's lines in order: an empty piece gives an empty line,
// so a text ending in CR ends with an empty line and a lone CR gives two. An empty text leaves
// the list empty; a null list is ignored. The host text is not changed.
void ExtractLinesFromFMXText(fmx::Text const& text, UniStringList* lines);

// Appends the lines joined by CR (none after the last) to the text, after what it holds. A null
// or empty list appends nothing. Splitting the result gives the lines back, except that one
// empty line joins to an empty text, which splits into no lines.
void InsertLinesIntoFMXText(UniStringList* lines, fmx::TextAutoPtr& text);
