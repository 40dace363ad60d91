// Tests of Function_SetResult: each value type's host form, the empty text that keeps the
// caller's result, and the error text for a value without a usable type.
#include "plugin/FunctionResult.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "core/clsDateTime.h"
#include "core/clsMultiVar.h"
#include "support/FmxTestHost.h"
#include "support/ScopedTZ.h"

namespace {

fmx::Data Preset() { return FmxTestHost::TextData("preset"); }

}  // namespace

TEST(FunctionResultTest, EachValueTypeHasItsHostForm) {
  struct stcCase {
    char const* label;
    clsSingleVar value;
    fmx::Data::DataType type;
    std::string text;  // the result read as text
  };
  auto make = [](auto fill) {
    clsSingleVar v;
    fill(v);
    return v;
  };
  UniStringList lines;
  lines.Add(UniString());
  lines.Add(UniString("b"));
  clsSingleVar variable;
  clsMultiVar parsed;
  parsed.AddVariableVar(UniString("v"), UniString("word"));
  variable = *parsed.begin();

  stcCase const cases[] = {
      {"string", make([](clsSingleVar& v) { v.SetStringValue(UniString("caf\xC3\xA9")); }),
       fmx::Data::kDTText, "caf\xC3\xA9"},
      {"variable", variable, fmx::Data::kDTText, "word"},
      {"empty string keeps the preset", make([](clsSingleVar& v) { v.SetStringValue(UniString()); }),
       fmx::Data::kDTText, "preset"},
      {"integer 0", make([](clsSingleVar& v) { v.SetIntegerValue(0); }), fmx::Data::kDTNumber, "0"},
      {"integer", make([](clsSingleVar& v) { v.SetIntegerValue(-42); }), fmx::Data::kDTNumber, "-42"},
      {"float", make([](clsSingleVar& v) { v.SetFloatValue(2.5); }), fmx::Data::kDTNumber, "2.5"},
      {"list", make([&](clsSingleVar& v) { v.SetListValue(&lines, false); }), fmx::Data::kDTText,
       "\rb"},
      {"empty list replaces the preset", make([](clsSingleVar& v) { v.SetListValue(nullptr, false); }),
       fmx::Data::kDTText, ""},
      {"none", clsSingleVar(), fmx::Data::kDTText,
       "ERROR: PluginFuncCallback: Function did not return a valid result."},
  };
  for (stcCase const& c : cases) {
    fmx::Data result = Preset();
    fmx::Locale locale;
    clsSingleVar value = c.value;
    Function_SetResult(&value, result, locale);
    EXPECT_EQ(c.type, result.GetNativeType()) << c.label;
    EXPECT_EQ(c.text, FmxTestHost::TextOf(result)) << c.label;
  }
  fmx::Data result = Preset();
  fmx::Locale locale;
  Function_SetResult(nullptr, result, locale);
  EXPECT_EQ("ERROR: PluginFuncCallback: Function did not return a valid result.",
            FmxTestHost::TextOf(result));
}

TEST(FunctionResultTest, DateTimeBecomesALocalTimeStampOfWholeSeconds) {
  ScopedTZ zone("America/New_York");
  clsDateTime when;
  when.EncodeDateTime(2009, 3, 4, 14, 7, 9);
  // The same moment three quarters of a second later, through a file date's fraction.
  double const since1904 = when.GetNativeDateTime() + 3061152000.0 + 0.75;
  UTCDateTime fine = {0, UInt32(since1904), UInt16((since1904 - std::floor(since1904)) * 65536)};
  when.Assign(&fine);
  clsSingleVar value;
  value.SetDateTimeValue(when);
  fmx::Data result;
  fmx::Locale locale;
  Function_SetResult(&value, result, locale);
  ASSERT_EQ(fmx::Data::kDTTimeStamp, result.GetNativeType());
  fmx::DateTime const& stamp = result.GetAsTimeStamp();
  EXPECT_EQ(2009, stamp.GetYear());
  EXPECT_EQ(3, stamp.GetMonth());
  EXPECT_EQ(4, stamp.GetDay());
  EXPECT_EQ(14, stamp.GetHour());
  EXPECT_EQ(7, stamp.GetMinute());
  EXPECT_EQ(9, stamp.GetSec());
  EXPECT_EQ(0, stamp.GetUSec());
}
