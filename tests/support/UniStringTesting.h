// UniStringTesting: test helpers for UniString. PrintTo lets GoogleTest show a UniString in
// failure messages as its UTF-8 text with its length in units (controls and zero units written as
// \uXXXX); Units makes one from a UTF-16 literal, zero units included.
// Header-only; relies on core/UniString.h.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>

#include "core/UniString.h"

inline void PrintTo(UniString const& text, std::ostream* os) {
  UniString shown;
  for (int i = 1; i <= text.Length(); ++i) {
    unsigned short const unit = text[i];
    if (unit < 0x20 || unit == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", unit);
      shown += UniString(escape);
    } else {
      shown += UniString(unit);
    }
  }
  *os << "\"" << shown.GetAnsiString(1).c_str() << "\" (" << text.Length() << " units)";
}

inline UniString Units(std::u16string const& text) {
  return UniString(reinterpret_cast<unsigned short const*>(text.data()),
                   static_cast<int>(text.size()));
}
