// clsSMTPEmailPart: attachments and inline images (RFC 2045 Base64, RFC 2387 Content-IDs).
// A file part builds its header lines (type with name, Mac OS type and creator, Content-ID of
// an image, encoding, disposition), encodes the data fork as Base64 lines of 60 characters
// into a ".att" file in "Tarnix Temp" on its first run, and reads that file back on later runs.
// The file is never held in memory: 45 bytes per line through a 256 KiB stream buffer; the
// encoded copy goes through a 1 MiB one, which makes its writing, reading and deleting cheap.
// A first run reads, encodes and copies on a thread of its own (clsEncodeAhead), a few blocks
// of lines ahead of the caller, so that the sender's thread only hands the lines on; the lines,
// their order, the status and every error are those of reading the file line by line.
// "Tarnix Temp" lies in an area every local user shares: the folder is this user's own and
// closed to others (0700; a link or another user's folder in its place is refused), the ".att"
// files are 0600, and a kept ".att" is read back only while it is the regular file its run
// wrote, of the size, date and node noted then; otherwise the file is encoded again. Links
// there are looked at and removed themselves, never followed.
// Failures leave an English text in ErrorString(): a start that cannot open a file, and a read
// or write that fails in the middle; either way the encoding is not taken as complete.
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <string>
#include <string_view>
#include <vector>

#include "core/Prefault.h"
#include "core/TextEncoders.h"
#include "mime/MimeBytes.h"
#include "mime/MimePrefs.h"
#include "mime/clsSMTPEmailPart.h"
#include "platform/carbon/Files.h"

namespace {

// The file is read through a buffer of 256 KiB: fewer, larger reads, and it is never held whole.
constexpr int32_t kStreamBuffer = 256 * 1024;
// The encoded copy is written and read back through a larger buffer: it is a third bigger than
// the file, and the file system's cost per write call and per page cached (also when the copy is
// deleted) falls with the size of the writes. No caller or file sees the buffer's size.
constexpr int32_t kEncodedStreamBuffer = 1 << 20;
constexpr int kBytesPerLine = 45;
char const kTempFolder[] = "Tarnix Temp";
char const kDataFork[] = "XFSDataFork";
// The longest run without blanks a plain name keeps: "    filename=" and its quotes around it
// stay within a header line, escapes included.
constexpr size_t kMaxLongestName = (kMaxHeaderLine - 16) / 2;

// The texts of the two members of the file family; the image ones name the HTML image.
struct stcFileTexts {
  char const* noun;         // "Attachment" / "HTML Image"
  char const* disposition;  // "attachment" / "inline"
};
stcFileTexts const kAttachmentTexts = {"Attachment", "attachment"};
stcFileTexts const kImageTexts = {"HTML Image", "inline"};

UniString U(char const* text) { return UniString(text); }

// The bytes of file data a Base64 line of the given text stands for.
int32_t DecodedCount(char const* text, int length) {
  int32_t count = length / 4 * 3;
  for (int i = length - 1; i >= 0 && text[i] == '='; --i) --count;
  return count;
}

}  // namespace

// The reading, encoding and copying of one first run, on its own thread: blocks of whole lines,
// each ending in CR LF, handed over through a short queue, so at most a few blocks are held.
// The thread alone uses the two streams until it has ended (Finish).
class clsEncodeAhead {
 public:
  static constexpr int kLinesPerBlock = 1024;
  static constexpr size_t kBlocksAhead = 6;
  static constexpr size_t kLowWater = 2;
  static constexpr size_t kBlockBytes = size_t(kLinesPerBlock) * (4 * (kBytesPerLine / 3) + 2);

  clsEncodeAhead(XFileStream* file, XFileStream* copy) : m_pudtFile(file), m_pudtCopy(copy) {}
  ~clsEncodeAhead() { Finish(); }
  clsEncodeAhead(clsEncodeAhead const&) = delete;
  clsEncodeAhead& operator=(clsEncodeAhead const&) = delete;

  // False when no thread could be started; nothing has been read then.
  bool Start() {
    try {
      m_thrWorker = std::thread([this] { Run(); });
    } catch (std::system_error const&) {
      return false;
    }
    return true;
  }

  // The next line, without its line end; *more tells whether another line or the read failure
  // follows. False when there is no line: the file is read whole, or its reading failed (Failed).
  bool Next(char const** text, int* length, bool* more) {
    if (!Fill()) return false;
    char const* const start = m_strBlock.data() + m_lngAt;
    char const* const cr = static_cast<char const*>(std::memchr(start, '\r', m_strBlock.size() - m_lngAt));
    *text = start;
    *length = int(cr - start);
    m_lngAt += size_t(*length) + 2;
    // The line stays in the current block: a next block is waited for, not taken yet.
    if (m_lngAt < m_strBlock.size()) {
      *more = true;
    } else {
      std::unique_lock<std::mutex> lock(m_mtxQueue);
      WaitForBlock(lock);
      *more = !m_deqBlocks.empty() || m_bolReadFailed;
    }
    return true;
  }

  // Up to most whole lines (each 60 characters and CR LF) of the current block, never its last
  // line: their bytes and count; false when fewer than two are there.
  bool NextFullLines(int most, char const** text, int* length, int* count) {
    size_t constexpr kFullLine = 4 * (kBytesPerLine / 3) + 2;
    if (m_lngAt >= m_strBlock.size()) return false;
    size_t const ready = (m_strBlock.size() - m_lngAt) / kFullLine;
    int const lines = int(ready > 0 ? ready - 1 : 0) < most ? int(ready > 0 ? ready - 1 : 0) : most;
    if (lines < 2) return false;
    *text = m_strBlock.data() + m_lngAt;
    *count = lines;
    *length = int(size_t(lines) * kFullLine) - 2;
    m_lngAt += size_t(lines) * kFullLine;
    return true;
  }

  // Stops the thread (at once, when lines are still unread) and waits for it; false when it had
  // not come to the end of the file (or to a failure) by itself.
  bool Finish() {
    if (m_thrWorker.joinable()) {
      {
        std::lock_guard<std::mutex> guard(m_mtxQueue);
        m_bolStop = true;
      }
      m_cvRoom.notify_all();
      m_thrWorker.join();
    }
    return m_bolDone;
  }

  // After Finish: whether a read failed, and whether the copy is incomplete.
  bool ReadFailed() {
    std::lock_guard<std::mutex> guard(m_mtxQueue);
    return m_bolDone && m_bolReadFailed;
  }
  bool CopyFailed() const { return m_bolCopyFailed; }

 private:
  // Makes the current block one with a line left; false when none will come.
  bool Fill() {
    if (m_lngAt < m_strBlock.size()) return true;
    std::unique_lock<std::mutex> lock(m_mtxQueue);
    WaitForBlock(lock);
    if (m_deqBlocks.empty()) return false;
    // The block handed out goes back to the thread to be filled again.
    m_strBlock.swap(m_deqBlocks.front());
    m_deqBlocks.front().clear();
    m_deqSpare.push_back(std::move(m_deqBlocks.front()));
    m_deqBlocks.pop_front();
    m_lngAt = 0;
    // The thread is woken only when the queue runs low, so that it fills several blocks a turn
    // instead of waking for each one.
    bool const wake = m_bolMakerWaiting && m_deqBlocks.size() <= kLowWater;
    lock.unlock();
    if (wake) m_cvRoom.notify_one();
    return true;
  }

  void WaitForBlock(std::unique_lock<std::mutex>& lock) {
    while (m_deqBlocks.empty() && !m_bolDone) {
      m_bolTakerWaiting = true;
      m_cvBlocks.wait(lock);
      m_bolTakerWaiting = false;
    }
  }

  void Run() {
    bool failed = false;
    bool end = false;
    std::string block;
    while (!end && !failed) {
      block.clear();
      {
        std::lock_guard<std::mutex> guard(m_mtxQueue);
        if (!m_deqSpare.empty()) {
          block.swap(m_deqSpare.front());
          m_deqSpare.pop_front();
        }
      }
      if (block.capacity() < kBlockBytes) {
        // A new block: its pages come in with one call, not a fault each as the lines fill it.
        block.reserve(kBlockBytes);
        PrefaultPages(block.data(), block.capacity());
      }
      for (int i = 0; i < kLinesPerBlock; ++i) {
        unsigned char data[kBytesPerLine];
        int32_t const count = m_pudtFile->ReadBytes(data, kBytesPerLine);
        if (count <= 0) {
          failed = true;
          break;
        }
        char text[4 * (kBytesPerLine / 3) + 3];
        int const length = UUEncode(data, count, text);
        text[length] = '\r';
        text[length + 1] = '\n';
        block.append(text, size_t(length) + 2);
        if (m_pudtFile->AtEnd()) {
          end = true;
          break;
        }
      }
      if (m_pudtCopy != nullptr && !m_bolCopyFailed && !block.empty() &&
          m_pudtCopy->WriteBytes(reinterpret_cast<unsigned char const*>(block.data()), int32_t(block.size())) !=
              int32_t(block.size())) {
        m_bolCopyFailed = true;
      }
      std::unique_lock<std::mutex> lock(m_mtxQueue);
      if (m_deqBlocks.size() >= kBlocksAhead && !m_bolStop) {
        m_bolMakerWaiting = true;
        m_cvRoom.wait(lock, [this] { return m_deqBlocks.size() <= kLowWater || m_bolStop; });
        m_bolMakerWaiting = false;
      }
      if (m_bolStop) return;
      if (!block.empty()) m_deqBlocks.push_back(std::move(block));
      bool const wake = m_bolTakerWaiting;
      lock.unlock();
      if (wake) m_cvBlocks.notify_one();
      block = std::string();
    }
    // The bytes still in the copy's buffer (a whole small file's) must reach it.
    if (!failed && m_pudtCopy != nullptr && !m_bolCopyFailed) {
      m_pudtCopy->FlushWriteBuffer();
      if (m_pudtCopy->ErrorString().IsNotEmpty()) m_bolCopyFailed = true;
    }
    {
      std::lock_guard<std::mutex> guard(m_mtxQueue);
      m_bolReadFailed = failed;
      m_bolDone = true;
    }
    m_cvBlocks.notify_one();
  }

  XFileStream* const m_pudtFile;
  XFileStream* const m_pudtCopy;
  std::thread m_thrWorker;
  std::mutex m_mtxQueue;
  std::condition_variable m_cvBlocks;  // the caller waits for a block
  std::condition_variable m_cvRoom;    // the thread waits for room in the queue
  std::deque<std::string> m_deqBlocks;  // guarded by m_mtxQueue, like the spares and the flags
  std::deque<std::string> m_deqSpare;   // blocks handed out, to be filled again
  bool m_bolTakerWaiting = false;
  bool m_bolMakerWaiting = false;
  bool m_bolStop = false;
  bool m_bolDone = false;
  bool m_bolReadFailed = false;
  bool m_bolCopyFailed = false;  // the thread's until it has ended
  std::string m_strBlock;        // the caller's: the block being handed out
  size_t m_lngAt = 0;
};

namespace {

// A part name, the first count units of text, with CR, LF and NUL as blanks.
UniString Flatten(UniString const& text, int count) {
  std::vector<unsigned short> units(text.GetBytes(), text.GetBytes() + count);
  for (unsigned short& u : units) {
    if (u == 13 || u == 10 || u == 0) u = ' ';
  }
  return units.empty() ? UniString() : UniString(units.data(), count);
}

// A name for a quoted parameter value: "Q" words (split as the subject's are) or the plain name
// with '"' and '\' escaped. A plain name with a run of bytes too long for a header line even
// after folding goes as words too.
std::string QuotedName(clsSMTPEmailPart& part, UniString const& name, UniString const& charset) {
  AnsiString const bytes = part.GetLineByCharSet(name, charset);
  if (HasHighASCII(bytes)) return MimeBytes(part.MaybeEncodeHeader(bytes, charset, false));
  if (LongestBlanklessRun(std::string_view(bytes.c_str(), size_t(bytes.Length()))) > kMaxLongestName) {
    return MimeBytes(part.EncodeHeaderWords(bytes, charset, false));
  }
  std::string escaped;
  for (char c : MimeBytes(bytes)) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// Steps from the temporary area into "Tarnix Temp", creating it when missing. The area is
// shared by every local user, so the folder must be this user's own: a link in its place is
// looked at itself (never followed) and refused, as is another user's folder; a folder of ours
// that others may enter is closed to them (0700). False with the reason in *error.
bool EnterTarnixTemp(XFileSpec* folder, UniString* error) {
  UniString const name = U(kTempFolder);
  if (!folder->XDirExists(name) && !folder->XFileExists(name)) folder->XCreateDir(name);
  XFileSpec place = *folder;
  place.AddFileOrDirName(name);
  UniString const where = place.GetPath(kPathStylePOSIX, true);
  FSRef parent, item;
  FSCatalogInfo info;
  if (!folder->GetFSRef(&parent, true) ||
      FSMakeFSRefUnicode(&parent, UniCharCount(name.Length()), name.GetBytes(), kTextEncodingUnknown, &item) != noErr ||
      FSGetCatalogInfo(&item, kFSCatInfoNodeFlags | kFSCatInfoPermissions, &info, nullptr, nullptr, nullptr) != noErr) {
    *error = U("Could not create Tarnix Temp Folder.");
    return false;
  }
  if ((info.nodeFlags & kFSNodeIsDirectoryMask) == 0 || info.permissions[0] != UInt32(getuid())) {
    *error = U("Could not create Tarnix Temp Folder. ") + where +
             U(" is a link, a file or a folder of another user, and is not used.");
    return false;
  }
  if ((info.permissions[2] & 077) != 0) {
    info.permissions[2] = (info.permissions[2] & ~UInt32(07777)) | 0700;
    if (FSSetCatalogInfo(&item, kFSCatInfoPermissions, &info) != noErr) {
      *error = U("Could not create Tarnix Temp Folder. ") + where + U(" could not be closed to other users.");
      return false;
    }
  }
  if (!folder->SelectDirName(name)) {
    *error = U("Could not create Tarnix Temp Folder.");
    return false;
  }
  return true;
}

// A reference to the item itself, made from its folder and its name, so that a link in its
// place is the link and not what it points at (a path reference would lead to its object).
bool ItemRef(XFileSpec const& file, FSRef* ref) {
  XFileSpec folder = file;
  UniString const name = XFileSpec::DecodeSlashes(folder.GetFileOrDirName(kPathStyleInternal), kPathStyleHFS);
  if (name.IsEmpty()) return false;
  folder.RemoveFileOrDirName();
  FSRef parent;
  return folder.GetFSRef(&parent, true) &&
         FSMakeFSRefUnicode(&parent, UniCharCount(name.Length()), name.GetBytes(), kTextEncodingUnknown, ref) == noErr;
}

// What the catalog says of a file itself: its size, date, node, owner, kind and permissions.
// False when it cannot be read.
bool FileFacts(XFileSpec const& file, FSRef* ref, FSCatalogInfo* info) {
  return ItemRef(file, ref) &&
         FSGetCatalogInfo(ref,
                          kFSCatInfoNodeFlags | kFSCatInfoContentMod | kFSCatInfoDataSizes | kFSCatInfoPermissions |
                              kFSCatInfoNodeID | kFSCatInfoFinderInfo,
                          info, nullptr, nullptr, nullptr) == noErr;
}

bool IsLink(FSCatalogInfo const& info) { return std::memcmp(info.finderInfo, "slnkrhap", 8) == 0; }

std::string Hex(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", code);
  return text;
}

}  // namespace

// ---- content types ----

AnsiString clsSMTPEmailPart::GetContentType(UniString fileName) {
  UniString const ext = XFileSpec::GetFileExt(fileName);
  if (ext.IsEmpty()) return AnsiString("application/octet-stream");
  UniStringList types;
  if (CopyListPref(U("ContentTypes"), &types) && types.IsNotEmpty()) {
    if (types.IndexOfName(ext, '=', false) >= 0) return types.Values(ext, '=', false).Trim().GetAnsiString(1);
  }
  UniString const upper = ext.UpperCase();
  if (upper == U(".GIF")) return AnsiString("image/gif");
  if (upper == U(".JPG") || upper == U(".JPEG") || upper == U(".JPE")) return AnsiString("image/jpeg");
  if (upper == U(".SWF")) return AnsiString("application/x-shockwave-flash");
  if (upper == U(".PNG")) return AnsiString("image/png");
  return AnsiString("application/octet-stream");
}

// ---- setup ----

void clsSMTPEmailPart::SetupAttachment(UniString entry, UniString charset) { SetupFile(entry, -1, charset); }

void clsSMTPEmailPart::SetupHTMLImage(UniString entry, int index, UniString charset) {
  SetupFile(entry, index < 0 ? 0 : index, charset);
}

void clsSMTPEmailPart::SetupFile(UniString entry, int imageIndex, UniString charset) {
  bool const image = imageIndex >= 0;
  stcFileTexts const& texts = image ? kImageTexts : kAttachmentTexts;
  m_ustrCharSet = charset.Trim().UpperCase();

  UniString name;
  UniString path = entry;
  int const eq = entry.Pos('=');
  if (eq > 0) {
    name = Flatten(entry, eq - 1);
    path = entry.SubString(eq + 1, entry.Length());
  }
  m_udtFile.Set(path);
  UniString const fileName = m_udtFile.GetFileOrDirName(kPathStylePOSIX);
  if (name.IsEmpty()) name = Flatten(fileName, fileName.Length());
  m_ustrName = name;
  std::string const quoted = QuotedName(*this, name, m_ustrCharSet);

  if (m_ptlstPartHeaders == nullptr) m_ptlstPartHeaders = new (std::nothrow) TStringList;
  if (m_ptlstPartHeaders != nullptr) {
    m_ptlstPartHeaders->Clear();
    // Every part, an inline one too whatever its type, gets its header lines: a related part
    // without them would be read as text and its Content-ID would match no cid URL.
    std::string const type = MimeBytes(GetContentType(fileName));
    {
      std::string first = "Content-Type: " + type + ";\r\n    name=\"" + quoted + "\"";
      uint32_t const fileType = m_udtFile.XGetFileType();
      uint32_t const creator = m_udtFile.XGetCreator();
      if (fileType != 0) first += ";\r\n    x-mac-type=\"" + Hex(fileType) + "\"";
      if (creator != 0) first += ";\r\n    x-mac-creator=\"" + Hex(creator) + "\"";
      m_ptlstPartHeaders->Add(MimeAnsi(FoldHeaderLine(first)));
      if (image) {
        std::string id;
        for (char c : MimeBytes(name.Trim().LowerCase().GetAnsiString(1))) {
          if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.') id += c;
        }
        m_ptlstPartHeaders->Add(
            MimeAnsi("Content-ID: <[[TarnixUniqueID]]." + std::to_string(imageIndex) + "." + id + "@local>"));
      }
      m_ptlstPartHeaders->Add(AnsiString("Content-Transfer-Encoding: base64"));
      m_ptlstPartHeaders->Add(MimeAnsi(FoldHeaderLine(std::string("Content-Disposition: ") + texts.disposition +
                                                      ";\r\n    filename=\"" + quoted + "\"")));
    }
  }
  CloseFileStreams();
  m_lngStatusTotal = 0;
  m_lngStatusDone = 0;
}

void clsSMTPEmailPart::CloseFileStreams() {
  // The reading thread uses the streams until it has stopped.
  delete m_pudtEncodeAhead;
  m_pudtEncodeAhead = nullptr;
  delete m_pudtFileStream;
  m_pudtFileStream = nullptr;
  delete m_pudtEncodedStream;
  m_pudtEncodedStream = nullptr;
}

// ---- start ----

bool clsSMTPEmailPart::StartAttachment() { return StartFile(false); }
bool clsSMTPEmailPart::StartHTMLImage() { return StartFile(true); }

bool clsSMTPEmailPart::StartFile(bool image) {
  stcFileTexts const& texts = image ? kImageTexts : kAttachmentTexts;
  UniString const noun = U(texts.noun);
  bool& encoded = image ? m_bolImageEncoded : m_bolAttachmentEncoded;
  m_ustrError = UniString();
  CloseFileStreams();
  m_lngStatusTotal = 0;
  m_lngStatusDone = 0;
  m_ustrStatus = UniString();
  m_bolEncodeFailed = false;

  // A file kept from an earlier run is read back only while it is still what that run wrote.
  if (encoded && !EncodedFileUnchanged()) {
    RemoveEncodedFile();
    encoded = false;
  }
  if (!encoded) {
    UniString const filePath = m_udtFile.GetPath(kPathStylePOSIX, true);
    if (!m_udtFile.XFileExists()) {
      m_ustrError = noun + U(" does not exist: ") + filePath;
    } else if ((m_pudtFileStream = new (std::nothrow) XFileStream(kStreamBuffer)) == nullptr) {
      m_ustrError = U("Could not create a File Stream for ") + noun + U(": ") + filePath;
    } else if (!m_pudtFileStream->AttachToFile(m_udtFile, kXFileStreamRead, U(kDataFork))) {
      m_ustrError = U("Could not open ") + noun + U(" File: ") + m_pudtFileStream->ErrorString();
    } else if ((m_lngStatusTotal = m_pudtFileStream->GetSize()) < 0) {
      m_ustrError = U("Could not get ") + noun + U(" File Size: ") + m_pudtFileStream->ErrorString();
    } else if (!m_pudtFileStream->SetPos(0, 0)) {
      m_ustrError = U("Could not Set ") + noun + U(" File Position: ") + m_pudtFileStream->ErrorString();
    } else {
      CreateEncodedFile(noun);
    }
  } else {
    if ((m_pudtEncodedStream = new (std::nothrow) XFileStream(kEncodedStreamBuffer)) == nullptr ||
        !m_pudtEncodedStream->AttachToFile(m_udtEncodedFile, kXFileStreamRead, U(kDataFork))) {
      m_ustrError = U("Could not open Temp File for Encoded ") + noun + U(": ") +
                    (m_pudtEncodedStream ? m_pudtEncodedStream->ErrorString() : m_udtEncodedFile.GetPath(kPathStylePOSIX, true));
    } else if ((m_lngStatusTotal = m_pudtEncodedStream->GetSize()) < 0) {
      m_ustrError = U("Could not get Encoded File Size: ") + m_pudtEncodedStream->ErrorString();
    } else if (!m_pudtEncodedStream->SetPos(0, 0)) {
      m_ustrError = U("Could not Set Encoded File Position: ") + m_pudtEncodedStream->ErrorString();
    }
  }
  if (m_ustrError.IsNotEmpty()) {
    CloseFileStreams();
    m_lngStatusTotal = 0;
    // A run that could not start encoding is no complete encoding: the ".att" file it may have
    // made is deleted when the run ends, and the next run encodes the file again.
    if (!encoded) m_bolEncodeFailed = true;
    return false;
  }
  return true;
}

void clsSMTPEmailPart::CreateEncodedFile(UniString const& noun) {
  // An encoding that never completed leaves no file behind.
  RemoveEncodedFile();
  XFileSpec folder;
  if (!folder.FindSysFolder(kSysFolderChewableItems) && !folder.FindSysFolder(kSysFolderTemporaryItems)) {
    m_ustrError = U("Could not find the Temp Folder.");
    return;
  }
  if (!EnterTarnixTemp(&folder, &m_ustrError)) return;
  UniString const unique = folder.FindUniqueFileName(m_udtFile.GetFileOrDirName(kPathStylePOSIX) + U(".att"), 0);
  m_udtEncodedFile = folder;
  m_udtEncodedFile.AddFileOrDirName(unique);
  // These two texts name the file being sent, not its encoding.
  UniString const filePath = m_udtFile.GetPath(kPathStylePOSIX, true);
  if (unique.IsEmpty() || !m_udtEncodedFile.XCreateFile(UniString(), 0, 0, false) || !CloseEncodedFileToOthers()) {
    m_ustrError = U("Could not create Temp File for Encoded ") + noun + U(": ") + filePath;
    if (unique.IsNotEmpty()) RemoveEncodedFile();
    m_udtEncodedFile.Clear();
  } else if ((m_pudtEncodedStream = new (std::nothrow) XFileStream(kEncodedStreamBuffer)) == nullptr) {
    m_ustrError = U("Could not create a File Stream for Encoded ") + noun + U(": ") + filePath;
  } else if (!m_pudtEncodedStream->AttachToFile(m_udtEncodedFile, kXFileStreamWrite, U(kDataFork))) {
    m_ustrError = U("Could not open Temp File for Encoded ") + noun + U(": ") + m_pudtEncodedStream->ErrorString();
  } else if (!m_pudtEncodedStream->SetSize(0, 0)) {
    m_ustrError = U("Could not set Temp File Size to 0: ") + m_pudtEncodedStream->ErrorString();
  }
}

bool clsSMTPEmailPart::CloseEncodedFileToOthers() {
  // Made new and exclusively, so it is a file of ours; only its mode is left to set.
  FSRef ref;
  FSCatalogInfo info;
  if (!FileFacts(m_udtEncodedFile, &ref, &info) || IsLink(info)) return false;
  info.permissions[2] = (info.permissions[2] & ~UInt32(07777)) | 0600;
  return FSSetCatalogInfo(&ref, kFSCatInfoPermissions, &info) == noErr;
}

bool clsSMTPEmailPart::RecordEncodedFile() {
  FSRef ref;
  FSCatalogInfo info;
  if (!FileFacts(m_udtEncodedFile, &ref, &info) || IsLink(info)) return false;
  m_ulngEncodedSize = uint64_t(info.dataLogicalSize);
  m_udtEncodedDate = info.contentModDate;
  m_ulngEncodedNode = uint32_t(info.nodeID);
  return true;
}

bool clsSMTPEmailPart::EncodedFileUnchanged() {
  FSRef ref;
  FSCatalogInfo info;
  if (m_udtEncodedFile.GetFileOrDirName(kPathStyleInternal).IsEmpty() || !FileFacts(m_udtEncodedFile, &ref, &info)) {
    return false;
  }
  return !IsLink(info) && (info.nodeFlags & kFSNodeIsDirectoryMask) == 0 && info.permissions[0] == UInt32(getuid()) &&
         uint64_t(info.dataLogicalSize) == m_ulngEncodedSize && uint32_t(info.nodeID) == m_ulngEncodedNode &&
         info.contentModDate.highSeconds == m_udtEncodedDate.highSeconds &&
         info.contentModDate.lowSeconds == m_udtEncodedDate.lowSeconds &&
         info.contentModDate.fraction == m_udtEncodedDate.fraction;
}

void clsSMTPEmailPart::RemoveEncodedFile() {
  // Whatever stands under the name goes; a link put in its place goes itself, never the item it
  // points at.
  FSRef ref;
  if (m_udtEncodedFile.GetFileOrDirName(kPathStyleInternal).IsNotEmpty() && ItemRef(m_udtEncodedFile, &ref)) {
    FSDeleteObject(&ref);
  }
  m_udtEncodedFile.Clear();
}

// ---- lines ----

bool clsSMTPEmailPart::EncodeAttachmentLine(AnsiString* line) { return EncodeFileLine(line, false); }
bool clsSMTPEmailPart::EncodeHTMLImageLine(AnsiString* line) { return EncodeFileLine(line, true); }

bool clsSMTPEmailPart::EncodeFileLines(AnsiString* lines) {
  // Only within a run whose status text is set (from its first line on): the lines that keep the
  // percent the first of them gives.
  if (m_pudtEncodeAhead == nullptr || lines == nullptr || m_lngStatusTotal <= 0 || m_ustrStatus.IsEmpty()) {
    return false;
  }
  auto percentAt = [this](int64_t done) {
    float const percent = float(done) / float(m_lngStatusTotal) * 100.0f;
    return percent >= 100.0f ? 100 : int32_t(percent);
  };
  int const kMost = clsEncodeAhead::kLinesPerBlock;
  int32_t const first = percentAt(int64_t(m_lngStatusDone) + kBytesPerLine);
  int most = 1;
  while (most < kMost && percentAt(int64_t(m_lngStatusDone) + int64_t(most + 1) * kBytesPerLine) == first) ++most;
  char const* text = nullptr;
  int length = 0;
  int count = 0;
  if (!m_pudtEncodeAhead->NextFullLines(most, &text, &length, &count)) return false;
  lines->Load(text, length);
  m_lngStatusDone += count * kBytesPerLine;
  UpdatePercent();
  return true;
}

bool clsSMTPEmailPart::EncodeFileLine(AnsiString* line, bool image) {
  stcFileTexts const& texts = image ? kImageTexts : kAttachmentTexts;
  bool& encoded = image ? m_bolImageEncoded : m_bolAttachmentEncoded;
  if (encoded) {
    // Read back: one line of the encoded file per call.
    if (m_pudtEncodedStream != nullptr && !m_pudtEncodedStream->AtEnd() && line != nullptr) {
      m_pudtEncodedStream->ReadLine(line, kLineEndingNone, true);
      if (m_pudtEncodedStream->ErrorString().IsNotEmpty()) {
        m_ustrError = U("Could not read Encoded File: ") + m_pudtEncodedStream->ErrorString();
      } else if (!m_pudtEncodedStream->AtEnd()) {
        return true;
      }
    }
    CloseFileStreams();
    return false;
  }

  bool more = false;
  // A call without a line to fill breaks the run off: what was copied so far, even nothing, is
  // no complete encoding to read back later.
  if (line == nullptr) m_bolEncodeFailed = true;
  // A file with data is read ahead on a thread of its own from its first line on; when no
  // thread can be had, line by line here.
  if (m_pudtEncodeAhead == nullptr && m_pudtFileStream != nullptr && m_lngStatusDone == 0 && line != nullptr &&
      !m_pudtFileStream->AtEnd()) {
    m_pudtEncodeAhead = new (std::nothrow)
        clsEncodeAhead(m_pudtFileStream, m_bolEncodeFailed ? nullptr : m_pudtEncodedStream);
    if (m_pudtEncodeAhead != nullptr && !m_pudtEncodeAhead->Start()) {
      delete m_pudtEncodeAhead;
      m_pudtEncodeAhead = nullptr;
    }
  }
  if (m_pudtEncodeAhead != nullptr) {
    char const* text = nullptr;
    int length = 0;
    if (line != nullptr && m_pudtEncodeAhead->Next(&text, &length, &more)) {
      line->Load(text, length);
      m_lngStatusDone += DecodedCount(text, length);
      if (m_ustrStatus.IsEmpty()) {
        UpdateStatus(U("Encoding ") + U(texts.noun) + U(": '") + m_ustrName + U("'..."));
      } else {
        UpdatePercent();
      }
    } else {
      more = false;
    }
    if (!more) {
      // A run ended before the file's end (no line given to fill) is no complete encoding.
      if (!m_pudtEncodeAhead->Finish()) m_bolEncodeFailed = true;
      if (m_pudtEncodeAhead->ReadFailed()) {
        m_ustrError = U("Could not read ") + U(texts.noun) + U(" File: ") + m_pudtFileStream->ErrorString();
        m_bolEncodeFailed = true;
      }
      if (m_pudtEncodeAhead->CopyFailed()) m_bolEncodeFailed = true;
      delete m_pudtEncodeAhead;
      m_pudtEncodeAhead = nullptr;
    }
  } else if (m_pudtFileStream != nullptr && !m_pudtFileStream->AtEnd() && line != nullptr) {
    unsigned char data[kBytesPerLine];
    int32_t const count = m_pudtFileStream->ReadBytes(data, kBytesPerLine);
    if (count > 0) {
      char text[4 * (kBytesPerLine / 3) + 3];
      int const length = UUEncode(data, count, text);
      line->Load(text, length);
      m_lngStatusDone += count;
      // The status text is the same for every line of a run: made once, the percent each time.
      if (m_ustrStatus.IsEmpty()) {
        UpdateStatus(U("Encoding ") + U(texts.noun) + U(": '") + m_ustrName + U("'..."));
      } else {
        UpdatePercent();
      }
      more = !m_pudtFileStream->AtEnd();
      if (m_pudtEncodedStream != nullptr && !m_bolEncodeFailed) {
        text[length] = '\r';
        text[length + 1] = '\n';
        if (m_pudtEncodedStream->WriteBytes(reinterpret_cast<unsigned char*>(text), length + 2) != length + 2) {
          m_bolEncodeFailed = true;
        }
      }
    } else {
      m_ustrError = U("Could not read ") + U(texts.noun) + U(" File: ") + m_pudtFileStream->ErrorString();
      m_bolEncodeFailed = true;
    }
  }
  // A run that read nothing (an empty file) still writes the one line it hands out.
  if (m_pudtEncodedStream != nullptr && line != nullptr && !m_bolEncodeFailed && m_lngStatusDone == 0) {
    if (m_pudtEncodedStream->WriteLine(*line, kLineEndingCRLF) != line->Length() + 2) m_bolEncodeFailed = true;
  }
  if (!more) {
    m_lngStatusTotal = 0;
    m_lngStatusDone = 0;
    m_ustrName = UniString();
    UpdateStatus(UniString());
    // The bytes still waiting in the buffer (a whole small file's) must reach the copy: a copy
    // its last write failed to complete is no encoding to read back.
    if (m_pudtEncodedStream != nullptr && !m_bolEncodeFailed) {
      m_pudtEncodedStream->FlushWriteBuffer();
      if (m_pudtEncodedStream->ErrorString().IsNotEmpty()) m_bolEncodeFailed = true;
    }
    CloseFileStreams();
    // Only a whole encoding is read back later, and only while the file is still the one this
    // run wrote (its size, date and node as they are now); a broken one is made again.
    if (m_bolEncodeFailed || !RecordEncodedFile()) {
      RemoveEncodedFile();
    } else {
      encoded = true;
    }
  }
  return more;
}
