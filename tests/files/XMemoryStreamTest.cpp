// Tests of XMemoryStream: growth in 1024-byte steps, reads and writes at the edges, SetSize by
// origin, Match, and the Find, Insert, Remove and Replace tables, including ranges outside the
// stream that must be refused without touching the contents.
#include <gtest/gtest.h>

#include <string>

#include "files/XMemoryStream.h"

namespace {

class ProbedStream : public XMemoryStream {
 public:
  explicit ProbedStream(std::string const& bytes = std::string()) {
    if (!bytes.empty()) {
      WriteBytes(reinterpret_cast<unsigned char const*>(bytes.data()),
                 static_cast<int32_t>(bytes.size()));
    }
  }
  int32_t Position() const { return m_lngPosition; }
  int32_t Capacity() const { return m_lngCapacity; }
  std::string Detail() const { return m_ustrErrorDetail.GetAnsiString(1).c_str(); }
  std::string Error() const { return ErrorString().GetAnsiString(1).c_str(); }
  std::string Contents() {
    if (GetSize() == 0) return std::string();
    return std::string(reinterpret_cast<char const*>(GetBuffer()), static_cast<size_t>(GetSize()));
  }
};

unsigned char* Bytes(std::string& text) { return reinterpret_cast<unsigned char*>(&text[0]); }

TEST(XMemoryStreamTest, GrowsInStepsAndKeepsItsBytes) {
  for (auto const& c : {std::pair<int, int>{0, 0}, {-5, 0}, {1, 1024}, {1024, 1024}, {1025, 2048}}) {
    EXPECT_EQ(XMemoryStream::ComputeFullSize(c.first), c.second) << c.first;
  }
  std::string ten = "0123456789";
  ProbedStream stream;
  EXPECT_EQ(stream.WriteBytes(Bytes(ten), 10), 10);
  EXPECT_EQ(stream.Capacity(), 1024);
  EXPECT_EQ(stream.Position(), 10);

  std::string const fill(1020, 'f');
  ProbedStream full(fill);
  EXPECT_EQ(full.WriteBytes(Bytes(ten), 10), 10);
  EXPECT_EQ(full.Capacity(), 2048);
  EXPECT_EQ(full.Contents(), fill + ten);
  // Writing the stream's own bytes while that write makes it grow.
  std::string const head = full.Contents();
  EXPECT_EQ(full.WriteBytes(full.GetBuffer(), 1030), 1030);
  EXPECT_EQ(full.Contents(), head + head);

  ProbedStream reserved;
  reserved.Reserve(5000);
  EXPECT_EQ(reserved.Capacity(), 5120);
  EXPECT_TRUE(reserved.Match(nullptr, 0));
  EXPECT_TRUE(full.Match(full.GetBuffer(), full.GetSize()));
  EXPECT_FALSE(full.Match(Bytes(ten), 10));
}

TEST(XMemoryStreamTest, ReadsStopAtTheEnd) {
  ProbedStream stream("abcdefghijkl");
  unsigned char out[16] = {0};
  stream.SetPos(8, kStreamFromStart);
  EXPECT_EQ(stream.PeekBytes(out, 10), 4);
  EXPECT_EQ(stream.Position(), 8);
  EXPECT_EQ(stream.ReadBytes(out, 10), 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "ijkl");
  EXPECT_EQ(stream.Position(), 12);
  EXPECT_EQ(stream.ReadBytes(out, 10), 0);
  EXPECT_EQ(stream.Error(), "");
}

TEST(XMemoryStreamTest, SetSizeByOrigin) {
  struct {
    int32_t position, size;
    int origin;
    int32_t expectedSize, expectedPosition;
  } const cases[] = {
      {0, 3, 1, 7, 0}, {0, -3, 1, 7, 0}, {0, 12, 1, 0, 0},        {9, 4, 0, 4, 4},
      {0, -2, 0, 0, 0}, {4, 3, 2, 7, 4}, {4, -9, 2, 0, 0}, {5, 2000, 0, 2000, 5},
      {8, 7, 5, 10, 8},
  };
  for (auto const& c : cases) {
    ProbedStream stream("0123456789");
    stream.SetPos(c.position, kStreamFromStart);
    EXPECT_TRUE(stream.SetSize(c.size, c.origin));
    EXPECT_EQ(stream.GetSize(), c.expectedSize) << c.size << " " << c.origin;
    EXPECT_EQ(stream.Position(), c.expectedPosition) << c.size << " " << c.origin;
  }
  ProbedStream same("0123456789");
  EXPECT_TRUE(same.SetSize(10, kStreamFromPosition));  // equal to the size: nothing happens
  EXPECT_EQ(same.GetSize(), 10);
  EXPECT_EQ(same.Detail(), "New Size equals Old Size");

  ProbedStream grown("ab");  // growth keeps the old bytes; the new ones read as zero
  EXPECT_TRUE(grown.SetSize(1500, kStreamFromStart));
  EXPECT_EQ(grown.Capacity(), 2048);
  EXPECT_EQ(grown.Contents(), "ab" + std::string(1498, '\0'));
}

TEST(XMemoryStreamTest, FindTable) {
  struct {
    char const* bytes;
    char const* pattern;
    bool anyOf;
    int32_t start, occurrence, expected;
  } const cases[] = {
      {"abc", "c", false, 0, 1, 2},    {"abc", "c", false, 5, -1, 2},  {"abc", "bc", false, -4, 1, 1},
      {"abab", "b", true, 0, 2, 3},    {"abab", "b", true, 0, 3, -1},  {"abab", "ab", false, 3, -1, 2},
      {"abab", "ab", false, 3, -2, 0}, {"abab", "ab", false, 1, 1, 2}, {"abcd", "xd", true, 0, 1, 3},
      {"aaaa", "aa", false, 0, 3, 2},  {"abc", "abcd", false, 0, 1, -1}, {"abc", "a", false, 0, 0, -1},
      {"", "a", false, 0, 1, -1},
  };
  for (auto const& c : cases) {
    ProbedStream stream(c.bytes);
    std::string pattern = c.pattern;
    EXPECT_EQ(stream.Find(Bytes(pattern), static_cast<int32_t>(pattern.size()), c.anyOf, c.start,
                          c.occurrence),
              c.expected)
        << c.bytes << " " << c.pattern << " " << c.start << " " << c.occurrence;
  }
}

TEST(XMemoryStreamTest, InsertRefusesRangesOutsideTheStream) {
  struct {
    int32_t length, at, replaceLength, expected;
    char const* contents;
    char const* error;  // for refusals
  } const cases[] = {
      {2, 1, 0, 2, "axybc", nullptr},  {2, 1, 1, 2, "axyc", nullptr},  {2, 1, 2, 2, "axy", nullptr},
      {1, 0, 3, 1, "x", nullptr},      {2, -1, 0, 2, "abcxy", nullptr}, {2, 99, 0, 2, "abcxy", nullptr},
      {2, 1, -4, 2, "axybc", nullptr},
      {2, -2, 0, 0, "abc", "Insert Position is outside the Stream."},
      {2, 1, 3, 0, "abc", "Insert Replace Length runs past the End of the Stream."},
      {2, 3, 1, 0, "abc", "Insert Replace Length runs past the End of the Stream."},
      {-2, 1, 0, 0, "abc", "Insert Length is negative."},
  };
  for (auto const& c : cases) {
    ProbedStream stream("abc");
    stream.SetPos(1, kStreamFromStart);
    std::string data = "xy";
    EXPECT_EQ(stream.Insert(Bytes(data), c.length, c.at, c.replaceLength), c.expected)
        << c.length << " " << c.at << " " << c.replaceLength;
    EXPECT_EQ(stream.Contents(), c.contents);
    int32_t const at = c.at < 0 || c.at > 3 ? 3 : c.at;
    EXPECT_EQ(stream.Position(), c.error != nullptr ? 1 : at + c.length);
    if (c.error != nullptr) {
      EXPECT_EQ(stream.Error(), c.error);
    }
  }
  std::string const block(1024, 'k');  // the stream's own bytes, inserted while it grows
  ProbedStream own(block);
  EXPECT_EQ(own.Insert(own.GetBuffer(), 10, 0, 0), 10);
  EXPECT_EQ(own.Contents(), std::string(1034, 'k'));
}

TEST(XMemoryStreamTest, RemoveRefusesPositionsOutsideTheStream) {
  struct {
    int32_t at, length, expected;
    char const* contents;
    bool refused;
  } const cases[] = {
      {1, 2, 2, "ad", false},   {2, -2, 2, "ad", false},  {2, 9, 2, "ab", false},
      {0, -1, 1, "bcd", false}, {3, -9, 4, "", false},    {4, 1, 0, "abcd", false},
      {1, 0, 0, "abcd", false}, {4, -1, 0, "abcd", true}, {5, 1, 0, "abcd", true},
      {-1, 1, 0, "abcd", true},
  };
  for (auto const& c : cases) {
    ProbedStream stream("abcd");
    EXPECT_EQ(stream.Remove(c.at, c.length), c.expected) << c.at << " " << c.length;
    EXPECT_EQ(stream.Contents(), c.contents) << c.at << " " << c.length;
    EXPECT_EQ(stream.Error(), c.refused ? "Remove Position is outside the Stream." : "");
    EXPECT_LE(stream.Position(), stream.GetSize());
  }
}

TEST(XMemoryStreamTest, ReplaceTakesEveryLeftmostMatchForAnyLength) {
  struct {
    char const* bytes;
    char const* pattern;
    char const* with;
    std::string expected;
  } const cases[] = {
      {"aaab", "aab", "X", "aX"},      {"abcabc", "b", "", "acac"}, {"abab", "ab", "xyz", "xyzxyz"},
      {"aaaa", "aa", "b", "bb"},       {"aaa", "aa", "aaaa", "aaaaa"},
      {"xaxbx", "x", "xx", "xxaxxbxx"}, {"abc", "abcd", "z", "abc"}, {"abc", "abc", "", ""},
  };
  for (auto const& c : cases) {
    ProbedStream stream(c.bytes);
    std::string pattern = c.pattern;
    std::string with = c.with;
    stream.Replace(Bytes(pattern), static_cast<int32_t>(pattern.size()),
                   with.empty() ? nullptr : Bytes(with), static_cast<int32_t>(with.size()));
    EXPECT_EQ(stream.Contents(), c.expected) << c.bytes << " " << c.pattern << " " << c.with;
    EXPECT_LE(stream.Position(), stream.GetSize());
  }
  ProbedStream big(std::string(1000, 'a'));  // a longer replacement grows the buffer
  std::string a = "a", bb = "bb";
  big.Replace(Bytes(a), 1, Bytes(bb), 2);
  EXPECT_EQ(big.Contents(), std::string(2000, 'b'));
  EXPECT_EQ(big.Capacity(), 2048);

  ProbedStream stream("abc");
  stream.Replace(Bytes(a), 1, nullptr, 3);
  EXPECT_EQ(stream.Error(), "Replace Buffer is NULL or has a negative Length!");
  EXPECT_EQ(stream.Contents(), "abc");
}

}  // namespace
