// Feeds arbitrary notifications to the group-packet client's frame handling: byte k of the
// input gives the length of the next notification (modulo 64). The retry list must stay
// ascending and free of duplicates, the free space never negative (the client lives across
// inputs, so adds pile up), and nothing may read outside a frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ble_clients/BLERWProtoV2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const auto client = BLERWProtoV2::Create();
    size_t i = 0;
    while (i < size) {
        const size_t wanted = data[i++] % 64;
        const size_t n = std::min(wanted, size - i);
        client->ReceiveValue(std::vector<uint8_t>(data + i, data + i + n));
        i += n;
    }
    const std::vector<int> retries = client->PacketRetryList();
    if (std::adjacent_find(retries.begin(), retries.end(), std::greater_equal<int>()) != retries.end()) {
        __builtin_trap();
    }
    if (client->nPrinterBufferValidSize() < 0) __builtin_trap();
    client->SkipAvailable();
    return 0;
}
