#include "support/ScopedBleTiming.h"

namespace qvtest {

BleTiming ScopedBleTiming::Fast() {
    BleTiming fast;
    fast.pollMs = 1;
    fast.poweredOnWaitMs = 200;
    fast.openWindowMs = 400;
    fast.openAttemptMs = 150;
    fast.openSettleMs = 5;
    fast.closeWaitMs = 200;
    fast.addressLookupMs = 300;
    fast.addressLookupPollMs = 5;
    fast.handlerDiscoveryMs = 200;
    fast.v1WriteTimeoutWithResponseMs = 300;
    fast.v1WriteTimeoutWithoutResponseMs = 5;
    fast.v1PacketTimeoutMs = 5;
    fast.v2SetupWriteWaitMs = 5;
    fast.v2SetupAnswerWaitMs = 50;
    fast.v2GroupMinimumMs = 1000;
    fast.v3WriteTimeoutFloorMs = 150;
    return fast;
}

ScopedBleTiming::ScopedBleTiming() : saved_(GetBleTiming()), current_(Fast()) {
    SetBleTimingForTesting(current_);
}

ScopedBleTiming::~ScopedBleTiming() { SetBleTimingForTesting(saved_); }

void ScopedBleTiming::Set(const std::function<void(BleTiming&)>& change) {
    change(current_);
    SetBleTimingForTesting(current_);
}

}  // namespace qvtest
