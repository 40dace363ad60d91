// ResourceFile: reader and writer of our resource file format (layout in ResourceFile.h).
// The reader validates the whole entry list at Open and afterwards reads data with pread, which
// needs no shared file position, so concurrent reads of one open file are safe. The writer writes
// "<path>.tmp.<pid>" and renames it over the path. Failures give false and an English text.
#include "platform/carbon/ResourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

UInt32 GetBE32(UInt8 const* p) {
  return (UInt32(p[0]) << 24) | (UInt32(p[1]) << 16) | (UInt32(p[2]) << 8) | UInt32(p[3]);
}

void PutBE32(std::vector<UInt8>* out, UInt32 value) {
  out->push_back(UInt8(value >> 24));
  out->push_back(UInt8(value >> 16));
  out->push_back(UInt8(value >> 8));
  out->push_back(UInt8(value));
}

// Reads exactly count bytes at offset; false on an error or a short read.
bool ReadFully(int fd, UInt64 offset, void* buffer, size_t count) {
  auto* out = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    ssize_t got = pread(fd, out, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += UInt64(got);
    count -= size_t(got);
  }
  return true;
}

bool WriteFully(int fd, UInt8 const* data, size_t count) {
  while (count > 0) {
    ssize_t put = write(fd, data, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    count -= size_t(put);
  }
  return true;
}

std::string ErrnoText(char const* what, char const* path) {
  return std::string(what) + " \"" + path + "\": " + std::strerror(errno);
}

}  // namespace

clsResourceFileReader::~clsResourceFileReader() { Close(); }

void clsResourceFileReader::Close() {
  if (m_intFD >= 0) close(m_intFD);
  m_intFD = -1;
  m_udtEntries.clear();
}

bool clsResourceFileReader::Open(char const* posixPath) {
  Close();
  m_bolNotFound = false;
  m_strError.clear();
  if (posixPath == nullptr || posixPath[0] == '\0') {
    m_bolNotFound = true;
    m_strError = "No resource file path given";
    return false;
  }
  int fd = open(posixPath, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    m_bolNotFound = true;
    m_strError = ErrnoText("Cannot open resource file", posixPath);
    return false;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    m_strError = std::string("Not a regular file: \"") + posixPath + "\"";
    close(fd);
    return false;
  }
  UInt64 const fileSize = UInt64(info.st_size);
  char magic[sizeof kResourceFileMagic];
  if (fileSize < sizeof magic || !ReadFully(fd, 0, magic, sizeof magic) ||
      std::memcmp(magic, kResourceFileMagic, sizeof magic) != 0) {
    m_strError = std::string("Not a resource file (bad magic): \"") + posixPath + "\"";
    close(fd);
    return false;
  }
  // Walk the entry headers; every entry must lie wholly within the file.
  std::vector<stcResourceFileEntry> entries;
  UInt64 pos = sizeof magic;
  while (pos < fileSize) {
    UInt8 header[kResourceEntryHeaderSize];
    if (fileSize - pos < sizeof header || !ReadFully(fd, pos, header, sizeof header)) {
      m_strError = std::string("Resource file cut inside an entry header: \"") + posixPath + "\"";
      close(fd);
      return false;
    }
    stcResourceFileEntry entry;
    entry.m_ulngType = GetBE32(header);
    entry.m_intID = ResID(UInt16((UInt16(header[4]) << 8) | header[5]));
    entry.m_ulngLength = GetBE32(header + 6);
    pos += sizeof header;
    if (entry.m_ulngLength > 0x7FFFFFFFu || entry.m_ulngLength > fileSize - pos ||
        pos > 0xFFFFFFFFu - entry.m_ulngLength) {
      m_strError = std::string("Resource data runs past the end of the file: \"") + posixPath + "\"";
      close(fd);
      return false;
    }
    entry.m_ulngOffset = UInt32(pos);
    pos += entry.m_ulngLength;
    entries.push_back(entry);
  }
  m_intFD = fd;
  m_udtEntries.swap(entries);
  return true;
}

int clsResourceFileReader::FindEntry(ResType type, ResID id) const {
  for (size_t i = 0; i < m_udtEntries.size(); ++i) {
    if (m_udtEntries[i].m_ulngType == type && m_udtEntries[i].m_intID == id) return int(i);
  }
  return -1;
}

bool clsResourceFileReader::ReadData(size_t index, UInt32 offset, void* buffer, UInt32 count) {
  if (m_intFD < 0 || index >= m_udtEntries.size()) return false;
  stcResourceFileEntry const& entry = m_udtEntries[index];
  if (offset > entry.m_ulngLength || count > entry.m_ulngLength - offset) return false;
  if (count == 0) return true;
  if (buffer == nullptr) return false;
  return ReadFully(m_intFD, UInt64(entry.m_ulngOffset) + offset, buffer, count);
}

void clsResourceFileWriter::AddResource(ResType type, ResID id, void const* data, size_t length) {
  std::vector<UInt8> bytes;
  if (data != nullptr && length > 0) {
    auto const* p = static_cast<UInt8 const*>(data);
    bytes.assign(p, p + length);
  }
  for (stcResource& resource : m_udtResources) {
    if (resource.m_ulngType == type && resource.m_intID == id) {
      resource.m_bytData.swap(bytes);
      return;
    }
  }
  m_udtResources.push_back(stcResource{type, id, std::move(bytes)});
}

bool clsResourceFileWriter::WriteToPath(char const* posixPath) {
  m_strError.clear();
  if (posixPath == nullptr || posixPath[0] == '\0') {
    m_strError = "No resource file path given";
    return false;
  }
  std::vector<UInt8> image(kResourceFileMagic, kResourceFileMagic + sizeof kResourceFileMagic);
  UInt64 total = image.size();
  for (stcResource const& resource : m_udtResources) {
    total += kResourceEntryHeaderSize + resource.m_bytData.size();
    if (resource.m_bytData.size() > 0x7FFFFFFFu || total > 0xFFFFFFFFu) {
      m_strError = "Resources too large for one resource file";
      return false;
    }
  }
  image.reserve(size_t(total));
  for (stcResource const& resource : m_udtResources) {
    PutBE32(&image, resource.m_ulngType);
    image.push_back(UInt8(UInt16(resource.m_intID) >> 8));
    image.push_back(UInt8(UInt16(resource.m_intID)));
    PutBE32(&image, UInt32(resource.m_bytData.size()));
    image.insert(image.end(), resource.m_bytData.begin(), resource.m_bytData.end());
  }
  std::string const tempPath = std::string(posixPath) + ".tmp." + std::to_string(getpid());
  int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    m_strError = ErrnoText("Cannot create resource file", tempPath.c_str());
    return false;
  }
  bool written = WriteFully(fd, image.data(), image.size());
  if (!written) m_strError = ErrnoText("Cannot write resource file", tempPath.c_str());
  if (close(fd) != 0 && written) {
    written = false;
    m_strError = ErrnoText("Cannot write resource file", tempPath.c_str());
  }
  if (written && rename(tempPath.c_str(), posixPath) != 0) {
    written = false;
    m_strError = ErrnoText("Cannot move resource file into place", posixPath);
  }
  if (!written) unlink(tempPath.c_str());
  return written;
}
