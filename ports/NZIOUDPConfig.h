// Network configuration of a printer interface by UDP: request datagrams beginning "EPSONS",
// replies beginning "EPSONs", and the exchange that resends a request until its reply comes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ports/NZUdpClientIO.h"

enum class NZUDPConfigReply {
    Match,     // the reply to this request
    SameKind,  // right prefix and code, wrong length or MAC: another interface's reply
    Other,
};

constexpr size_t kNZUDPConfigIPRequestLength = 35;
constexpr size_t kNZUDPConfigNameRequestLength = 148;
constexpr size_t kNZUDPConfigConfirmRequestLength = 25;
constexpr size_t kNZUDPConfigReplyReadLength = 256;

// Builders: false, and nothing to send, when a MAC or address text does not convert.
bool NZIOUDPConfig_BuildIPRequest(const char *mac, int mode, const char *ip, const char *mask,
                                  const char *gateway, std::vector<uint8_t> &request);
bool NZIOUDPConfig_BuildNameRequest(const char *mac, const char *name,
                                    std::vector<uint8_t> &request);
bool NZIOUDPConfig_BuildConfirmRequest(const char *mac, std::vector<uint8_t> &request);

// Classifies a received datagram against a request made by one of the builders.
NZUDPConfigReply NZIOUDPConfig_MatchReply(const uint8_t *request, size_t request_length,
                                          const uint8_t *reply, size_t reply_length);

// One exchange: sends the request every resend_ms (at least 1 ms, which is also the reply
// socket's receive timeout) until the matching reply arrives or timeout_ms has passed.
class NZIOUDPConfig {
public:
    NZIOUDPConfig() = default;
    NZIOUDPConfig(const NZIOUDPConfig&) = delete;
    NZIOUDPConfig& operator=(const NZIOUDPConfig&) = delete;

    bool Exchange(const char* local_ip, unsigned short local_port, const char* dest_ip,
                  unsigned short dest_port, uint32_t resend_ms, uint32_t timeout_ms);
    bool IsReaderRunning() const { return readStart_.load() != readFinished_.load(); }

protected:
    std::vector<uint8_t> request_;  // built by the subclass before the exchange

private:
    static void readThreadFunc(void* self);

    std::atomic<uint64_t> readStart_{0};
    std::atomic<uint64_t> readStarted_{0};
    std::atomic<uint64_t> readFinished_{0};
    std::atomic<bool> stopRead_{false};
    NZUdpClientIO_ios socket_;
    std::atomic<bool> done_{false};
};

class NZIOUDPConfigIP : public NZIOUDPConfig {
public:
    bool Build(const char* mac, int mode, const char* ip, const char* mask, const char* gateway) {
        return NZIOUDPConfig_BuildIPRequest(mac, mode, ip, mask, gateway, request_);
    }
};

class NZIOUDPConfigName : public NZIOUDPConfig {
public:
    bool Build(const char* mac, const char* name) {
        return NZIOUDPConfig_BuildNameRequest(mac, name, request_);
    }
};

class NZIOUDPConfigConfirm : public NZIOUDPConfig {
public:
    bool Build(const char* mac) { return NZIOUDPConfig_BuildConfirmRequest(mac, request_); }
};
