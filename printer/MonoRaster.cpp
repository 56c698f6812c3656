#include "printer/MonoRaster.h"

#include <climits>
#include <cstdint>
#include <utility>

namespace {

// Copies the converted raster with the bits beyond the width cleared, as the encoders send
// whole bytes.
std::optional<MonoRaster> Finish(unsigned char* converted, size_t bytes_per_line, size_t width,
                                 size_t height) {
    const nzimg::MallocPtr<unsigned char> owned(converted);
    if (!converted || bytes_per_line == 0) return std::nullopt;
    MonoRaster raster;
    raster.bits.reset(Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(
        bytes_per_line, width, height, converted, 0));
    if (!raster.bits) return std::nullopt;
    raster.bytes_per_line = bytes_per_line;
    raster.width = width;
    raster.height = height;
    return raster;
}

// Bytes of one row of pixels of the format; 0 for an unknown format.
size_t RowBytes(CP_ImagePixelsFormat format, size_t width) {
    switch (static_cast<int>(format)) {
    case 1:
    case 2: return (width + 7) / 8;
    case 3: return width;
    case 4:
    case 5: return 3 * width;
    case 6:
    case 7:
    case 8:
    case 9: return 4 * width;
    default: return 0;
    }
}

}  // namespace

std::optional<std::pair<int, int>> MonoRaster::TargetSize(int image_width, int image_height,
                                                          int dst_width, int dst_height) {
    int64_t w = dst_width;
    int64_t h = dst_height;
    if (image_width > 0 && image_height > 0) {
        if (w <= 0 && h <= 0) {
            w = image_width;
            h = image_height;
        } else if (w <= 0) {
            w = h * image_width / image_height;
        } else if (h <= 0) {
            h = w * image_height / image_width;
        }
    }
    if (w <= 0 || h <= 0 || w > INT_MAX || h > INT_MAX) return std::nullopt;
    return std::make_pair(static_cast<int>(w), static_cast<int>(h));
}

std::optional<MonoRaster> MonoRaster::FromFile(const char* path, int dst_width, int dst_height,
                                               CP_ImageBinarizationMethod method) {
    int bpp = 0, image_width = 0, image_height = 0;
    if (!path || !Quorvantelmise_ImgUtils_GetImageSizeFromFile(path, &bpp, &image_width,
                                                               &image_height)) {
        return std::nullopt;
    }
    const auto size = TargetSize(image_width, image_height, dst_width, dst_height);
    if (!size) return std::nullopt;
    size_t total = 0, bytes_per_line = 0;
    unsigned char* converted = Quorvantelmise_ImgUtils_ConvertImageFileToMonoFormat(
        path, size->first, size->second, method, &total, &bytes_per_line);
    return Finish(converted, bytes_per_line, size->first, size->second);
}

std::optional<MonoRaster> MonoRaster::FromData(const unsigned char* data, unsigned int data_size,
                                               int dst_width, int dst_height,
                                               CP_ImageBinarizationMethod method) {
    int bpp = 0, image_width = 0, image_height = 0;
    if (!data || !Quorvantelmise_ImgUtils_GetImageSizeFromData(data, data_size, &bpp,
                                                               &image_width, &image_height)) {
        return std::nullopt;
    }
    const auto size = TargetSize(image_width, image_height, dst_width, dst_height);
    if (!size) return std::nullopt;
    size_t total = 0, bytes_per_line = 0;
    unsigned char* converted = Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(
        data, data_size, size->first, size->second, method, &total, &bytes_per_line);
    return Finish(converted, bytes_per_line, size->first, size->second);
}

std::optional<MonoRaster> MonoRaster::FromPixels(const unsigned char* pixels,
                                                 unsigned int data_length, int width, int height,
                                                 int stride, CP_ImagePixelsFormat format,
                                                 CP_ImageBinarizationMethod method) {
    if (!pixels || width <= 0 || height <= 0 || stride <= 0) return std::nullopt;
    const size_t row = RowBytes(format, static_cast<size_t>(width));
    if (row == 0 || static_cast<size_t>(stride) < row) return std::nullopt;
    // Mono rows are copied whole; the others are read up to the last pixel.
    const bool mono = format == CP_ImagePixelsFormat_Mono || format == CP_ImagePixelsFormat_MonoLsb;
    const uint64_t needed = static_cast<uint64_t>(stride) * (static_cast<uint64_t>(height) - 1) +
                            (mono ? static_cast<uint64_t>(stride) : row);
    if (data_length != 0 && data_length < needed) return std::nullopt;
    size_t total = 0, bytes_per_line = 0;
    unsigned char* converted = Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(
        pixels, width, height, stride, format, method, &total, &bytes_per_line);
    return Finish(converted, bytes_per_line, width, height);
}
