#pragma once

#include <atomic>
#include <cwchar>
#include <netinet/in.h>

#include "ports/NZSocketIO.h"

// TCP client connection to a printer's raw print port. The neutral class opens nothing.
class NZTcpClientIO : public virtual NZSocketIO {
public:
    NZTcpClientIO();
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

    // Set the send (receive) timeout, then one send (receive); -1 when it cannot be set.
    int BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) override;
    int BaseReadDirectly(unsigned char* buffer, size_t length, unsigned int timeout_ms) override;
protected:
    bool gracefulClose = true;
    unsigned int closeWaitMs;  // 3000 unless the port timing says otherwise
};

class NZTcpClientIO_ios : public NZSocketIO_ios, public NZTcpClientIO {
public:
    using NZTcpClientIO::Open;
    // Connects to dest_ip (dotted IPv4 text, no name resolution) at dest_port, from local_ip
    // when one is given, within timeout ms (0: as long as the system tries), and starts the
    // reader. An address that does not parse fails before any socket exists.
    bool Open(const char* local_ip, const char* dest_ip, unsigned short dest_port,
              unsigned int timeout) override;
    // Half-closes and waits up to closeWaitMs (whole seconds) for the printer to close its
    // side; a printer that does not is cut off with the force-close line.
    void BaseClose() override;
    int socket_send(const unsigned char* data, unsigned long length) override;
    int socket_recv(unsigned char* buffer, unsigned long length) override;
    bool setsockopt_keepalive(bool on) override;
    bool setsockopt_keepalivevals(bool on, unsigned int idle_ms, unsigned int interval_ms,
                                  unsigned int count) override;
    bool setsockopt_keepidle(unsigned int idle_ms);
    bool setsockopt_keepintvl(unsigned int interval_ms);
    bool setsockopt_keepcnt(unsigned int count);

private:
    bool connectWithin(int fd, const sockaddr_in& to, unsigned int timeout_ms);

    // Set before our own close half-closes the link, so the printer's answering end of
    // input is not reported as a lost connection.
    std::atomic<bool> own_close_{false};
};
