// Pixel formats, raster layouts and gray conversion.
#pragma once

#include <cstddef>

#include "quorvantelmise.h"

extern const unsigned char BitReverseTable256[256];

unsigned char ReverseBit(unsigned char b);

namespace nzimg {

// Gray of one colour pixel, before alpha compositing.
unsigned char GrayOfRgb(unsigned r, unsigned g, unsigned b);
// Gray composited over white by its alpha.
unsigned char GrayOverWhite(unsigned gray, unsigned alpha);

} // namespace nzimg
