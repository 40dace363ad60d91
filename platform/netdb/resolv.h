// resolv: the BSD resolver calls the DNS client uses, under their own names: res_init,
// res_query and the resolver state _res. Each thread has a state of its own (as glibc's _res
// is per thread), run with glibc's re-entrant res_ninit/res_nquery; res_init frees what the
// thread's previous state held. A query that names its own server writes it into
// _res.nsaddr_list[0] and sets _res.nscount to 1, as with the BSD resolver.
// Tests may send every query to another port of the name server (resolvTesting.h).
// Never throws; failures are res_query's -1 with h_errno set.
#pragma once

#include <netinet/in.h>
#include <resolv.h>

struct __res_state* NetDBResState();
int NetDBResInit();
int NetDBResQuery(char const* name, int dnsClass, int type, unsigned char* answer, int length);

#undef _res
#undef res_init
#undef res_query
#define _res (*NetDBResState())
#define res_init() NetDBResInit()
#define res_query(name, dnsClass, type, answer, length) NetDBResQuery(name, dnsClass, type, answer, length)
