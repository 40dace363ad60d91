// Tests of the old-style External call and its handle text: lines read from a handle, texts and
// lines written into one (cut at 63,997 bytes, a failed resize reported), the one-to-one byte
// table, and the answers of the call itself through the entry point, a crash included.
#include "plugin/frame/PluginExternal.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "plugin/PluginGlobals.h"
#include "tests/plugin/PluginFrameFixture.h"

namespace {

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }

class PluginExternalTest : public PluginFrameFixture {
 protected:
  // Handle text outside an entry-point call: the plug-in's resource file (its code page) and the
  // host's call block, as during one.
  void AsDuringACall() {
    UseResFile(m_shtPluginFile);
    gFMX_ExternCallPtr = &m_udtHost.CallBlock();
  }
  std::string External(fmx::int32 number, std::string const& parameter) {
    char** in = m_udtHost.NewHandle(parameter);
    char** out = m_udtHost.NewHandle("old result");
    m_udtHost.External(number, in, out);
    return m_udtHost.HandleBytes(out);
  }
};

TEST_F(PluginExternalTest, HandleBytesBecomeLines) {
  AsDuringACall();
  struct stcCase {
    std::string bytes;
    std::vector<std::string> lines;
    bool high;
  } const cases[] = {
      {"a\r\rb\n", {"a", "", "b"}, false},
      {"a\r", {"a"}, false},
      {"", {}, false},
      {"\r", {""}, false},
      {std::string("x\0y\n\nz", 6), {"xyz"}, false},
      {"\x8A\x80 \xDB", {"\xC3\xA4\xC3\x84 \xE2\x82\xAC"}, true},  // ä Ä € in Mac OS Roman
  };
  for (stcCase const& c : cases) {
    UniStringList lines;
    lines.Add(UniString("stale"));
    EXPECT_EQ(c.high, ExtractFromFMX_Hdl(m_udtHost.NewHandle(c.bytes), &lines, false));
    std::vector<std::string> got;
    for (UniString const& line : lines) got.push_back(S(line));
    EXPECT_EQ(c.lines, got);
  }
}

TEST_F(PluginExternalTest, TextsAreWrittenCutAndTheirResizeChecked) {
  AsDuringACall();
  char** handle = m_udtHost.NewHandle("old");
  EXPECT_TRUE(InsertIntoFMX_Hdl(handle, UniString(std::string(70000, 'x').c_str()), false));
  EXPECT_EQ(std::string(63997, 'x'), m_udtHost.HandleBytes(handle));
  EXPECT_TRUE(InsertIntoFMX_Hdl(handle, UniString(), false));
  EXPECT_EQ("", m_udtHost.HandleBytes(handle));

  UniStringList lines;
  for (char const* line : {"one", "", "\xC3\xA4"}) lines.Add(UniString(line));
  EXPECT_TRUE(InsertIntoFMX_Hdl(handle, &lines, false));
  EXPECT_EQ("one\r\r\x8A", m_udtHost.HandleBytes(handle));

  EXPECT_TRUE(InsertIntoFMX_Hdl(handle, AnsiString("\x80\xE9z"), false));
  EXPECT_EQ("\xDB\x8Ez", m_udtHost.HandleBytes(handle));
  EXPECT_TRUE(InsertIntoFMX_Hdl(handle, AnsiString("\x80\xE9z"), true));
  EXPECT_EQ("\x80\xE9z", m_udtHost.HandleBytes(handle));

  m_udtHost.FailNextResize(-108);
  EXPECT_FALSE(InsertIntoFMX_Hdl(handle, UniString("new"), false));
  EXPECT_EQ("\x80\xE9z", m_udtHost.HandleBytes(handle)) << "nothing copied after a failed resize";
}

TEST_F(PluginExternalTest, TheByteTableIsOneToOne) {
  std::set<unsigned char> images;
  for (int c = 0; c < 256; ++c) {
    unsigned char const image = ConvertCharToFMPSet((unsigned char)c, 0);
    images.insert(image);
    if (c < 128) {
      EXPECT_EQ(c, image);
    }
    EXPECT_EQ(c, ConvertCharToFMPSet((unsigned char)c, 1));
  }
  EXPECT_EQ(256u, images.size());
  struct stcPair {
    unsigned char windows, mac;
  } const pairs[] = {{0x80, 0xDB}, {0x81, 0xB0}, {0xFE, 0xFF}, {0xE9, 0x8E}, {0xA9, 0xA9}, {0x99, 0xAA}};
  for (stcPair const& p : pairs) EXPECT_EQ(p.mac, ConvertCharToFMPSet(p.windows, 0)) << int(p.windows);
}

TEST_F(PluginExternalTest, TheCallAnswersTheVersionQueryOnly) {
  ASSERT_TRUE(Start());
  struct stcCase {
    fmx::int32 number;
    char const* parameter;
    char const* answer;
  } const cases[] = {
      {-1, "", "Velmora v.1.1.3"},
      {-1, "AutoUpdate\rignored", "1.0103"},
      {-1, "GET\r", "ERROR: Configure: Could not Get Preference: Unknown Preference Name: "},
      {5, "", "ERROR: DoExternal: Invalid Plug-in Function"},
      {0, "x", "ERROR: DoExternal: Invalid Plug-in Function"},
  };
  for (stcCase const& c : cases) EXPECT_EQ(c.answer, External(c.number, c.parameter)) << c.number << c.parameter;

  m_udtHost.SetCurrentEnvError(1);
  EXPECT_EQ("ERROR: Version: Could not get Current Environment.", External(-1, ""));
  m_udtHost.SetCurrentEnvError(0);

  m_udtHost.FailNextResize(-108);
  EXPECT_EQ("ERROR: DoExternal: Memory Error.", External(-1, ""));

  m_udtHost.ThrowOnNextCall(FmxTestHost::kCallCurrentEnv);
  std::string const crash = External(-1, "");
  EXPECT_EQ("ERROR: DoExternal: Crash Log Generated: " + S(g_ustrCrashLogFileName), crash);
  EXPECT_NE(std::string::npos, Read("/Desktop/Velmora Crash Log.txt").find("CrashingFunction: SMTP-Version"));
  EXPECT_EQ(m_shtHostFile, CurResFile());
}

}  // namespace
