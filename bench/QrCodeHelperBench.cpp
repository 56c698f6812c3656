// QR helpers against libqrencode alone, for a 71-byte text at level M.
#include <benchmark/benchmark.h>
#include <qrencode.h>

#include "quorvantelmise.h"

#include <string>
#include <vector>

namespace {

const std::string &Text71() {
    static const std::string text =
        "https://example.invalid/receipt?id=0012345&total=28.00&shop=7&lane=3abc";
    return text;
}

void BM_LibqrencodeAlone(benchmark::State &state) {
    for (auto _ : state) {
        QRcode *code = QRcode_encodeString8bit(Text71().c_str(), 0, QR_ECLEVEL_M);
        benchmark::DoNotOptimize(code);
        QRcode_free(code);
    }
}
BENCHMARK(BM_LibqrencodeAlone);

void BM_HelperWidth(benchmark::State &state) {
    for (auto _ : state) benchmark::DoNotOptimize(CP_Qrcode_GetQrcodeWidth(Text71().c_str(), 0, 1));
}
BENCHMARK(BM_HelperWidth);

void BM_HelperGrayImage(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    int side = 0;
    for (auto _ : state) {
        unsigned char *image = Quorvantelmise_qrhelper_encode(Text71().c_str(), 0, 1, scale, &side);
        benchmark::DoNotOptimize(image);
        Quorvantelmise_qrhelper_free(image);
    }
    state.counters["side"] = side;
}
BENCHMARK(BM_HelperGrayImage)->Arg(1)->Arg(4)->Arg(8);

void BM_HelperColourImage(benchmark::State &state) {
    std::vector<uint32_t> colour(177 * 177);
    int width = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(CP_Qrcode_GetQrcodeRGBAData(
            Text71().c_str(), 0, 1, 0xFFFFFFFFu, 0xFF000000u, colour.data(),
            static_cast<int32_t>(colour.size() * 4), &width, nullptr));
    state.counters["modules"] = width;
}
BENCHMARK(BM_HelperColourImage);

}  // namespace
