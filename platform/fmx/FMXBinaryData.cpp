// FMXBinaryData: container streams in the order they were added, one per type.
#include "platform/fmx/FMXBinaryData.h"

#include <cstring>

#include "platform/fmx/FMXTesting.h"

namespace fmx {

int32 BinaryData::GetIndex(QuadChar const& dataType) const {
  for (size_t i = 0; i < m_streams.size(); ++i)
    if (m_streams[i].type == dataType) return int32(i);
  return -1;
}

uint32 BinaryData::GetTotalSize() const {
  uint64 total = 0;
  for (auto const& stream : m_streams) total += stream.bytes->size();
  return total > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32(total);
}

void BinaryData::GetType(int32 index, QuadChar& dataType) const {
  dataType = (index >= 0 && index < GetCount()) ? m_streams[size_t(index)].type : QuadChar();
}

uint32 BinaryData::GetSize(int32 index) const {
  return (index >= 0 && index < GetCount()) ? uint32(m_streams[size_t(index)].bytes->size()) : 0;
}

errcode BinaryData::GetData(int32 index, uint32 offset, uint32 amount, void* buffer) const {
  if (index < 0 || index >= GetCount()) return kErrBadArgument;
  auto const& bytes = *m_streams[size_t(index)].bytes;
  if (uint64(offset) + amount > bytes.size()) return kErrBadArgument;
  if (detail::GetDataFaultApplies(m_streams[size_t(index)].type, offset, amount)) return kErrUnknown;
  if (amount == 0) return kNoErr;
  if (!buffer) return kErrBadArgument;
  std::memcpy(buffer, bytes.data() + offset, amount);
  return kNoErr;
}

errcode BinaryData::Add(QuadChar const& dataType, uint32 amount, const void* buffer) {
  if (amount > 0 && !buffer) return kErrBadArgument;
  if (GetIndex(dataType) >= 0) return kErrDuplicate;
  stcStream stream;
  stream.type = dataType;
  const uchar* bytes = static_cast<const uchar*>(buffer);
  stream.bytes = amount > 0 ? std::make_shared<std::vector<uchar> const>(bytes, bytes + amount)
                            : std::make_shared<std::vector<uchar> const>();
  m_streams.push_back(std::move(stream));
  return kNoErr;
}

bool BinaryData::Remove(QuadChar const& dataType) {
  int32 index = GetIndex(dataType);
  if (index < 0) return false;
  m_streams.erase(m_streams.begin() + index);
  return true;
}

bool BinaryData::operator==(BinaryData const& other) const {
  if (m_streams.size() != other.m_streams.size()) return false;
  for (size_t i = 0; i < m_streams.size(); ++i)
    if (m_streams[i].type != other.m_streams[i].type || *m_streams[i].bytes != *other.m_streams[i].bytes) return false;
  return true;
}

}  // namespace fmx
