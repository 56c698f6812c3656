// One-bit rasters: what every image path makes and the raster command encoders take.
#pragma once

#include <cstddef>

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "nzcommon/imgprocess/NZImagePixels.h"
#include "quorvantelmise.h"

namespace nzimg {

// Raster rows as the encoders read them: 1 = black, most significant bit leftmost.
struct RasterRows {
    const unsigned char *bits = nullptr;
    size_t bytes_per_line = 0;
    size_t lines = 0;
};

struct MonoRaster {
    MallocPtr<unsigned char> bits; // height rows of bytes_per_line bytes
    size_t bytes_per_line = 0;
    size_t width = 0;  // dots
    size_t height = 0; // rows

    size_t size() const { return bytes_per_line * height; }
    RasterRows rows() const { return {bits.get(), bytes_per_line, height}; }
};

// Sets or clears the bits right of the width in every row.
void SetPadding(MonoRaster &raster, bool set);

// Pixels of any format at their own size. The mono formats keep the stride as bytes per
// line and ignore the method. The layout is filled in as soon as it is known, so also
// when the raster cannot be allocated.
bool PixelsToMonoRaster(const PixelView &pixels, CP_ImageBinarizationMethod method, MonoRaster *out);

// The exported form of a raster: its bits handed to the caller, its size and bytes per
// line reported once its layout was known.
unsigned char *HandOver(bool made, MonoRaster &raster, size_t *out_size, size_t *out_bytes_per_line);

} // namespace nzimg
