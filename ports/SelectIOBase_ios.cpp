#include "ports/SelectIOBase_ios.h"

#include <cerrno>
#include <climits>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ports/RAZIThread.h"

SelectIOBase_ios::~SelectIOBase_ios() {
    StopReadThread();
    const int fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
}

// poll rather than select: a descriptor numbered FD_SETSIZE or above would overrun an
// fd_set.
int SelectIOBase_ios::waitFor(short events, unsigned int ms) {
    const int fd = fd_.load();
    if (fd < 0) return -1;
    const int64_t deadline = RAZITimeStamp::GetMonotonicMs() + ms;
    for (;;) {
        const int64_t left = deadline - RAZITimeStamp::GetMonotonicMs();
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left < 0 ? 0 : left > INT_MAX ? INT_MAX : left));
        if (r < 0 && errno == EINTR) continue;
        if (r > 0 && (p.revents & POLLNVAL) != 0) return -1;
        // A hang-up or error counts as ready: the read or write that follows reports it.
        return r;
    }
}

int SelectIOBase_ios::SelectWrite(unsigned int ms) { return waitFor(POLLOUT, ms); }
int SelectIOBase_ios::SelectRead(unsigned int ms) { return waitFor(POLLIN, ms); }

int SelectIOBase_ios::BaseWrite(const unsigned char* data, size_t length, unsigned int timeout_ms) {
    const int ready = SelectWrite(timeout_ms);
    if (ready <= 0) return ready;
    const int fd = fd_.load();
    ssize_t n;
    do {
        // A socket whose peer left must give -1, not SIGPIPE.
        n = ::send(fd, data, length, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) n = ::write(fd, data, length);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

int SelectIOBase_ios::BaseReadDirectly(unsigned char* buffer, size_t length,
                                       unsigned int timeout_ms) {
    const int ready = SelectRead(timeout_ms);
    if (ready == 0) return 0;
    if (ready < 0) {
        SetInvalid(true);
        return -1;
    }
    ssize_t n;
    do {
        n = ::read(fd_.load(), buffer, length);
    } while (n < 0 && errno == EINTR);
    if (n < 1) SetInvalid(true);
    return static_cast<int>(n);
}

void SelectIOBase_ios::BaseClose() {
    SetCancelRead(true);
    StopReadThread();
    const int fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
}
