// Tests of UniString storage and encodings: the UTF-8 decode table, encoding 0, the number
// constructors, element access with the 511 cap, GetCString into new arrays and into a caller's
// buffer (never past buf[size]), GetAnsiString, Assign and embedded zero units.
#include "core/UniString.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::u16string Units(UniString const& s) {
  return s.Length() == 0 ? std::u16string()
                         : std::u16string(reinterpret_cast<char16_t const*>(s.GetBytes()), size_t(s.Length()));
}

TEST(UniStringTest, UTF8DecodeTable) {
  struct {
    std::vector<unsigned char> bytes;
    int encoding;
    std::u16string expected;
  } const cases[] = {
      {{0xC3, 0xA9}, 1, u"\u00E9"},
      {{0xC3}, 1, u"?"},
      {{0xC3, 0x41}, 1, u"?A"},
      {{0xC0, 0x80}, 1, u"??"},
      {{0xE0, 0x80, 0x80}, 1, u"???"},
      {{0xE0, 0xA0, 0x80}, 1, u"\u0800"},
      {{0xED, 0xA0, 0x80}, 1, std::u16string(1, char16_t(0xD800))},
      {{0xF0, 0x9F, 0x98, 0x80}, 1, u"????"},
      {{0xE9}, 1, u"?"},
      {{0xE9}, 101, u"\u00E9"},
      {{0xF0, 0x9F, 0x98, 0x80}, 101, u"\u00F0\u009F\u0098\u0080"},
      {{0xE2, 0x82}, 1, u"??"},                     // cut by the length
      {{0xEF, 0xBB, 0xBF, 'a'}, 1, u"\uFEFFa"},     // the byte-order mark stays
      {{'a', 0xFF, 'b', 0xE2, 0x82, 0xAC}, 1, u"a?b\u20AC"},
  };
  for (auto const& c : cases) {
    UniString s(c.bytes.data(), c.encoding, int(c.bytes.size()));
    EXPECT_EQ(Units(s), c.expected) << "case " << (&c - cases) << " enc " << c.encoding;
  }
  // The length bounds the input: the same bytes cut after one byte.
  unsigned char const euro[] = {0xE2, 0x82, 0xAC, 0};
  EXPECT_EQ(Units(UniString(euro, 1, 1)), u"?");
  EXPECT_EQ(Units(UniString(euro, 1, -1)), u"\u20AC");
}

TEST(UniStringTest, EmptyAndInvalidSources) {
  UniString forms[] = {UniString(""), UniString(static_cast<char const*>(nullptr), 1, -1),
                       UniString("abc", 1, 0), UniString("abc", 7, 3), UniString("abc", -1, 3),
                       UniString("abc", 100, 3), UniString(static_cast<unsigned short const*>(nullptr), 3)};
  for (UniString const& s : forms) {
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.GetBytes(), nullptr);
    EXPECT_THROW(s[0], int);
  }
}

TEST(UniStringTest, Encoding0ReadsUnitsUpToZeroWhateverTheLength) {
  alignas(2) unsigned short const units[] = {'A', 'B', 0, 'C'};
  auto bytes = reinterpret_cast<unsigned char const*>(units);
  for (int length : {-1, 0, 1, 8}) EXPECT_EQ(Units(UniString(bytes, 0, length)), u"AB");
  // Unaligned input is read as well.
  unsigned char shifted[9] = {};
  std::memcpy(shifted + 1, units, 8);
  EXPECT_EQ(Units(UniString(shifted + 1, 0, -1)), u"AB");
  EXPECT_TRUE(UniString(static_cast<unsigned char const*>(nullptr), 0, 4).IsEmpty());
}

TEST(UniStringTest, UnitAndNumberConstructors) {
  EXPECT_EQ(UniString(static_cast<unsigned short>(0)).Length(), 1);
  EXPECT_EQ(Units(UniString(static_cast<unsigned short>(0x20AC))), u"\u20AC");
  unsigned short const text[] = {'h', 'i', 0, 'x'};
  EXPECT_EQ(Units(UniString(text, -1)), u"hi");
  EXPECT_EQ(UniString(text, 4).Length(), 4);
  EXPECT_TRUE(UniString(text, 0).IsEmpty());

  EXPECT_EQ(Units(UniString(int32_t(-7))), u"-7");
  EXPECT_EQ(Units(UniString(INT32_MIN)), u"-2147483648");
  EXPECT_EQ(Units(UniString(UINT32_MAX)), u"4294967295");
  EXPECT_EQ(Units(UniString(2.5)), u"2.5000");
  EXPECT_EQ(Units(UniString(-0.00004)), u"-0.0000");
  UniString huge(1e300);
  EXPECT_EQ(huge.Length(), 47);
  EXPECT_EQ(Units(huge.Left(2)), u"10");
  EXPECT_EQ(Units(UniString(AnsiString("caf\xC3\xA9"))), u"caf\u00E9");
}

TEST(UniStringTest, ElementAccessBoundsAndCappedLength) {
  UniString longText = UniString::StringOfChar('x', 600);
  EXPECT_EQ(longText[0], 511);
  EXPECT_EQ(longText[601], 0);
  EXPECT_EQ(longText.Length(), 600);
  EXPECT_THROW(longText[-1], int);
  EXPECT_THROW(longText[602], int);

  UniString abc("abc");
  EXPECT_EQ(abc[0], 3);
  EXPECT_EQ(abc[4], 0);
  abc[2] = 'X';
  EXPECT_EQ(Units(abc), u"aXc");
  EXPECT_EQ(abc[0], 3);
  EXPECT_THROW(UniString()[0], int);
  EXPECT_THROW(UniString()[1], int);

  EXPECT_EQ(UniString::StringOfChar('y', 510)[0], 510);
}

TEST(UniStringTest, AssignmentAndAssignForms) {
  UniString s("abcd");
  UniString same("wxyz");
  unsigned short const* buffer = s.GetBytes();
  s = same;  // equal lengths reuse the buffer
  EXPECT_EQ(s.GetBytes(), buffer);
  EXPECT_EQ(Units(s), u"wxyz");
  s = UniString();
  EXPECT_EQ(s.GetBytes(), nullptr);

  unsigned short const units[] = {'q', 'r', 's'};
  s.Assign(units, 0);  // a buffer of length 0: empty, but element 0 is reachable
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[1], 0);
  EXPECT_THROW(s[2], int);
  s.Assign(units, 3);
  EXPECT_EQ(Units(s), u"qrs");
  s.Assign(static_cast<unsigned short const*>(nullptr), 3);
  EXPECT_EQ(s.GetBytes(), nullptr);

  // Assign from the string's own units, into a buffer of another size.
  UniString self("hello");
  self.Assign(self.GetBytes() + 1, 3);
  EXPECT_EQ(Units(self), u"ell");
  UniString& alias = self;
  self = alias;
  EXPECT_EQ(Units(self), u"ell");

  wchar_t const wide[] = {L'a', static_cast<wchar_t>(0x1F600), L'b'};
  s.Assign(wide, 3);
  EXPECT_EQ(Units(s), std::u16string({u'a', char16_t(0xF600), u'b'}));
  wchar_t* back = s.GetWCStr();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back[1], 0xF600);
  EXPECT_EQ(back[3], 0);
  delete[] back;
  EXPECT_EQ(UniString().GetWCStr(), nullptr);

}

// The units about each UTF-8 length boundary and their bytes.
unsigned short const kEdges[] = {0x7F, 0x80, 0x7FF, 0x800, 0xFFFF};
char const kEdgesUTF8[] = "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF";

TEST(UniStringTest, GetCStringNewArrays) {
  static unsigned short const kPair[] = {0xD83D, 0xDE00};
  struct {
    UniString text;
    int encoding;
    std::string expected;  // "null" for a null result
  } const cases[] = {
      {UniString(kEdges, 5), 1, kEdgesUTF8},
      {UniString("caf\xC3\xA9 \xE2\x82\xAC"), 1, "caf\xC3\xA9 \xE2\x82\xAC"},
      {UniString(kPair, 2), 1, "\xED\xA0\xBD\xED\xB8\x80"},
      {UniString("x"), 101, "null"},
      {UniString("x"), 7, "null"},
      {UniString("x"), -1, "null"},
      {UniString(), 7, ""},
      {UniString(), 101, ""},
  };
  for (auto const& c : cases) {
    char* bytes = c.text.GetCString(c.encoding);
    if (c.expected == "null") {
      EXPECT_EQ(bytes, nullptr) << c.encoding;
    } else {
      ASSERT_NE(bytes, nullptr);
      EXPECT_EQ(std::string(bytes), c.expected) << c.encoding;
    }
    delete[] bytes;
  }
  // Encoding 0: the units as stored, then one zero byte.
  UniString ab("AB");
  char* raw = ab.GetCString(0);
  EXPECT_EQ(std::memcmp(raw, ab.GetBytes(), 4), 0);
  EXPECT_EQ(raw[4], 0);
  delete[] raw;

  EXPECT_EQ(UniString("x").GetAnsiString(101).Length(), 0);
  EXPECT_TRUE(UniString("\xC3\xA9t\xC3\xA9").GetAnsiString(-1) == UniString("\xC3\xA9t\xC3\xA9").GetAnsiString(1));
  EXPECT_EQ(UniString("abc").GetAnsiString(0).Length(), 1);  // little-endian: 'a', then a zero byte
}

TEST(UniStringTest, GetCStringIntoBufferNeverPassesTheTerminatorPlace) {
  constexpr unsigned char kGuard = 0xA5;
  struct {
    UniString text;
    int size;
    int encoding;
    int written;
    std::string bytes;
  } const cases[] = {
      {UniString("\xE2\x82\xAC"), 3, 1, 0, ""},
      {UniString("\xE2\x82\xAC"), 4, 1, 3, "\xE2\x82\xAC"},
      {UniString("a\xC3\xA9z"), 3, 1, 1, "a"},
      {UniString("a\xC3\xA9z"), 4, 1, 3, "a\xC3\xA9"},
      {UniString(kEdges, 5), 12, 1, 11, kEdgesUTF8},
      {UniString("abc"), 0, 1, 0, ""},
      {UniString(), 5, 1, 0, ""},
      {UniString("AB"), 3, 0, 3, std::string("A\0B", 3)},
      {UniString("AB"), 8, 0, 4, std::string("A\0B\0", 4)},
      {UniString("AB"), 0, 0, 0, ""},
      {UniString(), 5, 0, 0, ""},
  };
  for (auto const& c : cases) {
    std::vector<unsigned char> buf(size_t(c.size) + 2, kGuard);
    int n = c.text.GetCString(buf.data(), c.size, c.encoding);
    EXPECT_EQ(n, c.written) << c.size << "/" << c.encoding;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf.data()), size_t(n)), c.bytes);
    EXPECT_EQ(buf[size_t(n)], 0);
    EXPECT_EQ(buf[size_t(c.size) + 1], kGuard) << "wrote beyond buf[size]";
  }
  // Encodings that write nothing, a null buffer and a negative size.
  unsigned char buf[4] = {kGuard, kGuard, kGuard, kGuard};
  EXPECT_EQ(UniString("abc").GetCString(buf, 3, 101), 0);
  EXPECT_EQ(UniString("abc").GetCString(buf, 3, 9), 0);
  EXPECT_EQ(UniString("abc").GetCString(buf, -1, 1), 0);
  EXPECT_EQ(buf[0], kGuard);
  EXPECT_EQ(UniString("abc").GetCString(nullptr, 3, 1), 0);
}

TEST(UniStringTest, EmbeddedZeroUnitsSurviveCopyAndAppend) {
  unsigned short const units[] = {'a', 0, 'b'};
  UniString s(units, 3);
  UniString copy(s);
  EXPECT_EQ(copy.Length(), 3);
  UniString joined = copy;
  joined += s;
  EXPECT_EQ(Units(joined), std::u16string(u"a\0ba\0b", 6));
  joined += joined;  // appending itself
  EXPECT_EQ(joined.Length(), 12);
  EXPECT_EQ(Units(s + UniString("c")), std::u16string(u"a\0bc", 4));
  EXPECT_EQ(Units(s + UniString()), u"a");  // a copy through a zero-terminated array
  UniString moved(std::move(copy));
  EXPECT_EQ(moved.Length(), 3);
  EXPECT_TRUE(copy.IsEmpty());  // NOLINT: moved-from state is the empty string
}

// One string given texts of changing lengths, as a line reader gives it line after line, through
// Assign, copy assignment and the in-place fill: each time exactly the new text, its length
// element (capped at 511) and its terminator, whether the array is reused or replaced.
TEST(UniStringTest, ReusedArraysHoldExactlyTheNewText) {
  std::u16string const letters(2000, u'x');
  int const lengths[] = {300, 20, 0, 299, 600, 1, 2000, 40, 512};
  UniString viaAssign;
  UniString viaCopy;
  UniString viaFill;
  for (int length : lengths) {
    std::u16string text = letters.substr(0, size_t(length));
    for (size_t k = 0; k < text.size(); k += 7) text[k] = char16_t(u'a' + k % 26);
    auto const* units = reinterpret_cast<unsigned short const*>(text.data());
    viaAssign.Assign(units, length);
    viaCopy = UniString(units, length);
    viaCopy = UniString(viaAssign);
    unsigned short* fill = viaFill.FillBegin(length + 16);
    ASSERT_NE(fill, nullptr);
    std::memcpy(fill, units, size_t(length) * 2);
    for (int k = 0; k < 16; ++k) fill[length + k] = u'#';  // room beyond the text, dropped
    viaFill.FillEnd(length);
    for (UniString const* s : {&viaAssign, &viaCopy, &viaFill}) {
      EXPECT_EQ(Units(*s), text) << length;
      ASSERT_EQ(s->Length(), length);
      if (length == 0 && s->GetBytes() == nullptr) continue;
      EXPECT_EQ((*s)[0], length < 511 ? length : 511) << length;
      EXPECT_EQ((*s)[length + 1], 0) << length;
    }
  }
}

}  // namespace
