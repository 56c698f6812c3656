#pragma once
// Shortens the printer queries' and framed protocol's waits for one test and restores them
// afterwards.
//
//   qvtest::ScopedPrinterTiming timing;       // Fast() values
//   timing.Set([](PrinterTiming& t) { t.protoTransferReadTimeoutMs = 5; });
#include <functional>

#include "printer/PrinterTiming.h"

namespace qvtest {

class ScopedPrinterTiming {
public:
    ScopedPrinterTiming();
    ~ScopedPrinterTiming();
    ScopedPrinterTiming(const ScopedPrinterTiming&) = delete;
    ScopedPrinterTiming& operator=(const ScopedPrinterTiming&) = delete;

    void Set(const std::function<void(PrinterTiming&)>& change);

    // Waits of a few to a few tens of milliseconds, in the defaults' proportions where tests
    // rely on them (resends every 30 ms, retries 10 ms apart).
    static PrinterTiming Fast();

private:
    PrinterTiming saved_;
    PrinterTiming current_;
};

}  // namespace qvtest
