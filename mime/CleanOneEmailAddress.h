// CleanOneEmailAddress: the one check every e-mail address passes before it is used.
// Interface: CleanOneEmailAddress decides whether a text is a usable address and writes it in
// normal form: an optional display name, the address in angle brackets (or bare, or in the
// square or angle brackets it came in), an optional trailing comment. CheckEmailEnclosure
// balances one pair of enclosing characters around a name or comment; PosOutsideQuotes finds a
// character that stands outside quoted strings and comments.
// A quoted local part is taken whole (blanks included) when it is an RFC 5321 quoted string of
// printable ASCII without angle brackets, and refused otherwise; a normal form is given only when
// clsSMTPEmail::SplitEmailAddress, which both the envelope and the header use, finds in it the
// very name, address and comment it was built from, so both name the same mailbox.
// Relies on mime/clsRegEx.h (Boost.Regex) for the four address expressions, on
// mime/clsSMTPEmail.h for the splitter and on the preference "DisableEmailValidation" of the
// preference store (plugin/clsPrefs.h).
// A text that names more than one mailbox (a second "@" outside quoted strings and comments) is
// refused also while validation is off: the envelope takes one mailbox per entry.
// Fails quietly: an unusable address gives an empty cleaned address and the trimmed input as
// error output; only an expression that cannot be compiled gives an "ERROR: " text. An address
// holding a line break or a zero character is never usable while validation is on, so a cleaned
// address can always be written into a header line as it stands.
#pragma once

#include "core/UniString.h"

// Trims the text and makes sure it both opens with `open` and closes with `close` when it does
// either; a lone character that is both becomes two. Other texts come back trimmed.
UniString CheckEmailEnclosure(UniString text, unsigned short open, unsigned short close);

// The first `wanted` unit from start on (1-based) that stands outside quoted strings and comments,
// where a backslash inside them takes the next unit as it stands; 0 when there is none.
int PosOutsideQuotes(UniString const& text, unsigned short wanted, int start);

// cleaned: the address in normal form, empty when the address is not usable.
// error: what the caller reports when cleaned is empty: the trimmed address, or
// "ERROR: CleanOneEmailAddress: " and the reason when an expression could not be used.
// Either pointer may be null.
void CleanOneEmailAddress(UniString address, UniString* cleaned, UniString* error);
