// Tests of the container export on real files: the result texts in the order of the checks, the
// stream chosen and the extension added, the unique name written back into "SaveAs", text
// values saved as lines and referenced files copied; the PICT header, "FORK" streams, names that
// must stay inside the folder, and the data-copy failures that must not pass for success (a
// chunk the host does not deliver, a last flush that fails).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "filefuncs/ContainerImport.h"
#include "filefuncs/FileFuncs.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"
#include "platform/carbon/FilesTesting.h"
#include "platform/fmx/FMXTesting.h"
#include "plugin/ContainerData.h"
#include "tests/filefuncs/FileFuncsTesting.h"
#include "tests/support/FmxTestHost.h"

namespace {

using namespace FileFuncsTesting;

typedef std::vector<std::pair<std::string, std::string>> Pairs;

// Container data: a file-reference stream naming `name` first when it is given, then the streams.
fmx::Data Container(Pairs const& streams, std::string const& name = std::string()) {
  fmx::BinaryDataAutoPtr data;
  if (!name.empty()) SetContainerFileInfo_BinaryData(data, U("filemac"), U("/Macintosh HD/Users/bob/"), U(name));
  fmx::Data value = FmxTestHost::ContainerData(streams);
  for (fmx::int32 i = 0; i < value.GetBinaryData().GetCount(); ++i) {
    fmx::QuadChar type;
    value.GetBinaryData().GetType(i, type);
    std::string bytes(value.GetBinaryData().GetSize(i), '\0');
    value.GetBinaryData().GetData(i, 0, fmx::uint32(bytes.size()), &bytes[0]);
    data->Add(type, fmx::uint32(bytes.size()), bytes.data());
  }
  value.SetBinaryData(*data, true);
  return value;
}

// String parameters, but "CreatePath" and "MakeUnique" as integers.
clsMultiVar ExportParams(Pairs const& values) {
  clsMultiVar params;
  for (auto const& value : values) {
    if (value.first == "CreatePath" || value.first == "MakeUnique") {
      params.AddIntegerVar(U(value.first), std::stoi(value.second), true);
    } else {
      params.AddStringVar(U(value.first), U(value.second), true);
    }
  }
  return params;
}

class ContainerExportTest : public clsFileFuncsRootTest {
 protected:
  void TearDown() override {
    fmx::FMXTestClearFaults();
    clsFileFuncsRootTest::TearDown();
  }
  std::string ReadFork(std::string const& path, char const* fork) {
    XFileStream stream(0);
    XFileSpec spec = XFileSpecTesting::Spec(path);
    if (!stream.AttachToFile(spec, kXFileStreamRead, U(fork))) return "(not opened)";
    std::string bytes(size_t(stream.GetSize()), '\0');
    stream.ReadBytes(reinterpret_cast<unsigned char*>(&bytes[0]), stream.GetSize());
    return bytes;
  }
};

std::string const kPNG = "png-bytes";
std::string const kJPG = "jpeg-bytes";

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

TEST_F(ContainerExportTest, MoreCasesChoicesAndNames) {
  std::string const big(10000, 'b');  // crosses several copy chunks
  struct stcRow {
    char const* label;
    fmx::Data container;
    Pairs params;
    Pairs before;  // files (virtual path, bytes) made first
    std::string expected;
    std::string file;  // a file that must then hold `content`
    std::string content;
    std::string saveAs;  // "SaveAs" afterwards, when not empty
    Pairs links = {};    // symbolic links (virtual path, target) made first
  } const rows[] = {
      {"folder made", Container({{"FILE", big}}), {{"Path", "~/new/sub"}, {"CreatePath", "1"}}, {},
       "Exported file to: /Users/bob/new/sub/Untitled", "/Users/bob/new/sub/Untitled", big, ""},
      {"folder not made", Container({{"FILE", "x"}}), {{"Path", "~/file.txt/sub"}, {"CreatePath", "1"}}, {},
       "ERROR: File_Export: Could not create Folder '/Users/bob/file.txt/sub': A File with that name already exists: file.txt", "", "", ""},
      {"JPEG .JPE kept", Container({{"JPEG", kJPG}}), {{"Path", "~/empty"}, {"SaveAs", "photo.JPE"}}, {},
       "Exported file to: /Users/bob/empty/photo.JPE", "/Users/bob/empty/photo.JPE", kJPG, ""},
      {"five characters", Container({{"JPEG", kJPG}}), {{"Path", "~/empty"}, {"SaveAs", "photo.png"}, {"ReqType", "JPEGX"}},
       {}, "Exported file to: /Users/bob/empty/photo.png", "/Users/bob/empty/photo.png", kJPG, ""},
      {"lower case", Container({{"JPEG", kJPG}}), {{"Path", "~/empty"}, {"ReqType", "jpeg"}}, {},
       "ERROR: File_Export: The Requested Container Type was not found in the container.", "", "", ""},
      {"snd padded", Container({{"snd ", "beep"}}), {{"Path", "~/empty"}, {"SaveAs", "beep"}, {"ReqType", "snd"}}, {},
       "Exported file to: /Users/bob/empty/beep.snd", "/Users/bob/empty/beep.snd", "beep", ""},
      {"PNGf chosen", Container({{"PNGf", kPNG}}), {{"Path", "~/empty"}, {"SaveAs", "shot"}}, {},
       "Exported file to: /Users/bob/empty/shot.png", "/Users/bob/empty/shot.png", kPNG, ""},
      {"PNGf requested", Container({{"PNGf", kPNG}}), {{"Path", "~/empty"}, {"SaveAs", "shot"}, {"ReqType", "PNGf"}}, {},
       "Exported file to: /Users/bob/empty/shot", "/Users/bob/empty/shot", kPNG, ""},
      {"broken file name stream", Container({{"FNAM", "xx"}, {"FILE", "x"}}), {{"Path", "~/empty"}}, {},
       "ERROR: File_Export: There was an error getting the file info from the container: The FileName Stream ended before its File Reference did.", "", "", ""},
      // Text that names no file.
      {"text replaces", FmxTestHost::TextData("new"), {{"Path", "~/dir"}, {"SaveAs", "f.txt"}}, {},
       "Exported Text to /Users/bob/dir/f.txt", "/Users/bob/dir/f.txt", "new", ""},
      {"text keeps extension", FmxTestHost::TextData("a,b"), {{"Path", "~/empty"}, {"SaveAs", "notes.csv"}}, {},
       "Exported Text to /Users/bob/empty/notes.csv", "/Users/bob/empty/notes.csv", "a,b", ""},
      {"text made unique", FmxTestHost::TextData("t"), {{"Path", "~/empty"}, {"MakeUnique", "1"}},
       {{"/Users/bob/empty/Untitled.txt", "old"}}, "Exported Text to /Users/bob/empty/Untitled1.txt",
       "/Users/bob/empty/Untitled1.txt", "t", "Untitled1.txt"},
      {"text onto a link", FmxTestHost::TextData("new"), {{"Path", "~/dir"}, {"SaveAs", "l.txt"}}, {},
       "ERROR: File_Export: A Link with the specified File Name exists in the Folder: /Users/bob/dir/l.txt",
       "/Users/bob/dir/f.txt", "hello", "", {{"/Users/bob/dir/l.txt", "f.txt"}}},
      // A reference to a file elsewhere.
      {"reference made unique", FmxTestHost::TextData("filemac:/Macintosh HD/Users/bob/dir/f.txt"),
       {{"Path", "~/dir"}, {"MakeUnique", "1"}}, {}, "Copied By Reference File to /Users/bob/dir/f1.txt",
       "/Users/bob/dir/f1.txt", "hello", "f1.txt"},
      {"reference missing", FmxTestHost::TextData("filemac:/Macintosh HD/Users/bob/gone.pdf"), {{"Path", "~/dir"}}, {},
       "ERROR: File_Export: The Referenced File in the Container does not exist.", "", "", ""},
      {"reference refused", FmxTestHost::TextData("filemac:/Macintosh HD/Users/bob/dir/f.txt"),
       {{"Path", "~/full"}, {"SaveAs", "x"}}, {},
       "ERROR: File_Export: Could not copy By Reference File to '/Users/bob/full/x': Destination File already exists: x", "/Users/bob/full/x", "x", ""},
      // Names stay inside the folder: '/' is part of the name, "." and ".." name no file.
      {"slash in the name", Container({{"FILE", "x"}}), {{"Path", "~/empty"}, {"SaveAs", "../x.txt"}, {"MakeUnique", "1"}},
       {}, "Exported file to: /Users/bob/empty/..:x.txt", "/Users/bob/empty/..:x.txt", "x", "..%2Fx.txt"},
      {"dot dot", FmxTestHost::TextData("filemac:/Macintosh HD/Users/bob/dir/f.txt"), {{"Path", "~/dir"}, {"SaveAs", ".."}},
       {}, "ERROR: File_Export: Could not create the Exported File in the Folder: /Users/bob/dir/..", "", "", ""},
      {"dot", FmxTestHost::TextData("text"), {{"Path", "~/dir"}, {"SaveAs", "."}}, {},
       "ERROR: File_Export: Could not create the Exported File in the Folder: /Users/bob/dir/.", "", "", ""},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.label);
    Populate();
    for (auto const& file : row.before) Write(file.first, file.second);
    for (auto const& link : row.links) ASSERT_EQ(0, symlink(link.second.c_str(), Real(link.first).c_str()));
    clsMultiVar params = ExportParams(row.params);
    EXPECT_EQ(row.expected, Text(DoFileExport(row.container, &params)));
    if (!row.file.empty()) {
      EXPECT_EQ(row.content, Read(row.file));
    }
    if (!row.saveAs.empty()) {
      clsMultiVar::iterator it;
      ASSERT_TRUE(params.GetVar(U("SaveAs"), it));
      EXPECT_EQ(row.saveAs, S(it->GetValue_AsString()));
    }
    // Nothing lands beside the folder.
    EXPECT_FALSE(Exists("/Users/bob/x.txt"));
    EXPECT_FALSE(Exists("/Users/bob/Untitled"));
    EXPECT_FALSE(Exists("/Users/bob/f.txt"));
  }
}

TEST_F(ContainerExportTest, ResourceForkAndCopyFailures) {
  // "FORK": type and creator as stored (machine byte order), then the resource fork's bytes.
  uint32_t type = 0;
  uint32_t creator = 0;
  std::memcpy(&type, "TEXT", 4);
  std::memcpy(&creator, "ttxt", 4);
  struct {
    std::string fork;
    std::string resource;
    uint32_t type;
    uint32_t creator;
  } const forks[] = {
      {"TEXTttxtres-bytes", "res-bytes", type, creator},
      {"TEXTttxt", "", type, creator},
      {"TEX", "", 0, 0},  // too short for type and creator: ignored, the export still succeeds
  };
  for (auto const& row : forks) {
    SCOPED_TRACE(row.fork);
    Populate();
    clsMultiVar params = ExportParams({{"Path", "~/empty"}, {"SaveAs", "doc"}});
    EXPECT_EQ("Exported file to: /Users/bob/empty/doc",
              Text(DoFileExport(Container({{"FILE", "data"}, {"FORK", row.fork}}), &params)));
    EXPECT_EQ("data", ReadFork("/Users/bob/empty/doc", "XFSDataFork"));
    EXPECT_EQ(row.resource, ReadFork("/Users/bob/empty/doc", "XFSResFork"));
    XFileSpec file = XFileSpecTesting::Spec("/Users/bob/empty/doc");
    EXPECT_EQ(row.type, file.XGetFileType());
    EXPECT_EQ(row.creator, file.XGetCreator());
  }

  // A copy cut short is a failure, never a success with a shorter file; the file made stays.
  std::string const data(40000, 'd');
  struct {
    char const* label;
    std::string bytes;
    bool hostFails;     // the host stops delivering the stream from byte 4,096
    char const* fault;  // a File Manager call that fails once on the new file
  } const failures[] = {
      {"chunk not delivered", data, true, nullptr},
      {"buffer not written", data, false, "FSWriteFork"},
      {"last flush fails", "short", false, "FSWriteFork"},
      {"fork not opened", "short", false, "FSOpenFork"},
  };
  for (auto const& row : failures) {
    SCOPED_TRACE(row.label);
    Populate();
    fmx::FMXTestClearFaults();
    if (row.hostFails) fmx::FMXTestFailGetDataFrom(fmx::QuadChar('F', 'I', 'L', 'E'), 4096);
    if (row.fault != nullptr) FSStandInTestFailNext(row.fault, "/Users/bob/empty/out", ioErr);
    clsMultiVar params = ExportParams({{"Path", "~/empty"}, {"SaveAs", "out"}});
    std::string const result = Text(DoFileExport(Container({{"FILE", row.bytes}}), &params));
    if (std::string(row.fault ? row.fault : "") == "FSOpenFork") {
      EXPECT_EQ(0u, result.find("ERROR: File_Export: Could not open file for writing: ")) << result;
    } else {
      EXPECT_EQ("ERROR: File_Export: Error writing Data to File.", result);
    }
    EXPECT_TRUE(Exists("/Users/bob/empty/out"));
  }
}

TEST_F(ContainerExportTest, ImportThenExportGivesTheBytesBack) {
  std::string bytes;
  for (int i = 0; i < 9000; ++i) bytes += char(i * 7);
  Write("/Users/bob/dir/photo.jpeg", bytes);
  struct {
    char const* type;  // Type on import, ReqType on export
    char const* written;
  } const rows[] = {
      {"", "/Users/bob/empty/photo.jpeg"},
      {"PDF", "/Users/bob/empty/photo.jpeg.pdf"},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.type);
    clsMultiVar importParams = Params({{"File", "~/dir/photo.jpeg"}, {"Type", row.type}});
    fmx::Data container;
    ASSERT_EQ("", S(DoFileImport(&importParams, container)));
    clsMultiVar exportParams = ExportParams({{"Path", "~/empty"}, {"ReqType", row.type}});
    EXPECT_EQ(std::string("Exported file to: ") + row.written, Text(DoFileExport(container, &exportParams)));
    EXPECT_EQ(bytes, Read(row.written));
  }
}

}  // namespace
