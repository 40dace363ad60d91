// FMXText: the host's text value, a sequence of UTF-16 units, with conversion from and to the
// host's 8-bit encodings.
// Interface: fmx::Text (size, copy out as UTF-16, assign from UTF-16 or 8-bit text, ranges,
// find, delete, append, GetBytes in an encoding) and fmx::TextAutoPtr.
// Relies on the C library's iconv for the code pages. Positions past the end copy nothing;
// an encoding number this host does not know throws std::invalid_argument.
#pragma once

#include <string>

#include "platform/fmx/FMXTypes.h"

namespace fmx {

class Text {
 public:
  // Host encoding numbers. Native is this host's 8-bit encoding, UTF-8 on Linux.
  enum Encoding : int32 {
    kEncoding_Native = 0,
    kEncoding_UTF8 = 1,
    kEncoding_ASCII_Windows = 3,      // Windows Western, code page 1252
    kEncoding_ISO_8859_1 = 5,
    kEncoding_ShiftJIS_Win = 7,       // Windows Japanese, code page 932
    kEncoding_Korean_Win = 9,         // code page 949
    kEncoding_ChineseTrad_Win = 12,   // code page 950 (Big5)
    kEncoding_ChineseSimp_Win = 14,   // code page 936 (GB2312)
    kEncoding_Cyrillic_Win = 16,      // code page 1251
    kEncoding_ISO_8859_5 = 17,
    kEncoding_EastEurope_Win = 19,    // code page 1250
    kEncoding_ISO_8859_2 = 20,
    kEncoding_Turkish_Win = 22,       // code page 1254
    kEncoding_ISO_8859_3 = 23,
    kEncoding_ISO_8859_9 = 24,
    kEncoding_Baltic_Win = 25,        // code page 1257
    kEncoding_ISO_8859_4 = 26,
    kEncoding_Arabic_Win = 28,        // code page 1256
    kEncoding_ISO_8859_6 = 29,
    kEncoding_Greek_Win = 31,         // code page 1253
    kEncoding_Hebrew_Win = 34,        // code page 1255
    kEncoding_ISO_8859_15 = 36
  };

  enum : uint32 { kSize_End = 0xFFFFFFFFu, kSize_Invalid = 0xFFFFFFFFu };

  Text() = default;

  // Number of UTF-16 units.
  uint32 GetSize() const { return uint32(m_units.size()); }

  // 8-bit text, NUL-terminated or of a byte length, decoded from an encoding; bytes the
  // encoding cannot decode become U+FFFD. A null pointer gives an empty text.
  void Assign(const char* text, int32 encoding = kEncoding_Native);
  void AssignWithLength(const char* text, uint32 byteLength, int32 encoding = kEncoding_Native);
  // UTF-16 units, NUL-terminated or of a length.
  void AssignUnicode(const unichar16* text);
  void AssignUnicodeWithLength(const unichar16* text, uint32 length);

  // This text becomes (or gains at its end) the given range of the source.
  void SetText(Text const& source, uint32 position = 0, uint32 size = kSize_End);
  void AppendText(Text const& source, uint32 position = 0, uint32 size = kSize_End);
  void DeleteText(uint32 position, uint32 size = kSize_End);
  // Position of the first occurrence at or after position, or kSize_Invalid (also for an
  // empty search text).
  uint32 Find(Text const& search, uint32 position) const;

  // Copies up to size units from position into buffer; no terminating unit is added.
  void GetUnicode(unichar16* buffer, uint32 position, uint32 size) const;
  // Converts up to size units from position into the encoding and leaves them NUL-terminated
  // in buffer. Only whole characters are written, as many as fit in bufferSize - 1 bytes;
  // a character the encoding lacks becomes '?'.
  void GetBytes(char* buffer, uint32 bufferSize, uint32 position = 0, uint32 size = kSize_End,
                int32 encoding = kEncoding_Native) const;

  bool operator==(Text const& other) const { return m_units == other.m_units; }
  bool operator!=(Text const& other) const { return !(*this == other); }

 private:
  std::u16string m_units;
};

typedef AutoPtr<Text> TextAutoPtr;

}  // namespace fmx
