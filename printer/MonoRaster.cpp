#include "printer/MonoRaster.h"

#include <climits>
#include <cstdint>

#include "nzcommon/imgprocess/NZImageBinarize.h"
#include "nzcommon/imgprocess/NZImageLoader.h"

namespace {

bool WithinLimits(uint64_t width, uint64_t height, const MonoRasterLimits& limits) {
    return (limits.max_width == 0 || width <= limits.max_width) &&
           (limits.max_height == 0 || height <= limits.max_height);
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
    if (data == nullptr || size == 0 || !nzimg::ValidBinarizationMethod(method)) return false;
    // Decoded once: the size and the pixels come from the same decode.
    nzimg::DecodedImage image;
    if (!nzimg::DecodeImage(data, size, &image)) return false;
    const std::optional<ImageTargetSize> target =
        ResolveImageTargetSize(image.width, image.height, dstw, dsth);
    if (!target || !WithinLimits(target->width, target->height, limits)) return false;
    // Decoded pixels are never mono, so their rasters come out with white padding already.
    return nzimg::DecodedToMonoRaster(image, static_cast<size_t>(target->width),
                                      static_cast<size_t>(target->height), method, out);
}

bool MonoRasterFromFile(const char* path, int dstw, int dsth, CP_ImageBinarizationMethod method,
                        const MonoRasterLimits& limits, MonoRaster* out) {
    RegularFile file;
    if (!nzimg::ReadImageFile(path, &file)) return false;
    return MonoRasterFromData(file.bytes.get(), file.size, dstw, dsth, method, limits, out);
}

bool MonoRasterFromPixels(const unsigned char* pixels, size_t pixels_length, int width,
                          int height, int stride, CP_ImagePixelsFormat format,
                          CP_ImageBinarizationMethod method, const MonoRasterLimits& limits,
                          MonoRaster* out) {
    if (pixels == nullptr || width <= 0 || height <= 0 || stride <= 0) return false;
    const uint64_t row_bytes = nzimg::RowBytes(format, static_cast<size_t>(width));
    // Rows that overlap or run past the caller's buffer are no image.
    if (row_bytes == 0 || static_cast<uint64_t>(stride) < row_bytes) return false;
    if (pixels_length != 0 &&
        static_cast<uint64_t>(stride) * static_cast<uint64_t>(height) > pixels_length) {
        return false;
    }
    if (!WithinLimits(width, height, limits)) return false;
    const nzimg::PixelView view{pixels, static_cast<size_t>(width), static_cast<size_t>(height),
                                static_cast<size_t>(stride), format};
    if (!nzimg::PixelsToMonoRaster(view, method, out)) return false;
    nzimg::SetPadding(*out, false);
    return true;
}
