// Reads an AirKiss length stream back the way a listening printer would, so tests can check
// the encoding end to end and a loopback responder can learn the run's random byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ports/NZAirKissEncoder.h"

struct AirkissDecoded {
    std::string ssid;
    std::string password;
    uint8_t random = 0;
};

namespace airkiss_detail {

inline bool Tagged(uint64_t x, uint64_t tag) { return (x & 0x1F0) == tag; }

// Content data starting at a prefix code at j, for a stream whose magic code gave total and
// ssid_crc.
inline std::optional<AirkissDecoded> DecodeContent(const std::vector<uint64_t> &v, size_t j, size_t total,
                                                   uint8_t ssid_crc) {
    const uint8_t p = static_cast<uint8_t>(((v[j] & 0x0F) << 4) | (v[j + 1] & 0x0F));
    const uint8_t q = static_cast<uint8_t>(((v[j + 2] & 0x0F) << 4) | (v[j + 3] & 0x0F));
    if (NZAirKissEncoder_CRC8(&p, 1) != q) return std::nullopt;
    std::vector<uint8_t> d;
    size_t k = j + 4;
    for (size_t g = 0; d.size() < total; ++g) {
        if (k + 2 > v.size() || v[k + 1] != (0x80 | g)) return std::nullopt;
        std::vector<uint8_t> group;
        size_t m = k + 2;
        while (m < v.size() && group.size() < 4 && (v[m] & 0x100)) group.push_back(static_cast<uint8_t>(v[m++]));
        std::vector<uint8_t> crc_input{static_cast<uint8_t>(g)};
        crc_input.insert(crc_input.end(), group.begin(), group.end());
        if ((NZAirKissEncoder_CRC8(crc_input.data(), crc_input.size()) | 0x80) != v[k]) return std::nullopt;
        d.insert(d.end(), group.begin(), group.end());
        k = m;
    }
    if (d.size() != total || p >= total) return std::nullopt;
    AirkissDecoded out;
    out.password.assign(d.begin(), d.begin() + p);
    out.random = d[p];
    out.ssid.assign(d.begin() + p + 1, d.end());
    if (NZAirKissEncoder_CRC8(reinterpret_cast<const uint8_t *>(out.ssid.data()), out.ssid.size()) != ssid_crc)
        return std::nullopt;
    return out;
}

}  // namespace airkiss_detail

// Decodes a magic code and a complete, consistent content block found after it, checking
// every CRC; a datagram lost on the way only spoils the block it was in, as on the air.
// Nothing when the stream holds no such pass yet.
inline std::optional<AirkissDecoded> DecodeAirkiss(const std::vector<uint64_t> &v) {
    using airkiss_detail::Tagged;
    for (size_t i = 0; i + 4 <= v.size(); ++i) {
        if (!(v[i] < 0x10 && Tagged(v[i + 1], 0x10) && Tagged(v[i + 2], 0x20) && Tagged(v[i + 3], 0x30))) continue;
        const uint64_t high = v[i] == 8 ? 0 : v[i];
        const size_t total = static_cast<size_t>((high << 4) | (v[i + 1] & 0x0F));
        const uint8_t ssid_crc = static_cast<uint8_t>(((v[i + 2] & 0x0F) << 4) | (v[i + 3] & 0x0F));
        for (size_t j = i + 4; j + 4 <= v.size(); ++j) {
            if (!(Tagged(v[j], 0x40) && Tagged(v[j + 1], 0x50) && Tagged(v[j + 2], 0x60) && Tagged(v[j + 3], 0x70)))
                continue;
            if (auto decoded = airkiss_detail::DecodeContent(v, j, total, ssid_crc)) return decoded;
        }
    }
    return std::nullopt;
}
