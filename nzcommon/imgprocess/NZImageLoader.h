// Encoded images (BMP by the own reader, the rest by stb_image) to rasters.
#pragma once

#include <cstddef>

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "quorvantelmise.h"

namespace nzimg {

struct DecodedImage {
    MallocPtr<unsigned char> rgb; // RGB888, top row first, stride 3 x width
    int bpp = 0;                  // bits per pixel of the encoded image
    int width = 0;
    int height = 0;
};

// The own BMP reader first, then stb_image asked for three channels.
bool DecodeImage(const unsigned char *data, size_t length, DecodedImage *out);

} // namespace nzimg
