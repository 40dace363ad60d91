// Tests of a container's file reference: the stream type test, reading the reference from the
// 'FNAM' stream or the text form, and replacing the stream. Text forms are parsed on a fresh
// temporary file-system root holding the volume Data at /Volumes/Data and the home /Users/bob.
#include "plugin/ContainerData.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/cf/CFDate.h"
#include "plugin/clsFNAMParser.h"
#include "support/FmxTestHost.h"
#include "tests/support/XFileSpecTestRoot.h"

namespace {

using XFileSpecTesting::S;
using XFileSpecTesting::U;

fmx::QuadChar const kFNAM('F', 'N', 'A', 'M');

// An 'FNAM' stream of the three plain texts, as the writer builds it.
std::string FNAM(std::string const& protocol, std::string const& path, std::string const& name) {
  clsFNAMParser parser;
  FmxTestHost::SetText(*parser.m_txtProtocol, protocol);
  FmxTestHost::SetText(*parser.m_txtPath, path);
  FmxTestHost::SetText(*parser.m_txtFileName, name);
  unsigned int length = 0;
  std::unique_ptr<unsigned char[]> stream(parser.Get(&length));
  return std::string(reinterpret_cast<char*>(stream.get()), length);
}

// The plain texts the data's 'FNAM' stream holds, joined by " | ".
std::string Stored(fmx::BinaryData const& data) {
  fmx::int32 const index = data.GetIndex(kFNAM);
  if (index < 0) return "(none)";
  std::vector<unsigned char> bytes(data.GetSize(index));
  data.GetData(index, 0, fmx::uint32(bytes.size()), bytes.data());
  clsFNAMParser parser;
  if (!parser.Set(bytes.data(), unsigned(bytes.size()))) return std::string("(bad) ") + parser.ErrorString().c_str();
  return FmxTestHost::ToUTF8(*parser.m_txtProtocol) + " | " + FmxTestHost::ToUTF8(*parser.m_txtPath) + " | " +
         FmxTestHost::ToUTF8(*parser.m_txtFileName);
}

class ContainerDataTest : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("container-data", {"/Users/bob", "/Volumes/Data/pics"}));
    ASSERT_EQ(noErr, InstallRoot());
    UseHome("/Users/bob");
    CFAbsoluteTimeSetCurrentForTesting(300000000.0);
  }
  void TearDown() override {
    CleanUpXFileSpec();
    CFAbsoluteTimeClearCurrentForTesting();
    RemoveRoot();
  }
};

}  // namespace

TEST(ContHasTypeTest, PadsShortTypesAndLooksAtFourCharacters) {
  fmx::BinaryData const data =
      FmxTestHost::ContainerData({{"snd ", "s"}, {"PNGf", "p"}, {"JPEG", "j"}}).GetBinaryData();
  struct {
    char const* type;
    bool expected;
  } const cases[] = {{"snd", true},  {"snd ", true}, {"PNGf", true}, {"JPEGX", true}, {"JPEG", true},
                     {"jpeg", false}, {"PNG", false}, {"GIFf", false}, {"", false}};
  for (auto const& c : cases) EXPECT_EQ(c.expected, ContHasType(data, AnsiString(c.type))) << c.type;
  EXPECT_FALSE(ContHasType(fmx::BinaryData(), AnsiString("    ")));
}

TEST_F(ContainerDataTest, ReadsTheReferenceOfEachKindOfValue) {
  struct stcCase {
    char const* what;
    fmx::Data value;
    bool quiet;
    std::string error, protocol, path, name;
    bool fromText;
  };
  std::vector<stcCase> const cases = {
      {"stream", FmxTestHost::ContainerData({{"JPEG", "x"}, {"FNAM", FNAM("imagemac", "/Pics/", "a/b.pdf")}}), false,
       "", "imagemac", "/Pics/", "a%2Fb.pdf", false},
      {"escapes in order", FmxTestHost::ContainerData({{"FNAM", FNAM("filemac", "/", "x\\y%2F/")}}), false, "",
       "filemac", "/", "x%5Cy%252F%2F", false},
      {"no stream of references", FmxTestHost::ContainerData({{"FNAM", std::string("\0\0\0\0\x01\x7B", 6)}}), true,
       "The FileName Stream did not contain any File References.", "", "", "", false},
      {"no 'FNAM' stream", FmxTestHost::ContainerData({{"JPEG", "x"}}), false,
       "The Container did not have a File Name Stream.", "", "", "", false},
      {"no 'FNAM' stream, quiet", FmxTestHost::ContainerData({{"JPEG", "x"}}), true, "", "", "", "", false},
      {"empty", fmx::Data(), false, "Container is empty.", "", "", "", false},
      {"empty, quiet", fmx::Data(), true, "", "", "", "", false},
      {"kinds in their own order", FmxTestHost::TextData("file:/Data/pics/a.jpg\rImageMac:/Data/pics/b.jpg"), false,
       "", "ImageMac", "/Volumes/Data/pics", "b.jpg", true},
      {"a later kind", FmxTestHost::TextData("notes\r  movie:/Data/pics/c.mov  \rfile:/Data/x"), false, "", "movie",
       "/Volumes/Data/pics", "c.mov", true},
      {"backslash", FmxTestHost::TextData("filewin:/Data/pics/a\\b.jpg"), false, "", "filewin", "/Volumes/Data/pics",
       "a%5Cb.jpg", true},
      {"no reference line", FmxTestHost::TextData("/Data/pics/a.jpg\rpicture: x"), true, "No Path Found.", "", "",
       "", false},
  };
  for (auto const& c : cases) {
    UniString protocol("left"), path("left"), name("left");
    bool fromText = !c.fromText;
    UniString const error = GetContainerFileInfo(c.value, &protocol, &path, &name, &fromText, c.quiet);
    EXPECT_EQ(c.error, S(error)) << c.what;
    EXPECT_EQ(c.protocol, S(protocol)) << c.what;
    EXPECT_EQ(c.path, S(path)) << c.what;
    EXPECT_EQ(c.name, S(name)) << c.what;
    EXPECT_EQ(c.fromText, fromText) << c.what;
    // Nothing is wanted: the outputs may all be null.
    EXPECT_EQ(c.error, S(GetContainerFileInfo(c.value, nullptr, nullptr, nullptr, nullptr, c.quiet))) << c.what;
  }
}

TEST(SetContainerFileInfoTest, ReplacesTheStreamAndKeepsItOnFailure) {
  struct stcCase {
    char const* what;
    std::vector<std::pair<std::string, std::string>> streams;
    char const *protocol, *path, *name;
    std::string error, stored;
  };
  std::string const old = FNAM("imagemac", "/Pics/", "100%25 a%2Fb.jpg");
  std::string const unnamed = FNAM("imagemac", "/Pics/", "");
  std::string const longName(256, 'n');
  std::vector<stcCase> const cases = {
      {"defaults", {{"JPEG", "j"}}, "", "  ", "a%2Fb%5C%25.pdf", "", "filemac | / | a/b\\%.pdf"},
      {"trimmed", {}, " filewin ", " /x/ ", " n.txt ", "", "filewin | /x/ | n.txt"},
      {"filled from the old stream", {{"FNAM", old}}, "", "/New/", "", "", "imagemac | /New/ | 100%25 a%2Fb.jpg"},
      {"all new", {{"FNAM", old}}, "filemac", "/a/", "b", "", "filemac | /a/ | b"},
      {"an unreadable old stream fills nothing", {{"FNAM", std::string(4, '\0')}}, "", "", "c", "", "filemac | / | c"},
      {"no name anywhere", {{"FNAM", unnamed}}, "", "", "",
       "A File Name was not supplied for the container.", "imagemac | /Pics/ | "},
      {"no name, no stream", {{"JPEG", "j"}}, "filemac", "/", "", "A File Name was not supplied for the container.",
       "(none)"},
      {"a name too long", {{"FNAM", old}}, "", "", longName.c_str(),
       "A File Reference text is longer than 255 characters and does not fit the FileName Stream.",
       "imagemac | /Pics/ | 100%25 a%2Fb.jpg"},
  };
  for (auto const& c : cases) {
    fmx::BinaryDataAutoPtr data;
    *data = FmxTestHost::ContainerData(c.streams).GetBinaryData();
    fmx::BinaryData const before = *data;
    UniString const error = SetContainerFileInfo_BinaryData(data, U(c.protocol), U(c.path), U(c.name));
    EXPECT_EQ(c.error, S(error)) << c.what;
    EXPECT_EQ(c.stored, Stored(*data)) << c.what;
    if (!c.error.empty()) {
      EXPECT_TRUE(before == *data) << c.what << ": a failure leaves the data as it was";
    }
    // Other streams stay.
    if (before.GetIndex(fmx::QuadChar('J', 'P', 'E', 'G')) >= 0) {
      EXPECT_GE(data->GetIndex(fmx::QuadChar('J', 'P', 'E', 'G')), 0) << c.what;
    }
  }
}
