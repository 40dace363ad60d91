// Tests of the container export on real files: the result texts in the order of the checks, the
// stream chosen and the extension added, the unique name written back into "SaveAs", text
// values saved as lines and referenced files copied.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "filefuncs/FileFuncs.h"
#include "support/FmxTestHost.h"
#include "tests/filefuncs/FileFuncsTesting.h"

namespace {

using namespace FileFuncsTesting;

class ContainerExportTest : public clsFileFuncsRootTest {};

TEST_F(ContainerExportTest, WritesTheChosenStreamUnderItsName) {
  fmx::Data const empty;
  fmx::Data const gifAndJpeg = FmxTestHost::ContainerData({{"JPEG", "jpeg"}, {"GIFf", "gif"}});
  fmx::Data const jpegOnly = FmxTestHost::ContainerData({{"JPEG", "jpeg"}, {"SIZE", "1234"}});
  fmx::Data const fileAndJpeg = FmxTestHost::ContainerData({{"JPEG", "jpeg"}, {"FILE", "file"}});
  fmx::Data const pict = FmxTestHost::ContainerData({{"PICT", "pict"}});
  fmx::Data const unknown = FmxTestHost::ContainerData({{"SIZE", "1234"}});
  fmx::Data const text = FmxTestHost::TextData("one\rtwo");
  fmx::Data const reference = FmxTestHost::TextData("file:/Users/bob/dir/f.txt");
  struct stcRow {
    char const* what;
    fmx::Data const* value;
    std::vector<std::pair<char const*, std::string>> params;
    std::string result;
    char const* written;  // real path of the file written, or null
    std::string content;
    char const* saveAs;  // "SaveAs" afterwards, or null when it is not checked
  };
  std::string const dir = "/Users/bob/dir/";
  std::vector<stcRow> const rows = {
      {"empty", &empty, {}, "ERROR: File_Export: Container is Empty.", nullptr, "", nullptr},
      {"no path", &jpegOnly, {}, "ERROR: File_Export: You must specify the Path to export the file to ('Path' parameter).",
       nullptr, "", nullptr},
      {"no folder", &jpegOnly, {{"Path", "~/nope"}}, "ERROR: File_Export: Folder does not exist: /Users/bob/nope",
       nullptr, "", nullptr},
      {"GIF before JPEG", &gifAndJpeg, {{"Path", "~/dir"}, {"SaveAs", "picture"}},
       "Exported file to: /Users/bob/dir/picture.gif", "/Users/bob/dir/picture.gif", "gif", nullptr},
      {"kept extension", &gifAndJpeg, {{"Path", "~/dir"}, {"SaveAs", "picture.GIF"}},
       "Exported file to: /Users/bob/dir/picture.GIF", "/Users/bob/dir/picture.GIF", "gif", nullptr},
      {"JPEG alone", &jpegOnly, {{"Path", "~/dir"}, {"SaveAs", "photo.png"}},
       "Exported file to: /Users/bob/dir/photo.png.jpg", "/Users/bob/dir/photo.png.jpg", "jpeg", nullptr},
      {"requested JPEG", &jpegOnly, {{"Path", "~/dir"}, {"SaveAs", "photo.jpe"}, {"ReqType", "JPEG"}},
       "Exported file to: /Users/bob/dir/photo.jpe.jpg", "/Users/bob/dir/photo.jpe.jpg", "jpeg", nullptr},
      {"requested type absent", &jpegOnly, {{"Path", "~/dir"}, {"ReqType", "PIC"}},
       "ERROR: File_Export: The Requested Container Type was not found in the container.", nullptr, "", nullptr},
      {"FILE", &fileAndJpeg, {{"Path", "~/dir"}, {"SaveAs", "notes"}}, "Exported file to: /Users/bob/dir/notes",
       "/Users/bob/dir/notes", "file", nullptr},
      {"PICT header", &pict, {{"Path", "~/dir"}, {"SaveAs", "p.pct"}}, "Exported file to: /Users/bob/dir/p.pct",
       "/Users/bob/dir/p.pct", std::string(512, '\0') + "pict", nullptr},
      {"no known type", &unknown, {{"Path", "~/dir"}},
       "ERROR: File_Export: No known Container Type existed in the container.", nullptr, "", nullptr},
      {"taken name", &fileAndJpeg, {{"Path", "~/dir"}, {"SaveAs", "f.txt"}},
       "ERROR: File_Export: A File with the specified File Name already exists in the Folder: /Users/bob/dir/f.txt",
       nullptr, "", nullptr},
      {"unique name", &fileAndJpeg, {{"Path", "~/dir"}, {"SaveAs", "f.txt"}, {"MakeUnique", "1"}},
       "Exported file to: /Users/bob/dir/f1.txt", "/Users/bob/dir/f1.txt", "file", "f1.txt"},
      {"text", &text, {{"Path", "~/dir"}}, "Exported Text to /Users/bob/dir/Untitled.txt",
       "/Users/bob/dir/Untitled.txt", "one\rtwo", nullptr},
      {"reference", &reference, {{"Path", "~/empty"}}, "Copied By Reference File to /Users/bob/empty/f.txt",
       "/Users/bob/empty/f.txt", "hello", nullptr},
      {"reference in place", &reference, {{"Path", "/Users/bob/dir"}},
       "The By Reference File already existed in the export location: /Users/bob/dir/f.txt", nullptr, "", nullptr},
  };
  for (auto const& row : rows) {
    Populate();
    clsMultiVar params;
    for (auto const& p : row.params) {
      if (std::string(p.first) == "MakeUnique") {
        params.AddIntegerVar(U(p.first), U(p.second), true);
      } else {
        params.AddStringVar(U(p.first), U(p.second), true);
      }
    }
    EXPECT_EQ(row.result, Text(DoFileExport(*row.value, &params))) << row.what;
    if (row.written) {
      EXPECT_EQ(row.content, Read(row.written)) << row.what;
    }
    if (row.saveAs) {
      clsMultiVar::iterator it;
      ASSERT_TRUE(params.GetVar(U("SaveAs"), it)) << row.what;
      EXPECT_EQ(row.saveAs, S(it->GetValue_AsString())) << row.what;
    }
  }
}

}  // namespace
