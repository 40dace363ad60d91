// Tests of ShowMessageDialog: the compose dialog's menus (address choices split into menu prefix,
// label and address, the address cleaned and the rest kept, invalid ones left out, all passed as
// they are with validation off; container names kept only for filled container fields, a name
// with a double quote still read as one field); the worker driven through the dialog as a user
// would (accepted without sending, cancelled, sent to aiosmtpd): what the menus offer, what
// GetDialogValue reads back, container entries turned into files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mime/clsSimpleEmailDialogHelper.h"
#include "platform/carbon/WindowsTesting.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/clsPluginVars.h"
#include "tests/plugin/EmailFunctionsFixture.h"
#include "tests/support/FmxTestHost.h"
#include "tests/support/MenuTesting.h"
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
    ResetPrefsForTesting();
    g_udtPrefs.LoadPrefs();
  }
  void TearDown() override {
    ResetPrefsForTesting();
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

class ShowMessageDialogWorkerTest : public EmailFunctionsFixture {};

TEST_F(ShowMessageDialogWorkerTest, WhatTheUserDoesDecidesWhatIsSentAndKept) {
  using Lines = std::vector<std::string>;
  StartServer();
  Settings(kSender);
  m_udtHost.SetLayoutTable("T1");
  m_udtHost.SetField("T1::Photo", FileContainer("/data/photo.txt", "in T1"));
  fmx::Data empty;
  empty.Clear(fmx::Data::kDTBinary);
  m_udtHost.SetField("T1::Empty", empty);
  m_udtHost.SetField("T1::Note", T("a text"));
  m_udtHost.SetField("T2::Photo", FileContainer("/data/other.txt", "in T2"));
  m_udtHost.SetVariable("$order", T("42"));
  Lines const editMenu = {"Undo", "-", "Cut", "Copy", "Paste", "Delete", "-", "Select All"};
  auto look = [](SInt32 id, bool contextual, Lines const& lines) {
    WindowsQueueClickForTesting(id);
    if (contextual) WindowsQueueContextualClickForTesting(id);
    WindowsQueueCallForTesting([=] { EXPECT_EQ(lines, LastMenuLinesForTesting()); });
  };
  auto pickJane = [] {
    WindowsQueueClickForTesting(kSimpleDlgToButton);
    WindowsQueueMenuPickForTesting("Jane");
  };
  struct stcRow {
    char const* what;
    fmx::Data sendEmail;  // empty: not given
    fmx::Data mergeFields;
    std::function<void()> user;
    std::string result;
    Lines dialogValues;  // to, from, subject, body, attachment1
  } const rows[] = {
      {"accepted without sending", FmxTestHost::NumberData(0), fmx::Data(),
       [&] {
         look(kSimpleDlgToButton, false, {"Sales>Jane", "bob@example.test"});
         look(kSimpleDlgAttach2, false, {"Clear", "-", "Select File...", "-", "Photo"});
         look(kSimpleDlgSubject, true, editMenu);
         pickJane();
         WindowsQueueClickForTesting(kSimpleDlgSend);
       },
       "Message Dialog Accepted.",
       {"jane@example.test", "Sender <sender@example.test>", "Offer 42", "Dear 42", "other.txt=/tmp/Velmora Temp/other.txt"}},
      {"cancelled", fmx::Data(), T("First"), [] { WindowsQueueClickForTesting(kSimpleDlgCancel); },
       "Message Dialog was Cancelled.", {"", "", "", "", ""}},
      {"sent", FmxTestHost::NumberData(1), T("First"),
       [&] {
         look(kSimpleDlgSubject, true, [&] {
           Lines lines = editMenu;
           for (char const* item : {"-", "Insert Merge Field>First", "Insert Merge Field>-", "Insert Merge Field>Current Date",
                                    "Insert Merge Field>Current Time", "Insert Merge Field>Current User",
                                    "Insert Merge Field>Current Record Number"})
             lines.push_back(item);
           return lines;
         }());
         pickJane();
         WindowsQueueClickForTesting(kSimpleDlgSend);
       },
       "Email Sent Successfully.",
       {"jane@example.test", "Sender <sender@example.test>", "Offer 42", "Dear 42", "other.txt=/tmp/Velmora Temp/other1.txt"}},
  };
  for (stcRow const& row : rows) {
    SCOPED_TRACE(row.what);
    row.user();
    std::vector<fmx::Data> parameters = {T("Sales>Jane;jane@example.test\rnot an address\r\rbob@example.test"),
                                         T("Offer <<$order>>"), T("Dear <<$order>>"), T("container:T2::Photo"),
                                         fmx::Data(), fmx::Data(), row.mergeFields, T("Photo\rEmpty\rNote"),
                                         row.sendEmail};
    EXPECT_EQ(row.result, Call(30, parameters));
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
    Lines values;
    for (char const* which : {"to", "from", "subject", "body", "attachment1"}) values.push_back(DialogValue(which));
    EXPECT_EQ(row.dialogValues, values);
    // The accepted message's container file is there to be read; a sent one's is gone.
    std::string const file = values[4].substr(values[4].find('=') + 1);
    if (!file.empty()) {
      EXPECT_EQ(row.result != "Email Sent Successfully.", Exists(file)) << file;
    }
  }
  // Only the last call connected.
  std::vector<std::map<std::string, std::string>> const messages = Received();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("jane@example.test", messages[0].at("rcpt_tos"));
  EXPECT_EQ("Offer 42", messages[0].at("subject"));
  EXPECT_EQ("other.txt", messages[0].at("part.1.filename"));
}

// Every To entry that is accepted goes to the mailbox its To header shows: an address in a
// quoted name or in a comment is text of the name, a quoted local part goes whole into both.
// Each entry is given once to SendMessage and once typed into the compose dialog's To field.
TEST_F(ShowMessageDialogWorkerTest, TheEnvelopeGoesWhereTheToHeaderSays) {
  StartServer();
  Settings(kSender);
  std::string const sent = "Email Sent Successfully.";
  std::string const invalid = "ERROR: SendMessage: The To Email Address you specified appears to be invalid: ";
  struct stcRow {
    char const* entry;
    char const* envelope;  // the server's RCPT list; empty: the entry is refused
    char const* header;    // the mailbox Python reads in the To header
  } const rows[] = {
      {"\"Bob <evil@x.test>\" <a@b.test>", "a@b.test", "a@b.test"},
      {"(Bob <evil@x.test>) a@b.test", "a@b.test", "a@b.test"},
      {"a@b.test (Bob <evil@x.test>)", "a@b.test", "a@b.test"},
      {"\"Bob \\\"<evil@x.test>\\\" (x\" <a@b.test>", "a@b.test", "a@b.test"},
      {"(Bob (x) <evil@x.test>) <a@b.test>", "a@b.test", "a@b.test"},
      {"\"john smith\"@b.test", "\"john smith\"@b.test", "\"john smith\"@b.test"},
      {"John Smith <\"john smith\"@b.test>", "\"john smith\"@b.test", "\"john smith\"@b.test"},
      {"\"smith\"@b.test", "smith@b.test", "smith@b.test"},
      {"x\"john smith\"@b.test", "", ""},
      {"\"a<b\"@b.test", "", ""},
      {"Smith \"Jr\" <a@b.test>", "", ""},
      {"a@b.test \"x\", evil@x.test", "", ""},
  };
  size_t received = 0;
  for (stcRow const& row : rows) {
    SCOPED_TRACE(row.entry);
    bool const accepted = *row.envelope != '\0';
    EXPECT_EQ(accepted ? sent : invalid + row.entry, Call(20, {T(row.entry), T("Hi")}));
    if (!accepted) continue;
    // The same typed into the compose dialog's To field and sent from there.
    WindowsQueueClickForTesting(kSimpleDlgTo);
    WindowsQueueTypeForTesting(row.entry);
    WindowsQueueClickForTesting(kSimpleDlgSend);
    EXPECT_EQ(sent, Call(30, {T(""), T("Hi"), T("body"), fmx::Data(), fmx::Data(), fmx::Data(), fmx::Data(),
                               fmx::Data(), FmxTestHost::NumberData(1)}));
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
    std::vector<std::map<std::string, std::string>> const messages = Received();
    received += 2;
    ASSERT_EQ(received, messages.size());
    for (size_t i = received - 2; i < received; ++i) {
      EXPECT_EQ(row.envelope, messages[i].at("rcpt_tos")) << i;
      EXPECT_EQ(row.header, messages[i].at("to_addr_specs")) << messages[i].at("to");
      EXPECT_EQ("0", messages[i].at("defects"));
    }
  }
  // Without the address check the entry goes out as given: the envelope still takes the address
  // the header shows, or the server refuses what is no address; never another mailbox.
  ASSERT_TRUE(g_udtPrefs.SetBooleanPref(U("DisableEmailValidation"), true));
  for (stcRow const& row : rows) {
    SCOPED_TRACE(std::string("unchecked: ") + row.entry);
    std::string const result = Call(20, {T(row.entry), T("Hi")});
    std::vector<std::map<std::string, std::string>> const messages = Received();
    if (result != sent) {
      EXPECT_EQ(received, messages.size()) << result;
      continue;
    }
    ASSERT_EQ(++received, messages.size());
    EXPECT_EQ(messages.back().at("to_addr_specs"), messages.back().at("rcpt_tos"));
  }
}

}  // namespace
