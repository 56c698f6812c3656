// EAN-13, EAN-8, UPC-A and UPC-E with their 2- and 5-digit add-ons.
#pragma once

#include <cstdint>

namespace nzbarcode {

uint32_t GenEAN13Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenUPCAChecksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenUPCEChecksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenEAN13_2Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenEAN13_5Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenUPCA_2Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenUPCA_5Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenUPCE_2Checksum(uint8_t *text, uint8_t *values, int len);
uint32_t GenUPCE_5Checksum(uint8_t *text, uint8_t *values, int len);

int EAN13Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int EAN8Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int UPCEBarcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int EAN13_2Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int EAN13_5Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int EAN8_2Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int EAN8_5Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int UPCE_2Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);
int UPCE_5Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);

// The L code for set 0, G for 128, R for 2.
uint8_t Read13LRDot(uint8_t digit, int set);
// Zero-expansion of 6 UPC-E digits to the 11 UPC-A characters (number system "0" first).
void UPCE_to_UPCA(const uint8_t *upce, char *upca);

}  // namespace nzbarcode
