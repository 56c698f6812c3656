// The three network configuration calls against a loopback printer interface.
#include <gtest/gtest.h>

#include <functional>

#include "UdpTestBytes.h"
#include "TcpUdpTestWait.h"
#include "ports/NZIOUDPConfig.h"
#include "quorvantelmise.h"
#include "support/LoopbackUdpPeer.h"
#include "support/NetNamespace.h"
#include "support/ScopedPortTiming.h"

namespace {

using qvtest::Bytes;
using qvtest::Datagram;
using qvtest::LoopbackUdpPeer;

const char *kMacText = "00-1A-2B-C4-FF-09";
const uint8_t kMac[6] = {0x00, 0x1A, 0x2B, 0xC4, 0xFF, 0x09};
const uint8_t kOtherMac[6] = {0x00, 0x1A, 0x2B, 0xC4, 0xFF, 0x0A};
const uint8_t kIPCode[4] = {0, 0, 0, 0x10}, kNameCode[4] = {3, 0, 0, 0}, kConfirmCode[4] = {0, 0, 1, 0};

using Call = std::function<bool(const char *dest_ip, uint16_t port, uint32_t resend, uint32_t timeout)>;

struct Kind {
    const char *name;
    Call call;
    size_t request_length;
    Bytes reply, other_interface, one_byte_more;
};

std::vector<Kind> Kinds() {
    auto plus_one = [](Bytes b) { b.push_back(0); return b; };
    const Bytes ip = ConfigReply(kIPCode, kMac, 15, 23, 37);
    const Bytes name = ConfigReply(kNameCode, kMac, 14, 134, 148);
    const Bytes confirm = ConfigReply(kConfirmCode, kMac, 14, 11, 25);
    return {
        {"ip",
         [](const char *d, uint16_t p, uint32_t r, uint32_t t) {
             return CP_UDPBroadcast_ConfigIP("127.0.0.1", 0, d, p, kMacText, 0, "192.168.1.50", "255.255.255.0",
                                             "192.168.1.1", r, t);
         },
         35, ip, ConfigReply(kIPCode, kOtherMac, 15, 23, 37), plus_one(ip)},
        {"name",
         [](const char *d, uint16_t p, uint32_t r, uint32_t t) {
             return CP_UDPBroadcast_ConfigName("127.0.0.1", 0, d, p, kMacText, "Counter 2", r, t);
         },
         148, name, ConfigReply(kNameCode, kOtherMac, 14, 134, 148), plus_one(name)},
        {"confirm",
         [](const char *d, uint16_t p, uint32_t r, uint32_t t) {
             return CP_UDPBroadcast_ConfirmConfiguration("127.0.0.1", 0, d, p, kMacText, r, t);
         },
         25, confirm, ConfigReply(kConfirmCode, kOtherMac, 14, 11, 25), plus_one(confirm)},
    };
}

class UdpConfig : public ::testing::Test {
protected:
    qvtest::ScopedPortTiming timing_;
};

TEST_F(UdpConfig, MatchingReplyEndsTheExchange) {
    for (const Kind &k : Kinds()) {
        SCOPED_TRACE(k.name);
        LoopbackUdpPeer peer;
        const Bytes reply = k.reply;
        peer.SetResponder([reply](const Datagram &) { return std::vector<Bytes>{reply}; });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(k.call("127.0.0.1", peer.Port(), 1000, 5000));
        EXPECT_LT(ElapsedMs(start), 900);  // no wait for a resend
        ASSERT_EQ(peer.Count(), 1u);
        const Datagram d = peer.Received()[0];
        EXPECT_EQ(d.data.size(), k.request_length);
        EXPECT_EQ(Hex({d.data.begin(), d.data.begin() + 6}), "45 50 53 4F 4E 53 ");
        EXPECT_EQ(d.senderAddress, "127.0.0.1");
    }
}

TEST_F(UdpConfig, OtherRepliesAreIgnoredAndTheRequestResent) {
    for (const Kind &k : Kinds()) {
        SCOPED_TRACE(k.name);
        LoopbackUdpPeer peer;
        const Bytes other = k.other_interface, longer = k.one_byte_more;
        peer.SetResponder([other, longer](const Datagram &d) {
            Bytes echo = d.data;  // a request echoed back is no reply either
            return std::vector<Bytes>{other, longer, echo};
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(k.call("127.0.0.1", peer.Port(), 50, 150));
        const int64_t took = ElapsedMs(start);
        EXPECT_GE(took, 150);
        EXPECT_LT(took, 1000);
        // About three sends: at 0, 50 and 100 ms (a late wake-up may drop one).
        EXPECT_GE(peer.Count(), 2u);
        EXPECT_LE(peer.Count(), 4u);
    }
}

TEST_F(UdpConfig, ZeroResendIntervalStillEnds) {
    LoopbackUdpPeer quiet;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CP_UDPBroadcast_ConfirmConfiguration("127.0.0.1", 0, "127.0.0.1", quiet.Port(), kMacText, 0, 50));
    EXPECT_LT(ElapsedMs(start), 1000);
    LoopbackUdpPeer answering;
    const Bytes reply = ConfigReply(kConfirmCode, kMac, 14, 11, 25);
    answering.SetResponder([reply](const Datagram &) { return std::vector<Bytes>{reply}; });
    EXPECT_TRUE(CP_UDPBroadcast_ConfirmConfiguration("127.0.0.1", 0, "127.0.0.1", answering.Port(), kMacText, 0, 2000));
}

TEST_F(UdpConfig, TextsThatDoNotConvertSendNothing) {
    LoopbackUdpPeer peer;
    const uint16_t p = peer.Port();
    EXPECT_FALSE(CP_UDPBroadcast_ConfirmConfiguration("127.0.0.1", 0, "127.0.0.1", p, "00-1A-2B", 10, 50));
    EXPECT_FALSE(CP_UDPBroadcast_ConfirmConfiguration("127.0.0.1", 0, "127.0.0.1", p, nullptr, 10, 50));
    EXPECT_FALSE(CP_UDPBroadcast_ConfigName("127.0.0.1", 0, "127.0.0.1", p, "GG-1A-2B-C4-FF-09", "n", 10, 50));
    EXPECT_FALSE(CP_UDPBroadcast_ConfigName("127.0.0.1", 0, "127.0.0.1", p, kMacText, nullptr, 10, 50));
    EXPECT_FALSE(CP_UDPBroadcast_ConfigIP("127.0.0.1", 0, "127.0.0.1", p, kMacText, 0, "192.168.1.500",
                                          "255.255.255.0", "192.168.1.1", 10, 50));
    EXPECT_FALSE(CP_UDPBroadcast_ConfigIP("127.0.0.1", 0, "127.0.0.1", p, kMacText, 0, "192.168.1.5", nullptr,
                                          "192.168.1.1", 10, 50));
    // Unusable sockets: a destination that does not parse, a local address not ours.
    EXPECT_FALSE(CP_UDPBroadcast_ConfirmConfiguration("127.0.0.1", 0, "127.0.0.1.1", p, kMacText, 10, 50));
    EXPECT_FALSE(CP_UDPBroadcast_ConfirmConfiguration("192.0.2.1", 0, "127.0.0.1", p, kMacText, 10, 50));
    EXPECT_EQ(peer.Count(), 0u);
}

TEST_F(UdpConfig, FailedSendEndsTheExchangeAndJoinsTheReader) {
    // Port 0 cannot be sent to. The reader, in a 5 s receive, is woken rather than waited out.
    NZIOUDPConfigConfirm config;
    ASSERT_TRUE(config.Build(kMacText));
    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(config.Exchange("127.0.0.1", 0, "127.0.0.1", 0, 5000, 5000));
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_FALSE(config.IsReaderRunning());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "NZUdpClientIO_ios socket_sendto: sendto error: 22\n");
}

TEST(UdpConfigBroadcast, ReachesTheInterfaceByBroadcast) {
    QV_RUN_IN_NET_NAMESPACE([] {
        qvtest::ScopedPortTiming timing;
        LoopbackUdpPeer::Options o;
        o.address = "0.0.0.0";
        o.port = 3289;
        LoopbackUdpPeer peer(o);
        const Bytes reply = ConfigReply(kNameCode, kMac, 14, 134, 148);
        peer.SetResponder([reply](const Datagram &) { return std::vector<Bytes>{reply}; });
        EXPECT_TRUE(CP_UDPBroadcast_ConfigName("0.0.0.0", 0, "255.255.255.255", 3289, kMacText, "Bar", 100, 2000));
        EXPECT_EQ(peer.Count(), 1u);
    });
}

}  // namespace
