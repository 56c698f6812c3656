// The pixel kernels over a table of inputs, on every path the machine can run: each path
// must give the bytes the plain kernels gave when these hashes were taken.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ImageTestUtil.h"
#include "nzcommon/imgprocess/NZImagePixels.h"
#include "nzcommon/imgprocess/NZKernelPath.h"
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

// Runs a test once per kernel path; the vector one skips where the processor lacks it.
class ImageKernels : public testing::TestWithParam<nzimg::KernelPath> {
protected:
    void SetUp() override {
        if (GetParam() == nzimg::KernelPath::Avx2 && !nzimg::Avx2Available()) GTEST_SKIP() << "no AVX2 here";
        nzimg::RequestKernelPath(GetParam());
        ASSERT_EQ(nzimg::ChosenKernelPath(), GetParam());
    }
    void TearDown() override { nzimg::RequestKernelPath(nzimg::KernelPath::Avx2); }
};

INSTANTIATE_TEST_SUITE_P(Paths, ImageKernels,
                         testing::Values(nzimg::KernelPath::Reference, nzimg::KernelPath::Scalar, nzimg::KernelPath::Avx2),
                         [](const testing::TestParamInfo<nzimg::KernelPath> &p) {
                             switch (p.param) {
                             case nzimg::KernelPath::Reference: return std::string("Reference");
                             case nzimg::KernelPath::Scalar: return std::string("Scalar");
                             default: return std::string("Avx2");
                             }
                         });

TEST_P(ImageKernels, GrayConversionGivesTheCapturedBytes) {
    for (const GrayGolden &g : kGrayGolden) EXPECT_EQ(GrayHash(g.format), g.hash) << "format " << g.format;
}

TEST_P(ImageKernels, BinarisationGivesTheCapturedBytes) {
    for (const RasterGolden &r : kRasterGolden) EXPECT_EQ(RasterHash(r.binarise), r.hash) << r.name;
}

// The documented arithmetic written out, for whole-range comparisons.
int RefLuma(int r, int g, int b) { return static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b); }
int RefOverWhite(int gray, int a) {
    const double t = 1 - a / 255.0;
    return static_cast<int>(255 * t + gray * (1 - t) + 0.5);
}

TEST_P(ImageKernels, EveryColourOfEveryFormatMatchesTheDocumentedArithmetic) {
    // All 2^24 colours once in each colour format, with an alpha taken from the colour so
    // that every alpha value meets many colours and whole vector steps are opaque, or
    // transparent, or mixed.
    const size_t w = 4096, h = 4096;
    for (int format = 4; format <= 9; ++format) {
        SCOPED_TRACE(format);
        const int bpp = format <= 5 ? 3 : 4;
        static const int kOffsets[10][4] = {{}, {}, {}, {}, {0, 1, 2, -1}, {2, 1, 0, -1}, {1, 2, 3, 0},
                                            {0, 1, 2, 3}, {3, 2, 1, 0}, {2, 1, 0, 3}}; // R, G, B, A
        const int *at = kOffsets[format];
        Bytes px(w * h * bpp);
        auto alpha_of = [](size_t i) {
            switch ((i >> 5) % 3) { // runs of 32 dots: any alpha, transparent, opaque
            case 0: return static_cast<int>(static_cast<uint32_t>(i * 2654435761u) >> 24);
            case 1: return 0;
            default: return 255;
            }
        };
        for (size_t i = 0; i < w * h; ++i) {
            unsigned char *p = &px[i * bpp];
            p[at[0]] = static_cast<unsigned char>(i >> 16), p[at[1]] = static_cast<unsigned char>(i >> 8);
            p[at[2]] = static_cast<unsigned char>(i);
            if (bpp == 4) p[at[3]] = static_cast<unsigned char>(alpha_of(i));
        }
        unsigned char *g = Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(px.data(), w, h, w * bpp,
                                                                           static_cast<CP_ImagePixelsFormat>(format));
        ASSERT_NE(g, nullptr);
        size_t wrong = 0;
        for (size_t i = 0; i < w * h; ++i) {
            int want = RefLuma(int(i >> 16), int(i >> 8 & 255), int(i & 255));
            if (bpp == 4) want = RefOverWhite(want, alpha_of(i));
            if (g[i] != want && ++wrong < 5) ADD_FAILURE() << "dot " << i << " gave " << int(g[i]) << ", not " << want;
        }
        std::free(g);
        EXPECT_EQ(wrong, 0u);
    }
}

} // namespace
