#include "nzcommon/imgprocess/NZKernelPath.h"

#include <atomic>

namespace nzimg {
namespace {
std::atomic<KernelPath> requested{KernelPath::Avx2};
} // namespace

bool Avx2Available() {
#if QV_AVX2_KERNELS
    static const bool has = [] {
        __builtin_cpu_init(); // may run before the constructors that would do it
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

KernelPath ChosenKernelPath() {
    const KernelPath path = requested.load(std::memory_order_relaxed);
    return path == KernelPath::Avx2 && !Avx2Available() ? KernelPath::Scalar : path;
}

void RequestKernelPath(KernelPath path) { requested.store(path, std::memory_order_relaxed); }

} // namespace nzimg
