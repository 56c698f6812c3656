// Barcode module rows to pixels, and barcode widths for the page layout.
#pragma once

#include <cstdint>

#include "nzcommon/imgprocess/BarcodeBitRow.h"

namespace nzbarcode {

struct BarcodeRow {
    uint8_t bits[kBitRowBytes];
    int width;  // dots of the row itself, without ITF-14 quiet zones
};

// Validates and renders `text` as `type` with `unit` dots a module. False on any failure.
bool EncodeBarcodeRow(int type, int unit, const char *text, BarcodeRow &row);

}  // namespace nzbarcode
