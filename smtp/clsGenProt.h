// clsGenProt: the protocol controller, the half of the protocol machinery that lives on the
// host's thread. It owns one worker thread (clsGenProtThread) and the lock that guards the
// fields the two share. Constructing it does no I/O and starts no thread; the destructor shuts
// a running thread down. Operations leave an English error text readable via ErrorString().
#pragma once

#include "core/AnsiString.h"

class clsGenProtThread;

class clsGenProt {
 public:
  clsGenProt();
  virtual ~clsGenProt();
  clsGenProt(clsGenProt const&) = delete;
  clsGenProt& operator=(clsGenProt const&) = delete;

  // True while a worker thread object exists.
  bool IsProtocolStarted();
  AnsiString ErrorString() const { return m_astrError; }
  AnsiString WarningString() const { return m_astrWarning; }
  clsGenProtThread* GetThread() const { return m_pudtThread; }

 protected:
  clsGenProtThread* m_pudtThread;
  AnsiString m_astrError;
  AnsiString m_astrWarning;
};
