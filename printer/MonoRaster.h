#pragma once

// Images prepared for the printer's raster commands: loaded or taken from caller pixels,
// scaled, binarised, with the bits beyond the image width cleared in every row.

#include <cstddef>
#include <optional>

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "quorvantelmise.h"

struct MonoRaster {
    nzimg::MallocPtr<unsigned char> bits;
    size_t bytes_per_line = 0;
    size_t width = 0;  // dots
    size_t height = 0;

    // The size to draw an image of image_width x image_height at: a target dimension of 0 or
    // less follows the other and the aspect ratio, both 0 or less give the image's own size.
    // Empty when the result is not positive or does not fit an int.
    static std::optional<std::pair<int, int>> TargetSize(int image_width, int image_height,
                                                         int dst_width, int dst_height);

    // Empty on any failure: unreadable or undecodable image, a target size as above that
    // is not positive, a binarisation method outside 0 to 2.
    static std::optional<MonoRaster> FromFile(const char* path, int dst_width, int dst_height,
                                              CP_ImageBinarizationMethod method);
    static std::optional<MonoRaster> FromData(const unsigned char* data, unsigned int data_size,
                                              int dst_width, int dst_height,
                                              CP_ImageBinarizationMethod method);
    // At the pixels' own size. Rows start stride bytes apart and must hold a row of the
    // format; a nonzero data_length must cover every row read. Mono formats ignore method.
    static std::optional<MonoRaster> FromPixels(const unsigned char* pixels,
                                                unsigned int data_length, int width, int height,
                                                int stride, CP_ImagePixelsFormat format,
                                                CP_ImageBinarizationMethod method);
};
