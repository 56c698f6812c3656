#include "printer/NZPrinter.h"

bool NZPrinter::WriteCommand(const unsigned char* command, size_t length) {
    if (length > kMaxCommandBytes) return false;
    int written = Write(command, length, GetIODefaultTimeout());
    return written >= 0 && static_cast<size_t>(written) == length;
}

bool NZPrinter::POS_KickDrawer(int drawer, int high_time, int low_time) {
    const unsigned char command[] = {0x1B, 0x70, Low8(drawer), Low8(high_time), Low8(low_time)};
    return WriteCommand(command);
}

bool NZPrinter::POS_Beep(int count, int ms) {
    const unsigned char command[] = {0x1B, 0x42, Low8(count), Low8(ms / 100)};
    return WriteCommand(command);
}

bool NZPrinter::POS_FeedAndCutPaper() {
    static constexpr unsigned char command[] = {0x1D, 0x56, 0x42, 0x00};
    return WriteCommand(command);
}

bool NZPrinter::POS_FullCutPaper() {
    static constexpr unsigned char command[] = {0x1B, 0x69};
    return WriteCommand(command);
}

bool NZPrinter::POS_HalfCutPaper() {
    static constexpr unsigned char command[] = {0x1B, 0x6D};
    return WriteCommand(command);
}

bool NZPrinter::POS_PrintSelfTestPage() {
    static constexpr unsigned char command[] = {0x12, 0x54};
    return WriteCommand(command);
}

bool NZPrinter::POS_Reset() {
    static constexpr unsigned char command[] = {0x1B, 0x40};
    return WriteCommand(command);
}

bool NZPrinter::POS_SetPrintSpeed(int speed) {
    const unsigned char command[] = {0x1F, 0x28, 0x73, 0x02, 0x00, Low8(speed), High8(speed)};
    return WriteCommand(command);
}

bool NZPrinter::POS_SetPrintDensity_16(int density) {
    const unsigned char command[] = {0x12, 0x23, Low8(density)};
    return WriteCommand(command);
}

bool NZPrinter::POS_SetSingleByteMode() {
    static constexpr unsigned char command[] = {0x1C, 0x2E};
    return WriteCommand(command);
}

bool NZPrinter::POS_SetCharacterSet(int character_set) {
    const unsigned char command[] = {0x1B, 0x52, Low8(character_set)};
    return WriteCommand(command);
}

bool NZPrinter::POS_SetCharacterCodepage(int codepage) {
    const unsigned char command[] = {0x1B, 0x74, Low8(codepage)};
    return WriteCommand(command);
}

bool NZPrinter::POS_SetMultiByteMode() {
    static constexpr unsigned char command[] = {0x1C, 0x26};
    return WriteCommand(command);
}

bool NZPrinter::POS_SetMultiByteEncoding(int encoding) {
    const unsigned char command[] = {0x1B, 0x39, Low8(encoding)};
    return WriteCommand(command);
}
