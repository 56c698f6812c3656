// Discovery replies come from anyone on the network: the parser must take any datagram.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ports/RAZIUdpDiscover.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    uint32_t sender = 0;
    if (size >= 4) std::memcpy(&sender, data, 4);
    RAZIDiscoveredPrinter p;
    if (RAZIUdpDiscover_ParseReply(data, size, sender, &p)) {
        if (std::strlen(p.mac) != 17 || std::strlen(p.ip) > 15 || std::strlen(p.name) > 128)
            __builtin_trap();
    }
    return 0;
}
