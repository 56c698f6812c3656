#include "ble/BLERWProtoV2Handler.h"

BLERWProtoV2Handler::BLERWProtoV2Handler() : head_(new unsigned char[kBufferSize]) {}

int BLERWProtoV2Handler::FrameLength(unsigned gathered) const {
    if (gathered == 0) return -1;
    if (head_[0] != 0) return head_[0];
    return gathered >= 2 ? head_[1] : -1;
}

bool BLERWProtoV2Handler::HandleReceivedData(unsigned char byte) {
    const unsigned before = nReceived_.load(std::memory_order_acquire);
    unsigned gathered = before;
    // A frame that has reached its length ends here: one that was not reset, or one whose
    // length byte is below 2 and so can never complete. Either would otherwise grow without end.
    const int held = FrameLength(gathered);
    if (held >= 0 && gathered >= static_cast<unsigned>(held)) gathered = 0;
    head_[gathered++] = byte;
    // A reset from the closing thread since the load wins; this byte goes with the old frame.
    unsigned expected = before;
    if (!nReceived_.compare_exchange_strong(expected, gathered, std::memory_order_acq_rel)) return false;
    const int length = FrameLength(gathered);
    return gathered >= 2 && static_cast<int>(gathered) == length;
}
