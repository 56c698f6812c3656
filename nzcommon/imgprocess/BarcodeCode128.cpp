#include "nzcommon/imgprocess/BarcodeCode128.h"

#include "nzcommon/imgprocess/BarcodeBitRow.h"
#include "nzcommon/imgprocess/BarcodePatternTables.h"

namespace nzbarcode {
namespace {

enum CodeSet { kSetA, kSetB, kSetC };

constexpr int kShift = 98, kCodeC = 99, kCodeB = 100, kCodeA = 101, kFnc1 = 102;
constexpr int kStart[3] = {103, 104, 105};
constexpr int kStop = 106;

int DigitRun(const uint8_t *text, int from, int len) {
    int n = 0;
    while (from + n < len && IsDigit(text[from + n])) ++n;
    return n;
}

bool IsLowerB(uint8_t b) { return b >= 96 && b <= 127; }

CodeSet InitialSet(const uint8_t *text, int len, bool ean128) {
    if (text[0] < 32) return kSetA;
    if (!IsDigit(text[0])) return kSetB;
    const int n = DigitRun(text, 0, len);
    if (n >= 4) return kSetC;
    if (n < len) return text[n] < 32 ? kSetA : kSetB;
    return ean128 ? kSetB : kSetC;
}

// Check value over the list so far (start first), then the stop.
uint32_t FinishCode128(ValueSink &sink) {
    int sum = sink.At(0);
    for (int i = 1; i < sink.Count(); ++i) sum += i * sink.At(i);
    sink.Put(sum % 103);
    sink.Put(kStop);
    return sink.Finish();
}

uint32_t Automatic(const uint8_t *text, uint8_t *values, int len, bool ean128) {
    for (int i = 0; i < len; ++i)
        if (text[i] >= 128) return kRefused;
    ValueSink sink(values);
    CodeSet set = InitialSet(text, len, ean128);
    sink.Put(kStart[set]);
    if (ean128) sink.Put(kFnc1);
    // A pass that consumes nothing changes the code set, and the next pass consumes.
    for (int i = 0; i < len;) {
        const uint8_t b = text[i];
        if (set == kSetC) {
            if (i == len - 1) {
                sink.Put(kCodeB);
                set = kSetB;
            } else if (IsDigit(b) && IsDigit(text[i + 1])) {
                sink.Put((b - '0') * 10 + (text[i + 1] - '0'));
                i += 2;
            } else if (b >= 32 || text[i + 1] >= 32) {
                sink.Put(kCodeB);
                set = kSetB;
            } else {
                sink.Put(kCodeA);
                set = kSetA;
            }
            continue;
        }
        const int digits = DigitRun(text, i, len);
        if (digits >= 4) {
            if (digits % 2) sink.Put(Barcode_encode_as(set, text[i++]));
            sink.Put(kCodeC);
            set = kSetC;
        } else if (set == kSetA && IsLowerB(b)) {
            if (i + 1 < len && text[i + 1] < 32) {
                sink.Put(kShift);
                sink.Put(Barcode_encode_as(kSetB, b));
                ++i;
            } else {
                sink.Put(kCodeB);
                set = kSetB;
            }
        } else if (set == kSetB && b < 32) {
            if (i + 1 < len && IsLowerB(text[i + 1])) {
                sink.Put(kShift);
                sink.Put(Barcode_encode_as(kSetA, b));
                ++i;
            } else {
                sink.Put(kCodeA);
                set = kSetA;
            }
        } else {
            sink.Put(Barcode_encode_as(set, b));
            ++i;
        }
    }
    return FinishCode128(sink);
}

int ManualData(CodeSet set, uint8_t b) {
    if (set == kSetA) return b < 32 ? b + 64 : (b < 96 ? b - 32 : -1);
    return b < 32 ? -1 : b - 32;
}

}  // namespace

int Barcode_encode_as(int /*codeSet*/, uint8_t byte) { return byte < 32 ? byte + 64 : byte - 32; }

uint32_t GenCode128Checksum(uint8_t *text, uint8_t *values, int len) { return Automatic(text, values, len, false); }
uint32_t GenCodeEAN128Checksum(uint8_t *text, uint8_t *values, int len) { return Automatic(text, values, len, true); }

uint32_t GenCode128MChecksum(uint8_t *text, uint8_t *values, int len) {
    if (len < 1) return kRefused;
    for (int i = 0; i < len; ++i)
        if ((text[i] >= 128 && text[i] <= 143) || text[i] >= 154) return kRefused;
    ValueSink sink(values);
    int i = 0;
    CodeSet set = kSetB;
    if (text[0] >= kCode128StartA && text[0] <= kCode128StartC) {
        set = static_cast<CodeSet>(text[0] - kCode128StartA);
        ++i;
    }
    sink.Put(kStart[set]);
    bool shifted = false;
    for (; i < len; ++i) {
        const uint8_t b = text[i];
        if (b >= kCode128StartA) return kRefused;
        if (b >= kCode128Fnc3) {
            // FNC2, FNC3, SHIFT and CODE C have no meaning in code set C: their values are
            // digit pairs there.
            if (set == kSetC && b <= kCode128CodeC) return kRefused;
            static constexpr int kControl[7] = {96, 97, kShift, kCodeC, kCodeB, kCodeA, kFnc1};
            sink.Put(kControl[b - kCode128Fnc3]);
            if (b == kCode128Shift) shifted = true;
            if (b == kCode128CodeC) set = kSetC;
            if (b == kCode128CodeB) set = kSetB;
            if (b == kCode128CodeA) set = kSetA;
            continue;
        }
        if (set == kSetC) {
            if (i + 1 >= len || !IsDigit(b) || !IsDigit(text[i + 1])) return kRefused;
            sink.Put((b - '0') * 10 + (text[i + 1] - '0'));
            ++i;
            continue;
        }
        // The byte after SHIFT is read in the other code set.
        const CodeSet dataSet = shifted ? (set == kSetA ? kSetB : kSetA) : set;
        shifted = false;
        const int v = ManualData(dataSet, b);
        if (v < 0) return kRefused;
        sink.Put(v);
    }
    if (shifted) return kRefused;
    return FinishCode128(sink);
}

// 13 digits and the check digit; a 14th given digit is taken as the check digit and replaced.
uint32_t GenCodeEAN14Checksum(uint8_t *text, uint8_t *values, int len) {
    if (len < 13 || len > 14) return kRefused;
    uint8_t digits[14];
    int s1 = 0, s3 = 0;
    for (int i = 0; i < len; ++i)
        if (!IsDigit(text[i])) return kRefused;
    for (int i = 0; i < 13; ++i) {
        digits[i] = text[i];
        (i % 2 == 0 ? s3 : s1) += text[i] - '0';
    }
    digits[13] = static_cast<uint8_t>('0' + (10 - (s1 + 3 * s3) % 10) % 10);
    return Automatic(digits, values, 14, false);
}

int Code128Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit) {
    const int n = CountValues(values);
    if (n < 0) return 0;
    for (int i = 0; i < n && pos <= kMaxDots; ++i) {
        if (values[i] > kStop) return 0;
        const uint16_t pattern = Code128BarTbl[values[i]];
        for (int m = 10; m >= 0; --m) pos = PutRun(row, pos, (pattern >> m) & 1, unit);
        if (values[i] == kStop) pos = PutRun(row, pos, true, 2 * unit);
    }
    return RowEnd(pos);
}

}  // namespace nzbarcode
