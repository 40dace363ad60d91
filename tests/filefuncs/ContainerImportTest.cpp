// Tests of File_Import's worker on real files: the streams an import builds in order, the
// 'SIZE' bytes of JPEG and GIF pictures, a Type in place of the automatic choice, the reference
// text, and the refusals that leave the result untouched (a read failure, a file of 4 GiB + 10).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "filefuncs/ContainerImport.h"
#include "platform/carbon/FilesTesting.h"
#include "plugin/ContainerData.h"
#include "tests/filefuncs/FileFuncsTesting.h"
#include "tests/support/FmxTestHost.h"

namespace {

using namespace FileFuncsTesting;

// A baseline JPEG of 640 x 480: SOI, an APP0 segment, then the frame marker.
std::string const kJPEG640x480 = std::string("\xFF\xD8\xFF\xE0\x00\x06JFIF\xFF\xC0\x00\x11\x08\x01\xE0\x02\x80\x03", 20);
std::string const kProgressiveJPEG = std::string("\xFF\xD8\xFF\xC2\x00\x11\x08\x01\xE0\x02\x80\x03", 12);
std::string const kGIF32x16 = std::string("GIF89a\x20\x00\x10\x00\x80", 11);

// "TYPE=bytes" per stream, in container order.
std::vector<std::string> Streams(fmx::Data const& value) {
  std::vector<std::string> streams;
  fmx::BinaryData const& data = value.GetBinaryData();
  for (fmx::int32 i = 0; i < data.GetCount(); ++i) {
    fmx::QuadChar type;
    data.GetType(i, type);
    std::string bytes(data.GetSize(i), '\0');
    data.GetData(i, 0, data.GetSize(i), &bytes[0]);
    std::string const name{char(type[0]), char(type[1]), char(type[2]), char(type[3])};
    streams.push_back(name == "FNAM" ? name : name + "=" + bytes);
  }
  return streams;
}

class ContainerImportTest : public clsFileFuncsRootTest {
 protected:
  std::string Import(clsMultiVar params, fmx::Data* result) { return S(DoFileImport(&params, *result)); }
};

TEST_F(ContainerImportTest, StreamsByExtensionOrTypeWithPictureSizes) {
  Write("/Users/bob/photo.jpeg", kJPEG640x480);
  Write("/Users/bob/prog.JPG", kProgressiveJPEG);
  Write("/Users/bob/anim.GIF", kGIF32x16);
  Write("/Users/bob/short.gif", "GIF8");
  Write("/Users/bob/picture.png", "png!");
  // Files of some MiB are read through a buffer of their own, a whole number of 2 MiB pages.
  std::string large = kJPEG640x480;
  for (size_t i = 0; large.size() < (size_t{4} << 20) + 7; ++i) large += char((i * 7 + i / 251) & 0xFF);
  Write("/Users/bob/large.jpg", large);
  Write("/Users/bob/large.bin", large);
  struct {
    char const* file;
    char const* type;
    std::vector<std::string> streams;
  } const rows[] = {
      {"photo.jpeg", "", {"JPEG=" + kJPEG640x480, std::string("SIZE=\x02\x80\x01\xE0", 9), "FNAM"}},
      {"prog.JPG", "", {"JPEG=" + kProgressiveJPEG, std::string("SIZE=\x00\x32\x00\x32", 9), "FNAM"}},
      {"anim.GIF", "", {"GIFf=" + kGIF32x16, std::string("SIZE=\x00\x20\x00\x10", 9), "FNAM"}},
      {"short.gif", "", {"GIFf=GIF8", std::string("SIZE=\x00\x32\x00\x32", 9), "FNAM"}},
      {"picture.png", "", {"FILE=png!", "FNAM"}},
      {"large.jpg", "", {"JPEG=" + large, std::string("SIZE=\x02\x80\x01\xE0", 9), "FNAM"}},
      {"large.bin", "", {"FILE=" + large, "FNAM"}},
      // A Type is the stream's four characters in order, padded with blanks; no 'SIZE'.
      {"photo.jpeg", "PDF", {"PDF =" + kJPEG640x480, "FNAM"}},
      {"picture.png", "PNGfx", {"PNGf=png!", "FNAM"}},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(std::string(row.file) + " " + row.type);
    clsMultiVar params = Params({{"File", std::string("~/") + row.file}});
    if (row.type[0] != '\0') params.AddStringVar(U("Type"), U(row.type), true);
    fmx::Data result;
    EXPECT_EQ("", Import(params, &result));
    EXPECT_EQ(fmx::Data::kDTBinary, result.GetNativeType());
    EXPECT_EQ(row.streams, Streams(result));
    // The file-reference stream names the file where it lies.
    UniString protocol, path, name;
    EXPECT_EQ("", S(GetContainerFileInfo(result, &protocol, &path, &name, nullptr, false)));
    EXPECT_EQ("filemac", S(protocol));
    EXPECT_EQ("/Macintosh HD/Users/bob/", S(path));
    EXPECT_EQ(row.file, S(name));
  }
}

TEST_F(ContainerImportTest, ReferenceTextOrRefusalsThatLeaveTheResultAlone) {
  Write("/Users/bob/photo.Jpg", kJPEG640x480);
  clsMultiVar byReference = Params({{"File", "~/photo.Jpg"}});
  byReference.AddIntegerVar(U("ByReference"), 1, true);
  fmx::Data result;
  EXPECT_EQ("", Import(byReference, &result));
  EXPECT_EQ(fmx::Data::kDTText, result.GetNativeType());
  EXPECT_EQ("imagemac:/Macintosh HD/Users/bob/photo.Jpg", FmxTestHost::TextOf(result));
  byReference = Params({{"File", "~/file.txt"}});
  byReference.AddIntegerVar(U("ByReference"), 1, true);
  EXPECT_EQ("", Import(byReference, &result));
  EXPECT_EQ("filemac:/Macintosh HD/Users/bob/file.txt", FmxTestHost::TextOf(result));

  // A file of 4 GiB + 10 bytes must not come in as its low 32 bits (10 bytes).
  Write("/Users/bob/big.bin", "");
  ASSERT_EQ(0, truncate(Real("/Users/bob/big.bin").c_str(), (off_t(1) << 32) + 10));
  struct {
    char const* file;
    char const* fault;  // an FSReadFork failure on this path first
    char const* expected;
  } const rows[] = {
      {"", nullptr, "ERROR: File_Import: You must specify the File to Import ('File' parameter)."},
      {"~/nope/x", nullptr, "ERROR: File_Import: File Name is invalid: One of the Parent Folders does not exist: nope"},
      {"~/dir", nullptr, "ERROR: File_Import: You cannot specify a Folder to import; you must specify a File."},
      {"~/nope.txt", nullptr, "ERROR: File_Import: File does not exist."},
      {"~/big.bin", nullptr, "ERROR: File_Import: The File is too large to import (2 GB or larger)."},
      {"~/file.txt", "/Users/bob/file.txt", "ERROR: File_Import: Could not read the File: Could not read from file; MacError: -36"},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.file);
    if (row.fault != nullptr) FSStandInTestFailNext("FSReadFork", row.fault, ioErr);
    fmx::Data untouched = FmxTestHost::TextData("before");
    EXPECT_EQ(row.expected, Import(Params({{"File", row.file}}), &untouched));
    EXPECT_EQ("before", FmxTestHost::TextOf(untouched));
  }
}

}  // namespace
