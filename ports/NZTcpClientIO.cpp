#include "ports/NZTcpClientIO.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include "ports/PortTiming.h"
#include "ports/RAZIThread.h"

NZTcpClientIO::NZTcpClientIO() : closeWaitMs(GetPortTiming().tcpCloseWaitMs) {}

bool NZTcpClientIO::Open(const char*, const char*, unsigned short, unsigned int) {
    ClearFlags();
    return IsOpened();
}

bool NZTcpClientIO::OpenA(const char* local_ip, const char* dest_ip, unsigned short dest_port,
                          unsigned int timeout) {
    return Open(local_ip, dest_ip, dest_port, timeout);
}

bool NZTcpClientIO::OpenW(const wchar_t* local_ip, const wchar_t* dest_ip,
                          unsigned short dest_port, unsigned int timeout) {
    const NZNarrowAddress local(local_ip), dest(dest_ip);
    if (!local.ok() || !dest.ok()) {
        ClearFlags();
        return false;
    }
    return Open(local.get(), dest.get(), dest_port, timeout);
}

bool NZTcpClientIO::Open(const char* dest_ip) { return Open(nullptr, dest_ip, 9100, 5000); }
int NZTcpClientIO::socket_send(const unsigned char*, unsigned long) { return -1; }
int NZTcpClientIO::socket_recv(unsigned char*, unsigned long) { return -1; }
bool NZTcpClientIO::setsockopt_keepalive(bool) { return false; }
bool NZTcpClientIO::setsockopt_keepalivevals(bool, unsigned int, unsigned int, unsigned int) {
    return false;
}

int NZTcpClientIO::BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) {
    if (!setsockopt_sndtimeo(timeout_ms)) return -1;
    return socket_send(data, length);
}

int NZTcpClientIO::BaseReadDirectly(unsigned char* buffer, size_t length,
                                        unsigned int timeout_ms) {
    if (!setsockopt_rcvtimeo(timeout_ms)) return -1;
    return socket_recv(buffer, length);
}

// ---- NZTcpClientIO_ios -------------------------------------------------------------------

bool NZTcpClientIO_ios::connectWithin(int fd, const sockaddr_in& to, unsigned int timeout_ms) {
    // Unreachable printers must not hold an open for the system's minutes of SYN retries;
    // a timeout of 0 leaves the limit to the system.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    // After EINTR the attempt goes on in the background, as after EINPROGRESS.
    if (!connected && (errno == EINPROGRESS || errno == EINTR)) {
        const int64_t deadline = RAZITimeStamp::GetMonotonicMs() + timeout_ms;
        for (;;) {
            int wait_ms = -1;
            if (timeout_ms != 0) {
                const int64_t left = deadline - RAZITimeStamp::GetMonotonicMs();
                if (left <= 0) break;
                wait_ms = static_cast<int>(std::min<int64_t>(left, INT_MAX));
            }
            pollfd p{fd, POLLOUT, 0};
            const int r = ::poll(&p, 1, wait_ms);
            if (r < 0 && errno == EINTR) continue;
            if (r > 0) {
                int error = 0;
                socklen_t size = sizeof error;
                connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
            }
            break;
        }
    }
    return ::fcntl(fd, F_SETFL, flags) == 0 && connected;
}

bool NZTcpClientIO_ios::Open(const char* local_ip, const char* dest_ip, unsigned short dest_port,
                             unsigned int timeout) {
    ClearFlags();
    own_close_.store(false);
    uint32_t destination, local;
    if (!ParseAddress(dest_ip, &destination)) return false;
    const bool bind_wanted = local_ip != nullptr && *local_ip != '\0';
    if (bind_wanted && !ParseAddress(local_ip, &local)) return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return false;
    adoptDescriptor(fd);
    if (bind_wanted && !bind_addr(local_ip, 0)) {
        NZSocketIO_ios::BaseClose();
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(dest_port);
    to.sin_addr.s_addr = destination;
    if (!connectWithin(fd, to, timeout)) {
        NZSocketIO_ios::BaseClose();
        return false;
    }
    SetOpened(true);
    SetReadPacketSize(1024);
    if (!StartReadThread()) {
        NZSocketIO_ios::BaseClose();
        SetOpened(false);
        return false;
    }
    return true;
}

int NZTcpClientIO_ios::socket_send(const unsigned char* data, unsigned long length) {
    int error = EBADF;
    const ssize_t r = withDescriptor<ssize_t>(-1, [&](int fd) {
        ssize_t n;
        do {
            // A printer that reset the link must give -1, not SIGPIPE.
            n = ::send(fd, data, length, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        error = errno;
        return n;
    });
    if (r < 0) {
        std::printf("NZTcpClientIO_ios socket_send: send error: %d\n", error);
        std::fflush(stdout);
    }
    return static_cast<int>(r);
}

int NZTcpClientIO_ios::socket_recv(unsigned char* buffer, unsigned long length) {
    int error = EBADF;
    const ssize_t r = withDescriptor<ssize_t>(-1, [&](int fd) {
        const ssize_t n = ::recv(fd, buffer, length, 0);
        error = errno;
        return n;
    });
    if (r > 0) return static_cast<int>(r);
    if (r == 0) {
        // Our own close shuts the socket down to wake this reader: that is no news.
        if (!IsCancelRead() && !own_close_.load()) {
            std::printf("NZTcpClientIO_ios socket_recv: recv 0. connection closed.\r\n");
            std::fflush(stdout);
        }
        SetUnreadable(true);
        return 0;
    }
    // A timeout, or a signal that cut the wait short: the connection is fine.
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return 0;
    std::printf("NZTcpClientIO_ios socket_recv: recv failed with error: %d\n", error);
    std::fflush(stdout);
    SetInvalid(true);
    return -1;
}


void NZTcpClientIO_ios::BaseClose() {
    own_close_.store(true);
    if (gracefulClose && IsOpened()) {
        int error = 0;
        const int shut = withDescriptor(0, [&](int fd) {
            const int r = ::shutdown(fd, SHUT_WR);
            error = errno;
            return r;
        });
        if (shut != 0) {
            std::printf("NZTcpClientIO_ios BaseClose: shutdown failed with error: %d\n", error);
            std::fflush(stdout);
        } else if (OnReaderThread()) {
            // Closed from a received or status callback: the reader that would see the
            // printer's end is this very thread, so there is nothing to wait for.
        } else if (!WaitReadThreadFinished(closeWaitMs)) {
            std::printf("NZTcpClientIO_ios BaseClose: force closesocket\n");
            std::fflush(stdout);
            // The socket base wakes the reader, waits for it, and only then closes.
        }
    }
    NZSocketIO_ios::BaseClose();
}

bool NZTcpClientIO_ios::setsockopt_keepalive(bool on) {
    const int value = on ? 1 : 0;
    return withDescriptor(false, [&](int fd) {
        return ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &value, sizeof value) == 0;
    });
}

bool NZTcpClientIO_ios::setsockopt_keepidle(unsigned int) { return true; }

bool NZTcpClientIO_ios::setsockopt_keepintvl(unsigned int interval_ms) {
    const int value = static_cast<int>(interval_ms / 1000);
    return withDescriptor(false, [&](int fd) {
        return ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &value, sizeof value) == 0;
    });
}

bool NZTcpClientIO_ios::setsockopt_keepcnt(unsigned int count) {
    const int value = static_cast<int>(count);
    return withDescriptor(false, [&](int fd) {
        return ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &value, sizeof value) == 0;
    });
}

bool NZTcpClientIO_ios::setsockopt_keepalivevals(bool on, unsigned int idle_ms,
                                                 unsigned int interval_ms, unsigned int count) {
    return setsockopt_keepalive(on) && setsockopt_keepidle(idle_ms) &&
           setsockopt_keepintvl(interval_ms) && setsockopt_keepcnt(count);
}
