// MacOSGlue: thin bridges between the system's own types and the operating system.
// Interface: UniStringToCFString / CFStringToUniString / CFStringToHFSUniStr255 (UTF-16 units
// into and out of CoreFoundation strings), IsKeyDown (a bit of a GetKeys key map),
// OSX_ProcessMessages (wait up to a time for one event and dispatch it), GetMacOSVersion
// (the system's version text and numbers), SendURLToBrowser, ShowMessage (a box with one OK).
// Relies on the CoreFoundation, Carbon event, key map, Gestalt and Apple event stand-ins and on
// the dialog engine's MessageDialog. Failure shows only in results: false or an empty text.
// The string bridges touch no shared state and may run on any thread; the rest belong to the
// host's thread.
#pragma once

#include "core/AnsiString.h"
#include "core/UniString.h"
#include "platform/carbon/CarbonEvents.h"
#include "platform/carbon/Keys.h"
#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFString.h"

// A new CoreFoundation string of the text's units; the caller releases it. Null only when
// memory runs out.
CFStringRef UniStringToCFString(UniString text);
// The string's units; a null string gives an empty text.
UniString CFStringToUniString(__CFString const* text);
// Fills name with at most 255 units of the string and answers how many it took (also stored as
// name->length).
int CFStringToHFSUniStr255(__CFString const* text, HFSUniStr255* name);

// True when the key's bit is set in the map; key codes outside 0 to 127 are never down.
bool IsKeyDown(BigEndianLong* keyMap, short keyCode);

// Waits up to seconds for the next event of any kind (types is not applied) and sends it to
// the event dispatcher.
void OSX_ProcessMessages(EventTypeSpec const* types, double seconds);

// "Mac OS X 10.4.9 (Intel)" and the three numbers through the non-null pointers; an empty text
// and zeros when the system does not answer.
AnsiString GetMacOSVersion(int* major, int* minor, int* revision);

// Asks the Finder to open the URL in the default browser; true when the request was sent.
bool SendURLToBrowser(UniString url);

// Shows the UTF-8 text in a message box with one OK button.
void ShowMessage(AnsiString text);
