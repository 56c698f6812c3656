#include "support/LoopbackUdpPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qvtest {

LoopbackUdpPeer::LoopbackUdpPeer() : LoopbackUdpPeer(Options{}) {}

LoopbackUdpPeer::LoopbackUdpPeer(Options options) : options_(std::move(options)) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd_ < 0 || wake_fd_ < 0) throw std::runtime_error("LoopbackUdpPeer: socket");
    int one = 1;
    if (options_.reuseAddress) ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (options_.broadcast) ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    if (options_.receiveBuffer > 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &options_.receiveBuffer, sizeof options_.receiveBuffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.port);
    if (::inet_pton(AF_INET, options_.address.c_str(), &addr.sin_addr) != 1)
        throw std::runtime_error("LoopbackUdpPeer: bad address");
    if (::bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
        throw std::runtime_error("LoopbackUdpPeer: bind");
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackUdpPeer::~LoopbackUdpPeer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    ::close(fd_);
    ::close(wake_fd_);
}

void LoopbackUdpPeer::SetResponder(Responder responder) {
    std::lock_guard<std::mutex> lock(mutex_);
    responder_ = std::move(responder);
}

bool LoopbackUdpPeer::SendTo(const std::string &address, uint16_t port, const Bytes &data) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return false;
    ssize_t n = ::sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr *>(&to),
                         sizeof to);
    return n == static_cast<ssize_t>(data.size());
}

std::vector<Datagram> LoopbackUdpPeer::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

size_t LoopbackUdpPeer::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.size();
}

bool LoopbackUdpPeer::WaitForDatagrams(size_t count, int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return answered_ >= count; });
}

void LoopbackUdpPeer::Serve() {
    std::vector<uint8_t> buf(65536);
    for (;;) {
        pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {fd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return;
        }
        if (!(fds[1].revents & POLLIN)) continue;
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = ::recvfrom(fd_, buf.data(), buf.size(), MSG_DONTWAIT,
                               reinterpret_cast<sockaddr *>(&from), &len);
        if (n < 0) continue;
        Datagram d;
        d.data.assign(buf.begin(), buf.begin() + n);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        d.senderAddress = text;
        d.senderPort = ntohs(from.sin_port);
        Responder responder;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            responder = responder_;
            received_.push_back(d);
        }
        if (responder) {
            for (const Bytes &reply : responder(d))
                ::sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr *>(&from),
                         sizeof from);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ++answered_;
        changed_.notify_all();
    }
}

}  // namespace qvtest
