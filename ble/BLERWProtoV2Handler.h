#pragma once

#include <atomic>
#include <memory>

// Gathers the printer's group-packet frames from notification bytes. A frame's length is its
// byte 0, or its byte 1 when byte 0 is 0, so a complete frame is 2 to 255 bytes long.
// Fed from one thread; ResetReceived may come from another (close).
class BLERWProtoV2Handler {
public:
    static constexpr unsigned kBufferSize = 400;

    BLERWProtoV2Handler();
    BLERWProtoV2Handler(const BLERWProtoV2Handler&) = delete;
    BLERWProtoV2Handler& operator=(const BLERWProtoV2Handler&) = delete;

    // True when this byte completes the frame. A byte fed once the gathered frame has reached
    // its length (complete but not reset, or a length below 2) starts the next frame.
    bool HandleReceivedData(unsigned char byte);
    // The frame gathered so far, from byte 0; valid until the next byte or reset.
    const unsigned char* GetReceivedData() const { return head_.get(); }
    unsigned GetReceivedLen() const { return nReceived_.load(std::memory_order_acquire); }
    void ResetReceived() { nReceived_.store(0, std::memory_order_release); }

private:
    // Length of the frame gathered so far; -1 until known (byte 1 of a control frame).
    int FrameLength(unsigned gathered) const;

    std::atomic<unsigned> nReceived_{0};
    std::unique_ptr<unsigned char[]> head_;
};
