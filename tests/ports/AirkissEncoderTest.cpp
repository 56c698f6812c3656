#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "AirkissTestDecoder.h"
#include "ports/NZAirKissEncoder.h"

namespace {

uint8_t Crc(const std::string &s) {
    return NZAirKissEncoder_CRC8(reinterpret_cast<const uint8_t *>(s.data()), s.size());
}

TEST(AirkissEncoder, Crc8IsMaxim) {
    EXPECT_EQ(Crc("123456789"), 0xA1);  // the standard check value
    EXPECT_EQ(Crc(""), 0x00);
    EXPECT_EQ(NZAirKissEncoder_CRC8(nullptr, 5), 0x00);
    const uint8_t one = 0x01;
    EXPECT_EQ(NZAirKissEncoder_CRC8(&one, 1), 0x5E);
}

TEST(AirkissEncoder, ThreeByteSsidEightBytePassword) {
    const uint8_t k = Crc("abc");
    const auto v = NZAirKissEncoder_EncodeDataToLengthArray("abc", "12345678", 0x5A, 50, 20, 30);
    ASSERT_EQ(v.size(), 940u);  // 200 + 80 + 30 * (12 + 4 + 6)
    for (size_t i = 0; i < 200; ++i) EXPECT_EQ(v[i], i % 4 + 1) << i;
    const std::vector<uint64_t> magic{8, 0x1C, uint64_t((k >> 4) | 0x20), uint64_t((k & 0x0F) | 0x30)};
    for (size_t i = 0; i < 80; ++i) ASSERT_EQ(v[200 + i], magic[i % 4]) << i;
    // One content block: prefix, then three groups of four bytes "1234" "5678" <r>"ab" "c".
    const uint8_t p = 8, q = NZAirKissEncoder_CRC8(&p, 1);
    std::vector<uint64_t> block{0x40, 0x58, uint64_t((q >> 4) | 0x60), uint64_t((q & 0x0F) | 0x70)};
    const std::vector<std::vector<uint8_t>> groups{{'1', '2', '3', '4'}, {'5', '6', '7', '8'}, {0x5A, 'a', 'b', 'c'}};
    for (uint8_t g = 0; g < groups.size(); ++g) {
        std::vector<uint8_t> in{g};
        in.insert(in.end(), groups[g].begin(), groups[g].end());
        block.push_back(NZAirKissEncoder_CRC8(in.data(), in.size()) | 0x80);
        block.push_back(0x80 | g);
        for (uint8_t b : groups[g]) block.push_back(0x100 | b);
    }
    ASSERT_EQ(block.size(), 22u);
    for (size_t r = 0; r < 30; ++r)
        ASSERT_TRUE(std::equal(block.begin(), block.end(), v.begin() + 280 + 22 * r)) << "block " << r;
}

TEST(AirkissEncoder, ContentGroupsAndRoundTrip) {
    struct Case {
        const char *name, *ssid, *password;
        size_t groups, last_group;
    } cases[] = {
        {"n13", "abcd", "12345678", 4, 1},      // N = 13: four groups, the last of one byte
        {"empty password", "net", "", 1, 4},  // D starts with the random byte
        {"n4", "", "abc", 1, 4},
        {"long", "a-thirty-two-byte-network-name!!", "a-sixty-three-byte-password-with-enough-characters-to-fill-it-u", 24, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const uint8_t random = 0xC3;
        const size_t n = std::strlen(c.ssid) + std::strlen(c.password) + 1;
        size_t required = 0;
        EXPECT_EQ(NZAirKissEncoder_FillContentData(nullptr, 0, 1, c.ssid, c.password, random, &required), 0u);
        EXPECT_EQ(required, n + 4 + 2 * c.groups);
        std::vector<uint64_t> block(required);
        ASSERT_EQ(NZAirKissEncoder_FillContentData(block.data(), block.size(), 1, c.ssid, c.password, random, nullptr), required);
        EXPECT_EQ(block.back() & 0x100, 0x100u);
        EXPECT_EQ(block[block.size() - c.last_group - 1], 0x80 | (c.groups - 1));  // last group's index
        if (!*c.password) {
            EXPECT_EQ(block[4 + 2], 0x100u | random);
        }

        const auto v = NZAirKissEncoder_EncodeDataToLengthArray(c.ssid, c.password, random, 50, 20, 30);
        EXPECT_TRUE(std::all_of(v.begin(), v.end(), [](uint64_t x) { return x >= 1 && x <= 511; }));
        const auto decoded = DecodeAirkiss(v);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->ssid, c.ssid);
        EXPECT_EQ(decoded->password, c.password);
        EXPECT_EQ(decoded->random, random);
    }
}

TEST(AirkissEncoder, FillFunctionsRefuseTooSmallOutput) {
    std::vector<uint64_t> out(8, 0xEE);
    size_t required = 0;
    EXPECT_EQ(NZAirKissEncoder_FillLeadingPart(out.data(), 7, 2, &required), 0u);
    EXPECT_EQ(required, 8u);
    EXPECT_EQ(NZAirKissEncoder_FillMagicCode(out.data(), 3, 1, "a", "b", &required), 0u);
    EXPECT_EQ(required, 4u);
    EXPECT_EQ(NZAirKissEncoder_FillPrefixCode(out.data(), 3, "b", &required), 0u);
    const uint8_t bytes[3] = {1, 2, 3};
    EXPECT_EQ(NZAirKissEncoder_FillSequenceData(out.data(), 4, 0, bytes, 3, &required), 0u);
    EXPECT_EQ(required, 5u);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint64_t x) { return x == 0xEE; }));
    EXPECT_EQ(NZAirKissEncoder_FillLeadingPart(out.data(), 8, 2, nullptr), 8u);

    EXPECT_TRUE(NZAirKissEncoder_EncodeDataToLengthArray(nullptr, "pw", 1, 50, 20, 30).empty());
    EXPECT_TRUE(NZAirKissEncoder_EncodeDataToLengthArray("ssid", nullptr, 1, 50, 20, 30).empty());
    EXPECT_TRUE(NZAirKissEncoder_EncodeDataToLengthArray("ssid", "pw", 1, 0, 0, 0).empty());
    // More entries than any array can hold.
    EXPECT_TRUE(NZAirKissEncoder_EncodeDataToLengthArray("ssid", "pw", 1, SIZE_MAX / 8, 0, 0).empty());
}

}  // namespace
