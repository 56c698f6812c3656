// Network configuration of a printer interface by UDP: request datagrams beginning "EPSONS",
// replies beginning "EPSONs", and the exchange that resends a request until its reply comes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

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
