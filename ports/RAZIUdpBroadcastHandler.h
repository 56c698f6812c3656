// One discovery socket with its own receive thread, which hands every datagram to a callback.
#pragma once

#include <atomic>
#include <cstdint>

#include "ports/NZUdpClientIO.h"

class RAZIUdpBroadcastHandler {
public:
    // (data, length, sender address in network order, sender port in network order, context)
    using DatagramCallback = void (*)(const unsigned char* data, unsigned int length,
                                      unsigned int sender_ip, unsigned short sender_port,
                                      void* context);

    RAZIUdpBroadcastHandler() = default;
    // Stops the receive thread and waits for it before the socket goes.
    virtual ~RAZIUdpBroadcastHandler();
    RAZIUdpBroadcastHandler(const RAZIUdpBroadcastHandler&) = delete;
    RAZIUdpBroadcastHandler& operator=(const RAZIUdpBroadcastHandler&) = delete;

    // False when no thread could be started (the counters then say it has finished).
    bool StartReadThread();
    void WaitReadThreadStarted();
    // Asks the thread to stop and wakes it from its receive; it then ends at once.
    void StopReadThread();
    void WaitReadThreadFinished();

    NZUdpClientIO_ios socket;
    DatagramCallback callback = nullptr;
    void* context = nullptr;

private:
    static void readThreadFunc(void* self);
    void waitFor(const std::atomic<uint64_t>& counter);

    std::atomic<uint64_t> readStart_{0};
    std::atomic<uint64_t> readStarted_{0};
    std::atomic<uint64_t> readFinished_{0};
    std::atomic<bool> stopRead_{false};
};
