#include "nzcommon/imgprocess/BarcodeCode39Family.h"

#include "nzcommon/imgprocess/BarcodeBitRow.h"
#include "nzcommon/imgprocess/BarcodePatternTables.h"

namespace nzbarcode {
namespace {

constexpr int kCode39StartStop = 43;
constexpr int kCode93StartStop = 47;

// Full-ASCII Code 39 codes "$ % + /" by their pairs too: a full-ASCII reader takes the bare
// characters as shift characters.
bool PutFullAscii39(ValueSink &sink, uint8_t b) {
    if (b >= 128) return false;
    if (Shift39Set1[b]) sink.Put(Shift39Set1[b]);
    sink.Put(Code39Index(static_cast<uint8_t>(Shift93Set2[b])));
    return true;
}

uint32_t Code39Full(const uint8_t *text, uint8_t *values, int len, bool withCheck) {
    ValueSink sink(values);
    sink.Put(kCode39StartStop);
    int sum = 0;
    for (int i = 0; i < len; ++i)
        if (!PutFullAscii39(sink, text[i])) return kRefused;
    for (int i = 1; i < sink.Count(); ++i) sum += sink.At(i);
    if (withCheck) sink.Put(sum % 43);
    sink.Put(kCode39StartStop);
    return sink.Finish();
}

int PutModules(uint8_t *row, int pos, uint16_t pattern, int count, int unit) {
    for (int i = count - 1; i >= 0; --i) pos = PutRun(row, pos, (pattern >> i) & 1, unit);
    return pos;
}

}  // namespace

uint32_t GenCODE39Checksum(uint8_t *text, uint8_t *values, int len) {
    ValueSink sink(values);
    sink.Put(kCode39StartStop);
    for (int i = 0; i < len; ++i) {
        const int index = Code39Index(text[i]);
        if (index < 0) return kRefused;
        sink.Put(index);
    }
    sink.Put(kCode39StartStop);
    return sink.Finish();
}

uint32_t GenCODE39FullChecksum(uint8_t *text, uint8_t *values, int len) { return Code39Full(text, values, len, false); }
uint32_t GenCODE39CFullChecksum(uint8_t *text, uint8_t *values, int len) { return Code39Full(text, values, len, true); }

uint32_t GenCODE93Checksum(uint8_t *text, uint8_t *values, int len) {
    ValueSink sink(values);
    for (int i = 0; i < len; ++i) {
        const uint8_t b = text[i];
        if (b >= 128) return kRefused;
        const int index = Code39Index(b);
        if (index >= 0) {
            sink.Put(index);
        } else {
            sink.Put(Shift93Set1[b]);
            sink.Put(Code39Index(static_cast<uint8_t>(Shift93Set2[b])));
        }
    }
    const int n = sink.Count();
    int c = 0, k = 0;
    for (int i = 0; i < n; ++i) {
        const int fromRight = n - 1 - i;
        c += sink.At(i) * (fromRight % 20 + 1);
        k += sink.At(i) * ((fromRight + 1) % 15 + 1);
    }
    c %= 47;
    k = (k + c) % 47;
    sink.Put(c);
    sink.Put(k);
    return sink.Finish();
}

int CODE39Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit) {
    const int n = CountValues(values);
    if (n < 0) return 0;
    for (int i = 0; i < n && pos <= kMaxDots; ++i) {
        if (values[i] > kCode39StartStop) return 0;
        pos = Fill39Dot(row, pos, Code39BarTbl[values[i]], 9, unit, true);
        pos = PutRun(row, pos, false, unit);
    }
    return RowEnd(pos);
}

int CODE93Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit) {
    const int n = CountValues(values);
    if (n < 0) return 0;
    pos = PutModules(row, pos, Code93BarTbl[kCode93StartStop], 9, unit);
    for (int i = 0; i < n && pos <= kMaxDots; ++i) {
        if (values[i] >= kCode93StartStop) return 0;
        pos = PutModules(row, pos, Code93BarTbl[values[i]], 9, unit);
    }
    pos = PutModules(row, pos, Code93BarTbl[kCode93StartStop], 9, unit);
    return RowEnd(PutRun(row, pos, true, unit));
}

}  // namespace nzbarcode
