// XStream: position arithmetic, the base forms of the byte operations, and line input and
// output built on the derived stream's ReadBytes, PeekBytes and WriteBytes.
// Lines are read one byte (or one two-byte unit) at a time into a 64-byte chunk that is
// converted whenever it fills; neither UTF-8 nor a multi-byte code page splits a character
// across chunks, and zero bytes are kept. The converted chunks gather in a growable buffer and
// become the line once, at its end, so a long line costs what its bytes cost (appending each
// chunk to the line itself would copy the whole line every 64 bytes). Failures are reported in
// the error text; nothing throws.
#include "files/XStream.h"

#include "core/UniConverter.h"

#include <cstring>
#include <new>
#include <string>

namespace {

constexpr int32_t kReadLineBufferBytes = 68;
constexpr int32_t kChunkBytes = 64;
constexpr unsigned short kCR = 0x000D;
constexpr unsigned short kLF = 0x000A;
constexpr int kEncodingUTF16 = 0;
constexpr int kEncodingUTF8 = 1;
constexpr int kEncodingUTF8Latin1 = 101;

// Bytes of UTF-8 that end a full chunk and belong to a character the chunk cuts off.
int32_t IncompleteUTF8Tail(unsigned char const* bytes, int32_t count) {
  for (int32_t back = 1; back <= 3 && back <= count; ++back) {
    unsigned char const b = bytes[count - back];
    if ((b & 0xC0) == 0x80) continue;  // continuation byte: look further back for its lead
    int32_t const needed = (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : 1;
    return needed > back ? back : 0;
  }
  return 0;
}

// Whether text can be converted in the encoding at all: the number is known and, for the code
// pages, the table loads. Probing one letter is enough, as an unmapped character still gives "?".
bool EncodingUsable(int encoding, bool forWriting) {
  if (encoding == kEncodingUTF16 || encoding == kEncodingUTF8) return true;
  if (encoding == kEncodingUTF8Latin1) return !forWriting;
  if (encoding < 2 || encoding > 5) return false;
  unsigned char probe[2] = {'A', 0};
  if (forWriting) {
    unsigned char out[16] = {0};
    return UniString(probe, 1, 1).GetCString(out, 8, encoding) > 0;
  }
  return UniString(probe, encoding, 1).IsNotEmpty();
}

UniString EncodingUnavailable(int encoding) {
  return UniString("Text Encoding ") + UniString(static_cast<int32_t>(encoding)) +
         UniString(" is not available.");
}

}  // namespace

XStream::XStream()
    : m_lngSize(0),
      m_lngPosition(0),
      m_pbytReadLineBuffer(nullptr),
      m_pbytWriteLineBuffer(nullptr),
      m_lngWriteLineBufferSize(0) {}

XStream::~XStream() {
  delete[] m_pbytReadLineBuffer;
  delete[] m_pbytWriteLineBuffer;
}

void XStream::ResetError(UniString const& text) {
  m_ustrError = text;
  m_ustrErrorDetail = UniString();
}

int32_t XStream::TargetOf(int32_t offset, int origin) const {
  int64_t const size = m_lngSize;
  int64_t const position = m_lngPosition;
  int64_t target = position;
  switch (origin) {
    case kStreamFromStart:
      // A negative offset from the start clamps to the start, never below it.
      target = offset < 0 ? 0 : (offset < size ? offset : size);
      break;
    case kStreamFromEnd: {
      int64_t const distance = offset < 0 ? -int64_t{offset} : int64_t{offset};
      target = distance < size ? size - distance : 0;
      break;
    }
    case kStreamFromPosition:
      if (offset >= 0) {
        target = position + offset < size ? position + offset : size;
      } else {
        target = position + offset > 0 ? position + offset : 0;
      }
      break;
    default:
      break;
  }
  return static_cast<int32_t>(target);
}

bool XStream::SetPos(int32_t offset, int origin) {
  ResetError("Unknown Error");
  m_lngPosition = TargetOf(offset, origin);
  m_ustrError = UniString();
  return true;
}

bool XStream::FindBounds(int32_t length, bool anyOf, int32_t occurrence, int32_t* start,
                         int32_t* last) {
  if (*start < 0) *start = 0;
  if (*start >= m_lngSize) *start = m_lngSize - 1;
  if (occurrence == 0) {
    m_ustrError = UniString();
    m_ustrErrorDetail = "Occurrence 0 does not exist";
    return false;
  }
  *last = m_lngSize - 1;
  if (!anyOf) {
    if (length > m_lngSize) {
      m_ustrErrorDetail = "Length of Find was greater than Length of Bytes";
      return false;
    }
    *last = m_lngSize - length;
    if (*start > *last) *start = *last;
  }
  return true;
}

bool XStream::SetSize(int32_t size, int origin) {
  (void)origin;  // the base form only records the new size
  ResetError("Unknown Error");
  if (size < 0) size = 0;
  if (size != m_lngSize) {
    m_lngSize = size;
    if (size < m_lngPosition) SetPos(0, kStreamFromEnd);
  }
  m_ustrError = UniString();
  return true;
}

int32_t XStream::ReadBytes(unsigned char* buffer, int32_t count) {
  (void)buffer;
  (void)count;
  ResetError("ReadBytes() Base Function is not overridden!");
  return 0;
}

int32_t XStream::PeekBytes(unsigned char* buffer, int32_t count) {
  (void)buffer;
  (void)count;
  ResetError("PeekBytes() Base Function is not overridden!");
  return 0;
}

int32_t XStream::WriteBytes(unsigned char const* bytes, int32_t count) {
  (void)bytes;
  (void)count;
  ResetError("WriteBytes() Base Function is not overridden!");
  return 0;
}

int32_t XStream::Find(unsigned char* pattern, int32_t length, bool anyOf, int32_t start,
                      int32_t occurrence) {
  (void)pattern;
  (void)length;
  (void)anyOf;
  (void)start;
  (void)occurrence;
  ResetError("Find() Base Function is not overridden!");
  return -1;
}

int32_t XStream::Insert(unsigned char* data, int32_t length, int32_t at, int32_t replaceLength) {
  (void)data;
  (void)length;
  (void)at;
  (void)replaceLength;
  ResetError("Insert() Base Function is not overridden!");
  return 0;
}

bool XStream::Match(unsigned char* bytes, int32_t length) {
  (void)bytes;
  (void)length;
  ResetError("Match() Base Function is not overridden!");
  return false;
}

int32_t XStream::Remove(int32_t at, int32_t length) {
  (void)at;
  (void)length;
  ResetError("Remove() Base Function is not overridden!");
  return 0;
}

void XStream::Replace(unsigned char* pattern, int32_t length, unsigned char* with,
                      int32_t withLength) {
  (void)pattern;
  (void)length;
  (void)with;
  (void)withLength;
  ResetError("Replace() Base Function is not overridden!");
}

int32_t XStream::ReadLine(AnsiString* line, enumLineEndingType ending, bool stripEnding) {
  ResetError(UniString());
  if (line == nullptr) {
    m_ustrError = "Output Line is NULL!";
    return 0;
  }
  *line = AnsiString();
  return DoReadLine(line, nullptr, ending, kEncodingUTF8, false, stripEnding);
}

int32_t XStream::ReadLine(UniString* line, enumLineEndingType ending, int encoding,
                          bool bytesInOrder, bool stripEnding) {
  ResetError(UniString());
  if (line == nullptr) {
    m_ustrError = "Output Line is NULL!";
    return 0;
  }
  *line = UniString();
  return DoReadLine(nullptr, line, ending, encoding, bytesInOrder, stripEnding);
}

int32_t XStream::DoReadLine(AnsiString* ansiLine, UniString* uniLine, enumLineEndingType ending,
                            int encoding, bool bytesInOrder, bool stripEnding) {
  if (AtEnd()) {
    m_ustrErrorDetail = "No lines left to read";
    return 0;
  }
  if (m_pbytReadLineBuffer == nullptr) {
    m_pbytReadLineBuffer = new (std::nothrow) unsigned char[kReadLineBufferBytes];
    if (m_pbytReadLineBuffer == nullptr) {
      m_ustrError = "Read Line Buffer is NULL!";
      return 0;
    }
  }
  if (uniLine != nullptr && !EncodingUsable(encoding, false)) {
    m_ustrError = EncodingUnavailable(encoding);
    return 0;
  }

  int32_t const unitBytes = (uniLine != nullptr && encoding == kEncodingUTF16) ? 2 : 1;
  unsigned char* const chunk = m_pbytReadLineBuffer;
  int32_t chunkBytes = 0;
  int32_t count = 0;
  stcLineParts parts;

  // One byte or unit from the stream; false on an error or when nothing (or half a unit) came.
  auto take = [&](bool peek, unsigned short* value) -> bool {
    unsigned char bytes[2] = {0, 0};
    int32_t const got = peek ? PeekBytes(bytes, unitBytes) : ReadBytes(bytes, unitBytes);
    if (m_ustrError.IsNotEmpty() || got != unitBytes) return false;
    if (unitBytes == 1) {
      *value = bytes[0];
    } else if (bytesInOrder) {
      *value = static_cast<unsigned short>(bytes[0] | (bytes[1] << 8));
    } else {
      *value = static_cast<unsigned short>((bytes[0] << 8) | bytes[1]);
    }
    return true;
  };
  // Units are kept in the machine's byte order, the order the encoding-0 conversion expects.
  auto store = [&](unsigned short value) {
    if (unitBytes == 1) {
      chunk[chunkBytes] = static_cast<unsigned char>(value);
    } else {
      std::memcpy(chunk + chunkBytes, &value, sizeof value);
    }
    chunkBytes += unitBytes;
    ++count;
    if (chunkBytes >= kChunkBytes) {
      int32_t const used = AppendChunk(&parts, uniLine != nullptr, chunkBytes, encoding, true);
      std::memmove(chunk, chunk + used, static_cast<size_t>(chunkBytes - used));
      chunkBytes -= used;
    }
  };

  bool const lfEnds = ending == kLineEndingNone || ending == kLineEndingLF;
  bool const crAlwaysEnds = ending == kLineEndingCR;
  bool lineEnded = false;
  for (;;) {
    unsigned short value = 0;
    if (!take(false, &value)) break;
    if (value == kLF && lfEnds) {
      if (!stripEnding) store(value);
      lineEnded = true;
    } else if (value == kCR) {
      if (crAlwaysEnds) {
        if (!stripEnding) store(value);
        lineEnded = true;
      } else {
        unsigned short next = 0;
        if (!take(true, &next)) {
          // A CR as the stream's last byte is taken as a line end.
          if (!stripEnding) store(value);
          break;
        }
        if (next == kLF) {
          if (!stripEnding) store(value);
          if (!take(false, &next)) break;
          if (!stripEnding) store(next);
          lineEnded = true;
        } else if (ending == kLineEndingNone) {
          if (!stripEnding) store(value);
          lineEnded = true;
        } else {
          // A lone CR is no line end here: the line goes on, and the CR stays in it unless
          // line ends are being stripped.
          if (!stripEnding) store(value);
        }
      }
    } else {
      store(value);
    }
    if (lineEnded || AtEnd()) break;
  }

  // After a failure the line keeps the chunks converted before it.
  bool const failed = m_ustrError.IsNotEmpty();
  if (!failed && chunkBytes > 0) AppendChunk(&parts, uniLine != nullptr, chunkBytes, encoding, false);
  if (ansiLine != nullptr && !parts.strBytes.empty()) {
    *ansiLine = AnsiString(parts.strBytes.data(), static_cast<int32_t>(parts.strBytes.size()));
  }
  if (uniLine != nullptr && !parts.vecUnits.empty()) {
    *uniLine = UniString(parts.vecUnits.data(), static_cast<int>(parts.vecUnits.size()));
  }
  return failed ? 0 : count;
}

int32_t XStream::AppendChunk(stcLineParts* parts, bool text, int32_t chunkBytes, int encoding,
                             bool chunkFull) {
  unsigned char const* const chunk = m_pbytReadLineBuffer;
  if (!text) {
    parts->strBytes.append(reinterpret_cast<char const*>(chunk), static_cast<size_t>(chunkBytes));
    return chunkBytes;
  }
  if (encoding == kEncodingUTF16) {
    int32_t const unitCount = chunkBytes / 2;
    size_t const at = parts->vecUnits.size();
    parts->vecUnits.resize(at + static_cast<size_t>(unitCount));
    std::memcpy(&parts->vecUnits[at], chunk, static_cast<size_t>(unitCount) * 2);
    return unitCount * 2;
  }
  int32_t used = chunkBytes;
  if (chunkFull && (encoding == kEncodingUTF8 || encoding == kEncodingUTF8Latin1)) {
    used -= IncompleteUTF8Tail(chunk, chunkBytes);
  } else if (chunkFull) {
    // A multi-byte code page: a lead byte at the chunk's end waits for its trail byte.
    UniConverter const* const converter = GetUniConverter(encoding);
    if (converter != nullptr) used -= converter->IncompleteTail(chunk, chunkBytes);
  }
  UniString const converted(chunk, encoding, used);
  if (converted.Length() > 0) {
    unsigned short const* const units = converted.GetBytes();
    parts->vecUnits.insert(parts->vecUnits.end(), units, units + converted.Length());
  }
  return used;
}

int32_t XStream::WriteLine(AnsiString line, enumLineEndingType ending) {
  ResetError(UniString());
  switch (ending) {
    case kLineEndingCR:
      line += AnsiString("\r");
      break;
    case kLineEndingLF:
      line += AnsiString("\n");
      break;
    case kLineEndingCRLF:
      line += AnsiString("\r\n");
      break;
    default:
      break;
  }
  return WriteBytes(reinterpret_cast<unsigned char const*>(line.c_str()), line.Length());
}

int32_t XStream::WriteLine(UniString line, enumLineEndingType ending, int encoding) {
  ResetError(UniString());
  bool const wide = encoding == kEncodingUTF16;
  unsigned char ends[4] = {0, 0, 0, 0};
  int32_t endBytes = 0;
  auto addEnd = [&](unsigned char byte) {
    if (wide) ends[endBytes++] = 0x00;  // the line end's units are big-endian, like the text
    ends[endBytes++] = byte;
  };
  if (ending == kLineEndingCR || ending == kLineEndingCRLF) addEnd(0x0D);
  if (ending == kLineEndingLF || ending == kLineEndingCRLF) addEnd(0x0A);

  if (line.IsEmpty()) return endBytes > 0 ? WriteBytes(ends, endBytes) : 0;
  if (!EncodingUsable(encoding, true)) {
    m_ustrError = EncodingUnavailable(encoding);
    return 0;
  }

  // Room for the longest possible form: a code-page unit may become up to 8 bytes.
  int64_t const perUnit = wide ? 2 : encoding == kEncodingUTF8 ? 3 : 8;
  int64_t const budget = endBytes + perUnit * line.Length();
  if (m_pbytWriteLineBuffer == nullptr || budget > m_lngWriteLineBufferSize) {
    delete[] m_pbytWriteLineBuffer;
    m_pbytWriteLineBuffer = nullptr;
    m_lngWriteLineBufferSize = 0;
    if (budget <= INT32_MAX - 2) {
      m_pbytWriteLineBuffer = new (std::nothrow) unsigned char[static_cast<size_t>(budget) + 2];
    }
    if (m_pbytWriteLineBuffer == nullptr) {
      m_ustrError = "Could not allocate memory for Writing Lines to the Stream.";
      return 0;
    }
    m_lngWriteLineBufferSize = static_cast<int32_t>(budget);
  }

  unsigned char* const buffer = m_pbytWriteLineBuffer;
  // The UTF-8 encoder counts its terminator inside the size it is given, the others put it
  // behind; the array's spare bytes hold it, so a line of three-byte characters written
  // without a line end keeps its last character.
  int32_t const room = m_lngWriteLineBufferSize + (encoding == kEncodingUTF8 ? 1 : 0);
  int32_t const n = line.GetCString(buffer, room, encoding);
  if (wide) {
    for (int32_t i = 0; i + 1 < n; i += 2) {
      unsigned short unit = 0;
      std::memcpy(&unit, buffer + i, sizeof unit);
      buffer[i] = static_cast<unsigned char>(unit >> 8);
      buffer[i + 1] = static_cast<unsigned char>(unit & 0xFF);
    }
  }
  std::memcpy(buffer + n, ends, static_cast<size_t>(endBytes));
  if (n + endBytes < 1) return 0;
  return WriteBytes(buffer, n + endBytes);
}
