// Tests of the message writer: every MIME structure pulled line by line up to ".", dot-unstuffed
// and parsed by Python's email (tree, types, texts, attachment bytes, names, Content-IDs against
// the cid URLs, subject, defects); the exact lines of one nested structure; IDs and the end line;
// the status by state; the error lines with their guarded pops and the writer error; a missing
// file refused by GenerateEmail; a read failure in the middle of an attachment.
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mime/MimeMessageFixture.h"
#include "platform/carbon/FilesTesting.h"

using mimecheck::Bytes;
using mimecheck::Hex;
using mimecheck::Uni;
using mimecheck::Utf8;
using A = clsSMTPEmailTestAccess;

namespace {

std::string Join(std::vector<std::string> const& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
  return out;
}


class WriterTest : public clsMimeMessageTest {
 protected:
  void SetUp() override {
    clsMimeMessageTest::SetUp();
    for (int i = 0; i < 256; ++i) m_strBinary += char(i);
    Write("/Users/bob/data/a.bin", m_strBinary);
    Write("/Users/bob/data/b.pdf", std::string(100, 'b'));
    Write("/Users/bob/data/logo.gif", "GIF89a-logo");
    Write("/Users/bob/data/bg.png", "PNG-background");
    Write("/Users/bob/data/notes.txt", "notes");
  }
  std::string m_strBinary;
};

struct stcStructure {
  char const* name;
  std::vector<std::string> text, html, attachments, images;
  std::string types;  // the parts in walk order
  char const* charset = "UTF-8";
  std::vector<std::string> textHeader = {}, textFooter = {}, htmlHeader = {}, htmlFooter = {};
  std::string subject = "";  // "" for the default, a non-ASCII one naming the case
  std::vector<std::string> extraHeaders = {};
};

std::vector<std::string> Concat(std::vector<std::string> a, std::vector<std::string> const& b,
                                std::vector<std::string> const& c) {
  a.insert(a.begin(), b.begin(), b.end());
  a.insert(a.end(), c.begin(), c.end());
  return a;
}

TEST_F(WriterTest, EveryStructureReadsBackAsWritten) {
  std::vector<std::string> const text = {"Hello there,", "", "caf\xC3\xA9 au lait", ".a dotted line", "-- ", "Me"};
  std::vector<std::string> const html = {"<html><body>", "<p>Caf\xC3\xA9 <img src=\"images/Logo.GIF\"></p>",
                                         "<td background='bg.png'>x</td>", ".dot", "</body></html>"};
  std::vector<std::string> const htmlNoImages = {"<p>Hi</p>"};
  std::vector<std::string> const injected = {"--= Multipart Mixed Boundary [[TarnixUniqueID]]",
                                             "Content-Type: text/plain", "",
                                             "injected",
                                             "--= Multipart Alternative Boundary [[TarnixUniqueID]]--",
                                             "--= Multipart Related Boundary [[TarnixUniqueID]]"};
  std::vector<std::string> const htmlInjected = {"<p>x</p>", "--= Multipart Mixed Boundary [[TarnixUniqueID]]",
                                                 "--= Multipart Alternative Boundary [[TarnixUniqueID]]"};
  std::string longSubject;
  for (int i = 0; i < 150; ++i) longSubject += "subject" + std::to_string(i % 10) + " ";
  longSubject += "end";
  std::string paragraph;
  for (int i = 0; i < 400; ++i) paragraph += "word" + std::to_string(i) + (i % 7 ? " " : "  ");
  paragraph += "end";
  static char const* const kCharsets[] = {"UTF-8", "ISO-8859-1", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4",
                                          "ISO-8859-5", "ISO-8859-6", "ISO-8859-9", "ISO-8859-15", "WINDOWS-1250",
                                          "WINDOWS-1251", "WINDOWS-1252", "WINDOWS-1253", "WINDOWS-1254",
                                          "WINDOWS-1255", "WINDOWS-1256", "WINDOWS-1257", "BIG5", "GB2312",
                                          "ISO-2022-JP", "KOI8-R", "KS_C_5601-1987"};
  stcStructure const cases[] = {
      {"text only", text, {}, {}, {}, "text/plain"},
      {"html only", {}, htmlNoImages, {}, {}, "text/html"},
      {"one attachment", {}, {}, {"~/data/a.bin"}, {}, "application/octet-stream"},
      {"nothing", {}, {}, {}, {}, "text/plain"},
      {"text and html", text, htmlNoImages, {}, {}, "multipart/alternative,text/plain,text/html"},
      {"html and images", {}, html, {}, {"~/data/logo.gif", "~/data/bg.png"}, "multipart/related,text/html,image/gif,image/png"},
      {"text, html and images", text, html, {}, {"~/data/logo.gif", "~/data/bg.png"},
       "multipart/related,multipart/alternative,text/plain,text/html,image/gif,image/png"},
      {"text and attachments", text, {}, {"~/data/a.bin", "Report 2=~/data/b.pdf"}, {},
       "multipart/mixed,text/plain,application/octet-stream,application/octet-stream"},
      {"html and attachment", {}, htmlNoImages, {"~/data/a.bin"}, {}, "multipart/mixed,text/html,application/octet-stream"},
      {"text, html and attachment", text, htmlNoImages, {"~/data/a.bin"}, {},
       "multipart/mixed,multipart/alternative,text/plain,text/html,application/octet-stream"},
      {"everything", text, html, {"~/data/a.bin", "~/data/b.pdf"}, {"~/data/logo.gif", "~/data/bg.png"},
       "multipart/mixed,multipart/related,multipart/alternative,text/plain,text/html,image/gif,image/png,"
       "application/octet-stream,application/octet-stream"},
      {"two attachments only", {}, {}, {"~/data/a.bin", "~/data/b.pdf"}, {},
       "multipart/mixed,application/octet-stream,application/octet-stream"},
      // Inline images without an HTML body: the text part stands in its place.
      {"text and images", text, {}, {}, {"~/data/logo.gif"}, "multipart/related,text/plain,image/gif"},
      {"text, images and attachment", text, {}, {"~/data/a.bin"}, {"~/data/logo.gif"},
       "multipart/mixed,multipart/related,text/plain,image/gif,application/octet-stream"},
      {"images only", {}, {}, {}, {"~/data/logo.gif"}, "multipart/related,image/gif"},
      {"one attachment and an image", {}, {}, {"~/data/a.bin"}, {"~/data/logo.gif"},
       "multipart/mixed,multipart/related,image/gif,application/octet-stream"},
      // An inline part that is no picture still has its headers and its Content-ID.
      {"html and an inline text file", {}, html, {}, {"~/data/logo.gif", "~/data/bg.png", "~/data/notes.txt"},
       "multipart/related,text/html,image/gif,image/png,application/octet-stream"},
      // Boundary lines and markers in the body, headers and footers (as merged field data may
      // hold them) are text: the tree stays as given.
      {"boundaries in every section", injected, htmlInjected, {"~/data/b.pdf"}, {},
       "multipart/mixed,multipart/alternative,text/plain,text/html,application/octet-stream", "ISO-8859-1", injected,
       injected, htmlInjected, htmlInjected},
      {"boundaries in a related text", injected, {}, {}, {"~/data/logo.gif"}, "multipart/related,text/plain,image/gif"},
      {"long header lines", {"x"}, {}, {}, {}, "text/plain", "ISO-8859-1", {}, {}, {}, {}, longSubject,
       {"X-Long=" + longSubject, "X-Run=" + std::string(1209, 'r'), ".Dotted=d"}},
  };
  // Every charset: long paragraphs (cut, quoted-printable where needed) in text and HTML, and an
  // attachment, within the line limits.
  std::vector<stcStructure> all(std::begin(cases), std::end(cases));
  for (char const* charset : kCharsets) {
    stcStructure c{charset, {paragraph, "--= Multipart Mixed Boundary x", ".", " lead"}, {paragraph, "<p>x</p>"},
                   {"~/data/a.bin"}, {}, "multipart/mixed,multipart/alternative,text/plain,text/html,application/octet-stream",
                   charset};
    c.subject = std::string("Charset ") + charset;
    all.push_back(c);
  }
  std::vector<std::string> wires;
  std::vector<std::string> ids;
  for (auto const& c : all) {
    clsSMTPEmail m;
    if (std::string(c.name) != "nothing") m.AddTo(Uni("Reader <r@x.example>"));
    m.SetLocalHost("client.example");
    m.SetSubject(Uni(c.subject.empty() ? "Gr\xC3\xBC\xC3\x9F" "e: " + std::string(c.name) : c.subject));
    A::Set(m, A::CharSet, c.charset);
    if (!c.extraHeaders.empty()) A::Set(m, A::DefaultXMailer, c.subject);
    if (!c.textHeader.empty()) A::SetList(m, A::TextHeader, c.textHeader);
    if (!c.textFooter.empty()) A::SetList(m, A::TextFooter, c.textFooter);
    if (!c.htmlHeader.empty()) A::SetList(m, A::HTMLHeader, c.htmlHeader);
    if (!c.htmlFooter.empty()) A::SetList(m, A::HTMLFooter, c.htmlFooter);
    if (!c.extraHeaders.empty()) A::SetList(m, A::ExtraHeaders, c.extraHeaders);
    UniStringList body;
    for (auto const& line : c.text) body.Add(Uni(line));
    if (!c.text.empty()) m.AddTextBody(&body);
    if (!c.html.empty()) A::SetList(m, A::HTMLBody, c.html);
    for (auto const& a : c.attachments) m.AddAttachment(Uni(a));
    if (!c.images.empty()) A::SetList(m, A::HTMLImages, c.images);
    wires.push_back(Wire(Pull(m)));
    ids.push_back(A::UniqueID(m));
  }
  std::vector<mimecheck::stcRows> const read = mimecheck::RunMessages(wires);
  for (size_t k = 0; k < all.size(); ++k) {
    auto const& c = all[k];
    auto const& rows = read[k];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(rows.Get("wire.bare"), "0");
    EXPECT_LE(std::stoi(rows.Get("wire.longest")), 998);
    EXPECT_EQ(rows.Get("defects"), "");
    EXPECT_EQ(rows.Get("0.h.subject"), c.subject.empty() ? "Gr\xC3\xBC\xC3\x9F" "e: " + std::string(c.name) : c.subject);
    if (std::string(c.name) == "nothing") {
      EXPECT_EQ(rows.Get("0.h.to"), "undisclosed-recipients:;");
    }
    if (!c.extraHeaders.empty()) {
      EXPECT_EQ(rows.Get("0.h.x-mailer"), c.subject);
      EXPECT_EQ(rows.Get("0.h.x-long"), c.subject);
      EXPECT_EQ(rows.Get("0.h.x-run"), std::string(1209, 'r'));
      EXPECT_EQ(rows.Get("0.h..dotted"), "d");
    }
    std::string types;
    std::map<std::string, std::string> byFilename, byContentID;
    for (int i = 0; rows.Has(std::to_string(i) + ".type"); ++i) {
      std::string const key = std::to_string(i);
      types += (types.empty() ? "" : ",") + rows.Get(key + ".type");
      std::string const type = rows.Get(key + ".type");
      if (rows.Get(key + ".h.content-transfer-encoding") == "quoted-printable") {
        EXPECT_LE(std::stoi(rows.Get(key + ".rawlongest")), 76) << key;
      }
      if (type == "text/plain" && !c.text.empty()) {
        // A part inside a multipart body has no line end of its own before the boundary.
        std::string got = rows.Get(key + ".unflowed");
        if (!got.empty() && got.back() == '\n') got.pop_back();
        EXPECT_EQ(got, Join(Concat(c.text, c.textHeader, c.textFooter)));
      } else if (type == "text/html") {
        std::string got = rows.Get(key + ".text");
        if (!got.empty() && got.back() == '\n') got.pop_back();
        std::string want = Join(Concat(c.html, c.htmlHeader, c.htmlFooter));
        // The image references point at the images' Content-IDs.
        size_t at;
        while ((at = want.find("images/Logo.GIF")) != std::string::npos) want.replace(at, 15, "cid:" + ids[k] + ".0.logo.gif@local");
        while ((at = want.find("'bg.png'")) != std::string::npos) want.replace(at, 8, "\"cid:" + ids[k] + ".1.bg.png@local\"");
        if (std::string(c.charset) == "ISO-2022-JP") {
          // 7bit HTML has no soft breaks: a long line goes out as several, cut after a blank.
          got.erase(std::remove(got.begin(), got.end(), '\n'), got.end());
          want.erase(std::remove(want.begin(), want.end(), '\n'), want.end());
        }
        EXPECT_EQ(got, want);
      }
      if (rows.Has(key + ".filename")) byFilename[rows.Get(key + ".filename")] = rows.Get(key + ".hex");
      if (rows.Has(key + ".h.content-id")) byContentID[rows.Get(key + ".h.content-id")] = rows.Get(key + ".hex");
    }
    EXPECT_EQ(types, c.types);
    for (auto const& a : c.attachments) {
      if (a == "~/data/a.bin") {
        EXPECT_EQ(byFilename["a.bin"], Hex(m_strBinary));
      } else if (a == "Report 2=~/data/b.pdf") {
        EXPECT_EQ(byFilename["Report 2"], Hex(std::string(100, 'b')));
      } else {
        EXPECT_EQ(byFilename["b.pdf"], Hex(std::string(100, 'b')));
      }
    }
    for (size_t i = 0; i < c.images.size(); ++i) {
      std::string const name = c.images[i].substr(c.images[i].rfind('/') + 1);
      std::string const bytes = name == "logo.gif" ? "GIF89a-logo" : name == "bg.png" ? "PNG-background" : "notes";
      EXPECT_EQ(byContentID["<" + ids[k] + "." + std::to_string(i) + "." + name + "@local>"], Hex(bytes));
    }
  }
}

TEST_F(WriterTest, NestedStructureLinesAndTheEnd) {
  clsSMTPEmail m;
  m.AddTo(Uni("r@x.example"));
  UniStringList body;
  body.Add(Uni("Text"));
  m.AddTextBody(&body);
  A::SetList(m, A::HTMLBody, {"<b>x</b>"});
  m.AddAttachment(Uni("~/data/b.pdf"));
  std::vector<std::string> const lines = Pull(m);
  std::string const id = A::UniqueID(m);
  EXPECT_EQ(lines[0].substr(0, 13 + id.size()), "Message-ID: <" + id);
  size_t k = 0;
  while (k < lines.size() && lines[k].rfind("From: ", 0) != 0) ++k;
  std::vector<std::string> const rest(lines.begin() + long(k) + 1, lines.end());
  std::string const mixed = "= Multipart Mixed Boundary " + id;
  std::string const alternative = "= Multipart Alternative Boundary " + id;
  std::vector<std::string> const expected = {
      "Content-Type: multipart/mixed;\r\n    boundary=\"" + mixed + "\"\r\n",
      "This is a Multipart MIME Message.\r\n",
      "--" + mixed,
      "Content-Type: multipart/alternative;\r\n    boundary=\"" + alternative + "\"\r\n",
      "",
      "--" + alternative,
      "Content-Type: text/plain; charset=\"ISO-8859-1\"; format=flowed",
      "Content-Transfer-Encoding: 7bit",
      "",
      "Text",
      "--" + alternative,
      "Content-Type: text/html; charset=\"ISO-8859-1\"",
      "Content-Transfer-Encoding: quoted-printable",
      "",
      "<b>x</b>",
      "--" + alternative + "--",
      "--" + mixed,
      "Content-Type: application/octet-stream;\r\n    name=\"b.pdf\"",
      "Content-Transfer-Encoding: base64",
      "Content-Disposition: attachment;\r\n    filename=\"b.pdf\"",
      "",
      "YmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJi",
      "YmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJi",
      "YmJiYmJiYmJiYg==",
      "--" + mixed + "--",
  };
  EXPECT_EQ(rest, expected);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Bytes(m.GetLine()), ".");
  // A message with a text body only: the part's header lines continue the block.
  clsSMTPEmail textOnly;
  textOnly.AddTextBody(&body);
  std::vector<std::string> const plain = Pull(textOnly);
  ASSERT_GE(plain.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(plain.end() - 4, plain.end()),
            (std::vector<std::string>{"Content-Type: text/plain; charset=\"ISO-8859-1\"; format=flowed",
                                      "Content-Transfer-Encoding: 7bit", "", "Text"}));
}

TEST_F(WriterTest, TheTextPartIsQuotedPrintableWhenAnyOfItsLinesNeedsIt) {
  SetListPref("TextFooter", "Gr\xC3\xBC\xC3\x9F" "e");
  struct {
    std::vector<std::string> body;
    char const* charset;
    bool qp;
  } const cases[] = {
      {{"plain ascii"}, "ISO-8859-1", true},                      // the footer preference
      {{"word " + std::string(1200, 'w') + " end"}, "UTF-8", true},  // a run too long for a line
  };
  std::vector<std::string> wires;
  for (auto const& c : cases) {
    clsSMTPEmail m;
    A::Set(m, A::CharSet, c.charset);
    UniStringList body;
    for (auto const& line : c.body) body.Add(Uni(line));
    m.AddTextBody(&body);
    EXPECT_FALSE(A::TextNeedsQP(m));
    std::vector<std::string> const lines = Pull(m);
    bool qp = false;
    for (auto const& line : lines) qp = qp || line == "Content-Transfer-Encoding: quoted-printable";
    EXPECT_EQ(qp, c.qp);
    for (auto const& line : lines) EXPECT_LE(line.size(), 998u);
    wires.push_back(Wire(lines));
  }
  std::vector<mimecheck::stcRows> const read = mimecheck::RunMessages(wires);
  EXPECT_EQ(read[0].Get("0.unflowed"), "plain ascii\nGr\xC3\xBC\xC3\x9F" "e\n");
  EXPECT_EQ(read[1].Get("0.unflowed"), "word " + std::string(1200, 'w') + " end\nGr\xC3\xBC\xC3\x9F" "e\n");

  // A body line that is the message's very boundary (here known in advance: the same clock and
  // random seed give the same unique ID) sends the part quoted-printable, and the reader sees
  // the tree as it was given.
  SetListPref("TextFooter", "");
  CFAbsoluteTimeSetCurrentForTesting(818413577.0);
  auto make = [](clsSMTPEmail& m, std::vector<std::string> const& lines) {
    UniStringList body;
    for (auto const& line : lines) body.Add(Uni(line));
    m.AddTextBody(&body);
    m.AddAttachment(Uni("~/data/b.pdf"));
    m.SetLocalHost("client.example");
  };
  clsSMTPEmail probe;
  make(probe, {"x"});
  srand(7);
  Pull(probe);
  std::string const boundary = "--= Multipart Mixed Boundary " + A::UniqueID(probe);
  std::vector<std::string> const body = {"before", boundary, "Content-Type: text/plain", "", "injected", boundary + "--",
                                         "after"};
  clsSMTPEmail m;
  make(m, body);
  srand(7);
  std::vector<std::string> const lines = Pull(m);
  ASSERT_EQ(A::UniqueID(m), A::UniqueID(probe));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), boundary), 2) << "the writer's own two";
  mimecheck::stcRows const rows = mimecheck::RunMessages({Wire(lines)})[0];
  EXPECT_EQ(rows.Get("0.type") + "," + rows.Get("1.type") + "," + rows.Get("2.type") + "," + rows.Get("3.type"),
            "multipart/mixed,text/plain,application/octet-stream,<missing 3.type>");
  EXPECT_EQ(rows.Get("1.unflowed"), Join(body));
  EXPECT_EQ(rows.Get("defects"), "");
}

TEST_F(WriterTest, StatusFollowsThePartBeingWritten) {
  Write("/Users/bob/data/big.bin", std::string(4500, 'q'));
  clsSMTPEmail m;
  UniStringList body;
  body.Add(Uni("line one"));
  body.Add(Uni("line two"));
  m.AddTextBody(&body);
  m.AddAttachment(Uni("~/data/big.bin"));
  ASSERT_EQ(Utf8(m.GenerateEmail()), "");
  std::map<int32_t, std::pair<std::string, int>> seen;
  for (int i = 0; i < 1000; ++i) {
    std::string const line = Bytes(m.GetLine());
    UniString text;
    int percent = -1;
    m.GetStatus(&text, &percent);
    int32_t const state = A::State(m);
    if (!seen.count(state)) seen[state] = {Utf8(text), percent};
    if (line == "line one") seen[101] = {Utf8(text), percent};
    if (state == seAttachmentData && percent == 50) seen[100] = {Utf8(text), percent};
    if (line == ".") break;
  }
  m.GetStatus(nullptr, nullptr);
  EXPECT_EQ(seen[seHeaders], (std::pair<std::string, int>{"", 0}));
  EXPECT_EQ(seen[seMixedBoundary], (std::pair<std::string, int>{"", 0}));
  EXPECT_EQ(seen[101], (std::pair<std::string, int>{"Encoding Text Body...", 50}));
  EXPECT_EQ(seen[100], (std::pair<std::string, int>{"Encoding Attachment: 'big.bin'...", 50}));
  EXPECT_EQ(seen[seEnd], (std::pair<std::string, int>{"", 0}));
}

TEST_F(WriterTest, LinesManyToACallAreTheLinesOneToACall) {
  // The same attachment pulled one line to a call and several: the same Base64 lines, and the
  // same statuses in the same order.
  std::string big(1500000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char((i * 2654435761u) >> 9);
  Write("/Users/bob/data/big.bin", big);
  struct stcPulled {
    std::vector<std::string> data;
    std::vector<std::pair<std::string, int>> statuses;
    int calls = 0;
  };
  auto pull = [](bool many) {
    stcPulled got;
    clsSMTPEmail m;
    m.AddAttachment(Uni("~/data/big.bin"));
    m.AddAttachment(Uni("~/data/b.pdf"));
    EXPECT_EQ(Utf8(m.GenerateEmail()), "");
    AnsiString line;
    for (int guard = 0; guard < 100000; ++guard) {
      bool const data = A::State(m) == seAttachmentData;
      many ? m.GetLines(&line) : m.GetLine(&line);
      ++got.calls;
      std::string const bytes = Bytes(line);
      if (bytes == ".") break;
      if (data) {
        for (size_t at = 0;;) {
          size_t const end = bytes.find("\r\n", at);
          got.data.push_back(bytes.substr(at, end == std::string::npos ? std::string::npos : end - at));
          if (end == std::string::npos) break;
          at = end + 2;
        }
      }
      UniString text;
      int percent = -1;
      m.GetStatus(&text, &percent);
      std::pair<std::string, int> const status{Utf8(text), percent};
      if (got.statuses.empty() || got.statuses.back() != status) got.statuses.push_back(status);
    }
    return got;
  };
  stcPulled const one = pull(false);
  stcPulled const many = pull(true);
  EXPECT_EQ(one.data.size(), (big.size() + 44) / 45 + 3);
  EXPECT_TRUE(one.data == many.data);
  EXPECT_EQ(one.statuses, many.statuses);
  EXPECT_GT(one.statuses.size(), 100u);
  EXPECT_LT(many.calls, one.calls / 10);
}

TEST_F(WriterTest, MissingPiecesGiveErrorLinesAndAWriterError) {
  struct {
    char const* what;
    bool html, attachment, image;
    int32_t when;  // the state in which the piece goes missing
    std::function<void(clsSMTPEmail&)> drop;
    char const* error;
  } const cases[] = {
      {"headers", false, false, false, seHeaders, A::DropHeaderBlock, "Email Headers are NULL!"},
      {"text part header", false, false, false, seTextPartHeader, A::DropTextPart,
       "Email Text Part or Part Headers is NULL!"},
      {"text body", false, false, false, seTextBody, A::DropTextPart, "Email Text Part is NULL!"},
      {"html part header", true, false, false, seHTMLPartHeader, A::DropHTMLPart,
       "Email HTML Part or Part Headers is NULL!"},
      {"html body", true, false, false, seHTMLBody, A::DropHTMLPart, "Email HTML Part is NULL!"},
      {"attachment", false, true, false, seAttachmentHeader, [](clsSMTPEmail& m) { A::DropFileParts(m, false); },
       "Attachment is not present or has not been generated!"},
      {"image", true, false, true, seImageData, [](clsSMTPEmail& m) { A::DropFileParts(m, true); },
       "HTML Image is not present or has not been generated!"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    clsSMTPEmail m;
    UniStringList body;
    body.Add(Uni("one"));
    body.Add(Uni("two"));
    if (c.html) {
      A::SetList(m, A::HTMLBody, {"<p>one</p>", "<p>two</p>"});
    } else {
      m.AddTextBody(&body);
    }
    if (c.attachment) m.AddAttachment(Uni("~/data/a.bin"));
    if (c.image) A::SetList(m, A::HTMLImages, {"~/data/logo.gif"});
    ASSERT_EQ(Utf8(m.GenerateEmail()), "");
    std::vector<std::string> lines;
    bool dropped = false;
    for (int i = 0; i < 1000; ++i) {
      if (!dropped && A::State(m) == c.when && i > 0) {
        c.drop(m);
        dropped = true;
      }
      lines.push_back(Bytes(m.GetLine()));
      if (lines.back() == ".") break;
    }
    ASSERT_TRUE(dropped);
    EXPECT_EQ(lines.back(), ".");
    size_t errors = 0;
    for (auto const& line : lines) errors += line == std::string("ERROR: ") + c.error;
    EXPECT_EQ(errors, 1u);
    EXPECT_EQ(Utf8(m.GetWriterError()), c.error);
    // The next message starts clean.
    m.GenerateEmail();
    EXPECT_EQ(Utf8(m.GetWriterError()), "");
  }
}

TEST_F(WriterTest, MissingOrUnreadableFilesFailTheSend) {
  clsSMTPEmail m;
  m.AddAttachment(Uni("~/data/a.bin"));
  m.AddAttachment(Uni("Name=~/data/missing.bin"));
  EXPECT_EQ(Utf8(m.GenerateEmail()), "Attachment does not exist: /Users/bob/data/missing.bin");
  clsSMTPEmail image;
  SetListPref("HTMLImages", "~/data/gone.gif");
  EXPECT_EQ(Utf8(image.GenerateEmail()), "HTML Image does not exist: /Users/bob/data/gone.gif");
  SetListPref("HTMLImages", "");

  // Files beyond the parts' 32-bit sizes are refused whole (sparse files: nothing reads them).
  struct {
    char const* name;
    off_t size;
    bool image;
  } const large[] = {{"4g1000.bin", (off_t(1) << 32) + 1000, false},
                     {"4g.bin", off_t(1) << 32, false},
                     {"2g1.bin", (off_t(1) << 31) + 1, false},
                     {"6g.gif", off_t(6) << 30, true}};
  for (auto const& c : large) {
    std::string const path = std::string("/Users/bob/data/") + c.name;
    std::ofstream(Real(path));
    ASSERT_EQ(0, truncate(Real(path).c_str(), c.size));
    clsSMTPEmail big;
    if (c.image) SetListPref("HTMLImages", "~/data/" + std::string(c.name));
    else big.AddAttachment(Uni("~/data/" + std::string(c.name)));
    EXPECT_EQ(Utf8(big.GenerateEmail()),
              std::string(c.image ? "HTML Image" : "Attachment") + " is too large (2 GB or larger): " + path);
    SetListPref("HTMLImages", "");
  }

  // A read failure in the middle: the writer goes on to ".", and keeps the reason.
  Write("/Users/bob/data/big.bin", std::string(600000, 'z'));
  clsSMTPEmail big;
  big.AddAttachment(Uni("~/data/big.bin"));
  ASSERT_EQ(Utf8(big.GenerateEmail()), "");
  bool injected = false;
  std::string line;
  for (int i = 0; i < 20000 && line != "."; ++i) {
    if (!injected && A::State(big) == seAttachmentData) {
      FSStandInTestFailNext("FSReadFork", "/Users/bob/data/big.bin", ioErr);
      injected = true;
    }
    line = Bytes(big.GetLine());
  }
  EXPECT_TRUE(injected);
  EXPECT_EQ(line, ".");
  EXPECT_EQ(Utf8(big.GetWriterError()).substr(0, 31), "Could not read Attachment File:");
  // Sent again, the file is read whole.
  std::vector<std::string> const again = Pull(big);
  EXPECT_EQ(Utf8(big.GetWriterError()), "");
  EXPECT_EQ(mimecheck::RunMessages({Wire(again)})[0].Get("0.hex"), Hex(std::string(600000, 'z')));
}

}  // namespace
