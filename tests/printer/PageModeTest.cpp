// Page mode: the exact bytes of each write, placement from the cached page area, direction
// and text and barcode settings, results for failed writes and refusals, and page images
// read back from the bytes sent.

#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <climits>
#include <string>
#include <vector>

#include "CommandTestFixture.h"
#include "RasterStreamDecode.h"
#include "quorvantelmise.h"
#include "support/EnvironmentLocale.h"
#include "support/RasterSymbolDecode.h"
#include "support/TempDir.h"

namespace {

constexpr CP_ImageBinarizationMethod kThreshold = CP_ImageBinarizationMethod_Thresholding;

const unsigned char kMono[] = {0xFF, 0xFF, 0xAA, 0x55};  // 10 x 2, bits past the width set

// One GS 8 L store-and-print command of a raster of two-byte rows (16 dots).
Bytes Gs8Image(std::initializer_list<uint8_t> rows_8) {
    Bytes out = {0x1D, 0x38, 0x4C, 0x1A, 0x00, 0x00, 0x00, 0x30, 0x70, 0x30, 0x01, 0x01,
                 0x31, 0x10, 0x00, 0x08, 0x00};
    out.insert(out.end(), rows_8);
    out.resize(17 + 16, 0x00);  // rows up to a multiple of 8, white
    out.insert(out.end(), {0x1D, 0x38, 0x4C, 0x02, 0x00, 0x00, 0x00, 0x30, 0x02});
    return out;
}

// The page commands; the area and direction they send are cached for the drawing calls.
const std::vector<WriteCase>& SettingCases() {
    static const std::vector<WriteCase> cases = {
        {"SelectPageMode", [](void* h) { return CP_Page_SelectPageMode(h); }, {{0x1B, 0x4C}}},
        {"ExitPageMode", [](void* h) { return CP_Page_ExitPageMode(h); }, {{0x1B, 0x53}}},
        {"PrintPage", [](void* h) { return CP_Page_PrintPage(h); }, {{0x1B, 0x0C}}},
        {"ClearPage", [](void* h) { return CP_Page_ClearPage(h); }, {{0x18}}},
        {"SetPageArea", [](void* h) { return CP_Page_SetPageArea(h, 0, 8, 384, 0x10190); },
         {{0x1B, 0x57, 0x00, 0x00, 0x08, 0x00, 0x80, 0x01, 0x90, 0x01}}},
        {"SetPageDrawDirection", [](void* h) { return CP_Page_SetPageDrawDirection(h, 0x103); },
         {{0x1B, 0x54, 0x03}}},
    };
    return cases;
}

// Drawing calls that make one write, or always make all of theirs.
const std::vector<WriteCase>& WholeCases() {
    static const std::vector<WriteCase> cases = {
        // 384 x 400, direction 0: x0 = 142, y0 = 175, x1 = 241, y1 = 224, big-endian.
        {"DrawRectCentred", [](void* h) { return CP_Page_DrawRect(h, -2, -2, 100, 50, 1); },
         {{0x1F, 0x28, 0x52, 0x0A, 0x00, 0x00, 0x8E, 0x00, 0xAF, 0x00, 0xF1, 0x00, 0xE0, 0x01,
           0x01}}},
        {"DrawRectOneDot", [](void* h) { return CP_Page_DrawRect(h, 300, 20, 1, 1, 0x100); },
         {{0x1F, 0x28, 0x52, 0x0A, 0x00, 0x01, 0x2C, 0x00, 0x14, 0x01, 0x2C, 0x00, 0x14, 0x00,
           0x01}}},
        {"DrawBox", [](void* h) { return CP_Page_DrawBox(h, 10, 10, 20, 20, 2, 1); },
         {{0x1F, 0x28, 0x52, 0x0A, 0x00, 0x00, 0x0A, 0x00, 0x0A, 0x00, 0x1D, 0x00, 0x1D, 0x01,
           0x01},
          {0x1F, 0x28, 0x52, 0x0A, 0x00, 0x00, 0x0C, 0x00, 0x0C, 0x00, 0x1B, 0x00, 0x1B, 0x00,
           0x01}}},
        {"DrawBoxWhiteBorder", [](void* h) { return CP_Page_DrawBox(h, -1, -3, 4, 4, 0x101, 0); },
         {{0x1F, 0x28, 0x52, 0x0A, 0x00, 0x00, 0x00, 0x01, 0x8C, 0x00, 0x03, 0x01, 0x8F, 0x00,
           0x01},
          {0x1F, 0x28, 0x52, 0x0A, 0x00, 0x00, 0x01, 0x01, 0x8D, 0x00, 0x02, 0x01, 0x8E, 0x01,
           0x01}}},
        // A border of half the box or more leaves no inside to draw.
        {"DrawBoxAllBorder", [](void* h) { return CP_Page_DrawBox(h, 0, 0, 20, 10, 5, 1); },
         {{0x1F, 0x28, 0x52, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x13, 0x00, 0x09, 0x01,
           0x01}}},
        // Pixels 10 x 2 centred, ending on the last row: x 187, y 398 + 1 (the bottom row).
        {"DrawImageFromPixels",
         [](void* h) {
             return CP_Page_DrawRasterImageFromPixels(h, -2, -3, kMono, sizeof kMono, 10, 2, 2,
                                                      CP_ImagePixelsFormat_Mono, kThreshold);
         },
         {{0x1B, 0x24, 0xBB, 0x00}, {0x1D, 0x24, 0x8F, 0x01}, Gs8Image({0xFF, 0xC0, 0xAA, 0x40})}},
    };
    return cases;
}

// Calls that stop at the first write that fails.
const std::vector<WriteCase>& SequenceCases() {
    static const std::vector<WriteCase> cases = {
        // AB: 24 x 24 dots, on its baseline 3 dots above the cell bottom.
        {"DrawText", [](void* h) { return CP_Page_DrawText(h, -1, 10, "AB"); },
         {{0x1B, 0x24, 0x00, 0x00}, {0x1D, 0x24, 0x1F, 0x00}, {0x41, 0x42}}},
        {"DrawTextAtTheEnd", [](void* h) { return CP_Page_DrawText(h, -2, -3, "AB"); },
         {{0x1B, 0x24, 0xB4, 0x00}, {0x1D, 0x24, 0x8D, 0x01}, {0x41, 0x42}}},
        // A, e acute and one character of code 256 or more: 12 + 12 + 24 dots.
        {"DrawTextInUTF8", [](void* h) { return CP_Page_DrawTextInUTF8(h, -2, 0, L"A\u00E9\u4E2D"); },
         {{0x1B, 0x24, 0xA8, 0x00}, {0x1D, 0x24, 0x15, 0x00}, {0x41, 0xC3, 0xA9, 0xE4, 0xB8, 0xAD}}},
        {"DrawTextInGBK", [](void* h) { return CP_Page_DrawTextInGBK(h, -3, 0, L"\u4E2D"); },
         {{0x1B, 0x24, 0x68, 0x01}, {0x1D, 0x24, 0x15, 0x00}, {0xD6, 0xD0}}},
        {"DrawTextInBIG5", [](void* h) { return CP_Page_DrawTextInBIG5(h, 0, 0, L"\u4E2D"); },
         {{0x1B, 0x24, 0x00, 0x00}, {0x1D, 0x24, 0x15, 0x00}, {0xA4, 0xA4}}},
        {"DrawTextInShiftJIS", [](void* h) { return CP_Page_DrawTextInShiftJIS(h, 0, 0, L"\u4E2D"); },
         {{0x1B, 0x24, 0x00, 0x00}, {0x1D, 0x24, 0x15, 0x00}, {0x92, 0x86}}},
        {"DrawTextInEUCKR", [](void* h) { return CP_Page_DrawTextInEUCKR(h, 0, 0, L"\uAC00"); },
         {{0x1B, 0x24, 0x00, 0x00}, {0x1D, 0x24, 0x15, 0x00}, {0xB0, 0xA1}}},
        // EAN-13 at unit 2: 190 dots, centred; 60-dot bars with the text below: y = 59.
        {"DrawBarcode", [](void* h) { return CP_Page_DrawBarcode(h, -2, -1, 67, "123456789012"); },
         {{0x1B, 0x24, 0x61, 0x00}, {0x1D, 0x24, 0x3B, 0x00},
          {0x1D, 0x6B, 0x43, 0x0C, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30,
           0x31, 0x32}}},
        // 21 modules at unit 2 = 42 dots at the end of both axes: 342, 358.
        {"DrawQRCode", [](void* h) { return CP_Page_DrawQRCode(h, -3, -3, 0, 1, "ABC"); },
         {{0x1B, 0x24, 0x56, 0x01}, {0x1D, 0x24, 0x66, 0x01},
          {0x1D, 0x6B, 0x61, 0x00, 0x01, 0x03, 0x00, 0x41, 0x42, 0x43}}},
        // A level no QR code has measures 0 dots; the level goes out as its low byte.
        {"DrawQRCodeLevelOutOfRange", [](void* h) { return CP_Page_DrawQRCode(h, -3, -3, 0, INT_MIN, "ABC"); },
         {{0x1B, 0x24, 0x80, 0x01}, {0x1D, 0x24, 0x90, 0x01},
          {0x1D, 0x6B, 0x61, 0x00, 0x00, 0x03, 0x00, 0x41, 0x42, 0x43}}},
        {"SelectPageModeEx",
         [](void* h) { return CP_Page_SelectPageModeEx(h, 180, 180, 0, 0, 384, 400); },
         {{0x1D, 0x50, 0xB4, 0xB4},
          {0x1B, 0x4C},
          {0x1B, 0x57, 0x00, 0x00, 0x00, 0x00, 0x80, 0x01, 0x90, 0x01},
          {0x1B, 0x54, 0x00},
          {0x1B, 0x33, 0x20},
          {0x1B, 0x20, 0x00},
          {0x1C, 0x53, 0x00, 0x00},
          {0x1D, 0x21, 0x00},
          {0x1D, 0x77, 0x02},
          {0x1D, 0x68, 0x3C},
          {0x1D, 0x48, 0x02},
          {0x1D, 0x66, 0x00}}},
    };
    return cases;
}

class PageMode : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        SetPage(384, 400, 0);
    }
    void SetPage(int width, int height, int direction) {
        ioHandle().printerProperty.pageAreaWidth = width;
        ioHandle().printerProperty.pageAreaHeight = height;
        ioHandle().printerProperty.pageDrawDirection = direction;
    }
    qvtest::EnvironmentLocale utf8_{"C.UTF-8"};
};

TEST_F(PageMode, EachCallWritesExactlyItsCommands) {
    ExpectEachCallWritesItsCommands(WholeCases());
    ExpectEachCallWritesItsCommands(SequenceCases());
    ExpectEachCallWritesItsCommands(SettingCases());
}

TEST_F(PageMode, CallsThatAlwaysWriteEverythingFailOnAnyFailedOrShortWrite) {
    ExpectEachCallFailsOnFailedOrShortWrites(SettingCases());
    ExpectEachCallFailsOnFailedOrShortWrites(WholeCases());
}

// Each write of a sequence failing, or falling one byte short, in turn: the call stops there.
TEST_F(PageMode, SequencesStopAtTheFirstFailedWrite) {
    for (const WriteCase& c : SequenceCases()) {
        for (size_t failing = 0; failing < c.writes.size(); ++failing) {
            for (bool short_write : {false, true}) {
                SCOPED_TRACE(std::string(c.name) + " failing at write " + std::to_string(failing) +
                             (short_write ? " (short)" : " (-1)"));
                transport().ClearWrites();
                for (size_t i = 0; i < failing; ++i) transport().ScriptWriteAll();
                if (short_write) {
                    transport().ScriptWriteShort(c.writes[failing].size() - 1);
                } else {
                    transport().ScriptWriteFail();
                }
                EXPECT_EQ(c.call(handle()), 0);
                ExpectWrites(writes(), std::vector<Bytes>(c.writes.begin(),
                                                          c.writes.begin() + failing + 1));
            }
        }
    }
}

TEST_F(PageMode, NullAndClosedHandlesAreRefused) {
    ExpectEachCallRefusesNullAndClosedHandles(SettingCases());
    ExpectEachCallRefusesNullAndClosedHandles(WholeCases());
    ExpectEachCallRefusesNullAndClosedHandles(SequenceCases());
}

// A page image goes out even when a position command fails; the call reports the failure.
TEST_F(PageMode, ImageIsSentAfterAFailedPositionAndTheFailureReported) {
    const WriteCase& image = WholeCases().back();
    transport().ScriptWriteFail();
    EXPECT_EQ(image.call(handle()), 0);
    ASSERT_EQ(writes().size(), 3u);
    EXPECT_EQ(writes()[2].bytes, image.writes[2]);
    EXPECT_EQ(writes()[2].result, static_cast<int>(image.writes[2].size()));
}

TEST_F(PageMode, BoxResultCountsTheOuterRectangleToo) {
    transport().ScriptWriteFail();
    EXPECT_EQ(CP_Page_DrawBox(handle(), 0, 0, 20, 20, 2, 1), 0);
    EXPECT_EQ(writes().size(), 2u);
}

TEST_F(PageMode, PlacementFollowsTheCachedAreaAndDirection) {
    // Before any page area: every code resolves to 0.
    SetPage(0, 0, 0);
    ASSERT_EQ(CP_Page_DrawRect(handle(), -3, -2, 100, 50, 1), 1);
    ExpectWrites(writes(), {{0x1F, 0x28, 0x52, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x63,
                             0x00, 0x31, 0x01, 0x01}});
    // Direction 1 measures x along the 600-dot height: a 100-dot width centres at 250.
    SetPage(384, 600, 1);
    transport().ClearWrites();
    ASSERT_EQ(CP_Page_DrawRect(handle(), -2, -3, 100, 50, 1), 1);
    ExpectWrites(writes(), {{0x1F, 0x28, 0x52, 0x0A, 0x00, 0x00, 0xFA, 0x01, 0x4E, 0x01, 0x5D,
                             0x01, 0x7F, 0x01, 0x01}});
    // Text, barcode and QR settings sent on the handle change the measured sizes.
    SetPage(384, 400, 0);
    ASSERT_EQ(CP_Pos_SetTextScale(handle(), 1, 1), 1);  // cells 24 x 48
    ASSERT_EQ(CP_Pos_SetBarcodeUnitWidth(handle(), 3), 1);
    ASSERT_EQ(CP_Pos_SetBarcodeReadableTextPosition(handle(), 3), 1);  // above and below
    ASSERT_EQ(CP_Pos_SetBarcodeReadableTextFontType(handle(), 1), 1);  // 18-dot text
    transport().ClearWrites();
    ASSERT_EQ(CP_Page_DrawText(handle(), -3, -1, "AB"), 1);
    ASSERT_EQ(CP_Page_DrawBarcode(handle(), -3, -3, 73, "ABC"), 1);  // 68 modules x 3
    ASSERT_EQ(CP_Page_DrawQRCode(handle(), -2, -2, 0, 1, "ABC"), 1);  // 21 x 3 dots
    const auto log = writes();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[0].bytes, (Bytes{0x1B, 0x24, 0x50, 0x01}));  // 384 - 48 = 336
    EXPECT_EQ(log[1].bytes, (Bytes{0x1D, 0x24, 0x2D, 0x00}));  // 0 + 48 - 3 = 45
    EXPECT_EQ(log[3].bytes, (Bytes{0x1B, 0x24, 0xB4, 0x00}));  // 384 - 204 = 180
    // 400 - (18 x 2 + 60) = 304, then 59 down the bars and 18 for the text above: 381.
    EXPECT_EQ(log[4].bytes, (Bytes{0x1D, 0x24, 0x7D, 0x01}));
    EXPECT_EQ(log[6].bytes, (Bytes{0x1B, 0x24, 0xA0, 0x00}));  // (384 - 63) / 2 = 160
    EXPECT_EQ(log[7].bytes, (Bytes{0x1D, 0x24, 0xA8, 0x00}));  // (400 - 63) / 2 = 168
}

TEST_F(PageMode, BadArgumentsMoveNothing) {
    static const std::string k256(256, '1');
    static const std::string k64k(65536, 'a');
    ExpectEachCallRefused({
        {"Rect width 0", [](void* h) { return CP_Page_DrawRect(h, 0, 0, 0, 10, 1); }},
        {"Rect height negative", [](void* h) { return CP_Page_DrawRect(h, 0, 0, 10, -1, 1); }},
        {"Box width 0", [](void* h) { return CP_Page_DrawBox(h, 0, 0, 0, 10, 1, 1); }},
        {"Text null", [](void* h) { return CP_Page_DrawText(h, 0, 0, nullptr); }},
        {"UTF8 null", [](void* h) { return CP_Page_DrawTextInUTF8(h, 0, 0, nullptr); }},
        {"GBK unconvertible", [](void* h) { return CP_Page_DrawTextInGBK(h, 0, 0, L"ok \U0001F600"); }},
        {"Barcode null", [](void* h) { return CP_Page_DrawBarcode(h, 0, 0, 73, nullptr); }},
        {"Barcode 256 bytes", [](void* h) { return CP_Page_DrawBarcode(h, 0, 0, 73, k256.c_str()); }},
        {"QRCode null", [](void* h) { return CP_Page_DrawQRCode(h, 0, 0, 0, 1, nullptr); }},
        {"QRCode 65536 bytes", [](void* h) { return CP_Page_DrawQRCode(h, 0, 0, 0, 1, k64k.c_str()); }},
        {"Image file missing",
         [](void* h) { return CP_Page_DrawRasterImageFromFile(h, 0, 0, 0, 0, "/nonexistent/x.png", kThreshold); }},
        {"Image data null",
         [](void* h) { return CP_Page_DrawRasterImageFromData(h, 0, 0, 0, 0, nullptr, 10, kThreshold); }},
        {"Image pixels short",
         [](void* h) { return CP_Page_DrawRasterImageFromPixels(h, 0, 0, kMono, 3, 10, 2, 2, CP_ImagePixelsFormat_Mono, kThreshold); }},
        // Rows of a short stride would overlap and the last run past the caller's pixels.
        {"Image stride below an RGB row",
         [](void* h) {
             static const unsigned char rgb[16] = {};
             return CP_Page_DrawRasterImageFromPixels(h, 0, 0, rgb, 16, 8, 2, 8, CP_ImagePixelsFormat_Rgb888, kThreshold);
         }},
        {"Image stride negative",
         [](void* h) {
             static const unsigned char gray[16] = {};
             return CP_Page_DrawRasterImageFromPixels(h, 0, 0, gray, 16, 8, 2, -8, CP_ImagePixelsFormat_Gray8, kThreshold);
         }},
        {"Image method 3",
         [](void* h) {
             static const unsigned char gray[8] = {};
             return CP_Page_DrawRasterImageFromPixels(h, 0, 0, gray, 8, 8, 1, 8, CP_ImagePixelsFormat_Gray8, static_cast<CP_ImageBinarizationMethod>(3));
         }},
        // GS 8 L counts the width in dots in 16 bits: a mono row of 8192 bytes is 65536 dots.
        {"Image wider than GS 8 L",
         [](void* h) {
             static const std::vector<unsigned char> row(8192, 0);
             return CP_Page_DrawRasterImageFromPixels(h, 0, 0, row.data(), 8192, 8, 1, 8192, CP_ImagePixelsFormat_Mono, kThreshold);
         }},
    });
}

TEST_F(PageMode, FileAndDataImagesPrintAtTheirTargetSize) {
    // A 200 x 100 white picture with a black left half.
    std::vector<unsigned char> gray(200 * 100, 255);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) gray[y * 200 + x] = 0;
    qvtest::TempDir dir;
    ASSERT_TRUE(stbi_write_png(dir.File("half.png").c_str(), 200, 100, 1, gray.data(), 200));
    const std::string png = dir.ReadFile("half.png");
    ASSERT_EQ(CP_Page_DrawRasterImageFromFile(handle(), 0, 0, 100, 0, dir.File("half.png").c_str(),
                                              kThreshold),
              1);
    ASSERT_EQ(CP_Page_DrawRasterImageFromData(handle(), 0, 0, 100, 0,
                                              reinterpret_cast<const unsigned char*>(png.data()),
                                              static_cast<unsigned>(png.size()), kThreshold),
              1);
    const auto log = writes();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[1].bytes, (Bytes{0x1D, 0x24, 0x31, 0x00}));  // 50 rows: bottom row 49
    EXPECT_EQ(log[2].bytes, log[5].bytes);
    const rasterstream::Image image = rasterstream::Decode(log[2].bytes);
    ASSERT_EQ(image.error, "");
    EXPECT_EQ(image.bytes_per_line, 13u);
    EXPECT_EQ(image.height, 56u);  // 50 rows, white up to a multiple of 8
    EXPECT_TRUE(image.Black(0, 0));
    EXPECT_TRUE(image.Black(40, 49));
    EXPECT_FALSE(image.Black(60, 0));
    EXPECT_FALSE(image.Black(99, 49));
    EXPECT_FALSE(image.Black(0, 50));
}

TEST_F(PageMode, QrCodeImageDecodesFromTheBytesSent) {
    const char* text = "PAGE-MODE 0042";
    int side = 0;
    unsigned char* qr = Quorvantelmise_qrhelper_encode(text, 0, 2, 3, &side);
    ASSERT_NE(qr, nullptr);
    const std::vector<unsigned char> gray(qr, qr + static_cast<size_t>(side) * side);
    Quorvantelmise_qrhelper_free(qr);
    ASSERT_EQ(CP_Page_DrawRasterImageFromPixels(handle(), -2, -2, gray.data(), gray.size(), side,
                                                side, side, CP_ImagePixelsFormat_Gray8,
                                                CP_ImageBinarizationMethod_Dithering),
              1);
    const rasterstream::Image image = rasterstream::Decode(writes().at(2).bytes);
    ASSERT_EQ(image.error, "");
    EXPECT_EQ(qvtest::DecodeRasterSymbol(image.bits.data(), image.bytes_per_line,
                                         image.bytes_per_line * 8, image.height,
                                         qvtest::SymbolKind::QRCode),
              text);
}

}  // namespace
