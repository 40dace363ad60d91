// FMXInternal: helpers shared by the SDK's sources and not part of its interface: UTF-8 and
// UTF-16 conversion, calendar arithmetic and the host's text forms of numbers and dates.
// Relies on the standard library. Malformed input never fails: bad UTF-8 bytes and lone
// surrogates become U+FFFD.
#pragma once

#include <string>

#include "platform/fmx/FMXDateTime.h"
#include "platform/fmx/FMXFixPt.h"
#include "platform/fmx/FMXTypes.h"

namespace fmx {
namespace detail {

std::u16string Utf8ToUtf16(const char* bytes, size_t length);
std::string Utf16ToUtf8(const char16_t* units, size_t length);
// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, uint32 codePoint);
// Reads the code point at units[i], advancing i past it (a lone surrogate gives U+FFFD).
uint32 NextCodePoint(const char16_t* units, size_t length, size_t& i);

// Days since 1 January 1 (day 0) of a proleptic Gregorian date, and back.
int64 DaysFromCivil(int64 year, int64 month, int64 day);
void CivilFromDays(int64 days, int64& year, int64& month, int64& day);
// Division and remainder rounding towards minus infinity.
int64 FloorDiv(int64 a, int64 b);
int64 FloorMod(int64 a, int64 b);

// Text forms: "M/D/YYYY", "H:MM:SS" (with a fraction when there are microseconds), both
// joined by a blank for a timestamp, and numbers with up to their precision's decimals.
std::string FormatNumber(FixPt const& number);
std::string FormatDate(DateTime const& date);
std::string FormatTime(DateTime const& time);
// Reading text: a number from its digits (see FMXData.cpp), a date and a time of day from the
// numbers in the text; a text without them gives 0 or the default date-time.
double ParseNumber(std::u16string const& text);
DateTime ParseDateTime(std::u16string const& text, bool wantDate, bool wantTime);

}  // namespace detail
}  // namespace fmx
