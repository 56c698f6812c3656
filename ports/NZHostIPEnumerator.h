// The host's IPv4 addresses, for discovery: every non-loopback interface address, in the
// system's order, as a device list (NZEnumerator.h).
#pragma once

#include "ports/NZEnumerator.h"

class NZHostIPEnumerator : public NZEnumerator {};

class NZHostIPEnumerator_ios : public NZHostIPEnumerator {
public:
    unsigned int Enumerate(char *buffer, unsigned int size, unsigned int *required) override;
};
