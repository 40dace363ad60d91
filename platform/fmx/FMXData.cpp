// FMXData: a host value holds one kind of value (text, number, date, time, timestamp, boolean
// or container data) and a native type. Reading it as another kind converts the way the host
// presents values: numbers and dates to text as "3.25", "M/D/YYYY", "H:MM:SS" and
// "M/D/YYYY H:MM:SS"; text to a number by its digits; a date to a number as its day number
// (1 January 1 is 1); a time or timestamp to a number as seconds (timestamps from 1 January 1).
#include "platform/fmx/FMXData.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "platform/fmx/FMXInternal.h"

namespace fmx {

namespace {

const int64 kSecPerDay = 86400;
// Numbers read as a date or time are kept within about thirty thousand years.
const double kMaxSeconds = 1.0e12;

void SetTextFromUtf8(Text& text, std::string const& utf8) {
  text.AssignWithLength(utf8.data(), uint32(utf8.size()), Text::kEncoding_UTF8);
}

std::u16string Units(Text const& text) {
  std::u16string units(text.GetSize(), u'\0');
  if (!units.empty()) text.GetUnicode(reinterpret_cast<unichar16*>(&units[0]), 0, text.GetSize());
  return units;
}

double SecondsOf(DateTime const& value) {
  return double(value.GetDayNumber() * kSecPerDay) + double(value.GetUSecOfDay()) / 1.0e6;
}

// A count of seconds (from 1 January 1 for a timestamp, of the day for a time) as a date-time.
DateTime FromSeconds(double seconds) {
  DateTime result;
  if (std::isnan(seconds)) return result;
  if (seconds > kMaxSeconds) seconds = kMaxSeconds;
  if (seconds < -kMaxSeconds) seconds = -kMaxSeconds;
  int64 usec = int64(std::llround(seconds * 1.0e6));
  int64 days = detail::FloorDiv(usec, kSecPerDay * 1000000LL);
  int64 rest = detail::FloorMod(usec, kSecPerDay * 1000000LL);
  int64 y, m, d;
  detail::CivilFromDays(days, y, m, d);
  result.SetNormalizedDate(int32(m), int32(d), int32(y));
  result.SetNormalizedTime(int32(rest / 3600000000LL), int32(rest / 60000000LL % 60), int32(rest / 1000000LL % 60),
                           int32(rest % 1000000LL));
  return result;
}

DateTime DatePart(DateTime const& value) {
  DateTime result;
  result.SetDate(value);
  return result;
}

DateTime TimePart(DateTime const& value) {
  DateTime result;
  result.SetTime(value);
  return result;
}

}  // namespace

void Data::Reset(enumKind kind, int32 nativeType) {
  m_kind = kind;
  m_nativeType = DataType(nativeType);
  m_text = Text();
  m_number = FixPt();
  m_dateTime = DateTime();
  m_boolean = false;
  m_binary.RemoveAll();
  m_locale = Locale();
}

bool Data::IsEmpty() const {
  switch (m_kind) {
    case kKindNone: return true;
    case kKindText: return m_text.GetSize() == 0;
    case kKindBinary: return m_binary.GetCount() == 0;
    default: return false;
  }
}

Text const& Data::GetAsText() const {
  if (m_kind == kKindText) return m_text;
  std::string utf8;
  switch (m_kind) {
    case kKindNumber: utf8 = detail::FormatNumber(m_number); break;
    case kKindDate: utf8 = detail::FormatDate(m_dateTime); break;
    case kKindTime: utf8 = detail::FormatTime(m_dateTime); break;
    case kKindTimeStamp: utf8 = detail::FormatDate(m_dateTime) + " " + detail::FormatTime(m_dateTime); break;
    case kKindBoolean: utf8 = m_boolean ? "1" : "0"; break;
    default: break;
  }
  SetTextFromUtf8(m_cacheText, utf8);
  return m_cacheText;
}

FixPt const& Data::GetAsNumber() const {
  if (m_kind == kKindNumber) return m_number;
  m_cacheNumber = FixPt();
  switch (m_kind) {
    case kKindText: m_cacheNumber.AssignDouble(detail::ParseNumber(Units(m_text))); break;
    case kKindDate: m_cacheNumber.AssignInt64(m_dateTime.GetDayNumber() + 1); break;
    case kKindTime:
    case kKindTimeStamp: m_cacheNumber.AssignDouble(SecondsOf(m_dateTime)); break;
    case kKindBoolean: m_cacheNumber.AssignInt(m_boolean ? 1 : 0); break;
    default: break;
  }
  return m_cacheNumber;
}

DateTime const& Data::GetAsDate() const {
  switch (m_kind) {
    case kKindText: m_cacheDate = detail::ParseDateTime(Units(m_text), true, false); break;
    case kKindNumber: {
      double day = std::floor(m_number.AsFloat());
      m_cacheDate = DatePart(FromSeconds((day - 1) * double(kSecPerDay)));
      break;
    }
    case kKindDate:
    case kKindTimeStamp: m_cacheDate = DatePart(m_dateTime); break;
    default: m_cacheDate = DateTime(); break;
  }
  return m_cacheDate;
}

DateTime const& Data::GetAsTime() const {
  switch (m_kind) {
    case kKindText: m_cacheTime = detail::ParseDateTime(Units(m_text), false, true); break;
    case kKindNumber: m_cacheTime = FromSeconds(m_number.AsFloat()); break;
    case kKindTime: m_cacheTime = m_dateTime; break;
    case kKindTimeStamp: m_cacheTime = TimePart(m_dateTime); break;
    default: m_cacheTime = DateTime(); break;
  }
  return m_cacheTime;
}

DateTime const& Data::GetAsTimeStamp() const {
  switch (m_kind) {
    case kKindText: m_cacheTimeStamp = detail::ParseDateTime(Units(m_text), true, true); break;
    case kKindNumber: m_cacheTimeStamp = FromSeconds(m_number.AsFloat()); break;
    case kKindDate: m_cacheTimeStamp = DatePart(m_dateTime); break;
    case kKindTime:
    case kKindTimeStamp: m_cacheTimeStamp = m_dateTime; break;
    default: m_cacheTimeStamp = DateTime(); break;
  }
  return m_cacheTimeStamp;
}

bool Data::GetAsBoolean() const {
  if (m_kind == kKindBoolean) return m_boolean;
  double value = GetAsNumber().AsFloat();
  return value != 0.0 && !std::isnan(value);
}

BinaryData const& Data::GetBinaryData() const { return m_binary; }

void Data::SetAsText(Text const& text, Locale const& locale, int32 nativeType) {
  Text copy = text;  // the source may be this value's own text
  Reset(kKindText, nativeType);
  m_text = copy;
  m_locale = locale;
}

void Data::SetAsNumber(FixPt const& number, int32 nativeType) {
  FixPt copy = number;
  Reset(kKindNumber, nativeType);
  m_number = copy;
}

void Data::SetAsDate(DateTime const& date, int32 nativeType) {
  DateTime copy = DatePart(date);
  Reset(kKindDate, nativeType);
  m_dateTime = copy;
}

void Data::SetAsTime(DateTime const& time, int32 nativeType) {
  DateTime copy = TimePart(time);
  Reset(kKindTime, nativeType);
  m_dateTime = copy;
}

void Data::SetAsTimeStamp(DateTime const& timeStamp, int32 nativeType) {
  DateTime copy = timeStamp;
  Reset(kKindTimeStamp, nativeType);
  m_dateTime = copy;
}

void Data::SetAsBoolean(bool value, int32 nativeType) {
  Reset(kKindBoolean, nativeType);
  m_boolean = value;
}

void Data::SetBinaryData(BinaryData const& binaryData, bool forceBinaryNativeType) {
  BinaryData copy = binaryData;
  int32 nativeType = (forceBinaryNativeType || m_nativeType == kDTInvalid) ? int32(kDTBinary) : int32(m_nativeType);
  Reset(kKindBinary, nativeType);
  m_binary = copy;
}

void Data::Clear(int32 newNativeType) { Reset(kKindNone, newNativeType); }

Data const& DataVect::At(uint32 position) const {
  if (position >= m_items.size()) throw std::out_of_range("fmx::DataVect::At: position " + std::to_string(position));
  return m_items[position];
}

}  // namespace fmx
