#include "support/ScopedPortTiming.h"

namespace qvtest {

PortTiming ScopedPortTiming::Fast() {
    PortTiming fast;
    fast.pollSleepMs = 1;
    fast.readerReadTimeoutMs = 5;
    fast.helperSecondMs = 50;
    fast.queryReplyTimeoutMs = 50;
    fast.defaultWriteTimeoutMs = 2000;
    fast.statusFreshnessMs = 300;
    fast.statusFreshnessTcpMs = 500;
    fast.tcpKeepAliveIdleMs = 6000;
    fast.tcpKeepAliveIntervalMs = 2000;
    fast.tcpKeepAliveCount = 3;
    fast.blePacketTimeoutMs = 2000;
    return fast;
}

ScopedPortTiming::ScopedPortTiming() : saved_(GetPortTiming()), current_(Fast()) {
    SetPortTimingForTesting(current_);
}

ScopedPortTiming::~ScopedPortTiming() { SetPortTimingForTesting(saved_); }

void ScopedPortTiming::Set(const std::function<void(PortTiming&)>& change) {
    change(current_);
    SetPortTimingForTesting(current_);
}

}  // namespace qvtest
