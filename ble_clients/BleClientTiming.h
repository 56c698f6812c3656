#pragma once

#include <cstdint>

// Every wait of the stand-alone Bluetooth LE clients, in one place. The defaults are the
// shipped values; tests shorten them through SetBleClientTimingForTesting
// (tests/support/ScopedBleClientTiming.h) so that nothing waits out a real default.
struct BleClientTiming {
    // Sleep of one pass of every polling wait (open, settle, close, read).
    uint32_t pollSleepMs = 1;
    // How long scans and opens wait for the radio to be powered on.
    uint32_t poweredOnWaitMs = 5000;
    // Open by address: how long the scan list is searched, and the pause between searches.
    uint32_t addressSearchMs = 20000;
    uint32_t addressSearchPauseMs = 200;
    // Open: all attempts together, one attempt, and the settling after the profile is ready.
    uint32_t openMs = 20000;
    uint32_t connectAttemptMs = 10000;
    uint32_t settleMs = 100;
    // Close and a failed attempt: how long the disconnection is awaited.
    uint32_t disconnectWaitMs = 5000;
    // Indexed packets: one slice of the wait for the printer's index report.
    uint32_t indexReportSliceMs = 1000;
    // Group packets: the write of the setup packet, and the wait for its reply.
    uint32_t setupWriteMs = 40;
    uint32_t setupReplyMs = 100;
    // Group packets: a write's time limit is at least its byte count plus this.
    uint32_t groupWriteExtraMs = 3000;
};

// A copy of the current values; cheap, safe from any thread.
BleClientTiming GetBleClientTiming();

// Test-only: replaces the values for every later wait.
void SetBleClientTimingForTesting(const BleClientTiming& timing);
