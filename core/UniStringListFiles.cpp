// UniStringListFiles: a UniStringList saved to and loaded from byte streams and text files.
// Interface: UniStringList::SaveToStream, SaveToFile, LoadFromStream, LoadFromFile (declared in
// core/UniStringList.h). Saving writes an optional byte-order mark and the strings with the
// chosen line end between them (none after the last); loading recognises the marks EF BB BF,
// FE FF and FF FE and mark-less UTF-16 by its zero bytes, and accepts CR, LF and CR LF.
// Relies on files/XStream.h for the line input and output, files/XFileStream.h over the data
// fork with a 16384-byte buffer (a save writes a new file that replaces the old one whole),
// and files/XFileSpec.h for validation.
// Failures come back only as the returned English error text (empty means success); nothing
// throws. A failed save leaves the old file as it was; a failed load keeps the lines read up
// to the failure.
#include <cstdint>
#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"
#include "files/XStream.h"

namespace {

int32_t const kFileStreamBufferBytes = 16384;
char const kDataForkName[] = "XFSDataFork";
int const kEncodingUTF16 = 0;
int const kEncodingUTF8 = 1;

UniString U(char const* text) { return UniString(text); }

// Where the lines start and how they are read, as the first bytes of a stream tell it.
struct stcSniffResult {
  int intEncoding;
  bool bolLittleEndian;
  int32_t lngStart;
};

// Matches the first bytes (count of them, at most 4) against the marks and the mark-less
// UTF-16 patterns; the fallback is the given encoding and byte order from byte 0.
stcSniffResult SniffEncoding(unsigned char const* b, int32_t count, int encoding,
                             bool littleEndian) {
  if (count >= 2 && b[0] == 0xFE && b[1] == 0xFF) return {kEncodingUTF16, false, 2};
  if (count >= 2 && b[0] == 0xFF && b[1] == 0xFE) return {kEncodingUTF16, true, 2};
  if (count >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return {kEncodingUTF8, false, 3};
  if (count >= 4 && b[0] == 0 && b[1] != 0 && b[2] == 0 && b[3] != 0)
    return {kEncodingUTF16, false, 0};
  if (count >= 4 && b[0] != 0 && b[1] == 0 && b[2] != 0 && b[3] == 0)
    return {kEncodingUTF16, true, 0};
  return {encoding, littleEndian, 0};
}

}  // namespace

UniString UniStringList::SaveToStream(XStream* stream, int encoding, bool writeMark,
                                      enumLineEndingType ending) const {
  if (m_vecStrings.empty()) return UniString();
  if (stream == nullptr) return U("Output Stream is NULL!");

  if (writeMark) {
    try {
      static unsigned char const kMarkUTF8[] = {0xEF, 0xBB, 0xBF};
      static unsigned char const kMarkUTF16[] = {0xFE, 0xFF};
      unsigned char const* mark = nullptr;
      int32_t markBytes = 0;
      if (encoding == kEncodingUTF8) {
        mark = kMarkUTF8;
        markBytes = 3;
      } else if (encoding == kEncodingUTF16) {
        mark = kMarkUTF16;
        markBytes = 2;
      }
      if (markBytes > 0 && stream->WriteBytes(mark, markBytes) < markBytes) {
        return U("Error Writing out Byte Order Mark: ") + stream->ErrorString();
      }
    } catch (...) {
      return U("Error Writing out Byte Order Mark.");
    }
  }

  try {
    size_t const last = m_vecStrings.size() - 1;
    for (size_t i = 0; i <= last; ++i) {
      // No line end follows the last line.
      stream->WriteLine(m_vecStrings[i], i < last ? ending : kLineEndingNone, encoding);
      // The last line is checked too: a failed final write must not pass for a saved list.
      UniString const error = stream->ErrorString();
      if (error.IsNotEmpty()) return error;
    }
  } catch (...) {
    return U("Error Writing Lines to the Stream.");
  }
  return UniString();
}

UniString UniStringList::SaveToFile(XFileSpec& file, uint32_t creator, uint32_t fileType,
                                    int encoding, bool writeMark, enumLineEndingType ending,
                                    int32_t permissions) const {
  clsFuncDebug dbg(U("UniStringList::SaveToFile"));
  if (m_vecStrings.empty()) return UniString();

  UniString const path = file.GetPath(kPathStylePOSIX, true);
  bool isDir = false;
  bool isFile = false;
  if (!file.IsValid(&isDir, &isFile, false, false)) {
    return U("Error Saving to ") + path + U("; The Path is Invalid: ") + file.ErrorString();
  }
  if (isDir) {
    return U("Error Saving to ") + path +
           U("; A Folder already exists with the name given for the File.");
  }
  // The lines go to a new file that takes the old one's place only once it is whole and on
  // disk: a save that fails or is cut short leaves the old file as it was. The successor keeps
  // an existing file's creator and type.
  std::unique_ptr<XFileStream> stream(new (std::nothrow) XFileStream(kFileStreamBufferBytes));
  if (!stream) return U("Could not create File Stream for ") + path;

  UniString result;
  try {
    if (!stream->AttachForReplace(XFileSpec(file), creator, fileType, permissions)) {
      result = isFile ? U("Could not open File for Writing: ") + stream->ErrorString()
                      : U("Error Creating File ") + path + U("; ") + stream->ErrorString();
    } else {
      result = SaveToStream(stream.get(), encoding, writeMark, ending);
      if (result.IsEmpty() && !stream->CommitReplace()) result = stream->ErrorString();
    }
  } catch (...) {
    result = U("Error Saving to File Stream for ") + path;
  }
  return result;
}

UniString UniStringList::LoadFromStream(XStream* stream, bool useGiven, bool littleEndian,
                                        int encoding) {
  Clear();
  if (stream == nullptr) return U("Input Stream is NULL!");

  try {
    int32_t const size = stream->GetSize();
    if (size > 0) m_vecStrings.reserve(static_cast<size_t>(static_cast<double>(size / 60) * 1.1));
    stream->SetPos(0, kStreamFromStart);
    if (!useGiven) {
      unsigned char head[4] = {0, 0, 0, 0};
      int32_t const wanted = size < 4 ? (size > 0 ? size : 0) : 4;
      int32_t const got = wanted > 0 ? stream->ReadBytes(head, wanted) : 0;
      stcSniffResult const sniffed = SniffEncoding(head, got, encoding, littleEndian);
      encoding = sniffed.intEncoding;
      littleEndian = sniffed.bolLittleEndian;
      stream->SetPos(sniffed.lngStart, kStreamFromStart);
    }
  } catch (...) {
    return U("Error while checking for Byte Order Mark in Stream.");
  }

  try {
    // Every line read takes at least one byte, so more reads than bytes means the stream has
    // stopped moving; that ends the load instead of spinning.
    int64_t readsLeft = static_cast<int64_t>(stream->GetSize()) + 1;
    UniString line;
    while (!stream->AtEnd()) {
      if (--readsLeft < 0) return U("Error Reading From Stream.");
      stream->ReadLine(&line, kLineEndingNone, encoding, littleEndian, true);
      UniString const error = stream->ErrorString();
      if (error.IsNotEmpty()) return error;
      Add(line);
    }
  } catch (...) {
    return U("Error Reading From Stream.");
  }
  return UniString();
}

UniString UniStringList::LoadFromFile(XFileSpec& file, int encoding) {
  clsFuncDebug dbg(U("UniStringList::LoadFromFile"));
  Clear();
  UniString const path = file.GetPath(kPathStylePOSIX, true);

  std::unique_ptr<XFileStream> stream(new (std::nothrow) XFileStream(kFileStreamBufferBytes));
  if (!stream) return U("Could not create File Stream for ") + path;

  try {
    if (!stream->AttachToFile(XFileSpec(file), 0, U(kDataForkName))) {
      return U("Could not Open File for Reading: ") + path + U("; ") + stream->ErrorString();
    }
    return LoadFromStream(stream.get(), false, false, encoding);
  } catch (...) {
    return U("Error Opening or Reading from ") + path;
  }
}
