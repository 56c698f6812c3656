// Two-width symbologies: Interleaved 2 of 5 (plain, with check digit, ITF-14), Codabar,
// Code 11 and MSI.
#pragma once

#include <cstdint>

namespace nzbarcode {

uint32_t GenI25Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenI25CChecksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenIITF14Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenCodeBarChecksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenCODE11Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenMSIChecksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenMSICChecksum(uint8_t *text, uint8_t *values, int len);

int I25Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int CodeBarBarcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int CODE11Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int MSIBarcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);

}  // namespace nzbarcode
