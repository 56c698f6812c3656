#pragma once

#include <cstddef>
#include <cstdint>

// Right-shifting 8-bit CRC from initial, the polynomial applied as given, no final XOR.
// A null buffer counts as empty.
uint8_t NZCrc8RightShift(const uint8_t* data, size_t length, uint8_t initial, uint8_t polynomial);
