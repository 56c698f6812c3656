#include "nzcommon/imgprocess/BarcodeTwoWidth.h"

#include <cstring>

#include "nzcommon/imgprocess/BarcodeBitRow.h"
#include "nzcommon/imgprocess/BarcodePatternTables.h"

namespace nzbarcode {
namespace {

constexpr int kCode11StartStop = 11;

bool AllDigits(const uint8_t *text, int n) {
    for (int i = 0; i < n; ++i)
        if (!IsDigit(text[i])) return false;
    return true;
}

// Weight 3 on the digits of the last digit's parity.
int Mod10Weight3(const uint8_t *text, int n) {
    int s1 = 0, s3 = 0;
    for (int i = 0; i < n; ++i) ((n - 1 - i) % 2 == 0 ? s3 : s1) += text[i] - '0';
    return (10 - (s1 + 3 * s3) % 10) % 10;
}

// ITF digits with a leading 0 when `padWhenOdd` matches the count's parity, then an optional
// check digit over the given digits.
uint32_t Itf(const uint8_t *text, uint8_t *values, int len, bool padWhenOdd, bool withCheck) {
    if (len < 1 || !AllDigits(text, len)) return kRefused;
    ValueSink sink(values);
    if ((len % 2 == 1) == padWhenOdd) sink.Put(0);
    for (int i = 0; i < len; ++i) sink.Put(text[i] - '0');
    if (withCheck) sink.Put(Mod10Weight3(text, len));
    return sink.Finish();
}

int CodabarIndex(uint8_t c) {
    if (c == 0) return -1;
    const char *p = static_cast<const char *>(std::memchr(CodeBarCharTbl, c, 20));
    return p ? static_cast<int>(p - CodeBarCharTbl) : -1;
}

bool IsCodabarStartStop(uint8_t c) { return c >= 'A' && c <= 'D'; }

bool ValuesBelow(const uint8_t *values, int n, int limit) {
    for (int i = 0; i < n; ++i)
        if (values[i] >= limit) return false;
    return true;
}

}  // namespace

uint32_t GenI25Checksum(uint8_t *text, uint8_t *values, int len) { return Itf(text, values, len, true, false); }
uint32_t GenI25CChecksum(uint8_t *text, uint8_t *values, int len) { return Itf(text, values, len, false, true); }

// A 14th digit is taken as the check digit and replaced, as EAN-13 does with its 13th.
uint32_t GenIITF14Checksum(uint8_t *text, uint8_t *values, int len) {
    if (len < 13 || !AllDigits(text, len < 14 ? len : 14)) return kRefused;
    return Itf(text, values, 13, false, true);
}

uint32_t GenCodeBarChecksum(uint8_t *text, uint8_t *values, int len) {
    ValueSink sink(values);
    if (!IsCodabarStartStop(text[0])) sink.Put(CodabarIndex('A'));
    for (int i = 0; i < len; ++i) {
        const int index = CodabarIndex(text[i]);
        if (index < 0) return kRefused;
        sink.Put(index);
    }
    // A lone start character needs its stop as well.
    if (!IsCodabarStartStop(text[len - 1]) || sink.Count() == 1) sink.Put(CodabarIndex('A'));
    return sink.Finish();
}

uint32_t GenCODE11Checksum(uint8_t *text, uint8_t *values, int len) {
    ValueSink sink(values);
    for (int i = 0; i < len; ++i) {
        if (IsDigit(text[i]))
            sink.Put(text[i] - '0');
        else if (text[i] == '-')
            sink.Put(10);
        else
            return kRefused;
    }
    const int n = sink.Count();
    int c = 0;
    for (int i = 0; i < n; ++i) c += sink.At(i) * ((n - 1 - i) % 10 + 1);
    c %= 11;
    sink.Put(c);
    if (n >= 10) {
        int k = 0;
        for (int i = 0; i <= n; ++i) k += sink.At(i) * ((n - i) % 9 + 1);
        sink.Put(k % 11);
    }
    return sink.Finish();
}

uint32_t GenMSIChecksum(uint8_t *text, uint8_t *values, int len) {
    if (len < 1 || !AllDigits(text, len)) return kRefused;
    ValueSink sink(values);
    for (int i = 0; i < len; ++i) sink.Put(text[i] - '0');
    return sink.Finish();
}

// Digit by digit, so a text of any length keeps all of its digits.
uint32_t GenMSICChecksum(uint8_t *text, uint8_t *values, int len) {
    if (len < 1 || !AllDigits(text, len)) return kRefused;
    ValueSink sink(values);
    int s = 0;
    for (int i = 0; i < len; ++i) {
        const int d = text[i] - '0';
        sink.Put(d);
        s += (len - 1 - i) % 2 == 0 ? (2 * d) / 10 + (2 * d) % 10 : d;
    }
    sink.Put((10 - s % 10) % 10);
    return sink.Finish();
}

int I25Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit) {
    const int n = CountValues(values);
    if (n < 0 || n % 2 || !ValuesBelow(values, n, 10)) return 0;
    pos = FillI25Dot(row, pos, 0x00, 0x00, 2, unit);
    for (int i = 0; i < n && pos <= kMaxDots; i += 2)
        pos = FillI25Dot(row, pos, i25tbl[values[i]], i25tbl[values[i + 1]], 5, unit);
    pos = FillI25Dot(row, pos, 0x80, 0x00, 2, unit);
    return RowEnd(pos);
}

int CodeBarBarcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit) {
    const int n = CountValues(values);
    if (n < 0 || !ValuesBelow(values, n, 20)) return 0;
    for (int i = 0; i < n && pos <= kMaxDots; ++i) {
        pos = Fill39Dot(row, pos, CodeBarBarTbl[values[i]], 7, unit, true);
        pos = PutRun(row, pos, false, unit);
    }
    return RowEnd(pos);
}

int CODE11Barcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit) {
    const int n = CountValues(values);
    if (n < 0 || !ValuesBelow(values, n, 11)) return 0;
    for (int i = -1; i <= n && pos <= kMaxDots; ++i) {
        const int v = (i < 0 || i == n) ? kCode11StartStop : values[i];
        pos = Fill39Dot(row, pos, Code11BarTbl[v], 5, unit, true);
        pos = PutRun(row, pos, false, unit);
    }
    return RowEnd(pos);
}

int MSIBarcode(int pos, const uint8_t *values, uint8_t *row, uint8_t unit) {
    const int n = CountValues(values);
    if (n < 0 || !ValuesBelow(values, n, 10)) return 0;
    pos = FillMsiDot(row, pos, 0x80, 1, unit);
    for (int i = 0; i < n && pos <= kMaxDots; ++i) pos = FillMsiDot(row, pos, static_cast<uint8_t>(values[i] << 4), 4, unit);
    pos = FillMsiDot(row, pos, 0x00, 1, unit);
    return RowEnd(PutRun(row, pos, true, unit));
}

}  // namespace nzbarcode
