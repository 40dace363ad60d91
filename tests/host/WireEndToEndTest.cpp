// End-to-end test of what reaches the server: velmora-host sends, with SendMessage, a message
// whose every line is at a limit to aiosmtpd on 127.0.0.1 (tools/peer/smtp_server.py, saving
// each message as it arrived), and Python's email (tools/mimecheck) reads the saved message.
// The subject is one pure-ASCII line of over 1,200 bytes, an extra header's name begins with
// ".", the body holds boundary lines of the message's own form (in the text and in a merged
// field), a signature separator, stuffed flowed lines and a long paragraph, the footer comes
// from the "TextFooter" preference, and a file is attached. The send must succeed, every line
// be within 998 bytes (quoted-printable ones within 76), Python must note no defect, and the
// part tree, the texts, the subject and the headers must be what was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "mime/MimeCheck.h"
#include "tests/host/VelmoraHostRun.h"
#include "tests/smtp/SMTPTesting.h"
#include "tests/smtp/ScriptedPeer.h"

namespace {

class WireEndToEndTest : public VelmoraHostRunTest {
 protected:
  static std::string Set(std::string const& name, std::string const& value) {
    return "Velmora_Configure( \"Set\" ; \"" + name + "\" ; \"" + value + "\" )";
  }
};

char const kPilcrow[] = "\xC2\xB6";

std::string Lines(std::vector<std::string> const& lines, std::string const& separator) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? separator : "") + lines[i];
  return out;
}

TEST_F(WireEndToEndTest, EveryLineKeepsItsLimitAndThePartsAreAsGiven) {
  std::string const save = m_strDir + "/saved";
  std::filesystem::create_directories(save);
  ScriptedPeer server("{\"mode\": \"plain\", \"save\": " + JsonText(save) + "}", 60, "tools/peer/smtp_server.py");
  ASSERT_GT(server.Port(), 0) << server.Errors();

  std::string subject;
  for (int i = 0; subject.size() < 1209; ++i) subject += "subject" + std::to_string(i) + " ";
  subject += "end";
  std::string paragraph;
  for (int i = 0; i < 300; ++i) paragraph += "word" + std::to_string(i) + " ";
  paragraph += "end";
  std::string const boundary = "--= Multipart Mixed Boundary [[TarnixUniqueID]]";
  std::vector<std::string> const body = {"Hello,", boundary, "Content-Type: text/plain", "", "<<Inject>>",
                                         "  indented", "From here", "> quoted", paragraph};
  std::vector<std::string> const footer = {"-- ", "The team"};
  std::vector<std::string> const injected = {boundary + "--", "after the field"};
  std::ofstream(m_strDir + "/report.pdf") << "%PDF-1.4 report";

  std::vector<std::string> const args = {
      "--field", "Inject=" + Lines(injected, "\r"),
      Set("Host", "127.0.0.1"), Set("Port", std::to_string(server.Port())), Set("From", "Carol <carol@example.test>"),
      Set("Timeout", "10"), Set("EmailHeaders", std::string(".Dotted=d") + kPilcrow + "X-Long=" + paragraph),
      Set("TextFooter", Lines(footer, kPilcrow)),
      "Velmora_SendMessage( \"dave@example.test\" ; \"" + subject + "\" ; \"" + Lines(body, kPilcrow) + "\" ; \"" +
          m_strDir + "/report.pdf\" )"};
  stcHostRun const run = Run(args);
  EXPECT_EQ(0, run.m_intExit) << run.m_strOut << run.m_strErr;
  EXPECT_NE(std::string::npos, run.m_strOut.find("Email Sent Successfully.")) << run.m_strOut;

  std::string const raw = ReadHostRunFile(save + "/1.eml");
  ASSERT_FALSE(raw.empty());
  size_t longest = 0;
  for (size_t start = 0, end; start < raw.size(); start = end + 2) {
    end = raw.find("\r\n", start);
    if (end == std::string::npos) end = raw.size();
    longest = std::max(longest, end - start);
  }
  EXPECT_LE(longest, 998u);

  mimecheck::stcRows const rows = mimecheck::Run("message", raw);
  EXPECT_EQ(rows.Get("defects"), "");
  EXPECT_EQ(rows.Get("0.h.subject"), subject);
  EXPECT_EQ(rows.Get("0.h..dotted"), "d");
  EXPECT_EQ(rows.Get("0.h.x-long"), paragraph);
  EXPECT_EQ(rows.Get("0.type") + "," + rows.Get("1.type") + "," + rows.Get("2.type") + "," + rows.Get("3.type"),
            "multipart/mixed,text/plain,application/octet-stream,<missing 3.type>");
  EXPECT_EQ(rows.Get("1.h.content-transfer-encoding"), "quoted-printable");
  EXPECT_LE(std::stoi(rows.Get("1.rawlongest")), 76);
  std::vector<std::string> text = body;
  text[4] = Lines(injected, "\n");
  text.insert(text.end(), footer.begin(), footer.end());
  EXPECT_EQ(rows.Get("1.unflowed"), Lines(text, "\n"));
  EXPECT_EQ(rows.Get("2.filename"), "report.pdf");
  EXPECT_EQ(rows.Get("2.hex"), mimecheck::Hex("%PDF-1.4 report"));
}

}  // namespace
