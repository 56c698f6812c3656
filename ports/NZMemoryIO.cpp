#include "ports/NZMemoryIO.h"

#include <cstdlib>
#include <cstring>

NZMemoryIO::~NZMemoryIO() {
    std::lock_guard<std::mutex> lock(buffer_mutex_);
    freeBuffer();
}

void NZMemoryIO::freeBuffer() {
    std::free(buffer_);
    buffer_ = nullptr;
    capacity_ = 0;
    used_ = 0;
}

bool NZMemoryIO::Open(size_t size) {
    ClearFlags();
    if (size == 0) return false;
    auto* buffer = static_cast<unsigned char*>(std::malloc(size));
    if (buffer == nullptr) return false;
    {
        std::lock_guard<std::mutex> lock(buffer_mutex_);
        freeBuffer();
        buffer_ = buffer;
        capacity_ = size;
        used_ = 0;
    }
    SetSinkFlags();
    return IsOpened();
}

bool NZMemoryIO::Open(const char* text) {
    ClearFlags();
    if (text == nullptr) return false;
    int size = std::atoi(text);
    if (size > 0) Open(static_cast<size_t>(size));
    return IsOpened();
}

void NZMemoryIO::BaseClose() {
    std::lock_guard<std::mutex> lock(buffer_mutex_);
    freeBuffer();
}

int NZMemoryIO::BaseWrite(const unsigned char* data, size_t length, unsigned int) {
    std::lock_guard<std::mutex> lock(buffer_mutex_);
    if (buffer_ == nullptr || length > capacity_ - used_) return -1;
    std::memcpy(buffer_ + used_, data, length);
    used_ += length;
    return static_cast<int>(length);
}

const unsigned char* NZMemoryIO::GetBufferData() {
    std::lock_guard<std::mutex> lock(buffer_mutex_);
    return buffer_;
}

size_t NZMemoryIO::GetBufferLength() {
    std::lock_guard<std::mutex> lock(buffer_mutex_);
    return used_;
}

void NZMemoryIO::ClearBufferData() {
    std::lock_guard<std::mutex> lock(buffer_mutex_);
    used_ = 0;
}
