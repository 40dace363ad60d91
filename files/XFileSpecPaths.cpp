// XFileSpec rendering and well-known places: path texts in every style with the per-style
// cache, escapes undone per style, validation against the file system, File Manager codes as
// text, the last-item operations, free file names, the home folder, the system folders, and the
// locations of the plug-in bundle, the host application and the host's front database.
// Relies on the File Manager, CFURL and CFBundle stand-ins, on the host SDK stand-in reached
// through the plug-in frame's call block (gFMX_ExternCallPtr), on core/DebugLog.h and on the
// shared helpers of files/XFileSpecInternal.h.
// Failures: an empty text or false with a message in the file spec's error text; a home path whose
// home folder cannot be found renders as the empty text, never as a path somewhere else.
#include <cstdint>

#include "core/DebugLog.h"
#include "core/MacOSGlue.h"
#include "files/XFileSpec.h"
#include "files/XFileSpecInternal.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFURL.h"
#include "platform/fmx/FMWrapper.h"
#include "plugin/HostText.h"
#include "plugin/PluginGlobals.h"

using namespace XFileSpecInternal;

namespace {

UniString YesNo(bool value) { return U(value ? "Yes" : "No"); }

// The items that make the root of a list: "~"; "Volumes" and the volume; "Network" and the
// server. Lists with any other first item have no root part.
unsigned int RootLength(UniStringList const& items) {
  unsigned int const n = items.Count();
  if (n == 0) return 0;
  UniString const first = items.At(0);
  if (first == U("~")) return 1;
  UniString const upper = first.UpperCase();
  if (upper == U("VOLUMES") || upper == U("NETWORK")) return n < 2 ? n : 2;
  return 0;
}

// True when the path names an existing object; *isDir tells whether it is a folder.
bool Exists(UniString const& path, bool* isDir) {
  FSRef ref;
  Boolean dir = false;
  bool const found = MakeRef(path, &ref, &dir) == noErr;
  *isDir = found && dir;
  return found;
}

UniString AfterLastSlash(UniString const& path) {
  int const p = LastPos(path, '/');
  return path.SubString(p + 1, path.Length() - p);
}

// Sets spec to a bundle's folder; shared by the plug-in and application lookups.
bool SetFromBundle(XFileSpec* spec, CFBundleRef bundle, char const* logPrefix) {
  if (bundle == nullptr) return false;
  UniString path;
  CFURLRef url = CFBundleCopyBundleURL(bundle);
  CFURLRef absolute = url ? CFURLCopyAbsoluteURL(url) : nullptr;
  CFStringRef text = absolute ? CFURLCopyFileSystemPath(absolute, kCFURLPOSIXPathStyle) : nullptr;
  if (text != nullptr) path = CFStringToUniString(text);
  if (text != nullptr) CFRelease(text);
  if (absolute != nullptr) CFRelease(absolute);
  if (url != nullptr) CFRelease(url);
  if (path.IsEmpty() || !spec->Set(path)) return false;
  if (!spec->IsValid(nullptr, nullptr, false, false)) return false;
  DebugOutput(kDebugInfo, U(logPrefix) + spec->GetPath(kPathStyleInternal, true));
  return true;
}

}  // namespace

char const g_strPluginBundleIdentifier[] = "com.velmora.plugin.Velmora";

// ---- rendering ----

UniString XFileSpec::GetPath(enumPathStyle style, bool full) {
  m_ustrError = UniString();
  if (m_ulstPathList == nullptr) {
    m_ustrError = U("A Path has not been defined.");
    return UniString();
  }
  if (style < kPathStyleInternal || style > kPathStyleHost) return UniString();
  if (style == kPathStyleWindows) {
    m_ustrError = U("Cannot return Windows style paths on Mac.");
    return UniString();
  }

  UniString& cache = m_ustrPathStrings[style];
  if (cache.IsNotEmpty()) {
    if (full) return cache;
    unsigned short const delim = style == kPathStyleHFS ? ':' : '/';
    int const p = LastPos(cache, delim);
    if (p == 0) return cache;
    if (p == 1) return UniString(delim);
    return cache.Left(p - 1);
  }

  UniString text;
  if (!BuildPath(style, false, &text)) return UniString();
  cache = text;
  if (full) return text;
  UniString parent;
  if (!BuildPath(style, true, &parent)) return UniString();
  return parent;
}

bool XFileSpec::WorkingItems(UniStringList* work) {
  UniStringList const& items = *m_ulstPathList;
  if (items.Count() == 0 || items.At(0) != U("~")) {
    work->Assign(&items);
    return true;
  }
  GetUserPath(work);
  if (m_ustrError.IsNotEmpty() || work->Count() == 0) {
    if (m_ustrError.IsEmpty()) m_ustrError = U("Could not get User Folder.");
    work->Clear();
    return false;
  }
  // The home folder's items, then the file spec's items after its "~"; ".." climbs, but never above
  // the volume's root folder, as in the file system itself.
  for (unsigned int i = 1; i < items.Count(); ++i) {
    UniString const item = items.At(i);
    if (item == U("..")) {
      if (work->Count() > RootLength(*work)) work->Delete(work->Count() - 1);
    } else {
      work->Add(item);
    }
  }
  return true;
}

bool XFileSpec::BuildPath(enumPathStyle style, bool dropLast, UniString* text) {
  UniStringList const& items = *m_ulstPathList;
  unsigned int const n = items.Count();
  // With full false only an item beyond the root part is left out.
  bool const drop = dropLast && n > RootLength(items);
  UniString t;

  if (style == kPathStyleInternal) {
    unsigned int i = 0;
    if (n > 0 && items.At(0) == U("~")) {
      t = U("~");
      i = 1;
    }
    unsigned int const end = drop ? n - 1 : n;
    for (; i < end; ++i) t += U("/") + items.At(i);
    if (t.IsEmpty()) t = U("/");
    *text = t;
    return true;
  }

  if (style == kPathStyleHFS) {
    if (n > 1) {
      t = items.At(1);
      unsigned int const end = drop ? n - 1 : n;
      for (unsigned int i = 2; i < end; ++i) t += U(":") + items.At(i);
    }
    *text = t;
    return true;
  }

  // POSIX and host styles.
  UniStringList work;
  if (!WorkingItems(&work)) return false;
  unsigned int const m = work.Count();
  unsigned int const end = (drop && m > RootLength(work)) ? m - 1 : m;
  unsigned int i = 0;
  if (m > 0 && work.At(0).UpperCase() == U("NETWORK")) {
    t = U("/");
    if (m > 1) t += DecodeSlashes(work.At(1), style);
    i = 2;
  } else if (GetVolumeNames(nullptr) >= 1) {
    if (m > 0 && work.At(0).UpperCase() == U("VOLUMES")) i = 1;
    if (i < m) {
      UniString const volume = work.At(i);
      // Volume items hold the name escaped; the list holds it as it is.
      int const row = m_ulstVolNames->IndexOfName(DecodeSlashes(volume, kPathStyleHFS), '=', false);
      UniString const mount = row >= 0 ? m_ulstVolNames->At(row).GetValue('=') : UniString();
      if (style == kPathStyleHost) {
        t = mount.IsNotEmpty() ? mount : U("/") + DecodeSlashes(volume, style);
      } else if (row >= 0) {
        t = mount;
      } else {
        // A volume missing from the list: its mount folder's path, never a relative text.
        t = U("/Volumes/") + DecodeSlashes(volume, style);
      }
      ++i;
    }
  }
  for (; i < end; ++i) t += U("/") + DecodeSlashes(work.At(i), style);
  if (t.IsEmpty()) t = U("/");
  *text = t;
  return true;
}

UniString XFileSpec::DecodeSlashes(UniString text, enumPathStyle style) {
  if (text.IsEmpty()) return text;
  switch (style) {
    case kPathStylePOSIX:
      return text.StrSub(U("%5C"), U("\\")).StrSub(U("%2F"), U(":")).StrSub(U("%25"), U("%"));
    case kPathStyleHFS:
      return text.StrSub(U("%5C"), U("\\")).StrSub(U("%2F"), U("/")).StrSub(U("%25"), U("%"));
    case kPathStyleWindows:
      return text.StrSub(U("%5C"), U("-")).StrSub(U("%2F"), U("-")).StrSub(U("%25"), U("%"));
    case kPathStyleHost:
      return text.StrSub(U("%5C"), U("\\"));
    default:
      return text;
  }
}

UniString XFileSpec::AddEndingPathDelim(UniString text, enumPathStyle style) {
  unsigned short delim;
  switch (style) {
    case kPathStyleInternal:
    case kPathStylePOSIX:
    case kPathStyleHost:
      delim = '/';
      break;
    case kPathStyleHFS:
      delim = ':';
      break;
    case kPathStyleWindows:
      delim = '\\';
      break;
    default:
      return text;
  }
  if (EndsWithUnit(text, delim)) return text;
  return text + UniString(delim);
}

UniString XFileSpec::GetFileName(UniString text) {
  if (text.IsEmpty()) return text;
  UniString const normalized = NormalizePathDelimiters(text);
  int const p = LastPos(normalized, '/');
  if (p == 0) return text;
  return normalized.SubString(p + 1, normalized.Length() - p);
}

UniString XFileSpec::GetFileExt(UniString name) {
  int const p = LastPos(name, '.');
  if (p == 0) return UniString();
  return name.SubString(p, name.Length() - p + 1);
}

// ---- names ----

UniString XFileSpec::GetFileOrDirName(enumPathStyle style) {
  UniString result;
  if (m_ulstPathList != nullptr && m_ulstPathList->Count() > 0) {
    unsigned int const n = m_ulstPathList->Count();
    if (n > RootLength(*m_ulstPathList)) result = m_ulstPathList->At(n - 1);
  }
  result = DecodeSlashes(result, style);
  DebugOutput(kDebugResult, U("XFileSpec::GetFileOrDirName: ") + result);
  return result;
}

void XFileSpec::RemoveFileOrDirName() {
  if (m_ulstPathList == nullptr || m_ulstPathList->Count() == 0) return;
  unsigned int const n = m_ulstPathList->Count();
  unsigned int const root = RootLength(*m_ulstPathList);
  if (root > 0 && n > root) m_ulstPathList->Delete(n - 1);
  ClearPathStrings();
}

void XFileSpec::AddFileOrDirName(UniString name) {
  if (m_ulstPathList == nullptr) return;
  name = EncodeSlashes(name);
  DebugOutput(kDebugInfo, U("XFileSpec::AddFileOrDirName: Adding: ") + name);
  m_ulstPathList->Add(name);
  ClearPathStrings();
}

UniString XFileSpec::FindUniqueFileName(UniString name, int width) {
  name = EncodeSlashes(name);
  DebugOutput(kDebugInfo, U("XFileSpec::FindUniqueFileName: Initial FileName: ") + name);

  UniString answer = name;
  XFileSpec probe(*this);
  if (probe.m_ulstPathList != nullptr) {
    probe.m_ulstPathList->Add(name);
    probe.ClearPathStrings();
    bool isDir = false;
    bool isFile = false;
    if (probe.IsValid(&isDir, &isFile, true, false) && (isDir || isFile)) {
      UniString const ext = GetFileExt(name);
      UniString const base = name.Left(name.Length() - ext.Length());
      answer = UniString();
      for (int32_t n = 1; n < INT32_MAX; ++n) {
        UniString number(n);
        if (width >= 1) {
          if (number.Length() > width) break;
          number = UniString::StringOfChar('0', width - number.Length()) + number;
        }
        UniString const candidate = base + number + ext;
        probe.m_ulstPathList->Delete(probe.m_ulstPathList->Count() - 1);
        probe.m_ulstPathList->Add(candidate);
        probe.ClearPathStrings();
        isDir = isFile = false;
        probe.IsValid(&isDir, &isFile, true, false);
        if (!isDir && !isFile) {
          answer = candidate;
          break;
        }
      }
    }
  }
  DebugOutput(kDebugResult, U("XFileSpec::FindUniqueFileName: ") + answer);
  return answer;
}

// ---- the home folder and the system folders ----

void XFileSpec::GetUserPath(UniStringList* items) {
  m_ustrError = UniString();
  if (items == nullptr) return;
  items->Clear();
  FSRef ref;
  if (FSFindFolder(kUserDomain, kCurrentUserFolderType, kDontCreateFolder, &ref) != noErr) {
    m_ustrError = U("Could not get User Folder.");
    return;
  }
  ParseFSRef(&ref, items);
}

bool XFileSpec::FindSysFolder(enumSysFolder kind) {
  struct stcFolder {
    OSType type;
    SInt16 domain;
  };
  // Kinds 0 to 9 in order; startup items come from domain -32766 (kSystemDomain).
  static stcFolder const kFolders[10] = {
      {kSystemFolderType, kOnSystemDisk},      {kDesktopFolderType, kUserDomain},
      {kSystemDesktopFolderType, kOnSystemDisk}, {kTrashFolderType, kOnSystemDisk},
      {kStartupFolderType, kSystemDomain},     {kPreferencesFolderType, kUserDomain},
      {kTemporaryFolderType, kUserDomain},     {kApplicationsFolderType, kOnSystemDisk},
      {kDocumentsFolderType, kUserDomain},     {kChewableItemsFolderType, kOnSystemDisk}};

  m_ustrError = UniString();
  bool result = false;
  if (kind < 0 || kind > 9) {
    m_ustrError = U("Unknown System Folder Type.");
  } else {
    FSRef ref;
    OSErr const err = FSFindFolder(kFolders[kind].domain, kFolders[kind].type, kCreateFolder, &ref);
    if (err != noErr) {
      m_ustrError = U("Error getting System Folder: ") + GetMacError(err);
    } else {
      result = Set(&ref);
    }
  }
  if (m_ustrError.IsNotEmpty()) {
    DebugOutput(kDebugError, U("XFileSpec::FindSysFolder: ") + m_ustrError);
    return false;
  }
  DebugOutput(kDebugResult, U("XFileSpec::FindSysFolder: ") + GetPath(kPathStyleInternal, true));
  return result;
}

// ---- validation ----

bool XFileSpec::GetFSRef(FSRef* ref, bool itself) {
  bool isDir = false;
  bool isFile = false;
  if (!IsValid(&isDir, &isFile, true, false)) return false;
  UniString path;
  if (itself) {
    if (!isDir && !isFile) return false;
    path = GetPath(kPathStylePOSIX, true);
  } else {
    path = GetPath(kPathStylePOSIX, false);
  }
  FSRef scratch;
  return MakeRef(path, ref ? ref : &scratch, nullptr) == noErr;
}

bool XFileSpec::IsValid(bool* isDir, bool* isFile, bool fullPathOnly, bool) {
  UniString const full = GetPath(kPathStylePOSIX, true);
  if (m_ustrError.IsEmpty()) m_ustrError = U("Unknown Error");
  DebugOutput(kDebugInfo, U("XFileSpec::IsValid: Checking Full Path: ") + full);

  bool valid = false;
  bool dir = false;
  bool file = false;
  if (full.IsNotEmpty()) {
    bool fullIsDir = false;
    if (Exists(full, &fullIsDir)) {
      m_ustrError = UniString();
      valid = true;
      dir = fullIsDir;
      file = !fullIsDir;
    } else if (!fullPathOnly) {
      DebugOutput(kDebugWarning, U("XFileSpec::IsValid: Full Path is invalid, checking individual elements"));
      int const slash = LastPos(full, '/');
      if (slash == 0) {
        m_ustrError = U("Could not find a Forward Slash!");
      } else if (slash == 1) {
        m_ustrError = UniString();
        valid = true;
      } else {
        UniString current = full.Left(slash - 1);
        bool parentIsDir = false;
        if (Exists(current, &parentIsDir)) {
          if (parentIsDir) {
            m_ustrError = UniString();
            valid = true;
          } else {
            m_ustrError = U("Parent Folder is not a Folder (it's a File): ") + AfterLastSlash(current);
          }
        } else {
          // Walk up to the first ancestor that exists.
          while (LastPos(current, '/') > 1) {
            int const p = LastPos(current, '/');
            UniString const missing = current.SubString(p + 1, current.Length() - p);
            current = current.Left(p - 1);
            bool ancestorIsDir = false;
            if (!Exists(current, &ancestorIsDir)) continue;
            if (ancestorIsDir) {
              m_ustrError = U("One of the Parent Folders does not exist: ") + missing;
            } else {
              m_ustrError = U("One of the Parent Folders is not a Folder (it's a File): ") +
                            AfterLastSlash(current);
            }
            break;
          }
        }
      }
    }
  }

  if (isDir != nullptr) *isDir = valid && dir;
  if (isFile != nullptr) *isFile = valid && file;
  if (m_ustrError.IsNotEmpty()) {
    DebugOutput(kDebugError, U("XFileSpec::IsValid: ") + m_ustrError);
  } else {
    DebugOutput(kDebugResult, U("XFileSpec::IsValid: Parent: ") + YesNo(valid) + U("; IsDir: ") +
                                  YesNo(valid && dir) + U("; IsFile: ") + YesNo(valid && file));
  }
  return valid;
}

UniString XFileSpec::GetMacError(int32_t code) {
  struct stcMeaning {
    int32_t code;
    char const* text;
  };
  static stcMeaning const kMeanings[] = {
      {0, " (No Error)"},
      {-33, " (Directory Full)"},
      {-34, " (Disk Full)"},
      {-35, " (No Such Volume)"},
      {-42, " (Too Many Files Open)"},
      {-43, " (File Not Found)"},
      {-44, " (Disk is Write Protected)"},
      {-45, " (File is Locked)"},
      {-46, " (Volume is Locked)"},
      {-47, " (File/Folder is in use)"},
      {-48, " (Duplicate Filename)"},
      {-50, " (Parameter Error)"},
      {-53, " (Volume was Ejected)"},
      {-54, " (Permission Error)"},
      {-56, " (No Such Drive)"},
      {-61, " (Write Permission Error)"},
      {-120, " (Folder Not Found)"},
      {-124, " (Volume was Disconnected)"}};
  UniString text(code);
  for (stcMeaning const& m : kMeanings) {
    if (m.code == code) return text + U(m.text);
  }
  return text;
}

// ---- well-known locations ----

bool My_GetPluginLocationX(XFileSpec* spec) {
  if (spec == nullptr) return false;
  spec->Clear();
  CFStringRef identifier =
      CFStringCreateWithCString(kCFAllocatorDefault, g_strPluginBundleIdentifier, kCFStringEncodingUTF8);
  if (identifier == nullptr) return false;
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(identifier);
  bool const found = SetFromBundle(spec, bundle, "My_GetPluginLocationX: ");
  CFRelease(identifier);
  return found;
}

bool My_GetAppLocationX(XFileSpec* spec) {
  if (spec == nullptr) return false;
  spec->Clear();
  return SetFromBundle(spec, CFBundleGetMainBundle(), "My_GetAppLocationX: ");
}

XFileSpec GetFrontDatabaseLocation() {
  XFileSpec spec;
  FMX_ExternCallPtr block = gFMX_ExternCallPtr;
  if (block == nullptr || block->cCurrentEnv == nullptr) return spec;
  fmx::ExprEnv env;
  if (block->cCurrentEnv(&env) != 0) return spec;
  fmx::Text expression;
  expression.Assign("Get(FilePath)");
  fmx::Data result;
  if (env.Evaluate(expression, result) != 0) return spec;
  UniString const path = ExtractFromFMXText(result.GetAsText());
  // A failed parse may leave an empty item list, which would render as the root folder.
  if (!spec.Set(path)) spec.Clear();
  return spec;
}
