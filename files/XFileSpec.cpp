// XFileSpec model and parsing: the life of the class, path texts and File Manager references
// turned into items, the escaping of names, and the process-wide volume list with its startup
// volume. Rendering, names, validation and locations are in files/XFileSpecPaths.cpp.
// Relies on the File Manager and CFURL stand-ins for volumes and references, on clsDateTime for
// the clock of the 15-second caches, on core/DebugLog.h for its trace lines, and on the shared
// helpers of files/XFileSpecInternal.h.
// Failures leave a message in the file spec's error text (see XFileSpec.h); nothing throws. Loops over
// platform answers are bounded, so a misbehaving platform cannot hang a parse.
#include "files/XFileSpec.h"

#include <new>
#include <vector>

#include "core/DebugLog.h"
#include "core/MacOSGlue.h"
#include "core/clsDateTime.h"
#include "files/XFileSpecInternal.h"
#include "platform/cf/CFURL.h"

using namespace XFileSpecInternal;

UniStringList* XFileSpec::m_ulstVolNames = nullptr;
uint32_t XFileSpec::m_ulngGetVolNamesTimeout = 0;
UniString XFileSpec::m_ustrRootVolName;
uint32_t XFileSpec::m_ulngGetRootVolNameTimeout = 0;

namespace {

// A volume's name as the volume list gives it (the Finder's form: '/' allowed, ':' not) in the
// escaped form of an item, so that a name holding '%', '\' or '/' stays one item and renders back
// to itself; names without them are unchanged.
UniString VolumeItem(UniString const& name) {
  return name.StrSub(U("%"), U("%25")).StrSub(U("\\"), U("%5C")).StrSub(U("/"), U("%2F"));
}

// Both caches are reused for this many seconds.
uint32_t const kCacheSeconds = 15;
// Upper bounds on volume indexes and on the folders climbed to a volume's root.
ItemCount const kMaxVolumeIndex = 4096;
int const kMaxClimb = 4096;

UniString Quoted(UniString const& text) { return U("\"") + text + U("\""); }

unsigned short UpperUnit(unsigned short c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// True when units i+1 and i+2 (upper-cased) make one of the three escapes.
bool StartsEscape(std::vector<unsigned short> const& u, size_t i) {
  if (u[i] != '%' || i + 2 >= u.size()) return false;
  unsigned short const a = UpperUnit(u[i + 1]);
  unsigned short const b = UpperUnit(u[i + 2]);
  return (a == '2' && b == '5') || (a == '5' && b == 'C') || (a == '2' && b == 'F');
}

std::vector<unsigned short> UnitsOf(UniString const& text) {
  unsigned short const* p = text.GetBytes();
  return p ? std::vector<unsigned short>(p, p + text.Length()) : std::vector<unsigned short>();
}

UniString FromUnits(std::vector<unsigned short> const& u) {
  return u.empty() ? UniString() : UniString(u.data(), int(u.size()));
}

void Append(std::vector<unsigned short>& out, char const* ascii) {
  while (*ascii) out.push_back(static_cast<unsigned char>(*ascii++));
}

// Rewrites the units: a '%' that starts an escape is kept (its hexadecimal letters upper-cased);
// every other unit goes through map, which appends its replacement and answers true, or answers
// false to keep the unit. Working on marks instead of a marker text keeps every name intact.
template <class Map>
UniString Rewrite(std::vector<unsigned short> const& u, std::vector<char> const& escape, Map map) {
  std::vector<unsigned short> out;
  out.reserve(u.size() + u.size() / 2);
  for (size_t i = 0; i < u.size(); ++i) {
    if (escape[i]) {
      out.push_back('%');
      out.push_back(UpperUnit(u[i + 1]));
      out.push_back(UpperUnit(u[i + 2]));
      i += 2;
    } else if (!map(out, u[i])) {
      out.push_back(u[i]);
    }
  }
  return FromUnits(out);
}

bool StartsWithUnit(UniString const& text, unsigned short c) {
  return text.Length() > 0 && text.GetBytes()[0] == c;
}

UniString DropFirst(UniString const& text) { return text.SubString(2, text.Length() - 1); }
UniString DropLast(UniString const& text) { return text.Left(text.Length() - 1); }

// The full rule of item cleaning: empty and "." items go, ".." takes the item before it along.
void CleanFull(UniStringList* items) {
  UniString const dot = U(".");
  UniString const dotdot = U("..");
  unsigned int i = 0;
  while (i < items->Count()) {
    UniString const item = items->At(i);
    if (item.IsEmpty() || item == dot) {
      items->Delete(i);
    } else if (item == dotdot) {
      items->Delete(i);
      if (i > 0) {
        items->Delete(i - 1);
        --i;
      }
    } else {
      ++i;
    }
  }
}

// The home rule: only empty and "." items go; ".." is resolved when the home folder is known.
void CleanHome(UniStringList* items) {
  UniString const dot = U(".");
  unsigned int i = 0;
  while (i < items->Count()) {
    UniString const item = items->At(i);
    if (item.IsEmpty() || item == dot) {
      items->Delete(i);
    } else {
      ++i;
    }
  }
}

uint32_t NowSeconds() {
  clsDateTime now;
  now.SetToNow();
  return now.GetAsSeconds();
}

UniString HFSName(HFSUniStr255 const& name) {
  int const n = name.length > 255 ? 255 : name.length;
  return UniString(name.unicode, n);
}

// The POSIX path of a reference through a file URL, without a trailing '/' when trim is set
// ("/" then becomes empty). False when either platform call fails.
bool POSIXPathOfRef(FSRef const* ref, UniString* path, bool trim) {
  CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, ref);
  if (url == nullptr) return false;
  CFStringRef text = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  CFRelease(url);
  if (text == nullptr) return false;
  *path = CFStringToUniString(text);
  CFRelease(text);
  if (trim && EndsWithUnit(*path, '/')) *path = DropLast(*path);
  return true;
}

// Set while a prefixed relative path asks the host for the front database's location: a host
// that answers with such a path again must not send the parse round in circles.
thread_local bool t_bolResolvingFrontDatabase = false;

}  // namespace

// ---- life of the class ----

XFileSpec::XFileSpec()
    : m_ulstFileTypes(nullptr),
      m_lngTypeIndex(0),
      m_lngDialogKind(0),
      m_bytNoTypePopup(0),
      m_ulstPathList(nullptr) {
  Clear();
}

XFileSpec::XFileSpec(XFileSpec const& other)
    : m_ulstFileTypes(other.m_ulstFileTypes),
      m_lngTypeIndex(other.m_lngTypeIndex),
      m_lngDialogKind(other.m_lngDialogKind),
      m_bytNoTypePopup(other.m_bytNoTypePopup),
      m_ulstPathList(nullptr),
      m_ustrError(other.m_ustrError),
      m_ustrProtocol(other.m_ustrProtocol) {
  for (int i = 0; i < 5; ++i) m_ustrPathStrings[i] = other.m_ustrPathStrings[i];
  if (other.m_ulstPathList != nullptr) {
    m_ulstPathList = new (std::nothrow) UniStringList(*other.m_ulstPathList);
  }
}

XFileSpec& XFileSpec::operator=(XFileSpec const& other) {
  if (this == &other) return *this;
  m_ustrError = other.m_ustrError;
  m_ustrProtocol = other.m_ustrProtocol;
  for (int i = 0; i < 5; ++i) m_ustrPathStrings[i] = other.m_ustrPathStrings[i];
  m_ulstFileTypes = other.m_ulstFileTypes;
  m_lngTypeIndex = other.m_lngTypeIndex;
  m_lngDialogKind = other.m_lngDialogKind;
  m_bytNoTypePopup = other.m_bytNoTypePopup;
  delete m_ulstPathList;
  m_ulstPathList = nullptr;
  if (other.m_ulstPathList != nullptr) {
    m_ulstPathList = new (std::nothrow) UniStringList(*other.m_ulstPathList);
  }
  return *this;
}

XFileSpec::~XFileSpec() { Clear(); }

void XFileSpec::Clear() {
  delete m_ulstPathList;
  m_ulstPathList = nullptr;
  m_ustrError = UniString();
  m_ustrProtocol = UniString();
  ClearPathStrings();
}

void XFileSpec::ClearPathStrings() {
  for (int i = 0; i < 5; ++i) m_ustrPathStrings[i] = UniString();
}

// ---- parsing a path text ----

bool XFileSpec::ParsePath(UniString path) {
  clsFuncDebug dbg(U("XFileSpec::ParsePath"));
  dbg.Output(kDebugInfo, U("Attempting to parse: ") + Quoted(path));
  m_ustrError = UniString();
  ClearPathStrings();

  // The body runs once; a failure breaks out with the error text set.
  do {
    if (path.IsEmpty()) {
      m_ustrError = U("No path or file name was specified.");
      break;
    }

    // A host prefix counts only at the very start; the protocol keeps the case as typed.
    m_ustrProtocol = UniString();
    static char const* const kPrefixes[] = {"FILE:",    "IMAGE:",    "MOVIE:",
                                            "FILEMAC:", "IMAGEMAC:", "MOVIEMAC:",
                                            "FILEWIN:", "IMAGEWIN:", "MOVIEWIN:"};
    UniString const upper = path.UpperCase();
    for (char const* prefix : kPrefixes) {
      UniString const p = U(prefix);
      if (upper.Left(p.Length()) != p) continue;
      m_ustrProtocol = path.Left(p.Length() - 1);
      path = path.SubString(p.Length() + 1, path.Length() - p.Length());
      path = path.StrSub(U(":/"), U("/"));
      dbg.Output(kDebugInfo, U("Found FM protocol:") + m_ustrProtocol);
      break;
    }
    if (path.IsEmpty()) {
      m_ustrError = U("No path or file name was specified.");
      break;
    }

    path = NormalizePathDelimiters(path);

    // '~' is special only alone or before '/': ~bob/x is a folder named ~bob.
    if (path.Length() >= 2 && path.GetBytes()[0] == '~' && path.GetBytes()[1] != '/') {
      path = U("/") + path;
    }

    if (!StartsWithUnit(path, '/') && !StartsWithUnit(path, '~')) {
      if (m_ustrProtocol.IsNotEmpty()) {
        // A host path relative to the front database's folder, else to the application's.
        dbg.Output(kDebugInfo, U("Attempting to resolve relative filemaker path"));
        bool resolved = false;
        if (!t_bolResolvingFrontDatabase) {
          t_bolResolvingFrontDatabase = true;
          XFileSpec db = GetFrontDatabaseLocation();
          t_bolResolvingFrontDatabase = false;
          if (db.IsValid(nullptr, nullptr, true, false)) {
            path = db.GetPath(kPathStyleInternal, false) + U("/") + path;
            resolved = true;
          }
        }
        if (!resolved) {
          dbg.Output(kDebugWarning, U("Could not get Front Database Location"));
          XFileSpec app;
          if (My_GetAppLocationX(&app)) {
            path = app.GetPath(kPathStyleInternal, false) + U("/") + path;
          } else {
            dbg.Output(kDebugWarning, U("Could not get FM App Location; using Root."));
            path = U("/") + path;
          }
        }
      } else {
        path = U("/") + path;
      }
    }

    if (path.Left(9).UpperCase() == U("/NETWORK/")) {
      path = U("//") + path.SubString(10, path.Length() - 9);
    }
    dbg.Output(kDebugInfo, U("Transformed path: ") + Quoted(path));

    if (GetVolumeNames(nullptr) < 1) {
      m_ustrError = U("Could not get Volume Names.");
      break;
    }
    // A copy: a log line may reach the log file's own spec, which may rebuild the shared list.
    UniStringList const volumes(*m_ulstVolNames);
    dbg.Output(kDebugInfo, U("Found ") + UniString(uint32_t(volumes.Count())) +
                               U(" Volumes (Root Volume counted twice.)"));

    if (m_ulstPathList == nullptr) {
      m_ulstPathList = new (std::nothrow) UniStringList();
      if (m_ulstPathList == nullptr) {
        m_ustrError = U("Could not allocate memory for Path List.");
        break;
      }
    }
    UniStringList* items = m_ulstPathList;
    items->Clear();
    UniString const rootName = VolumeItem(volumes.At(0).GetName('='));

    if (StartsWithUnit(path, '~')) {
      dbg.Output(kDebugInfo, U("Path starts with '~', so it's a User Path"));
      path = DropFirst(path);
      if (StartsWithUnit(path, '/')) path = DropFirst(path);
      if (EndsWithUnit(path, '/')) path = DropLast(path);
      if (path.IsNotEmpty()) {
        dbg.Output(kDebugInfo, U("Path is not empty"));
        items->BreakApart(path, '/', false, kBreakApartTrimNone);
        CleanHome(items);
        dbg.Output(kDebugInfo, U("Path list has ") + UniString(uint32_t(items->Count())) + U(" items"));
        dbg.Output(kDebugInfo, U("... Adding ") + Quoted(U("~")));
      }
      items->Insert(0, U("~"));
    } else if (path.Length() >= 2 && path.GetBytes()[1] == '/') {
      dbg.Output(kDebugInfo, U("Path starts with ") + Quoted(U("//")) + U(", so it's a UNC path"));
      path = path.SubString(3, path.Length() - 2);
      if (EndsWithUnit(path, '/')) path = DropLast(path);
      if (path.IsNotEmpty()) {
        dbg.Output(kDebugInfo, U("Path is not empty"));
        items->BreakApart(path, '/', false, kBreakApartTrimNone);
        CleanFull(items);
        dbg.Output(kDebugInfo, U("Path list has ") + UniString(uint32_t(items->Count())) + U(" items"));
      }
      // A server is needed: without one the items would render as the root folder.
      if (items->Count() == 0) {
        m_ustrError = U("UNC Path does not appear to be complete (missing server name and share name).");
        break;
      }
      dbg.Output(kDebugInfo, U("... Adding ") + Quoted(U("Network")));
      items->Insert(0, U("Network"));
    } else if (StartsWithUnit(path, '/')) {
      dbg.Output(kDebugInfo, U("Path starts with '/', so it's Absolute"));
      path = DropFirst(path);
      if (EndsWithUnit(path, '/')) path = DropLast(path);
      if (path.IsEmpty()) {
        dbg.Output(kDebugInfo, U("Path is empty, must be the root drive: ") +
                                   Quoted(U("/Volumes/") + rootName));
        items->Add(U("Volumes"));
        items->Add(rootName);
        break;
      }
      dbg.Output(kDebugInfo, U("Path is not empty"));
      items->BreakApart(path, '/', false, kBreakApartTrimNone);
      CleanFull(items);
      dbg.Output(kDebugInfo, U("Path list has ") + UniString(uint32_t(items->Count())) + U(" items"));
      if (items->Count() == 0) break;

      UniString first = items->At(0).UpperCase();
      dbg.Output(kDebugInfo, U("First path item: ") + Quoted(first));
      if (first == U("VOLUMES")) {
        dbg.Output(kDebugInfo, U("... is ") + Quoted(U("Volumes")) + U("; removing"));
        items->Delete(0);
        if (items->Count() == 0) break;
        first = items->At(0).UpperCase();
        dbg.Output(kDebugInfo, U("New first path item: ") + Quoted(first));
      }

      // A volume's name wins over a mount folder's name of another row. The item is compared
      // unescaped: as a name in the Finder's form ("%2F" a '/'), and as a mount folder's name
      // in the POSIX form ("%2F" a ':').
      UniString const firstName = DecodeSlashes(items->At(0), kPathStyleHFS).UpperCase();
      UniString const firstFolder = DecodeSlashes(items->At(0), kPathStylePOSIX).UpperCase();
      bool matched = false;
      for (UniString const& row : volumes) {
        UniString const name = row.GetName('=');
        UniString const upperName = name.UpperCase();
        dbg.Output(kDebugInfo, U("... compared to ") + Quoted(upperName));
        if (firstName == upperName) {
          dbg.Output(kDebugInfo, U("... match!"));
          matched = true;
          break;
        }
        UniString mount = row.GetValue('=').UpperCase();
        int const slash = LastPos(mount, '/');
        if (slash > 0) mount = mount.SubString(slash + 1, mount.Length() - slash);
        if (mount.IsNotEmpty()) {
          dbg.Output(kDebugInfo, U("... compared to ") + Quoted(mount));
          if (firstFolder == mount) {
            dbg.Output(kDebugInfo, U("... match!"));
            items->Delete(0);
            items->Insert(0, VolumeItem(name));
            matched = true;
            break;
          }
        }
      }
      if (!matched) {
        dbg.Output(kDebugInfo, U("... Volume Not found, adding Root Volume: ") + Quoted(rootName));
        items->Insert(0, rootName);
      }
      dbg.Output(kDebugInfo, U("... Adding ") + Quoted(U("Volumes")));
      items->Insert(0, U("Volumes"));
    } else {
      m_ustrError = U("Path does not start with / or ~");
    }
  } while (false);

  if (m_ustrError.IsNotEmpty()) {
    dbg.Output(kDebugError, U("Error: ") + m_ustrError);
    return false;
  }
  dbg.Output(kDebugResult, U("Final Path: ") + GetPath(kPathStyleInternal, true));
  return true;
}

// ---- setting from a File Manager reference ----

bool XFileSpec::Set(FSRef* ref) {
  m_ustrError = UniString();
  ClearPathStrings();
  if (m_ulstPathList == nullptr) {
    m_ulstPathList = new (std::nothrow) UniStringList();
    if (m_ulstPathList == nullptr) {
      m_ustrError = U("Could not allocate memory for Path List.");
      return false;
    }
  }
  m_ulstPathList->Clear();
  ParseFSRef(ref, m_ulstPathList);
  // An unreadable reference leaves no items, which would render as the root folder: a failure.
  return m_ustrError.IsEmpty();
}

bool XFileSpec::Set(FSSpec* spec) {
  m_ustrError = UniString();
  ClearPathStrings();
  FSRef ref;
  if (spec == nullptr || FSpMakeFSRef(spec, &ref) != noErr) {
    m_ustrError = U("Could not make an FSRef out of the FSSpec.");
    return false;
  }
  return Set(&ref);
}

void XFileSpec::ParseFSRef(FSRef* ref, UniStringList* items) {
  clsFuncDebug dbg(U("XFileSpec::ParseFSRef"));
  m_ustrError = UniString();
  if (items == nullptr) return;
  items->Clear();

  UniString path;
  if (ref == nullptr || !POSIXPathOfRef(ref, &path, false)) {
    m_ustrError = U("Could not create URL from FSRef.");
    dbg.Output(kDebugError, m_ustrError);
    return;
  }
  dbg.Output(kDebugInfo, U("Passed in path is ") + Quoted(path));

  // A path from the file system holds no escapes, so every '%' is a name's own.
  path = path.StrSub(U("%"), U("%25")).StrSub(U("\\"), U("%5C")).StrSub(U(":"), U("%2F"));

  if (GetVolumeNames(nullptr) < 1) {
    m_ustrError = U("Could not get Volume Names.");
    dbg.Output(kDebugError, m_ustrError);
    return;
  }
  bool const hasRows = m_ulstVolNames->Count() > 0;
  UniString const rootName = hasRows ? VolumeItem(m_ulstVolNames->At(0).GetName('=')) : UniString();

  if (StartsWithUnit(path, '/')) path = DropFirst(path);
  if (EndsWithUnit(path, '/')) path = DropLast(path);
  if (path.IsEmpty()) {
    dbg.Output(kDebugInfo, U("Path is empty, defaulting to root."));
    items->Add(U("Volumes"));
    if (hasRows) items->Add(rootName);
    return;
  }

  items->BreakApart(path, '/', false, kBreakApartTrimNone);
  unsigned int i = 0;
  while (i < items->Count()) {
    if (items->At(i).IsEmpty()) {
      items->Delete(i);
    } else {
      ++i;
    }
  }
  dbg.Output(kDebugInfo, U("Path list has ") + UniString(uint32_t(items->Count())) + U(" items"));
  if (items->Count() == 0) return;
  if (items->At(0).UpperCase() != U("VOLUMES")) {
    if (hasRows) items->Insert(0, rootName);
    items->Insert(0, U("Volumes"));
  }
}

// ---- escaping ----

UniString XFileSpec::NormalizePathDelimiters(UniString path) {
  enum { kNone, kColon, kSlash, kBackslash } kind = kNone;
  std::vector<unsigned short> u = UnitsOf(path);
  std::vector<char> escape(u.size(), 0);

  // The first delimiter decides the kind; a drive letter's colon next to it is dropped.
  size_t i = 0;
  while (i < u.size()) {
    if (kind == kNone) {
      unsigned short const c = u[i];
      if (c == '/') {
        if (i + 2 < u.size() && u[i + 2] == ':') {
          u.erase(u.begin() + long(i + 2));
          escape.erase(escape.begin() + long(i + 2));
        }
        kind = kSlash;
        ++i;
        continue;
      }
      if (c == '\\') {
        kind = kBackslash;
        ++i;
        continue;
      }
      if (c == ':') {
        if (i + 1 < u.size() && (u[i + 1] == '/' || u[i + 1] == '\\')) {
          kind = u[i + 1] == '/' ? kSlash : kBackslash;
          u.erase(u.begin() + long(i));
          escape.erase(escape.begin() + long(i));
        } else {
          kind = kColon;
        }
        ++i;
        continue;
      }
    }
    if (StartsEscape(u, i)) {
      escape[i] = 1;
      i += 3;
      continue;
    }
    ++i;
  }

  return Rewrite(u, escape, [kind](std::vector<unsigned short>& out, unsigned short c) {
    if (c == '%') {
      Append(out, "%25");
      return true;
    }
    switch (kind) {
      case kColon:
        if (c == '\\') Append(out, "%5C");
        else if (c == '/') Append(out, "%2F");
        else if (c == ':') out.push_back('/');
        else return false;
        return true;
      case kSlash:
        if (c == '\\') Append(out, "%5C");
        else if (c == ':') Append(out, "%2F");
        else return false;
        return true;
      case kBackslash:
        if (c == '/') Append(out, "%2F");
        else if (c == '\\') out.push_back('/');
        else return false;
        return true;
      default:
        return false;
    }
  });
}

UniString XFileSpec::EncodeSlashes(UniString name) {
  if (name.IsEmpty()) return name;
  std::vector<unsigned short> const u = UnitsOf(name);
  std::vector<char> escape(u.size(), 0);
  for (size_t i = 0; i < u.size(); ++i) {
    if (StartsEscape(u, i)) {
      escape[i] = 1;
      i += 2;
    }
  }
  return Rewrite(u, escape, [](std::vector<unsigned short>& out, unsigned short c) {
    if (c == '%') Append(out, "%25");
    else if (c == '\\') Append(out, "%5C");
    else if (c == '/') Append(out, "%2F");
    else return false;
    return true;
  });
}

// ---- the volume list ----

uint32_t XFileSpec::GetVolumeNames(UniStringList* list) {
  if (m_ulstVolNames == nullptr) {
    m_ulstVolNames = new (std::nothrow) UniStringList();
    if (m_ulstVolNames == nullptr) {
      DebugOutput(kDebugError, U("XFileSpec::GetVolumeNames: Could not allocate memory for Volume Names!"));
      return 0;
    }
  }

  uint32_t count = 0;
  uint32_t const now = NowSeconds();
  if (now < m_ulngGetVolNamesTimeout && m_ulstVolNames->Count() > 0) {
    count = m_ulstVolNames->Count();
  } else {
    m_ulngGetVolNamesTimeout = now + kCacheSeconds;
    m_ulstVolNames->Clear();
    m_ulstVolNames->Add(GetRootVolumeName() + U("="));
    for (ItemCount index = 1; index <= kMaxVolumeIndex; ++index) {
      HFSUniStr255 name;
      name.length = 0;
      FSRef root;
      FSVolumeInfo info;
      FSVolumeInfoParam pb = {};
      pb.ioVRefNum = 0;
      pb.volumeIndex = index;
      pb.whichInfo = kFSVolInfoFlags;
      pb.volumeInfo = &info;
      pb.volumeName = &name;
      pb.ref = &root;
      OSErr const err = PBGetVolumeInfoSync(&pb);
      if (err == nsvErr) break;
      if (err != noErr) continue;
      UniString const volume = HFSName(name);
      DebugOutput(kDebugInfo, U("XFileSpec::GetVolumeNames: Found Volume: ") + volume);
      UniString mount;
      if (!POSIXPathOfRef(&root, &mount, true)) mount = UniString();
      DebugOutput(kDebugInfo, U("XFileSpec::GetVolumeNames: ... Mount Point: ") + mount);
      m_ulstVolNames->Add(volume + U("=") + mount);
      ++count;
    }
  }

  if (list != nullptr && list != m_ulstVolNames) list->Assign(m_ulstVolNames);
  return count;
}

UniString XFileSpec::GetRootVolumeName() {
  uint32_t const now = NowSeconds();
  if (now < m_ulngGetRootVolNameTimeout && m_ustrRootVolName.IsNotEmpty()) return m_ustrRootVolName;
  m_ulngGetRootVolNameTimeout = now + kCacheSeconds;

  // Climb from the system folder to the root folder of its volume.
  UniString name;
  bool found = false;
  FSRef ref;
  if (FSFindFolder(kOnSystemDisk, kSystemFolderType, kCreateFolder, &ref) == noErr) {
    for (int step = 0; step < kMaxClimb; ++step) {
      FSCatalogInfo info;
      HFSUniStr255 nodeName;
      nodeName.length = 0;
      FSRef parent;
      FSRefParam pb = {};
      pb.ref = &ref;
      pb.whichInfo = kFSCatInfoParentDirID;
      pb.catInfo = &info;
      pb.outName = &nodeName;
      pb.parentRef = &parent;
      if (PBGetCatalogInfoSync(&pb) != noErr) break;
      if (info.parentDirID == fsRtParID) {
        name = HFSName(nodeName);
        found = true;
        break;
      }
      ref = parent;
    }
  }

  // Otherwise the volume that carries the default-volume flag.
  if (!found) {
    for (ItemCount index = 1; index <= kMaxVolumeIndex; ++index) {
      HFSUniStr255 volumeName;
      volumeName.length = 0;
      FSVolumeInfo info;
      FSVolumeInfoParam pb = {};
      pb.volumeIndex = index;
      pb.whichInfo = kFSVolInfoFlags;
      pb.volumeInfo = &info;
      pb.volumeName = &volumeName;
      if (PBGetVolumeInfoSync(&pb) != noErr) break;
      if (info.flags & kFSVolFlagDefaultVolumeMask) {
        name = HFSName(volumeName);
        break;
      }
    }
  }

  m_ustrRootVolName = name;
  return m_ustrRootVolName;
}

void CleanUpXFileSpec() {
  clsFuncDebug dbg(UniString("CleanUpXFileSpec", 1));
  delete XFileSpec::m_ulstVolNames;
  XFileSpec::m_ulstVolNames = nullptr;
}
