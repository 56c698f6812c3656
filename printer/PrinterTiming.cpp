#include "printer/PrinterTiming.h"

#include "base/ProcessSetting.h"

namespace {

ProcessSetting<PrinterTiming>& timing() {
    static auto* setting = new ProcessSetting<PrinterTiming>;
    return *setting;
}

}  // namespace

PrinterTiming GetPrinterTiming() { return timing().Get(); }

void SetPrinterTimingForTesting(const PrinterTiming& value) { timing().Set(value); }
