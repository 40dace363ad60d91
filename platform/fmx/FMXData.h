// FMXData: one host value (a field value, a calculation parameter or result) and the vector of
// parameters a calculation function receives.
// Interface: fmx::Data (native type, empty test, the value read as text, number, date, time,
// timestamp, boolean or container data, its locale, and the setters), fmx::DataVect (Size, At,
// AtAs...), and their holders fmx::DataAutoPtr, fmx::DataVectAutoPtr.
// Relies on the other value classes of this SDK. A value read as another kind is converted the
// way this host does it (see FMXData.cpp); DataVect::At throws std::out_of_range on a bad index.
#pragma once

#include <vector>

#include "platform/fmx/FMXBinaryData.h"
#include "platform/fmx/FMXDateTime.h"
#include "platform/fmx/FMXFixPt.h"
#include "platform/fmx/FMXText.h"
#include "platform/fmx/FMXTypes.h"

namespace fmx {

class Data {
 public:
  enum DataType : int32 {
    kDTInvalid = 0,
    kDTText = 1,
    kDTNumber = 2,
    kDTDate = 3,
    kDTTime = 4,
    kDTTimeStamp = 5,
    kDTBinary = 6,
    kDTBoolean = 7
  };

  Data() = default;

  // True for no value, an empty text and container data without streams.
  bool IsEmpty() const;
  DataType GetNativeType() const { return m_nativeType; }

  // The value read as each kind. The references stay valid until the value is changed.
  Text const& GetAsText() const;
  FixPt const& GetAsNumber() const;
  DateTime const& GetAsDate() const;
  DateTime const& GetAsTime() const;
  DateTime const& GetAsTimeStamp() const;
  bool GetAsBoolean() const;
  // Container streams; a value that is not container data has none.
  BinaryData const& GetBinaryData() const;
  Locale const& GetLocale() const { return m_locale; }

  // Each setter replaces the value; the native type says how the host presents it.
  void SetAsText(Text const& text, Locale const& locale, int32 nativeType = kDTText);
  void SetAsNumber(FixPt const& number, int32 nativeType = kDTNumber);
  void SetAsDate(DateTime const& date, int32 nativeType = kDTDate);
  void SetAsTime(DateTime const& time, int32 nativeType = kDTTime);
  void SetAsTimeStamp(DateTime const& timeStamp, int32 nativeType = kDTTimeStamp);
  void SetAsBoolean(bool value, int32 nativeType = kDTBoolean);
  // Container data; unless forced the native type stays as it was (binary when there was none).
  void SetBinaryData(BinaryData const& binaryData, bool forceBinaryNativeType);
  void Clear(int32 newNativeType = kDTInvalid);

 private:
  // What is held, whatever the native type says.
  enum enumKind { kKindNone, kKindText, kKindNumber, kKindDate, kKindTime, kKindTimeStamp, kKindBoolean, kKindBinary };

  void Reset(enumKind kind, int32 nativeType);

  enumKind m_kind = kKindNone;
  DataType m_nativeType = kDTInvalid;
  Text m_text;
  FixPt m_number;
  DateTime m_dateTime;
  bool m_boolean = false;
  BinaryData m_binary;
  Locale m_locale;

  // Conversions are made on demand into these.
  mutable Text m_cacheText;
  mutable FixPt m_cacheNumber;
  mutable DateTime m_cacheDate;
  mutable DateTime m_cacheTime;
  mutable DateTime m_cacheTimeStamp;
};

class DataVect {
 public:
  DataVect() = default;

  uint32 Size() const { return uint32(m_items.size()); }
  bool IsEmpty() const { return m_items.empty(); }
  void Clear() { m_items.clear(); }
  void PushBack(Data const& data) { m_items.push_back(data); }

  Data const& At(uint32 position) const;
  Text const& AtAsText(uint32 position) const { return At(position).GetAsText(); }
  FixPt const& AtAsNumber(uint32 position) const { return At(position).GetAsNumber(); }
  DateTime const& AtAsDate(uint32 position) const { return At(position).GetAsDate(); }
  DateTime const& AtAsTime(uint32 position) const { return At(position).GetAsTime(); }
  DateTime const& AtAsTimeStamp(uint32 position) const { return At(position).GetAsTimeStamp(); }
  bool AtAsBoolean(uint32 position) const { return At(position).GetAsBoolean(); }
  BinaryData const& AtAsBinaryData(uint32 position) const { return At(position).GetBinaryData(); }

 private:
  std::vector<Data> m_items;
};

typedef AutoPtr<Data> DataAutoPtr;
typedef AutoPtr<DataVect> DataVectAutoPtr;

}  // namespace fmx
