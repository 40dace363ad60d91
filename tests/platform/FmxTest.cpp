// Tests of the plug-in SDK stand-in: text round trips and encodings, value conversions the
// plug-in relies on, container streams, and the forwarding to an installed host (and the
// failures without one).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iconv.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/fmx/FMWrapper.h"

namespace {

using ::testing::_;
using ::testing::Return;

fmx::Text Utf8Text(std::string const& utf8) {
  fmx::Text text;
  text.AssignWithLength(utf8.data(), fmx::uint32(utf8.size()), fmx::Text::kEncoding_UTF8);
  return text;
}

std::string Bytes(fmx::Text const& text, fmx::int32 encoding, fmx::uint32 bufferSize = 256, fmx::uint32 position = 0,
                  fmx::uint32 size = fmx::Text::kSize_End) {
  std::vector<char> buffer(bufferSize + 1, 'x');
  text.GetBytes(buffer.data(), bufferSize, position, size, encoding);
  return std::string(buffer.data());
}

std::u16string Units(fmx::Text const& text) {
  std::u16string units(text.GetSize(), u'\0');
  text.GetUnicode(reinterpret_cast<fmx::unichar16*>(&units[0]), 0, fmx::Text::kSize_End);
  return units;
}

fmx::Data TextData(std::string const& utf8, fmx::int32 nativeType = fmx::Data::kDTText) {
  fmx::Data data;
  data.SetAsText(Utf8Text(utf8), fmx::Locale(fmx::Locale::kType_Current), nativeType);
  return data;
}

std::string TextOf(fmx::Data const& data) { return Bytes(data.GetAsText(), fmx::Text::kEncoding_UTF8, 1024); }

TEST(FmxText, Utf8AndUtf16RoundTrip) {
  struct {
    std::string utf8;
    std::u16string units;
  } const cases[] = {
      {"", u""},
      {"Velmora", u"Velmora"},
      {"Caf\xC3\xA9 \xE2\x82\xAC", u"Caf\u00E9 \u20AC"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C"},
      {"a\xF0\x9F\x98\x80z", u"a\U0001F600z"},  // a surrogate pair is two units
      {"a\rb\n", u"a\rb\n"},
  };
  for (auto const& c : cases) {
    fmx::Text text = Utf8Text(c.utf8);
    EXPECT_EQ(Units(text), c.units) << c.utf8;
    EXPECT_EQ(text.GetSize(), c.units.size()) << c.utf8;
    EXPECT_EQ(Bytes(text, fmx::Text::kEncoding_UTF8), c.utf8);
    EXPECT_EQ(Bytes(text, fmx::Text::kEncoding_Native), c.utf8);

    fmx::Text back;
    back.AssignUnicode(reinterpret_cast<const fmx::unichar16*>(c.units.c_str()));
    EXPECT_EQ(back, text);
  }

  // Malformed UTF-8 costs one replacement per bad byte and keeps the rest.
  EXPECT_EQ(Units(Utf8Text("a\xFF" "b\xC3")), u"a\uFFFDb\uFFFD");
  EXPECT_EQ(Units(Utf8Text("\xE0\x80\x80")), u"\uFFFD\uFFFD\uFFFD");  // overlong form
  fmx::Text empty;
  empty.Assign(nullptr);
  EXPECT_EQ(empty.GetSize(), 0u);
  // AssignUnicodeWithLength keeps an inner U+0000.
  const fmx::unichar16 withNul[] = {'a', 0, 'b'};
  empty.AssignUnicodeWithLength(withNul, 3);
  EXPECT_EQ(empty.GetSize(), 3u);
}

TEST(FmxText, RangesFindAndDelete) {
  fmx::Text text = Utf8Text("one\rtwo\rthree");
  fmx::Text cr = Utf8Text("\r");
  EXPECT_EQ(text.Find(cr, 0), 3u);
  EXPECT_EQ(text.Find(cr, 4), 7u);
  EXPECT_EQ(text.Find(cr, 8), fmx::uint32(fmx::Text::kSize_Invalid));
  EXPECT_EQ(text.Find(cr, 100), fmx::uint32(fmx::Text::kSize_Invalid));
  EXPECT_EQ(text.Find(fmx::Text(), 0), fmx::uint32(fmx::Text::kSize_Invalid));

  fmx::Text part;
  part.SetText(text, 4, 3);
  EXPECT_EQ(part, Utf8Text("two"));
  part.SetText(text, 0, 30);  // the first 30 units of a shorter text: all of it
  EXPECT_EQ(part, text);
  part.SetText(text, 50, 3);
  EXPECT_EQ(part.GetSize(), 0u);
  part.SetText(text, 8);
  part.SetText(part, 1, 2);  // from itself
  EXPECT_EQ(part, Utf8Text("hr"));

  part.AppendText(text, 3, 4);
  EXPECT_EQ(part, Utf8Text("hr\rtwo"));
  part.AppendText(text, 99);
  EXPECT_EQ(part, Utf8Text("hr\rtwo"));

  fmx::Text work = text;
  work.DeleteText(0, 4);
  EXPECT_EQ(work, Utf8Text("two\rthree"));
  work.DeleteText(3);
  EXPECT_EQ(work, Utf8Text("two"));
  work.DeleteText(10, 2);
  EXPECT_EQ(work, Utf8Text("two"));

  // GetUnicode copies only what exists and never writes a terminator.
  fmx::unichar16 buffer[4] = {9, 9, 9, 9};
  text.GetUnicode(buffer, 11, fmx::Text::kSize_End);
  EXPECT_EQ(buffer[0], 'e');
  EXPECT_EQ(buffer[1], 'e');
  EXPECT_EQ(buffer[2], 9);
  text.GetUnicode(buffer, 99, 2);
  EXPECT_EQ(buffer[0], 'e');
}

TEST(FmxText, GetBytesInHostEncodings) {
  struct {
    std::string utf8;
    fmx::int32 encoding;
    std::string bytes;
  } const cases[] = {
      {"Caf\xC3\xA9", fmx::Text::kEncoding_ISO_8859_1, "Caf\xE9"},
      {"\xE2\x82\xAC", fmx::Text::kEncoding_ASCII_Windows, "\x80"},
      {"\xE2\x82\xAC", fmx::Text::kEncoding_ISO_8859_15, "\xA4"},
      {"\xE2\x82\xAC", fmx::Text::kEncoding_ISO_8859_1, "?"},  // not in the code page
      {"\xD0\x96", fmx::Text::kEncoding_Cyrillic_Win, "\xC6"},
      {"\xD0\x96", fmx::Text::kEncoding_ISO_8859_5, "\xB6"},
      {"\xC5\x81", fmx::Text::kEncoding_ISO_8859_2, "\xA3"},
      {"\xC5\x81", fmx::Text::kEncoding_EastEurope_Win, "\xA3"},
      {"\xCE\xA9", fmx::Text::kEncoding_Greek_Win, "\xD9"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", fmx::Text::kEncoding_ShiftJIS_Win, "\x93\xFA\x96\x7B"},
      {"\xED\x95\x9C", fmx::Text::kEncoding_Korean_Win, "\xC7\xD1"},
      {"\xE4\xB8\xAD", fmx::Text::kEncoding_ChineseSimp_Win, "\xD6\xD0"},
      {"\xE4\xB8\xAD", fmx::Text::kEncoding_ChineseTrad_Win, "\xA4\xA4"},
      {"a\xF0\x9F\x98\x80" "b", fmx::Text::kEncoding_ISO_8859_1, "a?b"},  // a pair is one character
      // Runs of ISO-8859-1 go eight units at a time: one outside it in the middle of eight.
      {"abcdefg\xE2\x82\xAC" "hijklmnopqrstuvw\xC3\xA9", fmx::Text::kEncoding_ISO_8859_1, "abcdefg?hijklmnopqrstuvw\xE9"},
  };
  for (auto const& c : cases) EXPECT_EQ(Bytes(Utf8Text(c.utf8), c.encoding), c.bytes) << c.utf8 << " " << c.encoding;

  // Only whole characters fit: a 4-byte buffer holds one double-byte character and the NUL.
  fmx::Text japanese = Utf8Text("\xE6\x97\xA5\xE6\x9C\xAC");
  EXPECT_EQ(Bytes(japanese, fmx::Text::kEncoding_ShiftJIS_Win, 4), "\x93\xFA");
  EXPECT_EQ(Bytes(japanese, fmx::Text::kEncoding_ShiftJIS_Win, 1), "");
  EXPECT_EQ(Bytes(Utf8Text("0123456789abcdefghij"), fmx::Text::kEncoding_ISO_8859_1, 16), "0123456789abcde");
  // A range of the text, and a position past the end writes an empty string.
  fmx::Text longer(Utf8Text(std::string(130, 'q')));
  EXPECT_EQ(Bytes(longer, fmx::Text::kEncoding_ISO_8859_1, 128, 128, 64), "qq");
  EXPECT_EQ(Bytes(longer, fmx::Text::kEncoding_ISO_8859_1, 128, 192, 64), "");
  EXPECT_THROW(Bytes(longer, 99), std::invalid_argument);

  // And back: code-page bytes decode, undecodable bytes become U+FFFD.
  fmx::Text decoded;
  decoded.Assign("Caf\xE9", fmx::Text::kEncoding_ISO_8859_1);
  EXPECT_EQ(Units(decoded), u"Caf\u00E9");
  decoded.Assign("\x93\xFA\x96\x7B" "A", fmx::Text::kEncoding_ShiftJIS_Win);
  EXPECT_EQ(Units(decoded), u"\u65E5\u672CA");
  decoded.Assign("a\x81" "b", fmx::Text::kEncoding_ASCII_Windows);
  EXPECT_EQ(Units(decoded), u"a\uFFFDb");
}

// The conversion one character at a time through iconv, as the stand-in did before it kept
// tables: the results every code page must still give, byte for byte and unit for unit.
struct stcIconvReference {
  iconv_t cd;
  stcIconvReference(char const* to, char const* from) : cd(iconv_open(to, from)) {}
  ~stcIconvReference() { iconv_close(cd); }
  bool Convert(char const* in, size_t length, std::string& out, size_t* consumed = nullptr) {
    char buffer[64];
    char* inPtr = const_cast<char*>(in);
    size_t inLeft = length;
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t const rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (consumed) *consumed = length - inLeft;
    out.assign(buffer, outPtr);
    if (rc == size_t(-1)) iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return rc != size_t(-1);
  }
};

std::u16string ReferenceDecode(std::string const& bytes, char const* name) {
  stcIconvReference conv("UTF-16LE", name);
  std::u16string out;
  size_t i = 0;
  while (i < bytes.size()) {
    std::string piece;
    bool done = false;
    for (size_t width = 1; width <= 2 && i + width <= bytes.size() && !done; ++width) {
      size_t consumed = 0;
      if (conv.Convert(bytes.data() + i, width, piece, &consumed) && consumed == width && !piece.empty()) {
        for (size_t k = 0; k + 1 < piece.size(); k += 2)
          out.push_back(char16_t((unsigned char)piece[k] | ((unsigned char)piece[k + 1] << 8)));
        i += width;
        done = true;
      }
    }
    if (!done) {
      out.push_back(u'\uFFFD');
      ++i;
    }
  }
  return out;
}

std::string ReferenceEncode(std::u16string const& units, char const* name, size_t limit) {
  stcIconvReference conv(name, "UTF-16LE");
  std::string out;
  size_t i = 0;
  while (i < units.size()) {
    size_t const start = i++;
    if (units[start] >= 0xD800 && units[start] <= 0xDBFF && i < units.size() && units[i] >= 0xDC00 &&
        units[i] <= 0xDFFF)
      ++i;
    std::string in, bytes;
    for (size_t k = start; k < i; ++k) {
      in.push_back(char(units[k] & 0xFF));
      in.push_back(char(units[k] >> 8));
    }
    if (!conv.Convert(in.data(), in.size(), bytes) || bytes.empty()) bytes = "?";
    if (out.size() + bytes.size() > limit) break;
    out += bytes;
  }
  return out;
}

TEST(FmxText, CodePagesConvertAsIconvCharacterByCharacter) {
  struct {
    fmx::int32 encoding;
    char const* iconv;
  } const pages[] = {
      {fmx::Text::kEncoding_ASCII_Windows, "CP1252"},    {fmx::Text::kEncoding_ISO_8859_1, "ISO-8859-1"},
      {fmx::Text::kEncoding_ShiftJIS_Win, "CP932"},      {fmx::Text::kEncoding_Korean_Win, "CP949"},
      {fmx::Text::kEncoding_ChineseTrad_Win, "CP950"},   {fmx::Text::kEncoding_ChineseSimp_Win, "CP936"},
      {fmx::Text::kEncoding_Cyrillic_Win, "CP1251"},     {fmx::Text::kEncoding_ISO_8859_5, "ISO-8859-5"},
      {fmx::Text::kEncoding_EastEurope_Win, "CP1250"},   {fmx::Text::kEncoding_ISO_8859_2, "ISO-8859-2"},
      {fmx::Text::kEncoding_Turkish_Win, "CP1254"},      {fmx::Text::kEncoding_ISO_8859_3, "ISO-8859-3"},
      {fmx::Text::kEncoding_ISO_8859_9, "ISO-8859-9"},   {fmx::Text::kEncoding_Baltic_Win, "CP1257"},
      {fmx::Text::kEncoding_ISO_8859_4, "ISO-8859-4"},   {fmx::Text::kEncoding_Arabic_Win, "CP1256"},
      {fmx::Text::kEncoding_ISO_8859_6, "ISO-8859-6"},   {fmx::Text::kEncoding_Greek_Win, "CP1253"},
      {fmx::Text::kEncoding_Hebrew_Win, "CP1255"},       {fmx::Text::kEncoding_ISO_8859_15, "ISO-8859-15"},
  };
  // Bytes: every pair of bytes (so every lead byte before every trail byte), each byte alone
  // between spaces, Hebrew letters with their points, and a lead byte at the very end.
  std::string bytes;
  for (int lead = 0; lead < 256; ++lead)
    for (int trail = 0; trail < 256; ++trail) bytes += {char(lead), char(trail)};
  for (int b = 1; b < 256; ++b) bytes += {' ', char(b), ' '};
  bytes += "\xF9\xC8\xEC\xE5\xED \xE0\xC8\x81";
  // Units: every unit in order (lone surrogates, and the one pair DBFF DC00), pairs, a lone
  // surrogate at the end.
  std::u16string units;
  for (int u = 1; u < 0x10000; ++u) units.push_back(char16_t(u));
  units += u"\U0001F600a\U00020000\u05E9\u05C1\uFB2A";
  units.push_back(char16_t(0xD800));
  fmx::Text text;
  text.AssignUnicodeWithLength(reinterpret_cast<fmx::unichar16 const*>(units.data()), fmx::uint32(units.size()));
  for (auto const& page : pages) {
    SCOPED_TRACE(page.iconv);
    fmx::Text decoded;
    decoded.AssignWithLength(bytes.data(), fmx::uint32(bytes.size()), page.encoding);
    EXPECT_TRUE(Units(decoded) == ReferenceDecode(bytes, page.iconv));
    // Decoding from a fresh start each time: the text's last character alone, and after one
    // byte, so that the pairs fall the other way.
    decoded.AssignWithLength(bytes.data() + 1, fmx::uint32(bytes.size() - 1), page.encoding);
    EXPECT_TRUE(Units(decoded) == ReferenceDecode(bytes.substr(1), page.iconv));

    std::vector<char> buffer(units.size() * 4 + 1);
    text.GetBytes(buffer.data(), fmx::uint32(buffer.size()), 0, fmx::Text::kSize_End, page.encoding);
    EXPECT_TRUE(std::string(buffer.data()) == ReferenceEncode(units, page.iconv, buffer.size() - 1));
    // A small buffer at several places ends at the same whole character.
    for (fmx::uint32 position : {0x20u, 0xDBFEu, 0x3040u, 0xFFF0u}) {
      std::u16string const range = units.substr(position, 9);
      for (fmx::uint32 size : {1u, 2u, 5u, 8u}) {
        text.GetBytes(buffer.data(), size, position, 9, page.encoding);
        EXPECT_EQ(std::string(buffer.data()), ReferenceEncode(range, page.iconv, size - 1)) << position << " " << size;
      }
    }
  }
}

TEST(FmxData, NativeTypesAndEmptiness) {
  fmx::Data data;
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_EQ(data.GetNativeType(), fmx::Data::kDTInvalid);
  EXPECT_EQ(data.GetAsText().GetSize(), 0u);
  EXPECT_EQ(data.GetAsNumber().AsLong(), 0);

  data = TextData("");
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_EQ(data.GetNativeType(), fmx::Data::kDTText);
  data = TextData("x");
  EXPECT_FALSE(data.IsEmpty());
  EXPECT_EQ(data.GetBinaryData().GetCount(), 0);  // a text yields no streams

  fmx::FixPt zero;
  data.SetAsNumber(zero);
  EXPECT_FALSE(data.IsEmpty());  // the number 0 is a value
  EXPECT_EQ(data.GetNativeType(), fmx::Data::kDTNumber);

  fmx::BinaryData streams;
  data.SetBinaryData(streams, true);
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_EQ(data.GetNativeType(), fmx::Data::kDTBinary);
  ASSERT_EQ(streams.Add(fmx::QuadChar('F', 'I', 'L', 'E'), 3, "abc"), fmx::kNoErr);
  data = TextData("keep", fmx::Data::kDTNumber);
  data.SetBinaryData(streams, false);  // not forced: the native type stays
  EXPECT_EQ(data.GetNativeType(), fmx::Data::kDTNumber);
  EXPECT_FALSE(data.IsEmpty());
  EXPECT_EQ(data.GetAsText().GetSize(), 0u);

  data.SetAsBoolean(true);
  EXPECT_EQ(data.GetNativeType(), fmx::Data::kDTBoolean);
  EXPECT_EQ(data.GetAsNumber().AsLong(), 1);
  EXPECT_TRUE(data.GetAsBoolean());

  // The locale travels with a text value; a value's own text can be set back into it.
  fmx::Locale none(fmx::Locale::kType_None);
  data.SetAsText(Utf8Text("t"), none);
  EXPECT_EQ(data.GetLocale().GetType(), fmx::Locale::kType_None);
  data.SetAsText(data.GetAsText(), data.GetLocale());
  EXPECT_EQ(TextOf(data), "t");
  data.Clear(fmx::Data::kDTText);
  EXPECT_TRUE(data.IsEmpty());
  EXPECT_EQ(data.GetNativeType(), fmx::Data::kDTText);
}

TEST(FmxData, ConversionsBetweenKinds) {
  // Text read as a number goes by its digits; AsLong cuts towards zero.
  struct {
    std::string text;
    double number;
  } const numbers[] = {{"12", 12}, {"  7 ", 7}, {"12abc", 12}, {"-3", -3}, {"abc", 0}, {"", 0},
                       {"1,234.5", 1234.5}, {"2.5.1", 2.51}, {"x-9", -9}};
  for (auto const& c : numbers) EXPECT_DOUBLE_EQ(TextData(c.text).GetAsNumber().AsFloat(), c.number) << c.text;
  EXPECT_EQ(TextData("-7.9").GetAsNumber().AsLong(), -7);
  EXPECT_TRUE(TextData("2").GetAsBoolean());
  EXPECT_FALSE(TextData("no").GetAsBoolean());

  // Numbers as text: no trailing zeros, within the precision.
  struct {
    double number;
    std::string text;
  } const texts[] = {{5, "5"}, {0, "0"}, {-2.5, "-2.5"}, {3.25, "3.25"}, {0.1 + 0.2, "0.3"},
                     {1e20, "100000000000000000000"}, {1.0 / 3.0, "0.3333333333333333"}};
  for (auto const& c : texts) {
    fmx::FixPt number;
    number.AssignDouble(c.number);
    fmx::Data data;
    data.SetAsNumber(number);
    EXPECT_EQ(TextOf(data), c.text) << c.number;
  }

  // Dates, times and timestamps.
  fmx::DateTime stamp;
  stamp.SetNormalizedDate(1, 2, 2020);
  stamp.SetNormalizedTime(3, 4, 5, 250000);
  fmx::Data data;
  data.SetAsTimeStamp(stamp);
  EXPECT_EQ(data.GetNativeType(), fmx::Data::kDTTimeStamp);
  EXPECT_EQ(TextOf(data), "1/2/2020 3:04:05.25");
  EXPECT_EQ(data.GetAsDate().GetDay(), 2);
  EXPECT_EQ(data.GetAsDate().GetHour(), 0);
  EXPECT_EQ(data.GetAsTime().GetMinute(), 4);
  EXPECT_EQ(data.GetAsTime().GetYear(), 1);
  data.SetAsDate(stamp);
  EXPECT_EQ(TextOf(data), "1/2/2020");
  EXPECT_EQ(data.GetAsTimeStamp().GetSec(), 0);
  EXPECT_EQ(data.GetAsNumber().AsLong(), 737426);  // day 1 is 1 January 1
  data.SetAsTime(stamp);
  EXPECT_EQ(TextOf(data), "3:04:05.25");
  EXPECT_DOUBLE_EQ(data.GetAsNumber().AsFloat(), 11045.25);

  fmx::Data number;
  fmx::FixPt days;
  days.AssignInt(737426);
  number.SetAsNumber(days);
  EXPECT_EQ(number.GetAsDate().GetYear(), 2020);
  EXPECT_EQ(number.GetAsDate().GetMonth(), 1);
  EXPECT_EQ(number.GetAsDate().GetDay(), 2);

  // Text read as dates and times.
  fmx::Data parsed = TextData("12/31/1999 11:59:58 PM");
  EXPECT_EQ(parsed.GetAsTimeStamp().GetYear(), 1999);
  EXPECT_EQ(parsed.GetAsTimeStamp().GetMonth(), 12);
  EXPECT_EQ(parsed.GetAsTimeStamp().GetHour(), 23);
  EXPECT_EQ(parsed.GetAsTime().GetSec(), 58);
  EXPECT_EQ(parsed.GetAsDate().GetDay(), 31);
  EXPECT_EQ(TextData("2021-03-04").GetAsDate().GetMonth(), 3);
  EXPECT_EQ(TextData("7:30").GetAsTime().GetMinute(), 30);
  EXPECT_EQ(TextData("nothing").GetAsDate(), fmx::DateTime());
}

TEST(FmxDateTime, NormalisesAndReadsFields) {
  fmx::DateTime dt;
  EXPECT_EQ(dt.GetYear(), 1);
  EXPECT_EQ(dt.GetMonth(), 1);
  EXPECT_EQ(dt.GetDay(), 1);

  struct {
    int month, day, year;
    int wantYear, wantMonth, wantDay;
  } const dates[] = {{2, 29, 2024, 2024, 2, 29}, {2, 29, 2023, 2023, 3, 1}, {13, 1, 2020, 2021, 1, 1},
                     {1, 0, 2020, 2019, 12, 31}, {0, 15, 2020, 2019, 12, 15}, {-11, 1, 2020, 2019, 1, 1},
                     {12, 31, 9999, 9999, 12, 31}, {3, 1, 1900, 1900, 3, 1}};
  for (auto const& c : dates) {
    dt.SetNormalizedDate(c.month, c.day, c.year);
    EXPECT_EQ(dt.GetYear(), c.wantYear) << c.month << "/" << c.day << "/" << c.year;
    EXPECT_EQ(dt.GetMonth(), c.wantMonth) << c.month << "/" << c.day << "/" << c.year;
    EXPECT_EQ(dt.GetDay(), c.wantDay) << c.month << "/" << c.day << "/" << c.year;
  }

  dt.SetNormalizedDate(1, 1, 2024);
  EXPECT_EQ(dt.GetDayOfWeek(), 2);  // a Monday
  dt.SetNormalizedTime(25, 61, 59, 1000001);
  EXPECT_EQ(dt.GetDay(), 2);
  EXPECT_EQ(dt.GetHour(), 2);
  EXPECT_EQ(dt.GetMinute(), 2);
  EXPECT_EQ(dt.GetSec(), 0);
  EXPECT_EQ(dt.GetUSec(), 1);
  dt.SetNormalizedTime(0, 0, -1);
  EXPECT_EQ(dt.GetDay(), 1);
  EXPECT_EQ(dt.GetHour(), 23);

  dt.SetNow();
  EXPECT_GE(dt.GetYear(), 2024);
}

TEST(FmxFixPt, IntegerAndFloatForms) {
  fmx::FixPt number(7);
  EXPECT_EQ(number.GetPrecision(), 16);
  EXPECT_EQ(number.AsLong(), 7);
  struct {
    double value;
    fmx::int32 asLong;
  } const cases[] = {{2.9, 2}, {-2.9, -2}, {1e12, 2147483647}, {-1e12, -2147483647 - 1}, {NAN, 0}, {INFINITY, 2147483647}};
  for (auto const& c : cases) {
    number.AssignDouble(c.value);
    EXPECT_EQ(number.AsLong(), c.asLong) << c.value;
  }
  number.AssignInt64(5000000000LL);
  EXPECT_EQ(number.AsLong64(), 5000000000LL);
  EXPECT_DOUBLE_EQ(number.AsFloat(), 5e9);

  fmx::FixPt rounded(0, 2);
  rounded.AssignDouble(2.0 / 3.0);
  fmx::Data data;
  data.SetAsNumber(rounded);
  EXPECT_EQ(TextOf(data), "0.67");
  EXPECT_EQ(fmx::FixPt(1, rounded).GetPrecision(), 2);
}

TEST(FmxBinaryData, TypedStreams) {
  fmx::QuadChar jpeg('J', 'P', 'E', 'G');
  EXPECT_EQ(jpeg.GetMacType(), 0x4A504547u);
  fmx::QuadChar set;
  set.SetMacType(0x464E414Du);
  EXPECT_EQ(set, fmx::QuadChar('F', 'N', 'A', 'M'));
  EXPECT_EQ(set[0], 'F');
  EXPECT_THROW(set[4], std::out_of_range);

  fmx::BinaryData data;
  EXPECT_EQ(data.GetCount(), 0);
  EXPECT_EQ(data.GetIndex(jpeg), -1);
  const unsigned char picture[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00};
  ASSERT_EQ(data.Add(jpeg, sizeof picture, picture), fmx::kNoErr);
  ASSERT_EQ(data.Add(fmx::QuadChar('S', 'I', 'Z', 'E'), 4, "\x00\x32\x00\x32"), fmx::kNoErr);
  ASSERT_EQ(data.Add(fmx::QuadChar('P', 'D', 'F', ' '), 0, nullptr), fmx::kNoErr);
  EXPECT_EQ(data.Add(jpeg, 1, "x"), fmx::kErrDuplicate);
  EXPECT_EQ(data.Add(fmx::QuadChar('F', 'I', 'L', 'E'), 1, nullptr), fmx::kErrBadArgument);
  EXPECT_EQ(data.GetCount(), 3);
  EXPECT_EQ(data.GetTotalSize(), 9u);
  EXPECT_EQ(data.GetIndex(fmx::QuadChar('S', 'I', 'Z', 'E')), 1);

  fmx::QuadChar type;
  data.GetType(2, type);
  EXPECT_EQ(type, fmx::QuadChar('P', 'D', 'F', ' '));
  data.GetType(3, type);
  EXPECT_EQ(type, fmx::QuadChar());
  EXPECT_EQ(data.GetSize(0), 5u);
  EXPECT_EQ(data.GetSize(-1), 0u);

  unsigned char buffer[8] = {0};
  EXPECT_EQ(data.GetData(0, 2, 3, buffer), fmx::kNoErr);
  EXPECT_EQ(buffer[0], 0xFF);
  EXPECT_EQ(buffer[1], 0xC0);
  EXPECT_EQ(data.GetData(0, 3, 3, buffer), fmx::kErrBadArgument);  // past the stream's end
  EXPECT_EQ(data.GetData(0, 0xFFFFFFFFu, 2, buffer), fmx::kErrBadArgument);
  EXPECT_EQ(data.GetData(5, 0, 1, buffer), fmx::kErrBadArgument);
  EXPECT_EQ(data.GetData(0, 0, 1, nullptr), fmx::kErrBadArgument);
  EXPECT_EQ(data.GetData(2, 0, 0, nullptr), fmx::kNoErr);

  fmx::BinaryData copy = data;
  EXPECT_EQ(copy, data);
  EXPECT_TRUE(copy.Remove(jpeg));
  EXPECT_FALSE(copy.Remove(jpeg));
  EXPECT_EQ(copy.GetIndex(fmx::QuadChar('S', 'I', 'Z', 'E')), 0);
  EXPECT_NE(copy, data);

  fmx::Data container;
  container.SetBinaryData(data, true);
  fmx::DataVect parms;
  parms.PushBack(container);
  parms.PushBack(TextData("path"));
  EXPECT_EQ(parms.Size(), 2u);
  EXPECT_EQ(parms.AtAsBinaryData(0).GetCount(), 3);
  EXPECT_EQ(parms.AtAsBinaryData(1).GetCount(), 0);
  EXPECT_EQ(parms.At(1).GetNativeType(), fmx::Data::kDTText);
  EXPECT_THROW(parms.At(2), std::out_of_range);
}

class MockHost : public fmx::HostServices {
 public:
  MOCK_METHOD(fmx::errcode, Evaluate, (fmx::ExprEnv const&, fmx::Text const&, fmx::Data&), (override));
  MOCK_METHOD(fmx::errcode, ExecuteSQL, (fmx::ExprEnv const&, fmx::Text const&, fmx::Data&, fmx::uint16, fmx::uint16),
              (override));
  MOCK_METHOD(fmx::errcode, RegisterExternalFunction,
              (fmx::QuadChar const&, fmx::int16, fmx::Text const&, fmx::Text const&, fmx::int16, fmx::int16,
               fmx::uint32, fmx::ExtPluginType),
              (override));
  MOCK_METHOD(fmx::errcode, UnRegisterExternalFunction, (fmx::QuadChar const&, fmx::int16), (override));
  MOCK_METHOD(fmx::errcode, StartScript, (fmx::Text const&, fmx::Text const&, fmx::uchar, fmx::Data const*),
              (override));
  MOCK_METHOD(fmx::errcode, SetToCurrentEnv, (fmx::ExprEnv&), (override));
  MOCK_METHOD(void, SetHandleSize, (char**, fmx::int32), (override));
  MOCK_METHOD(fmx::int32, GetHandleSize, (char**), (override));
  MOCK_METHOD(void, LockHandle, (char**), (override));
  MOCK_METHOD(void, UnlockHandle, (char**), (override));
  MOCK_METHOD(fmx::errcode, MemoryError, (), (override));
};

fmx::errcode DummyFunction(short, fmx::ExprEnv const&, fmx::DataVect const&, fmx::Data&) { return 0; }

TEST(FmxHost, WithoutHostEverythingFailsQuietly) {
  ASSERT_EQ(fmx::GetHostServices(), nullptr);
  fmx::ExprEnv env;
  fmx::Data result = TextData("untouched");
  EXPECT_EQ(env.Evaluate(Utf8Text("Get(FilePath)"), result), fmx::kErrNoHost);
  EXPECT_EQ(env.ExecuteSQL(Utf8Text("SELECT 1"), result, 44, 13), fmx::kErrNoHost);
  EXPECT_EQ(TextOf(result), "untouched");
  fmx::QuadChar id('Q', 'R', 'V', 'e');
  EXPECT_EQ(fmx::ExprEnv::RegisterExternalFunction(id, 10, Utf8Text("n"), Utf8Text("p"), 1, 1, 0xFF01, DummyFunction),
            fmx::kErrNoHost);
  EXPECT_EQ(fmx::ExprEnv::UnRegisterExternalFunction(id, 10), fmx::kErrNoHost);

  FMX_ExternCallStruct block;
  fmx::InitExternCallStruct(block);
  EXPECT_EQ(block.whichCall, 0);
  EXPECT_EQ(block.result, 0);
  EXPECT_EQ(block.cCurrentEnv(&env), fmx::kErrNoHost);
  fmx::Text name = Utf8Text("Script");
  EXPECT_EQ(block.cStartScript(&name, &name, 0, nullptr), fmx::kErrNoHost);
  char* bytes = nullptr;
  block.cSetHandleSize(&bytes, 10);
  block.cLockHandle(&bytes);
  block.cUnlockHandle(&bytes);
  EXPECT_EQ(block.cGetHandleSize(&bytes), 0);
  EXPECT_NE(block.cMemoryError(), 0);  // a resize that never happened is not reported as done
}

TEST(FmxHost, CallsForwardToTheInstalledHost) {
  MockHost host;
  ASSERT_EQ(fmx::InstallHostServices(&host), nullptr);
  fmx::ExprEnv env;
  env.SetIdentity(7, 9);

  EXPECT_CALL(host, Evaluate(_, _, _)).WillOnce([](fmx::ExprEnv const& e, fmx::Text const& expression, fmx::Data& r) {
    EXPECT_EQ(e.SessionID(), 7u);
    EXPECT_EQ(e.FileID(), 9u);
    EXPECT_EQ(expression, Utf8Text("Get(FilePath)"));
    r = TextData("file:/Users/bob/Test.fmp12");
    return fmx::errcode(0);
  });
  fmx::Data result;
  EXPECT_EQ(env.Evaluate(Utf8Text("Get(FilePath)"), result), 0);
  EXPECT_EQ(TextOf(result), "file:/Users/bob/Test.fmp12");

  EXPECT_CALL(host, ExecuteSQL(_, _, _, 44, 13)).WillOnce(Return(fmx::errcode(8309)));
  EXPECT_EQ(env.ExecuteSQL(Utf8Text("SELECT 1"), result, 44, 13), 8309);

  fmx::QuadChar id('Q', 'R', 'V', 'e');
  EXPECT_CALL(host, RegisterExternalFunction(id, 20, Utf8Text("Velmora_SendMessage"), Utf8Text("proto"), 1, -1,
                                             0xFF01u, &DummyFunction))
      .WillOnce(Return(fmx::errcode(0)));
  EXPECT_EQ(fmx::ExprEnv::RegisterExternalFunction(
                id, 20, Utf8Text("Velmora_SendMessage"), Utf8Text("proto"), 1, -1,
                fmx::ExprEnv::kDisplayInAllDialogs | fmx::ExprEnv::kMayEvaluateOnServer, DummyFunction),
            0);
  // A function without a callback never reaches the host.
  EXPECT_EQ(fmx::ExprEnv::RegisterExternalFunction(id, 21, Utf8Text("n"), Utf8Text("p"), 0, 0, 0, nullptr),
            fmx::kErrBadArgument);
  EXPECT_CALL(host, UnRegisterExternalFunction(id, 20)).WillOnce(Return(fmx::errcode(0)));
  EXPECT_EQ(fmx::ExprEnv::UnRegisterExternalFunction(id, 20), 0);

  // The call block's callbacks reach the same host.
  FMX_ExternCallStruct block;
  fmx::InitExternCallStruct(block);
  EXPECT_CALL(host, SetToCurrentEnv(_)).WillOnce([](fmx::ExprEnv& e) {
    e.SetIdentity(3, 4);
    return fmx::errcode(0);
  });
  fmx::ExprEnv current;
  EXPECT_EQ(block.cCurrentEnv(&current), 0);
  EXPECT_EQ(current.FileID(), 4u);
  EXPECT_EQ(block.cCurrentEnv(nullptr), fmx::kErrBadArgument);

  fmx::Text file = Utf8Text("Contacts"), script = Utf8Text("Refresh");
  fmx::Data parameter = TextData("p");
  EXPECT_CALL(host, StartScript(file, script, 2, &parameter)).WillOnce(Return(fmx::errcode(0)));
  EXPECT_EQ(block.cStartScript(&file, &script, 2, &parameter), 0);
  EXPECT_EQ(block.cStartScript(nullptr, &script, 2, nullptr), fmx::kErrBadArgument);

  char* bytes = nullptr;
  EXPECT_CALL(host, SetHandleSize(&bytes, 12));
  EXPECT_CALL(host, GetHandleSize(&bytes)).WillOnce(Return(12));
  EXPECT_CALL(host, LockHandle(&bytes));
  EXPECT_CALL(host, UnlockHandle(&bytes));
  EXPECT_CALL(host, MemoryError()).WillOnce(Return(fmx::errcode(0)));
  block.cSetHandleSize(&bytes, 12);
  EXPECT_EQ(block.cGetHandleSize(&bytes), 12);
  block.cLockHandle(&bytes);
  block.cUnlockHandle(&bytes);
  EXPECT_EQ(block.cMemoryError(), 0);

  EXPECT_EQ(fmx::InstallHostServices(nullptr), &host);
}

TEST(FmxTypes, HoldersForwardConstructorArguments) {
  fmx::LocaleAutoPtr locale(1);
  EXPECT_EQ(locale->GetType(), fmx::Locale::kType_Current);
  fmx::QuadCharAutoPtr id('Q', 'R', 'V', 'e');
  EXPECT_EQ((*id)[3], 'e');
  fmx::FixPtAutoPtr number(0, 16);
  number->AssignInt(42);
  EXPECT_EQ(number->AsLong(), 42);
  fmx::TextAutoPtr text;
  text->Assign("Velmora");
  EXPECT_EQ(text->GetSize(), 7u);
  fmx::DataAutoPtr data;
  EXPECT_TRUE(data->IsEmpty());
}

}  // namespace
