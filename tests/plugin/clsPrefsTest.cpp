// Tests of the preference store on a temporary file-system root: the system folder under
// "/prefs", the plug-in's bundle at "/plugins/Velmora.bundle", so the local file is
// "/plugins/Velmora Prefs". Each test uses a store of its own; "now" is moved with the
// CoreFoundation clock's test offset and file times are set on the real files.
#include "plugin/clsPrefs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/DebugLog.h"
#include "core/TextEncoders.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFDate.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

char const kBOM[] = "\xEF\xBB\xBF";
char const kSystem[] = "/prefs/QRV/Velmora/1.1";
char const kSystemFile[] = "/prefs/QRV/Velmora/1.1/Velmora Prefs";
char const kLocal[] = "/plugins";
char const kLocalFile[] = "/plugins/Velmora Prefs";

// Places the plug-in's bundle at a real folder (null: nowhere).
void PlaceBundle(char const* realFolder) {
  CFStringRef id = CFStringCreateWithCString(nullptr, g_strPluginBundleIdentifier, kCFStringEncodingUTF8);
  CFBundleSetLocationForTesting(id, realFolder);
  CFRelease(id);
}

// The "PrefName" members of a discovery, sorted.
std::vector<std::string> PrefNames(clsMultiVar const& files) {
  std::vector<std::string> names;
  for (clsSingleVar const& f : files) {
    clsMultiVar::iterator it;
    names.push_back(f.GetArrayValue()->GetVar(U("PrefName"), it) ? S(it->GetStringValue()) : "?");
  }
  std::sort(names.begin(), names.end());
  return names;
}

class clsPrefsTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-prefs", {"/prefs", "/plugins"}));
    ASSERT_EQ(noErr, InstallRoot());
    ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs"));
    WriteFile("/plugins/Velmora.bundle/Velmora", "\x7F" "ELF library");
    WriteFile("/plugins/Velmora.bundle/Resources/Velmora.rsrc", "resources");
    PlaceBundle(Real("/plugins/Velmora.bundle").c_str());
    m_intLevel = g_intDebugLevel;
    Later(0);
  }
  void TearDown() override {
    CFAbsoluteTimeClearCurrentForTesting();
    FSStandInTestSetCallLog(false);
    PlaceBundle(nullptr);
    g_intDebugLevel = m_intLevel;
    RemoveRoot();
  }

  // Moves "now" on by seconds (0: to real time). The clock stands still in between, so that a
  // slow run does not cross the store's 15-second reload boundary on its own.
  void Later(double seconds) {
    if (seconds == 0) {
      CFAbsoluteTimeClearCurrentForTesting();
      m_dblBase = CFAbsoluteTimeGetCurrent();
      m_dblOffset = 0;
    }
    m_dblOffset += seconds;
    CFAbsoluteTimeSetCurrentForTesting(m_dblBase + m_dblOffset);
  }
  void WriteFile(std::string const& path, std::string const& bytes) {
    std::filesystem::create_directories(std::filesystem::path(Real(path)).parent_path());
    Write(path, bytes);
  }
  // Gives a file a modification time seconds after "now".
  void Touch(std::string const& path, double seconds) {
    auto const when = std::filesystem::file_time_type::clock::now() +
                      std::chrono::duration_cast<std::filesystem::file_time_type::duration>(
                          std::chrono::duration<double>(m_dblOffset + seconds));
    std::filesystem::last_write_time(Real(path), when);
  }

  double m_dblBase = 0;
  double m_dblOffset = 0;
  int32_t m_intLevel = 0;
};

TEST_F(clsPrefsTest, SavedFileHoldsTheMarkCrLineEndsAndQuotedStringsOnly) {
  clsPrefs prefs;
  prefs.LoadPrefs();
  ASSERT_TRUE(prefs.SetStringPref(U("Host"), U("mail.example.test")));
  ASSERT_TRUE(prefs.SetIntegerPref(U("Port"), 587));
  prefs.SavePrefs();
  EXPECT_EQ(std::string(kBOM) + "Host=\"mail.example.test\"\rPort=587", Read(kSystemFile));

  // A quoted number read as an integer is saved unquoted.
  WriteFile(kSystemFile, std::string(kBOM) + "Port=\"25\"\rName=\"say \\\"hi\\\"\"");
  Touch(kSystemFile, 30);
  Later(30);
  EXPECT_EQ(25, prefs.GetIntegerPref(U("Port"), 0));
  EXPECT_EQ("say \"hi\"", S(prefs.GetStringPref(U("Name"), UniString())));
  prefs.SavePrefs();
  EXPECT_EQ(std::string(kBOM) + "Port=25\rName=\"say \\\"hi\\\"\"", Read(kSystemFile));

  // A value is kept as given, quotes around it too, for a new entry as for one that exists.
  ASSERT_TRUE(prefs.SetStringPref(U("Sig"), U("\"Bob\"")));
  ASSERT_TRUE(prefs.SetStringPref(U("Pair"), U("''")));
  ASSERT_TRUE(prefs.SetStringPref(U("Name"), U("'x'")));
  prefs.SavePrefs();
  clsPrefs reread;
  EXPECT_EQ("\"Bob\"", S(reread.GetStringPref(U("Sig"), UniString())));
  EXPECT_EQ("''", S(reread.GetStringPref(U("Pair"), UniString())));
  EXPECT_EQ("'x'", S(reread.GetStringPref(U("Name"), UniString())));
}

TEST_F(clsPrefsTest, PasswordsAreScrambledOnDiskAndClearThroughTheGetters) {
  struct stcCase {
    char const* name;
    char const* password;
  } const cases[] = {{"SMTPPassword", "s3cret"}, {"password", "Grüße €"}, {"MyPASSWORDx", "Zq"}};
  clsPrefs prefs;
  prefs.LoadPrefs();
  for (stcCase const& c : cases) ASSERT_TRUE(prefs.SetStringPref(U(c.name), U(c.password)));
  ASSERT_TRUE(prefs.SetStringPref(U("Plain"), U("s3cret")));
  prefs.SavePrefs();
  std::string const disk = Read(kSystemFile);
  EXPECT_NE(std::string::npos, disk.find("Plain=\"s3cret\""));

  clsPrefs again;
  for (stcCase const& c : cases) {
    std::string const body = "\r" + disk.substr(3);
    std::string const line = std::string("\r") + c.name + "=\"";
    size_t const at = body.find(line);
    ASSERT_NE(std::string::npos, at) << c.name;
    EXPECT_NE(0, body.compare(at + line.size(), std::string(c.password).size(), c.password))
        << c.name;
    EXPECT_EQ(c.password, S(again.GetStringPref(U(c.name), UniString()))) << c.name;
    clsSingleVar const copy = again.GetPref(U(c.name), clsSingleVar());
    EXPECT_EQ(kVarTypeString, copy.GetType());
    EXPECT_EQ(c.password, S(copy.GetStringValue())) << c.name;
  }
  // An ASCII password's file text is the scrambler's bytes as they are.
  EXPECT_NE(std::string::npos, disk.find("SMTPPassword=\"" +
                                         std::string(EncryptPassword("s3cret").c_str()) + "\""));
  // A default is never unscrambled.
  EXPECT_EQ("dflt", S(again.GetStringPref(U("OtherPassword"), U("dflt"))));
}

TEST_F(clsPrefsTest, SettersRefuseWhatTheFileCannotHoldAndStoreNothing) {
  using namespace std::string_literals;
  struct stcCase {
    std::string name;
    std::string value;
  } const cases[] = {{"a=b", "x"},  {"a;b", "x"},  {"a\"b", "x"}, {"a'b", "x"},
                     {"a{b", "x"},  {"a}b", "x"},  {"a$b", "x"},  {"a\rb", "x"},
                     {"a\nb", "x"}, {"  ", "x"},   {"a\0b"s, "x"}, {" a\t\0b"s, "x"}, {"Body", "one\ntwo"},
                     {"Body", "one\r\ntwo"}, {"Body", "one\rtwo"}, {"Body", "cut\0here"s}};
  clsPrefs prefs;
  prefs.LoadPrefs();
  ASSERT_TRUE(prefs.SetStringPref(U("Kept"), U("yes")));
  prefs.SavePrefs();
  std::string const before = Read(kSystemFile);
  for (stcCase const& c : cases) {
    EXPECT_FALSE(prefs.SetStringPref(U(c.name), U(c.value))) << c.name;
    EXPECT_FALSE(prefs.ErrorString().IsEmpty()) << c.name;
    bool const badName = !clsPrefs::IsStorableName(U(c.name));
    EXPECT_EQ(badName, c.name != "Body") << c.name;
    if (badName) {
      EXPECT_FALSE(prefs.SetIntegerPref(U(c.name), 1)) << c.name;
      EXPECT_FALSE(prefs.SetBooleanPref(U(c.name), true)) << c.name;
      EXPECT_FALSE(prefs.SetListPref(U(c.name), U("l1\rl2"))) << c.name;
    }
  }
  EXPECT_FALSE(prefs.PrefExists(U("Body")));
  prefs.SavePrefs();
  EXPECT_EQ(before, Read(kSystemFile));
  EXPECT_TRUE(prefs.SetStringPref(U("Body"), U("one line")));
  EXPECT_TRUE(prefs.ErrorString().IsEmpty());
  EXPECT_TRUE(clsPrefs::IsStorableName(U(" Last Simple Dialog-Left_2 ")));
}

// A damaged entry costs only itself (and the rest of its line): the load logs it, keeps every
// entry it can read, and copies the file aside whole before the next save writes the readable
// entries over it; a later damage gets a copy of its own.
TEST_F(clsPrefsTest, ADamagedEntryLosesNoEntryAfterIt) {
  std::string const password = EncryptPassword("s3cret").c_str();
  struct stcCase {
    char const* name;
    std::string file;  // after the mark
    char const* logged;
  } const cases[] = {
      {"a quote left open", "Note=\"hand edit, quote left open\rPort=2525\rFrom=\"<a@example.test>\"",
       "Error Parsing Prefs: Line 2: Ending Quote not Found for Variable named Note. The entry was skipped."},
      {"a name twice", "Port=2525\rHost=\"b.example\"\rFrom=\"<a@example.test>\"",
       "Error Parsing Prefs: Line 3: Duplicate Variable Name: Host The entry was skipped."},
      {"braces never closed, then a line", "Odd={k=1;\rPort=2525\rFrom=\"<a@example.test>\"", "Line 2: The number"},
      {"the rest of the damaged line goes with it", "x=\"open; y=1\rPort=2525\rFrom=\"<a@example.test>\"",
       "Line 2: Ending Quote not Found for Variable named x."},
  };
  static std::vector<std::string> s_vecLogged;
  DebugLogFileWriterProc const writer = g_fnDebugLogFileWriter;
  g_fnDebugLogFileWriter = [](UniString const& line) { s_vecLogged.push_back(S(line)); };
  InitDebug();
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Real(kSystem));
    s_vecLogged.clear();
    g_intDebugLevel = kDebugError;  // the load sets it to 0 again after reading the files
    std::string const bytes =
        std::string(kBOM) + "Host=\"a.example\"\r" + c.file + "\rPassword=\"" + password + "\"";
    WriteFile(kSystemFile, bytes);
    clsPrefs prefs;
    prefs.LoadPrefs();
    size_t logged = 0;
    for (std::string const& line : s_vecLogged) logged += line.find(c.logged) != std::string::npos;
    EXPECT_EQ(1u, logged);
    ASSERT_TRUE(prefs.SetStringPref(U("Host"), U("changed.example")));
    prefs.SavePrefs();
    EXPECT_EQ(bytes, Read(std::string(kSystem) + "/Damaged Velmora Prefs"));
    clsPrefs reread;
    EXPECT_EQ("changed.example", S(reread.GetStringPref(U("Host"), UniString())));
    EXPECT_EQ(2525, reread.GetIntegerPref(U("Port"), 0));
    EXPECT_EQ("<a@example.test>", S(reread.GetStringPref(U("From"), UniString())));
    EXPECT_EQ("s3cret", S(reread.GetStringPref(U("Password"), UniString())));
    EXPECT_EQ(nullptr, reread.GetListPrefPtr(U("Prefs")));
  }
  WriteFile(kSystemFile, std::string(kBOM) + "Host=\"again");
  clsPrefs again;
  again.LoadPrefs();
  EXPECT_EQ(std::string(kBOM) + "Host=\"again", Read(std::string(kSystem) + "/Damaged Velmora Prefs 2"));
  EndDebug();
  g_fnDebugLogFileWriter = writer;
}

TEST_F(clsPrefsTest, ReloadWaitsFifteenSecondsThenRereadsBothSets) {
  WriteFile(kSystemFile, std::string(kBOM) + "Host=\"one.example.test\"");
  WriteFile(kLocalFile, std::string(kBOM) + "Port=587");
  clsPrefs prefs;
  EXPECT_EQ("one.example.test", S(prefs.GetStringPref(U("Host"), UniString())));
  prefs.SavePrefs();  // the check's time base is now the files' time
  ASSERT_TRUE(prefs.SetIntegerPref(U("Port"), 1));  // in memory only

  WriteFile(kSystemFile, std::string(kBOM) + "Host=\"two.example.test\"");
  Touch(kSystemFile, 5);
  FSStandInTestSetCallLog(true);
  FSStandInTestClearCallLog();
  Later(14);
  EXPECT_EQ("one.example.test", S(prefs.GetStringPref(U("Host"), UniString())));
  EXPECT_TRUE(FSStandInTestCallLog().empty()) << "no disk touch within 15 seconds";
  Later(2);
  EXPECT_EQ("two.example.test", S(prefs.GetStringPref(U("Host"), UniString())));
  EXPECT_EQ(587, prefs.GetIntegerPref(U("Port"), 25)) << "the unchanged local file is reread too";
  // A later local edit is seen beside an older system file.
  WriteFile(kLocalFile, std::string(kBOM) + "Port=2525");
  Touch(kLocalFile, 5);
  Later(16);
  EXPECT_EQ(2525, prefs.GetIntegerPref(U("Port"), 25));

  // A vanished file empties its set at the next check.
  std::filesystem::remove(Real(kSystemFile));
  std::filesystem::remove(Real(kLocalFile));
  Later(16);
  EXPECT_EQ("gone", S(prefs.GetStringPref(U("Host"), U("gone"))));
  EXPECT_FALSE(prefs.PrefExists(U("Port")));
  // And without a system file.
  WriteFile(kLocalFile, std::string(kBOM) + "Port=2626");
  Touch(kLocalFile, 5);
  Later(16);
  EXPECT_EQ(2626, prefs.GetIntegerPref(U("Port"), 25));
}

TEST_F(clsPrefsTest, LocalValuesWinAndASaveWritesEachBackWhereItCameFrom) {
  WriteFile(kSystemFile, std::string(kBOM) + "Host=\"system\"\rPort=25");
  clsPrefs fresh;
  fresh.LoadPrefs();
  fresh.SavePrefs();
  EXPECT_EQ(kBOM, Read(kLocalFile)) << "the first save makes a local file, empty as its set";

  WriteFile(kLocalFile, std::string(kBOM) + "Host=\"local\"");
  clsPrefs prefs;
  EXPECT_EQ("local", S(prefs.GetStringPref(U("Host"), UniString())));
  EXPECT_EQ(25, prefs.GetIntegerPref(U("Port"), 0));
  ASSERT_TRUE(prefs.SetStringPref(U("Host"), U("changed")));
  ASSERT_TRUE(prefs.SetIntegerPref(U("Timeout"), 60));
  ASSERT_TRUE(prefs.SetListPref(U("TextFooter"), U("Bye")));
  prefs.SavePrefs();
  EXPECT_EQ(std::string(kBOM) + "Host=\"changed\"", Read(kLocalFile));
  EXPECT_EQ(std::string(kBOM) + "Host=\"system\"\rPort=25\rTimeout=60", Read(kSystemFile));
  EXPECT_EQ(std::string(kBOM) + "Bye", Read(std::string(kSystem) + "/Velmora TextFooter"));
  EXPECT_EQ("\x7F" "ELF library", Read("/plugins/Velmora.bundle/Velmora")) << "the bundle is left alone";
}

TEST_F(clsPrefsTest, BesideThePluginItsOwnFilesAreNoListFiles) {
  for (char const* name : {"Velmora_OSX Plugin", "Velmora_WIN.fmx", "Velmora _osx", "velmora textfooter",
                           "Velmora Prefs", "VelmoraPrefs"}) {
    WriteFile(std::string(kLocal) + "/" + name, std::string(kBOM) + "line");
  }
  clsPrefs prefs;
  prefs.LoadPrefs();
  clsMultiVar files;
  prefs.GetLocalListPrefFiles(&files);
  EXPECT_EQ((std::vector<std::string>{"_osx", "textfooter"}), PrefNames(files));
  ASSERT_NE(nullptr, prefs.GetListPrefPtr(U("TextFooter")));
  EXPECT_EQ("line", S(prefs.GetListPrefPtr(U("TextFooter"))->At(0)));
}

TEST_F(clsPrefsTest, ImportTakesTheNewestOlderVersionUnlessThisVersionHasAFolder) {
  for (char const* version : {"0.9", "1.0", "1.05", "1.0.1"}) {
    WriteFile(std::string("/prefs/QRV/Velmora/") + version + "/Velmora Prefs",
              std::string(kBOM) + "From=\"" + version + "\"");
  }
  {
    clsPrefs prefs;
    EXPECT_EQ("1.05", S(prefs.GetStringPref(U("From"), UniString())));
    EXPECT_EQ(std::string(kBOM) + "From=\"1.05\"", Read(kSystemFile)) << "saved into 1.1";
  }
  std::filesystem::remove(Real(kSystemFile));
  std::filesystem::remove(Real(kLocalFile));
  clsPrefs blocked;
  EXPECT_EQ("none", S(blocked.GetStringPref(U("From"), U("none"))));
}

TEST_F(clsPrefsTest, DebugLevelIsAppliedOnLoadAndWrittenOnSave) {
  struct stcCase {
    char const* file;  // the file's DebugLevel line, or "" for none
    int32_t before;
    int32_t after;
  } const cases[] = {{"DebugLevel=\"Info\"", 0, 4}, {"DebugLevel=\" full \"", 1, 5},
                     {"DebugLevel=\"Loud\"", 2, 2}, {"DebugLevel=\"\"", 3, 3},
                     {"DebugLevel=\"None\"", 3, 0}, {"", 5, 0}};
  for (stcCase const& c : cases) {
    WriteFile(kSystemFile, std::string(kBOM) + "Host=\"h\"\r" + c.file);
    g_intDebugLevel = c.before;
    clsPrefs prefs;
    prefs.LoadPrefs();
    EXPECT_EQ(c.after, g_intDebugLevel) << c.file;
  }
  clsPrefs prefs;
  prefs.LoadPrefs();
  g_intDebugLevel = 3;
  prefs.SavePrefs();
  EXPECT_EQ(std::string(kBOM) + "Host=\"h\"\rDebugLevel=\"Result\"", Read(kSystemFile));
  // Level 0 removes the entry; the emptied file keeps no trace of it for the next start.
  WriteFile(kSystemFile, std::string(kBOM) + "DebugLevel=\"Full\"");
  clsPrefs only;
  only.LoadPrefs();
  g_intDebugLevel = 0;
  only.SavePrefs();
  EXPECT_EQ(kBOM, Read(kSystemFile));
  g_intDebugLevel = 4;
  clsPrefs next;
  next.LoadPrefs();
  EXPECT_EQ(0, g_intDebugLevel);
}

TEST_F(clsPrefsTest, ListFilesAreFoundByNameAndNeverTheLogs) {
  std::string const dir = kSystem;
  WriteFile(dir + "/Velmora Prefs", std::string(kBOM) + "Host=\"h\"");
  WriteFile(dir + "/velmora textfooter", std::string(kBOM) + "Regards\rThe team");
  WriteFile(dir + "/Velmora Debug Log.txt", "12:00:00 Err : line\r");
  WriteFile(dir + "/Velmora Crash Log.txt", "crash\r");
  WriteFile(dir + "/Velmora 50%", "percent");
  WriteFile(dir + "/Other Thing", "x");
  std::filesystem::create_directories(Real(dir + "/Velmora Folder"));
  clsPrefs prefs;
  prefs.LoadPrefs();
  clsMultiVar files;
  prefs.GetSystemListPrefFiles(&files);
  EXPECT_EQ((std::vector<std::string>{"50%", "textfooter"}), PrefNames(files));

  UniStringList* footer = prefs.GetListPrefPtr(U("TextFooter"));
  ASSERT_NE(nullptr, footer);
  EXPECT_EQ("Regards|The team", S(footer->Text(kLineEndingNone, U("|"))));
  EXPECT_EQ(nullptr, prefs.GetListPrefPtr(U("Debug Log.txt")));

  std::string const log = Read(dir + "/Velmora Debug Log.txt");
  prefs.SavePrefs();
  EXPECT_EQ(log, Read(dir + "/Velmora Debug Log.txt")) << "a save never rewrites the log";
  EXPECT_EQ(std::string(kBOM) + "percent", Read(dir + "/Velmora 50%"));
}

TEST_F(clsPrefsTest, SaveDeletesOnlyListFilesWhoseEntryIsNoLongerAList) {
  std::string const dir = kSystem;
  WriteFile(dir + "/Velmora Prefs", std::string(kBOM) + "Host=\"h\"");
  WriteFile(dir + "/Velmora TextHeader", std::string(kBOM) + "Hello");
  WriteFile(dir + "/Velmora TextFooter", std::string(kBOM) + "Bye");
  WriteFile(dir + "/Velmora ContentTypes", std::string(kBOM) + "pdf=application/pdf");
  clsPrefs prefs;
  prefs.LoadPrefs();
  WriteFile(dir + "/Velmora HTMLFooter", std::string(kBOM) + "<p>added after the load</p>");
  ASSERT_TRUE(prefs.SetListPref(U("TextHeader"), UniString()));   // emptied
  ASSERT_TRUE(prefs.SetStringPref(U("TextFooter"), U("plain")));  // no longer a list
  ASSERT_TRUE(prefs.SetListPref(U("EmailHeaders"), U("X-One: 1\nX-Two: 2")));
  prefs.SavePrefs();
  EXPECT_FALSE(Exists(dir + "/Velmora TextHeader"));
  EXPECT_FALSE(Exists(dir + "/Velmora TextFooter"));
  EXPECT_EQ(std::string(kBOM) + "pdf=application/pdf", Read(dir + "/Velmora ContentTypes"));
  EXPECT_EQ(std::string(kBOM) + "<p>added after the load</p>", Read(dir + "/Velmora HTMLFooter"));
  EXPECT_EQ(std::string(kBOM) + "X-One: 1\rX-Two: 2", Read(dir + "/Velmora EmailHeaders"));
  EXPECT_EQ(std::string(kBOM) + "Host=\"h\"\rTextFooter=\"plain\"", Read(dir + "/Velmora Prefs"));
}

TEST_F(clsPrefsTest, AReloadWithoutAMainFileReplacesListsInsteadOfAddingThem) {
  std::string const dir = kSystem;
  WriteFile(dir + "/Velmora TextFooter", std::string(kBOM) + "first");
  clsPrefs prefs;
  prefs.LoadPrefs();
  WriteFile(dir + "/Velmora TextFooter", std::string(kBOM) + "second");
  WriteFile(dir + "/Velmora TextHeader", std::string(kBOM) + "head");
  Touch(dir + "/Velmora TextHeader", 30);
  WriteFile(dir + "/Velmora Prefs", kBOM);  // an empty main file leaves the set as it was
  Touch(dir + "/Velmora Prefs", 30);
  Later(30);
  UniStringList* footer = prefs.GetListPrefPtr(U("TextFooter"));
  ASSERT_NE(nullptr, footer);
  EXPECT_EQ("second", S(footer->Text(kLineEndingCR)));
  ASSERT_NE(nullptr, prefs.GetListPrefPtr(U("TextHeader")));
}

// A getter never changes what is stored: an entry of another type is converted in place only when
// its text stays the same (a quoted number, a one-line text read as a list); letters read as a
// number, a yes read as a boolean and a list of several lines read as text or a number keep
// their stored form, and the save writes them back as they were.
TEST_F(clsPrefsTest, GettersConvertInPlaceAndNewNamesGoToTheSystemSet) {
  WriteFile(kSystemFile,
            std::string(kBOM) + "Port=\"abc\"\rFlag=\"yes\"\rOdd=\"maybe\"\rList=\"a\"\rCount=\"25\"\rEmpty=\"\"");
  WriteFile(std::string(kSystem) + "/Velmora Lines", std::string(kBOM) + "one\rtwo");
  clsPrefs prefs;
  EXPECT_EQ(0, prefs.GetIntegerPref(U("Port"), 25)) << "a Port of letters reads as 0";
  EXPECT_TRUE(prefs.GetBooleanPref(U("Flag"), false));
  EXPECT_FALSE(prefs.GetBooleanPref(U("Odd"), true));
  EXPECT_TRUE(prefs.GetBooleanPref(U("Missing"), true));
  ASSERT_NE(nullptr, prefs.GetListPrefPtr(U("List")));
  EXPECT_EQ(nullptr, prefs.GetListPrefPtr(U("Missing")));
  EXPECT_EQ(nullptr, prefs.GetListPrefPtr(U("Empty")));
  EXPECT_EQ(25, prefs.GetIntegerPref(U("Count"), 0));
  for (int again = 0; again < 2; ++again) {
    EXPECT_EQ("one\rtwo", S(prefs.GetStringPref(U("Lines"), UniString())));
    EXPECT_EQ(2, prefs.GetIntegerPref(U("Lines"), 0));
    EXPECT_TRUE(prefs.GetBooleanPref(U("Lines"), false));
  }
  EXPECT_EQ(kVarTypeList, prefs.GetPref(U("Lines"), clsSingleVar()).GetType());
  EXPECT_TRUE(prefs.SetBooleanPref(U("New"), true));
  prefs.SavePrefs();
  EXPECT_EQ(std::string(kBOM) + "Port=\"abc\"\rFlag=\"yes\"\rOdd=\"maybe\"\rCount=25\rEmpty=\"\"\rNew=1",
            Read(kSystemFile));
  EXPECT_EQ(std::string(kBOM) + "a", Read(std::string(kSystem) + "/Velmora List"));
  EXPECT_EQ(std::string(kBOM) + "one\rtwo", Read(std::string(kSystem) + "/Velmora Lines"));
}

TEST_F(clsPrefsTest, GettersOnAnotherThreadWhileTheHostThreadSaves) {
  clsPrefs prefs;
  prefs.LoadPrefs();
  ASSERT_TRUE(prefs.SetListPref(U("TextFooter"), U("a\rb\rc")));
  ASSERT_TRUE(prefs.SetIntegerPref(U("LineBreak"), 76));
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::thread writer([&] {
    while (!stop) {
      if (prefs.GetIntegerPref(U("LineBreak"), 80) != 76) ++wrong;
      UniStringList* list = prefs.GetListPrefPtr(U("TextFooter"));
      if (list == nullptr || list->Count() != 3) ++wrong;
      if (prefs.GetStringPref(U("Host"), U("h")) != U("h")) ++wrong;
    }
  });
  for (int i = 0; i < 40; ++i) {
    prefs.SetIntegerPref(U("LastStatusLeft"), i);
    prefs.SavePrefs();
    Later(16);  // every getter now checks the files
  }
  stop = true;
  writer.join();
  EXPECT_EQ(0, wrong.load());
}

}  // namespace

// With the usual umask 022 and an open preferences folder, the store's folders QRV/Velmora/1.1
// are made 0700 (an existing one of ours is closed too) and every file it writes is 0600: the
// scrambled password can be read back by anyone who can read the file.
TEST_F(clsPrefsTest, FoldersAndFilesArePrivateWhateverTheUmask) {
  mode_t const mask = umask(022);
  std::filesystem::permissions(Real("/prefs"), std::filesystem::perms(0755));
  std::filesystem::create_directories(Real("/prefs/QRV"));
  std::filesystem::permissions(Real("/prefs/QRV"), std::filesystem::perms(0755));
  WriteFile("/plugins/Velmora Prefs", std::string(kBOM) + "Local=\"1\"");
  std::filesystem::permissions(Real("/plugins/Velmora Prefs"), std::filesystem::perms(0644));
  clsPrefs prefs;
  prefs.LoadPrefs();
  ASSERT_TRUE(prefs.SetStringPref(U("Password"), U("secret")));
  ASSERT_TRUE(prefs.SetListPref(U("TextFooter"), U("one\rtwo")));
  prefs.SavePrefs();
  umask(mask);
  auto modeOf = [this](std::string const& path) {
    return std::filesystem::status(Real(path)).permissions() & std::filesystem::perms::mask;
  };
  for (char const* folder : {"/prefs/QRV", "/prefs/QRV/Velmora", kSystem}) {
    EXPECT_EQ(std::filesystem::perms(0700), modeOf(folder)) << folder;
  }
  std::string const listFile = std::string(kSystem) + "/Velmora TextFooter";
  for (std::string const& file : {std::string(kSystemFile), listFile, std::string(kLocalFile)}) {
    EXPECT_EQ(std::filesystem::perms(0600), modeOf(file)) << file;
  }
  EXPECT_EQ(std::filesystem::perms(0755), modeOf("/prefs"));  // not ours to close
}
