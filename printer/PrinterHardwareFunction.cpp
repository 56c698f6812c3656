#include "printer/PrinterHardwareFunction.h"

namespace {

// Order of the selection flags in the mask, bit 0 first: the printer takes f12 before f11.
constexpr int kMaskOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 11, 13};

void PutBigEndian32(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

void PutBigEndian16(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

unsigned char LetterCode(uint32_t value) {
    switch (value) {
        case 1: return 'h';
        case 2: return 'f';
        case 3: return 'r';
        default: return 0;
    }
}

}  // namespace

void PrinterHardwareFunction::GetCmd(unsigned char* out, int capacity, int* needed,
                                     int* written) const {
    if (needed != nullptr) *needed = kCommandLength;
    if (written != nullptr) *written = 0;
    if (out == nullptr || capacity < kCommandLength) return;

    unsigned char cmd[kCommandLength] = {0x1F, 0x53};
    uint32_t mask = 0;
    for (int bit = 0; bit < static_cast<int>(sizeof kMaskOrder / sizeof kMaskOrder[0]); ++bit)
        if (f[kMaskOrder[bit]] != 0) mask |= 1u << bit;
    PutBigEndian32(cmd + 2, mask);
    cmd[10] = 19;  // bytes 11 to 29
    cmd[11] = static_cast<unsigned char>(f[14]);
    cmd[12] = static_cast<unsigned char>(f[15]);
    cmd[13] = static_cast<unsigned char>(static_cast<int32_t>(f[16]) / 8);
    PutBigEndian16(cmd + 14, f[17]);
    PutBigEndian16(cmd + 16, f[18]);
    cmd[18] = static_cast<unsigned char>(f[19]);
    cmd[19] = static_cast<unsigned char>(f[20]);
    PutBigEndian32(cmd + 20, (f[21] << 25) + ((f[22] & 0xFFFu) << 12) + (f[23] & 0xFFFu));
    cmd[24] = static_cast<unsigned char>(f[24]);
    cmd[25] = static_cast<unsigned char>(f[25]);
    cmd[26] = LetterCode(f[26]);
    cmd[27] = static_cast<unsigned char>(f[28]);
    cmd[28] = static_cast<unsigned char>(f[27]);
    cmd[29] = static_cast<unsigned char>(f[29]);
    unsigned char check = 0;
    for (int i = 11; i <= 29; ++i) check ^= cmd[i];
    cmd[30] = check;

    for (int i = 0; i < kCommandLength; ++i) out[i] = cmd[i];
    if (written != nullptr) *written = kCommandLength;
}
