// Tests of the header block with the clock, the zone and rand pinned: the exact lines in order,
// the date in zones with minutes, the unique ID and Message-ID, and CR, LF and NUL in every
// header source read back by Python's email.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mime/MimeMessageFixture.h"
#include "tests/support/ScopedTZ.h"

using mimecheck::Bytes;
using mimecheck::Uni;
using A = clsSMTPEmailTestAccess;

namespace {

// 2026-12-08 09:06:17 UTC, a Tuesday.
constexpr CFAbsoluteTime kTuesday = 818413577.0;

class HeaderBlockTest : public clsMimeMessageTest {};

TEST_F(HeaderBlockTest, LinesComeInOrderWithTheirFallbacksAndMerges) {
  ScopedTZ zone("UTC");
  CFAbsoluteTimeSetCurrentForTesting(kTuesday);
  SetListPref("EmailHeaders",
              "X-Mailer=pref mailer\rX-Custom=pref\rx-custom=dup\rReply-To=evil\rText-Content-Type=text/plain");
  clsSMTPEmail m;
  m.AddTo(Uni("One <one@x.example>"));
  m.AddTo(Uni("two@x.example"));
  m.AddTo(Uni("Thr\xC3\xA9" "e <three@x.example> (home)"));
  A::SetList(m, A::CCs, {"  ", "cc@x.example"});
  A::SetList(m, A::BCCs, {"hidden@x.example"});
  A::Set(m, A::From, "Sender Name <s@x.example>");
  A::Set(m, A::ReplyTo, "reply@x.example");
  A::Set(m, A::RecordID, "REC7");
  A::SetPriority(m, 1);
  m.SetSubject(Uni("Caf\xC3\xA9 au lait"));
  A::SetList(m, A::ExtraHeaders,
             {"X-Mailer=Mine 1.0", "Mime-Version=1.0", "  X-Spaced  =  value  ", "X-Empty=", "=novalue", "NoEquals",
              "content-type=text/evil", "REPLY-to=x", ".Dotted=d"});
  m.SetLocalHost("mail.example");
  std::vector<std::string> const lines = Pull(m);
  std::string const id = A::UniqueID(m);
  EXPECT_EQ(id, "20261208090617.1804289383");
  std::vector<std::string> const expected = {
      "Message-ID: <" + id + ".REC7@mail.example>",
      "X-Mailer: Mine 1.0",
      "X-Priority: 1 (Highest)",
      "Mime-Version: 1.0",
      "Date: Tue, 08 Dec 2026 09:06:17 +0000",
      "To: One <one@x.example>,\r\n    two@x.example,\r\n    =?ISO-8859-1?B?VGhy6WU=?= <three@x.example> (home)",
      "CC: cc@x.example",
      "From: Sender Name <s@x.example>",
      "Reply-To: reply@x.example",
      "Subject: =?ISO-8859-1?B?Q2Fm6SBhdSBsYWl0?=",
      "Mime-Version: 1.0",
      "X-Spaced: value",
      "..Dotted: d",  // dot-stuffed: the server takes the first dot away
      "X-Custom: pref",
  };
  EXPECT_EQ(lines, expected);

  // Priorities and the missing recipients; a second message gets a new ID.
  struct {
    int32_t priority;
    char const* line;  // "" for none
  } const priorities[] = {{2, "X-Priority: 2 (High)"}, {3, ""}, {4, "X-Priority: 4 (Low)"},
                          {5, "X-Priority: 5 (Lowest)"}, {0, ""}, {6, ""}, {-1, ""}};
  for (auto const& p : priorities) {
    clsSMTPEmail other;
    A::SetPriority(other, p.priority);
    std::vector<std::string> const got = Pull(other);
    ASSERT_GE(got.size(), 4u);
    size_t priorityLines = 0;
    for (auto const& line : got) priorityLines += line.rfind("X-Priority: ", 0) == 0;
    EXPECT_EQ(priorityLines, p.line[0] ? 1u : 0u) << p.priority;
    if (p.line[0]) {
      EXPECT_EQ(got[2], p.line);
    }
    EXPECT_NE(std::find(got.begin(), got.end(), "To: undisclosed-recipients:;"), got.end());
    EXPECT_EQ(got[0].substr(got[0].size() - 2), "@>");
  }
  std::vector<std::string> const again = Pull(m);
  EXPECT_NE(again[0], lines[0]);
  EXPECT_NE(A::UniqueID(m), id);
}

TEST_F(HeaderBlockTest, DatesCarryTheZoneOfTheCurrentMomentWithItsMinutes) {
  struct {
    char const* zone;
    CFAbsoluteTime now;
    char const* date;
  } const cases[] = {
      {"UTC", kTuesday, "Tue, 08 Dec 2026 09:06:17 +0000"},
      {"Europe/Paris", kTuesday - 3600, "Tue, 08 Dec 2026 09:06:17 +0100"},
      {"Asia/Kolkata", kTuesday, "Tue, 08 Dec 2026 14:36:17 +0530"},
      {"America/St_Johns", kTuesday, "Tue, 08 Dec 2026 05:36:17 -0330"},
      {"America/St_Johns", kTuesday + 86400 * 12 + 3 * 3600, "Sun, 20 Dec 2026 08:36:17 -0330"},
  };
  clsSMTPEmail m;
  for (auto const& c : cases) {
    ScopedTZ zone(c.zone);
    CFAbsoluteTimeSetCurrentForTesting(c.now);
    clsDateTime now;
    now.SetToNow();
    std::string const date = Bytes(m.MakeRFC822Date(now));
    EXPECT_EQ(date, c.date) << c.zone;
    EXPECT_EQ(date.size(), 31u);
  }
}

// Display names and subjects read back by Python's email as they were given: a name that goes
// out as encoded words carries no quote marks of its own, and ASCII shaped like an encoded word
// is encoded itself so the reader shows it literally; a comment after an address keeps its
// parentheses, its text in words inside them.
TEST_F(HeaderBlockTest, PythonReadsBackTheNamesAndSubjectsGiven) {
  struct stcCase {
    char const* charset;
    char const* to;       // also the sender
    char const* subject;
    char const* readTo;   // Python's text of To and From
    // The To line's RFC 2047 words decoded by Python, where the comment's text shows (the
    // parsed address leaves comments out); none when null.
    char const* readWords = nullptr;
  } const cases[] = {
      {"ISO-8859-1", "\"J\xC3\xB6rg M\xC3\xBCller\" <a@example.test>", "Plain", "J\xC3\xB6rg M\xC3\xBCller <a@example.test>"},
      {"UTF-8", "\"J\xC3\xB6rg M\xC3\xBCller\" <a@example.test>", "Plain", "J\xC3\xB6rg M\xC3\xBCller <a@example.test>"},
      {"ISO-8859-15", "\"M\xC3\xBCller, J\xC3\xB6rg\" <a@example.test>", "Plain",
       "\"M\xC3\xBCller, J\xC3\xB6rg\" <a@example.test>"},
      {"UTF-8", "\"J\\\"\xC3\xB6\\\"rg\" <a@example.test> (home)", "Plain",
       "\"J\\\"\xC3\xB6\\\"rg\" <a@example.test>"},
      {"WINDOWS-1251", "\"\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\" <a@example.test>", "Plain",
       "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD <a@example.test>"},
      {"ISO-2022-JP", "\"\xE5\xB1\xB1\xE7\x94\xB0 \xE3\x82\xBD\" <a@example.test>", "Plain",
       "\xE5\xB1\xB1\xE7\x94\xB0 \xE3\x82\xBD <a@example.test>"},
      {"ISO-8859-1", "\"Smith, Bob\" <a@example.test>", "=?utf-8?q?=0D=0AX-Injected:_1?=",
       "\"Smith, Bob\" <a@example.test>"},
      {"UTF-8", "Bob <a@example.test>", "Price =?utf-8?b?MTAwIOKCrA==?= today", "Bob <a@example.test>"},
      {"ISO-2022-JP", "Bob <a@example.test>", "=?ISO-2022-JP?B?GyRCJDMbKEI=?=", "Bob <a@example.test>"},
      {"UTF-8", "\"=?utf-8?q?Eve?=\" <a@example.test>", "Plain", "=?utf-8?q?Eve?= <a@example.test>"},
      // A comment keeps its parentheses; its text goes out as words inside them.
      {"ISO-8859-1", "<a@example.test> (J\xC3\xB6rg M\xC3\xBCller)", "Plain", "a@example.test",
       "<a@example.test> (J\xC3\xB6rg M\xC3\xBCller)"},
      {"UTF-8", "<a@example.test> (J\xC3\xB6rg (der Chef) \\(M\xC3\xBCller\\)) (2)", "Plain", "a@example.test",
       "<a@example.test> (J\xC3\xB6rg (der Chef) (M\xC3\xBCller)) (2)"},
      {"ISO-8859-15", "Bob <a@example.test> (J\xC3\xB6rg \"Jo\" \xE2\x82\xAC)", "Plain", "Bob <a@example.test>",
       "Bob <a@example.test> (J\xC3\xB6rg \"Jo\" \xE2\x82\xAC)"},
      {"UTF-8", "<a@example.test> (=?utf-8?q?Eve?= at home)", "Plain", "a@example.test",
       "<a@example.test> (=?utf-8?q?Eve?= at home)"},
      {"WINDOWS-1251", "<a@example.test> (\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD)", "Plain", "a@example.test",
       "<a@example.test> (\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD)"},
      {"ISO-2022-JP",
       "<a@example.test> (\xE5\xB1\xB1\xE7\x94\xB0 \xE3\x82\xBD\xE5\xB1\xB1\xE7\x94\xB0\xE5\xB1\xB1\xE7\x94\xB0\xE5\xB1\xB1\xE7\x94\xB0"
       "\xE5\xB1\xB1\xE7\x94\xB0\xE5\xB1\xB1\xE7\x94\xB0\xE5\xB1\xB1\xE7\x94\xB0)",
       "Plain", "a@example.test",
       "<a@example.test> (\xE5\xB1\xB1\xE7\x94\xB0 \xE3\x82\xBD\xE5\xB1\xB1\xE7\x94\xB0\xE5\xB1\xB1\xE7\x94\xB0\xE5\xB1\xB1\xE7\x94\xB0"
       "\xE5\xB1\xB1\xE7\x94\xB0\xE5\xB1\xB1\xE7\x94\xB0\xE5\xB1\xB1\xE7\x94\xB0)"},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(std::string(c.charset) + " " + c.to + " " + c.subject);
    clsSMTPEmail m;
    A::Set(m, A::CharSet, c.charset);
    m.AddTo(Uni(c.to));
    A::Set(m, A::From, c.to);
    m.SetSubject(Uni(c.subject));
    m.SetLocalHost("mail.example");
    std::vector<std::string> const lines = Pull(m);
    mimecheck::stcRows const rows = mimecheck::RunMessages({Wire(lines)})[0];
    if (c.readWords != nullptr) {
      std::string to;
      for (auto const& line : lines) {
        if (line.rfind("To: ", 0) == 0) to = line.substr(4);
      }
      for (size_t p = to.find("\r\n"); p != std::string::npos; p = to.find("\r\n", p)) to.erase(p, 2);
      EXPECT_EQ(mimecheck::RunRecords("words", {to}), std::vector<std::string>{c.readWords}) << to;
    }
    EXPECT_EQ(rows.Get("0.h.to"), c.readTo);
    EXPECT_EQ(rows.Get("0.h.from"), c.readTo);
    EXPECT_EQ(rows.Get("0.h.subject"), c.subject);
    EXPECT_EQ(rows.Get("defects"), "");
  }
}

TEST_F(HeaderBlockTest, LineEndsAndNulsInHeaderSourcesNeverMakeHeaders) {
  ScopedTZ zone("UTC");
  clsSMTPEmail m;
  std::string const evil = "\r\nBcc: victim@x.example\r\n";
  std::string const nul(1, '\0');
  m.AddTo(Uni("Name" + evil + "Tail <to@x.example> (c" + evil + ")"));
  m.AddTo(Uni("bare@x.example" + evil + "X-To: 1"));
  A::SetList(m, A::CCs, {"cc" + nul + "@x.example\nX-CC: 1"});
  m.SetSubject(Uni("Subject" + evil + "X-Subject: 1"));
  A::Set(m, A::From, "From\rX-From: 1 <f@x.example>");
  A::Set(m, A::ReplyTo, "r@x.example\nX-Reply: 1");
  A::Set(m, A::RecordID, "id\r\nX-Record: 1");
  m.SetDefaultXMailer(Uni("Mailer\nX-Mailer-Line: 1"));
  A::SetList(m, A::ExtraHeaders,
             {"X-Extra=value" + evil + "X-Injected: 1", "X-Bad\r\nName=v", "X Spaced=v", "X:Colon=v", "X-\xC3\xA9=v",
              "X-Good=caf\xC3\xA9\r\nX-Q: 1"});
  m.SetLocalHost(AnsiString("host\r\nX-Host: 1"));
  std::vector<std::string> const lines = Pull(m);
  for (auto const& line : lines) {
    for (size_t p = line.find("\r\n"); p != std::string::npos; p = line.find("\r\n", p + 2)) {
      EXPECT_EQ(line[p + 2], ' ') << line;
    }
    EXPECT_EQ(line.find('\0'), std::string::npos) << line;
    std::string const bare = line;
    size_t crs = 0, lfs = 0, folds = 0;
    for (size_t i = 0; i < bare.size(); ++i) {
      crs += bare[i] == '\r';
      lfs += bare[i] == '\n';
      folds += bare.compare(i, 3, "\r\n ") == 0;
    }
    EXPECT_EQ(crs, folds) << line;
    EXPECT_EQ(lfs, folds) << line;
  }
  mimecheck::stcRows const rows = mimecheck::RunMessages({Wire(lines)})[0];
  std::set<std::string> names;
  for (auto const& row : rows.rows) {
    if (row.first.rfind("0.h.", 0) == 0) names.insert(row.first.substr(4));
  }
  std::set<std::string> const intended = {"message-id", "x-mailer", "mime-version", "date",    "to",
                                          "cc",         "from",     "reply-to",     "subject", "x-extra",
                                          "x-good"};
  EXPECT_EQ(names, intended);
  EXPECT_EQ(rows.Get("0.h.subject"), "Subject  Bcc: victim@x.example  X-Subject: 1");
  EXPECT_EQ(rows.Get("0.h.x-good"), "caf\xC3\xA9  X-Q: 1");
}

}  // namespace
