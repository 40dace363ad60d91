// SCDynamicStoreTesting: lets tests choose the machine's IPv4 addresses as the dynamic store
// reports them, and announce a change, for tests only.
#pragma once

#include <string>
#include <vector>

// From now on the store reports these addresses (one interface each) instead of getifaddrs().
void SCDynamicStoreTestingSetAddresses(std::vector<std::string> const& addresses);
// Back to the real interfaces.
void SCDynamicStoreTestingUseRealAddresses();
// Signals every store with notification keys, as a change of the addresses would.
void SCDynamicStoreTestingSignalChange();
// Stores that currently have notification keys set.
int SCDynamicStoreTestingNotifiedStoreCount();
