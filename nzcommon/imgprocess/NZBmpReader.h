// The library's own reader for uncompressed 1, 4, 8 and 24-bit BMP images.
#pragma once

#include <cstddef>

// RGB888 pixels, top row first, stride 3 x width (malloc; the caller frees), or null when
// the data is not such a BMP or any part of it is missing. The three outs are required.
unsigned char *nzbmpreadrgb(const unsigned char *data, size_t length, int *out_bpp, int *out_width,
                            int *out_height);
