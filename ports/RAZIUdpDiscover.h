// Network printer discovery by UDP broadcast: two query kinds, each answered by one family of
// printer interfaces, sent from every local IPv4 address; recognised replies are reported.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quorvantelmise.h"

constexpr size_t kRAZIDiscoverQueryALength = 14;
constexpr size_t kRAZIDiscoverQueryBLength = 28;
constexpr size_t kRAZIDiscoverReplyALength = 184;
constexpr size_t kRAZIDiscoverReplyBLength = 302;

extern const uint8_t kRAZIDiscoverQueryA[kRAZIDiscoverQueryALength];
extern const uint8_t kRAZIDiscoverQueryB[kRAZIDiscoverQueryBLength];

struct RAZIDiscoveredPrinter {
    char mac[18];    // "%02X-%02X-%02X-%02X-%02X-%02X"
    char ip[16];     // the sender, "%d.%d.%d.%d"
    char name[129];  // the reply's name (at most 128 bytes), else the sender's address
};

// Recognises a reply by its exact length and prefix. sender_ip is in network byte order,
// as the socket address holds it.
bool RAZIUdpDiscover_ParseReply(const uint8_t *data, size_t length, uint32_t sender_ip,
                                RAZIDiscoveredPrinter *out);

class RAZIUdpDiscover {
public:
    static void RAZIUdpDiscover_StartDiscover(unsigned int timeout_ms, int *cancel,
                                              CP_OnNetPrinterDiscovered on_discovered,
                                              const void *private_data);
};
