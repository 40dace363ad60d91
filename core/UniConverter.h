// UniConverter: one 8-bit or multi-byte code page as a list of items that map byte sequences to
// UTF-16 units and back, read from a 'UNIC' resource (id = encoding number + 128) of the current
// resource chain, plus the process-wide cache of loaded converters (GetUniConverter,
// FreeUniConverters, head g_udtTopUniConverter).
// Interface: ToUnicode/FromUnicode convert one item at the given position and answer the number of
// input bytes/units consumed, 0 when nothing matches; they never read past `available` inputs.
// ToUnicode answers exactly what the walk from the byte index gives, through a lookup built at
// load time that leaves out only items that cannot match the first one or two bytes.
// Relies on the Resource Manager stand-in (platform/carbon/Resources.h). A missing resource makes
// GetUniConverter answer null (looked up again on the next request); a damaged or truncated table
// ends where it stops making sense. The cache takes no lock: one thread at a time converts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/carbon/MacTypes.h"

// Item kinds.
enum : UInt8 { kConvItemNone = 0, kConvItemSingle = 1, kConvItemRange = 2 };

// Most bytes and units one item holds on each side.
constexpr int kConvItemMaxCount = 8;

// One mapping. A single item maps its byte sequence to its unit sequence; a range item maps every
// sequence between its low and high values, position by position, by offset.
struct ConvItem {
  UInt8 m_bytKind = kConvItemNone;
  UInt8 m_bytByteCount = 0;
  UInt8 m_bytUnitCount = 0;
  UInt8 m_bytBytes[kConvItemMaxCount] = {};
  UInt8 m_bytHighBytes[kConvItemMaxCount] = {};
  UInt16 m_uintUnits[kConvItemMaxCount] = {};
  UInt16 m_uintHighUnits[kConvItemMaxCount] = {};
  ConvItem* m_pudtNext = nullptr;
};

class UniConverter {
 public:
  UniConverter();
  ~UniConverter();
  UniConverter(UniConverter const&) = delete;
  UniConverter& operator=(UniConverter const&) = delete;

  // Reads the 'UNIC' table of the encoding into this (empty) converter; false when the resource
  // is not in the current resource chain.
  bool LoadFromResource(int encoding);

  // Converts the item at bytes[0]. On entry *count is the room in units, `available` the number
  // of bytes from `bytes` on. On a match writes at most *count units, sets *count to their number
  // and answers the bytes consumed; 0 when nothing matches (a zero byte never matches).
  int ToUnicode(unsigned char const* bytes, unsigned short* units, int* count, int available) const;

  // The mirror: *count is the room in bytes, `available` the number of units from `units` on.
  int FromUnicode(unsigned short const* units, unsigned char* bytes, int* count, int available) const;

  // Of a text cut off after `length` bytes: the bytes at its end that begin a character the cut
  // may have split, read from bytes[0] on as ToUnicode reads them (each step one item, or one
  // byte where nothing matches). 0 when the text ends where every item it could start is whole,
  // always 0 for a table of one-byte items. A reader that converts a text in pieces keeps those
  // bytes back for the next piece, and converts the same text as in one piece.
  int IncompleteTail(unsigned char const* bytes, int length) const;

  // The common case of ToUnicode / FromUnicode straight from tables built at load, for the bulk
  // conversions: the input used (> 0) with the one unit, or the bytes, set; 0 when nothing
  // matches; -1 when the tables leave the answer to the full call (an item of several units, or
  // of more bytes than the tables hold, or no tables).
  inline int QuickToUnicode(unsigned char const* bytes, int available, unsigned short* unit) const;
  inline int QuickFromUnicode(unsigned short const* units, unsigned char* bytes, int* count) const;

  // Runs of the quick conversions, as the bulk conversions make them: each character is its
  // table answer, or '?' where nothing matches, up to the end of the input, a full output or the
  // first character the tables leave to the full call. The input used is answered and *produced
  // set to the output written (units or bytes).
  int QuickDecodeRun(unsigned char const* bytes, int length, unsigned short* out, size_t room,
                     size_t* produced) const;
  int QuickEncodeRun(unsigned short const* units, int length, unsigned char* out, size_t room,
                     size_t* produced) const;

  // Appends an empty item (kind and counts 0) and makes it the last one; false when out of memory.
  bool NewConvItem();

  int32_t Encoding() const { return m_lngEncoding; }
  // The most bytes of any item of the table (0 for an empty table).
  int LongestItemBytes() const { return m_bytLongestOfAll; }

 private:
  // A run of entries of m_vecLookupItems.
  struct stcItemSpan {
    uint32_t m_lngStart = 0;
    uint32_t m_lngCount = 0;
  };

  // What one table entry of the quick conversions says.
  enum : UInt8 { kQuickNone = 0, kQuickFound = 1, kQuickAsk = 2, kQuickPair = 3 };
  // Bytes to a unit: the unit and the bytes it takes. kQuickPair: the answer depends on the
  // second byte, m_uintUnit numbers the table of m_vecQuickPairs to look in.
  struct stcQuickUnit {
    UInt16 m_uintUnit = 0;
    UInt8 m_bytUsed = 0;
    UInt8 m_bytKind = kQuickNone;
  };
  // A unit to bytes.
  struct stcQuickBytes {
    UInt8 m_bytBytes[2] = {0, 0};
    UInt8 m_bytCount = 0;
    UInt8 m_bytKind = kQuickNone;
  };

  void IndexLastItem();
  // Rebuilds the ToUnicode lookup from the item list and the byte index.
  void BuildByteLookup();
  // The quick bytes-to-unit tables, from the lookup BuildByteLookup made.
  void BuildQuickBytes(std::vector<std::vector<ConvItem const*>> const& lead);
  // The quick unit-to-bytes tables, from the item list and the unit index.
  void BuildQuickUnits();
  // The defined walk: items from the byte index entry on, in list order.
  int WalkToUnicode(unsigned char const* bytes, unsigned short* units, int* count,
                    int available) const;

  ConvItem* m_pudtFirstItem = nullptr;
  ConvItem* m_pudtLastItem = nullptr;
  ConvItem* m_pudtByteIndex[256];
  ConvItem* m_pudtUnitIndex[65536];
  int32_t m_lngEncoding = -1;
  UniConverter* m_pudtNext = nullptr;
  // Per first byte, the most bytes of any item that can start with it; the most of all.
  UInt8 m_bytLongestItem[256] = {};
  UInt8 m_bytLongestOfAll = 0;

  // ToUnicode lookup. For each first byte b: the items, in list order from the byte index entry
  // of b on, whose first byte can be b (m_udtLeadSpans[b]). For a first byte with many items,
  // some of several bytes, also per second byte c: those of its items that have one byte or
  // whose second byte can be c (m_vecPairSpans[m_lngPairTables[b] * 256 + c]; -1 for none).
  bool m_bolByteLookup = false;
  std::vector<ConvItem const*> m_vecLookupItems;
  stcItemSpan m_udtLeadSpans[256];
  int32_t m_lngPairTables[256];
  std::vector<stcItemSpan> m_vecPairSpans;

  // Quick tables, each the walk's first match for its input. Bytes: per first byte, and for a
  // first byte whose answer depends on the second, per second byte (with m_udtQuickAlone for a
  // first byte that ends the input). Units: pages of 256 by the high byte (page 0: no match).
  bool m_bolQuickBytes = false;
  stcQuickUnit m_udtQuickLead[256];
  stcQuickUnit m_udtQuickAlone[256];
  std::vector<stcQuickUnit> m_vecQuickPairs;
  bool m_bolQuickUnits = false;
  UInt16 m_uintQuickPage[256] = {};
  std::vector<stcQuickBytes> m_vecQuickPages;

  friend UniConverter* GetUniConverter(int encoding);
  friend void FreeUniConverters();
};

inline int UniConverter::QuickToUnicode(unsigned char const* bytes, int available,
                                        unsigned short* unit) const {
  if (!m_bolQuickBytes) return -1;
  stcQuickUnit const* entry = &m_udtQuickLead[bytes[0]];
  if (entry->m_bytKind == kQuickPair) {
    entry = available >= 2 ? &m_vecQuickPairs[std::size_t(entry->m_uintUnit) * 256 + bytes[1]]
                           : &m_udtQuickAlone[bytes[0]];
  }
  if (entry->m_bytKind == kQuickFound) {
    *unit = entry->m_uintUnit;
    return entry->m_bytUsed;
  }
  return entry->m_bytKind == kQuickNone ? 0 : -1;
}

inline int UniConverter::QuickFromUnicode(unsigned short const* units, unsigned char* bytes,
                                          int* count) const {
  if (!m_bolQuickUnits) return -1;
  stcQuickBytes const& entry =
      m_vecQuickPages[std::size_t(m_uintQuickPage[units[0] >> 8]) * 256 + (units[0] & 0xFF)];
  if (entry.m_bytKind == kQuickFound) {
    int const n = entry.m_bytCount < *count ? entry.m_bytCount : *count;
    bytes[0] = entry.m_bytBytes[0];
    if (n > 1) bytes[1] = entry.m_bytBytes[1];
    *count = n;
    return 1;
  }
  return entry.m_bytKind == kQuickNone ? 0 : -1;
}

// Head of the cache list; null when nothing is cached.
extern UniConverter* g_udtTopUniConverter;

// The cached converter of an encoding, loaded on first use; null when its table cannot be loaded.
UniConverter* GetUniConverter(int encoding);

// Destroys every cached converter; the next request loads its table again.
void FreeUniConverters();
