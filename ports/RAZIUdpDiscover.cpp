#include "ports/RAZIUdpDiscover.h"

#include <cstdio>
#include <cstring>

const uint8_t kRAZIDiscoverQueryA[kRAZIDiscoverQueryALength] = {
    'E', 'P', 'S', 'O', 'N', 'Q', 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};

const uint8_t kRAZIDiscoverQueryB[kRAZIDiscoverQueryBLength] = {
    'S', 'T', 'R', '_', 'B', 'C', 'A', 'S', 'T', 0,    0,    0,    0,    0,
    0,   0,   'R', 'Q', '1', '.', '0', '.', '0', 0x00, 0x00, 0x1C, 0x64, 0x31};

namespace {

void FormatMac(const uint8_t *m, char (&out)[18]) {
    std::snprintf(out, sizeof out, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
}

}  // namespace

bool RAZIUdpDiscover_ParseReply(const uint8_t *data, size_t length, uint32_t sender_ip,
                                RAZIDiscoveredPrinter *out) {
    if (!data || !out) return false;
    const uint8_t *ip = reinterpret_cast<const uint8_t *>(&sender_ip);
    char ip_text[16];
    std::snprintf(ip_text, sizeof ip_text, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
    if (length == kRAZIDiscoverReplyALength && std::memcmp(data, "EPSONq", 6) == 0) {
        FormatMac(data + 14, out->mac);
        const size_t room = kRAZIDiscoverReplyALength - 56;
        const size_t n = strnlen(reinterpret_cast<const char *>(data + 56), room);
        std::memcpy(out->name, data + 56, n);
        out->name[n] = '\0';
        if (n == 0) std::memcpy(out->name, ip_text, sizeof ip_text);
    } else if (length == kRAZIDiscoverReplyBLength && std::memcmp(data, "STR_BCAST", 9) == 0) {
        FormatMac(data + 78, out->mac);
        std::memcpy(out->name, ip_text, sizeof ip_text);
    } else {
        return false;
    }
    std::memcpy(out->ip, ip_text, sizeof ip_text);
    return true;
}
