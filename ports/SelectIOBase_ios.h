#pragma once

#include <atomic>

#include "ports/NZThreadIO.h"

// Base of the descriptor transports (serial, parallel, USB): reads and writes one file
// descriptor, waiting for it with a timeout. No open of this platform fills the descriptor
// yet; a transport that gains device access adopts its descriptor and starts the reader.
class SelectIOBase_ios : public virtual NZThreadIO {
public:
    SelectIOBase_ios() = default;
    ~SelectIOBase_ios() override;

    // Waits up to ms for the descriptor to become writable / readable: positive when it is,
    // 0 on time-out, -1 on error or without a descriptor.
    int SelectWrite(unsigned int ms);
    int SelectRead(unsigned int ms);

    // Sets cancelRead, stops the reader, then closes the descriptor.
    void BaseClose() override;
    // One write of the whole buffer once writable; else the wait's result.
    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override;
    // One read once readable; a read below 1 byte or a failed wait marks the port invalid.
    int BaseReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms) override;

protected:
    // Takes an open descriptor; the caller sets opened and starts the reader.
    void adoptDescriptor(int fd) { fd_.store(fd); }
    int descriptor() const { return fd_.load(); }

private:
    int waitFor(short events, unsigned int ms);

    std::atomic<int> fd_{-1};
};
