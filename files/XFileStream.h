// XFileStream: an XStream over one open fork of one file, with an optional buffer that reads
// ahead in the read modes and gathers writes behind in write mode.
// Interface: XFileStream(bufferSize) makes a detached stream (16384 is the usual buffer, 0 means
// every write reaches the file at once); AttachToFile(file, mode, fork) opens a fork ("XFSDataFork",
// "XFSResFork" or the name of a named fork) in mode 0 read, 1 write (a missing file is created;
// an existing one is not shortened: call SetSize(0, 0) to replace it) or 2 read/write;
// SwitchForks re-opens the attached file on another fork in the same mode; FlushWriteBuffer
// writes out what the buffer holds. AttachForReplace and CommitReplace save a whole file
// without ever leaving it half written: the bytes go to a new file in the same folder, which
// is flushed to disk and then takes the old file's place in one step (a link of that name is
// replaced, never written through); a save that fails or is abandoned (the stream deleted or
// re-attached first) leaves the old file as it was. The XStream byte operations, SetPos, SetSize, Find and
// Insert (mode 2 only, in place) work on the fork; Match, Remove and Replace only report that a
// file stream does not offer them. Buffered bytes reach the file when the buffer fills, on
// SetPos, SetSize, FlushWriteBuffer, re-attaching, switching forks and destruction.
// Relies on files/XFileSpec.h (existence, creation, FSRef, error texts), core/MacOSGlue.h (fork
// names as CoreFoundation strings) and the File Manager's fork calls (platform/carbon/Files.h).
// Sizes and positions are signed 32-bit. Failures leave a message in ErrorString() (platform
// codes as "; MacError: " texts) and return 0, false or -1; a failed attach or switch leaves the
// stream detached with its fork closed. Nothing throws. One thread at a time; no lock.
#pragma once

#include <cstdint>
#include <string>

#include "core/UniString.h"
#include "files/XFileSpec.h"
#include "files/XStream.h"
#include "platform/carbon/Files.h"

// Modes of AttachToFile.
enum enumXFileStreamMode : int32_t {
  kXFileStreamRead = 0,
  kXFileStreamWrite = 1,
  kXFileStreamReadWrite = 2
};

class XFileStream : public XStream {
 public:
  // A detached stream; a bufferSize above 0 allocates the buffer (unbuffered when that fails).
  explicit XFileStream(int32_t bufferSize);
  // Flushes the write-behind buffer and closes the fork.
  ~XFileStream() override;

  // Opens the fork of the file in the mode; true on success. Detaches from any earlier file
  // first (flushing it). Mode 0 needs an existing file; modes 1 and 2 create a missing one.
  bool AttachToFile(XFileSpec file, int mode, UniString fork);
  // Re-opens the attached file on another fork in the same mode (no existence test, no creation).
  bool SwitchForks(UniString fork);
  // Writes out what the buffer holds for the file: the waiting bytes in mode 1, a changed block
  // in mode 2. Its failure is left in ErrorString().
  void FlushWriteBuffer();

  // Opens, in write mode on the data fork, a new empty file beside `file` that will replace
  // it. The new file takes the Finder information, owner and mode of the regular file it
  // replaces; a new name gets creator and fileType (0 leaves them unset). permissions, when 0
  // or more, is the mode of the new file from its creation (0600: readable by its owner only);
  // -1 keeps the old file's mode (a new name: the process's default). False, with the error
  // text set, when the new file cannot be made or opened.
  bool AttachForReplace(XFileSpec file, uint32_t creator, uint32_t fileType, int32_t permissions);
  // Writes out the buffer, flushes the new file to disk and puts it in the place of the old one
  // (exchanged with it in one step, the old content then deleted; renamed there when the name
  // is free). On any failure the new file is deleted, the old one is left as it was and false
  // is returned with the error text set. The stream is detached afterwards either way.
  bool CommitReplace();

  // The line readers of XStream, with the same results, counts and error texts. A line that
  // lies inside the loaded read-ahead block is scanned there in one pass; any other line (one
  // that crosses the block's end, UTF-16 and code-page text, an unbuffered stream) is read by
  // XStream's own byte-by-byte reader. They hide the base's non-virtual forms, so only callers
  // that hold an XFileStream get the fast path; callers through XStream get the same lines.
  int32_t ReadLine(AnsiString* line, enumLineEndingType ending, bool stripEnding);
  int32_t ReadLine(UniString* line, enumLineEndingType ending, int encoding, bool bytesInOrder,
                   bool stripEnding);

  bool SetSize(int32_t size, int origin) override;
  bool SetPos(int32_t offset, int origin) override;
  int32_t ReadBytes(unsigned char* buffer, int32_t count) override;
  int32_t PeekBytes(unsigned char* buffer, int32_t count) override;
  int32_t WriteBytes(unsigned char const* bytes, int32_t count) override;
  // As XMemoryStream::Find, over the file's bytes (read modes only).
  int32_t Find(unsigned char* pattern, int32_t length, bool anyOf, int32_t start,
               int32_t occurrence) override;
  // Mode 2 only: overwrites length bytes at `at` when replaceLength equals length (a file
  // stream never grows or shrinks in the middle); returns length, or 0 when refused.
  int32_t Insert(unsigned char* data, int32_t length, int32_t at, int32_t replaceLength) override;
  bool Match(unsigned char* bytes, int32_t length) override;
  int32_t Remove(int32_t at, int32_t length) override;
  void Replace(unsigned char* pattern, int32_t length, unsigned char* with,
               int32_t withLength) override;

 protected:
  // The unbuffered fork primitives: they talk to the fork directly and ignore the buffer.
  int32_t InternalGetFileSize();
  int32_t InternalGetFilePos();
  bool InternalSetFilePos(int32_t offset, int origin);
  int32_t InternalReadBytes(unsigned char* buffer, int32_t count);
  int32_t InternalWriteBytes(unsigned char const* bytes, int32_t count);

 private:
  // Closes the fork and resets every position, size and block field (the mode is kept).
  void Detach();
  // A replacement that was not committed: its new file is closed and deleted.
  void AbandonReplace();
  bool DetachFlushed();
  // Opens the fork of m_xfsFile in the mode and reads the first block: the steps that
  // AttachToFile and SwitchForks share.
  bool OpenFork(UniString const& fork, int32_t mode);
  void CloseFork();
  // FlushWriteBuffer's work; false with the error text set when the bytes could not be written.
  bool DoFlush();
  // Mode 2: writes a changed block back to where it was read from.
  bool WriteBackBlock();
  // Brings in the pages of a large buffer before its first fill by a read (once).
  void PrefaultBufferForReading();
  // Read modes with a buffer: loads the block that starts at blockStart (nothing at the end of
  // the file), or the aligned block holding target with the position moved there.
  bool LoadBlock(int32_t blockStart);
  bool LoadBlockAt(int32_t target);
  // ReadBytes and PeekBytes: whether the count bytes can come straight from the loaded block,
  // and copying them from there (the position is not moved).
  bool BlockHolds(unsigned char const* buffer, int32_t count) const;
  void CopyFromBlock(unsigned char* buffer, int32_t count) const;
  // ReadBytes and PeekBytes: the request's checks (error text cleared first, a failure's text
  // left set) and *wanted, the count cut to the bytes left; false when nothing is to be read.
  bool CheckReadRequest(unsigned char const* buffer, int32_t count, int32_t* wanted);
  // ReadLine over the loaded block: true with *count set when the whole line lay inside it;
  // false, with nothing consumed, when XStream's reader must read it.
  bool ScanLine(AnsiString* ansiLine, UniString* uniLine, enumLineEndingType ending, int encoding,
                bool stripEnding, int32_t* count);
  // A line's UTF-8 bytes (encoding 1, or 101 with latin1Fallback) as text.
  void DecodeLineUTF8(unsigned char const* bytes, int32_t length, bool latin1Fallback,
                      UniString* text);
  // The primitives' common test: attached and a fork open.
  bool CheckFork();
  // Empties the error text and detail without touching strings that are already empty.
  void ClearError() {
    if (m_ustrError.IsNotEmpty()) m_ustrError = UniString();
    if (m_ustrErrorDetail.IsNotEmpty()) m_ustrErrorDetail = UniString();
  }
  bool Fail(UniString const& message);
  // "File is too large (2 GB or larger): " and the file's path.
  UniString TooLarge();
  bool FailMac(char const* prefix, OSErr code);

  FSIORefNum m_intForkRef;  // 65535 (all bits set) while no fork is open
  XFileSpec m_xfsFile;
  int32_t m_lngMode;
  bool m_bolAttached;
  bool m_bolDirty;
  unsigned char* m_pbytBuffer;
  int32_t m_lngBufferSize;   // 0: unbuffered
  int32_t m_lngBlockStart;   // read modes: file offset of the buffer's first byte
  int32_t m_lngBlockEnd;     // read modes: file offset just past the valid bytes
  int32_t m_lngBufferIndex;  // read modes: the position inside the block; mode 1: bytes waiting
  int32_t m_lngValidBytes;   // read modes: bytes of the buffer that hold file data
  std::string m_strLineScratch;  // a line's bytes when stripped CRs leave gaps in the block
  // While a replacement is open: the new file, the folder and the catalogue name of the file
  // it replaces.
  bool m_bolReplacing;
  bool m_bolBufferPrefaulted = false;  // the buffer's pages were brought in for a block read
  FSRef m_refReplaceNew;
  FSRef m_refReplaceFolder;
  UniString m_ustrReplaceName;
};

// The folder that holds the last item of a file spec and that item's name as the File Manager
// has it in the folder (the item itself need not exist). False when the folder does not exist
// or the file specification names no item. Looking an item up by this name never follows a link.
bool GetFolderAndCatalogName(XFileSpec const& item, FSRef* folder, UniString* name);

// Test seam: when set, called before every write of a file stream to a fork (a test child
// pauses there to be killed in the middle of a save). Null by default.
void SetFileStreamWriteHookForTesting(void (*hook)());
// Test seam: the widest UTF-8 line decoder ReadLine may use, 0 the plain steps, 1 the byte
// shuffle, 2 sixty-four bytes at a time; never one the processor lacks. The widest it has by
// default. Every decoder gives the same text.
void SetLineDecoderForTesting(int widest);
