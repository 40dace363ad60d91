// PluginExternal: the old-style External call and the host handle text it reads and writes.
#include "plugin/frame/PluginExternal.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "dialogs/MessageDialog.h"
#include "filefuncs/FileFuncs.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXExtern.h"
#include "plugin/PluginGlobals.h"
#include "plugin/frame/ConfigureFunctions.h"
#include "plugin/frame/PluginIdentity.h"

namespace {

// Host-handle code page: 8-bit, one byte a character (its table is in the resource file).
const int kHandleEncoding = 3;

// Windows Western (1252) to Mac OS Roman: the character's own byte where Mac OS Roman has it,
// the 25 leftovers paired with the 25 unused Mac OS Roman bytes, so every byte has one image.
unsigned char const kToMacRoman[128] = {
    0xDB, 0xB0, 0xE2, 0xC4, 0xE3, 0xC9, 0xA0, 0xE0, 0xF6, 0xE4, 0xB2, 0xDC, 0xCE, 0xB3, 0xB7, 0xB8,
    0xB9, 0xD4, 0xD5, 0xD2, 0xD3, 0xA5, 0xD0, 0xD1, 0xF7, 0xAA, 0xBA, 0xDD, 0xCF, 0xBD, 0xC3, 0xD9,
    0xCA, 0xC1, 0xA2, 0xA3, 0xAD, 0xB4, 0xC5, 0xA4, 0xAC, 0xA9, 0xBB, 0xC7, 0xC2, 0xC6, 0xA8, 0xF8,
    0xA1, 0xB1, 0xD7, 0xDA, 0xAB, 0xB5, 0xA6, 0xE1, 0xFC, 0xDE, 0xBC, 0xC8, 0xDF, 0xF0, 0xF5, 0xC0,
    0xCB, 0xE7, 0xE5, 0xCC, 0x80, 0x81, 0xAE, 0x82, 0xE9, 0x83, 0xE6, 0xE8, 0xED, 0xEA, 0xEB, 0xEC,
    0xF9, 0x84, 0xF1, 0xEE, 0xEF, 0xCD, 0x85, 0xFA, 0xAF, 0xF4, 0xF2, 0xF3, 0x86, 0xFB, 0xFD, 0xA7,
    0x88, 0x87, 0x89, 0x8B, 0x8A, 0x8C, 0xBE, 0x8D, 0x8F, 0x8E, 0x90, 0x91, 0x93, 0x92, 0x94, 0x95,
    0xB6, 0x96, 0x98, 0x97, 0x99, 0x9B, 0x9A, 0xD6, 0xBF, 0x9D, 0x9C, 0x9E, 0x9F, 0xFE, 0xFF, 0xD8,
};

UniString U(char const* text) { return UniString(text); }

// Resizes the handle to the bytes (cut to the limit) and copies them in when the host reports no
// memory error; copy is false for an empty text, whose handle is only resized.
bool WriteHandleBytes(char** handle, char const* bytes, size_t count, bool copy) {
  if (!gFMX_ExternCallPtr) return false;
  FMX_ExternCallStruct const& block = *gFMX_ExternCallPtr;
  if (count > size_t(kMaxHandleTextBytes)) count = size_t(kMaxHandleTextBytes);
  if (block.cSetHandleSize) block.cSetHandleSize(handle, fmx::int32(count));
  fmx::errcode const error = block.cMemoryError ? block.cMemoryError() : fmx::errcode(fmx::kErrNoHost);
  if (error != 0) return false;
  if (copy && count > 0) {
    if (block.cLockHandle) block.cLockHandle(handle);
    std::memcpy(*handle, bytes, count);
    if (block.cUnlockHandle) block.cUnlockHandle(handle);
  }
  return true;
}

}  // namespace

unsigned char ConvertCharToFMPSet(unsigned char c, int direction) {
  if (direction != 0 || c < 128) return c;
  return kToMacRoman[c - 128];
}

bool ExtractFromFMX_Hdl(char** handle, UniStringList* lines, bool) {
  if (!lines) return false;
  lines->Clear();
  if (!gFMX_ExternCallPtr || !handle) return false;
  FMX_ExternCallStruct const& block = *gFMX_ExternCallPtr;
  if (block.cLockHandle) block.cLockHandle(handle);
  fmx::int32 const size = block.cGetHandleSize ? block.cGetHandleSize(handle) : 0;
  unsigned char const* bytes = reinterpret_cast<unsigned char const*>(*handle);
  bool high = false;
  std::string line;
  auto addLine = [&] {
    lines->Add(UniString(reinterpret_cast<unsigned char const*>(line.data()), kHandleEncoding, int(line.size())));
    line.clear();
  };
  for (fmx::int32 i = 0; bytes && i < size; ++i) {
    unsigned char const byte = bytes[i];
    if (byte == 0 || byte == 10) continue;
    if (byte == 13) {
      addLine();
      continue;
    }
    if (byte >= 128) high = true;
    line.push_back(char(byte));
  }
  if (!line.empty()) addLine();
  if (block.cUnlockHandle) block.cUnlockHandle(handle);
  return high;
}

bool InsertIntoFMX_Hdl(char** handle, UniString text, bool) {
  std::unique_ptr<char[]> bytes(text.GetCString(kHandleEncoding));
  size_t const count = bytes ? std::strlen(bytes.get()) : 0;
  return WriteHandleBytes(handle, bytes.get(), count, text.IsNotEmpty());
}

bool InsertIntoFMX_Hdl(char** handle, UniStringList* lines, bool unused) {
  UniString const text = lines ? lines->Text(kLineEndingCR) : UniString();
  return InsertIntoFMX_Hdl(handle, text, unused);
}

bool InsertIntoFMX_Hdl(char** handle, AnsiString text, bool raw) {
  std::string bytes(text.c_str(), size_t(text.Length()));
  if (!raw)
    for (char& byte : bytes) byte = char(ConvertCharToFMPSet(static_cast<unsigned char>(byte), 0));
  return WriteHandleBytes(handle, bytes.data(), bytes.size(), true);
}

void PluginExternal(int32_t functionNumber, char** parameterHandle, char** resultHandle) {
  clsFuncDebug dbg(U("PluginExternal"));
  Internal_PluginExternal(functionNumber, parameterHandle, resultHandle);
}

void Internal_PluginExternal(int32_t functionNumber, char** parameterHandle, char** resultHandle) {
  clsFuncDebug dbg(U("Internal_PluginExternal"));
  UniString stepName = U("DoExternal main try/catch");
  std::unique_ptr<UniStringList> parameters;
  std::unique_ptr<UniStringList> results;
  try {
    fmx::ExprEnvAutoPtr environment;
    clsMultiVar collection;
    parameters.reset(new (std::nothrow) UniStringList);
    results.reset(new (std::nothrow) UniStringList);
    if (!parameters || !results) {
      InsertIntoFMX_Hdl(resultHandle, U("ERROR: DoExternal: Memory Error (2)."), false);
      return;
    }
    ExtractFromFMX_Hdl(parameterHandle, parameters.get(), false);

    if (!OldStyleFileFuncCallback(0, functionNumber, parameters.get(), results.get())) {
      UniString error;
      clsSingleVar value;
      if (functionNumber == -1) {
        stepName = U("SMTP-Version");
        bool const haveEnvironment = gFMX_ExternCallPtr && gFMX_ExternCallPtr->cCurrentEnv &&
                                     gFMX_ExternCallPtr->cCurrentEnv(environment.get()) == 0;
        if (!haveEnvironment) {
          error = U("ERROR: Version: Could not get Current Environment.");
        } else {
          collection.AddStringVar(U("var0"), parameters->Count() > 0 ? parameters->At(0) : UniString(), true);
          value = DoVersion(&collection, *environment);
        }
      } else {
        error = U("ERROR: DoExternal: Invalid Plug-in Function");
      }

      results->Clear();
      if (error.IsNotEmpty()) {
        results->Add(error);
        DebugOutput(kDebugError, error);
      } else {
        if (value.GetType() == kVarTypeList) {
          if (UniStringList* list = value.GetListValue(false)) results->Assign(list);
        } else {
          results->Add(value.GetValue_AsString());
        }
        DebugOutput(kDebugResult, results->Count() > 0 ? results->At(0) : UniString());
      }
    }

    if (!InsertIntoFMX_Hdl(resultHandle, results.get(), false))
      InsertIntoFMX_Hdl(resultHandle, U("ERROR: DoExternal: Memory Error."), false);
  } catch (...) {
    try {
      DoCrashLog(stepName);
      parameters.reset();
      results.reset();
      InsertIntoFMX_Hdl(resultHandle, U("ERROR: DoExternal: Crash Log Generated: ") + g_ustrCrashLogFileName, false);
    } catch (...) {
      if (g_fudtFMProduct < 3) {
        MessageDialog(U(g_strProductName) + U(" caught an error in the DoExternal Function.\nA Crash Log File was "
                                              "created:\n") +
                          g_ustrCrashLogFileName,
                      kMsgDlgOK, UniString(), nullptr, UniString(), 0);
      }
    }
  }
}
