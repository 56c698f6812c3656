// The TCP port against the loopback printer: open, data both ways, the printer closing,
// resetting and stalling, the graceful and the forced close, and failed opens.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TcpUdpTestWait.h"
#include "ports/IOHandle.h"
#include "ports/NZTcpClientIO.h"
#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/LoopbackTcpPrinter.h"
#include "support/ScopedPortTiming.h"

namespace {

using qvtest::Bytes;
using qvtest::EventKind;
using qvtest::LoopbackTcpPrinter;
using namespace std::chrono_literals;

NZTcpClientIO_ios &Tcp(void *handle) { return ptrs().Peek(handle)->tcpIO; }

int GetIntOption(int fd, int level, int option) {
    int value = -1;
    socklen_t size = sizeof value;
    EXPECT_EQ(::getsockopt(fd, level, option, &value, &size), 0);
    return value;
}

Bytes ReadBytes(void *handle, int count, unsigned timeout_ms) {
    Bytes b(static_cast<size_t>(count));
    const int n = CP_Port_Read(handle, b.data(), count, timeout_ms);
    b.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return b;
}

// A port number where nothing listens: bound once, then released.
uint16_t UnusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// A listener whose accept queue is full, so further connection attempts get no answer at all,
// like a printer that is switched off behind a router.
class UnansweredTcpPort {
public:
    UnansweredTcpPort() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(listener_, 0);
        socklen_t len = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(filler_, reinterpret_cast<sockaddr *>(&a), sizeof a);
    }
    ~UnansweredTcpPort() {
        ::close(filler_);
        ::close(listener_);
    }
    uint16_t Port() const { return port_; }

private:
    int listener_ = -1, filler_ = -1;
    uint16_t port_ = 0;
};

class TcpPort : public ::testing::Test {
protected:
    qvtest::ScopedPortTiming timing_;
    qvtest::CallbackRecorder events_;
};

TEST_F(TcpPort, OpensWritesAndReceives) {
    LoopbackTcpPrinter printer;
    printer.AddReply({0x10, 0x04, 0x01}, {0x16});  // real-time status
    void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CP_Port_IsOpened(h));
    EXPECT_TRUE(events_.WaitForHandle(EventKind::Opened, h, 1, 2s));
    EXPECT_EQ(events_.Of(EventKind::Opened, h)[0].name, "127.0.0.1");

    const Bytes text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(CP_Port_Write(h, text.data(), 5, 1000), 5);
    ASSERT_TRUE(printer.WaitForBytes(5, 2000));
    EXPECT_EQ(printer.Received(), text);

    const uint8_t query[3] = {0x10, 0x04, 0x01};
    EXPECT_EQ(CP_Port_Write(h, query, 3, 1000), 3);
    EXPECT_EQ(ReadBytes(h, 1, 2000), Bytes{0x16});

    // A chunk larger than one reader packet arrives whole and in order.
    Bytes big(3000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    printer.Send(big);
    EXPECT_EQ(ReadBytes(h, 3000, 2000), big);
    EXPECT_TRUE(events_.WaitForHandle(EventKind::Received, h, 1, 2s));

    // Keep-alive: on, probes every 2 s, 3 probes; the idle time stays the system's.
    const int fd = Tcp(h).descriptor();
    EXPECT_EQ(GetIntOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(GetIntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), 2);
    EXPECT_EQ(GetIntOption(fd, IPPROTO_TCP, TCP_KEEPCNT), 3);
    int system_idle = 0;
    std::ifstream("/proc/sys/net/ipv4/tcp_keepalive_time") >> system_idle;
    if (system_idle > 0) {
        EXPECT_EQ(GetIntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), system_idle);
    }

    EXPECT_TRUE(CP_Port_Close(h));
    EXPECT_TRUE(printer.WaitForClientClose(2000));
}

TEST_F(TcpPort, GracefulCloseEndsAsSoonAsThePrinterCloses) {
    LoopbackTcpPrinter printer;
    void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
    ASSERT_NE(h, nullptr);
    const uint8_t b = 'x';
    ASSERT_EQ(CP_Port_Write(h, &b, 1, 1000), 1);
    ASSERT_TRUE(printer.WaitForBytes(1, 2000));
    // The default close wait of 3 s would show.
    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(CP_Port_Close(h));
    EXPECT_LT(ElapsedMs(start), 2000);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("force closesocket"), std::string::npos) << out;
    // The end of input that our own close asked for is no news.
    EXPECT_EQ(out.find("recv 0"), std::string::npos) << out;
    EXPECT_TRUE(printer.ClientClosed());
    EXPECT_TRUE(events_.WaitForHandle(EventKind::Closed, h, 1, 2s));
}

namespace {

// A received callback that closes its own port, as the header advises against.
struct SelfClosingReceiver {
    std::atomic<void *> handle{nullptr};
    std::atomic<bool> closed{false};
    std::atomic<int64_t> close_ms{-1};

    static void OnReceived(void *handle, const unsigned char *, unsigned int, void *context) {
        auto *self = static_cast<SelfClosingReceiver *>(context);
        if (handle != self->handle.load()) return;
        const auto start = std::chrono::steady_clock::now();
        self->closed = CP_Port_Close(handle);
        self->close_ms = ElapsedMs(start);
    }
};

}  // namespace

TEST_F(TcpPort, ReceivedCallbackThatClosesItsOwnPortReturnsPromptly) {
    // The printer does not close its side before the client's reader sees the half-close,
    // and that reader is the thread that closes.
    LoopbackTcpPrinter printer;
    void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
    ASSERT_NE(h, nullptr);
    static SelfClosingReceiver receiver;  // the reader may outlive a failed assertion
    receiver.handle = h;
    ASSERT_TRUE(CP_Port_AddOnPortReceivedEvent(&SelfClosingReceiver::OnReceived, &receiver));
    printer.Send({1, 2, 3});
    ASSERT_TRUE(WaitUntil([&] { return receiver.close_ms.load() >= 0; }, 5000));
    EXPECT_TRUE(receiver.closed.load());
    EXPECT_TRUE(events_.WaitForHandle(EventKind::Closed, h, 1, 2s));
    EXPECT_LT(receiver.close_ms.load(), 500);
    EXPECT_TRUE(printer.WaitForClientClose(2000));
    EXPECT_TRUE(WaitUntil([&] { return !ptrs().IsRegistered(h); }, 2000));
    EXPECT_EQ(events_.Count(EventKind::Closed, h), 1u);
    EXPECT_TRUE(CP_Port_RemoveOnPortReceivedEvent(&SelfClosingReceiver::OnReceived));
}

TEST_F(TcpPort, OpenAndCloseWaitForTheirThreadsWithoutPolling) {
    // A poll pass of 2 s would show in both: the open waits for its reader and its event
    // thread to start, the close for the reader to end. The reader waits in its receive.
    timing_.Set([](PortTiming &t) {
        t.pollSleepMs = 2000;
        t.readerReadTimeoutMs = 60000;
    });
    LoopbackTcpPrinter printer;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const auto start = std::chrono::steady_clock::now();
        void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
        ASSERT_NE(h, nullptr);
        EXPECT_LT(ElapsedMs(start), 1000);
        ASSERT_TRUE(events_.WaitForHandle(EventKind::Opened, h, 1, 2s));
        const auto closing = std::chrono::steady_clock::now();
        EXPECT_TRUE(CP_Port_Close(h));
        EXPECT_LT(ElapsedMs(closing), 1000);
        EXPECT_TRUE(printer.ClientClosed());
        ASSERT_TRUE(events_.WaitForHandle(EventKind::Closed, h, 1, 2s));
        // The closed-event thread frees the handle, waiting for nothing that polls either.
        ASSERT_TRUE(WaitUntil([&] { return !ptrs().IsRegistered(h); }, 1000));
    }
}

TEST_F(TcpPort, ForcedCloseWhenThePrinterKeepsTheLinkOpen) {
    LoopbackTcpPrinter::Options options;
    options.onClientClose = LoopbackTcpPrinter::OnClientClose::KeepOpen;
    LoopbackTcpPrinter printer(options);
    // A 60 ms close wait counted in 20 ms "seconds": 60 to 80 ms.
    timing_.Set([](PortTiming &t) {
        t.helperSecondMs = 20;
        t.tcpCloseWaitMs = 60;
    });
    NZTcpClientIO_ios tcp;
    ASSERT_TRUE(tcp.Open(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000));
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));
    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    tcp.Close();
    const int64_t took = ElapsedMs(start);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_GE(took, 55);
    EXPECT_LT(took, 1500);
    EXPECT_EQ(out, "NZTcpClientIO_ios BaseClose: force closesocket\n");
    // The reader was woken and joined before the descriptor went, and it went once.
    EXPECT_FALSE(tcp.IsReaderRunning());
    EXPECT_EQ(tcp.descriptor(), -1);
    EXPECT_FALSE(tcp.IsOpened());
    EXPECT_TRUE(printer.WaitForClientClose(2000));
    tcp.Close();  // a second close does nothing
}

TEST_F(TcpPort, PrinterClosingLeavesThePortOpenAndWritesFailWithoutSignal) {
    LoopbackTcpPrinter printer;
    void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));
    testing::internal::CaptureStdout();
    printer.Close();
    ASSERT_TRUE(WaitUntil([&] { return Tcp(h).IsUnreadable(); }, 2000));
    EXPECT_TRUE(CP_Port_IsOpened(h));
    // The printer's side is gone: the first send may still pass and is answered with a reset,
    // which makes the next send fail. A send that raised SIGPIPE would end this process here.
    const Bytes data(100, 'a');
    if (CP_Port_Write(h, data.data(), 100, 500) >= 0) {
        pollfd reset{Tcp(h).descriptor(), 0, 0};  // hang-up and error are always reported
        ASSERT_EQ(::poll(&reset, 1, 5000), 1);
    }
    EXPECT_EQ(CP_Port_Write(h, data.data(), 100, 500), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("NZTcpClientIO_ios socket_recv: recv 0. connection closed.\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("NZTcpClientIO_ios socket_send: send error: "), std::string::npos) << out;
    EXPECT_TRUE(CP_Port_IsOpened(h));  // a send error sets no flag
    // The reader has finished, so the close does not wait its 3 s.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(CP_Port_Close(h));
    EXPECT_LT(ElapsedMs(start), 2000);
}

TEST_F(TcpPort, PrinterResetClosesThePort) {
    LoopbackTcpPrinter printer;
    void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));
    testing::internal::CaptureStdout();
    printer.Reset();
    EXPECT_TRUE(events_.WaitForHandle(EventKind::Closed, h, 1, 3s));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("NZTcpClientIO_ios socket_recv: recv failed with error: 104\n"), std::string::npos) << out;
    // The reset connection cannot be half-closed: the close goes straight to closing it.
    EXPECT_NE(out.find("NZTcpClientIO_ios BaseClose: shutdown failed with error: 107\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("recv 0"), std::string::npos) << out;
    EXPECT_EQ(out.find("force closesocket"), std::string::npos) << out;
    const uint8_t b = 1;
    EXPECT_EQ(CP_Port_Write(h, &b, 1, 100), -1);  // the handle is gone or its port closed
    CP_Port_Close(h);
}

TEST_F(TcpPort, StalledPrinterTimesTheWriteOut) {
    LoopbackTcpPrinter::Options options;
    options.receiveBuffer = 4096;
    LoopbackTcpPrinter printer(options);
    void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));
    printer.StopReading();
    ASSERT_TRUE(printer.Sync());
    const Bytes data(64 << 20, 0x55);
    const auto start = std::chrono::steady_clock::now();
    const int written = CP_Port_Write(h, data.data(), static_cast<unsigned>(data.size()), 200);
    const int64_t took = ElapsedMs(start);
    EXPECT_LT(written, static_cast<int>(data.size()));
    EXPECT_GE(took, 150);
    EXPECT_LT(took, 3000);
    EXPECT_TRUE(CP_Port_IsOpened(h));
    printer.ResumeReading();
    EXPECT_TRUE(CP_Port_Close(h));
}

TEST_F(TcpPort, CloseWakesAWriterStuckOnAStalledPrinter) {
    LoopbackTcpPrinter::Options options;
    options.receiveBuffer = 4096;
    LoopbackTcpPrinter printer(options);
    // The stalled printer never answers the half-close.
    timing_.Set([](PortTiming &t) { t.tcpCloseWaitMs = 50; });
    void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(printer.WaitForConnections(1, 2000));
    printer.StopReading();
    ASSERT_TRUE(printer.Sync());
    const Bytes data(64 << 20, 0x55);
    std::atomic<int> written{-2};
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([&] { written = CP_Port_Write(h, data.data(), static_cast<unsigned>(data.size()), 20000); });
    ASSERT_TRUE(WaitUntil([&] { return !printer.Received().empty() || ElapsedMs(start) > 300; }, 2000));
    testing::internal::CaptureStdout();
    CP_Port_Close(h);  // must not wait for the 20 s send timeout
    writer.join();
    testing::internal::GetCapturedStdout();
    EXPECT_LT(ElapsedMs(start), 3000);
    EXPECT_LT(written.load(), static_cast<int>(data.size()));
}

TEST_F(TcpPort, InterruptedReceivesKeepTheConnection) {
    // Receives with a timeout end with EINTR when a signal arrives, whatever SA_RESTART says.
    static std::atomic<int> delivered{0};
    struct sigaction action {};
    action.sa_handler = [](int) { delivered.fetch_add(1); };
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, nullptr), 0);
    sigset_t usr1, old;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    timing_.Set([](PortTiming &t) { t.readerReadTimeoutMs = 1000; });  // the reader sits in recv

    // Only the port's reader may take the signal: everything else starts with it blocked.
    pthread_sigmask(SIG_BLOCK, &usr1, &old);
    LoopbackTcpPrinter printer;
    pthread_sigmask(SIG_UNBLOCK, &usr1, nullptr);
    void *h = CP_Port_OpenTcp(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 2000, 0);
    pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(events_.WaitForHandle(EventKind::Opened, h, 1, 2s));  // its thread is done
    for (int i = 0; i < 10; ++i) {
        ::kill(::getpid(), SIGUSR1);
        ASSERT_TRUE(WaitUntil([&] { return delivered.load() > i; }, 2000));
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_TRUE(CP_Port_IsOpened(h));
    EXPECT_FALSE(Tcp(h).IsInvalid());
    printer.Send({'o', 'k'});
    EXPECT_EQ(ReadBytes(h, 2, 2000), (Bytes{'o', 'k'}));
    EXPECT_TRUE(CP_Port_Close(h));
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

TEST_F(TcpPort, FailedOpens) {
    struct Case {
        const char *name, *local_ip, *dest_ip;
        uint16_t port;
    };
    const uint16_t unused = UnusedPort();
    testing::internal::CaptureStdout();
    const Case cases[] = {
        {"nothing listens", nullptr, "127.0.0.1", unused},
        {"host name", nullptr, "localhost", unused},
        {"octet out of range", nullptr, "127.0.0.256", unused},
        {"trailing text", nullptr, "127.0.0.1 x", unused},
        {"empty", nullptr, "", unused},
        {"local address not ours", "192.0.2.1", "127.0.0.1", unused},
        {"local address unparsable", "127.0.0.x", "127.0.0.1", unused},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        void *h = CP_Port_OpenTcp(c.local_ip, c.dest_ip, c.port, 1000, 0);
        EXPECT_EQ(h, nullptr);
        EXPECT_TRUE(events_.WaitForName(EventKind::OpenFailed, c.dest_ip, 1, 2s));
    }
    EXPECT_EQ(CP_Port_OpenTcp(nullptr, nullptr, 9100, 1000, 0), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // failed opens print nothing
}

TEST_F(TcpPort, LocalAddressIsBound) {
    LoopbackTcpPrinter printer;
    NZTcpClientIO_ios tcp;
    ASSERT_TRUE(tcp.Open("127.0.0.1", LoopbackTcpPrinter::kAddress, printer.Port(), 1000));
    sockaddr_in local{};
    socklen_t len = sizeof local;
    ASSERT_EQ(::getsockname(tcp.descriptor(), reinterpret_cast<sockaddr *>(&local), &len), 0);
    EXPECT_EQ(local.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    tcp.Close();
    // A timeout of 0 leaves the connect's limit to the system; an empty local address binds
    // nothing.
    ASSERT_TRUE(tcp.Open("", LoopbackTcpPrinter::kAddress, printer.Port(), 0));
    tcp.Close();
    // A local address that cannot be bound fails before any connection attempt.
    ASSERT_FALSE(tcp.Open("192.0.2.1", LoopbackTcpPrinter::kAddress, printer.Port(), 1000));
    EXPECT_EQ(tcp.descriptor(), -1);
    EXPECT_EQ(printer.ConnectionCount(), 2u);
}

TEST_F(TcpPort, ConnectGivesUpAtTheOpenTimeout) {
    UnansweredTcpPort port;
    const auto start = std::chrono::steady_clock::now();
    void *h = CP_Port_OpenTcp(nullptr, "127.0.0.1", port.Port(), 300, 0);
    const int64_t took = ElapsedMs(start);
    EXPECT_EQ(h, nullptr);
    EXPECT_GE(took, 280);
    EXPECT_LT(took, 2500);
    EXPECT_TRUE(events_.WaitForName(EventKind::OpenFailed, "127.0.0.1", 1, 2s));
}

TEST_F(TcpPort, ReceiveTimeoutGivesNothingAndSetsNoFlag) {
    LoopbackTcpPrinter printer;
    NZTcpClientIO_ios tcp;
    ASSERT_TRUE(tcp.Open(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 1000));
    tcp.StopReadThread();  // read the socket here instead
    uint8_t b[8];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tcp.BaseReadDirectly(b, sizeof b, 30), 0);
    EXPECT_GE(ElapsedMs(start), 25);
    EXPECT_FALSE(tcp.IsInvalid());
    EXPECT_FALSE(tcp.IsUnreadable());
    printer.Send({'o', 'k'});
    EXPECT_EQ(tcp.BaseReadDirectly(b, sizeof b, 2000), 2);
    tcp.Close();
}

TEST(TcpKeepAlive, IntervalCountsWholeSeconds) {
    LoopbackTcpPrinter printer;
    NZTcpClientIO_ios tcp;
    EXPECT_FALSE(tcp.setsockopt_keepalivevals(true, 6000, 2000, 3));  // no socket yet
    ASSERT_TRUE(tcp.Open(nullptr, LoopbackTcpPrinter::kAddress, printer.Port(), 1000));
    const int fd = tcp.descriptor();
    // Linux refuses an interval of 0 s, so a sub-second interval fails the whole setting.
    EXPECT_FALSE(tcp.setsockopt_keepalivevals(true, 6000, 999, 3));
    EXPECT_TRUE(tcp.setsockopt_keepalivevals(true, 6000, 4999, 5));
    EXPECT_EQ(GetIntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), 4);
    EXPECT_EQ(GetIntOption(fd, IPPROTO_TCP, TCP_KEEPCNT), 5);
    EXPECT_TRUE(tcp.setsockopt_keepalivevals(false, 0, 1000, 1));
    EXPECT_EQ(GetIntOption(fd, SOL_SOCKET, SO_KEEPALIVE), 0);
    tcp.Close();
}

}  // namespace
