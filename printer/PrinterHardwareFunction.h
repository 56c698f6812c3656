#pragma once

#include <cstddef>
#include <cstdint>

// Printer settings stored in the printer, sent as one 31-byte hardware-function select
// command. f[0] to f[13] select settings (nonzero = selected); f[14] to f[29] are values.
// The print speed is f[24], selected by f[8].
class PrinterHardwareFunction {
public:
    static constexpr int kFieldCount = 30;
    static constexpr int kCommandLength = 31;
    static constexpr int kPrintSpeedFlag = 8;
    static constexpr int kPrintSpeedValue = 24;

    uint32_t f[kFieldCount] = {};

    // *needed (may be null) is always 31. With a non-null out of capacity >= 31 the command
    // is written there and *written (may be null) becomes 31; else out is untouched and
    // *written is 0.
    void GetCmd(unsigned char* out, int capacity, int* needed, int* written) const;
};
