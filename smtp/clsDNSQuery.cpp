// clsDNSQuery: its life cycle, its results and the query through the resolver layer.
#include "smtp/clsDNSQuery.h"

#include <arpa/inet.h>

#include <cerrno>
#include <new>

#include "core/DebugLog.h"
#include "platform/netdb/resolv.h"

clsDNSQuery::clsDNSQuery() : m_intQueryType(kDNSQueryA), m_pulstResults(nullptr) {}

clsDNSQuery::~clsDNSQuery() { delete m_pulstResults; }

int clsDNSQuery::ResultCount() const {
  return m_pulstResults == nullptr ? 0 : m_pulstResults->Count();
}

AnsiString clsDNSQuery::GetResult(int index) const {
  if (m_pulstResults == nullptr || index < 0 || index >= m_pulstResults->Count()) return AnsiString("");
  return m_pulstResults->Strings[static_cast<unsigned int>(index)];
}

bool clsDNSQuery::Query(AnsiString domain, enumDNSQueryType type, int timeout, AnsiString dnsServer) {
  clsFuncDebug scope(UniString("clsDNSQuery::Query"));
  m_astrError = AnsiString();
  if (m_pulstResults != nullptr) m_pulstResults->Clear();
  bool result = false;
  domain = domain.Trim();
  if (domain.Length() == 0) {
    m_astrError = "You must specify a Domain Name to Query";
    return false;
  }
  m_astrDomain = domain;
  m_intQueryType = type;
  scope.Output(kDebugInfo, UniString(AnsiString("Domain Name: ") + domain));
  scope.Output(kDebugInfo, UniString(AnsiString("Query Type: ") + AnsiString(int(type))));
  unsigned char* buffer = nullptr;
  if (res_init() != 0) {
    m_astrError = "Could not Initialize Resolver.";
  } else if ((buffer = new (std::nothrow) unsigned char[kReplyBufferSize]) == nullptr) {
    m_astrError = "Could not allocate memory for Resolver result.";
  } else {
    // The verification's time-out bounds the resolver: one try per server, that long.
    if (timeout > 0) {
      _res.retrans = timeout;
      _res.retry = 1;
    }
    dnsServer = dnsServer.Trim();
    bool serverOK = true;
    if (dnsServer.Length() > 0) {
      if (inet_aton(dnsServer.c_str(), &_res.nsaddr_list[0].sin_addr) != 1) {
        m_astrError = "User Defined DNS Server IP Address appears to be invalid.";
        serverOK = false;
      } else {
        _res.nscount = 1;
      }
    }
    if (serverOK) {
      errno = 0;
      int length = res_query(domain.c_str(), 1, AskedDNSType(), buffer, kReplyBufferSize);
      if (length > 0) {
        result = DecodeDNS(buffer, length) && ResultCount() > 0;
      } else if (errno != 0) {
        m_astrError = AnsiString("DNS Resolver returned an error: ") + AnsiString(errno);
      } else {
        m_astrError = "No such record.";
      }
    }
  }
  if (m_astrError.Length() > 0) {
    scope.Output(kDebugError, UniString(AnsiString("Error: ") + m_astrError));
  } else {
    scope.Output(kDebugResult, UniString("Success."));
  }
  delete[] buffer;
  return result;
}
