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
    // TCP: the graceful close waits this long (in whole helper seconds) for the printer to
    // close its side. A TCP transport takes it when it is constructed.
    uint32_t tcpCloseWaitMs = 3000;
    // Discovery: receive timeout of its sockets, and the pause between query rounds, slept
    // in this many steps of this length while watching the cancel flag.
    uint32_t discoveryReceiveTimeoutMs = 50;
    uint32_t discoveryCycleSleepMs = 5;
    uint32_t discoveryCycleSleeps = 50;
    // AirKiss: socket timeouts and the gap after each datagram.
    uint32_t airkissSendTimeoutMs = 1000;
    uint32_t airkissReceiveTimeoutMs = 1000;
    uint32_t airkissDatagramGapMs = 5;
};

// A copy of the current values; cheap, safe from any thread.
PortTiming GetPortTiming();

// Test-only: replaces the values for every later wait.
void SetPortTimingForTesting(const PortTiming& timing);
