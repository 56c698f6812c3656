#include "nzcommon/imgprocess/NZMonoRaster.h"

#include <cstring>

#include "nzcommon/imgprocess/NZImageBinarize.h"

namespace nzimg {

void SetPadding(MonoRaster &raster, bool set) {
    if (!raster.bits) return;
    for (size_t y = 0; y < raster.height; ++y)
        SetRowPadding(raster.bits.get() + y * raster.bytes_per_line, raster.bytes_per_line, raster.width, set);
}

namespace {

// Mono pixels keep their rows; bits beyond the width become white (MSB first) or stay as
// they are (LSB first, only reversed).
bool MonoPixels(const PixelView &px, MonoRaster *out) {
    size_t size;
    if (!MulSize(px.stride, px.height, &size) || size > kMaxBufferBytes) return false;
    out->bytes_per_line = px.stride;
    out->width = px.width;
    out->height = px.height;
    out->bits.reset(AllocBytes(size));
    if (!out->bits) return false;
    if (px.format == CP_ImagePixelsFormat_Mono) {
        std::memcpy(out->bits.get(), px.data, size);
        SetPadding(*out, false);
    } else {
        for (size_t i = 0; i < size; ++i) out->bits.get()[i] = BitReverseTable256[px.data[i]];
    }
    return true;
}

} // namespace

bool PixelsToMonoRaster(const PixelView &px, CP_ImageBinarizationMethod method, MonoRaster *out) {
    const int code = static_cast<int>(px.format);
    if (code < 1 || code > 9 || !px.data || !StrideHoldsRow(px.format, px.width, px.stride)) return false;
    if (code == 1 || code == 2) return MonoPixels(px, out);
    if (code == 3) return BinariseGray(px, method, out);
    if (!ValidBinarizationMethod(method)) return false; // no point converting for a method that fails
    const MallocPtr<unsigned char> gray = ToGray(px);
    if (!gray) return false;
    return BinariseGray({gray.get(), px.width, px.height, px.width, CP_ImagePixelsFormat_Gray8}, method, out);
}

unsigned char *HandOver(bool made, MonoRaster &raster, size_t *out_size, size_t *out_bytes_per_line) {
    if (raster.bytes_per_line != 0 || raster.height != 0) {
        SetOut(out_size, raster.size());
        SetOut(out_bytes_per_line, raster.bytes_per_line);
    }
    return made ? raster.bits.release() : nullptr;
}

} // namespace nzimg

extern "C" {

CP_API unsigned char *Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(
    const unsigned char *pixels, size_t width, size_t height, size_t stride, CP_ImagePixelsFormat format,
    CP_ImageBinarizationMethod method, size_t *out_size, size_t *out_bytes_per_line) {
    nzimg::MonoRaster raster;
    const bool made = nzimg::PixelsToMonoRaster({pixels, width, height, stride, format}, method, &raster);
    return nzimg::HandOver(made, raster, out_size, out_bytes_per_line);
}

} // extern "C"
