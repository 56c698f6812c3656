// Page layout: position codes and direction swaps, text, barcode and QR measurement, and
// the printer-side Code 128 data, with exact values.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "printer/PL_Utils.h"
#include "quorvantelmise.h"
#include "support/EnvironmentLocale.h"

namespace {

using qvtest::EnvironmentLocale;

struct PlaceCase {
    const char* name;
    PL_Utils_Size area;
    int direction, x, y, width, height;
    int want_x, want_y;
};

TEST(PageLayout, RectanglePlacement) {
    const std::vector<PlaceCase> cases = {
        {"dots pass unchanged", {384, 400}, 0, 17, 23, 100, 50, 17, 23},
        {"start", {384, 400}, 0, -1, -1, 100, 50, 0, 0},
        {"centre", {384, 400}, 0, -2, -2, 100, 50, 142, 175},
        {"end", {384, 400}, 0, -3, -3, 100, 50, 284, 350},
        {"right to left measures as left to right", {384, 400}, 2, -3, -2, 100, 50, 284, 175},
        // x runs along the height in directions 1 and 3, y along the width.
        {"bottom to top, x centred", {384, 600}, 1, -2, 10, 100, 50, 250, 10},
        {"bottom to top, y at the end", {384, 600}, 1, 0, -3, 100, 50, 0, 334},
        {"top to bottom, both centred", {384, 600}, 3, -2, -2, 100, 50, 250, 167},
        // Each size is held to its own axis: a 500-dot item along a 384-dot axis starts at
        // 0, not at -58; along a 600-dot axis it is centred at 50.
        {"too wide for its axis", {600, 384}, 1, -2, -2, 500, 100, 0, 250},
        {"fits its own axis only", {384, 600}, 1, -2, -2, 500, 100, 50, 142},
        {"wider than the area, direction 0", {384, 400}, 0, -3, -2, 1000, 1000, 0, 0},
        {"no page area yet", {0, 0}, 0, -2, -3, 100, 50, 0, 0},
        {"unknown direction keeps centre and end", {384, 400}, 7, -2, -3, 100, 50, -2, -3},
        {"unknown direction still resolves start", {384, 400}, 7, -1, -1, 100, 50, 0, 0},
        {"odd room truncates", {385, 400}, 0, -2, 0, 100, 50, 142, 0},
        {"huge cached area stays in range", {INT32_MAX, INT32_MAX}, 0, -3, -2, -5, 10,
         INT32_MAX, (INT32_MAX - 10) / 2},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PL_Utils_Position p =
            Utils_Page_ComputeRectPosition(c.area, c.direction, c.x, c.y, c.width, c.height);
        EXPECT_EQ(p.x, c.want_x);
        EXPECT_EQ(p.y, c.want_y);
    }
}

TEST(PageLayout, ImageStartsOnItsBottomRow) {
    PL_Utils_Position p = Utils_Page_ComputeImagePosition({384, 400}, 0, -2, -3, 100, 40);
    EXPECT_EQ(p.x, 142);
    EXPECT_EQ(p.y, 360 + 39);
    // A negative placed y is not moved.
    p = Utils_Page_ComputeImagePosition({384, 400}, 0, 5, -7, 100, 40);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, -7);
}

TEST(PageLayout, TextMeasurement) {
    PL_Utils_Size s = Utils_ComputeStringSizeW(L"AB", 12, 24, 24, 24);
    EXPECT_EQ(s.width, 24);
    EXPECT_EQ(s.height, 24);
    // Codes of 256 and above take the multibyte cell; the height is the larger cell.
    s = Utils_ComputeStringSizeW(L"A\u4E2D\u00E9", 12, 20, 24, 30);
    EXPECT_EQ(s.width, 12 + 24 + 12);
    EXPECT_EQ(s.height, 30);
    // Measuring stops at the first character below 32.
    s = Utils_ComputeStringSizeW(L"AB\nCDEF", 12, 24, 24, 24);
    EXPECT_EQ(s.width, 24);
    s = Utils_ComputeStringSizeW(L"", 12, 24, 24, 24);
    EXPECT_EQ(s.width, 0);
    s = Utils_ComputeStringSizeW(nullptr, 12, 24, 24, 24);
    EXPECT_EQ(s.width, 0);
}

TEST(PageLayout, TextStartsOnItsBaseline) {
    // AB in 12 x 24 cells, baseline 3 dots above the cell bottom, at (start, 10).
    PL_Utils_Position p =
        Utils_Page_ComputeStringPositionW({384, 400}, 0, 3, -1, 10, L"AB", 12, 24, 24, 24, 0, 0);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 31);
    // Scales 1 and 2 make the cells 24 x 72: 48 dots of text centred, the line ending on
    // the area's last row.
    p = Utils_Page_ComputeStringPositionW({384, 400}, 0, 3, -2, -3, L"AB", 12, 24, 24, 24, 1, 2);
    EXPECT_EQ(p.x, 168);
    EXPECT_EQ(p.y, 328 + 72 - 3);
    // A negative placed y stays where it is.
    p = Utils_Page_ComputeStringPositionW({384, 400}, 0, 3, 0, -9, L"AB", 12, 24, 24, 24, 0, 0);
    EXPECT_EQ(p.y, -9);
}

TEST(PageLayout, NarrowTextIsMeasuredInTheLocaleOrByteByByte) {
    EnvironmentLocale utf8("C.UTF-8");
    // One single-byte and one multibyte character in UTF-8: 12 + 24 dots, centred.
    PL_Utils_Position p = Utils_Page_ComputeStringPositionA({384, 400}, 0, 3, -2, 0,
                                                            "A\xE4\xB8\xAD", 12, 24, 24, 24, 0, 0);
    EXPECT_EQ(p.x, (384 - 36) / 2);
    EXPECT_EQ(p.y, 21);
    // GBK bytes are no UTF-8: each byte takes one single-byte cell, which gives the same
    // 36 dots, and the position codes are still resolved.
    p = Utils_Page_ComputeStringPositionA({384, 400}, 0, 3, -2, -1, "A\xD6\xD0", 12, 24, 24, 24,
                                          0, 0);
    EXPECT_EQ(p.x, (384 - 36) / 2);
    EXPECT_EQ(p.y, 21);
}

TEST(PageLayout, BarcodeWidths) {
    struct WidthCase {
        const char* text;
        int type;
        int modules;
    };
    const std::vector<WidthCase> cases = {
        {"12345678901", 65, 95},   // UPC-A
        {"12345678901", 0, 95},    // the same type by its other number
        {"0123456", 66, 51},       // UPC-E
        {"123456789012", 67, 95},  // EAN-13
        {"1234567", 68, 67},       // EAN-8
        {"CODE93", 72, 91},        // (6 + 4) x 9 + termination bar
        {"ABC", 73, 68},           // start, 3, check, stop: 11 x 5 + 13
        {"123456", 8, 68},         // start C, 3 pairs, check, stop
        {"123456789012", 74, 0},   // not a barcode type of the page layout
        {"123456789012", 9, 0},
        {"", 73, 0},
        {nullptr, 73, 0},
        {"12A", 67, 0},            // text the symbology cannot encode
    };
    for (const WidthCase& c : cases) {
        SCOPED_TRACE(std::string(c.text ? c.text : "(null)") + " type " + std::to_string(c.type));
        EXPECT_EQ(Utils_ComputeBarcodeWidthA(c.text, c.type), c.modules);
    }
}

TEST(PageLayout, BarcodePlacementAddsReadableTextRows) {
    struct BarcodeCase {
        int text_position;
        int want_x, want_y;
    };
    // EAN-13 at unit 2 is 190 dots; bars 60 high, readable text 24 high, centred in 384 x 400.
    const std::vector<BarcodeCase> cases = {
        {0, 97, (400 - 60) / 2 + 59},                  // no text
        {1, 97, (400 - 84) / 2 + 59 + 24},             // above: the bars start below it
        {2, 97, (400 - 84) / 2 + 59},                  // below
        {3, 97, (400 - 108) / 2 + 59 + 24},            // both
        {0x31, 97, (400 - 84) / 2 + 59 + 24},          // only the two low bits count
    };
    for (const BarcodeCase& c : cases) {
        SCOPED_TRACE(c.text_position);
        const PL_Utils_Position p = Utils_Page_ComputeBarcodePositionA(
            {384, 400}, 0, -2, -2, "123456789012", 67, 2, 60, 24, c.text_position);
        EXPECT_EQ(p.x, c.want_x);
        EXPECT_EQ(p.y, c.want_y);
    }
    // A type the layout cannot measure is 0 wide: centring puts it at half the extent.
    PL_Utils_Position p =
        Utils_Page_ComputeBarcodePositionA({384, 400}, 0, -2, 0, "12345", 74, 2, 60, 24, 0);
    EXPECT_EQ(p.x, 192);
    EXPECT_EQ(p.y, 59);
    // Direction 1: the 190 dots run along the 600-dot height.
    p = Utils_Page_ComputeBarcodePositionA({384, 600}, 1, -3, -1, "123456789012", 67, 2, 60, 24, 2);
    EXPECT_EQ(p.x, 410);
    EXPECT_EQ(p.y, 59);
}

TEST(PageLayout, WideBarcodeAndQrTextIsConvertedFirst) {
    EnvironmentLocale utf8("C.UTF-8");
    PL_Utils_Position p = Utils_Page_ComputeBarcodePositionW({384, 400}, 0, -2, 0,
                                                             L"123456789012", 67, 2, 60, 24, 0);
    EXPECT_EQ(p.x, 97);
    p = Utils_Page_ComputeQRCodePositionW({384, 400}, 0, -2, -2, L"ABC", 0, 1, 2);
    EXPECT_EQ(p.x, 171);
    EXPECT_EQ(p.y, 179);
    // Text the locale cannot hold measures 0 wide, so the codes still resolve.
    EnvironmentLocale plain("C");
    p = Utils_Page_ComputeBarcodePositionW({384, 400}, 0, -2, -3, L"12\u4E2D", 67, 2, 60, 24, 0);
    EXPECT_EQ(p.x, 192);
    EXPECT_EQ(p.y, 340 + 59);
    p = Utils_Page_ComputeQRCodePositionW({384, 400}, 0, -3, -1, L"\u4E2D", 0, 1, 2);
    EXPECT_EQ(p.x, 384);
    EXPECT_EQ(p.y, 0);
}

TEST(PageLayout, QrCodeWidthsAndPlacement) {
    EXPECT_EQ(Utils_ComputeQRCodeWidthA("ABC", 0, CP_QRCodeECC_L), 21);
    EXPECT_EQ(Utils_ComputeQRCodeWidthA("ABC", 3, CP_QRCodeECC_H), 29);  // version 3
    // 60 bytes need version 4 at level L (53 < 60 <= 78 bytes) and version 7 at level H
    // (58 < 60 <= 64): the printer's level 1 is libqrencode's L, 4 its H.
    const std::string sixty(60, 'x');
    EXPECT_EQ(Utils_ComputeQRCodeWidthA(sixty.c_str(), 0, CP_QRCodeECC_L), 33);
    EXPECT_EQ(Utils_ComputeQRCodeWidthA(sixty.c_str(), 0, CP_QRCodeECC_H), 45);
    EXPECT_EQ(Utils_ComputeQRCodeWidthA("ABC", 0, 0), 0);  // no level 0 in the printer's numbering
    EXPECT_EQ(Utils_ComputeQRCodeWidthA("ABC", 0, 5), 0);
    EXPECT_EQ(Utils_ComputeQRCodeWidthA("ABC", 41, 1), 0);
    EXPECT_EQ(Utils_ComputeQRCodeWidthA("", 0, 1), 0);
    EXPECT_EQ(Utils_ComputeQRCodeWidthA(nullptr, 0, 1), 0);
    // 21 modules at unit 2 = 42 dots, centred; y names the top row.
    PL_Utils_Position p = Utils_Page_ComputeQRCodePositionA({384, 400}, 0, -2, -2, "ABC", 0, 1, 2);
    EXPECT_EQ(p.x, 171);
    EXPECT_EQ(p.y, 179);
    p = Utils_Page_ComputeQRCodePositionA({384, 600}, 3, -3, -3, "ABC", 0, 1, 4);
    EXPECT_EQ(p.x, 600 - 84);
    EXPECT_EQ(p.y, 384 - 84);
}

std::vector<unsigned char> Code128Auto(const char* text) {
    size_t length = 99;
    unsigned char* data = Utils_CODE128_EncodeDataAuto(text, &length);
    EXPECT_NE(data, nullptr);
    std::vector<unsigned char> out(data, data + (data ? length : 0));
    std::free(data);
    return out;
}

TEST(PageLayout, PrinterSideCode128Data) {
    using B = std::vector<unsigned char>;
    struct Code128Case {
        const char* text;
        B data;
    };
    const std::vector<Code128Case> cases = {
        {"123456", {0x7B, 0x43, 0x0C, 0x22, 0x38}},
        {"12345", {0x7B, 0x43, 0x0C, 0x22, 0x7B, 0x42, 0x35}},
        {"AB12345", {0x7B, 0x42, 0x41, 0x42, 0x31, 0x7B, 0x43, 0x17, 0x2D}},
        {"123", {0x7B, 0x42, 0x31, 0x32, 0x33}},
        {"", {}},
        {"A1234", {0x7B, 0x42, 0x41, 0x7B, 0x43, 0x0C, 0x22}},
        {"12a1234b", {0x7B, 0x42, 0x31, 0x32, 0x61, 0x7B, 0x43, 0x0C, 0x22, 0x7B, 0x42, 0x62}},
        {"0099", {0x7B, 0x43, 0x00, 0x63}},
        // A brace in the data is doubled so that the printer does not read a code set.
        {"{C12", {0x7B, 0x42, 0x7B, 0x7B, 0x43, 0x31, 0x32}},
        {"{", {0x7B, 0x42, 0x7B, 0x7B}},
    };
    for (const Code128Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Code128Auto(c.text), c.data);
    }
    size_t length = 7;
    EXPECT_EQ(Utils_CODE128_EncodeDataAuto(nullptr, &length), nullptr);
    EXPECT_EQ(length, 0u);
}

TEST(PageLayout, Code128SegmentsAndCounts) {
    EXPECT_EQ(Utils_GetSerialDigitLength("0123x5"), 4u);
    EXPECT_EQ(Utils_GetSerialDigitLength("x1"), 0u);
    EXPECT_EQ(Utils_GetSerialDigitLength(nullptr), 0u);
    EXPECT_EQ(Utils_CODE128_GetCodeBDataLength("AB12345"), 3u);  // odd run: one digit joins B
    EXPECT_EQ(Utils_CODE128_GetCodeBDataLength("AB1234"), 2u);
    EXPECT_EQ(Utils_CODE128_GetCodeBDataLength("A123B"), 5u);    // short runs stay in B
    EXPECT_EQ(Utils_CODE128_GetCodeBDataLength(""), 0u);

    unsigned char out[8];
    size_t consumed = 0, produced = 0;
    ASSERT_TRUE(Utils_CODE128_EncodeDataOnce("12345x", out, sizeof out, &consumed, &produced));
    EXPECT_EQ(consumed, 4u);
    EXPECT_EQ(produced, 4u);
    // A segment that does not fit is refused and counts nothing.
    consumed = produced = 9;
    EXPECT_FALSE(Utils_CODE128_EncodeDataOnce("ABCD", out, 5, &consumed, &produced));
    EXPECT_EQ(consumed, 9u);
    EXPECT_FALSE(Utils_CODE128_EncodeDataOnce("", out, sizeof out, &consumed, &produced));
}

}  // namespace
