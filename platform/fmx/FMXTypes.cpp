// FMXTypes: the four-character type code. Characters are kept as bytes in their order; the
// Mac OS type form puts the first character in the most significant byte.
#include "platform/fmx/FMXTypes.h"

#include <cstring>
#include <stdexcept>

namespace fmx {

QuadChar::QuadChar() : m_chars{0, 0, 0, 0} {}

QuadChar::QuadChar(char c0, char c1, char c2, char c3)
    : m_chars{uchar(c0), uchar(c1), uchar(c2), uchar(c3)} {}

uchar& QuadChar::operator[](int index) {
  if (index < 0 || index > 3) throw std::out_of_range("QuadChar index");
  return m_chars[index];
}

const uchar& QuadChar::operator[](int index) const {
  if (index < 0 || index > 3) throw std::out_of_range("QuadChar index");
  return m_chars[index];
}

uint32 QuadChar::GetMacType() const {
  return (uint32(m_chars[0]) << 24) | (uint32(m_chars[1]) << 16) | (uint32(m_chars[2]) << 8) | uint32(m_chars[3]);
}

void QuadChar::SetMacType(uint32 type) {
  m_chars[0] = uchar(type >> 24);
  m_chars[1] = uchar(type >> 16);
  m_chars[2] = uchar(type >> 8);
  m_chars[3] = uchar(type);
}

bool QuadChar::operator==(QuadChar const& other) const { return std::memcmp(m_chars, other.m_chars, 4) == 0; }

bool QuadChar::operator<(QuadChar const& other) const { return std::memcmp(m_chars, other.m_chars, 4) < 0; }

}  // namespace fmx
