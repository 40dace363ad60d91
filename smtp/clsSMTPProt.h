// clsSMTPProt: the SMTP flavour of the protocol controller (clsGenProt). One instance lives in
// the global plug-in state for the plug-in's lifetime; constructing it does no I/O and starts no
// thread, destroying it shuts down a running worker thread.
// Relies on smtp/clsGenProt.h. Runs on the host's thread.
#pragma once

#include "smtp/clsGenProt.h"

class clsSMTPProt : public clsGenProt {
 public:
  clsSMTPProt();
  ~clsSMTPProt() override;
};
