// The packets that the printer's resend requests in a run of notification bytes ask for,
// counted over the frames the group-packet reassembler makes of them (as the session and
// the client gather them: reset after every frame, whatever the notification cuts).
//
// The frame targets cap this per input: one request can name 65535 packets, each of which
// becomes an entry of the retry list, so a few requests made one input take tens of
// milliseconds. Ranges that long go through the same merge as short ones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ble/BLERWProtoV2Handler.h"

namespace fuzzble {

constexpr uint64_t kMaxRetryPacketsPerInput = 4096;

class RetryRequests {
public:
    void Feed(const uint8_t* bytes, size_t count)
    {
        for (size_t k = 0; k < count; ++k) {
            if (!handler_.HandleReceivedData(bytes[k])) continue;
            Count(handler_.GetReceivedData(), handler_.GetReceivedLen());
            handler_.ResetReceived();
        }
    }
    uint64_t packets() const { return packets_; }
    bool Affordable() const { return packets_ <= kMaxRetryPacketsPerInput; }

private:
    // Control frame: 00, its length, type FF, then the first index and (12-byte form) the
    // count, both little-endian.
    void Count(const unsigned char* f, unsigned length)
    {
        if (length < 3 || f[0] != 0 || f[2] != 0xFF) return;
        if (f[1] == 10) packets_ += 1;
        if (f[1] == 12 && length >= 8) packets_ += static_cast<uint64_t>(f[6] | f[7] << 8);
    }

    BLERWProtoV2Handler handler_;
    uint64_t packets_ = 0;
};

}  // namespace fuzzble
