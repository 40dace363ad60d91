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

  // Appends an empty item (kind and counts 0) and makes it the last one; false when out of memory.
  bool NewConvItem();

  int32_t Encoding() const { return m_lngEncoding; }

 private:
  // A run of entries of m_vecLookupItems.
  struct stcItemSpan {
    uint32_t m_lngStart = 0;
    uint32_t m_lngCount = 0;
  };

  void IndexLastItem();
  // Rebuilds the ToUnicode lookup from the item list and the byte index.
  void BuildByteLookup();
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

  friend UniConverter* GetUniConverter(int encoding);
  friend void FreeUniConverters();
};

// Head of the cache list; null when nothing is cached.
extern UniConverter* g_udtTopUniConverter;

// The cached converter of an encoding, loaded on first use; null when its table cannot be loaded.
UniConverter* GetUniConverter(int encoding);

// Destroys every cached converter; the next request loads its table again.
void FreeUniConverters();
