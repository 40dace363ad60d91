// Tests of the sender's two dialog fields: the stored text split into name and address (quotes
// and a trailing comment folded into the name, a refused sender giving two empty fields) and the
// two fields joined again, a split of the joined text giving the same two fields.
#include "plugin/frame/FromAddress.h"

#include <gtest/gtest.h>

#include <string>

#include "plugin/clsPrefs.h"
#include "tests/mime/MimeTestPrefs.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

UniString U(std::string const& text) { return UniString(text.c_str()); }
std::string S(UniString const& text) { return std::string(text.GetAnsiString(1).c_str()); }

class FromAddressTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-from", {"/prefs"}));
    ASSERT_EQ(noErr, InstallRoot());
    ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs"));
    ResetPrefsForTesting();
    g_udtPrefs.LoadPrefs();
  }
  void TearDown() override {
    ResetPrefsForTesting();
    RemoveRoot();
  }
};

TEST_F(FromAddressTest, SplitAndJoinedAgain) {
  struct {
    char const* stored;
    char const* name;
    char const* address;
    char const* joined;
  } const rows[] = {
      {"\"Jane Doe\" <jane@example.test>", "Jane Doe", "jane@example.test", "\"Jane Doe\" <jane@example.test>"},
      {"  Jane Doe <jane@example.test>", "Jane Doe", "jane@example.test", "\"Jane Doe\" <jane@example.test>"},
      {"jane@example.test", "", "jane@example.test", "<jane@example.test>"},
      {"<jane@example.test>", "", "jane@example.test", "<jane@example.test>"},
      {"<jane@example.test> (Jane)", "(Jane)", "jane@example.test", "\"(Jane)\" <jane@example.test>"},
      {"Your Name <your.name@example.com>", "Your Name", "your.name@example.com",
       "\"Your Name\" <your.name@example.com>"},
      {"[jane@example.test]", "", "jane@example.test", "<jane@example.test>"},
      {"[jane@example.test\r\r\r\n", "", "jane@example.test", "<jane@example.test>"},  // a fuzz finding
      // Quotes and backslashes of a name are escaped in its quoted string and read back unescaped.
      {"\"O\\\"Brien\" <a@example.test>", "O\"Brien", "a@example.test", "\"O\\\"Brien\" <a@example.test>"},
      {"\"Bob \\\"The Builder\\\" Smith\" <bob@example.test>", "Bob \"The Builder\" Smith", "bob@example.test",
       "\"Bob \\\"The Builder\\\" Smith\" <bob@example.test>"},
      {"\"C:\\\\Users\\\\bob\" <bob@example.test>", "C:\\Users\\bob", "bob@example.test",
       "\"C:\\\\Users\\\\bob\" <bob@example.test>"},
      {"\"Jane <Boss>\" <jane@example.test>", "Jane <Boss>", "jane@example.test", "\"Jane <Boss>\" <jane@example.test>"},
      {"\"Jane\" \"Doe\" <jane@example.test>", "Jane Doe", "jane@example.test", "\"Jane Doe\" <jane@example.test>"},
      {"not an address", "", "", ""},
      {"", "", "", ""},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.stored);
    UniString name, address;
    SplitFromAddress(U(row.stored), &name, &address);
    EXPECT_EQ(row.name, S(name));
    EXPECT_EQ(row.address, S(address));
    UniString const joined = ComposeFromAddress(name, address);
    EXPECT_EQ(row.joined, S(joined));
    UniString again, againAddress;
    SplitFromAddress(joined, &again, &againAddress);
    EXPECT_EQ(S(name), S(again));
    EXPECT_EQ(S(address), S(againAddress));
  }
}

}  // namespace
