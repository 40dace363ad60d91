// FileFuncDispatch: the two ways into the File_* workers. The host callback reads typed host
// parameters by position; the old-style entry takes one text, either as a single parameter or
// in the variable-list syntax, and numbers the functions the mask enables.
#include "filefuncs/FileFuncDispatch.h"

#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "core/UniStringList.h"
#include "core/clsParameterExtractor.h"
#include "dialogs/MessageDialog.h"
#include "filefuncs/ContainerImport.h"
#include "filefuncs/FileFuncTable.h"
#include "filefuncs/FileFuncs.h"
#include "filefuncs/FileFuncsInternal.h"
#include "platform/fmx/FMXText.h"
#include "plugin/FunctionResult.h"
#include "plugin/PluginGlobals.h"
#include "plugin/ResFileGuard.h"

using namespace FileFuncsInternal;

namespace {

bool Enabled(stcFileFunc const& row) { return (m_ulngFileFuncMask & row.bit) != 0; }

// Reads the row's host parameters into the collection; an error text, empty on success.
UniString ReadParameters(stcFileFunc const& row, fmx::DataVect const& params, clsMultiVar* collection) {
  uint32_t const count = params.Size();
  if (row.dispatchMin >= 0 && count < uint32_t(row.dispatchMin)) {
    return U("ERROR: ") + U(row.name) + U(": Incorrect number of parameters.");
  }
  if (row.kind == kWorkerExport) {
    fmx::int32 const type = params.At(0).GetNativeType();
    if (type != fmx::Data::kDTBinary && type != fmx::Data::kDTText) {
      return U("ERROR: File_Export: The 'Container' parameter must be a container field.");
    }
  }
  clsSingleVar scratch;
  for (uint32_t i = 0; i < 4 && i < count; ++i) {
    stcFileFuncParam const& param = row.params[i];
    if (param.name == nullptr) continue;
    if (param.optional && params.At(i).IsEmpty()) continue;
    if (!g_udtPE->Extract(params.At(i), &scratch, kPEText)) {
      return U("ERROR: ") + U(row.name) + U(": The '") + U(param.name) + U("' parameter must be ") + U("text.");
    }
    scratch.SetName(U(param.name));
    collection->AddVar(&scratch, true);
  }
  return UniString();
}

// The callback's work inside its guard and catch-all. *crashName follows the function once it is
// known; *locale becomes the first parameter's.
void RunFileFunc(short funcId, fmx::DataVect const& params, fmx::Data& result, fmx::Locale* locale,
                 UniString* crashName, clsFuncDebug& dbg) {
  clsSingleVar value;
  clsMultiVar collection;
  UniString error;
  bool written = false;
  if (!CreateParameterExtractor()) {
    error = U("ERROR: PluginFunctionCallback: Could not allocate memory for Parameter Extractor!");
    DebugOutput(kDebugError, error);
  } else {
    error = U("ERROR: FileFuncCallback: Unknown File Function.");
    stcFileFunc const* row = FindFileFunc(funcId);
    if (row != nullptr && Enabled(*row)) {
      *crashName = U(row->name);
      dbg.Output(kDebugInfo, U(row->name));
      if (row->kind == kWorkerOldName) {
        error = UniString();
        collection.AddStringVar(U("Type"), U(row->oldType), true);
      } else {
        error = ReadParameters(*row, params, &collection);
      }
      if (error.IsEmpty()) {
        switch (row->kind) {
          case kWorkerExport:
            value = DoFileExport(params.At(0), &collection);
            break;
          case kWorkerImport:
            error = DoFileImport(&collection, result);
            written = error.IsEmpty();
            break;
          default:
            value = row->worker(&collection);
            break;
        }
      }
    }
  }
  if (params.Size() > 0) *locale = params.At(0).GetLocale();
  if (error.IsEmpty()) {
    if (!written) {
      Function_SetResult(&value, result, *locale);
      if (value.GetType() != kVarTypeList) dbg.Output(kDebugResult, value.GetValue_AsString());
    }
  } else {
    value.SetStringValue(error);
    Function_SetResult(&value, result, *locale);
    dbg.Output(kDebugError, error);
  }
}

}  // namespace

fmx::errcode FileFuncCallback(short funcId, fmx::ExprEnv const&, fmx::DataVect const& params, fmx::Data& result) {
  clsFuncDebug dbg(U("FileFuncCallback"));
  UniString crashName = U("FileFuncCallback main try/catch");
  fmx::LocaleAutoPtr locale(fmx::Locale::kType_Current);
  try {
    clsResFileGuard guard(g_shtResourceID);
    RunFileFunc(funcId, params, result, locale.get(), &crashName, dbg);
  } catch (...) {
    // No exception reaches the host: a crash log, and its path as the result.
    try {
      DoCrashLog(crashName);
      UniString const text = U("ERROR: FileFuncCallback: Crash Log Generated: ") + g_ustrCrashLogFileName;
      fmx::TextAutoPtr hostText;
      hostText->AssignUnicodeWithLength(text.GetBytes(), fmx::uint32(text.Length()));
      result.SetAsText(*hostText, *locale, fmx::Data::kDTText);
    } catch (...) {
      try {
        if (g_fudtFMProduct <= 2) {
          MessageDialog(U(kProductName) + U(" caught an error in the FileFuncCallback Function.\nA Crash Log was created:\n") +
                            g_ustrCrashLogFileName,
                        kMsgDlgOK, UniString(), nullptr, UniString(), 0);
        }
      } catch (...) {
      }
    }
  }
  return 0;
}

bool OldStyleFileFuncCallback(int32_t base, int32_t funcNo, UniStringList* in, UniStringList* out) {
  clsFuncDebug dbg(U("DoOldStyleFileFunc"));
  // Numbers count the enabled entries only, in list order, from base.
  stcOldStyleFunc const* entry = nullptr;
  stcFileFunc const* row = nullptr;
  int32_t skipped = 0;
  for (int32_t k = 0; k < kOldStyleFuncCount && entry == nullptr; ++k) {
    stcFileFunc const* candidate = FindFileFunc(g_udtOldStyleFuncs[k].id);
    if (!Enabled(*candidate)) {
      ++skipped;
    } else if (base + k == skipped + funcNo) {
      entry = &g_udtOldStyleFuncs[k];
      row = candidate;
    }
  }
  if (entry == nullptr) return false;

  dbg.Output(kDebugInfo, U(row->name));
  UniStringList empty;
  UniStringList* lines = in != nullptr ? in : &empty;
  clsMultiVar collection;
  clsSingleVar value;
  UniString error;
  bool parse = entry->handling == kOldStyleParsed;
  if (entry->handling == kOldStyleSingle) {
    UniString const first = lines->Count() > 0 ? lines->At(0) : UniString();
    if (first.Pos(U("=")) == 0) {
      collection.AddVar(U(entry->param), first, true);
    } else {
      parse = true;
    }
  } else if (entry->handling == kOldStyleType) {
    collection.AddStringVar(U("Type"), U(row->oldType), true);
  }
  if (parse) {
    UniString const parsed = collection.ParseVariables(lines, true, false, false);
    if (parsed.IsNotEmpty()) error = U("ERROR: ") + U(row->name) + U(": Error parsing parameters: ") + parsed;
  }
  if (error.IsEmpty()) value = row->worker(&collection);

  if (out != nullptr) {
    out->Clear();
    out->Add(error.IsNotEmpty() ? error : value.GetValue_AsString());
  }
  if (error.IsNotEmpty()) {
    dbg.Output(kDebugError, error);
  } else {
    dbg.Output(kDebugResult, value.GetValue_AsString());
  }
  return true;
}
