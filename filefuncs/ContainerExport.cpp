// ContainerExport: DoFileExport. A text value that names no file is saved as UTF-8 lines; a
// by-reference container is copied from the file it names; embedded data is one stream, chosen
// by "ReqType" or else automatically (the first known picture or file type, a 'JPEG' stream only
// when there is no other), copied to the file's data fork in 4,096-byte chunks through a
// 16,384-byte write buffer, so a container of any size is written in bounded memory. A 'PICT'
// stream is written after a 512-byte zero header. The name gains the type's extension unless it
// already has one the type keeps.
#include "filefuncs/FileFuncs.h"

#include <memory>
#include <new>
#include <string>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "filefuncs/FileFuncsInternal.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"
#include "plugin/ContainerData.h"
#include "plugin/HostText.h"

using namespace FileFuncsInternal;

namespace {

// A stream type, the extensions it keeps ("|"-separated, upper case) when chosen automatically
// and when requested, and the extension it otherwise appends.
struct stcStreamType {
  char const* type;
  char const* keptAutomatic;
  char const* keptRequested;
  char const* appended;
};

stcStreamType const kStreamTypes[] = {
    {"JPEG", "|.JPG|.JPE|.JPEG|", "|.JPG|.JPEG|", ".jpg"}, {"GIFf", "|.GIF|", "|.GIF|", ".gif"},
    {"EPS ", "|.EPS|", "|.EPS|", ".eps"},                 {"PICT", "|.PCT|.PICT|", "|.PCT|.PICT|", ".pct"},
    {"PNG ", "|.PNG|", "|.PNG|", ".png"},                 {"PNGf", "|.PNG|", nullptr, ".png"},
    {"BMP ", "|.BMP|", "|.BMP|", ".bmp"},                 {"PDF ", "|.PDF|", "|.PDF|", ".pdf"},
    {"snd ", "|.SND|", "|.SND|", ".snd"},                 {"XMLO", "|.XML|", "|.XML|", ".xml"},
    {"FILE", nullptr, nullptr, ""},
};

std::string TypeOf(fmx::QuadChar const& code) {
  return std::string{char(code[0]), char(code[1]), char(code[2]), char(code[3])};
}

stcStreamType const* FindType(std::string const& type) {
  for (stcStreamType const& known : kStreamTypes) {
    if (type == known.type) return &known;
  }
  return nullptr;
}

// The name made free in the folder, logged and written back into "SaveAs".
UniString MakeUnique(XFileSpec* folder, UniString const& name, clsMultiVar* params) {
  UniString const unique = folder->FindUniqueFileName(name, 0);
  DebugOutput(kDebugInfo, U("Unique FileName: ") + unique);
  params->SetStringVar(U("SaveAs"), unique);
  return unique;
}

UniString ExportText(fmx::Data const& container, XFileSpec dest, UniString fileName, bool unique,
                     clsMultiVar* params) {
  std::unique_ptr<UniStringList> lines(new (std::nothrow) UniStringList);
  if (!lines) return U("ERROR: File_Export: Could not allocate memory for Text Export.");
  ExtractLinesFromFMXText(container.GetAsText(), lines.get());
  if (fileName.IsEmpty()) fileName = U("Untitled");
  if (XFileSpec::GetFileExt(fileName).IsEmpty()) fileName += U(".txt");
  if (unique) fileName = MakeUnique(&dest, fileName, params);
  dest.AddFileOrDirName(fileName);
  UniString const saved = lines->SaveToFile(dest, 0, 0, 1, false, kLineEndingCR);
  if (saved.IsNotEmpty()) return U("ERROR: File_Export: Could not save the Text: ") + saved;
  return U("Exported Text to ") + PosixPath(dest);
}

UniString ExportByReference(XFileSpec dest, XFileSpec source, UniString const& fileName, bool unique,
                            clsMultiVar* params) {
  UniString name = fileName;
  if (unique) name = MakeUnique(&dest, name, params);
  dest.AddFileOrDirName(name);
  UniString const path = PosixPath(dest);
  if (dest.GetPath(kPathStyleInternal, true) == source.GetPath(kPathStyleInternal, true)) {
    return U("The By Reference File already existed in the export location: ") + path;
  }
  if (!source.XCopyFile(dest, UniString(), UniString())) {
    return U("ERROR: File_Export: Could not copy By Reference File to '") + path + U("': ") + source.ErrorString();
  }
  return U("Copied By Reference File to ") + path;
}

UniString ExportEmbedded(fmx::Data const& container, XFileSpec dest, UniString fileName, bool unique,
                         clsMultiVar* params) {
  UniString requested = TextParam(params, "ReqType");
  if (requested.IsNotEmpty() && requested.Length() < 4) requested = (requested + U("    ")).Left(4);
  if (requested.IsNotEmpty()) DebugOutput(kDebugInfo, U("ReqType: ") + requested);

  fmx::BinaryData const& binary = container.GetBinaryData();
  UniString const ext = XFileSpec::GetFileExt(fileName).UpperCase();
  fmx::int32 index = -1;
  stcStreamType const* rule = nullptr;
  bool automatic = requested.IsEmpty();
  if (automatic) {
    bool jpeg = false;
    for (fmx::int32 i = 0; i < binary.GetCount() && index < 0; ++i) {
      fmx::QuadChar code;
      binary.GetType(i, code);
      std::string const type = TypeOf(code);
      if (type == "JPEG") {
        jpeg = true;
      } else if (FindType(type) != nullptr) {
        index = i;
        rule = FindType(type);
      }
    }
    if (index < 0 && jpeg) {
      index = binary.GetIndex(fmx::QuadChar('J', 'P', 'E', 'G'));
      rule = FindType("JPEG");
    }
    if (index < 0) return U("ERROR: File_Export: No known Container Type existed in the container.");
  } else {
    AnsiString const bytes = requested.Left(4).GetAnsiString(2);
    fmx::QuadChar code;
    code.SetMacType(bytes.Length() < 4 ? 0
                                       : (fmx::uint32(fmx::uchar(bytes[1])) << 24) | (fmx::uint32(fmx::uchar(bytes[2])) << 16) |
                                             (fmx::uint32(fmx::uchar(bytes[3])) << 8) | fmx::uint32(fmx::uchar(bytes[4])));
    index = binary.GetIndex(code);
    if (index < 0) return U("ERROR: File_Export: The Requested Container Type was not found in the container.");
    AnsiString const whole = requested.GetAnsiString(1);
    rule = FindType(whole.c_str());
    if (rule != nullptr && rule->keptRequested == nullptr) rule = nullptr;  // 'PNGf' and 'FILE' append nothing
  }

  bool const pict = rule != nullptr && std::string(rule->type) == "PICT";
  if (rule != nullptr && rule->appended[0] != '\0') {
    char const* kept = automatic ? rule->keptAutomatic : rule->keptRequested;
    if (UniString(kept, 1).Pos(U("|") + ext + U("|")) == 0) fileName += U(rule->appended);
  }
  if (unique) fileName = MakeUnique(&dest, fileName, params);
  dest.AddFileOrDirName(fileName);
  UniString const path = PosixPath(dest);
  if (dest.XFileExists()) {
    return U("ERROR: File_Export: A File with the specified File Name already exists in the Folder: ") + path;
  }
  if (!dest.XCreateFile(UniString(), 0, 0, true)) {
    return U("ERROR: File_Export: Could not create the Exported File in the Folder: ") + path;
  }

  std::unique_ptr<XFileStream> stream(new (std::nothrow) XFileStream(16384));
  if (!stream) return U("ERROR: File_Export: Could not create File Stream.");
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[4096]);
  if (!buffer) return U("ERROR: File_Export: Could not allocate memory for data buffer.");
  if (!stream->AttachToFile(dest, kXFileStreamWrite, U("XFSDataFork"))) {
    return U("ERROR: File_Export: Could not open file for writing: ") + stream->ErrorString();
  }
  int32_t const start = pict ? 512 : 0;
  if (!stream->SetSize(start, 0)) return U("ERROR: File_Export: Could not set File Size: ") + stream->ErrorString();
  if (!stream->SetPos(start, 0)) return U("ERROR: File_Export: Could not set File Position: ") + stream->ErrorString();
  fmx::uint32 const size = binary.GetSize(index);
  for (fmx::uint32 offset = 0; offset < size; offset += 4096) {
    fmx::uint32 const amount = size - offset < 4096 ? size - offset : 4096;
    if (binary.GetData(index, offset, amount, buffer.get()) != 0) break;
    if (stream->WriteBytes(buffer.get(), int32_t(amount)) != int32_t(amount)) {
      return U("ERROR: File_Export: Error writing Data to File.");
    }
  }
  stream->FlushWriteBuffer();
  if (stream->ErrorString().IsNotEmpty()) return U("ERROR: File_Export: Error writing Data to File.");
  return U("Exported file to: ") + path;
}

}  // namespace

clsSingleVar DoFileExport(fmx::Data const& container, clsMultiVar* params) {
  clsFuncDebug debug(U("DoFileExport"));
  UniString text;
  do {
    if (container.IsEmpty()) {
      text = U("ERROR: File_Export: Container is Empty.");
      break;
    }
    UniString const folderPath = TextParam(params, "Path");
    if (folderPath.IsEmpty()) {
      text = U("ERROR: File_Export: You must specify the Path to export the file to ('Path' parameter).");
      break;
    }
    XFileSpec dest;
    dest.Set(folderPath);
    DebugOutput(kDebugInfo, U("Path: ") + dest.GetPath(kPathStyleInternal, true));
    if (!dest.XDirExists()) {
      UniString const shown = PosixPath(dest);
      if (IntegerParam(params, "CreatePath") <= 0) {
        text = U("ERROR: File_Export: Folder does not exist: ") + shown;
        break;
      }
      if (!dest.XCreateDir()) {
        text = U("ERROR: File_Export: Could not create Folder '") + shown + U("': ") + dest.ErrorString();
        break;
      }
    }
    UniString fileName = TextParam(params, "SaveAs");
    DebugOutput(kDebugInfo, U("FileName: ") + fileName);
    bool const unique = IntegerParam(params, "MakeUnique") > 0;

    UniString refPath, refName;
    bool byReference = false;
    UniString const info = GetContainerFileInfo(container, nullptr, &refPath, &refName, &byReference, true);
    if (info.UpperCase() == U("NO PATH FOUND.")) {
      text = ExportText(container, dest, fileName, unique, params);
      break;
    }
    if (info.IsNotEmpty()) {
      text = U("ERROR: File_Export: There was an error getting the file info from the container: ") + info;
      break;
    }
    XFileSpec source;
    if (byReference) {
      source.Set(refPath);
      source.AddFileOrDirName(refName);
      if (!source.XFileExists()) {
        text = U("ERROR: File_Export: The Referenced File in the Container does not exist.");
        break;
      }
    }
    if (fileName.IsEmpty()) fileName = refName.IsNotEmpty() ? refName : U("Untitled");
    DebugOutput(kDebugInfo, U("FileName: ") + fileName);
    text = byReference ? ExportByReference(dest, source, fileName, unique, params)
                       : ExportEmbedded(container, dest, fileName, unique, params);
  } while (false);
  return StringResult(text);
}
