// Tests of the outgoing message model: clearing by item names (answers and effects), adding,
// the presence tests with "[[Skip]]", the counts and getters with their preference fallbacks,
// the address splitter and the envelope lists.
#include "mime/clsSMTPEmail.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mime/MimeMessageFixture.h"
#include "plugin/PlaceholderSettings.h"

using mimecheck::Bytes;
using mimecheck::Uni;
using mimecheck::Utf8;
using A = clsSMTPEmailTestAccess;

namespace {

UniStringList Lines(std::vector<std::string> const& lines) {
  UniStringList list;
  for (auto const& line : lines) list.Add(Uni(line));
  return list;
}

std::vector<std::string> Strings(UniStringList const& list) {
  std::vector<std::string> out;
  for (UniString const& line : list) out.push_back(Utf8(line));
  return out;
}

class ModelTest : public clsMimeMessageTest {
 protected:
  // A message with every field and list filled.
  static void Fill(clsSMTPEmail& m) {
    for (auto field : {A::From, A::Subject, A::ReplyTo, A::RecordID, A::TextContentType, A::HTMLContentType,
                       A::TextContentTransferEncoding, A::HTMLContentTransferEncoding}) {
      A::Set(m, field, "x");
    }
    A::SetPriority(m, 1);
    for (auto list : {A::Tos, A::CCs, A::BCCs, A::ExtraHeaders, A::TextBody, A::TextHeader, A::TextFooter, A::HTMLBody,
                      A::HTMLHeader, A::HTMLFooter, A::Attachments, A::HTMLImages}) {
      A::SetList(m, list, {"l"});
    }
  }
};

TEST_F(ModelTest, ClearAllClearsTheNamedItemsAndSaysWhich) {
  using Check = std::function<bool(clsSMTPEmail&)>;
  auto cleared = [](std::vector<A::stcText> fields) {
    return [fields](clsSMTPEmail& m) {
      for (auto field : fields) {
        if (!A::Get(m, field).empty()) return false;
      }
      return true;
    };
  };
  auto gone = [](std::vector<A::stcList> lists) {
    return [lists](clsSMTPEmail& m) {
      for (auto list : lists) {
        if (A::HasList(m, list)) return false;
      }
      return true;
    };
  };
  auto nothing = [](clsSMTPEmail& m) { return A::Get(m, A::Subject) == "x" && A::HasList(m, A::BCCs); };
  struct {
    std::vector<std::string> items;
    char const* answer;
    Check done;
  } const cases[] = {
      {{}, "All.", gone({A::Tos, A::CCs, A::BCCs, A::TextBody, A::HTMLBody, A::Attachments, A::HTMLImages})},
      {{"from", " Cc\t"}, "From; CCs.", [&](clsSMTPEmail& m) { return cleared({A::From})(m) && gone({A::CCs})(m); }},
      {{"reply to", "recid", "html images"}, "Reply-To; Record ID; HTML Images.",
       [&](clsSMTPEmail& m) { return cleared({A::ReplyTo, A::RecordID})(m) && gone({A::HTMLImages})(m); }},
      {{"  "}, "Nothing.", nothing},
      {{" Bogus ", "x"}, "Nothing.  WARNING: Unknown Clear Items Specified: Bogus; x.", nothing},
      {{"TO", "bogus", "tos"}, "Tos; Tos.  WARNING: Unknown Clear Items Specified: bogus.", gone({A::Tos})},
      {{"REPLY-TO", "REPLYTO", "RECORD ID", "BCCS"}, "Reply-To; Reply-To; Record ID; BCCs.", gone({A::BCCs})},
      {{"recipient", "RECIPIENTS"}, "Recipients; Recipients.", gone({A::Tos, A::CCs, A::BCCs})},
      {{"subject", "priority"}, "Subject; Priority.",
       [&](clsSMTPEmail& m) { return cleared({A::Subject})(m) && A::Priority(m) == 3; }},
      {{"text-content-type", "html-content-type", "text-content-transfer-encoding", "html-content-transfer-encoding"},
       "Text-Content-Type; HTML-Content-Type; Text-Content-Transfer-Encoding; HTML-Content-Transfer-Encoding.",
       cleared({A::TextContentType, A::HTMLContentType, A::TextContentTransferEncoding, A::HTMLContentTransferEncoding})},
      {{"extraheaders", "emailheaders", "extra headers", "email headers"},
       "Email Headers; Email Headers; Email Headers; Email Headers.", gone({A::ExtraHeaders})},
      {{"textbody", "text header", "TEXTFOOTER"}, "Text Body; Text Header; Text Footer.",
       gone({A::TextBody, A::TextHeader, A::TextFooter})},
      {{"text-related", "text related"}, "Text-Related; Text-Related.", gone({A::TextBody, A::TextHeader, A::TextFooter})},
      {{"htmlbody", "html header", "htmlfooter"}, "HTML Body; HTML Header; HTML Footer.",
       gone({A::HTMLBody, A::HTMLHeader, A::HTMLFooter})},
      {{"html-related"}, "HTML-Related.", gone({A::HTMLBody, A::HTMLHeader, A::HTMLFooter, A::HTMLImages})},
      {{"attach", "attachments", "HTMLIMAGES"}, "Attachments; Attachments; HTML Images.",
       gone({A::Attachments, A::HTMLImages})},
      {{"reply_to", "text  body"}, "Nothing.  WARNING: Unknown Clear Items Specified: reply_to; text  body.", nothing},
  };
  for (auto const& c : cases) {
    clsSMTPEmail m;
    Fill(m);
    UniStringList items = Lines(c.items);
    EXPECT_EQ(Utf8(m.ClearAll(&items)), c.answer);
    EXPECT_TRUE(c.done(m)) << c.answer;
  }
  // The text part's flag follows what stays of its lists.
  clsSMTPEmail m;
  A::SetList(m, A::TextHeader, {"caf\xC3\xA9"});
  UniStringList body = Lines({"plain"});
  m.AddTextBody(&body);
  EXPECT_FALSE(A::TextNeedsQP(m));
  UniStringList items = Lines({"text body"});
  m.ClearAll(&items);
  EXPECT_TRUE(A::TextNeedsQP(m));
  items = Lines({"text"});
  m.ClearAll(&items);
  EXPECT_FALSE(A::TextNeedsQP(m));
}

TEST_F(ModelTest, AddingTrimsSplitsAndAppends) {
  clsSMTPEmail m;
  m.AddTo(Uni("   "));
  m.AddAttachment(Uni(" \t"));
  EXPECT_FALSE(A::HasList(m, A::Tos));
  EXPECT_FALSE(A::HasList(m, A::Attachments));
  m.AddTo(Uni("  a@b.example "));
  UniStringList tos;
  m.GetTos(&tos);
  EXPECT_EQ(Strings(tos), std::vector<std::string>{"a@b.example"});

  UniStringList first = Lines({"one\r\ntwo", "three"});
  m.AddTextBody(&first);
  UniStringList second = Lines({"caf\xC3\xA9", "", "x\ny"});
  m.AddTextBody(&second);
  UniStringList body;
  m.GetTextBody(&body);
  // A second body starts on a new line.
  EXPECT_EQ(Strings(body), (std::vector<std::string>{"one", "two", "three", "caf\xC3\xA9", "", "x", "y"}));
  EXPECT_TRUE(A::TextNeedsQP(m));
  UniStringList plain = Lines({"plain"});
  m.AddTextBody(&plain);
  EXPECT_FALSE(A::TextNeedsQP(m));
  m.ClearTextBody();
  m.GetTextBody(&body);
  EXPECT_TRUE(body.Count() == 0);

  UniStringList paths = Lines({" /a ", "", "  ", "/b"});
  m.AddAttachments(&paths);
  UniStringList attachments;
  m.GetAttachments(&attachments);
  EXPECT_EQ(Strings(attachments), (std::vector<std::string>{"/a", "/b"}));
  m.ClearAttachments();
  m.GetAttachments(&attachments);
  EXPECT_EQ(attachments.Count(), 0u);

  // A zero unit in an entry: in the display name it goes out as a blank and the file is sent;
  // in the path, which it would cut short to name another file, the message is refused.
  Write("/Users/bob/data/f.bin", "attached");
  std::string const file = "=/Users/bob/data/f.bin";
  struct {
    std::string entry;
    bool asList;
    std::string kept;     // the entry in the attachment list
    char const* refusal;  // empty: sent, with this name
    char const* name;
  } const entries[] = {
      {std::string("\tQ3\0report", 10) + file + " ", false, std::string("Q3\0report", 9) + file, "", "Q3 report"},
      {std::string("\t\x16\0", 3) + file, true, std::string("\x16\0", 2) + file, "", "\x16 "},
      {"x" + file + std::string("\0.txt", 5), false, "x" + file + std::string("\0.txt", 5),
       "Attachment path holds a zero character: /Users/bob/data/f.bin", ""},
  };
  for (auto const& e : entries) {
    SCOPED_TRACE(e.entry);
    clsSMTPEmail message;
    message.AddTo(Uni("a@b.example"));
    UniStringList list;
    list.Add(Uni(e.entry));
    if (e.asList) {
      message.AddAttachments(&list);
    } else {
      message.AddAttachment(Uni(e.entry));
    }
    message.GetAttachments(&attachments);
    ASSERT_EQ(attachments.Count(), 1u);
    EXPECT_TRUE(*attachments.begin() == Uni(e.kept));
    if (*e.refusal != '\0') {
      EXPECT_EQ(Utf8(message.GenerateEmail()), e.refusal);
      continue;
    }
    std::string const wire = Wire(Pull(message));
    EXPECT_NE(wire.find(std::string("filename=\"") + e.name + "\""), std::string::npos) << wire;
  }

  // A null output or an absent list leaves the output as it was.
  clsSMTPEmail empty;
  UniStringList kept = Lines({"kept"});
  empty.GetTos(&kept);
  EXPECT_EQ(Strings(kept), std::vector<std::string>{"kept"});
  m.SetSubject(Uni("  Hello  "));
  EXPECT_EQ(Utf8(m.GetSubject()), "Hello");
}

TEST_F(ModelTest, PresenceCountsAndFallbacks) {
  clsSMTPEmail m;
  // A new message takes the preferences or the defaults.
  EXPECT_EQ(Utf8(m.GetCharSet()), "ISO-8859-1");
  EXPECT_EQ(m.GetPriority(), 3);
  EXPECT_FALSE(m.HaveRecipients());
  EXPECT_EQ(Utf8(m.GetFrom()), g_strPlaceholderFrom);
  EXPECT_TRUE(m.HaveFrom());
  EXPECT_EQ(Bytes(m.GetMailFrom()), "<your.name@example.com>");
  EXPECT_EQ(m.AttachmentCount(), 0);

  SetListPref("Attachments", "/x\r/y");
  SetListPref("HTMLImages", "/i.gif");
  SetListPref("TextFooter", "foot");
  SetStringPref("CharSet", " utf-8");
  SetStringPref("From", " Pref <p@q.example> ");
  SetStringPref("Subject", " Pref subject ");
  SetStringPref("ReplyTo", " r@q.example ");
  ASSERT_TRUE(g_udtPrefs.SetIntegerPref(Uni("Priority"), 5));
  m.AddAttachment(Uni("/z"));
  A::SetList(m, A::HTMLImages, {"/j.gif"});
  EXPECT_EQ(m.AttachmentCount(), 3);
  EXPECT_EQ(m.HTMLImageCount(), 2);
  EXPECT_EQ(Utf8(m.GetCharSet()), " utf-8");
  EXPECT_EQ(Utf8(m.GetFrom()), "Pref <p@q.example>");
  EXPECT_EQ(Utf8(m.GetSubject()), "Pref subject");
  EXPECT_EQ(Utf8(m.GetReplyTo()), " r@q.example ");
  EXPECT_EQ(m.GetPriority(), 5);
  A::SetPriority(m, 2);
  A::Set(m, A::CharSet, " KOI8-R ");
  A::Set(m, A::From, "Me <me@here.example>");
  EXPECT_EQ(m.GetPriority(), 2);
  EXPECT_EQ(Utf8(m.GetCharSet()), "KOI8-R");
  EXPECT_EQ(Bytes(m.GetMailFrom()), "<me@here.example>");

  // "[[Skip]]" (exactly) as the first line of the message's own list switches a section off.
  EXPECT_TRUE(m.HaveTextFooter());
  EXPECT_FALSE(m.HaveTextHeader());
  A::SetList(m, A::TextFooter, {"[[Skip]]", "x"});
  EXPECT_FALSE(m.HaveTextFooter());
  A::SetList(m, A::TextFooter, {"[[skip]]"});
  EXPECT_TRUE(m.HaveTextFooter());
  A::SetList(m, A::TextHeader, {});
  EXPECT_FALSE(m.HaveTextHeader());
  A::SetList(m, A::HTMLHeader, {"h"});
  EXPECT_TRUE(m.HaveHTMLHeader());
  EXPECT_FALSE(m.HaveHTMLFooter());

  // An empty "From" preference means no sender.
  SetStringPref("From", "");
  A::Set(m, A::From, "");
  EXPECT_FALSE(m.HaveFrom());
  EXPECT_EQ(Bytes(m.GetMailFrom()), "");
}

TEST_F(ModelTest, SplittingAddressesAndTheEnvelope) {
  struct {
    char const* text;
    char const *name, *address, *rest;
  } const cases[] = {
      {" John Doe <jd@x.example> ", "John Doe", "<jd@x.example>", ""},
      {"<jd@x.example> (work)", "", "<jd@x.example>", "(work)"},
      {"jd@x.example", "", "jd@x.example", ""},
      {"", "", "", ""},
      {"Name <a@b> trailing <c>", "Name", "<a@b>", "trailing <c>"},
      {"Name <unclosed", "Name", "<unclosed", ""},
      {"x> y", "", "x>", "y"},
      // Brackets in quoted strings and comments (nested, with escapes) belong to the name.
      {"\"Bob <evil@x.test>\" <a@b.test>", "\"Bob <evil@x.test>\"", "<a@b.test>", ""},
      {"\"a \\\" <b@x.test> \\\\\"<c@d.test>", "\"a \\\" <b@x.test> \\\\\"", "<c@d.test>", ""},
      {"(Bob (x) <e@x.test> \\) <f@x.test>) <a@b.test> (c>d) x", "(Bob (x) <e@x.test> \\) <f@x.test>)", "<a@b.test>",
       "(c>d) x"},
      {"(\"<e@x.test>) <a@b.test>", "(\"<e@x.test>)", "<a@b.test>", ""},
      {"<\"a>b\"@c.test> rest", "", "<\"a>b\"@c.test>", "rest"},
      {"\"john smith\"@b.test", "", "\"john smith\"@b.test", ""},
      {"\"unclosed <a@b.test>", "", "\"unclosed <a@b.test>", ""},
      // Two-byte ISO-2022-JP characters hold no specials, whatever their bytes.
      {"\"\x1B$B\"(<7\x1B(B\" <a@b.test>", "\"\x1B$B\"(<7\x1B(B\"", "<a@b.test>", ""},
  };
  for (auto const& c : cases) {
    AnsiString name("n"), address("a"), rest("r");
    clsSMTPEmail::SplitEmailAddress(c.text, &name, &address, &rest);
    EXPECT_EQ(Bytes(name), c.name) << c.text;
    EXPECT_EQ(Bytes(address), c.address) << c.text;
    EXPECT_EQ(Bytes(rest), c.rest) << c.text;
    clsSMTPEmail::SplitEmailAddress(c.text, nullptr, nullptr, nullptr);
  }

  clsSMTPEmail m;
  m.AddTo(Uni("To One <t1@x.example>"));
  m.AddTo(Uni("t2@x.example"));
  A::SetList(m, A::CCs, {"C\xC3\xA9 <c@x.example>"});
  A::SetList(m, A::BCCs, {"<b@x.example> (hidden)"});
  TStringList out;
  out.Add("old");
  m.GetRecipients(&out);
  EXPECT_EQ(Bytes(out.Text("|")), "<t1@x.example>|t2@x.example|<c@x.example>|<b@x.example>");
}

}  // namespace
