#pragma once

// The one-bit raster of an image given to a print call (a file, encoded data or caller
// pixels): sized, binarised, and with the bits right of its width cleared so that row
// padding never prints.

#include <cstddef>
#include <optional>

#include "nzcommon/imgprocess/NZMonoRaster.h"
#include "quorvantelmise.h"

using MonoRaster = nzimg::MonoRaster;

// The largest image a print command can carry, checked after decoding, before anything is
// scaled or binarised. 0: no limit.
struct MonoRasterLimits {
    size_t max_width = 0;
    size_t max_height = 0;
};

struct ImageTargetSize {
    int width = 0;
    int height = 0;
};

// The size a file or data image is printed at: dstw x dsth when both are positive, the
// image's own size when neither is, else the missing side by the image's aspect ratio
// (truncated). Computed in 64 bits; nullopt when a side is still not positive or does not
// fit an int.
std::optional<ImageTargetSize> ResolveImageTargetSize(int image_width, int image_height,
                                                      int dstw, int dsth);

// An encoded image (any format the image loader reads) at its target size.
bool MonoRasterFromData(const unsigned char* data, size_t size, int dstw, int dsth,
                        CP_ImageBinarizationMethod method, const MonoRasterLimits& limits,
                        MonoRaster* out);
bool MonoRasterFromFile(const char* path, int dstw, int dsth, CP_ImageBinarizationMethod method,
                        const MonoRasterLimits& limits, MonoRaster* out);

// Caller pixels at their own size. A row of the format must fit in the stride, and a
// pixels_length other than 0 must cover stride * height bytes; 0 means the caller gave no
// length (the calls documented it as unused), so the rows are taken on trust. The mono formats keep the caller's stride as
// bytes per line and use no method.
bool MonoRasterFromPixels(const unsigned char* pixels, size_t pixels_length, int width,
                          int height, int stride, CP_ImagePixelsFormat format,
                          CP_ImageBinarizationMethod method, const MonoRasterLimits& limits,
                          MonoRaster* out);
