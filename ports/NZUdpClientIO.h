#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "ports/NZSocketIO.h"

// UDP client with a fixed destination. The neutral class opens nothing.
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

    // Set the send (receive) timeout, then one send (receive); -1 when it cannot be set.
    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override;
    int BaseReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms) override;
protected:
    uint32_t destinationAddress = 0;  // network byte order
    unsigned short destinationPort = 0;
};

class NZUdpClientIO_ios : public NZSocketIO_ios, public NZUdpClientIO {
public:
    using NZUdpClientIO::Open;
    // Opens the socket (bound when a local address or port is given), sets the destination,
    // switches address reuse and broadcast on and starts the reader. A destination or local
    // address that does not parse fails before any socket exists.
    bool Open(const char* local_ip, unsigned short local_port, const char* dest_ip,
              unsigned short dest_port) override;
    // The same socket without reader and without socket options: the owner reads it.
    bool OpenNonThread(const char* local_ip, unsigned short local_port, const char* dest_ip,
                       unsigned short dest_port) override;
    // One datagram to ip (network order) and port (host order); bytes sent or -1.
    int socket_sendto(const unsigned char* data, size_t length, uint32_t ip,
                      unsigned short port) override;
    // One datagram of up to length bytes; the sender's address and port are stored as the
    // socket address holds them (both in network byte order). 0 on a timeout or an
    // interrupted wait; a negative result marks the port invalid.
    int socket_recvfrom(unsigned char* buffer, size_t length, uint32_t* ip,
                        unsigned short* port) override;
    bool setsockopt_broadcast(bool on) override;

    uint32_t destination_address() const { return destinationAddress; }
    unsigned short destination_port() const { return destinationPort; }

private:
    bool openSocket(const char* local_ip, unsigned short local_port, const char* dest_ip,
                    unsigned short dest_port);
};
