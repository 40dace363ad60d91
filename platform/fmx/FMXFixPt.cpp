// FMXFixPt: the number value. Held as a double; the precision only shapes its text form.
#include "platform/fmx/FMXFixPt.h"

#include <cmath>
#include <limits>

namespace fmx {

namespace {

// Precision kept within what the text form can render.
int32 ClampPrecision(int32 precision) { return precision < 0 ? 0 : precision > 64 ? 64 : precision; }

template <class T>
T Truncate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= double(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  if (value <= double(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  return T(value);
}

}  // namespace

FixPt::FixPt(int32 value, int32 precision) : m_value(value), m_precision(ClampPrecision(precision)) {}

FixPt::FixPt(int32 value, FixPt const& precisionExample) : m_value(value), m_precision(precisionExample.m_precision) {}

int32 FixPt::AsLong() const { return Truncate<int32>(m_value); }

int64 FixPt::AsLong64() const { return Truncate<int64>(m_value); }

void FixPt::SetPrecision(int32 precision) { m_precision = ClampPrecision(precision); }

}  // namespace fmx
