// Raster command encoders on a receipt-width and a large raster, noise and document-like
// content, in megapixels per second. Baseline: copying the raster.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "quorvantelmise.h"

namespace {

struct Raster {
  uint64_t width, height, bytes_per_line;
  std::vector<unsigned char> bits;
};

enum Content { kNoise = 0, kDocument = 1 };

// Noise: a dithered-photo-like field where about a third of the dots are black. Document:
// lines of glyph-like strokes between white gaps, with a frame.
Raster Make(uint64_t w, uint64_t h, int content) {
  Raster r{w, h, (w + 7) / 8, {}};
  r.bits.assign(r.bytes_per_line * h, 0);
  std::mt19937 rng(42);
  for (uint64_t y = 0; y < h; ++y) {
    const bool text_row = (y / 24) % 3 != 2 && y % 24 < 18;
    for (uint64_t x = 0; x < w; ++x) {
      bool black;
      if (content == kNoise) {
        black = rng() % 3 == 0;
      } else {
        const bool frame = x < 8 || x + 8 >= w || y < 8 || y + 8 >= h;
        const bool glyph = text_row && x > 32 && x + 32 < w && ((x / 14 + y / 24) * 2654435761u >> 9) % 3 != 0 &&
                           ((x % 14) < 3 || (y % 24) % 8 < 2 || rng() % 8 == 0);
        black = frame || glyph;
      }
      if (black) r.bits[y * r.bytes_per_line + x / 8] |= 0x80 >> (x % 8);
    }
  }
  return r;
}

const Raster &Image(int64_t which, int64_t content) {
  static const Raster images[2][2] = {{Make(576, 2400, kNoise), Make(576, 2400, kDocument)},
                                      {Make(4928, 3279, kNoise), Make(4928, 3279, kDocument)}};
  return images[which][content];
}

template <typename Encode>
void Run(benchmark::State &state, Encode encode) {
  const Raster &r = Image(state.range(0), state.range(1));
  uint64_t bytes = 0;
  for (auto _ : state) {
    uint64_t size = 0;
    void *out = encode(r, &size);
    if (!out) {
      state.SkipWithError("refused: a command field cannot hold the result");
      return;
    }
    benchmark::DoNotOptimize(out);
    bytes = size;
    std::free(out);
  }
  state.SetLabel(std::string(state.range(1) == kNoise ? "noise" : "document"));
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(r.width * r.height) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
  state.counters["out_bytes"] = static_cast<double>(bytes);
}

void Sizes(benchmark::internal::Benchmark *b) {
  b->ArgNames({"big", "doc"});
  for (int64_t which : {0, 1})
    for (int64_t content : {kNoise, kDocument}) b->Args({which, content});
  b->Unit(benchmark::kMillisecond);
}

void Baseline_Copy(benchmark::State &state) {
  Run(state, [](const Raster &r, uint64_t *size) {
    void *p = std::malloc(r.bits.size());
    std::memcpy(p, r.bits.data(), r.bits.size());
    *size = r.bits.size();
    return p;
  });
}
void GsV0_Whole(benchmark::State &state) {
  Run(state, [](const Raster &r, uint64_t *size) {
    return Quorvantelmise_ImgUtils_GetRasterCmdFromRasterData(static_cast<uint16_t>(r.bytes_per_line),
                                                              static_cast<uint16_t>(r.height), r.bits.data(), size);
  });
}
void GsV0_Banks24(benchmark::State &state) {
  Run(state, [](const Raster &r, uint64_t *size) {
    return Quorvantelmise_ImgUtils_RasterDataToRasterCmdSpecifyBankHeight(r.bytes_per_line, r.height, r.bits.data(),
                                                                          24, size);
  });
}
void Gs8L_StoreAndPrint(benchmark::State &state) {
  Run(state, [](const Raster &r, uint64_t *size) {
    return Quorvantelmise_ImgUtils_GetEpsonTM88IVGS8CmdFromRasterData(r.bytes_per_line, r.height, r.bits.data(), size);
  });
}
void UsP_RunLength(benchmark::State &state) {
  Run(state, [](const Raster &r, uint64_t *size) {
    return Quorvantelmise_ImgUtils_RasterDataToCompressCmd(r.bytes_per_line, r.height, r.bits.data(), size);
  });
}
void Jbig_Data(benchmark::State &state) {
  Run(state, [](const Raster &r, uint64_t *size) {
    return Quorvantelmise_ImgUtils_RasterDataToJBIG5Data(r.bytes_per_line, r.width, r.height, r.bits.data(), size);
  });
}
void Jbig_Base64(benchmark::State &state) {
  Run(state, [](const Raster &r, uint64_t *size) {
    char *text = Quorvantelmise_ImgUtils_RasterDataToJBIG5Base64Data(r.bytes_per_line, r.width, r.height,
                                                                     r.bits.data());
    *size = text ? std::strlen(text) : 0;
    return text;
  });
}
void UsJ_Banks255(benchmark::State &state) {
  Run(state, [](const Raster &r, uint64_t *size) {
    return Quorvantelmise_ImgUtils_RasterDataToJBIG5CmdSpecifyBankHeight(r.bytes_per_line, r.height, r.bits.data(),
                                                                         255, size);
  });
}

}  // namespace

BENCHMARK(Baseline_Copy)->Apply(Sizes);
BENCHMARK(GsV0_Whole)->Apply(Sizes);
BENCHMARK(GsV0_Banks24)->Apply(Sizes);
BENCHMARK(Gs8L_StoreAndPrint)->Apply(Sizes);
BENCHMARK(UsP_RunLength)->Apply(Sizes);
BENCHMARK(Jbig_Data)->Apply(Sizes);
BENCHMARK(Jbig_Base64)->Apply(Sizes);
BENCHMARK(UsJ_Banks255)->Apply(Sizes);
