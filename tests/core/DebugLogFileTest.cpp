// Tests of the debug log file and the crash log on a temporary file-system root (home
// /Users/me with its desktop, preferences and temporary folders overridden inside it): the log
// created on the desktop and appended to, made again after it is deleted, the fall-back through
// the candidate folders when creation fails (injected File Manager faults; the plug-in's folder
// is the one holding a bundle placed inside the root, used by the debug log only), and the crash
// record: its lines, the back-log section, two records in one file, nothing written while the
// log is busy, and no back-log lines while another thread holds the log's lock; private modes,
// and files and links another user planted in the shared temporary folder.
#include "core/DebugLogFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "core/DebugLog.h"
#include "core/MacOSGlue.h"
#include "core/clsDateTime.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "platform/carbon/Gestalt.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFDate.h"
#include "platform/mp/Multiprocessing.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

char const kDesktop[] = "/Users/me/Desktop";
char const kPrefs[] = "/Users/me/Library/Preferences";
char const kTemp[] = "/tmp";
char const kPlugins[] = "/Applications/Host/Extensions";
char const kPluginBundle[] = "/Applications/Host/Extensions/Velmora.bundle";
char const kDebugName[] = "Velmora Debug Log.txt";
char const kCrashName[] = "Velmora Crash Log.txt";

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

// The text's lines, each of which must end with a CR.
std::vector<std::string> Lines(std::string const& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', start)) {
    lines.push_back(text.substr(start, cr - start));
    start = cr + 1;
  }
  EXPECT_EQ(start, text.size()) << "text does not end with a CR";
  return lines;
}

class DebugLogFileTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-logfiles", {kDesktop, kPrefs, kTemp, kPluginBundle}));
    ASSERT_EQ(noErr, InstallRoot());
    FSStandInSetFolder(kUserDomain, kCurrentUserFolderType, "/Users/me");
    FSStandInSetFolder(kUserDomain, kDesktopFolderType, kDesktop);
    FSStandInSetFolder(kUserDomain, kPreferencesFolderType, kPrefs);
    FSStandInSetFolder(kUserDomain, kTemporaryFolderType, kTemp);
    CFAbsoluteTimeSetCurrentForTesting(400000000.0);
    SetGestaltSystemVersionForTesting(0x1068);
    Reset();
  }
  void TearDown() override {
    Reset();
    FSStandInTestClearFaults();
    CFAbsoluteTimeClearCurrentForTesting();
    RemoveRoot();
  }
  static void Reset() {
    EndDebug();
    g_intDebugLevel = kDebugNone;
    g_bolDebugOutputBusy = false;
    g_fnDebugLogFileWriter = DoDebugLogFile;
    g_ustrDebugLogFileName = UniString();
    g_ustrCrashLogFileName = UniString();
  }
};

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

std::string Slash(char const* folder, char const* name) { return std::string(folder) + "/" + name; }

}  // namespace

TEST_F(DebugLogFileTest, DebugLogIsCreatedOnTheDesktopAppendedAndRemade) {
  std::string const path = Slash(kDesktop, kDebugName);
  InitDebug();
  g_intDebugLevel = kDebugError;
  DebugOutput(kDebugError, U("one"));
  DebugOutput(kDebugWarning, U("above the level"));
  DebugOutput(kDebugNone, U("two \xE2\x82\xAC"));

  std::vector<std::string> lines = Lines(Read(path));
  ASSERT_EQ(2u, lines.size());
  // Each line is "HH:MM:SS " + tag + text, in UTF-8.
  EXPECT_EQ("Err : one", lines[0].substr(9));
  EXPECT_EQ("None: two \xE2\x82\xAC", lines[1].substr(9));
  EXPECT_EQ(path, S(g_ustrDebugLogFileName));
  EXPECT_EQ(MakeFourCharCode("R*ch"), FinderInfoOf(path).fdCreator);
  EXPECT_EQ(MakeFourCharCode("TEXT"), FinderInfoOf(path).fdType);

  // Deleted while running: the stale cache is dropped and the file made afresh.
  std::filesystem::remove(m_strRoot + path);
  DebugOutput(kDebugError, U("three"));
  lines = Lines(Read(path));
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("Err : three", lines[0].substr(9));
}

TEST_F(DebugLogFileTest, BothLogsFallBackThroughTheCandidateFolders) {
  std::string const qrv = std::string(kPrefs) + "/QRV";
  std::string const prefsLogDir = qrv + "/Velmora/1.1";
  struct {
    std::vector<std::string> failCreate;  // candidates whose creation fails
    bool placePlugin;                     // the plug-in's bundle lies in kPlugins
    std::string debugFolder;              // "" the root, "none" no file anywhere
    std::string crashFolder;              // the crash log never uses the plug-in's folder
  } const cases[] = {
      {{}, true, kDesktop, kDesktop},
      {{"desk"}, false, "", ""},  // no plug-in bundle registered: skipped
      {{"desk"}, true, kPlugins, ""},
      {{"desk", "plug"}, true, "", ""},
      {{"desk", "root"}, false, prefsLogDir, prefsLogDir},
      {{"desk", "root", "qrv"}, false, kTemp, kTemp},
      {{"desk", "root", "qrv", "temp"}, false, "none", "none"},
  };
  CFStringRef identifier = UniStringToCFString(U(g_strPluginBundleIdentifier));
  for (auto const& c : cases) {
    ASSERT_TRUE(CFBundleSetLocationForTesting(
        identifier, c.placePlugin ? Real(kPluginBundle).c_str() : nullptr));
    for (bool crash : {false, true}) {
      char const* name = crash ? kCrashName : kDebugName;
      for (std::string const& which : c.failCreate) {
        std::string const target = which == "desk"   ? Slash(kDesktop, name)
                                   : which == "plug"  ? Slash(kPlugins, name)
                                   : which == "root"  ? std::string("/") + name
                                   : which == "qrv"   ? qrv
                                                      : Slash(kTemp, name);
        char const* call = which == "qrv" ? "FSCreateDirectoryUnicode" : "FSCreateFileUnicode";
        FSStandInTestFailNext(call, target, -5000 /* afpAccessDenied */, 10);
      }
      if (crash) {
        DoCrashLog(U("TestFunction"));
      } else {
        DoDebugLogFile(U("the line"));
      }
      UniString const& cache = crash ? g_ustrCrashLogFileName : g_ustrDebugLogFileName;
      std::string const& folder = crash ? c.crashFolder : c.debugFolder;
      if (folder == "none") {
        EXPECT_EQ("", S(cache)) << name;
      } else {
        std::string const path = folder + "/" + name;
        EXPECT_EQ(path, S(cache)) << name;
        std::vector<std::string> lines = Lines(Read(path));
        ASSERT_FALSE(lines.empty()) << path;
        EXPECT_EQ(crash ? "Plugin: Velmora v.1.1.3" : "the line", lines[0]) << path;
        std::filesystem::remove(m_strRoot + path);
      }
      FSStandInTestClearFaults();
      g_ustrDebugLogFileName = UniString();
      g_ustrCrashLogFileName = UniString();
      EXPECT_FALSE(g_bolDebugOutputBusy.load());
    }
    std::filesystem::remove_all(m_strRoot + qrv);
  }
  CFBundleSetLocationForTesting(identifier, nullptr);
  CFRelease(identifier);
}

TEST_F(DebugLogFileTest, CrashRecordsWithAndWithoutTheBackLog) {
  std::string const path = Slash(kDesktop, kCrashName);
  clsDateTime now;
  now.SetToNow();
  std::vector<std::string> const head = {
      "Plugin: Velmora v.1.1.3",
      "OS: " + std::string(GetMacOSVersion(nullptr, nullptr, nullptr).c_str()),
      "DateTimeStamp: " + std::string(now.GetAsString().c_str())};

  // Before the debug log is on: no back-log section.
  DoCrashLog(U("FMExternCallProc"));
  std::vector<std::string> expected = head;
  expected.insert(expected.end(), {"CrashingFunction: FMExternCallProc", "", "", ""});
  EXPECT_EQ(expected, Lines(Read(path)));
  EXPECT_EQ(path, S(g_ustrCrashLogFileName));
  EXPECT_FALSE(g_bolDebugOutputBusy.load());

  // With the log on: the back-log, oldest first, then an empty line; appended as a second record.
  InitDebug();
  DebugOutput(kDebugError, U("boom"));
  std::vector<std::string> backLog;
  for (UniString const& line : *g_ulstDebugBackLog) backLog.push_back(S(line));
  ASSERT_EQ(4u, backLog.size());
  DoCrashLog(U("SendMessageCallback"));
  expected.insert(expected.end(), head.begin(), head.end());
  expected.insert(expected.end(), {"CrashingFunction: SendMessageCallback", "", "Debug Back Log:"});
  expected.insert(expected.end(), backLog.begin(), backLog.end());
  expected.insert(expected.end(), {"", "", ""});
  EXPECT_EQ(expected, Lines(Read(path)));
  // The crash log's own file operations did not reach the back-log.
  EXPECT_EQ(4u, g_ulstDebugBackLog->Count());

  // While a line is being written no record is made, and the flag is left to its owner.
  std::string const before = Read(path);
  g_bolDebugOutputBusy = true;
  DoCrashLog(U("Busy"));
  EXPECT_TRUE(g_bolDebugOutputBusy.load());
  g_bolDebugOutputBusy = false;
  EXPECT_EQ(before, Read(path));

  // Another thread holding the log's lock: the record is written without the back-log lines.
  std::promise<void> held, release;
  std::thread holder([&] {
    MPEnterCriticalRegion(g_udtDebugLock, kDurationForever);
    held.set_value();
    release.get_future().wait();
    MPExitCriticalRegion(g_udtDebugLock);
  });
  held.get_future().wait();
  DoCrashLog(U("Locked"));
  release.set_value();
  holder.join();
  expected.insert(expected.end(), head.begin(), head.end());
  expected.insert(expected.end(), {"CrashingFunction: Locked", "", "", ""});
  EXPECT_EQ(expected, Lines(Read(path)));
  // The log works again afterwards.
  EXPECT_FALSE(g_bolDebugOutputBusy.load());
  DebugOutput(kDebugError, U("after"));
  EXPECT_EQ(5u, g_ulstDebugBackLog->Count());
}

// With the usual umask 022 both logs are made readable by their owner only, and the folders
// QRV/Velmora/1.1 the log may make under the preferences folder are private too. In the shared
// temporary folder (mode 1777), a log file another user planted, or a link of that name, is
// never joined or followed; without them the log makes a private file of its own there.
TEST_F(DebugLogFileTest, LogsArePrivateAndNeverJoinWhatOthersPlanted) {
  mode_t const mask = umask(022);
  auto modeOf = [this](std::string const& path) {
    return std::filesystem::status(Real(path)).permissions() & std::filesystem::perms::mask;
  };
  DoDebugLogFile(U("line"));
  DoCrashLog(U("TestFunction"));
  EXPECT_EQ(std::filesystem::perms(0600), modeOf(Slash(kDesktop, kDebugName)));
  EXPECT_EQ(std::filesystem::perms(0600), modeOf(Slash(kDesktop, kCrashName)));
  g_ustrDebugLogFileName = UniString();
  std::string const qrv = std::string(kPrefs) + "/QRV";
  std::filesystem::create_directories(Real(qrv));  // one of ours, left open by an older run
  std::filesystem::permissions(Real(qrv), std::filesystem::perms(0755));
  for (std::string const& target : {Slash(kDesktop, kDebugName), std::string("/") + kDebugName}) {
    FSStandInTestFailNext("FSCreateFileUnicode", target, -5000 /* afpAccessDenied */, 10);
  }
  std::filesystem::remove(Real(Slash(kDesktop, kDebugName)));
  DoDebugLogFile(U("line"));
  FSStandInTestClearFaults();
  EXPECT_EQ(qrv + "/Velmora/1.1/" + kDebugName, S(g_ustrDebugLogFileName));
  for (std::string const& folder : {qrv, qrv + "/Velmora", qrv + "/Velmora/1.1"}) {
    EXPECT_EQ(std::filesystem::perms(0700), modeOf(folder)) << folder;
  }
  EXPECT_EQ(std::filesystem::perms(0600), modeOf(qrv + "/Velmora/1.1/" + kDebugName));
  umask(mask);
  if (geteuid() != 0) GTEST_SKIP() << "planting files as another user needs root";

  // Only the shared temporary folder is left.
  std::filesystem::permissions(Real(kTemp), std::filesystem::perms(01777));
  std::filesystem::remove_all(Real(qrv));
  std::filesystem::remove(Real(Slash(kDesktop, kCrashName)));
  uid_t const other = 4242;
  Write("/Users/me/private.txt", "private");
  for (char const* name : {kDebugName, kCrashName}) {
    bool const crash = name == kCrashName;
    std::string const planted = Slash(kTemp, name);
    for (bool link : {false, true}) {
      if (link) {
        std::filesystem::create_symlink(Real("/Users/me/private.txt"), Real(planted));
      } else {
        Write(planted, "planted\r");
      }
      ASSERT_EQ(0, lchown(Real(planted).c_str(), other, other));
      for (std::string const& target :
           {Slash(kDesktop, name), std::string("/") + name, Slash(kPlugins, name)}) {
        FSStandInTestFailNext("FSCreateFileUnicode", target, -5000, 10);
      }
      FSStandInTestFailNext("FSCreateDirectoryUnicode", qrv, -5000, 10);
      g_ustrDebugLogFileName = UniString();
      g_ustrCrashLogFileName = UniString();
      if (crash) {
        DoCrashLog(U("TestFunction"));
      } else {
        DoDebugLogFile(U("Res : Get Password: secret"));
      }
      EXPECT_EQ("", S(crash ? g_ustrCrashLogFileName : g_ustrDebugLogFileName)) << name;
      EXPECT_EQ(link ? "private" : "planted\r", Read(link ? "/Users/me/private.txt" : planted))
          << name;
      EXPECT_EQ(link, std::filesystem::is_symlink(Real(planted))) << name;
      std::filesystem::remove(Real(planted));
      FSStandInTestClearFaults();
    }
    // Nothing planted: a private file of our own.
    for (std::string const& target :
         {Slash(kDesktop, name), std::string("/") + name, Slash(kPlugins, name)}) {
      FSStandInTestFailNext("FSCreateFileUnicode", target, -5000, 10);
    }
    FSStandInTestFailNext("FSCreateDirectoryUnicode", qrv, -5000, 10);
    if (crash) {
      DoCrashLog(U("TestFunction"));
    } else {
      DoDebugLogFile(U("mine"));
    }
    FSStandInTestClearFaults();
    EXPECT_EQ(planted, S(crash ? g_ustrCrashLogFileName : g_ustrDebugLogFileName));
    EXPECT_EQ(std::filesystem::perms(0600), modeOf(planted));
  }
}
