// Bicubic resampling of RGB888 and BGRA8888 images.
#pragma once

#include <cstddef>

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "quorvantelmise.h"

namespace nzimg {

// A new dw x dh RGB888 image resampled from sw x sh rows without gaps; null when a size is
// refused or allocation fails.
MallocPtr<unsigned char> ScaleRgb888(const unsigned char *src, size_t sw, size_t sh, size_t dw, size_t dh);

// The same from four bytes per pixel (R, G, B and one that is not read), such as opaque
// RGBA8888.
MallocPtr<unsigned char> ScaleRgb888FromRgbx(const unsigned char *src, size_t sw, size_t sh, size_t dw, size_t dh);

} // namespace nzimg
