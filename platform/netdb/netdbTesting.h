// netdbTesting: chosen answers of the host look-up layer, for tests only. A name or address with
// a chosen answer never reaches the system's resolver.
#pragma once

#include <string>
#include <vector>

// name resolves to the official name with these aliases and IPv4 addresses (dotted texts).
void NetDBTestingAnswerName(std::string const& name, std::string const& official,
                            std::vector<std::string> const& aliases,
                            std::vector<std::string> const& addresses);
// name fails with this h_errno code (HOST_NOT_FOUND, TRY_AGAIN, ...).
void NetDBTestingFailName(std::string const& name, int hostError);
// The reverse look-up of the dotted address answers the official name (the entry's address is
// the address itself), or fails with hostError when official is empty.
void NetDBTestingAnswerAddr(std::string const& address, std::string const& official, int hostError);
void NetDBTestingClear();
