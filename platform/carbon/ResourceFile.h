// ResourceFile: the on-disk format of our resource files, with a reader and a writer.
// Format, every number big-endian:
//   magic   4 bytes "VRSF"
//   then entries up to the end of the file, each:
//     type    4 bytes (a four-character code such as 'UNIC')
//     id      2 bytes, signed
//     length  4 bytes, at most 0x7FFFFFFF
//     data    length bytes
// A file may hold the same type and id twice; the first entry wins. Empty data is allowed.
// The reader checks the whole layout when it opens a file (bad magic, a cut entry header or data
// running past the end is refused) and then reads data on demand with pread. The writer builds a
// file in memory and writes it through a temporary file renamed into place, so a reader never
// sees half a file. Both report failures as false plus an English text in ErrorString().
// Relies on POSIX file calls only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/carbon/MacTypes.h"

// Four magic bytes that open every resource file.
constexpr char kResourceFileMagic[4] = {'V', 'R', 'S', 'F'};
// Bytes of an entry header: type, id, length.
constexpr size_t kResourceEntryHeaderSize = 10;

// Where one resource lies in its file.
struct stcResourceFileEntry {
  ResType m_ulngType = 0;
  ResID m_intID = 0;
  UInt32 m_ulngOffset = 0;  // of the data, from the start of the file
  UInt32 m_ulngLength = 0;
};

class clsResourceFileReader {
 public:
  clsResourceFileReader() = default;
  ~clsResourceFileReader();
  clsResourceFileReader(clsResourceFileReader const&) = delete;
  clsResourceFileReader& operator=(clsResourceFileReader const&) = delete;

  // Opens the file and reads its entry list. false: the file cannot be opened (NotFound() tells
  // whether it is missing) or is no well-formed resource file.
  bool Open(char const* posixPath);
  void Close();
  bool IsOpen() const { return m_intFD >= 0; }
  bool NotFound() const { return m_bolNotFound; }

  std::vector<stcResourceFileEntry> const& Entries() const { return m_udtEntries; }
  // Index of the first entry with the type and id, -1 when none.
  int FindEntry(ResType type, ResID id) const;
  // Reads count bytes at offset within entry `index`'s data; false when out of range or on a
  // read error.
  bool ReadData(size_t index, UInt32 offset, void* buffer, UInt32 count);

  std::string const& ErrorString() const { return m_strError; }

 private:
  int m_intFD = -1;
  bool m_bolNotFound = false;
  std::vector<stcResourceFileEntry> m_udtEntries;
  std::string m_strError;
};

class clsResourceFileWriter {
 public:
  // Adds a resource; one with the same type and id replaces the earlier one.
  void AddResource(ResType type, ResID id, void const* data, size_t length);
  void AddResource(ResType type, ResID id, std::vector<UInt8> const& data) {
    AddResource(type, id, data.data(), data.size());
  }
  size_t Count() const { return m_udtResources.size(); }

  // Writes the file (replacing any file at the path); false with ErrorString() on failure.
  bool WriteToPath(char const* posixPath);

  std::string const& ErrorString() const { return m_strError; }

 private:
  struct stcResource {
    ResType m_ulngType;
    ResID m_intID;
    std::vector<UInt8> m_bytData;
  };
  std::vector<stcResource> m_udtResources;
  std::string m_strError;
};
