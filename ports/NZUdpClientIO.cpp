#include "ports/NZUdpClientIO.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>


bool NZUdpClientIO::Open(const char*, unsigned short, const char*, unsigned short) {
    ClearFlags();
    return IsOpened();
}

bool NZUdpClientIO::OpenA(const char* local_ip, unsigned short local_port, const char* dest_ip,
                          unsigned short dest_port) {
    return Open(local_ip, local_port, dest_ip, dest_port);
}

bool NZUdpClientIO::OpenW(const wchar_t* local_ip, unsigned short local_port,
                          const wchar_t* dest_ip, unsigned short dest_port) {
    const NZNarrowAddress local(local_ip), dest(dest_ip);
    if (!local.ok() || !dest.ok()) {
        ClearFlags();
        return false;
    }
    return Open(local.get(), local_port, dest.get(), dest_port);
}

bool NZUdpClientIO::Open(const char* dest_ip) { return Open(nullptr, 0, dest_ip, 5100); }

bool NZUdpClientIO::OpenNonThread(const char*, unsigned short, const char*, unsigned short) {
    ClearFlags();
    return IsOpened();
}

bool NZUdpClientIO::OpenNonThreadA(const char* local_ip, unsigned short local_port,
                                   const char* dest_ip, unsigned short dest_port) {
    return OpenNonThread(local_ip, local_port, dest_ip, dest_port);
}

bool NZUdpClientIO::OpenNonThreadW(const wchar_t* local_ip, unsigned short local_port,
                                   const wchar_t* dest_ip, unsigned short dest_port) {
    const NZNarrowAddress local(local_ip), dest(dest_ip);
    if (!local.ok() || !dest.ok()) {
        ClearFlags();
        return false;
    }
    return OpenNonThread(local.get(), local_port, dest.get(), dest_port);
}

int NZUdpClientIO::socket_sendto(const unsigned char*, size_t, uint32_t, unsigned short) {
    return -1;
}

int NZUdpClientIO::socket_recvfrom(unsigned char*, size_t, uint32_t*, unsigned short*) {
    return -1;
}

bool NZUdpClientIO::setsockopt_broadcast(bool) { return false; }

int NZUdpClientIO::BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) {
    if (!setsockopt_sndtimeo(timeout_ms)) return -1;
    return socket_sendto(data, length, destinationAddress, destinationPort);
}

int NZUdpClientIO::BaseReadDirectly(unsigned char* buffer, size_t length,
                                        unsigned int timeout_ms) {
    if (!setsockopt_rcvtimeo(timeout_ms)) return -1;
    return socket_recvfrom(buffer, length, nullptr, nullptr);
}

// ---- NZUdpClientIO_ios -------------------------------------------------------------------

bool NZUdpClientIO_ios::openSocket(const char* local_ip, unsigned short local_port,
                                   const char* dest_ip, unsigned short dest_port) {
    ClearFlags();
    uint32_t destination, local;
    const bool bind_wanted = (local_ip != nullptr && *local_ip != '\0') || local_port != 0;
    if (!ParseAddress(dest_ip, &destination)) return false;
    if (local_ip != nullptr && *local_ip != '\0' && !ParseAddress(local_ip, &local)) return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return false;
    adoptDescriptor(fd);
    if (bind_wanted && !bind_addr(local_ip, local_port)) {
        Close();  // answers from the descriptor, so this closes it (and fires a closed hook)
        closeDescriptor();
        return false;
    }
    destinationAddress = destination;
    destinationPort = dest_port;
    return true;
}

bool NZUdpClientIO_ios::Open(const char* local_ip, unsigned short local_port, const char* dest_ip,
                             unsigned short dest_port) {
    if (!openSocket(local_ip, local_port, dest_ip, dest_port)) return false;
    setsockopt_reuseaddr(true);
    setsockopt_broadcast(true);
    SetOpened(true);
    SetReadPacketSize(1024);
    if (!StartReadThread()) {
        closeDescriptor();
        SetOpened(false);
        return false;
    }
    return true;
}

bool NZUdpClientIO_ios::OpenNonThread(const char* local_ip, unsigned short local_port,
                                      const char* dest_ip, unsigned short dest_port) {
    if (!openSocket(local_ip, local_port, dest_ip, dest_port)) return false;
    SetOpened(true);
    return true;
}

int NZUdpClientIO_ios::socket_sendto(const unsigned char* data, size_t length, uint32_t ip,
                                     unsigned short port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = ip;
    int error = EBADF;
    const ssize_t r = withDescriptor<ssize_t>(-1, [&](int fd) {
        ssize_t n;
        do {
            n = ::sendto(fd, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), sizeof to);
        } while (n < 0 && errno == EINTR);
        error = errno;
        return n;
    });
    if (r < 0) {
        std::printf("NZUdpClientIO_ios socket_sendto: sendto error: %d\n", error);
        std::fflush(stdout);
        return -1;
    }
    return static_cast<int>(r);
}

int NZUdpClientIO_ios::socket_recvfrom(unsigned char* buffer, size_t length, uint32_t* ip,
                                       unsigned short* port) {
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    int error = EBADF;
    const ssize_t r = withDescriptor<ssize_t>(-1, [&](int fd) {
        const ssize_t n = ::recvfrom(fd, buffer, length, 0, reinterpret_cast<sockaddr*>(&from), &from_length);
        error = errno;
        return n;
    });
    if (r >= 0) {
        if (ip != nullptr) *ip = from.sin_addr.s_addr;
        if (port != nullptr) *port = from.sin_port;
        return static_cast<int>(r);
    }
    // A timeout, or a signal that cut the wait short: nothing arrived, the socket is fine.
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return 0;
    std::printf("NZUdpClientIO_ios socket_recvfrom: recvfrom failed with error: %d\n", error);
    std::fflush(stdout);
    SetInvalid(true);
    return static_cast<int>(r);
}

bool NZUdpClientIO_ios::setsockopt_broadcast(bool on) {
    const int value = on ? 1 : 0;
    return withDescriptor(false, [&](int fd) {
        return ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) == 0;
    });
}

