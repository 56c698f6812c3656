// Code 39 (plain, full ASCII, full ASCII with check character) and Code 93.
#pragma once

#include <cstdint>

namespace nzbarcode {

uint32_t GenCODE39Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenCODE39FullChecksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenCODE39CFullChecksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenCODE93Checksum(uint8_t *text, uint8_t *values, int len);

int CODE39Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int CODE93Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);

}  // namespace nzbarcode
