#include "ports/NZIOUDPConfig.h"

#include <cstring>

#include "ports/NZHexStringUtils.h"
#include "ports/PortTiming.h"
#include "ports/RAZIThread.h"
#include "quorvantelmise.h"

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

bool NZIOUDPConfig::Exchange(const char* local_ip, unsigned short local_port, const char* dest_ip,
                             unsigned short dest_port, uint32_t resend_ms, uint32_t timeout_ms) {
    done_.store(false);
    if (request_.empty()) return false;
    if (!socket_.OpenNonThreadA(local_ip, local_port, dest_ip, dest_port)) return false;
    // A receive timeout of 0 would mean no timeout at all.
    if (resend_ms == 0) resend_ms = 1;
    socket_.setsockopt_reuseaddr(true);
    socket_.setsockopt_broadcast(true);
    socket_.setsockopt_rcvtimeo(resend_ms);
    socket_.setsockopt_sndtimeo(timeout_ms);

    const int poll_ms = static_cast<int>(GetPortTiming().pollSleepMs);
    readStart_.fetch_add(1);
    stopRead_.store(false);
    if (!RAZIThread::StartThread(&NZIOUDPConfig::readThreadFunc, this)) {
        readStarted_.fetch_add(1);
        readFinished_.fetch_add(1);
        socket_.Close();
        return false;
    }
    while (readStarted_.load() != readStart_.load()) RAZISleep::SleepMs(poll_ms);

    const int64_t start = RAZITimeStamp::GetMonotonicMs();
    while (RAZITimeStamp::GetMonotonicMs() - start <= static_cast<int64_t>(timeout_ms) &&
           !done_.load() && socket_.IsOpened()) {
        const int sent = socket_.Write(request_.data(), request_.size(), timeout_ms);
        if (sent < static_cast<int>(request_.size())) break;
        const int64_t sent_at = RAZITimeStamp::GetMonotonicMs();
        while (RAZITimeStamp::GetMonotonicMs() - sent_at <= static_cast<int64_t>(resend_ms) &&
               !done_.load() && socket_.IsOpened())
            RAZISleep::SleepMs(poll_ms);
    }

    // Wake the reply reader out of its receive and let it finish before the socket closes.
    stopRead_.store(true);
    socket_.socket_shutdown();
    while (readFinished_.load() != readStart_.load()) RAZISleep::SleepMs(poll_ms);
    socket_.Close();
    return done_.load();
}

void NZIOUDPConfig::readThreadFunc(void* raw) {
    auto* self = static_cast<NZIOUDPConfig*>(raw);
    self->readStarted_.fetch_add(1);
    uint8_t buffer[kNZUDPConfigReplyReadLength];
    const int poll_ms = static_cast<int>(GetPortTiming().pollSleepMs);
    while (self->socket_.IsOpened() && !self->stopRead_.load()) {
        const int n = self->socket_.socket_recvfrom(buffer, sizeof buffer, nullptr, nullptr);
        const NZUDPConfigReply kind =
            n > 0 ? NZIOUDPConfig_MatchReply(self->request_.data(), self->request_.size(), buffer,
                                             static_cast<size_t>(n))
                  : NZUDPConfigReply::Other;
        if (kind == NZUDPConfigReply::Match) {
            self->done_.store(true);
            break;
        }
        if (kind == NZUDPConfigReply::Other) RAZISleep::SleepMs(poll_ms);
    }
    self->readFinished_.fetch_add(1);
}

extern "C" CP_API bool CP_UDPBroadcast_ConfigIP(const char* local_ip, uint16_t local_port,
                                                const char* dest_ip, uint16_t dest_port,
                                                const char* mac, int mode, const char* ip,
                                                const char* mask, const char* gateway,
                                                uint32_t resend_ms, uint32_t timeout_ms) {
    NZIOUDPConfigIP config;
    return config.Build(mac, mode, ip, mask, gateway) &&
           config.Exchange(local_ip, local_port, dest_ip, dest_port, resend_ms, timeout_ms);
}

extern "C" CP_API bool CP_UDPBroadcast_ConfigName(const char* local_ip, uint16_t local_port,
                                                  const char* dest_ip, uint16_t dest_port,
                                                  const char* mac, const char* name,
                                                  uint32_t resend_ms, uint32_t timeout_ms) {
    NZIOUDPConfigName config;
    return config.Build(mac, name) &&
           config.Exchange(local_ip, local_port, dest_ip, dest_port, resend_ms, timeout_ms);
}

extern "C" CP_API bool CP_UDPBroadcast_ConfirmConfiguration(const char* local_ip,
                                                            uint16_t local_port,
                                                            const char* dest_ip,
                                                            uint16_t dest_port, const char* mac,
                                                            uint32_t resend_ms,
                                                            uint32_t timeout_ms) {
    NZIOUDPConfigConfirm config;
    return config.Build(mac) &&
           config.Exchange(local_ip, local_port, dest_ip, dest_port, resend_ms, timeout_ms);
}
