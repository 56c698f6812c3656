#pragma once

#include <cwchar>

#include "ports/NZSocketIO.h"

// TCP client connection to a printer's raw print port. Not yet reachable: every open
// clears the flags and fails.
class NZTcpClientIO : public virtual NZSocketIO {
public:
    using RAZIBase::Open;
    using RAZI::OpenA;
    using RAZI::OpenW;
    virtual bool Open(const char* local_ip, const char* dest_ip, unsigned short dest_port,
                      unsigned int timeout);
    virtual bool OpenA(const char* local_ip, const char* dest_ip, unsigned short dest_port,
                       unsigned int timeout);
    virtual bool OpenW(const wchar_t* local_ip, const wchar_t* dest_ip, unsigned short dest_port,
                       unsigned int timeout);
    bool Open(const char* dest_ip) override;
    virtual int socket_send(const unsigned char* data, unsigned long length);
    virtual int socket_recv(unsigned char* buffer, unsigned long length);
    virtual bool setsockopt_keepalive(bool on);
    virtual bool setsockopt_keepalivevals(bool on, unsigned int idle_ms, unsigned int interval_ms,
                                          unsigned int count);

protected:
    bool gracefulClose = true;
    unsigned int closeWaitMs = 3000;
};

class NZTcpClientIO_ios : public NZSocketIO_ios, public NZTcpClientIO {};
