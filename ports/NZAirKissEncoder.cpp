#include "ports/NZAirKissEncoder.h"

#include <cstring>
#include <exception>

#include "ports/NZCrc8.h"

namespace {

size_t Length(const char *text) { return text ? std::strlen(text) : 0; }

// Writes `values` `reps` times when they fit.
size_t FillRepeated(uint64_t *out, size_t cap, size_t reps, const uint64_t (&values)[4],
                    size_t *required) {
    const size_t need = reps * 4;
    if (required) *required = need;
    if (!out || cap < need) return 0;
    for (size_t r = 0; r < reps; ++r)
        for (size_t k = 0; k < 4; ++k) out[r * 4 + k] = values[k];
    return need;
}

// Password bytes, the random byte, SSID bytes.
std::vector<uint8_t> ContentBytes(const char *ssid, const char *password, uint8_t random) {
    std::vector<uint8_t> d(password, password + Length(password));
    d.push_back(random);
    d.insert(d.end(), ssid, ssid + Length(ssid));
    return d;
}

}  // namespace

uint8_t NZAirKissEncoder_CRC8(const uint8_t *bytes, size_t length) {
    return NZCrc8RightShift(bytes, length, 0, 0x8C);
}

size_t NZAirKissEncoder_FillLeadingPart(uint64_t *out, size_t cap, size_t reps, size_t *required) {
    return FillRepeated(out, cap, reps, {1, 2, 3, 4}, required);
}

size_t NZAirKissEncoder_FillMagicCode(uint64_t *out, size_t cap, size_t reps, const char *ssid,
                                      const char *password, size_t *required) {
    const uint8_t total = static_cast<uint8_t>(Length(ssid) + Length(password) + 1);
    const uint8_t k = NZAirKissEncoder_CRC8(reinterpret_cast<const uint8_t *>(ssid), Length(ssid));
    const uint64_t high = total >> 4;
    return FillRepeated(out, cap, reps,
                        {high ? high : 8u, static_cast<uint64_t>((total & 0x0F) | 0x10),
                         static_cast<uint64_t>((k >> 4) | 0x20),
                         static_cast<uint64_t>((k & 0x0F) | 0x30)},
                        required);
}

size_t NZAirKissEncoder_FillPrefixCode(uint64_t *out, size_t cap, const char *password,
                                       size_t *required) {
    const uint8_t p = static_cast<uint8_t>(Length(password));
    const uint8_t q = NZAirKissEncoder_CRC8(&p, 1);
    return FillRepeated(out, cap, 1,
                        {static_cast<uint64_t>((p >> 4) | 0x40), static_cast<uint64_t>((p & 0x0F) | 0x50),
                         static_cast<uint64_t>((q >> 4) | 0x60), static_cast<uint64_t>((q & 0x0F) | 0x70)},
                        required);
}

size_t NZAirKissEncoder_FillSequenceData(uint64_t *out, size_t cap, uint8_t index,
                                         const uint8_t *bytes, size_t length, size_t *required) {
    const size_t need = length + 2;
    if (required) *required = need;
    if (!out || cap < need || (length && !bytes)) return 0;
    std::vector<uint8_t> crc_input{index};
    crc_input.insert(crc_input.end(), bytes, bytes + length);
    out[0] = NZAirKissEncoder_CRC8(crc_input.data(), crc_input.size()) | 0x80u;
    out[1] = 0x80u | index;
    for (size_t i = 0; i < length; ++i) out[2 + i] = 0x100u | bytes[i];
    return need;
}

size_t NZAirKissEncoder_FillContentData(uint64_t *out, size_t cap, size_t reps, const char *ssid,
                                        const char *password, uint8_t random, size_t *required) {
    const std::vector<uint8_t> d = ContentBytes(ssid, password, random);
    const size_t n = d.size();
    const size_t groups = (n + 3) / 4;
    const size_t need = reps * (n + 4 + 2 * groups);
    if (required) *required = need;
    if (!out || cap < need) return 0;
    size_t at = 0;
    for (size_t r = 0; r < reps; ++r) {
        at += NZAirKissEncoder_FillPrefixCode(out + at, cap - at, password, nullptr);
        for (size_t g = 0; g < groups; ++g) {
            const size_t k = (g == groups - 1 && (n & 3)) ? (n & 3) : 4;
            at += NZAirKissEncoder_FillSequenceData(out + at, cap - at, static_cast<uint8_t>(g),
                                                    d.data() + 4 * g, k, nullptr);
        }
    }
    return at;
}

std::vector<uint64_t> NZAirKissEncoder_EncodeDataToLengthArray(const char *ssid,
                                                               const char *password,
                                                               uint8_t random, size_t leading_reps,
                                                               size_t magic_reps,
                                                               size_t content_reps) {
    if (!ssid || !password) return {};
    // Texts of many megabytes ask for more entries than memory holds: that is an empty
    // array, not an exception thrown through the exported call.
    try {
        size_t leading = 0, magic = 0, content = 0;
        NZAirKissEncoder_FillLeadingPart(nullptr, 0, leading_reps, &leading);
        NZAirKissEncoder_FillMagicCode(nullptr, 0, magic_reps, ssid, password, &magic);
        NZAirKissEncoder_FillContentData(nullptr, 0, content_reps, ssid, password, random, &content);
        std::vector<uint64_t> lengths(leading + magic + content, 0);
        if (lengths.empty()) return lengths;
        uint64_t *out = lengths.data();
        out += NZAirKissEncoder_FillLeadingPart(out, leading, leading_reps, nullptr);
        out += NZAirKissEncoder_FillMagicCode(out, magic, magic_reps, ssid, password, nullptr);
        NZAirKissEncoder_FillContentData(out, content, content_reps, ssid, password, random, nullptr);
        return lengths;
    } catch (const std::exception &) {
        return {};
    }
}
