// clsFNAMParser: the reader knows the whole compression scheme (both modes, quotes, window
// definitions, extended windows); the writer uses a small subset: every unit up to U+00FF as one
// byte through the initial windows, everything else quoted as two bytes. Units that one byte
// would not bring back (C0 controls other than tab, LF and CR read as tags; U+0080 to U+00FF of
// the folder path read through window 3) are quoted too, so whatever the writer writes reads back
// unchanged.
#include "plugin/clsFNAMParser.h"

#include <cstdint>
#include <new>

namespace {

unsigned char const kMask = 0x1D;
fmx::unichar16 const kSlashCarrier = 0xE000;

char const* const kNoReferences = "The FileName Stream did not contain any File References.";
char const* const kStreamCut = "The FileName Stream ended before its File Reference did.";
char const* const kNoMemoryForText = "Could not allocate memory for File Name.";
char const* const kNoMemoryForStream = "Could not allocate memory for New FNAM Stream.";
char const* const kTextTooLong = "A File Reference text is longer than 255 characters and does not fit the FileName Stream.";

uint32_t const kStaticWindows[8] = {0x0000, 0x0080, 0x0100, 0x0300, 0x2000, 0x2080, 0x2100, 0x3000};
uint32_t const kInitialDynamicWindows[8] = {0x0080, 0x00C0, 0x0400, 0x0600, 0x0900, 0x3040, 0x30A0, 0xFF00};

// The offset a window-definition argument names; false for the reserved arguments, which leave
// the window where it was.
bool DefinedOffset(unsigned char x, uint32_t* offset) {
  if (x >= 0x01 && x <= 0x67) {
    *offset = uint32_t(x) * 0x80;
  } else if (x >= 0x68 && x <= 0xA7) {
    *offset = uint32_t(x) * 0x80 + 0xAC00;
  } else {
    switch (x) {
      case 0xF9: *offset = 0x00C0; break;
      case 0xFA: *offset = 0x0250; break;
      case 0xFB: *offset = 0x0370; break;
      case 0xFC: *offset = 0x0530; break;
      case 0xFD: *offset = 0x3040; break;
      case 0xFE: *offset = 0x30A0; break;
      case 0xFF: *offset = 0xFF60; break;
      default: return false;
    }
  }
  return true;
}

// One text's decoding state over a bounded run of masked bytes.
class clsSCSUReader {
 public:
  clsSCSUReader(unsigned char const* bytes, unsigned int available, unsigned short* out)
      : m_ptrBytes(bytes), m_ulngAvailable(available), m_ptrOut(out) {
    for (int i = 0; i < 8; ++i) m_ulngWindows[i] = kInitialDynamicWindows[i];
  }

  // Reads until count units are out; false when the bytes end first.
  bool Run(unsigned int count) {
    while (m_ulngProduced < count) {
      if (!(m_bolUnicodeMode ? UnicodeStep() : SingleByteStep())) return false;
    }
    return true;
  }
  unsigned int Consumed() const { return m_ulngPos; }
  unsigned int Produced() const { return m_ulngProduced; }

 private:
  bool Next(unsigned char* value) {
    if (m_ulngPos >= m_ulngAvailable) return false;
    *value = m_ptrBytes[m_ulngPos++] ^ kMask;
    return true;
  }
  bool NextUnit(uint32_t* unit) {
    unsigned char high, low;
    if (!Next(&high) || !Next(&low)) return false;
    *unit = (uint32_t(high) << 8) | low;
    return true;
  }
  // A code point, as a surrogate pair above U+FFFF.
  void Emit(uint32_t code) {
    if (code >= 0x10000) {
      code -= 0x10000;
      m_ptrOut[m_ulngProduced++] = static_cast<unsigned short>(0xD800 + (code >> 10));
      m_ptrOut[m_ulngProduced++] = static_cast<unsigned short>(0xDC00 + (code & 0x3FF));
    } else {
      m_ptrOut[m_ulngProduced++] = static_cast<unsigned short>(code);
    }
  }
  bool DefineWindow(unsigned int window) {
    unsigned char x;
    if (!Next(&x)) return false;
    DefinedOffset(x, &m_ulngWindows[window]);
    m_intActive = window;
    return true;
  }
  bool DefineExtendedWindow() {
    unsigned char high, low;
    if (!Next(&high) || !Next(&low)) return false;
    unsigned int const window = high >> 5;
    m_ulngWindows[window] = 0x10000 + ((((uint32_t(high) & 0x1F) << 8) | low) << 7);
    m_intActive = window;
    return true;
  }

  bool SingleByteStep() {
    unsigned char b;
    if (!Next(&b)) return false;
    if (b >= 0x80) {
      Emit(m_ulngWindows[m_intActive] + b - 0x80);
    } else if (b >= 0x20 || b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0D) {
      Emit(b);
    } else if (b <= 0x08) {  // quote one character from window b - 1
      unsigned int const window = b - 1;
      unsigned char c;
      if (!Next(&c)) return false;
      Emit(c < 0x80 ? kStaticWindows[window] + c : m_ulngWindows[window] + c - 0x80);
    } else if (b == 0x0B) {
      return DefineExtendedWindow();
    } else if (b == 0x0E) {  // quote one unit
      uint32_t unit;
      if (!NextUnit(&unit)) return false;
      Emit(unit);
    } else if (b == 0x0F) {
      m_bolUnicodeMode = true;
    } else if (b >= 0x10 && b <= 0x17) {
      m_intActive = b - 0x10;
    } else if (b >= 0x18) {
      return DefineWindow(b - 0x18);
    }
    // 0x0C is reserved and skipped.
    return true;
  }

  bool UnicodeStep() {
    unsigned char b;
    if (!Next(&b)) return false;
    if (b >= 0xE0 && b <= 0xE7) {
      m_intActive = b - 0xE0;
      m_bolUnicodeMode = false;
    } else if (b >= 0xE8 && b <= 0xEF) {
      if (!DefineWindow(b - 0xE8)) return false;
      m_bolUnicodeMode = false;
    } else if (b == 0xF0) {  // quote one unit, staying in this mode
      uint32_t unit;
      if (!NextUnit(&unit)) return false;
      Emit(unit);
    } else if (b == 0xF1) {
      if (!DefineExtendedWindow()) return false;
      m_bolUnicodeMode = false;
    } else if (b != 0xF2) {  // 0xF2 is reserved and skipped
      unsigned char low;
      if (!Next(&low)) return false;
      Emit((uint32_t(b) << 8) | low);
    }
    return true;
  }

  unsigned char const* m_ptrBytes;
  unsigned int m_ulngAvailable;
  unsigned int m_ulngPos = 0;
  unsigned short* m_ptrOut;
  unsigned int m_ulngProduced = 0;
  uint32_t m_ulngWindows[8];
  unsigned int m_intActive = 0;
  bool m_bolUnicodeMode = false;
};

// The writer's output: the largest stream is the count, three length bytes, the folder path's
// window definition and three texts of 255 quoted units.
unsigned int const kMaxStream = 4 + 3 + 2 + 3 * 255 * 3;

class clsStreamWriter {
 public:
  void Raw(unsigned char b) { m_bytBuffer[m_ulngLength++] = b; }
  void Masked(unsigned char b) { Raw(b ^ kMask); }
  void Quoted(unsigned short unit) {
    Masked(0x0E);
    Masked(static_cast<unsigned char>(unit >> 8));
    Masked(static_cast<unsigned char>(unit & 0xFF));
  }
  // A length byte and the units: one byte each where that reads back as the same unit.
  void Text(fmx::Text const& text, bool folderPath) {
    fmx::uint32 const size = text.GetSize();
    Raw(static_cast<unsigned char>(size));
    if (size == 0) return;
    unsigned short units[255];
    text.GetUnicode(units, 0, size);
    // Dynamic window 3 at U+E000, active: its first byte 0x80 carries the '/'.
    if (folderPath) {
      Masked(0x1B);
      Masked(0x68);
    }
    for (fmx::uint32 i = 0; i < size; ++i) {
      unsigned short const u = units[i];
      bool const control = u >= 0x01 && u <= 0x1F && u != 0x09 && u != 0x0A && u != 0x0D;
      if (folderPath && u == '/') {
        Masked(0x80);
      } else if (u > 0xFF || control || (folderPath && u >= 0x80)) {
        Quoted(u);
      } else {
        Masked(static_cast<unsigned char>(u));
      }
    }
  }
  unsigned char const* Bytes() const { return m_bytBuffer; }
  unsigned int Length() const { return m_ulngLength; }

 private:
  unsigned char m_bytBuffer[kMaxStream];
  unsigned int m_ulngLength = 0;
};

}  // namespace

clsFNAMParser::clsFNAMParser() {}

unsigned short* clsFNAMParser::DecodeUnicode(unsigned char const* bytes, unsigned int available, unsigned int count,
                                             unsigned int* consumed) {
  if (consumed) *consumed = 0;
  // Room for every unit asked for, a surrogate's second unit beyond them and the terminator.
  unsigned short* units = new (std::nothrow) unsigned short[size_t(count) + 2];
  if (units == nullptr) {
    m_astrError = kNoMemoryForText;
    return nullptr;
  }
  clsSCSUReader reader(bytes, bytes ? available : 0, units);
  bool const complete = reader.Run(count);
  if (consumed) *consumed = reader.Consumed();
  if (!complete) {
    delete[] units;
    m_astrError = kStreamCut;
    return nullptr;
  }
  units[reader.Produced()] = 0;
  return units;
}

bool clsFNAMParser::DecodeText(unsigned char const* stream, unsigned int size, unsigned int* position,
                               fmx::Text* text) {
  if (*position >= size) {
    m_astrError = kStreamCut;
    return false;
  }
  unsigned int const count = stream[(*position)++];
  unsigned int consumed = 0;
  unsigned short* units = DecodeUnicode(stream + *position, size - *position, count, &consumed);
  if (units == nullptr) return false;
  *position += consumed;
  // A supplementary character at the end gives one unit more than the length byte said.
  unsigned int const produced = (count > 0 && units[count] != 0) ? count + 1 : count;
  text->AssignUnicodeWithLength(units, produced);
  delete[] units;
  return true;
}

bool clsFNAMParser::Set(unsigned char const* stream, unsigned int size) {
  m_astrError = AnsiString();
  if (stream == nullptr || size < 4) {
    m_astrError = kStreamCut;
    return false;
  }
  if (stream[0] == 0 && stream[1] == 0 && stream[2] == 0 && stream[3] == 0) {
    m_astrError = kNoReferences;
    return false;
  }
  fmx::Text protocol, path, fileName;
  unsigned int position = 4;
  if (!DecodeText(stream, size, &position, &protocol) || !DecodeText(stream, size, &position, &path) ||
      !DecodeText(stream, size, &position, &fileName)) {
    return false;
  }

  // Every U+E000 of the folder path is a '/'.
  fmx::uint32 const pathSize = path.GetSize();
  if (pathSize > 0) {
    unsigned short units[256];
    path.GetUnicode(units, 0, pathSize);
    for (fmx::uint32 i = 0; i < pathSize; ++i) {
      if (units[i] == kSlashCarrier) units[i] = '/';
    }
    path.AssignUnicodeWithLength(units, pathSize);
  }

  m_txtProtocol->SetText(protocol);
  m_txtPath->SetText(path);
  m_txtFileName->SetText(fileName);
  return true;
}

unsigned char* clsFNAMParser::Get(unsigned int* length) {
  m_astrError = AnsiString();
  if (length) *length = 0;
  if (m_txtProtocol->GetSize() > 255 || m_txtPath->GetSize() > 255 || m_txtFileName->GetSize() > 255) {
    m_astrError = kTextTooLong;
    return nullptr;
  }
  clsStreamWriter writer;
  for (unsigned char b : {0, 0, 0, 1}) writer.Raw(b);
  writer.Text(*m_txtProtocol, false);
  writer.Text(*m_txtPath, true);
  writer.Text(*m_txtFileName, false);

  unsigned char* stream = new (std::nothrow) unsigned char[writer.Length()];
  if (stream == nullptr) {
    m_astrError = kNoMemoryForStream;
    return nullptr;
  }
  for (unsigned int i = 0; i < writer.Length(); ++i) stream[i] = writer.Bytes()[i];
  if (length) *length = writer.Length();
  return stream;
}
