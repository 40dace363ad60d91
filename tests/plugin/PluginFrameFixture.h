// PluginFrameFixture: a GoogleTest fixture that runs the plug-in through its entry point in the
// host model, inside a temporary file-system root: preferences under "/prefs" (the system file
// "/prefs/QRV/Velmora/1.1/Velmora Prefs"), the bundle at "/plugins/Velmora.bundle" (the local
// file "/plugins/Velmora Prefs"), the desktop (where the logs go) at "/Desktop", temporary items
// at "/tmp". The plug-in's resource file and the host's own are two openings of the test
// resource file; the host's is current between calls. Debug lines at or below the level are
// collected in m_vecLogLines instead of a file.
// Each test starts and ends with a fresh preference store (the store keeps what it was given
// even when its files are gone) and a fresh progress window (a window reset of the stand-in
// would leave it holding a disposed window), and with "now" far enough on that the store loads
// from the new root.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "dialogs/clsStatusWindow.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "platform/carbon/Resources.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFDate.h"
#include "plugin/frame/PluginMain.h"
#include "plugin/frame/clsFMPScripts.h"
#include "tests/mime/MimeTestPrefs.h"
#include "tests/support/FmxTestHost.h"
#include "tests/support/TempFileSystemRoot.h"
#include "tests/support/TestResources.h"

class PluginFrameFixture : public clsTempFileSystemRootTest {
 protected:
  static constexpr char const* kSystemPrefs = "/prefs/QRV/Velmora/1.1/Velmora Prefs";
  static constexpr char const* kBOM = "\xEF\xBB\xBF";

  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-frame", {"/prefs", "/plugins/Velmora.bundle", "/Desktop", "/tmp"}));
    ASSERT_EQ(noErr, InstallRoot());
    FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs");
    FSStandInSetFolder(kUserDomain, kDesktopFolderType, "/Desktop");
    FSStandInSetFolder(kUserDomain, kTemporaryFolderType, "/tmp");
    FSStandInSetFolder(kUserDomain, kChewableItemsFolderType, "/tmp");
    PlaceBundle(Real("/plugins/Velmora.bundle").c_str());
    ResetPrefsForTesting();
    ResetStatusWindow();
    Later();

    ASSERT_EQ(noErr, OpenResourceFileAtPath(VelmoraTestResourcePath(), &m_shtPluginFile));
    ASSERT_EQ(noErr, OpenResourceFileAtPath(VelmoraTestResourcePath(), &m_shtHostFile));
    UseResFile(m_shtHostFile);
    m_udtHost.SetEntryPoint(FMExternCallProc);
    m_udtHost.SetResourceID(m_shtPluginFile);

    s_vecLines = &m_vecLogLines;
    m_fnPreviousWriter = g_fnDebugLogFileWriter;
    g_fnDebugLogFileWriter = [](UniString const& line) { s_vecLines->push_back(line.GetAnsiString(1).c_str()); };
  }

  void TearDown() override {
    if (m_bolStarted) m_udtHost.Shutdown();
    ResetPrefsForTesting();
    ResetStatusWindow();
    g_udtFMPScripts.RemAllEvents();
    g_udtCurrFMPScriptItem = nullptr;
    EndDebug();
    g_intDebugLevel = kDebugNone;
    g_fnDebugLogFileWriter = m_fnPreviousWriter;
    s_vecLines = nullptr;
    CloseResFile(m_shtHostFile);
    CloseResFile(m_shtPluginFile);
    PlaceBundle(nullptr);
    CFAbsoluteTimeClearCurrentForTesting();
    RemoveRoot();
  }

  // Init as a client host; true when it answered 51 (the fixture then shuts down at the end).
  bool Start(fmx::int16 apiVersion = 51, fmx::uchar appType = 1) {
    m_bolStarted = m_udtHost.Init(apiVersion, appType) == 51;
    return m_bolStarted;
  }
  void Stop() {
    m_udtHost.Shutdown();
    m_bolStarted = false;
  }

  // Calls a registered function with text parameters; the result's text.
  std::string CallText(fmx::int16 id, std::vector<std::string> const& texts) {
    std::vector<fmx::Data> parameters;
    for (std::string const& text : texts) parameters.push_back(FmxTestHost::TextData(text));
    fmx::Data result;
    EXPECT_EQ(0, m_udtHost.CallFunctionWith(id, parameters, result));
    return FmxTestHost::TextOf(result);
  }

  // Collected lines that hold the text.
  size_t LinesWith(std::string const& text) const {
    size_t count = 0;
    for (std::string const& line : m_vecLogLines) count += line.find(text) != std::string::npos;
    return count;
  }

  // Moves "now" on by 1000 seconds, so the preference store looks at its files again.
  static void Later() {
    s_dblOffset += 1000;
    CFAbsoluteTimeSetOffsetForTesting(s_dblOffset);
  }
  // Writes the system preference file (after the mark) with a time the store has not seen.
  void WritePrefs(std::string const& entries) {
    Later();
    WriteFile(kSystemPrefs, std::string(kBOM) + entries);
    std::filesystem::last_write_time(Real(kSystemPrefs),
                                     std::filesystem::file_time_type::clock::now() +
                                         std::chrono::duration_cast<std::filesystem::file_time_type::duration>(
                                             std::chrono::duration<double>(s_dblOffset)));
    Later();
  }

  void WriteFile(std::string const& path, std::string const& bytes) {
    std::filesystem::create_directories(std::filesystem::path(Real(path)).parent_path());
    Write(path, bytes);
  }

  // The progress window as at start-up: no window made yet, no custom title, nothing counted.
  // Called before anything disposes of every window, so that its own window goes first.
  static void ResetStatusWindow() {
    g_udtPluginStatus.~clsStatusWindow();
    new (&g_udtPluginStatus) clsStatusWindow();
  }

  static void PlaceBundle(char const* realFolder) {
    CFStringRef id = CFStringCreateWithCString(nullptr, g_strPluginBundleIdentifier, kCFStringEncodingUTF8);
    CFBundleSetLocationForTesting(id, realFolder);
    CFRelease(id);
  }

  FmxTestHost m_udtHost;
  ResFileRefNum m_shtPluginFile = kResFileNotOpened;
  ResFileRefNum m_shtHostFile = kResFileNotOpened;
  bool m_bolStarted = false;
  std::vector<std::string> m_vecLogLines;
  DebugLogFileWriterProc m_fnPreviousWriter = nullptr;
  static inline std::vector<std::string>* s_vecLines = nullptr;
  static inline double s_dblOffset = 0;
};
