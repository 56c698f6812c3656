#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "ports/RAZIBase.h"
#include "base/RAZIRxBuffer.h"

// A transport with one detached reader thread per open. The reader calls ReadDirectly
// (which fires the received hook) and keeps the bytes in the transport's own 16384-byte
// ring, which Read drains. When the reader finds the port invalid, a close thread closes it.
//
// Rules for subclasses: an open clears the flags, acquires its resource, sets opened (or
// answers IsOpened from the resource) and then calls StartReadThread, failing the open when
// that returns false. BaseClose sets cancelRead and calls StopReadThread before releasing
// the resource, so no reader outlives a close. A received hook must not close its own port.
class NZThreadIO : public virtual RAZI {
public:
    NZThreadIO();
    ~NZThreadIO() override;

    // From the ring, a byte at a time, until length bytes or the whole-second limit; -1 when
    // no reader runs or the port is closed, invalid, unreadable or read-cancelled.
    int BaseRead(unsigned char* buffer, size_t length, unsigned int timeout_ms) override;
    void SkipAvailable() override;
    virtual void SkipAvailable(size_t count);

    // Starts the reader and waits until it runs. False (and no reader) when no thread could
    // be created.
    bool StartReadThread();
    // Asks the reader to stop and waits until it has; at once when none runs. Called on the
    // reader thread itself it only asks.
    void StopReadThread();
    // Waits, without asking it to stop, until the reader has finished or the whole-second
    // limit has passed; true when no reader runs any more. On the reader thread itself
    // (a hook that closes) it cannot wait: false at once.
    bool WaitReadThreadFinished(uint32_t timeout_ms);
    // Whether the calling thread is this transport's reader.
    bool OnReaderThread() const;
    // Closes the port on a new thread and waits until that thread runs; closes on the
    // calling thread when no thread could be created.
    void StartCloseThread();
    void StopCloseThread();

    // 0 becomes 1, above 1024 becomes 1024.
    void SetReadPacketSize(size_t size);
    size_t GetReadPacketSize() const { return read_packet_size_.load(); }

    bool IsReaderRunning() const;
    RAZIRxBuffer& ReceiveRing() { return *ring_; }

protected:
    static void readThreadFunc(void* self);
    static void closeThreadFunc(void* self);

private:
    bool stopRequested();
    void waitUntil(const std::atomic<uint64_t>& counter, const std::atomic<uint64_t>& target);
    // Counts a thread's start or end and wakes whoever waits for it. The waiter may destroy
    // this object as soon as it sees the count, so a thread's final count is its last touch.
    void advance(std::atomic<uint64_t>& counter);

    std::unique_ptr<RAZIRxBuffer> ring_;
    std::atomic<uint64_t> read_start_{0};
    std::atomic<uint64_t> read_started_{0};
    std::atomic<uint64_t> read_finished_{0};
    std::atomic<bool> stop_read_{false};
    std::atomic<bool> block_when_full_{false};
    std::atomic<uint32_t> read_packet_size_{64};
    std::atomic<uint64_t> close_start_{0};
    std::atomic<uint64_t> close_started_{0};
    std::atomic<uint64_t> close_finished_{0};
    // Waits for the counters above sleep here until the threads move them.
    std::mutex threads_mutex_;
    std::condition_variable threads_changed_;
};
