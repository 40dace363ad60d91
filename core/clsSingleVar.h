// clsSingleVar: one named, typed value (string, integer, float, variable, array, list, date-time),
// the unit in which parameters, preferences, status fields and results travel.
// Interface: typed getters and setters that do not convert, GetValue_AsString (the value's text
// form), CoerceVarType (conversion in place) and an equality that converts the left side to the
// right side's type. A value owns its nested array (clsMultiVar) and its list (UniStringList);
// copies are deep unless the source was built for a hand-over inside clsMultiVar.
// Relies on core/UniString.h, core/UniStringList.h, core/clsDateTime.h and core/clsMultiVar.h.
// Never throws; a container that cannot be allocated is left null.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "core/clsDateTime.h"

class clsMultiVar;
class UniStringList;

// The type tag of a value; numbers are those stored and compared everywhere.
enum enumPluginVarType : int32_t {
  kVarTypeNone = 0,
  kVarTypeString = 1,
  kVarTypeInteger = 2,
  kVarTypeFloat = 3,
  kVarTypeVariable = 4,  // literal text, never interpreted
  kVarTypeArray = 5,     // a nested clsMultiVar
  kVarTypeList = 6,      // lines of text
  kVarTypeDateTime = 7
};

class clsSingleVar {
 public:
  clsSingleVar();
  clsSingleVar(clsSingleVar const& other);
  clsSingleVar& operator=(clsSingleVar const& other);
  ~clsSingleVar();

  // Type 0, string empty, numbers 0, containers freed, hand-over cleared; the name only when
  // clearName. The date-time member keeps what it held.
  void Clear(bool clearName);

  // ---- getters, no conversion ----
  enumPluginVarType GetType() const { return m_intType; }
  UniString GetName() const { return m_ustrName; }
  UniString GetStringValue() const { return m_ustrValue; }
  // The stored text itself, for a reader that only looks (a result text can be very long).
  UniString const& StringValueRef() const { return m_ustrValue; }
  int32_t GetIntegerValue() const { return m_lngValue; }
  double GetFloatValue() const { return m_dblValue; }
  clsDateTime GetDateTimeValue() const { return m_udtDateTime; }
  // The owned array; ownership stays with the value. May be null even for type 5.
  clsMultiVar* GetArrayValue() const { return m_ptrArray; }
  // The owned list, null when there is none. With detach the value gives the list up (and is
  // cleared, name kept); the caller then owns and frees it.
  UniStringList* GetListValue(bool detach);

  // ---- setters: each clears the value (name kept) and stores one payload ----
  void SetName(UniString name);  // stored as given, not trimmed
  void SetStringValue(UniString text);
  void SetIntegerValue(int32_t value);
  void SetFloatValue(double value);
  void SetDateTimeValue(clsDateTime value);
  // take true: adopts a non-null list (a null list leaves the value cleared, type 0);
  // take false: the value gets a new list holding a copy of the lines (empty for null).
  void SetListValue(UniStringList* list, bool take);

  // ---- text form, coercion, equality ----
  UniString GetValue_AsString() const;
  // Converts in place; the name never changes. Target 0, above 7 or the current type: no change.
  void CoerceVarType(enumPluginVarType target);
  // Names must match exactly; then a copy of this value is coerced to other's type and compared.
  // Not symmetric when the types differ.
  bool operator==(clsSingleVar const& other) const;
  bool operator!=(clsSingleVar const& other) const { return !(*this == other); }

 private:
  friend class clsMultiVar;

  void FreeContainers();
  void CopyFrom(clsSingleVar const& other);

  enumPluginVarType m_intType;
  UniString m_ustrName;
  UniString m_ustrValue;
  int32_t m_lngValue;
  double m_dblValue;
  clsMultiVar* m_ptrArray;
  UniStringList* m_ptrList;
  clsDateTime m_udtDateTime;
  // Set only on a temporary built around a caller's container: the next copy made from this
  // value takes its array and list pointers instead of duplicating them.
  bool m_bolHandOver;
};
