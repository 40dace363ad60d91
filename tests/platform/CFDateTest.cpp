// Tests of the CoreFoundation date and time-zone stand-ins and the UTCDateTime conversions:
// epochs and calendar round trips, validity, month-end carry, zone offsets with
// daylight saving and a half-hour zone (TZ pinned), zone reference counts and the test clock.
// Needs the tzdata zones Europe/Berlin and Asia/Kolkata.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/carbon/UTCDateTime.h"
#include "platform/cf/CFDate.h"
#include "tests/support/ScopedTZ.h"

namespace {

CFGregorianDate Date(int year, int month, int day, int hour = 0, int minute = 0, double second = 0) {
  return CFGregorianDate{year, SInt8(month), SInt8(day), SInt8(hour), SInt8(minute), second};
}

CFAbsoluteTime GMT(int year, int month, int day, int hour = 0, int minute = 0, double second = 0) {
  return CFGregorianDateGetAbsoluteTime(Date(year, month, day, hour, minute, second), nullptr);
}

}  // namespace

TEST(CFDate, GMTCalendarRoundTripsAndEpochs) {
  struct Case {
    CFGregorianDate date;
    CFAbsoluteTime at;
    SInt32 dayOfWeek;  // 1 = Monday .. 7 = Sunday
  } const cases[] = {
      {Date(2001, 1, 1), 0.0, 1},
      {Date(1970, 1, 1), -kCFAbsoluteTimeIntervalSince1970, 4},
      {Date(1904, 1, 1), -kCFAbsoluteTimeIntervalSince1904, 5},
      {Date(2008, 12, 25, 9, 5, 7.25), 251888707.25, 4},
      {Date(2008, 12, 28), 252115200.0, 7},
      {Date(2106, 2, 7, 6, 28, 15), 3316660095.0, 7},
      {Date(1600, 2, 29, 23, 59, 59), -12649219201.0, 2},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.at);
    EXPECT_DOUBLE_EQ(CFGregorianDateGetAbsoluteTime(c.date, nullptr), c.at);
    CFGregorianDate const back = CFAbsoluteTimeGetGregorianDate(c.at, nullptr);
    EXPECT_EQ(back.year * 10000 + back.month * 100 + back.day,
              c.date.year * 10000 + c.date.month * 100 + c.date.day);
    EXPECT_EQ(back.hour * 100 + back.minute, c.date.hour * 100 + c.date.minute);
    EXPECT_NEAR(back.second, c.date.second, 1e-6);
    EXPECT_EQ(CFAbsoluteTimeGetDayOfWeek(c.at, nullptr), c.dayOfWeek);
  }
  // Out-of-range fields carry over; non-finite and far times still give a date.
  EXPECT_DOUBLE_EQ(GMT(2000, 13, 1), 0.0);
  EXPECT_DOUBLE_EQ(GMT(2001, 1, 0), -86400.0);
  EXPECT_EQ(CFAbsoluteTimeGetGregorianDate(0.0 / 0.0, nullptr).year, 2001);
  EXPECT_GT(CFAbsoluteTimeGetGregorianDate(1e300, nullptr).year, 30000000);
}

TEST(CFDate, ValidityOfGregorianDates) {
  CFGregorianDate const valid[] = {Date(2008, 2, 29), Date(2000, 2, 29),
                                   Date(2010, 12, 31, 23, 59, 59.999)};
  CFGregorianDate const invalid[] = {
      Date(2010, 2, 29),   Date(1900, 2, 29),         Date(2010, 4, 31),
      Date(2010, 13, 1),   Date(2010, 0, 1),          Date(2010, 1, 0),
      Date(0, 1, 1),       Date(2010, 1, 1, 24),      Date(2010, 1, 1, 0, 60),
      Date(2010, 1, 1, 0, 0, 60.0), Date(2010, 1, 1, 0, 0, -0.5), Date(2010, 1, 1, -1)};
  for (CFGregorianDate const& d : valid) EXPECT_TRUE(CFGregorianDateIsValid(d, kCFGregorianAllUnits));
  for (CFGregorianDate const& d : invalid) {
    SCOPED_TRACE(testing::Message() << d.year << "-" << int(d.month) << "-" << int(d.day) << " "
                                    << int(d.hour) << ":" << int(d.minute) << ":" << d.second);
    EXPECT_FALSE(CFGregorianDateIsValid(d, kCFGregorianAllUnits));
  }
  // Only the units asked for are tested.
  EXPECT_TRUE(CFGregorianDateIsValid(Date(2010, 2, 30, 99), kCFGregorianUnitsYears));
  EXPECT_FALSE(CFGregorianDateIsValid(Date(2010, 2, 30), kCFGregorianUnitsDays));
}

TEST(CFDate, AddUnitsCarriesOverMonthEnds) {
  CFAbsoluteTime const jan31 = GMT(2001, 1, 31, 10);
  struct Case {
    CFGregorianUnits units;
    CFAbsoluteTime expected;
  } const cases[] = {
      {{0, 1, 0, 0, 0, 0}, GMT(2001, 3, 3, 10)},     // February 2001 has 28 days
      {{7, 1, 0, 0, 0, 0}, GMT(2008, 3, 2, 10)},     // leap year
      {{0, 11, 1, 0, 0, 0}, GMT(2002, 1, 1, 10)},    // across the year end
      {{0, -2, 0, 0, 0, 0}, GMT(2000, 12, 1, 10)},   // "November 31" carries to December 1
      {{-1, 0, -31, 0, 0, 0}, GMT(1999, 12, 31, 10)},
      {{0, 0, 0, 0, -601, 30.5}, GMT(2001, 1, 30, 23, 59, 30.5)},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(testing::Message() << c.units.years << "y " << c.units.months << "m");
    EXPECT_DOUBLE_EQ(CFAbsoluteTimeAddGregorianUnits(jan31, nullptr, c.units), c.expected);
  }
}

TEST(CFDate, SystemZoneFollowsTZ) {
  CFAbsoluteTime const winter = GMT(2008, 1, 15, 12), summer = GMT(2008, 7, 1, 10);
  {
    ScopedTZ pin("Europe/Berlin");
    CFTimeZoneRef zone = CFTimeZoneCopySystem();
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(CFTimeZoneGetSecondsFromGMT(zone, winter), 3600.0);
    EXPECT_EQ(CFTimeZoneGetSecondsFromGMT(zone, summer), 7200.0);
    EXPECT_FALSE(CFTimeZoneIsDaylightSavingTime(zone, winter));
    EXPECT_TRUE(CFTimeZoneIsDaylightSavingTime(zone, summer));
    CFRelease(zone);
  }
  ScopedTZ pin("Asia/Kolkata");  // a changed TZ is picked up at the next copy
  CFTimeZoneRef zone = CFTimeZoneCopySystem();
  EXPECT_EQ(CFTimeZoneGetSecondsFromGMT(zone, summer), 19800.0);
  EXPECT_DOUBLE_EQ(CFGregorianDateGetAbsoluteTime(Date(2008, 7, 1, 15, 30), zone), summer);
  CFRelease(zone);
  EXPECT_EQ(CFTimeZoneGetSecondsFromGMT(nullptr, summer), 0.0);
}

TEST(CFDate, ZoneObjectsAreReferenceCounted) {
  ScopedTZ pin("UTC");
  CFTimeZoneRef first = CFTimeZoneCopySystem();
  CFIndex const held = CFGetRetainCount(first);  // the cache's reference and ours
  EXPECT_EQ(held, 2);
  EXPECT_EQ(CFGetTypeID(first), CFTypeID(kCFRuntimeTypeTimeZone));
  CFTimeZoneRef second = CFTimeZoneCopySystem();
  EXPECT_EQ(first, second);
  EXPECT_EQ(CFGetRetainCount(first), 3);
  CFRelease(second);
  EXPECT_EQ(CFRetain(first), first);
  CFRelease(first);
  // A zone still held outlives a reset of the cache (ASan watches the last release).
  CFTimeZoneResetSystem();
  EXPECT_EQ(CFGetRetainCount(first), 1);
  CFRelease(first);
  CFRelease(nullptr);
  EXPECT_EQ(CFGetRetainCount(nullptr), 0);
}

TEST(CFDate, TestClockPinsAndShiftsTheCurrentTime) {
  CFAbsoluteTime const real = CFAbsoluteTimeGetCurrent();
  EXPECT_GT(real, 7e8);  // after 2023
  CFAbsoluteTimeSetCurrentForTesting(1234.5);
  EXPECT_EQ(CFAbsoluteTimeGetCurrent(), 1234.5);
  CFAbsoluteTimeSetOffsetForTesting(-86400.0 * 365);
  EXPECT_NEAR(CFAbsoluteTimeGetCurrent(), real - 86400.0 * 365, 60.0);
  CFAbsoluteTimeClearCurrentForTesting();
  EXPECT_NEAR(CFAbsoluteTimeGetCurrent(), real, 60.0);
}

TEST(UTCDateTime, ConvertsToAndFromAbsoluteTime) {
  struct Case {
    UTCDateTime utc;
    CFAbsoluteTime at;
  } const cases[] = {
      {{0, 0, 0}, -3061152000.0},
      {{0, 3061152000u, 0x8000}, 0.5},
      {{1, 0, 0x4000}, 4294967296.0 - 3061152000.0 + 0.25},
      {{0xFFFF, 0xFFFFFFFFu, 0}, 281474976710655.0 - 3061152000.0},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.at);
    CFAbsoluteTime at = 1.0;
    ASSERT_EQ(UCConvertUTCDateTimeToCFAbsoluteTime(&c.utc, &at), noErr);
    EXPECT_DOUBLE_EQ(at, c.at);
    UTCDateTime back = {9, 9, 9};
    ASSERT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(c.at, &back), noErr);
    EXPECT_EQ(back.highSeconds, c.utc.highSeconds);
    EXPECT_EQ(back.lowSeconds, c.utc.lowSeconds);
    EXPECT_EQ(back.fraction, c.utc.fraction);
  }
  UTCDateTime untouched = {1, 2, 3};
  EXPECT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(-3061152000.5, &untouched), kUTCUnderflowErr);
  EXPECT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(281474976710656.0, &untouched), kUTCOverflowErr);
  EXPECT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(0.0 / 0.0, &untouched), kUTCUnderflowErr);
  EXPECT_EQ(untouched.lowSeconds, 2u);
  CFAbsoluteTime at = 0.0;
  EXPECT_EQ(UCConvertUTCDateTimeToCFAbsoluteTime(nullptr, &at), -50);
  EXPECT_EQ(UCConvertCFAbsoluteTimeToUTCDateTime(0.0, nullptr), -50);
}
