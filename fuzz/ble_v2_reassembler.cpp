// Feeds arbitrary notification bytes to the group-packet frame reassembler and puts the data
// of each data frame into a receive ring, as the notification handlers do. Byte 0 picks the
// ring's size (bits 0-6) and whether frames are left without a reset (bit 7).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>

#include "ble/BLERWProtoV2Handler.h"
#include "ble/BufferPool.h"

namespace {

// The ring must give back what was kept, in order, and keep every byte that fit.
void Drain(BufferPool& ring, std::deque<unsigned char>& kept)
{
    while (!ring.isEmpty()) {
        if (kept.empty() || ring.getByte() != kept.front()) __builtin_trap();
        kept.pop_front();
    }
    if (!kept.empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const int ringSize = data[0] & 0x7F;
    const bool reset = (data[0] & 0x80) == 0;
    BLERWProtoV2Handler handler;
    BufferPool ring(ringSize);
    std::deque<unsigned char> kept;
    for (size_t i = 1; i < size; ++i) {
        if (handler.GetReceivedLen() > 255) __builtin_trap();
        if (!handler.HandleReceivedData(data[i])) continue;
        const unsigned length = handler.GetReceivedLen();
        const unsigned char* frame = handler.GetReceivedData();
        // A frame is the bytes just fed, and as long as its own length byte says.
        if (length < 2 || length > 255 || length > i) __builtin_trap();
        if (length != (frame[0] != 0 ? frame[0] : frame[1])) __builtin_trap();
        if (std::memcmp(frame, data + i + 1 - length, length) != 0) __builtin_trap();
        if (frame[0] != 0) {
            for (unsigned k = 3; k < length; ++k) {
                ring.putByte(frame[k]);
                if (static_cast<int>(kept.size()) < ringSize - 1) kept.push_back(frame[k]);
            }
        }
        if (reset) handler.ResetReceived();
        if (data[i] & 1) Drain(ring, kept);
    }
    Drain(ring, kept);
    return 0;
}
