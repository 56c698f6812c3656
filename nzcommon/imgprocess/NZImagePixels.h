// Pixel formats, raster layouts and gray conversion.
#pragma once

#include <cstddef>

#include "quorvantelmise.h"

extern const unsigned char BitReverseTable256[256];

unsigned char ReverseBit(unsigned char b);
