// clsDNSQuery: a small DNS client for the address verification: one query (A, MX or PTR, class
// IN) through the system resolver, and its own decoder of the reply (RFC 1035) that turns the
// answers of the asked type into text lines: A the dotted address; NS, CNAME and PTR the name; MX
// the exchange, ";" and the preference. Names are rendered with "." between labels.
// Interface: Query, ResultCount, GetResult, ErrorString; the decoder DecodeDNS, DecodeQuestion,
// DecodeRR, DecodeName over any bytes; DNSTypeToStr, DNSClassToStr.
// Relies on the resolver layer of platform/netdb (res_init, res_query and its state _res).
// Fails with an English error text: the decoder never reads outside the reply, never copies a
// label longer than 63 bytes, and stops on compression pointers that go forward or loop.
#pragma once

#include <cstdint>

#include "core/AnsiString.h"
#include "core/TStringList.h"

// 1 PTR, 2 MX, any other value A.
enum enumDNSQueryType : int32_t { kDNSQueryA = 0, kDNSQueryPTR = 1, kDNSQueryMX = 2 };

struct stcDNSType {
  char const* m_pchrName;
  int m_intCode;
};

class clsDNSQuery {
 public:
  clsDNSQuery();
  ~clsDNSQuery();
  clsDNSQuery(clsDNSQuery const&) = delete;
  clsDNSQuery& operator=(clsDNSQuery const&) = delete;

  // One query; true when at least one answer of the asked type was found. dnsServer is a dotted
  // IPv4 address to ask instead of the system's name servers, or empty. timeout in seconds
  // bounds the resolver's tries.
  bool Query(AnsiString domain, enumDNSQueryType type, int timeout, AnsiString dnsServer);
  int ResultCount() const;
  AnsiString GetResult(int index) const;
  AnsiString ErrorString() const { return m_astrError; }

  // The decoder. A reply longer than the resolver's buffer (1500 bytes) is read as its first
  // 1500 bytes. The asked type is that of the query type (see SetQueryType).
  bool DecodeDNS(unsigned char const* buffer, int length);
  AnsiString DecodeQuestion(int* position, unsigned char const* buffer, int length);
  AnsiString DecodeRR(int* position, unsigned char const* buffer, int length, int* type);
  AnsiString DecodeName(int* position, unsigned char const* buffer, int length);
  // The query type whose DNS type the decoder keeps answers of (Query sets it itself).
  void SetQueryType(enumDNSQueryType type) { m_intQueryType = type; }

  static AnsiString DNSTypeToStr(int code);
  static AnsiString DNSClassToStr(int code);

  static constexpr int kReplyBufferSize = 1500;
  static stcDNSType const m_udtDNSTypes[38];

 private:
  // The name a question or an answer starts with; an empty one fails with a text.
  AnsiString DecodeOwner(int* position, unsigned char const* buffer, int length);
  // The DNS type asked for: PTR 12, MX 15, otherwise A 1.
  int AskedDNSType() const;

  AnsiString m_astrDomain;
  AnsiString m_astrError;
  enumDNSQueryType m_intQueryType;
  TStringList* m_pulstResults;
};
