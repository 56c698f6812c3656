#pragma once

#include <atomic>
#include <cstddef>

#include "printer/RAZIHolder.h"

// A holder with a default write timeout, and the commands that receipt and label printers
// share. Every command is written whole, in one write, with that timeout; a command is true
// exactly when every byte of it was written.
class NZPrinter : public RAZIHolder {
public:
    static constexpr unsigned kConstructedWriteTimeoutMs = 600000;

    void SetIODefaultTimeout(unsigned timeout_ms) { timeout_ms_.store(timeout_ms); }
    unsigned GetIODefaultTimeout() const { return timeout_ms_.load(); }

    // A write reports its count as an int: a longer command could never be confirmed.
    static constexpr size_t kMaxCommandBytes = 0x7FFFFFFF;

    // Writes the whole command with the default timeout. A command longer than
    // kMaxCommandBytes is refused with nothing sent.
    bool WriteCommand(const unsigned char* command, size_t length);
    template <size_t N>
    bool WriteCommand(const unsigned char (&command)[N]) { return WriteCommand(command, N); }

    bool POS_KickDrawer(int drawer, int high_time, int low_time);
    bool POS_Beep(int count, int ms);
    bool POS_FeedAndCutPaper();
    bool POS_FullCutPaper();
    bool POS_HalfCutPaper();
    bool POS_PrintSelfTestPage();
    bool POS_Reset();
    bool POS_SetPrintSpeed(int speed);
    bool POS_SetPrintDensity_16(int density);
    bool POS_SetSingleByteMode();
    bool POS_SetCharacterSet(int character_set);
    bool POS_SetCharacterCodepage(int codepage);
    bool POS_SetMultiByteMode();
    bool POS_SetMultiByteEncoding(int encoding);
    // 10 05 FF 01 02 and 10 05 01 with 61 zero bytes (defined with the status queries).
    bool POS_ClearPrinterBuffer();
    bool POS_ClearPrinterError();

protected:
    static unsigned char Low8(int value) { return static_cast<unsigned char>(value & 0xFF); }
    static unsigned char High8(int value) {
        return static_cast<unsigned char>((value >> 8) & 0xFF);
    }

private:
    std::atomic<unsigned> timeout_ms_{kConstructedWriteTimeoutMs};
};
