// UniConverter: loading a 'UNIC' table and converting one item at a time, plus the converter cache.
// Table records (every number big-endian, entries 2 bytes each, a byte value in an entry's second
// byte): tag 0 ends the table; tag 1 (single) and tag 2 (range) carry B and U, then B byte
// entries and U unit entries (a range adds B high byte entries and U high unit entries); any other
// tag is two bytes long. The table is read a few bytes at a time with ReadPartialResource; a read
// that fails or runs past the resource's end ends the table like tag 0, and a record cut short is
// dropped. Records whose counts lie outside 1..8 are read past, not stored: their items could not
// be held in an item and would match the wrong input.
// Lookups start at the byte or unit index (first item entered under the first byte or unit) and
// follow the list in resource order, so the earliest matching item wins.
#include "core/UniConverter.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "platform/carbon/Resources.h"

UniConverter* g_udtTopUniConverter = nullptr;

namespace {

constexpr ResType kUNICType = MakeFourCharCode("UNIC");

// Reads one big-endian 16-bit number at *pos and steps past it; false at the end of the data or on
// a read error. Positions are kept in 64 bits so no stepping can wrap.
bool ReadBE16(Handle handle, int64_t* pos, UInt16* value) {
  if (*pos < 0 || *pos > 0x7FFFFFFF - 2) return false;
  UInt8 raw[2];
  ReadPartialResource(handle, Size(*pos), raw, 2);
  if (ResError() != noErr) return false;
  *value = UInt16((UInt16(raw[0]) << 8) | raw[1]);
  *pos += 2;
  return true;
}

// Reads a list of `count` entries into out (first 8 kept); bytes take an entry's low 8 bits.
template <typename T>
bool ReadList(Handle handle, int64_t* pos, int count, T* out) {
  for (int i = 0; i < count; ++i) {
    UInt16 value;
    if (!ReadBE16(handle, pos, &value)) return false;
    if (i < kConvItemMaxCount) out[i] = T(value);
  }
  return true;
}

// Right shift that gives 0 for shifts of the whole 32-bit width or more.
inline UInt32 ShiftRight(UInt32 value, int bits) { return bits >= 32 ? 0 : value >> bits; }

}  // namespace

UniConverter::UniConverter() {
  std::fill(std::begin(m_pudtByteIndex), std::end(m_pudtByteIndex), nullptr);
  std::fill(std::begin(m_pudtUnitIndex), std::end(m_pudtUnitIndex), nullptr);
}

UniConverter::~UniConverter() {
  ConvItem* item = m_pudtFirstItem;
  while (item != nullptr) {
    ConvItem* next = item->m_pudtNext;
    delete item;
    item = next;
  }
}

bool UniConverter::NewConvItem() {
  ConvItem* item = new (std::nothrow) ConvItem;
  if (item == nullptr) return false;
  if (m_pudtLastItem == nullptr) {
    m_pudtFirstItem = item;
  } else {
    m_pudtLastItem->m_pudtNext = item;
  }
  m_pudtLastItem = item;
  return true;
}

// Enters the last item under its first byte and first unit where no earlier item is entered.
// A range item is entered for first values from its low bound up to, not including, its high one.
void UniConverter::IndexLastItem() {
  ConvItem* item = m_pudtLastItem;
  if (item->m_bytKind == kConvItemSingle) {
    if (m_pudtByteIndex[item->m_bytBytes[0]] == nullptr) m_pudtByteIndex[item->m_bytBytes[0]] = item;
    if (m_pudtUnitIndex[item->m_uintUnits[0]] == nullptr) m_pudtUnitIndex[item->m_uintUnits[0]] = item;
    return;
  }
  for (int k = item->m_bytBytes[0]; k < item->m_bytHighBytes[0]; ++k) {
    if (m_pudtByteIndex[k] == nullptr) m_pudtByteIndex[k] = item;
  }
  for (int k = item->m_uintUnits[0]; k < item->m_uintHighUnits[0]; ++k) {
    if (m_pudtUnitIndex[k] == nullptr) m_pudtUnitIndex[k] = item;
  }
}

bool UniConverter::LoadFromResource(int encoding) {
  // The id is the encoding number plus 128, taken as a 16-bit value.
  ResID const id = ResID(UInt16(UInt32(encoding) + 128u));
  SetResLoad(false);
  Handle handle = GetResource(kUNICType, id);
  SetResLoad(true);
  if (handle == nullptr) return false;

  m_lngEncoding = encoding;
  int64_t pos = 0;
  for (;;) {
    UInt16 tag;
    if (!ReadBE16(handle, &pos, &tag) || tag == 0) break;
    if (tag != kConvItemSingle && tag != kConvItemRange) continue;  // two bytes, read past

    // The record is read whole before it becomes an item, so a cut record leaves nothing behind.
    UInt16 byteCount;
    UInt16 unitCount;
    if (!ReadBE16(handle, &pos, &byteCount) || !ReadBE16(handle, &pos, &unitCount)) break;
    ConvItem record;
    record.m_bytKind = UInt8(tag);
    if (!ReadList(handle, &pos, byteCount, record.m_bytBytes) ||
        !ReadList(handle, &pos, unitCount, record.m_uintUnits)) {
      break;
    }
    if (tag == kConvItemRange && (!ReadList(handle, &pos, byteCount, record.m_bytHighBytes) ||
                                  !ReadList(handle, &pos, unitCount, record.m_uintHighUnits))) {
      break;
    }
    if (byteCount < 1 || byteCount > kConvItemMaxCount || unitCount < 1 ||
        unitCount > kConvItemMaxCount) {
      continue;
    }
    record.m_bytByteCount = UInt8(byteCount);
    record.m_bytUnitCount = UInt8(unitCount);
    if (!NewConvItem()) break;  // out of memory: keep the table read so far
    record.m_pudtNext = nullptr;
    *m_pudtLastItem = record;
    IndexLastItem();
  }
  ReleaseResource(handle);
  return true;
}

int UniConverter::ToUnicode(unsigned char const* bytes, unsigned short* units, int* count,
                            int available) const {
  if (bytes == nullptr || units == nullptr || count == nullptr || *count < 1 || available < 1 ||
      bytes[0] == 0) {
    return 0;
  }
  for (ConvItem const* item = m_pudtByteIndex[bytes[0]]; item != nullptr; item = item->m_pudtNext) {
    int const byteCount = item->m_bytByteCount;
    if (byteCount > available) continue;
    int const n = std::min<int>(item->m_bytUnitCount, *count);
    if (item->m_bytKind == kConvItemSingle) {
      if (std::memcmp(bytes, item->m_bytBytes, size_t(byteCount)) != 0) continue;
      for (int k = 0; k < n; ++k) units[k] = item->m_uintUnits[k];
    } else if (item->m_bytKind == kConvItemRange) {
      bool inside = true;
      UInt32 offset = 0;
      for (int j = 0; j < byteCount && inside; ++j) {
        inside = item->m_bytBytes[j] <= bytes[j] && bytes[j] <= item->m_bytHighBytes[j];
        offset = offset * 256u + UInt32(bytes[j] - item->m_bytBytes[j]);
      }
      if (!inside) continue;
      for (int k = 0; k < n; ++k) {
        units[k] = UInt16(item->m_uintUnits[k] + (ShiftRight(offset, 16 * (n - 1 - k)) & 0xFFFFu));
      }
    } else {
      continue;
    }
    *count = n;
    return byteCount;
  }
  return 0;
}

int UniConverter::FromUnicode(unsigned short const* units, unsigned char* bytes, int* count,
                              int available) const {
  if (units == nullptr || bytes == nullptr || count == nullptr || *count < 1 || available < 1 ||
      units[0] == 0) {
    return 0;
  }
  for (ConvItem const* item = m_pudtUnitIndex[units[0]]; item != nullptr; item = item->m_pudtNext) {
    int const unitCount = item->m_bytUnitCount;
    if (unitCount > available) continue;
    int const n = std::min<int>(item->m_bytByteCount, *count);
    if (item->m_bytKind == kConvItemSingle) {
      if (!std::equal(units, units + unitCount, item->m_uintUnits)) continue;
      for (int k = 0; k < n; ++k) bytes[k] = item->m_bytBytes[k];
    } else if (item->m_bytKind == kConvItemRange) {
      bool inside = true;
      UInt32 offset = 0;
      for (int j = 0; j < unitCount && inside; ++j) {
        inside = item->m_uintUnits[j] <= units[j] && units[j] <= item->m_uintHighUnits[j];
        offset = offset * 65536u + UInt32(units[j] - item->m_uintUnits[j]);
      }
      if (!inside) continue;
      for (int k = 0; k < n; ++k) {
        bytes[k] = UInt8(item->m_bytBytes[k] + (ShiftRight(offset, 8 * (n - 1 - k)) & 0xFFu));
      }
    } else {
      continue;
    }
    *count = n;
    return unitCount;
  }
  return 0;
}

UniConverter* GetUniConverter(int encoding) {
  UniConverter* last = nullptr;
  for (UniConverter* converter = g_udtTopUniConverter; converter != nullptr;
       converter = converter->m_pudtNext) {
    if (converter->m_lngEncoding == encoding) return converter;
    last = converter;
  }
  UniConverter* converter = new (std::nothrow) UniConverter;
  if (converter == nullptr) return nullptr;
  if (last == nullptr) {
    g_udtTopUniConverter = converter;
  } else {
    last->m_pudtNext = converter;
  }
  if (converter->LoadFromResource(encoding)) return converter;
  // A failed load is not remembered: the next request reads the resource chain again.
  if (last == nullptr) {
    g_udtTopUniConverter = nullptr;
  } else {
    last->m_pudtNext = nullptr;
  }
  delete converter;
  return nullptr;
}

void FreeUniConverters() {
  UniConverter* converter = g_udtTopUniConverter;
  g_udtTopUniConverter = nullptr;
  while (converter != nullptr) {
    UniConverter* next = converter->m_pudtNext;
    delete converter;
    converter = next;
  }
}
