// The Code 128 search against a plain breadth-first search over every code-set sequence.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "quorvantelmise.h"

namespace {

// Breadth-first over steps in creation order, optionally dropping a later step that repeats
// an earlier one's text position and code set with no fewer modules.
class ReferenceSearch {
public:
    ReferenceSearch(const std::string &text, bool merge) : text_(text), merge_(merge) {}

    std::vector<int> Values(long long bound) {
        Add({-1, 0, 11, 2, 105});
        Add({-1, 0, 11, 0, 103});
        Add({-1, 0, 11, 1, 104});
        int best = -1;
        for (size_t k = 0; k < steps_.size(); ++k) {
            const Step s = steps_[k];
            if (s.pos == static_cast<int>(text_.size())) {
                if (s.modules < bound || (s.modules == bound && best < 0)) {
                    best = static_cast<int>(k);
                    bound = s.modules;
                }
                continue;
            }
            if (s.modules < bound) Expand(static_cast<int>(k), s);
        }
        if (best < 0) return {};
        std::vector<int> chain;
        for (int k = best; k >= 0; k = steps_[static_cast<size_t>(k)].prev) chain.push_back(k);
        std::vector<int> values;
        static const int kSwitch[3] = {101, 100, 99};
        for (size_t i = chain.size(); i-- > 0;) {
            const Step &s = steps_[static_cast<size_t>(chain[i])];
            if (!values.empty() && s.set != steps_[static_cast<size_t>(chain[i + 1])].set) values.push_back(kSwitch[s.set]);
            values.push_back(s.value);
        }
        return values;
    }

private:
    struct Step {
        int prev, pos;
        long long modules;
        int set;  // 0 A, 1 B, 2 C
        int value;
    };

    static int InA(uint8_t b) {
        if (b < 96) return b < 32 ? b + 64 : b - 32;
        const int fnc[4] = {102, 97, 96, 101};
        return b >= 0xF1 && b <= 0xF4 ? fnc[b - 0xF1] : -1;
    }
    static int InB(uint8_t b) {
        if (b >= 32 && b < 128) return b - 32;
        const int fnc[4] = {102, 97, 96, 100};
        return b >= 0xF1 && b <= 0xF4 ? fnc[b - 0xF1] : -1;
    }

    void Add(const Step &s) {
        if (merge_)
            for (const Step &o : steps_)
                if (o.pos == s.pos && o.set == s.set && o.modules <= s.modules) return;
        steps_.push_back(s);
    }

    void Next(int from, const Step &s, int set, int value, int consumed) {
        Add({from, s.pos + consumed, s.modules + 11 + (set != s.set ? 11 : 0), set, value});
    }

    void Expand(int from, const Step &s) {
        const uint8_t b = static_cast<uint8_t>(text_[static_cast<size_t>(s.pos)]);
        const uint8_t b2 = s.pos + 1 < static_cast<int>(text_.size()) ? static_cast<uint8_t>(text_[static_cast<size_t>(s.pos) + 1]) : 0;
        int c = -1, used = 0;
        if (b >= '0' && b <= '9' && b2 >= '0' && b2 <= '9') {
            c = (b - '0') * 10 + (b2 - '0');
            used = 2;
        } else if (b == 0xF1) {
            c = 102;
            used = 1;
        }
        if (c >= 0) Next(from, s, 2, c, used);
        if (s.set == 2) {
            if (c >= 0) return;
            if (InA(b) >= 0) Next(from, s, 0, InA(b), 1);
            if (InB(b) >= 0) Next(from, s, 1, InB(b), 1);
        } else {
            const int own = s.set == 0 ? InA(b) : InB(b), other = s.set == 0 ? InB(b) : InA(b);
            if (own >= 0)
                Next(from, s, s.set, own, 1);
            else if (other >= 0)
                Next(from, s, 1 - s.set, other, 1);
        }
    }

    std::string text_;
    bool merge_;
    std::vector<Step> steps_;
};

const char *const kPatterns[107] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213", "221312",
    "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132", "221231", "213212",
    "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211", "212123", "212321", "232121",
    "111323", "131123", "131321", "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331",
    "132131", "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131", "311123",
    "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111", "111224", "111422", "121124",
    "121421", "141122", "141221", "112214", "112412", "122114", "122411", "142112", "142211", "241211", "221114",
    "413111", "241112", "134111", "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112",
    "421211", "212141", "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "233111",
};

// Modules of a value sequence with its check and stop, as the encoder writes them.
std::vector<unsigned char> ModulesOf(const std::vector<int> &values) {
    if (values.empty()) return {};
    std::vector<int> all = values;
    long long check = values[0];
    for (size_t i = 1; i < values.size(); ++i) check += static_cast<long long>(i) * values[i];
    all.push_back(static_cast<int>(check % 103));
    std::vector<unsigned char> out;
    for (int v : all) {
        bool bar = true;
        for (const char *w = kPatterns[v]; *w; ++w, bar = !bar) out.insert(out.end(), static_cast<size_t>(*w - '0'), bar ? 255 : 0);
    }
    bool bar = true;
    for (int w : {2, 3, 3, 1, 1, 1, 2}) {
        out.insert(out.end(), static_cast<size_t>(w), bar ? 255 : 0);
        bar = !bar;
    }
    return out;
}

std::vector<unsigned char> Encoded(const std::string &text, int maxLength) {
    std::vector<unsigned char> out(static_cast<size_t>(maxLength > 0 ? maxLength : 0) + 1);
    const int n = code128_encode_raw(text.c_str(), out.data(), maxLength);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string RandomText(std::mt19937 &rng, int length) {
    // Digits, both code sets, bytes only one set codes, FNC1-FNC4 and a byte neither codes.
    static const std::string alphabet = std::string("0123456789AZ az`~\x01\x1F\x7F", 20) + "\xF1\xF2\xF3\xF4\x80";
    std::string s;
    for (int i = 0; i < length; ++i) s += alphabet[rng() % (rng() % 3 ? 12 : alphabet.size())];
    return s;
}

}  // namespace

TEST(BarcodeCode128Search, SameChoiceAsEveryPathSearch) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 3000; ++i) {
        const std::string text = RandomText(rng, 1 + static_cast<int>(rng() % 9));
        const int maxLength = 46 + static_cast<int>(rng() % 200);
        const std::vector<unsigned char> expect = ModulesOf(ReferenceSearch(text, false).Values(maxLength - 24));
        ASSERT_EQ(Encoded(text, maxLength), expect) << testing::PrintToString(text) << " max " << maxLength;
    }
}

TEST(BarcodeCode128Search, SameChoiceAsMergedSearchOnLongTexts) {
    std::mt19937 rng(99);
    for (int i = 0; i < 300; ++i) {
        const std::string text = RandomText(rng, 10 + static_cast<int>(rng() % 50));
        const int maxLength = code128_estimate_len(text.c_str()) + static_cast<int>(rng() % 100) - 50;
        const std::vector<unsigned char> expect = ModulesOf(ReferenceSearch(text, true).Values(maxLength - 24));
        ASSERT_EQ(Encoded(text, maxLength), maxLength < 46 ? std::vector<unsigned char>{} : expect)
            << testing::PrintToString(text) << " max " << maxLength;
    }
}
