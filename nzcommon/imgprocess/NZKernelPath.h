// Which build of the pixel kernels runs. Each kernel keeps its reference, the plain
// dot-by-dot code, beside its fast form (scalar, or vector where the processor has it);
// every form gives the same bytes, and tests run each of them.
#pragma once

namespace nzimg {

enum class KernelPath { Reference, Scalar, Avx2 };

// The path asked for (the fastest unless a test asked otherwise), limited to what this
// machine runs: Avx2 falls back to Scalar without AVX2.
KernelPath ChosenKernelPath();

// Whether the vector kernels were built in and this processor runs them.
bool Avx2Available();

// For tests: the path every kernel takes from now on.
void RequestKernelPath(KernelPath path);

} // namespace nzimg

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QV_AVX2_KERNELS 1
// Functions built for AVX2 only; called only when ChosenKernelPath() is Avx2.
#define QV_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define QV_AVX2_KERNELS 0
#endif
