#pragma once
// Shortens the ports subsystem's waits for one test and restores them afterwards.
//
//   qvtest::ScopedPortTiming timing;        // Fast() values
//   timing.Set([](PortTiming& t) { t.helperSecondMs = 20; });
#include <functional>

#include "ports/PortTiming.h"

namespace qvtest {

class ScopedPortTiming {
public:
    // Starts from Fast().
    ScopedPortTiming();
    ~ScopedPortTiming();
    ScopedPortTiming(const ScopedPortTiming&) = delete;
    ScopedPortTiming& operator=(const ScopedPortTiming&) = delete;

    void Set(const std::function<void(PortTiming&)>& change);

    // Waits of a few to a few tens of milliseconds, in the same proportions as the
    // defaults where tests rely on them (a helper "second" of 50 ms).
    static PortTiming Fast();

private:
    PortTiming saved_;
    PortTiming current_;
};

}  // namespace qvtest
