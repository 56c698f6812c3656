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

// Best way found to reach a text position in a code set. Among equal module counts the one
// with fewer values wins, then the one whose choices come first in the order start C, A, B and
// successors C before A before B: the choice a breadth-first search over every sequence
// would make, found here in one pass over the text.
struct State {
    uint32_t modules = UINT32_MAX;  // wide: a long text passes 65535 modules
    uint32_t depth = 0;             // values so far, switches not counted
    int32_t parent = -1;
    int32_t jump = -1;  // an ancestor further up, so that comparing two paths takes log steps
    int8_t value = 0;
};

class Search {
public:
    Search(const uint8_t *text, int len) : text_(text), len_(len), states_(static_cast<size_t>(len + 1) * kSets) {}

    // The best state at the end of the text within `bound` modules, or -1.
    int32_t Run(int64_t bound) {
        static constexpr int kStartValue[kSets] = {103, 104, 105};
        for (int set = 0; set < kSets; ++set) states_[static_cast<size_t>(set)] = {kModulesPerValue, 1, -1, -1, static_cast<int8_t>(kStartValue[set])};
        for (int pos = 0; pos < len_; ++pos)
            for (int set = 0; set < kSets; ++set) {
                const int32_t from = Index(pos, static_cast<CodeSet>(set));
                if (states_[static_cast<size_t>(from)].modules < bound) Expand(from);
            }
        int32_t best = -1;
        for (int set = 0; set < kSets; ++set) {
            const int32_t end = Index(len_, static_cast<CodeSet>(set));
            const State &s = states_[static_cast<size_t>(end)];
            if (s.modules > bound) continue;
            if (best < 0 || Before(s.modules, s.depth, end, states_[static_cast<size_t>(best)], best)) best = end;
        }
        return best;
    }

    const State &At(int32_t index) const { return states_[static_cast<size_t>(index)]; }
    static CodeSet SetOf(int32_t index) { return static_cast<CodeSet>(index % kSets); }

private:
    static int32_t Index(int pos, CodeSet set) { return pos * kSets + set; }
    static int PosOf(int32_t index) { return index / kSets; }

    // Order of creation among the successors of one state, and among the start codes.
    static int SuccessorRank(CodeSet parentSet, CodeSet childSet) {
        if (childSet == kC) return 0;
        return parentSet == kC ? (childSet == kA ? 1 : 2) : 1;
    }
    static int StartRank(CodeSet set) { return set == kC ? 0 : (set == kA ? 1 : 2); }

    // Whether the path to `a` comes before the path to `b` (distinct states, same depth):
    // decided where the two paths part. Jump targets depend on the depth only, so both sides
    // jump alike.
    bool PathBefore(int32_t a, int32_t b) const {
        for (;;) {
            const State &sa = At(a), &sb = At(b);
            if (sa.parent == sb.parent) {
                if (sa.parent < 0) return StartRank(SetOf(a)) < StartRank(SetOf(b));
                return SuccessorRank(SetOf(sa.parent), SetOf(a)) < SuccessorRank(SetOf(sa.parent), SetOf(b));
            }
            if (sa.jump != sb.jump) {
                a = sa.jump;
                b = sb.jump;
            } else {
                a = sa.parent;
                b = sb.parent;
            }
        }
    }

    // Skew-binary jump pointers: jump over the parent's two jumps when they are equally long.
    int32_t JumpFor(int32_t parent) const {
        const int32_t j1 = At(parent).jump;
        const int32_t j2 = j1 >= 0 ? At(j1).jump : -1;
        if (j2 >= 0 && At(parent).depth - At(j1).depth == At(j1).depth - At(j2).depth) return j2;
        return parent;
    }

    // Whether a path of `modules` and `depth` ending at `path` beats `current`, whose path
    // ends at `currentPath`; both paths end in the same code set.
    bool Before(uint32_t modules, uint32_t depth, int32_t path, const State &current, int32_t currentPath) const {
        if (modules != current.modules) return modules < current.modules;
        if (depth != current.depth) return depth < current.depth;
        return path != currentPath && PathBefore(path, currentPath);
    }

    void Successor(int32_t from, CodeSet set, int value, int consumed) {
        const State &s = At(from);
        const uint32_t modules = s.modules + kModulesPerValue + (set != SetOf(from) ? kModulesPerValue : 0);
        State &next = states_[static_cast<size_t>(Index(PosOf(from) + consumed, set))];
        if (next.modules != UINT32_MAX && !Before(modules, s.depth + 1, from, next, next.parent)) return;
        next = {modules, s.depth + 1, from, JumpFor(from), static_cast<int8_t>(value)};
    }

    void Expand(int32_t from) {
        const int pos = PosOf(from);
        const uint8_t b = text_[pos];
        int cValue = -1, cConsumed = 0;
        if (pos + 1 < len_ && IsDigitByte(b) && IsDigitByte(text_[pos + 1])) {
            cValue = (b - '0') * 10 + (text_[pos + 1] - '0');
            cConsumed = 2;
        } else if (b == 0xF1) {
            cValue = 102;
            cConsumed = 1;
        }
        const int a = ValueInA(b), bv = ValueInB(b);
        if (cValue >= 0) Successor(from, kC, cValue, cConsumed);
        switch (SetOf(from)) {
            case kC:
                if (cValue >= 0) break;
                if (a >= 0) Successor(from, kA, a, 1);
                if (bv >= 0) Successor(from, kB, bv, 1);
                break;
            case kA:
                if (a >= 0)
                    Successor(from, kA, a, 1);
                else if (bv >= 0)
                    Successor(from, kB, bv, 1);
                break;
            default:
                if (bv >= 0)
                    Successor(from, kB, bv, 1);
                else if (a >= 0)
                    Successor(from, kA, a, 1);
                break;
        }
    }

    const uint8_t *text_;
    int len_;
    std::vector<State> states_;  // per text position and code set
};

unsigned char *PutValue(unsigned char *out, uint16_t pattern, int modules) {
    for (int m = modules - 1; m >= 0; --m) *out++ = ((pattern >> m) & 1) ? 255 : 0;
    return out;
}

int Encode(const uint8_t *text, size_t len, unsigned char *dst, int maxLength) {
    const int64_t bound = static_cast<int64_t>(maxLength) - kCheckAndStop;
    // No value takes more than two bytes: a text that cannot fit is refused before the
    // search allocates a state per byte.
    if (len > static_cast<size_t>(INT_MAX / kSets - 1) ||
        kModulesPerValue * (1 + (static_cast<int64_t>(len) + 1) / 2) > bound)
        return 0;
    Search search(text, static_cast<int>(len));
    const int32_t best = search.Run(bound);
    if (best < 0) return 0;
    std::vector<int32_t> path;
    for (int32_t k = best; k >= 0; k = search.At(k).parent) path.push_back(k);
    std::vector<int> values;
    values.reserve(search.At(best).modules / kModulesPerValue);
    for (size_t i = path.size(); i-- > 0;) {
        const CodeSet set = Search::SetOf(path[i]);
        if (!values.empty() && set != Search::SetOf(path[i + 1])) values.push_back(kSwitchTo[set]);
        values.push_back(search.At(path[i]).value);
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
