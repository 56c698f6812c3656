// Value lists and module rows of the one-dimensional encoders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "nzcommon/imgprocess/BarcodeTypeTable.h"
#include "nzcommon/imgprocess/NZBarcodeUtils.h"

using namespace nzbarcode;

namespace {

// The validator's values, or {-1} when it refuses.
std::vector<int> Values(int type, const std::string &text) {
    uint8_t buffer[kTextBufferSize] = {};
    uint8_t values[kValueListSize] = {};
    std::memcpy(buffer, text.data(), text.size());
    if (BarFunctbl[type](buffer, values, static_cast<int>(text.size())) != 0) return {-1};
    std::vector<int> out;
    for (int i = 0; i < kValueListSize && values[i] != kEndOfValues; ++i) out.push_back(values[i]);
    return out;
}

// The module row at one dot a module as '0'/'1', or "" when refused.
std::string Modules(int type, const std::string &text) {
    BarcodeRow row;
    if (!EncodeBarcodeRow(type, 1, text.c_str(), row)) return "";
    std::string s;
    for (int x = 0; x < row.width; ++x) s += BitAt(row.bits, x) ? '1' : '0';
    return s;
}

// Code 128 value of a character in code set B.
int B(char c) { return c - 32; }

struct ValuesCase {
    const char *name;
    int type;
    std::string text;
    std::vector<int> values;
};

}  // namespace

TEST(BarcodeEncoders, ValueListsAndCheckCharacters) {
    const ValuesCase cases[] = {
        {"EAN-13 check 1", 2, "400638133393", {4, 0, 0, 6, 3, 8, 1, 3, 3, 3, 9, 3, 1}},
        {"EAN-13 given check replaced", 2, "4006381333930", {4, 0, 0, 6, 3, 8, 1, 3, 3, 3, 9, 3, 1}},
        {"EAN-8", 3, "9638507", {9, 6, 3, 8, 5, 0, 7, 4}},
        {"UPC-A behind the all-L marker", 0, "01234567890", {10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 5}},
        {"UPC-E (04210000526)", 1, "425261", {0, 4, 2, 5, 2, 6, 1, 4}},
        {"UPC-E last digit 3", 1, "123453", {0, 1, 2, 3, 4, 5, 3, 1}},
        {"UPC-E last digit 4", 1, "123454", {0, 1, 2, 3, 4, 5, 4, 3}},
        {"UPC-E last digit 5-9", 1, "654321", {0, 6, 5, 4, 3, 2, 1, 7}},
        {"EAN-13 + 2", 16, "40063813339312", {4, 0, 0, 6, 3, 8, 1, 3, 3, 3, 9, 3, 1, 1, 2}},
        {"ITF odd count gets a leading 0", 5, "123", {0, 1, 2, 3}},
        {"ITF check 0 not 10", 13, "1234567", {1, 2, 3, 4, 5, 6, 7, 0}},
        {"ITF check, even count padded", 13, "12", {0, 1, 2, 3}},
        {"ITF-14", 28, "1234567890123", {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 1}},
        {"ITF-14 given check replaced", 28, "12345678901239", {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 1}},
        {"Codabar gets A1234A", 6, "1234", {16, 1, 2, 3, 4, 16}},
        {"Codabar keeps its own start/stop", 6, "A1234B", {16, 1, 2, 3, 4, 17}},
        {"Codabar lone start gets a stop", 6, "C", {18, 16}},
        {"Code 39", 4, "AB-1", {43, 10, 11, 36, 1, 43}},
        {"Code 39 full ASCII a = +A", 15, "a", {43, 41, 10, 43}},
        {"Code 39 full ASCII $%+/ as /D /E /K /O", 15, "$%+/", {43, 40, 13, 40, 14, 40, 20, 40, 24, 43}},
        {"Code 39 full ASCII with check", 14, "a1", {43, 41, 10, 1, 9, 43}},
        {"Code 93 C and K", 7, "TEST93", {29, 14, 28, 29, 9, 3, 41, 6}},
        {"Code 93 lower case by (+)", 7, "a", {46, 10, 8, 25}},
        {"Code 11 one check (10 = '-')", 9, "012345678", {0, 1, 2, 3, 4, 5, 6, 7, 8, 10}},
        {"Code 11 two checks from 10 digits", 9, "0123456789", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 3}},
        {"MSI", 10, "1234", {1, 2, 3, 4}},
        {"MSI mod 10", 26, "1234567", {1, 2, 3, 4, 5, 6, 7, 4}},
        {"MSI mod 10 keeps every digit", 26, "12345678901234567890", {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 6}},
        {"Code 128 12", 8, "12", {105, 12, (105 + 12) % 103, 106}},
        {"Code 128 123", 8, "123", {105, 12, 100, B('3'), (105 + 12 + 2 * 100 + 3 * B('3')) % 103, 106}},
        {"Code 128 AB1234", 8, "AB1234",
         {104, B('A'), B('B'), 99, 12, 34, (104 + 33 + 2 * 34 + 3 * 99 + 4 * 12 + 5 * 34) % 103, 106}},
        {"Code 128 start A for a control byte", 8, "\x01" "A", {103, 65, 33, (103 + 65 + 2 * 33) % 103, 106}},
        {"Code 128 SHIFT from B", 8, "a\x01" "a", {104, B('a'), 98, 65, B('a'), (104 + 65 + 2 * 98 + 3 * 65 + 4 * 65) % 103, 106}},
        {"EAN-128 of 12 starts in B", 12, "12", {104, 102, B('1'), B('2'), (104 + 102 + 2 * 17 + 3 * 18) % 103, 106}},
        {"EAN-128 of 1234 starts in C", 12, "1234", {105, 102, 12, 34, (105 + 102 + 2 * 12 + 3 * 34) % 103, 106}},
        {"Code 128 manual default start B", 11, "Ab", {104, 33, 66, (104 + 33 + 2 * 66) % 103, 106}},
        {"Code 128 manual start C, CODE A", 11, "\x99" "12\x95\x01", {105, 12, 101, 65, (105 + 12 + 2 * 101 + 3 * 65) % 103, 106}},
        {"Code 128 manual SHIFT reads the other set", 11, "\x98" "a\x92\x01", {104, 65, 98, 65, (104 + 65 + 2 * 98 + 3 * 65) % 103, 106}},
        {"Code 128 manual FNC1", 11, "\x96" "1", {104, 102, 17, (104 + 102 + 2 * 17) % 103, 106}},
        {"EAN-14 given check replaced", 29, "12345678901230", {105, 12, 34, 56, 78, 90, 12, 31, (105 + 12 + 2 * 34 + 3 * 56 + 4 * 78 + 5 * 90 + 6 * 12 + 7 * 31) % 103, 106}},
        {"EAN-14", 29, "1234567890123", {105, 12, 34, 56, 78, 90, 12, 31, (105 + 12 + 2 * 34 + 3 * 56 + 4 * 78 + 5 * 90 + 6 * 12 + 7 * 31) % 103, 106}},
    };
    for (const ValuesCase &c : cases) EXPECT_EQ(Values(c.type, c.text), c.values) << c.name;
}

TEST(BarcodeEncoders, RefusedTexts) {
    const struct {
        const char *name;
        int type;
        std::string text;
    } cases[] = {
        {"EAN-13 letter", 2, "40063813339A"},
        {"EAN-13 ';' (low bits 11)", 2, "40063813339;"},
        {"EAN-13 ':' (low bits 10)", 2, "4006381333:3"},
        {"EAN-13 wrong length", 2, "40063813339"},
        {"UPC-A ':'", 0, "0123456789:"},
        {"UPC-A short", 0, "0123456789"},
        {"UPC-E letter", 1, "42526A"},
        {"UPC-E short", 1, "42526"},
        {"UPC-E + 2 without add-on", 23, "425261"},
        {"EAN-8 ';'", 3, "963850;"},
        {"EAN-13 + 5 letter in add-on", 17, "40063813339312A45"},
        {"UPC-A + 2 short", 21, "012345678901"},
        {"Code 39 lower case", 4, "abc"},
        {"Code 39 '*'", 4, "A*B"},
        {"Code 39 full ASCII byte >= 128", 15, "\xC3\xA9"},
        {"Code 93 byte >= 128", 7, "\x80"},
        {"ITF letter", 5, "12A4"},
        {"ITF-14 short", 28, "123456789012"},
        {"Codabar lower case", 6, "a123a"},
        {"Code 11 letter", 9, "12A"},
        {"MSI letter", 10, "12A"},
        {"MSI mod 10 letter", 26, "1234A"},
        {"Code 128 byte >= 128", 8, "A\x80"},
        {"Code 128 manual 128-143", 11, "A\x8F"},
        {"Code 128 manual >= 154", 11, "A\x9A"},
        {"Code 128 manual lower case in A", 11, "\x97" "a"},
        {"Code 128 manual control byte in B", 11, "\x01"},
        {"Code 128 manual odd digits in C", 11, "\x99" "123"},
        {"Code 128 manual start code after the start", 11, "A\x97"},
        {"Code 128 manual FNC3 in C", 11, "\x99\x90"},
        {"Code 128 manual trailing SHIFT", 11, "A\x92"},
        {"EAN-14 short", 29, "123456789012"},
        {"EAN-14 letter", 29, "123456789012A"},
        {"EAN-14 too long", 29, "123456789012345"},
    };
    for (const auto &c : cases) EXPECT_EQ(Values(c.type, c.text), std::vector<int>{-1}) << c.name;
}

// The value list has 220 slots; texts whose values do not fit are refused, not written past
// the end.
TEST(BarcodeEncoders, ValueListOverflowIsRefused) {
    // Full-ASCII Code 39: start, two values per 'a', stop; 219 values fit before the end mark.
    EXPECT_EQ(Values(15, std::string(108, 'a')).size(), 218u);
    EXPECT_EQ(Values(15, std::string(109, 'a')), std::vector<int>{-1});
    EXPECT_EQ(Values(14, std::string(200, 'a')), std::vector<int>{-1});
    // Code 93: two values per 'a' plus C and K.
    EXPECT_EQ(Values(7, std::string(108, 'a')).size(), 218u);
    EXPECT_EQ(Values(7, std::string(109, 'a')), std::vector<int>{-1});
    // Automatic Code 128: SHIFT before every control byte.
    std::string mixed;
    for (int i = 0; i < 100; ++i) mixed += "a\x01";
    EXPECT_EQ(Values(8, mixed), std::vector<int>{-1});
    EXPECT_EQ(Values(12, mixed), std::vector<int>{-1});
}

TEST(BarcodeEncoders, UpcAIsEan13WithLeadingZero) {
    EXPECT_EQ(Modules(0, "01234567890"), Modules(2, "001234567890"));
    EXPECT_EQ(Modules(21, "0123456789012"), Modules(16, "00123456789012"));
    EXPECT_EQ(Modules(0, "012345678905999"), Modules(0, "01234567890"));  // first 11 used
    EXPECT_EQ(Modules(2, "001234567890").size(), 95u);
}

// Hand-built from the published element widths (wide = 3 modules).
TEST(BarcodeEncoders, Code11AndMsiModules) {
    const std::string startStop = "101110001", c1 = "111010111", c2 = "100010111", c3 = "111000101",
                      dash = "1011101", c4 = "101110111", c5 = "111011101";
    // C of 123-45 is (5 + 4*2 + 10*3 + 3*4 + 2*5 + 1*6) mod 11 = 5.
    EXPECT_EQ(Modules(9, "123-45"), startStop + "0" + c1 + "0" + c2 + "0" + c3 + "0" + dash + "0" + c4 + "0" + c5 +
                                        "0" + c5 + "0" + startStop + "0");
    const std::string one = "1110", zero = "1000";
    const std::string d1 = zero + zero + zero + one, d2 = zero + zero + one + zero, d5 = zero + one + zero + one,
                      d7 = zero + one + one + one;
    EXPECT_EQ(Modules(10, "12"), "1110" + d1 + d2 + "10001");
    EXPECT_EQ(Modules(26, "7"), "1110" + d7 + d5 + "10001");  // 7 doubled: 14, digit sum 5, check 5
}

TEST(BarcodeEncoders, EanAddOnParity) {
    // 2-digit add-on 12: 12 mod 4 = 0, both L; 5-digit 12345: (3*9 + 9*6) mod 10 = 1, GLGLL.
    const std::string gapGuard = std::string(10, '0') + "1011";
    EXPECT_EQ(Modules(16, "40063813339312").substr(95), gapGuard + "0011001" "01" "0010011");
    EXPECT_EQ(Modules(17, "40063813339312345").substr(95),
              gapGuard + "0110011" "01" "0010011" "01" "0100001" "01" "0100011" "01" "0110001");
}
