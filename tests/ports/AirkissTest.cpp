// AirKiss runs against a loopback "printer" that decodes the datagram lengths as a real one
// would and echoes the random byte; cancel, timeout and the run's own looped-back datagrams.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "AirkissTestDecoder.h"
#include "TcpUdpTestWait.h"
#include "ports/NZNetSettings.h"
#include "ports/RAZIAirKiss.h"
#include "quorvantelmise.h"
#include "support/LoopbackUdpPeer.h"
#include "support/NetNamespace.h"
#include "support/ScopedPortTiming.h"

namespace {

using qvtest::Bytes;
using qvtest::Datagram;
using qvtest::LoopbackUdpPeer;

// Listens to the lengths, decodes them and, once it has the credentials, echoes.
struct FakeAirkissPrinter {
    struct State {
        std::mutex mutex;
        std::vector<uint64_t> lengths;
        std::optional<AirkissDecoded> decoded;
    };
    static LoopbackUdpPeer::Options Roomy() {
        LoopbackUdpPeer::Options o;
        o.receiveBuffer = 4 << 20;
        return o;
    }
    std::shared_ptr<State> state = std::make_shared<State>();
    LoopbackUdpPeer peer{Roomy()};

    explicit FakeAirkissPrinter(size_t echo_bytes = 20) {
        peer.SetResponder([s = state, echo_bytes](const Datagram &d) {
            std::lock_guard<std::mutex> lock(s->mutex);
            if (s->decoded) return std::vector<Bytes>{};
            s->lengths.push_back(d.data.size());
            s->decoded = DecodeAirkiss(s->lengths);
            if (!s->decoded) return std::vector<Bytes>{};
            return std::vector<Bytes>{Bytes(echo_bytes, s->decoded->random)};
        });
    }
    std::optional<AirkissDecoded> Decoded() {
        std::lock_guard<std::mutex> lock(state->mutex);
        return state->decoded;
    }
};

class Airkiss : public ::testing::Test {
protected:
    void SetUp() override {
        timing_.Set([](PortTiming &t) {
            t.helperSecondMs = 20;
            t.airkissDatagramGapMs = 0;
            t.airkissReceiveTimeoutMs = 50;
        });
        settings_ = NZNetSettings::Get();
        settings_.destinations.airkissLocalAddress = "127.0.0.1";
        settings_.destinations.airkissLocalPort = 0;
        settings_.destinations.airkissAddress = "127.0.0.1";
    }
    void TearDown() override { m_raziAirKiss().SetRandomSourceForTesting(nullptr); }
    void AimAt(uint16_t port) { settings_.destinations.airkissPort = port; }

    qvtest::ScopedPortTiming timing_;
    NZNetSettings settings_;
};

TEST_F(Airkiss, PrinterThatDecodesTheLengthsAnswers) {
    FakeAirkissPrinter printer;
    AimAt(printer.peer.Port());
    NZNetSettingsOverride applied(settings_);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CP_Airkiss_ConfigWireless("HomeNet", "s3cret-pass", 5000), 1);
    EXPECT_LT(ElapsedMs(start), 4000);
    const auto decoded = printer.Decoded();
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->ssid, "HomeNet");
    EXPECT_EQ(decoded->password, "s3cret-pass");
    EXPECT_EQ(decoded->random, m_raziAirKiss().LastRun().randomByte);
    EXPECT_NE(decoded->random, 0);
    // The stream starts with the leading part.
    const auto got = printer.peer.Received();
    ASSERT_GE(got.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(got[i].data, Bytes(i + 1, 0));
}

TEST_F(Airkiss, TooFewEchoesTimeOut) {
    FakeAirkissPrinter printer(19);
    AimAt(printer.peer.Port());
    NZNetSettingsOverride applied(settings_);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CP_Airkiss_ConfigWireless("net", "", 100), 0);  // 5 helper seconds of 20 ms
    const int64_t took = ElapsedMs(start);
    EXPECT_GE(took, 100);
    EXPECT_LT(took, 1500);
    EXPECT_EQ(m_raziAirKiss().LastRun().echoCount, 19u);
}

TEST_F(Airkiss, OwnLoopedBackDatagramsAreNoEcho) {
    // The socket sends to its own port, as a broadcast comes back to its sender. With a
    // random byte of 0 every datagram would look like twenty echoes.
    int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(probe, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(probe);
    settings_.destinations.airkissLocalPort = ntohs(a.sin_port);
    AimAt(ntohs(a.sin_port));
    NZNetSettingsOverride applied(settings_);
    m_raziAirKiss().SetRandomSourceForTesting([] { return 0; });
    EXPECT_EQ(CP_Airkiss_ConfigWireless("net", "password", 100), 0);
    const auto run = m_raziAirKiss().LastRun();
    EXPECT_NE(run.randomByte, 0);
    EXPECT_GT(run.datagramsHeard, 20u);
    EXPECT_EQ(run.echoCount, 0u);
}

TEST_F(Airkiss, CancelEndsTheRunAndIsForgottenByTheNext) {
    LoopbackUdpPeer peer;
    peer.SetResponder([](const Datagram &) {
        CP_Airkiss_CancelConfig();
        return std::vector<Bytes>{};
    });
    AimAt(peer.Port());
    NZNetSettingsOverride applied(settings_);
    timing_.Set([](PortTiming &t) {
        t.helperSecondMs = 1000;
        t.airkissReceiveTimeoutMs = 5000;  // woken, not waited out
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CP_Airkiss_ConfigWireless("net", "password", 10000), 0);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_FALSE(m_raziAirKiss().IsReaderRunning());  // woken and joined before the return

    // A cancel while nothing runs does not end the next run early.
    timing_.Set([](PortTiming &t) { t.helperSecondMs = 20; });
    peer.SetResponder(nullptr);
    CP_Airkiss_CancelConfig();
    const auto second = std::chrono::steady_clock::now();
    EXPECT_EQ(CP_Airkiss_ConfigWireless("net", "password", 60), 0);
    EXPECT_GE(ElapsedMs(second), 60);
}

TEST_F(Airkiss, RunsOneAtATime) {
    LoopbackUdpPeer peer;
    AimAt(peer.Port());
    NZNetSettingsOverride applied(settings_);
    const auto start = std::chrono::steady_clock::now();
    std::thread other([] { CP_Airkiss_ConfigWireless("net", "a", 100); });
    CP_Airkiss_ConfigWireless("net", "b", 100);
    other.join();
    EXPECT_GE(ElapsedMs(start), 200);  // two runs of at least 100 ms, one after the other
}

TEST_F(Airkiss, RefusedInputAndBusyPort) {
    EXPECT_EQ(CP_Airkiss_ConfigWireless(nullptr, "pw", 1000), 0);
    EXPECT_EQ(CP_Airkiss_ConfigWireless("net", nullptr, 1000), 0);
    // The local port is taken: the run fails at once.
    LoopbackUdpPeer taken;
    settings_.destinations.airkissLocalPort = taken.Port();
    AimAt(taken.Port());
    NZNetSettingsOverride applied(settings_);
    timing_.Set([](PortTiming &t) { t.helperSecondMs = 1000; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CP_Airkiss_ConfigWireless("net", "pw", 10000), 0);
    EXPECT_LT(ElapsedMs(start), 500);
    EXPECT_EQ(taken.Count(), 0u);
}

TEST(AirkissShippedDefaults, BroadcastOfItsOwnZerosIsNoAnswer) {
    QV_RUN_IN_NET_NAMESPACE([] {
        qvtest::ScopedPortTiming timing;
        timing.Set([](PortTiming &t) {
            t.helperSecondMs = 20;
            t.airkissDatagramGapMs = 0;
            t.airkissReceiveTimeoutMs = 50;
        });
        const NZNetSettings shipped_destinations;  // 0.0.0.0:10000 to 255.255.255.255:10000
        NZNetSettingsOverride shipped(shipped_destinations);
        m_raziAirKiss().SetRandomSourceForTesting([] { return 255; });  // 255 % 255 = 0 before the shift
        EXPECT_EQ(CP_Airkiss_ConfigWireless("net", "password", 100), 0);
        const auto run = m_raziAirKiss().LastRun();
        EXPECT_EQ(run.randomByte, 1);
        EXPECT_GT(run.datagramsHeard, 20u);  // its broadcasts came back to it
        EXPECT_EQ(run.echoCount, 0u);
        m_raziAirKiss().SetRandomSourceForTesting(nullptr);
    });
}

}  // namespace
