#include "ports/NZBleBaseIO.h"

bool NZBleBaseIO::OpenPeripheral(void*) {
    ClearFlags();
    return IsOpened();
}

void NZBleBaseIO::SetWriteMode(unsigned int, unsigned int, unsigned int, unsigned int) {}

void NZBleBaseIO_ios::SetWriteMode(unsigned int mode, unsigned int packet_size,
                                   unsigned int packet_timeout_ms, unsigned int retries) {
    constexpr unsigned int kMaxPacketTimeoutMs = 3600000;
    if (packet_timeout_ms > kMaxPacketTimeoutMs) packet_timeout_ms = kMaxPacketTimeoutMs;
    bridge_.SetWriteMode(clampInt(mode), clampInt(packet_size), static_cast<int>(packet_timeout_ms),
                         clampInt(retries));
}
