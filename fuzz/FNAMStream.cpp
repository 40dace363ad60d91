// Fuzz target: any bytes as an 'FNAM' stream through clsFNAMParser::Set, given exactly its size,
// then as the 'FNAM' stream of container data and as the text of a container value through
// GetContainerFileInfo. Must never crash or read past the input; what Set accepts and Get can
// write must read back as the same three texts.
// The File Manager stand-in's root is a temporary folder made at start-up (the text form is
// parsed as a path), and the clock is pinned so the volume caches are built once.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "core/UniString.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFDate.h"
#include "platform/fmx/FMWrapper.h"
#include "plugin/ContainerData.h"
#include "plugin/clsFNAMParser.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/fuzz-fnam-XXXXXX";
  char* root = mkdtemp(pattern);
  if (root == nullptr) std::abort();
  std::string const base = root;
  for (char const* dir : {"/Users", "/Users/bob", "/Volumes", "/Volumes/Data"}) mkdir((base + dir).c_str(), 0700);
  if (FSStandInSetRoot(base.c_str()) != noErr) std::abort();
  FSStandInSetFolder(kUserDomain, kCurrentUserFolderType, "/Users/bob");
  CFAbsoluteTimeSetCurrentForTesting(300000000.0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 4096) return 0;

  // A copy of exactly the input's size, so a read beyond it is caught.
  std::unique_ptr<unsigned char[]> exact(new unsigned char[size ? size : 1]);
  if (size) std::memcpy(exact.get(), data, size);
  clsFNAMParser parser;
  if (parser.Set(size ? exact.get() : nullptr, unsigned(size))) {
    unsigned int length = 0;
    std::unique_ptr<unsigned char[]> stream(parser.Get(&length));
    if (stream) {
      clsFNAMParser again;
      Check(again.Set(stream.get(), length));
      Check(*again.m_txtProtocol == *parser.m_txtProtocol);
      Check(*again.m_txtPath == *parser.m_txtPath);
      Check(*again.m_txtFileName == *parser.m_txtFileName);
    }
  }

  UniString protocol, path, fileName;
  bool fromText = false;
  fmx::BinaryData binary;
  binary.Add(fmx::QuadChar('F', 'N', 'A', 'M'), fmx::uint32(size), data);
  fmx::Data container;
  container.SetBinaryData(binary, true);
  GetContainerFileInfo(container, &protocol, &path, &fileName, &fromText, false);

  fmx::Text text;
  text.AssignWithLength(reinterpret_cast<char const*>(data), fmx::uint32(size), fmx::Text::kEncoding_UTF8);
  fmx::Data value;
  value.SetAsText(text, fmx::Locale(fmx::Locale::kType_Current));
  GetContainerFileInfo(value, &protocol, &path, &fileName, &fromText, true);
  return 0;
}
