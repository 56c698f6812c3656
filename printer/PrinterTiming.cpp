#include "printer/PrinterTiming.h"

#include <mutex>

namespace {

std::mutex& timingMutex() {
    static auto* mutex = new std::mutex;  // lives for the whole process
    return *mutex;
}

PrinterTiming& timingValues() {
    static auto* values = new PrinterTiming;
    return *values;
}

}  // namespace

PrinterTiming GetPrinterTiming() {
    std::lock_guard<std::mutex> lock(timingMutex());
    return timingValues();
}

void SetPrinterTimingForTesting(const PrinterTiming& timing) {
    std::lock_guard<std::mutex> lock(timingMutex());
    timingValues() = timing;
}
