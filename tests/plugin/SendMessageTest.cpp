// Tests of SendMessage's worker, called as a host calculation calls it, sending to aiosmtpd: what
// reaches the server (Python's email reads it) and what GetDialogValue reads back for each kind of
// call; the server and sender checks; merge fields in subject and body; attachments by path and
// by container; authentication and STARTTLS chosen by the preferences; a refused recipient and a
// refused login and a message refused after its data, and what each leaves behind; host text that tries to add header lines;
// host calls made while a message is sent or composed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/clsDynamicWindow.h"
#include "dialogs/clsStatusWindow.h"
#include "mime/clsSimpleEmailDialogHelper.h"
#include "platform/carbon/WindowsTesting.h"
#include "tests/plugin/EmailFunctionsFixture.h"
#include "tests/support/StockDialogTesting.h"

namespace {

std::string const kSent = "Email Sent Successfully.";

bool Has(std::vector<std::string> const& lines, std::string const& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

class SendMessageTest : public EmailFunctionsFixture {};

TEST_F(SendMessageTest, WhatEachCallSendsAndLeavesForGetDialogValue) {
  StartServer();
  WriteFile("/data/a.txt", "first file");
  WriteFile("/data/b.txt", "second file");
  m_udtHost.SetVariable("$order", T("42"));
  m_udtHost.SetVariable("$two", T("Line one\rX-Injected: yes"));
  struct stcRow {
    char const* what;
    std::string prefs;  // after the server entries
    std::function<std::vector<fmx::Data>()> parameters;
    std::string result;
    std::map<std::string, std::string> received;  // rows the server wrote ("": no such row)
    std::string dialogTo;                         // GetDialogValue("to") afterwards
  };
  std::string const hostError =
      "ERROR: SendMessage: Missing or Invalid SMTP Host. (Please use Velmora's Configuration Dialog to define a Host.)";
  std::string const fromError =
      "ERROR: SendMessage: Missing or Invalid From Email Address. (Please use Velmora's Configuration Dialog to defina "
      "a From Email Address.)";
  std::vector<stcRow> const rows = {
      {"three To lines, blanks around the first",
       kSender,
       [] { return std::vector<fmx::Data>{T(" Jane Doe <jane@example.test> \rbob@example.test\rnot an address"),
                                          T("Hello"), T("one\rtwo")}; },
       kSent,
       {{"rcpt_tos", "jane@example.test"},
        {"to", "Jane Doe <jane@example.test>"},
        {"from", "Sender <sender@example.test>"},
        {"subject", "Hello"},
        {"x_mailer", "Velmora (OSX 1.1.3)"},
        {"part.0.text", "one\\r\\ntwo\\r\\n"}},
       "Jane Doe <jane@example.test>"},
      {"first line refused", kSender, [] { return std::vector<fmx::Data>{T("not an address\rjane@example.test"), T("Hi")}; },
       "ERROR: SendMessage: The To Email Address you specified appears to be invalid: not an address", {}, ""},
      {"placeholder host in another case", "Host=\"SMTP.Example.COM\"\n" + std::string(kSender),
       [] { return std::vector<fmx::Data>{T("jane@example.test"), T("Hi")}; }, hostError, {}, ""},
      {"placeholder address in another case", "From=\"Your.Name@Example.com\"\n",
       [] { return std::vector<fmx::Data>{T("jane@example.test"), T("Hi")}; }, fromError, {}, ""},
      {"a sender whose name holds a quote and a backslash, as the dialog stores it",
       "From=\"\\\"O\\\\\\\"Brien \\\\\\\\ Co\\\" <o.brien@example.test>\"\n",
       [] { return std::vector<fmx::Data>{T("jane@example.test"), T("Hi")}; }, kSent,
       {{"mail_from", "o.brien@example.test"},
        {"from_names", "O\"Brien \\ Co"},
        {"from_defects", "0"},
        {"from", "\"O\\\"Brien \\\\ Co\" <o.brien@example.test>"}},
       "jane@example.test"},
      // A port the socket would cut to 16 bits (here to the server's own) is refused, naming it.
      {"a port past 65535", "Port=" + std::to_string(65536 + m_pudtServer->Port()) + "\n" + kSender,
       [] { return std::vector<fmx::Data>{T("jane@example.test"), T("Hi")}; },
       "ERROR: SendMessage: Invalid Port: " + std::to_string(65536 + m_pudtServer->Port()) +
           " (a port must be from 1 to 65535).",
       {}, ""},
      {"a negative port", "Port=-25\n" + std::string(kSender),
       [] { return std::vector<fmx::Data>{T("jane@example.test"), T("Hi")}; },
       "ERROR: SendMessage: Invalid Port: -25 (a port must be from 1 to 65535).", {}, ""},
      {"the default sender passes", "", [] { return std::vector<fmx::Data>{T("jane@example.test"), T("Hi")}; }, kSent,
       {{"mail_from", "your.name@example.com"}, {"from", "Your Name <your.name@example.com>"}}, "jane@example.test"},
      {"empty subject: the preference's, merged", std::string(kSender) + "Subject=\"Order <<$order>>\"\n",
       [] { return std::vector<fmx::Data>{T("jane@example.test"), T("")}; }, kSent, {{"subject", "Order 42"}},
       "jane@example.test"},
      {"escaped markers merge in the body only", kSender,
       [] {
         return std::vector<fmx::Data>{T("jane@example.test"), T("Re &lt;&lt;$order&gt;&gt;"),
                                       T("Ref &lt;&lt;$order&gt;&gt;")};
       },
       kSent, {{"subject", "Re &lt;&lt;$order&gt;&gt;"}, {"part.0.text", "Ref 42\\r\\n"}}, "jane@example.test"},
      {"a text of two paths attaches the first", kSender,
       [] {
         return std::vector<fmx::Data>{T("jane@example.test"), T("Files"), T("see"), T("/data/a.txt\r/data/b.txt")};
       },
       kSent, {{"part.1.filename", "a.txt"}, {"part.1.size", "10"}, {"part.2.type", ""}}, "jane@example.test"},
      {"an embedded container goes out under its name", kSender,
       [this] {
         return std::vector<fmx::Data>{T("jane@example.test"), T("Photo"), fmx::Data(), fmx::Data(),
                                       FileContainer("/data/notes.txt", "inside the container")};
       },
       kSent, {{"part.0.filename", "notes.txt"}, {"part.0.size", "20"}}, "jane@example.test"},
      {"a merged subject of two lines adds no header", kSender,
       [] { return std::vector<fmx::Data>{T("jane@example.test"), T("<<$two>>")}; }, kSent,
       {{"subject", "Line one  X-Injected: yes"}}, "jane@example.test"},
      {"a To line with a line feed adds no header", kSender,
       [] { return std::vector<fmx::Data>{T("jane@example.test\nX-Injected: yes"), T("Hi")}; },
       "ERROR: SendMessage: The To Email Address you specified appears to be invalid: jane@example.test\nX-Injected: "
       "yes",
       {}, ""},
      {"the same without address validation: no such recipient is sent to",
       std::string(kSender) + "DisableEmailValidation=\"true\"\n",
       [] { return std::vector<fmx::Data>{T("jane@example.test\nX-Injected: yes"), T("Hi")}; },
       "ERROR: SendMessage: SendOneEmail: Recipient Email Address holds a line break or a zero byte.", {}, ""},
      {"a To line naming two mailboxes is refused", kSender,
       [] { return std::vector<fmx::Data>{T("Bob <a@example.test>, Eve <e@example.test>"), T("Hi")}; },
       "ERROR: SendMessage: The To Email Address you specified appears to be invalid: Bob <a@example.test>, Eve "
       "<e@example.test>",
       {}, ""},
      {"the same without address validation", std::string(kSender) + "DisableEmailValidation=\"true\"\n",
       [] { return std::vector<fmx::Data>{T("<a@example.test> <e@example.test>"), T("Hi")}; },
       "ERROR: SendMessage: The To Email Address you specified appears to be invalid: <a@example.test> "
       "<e@example.test>",
       {}, ""},
      {"a mailbox in a quoted name is the name's text", std::string(kSender) + "DisableEmailValidation=\"true\"\n",
       [] { return std::vector<fmx::Data>{T("\"Eve e@example.test\" <jane@example.test>"), T("Hi")}; }, kSent,
       {{"rcpt_tos", "jane@example.test"}, {"to", "\"Eve e@example.test\" <jane@example.test>"}},
       "\"Eve e@example.test\" <jane@example.test>"},
  };
  size_t received = 0;
  clsGenProtThread* thread = nullptr;
  for (stcRow const& row : rows) {
    SCOPED_TRACE(row.what);
    Settings(row.prefs);
    EXPECT_EQ(row.result, Call(20, row.parameters()));
    std::vector<std::map<std::string, std::string>> const messages = Received();
    if (row.result == kSent) ++received;
    ASSERT_EQ(received, messages.size());
    for (auto const& [key, value] : row.received) {
      auto const found = messages.back().find(key);
      EXPECT_EQ(value, found == messages.back().end() ? "" : found->second) << key;
    }
    if (row.result == kSent) {
      EXPECT_EQ("0", messages.back().at("defects"));
      EXPECT_EQ(std::string::npos, messages.back().at("headers").find("X-Injected")) << messages.back().at("headers");
    }
    EXPECT_EQ(row.dialogTo, DialogValue("to"));
    // One protocol thread serves every call.
    if (thread == nullptr) thread = m_udtPluginVars->m_udtSMTP.GetThread();
    EXPECT_EQ(thread, m_udtPluginVars->m_udtSMTP.GetThread());
  }
  EXPECT_NE(nullptr, thread);
  // The file written for the container is gone after its send.
  EXPECT_FALSE(Exists("/tmp/Velmora Temp/notes.txt"));
  Settings(kSender);
  ASSERT_EQ(kSent, Call(20, rows[0].parameters()));
  EXPECT_EQ("one\rtwo", DialogValue("body"));
}

TEST_F(SendMessageTest, LoginAndStartTLSAsThePreferencesSpellThem) {
  StartServer("starttls", "{\"mel\": \"secret\"}");
  for (char const* password : {"wrong", "secret"}) {
    SCOPED_TRACE(password);
    Settings(std::string(kSender) + "AuthType=\" login \"\nTLSType=\"afterconnect\"\nUsername=\"mel\"\n");
    ASSERT_TRUE(g_udtPrefs.SetStringPref(UniString("Password"), UniString(password)));
    std::string const result = Call(20, {T("jane@example.test"), T("Hi")});
    std::vector<std::string> const transcript = Transcript();
    EXPECT_TRUE(Has(transcript, "< STARTTLS"));
    EXPECT_TRUE(Has(transcript, "< AUTH LOGIN"));
    if (std::string(password) == "wrong") {
      // The refused login ends that connection; the next call connects afresh.
      EXPECT_EQ("ERROR: SendMessage: Connect: SMTP Server Error: 5.7.8 Authentication credentials invalid", result);
      EXPECT_TRUE(Received().empty());
    } else {
      EXPECT_EQ(kSent, result);
      ASSERT_EQ(1u, Received().size());
      EXPECT_EQ("1", Received()[0].at("auth_count"));
    }
  }
}

TEST_F(SendMessageTest, ARefusedRecipientClosesTheConnectionAndKeepsTheTemporaryFile) {
  StartServer("plain", "{}", "[\"bad@example.test\"]");
  Settings(kSender);
  ASSERT_EQ(kSent, Call(20, {T("jane@example.test"), T("Hi")}));
  ASSERT_EQ("jane@example.test", DialogValue("to"));
  int32_t const updates = g_udtPluginStatus.UpdateCount();

  std::string const result =
      Call(20, {T("bad@example.test"), T("Hi"), T("body"), FileContainer("/data/kept.txt", "kept")});
  EXPECT_EQ("ERROR: SendMessage: SendOneEmail: SMTP Server Error: 5.1.1 Recipient address rejected", result);
  EXPECT_TRUE(Has(Transcript(), "< QUIT"));
  EXPECT_GT(g_udtPluginStatus.UpdateCount(), updates) << "the progress window showed the send";
  EXPECT_FALSE(g_udtPluginStatus.IsOpen());
  stcWindowInfoForTesting info;
  ASSERT_TRUE(WindowsInfoForTesting(g_udtPluginStatus.Window()->GetWindowRef(), &info));
  EXPECT_EQ("Velmora Status", info.m_strTitle);
  EXPECT_FALSE(g_udtPluginStatus.UsingCustomTitle());
  EXPECT_EQ("", DialogValue("to"));
  EXPECT_EQ("kept", Read("/tmp/Velmora Temp/kept.txt"));
  EXPECT_EQ(1u, Received().size());
}

// The message's encoded attachment goes once the data is out, also when the server then refuses
// the message (the next call fills the message afresh and would encode again anyway).
TEST_F(SendMessageTest, AMessageRefusedAfterItsDataLeavesNoEncodedCopy) {
  StartServer("plain", "{}", "[]", "\"size_limit\": 100");
  Settings(kSender);
  WriteFile("/data/big.txt", std::string(4000, 'b'));
  std::string const result = Call(20, {T("jane@example.test"), T("Hi"), T("body"), T("/data/big.txt")});
  EXPECT_EQ("ERROR: SendMessage: SendOneEmail: SMTP Server Error: Error: Too much mail data", result);
  EXPECT_TRUE(std::filesystem::is_directory(Real("/tmp/Tarnix Temp")));
  EXPECT_TRUE(std::filesystem::is_empty(Real("/tmp/Tarnix Temp")));
  EXPECT_TRUE(Received().empty());
}

// The host goes on with its events while a send waits for its thread and while the compose dialog
// runs, and may run another calculation then. Each row makes such a call from inside the first
// call's wait (as the send starts, or halfway through a large message's data, the server holding
// the client there until the call is done) or from the compose dialog: a call that would touch
// the message, the connection or the settings in use is refused at once, GET, Version and
// GetDialogValue still answer, and the first call sends and records exactly its own message.
TEST_F(SendMessageTest, CallsMadeWhileAMessageIsUnderWayLeaveItAlone) {
  std::string const holdStart = "/hold-rset", holdData = "/hold-data";
  StartServer("plain", "{}", "[]",
              "\"hold\": {\"RSET\": " + JsonText(Real(holdStart)) + ", \"DATA\": " + JsonText(Real(holdData)) + "}");
  Settings(kSender);
  std::string const busy = "A message is being sent (or composed in the message dialog); try again when it is done.";
  std::string const noDialog = "ERROR: Configure: Could not Show Configuration Dialog: " + busy;
  std::string const sender = "Sender <sender@example.test>";
  // Far more than the held server's socket and the kernel's buffers take in.
  std::string big, bigReceived;
  for (int i = 0; i < 150000; ++i) {
    std::string const line = "Line " + std::to_string(i) + " " + std::string(60, 'x');
    big += (i > 0 ? "\r" : "") + line;
    bigReceived += line + "\\r\\n";
  }
  clsStockDialogRecorder stock;
  enum enumWhen { kSendStart, kInData, kComposing };
  struct stcRow {
    char const* what;
    enumWhen when;
    std::function<std::string()> call;  // the second call; its result
    std::string result;
  };
  auto sendOther = [this] { return Call(20, {T("bob@example.test"), T("Second"), T("second body")}); };
  std::vector<stcRow> const rows = {
      {"SendMessage as the send starts", kSendStart, sendOther, "ERROR: SendMessage: " + busy},
      {"SendMessage in the middle of the data", kInData, sendOther, "ERROR: SendMessage: " + busy},
      {"SendMessage from the compose dialog", kComposing, sendOther, "ERROR: SendMessage: " + busy},
      {"ShowMessageDialog", kSendStart, [this] { return Call(30, {}); }, "ERROR: ShowMessageDialog: " + busy},
      {"Configure SET", kSendStart, [this] { return CallText(1002, {"SET", "From", "Other <other@example.test>"}); },
       "ERROR: Configure: Could not Set Preference: " + busy},
      {"the configuration dialog", kSendStart, [this] { return CallText(1002, {}); }, noDialog},
      {"the configuration dialog through Version", kSendStart, [this] { return CallText(1000, {"about"}); },
       noDialog},
      {"the host's preference command", kSendStart,
       [&] {
         size_t const before = stock.Shown().size();
         m_udtHost.AppPreferences();
         return stock.Shown().size() > before ? stock.Shown().back().m_strText : std::string("no message");
       },
       "Error Showing Configuration Dialog: " + busy},
      {"Configure GET", kSendStart, [this] { return CallText(1002, {"GET", "From"}); }, sender},
      {"Version", kSendStart, [this] { return CallText(1000, {}); }, "Velmora v.1.1.3"},
      {"GetDialogValue", kSendStart, [this] { return DialogValue("to"); }, ""},
  };
  size_t received = 0;
  for (stcRow const& row : rows) {
    SCOPED_TRACE(row.what);
    std::string const hold = row.when == kInData ? holdData : holdStart;
    if (row.when != kComposing) WriteFile(hold, "");
    std::string second;
    bool made = false;
    // Looks again at each turn of the first call's loop until the send is held where the row says.
    std::function<void()> poll = [&] {
      UniString const text = g_udtPluginStatus.StatusText();
      int32_t const progress = g_udtPluginStatus.Progress();
      bool const ready =
          row.when == kComposing ||
          (g_udtPluginStatus.UsingCustomTitle() &&
           (row.when == kSendStart ? text == UniString("Sending...")
                                   : text == UniString("Sending DATA...") && progress > 0 && progress < 100));
      if (!ready) {
        WindowsQueueCallForTesting(poll);
        return;
      }
      second = row.call();
      made = true;
      if (row.when != kComposing) {
        // The running send's window keeps showing it.
        EXPECT_TRUE(g_udtPluginStatus.IsOpen());
        EXPECT_TRUE(g_udtPluginStatus.UsingCustomTitle());
        std::filesystem::remove(Real(hold));
      }
    };
    std::string const body = row.when == kInData ? big : "first body";
    std::string first;
    if (row.when == kComposing) {
      WindowsQueueClickForTesting(kSimpleDlgTo);
      WindowsQueueTypeForTesting("jane@example.test");
      WindowsQueueCallForTesting(poll);
      WindowsQueueClickForTesting(kSimpleDlgSend);
      first = Call(30, {T(""), T("First"), T(body), fmx::Data(), fmx::Data(), fmx::Data(), fmx::Data(), fmx::Data(),
                        FmxTestHost::NumberData(1)});
    } else {
      WindowsQueueCallForTesting(poll);
      first = Call(20, {T("jane@example.test"), T("First"), T(body)});
    }
    EXPECT_EQ(kSent, first);
    ASSERT_TRUE(made);
    EXPECT_EQ(row.result, second);
    ASSERT_EQ(0u, WindowsQueuedActionCountForTesting());
    std::vector<std::map<std::string, std::string>> const messages = Received();
    ASSERT_EQ(++received, messages.size());
    EXPECT_EQ("jane@example.test", messages.back().at("rcpt_tos"));
    EXPECT_EQ("First", messages.back().at("subject"));
    EXPECT_EQ(sender, messages.back().at("from"));
    EXPECT_EQ(row.when == kInData ? bigReceived : "first body\\r\\n", messages.back().at("part.0.text"));
    EXPECT_EQ("jane@example.test", DialogValue("to"));
    EXPECT_EQ("First", DialogValue("subject"));
    EXPECT_EQ(sender, CallText(1002, {"GET", "From"}));
  }
}

}  // namespace
