// ConfigureFunctions: the calculation functions that report on and configure the plug-in:
// Version (id 1000), VersionAutoUpdate (1003) and Configure (1002), their host callbacks and
// their workers.
// Interface: VersionCallback, ConfigureCallback (read the host parameters as texts, call the
// worker, write its value as the host result, answer 0); DoVersion (the version text, the
// dialog for "About" or "Configure", the version number for "AutoUpdate", GET and SET forwarded
// to DoConfigure) and DoConfigure (GET or SET one preference, the debug level and its log
// header, or the configuration dialog with the re-registration its changes call for; another
// dialog is refused while one is shown, and a GET or SET made meanwhile leaves it running).
// Relies on the preference store, the parameter extractor, the host results, the debug log and
// crash log, the registration (plugin/frame/FunctionRegistration.h) and the configuration
// dialog (plugin/frame/EmailFunctions.h). Host thread only.
// Failures are result texts beginning "ERROR: Configure: " (the workers) or naming the callback;
// the callbacks catch every exception, write a crash log and answer its path, and make the
// resource file that was current before them current again on every path.
#pragma once

#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXData.h"

fmx::errcode VersionCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                             fmx::Data& result);
fmx::errcode ConfigureCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                               fmx::Data& result);

// Reads "var0" to "var2" (the Version function's positional parameters); may add "Option" or
// rename the entries to "Option", "PrefName" and "PrefValue" before calling DoConfigure.
clsSingleVar DoVersion(clsMultiVar* parameters, fmx::ExprEnv const& environment);
// Reads "Option", "PrefName" and "PrefValue" as texts.
clsSingleVar DoConfigure(clsMultiVar* parameters, fmx::ExprEnv const& environment);
