#pragma once

#include <cstdint>
#include <functional>

// Every wait of the Bluetooth LE transport, in one place. The defaults are the shipped values;
// tests shorten them through SetBleTimingForTesting (tests/support/ScopedBleTiming.h).
struct BleTiming {
    // One pass of every polling wait, and the condition wait of a write response.
    int pollMs = 1;
    // Open: the wait for the radio, the window for connection attempts, one attempt, and the
    // settle wait after the characteristics are known.
    int poweredOnWaitMs = 5000;
    int openWindowMs = 20000;
    int openAttemptMs = 10000;
    int openSettleMs = 100;
    // Close, and a failed connection attempt: the wait for the disconnection.
    int closeWaitMs = 5000;
    // Open by address: how long to scan for an address not yet seen, and how often to look.
    int addressLookupMs = 20000;
    int addressLookupPollMs = 200;
    // A profile handler of the automatic profile: the wait for its characteristics.
    int handlerDiscoveryMs = 5000;
    // Plain profile: least per-piece time-outs with and without response, and the caller's
    // per-piece time-out until the port sets its own.
    int v1WriteTimeoutWithResponseMs = 180000;
    int v1WriteTimeoutWithoutResponseMs = 40;
    int v1PacketTimeoutMs = 40;
    // Group-packet profile: the wait after each setup packet written, the wait for the
    // printer's answer to it, and the least time a group gets (plus 1 ms per byte).
    int v2SetupWriteWaitMs = 40;
    int v2SetupAnswerWaitMs = 100;
    int v2GroupMinimumMs = 3000;
    // Credit profile: a write of count bytes may take at least count plus this many ms.
    int v3WriteTimeoutFloorMs = 3000;
};

// A copy of the current values; cheap, safe from any thread.
BleTiming GetBleTiming();

// Test-only: replaces the values for every later wait.
void SetBleTimingForTesting(const BleTiming& timing);

// Polls ready() every poll interval while ms have not passed; whether it turned true.
bool PollUntil(int ms, const std::function<bool()>& ready);
