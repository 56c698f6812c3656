// Gray image to 1-bit raster: ordered dither, mean threshold and error diffusion.
#pragma once

#include "nzcommon/imgprocess/NZMonoRaster.h"
#include "quorvantelmise.h"

// Ordered-dither thresholds, [row][column]; a dot is black when its gray is at or below.
extern const unsigned char Floyd16x16[16][16];

namespace nzimg {

inline bool ValidBinarizationMethod(CP_ImageBinarizationMethod method) {
    const int m = static_cast<int>(method);
    return m >= 0 && m <= 2;
}

// Gray rows (the view's format is not looked at) to a raster by method 0, 1 or 2; any other
// method gives false with nothing filled in.
bool BinariseGray(const PixelView &gray, CP_ImageBinarizationMethod method, MonoRaster *out);

} // namespace nzimg
