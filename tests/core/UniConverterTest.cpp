// Tests of the code-page converters: the generated tables against iconv for every byte, two-byte
// Shift_JIS sequence and unit, and the table reader and lookup rules on small custom tables
// written into a temporary resource file placed on top of the resource chain; on random tables,
// single look-ups and whole texts in both directions against the walks replayed from the records.
#include "core/UniConverter.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/UniString.h"
#include "platform/carbon/ResourceFile.h"
#include "platform/carbon/Resources.h"

namespace {

// iconv in one direction; Convert answers false when iconv refuses or finds the input incomplete.
class clsTestIconv {
 public:
  clsTestIconv(char const* to, char const* from) : m_udtCD(iconv_open(to, from)) {}
  ~clsTestIconv() { iconv_close(m_udtCD); }
  bool Convert(std::vector<UInt8> const& in, std::vector<UInt8>* out) {
    iconv(m_udtCD, nullptr, nullptr, nullptr, nullptr);
    char buffer[32];
    char* inPtr = reinterpret_cast<char*>(const_cast<UInt8*>(in.data()));
    size_t inLeft = in.size();
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(m_udtCD, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0) return false;
    out->assign(buffer, outPtr);
    return true;
  }

 private:
  iconv_t m_udtCD;
};

struct stcCodePage {
  int m_intEncoding;
  char const* m_strName;
  bool m_bolMultiByte;
};

constexpr stcCodePage kCodePages[] = {
    {2, "MACINTOSH", false}, {3, "MACINTOSH", false}, {4, "CP1252", false}, {5, "SHIFT_JIS", true}};

// ToUnicode on exactly the given bytes, in a heap block of their size so a read past them is caught.
int Decode(UniConverter const& converter, std::vector<UInt8> const& input, std::vector<UInt8>* be) {
  std::unique_ptr<unsigned char[]> bytes(new unsigned char[input.size()]);
  std::copy(input.begin(), input.end(), bytes.get());
  unsigned short units[8];
  int count = 8;
  int used = converter.ToUnicode(bytes.get(), units, &count, int(input.size()));
  be->clear();
  for (int k = 0; used > 0 && k < count; ++k) {
    be->push_back(UInt8(units[k] >> 8));
    be->push_back(UInt8(units[k]));
  }
  return used;
}

TEST(UniConverterTables, EveryByteSequenceDecodesAsIconvDoes) {
  for (stcCodePage const& page : kCodePages) {
    SCOPED_TRACE(page.m_strName);
    UniConverter* converter = GetUniConverter(page.m_intEncoding);
    ASSERT_NE(converter, nullptr);
    clsTestIconv iconv("UTF-16BE", page.m_strName);
    std::vector<UInt8> expected, got;
    for (int first = 1; first < 256; ++first) {
      bool const single = iconv.Convert({UInt8(first)}, &expected);
      int used = Decode(*converter, {UInt8(first)}, &got);
      EXPECT_EQ(used, single ? 1 : 0) << "byte " << first;
      if (single) {
        EXPECT_EQ(got, expected) << "byte " << first;
      }
      if (single || !page.m_bolMultiByte) continue;
      for (int second = 1; second < 256; ++second) {
        std::vector<UInt8> pair{UInt8(first), UInt8(second)};
        bool const known = iconv.Convert(pair, &expected);
        used = Decode(*converter, pair, &got);
        ASSERT_EQ(used, known ? 2 : 0) << "bytes " << first << " " << second;
        if (known) {
          ASSERT_EQ(got, expected) << "bytes " << first << " " << second;
        }
      }
    }
    std::vector<UInt8> zero{0};
    EXPECT_EQ(Decode(*converter, zero, &got), 0);
  }
}

TEST(UniConverterTables, EveryUnitEncodesAsIconvDoes) {
  for (stcCodePage const& page : kCodePages) {
    SCOPED_TRACE(page.m_strName);
    UniConverter* converter = GetUniConverter(page.m_intEncoding);
    ASSERT_NE(converter, nullptr);
    clsTestIconv iconv(page.m_strName, "UTF-16BE");
    std::vector<UInt8> expected;
    for (UInt32 unit = 0; unit <= 0xFFFF; ++unit) {
      bool const known = unit != 0 && iconv.Convert({UInt8(unit >> 8), UInt8(unit)}, &expected);
      std::unique_ptr<unsigned short[]> units(new unsigned short[1]{UInt16(unit)});
      unsigned char bytes[8];
      int count = 8;
      int used = converter->FromUnicode(units.get(), bytes, &count, 1);
      ASSERT_EQ(used, known ? 1 : 0) << "unit " << unit;
      if (known) {
        ASSERT_EQ(std::vector<UInt8>(bytes, bytes + count), expected) << "unit " << unit;
      }
    }
  }
}

// Table records as the reader expects them, big-endian.
class clsTable {
 public:
  clsTable& Tag(UInt16 tag) { return Put(tag); }
  clsTable& Single(std::vector<UInt16> const& bytes, std::vector<UInt16> const& units) {
    Put(1).Put(UInt16(bytes.size())).Put(UInt16(units.size()));
    return PutAll(bytes).PutAll(units);
  }
  clsTable& Range(std::vector<UInt16> const& low, std::vector<UInt16> const& lowUnits,
                  std::vector<UInt16> const& high, std::vector<UInt16> const& highUnits) {
    Put(2).Put(UInt16(low.size())).Put(UInt16(lowUnits.size()));
    return PutAll(low).PutAll(lowUnits).PutAll(high).PutAll(highUnits);
  }
  clsTable& End() { return Put(0); }
  std::vector<UInt8> const& Data() const { return m_bytData; }

 private:
  clsTable& Put(UInt16 value) {
    m_bytData.push_back(UInt8(value >> 8));
    m_bytData.push_back(UInt8(value));
    return *this;
  }
  clsTable& PutAll(std::vector<UInt16> const& values) {
    for (UInt16 value : values) Put(value);
    return *this;
  }
  std::vector<UInt8> m_bytData;
};

// Custom tables go into a resource file of a temporary folder, opened on top of the chain. The
// cache is emptied afterwards so later tests load the real tables again.
class UniConverterCustomTable : public ::testing::Test {
 protected:
  void SetUp() override {
    m_intSavedRef = CurResFile();
    char pattern[] = "/tmp/velmora-uniconv-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_strDir = pattern;
    FreeUniConverters();
  }
  void TearDown() override {
    for (ResFileRefNum ref : m_intOpened) CloseResFile(ref);
    for (std::string const& path : m_strFiles) unlink(path.c_str());
    rmdir(m_strDir.c_str());
    UseResFile(m_intSavedRef);
    FreeUniConverters();
  }
  // Writes the tables (encoding, records) into a new resource file and opens it.
  ResFileRefNum OpenTables(std::vector<std::pair<int, clsTable>> const& tables) {
    clsResourceFileWriter writer;
    for (auto const& [encoding, table] : tables) {
      writer.AddResource(MakeFourCharCode("UNIC"), ResID(encoding + 128), table.Data());
    }
    std::string path = m_strDir + "/t" + std::to_string(m_strFiles.size()) + ".rsrc";
    EXPECT_TRUE(writer.WriteToPath(path.c_str())) << writer.ErrorString();
    m_strFiles.push_back(path);
    ResFileRefNum ref = kResFileNotOpened;
    EXPECT_EQ(OpenResourceFileAtPath(path.c_str(), &ref), noErr);
    m_intOpened.push_back(ref);
    return ref;
  }
  static std::vector<UInt16> ToUnits(UniConverter* converter, std::vector<UInt8> bytes, int* used) {
    unsigned short units[8];
    int count = 8;
    *used = converter->ToUnicode(bytes.data(), units, &count, int(bytes.size()));
    return *used > 0 ? std::vector<UInt16>(units, units + count) : std::vector<UInt16>();
  }
  static std::vector<UInt8> ToBytes(UniConverter* converter, std::vector<UInt16> units, int* used) {
    unsigned char bytes[8];
    int count = 8;
    *used = converter->FromUnicode(units.data(), bytes, &count, int(units.size()));
    return *used > 0 ? std::vector<UInt8>(bytes, bytes + count) : std::vector<UInt8>();
  }

  ResFileRefNum m_intSavedRef = kResFileNotOpened;
  std::string m_strDir;
  std::vector<std::string> m_strFiles;
  std::vector<ResFileRefNum> m_intOpened;
};

TEST_F(UniConverterCustomTable, LookupRules) {
  OpenTables({{40, clsTable()
                       .Single({0x41}, {0x100})
                       .Single({0x41}, {0x200})         // shadowed by the item above
                       .Single({0x42}, {0x100})         // shadowed for units by the first item
                       .Single({0x43, 0x44}, {0x300})   // two bytes before a one-byte prefix
                       .Single({0x43}, {0x301})
                       .Range({0x81, 0x40}, {0x3000}, {0x84, 0x7E}, {0x4000})
                       .Range({0x10}, {0x100, 0x200, 0x300}, {0x20}, {0x1FF, 0x2FF, 0x3FF})
                       .Tag(3)                          // two bytes, then the next record
                       .Single({0x45}, {0x263A})
                       .End()
                       .Single({0x46}, {0x263B})}});    // after the end: never read
  UniConverter* converter = GetUniConverter(40);
  ASSERT_NE(converter, nullptr);
  struct stcCase {
    std::vector<UInt8> m_bytIn;
    int m_intUsed;
    std::vector<UInt16> m_uintOut;
  } const decodes[] = {
      {{0x41}, 1, {0x100}},
      {{0x42}, 1, {0x100}},
      {{0x43, 0x44}, 2, {0x300}},
      {{0x43}, 1, {0x301}},               // the two-byte item does not fit the input
      {{0x82, 0x42}, 2, {0x3102}},        // (L0 + 1, L1 + 2) gives W + 258
      {{0x84, 0x41}, 0, {}},              // a range's upper first byte is not indexed
      {{0x82, 0x7F}, 0, {}},              // second byte above the range
      {{0x82}, 0, {}},                    // lead byte at the end of the input
      {{0x15}, 1, {0x100, 0x200, 0x305}}, // high parts of a small offset are 0
      {{0x45}, 1, {0x263A}},
      {{0x46}, 0, {}},
      {{0x47}, 0, {}},
      {{0x00}, 0, {}},
  };
  for (stcCase const& c : decodes) {
    int used = 0;
    EXPECT_EQ(ToUnits(converter, c.m_bytIn, &used), c.m_uintOut) << int(c.m_bytIn[0]);
    EXPECT_EQ(used, c.m_intUsed) << int(c.m_bytIn[0]);
  }
  struct stcBackCase {
    std::vector<UInt16> m_uintIn;
    int m_intUsed;
    std::vector<UInt8> m_bytOut;
  } const encodes[] = {
      {{0x100}, 1, {0x41}}, {{0x200}, 1, {0x41}}, {{0x301}, 1, {0x43}},
      {{0x3102}, 1, {0x82, 0x42}}, {{0x263A}, 1, {0x45}}, {{0x263B}, 0, {}}, {{0}, 0, {}},
  };
  for (stcBackCase const& c : encodes) {
    int used = 0;
    EXPECT_EQ(ToBytes(converter, c.m_uintIn, &used), c.m_bytOut) << c.m_uintIn[0];
    EXPECT_EQ(used, c.m_intUsed) << c.m_uintIn[0];
  }
}

TEST_F(UniConverterCustomTable, DamagedTablesEndCleanly) {
  clsTable oversized;
  oversized.Single({1, 2, 3, 4, 5, 6, 7, 8, 9}, {0x111}).Single({}, {0x112}).Single({0x41}, {0x263A});
  clsTable truncated;
  truncated.Single({0x41}, {0x263A}).Tag(1).Tag(1).Tag(1).Tag(0x42);  // last record lacks its unit
  clsTable unterminated;
  unterminated.Single({0x41}, {0x263A});
  OpenTables({{41, oversized}, {42, truncated}, {43, unterminated}});
  for (int encoding : {41, 42, 43}) {
    UniConverter* converter = GetUniConverter(encoding);
    ASSERT_NE(converter, nullptr) << encoding;
    int used = 0;
    EXPECT_EQ(ToUnits(converter, {0x41}, &used), std::vector<UInt16>{0x263A}) << encoding;
    EXPECT_EQ(ToUnits(converter, {0x42}, &used), std::vector<UInt16>{}) << encoding;
    EXPECT_EQ(ToUnits(converter, {0x01, 2, 3, 4, 5, 6, 7, 8, 9}, &used), std::vector<UInt16>{});
    EXPECT_EQ(ToBytes(converter, {0x111}, &used), std::vector<UInt8>{}) << encoding;
    EXPECT_EQ(ToBytes(converter, {0x112}, &used), std::vector<UInt8>{}) << encoding;
  }
}

TEST_F(UniConverterCustomTable, MissingTableIsLookedUpEachTime) {
  EXPECT_EQ(GetUniConverter(60), nullptr);
  EXPECT_EQ(g_udtTopUniConverter, nullptr);
  EXPECT_EQ(GetUniConverter(60), nullptr);
  OpenTables({{60, clsTable().Single({0x41}, {0x263A}).End()}});
  ASSERT_NE(GetUniConverter(60), nullptr);
  EXPECT_EQ(GetUniConverter(60), GetUniConverter(60));
  EXPECT_EQ(GetUniConverter(60)->Encoding(), 60);
}

TEST_F(UniConverterCustomTable, FreedConvertersLoadAgain) {
  ResFileRefNum custom = OpenTables({{2, clsTable().Single({0x41}, {0x263A}).End()}});
  int used = 0;
  EXPECT_EQ(ToUnits(GetUniConverter(2), {0x41}, &used), std::vector<UInt16>{0x263A});
  CloseResFile(custom);
  m_intOpened.clear();
  UseResFile(m_intSavedRef);
  EXPECT_EQ(ToUnits(GetUniConverter(2), {0x41}, &used), std::vector<UInt16>{0x263A});  // cached
  FreeUniConverters();
  EXPECT_EQ(g_udtTopUniConverter, nullptr);
  EXPECT_EQ(ToUnits(GetUniConverter(2), {0x41}, &used), std::vector<UInt16>{0x41});  // reloaded
}

// The first matching item in list order from the lead byte's index entry, replayed from the
// records themselves: the reference for the converter's own lookup.
struct stcRecord {
  bool m_bolRange;
  std::vector<UInt8> m_bytLow, m_bytHigh;
  std::vector<UInt16> m_uintLow, m_uintHigh;
};

int ReferenceToUnicode(std::vector<stcRecord> const& records, std::vector<UInt8> const& in,
                       std::vector<UInt16>* out) {
  out->clear();
  if (in.empty() || in[0] == 0) return 0;
  size_t start = records.size();
  for (size_t k = 0; k < records.size() && start == records.size(); ++k) {
    stcRecord const& r = records[k];
    bool const entered = r.m_bolRange ? r.m_bytLow[0] <= in[0] && in[0] < r.m_bytHigh[0]
                                      : r.m_bytLow[0] == in[0];
    if (entered) start = k;
  }
  for (size_t k = start; k < records.size(); ++k) {
    stcRecord const& r = records[k];
    size_t const b = r.m_bytLow.size();
    if (b > in.size()) continue;
    UInt32 offset = 0;
    bool match = true;
    for (size_t j = 0; j < b && match; ++j) {
      match = r.m_bolRange ? r.m_bytLow[j] <= in[j] && in[j] <= r.m_bytHigh[j] : r.m_bytLow[j] == in[j];
      offset = offset * 256u + UInt32(in[j] - r.m_bytLow[j]);
    }
    if (!match) continue;
    size_t const n = r.m_uintLow.size();
    for (size_t u = 0; u < n; ++u) {
      UInt32 const shift = UInt32(16 * (n - 1 - u));
      out->push_back(r.m_bolRange ? UInt16(r.m_uintLow[u] + ((shift >= 32 ? 0 : offset >> shift) & 0xFFFF))
                                  : r.m_uintLow[u]);
    }
    return int(b);
  }
  return 0;
}

// Few byte values, so that lead bytes collect many overlapping items.
UInt8 const kAlphabet[] = {0x01, 0x40, 0x41, 0x42, 0x81, 0x82, 0x83, 0xFF};

// Random records of one to maxBytes bytes and one or two units; now and then an empty range.
std::vector<stcRecord> RandomRecords(std::mt19937& random, UInt8 const (&alphabet)[8], int count,
                                     size_t maxBytes) {
  auto pick = [&](size_t n) { return size_t(random() % n); };
  std::vector<stcRecord> records;
  for (int i = 0; i < count; ++i) {
    stcRecord r;
    r.m_bolRange = pick(3) == 0;
    size_t const b = 1 + pick(maxBytes);
    size_t const u = 1 + pick(2);
    for (size_t j = 0; j < b; ++j) {
      UInt8 x = alphabet[pick(8)];
      UInt8 y = alphabet[pick(8)];
      if (x > y && pick(4) != 0) std::swap(x, y);
      r.m_bytLow.push_back(x);
      r.m_bytHigh.push_back(y);
    }
    for (size_t j = 0; j < u; ++j) {
      r.m_uintLow.push_back(UInt16(0x100 + pick(0x1000)));
      r.m_uintHigh.push_back(UInt16(r.m_uintLow.back() + pick(0x100)));
    }
    records.push_back(r);
  }
  return records;
}

clsTable TableOf(std::vector<stcRecord> const& records) {
  clsTable table;
  for (stcRecord const& r : records) {
    std::vector<UInt16> low(r.m_bytLow.begin(), r.m_bytLow.end());
    std::vector<UInt16> high(r.m_bytHigh.begin(), r.m_bytHigh.end());
    if (r.m_bolRange) {
      table.Range(low, r.m_uintLow, high, r.m_uintHigh);
    } else {
      table.Single(low, r.m_uintLow);
    }
  }
  return table.End();
}

// The FromUnicode walk replayed from the records: the first matching record in list order from
// the first unit's index entry.
int ReferenceFromUnicode(std::vector<stcRecord> const& records, std::vector<UInt16> const& in,
                         std::vector<UInt8>* out) {
  out->clear();
  if (in.empty() || in[0] == 0) return 0;
  size_t start = records.size();
  for (size_t k = 0; k < records.size() && start == records.size(); ++k) {
    stcRecord const& r = records[k];
    bool const entered = r.m_bolRange ? r.m_uintLow[0] <= in[0] && in[0] < r.m_uintHigh[0]
                                      : r.m_uintLow[0] == in[0];
    if (entered) start = k;
  }
  for (size_t k = start; k < records.size(); ++k) {
    stcRecord const& r = records[k];
    size_t const u = r.m_uintLow.size();
    if (u > in.size()) continue;
    uint64_t offset = 0;
    bool match = true;
    for (size_t j = 0; j < u && match; ++j) {
      match = r.m_bolRange ? r.m_uintLow[j] <= in[j] && in[j] <= r.m_uintHigh[j] : r.m_uintLow[j] == in[j];
      offset = offset * 65536u + uint64_t(in[j] - r.m_uintLow[j]);
    }
    if (!match) continue;
    size_t const n = r.m_bytLow.size();
    for (size_t b = 0; b < n; ++b) {
      uint32_t const shift = uint32_t(8 * (n - 1 - b));
      out->push_back(r.m_bolRange ? UInt8(r.m_bytLow[b] + ((shift >= 32 ? 0 : uint32_t(offset) >> shift) & 0xFF))
                                  : r.m_bytLow[b]);
    }
    return int(u);
  }
  return 0;
}

TEST_F(UniConverterCustomTable, LookupGivesTheFirstMatchOfTheWalk) {
  std::mt19937 random(20240611);
  std::vector<std::pair<int, clsTable>> tables;
  std::vector<std::vector<stcRecord>> all;
  for (int t = 0; t < 6; ++t) {
    all.push_back(RandomRecords(random, kAlphabet, 40 + 30 * t, 3));
    tables.push_back({70 + t, TableOf(all.back())});
  }
  OpenTables(tables);
  std::vector<UInt8> const probes = {0x00, 0x01, 0x40, 0x41, 0x42, 0x43, 0x81, 0x82, 0x83, 0xFE, 0xFF};
  for (int t = 0; t < 6; ++t) {
    UniConverter* converter = GetUniConverter(70 + t);
    ASSERT_NE(converter, nullptr);
    std::vector<UInt8> in;
    for (size_t n = 1; n <= 3; ++n) {
      size_t combos = 1;
      for (size_t j = 0; j < n; ++j) combos *= probes.size();
      for (size_t k = 0; k < combos; ++k) {
        in.clear();
        for (size_t j = 0, rest = k; j < n; ++j, rest /= probes.size()) in.push_back(probes[rest % probes.size()]);
        std::vector<UInt16> expected;
        int const expectedUsed = ReferenceToUnicode(all[size_t(t)], in, &expected);
        int used = 0;
        ASSERT_EQ(ToUnits(converter, in, &used), expected) << "table " << t << " input " << k << "/" << n;
        ASSERT_EQ(used, expectedUsed) << "table " << t << " input " << k << "/" << n;
      }
    }
  }
}

// Whole texts through UniString in both directions give, character by character, the walks'
// first matches ('?' where none matches): the bulk conversions read the load-time tables, and
// tables of one- and two-byte items keep every answer there. Two tables carry three-byte items
// too, whose first bytes the tables leave to the walk.
TEST_F(UniConverterCustomTable, WholeTextsConvertAsTheWalkReplayed) {
  std::mt19937 random(20240612);
  auto pick = [&](size_t n) { return size_t(random() % n); };
  std::vector<std::pair<int, clsTable>> tables;
  std::vector<std::vector<stcRecord>> all;
  for (int encoding = 2; encoding <= 5; ++encoding) {
    all.push_back(RandomRecords(random, kAlphabet, 60 + 40 * encoding, encoding < 4 ? 2 : 3));
    tables.push_back({encoding, TableOf(all.back())});
  }
  OpenTables(tables);
  for (int encoding = 2; encoding <= 5; ++encoding) {
    std::vector<stcRecord> const& records = all[size_t(encoding - 2)];
    for (int sample = 0; sample < 300; ++sample) {
      std::vector<UInt8> bytes(1 + pick(12));
      for (UInt8& b : bytes) b = kAlphabet[pick(8)];
      std::vector<UInt16> expected;
      for (size_t i = 0; i < bytes.size();) {
        std::vector<UInt16> step;
        int const used = ReferenceToUnicode(records, std::vector<UInt8>(bytes.begin() + long(i), bytes.end()), &step);
        if (used <= 0) step = {UInt16('?')};
        expected.insert(expected.end(), step.begin(), step.end());
        i += used > 0 ? size_t(used) : 1;
      }
      UniString const text(bytes.data(), encoding, int(bytes.size()));
      std::vector<UInt16> got(text.GetBytes(), text.GetBytes() + text.Length());
      ASSERT_EQ(got, expected) << "encoding " << encoding << " sample " << sample;

      // Units near the records' own, so that most find an item and some several.
      std::vector<UInt16> units(1 + pick(12));
      for (UInt16& u : units) {
        stcRecord const& r = records[pick(records.size())];
        u = UInt16(r.m_uintLow[0] + pick(0x110) - 8);
      }
      std::vector<UInt8> bytesExpected;
      for (size_t i = 0; i < units.size();) {
        std::vector<UInt8> step;
        int const used = ReferenceFromUnicode(records, std::vector<UInt16>(units.begin() + long(i), units.end()), &step);
        if (used <= 0) step = {UInt8('?')};
        bytesExpected.insert(bytesExpected.end(), step.begin(), step.end());
        i += used > 0 ? size_t(used) : 1;
      }
      // Both bulk forms: into a caller's buffer, and into a new array (bytes may be zero).
      UniString const unitText(units.data(), int(units.size()));
      unsigned char buffer[256];
      int const written = unitText.GetCString(buffer, 255, encoding);
      std::string const want(bytesExpected.begin(), bytesExpected.end());
      ASSERT_EQ(std::string(reinterpret_cast<char*>(buffer), size_t(written)), want)
          << "encoding " << encoding << " sample " << sample;
      std::unique_ptr<char[]> encoded(unitText.GetCString(encoding));
      ASSERT_NE(encoded, nullptr);
      ASSERT_EQ(std::string(encoded.get(), want.size()), want) << "encoding " << encoding;
      EXPECT_EQ(encoded[want.size()], 0);
    }
  }
}

}  // namespace
