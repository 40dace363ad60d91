// FileFuncsTesting: what the File_* worker tests share. clsFileFuncsRootTest runs each test on a
// fresh temporary root whose home folder is /Users/bob (Documents, Desktop, dir/f.txt "hello",
// file.txt "keep", an empty folder "empty" and a folder "full" holding one file).
// Params() builds a string-parameter collection, Text() reads a result value as UTF-8.
// Header-only; relies on tests/support/XFileSpecTestRoot.h and core/clsMultiVar.h.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "tests/support/XFileSpecTestRoot.h"

namespace FileFuncsTesting {

using XFileSpecTesting::S;
using XFileSpecTesting::U;

inline clsMultiVar Params(std::initializer_list<std::pair<char const*, std::string>> values) {
  clsMultiVar params;
  for (auto const& value : values) params.AddStringVar(U(value.first), U(value.second), true);
  return params;
}

inline std::string Text(clsSingleVar const& value) { return S(value.GetValue_AsString()); }

}  // namespace FileFuncsTesting

class clsFileFuncsRootTest : public clsXFileSpecRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("filefuncs", {"/etc"}));
    Populate();
    ASSERT_EQ(noErr, InstallRoot());
    UseHome("/Users/bob");
  }
  // The home folder's items as at the start (a table-driven test calls it before each row).
  void Populate() {
    std::filesystem::remove_all(Real("/Users/bob"));
    for (char const* folder : {"/Users/bob/dir", "/Users/bob/empty", "/Users/bob/full", "/Users/bob/Documents",
                               "/Users/bob/Desktop"}) {
      std::filesystem::create_directories(Real(folder));
    }
    Write("/Users/bob/dir/f.txt", "hello");
    Write("/Users/bob/file.txt", "keep");
    Write("/Users/bob/full/x", "x");
  }
  void TearDown() override {
    CleanUpXFileSpec();
    RemoveRoot();
  }
};
