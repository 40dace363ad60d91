// The DNS reply decoder of clsDNSQuery (RFC 1035): header counts, questions, answer records and
// compressed names. Every read is checked against the reply's length; compression pointers may
// only point backwards, inside what came before the name's first pointer, and never twice at
// the same place, so a crafted reply cannot make the walk loop.
#include <arpa/inet.h>

#include <new>
#include <vector>

#include "core/DebugLog.h"
#include "smtp/clsDNSQuery.h"

namespace {

AnsiString const kNotInBuffer("DNS Response decode error: Location Pointer isn't in Response Buffer!");
AnsiString const kEmptyName("DNS Response decode error: Name is empty!");

int ReadU16(unsigned char const* bytes) { return (bytes[0] << 8) | bytes[1]; }

}  // namespace

stcDNSType const clsDNSQuery::m_udtDNSTypes[38] = {
    {"A", 1},         {"NS", 2},      {"MD", 3},       {"MF", 4},      {"CNAME", 5},
    {"SOA", 6},       {"MB", 7},      {"MG", 8},       {"MR", 9},      {"NULL", 10},
    {"WKS", 11},      {"PTR", 12},    {"HINFO", 13},   {"MINFO", 14},  {"MX", 15},
    {"TXT", 16},      {"RP", 17},     {"AFSDBB", 18},  {"X25", 19},    {"ISDN", 20},
    {"RT", 21},       {"NSAP", 22},   {"NSAP_PTR", 23}, {"SIG", 24},   {"KEY", 25},
    {"PX", 26},       {"GPOS", 27},   {"AAAA", 28},    {"LOC", 29},    {"UINFO", 100},
    {"UID", 101},     {"GID", 102},   {"UNSPEC", 103}, {"AXFR", 252},  {"MAILB", 253},
    {"MAILA", 254},   {"ANY", 255},   {"SRV", 33},
};

AnsiString clsDNSQuery::DNSTypeToStr(int code) {
  for (auto const& row : m_udtDNSTypes) {
    if (row.m_intCode == code) return AnsiString(row.m_pchrName);
  }
  return AnsiString("Unknown");
}

AnsiString clsDNSQuery::DNSClassToStr(int code) {
  return AnsiString(code == 1 ? "IN" : "Unknown");
}

int clsDNSQuery::AskedDNSType() const {
  switch (m_intQueryType) {
    case kDNSQueryPTR: return 12;
    case kDNSQueryMX: return 15;
    default: return 1;
  }
}

bool clsDNSQuery::DecodeDNS(unsigned char const* buffer, int length) {
  m_astrError = AnsiString("");
  // The resolver may report the full length of a reply it had to cut to its buffer.
  if (length > kReplyBufferSize) length = kReplyBufferSize;
  if (buffer == nullptr || length < 12) {
    m_astrError = AnsiString("DNS Response is too short!");
    return false;
  }
  int questions = ReadU16(buffer + 4);
  if (questions == 0) {
    m_astrError = AnsiString("No such record. (No Question Section.)");
    return false;
  }
  int position = 12;
  for (int i = 0; i < questions; ++i) {
    AnsiString question = DecodeQuestion(&position, buffer, length);
    if (question.Length() == 0) return false;
    DebugOutput(kDebugInfo, UniString("Question: ") + UniString(question));
  }
  int answers = ReadU16(buffer + 6);
  if (answers == 0) {
    m_astrError = AnsiString("No such record. (No Answer Section.)");
    return false;
  }
  if (m_pulstResults == nullptr) m_pulstResults = new (std::nothrow) TStringList();
  if (m_pulstResults == nullptr) {
    m_astrError = AnsiString("Could not allocate memory for DNS Results.");
    return false;
  }
  m_pulstResults->Clear();
  int asked = AskedDNSType();
  for (int i = 0; i < answers; ++i) {
    int type = 0;
    AnsiString answer = DecodeRR(&position, buffer, length, &type);
    if (answer.Length() == 0) return false;
    if (type == asked) m_pulstResults->Add(answer);
  }
  return true;
}

AnsiString clsDNSQuery::DecodeOwner(int* position, unsigned char const* buffer, int length) {
  if (*position < 0 || *position >= length) {
    m_astrError = kNotInBuffer;
    return AnsiString("");
  }
  AnsiString name = DecodeName(position, buffer, length);
  if (name.Length() == 0 && m_astrError.Length() == 0) m_astrError = kEmptyName;
  return name;
}

AnsiString clsDNSQuery::DecodeQuestion(int* position, unsigned char const* buffer, int length) {
  AnsiString name = DecodeOwner(position, buffer, length);
  if (name.Length() == 0) return AnsiString("");
  if (*position + 4 > length) {
    m_astrError = AnsiString(
        "DNS Resposne decode error: Response Buffer is to short for Question Type and Class!");
    return AnsiString("");
  }
  int type = ReadU16(buffer + *position);
  int dnsClass = ReadU16(buffer + *position + 2);
  *position += 4;
  return name + AnsiString("; Type: ") + DNSTypeToStr(type) + AnsiString("; Class: ") +
         DNSClassToStr(dnsClass);
}

AnsiString clsDNSQuery::DecodeRR(int* position, unsigned char const* buffer, int length, int* type) {
  *type = 0;
  if (DecodeOwner(position, buffer, length).Length() == 0) return AnsiString("");
  if (*position + 10 > length) {
    m_astrError = AnsiString(
        "DNS Resposne decode error: Response Buffer is to short for Answer Type, Class, TTL, and "
        "Length!");
    return AnsiString("");
  }
  int recordType = ReadU16(buffer + *position);
  int dataLength = ReadU16(buffer + *position + 8);
  *position += 10;
  if (*position + dataLength > length) {
    m_astrError =
        AnsiString("DNS Response decode error: Response Buffer is to short for reported Answer length!");
    return AnsiString("");
  }
  *type = recordType;
  int data = *position;
  AnsiString text;
  switch (recordType) {
    case 1: {
      if (dataLength != 4) {
        m_astrError = AnsiString("DNS Response decode error: Address Answer is not 4 bytes long!");
        break;
      }
      char dotted[16];
      if (inet_ntop(AF_INET, buffer + data, dotted, sizeof(dotted)) != nullptr) text = AnsiString(dotted);
      break;
    }
    case 2:
    case 5:
    case 12: {
      int namePosition = data;
      text = DecodeName(&namePosition, buffer, length);
      if (text.Length() == 0 && m_astrError.Length() == 0) m_astrError = kEmptyName;
      break;
    }
    case 15: {
      if (dataLength < 3) {
        m_astrError = AnsiString("DNS Response decode error: MX Answer is too short!");
        break;
      }
      int preference = ReadU16(buffer + data);
      int namePosition = data + 2;
      AnsiString exchange = DecodeName(&namePosition, buffer, length);
      if (exchange.Length() > 0) {
        text = exchange + AnsiString(";") + AnsiString(preference);
      } else if (m_astrError.Length() == 0) {
        m_astrError = kEmptyName;
      }
      break;
    }
    default:
      m_astrError = AnsiString("DNS Response decode error: Answer Type is not supported: ") +
                    DNSTypeToStr(recordType);
      break;
  }
  *position = data + dataLength;
  return text;
}

AnsiString clsDNSQuery::DecodeName(int* position, unsigned char const* buffer, int length) {
  m_astrError = AnsiString("");
  if (*position < 0 || *position >= length) {
    m_astrError = kNotInBuffer;
    return AnsiString("");
  }
  std::vector<char> name;
  std::vector<bool> visited;  // pointer targets met on this walk
  int walk = *position;
  int end = -1;    // where the caller's position ends: past the first pointer or the zero byte
  int limit = 0;   // pointers must point before the end of the name's own bytes
  int lastTarget = -1;
  for (;;) {
    if (walk >= length) {
      m_astrError = AnsiString("DNS Response decode error: Name extends past Response Buffer!");
      return AnsiString("");
    }
    unsigned char byte = buffer[walk];
    if (byte == 0) {
      if (end < 0) end = walk + 1;
      break;
    }
    if ((byte & 0xC0) == 0xC0) {
      if (walk + 1 >= length) {
        m_astrError = AnsiString("DNS Response decode error: Name extends past Response Buffer!");
        return AnsiString("");
      }
      int target = ((byte & 0x3F) << 8) | buffer[walk + 1];
      if (end < 0) {
        end = walk + 2;
        limit = end;
        visited.assign(static_cast<size_t>(limit), false);
      }
      if (target >= limit) {
        m_astrError = AnsiString("DNS Response decode error: Name Compression Offset is Invalid!");
        return AnsiString("");
      }
      if (target == lastTarget || visited[static_cast<size_t>(target)]) {
        m_astrError = AnsiString("DNS Response decode error: Name Compression Offset yields loop!");
        return AnsiString("");
      }
      visited[static_cast<size_t>(target)] = true;
      lastTarget = target;
      walk = target;
      continue;
    }
    if (byte > 63) {
      // Length bytes 64 to 191 are neither labels (at most 63 bytes) nor pointers.
      m_astrError = AnsiString("DNS Response decode error: Label Length is Invalid!");
      return AnsiString("");
    }
    if (walk + 1 + byte > length) {
      m_astrError = AnsiString("DNS Response decode error: Name extends past Response Buffer!");
      return AnsiString("");
    }
    name.insert(name.end(), buffer + walk + 1, buffer + walk + 1 + byte);
    name.push_back('.');
    walk += 1 + byte;
  }
  *position = end;
  if (!name.empty()) name.pop_back();
  return AnsiString(name.data(), static_cast<int>(name.size()));
}
