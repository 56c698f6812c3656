#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

// Byte ring. Lock-free for one producer (writes only tail) and one consumer (writes only
// head); one slot stays free, so a ring of size N holds at most N - 1 bytes. Storage that
// cannot be allocated leaves a ring that is always empty and always full.
class RAZIRxBuffer {
public:
    static constexpr size_t kDefaultSize = 16384;

    RAZIRxBuffer();
    explicit RAZIRxBuffer(size_t size);
    RAZIRxBuffer(const RAZIRxBuffer&) = delete;
    RAZIRxBuffer& operator=(const RAZIRxBuffer&) = delete;

    size_t Size() const { return size_; }
    bool IsEmpty() const;
    bool IsFull() const;
    size_t Available() const;

    // Non-blocking forms: false when full / empty.
    bool TryPushBack(unsigned char byte);
    bool TryPopFront(unsigned char* byte);
    // Puts as many of the bytes as there is room for, in order, and publishes them at once;
    // returns how many (the rest did not fit).
    size_t TryPushBulk(const unsigned char* data, size_t length);

    // Blocking forms: wait (sleeping, never spinning) while full / empty.
    void PushBack(unsigned char byte);
    unsigned char PopFront();

    // Empties the ring. Only when neither side runs concurrently (or both are under one lock).
    void Reset();

    // Drops every unread byte from the consumer's side: safe while the producer puts, since
    // only head moves (a byte being put at that moment is kept; no stale byte reappears).
    void SkipUnread();

private:
    size_t size_;
    std::unique_ptr<unsigned char[]> storage_;
    std::atomic<size_t> head_{0};
    std::atomic<size_t> tail_{0};
};
