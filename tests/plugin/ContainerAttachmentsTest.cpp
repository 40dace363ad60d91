// Tests of attachment parameters turned into files on a temporary file-system root whose
// chewable items are /tmp: text values of paths, "name=path" and "CONTAINER:" lines, references
// in text form, and container data exported into "Velmora Temp" and listed for deletion; the
// folder is owner-only and a link or another user's folder in its place is refused.
#include "plugin/frame/ContainerAttachments.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/cf/CFDate.h"
#include "plugin/ContainerData.h"
#include "plugin/frame/clsPluginVars.h"
#include "support/FmxTestHost.h"
#include "tests/support/XFileSpecTestRoot.h"

namespace {

using XFileSpecTesting::S;
using XFileSpecTesting::U;

std::string const kTemp = "/tmp/Velmora Temp/";
char const* const kNoFolder = "Could not create Velmora Temp Folder for Container File.";

// Container data of the streams, with a file reference of that name when one is given.
fmx::Data Container(std::string const& name, std::vector<std::pair<std::string, std::string>> const& streams) {
  fmx::BinaryDataAutoPtr binary;
  *binary = FmxTestHost::ContainerData(streams).GetBinaryData();
  if (!name.empty()) {
    EXPECT_EQ("", S(SetContainerFileInfo_BinaryData(binary, U("filemac"), U("/Pics/"), U(name))));
  }
  fmx::Data data;
  data.SetBinaryData(*binary, true);
  return data;
}

std::vector<std::string> Lines(UniStringList const* list) {
  std::vector<std::string> lines;
  if (list) {
    for (UniString const& line : *list) lines.push_back(S(line));
  }
  return lines;
}

class ContainerAttachmentsTest : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("attachments", {"/Users/bob/elsewhere", "/Volumes/Data/pics", "/tmp"}));
    Write("/Volumes/Data/pics/a.pdf", "pdf");
    Write("/Volumes/Data/pics/b c.txt", "txt");
    ASSERT_EQ(noErr, InstallRoot());
    UseHome("/Users/bob");
    FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/tmp");
    CFAbsoluteTimeSetCurrentForTesting(300000000.0);
    m_udtPluginVars = new clsPluginVars;
  }
  void TearDown() override {
    delete m_udtPluginVars;
    m_udtPluginVars = nullptr;
    CleanUpXFileSpec();
    CFAbsoluteTimeClearCurrentForTesting();
    RemoveRoot();
  }
  // The lines and error of one call; "left over" shows that the list is emptied first.
  std::string Call(fmx::Data const& value, std::vector<std::string>* lines, bool jpeg = false) {
    UniStringList results;
    results.Add(U("left over"));
    std::string const error = S(DoGetContFile(value, &results, jpeg));
    *lines = Lines(&results);
    return error;
  }
};

}  // namespace

TEST_F(ContainerAttachmentsTest, EachKindOfValueGivesItsLines) {
  struct stcCase {
    char const* what;
    fmx::Data value;
    bool jpeg;
    std::string error;
    std::vector<std::string> lines;
  };
  std::vector<stcCase> const cases = {
      {"empty", fmx::Data(), false, "", {}},
      {"paths", FmxTestHost::TextData(" /Volumes/Data/pics/a.pdf \r/Volumes/Data/none.pdf\r\r"), false, "",
       {"/Volumes/Data/pics/a.pdf"}},
      {"nothing named exists", FmxTestHost::TextData("/Volumes/Data/none.pdf\rx=/y"), false, "No Path Found.", {}},
      {"display names and containers", FmxTestHost::TextData("Report=/Volumes/Data/pics/b c.txt\rcontainer:Logo"), false,
       "", {"Report=/Volumes/Data/pics/b c.txt", "container:Logo"}},
      {"a number", FmxTestHost::NumberData(5), false, "No Path Found.", {}},
      {"reference", FmxTestHost::TextData("notes\rfilemac:/Data/pics/b c.txt"), false, "",
       {"/Volumes/Data/pics/b c.txt"}},
      {"embedded", Container("50%.jpg", {{"JPEG", "jpeg"}}), false, "", {"50%.jpg=" + kTemp + "50%.jpg"}},
      {"'=' in the name", Container("a=b.pdf", {{"PDF ", "pdf"}}), false, "", {"a-b.pdf=" + kTemp + "a=b.pdf"}},
      {"no name", Container("", {{"FILE", "one"}}), false, "", {kTemp + "Untitled"}},
      {"no name again", Container("", {{"FILE", "two"}}), false, "", {kTemp + "Untitled1"}},
      {"JPEG asked, PNG present", Container("", {{"PNGf", "png"}, {"JPEG", "j"}}), true, "", {kTemp + "Untitled.png"}},
      {"JPEG asked, PICT only", Container("", {{"PICT", "pict"}}), true,
       "File_Export: The Requested Container Type was not found in the container.", {}},
  };
  for (auto const& c : cases) {
    std::vector<std::string> lines;
    EXPECT_EQ(c.error, Call(c.value, &lines, c.jpeg)) << c.what;
    EXPECT_EQ(c.lines, lines) << c.what;
  }
  EXPECT_EQ("jpeg", Read(kTemp + "50%.jpg"));
  EXPECT_EQ("two", Read(kTemp + "Untitled1"));
  EXPECT_EQ((std::vector<std::string>{kTemp + "50%.jpg", kTemp + "a=b.pdf", kTemp + "Untitled", kTemp + "Untitled1",
                                      kTemp + "Untitled.png"}),
            Lines(m_udtPluginVars->m_ulstTempFiles));
  struct stat st;
  ASSERT_EQ(0, stat(Real(kTemp).c_str(), &st));
  EXPECT_EQ(0700u, st.st_mode & 0777u) << "the folder is the user's alone";

  std::vector<std::string> lines;
  std::string const error = Call(FmxTestHost::TextData("filemac:/Data/pics/gone.pdf"), &lines);
  EXPECT_EQ(0u, error.find("Could not find By Reference Container File 'gone.pdf': ")) << error;
  EXPECT_EQ("Results List is NULL!", S(DoGetContFile(fmx::Data(), nullptr, false)));
}

TEST_F(ContainerAttachmentsTest, RefusesAFolderThatIsNotTheUsersOwn) {
  fmx::Data const value = Container("x.pdf", {{"PDF ", "pdf"}});
  std::vector<std::string> lines;

  std::filesystem::create_symlink(Real("/Users/bob/elsewhere"), Real("/tmp/Velmora Temp"));
  EXPECT_EQ(kNoFolder, Call(value, &lines));
  EXPECT_TRUE(std::filesystem::is_empty(Real("/Users/bob/elsewhere")));
  std::filesystem::remove(Real("/tmp/Velmora Temp"));

  // A folder of ours that others could read is closed to them and used.
  std::filesystem::create_directory(Real("/tmp/Velmora Temp"));
  chmod(Real("/tmp/Velmora Temp").c_str(), 0777);
  EXPECT_EQ("", Call(value, &lines));
  struct stat st;
  ASSERT_EQ(0, stat(Real("/tmp/Velmora Temp").c_str(), &st));
  EXPECT_EQ(0700u, st.st_mode & 0777u);

  if (geteuid() != 0) return;  // only a privileged test can give the folder to another user
  ASSERT_EQ(0, chown(Real("/tmp/Velmora Temp").c_str(), 4242, 4242));
  EXPECT_EQ(kNoFolder, Call(value, &lines));
}
