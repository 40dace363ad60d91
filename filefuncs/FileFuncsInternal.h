// FileFuncsInternal: small helpers shared by the File_* workers and by no one else.
// Interface: U() (a UTF-8 literal as a UniString), kProductName, TextParam() and IntegerParam()
// (a named parameter read as text or as its stored integer, an absent one empty or 0), HasParam(),
// StringResult() (a nameless string value) and PosixPath() (a spec's full POSIX path).
// Relies on core/clsMultiVar.h, core/clsSingleVar.h and files/XFileSpec.h. Nothing throws; a
// null collection counts as one without parameters.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "files/XFileSpec.h"

namespace FileFuncsInternal {

inline UniString U(char const* text) { return UniString(text, 1); }

// The product name in front of every registered name and in the crash message.
char const kProductName[] = "Velmora";

inline bool HasParam(clsMultiVar* params, char const* name) {
  clsMultiVar::iterator it;
  return params != nullptr && params->GetVar(U(name), it);
}

// The parameter's text form (a number given for a path arrives as its digits).
inline UniString TextParam(clsMultiVar* params, char const* name) {
  clsMultiVar::iterator it;
  if (params == nullptr || !params->GetVar(U(name), it)) return UniString();
  return it->GetValue_AsString();
}

// The parameter's stored integer; a text is not parsed.
inline int32_t IntegerParam(clsMultiVar* params, char const* name) {
  clsMultiVar::iterator it;
  if (params == nullptr || !params->GetVar(U(name), it)) return 0;
  return it->GetIntegerValue();
}

inline clsSingleVar StringResult(UniString const& text) {
  clsSingleVar result;
  result.SetStringValue(text);
  return result;
}

inline UniString PosixPath(XFileSpec& spec) { return spec.GetPath(kPathStylePOSIX, true); }

}  // namespace FileFuncsInternal
