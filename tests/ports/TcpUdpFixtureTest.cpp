// The shared loopback fixtures, checked with plain sockets so later suites can trust them.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/LoopbackTcpPrinter.h"
#include "support/LoopbackUdpPeer.h"
#include "support/NetNamespace.h"

namespace {

using qvtest::Bytes;

int ConnectTo(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    return fd;
}

Bytes RecvSome(int fd, size_t n) {
    Bytes out;
    uint8_t buf[256];
    while (out.size() < n) {
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0) break;
        out.insert(out.end(), buf, buf + r);
    }
    return out;
}

TEST(TcpFixture, RecordsRepliesAndMisbehavesOnCue) {
    qvtest::LoopbackTcpPrinter printer;
    printer.AddReply({0x10, 0x04, 0x01}, {0x16});
    int fd = ConnectTo(printer.Port());
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));
    // The trigger split over two sends still matches, and matches again when repeated.
    ASSERT_EQ(::send(fd, "A\x10", 2, 0), 2);
    ASSERT_TRUE(printer.WaitForBytes(2, 2000));
    ASSERT_EQ(::send(fd, "\x04\x01\x10\x04\x01", 5, 0), 5);
    EXPECT_EQ(RecvSome(fd, 2), (Bytes{0x16, 0x16}));
    ASSERT_TRUE(printer.WaitForBytes(7, 2000));
    EXPECT_EQ(printer.Received(), (Bytes{'A', 0x10, 0x04, 0x01, 0x10, 0x04, 0x01}));

    const uint8_t data[5] = {1, 2, 3, 4, 5};
    const Bytes frame = qvtest::LoopbackTcpPrinter::StatusFrame(data, 3);
    EXPECT_EQ(frame, (Bytes{0x53, 1, 2, 3, 4, 5, 3, 0x53 ^ 1 ^ 2 ^ 3 ^ 4 ^ 5 ^ 3}));
    printer.Send(frame);
    EXPECT_EQ(RecvSome(fd, 8), frame);
    printer.Close();
    uint8_t b;
    EXPECT_EQ(::recv(fd, &b, 1, 0), 0);
    ::close(fd);

    fd = ConnectTo(printer.Port());
    ASSERT_TRUE(printer.WaitForConnections(2, 2000));
    printer.Reset();
    ASSERT_TRUE(printer.Sync());
    EXPECT_EQ(::recv(fd, &b, 1, 0), -1);
    EXPECT_EQ(errno, ECONNRESET);
    ::close(fd);

    // A client's half-close is answered by closing at once.
    fd = ConnectTo(printer.Port());
    ASSERT_TRUE(printer.WaitForConnections(3, 2000));
    ::shutdown(fd, SHUT_WR);
    EXPECT_EQ(::recv(fd, &b, 1, 0), 0);
    EXPECT_TRUE(printer.ClientClosed());
    ::close(fd);

    const Bytes packet = qvtest::LoopbackTcpPrinter::FramedPacket(0xFF, 0x0102, 0x0A0B0C0D, {0x11, 0x22});
    EXPECT_EQ(packet, (Bytes{0x03, 0xFF, 0x02, 0x01, 0x0D, 0x0C, 0x0B, 0x0A, 0x02, 0x00,
                             0x03 ^ 0xFF ^ 0x02 ^ 0x01 ^ 0x0D ^ 0x0C ^ 0x0B ^ 0x0A ^ 0x02, 0x11 ^ 0x22, 0x11, 0x22}));
}

TEST(UdpFixture, AnswersEachSender) {
    qvtest::LoopbackUdpPeer peer;
    peer.SetResponder([](const qvtest::Datagram &d) {
        return std::vector<Bytes>{Bytes(d.data.rbegin(), d.data.rend())};
    });
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(peer.Port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ASSERT_EQ(::sendto(fd, "abc", 3, 0, reinterpret_cast<sockaddr *>(&a), sizeof a), 3);
    char buf[8] = {};
    EXPECT_EQ(::recv(fd, buf, sizeof buf, 0), 3);
    EXPECT_STREQ(buf, "cba");
    ASSERT_TRUE(peer.WaitForDatagrams(1, 1000));
    EXPECT_EQ(peer.Received()[0].senderAddress, "127.0.0.1");
    ::close(fd);
}

TEST(UdpFixture, NamespaceRoutesBroadcastToLoopback) {
    QV_RUN_IN_NET_NAMESPACE([] {
        qvtest::LoopbackUdpPeer::Options o;
        o.address = "0.0.0.0";
        o.broadcast = true;
        qvtest::LoopbackUdpPeer listener(o);
        qvtest::LoopbackUdpPeer sender(o);
        ASSERT_TRUE(sender.SendTo("255.255.255.255", listener.Port(), {1, 2, 3}));
        ASSERT_TRUE(listener.WaitForDatagrams(1, 2000));
        EXPECT_EQ(listener.Received()[0].data, (Bytes{1, 2, 3}));
    });
}

TEST(UdpFixture, NamespaceReportsAFailingBody) {
    const auto r = qvtest::RunInNetNamespace([] { throw std::runtime_error("boom"); });
    if (r.outcome == qvtest::NetNamespaceResult::Outcome::Skipped) GTEST_SKIP() << r.message;
    EXPECT_EQ(r.outcome, qvtest::NetNamespaceResult::Outcome::Failed);
    EXPECT_NE(r.message.find("boom"), std::string::npos);
}

}  // namespace
