#pragma once

#include <cstddef>
#include <mutex>

#include "ports/RAZIBase.h"

// A write-only sink of fixed capacity that the owner reads back and clears. A write that
// does not fit whole is refused (-1) and changes nothing. No reader: every read gives -1.
class NZMemoryIO : public virtual RAZI {
public:
    NZMemoryIO() = default;
    ~NZMemoryIO() override;

    // Opening again while open replaces the earlier buffer.
    virtual bool Open(size_t size);
    // The size as decimal text; null, 0 or negative does not open.
    bool Open(const char* text) override;
    void BaseClose() override;
    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override;

    // Valid until the sink is closed or opened again; null when closed.
    virtual const unsigned char* GetBufferData();
    virtual size_t GetBufferLength();
    // Forgets what was written; the buffer stays.
    virtual void ClearBufferData();

private:
    void freeBuffer();

    std::mutex buffer_mutex_;
    size_t capacity_ = 0;
    unsigned char* buffer_ = nullptr;
    size_t used_ = 0;
};
