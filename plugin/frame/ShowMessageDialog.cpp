// ShowMessageDialog: the menus of the compose dialog. CleanQuickMenuEmailAddresses keeps the
// address choices whose address part the validator accepts, each in its cleaned form behind its
// untouched menu prefix and label; CleanContainers keeps the container field names whose fields
// hold data in the calling environment.
// Field names reach the host only as the quoted argument of GetField (BuildGetFieldExpression),
// so no name can end the quoted text and run as a calculation.
// Relies on the address validation (mime/CleanOneEmailAddress.h), the preference store and the
// host's calculation engine. Host thread only; nothing throws of its own; refused entries go to
// the problem list, which the caller may log.
#include <new>

#include "core/DebugLog.h"
#include "mime/CleanOneEmailAddress.h"
#include "plugin/GetFieldExpression.h"
#include "plugin/HostText.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// Evaluates a calculation in the environment; the host's answer, 0 on success.
fmx::errcode EvaluateText(fmx::ExprEnv const& env, UniString const& expression, fmx::Data& result) {
  fmx::Text text;
  text.AssignUnicodeWithLength(expression.GetBytes(), fmx::uint32(expression.Length()));
  return env.Evaluate(text, result);
}

// The table of the calling layout, empty when the host cannot tell.
UniString LayoutTableName(fmx::ExprEnv const& env) {
  fmx::Data value;
  if (EvaluateText(env, U("Get(LayoutTableName)"), value) != 0) return UniString();
  return ExtractFromFMXText(value.GetAsText());
}

// The value of a field named plainly (then in the layout's table) or with its table and "::".
fmx::errcode EvaluateField(fmx::ExprEnv const& env, UniString const& name, UniString const& table, fmx::Data& value) {
  UniString const qualified = name.Pos(U("::")) > 0 ? name : table + U("::") + name;
  return EvaluateText(env, BuildGetFieldExpression(qualified), value);
}

// Splits an address choice into its menu prefix (up to a ">" outside angle brackets, with the
// label up to the first ";" after it) and the address part.
void SplitAddressChoice(UniString const& entry, UniString* prefix, UniString* address) {
  int end = 0;  // the prefix's last unit, 0 for none
  if (entry.Pos(static_cast<unsigned short>('<')) > 0) {
    int depth = 0;
    for (int i = 1; i <= entry.Length() && end == 0; ++i) {
      if (entry[i] == '<') {
        ++depth;
      } else if (entry[i] == '>') {
        if (depth == 0) {
          end = i;
        } else {
          --depth;
        }
      }
    }
  } else {
    end = entry.Pos(static_cast<unsigned short>('>'), false, entry.Length(), -1);
  }
  UniString rest = entry.SubString(end + 1, entry.Length() - end);
  int const label = rest.Pos(static_cast<unsigned short>(';'));
  end += label;
  *prefix = entry.Left(end);
  *address = entry.SubString(end + 1, entry.Length() - end);
}

}  // namespace

void clsPluginVars::CleanQuickMenuEmailAddresses(UniStringList* addresses, UniStringList* cleaned,
                                                 UniStringList* problems) {
  clsFuncDebug dbg(U("CleanQuickMenuEmailAddresses"));
  if (problems == nullptr) return;
  if (addresses == nullptr || cleaned == nullptr) {
    problems->Add(U("ERROR: CleanEmailAddresses: Memory not allocated!"));
    return;
  }
  cleaned->Clear();
  problems->Clear();
  if (g_udtPrefs.GetBooleanPref(U("DisableEmailValidation"), false)) {
    cleaned->Assign(addresses);
    return;
  }
  for (UniString const& entry : *addresses) {
    if (entry.IsEmpty()) continue;
    UniString prefix, address, clean, error;
    SplitAddressChoice(entry, &prefix, &address);
    CleanOneEmailAddress(address, &clean, &error);
    if (clean.IsNotEmpty()) {
      cleaned->Add(prefix + clean);
    } else if (error.IsNotEmpty()) {
      problems->Add(prefix + error);
    }
  }
}

void clsPluginVars::CleanContainers(UniStringList* names, UniStringList* valid, UniStringList* problems,
                                    fmx::ExprEnv const& env) {
  clsFuncDebug dbg(U("CleanContainers"));
  if (problems == nullptr) return;
  if (names == nullptr || valid == nullptr) {
    problems->Add(U("ERROR: CleanContainers: Memory not allocated!"));
    return;
  }
  valid->Clear();
  problems->Clear();
  UniString const table = LayoutTableName(env);
  for (UniString const& name : *names) {
    if (name.IsEmpty()) continue;
    fmx::Data value;
    if (EvaluateField(env, name, table, value) != 0) continue;
    if (value.GetNativeType() != fmx::Data::kDTBinary) {
      problems->Add(U("Field was not a container: ") + name);
    } else if (value.IsEmpty()) {
      problems->Add(U("Container was empty: ") + name);
    } else {
      valid->Add(name);
    }
  }
}
