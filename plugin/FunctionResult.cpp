// FunctionResult: one branch per value type; the host objects are made fresh for each call.
#include "plugin/FunctionResult.h"

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "core/clsDateTime.h"
#include "plugin/HostText.h"

void Function_SetResult(clsSingleVar* value, fmx::Data& result, fmx::Locale& locale) {
  fmx::TextAutoPtr text;
  fmx::FixPtAutoPtr number(0, fmx::FixPt::kDefltFixedPrecision);
  fmx::DateTimeAutoPtr timeStamp;

  switch (value == nullptr ? kVarTypeNone : value->GetType()) {
    case kVarTypeString:
    case kVarTypeVariable:
    case kVarTypeArray: {
      // A string goes to the host text straight from the value, without a copy of its own.
      UniString computed;
      if (value->GetType() != kVarTypeString) computed = value->GetValue_AsString();
      UniString const& form = value->GetType() == kVarTypeString ? value->StringValueRef() : computed;
      if (form.IsEmpty()) return;  // the caller's default result stands
      text->AssignUnicodeWithLength(form.GetBytes(), fmx::uint32(form.Length()));
      result.SetAsText(*text, locale, fmx::Data::kDTText);
      return;
    }
    case kVarTypeInteger:
      number->AssignInt(value->GetIntegerValue());
      result.SetAsNumber(*number, fmx::Data::kDTNumber);
      return;
    case kVarTypeFloat:
      number->AssignDouble(value->GetFloatValue());
      result.SetAsNumber(*number, fmx::Data::kDTNumber);
      return;
    case kVarTypeList:
      InsertLinesIntoFMXText(value->GetListValue(false), text);
      result.SetAsText(*text, locale, fmx::Data::kDTText);
      return;
    case kVarTypeDateTime: {
      clsDateTime const when = value->GetDateTimeValue();
      unsigned short year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
      when.DecodeDate(&year, &month, &day);
      when.DecodeTime(&hour, &minute, &second);
      timeStamp->SetNormalizedDate(month, day, year);
      timeStamp->SetNormalizedTime(hour, minute, second, 0);
      result.SetAsTimeStamp(*timeStamp, fmx::Data::kDTTimeStamp);
      return;
    }
    default: {
      UniString const error("ERROR: PluginFuncCallback: Function did not return a valid result.");
      DebugOutput(kDebugError, error);
      text->AssignUnicodeWithLength(error.GetBytes(), fmx::uint32(error.Length()));
      result.SetAsText(*text, locale, fmx::Data::kDTText);
      return;
    }
  }
}
