// Gray conversion, binarisation and bicubic scaling on a receipt-sized and a photo-sized
// image; rates are megapixels per second (of output, for scaling).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>
#include <algorithm>

#include "quorvantelmise.h"

namespace {

struct Size {
    size_t w, h;
};
constexpr Size kSizes[] = {{576, 2400}, {4928, 3279}};

// A smooth gradient with some noise: neither uniform nor random, like a photograph.
std::vector<unsigned char> Pixels(size_t w, size_t h, size_t channels) {
    std::vector<unsigned char> px(w * h * channels);
    uint32_t seed = 12345;
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x)
            for (size_t c = 0; c < channels; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const int v = static_cast<int>((x * 255 / w + y * 255 / h) / 2 + (seed >> 28) + c * 20) % 256;
                px[(y * w + x) * channels + c] = static_cast<unsigned char>(v);
            }
    return px;
}

void Rate(benchmark::State &state, size_t pixels) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pixels));
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(state.iterations() * pixels) / 1e6,
                                                 benchmark::Counter::kIsRate);
}

void BM_GrayFromRgb(benchmark::State &state) {
    const Size s = kSizes[state.range(0)];
    const auto px = Pixels(s.w, s.h, 3);
    for (auto _ : state) {
        unsigned char *g = Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(px.data(), s.w, s.h, s.w * 3, CP_ImagePixelsFormat_Rgb888);
        benchmark::DoNotOptimize(g);
        std::free(g);
    }
    Rate(state, s.w * s.h);
}

void BM_GrayFromRgba(benchmark::State &state) {
    const Size s = kSizes[state.range(0)];
    const auto px = Pixels(s.w, s.h, 4);
    for (auto _ : state) {
        unsigned char *g = Quorvantelmise_ImgUtils_ConvertImageToGrayFormat(px.data(), s.w, s.h, s.w * 4, CP_ImagePixelsFormat_Rgba8888);
        benchmark::DoNotOptimize(g);
        std::free(g);
    }
    Rate(state, s.w * s.h);
}

void Binarise(benchmark::State &state, CP_ImageBinarizationMethod method) {
    const Size s = kSizes[state.range(0)];
    const auto gray = Pixels(s.w, s.h, 1);
    for (auto _ : state) {
        size_t size, bpl;
        unsigned char *r = Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormat(gray.data(), s.w, s.h, s.w, method, &size, &bpl);
        benchmark::DoNotOptimize(r);
        std::free(r);
    }
    Rate(state, s.w * s.h);
}
void BM_OrderedDither(benchmark::State &state) { Binarise(state, CP_ImageBinarizationMethod_Dithering); }
void BM_MeanThreshold(benchmark::State &state) { Binarise(state, CP_ImageBinarizationMethod_Thresholding); }
void BM_ErrorDiffusion(benchmark::State &state) { Binarise(state, CP_ImageBinarizationMethod_ErrorDiffusion); }

void BM_FloydSteinbergInteger(benchmark::State &state) {
    const Size s = kSizes[state.range(0)];
    const auto gray = Pixels(s.w, s.h, 1);
    for (auto _ : state) {
        size_t size, bpl;
        unsigned char *r = Quorvantelmise_ImgUtils_ConvertGrayImageToMonoFormatUseErrorDiffusion(gray.data(), s.w, s.h, s.w, &size, &bpl);
        benchmark::DoNotOptimize(r);
        std::free(r);
    }
    Rate(state, s.w * s.h);
}

// Scaling: args (source size, destination width, destination height).
template <int CH> void Scale(benchmark::State &state) {
    const Size s = kSizes[state.range(0)];
    const size_t dw = static_cast<size_t>(state.range(1)), dh = static_cast<size_t>(state.range(2));
    const auto px = Pixels(s.w, s.h, CH);
    for (auto _ : state) {
        unsigned char *d = CH == 3 ? Quorvantelmise_ImgUtils_ScaleRGB888Image(s.w, s.h, px.data(), dw, dh)
                                   : Quorvantelmise_ImgUtils_ScaleBGRA8888Image(s.w, s.h, px.data(), dw, dh);
        benchmark::DoNotOptimize(d);
        std::free(d);
    }
    Rate(state, dw * dh);
}
void BM_ScaleRgb(benchmark::State &state) { Scale<3>(state); }
void BM_ScaleBgra(benchmark::State &state) { Scale<4>(state); }

// Baselines in the same run: the documented arithmetic written plainly, dot by dot.
void BM_Baseline_GrayPlain(benchmark::State &state) {
    const Size s = kSizes[state.range(0)];
    const auto px = Pixels(s.w, s.h, 3);
    for (auto _ : state) {
        auto *g = static_cast<unsigned char *>(std::calloc(s.w * s.h, 1));
        for (size_t i = 0; i < s.w * s.h; ++i)
            g[i] = static_cast<unsigned char>(static_cast<int>(0.299 * px[i * 3] + 0.587 * px[i * 3 + 1] + 0.114 * px[i * 3 + 2]));
        benchmark::DoNotOptimize(g);
        std::free(g);
    }
    Rate(state, s.w * s.h);
}

void BM_Baseline_ErrorDiffusionPlain(benchmark::State &state) {
    const Size s = kSizes[state.range(0)];
    const auto gray = Pixels(s.w, s.h, 1);
    const int w = static_cast<int>(s.w), h = static_cast<int>(s.h);
    std::vector<double> img(s.w * s.h);
    for (auto _ : state) {
        for (size_t i = 0; i < img.size(); ++i) img[i] = gray[i];
        for (int y = 0; y < h; ++y) {
            const int d = y % 2 == 0 ? 1 : -1;
            for (int i = 0; i < w; ++i) {
                const int x = d > 0 ? i : w - 1 - i;
                double &v = img[static_cast<size_t>(y) * w + x];
                const double err = v < 128 ? v : v - 255;
                v = v < 128 ? 0 : 255;
                const int taps[12][3] = {{d, 0, 6}, {2 * d, 0, 4}, {-2, 1, 3}, {2, 1, 3}, {-1, 1, 5}, {1, 1, 5},
                                         {0, 1, 6}, {-2, 2, 1},    {2, 2, 1},  {-1, 2, 3}, {1, 2, 3},  {0, 2, 4}};
                for (const auto &t : taps)
                    Quorvantelmise_ImgUtils_AddValueToImagePixel(w, h, img.data(), x + t[0], y + t[1], err * t[2] / 44);
            }
        }
        benchmark::DoNotOptimize(img.data());
    }
    Rate(state, s.w * s.h);
}

void BM_Baseline_ScalePlain(benchmark::State &state) {
    const Size s = kSizes[state.range(0)];
    const long sw = static_cast<long>(s.w), sh = static_cast<long>(s.h);
    const long dw = state.range(1), dh = state.range(2);
    const auto px = Pixels(s.w, s.h, 3);
    std::vector<unsigned char> out(static_cast<size_t>(dw * dh * 3));
    auto S = Quorvantelmise_ImgUtils_SinXDivX;
    for (auto _ : state) {
        const double fx = double(sw) / dw, fy = double(sh) / dh;
        for (long y = 0; y < dh; ++y)
            for (long x = 0; x < dw; ++x) {
                const double sx = (x + 0.4999999) * fx - 0.5, sy = (y + 0.4999999) * fy - 0.5;
                long ix = static_cast<long>(sx), iy = static_cast<long>(sy);
                ix -= ix > sx, iy -= iy > sy;
                const double u = sx - ix, v = sy - iy;
                const double wx[4] = {S(1 + u), S(u), S(1 - u), S(2 - u)}, wy[4] = {S(1 + v), S(v), S(1 - v), S(2 - v)};
                for (int c = 0; c < 3; ++c) {
                    double sum = 0;
                    for (int r = 0; r < 4; ++r) {
                        const long ry = std::min(std::max(iy - 1 + r, 0L), sh - 1);
                        double inner = 0;
                        for (int k = 0; k < 4; ++k) {
                            const long cx = std::min(std::max(ix - 1 + k, 0L), sw - 1);
                            inner = inner + wx[k] * px[static_cast<size_t>(ry * sw + cx) * 3 + c];
                        }
                        sum = sum + wy[r] * inner;
                    }
                    out[static_cast<size_t>(y * dw + x) * 3 + c] = Quorvantelmise_ImgUtils_border_color(sum + 0.5);
                }
            }
        benchmark::DoNotOptimize(out.data());
    }
    Rate(state, static_cast<size_t>(dw * dh));
}

void Sizes(benchmark::internal::Benchmark *b) { b->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond); }

void ScaleArgs(benchmark::internal::Benchmark *b) {
    b->Args({0, 384, 1600});  // receipt: 80 mm to 58 mm
    b->Args({0, 576, 2400});  // own size
    b->Args({0, 1152, 4800}); // doubled
    b->Args({1, 576, 383});   // photo to a receipt's width
    b->Args({1, 2464, 1640}); // photo halved
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_GrayFromRgb)->Apply(Sizes);
BENCHMARK(BM_GrayFromRgba)->Apply(Sizes);
BENCHMARK(BM_OrderedDither)->Apply(Sizes);
BENCHMARK(BM_MeanThreshold)->Apply(Sizes);
BENCHMARK(BM_ErrorDiffusion)->Apply(Sizes);
BENCHMARK(BM_FloydSteinbergInteger)->Apply(Sizes);
BENCHMARK(BM_ScaleRgb)->Apply(ScaleArgs);
BENCHMARK(BM_Baseline_GrayPlain)->Apply(Sizes);
BENCHMARK(BM_Baseline_ErrorDiffusionPlain)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_ScalePlain)->Args({0, 384, 1600})->Args({1, 576, 383})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleBgra)->Args({0, 384, 1600})->Args({1, 576, 383})->Unit(benchmark::kMillisecond);
