#include "ble/BleTiming.h"

#include <chrono>
#include <thread>

#include "base/ProcessSetting.h"
#include "platform/NSDate.h"

namespace {

ProcessSetting<BleTiming>& timing() {
    static auto* setting = new ProcessSetting<BleTiming>;
    return *setting;
}

}  // namespace

BleTiming GetBleTiming() { return timing().Get(); }

void SetBleTimingForTesting(const BleTiming& value) { timing().Set(value); }

bool PollUntil(int ms, const std::function<bool()>& ready) {
    const int pollMs = GetBleTiming().pollMs;
    const NSDate deadline = DeadlineAfterMs(ms);
    while (deadline.isInFuture()) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return false;
}
