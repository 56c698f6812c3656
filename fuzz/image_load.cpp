// Image loading on arbitrary bytes: size query, own-size and scaled rasters, vertical and
// aligned forms, through the own BMP reader and stb_image. The own-size raster is made
// twice, with memory dirtied between, and must come out the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <stb_image.h>

#include "quorvantelmise.h"
#include "tests/support/DirtyMemory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Keep each run quick: stb_image trusts header sizes and would spend seconds (and
    // gigabytes) on a few bytes that claim a huge picture.
    int iw = 0, ih = 0, ic = 0;
    if (size <= INT32_MAX && stbi_info_from_memory(data, static_cast<int>(size), &iw, &ih, &ic) &&
        std::llabs(static_cast<int64_t>(iw) * ih) > (1 << 16)) // top-down BMPs report a negative height
        return 0;
    int bpp = 0, w = 0, h = 0;
    if (!Quorvantelmise_ImgUtils_GetImageSizeFromData(data, size, &bpp, &w, &h)) return 0;
    if (static_cast<int64_t>(w) * h > (1 << 16)) return 0;
    const auto method = static_cast<CP_ImageBinarizationMethod>(size % 3);
    size_t out_size = 0, bpl = 0, ow = 0, oh = 0;
    unsigned char *r = Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(data, size, method, &out_size, &bpl, &ow, &oh);
    if (r) {
        if (out_size != bpl * oh || bpl != (ow + 7) / 8) std::abort();
        volatile unsigned char last = r[out_size - 1];
        (void)last;
    }
    qvtest::DirtyMemory(0xA5);
    size_t again_size = 0;
    unsigned char *again =
        Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormatWithoutScale(data, size, method, &again_size, &bpl, &ow, &oh);
    if (!r != !again || (r && (again_size != out_size || std::memcmp(r, again, out_size) != 0))) std::abort();
    std::free(again);
    std::free(r);
    std::free(Quorvantelmise_ImgUtils_ConvertImageDataToMonoFormat(data, size, 13, 7, method, &out_size, &bpl));
    std::free(Quorvantelmise_ImgUtils_ConvertImageDataToVerticalRasterImage(data, size, 9, 11, method, &out_size, &bpl));
    std::free(Quorvantelmise_ImgUtils_ConvertImageDataToHorizontalRasterImageWithoutScale(data, size, method, 24, 8, &out_size, &bpl,
                                                                                          &ow, &oh));
    return 0;
}
