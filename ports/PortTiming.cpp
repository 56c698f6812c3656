#include "ports/PortTiming.h"

#include <mutex>

namespace {

std::mutex& timingMutex() {
    static auto* mutex = new std::mutex;  // lives for the whole process
    return *mutex;
}

PortTiming& timingValues() {
    static auto* values = new PortTiming;
    return *values;
}

}  // namespace

PortTiming GetPortTiming() {
    std::lock_guard<std::mutex> lock(timingMutex());
    return timingValues();
}

void SetPortTimingForTesting(const PortTiming& timing) {
    std::lock_guard<std::mutex> lock(timingMutex());
    timingValues() = timing;
}
