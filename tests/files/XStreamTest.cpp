// Tests of XStream: the SetPos origins and line input and output over a memory stream in every
// line ending and encoding (UTF-16 both byte orders, UTF-8, UTF-8 with Latin-1 fallback, code
// page 2 from the resource file that tests/support opens), including zero bytes, UTF-8 and
// Shift_JIS characters and CR runs across the 64-byte read chunk, a 1 MiB line, and a read
// failure inside a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <chrono>
#include <string>
#include <vector>

#include "files/XMemoryStream.h"
#include "files/XStream.h"

namespace {

class PeekableStream : public XMemoryStream {
 public:
  using XMemoryStream::XMemoryStream;
  int32_t Position() const { return m_lngPosition; }
};

std::string Utf8(UniString const& text) { return text.GetAnsiString(1).c_str(); }

std::string Contents(XMemoryStream& stream) {
  if (stream.GetSize() == 0) return std::string();
  return std::string(reinterpret_cast<char const*>(stream.GetBuffer()), size_t(stream.GetSize()));
}

void Fill(XMemoryStream& stream, std::string const& bytes) {
  stream.WriteBytes(reinterpret_cast<unsigned char const*>(bytes.data()), int32_t(bytes.size()));
  stream.SetPos(0, kStreamFromStart);
}

// How an ASCII table entry is put into the stream and read back; -1 is the AnsiString form,
// 0 and 1000 UTF-16 big- and little-endian, the rest encoding numbers.
int const kForms[] = {-1, 1, 101, 0, 1000, 2};

std::string Encode(std::string const& ascii, int form) {
  if (form != 0 && form != 1000) return ascii;
  std::string out;
  for (char c : ascii) out += form == 0 ? std::string{'\0', c} : std::string{c, '\0'};
  return out;
}

// Every line rendered as ASCII; each count must be the line's length and no error may arise.
std::vector<std::string> ReadAll(XMemoryStream& stream, int form, enumLineEndingType ending,
                                 bool strip) {
  std::vector<std::string> lines;
  while (!stream.AtEnd() && lines.size() < 50) {
    int32_t count = 0;
    std::string line;
    if (form < 0) {
      AnsiString text;
      count = stream.ReadLine(&text, ending, strip);
      line.assign(text.c_str(), size_t(text.Length()));
    } else {
      UniString text;
      count = stream.ReadLine(&text, ending, form % 1000, form == 1000, strip);
      line = Utf8(text);
    }
    EXPECT_TRUE(stream.ErrorString().IsEmpty() && count == int32_t(line.size()));
    lines.push_back(line);
  }
  return lines;
}

TEST(XStreamTest, SetPosFollowsTheOriginTable) {
  struct {
    int32_t start, offset;
    int origin;
    int32_t expected;
  } const cases[] = {
      {0, 5, 1, 15},  {0, -5, 1, 15}, {0, 25, 1, 0},   {0, 20, 1, 0},   {0, 30, 0, 20},
      {9, -4, 0, 0},  {10, -30, 2, 0}, {10, -3, 2, 7}, {10, 15, 2, 20}, {7, 3, 9, 7},
  };
  for (auto const& c : cases) {
    PeekableStream stream(20);
    stream.SetPos(c.start, kStreamFromStart);
    EXPECT_TRUE(stream.SetPos(c.offset, c.origin));
    EXPECT_EQ(stream.Position(), c.expected) << c.start << " " << c.offset << " " << c.origin;
  }
}

TEST(XStreamTest, ReadLineSplitsEveryEndingInEveryEncoding) {
  struct {
    char const* bytes;
    enumLineEndingType ending;
    bool strip;
    std::vector<std::string> lines;
  } const cases[] = {
      {"a\r\nb", kLineEndingNone, false, {"a\r\n", "b"}},
      {"a\r\nb", kLineEndingNone, true, {"a", "b"}},
      {"a\rb", kLineEndingNone, false, {"a\r", "b"}},
      {"a\rb", kLineEndingCR, true, {"a", "b"}},
      {"a\rb", kLineEndingLF, false, {"a\rb"}},
      {"a\rb", kLineEndingCRLF, true, {"ab"}},  // a lone CR goes on the line, dropped when stripping
      {"a\nb", kLineEndingNone, false, {"a\n", "b"}},
      {"a\nb", kLineEndingLF, true, {"a", "b"}},
      {"a\nb", kLineEndingCR, false, {"a\nb"}},
      {"a\nb", kLineEndingCRLF, false, {"a\nb"}},
      {"a\r\nb\r\n", kLineEndingCRLF, true, {"a", "b"}},
      {"a\r\nb", kLineEndingLF, true, {"a", "b"}},
      {"a\n\rb", kLineEndingNone, false, {"a\n", "\r", "b"}},
      {"a\n\rb", kLineEndingNone, true, {"a", "", "b"}},
      {"a\n\rb", kLineEndingLF, false, {"a\n", "\rb"}},
      {"a\r\r\nb", kLineEndingNone, false, {"a\r", "\r\n", "b"}},
      {"a\r", kLineEndingLF, false, {"a\r"}},
      {"a\r", kLineEndingCRLF, true, {"a"}},
      {"\n\n", kLineEndingNone, true, {"", ""}},
  };
  ASSERT_TRUE(UniString("A", 2, 1).IsNotEmpty()) << "code page 2 did not load";
  for (int form : kForms) {
    for (auto const& c : cases) {
      XMemoryStream stream;
      Fill(stream, Encode(c.bytes, form));
      EXPECT_EQ(ReadAll(stream, form, c.ending, c.strip), c.lines)
          << "form " << form << " ending " << c.ending << " strip " << c.strip;
    }
  }
}

TEST(XStreamTest, ReadLineReportsTheEndAndRefusesBadArguments) {
  PeekableStream stream;
  UniString line("old");
  EXPECT_EQ(stream.ReadLine(&line, kLineEndingNone, 1, false, false), 0);
  EXPECT_TRUE(stream.ErrorString().IsEmpty() && line.IsEmpty());
  EXPECT_EQ(stream.ReadLine(static_cast<AnsiString*>(nullptr), kLineEndingNone, false), 0);
  EXPECT_EQ(Utf8(stream.ErrorString()), "Output Line is NULL!");
  // An encoding that cannot convert is refused before a byte is consumed.
  Fill(stream, "abc\n");
  EXPECT_EQ(stream.ReadLine(&line, kLineEndingNone, 7, false, false), 0);
  EXPECT_EQ(Utf8(stream.ErrorString()), "Text Encoding 7 is not available.");
  EXPECT_EQ(stream.Position(), 0);
}

TEST(XStreamTest, ReadLineKeepsZeroBytes) {
  XMemoryStream stream;
  Fill(stream, std::string("ab\0cd\nz", 7));
  AnsiString ansi;
  EXPECT_EQ(stream.ReadLine(&ansi, kLineEndingLF, true), 5);
  EXPECT_EQ(std::string(ansi.c_str(), 5), std::string("ab\0cd", 5));
  stream.SetPos(0, kStreamFromStart);
  UniString text;
  EXPECT_EQ(stream.ReadLine(&text, kLineEndingLF, 1, false, true), 5);
  EXPECT_TRUE(text == UniString("ab\0cd", 1, 5));
  // UTF-16: a zero unit inside the line stays; half a unit at the end ends the line.
  XMemoryStream wide;
  Fill(wide, std::string("\0a\0\0\0b\0", 7));
  EXPECT_EQ(wide.ReadLine(&text, kLineEndingNone, 0, false, false), 3);
  EXPECT_TRUE(text == UniString("a\0b", 1, 3));
}

TEST(XStreamTest, LinesCrossChunkBordersWhole) {
  // 200 units with runs of ten lone CRs across the first 32-unit and 64-byte borders.
  std::string body;
  for (int i = 0; i < 200; ++i) body += char('a' + i % 26);
  for (int i = 0; i < 10; ++i) body[27 + i] = body[58 + i] = '\r';
  for (int form : kForms) {
    XMemoryStream stream;
    Fill(stream, Encode(body + "\n" + body, form));
    EXPECT_EQ(ReadAll(stream, form, kLineEndingLF, false),
              (std::vector<std::string>{body + "\n", body}))
        << "form " << form;
  }
  // A line of 1 MiB comes back whole and costs about what the same bytes cost in lines of 64:
  // the line used to grow by a copy of itself every 64 bytes (quadratic: half a minute for a
  // long preference value). A stream whose byte reads cost next to nothing shows the copies.
  // The bound is wide (the quadratic growth costs a thousand times more), so that a busy machine
  // cannot fail it.
  class CheapStream : public XStream {
   public:
    explicit CheapStream(std::string bytes) : m_strBytes(std::move(bytes)) {
      m_lngSize = int32_t(m_strBytes.size());
    }
    int32_t ReadBytes(unsigned char* buffer, int32_t count) override {
      int32_t const got = PeekBytes(buffer, count);
      m_lngPosition += got;
      return got;
    }
    int32_t PeekBytes(unsigned char* buffer, int32_t count) override {
      int32_t const got = std::min(count, m_lngSize - m_lngPosition);
      std::memcpy(buffer, m_strBytes.data() + m_lngPosition, size_t(got));
      return got;
    }
    std::string m_strBytes;
  };
  std::string huge;
  while (huge.size() < (size_t{1} << 20)) huge += "K=\"vvvvvvv\" ";
  std::string shortLines = huge;
  for (size_t i = 63; i < shortLines.size(); i += 64) shortLines[i] = '\r';
  size_t const shortCount = size_t(std::count(shortLines.begin(), shortLines.end(), '\r')) + 1;
  for (int form : {-1, 1, 0}) {
    // The best of three times for reading all lines of the text; *lines gets the lines.
    auto timeRead = [form](std::string const& text, std::vector<std::string>* lines) {
      double best = 1e9;
      for (int run = 0; run < 3; ++run) {
        CheapStream stream(Encode(text + "\r", form));
        lines->clear();
        auto const start = std::chrono::steady_clock::now();
        while (!stream.AtEnd()) {
          if (form < 0) {
            AnsiString line;
            stream.ReadLine(&line, kLineEndingNone, true);
            lines->emplace_back(line.c_str(), size_t(line.Length()));
          } else {
            UniString line;
            stream.ReadLine(&line, kLineEndingNone, form, false, true);
            lines->push_back(Utf8(line));
          }
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                            start).count());
      }
      return best;
    };
    std::vector<std::string> lines;
    double const oneLine = timeRead(huge, &lines);
    EXPECT_TRUE(lines == std::vector<std::string>{huge}) << "form " << form;
    double const manyLines = timeRead(shortLines, &lines);
    EXPECT_EQ(shortCount, lines.size());
    EXPECT_LT(oneLine, 20 * manyLines + 0.05) << "form " << form;
  }
  // A UTF-8 character that straddles a border decodes as when the text is decoded in one piece.
  for (int encoding : {1, 101}) {
    for (std::string character : {"\xC3\xA9", "\xE2\x82\xAC", "\xE0\xA4\x85", "\xED\x9F\xBF"}) {
      for (int lead = 56; lead <= 136; ++lead) {
        std::string const text = std::string(size_t(lead), 'x') + character + character + "y";
        XMemoryStream stream;
        Fill(stream, text + "\r\n");
        UniString line;
        EXPECT_EQ(stream.ReadLine(&line, kLineEndingCRLF, encoding, false, true),
                  int32_t(text.size()));
        EXPECT_TRUE(line == UniString(text.c_str(), encoding, int(text.size())))
            << "lead " << lead << " encoding " << encoding;
      }
    }
  }
}

TEST(XStreamTest, ShiftJISCharacterAtTheChunkBorderStaysWhole) {
  // A double-byte character whose lead byte is a chunk's 64th byte (63 letters before it) reads
  // like the others: U+3042 from 82 A0, never two question marks.
  for (int lead = 60; lead <= 68; ++lead) {
    std::string const letters(size_t(lead), 'a');
    XMemoryStream stream;
    Fill(stream, letters + "\x82\xA0" + "b\n" + letters + "\x93\xFA\x82\xA0\n");
    UniString line;
    EXPECT_EQ(stream.ReadLine(&line, kLineEndingLF, 5, false, true), lead + 3);
    EXPECT_EQ(Utf8(line), letters + "\xE3\x81\x82" "b") << "lead " << lead;
    EXPECT_EQ(stream.ReadLine(&line, kLineEndingLF, 5, false, true), lead + 4);
    EXPECT_EQ(Utf8(line), letters + "\xE6\x97\xA5\xE3\x81\x82") << "lead " << lead;
  }
}

TEST(XStreamTest, ReadLineFailureKeepsTheTextReadSoFar) {
  class FailingStream : public XMemoryStream {  // reads fail after 100 bytes
   public:
    int32_t ReadBytes(unsigned char* buffer, int32_t count) override {
      if (++m_intReads <= 100) return XMemoryStream::ReadBytes(buffer, count);
      ResetError("Disk gone");
      return 0;
    }
    int m_intReads = 0;
  } stream;
  Fill(stream, std::string(150, 'q') + "\n");
  AnsiString line;
  EXPECT_EQ(stream.ReadLine(&line, kLineEndingNone, false), 0);
  EXPECT_EQ(Utf8(stream.ErrorString()), "Disk gone");
  EXPECT_EQ(line.Length(), 64);  // the full chunk appended before the failure
}

TEST(XStreamTest, WriteLineWritesEveryEncodingAndEnding) {
  UniString const text("a\xC3\xA9");  // a, e-acute
  std::string const wideEnds[] = {"", std::string("\0\r", 2), std::string("\0\n", 2),
                                  std::string("\0\r\0\n", 4)};
  std::string const ends[] = {"", "\r", "\n", "\r\n"};
  for (int ending = 0; ending < 4; ++ending) {
    auto const type = static_cast<enumLineEndingType>(ending);
    for (auto const& c : {std::make_pair(0, std::string("\0a\0\xE9", 4) + wideEnds[ending]),
                          std::make_pair(1, "a\xC3\xA9" + ends[ending]),
                          std::make_pair(2, "Type" + ends[ending])}) {
      XMemoryStream stream;
      EXPECT_EQ(stream.WriteLine(c.first == 2 ? UniString("Type") : text, type, c.first),
                int32_t(c.second.size()));
      EXPECT_EQ(Contents(stream), c.second) << c.first << " " << ending;
      XMemoryStream empty;
      empty.WriteLine(UniString(), type, c.first);
      EXPECT_EQ(Contents(empty), c.first == 0 ? wideEnds[ending] : ends[ending]);
    }
  }
  XMemoryStream ansi;
  EXPECT_EQ(ansi.WriteLine(AnsiString("x"), kLineEndingNone), 1);
  EXPECT_EQ(ansi.WriteLine(AnsiString("y"), kLineEndingCRLF), 3);
  EXPECT_EQ(Contents(ansi), "xy\r\n");
  // Three-byte UTF-8 characters fill the buffer exactly when no line end follows: none is lost.
  for (std::string const utf8 : {"\xE2\x82\xAC", "\xE2\x82\xAC\xE6\x97\xA5",
                                 "\xED\xA0\xBD\xED\xB8\x80"}) {
    XMemoryStream stream;
    EXPECT_EQ(stream.WriteLine(UniString(utf8.c_str(), 1, -1), kLineEndingNone, 1),
              int32_t(utf8.size()));
    EXPECT_EQ(Contents(stream), utf8);
  }
  // Text that cannot be converted is refused, not written as a bare line end.
  for (int encoding : {101, 6, -1}) {
    XMemoryStream refused;
    EXPECT_EQ(refused.WriteLine(UniString("lost?"), kLineEndingCR, encoding), 0);
    EXPECT_EQ(Utf8(refused.ErrorString()),
              "Text Encoding " + std::to_string(encoding) + " is not available.");
    EXPECT_EQ(refused.GetSize(), 0);
  }
  // Lines of growing and shrinking length read back as written (the write buffer regrows).
  for (int encoding : {0, 1}) {
    XMemoryStream stream;
    UniString const lines[] = {UniString("z\xE2\x82\xAC"), UniString(std::string(300, 'L').c_str()),
                               UniString("short")};
    for (auto const& line : lines) stream.WriteLine(line, kLineEndingCRLF, encoding);
    stream.SetPos(0, kStreamFromStart);
    for (auto const& expected : lines) {
      UniString line;
      stream.ReadLine(&line, kLineEndingCRLF, encoding, false, true);
      EXPECT_TRUE(line == expected) << encoding << " " << Utf8(line);
    }
  }
}

}  // namespace
