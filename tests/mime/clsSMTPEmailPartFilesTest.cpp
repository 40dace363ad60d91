// Tests of the attachment and inline-image parts on a temporary file-system root: header lines,
// Base64 lines read back by Python's email, the ".att" file and its reuse, every start error,
// and a read failure in the middle of a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mime/MimeCheck.h"
#include "mime/MimeTestPrefs.h"
#include "files/FSCopyObject.h"
#include "mime/clsSMTPEmailPart.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/support/XFileSpecTestRoot.h"

using mimecheck::Ansi;
using mimecheck::Bytes;
using mimecheck::Hex;
using mimecheck::Uni;

namespace {

class FilePartFixture : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("mime-files", {"/Users/bob/data/other", "/chew", "/temp"}));
    ASSERT_EQ(noErr, InstallRoot());
    UseHome("/Users/bob");
    ASSERT_EQ(noErr, FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/chew"));
    ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kTemporaryFolderType, "/temp"));
    ResetPrefsForTesting();
  }
  void TearDown() override {
    ResetPrefsForTesting();
    CleanUpXFileSpec();
    RemoveRoot();
  }
  static void SetCodes(std::string const& path, OSType type, OSType creator) {
    FSRef ref = XFileSpecTesting::Ref(path);
    ASSERT_EQ(noErr, FSChangeCreatorType(&ref, creator, type));
  }
  static std::vector<std::string> Headers(clsSMTPEmailPart const& part) {
    std::vector<std::string> out;
    if (part.GetPartHeaders() == nullptr) return out;
    for (int i = 0; i < part.GetPartHeaders()->Count(); ++i) out.push_back(Bytes(part.GetPartHeaders()->Strings[unsigned(i)]));
    return out;
  }
  // One run as the writer makes it: start, then lines until the call that returns false.
  static std::vector<std::string> Run(clsSMTPEmailPart& part, bool image = false) {
    std::vector<std::string> lines;
    image ? part.StartHTMLImage() : part.StartAttachment();
    for (int guard = 0; guard < 100000; ++guard) {
      AnsiString line;
      bool const more = image ? part.EncodeHTMLImageLine(&line) : part.EncodeAttachmentLine(&line);
      lines.push_back(Bytes(line));
      if (!more) break;
    }
    return lines;
  }
  static std::string Wire(clsSMTPEmailPart const& part, std::vector<std::string> const& lines) {
    std::string wire;
    for (auto const& h : Headers(part)) wire += h + "\r\n";
    wire += "\r\n";
    for (auto const& line : lines) wire += line + "\r\n";
    return wire + ".\r\n";
  }
};

TEST_F(FilePartFixture, HeaderLinesNameTypeCodesAndContentID) {
  Write("/Users/bob/data/Report.pdf", "%PDF");
  SetCodes("/Users/bob/data/Report.pdf", MakeFourCharCode("PDF "), MakeFourCharCode("prvw"));
  Write("/Users/bob/data/logo.gif", "GIF8");
  Write("/Users/bob/data/notes.txt", "x");
  Write("/Users/bob/data/pic.JPEG", "x");
  struct {
    char const* entry;
    int image;  // -1: an attachment
    char const* charset;
    std::vector<std::string> headers;
  } const cases[] = {
      {"~/data/Report.pdf", -1, "ISO-8859-1",
       {"Content-Type: application/octet-stream;\r\n    name=\"Report.pdf\";\r\n    x-mac-type=\"50444620\";\r\n"
        "    x-mac-creator=\"70727677\"",
        "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;\r\n    filename=\"Report.pdf\""}},
      {"Q3 report=~/data/Report.pdf", -1, "ISO-8859-1",
       {"Content-Type: application/octet-stream;\r\n    name=\"Q3 report\";\r\n    x-mac-type=\"50444620\";\r\n"
        "    x-mac-creator=\"70727677\"",
        "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;\r\n    filename=\"Q3 report\""}},
      {"Caf\xC3\xA9.pdf=~/data/notes.txt", -1, "iso-8859-1",
       {"Content-Type: application/octet-stream;\r\n    name=\"=?ISO-8859-1?Q?Caf=E9.pdf?=\"",
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment;\r\n    filename=\"=?ISO-8859-1?Q?Caf=E9.pdf?=\""}},
      {"~/data/logo.gif", 0, "UTF-8",
       {"Content-Type: image/gif;\r\n    name=\"logo.gif\"", "Content-ID: <[[TarnixUniqueID]].0.logo.gif@local>",
        "Content-Transfer-Encoding: base64", "Content-Disposition: inline;\r\n    filename=\"logo.gif\""}},
      // The display name is kept as given, blanks and all; only the Content-ID trims it.
      {" My Logo!.GIF =~/data/pic.JPEG", 3, "UTF-8",
       {"Content-Type: image/jpeg;\r\n    name=\" My Logo!.GIF \"", "Content-ID: <[[TarnixUniqueID]].3.mylogo.gif@local>",
        "Content-Transfer-Encoding: base64", "Content-Disposition: inline;\r\n    filename=\" My Logo!.GIF \""}},
      // An inline part of any type gets its header lines, so the reader finds its Content-ID.
      {"~/data/notes.txt", 1, "UTF-8",
       {"Content-Type: application/octet-stream;\r\n    name=\"notes.txt\"", "Content-ID: <[[TarnixUniqueID]].1.notes.txt@local>",
        "Content-Transfer-Encoding: base64", "Content-Disposition: inline;\r\n    filename=\"notes.txt\""}},
      {"~/data/notes.txt", -1, "UTF-8",
       {"Content-Type: application/octet-stream;\r\n    name=\"notes.txt\"", "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment;\r\n    filename=\"notes.txt\""}},
  };
  for (auto const& c : cases) {
    clsSMTPEmailPart part;
    if (c.image >= 0) {
      part.SetupHTMLImage(Uni(c.entry), c.image, Uni(c.charset));
    } else {
      part.SetupAttachment(Uni(c.entry), Uni(c.charset));
    }
    EXPECT_EQ(Headers(part), c.headers) << c.entry;
  }
}

TEST_F(FilePartFixture, ContentTypesComeFromThePreferenceFirst) {
  ASSERT_TRUE(g_udtPrefs.SetListPref(Uni("ContentTypes"), Uni(".pdf= application/pdf \r.GIF=image/x-mine\rbad")));
  struct {
    char const* name;
    char const* type;
  } const cases[] = {{"X.PDF", "application/pdf"}, {"a.gif", "image/x-mine"}, {"b.jpe", "image/jpeg"},
                     {"c.JPEG", "image/jpeg"},      {"d.png", "image/png"},     {"e.swf", "application/x-shockwave-flash"},
                     {"noext", "application/octet-stream"}, {"f.doc", "application/octet-stream"}};
  clsSMTPEmailPart part;
  for (auto const& c : cases) EXPECT_EQ(Bytes(part.GetContentType(Uni(c.name))), c.type) << c.name;
  ResetPrefsForTesting();
  EXPECT_EQ(Bytes(part.GetContentType(Uni("X.PDF"))), "application/octet-stream");
  EXPECT_EQ(Bytes(part.GetContentType(Uni("a.gif"))), "image/gif");
}

TEST_F(FilePartFixture, OddNamesComeBackFromPython) {
  Write("/Users/bob/data/x.bin", "abc");
  // The last name is the file's own: no display name is given.
  Write("/Users/bob/data/own\r\n\"name\".bin", "abc");
  // Long names: their header lines are folded, a non-ASCII one into several "Q" words, and one
  // with a run too long for a line into words as well.
  std::string longWords, longRun(1200, 'r');
  for (int i = 0; i < 40; ++i) longWords += "w\xE6\x97\xA5rd" + std::to_string(i) + " ";
  longWords += "end.pdf";
  std::string const longASCII = std::string(300, 'a') + " " + std::string(300, 'b') + " plain.pdf";
  std::vector<std::string> const names = {"a\"b\\c", "line\r\nbreak\x01", "nul", "\xE6\x97\xA5\xE6\x9C\xAC \"q\" \\.txt",
                                          "caf\xC3\xA9\r\n\"x\".doc", "own\r\n\"name\".bin", longWords, longASCII, longRun};
  std::vector<std::string> const expected = {"a\"b\\c", "line  break\x01", "nul", "\xE6\x97\xA5\xE6\x9C\xAC \"q\" \\.txt",
                                             "caf\xC3\xA9  \"x\".doc", "own  \"name\".bin", longWords, longASCII, longRun};
  std::vector<std::string> wires;
  for (std::string const& name : names) {
    for (char const* charset : {"UTF-8", "ISO-2022-JP"}) {
      clsSMTPEmailPart part;
      UniString entry = Uni(name + "=~/data/x.bin");
      if (name == "nul") entry = Uni("n") + UniString(static_cast<unsigned short>(0)) + Uni("l=~/data/x.bin");
      if (name.rfind("own", 0) == 0) entry = Uni("~/data/" + name);
      part.SetupAttachment(entry, Uni(std::string(name).find("caf") == 0 ? "ISO-8859-1" : charset));
      for (auto const& h : Headers(part)) {
        EXPECT_EQ(h.find('\0'), std::string::npos) << name;
        size_t start = 0;
        for (size_t end; (end = h.find("\r\n", start)) != std::string::npos || start <= h.size(); start = end + 2) {
          if (end == std::string::npos) end = h.size();
          EXPECT_LE(end - start, 998u) << name.substr(0, 20);
          // An encoded word is at most 75 characters: no line of a split name is longer than
          // its word and the parameter's own text around it.
          if (HasHighASCII(Ansi(name))) {
            EXPECT_LE(end - start, 92u) << name.substr(0, 20);
          }
        }
      }
      wires.push_back(Wire(part, Run(part)));
    }
  }
  std::vector<mimecheck::stcRows> const read = mimecheck::RunMessages(wires);
  for (size_t i = 0; i < wires.size(); ++i) {
    std::string want = expected[i / 2];
    if (names[i / 2] == "nul") want = "n l";
    EXPECT_EQ(read[i].Get("0.filename"), want) << i;
    EXPECT_EQ(read[i].Get("0.h.content-type").find("name="), std::string("application/octet-stream; ").size()) << i;
    EXPECT_EQ(read[i].Get("0.hex"), Hex("abc"));
  }
}

TEST_F(FilePartFixture, Base64LinesDecodeToTheFile) {
  // 100 bytes: 60, 60 and 16 characters, the third call returning false.
  std::string hundred;
  for (int i = 0; i < 100; ++i) hundred += char(i * 7);
  Write("/Users/bob/data/hundred.bin", hundred);
  clsSMTPEmailPart part;
  part.SetupAttachment(Uni("~/data/hundred.bin"), Uni("UTF-8"));
  part.StartAttachment();
  std::vector<size_t> lengths;
  std::vector<bool> results;
  for (int i = 0; i < 3; ++i) {
    AnsiString line;
    results.push_back(part.EncodeAttachmentLine(&line));
    lengths.push_back(size_t(line.Length()));
  }
  EXPECT_EQ(lengths, (std::vector<size_t>{60, 60, 16}));
  EXPECT_EQ(results, (std::vector<bool>{true, true, false}));

  // Every size from 0 to 200 bytes, sizes about the ends of the blocks of lines a reading thread
  // hands over (1024 lines: 46080 bytes) and 1 MiB, read back by Python, each in as many lines
  // as its size needs.
  std::vector<std::string> files, wires;
  std::vector<int> sizes;
  for (int size = 0; size <= 200; ++size) sizes.push_back(size);
  for (int size : {46079, 46080, 46081, 92160, 92161}) sizes.push_back(size);
  for (int size : sizes) {
    std::string data;
    for (int i = 0; i < size; ++i) data += char((i * 31 + size) & 0xFF);
    files.push_back(data);
  }
  std::string big(1 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char((i * 2654435761u) >> 13);
  files.push_back(big);
  for (size_t k = 0; k < files.size(); ++k) {
    std::string const path = "/Users/bob/data/f" + std::to_string(k) + ".bin";
    Write(path, files[k]);
    clsSMTPEmailPart filePart;
    filePart.SetupAttachment(Uni("~/data/f" + std::to_string(k) + ".bin"), Uni("UTF-8"));
    std::vector<std::string> const lines = Run(filePart);
    if (files[k].empty()) {
      EXPECT_EQ(lines, std::vector<std::string>{""});
    } else {
      ASSERT_EQ(lines.size(), (files[k].size() + 44) / 45) << k;
    }
    for (size_t i = 0; i + 1 < lines.size(); ++i) ASSERT_EQ(lines[i].size(), 60u) << k;
    wires.push_back(Wire(filePart, lines));
  }
  std::vector<mimecheck::stcRows> const read = mimecheck::RunMessages(wires);
  for (size_t k = 0; k < files.size(); ++k) EXPECT_EQ(read[k].Get("0.hex"), Hex(files[k])) << k;
}

TEST_F(FilePartFixture, LaterRunsReadTheEncodedFile) {
  Write("/Users/bob/data/a.pdf", std::string(100, 'A'));
  Write("/Users/bob/data/other/a.pdf", std::string(50, 'B'));
  // A folder of ours that others may enter is closed to them; the ".att" files are ours alone.
  std::filesystem::create_directory(Real("/chew/Tarnix Temp"));
  chmod(Real("/chew/Tarnix Temp").c_str(), 0777);
  clsSMTPEmailPart first, second;
  first.SetupAttachment(Uni("~/data/a.pdf"), Uni("UTF-8"));
  second.SetupAttachment(Uni("~/data/other/a.pdf"), Uni("UTF-8"));
  std::vector<std::string> const original = Run(first);
  Run(second);
  EXPECT_EQ(Read("/chew/Tarnix Temp/a.pdf.att"), original[0] + "\r\n" + original[1] + "\r\n" + original[2] + "\r\n");
  EXPECT_TRUE(Exists("/chew/Tarnix Temp/a.pdf1.att"));
  auto mode = [this](char const* path) {
    struct stat st;
    return stat(Real(path).c_str(), &st) == 0 ? unsigned(st.st_mode & 0777) : 01000u;
  };
  EXPECT_EQ(mode("/chew/Tarnix Temp"), 0700u);
  EXPECT_EQ(mode("/chew/Tarnix Temp/a.pdf.att"), 0600u);

  // The second run reads the ".att" file, not the source.
  Write("/Users/bob/data/a.pdf", std::string(100, 'C'));
  first.SetupAttachment(Uni("~/data/a.pdf"), Uni("UTF-8"));
  EXPECT_EQ(Run(first), original);

  // An ".att" file changed since its run (same size, another time stamp), or replaced by a
  // link, is not trusted: the file is encoded again.
  std::string const encodedC = Read("/chew/Tarnix Temp/a.pdf.att");
  std::string forged = encodedC;
  forged[0] = forged[0] == 'Z' ? 'Y' : 'Z';
  Write("/chew/Tarnix Temp/a.pdf.att", forged);
  struct timespec const times[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, Real("/chew/Tarnix Temp/a.pdf.att").c_str(), times, 0);
  std::vector<std::string> const fromC = Run(first);
  EXPECT_EQ(fromC[0].substr(0, 4), "Q0ND");
  Write("/Users/bob/data/a.pdf", std::string(100, 'A'));
  std::filesystem::remove(Real("/chew/Tarnix Temp/a.pdf.att"));
  Write("/Users/bob/data/forged.att", Read("/chew/Tarnix Temp/a.pdf1.att"));
  std::filesystem::create_symlink(Real("/Users/bob/data/forged.att"), Real("/chew/Tarnix Temp/a.pdf.att"));
  EXPECT_EQ(Run(first), original);
  EXPECT_EQ(Read("/Users/bob/data/forged.att"), Read("/chew/Tarnix Temp/a.pdf1.att"));
  EXPECT_FALSE(std::filesystem::is_symlink(Real("/chew/Tarnix Temp/a.pdf.att")));
  Write("/Users/bob/data/a.pdf", std::string(100, 'C'));
  first.SetupAttachment(Uni("~/data/a.pdf"), Uni("UTF-8"));
  EXPECT_EQ(Run(first), original) << "the run that replaced the link is trusted";
  // Deleted in between, it is made again from the file.
  std::filesystem::remove(Real("/chew/Tarnix Temp/a.pdf.att"));
  std::vector<std::string> const again = Run(first);
  EXPECT_NE(again, original);
  EXPECT_EQ(again.size(), 3u);
  EXPECT_TRUE(Exists("/chew/Tarnix Temp/a.pdf.att"));
  // Clear deletes it.
  first.Clear();
  EXPECT_FALSE(Exists("/chew/Tarnix Temp/a.pdf.att"));
  EXPECT_TRUE(Exists("/chew/Tarnix Temp/a.pdf1.att"));

  // Only a privileged test can give the folder to another user, whose folder is not used.
  if (geteuid() != 0) return;
  second.Clear();
  ASSERT_EQ(0, chown(Real("/chew/Tarnix Temp").c_str(), 4242, 4242));
  first.SetupAttachment(Uni("~/data/a.pdf"), Uni("UTF-8"));
  EXPECT_FALSE(first.StartAttachment());
  EXPECT_EQ(mimecheck::Utf8(first.ErrorString()),
            "Could not create Tarnix Temp Folder. /chew/Tarnix Temp is a link, a file or a folder of another user, "
            "and is not used.");
  EXPECT_TRUE(std::filesystem::is_empty(Real("/chew/Tarnix Temp")));
}

TEST_F(FilePartFixture, EveryStartErrorLeavesItsText) {
  Write("/Users/bob/data/a.pdf", "data");
  struct {
    bool image;
    char const* entry;
    std::function<void()> arrange;
    char const* error;  // its start
  } const cases[] = {
      {false, "~/data/missing.pdf", [] {}, "Attachment does not exist: /Users/bob/data/missing.pdf"},
      {true, "~/data/missing.gif", [] {}, "HTML Image does not exist: /Users/bob/data/missing.gif"},
      {false, "~/data/a.pdf", [] { FSStandInTestFailNext("FSOpenFork", "/Users/bob/data/a.pdf", ioErr); },
       "Could not open Attachment File: "},
      {true, "~/data/a.pdf", [] { FSStandInTestFailNext("FSOpenFork", "/Users/bob/data/a.pdf", ioErr); },
       "Could not open HTML Image File: "},
      {false, "~/data/a.pdf", [this] { Write("/chew/Tarnix Temp", "a file"); }, "Could not create Tarnix Temp Folder."},
      {false, "~/data/a.pdf",
       [this] {
         Write("/blocker", "a file");
         FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/blocker/chew");
         FSStandInSetFolder(kUserDomain, kTemporaryFolderType, "/blocker/temp");
       },
       "Could not find the Temp Folder."},
      {false, "~/data/a.pdf", [] { FSStandInTestFailNext("FSCreateFileUnicode", "/chew/Tarnix Temp/a.pdf.att", ioErr); },
       "Could not create Temp File for Encoded Attachment: /Users/bob/data/a.pdf"},
      {true, "~/data/a.pdf", [] { FSStandInTestFailNext("FSCreateFileUnicode", "/chew/Tarnix Temp/a.pdf.att", ioErr); },
       "Could not create Temp File for Encoded HTML Image: /Users/bob/data/a.pdf"},
      {false, "~/data/a.pdf", [] { FSStandInTestFailNext("FSOpenFork", "/chew/Tarnix Temp/a.pdf.att", ioErr); },
       "Could not open Temp File for Encoded Attachment: "},
      {true, "~/data/a.pdf", [] { FSStandInTestFailNext("FSOpenFork", "/chew/Tarnix Temp/a.pdf.att", ioErr); },
       "Could not open Temp File for Encoded HTML Image: "},
      // The shared area's folder must be ours: a link planted in its place is not followed.
      {false, "~/data/a.pdf",
       [this] { std::filesystem::create_directory_symlink(Real("/Users/bob/data/other"), Real("/chew/Tarnix Temp")); },
       "Could not create Tarnix Temp Folder. /chew/Tarnix Temp is a link, a file or a folder of another user"},
  };
  for (auto const& c : cases) {
    std::filesystem::remove_all(Real("/chew/Tarnix Temp"));
    FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/chew");
    FSStandInSetFolder(kUserDomain, kTemporaryFolderType, "/temp");
    clsSMTPEmailPart part;
    c.image ? part.SetupHTMLImage(Uni(c.entry), 0, Uni("UTF-8")) : part.SetupAttachment(Uni(c.entry), Uni("UTF-8"));
    c.arrange();
    EXPECT_FALSE(c.image ? part.StartHTMLImage() : part.StartAttachment()) << c.error;
    EXPECT_EQ(mimecheck::Utf8(part.ErrorString()).substr(0, std::string(c.error).size()), c.error);
    FSStandInTestClearFaults();
    // No stream is open: the next line call answers false at once and leaves the line.
    AnsiString line("kept");
    EXPECT_FALSE(c.image ? part.EncodeHTMLImageLine(&line) : part.EncodeAttachmentLine(&line)) << c.error;
    EXPECT_EQ(Bytes(line), "kept");
    EXPECT_FALSE(Exists("/Users/bob/data/other/a.pdf.att")) << c.error;
    // With the fault gone, the next run encodes the file whole: a failed start leaves no
    // encoding behind to be read back.
    if (std::string(c.entry) != "~/data/a.pdf") continue;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(Real("/chew/Tarnix Temp")))) {
      std::filesystem::remove(Real("/chew/Tarnix Temp"));
    }
    FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/chew");
    FSStandInSetFolder(kUserDomain, kTemporaryFolderType, "/temp");
    EXPECT_EQ(Run(part, c.image), std::vector<std::string>{"ZGF0YQ=="}) << c.error;
  }
  std::filesystem::remove(Real("/chew/Tarnix Temp"));
}

TEST_F(FilePartFixture, AReadFailureInTheMiddleIsReportedAndNotReused) {
  Write("/Users/bob/data/big.bin", std::string(600000, 'z'));
  clsSMTPEmailPart part;
  part.SetupAttachment(Uni("~/data/big.bin"), Uni("UTF-8"));
  ASSERT_TRUE(part.StartAttachment());
  FSStandInTestFailNext("FSReadFork", "/Users/bob/data/big.bin", ioErr);
  int calls = 0;
  AnsiString line;
  while (part.EncodeAttachmentLine(&line) && calls < 20000) ++calls;
  EXPECT_LT(calls, 13333);
  EXPECT_EQ(mimecheck::Utf8(part.ErrorString()).substr(0, 31), "Could not read Attachment File:");
  EXPECT_FALSE(Exists("/chew/Tarnix Temp/big.bin.att"));
  // The next run encodes the file again, whole.
  std::vector<std::string> const lines = Run(part);
  EXPECT_EQ(lines.size(), 13334u);
  EXPECT_EQ(mimecheck::Utf8(part.ErrorString()), "");

  // A copy whose writing fails (here its last write, the whole copy of a small file) still
  // sends its lines, and is neither kept nor read back: the next run encodes the file again.
  Write("/Users/bob/data/small.bin", std::string(100, 's'));
  clsSMTPEmailPart small;
  small.SetupAttachment(Uni("~/data/small.bin"), Uni("UTF-8"));
  ASSERT_TRUE(small.StartAttachment());
  FSStandInTestFailNext("FSWriteFork", "/chew/Tarnix Temp/small.bin.att", dskFulErr);
  std::vector<std::string> sent;
  AnsiString piece;
  for (bool more = true; more && sent.size() < 10;) {
    more = small.EncodeAttachmentLine(&piece);
    sent.push_back(Bytes(piece));
  }
  EXPECT_EQ(FSStandInTestPendingFaults(), 0);
  EXPECT_EQ(sent.size(), 3u);
  EXPECT_FALSE(Exists("/chew/Tarnix Temp/small.bin.att"));
  EXPECT_EQ(Run(small), sent);
  EXPECT_EQ(Read("/chew/Tarnix Temp/small.bin.att"), sent[0] + "\r\n" + sent[1] + "\r\n" + sent[2] + "\r\n");
}

TEST_F(FilePartFixture, ARunBrokenOffLeavesNoCopyToReadBack) {
  // A file of many blocks of lines, read ahead of the caller: a run broken off after some lines
  // (by a read failure further on, a new start, or a call without a line to fill), or before its
  // first line, keeps no copy, and the next run sends the whole file.
  std::string big(1 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char((i * 2654435761u) >> 11);
  Write("/Users/bob/data/big.bin", big);
  size_t const whole = (big.size() + 44) / 45;
  enum class Break { kReadFailure, kRestart, kNoLine, kNoFirstLine };
  for (Break how : {Break::kReadFailure, Break::kRestart, Break::kNoLine, Break::kNoFirstLine}) {
    clsSMTPEmailPart part;
    part.SetupAttachment(Uni("~/data/big.bin"), Uni("UTF-8"));
    ASSERT_TRUE(part.StartAttachment());
    AnsiString line;
    size_t const before = how == Break::kNoFirstLine ? 0 : 2000;
    size_t taken = 0;
    while (taken < before && part.EncodeAttachmentLine(&line)) ++taken;
    ASSERT_EQ(taken, before);
    if (how == Break::kReadFailure) {
      FSStandInTestFailNext("FSReadFork", "/Users/bob/data/big.bin", ioErr);
      while (part.EncodeAttachmentLine(&line) && taken < whole) ++taken;
      EXPECT_LT(taken, whole - 1);
      EXPECT_EQ(mimecheck::Utf8(part.ErrorString()).substr(0, 31), "Could not read Attachment File:");
      EXPECT_FALSE(Exists("/chew/Tarnix Temp/big.bin.att"));
    } else if (how == Break::kNoLine || how == Break::kNoFirstLine) {
      EXPECT_FALSE(part.EncodeAttachmentLine(nullptr));
    }
    // kRestart: the next Run starts again while lines are still waiting.
    std::vector<std::string> const lines = Run(part);
    ASSERT_EQ(lines.size(), whole) << int(how);
    EXPECT_EQ(mimecheck::Utf8(part.ErrorString()), "");
    std::string copy;
    for (auto const& l : lines) copy += l + "\r\n";
    EXPECT_EQ(Read("/chew/Tarnix Temp/big.bin.att"), copy) << int(how);
    EXPECT_EQ(Run(part), lines) << int(how);
    EXPECT_EQ(mimecheck::RunMessages({Wire(part, lines)})[0].Get("0.hex"), Hex(big)) << int(how);
  }
}

}  // namespace
