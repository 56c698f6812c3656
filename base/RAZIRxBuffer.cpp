#include "base/RAZIRxBuffer.h"

#include <chrono>
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
