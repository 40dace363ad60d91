// FMXBinaryData: container field data, an ordered set of typed streams (a byte block under a
// four-character type such as 'FNAM', 'JPEG', 'PDF ', 'FILE', 'SIZE'), at most one per type.
// Interface: fmx::BinaryData (GetCount, GetIndex, GetType, GetSize, GetData, Add, Remove,
// RemoveAll, GetTotalSize) and fmx::BinaryDataAutoPtr.
// Relies on the standard library. Copies share the streams' bytes (they are never changed in
// place), so handing container data on costs no copy of its bytes. Failures are error codes
// (fmx::kErrBadArgument for a bad index or range or a null buffer, fmx::kErrDuplicate for a type
// already present); never throws but for std::bad_alloc.
#pragma once

#include <memory>
#include <vector>

#include "platform/fmx/FMXTypes.h"

namespace fmx {

class BinaryData {
 public:
  BinaryData() = default;

  int32 GetCount() const { return int32(m_streams.size()); }
  // Index of the stream of that type, -1 when there is none.
  int32 GetIndex(QuadChar const& dataType) const;
  // Sum of the sizes of all streams.
  uint32 GetTotalSize() const;
  // The type of a stream; a bad index gives the all-zero code.
  void GetType(int32 index, QuadChar& dataType) const;
  // Byte size of a stream; 0 for a bad index.
  uint32 GetSize(int32 index) const;
  // Copies amount bytes from offset of a stream into buffer; nothing is copied on failure.
  errcode GetData(int32 index, uint32 offset, uint32 amount, void* buffer) const;

  // Appends a stream of amount bytes under a type not yet present.
  errcode Add(QuadChar const& dataType, uint32 amount, const void* buffer);
  // Removes the stream of that type; false when there was none.
  bool Remove(QuadChar const& dataType);
  void RemoveAll() { m_streams.clear(); }

  bool operator==(BinaryData const& other) const;
  bool operator!=(BinaryData const& other) const { return !(*this == other); }

 private:
  // A stream's bytes never change once added, so copies of the data share them.
  struct stcStream {
    QuadChar type;
    std::shared_ptr<std::vector<uchar> const> bytes;
  };
  std::vector<stcStream> m_streams;
};

typedef AutoPtr<BinaryData> BinaryDataAutoPtr;

}  // namespace fmx
