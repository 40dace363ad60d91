// DebugLogFile: finding, creating and appending to the debug log file and the crash log.
// A log file is looked for afresh on every write, starting with the path last written, so a
// file deleted while the system runs is simply made again. Appending goes through an
// unbuffered write-mode file stream, so each write reaches the file at once.
// New log files are made readable by their owner only; in a folder others can write, a file
// another user owns or a link is never joined.
// Both writers run with the debug log's busy flag held, which silences the file layer's own
// trace lines meanwhile; the crash log takes the log's lock only for a brief, bounded wait
// while it copies the back-log, and leaves the back-log out when it cannot get it.
#include "core/DebugLogFile.h"

#include <vector>

#include "core/DebugLog.h"
#include "core/MacOSGlue.h"
#include "core/PrivateItems.h"
#include "core/clsDateTime.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"
#include "platform/carbon/MacTypes.h"
#include "platform/mp/Multiprocessing.h"

UniString g_ustrDebugLogFileName;
UniString g_ustrCrashLogFileName;

namespace {

char const kProductName[] = "Velmora";
char const kProductVersion[] = "1.1.3";
char const kDebugLogSuffix[] = " Debug Log.txt";
char const kCrashLogSuffix[] = " Crash Log.txt";
char const kDataForkName[] = "XFSDataFork";
OSType const kLogCreator = MakeFourCharCode("R*ch");
OSType const kLogFileType = MakeFourCharCode("TEXT");
int const kEncodingUTF8 = 1;
// How long the crash log waits for the debug log's lock before it leaves the back-log out.
Duration const kCrashLogLockWait = 100 * kDurationMillisecond;

UniString U(char const* text) { return UniString(text); }

enum enumLogFileState { kLogFileNone, kLogFileExisting, kLogFileNew };

// In a folder others can write (the shared temporary folder, a volume's root), an item another
// user owns, a link or anything but a plain file may have been planted there: it is never used.
bool PlantedInSharedFolder(XFileSpec const& spec) {
  XFileSpec folder(spec);
  folder.RemoveFileOrDirName();
  if (!FolderOthersCanWrite(folder)) return false;
  XFileSpec item(spec);
  stcItemInfo info;
  if (!GetItemInfo(item, &info)) return false;
  return info.bolFolder || info.bolLink || info.ulngOwner != CurrentUserID();
}

// The file spec names the log file inside a folder that was found: use the file when it is there,
// otherwise create it, readable by its owner only. A planted item passes the candidate over.
enumLogFileState UseOrCreate(XFileSpec* spec) {
  if (PlantedInSharedFolder(*spec)) return kLogFileNone;
  if (spec->XFileExists(UniString())) return kLogFileExisting;
  if (CreatePrivateFile(*spec, kLogCreator, kLogFileType)) return kLogFileNew;
  return kLogFileNone;
}

// A folder candidate: the file name goes into the folder the file spec names.
enumLogFileState InFolder(XFileSpec* spec, UniString const& fileName) {
  spec->AddFileOrDirName(fileName);
  return UseOrCreate(spec);
}

// The preferences folder's "QRV/Velmora/1.1", each level created when missing and kept
// private (mode 0700).
bool EnterPreferencesSubFolders(XFileSpec* spec) {
  if (!spec->FindSysFolder(kSysFolderPreferences)) return false;
  for (char const* folder : {"QRV", kProductName, "1.1"}) {
    UniString const name(folder);
    if (!spec->XDirExists(name)) spec->XCreateDir(name);
    if (!spec->SelectDirName(name)) return false;
    MakeFolderPrivate(*spec);
  }
  return true;
}

// Leaves spec naming the first usable log file of the candidates, and says whether it was
// already there. An unusable cached path is emptied.
enumLogFileState FindLogFile(UniString* cache, UniString const& fileName, bool pluginFolder,
                             XFileSpec* spec) {
  if (cache->IsNotEmpty()) {
    spec->Clear();
    if (spec->Set(*cache) && spec->XFileExists(UniString()) && !PlantedInSharedFolder(*spec)) {
      return kLogFileExisting;
    }
    *cache = UniString();
  }

  enumLogFileState state = kLogFileNone;
  spec->Clear();
  if (spec->FindSysFolder(kSysFolderDesktop)) state = InFolder(spec, fileName);
  if (state != kLogFileNone) return state;

  if (pluginFolder) {
    spec->Clear();
    if (My_GetPluginLocationX(spec)) {
      spec->RemoveFileOrDirName();
      state = InFolder(spec, fileName);
      if (state != kLogFileNone) return state;
    }
  }

  spec->Clear();
  if (spec->Set(U("/") + fileName)) state = UseOrCreate(spec);
  if (state != kLogFileNone) return state;

  spec->Clear();
  if (EnterPreferencesSubFolders(spec)) state = InFolder(spec, fileName);
  if (state != kLogFileNone) return state;

  spec->Clear();
  if (spec->FindSysFolder(kSysFolderTemporaryItems)) state = InFolder(spec, fileName);
  return state;
}

// Appends the lines (UTF-8, CR after each) to the found file and remembers its path. A new
// file is emptied first; an existing one is written at its end.
void AppendLines(XFileSpec* spec, enumLogFileState state, std::vector<UniString> const& lines,
                 UniString* cache) {
  XFileStream stream(0);
  if (!stream.AttachToFile(*spec, 1, U(kDataForkName))) return;
  bool const placed =
      state == kLogFileNew ? stream.SetSize(0, kStreamFromStart) : stream.SetPos(0, kStreamFromEnd);
  if (!placed) return;
  for (UniString const& line : lines) stream.WriteLine(line, kLineEndingCR, kEncodingUTF8);
  *cache = spec->GetPath(kPathStylePOSIX, true);
}

void WriteLog(UniString* cache, char const* suffix, bool pluginFolder,
              std::vector<UniString> const& lines) {
  XFileSpec spec;
  UniString const fileName = U(kProductName) + U(suffix);
  enumLogFileState const state = FindLogFile(cache, fileName, pluginFolder, &spec);
  if (state == kLogFileNone) return;
  AppendLines(&spec, state, lines, cache);
}

// Copies the back-log while holding the debug log's lock, so a thread still logging cannot
// change it underneath. False when there is no back-log or the lock cannot be had in time.
bool CopyBackLog(std::vector<UniString>* lines) {
  if (!g_bolDebugInitialized || g_ulstDebugBackLog == nullptr) return false;
  MPCriticalRegionID const lock = g_udtDebugLock;
  if (lock == nullptr) return false;
  if (MPEnterCriticalRegion(lock, kCrashLogLockWait) != noErr) return false;
  bool copied = false;
  try {
    if (g_bolDebugInitialized && g_ulstDebugBackLog != nullptr) {
      lines->assign(g_ulstDebugBackLog->begin(), g_ulstDebugBackLog->end());
      copied = true;
    }
  } catch (...) {
    lines->clear();
  }
  MPExitCriticalRegion(lock);
  return copied;
}

// Clears the busy flag on every way out of the crash log.
class clsBusyRelease {
 public:
  clsBusyRelease() = default;
  ~clsBusyRelease() { g_bolDebugOutputBusy.store(false); }
  clsBusyRelease(clsBusyRelease const&) = delete;
  clsBusyRelease& operator=(clsBusyRelease const&) = delete;
};

}  // namespace

void DoDebugLogFile(UniString const& line) {
  try {
    WriteLog(&g_ustrDebugLogFileName, kDebugLogSuffix, true, std::vector<UniString>{line});
  } catch (...) {
    // A line that cannot be written stays in the back-log only.
  }
}

void DoCrashLog(UniString crashingFunction) {
  // Claimed, not merely tested: a debug line on another thread claims the same flag.
  if (g_bolDebugOutputBusy.exchange(true)) return;
  clsBusyRelease release;

  try {
    std::vector<UniString> backLog;
    bool const haveBackLog = CopyBackLog(&backLog) && !backLog.empty();

    clsDateTime now;
    now.SetToNow();
    std::vector<UniString> lines;
    lines.push_back(U("Plugin: ") + U(kProductName) + U(" v.") + U(kProductVersion));
    lines.push_back(U("OS: ") + UniString(GetMacOSVersion(nullptr, nullptr, nullptr)));
    lines.push_back(U("DateTimeStamp: ") + UniString(now.GetAsString()));
    lines.push_back(U("CrashingFunction: ") + crashingFunction);
    lines.push_back(UniString());
    if (haveBackLog) {
      lines.push_back(U("Debug Back Log:"));
      lines.insert(lines.end(), backLog.begin(), backLog.end());
      lines.push_back(UniString());
    }
    lines.push_back(UniString());
    lines.push_back(UniString());

    WriteLog(&g_ustrCrashLogFileName, kCrashLogSuffix, false, lines);
  } catch (...) {
    // The record is lost; the handler still reports the crash to the user.
  }
}
