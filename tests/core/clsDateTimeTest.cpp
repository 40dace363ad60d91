// Tests of clsDateTime: the Unix-seconds form and the comparisons built on it, the encodes
// (invalid dates leave the value alone), daylight-saving and half-hour zones, the text forms,
// SetAsString in both its forms, and the GMT arithmetic of AdjustDateTime and CalcDiff.
// Each test pins TZ (and, where "now" matters, the stand-in's clock) and restores both.
// Needs the tzdata zones Europe/Berlin and Asia/Kolkata.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "core/clsDateTime.h"
#include "tests/support/ScopedTZ.h"

namespace {

class ScopedClock {
 public:
  explicit ScopedClock(CFAbsoluteTime now) { CFAbsoluteTimeSetCurrentForTesting(now); }
  ~ScopedClock() { CFAbsoluteTimeClearCurrentForTesting(); }
};

// A value from Unix seconds plus a fraction in 1/65536 s, set through a file date.
clsDateTime At(uint32_t unixSeconds, UInt16 fraction = 0) {
  UTCDateTime file = {0, uint32_t(unixSeconds + 2082844800u), fraction};
  clsDateTime value;
  value.Assign(&file);
  return value;
}

std::string Text(clsDateTime const& value) { return value.GetAsString().c_str(); }

constexpr uint32_t kChristmas2008 = 1230195907;  // 2008-12-25 09:05:07 GMT, a Thursday
constexpr uint32_t kSummer2008 = 1214906400;     // 2008-07-01 10:00:00 GMT
constexpr uint32_t kWinter2008 = 1200398400;     // 2008-01-15 12:00:00 GMT
constexpr uint32_t kLateSaturday = 1230420600;   // 2008-12-27 23:30:00 GMT

}  // namespace

TEST(clsDateTime, UnixSecondsAndComparisons) {
  ScopedTZ pin("UTC");
  clsDateTime value;
  EXPECT_EQ(Text(value), "01/01/2001 00:00:00");
  value.SetAsSeconds(0);
  EXPECT_EQ(Text(value), "01/01/1970 00:00:00");
  EXPECT_DOUBLE_EQ(value.GetNativeDateTime(), -978307200.0);
  clsDateTime before1970 = value, longBefore = value;
  before1970.AdjustDateTime(0, 0, 0, 0, 0, -1);
  longBefore.AdjustDateTime(-10, 0, 0, 0, 0, 0);
  EXPECT_EQ(before1970.GetAsSeconds(), 0u);
  EXPECT_TRUE(longBefore == before1970);  // all times before 1970 are equal
  clsDateTime last;
  last.SetAsSeconds(4294967295u);
  EXPECT_EQ(Text(last), "02/07/2106 06:28:15");
  last.AdjustDateTime(1, 0, 0, 0, 0, 0);
  EXPECT_EQ(last.GetAsSeconds(), 4294967295u);
  // Whole seconds decide: a fraction apart is equal.
  clsDateTime a = At(kChristmas2008), b = At(kChristmas2008, 0xFFFF), c = At(kChristmas2008 + 1);
  EXPECT_TRUE(a == b && a <= b && a >= b && !(a < b) && !(a > b));
  EXPECT_TRUE(a < c && c > a && a <= c && c >= a && !(a == c));
}

TEST(clsDateTime, EncodesKeepTheValueWhenTheDateIsInvalid) {
  ScopedTZ pin("Europe/Berlin");
  clsDateTime value = At(kChristmas2008);
  EXPECT_EQ(Text(value), "12/25/2008 10:05:07");
  value.EncodeDate(2010, 2, 30);
  value.EncodeDate(2010, 257, 1);  // no month 257, and not January by 8-bit wrap-around
  value.EncodeTime(24, 0, 0);
  value.EncodeDateTime(2009, 2, 29, 12, 0, 0);
  EXPECT_EQ(Text(value), "12/25/2008 10:05:07");
  value.EncodeDate(2008, 2, 29);
  EXPECT_EQ(Text(value), "02/29/2008 10:05:07");
  value.EncodeDateTime(0, 0, 0, 12, 0, 0);
  EXPECT_EQ(Text(value), "02/29/2008 12:00:00");
  value.EncodeDateTime(0, 7, 0, 12, 0, 0);  // summer time: 12:00 in Berlin is 10:00 GMT
  EXPECT_EQ(value.GetAsSeconds(), kSummer2008 + 28 * 86400u);

  clsDateTime fraction = At(kChristmas2008, 0xC000);
  CFAbsoluteTime const withFraction = At(kChristmas2008).GetNativeDateTime() + 0.75;
  EXPECT_DOUBLE_EQ(fraction.GetNativeDateTime(), withFraction);
  fraction.EncodeDate(2008, 12, 24);  // keeps the time of day, fraction and all
  EXPECT_DOUBLE_EQ(fraction.GetNativeDateTime(), withFraction - 86400.0);
  fraction.EncodeTime(10, 5, 7);  // whole seconds only
  fraction.Assign(nullptr);
  EXPECT_DOUBLE_EQ(fraction.GetNativeDateTime(), withFraction - 86400.75);
}

TEST(clsDateTime, SystemZoneDaylightSavingAndHalfHours) {
  unsigned short hour = 0, minute = 0, second = 0, year = 0, month = 0, day = 0;
  {
    ScopedTZ pin("Europe/Berlin");
    clsDateTime summer = At(kSummer2008), winter = At(kWinter2008);
    summer.DecodeTime(&hour, &minute, nullptr);
    EXPECT_EQ(hour, 12);
    winter.DecodeTime(&hour, nullptr, &second);
    EXPECT_EQ(hour, 13);
    {
      ScopedClock now(summer.GetNativeDateTime());  // the offset in force now, not then
      EXPECT_EQ(winter.GetGMTOffset(), 7200);
    }
    ScopedClock now(winter.GetNativeDateTime());
    EXPECT_EQ(summer.GetGMTOffset(), 3600);
    clsDateTime lateSaturday = At(kLateSaturday);  // already Sunday in Berlin
    EXPECT_EQ(lateSaturday.GetDayOfWeek(), 0);
    lateSaturday.DecodeDate(&year, &month, &day);
    EXPECT_EQ(year * 10000 + month * 100 + day, 20081228);
  }
  {
    ScopedTZ pin("Asia/Kolkata");
    clsDateTime summer = At(kSummer2008);
    summer.DecodeTime(&hour, &minute, &second);
    EXPECT_EQ(hour * 10000 + minute * 100 + second, 153000);
    summer.EncodeTime(5, 15, 0);
    EXPECT_EQ(summer.GetAsSeconds(), kSummer2008 - 10 * 3600 - 15 * 60);
    ScopedClock now(0.0);
    EXPECT_EQ(summer.GetGMTOffset(), 19800);
  }
  ScopedTZ pin("UTC");
  EXPECT_EQ(At(kLateSaturday).GetDayOfWeek(), 6);
  EXPECT_EQ(At(kChristmas2008).GetDayOfWeek(), 4);
}

TEST(clsDateTime, TextForms) {
  ScopedTZ pin("UTC");
  clsDateTime value;
  value.EncodeDateTime(2008, 12, 25, 9, 5, 7);
  EXPECT_EQ(value.GetAsSeconds(), kChristmas2008);
  clsDateTime quarter = At(kChristmas2008, 0x4000);
  EXPECT_EQ(Text(quarter), "12/25/2008 09:05:07");
  EXPECT_EQ(std::string(quarter.GetDateAsString().c_str()), "12/25/2008");
  EXPECT_EQ(std::string(quarter.GetTimeAsString(false).c_str()), "09:05:07");
  EXPECT_EQ(std::string(quarter.GetTimeAsString(true).c_str()), "09:05:7.250000");
  quarter.AdjustDateTime(0, 0, 0, 0, 0, 10);
  EXPECT_EQ(std::string(quarter.GetTimeAsString(true).c_str()), "09:05:17.250000");
  value.SetAsSeconds(0);
  value.AdjustDateTime(7999, 0, 0, 0, 0, 0);
  EXPECT_EQ(Text(value), "01/01/9969 00:00:00");
}

TEST(clsDateTime, SetAsStringWithoutPattern) {
  ScopedTZ pin("UTC");
  struct Case {
    char const* text;
    char const* expected;  // nullptr: the value stays as it was
  } const cases[] = {
      {"12/25/2008 09:05:07", "12/25/2008 09:05:07"}, {"1/5/2008 9:05:07", "01/05/2008 09:05:07"},
      {"12/5/2008 23:59:59", "12/05/2008 23:59:59"},  {"2/29/2008 0:00:00", "02/29/2008 00:00:00"},
      {"12/25/2008", nullptr},         {"12/25/2008 ", nullptr},         {"", nullptr},
      {"2/30/2010 10:00:00", nullptr}, {"13/01/2010 10:00:00", nullptr}, {"1", nullptr},
      {"12/25/2008 24:00:00", nullptr}, {"1/", nullptr}, {"ab/cd/efgh ij:kl:mn", nullptr},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.text);
    clsDateTime value = At(kSummer2008);
    value.SetAsString(c.text, "");
    EXPECT_EQ(Text(value), c.expected != nullptr ? c.expected : "07/01/2008 10:00:00");
  }
}

TEST(clsDateTime, SetAsStringWithPattern) {
  ScopedTZ pin("UTC");
  ScopedClock clock(At(kSummer2008, 0x8000).GetNativeDateTime());  // 07/01/2008 10:00:00.5
  struct Case {
    char const* text;
    char const* pattern;
    char const* expected;
  } const cases[] = {
      {"25.12.2008", "dd.mm.yyyy", "12/25/2008 10:00:00"},
      {"49-03-04", "YY-MM-DD", "03/04/2049 10:00:00"},
      {"50-03-04", "YY-MM-DD", "03/04/1950 10:00:00"},
      {"2008x12y25z0905", "YYYYaMMbDDcHHNN", "12/25/2008 09:05:00"},
      {"20081225", "yyyy", "07/01/2008 10:00:00"},           // only the year is read
      {"2008", "DDMMYYYY", "08/20/2008 10:00:00"},           // the year lies past the end
      {"30.02.2010", "dd.mm.yyyy", "01/01/2001 00:00:00"},   // invalid: unchanged
      {"", "dd.mm.yyyy", "01/01/2001 00:00:00"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " / " << c.pattern);
    clsDateTime value;
    value.SetAsString(c.text, c.pattern);
    EXPECT_EQ(Text(value), c.expected);
  }
  // The fraction of the current second stays unless SS is read.
  clsDateTime value;
  value.SetAsString("25.12.2008", "DD.MM.YYYY");
  EXPECT_EQ(std::string(value.GetTimeAsString(true).c_str()), "10:00:0.500000");
  value.SetAsString("07", "SS");
  EXPECT_EQ(std::string(value.GetTimeAsString(true).c_str()), "10:00:7.000000");
}

TEST(clsDateTime, AdjustAndDifferenceInGMT) {
  ScopedTZ pin("Europe/Berlin");
  clsDateTime start;
  start.SetAsSeconds(1233397800);  // 2009-01-31 10:30:00 GMT
  struct Case {
    int years, months, days, hours, minutes, seconds;
    char const* expected;  // Berlin time
  } const cases[] = {
      {0, 0, 0, 0, 0, 90, "01/31/2009 11:31:30"},
      {0, 0, 1, 0, 0, 0, "02/01/2009 11:30:00"},
      {0, 1, 0, 0, 0, 0, "03/03/2009 11:30:00"},   // January 31 + 1 month carries over
      {-1, -1, 1, 13, 30, 0, "01/02/2008 01:00:00"},
      {0, 6, 0, 0, 0, 0, "07/31/2009 12:30:00"},   // GMT time of day kept across summer time
  };
  for (Case const& c : cases) {
    clsDateTime value = start;
    value.AdjustDateTime(c.years, c.months, c.days, c.hours, c.minutes, c.seconds);
    EXPECT_EQ(Text(value), c.expected);
  }

  int years = -1, months = -1, days = -1, hours = -1, minutes = -1, seconds = -1;
  clsDateTime later = start;
  later.AdjustDateTime(1, 2, 3, 4, 5, 6);
  later.CalcDiff(start, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  later.CalcDiff(start, &years, &months, &days, &hours, &minutes, &seconds);
  EXPECT_EQ(years * 10000 + months * 100 + days, 10203);
  EXPECT_EQ(hours * 10000 + minutes * 100 + seconds, 40506);
  start.CalcDiff(later, &years, &months, &days, &hours, &minutes, &seconds);
  EXPECT_TRUE(years == -1 && months <= 0 && days <= 0 && hours <= 0 && seconds <= 0);
  start.CalcDiff(later, nullptr, nullptr, nullptr, nullptr, nullptr, &seconds);
  EXPECT_EQ(seconds, int(start.GetAsSeconds()) - int(later.GetAsSeconds()));
  later.CalcDiff(start, nullptr, nullptr, &days, &hours, nullptr, nullptr);
  EXPECT_EQ(days, 365 + 28 + 31 + 3);
  EXPECT_EQ(hours, 4);
  // A difference too large for an int of seconds is held at the limit.
  clsDateTime ancient;
  ancient.AdjustDateTime(-1000, 0, 0, 0, 0, 0);
  start.CalcDiff(ancient, nullptr, nullptr, nullptr, nullptr, nullptr, &seconds);
  EXPECT_EQ(seconds, 2147483647);
}
