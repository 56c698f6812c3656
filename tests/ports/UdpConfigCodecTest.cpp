#include <gtest/gtest.h>

#include "UdpTestBytes.h"
#include "ports/NZHexStringUtils.h"
#include "ports/NZIOUDPConfig.h"

namespace {

const char *kMacText = "00-1A-2b-C4-ff-09";
const uint8_t kMac[6] = {0x00, 0x1A, 0x2B, 0xC4, 0xFF, 0x09};

TEST(UdpConfigRequest, ExactBytes) {
    std::vector<uint8_t> r;
    ASSERT_TRUE(NZIOUDPConfig_BuildIPRequest(kMacText, 0, "192.168.1.50", "255.255.255.0", "192.168.1.1", r));
    EXPECT_EQ(Hex(r),
              "45 50 53 4F 4E 53 00 00 00 10 00 00 00 15 01 00 1A 2B C4 FF 09 80 08 "
              "C0 A8 01 32 FF FF FF 00 C0 A8 01 01 ");
    ASSERT_TRUE(NZIOUDPConfig_BuildIPRequest(kMacText, 7, "10.0.0.2", "255.0.0.0", "0.0.0.0", r));
    EXPECT_EQ(Hex(r),
              "45 50 53 4F 4E 53 00 00 00 10 00 00 00 15 01 00 1A 2B C4 FF 09 00 0C "
              "0A 00 00 02 FF 00 00 00 00 00 00 00 ");

    ASSERT_TRUE(NZIOUDPConfig_BuildConfirmRequest(kMacText, r));
    EXPECT_EQ(Hex(r), "45 50 53 4F 4E 53 00 00 01 00 00 00 00 0B 00 1A 2B C4 FF 09 01 00 12 00 00 ");

    ASSERT_TRUE(NZIOUDPConfig_BuildNameRequest(kMacText, "Bar", r));
    ASSERT_EQ(r.size(), 148u);
    EXPECT_EQ(Hex({r.begin(), r.begin() + 23}),
              "45 50 53 4F 4E 53 03 00 00 00 00 00 00 86 00 1A 2B C4 FF 09 42 61 72 ");
    EXPECT_TRUE(std::all_of(r.begin() + 23, r.end(), [](uint8_t b) { return b == 0; }));

    const std::string long_name(200, 'z');
    ASSERT_TRUE(NZIOUDPConfig_BuildNameRequest(kMacText, long_name.c_str(), r));
    ASSERT_EQ(r.size(), 148u);
    EXPECT_EQ(std::string(r.begin() + 20, r.begin() + 147), std::string(127, 'z'));
    EXPECT_EQ(r[147], 0);
}

TEST(UdpConfigRequest, RefusesTextsThatDoNotConvert) {
    std::vector<uint8_t> r;
    const char *bad_macs[] = {nullptr, "", "00-1A-2B-C4-FF-0", "00-1A-2B-C4-FF", "ZZ-1A-2B-C4-FF-09",
                              "00-1A-2B-C4-FF--9", "001-A-2B-C4-FF-09"};
    for (const char *mac : bad_macs) {
        EXPECT_FALSE(NZIOUDPConfig_BuildConfirmRequest(mac, r)) << (mac ? mac : "null");
        EXPECT_FALSE(NZIOUDPConfig_BuildNameRequest(mac, "n", r)) << (mac ? mac : "null");
    }
    EXPECT_FALSE(NZIOUDPConfig_BuildNameRequest(kMacText, nullptr, r));
    const char *bad_addresses[] = {nullptr, "", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3",
                                   "a.b.c.d", "1.2.3.4x", "0001.2.3.4", "1.2.3.4.", " 1.2.3.4"};
    for (const char *ip : bad_addresses) {
        SCOPED_TRACE(ip ? ip : "null");
        EXPECT_FALSE(NZIOUDPConfig_BuildIPRequest(kMacText, 0, ip, "255.0.0.0", "1.1.1.1", r));
        EXPECT_FALSE(NZIOUDPConfig_BuildIPRequest(kMacText, 0, "1.1.1.1", ip, "1.1.1.1", r));
        EXPECT_FALSE(NZIOUDPConfig_BuildIPRequest(kMacText, 0, "1.1.1.1", "255.0.0.0", ip, r));
    }
    uint8_t mac[6];
    EXPECT_TRUE(NZHexStringUtils::mac_string_to_bytes_a("00:1a:2b:c4:ff:09 trailing", mac));
    EXPECT_EQ(std::vector<uint8_t>(mac, mac + 6), std::vector<uint8_t>(kMac, kMac + 6));
}

TEST(UdpConfigReply, Matching) {
    std::vector<uint8_t> ip_req, name_req, confirm_req;
    ASSERT_TRUE(NZIOUDPConfig_BuildIPRequest(kMacText, 1, "1.2.3.4", "255.0.0.0", "1.1.1.1", ip_req));
    ASSERT_TRUE(NZIOUDPConfig_BuildNameRequest(kMacText, "n", name_req));
    ASSERT_TRUE(NZIOUDPConfig_BuildConfirmRequest(kMacText, confirm_req));
    const uint8_t ip_code[4] = {0, 0, 0, 0x10}, name_code[4] = {3, 0, 0, 0}, confirm_code[4] = {0, 0, 1, 0};
    const uint8_t other_mac[6] = {0x00, 0x1A, 0x2B, 0xC4, 0xFF, 0x0A};
    using R = NZUDPConfigReply;
    struct Case {
        const char *name;
        const std::vector<uint8_t> *request;
        std::vector<uint8_t> reply;
        R expected;
    };
    auto with = [](std::vector<uint8_t> v, size_t at, uint8_t b) { v[at] = b; return v; };
    const Case cases[] = {
        {"ip", &ip_req, ConfigReply(ip_code, kMac, 15, 23, 37), R::Match},
        {"name", &name_req, ConfigReply(name_code, kMac, 14, 134, 148), R::Match},
        {"confirm", &confirm_req, ConfigReply(confirm_code, kMac, 14, 11, 25), R::Match},
        {"ip one trailing byte", &ip_req, ConfigReply(ip_code, kMac, 15, 23, 38), R::SameKind},
        {"ip length field 24 in 38 bytes", &ip_req, ConfigReply(ip_code, kMac, 15, 24, 38), R::SameKind},
        {"ip other interface", &ip_req, ConfigReply(ip_code, other_mac, 15, 23, 37), R::SameKind},
        {"ip MAC at the name offset", &ip_req, ConfigReply(ip_code, kMac, 14, 23, 37), R::SameKind},
        {"confirm other interface", &confirm_req, ConfigReply(confirm_code, other_mac, 14, 11, 25), R::SameKind},
        {"confirm reply to a name request", &name_req, ConfigReply(confirm_code, kMac, 14, 11, 25), R::Other},
        {"request prefix echoed", &ip_req, with(ConfigReply(ip_code, kMac, 15, 23, 37), 5, 'S'), R::Other},
        {"our own request", &ip_req, ip_req, R::Other},
        {"13 bytes", &confirm_req, std::vector<uint8_t>(confirm_req.begin(), confirm_req.begin() + 13), R::Other},
        {"header only", &confirm_req, ConfigReply(confirm_code, kMac, 14, 0, 14), R::SameKind},
    };
    for (const Case &c : cases)
        EXPECT_EQ(NZIOUDPConfig_MatchReply(c.request->data(), c.request->size(), c.reply.data(), c.reply.size()),
                  c.expected)
            << c.name << ": " << Hex(c.reply);
    EXPECT_EQ(NZIOUDPConfig_MatchReply(nullptr, 0, ip_req.data(), ip_req.size()), R::Other);
}

}  // namespace
