#pragma once
// Leaves a pattern where a decode's next heap blocks and stack frames will be, so that a
// decode reading memory it never wrote gives another result after each pattern. Header
// only: the fuzz targets use it as well.
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace qvtest {

// The stack below the caller's frame.
[[gnu::noinline]] inline void DirtyStack(unsigned char pattern) {
    volatile unsigned char frame[64 << 10];
    for (size_t i = 0; i < sizeof frame; ++i) frame[i] = pattern;
}

// Freed blocks of the sizes decoders ask for, which malloc hands out again first.
// (AddressSanitizer holds freed blocks back and fills new ones itself: there the pattern
// mostly stays unseen.)
inline void DirtyHeap(unsigned char pattern) {
    constexpr size_t kSizes[] = {24, 48, 100, 150, 300, 600, 1100, 2100, 4100, 8200, 17000, 33000, 66000, 140000, 300000};
    constexpr int kEach = 8;
    void *blocks[sizeof kSizes / sizeof kSizes[0]][kEach] = {};
    for (size_t s = 0; s < sizeof kSizes / sizeof kSizes[0]; ++s)
        for (void *&b : blocks[s])
            if ((b = std::malloc(kSizes[s]))) std::memset(b, pattern, kSizes[s]);
    for (size_t s = sizeof kSizes / sizeof kSizes[0]; s-- > 0;)
        for (int k = kEach; k-- > 0;) std::free(blocks[s][k]);
}

inline void DirtyMemory(unsigned char pattern) {
    DirtyHeap(pattern);
    DirtyStack(pattern);
}

}  // namespace qvtest
