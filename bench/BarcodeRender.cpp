// Barcode rendering: the exported RGBA renderers and the two stand-alone module encoders.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "quorvantelmise.h"

namespace {

void BM_Code128Rgba(benchmark::State &state) {
    const char *text = "Order 2026-12-10 / 0123456789";
    const int height = 120;
    const int width = CP_Barcode_GetBarcodeWidth(8, 2, text);
    std::vector<uint32_t> dst(static_cast<size_t>(width) * height);
    int w = 0, h = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(CP_Barcode_GetBarcodeRGBAData(8, 2, height, 0xFFFFFFFFu, 0xFF000000u, text, dst.data(),
                                                               static_cast<int32_t>(dst.size() * 4), &w, &h));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["width"] = w;
}
BENCHMARK(BM_Code128Rgba);

void BM_Ean13Rgba(benchmark::State &state) {
    const char *text = "400638133393";
    const int height = 120;
    const int width = CP_Barcode_GetBarcodeWidth(2, 3, text);
    std::vector<uint32_t> dst(static_cast<size_t>(width) * height);
    int w = 0, h = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(CP_Barcode_GetBarcodeRGBAData(2, 3, height, 0xFFFFFFFFu, 0xFF000000u, text, dst.data(),
                                                               static_cast<int32_t>(dst.size() * 4), &w, &h));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["width"] = w;
}
BENCHMARK(BM_Ean13Rgba);

// The shortest-code-set search on the text that once grew it exponentially.
void BM_Code128EncodeRaw(benchmark::State &state) {
    std::string text;
    for (int i = 0; i < state.range(0); ++i) text += "11A";
    std::vector<unsigned char> out(static_cast<size_t>(code128_estimate_len(text.c_str())));
    for (auto _ : state) benchmark::DoNotOptimize(code128_encode_raw(text.c_str(), out.data(), static_cast<int>(out.size())));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Code128EncodeRaw)->RangeMultiplier(4)->Range(4, 1024)->Complexity();

void BM_Ean13Build(benchmark::State &state) {
    unsigned char out[97];
    for (auto _ : state) {
        benchmark::DoNotOptimize(EAN13_build("400638133393", out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Ean13Build);

}  // namespace
