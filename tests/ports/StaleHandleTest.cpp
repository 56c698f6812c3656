// Ports that close themselves on a failure, reopened at once, round after round: the old
// handle must never reach the new port, even when the new handle object lands where the old
// one was.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "TcpUdpTestWait.h"
#include "ports/IOHandle.h"
#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/LoopbackTcpPrinter.h"
#include "support/LoopbackUdpPeer.h"
#include "support/ScopedPortTiming.h"

namespace {

using namespace std::chrono_literals;
using qvtest::Bytes;
using qvtest::EventKind;

constexpr int kRounds = 300;
constexpr unsigned char kMarker = 0x5A;

// What an application does with the handle it kept: every call is refused as for a handle
// that was never opened.
void ExpectRefused(void* stale) {
    const unsigned char byte = 0x33;
    unsigned char buffer[4];
    EXPECT_EQ(CP_Pos_PrintText(stale, "stale"), 0);
    EXPECT_EQ(CP_Port_Write(stale, &byte, 1, 100), -1);
    EXPECT_EQ(CP_Port_Read(stale, buffer, 1, 0), -1);
    EXPECT_FALSE(CP_Port_IsOpened(stale));
    EXPECT_FALSE(CP_Port_Close(stale));
}

// The port closed itself: its closed event came with its value, and the object behind it
// has gone (so an allocator may hand the same memory to the next open).
bool ClosedAndGone(const qvtest::CallbackRecorder& events, void* handle) {
    return events.WaitForHandle(EventKind::Closed, handle, 1, 3s) &&
           WaitUntil([&] { return !ptrs().IsRegistered(handle); }, 3000);
}

class StaleHandle : public ::testing::Test {
protected:
    qvtest::ScopedPortTiming timing_;
    qvtest::CallbackRecorder events_;
};

TEST_F(StaleHandle, TcpPrinterResetsAndThePortIsReopened) {
    qvtest::LoopbackTcpPrinter printer;
    auto open = [&] { return CP_Port_OpenTcp(nullptr, printer.kAddress, printer.Port(), 1000, 0); };
    void* old = open();
    ASSERT_NE(old, nullptr);
    testing::internal::CaptureStdout();  // each reset prints the receive failure
    for (int round = 0; round < kRounds && !HasFatalFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(printer.WaitForConnections(static_cast<size_t>(round) + 1, 2000));
        printer.Reset();
        ASSERT_TRUE(ClosedAndGone(events_, old));
        void* now = open();
        ASSERT_NE(now, nullptr);
        ASSERT_TRUE(printer.WaitForConnections(static_cast<size_t>(round) + 2, 2000));
        EXPECT_NE(now, old);
        ExpectRefused(old);
        EXPECT_TRUE(CP_Port_IsOpened(now));
        // The new connection carries the new handle's byte and nothing of the old one's.
        EXPECT_EQ(CP_Port_Write(now, &kMarker, 1, 1000), 1);
        ASSERT_TRUE(printer.WaitForBytes(1, 2000));
        EXPECT_EQ(printer.Received(), Bytes{kMarker});
        EXPECT_EQ(events_.Count(EventKind::Closed, old), 1u);
        events_.Clear();
        old = now;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(CP_Port_Close(old));
}

TEST_F(StaleHandle, UdpReceiveFailsAndAPortIsOpenedInItsPlace) {
    // Nothing listens here: with receive errors switched on, the first write's answer is a
    // port-unreachable that fails the reader's receive.
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t length = sizeof a;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &length);
    const uint16_t nobody = ntohs(a.sin_port);
    ::close(probe);
    qvtest::LoopbackUdpPeer peer;

    testing::internal::CaptureStdout();  // each failure prints the receive error
    for (int round = 0; round < kRounds && !HasFatalFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        void* old = CP_Proto_OpenUdp("127.0.0.1", 0, "127.0.0.1", nobody);
        ASSERT_NE(old, nullptr);
        const int on = 1;
        ASSERT_EQ(::setsockopt(ptrs().Peek(old)->udpIO.descriptor(), IPPROTO_IP, IP_RECVERR, &on,
                               sizeof on),
                  0);
        const unsigned char byte = 1;
        ASSERT_EQ(CP_Port_Write(old, &byte, 1, 500), 1);
        ASSERT_TRUE(ClosedAndGone(events_, old));

        void* now = CP_Proto_OpenUdp("127.0.0.1", 0, "127.0.0.1", peer.Port());
        ASSERT_NE(now, nullptr);
        EXPECT_NE(now, old);
        ExpectRefused(old);
        EXPECT_TRUE(CP_Port_IsOpened(now));
        EXPECT_EQ(CP_Port_Write(now, &kMarker, 1, 500), 1);
        ASSERT_TRUE(peer.WaitForDatagrams(static_cast<size_t>(round) + 1, 2000));
        EXPECT_TRUE(CP_Port_Close(now));
        EXPECT_EQ(events_.Count(EventKind::Closed, old), 1u);
        events_.Clear();
    }
    testing::internal::GetCapturedStdout();
    // One datagram per round, each the new port's marker: nothing came from an old handle.
    const auto received = peer.Received();
    EXPECT_EQ(received.size(), static_cast<size_t>(kRounds));
    for (const auto& d : received) EXPECT_EQ(d.data, Bytes{kMarker});
}

}  // namespace
