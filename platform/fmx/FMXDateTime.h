// FMXDateTime: the host's date, time and timestamp value: a proleptic Gregorian calendar date
// and a time of day to the microsecond, without a time zone.
// Interface: fmx::DateTime (calendar getters, SetNormalizedDate/Time, SetNow, SetDate/SetTime)
// and fmx::DateTimeAutoPtr.
// Relies on the C library's clock and local time zone for SetNow. Never throws.
#pragma once

#include "platform/fmx/FMXTypes.h"

namespace fmx {

class DateTime {
 public:
  // 1 January of the year 1, 00:00:00.
  DateTime() = default;

  int32 GetYear() const;
  int32 GetMonth() const;
  int32 GetDay() const;
  int32 GetDayOfWeek() const;  // 1 Sunday .. 7 Saturday
  int32 GetHour() const;
  int32 GetMinute() const;
  int32 GetSec() const;
  int32 GetUSec() const;

  // Out-of-range fields carry over (month 13 is January of the next year, day 0 the last day
  // of the month before, 25 hours the next day at 1:00); the other half is kept.
  void SetNormalizedDate(int32 month, int32 day, int32 year);
  void SetNormalizedTime(int32 hour, int32 minute, int32 sec, int32 usec = 0);
  // The current local date and time.
  void SetNow();
  // Take only the date or only the time of day of another value.
  void SetDate(DateTime const& other) { m_days = other.m_days; }
  void SetTime(DateTime const& other) { m_usecOfDay = other.m_usecOfDay; }

  // Days since 1 January 1 (that day is 0) and microseconds since midnight.
  int64 GetDayNumber() const { return m_days; }
  int64 GetUSecOfDay() const { return m_usecOfDay; }

  bool operator==(DateTime const& other) const {
    return m_days == other.m_days && m_usecOfDay == other.m_usecOfDay;
  }
  bool operator!=(DateTime const& other) const { return !(*this == other); }

 private:
  int64 m_days = 0;
  int64 m_usecOfDay = 0;
};

typedef AutoPtr<DateTime> DateTimeAutoPtr;

}  // namespace fmx
