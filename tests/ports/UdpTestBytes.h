// Small helpers shared by the network suites: hex dumps for failing rows and reply builders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

inline std::string Hex(const std::vector<uint8_t> &b) {
    std::string s;
    char t[4];
    for (uint8_t x : b) {
        std::snprintf(t, sizeof t, "%02X ", x);
        s += t;
    }
    return s;
}

inline std::vector<uint8_t> Ascii(const char *text) {
    return std::vector<uint8_t>(text, text + std::strlen(text));
}

// 184-byte reply to the "EPSONQ" query.
inline std::vector<uint8_t> DiscoveryReplyA(const uint8_t mac[6], const std::string &name) {
    std::vector<uint8_t> r(184, 0);
    std::memcpy(r.data(), "EPSONq", 6);
    std::memcpy(r.data() + 14, mac, 6);
    std::memcpy(r.data() + 56, name.data(), std::min<size_t>(name.size(), 128));
    return r;
}

// 302-byte reply to the "STR_BCAST" query.
inline std::vector<uint8_t> DiscoveryReplyB(const uint8_t mac[6]) {
    std::vector<uint8_t> r(302, 0x20);
    std::memcpy(r.data(), "STR_BCAST", 9);
    std::memcpy(r.data() + 78, mac, 6);
    return r;
}

// "EPSONs" reply with the given code, MAC at mac_offset and length field, total bytes long.
inline std::vector<uint8_t> ConfigReply(const uint8_t code[4], const uint8_t mac[6], size_t mac_offset,
                                        uint32_t length_field, size_t total) {
    std::vector<uint8_t> r(total, 0);
    std::memcpy(r.data(), "EPSONs", 6);
    std::memcpy(r.data() + 6, code, 4);
    for (int i = 0; i < 4; ++i) r[10 + i] = static_cast<uint8_t>(length_field >> (24 - 8 * i));
    if (mac_offset + 6 <= total) std::memcpy(r.data() + mac_offset, mac, 6);
    return r;
}
