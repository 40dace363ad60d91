// ResFileGuard: makes the plug-in's own resource file current for one scope and the file that
// was current before current again when the scope ends, on every path out of it (a return, a
// caught or escaping exception). The entry point, the calculation-function callbacks and the
// file functions hold one around their work.
// Interface: clsResFileGuard(file to make current), typically g_shtResourceID.
// Relies on the Resource Manager stand-in (CurResFile, UseResFile). Header-only; never throws.
// An unknown file leaves the current one as it is, as UseResFile does.
#pragma once

#include "platform/carbon/Resources.h"

class clsResFileGuard {
 public:
  explicit clsResFileGuard(ResFileRefNum pluginFile) : m_shtPrevious(CurResFile()) {
    UseResFile(pluginFile);
  }
  ~clsResFileGuard() { UseResFile(m_shtPrevious); }
  clsResFileGuard(clsResFileGuard const&) = delete;
  clsResFileGuard& operator=(clsResFileGuard const&) = delete;

 private:
  ResFileRefNum m_shtPrevious;
};
