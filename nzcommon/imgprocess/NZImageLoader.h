// Encoded images (BMP by the own reader, the rest by stb_image) to rasters.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

#include "base/RegularFile.h"

#include "nzcommon/imgprocess/NZImageBuffer.h"
#include "nzcommon/imgprocess/NZImagePixels.h"
#include "nzcommon/imgprocess/NZMonoRaster.h"
#include "quorvantelmise.h"

namespace nzimg {

struct DecodedImage {
    // Top row first, rows without gaps: RGB888 from the own BMP reader, else RGBA8888 in
    // stb_image's own buffer (freed by its own call).
    std::unique_ptr<unsigned char, void (*)(void *)> pixels{nullptr, &std::free};
    CP_ImagePixelsFormat format = CP_ImagePixelsFormat_Rgb888;
    bool opaque = true; // known without a look at the pixels: RGB888, or a JPEG
    int bpp = 0; // bits per pixel of the encoded image
    int width = 0;
    int height = 0;

    PixelView View() const;
};

// The own BMP reader first, then stb_image.
bool DecodeImage(const unsigned char *data, size_t length, DecodedImage *out);

// Whether n first bytes of a file (kImageHeadBytes, or the whole file when shorter) can
// start an image that either decoder reads.
constexpr size_t kImageHeadBytes = 16;
bool MayStartImage(const unsigned char *head, size_t n);

// An encoded image file whole. The decoder takes at most INT_MAX bytes, so a larger file is
// refused before anything is read, and one whose first bytes start no image after those.
bool ReadImageFile(const char *path, RegularFile *out);

// False for a PNG with a chunk that runs past the data (checked before stb_image sees it).
bool PngChunksArePresent(const unsigned char *data, size_t length);

// Decodes tried in this process so far, so that tests can tell a call decodes once.
unsigned long DecodeCount();

// The image at width x height by a binarisation method (0 to 2): converted directly at
// its own size (alpha composited over white by the gray conversion), else scaled
// bicubically first, after its pixels were composited over white in place.
bool DecodedToMonoRaster(DecodedImage &image, size_t width, size_t height, CP_ImageBinarizationMethod method,
                         MonoRaster *out);

} // namespace nzimg
