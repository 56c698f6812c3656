#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

// A printer may announce more free space than an int holds, one report at a time; the space
// stays at the end of the range rather than wrap to a value that holds back every packet.
inline void AddSaturating(std::atomic<int>& value, int add) {
    int old = value.load();
    int sum = 0;
    do {
        sum = static_cast<int>(std::clamp<int64_t>(int64_t{old} + add, INT32_MIN, INT32_MAX));
    } while (!value.compare_exchange_weak(old, sum));
}
