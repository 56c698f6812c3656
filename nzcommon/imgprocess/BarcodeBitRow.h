// The module row the one-dimensional encoders draw into, and its writers.
#pragma once

#include <cstdint>

namespace nzbarcode {

constexpr int kTextBufferSize = 220;
constexpr int kMaxTextLength = 200;
constexpr int kValueListSize = 220;
constexpr int kBitRowBytes = 251;
constexpr int kMaxDots = 2000;
constexpr uint8_t kEndOfValues = 0xFF;
constexpr uint32_t kRefused = 0xFFFFFFFFu;

// Writers never touch a bit at or past kMaxDots but keep counting, so a renderer can tell a
// row that does not fit from one that does.
int PutRun(uint8_t *row, int pos, bool bar, int width);
bool BitAt(const uint8_t *row, int pos);

// Top `count` bits of `pattern`, each as `unit` bits.
int SetDot(uint8_t *row, int pos, uint8_t pattern, int count, int unit);
// `count` elements, element 0 in bit count-1, alternating from a bar (or a space); a 1 is
// 3 units wide, a 0 one unit.
int Fill39Dot(uint8_t *row, int pos, uint16_t pattern, int count, int unit, bool startWithBar);
// `pairs` bar/space pairs from bit 7 of each pattern; a 1 is 3 units wide.
int FillI25Dot(uint8_t *row, int pos, uint8_t bars, uint8_t spaces, int pairs, int unit);
// Top `bits` bits of `pattern`: 1 = 3-unit bar and 1-unit space, 0 = 1-unit bar, 3-unit space.
int FillMsiDot(uint8_t *row, int pos, uint8_t pattern, int bits, int unit);

// The renderers' result: the width, or 0 when the row would pass kMaxDots.
inline int RowEnd(int pos) { return pos > kMaxDots ? 0 : pos; }

// Bounded writer of a value list; the last slot is kept for the end marker.
class ValueSink {
public:
    explicit ValueSink(uint8_t *values) : values_(values) {}
    void Put(int v) {
        if (count_ >= kValueListSize - 1 || v < 0 || v >= kEndOfValues) {
            ok_ = false;
            return;
        }
        values_[count_++] = static_cast<uint8_t>(v);
    }
    int Count() const { return count_; }
    int At(int i) const { return values_[i]; }
    // 0 when every value fitted (the list is then terminated), else kRefused.
    uint32_t Finish() {
        if (!ok_) return kRefused;
        values_[count_] = kEndOfValues;
        return 0;
    }

private:
    uint8_t *values_;
    int count_ = 0;
    bool ok_ = true;
};

// Number of values before the end marker, or -1 when there is none.
int CountValues(const uint8_t *values);

// Text (in a zeroed kTextBufferSize buffer) to a value list ending in kEndOfValues; 0 or
// kRefused.
using Validator = uint32_t (*)(uint8_t *text, uint8_t *values, int len);
// Value list to modules from bit `pos`; the end position, or 0 when refused.
using Renderer = int (*)(int pos, const uint8_t *values, uint8_t *row, uint8_t unit);

inline bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace nzbarcode
