// clsDNSQuery: its life cycle, its results and the query through the resolver layer.
#include "smtp/clsDNSQuery.h"

#include <new>

clsDNSQuery::clsDNSQuery() : m_intQueryType(kDNSQueryA), m_pulstResults(nullptr) {}

clsDNSQuery::~clsDNSQuery() { delete m_pulstResults; }

int clsDNSQuery::ResultCount() const {
  return m_pulstResults == nullptr ? 0 : m_pulstResults->Count();
}

AnsiString clsDNSQuery::GetResult(int index) const {
  if (m_pulstResults == nullptr || index < 0 || index >= m_pulstResults->Count()) return AnsiString("");
  return m_pulstResults->Strings[static_cast<unsigned int>(index)];
}
