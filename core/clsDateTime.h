// clsDateTime: the system's point in time, one CFAbsoluteTime (seconds since 2001-01-01 00:00:00
// GMT, fraction included), copied by value. Calendar fields and text forms are read and written
// in the system time zone; AdjustDateTime and CalcDiff do their calendar arithmetic in GMT.
// Text forms are US order, month first ("12/25/2008 09:05:07"); the Unix form is an unsigned
// 32-bit count of seconds since 1970, clamped to 0..4294967295, and the comparisons use it.
// Relies on the CoreFoundation date and time-zone stand-ins (platform/cf/CFDate.h) and the
// Carbon UTCDateTime conversion. Never throws: a date that is not valid leaves the value as it was.
#pragma once

#include <cstdint>

#include "core/AnsiString.h"
#include "platform/carbon/UTCDateTime.h"
#include "platform/cf/CFDate.h"

class clsDateTime {
 public:
  // A new value holds the reference date, 2001-01-01 00:00:00 GMT.
  clsDateTime() : m_dblAbsoluteTime(0.0) {}

  void SetToNow();
  CFAbsoluteTime GetNativeDateTime() const { return m_dblAbsoluteTime; }

  uint32_t GetAsSeconds() const;
  void SetAsSeconds(uint32_t s);
  // A file date of the File Manager; a null pointer or a date out of range changes nothing.
  void Assign(UTCDateTime* t);

  void DecodeDate(unsigned short* year, unsigned short* month, unsigned short* day) const;
  void DecodeTime(unsigned short* hour, unsigned short* minute, unsigned short* second) const;
  void EncodeDate(unsigned short year, unsigned short month, unsigned short day);
  void EncodeTime(unsigned short hour, unsigned short minute, unsigned short second);
  // A year, month or day of 0 keeps the value's current one; hour, minute and second always set.
  void EncodeDateTime(unsigned short year, unsigned short month, unsigned short day,
                      unsigned short hour, unsigned short minute, unsigned short second);

  int GetDayOfWeek() const;  // 0 = Sunday .. 6 = Saturday
  // The system zone's offset from GMT in seconds, east positive, now (not at the stored time).
  int GetGMTOffset() const;

  void AdjustDateTime(int years, int months, int days, int hours, int minutes, int seconds);
  // Splits (this - other) into the units whose pointers are not null.
  void CalcDiff(clsDateTime other, int* years, int* months, int* days, int* hours, int* minutes,
                int* seconds);

  AnsiString GetAsString() const;      // "MM/DD/YYYY HH:MM:SS"
  AnsiString GetDateAsString() const;  // "MM/DD/YYYY"
  // "HH:MM:SS", or with fraction "HH:MM:S.SSSSSS" ("%02.6f" of the second).
  AnsiString GetTimeAsString(bool fraction) const;
  // Reads value in the GetAsString form (empty pattern) or where the pattern's YYYY/YY, MM, DD,
  // HH, NN and SS tokens stand; an unreadable or invalid date changes nothing.
  void SetAsString(AnsiString value, AnsiString pattern);

  bool operator==(clsDateTime const& other) const;
  bool operator<(clsDateTime const& other) const;
  bool operator>(clsDateTime const& other) const;
  bool operator<=(clsDateTime const& other) const;
  bool operator>=(clsDateTime const& other) const;

 private:
  // Sets the value from calendar fields in the system time zone when they form a valid date.
  void SetFromFields(CFGregorianDate const& fields, CFTimeZoneRef zone);

  CFAbsoluteTime m_dblAbsoluteTime;
};
