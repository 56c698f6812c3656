#include "printer/MonoRaster.h"

#include <climits>
#include <cstdint>

namespace {

bool WithinLimits(uint64_t width, uint64_t height, const MonoRasterLimits& limits) {
    return (limits.max_width == 0 || width <= limits.max_width) &&
           (limits.max_height == 0 || height <= limits.max_height);
}

// Takes a converted raster and clears the bits right of its width in a copy.
bool Finish(unsigned char* converted, size_t bytes_per_line, size_t width, size_t height,
            MonoRaster* out) {
    nzimg::MallocPtr<unsigned char> raster(converted);
    if (!raster) return false;
    out->bits.reset(Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(
        bytes_per_line, width, height, raster.get(), 0));
    if (!out->bits) return false;
    out->bytes_per_line = bytes_per_line;
    out->width = width;
    out->height = height;
    return true;
}

// Bytes of one row of width pixels in the format; 0 for an unknown format.
uint64_t RowBytes(CP_ImagePixelsFormat format, uint64_t width) {
    switch (static_cast<int>(format)) {
    case 1:
    case 2: return (width + 7) / 8;
    case 3: return width;
    case 4:
    case 5: return width * 3;
    case 6:
    case 7:
    case 8:
    case 9: return width * 4;
    default: return 0;
    }
}

}  // namespace

std::optional<ImageTargetSize> ResolveImageTargetSize(int image_width, int image_height,
                                                      int dstw, int dsth) {
    if (image_width <= 0 || image_height <= 0) return std::nullopt;
    int64_t width = dstw, height = dsth;
    if (width <= 0 && height <= 0) {
        width = image_width;
        height = image_height;
    } else if (width <= 0) {
        width = height * image_width / image_height;
    } else if (height <= 0) {
        height = width * image_height / image_width;
    }
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) return std::nullopt;
    return ImageTargetSize{static_cast<int>(width), static_cast<int>(height)};
}

bool MonoRasterFromData(const unsigned char* data, size_t size, int dstw, int dsth,
                        CP_ImageBinarizationMethod method, const MonoRasterLimits& limits,
                        MonoRaster* out) {
    if (data == nullptr || size == 0) return false;
    int image_width = 0, image_height = 0;
    if (!Quorvantelmise_ImgUtils_GetImageSizeFromData(data, size, nullptr, &image_width,
                                                      &image_height))
        return false;
    const std::optional<ImageTargetSize> target =
        ResolveImageTargetSize(image_width, image_height, dstw, dsth);
    if (!target || !WithinLimits(target->width, target->height, limits)) return false;
    const size_t width = static_cast<size_t>(target->width);
    const size_t height = static_cast<size_t>(target->height);
    size_t bytes_per_line = 0;
    unsigned char* converted = Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(
        data, size, width, height, method, nullptr, &bytes_per_line);
    return Finish(converted, bytes_per_line, width, height, out);
}

bool MonoRasterFromFile(const char* path, int dstw, int dsth, CP_ImageBinarizationMethod method,
                        const MonoRasterLimits& limits, MonoRaster* out) {
    if (path == nullptr) return false;
    // Read once, so that the size and the pixels come from the same bytes.
    long size = -1;
    nzimg::MallocPtr<unsigned char> file(Quorvantelmise_ImgUtils_ReadFile(path, &size));
    if (!file) return false;
    return MonoRasterFromData(file.get(), static_cast<size_t>(size), dstw, dsth, method, limits,
                              out);
}

bool MonoRasterFromPixels(const unsigned char* pixels, size_t pixels_length, int width,
                          int height, int stride, CP_ImagePixelsFormat format,
                          CP_ImageBinarizationMethod method, const MonoRasterLimits& limits,
                          MonoRaster* out) {
    if (pixels == nullptr || width <= 0 || height <= 0 || stride <= 0) return false;
    const uint64_t row_bytes = RowBytes(format, static_cast<uint64_t>(width));
    // Rows that overlap or run past the caller's buffer are no image.
    if (row_bytes == 0 || static_cast<uint64_t>(stride) < row_bytes) return false;
    if (pixels_length != 0 &&
        static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > pixels_length) {
        return false;
    }
    if (!WithinLimits(width, height, limits)) return false;
    size_t bytes_per_line = 0;
    unsigned char* converted = Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(
        pixels, static_cast<size_t>(width), static_cast<size_t>(height),
        static_cast<size_t>(stride), format, method, nullptr, &bytes_per_line);
    return Finish(converted, bytes_per_line, static_cast<size_t>(width),
                  static_cast<size_t>(height), out);
}
