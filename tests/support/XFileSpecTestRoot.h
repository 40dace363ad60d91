// XFileSpecTestRoot: what the XFileSpec tests share on top of a temporary file-system root.
// XFileSpecTesting holds the text helpers S() (a UniString as UTF-8), U() (UTF-8 as a
// UniString), Err() (a spec's error text), Spec() (a parsed spec; a failed parse fails the
// test) and Ref() (the stand-in's reference for a path; a failure fails the test).
// clsXFileSpecRootTest adds UseHome() (the stand-in's home folder, then fresh caches) and
// ResetXFileSpecCaches() (no volume list or startup-volume name outlives a test).
// Header-only; relies on tests/support/TempFileSystemRoot.h and files/XFileSpec.h, so only test
// executables linked with velmora_files may include it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/carbon/FilesTesting.h"
#include "tests/support/TempFileSystemRoot.h"

namespace XFileSpecTesting {

inline std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
inline UniString U(std::string const& text) {
  return UniString(text.c_str(), 1, int(text.size()));
}
inline std::string Err(XFileSpec const& spec) { return S(spec.ErrorString()); }

inline XFileSpec Spec(std::string const& text) {
  XFileSpec spec;
  EXPECT_TRUE(spec.ParsePath(U(text))) << text;
  return spec;
}

inline FSRef Ref(std::string const& path) {
  FSRef ref = {};
  EXPECT_EQ(noErr, FSPathMakeRef(reinterpret_cast<UInt8 const*>(path.c_str()), &ref, nullptr));
  return ref;
}

}  // namespace XFileSpecTesting

class clsXFileSpecRootTest : public clsTempFileSystemRootTest {
 protected:
  static void UseHome(char const* home) {
    FSStandInSetFolder(kUserDomain, kCurrentUserFolderType, home);
    ResetXFileSpecCaches();
  }
  static void ResetXFileSpecCaches() {
    CleanUpXFileSpec();
    XFileSpec::m_ulngGetVolNamesTimeout = 0;
    XFileSpec::m_ustrRootVolName = UniString();
    XFileSpec::m_ulngGetRootVolNameTimeout = 0;
  }
};
