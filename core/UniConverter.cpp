// UniConverter: loading a 'UNIC' table and converting one item at a time, plus the converter cache.
// Table records (every number big-endian, entries 2 bytes each, a byte value in an entry's second
// byte): tag 0 ends the table; tag 1 (single) and tag 2 (range) carry B and U, then B byte
// entries and U unit entries (a range adds B high byte entries and U high unit entries); any other
// tag is two bytes long. The table is read a few bytes at a time with ReadPartialResource; a read
// that fails or runs past the resource's end ends the table like tag 0, and a record cut short is
// dropped. Records whose counts lie outside 1..8 are read past, not stored: their items could not
// be held in an item and would match the wrong input.
// Lookups start at the byte or unit index (first item entered under the first byte or unit) and
// follow the list in resource order, so the earliest matching item wins. For bytes to units a
// lookup built after loading holds, per first byte (and per second byte where many items share a
// first byte), only the items of that walk that can match, so multi-byte code pages need not
// test every item of a lead byte. On top of it, and of the unit index for units to bytes, quick
// tables built at load hold the walk's first match for every one- or two-byte input and every
// unit, wherever that is one unit or at most two bytes; the bulk conversions read them directly.
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

// Matches one item against the bytes: on a match writes at most *count units, sets *count to
// their number and answers the item's byte count; 0 when it does not match.
int MatchBytes(ConvItem const* item, unsigned char const* bytes, unsigned short* units, int* count,
               int available) {
  int const byteCount = item->m_bytByteCount;
  if (byteCount > available) return 0;
  int const n = std::min<int>(item->m_bytUnitCount, *count);
  if (item->m_bytKind == kConvItemSingle) {
    if (std::memcmp(bytes, item->m_bytBytes, size_t(byteCount)) != 0) return 0;
    for (int k = 0; k < n; ++k) units[k] = item->m_uintUnits[k];
  } else if (item->m_bytKind == kConvItemRange) {
    bool inside = true;
    UInt32 offset = 0;
    for (int j = 0; j < byteCount && inside; ++j) {
      inside = item->m_bytBytes[j] <= bytes[j] && bytes[j] <= item->m_bytHighBytes[j];
      offset = offset * 256u + UInt32(bytes[j] - item->m_bytBytes[j]);
    }
    if (!inside) return 0;
    for (int k = 0; k < n; ++k) {
      units[k] = UInt16(item->m_uintUnits[k] + (ShiftRight(offset, 16 * (n - 1 - k)) & 0xFFFFu));
    }
  } else {
    return 0;
  }
  *count = n;
  return byteCount;
}

// First bytes with more items than this that can match get a table per second byte.
constexpr uint32_t kPairTableThreshold = 4;
// Most entries the lookup may hold (32 MiB of pointers); a table that needs more (only ranges
// spanning most first and second bytes can) is looked up by walking the list.
constexpr size_t kMaxLookupItems = size_t(1) << 22;

}  // namespace

UniConverter::UniConverter() {
  std::fill(std::begin(m_pudtByteIndex), std::end(m_pudtByteIndex), nullptr);
  std::fill(std::begin(m_pudtUnitIndex), std::end(m_pudtUnitIndex), nullptr);
  std::fill(std::begin(m_lngPairTables), std::end(m_lngPairTables), -1);
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
  if (item->m_bytKind == kConvItemSingle || item->m_bytKind == kConvItemRange) {
    int const high = item->m_bytKind == kConvItemRange ? item->m_bytHighBytes[0] : item->m_bytBytes[0];
    for (int k = item->m_bytBytes[0]; k <= high; ++k) {
      m_bytLongestItem[k] = std::max(m_bytLongestItem[k], item->m_bytByteCount);
    }
    m_bytLongestOfAll = std::max(m_bytLongestOfAll, item->m_bytByteCount);
  }
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
  BuildByteLookup();
  BuildQuickUnits();
  return true;
}

// The walk from byte index entry e of b meets every item after e; of those only items whose first
// byte can be b can match, and of those, when the second byte c is in the input, only items of one
// byte or whose second byte can be c. Keeping exactly those, in list order, keeps the first match.
// Without memory for the lookup ToUnicode walks the list instead.
void UniConverter::BuildByteLookup() {
  m_bolByteLookup = false;
  m_vecLookupItems.clear();
  m_vecPairSpans.clear();
  std::fill(std::begin(m_udtLeadSpans), std::end(m_udtLeadSpans), stcItemSpan());
  std::fill(std::begin(m_lngPairTables), std::end(m_lngPairTables), -1);
  try {
    // Position of every byte index entry in the list, so one pass finds each first byte's items.
    std::vector<ConvItem const*> ordered;
    for (ConvItem const* item = m_pudtFirstItem; item != nullptr; item = item->m_pudtNext) {
      ordered.push_back(item);
    }
    // An item is entered in the byte index only under first bytes it can match.
    size_t entry[256];
    std::fill(std::begin(entry), std::end(entry), ordered.size());
    for (size_t k = 0; k < ordered.size(); ++k) {
      ConvItem const* item = ordered[k];
      unsigned const low = item->m_bytBytes[0];
      unsigned const high = item->m_bytKind == kConvItemRange ? item->m_bytHighBytes[0] : low;
      for (unsigned b = low; b <= high; ++b) {
        if (m_pudtByteIndex[b] == item && entry[b] == ordered.size()) entry[b] = k;
      }
    }
    std::vector<std::vector<ConvItem const*>> lead(256);
    size_t total = 0;
    for (size_t k = 0; k < ordered.size(); ++k) {
      ConvItem const* item = ordered[k];
      if (item->m_bytKind != kConvItemSingle && item->m_bytKind != kConvItemRange) continue;
      unsigned const low = item->m_bytBytes[0];
      unsigned const high = item->m_bytKind == kConvItemSingle ? low : item->m_bytHighBytes[0];
      for (unsigned b = low < 1 ? 1 : low; b <= high; ++b) {
        if (entry[b] <= k) lead[b].push_back(item);
      }
      if (high >= low) total += high - low + 1;
      if (total > kMaxLookupItems) return;
    }
    std::vector<std::vector<ConvItem const*>> pair(256);
    for (int b = 1; b < 256; ++b) {
      std::vector<ConvItem const*> const& items = lead[b];
      m_udtLeadSpans[b].m_lngStart = uint32_t(m_vecLookupItems.size());
      m_udtLeadSpans[b].m_lngCount = uint32_t(items.size());
      m_vecLookupItems.insert(m_vecLookupItems.end(), items.begin(), items.end());
      bool severalBytes = false;
      for (ConvItem const* item : items) severalBytes = severalBytes || item->m_bytByteCount >= 2;
      if (!severalBytes || items.size() <= kPairTableThreshold) continue;
      for (auto& list : pair) list.clear();
      for (ConvItem const* item : items) {
        unsigned low = 0;
        unsigned high = 255;
        if (item->m_bytByteCount >= 2) {
          low = item->m_bytBytes[1];
          high = item->m_bytKind == kConvItemRange ? item->m_bytHighBytes[1] : low;
        }
        for (unsigned c = low; c <= high; ++c) pair[c].push_back(item);
        if (high >= low) total += high - low + 1;
        if (total > kMaxLookupItems) {
          m_vecLookupItems.clear();
          m_vecPairSpans.clear();
          std::fill(std::begin(m_lngPairTables), std::end(m_lngPairTables), -1);
          return;
        }
      }
      m_lngPairTables[b] = int32_t(m_vecPairSpans.size() / 256);
      for (auto const& list : pair) {
        stcItemSpan span;
        span.m_lngStart = uint32_t(m_vecLookupItems.size());
        span.m_lngCount = uint32_t(list.size());
        m_vecLookupItems.insert(m_vecLookupItems.end(), list.begin(), list.end());
        m_vecPairSpans.push_back(span);
      }
    }
    m_bolByteLookup = true;
    BuildQuickBytes(lead);
  } catch (std::bad_alloc const&) {
    m_bolQuickBytes = false;
    m_vecQuickPairs.clear();
    m_vecLookupItems.clear();
    m_vecPairSpans.clear();
    std::fill(std::begin(m_lngPairTables), std::end(m_lngPairTables), -1);
  }
}

// Every answer of the table is the first match of the lookup above for that input, so the quick
// path gives what the walk gives; only answers of one unit are kept, the rest say "ask".
void UniConverter::BuildQuickBytes(std::vector<std::vector<ConvItem const*>> const& lead) {
  m_bolQuickBytes = false;
  m_vecQuickPairs.clear();
  auto resolve = [](ConvItem const* const* first, size_t n, unsigned char const* input,
                    int available) {
    stcQuickUnit answer;
    for (size_t k = 0; k < n; ++k) {
      unsigned short units[kConvItemMaxCount];
      int count = kConvItemMaxCount;
      int const used = MatchBytes(first[k], input, units, &count, available);
      if (used <= 0) continue;
      answer.m_bytKind = count == 1 ? kQuickFound : kQuickAsk;
      answer.m_uintUnit = units[0];
      answer.m_bytUsed = UInt8(used);
      break;
    }
    return answer;
  };
  m_udtQuickLead[0] = stcQuickUnit();  // a zero byte never matches
  m_udtQuickAlone[0] = stcQuickUnit();
  for (int b = 1; b < 256; ++b) {
    std::vector<ConvItem const*> const& items = lead[size_t(b)];
    UInt8 longest = 0;
    for (ConvItem const* item : items) longest = std::max(longest, item->m_bytByteCount);
    unsigned char input[2] = {UInt8(b), 0};
    m_udtQuickAlone[b] = resolve(items.data(), items.size(), input, 1);
    if (longest > 2) {
      m_udtQuickLead[b].m_bytKind = kQuickAsk;
    } else if (longest < 2) {
      m_udtQuickLead[b] = m_udtQuickAlone[b];
    } else {
      m_udtQuickLead[b].m_bytKind = kQuickPair;
      m_udtQuickLead[b].m_uintUnit = UInt16(m_vecQuickPairs.size() / 256);
      for (int c = 0; c < 256; ++c) {
        input[1] = UInt8(c);
        if (m_lngPairTables[b] >= 0) {
          stcItemSpan const span = m_vecPairSpans[size_t(m_lngPairTables[b]) * 256 + size_t(c)];
          m_vecQuickPairs.push_back(
              resolve(m_vecLookupItems.data() + span.m_lngStart, span.m_lngCount, input, 2));
        } else {
          m_vecQuickPairs.push_back(resolve(items.data(), items.size(), input, 2));
        }
      }
    }
  }
  m_bolQuickBytes = true;
}

// FromUnicode walks from a unit's index entry through the rest of the list. Going through the
// items once in list order, a unit's answer is the first item at or after its entry whose first
// unit range holds it: of one unit, its bytes; of several, the following units decide ("ask").
void UniConverter::BuildQuickUnits() {
  m_bolQuickUnits = false;
  m_vecQuickPages.clear();
  try {
    std::vector<ConvItem const*> ordered;
    for (ConvItem const* item = m_pudtFirstItem; item != nullptr; item = item->m_pudtNext) {
      ordered.push_back(item);
    }
    // The list position of each unit's index entry; units without one never match.
    std::vector<size_t> entry(65536, ordered.size());
    {
      std::vector<std::pair<ConvItem const*, size_t>> byItem;
      byItem.reserve(ordered.size());
      for (size_t k = 0; k < ordered.size(); ++k) byItem.push_back({ordered[k], k});
      std::sort(byItem.begin(), byItem.end());
      for (size_t u = 1; u < 65536; ++u) {
        ConvItem const* first = m_pudtUnitIndex[u];
        if (first == nullptr) continue;
        auto it = std::lower_bound(byItem.begin(), byItem.end(),
                                   std::pair<ConvItem const*, size_t>(first, 0));
        if (it != byItem.end() && it->first == first) entry[u] = it->second;
      }
    }
    std::vector<stcQuickBytes> answers(65536);
    std::vector<bool> decided(65536, false);
    size_t total = 0;
    for (size_t k = 0; k < ordered.size(); ++k) {
      ConvItem const* item = ordered[k];
      if (item->m_bytKind != kConvItemSingle && item->m_bytKind != kConvItemRange) continue;
      unsigned const low = item->m_uintUnits[0];
      unsigned const high = item->m_bytKind == kConvItemRange ? item->m_uintHighUnits[0] : low;
      if (high >= low) total += high - low + 1;
      if (total > kMaxLookupItems) return;
      for (unsigned u = low < 1 ? 1 : low; u <= high; ++u) {
        if (decided[u] || entry[u] > k) continue;
        decided[u] = true;
        stcQuickBytes& answer = answers[u];
        int const n = item->m_bytByteCount;
        if (item->m_bytUnitCount != 1 || n > 2) {
          answer.m_bytKind = kQuickAsk;
          continue;
        }
        UInt32 const offset = u - low;
        for (int j = 0; j < n; ++j) {
          answer.m_bytBytes[j] = item->m_bytKind == kConvItemSingle
                                     ? item->m_bytBytes[j]
                                     : UInt8(item->m_bytBytes[j] + (ShiftRight(offset, 8 * (n - 1 - j)) & 0xFFu));
        }
        answer.m_bytCount = UInt8(n);
        answer.m_bytKind = kQuickFound;
      }
    }
    // Page 0 answers "no match" for every unit; a high byte with any other answer gets its own.
    m_vecQuickPages.assign(256, stcQuickBytes());
    for (size_t high = 0; high < 256; ++high) {
      bool any = false;
      for (size_t low = 0; low < 256 && !any; ++low) any = answers[high * 256 + low].m_bytKind != kQuickNone;
      m_uintQuickPage[high] = 0;
      if (!any) continue;
      m_uintQuickPage[high] = UInt16(m_vecQuickPages.size() / 256);
      m_vecQuickPages.insert(m_vecQuickPages.end(), answers.begin() + long(high * 256),
                             answers.begin() + long(high * 256 + 256));
    }
    m_bolQuickUnits = true;
  } catch (std::bad_alloc const&) {
    m_vecQuickPages.clear();
  }
}

int UniConverter::QuickDecodeRun(unsigned char const* bytes, int length, unsigned short* out,
                                 size_t room, size_t* produced) const {
  *produced = 0;
  if (!m_bolQuickBytes || bytes == nullptr || out == nullptr) return 0;
  int i = 0;
  size_t n = 0;
  while (i < length && n < room) {
    // A first byte's own answer always takes that one byte; only pairs take two.
    stcQuickUnit const* entry = &m_udtQuickLead[bytes[i]];
    if (entry->m_bytKind == kQuickFound) {
      out[n++] = entry->m_uintUnit;
      ++i;
      continue;
    }
    if (entry->m_bytKind == kQuickPair) {
      entry = i + 1 < length ? &m_vecQuickPairs[std::size_t(entry->m_uintUnit) * 256 + bytes[i + 1]]
                             : &m_udtQuickAlone[bytes[i]];
      if (entry->m_bytKind == kQuickFound) {
        out[n++] = entry->m_uintUnit;
        // A branch, not an addition of the loaded count: the next byte's load need not wait.
        if (entry->m_bytUsed == 2) {
          i += 2;
        } else {
          ++i;
        }
        continue;
      }
    }
    if (entry->m_bytKind != kQuickNone) break;
    out[n++] = '?';
    ++i;
  }
  *produced = n;
  return i;
}

int UniConverter::QuickEncodeRun(unsigned short const* units, int length, unsigned char* out,
                                 size_t room, size_t* produced) const {
  *produced = 0;
  if (!m_bolQuickUnits || units == nullptr || out == nullptr) return 0;
  int i = 0;
  size_t n = 0;
  while (i < length && n + 2 <= room) {
    stcQuickBytes const& entry =
        m_vecQuickPages[std::size_t(m_uintQuickPage[units[i] >> 8]) * 256 + (units[i] & 0xFF)];
    if (entry.m_bytKind == kQuickFound) {
      out[n] = entry.m_bytBytes[0];
      out[n + 1] = entry.m_bytBytes[1];
      n += entry.m_bytCount;
    } else if (entry.m_bytKind == kQuickNone) {
      out[n++] = '?';
    } else {
      break;
    }
    ++i;
  }
  *produced = n;
  return i;
}

int UniConverter::WalkToUnicode(unsigned char const* bytes, unsigned short* units, int* count,
                                int available) const {
  for (ConvItem const* item = m_pudtByteIndex[bytes[0]]; item != nullptr; item = item->m_pudtNext) {
    int const used = MatchBytes(item, bytes, units, count, available);
    if (used > 0) return used;
  }
  return 0;
}

int UniConverter::ToUnicode(unsigned char const* bytes, unsigned short* units, int* count,
                            int available) const {
  if (bytes == nullptr || units == nullptr || count == nullptr || *count < 1 || available < 1 ||
      bytes[0] == 0) {
    return 0;
  }
  int const quick = QuickToUnicode(bytes, available, units);
  if (quick >= 0) {
    if (quick > 0) *count = 1;
    return quick;
  }
  if (!m_bolByteLookup) return WalkToUnicode(bytes, units, count, available);
  stcItemSpan span = m_udtLeadSpans[bytes[0]];
  // The second byte narrows the items only when it is part of the input.
  int32_t const pairTable = m_lngPairTables[bytes[0]];
  if (pairTable >= 0 && available >= 2) span = m_vecPairSpans[size_t(pairTable) * 256 + bytes[1]];
  ConvItem const* const* item = m_vecLookupItems.data() + span.m_lngStart;
  for (ConvItem const* const* end = item + span.m_lngCount; item != end; ++item) {
    int const used = MatchBytes(*item, bytes, units, count, available);
    if (used > 0) return used;
  }
  return 0;
}

int UniConverter::IncompleteTail(unsigned char const* bytes, int length) const {
  if (bytes == nullptr || length < 1 || m_bytLongestOfAll < 2) return 0;
  int i = 0;
  while (i < length) {
    int const left = length - i;
    // Fewer bytes left than an item of this first byte may take: the cut may have split it.
    if (left < m_bytLongestItem[bytes[i]]) return left;
    unsigned short units[kConvItemMaxCount];
    int count = kConvItemMaxCount;
    int const used = ToUnicode(bytes + i, units, &count, left);
    i += used > 0 ? used : 1;
  }
  return 0;
}

int UniConverter::FromUnicode(unsigned short const* units, unsigned char* bytes, int* count,
                              int available) const {
  if (units == nullptr || bytes == nullptr || count == nullptr || *count < 1 || available < 1 ||
      units[0] == 0) {
    return 0;
  }
  int const quick = QuickFromUnicode(units, bytes, count);
  if (quick >= 0) return quick;
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
