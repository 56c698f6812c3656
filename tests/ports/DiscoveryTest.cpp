// CP_Port_EnumNetPrinter against loopback responders, and with the shipped broadcast
// destinations inside a test-made network namespace.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <compare>
#include <mutex>
#include <ostream>
#include <set>
#include <thread>

#include "UdpTestBytes.h"
#include "TcpUdpTestWait.h"
#include "ports/NZHostIPEnumerator.h"
#include "ports/NZNetSettings.h"
#include "ports/RAZIUdpDiscover.h"
#include "quorvantelmise.h"
#include "support/LoopbackUdpPeer.h"
#include "support/NetNamespace.h"
#include "support/ScopedPortTiming.h"

namespace {

using qvtest::Bytes;
using qvtest::Datagram;
using qvtest::LoopbackUdpPeer;

const uint8_t kMacA[6] = {0x00, 0x11, 0x62, 0xAA, 0xBB, 0x01};
const uint8_t kMacB[6] = {0x00, 0x11, 0x62, 0xAA, 0xBB, 0x02};

struct Found {
    std::string local, mac, ip, name;
    auto operator<=>(const Found &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Found &f) {
    return os << "{" << f.local << ", " << f.mac << ", " << f.ip << ", " << f.name << "}";
}

// Collects reports; optionally lingers in the callback so a return that does not wait for
// the receive threads shows.
struct Collector {
    std::mutex mutex;
    std::vector<Found> found;
    std::atomic<int> in_callback{0};
    std::atomic<bool> returned{false};
    std::atomic<int> after_return{0};
    int linger_ms = 0;
    int *cancel_on_report = nullptr;  // set once cancel_after reports came
    size_t cancel_after = 1;

    static void OnDiscovered(const char *local, const char *mac, const char *ip, const char *name,
                             const void *self_raw) {
        auto *self = static_cast<Collector *>(const_cast<void *>(self_raw));
        self->in_callback.fetch_add(1);
        if (self->returned) self->after_return.fetch_add(1);
        size_t reports;
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->found.push_back({local, mac, ip, name});
            reports = self->found.size();
        }
        if (self->cancel_on_report && reports >= self->cancel_after)
            __atomic_store_n(self->cancel_on_report, 1, __ATOMIC_RELAXED);
        if (self->linger_ms) std::this_thread::sleep_for(std::chrono::milliseconds(self->linger_ms));
        self->in_callback.fetch_sub(1);
    }
    std::set<Found> Distinct() {
        std::lock_guard<std::mutex> lock(mutex);
        return {found.begin(), found.end()};
    }
    void Run(unsigned timeout_ms, int *cancel) {
        CP_Port_EnumNetPrinter(timeout_ms, cancel, &OnDiscovered, this);
        returned = true;
    }
};

// Responders for the two query kinds, and settings aiming discovery at them.
class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        timing_.Set([](PortTiming &t) {
            t.helperSecondMs = 20;
            t.discoveryCycleSleeps = 4;  // 20 ms between rounds
        });
        a_.SetResponder([](const Datagram &d) {
            if (d.data != Bytes(kRAZIDiscoverQueryA, kRAZIDiscoverQueryA + 14)) return std::vector<Bytes>{};
            Bytes wrong_prefix = DiscoveryReplyA(kMacB, "impostor");
            wrong_prefix[5] = 'x';
            Bytes short_reply = DiscoveryReplyA(kMacB, "short");
            short_reply.pop_back();
            return std::vector<Bytes>{short_reply, wrong_prefix, DiscoveryReplyA(kMacA, "Front desk")};
        });
        b_.SetResponder([](const Datagram &d) {
            if (d.data != Bytes(kRAZIDiscoverQueryB, kRAZIDiscoverQueryB + 28)) return std::vector<Bytes>{};
            return std::vector<Bytes>{DiscoveryReplyB(kMacB)};
        });
        settings_ = NZNetSettings::Get();
        settings_.destinations.discoveryAddress = "127.0.0.1";
        settings_.destinations.discoveryPortA = a_.Port();
        settings_.destinations.discoveryPortB = b_.Port();
        settings_.destinations.discoveryLocalAddresses = {"127.0.0.1"};
    }
    std::unique_ptr<NZNetSettingsOverride> Apply() { return std::make_unique<NZNetSettingsOverride>(settings_); }

    qvtest::ScopedPortTiming timing_;
    LoopbackUdpPeer a_, b_;
    NZNetSettings settings_;
};

TEST_F(Discovery, ReportsBothReplyKindsAndJoinsItsThreads) {
    auto applied = Apply();
    Collector c;
    c.linger_ms = 30;
    const auto start = std::chrono::steady_clock::now();
    c.Run(100, nullptr);  // 5 helper seconds of 20 ms
    const int64_t took = ElapsedMs(start);
    EXPECT_GE(took, 100);
    EXPECT_LT(took, 1500);
    EXPECT_EQ(c.in_callback.load(), 0);
    EXPECT_EQ(c.after_return.load(), 0);
    const std::set<Found> expected{{"127.0.0.1", "00-11-62-AA-BB-01", "127.0.0.1", "Front desk"},
                                   {"127.0.0.1", "00-11-62-AA-BB-02", "127.0.0.1", "127.0.0.1"}};
    EXPECT_EQ(c.Distinct(), expected);
    for (const Datagram &d : b_.Received()) EXPECT_EQ(d.data.size(), 28u);
}

TEST_F(Discovery, EveryRoundAsksAgainAndEveryAnswerIsReportedAgain) {
    auto applied = Apply();
    Collector c;
    int cancel = 0;
    c.cancel_on_report = &cancel;
    c.cancel_after = 4;  // a round brings two answers: the fourth comes from a second round
    c.Run(10000, &cancel);
    EXPECT_GE(c.found.size(), 4u);
    EXPECT_EQ(c.Distinct().size(), 2u);
    EXPECT_TRUE(a_.WaitForDatagrams(2, 2000));
}

TEST_F(Discovery, OneReportPerLocalAddressItArrivesOn) {
    settings_.destinations.discoveryLocalAddresses = {"127.0.0.1", "127.0.0.2"};
    auto applied = Apply();
    Collector c;
    c.Run(60, nullptr);
    std::set<std::string> locals;
    for (const Found &f : c.Distinct()) locals.insert(f.local);
    EXPECT_EQ(locals, (std::set<std::string>{"127.0.0.1", "127.0.0.2"}));
    std::set<std::string> senders;
    for (const Datagram &d : a_.Received()) senders.insert(d.senderAddress);
    EXPECT_EQ(senders, (std::set<std::string>{"127.0.0.1", "127.0.0.2"}));
}

TEST_F(Discovery, CancelEndsTheCallSoon) {
    auto applied = Apply();
    timing_.Set([](PortTiming &t) {
        t.helperSecondMs = 1000;
        t.discoveryCycleSleeps = 50;
    });
    Collector c;
    int cancel = 0;
    c.cancel_on_report = &cancel;
    const auto start = std::chrono::steady_clock::now();
    c.Run(10000, &cancel);  // would last 10 to 11 s
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_FALSE(c.found.empty());

    // Cancelled before it starts: nothing is sent. A null callback sends nothing either.
    // Fresh peers: a query of the call above may still be on its way to a_ or b_.
    LoopbackUdpPeer quiet_a, quiet_b;
    settings_.destinations.discoveryPortA = quiet_a.Port();
    settings_.destinations.discoveryPortB = quiet_b.Port();
    applied.reset();
    applied = Apply();
    Collector d;
    d.Run(10000, &cancel);
    CP_Port_EnumNetPrinter(10000, nullptr, nullptr, nullptr);
    EXPECT_LT(ElapsedMs(start), 1500);
    // A marker sent now is queued behind anything the calls sent: once it is in, so is that.
    for (LoopbackUdpPeer *peer : {&quiet_a, &quiet_b}) {
        ASSERT_TRUE(a_.SendTo("127.0.0.1", peer->Port(), Bytes{0x00}));
        ASSERT_TRUE(peer->WaitForDatagrams(1, 2000));
        EXPECT_EQ(peer->Count(), 1u);
    }
}

TEST_F(Discovery, ZeroTimeoutStillAsksOnce) {
    auto applied = Apply();
    Collector c;
    c.Run(0, nullptr);
    EXPECT_GE(a_.Count(), 1u);
    EXPECT_GE(b_.Count(), 1u);
}

TEST_F(Discovery, LongReceiveTimeoutDoesNotHoldTheReturn) {
    // Receive threads sit in a 5 s receive: they are woken, not waited out.
    timing_.Set([](PortTiming &t) { t.discoveryReceiveTimeoutMs = 5000; });
    auto applied = Apply();
    a_.SetResponder(nullptr);
    b_.SetResponder(nullptr);
    Collector c;
    const auto start = std::chrono::steady_clock::now();
    c.Run(40, nullptr);
    EXPECT_LT(ElapsedMs(start), 1500);
}

TEST(DiscoveryHostAddresses, OnlyNonLoopbackIPv4) {
    unsigned int required = 0;
    char list[1000] = {};
    const unsigned int count = NZHostIPEnumerator_ios().Enumerate(list, sizeof list, &required);
    const auto entries = NZHostIPEnumerator_ios::SplitList(list, count);
    ASSERT_EQ(entries.size(), count);
    unsigned int total = 0;
    for (const std::string &e : entries) {
        in_addr a{};
        EXPECT_EQ(inet_pton(AF_INET, e.c_str(), &a), 1) << e;
        EXPECT_NE(e.rfind("127.", 0), 0u) << e;
        total += static_cast<unsigned>(e.size()) + 2;
    }
    EXPECT_EQ(required, total);
    // A list too small for any entry stays empty but still tells the size needed.
    char tiny[4] = {};
    unsigned int tiny_required = 0;
    EXPECT_EQ(NZHostIPEnumerator_ios().Enumerate(tiny, sizeof tiny, &tiny_required), 0u);
    EXPECT_EQ(tiny_required, required);
    EXPECT_EQ(NZHostIPEnumerator_ios().Enumerate(nullptr, 100, nullptr), 0u);
}

TEST(DiscoveryShippedDefaults, BroadcastsFromTheAnyAddressWithoutInterfaces) {
    QV_RUN_IN_NET_NAMESPACE([] {
        qvtest::ScopedPortTiming timing;
        timing.Set([](PortTiming &t) { t.helperSecondMs = 20; });
        // The namespace has only lo, which the host address list leaves out.
        char list[100];
        EXPECT_EQ(NZHostIPEnumerator_ios().Enumerate(list, sizeof list, nullptr), 0u);
        LoopbackUdpPeer::Options o;
        o.address = "0.0.0.0";
        o.port = 3289;
        LoopbackUdpPeer a(o);
        o.port = 22222;
        LoopbackUdpPeer b(o);
        a.SetResponder([](const Datagram &) { return std::vector<Bytes>{DiscoveryReplyA(kMacA, "")}; });
        b.SetResponder([](const Datagram &) { return std::vector<Bytes>{DiscoveryReplyB(kMacB)}; });
        const NZNetSettings defaults;
        NZNetSettingsOverride shipped(defaults);
        Collector c;
        c.Run(60, nullptr);
        const std::set<Found> expected{{"0.0.0.0", "00-11-62-AA-BB-01", "127.0.0.1", "127.0.0.1"},
                                       {"0.0.0.0", "00-11-62-AA-BB-02", "127.0.0.1", "127.0.0.1"}};
        EXPECT_EQ(c.Distinct(), expected);
        ASSERT_GE(a.Count(), 1u);
        EXPECT_EQ(a.Received()[0].data, Bytes(kRAZIDiscoverQueryA, kRAZIDiscoverQueryA + 14));
    });
}

}  // namespace
