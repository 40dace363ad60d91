// netdb: gethostbyname_r and gethostbyaddr_r into a per-thread buffer that grows on ERANGE, or a
// chosen answer from the test table built into the same buffer. Never throws.
#include "platform/netdb/netdb.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/netdb/netdbTesting.h"

namespace {

struct stcAnswer {
  std::string m_strOfficial;
  std::vector<std::string> m_vecAliases;
  std::vector<std::string> m_vecAddresses;
  int m_intError = 0;
};

struct stcTable {
  std::mutex m_mtx;
  std::map<std::string, stcAnswer> m_mapNames;
  std::map<std::string, stcAnswer> m_mapAddrs;
};

stcTable& Table() {
  static auto* s_udtTable = new stcTable;
  return *s_udtTable;
}

struct stcThreadAnswer {
  hostent m_udtEntry{};
  std::vector<char> m_vecBuffer = std::vector<char>(2048);
  // Storage of a chosen answer.
  std::vector<std::string> m_vecTexts;
  std::vector<char*> m_vecAliasPtrs;
  std::vector<in_addr> m_vecAddrs;
  std::vector<char*> m_vecAddrPtrs;
};
thread_local stcThreadAnswer t_udtAnswer;

hostent* Chosen(stcAnswer const& answer) {
  if (answer.m_intError != 0) {
    h_errno = answer.m_intError;
    return nullptr;
  }
  stcThreadAnswer& out = t_udtAnswer;
  out.m_vecTexts.clear();
  out.m_vecTexts.push_back(answer.m_strOfficial);
  for (auto const& alias : answer.m_vecAliases) out.m_vecTexts.push_back(alias);
  out.m_vecAliasPtrs.clear();
  for (size_t i = 1; i < out.m_vecTexts.size(); ++i) out.m_vecAliasPtrs.push_back(&out.m_vecTexts[i][0]);
  out.m_vecAliasPtrs.push_back(nullptr);
  out.m_vecAddrs.clear();
  for (auto const& text : answer.m_vecAddresses) {
    in_addr address{};
    if (inet_aton(text.c_str(), &address) != 0) out.m_vecAddrs.push_back(address);
  }
  out.m_vecAddrPtrs.clear();
  for (auto& address : out.m_vecAddrs) out.m_vecAddrPtrs.push_back(reinterpret_cast<char*>(&address));
  out.m_vecAddrPtrs.push_back(nullptr);
  out.m_udtEntry.h_name = &out.m_vecTexts[0][0];
  out.m_udtEntry.h_aliases = out.m_vecAliasPtrs.data();
  out.m_udtEntry.h_addrtype = AF_INET;
  out.m_udtEntry.h_length = sizeof(in_addr);
  out.m_udtEntry.h_addr_list = out.m_vecAddrPtrs.data();
  return &out.m_udtEntry;
}

bool FindChosen(std::map<std::string, stcAnswer> stcTable::*map, std::string const& key, stcAnswer* answer) {
  std::lock_guard<std::mutex> guard(Table().m_mtx);
  auto& entries = Table().*map;
  auto found = entries.find(key);
  if (found == entries.end()) return false;
  *answer = found->second;
  return true;
}

}  // namespace

hostent* NetDBGetHostByName(char const* name) {
  if (name == nullptr) {
    h_errno = HOST_NOT_FOUND;
    return nullptr;
  }
  stcAnswer answer;
  if (FindChosen(&stcTable::m_mapNames, name, &answer)) return Chosen(answer);
  stcThreadAnswer& out = t_udtAnswer;
  for (;;) {
    hostent* result = nullptr;
    int error = 0;
    int rc = gethostbyname_r(name, &out.m_udtEntry, out.m_vecBuffer.data(), out.m_vecBuffer.size(),
                             &result, &error);
    if (rc == ERANGE && out.m_vecBuffer.size() < (1u << 20)) {
      out.m_vecBuffer.resize(out.m_vecBuffer.size() * 2);
      continue;
    }
    if (result == nullptr) h_errno = error != 0 ? error : HOST_NOT_FOUND;
    return result;
  }
}

hostent* NetDBGetHostByAddr(void const* address, socklen_t length, int type) {
  if (address == nullptr) {
    h_errno = HOST_NOT_FOUND;
    return nullptr;
  }
  if (type == AF_INET && length == sizeof(in_addr)) {
    char text[INET_ADDRSTRLEN];
    if (inet_ntop(AF_INET, address, text, sizeof text) != nullptr) {
      stcAnswer answer;
      if (FindChosen(&stcTable::m_mapAddrs, text, &answer)) return Chosen(answer);
    }
  }
  stcThreadAnswer& out = t_udtAnswer;
  for (;;) {
    hostent* result = nullptr;
    int error = 0;
    int rc = gethostbyaddr_r(address, length, type, &out.m_udtEntry, out.m_vecBuffer.data(),
                             out.m_vecBuffer.size(), &result, &error);
    if (rc == ERANGE && out.m_vecBuffer.size() < (1u << 20)) {
      out.m_vecBuffer.resize(out.m_vecBuffer.size() * 2);
      continue;
    }
    if (result == nullptr) h_errno = error != 0 ? error : HOST_NOT_FOUND;
    return result;
  }
}

void NetDBTestingAnswerName(std::string const& name, std::string const& official,
                            std::vector<std::string> const& aliases,
                            std::vector<std::string> const& addresses) {
  std::lock_guard<std::mutex> guard(Table().m_mtx);
  stcAnswer answer;
  answer.m_strOfficial = official;
  answer.m_vecAliases = aliases;
  answer.m_vecAddresses = addresses;
  Table().m_mapNames[name] = answer;
}

void NetDBTestingFailName(std::string const& name, int hostError) {
  std::lock_guard<std::mutex> guard(Table().m_mtx);
  stcAnswer answer;
  answer.m_intError = hostError;
  Table().m_mapNames[name] = answer;
}

void NetDBTestingAnswerAddr(std::string const& address, std::string const& official, int hostError) {
  std::lock_guard<std::mutex> guard(Table().m_mtx);
  stcAnswer answer;
  answer.m_strOfficial = official;
  answer.m_vecAddresses = {address};
  answer.m_intError = official.empty() ? (hostError != 0 ? hostError : HOST_NOT_FOUND) : 0;
  Table().m_mapAddrs[address] = answer;
}

void NetDBTestingClear() {
  std::lock_guard<std::mutex> guard(Table().m_mtx);
  Table().m_mapNames.clear();
  Table().m_mapAddrs.clear();
}
