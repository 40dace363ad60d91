// Tests of the compose dialog's menus: address choices split into menu prefix, label and
// address, the address cleaned and the rest kept, invalid ones left out (and all passed as they
// are with validation off); container names kept only for filled container fields, a name with a
// double quote still read as one field.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugin/clsPrefs.h"
#include "plugin/frame/clsPluginVars.h"
#include "tests/support/FmxTestHost.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

UniString U(std::string const& text) { return UniString(text.c_str()); }
std::string S(UniString const& text) { return std::string(text.GetAnsiString(1).c_str()); }

UniStringList Lines(std::vector<std::string> const& lines) {
  UniStringList list;
  for (auto const& line : lines) list.Add(U(line));
  return list;
}

std::vector<std::string> Strings(UniStringList const& list) {
  std::vector<std::string> out;
  for (UniString const& line : list) out.push_back(S(line));
  return out;
}

class ShowMessageDialogTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-compose", {"/prefs"}));
    ASSERT_EQ(noErr, InstallRoot());
    ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs"));
    g_udtPrefs.LoadPrefs();
  }
  void TearDown() override {
    g_udtPrefs.SetBooleanPref(U("DisableEmailValidation"), false);
    RemoveRoot();
  }
  clsPluginVars m_udtVars;
};

TEST_F(ShowMessageDialogTest, AddressChoicesKeepPrefixAndLabelInFrontOfTheCleanedAddress) {
  UniStringList choices = Lines({
      "Sales>Jane;jane@example.test",
      "  jane@example.test ",
      "Jane Doe <jane@example.test>",
      "Team>Jane Doe <jane@example.test>",
      "Office>Bob;not an address",
      "",
      "a>b>c;bob@example.test",
      "Support <help@example.test> (desk)",
  });
  UniStringList cleaned, problems;
  m_udtVars.CleanQuickMenuEmailAddresses(&choices, &cleaned, &problems);
  EXPECT_EQ((std::vector<std::string>{
                "Sales>Jane;jane@example.test",
                "jane@example.test",
                "Jane Doe <jane@example.test>",
                "Team>Jane Doe <jane@example.test>",
                "a>b>c;bob@example.test",
                "Support <help@example.test> (desk)",
            }),
            Strings(cleaned));
  EXPECT_EQ((std::vector<std::string>{"Office>Bob;not an address"}), Strings(problems));

  // Validation off: the list as it came, empty lines included.
  ASSERT_TRUE(g_udtPrefs.SetBooleanPref(U("DisableEmailValidation"), true));
  m_udtVars.CleanQuickMenuEmailAddresses(&choices, &cleaned, &problems);
  EXPECT_EQ(Strings(choices), Strings(cleaned));
  EXPECT_TRUE(problems.IsEmpty());

  // Without the lists: only the problem list says so.
  m_udtVars.CleanQuickMenuEmailAddresses(nullptr, &cleaned, &problems);
  EXPECT_EQ((std::vector<std::string>{"ERROR: CleanEmailAddresses: Memory not allocated!"}), Strings(problems));
}

TEST_F(ShowMessageDialogTest, ContainersAreKeptOnlyWhenTheirFieldsHoldData) {
  FmxTestHost host;
  host.SetEvaluateResult("Get(LayoutTableName)", "T");
  host.SetEvaluateResult("GetField(\"T::Photo\")", FmxTestHost::ContainerData({{"JPEG", "jpeg"}}));
  host.SetEvaluateResult("GetField(\"T2::Photo\")", FmxTestHost::ContainerData({{"FILE", "x"}}));
  fmx::Data empty;
  empty.Clear(fmx::Data::kDTBinary);
  host.SetEvaluateResult("GetField(\"T::Empty\")", empty);
  host.SetEvaluateResult("GetField(\"T::Name\")", "Jane");
  host.SetEvaluateResult("GetField(\"T::Odd \\\" Name\")", FmxTestHost::ContainerData({{"FILE", "y"}}));

  UniStringList names = Lines({"Photo", "T2::Photo", "Empty", "Name", "Missing", "", "Odd \" Name"});
  UniStringList valid, problems;
  m_udtVars.CleanContainers(&names, &valid, &problems, host.Environment());
  EXPECT_EQ((std::vector<std::string>{"Photo", "T2::Photo", "Odd \" Name"}), Strings(valid));
  EXPECT_EQ((std::vector<std::string>{"Container was empty: Empty", "Field was not a container: Name"}),
            Strings(problems));

  // The layout's table is asked for once; the name holding a quote stays one quoted text.
  auto const& asked = host.EvaluateRequests();
  EXPECT_EQ(1, std::count(asked.begin(), asked.end(), "Get(LayoutTableName)"));
  EXPECT_EQ(0, std::count(asked.begin(), asked.end(), "GetField(\"T::\")"));
}

}  // namespace
