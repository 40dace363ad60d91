// TempFileSystemRoot: a GoogleTest fixture base for tests that run the File Manager stand-in on
// a fresh temporary folder. MakeRoot() makes /tmp/<prefix>-XXXXXX (in m_strRoot) and the
// folders named below it, InstallRoot() resets the stand-in and makes that folder its root,
// RemoveRoot() resets the stand-in and deletes the folder with all it holds; Real(), Write(),
// Read() and Exists() reach the real files behind a stand-in path. Derived fixtures call these from their
// own SetUp and TearDown, in the order their set-up needs.
// Header-only; relies on the stand-in's test interface (platform/carbon/FilesTesting.h), gtest
// and std::filesystem only, so platform_tests can use it too. Failures: MakeRoot answers an
// assertion failure when the folder cannot be made; InstallRoot answers the stand-in's code.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <system_error>

#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"

class clsTempFileSystemRootTest : public ::testing::Test {
 protected:
  ::testing::AssertionResult MakeRoot(char const* prefix,
                                      std::initializer_list<char const*> folders = {}) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
      return ::testing::AssertionFailure() << "cannot make a folder from " << pattern;
    }
    m_strRoot = pattern;
    for (char const* folder : folders) std::filesystem::create_directories(Real(folder));
    return ::testing::AssertionSuccess();
  }
  OSErr InstallRoot() {
    FSStandInReset();
    return FSStandInSetRoot(m_strRoot.c_str());
  }
  // A test may have locked the root itself; its permissions are restored before the removal.
  void RemoveRoot() {
    FSStandInReset();
    if (m_strRoot.empty()) return;
    std::error_code ignored;
    std::filesystem::permissions(m_strRoot, std::filesystem::perms::all, ignored);
    std::filesystem::remove_all(m_strRoot, ignored);
  }
  std::string Real(std::string const& path) const { return m_strRoot + path; }
  void Write(std::string const& path, std::string const& bytes) const {
    std::ofstream(Real(path), std::ios::binary) << bytes;
  }
  bool Exists(std::string const& path) const { return std::filesystem::exists(Real(path)); }
  std::string Read(std::string const& path) const {
    std::ifstream in(Real(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string m_strRoot;
};
