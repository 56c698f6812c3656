#pragma once

#include <cstdint>

// Every wait of the ports subsystem, in one place. The defaults are the shipped values;
// tests shorten them through SetPortTimingForTesting (tests/support/ScopedPortTiming.h)
// so that nothing waits out a real default.
struct PortTiming {
    // Sleep of one pass of every polling wait.
    uint32_t pollSleepMs = 1;
    // Receive timeout of one reader-thread read.
    uint32_t readerReadTimeoutMs = 100;
    // Length of one "whole second" of the transport helpers and NZThreadIO::BaseRead: their
    // timeouts are rounded up to whole units of this length.
    uint32_t helperSecondMs = 1000;
    // Timeout of the one-byte read after each command of RAZI::QueryOneByteStatus.
    uint32_t queryReplyTimeoutMs = 1000;
    // Default write timeout the open calls give the receipt and label command objects.
    uint32_t defaultWriteTimeoutMs = 3600000;
    // Age limits of the last printer status frame for CP_Port_IsConnectionValid.
    uint32_t statusFreshnessMs = 6000;
    uint32_t statusFreshnessTcpMs = 10000;
    // TCP keep-alive applied after a TCP open.
    uint32_t tcpKeepAliveIdleMs = 6000;
    uint32_t tcpKeepAliveIntervalMs = 2000;
    uint32_t tcpKeepAliveCount = 3;
    // Plain Bluetooth LE write mode applied after opening: per-packet timeout.
    uint32_t blePacketTimeoutMs = 180000;
};

// A copy of the current values; cheap, safe from any thread.
PortTiming GetPortTiming();

// Test-only: replaces the values for every later wait.
void SetPortTimingForTesting(const PortTiming& timing);
