#include "nzcommon/imgprocess/BarcodeBitRow.h"

#include <algorithm>

namespace nzbarcode {

int PutRun(uint8_t *row, int pos, bool bar, int width) {
    const int end = std::min(pos + width, kMaxDots);
    for (int p = pos; p < end; ++p) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (p % 8));
        if (bar)
            row[p / 8] |= mask;
        else
            row[p / 8] &= static_cast<uint8_t>(~mask);
    }
    return pos + width;
}

bool BitAt(const uint8_t *row, int pos) { return (row[pos / 8] >> (7 - pos % 8)) & 1; }

int SetDot(uint8_t *row, int pos, uint8_t pattern, int count, int unit) {
    for (int i = 0; i < count; ++i) pos = PutRun(row, pos, (pattern << i) & 0x80, unit);
    return pos;
}

int Fill39Dot(uint8_t *row, int pos, uint16_t pattern, int count, int unit, bool startWithBar) {
    bool bar = startWithBar;
    for (int i = count - 1; i >= 0; --i, bar = !bar) pos = PutRun(row, pos, bar, ((pattern >> i) & 1) ? 3 * unit : unit);
    return pos;
}

int FillI25Dot(uint8_t *row, int pos, uint8_t bars, uint8_t spaces, int pairs, int unit) {
    for (int i = 0; i < pairs; ++i) {
        pos = PutRun(row, pos, true, ((bars << i) & 0x80) ? 3 * unit : unit);
        pos = PutRun(row, pos, false, ((spaces << i) & 0x80) ? 3 * unit : unit);
    }
    return pos;
}

int FillMsiDot(uint8_t *row, int pos, uint8_t pattern, int bits, int unit) {
    for (int i = 0; i < bits; ++i) {
        const bool one = (pattern << i) & 0x80;
        pos = PutRun(row, pos, true, one ? 3 * unit : unit);
        pos = PutRun(row, pos, false, one ? unit : 3 * unit);
    }
    return pos;
}

int CountValues(const uint8_t *values) {
    for (int i = 0; i < kValueListSize; ++i)
        if (values[i] == kEndOfValues) return i;
    return -1;
}

}  // namespace nzbarcode
