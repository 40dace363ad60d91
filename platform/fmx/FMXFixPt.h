// FMXFixPt: the host's number value with its precision (digits after the decimal point used
// when the number becomes text).
// Interface: fmx::FixPt (AssignInt, AssignInt64, AssignDouble, AsLong, AsLong64, AsFloat,
// precision) and fmx::FixPtAutoPtr.
// Relies on the standard library. Never throws; AsLong saturates at the 32-bit limits and
// gives 0 for a value that is not a number.
#pragma once

#include "platform/fmx/FMXTypes.h"

namespace fmx {

class FixPt {
 public:
  enum : int32 { kDefltFixedPrecision = 16 };

  explicit FixPt(int32 value = 0, int32 precision = kDefltFixedPrecision);
  FixPt(int32 value, FixPt const& precisionExample);

  void AssignInt(int32 value) { m_value = value; }
  void AssignInt64(int64 value) { m_value = double(value); }
  void AssignDouble(double value) { m_value = value; }

  // The value cut towards zero to a 32-bit (or 64-bit) integer.
  int32 AsLong() const;
  int64 AsLong64() const;
  double AsFloat() const { return m_value; }

  int32 GetPrecision() const { return m_precision; }
  void SetPrecision(int32 precision);

  bool operator==(FixPt const& other) const { return m_value == other.m_value; }
  bool operator!=(FixPt const& other) const { return !(*this == other); }

 private:
  double m_value;
  int32 m_precision;
};

typedef AutoPtr<FixPt> FixPtAutoPtr;

}  // namespace fmx
