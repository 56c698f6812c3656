#pragma once

#include <cstdint>

// Every wait of the printer queries and the framed maintenance protocol, in one place. The
// defaults are the shipped values; tests shorten them through SetPrinterTimingForTesting
// (tests/support/ScopedPrinterTiming.h) so that nothing waits out a real default.
struct PrinterTiming {
    // Sleep of one pass of every polling wait with nothing to read.
    uint32_t pollSleepMs = 1;
    // A real-time status query is sent again each time this much has passed unanswered.
    uint32_t rtStatusResendMs = 300;
    // Time-out of each read of a status or print-result reply once its bytes are there.
    uint32_t replyReadTimeoutMs = 1000;
    // Sleep after a failed framed-protocol attempt before the next try.
    uint32_t protoRetrySleepMs = 100;
    // Write and read time-outs of the firmware update and flash read blocks.
    uint32_t protoTransferWriteTimeoutMs = 1000;
    uint32_t protoTransferReadTimeoutMs = 1000;
    // Write time-out of the one-packet settings (names, parameter block).
    uint32_t protoSettingWriteTimeoutMs = 10000;
    // Write time-out of the hardware-setting record (the handle's default does not apply).
    uint32_t hardwareSettingWriteTimeoutMs = 10000;
    // Stop at boot: read time-out of the answer byte, write time-out of each "a", sleep
    // between them.
    uint32_t stopAtBootReadTimeoutMs = 1000;
    uint32_t stopAtBootWriteTimeoutMs = 10000;
    uint32_t stopAtBootSleepMs = 10;
};

// A copy of the current values; cheap, safe from any thread.
PrinterTiming GetPrinterTiming();

// Test-only: replaces the values for every later wait.
void SetPrinterTimingForTesting(const PrinterTiming& timing);
