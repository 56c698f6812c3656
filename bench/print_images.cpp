// Receipt and page image calls from encoded data (PNG, JPEG) on a memory port, against a
// baseline of the decode alone; rates are megapixels of the encoded image per second.
#include <benchmark/benchmark.h>

#include <stb_image_write.h>

#include <cstdint>
#include <vector>

#include "quorvantelmise.h"

namespace {

struct Encoded {
    std::vector<unsigned char> bytes;
    int w = 0, h = 0;
};

void Append(void *ctx, void *data, int size) {
    auto *out = static_cast<std::vector<unsigned char> *>(ctx);
    out->insert(out->end(), static_cast<unsigned char *>(data), static_cast<unsigned char *>(data) + size);
}

// A smooth gradient with some noise, like a photograph.
Encoded Image(int w, int h, bool jpeg) {
    std::vector<unsigned char> px(static_cast<size_t>(w) * h * 3);
    uint32_t seed = 12345;
    for (size_t i = 0; i < px.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const size_t x = i / 3 % w, y = i / 3 / w;
        px[i] = static_cast<unsigned char>(((x * 255 / w + y * 255 / h) / 2 + (seed >> 28) + i % 3 * 20) % 256);
    }
    Encoded e{{}, w, h};
    if (jpeg) {
        stbi_write_jpg_to_func(Append, &e.bytes, w, h, 3, px.data(), 90);
    } else {
        stbi_write_png_to_func(Append, &e.bytes, w, h, 3, px.data(), w * 3);
    }
    return e;
}

// 0: receipt-sized PNG, 1: photo-sized JPEG.
const Encoded &Source(int64_t which) {
    static const Encoded png = Image(576, 800, false), jpeg = Image(1600, 1200, true);
    return which == 0 ? png : jpeg;
}

void Rate(benchmark::State &state, const Encoded &e) {
    state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * e.w * e.h / 1e6,
                                                 benchmark::Counter::kIsRate);
}

void BM_Baseline_Decode(benchmark::State &state) {
    const Encoded &e = Source(state.range(0));
    for (auto _ : state) {
        int bpp = 0, w = 0, h = 0;
        benchmark::DoNotOptimize(Quorvantelmise_ImgUtils_GetImageSizeFromData(e.bytes.data(), e.bytes.size(), &bpp, &w, &h));
    }
    Rate(state, e);
}

// range(1): the width printed, 0 for the image's own.
template <typename Print> void PrintLoop(benchmark::State &state, Print &&print) {
    const Encoded &e = Source(state.range(0));
    void *port = CP_Port_OpenMemoryBuffer(16u << 20);
    for (auto _ : state) {
        if (!print(port, static_cast<int>(state.range(1)), e)) state.SkipWithError("not printed");
        CP_Port_ClearMemoryBufferData(port);
    }
    CP_Port_Close(port);
    Rate(state, e);
}

void BM_ReceiptImageFromData(benchmark::State &state) {
    PrintLoop(state, [](void *port, int width, const Encoded &e) {
        return CP_Pos_PrintRasterImageFromData(port, width, 0, e.bytes.data(), static_cast<unsigned>(e.bytes.size()),
                                               CP_ImageBinarizationMethod_Dithering, CP_ImageCompressionMethod_None);
    });
}

void BM_PageImageFromData(benchmark::State &state) {
    PrintLoop(state, [](void *port, int width, const Encoded &e) {
        return CP_Page_DrawRasterImageFromData(port, 0, 0, width, 0, e.bytes.data(), static_cast<unsigned>(e.bytes.size()),
                                               CP_ImageBinarizationMethod_Dithering);
    });
}

} // namespace

BENCHMARK(BM_Baseline_Decode)->Arg(0)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReceiptImageFromData)->Args({0, 0})->Args({1, 576})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageImageFromData)->Args({0, 0})->Args({1, 576})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
