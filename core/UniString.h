// UniString: the system's text type, a string of UTF-16 code units with 1-based positions.
// Storage: an owned array of length + 2 units (element 0 the length capped at 511, elements
// 1..length the text, element length + 1 a zero unit), or no array at all for the empty string.
// Assigning units reuses an array that has room (within a bound on the waste), so a string
// read into line after line allocates only when a line is longer than any before.
// Converts from and to bytes by encoding number: 0 UTF-16 units in machine order, 1 UTF-8,
// 101 UTF-8 reading only (a malformed byte taken as Latin-1), 2 to 5 the code pages of
// core/UniConverter.h. Text operations fold only ASCII letters; a blank is space, tab, CR or LF.
// Failure: allocation failures leave the string empty and never throw; a bad index into
// operator[] throws int 1; unknown encoding numbers give an empty string, null or 0.
// Relies on core/AnsiString.h and core/UniConverter.h; no locking (one object, one thread).
#pragma once

#include <cstdint>

#include "core/AnsiString.h"

// Number of units before the first terminator unit; 0 for a null pointer.
int UniCharArrayLength(unsigned short const* units, unsigned short terminator);
// Number of bytes before the first terminator byte; 0 for a null pointer.
int CharArrayLength(unsigned char const* bytes, unsigned char terminator);

class UniString {
 public:
  // ---- construction (every constructor leaves the string empty when memory runs out) ----
  UniString();
  UniString(UniString const& other);
  UniString(UniString&& other) noexcept;
  // count < 0: up to the first zero unit; count < 1 or units null: empty.
  UniString(unsigned short const* units, int count);
  // A one-unit string, also for unit 0. Note: char16_t and char promote to int and pick the
  // number constructor; cast to unsigned short to get a unit.
  UniString(unsigned short unit);
  // Decodes bytes in the given encoding; a negative length means up to the first zero byte
  // (encoding 0 always reads up to the first zero unit and ignores the length).
  UniString(unsigned char const* bytes, int encoding = 1, int length = -1);
  UniString(char const* bytes, int encoding = 1, int length = -1);
  // Decimal text of a 32-bit number ("%ld" / "%lu" of the original 32-bit longs).
  UniString(int32_t value);
  UniString(uint32_t value);
  // "%.4lf" in the C locale, at most 47 characters.
  UniString(double value);
  // The AnsiString's bytes up to its first zero byte, read as UTF-8.
  UniString(AnsiString const& text);
  ~UniString();

  // ---- assignment and access ----
  UniString& operator=(UniString const& other);
  UniString& operator=(UniString&& other) noexcept;
  // units null: empty; otherwise count units (count < 1 gives a buffer of length 0).
  void Assign(unsigned short const* units, int count);
  // From 32-bit wide characters, each cut to its low 16 bits.
  void Assign(wchar_t const* wide, int count);  // Filling the text in place, for decoders: FillBegin makes room for count units (the text is
  // then undefined) and answers where the first one goes, null when memory runs out (the string
  // is then empty); FillEnd keeps the first count of them (at most as many as made room for).
  unsigned short* FillBegin(int count);
  void FillEnd(int count);

  // Buffer element i for 0 <= i <= Length() + 1 (0 the capped length, Length() + 1 the
  // terminator); any other index, or any index without a buffer, throws int 1.
  unsigned short& operator[](int i);
  unsigned short operator[](int i) const;

  int Length() const { return m_lngLength; }
  bool IsEmpty() const { return m_lngLength == 0; }
  bool IsNotEmpty() const { return m_lngLength != 0; }

  // The first code unit, followed by the terminator; null without a buffer.
  unsigned short const* GetBytes() const;
  // Copies Length() units (no terminator) to dst; returns Length(), or 0 for a null dst.
  int GetBytes(unsigned short* dst) const;
  // New array of Length() + 1 wide characters ending in 0; null without a buffer.
  // The caller frees it with delete[].
  wchar_t* GetWCStr() const;
  // New zero-terminated byte array in the encoding, or null (encoding 101, unknown numbers,
  // a code page that cannot load). An empty string gives a one-byte array holding 0.
  // The caller frees it with delete[].
  char* GetCString(int encoding) const;
  // Encodes into buf and returns the bytes written, not counting the terminator. Encoding 1
  // needs size bytes; encodings 0 and 2 to 5 write at most size bytes plus the terminator
  // (size + 1 bytes). Never writes beyond buf[size].
  int GetCString(unsigned char* buf, int size, int encoding) const;
  // AnsiString of GetCString(encoding), -1 taken as 1; empty when that gives null.
  AnsiString GetAnsiString(int encoding) const;

  // ---- comparison and concatenation ----
  bool operator==(UniString const& other) const;
  bool operator!=(UniString const& other) const;
  // Unsigned unit order; a proper prefix is smaller.
  bool operator<(UniString const& other) const;
  UniString operator+(UniString const& right) const;
  UniString& operator+=(UniString const& right);

  // ---- slicing, trimming and case (new strings, ending at the first zero unit) ----
  UniString SubString(int start, int count) const;
  UniString Left(int n) const;
  UniString Right(int n) const;
  UniString Trim() const;
  UniString TrimLeft() const;
  UniString TrimRight() const;
  UniString UpperCase() const;
  UniString LowerCase() const;
  UniString TitleCase() const;

  // ---- searching: 1-based position, 0 when not found ----
  // occurrence n > 0: n-th hit scanning forward from start; n < 0: |n|-th hit scanning
  // backward from start (clamped to the last possible position); start <= 0 means 1.
  int Pos(unsigned short ch, bool ignoreCase = false, int start = 1, int occurrence = 1) const;
  int Pos(UniString const& text, bool ignoreCase = false, int start = 1,
          int occurrence = 1) const;
  int PosOfAnyChar(UniString const& set, bool ignoreCase = false, int start = 1,
                   int occurrence = 1) const;

  // ---- substitution ----
  UniString StrSub(unsigned short from, unsigned short to, bool ignoreCase = false) const;
  // Every occurrence of from, left to right, without overlap and without rescanning the
  // replacement; an empty from returns the text unchanged.
  UniString StrSub(UniString const& from, UniString const& to, bool ignoreCase = false) const;

  // ---- numbers and character classes ----
  // Trimmed decimal (optional leading '-') or "0x" hexadecimal, 32-bit with wrap-around.
  int32_t ToInt() const;
  // "%lf" over the UTF-8 text in the C locale; 0.0 when nothing is read.
  double ToFloat() const;
  static bool IsDigit(unsigned short unit);
  bool HasDigits() const;
  bool IsNumeric(bool allowPoint, bool allowBlanks, bool allowSeveralPoints) const;
  static bool IsBlank(unsigned short unit);
  static bool IsWhitespace(unsigned short unit);

  // ---- building and splitting ----
  static UniString StringOfChar(unsigned short ch, int count);
  // Text before the first separator, trimmed; empty without a separator.
  UniString GetName(unsigned short separator) const;
  // Text after the first separator, not trimmed; empty without a separator.
  UniString GetValue(unsigned short separator) const;

  // ---- accent folding ----
  // Accented Latin letters (0080-00FF, 0100-024F, 1E00-1EFF) replaced by ASCII letters;
  // ligatures and some special letters become two letters.
  static UniString RemoveAccents(UniString const& text);

 private:
  // Replaces the buffer with one for count units (count + 2 elements, zeroed ends); on
  // failure leaves the string empty and returns false. count may be 0.
  bool Allocate(int count);
  // Frees the buffer; the string becomes the normal empty string.
  void MakeEmpty();
  // Sets element 0 and the terminator after the text units have been written.
  void Seal();
  // Fills the string from count units, reusing the buffer when the length stays the same.
  void CopyFrom(unsigned short const* units, int count);
  // Units start .. start + count - 1, ending early at a zero unit ("rebuilt" results);
  // empty when count < 1 or there is no buffer.
  UniString Rebuilt(int start, int count) const;
  // The substring substitution from its first hit p on.
  UniString Substitute(UniString const& from, UniString const& to, bool ignoreCase, int p) const;

  void DecodeUTF8(unsigned char const* bytes, int length, bool latin1Fallback);
  void DecodeCodePage(unsigned char const* bytes, int length, int encoding);
  char* EncodeCodePage(int encoding) const;

  unsigned short* m_ptrBuffer;
  int32_t m_lngLength;
  int32_t m_lngCapacity = 0;  // text units the array holds (it has 2 more); 0 without one
};
