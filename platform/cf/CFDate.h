// CFDate: the CoreFoundation stand-in's absolute time, Gregorian calendar and system time zone.
// CFAbsoluteTime counts seconds (fraction included) since 2001-01-01 00:00:00 GMT. The calendar
// is proleptic Gregorian; a NULL time zone means GMT. The system zone is the C library's local
// zone (TZ honoured, re-read when TZ changes); a zone object answers for the process's current
// local zone. Tests can pin the clock with CFAbsoluteTimeSetCurrentForTesting (our own addition).
// Relies on CFBase and the C library's clock and time-zone database; all calls are thread-safe.
// Times beyond about 31 million years from 2001 are treated as that limit; never throws.
#pragma once

#include "platform/cf/CFBase.h"

typedef double CFTimeInterval;
typedef CFTimeInterval CFAbsoluteTime;

extern CFTimeInterval const kCFAbsoluteTimeIntervalSince1970;  // 978307200
extern CFTimeInterval const kCFAbsoluteTimeIntervalSince1904;  // 3061152000

struct CFTimeZoneOpaque;
typedef CFTimeZoneOpaque const* CFTimeZoneRef;

struct CFGregorianDate {
  SInt32 year;
  SInt8 month;
  SInt8 day;
  SInt8 hour;
  SInt8 minute;
  double second;
};

struct CFGregorianUnits {
  SInt32 years;
  SInt32 months;
  SInt32 days;
  SInt32 hours;
  SInt32 minutes;
  double seconds;
};

enum : CFOptionFlags {
  kCFGregorianUnitsYears = (1UL << 0),
  kCFGregorianUnitsMonths = (1UL << 1),
  kCFGregorianUnitsDays = (1UL << 2),
  kCFGregorianUnitsHours = (1UL << 3),
  kCFGregorianUnitsMinutes = (1UL << 4),
  kCFGregorianUnitsSeconds = (1UL << 5),
  kCFGregorianAllUnits = 0x00FFFFFF
};

// The clock: the real time, unless a test has pinned or shifted it.
CFAbsoluteTime CFAbsoluteTimeGetCurrent();
void CFAbsoluteTimeSetCurrentForTesting(CFAbsoluteTime fixed);    // answer this time
void CFAbsoluteTimeSetOffsetForTesting(CFTimeInterval offset);    // answer real time + offset
void CFAbsoluteTimeClearCurrentForTesting();                      // back to the real clock

// Month 1..12, day 1..days of that month, hour 0..23, minute 0..59, second 0 <= s < 60 and a
// year above 0, each tested only when its unit is in unitFlags.
Boolean CFGregorianDateIsValid(CFGregorianDate gdate, CFOptionFlags unitFlags);
// Fields beyond their range carry over (month 13 is January of the next year, day 0 the last day
// of the previous month).
CFAbsoluteTime CFGregorianDateGetAbsoluteTime(CFGregorianDate gdate, CFTimeZoneRef tz);
CFGregorianDate CFAbsoluteTimeGetGregorianDate(CFAbsoluteTime at, CFTimeZoneRef tz);
// Years and months move the calendar date (a day past the new month's end carries into the next
// month: January 31 + 1 month is March 3 in 2001); days move it by whole days; hours, minutes and
// seconds are added as elapsed time.
CFAbsoluteTime CFAbsoluteTimeAddGregorianUnits(CFAbsoluteTime at, CFTimeZoneRef tz,
                                               CFGregorianUnits units);
// at1 - at2 in the requested units, largest first: each unit takes the most whole steps from at2
// that do not pass at1, the rest goes to the smaller units; all parts are negative when at1 is
// earlier. Only the seconds keep a fraction; units not requested are 0.
CFGregorianUnits CFAbsoluteTimeGetDifferenceAsGregorianUnits(CFAbsoluteTime at1, CFAbsoluteTime at2,
                                                             CFTimeZoneRef tz,
                                                             CFOptionFlags unitFlags);
// 1 = Monday .. 7 = Sunday.
SInt32 CFAbsoluteTimeGetDayOfWeek(CFAbsoluteTime at, CFTimeZoneRef tz);

// The system zone, retained for the caller (release it with CFRelease). Never NULL: a zone the
// C library cannot load behaves as GMT, as the C library does.
CFTimeZoneRef CFTimeZoneCopySystem();
// Forgets the cached system zone so the next copy reads the zone settings afresh.
void CFTimeZoneResetSystem();
// Offset from GMT at the given time, east positive; 0 for a NULL zone.
CFTimeInterval CFTimeZoneGetSecondsFromGMT(CFTimeZoneRef tz, CFAbsoluteTime at);
Boolean CFTimeZoneIsDaylightSavingTime(CFTimeZoneRef tz, CFAbsoluteTime at);
