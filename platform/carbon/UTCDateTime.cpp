// UTCDateTime: conversions between the File Manager's 1904-based 48.16 fixed-point UTC date and
// CoreFoundation's 2001-based CFAbsoluteTime. Pure arithmetic; paramErr for a null pointer,
// kUTCUnderflowErr / kUTCOverflowErr (output untouched) for a time the 48 bits cannot hold.
#include "platform/carbon/UTCDateTime.h"

#include <cmath>

namespace {
constexpr OSStatus kParamErr = -50;
constexpr double kSeconds1904To2001 = 3061152000.0;
constexpr double kFractionUnits = 65536.0;
constexpr double kSecondsLimit = 281474976710656.0;  // 2^48
}  // namespace

OSStatus UCConvertUTCDateTimeToCFAbsoluteTime(UTCDateTime const* iUTCDate, CFAbsoluteTime* oCFTime) {
  if (iUTCDate == nullptr || oCFTime == nullptr) return kParamErr;
  double const seconds = double((UInt64(iUTCDate->highSeconds) << 32) | iUTCDate->lowSeconds);
  *oCFTime = seconds + double(iUTCDate->fraction) / kFractionUnits - kSeconds1904To2001;
  return noErr;
}

OSStatus UCConvertCFAbsoluteTimeToUTCDateTime(CFAbsoluteTime iCFTime, UTCDateTime* oUTCDate) {
  if (oUTCDate == nullptr) return kParamErr;
  double const since1904 = iCFTime + kSeconds1904To2001;
  if (std::isnan(since1904) || since1904 < 0.0) return kUTCUnderflowErr;
  double whole = std::floor(since1904);
  double fraction = std::floor((since1904 - whole) * kFractionUnits);
  if (fraction >= kFractionUnits) {  // rounding just below the next second
    whole += 1.0;
    fraction = 0.0;
  }
  if (whole >= kSecondsLimit) return kUTCOverflowErr;
  UInt64 const seconds = UInt64(whole);
  oUTCDate->highSeconds = UInt16(seconds >> 32);
  oUTCDate->lowSeconds = UInt32(seconds & 0xFFFFFFFFu);
  oUTCDate->fraction = UInt16(fraction);
  return noErr;
}
