// clsFNAMParser: the codec of a container's 'FNAM' file-reference stream: a big-endian reference
// count (the writer writes 1, the reader needs any other value than 0 and reads the first
// reference), then three texts, the path kind, the folder path and the file name. Each text is
// a length byte (its UTF-16 units, so at most 255) and its units compressed with the Standard
// Compression Scheme for Unicode (Unicode Technical Standard #6), every byte of the compressed
// text XOR 0x1D; the count and the length bytes are not masked. A '/' of the folder path travels
// as U+E000 through dynamic window 3.
// Interface: Set (reads a stream of a known size into the three texts), Get (builds a stream of
// them), DecodeUnicode (the whole SCSU reader for one text), ErrorString.
// Relies on the host SDK stand-in's text and core/AnsiString.h. Never throws: failures are a
// false or null result with an English text in ErrorString(). Never reads past the bytes it is
// given. One object, one thread.
#pragma once

#include "core/AnsiString.h"
#include "platform/fmx/FMXText.h"

class clsFNAMParser {
 public:
  clsFNAMParser();
  clsFNAMParser(clsFNAMParser const&) = delete;
  clsFNAMParser& operator=(clsFNAMParser const&) = delete;

  // Parses a whole stream of size bytes into the three texts. False, with the error text set and
  // the texts as they were, for a count of 0 or a stream that ends before its last text does.
  bool Set(unsigned char const* stream, unsigned int size);
  // A new stream of the three texts (freed by the caller with delete[]) and its length; null and
  // a length of 0 when a text holds more than 255 units (it is never cut) or memory runs out.
  unsigned char* Get(unsigned int* length);
  // Decodes count UTF-16 units (a supplementary character may add one) from the masked bytes,
  // starting afresh in single-byte mode with the initial windows; consumed receives the bytes
  // read. Returns a new buffer of the units and a terminating 0 unit (freed by the caller with
  // delete[]), or null when the available bytes end first or memory runs out.
  unsigned short* DecodeUnicode(unsigned char const* bytes, unsigned int available, unsigned int count,
                                unsigned int* consumed);

  AnsiString ErrorString() const { return m_astrError; }

  // The path kind ("filemac", ...), the folder path ('/' separated) and the plain file name.
  fmx::TextAutoPtr m_txtProtocol;
  fmx::TextAutoPtr m_txtPath;
  fmx::TextAutoPtr m_txtFileName;

 private:
  // Decodes the text whose length byte stands at offset *position of the stream and moves
  // *position past it; false (error text set) when the stream ends first.
  bool DecodeText(unsigned char const* stream, unsigned int size, unsigned int* position, fmx::Text* text);

  AnsiString m_astrError;
};
