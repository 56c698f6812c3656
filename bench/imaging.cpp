// Gray conversion, binarisation and bicubic scaling on a receipt-sized and a photo-sized
// image; rates are megapixels per second (of output, for scaling).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

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
BENCHMARK(BM_ScaleBgra)->Args({0, 384, 1600})->Args({1, 576, 383})->Unit(benchmark::kMillisecond);
