#pragma once

#include <cstdint>

// The status and print-result waits behind CP_Pos_QueryRTStatus and CP_Pos_QueryPrintResult.
// They write to the port and read the plain received bytes from the handle's receive ring,
// so status frames and framed packets never disturb them. Each holds a handle reference.

// Real-time status bytes are recognised by (b & 0x13) == 0x12; bit 3 of the DLE EOT 1 reply
// means the printer is off line.
constexpr bool IsRealTimeStatusByte(unsigned char b) { return (b & 0x13) == 0x12; }
constexpr unsigned char kRealTimeStatusOffline = 0x08;

// DLE EOT n sent at once and again each resend interval; the first real-time status byte
// that comes, or 0 when none came within timeout_ms.
unsigned Pos_QueryRTStatus(void* handle, unsigned char n, unsigned timeout_ms);

// Wait for the answer 37 22 id to the print-result query with this id.
bool Pos_QueryPrintResult_WithVelnorStatus(void* handle, unsigned id, unsigned timeout_ms);
bool Pos_QueryPrintResult_WithQueryRTStatus(void* handle, unsigned id, unsigned timeout_ms);

// The print and tear adjustments sent for a value in millimetres: truncated toward zero
// and held to the signed byte the printer keeps them in (NaN gives 0).
int8_t LabelPositionAdjustmentDots(double millimetres, unsigned dots_per_mm);
