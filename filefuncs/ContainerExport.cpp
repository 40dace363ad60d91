// ContainerExport: the File_Export worker. The checks of the destination and the container come
// first; then one of three cases writes the file: text lines, a copy of the referenced file, or
// one chosen data stream (and the resource fork from a "FORK" stream).
// A name never leaves the destination folder: a '/' stays in it (the file system shows it as
// ':'), and "." or ".." are refused. A data copy that is cut short, or whose last bytes cannot be
// written out, is a failure; a file already created stays on disk after a later failure.
#include "filefuncs/FileFuncs.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "filefuncs/FileFuncsInternal.h"
#include "files/FSCopyObject.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"
#include "platform/carbon/Files.h"
#include "platform/fmx/FMXBinaryData.h"
#include "plugin/ContainerData.h"
#include "plugin/HostText.h"

using namespace FileFuncsInternal;

namespace {

int32_t const kChunkBytes = 4096;
int32_t const kStreamBufferBytes = 16384;
int32_t const kPICTHeaderBytes = 512;

// One known stream type: the extensions that are kept (upper case, with the dot) when the
// stream was chosen automatically and when it was requested, and the extension added otherwise.
struct stcStreamType {
  char const* type;
  char const* autoKept[3];
  char const* requestedKept[3];
  char const* appended;  // null: nothing is ever added
  bool requestable;      // has a rule when requested by "ReqType"
};

stcStreamType const g_udtStreamTypes[] = {
    {"GIFf", {".GIF"}, {".GIF"}, ".gif", true},
    {"EPS ", {".EPS"}, {".EPS"}, ".eps", true},
    {"PICT", {".PCT", ".PICT"}, {".PCT", ".PICT"}, ".pct", true},
    {"PNG ", {".PNG"}, {".PNG"}, ".png", true},
    {"PNGf", {".PNG"}, {}, ".png", false},
    {"BMP ", {".BMP"}, {".BMP"}, ".bmp", true},
    {"PDF ", {".PDF"}, {".PDF"}, ".pdf", true},
    {"snd ", {".SND"}, {".SND"}, ".snd", true},
    {"XMLO", {".XML"}, {".XML"}, ".xml", true},
    {"FILE", {}, {}, nullptr, false},
    // Never chosen by the walk, only when no other known type is there.
    {"JPEG", {".JPG", ".JPE", ".JPEG"}, {".JPG", ".JPEG"}, ".jpg", true},
};
size_t const kWalkTypes = sizeof(g_udtStreamTypes) / sizeof(g_udtStreamTypes[0]) - 1;
stcStreamType const& g_udtJPEGType = g_udtStreamTypes[kWalkTypes];

std::string TypeText(fmx::QuadChar const& code) {
  return std::string{char(code[0]), char(code[1]), char(code[2]), char(code[3])};
}

fmx::QuadChar Quad(char const* type) { return fmx::QuadChar(type[0], type[1], type[2], type[3]); }

// The stream a container is exported from, the rule for its name, and whether a PICT header
// goes in front.
struct stcChoice {
  int32_t index = -1;
  stcStreamType const* rule = nullptr;
  bool requested = false;
};

// The automatic choice: the first stream of a known type in container order, JPEG only when
// there is no other.
bool ChooseStream(fmx::BinaryData const& streams, stcChoice* choice) {
  bool sawJPEG = false;
  for (int32_t i = 0; i < streams.GetCount(); ++i) {
    fmx::QuadChar code;
    streams.GetType(i, code);
    std::string const type = TypeText(code);
    if (type == g_udtJPEGType.type) {
      sawJPEG = true;
      continue;
    }
    for (size_t k = 0; k < kWalkTypes; ++k) {
      if (type == g_udtStreamTypes[k].type) {
        choice->index = i;
        choice->rule = &g_udtStreamTypes[k];
        return true;
      }
    }
  }
  if (!sawJPEG) return false;
  choice->index = streams.GetIndex(Quad(g_udtJPEGType.type));
  choice->rule = &g_udtJPEGType;
  return true;
}

// The stream a "ReqType" names: its first four characters, the first one the most significant
// byte. The naming rule is the known type the whole text equals (case-sensitive), if any.
bool RequestStream(fmx::BinaryData const& streams, UniString const& reqType, stcChoice* choice) {
  AnsiString const bytes = (reqType.GetAnsiString(2) + AnsiString("    ")).SubString(1, 4);
  uint32_t code = 0;
  for (int i = 1; i <= 4; ++i) code = (code << 8) | uint8_t(bytes[i]);
  fmx::QuadChar quad;
  quad.SetMacType(code);
  choice->index = streams.GetIndex(quad);
  choice->requested = true;
  if (choice->index < 0) return false;
  for (stcStreamType const& type : g_udtStreamTypes) {
    if (type.requestable && reqType == U(type.type)) choice->rule = &type;
  }
  return true;
}

// The extension to add to a name whose upper-cased extension is ext; empty when it is kept.
UniString ExtensionToAdd(stcChoice const& choice, UniString const& ext) {
  if (choice.rule == nullptr || choice.rule->appended == nullptr) return UniString();
  char const* const* kept = choice.requested ? choice.rule->requestedKept : choice.rule->autoKept;
  for (int i = 0; i < 3 && kept[i] != nullptr; ++i) {
    if (ext == U(kept[i])) return UniString();
  }
  return U(choice.rule->appended);
}

// The file name inside the destination folder; false for "." and "..", which would name the
// folder itself or its parent.
bool AddExportName(XFileSpec* dest, UniString const& name, UniString* error) {
  if (name == U(".") || name == U("..")) {
    *error = U("ERROR: File_Export: Could not create the Exported File in the Folder: ") +
             XFileSpec::AddEndingPathDelim(PosixPath(*dest), kPathStylePOSIX) + name;
    return false;
  }
  dest->AddFileOrDirName(name);
  return true;
}

// Numbers the name until it is free in the folder and writes it back into "SaveAs".
void MakeNameUnique(XFileSpec& folder, UniString* fileName, clsMultiVar* params, clsFuncDebug& dbg) {
  *fileName = folder.FindUniqueFileName(*fileName, 0);
  dbg.Output(kDebugInfo, U("Unique FileName: ") + *fileName);
  if (params != nullptr) params->SetStringVar(U("SaveAs"), *fileName);
}

// The text of a value that names no file, saved as lines.
UniString ExportText(fmx::Data const& container, XFileSpec& dest, UniString fileName, bool makeUnique,
                     clsMultiVar* params, clsFuncDebug& dbg) {
  std::unique_ptr<UniStringList> lines(new (std::nothrow) UniStringList);
  if (!lines) return U("ERROR: File_Export: Could not allocate memory for Text Export.");
  ExtractLinesFromFMXText(container.GetAsText(), lines.get());
  if (fileName.IsEmpty()) fileName = U("Untitled");
  if (XFileSpec::GetFileExt(fileName).IsEmpty()) fileName += U(".txt");
  if (makeUnique) MakeNameUnique(dest, &fileName, params, dbg);
  UniString error;
  if (!AddExportName(&dest, fileName, &error)) return error;
  // A link where the file is to be would have the text written into whatever it points to, in
  // another folder: refused, and the link and its target are left as they are.
  if (dest.XIsLink()) {
    return U("ERROR: File_Export: A Link with the specified File Name exists in the Folder: ") + PosixPath(dest);
  }
  UniString const saved = lines->SaveToFile(dest, 0, 0, 1, false, kLineEndingCR);
  if (saved.IsNotEmpty()) {
    dbg.Output(kDebugError, saved);
    return U("ERROR: File_Export: Error writing Data to File.");
  }
  return UniString();
}

// The data of one stream from offset `from` to its end, in chunks; false when a chunk is not
// delivered or not written whole.
bool CopyStream(fmx::BinaryData const& streams, int32_t index, uint32_t from, XFileStream& file,
                unsigned char* buffer) {
  uint32_t const size = streams.GetSize(index);
  for (uint32_t offset = from; offset < size;) {
    uint32_t const amount = size - offset < uint32_t(kChunkBytes) ? size - offset : uint32_t(kChunkBytes);
    if (streams.GetData(index, offset, amount, buffer) != 0) return false;
    if (file.WriteBytes(buffer, int32_t(amount)) != int32_t(amount)) return false;
    offset += amount;
  }
  return true;
}

// The resource fork and the Finder type and creator from a "FORK" stream: type (4 bytes) and
// creator (4 bytes) as stored, then the fork's bytes. Every failure here is ignored.
void WriteResourceFork(fmx::BinaryData const& streams, XFileSpec& dest, XFileStream& file, unsigned char* buffer,
                       clsFuncDebug& dbg) {
  int32_t const index = streams.GetIndex(Quad("FORK"));
  if (index < 0) return;
  try {
    if (!file.SwitchForks(U("XFSResFork")) || !file.SetSize(0, kStreamFromStart) ||
        !file.SetPos(0, kStreamFromStart)) {
      dbg.Output(kDebugWarning, U("Resource Fork not written: ") + file.ErrorString());
      return;
    }
    CopyStream(streams, index, 8, file, buffer);
    uint32_t type = 0;
    uint32_t creator = 0;
    if (streams.GetData(index, 0, 4, &type) != 0 || streams.GetData(index, 4, 4, &creator) != 0) return;
    FSRef ref;
    if (!dest.GetFSRef(&ref, true)) return;
    FSChangeCreatorType(&ref, creator, type);
  } catch (...) {
    dbg.Output(kDebugWarning, U("Resource Fork not written: exception caught."));
  }
}

// The chosen stream into the file's data fork (after a PICT header when asked for); an error
// text, empty on success. The written bytes are flushed before success is reported.
UniString WriteDataFork(fmx::BinaryData const& streams, stcChoice const& choice, bool pict, XFileSpec& dest,
                        clsFuncDebug& dbg) {
  std::unique_ptr<XFileStream> file(new (std::nothrow) XFileStream(kStreamBufferBytes));
  if (!file) return U("ERROR: File_Export: Could not create File Stream.");
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kChunkBytes]);
  if (!buffer) return U("ERROR: File_Export: Could not allocate memory for data buffer.");
  try {
    if (!file->AttachToFile(dest, kXFileStreamWrite, U("XFSDataFork"))) {
      return U("ERROR: File_Export: Could not open file for writing: ") + file->ErrorString();
    }
    int32_t const start = pict ? kPICTHeaderBytes : 0;
    if (!file->SetSize(start, kStreamFromStart)) {
      return U("ERROR: File_Export: Could not set File Size: ") + file->ErrorString();
    }
    if (!file->SetPos(start, kStreamFromStart)) {
      return U("ERROR: File_Export: Could not set File Position: ") + file->ErrorString();
    }
    bool written = CopyStream(streams, choice.index, 0, *file, buffer.get());
    if (written) {
      file->FlushWriteBuffer();
      written = file->ErrorString().IsEmpty();
    }
    if (!written) {
      dbg.Output(kDebugError, U("Data copy failed: ") + file->ErrorString());
      return U("ERROR: File_Export: Error writing Data to File.");
    }
  } catch (...) {
    return U("ERROR: File_Export: Error writing Data to File.");
  }
  WriteResourceFork(streams, dest, *file, buffer.get(), dbg);
  return UniString();
}

// One data stream of the container into a new file.
UniString ExportEmbedded(fmx::Data const& container, XFileSpec& dest, UniString fileName, bool makeUnique,
                         clsMultiVar* params, clsFuncDebug& dbg) {
  UniString reqType = TextParam(params, "ReqType");
  if (reqType.IsNotEmpty() && reqType.Length() < 4) reqType = (reqType + U("    ")).Left(4);
  if (reqType.IsNotEmpty()) dbg.Output(kDebugInfo, U("ReqType: ") + reqType);

  fmx::BinaryData const& streams = container.GetBinaryData();
  stcChoice choice;
  if (reqType.IsEmpty()) {
    if (!ChooseStream(streams, &choice)) {
      return U("ERROR: File_Export: No known Container Type existed in the container.");
    }
  } else if (!RequestStream(streams, reqType, &choice)) {
    return U("ERROR: File_Export: The Requested Container Type was not found in the container.");
  }
  bool const pict = choice.rule != nullptr && std::strcmp(choice.rule->type, "PICT") == 0;
  fileName += ExtensionToAdd(choice, XFileSpec::GetFileExt(fileName).UpperCase());
  if (makeUnique) MakeNameUnique(dest, &fileName, params, dbg);

  UniString error;
  if (!AddExportName(&dest, fileName, &error)) return error;
  if (dest.XFileExists(UniString())) {
    return U("ERROR: File_Export: A File with the specified File Name already exists in the Folder: ") +
           PosixPath(dest);
  }
  if (!dest.XCreateFile(UniString(), 0, 0, true)) {
    return U("ERROR: File_Export: Could not create the Exported File in the Folder: ") + PosixPath(dest);
  }
  return WriteDataFork(streams, choice, pict, dest, dbg);
}

}  // namespace

clsSingleVar DoFileExport(fmx::Data const& container, clsMultiVar* params) {
  clsFuncDebug dbg(U("DoFileExport"));
  UniString error;
  UniString success;
  XFileSpec dest;
  UniString const path = TextParam(params, "Path");
  if (container.IsEmpty()) {
    error = U("ERROR: File_Export: Container is Empty.");
  } else if (path.IsEmpty()) {
    error = U("ERROR: File_Export: You must specify the Path to export the file to ('Path' parameter).");
  } else {
    dest.Set(path);
    dbg.Output(kDebugInfo, U("Path: ") + dest.GetPath(kPathStyleInternal, true));
    if (!dest.XDirExists(UniString())) {
      if (IntegerParam(params, "CreatePath") <= 0) {
        error = U("ERROR: File_Export: Folder does not exist: ") + PosixPath(dest);
      } else if (!dest.XCreateDir(UniString())) {
        error = U("ERROR: File_Export: Could not create Folder '") + PosixPath(dest) + U("': ") + dest.ErrorString();
      }
    }
  }
  if (error.IsEmpty()) {
    // Escaped at once, so that a '/' names no sub-folder and "SaveAs" is written back as used.
    UniString fileName = TextParam(params, "SaveAs");
    if (fileName.IsNotEmpty()) fileName = XFileSpec::EncodeSlashes(fileName);
    dbg.Output(kDebugInfo, U("FileName: ") + fileName);
    bool const makeUnique = IntegerParam(params, "MakeUnique") > 0;

    UniString refPath;
    UniString refName;
    bool byReference = false;
    UniString const info = GetContainerFileInfo(container, nullptr, &refPath, &refName, &byReference, true);
    XFileSpec source;
    if (info.UpperCase() == U("NO PATH FOUND.")) {
      error = ExportText(container, dest, fileName, makeUnique, params, dbg);
      if (error.IsEmpty()) success = U("Exported Text to ") + PosixPath(dest);
    } else if (info.IsNotEmpty()) {
      error = U("ERROR: File_Export: There was an error getting the file info from the container: ") + info;
    } else {
      if (byReference) {
        source.Set(refPath);
        source.AddFileOrDirName(refName);
        if (!source.XFileExists(UniString())) {
          error = U("ERROR: File_Export: The Referenced File in the Container does not exist.");
        }
      }
      if (error.IsEmpty()) {
        if (fileName.IsEmpty()) fileName = refName.IsNotEmpty() ? refName : U("Untitled");
        dbg.Output(kDebugInfo, U("FileName: ") + fileName);
        if (byReference) {
          if (makeUnique) MakeNameUnique(dest, &fileName, params, dbg);
          if (AddExportName(&dest, fileName, &error)) {
            if (dest.GetPath(kPathStyleInternal, true) == source.GetPath(kPathStyleInternal, true)) {
              success = U("The By Reference File already existed in the export location: ") + PosixPath(dest);
            } else if (source.XCopyFile(dest, UniString(), UniString())) {
              success = U("Copied By Reference File to ") + PosixPath(dest);
            } else {
              error = U("ERROR: File_Export: Could not copy By Reference File to '") + PosixPath(dest) + U("': ") +
                      source.ErrorString();
            }
          }
        } else {
          error = ExportEmbedded(container, dest, fileName, makeUnique, params, dbg);
          if (error.IsEmpty()) success = U("Exported file to: ") + PosixPath(dest);
        }
      }
    }
  }
  if (error.IsNotEmpty()) dbg.Output(kDebugError, error);
  return StringResult(error.IsNotEmpty() ? error : success);
}
