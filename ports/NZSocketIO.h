#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <shared_mutex>
#include <cwchar>

#include "base/NZStringUtils.h"
#include "ports/NZThreadIO.h"

// A wide address text converted for the narrow calls. A null text stays null; a text that
// does not convert is not ok, so it is never taken for "no address".
class NZNarrowAddress {
public:
    explicit NZNarrowAddress(const wchar_t* text)
        : text_(NZStringUtils::nzutils_wcstombs_local(text)), ok_(text == nullptr || text_ != nullptr) {}
    ~NZNarrowAddress() { std::free(text_); }
    NZNarrowAddress(const NZNarrowAddress&) = delete;
    NZNarrowAddress& operator=(const NZNarrowAddress&) = delete;
    const char* get() const { return text_; }
    bool ok() const { return ok_; }

private:
    char* text_;
    bool ok_;
};

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
    // Takes a new socket's descriptor.
    void adoptDescriptor(int fd);
    // Closes the descriptor if it is still open and marks it closed, once every use of it
    // that is under way has left (wake blocked ones with socket_shutdown first).
    void closeDescriptor();

    // Runs use(fd) while the descriptor cannot be closed or reused under it; gives `closed`
    // when the socket is closed or closing.
    template <class Result, class Use>
    Result withDescriptor(Result closed, Use&& use) {
        if (closing_.load()) return closed;
        std::shared_lock<std::shared_mutex> lock(descriptor_mutex_);
        const int fd = descriptor_.load();
        if (fd < 0 || closing_.load()) return closed;
        return use(fd);
    }

    std::atomic<int> descriptor_{-1};

private:
    std::shared_mutex descriptor_mutex_;
    std::atomic<bool> closing_{false};  // new uses stay away, so the close is not starved
};
