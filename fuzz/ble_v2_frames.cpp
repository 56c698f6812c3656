// Feeds arbitrary notification bytes to the group-packet session's frame handler, which acts
// on the printer's control frames (free space, setup answer, received count, resend requests)
// and puts data frames into the receive ring. Byte 0 picks how the bytes are cut into
// notifications (1 to 256 bytes each).
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>

#include "BleRetryRequests.h"
#include "ble/MBPeripheralProxyV2.h"

namespace {

// Room for dozens of frames of every kind; longer inputs only repeat them.
constexpr size_t kMaxInput = 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > kMaxInput) return 0;
    fuzzble::RetryRequests retries;
    retries.Feed(data + 1, size - 1);
    if (!retries.Affordable()) return 0;
    const size_t chunk = static_cast<size_t>(data[0]) + 1;
    GattLink link;
    ProtoV2Session session(link, [](const std::shared_ptr<CBPeripheral>&) { return true; });
    for (size_t i = 1; i < size; i += chunk) {
        session.handleNotification(data + i, std::min(chunk, size - i));
        while (!link.rxBuffer().isEmpty()) link.rxBuffer().getByte();
    }
    // Nothing was sent, so the free space is what the printer set or added, saturated.
    if (session.nPrinterBufferValidSize() < 0) __builtin_trap();
    if (session.nPrinterResponedPacketCountToReceive() > 0xFFFF || session.nPrinterResponedMTUSize() > 0xFF ||
        session.nPrinterResponedPacketCountReceived() > 0xFFFF) {
        __builtin_trap();
    }
    // Resend indexes stay ascending, without duplicates, within the reach of one request.
    int last = -1;
    for (int index : session.packetRetryList()) {
        if (index <= last || index > 0xFFFF + 0xFFFF - 1) __builtin_trap();
        last = index;
    }
    return 0;
}
