// FunctionRegistration: the plug-in's calculation functions registered with the host's
// calculation engine and removed again.
// Interface: Internal_RegisterFunctions (the File_* functions the selection mask offers, which
// is set to none first, then GetDialogValue, SendMessage, ShowMessageDialog, Version,
// VersionAutoUpdate and Configure under "Velmora_" names, with help comments in the prototypes
// when the preference "AddHelp" is true), Internal_UnregisterFunctions (every id, whatever was
// registered), Internal_UnregisterFunctionsButConfigure, Internal_FollowRegistrationSettings
// (what a change of "AddHelp" or "UseNewFunctions" calls for).
// Relies on the host SDK's RegisterExternalFunction / UnRegisterExternalFunction, the File
// functions' registration (filefuncs/FileFuncs.h), the callbacks (plugin/frame/EmailFunctions.h,
// plugin/frame/ConfigureFunctions.h) and the preference store. Host thread only.
// Failures: the first host error of a registration is returned unchanged; the rows after it are
// not tried, those before it stay registered. Unregistration ignores the host's answers.
#pragma once

#include <cstdint>

// 0 when every function was registered, else the host's first non-zero answer.
int16_t Internal_RegisterFunctions();
void Internal_UnregisterFunctions();

// Every function but Version and Configure removed: through those two a user can turn the
// preference "UseNewFunctions" on again (and open the dialog) without a restart.
void Internal_UnregisterFunctionsButConfigure();

// The registration a change of "AddHelp" or "UseNewFunctions" calls for, given their values
// before the change (both are read again now): turned on, everything is registered afresh;
// turned off, everything but Version and Configure is removed; on before and now with AddHelp
// switched, everything is registered again with or without the help comments.
void Internal_FollowRegistrationSettings(bool addHelpBefore, bool useNewBefore);
