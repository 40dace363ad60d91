// clsSingleVar: construction, copying (deep, or a hand-over of the containers), clearing and
// the plain typed getters and setters. The text form, coercion and equality live in
// core/VarCoercion.cpp.
// A container that cannot be allocated while copying is left null; nothing here throws.
#include "core/clsSingleVar.h"

#include <new>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"

clsSingleVar::clsSingleVar()
    : m_intType(kVarTypeNone),
      m_lngValue(0),
      m_dblValue(0.0),
      m_ptrArray(nullptr),
      m_ptrList(nullptr),
      m_bolHandOver(false) {
  Clear(true);
}

clsSingleVar::clsSingleVar(clsSingleVar const& other)
    : m_intType(kVarTypeNone),
      m_lngValue(0),
      m_dblValue(0.0),
      m_ptrArray(nullptr),
      m_ptrList(nullptr),
      m_bolHandOver(false) {
  CopyFrom(other);
}

clsSingleVar& clsSingleVar::operator=(clsSingleVar const& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

clsSingleVar::~clsSingleVar() { Clear(true); }

void clsSingleVar::FreeContainers() {
  delete m_ptrArray;
  m_ptrArray = nullptr;
  delete m_ptrList;
  m_ptrList = nullptr;
}

// The new containers are made before the old ones are freed: the source may live inside this
// value's own array (a value assigned one of its nested entries).
void clsSingleVar::CopyFrom(clsSingleVar const& other) {
  clsMultiVar* newArray = nullptr;
  UniStringList* newList = nullptr;
  if (other.m_ptrArray != nullptr) {
    if (other.m_bolHandOver) {
      newArray = other.m_ptrArray;
    } else {
      newArray = new (std::nothrow) clsMultiVar();
      if (newArray != nullptr) {
        try {
          *newArray = *other.m_ptrArray;
        } catch (std::bad_alloc const&) {
          // Keep what was copied; the collection stays valid.
        }
      }
    }
  }
  if (other.m_ptrList != nullptr) {
    if (other.m_bolHandOver) {
      newList = other.m_ptrList;
    } else {
      newList = new (std::nothrow) UniStringList();
      if (newList != nullptr) newList->Assign(other.m_ptrList);
    }
  }
  m_intType = other.m_intType;
  m_ustrName = other.m_ustrName;
  m_ustrValue = other.m_ustrValue;
  m_lngValue = other.m_lngValue;
  m_dblValue = other.m_dblValue;
  m_udtDateTime = other.m_udtDateTime;
  m_bolHandOver = false;
  FreeContainers();  // may destroy other; it is not used after this
  m_ptrArray = newArray;
  m_ptrList = newList;
}

void clsSingleVar::Clear(bool clearName) {
  m_intType = kVarTypeNone;
  if (clearName) m_ustrName = UniString();
  m_ustrValue = UniString();
  m_lngValue = 0;
  m_dblValue = 0.0;
  FreeContainers();
  m_bolHandOver = false;
}

UniStringList* clsSingleVar::GetListValue(bool detach) {
  UniStringList* list = m_ptrList;
  if (detach) {
    m_ptrList = nullptr;
    Clear(false);
  }
  return list;
}

void clsSingleVar::SetName(UniString name) { m_ustrName = name; }

void clsSingleVar::SetStringValue(UniString text) {
  Clear(false);
  m_intType = kVarTypeString;
  m_ustrValue = text;
}

void clsSingleVar::SetIntegerValue(int32_t value) {
  Clear(false);
  m_intType = kVarTypeInteger;
  m_lngValue = value;
}

void clsSingleVar::SetFloatValue(double value) {
  Clear(false);
  m_intType = kVarTypeFloat;
  m_dblValue = value;
}

void clsSingleVar::SetDateTimeValue(clsDateTime value) {
  Clear(false);
  m_intType = kVarTypeDateTime;
  m_udtDateTime = value;
}

void clsSingleVar::SetListValue(UniStringList* list, bool take) {
  if (take) {
    // A list handed back to the value that owns it must survive the clearing.
    if (list == m_ptrList) m_ptrList = nullptr;
    Clear(false);
    if (list == nullptr) return;
    m_ptrList = list;
    m_intType = kVarTypeList;
    return;
  }
  // The copy is made first: the source may belong to this value.
  UniStringList* copy = new (std::nothrow) UniStringList();
  if (copy != nullptr && list != nullptr) copy->Assign(list);
  Clear(false);
  m_ptrList = copy;
  m_intType = kVarTypeList;
}
