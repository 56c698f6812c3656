#include "ports/NZCrc8.h"

uint8_t NZCrc8RightShift(const uint8_t* data, size_t length, uint8_t initial,
                         uint8_t polynomial) {
    uint8_t crc = initial;
    for (size_t i = 0; data != nullptr && i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint8_t>((crc >> 1) ^ polynomial)
                            : static_cast<uint8_t>(crc >> 1);
    }
    return crc;
}
