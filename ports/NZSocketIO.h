#pragma once

#include <cstddef>
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

// POSIX socket with one descriptor (-1 when closed).
class NZSocketIO_ios : public virtual NZSocketIO {
protected:
    int descriptor_ = -1;
};
