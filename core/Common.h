// Common: the start-up and shut-down hooks with which the plug-in frame brackets the life of the
// strings-and-files layer inside the host's process.
// Interface: StartupCommon() (called after the frame has set its globals; nothing needs doing),
// ShutdownCommon() (called after the frame's objects are gone and the SMTP worker thread has
// stopped): frees the parameter extractor, the mounted-volume list, the code-page converters and
// the debug log's back-log and lock, leaving each ready for another start-up.
// Relies on core/clsParameterExtractor.h, files/XFileSpec.h, core/UniConverter.h and
// core/DebugLog.h. Host thread only; safe to call twice, and before the debug log was started.
// Nothing fails and nothing throws.
#pragma once

void StartupCommon();
void ShutdownCommon();
