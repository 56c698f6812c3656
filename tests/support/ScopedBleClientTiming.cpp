#include "support/ScopedBleClientTiming.h"

namespace qvtest {

BleClientTiming ScopedBleClientTiming::Fast() {
    BleClientTiming fast;
    fast.pollSleepMs = 1;
    fast.poweredOnWaitMs = 100;
    fast.addressSearchMs = 300;
    fast.addressSearchPauseMs = 5;
    fast.openMs = 1500;
    fast.connectAttemptMs = 1000;
    fast.settleMs = 20;
    fast.disconnectWaitMs = 300;
    fast.indexReportSliceMs = 20;
    fast.setupWriteMs = 5;
    fast.setupReplyMs = 1000;  // answered at once; a loaded machine may still take tens of ms
    fast.groupWriteExtraMs = 2000;
    return fast;
}

ScopedBleClientTiming::ScopedBleClientTiming() : saved_(GetBleClientTiming()), current_(Fast()) {
    SetBleClientTimingForTesting(current_);
}

ScopedBleClientTiming::~ScopedBleClientTiming() { SetBleClientTimingForTesting(saved_); }

void ScopedBleClientTiming::Set(const std::function<void(BleClientTiming&)>& change) {
    change(current_);
    SetBleClientTimingForTesting(current_);
}

}  // namespace qvtest
