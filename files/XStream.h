// XStream: the abstract byte stream of the file layer, with line input and output on top.
// Interface: a size, a position and the text of the last error (ErrorString(), empty after a
// success); virtual byte operations that XMemoryStream and XFileStream implement; and, built
// on them here, ReadLine/WriteLine for 8-bit lines (AnsiString) and for text lines (UniString)
// in any encoding number (0 UTF-16 units, 1 UTF-8, 101 UTF-8 keeping bad bytes, 2-5 code pages).
// Relies on core/UniString.h, core/AnsiString.h, and core/UniStringList.h for enumLineEndingType.
// Failures leave a message in the error text and return 0 (-1 for positions); nothing throws.
// A stream belongs to one thread at a time; even the line reads modify its line buffers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/AnsiString.h"
#include "core/UniString.h"
#include "core/UniStringList.h"  // enumLineEndingType, shared with the string-list text files

// Origins of SetPos and SetSize.
enum enumStreamOrigin : int32_t {
  kStreamFromStart = 0,
  kStreamFromEnd = 1,
  kStreamFromPosition = 2
};

class XStream {
 public:
  XStream();
  virtual ~XStream();
  XStream(XStream const&) = delete;
  XStream& operator=(XStream const&) = delete;

  // Base forms: SetSize/SetPos work on the size and position fields and always succeed; the
  // byte operations only report that a derived stream has not overridden them.
  virtual bool SetSize(int32_t size, int origin);
  virtual bool SetPos(int32_t offset, int origin);
  virtual int32_t ReadBytes(unsigned char* buffer, int32_t count);
  virtual int32_t PeekBytes(unsigned char* buffer, int32_t count);
  virtual int32_t WriteBytes(unsigned char const* bytes, int32_t count);
  virtual int32_t Find(unsigned char* pattern, int32_t length, bool anyOf, int32_t start,
                       int32_t occurrence);
  virtual int32_t Insert(unsigned char* data, int32_t length, int32_t at, int32_t replaceLength);
  virtual bool Match(unsigned char* bytes, int32_t length);
  virtual int32_t Remove(int32_t at, int32_t length);
  virtual void Replace(unsigned char* pattern, int32_t length, unsigned char* with,
                       int32_t withLength);

  UniString ErrorString() const { return m_ustrError; }
  int32_t GetSize() const { return m_lngSize; }
  bool AtEnd() const { return m_lngPosition >= m_lngSize; }

  // One line of bytes. Ending 0 accepts CR, LF and CR LF; 1, 2, 3 accept only CR, LF, CR LF.
  // Returns the bytes put into the line (kept line-end bytes included); 0 at the end of the
  // stream (ErrorString() empty) and on failure (ErrorString() set).
  int32_t ReadLine(AnsiString* line, enumLineEndingType ending, bool stripEnding);
  // Writes the line and its line end (ending 0: none); the result of WriteBytes.
  int32_t WriteLine(AnsiString line, enumLineEndingType ending);
  // One line of text in the encoding. Encoding 0 reads two-byte units, big-endian unless
  // bytesInOrder asks for little-endian, and counts units; the other encodings count bytes.
  int32_t ReadLine(UniString* line, enumLineEndingType ending, int encoding, bool bytesInOrder,
                   bool stripEnding);
  // Converts the line (encoding 0 is written big-endian), adds the line end and writes both.
  // Returns the result of WriteBytes, or 0 when nothing was written.
  int32_t WriteLine(UniString line, enumLineEndingType ending, int encoding);

 protected:
  // The first step of most operations: error text set to the given text, detail emptied.
  void ResetError(UniString const& text);
  // The position SetPos(offset, origin) names, clamped to 0..size (an unknown origin: the
  // current position).
  int32_t TargetOf(int32_t offset, int origin) const;
  // Find's common bounds, for a stream that is not empty: start clamped into the stream and
  // *last set to the last position a match may begin at. False, with the detail note set, for
  // occurrence 0 and for a pattern longer than the stream (anyOf false).
  bool FindBounds(int32_t length, bool anyOf, int32_t occurrence, int32_t* start, int32_t* last);

  int32_t m_lngSize;
  int32_t m_lngPosition;
  UniString m_ustrError;
  UniString m_ustrErrorDetail;  // secondary note of the last operation, such as "Nothing to Read"

 private:
  // The line reader behind both ReadLine forms: exactly one of ansiLine and uniLine is given.
  int32_t DoReadLine(AnsiString* ansiLine, UniString* uniLine, enumLineEndingType ending,
                     int encoding, bool bytesInOrder, bool stripEnding);
  // What DoReadLine has converted of a line so far: bytes of an 8-bit line or UTF-16 units of a
  // text line, in buffers that grow by doubling.
  struct stcLineParts {
    std::string strBytes;
    std::vector<unsigned short> vecUnits;
  };
  // Appends the first chunkBytes bytes of the read-line buffer, as bytes or (text) converted
  // in the encoding, to the parts, and returns how many of them it used: a full UTF-8 chunk
  // holds back a character cut off at its end.
  int32_t AppendChunk(stcLineParts* parts, bool text, int32_t chunkBytes, int encoding,
                      bool chunkFull);

  unsigned char* m_pbytReadLineBuffer;   // 68 bytes once the first ReadLine has run
  unsigned char* m_pbytWriteLineBuffer;  // m_lngWriteLineBufferSize + 2 bytes
  int32_t m_lngWriteLineBufferSize;
};
