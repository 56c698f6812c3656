#include "support/LoopbackTcpPrinter.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qvtest {

LoopbackTcpPrinter::LoopbackTcpPrinter() : LoopbackTcpPrinter(Options{}) {}

LoopbackTcpPrinter::LoopbackTcpPrinter(Options options) : options_(options) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (listen_fd_ < 0 || wake_fd_ < 0) throw std::runtime_error("LoopbackTcpPrinter: socket");
    if (options_.receiveBuffer > 0) {
        // Set on the listener so accepted connections start with it (window sized at SYN).
        ::setsockopt(listen_fd_, SOL_SOCKET, SO_RCVBUF, &options_.receiveBuffer, sizeof(int));
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 16) != 0)
        throw std::runtime_error("LoopbackTcpPrinter: bind/listen");
    socklen_t len = sizeof addr;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr *>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackTcpPrinter::~LoopbackTcpPrinter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    Wake();
    if (thread_.joinable()) thread_.join();
    for (auto &c : connections_)
        if (c.fd >= 0) ::close(c.fd);
    ::close(listen_fd_);
    ::close(wake_fd_);
}

void LoopbackTcpPrinter::Wake() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

void LoopbackTcpPrinter::Push(CueKind kind, Bytes data) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cues_.push_back(Cue{kind, std::move(data), ++cues_given_});
    }
    Wake();
}

void LoopbackTcpPrinter::Send(Bytes data) { Push(CueKind::Send, std::move(data)); }
void LoopbackTcpPrinter::Close() { Push(CueKind::Close); }
void LoopbackTcpPrinter::Reset() { Push(CueKind::Reset); }
void LoopbackTcpPrinter::StopReading() { Push(CueKind::StopReading); }
void LoopbackTcpPrinter::ResumeReading() { Push(CueKind::ResumeReading); }

bool LoopbackTcpPrinter::Sync(int timeout_ms) {
    uint64_t target;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cues_.push_back(Cue{CueKind::Sync, {}, ++cues_given_});
        target = cues_given_;
    }
    Wake();
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return cues_applied_ >= target; });
}

void LoopbackTcpPrinter::AddReply(Bytes trigger, Bytes reply, bool once) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.push_back(Reply{std::move(trigger), std::move(reply), once, false, {}});
}

bool LoopbackTcpPrinter::WaitForConnections(size_t count, int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return connections_.size() >= count; });
}

size_t LoopbackTcpPrinter::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_.size();
}

Bytes LoopbackTcpPrinter::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_.empty() ? Bytes{} : connections_.back().received;
}

Bytes LoopbackTcpPrinter::Received(size_t connection) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection < connections_.size() ? connections_[connection].received : Bytes{};
}

bool LoopbackTcpPrinter::WaitForBytes(size_t count, int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
        return !connections_.empty() && connections_.back().received.size() >= count;
    });
}

bool LoopbackTcpPrinter::WaitForClientClose(int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
        return !connections_.empty() && connections_.back().clientClosed;
    });
}

bool LoopbackTcpPrinter::ClientClosed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !connections_.empty() && connections_.back().clientClosed;
}

Bytes LoopbackTcpPrinter::StatusFrame(const uint8_t data[5], uint8_t type) {
    Bytes f{0x53, data[0], data[1], data[2], data[3], data[4], type, 0};
    uint8_t x = 0;
    for (int i = 0; i < 7; ++i) x ^= f[i];
    f[7] = x;
    return f;
}

Bytes LoopbackTcpPrinter::FramedPacket(uint8_t type, uint16_t command, uint32_t parameter,
                                       const Bytes &body) {
    const auto n = static_cast<uint16_t>(body.size());
    Bytes p{0x03,
            type,
            static_cast<uint8_t>(command),
            static_cast<uint8_t>(command >> 8),
            static_cast<uint8_t>(parameter),
            static_cast<uint8_t>(parameter >> 8),
            static_cast<uint8_t>(parameter >> 16),
            static_cast<uint8_t>(parameter >> 24),
            static_cast<uint8_t>(n),
            static_cast<uint8_t>(n >> 8),
            0,
            0};
    for (int i = 0; i < 10; ++i) p[10] ^= p[i];
    for (uint8_t b : body) p[11] ^= b;
    p.insert(p.end(), body.begin(), body.end());
    return p;
}

// ---- service thread ---------------------------------------------------------------------
// Only this thread touches the descriptors; the others see connections_ under the mutex.

void LoopbackTcpPrinter::Serve() {
    for (;;) {
        std::vector<pollfd> fds{{wake_fd_, POLLIN, 0}, {listen_fd_, POLLIN, 0}};
        std::vector<size_t> index;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return;
            for (size_t i = 0; i < connections_.size(); ++i) {
                const auto &c = connections_[i];
                if (c.fd < 0) continue;
                fds.push_back({c.fd, static_cast<short>(c.reading ? POLLIN : 0), 0});
                index.push_back(i);
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
        if (fds[0].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] ssize_t n = ::read(wake_fd_, &v, sizeof v);
        }
        for (;;) {
            Cue cue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_) return;
                if (cues_.empty()) break;
                cue = std::move(cues_.front());
                cues_.pop_front();
            }
            ApplyCue(cue);
            std::lock_guard<std::mutex> lock(mutex_);
            cues_applied_ = cue.serial;
            changed_.notify_all();
        }
        if (fds[1].revents & POLLIN) Accept();
        for (size_t k = 0; k < index.size(); ++k)
            if (fds[k + 2].revents & (POLLIN | POLLHUP | POLLERR)) ReadFrom(index[k]);
    }
}

void LoopbackTcpPrinter::Accept() {
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Connection c;
    c.fd = fd;
    connections_.push_back(std::move(c));
    changed_.notify_all();
}

void LoopbackTcpPrinter::ApplyCue(const Cue &cue) {
    int fd;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (connections_.empty()) return;
        Connection &c = connections_.back();
        switch (cue.kind) {
            case CueKind::StopReading: c.reading = false; return;
            case CueKind::ResumeReading: c.reading = true; return;
            case CueKind::Close: CloseConnection(c); return;
            case CueKind::Reset:
                if (c.fd >= 0) {
                    linger l{1, 0};
                    ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
                }
                CloseConnection(c);
                return;
            case CueKind::Sync: return;
            case CueKind::Send: break;
        }
        fd = c.fd;
    }
    if (fd >= 0) SendAll(fd, cue.data);
}

void LoopbackTcpPrinter::CloseConnection(Connection &c) {
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
    c.ownClosed = true;
}

void LoopbackTcpPrinter::SendAll(int fd, const Bytes &data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

void LoopbackTcpPrinter::ReadFrom(size_t i) {
    int fd;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fd = connections_[i].fd;
        if (fd < 0 || !connections_[i].reading) return;
    }
    uint8_t buf[4096];
    ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Connection &c = connections_[i];
    if (n <= 0) {
        c.clientClosed = true;
        if (n < 0 || options_.onClientClose == OnClientClose::CloseAtOnce) {
            CloseConnection(c);
        } else {
            c.reading = false;  // keep it open, but stop polling an ended stream
        }
    } else {
        c.received.insert(c.received.end(), buf, buf + n);
    }
    changed_.notify_all();
    if (n > 0) RunReplies(i);
}

// Called with the mutex held.
void LoopbackTcpPrinter::RunReplies(size_t i) {
    Connection &c = connections_[i];
    for (auto &r : replies_) {
        if (r.trigger.empty() || (r.once && r.used)) continue;
        if (r.scanned.size() <= i) r.scanned.resize(i + 1, 0);
        for (;;) {
            auto from = c.received.begin() + static_cast<std::ptrdiff_t>(r.scanned[i]);
            auto hit = std::search(from, c.received.end(), r.trigger.begin(), r.trigger.end());
            if (hit == c.received.end()) {
                // Keep a tail that may still grow into a match.
                size_t keep = std::min(c.received.size(), r.trigger.size() - 1);
                r.scanned[i] = std::max(r.scanned[i], c.received.size() - keep);
                break;
            }
            r.scanned[i] = static_cast<size_t>(hit - c.received.begin()) + r.trigger.size();
            if (c.fd >= 0) SendAll(c.fd, r.reply);
            r.used = true;
            if (r.once) break;
        }
    }
}

}  // namespace qvtest
