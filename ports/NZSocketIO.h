#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "ports/NZThreadIO.h"

// Socket operations of the network transports. The neutral class has no socket: every
// operation fails.
class NZSocketIO : public virtual NZThreadIO {
public:
    virtual bool bind_addr(const char* ip, unsigned short port);
    virtual bool bind_addr_a(const char* ip, unsigned short port);
    virtual bool bind_addr_w(const wchar_t* ip, unsigned short port);
    virtual bool setsockopt_linger(bool on, unsigned int seconds);
    virtual bool setsockopt_reuseaddr(bool on);
    virtual bool setsockopt_sndbuf(size_t size);
    virtual bool setsockopt_rcvbuf(size_t size);
    virtual bool setsockopt_rcvtimeo(unsigned int ms);
    virtual bool setsockopt_sndtimeo(unsigned int ms);
};

// POSIX socket with one descriptor (-1 when closed). IsOpened answers from the descriptor.
class NZSocketIO_ios : public virtual NZSocketIO {
public:
    bool IsOpened() override;
    // Sets cancelRead, wakes and stops the reader, then closes the descriptor once.
    void BaseClose() override;
    bool bind_addr(const char* ip, unsigned short port) override;
    bool setsockopt_linger(bool on, unsigned int seconds) override;
    bool setsockopt_reuseaddr(bool on) override;
    bool setsockopt_sndbuf(size_t size) override;
    bool setsockopt_rcvbuf(size_t size) override;
    bool setsockopt_rcvtimeo(unsigned int ms) override;
    bool setsockopt_sndtimeo(unsigned int ms) override;

    // Shuts the socket down both ways so that a thread blocked in a receive on it returns at
    // once. Owners that read the socket themselves call it, wait for their reader, then close.
    void socket_shutdown();
    int descriptor() const { return descriptor_.load(); }

    // IPv4 dotted text to a network-order address. False for a null, empty or unparsable
    // text, so an address typo never becomes 255.255.255.255.
    static bool ParseAddress(const char* text, uint32_t* address);

protected:
    // Closes the descriptor if it is still open and marks it closed.
    void closeDescriptor();

    std::atomic<int> descriptor_{-1};
};
