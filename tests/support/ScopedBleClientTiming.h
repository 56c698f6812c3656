#pragma once
// Shortens the stand-alone Bluetooth LE clients' waits for one test and restores them.
//
//   qvtest::ScopedBleClientTiming timing;        // Fast() values
//   timing.Set([](BleClientTiming& t) { t.openMs = 300; });
#include <functional>

#include "ble_clients/BleClientTiming.h"

namespace qvtest {

class ScopedBleClientTiming {
public:
    // Starts from Fast().
    ScopedBleClientTiming();
    ~ScopedBleClientTiming();
    ScopedBleClientTiming(const ScopedBleClientTiming&) = delete;
    ScopedBleClientTiming& operator=(const ScopedBleClientTiming&) = delete;

    void Set(const std::function<void(BleClientTiming&)>& change);

    // Waits of tens of milliseconds to a second; the simulated radio answers at once, so
    // only the waits that a test runs out on purpose are ever reached.
    static BleClientTiming Fast();

private:
    BleClientTiming saved_;
    BleClientTiming current_;
};

}  // namespace qvtest
