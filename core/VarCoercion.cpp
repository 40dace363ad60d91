// Value text forms, type coercion and equality: clsSingleVar::GetValue_AsString,
// clsSingleVar::CoerceVarType, clsSingleVar::operator== and clsMultiVar::operator==.
// Numbers print in the C locale ("%ld", "%.4lf" through UniString's number constructors);
// date-times use clsDateTime's "MM/DD/YYYY HH:MM:SS" form.
// Nothing here reports errors: text that is not a number converts as UniString::ToInt and
// ToFloat read it, text that is not a date-time leaves the date-time member as it was, and a
// container that cannot be allocated stays null.
#include <cmath>
#include <cstdint>
#include <new>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"

namespace {

// Truncation toward zero as the 32-bit conversion instruction does it: a NaN or a number
// outside the 32-bit range gives the "integer indefinite" value, without undefined behaviour.
int32_t TruncateToInt32(double number) {
  if (!(number > -2147483649.0 && number < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(number);
}

// A float taken as a count of seconds: truncated toward zero, the whole unsigned 32-bit range
// kept so that a date-time read as a float (GetAsSeconds, unsigned) converts back to itself;
// other numbers go through the signed truncation and are taken as unsigned, as integers are.
uint32_t TruncateToSeconds(double number) {
  if (number >= 0.0 && number < 4294967296.0) return static_cast<uint32_t>(number);
  return static_cast<uint32_t>(TruncateToInt32(number));
}

UniString DateTimeText(clsDateTime const& dateTime) { return UniString(dateTime.GetAsString()); }

}  // namespace

UniString clsSingleVar::GetValue_AsString() const {
  switch (m_intType) {
    case kVarTypeString:
    case kVarTypeVariable:
      return m_ustrValue;
    case kVarTypeInteger:
      return UniString(m_lngValue);
    case kVarTypeFloat:
      return UniString(m_dblValue);
    case kVarTypeArray: {
      if (m_ptrArray == nullptr) return UniString();
      UniString text;
      bool first = true;
      for (clsSingleVar const& entry : *m_ptrArray) {
        text += first ? UniString("{") : UniString("; ");
        first = false;
        if (entry.m_ustrName.IsNotEmpty()) text += entry.m_ustrName + UniString("=");
        text += entry.GetValue_AsString();
      }
      if (text.IsNotEmpty()) text += UniString("}");
      return text;
    }
    case kVarTypeList:
      if (m_ptrList == nullptr) return UniString();
      return m_ptrList->Text(kLineEndingCR, UniString());
    case kVarTypeDateTime:
      return DateTimeText(m_udtDateTime);
    default:
      return UniString();
  }
}

void clsSingleVar::CoerceVarType(enumPluginVarType target) {
  if (target == m_intType || target == kVarTypeNone || static_cast<int32_t>(target) > 7 ||
      static_cast<int32_t>(target) < 0) {
    return;
  }
  enumPluginVarType const from = m_intType;

  switch (target) {
    case kVarTypeString:
    case kVarTypeVariable: {
      UniString const text = from == kVarTypeNone ? UniString() : GetValue_AsString();
      Clear(false);
      m_intType = target;
      m_ustrValue = text;
      return;
    }

    case kVarTypeInteger:
    case kVarTypeFloat: {
      int32_t integer = 0;
      double number = 0.0;
      switch (from) {
        case kVarTypeString:
        case kVarTypeVariable:
          integer = m_ustrValue.ToInt();
          number = m_ustrValue.ToFloat();
          break;
        case kVarTypeInteger:
          integer = m_lngValue;
          number = m_lngValue;
          break;
        case kVarTypeFloat:
          integer = TruncateToInt32(m_dblValue);
          number = m_dblValue;
          break;
        case kVarTypeArray:
          integer = m_ptrArray == nullptr ? 0 : static_cast<int32_t>(m_ptrArray->Count());
          number = integer;
          break;
        case kVarTypeList:
          integer = m_ptrList == nullptr ? 0 : static_cast<int32_t>(m_ptrList->Count());
          number = integer;
          break;
        case kVarTypeDateTime: {
          uint32_t const seconds = m_udtDateTime.GetAsSeconds();
          integer = static_cast<int32_t>(seconds);
          number = seconds;
          break;
        }
        default:
          break;
      }
      Clear(false);
      m_intType = target;
      if (target == kVarTypeInteger) {
        m_lngValue = integer;
      } else {
        m_dblValue = number;
      }
      return;
    }

    case kVarTypeArray: {
      if (from == kVarTypeNone) {
        Clear(false);
        m_intType = kVarTypeArray;
        return;
      }
      // The list, if any, goes into the new array rather than being freed by Clear.
      UniStringList* list = from == kVarTypeList ? m_ptrList : nullptr;
      if (from == kVarTypeList) m_ptrList = nullptr;
      clsSingleVar const old(*this);
      Clear(false);
      m_intType = kVarTypeArray;
      m_ptrArray = new (std::nothrow) clsMultiVar();
      if (m_ptrArray == nullptr) {
        delete list;
        return;
      }
      switch (from) {
        case kVarTypeString:
          if (old.m_ustrValue.IsNotEmpty()) m_ptrArray->AddStringVar(UniString(), old.m_ustrValue, true);
          break;
        case kVarTypeInteger:
          m_ptrArray->AddIntegerVar(UniString(), old.m_lngValue, true);
          break;
        case kVarTypeFloat:
          m_ptrArray->AddFloatVar(UniString(), old.m_dblValue, true);
          break;
        case kVarTypeVariable:
          if (old.m_ustrValue.IsNotEmpty()) m_ptrArray->AddVariableVar(UniString(), old.m_ustrValue);
          break;
        case kVarTypeList:
          if (list != nullptr && m_ptrArray->AddListVar(UniString(), list, true, true).IsNotEmpty()) {
            delete list;
          }
          break;
        case kVarTypeDateTime:
          m_ptrArray->AddDateTimeVar(UniString(), old.m_udtDateTime, true);
          break;
        default:
          break;
      }
      return;
    }

    case kVarTypeList: {
      if (from == kVarTypeNone) {
        Clear(false);
        m_intType = kVarTypeList;
        return;
      }
      UniStringList* list = new (std::nothrow) UniStringList();
      if (list != nullptr) {
        switch (from) {
          case kVarTypeString:
            if (m_ustrValue.IsNotEmpty()) list->AddText(m_ustrValue);
            break;
          case kVarTypeInteger:
            list->Add(UniString(m_lngValue));
            break;
          case kVarTypeFloat:
            list->Add(UniString(m_dblValue));
            break;
          case kVarTypeVariable:
            if (m_ustrValue.IsNotEmpty()) list->Add(m_ustrValue);
            break;
          case kVarTypeArray:
            list->Add(GetValue_AsString());
            break;
          case kVarTypeDateTime:
            list->Add(DateTimeText(m_udtDateTime));
            break;
          default:
            break;
        }
      }
      Clear(false);
      m_intType = kVarTypeList;
      m_ptrList = list;
      return;
    }

    case kVarTypeDateTime: {
      // An unreadable text or an empty list leaves the member as it was.
      clsDateTime dateTime = m_udtDateTime;
      switch (from) {
        case kVarTypeString:
        case kVarTypeVariable:
          dateTime.SetAsString(m_ustrValue.GetAnsiString(-1), AnsiString());
          break;
        case kVarTypeInteger:
          dateTime.SetAsSeconds(static_cast<uint32_t>(m_lngValue));
          break;
        case kVarTypeFloat:
          dateTime.SetAsSeconds(TruncateToSeconds(m_dblValue));
          break;
        case kVarTypeList:
          if (m_ptrList != nullptr && m_ptrList->Count() > 0) {
            dateTime.SetAsString(m_ptrList->At(0).GetAnsiString(-1), AnsiString());
          }
          break;
        default:
          break;
      }
      Clear(false);
      m_intType = kVarTypeDateTime;
      m_udtDateTime = dateTime;
      return;
    }

    default:
      return;
  }
}

bool clsSingleVar::operator==(clsSingleVar const& other) const {
  if (m_ustrName != other.m_ustrName) return false;
  clsSingleVar left(*this);
  if (left.m_intType != other.m_intType) left.CoerceVarType(other.m_intType);

  // Compared by the right side's type. Coercion to none changes nothing, yet a right side of
  // type none is equal to any left value of its name; a type above 7 is never equal.
  switch (other.m_intType) {
    case kVarTypeNone:
      return true;
    case kVarTypeString:
    case kVarTypeVariable:
      return left.m_ustrValue == other.m_ustrValue;
    case kVarTypeInteger:
      return left.m_lngValue == other.m_lngValue;
    case kVarTypeFloat:
      return left.m_dblValue == other.m_dblValue;
    case kVarTypeArray:
      return left.m_ptrArray != nullptr && other.m_ptrArray != nullptr &&
             *left.m_ptrArray == *other.m_ptrArray;
    case kVarTypeList: {
      if (left.m_ptrList == nullptr || other.m_ptrList == nullptr) return false;
      if (left.m_ptrList->Count() != other.m_ptrList->Count()) return false;
      for (unsigned int i = 0; i < other.m_ptrList->Count(); ++i) {
        if (left.m_ptrList->At(i) != other.m_ptrList->At(i)) return false;
      }
      return true;
    }
    case kVarTypeDateTime:
      return left.m_udtDateTime == other.m_udtDateTime;
    default:
      return false;
  }
}

bool clsMultiVar::operator==(clsMultiVar const& other) const {
  if (Count() != other.Count()) return false;
  for (clsSingleVar const& entry : m_lstVars) {
    const_iterator match;
    if (!other.GetVar(entry.m_ustrName, match)) return false;
    if (entry != *match) return false;
  }
  return true;
}
