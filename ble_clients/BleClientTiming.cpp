#include "ble_clients/BleClientTiming.h"

#include "base/ProcessSetting.h"

namespace {

ProcessSetting<BleClientTiming>& timing() {
    static auto* setting = new ProcessSetting<BleClientTiming>;
    return *setting;
}

}  // namespace

BleClientTiming GetBleClientTiming() { return timing().Get(); }

void SetBleClientTimingForTesting(const BleClientTiming& value) { timing().Set(value); }
