#include "ble/BleTiming.h"

#include "base/ProcessSetting.h"

namespace {

ProcessSetting<BleTiming>& timing() {
    static auto* setting = new ProcessSetting<BleTiming>;
    return *setting;
}

}  // namespace

BleTiming GetBleTiming() { return timing().Get(); }

void SetBleTimingForTesting(const BleTiming& value) { timing().Set(value); }
