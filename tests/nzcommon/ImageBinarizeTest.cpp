#include <gtest/gtest.h>

#include <vector>

#include "ImageTestUtil.h"
#include "nzcommon/imgprocess/NZImageBinarize.h"
#include "quorvantelmise.h"

using imgtest::Bytes;
using imgtest::Take;

namespace {

Bytes Mono(const Bytes &gray, size_t w, size_t h, size_t stride, int method) {
    size_t size = 0, bpl = 0;
    unsigned char *r = Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(
        gray.data(), w, h, stride, static_cast<CP_ImageBinarizationMethod>(method), &size, &bpl);
    EXPECT_EQ(bpl, (w + 7) / 8);
    EXPECT_EQ(size, bpl * h);
    return Take(r, size);
}

bool Black(const Bytes &raster, size_t bpl, size_t x, size_t y) { return (raster[y * bpl + x / 8] >> (7 - x % 8)) & 1; }

size_t CountBlack(const Bytes &raster, size_t w, size_t h) {
    size_t n = 0;
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) n += Black(raster, (w + 7) / 8, x, y);
    return n;
}

TEST(ImageDither, MatrixIsTheRecursiveBayerMatrixWithOneEntryLowered) {
    // M(2n) = [[4M, 4M + 2], [4M + 3, 4M + 1]] unrolled: each bit pair of (y, x), top bit
    // first, picks from [[0, 2], [3, 1]] and weighs 1, 4, 16, 64.
    const int base[2][2] = {{0, 2}, {3, 1}};
    int counts[256] = {};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            int v = 0;
            for (int bit = 3, weight = 1; bit >= 0; --bit, weight *= 4) v += weight * base[(y >> bit) & 1][(x >> bit) & 1];
            if (y == 15 && x == 0) {
                EXPECT_EQ(v, 255);
                v = 254;
            }
            EXPECT_EQ(Floyd16x16[y][x], v) << y << "," << x;
            ++counts[Floyd16x16[y][x]];
        }
    EXPECT_EQ(counts[255], 0);
    EXPECT_EQ(counts[254], 2);
    const unsigned char row0[] = {0, 128, 32, 160, 8, 136, 40, 168}, row1[] = {192, 64, 224, 96};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Floyd16x16[0][x], row0[x]);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Floyd16x16[1][x], row1[x]);
}

TEST(ImageDither, UniformGrayBlackensTheEntriesAtOrAboveIt) {
    // 37 x 35 so that the fast 16-dot path, the 8-dot path and the tail all run.
    const size_t w = 37, h = 35;
    for (int g : {0, 1, 127, 128, 200, 254, 255}) {
        SCOPED_TRACE(g);
        const Bytes raster = Mono(Bytes(w * h, static_cast<unsigned char>(g)), w, h, w, 0);
        for (size_t y = 0; y < h; ++y)
            for (size_t x = 0; x < w; ++x)
                ASSERT_EQ(Black(raster, 5, x, y), g <= Floyd16x16[y % 16][x % 16]) << x << "," << y;
    }
    // 128 blackens exactly half of every 16 x 16 tile.
    EXPECT_EQ(CountBlack(Mono(Bytes(32 * 32, 128), 32, 32, 32, 0), 32, 32), 512u);
}

TEST(ImageDither, ReadsRowsThroughTheStrideAndLeavesPaddingWhite) {
    // 3 dots of 0 per row, then 5 bytes of 0 outside the image.
    const Bytes gray = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_BYTES_EQ((Bytes{0xE0, 0xE0}), Mono(gray, 3, 2, 8, 0));
}

struct ThresholdCase {
    const char *name;
    size_t w, h, stride;
    Bytes gray;
    Bytes expected;
};

TEST(ImageThreshold, BlackBelowTheMean) {
    const ThresholdCase cases[] = {
        {"uniform is all white", 3, 2, 3, {90, 90, 90, 90, 90, 90}, {0x00, 0x00}},
        {"equal to the mean is white", 3, 1, 3, {10, 20, 30}, {0x80}},
        {"mean 127.5", 2, 1, 2, {0, 255}, {0x80}},
        {"stride bytes do not count", 2, 2, 3, {0, 200, 255, 0, 200, 255}, {0x80, 0x80}},
        {"all black is all white", 9, 1, 9, {0, 0, 0, 0, 0, 0, 0, 0, 0}, {0x00, 0x00}},
        {"255 beside 254", 17, 1, 17, {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 254},
         {0x00, 0x00, 0x80}},
    };
    for (const ThresholdCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_BYTES_EQ(c.expected, Mono(c.gray, c.w, c.h, c.stride, 1));
    }
}

TEST(ImageThreshold, HalfDarkImageSplitsOnTheMean) {
    // Left half 40, right half 220 on a 100-dot row: the 16-dot path and the tail agree.
    Bytes gray(100 * 3);
    for (size_t i = 0; i < gray.size(); ++i) gray[i] = (i % 100) < 50 ? 40 : 220;
    const Bytes raster = Mono(gray, 100, 3, 100, 1);
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 100; ++x) ASSERT_EQ(Black(raster, 13, x, y), x < 50);
}

// Plain whole-image 5 x 5 serpentine diffusion, for comparison with the library's rolling
// rows and unchecked interior.
std::vector<double> ReferenceDiffusion(const Bytes &gray, int w, int h) {
    std::vector<double> img(gray.begin(), gray.end());
    for (int y = 0; y < h; ++y) {
        const bool ltr = y % 2 == 0;
        const int d = ltr ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = ltr ? i : w - 1 - i;
            const double v = img[y * w + x];
            double err;
            if (v < 128) {
                img[y * w + x] = 0;
                err = v;
            } else {
                img[y * w + x] = 255;
                err = v - 255;
            }
            struct Tap {
                int dx, dy, k;
            };
            const Tap taps[] = {{d, 0, 6},  {2 * d, 0, 4}, {-2, 1, 3}, {2, 1, 3}, {-1, 1, 5}, {1, 1, 5},
                                {0, 1, 6},  {-2, 2, 1},    {2, 2, 1},  {-1, 2, 3}, {1, 2, 3},  {0, 2, 4}};
            for (const Tap &t : taps)
                Quorvantelmise_ImgUtils_AddValueToImagePixel(w, h, img.data(), x + t.dx, y + t.dy, err * t.k / 44);
        }
    }
    return img;
}

TEST(ImageErrorDiffusion, MatchesThePlainWholeImageDiffusion) {
    const int sizes[][2] = {{1, 1}, {1, 5}, {2, 3}, {3, 3}, {4, 2}, {5, 7}, {8, 1}, {33, 17}};
    uint32_t seed = 1;
    for (const auto &s : sizes) {
        const int w = s[0], h = s[1];
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const Bytes gray = imgtest::Noise(size_t(w) * h, seed++);
        const std::vector<double> ref = ReferenceDiffusion(gray, w, h);
        const Bytes raster = Mono(gray, w, h, w, 2);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(Black(raster, (w + 7) / 8, x, y), ref[y * w + x] <= 127.0) << x << "," << y;
        // The exported kernel, in place and into a second buffer.
        std::vector<double> in(gray.begin(), gray.end()), out(in.size(), -1);
        Quorvantelmise_ImgUtils_dither_image_5x5(w, h, in.data(), out.data());
        Quorvantelmise_ImgUtils_dither_image_5x5(w, h, in.data(), in.data());
        EXPECT_EQ(out, ref);
        EXPECT_EQ(in, ref);
    }
}

TEST(ImageErrorDiffusion, SingleDotsAndANarrowColumn) {
    EXPECT_BYTES_EQ((Bytes{0x80}), Mono({127}, 1, 1, 1, 2));
    EXPECT_BYTES_EQ((Bytes{0x00}), Mono({128}, 1, 1, 1, 2));
    // One dot wide: only the dots one and two below take error. 100 -> black (err 100);
    // 200 + 13.6 -> white (err -41.4); 100 + 9.1 - 5.6 -> black.
    EXPECT_BYTES_EQ((Bytes{0x80, 0x00, 0x80}), Mono({100, 200, 100}, 1, 3, 1, 2));
}

TEST(ImageErrorDiffusion, UniformGrayKeepsItsDensity) {
    const size_t w = 200, h = 200;
    for (int g : {32, 64, 128, 192, 224}) {
        SCOPED_TRACE(g);
        const double share = double(CountBlack(Mono(Bytes(w * h, static_cast<unsigned char>(g)), w, h, w, 2), w, h)) / (w * h);
        EXPECT_NEAR(share, (255.0 - g) / 255.0, 0.01);
    }
    EXPECT_EQ(CountBlack(Mono(Bytes(w * h, 0), w, h, w, 2), w, h), w * h);
    EXPECT_EQ(CountBlack(Mono(Bytes(w * h, 255), w, h, w, 2), w, h), 0u);
}

TEST(ImageErrorDiffusion, AddValueStaysInsideTheImage) {
    std::vector<double> img(6, 0);
    for (int xy : {-1, 3, 2})
        Quorvantelmise_ImgUtils_AddValueToImagePixel(3, 2, img.data(), xy, 0, 1); // only x = 2 is inside
    Quorvantelmise_ImgUtils_AddValueToImagePixel(3, 2, img.data(), 0, 2, 1);
    Quorvantelmise_ImgUtils_AddValueToImagePixel(3, 2, img.data(), 0, -1, 1);
    Quorvantelmise_ImgUtils_AddValueToImagePixel(3, 2, img.data(), 1, 1, 2.5);
    EXPECT_EQ(img, (std::vector<double>{0, 0, 1, 0, 2.5, 0}));
}

struct FloydCase {
    const char *name;
    size_t w, h;
    Bytes gray;
    Bytes expected;
};

TEST(ImageFloydSteinberg, IntegerSharesTruncateTowardsZeroAndClamp) {
    const FloydCase cases[] = {
        // 100 -> black, err 100; 100 + 43 -> white, err -112; 100 - 49 -> black.
        {"one row", 3, 1, {100, 100, 100}, {0xA0}},
        // Negative shares truncate towards zero: -55 * 7 / 16 = -24, not -25.
        {"two rows", 2, 2, {200, 50, 50, 50}, {0x40, 0xC0}},
        // 0 - 54 is clamped to 0 (err 0), so 140 stays white.
        {"clamped below", 3, 1, {130, 0, 140}, {0x40}},
    };
    for (const FloydCase &c : cases) {
        SCOPED_TRACE(c.name);
        size_t size = 0, bpl = 0;
        unsigned char *r = Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion(c.gray.data(), c.w, c.h, c.w, &size, &bpl);
        EXPECT_EQ(bpl, 1u);
        EXPECT_BYTES_EQ(c.expected, Take(r, size));
    }
}

TEST(ImageBinarize, UnknownMethodsAndBadArgumentsGiveNull) {
    const Bytes gray(16, 0);
    for (int method : {-1, 3, 100}) {
        size_t size = 77, bpl = 77;
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(gray.data(), 4, 4, 4, static_cast<CP_ImageBinarizationMethod>(method), &size, &bpl),
                  nullptr);
        EXPECT_EQ(size, 77u);
        EXPECT_EQ(bpl, 77u);
    }
    for (int method : {0, 1, 2}) {
        const auto m = static_cast<CP_ImageBinarizationMethod>(method);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(nullptr, 4, 4, 4, m, nullptr, nullptr), nullptr);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(gray.data(), 0, 4, 4, m, nullptr, nullptr), nullptr);
        EXPECT_EQ(Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(gray.data(), SIZE_MAX, SIZE_MAX, 4, m, nullptr, nullptr), nullptr);
    }
    Quorvantelmise_ImgUtils_dither_image_5x5(-1, 4, nullptr, nullptr); // no effect, no crash
}

} // namespace
