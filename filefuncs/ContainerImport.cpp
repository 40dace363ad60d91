// ContainerImport: checks the path, then either writes the reference text or reads the data
// fork whole and builds the container's streams in a host container-data object, which
// becomes the result only once every stream is in place.
#include "filefuncs/ContainerImport.h"

#include <sys/mman.h>

#include <cstdint>
#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "filefuncs/FileFuncsInternal.h"
#include "filefuncs/PictureSize.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"
#include "platform/carbon/Files.h"
#include "platform/fmx/FMXBinaryData.h"
#include "platform/fmx/FMXText.h"
#include "plugin/ContainerData.h"

using namespace FileFuncsInternal;

namespace {

// The data fork's size as the file system keeps it (64 bits); false when it cannot be read.
bool DataForkSize(XFileSpec& spec, uint64_t* size) {
  FSRef ref;
  if (!spec.GetFSRef(&ref, true)) return false;
  FSCatalogInfo info = {};
  if (FSGetCatalogInfo(&ref, kFSCatInfoDataSizes, &info, nullptr, nullptr, nullptr) != noErr) return false;
  *size = info.dataLogicalSize;
  return true;
}

// The buffer a fork is read into whole. A large one is mapped on its own in huge pages where the
// system offers them: it is filled and copied once, and its first touch then costs one fault
// in 2 MiB instead of one in 4 KiB.
class clsReadBuffer {
 public:
  clsReadBuffer() = default;
  ~clsReadBuffer() { Release(); }
  clsReadBuffer(clsReadBuffer const&) = delete;
  clsReadBuffer& operator=(clsReadBuffer const&) = delete;
  // Room for size bytes; throws std::bad_alloc as new[] does.
  void Allocate(size_t size) {
    Release();
    if (size >= kHugePage) {
      m_sizMapped = (size + kHugePage - 1) / kHugePage * kHugePage;
      void* const mapped = mmap(nullptr, m_sizMapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (mapped != MAP_FAILED) {
        madvise(mapped, m_sizMapped, MADV_HUGEPAGE);
        m_pbytBytes = static_cast<unsigned char*>(mapped);
        return;
      }
      m_sizMapped = 0;
    }
    m_pbytBytes = new unsigned char[size];
  }
  unsigned char* get() const { return m_pbytBytes; }

 private:
  static constexpr size_t kHugePage = size_t{2} << 20;
  void Release() {
    if (m_sizMapped > 0) {
      munmap(m_pbytBytes, m_sizMapped);
    } else {
      delete[] m_pbytBytes;
    }
    m_pbytBytes = nullptr;
    m_sizMapped = 0;
  }
  unsigned char* m_pbytBytes = nullptr;
  size_t m_sizMapped = 0;
};

// Reads the whole data fork into *bytes; an error text, empty on success. The stream's sizes
// are 32-bit, so the fork's own 64-bit size decides first whether the file fits at all.
UniString ReadDataFork(XFileSpec& spec, clsReadBuffer* bytes, int32_t* size) {
  uint64_t forkSize = 0;
  if (DataForkSize(spec, &forkSize) && forkSize > uint64_t(INT32_MAX)) {
    return U("ERROR: File_Import: The File is too large to import (2 GB or larger).");
  }
  try {
    std::unique_ptr<XFileStream> stream(new (std::nothrow) XFileStream(0));
    if (!stream) return U("ERROR: File_Import: Could not open File for reading.");
    if (!stream->AttachToFile(spec, kXFileStreamRead, U("XFSDataFork"))) {
      return U("ERROR: File_Import: Could not open File for reading. (2)");
    }
    if (!stream->SetPos(0, kStreamFromStart)) return U("ERROR: File_Import: Could not set File Position.");
    *size = stream->GetSize();
    if (*size < 0) return U("ERROR: File_Import: The File is too large to import (2 GB or larger).");
    bytes->Allocate(size_t(*size) + 1);
    int32_t const got = stream->ReadBytes(bytes->get(), *size);
    if (got != *size) {
      // A short read is a failure: never store bytes that were not read.
      UniString reason = stream->ErrorString();
      if (reason.IsEmpty()) {
        reason = U("Read ") + UniString(got) + U(" of ") + UniString(*size) + U(" bytes.");
      }
      return U("ERROR: File_Import: Could not read the File: ") + reason;
    }
  } catch (...) {
    return U("ERROR: File_Import: Unknown error; caught exception when reading file data.");
  }
  return UniString();
}

// The stream type of a Type text: its first four characters in order, the first one the most
// significant byte, as the host and the export read type codes.
fmx::QuadChar TypeCode(UniString const& type) {
  AnsiString const bytes = (type.GetAnsiString(2) + AnsiString("    ")).SubString(1, 4);
  uint32_t code = 0;
  for (int i = 1; i <= 4; ++i) code = (code << 8) | uint8_t(bytes[i]);
  fmx::QuadChar quad;
  quad.SetMacType(code);
  return quad;
}

// The picture's 'SIZE' stream; an error text, empty on success.
UniString AddSizeStream(fmx::BinaryData& data, stcPictureSize size) {
  unsigned char bytes[4];
  SizeStreamBytes(size, bytes);
  if (data.Add(fmx::QuadChar('S', 'I', 'Z', 'E'), 4, bytes) != 0) {
    return U("ERROR: File_Import: Error Adding SIZE Stream.");
  }
  return UniString();
}

// The data stream (and 'SIZE' for pictures) of the file's bytes.
UniString AddDataStreams(fmx::BinaryData& data, UniString const& type, UniString const& ext,
                         unsigned char const* bytes, int32_t size, clsFuncDebug& dbg) {
  uint32_t const amount = uint32_t(size);
  if (type.IsNotEmpty()) {
    if (data.Add(TypeCode(type), amount, bytes) != 0) return U("ERROR: File_Import: Error Adding File Stream.");
    return UniString();
  }
  dbg.Output(kDebugInfo, U("File Ext: ") + ext);
  if (ext == U(".JPG") || ext == U(".JPEG")) {
    if (data.Add(fmx::QuadChar('J', 'P', 'E', 'G'), amount, bytes) != 0) {
      return U("ERROR: File_Import: Error Adding JPEG Stream.");
    }
    return AddSizeStream(data, JPEGPictureSize(bytes, size_t(size)));
  }
  if (ext == U(".GIF")) {
    if (data.Add(fmx::QuadChar('G', 'I', 'F', 'f'), amount, bytes) != 0) {
      return U("ERROR: File_Import: Error Adding GIF Stream.");
    }
    return AddSizeStream(data, GIFPictureSize(bytes, size_t(size)));
  }
  if (data.Add(fmx::QuadChar('F', 'I', 'L', 'E'), amount, bytes) != 0) {
    return U("ERROR: File_Import: Error Adding File Stream.");
  }
  return UniString();
}

// The file-reference stream naming the imported file; its failure is only logged.
void AddFileReference(fmx::BinaryDataAutoPtr& data, XFileSpec& spec) {
  UniString folder = spec.GetPath(kPathStyleHost, false);
  if (folder.UpperCase().Left(8) == U("/VOLUMES")) folder = folder.SubString(9, folder.Length() - 8);
  folder = XFileSpec::AddEndingPathDelim(folder, kPathStyleHost);
  UniString const answer =
      SetContainerFileInfo_BinaryData(data, U("filemac"), folder, spec.GetFileOrDirName(kPathStyleInternal));
  if (answer.IsNotEmpty()) DebugOutput(kDebugWarning, U("SetContainerFileInfo_BinaryData returned: ") + answer);
}

}  // namespace

UniString DoFileImport(clsMultiVar* params, fmx::Data& result) {
  clsFuncDebug dbg(U("DoFileImport"));
  UniString const path = TextParam(params, "File");
  if (path.IsEmpty()) return U("ERROR: File_Import: You must specify the File to Import ('File' parameter).");

  XFileSpec spec;
  spec.Set(path);
  bool isFolder = false;
  bool isFile = false;
  if (!spec.IsValid(&isFolder, &isFile, false, false)) {
    return U("ERROR: File_Import: File Name is invalid: ") + spec.ErrorString();
  }
  if (isFolder) return U("ERROR: File_Import: You cannot specify a Folder to import; you must specify a File.");
  if (!isFile) return U("ERROR: File_Import: File does not exist.");
  // A FIFO or device is refused before it is opened: the open of a FIFO waits for a writer.
  if (!spec.XIsRegularFile()) return U("ERROR: File_Import: ") + spec.ErrorString();

  UniString type = TextParam(params, "Type");
  if (type.IsNotEmpty() && type.Length() < 4) type = (type + U("    ")).Left(4);
  dbg.Output(kDebugInfo, U("Type: ") + type);
  UniString const ext = XFileSpec::GetFileExt(spec.GetFileOrDirName(kPathStyleInternal)).UpperCase();

  if (IntegerParam(params, "ByReference") > 0) {
    bool const picture = ext == U(".JPG") || ext == U(".JPEG") || ext == U(".GIF") || ext == U(".PNG");
    UniString const text = U(picture ? "image" : "file") + U("mac") + U(":") + spec.GetPath(kPathStyleHost, true);
    fmx::TextAutoPtr hostText;
    hostText->AssignUnicodeWithLength(text.GetBytes(), fmx::uint32(text.Length()));
    fmx::LocaleAutoPtr locale(fmx::Locale::kType_Current);
    result.SetAsText(*hostText, *locale, fmx::Data::kDTText);
    return UniString();
  }

  clsReadBuffer bytes;
  int32_t size = 0;
  UniString error = ReadDataFork(spec, &bytes, &size);
  if (error.IsNotEmpty()) return error;

  fmx::BinaryDataAutoPtr data;
  error = AddDataStreams(*data, type, ext, bytes.get(), size, dbg);
  if (error.IsNotEmpty()) return error;
  AddFileReference(data, spec);
  result.SetBinaryData(*data, true);
  return UniString();
}
