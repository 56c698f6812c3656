#include "base/RAZIRxBuffer.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace {
// The blocking forms wait for the other side in 1 ms steps, never spinning.
void PollPause() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
}  // namespace

RAZIRxBuffer::RAZIRxBuffer() : RAZIRxBuffer(kDefaultSize) {}

RAZIRxBuffer::RAZIRxBuffer(size_t size)
    : size_(size), storage_(size > 0 ? new (std::nothrow) unsigned char[size] : nullptr) {
    if (storage_ == nullptr) size_ = 0;
}

bool RAZIRxBuffer::IsEmpty() const {
    if (size_ == 0) return true;
    return tail_.load(std::memory_order_acquire) == head_.load(std::memory_order_acquire);
}

bool RAZIRxBuffer::IsFull() const {
    if (size_ == 0) return true;
    size_t tail = tail_.load(std::memory_order_acquire);
    return (tail + 1) % size_ == head_.load(std::memory_order_acquire);
}

size_t RAZIRxBuffer::Available() const {
    if (size_ == 0) return 0;
    size_t tail = tail_.load(std::memory_order_acquire);
    size_t head = head_.load(std::memory_order_acquire);
    return (tail + size_ - head) % size_;
}

bool RAZIRxBuffer::TryPushBack(unsigned char byte) {
    if (size_ == 0) return false;
    size_t tail = tail_.load(std::memory_order_relaxed);
    size_t next = (tail + 1) % size_;
    if (next == head_.load(std::memory_order_acquire)) return false;
    storage_[tail] = byte;
    tail_.store(next, std::memory_order_release);
    return true;
}

size_t RAZIRxBuffer::TryPushBulk(const unsigned char* data, size_t length) {
    if (size_ == 0 || length == 0) return 0;
    const size_t tail = tail_.load(std::memory_order_relaxed);
    const size_t head = head_.load(std::memory_order_acquire);
    const size_t room = (head + size_ - tail - 1) % size_;
    const size_t count = length < room ? length : room;
    const size_t first = count < size_ - tail ? count : size_ - tail;
    std::memcpy(&storage_[tail], data, first);
    std::memcpy(&storage_[0], data + first, count - first);
    tail_.store((tail + count) % size_, std::memory_order_release);
    return count;
}

bool RAZIRxBuffer::TryPopFront(unsigned char* byte) {
    if (size_ == 0) return false;
    size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    unsigned char value = storage_[head];
    head_.store((head + 1) % size_, std::memory_order_release);
    if (byte != nullptr) *byte = value;
    return true;
}

void RAZIRxBuffer::PushBack(unsigned char byte) {
    while (!TryPushBack(byte)) {
        if (size_ == 0) return;
        PollPause();
    }
}

unsigned char RAZIRxBuffer::PopFront() {
    unsigned char byte = 0;
    while (!TryPopFront(&byte)) {
        if (size_ == 0) return 0;
        PollPause();
    }
    return byte;
}

void RAZIRxBuffer::Reset() {
    head_.store(0, std::memory_order_release);
    tail_.store(0, std::memory_order_release);
}

void RAZIRxBuffer::SkipUnread() {
    head_.store(tail_.load(std::memory_order_acquire), std::memory_order_release);
}
