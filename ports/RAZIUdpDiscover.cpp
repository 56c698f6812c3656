#include "ports/RAZIUdpDiscover.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ports/NZHostIPEnumerator.h"
#include "ports/NZNetSettings.h"
#include "ports/PortTiming.h"
#include "ports/RAZIThread.h"
#include "ports/RAZIUdpBroadcastHandler.h"

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

namespace {

// What one discovery socket reports with; read-only while the queries run.
struct DiscoverContext {
    std::string localAddress;
    CP_OnNetPrinterDiscovered onDiscovered;
    const void* privateData;
};

void ReadedEvent(const unsigned char* data, unsigned int length, unsigned int sender_ip,
                 unsigned short, void* raw) {
    const auto* record = static_cast<const DiscoverContext*>(raw);
    RAZIDiscoveredPrinter printer;
    if (!RAZIUdpDiscover_ParseReply(data, length, sender_ip, &printer)) return;
    record->onDiscovered(record->localAddress.c_str(), printer.mac, printer.ip, printer.name,
                         record->privateData);
}

// The caller owns the flag and sets it from any thread.
std::vector<std::string> LocalAddresses(const NZNetDestinations& destinations) {
    if (!destinations.discoveryLocalAddresses.empty()) return destinations.discoveryLocalAddresses;
    char list[100] = {};
    const unsigned int count = NZHostIPEnumerator_ios().Enumerate(list, sizeof list, nullptr);
    std::vector<std::string> addresses = NZHostIPEnumerator_ios::SplitList(list, count);
    if (addresses.empty()) addresses.emplace_back("0.0.0.0");
    return addresses;
}

struct QuerySocket {
    std::unique_ptr<RAZIUdpBroadcastHandler> handler = std::make_unique<RAZIUdpBroadcastHandler>();
    DiscoverContext record;
    bool open = false;
};

}  // namespace

void RAZIUdpDiscover::RAZIUdpDiscover_StartDiscover(unsigned int timeout_ms, int* cancel,
                                                    CP_OnNetPrinterDiscovered on_discovered,
                                                    const void* private_data) {
    if (on_discovered == nullptr) return;  // nothing could be reported
    const NZNetDestinations to = NZNetSettings::Get().destinations;
    const PortTiming timing = GetPortTiming();
    const std::vector<std::string> addresses = LocalAddresses(to);

    // Per local address: [2i] asks with query A, [2i + 1] with query B.
    std::vector<QuerySocket> sockets(addresses.size() * 2);
    bool any_open = false;
    for (size_t i = 0; i < sockets.size(); ++i) {
        QuerySocket& q = sockets[i];
        const std::string& local = addresses[i / 2];
        const unsigned short port = (i % 2 == 0) ? to.discoveryPortA : to.discoveryPortB;
        if (!q.handler->socket.OpenNonThread(local.c_str(), 0, to.discoveryAddress.c_str(), port))
            continue;
        q.handler->socket.setsockopt_reuseaddr(true);
        q.handler->socket.setsockopt_broadcast(true);
        q.handler->socket.setsockopt_sndtimeo(timeout_ms);
        q.handler->socket.setsockopt_rcvtimeo(timing.discoveryReceiveTimeoutMs);
        q.record = DiscoverContext{local, on_discovered, private_data};
        q.handler->callback = &ReadedEvent;
        q.handler->context = &q.record;
        q.open = true;
        any_open = true;
    }
    for (QuerySocket& q : sockets)
        if (q.open) q.handler->StartReadThread();
    for (QuerySocket& q : sockets)
        if (q.open) q.handler->WaitReadThreadStarted();

    const WholeSecondDeadline deadline(timeout_ms);
    while (any_open && !RAZICancelFlagSet(cancel) && !deadline.Passed()) {
        for (size_t i = 0; i < sockets.size() && !RAZICancelFlagSet(cancel); i += 2) {
            if (sockets[i].open)
                sockets[i].handler->socket.Write(kRAZIDiscoverQueryA, kRAZIDiscoverQueryALength, timeout_ms);
            if (sockets[i + 1].open)
                sockets[i + 1].handler->socket.Write(kRAZIDiscoverQueryB, kRAZIDiscoverQueryBLength, timeout_ms);
        }
        for (uint32_t k = 0; k < timing.discoveryCycleSleeps && !RAZICancelFlagSet(cancel); ++k)
            RAZISleep::SleepMs(static_cast<int>(timing.discoveryCycleSleepMs));
    }

    // Wake every reader out of its receive and let it finish before any socket closes.
    for (QuerySocket& q : sockets) q.handler->StopReadThread();
    for (QuerySocket& q : sockets) q.handler->WaitReadThreadFinished();
    for (QuerySocket& q : sockets) q.handler->socket.Close();
}

extern "C" CP_API void CP_Port_EnumNetPrinter(unsigned int timeout_ms, int* cancel,
                                              CP_OnNetPrinterDiscovered on_discovered,
                                              const void* private_data) {
    RAZIUdpDiscover::RAZIUdpDiscover_StartDiscover(timeout_ms, cancel, on_discovered, private_data);
}
