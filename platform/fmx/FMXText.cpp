// FMXText: UTF-16 text storage and its conversion from and to the host's encodings. UTF-8 (and
// the native encoding, which is UTF-8 here) is converted in code; the code pages go through
// iconv, one character at a time, so that an unconvertible character costs only itself.
#include "platform/fmx/FMXText.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
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

 private:
  iconv_t m_cd;
};

std::u16string Decode(const char* bytes, size_t length, int32 encoding) {
  const char* name = IconvName(encoding);
  if (!name) return detail::Utf8ToUtf16(bytes, length);
  clsIconv conv("UTF-16LE", name);
  std::u16string out;
  size_t i = 0;
  // Single-byte and double-byte code pages: try one byte, then two, per character.
  while (i < length) {
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
  size_t limit = bufferSize - 1;
  size_t used = 0;
  std::unique_ptr<clsIconv> conv;
  if (name) conv.reset(new clsIconv(name, "UTF-16LE"));
  size_t i = 0;
  while (i < size) {
    size_t start = i;
    uint32 cp = detail::NextCodePoint(units, size, i);
    std::string bytes;
    if (!conv) {
      detail::AppendUtf8(bytes, cp);
    } else {
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
