// The File_* functions end to end: velmora-host offers them (--file-functions) and calls them on
// real files in a fresh folder. A path that names a symbolic link acts on the link (never on
// what it points to in another folder) while links earlier in a path are followed; a "._" file
// is a resource-fork sidecar only when it carries the AppleDouble header, any other one is an
// ordinary file; a FIFO or a device is refused with a clear error before it is opened, also as
// an attachment of SendMessage before anything is sent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/host/VelmoraHostRun.h"

namespace {

namespace fs = std::filesystem;

class FileFunctionsEndToEndTest : public VelmoraHostRunTest {
 protected:
  // The calls made with every File_* function offered.
  stcHostRun Calls(std::vector<std::string> calls) {
    calls.insert(calls.begin(), {"--file-functions", "0x3FFF"});
    return Run(calls);
  }
  static void Write(std::string const& path, std::string const& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(std::string const& path) { return ReadHostRunFile(path); }
  static bool IsLink(std::string const& path) { return fs::is_symlink(fs::symlink_status(path)); }
  static bool Exists(std::string const& path) { return fs::exists(fs::symlink_status(path)); }
  static std::string LinkTarget(std::string const& path) {
    std::error_code ignored;
    return fs::read_symlink(path, ignored).string();
  }
};

// One call on a fresh tree, the start of its answer and what the tree then holds.
struct stcFileCase {
  char const* what;
  std::string call;  // "$W" stands for the tree's folder
  char const* answer;
  std::function<void(std::string const& w)> check;
};

std::string WithTree(std::string text, std::string const& w) {
  for (size_t at = text.find("$W"); at != std::string::npos; at = text.find("$W", at + w.size()))
    text.replace(at, 2, w);
  return text;
}

void RunCases(std::string const& root, std::vector<stcFileCase> const& cases,
              std::function<void(std::string const&)> const& build,
              std::function<stcHostRun(std::vector<std::string>)> const& calls) {
  // Each case gets a tree of its own; all calls run in one start of velmora-host.
  std::vector<std::string> texts;
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string const w = root + "/case" + std::to_string(i);
    build(w);
    texts.push_back(WithTree(cases[i].call, w));
  }
  stcHostRun const run = calls(texts);
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t end; (end = run.m_strOut.find('\n', from)) != std::string::npos; from = end + 1)
    lines.push_back(run.m_strOut.substr(from, end - from));
  ASSERT_EQ(cases.size(), lines.size()) << run.m_strOut << run.m_strErr;
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string const w = root + "/case" + std::to_string(i);
    SCOPED_TRACE(cases[i].what);
    EXPECT_EQ(0u, lines[i].find(WithTree(cases[i].answer, w))) << lines[i];
    cases[i].check(w);
  }
}

TEST_F(FileFunctionsEndToEndTest, APathThatNamesALinkActsOnTheLink) {
  // $W/elsewhere holds the objects; $W/l the links to them.
  auto build = [](std::string const& w) {
    Write(w + "/elsewhere/p.txt", "precious");
    Write(w + "/elsewhere/dir/keep.txt", "kept");
    Write(w + "/src.txt", "source");
    fs::create_directories(w + "/l");
    fs::create_directories(w + "/dst");
    fs::create_symlink(w + "/elsewhere/p.txt", w + "/l/lnk.txt");
    fs::create_symlink(w + "/elsewhere/dir", w + "/l/dirlnk");
    fs::create_directories(w + "/ds");
    fs::create_symlink(w + "/elsewhere/p.txt", w + "/ds/.DS_Store");
  };
  auto untouched = [](std::string const& w) {
    EXPECT_EQ("precious", Read(w + "/elsewhere/p.txt"));
    EXPECT_EQ("kept", Read(w + "/elsewhere/dir/keep.txt"));
  };
  std::vector<stcFileCase> const cases = {
      {"delete a link to a file", "Velmora_File_Delete( \"$W/l/lnk.txt\" )", "$W/l/lnk.txt Deleted.",
       [&](std::string const& w) {
         EXPECT_FALSE(Exists(w + "/l/lnk.txt"));
         untouched(w);
       }},
      {"delete a link to a folder", "Velmora_File_Delete( \"$W/l/dirlnk\" )", "$W/l/dirlnk Deleted.",
       [&](std::string const& w) {
         EXPECT_FALSE(Exists(w + "/l/dirlnk"));
         untouched(w);
       }},
      {"a link to a folder is no folder to delete", "Velmora_File_DeleteFolder( \"$W/l/dirlnk\" )",
       "ERROR: File_DeleteFolder: You cannot delete Files with this function",
       [&](std::string const& w) {
         EXPECT_TRUE(IsLink(w + "/l/dirlnk"));
         untouched(w);
       }},
      {"a lone .DS_Store link is content", "Velmora_File_DeleteFolder( \"$W/ds\" )",
       "ERROR: File_DeleteFolder: Folder Deletion Failed: Could not delete Folder: ds; MacError: -47",
       [&](std::string const& w) {
         EXPECT_TRUE(IsLink(w + "/ds/.DS_Store"));
         untouched(w);
       }},
      {"move a link", "Velmora_File_Move( \"$W/l/lnk.txt\" ; \"$W/dst\" )", "Moved $W/l/lnk.txt to $W/dst",
       [&](std::string const& w) {
         EXPECT_FALSE(Exists(w + "/l/lnk.txt"));
         EXPECT_EQ(w + "/elsewhere/p.txt", LinkTarget(w + "/dst/lnk.txt"));
         untouched(w);
       }},
      {"rename a link", "Velmora_File_Rename( \"$W/l/lnk.txt\" ; \"new.txt\" )", "Renamed $W/l/new.txt to new.txt",
       [&](std::string const& w) {
         EXPECT_FALSE(Exists(w + "/l/lnk.txt"));
         EXPECT_EQ(w + "/elsewhere/p.txt", LinkTarget(w + "/l/new.txt"));
         untouched(w);
       }},
      {"copy a link", "Velmora_File_Copy( \"$W/l/lnk.txt\" ; \"$W/dst\" )", "Copied $W/l/lnk.txt to $W/dst",
       [&](std::string const& w) {
         EXPECT_TRUE(IsLink(w + "/l/lnk.txt"));
         EXPECT_EQ(w + "/elsewhere/p.txt", LinkTarget(w + "/dst/lnk.txt"));
         EXPECT_FALSE(Exists(w + "/dst/p.txt"));
         untouched(w);
       }},
      {"copy a link to a folder", "Velmora_File_Copy( \"$W/l/dirlnk\" ; \"$W/dst\" )", "Copied $W/l/dirlnk to $W/dst",
       [&](std::string const& w) {
         EXPECT_EQ(w + "/elsewhere/dir", LinkTarget(w + "/dst/dirlnk"));
         untouched(w);
       }},
      {"a link in the destination is an existing file", "Velmora_File_Copy( \"$W/src.txt\" ; \"$W/l/lnk.txt\" )",
       "ERROR: File_Copy: File Copy Failed: Destination File already exists: lnk.txt",
       [&](std::string const& w) {
         EXPECT_TRUE(IsLink(w + "/l/lnk.txt"));
         untouched(w);
       }},
      {"a link in the middle of a path leads on", "Velmora_File_Copy( \"$W/src.txt\" ; \"$W/l/dirlnk\" )",
       "Copied $W/src.txt to $W/l/dirlnk", [&](std::string const& w) {
         EXPECT_EQ("source", Read(w + "/elsewhere/dir/src.txt"));
         untouched(w);
       }},
      {"and a file through it is the file", "Velmora_File_Delete( \"$W/l/dirlnk/keep.txt\" )",
       "$W/l/dirlnk/keep.txt Deleted.", [&](std::string const& w) {
         EXPECT_FALSE(Exists(w + "/elsewhere/dir/keep.txt"));
         EXPECT_TRUE(IsLink(w + "/l/dirlnk"));
       }},
      {"a link's data is its target's", "Velmora_File_Size( \"$W/l/lnk.txt\" )", "8",
       [&](std::string const& w) { untouched(w); }},
  };
  RunCases(m_strDir, cases, build, [this](std::vector<std::string> c) { return Calls(c); });
}

// The header the stand-in writes at the start of every sidecar: AppleDouble's magic and version
// 2, 16 filler bytes, no entries.
std::string AppleDoubleHeader() {
  std::string header("\x00\x05\x16\x07\x00\x02\x00\x00", 8);
  header += std::string(18, '\0');
  return header;
}

TEST_F(FileFunctionsEndToEndTest, DotUnderscoreFilesAreSidecarsOnlyWhenTheyAreOurs) {
  auto build = [](std::string const& w) {
    Write(w + "/d/a.txt", "a");
    Write(w + "/d/._a.txt", "notes on a, not a sidecar");
    Write(w + "/d/b.txt", "b");
    Write(w + "/d/._b.txt", "notes on b");
    Write(w + "/d/c.txt", "c");
    Write(w + "/d/._c.txt", AppleDoubleHeader());
    Write(w + "/only/._important", "important");
    Write(w + "/dst/._a.txt", "notes in dst");
  };
  std::vector<stcFileCase> const cases = {
      {"delete keeps another file's ._ file", "Velmora_File_Delete( \"$W/d/b.txt\" )", "$W/d/b.txt Deleted.",
       [](std::string const& w) {
         EXPECT_FALSE(Exists(w + "/d/b.txt"));
         EXPECT_EQ("notes on b", Read(w + "/d/._b.txt"));
       }},
      {"delete takes the file's own sidecar", "Velmora_File_Delete( \"$W/d/c.txt\" )", "$W/d/c.txt Deleted.",
       [](std::string const& w) { EXPECT_FALSE(Exists(w + "/d/._c.txt")); }},
      {"a folder holding a ._ file is not empty", "Velmora_File_DeleteFolder( \"$W/only\" )",
       "ERROR: File_DeleteFolder: Folder Deletion Failed: Could not delete Folder: only; MacError: -47",
       [](std::string const& w) { EXPECT_EQ("important", Read(w + "/only/._important")); }},
      {"a copy keeps the ._ file in the destination", "Velmora_File_Copy( \"$W/d/a.txt\" ; \"$W/dst\" )",
       "Copied $W/d/a.txt to $W/dst", [](std::string const& w) {
         EXPECT_EQ("a", Read(w + "/dst/a.txt"));
         EXPECT_EQ("notes in dst", Read(w + "/dst/._a.txt"));
       }},
      {"a move leaves the ._ files where they are", "Velmora_File_Move( \"$W/d/a.txt\" ; \"$W/dst\" )",
       "Moved $W/d/a.txt to $W/dst", [](std::string const& w) {
         EXPECT_EQ("a", Read(w + "/dst/a.txt"));
         EXPECT_EQ("notes in dst", Read(w + "/dst/._a.txt"));
         EXPECT_EQ("notes on a, not a sidecar", Read(w + "/d/._a.txt"));
       }},
      {"an ordinary ._ file exists", "Velmora_File_Exists( \"$W/d/._a.txt\" )", "1", [](std::string const&) {}},
      {"an ordinary ._ file has its size", "Velmora_File_Size( \"$W/d/._b.txt\" )", "10", [](std::string const&) {}},
      {"a sidecar is no file of its own", "Velmora_File_Exists( \"$W/d/._c.txt\" )", "ERROR: File_Exists: ",
       [](std::string const& w) { EXPECT_TRUE(Exists(w + "/d/._c.txt")); }},
      {"an ordinary ._ file is copied as a file", "Velmora_File_Copy( \"$W/d/._b.txt\" ; \"$W/dst\" )",
       "Copied $W/d/._b.txt to $W/dst", [](std::string const& w) { EXPECT_EQ("notes on b", Read(w + "/dst/._b.txt")); }},
  };
  RunCases(m_strDir, cases, build, [this](std::vector<std::string> c) { return Calls(c); });
}

TEST_F(FileFunctionsEndToEndTest, FIFOsAndDevicesAreRefusedBeforeTheyAreOpened) {
  auto build = [](std::string const& w) {
    fs::create_directories(w + "/dst");
    ASSERT_EQ(0, mkfifo((w + "/fifo").c_str(), 0600));
  };
  std::vector<stcFileCase> const cases = {
      {"import a FIFO", "Velmora_File_Import( \"$W/fifo\" )",
       "ERROR: File_Import: File is not a regular File (it's a FIFO, Device or Socket): fifo", [](std::string const&) {}},
      {"copy a FIFO", "Velmora_File_Copy( \"$W/fifo\" ; \"$W/dst\" )",
       "ERROR: File_Copy: File Copy Failed: Source File is not a regular File (it's a FIFO, Device or Socket): fifo",
       [](std::string const& w) { EXPECT_FALSE(Exists(w + "/dst/fifo")); }},
      {"copy /dev/zero", "Velmora_File_Copy( \"/dev/zero\" ; \"$W/dst\" )",
       "ERROR: File_Copy: File Copy Failed: Source File is not a regular File (it's a FIFO, Device or Socket): zero",
       [](std::string const& w) { EXPECT_FALSE(Exists(w + "/dst/zero")); }},
      {"import /dev/zero", "Velmora_File_Import( \"/dev/zero\" )",
       "ERROR: File_Import: File is not a regular File (it's a FIFO, Device or Socket): zero",
       [](std::string const&) {}},
      {"a FIFO is moved as it is", "Velmora_File_Move( \"$W/fifo\" ; \"$W/dst\" )", "Moved $W/fifo to $W/dst",
       [](std::string const& w) {
         struct stat st;
         ASSERT_EQ(0, lstat((w + "/dst/fifo").c_str(), &st));
         EXPECT_TRUE(S_ISFIFO(st.st_mode));
       }},
  };
  RunCases(m_strDir, cases, build, [this](std::vector<std::string> c) { return Calls(c); });
}

TEST_F(FileFunctionsEndToEndTest, AFIFOAttachmentIsRefusedBeforeAnythingIsSent) {
  // A server that takes connections and says nothing: a message that got as far as connecting
  // leaves a connection waiting in its queue.
  int const server = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  ASSERT_GE(server, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(0, bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address));
  ASSERT_EQ(0, listen(server, 4));
  socklen_t length = sizeof address;
  ASSERT_EQ(0, getsockname(server, reinterpret_cast<sockaddr*>(&address), &length));
  std::string const port = std::to_string(ntohs(address.sin_port));
  std::string const fifo = m_strDir + "/fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));

  stcHostRun const run =
      Run({"Velmora_Configure( \"Set\" ; \"Host\" ; \"127.0.0.1\" )", "Velmora_Configure( \"Set\" ; \"Port\" ; \"" + port + "\" )",
           "Velmora_Configure( \"Set\" ; \"From\" ; \"me@example.test\" )", "Velmora_Configure( \"Set\" ; \"Timeout\" ; \"2\" )",
           "Velmora_SendMessage( \"a@example.test\" ; \"Hi\" ; \"body\" ; \"" + fifo + "\" )"});
  EXPECT_NE(std::string::npos,
            run.m_strOut.find("ERROR: SendMessage: Attachment File is not a regular File (it's a FIFO, Device or Socket): fifo\n"))
      << run.m_strOut << run.m_strErr;
  EXPECT_LT(run.m_dblSeconds, 30.0);
  int const accepted = accept(server, nullptr, nullptr);
  EXPECT_LT(accepted, 0) << "the message was sent as far as connecting";
  if (accepted >= 0) close(accepted);
  close(server);
}

}  // namespace
