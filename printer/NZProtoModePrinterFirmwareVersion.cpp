#include "printer/NZProtoModePrinterFirmwareVersion.h"

#include <cstring>

void NZProtoModePrinterFirmwareVersion::Store(const unsigned char* body, std::size_t length,
                                              uint64_t now_ms)
{
    const std::size_t n = body == nullptr ? 0 : (length < kTextSize - 1 ? length : kTextSize - 1);
    if (n > 0) std::memcpy(text, body, n);
    std::memset(text + n, 0, kTextSize - n);
    timestamp_ms = now_ms;
}
