#include "ports/NZSocketIO.h"

#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>


bool NZSocketIO::bind_addr(const char*, unsigned short) { return false; }
bool NZSocketIO::bind_addr_a(const char* ip, unsigned short port) { return bind_addr(ip, port); }

bool NZSocketIO::bind_addr_w(const wchar_t* ip, unsigned short port) {
    const NZNarrowAddress narrow(ip);
    return narrow.ok() && bind_addr(narrow.get(), port);
}

bool NZSocketIO::setsockopt_linger(bool, unsigned int) { return false; }
bool NZSocketIO::setsockopt_reuseaddr(bool) { return false; }
bool NZSocketIO::setsockopt_sndbuf(size_t) { return false; }
bool NZSocketIO::setsockopt_rcvbuf(size_t) { return false; }
bool NZSocketIO::setsockopt_rcvtimeo(unsigned int) { return false; }
bool NZSocketIO::setsockopt_sndtimeo(unsigned int) { return false; }

// ---- NZSocketIO_ios ----------------------------------------------------------------------

namespace {

bool setIntOption(int fd, int level, int option, int value) {
    return ::setsockopt(fd, level, option, &value, sizeof value) == 0;
}

bool setTimeOption(int fd, int option, unsigned int ms) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    return ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

}  // namespace

bool NZSocketIO_ios::ParseAddress(const char* text, uint32_t* address) {
    if (text == nullptr || *text == '\0') return false;
    // inet_aton would also take "1.2.3.4 anything".
    for (const char* p = text; *p; ++p)
        if (std::isspace(static_cast<unsigned char>(*p))) return false;
    in_addr a{};
    if (::inet_aton(text, &a) == 0) return false;
    *address = a.s_addr;
    return true;
}

bool NZSocketIO_ios::IsOpened() { return descriptor_.load() != -1; }

void NZSocketIO_ios::socket_shutdown() {
    withDescriptor(0, [](int fd) { return ::shutdown(fd, SHUT_RDWR); });
}

void NZSocketIO_ios::adoptDescriptor(int fd) {
    std::unique_lock<std::shared_mutex> lock(descriptor_mutex_);
    descriptor_.store(fd);
    closing_.store(false);
}

void NZSocketIO_ios::closeDescriptor() {
    closing_.store(true);
    std::unique_lock<std::shared_mutex> lock(descriptor_mutex_);
    const int fd = descriptor_.exchange(-1);
    if (fd >= 0) ::close(fd);
}

void NZSocketIO_ios::BaseClose() {
    SetCancelRead(true);
    // Wake the reader and any blocked writer: nobody may be inside a call on the descriptor
    // when it is closed, or the call could land on a socket opened later under its number.
    socket_shutdown();
    StopReadThread();
    closeDescriptor();
}

bool NZSocketIO_ios::bind_addr(const char* ip, unsigned short port) {
    // No address (with a port) binds every local address.
    uint32_t address = htonl(INADDR_ANY);
    if (ip != nullptr && *ip != '\0' && !ParseAddress(ip, &address)) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = address;
    return withDescriptor(false, [&](int fd) {
        return ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    });
}

bool NZSocketIO_ios::setsockopt_linger(bool on, unsigned int seconds) {
    linger l{};
    l.l_onoff = on ? 1 : 0;
    l.l_linger = static_cast<int>(seconds & 0xFFFF);
    return withDescriptor(false, [&](int fd) {
        return ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0;
    });
}

bool NZSocketIO_ios::setsockopt_reuseaddr(bool on) {
    return withDescriptor(false, [&](int fd) { return setIntOption(fd, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0); });
}

bool NZSocketIO_ios::setsockopt_sndbuf(size_t size) {
    return withDescriptor(false, [&](int fd) {
        return setIntOption(fd, SOL_SOCKET, SO_SNDBUF, static_cast<int>(size));
    });
}

bool NZSocketIO_ios::setsockopt_rcvbuf(size_t size) {
    return withDescriptor(false, [&](int fd) {
        return setIntOption(fd, SOL_SOCKET, SO_RCVBUF, static_cast<int>(size));
    });
}

bool NZSocketIO_ios::setsockopt_rcvtimeo(unsigned int ms) {
    return withDescriptor(false, [&](int fd) { return setTimeOption(fd, SO_RCVTIMEO, ms); });
}

bool NZSocketIO_ios::setsockopt_sndtimeo(unsigned int ms) {
    return withDescriptor(false, [&](int fd) { return setTimeOption(fd, SO_SNDTIMEO, ms); });
}
