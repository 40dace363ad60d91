// EmailFunctionsFixture: the plug-in started in the host model (PluginFrameFixture) with an
// aiosmtpd server on 127.0.0.1 (tools/peer/smtp_server.py) to send to; the preferences point at
// it with a 5-second time-out, and the SMTP controller gives up on its thread after 10 seconds
// instead of 60. Calls go through the host's function table as a calculation would make them;
// what the server received is read back through Python's email (ReadReceivedMessages).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plugin/clsPrefs.h"
#include "plugin/frame/clsPluginVars.h"
#include "plugin/frame/clsSendValues.h"
#include "tests/plugin/PluginFrameFixture.h"
#include "tests/smtp/SMTPTesting.h"
#include "tests/smtp/ScriptedPeer.h"

class EmailFunctionsFixture : public PluginFrameFixture {
 protected:
  static constexpr char const* kSender = "From=\"Sender <sender@example.test>\"\n";

  void SetUp() override {
    PluginFrameFixture::SetUp();
    ASSERT_TRUE(Start());
    m_udtPluginVars->m_udtSMTP.*ControllerWait::Seconds() = 5;
  }

  // Starts the server: mode "plain", "starttls" or "tls", the users it knows ({"name": "password"}
  // in JSON), the recipients it refuses (a JSON list) and further settings ("\"key\": value"
  // pairs).
  void StartServer(std::string const& mode = "plain", std::string const& users = "{}",
                   std::string const& refuse = "[]", std::string const& more = "") {
    TestCertificate const& cert = MakeTestCertificate();
    ASSERT_FALSE(cert.m_strCert.empty());
    std::string const config = "{\"mode\": " + JsonText(mode) + ", \"cert\": " + JsonText(cert.m_strCert) +
                               ", \"key\": " + JsonText(cert.m_strKey) + ", \"out\": " + JsonText(Real("/received")) +
                               ", \"users\": " + users + ", \"refuse\": " + refuse +
                               (more.empty() ? "" : ", " + more) + "}";
    m_pudtServer = std::make_unique<ScriptedPeer>(config, 30, "tools/peer/smtp_server.py");
    ASSERT_GT(m_pudtServer->Port(), 0) << m_pudtServer->Errors();
  }

  // The preferences: the entries given (kSender for a sender), then the server and a 5-second
  // time-out (an entry given first wins).
  void Settings(std::string const& entries) {
    int const port = m_pudtServer ? m_pudtServer->Port() : 25;
    WritePrefs(entries + "Host=\"127.0.0.1\"\nPort=" + std::to_string(port) + "\nTimeout=5\n");
    g_udtPrefs.LoadPrefs();
  }

  std::string Call(fmx::int16 id, std::vector<fmx::Data> const& parameters) {
    fmx::Data result;
    EXPECT_EQ(0, m_udtHost.CallFunctionWith(id, parameters, result));
    return FmxTestHost::TextOf(result);
  }
  static fmx::Data T(std::string const& text) { return FmxTestHost::TextData(text); }
  std::string DialogValue(std::string const& which) { return Call(10, {T(which)}); }

  // Each message the server accepted so far.
  std::vector<std::map<std::string, std::string>> Received() { return ReadReceivedMessages(Real("/received")); }

  std::vector<std::string> Transcript() {
    TStringList lines;
    m_udtPluginVars->m_udtSMTP.CopyTranscript(&lines);
    std::vector<std::string> out;
    for (int i = 0; i < lines.Count(); ++i) out.emplace_back(lines.Strings[unsigned(i)].c_str());
    return out;
  }

  // A container holding the file at the root path as the host makes it when the file is inserted.
  fmx::Data FileContainer(std::string const& path, std::string const& bytes) {
    WriteFile(path, bytes);
    fmx::Data value;
    std::string error;
    EXPECT_TRUE(FmxTestHost::FileContainerData(Real(path), &value, &error)) << error;
    return value;
  }

  // The controller's wait for its thread, in seconds (it gives up after twice that).
  struct ControllerWait : clsSMTPProt {
    static int clsGenProt::*Seconds() { return &ControllerWait::m_intTimeout; }
  };

  std::unique_ptr<ScriptedPeer> m_pudtServer;
};
