// Tests of the registration table as the host receives it: names, exact prototypes with and
// without help comments, counts, flags and the plug-in ID, and re-registration after "AddHelp"
// changes through the configuration dialog's caller.
#include "plugin/frame/FunctionRegistration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/clsPrefs.h"
#include "tests/plugin/PluginFrameFixture.h"

namespace {

struct stcExpected {
  fmx::int16 id;
  char const* name;
  char const* prototype;
  fmx::int16 min;
  fmx::int16 max;
  std::vector<char const*> help;  // lines, each preceded by CR
};

std::vector<stcExpected> const kTable = {
    {10, "Velmora_GetDialogValue", "Velmora_GetDialogValue( Which )", 1, 1,
     {"/*Which = Which Dialog Value to Retrieve. [Specify \"To\", \"From\", \"Subject\", \"Body\", \"Attachment1\", "
      "\"Attachment2\", or \"Attachment3\".]*/"}},
    {20, "Velmora_SendMessage",
     "Velmora_SendMessage( To ; Subject {; Body {; Attachment1 {; Attachment2 {; Attachment3 }}}} )", 1, -1,
     {"/*", "To = The Email Address for the Receipient of the Email.", "Subject = The Subject for the Email.",
      "Body = The Content of the Email.",
      "Attachment[1,2,3] = The Attachments for the Email. [Specify either the Full Path and File Name, or a "
      "Container Field.]",
      "*/"}},
    {30, "Velmora_ShowMessageDialog",
     "Velmora_ShowMessageDialog{( Addresses {; Subject {; Body {; Attachment1 {; Attachment2 {; Attachment3 {; "
     "MergeFields {; Containers {; SendEmail }}}}}}}} )}",
     0, -1,
     {"/*",
      "Addresses = The Default Receipient Email Address[es] for the Dialog. [To present the user with a list to "
      "choose from, specify more than one separated by a return or paragraph mark.]",
      "Subject = The Default Subject for the Dialog.", "Body = The Default Content of the Dialog.",
      "Attachment[1,2,3] = The Default Attachments for the Dialog. [Specify either the Full Path and File Name, or a "
      "Container Field.]",
      "MergeFields = A Return- or Paragraph Mark-separated list of Merge Fields the user can Insert from the "
      "Contextual Menu.",
      "Containers = A Return- or Paragrah Mark-separated list of Containers the user can specify as the source for "
      "Attachments.",
      "SendEmail = If True, the dialog will actually Send the Message when the user presses \"Send\".  If False, the "
      "Dialog will simply close, allowing you to manipulate the data before sending. [Default is True.]",
      "*/"}},
    {1000, "Velmora_Version", "Velmora_Version", 0, -1, {}},
    {1003, "Velmora_VersionAutoUpdate", "Velmora_VersionAutoUpdate", 0, -1, {}},
    {1002, "Velmora_Configure", "Velmora_Configure{( Option {; PrefName {; PrefValue }} )}", 0, -1,
     {"/*", "Calling this function with no parameters will show the Configuration Dialog.",
      "Option = Specify the name of a Tab in the Configuration Dialog to show it opened to that Tab.",
      "         Specify \"Get\" with the PrefName parameter to get a preference value. [If not found, and PrefValue "
      "is defined, PrefValue will be returned.]",
      "         Specify \"Set\" with the PrefName and PrefValue parameters to set a preference value.",
      "PrefName = The Name of the Preference to Get or Set.", "PrefValue = The Value of the Preference to Set.",
      "*/"}},
};

class FunctionRegistrationTest : public PluginFrameFixture {};

TEST_F(FunctionRegistrationTest, PrototypesCarryHelpOnlyWhenAsked) {
  struct stcCase {
    char const* prefsFile;  // null: none
    bool help;
  } const cases[] = {{nullptr, true}, {"AddHelp=\"false\"", false}, {"AddHelp=\"1\"", true}};
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.prefsFile ? c.prefsFile : "no file");
    if (c.prefsFile) WritePrefs(c.prefsFile);
    ASSERT_TRUE(Start());
    ASSERT_EQ(kTable.size(), m_udtHost.Functions().size());
    for (size_t i = 0; i < kTable.size(); ++i) {
      FmxTestHost::stcFunction const& got = m_udtHost.Functions()[i];
      stcExpected const& want = kTable[i];
      std::string prototype = want.prototype;
      if (c.help)
        for (char const* line : want.help) prototype += std::string("\r") + line;
      EXPECT_EQ(want.id, got.functionId);
      EXPECT_EQ(want.name, got.name);
      EXPECT_EQ(prototype, got.prototype) << want.name;
      EXPECT_EQ(want.min, got.minArgs) << want.name;
      EXPECT_EQ(want.max, got.maxArgs) << want.name;
      EXPECT_EQ(0xFF01u, got.flags) << want.name;
      EXPECT_TRUE(got.pluginId == fmx::QuadChar('Q', 'R', 'V', 'e')) << want.name;
    }
    Stop();
  }
}

// The first function the host refuses ends the registration with the host's code: the ones
// before it stay registered, none after it is tried.
TEST_F(FunctionRegistrationTest, RegistrationStopsAtTheFirstRefusal) {
  ASSERT_TRUE(Start());
  struct stcCase {
    fmx::int16 refuse;
    fmx::errcode code;
    std::vector<fmx::int16> registered;
  } const cases[] = {
      {1002, 960, {10, 20, 30, 1000, 1003}},
      {30, 7, {10, 20}},  // refusals add up: 30 now comes first
      {10, 1, {}},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.refuse);
    Internal_UnregisterFunctions();
    m_udtHost.RefuseRegistration(c.refuse, c.code);
    EXPECT_EQ(c.code, Internal_RegisterFunctions());
    std::vector<fmx::int16> ids;
    for (auto const& function : m_udtHost.Functions()) ids.push_back(function.functionId);
    EXPECT_EQ(c.registered, ids);
  }
}

}  // namespace
