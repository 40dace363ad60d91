// clsParameterExtractor: the table of which host native types each wanted type accepts, the
// conversions, and the Full-level traces, which are built only when the configured level is Full.
// The conversion buffer grows to the largest text met and is reused for every smaller one.
#include "core/clsParameterExtractor.h"

#include <atomic>
#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "core/clsSingleVar.h"
#include "plugin/HostText.h"

clsParameterExtractor* g_udtPE = nullptr;

namespace {

std::atomic<bool> s_bolFailNextBuffer{false};

fmx::uint32 const kTraceTextUnits = 30;

bool TraceWanted() { return g_intDebugLevel == kDebugFull; }

UniString WantedTraceName(int32_t type) {
  switch (type) {
    case kPEText: return UniString("Text    ");
    case kPEInteger: return UniString("Integer ");
    case kPEFloat: return UniString("Float   ");
    case kPEBoolean: return UniString("Boolean ");
    case kPEList: return UniString("List    ");
    case kPEDateTime: return UniString("DateTime");
    default: return UniString("Unknown (") + UniString(type) + UniString(")");
  }
}

UniString NativeTraceName(int32_t type) {
  switch (type) {
    case fmx::Data::kDTInvalid: return UniString("Invalid  ");
    case fmx::Data::kDTText: return UniString("Text     ");
    case fmx::Data::kDTNumber: return UniString("Number   ");
    case fmx::Data::kDTDate: return UniString("Date     ");
    case fmx::Data::kDTTime: return UniString("Time     ");
    case fmx::Data::kDTTimeStamp: return UniString("TimeStamp");
    case fmx::Data::kDTBinary: return UniString("Binary   ");
    case fmx::Data::kDTBoolean: return UniString("Boolean  ");
    default: return UniString("Unknown (") + UniString(type) + UniString(")");
  }
}

// Text, number, date, time, time stamp and boolean: everything that has a text form.
bool HasTextForm(int32_t native) {
  return native >= fmx::Data::kDTText && native <= fmx::Data::kDTBoolean &&
         native != fmx::Data::kDTBinary;
}

// Text, number and boolean: everything the host reads as a number.
bool HasNumberForm(int32_t native) {
  return native == fmx::Data::kDTText || native == fmx::Data::kDTNumber ||
         native == fmx::Data::kDTBoolean;
}

unsigned short* AllocateUnits(size_t count) {
  if (s_bolFailNextBuffer.exchange(false)) return nullptr;
  return new (std::nothrow) unsigned short[count];
}

UniString Number(int32_t value) { return UniString(value); }

unsigned short Field(fmx::int32 value) { return static_cast<unsigned short>(value); }

}  // namespace

void FailNextParameterBufferForTesting() { s_bolFailNextBuffer.store(true); }

clsParameterExtractor::clsParameterExtractor() : m_ptrBuffer(nullptr), m_ulngCapacity(0) {}

clsParameterExtractor::~clsParameterExtractor() { delete[] m_ptrBuffer; }

bool clsParameterExtractor::Extract(fmx::Data const& data, clsSingleVar* var, enumPEType type, bool censorTrace) {
  if (var == nullptr) return false;
  int32_t const native = data.GetNativeType();

  if (TraceWanted()) {
    UniString shown(kDebugCensoredText);
    if (!censorTrace) {
      fmx::TextAutoPtr head;
      head->SetText(data.GetAsText(), 0, kTraceTextUnits);
      shown = UniString("\"") + ExtractFromFMXText(*head) + UniString("\"");
    }
    DebugOutput(kDebugFull, UniString("ParamExtractor: Wanted ") + WantedTraceName(type) + UniString("; Got ") +
                                NativeTraceName(native) + UniString("; As text (up to 30 chars): ") + shown);
  }

  switch (type) {
    case kPEText:
      if (!HasTextForm(native)) return false;
      var->SetStringValue(ExtractText(data.GetAsText()));
      return true;

    case kPEInteger:
      if (!HasNumberForm(native)) return false;
      var->SetIntegerValue(data.GetAsNumber().AsLong());
      return true;

    case kPEFloat:
      if (!HasNumberForm(native)) return false;
      var->SetFloatValue(data.GetAsNumber().AsFloat());
      return true;

    case kPEBoolean:
      if (native == fmx::Data::kDTNumber || native == fmx::Data::kDTBoolean) {
        // The number is kept as it is: 5 stays 5.
        var->SetIntegerValue(data.GetAsNumber().AsLong());
        return true;
      }
      if (native == fmx::Data::kDTText) {
        bool value = false;
        if (!ParseBooleanParameter(ExtractText(data.GetAsText()), &value)) return false;
        var->SetIntegerValue(value ? 1 : 0);
        return true;
      }
      return false;

    case kPEList: {
      if (!HasTextForm(native)) return false;
      std::unique_ptr<UniStringList> lines(new (std::nothrow) UniStringList);
      if (!lines) return false;
      ExtractLinesFromFMXText(data.GetAsText(), lines.get());
      var->SetListValue(lines.release(), true);
      return true;
    }

    case kPEDateTime:
      switch (native) {
        case fmx::Data::kDTTime:
          var->SetDateTimeValue(ParseTime(data.GetAsTime()));
          return true;
        case fmx::Data::kDTTimeStamp:
          var->SetDateTimeValue(ParseDateTime(data.GetAsTimeStamp()));
          return true;
        case fmx::Data::kDTDate:
          var->SetDateTimeValue(ParseDate(data.GetAsDate()));
          return true;
        default:
          return false;
      }

    default:
      return false;
  }
}

UniString clsParameterExtractor::ExtractText(fmx::Text const& text) {
  UniString result;
  fmx::uint32 const size = text.GetSize();
  if (size > m_ulngCapacity) {
    delete[] m_ptrBuffer;
    m_ptrBuffer = AllocateUnits(size_t(size) + 1);
    if (m_ptrBuffer == nullptr) {
      // Nothing is held any more: the next text, however short, must allocate afresh.
      m_ulngCapacity = 0;
      return result;
    }
    m_ulngCapacity = size;
  }
  if (m_ptrBuffer == nullptr) return result;
  text.GetUnicode(m_ptrBuffer, 0, size);
  m_ptrBuffer[size] = 0;
  result = UniString(m_ptrBuffer, -1);
  return result;
}

clsDateTime clsParameterExtractor::ParseDateTime(fmx::DateTime const& dateTime) {
  fmx::int32 const year = dateTime.GetYear(), month = dateTime.GetMonth(), day = dateTime.GetDay();
  fmx::int32 const hour = dateTime.GetHour(), minute = dateTime.GetMinute(),
                   second = dateTime.GetSec();
  if (TraceWanted()) {
    DebugOutput(kDebugFull, UniString("ParmExtractor: ParseDateTime: Year: ") + Number(year) +
                                UniString("; Month: ") + Number(month) + UniString("; Day: ") +
                                Number(day) + UniString("; Hour: ") + Number(hour) +
                                UniString("; Minute: ") + Number(minute) +
                                UniString("; Second: ") + Number(second));
  }
  clsDateTime value;
  value.SetToNow();
  value.EncodeDateTime(Field(year), Field(month), Field(day), Field(hour), Field(minute),
                       Field(second));
  if (TraceWanted()) {
    DebugOutput(kDebugFull,
                UniString("ParmExtractor: ParseDateTime: ") + UniString(value.GetAsString()));
  }
  return value;
}

clsDateTime clsParameterExtractor::ParseTime(fmx::DateTime const& time) {
  fmx::int32 const hour = time.GetHour(), minute = time.GetMinute(), second = time.GetSec();
  if (TraceWanted()) {
    DebugOutput(kDebugFull, UniString("ParmExtractor: ParseTime: Hour: ") + Number(hour) +
                                UniString("; Minute: ") + Number(minute) +
                                UniString("; Second: ") + Number(second));
  }
  clsDateTime value;
  value.SetToNow();
  value.EncodeTime(Field(hour), Field(minute), Field(second));
  if (TraceWanted()) {
    DebugOutput(kDebugFull,
                UniString("ParmExtractor: ParseTime: ") + UniString(value.GetAsString()));
  }
  return value;
}

clsDateTime clsParameterExtractor::ParseDate(fmx::DateTime const& date) {
  fmx::int32 const year = date.GetYear(), month = date.GetMonth(), day = date.GetDay();
  if (TraceWanted()) {
    DebugOutput(kDebugFull, UniString("ParmExtractor: ParseDate: Year: ") + Number(year) +
                                UniString("; Month: ") + Number(month) + UniString("; Day: ") +
                                Number(day));
  }
  clsDateTime value;
  value.SetToNow();
  value.EncodeDate(Field(year), Field(month), Field(day));
  if (TraceWanted()) {
    DebugOutput(kDebugFull,
                UniString("ParmExtractor: ParseDate: ") + UniString(value.GetAsString()));
  }
  return value;
}

bool CreateParameterExtractor() {
  if (g_udtPE == nullptr) g_udtPE = new (std::nothrow) clsParameterExtractor;
  return g_udtPE != nullptr;
}

void DestroyParameterExtractor() {
  delete g_udtPE;
  g_udtPE = nullptr;
}

bool ParseBooleanParameter(UniString text, bool* result) {
  if (result == nullptr) return false;
  UniString const word = text.Trim().UpperCase();
  // Only a text holding a digit counts as a number; ToInt reads its leading number.
  int32_t const number = word.HasDigits() ? word.ToInt() : -1;

  bool isTrue = number > 0;
  for (char const* yes : {"T", "TRUE", "Y", "YES", "ON"}) isTrue = isTrue || word == UniString(yes);
  if (isTrue) {
    *result = true;
    return true;
  }

  bool isFalse = number == 0 || word.IsEmpty();
  for (char const* no : {"F", "FALSE", "N", "NO", "OFF"}) isFalse = isFalse || word == UniString(no);
  if (isFalse) {
    *result = false;
    return true;
  }
  return false;
}
