// Conversions of the address texts that network configuration sends.
#pragma once

#include <cstdint>

class NZHexStringUtils {
public:
    // "AA-BB-CC-DD-EE-FF" (any separator): six two-digit hexadecimal fields at positions
    // 0, 3, 6, 9, 12 and 15. False, with nothing promised in out6, for a shorter text or a
    // field that is not a hexadecimal number 0..255.
    static bool mac_string_to_bytes_a(const char *text, uint8_t *out6);
    // Dotted IPv4 text, exactly four decimal fields of 1 to 3 digits, each 0..255.
    static bool ip_string_to_bytes_a(const char *text, uint8_t *out4);
};
