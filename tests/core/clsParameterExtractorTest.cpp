// Tests of host parameter extraction: which host types each wanted type accepts, boolean words
// and numbers, dates and times against a pinned clock, lists, and the reused conversion buffer,
// also after an allocation failure.
#include "core/clsParameterExtractor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "core/clsSingleVar.h"
#include "platform/cf/CFDate.h"
#include "support/FmxTestHost.h"

namespace {

std::string Utf8(UniString const& text) { return std::string(text.GetAnsiString(1).c_str()); }
fmx::Data Text(std::string const& utf8) { return FmxTestHost::TextData(utf8); }

// A host date (date only), time (time only) or time stamp of 2008-12-25 09:05:07.
fmx::Data Moment(int32_t nativeType) {
  fmx::DateTime value;
  value.SetNormalizedDate(12, 25, 2008);
  value.SetNormalizedTime(9, 5, 7);
  fmx::Data data;
  if (nativeType == fmx::Data::kDTDate) data.SetAsDate(value);
  if (nativeType == fmx::Data::kDTTime) data.SetAsTime(value);
  if (nativeType == fmx::Data::kDTTimeStamp) data.SetAsTimeStamp(value);
  return data;
}

// Extract into a value holding a marker string; "refused" when it answered false and kept it.
std::string ExtractAs(fmx::Data const& data, int32_t wanted) {
  clsSingleVar var;
  var.SetStringValue(UniString("marker"));
  bool const taken = g_udtPE->Extract(data, &var, static_cast<enumPEType>(wanted));
  if (!taken) {
    bool const kept = var.GetType() == kVarTypeString && Utf8(var.GetStringValue()) == "marker";
    return kept ? "refused" : "changed";
  }
  if (var.GetType() == kVarTypeInteger) return std::to_string(var.GetIntegerValue());
  if (var.GetType() == kVarTypeDateTime) return var.GetDateTimeValue().GetAsString().c_str();
  if (var.GetType() == kVarTypeList) return "list of " + std::to_string(var.GetListValue(false)->Count());
  return Utf8(var.GetValue_AsString());
}

class ParameterExtractorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateParameterExtractor()); }
  void TearDown() override {
    DestroyParameterExtractor();
    CFAbsoluteTimeClearCurrentForTesting();
  }
};

}  // namespace

TEST_F(ParameterExtractorTest, BooleanFromTextWordsAndNumbers) {
  std::vector<std::pair<char const*, char const*>> const cases = {
      {"  yes  ", "1"}, {"Off", "0"},     {"", "0"},  {"maybe", "refused"}, {"12abc", "1"},
      {"-3", "refused"}, {"abc", "refused"}, {"0", "0"}, {"a0", "0"},      {"t", "1"},
      {"ON", "1"},      {"false", "0"},   {"n", "0"},
  };
  for (auto const& c : cases) EXPECT_EQ(c.second, ExtractAs(Text(c.first), kPEBoolean)) << c.first;
  fmx::Data boolean;
  boolean.SetAsBoolean(true);
  EXPECT_EQ("1", ExtractAs(boolean, kPEBoolean));
  EXPECT_EQ("5", ExtractAs(FmxTestHost::NumberData(5), kPEBoolean));

  bool result = true;
  EXPECT_FALSE(ParseBooleanParameter(UniString("maybe"), &result));
  EXPECT_TRUE(result) << "an unrecognised text leaves the result alone";
  EXPECT_FALSE(ParseBooleanParameter(UniString("yes"), nullptr));
}

TEST_F(ParameterExtractorTest, EachWantedTypeAcceptsItsHostTypes) {
  CFAbsoluteTimeSetCurrentForTesting(300000000.0);
  clsDateTime now;
  now.SetToNow();
  std::string const nowText = now.GetAsString().c_str();  // "MM/DD/YYYY HH:MM:SS"
  fmx::Data const number = FmxTestHost::NumberData(12.5), date = Moment(fmx::Data::kDTDate),
                  time = Moment(fmx::Data::kDTTime), container = FmxTestHost::ContainerData({{"FILE", "x"}});
  struct stcCase {
    fmx::Data data;
    int32_t wanted;
    std::string expected;
  };
  std::vector<stcCase> cases = {
      {number, kPEText, FmxTestHost::TextOf(number)},  {Text("42"), kPEInteger, "42"},
      {number, kPEFloat, "12.5000"},                   {Text("a\rb\rc"), kPEList, "list of 3"},
      {date, kPEDateTime, "12/25/2008" + nowText.substr(10)},
      {time, kPEDateTime, nowText.substr(0, 11) + "09:05:07"},
      {Moment(fmx::Data::kDTTimeStamp), kPEDateTime, "12/25/2008 09:05:07"},
      {date, kPEInteger, "refused"}, {time, kPEFloat, "refused"},   {date, kPEBoolean, "refused"},
      {Text("12"), kPEDateTime, "refused"}, {number, kPEDateTime, "refused"}, {Text("12"), 6, "refused"},
  };
  for (int32_t wanted = kPEText; wanted <= kPEDateTime; ++wanted) {
    cases.push_back({container, wanted, "refused"});
    cases.push_back({fmx::Data(), wanted, "refused"});
  }
  for (stcCase const& c : cases) EXPECT_EQ(c.expected, ExtractAs(c.data, c.wanted)) << &c - cases.data();
  EXPECT_FALSE(g_udtPE->Extract(Text("12"), nullptr, kPEText));
}

TEST_F(ParameterExtractorTest, ConversionBufferIsReusedAndForgottenAfterAFailure) {
  fmx::Text longText, shortText, longer;
  FmxTestHost::SetText(longText, std::string(100, 'L'));
  FmxTestHost::SetText(shortText, "0123456789");
  FmxTestHost::SetText(longer, std::string(200, 'M'));

  EXPECT_EQ(std::string(100, 'L'), Utf8(g_udtPE->ExtractText(longText)));
  unsigned short const* buffer = g_udtPE->GetBuffer();
  EXPECT_EQ("0123456789", Utf8(g_udtPE->ExtractText(shortText)));
  EXPECT_EQ(buffer, g_udtPE->GetBuffer());
  EXPECT_EQ(100u, g_udtPE->GetCapacity());

  // A failed growth leaves no buffer; the next short text must not come out empty.
  FailNextParameterBufferForTesting();
  EXPECT_EQ("", Utf8(g_udtPE->ExtractText(longer)));
  EXPECT_EQ(0u, g_udtPE->GetCapacity());
  EXPECT_EQ("0123456789", Utf8(g_udtPE->ExtractText(shortText)));

  clsParameterExtractor* const instance = g_udtPE;
  EXPECT_TRUE(CreateParameterExtractor());
  EXPECT_EQ(instance, g_udtPE);
}
