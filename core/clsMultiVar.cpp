// clsMultiVar: lookup, the add and set families, rename, remove and the name check.
// The variable-list syntax (ParseVariables, GetVarsAsList and the members that take syntax
// text) lives in core/VarListSyntax.cpp, equality in core/VarCoercion.cpp.
// Names compare trimmed and with ASCII letters upper-cased; entries are kept in insertion order.
// Failures come back as error texts; allocation failures are caught and reported as
// "Could not allocate memory for ..." texts, leaving the collection as it was.
#include "core/clsMultiVar.h"

#include <new>

namespace {

inline unsigned short AsciiUpper(unsigned short u) {
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned short>(u - 'a' + 'A') : u;
}

// True when the stored name, upper-cased, equals key (already trimmed and upper-cased). The
// stored name is compared as UniString::UpperCase would give it: up to its first zero unit.
bool NameMatchesKey(UniString const& stored, UniString const& key) {
  int const length = stored.Length();
  unsigned short const* units = stored.GetBytes();
  int effective = 0;
  while (effective < length && units[effective] != 0) ++effective;
  if (effective != key.Length()) return false;
  unsigned short const* keyUnits = key.GetBytes();
  for (int i = 0; i < effective; ++i) {
    if (AsciiUpper(units[i]) != keyUnits[i]) return false;
  }
  return true;
}

// A text enclosed in matching apostrophes or double quotes (after trimming) gives what lies
// between them; any other text is kept exactly as passed.
UniString UnquotedOrAsPassed(UniString const& text) {
  UniString const trimmed = text.Trim();
  int const length = trimmed.Length();
  if (length == 0) return text;
  unsigned short const first = trimmed[1];
  if ((first == '\'' || first == '"') && trimmed[length] == first) {
    return length <= 2 ? UniString() : trimmed.SubString(2, length - 2);
  }
  return text;
}

UniString Text(char const* utf8) { return UniString(utf8); }

}  // namespace

clsMultiVar& clsMultiVar::operator=(clsMultiVar const& other) {
  if (this == &other) return *this;
  // Copied aside first: other may be nested inside one of this collection's entries.
  std::list<clsSingleVar> copy(other.m_lstVars);
  m_lstVars.swap(copy);
  return *this;
}

bool clsMultiVar::Append(clsSingleVar const& value) {
  try {
    m_lstVars.push_back(value);
  } catch (std::bad_alloc const&) {
    return false;
  }
  return true;
}

bool clsMultiVar::AppendHandOver(clsSingleVar& value) {
  value.m_bolHandOver = true;
  bool const appended = Append(value);
  value.m_ptrArray = nullptr;
  value.m_ptrList = nullptr;
  value.m_bolHandOver = false;
  return appended;
}

clsMultiVar::const_iterator clsMultiVar::FindKey(UniString const& key) const {
  for (const_iterator it = m_lstVars.begin(); it != m_lstVars.end(); ++it) {
    if (NameMatchesKey(it->m_ustrName, key)) return it;
  }
  return m_lstVars.end();
}

clsMultiVar::iterator clsMultiVar::FindKey(UniString const& key) {
  for (iterator it = m_lstVars.begin(); it != m_lstVars.end(); ++it) {
    if (NameMatchesKey(it->m_ustrName, key)) return it;
  }
  return m_lstVars.end();
}

bool clsMultiVar::GetVar(UniString name, iterator& it) {
  iterator found = FindKey(name.Trim().UpperCase());
  if (found == m_lstVars.end()) return false;
  it = found;
  return true;
}

bool clsMultiVar::GetVar(UniString name, const_iterator& it) const {
  const_iterator found = FindKey(name.Trim().UpperCase());
  if (found == m_lstVars.end()) return false;
  it = found;
  return true;
}

void clsMultiVar::RemoveVar(UniString name) {
  UniString const trimmed = name.Trim();
  if (trimmed.IsEmpty()) return;
  iterator it;
  if (GetVar(trimmed, it)) m_lstVars.erase(it);
}

clsMultiVar::iterator clsMultiVar::RemoveVar(iterator it) { return m_lstVars.erase(it); }

UniString clsMultiVar::RenameVar(UniString oldName, UniString newName, bool refuseExisting) {
  UniString const trimmedNew = newName.Trim();
  iterator it;
  if (refuseExisting && trimmedNew.IsNotEmpty() && GetVar(trimmedNew, it)) {
    return Text("There is already a variable named ") + newName + Text(".");
  }
  if (GetVar(oldName, it)) {
    it->m_ustrName = trimmedNew;
    return UniString();
  }
  return Text("A variable named ") + oldName + Text(" was not found.");
}

UniString clsMultiVar::CheckVarName(UniString name, bool refuseDuplicate) const {
  UniString const key = name.Trim().UpperCase();
  for (int i = 1; i <= key.Length(); ++i) {
    unsigned short const u = key[i];
    if (u == '$' || u == ';' || u == '\'' || u == '"' || u == '{' || u == '}') {
      return Text("Invalid Variable Name: ") + name +
             Text("; Variable Names cannot contain the following: \",',$,{,},;");
    }
  }
  if (refuseDuplicate && key.IsNotEmpty() && FindKey(key) != m_lstVars.end()) {
    return Text("Duplicate Variable Name: ") + name;
  }
  return UniString();
}

bool clsMultiVar::IsVarDelim(unsigned short ch, UniString delimiters) {
  return delimiters.Pos(ch, false, 1, 1) > 0;
}

// ---------------------------------------------------------------------------------------------
// Set family

template <typename Store>
UniString clsMultiVar::SetEntry(UniString const& name, enumPluginVarType type, Store store) {
  UniString const trimmed = name.Trim();
  if (trimmed.IsEmpty()) return Text("Variable Name was blank.");
  iterator it = FindKey(trimmed.UpperCase());
  if (it != m_lstVars.end()) {
    if (it->m_intType != type) it->Clear(true);
    it->m_intType = type;
    it->m_ustrName = trimmed;
    return store(*it);
  }
  clsSingleVar value;
  value.m_intType = type;
  value.m_ustrName = trimmed;
  UniString error = store(value);
  if (error.IsNotEmpty()) return error;
  if (!Append(value)) return Text("Could not allocate memory for Variable.");
  return UniString();
}

UniString clsMultiVar::SetStringVar(UniString name, UniString text) {
  UniString const value = UnquotedOrAsPassed(text);
  return SetEntry(name, kVarTypeString, [&](clsSingleVar& v) {
    v.m_ustrValue = value;
    return UniString();
  });
}

UniString clsMultiVar::SetIntegerVar(UniString name, int32_t number) {
  return SetEntry(name, kVarTypeInteger, [&](clsSingleVar& v) {
    v.m_lngValue = number;
    return UniString();
  });
}

UniString clsMultiVar::SetIntegerVar(UniString name, UniString text) {
  int32_t const number = text.Trim().ToInt();
  return SetIntegerVar(name, number);
}

UniString clsMultiVar::SetFloatVar(UniString name, UniString text) {
  double const number = text.Trim().ToFloat();
  return SetEntry(name, kVarTypeFloat, [&](clsSingleVar& v) {
    v.m_dblValue = number;
    return UniString();
  });
}

UniString clsMultiVar::SetVariableVar(UniString name, UniString text) {
  UniString const value = text.Trim();
  return SetEntry(name, kVarTypeVariable, [&](clsSingleVar& v) {
    v.m_ustrValue = value;
    return UniString();
  });
}

UniString clsMultiVar::SetListVar(UniString name, UniString text) {
  return SetEntry(name, kVarTypeList, [&](clsSingleVar& v) {
    if (v.m_ptrList != nullptr) {
      v.m_ptrList->Clear();
    } else {
      v.m_ptrList = new (std::nothrow) UniStringList();
      if (v.m_ptrList == nullptr) return Text("Could not allocate memory for List.");
    }
    v.m_ptrList->AddText(text);
    return UniString();
  });
}

// ---------------------------------------------------------------------------------------------
// Add family

UniString clsMultiVar::AddName(UniString const& name, bool skipCheck, UniString* trimmed) const {
  *trimmed = name.Trim();
  if (trimmed->IsEmpty() || skipCheck) return UniString();
  return CheckVarName(*trimmed, false);
}

template <typename Fill>
UniString clsMultiVar::AddEntry(UniString const& name, bool skipCheck, enumPluginVarType type,
                                Fill fill) {
  UniString trimmed;
  UniString const error = AddName(name, skipCheck, &trimmed);
  if (error.IsNotEmpty()) return error;
  clsSingleVar value;
  value.m_ustrName = trimmed;
  value.m_intType = type;
  fill(value);
  if (!Append(value)) return Text("Could not allocate memory for Variable.");
  return UniString();
}

UniString clsMultiVar::AddStringVar(UniString name, UniString text, bool skipCheck) {
  return AddEntry(name, skipCheck, kVarTypeString, [&](clsSingleVar& v) { v.m_ustrValue = UnquotedOrAsPassed(text); });
}

UniString clsMultiVar::AddIntegerVar(UniString name, int32_t number, bool skipCheck) {
  return AddEntry(name, skipCheck, kVarTypeInteger, [&](clsSingleVar& v) { v.m_lngValue = number; });
}

UniString clsMultiVar::AddIntegerVar(UniString name, UniString text, bool skipCheck) {
  return AddIntegerVar(name, text.Trim().ToInt(), skipCheck);
}

UniString clsMultiVar::AddFloatVar(UniString name, double number, bool skipCheck) {
  return AddEntry(name, skipCheck, kVarTypeFloat, [&](clsSingleVar& v) { v.m_dblValue = number; });
}

UniString clsMultiVar::AddFloatVar(UniString name, UniString text, bool skipCheck) {
  UniString const trimmed = text.Trim();
  return AddFloatVar(name, trimmed.IsEmpty() ? 0.0 : trimmed.ToFloat(), skipCheck);
}

UniString clsMultiVar::AddDateTimeVar(UniString name, clsDateTime dateTime, bool skipCheck) {
  return AddEntry(name, skipCheck, kVarTypeDateTime, [&](clsSingleVar& v) { v.m_udtDateTime = dateTime; });
}

UniString clsMultiVar::AddVariableVar(UniString name, UniString text) {
  clsSingleVar value;
  value.m_ustrName = name.Trim();
  value.m_intType = kVarTypeVariable;
  value.m_ustrValue = text.Trim();
  if (!Append(value)) return Text("Could not allocate memory for Variable.");
  return UniString();
}

UniString clsMultiVar::AddListVar(UniString name, UniString text, bool skipCheck) {
  UniString trimmed;
  UniString const error = AddName(name, skipCheck, &trimmed);
  if (error.IsNotEmpty()) return error;
  UniStringList* list = new (std::nothrow) UniStringList();
  if (list == nullptr) return Text("Could not allocate memory for List.");
  list->AddText(text);
  clsSingleVar value;
  value.m_ustrName = trimmed;
  value.m_intType = kVarTypeList;
  value.m_ptrList = list;
  if (!AppendHandOver(value)) {
    delete list;
    return Text("Could not allocate memory for List.");
  }
  return UniString();
}

UniString clsMultiVar::AddListVar(UniString name, UniStringList* list, bool skipCheck,
                                  bool take) {
  UniString trimmed;
  UniString const error = AddName(name, skipCheck, &trimmed);
  if (error.IsNotEmpty()) return error;
  if (take && list == nullptr) return UniString();
  UniStringList* held = list;
  if (!take) {
    held = new (std::nothrow) UniStringList();
    if (held == nullptr) return Text("Could not allocate memory for List.");
    if (list != nullptr) held->Assign(list);
  }
  clsSingleVar value;
  value.m_ustrName = trimmed;
  value.m_intType = kVarTypeList;
  value.m_ptrList = held;
  if (!AppendHandOver(value)) {
    if (!take) delete held;
    return Text("Could not allocate memory for List.");
  }
  return UniString();
}

UniString clsMultiVar::AddArrayVar(UniString name, clsMultiVar* array, bool skipCheck,
                                   bool take) {
  UniString trimmed;
  UniString const error = AddName(name, skipCheck, &trimmed);
  if (error.IsNotEmpty()) return error;
  if (array == nullptr) return UniString();
  clsMultiVar* held = array;
  if (!take) {
    held = new (std::nothrow) clsMultiVar();
    if (held == nullptr) return Text("Could not allocate memory for Array.");
    try {
      *held = *array;
    } catch (std::bad_alloc const&) {
      delete held;
      return Text("Could not allocate memory for Array.");
    }
  }
  clsSingleVar value;
  value.m_ustrName = trimmed;
  value.m_intType = kVarTypeArray;
  value.m_ptrArray = held;
  if (!AppendHandOver(value)) {
    if (!take) delete held;
    return Text("Could not allocate memory for Array.");
  }
  return UniString();
}

UniString clsMultiVar::AddVar(clsSingleVar* value, bool skipCheck) {
  if (value == nullptr) return Text("Variable Value is NULL.");
  if (!skipCheck) {
    UniString const trimmed = value->m_ustrName.Trim();
    if (trimmed.IsNotEmpty()) {
      UniString error = CheckVarName(trimmed, false);
      if (error.IsNotEmpty()) return error;
    }
  }
  if (!Append(*value)) return Text("Could not allocate memory for Variable.");
  return UniString();
}
