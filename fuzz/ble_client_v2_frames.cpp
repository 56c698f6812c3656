// Feeds arbitrary notifications to the group-packet client's frame handling: byte k of the
// input gives the length of the next notification (modulo 64). The retry list must stay
// ascending and free of duplicates, the free space never negative (the client lives across
// inputs, so adds pile up), and nothing may read outside a frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "BleRetryRequests.h"
#include "ble_clients/BLERWProtoV2.h"

namespace {

// Room for dozens of frames of every kind; longer inputs only repeat them.
constexpr size_t kMaxInput = 1024;

// The notifications: byte k gives the length of the next one (modulo 64).
template <typename Each>
void Notifications(const uint8_t* data, size_t size, Each&& each)
{
    size_t i = 0;
    while (i < size) {
        const size_t wanted = data[i++] % 64;
        const size_t n = std::min(wanted, size - i);
        each(data + i, n);
        i += n;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const auto client = BLERWProtoV2::Create();
    if (size > kMaxInput) return 0;
    // Counted afresh: a frame the last input left half gathered escapes the count, so one
    // input may still cost one long range.
    fuzzble::RetryRequests requests;
    Notifications(data, size, [&](const uint8_t* bytes, size_t n) { requests.Feed(bytes, n); });
    if (!requests.Affordable()) return 0;
    // Only the retry list starts empty: kept across inputs it grows to 131070 entries, and
    // every input then copies and merges all of them.
    client->ClearPacketRetryListForTesting();
    Notifications(data, size,
                  [&](const uint8_t* bytes, size_t n) { client->ReceiveValue(std::vector<uint8_t>(bytes, bytes + n)); });
    const std::vector<int> retries = client->PacketRetryList();
    if (std::adjacent_find(retries.begin(), retries.end(), std::greater_equal<int>()) != retries.end()) {
        __builtin_trap();
    }
    if (client->nPrinterBufferValidSize() < 0) __builtin_trap();
    client->SkipAvailable();
    return 0;
}
