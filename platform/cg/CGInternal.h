// CGInternal: the objects of the CoreGraphics stand-in, shared by its units. Not for code above
// the stand-ins.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "platform/cg/CGDataProvider.h"
#include "platform/cg/CGImage.h"

struct CGDataProvider : public CFRuntimeObject {
  CGDataProvider() : CFRuntimeObject(kCFRuntimeTypeCGDataProvider) {}
  ~CGDataProvider() override {
    if (m_fnReleaseData != nullptr) m_fnReleaseData(m_ptrInfo, m_ptrData, m_intSize);
  }
  std::vector<unsigned char> m_vecOwned;  // a file's bytes
  unsigned char const* m_ptrData = nullptr;
  size_t m_intSize = 0;
  void* m_ptrInfo = nullptr;
  CGDataProviderReleaseDataCallback m_fnReleaseData = nullptr;
};

struct CGImage : public CFRuntimeObject {
  CGImage() : CFRuntimeObject(kCFRuntimeTypeCGImage) {}
  ~CGImage() override { std::free(m_ptrPixels); }
  size_t m_intWidth = 0;
  size_t m_intHeight = 0;
  unsigned char* m_ptrPixels = nullptr;  // 8-bit RGBA, row after row (malloc'd by the decoder)
};
