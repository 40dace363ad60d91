// Common: the process-wide state of the strings-and-files layer is freed in a fixed order, the
// debug log last so that the other clean-ups may still log. Each step finds its state already
// freed on a second call and then does nothing.
#include "core/Common.h"

#include "core/DebugLog.h"
#include "core/UniConverter.h"
#include "core/clsParameterExtractor.h"
#include "files/XFileSpec.h"

void StartupCommon() {}

void ShutdownCommon() {
  DestroyParameterExtractor();
  CleanUpXFileSpec();
  FreeUniConverters();
  // Frees the back-log and deletes the lock only when the log is on; without the lock taken,
  // which is safe because every other thread that logs has stopped by now.
  EndDebug();
}
