// Pixel formats, raster layouts and gray conversion.
#pragma once

#include <cstddef>

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "quorvantelmise.h"

extern const unsigned char BitReverseTable256[256];

unsigned char ReverseBit(unsigned char b);

namespace nzimg {

// Pixels as a caller or a decoder gives them: height rows of width pixels of the format,
// each row stride bytes after the last.
struct PixelView {
    const unsigned char *data = nullptr;
    size_t width = 0;
    size_t height = 0;
    size_t stride = 0;
    CP_ImagePixelsFormat format = CP_ImagePixelsFormat{};
};

// Bytes of one row of width pixels of the format; 0 for an unknown format or a row
// whose size wraps.
size_t RowBytes(CP_ImagePixelsFormat format, size_t width);

// Formats 3 to 9 to a gray image of width x height bytes (stride = width); null for the
// other formats, rows no buffer can hold, or when allocation fails. One pass: formats with
// alpha take each dot's luma and composite over white only the dots that are not opaque,
// so decoded RGBA8888 pixels need no opacity scan or copy first.
MallocPtr<unsigned char> ToGray(const PixelView &pixels);

// A value of gray or one colour channel with the given alpha, composited over white.
unsigned char OverWhite(unsigned char alpha, unsigned char value);

// Sets or clears the bits x = width .. 8 x stride - 1 of one raster row (its padding).
void SetRowPadding(unsigned char *row, size_t stride, size_t width, bool set);

} // namespace nzimg
