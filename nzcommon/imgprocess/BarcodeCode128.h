// Code 128 value lists (automatic and manual code sets, EAN-128, EAN-14) and their renderer.
#pragma once

#include <cstdint>

namespace nzbarcode {

uint32_t GenCode128Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenCode128MChecksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenCodeEAN128Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenCodeEAN14Checksum(uint8_t *text, uint8_t *values, int len);

int Code128Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);

// Code 128 value of a byte in code set A or B.
int Barcode_encode_as(int codeSet, uint8_t byte);

// Manual code-set control bytes.
enum : uint8_t {
    kCode128Fnc3 = 144,
    kCode128Fnc2 = 145,
    kCode128Shift = 146,
    kCode128CodeC = 147,
    kCode128CodeB = 148,
    kCode128CodeA = 149,
    kCode128Fnc1 = 150,
    kCode128StartA = 151,
    kCode128StartB = 152,
    kCode128StartC = 153,
};

}  // namespace nzbarcode
