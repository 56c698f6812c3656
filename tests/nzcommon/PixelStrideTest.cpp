#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "nzcommon/imgprocess/NZImagePixels.h"
#include "quorvantelmise.h"

namespace {

constexpr size_t kWidth = 17, kHeight = 3;
constexpr auto kDither = CP_ImageBinarizationMethod_Dithering;

bool Made(void *p) {
    std::free(p);
    return p != nullptr;
}

// One exported call that takes a stride; stride is signed so that the int forms can be
// given a negative one.
struct StrideCase {
    const char *name;
    CP_ImagePixelsFormat format; // what one row of kWidth is made of
    bool (*call)(const unsigned char *pixels, long long stride);
    bool takes_int_stride;
};

#define PIXELS_TO_MONO(f)                                                                                         \
    {"pixels to mono, format " #f, CP_ImagePixelsFormat(f),                                                       \
     [](const unsigned char *p, long long s) {                                                                    \
         return Made(Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(p, kWidth, kHeight, size_t(s),       \
                                                                           CP_ImagePixelsFormat(f), kDither,      \
                                                                           nullptr, nullptr));                    \
     },                                                                                                           \
     false}
#define TO_GRAY(f)                                                                                                \
    {"to gray, format " #f, CP_ImagePixelsFormat(f),                                                              \
     [](const unsigned char *p, long long s) {                                                                    \
         return Made(Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(p, kWidth, kHeight, size_t(s), CP_ImagePixelsFormat(f))); \
     },                                                                                                           \
     false}
#define GRAY_CALL(name, expr)                                                                                     \
    {name, CP_ImagePixelsFormat_Gray8, [](const unsigned char *p, long long s) { return Made(expr); }, false}
#define RASTER_CALL(name, expr)                                                                                   \
    {name, CP_ImagePixelsFormat_Mono, [](const unsigned char *p, long long s) { return Made(expr); }, false}
// The JBIG calls give a length, 0 on failure; the Bytes forms write into dst.
#define JBIG_CALL(name, format, int_stride, expr)                                                                 \
    {name, format,                                                                                                \
     [](const unsigned char *p, long long s) {                                                                    \
         unsigned char dst[4096];                                                                                 \
         (void)dst;                                                                                               \
         return (expr) != 0;                                                                                      \
     },                                                                                                           \
     int_stride}

const StrideCase kStrideCases[] = {
    PIXELS_TO_MONO(1), PIXELS_TO_MONO(2), PIXELS_TO_MONO(3), PIXELS_TO_MONO(4), PIXELS_TO_MONO(5),
    PIXELS_TO_MONO(6), PIXELS_TO_MONO(7), PIXELS_TO_MONO(8), PIXELS_TO_MONO(9),
    TO_GRAY(3), TO_GRAY(4), TO_GRAY(5), TO_GRAY(6), TO_GRAY(7), TO_GRAY(8), TO_GRAY(9),
    {"RGB to BGRA", CP_ImagePixelsFormat_Rgb888,
     [](const unsigned char *p, long long s) {
         return Made(Quorvantelmise_ImgUtils_GetBGRA8888ImageFromRGB888Image(p, kWidth, kHeight, size_t(s)));
     },
     false},
    GRAY_CALL("gray to mono, dither", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(p, kWidth, kHeight, size_t(s), kDither, nullptr, nullptr)),
    GRAY_CALL("gray to mono, threshold", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(p, kWidth, kHeight, size_t(s), CP_ImageBinarizationMethod_Thresholding, nullptr, nullptr)),
    GRAY_CALL("gray to mono, diffusion", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(p, kWidth, kHeight, size_t(s), CP_ImageBinarizationMethod_ErrorDiffusion, nullptr, nullptr)),
    GRAY_CALL("dithering", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseDithering(p, kWidth, kHeight, size_t(s), nullptr, nullptr)),
    GRAY_CALL("thresholding", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseThresholding(p, kWidth, kHeight, size_t(s), nullptr, nullptr)),
    GRAY_CALL("error diffusion V2", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusionV2(p, kWidth, kHeight, size_t(s), nullptr, nullptr)),
    GRAY_CALL("integer error diffusion", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion(p, kWidth, kHeight, size_t(s), nullptr, nullptr)),
    RASTER_CALL("mono to LSB", Quorvantelmise_ImgUtils_ConvertMonoImageToMonoLsbFormat(p, kWidth, kHeight, size_t(s))),
    RASTER_CALL("set overbound", Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(size_t(s), kWidth, kHeight, p, 1)),
    RASTER_CALL("wider stride, old stride", Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(size_t(s), kWidth, kHeight, p, 8, 1)),
    RASTER_CALL("wider stride, both strides", Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(size_t(s), kWidth, kHeight, p, size_t(s), 1)),
    RASTER_CALL("raster to Image1", Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(size_t(s), kWidth, kHeight, p)),
    RASTER_CALL("raster to gray", Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToGrayImage(size_t(s), kWidth, kHeight, p)),
    JBIG_CALL("JBIG length of RGB", CP_ImagePixelsFormat_Rgb888, false,
              Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataLength(p, 0, kWidth, kHeight, size_t(s), CP_ImagePixelsFormat_Rgb888, kDither)),
    JBIG_CALL("JBIG bytes of mono", CP_ImagePixelsFormat_Mono, false,
              Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataBytes(p, 0, kWidth, kHeight, size_t(s), CP_ImagePixelsFormat_Mono, kDither, dst, sizeof dst)),
    JBIG_CALL("CP_Image JBIG length of RGB", CP_ImagePixelsFormat_Rgb888, true,
              CP_Image_GetCompressToJBIGDataLength(p, 0, kWidth, kHeight, int(s), CP_ImagePixelsFormat_Rgb888, kDither)),
    JBIG_CALL("CP_Image JBIG length of gray", CP_ImagePixelsFormat_Gray8, true,
              CP_Image_GetCompressToJBIGDataLength(p, 0, kWidth, kHeight, int(s), CP_ImagePixelsFormat_Gray8, kDither)),
    JBIG_CALL("CP_Image JBIG bytes of BGRA", CP_ImagePixelsFormat_Bgra8888, true,
              CP_Image_GetCompressToJBIGDataBytes(p, 0, kWidth, kHeight, int(s), CP_ImagePixelsFormat_Bgra8888, kDither, dst, sizeof dst)),
};

// A stride shorter than one row of the format (a stride counted in pixels, say) would read
// each row into the next and the last row past a buffer of stride x height bytes; such a
// stride, and a negative one, is refused, while a stride of exactly one row still works.
TEST(PixelStride, StridesShorterThanARowAreRefused) {
    for (const StrideCase &c : kStrideCases) {
        SCOPED_TRACE(c.name);
        const size_t row = nzimg::RowBytes(c.format, kWidth);
        ASSERT_GT(row, 1u);
        // Exactly stride x height bytes on the heap, so a read past them is seen.
        std::vector<unsigned char> shorter((row - 1) * kHeight, 0x5A);
        EXPECT_FALSE(c.call(shorter.data(), static_cast<long long>(row - 1))) << "stride " << row - 1;
        if (c.takes_int_stride) {
            EXPECT_FALSE(c.call(shorter.data(), -static_cast<long long>(row))) << "negative stride";
        }
        std::vector<unsigned char> exact(row * kHeight, 0x5A);
        EXPECT_TRUE(c.call(exact.data(), static_cast<long long>(row))) << "stride " << row;
    }
}

} // namespace
