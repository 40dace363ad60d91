// Tests of UniString with the code pages 2 to 5 (Mac OS Roman twice, Windows-1252, Shift_JIS),
// with the C library's iconv as the independent reference: every byte (and every Shift_JIS
// two-byte sequence) decoded, the result encoded again, unmapped input giving "?", input cut
// by the length, and encoding into a caller's buffer without passing buf[size].
// The plug-in's resource file is opened by the test environment in tests/support.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/UniConverter.h"
#include "core/UniString.h"

namespace {

struct stcCodePage {
  int encoding;
  char const* iconvName;
};

stcCodePage const kCodePages[] = {{2, "MACINTOSH"}, {3, "MACINTOSH"}, {4, "CP1252"}, {5, "SHIFT_JIS"}};

void PrintTo(stcCodePage const& cp, std::ostream* os) { *os << cp.encoding << " (" << cp.iconvName << ")"; }

// Converts the whole input with iconv; false when iconv refuses any of it.
bool Iconv(char const* from, char const* to, std::string const& in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> buffer(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = buffer.data();
  size_t dstLeft = buffer.size();
  size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  bool ok = rc != static_cast<size_t>(-1) && srcLeft == 0 &&
            iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (ok) out->assign(buffer.data(), size_t(dst - buffer.data()));
  return ok;
}

// The reference decoding of bytes, as UTF-16 (little-endian on this machine) units.
bool IconvDecode(stcCodePage const& cp, std::string const& bytes, std::u16string* units) {
  std::string raw;
  if (!Iconv(cp.iconvName, "UTF-16LE", bytes, &raw)) return false;
  units->assign(reinterpret_cast<char16_t const*>(raw.data()), raw.size() / 2);
  return true;
}

bool IconvEncode(stcCodePage const& cp, std::u16string const& units, std::string* bytes) {
  std::string raw(reinterpret_cast<char const*>(units.data()), units.size() * 2);
  return Iconv("UTF-16LE", cp.iconvName, raw, bytes);
}

std::u16string Units(UniString const& s) {
  return s.Length() == 0 ? std::u16string()
                         : std::u16string(reinterpret_cast<char16_t const*>(s.GetBytes()), size_t(s.Length()));
}

UniString FromUnits(std::u16string const& units) {
  return UniString(reinterpret_cast<unsigned short const*>(units.data()), int(units.size()));
}

std::string Encoded(UniString const& s, int encoding) {
  char* bytes = s.GetCString(encoding);
  std::string result = bytes ? std::string(bytes) : std::string("<null>");
  delete[] bytes;
  return result;
}

// Decodes the bytes with both and, when iconv maps them, encodes the units again with both.
void CheckRoundTrip(stcCodePage const& cp, std::string const& bytes, std::u16string const& fallback) {
  UniString decoded(bytes.data(), cp.encoding, int(bytes.size()));
  std::u16string reference;
  if (!IconvDecode(cp, bytes, &reference)) {
    EXPECT_EQ(Units(decoded), fallback) << cp.iconvName << " bytes " << std::hex << int(uint8_t(bytes[0]));
    return;
  }
  ASSERT_EQ(Units(decoded), reference) << cp.iconvName << " bytes " << std::hex << int(uint8_t(bytes[0]))
                                       << " " << (bytes.size() > 1 ? int(uint8_t(bytes[1])) : -1);
  std::string again;
  ASSERT_TRUE(IconvEncode(cp, reference, &again));
  EXPECT_EQ(Encoded(decoded, cp.encoding), again) << cp.iconvName << " unit " << std::hex << int(reference[0]);
}

class UniStringCodePageTest : public ::testing::TestWithParam<stcCodePage> {
 protected:
  void SetUp() override { ASSERT_NE(GetUniConverter(GetParam().encoding), nullptr) << "code page not loaded"; }
};

TEST_P(UniStringCodePageTest, EveryByteDecodesAndEncodesLikeIconv) {
  stcCodePage const& cp = GetParam();
  for (int b = 1; b < 256; ++b) CheckRoundTrip(cp, std::string(1, char(b)), u"?");
}

TEST(UniStringShiftJISTest, TwoByteSequencesDecodeAndEncodeLikeIconv) {
  stcCodePage const& cp = kCodePages[3];
  ASSERT_NE(GetUniConverter(cp.encoding), nullptr) << "code page not loaded";
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      // An unmapped pair gives "?" for the lead byte, then the trail byte read on its own.
      std::u16string trailAlone;
      if (!IconvDecode(cp, std::string(1, char(trail)), &trailAlone)) trailAlone = u"?";
      CheckRoundTrip(cp, std::string{char(lead), char(trail)}, u"?" + trailAlone);
    }
  }
}

TEST_P(UniStringCodePageTest, UnmappedInputAndLengthLimits) {
  stcCodePage const& cp = GetParam();
  // A unit the code page cannot hold becomes the byte "?"; the text around it stays.
  EXPECT_EQ(Encoded(FromUnits(u"a\uAC00b"), cp.encoding), "a?b");
  EXPECT_EQ(Encoded(UniString(), cp.encoding), "");
  // A zero unit never matches.
  EXPECT_EQ(Encoded(FromUnits(std::u16string(u"a\0b", 3)), cp.encoding), "a?b");
  // Bytes beyond the length are not read, and a length of -1 stops at the zero byte.
  EXPECT_EQ(Units(UniString("abc", cp.encoding, 2)), u"ab");
  EXPECT_EQ(Units(UniString("abc\0def", cp.encoding, -1)), u"abc");
  EXPECT_EQ(Units(UniString(std::string("a\0b", 3).data(), cp.encoding, 3)), u"a?b");
  if (cp.encoding == 5) {
    char const pair[] = "\x82\xA0";  // HIRAGANA LETTER A
    EXPECT_EQ(Units(UniString(pair, 5, 2)), u"\u3042");
    EXPECT_EQ(Units(UniString(pair, 5, 1)), u"?");
  }
}

TEST_P(UniStringCodePageTest, EncodingIntoBufferStaysWithinSize) {
  stcCodePage const& cp = GetParam();
  constexpr unsigned char kGuard = 0xA5;
  // Two plain letters, one unmapped unit and, for Shift_JIS, a two-byte letter.
  std::u16string text = cp.encoding == 5 ? u"ab\uAC00\u3041c" : u"ab\uAC00c";
  std::string full;
  {
    char* bytes = FromUnits(text).GetCString(cp.encoding);
    full = bytes;
    delete[] bytes;
  }
  for (int size = 0; size <= int(full.size()) + 2; ++size) {
    std::vector<unsigned char> buf(size_t(size) + 2, kGuard);
    int n = FromUnits(text).GetCString(buf.data(), size, cp.encoding);
    ASSERT_LE(n, size);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf.data()), size_t(n)), full.substr(0, size_t(n)));
    EXPECT_EQ(buf[size_t(n)], 0);
    EXPECT_EQ(buf[size_t(size) + 1], kGuard) << "size " << size;
    // Only a piece that does not fit ends the encoding, so nothing that fits is left out.
    if (size >= int(full.size())) {
      EXPECT_EQ(n, int(full.size()));
    }
  }
  // A two-byte letter that does not fit is left out whole.
  if (cp.encoding == 5) {
    unsigned char buf[3] = {kGuard, kGuard, kGuard};
    EXPECT_EQ(FromUnits(u"\u3041").GetCString(buf, 1, 5), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[2], kGuard);
  }
  unsigned char empty[2] = {kGuard, kGuard};
  EXPECT_EQ(UniString().GetCString(empty, 1, cp.encoding), 0);
  EXPECT_EQ(empty[0], 0);
}

INSTANTIATE_TEST_SUITE_P(CodePages, UniStringCodePageTest, ::testing::ValuesIn(kCodePages),
                         [](::testing::TestParamInfo<stcCodePage> const& info) {
                           return "Encoding" + std::to_string(info.param.encoding);
                         });

}  // namespace
