// MimePrefs: list preferences as copies (see mime/MimePrefs.h). The store hands out a copy of
// the entry under its lock; the copy is turned into a list here, as the store turns an entry
// that holds another type.
#include "mime/MimePrefs.h"

#include "core/clsSingleVar.h"
#include "plugin/clsPrefs.h"

bool CopyListPref(UniString const& name, UniStringList* out) {
  if (out == nullptr) return false;
  out->Clear();
  // A found entry always carries its name; the default carries none.
  clsSingleVar value = g_udtPrefs.GetPref(name, clsSingleVar());
  if (value.GetName().IsEmpty()) return false;
  if (value.GetType() != kVarTypeList) value.CoerceVarType(kVarTypeList);
  UniStringList const* list = value.GetListValue(false);
  if (list != nullptr) out->Assign(list);
  return true;
}
