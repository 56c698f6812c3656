#include "ports/NZIOUDPConfig.h"

#include <cstring>

#include "ports/NZHexStringUtils.h"

namespace {

constexpr uint8_t kIPCode[4] = {0x00, 0x00, 0x00, 0x10};
constexpr uint8_t kNameCode[4] = {0x03, 0x00, 0x00, 0x00};
constexpr uint8_t kConfirmCode[4] = {0x00, 0x00, 0x01, 0x00};

// "EPSONS", the code and the big-endian length of what follows the 14-byte header.
std::vector<uint8_t> Header(const uint8_t (&code)[4], size_t total) {
    std::vector<uint8_t> r(14, 0);
    std::memcpy(r.data(), "EPSONS", 6);
    std::memcpy(r.data() + 6, code, 4);
    const uint32_t follow = static_cast<uint32_t>(total - 14);
    for (int i = 0; i < 4; ++i) r[10 + i] = static_cast<uint8_t>(follow >> (24 - 8 * i));
    return r;
}

uint32_t BigEndian32(const uint8_t *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

bool NZIOUDPConfig_BuildIPRequest(const char *mac, int mode, const char *ip, const char *mask,
                                  const char *gateway, std::vector<uint8_t> &request) {
    uint8_t mac6[6], ip4[4], mask4[4], gateway4[4];
    if (!NZHexStringUtils::mac_string_to_bytes_a(mac, mac6) ||
        !NZHexStringUtils::ip_string_to_bytes_a(ip, ip4) ||
        !NZHexStringUtils::ip_string_to_bytes_a(mask, mask4) ||
        !NZHexStringUtils::ip_string_to_bytes_a(gateway, gateway4))
        return false;
    std::vector<uint8_t> r = Header(kIPCode, kNZUDPConfigIPRequestLength);
    r.push_back(0x01);
    r.insert(r.end(), mac6, mac6 + 6);
    if (mode) {
        r.push_back(0x00);
        r.push_back(0x0C);
    } else {
        r.push_back(0x80);
        r.push_back(0x08);
    }
    r.insert(r.end(), ip4, ip4 + 4);
    r.insert(r.end(), mask4, mask4 + 4);
    r.insert(r.end(), gateway4, gateway4 + 4);
    request = std::move(r);
    return true;
}

bool NZIOUDPConfig_BuildNameRequest(const char *mac, const char *name,
                                    std::vector<uint8_t> &request) {
    uint8_t mac6[6];
    if (!name || !NZHexStringUtils::mac_string_to_bytes_a(mac, mac6)) return false;
    std::vector<uint8_t> r = Header(kNameCode, kNZUDPConfigNameRequestLength);
    r.insert(r.end(), mac6, mac6 + 6);
    const size_t n = strnlen(name, 127);
    r.insert(r.end(), name, name + n);
    r.resize(kNZUDPConfigNameRequestLength, 0);
    request = std::move(r);
    return true;
}

bool NZIOUDPConfig_BuildConfirmRequest(const char *mac, std::vector<uint8_t> &request) {
    uint8_t mac6[6];
    if (!NZHexStringUtils::mac_string_to_bytes_a(mac, mac6)) return false;
    std::vector<uint8_t> r = Header(kConfirmCode, kNZUDPConfigConfirmRequestLength);
    r.insert(r.end(), mac6, mac6 + 6);
    for (uint8_t b : {0x01, 0x00, 0x12, 0x00, 0x00}) r.push_back(b);
    request = std::move(r);
    return true;
}

NZUDPConfigReply NZIOUDPConfig_MatchReply(const uint8_t *request, size_t request_length,
                                          const uint8_t *reply, size_t reply_length) {
    if (!request || !reply || request_length < 14 || reply_length < 14) return NZUDPConfigReply::Other;
    if (std::memcmp(reply, "EPSONs", 6) != 0 || std::memcmp(reply + 6, request + 6, 4) != 0)
        return NZUDPConfigReply::Other;
    uint32_t expected;
    size_t reply_mac, request_mac;
    if (std::memcmp(request + 6, kIPCode, 4) == 0) {
        expected = 23, reply_mac = 15, request_mac = 15;
    } else if (std::memcmp(request + 6, kNameCode, 4) == 0) {
        expected = 134, reply_mac = 14, request_mac = 14;
    } else if (std::memcmp(request + 6, kConfirmCode, 4) == 0) {
        expected = 11, reply_mac = 14, request_mac = 14;
    } else {
        return NZUDPConfigReply::Other;
    }
    const uint32_t length = BigEndian32(reply + 10);
    if (length != reply_length - 14 || length != expected || request_length < request_mac + 6)
        return NZUDPConfigReply::SameKind;
    if (std::memcmp(reply + reply_mac, request + request_mac, 6) != 0)
        return NZUDPConfigReply::SameKind;
    return NZUDPConfigReply::Match;
}
