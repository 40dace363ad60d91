// Tests of the text encoders: hex digits, TrimCRLF, Base64 both ways (RFC 4648 vectors, the
// table-driven encoder against a plain bit-by-bit one, decode bounds with guard bytes) and the
// password scrambling against a separate, literal rendering of its rules.
#include "core/TextEncoders.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string Bytes(AnsiString const& s) { return std::string(s.c_str(), size_t(s.Length())); }
AnsiString Ansi(std::string const& s) { return AnsiString(s.data(), int(s.size())); }

TEST(TextEncodersTest, CharToHexAndTrimCRLF) {
  EXPECT_EQ(Bytes(CharToHex(0)), "00");
  EXPECT_EQ(Bytes(CharToHex(255)), "FF");
  EXPECT_EQ(Bytes(CharToHex(10)), "0A");
  EXPECT_EQ(Bytes(CharToHex(0xA5)), "A5");
  struct {
    char const *text, *expected;
  } const cases[] = {{"abc\r\n", "abc"}, {"abc\n\r", "abc\n"}, {"\n", ""}, {"\r", ""},
                     {"abc\r\n\r\n", "abc\r\n"}, {"abc", "abc"}, {"", ""}, {"\r\r", "\r"}};
  for (auto const& c : cases) EXPECT_EQ(Bytes(TrimCRLF(c.text)), c.expected) << c.text;
}

TEST(TextEncodersTest, Base64KnownVectorsBothWays) {
  struct {
    char const *plain, *encoded;
  } const cases[] = {{"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},
                     {"foo", "Zm9v"},   {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                     {"foobar", "Zm9vYmFy"}, {"abc", "YWJj"}, {"ab", "YWI="}, {"a", "YQ=="},
                     {"\xFF\xFE\xFD", "//79"}};
  for (auto const& c : cases) {
    EXPECT_EQ(Bytes(UUEncodeString(c.plain)), c.encoded) << c.plain;
    EXPECT_EQ(Bytes(Base64DecodeString(c.encoded)), c.plain) << c.encoded;
  }
  EXPECT_EQ(Bytes(Base64DecodeString(" \tYWJj\r\n")), "abc");
  EXPECT_EQ(Bytes(Base64DecodeString("YWJjZ")), "abc");  // a lone fifth character is ignored
  EXPECT_EQ(Bytes(Base64DecodeString("YWJjAGRl")), "abc");  // cut at the decoded zero byte
  EXPECT_EQ(Bytes(UUEncodeString(AnsiString("\0\0", 2))), "AAA=");
}

// Encodes bit by bit, for comparison with the table-driven encoder.
std::string PlainBase64(std::vector<unsigned char> const& data) {
  static char const alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t bits = data.size() * 8;
  for (size_t at = 0; at < bits; at += 6) {
    int value = 0;
    for (size_t b = at; b < at + 6; ++b) {
      int bit = b < bits ? (data[b / 8] >> (7 - b % 8)) & 1 : 0;
      value = value * 2 + bit;
    }
    out += alphabet[value];
  }
  while (out.size() % 4 != 0) out += '=';
  return out;
}

TEST(TextEncodersTest, UUEncodeMatchesPlainEncodingAndStaysInBounds) {
  std::mt19937 random(7);
  for (int length = 0; length <= 100; ++length) {
    std::vector<unsigned char> data(static_cast<size_t>(length));
    for (auto& byte : data) byte = static_cast<unsigned char>(random() % 4 == 0 ? 0 : random());
    size_t needed = 4 * ((size_t(length) + 2) / 3) + 1;
    std::vector<char> out(needed + 8, '\x5A');
    int written = UUEncode(data.data(), length, out.data());
    std::string expected = PlainBase64(data);
    ASSERT_EQ(written, int(expected.size())) << length;
    EXPECT_EQ(std::string(out.data(), size_t(written)), expected) << length;
    EXPECT_EQ(out[needed - 1], 0);
    for (size_t i = needed; i < out.size(); ++i) ASSERT_EQ(out[i], '\x5A') << length;
  }
}

TEST(TextEncodersTest, Base64DecodeNeverWritesPastOutSize) {
  char const* texts[] = {"YWJjZGVmZ2hp", "YWJjZA==", "Zm9vYmFy", "!!!!!!!!!!!!", "====", "A",
                         "AB", "ABC", "\xFF\x80\x7F\x01zzzzzzzzzz", "YQ==YQ==YQ=="};
  for (char const* text : texts) {
    for (int outSize = -1; outSize <= 10; ++outSize) {
      unsigned char guard[64];
      std::memset(guard, 0xA5, sizeof guard);
      int written = Base64Decode(text, guard + 16, outSize);
      EXPECT_GE(written, 0);
      EXPECT_LE(written, outSize < 0 ? 0 : outSize) << text << " " << outSize;
      for (int i = 0; i < 64; ++i) {
        bool inside = i >= 16 && i < 16 + (outSize < 0 ? 0 : outSize);
        if (!inside) {
          ASSERT_EQ(guard[i], 0xA5) << text << " outSize " << outSize << " byte " << i;
        }
      }
    }
  }
  unsigned char out[8];
  // The group loop stops once the written count reaches outSize - 1.
  EXPECT_EQ(Base64Decode("YWJjZA==", out, 4), 3);
  EXPECT_EQ(Base64Decode("YWJjZA==", out, 5), 4);
  EXPECT_EQ(Base64Decode("YWJj", nullptr, 4), 0);
}

// The scrambling rules read literally: the step given, positions advanced by adding the step
// and subtracting 36 while above it, letters mirrored through the alphabet and shifted.
constexpr char kTable[] = "4719036285pQmWnEbRvTcYxUzIlOkAjSgDhF";
constexpr char kUpper[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char kLower[] = "abcdefghijklmnopqrstuvwxyz";

int RuleStep(int length) {
  if (length <= 3) return 2 * length;
  if (length >= 32 && length <= 40) return length / 2;
  return length;
}

std::string ReferenceScramble(std::string const& password, int step) {
  int length = int(password.size());
  if (length == 0) return "";
  char last = password.back();
  char const* found = std::strchr(kTable, last);
  if (!found || last == 0) {
    char upper = (last >= 'a' && last <= 'z') ? char(last - 32) : last;
    found = upper ? std::strchr(kTable, upper) : nullptr;
  }
  int pos = found ? int(found - kTable) + 1 : 15;
  auto filler = [&]() {
    pos += step;
    while (pos > 36) pos -= 36;
    return kTable[pos - 1];
  };
  std::string out;
  if (length % 2 == 1) out += filler();
  for (char c : password) {
    if (std::strchr(kUpper, c) && c) {
      int a = int(std::strchr(kUpper, c) - kUpper);
      out += kLower[(((25 - a) - length) % 26 + 26) % 26];
    } else if (std::strchr(kLower, c) && c) {
      int a = int(std::strchr(kLower, c) - kLower);
      out += kUpper[(((25 - a) + length) % 26 + 26) % 26];
    } else {
      out += c;
    }
    out += filler();
  }
  return out;
}

TEST(TextEncodersTest, PasswordScramblingRoundTripsForEveryLength) {
  std::string const pool =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!\"#$%&'()*+,-./:;<=>?@[]^_`{|}~ ";
  std::mt19937 random(2024);
  for (int length = 0; length <= 50; ++length) {
    for (int round = 0; round < 4; ++round) {
      std::string password;
      for (int i = 0; i < length; ++i) password += pool[random() % pool.size()];
      AnsiString scrambled = EncryptPassword(Ansi(password));
      ASSERT_EQ(Bytes(scrambled), ReferenceScramble(password, RuleStep(length))) << password;
      ASSERT_EQ(Bytes(DecryptPassword(scrambled)), password);
    }
  }
}

TEST(TextEncodersTest, PasswordScramblingStepsAtTheBoundaries) {
  struct {
    int length, step;
  } const cases[] = {{1, 2}, {3, 6}, {4, 4}, {31, 31}, {32, 16}, {40, 20}, {41, 41}};
  for (auto const& c : cases) {
    std::string password;
    for (int i = 0; i < c.length; ++i) password += "q7Z!"[i % 4];
    EXPECT_EQ(Bytes(EncryptPassword(Ansi(password))), ReferenceScramble(password, c.step)) << c.length;
  }
  // Worked by hand: 'a' is not in the table, 'A' is at 30; step 2 gives the fillers S and D.
  EXPECT_EQ(Bytes(EncryptPassword("a")), "SAD");
  EXPECT_EQ(Bytes(EncryptPassword("")), "");
  EXPECT_EQ(Bytes(DecryptPassword("")), "");
  // A value never scrambled comes back as every second character with its letters changed.
  EXPECT_EQ(Bytes(DecryptPassword("1x2y")), "12");
}

}  // namespace
