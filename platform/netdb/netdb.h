// netdb: the host look-up layer the protocol code calls in place of the BSD resolver functions:
// gethostbyname and gethostbyaddr over glibc's re-entrant calls, so that the answer lives in
// storage of the calling thread and h_errno (itself per thread) keeps the failure's code.
// Tests may answer chosen names and addresses themselves (netdbTesting.h), so no test needs a
// name server. Interface: the two calls, under these names:
//   hostent* gethostbyname(char const* name);
//   hostent* gethostbyaddr(void const* address, socklen_t length, int type);
// The answer stays valid until the same thread looks up again. Never throws.
#pragma once

#include <netdb.h>
#include <sys/socket.h>

hostent* NetDBGetHostByName(char const* name);
hostent* NetDBGetHostByAddr(void const* address, socklen_t length, int type);

#define gethostbyname(name) NetDBGetHostByName(name)
#define gethostbyaddr(address, length, type) NetDBGetHostByAddr(address, length, type)
