// Tests of GetDialogValue's worker over the sent values: the accepted names in any case and
// spacing, the attachment slots, the body as a list, and the answers without a state or before
// any message.
#include "plugin/frame/clsSendValues.h"

#include <gtest/gtest.h>

#include <string>

#include "plugin/FunctionResult.h"
#include "plugin/frame/clsPluginVars.h"
#include "support/FmxTestHost.h"

namespace {

std::string const kUnknown =
    "ERROR: GetDialogValue: Unknown Dialog Value.  Please specify 'To', 'From', 'Subject', "
    "'Body', 'Attachment1', 'Attachment2', or 'Attachment3'.";
std::string const kMustSpecify =
    "ERROR: GetDialogValue: You must specify which Dialog Value to Retrieve ('Which' parameter).";

// The host's view of GetDialogValue(which); a missing parameter for null.
std::string Ask(char const* which) {
  clsMultiVar parameters;
  if (which != nullptr) parameters.AddStringVar(UniString("Which"), UniString(which), false);
  clsSingleVar value = DoGetDialogValue(&parameters);
  fmx::Data result;
  fmx::Locale locale;
  Function_SetResult(&value, result, locale);
  return FmxTestHost::TextOf(result);
}

class clsSendValuesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    delete m_udtPluginVars;
    m_udtPluginVars = nullptr;
  }
};

}  // namespace

TEST_F(clsSendValuesTest, AnswersWithoutAStateAndBeforeAnyMessage) {
  EXPECT_EQ(kMustSpecify, Ask(""));
  EXPECT_EQ(kMustSpecify, Ask(nullptr));
  EXPECT_EQ("ERROR: GetDialogValue: Plug-in Variables Class is NULL.", Ask("To"));
  Internal_PluginInit();
  EXPECT_EQ(kMustSpecify, Ask("  "));
  for (char const* which : {"To", "Body", "Attachment1", "Attachment4", "Nonsense"}) {
    EXPECT_EQ("", Ask(which)) << which;
  }
}

TEST_F(clsSendValuesTest, EachNameReadsItsValue) {
  Internal_PluginInit();
  clsSendValues* sent = new clsSendValues;
  m_udtPluginVars->m_udtSendValues = sent;
  sent->m_ustrTo = UniString("to@example.test");
  sent->m_ustrFrom = UniString("Me <me@example.test>");
  sent->m_ustrSubject = UniString("Hello");
  sent->m_ulstBody = new UniStringList;
  for (char const* line : {"one", "", "three"}) sent->m_ulstBody->Add(UniString(line));
  sent->m_ulstAttachments = new UniStringList;
  for (char const* entry : {"/a.pdf", "Report=/b.pdf"}) sent->m_ulstAttachments->Add(UniString(entry));

  struct stcCase {
    char const* which;
    std::string answer;
  } const cases[] = {
      {"to", "to@example.test"},     {"FROM", "Me <me@example.test>"}, {" subject ", "Hello"},
      {"Body", "one\r\rthree"},      {"attach1", "/a.pdf"},            {"ATTACHMENT 1", "/a.pdf"},
      {"ATTACH 2", "Report=/b.pdf"}, {"ATTACHMENT2", "Report=/b.pdf"}, {"Attachment 3", ""},
      {"Attachment4", kUnknown},     {"attachment", kUnknown},         {"Subject2", kUnknown},
  };
  for (stcCase const& c : cases) EXPECT_EQ(c.answer, Ask(c.which)) << c.which;

  sent->Clear();
  for (char const* which : {"To", "Subject", "Body", "Attach1"}) {
    EXPECT_EQ("", Ask(which)) << which << " after a failed send";
  }
  EXPECT_NE(nullptr, sent->m_ulstBody) << "a clear keeps the lists";
}
