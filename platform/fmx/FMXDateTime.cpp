// FMXDateTime: a day number and the microseconds since midnight; the calendar fields are
// derived from them, and the setters normalise through them.
#include "platform/fmx/FMXDateTime.h"

#include <sys/time.h>

#include <ctime>

#include "platform/fmx/FMXInternal.h"

namespace fmx {

namespace {

const int64 kUSecPerDay = 86400LL * 1000000LL;

}  // namespace

int32 DateTime::GetYear() const {
  int64 y, m, d;
  detail::CivilFromDays(m_days, y, m, d);
  return int32(y);
}

int32 DateTime::GetMonth() const {
  int64 y, m, d;
  detail::CivilFromDays(m_days, y, m, d);
  return int32(m);
}

int32 DateTime::GetDay() const {
  int64 y, m, d;
  detail::CivilFromDays(m_days, y, m, d);
  return int32(d);
}

// Day 0, 1 January 1, was a Monday.
int32 DateTime::GetDayOfWeek() const { return int32(detail::FloorMod(m_days + 1, 7)) + 1; }

int32 DateTime::GetHour() const { return int32(m_usecOfDay / 3600000000LL); }

int32 DateTime::GetMinute() const { return int32(m_usecOfDay / 60000000LL % 60); }

int32 DateTime::GetSec() const { return int32(m_usecOfDay / 1000000LL % 60); }

int32 DateTime::GetUSec() const { return int32(m_usecOfDay % 1000000LL); }

void DateTime::SetNormalizedDate(int32 month, int32 day, int32 year) {
  int64 y = int64(year) + detail::FloorDiv(int64(month) - 1, 12);
  int64 m = detail::FloorMod(int64(month) - 1, 12) + 1;
  m_days = detail::DaysFromCivil(y, m, 1) + int64(day) - 1;
}

void DateTime::SetNormalizedTime(int32 hour, int32 minute, int32 sec, int32 usec) {
  int64 total = ((int64(hour) * 60 + minute) * 60 + sec) * 1000000LL + usec;
  m_days += detail::FloorDiv(total, kUSecPerDay);
  m_usecOfDay = detail::FloorMod(total, kUSecPerDay);
}

void DateTime::SetNow() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  time_t seconds = now.tv_sec;
  struct tm local;
  localtime_r(&seconds, &local);
  m_days = detail::DaysFromCivil(int64(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday);
  m_usecOfDay = ((int64(local.tm_hour) * 60 + local.tm_min) * 60 + local.tm_sec) * 1000000LL + now.tv_usec;
}

}  // namespace fmx
