#include "support/ScopedPrinterTiming.h"

namespace qvtest {

PrinterTiming ScopedPrinterTiming::Fast() {
    PrinterTiming fast;
    fast.pollSleepMs = 1;
    fast.rtStatusResendMs = 30;
    fast.replyReadTimeoutMs = 100;
    fast.protoRetrySleepMs = 10;
    fast.protoTransferWriteTimeoutMs = 500;
    fast.protoTransferReadTimeoutMs = 100;
    fast.protoSettingWriteTimeoutMs = 500;
    fast.stopAtBootReadTimeoutMs = 100;
    fast.stopAtBootWriteTimeoutMs = 500;
    fast.stopAtBootSleepMs = 2;
    return fast;
}

ScopedPrinterTiming::ScopedPrinterTiming() : saved_(GetPrinterTiming()), current_(Fast()) {
    SetPrinterTimingForTesting(current_);
}

ScopedPrinterTiming::~ScopedPrinterTiming() { SetPrinterTimingForTesting(saved_); }

void ScopedPrinterTiming::Set(const std::function<void(PrinterTiming&)>& change) {
    change(current_);
    SetPrinterTimingForTesting(current_);
}

}  // namespace qvtest
