// resolvTesting: for tests only. Every query goes to this port of its name servers instead of
// 53 (0 restores 53), so a test name server can run on 127.0.0.1 without privileges.
#pragma once

void NetDBTestingSetNameServerPort(int port);
