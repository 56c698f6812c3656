// Pixel formats, raster layouts and gray conversion.
#pragma once

#include <cstddef>

#include "quorvantelmise.h"

extern const unsigned char BitReverseTable256[256];

unsigned char ReverseBit(unsigned char b);

namespace nzimg {

// A value of gray or one colour channel with the given alpha, composited over white.
unsigned char OverWhite(unsigned char alpha, unsigned char value);

} // namespace nzimg
