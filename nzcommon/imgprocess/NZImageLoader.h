// Encoded images (BMP by the own reader, the rest by stb_image) to rasters.
#pragma once

#include <cstddef>

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "quorvantelmise.h"

namespace nzimg {

struct DecodedImage {
    // Top row first, rows without gaps: RGB888, or RGBA8888 when some pixel is not opaque.
    MallocPtr<unsigned char> pixels;
    CP_ImagePixelsFormat format = CP_ImagePixelsFormat_Rgb888;
    int bpp = 0; // bits per pixel of the encoded image
    int width = 0;
    int height = 0;
};

// The own BMP reader first, then stb_image.
bool DecodeImage(const unsigned char *data, size_t length, DecodedImage *out);

} // namespace nzimg
