// clsMultiVar: an ordered collection of named values (clsSingleVar), used for parameters,
// preferences, status fields and folder listings.
// Interface: case-insensitive lookup by trimmed name (first match wins; names need not be
// unique), the add family (always append, names checked for forbidden characters), the set
// family (replace the first entry of that name or append), rename and remove, equality, and the
// variable-list text syntax: ParseVariables reads it, GetVarsAsList writes it, and AddVar/SetVar/
// AddArrayVar/SetArrayVar store one item given in it.
// Relies on core/clsSingleVar.h, core/UniString.h and core/UniStringList.h.
// Failures are returned as English error texts (empty means success); nothing throws on bad
// input, and a failed add or set leaves the collection as it was.
#pragma once

#include <cstdint>
#include <list>

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "core/clsDateTime.h"
#include "core/clsSingleVar.h"

class clsMultiVar {
 public:
  using iterator = std::list<clsSingleVar>::iterator;
  using const_iterator = std::list<clsSingleVar>::const_iterator;

  clsMultiVar() = default;
  clsMultiVar(clsMultiVar const& other) = default;  // every entry copied deeply
  ~clsMultiVar() = default;
  clsMultiVar& operator=(clsMultiVar const& other);

  void Clear() { m_lstVars.clear(); }
  unsigned int Count() const { return static_cast<unsigned int>(m_lstVars.size()); }
  bool IsEmpty() const { return m_lstVars.empty(); }
  bool IsNotEmpty() const { return !m_lstVars.empty(); }
  iterator begin() { return m_lstVars.begin(); }
  iterator end() { return m_lstVars.end(); }
  const_iterator begin() const { return m_lstVars.begin(); }
  const_iterator end() const { return m_lstVars.end(); }

  // ---- lookup and maintenance ----
  // The first entry whose upper-cased name equals the trimmed, upper-cased name; an empty name
  // finds the first unnamed entry.
  bool GetVar(UniString name, iterator& it);
  bool GetVar(UniString name, const_iterator& it) const;
  // Erases the first entry of the trimmed name (an empty name erases nothing).
  void RemoveVar(UniString name);
  // Erases the entry at it; returns the entry after it.
  iterator RemoveVar(iterator it);
  UniString RenameVar(UniString oldName, UniString newName, bool refuseExisting);
  // Refuses the characters $ ; ' " { } and, with refuseDuplicate, a name already present.
  UniString CheckVarName(UniString name, bool refuseDuplicate) const;
  static bool IsVarDelim(unsigned short ch, UniString delimiters);

  // ---- set family: replace the first entry of the name (keeping its place) or append ----
  UniString SetStringVar(UniString name, UniString text);
  UniString SetIntegerVar(UniString name, int32_t value);
  UniString SetIntegerVar(UniString name, UniString text);
  UniString SetFloatVar(UniString name, UniString text);
  UniString SetVariableVar(UniString name, UniString text);
  UniString SetListVar(UniString name, UniString text);
  // Value given in the variable-list syntax; the type follows from how it is written.
  UniString SetVar(UniString name, UniString value);
  // text: a braces group ("{a=1; b=x}") or empty; an empty group gives an empty array.
  UniString SetArrayVar(UniString name, UniString text);

  // ---- add family: always append; skipCheck skips the name check ----
  UniString AddStringVar(UniString name, UniString text, bool skipCheck);
  UniString AddIntegerVar(UniString name, int32_t value, bool skipCheck);
  UniString AddIntegerVar(UniString name, UniString text, bool skipCheck);
  UniString AddFloatVar(UniString name, double value, bool skipCheck);
  UniString AddFloatVar(UniString name, UniString text, bool skipCheck);
  UniString AddDateTimeVar(UniString name, clsDateTime value, bool skipCheck);
  UniString AddListVar(UniString name, UniString text, bool skipCheck);
  // take true: the collection takes ownership of a non-null list on success (a null list adds
  // nothing); on failure the list stays the caller's. take false: the lines are copied.
  UniString AddListVar(UniString name, UniStringList* list, bool skipCheck, bool take);
  // As AddListVar with a list; a null collection adds nothing in either mode.
  UniString AddArrayVar(UniString name, clsMultiVar* array, bool skipCheck, bool take);
  UniString AddVariableVar(UniString name, UniString text);
  UniString AddVar(clsSingleVar* value, bool skipCheck);
  // Value given in the variable-list syntax; the type follows from how it is written.
  UniString AddVar(UniString name, UniString value, bool skipCheck);
  // text: a braces group or empty (an array entry with no container); an empty group adds nothing.
  UniString AddArrayVar(UniString name, UniString text, bool skipCheck);

  // ---- variable-list text ----
  // Appends the items of the lines; returns the first error (items read before it stay).
  UniString ParseVariables(UniStringList* lines, bool bolUniqueNames, bool bolCommaDelimits,
                           bool bolLineEndDelimits);
  UniString ParseVariables(UniString text, bool bolUniqueNames, bool bolCommaDelimits,
                           bool bolLineEndDelimits);
  // As the first form, but an item that cannot be read ends only itself: damaged (emptied first)
  // gets one text for it, "Line " and the number (from 1) of the line on which it began, ": " and
  // the error, and reading goes on at the next line. Returns the first such error.
  UniString ParseVariables(UniStringList* lines, bool bolUniqueNames, bool bolCommaDelimits,
                           bool bolLineEndDelimits, UniStringList* damaged);
  // Empties lines and writes one line per entry ("name=value"); lists left out with skipLists.
  void GetVarsAsList(UniStringList* lines, bool quoteStrings, bool skipLists) const;

  // Same entry count and every left entry equal to the right entry of its name (any order).
  bool operator==(clsMultiVar const& other) const;
  bool operator!=(clsMultiVar const& other) const { return !(*this == other); }

 private:
  class clsVarParser;

  // Appends a copy of value; false when memory runs out.
  bool Append(clsSingleVar const& value);
  // Appends value so that the new entry takes value's container; value lets go of it either way
  // (on false the container is still the caller's to free).
  bool AppendHandOver(clsSingleVar& value);
  // The first entry matching an already trimmed and upper-cased name.
  const_iterator FindKey(UniString const& key) const;
  iterator FindKey(UniString const& key);
  // The set family's core: the first entry of the trimmed name is cleared when its type differs
  // and renamed to that spelling, or a new entry is built; store fills the payload (returning an
  // error text) and a new entry is appended only when it succeeded.
  template <typename Store>
  UniString SetEntry(UniString const& name, enumPluginVarType type, Store store);
  // The add family's name rule: *trimmed gets the trimmed name, which is checked (as a name
  // that may repeat) unless it is empty or skipCheck is set; the check's error or empty.
  UniString AddName(UniString const& name, bool skipCheck, UniString* trimmed) const;
  // The add family's core for the scalar kinds: the name rule, then a new entry of the type
  // whose payload fill sets, appended.
  template <typename Fill>
  UniString AddEntry(UniString const& name, bool skipCheck, enumPluginVarType type, Fill fill);
  // Appends a new array entry that takes array; on failure array is freed and noMemory returned.
  UniString AppendArray(UniString const& trimmedName, clsMultiVar* array,
                        UniString const& noMemory);

  std::list<clsSingleVar> m_lstVars;
};
