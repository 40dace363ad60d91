// Tests of the string-list text files: the bytes saved for marks, encodings and line ends, the
// mark sniffing of the load, and real files on a temporary file-system root (creation with
// creator and type, truncation of a longer file, a failed final write reported, an empty list
// touching nothing, a folder refused, loading back, a missing file), and saves that cannot
// lose the old file: failures at each step, a link replaced, modes, a saving child killed
// mid-save, two processes saving at once, a full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/UniStringList.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"
#include "files/XMemoryStream.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

// The Finder information of a file, read straight from the File Manager.
FInfo FinderInfoOf(std::string const& virtualPath) {
  FSRef ref;
  FSSpec spec;
  FInfo finder = {};
  auto const* bytes = reinterpret_cast<UInt8 const*>(virtualPath.c_str());
  EXPECT_EQ(noErr, FSPathMakeRef(bytes, &ref, nullptr));
  EXPECT_EQ(noErr, FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr));
  EXPECT_EQ(noErr, FSpGetFInfo(&spec, &finder)) << virtualPath;
  return finder;
}

UniStringList List(std::vector<std::string> const& items) {
  UniStringList list;
  for (auto const& item : items) list.Add(U(item));
  return list;
}
std::vector<std::string> Items(UniStringList const& list) {
  std::vector<std::string> items;
  for (UniString const& s : list) items.push_back(S(s));
  return items;
}

Bytes Saved(UniStringList const& list, int encoding, bool mark, enumLineEndingType ending) {
  XMemoryStream stream;
  EXPECT_EQ("", S(list.SaveToStream(&stream, encoding, mark, ending)));
  return Bytes(stream.GetBuffer(), stream.GetBuffer() + stream.GetSize());
}

UniStringList Loaded(Bytes const& bytes, bool useGiven, bool little, int encoding,
                     std::string* error = nullptr) {
  XMemoryStream stream;
  if (!bytes.empty()) stream.WriteBytes(bytes.data(), int32_t(bytes.size()));
  UniStringList list;
  list.Add(U("stale"));
  std::string const result = S(list.LoadFromStream(&stream, useGiven, little, encoding));
  if (error != nullptr) *error = result;
  else EXPECT_EQ("", result);
  return list;
}

}  // namespace

TEST(UniStringListFiles, SavedBytesForEachEncodingMarkAndEnding) {
  struct {
    std::vector<std::string> items;
    int encoding;
    bool mark;
    enumLineEndingType ending;
    Bytes expected;
  } const cases[] = {
      {{"x"}, 1, true, kLineEndingCR, {0xEF, 0xBB, 0xBF, 'x'}},
      {{"x", "y"}, 1, true, kLineEndingCR, {0xEF, 0xBB, 0xBF, 'x', 0x0D, 'y'}},
      // UTF-16 is big-endian after FE FF, line ends included.
      {{"x", "y"}, 0, true, kLineEndingCRLF, {0xFE, 0xFF, 0, 'x', 0, 0x0D, 0, 0x0A, 0, 'y'}},
      // Code pages get no mark.
      {{"x"}, 2, true, kLineEndingCR, {'x'}},
      // A list of one empty string is one empty line, with its mark.
      {{""}, 1, true, kLineEndingCR, {0xEF, 0xBB, 0xBF}},
      {{}, 1, true, kLineEndingCR, {}},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(c.expected, Saved(List(c.items), c.encoding, c.mark, c.ending))
        << c.items.size() << " items, encoding " << c.encoding;
  }

  EXPECT_EQ("", S(UniStringList().SaveToStream(nullptr, 1, true, kLineEndingCR)));
  EXPECT_EQ("Output Stream is NULL!", S(List({"a"}).SaveToStream(nullptr, 1, true, kLineEndingCR)));
  // A failing line (an encoding that cannot be written) is reported, also for the last line.
  XMemoryStream stream;
  EXPECT_NE("", S(List({"a"}).SaveToStream(&stream, 77, false, kLineEndingCR)));
}

TEST(UniStringListFiles, LoadSniffsTheMarkAndFallsBack) {
  struct {
    Bytes bytes;
    bool useGiven;
    bool little;
    int encoding;
    std::vector<std::string> expected;
  } const cases[] = {
      {{0xFE, 0xFF, 0x00, 'A'}, false, false, 1, {"A"}},
      {{0xFF, 0xFE, 'A', 0x00}, false, false, 1, {"A"}},
      {{0xEF, 0xBB, 0xBF, 'a', 0x0D, 'b'}, false, false, 0, {"a", "b"}},
      {{0x00, 'A', 0x00, 'B'}, false, false, 1, {"AB"}},
      {{'A', 0x00, 'B', 0x00}, false, false, 1, {"AB"}},
      // No mark: the given encoding; a trailing line end makes no empty last line.
      {{'a', 0x0D, 'b', 0x0D}, false, false, 1, {"a", "b"}},
      {{'a', 0x0D, 0x0D, 'b'}, false, false, 1, {"a", "", "b"}},
      // Too short for any pattern: read in the given encoding.
      {{'z'}, false, false, 1, {"z"}},
      {{0x00, 'A', 0x00}, false, false, 0, {"A"}},
      // useGiven: nothing is sniffed, a mark is read as text.
      {{0xEF, 0xBB, 0xBF, 'a'}, true, false, 1, {"\xEF\xBB\xBF" "a"}},
      {{}, false, false, 1, {}},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(c.expected, Items(Loaded(c.bytes, c.useGiven, c.little, c.encoding)))
        << "first byte " << (c.bytes.empty() ? -1 : c.bytes[0]) << ", given " << c.useGiven;
  }

  UniStringList list = List({"stale"});
  EXPECT_EQ("Input Stream is NULL!", S(list.LoadFromStream(nullptr, false, false, 1)));
  EXPECT_EQ(0u, list.Count());
  // An encoding that cannot be read is reported, and the list stays empty.
  std::string error;
  EXPECT_EQ(0u, Loaded({'a', 0x0D, 'b'}, true, false, 77, &error).Count());
  EXPECT_NE("", error);
}

namespace {

class StringListFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmora-listfiles-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_strRoot = pattern;
    std::filesystem::create_directories(m_strRoot + "/Users/me/sub");
    FSStandInReset();
    ASSERT_EQ(noErr, FSStandInSetRoot(m_strRoot.c_str()));
  }
  void TearDown() override {
    FSStandInTestClearFaults();
    FSStandInReset();
    std::filesystem::remove_all(m_strRoot);
  }
  XFileSpec Spec(std::string const& path) {
    XFileSpec spec;
    EXPECT_TRUE(spec.ParsePath(U(path))) << path;
    return spec;
  }
  Bytes Read(std::string const& path) {
    std::ifstream in(m_strRoot + path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Write(std::string const& path, std::string const& text) {
    std::ofstream(m_strRoot + path, std::ios::binary) << text;
  }
  std::string m_strRoot;
};

}  // namespace

TEST_F(StringListFileTest, SaveCreatesReplacesRefusesAndLoadsBack) {
  XFileSpec file = Spec("/Users/me/prefs.txt");
  uint32_t const creator = MakeFourCharCode("R*ch");
  uint32_t const type = MakeFourCharCode("TEXT");
  EXPECT_EQ("", S(List({"x", "y"}).SaveToFile(file, creator, type, 1, true, kLineEndingCR)));
  EXPECT_EQ((Bytes{0xEF, 0xBB, 0xBF, 'x', 0x0D, 'y'}), Read("/Users/me/prefs.txt"));
  EXPECT_EQ(creator, FinderInfoOf("/Users/me/prefs.txt").fdCreator);
  EXPECT_EQ(type, FinderInfoOf("/Users/me/prefs.txt").fdType);

  // Over a longer file: nothing of the old content is left; its creator and type stay.
  Write("/Users/me/prefs.txt", std::string(40000, 'o'));
  EXPECT_EQ("", S(List({"new"}).SaveToFile(file, 0, 0, 1, false, kLineEndingCR)));
  EXPECT_EQ((Bytes{'n', 'e', 'w'}), Read("/Users/me/prefs.txt"));
  EXPECT_EQ(creator, FinderInfoOf("/Users/me/prefs.txt").fdCreator);

  // An empty list touches nothing.
  Write("/Users/me/keep.txt", "keep");
  XFileSpec keep = Spec("/Users/me/keep.txt");
  EXPECT_EQ("", S(UniStringList().SaveToFile(keep, creator, type, 1, true, kLineEndingCR)));
  EXPECT_EQ((Bytes{'k', 'e', 'e', 'p'}), Read("/Users/me/keep.txt"));
  // A folder of that name is refused.
  XFileSpec folder = Spec("/Users/me/sub");
  EXPECT_EQ("Error Saving to /Users/me/sub; A Folder already exists with the name given for the "
            "File.",
            S(List({"x"}).SaveToFile(folder, 0, 0, 1, false, kLineEndingCR)));
  EXPECT_TRUE(std::filesystem::is_empty(m_strRoot + "/Users/me/sub"));

  // Loading reads the file back; a missing file is reported and not created.
  UniStringList back = List({"stale"});
  EXPECT_EQ("", S(back.LoadFromFile(file, 2)));
  EXPECT_EQ((std::vector<std::string>{"new"}), Items(back));
  XFileSpec missing = Spec("/Users/me/none.txt");
  EXPECT_EQ(0u, S(back.LoadFromFile(missing, 1))
                    .rfind("Could not Open File for Reading: /Users/me/none.txt; ", 0));
  EXPECT_EQ(0u, back.Count());
  EXPECT_FALSE(std::filesystem::exists(m_strRoot + "/Users/me/none.txt"));

  // The buffered bytes reach the new file when the save ends; a failure there, or in putting
  // the new file in place, is reported and leaves the old file as it was, with nothing left
  // beside it.
  for (char const* call : {"FSWriteFork", "FSFlushFork", "FSExchangeObjects"}) {
    FSStandInTestFailNext(call, "", -36 /* ioErr */);
    EXPECT_NE("", S(List({"lost"}).SaveToFile(file, 0, 0, 1, false, kLineEndingCR))) << call;
    FSStandInTestClearFaults();
    EXPECT_EQ((Bytes{'n', 'e', 'w'}), Read("/Users/me/prefs.txt")) << call;
    EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(m_strRoot + "/Users/me"),
                               std::filesystem::directory_iterator()))
        << call;  // prefs.txt, keep.txt, sub
  }

  // A save onto a link replaces the link and leaves what it pointed to alone; the mode of a
  // replaced file stays, a new file's is the one asked for from the start.
  Write("/Users/me/sub/target.txt", "target");
  std::filesystem::create_symlink(m_strRoot + "/Users/me/sub/target.txt",
                                  m_strRoot + "/Users/me/link.txt");
  XFileSpec link = Spec("/Users/me/link.txt");
  EXPECT_EQ("", S(List({"saved"}).SaveToFile(link, 0, 0, 1, false, kLineEndingCR)));
  EXPECT_FALSE(std::filesystem::is_symlink(m_strRoot + "/Users/me/link.txt"));
  EXPECT_EQ((Bytes{'s', 'a', 'v', 'e', 'd'}), Read("/Users/me/link.txt"));
  EXPECT_EQ((Bytes{'t', 'a', 'r', 'g', 'e', 't'}), Read("/Users/me/sub/target.txt"));
  std::filesystem::permissions(m_strRoot + "/Users/me/keep.txt", std::filesystem::perms(0640));
  EXPECT_EQ("", S(List({"kept"}).SaveToFile(keep, 0, 0, 1, false, kLineEndingCR)));
  EXPECT_EQ(std::filesystem::perms(0640),
            std::filesystem::status(m_strRoot + "/Users/me/keep.txt").permissions());
  mode_t const mask = umask(022);
  XFileSpec secret = Spec("/Users/me/secret.txt");
  EXPECT_EQ("", S(List({"pw"}).SaveToFile(secret, 0, 0, 1, false, kLineEndingCR, 0600)));
  umask(mask);
  EXPECT_EQ(std::filesystem::perms(0600),
            std::filesystem::status(m_strRoot + "/Users/me/secret.txt").permissions());
}

namespace {

// The lines a save of version v writes: big enough to take several writes of the stream's
// 16384-byte buffer.
UniStringList Version(char v) {
  UniStringList list;
  for (int i = 0; i < 1000; ++i) list.Add(U(std::string(60, v)));
  return list;
}
std::string VersionBytes(char v) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += (i > 0 ? "\r" : "") + std::string(60, v);
  return bytes;
}

int g_intPausePipe = -1;

// The write hook of a child that is to be killed mid-save: tells the parent and waits.
void SignalAndPause() {
  char const byte = 'p';
  if (write(g_intPausePipe, &byte, 1) != 1) _exit(3);
  for (;;) pause();
}

}  // namespace

TEST_F(StringListFileTest, KilledOrConcurrentSavesLeaveOneWholeVersion) {
  std::string const path = "/Users/me/Velmora Prefs";
  Write(path, VersionBytes('o'));

  // A child killed once its save has begun writing: the old file is still there, whole.
  int pipeEnds[2];
  ASSERT_EQ(0, pipe(pipeEnds));
  pid_t const child = fork();
  ASSERT_NE(-1, child);
  if (child == 0) {
    close(pipeEnds[0]);
    g_intPausePipe = pipeEnds[1];
    SetFileStreamWriteHookForTesting(SignalAndPause);
    XFileSpec file = Spec(path);
    Version('n').SaveToFile(file, 0, 0, 1, false, kLineEndingCR);
    _exit(2);  // the hook never came
  }
  close(pipeEnds[1]);
  char byte = 0;
  ssize_t const got = read(pipeEnds[0], &byte, 1);  // awaits the hook (EOF if the child ends)
  close(pipeEnds[0]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(1, got) << "the save never wrote";
  std::string const oldBytes = VersionBytes('o');
  EXPECT_TRUE(Read(path) == Bytes(oldBytes.begin(), oldBytes.end()));
  UniStringList back;
  XFileSpec file = Spec(path);
  EXPECT_EQ("", S(back.LoadFromFile(file, 1)));
  EXPECT_EQ(1000u, back.Count());

  // Two processes saving at once, 100 times each: whenever the file is read it is one whole
  // version, the old one or one of theirs.
  pid_t savers[2];
  for (int i = 0; i < 2; ++i) {
    savers[i] = fork();
    ASSERT_NE(-1, savers[i]);
    if (savers[i] == 0) {
      XFileSpec mine = Spec(path);
      UniStringList const list = Version(i == 0 ? 'a' : 'b');
      for (int n = 0; n < 100; ++n) {
        if (list.SaveToFile(mine, 0, 0, 1, false, kLineEndingCR).IsNotEmpty()) _exit(1);
      }
      _exit(0);
    }
  }
  std::string const whole[] = {VersionBytes('o'), VersionBytes('a'), VersionBytes('b')};
  int reads = 0;
  int broken = 0;
  int running = 2;
  int exits[2] = {-1, -1};
  while (running > 0) {
    Bytes const bytes = Read(path);
    std::string const text(bytes.begin(), bytes.end());
    ++reads;
    if (text != whole[0] && text != whole[1] && text != whole[2]) ++broken;
    for (int i = 0; i < 2; ++i) {
      int st = 0;
      if (exits[i] == -1 && waitpid(savers[i], &st, WNOHANG) == savers[i]) {
        exits[i] = WIFEXITED(st) ? WEXITSTATUS(st) : 99;
        --running;
      }
    }
  }
  EXPECT_EQ(0, exits[0]);
  EXPECT_EQ(0, exits[1]);
  EXPECT_EQ(0, broken) << "of " << reads << " reads";
  Bytes const last = Read(path);
  std::string const text(last.begin(), last.end());
  EXPECT_TRUE(text == whole[1] || text == whole[2]);
}

// A save that runs out of room (a 64 KiB file system, mounted when the tests run as root) fails
// with the reason and leaves the file it was to replace as it was, as the text export needs.
TEST_F(StringListFileTest, SaveOnAFullDiskKeepsTheOldFile) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  std::string const small = m_strRoot + "/Users/me/small";
  std::filesystem::create_directories(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  std::string const old(30000, 'o');
  Write("/Users/me/small/export.txt", old);
  UniStringList big;
  for (int i = 0; i < 800; ++i) big.Add(U(std::string(70, 'n')));
  XFileSpec file = Spec("/Users/me/small/export.txt");
  std::string const error = S(big.SaveToFile(file, 0, 0, 1, false, kLineEndingCR));
  Bytes const after = Read("/Users/me/small/export.txt");
  size_t const items = size_t(std::distance(std::filesystem::directory_iterator(small),
                                            std::filesystem::directory_iterator()));
  umount(small.c_str());
  EXPECT_NE(std::string::npos, error.find("-34")) << error;  // dskFulErr
  EXPECT_TRUE(after == Bytes(old.begin(), old.end()));
  EXPECT_EQ(1u, items);
}
