// A UDP peer for tests: bound to 127.0.0.1 on an ephemeral port by default, it records every
// datagram with its sender and can answer each one through a responder.
//
//   qvtest::LoopbackUdpPeer peer;   // 127.0.0.1, ephemeral port
//   peer.SetResponder([](const qvtest::Datagram &d) { return std::vector<qvtest::Bytes>{reply}; });
//   ... point the code under test at 127.0.0.1:peer.Port() ...
//   ASSERT_TRUE(peer.WaitForDatagrams(1, 1000));
//
// Replies go to the datagram's sender. Inside a test-made network namespace a peer may bind
// 0.0.0.0 and a fixed port to hear broadcasts (Options). The peer only ever sends to the
// senders it heard from and to addresses a test names, which tests keep on loopback.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {

using Bytes = std::vector<uint8_t>;

struct Datagram {
    Bytes data;
    std::string senderAddress;  // dotted text
    uint16_t senderPort = 0;    // host byte order
};

class LoopbackUdpPeer {
public:
    struct Options {
        std::string address = "127.0.0.1";
        uint16_t port = 0;       // 0: ephemeral
        bool reuseAddress = false;
        bool broadcast = false;  // may send to 255.255.255.255 (namespace tests only)
        int receiveBuffer = 0;   // bytes; 0: the system default. Larger keeps fast senders lossless
    };
    // Called on the peer's thread for each datagram; the returned datagrams go to its sender.
    using Responder = std::function<std::vector<Bytes>(const Datagram &)>;

    LoopbackUdpPeer();
    explicit LoopbackUdpPeer(Options options);
    ~LoopbackUdpPeer();
    LoopbackUdpPeer(const LoopbackUdpPeer &) = delete;
    LoopbackUdpPeer &operator=(const LoopbackUdpPeer &) = delete;

    uint16_t Port() const { return port_; }
    const std::string &Address() const { return options_.address; }

    void SetResponder(Responder responder);
    // Sends one datagram from the peer's socket.
    bool SendTo(const std::string &address, uint16_t port, const Bytes &data);

    // A datagram counts as received before it is answered, so a call that returned on an
    // answer always finds its request here.
    std::vector<Datagram> Received() const;
    size_t Count() const;
    // Waits until count datagrams were received and answered.
    bool WaitForDatagrams(size_t count, int timeout_ms);

private:
    void Serve();

    Options options_;
    int fd_ = -1;
    int wake_fd_ = -1;
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Datagram> received_;
    size_t answered_ = 0;
    Responder responder_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace qvtest
