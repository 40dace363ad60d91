// AnsiString: the 8-bit byte string used for everything that goes on the wire (SMTP, MIME),
// for encoders and for host names. Bytes are kept as they stand; NUL bytes inside are allowed.
// The buffer holds length + 2 bytes: byte 0 is the length capped at 255, bytes 1..length the
// text, then a terminating 0, so the text is both length-prefixed and NUL-terminated. Load
// reuses a buffer that has room (within a bound on the waste), so a string read into line after
// line allocates only when a line is longer than any before.
// Indexes count from 1 (index 0 is the length byte). A bad index into operator[] throws int 1;
// running out of memory never throws: the string concerned is left empty.
// Relies on nothing but the standard library.
#pragma once

#include <cstdint>

// Number of bytes before the first NUL byte; 0 for a null pointer.
int StringLength(char const* text);

class AnsiString {
 public:
  AnsiString();
  AnsiString(AnsiString const& other);
  AnsiString(AnsiString&& other) noexcept;
  AnsiString(char const* text);
  AnsiString(unsigned char const* text);
  AnsiString(char const* data, int count);
  AnsiString(int value);
  AnsiString(char byte);
  ~AnsiString();

  AnsiString& operator=(AnsiString const& other);
  AnsiString& operator=(AnsiString&& other) noexcept;

  // Pointer to the NUL-terminated text; never null (a static empty text for an empty string).
  char const* c_str() const { return m_pchrBuffer != nullptr ? m_pchrBuffer + 1 : ""; }
  int Length() const { return m_lngLength; }

  // Byte i of the buffer: 0 is the length byte, 1..Length() the text. Throws int 1 otherwise.
  char& operator[](int i);
  char const& operator[](int i) const;

  // Replaces the content with count bytes from data (NUL bytes included).
  void Load(char const* data, int count);

  AnsiString operator+(AnsiString const& right) const;
  AnsiString& operator+=(AnsiString const& right);

  bool operator==(AnsiString const& other) const;
  bool operator!=(AnsiString const& other) const;

  // Space, tab, LF, CR and NUL.
  bool isBlank(char c) const;
  AnsiString Trim() const;
  AnsiString TrimRight() const;
  AnsiString SubString(int start, int count) const;
  AnsiString UpperCase() const;
  AnsiString LowerCase() const;
  // Decimal (optional leading '-') or "0x" hexadecimal, 32-bit with wrap-around; 0 when none.
  int32_t ToInt() const;
  // 1-based position of the occurrence-th match at or after start (occurrence > 0) or at or
  // before start (occurrence < 0); 0 when there is none.
  int Pos(AnsiString const& needle, bool ignoreCase = false, int start = 1, int occurrence = 1) const;
  int Pos(char c, bool ignoreCase = false, int start = 1, int occurrence = 1) const;
  // Every occurrence of find replaced by replace, left to right, without rescanning.
  AnsiString StrSub(AnsiString const& find, AnsiString const& replace, bool ignoreCase = false) const;

 private:
  // Allocates a buffer of count + 2 bytes for count text bytes; on failure leaves *this empty
  // and returns false. Frees any previous buffer.
  bool Allocate(int count);
  // Sets the length byte and the terminating 0 after the text has been copied in.
  void Seal();
  void MakeEmpty();

  char* m_pchrBuffer;
  int32_t m_lngLength;
  int32_t m_lngCapacity = 0;  // text bytes the buffer holds (it has 2 more); 0 without a buffer
  bool m_bolHighByte;  // made from one byte of 0x80 or above; carried by assignment and '+'
  bool m_bolSecondFlag;  // carried like the first; nothing sets it
};
