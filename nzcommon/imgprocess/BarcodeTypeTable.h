// The validator and renderer of each renderer barcode type 0-29.
#pragma once

#include "nzcommon/imgprocess/BarcodeBitRow.h"

namespace nzbarcode {

constexpr int kBarcodeTypeCount = 30;
constexpr int kTypeItf14 = 28;

// Entries 20, 25 and 27 are null.
extern const Validator BarFunctbl[kBarcodeTypeCount];
extern const Renderer PrnBarFunctbl[kBarcodeTypeCount];

}  // namespace nzbarcode
