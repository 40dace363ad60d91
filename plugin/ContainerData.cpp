// ContainerData: the stream is read into a buffer of its own size and parsed by clsFNAMParser;
// the text form is handed to XFileSpec, which knows the host's path prefixes. A new 'FNAM'
// stream is built in full before the old one is touched, and the old one is put back when the
// host refuses the new one.
#include "plugin/ContainerData.h"

#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "core/clsParameterExtractor.h"
#include "files/XFileSpec.h"
#include "plugin/HostText.h"
#include "plugin/clsFNAMParser.h"

namespace {

fmx::QuadChar const kFNAMType('F', 'N', 'A', 'M');

char const* const kReferenceKinds[] = {"imagemac", "imagewin", "moviemac", "moviewin", "filemac",
                                       "filewin",  "image",    "movie",    "file"};

void ClearOutputs(UniString* protocol, UniString* path, UniString* fileName) {
  if (protocol) *protocol = UniString();
  if (path) *path = UniString();
  if (fileName) *fileName = UniString();
}

void AssignText(fmx::Text& text, UniString const& value) {
  text.AssignUnicodeWithLength(value.GetBytes(), fmx::uint32(value.Length()));
}

// Copies the stream at index into bytes (*copied tells whether that worked) and parses it; an
// error text, empty on success.
UniString ReadFNAMStream(fmx::BinaryData const& data, fmx::int32 index, std::unique_ptr<unsigned char[]>* bytes,
                         fmx::uint32* size, bool* copied, clsFNAMParser* parser) {
  *copied = false;
  if (!CreateParameterExtractor()) return UniString("Could not allocate memory for Parameter Extractor!");
  *size = data.GetSize(index);
  bytes->reset(new (std::nothrow) unsigned char[size_t(*size) + 1]);
  if (!*bytes) return UniString("Could not allocate memory for File Name.");
  if (data.GetData(index, 0, *size, bytes->get()) != 0) return UniString("Error Reading FileName Stream.");
  *copied = true;
  if (!parser->Set(bytes->get(), *size)) return UniString(parser->ErrorString());
  return UniString();
}

UniString Wanted(UniString const* value) { return value ? *value : UniString("NULL"); }

}  // namespace

// The stream keeps plain names; callers see the file specification's escaped form.
UniString EscapeContainerFileName(UniString const& name) {
  return name.StrSub(UniString("%"), UniString("%25"))
      .StrSub(UniString("\\"), UniString("%5C"))
      .StrSub(UniString("/"), UniString("%2F"));
}

UniString UnescapeContainerFileName(UniString const& name) {
  return name.StrSub(UniString("%5C"), UniString("\\"))
      .StrSub(UniString("%2F"), UniString("/"))
      .StrSub(UniString("%25"), UniString("%"));
}

bool ContHasType(fmx::BinaryData const& data, AnsiString type) {
  if (data.GetCount() < 1 || type.Length() == 0) return false;
  AnsiString const code = (type + AnsiString("    ")).SubString(1, 4);
  return data.GetIndex(fmx::QuadChar(code[1], code[2], code[3], code[4])) >= 0;
}

UniString GetContainerFileInfo(fmx::Data const& value, UniString* protocol, UniString* path, UniString* fileName,
                               bool* fromText, bool quiet) {
  clsFuncDebug debug(UniString("GetContainerFileInfo"));
  UniString error;
  ClearOutputs(protocol, path, fileName);
  if (fromText) *fromText = false;

  fmx::BinaryData const& binary = value.GetBinaryData();
  if (binary.GetCount() < 1) {
    fmx::Text const& text = value.GetAsText();
    if (text.GetSize() > 0) {
      error = GetContainerFileInfo_Text(text, protocol, path, fileName, quiet);
      if (error.IsEmpty() && fromText) *fromText = true;
    } else if (!quiet) {
      error = UniString("Container is empty.");
    }
  } else {
    error = GetContainerFileInfo_BinaryData(binary, protocol, path, fileName, quiet);
  }

  if (error.IsNotEmpty()) {
    DebugOutput(kDebugError, error);
  } else {
    DebugOutput(kDebugResult,
                Wanted(protocol) + UniString("; ") + Wanted(path) + UniString("; ") + Wanted(fileName));
  }
  return error;
}

UniString GetContainerFileInfo_BinaryData(fmx::BinaryData const& data, UniString* protocol, UniString* path,
                                          UniString* fileName, bool quiet) {
  clsFuncDebug debug(UniString("GetContainerFileInfo_BinaryData"));
  UniString error;
  ClearOutputs(protocol, path, fileName);

  fmx::int32 const index = data.GetIndex(kFNAMType);
  if (index < 0) {
    if (!quiet) error = UniString("The Container did not have a File Name Stream.");
  } else {
    std::unique_ptr<unsigned char[]> bytes;
    fmx::uint32 size = 0;
    bool copied = false;
    clsFNAMParser parser;
    error = ReadFNAMStream(data, index, &bytes, &size, &copied, &parser);
    if (error.IsEmpty()) {
      if (protocol) {
        *protocol = g_udtPE->ExtractText(*parser.m_txtProtocol);
        DebugOutput(kDebugInfo, UniString("Protocol: ") + *protocol);
      }
      if (path) {
        *path = g_udtPE->ExtractText(*parser.m_txtPath);
        DebugOutput(kDebugInfo, UniString("Path: ") + *path);
      }
      if (fileName) {
        *fileName = EscapeContainerFileName(g_udtPE->ExtractText(*parser.m_txtFileName));
        DebugOutput(kDebugInfo, UniString("FileName: ") + *fileName);
      }
    }
  }

  if (error.IsNotEmpty()) DebugOutput(kDebugError, error);
  return error;
}

UniString GetContainerFileInfo_Text(fmx::Text const& text, UniString* protocol, UniString* path,
                                    UniString* fileName, bool /*quiet*/) {
  clsFuncDebug debug(UniString("GetContainerFileInfo_Text"));
  UniString error;
  ClearOutputs(protocol, path, fileName);

  std::unique_ptr<UniStringList> lines(new (std::nothrow) UniStringList);
  if (!lines) {
    error = UniString("Could not allocate memory for File Info.");
  } else {
    ExtractLinesFromFMXText(text, lines.get());
    // The kinds decide in their own order, whatever the order of the lines.
    UniString line;
    for (char const* kind : kReferenceKinds) {
      int const found = lines->IndexOfName(UniString(kind), ':', false);
      if (found >= 0) {
        line = lines->At(unsigned(found));
        break;
      }
    }
    line = line.Trim();
    if (line.IsEmpty()) {
      error = UniString("No Path Found.");
    } else {
      XFileSpec spec;
      if (!spec.Set(line.StrSub(UniString("\\"), UniString("%5C")))) {
        error = spec.ErrorString();
      } else {
        if (protocol) *protocol = spec.GetProtocol();
        if (path) *path = spec.GetPath(kPathStylePOSIX, false);
        if (fileName) *fileName = spec.GetFileOrDirName(kPathStyleInternal);
      }
    }
  }

  if (error.IsNotEmpty()) DebugOutput(kDebugError, error);
  return error;
}

UniString SetContainerFileInfo_BinaryData(fmx::BinaryDataAutoPtr& data, UniString protocol, UniString path,
                                          UniString fileName) {
  clsFuncDebug debug(UniString("SetContainerFileInfo_BinaryData"));
  UniString error;
  protocol = protocol.Trim();
  path = path.Trim();
  fileName = fileName.Trim();
  DebugOutput(kDebugInfo, protocol + UniString("; ") + path + UniString("; ") + fileName);

  // The old stream's bytes are kept until the new stream is in place.
  fmx::int32 const oldIndex = data->GetIndex(kFNAMType);
  std::unique_ptr<unsigned char[]> oldBytes;
  fmx::uint32 oldSize = 0;
  bool oldCopied = false;
  if (oldIndex >= 0) {
    clsFNAMParser old;
    bool const oldRead = ReadFNAMStream(*data, oldIndex, &oldBytes, &oldSize, &oldCopied, &old).IsEmpty();
    if (oldRead && (protocol.IsEmpty() || path.IsEmpty() || fileName.IsEmpty())) {
      if (protocol.IsEmpty()) {
        protocol = g_udtPE->ExtractText(*old.m_txtProtocol);
        DebugOutput(kDebugInfo, UniString("Protocol: ") + protocol);
      }
      if (path.IsEmpty()) {
        path = g_udtPE->ExtractText(*old.m_txtPath);
        DebugOutput(kDebugInfo, UniString("Path: ") + path);
      }
      if (fileName.IsEmpty()) {
        // Escaped here so that undoing the escapes below gives the stored name back unchanged.
        fileName = EscapeContainerFileName(g_udtPE->ExtractText(*old.m_txtFileName));
        DebugOutput(kDebugInfo, UniString("FileName: ") + fileName);
      }
    }
  }
  if (protocol.IsEmpty()) protocol = UniString("filemac");
  if (path.IsEmpty()) path = UniString("/");

  if (fileName.IsEmpty()) {
    error = UniString("A File Name was not supplied for the container.");
  } else {
    clsFNAMParser parser;
    AssignText(*parser.m_txtProtocol, protocol);
    AssignText(*parser.m_txtPath, path);
    AssignText(*parser.m_txtFileName, UnescapeContainerFileName(fileName));
    unsigned int length = 0;
    std::unique_ptr<unsigned char[]> stream(parser.Get(&length));
    if (!stream) {
      error = UniString(parser.ErrorString());
    } else {
      if (oldIndex >= 0) data->Remove(kFNAMType);
      fmx::errcode const code = data->Add(kFNAMType, length, stream.get());
      if (code != 0) {
        error = UniString("There was an error adding the FileName Stream: ") + UniString(int32_t(code));
        if (oldCopied) data->Add(kFNAMType, oldSize, oldBytes.get());
      }
    }
  }

  DebugOutput(kDebugResult, error);
  return error;
}
