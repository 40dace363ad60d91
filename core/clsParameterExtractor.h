// clsParameterExtractor: turns one host parameter (fmx::Data) into a named value of the wanted
// type, refusing host values whose type does not fit, and converts host texts and date-times.
// Interface: the one process-wide instance g_udtPE (CreateParameterExtractor /
// DestroyParameterExtractor), Extract, ExtractText (through a reusable buffer that only grows),
// ParseDateTime / ParseTime / ParseDate, and ParseBooleanParameter for boolean words and numbers.
// Relies on the host SDK stand-in, core/clsSingleVar.h, core/clsDateTime.h, the debug log and the
// plug-in frame's host-text helpers. Host thread only; no lock.
// Failure: a refused parameter or a failed allocation is a false result or an empty text; a
// failing host call raises its exception, which passes to the caller.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "core/clsDateTime.h"
#include "platform/fmx/FMXData.h"
#include "platform/fmx/FMXDateTime.h"
#include "platform/fmx/FMXText.h"

class clsSingleVar;

// The type a calculation function wants of a parameter.
enum enumPEType : int32_t {
  kPEText = 0,
  kPEInteger = 1,
  kPEFloat = 2,
  kPEBoolean = 3,
  kPEList = 4,
  kPEDateTime = 5
};

class clsParameterExtractor {
 public:
  clsParameterExtractor();
  ~clsParameterExtractor();
  clsParameterExtractor(clsParameterExtractor const&) = delete;
  clsParameterExtractor& operator=(clsParameterExtractor const&) = delete;

  // True when var received a value of the wanted kind; false (var unchanged) for a null var, an
  // unknown type or a host value that does not fit. A Boolean is stored as an integer.
  // censorTrace: the value is a secret, and the Full-level trace shows kDebugCensoredText for it.
  bool Extract(fmx::Data const& data, clsSingleVar* var, enumPEType type, bool censorTrace = false);
  // The text's units up to a first U+0000; empty when the buffer cannot be allocated.
  UniString ExtractText(fmx::Text const& text);

  // The host's calendar fields applied to the current moment in the system time zone: all of
  // them, only the time of day (today's date kept), or only the date (the time of day kept).
  clsDateTime ParseDateTime(fmx::DateTime const& dateTime);
  clsDateTime ParseTime(fmx::DateTime const& time);
  clsDateTime ParseDate(fmx::DateTime const& date);

  // The conversion buffer and the units it holds besides its terminator (for tests).
  unsigned short const* GetBuffer() const { return m_ptrBuffer; }
  uint32_t GetCapacity() const { return m_ulngCapacity; }

 private:
  unsigned short* m_ptrBuffer;
  uint32_t m_ulngCapacity;
};

// The one instance; null before CreateParameterExtractor and after DestroyParameterExtractor.
extern clsParameterExtractor* g_udtPE;

// Creates the instance when there is none; true when one exists afterwards.
bool CreateParameterExtractor();
// Deletes the instance (and its buffer) and sets g_udtPE to null.
void DestroyParameterExtractor();

// Recognises T, TRUE, Y, YES, ON and a positive number as true, F, FALSE, N, NO, OFF, an empty
// text and 0 as false (trimmed, ASCII letters in any case); true when *result was set.
bool ParseBooleanParameter(UniString text, bool* result);

// Makes the next growth of a conversion buffer fail as if memory had run out.
void FailNextParameterBufferForTesting();
