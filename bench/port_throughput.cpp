// Port write path and receive ring throughput.
#include <benchmark/benchmark.h>

#include <vector>

#include "base/RAZIRxBuffer.h"
#include "quorvantelmise.h"

static void BM_MemoryPortWrite(benchmark::State& state) {
    const size_t chunk = static_cast<size_t>(state.range(0));
    std::vector<unsigned char> data(chunk, 0x55);
    void* port = CP_Port_OpenMemoryBuffer(static_cast<unsigned int>(chunk * 1024));
    size_t writes = 0;
    for (auto _ : state) {
        if (++writes == 1024) {
            CP_Port_ClearMemoryBufferData(port);
            writes = 0;
        }
        benchmark::DoNotOptimize(CP_Port_Write(port, data.data(), static_cast<unsigned int>(chunk), 1000));
    }
    CP_Port_Close(port);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(chunk));
}
BENCHMARK(BM_MemoryPortWrite)->Arg(64)->Arg(4096);

static void BM_RingPushPop(benchmark::State& state) {
    RAZIRxBuffer ring;
    unsigned char byte = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) ring.TryPushBack(static_cast<unsigned char>(i));
        for (int i = 0; i < 1024; ++i) ring.TryPopFront(&byte);
        benchmark::DoNotOptimize(byte);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}
BENCHMARK(BM_RingPushPop);
