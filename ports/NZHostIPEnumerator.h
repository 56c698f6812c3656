// The host's IPv4 addresses, for discovery: every non-loopback interface address, in the
// system's order, as a device list (NUL-separated texts ending in an extra NUL).
#pragma once

#include <string>
#include <vector>

class NZHostIPEnumerator_ios {
public:
    // Writes the entries that fit into buffer (size bytes) and returns their number;
    // *required (may be null) receives the size the whole list needs.
    static unsigned int Enumerate(char *buffer, unsigned int size, unsigned int *required);
    // Splits a device list of `count` entries.
    static std::vector<std::string> SplitList(const char *list, unsigned int count);
};
