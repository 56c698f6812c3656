#include "ble/BufferPool.h"

#include <cstddef>

BufferPool::BufferPool() : BufferPool(kDefaultSize) {}

BufferPool::BufferPool(int size) : ring_(size > 0 ? static_cast<size_t>(size) : 0) {}

void BufferPool::putByte(unsigned char byte) { ring_.TryPushBack(byte); }

unsigned char BufferPool::getByte() {
    unsigned char byte = 0;
    ring_.TryPopFront(&byte);
    return byte;
}

bool BufferPool::isEmpty() const { return ring_.IsEmpty(); }

void BufferPool::clear() { ring_.SkipUnread(); }
