// clsDateTime: calendar fields, arithmetic and text forms of the date-time value, all delegated
// to the CoreFoundation Gregorian calendar. Fields and texts use the system time zone, fetched
// with CFTimeZoneCopySystem and released after each use; arithmetic runs in GMT (no zone).
// Every setter builds a CFGregorianDate, checks it with CFGregorianDateIsValid and only then
// replaces the value, so a bad date changes nothing. Text is formatted without the process
// locale. Never throws.
#include "core/clsDateTime.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// The system time zone for the length of one operation.
class SystemZone {
 public:
  SystemZone() : m_udtZone(CFTimeZoneCopySystem()) {}
  ~SystemZone() {
    if (m_udtZone != nullptr) CFRelease(m_udtZone);
  }
  SystemZone(SystemZone const&) = delete;
  SystemZone& operator=(SystemZone const&) = delete;
  CFTimeZoneRef Get() const { return m_udtZone; }

 private:
  CFTimeZoneRef m_udtZone;
};

CFGregorianDate FieldsInSystemZone(CFAbsoluteTime at) {
  SystemZone zone;
  return CFAbsoluteTimeGetGregorianDate(at, zone.Get());
}

// The whole second of a field, cut toward zero after limiting it to 0..4294967295.
uint32_t WholeSecond(double second) {
  if (!(second > 0.0)) return 0;
  if (second >= 4294967295.0) return 4294967295u;
  return uint32_t(second);
}

// A calendar field narrowed to the 8 bits of CFGregorianDate. A number that does not fit is
// made out of range (-1), so the date fails validation instead of wrapping to another month.
SInt8 NarrowField(int32_t value) {
  return (value < -128 || value > 127) ? SInt8(-1) : SInt8(value);
}

AnsiString DateText(CFGregorianDate const& date) {
  char text[40];
  std::snprintf(text, sizeof text, "%02u/%02u/%04u", unsigned(date.month), unsigned(date.day),
                unsigned(date.year));
  return AnsiString(text);
}

AnsiString TimeText(CFGregorianDate const& date, bool fraction) {
  char text[64];
  if (!fraction) {
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned(date.hour), unsigned(date.minute),
                  unsigned(WholeSecond(date.second)));
    return AnsiString(text);
  }
  // "%02.6f" of the second, written with to_chars so the decimal point is always '.'.
  int const used = std::snprintf(text, sizeof text, "%02u:%02u:", unsigned(date.hour),
                                 unsigned(date.minute));
  char* const begin = text + used;
  char* const end = text + sizeof text - 1;
  std::to_chars_result const written =
      std::to_chars(begin, end, date.second, std::chars_format::fixed, 6);
  // Six decimals always make more than the width of 2, so no padding is ever due.
  *(written.ec == std::errc() ? written.ptr : begin) = '\0';
  return AnsiString(text);
}

}  // namespace

void clsDateTime::SetToNow() { m_dblAbsoluteTime = CFAbsoluteTimeGetCurrent(); }

uint32_t clsDateTime::GetAsSeconds() const {
  double const unix = m_dblAbsoluteTime + kCFAbsoluteTimeIntervalSince1970;
  if (!(unix > 0.0)) return 0;  // before 1970, or not a number
  if (unix >= 4294967295.0) return 4294967295u;
  return uint32_t(unix);
}

void clsDateTime::SetAsSeconds(uint32_t s) {
  m_dblAbsoluteTime = double(s) - kCFAbsoluteTimeIntervalSince1970;
}

void clsDateTime::Assign(UTCDateTime* t) {
  CFAbsoluteTime converted = 0.0;
  if (t != nullptr && UCConvertUTCDateTimeToCFAbsoluteTime(t, &converted) == noErr)
    m_dblAbsoluteTime = converted;
}

void clsDateTime::DecodeDate(unsigned short* year, unsigned short* month,
                             unsigned short* day) const {
  CFGregorianDate const date = FieldsInSystemZone(m_dblAbsoluteTime);
  if (year != nullptr) *year = static_cast<unsigned short>(date.year);
  if (month != nullptr) *month = static_cast<unsigned short>(date.month);
  if (day != nullptr) *day = static_cast<unsigned short>(date.day);
}

void clsDateTime::DecodeTime(unsigned short* hour, unsigned short* minute,
                             unsigned short* second) const {
  CFGregorianDate const date = FieldsInSystemZone(m_dblAbsoluteTime);
  if (hour != nullptr) *hour = static_cast<unsigned short>(date.hour);
  if (minute != nullptr) *minute = static_cast<unsigned short>(date.minute);
  if (second != nullptr) *second = static_cast<unsigned short>(WholeSecond(date.second));
}

void clsDateTime::SetFromFields(CFGregorianDate const& fields, CFTimeZoneRef zone) {
  if (CFGregorianDateIsValid(fields, kCFGregorianAllUnits))
    m_dblAbsoluteTime = CFGregorianDateGetAbsoluteTime(fields, zone);
}

void clsDateTime::EncodeDate(unsigned short year, unsigned short month, unsigned short day) {
  SystemZone zone;
  CFGregorianDate date = CFAbsoluteTimeGetGregorianDate(m_dblAbsoluteTime, zone.Get());
  date.year = year;
  date.month = NarrowField(month);
  date.day = NarrowField(day);
  SetFromFields(date, zone.Get());
}

void clsDateTime::EncodeTime(unsigned short hour, unsigned short minute, unsigned short second) {
  SystemZone zone;
  CFGregorianDate date = CFAbsoluteTimeGetGregorianDate(m_dblAbsoluteTime, zone.Get());
  date.hour = NarrowField(hour);
  date.minute = NarrowField(minute);
  date.second = second;
  SetFromFields(date, zone.Get());
}

void clsDateTime::EncodeDateTime(unsigned short year, unsigned short month, unsigned short day,
                                 unsigned short hour, unsigned short minute,
                                 unsigned short second) {
  SystemZone zone;
  CFGregorianDate date = CFAbsoluteTimeGetGregorianDate(m_dblAbsoluteTime, zone.Get());
  if (year != 0) date.year = year;
  if (month != 0) date.month = NarrowField(month);
  if (day != 0) date.day = NarrowField(day);
  date.hour = NarrowField(hour);
  date.minute = NarrowField(minute);
  date.second = second;
  SetFromFields(date, zone.Get());
}

int clsDateTime::GetDayOfWeek() const {
  SystemZone zone;
  // The calendar counts 1 = Monday .. 7 = Sunday; Sunday becomes 0.
  return int(CFAbsoluteTimeGetDayOfWeek(m_dblAbsoluteTime, zone.Get()) % 7);
}

int clsDateTime::GetGMTOffset() const {
  SystemZone zone;
  return int(CFTimeZoneGetSecondsFromGMT(zone.Get(), CFAbsoluteTimeGetCurrent()));
}

void clsDateTime::AdjustDateTime(int years, int months, int days, int hours, int minutes,
                                 int seconds) {
  CFGregorianUnits const units = {years, months, days, hours, minutes, 0.0};
  m_dblAbsoluteTime = CFAbsoluteTimeAddGregorianUnits(m_dblAbsoluteTime, nullptr, units);
  m_dblAbsoluteTime += seconds;
}

void clsDateTime::CalcDiff(clsDateTime other, int* years, int* months, int* days, int* hours,
                           int* minutes, int* seconds) {
  CFOptionFlags mask = 0;
  if (years != nullptr) mask |= kCFGregorianUnitsYears;
  if (months != nullptr) mask |= kCFGregorianUnitsMonths;
  if (days != nullptr) mask |= kCFGregorianUnitsDays;
  if (hours != nullptr) mask |= kCFGregorianUnitsHours;
  if (minutes != nullptr) mask |= kCFGregorianUnitsMinutes;
  if (seconds != nullptr) mask |= kCFGregorianUnitsSeconds;
  if (mask == 0) return;
  CFGregorianUnits const diff = CFAbsoluteTimeGetDifferenceAsGregorianUnits(
      m_dblAbsoluteTime, other.m_dblAbsoluteTime, nullptr, mask);
  if (years != nullptr) *years = diff.years;
  if (months != nullptr) *months = diff.months;
  if (days != nullptr) *days = diff.days;
  if (hours != nullptr) *hours = diff.hours;
  if (minutes != nullptr) *minutes = diff.minutes;
  if (seconds != nullptr) {
    // Cut toward zero, held to the int range (a difference of centuries in seconds overflows it).
    double const whole = std::trunc(diff.seconds);
    *seconds = whole >= 2147483647.0 ? 2147483647
             : whole <= -2147483648.0 ? -2147483647 - 1
             : whole == whole ? int(whole) : 0;
  }
}

AnsiString clsDateTime::GetAsString() const {
  CFGregorianDate const date = FieldsInSystemZone(m_dblAbsoluteTime);
  return DateText(date) + AnsiString(" ") + TimeText(date, false);
}

AnsiString clsDateTime::GetDateAsString() const {
  return DateText(FieldsInSystemZone(m_dblAbsoluteTime));
}

AnsiString clsDateTime::GetTimeAsString(bool fraction) const {
  return TimeText(FieldsInSystemZone(m_dblAbsoluteTime), fraction);
}

void clsDateTime::SetAsString(AnsiString value, AnsiString pattern) {
  if (value.Length() == 0) return;
  SystemZone zone;
  if (zone.Get() == nullptr) return;
  int const length = value.Length();

  if (pattern.Length() == 0) {
    // month/day/year hour:minute:second, month, day and hour with one or two digits.
    if (length < 2) return;
    int const monthDigits = value[2] == '/' ? 1 : 2;
    int32_t const month = value.SubString(1, monthDigits).ToInt();
    int const dayStart = monthDigits + 2;
    if (length < dayStart + 1) return;
    int const dayDigits = value[dayStart + 1] == '/' ? 1 : 2;
    int32_t const day = value.SubString(dayStart, dayDigits).ToInt();
    int const yearSlash = dayStart + dayDigits;
    int32_t const year = value.SubString(yearSlash + 1, 4).ToInt();
    int const hourStart = yearSlash + 6;
    if (length < hourStart + 1) return;  // a date alone changes nothing
    int const hourDigits = value[hourStart + 1] == ':' ? 1 : 2;
    int32_t const hour = value.SubString(hourStart, hourDigits).ToInt();
    int const minuteColon = hourStart + hourDigits;
    int32_t const minute = value.SubString(minuteColon + 1, 2).ToInt();
    int32_t const second = value.SubString(minuteColon + 4, 2).ToInt();

    CFGregorianDate date;
    date.year = year;
    date.month = NarrowField(month);
    date.day = NarrowField(day);
    date.hour = NarrowField(hour);
    date.minute = NarrowField(minute);
    date.second = second;
    SetFromFields(date, zone.Get());
    return;
  }

  // The pattern only says where each field starts; what lies between tokens is not compared.
  AnsiString const upper = pattern.UpperCase();
  CFGregorianDate date = CFAbsoluteTimeGetGregorianDate(CFAbsoluteTimeGetCurrent(), zone.Get());
  auto field = [&](char const* token, int width, int32_t* number) {
    int const position = upper.Pos(AnsiString(token), false, 1, 1);
    if (position <= 0) return false;
    AnsiString const digits = value.SubString(position, width);
    if (digits.Length() == 0) return false;
    *number = digits.ToInt();
    return true;
  };
  int32_t number = 0;
  if (upper.Pos(AnsiString("YYYY"), false, 1, 1) > 0) {
    if (field("YYYY", 4, &number)) date.year = number;
  } else if (field("YY", 2, &number)) {
    // Two-digit years pivot at 50: 00..49 are 2000..2049, 50..99 are 1950..1999.
    date.year = number <= 49 ? number + 2000 : number + 1900;
  }
  if (field("MM", 2, &number)) date.month = NarrowField(number);
  if (field("DD", 2, &number)) date.day = NarrowField(number);
  if (field("HH", 2, &number)) date.hour = NarrowField(number);
  if (field("NN", 2, &number)) date.minute = NarrowField(number);
  if (field("SS", 2, &number)) date.second = number;
  SetFromFields(date, zone.Get());
}

bool clsDateTime::operator==(clsDateTime const& other) const {
  return GetAsSeconds() == other.GetAsSeconds();
}
bool clsDateTime::operator<(clsDateTime const& other) const {
  return GetAsSeconds() < other.GetAsSeconds();
}
bool clsDateTime::operator>(clsDateTime const& other) const {
  return GetAsSeconds() > other.GetAsSeconds();
}
bool clsDateTime::operator<=(clsDateTime const& other) const {
  return GetAsSeconds() <= other.GetAsSeconds();
}
bool clsDateTime::operator>=(clsDateTime const& other) const {
  return GetAsSeconds() >= other.GetAsSeconds();
}
