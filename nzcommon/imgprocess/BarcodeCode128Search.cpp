#include "nzcommon/imgprocess/BarcodeCode128Search.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "nzcommon/imgprocess/BarcodePatternTables.h"
#include "quorvantelmise.h"

namespace nzbarcode {

const uint16_t (&code128_pattern)[107] = Code128BarTbl;

namespace {

constexpr int kModulesPerValue = 11;
constexpr int kCheckAndStop = 24;  // check value and the 13-module stop
constexpr int kMinLength = 46;

enum CodeSet : uint8_t { kA, kB, kC, kSets };
constexpr int kSwitchTo[kSets] = {101, 100, 99};

struct Step {
    int32_t prev;
    int32_t pos;
    uint32_t modules;  // wide: a long text passes 65535 modules
    CodeSet set;
    int8_t value;
};

int ValueInA(uint8_t b) {
    if (b < 32) return b + 64;
    if (b < 96) return b - 32;
    switch (b) {
        case 0xF1: return 102;
        case 0xF2: return 97;
        case 0xF3: return 96;
        case 0xF4: return 101;
        default: return -1;
    }
}

int ValueInB(uint8_t b) {
    if (b >= 32 && b < 128) return b - 32;
    switch (b) {
        case 0xF1: return 102;
        case 0xF2: return 97;
        case 0xF3: return 96;
        case 0xF4: return 100;
        default: return -1;
    }
}

bool IsDigitByte(uint8_t b) { return b >= '0' && b <= '9'; }

class Search {
public:
    Search(const uint8_t *text, int len) : text_(text), len_(len), seen_(static_cast<size_t>(len + 1) * kSets, UINT32_MAX) {
        steps_.reserve(256);
    }

    // Index of the shortest complete step within `bound` modules, or -1.
    int Run(int64_t bound) {
        Add({-1, 0, kModulesPerValue, kC, 105});
        Add({-1, 0, kModulesPerValue, kA, 103});
        Add({-1, 0, kModulesPerValue, kB, 104});
        int best = -1;
        for (size_t k = 0; k < steps_.size(); ++k) {
            const Step s = steps_[k];
            if (s.pos == len_) {
                if (s.modules < bound || (s.modules == bound && best < 0)) {
                    best = static_cast<int>(k);
                    bound = s.modules;
                }
                continue;
            }
            if (s.modules < bound) Expand(static_cast<int32_t>(k), s);
        }
        return best;
    }

    const std::vector<Step> &Steps() const { return steps_; }

private:
    // A later step at the same text position and code set with no fewer modules cannot lead
    // anywhere shorter than the earlier one; dropping it keeps the search linear.
    void Add(const Step &s) {
        uint32_t &seen = seen_[static_cast<size_t>(s.pos) * kSets + s.set];
        if (seen <= s.modules) return;
        seen = s.modules;
        steps_.push_back(s);
    }

    void Successor(int32_t from, const Step &s, CodeSet set, int value, int consumed) {
        const uint32_t cost = kModulesPerValue + (set != s.set ? kModulesPerValue : 0);
        Add({from, s.pos + consumed, s.modules + cost, set, static_cast<int8_t>(value)});
    }

    void Expand(int32_t from, const Step &s) {
        const uint8_t b = text_[s.pos];
        int cValue = -1, cConsumed = 0;
        if (s.pos + 1 < len_ && IsDigitByte(b) && IsDigitByte(text_[s.pos + 1])) {
            cValue = (b - '0') * 10 + (text_[s.pos + 1] - '0');
            cConsumed = 2;
        } else if (b == 0xF1) {
            cValue = 102;
            cConsumed = 1;
        }
        const int a = ValueInA(b), bv = ValueInB(b);
        if (cValue >= 0) Successor(from, s, kC, cValue, cConsumed);
        switch (s.set) {
            case kC:
                if (cValue >= 0) break;
                if (a >= 0) Successor(from, s, kA, a, 1);
                if (bv >= 0) Successor(from, s, kB, bv, 1);
                break;
            case kA:
                if (a >= 0)
                    Successor(from, s, kA, a, 1);
                else if (bv >= 0)
                    Successor(from, s, kB, bv, 1);
                break;
            default:
                if (bv >= 0)
                    Successor(from, s, kB, bv, 1);
                else if (a >= 0)
                    Successor(from, s, kA, a, 1);
                break;
        }
    }

    const uint8_t *text_;
    int len_;
    std::vector<Step> steps_;
    std::vector<uint32_t> seen_;  // fewest modules of a step made so far, per position and set
};

unsigned char *PutValue(unsigned char *out, uint16_t pattern, int modules) {
    for (int m = modules - 1; m >= 0; --m) *out++ = ((pattern >> m) & 1) ? 255 : 0;
    return out;
}

int Encode(const uint8_t *text, size_t len, unsigned char *dst, int maxLength) {
    if (len > static_cast<size_t>(INT_MAX / kSets - 1)) return 0;
    Search search(text, static_cast<int>(len));
    const int best = search.Run(static_cast<int64_t>(maxLength) - kCheckAndStop);
    if (best < 0) return 0;
    const std::vector<Step> &steps = search.Steps();
    std::vector<int32_t> path;
    for (int32_t k = best; k >= 0; k = steps[static_cast<size_t>(k)].prev) path.push_back(k);
    std::vector<int> values;
    values.reserve(steps[static_cast<size_t>(best)].modules / kModulesPerValue);
    for (size_t i = path.size(); i-- > 0;) {
        const Step &s = steps[static_cast<size_t>(path[i])];
        if (!values.empty() && s.set != steps[static_cast<size_t>(path[i + 1])].set) values.push_back(kSwitchTo[s.set]);
        values.push_back(s.value);
    }
    int check = values[0];
    unsigned char *out = dst;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) check = static_cast<int>((check + static_cast<int64_t>(i) * values[i]) % 103);
        out = PutValue(out, code128_pattern[values[i]], kModulesPerValue);
    }
    out = PutValue(out, code128_pattern[check % 103], kModulesPerValue);
    out = PutValue(out, code128_stop_pattern, 13);
    return static_cast<int>(out - dst);
}

}  // namespace
}  // namespace nzbarcode

int code128_estimate_len(const char *str) {
    if (!str) return 0;
    const long long n = static_cast<long long>(std::strlen(str));
    const long long estimate = (n * 11 / 10) * 11 + 35;
    return estimate > INT_MAX ? 0 : static_cast<int>(estimate);
}

int code128_encode_raw(const char *str, unsigned char *pDst, int nMaxLength) {
    if (!str || !pDst || nMaxLength < nzbarcode::kMinLength) return 0;
    try {
        return nzbarcode::Encode(reinterpret_cast<const uint8_t *>(str), std::strlen(str), pDst, nMaxLength);
    } catch (const std::bad_alloc &) {
        return 0;
    }
}
