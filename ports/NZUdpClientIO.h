#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "ports/NZSocketIO.h"

// UDP client with a fixed destination. Not yet reachable: every open clears the flags and
// fails.
class NZUdpClientIO : public virtual NZSocketIO {
public:
    using RAZIBase::Open;
    using RAZI::OpenA;
    using RAZI::OpenW;
    virtual bool Open(const char* local_ip, unsigned short local_port, const char* dest_ip,
                      unsigned short dest_port);
    virtual bool OpenA(const char* local_ip, unsigned short local_port, const char* dest_ip,
                       unsigned short dest_port);
    virtual bool OpenW(const wchar_t* local_ip, unsigned short local_port, const wchar_t* dest_ip,
                       unsigned short dest_port);
    bool Open(const char* dest_ip) override;
    virtual bool OpenNonThread(const char* local_ip, unsigned short local_port,
                               const char* dest_ip, unsigned short dest_port);
    virtual bool OpenNonThreadA(const char* local_ip, unsigned short local_port,
                                const char* dest_ip, unsigned short dest_port);
    virtual bool OpenNonThreadW(const wchar_t* local_ip, unsigned short local_port,
                                const wchar_t* dest_ip, unsigned short dest_port);
    virtual int socket_sendto(const unsigned char* data, size_t length, uint32_t ip,
                              unsigned short port);
    virtual int socket_recvfrom(unsigned char* buffer, size_t length, uint32_t* ip,
                                unsigned short* port);
    virtual bool setsockopt_broadcast(bool on);

protected:
    uint32_t destinationAddress = 0;  // network byte order
    unsigned short destinationPort = 0;
};

class NZUdpClientIO_ios : public NZSocketIO_ios, public NZUdpClientIO {};
