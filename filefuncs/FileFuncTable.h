// FileFuncTable: the seventeen File_* functions as the registration and the dispatch see them,
// and the old-style list of text-command entries. Internal to the File functions.
// Interface: g_udtFileFuncs (registration order) with FindFileFunc(id), g_udtOldStyleFuncs,
// kFileFuncCount, kOldStyleFuncCount, and the plug-in ID 'QRVe'.
// Relies on the workers' headers for their function pointers. Constant data; nothing fails.
#pragma once

#include <cstdint>

#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"

// Host flags chosen by class (and by the dialog flag of the registration).
enum enumFileFuncFlags { kFlagsNormal, kFlagsDialog, kFlagsOldName };
// How the dispatch calls the worker.
enum enumFileFuncWorker { kWorkerPlain, kWorkerExport, kWorkerImport, kWorkerOldName };

// One host parameter the dispatch reads: its name in the collection; optional ones are read only
// when given and not empty. A null name skips the position (File_Export's container).
struct stcFileFuncParam {
  char const* name;
  bool optional;
};

struct stcFileFunc {
  uint32_t bit;
  int16_t id;
  char const* name;       // plain name, as in messages
  char const* prototype;  // null: the registered name itself
  int16_t minArgs;        // handed to the host
  int16_t maxArgs;        // -1: no upper bound
  enumFileFuncFlags flags;
  char const* help;       // appended to the prototype when help is asked for
  int32_t dispatchMin;    // the count the dispatch checks; -1: none
  stcFileFuncParam params[4];
  enumFileFuncWorker kind;
  clsSingleVar (*worker)(clsMultiVar*);  // plain and old-name workers
  char const* oldType;                   // the "Type" of an old name
};

int const kFileFuncCount = 17;
extern stcFileFunc const g_udtFileFuncs[kFileFuncCount];
// The row of an id, or null.
stcFileFunc const* FindFileFunc(int16_t id);

// Old-style entries: a row of the table, and how the text parameter becomes the collection.
enum enumOldStyleParams { kOldStyleParsed, kOldStyleSingle, kOldStyleType };
struct stcOldStyleFunc {
  int16_t id;
  enumOldStyleParams handling;
  char const* param;  // single entries: the one parameter's name
};
int const kOldStyleFuncCount = 14;
extern stcOldStyleFunc const g_udtOldStyleFuncs[kOldStyleFuncCount];

// The plug-in ID the functions are registered under.
char const kFileFuncPluginID[] = "QRVe";
