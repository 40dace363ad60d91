// Tests of the host model's own behaviour beyond recording: calculations answered from its
// fields, variables and layout, functions found by name, containers made from files (read back
// through the plug-in's own reference reader), and the host faults it can be told to raise.
#include "host/clsFmxHost.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "plugin/ContainerData.h"
#include "plugin/GetFieldExpression.h"

namespace {

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }

fmx::errcode Evaluate(std::string const& expression, std::string* text) {
  fmx::Text calculation;
  clsFmxHost::SetText(calculation, expression);
  fmx::Data result;
  fmx::errcode const code = fmx::ExprEnv().Evaluate(calculation, result);
  *text = clsFmxHost::TextOf(result);
  return code;
}

TEST(clsFmxHostTest, CalculationsReadTheRecordTheVariablesAndTheLayout) {
  clsFmxHost host;
  host.SetLayoutTable("Contacts");
  host.SetField("Name", clsFmxHost::TextData("Jane"));
  host.SetField("Orders::Total", clsFmxHost::TextData("12.50"));
  host.SetField("Contacts::say \"hi\"\\", clsFmxHost::TextData("quoted"));
  host.SetVariable("$greeting", clsFmxHost::TextData("Hello\rthere"));
  host.SetVariable("count", clsFmxHost::TextData("3"));
  host.SetUserName("jane");
  host.SetEvaluateResult("Get(CurrentDate)", "from the table");

  struct stcCase {
    std::string expression;
    fmx::errcode code;
    char const* text;
  } const cases[] = {
      {"GetField(\"Contacts::Name\")", 0, "Jane"},
      {" getfield ( \"name\" ) ", 0, "Jane"},
      {"GetField(\"orders::TOTAL\")", 0, "12.50"},
      {S(BuildGetFieldExpression(UniString("Contacts::say \"hi\"\\"))), 0, "quoted"},
      {"GetField(\"Missing\")", clsFmxHost::kErrFieldMissing, ""},
      {"GetField(Name)", clsFmxHost::kErrUnknownExpression, ""},
      {"$GREETING", 0, "Hello\rthere"},
      {"$count", 0, "3"},
      {"$never", 0, ""},
      {"$a b", clsFmxHost::kErrUnknownExpression, ""},
      {"Get(LayoutTableName)", 0, "Contacts"},
      {"Get ( UserName )", 0, "jane"},
      {"Get(RecordNumber)", 0, "1"},
      {"Get(CurrentDate)", 0, "from the table"},
      {"Get(FilePath)", clsFmxHost::kErrUnknownExpression, ""},
      {"1 + 1", clsFmxHost::kErrUnknownExpression, ""},
  };
  for (stcCase const& c : cases) {
    std::string text;
    EXPECT_EQ(c.code, Evaluate(c.expression, &text)) << c.expression;
    if (c.code == 0) {
      EXPECT_EQ(c.text, text) << c.expression;
    }
  }
  std::string time;
  EXPECT_EQ(0, Evaluate("Get(CurrentTime)", &time));
  EXPECT_NE(std::string::npos, time.find(':')) << time;
}

TEST(clsFmxHostTest, FunctionsAreFoundByNameInAnyCase) {
  clsFmxHost host;
  fmx::Text name;
  clsFmxHost::SetText(name, "Velmora_Version");
  auto callback = [](short, fmx::ExprEnv const&, fmx::DataVect const&, fmx::Data&) -> fmx::errcode { return 0; };
  ASSERT_EQ(0, fmx::ExprEnv::RegisterExternalFunction(fmx::QuadChar('Q', 'R', 'V', 'e'), 1000, name, name, 0, -1,
                                                      0xFF01, callback));
  ASSERT_NE(nullptr, host.FindFunctionByName("VELMORA_version"));
  EXPECT_EQ(1000, host.FindFunctionByName("velmora_VERSION")->functionId);
  EXPECT_EQ(nullptr, host.FindFunctionByName("Velmora_Versio"));
}

TEST(clsFmxHostTest, ContainersFromFilesCarryTheirNameAndBytes) {
  char folder[] = "/tmp/velmora-hostfile-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  struct stcCase {
    char const* name;
    char const* type;
  } const cases[] = {{"logo.PNG", "PNGf"}, {"a.gif", "GIFf"}, {"photo.jpeg", "JPEG"}, {"b.JPG", "JPEG"},
                     {"report.pdf", "FILE"}, {"no extension", "FILE"}, {"Grüße 50% a\\b.txt", "FILE"}};
  for (stcCase const& c : cases) {
    std::string const path = std::string(folder) + "/" + c.name;
    std::string const bytes = std::string("data of ") + c.name + std::string("\0\xFF", 2);
    std::ofstream(path, std::ios::binary) << bytes;
    fmx::Data value;
    std::string error;
    ASSERT_TRUE(clsFmxHost::FileContainerData(path, &value, &error)) << error;
    EXPECT_EQ(fmx::Data::kDTBinary, value.GetNativeType());
    fmx::BinaryData const& data = value.GetBinaryData();
    fmx::int32 const index = data.GetIndex(fmx::QuadChar(c.type[0], c.type[1], c.type[2], c.type[3]));
    ASSERT_GE(index, 0) << c.name;
    std::string read(data.GetSize(index), '\0');
    ASSERT_EQ(0, data.GetData(index, 0, fmx::uint32(read.size()), &read[0]));
    EXPECT_EQ(bytes, read);

    UniString protocol, where, file;
    EXPECT_EQ("", S(GetContainerFileInfo_BinaryData(data, &protocol, &where, &file, false))) << c.name;
    EXPECT_EQ("filemac", S(protocol));
    EXPECT_EQ(std::string(folder) + "/", S(where));
    EXPECT_EQ(c.name, S(UnescapeContainerFileName(file)));
    unlink(path.c_str());
  }
  fmx::Data value;
  std::string error;
  EXPECT_FALSE(clsFmxHost::FileContainerData(std::string(folder) + "/missing", &value, &error));
  EXPECT_EQ("cannot read " + std::string(folder) + "/missing", error);
  EXPECT_FALSE(clsFmxHost::FileContainerData("", &value, &error));
  EXPECT_EQ("cannot read a container's file: no file is named", error);
  // A folder path longer than a reference holds (255 units).
  std::string const deep = std::string(folder) + "/" + std::string(200, 'd');
  std::string const deeper = deep + "/" + std::string(100, 'e');
  ASSERT_EQ(0, mkdir(deep.c_str(), 0700));
  ASSERT_EQ(0, mkdir(deeper.c_str(), 0700));
  std::ofstream(deeper + "/f.txt") << "f";
  EXPECT_FALSE(clsFmxHost::FileContainerData(deeper + "/f.txt", &value, &error));
  EXPECT_EQ("the file's name or folder is too long for a container reference: " + deeper + "/f.txt", error);
  unlink((deeper + "/f.txt").c_str());
  rmdir(deeper.c_str());
  rmdir(deep.c_str());
  rmdir(folder);
}

TEST(clsFmxHostTest, AServiceToldToThrowThrowsOnce) {
  clsFmxHost host;
  FMX_ExternCallStruct& block = host.CallBlock();
  fmx::ExprEnv env;
  host.ThrowOnNextCall(clsFmxHost::kCallCurrentEnv);
  EXPECT_THROW(block.cCurrentEnv(&env), std::runtime_error);
  EXPECT_EQ(0, block.cCurrentEnv(&env));
  char** handle = host.NewHandle("ab");
  host.ThrowOnNextCall(clsFmxHost::kCallHandle);
  EXPECT_THROW(block.cGetHandleSize(handle), std::runtime_error);
  EXPECT_EQ(2, block.cGetHandleSize(handle));
}

}  // namespace
