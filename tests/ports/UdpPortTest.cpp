// The UDP transport against a loopback peer: one datagram per write, the reader's 1024-byte
// packets, sender addresses, the non-threaded opens, and refused addresses.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>

#include "TcpUdpTestWait.h"
#include "ports/NZTcpClientIO.h"
#include "ports/NZUdpClientIO.h"
#include "support/LoopbackTcpPrinter.h"
#include "support/LoopbackUdpPeer.h"
#include "support/NetNamespace.h"
#include "support/ScopedPortTiming.h"

namespace {

using qvtest::Bytes;
using qvtest::Datagram;
using qvtest::LoopbackUdpPeer;
using namespace std::chrono_literals;

uint16_t LocalPort(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    return ntohs(a.sin_port);
}

class UdpPort : public ::testing::Test {
protected:
    qvtest::ScopedPortTiming timing_;
};

TEST_F(UdpPort, OneDatagramPerWriteAndReaderPacketsOf1024) {
    LoopbackUdpPeer peer;
    peer.SetResponder([](const Datagram &d) {
        if (d.data == Bytes{'b', 'i', 'g'}) return std::vector<Bytes>{Bytes(1500, 0x42)};
        return std::vector<Bytes>{Bytes{'r', 'e', ':'}};
    });
    NZUdpClientIO_ios udp;
    ASSERT_TRUE(udp.Open("127.0.0.1", 0, "127.0.0.1", peer.Port()));
    EXPECT_TRUE(udp.IsOpened());
    EXPECT_TRUE(udp.IsReaderRunning());
    const Bytes a{'o', 'n', 'e'}, b{'t', 'w', 'o', '!'};
    EXPECT_EQ(udp.Write(a.data(), a.size(), 500), 3);
    EXPECT_EQ(udp.Write(b.data(), b.size(), 500), 4);
    ASSERT_TRUE(peer.WaitForDatagrams(2, 2000));
    const auto got = peer.Received();
    EXPECT_EQ(got[0].data, a);
    EXPECT_EQ(got[1].data, b);
    EXPECT_EQ(got[0].senderPort, LocalPort(udp.descriptor()));

    Bytes reply(6);
    EXPECT_EQ(udp.Read(reply.data(), 6, 2000), 6);
    EXPECT_EQ(reply, (Bytes{'r', 'e', ':', 'r', 'e', ':'}));

    // A datagram longer than the reader's packet is cut to its first 1024 bytes.
    const Bytes big{'b', 'i', 'g'};
    ASSERT_EQ(udp.Write(big.data(), big.size(), 500), 3);
    Bytes in(1500);
    EXPECT_EQ(udp.Read(in.data(), in.size(), 300), 1024);

    // No datagram splitting: more than one datagram can carry fails.
    const Bytes huge(70000, 1);
    EXPECT_EQ(udp.Write(huge.data(), huge.size(), 500), -1);
    EXPECT_TRUE(udp.IsOpened());

    udp.Close();
    EXPECT_FALSE(udp.IsOpened());
    EXPECT_FALSE(udp.IsReaderRunning());
    EXPECT_EQ(udp.Write(a.data(), a.size(), 500), -1);
}

TEST_F(UdpPort, NonThreadedOpenReadsWithSenderAddress) {
    LoopbackUdpPeer peer;
    NZUdpClientIO_ios udp;
    ASSERT_TRUE(udp.OpenNonThread("127.0.0.1", 0, "127.0.0.1", peer.Port()));
    EXPECT_TRUE(udp.IsOpened());
    EXPECT_FALSE(udp.IsReaderRunning());
    // Neither address reuse nor broadcast is switched on.
    int value = -1;
    socklen_t size = sizeof value;
    ::getsockopt(udp.descriptor(), SOL_SOCKET, SO_BROADCAST, &value, &size);
    EXPECT_EQ(value, 0);

    const uint16_t local = LocalPort(udp.descriptor());
    ASSERT_TRUE(peer.SendTo("127.0.0.1", local, {9, 8, 7}));
    ASSERT_TRUE(udp.setsockopt_rcvtimeo(2000));
    uint8_t buf[16];
    uint32_t ip = 0;
    unsigned short port = 0;
    EXPECT_EQ(udp.socket_recvfrom(buf, sizeof buf, &ip, &port), 3);
    EXPECT_EQ(ip, htonl(INADDR_LOOPBACK));  // both as the socket address holds them
    EXPECT_EQ(port, htons(peer.Port()));

    ASSERT_TRUE(peer.SendTo("127.0.0.1", local, {}));
    EXPECT_EQ(udp.socket_recvfrom(buf, sizeof buf, nullptr, nullptr), 0);  // empty datagram
    ASSERT_TRUE(udp.setsockopt_rcvtimeo(20));
    EXPECT_EQ(udp.socket_recvfrom(buf, sizeof buf, nullptr, nullptr), 0);  // timeout
    EXPECT_FALSE(udp.IsInvalid());
    EXPECT_TRUE(udp.IsOpened());

    // socket_sendto takes the address in network order and the port in host order.
    EXPECT_EQ(udp.socket_sendto(buf, 2, htonl(INADDR_LOOPBACK), peer.Port()), 2);
    ASSERT_TRUE(peer.WaitForDatagrams(1, 2000));
    udp.Close();
    EXPECT_FALSE(udp.IsOpened());
}

TEST_F(UdpPort, InterruptedReceiveIsNoError) {
    NZUdpClientIO_ios udp;
    ASSERT_TRUE(udp.OpenNonThread("127.0.0.1", 0, "127.0.0.1", 9));
    ASSERT_TRUE(udp.setsockopt_rcvtimeo(5000));
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR2, &action, nullptr), 0);
    std::atomic<bool> done{false};
    std::atomic<int> result{-2};
    std::thread reader([&] {
        uint8_t b[8];
        result = udp.socket_recvfrom(b, sizeof b, nullptr, nullptr);
        done = true;
    });
    // Keep signalling until the wait is cut short.
    EXPECT_TRUE(WaitUntil([&] {
        if (!done) pthread_kill(reader.native_handle(), SIGUSR2);
        return done.load();
    }, 4000));
    reader.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(udp.IsInvalid());
    udp.Close();
}

TEST_F(UdpPort, AddressesThatDoNotParseAreRefusedBeforeAnySocket) {
    struct Case {
        const char *name, *local_ip, *dest_ip;
    };
    const Case cases[] = {
        {"octet out of range", nullptr, "192.168.1.256"},
        {"host name", nullptr, "printer.local"},
        {"empty destination", nullptr, ""},
        {"null destination", nullptr, nullptr},
        {"trailing text", nullptr, "127.0.0.1 extra"},
        {"local unparsable", "127.0.0.one", "127.0.0.1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        NZUdpClientIO_ios udp;
        EXPECT_FALSE(udp.Open(c.local_ip, 0, c.dest_ip, 5100));
        EXPECT_FALSE(udp.OpenNonThread(c.local_ip, 0, c.dest_ip, 5100));
        EXPECT_EQ(udp.descriptor(), -1);
        EXPECT_FALSE(udp.IsOpened());
    }
    // The literal broadcast address stays a valid destination.
    NZUdpClientIO_ios udp;
    ASSERT_TRUE(udp.OpenNonThread(nullptr, 0, "255.255.255.255", 5100));
    EXPECT_EQ(udp.destination_address(), 0xFFFFFFFFu);
    udp.Close();
}

TEST_F(UdpPort, WideAddresses) {
    LoopbackUdpPeer peer;
    qvtest::LoopbackTcpPrinter printer;
    const wchar_t bad[] = {L'1', 0x110000, 0};  // no encoding has it
    NZUdpClientIO_ios udp;
    NZTcpClientIO_ios tcp;
    // A local address that does not convert is refused, not taken for "no address".
    EXPECT_FALSE(udp.OpenW(bad, 0, L"127.0.0.1", peer.Port()));
    EXPECT_FALSE(udp.OpenNonThreadW(bad, 0, L"127.0.0.1", peer.Port()));
    EXPECT_FALSE(udp.OpenNonThreadW(nullptr, 0, bad, peer.Port()));
    EXPECT_EQ(udp.descriptor(), -1);
    EXPECT_FALSE(tcp.OpenW(bad, L"127.0.0.1", printer.Port(), 1000));
    EXPECT_EQ(tcp.descriptor(), -1);

    // A null local address stays null: no bind until one is asked for.
    ASSERT_TRUE(udp.OpenNonThreadW(nullptr, 0, L"127.0.0.1", peer.Port()));
    EXPECT_EQ(udp.destination_address(), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(LocalPort(udp.descriptor()), 0);
    EXPECT_FALSE(udp.bind_addr_w(bad, 0));
    EXPECT_TRUE(udp.bind_addr_w(nullptr, 0));  // every local address
    EXPECT_NE(LocalPort(udp.descriptor()), 0);
    udp.Close();
    ASSERT_TRUE(tcp.OpenW(nullptr, L"127.0.0.1", printer.Port(), 1000));
    tcp.Close();
    EXPECT_EQ(printer.ConnectionCount(), 1u);
}

TEST_F(UdpPort, BindFailureClosesAtOnce) {
    NZUdpClientIO_ios udp;
    static std::atomic<int> closed{0};
    udp.SetClosedEvent([](void *) { closed.fetch_add(1); }, nullptr);
    EXPECT_FALSE(udp.Open("192.0.2.1", 0, "127.0.0.1", 5100));  // not an address of ours
    EXPECT_EQ(udp.descriptor(), -1);
    EXPECT_EQ(closed.load(), 1);
    LoopbackUdpPeer peer;
    ASSERT_TRUE(udp.OpenNonThread("", 0, "127.0.0.1", peer.Port()));
    EXPECT_EQ(LocalPort(udp.descriptor()), 0);  // no bind without a local address or port
    udp.Close();
    // A port without an address binds every local address.
    NZUdpClientIO_ios probe;
    ASSERT_TRUE(probe.OpenNonThread("127.0.0.1", 0, "127.0.0.1", peer.Port()));
    const uint16_t port = LocalPort(probe.descriptor());
    probe.Close();
    ASSERT_TRUE(udp.OpenNonThread(nullptr, port, "127.0.0.1", peer.Port()));
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(udp.descriptor(), reinterpret_cast<sockaddr *>(&a), &len);
    EXPECT_EQ(a.sin_addr.s_addr, htonl(INADDR_ANY));
    EXPECT_EQ(ntohs(a.sin_port), port);
    udp.Close();
}

TEST_F(UdpPort, ReceiveErrorOtherThanTimeoutClosesThePort) {
    int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr *>(&a), sizeof a);
    const uint16_t nobody = LocalPort(probe);
    ::close(probe);

    NZUdpClientIO_ios udp;
    static std::atomic<int> closed{0};
    udp.SetClosedEvent([](void *) { closed.fetch_add(1); }, nullptr);
    ASSERT_TRUE(udp.Open("127.0.0.1", 0, "127.0.0.1", nobody));
    // Report the port-unreachable answer as a receive error, as a connected socket would.
    const int on = 1;
    ASSERT_EQ(::setsockopt(udp.descriptor(), IPPROTO_IP, IP_RECVERR, &on, sizeof on), 0);
    testing::internal::CaptureStdout();
    const uint8_t b = 1;
    EXPECT_EQ(udp.Write(&b, 1, 500), 1);
    EXPECT_TRUE(WaitUntil([] { return closed.load() == 1; }, 2000));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "NZUdpClientIO_ios socket_recvfrom: recvfrom failed with error: 111\n");
    EXPECT_FALSE(udp.IsOpened());
    udp.Close();
    EXPECT_EQ(closed.load(), 1);
}

TEST(NetworkDefaults, PortsOf5100And9100) {
    QV_RUN_IN_NET_NAMESPACE([] {
        qvtest::ScopedPortTiming timing;
        LoopbackUdpPeer::Options options;
        options.port = 5100;
        LoopbackUdpPeer peer(options);
        NZUdpClientIO_ios udp;
        ASSERT_TRUE(udp.Open("127.0.0.1"));
        EXPECT_EQ(udp.destination_port(), 5100);
        const uint8_t b = 'u';
        EXPECT_EQ(udp.Write(&b, 1, 500), 1);
        ASSERT_TRUE(peer.WaitForDatagrams(1, 2000));
        EXPECT_NE(peer.Received()[0].senderPort, 5100);  // from an ephemeral port
        udp.Close();

        // The one-string TCP open connects to 9100. Nobody accepts, so keep the close short.
        timing.Set([](PortTiming &t) { t.tcpCloseWaitMs = 10; });
        int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(9100);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
        ASSERT_EQ(::listen(listener, 1), 0);
        NZTcpClientIO_ios tcp;
        EXPECT_TRUE(tcp.Open("127.0.0.1"));
        tcp.Close();
        ::close(listener);
    });
}

}  // namespace
