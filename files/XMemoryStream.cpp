// XMemoryStream: the byte operations over one heap buffer whose capacity grows in 1024-byte
// steps and never shrinks. Every range given by a caller is checked against the stream before
// anything moves; a refused or failed operation leaves the bytes, size and position unchanged.
// Growth copies the first size bytes into the new buffer; bytes exposed by a larger size are 0.
#include "files/XMemoryStream.h"

#include <cstring>
#include <functional>
#include <new>
#include <vector>

namespace {

constexpr int64_t kGrowthStep = 1024;
// The largest capacity that is a multiple of the growth step and still a 32-bit size.
constexpr int64_t kMaxCapacity = (INT32_MAX / kGrowthStep) * kGrowthStep;

}  // namespace

XMemoryStream::XMemoryStream(int32_t size) : m_pbytBuffer(nullptr), m_lngCapacity(0) {
  if (size > 0 && Grow(size)) {
    std::memset(m_pbytBuffer, 0, static_cast<size_t>(size));
    m_lngSize = size;
  }
}

XMemoryStream::~XMemoryStream() { delete[] m_pbytBuffer; }

int XMemoryStream::ComputeFullSize(int n) {
  if (n < 1) return 0;
  int64_t const rounded = (int64_t{n} + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
  return static_cast<int>(rounded < kMaxCapacity ? rounded : kMaxCapacity);
}

bool XMemoryStream::Grow(int64_t needed) {
  if (needed <= m_lngCapacity) return true;
  if (needed > kMaxCapacity) return false;
  int32_t const capacity = ComputeFullSize(static_cast<int>(needed));
  unsigned char* const grown = new (std::nothrow) unsigned char[static_cast<size_t>(capacity)];
  if (grown == nullptr) return false;
  if (m_pbytBuffer != nullptr && m_lngSize > 0) {
    std::memcpy(grown, m_pbytBuffer, static_cast<size_t>(m_lngSize));
  }
  delete[] m_pbytBuffer;
  m_pbytBuffer = grown;
  m_lngCapacity = capacity;
  return true;
}

bool XMemoryStream::InsideBuffer(unsigned char const* bytes, int32_t count) const {
  if (m_pbytBuffer == nullptr || bytes == nullptr || count <= 0) return false;
  std::less<unsigned char const*> const before;
  return before(m_pbytBuffer, bytes + count) && before(bytes, m_pbytBuffer + m_lngCapacity);
}

void XMemoryStream::Reserve(int32_t n) {
  if (m_lngCapacity > n) return;
  if (!Grow(n)) m_ustrError = "Could not Reserve more memory for Memory Stream.";
}

bool XMemoryStream::SetSize(int32_t size, int origin) {
  ResetError("Unknown Error");
  if (size == m_lngSize) {
    m_ustrError = UniString();
    m_ustrErrorDetail = "New Size equals Old Size";
    return true;
  }
  m_ustrError = UniString();
  int64_t target = m_lngSize;
  switch (origin) {
    case kStreamFromStart:
      target = size < 1 ? 0 : size;
      break;
    case kStreamFromPosition:
      target = int64_t{m_lngPosition} + size;
      if (target < 1) target = 0;
      break;
    case kStreamFromEnd: {
      int64_t const distance = size < 0 ? -int64_t{size} : int64_t{size};
      target = distance < m_lngSize ? m_lngSize - distance : 0;
      break;
    }
    default:
      break;
  }
  if (target > m_lngSize) {
    if (!Grow(target)) {
      m_ustrError = "Could not resize Memory Stream.";
      return false;
    }
    std::memset(m_pbytBuffer + m_lngSize, 0, static_cast<size_t>(target - m_lngSize));
  }
  m_lngSize = static_cast<int32_t>(target);
  if (m_lngPosition > m_lngSize) SetPos(m_lngSize, kStreamFromStart);
  m_ustrError = UniString();
  return true;
}

int32_t XMemoryStream::CopyOut(unsigned char* buffer, int32_t count, bool advance) {
  ResetError("Unknown Error");
  if (buffer == nullptr) {
    m_ustrError = "Output Buffer is NULL!";
    return 0;
  }
  m_ustrError = UniString();
  if (count <= 0) {
    m_ustrErrorDetail = "Nothing to Read";
    return 0;
  }
  if (m_pbytBuffer == nullptr) {
    m_ustrErrorDetail = "No Buffer to Read";
    return 0;
  }
  int32_t const left = m_lngSize - m_lngPosition;
  int32_t const copied = count < left ? count : left;
  if (copied > 0) {
    std::memcpy(buffer, m_pbytBuffer + m_lngPosition, static_cast<size_t>(copied));
    if (advance) m_lngPosition += copied;
  }
  return copied > 0 ? copied : 0;
}

int32_t XMemoryStream::ReadBytes(unsigned char* buffer, int32_t count) {
  return CopyOut(buffer, count, true);
}

int32_t XMemoryStream::PeekBytes(unsigned char* buffer, int32_t count) {
  return CopyOut(buffer, count, false);
}

int32_t XMemoryStream::WriteBytes(unsigned char const* bytes, int32_t count) {
  ResetError("Unknown Error");
  if (bytes == nullptr) {
    m_ustrError = "Input Buffer is NULL!";
    return 0;
  }
  if (count <= 0) {
    m_ustrError = UniString();
    m_ustrErrorDetail = "Nothing to Write";
    return 0;
  }
  // Bytes taken from this stream's own buffer would die with it when it grows.
  std::vector<unsigned char> own;
  if (InsideBuffer(bytes, count)) {
    own.assign(bytes, bytes + count);
    bytes = own.data();
  }
  int64_t const end = int64_t{m_lngPosition} + count;
  if (!Grow(end)) {
    m_ustrError = "Could not resize Memory Stream.";
    return 0;
  }
  std::memcpy(m_pbytBuffer + m_lngPosition, bytes, static_cast<size_t>(count));
  m_lngPosition = static_cast<int32_t>(end);
  if (m_lngPosition > m_lngSize) m_lngSize = m_lngPosition;
  m_ustrError = UniString();
  return count;
}

int32_t XMemoryStream::Find(unsigned char* pattern, int32_t length, bool anyOf, int32_t start,
                            int32_t occurrence) {
  ResetError("Unknown Error");
  if (pattern == nullptr || length <= 0) {
    m_ustrError = "Find Buffer is NULL or has Zero Length!";
    return -1;
  }
  if (m_pbytBuffer == nullptr || m_lngSize == 0) {
    m_ustrError = UniString();
    m_ustrErrorDetail = "No Buffer to Search";
    return -1;
  }
  int32_t last = 0;
  if (!FindBounds(length, anyOf, occurrence, &start, &last)) return -1;
  auto matchesAt = [&](int32_t at) {
    if (anyOf) return std::memchr(pattern, m_pbytBuffer[at], static_cast<size_t>(length)) != nullptr;
    return std::memcmp(m_pbytBuffer + at, pattern, static_cast<size_t>(length)) == 0;
  };
  int32_t const step = occurrence > 0 ? 1 : -1;
  int64_t wanted = occurrence > 0 ? int64_t{occurrence} : -int64_t{occurrence};
  for (int32_t at = start; at >= 0 && at <= last; at += step) {
    if (matchesAt(at) && --wanted == 0) return at;
  }
  return -1;
}

int32_t XMemoryStream::Insert(unsigned char* data, int32_t length, int32_t at,
                              int32_t replaceLength) {
  ResetError("Unknown Error");
  if (data == nullptr || length == 0) {
    m_ustrError = "Data Buffer is NULL or has Zero Length!";
    return 0;
  }
  if (length < 0) {
    m_ustrError = "Insert Length is negative.";
    return 0;
  }
  if (at < -1) {
    m_ustrError = "Insert Position is outside the Stream.";
    return 0;
  }
  if (at == -1 || at > m_lngSize) at = m_lngSize;
  if (replaceLength < 0) replaceLength = 0;
  if (replaceLength > m_lngSize - at) {
    m_ustrError = "Insert Replace Length runs past the End of the Stream.";
    return 0;
  }

  std::vector<unsigned char> own;
  if (InsideBuffer(data, length)) {
    own.assign(data, data + length);
    data = own.data();
  }
  int64_t const newSize = int64_t{m_lngSize} + length - replaceLength;
  if (!Grow(newSize)) {
    m_ustrError = "Could not resize Memory Stream.";
    return 0;
  }
  int32_t const tail = m_lngSize - at - replaceLength;
  if (replaceLength != length && tail > 0) {
    std::memmove(m_pbytBuffer + at + length, m_pbytBuffer + at + replaceLength,
                 static_cast<size_t>(tail));
  }
  std::memcpy(m_pbytBuffer + at, data, static_cast<size_t>(length));
  m_lngSize = static_cast<int32_t>(newSize);
  m_lngPosition = at + length;
  return length;
}

bool XMemoryStream::Match(unsigned char* bytes, int32_t length) {
  ResetError("Unknown Error");
  if (length != m_lngSize) {
    m_ustrError = "Match Buffer Length does not match.";
    return false;
  }
  if (length == 0) {
    m_ustrError = UniString();
    return true;
  }
  if (bytes == nullptr) {
    m_ustrError = "Match Buffer is NULL or has Zero Length!";
    return false;
  }
  m_ustrError = UniString();
  if (m_pbytBuffer == nullptr) {
    m_ustrErrorDetail = "No Buffer to Match";
    return false;
  }
  return std::memcmp(m_pbytBuffer, bytes, static_cast<size_t>(length)) == 0;
}

int32_t XMemoryStream::Remove(int32_t at, int32_t length) {
  ResetError("Unknown Error");
  if (length == 0) {
    m_ustrError = UniString();
    m_ustrErrorDetail = "Remove Length was Zero";
    return 0;
  }
  if (m_pbytBuffer == nullptr) {
    m_ustrError = UniString();
    m_ustrErrorDetail = "Buffer is empty";
    return 0;
  }
  // A positive length counts from `at`, which may be the end; a negative one ends at `at`,
  // which must then be a byte of the stream.
  int32_t const lastAt = length > 0 ? m_lngSize : m_lngSize - 1;
  if (at < 0 || at > lastAt) {
    m_ustrError = "Remove Position is outside the Stream.";
    return 0;
  }

  int64_t first = at;
  int64_t end = int64_t{at} + length;  // one past the range
  if (length < 0) {
    first = int64_t{at} + length + 1;
    if (first < 0) first = 0;
    end = int64_t{at} + 1;
  }
  if (end > m_lngSize) end = m_lngSize;
  int32_t const removed = static_cast<int32_t>(end - first);
  int32_t const tail = m_lngSize - static_cast<int32_t>(end);
  if (tail > 0) {
    std::memmove(m_pbytBuffer + first, m_pbytBuffer + end, static_cast<size_t>(tail));
  }
  m_lngSize -= removed;
  if (m_lngPosition > m_lngSize) m_lngPosition = m_lngSize;
  m_ustrError = UniString();
  return removed;
}

void XMemoryStream::Replace(unsigned char* pattern, int32_t length, unsigned char* with,
                            int32_t withLength) {
  ResetError(UniString());
  if (pattern == nullptr || length <= 0) {
    m_ustrError = "Find Buffer is NULL or has Zero Length!";
    return;
  }
  if (withLength < 0 || (with == nullptr && withLength > 0)) {
    m_ustrError = "Replace Buffer is NULL or has a negative Length!";
    return;
  }
  if (m_pbytBuffer == nullptr || m_lngSize == 0) {
    m_ustrErrorDetail = "No Buffer to Search";
    return;
  }
  if (length > m_lngSize) return;

  // Matches are taken leftmost first and never overlap; replacements are not scanned again.
  std::vector<int32_t> matches;
  for (int32_t at = 0; at <= m_lngSize - length;) {
    if (std::memcmp(m_pbytBuffer + at, pattern, static_cast<size_t>(length)) == 0) {
      matches.push_back(at);
      at += length;
    } else {
      ++at;
    }
  }
  if (matches.empty()) return;

  int64_t const newSize =
      int64_t{m_lngSize} + (int64_t{withLength} - length) * static_cast<int64_t>(matches.size());
  // The capacity only grows: contents that fit go back into the buffer, longer ones get a
  // new buffer of the next growth step.
  bool const fits = newSize <= m_lngCapacity;
  int64_t const room = fits ? (newSize > 0 ? newSize : 1) : ComputeFullSize(static_cast<int>(
                                                                   newSize < kMaxCapacity ? newSize : kMaxCapacity));
  unsigned char* rewritten = nullptr;
  if (newSize <= kMaxCapacity) {
    rewritten = new (std::nothrow) unsigned char[static_cast<size_t>(room)];
  }
  if (rewritten == nullptr) {
    m_ustrError = "Could not allocate memory for moving data as it's replaced.";
    return;
  }
  int64_t out = 0;
  int32_t from = 0;
  for (int32_t const at : matches) {
    std::memcpy(rewritten + out, m_pbytBuffer + from, static_cast<size_t>(at - from));
    out += at - from;
    if (withLength > 0) std::memcpy(rewritten + out, with, static_cast<size_t>(withLength));
    out += withLength;
    from = at + length;
  }
  std::memcpy(rewritten + out, m_pbytBuffer + from, static_cast<size_t>(m_lngSize - from));

  if (fits) {
    std::memcpy(m_pbytBuffer, rewritten, static_cast<size_t>(newSize));
    delete[] rewritten;
  } else {
    delete[] m_pbytBuffer;
    m_pbytBuffer = rewritten;
    m_lngCapacity = static_cast<int32_t>(room);
  }
  m_lngSize = static_cast<int32_t>(newSize);
  if (m_lngPosition > m_lngSize) m_lngPosition = m_lngSize;
}
