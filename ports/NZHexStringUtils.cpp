#include "ports/NZHexStringUtils.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

bool NZHexStringUtils::mac_string_to_bytes_a(const char *text, uint8_t *out6) {
    // Fields sit at fixed positions: a short text would be read past its end.
    if (!text || !out6 || std::strlen(text) < 17) return false;
    for (int i = 0; i < 6; ++i) {
        const char *field = text + 3 * i;
        if (!std::isxdigit(static_cast<unsigned char>(field[0]))) return false;
        char *end = nullptr;
        const long v = std::strtol(field, &end, 16);
        if (end == field || v < 0 || v > 255) return false;
        out6[i] = static_cast<uint8_t>(v);
    }
    return true;
}

bool NZHexStringUtils::ip_string_to_bytes_a(const char *text, uint8_t *out4) {
    if (!text || !out4) return false;
    int fields = 0;
    const char *p = text;
    for (;;) {
        const char *dot = std::strchr(p, '.');
        const size_t len = dot ? static_cast<size_t>(dot - p) : std::strlen(p);
        if (len < 1 || len > 3 || fields == 4) return false;
        long v = 0;
        for (size_t i = 0; i < len; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(p[i]))) return false;
            v = v * 10 + (p[i] - '0');
        }
        if (v > 255) return false;
        out4[fields++] = static_cast<uint8_t>(v);
        if (!dot) break;
        p = dot + 1;
    }
    return fields == 4;
}
