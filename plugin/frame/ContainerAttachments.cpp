// ContainerAttachments: the written file's path is built with XFileSpec from the folder and the
// name the export wrote under, so escapes in the name never reach the path text. The folder
// "Velmora Temp" lives in a shared temporary area: it is made owner-only, and a link in its
// place or a folder of another user is refused rather than written into.
#include "plugin/frame/ContainerAttachments.h"

#include <unistd.h>

#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "filefuncs/FileFuncs.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "plugin/ContainerData.h"
#include "plugin/HostText.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

UniString U(char const* text) { return UniString(text, 1); }

// Steps from the temporary area into "Velmora Temp", creating it when missing. False when it
// cannot be made or entered, or is no folder of this user's own (a link in its place is looked
// at itself, never followed); a folder of ours that others may read is closed to them.
bool EnterTempFolder(XFileSpec* folder) {
  UniString const name = U("Velmora Temp");
  if (!folder->XDirExists(name)) folder->XCreateDir(name);

  FSRef parent, item;
  if (!folder->GetFSRef(&parent, true) ||
      FSMakeFSRefUnicode(&parent, UniCharCount(name.Length()), name.GetBytes(), kTextEncodingUnknown, &item) != noErr) {
    return false;
  }
  FSCatalogInfo info;
  if (FSGetCatalogInfo(&item, kFSCatInfoNodeFlags | kFSCatInfoPermissions, &info, nullptr, nullptr, nullptr) != noErr) {
    return false;
  }
  if ((info.nodeFlags & kFSNodeIsDirectoryMask) == 0 || info.permissions[0] != UInt32(getuid())) return false;
  if ((info.permissions[2] & 077) != 0) {
    info.permissions[2] = (info.permissions[2] & ~UInt32(07777)) | 0700;
    if (FSSetCatalogInfo(&item, kFSCatInfoPermissions, &info) != noErr) return false;
  }
  return folder->SelectDirName(name);
}

// The lines of a text value that name something usable: "CONTAINER:" lines as they are, and
// lines whose path (after a first '=', else the whole line) is an existing file.
UniString AddTextLines(fmx::Data const& value, UniStringList* results) {
  std::unique_ptr<UniStringList> lines(new (std::nothrow) UniStringList);
  if (!lines) return U("Could not allocate memory for Container File.");
  ExtractLinesFromFMXText(value.GetAsText(), lines.get());
  for (UniString const& raw : *lines) {
    UniString const line = raw.Trim();
    if (line.IsEmpty()) continue;
    if (line.UpperCase().Left(10) == U("CONTAINER:")) {
      results->Add(line);
      continue;
    }
    int const equals = line.Pos(static_cast<unsigned short>('='));
    XFileSpec spec;
    if (spec.Set(equals > 0 ? line.SubString(equals + 1, -1) : line) && spec.XFileExists()) results->Add(line);
  }
  return UniString();
}

}  // namespace

UniString DoGetContFile(fmx::Data const& value, UniStringList* results, bool preferJPEG) {
  clsFuncDebug debug(U("DoGetContFile"));
  if (results == nullptr) return U("Results List is NULL!");
  results->Clear();
  if (value.IsEmpty()) return UniString();

  UniString path, fileName;
  bool fromText = false;
  UniString error = GetContainerFileInfo(value, nullptr, &path, &fileName, &fromText, true);

  if (error.UpperCase() == U("NO PATH FOUND.")) {
    // A text without a reference line: its lines may be paths.
    if (value.GetNativeType() != fmx::Data::kDTText) return error;
    UniString const listError = AddTextLines(value, results);
    if (listError.IsNotEmpty()) return listError;
    return results->Count() > 0 ? UniString() : error;
  }
  if (error.IsNotEmpty()) return error;

  if (fromText) {
    XFileSpec spec;
    spec.Set(path);
    spec.AddFileOrDirName(fileName);
    if (!spec.XFileExists()) {
      return U("Could not find By Reference Container File '") + fileName + U("': ") + spec.ErrorString();
    }
    results->Add(spec.GetPath(kPathStylePOSIX, true));
    return UniString();
  }

  // Binary container data: written out by the container export.
  XFileSpec folder;
  if (!folder.FindSysFolder(kSysFolderChewableItems) && !folder.FindSysFolder(kSysFolderTemporaryItems)) {
    return U("Could not get Temp Folder for Container File.");
  }
  if (!EnterTempFolder(&folder)) return U("Could not create Velmora Temp Folder for Container File.");
  if (fileName.IsEmpty()) fileName = U("Untitled");

  clsMultiVar params;
  fmx::BinaryData const& binary = value.GetBinaryData();
  if (preferJPEG && !ContHasType(binary, AnsiString("GIFf")) && !ContHasType(binary, AnsiString("PNGf"))) {
    params.AddStringVar(U("ReqType"), U("JPEG"), false);
  }
  params.AddStringVar(U("Path"), folder.GetPath(kPathStyleInternal, true), false);
  params.AddStringVar(U("SaveAs"), fileName, false);
  params.AddIntegerVar(U("MakeUnique"), 1, false);

  UniString const exported = DoFileExport(value, &params).GetValue_AsString();
  if (exported.Left(7) == U("ERROR: ")) return exported.SubString(8, -1);

  if (m_udtPluginVars != nullptr && m_udtPluginVars->m_ulstTempFiles == nullptr) {
    m_udtPluginVars->m_ulstTempFiles = new (std::nothrow) UniStringList;
  }
  // The export may have written under another name to keep the folder's files apart.
  UniString savedAs = fileName;
  clsMultiVar::iterator saveAs;
  if (params.GetVar(U("SaveAs"), saveAs)) savedAs = saveAs->GetValue_AsString();
  XFileSpec written = folder;
  written.AddFileOrDirName(savedAs);
  UniString const writtenPath = written.GetPath(kPathStylePOSIX, true);
  if (m_udtPluginVars != nullptr && m_udtPluginVars->m_ulstTempFiles != nullptr) {
    m_udtPluginVars->m_ulstTempFiles->Add(writtenPath);
  }

  // The message model splits an entry at its first '=': the display name may hold none.
  if (fileName == U("Untitled")) {
    results->Add(writtenPath);
  } else {
    UniString const shown = UnescapeContainerFileName(fileName).StrSub(static_cast<unsigned short>('='), static_cast<unsigned short>('-'));
    results->Add(shown + U("=") + writtenPath);
  }
  return UniString();
}
