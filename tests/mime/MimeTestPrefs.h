// MimeTestPrefs: a fresh global preference store for each test that reads preferences through
// the message (the store keeps what it loaded or was given, and offers no way to forget a name).
// Header-only; the tests that use it run on a temporary file-system root, so the store never
// reads the user's own preference files.
#pragma once

#include <new>

#include "plugin/clsPrefs.h"

inline void ResetPrefsForTesting() {
  g_udtPrefs.~clsPrefs();
  new (&g_udtPrefs) clsPrefs();
}
