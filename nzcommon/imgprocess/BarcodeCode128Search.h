// Code 128 with the shortest sequence of code sets, one byte per module.
#pragma once

#include <cstdint>

namespace nzbarcode {

// Bar/space pattern of each Code 128 value, 11 modules from bit 10, and the 13-module stop.
extern const uint16_t (&code128_pattern)[107];
constexpr uint16_t code128_stop_pattern = 0x18EB;  // 1100011101011

}  // namespace nzbarcode
