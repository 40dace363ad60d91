// Tests of the address check: one table of addresses through every step (names, comments,
// brackets, the invalid forms, line breaks and zero units), cleaning a cleaned address again,
// the enclosure fix-up, validation switched off, and the error output of an expression that
// cannot be used. The preference store reads a temporary file-system root, never the user's.
#include "mime/CleanOneEmailAddress.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "NothrowAllocationFailures.h"
#include "platform/carbon/Files.h"
#include "plugin/clsPrefs.h"
#include "support/TempFileSystemRoot.h"
#include "support/UniStringTesting.h"

namespace {

UniString const g_ustrDisable("DisableEmailValidation");

class CleanOneEmailAddressTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-address", {"/prefs"}));
    ASSERT_EQ(noErr, InstallRoot());
    ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs"));
    g_udtPrefs.LoadPrefs();
  }
  void TearDown() override {
    g_udtPrefs.SetBooleanPref(g_ustrDisable, false);
    RemoveRoot();
  }
};

std::string Narrow(UniString const& text) { return std::string(text.GetAnsiString(1).c_str()); }

struct stcAddressCase {
  std::u16string input;
  std::u16string cleaned;  // empty: invalid, the error output is then the trimmed input
  bool idempotent;         // cleaning the cleaned address gives it back
};

stcAddressCase const g_arrAddressCases[] = {
    // Empty and blank input: nothing at all comes back.
    {u"", u"", false},
    {u" \t\r\n ", u"", false},
    // Bare addresses, trimmed.
    {u"a@b.co", u"a@b.co", true},
    {u"  john.smith+tag@mail.example.com \r\n", u"john.smith+tag@mail.example.com", true},
    {u"o'neil!#$%&*/=?^_`{|}~-@x-y.example.org", u"o'neil!#$%&*/=?^_`{|}~-@x-y.example.org", true},
    // Names of letters and blanks stay as they are; blanks around the parts go.
    {u"John Smith <john@example.com>", u"John Smith <john@example.com>", true},
    {u"  John   Smith   <john@example.com>  ", u"John   Smith <john@example.com>", true},
    {u"   John  Smith<john@example.com>", u"John  Smith <john@example.com>", true},
    {u"a b@c.co", u"a <b@c.co>", true},
    // Names needing quotes, and half-open quotes on either side.
    {u"J. Smith <js@example.com>", u"\"J. Smith\" <js@example.com>", true},
    {u"Smith, John <js@example.com>", u"\"Smith, John\" <js@example.com>", true},
    {u"Agent 007 <bond@example.com>", u"\"Agent 007\" <bond@example.com>", true},
    {u"\"John Smith <js@example.com>", u"\"John Smith\" <js@example.com>", true},
    {u"John Smith\" <js@example.com>", u"\"John Smith\" <js@example.com>", true},
    {u"\"J. Smith\" <js@example.com>", u"\"J. Smith\" <js@example.com>", true},
    {u"\" <js@example.com>", u"\"\" <js@example.com>", true},
    // Comments: a leading one is kept as the name, a trailing one after the address.
    {u"(Sales) <s@example.com>", u"(Sales) <s@example.com>", true},
    {u"(Sales <s@example.com>", u"(Sales) <s@example.com>", true},
    {u"a@b.co (Sales)", u"<a@b.co> (Sales)", true},
    {u"a@b.co (Sales", u"<a@b.co> (Sales)", true},
    {u"a@b.co Sales)", u"<a@b.co> (Sales)", true},
    {u"a@b.co Sales Dept.", u"<a@b.co> \"Sales Dept.\"", true},
    {u"<a@b.co>Sales", u"<a@b.co> Sales", true},
    {u"John <john@example.com> (Sales)", u"John <john@example.com> (Sales)", true},
    {u"John<john@example.com>(Sales 2)", u"John <john@example.com> (Sales 2)", true},
    // Angle and square brackets, paired when half given.
    {u"<a@b.co>", u"<a@b.co>", true},
    {u"a@b.co>", u"<a@b.co>", true},
    {u"<a@b.co", u"<a@b.co>", true},
    {u"[a@b.co]", u"[a@b.co]", true},
    {u"a@b.co]", u"[a@b.co]", true},
    {u"[a@b.co", u"[a@b.co]", true},
    {u"<a@b.co]", u"<a@b.co>", true},
    {u"[a@b.co>", u"[a@b.co]", true},
    {u"Sales [a@b.co]", u"Sales <a@b.co>", true},
    // Quoted local parts are taken whole, blanks included, or refused; never split in two.
    {u"\"john.smith\"@example.com", u"\"john.smith\"@example.com", true},
    {u"a\"@b.co", u"\"a\"@b.co", true},
    {u"\"john smith\"@example.com", u"\"john smith\"@example.com", true},
    {u"John <\"john smith\"@example.com>", u"John <\"john smith\"@example.com>", true},
    {u"J. Smith<\"j \\\"s\\\" @x\"@example.com> (x)", u"\"J. Smith\" <\"j \\\"s\\\" @x\"@example.com> (x)", true},
    {u"\"john smith\"@example.com (Home)", u"<\"john smith\"@example.com> (Home)", true},
    {u"x\"john smith\"@example.com", u"", false},
    {u"\"a<b\"@example.com", u"", false},   // the envelope would cut it at the bracket
    {u"\"a>b\"@example.com", u"", false},
    {u"\"a\tb\"@example.com", u"", false},  // RFC 5321: printable ASCII only
    {u"\"j\u00F6\"@example.com", u"", false},
    {u"\"a\"b\"@example.com", u"", false},
    // An address in a quoted name or a comment is text of the name.
    {u"\"Bob <evil@x.test>\" <a@b.co>", u"\"Bob <evil@x.test>\" <a@b.co>", true},
    {u"(Bob <evil@x.test>) a@b.co", u"(Bob <evil@x.test>) <a@b.co>", true},
    {u"a@b.co (Bob <evil@x.test>)", u"<a@b.co> (Bob <evil@x.test>)", true},
    {u"(x \"a b\"@c.test) a@b.co", u"(x \"a b\"@c.test) <a@b.co>", true},
    // A name or comment whose quotes would leave the address inside them, or which would show
    // a reader another mailbox, is refused.
    {u"Smith \"Jr\" <a@b.co>", u"", false},
    {u"a@b.co \"x\", evil@x.test", u"", false},
    {u"a@b.co x, evil@x.test", u"", false},
    {u"Bob <a@example.test>, Eve <e@example.test>", u"", false},
    {u"a@example.test b@example.test", u"", false},
    {u"<a@example.test> <e@example.test>", u"", false},
    {u"\"Eve e@x.test\" <a@b.co> (or f@x.test)", u"\"Eve e@x.test\" <a@b.co> (or f@x.test)", true},
    // Invalid forms.
    {u"plainaddress", u"", false},
    {u"@b.co", u"", false},
    {u"a@", u"", false},
    {u"a@b", u"", false},            // no dot in the domain
    {u"a@b.c0", u"", false},         // last label holds a digit
    {u"a@b..co", u"", false},
    {u"a..b@c.co", u"", false},      // two dots in a row
    {u".a@b.co", u"", false},
    {u"a.@b.co", u"", false},
    {u"a@b.co@d.co", u"", false},
    {u"a@[192.168.0.1]", u"", false},  // address literals are refused
    {u"<>@b.co", u"", false},
    {u"a@<>", u"", false},
    {u"jo\u00E9@b.co", u"", false},
    {u"a@b.co\u3000x", u"", false},  // the ideographic space is no blank: part of the domain
    // Line breaks and zero units inside the address never come back as a clean address.
    {u"a@b.co (x\nBcc: e@f.g)", u"", false},
    {u"a@b.co\r\nBcc: e@f.g", u"", false},
    {u"John\r <a@b.co>", u"", false},
    {std::u16string(u"a@b.co\0x", 8), u"", false},
    {std::u16string(u"a@b.co\0", 7), u"", false},
    {u"\r\n a@b.co \r\n", u"a@b.co", true},
};

}  // namespace

TEST_F(CleanOneEmailAddressTest, EveryStepOfTheTable) {
  ASSERT_FALSE(g_udtPrefs.GetBooleanPref(g_ustrDisable, false));
  for (stcAddressCase const& c : g_arrAddressCases) {
    UniString const input = Units(c.input);
    std::string const label = Narrow(input);
    UniString cleaned = UniString("stale");
    UniString error = UniString("stale");
    CleanOneEmailAddress(input, &cleaned, &error);
    EXPECT_EQ(Units(c.cleaned), cleaned) << label << " gave " << Narrow(cleaned);
    if (c.cleaned.empty()) {
      EXPECT_EQ(input.Trim(), error) << label;
    } else {
      EXPECT_TRUE(error.IsEmpty()) << label << " error " << Narrow(error);
    }
    // Either output may be left out.
    UniString only;
    CleanOneEmailAddress(input, &only, nullptr);
    EXPECT_EQ(cleaned, only) << label;
    CleanOneEmailAddress(input, nullptr, &only);
    EXPECT_EQ(error, only) << label;
    CleanOneEmailAddress(input, nullptr, nullptr);

    if (cleaned.IsNotEmpty()) {
      UniString again;
      CleanOneEmailAddress(cleaned, &again, nullptr);
      if (c.idempotent) {
        EXPECT_EQ(cleaned, again) << label;
      } else {
        EXPECT_NE(cleaned, again) << label << " is idempotent after all";
      }
    }
  }
}

TEST_F(CleanOneEmailAddressTest, EnclosureIsBalanced) {
  struct stcCase {
    char const* text;
    char open;
    char close;
    char const* expected;
  } const cases[] = {
      {"", '"', '"', ""},        {" \t ", '(', ')', ""},    {"\"", '"', '"', "\"\""},
      {" \"a ", '"', '"', "\"a\""}, {"a\"", '"', '"', "\"a\""}, {"\"a\"", '"', '"', "\"a\""},
      {"a", '"', '"', "a"},      {"(", '(', ')', "()"},     {")", '(', ')', "()"},
      {"\"", '(', ')', "\""},    {"(a", '(', ')', "(a)"},   {"a) ", '(', ')', "(a)"},
      {"(a\"", '(', ')', "(a\")"}, {"a(b)c", '(', ')', "a(b)c"},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(UniString(c.expected),
              CheckEmailEnclosure(UniString(c.text), static_cast<unsigned short>(c.open),
                                  static_cast<unsigned short>(c.close)))
        << "[" << c.text << "] " << c.open << c.close;
  }
}

TEST_F(CleanOneEmailAddressTest, ValidationSwitchedOffPassesTheTrimmedText) {
  struct stcCase {
    std::u16string input;
    std::u16string expected;
  } const cases[] = {
      {u"  not an address ", u"not an address"},
      {u"a@b.co (x\nBcc: e@f.g)", u"a@b.co (x\nBcc: e@f.g)"},
      {u"J. Smith <js@example.com>", u"J. Smith <js@example.com>"},
      {u" \r\n", u""},
      // The envelope takes one mailbox per entry: a text naming two is refused.
      {u"Bob <a@example.test>, Eve <e@example.test>", u""},
      {u"a@example.test b@example.test", u""},
  };
  ASSERT_TRUE(g_udtPrefs.SetBooleanPref(g_ustrDisable, true));
  for (auto const& c : cases) {
    UniString cleaned;
    UniString error;
    CleanOneEmailAddress(Units(c.input), &cleaned, &error);
    EXPECT_EQ(Units(c.expected), cleaned) << Narrow(Units(c.input));
    EXPECT_EQ(Units(c.input).Trim(), error) << Narrow(Units(c.input));
  }
  ASSERT_TRUE(g_udtPrefs.SetBooleanPref(g_ustrDisable, false));
  UniString cleaned;
  CleanOneEmailAddress(UniString("not an address"), &cleaned, nullptr);
  EXPECT_TRUE(cleaned.IsEmpty());
}

TEST_F(CleanOneEmailAddressTest, AnExpressionThatCannotBeUsed) {
  // The wide copy of one stored expression cannot be made: the allocation of its length and
  // terminator in wide characters right after the expression's own text (length + 2 units) is
  // made to fail. The whole-address, local-part and domain checks report it; a display name
  // that cannot be checked is kept as it is.
  std::string const failure =
      "ERROR: CleanOneEmailAddress: "
      "Could not get a Wide Character array from the Regular Expression!";
  struct stcCase {
    std::size_t expressionLength;
    char const* input;
    char const* cleaned;
    std::string error;
  } const cases[] = {
      {35, "a@b.co", "", failure},  // whole address
      {68, "a@b.co", "", failure},  // local part
      {43, "a@b.co", "", failure},  // domain
      {22, "J. Smith <js@example.com>", "J. Smith <js@example.com>", ""},  // display name
  };
  for (auto const& c : cases) {
    g_sizFailArrayOfSize = (c.expressionLength + 1) * sizeof(wchar_t);
    g_sizFailArrayAfter = (c.expressionLength + 2) * sizeof(unsigned short);
    UniString cleaned;
    UniString error;
    CleanOneEmailAddress(UniString(c.input), &cleaned, &error);
    EXPECT_EQ(0u, g_sizFailArrayOfSize) << c.expressionLength << ": no such allocation";
    g_sizFailArrayOfSize = 0;
    g_sizFailArrayAfter = 0;
    EXPECT_EQ(UniString(c.cleaned), cleaned) << c.expressionLength;
    EXPECT_EQ(UniString(c.error.c_str()), error) << c.expressionLength;
  }
}
