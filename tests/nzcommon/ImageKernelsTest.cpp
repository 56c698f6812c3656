// The pixel kernels over a table of inputs, on every path the machine can run: each path
// must give the bytes the plain kernels gave when these hashes were taken.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "nzcommon/imgprocess/NZImagePixels.h"
#include "quorvantelmise.h"

using imgtest::Bytes;

namespace {

uint64_t Fnv(uint64_t h, const unsigned char *p, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}
constexpr uint64_t kFnvStart = 0xCBF29CE484222325ull;

// Widths around every vector width and edge peel, and a few wider rows.
const size_t kWidths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 31, 33, 64, 100, 257};

enum class Fill { Noise, Black, White, Gradient, AlphaMix, MostlyOpaque };
const Fill kFills[] = {Fill::Noise, Fill::Black, Fill::White, Fill::Gradient, Fill::AlphaMix, Fill::MostlyOpaque};

// Rows of row_bytes with stride - row_bytes bytes of junk after each.
Bytes Image(size_t row_bytes, size_t height, size_t stride, int bpp, int alpha_at, Fill fill, uint32_t seed) {
    Bytes px = imgtest::Noise(stride * height, seed);
    for (size_t y = 0; y < height; ++y)
        for (size_t i = 0; i < row_bytes; ++i) {
            unsigned char &b = px[y * stride + i];
            const bool alpha = alpha_at >= 0 && static_cast<int>(i % bpp) == alpha_at;
            switch (fill) {
            case Fill::Noise: break;
            case Fill::Black: b = alpha ? 255 : 0; break;
            case Fill::White: b = 255; break;
            case Fill::Gradient: b = alpha ? 255 : static_cast<unsigned char>((i / bpp) * 7 + y * 13); break;
            case Fill::AlphaMix: // 0, 128, 255 or anything
                if (alpha) b = (b & 3) == 0 ? 0 : (b & 3) == 1 ? 128 : (b & 3) == 2 ? 255 : b;
                break;
            case Fill::MostlyOpaque:
                if (alpha) b = (b & 15) == 0 ? static_cast<unsigned char>(b ^ 0x55) : 255;
                break;
            }
        }
    return px;
}

int AlphaAt(int format) {
    switch (format) {
    case 6:
    case 8: return 0;
    case 7:
    case 9: return 3;
    default: return -1;
    }
}

uint64_t GrayHash(int format) {
    uint64_t h = kFnvStart;
    uint32_t seed = 77u * static_cast<uint32_t>(format);
    for (size_t w : kWidths)
        for (size_t rows : {1, 3})
            for (Fill fill : kFills) {
                const int bpp = format == 3 ? 1 : format <= 5 ? 3 : 4;
                const size_t row_bytes = w * bpp, stride = row_bytes + w % 3;
                const Bytes px = Image(row_bytes, rows, stride, bpp, AlphaAt(format), fill, ++seed);
                unsigned char *g = Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(px.data(), w, rows, stride,
                                                                                    static_cast<CP_ImagePixelsFormat>(format));
                if (!g) return 0;
                h = Fnv(h, g, w * rows);
                std::free(g);
            }
    return h;
}

using Binariser = unsigned char *(*)(const unsigned char *, size_t, size_t, size_t, size_t *, size_t *);

uint64_t RasterHash(Binariser binarise) {
    uint64_t h = kFnvStart;
    uint32_t seed = 1;
    for (size_t w : kWidths)
        for (size_t rows : {1, 2, 3, 7})
            for (Fill fill : {Fill::Noise, Fill::Black, Fill::White, Fill::Gradient}) {
                const size_t stride = w + w % 3;
                const Bytes gray = Image(w, rows, stride, 1, -1, fill, ++seed);
                size_t size = 0, bpl = 0;
                unsigned char *r = binarise(gray.data(), w, rows, stride, &size, &bpl);
                if (!r || size != (w + 7) / 8 * rows) return 0;
                h = Fnv(h, r, size);
                std::free(r);
            }
    return h;
}

struct GrayGolden {
    int format;
    uint64_t hash;
};
const GrayGolden kGrayGolden[] = {
    {3, 0x3FCC1EEE1DA144C4ull},
    {4, 0xB62CE5D42460F840ull},
    {5, 0x2E8312085493311Aull},
    {6, 0x33FBCD826A4D9F80ull},
    {7, 0x92D6A646DB322694ull},
    {8, 0x16511B7331C210E4ull},
    {9, 0x8B59A01F0EC363F1ull},
};

struct RasterGolden {
    const char *name;
    Binariser binarise;
    uint64_t hash;
};
const RasterGolden kRasterGolden[] = {
    {"ordered dither", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseDithering, 0xE68B11F185A903C4ull},
    {"mean threshold", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseThresholding, 0x26A8257CBE0793EEull},
    {"5x5 diffusion", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusionV2, 0x83DB4CC90C8D2F08ull},
    {"integer Floyd-Steinberg", Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion, 0xDBA7025490D0550Aull},
};

TEST(ImageKernels, GrayConversionGivesTheCapturedBytes) {
    for (const GrayGolden &g : kGrayGolden) EXPECT_EQ(GrayHash(g.format), g.hash) << "format " << g.format;
}

TEST(ImageKernels, BinarisationGivesTheCapturedBytes) {
    for (const RasterGolden &r : kRasterGolden) EXPECT_EQ(RasterHash(r.binarise), r.hash) << r.name;
}

} // namespace
