// Published pattern tables of the one-dimensional symbologies.
#pragma once

#include <cstdint>

namespace nzbarcode {

// EAN/UPC digit codes, 7 modules in the top 7 bits; index 10 is 0.
extern const uint8_t tbl13o[11];  // L (odd parity)
extern const uint8_t tbl13e[11];  // G (even parity)
extern const uint8_t tbl13r[11];  // R
// EAN-13 left-digit parity by first digit, bit 7 = first left digit, 1 = G; index 10 (all L)
// serves UPC-A.
extern const uint8_t EAN13Tbl[11];
// UPC-E parity by check digit for number system 0, bit 7 = first digit, 1 = G.
extern const uint8_t upctbl[10];
// 5-digit add-on parity by its checksum, bit 7 = first digit, 1 = G.
extern const uint8_t EAN13_5Tbl[10];

// Interleaved 2 of 5: 5 elements from bit 7, 1 = wide.
extern const uint8_t i25tbl[10];

// Code 39 characters; the start/stop character follows at index 43.
extern const char Code39Tbl[44];
// 9 elements (bar first), element 0 in bit 8, 1 = wide.
extern const uint16_t Code39BarTbl[44];
// Code 93: 9 modules per value, module 0 in bit 8; index 47 is start/stop.
extern const uint16_t Code93BarTbl[48];
// Code 11: digits, "-", start/stop; 5 elements from bit 4, 1 = wide.
extern const uint8_t Code11BarTbl[12];
// Codabar characters and their 7 elements from bit 6, 1 = wide.
extern const char CodeBarCharTbl[21];
extern const uint8_t CodeBarBarTbl[20];
// Code 128: 11 modules per value from bit 10; the stop value 106 is followed by two more
// bar modules.
extern const uint16_t Code128BarTbl[107];

// Full-ASCII shift characters per byte 0-127 (0 = no shift): Code 39 values 39-42,
// Code 93 values 43-46. Shift93Set2 is the character that follows the shift, or the byte's
// own character when it needs none.
extern const uint8_t (&Shift39Set1)[128];
extern const uint8_t (&Shift93Set1)[128];
extern const char (&Shift93Set2)[128];

// Index of c in Code39Tbl (first 43 entries), or -1.
int Code39Index(uint8_t c);

}  // namespace nzbarcode
