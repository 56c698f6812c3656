#include <gtest/gtest.h>

#include <cstdint>

#include "ImageTestUtil.h"
#include "nzcommon/imgprocess/NZImagePixels.h"
#include "quorvantelmise.h"

using imgtest::Bytes;
using imgtest::Take;

namespace {

// The documented arithmetic, written out plainly for whole-range comparisons.
int RefLuma(int r, int g, int b) { return static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b); }
int RefOverWhite(int gray, int a) {
    const double t = 1 - a / 255.0;
    return static_cast<int>(255 * t + gray * (1 - t) + 0.5);
}

Bytes Gray(const Bytes &px, size_t w, size_t h, size_t stride, int format) {
    return Take(Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(px.data(), w, h, stride,
                                                                 static_cast<CP_ImagePixelsFormat>(format)),
                w * h);
}

struct GrayCase {
    const char *name;
    int format;
    Bytes pixel;
    int gray;
};

TEST(ImageGray, SinglePixelsOfEveryFormat) {
    const GrayCase cases[] = {
        {"rgb white", 4, {255, 255, 255}, 255}, // the three weights sum to exactly 255.0
        {"rgb black", 4, {0, 0, 0}, 0},
        {"rgb red", 4, {255, 0, 0}, 76},
        {"rgb green", 4, {0, 255, 0}, 149},
        {"rgb blue", 4, {0, 0, 255}, 29},
        {"rgb mixed", 4, {100, 150, 200}, 140},
        {"rgb 1,1,1 truncates to 0", 4, {1, 1, 1}, 0},
        {"rgb 128 truncates to 127", 4, {128, 128, 128}, 127},
        {"rgb exact 45 falls to 44", 4, {0, 72, 24}, 44},
        {"bgr mixed", 5, {200, 150, 100}, 140},
        {"argb mixed opaque", 6, {255, 100, 150, 200}, 140},
        {"rgba mixed opaque", 7, {100, 150, 200, 255}, 140},
        {"abgr mixed opaque", 8, {255, 200, 150, 100}, 140},
        {"bgra mixed opaque", 9, {200, 150, 100, 255}, 140},
        {"rgba transparent black", 7, {0, 0, 0, 0}, 255},
        {"rgba opaque black", 7, {0, 0, 0, 255}, 0},
        {"rgba opaque white", 7, {255, 255, 255, 255}, 255},
        {"rgba half black", 7, {0, 0, 0, 128}, 127},
        {"argb half red", 6, {128, 255, 0, 0}, 165},
        {"abgr faint black", 8, {1, 0, 0, 0}, 254},
        {"bgra mixed 200", 9, {200, 150, 100, 200}, 165},
        {"gray copies", 3, {77}, 77},
    };
    for (const GrayCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes g = Gray(c.pixel, 1, 1, c.pixel.size(), c.format);
        ASSERT_EQ(g.size(), 1u);
        EXPECT_EQ(g[0], c.gray);
    }
}

TEST(ImageGray, EveryRgbValueMatchesTheTruncatedWeightedSum) {
    // All 2^24 colours: 4096 x 4096 RGB pixels, rows padded to show the stride is used.
    const size_t w = 4096, h = 4096, stride = w * 3 + 5;
    Bytes px(stride * h);
    for (size_t i = 0; i < w * h; ++i) {
        unsigned char *p = &px[(i / w) * stride + (i % w) * 3];
        p[0] = static_cast<unsigned char>(i >> 16), p[1] = static_cast<unsigned char>(i >> 8), p[2] = static_cast<unsigned char>(i);
    }
    const Bytes g = Gray(px, w, h, stride, 4);
    ASSERT_EQ(g.size(), w * h);
    size_t wrong = 0;
    for (size_t i = 0; i < w * h; ++i)
        if (g[i] != RefLuma(int(i >> 16), int(i >> 8 & 255), int(i & 255)) && ++wrong < 5)
            ADD_FAILURE() << "rgb " << (i >> 16) << "," << (i >> 8 & 255) << "," << (i & 255) << " gave " << int(g[i]);
    EXPECT_EQ(wrong, 0u);
}

TEST(ImageGray, EveryAlphaAndGrayPairCompositesOverWhite) {
    // RGBA pixels (v, v, v, a) for every v and a.
    Bytes px(256 * 256 * 4);
    for (int a = 0; a < 256; ++a)
        for (int v = 0; v < 256; ++v) {
            unsigned char *p = &px[(a * 256 + v) * 4];
            p[0] = p[1] = p[2] = static_cast<unsigned char>(v);
            p[3] = static_cast<unsigned char>(a);
        }
    const Bytes g = Gray(px, 256, 256, 256 * 4, 7);
    ASSERT_EQ(g.size(), 256u * 256u);
    for (int a = 0; a < 256; ++a)
        for (int v = 0; v < 256; ++v)
            ASSERT_EQ(g[a * 256 + v], RefOverWhite(RefLuma(v, v, v), a)) << "v " << v << " a " << a;
}

TEST(ImageGray, GrayFormatCopiesRowsFromTheStride) {
    const Bytes px = {1, 2, 3, 99, 4, 5, 6, 99};
    EXPECT_BYTES_EQ((Bytes{1, 2, 3, 4, 5, 6}), Gray(px, 3, 2, 4, 3));
}

TEST(ImageGray, FormatsWithoutAGrayMeaningAreRefused) {
    // Used to come back as an all-black image, which printed as a black block.
    const Bytes px(64, 0xFF);
    for (int format : {0, 1, 2, 10, -1})
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(px.data(), 2, 2, 8,
                                                                   static_cast<CP_ImagePixelsFormat>(format)),
                  nullptr)
            << format;
}

TEST(ImagePixels, MonoMsbKeepsTheStrideAndClearsPadding) {
    // 10 dots wide, stride 4, every bit set.
    const Bytes px(4 * 3, 0xFF);
    size_t size = 0, bpl = 0;
    unsigned char *r = Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(px.data(), 10, 3, 4, CP_ImagePixelsFormat_Mono,
                                                                              static_cast<CP_ImageBinarizationMethod>(9), &size, &bpl);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(bpl, 4u);
    EXPECT_BYTES_EQ((Bytes{0xFF, 0xC0, 0, 0, 0xFF, 0xC0, 0, 0, 0xFF, 0xC0, 0, 0}), Take(r, size));
}

TEST(ImagePixels, MonoLsbIsBitReversedWithPaddingKept) {
    // Leftmost dot in bit 0; the padding bits (set) end up at the right end after reversal.
    const Bytes px = {0x01, 0xFC, 0x03, 0xF0};
    size_t size = 0, bpl = 0;
    unsigned char *r = Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(px.data(), 10, 2, 2, CP_ImagePixelsFormat_MonoLsb,
                                                                              CP_ImageBinarizationMethod_Dithering, &size, &bpl);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(bpl, 2u);
    EXPECT_BYTES_EQ((Bytes{0x80, 0x3F, 0xC0, 0x0F}), Take(r, size));
}

TEST(ImagePixels, DispatcherBinarisesColourThroughGray) {
    // RGB black, white, and a gray of 140 next to each other, thresholded at their mean.
    const Bytes px = {0, 0, 0, 255, 255, 255, 100, 150, 200};
    size_t size = 0, bpl = 0;
    unsigned char *r = Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(px.data(), 3, 1, 9, CP_ImagePixelsFormat_Rgb888,
                                                                              CP_ImageBinarizationMethod_Thresholding, &size, &bpl);
    EXPECT_EQ(bpl, 1u);
    EXPECT_BYTES_EQ((Bytes{0x80}), Take(r, size)); // mean 131.67: only black is below
}

TEST(ImagePixels, DispatcherRefusesUnknownFormatsAndMethods) {
    const Bytes px(64, 0x80);
    for (int format : {0, 10}) {
        size_t size = 77, bpl = 77;
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(px.data(), 2, 2, 8, static_cast<CP_ImagePixelsFormat>(format),
                                                                         CP_ImageBinarizationMethod_Dithering, &size, &bpl),
                  nullptr);
        EXPECT_EQ(size, 77u);
        EXPECT_EQ(bpl, 77u);
    }
    for (int format : {3, 4, 9})
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(px.data(), 2, 2, 8, static_cast<CP_ImagePixelsFormat>(format),
                                                                         static_cast<CP_ImageBinarizationMethod>(3), nullptr, nullptr),
                  nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(nullptr, 2, 2, 8, CP_ImagePixelsFormat_Rgb888,
                                                                     CP_ImageBinarizationMethod_Dithering, nullptr, nullptr),
              nullptr);
}

TEST(ImagePixels, SizesThatWrapAreRefused) {
    const Bytes px(64, 0);
    const size_t huge = SIZE_MAX / 2 + 1;
    EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(px.data(), huge, 2, 8, CP_ImagePixelsFormat_Rgb888), nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(px.data(), 8, 2, huge, CP_ImagePixelsFormat_Mono,
                                                                     CP_ImageBinarizationMethod_Dithering, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_GetBGRA8888ImageFromRGB888Image(px.data(), huge / 2, 2, 8), nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(huge, 8, 2, px.data(), 0), nullptr);
}

// Sizes whose rows no buffer can hold: a caller's small buffer is never read past.
TEST(ImagePixels, RowsNoBufferCanHoldAreRefused) {
    const Bytes px(64, 0);
    const unsigned char *p = px.data();
    const size_t far = size_t{1} << 62, big = size_t{1} << 31;
    const struct {
        const char *name;
        unsigned char *(*call)(const unsigned char *, size_t, size_t);
    } cases[] = {
        {"scale RGB888", [](const unsigned char *src, size_t, size_t b) { return Quorvantelmise_ImgUtils_ScaleRGB888Image(b, b, src, 2, 2); }},
        {"scale BGRA8888", [](const unsigned char *src, size_t, size_t b) { return Quorvantelmise_ImgUtils_ScaleBGRA8888Image(b, b / 2, src, 2, 2); }},
        {"gray", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(src, 2, 2, f, CP_ImagePixelsFormat_Rgb888); }},
        {"mono of RGB", [](const unsigned char *src, size_t f, size_t) {
             return Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(src, 2, 2, f, CP_ImagePixelsFormat_Rgb888, CP_ImageBinarizationMethod_Dithering, nullptr, nullptr);
         }},
        {"mono of gray", [](const unsigned char *src, size_t f, size_t) {
             return Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(src, 2, 2, f, CP_ImagePixelsFormat_Gray8, CP_ImageBinarizationMethod_Thresholding, nullptr, nullptr);
         }},
        {"dither", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseDithering(src, 2, 2, f, nullptr, nullptr); }},
        {"threshold", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseThresholding(src, 2, 2, f, nullptr, nullptr); }},
        {"diffusion", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusionV2(src, 2, 2, f, nullptr, nullptr); }},
        {"integer diffusion", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion(src, 2, 2, f, nullptr, nullptr); }},
        {"raster to Image1", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(f, 8, 2, src); }},
        {"raster to gray", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToGrayImage(f, 8, 2, src); }},
        {"wider stride", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(f, 8, 2, src, 2, 0); }},
        {"Image1 to vertical", [](const unsigned char *src, size_t f, size_t) {
             return Quorvantelmise_ImgUtils_ConvertImage1ToVerticalRasterImageSpecifyDstWidthDotsAndHeightBytes(f, 2, src, 2, 1);
         }},
        {"aligned copy", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_GetAlignedHorizontalRasterImageData(src, f, 2, 1, 2, 0); }},
        {"RGB to BGRA", [](const unsigned char *src, size_t f, size_t) { return Quorvantelmise_ImgUtils_GetBGRA8888ImageFromRGB888Image(src, 2, 2, f); }},
    };
    for (const auto &c : cases) EXPECT_EQ(c.call(p, far, big), nullptr) << c.name;
    EXPECT_EQ(Quorvantelmise_ImgUtils_GetRasterDataCompressToJBIGDataLength(p, 0, 2, 2, far, CP_ImagePixelsFormat_Rgb888,
                                                                          CP_ImageBinarizationMethod_Dithering),
              0u);
    // The diffusion kernel copies width x height doubles when source and destination differ.
    std::vector<double> src(4, 1.0), dst(4, 7.0);
    Quorvantelmise_ImgUtils_dither_image_5x5(1 << 30, 1 << 30, src.data(), dst.data());
    EXPECT_EQ(dst, std::vector<double>(4, 7.0));
}

struct OverboundCase {
    const char *name;
    size_t width;
    int flag;
    Bytes expected; // one row of 3 bytes from 0x5A 0x5A 0x5A
};

TEST(ImagePixels, OverboundBitsAreSetOrCleared) {
    const OverboundCase cases[] = {
        {"cleared from 10", 10, 0, {0x5A, 0x40, 0x00}},
        {"set from 10", 10, 1, {0x5A, 0x7F, 0xFF}},
        {"set from 16", 16, 1, {0x5A, 0x5A, 0xFF}},
        {"width covers the row", 24, 0, {0x5A, 0x5A, 0x5A}},
        {"cleared from 0", 0, 0, {0x00, 0x00, 0x00}},
    };
    const Bytes row = {0x5A, 0x5A, 0x5A};
    for (const OverboundCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_BYTES_EQ(c.expected, Take(Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(3, c.width, 1, row.data(), c.flag), 3));
    }
}

TEST(ImagePixels, WiderStrideCopiesRowsAndFillsTheRest) {
    const Bytes raster = {0xFF, 0xFF, 0x00, 0x00};
    EXPECT_BYTES_EQ((Bytes{0xFF, 0xC0, 0x00, 0x00, 0x00, 0x00}),
                    Take(Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(2, 10, 2, raster.data(), 3, 0), 6));
    EXPECT_BYTES_EQ((Bytes{0xFF, 0xFF, 0xFF, 0x00, 0x3F, 0xFF}),
                    Take(Quorvantelmise_ImgUtils_DumpRasterDataToWiderStrideAndSetOverbound(2, 10, 2, raster.data(), 3, 1), 6));
}

TEST(ImagePixels, HorizontalRasterToImage1AndGray) {
    const Bytes raster = {0xA0, 0x40, 0x5F, 0x80}; // 10 x 2, stride 2
    EXPECT_BYTES_EQ((Bytes{1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0}),
                    Take(Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(2, 10, 2, raster.data()), 20));
    EXPECT_BYTES_EQ((Bytes{0, 255, 0, 255, 255, 255, 255, 255, 255, 0}),
                    Take(Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToGrayImage(2, 10, 2, raster.data()), 10));
    // A stride too short for the width would read into the next row and past the end.
    EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToImage1(1, 10, 2, raster.data()), nullptr);
    EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertHorizontalRasterImageToGrayImage(1, 10, 2, raster.data()), nullptr);
}

TEST(ImagePixels, Image1ToVerticalRaster) {
    // 3 x 10, black on the diagonal and along the bottom row.
    Bytes image1(3 * 10, 0);
    image1[0 * 3 + 0] = image1[1 * 3 + 1] = image1[2 * 3 + 2] = 1;
    image1[9 * 3 + 0] = image1[9 * 3 + 1] = image1[9 * 3 + 2] = 0xFF; // only bit 0 counts
    image1[8 * 3 + 0] = 2;
    // Two bytes per column; the last 6 bits of each column stay 0.
    EXPECT_BYTES_EQ((Bytes{0x80, 0x40, 0x40, 0x40, 0x20, 0x40}),
                    Take(Quorvantelmise_ImgUtils_ConvertImage1ToVerticalRasterImageSpecifyDstWidthDotsAndHeightBytes(3, 10, image1.data(), 3, 2), 6));
    // A narrower, shorter destination keeps the top-left dots; a wider one stays 0 beyond.
    EXPECT_BYTES_EQ((Bytes{0x80, 0x40}),
                    Take(Quorvantelmise_ImgUtils_ConvertImage1ToVerticalRasterImageSpecifyDstWidthDotsAndHeightBytes(3, 10, image1.data(), 2, 1), 2));
    EXPECT_BYTES_EQ((Bytes{0x80, 0x40, 0x40, 0x40, 0x20, 0x40, 0, 0}),
                    Take(Quorvantelmise_ImgUtils_ConvertImage1ToVerticalRasterImageSpecifyDstWidthDotsAndHeightBytes(3, 10, image1.data(), 4, 2), 8));
}

TEST(ImagePixels, AlignedCopyFillsAroundTheSource) {
    const Bytes raster = {0x11, 0x22, 0x33, 0x44};
    EXPECT_BYTES_EQ((Bytes{0x11, 0x22, 0xEE, 0x33, 0x44, 0xEE, 0xEE, 0xEE, 0xEE}),
                    Take(Quorvantelmise_ImgUtils_GetAlignedHorizontalRasterImageData(raster.data(), 2, 2, 3, 3, 0xEE), 9));
    // A smaller destination is clipped, not overrun.
    EXPECT_BYTES_EQ((Bytes{0x11}), Take(Quorvantelmise_ImgUtils_GetAlignedHorizontalRasterImageData(raster.data(), 2, 2, 1, 1, 0), 1));
}

TEST(ImagePixels, RgbToBgra) {
    const Bytes rgb = {1, 2, 3, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12};
    EXPECT_BYTES_EQ((Bytes{3, 2, 1, 255, 6, 5, 4, 255, 9, 8, 7, 255, 12, 11, 10, 255}),
                    Take(Quorvantelmise_ImgUtils_GetBGRA8888ImageFromRGB888Image(rgb.data(), 2, 2, 7), 16));
}

TEST(ImagePixels, BitReversal) {
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
        ASSERT_EQ(ReverseBit(static_cast<unsigned char>(i)), r) << i;
    }
    const Bytes raster = {0x01, 0x80, 0xF0};
    EXPECT_BYTES_EQ((Bytes{0x80, 0x01, 0x0F}), Take(Quorvantelmise_ImgUtils_ConvertMonoImageToMonoLsbFormat(raster.data(), 8, 3, 1), 3));
}

} // namespace
