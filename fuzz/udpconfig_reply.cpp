// Configuration replies: the input's first byte picks the request kind, the rest is the reply.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ports/NZIOUDPConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    static const char *mac = "00-1A-2B-C4-FF-09";
    std::vector<uint8_t> request;
    switch (data[0] % 3) {
        case 0: NZIOUDPConfig_BuildIPRequest(mac, data[0] & 4, "10.0.0.2", "255.0.0.0", "10.0.0.1", request); break;
        case 1: NZIOUDPConfig_BuildNameRequest(mac, "printer", request); break;
        default: NZIOUDPConfig_BuildConfirmRequest(mac, request); break;
    }
    const std::vector<uint8_t> reply(data + 1, data + size);
    const NZUDPConfigReply r =
        NZIOUDPConfig_MatchReply(request.data(), request.size(), reply.data(), reply.size());
    if (r == NZUDPConfigReply::Match && reply.size() < 25) __builtin_trap();
    return 0;
}
