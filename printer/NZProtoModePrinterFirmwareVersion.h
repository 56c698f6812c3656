#pragma once

#include <cstddef>
#include <cstdint>

// The printer's firmware-version text, kept from the last command-32 reply.
struct NZProtoModePrinterFirmwareVersion {
    static constexpr std::size_t kTextSize = 256;
    static constexpr uint16_t kCommand = 32;

    char text[kTextSize] = {};
    uint64_t timestamp_ms = 0;

    // Keeps at most 255 bytes of body as the text, NUL-terminated at the new length so a
    // shorter version does not keep the tail of a longer one.
    void Store(const unsigned char* body, std::size_t length, uint64_t now_ms);
};
