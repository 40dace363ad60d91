// UTCDateTime: the File Manager's date form, 48-bit seconds since 1904-01-01 00:00:00 UTC
// (highSeconds:lowSeconds) plus a 16-bit fraction of a second (1/65536 s), and its conversions
// to and from CoreFoundation's CFAbsoluteTime (seconds since 2001-01-01 00:00:00 GMT).
// Relies on the CFDate types only (pure arithmetic). Fails with paramErr (-50) for a null
// pointer and with kUTCUnderflowErr / kUTCOverflowErr for a time outside the 48-bit range.
#pragma once

#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFDate.h"

// Naturally aligned (the platform packed it to 8 bytes); nothing stores it as raw bytes.
struct UTCDateTime {
  UInt16 highSeconds;
  UInt32 lowSeconds;
  UInt16 fraction;
};

enum { kUTCUnderflowErr = -8850, kUTCOverflowErr = -8851, kIllegalClockValueErr = -8852 };

OSStatus UCConvertUTCDateTimeToCFAbsoluteTime(UTCDateTime const* iUTCDate, CFAbsoluteTime* oCFTime);
OSStatus UCConvertCFAbsoluteTimeToUTCDateTime(CFAbsoluteTime iCFTime, UTCDateTime* oUTCDate);
