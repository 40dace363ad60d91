// CFDate: the clock, the proleptic Gregorian calendar and the system time zone of the
// CoreFoundation stand-in, over clock_gettime, localtime_r and the C library's zone database.
// The system zone follows TZ: every CFTimeZoneCopySystem compares TZ with the value it last saw
// and runs tzset when it changed, so a test can pin a zone with setenv. Offsets come from
// localtime_r's tm_gmtoff. Non-finite times count as 0 and far times are held to +-1e15 seconds,
// so no conversion overflows. Never throws.
#include "platform/cf/CFDate.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <atomic>
#include <mutex>
#include <string>

CFTimeInterval const kCFAbsoluteTimeIntervalSince1970 = 978307200.0;
CFTimeInterval const kCFAbsoluteTimeIntervalSince1904 = 3061152000.0;

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr int64_t kDaysFrom1970To2001 = 11323;
constexpr double kTimeLimit = 1e15;  // about 31.7 million years either side of 2001

// A time zone object: the TZ text it was made for (empty when TZ was unset).
class CFTimeZoneObject : public CFRuntimeObject {
 public:
  explicit CFTimeZoneObject(std::string const& name) : CFRuntimeObject(kCFRuntimeTypeTimeZone),
                                              m_strName(name) {}
  std::string m_strName;
};

// The test clock: 0 real, 1 fixed, 2 offset. The mode is changed under the lock and read
// without it, so the real clock costs no lock; the value is read under the lock.
std::mutex g_mtxClock;
std::atomic<int> g_intClockMode{0};
double g_dblClockValue = 0.0;

double RealAbsoluteTime() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9 - kCFAbsoluteTimeIntervalSince1970;
}

// The cached system zone and the TZ it was made under.
std::mutex g_mtxZone;
CFTimeZoneObject* g_pobjSystemZone = nullptr;
bool g_bolZoneTZSet = false;
std::string g_strZoneTZ;

double Tame(double at) {
  if (!std::isfinite(at)) return 0.0;
  if (at > kTimeLimit) return kTimeLimit;
  if (at < -kTimeLimit) return -kTimeLimit;
  return at;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12, any day count).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  int64_t const era = FloorDiv(year, 400);
  int64_t const yoe = year - era * 400;
  int64_t const mp = (month + 9) % 12;
  int64_t const doy = (153 * mp + 2) / 5 + day - 1;
  int64_t const doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t days, int64_t* year, int* month, int* day) {
  days += 719468;
  int64_t const era = FloorDiv(days, 146097);
  int64_t const doe = days - era * 146097;
  int64_t const yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t const doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t const mp = (5 * doy + 2) / 153;
  *day = int(doy - (153 * mp + 2) / 5 + 1);
  *month = int(mp < 10 ? mp + 3 : mp - 9);
  *year = yoe + era * 400 + (*month <= 2 ? 1 : 0);
}

bool IsLeapYear(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int64_t year, int month) {
  static int const kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

// The C library's local offset and daylight flag at an absolute time.
bool LocalInfo(double at, long* offset, bool* dst) {
  time_t const t = time_t(std::floor(Tame(at) + kCFAbsoluteTimeIntervalSince1970));
  struct tm fields;
  if (localtime_r(&t, &fields) == nullptr) return false;
  *offset = fields.tm_gmtoff;
  *dst = fields.tm_isdst > 0;
  return true;
}

// Calendar fields of a time seen in a zone, with the year kept wide.
struct WideDate {
  int64_t year;
  int month, day, hour, minute;
  double second;
};

WideDate SplitTime(double at, CFTimeZoneRef tz) {
  at = Tame(at);
  double const local = at + CFTimeZoneGetSecondsFromGMT(tz, at);
  double days = std::floor(local / kSecondsPerDay);
  double secOfDay = local - days * kSecondsPerDay;
  if (secOfDay < 0.0) secOfDay = 0.0;
  if (secOfDay >= kSecondsPerDay) {  // rounding at a day's very end
    days += 1.0;
    secOfDay = 0.0;
  }
  WideDate date;
  CivilFromDays(int64_t(days) + kDaysFrom1970To2001, &date.year, &date.month, &date.day);
  int const whole = int(secOfDay);
  date.hour = whole / 3600;
  date.minute = (whole / 60) % 60;
  date.second = secOfDay - double(date.hour * 3600 + date.minute * 60);
  return date;
}

// Local wall-clock seconds since 2001 to an absolute time in the zone. Around a change of
// offset the second guess uses the offset in force at the first guess.
double LocalToAbsolute(double local, CFTimeZoneRef tz) {
  if (tz == nullptr) return local;
  double const guess = local - CFTimeZoneGetSecondsFromGMT(tz, local);
  double const offset = CFTimeZoneGetSecondsFromGMT(tz, guess);
  return local - offset;
}

double WideToLocal(int64_t year, int64_t month, int64_t day, double hour, double minute,
                   double second) {
  int64_t const monthIndex = month - 1;
  year += FloorDiv(monthIndex, 12);
  month = monthIndex - FloorDiv(monthIndex, 12) * 12 + 1;
  double const days = double(DaysFromCivil(year, month, 1) - kDaysFrom1970To2001) + double(day - 1);
  return days * kSecondsPerDay + hour * 3600.0 + minute * 60.0 + second;
}

SInt32 ClampToInt32(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return SInt32(value);
}

}  // namespace

CFAbsoluteTime CFAbsoluteTimeGetCurrent() {
  if (g_intClockMode.load(std::memory_order_acquire) == 0) return RealAbsoluteTime();
  std::lock_guard<std::mutex> lock(g_mtxClock);
  int const mode = g_intClockMode.load(std::memory_order_relaxed);
  if (mode == 1) return g_dblClockValue;
  double const real = RealAbsoluteTime();
  return mode == 2 ? real + g_dblClockValue : real;
}

void CFAbsoluteTimeSetCurrentForTesting(CFAbsoluteTime fixed) {
  std::lock_guard<std::mutex> lock(g_mtxClock);
  g_dblClockValue = fixed;
  g_intClockMode.store(1, std::memory_order_release);
}

void CFAbsoluteTimeSetOffsetForTesting(CFTimeInterval offset) {
  std::lock_guard<std::mutex> lock(g_mtxClock);
  g_dblClockValue = offset;
  g_intClockMode.store(2, std::memory_order_release);
}

void CFAbsoluteTimeClearCurrentForTesting() {
  std::lock_guard<std::mutex> lock(g_mtxClock);
  g_intClockMode.store(0, std::memory_order_release);
  g_dblClockValue = 0.0;
}

Boolean CFGregorianDateIsValid(CFGregorianDate gdate, CFOptionFlags unitFlags) {
  if ((unitFlags & kCFGregorianUnitsYears) && gdate.year <= 0) return false;
  if ((unitFlags & kCFGregorianUnitsMonths) && (gdate.month < 1 || gdate.month > 12)) return false;
  if (unitFlags & kCFGregorianUnitsDays) {
    if (gdate.day < 1 || gdate.day > 31) return false;
    // The month's length needs a valid month; without one only 1..31 is known.
    if (gdate.month >= 1 && gdate.month <= 12 && gdate.day > DaysInMonth(gdate.year, gdate.month))
      return false;
  }
  if ((unitFlags & kCFGregorianUnitsHours) && (gdate.hour < 0 || gdate.hour > 23)) return false;
  if ((unitFlags & kCFGregorianUnitsMinutes) && (gdate.minute < 0 || gdate.minute > 59))
    return false;
  if ((unitFlags & kCFGregorianUnitsSeconds) && !(gdate.second >= 0.0 && gdate.second < 60.0))
    return false;
  return true;
}

CFAbsoluteTime CFGregorianDateGetAbsoluteTime(CFGregorianDate gdate, CFTimeZoneRef tz) {
  double const second = std::isfinite(gdate.second) ? gdate.second : 0.0;
  double const local = Tame(WideToLocal(gdate.year, gdate.month, gdate.day, gdate.hour,
                                        gdate.minute, second));
  return LocalToAbsolute(local, tz);
}

CFGregorianDate CFAbsoluteTimeGetGregorianDate(CFAbsoluteTime at, CFTimeZoneRef tz) {
  WideDate const wide = SplitTime(at, tz);
  CFGregorianDate date;
  date.year = SInt32(wide.year);  // within +-32 million years, so it fits
  date.month = SInt8(wide.month);
  date.day = SInt8(wide.day);
  date.hour = SInt8(wide.hour);
  date.minute = SInt8(wide.minute);
  date.second = wide.second;
  return date;
}

CFAbsoluteTime CFAbsoluteTimeAddGregorianUnits(CFAbsoluteTime at, CFTimeZoneRef tz,
                                               CFGregorianUnits units) {
  at = Tame(at);
  WideDate const wide = SplitTime(at, tz);
  double const timeOfDay = double(wide.hour) * 3600.0 + double(wide.minute) * 60.0 + wide.second;
  // The day keeps its number in the new month; past that month's end it carries over.
  double local = WideToLocal(wide.year + units.years, int64_t(wide.month) + units.months,
                             int64_t(wide.day) + units.days, 0.0, 0.0, timeOfDay);
  double result = LocalToAbsolute(Tame(local), tz);
  double const seconds = std::isfinite(units.seconds) ? units.seconds : 0.0;
  result += double(units.hours) * 3600.0 + double(units.minutes) * 60.0 + seconds;
  return Tame(result);
}

CFGregorianUnits CFAbsoluteTimeGetDifferenceAsGregorianUnits(CFAbsoluteTime at1, CFAbsoluteTime at2,
                                                             CFTimeZoneRef tz,
                                                             CFOptionFlags unitFlags) {
  CFGregorianUnits result = {0, 0, 0, 0, 0, 0.0};
  at1 = Tame(at1);
  double base = Tame(at2);
  int const sign = at1 >= base ? 1 : -1;
  // Whole calendar steps first: the most steps from base that do not pass at1.
  struct CalendarUnit {
    CFOptionFlags flag;
    SInt32 CFGregorianUnits::*field;
    double approxLength;
  };
  static CalendarUnit const kCalendarUnits[] = {
      {kCFGregorianUnitsYears, &CFGregorianUnits::years, 365.2425 * kSecondsPerDay},
      {kCFGregorianUnitsMonths, &CFGregorianUnits::months, 30.436875 * kSecondsPerDay},
      {kCFGregorianUnitsDays, &CFGregorianUnits::days, kSecondsPerDay}};
  for (CalendarUnit const& unit : kCalendarUnits) {
    if (!(unitFlags & unit.flag)) continue;
    auto stepped = [&](int64_t count) {
      CFGregorianUnits step = {0, 0, 0, 0, 0, 0.0};
      step.*unit.field = ClampToInt32(double(count));
      return CFAbsoluteTimeAddGregorianUnits(base, tz, step);
    };
    auto passes = [&](double t) { return sign > 0 ? t > at1 : t < at1; };
    int64_t count = ClampToInt32((at1 - base) / unit.approxLength);
    // The estimate is off by at most a step or two; the bounds keep the loops finite.
    for (int guard = 0; guard < 8 && count != 0 && passes(stepped(count)); ++guard) count -= sign;
    for (int guard = 0; guard < 8 && !passes(stepped(count + sign)); ++guard) count += sign;
    result.*unit.field = ClampToInt32(double(count));
    base = stepped(count);
  }
  // Hours, minutes and seconds are elapsed time.
  double rest = at1 - base;
  if (unitFlags & kCFGregorianUnitsHours) {
    result.hours = ClampToInt32(std::trunc(rest / 3600.0));
    rest -= double(result.hours) * 3600.0;
  }
  if (unitFlags & kCFGregorianUnitsMinutes) {
    result.minutes = ClampToInt32(std::trunc(rest / 60.0));
    rest -= double(result.minutes) * 60.0;
  }
  if (unitFlags & kCFGregorianUnitsSeconds) result.seconds = rest;
  return result;
}

SInt32 CFAbsoluteTimeGetDayOfWeek(CFAbsoluteTime at, CFTimeZoneRef tz) {
  WideDate const wide = SplitTime(at, tz);
  int64_t const days = DaysFromCivil(wide.year, wide.month, wide.day);
  int64_t fromMonday = (days + 3) % 7;  // 1970-01-01 was a Thursday
  if (fromMonday < 0) fromMonday += 7;
  return SInt32(fromMonday) + 1;
}

CFTimeZoneRef CFTimeZoneCopySystem() {
  std::lock_guard<std::mutex> lock(g_mtxZone);
  char const* tz = std::getenv("TZ");
  bool const tzSet = tz != nullptr;
  std::string const tzText = tzSet ? tz : "";
  if (g_pobjSystemZone == nullptr || tzSet != g_bolZoneTZSet || tzText != g_strZoneTZ) {
    tzset();
    if (g_pobjSystemZone != nullptr) CFRelease(CFRuntimeObjectToRef(g_pobjSystemZone));
    g_pobjSystemZone = new CFTimeZoneObject(tzText);
    g_bolZoneTZSet = tzSet;
    g_strZoneTZ = tzText;
  }
  return static_cast<CFTimeZoneRef>(CFRetain(CFRuntimeObjectToRef(g_pobjSystemZone)));
}

void CFTimeZoneResetSystem() {
  std::lock_guard<std::mutex> lock(g_mtxZone);
  if (g_pobjSystemZone != nullptr) CFRelease(CFRuntimeObjectToRef(g_pobjSystemZone));
  g_pobjSystemZone = nullptr;
}

CFTimeInterval CFTimeZoneGetSecondsFromGMT(CFTimeZoneRef tz, CFAbsoluteTime at) {
  if (tz == nullptr) return 0.0;
  long offset = 0;
  bool dst = false;
  return LocalInfo(at, &offset, &dst) ? double(offset) : 0.0;
}

Boolean CFTimeZoneIsDaylightSavingTime(CFTimeZoneRef tz, CFAbsoluteTime at) {
  if (tz == nullptr) return false;
  long offset = 0;
  bool dst = false;
  return LocalInfo(at, &offset, &dst) && dst;
}
