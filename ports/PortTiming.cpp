#include "ports/PortTiming.h"

#include "base/ProcessSetting.h"

namespace {

ProcessSetting<PortTiming>& timing() {
    static auto* setting = new ProcessSetting<PortTiming>;
    return *setting;
}

}  // namespace

PortTiming GetPortTiming() { return timing().Get(); }

void SetPortTimingForTesting(const PortTiming& value) { timing().Set(value); }
