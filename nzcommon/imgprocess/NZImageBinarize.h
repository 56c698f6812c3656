// Gray image to 1-bit raster: ordered dither, mean threshold and error diffusion.
#pragma once

#include "quorvantelmise.h"

// Ordered-dither thresholds, [row][column]; a dot is black when its gray is at or below.
extern const unsigned char Floyd16x16[16][16];
