// MimeFuzzInput: how the message fuzz targets read their input: the bytes from an offset as
// little-endian UTF-16 units, cut into texts at U+FFFF (the last text runs to the end).
// Header-only; never fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/UniString.h"

inline std::vector<UniString> MimeFuzzTexts(uint8_t const* data, size_t size, size_t offset) {
  std::vector<UniString> texts;
  std::vector<unsigned short> units;
  auto finish = [&]() {
    texts.push_back(units.empty() ? UniString() : UniString(units.data(), int(units.size())));
    units.clear();
  };
  for (size_t i = offset; i + 1 < size; i += 2) {
    unsigned short const u = static_cast<unsigned short>(data[i] | (data[i + 1] << 8));
    if (u == 0xFFFF) {
      finish();
    } else {
      units.push_back(u);
    }
  }
  finish();
  return texts;
}
