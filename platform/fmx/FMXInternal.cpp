// FMXInternal: UTF-8/UTF-16 conversion, calendar arithmetic and the text forms of numbers and
// dates that the value classes share.
#include "platform/fmx/FMXInternal.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace fmx {
namespace detail {

namespace {

const uint32 kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, uint32 cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(char16_t(cp));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(const char* bytes, size_t length) {
  std::u16string out;
  out.reserve(length);
  const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < length) {
    unsigned char b = s[i];
    size_t need = 0;
    uint32 cp = 0;
    uint32 minimum = 0;
    if (b < 0x80) {
      out.push_back(char16_t(b));
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      need = 1, cp = b & 0x1F, minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2, cp = b & 0x0F, minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3, cp = b & 0x07, minimum = 0x10000;
    } else {
      out.push_back(char16_t(kReplacement));
      ++i;
      continue;
    }
    size_t k = 1;
    for (; k <= need && i + k < length && (s[i + k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    if (k <= need || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      // A malformed sequence costs its lead byte only; the rest is read again.
      out.push_back(char16_t(kReplacement));
      ++i;
      continue;
    }
    AppendUtf16(out, cp);
    i += need + 1;
  }
  return out;
}

uint32 NextCodePoint(const char16_t* units, size_t length, size_t& i) {
  uint32 u = units[i++];
  if (u >= 0xD800 && u <= 0xDBFF) {
    if (i < length && units[i] >= 0xDC00 && units[i] <= 0xDFFF) {
      uint32 low = units[i++];
      return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
    }
    return kReplacement;
  }
  if (u >= 0xDC00 && u <= 0xDFFF) return kReplacement;
  return u;
}

void AppendUtf8(std::string& out, uint32 cp) {
  if (cp < 0x80) {
    out.push_back(char(cp));
  } else if (cp < 0x800) {
    out.push_back(char(0xC0 | (cp >> 6)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(char(0xE0 | (cp >> 12)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (cp >> 18)));
    out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16ToUtf8(const char16_t* units, size_t length) {
  std::string out;
  out.reserve(length);
  size_t i = 0;
  while (i < length) AppendUtf8(out, NextCodePoint(units, length, i));
  return out;
}

int64 FloorDiv(int64 a, int64 b) {
  int64 q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

int64 FloorMod(int64 a, int64 b) { return a - FloorDiv(a, b) * b; }

// Civil-calendar conversions over 400-year eras, counted from 1 March of the year 0.
int64 DaysFromCivil(int64 year, int64 month, int64 day) {
  year -= month <= 2 ? 1 : 0;
  int64 era = FloorDiv(year, 400);
  int64 yoe = year - era * 400;
  int64 mp = (month + 9) % 12;
  int64 doy = (153 * mp + 2) / 5 + day - 1;
  int64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // 306 is the day number of 1 January 1 counted from 1 March 0.
  return era * 146097 + doe - 306;
}

void CivilFromDays(int64 days, int64& year, int64& month, int64& day) {
  int64 z = days + 306;
  int64 era = FloorDiv(z, 146097);
  int64 doe = z - era * 146097;
  int64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64 mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

std::string FormatNumber(FixPt const& number) {
  double value = number.AsFloat();
  if (!std::isfinite(value)) return "?";
  int32 precision = number.GetPrecision();
  char buffer[512];
  auto res = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  if (res.ec != std::errc()) return "?";
  std::string text(buffer, res.ptr);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::string FormatDate(DateTime const& date) {
  std::string year = std::to_string(date.GetYear());
  if (date.GetYear() >= 0 && year.size() < 4) year.insert(0, 4 - year.size(), '0');
  return std::to_string(date.GetMonth()) + "/" + std::to_string(date.GetDay()) + "/" + year;
}

std::string FormatTime(DateTime const& time) {
  auto two = [](int32 v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  std::string text = std::to_string(time.GetHour()) + ":" + two(time.GetMinute()) + ":" + two(time.GetSec());
  if (time.GetUSec() != 0) {
    std::string fraction = std::to_string(time.GetUSec());
    fraction.insert(0, 6 - fraction.size(), '0');
    while (fraction.back() == '0') fraction.pop_back();
    text += "." + fraction;
  }
  return text;
}

// The host reads a number from text by its digits: every digit counts wherever it stands, the
// first '.' is the decimal point and a '-' before the first digit makes it negative, so
// "1,234 pcs" is 1234 and "abc" is 0.
double ParseNumber(std::u16string const& text) {
  std::string digits;
  bool negative = false;
  bool point = false;
  for (char16_t u : text) {
    if (u >= '0' && u <= '9') {
      digits.push_back(char(u));
    } else if (u == '.' && !point) {
      point = true;
      digits.push_back('.');
    } else if (u == '-' && digits.find_first_of("0123456789") == std::string::npos) {
      negative = true;
    }
  }
  if (digits.find_first_of("0123456789") == std::string::npos) return 0.0;
  double value = 0.0;
  auto res = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (res.ec == std::errc::result_out_of_range) value = HUGE_VAL;
  return negative ? -value : value;
}

namespace {

struct stcNumberToken {
  int64 value;
  size_t digitCount;
  size_t start;
  std::string digits;
};

}  // namespace

// Dates are month/day/year, or year-month-day when the first number has three or more digits;
// the time of day starts at the number before the first ':' (hour, minute, second, a fraction
// after a '.', and AM/PM).
DateTime ParseDateTime(std::u16string const& text, bool wantDate, bool wantTime) {
  std::vector<stcNumberToken> tokens;
  size_t firstColon = std::u16string::npos;
  for (size_t i = 0; i < text.size();) {
    char16_t u = text[i];
    if (u >= '0' && u <= '9') {
      stcNumberToken token{0, 0, i, std::string()};
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (token.value < 1000000000) token.value = token.value * 10 + (text[i] - '0');
        token.digits.push_back(char(text[i]));
        ++token.digitCount;
        ++i;
      }
      tokens.push_back(token);
    } else {
      if (u == ':' && firstColon == std::u16string::npos) firstColon = i;
      ++i;
    }
  }
  size_t timeStart = tokens.size();
  if (firstColon != std::u16string::npos) {
    for (size_t t = 0; t < tokens.size() && tokens[t].start < firstColon; ++t) timeStart = t;
  }
  DateTime result;
  if (wantDate && timeStart >= 3) {
    if (tokens[0].digitCount >= 3)
      result.SetNormalizedDate(int32(tokens[1].value), int32(tokens[2].value), int32(tokens[0].value));
    else
      result.SetNormalizedDate(int32(tokens[0].value), int32(tokens[1].value), int32(tokens[2].value));
  }
  if (wantTime && timeStart < tokens.size()) {
    auto field = [&](size_t k) { return timeStart + k < tokens.size() ? int32(tokens[timeStart + k].value) : 0; };
    int32 hour = field(0), minute = field(1), second = field(2), usec = 0;
    size_t f = timeStart + 3;
    if (f < tokens.size() && tokens[f].start > 0 && text[tokens[f].start - 1] == '.') {
      std::string fraction = tokens[f].digits.substr(0, 6);
      fraction.append(6 - fraction.size(), '0');
      usec = std::stoi(fraction);
    }
    bool pm = false, am = false;
    for (size_t i = tokens[timeStart].start; i + 1 < text.size(); ++i) {
      char16_t a = text[i] | 0x20, m = text[i + 1] | 0x20;
      if (m == 'm' && a == 'p') pm = true;
      if (m == 'm' && a == 'a') am = true;
    }
    if (pm && hour < 12) hour += 12;
    if (am && hour == 12) hour = 0;
    result.SetNormalizedTime(hour, minute, second, usec);
  }
  return result;
}

}  // namespace detail
}  // namespace fmx
