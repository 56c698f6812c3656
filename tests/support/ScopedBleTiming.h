#pragma once
// Shortens the Bluetooth LE transport's waits for one test and restores them afterwards.
//
//   qvtest::ScopedBleTiming timing;                 // Fast() values
//   timing.Set([](BleTiming& t) { t.openWindowMs = 300; });
#include <functional>

#include "ble/BleTiming.h"

namespace qvtest {

class ScopedBleTiming {
public:
    ScopedBleTiming();
    ~ScopedBleTiming();
    ScopedBleTiming(const ScopedBleTiming&) = delete;
    ScopedBleTiming& operator=(const ScopedBleTiming&) = delete;

    void Set(const std::function<void(BleTiming&)>& change);

    // Waits of a few to a few hundred milliseconds, ordered as the defaults are (an attempt
    // fits twice into the open window; a settle wait is short against an attempt).
    static BleTiming Fast();

private:
    BleTiming saved_;
    BleTiming current_;
};

}  // namespace qvtest
