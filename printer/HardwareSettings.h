// Hardware settings and data scrambling.
#pragma once

#include <cstddef>
#include <cstdint>

// 8-bit CRC: starts at 0xFF, shifts right, applies the polynomial as given (not
// bit-reversed), no final XOR.
uint8_t CRC8(const unsigned char* data, unsigned length, unsigned char polynomial);

// The four bytes after the nonce in the block whose CRC8 is the scrambling key. Printers
// that undo the scrambling must be given the same value.
constexpr uint8_t kCrcEncryptKeyConstant[4] = {0x51, 0x56, 0x54, 0x4D};
constexpr uint8_t kCrcEncryptPolynomial = 0x31;

// The key of a nonce: CRC8 of the nonce (high byte first) and the key constant.
uint8_t CrcEncryptKey(uint16_t nonce);
