// Tests of XFileStream: attaching in each mode, buffered reads across block borders (40,000
// bytes, exactly one block), peeks, positions and sizes, write-behind and its bypass, appending,
// lines through the buffer, read/write in place, Find, the resource fork, and fork failures
// injected through the File Manager stand-in.
// Each test runs on a fresh temporary file-system root; files are checked on disk directly.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/XFileStream.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

// Runs call with the process's file-size limit at limitBytes and SIGXFSZ ignored, so that a
// write passing the limit lands in part and then fails (EFBIG) as on a full disk. Both are put
// back at once, before anything else writes.
template <typename Call>
void WithFileSizeLimit(rlim_t limitBytes, Call call) {
  rlimit saved{};
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  struct sigaction ignore {};
  struct sigaction savedAction {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ASSERT_EQ(0, sigaction(SIGXFSZ, &ignore, &savedAction));
  rlimit limited = saved;
  limited.rlim_cur = limitBytes;
  bool const set = setrlimit(RLIMIT_FSIZE, &limited) == 0;
  if (set) call();
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &savedAction, nullptr);
  ASSERT_TRUE(set);
}

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

// Exposes the error detail, which the stream keeps but offers no accessor for.
class TestStream : public XFileStream {
 public:
  explicit TestStream(int32_t bufferSize) : XFileStream(bufferSize) {}
  std::string Detail() const { return S(m_ustrErrorDetail); }
  std::string Error() const { return S(ErrorString()); }
  int32_t Position() const { return m_lngPosition; }
};

class FileStreamFixture : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("xfilestream"));
    ASSERT_EQ(noErr, InstallRoot());
  }
  void TearDown() override { RemoveRoot(); }
  static XFileSpec Spec(std::string const& path) {
    XFileSpec spec;
    EXPECT_TRUE(spec.ParsePath(U(path))) << path;
    return spec;
  }
  static std::string Pattern(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
  }
  // Lower-case letters only, so that upper-case patterns are found only where a test put them.
  static std::string Letters(size_t n) {
    std::string bytes(n, 'a');
    for (size_t i = 0; i < n; ++i) bytes[i] = char('a' + (i * 7 + i / 251) % 26);
    return bytes;
  }
};

TEST_F(FileStreamFixture, AttachingInEachMode) {
  TestStream stream(16384);
  EXPECT_FALSE(stream.AttachToFile(Spec("/missing.txt"), 0, "XFSDataFork"));
  EXPECT_EQ("File does not exist.", stream.Error());
  EXPECT_FALSE(std::filesystem::exists(Real("/missing.txt")));

  // An unknown mode opens nothing and creates nothing.
  EXPECT_FALSE(stream.AttachToFile(Spec("/mode3.txt"), 3, "XFSDataFork"));
  EXPECT_EQ(0u, stream.Error().find("Could not get File Size; MacError: ")) << stream.Error();
  EXPECT_FALSE(std::filesystem::exists(Real("/mode3.txt")));
  unsigned char byte = 0;
  EXPECT_EQ(0, stream.ReadBytes(&byte, 1));
  EXPECT_EQ("Not attached to any file.", stream.Error());

  ASSERT_TRUE(stream.AttachToFile(Spec("/new.txt"), 1, "XFSDataFork")) << stream.Error();
  EXPECT_EQ(0, stream.GetSize());
  EXPECT_TRUE(std::filesystem::exists(Real("/new.txt")));

  // A write mode keeps what the file holds.
  Write("/keep.txt", "keep me");
  ASSERT_TRUE(stream.AttachToFile(Spec("/keep.txt"), 1, "XFSDataFork"));
  EXPECT_EQ(7, stream.GetSize());
  EXPECT_EQ(0, stream.ReadBytes(&byte, 1));
  EXPECT_EQ("File is not in Read or Read/Write Mode.", stream.Error());

  EXPECT_FALSE(stream.AttachToFile(Spec("/keep.txt"), 0, "no such fork"));
  EXPECT_EQ(0u, stream.Error().find("Could not open file; MacError: ")) << stream.Error();
  EXPECT_EQ("keep me", Read("/keep.txt"));
}

// Sizes and positions are 32-bit: a fork of 2 GB or more is refused in every mode, never taken
// for its low 32 bits, and no write carries a file past 2 GB - 1. The files are sparse.
TEST_F(FileStreamFixture, ForksOf2GBOrMoreAreRefused) {
  struct {
    off_t size;
    int mode;
  } const cases[] = {{(off_t(1) << 31) + 1, 0}, {(off_t(1) << 32) + 1000, 0}, {off_t(1) << 32, 2},
                     {(off_t(1) << 31) + 1, 1}};
  for (auto const& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " mode " + std::to_string(c.mode));
    Write("/big.bin", "");
    ASSERT_EQ(0, truncate(Real("/big.bin").c_str(), c.size));
    TestStream stream(16384);
    EXPECT_FALSE(stream.AttachToFile(Spec("/big.bin"), c.mode, "XFSDataFork"));
    EXPECT_EQ("File is too large (2 GB or larger): /big.bin", stream.Error());
    EXPECT_EQ(0, stream.GetSize());
  }
  Write("/full.bin", "");
  ASSERT_EQ(0, truncate(Real("/full.bin").c_str(), off_t(INT32_MAX)));
  TestStream stream(16384);
  ASSERT_TRUE(stream.AttachToFile(Spec("/full.bin"), 1, "XFSDataFork")) << stream.Error();
  EXPECT_EQ(INT32_MAX, stream.GetSize());
  ASSERT_TRUE(stream.SetPos(0, 1));
  unsigned char const byte = 'x';
  EXPECT_EQ(0, stream.WriteBytes(&byte, 1));
  EXPECT_EQ("File is too large (2 GB or larger): /full.bin", stream.Error());
  stream.FlushWriteBuffer();
  EXPECT_EQ(std::filesystem::file_size(Real("/full.bin")), uintmax_t(INT32_MAX));
}

TEST_F(FileStreamFixture, BufferedReadsOf40000Bytes) {
  std::string const bytes = Pattern(40000);
  Write("/big.bin", bytes);
  {
    TestStream stream(16384);
    ASSERT_TRUE(stream.AttachToFile(Spec("/big.bin"), 0, "XFSDataFork"));
    std::vector<unsigned char> all(40000);
    EXPECT_EQ(40000, stream.ReadBytes(all.data(), 40000));
    EXPECT_EQ("", stream.Error());
    EXPECT_EQ(bytes, std::string(all.begin(), all.end()));
    EXPECT_TRUE(stream.AtEnd());
  }
  // Reads of mixed sizes, buffered and not, give the file back piece by piece.
  for (int32_t bufferSize : {16384, 0, 1000}) {
    for (int32_t piece : {1, 3, 100, 16383, 16384, 16385, 33000}) {
      TestStream stream(bufferSize);
      ASSERT_TRUE(stream.AttachToFile(Spec("/big.bin"), 0, "XFSDataFork"));
      std::string got;
      std::vector<unsigned char> chunk(size_t(piece) + 8);
      while (!stream.AtEnd()) {
        int32_t const n = stream.ReadBytes(chunk.data(), piece);
        ASSERT_GT(n, 0) << stream.Error();
        got.append(chunk.begin(), chunk.begin() + n);
      }
      EXPECT_EQ(bytes, got) << "buffer " << bufferSize << " piece " << piece;
      if (bufferSize > 0) {
        EXPECT_EQ("No bytes left to read", stream.Detail());
      }
      EXPECT_EQ("", stream.Error());
    }
  }
}

TEST_F(FileStreamFixture, FileOfExactlyOneBlock) {
  std::string bytes = Pattern(16384);
  bytes[16383] = 'z';
  Write("/block.bin", bytes);
  TestStream stream(16384);
  ASSERT_TRUE(stream.AttachToFile(Spec("/block.bin"), 0, "XFSDataFork"));
  unsigned char byte = 0;
  for (int32_t i = 0; i < 16383; ++i) {
    ASSERT_EQ(1, stream.ReadBytes(&byte, 1));
    ASSERT_EQ(char(byte), bytes[size_t(i)]);
  }
  EXPECT_EQ("", stream.Detail());
  EXPECT_EQ(1, stream.ReadBytes(&byte, 1));
  EXPECT_EQ('z', byte);
  EXPECT_EQ("No bytes left to read", stream.Detail());
  EXPECT_EQ("", stream.Error());
  AnsiString line("x");
  EXPECT_EQ(0, stream.ReadLine(&line, kLineEndingNone, false));
  EXPECT_EQ(0, line.Length());
  EXPECT_EQ("No lines left to read", stream.Detail());
  EXPECT_EQ("", stream.Error());
}

TEST_F(FileStreamFixture, PeeksAndPositions) {
  std::string const bytes = Pattern(40000);
  Write("/big.bin", bytes);
  for (int32_t bufferSize : {16384, 0}) {
    TestStream stream(bufferSize);
    ASSERT_TRUE(stream.AttachToFile(Spec("/big.bin"), 0, "XFSDataFork"));
    struct {
      int32_t offset;
      int origin;
      int32_t position;
    } const moves[] = {
        {16380, 0, 16380}, {5, 1, 39995}, {-5, 1, 39995}, {50000, 1, 0}, {50000, 0, 40000},
        {32760, 0, 32760}, {-100, 2, 32680}, {-40000, 2, 0},  {16384, 2, 16404}, {39990, 0, 39990},
    };
    for (auto const& move : moves) {
      ASSERT_TRUE(stream.SetPos(move.offset, move.origin)) << stream.Error();
      ASSERT_EQ(move.position, stream.Position()) << move.offset << "/" << move.origin;
      // A peek across the block border gives what the following read gives.
      unsigned char peeked[20] = {0};
      unsigned char read[20] = {0};
      int32_t const n = stream.PeekBytes(peeked, 20);
      EXPECT_EQ(move.position, stream.Position());
      EXPECT_EQ(n, stream.ReadBytes(read, 20));
      EXPECT_EQ(std::min<int32_t>(20, 40000 - move.position), n);
      EXPECT_EQ(bytes.substr(size_t(move.position), size_t(n)),
                std::string(read, read + n));
      EXPECT_EQ(std::string(peeked, peeked + n), std::string(read, read + n));
    }
  }
}

TEST_F(FileStreamFixture, WriteBehindAndTheBypass) {
  unsigned char ten[10] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
  {
    TestStream stream(16384);
    ASSERT_TRUE(stream.AttachToFile(Spec("/out.txt"), 1, "XFSDataFork"));
    for (int i = 0; i < 10; ++i) ASSERT_EQ(10, stream.WriteBytes(ten, 10));
    EXPECT_EQ(100, stream.GetSize());
    EXPECT_EQ("", Read("/out.txt"));
  }
  EXPECT_EQ(100u, Read("/out.txt").size());

  std::string const large = Pattern(20000);
  TestStream stream(16384);
  ASSERT_TRUE(stream.AttachToFile(Spec("/big.txt"), 1, "XFSDataFork"));
  ASSERT_EQ(10, stream.WriteBytes(ten, 10));
  FSStandInTestSetCallLog(true);
  ASSERT_EQ(20000, stream.WriteBytes(reinterpret_cast<unsigned char const*>(large.data()), 20000));
  FSStandInTestSetCallLog(false);
  std::vector<std::string> const log = FSStandInTestCallLog();
  EXPECT_EQ(2, std::count(log.begin(), log.end(), "FSWriteFork /big.txt"));
  EXPECT_EQ(std::string(ten, ten + 10) + large, Read("/big.txt"));

  // SetPos hands the waiting bytes to the fork before it moves.
  ASSERT_EQ(10, stream.WriteBytes(ten, 10));
  EXPECT_EQ(20010u, Read("/big.txt").size());
  ASSERT_TRUE(stream.SetPos(0, 0));
  EXPECT_EQ(20020u, Read("/big.txt").size());
  ASSERT_EQ(3, stream.WriteBytes(reinterpret_cast<unsigned char const*>("abc"), 3));
  EXPECT_EQ(20020, stream.GetSize());
  stream.FlushWriteBuffer();
  EXPECT_EQ("abc3456789", Read("/big.txt").substr(0, 10));
}

TEST_F(FileStreamFixture, AppendingAndSizes) {
  Write("/log.txt", "first\r");
  {
    TestStream log(0);
    ASSERT_TRUE(log.AttachToFile(Spec("/log.txt"), 1, "XFSDataFork"));
    ASSERT_TRUE(log.SetPos(0, 1));
    EXPECT_EQ(6, log.Position());
    EXPECT_EQ(7, log.WriteLine(AnsiString("second"), kLineEndingCR));
    EXPECT_EQ("first\rsecond\r", Read("/log.txt"));  // unbuffered: at once
  }

  Write("/sized.txt", "0123456789");
  TestStream stream(16384);
  ASSERT_TRUE(stream.AttachToFile(Spec("/sized.txt"), 1, "XFSDataFork"));
  ASSERT_TRUE(stream.SetPos(0, 1));
  // Waiting bytes reach the fork before its length changes, so none land beyond the new end.
  ASSERT_EQ(4, stream.WriteBytes(reinterpret_cast<unsigned char const*>("abcd"), 4));
  ASSERT_TRUE(stream.SetSize(12, 0)) << stream.Error();
  EXPECT_EQ(12, stream.GetSize());
  EXPECT_EQ(12, stream.Position());
  stream.FlushWriteBuffer();
  EXPECT_EQ("0123456789ab", Read("/sized.txt"));
  struct {
    int32_t position;
    int32_t size;
    int origin;
    int32_t expected;
  } const sizes[] = {{12, 2, 1, 10}, {0, -3, 1, 7}, {0, 100, 1, 0},
                     {0, 5, 0, 5},   {3, 1, 2, 4},  {4, -9, 2, 0}};
  for (auto const& change : sizes) {
    ASSERT_TRUE(stream.SetPos(change.position, 0));
    ASSERT_TRUE(stream.SetSize(change.size, change.origin)) << stream.Error();
    EXPECT_EQ(change.expected, stream.GetSize());
    EXPECT_EQ(size_t(change.expected), Read("/sized.txt").size());
    EXPECT_LE(stream.Position(), stream.GetSize());
  }

  TestStream reader(16384);
  ASSERT_TRUE(reader.AttachToFile(Spec("/log.txt"), 0, "XFSDataFork"));
  EXPECT_FALSE(reader.SetSize(0, 0));
  EXPECT_EQ("Can only set the File size in Write or Read/Write Mode.", reader.Error());
}

TEST_F(FileStreamFixture, LinesThroughTheBuffer) {
  // A CR LF pair split by the block border, and UTF-8 characters across it.
  std::string text(16383, 'a');
  text += "\r\n";
  text += "\xC3\xA9t\xC3\xA9\rlast";
  Write("/lines.txt", text);
  {
    TestStream stream(16384);
    ASSERT_TRUE(stream.AttachToFile(Spec("/lines.txt"), 0, "XFSDataFork"));
    AnsiString line;
    EXPECT_EQ(16383, stream.ReadLine(&line, kLineEndingNone, true));
    EXPECT_EQ(std::string(16383, 'a'), line.c_str());
    UniString uni;
    EXPECT_EQ(6, stream.ReadLine(&uni, kLineEndingNone, 1, false, false));
    EXPECT_EQ("\xC3\xA9t\xC3\xA9\r", S(uni));
    EXPECT_EQ(4, stream.ReadLine(&uni, kLineEndingNone, 1, false, true));
    EXPECT_EQ("last", S(uni));
    EXPECT_TRUE(stream.AtEnd());
  }
  {
    TestStream stream(16384);
    ASSERT_TRUE(stream.AttachToFile(Spec("/lines.out"), 1, "XFSDataFork"));
    for (int i = 0; i < 3000; ++i) {
      ASSERT_EQ(12, stream.WriteLine(U("line \xC3\xA9" + std::to_string(1000 + i)), kLineEndingLF, 1));
    }
  }
  TestStream stream(16384);
  ASSERT_TRUE(stream.AttachToFile(Spec("/lines.out"), 0, "XFSDataFork"));
  EXPECT_EQ(36000, stream.GetSize());
  UniString line;
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(11, stream.ReadLine(&line, kLineEndingLF, 1, false, true));
    ASSERT_EQ("line \xC3\xA9" + std::to_string(1000 + i), S(line));
  }
  EXPECT_TRUE(stream.AtEnd());
}

// The in-block line scan must give exactly what XStream's byte-by-byte reader gives: the same
// lines, counts, positions and texts, for every ending, stripping and 8-bit form (bytes, UTF-8,
// code pages 2 and Shift_JIS), also for lines that cross block borders (small buffers) and for
// malformed UTF-8, cut double-byte characters and zero bytes, with each UTF-8 decoder the
// processor has.
TEST_F(FileStreamFixture, LineScanMatchesTheByteReader) {
  struct stcWidestAgain {
    ~stcWidestAgain() { SetLineDecoderForTesting(INT_MAX); }
  } const widestAgain;
  // Piece 6 of the mixed text stands for a zero byte. The second text is ASCII with two- and
  // three-byte characters (an overlong E0 form among them), the mix the scan decodes sixteen
  // bytes at a time, with characters at every offset of a chunk and of a line's last bytes.
  // The third puts whole, cut and bad sequences right at the end of a decoder's chunk (16 or 64
  // bytes), as the line's last bytes and with the line going on after them.
  static char const* const kMixedPieces[] = {"a",        "bc",   "\r",   "\n",
                                             "\r\n",     "\n\r",  "",     "\xC3\xA9",
                                             "\xE2\x82\xAC", "\xC3", "\xE2\x82", "\x80",
                                             "\xF0\x9F\x98\x80", "0123456789abcdef", "\x82\xA0",
                                             "\x93"};
  static char const* const kShortPieces[] = {"a",         "bc",           "\xE0\x9F\xBF", "rs",
                                             "\xC3\xA9",   "\xC2\x80",     "\xDF\xBF",     "xyz ",
                                             "\xC3\x9F",   "\xD0\x96",     "\xE0\xA0\x80", "\xEF\xBF\xBD",
                                             "defgh",     "\xC5\x93",     "\xE2\x82\xAC", "ijklmnop"};
  uint32_t seed = 7;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  std::string text;
  while (text.size() < 6000) {
    int const piece = int(next() % 16);
    text += piece == 6 ? std::string(1, '\0') : std::string(kMixedPieces[piece]);
    if (next() % 40 == 0) text += std::string(70 + next() % 200, 'x');  // long lines
  }
  Write("/mixed.txt", text);
  text.clear();
  while (text.size() < 6000) {
    size_t const lineEnd = text.size() + 1 + next() % 100;
    while (text.size() < lineEnd) text += kShortPieces[next() % 16];
    text += next() % 2 == 0 ? "\n" : "\r\n";
  }
  Write("/short-sequences.txt", text);
  text.clear();
  for (size_t prefix : {12, 13, 14, 15, 16, 17, 28, 29, 30, 31, 60, 61, 62, 63, 64, 65, 124, 125,
                        126, 127})
  for (char const* end : {"\xC3", "\xE2", "\xE2\x82", "\xC3\xA9", "\xE2\x82\xAC", "\xE0\x9F\xBF",
                          "\xF0\x9F\x98\x80"})
  for (char const* after : {"", "z\xC3\xA9"}) {
    std::string const lead = prefix % 2 == 0 ? "\xC3\xA9" : "";
    text += lead + std::string(prefix - lead.size(), 'q') + end + after;
    text += prefix % 4 < 2 ? "\n" : "\r\n";
  }
  Write("/chunk-ends.txt", text);
  for (int decoder : {2, 1, 0})
  for (char const* path : {"/mixed.txt", "/short-sequences.txt", "/chunk-ends.txt"})
  for (int32_t bufferSize : {16384, 97, 64}) {
    SetLineDecoderForTesting(decoder);
    for (int ending = 0; ending < 4; ++ending) {
      for (bool strip : {false, true}) {
        for (int form : {-1, 1, 101, 2, 5}) {
          TestStream fast(bufferSize);
          TestStream slow(bufferSize);
          ASSERT_TRUE(fast.AttachToFile(Spec(path), 0, "XFSDataFork"));
          ASSERT_TRUE(slow.AttachToFile(Spec(path), 0, "XFSDataFork"));
          XStream& base = slow;
          auto const type = static_cast<enumLineEndingType>(ending);
          int lines = 0;
          while (!fast.AtEnd() || !slow.AtEnd()) {
            SCOPED_TRACE(testing::Message() << "decoder " << decoder << " " << path
                                            << " buffer " << bufferSize << " ending " << ending
                                            << " strip " << strip << " form " << form
                                            << " line " << lines);
            if (form < 0) {
              AnsiString a;
              AnsiString b;
              ASSERT_EQ(base.ReadLine(&b, type, strip), fast.ReadLine(&a, type, strip));
              ASSERT_EQ(std::string(b.c_str(), size_t(b.Length())),
                        std::string(a.c_str(), size_t(a.Length())));
            } else {
              UniString a;
              UniString b;
              ASSERT_EQ(base.ReadLine(&b, type, form, false, strip),
                        fast.ReadLine(&a, type, form, false, strip));
              ASSERT_TRUE(a == b);
            }
            ASSERT_EQ(slow.Position(), fast.Position());
            ASSERT_EQ(slow.Error(), fast.Error());
            ASSERT_EQ(slow.Detail(), fast.Detail());
            ++lines;
          }
          EXPECT_GT(lines, 40);
        }
      }
    }
  }
}

TEST_F(FileStreamFixture, ShiftJISCharacterAtTheChunkBorderStaysWhole) {
  // Lines of 60 to 68 letters and a double-byte character, read without a buffer (the byte
  // reader's chunks), through a block (the whole-line scan) and across 64-byte blocks.
  std::string text;
  for (int lead = 60; lead <= 68; ++lead) text += std::string(size_t(lead), 'a') + "\x82\xA0" "b\r\n";
  Write("/sjis.txt", text);
  for (int32_t bufferSize : {0, 16384, 64}) {
    TestStream stream(bufferSize);
    ASSERT_TRUE(stream.AttachToFile(Spec("/sjis.txt"), 0, "XFSDataFork"));
    for (int lead = 60; lead <= 68; ++lead) {
      UniString line;
      EXPECT_EQ(stream.ReadLine(&line, kLineEndingCRLF, 5, false, true), lead + 3);
      EXPECT_EQ(S(line), std::string(size_t(lead), 'a') + "\xE3\x81\x82" "b")
          << "buffer " << bufferSize << " lead " << lead;
    }
    EXPECT_TRUE(stream.AtEnd());
  }
}

TEST_F(FileStreamFixture, ReadWriteInPlaceAndFind) {
  std::string bytes = Letters(40000);
  Write("/rw.bin", bytes);
  TestStream stream(16384);
  ASSERT_TRUE(stream.AttachToFile(Spec("/rw.bin"), 2, "XFSDataFork"));
  // Overwrite across the first block border, then read it back through a fresh block.
  std::string const patch = "PATCHPATCH";
  ASSERT_TRUE(stream.SetPos(16380, 0));
  ASSERT_EQ(10, stream.WriteBytes(reinterpret_cast<unsigned char const*>(patch.data()), 10));
  bytes.replace(16380, 10, patch);
  ASSERT_EQ(10, stream.Insert(reinterpret_cast<unsigned char*>(const_cast<char*>("insertsXYZ")),
                              10, 100, 10));
  bytes.replace(100, 10, "insertsXYZ");
  EXPECT_EQ(0, stream.Insert(reinterpret_cast<unsigned char*>(const_cast<char*>("ab")), 2, 5, 3));
  ASSERT_TRUE(stream.SetPos(39998, 0));
  ASSERT_EQ(4, stream.WriteBytes(reinterpret_cast<unsigned char const*>("TAIL"), 4));
  bytes.replace(39998, 2, "TAIL");
  EXPECT_EQ(40002, stream.GetSize());

  // Find sees the changed bytes and moves neither the position nor the block.
  unsigned char seq[] = {'P', 'A', 'T', 'C', 'H'};
  EXPECT_EQ(16380, stream.Find(seq, 5, false, 0, 1));
  EXPECT_EQ(16385, stream.Find(seq, 5, false, 0, 2));
  EXPECT_EQ(16385, stream.Find(seq, 5, false, 40001, -1));
  EXPECT_EQ(-1, stream.Find(seq, 5, false, 0, 3));
  unsigned char any[] = {'X', 'L'};
  EXPECT_EQ(107, stream.Find(any, 2, true, 0, 1));
  EXPECT_EQ(40001, stream.Find(any, 2, true, 50000, -1));
  EXPECT_EQ(-1, stream.Find(any, 2, true, 0, 0));
  EXPECT_EQ("Occurrence 0 does not exist", stream.Detail());
  EXPECT_EQ(40002, stream.Position());

  ASSERT_TRUE(stream.SetSize(30000, 0));
  bytes.resize(30000);
  ASSERT_TRUE(stream.SetPos(0, 0));
  std::vector<unsigned char> all(40002);
  EXPECT_EQ(30000, stream.ReadBytes(all.data(), 40002));
  EXPECT_EQ(bytes, std::string(all.begin(), all.begin() + 30000));
  EXPECT_EQ(bytes, Read("/rw.bin"));
  // Shrunk and grown again, past the block, the stream reads zeros where the old bytes were,
  // also in the block it holds.
  ASSERT_TRUE(stream.SetPos(10, 0));
  ASSERT_TRUE(stream.SetSize(20, 0));
  ASSERT_TRUE(stream.SetSize(40000, 0));
  bytes = bytes.substr(0, 20) + std::string(39980, '\0');
  ASSERT_TRUE(stream.SetPos(0, 0));
  std::fill(all.begin(), all.end(), 0xA5);
  EXPECT_EQ(40000, stream.ReadBytes(all.data(), 40002));
  EXPECT_EQ(bytes, std::string(all.begin(), all.begin() + 40000));
  EXPECT_EQ(bytes, Read("/rw.bin"));

  stream.Match(seq, 5);
  EXPECT_EQ("Match() Base Function is not overridden!", stream.Error());
  stream.Remove(0, 5);
  EXPECT_EQ("Remove() Base Function is not overridden!", stream.Error());
  stream.Replace(seq, 5, seq, 5);
  EXPECT_EQ("Replace() Base Function is not overridden!", stream.Error());
  EXPECT_EQ(bytes, Read("/rw.bin"));
}

TEST_F(FileStreamFixture, ResourceForkAndSwitching) {
  Write("/both.txt", "data fork");
  {
    TestStream stream(16384);
    ASSERT_TRUE(stream.AttachToFile(Spec("/both.txt"), 1, "XFSResFork")) << stream.Error();
    EXPECT_EQ(0, stream.GetSize());
    ASSERT_EQ(8, stream.WriteBytes(reinterpret_cast<unsigned char const*>("resource"), 8));
    // Switching flushes what waits for the resource fork first.
    ASSERT_TRUE(stream.SwitchForks("XFSDataFork")) << stream.Error();
    EXPECT_EQ(9, stream.GetSize());
  }
  EXPECT_EQ("data fork", Read("/both.txt"));
  TestStream stream(16384);
  ASSERT_TRUE(stream.AttachToFile(Spec("/both.txt"), 0, "XFSResFork"));
  unsigned char got[16] = {0};
  EXPECT_EQ(8, stream.ReadBytes(got, 16));
  EXPECT_EQ("resource", std::string(got, got + 8));
  EXPECT_FALSE(stream.SwitchForks("some other fork"));
  EXPECT_EQ(0, stream.ReadBytes(got, 1));
  EXPECT_EQ("Not attached to any file.", stream.Error());
  EXPECT_FALSE(stream.SwitchForks("XFSDataFork"));
}

TEST_F(FileStreamFixture, InjectedForkFailures) {
  Write("/f.txt", Pattern(40000));
  TestStream stream(16384);
  struct {
    char const* call;
    int mode;
    char const* prefix;
  } const attachFaults[] = {
      {"FSOpenFork", 0, "Could not open file; MacError: "},
      {"FSGetForkSize", 1, "Could not get File Size; MacError: "},
      {"FSReadFork", 0, "Could not read from file; MacError: "},
  };
  for (auto const& fault : attachFaults) {
    FSStandInTestFailNext(fault.call, "/f.txt", ioErr);
    EXPECT_FALSE(stream.AttachToFile(Spec("/f.txt"), fault.mode, "XFSDataFork")) << fault.call;
    EXPECT_EQ(S(U(fault.prefix) + XFileSpec::GetMacError(ioErr)), stream.Error());
    EXPECT_FALSE(stream.SetPos(0, 0));  // detached
  }

  // A read failure at a block border is reported, and the stream stays usable.
  ASSERT_TRUE(stream.AttachToFile(Spec("/f.txt"), 0, "XFSDataFork"));
  std::vector<unsigned char> buffer(20000);
  FSStandInTestFailNext("FSReadFork", "/f.txt", ioErr);
  EXPECT_EQ(0, stream.ReadBytes(buffer.data(), 20000));
  EXPECT_EQ(0u, stream.Error().find("Could not read from file; MacError: "));
  ASSERT_TRUE(stream.SetPos(0, 0));
  EXPECT_EQ(20000, stream.ReadBytes(buffer.data(), 20000));

  // A failed flush keeps the bytes waiting, and a later flush delivers them.
  ASSERT_TRUE(stream.AttachToFile(Spec("/w.txt"), 1, "XFSDataFork"));
  ASSERT_EQ(5, stream.WriteBytes(reinterpret_cast<unsigned char const*>("hello"), 5));
  FSStandInTestFailNext("FSWriteFork", "/w.txt", dskFulErr);
  EXPECT_FALSE(stream.SetPos(0, 0));
  EXPECT_EQ(S(U("Could not write to file; MacError: ") + XFileSpec::GetMacError(dskFulErr)),
            stream.Error());
  EXPECT_EQ("", Read("/w.txt"));
  stream.FlushWriteBuffer();
  EXPECT_EQ("", stream.Error());
  EXPECT_EQ("hello", Read("/w.txt"));

  // Losing the buffer on re-attaching is reported, not silent.
  ASSERT_EQ(3, stream.WriteBytes(reinterpret_cast<unsigned char const*>("abc"), 3));
  FSStandInTestFailNext("FSWriteFork", "/w.txt", dskFulErr);
  EXPECT_FALSE(stream.AttachToFile(Spec("/f.txt"), 0, "XFSDataFork"));
  EXPECT_EQ(0u, stream.Error().find("Could not write to file; MacError: "));

  ASSERT_TRUE(stream.AttachToFile(Spec("/w.txt"), 1, "XFSDataFork"));
  FSStandInTestFailNext("FSSetForkSize", "/w.txt", ioErr);
  EXPECT_FALSE(stream.SetSize(0, 0));
  EXPECT_EQ(0u, stream.Error().find("Could not set File Size; MacError: "));
  EXPECT_EQ(5, stream.GetSize());
  EXPECT_EQ(0, FSStandInTestPendingFaults());
}

TEST_F(FileStreamFixture, WriteCutShortIsRetriedInPlace) {
  std::string const bytes = "ABCDEFGHIJKLMNOPQRST";
  unsigned char const* const data = reinterpret_cast<unsigned char const*>(bytes.data());
  // A flush of the write-behind buffer, and an unbuffered write straight to the fork: each lands
  // 10 of its 20 bytes, fails, and is retried once the disk has room.
  for (int32_t bufferSize : {16384, 0}) {
    SCOPED_TRACE(bufferSize);
    std::string const path = "/cut" + std::to_string(bufferSize) + ".txt";
    TestStream stream(bufferSize);
    ASSERT_TRUE(stream.AttachToFile(Spec(path), 1, "XFSDataFork"));
    if (bufferSize > 0) {
      ASSERT_EQ(20, stream.WriteBytes(data, 20));
      WithFileSizeLimit(10, [&] { stream.FlushWriteBuffer(); });
      EXPECT_EQ(0u, stream.Error().find("Could not write to file; MacError: ")) << stream.Error();
      EXPECT_EQ("ABCDEFGHIJ", Read(path));
      stream.FlushWriteBuffer();
      EXPECT_EQ("", stream.Error());
    } else {
      int32_t written = -1;
      WithFileSizeLimit(10, [&] { written = stream.WriteBytes(data, 20); });
      EXPECT_EQ(0, written);
      EXPECT_EQ(0u, stream.Error().find("Could not write to file; MacError: ")) << stream.Error();
      EXPECT_EQ(0, stream.Position());
      EXPECT_EQ(20, stream.WriteBytes(data, 20));
    }
    EXPECT_EQ(bytes, Read(path));
    EXPECT_EQ(20, stream.GetSize());
  }
}

TEST_F(FileStreamFixture, FailedReadAtBlockEndSkipsNothing) {
  std::string const bytes = Pattern(40000);
  Write("/f.txt", bytes);
  TestStream stream(16384);
  ASSERT_TRUE(stream.AttachToFile(Spec("/f.txt"), 0, "XFSDataFork"));
  std::vector<unsigned char> buffer(20000);
  // The rest of the loaded block is copied, then loading the next block fails.
  FSStandInTestFailNext("FSReadFork", "/f.txt", ioErr);
  EXPECT_EQ(0, stream.ReadBytes(buffer.data(), 20000));
  EXPECT_EQ(0u, stream.Error().find("Could not read from file; MacError: ")) << stream.Error();
  EXPECT_EQ(0, stream.Position());
  // Without any SetPos, the next read starts where the failed one did.
  ASSERT_EQ(20000, stream.ReadBytes(buffer.data(), 20000)) << stream.Error();
  EXPECT_TRUE(bytes.substr(0, 20000) == std::string(buffer.begin(), buffer.end()));
  EXPECT_EQ(20000, stream.Position());

  // The same when the whole block that follows fails to come straight into the caller's memory.
  ASSERT_TRUE(stream.SetPos(100, 0));
  std::vector<unsigned char> large(36000);
  FSStandInTestFailNext("FSReadFork", "/f.txt", ioErr);
  EXPECT_EQ(0, stream.ReadBytes(large.data(), 36000));
  EXPECT_EQ(100, stream.Position());
  ASSERT_EQ(36000, stream.ReadBytes(large.data(), 36000)) << stream.Error();
  EXPECT_TRUE(bytes.substr(100, 36000) == std::string(large.begin(), large.end()));
}

}  // namespace
