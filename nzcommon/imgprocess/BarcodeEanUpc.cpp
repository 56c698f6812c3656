#include "nzcommon/imgprocess/BarcodeEanUpc.h"

#include "nzcommon/imgprocess/BarcodeBitRow.h"
#include "nzcommon/imgprocess/BarcodePatternTables.h"

namespace nzbarcode {
namespace {

// Refuses anything but digits: the digit tables have 11 entries, so a letter taken by its
// low bits would read past them.
bool ReadDigits(const uint8_t *text, int n, uint8_t *out) {
    for (int i = 0; i < n; ++i) {
        if (!IsDigit(text[i])) return false;
        out[i] = static_cast<uint8_t>(text[i] - '0');
    }
    return true;
}

// Weight 3 on the positions of the last digit's parity. A UPC-A marker (10) counts as 0.
int EanCheck(const uint8_t *d, int n) {
    int s1 = 0, s3 = 0;
    for (int i = 0; i < n; ++i) ((n - 1 - i) % 2 == 0 ? s3 : s1) += d[i];
    return (1000 - s1 - 3 * s3) % 10;
}

// Main digits (12 or 7), their check digit, then `addon` add-on digits.
uint32_t EanWithAddon(const uint8_t *text, uint8_t *values, int len, int addon) {
    const int main = len - addon;
    if (main != 12 && main != 7) return kRefused;
    uint8_t d[17];
    if (!ReadDigits(text, len, d)) return kRefused;
    ValueSink sink(values);
    for (int i = 0; i < main; ++i) sink.Put(d[i]);
    sink.Put(EanCheck(d, main));
    for (int i = main; i < len; ++i) sink.Put(d[i]);
    return sink.Finish();
}

// UPC-A is EAN-13 behind a marker that selects the all-L parity.
uint32_t UpcaWithAddon(const uint8_t *text, uint8_t *values, int len, int addon) {
    if (len < 11 + addon) return kRefused;
    uint8_t d[17];
    d[0] = 10;
    if (!ReadDigits(text, 11 + addon, d + 1)) return kRefused;
    ValueSink sink(values);
    for (int i = 0; i < 12; ++i) sink.Put(d[i]);
    sink.Put(EanCheck(d, 12));
    for (int i = 12; i < 12 + addon; ++i) sink.Put(d[i]);
    return sink.Finish();
}

uint32_t UpceWithAddon(const uint8_t *text, uint8_t *values, int len, int addon) {
    if (len < 6 + addon) return kRefused;
    uint8_t d[11];
    if (!ReadDigits(text, 6 + addon, d)) return kRefused;
    char upca[11];
    UPCE_to_UPCA(text, upca);
    uint8_t a[11];
    for (int i = 0; i < 11; ++i) a[i] = static_cast<uint8_t>(upca[i] - '0');
    ValueSink sink(values);
    sink.Put(0);
    for (int i = 0; i < 6; ++i) sink.Put(d[i]);
    sink.Put(EanCheck(a, 11));
    for (int i = 6; i < 6 + addon; ++i) sink.Put(d[i]);
    return sink.Finish();
}

bool AllDigits(const uint8_t *v, int from, int to) {
    for (int i = from; i < to; ++i)
        if (v[i] > 9) return false;
    return true;
}

int Guard(uint8_t *row, int pos, uint8_t pattern, int count, int unit) { return SetDot(row, pos, pattern, count, unit); }

int DrawEan13(int pos, const uint8_t *v, uint8_t *row, int unit) {
    const uint8_t parity = EAN13Tbl[v[0]];
    pos = Guard(row, pos, 0xA0, 3, unit);
    for (int i = 0; i < 6; ++i) pos = SetDot(row, pos, Read13LRDot(v[1 + i], (parity << i) & 0x80), 7, unit);
    pos = Guard(row, pos, 0x50, 5, unit);
    for (int i = 0; i < 6; ++i) pos = SetDot(row, pos, Read13LRDot(v[7 + i], 2), 7, unit);
    return Guard(row, pos, 0xA0, 3, unit);
}

int DrawEan8(int pos, const uint8_t *v, uint8_t *row, int unit) {
    pos = Guard(row, pos, 0xA0, 3, unit);
    for (int i = 0; i < 4; ++i) pos = SetDot(row, pos, Read13LRDot(v[i], 0), 7, unit);
    pos = Guard(row, pos, 0x50, 5, unit);
    for (int i = 4; i < 8; ++i) pos = SetDot(row, pos, Read13LRDot(v[i], 2), 7, unit);
    return Guard(row, pos, 0xA0, 3, unit);
}

int DrawUpce(int pos, const uint8_t *v, uint8_t *row, int unit) {
    uint8_t parity = upctbl[v[7]];
    if (v[0] == 1) parity = static_cast<uint8_t>(~parity & 0xFC);
    pos = Guard(row, pos, 0xA0, 3, unit);
    for (int i = 0; i < 6; ++i) pos = SetDot(row, pos, Read13LRDot(v[1 + i], (parity << i) & 0x80), 7, unit);
    return Guard(row, pos, 0x54, 6, unit);
}

int DrawAddon(int pos, const uint8_t *d, int n, uint8_t *row, int unit) {
    uint8_t parity;
    if (n == 2) {
        parity = static_cast<uint8_t>(((d[0] * 10 + d[1]) % 4) << 6);
    } else {
        parity = EAN13_5Tbl[(3 * (d[0] + d[2] + d[4]) + 9 * (d[1] + d[3])) % 10];
    }
    pos = PutRun(row, pos, false, 10 * unit);
    pos = Guard(row, pos, 0xB0, 4, unit);
    for (int i = 0; i < n; ++i) {
        if (i) pos = Guard(row, pos, 0x40, 2, unit);
        pos = SetDot(row, pos, Read13LRDot(d[i], (parity << i) & 0x80), 7, unit);
    }
    return pos;
}

// Each renderer reads exactly its own symbology's values; a list of another length (a
// 7-digit text given to an EAN-13 type, say) is refused rather than read past its end.
int RenderEan13(int pos, const uint8_t *v, uint8_t *row, int unit, int addon) {
    if (CountValues(v) != 13 + addon || v[0] > 10 || !AllDigits(v, 1, 13 + addon)) return 0;
    pos = DrawEan13(pos, v, row, unit);
    if (addon) pos = DrawAddon(pos, v + 13, addon, row, unit);
    return RowEnd(pos);
}

int RenderEan8(int pos, const uint8_t *v, uint8_t *row, int unit, int addon) {
    if (CountValues(v) != 8 + addon || !AllDigits(v, 0, 8 + addon)) return 0;
    pos = DrawEan8(pos, v, row, unit);
    if (addon) pos = DrawAddon(pos, v + 8, addon, row, unit);
    return RowEnd(pos);
}

int RenderUpce(int pos, const uint8_t *v, uint8_t *row, int unit, int addon) {
    if (CountValues(v) != 8 + addon || v[0] > 1 || !AllDigits(v, 1, 8 + addon)) return 0;
    pos = DrawUpce(pos, v, row, unit);
    if (addon) pos = DrawAddon(pos, v + 8, addon, row, unit);
    return RowEnd(pos);
}

}  // namespace

uint8_t Read13LRDot(uint8_t digit, int set) {
    if (digit > 10) return 0;
    if (set == 128) return tbl13e[digit];
    if (set == 2) return tbl13r[digit];
    return tbl13o[digit];
}

void UPCE_to_UPCA(const uint8_t *e, char *a) {
    const char d1 = static_cast<char>(e[0]), d2 = static_cast<char>(e[1]), d3 = static_cast<char>(e[2]),
               d4 = static_cast<char>(e[3]), d5 = static_cast<char>(e[4]), d6 = static_cast<char>(e[5]);
    const char *pattern;
    char buf[11];
    switch (d6) {
        case '0': case '1': case '2':
            pattern = "abf0000cde";
            break;
        case '3':
            pattern = "abc00000de";
            break;
        case '4':
            pattern = "abcd00000e";
            break;
        default:
            pattern = "abcde0000f";
            break;
    }
    int n = 0;
    for (const char *p = pattern; *p; ++p) {
        switch (*p) {
            case 'a': buf[n++] = d1; break;
            case 'b': buf[n++] = d2; break;
            case 'c': buf[n++] = d3; break;
            case 'd': buf[n++] = d4; break;
            case 'e': buf[n++] = d5; break;
            case 'f': buf[n++] = d6; break;
            case '0': buf[n++] = '0'; break;
            default: break;
        }
    }
    a[0] = '0';
    for (int i = 0; i < 10; ++i) a[1 + i] = buf[i];
}

uint32_t GenEAN13Checksum(uint8_t *text, uint8_t *values, int len) {
    if (len == 13 || len == 8) --len;  // the given check digit is replaced
    return EanWithAddon(text, values, len, 0);
}
uint32_t GenUPCAChecksum(uint8_t *text, uint8_t *values, int len) { return UpcaWithAddon(text, values, len, 0); }
uint32_t GenUPCEChecksum(uint8_t *text, uint8_t *values, int len) { return UpceWithAddon(text, values, len, 0); }
uint32_t GenEAN13_2Checksum(uint8_t *text, uint8_t *values, int len) { return EanWithAddon(text, values, len, 2); }
uint32_t GenEAN13_5Checksum(uint8_t *text, uint8_t *values, int len) { return EanWithAddon(text, values, len, 5); }
uint32_t GenUPCA_2Checksum(uint8_t *text, uint8_t *values, int len) { return UpcaWithAddon(text, values, len, 2); }
uint32_t GenUPCA_5Checksum(uint8_t *text, uint8_t *values, int len) { return UpcaWithAddon(text, values, len, 5); }
uint32_t GenUPCE_2Checksum(uint8_t *text, uint8_t *values, int len) { return UpceWithAddon(text, values, len, 2); }
uint32_t GenUPCE_5Checksum(uint8_t *text, uint8_t *values, int len) { return UpceWithAddon(text, values, len, 5); }

int EAN13Barcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderEan13(pos, v, row, unit, 0); }
int EAN13_2Barcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderEan13(pos, v, row, unit, 2); }
int EAN13_5Barcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderEan13(pos, v, row, unit, 5); }
int EAN8Barcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderEan8(pos, v, row, unit, 0); }
int EAN8_2Barcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderEan8(pos, v, row, unit, 2); }
int EAN8_5Barcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderEan8(pos, v, row, unit, 5); }
int UPCEBarcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderUpce(pos, v, row, unit, 0); }
int UPCE_2Barcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderUpce(pos, v, row, unit, 2); }
int UPCE_5Barcode(int pos, const uint8_t *v, uint8_t *row, uint8_t unit) { return RenderUpce(pos, v, row, unit, 5); }

}  // namespace nzbarcode
