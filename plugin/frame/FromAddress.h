// FromAddress: the sender preference "From" as the configuration dialog shows it, a display name
// and a bare address in two fields, and the one text the two fields make again.
// Interface: SplitFromAddress(from, name, address), ComposeFromAddress(name, address).
// Relies on the address validation (mime/CleanOneEmailAddress.h). Host thread only (the
// validator reads the preference store); never fails: a sender the validator refuses gives two
// empty fields.
#pragma once

#include "core/UniString.h"

// The validator's cleaned form split at its angle brackets (the first outside quoted strings and
// comments): the name before "<" and any comment after ">" (each trimmed, a quoted string in
// them without its quotes and backslash escapes) joined by a blank, and the address between
// them. Without angle brackets the whole cleaned text is the address, without the square
// brackets it may have been given in.
void SplitFromAddress(UniString const& from, UniString* name, UniString* address);

// The name as a quoted string ('"' and '\' escaped by a backslash), a blank and the address in
// angle brackets, each part trimmed; either part may be missing, and two empty fields give an
// empty text.
UniString ComposeFromAddress(UniString const& name, UniString const& address);
