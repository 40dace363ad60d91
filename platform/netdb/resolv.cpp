// resolv: res_init and res_query on a resolver state of the calling thread.
#include "platform/netdb/resolv.h"

#include <arpa/inet.h>

#include <atomic>
#include <cstring>

#include "platform/netdb/resolvTesting.h"

namespace {

std::atomic<int> g_intNameServerPort{0};

// The thread's state, closed when the thread ends.
struct stcThreadResolver {
  struct __res_state m_udtState;
  bool m_bolOpen = false;
  stcThreadResolver() { std::memset(&m_udtState, 0, sizeof(m_udtState)); }
  ~stcThreadResolver() {
    if (m_bolOpen) res_nclose(&m_udtState);
  }
};

stcThreadResolver& ThreadResolver() {
  thread_local stcThreadResolver s_udtResolver;
  return s_udtResolver;
}

}  // namespace

struct __res_state* NetDBResState() { return &ThreadResolver().m_udtState; }

int NetDBResInit() {
  stcThreadResolver& resolver = ThreadResolver();
  if (resolver.m_bolOpen) res_nclose(&resolver.m_udtState);
  std::memset(&resolver.m_udtState, 0, sizeof(resolver.m_udtState));
  int result = res_ninit(&resolver.m_udtState);
  resolver.m_bolOpen = (result == 0);
  return result;
}

int NetDBResQuery(char const* name, int dnsClass, int type, unsigned char* answer, int length) {
  stcThreadResolver& resolver = ThreadResolver();
  if (!resolver.m_bolOpen && NetDBResInit() != 0) return -1;
  int port = g_intNameServerPort.load();
  if (port > 0) {
    for (int i = 0; i < resolver.m_udtState.nscount && i < MAXNS; ++i) {
      resolver.m_udtState.nsaddr_list[i].sin_port = htons(static_cast<uint16_t>(port));
    }
  }
  return res_nquery(&resolver.m_udtState, name, dnsClass, type, answer, length);
}

void NetDBTestingSetNameServerPort(int port) { g_intNameServerPort.store(port); }
