#pragma once

#include "base/RAZIRxBuffer.h"

// Receive ring of a Bluetooth LE connection: the notification handler puts, the reader takes,
// one byte per call and without a lock. A ring of N slots holds N - 1 unread bytes; a put
// into a full ring drops the new byte so the bytes held keep their order.
class BufferPool {
public:
    static constexpr int kDefaultSize = 4096;

    BufferPool();
    // A size of 1 or less, or one that cannot be allocated, gives a ring that holds nothing.
    explicit BufferPool(int size);
    BufferPool(const BufferPool&) = delete;
    BufferPool& operator=(const BufferPool&) = delete;

    int size() const { return static_cast<int>(ring_.Size()); }

    // Putting side only.
    void putByte(unsigned char byte);
    // Taking side only. An empty ring gives 0 and stays empty.
    unsigned char getByte();
    bool isEmpty() const;
    // Drops every unread byte. Taking side: may run while a put is under way.
    void clear();

private:
    RAZIRxBuffer ring_;
};
