// XMemoryStream: an XStream over a growable in-memory buffer.
// Used to assemble a string list's joined text and wherever bytes are built before they reach
// a file. Interface: the XStream byte operations plus GetBuffer() (owned by the stream, valid
// until the next growth), Reserve() and ComputeFullSize(). The buffer grows in steps of 1024
// bytes and never shrinks; positions are byte offsets within 0..size.
// Relies on files/XStream.h. Failures (out of memory, ranges outside the stream) change
// nothing and leave a message in ErrorString(); nothing throws. One caller at a time.
#pragma once

#include <cstdint>

#include "files/XStream.h"

class XMemoryStream : public XStream {
 public:
  // An empty stream; a size above 0 allocates room for it and sets the size (bytes zeroed).
  explicit XMemoryStream(int32_t size = 0);
  ~XMemoryStream() override;

  // 0 for n < 1, else n rounded up to the next multiple of 1024 (at most 2^31 - 1024).
  static int ComputeFullSize(int n);
  unsigned char* GetBuffer() { return m_pbytBuffer; }
  // Grows the capacity to hold at least n bytes.
  void Reserve(int32_t n);

  bool SetSize(int32_t size, int origin) override;
  int32_t ReadBytes(unsigned char* buffer, int32_t count) override;
  int32_t PeekBytes(unsigned char* buffer, int32_t count) override;
  int32_t WriteBytes(unsigned char const* bytes, int32_t count) override;
  // Position of the occurrence-th match counted from start (forward for occurrence > 0,
  // backward for < 0), or -1. anyOf: a match is any one byte of the pattern.
  int32_t Find(unsigned char* pattern, int32_t length, bool anyOf, int32_t start,
               int32_t occurrence) override;
  // Puts length bytes at `at` (-1 or past the end: append) in place of replaceLength bytes;
  // returns length, or 0 when refused.
  int32_t Insert(unsigned char* data, int32_t length, int32_t at, int32_t replaceLength) override;
  // True when the stream's contents equal the length bytes.
  bool Match(unsigned char* bytes, int32_t length) override;
  // Removes length bytes from `at` (a negative length: the bytes ending at `at`); returns how
  // many went.
  int32_t Remove(int32_t at, int32_t length) override;
  // Replaces every leftmost, non-overlapping occurrence of the pattern, left to right.
  void Replace(unsigned char* pattern, int32_t length, unsigned char* with,
               int32_t withLength) override;

 protected:
  unsigned char* m_pbytBuffer;
  int32_t m_lngCapacity;  // 0 or a multiple of 1024; never below the size

 private:
  // Grows the buffer to ComputeFullSize(needed), keeping the first size bytes; false (and
  // nothing changed) when that is too large or cannot be allocated.
  bool Grow(int64_t needed);
  // The bytes lie inside the stream's own buffer (a caller passing GetBuffer() back in).
  bool InsideBuffer(unsigned char const* bytes, int32_t count) const;
  int32_t CopyOut(unsigned char* buffer, int32_t count, bool advance);
};
