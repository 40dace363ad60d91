// MimePrefs: how the message composition units read list preferences: as copies taken under the
// preference store's lock, since the writer runs on the SMTP worker thread, where a reload may
// replace the store's own lists while a copy is being read.
// Relies on the preference store of the plug-in's lower library (plugin/clsPrefs.h).
#pragma once

#include "core/UniString.h"
#include "core/UniStringList.h"

// Replaces *out with a copy of the named list preference; false (and *out emptied) when no
// preference set holds the name or out is null.
bool CopyListPref(UniString const& name, UniStringList* out);
