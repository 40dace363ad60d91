// Tests of the text and HTML parts, driven as the message writer drives them: the part header
// lines, the cutter, flowed text, dot-stuffing, the 998-byte limit, line ends inside source
// lines, the caches, and image-reference rewriting; whole parts are read back by Python's email
// (tools/mimecheck) and must give the input text.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mime/clsSMTPEmailPart.h"
#include "mime/MimeCheck.h"

using mimecheck::Ansi;
using mimecheck::Bytes;
using mimecheck::Uni;

namespace {

UniStringList Lines(std::vector<std::string> const& lines) {
  UniStringList list;
  for (auto const& line : lines) list.Add(Uni(line));
  return list;
}

std::vector<std::string> Headers(clsSMTPEmailPart const& part) {
  std::vector<std::string> out;
  if (part.GetPartHeaders() == nullptr) return out;
  for (int i = 0; i < part.GetPartHeaders()->Count(); ++i) out.push_back(Bytes(part.GetPartHeaders()->Strings[unsigned(i)]));
  return out;
}

enum class Section { Header, Body, Footer };

// One section as the writer runs it: start, then lines until the call that returns false,
// each call beginning with an empty line.
std::vector<std::string> RunSection(clsSMTPEmailPart& part, Section section, UniStringList* source, bool html,
                                    TStringList* images = nullptr) {
  std::vector<std::string> out;
  switch (section) {
    case Section::Header:
      html ? part.StartHTMLHeader(source) : part.StartTextHeader(source);
      break;
    case Section::Body:
      html ? part.StartHTMLBody(source) : part.StartTextBody(source);
      break;
    case Section::Footer:
      html ? part.StartHTMLFooter(source) : part.StartTextFooter(source);
      break;
  }
  for (int guard = 0; guard < 100000; ++guard) {
    AnsiString line;
    bool more;
    if (html) {
      more = section == Section::Header   ? part.EncodeHTMLHeaderLine(&line, images)
             : section == Section::Body ? part.EncodeHTMLBodyLine(&line, images)
                                        : part.EncodeHTMLFooterLine(&line, images);
    } else {
      more = section == Section::Header   ? part.EncodeTextHeaderLine(&line)
             : section == Section::Body ? part.EncodeTextBodyLine(&line)
                                        : part.EncodeTextFooterLine(&line);
    }
    out.push_back(Bytes(line));
    if (!more) break;
  }
  return out;
}

std::string Join(std::vector<std::string> const& lines, std::string const& sep) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? sep : "") + lines[i];
  return out;
}

// Wire rules every produced line keeps: at most 998 bytes, no CR or LF, dot-stuffed, and a
// quoted-printable line (once the server has taken the stuffing dot) at most 76 characters
// that never ends in a blank or tab.
void ExpectWireSafe(std::vector<std::string> const& lines, std::string const& what, bool qp = false) {
  for (auto const& line : lines) {
    EXPECT_LE(line.size(), 998u) << what;
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << what;
    if (!line.empty() && line[0] == '.') {
      EXPECT_EQ(line.substr(0, 2), "..") << what;
    }
    if (!qp) continue;
    std::string const received = line.rfind("..", 0) == 0 ? line.substr(1) : line;
    EXPECT_LE(received.size(), 76u) << what << ": " << line;
    if (!received.empty()) {
      EXPECT_TRUE(received.back() != ' ' && received.back() != '\t') << what << ": " << line;
    }
  }
}

bool IsQP(std::vector<std::string> const& headers) {
  for (auto const& h : headers) {
    if (h == "Content-Transfer-Encoding: quoted-printable") return true;
  }
  return false;
}

// The part as the wire carries it: header lines, an empty line, the lines and ".".
std::string Wire(clsSMTPEmailPart const& part, std::vector<std::string> const& lines) {
  std::string wire;
  for (auto const& h : Headers(part)) wire += h + "\r\n";
  wire += "\r\n";
  for (auto const& line : lines) wire += line + "\r\n";
  return wire + ".\r\n";
}

// What Python reads from one part: its decoded text (the un-flowed text for format=flowed).
std::string PythonText(mimecheck::stcRows const& rows) {
  EXPECT_EQ(rows.Get("wire.bare"), "0");
  EXPECT_EQ(rows.Get("defects"), "");
  std::string text = rows.Has("0.unflowed") ? rows.Get("0.unflowed") : rows.Get("0.text");
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

TEST(clsSMTPEmailPartTextTest, SetupBuildsThePartHeaderLines) {
  struct {
    bool html;
    char const* charset;
    char const* type;
    char const* encoding;
    bool qp;
    std::vector<std::string> headers;
  } const cases[] = {
      {false, "iso-8859-1", "", "", false,
       {"Content-Type: text/plain; charset=\"ISO-8859-1\"; format=flowed", "Content-Transfer-Encoding: 7bit"}},
      {false, " utf-8", "", "", true,
       {"Content-Type: text/plain; charset=\"UTF-8\"; format=flowed", "Content-Transfer-Encoding: quoted-printable"}},
      {false, "ISO-2022-JP", "", "", true,
       {"Content-Type: text/plain; charset=\"ISO-2022-JP\"; format=flowed; delsp=yes",
        "Content-Transfer-Encoding: 7bit"}},
      {false, "utf-8", "text/plain; charset=[[CHARSET]]", "8bit", false,
       {"Content-Type: text/plain; charset=UTF-8", "Content-Transfer-Encoding: 8bit"}},
      {false, "utf-8", "text/plain;\r\n charset=[[Charset]]", "7bit\nX-Evil: 1", false,
       {"Content-Type: text/plain;   charset=UTF-8", "Content-Transfer-Encoding: 7bit X-Evil: 1"}},
      {true, "windows-1252", "", "", false,
       {"Content-Type: text/html; charset=\"WINDOWS-1252\"", "Content-Transfer-Encoding: quoted-printable"}},
      {true, "ISO-2022-JP", "", "", false,
       {"Content-Type: text/html; charset=\"ISO-2022-JP\"", "Content-Transfer-Encoding: 7bit"}},
      {true, "utf-8", "text/html; charset=[[charset]]", "base64", false,
       {"Content-Type: text/html; charset=UTF-8", "Content-Transfer-Encoding: base64"}},
  };
  for (auto const& c : cases) {
    clsSMTPEmailPart part;
    if (c.html) {
      part.SetupHTML(Uni(c.charset), Uni(c.type), Uni(c.encoding));
    } else {
      part.SetupText(Uni(c.charset), Uni(c.type), Uni(c.encoding), 80, c.qp);
    }
    EXPECT_EQ(Headers(part), c.headers) << c.type;
  }

  // The given encoding "Quoted-Printable" makes the lines quoted-printable; flowed is found
  // after "format" only.
  struct {
    char const* type;
    char const* encoding;
    std::vector<std::string> lines;
  } const modes[] = {
      {"", "Quoted-Printable", {"caf=E9"}},
      {"text/plain; format=flowed", "", {"caf\xE9"}},
      {"text/plain; flowed", "", {"caf\xE9"}},
      {"text/plain; flowed; format=fixed", "", {"caf\xE9   "}},
      {"text/plain", "", {"caf\xE9   "}},
  };
  for (auto const& m : modes) {
    clsSMTPEmailPart part;
    part.SetupText(Uni("ISO-8859-1"), Uni(m.type), Uni(m.encoding), 80, false);
    UniStringList body = Lines({"caf\xC3\xA9   "});
    EXPECT_EQ(RunSection(part, Section::Body, &body, false), m.lines) << m.type << m.encoding;
  }
}

TEST(clsSMTPEmailPartTextTest, CutterCutsAtBlanks) {
  std::string const a69(69, 'a');
  struct {
    std::string pending;
    int width;
    std::string line, rest;
  } const cases[] = {
      {a69 + " " + std::string(15, 'b'), 78, a69, std::string(15, 'b')},
      {"abc def", 10, "abc def", ""},
      {"abcd efgh", 5, "abcd", "efgh"},
      {"ab cd efgh ij", 7, "ab cd", "efgh ij"},
      {"abcdefghij kl", 5, "abcdefghij", "kl"},
      {std::string(1500, 'x'), 78, std::string(1500, 'x'), ""},
      {std::string(1500, 'x'), 996, std::string(990, 'x'), std::string(510, 'x')},
  };
  clsSMTPEmailPart part;
  for (auto const& c : cases) {
    AnsiString pending = Ansi(c.pending);
    EXPECT_EQ(Bytes(part.GetLine(pending, c.width)), c.line) << c.pending.substr(0, 20);
    EXPECT_EQ(Bytes(pending), c.rest) << c.pending.substr(0, 20);
  }
}

TEST(clsSMTPEmailPartTextTest, LinesAreCutStuffedAndKeptWithinTheWireLimits) {
  std::string const a69(69, 'a'), b15(15, 'b'), a76(76, 'a');
  auto repeat = [](char const* s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  // python: the text Python reads back; "" means the source lines joined; "~" means the same
  // once the line breaks a last-resort cut added are taken out.
  struct {
    char const* what;
    char const* charset;
    char const* type;
    int length;
    bool qp;
    std::vector<std::string> source;
    std::vector<std::string> lines;  // empty: only the wire rules are checked
    std::string python;
  } const cases[] = {
      {"plain cut", "ISO-8859-1", "text/plain", 80, false, {a69 + " " + b15}, {a69, b15}, a69 + "\n" + b15},
      {"flowed signature", "ISO-8859-1", "", 80, false, {"-- ", "word   ", ""}, {"-- ", "word", ""}, "-- \nword\n"},
      {"flowed cut", "ISO-8859-1", "", 10, false, {"aaaa bbbb cccc"}, {"aaaa ", "bbbb ", "cccc"}, ""},
      {"line length below 6 counts as 6", "ISO-8859-1", "text/plain", 2, false, {"a b c d"}, {"a b", "c d"},
       "a b\nc d"},
      {"stuffing", "ISO-8859-1", "text/plain", 10, false, {".", "aaaaaa .x", "..y"}, {"..", "aaaaaa", "..x", "...y"},
       ".\naaaaaa\n.x\n..y"},
      {"stuffed rest", "ISO-8859-1", "text/plain", 80, false, {a76 + " .x"}, {a76, "..x"}, a76 + "\n.x"},
      {"qp cut", "ISO-8859-1", "", 12, true, {"caf\xC3\xA9 au lait"}, {"caf=E9 =", "au lait"}, ""},
      {"line ends inside", "ISO-8859-1", "text/plain", 80, false, {"one\rtwo\r\nthree\n\nfour"},
       {"one", "two", "three", "", "four"}, "one\ntwo\nthree\n\nfour"},
      {"qp no blank", "ISO-8859-1", "text/plain", 1000, true, {std::string(230, 'x')},
       {std::string(75, 'x') + "=", std::string(75, 'x') + "=", std::string(75, 'x') + "=", std::string(5, 'x')}, ""},
      {"qp 77 characters", "ISO-8859-1", "text/plain", 80, true, {std::string(77, 'q')},
       {std::string(75, 'q') + "=", "qq"}, ""},
      {"qp blank cut", "ISO-8859-1", "text/plain", 80, true, {std::string(73, 'q') + " rrr"},
       {std::string(73, 'q') + " =", "rrr"}, ""},
      {"qp never splits =XX", "ISO-8859-1", "text/plain", 80, true, {std::string(74, 'q') + "==="},
       {std::string(74, 'q') + "=", "=3D=3D=3D"}, ""},
      {"qp trailing blank and tab", "ISO-8859-1", "text/plain", 80, true, {"-- ", "tab\t", "a  "},
       {"--=20", "tab=09", "a =20"}, ""},
      {"flowed qp signature", "ISO-8859-1", "", 80, true, {"text", "-- ", "Me"}, {"text", "--=20", "Me"}, ""},
      {"qp long line", "UTF-8", "text/plain; charset=UTF-8", 1000, true, {repeat("caf\xC3\xA9 au lait ", 30)}, {}, ""},
      {"flowed stuffing", "ISO-8859-1", "", 80, false, {"  indented", "From here", "> quoted", ">"},
       {"   indented", " From here", " > quoted", " >"}, ""},
      {"flowed stuffed rest", "ISO-8859-1", "", 10, false, {"aaaaaa  bb", "aaaaaa >b", "aaaaaa From x"},
       {"aaaaaa ", "  bb", "aaaaaa ", " >b", "aaaaaa ", " From x"}, ""},
      {"jp flowed stuffed rest", "ISO-2022-JP", "", 10, false, {"aaaaaa >b", "From x"}, {"aaaaaa  ", " >b", " From  ", "x"}, ""},
      {"flowed qp stuffing", "UTF-8", "", 80, true, {"  caf\xC3\xA9", "From caf\xC3\xA9"},
       {"   caf=C3=A9", " From caf=C3=A9"}, ""},
      {"qp high no blank", "UTF-8", "", 1000, true, {repeat("\xC3\xA9", 700)}, {}, ""},
      // An escape that starts in the last columns of a blank-less run goes to the next line whole.
      {"qp 73 then =XX", "UTF-8", "", 80, true, {std::string(73, 'q') + "\xC3\xA9"},
       {std::string(73, 'q') + "=", "=C3=A9"}, ""},
      {"qp high behind 1", "UTF-8", "", 80, true, {"a" + repeat("\xC3\xA9", 40)}, {}, ""},
      {"qp high behind 2", "UTF-8", "", 80, true, {"ab" + repeat("\xE2\x82\xAC", 30)}, {}, ""},
      {"qp high at 30", "UTF-8", "", 30, true, {"a" + repeat("\xC3\xA9", 20)}, {}, ""},
      {"qp high at 47", "UTF-8", "", 47, true, {"ab" + repeat("\xC3\xA9", 20)}, {}, ""},
      {"qp long word", "ISO-8859-1", "text/plain", 80, true, {"a " + std::string(2500, '=') + " b"}, {}, ""},
      {"plain no blank", "ISO-8859-1", "text/plain", 1000, false, {std::string(3000, 'y')}, {}, "~"},
      {"flowed long word", "ISO-8859-1", "", 80, false, {"a " + std::string(2000, 'z') + " b"}, {}, "~"},
      {"jp no blank", "ISO-2022-JP", "", 80, false, {repeat("\xE6\xBC\xA2", 700)}, {}, ""},
      {"jp ends in a run", "ISO-2022-JP", "", 1000, false, {"x " + repeat("\xE3\x81\x82", 600)}, {}, ""},
      // The 990-byte cut of a blank-less run falls inside the escapes that open and close a run.
      {"jp cut in ESC $ B", "ISO-2022-JP", "", 1000, false, {std::string(989, 'a') + repeat("\xE6\xBC\xA2", 10)}, {}, ""},
      {"jp cut in ESC ( B", "ISO-2022-JP", "", 1000, false, {"a" + repeat("\xE6\xBC\xA2", 492) + std::string(20, 'b')},
       {}, ""},
      // Flowed Japanese gives back every line whole: a cut between characters is a soft break.
      {"jp long paragraph", "ISO-2022-JP", "", 80, false, {repeat("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 400), "a b"},
       {}, ""},
      {"jp words and a long run", "ISO-2022-JP", "", 80, false,
       {"\xE3\x81\x82 " + repeat("\xE6\xBC\xA2", 600) + " " + std::string(1200, 'x') + " end"}, {}, ""},
  };
  std::vector<std::string> wires;
  for (auto const& c : cases) {
    clsSMTPEmailPart part;
    part.SetupText(Uni(c.charset), Uni(c.type), UniString(), c.length, c.qp);
    UniStringList body = Lines(c.source);
    std::vector<std::string> const lines = RunSection(part, Section::Body, &body, false);
    if (!c.lines.empty()) {
      EXPECT_EQ(lines, c.lines) << c.what;
    }
    ExpectWireSafe(lines, c.what, IsQP(Headers(part)));
    wires.push_back(Wire(part, lines));
  }
  std::vector<mimecheck::stcRows> const read = mimecheck::RunMessages(wires);
  for (size_t i = 0; i < std::size(cases); ++i) {
    auto const& c = cases[i];
    std::string got = PythonText(read[i]);
    std::string const expected = c.python.empty() || c.python == "~" ? Join(c.source, "\n") : c.python;
    if (c.python == "~") got.erase(std::remove(got.begin(), got.end(), '\n'), got.end());
    EXPECT_EQ(got, expected) << c.what;
  }
}

TEST(clsSMTPEmailPartTextTest, HeaderAndFooterAreCachedTheBodyNever) {
  clsSMTPEmailPart part;
  part.SetupText(Uni("ISO-8859-1"), UniString(), UniString(), 80, false);
  UniStringList header = Lines({"head"}), body = Lines({"body"}), footer = Lines({"foot"});
  EXPECT_EQ(RunSection(part, Section::Header, &header, false), std::vector<std::string>{"head"});
  EXPECT_EQ(RunSection(part, Section::Body, &body, false), std::vector<std::string>{"body"});
  EXPECT_EQ(RunSection(part, Section::Footer, &footer, false), std::vector<std::string>{"foot"});

  header = Lines({"head2"});
  body = Lines({"body2"});
  footer = Lines({"foot2", "more"});
  // Same setup: header and footer come from their caches, the body is encoded again.
  part.SetupText(Uni("iso-8859-1"), UniString(), UniString(), 80, false);
  EXPECT_EQ(RunSection(part, Section::Header, &header, false), std::vector<std::string>{"head"});
  EXPECT_EQ(RunSection(part, Section::Body, &body, false), std::vector<std::string>{"body2"});
  EXPECT_EQ(RunSection(part, Section::Footer, &footer, false), std::vector<std::string>{"foot"});

  // A new charset, line length or quoted-printable setting rebuilds them.
  struct {
    char const* charset;
    int length;
    bool qp;
  } const changes[] = {{"UTF-8", 80, false}, {"UTF-8", 70, false}, {"UTF-8", 70, true}};
  for (auto const& c : changes) {
    part.SetupText(Uni(c.charset), UniString(), UniString(), c.length, c.qp);
    header = Lines({c.charset + std::to_string(c.length) + (c.qp ? "q" : "")});
    EXPECT_EQ(RunSection(part, Section::Header, &header, false), std::vector<std::string>{Bytes(header.At(0).GetAnsiString(1))});
    UniStringList other = Lines({"other"});
    EXPECT_EQ(RunSection(part, Section::Header, &other, false), std::vector<std::string>{Bytes(header.At(0).GetAnsiString(1))});
  }
  // An empty section hands out the empty line the writer starts with.
  UniStringList empty;
  EXPECT_EQ(RunSection(part, Section::Body, &empty, false), std::vector<std::string>{""});
  EXPECT_EQ(RunSection(part, Section::Body, nullptr, false), std::vector<std::string>{""});
}

TEST(clsSMTPEmailPartTextTest, StatusFollowsTheRun) {
  clsSMTPEmailPart part;
  part.SetupText(Uni("ISO-8859-1"), Uni("text/plain"), UniString(), 80, false);
  UniStringList body = Lines({"abcd", "efghijklmnop"});
  part.StartTextBody(&body);
  AnsiString line;
  EXPECT_TRUE(part.EncodeTextBodyLine(&line));
  EXPECT_EQ(mimecheck::Utf8(part.GetStatusText()), "Encoding Text Body...");
  EXPECT_EQ(part.GetStatusPercent(), 25);
  EXPECT_FALSE(part.EncodeTextBodyLine(&line));
  EXPECT_EQ(mimecheck::Utf8(part.GetStatusText()), "");
  EXPECT_EQ(part.GetStatusPercent(), 0);
}

TEST(clsSMTPEmailPartTextTest, HTMLImageReferencesBecomeCidURLs) {
  TStringList images;
  images.Add("Logo.gif");
  images.Add("bg.png");
  std::string const cid0 = "cid:[[TarnixUniqueID]].0.logo.gif@local";
  std::string const cid1 = "cid:[[TarnixUniqueID]].1.bg.png@local";
  struct {
    std::vector<std::string> source;
    std::vector<std::string> decoded;  // the lines before quoted-printable
  } const cases[] = {
      {{"<img src=\"images/Logo.GIF\">"}, {"<img src=\"" + cid0 + "\">"}},
      {{"<IMG alt=x SRC=http://host/logo.gif>"}, {"<IMG alt=x SRC=\"http://host/logo.gif\">"}},
      {{"<img src=\"cid:part2\"> <img src='CID:PART9'>"}, {"<img src=\"" + cid1 + "\"> <img src=\"CID:PART9\">"}},
      {{"<p><td", "background='bg.png'>x</td>"}, {"<p><td", "background=\"" + cid1 + "\">x</td>"}},
      {{"<img src=other.gif> <b>", "<td background = c:\\pics\\BG.PNG width=1>"},
       {"<img src=\"other.gif\"> <b>", "<td background = \"" + cid1 + "\" width=1>"}},
      {{"<table><tr>plain <body background=\"\">"}, {"<table><tr>plain <body background=\"\">"}},
      {{"<v:imagedata src=\"file:///x/logo.gif\"/>"}, {"<v:imagedata src=\"" + cid0 + "\"/>"}},
  };
  for (auto const& c : cases) {
    clsSMTPEmailPart part;
    part.SetupHTML(Uni("ISO-8859-1"), UniString(), UniString());
    UniStringList body = Lines(c.source);
    std::vector<std::string> const lines = RunSection(part, Section::Body, &body, true, &images);
    std::vector<std::string> expected;
    for (auto const& d : c.decoded) expected.push_back(Bytes(part.QPEncodeLine(Ansi(d), false)));
    EXPECT_EQ(lines, expected) << c.source[0];
  }
  // Without images nothing is rewritten; a long HTML line goes out quoted-printable and cut.
  clsSMTPEmailPart part;
  part.SetupHTML(Uni("UTF-8"), UniString(), UniString());
  std::string longLine = "<p>";
  for (int i = 0; i < 60; ++i) longLine += "caf\xC3\xA9 <img src=\"a.gif\"> ";
  UniStringList body = Lines({longLine, "   <b>x</b>  "});
  std::vector<std::string> const lines = RunSection(part, Section::Body, &body, true, nullptr);
  ExpectWireSafe(lines, "html", true);
  std::string expected = longLine;
  expected.pop_back();
  EXPECT_EQ(PythonText(mimecheck::RunMessages({Wire(part, lines)})[0]), expected + "\n   <b>x</b>");
}

}  // namespace
