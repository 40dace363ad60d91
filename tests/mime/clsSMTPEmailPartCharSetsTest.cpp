// Tests of the charset conversion and the encoders against independent references: Python's
// codecs, quopri and email.header (through tools/mimecheck), and the host calls the conversion
// makes (recorded by standing in front of the SDK's GetBytes).
#include <dlfcn.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/TextEncoders.h"
#include "mime/clsSMTPEmailPart.h"
#include "mime/MimeCheck.h"
#include "platform/fmx/FMXText.h"

using mimecheck::Ansi;
using mimecheck::Bytes;
using mimecheck::Uni;

namespace {

std::vector<uint32_t>* g_pvecHostPositions = nullptr;

}  // namespace

// Records the position of every host conversion, then lets the SDK do it.
void fmx::Text::GetBytes(char* buffer, uint32 bufferSize, uint32 position, uint32 size, int32 encoding) const {
  using RealGetBytes = void (*)(Text const*, char*, uint32, uint32, uint32, int32);
  static RealGetBytes real = reinterpret_cast<RealGetBytes>(dlsym(RTLD_NEXT, "_ZNK3fmx4Text8GetBytesEPcjjji"));
  if (g_pvecHostPositions != nullptr) g_pvecHostPositions->push_back(position);
  real(this, buffer, bufferSize, position, size, encoding);
}

namespace {

struct stcSample {
  char const* charset;
  char const* codec;  // the Python codec of the bytes the conversion gives
  char const* text;
};

stcSample const kSamples[] = {
    {"UTF-8", "utf-8", "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"},
    {"ISO-8859-1", "latin-1", "Caf\xC3\xA9 cr\xC3\xA8me"},
    {"ISO-8859-2", "iso8859-2", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85"},
    {"ISO-8859-3", "iso8859-3", "\xC4\xA6" "a\xC4\xA1" "ar \xC4\x8B"},
    {"ISO-8859-4", "iso8859-4", "\xC4\xBB" "a\xC5\x86 \xC4\x81"},
    {"ISO-8859-5", "iso8859-5", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
    {"ISO-8859-6", "iso8859-6", "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7"},
    {"ISO-8859-9", "iso8859-9", "T\xC3\xBCrk\xC3\xA7" "e \xC4\x9F\xC4\xB1\xC5\x9F"},
    {"ISO-8859-15", "iso8859-15", "\xE2\x82\xACuro \xC5\x93"},
    {"WINDOWS-1250", "cp1250", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"},
    {"WINDOWS-1251", "cp1251", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
    {"WINDOWS-1252", "cp1252", "\xE2\x82\xAC caf\xC3\xA9"},
    {"WINDOWS-1253", "cp1253", "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1"},
    {"WINDOWS-1254", "cp1254", "T\xC3\xBCrk\xC3\xA7" "e \xC4\x9F\xC4\xB1\xC5\x9F"},
    {"WINDOWS-1255", "cp1255", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},
    {"WINDOWS-1256", "cp1256", "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7"},
    {"WINDOWS-1257", "cp1257", "\xC4\x84\xC4\x8D\xC4\x99\xC4\x97\xC4\xAF\xC5\xA1\xC5\xB3\xC5\xAB\xC5\xBE"},
    {"BIG5", "cp950", "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB8\xAC\xE8\xA9\xA6"},
    {"GB2312", "gbk", "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95"},
    {"ISO-2022-JP", "cp932",
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88"},
    {"KOI8-R", "koi8-r", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD1\x91\xD0\x81"},
    {"KS_C_5601-1987", "cp949", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"},
};

std::string Repeat(std::string const& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(clsSMTPEmailPartCharSetsTest, ConversionGivesThePythonCodecBytesForEveryCharset) {
  clsSMTPEmailPart part;
  std::string const kanji = "\xE6\xBC\xA2";  // one kanji, two bytes in the double-byte charsets
  // Each sample, a long run that crosses several host chunks, and 200 kanji where the charset
  // has them.
  std::vector<std::string> records, texts, charsets;
  for (auto const& s : kSamples) {
    std::vector<std::string> mine = {s.text, Repeat(std::string(s.text) + " ", 30)};
    std::string const codec = s.codec;
    if (codec == "cp932" || codec == "gbk" || codec == "cp950" || codec == "utf-8") mine.push_back(Repeat(kanji, 200));
    for (auto const& text : mine) {
      records.push_back(codec + " " + text);
      texts.push_back(text);
      charsets.push_back(s.charset);
    }
  }
  std::vector<std::string> const expected = mimecheck::RunRecords("encode", records, "-");
  ASSERT_EQ(expected.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni(texts[i]), Uni(charsets[i]))), expected[i]) << charsets[i] << " " << i;
  }
  // Names are compared trimmed and without regard to case; an unknown name gives ISO 8859-1.
  EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni("Caf\xC3\xA9"), Uni("  utf-8 "))), "Caf\xC3\xA9");
  EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni("Caf\xC3\xA9"), Uni("X-UNKNOWN"))), "Caf\xE9");
  // Tabs, CR and LF are trimmed too, a name ends at a zero unit, and a near miss is no match.
  EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni("\xD0\x9F"), Uni("\tWindows-1251\r\n"))), "\xCF");
  unsigned short const withZero[] = {'u', 't', 'f', '-', '8', 0, 'X'};
  EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni("Caf\xC3\xA9"), UniString(withZero, 7))), "Caf\xC3\xA9");
  EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni("Caf\xC3\xA9"), Uni("UTF-88"))), "Caf\xE9");
  EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni("Caf\xC3\xA9"), Uni("UTF_8"))), "Caf\xE9");
  EXPECT_EQ(Bytes(part.GetLineByCharSet(UniString(), Uni("UTF-8"))), "");
}

TEST(clsSMTPEmailPartCharSetsTest, HostChunksConvertEveryCharacterOnce) {
  clsSMTPEmailPart part;
  std::vector<uint32_t> positions;
  g_pvecHostPositions = &positions;
  AnsiString const bytes = part.GetLineByCharSet(UniString::StringOfChar('x', 130), Uni("ISO-8859-1"));
  g_pvecHostPositions = nullptr;
  EXPECT_EQ(bytes.Length(), 130);
  EXPECT_EQ(positions, (std::vector<uint32_t>{0, 64, 128, 192}));

  // 64 double-byte characters fill a chunk completely.
  std::string const kana = Repeat("\xE3\x81\x82", 64) + "\xE3\x81\x84";
  EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni(kana), Uni("ISO-2022-JP"))), Repeat("\x82\xA0", 64) + "\x82\xA2");
  // A surrogate pair across a chunk's end is one character, one "?".
  std::string const split = Repeat("a", 63) + "\xF0\x9F\x98\x80" + "b";
  EXPECT_EQ(Bytes(part.GetLineByCharSet(Uni(split), Uni("ISO-8859-1"))), Repeat("a", 63) + "?b");
}

TEST(clsSMTPEmailPartCharSetsTest, QuotedPrintableOfEveryByteDecodesToTheInput) {
  clsSMTPEmailPart part;
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  AnsiString const body = part.QPEncodeLine(Ansi(all), false);
  AnsiString const header = part.QPEncodeLine(Ansi(all), true);
  for (AnsiString const* encoded : {&body, &header}) {
    std::string const e = Bytes(*encoded);
    EXPECT_EQ(e.find('\r'), std::string::npos);
    EXPECT_EQ(e.find('\n'), std::string::npos);
  }
  EXPECT_EQ(mimecheck::RunRecords("qp", {Bytes(body)}), std::vector<std::string>{all});
  EXPECT_EQ(mimecheck::RunRecords("qp", {Bytes(header)}, "", "--header"), std::vector<std::string>{all});
  // A "Q" word holds printable characters only, no blank, and nothing that ends a quoted value.
  for (unsigned char c : Bytes(header)) EXPECT_TRUE(c > 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') << int(c);

  struct {
    char const* in;
    bool header;
    char const* out;
  } const cases[] = {{"=", false, "=3D"},      {"a=b", true, "a=3Db"},   {"a b?", false, "a b?"},
                     {"a b?", true, "a_b=3F"}, {"a_b", true, "a=5Fb"},   {"\t x", false, "\t x"},
                     {"\"\\", true, "=22=5C"}, {"\"\\", false, "\"\\"}};
  for (auto const& c : cases) EXPECT_EQ(Bytes(part.QPEncodeLine(c.in, c.header)), c.out) << c.in;
}

TEST(clsSMTPEmailPartCharSetsTest, EncodedWordsDecodeToTheTextForEveryCharset) {
  clsSMTPEmailPart part;
  std::vector<std::string> records, texts;
  std::vector<bool> base64;
  for (auto const& s : kSamples) {
    for (std::string const& text : {std::string(s.text), Repeat(std::string(s.text) + " ", 12)}) {
      AnsiString const bytes = part.GetLineByCharSet(Uni(text), Uni(s.charset));
      for (bool b64 : {true, false}) {
        std::string const word = Bytes(part.MaybeEncodeHeader(bytes, Uni(s.charset), b64));
        records.push_back(word);
        texts.push_back(text);
        base64.push_back(b64);
        if (!b64) continue;
        // Each word of a split text is at most 75 characters long; ISO-2022-JP ones end in ASCII.
        size_t start = 0;
        while (start < word.size()) {
          size_t end = word.find("\r\n ", start);
          if (end == std::string::npos) end = word.size();
          std::string const one = word.substr(start, end - start);
          EXPECT_LE(one.size(), 75u) << s.charset;
          if (std::string(s.charset) == "ISO-2022-JP") {
            size_t const q = one.find("?B?");
            std::string const data = Bytes(Base64DecodeString(Ansi(one.substr(q + 3, one.size() - q - 5))));
            EXPECT_EQ(data.substr(data.rfind('\x1B'), 3), "\x1B(B") << one;
          }
          start = end + 3;
        }
      }
    }
  }
  std::vector<std::string> const decoded = mimecheck::RunRecords("words", records);
  ASSERT_EQ(decoded.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(decoded[i], texts[i]) << records[i];

  struct {
    char const* bytes;
    char const* charset;
    bool base64;
    char const* out;
  } const cases[] = {
      {"Caf\xE9", "ISO-8859-1", false, "=?ISO-8859-1?Q?Caf=E9?="},
      {"Caf\xE9", "ISO-8859-1", true, "=?ISO-8859-1?B?Q2Fm6Q==?="},
      {"Plain text", "ISO-2022-JP", true, "Plain text"},
      {"Caf\xE9.pdf", "ISO-8859-1", false, "=?ISO-8859-1?Q?Caf=E9.pdf?="},
  };
  for (auto const& c : cases) EXPECT_EQ(Bytes(part.MaybeEncodeHeader(c.bytes, Uni(c.charset), c.base64)), c.out);
}

TEST(clsSMTPEmailPartCharSetsTest, ShiftJISBecomesWhatPythonWritesAsISO2022JP) {
  clsSMTPEmailPart part;
  // Every JIS X 0208 character Python knows, through the host's Shift_JIS, back to its pair.
  std::vector<std::string> candidates;
  std::vector<std::pair<int, int>> cells;
  for (int row = 0x21; row <= 0x74; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell) {
      candidates.push_back(std::string("\x1B$B") + char(row) + char(cell) + "\x1B(B");
      cells.emplace_back(row, cell);
    }
  }
  std::vector<std::string> const chars = mimecheck::RunRecords("decode", candidates, "iso2022_jp");
  ASSERT_EQ(chars.size(), candidates.size());
  int checked = 0, skipped = 0;
  for (size_t i = 0; i < chars.size(); ++i) {
    if (chars[i].rfind("!error", 0) == 0) continue;
    std::string sjis = Bytes(part.GetLineByCharSet(Uni(chars[i]), Uni("ISO-2022-JP")));
    if (sjis.size() != 2) {  // the wave-dash group: characters the host's Shift_JIS maps elsewhere
      ++skipped;
      continue;
    }
    unsigned char lead = static_cast<unsigned char>(sjis[0]);
    unsigned char trail = static_cast<unsigned char>(sjis[1]);
    SJIStoJIS(&lead, &trail);
    if (lead == cells[i].first && trail == cells[i].second) {
      ++checked;
    } else {
      ++skipped;
    }
  }
  EXPECT_GT(checked, 6800);
  EXPECT_LT(skipped, 20);

  // Whole lines of ASCII, kana, kanji and half-width katakana against Python (NFKC first).
  std::vector<std::string> const lines = {
      "Hello \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E world",
      "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86 ~\\ \xE3\x82\xAB\xE3\x82\xBF\xE3\x82\xAB\xE3\x83\x8A",
      "\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84 \xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBE\x8A\xEF\xBE\x9F\xEF\xBD\xB3\xEF\xBE\x9E x",
      "\xE6\xBC\xA2\xE5\xAD\x97",
      "plain ascii only",
  };
  std::vector<std::string> const expected = mimecheck::RunRecords("encode", lines, "nfkc:iso2022_jp");
  ASSERT_EQ(expected.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    AnsiString const sjis = part.GetLineByCharSet(Uni(lines[i]), Uni("ISO-2022-JP"));
    EXPECT_EQ(Bytes(part.JPEncodeLine(sjis)), expected[i]) << lines[i];
  }
  // Two characters and "A"; a lead byte that ends the input stands alone.
  EXPECT_EQ(Bytes(part.JPEncodeLine("\x82\xA0\x88\x9F" "A")), "\x1B$B\x24\x22\x30\x21\x1B(BA");
  EXPECT_EQ(Bytes(part.JPEncodeLine("a\xE0")), "a\xE0");
}

TEST(clsSMTPEmailPartCharSetsTest, ISO2022JPCutterBreaksAtBlanksOutsideJISRuns) {
  clsSMTPEmailPart part;
  std::string const jis = "\x1B$B\x24\x22\x24\x20\x24\x24\x1B(B";  // a blank byte inside the run
  struct {
    std::string pending;
    int width;
    std::string line, rest;
  } const cases[] = {
      {"aaa bbb cccccccc", 10, "aaa bbb ", "cccccccc"},
      {"aaaaaaaaaaaa bbb", 10, "aaaaaaaaaaaa ", "bbb"},
      {std::string(2000, 'a'), 75, std::string(2000, 'a'), ""},
      {std::string(2000, 'a'), 995, std::string(990, 'a'), std::string(1010, 'a')},
      {"short", 10, "short", ""},
      {"ab " + jis + jis + " cd", 8, "ab ", jis + jis + " cd"},
      {jis + jis + jis + "x yz", 8, jis + jis + jis + "x ", "yz"},
  };
  for (auto const& c : cases) {
    AnsiString pending = Ansi(c.pending);
    EXPECT_EQ(Bytes(part.GetLineJP(pending, c.width, false)), c.line) << c.pending;
    EXPECT_EQ(Bytes(pending), c.rest) << c.pending;
  }
}

TEST(clsSMTPEmailPartCharSetsTest, HighASCIITests) {
  UniStringList empty, cafe;
  cafe.Add(Uni("plain"));
  cafe.Add(Uni("caf\xC3\xA9"));
  EXPECT_FALSE(HasHighASCII(AnsiString()));
  EXPECT_FALSE(HasHighASCII(UniString()));
  EXPECT_FALSE(HasHighASCII(static_cast<UniStringList const*>(nullptr)));
  EXPECT_FALSE(HasHighASCII(&empty));
  EXPECT_TRUE(HasHighASCII(AnsiString("caf\xE9")));
  EXPECT_FALSE(HasHighASCII(AnsiString("cafe\x7F")));
  EXPECT_TRUE(HasHighASCII(Uni("caf\xC3\xA9")));
  EXPECT_TRUE(HasHighASCII(&cafe));
}

}  // namespace
