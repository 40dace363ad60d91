// XFileStream: the file-fork stream. Attaching and switching forks, the buffered byte
// operations over the unbuffered fork primitives, sizes, positions and Find.
// The buffer is a read-ahead block in the read modes (block start, valid bytes and the
// position's index inside it) and a write-behind queue in write mode (the index counts the
// waiting bytes). Reads and peeks served from the loaded block touch neither the fork nor any
// string, and ReadLine scans a line that lies inside the block in one pass (UTF-8 decoded
// sixteen bytes at a time, runs of one- to three-byte characters without a branch on their mix
// where the processor has a byte shuffle, sixty-four at a time where it has AVX-512's masked
// bytes and word compress; a code page by its converter in one go), leaving every other line to
// XStream's byte-by-byte reader.
// In mode 2 a changed block is written back to the offset it was read from before the fork is
// used for anything else.
// Relies on the File Manager's fork calls; platform codes appear in messages as
// "; MacError: " texts from XFileSpec::GetMacError. Nothing throws.
#include "files/XFileStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "core/DebugLog.h"
#include "core/UniConverter.h"
#include "core/MacOSGlue.h"
#include "core/Prefault.h"
#include "platform/cf/CFBase.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <tmmintrin.h>
#define XFILESTREAM_SHUFFLE_DECODE 1
#if defined(__x86_64__)
#include <immintrin.h>
#define XFILESTREAM_WIDE_DECODE 1
#endif
#endif
#endif

namespace {

constexpr FSIORefNum kNoFork = static_cast<FSIORefNum>(0xFFFF);
constexpr int32_t kFindBlockBytes = 16384;
// Buffers from this size on are for bulk reading and writing, and have their pages brought in
// before their first block read.
constexpr int32_t kPrefaultedBuffer = 128 * 1024;

char const kDataForkName[] = "XFSDataFork";
char const kResourceForkName[] = "XFSResFork";

void (*g_pfnWriteHook)() = nullptr;

// Sizes and positions are 32-bit: a fork of 2 GB or more is refused, never cut to its low bits.
bool FitsStream(SInt64 value) { return value >= 0 && value <= SInt64(INT32_MAX); }

}  // namespace

XFileStream::XFileStream(int32_t bufferSize)
    : m_intForkRef(kNoFork),
      m_lngMode(kXFileStreamRead),
      m_bolAttached(false),
      m_bolDirty(false),
      m_pbytBuffer(nullptr),
      m_lngBufferSize(0),
      m_lngBlockStart(0),
      m_lngBlockEnd(0),
      m_lngBufferIndex(0),
      m_lngValidBytes(0),
      m_bolReplacing(false),
      m_refReplaceNew(),
      m_refReplaceFolder() {
  if (bufferSize > 0) {
    m_pbytBuffer = new (std::nothrow) unsigned char[static_cast<size_t>(bufferSize)];
    if (m_pbytBuffer != nullptr) m_lngBufferSize = bufferSize;
  }
}

XFileStream::~XFileStream() {
  AbandonReplace();
  FlushWriteBuffer();
  CloseFork();
  delete[] m_pbytBuffer;
}

bool XFileStream::Fail(UniString const& message) {
  m_ustrError = message;
  return false;
}

bool XFileStream::FailMac(char const* prefix, OSErr code) {
  m_ustrError = UniString(prefix) + XFileSpec::GetMacError(code);
  return false;
}

// ---- attaching ----

void XFileStream::CloseFork() {
  if (m_intForkRef != kNoFork) FSCloseFork(m_intForkRef);
  m_intForkRef = kNoFork;
}

void XFileStream::Detach() {
  CloseFork();
  m_bolAttached = false;
  m_bolDirty = false;
  m_lngSize = 0;
  m_lngPosition = 0;
  m_lngBlockStart = 0;
  m_lngBlockEnd = 0;
  m_lngBufferIndex = 0;
  m_lngValidBytes = 0;
}

// Lets go of the previous file before a new attachment. What the buffer still holds belongs
// to that file; losing it must not pass unseen.
bool XFileStream::DetachFlushed() {
  AbandonReplace();
  ResetError("Unknown Error");
  bool const flushed = DoFlush();
  UniString const flushError = m_ustrError;
  Detach();
  m_lngMode = kXFileStreamRead;
  if (!flushed) return Fail(flushError);
  ResetError("Unknown Error");
  return true;
}

bool XFileStream::AttachToFile(XFileSpec file, int mode, UniString fork) {
  clsFuncDebug trace("XFileStream::AttachToFile");
  if (!DetachFlushed()) return false;

  if (mode < kXFileStreamRead || mode > kXFileStreamReadWrite) {
    // No fork can be opened in an unknown mode, so the file is neither created nor opened.
    SInt64 ignored = 0;
    OSErr err = FSGetForkSize(kNoFork, &ignored);
    if (err == noErr) err = rfNumErr;
    return FailMac("Could not get File Size; MacError: ", err);
  }
  if (!file.XFileExists(UniString())) {
    if (mode == kXFileStreamRead) return Fail("File does not exist.");
    if (!file.XCreateFile(UniString(), 0, 0, true)) {
      return Fail(UniString("Could not create file: ") + file.ErrorString());
    }
  }
  m_xfsFile = file;
  return OpenFork(fork, mode);
}

bool XFileStream::SwitchForks(UniString fork) {
  clsFuncDebug trace("XFileStream::SwitchForks");
  ResetError("Unknown Error");
  if (!m_bolAttached) return Fail("Not attached to any file.");
  int32_t const mode = m_lngMode;
  bool const flushed = DoFlush();
  UniString const flushError = m_ustrError;
  Detach();
  if (!flushed) return Fail(flushError);
  ResetError("Unknown Error");
  return OpenFork(fork, mode);
}

bool XFileStream::OpenFork(UniString const& fork, int32_t mode) {
  FSRef ref;
  if (!m_xfsFile.GetFSRef(&ref, true)) return Fail("Could not get an FSRef.");

  HFSUniStr255 name;
  std::memset(&name, 0, sizeof name);
  if (fork == UniString(kDataForkName)) {
    OSErr const err = FSGetDataForkName(&name);
    if (err != noErr) return FailMac("Could not get Data Fork Name; MacError: ", err);
  } else if (fork == UniString(kResourceForkName)) {
    OSErr const err = FSGetResourceForkName(&name);
    if (err != noErr) return FailMac("Could not get Resource Fork Name; MacError: ", err);
  } else {
    CFStringRef const text = UniStringToCFString(fork);
    if (text == nullptr) return Fail("Could not convert Fork Name.");
    CFStringToHFSUniStr255(text, &name);
    CFRelease(text);
  }

  SInt8 const permission = mode == kXFileStreamRead ? fsRdPerm
                           : mode == kXFileStreamWrite ? fsWrPerm
                                                       : fsRdWrPerm;
  FSIORefNum forkRef = kNoFork;
  OSErr err = FSOpenFork(&ref, name.length, name.unicode, permission, &forkRef);
  if (err != noErr) return FailMac("Could not open file; MacError: ", err);
  m_intForkRef = forkRef;

  SInt64 forkSize = 0;
  err = FSGetForkSize(m_intForkRef, &forkSize);
  if (err != noErr) {
    CloseFork();
    return FailMac("Could not get File Size; MacError: ", err);
  }
  if (!FitsStream(forkSize)) {
    CloseFork();
    return Fail(TooLarge());
  }
  m_lngSize = static_cast<int32_t>(forkSize);

  if (mode != kXFileStreamWrite && m_lngBufferSize > 0) {
    int32_t const wanted = m_lngSize < m_lngBufferSize ? m_lngSize : m_lngBufferSize;
    ByteCount got = 0;
    if (wanted > 0) {
      PrefaultBufferForReading();
      err = FSReadFork(m_intForkRef, fsAtMark, 0, static_cast<ByteCount>(wanted), m_pbytBuffer,
                       &got);
      if (err != noErr && !(err == eofErr && got > 0)) {
        CloseFork();
        m_lngSize = 0;
        return FailMac("Could not read from file; MacError: ", err);
      }
    }
    m_lngValidBytes = static_cast<int32_t>(got);
    m_lngBlockEnd = m_lngValidBytes;
  }
  m_lngBlockStart = 0;
  m_lngBufferIndex = 0;
  m_bolDirty = false;
  m_lngMode = mode;
  m_bolAttached = true;
  m_lngPosition = 0;
  ClearError();
  return true;
}

// ---- replacing a whole file ----

namespace {

// Type and creator are the first two fields of a file's Finder information (FileInfo).
void PutFourCharCode(UInt8* at, uint32_t code) { std::memcpy(at, &code, sizeof code); }

// Where and under which name the new files of replacements are made: hidden, never taken for
// a preference or a sidecar, unique in the process.
UniString NewFileName(uint32_t attempt) {
  static std::atomic<uint32_t> s_ulngCounter{0};
  std::string const name = ".velmora-save-" + std::to_string(getpid()) + "-" +
                           std::to_string(++s_ulngCounter) + "-" + std::to_string(attempt);
  return UniString(name.c_str());
}

}  // namespace

void SetFileStreamWriteHookForTesting(void (*hook)()) { g_pfnWriteHook = hook; }

bool GetFolderAndCatalogName(XFileSpec const& item, FSRef* folder, UniString* name) {
  XFileSpec spec(item);
  // An escaped item name as its plain form; a '/' in it is ':' to the File Manager.
  *name = XFileSpec::DecodeSlashes(spec.GetFileOrDirName(kPathStyleInternal), kPathStylePOSIX)
              .StrSub(UniString(":"), UniString("/"), false);
  spec.RemoveFileOrDirName();
  return name->IsNotEmpty() && spec.GetFSRef(folder, true);
}

void XFileStream::AbandonReplace() {
  if (!m_bolReplacing) return;
  m_bolReplacing = false;
  m_lngBufferIndex = 0;  // the waiting bytes belong to the new file, which goes
  CloseFork();
  FSDeleteObject(&m_refReplaceNew);
  Detach();
}

bool XFileStream::AttachForReplace(XFileSpec file, uint32_t creator, uint32_t fileType,
                                   int32_t permissions) {
  clsFuncDebug trace("XFileStream::AttachForReplace");
  if (!DetachFlushed()) return false;

  // The item the path names in its folder, found by name: a link there is the link itself.
  FSRef folder;
  UniString name;
  if (!GetFolderAndCatalogName(file, &folder, &name)) {
    return Fail("Could not get the Folder's FSRef.");
  }

  FSCatalogInfo info;
  std::memset(&info, 0, sizeof info);
  FSCatalogInfoBitmap which = kFSCatInfoFinderInfo;
  PutFourCharCode(info.finderInfo, fileType);
  PutFourCharCode(info.finderInfo + 4, creator);
  FSRef old;
  FSCatalogInfo oldInfo;
  if (FSMakeFSRefUnicode(&folder, name.Length(), name.GetBytes(), kTextEncodingUnknown, &old) ==
          noErr &&
      FSGetCatalogInfo(&old, kFSCatInfoNodeFlags | kFSCatInfoFinderInfo | kFSCatInfoPermissions,
                       &oldInfo, nullptr, nullptr, nullptr) == noErr) {
    if ((oldInfo.nodeFlags & kFSNodeIsDirectoryMask) != 0) {
      return Fail("A Folder already exists with the name given for the File.");
    }
    bool const link = (oldInfo.permissions[2] & S_IFMT) == S_IFLNK;
    if (!link) {
      // The old file's Finder information, owner and mode carry over to its successor.
      std::memcpy(info.finderInfo, oldInfo.finderInfo, sizeof info.finderInfo);
      std::memcpy(info.extFinderInfo, oldInfo.extFinderInfo, sizeof info.extFinderInfo);
      which |= kFSCatInfoPermissions;
      std::memcpy(info.permissions, oldInfo.permissions, sizeof info.permissions);
    }
  }
  if (permissions >= 0) {
    if ((which & kFSCatInfoPermissions) == 0) {
      info.permissions[0] = static_cast<UInt32>(geteuid());
      info.permissions[1] = static_cast<UInt32>(getegid());
    }
    which |= kFSCatInfoPermissions;
    info.permissions[2] = (info.permissions[2] & ~UInt32(07777)) | (UInt32(permissions) & 0777);
  }

  FSRef created;
  UniString newName;
  OSErr err = dupFNErr;
  for (uint32_t attempt = 0; attempt < 100 && err == dupFNErr; ++attempt) {
    newName = NewFileName(attempt);
    err = FSCreateFileUnicode(&folder, newName.Length(), newName.GetBytes(), which, &info,
                              &created, nullptr);
  }
  if (err != noErr) return FailMac("Could not create the new File; MacError: ", err);

  m_xfsFile = file;
  m_xfsFile.RemoveFileOrDirName();
  m_xfsFile.AddFileOrDirName(newName);
  if (!OpenFork(UniString(kDataForkName), kXFileStreamWrite)) {
    UniString const error = m_ustrError;
    FSDeleteObject(&created);
    return Fail(error);
  }
  m_refReplaceNew = created;
  m_refReplaceFolder = folder;
  m_ustrReplaceName = name;
  m_bolReplacing = true;
  return true;
}

bool XFileStream::CommitReplace() {
  clsFuncDebug trace("XFileStream::CommitReplace");
  ResetError("Unknown Error");
  if (!m_bolReplacing) return Fail("No File is being replaced.");
  OSErr err = noErr;
  if (!DoFlush()) {
    UniString const error = m_ustrError;
    AbandonReplace();
    return Fail(error);
  }
  err = FSFlushFork(m_intForkRef);
  if (err != noErr) {
    AbandonReplace();
    return FailMac("Could not flush the new File to Disk; MacError: ", err);
  }
  CloseFork();

  UniString const& name = m_ustrReplaceName;
  for (int attempt = 0; attempt < 2; ++attempt) {
    FSRef old;
    err = FSMakeFSRefUnicode(&m_refReplaceFolder, name.Length(), name.GetBytes(),
                             kTextEncodingUnknown, &old);
    if (err == noErr) {
      err = FSExchangeObjects(&m_refReplaceNew, &old);
      // What now carries the new file's name is the old content (or the link that was there).
      if (err == noErr) FSDeleteObject(&m_refReplaceNew);
      break;
    }
    if (err != fnfErr) break;
    // A free name takes the new file; one made meanwhile by another process is exchanged.
    err = FSRenameUnicode(&m_refReplaceNew, name.Length(), name.GetBytes(), kTextEncodingUnknown,
                          nullptr);
    if (err != dupFNErr) break;
  }
  if (err != noErr) {
    AbandonReplace();
    return FailMac("Could not put the new File in place; MacError: ", err);
  }
  m_bolReplacing = false;
  Detach();
  ClearError();
  return true;
}

// ---- the buffer ----

void XFileStream::FlushWriteBuffer() {
  ClearError();
  DoFlush();
}

bool XFileStream::DoFlush() {
  if (!m_bolAttached || m_lngBufferSize == 0) return true;
  if (m_lngMode == kXFileStreamWrite) {
    if (m_lngBufferIndex == 0) return true;
    InternalWriteBytes(m_pbytBuffer, m_lngBufferIndex);
    // On a failure the bytes stay waiting, so a later flush can still deliver them.
    if (m_ustrError.IsNotEmpty()) return false;
    m_lngBufferIndex = 0;
    return true;
  }
  if (m_lngMode == kXFileStreamReadWrite) return WriteBackBlock();
  return true;
}

bool XFileStream::WriteBackBlock() {
  if (!m_bolDirty) return true;
  if (!InternalSetFilePos(m_lngBlockStart, kStreamFromStart)) return false;
  if (m_lngValidBytes > 0) {
    int32_t const written = InternalWriteBytes(m_pbytBuffer, m_lngValidBytes);
    if (m_ustrError.IsNotEmpty()) return false;
    if (written != m_lngValidBytes) return FailMac("Could not write to file; MacError: ", ioErr);
  }
  m_bolDirty = false;
  return true;
}

void XFileStream::PrefaultBufferForReading() {
  // A large buffer that a read is to fill at once has its pages brought in with one call before
  // the first such read, instead of a fault each. One that only takes writes fills bit by bit,
  // and its pages come in as it does, on the thread that writes.
  if (!m_bolBufferPrefaulted && m_lngBufferSize >= kPrefaultedBuffer) {
    PrefaultPages(m_pbytBuffer, static_cast<size_t>(m_lngBufferSize));
  }
  m_bolBufferPrefaulted = true;
}

bool XFileStream::LoadBlock(int32_t blockStart) {
  m_lngBlockStart = blockStart;
  m_lngBlockEnd = blockStart;
  m_lngValidBytes = 0;
  m_lngBufferIndex = 0;
  if (!InternalSetFilePos(blockStart, kStreamFromStart)) return false;
  if (blockStart < m_lngSize) {
    PrefaultBufferForReading();
    // A block at the end of the file holds nothing and is no error.
    int32_t const got = InternalReadBytes(m_pbytBuffer, m_lngBufferSize);
    if (m_ustrError.IsNotEmpty()) return false;
    m_lngValidBytes = got;
    m_lngBlockEnd = blockStart + got;
  }
  return true;
}

bool XFileStream::LoadBlockAt(int32_t target) {
  if (!LoadBlock(target - target % m_lngBufferSize)) return false;
  m_lngPosition = target;
  m_lngBufferIndex = target - m_lngBlockStart;
  return true;
}

// ---- positions and sizes ----

bool XFileStream::SetPos(int32_t offset, int origin) {
  ClearError();
  if (!m_bolAttached) return Fail("Not attached to any file.");
  if (m_lngMode == kXFileStreamWrite || m_lngBufferSize == 0) {
    if (m_lngMode == kXFileStreamWrite && !DoFlush()) return false;
    if (!InternalSetFilePos(offset, origin)) return false;
    int32_t const position = InternalGetFilePos();
    if (m_ustrError.IsNotEmpty()) return false;
    m_lngPosition = position;
    return true;
  }
  int32_t const target = TargetOf(offset, origin);
  if (target >= m_lngBlockStart && target < m_lngBlockEnd) {
    m_lngPosition = target;
    m_lngBufferIndex = target - m_lngBlockStart;
    return true;
  }
  if (!WriteBackBlock()) return false;
  if (!LoadBlockAt(target)) return false;
  ClearError();
  return true;
}

bool XFileStream::SetSize(int32_t size, int origin) {
  ClearError();
  if (!m_bolAttached) return Fail("Not attached to any file.");
  if (m_intForkRef == kNoFork) return Fail("File Fork is not open!");
  if (m_lngMode == kXFileStreamRead) {
    return Fail("Can only set the File size in Write or Read/Write Mode.");
  }
  // The fork must hold every byte written so far before its length is changed, or the
  // waiting bytes would land beyond the new end later.
  if (!DoFlush()) return false;
  if (size == m_lngSize) return true;

  OSErr err = noErr;
  switch (origin) {
    case kStreamFromStart:
      err = FSSetForkSize(m_intForkRef, fsFromStart, size > 0 ? size : 0);
      break;
    case kStreamFromEnd: {
      int64_t const distance = size < 0 ? -int64_t{size} : int64_t{size};
      err = distance < m_lngSize ? FSSetForkSize(m_intForkRef, fsFromLEOF, -distance)
                                 : FSSetForkSize(m_intForkRef, fsFromStart, 0);
      break;
    }
    case kStreamFromPosition: {
      // Counted from the stream's position, which the fork's mark need not share in mode 2.
      int64_t const end = int64_t{m_lngPosition} + size;
      err = FSSetForkSize(m_intForkRef, fsFromStart, end > 0 ? end : 0);
      break;
    }
    default:
      break;
  }
  bool ok = true;
  if (err != noErr) {
    FailMac("Could not set File Size; MacError: ", err);
    ok = false;
  }
  int32_t const newSize = InternalGetFileSize();
  if (m_ustrError.IsNotEmpty()) return false;
  m_lngSize = newSize;
  if (m_lngBufferSize > 0 && m_lngMode == kXFileStreamReadWrite && m_lngBlockEnd > newSize) {
    // The loaded block must not keep bytes the fork no longer has.
    m_lngValidBytes = newSize > m_lngBlockStart ? newSize - m_lngBlockStart : 0;
    m_lngBlockEnd = m_lngBlockStart + m_lngValidBytes;
  }
  if (m_lngPosition > m_lngSize) {
    if (!SetPos(m_lngSize, kStreamFromStart)) return false;
  }
  if (!ok) return FailMac("Could not set File Size; MacError: ", err);
  ClearError();
  return true;
}

// ---- reading ----

inline bool XFileStream::BlockHolds(unsigned char const* buffer, int32_t count) const {
  return m_lngBufferSize > 0 && m_bolAttached && m_lngMode != kXFileStreamWrite &&
         buffer != nullptr && count > 0 && count < m_lngValidBytes - m_lngBufferIndex &&
         count <= m_lngSize - m_lngPosition;
}

inline void XFileStream::CopyFromBlock(unsigned char* buffer, int32_t count) const {
  if (count == 1) {
    *buffer = m_pbytBuffer[m_lngBufferIndex];
  } else {
    std::memcpy(buffer, m_pbytBuffer + m_lngBufferIndex, static_cast<size_t>(count));
  }
}

bool XFileStream::CheckReadRequest(unsigned char const* buffer, int32_t count, int32_t* wanted) {
  ClearError();
  if (buffer == nullptr) return Fail("Output Buffer is NULL!");
  if (!m_bolAttached) return Fail("Not attached to any file.");
  if (m_lngMode == kXFileStreamWrite) return Fail("File is not in Read or Read/Write Mode.");
  if (count <= 0) return false;
  int32_t const left = m_lngSize - m_lngPosition;
  *wanted = count > left ? (left > 0 ? left : 0) : count;
  return true;
}

int32_t XFileStream::ReadBytes(unsigned char* buffer, int32_t count) {
  // The common case first: the bytes lie inside the loaded block.
  if (BlockHolds(buffer, count)) {
    CopyFromBlock(buffer, count);
    m_lngBufferIndex += count;
    m_lngPosition += count;
    ClearError();
    return count;
  }

  int32_t wanted = 0;
  if (!CheckReadRequest(buffer, count, &wanted)) return 0;

  if (m_lngBufferSize == 0) {
    int32_t const got = InternalReadBytes(buffer, wanted);
    if (m_ustrError.IsNotEmpty()) return 0;
    m_lngPosition += got;
    return got;
  }

  // The request reaches the end of the loaded block.
  if (!WriteBackBlock()) return 0;
  // A failure past this point returns 0, so the bytes already copied must not count as read:
  // the position goes back to where the request began, with an empty block there (the next
  // read or SetPos loads it afresh).
  int32_t const startPosition = m_lngPosition;
  auto failRead = [this, startPosition]() -> int32_t {
    m_lngPosition = startPosition;
    m_lngBlockStart = m_lngBlockEnd = startPosition;
    m_lngValidBytes = 0;
    m_lngBufferIndex = 0;
    return 0;
  };
  int32_t const rest = m_lngValidBytes - m_lngBufferIndex > 0 ? m_lngValidBytes - m_lngBufferIndex : 0;
  int32_t const fromBlock = rest < wanted ? rest : wanted;
  if (fromBlock > 0) std::memcpy(buffer, m_pbytBuffer + m_lngBufferIndex, static_cast<size_t>(fromBlock));
  m_lngBufferIndex += fromBlock;
  m_lngPosition += fromBlock;
  int32_t total = fromBlock;
  if (m_lngPosition >= m_lngSize) {
    m_ustrErrorDetail = "No bytes left to read";
    return total;
  }
  if (total == wanted && m_lngBufferIndex < m_lngValidBytes) return total;

  // Whole blocks go straight from the fork into the caller's memory.
  int32_t const direct = ((wanted - total) / m_lngBufferSize) * m_lngBufferSize;
  if (direct > 0) {
    if (!InternalSetFilePos(m_lngPosition, kStreamFromStart)) return failRead();
    int32_t const got = InternalReadBytes(buffer + total, direct);
    if (m_ustrError.IsNotEmpty()) return failRead();
    m_lngPosition += got;
    total += got;
    // The loaded block no longer surrounds the position: start an empty one there.
    m_lngBlockStart = m_lngBlockEnd = m_lngPosition;
    m_lngValidBytes = 0;
    m_lngBufferIndex = 0;
    if (m_lngPosition >= m_lngSize) {
      m_ustrErrorDetail = "No bytes left to read";
      return total;
    }
  }

  // The next block, from where the stream now stands.
  if (!LoadBlock(m_lngPosition)) return failRead();
  int32_t missing = wanted - total;
  if (missing > m_lngValidBytes) missing = m_lngValidBytes;
  if (missing > 0) {
    std::memcpy(buffer + total, m_pbytBuffer, static_cast<size_t>(missing));
    m_lngBufferIndex = missing;
    m_lngPosition += missing;
    total += missing;
  }
  ClearError();
  if (m_lngPosition >= m_lngSize) m_ustrErrorDetail = "No bytes left to read";
  return total;
}

int32_t XFileStream::PeekBytes(unsigned char* buffer, int32_t count) {
  if (BlockHolds(buffer, count)) {
    CopyFromBlock(buffer, count);
    ClearError();
    return count;
  }

  int32_t wanted = 0;
  if (!CheckReadRequest(buffer, count, &wanted)) return 0;

  int32_t total = 0;
  int32_t forkOffset = m_lngPosition;
  if (m_lngBufferSize > 0) {
    int32_t const rest = m_lngValidBytes - m_lngBufferIndex > 0 ? m_lngValidBytes - m_lngBufferIndex : 0;
    total = rest < wanted ? rest : wanted;
    if (total > 0) std::memcpy(buffer, m_pbytBuffer + m_lngBufferIndex, static_cast<size_t>(total));
    if (m_lngPosition + total >= m_lngSize) {
      m_ustrErrorDetail = "No bytes left to read";
      return total;
    }
    if (total == wanted) return total;
    forkOffset = m_lngBlockEnd;
  }

  // The missing bytes come from the fork, whose mark is put back afterwards.
  int32_t const saved = InternalGetFilePos();
  if (m_ustrError.IsNotEmpty()) return 0;
  if (forkOffset != saved && !InternalSetFilePos(forkOffset, kStreamFromStart)) return 0;
  int32_t const got = InternalReadBytes(buffer + total, wanted - total);
  UniString const readError = m_ustrError;
  bool const restored = InternalSetFilePos(saved, kStreamFromStart);
  if (readError.IsNotEmpty()) return Fail(readError), 0;
  if (!restored) return 0;
  return total + got;
}

// ---- lines ----

namespace {

#if !defined(__SSE2__)
// Index of the first byte with its high bit set, in memory order, of a non-zero mask of high
// bits read from eight bytes.
int32_t FirstHighByte(uint64_t high) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return __builtin_ctzll(high) >> 3;
#else
  return __builtin_clzll(high) >> 3;
#endif
}
#endif

// UniString's UTF-8 rules for the run of non-ASCII characters from bytes[*at] on (and for that
// byte itself, whatever it is): two- and three-byte sequences, any other byte one unit, '?' or
// its Latin-1 value. Stops before the next ASCII byte or at the line's end.
inline void DecodeByteRun(unsigned char const* bytes, int32_t length, bool latin1Fallback,
                          int32_t* at, unsigned short** end) {
  int32_t i = *at;
  unsigned short* out = *end;
  do {
    unsigned char const b = bytes[i];
    if (b < 0x80) {
      *out++ = b;
      ++i;
    } else if (b >= 0xC2 && b <= 0xDF && i + 1 < length && (bytes[i + 1] & 0xC0) == 0x80) {
      *out++ = static_cast<unsigned short>(((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
      i += 2;
    } else if (b >= 0xE0 && b <= 0xEF && i + 2 < length && (bytes[i + 1] & 0xC0) == 0x80 &&
               (bytes[i + 2] & 0xC0) == 0x80 && (b != 0xE0 || bytes[i + 1] >= 0xA0)) {
      *out++ = static_cast<unsigned short>(((b & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) |
                                           (bytes[i + 2] & 0x3F));
      i += 3;
    } else {
      *out++ = latin1Fallback ? b : static_cast<unsigned short>('?');
      ++i;
    }
  } while (i < length && bytes[i] >= 0x80);
  *at = i;
  *end = out;
}

#if defined(__SSE2__)
// Sixteen bytes of ASCII and whole two-byte sequences (a lead byte 0xC2 to 0xDF, then a
// continuation byte; no lead as the last byte) decoded at once: every lead byte gives its
// sequence's unit, every ASCII byte itself, the continuation bytes nothing. False, with nothing
// written, for any other mix, which the byte-by-byte rules then take.
bool DecodeTwoByteChunk(__m128i chunk, int high, unsigned short* out, unsigned short** end) {
  // As signed bytes: leads 0xC2..0xDF are -62..-33, continuations 0x80..0xBF are -128..-65.
  __m128i const lead = _mm_and_si128(_mm_cmpgt_epi8(chunk, _mm_set1_epi8(-63)),
                                     _mm_cmplt_epi8(chunk, _mm_set1_epi8(-32)));
  __m128i const cont = _mm_cmplt_epi8(chunk, _mm_set1_epi8(-64));
  int const leadMask = _mm_movemask_epi8(lead);
  int const contMask = _mm_movemask_epi8(cont);
  if ((leadMask | contMask) != high || contMask != ((leadMask << 1) & 0xFFFF) ||
      (leadMask & 0x8000) != 0) {
    return false;
  }
  __m128i const zero = _mm_setzero_si128();
  __m128i const next = _mm_srli_si128(chunk, 1);
  __m128i units[2];
  for (int half = 0; half < 2; ++half) {
    __m128i const bytes = half == 0 ? _mm_unpacklo_epi8(chunk, zero) : _mm_unpackhi_epi8(chunk, zero);
    __m128i const after = half == 0 ? _mm_unpacklo_epi8(next, zero) : _mm_unpackhi_epi8(next, zero);
    __m128i const isLead = half == 0 ? _mm_unpacklo_epi8(lead, lead) : _mm_unpackhi_epi8(lead, lead);
    __m128i const joined =
        _mm_or_si128(_mm_slli_epi16(_mm_and_si128(bytes, _mm_set1_epi16(0x1F)), 6),
                     _mm_and_si128(after, _mm_set1_epi16(0x3F)));
    units[half] = _mm_or_si128(_mm_and_si128(isLead, joined), _mm_andnot_si128(isLead, bytes));
  }
  alignas(16) unsigned short all[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(all), units[0]);
  _mm_store_si128(reinterpret_cast<__m128i*>(all + 8), units[1]);
  // Every unit is written; only those not of a continuation byte are kept (no branches).
  int kept = 0;
  for (int p = 0; p < 16; ++p) {
    out[kept] = all[p];
    kept += 1 - ((contMask >> p) & 1);
  }
  *end = out + kept;
  return true;
}
#endif

#if defined(XFILESTREAM_SHUFFLE_DECODE)
// For the processors with a byte shuffle: each half of a chunk's sixteen units loses the units
// of its continuation bytes in one step. Entry m lists, for a mask m of the units to drop among
// eight, the byte offsets of the units kept, in order; kept[m] counts them. Where the
// processor has no shuffle (or before the check has run), the line takes the steps below.
struct stcCompactTable {
  alignas(16) unsigned char shuffle[256][16];
  unsigned char kept[256];
  constexpr stcCompactTable() : shuffle(), kept() {
    for (int mask = 0; mask < 256; ++mask) {
      int n = 0;
      for (int unit = 0; unit < 8; ++unit) {
        if ((mask >> unit) & 1) continue;
        shuffle[mask][2 * n] = static_cast<unsigned char>(2 * unit);
        shuffle[mask][2 * n + 1] = static_cast<unsigned char>(2 * unit + 1);
        ++n;
      }
      for (int rest = 2 * n; rest < 16; ++rest) shuffle[mask][rest] = 0x80;
      kept[mask] = static_cast<unsigned char>(n);
    }
  }
};
constexpr stcCompactTable kCompact;
#endif

// The line decoders, from the plain steps up: the byte shuffle (SSSE3), then sixty-four bytes at
// a time under byte masks (AVX-512 with the word compress). The widest the processor has is
// used; a test may ask for a narrower one.
constexpr int kPlainDecoder = 0;
constexpr int kShuffleDecoder = 1;
constexpr int kWideDecoder = 2;

int WidestDecoder() {
#if defined(XFILESTREAM_SHUFFLE_DECODE)
  __builtin_cpu_init();
#if defined(XFILESTREAM_WIDE_DECODE)
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
      __builtin_cpu_supports("popcnt")) {
    return kWideDecoder;
  }
#endif
  if (__builtin_cpu_supports("ssse3")) return kShuffleDecoder;
#endif
  return kPlainDecoder;
}
int const g_intWidestDecoder = WidestDecoder();
int g_intLineDecoder = g_intWidestDecoder;

#if defined(XFILESTREAM_SHUFFLE_DECODE)
// Decodes the chunks of bytes[*at, length) made only of ASCII and whole two- and three-byte
// sequences, sixteen bytes at a time without a branch on their mix, and stops at the first
// chunk of any other kind (a bad or four-byte sequence, an overlong E0 one, a sequence cut off
// at the chunk's end), which the caller's byte rules take. The line's last chunk is read from
// tail, its last sixteen bytes from tailStart on, zero-padded: the padding's units lie beyond
// the line.
__attribute__((target("ssse3"))) void DecodeShortRun(unsigned char const* bytes, int32_t length,
                                                     unsigned char const* tail, int32_t tailStart,
                                                     int32_t* at, unsigned short** end) {
  int32_t i = *at;
  unsigned short* out = *end;
  __m128i const zero = _mm_setzero_si128();
  while (i < length) {
    unsigned char const* const from = i + 16 <= length ? bytes + i : tail + (i - tailStart);
    __m128i const chunk = _mm_loadu_si128(reinterpret_cast<__m128i const*>(from));
    __m128i const next = _mm_srli_si128(chunk, 1);
    __m128i const after = _mm_srli_si128(chunk, 2);
    // As signed bytes: two-byte leads 0xC2..0xDF are -62..-33, three-byte leads 0xE0..0xEF
    // -32..-17, continuations 0x80..0xBF -128..-65.
    __m128i const lead2 = _mm_and_si128(_mm_cmpgt_epi8(chunk, _mm_set1_epi8(-63)),
                                        _mm_cmplt_epi8(chunk, _mm_set1_epi8(-32)));
    __m128i const lead3 = _mm_and_si128(_mm_cmpgt_epi8(chunk, _mm_set1_epi8(-33)),
                                        _mm_cmplt_epi8(chunk, _mm_set1_epi8(-16)));
    __m128i const cont = _mm_cmplt_epi8(chunk, _mm_set1_epi8(-64));
    // 0xE0 needs a second byte of 0xA0 or more.
    __m128i const overlong = _mm_and_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(-32)),
                                           _mm_cmplt_epi8(next, _mm_set1_epi8(-96)));
    int const high = _mm_movemask_epi8(chunk);
    int const lead2Mask = _mm_movemask_epi8(lead2);
    int const lead3Mask = _mm_movemask_epi8(lead3);
    int const contMask = _mm_movemask_epi8(cont);
    int const expected = ((lead2Mask << 1) | (lead3Mask << 1) | (lead3Mask << 2)) & 0xFFFF;
    if ((lead2Mask | lead3Mask | contMask) != high || contMask != expected ||
        (lead2Mask & 0x8000) != 0 || (lead3Mask & 0xC000) != 0 || _mm_movemask_epi8(overlong) != 0) {
      break;
    }
    __m128i units[2];
    for (int half = 0; half < 2; ++half) {
      __m128i const b0 = half == 0 ? _mm_unpacklo_epi8(chunk, zero) : _mm_unpackhi_epi8(chunk, zero);
      __m128i const b1 = half == 0 ? _mm_unpacklo_epi8(next, zero) : _mm_unpackhi_epi8(next, zero);
      __m128i const b2 = half == 0 ? _mm_unpacklo_epi8(after, zero) : _mm_unpackhi_epi8(after, zero);
      __m128i const is2 = half == 0 ? _mm_unpacklo_epi8(lead2, lead2) : _mm_unpackhi_epi8(lead2, lead2);
      __m128i const is3 = half == 0 ? _mm_unpacklo_epi8(lead3, lead3) : _mm_unpackhi_epi8(lead3, lead3);
      __m128i const low6 = _mm_and_si128(b1, _mm_set1_epi16(0x3F));
      __m128i const two = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(b0, _mm_set1_epi16(0x1F)), 6), low6);
      __m128i const three =
          _mm_or_si128(_mm_or_si128(_mm_slli_epi16(b0, 12), _mm_slli_epi16(low6, 6)),
                       _mm_and_si128(b2, _mm_set1_epi16(0x3F)));
      __m128i const plain = _mm_andnot_si128(_mm_or_si128(is2, is3), b0);
      units[half] = _mm_or_si128(plain, _mm_or_si128(_mm_and_si128(is2, two), _mm_and_si128(is3, three)));
    }
    int const low = contMask & 0xFF;
    int const upper = contMask >> 8;
    __m128i const first = _mm_shuffle_epi8(
        units[0], _mm_load_si128(reinterpret_cast<__m128i const*>(kCompact.shuffle[low])));
    __m128i const second = _mm_shuffle_epi8(
        units[1], _mm_load_si128(reinterpret_cast<__m128i const*>(kCompact.shuffle[upper])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + kCompact.kept[low]), second);
    // Only the units of the line's own bytes count; the padding is ASCII and comes last.
    int32_t const taken = length - i < 16 ? length - i : 16;
    out += taken - (16 - kCompact.kept[low] - kCompact.kept[upper]);
    i += taken;
  }
  *at = i;
  *end = out;
}
#endif

#if defined(XFILESTREAM_WIDE_DECODE)
// For the sixty-four-byte decoder: row 3 * half + d picks byte 32 * half + d + k of a chunk as
// word k (its high byte is masked to zero), for the bytes, the bytes after them and those two
// after them in each half of thirty-two. Indexes past the chunk wrap to its start; they feed
// only leads of sequences that go on past the chunk, which are never taken.
struct stcWidenTable {
  alignas(64) unsigned char index[6][64];
  constexpr stcWidenTable() : index() {
    for (int row = 0; row < 6; ++row) {
      for (int k = 0; k < 32; ++k) {
        index[row][2 * k] = static_cast<unsigned char>((32 * (row / 3) + row % 3 + k) & 63);
      }
    }
  }
};
constexpr stcWidenTable kWiden;
constexpr uint64_t kEvenBytes = 0x5555555555555555ull;

// The chunk's bytes that a row of kWiden picks, as words.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i Widened(__m512i chunk,
                                                                              int row) {
  return _mm512_maskz_permutexvar_epi8(
      kEvenBytes, _mm512_load_si512(reinterpret_cast<void const*>(kWiden.index[row])), chunk);
}

// Thirty-two bytes of a chunk as the units of their characters: every lead byte gives its
// sequence's unit, every other byte itself.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i WideUnits(
    __m512i chunk, int half, __mmask32 lead2, __mmask32 lead3) {
  __m512i const b0 = Widened(chunk, 3 * half);
  __m512i const low6 = _mm512_and_si512(Widened(chunk, 3 * half + 1), _mm512_set1_epi16(0x3F));
  __m512i const two =
      _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(b0, _mm512_set1_epi16(0x1F)), 6), low6);
  __m512i const three = _mm512_or_si512(
      _mm512_or_si512(_mm512_slli_epi16(b0, 12), _mm512_slli_epi16(low6, 6)),
      _mm512_and_si512(Widened(chunk, 3 * half + 2), _mm512_set1_epi16(0x3F)));
  return _mm512_mask_blend_epi16(lead3, _mm512_mask_blend_epi16(lead2, b0, two), three);
}

// A whole line as DecodeByteRun's rules give it, sixty-four bytes at a time: the bytes are read
// and the units written under masks that keep to the line and to the units it gives (no padded
// copy, no room needed past them). A chunk of ASCII and whole two- and three-byte sequences is
// decoded without a branch on its mix; one whose last sequence goes on past it is taken up to
// that sequence's lead, which starts the next chunk. Any other chunk (a bad or four-byte
// sequence, an overlong E0 one, a sequence cut off by the line's end) has its ASCII widened up
// to the first byte of 0x80 or more, from where the byte rules take the run of characters.
__attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt"))) unsigned short*
DecodeWideLine(unsigned char const* bytes, int32_t length, bool latin1Fallback,
               unsigned short* out) {
  int32_t i = 0;
  while (i < length) {
    int32_t const left = length - i;
    uint64_t const inLine = _bzhi_u64(~uint64_t{0}, static_cast<unsigned>(left < 64 ? left : 64));
    __m512i const chunk = _mm512_maskz_loadu_epi8(inLine, bytes + i);
    // As signed bytes: two-byte leads 0xC2..0xDF are -62..-33, three-byte leads 0xE0..0xEF
    // -32..-17, continuations 0x80..0xBF -128..-65 (0x80..0x9F below -96).
    uint64_t const high = _mm512_movepi8_mask(chunk);
    uint64_t const lead2 = _mm512_mask_cmplt_epi8_mask(
        _mm512_cmpgt_epi8_mask(chunk, _mm512_set1_epi8(-63)), chunk, _mm512_set1_epi8(-32));
    uint64_t const lead3 = _mm512_mask_cmplt_epi8_mask(
        _mm512_cmpgt_epi8_mask(chunk, _mm512_set1_epi8(-33)), chunk, _mm512_set1_epi8(-16));
    uint64_t const cont = _mm512_cmplt_epi8_mask(chunk, _mm512_set1_epi8(-64));
    uint64_t const low = _mm512_cmplt_epi8_mask(chunk, _mm512_set1_epi8(-96));
    uint64_t const e0 = _mm512_cmpeq_epi8_mask(chunk, _mm512_set1_epi8(-32));
    // The leads whose sequences go on past the chunk.
    uint64_t const cut = (lead2 & (uint64_t{1} << 63)) | (lead3 & (uint64_t{3} << 62));
    int32_t take = left < 64 ? left : 64;
    if (cut != 0 && left > 64) take = static_cast<int32_t>(__builtin_ctzll(cut));
    // Only the chunk's first take bytes count: each lead there must be followed by just its
    // continuation bytes inside them, and nothing but leads, continuations and ASCII may appear.
    uint64_t const own = _bzhi_u64(~uint64_t{0}, static_cast<unsigned>(take));
    uint64_t const leads2 = lead2 & own;
    uint64_t const leads3 = lead3 & own;
    uint64_t const expected = (leads2 << 1) | (leads3 << 1) | (leads3 << 2);
    uint64_t const other = high & ~(lead2 | lead3 | cont);
    uint64_t const overlong = e0 & (low >> 1);  // 0xE0 needs a second byte of 0xA0 or more
    if ((((other | overlong | cut) & own) | ((cont & own) ^ expected)) != 0) {
      unsigned const ascii = static_cast<unsigned>(__builtin_ctzll(high));
      _mm512_mask_storeu_epi16(out, _bzhi_u32(~0u, ascii), Widened(chunk, 0));
      _mm512_mask_storeu_epi16(out + 32, _bzhi_u32(~0u, ascii < 32 ? 0 : ascii - 32),
                               Widened(chunk, 3));
      out += ascii;
      i += static_cast<int32_t>(ascii);
      DecodeByteRun(bytes, length, latin1Fallback, &i, &out);
      continue;
    }
    // The units of continuation bytes go, and those of the bytes past take.
    uint64_t const keep = own & ~cont;
    for (int half = 0; half < 2; ++half) {
      __m512i const units = WideUnits(chunk, half, static_cast<__mmask32>(lead2 >> (32 * half)),
                                      static_cast<__mmask32>(lead3 >> (32 * half)));
      __mmask32 const kept = static_cast<__mmask32>(keep >> (32 * half));
      unsigned const count = static_cast<unsigned>(__builtin_popcount(kept));
      _mm512_mask_storeu_epi16(out, _bzhi_u32(~0u, count),
                               _mm512_maskz_compress_epi16(kept, units));
      out += count;
    }
    i += take;
  }
  return out;
}
#endif

}  // namespace

void SetLineDecoderForTesting(int widest) {
  g_intLineDecoder = widest < g_intWidestDecoder ? widest : g_intWidestDecoder;
}

void XFileStream::DecodeLineUTF8(unsigned char const* bytes, int32_t length, bool latin1Fallback,
                                 UniString* text) {
  // UniString's UTF-8 rules exactly (two- and three-byte sequences; any other byte is one unit,
  // '?' or its Latin-1 value), with runs of ASCII taken sixteen (or eight) bytes at a time,
  // straight into the line's own buffer, which has room for sixteen units more than the line can
  // give, for the last widening (a line read into the same string allocates no new one).
  unsigned short* const units = text->FillBegin(length + 16);
  if (units == nullptr) return;
#if defined(XFILESTREAM_WIDE_DECODE)
  // Where the processor has byte masks, the whole line goes sixty-four bytes at a time.
  if (g_intLineDecoder >= kWideDecoder) {
    text->FillEnd(static_cast<int>(DecodeWideLine(bytes, length, latin1Fallback, units) - units));
    return;
  }
#endif
  unsigned short* out = units;
  int32_t i = 0;
#if defined(__SSE2__)
  // The line's last sixteen bytes (or all of a shorter line) also lie in a zero-padded copy, so
  // that its end is widened sixteen bytes at a time too, without reading past the line.
  int32_t const tailStart = length > 16 ? length - 16 : 0;
  unsigned char tail[32] = {};
  if (length >= 16) {
    std::memcpy(tail, bytes + tailStart, 16);  // a fixed size: no call
  } else {
    std::memcpy(tail, bytes, static_cast<size_t>(length));
  }
#endif
  while (i < length) {
#if defined(XFILESTREAM_SHUFFLE_DECODE)
    // The run stops only at a chunk that the two-byte step below would refuse as well.
    bool const shuffled = g_intLineDecoder >= kShuffleDecoder;
    if (shuffled) {
      DecodeShortRun(bytes, length, tail, tailStart, &i, &out);
      if (i >= length) break;
    }
#elif defined(__SSE2__)
    bool const shuffled = false;
#endif
#if defined(__SSE2__)
    {
      // Sixteen bytes are widened at once; the units past the first non-ASCII byte (or the
      // line's end) are written over again below or lie beyond the line.
      unsigned char const* const from = i + 16 <= length ? bytes + i : tail + (i - tailStart);
      __m128i const chunk = _mm_loadu_si128(reinterpret_cast<__m128i const*>(from));
      __m128i const zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(chunk, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(chunk, zero));
      int const high = _mm_movemask_epi8(chunk);
      if (high != 0 && i + 16 <= length && !shuffled && DecodeTwoByteChunk(chunk, high, out, &out)) {
        i += 16;
        continue;
      }
      int32_t ascii = high == 0 ? 16 : __builtin_ctz(static_cast<unsigned>(high));
      if (ascii > length - i) ascii = length - i;
      out += ascii;
      i += ascii;
      if (ascii == 16 || i >= length) continue;
    }
#else
    if (i + 8 <= length) {
      // Eight bytes are widened at once; the units past the first non-ASCII byte are written
      // over again below (the array has room: a byte never gives more than one unit).
      unsigned char eight[8];
      std::memcpy(eight, bytes + i, sizeof eight);
      uint64_t word;
      std::memcpy(&word, eight, sizeof word);
      uint64_t const high = word & 0x8080808080808080ull;
      unsigned short wide[8];
      for (int k = 0; k < 8; ++k) wide[k] = eight[k];
      std::memcpy(out, wide, sizeof wide);
      int32_t const ascii = high == 0 ? 8 : FirstHighByte(high);
      out += ascii;
      i += ascii;
      if (ascii == 8) continue;
    }
#endif
    // A run of non-ASCII characters is decoded here before the next sixteen bytes are looked
    // at: a word of accented letters costs one vector step, not one a character.
    DecodeByteRun(bytes, length, latin1Fallback, &i, &out);
  }
  text->FillEnd(static_cast<int>(out - units));
}

int32_t XFileStream::ReadLine(AnsiString* line, enumLineEndingType ending, bool stripEnding) {
  int32_t count = 0;
  if (ScanLine(line, nullptr, ending, 1, stripEnding, &count)) return count;
  return XStream::ReadLine(line, ending, stripEnding);
}

int32_t XFileStream::ReadLine(UniString* line, enumLineEndingType ending, int encoding,
                              bool bytesInOrder, bool stripEnding) {
  int32_t count = 0;
  // UTF-8 and the code pages whose table loads; the byte reader reports a missing table.
  bool const scannable = encoding == 1 || encoding == 101 ||
                         (encoding >= 2 && encoding <= 5 && GetUniConverter(encoding) != nullptr);
  if (scannable && ScanLine(nullptr, line, ending, encoding, stripEnding, &count)) return count;
  return XStream::ReadLine(line, ending, encoding, bytesInOrder, stripEnding);
}

bool XFileStream::ScanLine(AnsiString* ansiLine, UniString* uniLine, enumLineEndingType ending,
                           int encoding, bool stripEnding, int32_t* count) {
  if ((ansiLine == nullptr && uniLine == nullptr) || !m_bolAttached ||
      m_lngMode == kXFileStreamWrite || m_lngBufferSize == 0 || AtEnd()) {
    return false;
  }
  int32_t const left = m_lngSize - m_lngPosition;
  int32_t const inBlock = m_lngValidBytes - m_lngBufferIndex;
  if (inBlock <= 0) return false;
  int32_t const avail = inBlock < left ? inBlock : left;
  // Whether the stream ends inside the block; otherwise the byte-by-byte reader would load the
  // next block when it takes the block's last byte, so such a line is left to it.
  bool const endsHere = avail == left;
  unsigned char const* const data = m_pbytBuffer + m_lngBufferIndex;

  bool const lfEnds = ending == kLineEndingNone || ending == kLineEndingLF;
  bool const crAlwaysEnds = ending == kLineEndingCR;
  bool const crMatters = !(ending == kLineEndingLF && !stripEnding);
  // The stored bytes are data[0, kept) while nothing inside the line is dropped; once a lone
  // CR is stripped they continue in the scratch string.
  bool scratch = false;
  int32_t kept = 0;
  int32_t consumed = -1;  // set when the line's end is found
  int32_t from = 0;
  auto keep = [&](int32_t begin, int32_t end) {
    if (scratch) {
      m_strLineScratch.append(reinterpret_cast<char const*>(data + begin), size_t(end - begin));
    } else {
      kept = end;
    }
  };
  while (from < avail) {
    unsigned char const* const rest = data + from;
    size_t const span = size_t(avail - from);
    unsigned char const* lf =
        lfEnds ? static_cast<unsigned char const*>(std::memchr(rest, '\n', span)) : nullptr;
    size_t const crSpan = lf != nullptr ? size_t(lf - rest) : span;
    // Where CRs neither end the line nor are dropped, they are ordinary bytes: no search.
    unsigned char const* cr =
        crMatters ? static_cast<unsigned char const*>(std::memchr(rest, '\r', crSpan)) : nullptr;
    if (cr == nullptr && lf == nullptr) {
      keep(from, avail);
      from = avail;
      break;
    }
    if (cr == nullptr) {
      int32_t const at = int32_t(lf - data);
      keep(from, stripEnding ? at : at + 1);
      consumed = at + 1;
      break;
    }
    int32_t const at = int32_t(cr - data);
    keep(from, stripEnding ? at : at + 1);
    if (crAlwaysEnds) {
      consumed = at + 1;
      break;
    }
    if (at + 1 >= avail) {
      if (!endsHere) return false;  // the byte after the CR lies beyond the block
      consumed = at + 1;            // a CR as the stream's last byte ends the line
      break;
    }
    if (data[at + 1] == '\n') {
      if (!stripEnding) keep(at + 1, at + 2);
      consumed = at + 2;
      break;
    }
    if (ending == kLineEndingNone) {
      consumed = at + 1;
      break;
    }
    // A lone CR is an ordinary byte here; stripped, it leaves a gap in the line.
    if (stripEnding && !scratch) {
      scratch = true;
      m_strLineScratch.assign(reinterpret_cast<char const*>(data), size_t(kept));
    }
    from = at + 1;
  }
  if (consumed < 0) {
    if (!endsHere) return false;  // the line goes on beyond the block
    consumed = avail;
  }
  if (consumed == inBlock && !endsHere) return false;

  unsigned char const* const line =
      scratch ? reinterpret_cast<unsigned char const*>(m_strLineScratch.data()) : data;
  int32_t const length = scratch ? int32_t(m_strLineScratch.size()) : kept;
  if (ansiLine != nullptr) {
    ansiLine->Load(reinterpret_cast<char const*>(line), length);
  } else if (encoding == 1 || encoding == 101) {
    // One conversion of the whole line gives what XStream's reader builds from its 64-byte
    // chunks: those are split only before a lead byte or after a complete sequence, which is
    // where the decoder, reading left to right, starts afresh anyway.
    DecodeLineUTF8(line, length, encoding == 101, uniLine);
  } else {
    // The same holds for a code page: the reader's chunks keep a cut character back.
    *uniLine = UniString(line, encoding, length);
  }
  m_lngBufferIndex += consumed;
  m_lngPosition += consumed;
  ClearError();
  if (m_lngPosition >= m_lngSize) m_ustrErrorDetail = "No bytes left to read";
  *count = length;
  return true;
}

// ---- writing ----

int32_t XFileStream::WriteBytes(unsigned char const* bytes, int32_t count) {
  ClearError();
  if (bytes == nullptr) return Fail("Input Buffer is NULL!"), 0;
  if (!m_bolAttached) return Fail("Not attached to any file."), 0;
  if (m_lngMode == kXFileStreamRead) return Fail("File is not in Write or Read/Write Mode."), 0;
  if (count <= 0) return 0;
  if (count > INT32_MAX - m_lngPosition) return Fail(TooLarge()), 0;

  int32_t taken = 0;
  if (m_lngMode == kXFileStreamWrite) {
    if (m_lngBufferIndex + int64_t{count} <= m_lngBufferSize) {
      std::memcpy(m_pbytBuffer + m_lngBufferIndex, bytes, static_cast<size_t>(count));
      m_lngBufferIndex += count;
      taken = count;
    } else {
      if (m_lngBufferIndex > 0) {
        InternalWriteBytes(m_pbytBuffer, m_lngBufferIndex);
        if (m_ustrError.IsNotEmpty()) return 0;
        m_lngBufferIndex = 0;
      }
      if (count > m_lngBufferSize) {
        // Larger than the buffer: straight to the fork.
        taken = InternalWriteBytes(bytes, count);
        if (m_ustrError.IsNotEmpty()) return 0;
      } else {
        std::memcpy(m_pbytBuffer, bytes, static_cast<size_t>(count));
        m_lngBufferIndex = count;
        taken = count;
      }
    }
  } else if (m_lngBufferSize == 0) {
    // Read/write without a buffer: the fork's mark is the stream's position.
    taken = InternalWriteBytes(bytes, count);
    if (m_ustrError.IsNotEmpty()) return 0;
  } else {
    // Read/write through the loaded block; a full block is written back and the next loaded.
    while (taken < count) {
      if (m_lngBufferIndex >= m_lngBufferSize) {
        if (!WriteBackBlock() || !LoadBlockAt(m_lngPosition)) return 0;
      }
      int32_t piece = m_lngBufferSize - m_lngBufferIndex;
      if (piece > count - taken) piece = count - taken;
      std::memcpy(m_pbytBuffer + m_lngBufferIndex, bytes + taken, static_cast<size_t>(piece));
      m_bolDirty = true;
      m_lngBufferIndex += piece;
      m_lngPosition += piece;
      taken += piece;
      if (m_lngBufferIndex > m_lngValidBytes) {
        m_lngValidBytes = m_lngBufferIndex;
        m_lngBlockEnd = m_lngBlockStart + m_lngValidBytes;
      }
      if (m_lngPosition > m_lngSize) m_lngSize = m_lngPosition;
      if (m_lngBufferIndex >= m_lngBufferSize) {
        if (!WriteBackBlock() || !LoadBlockAt(m_lngPosition)) return 0;
      }
    }
    ClearError();
    return taken;
  }
  m_lngPosition += taken;
  if (m_lngPosition > m_lngSize) m_lngSize = m_lngPosition;
  ClearError();
  return taken;
}

int32_t XFileStream::Insert(unsigned char* data, int32_t length, int32_t at,
                            int32_t replaceLength) {
  ResetError("Unknown Error");
  if (data == nullptr || length <= 0) return Fail("Data Buffer is NULL or has Zero Length!"), 0;
  if (!m_bolAttached) return Fail("Not attached to any file."), 0;
  if (m_intForkRef == kNoFork) return Fail("File Fork is not open!"), 0;
  if (m_lngMode != kXFileStreamReadWrite) {
    return Fail("Can only Insert data in a File in Read/Write Mode."), 0;
  }
  if (at == -1 || at > m_lngSize || at < 0) at = m_lngSize;
  if (replaceLength < 0) replaceLength = 0;
  if (!SetPos(at, kStreamFromStart)) return 0;
  ResetError("Unknown Error");
  if (replaceLength != length) return 0;
  int32_t const written = WriteBytes(data, length);
  if (m_ustrError.IsNotEmpty()) return 0;
  return written;
}

bool XFileStream::Match(unsigned char* bytes, int32_t length) {
  return XStream::Match(bytes, length);
}

int32_t XFileStream::Remove(int32_t at, int32_t length) { return XStream::Remove(at, length); }

void XFileStream::Replace(unsigned char* pattern, int32_t length, unsigned char* with,
                          int32_t withLength) {
  XStream::Replace(pattern, length, with, withLength);
}

// ---- Find ----

int32_t XFileStream::Find(unsigned char* pattern, int32_t length, bool anyOf, int32_t start,
                          int32_t occurrence) {
  ResetError("Unknown Error");
  if (pattern == nullptr || length <= 0) {
    return Fail("Find Buffer is NULL or has Zero Length!"), -1;
  }
  if (!m_bolAttached) return Fail("Not attached to any file."), -1;
  if (m_intForkRef == kNoFork) return Fail("File Fork is not open!"), -1;
  if (m_lngMode == kXFileStreamWrite) {
    return Fail("Can only Find data in a File in Read or Read/Write Mode."), -1;
  }
  if (m_lngSize == 0) {
    m_ustrError = UniString();
    m_ustrErrorDetail = "File is empty.";
    return -1;
  }
  int32_t last = 0;
  if (!FindBounds(length, anyOf, occurrence, &start, &last)) return -1;

  // A changed block must reach the fork before the fork is searched.
  if (!WriteBackBlock()) return -1;
  int32_t const saved = InternalGetFilePos();
  if (m_ustrError.IsNotEmpty()) return -1;

  // The walk reads the file through a window of two blocks of at least the pattern's length;
  // neither the stream's position nor its own buffer moves.
  int64_t const block =
      anyOf ? kFindBlockBytes
            : ((int64_t{length} + kFindBlockBytes - 1) / kFindBlockBytes) * kFindBlockBytes;
  int64_t const windowBytes = anyOf ? block : 2 * block;
  unsigned char* const window = new (std::nothrow) unsigned char[static_cast<size_t>(windowBytes)];
  if (window == nullptr) return Fail("Could not allocate memory for Temporary Buffer."), -1;
  int64_t windowStart = 0;
  int64_t windowEnd = 0;  // empty until the first load
  int32_t const need = anyOf ? 1 : length;
  bool failed = false;
  auto load = [&](int64_t at, bool backward) -> bool {
    int64_t first = (at / block) * block;
    if (backward && !anyOf && first >= block && at + need <= first + block) first -= block;
    windowStart = first;
    windowEnd = first;
    if (!InternalSetFilePos(static_cast<int32_t>(first), kStreamFromStart)) return false;
    int32_t const got = InternalReadBytes(window, static_cast<int32_t>(windowBytes));
    if (m_ustrError.IsNotEmpty()) return false;
    windowEnd = first + got;
    return true;
  };

  int32_t const step = occurrence > 0 ? 1 : -1;
  int64_t wanted = occurrence > 0 ? int64_t{occurrence} : -int64_t{occurrence};
  int32_t result = -1;
  for (int64_t at = start; at >= 0 && at <= last; at += step) {
    if (at < windowStart || at + need > windowEnd) {
      if (!load(at, step < 0)) {
        failed = true;
        break;
      }
      if (at + need > windowEnd) break;  // the file is shorter than it was
    }
    unsigned char const* here = window + (at - windowStart);
    bool const match = anyOf ? std::memchr(pattern, *here, static_cast<size_t>(length)) != nullptr
                             : std::memcmp(here, pattern, static_cast<size_t>(length)) == 0;
    if (match && --wanted == 0) {
      result = static_cast<int32_t>(at);
      break;
    }
  }
  delete[] window;

  UniString const walkError = m_ustrError;
  bool const restored = InternalSetFilePos(saved, kStreamFromStart);
  if (failed) return Fail(walkError), -1;
  if (!restored) return -1;
  ClearError();
  return result;
}

// ---- the fork primitives ----

UniString XFileStream::TooLarge() {
  return UniString("File is too large (2 GB or larger): ") + m_xfsFile.GetPath(kPathStylePOSIX, true);
}

bool XFileStream::CheckFork() {
  if (!m_bolAttached) return Fail("Not attached to any file.");
  if (m_intForkRef == kNoFork) return Fail("File Fork is not open!");
  return true;
}

int32_t XFileStream::InternalGetFileSize() {
  ClearError();
  if (!CheckFork()) return 0;
  SInt64 size = 0;
  OSErr const err = FSGetForkSize(m_intForkRef, &size);
  if (err != noErr) return FailMac("Could not get File Size; MacError:", err), 0;
  if (!FitsStream(size)) return Fail(TooLarge()), 0;
  return static_cast<int32_t>(size);
}

int32_t XFileStream::InternalGetFilePos() {
  ClearError();
  if (!CheckFork()) return 0;
  SInt64 position = 0;
  OSErr const err = FSGetForkPosition(m_intForkRef, &position);
  if (err != noErr) return FailMac("Could not get File Pos; MacError:", err), 0;
  if (!FitsStream(position)) return Fail(TooLarge()), 0;
  return static_cast<int32_t>(position);
}

bool XFileStream::InternalSetFilePos(int32_t offset, int origin) {
  ClearError();
  if (!CheckFork()) return false;
  UInt16 mode = fsFromStart;
  int64_t where = 0;
  switch (origin) {
    case kStreamFromStart:
      if (offset <= m_lngSize) {
        where = offset > 0 ? offset : 0;
      } else {
        mode = fsFromLEOF;
      }
      break;
    case kStreamFromEnd: {
      int64_t const distance = offset < 0 ? -int64_t{offset} : int64_t{offset};
      if (distance <= m_lngSize) {
        mode = fsFromLEOF;
        where = -distance;
      }
      break;
    }
    case kStreamFromPosition: {
      int32_t const position = InternalGetFilePos();
      if (m_ustrError.IsNotEmpty()) return false;
      int64_t const target = int64_t{position} + offset;
      if (offset < 0) {
        if (target >= 0) {
          mode = fsFromMark;
          where = offset;
        }
      } else if (target <= m_lngSize) {
        mode = fsFromMark;
        where = offset;
      } else {
        mode = fsFromLEOF;
      }
      break;
    }
    default:
      return true;
  }
  OSErr const err = FSSetForkPosition(m_intForkRef, mode, where);
  if (err != noErr) return FailMac("Could not set File Pos; MacError: ", err);
  return true;
}

int32_t XFileStream::InternalReadBytes(unsigned char* buffer, int32_t count) {
  ClearError();
  if (!CheckFork()) return 0;
  if (m_lngMode == kXFileStreamWrite) return Fail("File is not in Read or Read/Write Mode."), 0;
  if (count <= 0) return 0;
  int32_t const position = InternalGetFilePos();
  if (m_ustrError.IsNotEmpty()) return 0;
  if (position >= m_lngSize) return Fail("Already at end of file."), 0;
  int32_t const left = m_lngSize - position;
  ByteCount got = 0;
  OSErr const err = FSReadFork(m_intForkRef, fsAtMark, 0,
                               static_cast<ByteCount>(count < left ? count : left), buffer, &got);
  // A read cut short by the end of the fork still delivers what it got.
  if (err != noErr && !(err == eofErr && got > 0)) {
    return FailMac("Could not read from file; MacError: ", err), 0;
  }
  return static_cast<int32_t>(got);
}

int32_t XFileStream::InternalWriteBytes(unsigned char const* bytes, int32_t count) {
  ClearError();
  if (!CheckFork()) return 0;
  if (m_lngMode == kXFileStreamRead) return Fail("File is not in Write Mode."), 0;
  if (count < 1) return 0;
  if (g_pfnWriteHook != nullptr) g_pfnWriteHook();
  ByteCount written = 0;
  OSErr const err =
      FSWriteFork(m_intForkRef, fsAtMark, 0, static_cast<ByteCount>(count), bytes, &written);
  if (err != noErr) {
    // A write cut short (disk full) has moved the mark past the bytes that landed; the caller
    // keeps all of them to write again, so the mark goes back to where this write began.
    if (written > 0) {
      FSSetForkPosition(m_intForkRef, fsFromMark, -static_cast<SInt64>(written));
    }
    return FailMac("Could not write to file; MacError: ", err), 0;
  }
  return static_cast<int32_t>(written);
}
