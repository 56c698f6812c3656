#include <gtest/gtest.h>

#include <arpa/inet.h>

#include "UdpTestBytes.h"
#include "ports/RAZIUdpDiscover.h"

namespace {

const uint8_t kMac[6] = {0x00, 0x1a, 0x2B, 0xc4, 0xFF, 0x09};
const uint32_t kSender = inet_addr("192.0.2.17");

TEST(DiscoveryQuery, ExactBytes) {
    const std::vector<uint8_t> a(kRAZIDiscoverQueryA, kRAZIDiscoverQueryA + 14);
    const std::vector<uint8_t> b(kRAZIDiscoverQueryB, kRAZIDiscoverQueryB + 28);
    EXPECT_EQ(Hex(a), "45 50 53 4F 4E 51 03 00 00 01 00 00 00 00 ");
    EXPECT_EQ(Hex(b),
              "53 54 52 5F 42 43 41 53 54 00 00 00 00 00 00 00 "
              "52 51 31 2E 30 2E 30 00 00 1C 64 31 ");
}

TEST(DiscoveryReply, RecognisedReplies) {
    struct Case {
        const char *name;
        std::vector<uint8_t> data;
        const char *expected_name;
    };
    const Case cases[] = {
        {"A with name", DiscoveryReplyA(kMac, "Kitchen printer"), "Kitchen printer"},
        {"A empty name gives the address", DiscoveryReplyA(kMac, ""), "192.0.2.17"},
        {"A name filling its field", DiscoveryReplyA(kMac, std::string(128, 'n')), nullptr},
        {"B", DiscoveryReplyB(kMac), "192.0.2.17"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RAZIDiscoveredPrinter p{};
        ASSERT_TRUE(RAZIUdpDiscover_ParseReply(c.data.data(), c.data.size(), kSender, &p));
        EXPECT_STREQ(p.mac, "00-1A-2B-C4-FF-09");
        EXPECT_STREQ(p.ip, "192.0.2.17");
        EXPECT_EQ(std::string(p.name), c.expected_name ? c.expected_name : std::string(128, 'n'));
    }
}

TEST(DiscoveryReply, IgnoredDatagrams) {
    auto a = DiscoveryReplyA(kMac, "x");
    auto b = DiscoveryReplyB(kMac);
    auto resized = [](std::vector<uint8_t> v, size_t n) { v.resize(n, 0); return v; };
    auto prefixed = [](std::vector<uint8_t> v, uint8_t first) { v[0] = first; return v; };
    const std::pair<const char *, std::vector<uint8_t>> cases[] = {
        {"A 183 bytes", resized(a, 183)},
        {"A 185 bytes", resized(a, 185)},
        {"A wrong prefix", prefixed(a, 'X')},
        {"A prefix with capital Q", [&] { auto v = a; v[5] = 'Q'; return v; }()},
        {"B 301 bytes", resized(b, 301)},
        {"B 303 bytes", resized(b, 303)},
        {"B wrong prefix", prefixed(b, 's')},
        {"B prefix at A length", resized(b, 184)},
        {"empty", {}},
    };
    for (const auto &[name, data] : cases) {
        RAZIDiscoveredPrinter p{};
        EXPECT_FALSE(RAZIUdpDiscover_ParseReply(data.data(), data.size(), kSender, &p)) << name;
    }
    EXPECT_FALSE(RAZIUdpDiscover_ParseReply(nullptr, 184, kSender, nullptr));
}

}  // namespace
