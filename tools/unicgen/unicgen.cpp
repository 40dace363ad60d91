// unicgen: generates the 'UNIC' code-page tables from the C library's iconv and writes them into
// a resource file. Usage: unicgen <output resource file>.
// Tables (resource id = encoding number + 128): 2 and 3 Mac OS Roman ("MACINTOSH"),
// 4 Windows-1252 ("CP1252"), 5 Shift_JIS ("SHIFT_JIS", one- and two-byte sequences).
// Every table holds single items only, in three groups: first the mappings iconv makes in both
// directions, then those it makes only from bytes, then those only to bytes (whose bytes iconv
// decodes otherwise). Within a group items follow byte order, so a lead byte's items sit together.
// The converter takes the earliest item that matches; the generator replays that lookup for every
// byte, two-byte sequence and unit and fails unless it gives exactly iconv's answer. No item holds
// a zero byte or unit; each table ends with tag 0.
// Exits 1 with a message on stderr when iconv lacks a code page, a check fails or the file cannot
// be written.
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/carbon/ResourceFile.h"

namespace {

typedef std::vector<UInt8> ByteSeq;
typedef std::vector<UInt16> UnitSeq;

constexpr ResType kUNICType = MakeFourCharCode("UNIC");
constexpr size_t kMaxCount = 8;

enum enumConvResult { kConvOK, kConvInvalid, kConvIncomplete };

// One iconv conversion direction; every call starts from the initial shift state.
class clsIconv {
 public:
  clsIconv(char const* to, char const* from) : m_udtCD(iconv_open(to, from)) {}
  ~clsIconv() {
    if (IsOpen()) iconv_close(m_udtCD);
  }
  clsIconv(clsIconv const&) = delete;
  clsIconv& operator=(clsIconv const&) = delete;
  bool IsOpen() const { return m_udtCD != iconv_t(-1); }

  enumConvResult Convert(UInt8 const* in, size_t length, ByteSeq* out) {
    iconv(m_udtCD, nullptr, nullptr, nullptr, nullptr);
    char buffer[64];
    char* inPtr = reinterpret_cast<char*>(const_cast<UInt8*>(in));
    size_t inLeft = length;
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(m_udtCD, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1)) {
      return errno == EINVAL ? kConvIncomplete : kConvInvalid;
    }
    if (iconv(m_udtCD, nullptr, nullptr, &outPtr, &outLeft) == size_t(-1) || inLeft != 0) {
      return kConvInvalid;
    }
    out->assign(reinterpret_cast<UInt8*>(buffer), reinterpret_cast<UInt8*>(outPtr));
    return kConvOK;
  }

 private:
  iconv_t m_udtCD;
};

struct stcItem {
  ByteSeq m_bytBytes;
  UnitSeq m_uintUnits;
};

UnitSeq UnitsFromBE(ByteSeq const& raw) {
  UnitSeq units;
  for (size_t i = 0; i + 1 < raw.size(); i += 2) units.push_back(UInt16((raw[i] << 8) | raw[i + 1]));
  return units;
}

ByteSeq BEFromUnits(UnitSeq const& units) {
  ByteSeq raw;
  for (UInt16 unit : units) {
    raw.push_back(UInt8(unit >> 8));
    raw.push_back(UInt8(unit));
  }
  return raw;
}

template <typename T>
bool Storable(std::vector<T> const& seq) {
  if (seq.empty() || seq.size() > kMaxCount) return false;
  for (T value : seq) {
    if (value == 0) return false;
  }
  return true;
}

// True when `key` starts with `prefix` (the converter's single-item match).
template <typename T>
bool StartsWith(std::vector<T> const& key, std::vector<T> const& prefix) {
  return prefix.size() <= key.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

class clsTableBuilder {
 public:
  clsTableBuilder(char const* codePage, bool multiByte)
      : m_strCodePage(codePage), m_bolMultiByte(multiByte) {}

  bool Build(ByteSeq* table) {
    clsIconv decoder("UTF-16BE", m_strCodePage.c_str());
    clsIconv encoder(m_strCodePage.c_str(), "UTF-16BE");
    if (!decoder.IsOpen() || !encoder.IsOpen()) {
      return Fail("iconv cannot convert between " + m_strCodePage + " and UTF-16BE");
    }
    CollectDecodings(decoder);
    CollectEncodings(encoder);
    OrderItems();
    if (!Verify()) return false;
    Emit(table);
    return true;
  }

  std::string const& ErrorString() const { return m_strError; }

 private:
  // Every one-byte sequence, and for a lead byte (incomplete alone) every two-byte one.
  void CollectDecodings(clsIconv& decoder) {
    for (int first = 1; first < 256; ++first) {
      ByteSeq one{UInt8(first)};
      ByteSeq raw;
      enumConvResult result = decoder.Convert(one.data(), one.size(), &raw);
      if (result == kConvOK) {
        AddDecoding(one, UnitsFromBE(raw));
      } else if (result == kConvIncomplete && m_bolMultiByte) {
        for (int second = 1; second < 256; ++second) {
          ByteSeq two{UInt8(first), UInt8(second)};
          if (decoder.Convert(two.data(), two.size(), &raw) == kConvOK) AddDecoding(two, UnitsFromBE(raw));
        }
      }
    }
  }

  void AddDecoding(ByteSeq const& bytes, UnitSeq const& units) {
    if (Storable(bytes) && Storable(units)) m_udtDecode[bytes] = units;
  }

  // Every unit outside the surrogate range.
  void CollectEncodings(clsIconv& encoder) {
    for (UInt32 unit = 1; unit <= 0xFFFF; ++unit) {
      if (unit >= 0xD800 && unit <= 0xDFFF) continue;
      UnitSeq units{UInt16(unit)};
      ByteSeq raw = BEFromUnits(units);
      ByteSeq bytes;
      if (encoder.Convert(raw.data(), raw.size(), &bytes) == kConvOK && Storable(bytes)) {
        m_udtEncode[units] = bytes;
      }
    }
  }

  void OrderItems() {
    std::vector<stcItem> decodeOnly;
    for (auto const& [bytes, units] : m_udtDecode) {
      auto encoded = m_udtEncode.find(units);
      if (encoded != m_udtEncode.end() && encoded->second == bytes) {
        m_udtItems.push_back(stcItem{bytes, units});
      } else {
        decodeOnly.push_back(stcItem{bytes, units});
      }
    }
    m_udtItems.insert(m_udtItems.end(), decodeOnly.begin(), decodeOnly.end());
    // Mappings made only towards bytes, limited to bytes iconv reads back as something else, so
    // they never add a reading of bytes that iconv refuses.
    std::map<ByteSeq, UnitSeq> encodeOnly;
    for (auto const& [units, bytes] : m_udtEncode) {
      auto decoded = m_udtDecode.find(bytes);
      if (decoded != m_udtDecode.end() && decoded->second != units) encodeOnly[bytes] = units;
    }
    for (auto const& [bytes, units] : encodeOnly) m_udtItems.push_back(stcItem{bytes, units});
  }

  // Replays the converter's lookup: from the first item entered under the first byte (unit), the
  // first item along the list whose sequence starts the input wins.
  bool Verify() {
    std::vector<int> byteIndex(256, -1);
    std::vector<int> unitIndex(65536, -1);
    for (size_t i = 0; i < m_udtItems.size(); ++i) {
      int& byteEntry = byteIndex[m_udtItems[i].m_bytBytes[0]];
      if (byteEntry < 0) byteEntry = int(i);
      int& unitEntry = unitIndex[m_udtItems[i].m_uintUnits[0]];
      if (unitEntry < 0) unitEntry = int(i);
    }
    auto toUnicode = [&](ByteSeq const& input) -> stcItem const* {
      for (int i = byteIndex[input[0]]; i >= 0 && size_t(i) < m_udtItems.size(); ++i) {
        if (StartsWith(input, m_udtItems[size_t(i)].m_bytBytes)) return &m_udtItems[size_t(i)];
      }
      return nullptr;
    };
    auto fromUnicode = [&](UnitSeq const& input) -> stcItem const* {
      for (int i = unitIndex[input[0]]; i >= 0 && size_t(i) < m_udtItems.size(); ++i) {
        if (StartsWith(input, m_udtItems[size_t(i)].m_uintUnits)) return &m_udtItems[size_t(i)];
      }
      return nullptr;
    };
    for (int first = 1; first < 256; ++first) {
      std::vector<ByteSeq> inputs{ByteSeq{UInt8(first)}};
      if (m_bolMultiByte && !m_udtDecode.count(inputs[0])) {
        for (int second = 1; second < 256; ++second) inputs.push_back(ByteSeq{UInt8(first), UInt8(second)});
      }
      for (ByteSeq const& input : inputs) {
        stcItem const* found = toUnicode(input);
        auto expected = m_udtDecode.find(input);
        bool const right = expected == m_udtDecode.end()
                               ? found == nullptr
                               : found != nullptr && found->m_bytBytes == input &&
                                     found->m_uintUnits == expected->second;
        if (!right) return Fail(m_strCodePage + ": the table does not read byte sequence " + Hex(input) + " as iconv does");
      }
    }
    for (UInt32 unit = 1; unit <= 0xFFFF; ++unit) {
      UnitSeq input{UInt16(unit)};
      stcItem const* found = fromUnicode(input);
      auto expected = m_udtEncode.find(input);
      bool const right = expected == m_udtEncode.end()
                             ? found == nullptr
                             : found != nullptr && found->m_uintUnits == input &&
                                   found->m_bytBytes == expected->second;
      if (!right) {
        ByteSeq raw = BEFromUnits(input);
        return Fail(m_strCodePage + ": the table does not write unit " + Hex(raw) + " as iconv does");
      }
    }
    return true;
  }

  // Records: tag 1, B, U, B entries (byte in the second byte), U units; then tag 0.
  void Emit(ByteSeq* table) const {
    auto put16 = [table](UInt32 value) {
      table->push_back(UInt8(value >> 8));
      table->push_back(UInt8(value));
    };
    table->clear();
    for (stcItem const& item : m_udtItems) {
      put16(1);
      put16(UInt32(item.m_bytBytes.size()));
      put16(UInt32(item.m_uintUnits.size()));
      for (UInt8 byte : item.m_bytBytes) put16(byte);
      for (UInt16 unit : item.m_uintUnits) put16(unit);
    }
    put16(0);
  }

  static std::string Hex(ByteSeq const& bytes) {
    std::string text;
    char piece[4];
    for (UInt8 byte : bytes) {
      std::snprintf(piece, sizeof piece, "%02X", byte);
      text += piece;
    }
    return text;
  }

  bool Fail(std::string const& message) {
    m_strError = message;
    return false;
  }

  std::string m_strCodePage;
  bool m_bolMultiByte;
  std::map<ByteSeq, UnitSeq> m_udtDecode;
  std::map<UnitSeq, ByteSeq> m_udtEncode;
  std::vector<stcItem> m_udtItems;
  std::string m_strError;
};

struct stcTableDef {
  int m_intEncoding;
  char const* m_strCodePage;
  bool m_bolMultiByte;
};

constexpr stcTableDef kTables[] = {
    {2, "MACINTOSH", false},
    {3, "MACINTOSH", false},
    {4, "CP1252", false},
    {5, "SHIFT_JIS", true},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: unicgen <output resource file>\n");
    return 1;
  }
  clsResourceFileWriter writer;
  for (stcTableDef const& def : kTables) {
    clsTableBuilder builder(def.m_strCodePage, def.m_bolMultiByte);
    ByteSeq table;
    if (!builder.Build(&table)) {
      std::fprintf(stderr, "unicgen: %s\n", builder.ErrorString().c_str());
      return 1;
    }
    writer.AddResource(kUNICType, ResID(def.m_intEncoding + 128), table);
  }
  if (!writer.WriteToPath(argv[1])) {
    std::fprintf(stderr, "unicgen: %s\n", writer.ErrorString().c_str());
    return 1;
  }
  return 0;
}
