// Tests of the outgoing message model: clearing by item names (answers and effects).
#include "mime/clsSMTPEmail.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string Utf8(UniString const& s) {
  AnsiString a = s.GetAnsiString(1);
  return std::string(a.c_str(), size_t(a.Length()));
}

UniStringList Lines(std::vector<char const*> const& lines) {
  UniStringList list;
  for (char const* line : lines) list.Add(UniString(line));
  return list;
}

TEST(clsSMTPEmailTest, ClearAllAnswersNameWhatWasCleared) {
  struct {
    std::vector<char const*> items;
    char const* answer;
  } const cases[] = {
      {{}, "All."},
      {{"from", " Cc\t"}, "From; CCs."},
      {{"reply to", "recid", "html images"}, "Reply-To; Record ID; HTML Images."},
      {{"  "}, "Nothing."},
      {{"bogus"}, "Nothing.  WARNING: Unknown Clear Items Specified: bogus."},
      {{" Bogus ", "TO", "x", "to"}, "Tos; Tos.  WARNING: Unknown Clear Items Specified: Bogus; x."},
      {{"REPLY-TO", "REPLYTO", "RECORD ID", "RECORDID", "TOS", "CCS", "BCC", "BCCS", "RECIPIENT",
        "RECIPIENTS"},
       "Reply-To; Reply-To; Record ID; Record ID; Tos; CCs; BCCs; BCCs; Recipients; Recipients."},
      {{"subject", "priority", "text-content-type", "html-content-type",
        "text-content-transfer-encoding", "html-content-transfer-encoding"},
       "Subject; Priority; Text-Content-Type; HTML-Content-Type; Text-Content-Transfer-Encoding; "
       "HTML-Content-Transfer-Encoding."},
      {{"extraheaders", "emailheaders", "extra headers", "email headers"},
       "Email Headers; Email Headers; Email Headers; Email Headers."},
      {{"textbody", "text header", "TEXTFOOTER", "text", "text-related", "text related"},
       "Text Body; Text Header; Text Footer; Text-Related; Text-Related; Text-Related."},
      {{"htmlbody", "html header", "htmlfooter", "html", "html-related", "HTML RELATED"},
       "HTML Body; HTML Header; HTML Footer; HTML-Related; HTML-Related; HTML-Related."},
      {{"attach", "attachments", "htmlimages"}, "Attachments; Attachments; HTML Images."},
      {{"reply_to", "text  body"},
       "Nothing.  WARNING: Unknown Clear Items Specified: reply_to; text  body."},
  };
  clsSMTPEmail message;
  for (auto const& c : cases) {
    UniStringList items = Lines(c.items);
    EXPECT_EQ(Utf8(message.ClearAll(&items)), c.answer);
  }
  EXPECT_EQ(Utf8(message.ClearAll(nullptr)), "All.");
}

}  // namespace
