// FMXText: UTF-16 text storage and its conversion from and to the host's encodings. UTF-8 (and
// the native encoding, which is UTF-8 here) is converted in code; the code pages convert
// character by character, so that an unconvertible character costs only itself, through tables
// of what iconv makes of each character (ISO-8859-1, byte for unit, runs eight units at a time).
#include "platform/fmx/FMXText.h"

#include <iconv.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "platform/fmx/FMXInternal.h"

namespace fmx {

namespace {

// The iconv name of an encoding; null for UTF-8.
const char* IconvName(int32 encoding) {
  switch (encoding) {
    case Text::kEncoding_Native:
    case Text::kEncoding_UTF8: return nullptr;
    case Text::kEncoding_ASCII_Windows: return "CP1252";
    case Text::kEncoding_ISO_8859_1: return "ISO-8859-1";
    case Text::kEncoding_ShiftJIS_Win: return "CP932";
    case Text::kEncoding_Korean_Win: return "CP949";
    case Text::kEncoding_ChineseTrad_Win: return "CP950";
    case Text::kEncoding_ChineseSimp_Win: return "CP936";
    case Text::kEncoding_Cyrillic_Win: return "CP1251";
    case Text::kEncoding_ISO_8859_5: return "ISO-8859-5";
    case Text::kEncoding_EastEurope_Win: return "CP1250";
    case Text::kEncoding_ISO_8859_2: return "ISO-8859-2";
    case Text::kEncoding_Turkish_Win: return "CP1254";
    case Text::kEncoding_ISO_8859_3: return "ISO-8859-3";
    case Text::kEncoding_ISO_8859_9: return "ISO-8859-9";
    case Text::kEncoding_Baltic_Win: return "CP1257";
    case Text::kEncoding_ISO_8859_4: return "ISO-8859-4";
    case Text::kEncoding_Arabic_Win: return "CP1256";
    case Text::kEncoding_ISO_8859_6: return "ISO-8859-6";
    case Text::kEncoding_Greek_Win: return "CP1253";
    case Text::kEncoding_Hebrew_Win: return "CP1255";
    case Text::kEncoding_ISO_8859_15: return "ISO-8859-15";
    default: throw std::invalid_argument("fmx::Text: unknown encoding " + std::to_string(encoding));
  }
}

// An open iconv descriptor, closed on scope exit.
class clsIconv {
 public:
  clsIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
    if (m_cd == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("fmx::Text: no conversion between ") + from + " and " + to);
  }
  ~clsIconv() { iconv_close(m_cd); }
  clsIconv(clsIconv const&) = delete;
  clsIconv& operator=(clsIconv const&) = delete;

  // Converts the input, returning false when it could not be converted (state is reset).
  bool Convert(const char* in, size_t inLength, std::string& out, size_t* consumed = nullptr) {
    char buffer[64];
    char* inPtr = const_cast<char*>(in);
    size_t inLeft = inLength;
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t rc = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (consumed) *consumed = inLength - inLeft;
    out.assign(buffer, outPtr);
    if (rc == size_t(-1)) {
      iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
      return false;
    }
    return true;
  }

  // Back to the initial state, dropping whatever the descriptor holds back.
  void Reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t m_cd;
};

// ---- conversion tables ----
// Converting one character at a time through iconv costs a call (and, for a whole text, a
// descriptor) per character. Every code page here except one is stateless, so what iconv makes
// of a character does not depend on its neighbours: each result is asked of iconv once, kept in
// a table of 256 entries (per lead byte, per block of 256 UTF-16 units) built on first use, and
// looked up from then on. The results are those of the character-at-a-time conversion, which
// stays for what the tables do not hold (surrogate pairs, long results) and for a code page
// whose decoder keeps state between characters (found when its first table is built: a byte
// that converts to nothing, as a base letter held back for a combining mark).

// One decoded character: n units (0: not decodable at this width), or kLong when the
// character-at-a-time path must decode it.
struct stcDecoded {
  uint8 n;
  char16_t units[2];
};
// One encoded character: n bytes (0: not in the code page, written as '?'), or kLong.
struct stcEncoded {
  uint8 n;
  char bytes[3];
};
constexpr uint8 kLong = 0xFF;

struct stcDecodeBlock {
  stcDecoded entries[256];
};
struct stcEncodeBlock {
  stcEncoded entries[256];
};

// The tables of one encoding. Blocks are built under a lock and published with a release
// store; readers take them with an acquire load and never wait once a block exists. The tables
// live until the process ends.
struct stcCodePage {
  std::atomic<stcDecodeBlock*> single{nullptr};   // one-byte characters
  std::atomic<bool> stateful{false};              // decoding goes character at a time
  std::atomic<stcDecodeBlock*> pairs[256] = {};    // two-byte characters, by lead byte
  std::atomic<stcEncodeBlock*> encode[256] = {};   // by the high byte of the unit
};

constexpr int32 kHighestEncoding = Text::kEncoding_ISO_8859_15;
std::mutex gTableLock;
std::atomic<stcCodePage*> gCodePages[kHighestEncoding + 1] = {};

stcCodePage& CodePage(int32 encoding) {
  stcCodePage* page = gCodePages[encoding].load(std::memory_order_acquire);
  if (page) return *page;
  std::lock_guard<std::mutex> hold(gTableLock);
  page = gCodePages[encoding].load(std::memory_order_relaxed);
  if (!page) {
    page = new stcCodePage;
    gCodePages[encoding].store(page, std::memory_order_release);
  }
  return *page;
}

// ISO-8859-1 is the first 256 units of Unicode, byte for unit, and nothing else: its tables are
// written down rather than asked of iconv, which would load a converter module for them (the
// one code page nearly every message uses, on the way to its first command).
bool IsLatin1(const char* name) { return std::strcmp(name, "ISO-8859-1") == 0; }

// What iconv decodes the bytes to, from its initial state, as one table entry.
stcDecoded DecodeEntry(clsIconv& conv, const char* bytes, size_t width, bool* empty) {
  stcDecoded entry{0, {0, 0}};
  std::string piece;
  size_t consumed = 0;
  bool const converted = conv.Convert(bytes, width, piece, &consumed);
  conv.Reset();  // the next entry starts from the initial state too
  if (!converted || consumed != width) return entry;
  if (piece.empty()) {
    *empty = true;
    return entry;
  }
  size_t const units = piece.size() / 2;
  if (units > 2 || piece.size() % 2 != 0) {
    entry.n = kLong;
    return entry;
  }
  entry.n = uint8(units);
  for (size_t k = 0; k < units; ++k)
    entry.units[k] = char16_t(uchar(piece[2 * k]) | (uchar(piece[2 * k + 1]) << 8));
  return entry;
}

// The one-byte table of an encoding; null when its decoder keeps state between characters.
stcDecodeBlock const* SingleBytes(stcCodePage& page, const char* name) {
  stcDecodeBlock* block = page.single.load(std::memory_order_acquire);
  if (block) return page.stateful.load(std::memory_order_relaxed) ? nullptr : block;
  std::lock_guard<std::mutex> hold(gTableLock);
  block = page.single.load(std::memory_order_relaxed);
  if (!block) {
    std::unique_ptr<stcDecodeBlock> made(new stcDecodeBlock);
    bool empty = false;
    if (IsLatin1(name)) {
      for (int b = 0; b < 256; ++b) made->entries[b] = stcDecoded{1, {char16_t(b), 0}};
    } else {
      clsIconv conv("UTF-16LE", name);
      for (int b = 0; b < 256; ++b) {
        char const byte = char(b);
        made->entries[b] = DecodeEntry(conv, &byte, 1, &empty);
      }
    }
    page.stateful.store(empty, std::memory_order_relaxed);
    block = made.release();
    page.single.store(block, std::memory_order_release);
  }
  return page.stateful.load(std::memory_order_relaxed) ? nullptr : block;
}

// The two-byte characters that start with a lead byte.
stcDecodeBlock const* Pairs(stcCodePage& page, const char* name, uchar lead) {
  stcDecodeBlock* block = page.pairs[lead].load(std::memory_order_acquire);
  if (block) return block;
  std::lock_guard<std::mutex> hold(gTableLock);
  block = page.pairs[lead].load(std::memory_order_relaxed);
  if (!block) {
    std::unique_ptr<stcDecodeBlock> made(new stcDecodeBlock);
    clsIconv conv("UTF-16LE", name);
    bool empty = false;
    for (int b = 0; b < 256; ++b) {
      char const bytes[2] = {char(lead), char(b)};
      made->entries[b] = DecodeEntry(conv, bytes, 2, &empty);
    }
    block = made.release();
    page.pairs[lead].store(block, std::memory_order_release);
  }
  return block;
}

// The encoded forms of the 256 units whose high byte is high (surrogates are not looked up).
stcEncodeBlock const* Encodings(stcCodePage& page, const char* name, uchar high) {
  stcEncodeBlock* block = page.encode[high].load(std::memory_order_acquire);
  if (block) return block;
  std::lock_guard<std::mutex> hold(gTableLock);
  block = page.encode[high].load(std::memory_order_relaxed);
  if (!block) {
    std::unique_ptr<stcEncodeBlock> made(new stcEncodeBlock);
    if (IsLatin1(name)) {
      for (int low = 0; low < 256; ++low) {
        made->entries[low] = high == 0 ? stcEncoded{1, {char(low), 0, 0}} : stcEncoded{0, {0, 0, 0}};
      }
      block = made.release();
      page.encode[high].store(block, std::memory_order_release);
      return block;
    }
    clsIconv conv(name, "UTF-16LE");
    for (int low = 0; low < 256; ++low) {
      char const in[2] = {char(low), char(high)};
      std::string bytes;
      stcEncoded& entry = made->entries[low];
      entry = stcEncoded{0, {0, 0, 0}};
      bool const converted = conv.Convert(in, 2, bytes);
      conv.Reset();
      if (!converted || bytes.empty()) continue;
      if (bytes.size() > sizeof entry.bytes) {
        entry.n = kLong;
        continue;
      }
      entry.n = uint8(bytes.size());
      std::memcpy(entry.bytes, bytes.data(), bytes.size());
    }
    block = made.release();
    page.encode[high].store(block, std::memory_order_release);
  }
  return block;
}

// Decodes one character at a time through iconv: one byte, then two, per character; a byte
// that starts no character becomes U+FFFD.
void DecodeByCharacter(clsIconv& conv, const char* bytes, size_t length, size_t& i, std::u16string& out) {
  std::string piece;
  bool done = false;
  for (size_t width = 1; width <= 2 && i + width <= length && !done; ++width) {
    size_t consumed = 0;
    if (conv.Convert(bytes + i, width, piece, &consumed) && consumed == width && !piece.empty()) {
      for (size_t k = 0; k + 1 < piece.size(); k += 2)
        out.push_back(char16_t(uchar(piece[k]) | (uchar(piece[k + 1]) << 8)));
      i += width;
      done = true;
    }
  }
  if (!done) {
    out.push_back(char16_t(0xFFFD));
    ++i;
  }
}

std::u16string Decode(const char* bytes, size_t length, int32 encoding) {
  const char* name = IconvName(encoding);
  if (!name) return detail::Utf8ToUtf16(bytes, length);
  std::u16string out;
  if (length == 0) return out;
  stcCodePage& page = CodePage(encoding);
  stcDecodeBlock const* single = SingleBytes(page, name);
  if (!single) {
    clsIconv conv("UTF-16LE", name);
    size_t i = 0;
    while (i < length) DecodeByCharacter(conv, bytes, length, i, out);
    return out;
  }
  out.reserve(length);
  std::unique_ptr<clsIconv> conv;  // for the characters the tables do not hold
  const uchar* s = reinterpret_cast<const uchar*>(bytes);
  size_t i = 0;
  while (i < length) {
    stcDecoded const* entry = &single->entries[s[i]];
    size_t width = 1;
    if (entry->n == 0 && i + 1 < length) {
      entry = &Pairs(page, name, s[i])->entries[s[i + 1]];
      width = 2;
    }
    if (entry->n == kLong) {
      if (!conv) conv.reset(new clsIconv("UTF-16LE", name));
      DecodeByCharacter(*conv, bytes, length, i, out);
    } else if (entry->n == 0) {
      out.push_back(char16_t(0xFFFD));
      ++i;
    } else {
      out.append(entry->units, entry->n);
      i += width;
    }
  }
  return out;
}

}  // namespace

void Text::Assign(const char* text, int32 encoding) {
  AssignWithLength(text, text ? uint32(std::strlen(text)) : 0, encoding);
}

void Text::AssignWithLength(const char* text, uint32 byteLength, int32 encoding) {
  if (!text) byteLength = 0;
  m_units = Decode(text ? text : "", byteLength, encoding);
}

void Text::AssignUnicode(const unichar16* text) {
  uint32 length = 0;
  if (text)
    while (text[length] != 0) ++length;
  AssignUnicodeWithLength(text, length);
}

void Text::AssignUnicodeWithLength(const unichar16* text, uint32 length) {
  if (!text) length = 0;
  m_units.assign(text, text + length);
}

namespace {

// Clamps a range to a text of the given size.
void ClampRange(size_t total, uint32& position, uint32& size) {
  if (position > total) position = uint32(total);
  if (size > total - position) size = uint32(total - position);
}

}  // namespace

void Text::SetText(Text const& source, uint32 position, uint32 size) {
  ClampRange(source.m_units.size(), position, size);
  std::u16string piece = source.m_units.substr(position, size);
  m_units.swap(piece);
}

void Text::AppendText(Text const& source, uint32 position, uint32 size) {
  ClampRange(source.m_units.size(), position, size);
  std::u16string piece = source.m_units.substr(position, size);
  m_units += piece;
}

void Text::DeleteText(uint32 position, uint32 size) {
  ClampRange(m_units.size(), position, size);
  m_units.erase(position, size);
}

uint32 Text::Find(Text const& search, uint32 position) const {
  if (search.m_units.empty() || position >= m_units.size()) return kSize_Invalid;
  size_t found = m_units.find(search.m_units, position);
  return found == std::u16string::npos ? uint32(kSize_Invalid) : uint32(found);
}

void Text::GetUnicode(unichar16* buffer, uint32 position, uint32 size) const {
  if (!buffer) return;
  ClampRange(m_units.size(), position, size);
  std::copy(m_units.begin() + position, m_units.begin() + position + size, buffer);
}

void Text::GetBytes(char* buffer, uint32 bufferSize, uint32 position, uint32 size, int32 encoding) const {
  if (!buffer || bufferSize == 0) return;
  buffer[0] = 0;
  const char* name = IconvName(encoding);
  ClampRange(m_units.size(), position, size);
  const char16_t* units = m_units.data() + position;
  size_t const limit = bufferSize - 1;
  size_t used = 0;
  stcCodePage* page = name ? &CodePage(encoding) : nullptr;
  std::unique_ptr<clsIconv> conv;  // for the characters the tables do not hold
  stcEncodeBlock const* block = nullptr;  // the block of the last unit, and its high byte
  unsigned blockHigh = 0;
  bool const latin1 = name != nullptr && IsLatin1(name);
  size_t i = 0;
  while (i < size) {
    if (latin1) {
      // Units below 256 are their own bytes: eight at a time while all eight are.
      size_t const end = std::min<size_t>(size, i + (limit - used));
#ifdef __SSE2__
      while (i + 8 <= end) {
        __m128i const eight = _mm_loadu_si128(reinterpret_cast<__m128i const*>(units + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_srli_epi16(eight, 8), _mm_setzero_si128())) != 0xFFFF) break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(buffer + used), _mm_packus_epi16(eight, eight));
        used += 8;
        i += 8;
      }
#endif
      while (i < end && units[i] < 0x100) buffer[used++] = char(units[i++]);
      if (i >= size) break;
    }
    if (page) {
      // A run of units with one-byte forms, as far as the room left goes.
      size_t const end = std::min<size_t>(size, i + (limit - used));
      while (i < end) {
        char16_t const u = units[i];
        if (u >= 0xD800 && u <= 0xDFFF) break;
        if (!block || (u >> 8) != blockHigh) {
          stcEncodeBlock const* built = page->encode[u >> 8].load(std::memory_order_acquire);
          if (!built) break;  // built below
          block = built;
          blockHigh = u >> 8;
        }
        stcEncoded const& entry = block->entries[u & 0xFF];
        if (entry.n != 1) break;
        buffer[used++] = entry.bytes[0];
        ++i;
      }
      if (i >= size) break;
    }
    char16_t const u = units[i];
    if (page && (u < 0xD800 || u > 0xDFFF)) {
      if (!block || (u >> 8) != blockHigh) {
        blockHigh = u >> 8;
        block = Encodings(*page, name, uchar(blockHigh));
      }
      stcEncoded const& entry = block->entries[u & 0xFF];
      if (entry.n == 1) {  // the common case of a single-byte code page
        if (used + 1 > limit) break;
        buffer[used++] = entry.bytes[0];
        ++i;
        continue;
      }
      if (entry.n != kLong) {
        size_t const n = entry.n ? entry.n : 1;
        if (used + n > limit) break;
        if (entry.n)
          std::memcpy(buffer + used, entry.bytes, n);
        else
          buffer[used] = '?';
        used += n;
        ++i;
        continue;
      }
    }
    size_t start = i;
    uint32 cp = detail::NextCodePoint(units, size, i);
    std::string bytes;
    if (!page) {
      detail::AppendUtf8(bytes, cp);
    } else {
      if (!conv) conv.reset(new clsIconv(name, "UTF-16LE"));
      std::string in;
      for (size_t k = start; k < i; ++k) {
        in.push_back(char(units[k] & 0xFF));
        in.push_back(char(units[k] >> 8));
      }
      if (!conv->Convert(in.data(), in.size(), bytes) || bytes.empty()) bytes = "?";
    }
    if (used + bytes.size() > limit) break;
    std::memcpy(buffer + used, bytes.data(), bytes.size());
    used += bytes.size();
  }
  buffer[used] = 0;
}

}  // namespace fmx
