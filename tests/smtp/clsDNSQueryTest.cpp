// Tests of the DNS client: the reply decoder on crafted replies (short, empty sections, pointer
// loops and forward pointers, bad label lengths, short record data, replies over the buffer's
// size), the type names, and queries to dnsmasq.
#include "smtp/clsDNSQuery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "SMTPTesting.h"
#include "platform/netdb/resolvTesting.h"

namespace {

// A reply built byte by byte.
struct Reply {
  std::vector<unsigned char> bytes;
  Reply(int questions, int answers) {
    bytes = {0x12, 0x34, 0x81, 0x80, 0, static_cast<unsigned char>(questions), 0,
             static_cast<unsigned char>(answers), 0, 0, 0, 0};
  }
  int Size() const { return static_cast<int>(bytes.size()); }
  Reply& U16(int value) {
    bytes.push_back(static_cast<unsigned char>(value >> 8));
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
    return *this;
  }
  Reply& Raw(std::vector<unsigned char> const& raw) {
    bytes.insert(bytes.end(), raw.begin(), raw.end());
    return *this;
  }
  // Labels of a dotted name, then the zero byte.
  Reply& Name(std::string const& dotted) {
    size_t start = 0;
    while (start < dotted.size()) {
      size_t dot = dotted.find('.', start);
      if (dot == std::string::npos) dot = dotted.size();
      bytes.push_back(static_cast<unsigned char>(dot - start));
      bytes.insert(bytes.end(), dotted.begin() + start, dotted.begin() + dot);
      start = dot + 1;
    }
    bytes.push_back(0);
    return *this;
  }
  Reply& Pointer(int target) { return U16(0xC000 | target); }
  Reply& Question(std::string const& name, int type) { return Name(name).U16(type).U16(1); }
  // Type, class IN, TTL and the data length; the data follows.
  Reply& RecordHead(int type, int dataLength) { return U16(type).U16(1).U16(0).U16(300).U16(dataLength); }
  Reply& MX(int preference, std::string const& exchange) {
    Reply data(0, 0);
    data.bytes.clear();
    data.U16(preference).Name(exchange);
    RecordHead(15, data.Size());
    return Raw(data.bytes);
  }
};

struct Outcome {
  bool decoded;
  std::string error;
  std::vector<std::string> results;
};

Outcome Decode(Reply const& reply, enumDNSQueryType type = kDNSQueryMX, int length = -1) {
  clsDNSQuery query;
  query.SetQueryType(type);
  Outcome outcome;
  outcome.decoded = query.DecodeDNS(reply.bytes.data(), length < 0 ? reply.Size() : length);
  outcome.error = query.ErrorString().c_str();
  for (int i = 0; i < query.ResultCount(); ++i) outcome.results.push_back(query.GetResult(i).c_str());
  return outcome;
}

std::string const kLoop = "DNS Response decode error: Name Compression Offset yields loop!";
std::string const kBadOffset = "DNS Response decode error: Name Compression Offset is Invalid!";

TEST(clsDNSQueryTest, DecodesCraftedReplies) {
  std::vector<std::pair<std::string, Reply>> const failing = [] {
    std::vector<std::pair<std::string, Reply>> rows;
    Reply shortReply(1, 1);
    shortReply.bytes.resize(11);
    rows.push_back({"DNS Response is too short!", shortReply});
    rows.push_back({"No such record. (No Question Section.)", Reply(0, 1)});
    rows.push_back({"No such record. (No Answer Section.)", Reply(1, 0).Question("example.com", 15)});
    // An answer whose owner points at itself (offset 29 after the 17-byte question).
    rows.push_back({kLoop, Reply(1, 1).Question("example.com", 15).Pointer(29).MX(10, "mx")});
    // Two pointers at each other: the first answer's address holds a pointer to the second
    // answer's owner, which points back at it.
    Reply mutual(1, 2);
    mutual.Question("example.com", 15).Pointer(12).RecordHead(1, 4);
    int addressAt = mutual.Size();
    int secondOwnerAt = addressAt + 4;
    mutual.Pointer(secondOwnerAt).Raw({0, 0}).Pointer(addressAt).MX(10, "mx");
    rows.push_back({kLoop, mutual});
    rows.push_back({kBadOffset, Reply(1, 1).Pointer(20).U16(15).U16(1)});
    // A pointer to the byte just past its own two is as bad as one further on.
    rows.push_back({kBadOffset, Reply(1, 1).Pointer(14).U16(15).U16(1)});
    rows.push_back({"DNS Response decode error: Label Length is Invalid!",
                    Reply(1, 1).Raw({64}).Raw(std::vector<unsigned char>(64, 'a')).Raw({0}).U16(15).U16(1)});
    rows.push_back({"DNS Response decode error: Address Answer is not 4 bytes long!",
                    Reply(1, 1).Question("example.com", 1).Pointer(12).RecordHead(1, 3).Raw({1, 2, 3})});
    rows.push_back({"DNS Response decode error: MX Answer is too short!",
                    Reply(1, 1).Question("example.com", 15).Pointer(12).RecordHead(15, 2).U16(10)});
    rows.push_back({"DNS Response decode error: Name extends past Response Buffer!",
                    Reply(1, 1).Raw({7, 'e', 'x'})});
    rows.push_back({"DNS Resposne decode error: Response Buffer is to short for Answer Type, Class, "
                    "TTL, and Length!",
                    Reply(1, 1).Question("example.com", 15).Pointer(12).U16(15)});
    rows.push_back({"DNS Response decode error: Response Buffer is to short for reported Answer length!",
                    Reply(1, 1).Question("example.com", 15).Pointer(12).RecordHead(15, 40).U16(10)});
    return rows;
  }();
  for (auto const& [error, reply] : failing) {
    Outcome outcome = Decode(reply);
    EXPECT_FALSE(outcome.decoded) << error;
    EXPECT_EQ(outcome.error, error);
  }
}

TEST(clsDNSQueryTest, KeepsAnswersOfTheAskedType) {
  // A label before a pointer as the owner is followed correctly by the next answer.
  Reply reply(1, 3);
  reply.Question("example.com", 15);
  reply.Raw({3, 'w', 'w', 'w'}).Pointer(12).RecordHead(5, 2).Pointer(12);
  reply.Pointer(12).MX(20, "mx20.example.com");
  reply.Pointer(12).RecordHead(15, 7).U16(10).Raw({2, 'm', 'x'}).Pointer(12);
  Outcome mx = Decode(reply);
  EXPECT_TRUE(mx.decoded) << mx.error;
  EXPECT_EQ(mx.results, (std::vector<std::string>{"mx20.example.com;20", "mx.example.com;10"}));

  // Only CNAME answers for an MX question: decoded, nothing kept, no error.
  Reply cname(1, 1);
  cname.Question("example.com", 15).Pointer(12).RecordHead(5, 6).Raw({3, 'w', 'w', 'w'}).Pointer(12);
  Outcome onlyCname = Decode(cname);
  EXPECT_TRUE(onlyCname.decoded);
  EXPECT_EQ(onlyCname.error, "");
  EXPECT_TRUE(onlyCname.results.empty());
  EXPECT_EQ(Decode(cname, kDNSQueryA).results.size(), 0u);

  Reply address(1, 1);
  address.Question("example.com", 1).Pointer(12).RecordHead(1, 4).Raw({192, 0, 2, 7});
  EXPECT_EQ(Decode(address, kDNSQueryA).results, std::vector<std::string>{"192.0.2.7"});

  // A reply said to be longer than the 1500-byte buffer is read as its first 1500 bytes.
  Reply padded = address;
  padded.bytes.resize(3000, 0);
  EXPECT_TRUE(Decode(padded, kDNSQueryA, 3000).decoded);
  Reply beyond(1, 1);
  beyond.Question("example.com", 16).Pointer(12).RecordHead(16, 1600).Raw(std::vector<unsigned char>(1600, 'x'));
  EXPECT_EQ(Decode(beyond, kDNSQueryA).error,
            "DNS Response decode error: Response Buffer is to short for reported Answer length!");
}

TEST(clsDNSQueryTest, TypeAndClassNames) {
  EXPECT_EQ(clsDNSQuery::DNSTypeToStr(33), AnsiString("SRV"));
  EXPECT_EQ(clsDNSQuery::DNSTypeToStr(18), AnsiString("AFSDBB"));
  EXPECT_EQ(clsDNSQuery::DNSTypeToStr(99), AnsiString("Unknown"));
  EXPECT_EQ(clsDNSQuery::DNSTypeToStr(15), AnsiString("MX"));
  EXPECT_EQ(clsDNSQuery::DNSClassToStr(1), AnsiString("IN"));
  EXPECT_EQ(clsDNSQuery::DNSClassToStr(3), AnsiString("Unknown"));
  EXPECT_EQ(clsDNSQuery().GetResult(0), AnsiString(""));
}

TEST(clsDNSQueryTest, AsksTheGivenNameServer) {
  clsTestNameServer dns({"--mx-host=example.test,mx20.example.test,20", "--mx-host=example.test,mx10.example.test,10",
                         "--address=/a.test/192.0.2.5"});
  ASSERT_GT(dns.Port(), 0);
  NetDBTestingSetNameServerPort(dns.Port());
  clsDNSQuery query;
  EXPECT_TRUE(query.Query(" example.test ", kDNSQueryMX, 2, "127.0.0.1")) << query.ErrorString().c_str();
  std::vector<std::string> results;
  for (int i = 0; i < query.ResultCount(); ++i) results.push_back(query.GetResult(i).c_str());
  std::sort(results.begin(), results.end());
  EXPECT_EQ(results, (std::vector<std::string>{"mx10.example.test;10", "mx20.example.test;20"}));
  EXPECT_TRUE(query.Query("a.test", kDNSQueryA, 2, "127.0.0.1")) << query.ErrorString().c_str();
  EXPECT_EQ(query.GetResult(0), AnsiString("192.0.2.5"));
  EXPECT_FALSE(query.Query("nothing.test", kDNSQueryMX, 2, "127.0.0.1"));
  EXPECT_NE(query.ErrorString(), AnsiString(""));
  EXPECT_EQ(query.ResultCount(), 0);
  struct {
    char const* domain;
    char const* server;
    char const* error;
  } const refused[] = {
      {"example.test", "abc", "User Defined DNS Server IP Address appears to be invalid."},
      {"  ", "127.0.0.1", "You must specify a Domain Name to Query"},
  };
  for (auto const& row : refused) {
    EXPECT_FALSE(query.Query(row.domain, kDNSQueryMX, 2, row.server));
    EXPECT_EQ(query.ErrorString(), AnsiString(row.error));
  }
  NetDBTestingSetNameServerPort(0);
}

}  // namespace
