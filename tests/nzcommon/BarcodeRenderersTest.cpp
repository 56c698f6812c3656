// The exported barcode renderers, the Code 128 search and the EAN-13 module builder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BarcodeDecode.h"
#include "quorvantelmise.h"

namespace {

constexpr uint32_t kBar = 0xFF112233u, kSpace = 0xFFEEDDCCu;

// Published Code 128 element widths to one byte per module (255 bar, 0 space).
std::vector<unsigned char> Code128Modules(const std::vector<std::string> &widths) {
    std::vector<unsigned char> out;
    for (const std::string &w : widths) {
        bool bar = true;
        for (char c : w) {
            out.insert(out.end(), static_cast<size_t>(c - '0'), bar ? 255 : 0);
            bar = !bar;
        }
    }
    return out;
}

}  // namespace

TEST(BarcodeRenderers, WidthsInDots) {
    const std::string code39Fits(123, 'A');  // 125 characters of 16 dots: exactly 2000
    const struct {
        int type, unit;
        const char *text;
        int width;
    } cases[] = {
        {2, 2, "400638133393", 190},           // 95 modules
        {0, 1, "01234567890", 95},
        {1, 1, "425261", 51},
        {3, 3, "9638507", 201},                // 67 modules
        {17, 1, "40063813339312345", 152},    // 95 + 10 gap + 47
        {18, 1, "963850712", 97},             // 67 + 10 + 20
        {4, 1, "A", 48},                       // 3 characters of 6 narrow + 3 wide, each with a gap
        {5, 1, "12", 28},                      // start 4, one pair 18, stop 6
        {8, 1, "12", 46},                      // start, 12, check, stop
        {7, 1, "A", 46},                       // start, A, C, K, stop, bar
        {6, 1, "1234", 76},                    // A1234A: A 13 + 1, digits 11 + 1
        {9, 1, "123-45", 88},                  // start, 6 characters, C, stop; "-" 7 + 1, others 9 + 1
        {10, 1, "12", 41},                     // start 4, two digits of 16, stop 5
        {26, 1, "7", 41},                      // 7 and its check digit
        {11, 1, "Ab", 57},                     // start B, A, b, check, stop
        {12, 1, "12", 68},                     // start B, FNC1, 1, 2, check, stop
        {29, 1, "1234567890123", 112},         // start C, 7 pairs, check, stop
        {13, 1, "1234567", 82},                // 4 pairs of 18, start 4, stop 6
        {15, 1, "a", 64},                      // *, +, A, *
        {14, 1, "a", 80},                      // *, +, A, check, *
        {16, 1, "40063813339312", 125},        // 95 + 10 gap + 20
        {19, 1, "963850712345", 124},          // 67 + 10 + 47
        {21, 1, "0123456789012", 125},
        {22, 1, "0123456789012345", 152},
        {23, 1, "42526112", 81},               // 51 + 10 + 20
        {24, 1, "42526112345", 108},           // 51 + 10 + 47
        {28, 2, "1234567890123", 2 * 136 + 60},
        {28, 1, "1234567890123", 136 + 60},
        {2, 21, "400638133393", 1995},
        {4, 1, code39Fits.c_str(), 2000},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots(c.type, c.unit, 99, c.text), c.width)
            << c.type << " " << c.text;
        EXPECT_EQ(CP_Barcode_GetBarcodeWidth(c.type, c.unit, c.text), c.width) << c.type << " " << c.text;
    }
}

// Every failure gives 0 or null in all four renderers and the two exports.
TEST(BarcodeRenderers, FailuresInEveryRenderer) {
    const std::string longText(201, '1'), itfDigits(120, '1'), code39Over(124, 'A');
    const struct {
        const char *name;
        int type, unit;
        const char *text;
    } cases[] = {
        {"201 characters", 8, 1, longText.c_str()},
        {"empty text", 8, 1, ""},
        {"null text", 8, 1, nullptr},
        {"type 20", 20, 1, "123"},
        {"type 25", 25, 1, "123"},
        {"type 27", 27, 1, "123"},
        {"type -1", -1, 1, "123"},
        {"type 30", 30, 1, "123"},
        {"unit 0", 8, 0, "123"},
        {"unit 256", 8, 256, "123"},
        {"refused text", 4, 1, "abc"},
        {"EAN-13 wider than 2000", 2, 22, "400638133393"},
        {"UPC-E + 5 wider than 2000", 24, 20, "42526112345"},
        {"ITF wider than 2000", 5, 2, itfDigits.c_str()},  // 60 pairs of 36 dots
        {"Code 39 of 2016 dots", 4, 1, code39Over.c_str()},
        {"ITF-14 wider than 2000", 28, 15, "1234567890123"},
        {"Code 128 wider than 2000", 8, 1, "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabc"},
        {"EAN-13 type given 7 digits", 2, 1, "9638507"},
        {"EAN-8 type given 12 digits", 3, 1, "400638133393"},
        {"EAN-13 + 2 given an EAN-8 main part", 16, 1, "963850712"},
    };
    std::vector<uint32_t> dst(100000, 7);
    for (const auto &c : cases) {
        int w = -5, h = -5;
        EXPECT_EQ(Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots(c.type, c.unit, 0, c.text), 0) << c.name;
        EXPECT_EQ(CP_Barcode_GetBarcodeWidth(c.type, c.unit, c.text), 0) << c.name;
        EXPECT_FALSE(Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData(c.type, c.unit, 10, kSpace, kBar, c.text,
                                                                       dst.data(), 400000, &w, &h))
            << c.name;
        EXPECT_FALSE(CP_Barcode_GetBarcodeRGBAData(c.type, c.unit, 10, kSpace, kBar, c.text, dst.data(), 400000, &w, &h))
            << c.name;
        EXPECT_EQ(Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(c.type, c.unit, 0, 10, c.text, &w, &h), nullptr) << c.name;
        EXPECT_EQ(Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBAData(c.type, c.unit, 0, 10, c.text, kBar, &w, &h), nullptr)
            << c.name;
        EXPECT_EQ(w, -5) << c.name;
        EXPECT_EQ(h, -5) << c.name;
    }
    for (uint32_t p : dst) ASSERT_EQ(p, 7u);
}

TEST(BarcodeRenderers, FillDrawsEveryRowAndChecksTheDestination) {
    const char *text = "12";  // Code 128: 46 modules
    const int width = 2 * 46, height = 3;
    std::vector<uint32_t> dst(static_cast<size_t>(width) * height + 1, 7);
    const int32_t exact = width * height * 4;
    int w = 0, h = 0;
    EXPECT_FALSE(CP_Barcode_GetBarcodeRGBAData(8, 2, height, kSpace, kBar, text, dst.data(), exact - 4, &w, &h));
    EXPECT_FALSE(CP_Barcode_GetBarcodeRGBAData(8, 2, height, kSpace, kBar, text, nullptr, exact, &w, &h));
    EXPECT_FALSE(CP_Barcode_GetBarcodeRGBAData(8, 2, 0, kSpace, kBar, text, dst.data(), exact, &w, &h));
    EXPECT_FALSE(CP_Barcode_GetBarcodeRGBAData(8, 2, -1, kSpace, kBar, text, dst.data(), exact, &w, &h));
    EXPECT_FALSE(CP_Barcode_GetBarcodeRGBAData(8, 2, height, kSpace, kBar, text, dst.data(), -1, &w, &h));
    for (uint32_t p : dst) ASSERT_EQ(p, 7u);
    ASSERT_TRUE(CP_Barcode_GetBarcodeRGBAData(8, 2, height, kSpace, kBar, text, dst.data(), exact, &w, &h));
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    EXPECT_EQ(dst.back(), 7u);
    // Start C, 12, check (105 + 12) mod 103 = 14, stop; two dots a module.
    std::vector<unsigned char> row;
    for (int x = 0; x < width; x += 2) row.push_back(dst[static_cast<size_t>(x)] == kBar ? 255 : 0);
    EXPECT_EQ(row, Code128Modules({"211232", "112232", "122231", "2331112"}));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t p = dst[static_cast<size_t>(y) * width + x];
            ASSERT_TRUE(p == kBar || p == kSpace);
            ASSERT_EQ(p, dst[static_cast<size_t>(x)]) << x << "," << y;
        }
    // Out-parameters are optional.
    EXPECT_TRUE(CP_Barcode_GetBarcodeRGBAData(8, 2, height, kSpace, kBar, text, dst.data(), exact, nullptr, nullptr));
}

TEST(BarcodeRenderers, Itf14HasQuietZonesAndBearerBars) {
    const int height = 30;
    int w = 0, h = 0;
    uint32_t *image = Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBAData(28, 2, 0, height, "1234567890123", kBar, &w, &h);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(w, Quorvantelmise_NZBarcodeUtils_GetBarcodeWidthDots(28, 2, 0, "1234567890123"));
    ASSERT_EQ(w, 272 + 60);
    ASSERT_EQ(h, height);
    auto at = [&](int x, int y) { return image[static_cast<size_t>(y) * w + x]; };
    for (int y = 0; y < height; ++y) {
        const bool bearerRow = y < 10 || y >= height - 10;
        for (int x = 0; x < w; ++x) {
            const bool bearerColumn = x < 10 || x >= w - 10;
            const bool quiet = (x >= 10 && x < 30) || (x >= w - 30 && x < w - 10);
            if (bearerRow || bearerColumn)
                ASSERT_EQ(at(x, y), kBar) << x << "," << y;
            else if (quiet)
                ASSERT_EQ(at(x, y), 0u) << x << "," << y;
            else
                ASSERT_EQ(at(x, y), at(x, 10)) << x << "," << y;
        }
    }
    // The code starts at column 30 with the ITF start bars (narrow bar, narrow space).
    EXPECT_EQ(at(30, 15), kBar);
    EXPECT_EQ(at(31, 15), kBar);
    EXPECT_EQ(at(32, 15), 0u);
    std::free(image);

    // Shorter than 20 rows: every row is a bearer row.
    image = Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBAData(28, 1, 0, 5, "1234567890123", kBar, &w, &h);
    ASSERT_NE(image, nullptr);
    for (int i = 0; i < w * h; ++i) ASSERT_EQ(image[i], kBar);
    std::free(image);
}

TEST(BarcodeRenderers, RgbAndRgbaColours) {
    int w = 0, h = 0;
    unsigned char *rgb = Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(2, 1, 0, 2, "400638133393", &w, &h);
    ASSERT_NE(rgb, nullptr);
    ASSERT_EQ(w, 95);
    ASSERT_EQ(h, 2);
    std::vector<uint32_t> fill(95 * 2);
    ASSERT_TRUE(Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData(2, 1, 2, kSpace, kBar, "400638133393", fill.data(),
                                                                  95 * 2 * 4, nullptr, nullptr));
    uint32_t *rgba = Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBAData(2, 1, 0, 2, "400638133393", kBar, &w, &h);
    ASSERT_NE(rgba, nullptr);
    for (int i = 0; i < 95 * 2; ++i) {
        const bool bar = fill[static_cast<size_t>(i)] == kBar;
        const unsigned char expect = bar ? 0 : 255;
        ASSERT_EQ(rgb[3 * i], expect);
        ASSERT_EQ(rgb[3 * i + 1], expect);
        ASSERT_EQ(rgb[3 * i + 2], expect);
        ASSERT_EQ(rgba[i], bar ? kBar : 0u);
    }
    EXPECT_EQ(fill[0], kBar);  // the guard starts at once: no quiet zone
    std::free(rgb);
    std::free(rgba);
}

TEST(BarcodeCode128Search, ShortestCodeSets) {
    std::vector<unsigned char> out(200, 7);
    // Start C, 12, 34, check (105 + 12 + 2 * 34) mod 103 = 82, stop.
    ASSERT_EQ(code128_encode_raw("1234", out.data(), 100), 57);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 57),
              Code128Modules({"211232", "112232", "131123", "121241", "2331112"}));
    EXPECT_EQ(out[57], 7);
    EXPECT_EQ(code128_encode_raw("1234", out.data(), 57), 57);
    EXPECT_EQ(code128_encode_raw("1234", out.data(), 56), 0);
    EXPECT_EQ(code128_encode_raw("1234", out.data(), 45), 0);
    EXPECT_EQ(code128_encode_raw("", out.data(), 45), 0);
    // Start B, A, B, CODE C, 12, 34: 6 values.
    EXPECT_EQ(code128_encode_raw("AB1234", out.data(), 200), 6 * 11 + 24);
    // FNC1 codes in C: start C, FNC1, 01, 23.
    EXPECT_EQ(code128_encode_raw("\xF1" "0123", out.data(), 200), 4 * 11 + 24);
    // Neither set codes a byte >= 128 other than FNC1-FNC4.
    EXPECT_EQ(code128_encode_raw("A\x80", out.data(), 200), 0);
    EXPECT_EQ(code128_encode_raw(nullptr, out.data(), 200), 0);
    EXPECT_EQ(code128_encode_raw("1234", nullptr, 200), 0);
    EXPECT_EQ(code128_estimate_len("1234"), (4 * 11 / 10) * 11 + 35);
    EXPECT_EQ(code128_estimate_len(nullptr), 0);
}

// Equivalent steps are merged: texts that once grew the search exponentially finish at once
// with the shortest result.
TEST(BarcodeCode128Search, LongTextsStayLinear) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "11A";
    std::vector<unsigned char> out(static_cast<size_t>(code128_estimate_len(text.c_str())));
    const auto start = std::chrono::steady_clock::now();
    // Start B and one value a character beats switching to C for every "11".
    EXPECT_EQ(code128_encode_raw(text.c_str(), out.data(), static_cast<int>(out.size())), (1 + 600) * 11 + 24);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    // A text that cannot fit is refused at once, with no state per byte.
    const std::string huge(50000000, '1');
    const auto hugeStart = std::chrono::steady_clock::now();
    EXPECT_EQ(code128_encode_raw(huge.c_str(), out.data(), 1000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - hugeStart, std::chrono::seconds(1));

    // More than 65535 modules.
    const std::string wide(6000, 'x');
    out.assign(static_cast<size_t>(code128_estimate_len(wide.c_str())), 0);
    EXPECT_EQ(code128_encode_raw(wide.c_str(), out.data(), static_cast<int>(out.size())), 6001 * 11 + 24);
}

TEST(BarcodeCode128Search, DecodesToItsText) {
#ifndef QV_HAVE_ZXING
    GTEST_SKIP() << "ZXing-C++ not found";
#endif
    const std::string text = "Hello\x01World 1234567890 abc\x7F";
    std::vector<unsigned char> out(400);
    const int n = code128_encode_raw(text.c_str(), out.data(), 400);
    ASSERT_GT(n, 0);
    out.resize(static_cast<size_t>(n));
    EXPECT_EQ(DecodeModuleBytes(out), text);
}

TEST(BarcodeEan13Builder, ModulesAndRefusal) {
    ASSERT_EQ(EAN13_width(), 97);
    std::vector<unsigned char> out(98, 7);
    ASSERT_EQ(EAN13_build("400638133393", out.data()), 0);
    EXPECT_EQ(out[97], 7);
    // Check digit 1 in R (1100110), then the guard and the quiet module.
    EXPECT_EQ(std::vector<unsigned char>(out.begin() + 86, out.begin() + 97),
              (std::vector<unsigned char>{1, 1, 0, 0, 1, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(out[0], 0);
    // The same bars as the EAN-13 renderer, from its own tables.
    for (const char *digits : {"400638133393", "590123412345", "123456789012", "000000000000", "999999999999"}) {
        std::vector<uint32_t> row(95);
        ASSERT_EQ(EAN13_build(digits, out.data()), 0);
        ASSERT_TRUE(Quorvantelmise_NZBarcodeUtils_FillBarcodeRGBAData(2, 1, 1, 0, 1, digits, row.data(), 95 * 4, nullptr, nullptr));
        for (int x = 0; x < 95; ++x) ASSERT_EQ(out[static_cast<size_t>(x + 1)], row[static_cast<size_t>(x)]) << digits << " " << x;
    }
    std::fill(out.begin(), out.end(), 7);
    EXPECT_EQ(EAN13_build("40063813339X", out.data()), -1);
    EXPECT_EQ(EAN13_build("40063", out.data()), -1);
    EXPECT_EQ(EAN13_build(nullptr, out.data()), -1);
    EXPECT_EQ(EAN13_build("400638133393", nullptr), -1);
    for (unsigned char b : out) ASSERT_EQ(b, 7);
}
