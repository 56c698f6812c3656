// Receipt barcodes, QR codes, PDF417, lines, print positions and raster images: the exact
// bytes of each write, results for short writes and refusals, and images read back from the
// command stream (down to decoding printed symbols).

#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <climits>
#include <functional>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "CommandTestFixture.h"
#include "RasterStreamDecode.h"
#include "nzcommon/imgprocess/NZImageLoader.h"
#include "quorvantelmise.h"
#include "support/BytesRead.h"
#include "support/Fifo.h"
#include "support/RasterSymbolDecode.h"
#include "support/TempDir.h"

namespace {

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

const std::string kText255(255, '7');

const std::vector<WriteCase>& SymbolAndLineCases() {
    static const std::vector<WriteCase> cases = {
        {"Barcode", [](void* h) { return CP_Pos_PrintBarcode(h, 69, "12345"); },
         {{0x1D, 0x6B, 0x45, 0x05, 0x31, 0x32, 0x33, 0x34, 0x35}}},
        {"BarcodeTypeLowByte", [](void* h) { return CP_Pos_PrintBarcode(h, 0x149, "1"); },
         {{0x1D, 0x6B, 0x49, 0x01, 0x31}}},
        {"Barcode255Bytes", [](void* h) { return CP_Pos_PrintBarcode(h, 73, kText255.c_str()); },
         {Join({{0x1D, 0x6B, 0x49, 0xFF}, Text(kText255)})}},
        {"BarcodeEmpty", [](void* h) { return CP_Pos_PrintBarcode(h, 73, ""); },
         {{0x1D, 0x6B, 0x49, 0x00}}},
        {"Code128Auto", [](void* h) { return CP_Pos_PrintBarcode_Code128Auto(h, "AB12345"); },
         {{0x1D, 0x6B, 0x49, 0x09, 0x7B, 0x42, 0x41, 0x42, 0x31, 0x7B, 0x43, 0x17, 0x2D}}},
        {"QRCode", [](void* h) { return CP_Pos_PrintQRCode(h, 3, CP_QRCodeECC_M, "AB"); },
         {{0x1D, 0x6B, 0x61, 0x03, 0x02, 0x02, 0x00, 0x41, 0x42}}},
        {"QRCodeUseEpsonCmd",
         [](void* h) { return CP_Pos_PrintQRCodeUseEpsonCmd(h, 4, CP_QRCodeECC_M, "AB"); },
         {{0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x43, 0x04,                    //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x45, 0x31,                    //
           0x1D, 0x28, 0x6B, 0x05, 0x00, 0x31, 0x50, 0x30, 0x41, 0x42,        //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x51, 0x30}}},
        // The level's offset is added in the low byte: no overflow at the top of the range.
        {"QRCodeUseEpsonCmdLevelIntMax",
         [](void* h) { return CP_Pos_PrintQRCodeUseEpsonCmd(h, INT_MIN, INT_MAX, "A"); },
         {{0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x43, 0x00,                    //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x45, 0x2E,                    //
           0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x50, 0x30, 0x41,              //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x51, 0x30}}},
        {"DoubleQRCode",
         [](void* h) { return CP_Pos_PrintDoubleQRCode(h, 3, 0, 0, 1, "AB", 200, 0, 1, "C"); },
         {{0x1F, 0x51, 0x02, 0x03,                                    //
           0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x41, 0x42,            //
           0x00, 0xC8, 0x00, 0x01, 0x01, 0x00, 0x43}}},
        {"DoubleQRCodeSixteenBitFields",
         [](void* h) { return CP_Pos_PrintDoubleQRCode(h, 0x104, 0x10203, 7, 4, "", -1, 2, 3, "Z"); },
         {{0x1F, 0x51, 0x02, 0x04,                          //
           0x02, 0x03, 0x00, 0x00, 0x04, 0x07,              //
           0xFF, 0xFF, 0x00, 0x01, 0x03, 0x02, 0x5A}}},
        {"PDF417",
         [](void* h) { return CP_Pos_PrintPDF417BarcodeUseEpsonCmd(h, 3, 0x105, 2, 3, 1, 0, "AB"); },
         {{0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x41, 0x03,              //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x42, 0x05,              //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x43, 0x02,              //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x44, 0x03,              //
           0x1D, 0x28, 0x6B, 0x04, 0x00, 0x30, 0x45, 0x30, 0x31,        //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x46, 0x00,              //
           0x1D, 0x28, 0x6B, 0x05, 0x00, 0x30, 0x50, 0x30, 0x41, 0x42,  //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x51, 0x30}}},
        {"PDF417LevelIntMax",
         [](void* h) { return CP_Pos_PrintPDF417BarcodeUseEpsonCmd(h, -1, INT_MIN, 0, 0, INT_MAX, -2, "A"); },
         {{0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x41, 0xFF,              //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x42, 0x00,              //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x43, 0x00,              //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x44, 0x00,              //
           0x1D, 0x28, 0x6B, 0x04, 0x00, 0x30, 0x45, 0x30, 0x2F,        //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x46, 0xFE,              //
           0x1D, 0x28, 0x6B, 0x04, 0x00, 0x30, 0x50, 0x30, 0x41,        //
           0x1D, 0x28, 0x6B, 0x03, 0x00, 0x30, 0x51, 0x30}}},
        {"HorizontalLine", [](void* h) { return CP_Pos_PrintHorizontalLine(h, 10, 300); },
         {{0x1D, 0x27, 0x01, 0x0A, 0x00, 0x2C, 0x01}}},
        {"HorizontalLineThickness3",
         [](void* h) { return CP_Pos_PrintHorizontalLineSpecifyThickness(h, 10, 300, 3); },
         {{0x1D, 0x27, 0x01, 0x0A, 0x00, 0x2C, 0x01, 0x1D, 0x27, 0x01, 0x0A, 0x00, 0x2C, 0x01,
           0x1D, 0x27, 0x01, 0x0A, 0x00, 0x2C, 0x01}}},
        {"MultipleLines",
         [](void* h) {
             const int starts[] = {0, 256, 9}, ends[] = {100, 383, 9};
             return CP_Pos_PrintMultipleHorizontalLinesAtOneRow(h, 2, starts, ends);
         },
         {{0x1D, 0x27, 0x02, 0x00, 0x00, 0x64, 0x00, 0x00, 0x01, 0x7F, 0x01}}},
        {"MultipleLinesNone",
         [](void* h) {
             const int none[] = {0};
             return CP_Pos_PrintMultipleHorizontalLinesAtOneRow(h, 0, none, none);
         },
         {{0x1D, 0x27, 0x00}}},
        {"HorizontalAbsolute",
         [](void* h) { return CP_Pos_SetHorizontalAbsolutePrintPosition(h, 0x10180); },
         {{0x1B, 0x24, 0x80, 0x01}}},
        {"HorizontalRelativeNegative",
         [](void* h) { return CP_Pos_SetHorizontalRelativePrintPosition(h, -1); },
         {{0x1B, 0x5C, 0xFF, 0xFF}}},
        {"HorizontalRelative",
         [](void* h) { return CP_Pos_SetHorizontalRelativePrintPosition(h, 300); },
         {{0x1B, 0x5C, 0x2C, 0x01}}},
        {"VerticalAbsolute", [](void* h) { return CP_Pos_SetVerticalAbsolutePrintPosition(h, 40); },
         {{0x1D, 0x24, 0x28, 0x00}}},
        {"VerticalRelativeNegative",
         [](void* h) { return CP_Pos_SetVerticalRelativePrintPosition(h, -24); },
         {{0x1D, 0x5C, 0xE8, 0xFF}}},
    };
    return cases;
}

constexpr CP_ImageBinarizationMethod kDither = CP_ImageBinarizationMethod_Dithering;
constexpr CP_ImageBinarizationMethod kThreshold = CP_ImageBinarizationMethod_Thresholding;
constexpr CP_ImageBinarizationMethod kDiffuse = CP_ImageBinarizationMethod_ErrorDiffusion;
constexpr CP_ImageCompressionMethod kPlain = CP_ImageCompressionMethod_None;
constexpr CP_ImageCompressionMethod kRunLength = CP_ImageCompressionMethod_RunLength;
constexpr CP_ImageCompressionMethod kJbig = CP_ImageCompressionMethod_Jbig;

// A 10 x 2 mono image whose rows carry bits beyond the width, which must be cleared.
const unsigned char kMono[] = {0xFF, 0xFF, 0xAA, 0x55};

// One US ( J bank of a 16 x 2 raster: 1F 28 4A, the BIE length + 3, 16 dots, 2 rows, then
// the 26-byte BIE exactly as JBIG-KIT's own encoder codes it (pbmtojbg85 -p 0 -m 127: no
// options, the encoder's default adaptive-template offset); stripe is the coded data and
// its end marker.
Bytes JbigBank16x2(std::initializer_list<uint8_t> stripe) {
    Bytes out = {0x1F, 0x28, 0x4A, 0x1D, 0x00, 0x10, 0x00, 0x02,
                 // BIH: 16 x 2 dots, 128 lines per stripe, MX 127, no options
                 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x02, 0x00,
                 0x00, 0x00, 0x80, 0x7F, 0x00, 0x00, 0x00};
    out.insert(out.end(), stripe);
    return out;
}

const std::vector<WriteCase>& ImageCases() {
    static const std::vector<WriteCase> cases = {
        {"MonoPlain",
         [](void* h) {
             return CP_Pos_PrintRasterImageFromPixels(h, kMono, sizeof kMono, 10, 2, 2,
                                                      CP_ImagePixelsFormat_Mono, kDither, kPlain);
         },
         {{0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x02, 0x00, 0xFF, 0xC0, 0xAA, 0x40}}},
        // Two-byte rows never shrink: each goes raw, a 0 before it.
        {"MonoRunLength",
         [](void* h) {
             return CP_Pos_PrintRasterImageFromPixels(h, kMono, sizeof kMono, 10, 2, 2,
                                                      CP_ImagePixelsFormat_Mono, kDither, kRunLength);
         },
         {{0x1F, 0x28, 0x50, 0x03, 0x00, 0x00, 0xFF, 0xC0,  //
           0x1F, 0x28, 0x50, 0x03, 0x00, 0x00, 0xAA, 0x40}}},
        {"MonoJbig",
         [](void* h) {
             return CP_Pos_PrintRasterImageFromPixels(h, kMono, sizeof kMono, 10, 2, 2,
                                                      CP_ImagePixelsFormat_Mono, kDither, kJbig);
         },
         {JbigBank16x2({0xF1, 0x40, 0x1E, 0xC0, 0xFF, 0x02})}},
        // Least significant bit leftmost: the same picture as kMono's first row.
        {"MonoLsbPlain",
         [](void* h) {
             static const unsigned char lsb[] = {0xFF, 0x03};
             return CP_Pos_PrintRasterImageFromPixels(h, lsb, 2, 10, 1, 2,
                                                      CP_ImagePixelsFormat_MonoLsb, kDither, kPlain);
         },
         {{0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x01, 0x00, 0xFF, 0xC0}}},
        // Black and white gray and colour pixels binarise to the same dots in every method;
        // a run-length row of eight white bytes codes as one pair.
        {"GrayThresholdRunLength",
         [](void* h) {
             std::vector<unsigned char> gray(64, 255);
             gray[0] = gray[63] = 0;
             return CP_Pos_PrintRasterImageFromPixels(h, gray.data(), 64, 64, 1, 64,
                                                      CP_ImagePixelsFormat_Gray8, kThreshold, kRunLength);
         },
         {{0x1F, 0x28, 0x50, 0x07, 0x00, 0x06, 0x80, 0x01, 0x00, 0x06, 0x01, 0x01}}},
        {"BgraErrorDiffusionPlain",
         [](void* h) {
             // 9 x 1: black, white, ..., opaque, in a row of 40 bytes.
             std::vector<unsigned char> bgra(40, 0);
             for (int x = 0; x < 9; ++x) {
                 const unsigned char v = x % 2 ? 255 : 0;
                 bgra[4 * x] = bgra[4 * x + 1] = bgra[4 * x + 2] = v;
                 bgra[4 * x + 3] = 255;
             }
             return CP_Pos_PrintRasterImageFromPixels(h, bgra.data(), 40, 9, 1, 40,
                                                      CP_ImagePixelsFormat_Bgra8888, kDiffuse, kPlain);
         },
         {{0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x01, 0x00, 0xAA, 0x80}}},
    };
    return cases;
}

class ReceiptGraphics : public CommandTest {};

TEST_F(ReceiptGraphics, EachCallWritesExactlyItsCommand) {
    ExpectEachCallWritesItsCommands(SymbolAndLineCases());
    ExpectEachCallWritesItsCommands(ImageCases());
}

TEST_F(ReceiptGraphics, EveryCallFailsWhenItsWriteFailsOrFallsShort) {
    ExpectEachCallFailsOnFailedOrShortWrites(SymbolAndLineCases());
    ExpectEachCallFailsOnFailedOrShortWrites(ImageCases());
}

TEST_F(ReceiptGraphics, NullAndClosedHandlesAreRefused) {
    ExpectEachCallRefusesNullAndClosedHandles(SymbolAndLineCases());
    ExpectEachCallRefusesNullAndClosedHandles(ImageCases());
}

// Lengths that the command's count fields cannot hold would wrap, and the rest of the text
// would reach the printer as commands: such calls send nothing.
TEST_F(ReceiptGraphics, OverlongTextsAreRefused) {
    static const std::string k256(256, '1');
    static const std::string k64k(65536, 'a');
    static const std::string k64kLess3(65533, 'a');
    static const std::string kLetters254(254, 'x');  // 256 bytes once "{B" goes in front
    ExpectEachCallRefused({
        {"Barcode 256 bytes", [](void* h) { return CP_Pos_PrintBarcode(h, 73, k256.c_str()); }},
        {"Code128Auto data of 256 bytes",
         [](void* h) { return CP_Pos_PrintBarcode_Code128Auto(h, kLetters254.c_str()); }},
        {"QRCode 65536 bytes", [](void* h) { return CP_Pos_PrintQRCode(h, 0, 1, k64k.c_str()); }},
        {"QRCodeUseEpsonCmd 65533 bytes",
         [](void* h) { return CP_Pos_PrintQRCodeUseEpsonCmd(h, 3, 1, k64kLess3.c_str()); }},
        {"PDF417 65533 bytes",
         [](void* h) {
             return CP_Pos_PrintPDF417BarcodeUseEpsonCmd(h, 0, 0, 2, 3, 1, 0, k64kLess3.c_str());
         }},
        {"DoubleQRCode second text 65536 bytes",
         [](void* h) { return CP_Pos_PrintDoubleQRCode(h, 3, 0, 0, 1, "A", 0, 0, 1, k64k.c_str()); }},
    });
    // The longest texts that fit are sent.
    const std::string k255Letters(253, 'x');
    EXPECT_EQ(CP_Pos_PrintBarcode_Code128Auto(handle(), k255Letters.c_str()), 1);
    const std::string k64kLess1(65535, 'a');
    EXPECT_EQ(CP_Pos_PrintQRCode(handle(), 0, 1, k64kLess1.c_str()), 1);
    const std::string k64kLess4(65532, 'a');
    EXPECT_EQ(CP_Pos_PrintQRCodeUseEpsonCmd(handle(), 3, 1, k64kLess4.c_str()), 1);
    ASSERT_EQ(writes().size(), 3u);
    EXPECT_EQ(writes()[0].bytes.size(), 4u + 255u);
    EXPECT_EQ(writes()[1].bytes.size(), 7u + 65535u);
    EXPECT_EQ(writes()[2].bytes.size(), 32u + 65532u);
}

TEST_F(ReceiptGraphics, BadArgumentsSendNothing) {
    static const int kPositions[] = {1, 2};
    ExpectEachCallRefused({
        {"Barcode null", [](void* h) { return CP_Pos_PrintBarcode(h, 73, nullptr); }},
        {"Code128Auto null", [](void* h) { return CP_Pos_PrintBarcode_Code128Auto(h, nullptr); }},
        {"QRCode null", [](void* h) { return CP_Pos_PrintQRCode(h, 0, 1, nullptr); }},
        {"QRCodeUseEpsonCmd null", [](void* h) { return CP_Pos_PrintQRCodeUseEpsonCmd(h, 3, 1, nullptr); }},
        {"DoubleQRCode first null",
         [](void* h) { return CP_Pos_PrintDoubleQRCode(h, 3, 0, 0, 1, nullptr, 0, 0, 1, "A"); }},
        {"DoubleQRCode second null",
         [](void* h) { return CP_Pos_PrintDoubleQRCode(h, 3, 0, 0, 1, "A", 0, 0, 1, nullptr); }},
        {"PDF417 null",
         [](void* h) { return CP_Pos_PrintPDF417BarcodeUseEpsonCmd(h, 0, 0, 2, 3, 1, 0, nullptr); }},
        {"Line thickness 0",
         [](void* h) { return CP_Pos_PrintHorizontalLineSpecifyThickness(h, 0, 10, 0); }},
        {"Line thickness negative",
         [](void* h) { return CP_Pos_PrintHorizontalLineSpecifyThickness(h, 0, 10, -3); }},
        // 7 x INT_MAX bytes is more than one write can ever report as written.
        {"Line thickness beyond a write",
         [](void* h) { return CP_Pos_PrintHorizontalLineSpecifyThickness(h, 0, 10, INT_MAX); }},
        {"Lines count negative",
         [](void* h) { return CP_Pos_PrintMultipleHorizontalLinesAtOneRow(h, -1, kPositions, kPositions); }},
        {"Lines count 256",
         [](void* h) { return CP_Pos_PrintMultipleHorizontalLinesAtOneRow(h, 256, kPositions, kPositions); }},
        {"Lines starts null",
         [](void* h) { return CP_Pos_PrintMultipleHorizontalLinesAtOneRow(h, 1, nullptr, kPositions); }},
        {"Lines ends null",
         [](void* h) { return CP_Pos_PrintMultipleHorizontalLinesAtOneRow(h, 1, kPositions, nullptr); }},
    });
}

TEST_F(ReceiptGraphics, BadImagesSendNothing) {
    qvtest::TempDir dir;
    const std::string garbage = dir.File("garbage.png");
    dir.WriteFile("garbage.png", "not an image");
    const std::vector<unsigned char> white(64 * 4, 255);
    ASSERT_TRUE(stbi_write_png(dir.File("wide.png").c_str(), 64, 4, 1, white.data(), 64));
    const std::string wide = dir.File("wide.png");
    const unsigned char* px = white.data();
    ExpectEachCallRefused({
        {"compression 3",
         [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 0, 0, wide.c_str(), CP_ImageBinarizationMethod_Dithering, static_cast<CP_ImageCompressionMethod>(3)); }},
        {"compression -1",
         [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 8, 1, 8, CP_ImagePixelsFormat_Gray8, CP_ImageBinarizationMethod_Dithering, static_cast<CP_ImageCompressionMethod>(-1)); }},
        {"binarisation 3",
         [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 0, 0, wide.c_str(), static_cast<CP_ImageBinarizationMethod>(3), CP_ImageCompressionMethod_None); }},
        {"binarisation 3, pixels",
         [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 8, 1, 24, CP_ImagePixelsFormat_Rgb888, static_cast<CP_ImageBinarizationMethod>(3), CP_ImageCompressionMethod_None); }},
        {"null file", [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 0, 0, nullptr, kDither, kPlain); }},
        {"missing file",
         [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 0, 0, dir.File("none.png").c_str(), kDither, kPlain); }},
        {"not an image",
         [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 0, 0, garbage.c_str(), kDither, kPlain); }},
        // 64 x 4 at a width of 8 keeps 8 x 0.5 rows: nothing to print.
        {"height comes out 0",
         [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 8, 0, wide.c_str(), kDither, kPlain); }},
        // INT_MAX x 16 rows of a 64 x 4 image: in 32 bits the width would wrap.
        {"width beyond int",
         [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 0, INT_MAX, wide.c_str(), kDither, kPlain); }},
        {"wider than a JBIG bank can say",
         [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 65529, 0, wide.c_str(), kDither, kJbig); }},
        {"null data", [&](void* h) { return CP_Pos_PrintRasterImageFromData(h, 0, 0, nullptr, 10, kDither, kPlain); }},
        {"empty data", [&](void* h) { return CP_Pos_PrintRasterImageFromData(h, 0, 0, px, 0, kDither, kPlain); }},
        {"null pixels", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, nullptr, 256, 8, 1, 8, CP_ImagePixelsFormat_Gray8, kDither, kPlain); }},
        {"format 0", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 8, 1, 8, static_cast<CP_ImagePixelsFormat>(0), kDither, kPlain); }},
        {"format 10", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 8, 1, 64, static_cast<CP_ImagePixelsFormat>(10), kDither, kPlain); }},
        {"width 0", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 0, 1, 8, CP_ImagePixelsFormat_Gray8, kDither, kPlain); }},
        {"width negative", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, -8, 1, 8, CP_ImagePixelsFormat_Gray8, kDither, kPlain); }},
        {"height negative", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 8, -1, 8, CP_ImagePixelsFormat_Gray8, kDither, kPlain); }},
        {"stride negative", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 8, 1, -8, CP_ImagePixelsFormat_Gray8, kDither, kPlain); }},
        {"stride below a row", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 8, 2, 23, CP_ImagePixelsFormat_Rgb888, kDither, kPlain); }},
        {"mono stride below a row", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 256, 17, 1, 2, CP_ImagePixelsFormat_Mono, kDither, kPlain); }},
        // Two rows of 8 RGB pixels 32 bytes apart: 64 bytes.
        {"data length short of the rows", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 63, 8, 2, 32, CP_ImagePixelsFormat_Rgb888, kDither, kPlain); }},
        {"data length short of mono rows", [&](void* h) { return CP_Pos_PrintRasterImageFromPixels(h, px, 3, 8, 2, 2, CP_ImagePixelsFormat_Mono, kDither, kPlain); }},
    });
    // Exactly stride x height bytes is enough.
    EXPECT_EQ(CP_Pos_PrintRasterImageFromPixels(handle(), px, 64, 8, 2, 32,
                                                CP_ImagePixelsFormat_Rgb888,
                                                CP_ImageBinarizationMethod_Dithering,
                                                CP_ImageCompressionMethod_None),
              1);
    // A length of 0 is no length (callers were told it is unused): the rows are trusted.
    EXPECT_EQ(CP_Pos_PrintRasterImageFromPixels(handle(), px, 0, 8, 2, 32,
                                                CP_ImagePixelsFormat_Rgb888,
                                                CP_ImageBinarizationMethod_Dithering,
                                                CP_ImageCompressionMethod_None),
              1);
}

// Image files are read only when regular: a device could be read without end, and opening a
// FIFO waits for a writer.
TEST_F(ReceiptGraphics, ImageFilesThatAreNotRegularAreRefusedAtOnce) {
    qvtest::TempDir dir;
    const qvtest::Fifo fifo(dir.File("pipe"));
    for (const std::string& path : {fifo.Path(), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        const char* file = path.c_str();
        EXPECT_TRUE(fifo.ReturnsWithoutAWriter([&] {
            EXPECT_EQ(CP_Pos_PrintRasterImageFromFile(handle(), 0, 0, file, kDither, kPlain), 0);
            EXPECT_EQ(CP_Page_DrawRasterImageFromFile(handle(), 0, 0, 0, 0, file, kDither), 0);
            EXPECT_EQ(CP_Label_DrawImageFromFile(handle(), 0, 0, 0, 0, file, kDither, kPlain), 0);
        }));
    }
    EXPECT_TRUE(writes().empty());
}

// A large file that is no image is refused after its first bytes, not read whole (sparse:
// no disk used).
TEST_F(ReceiptGraphics, LargeFilesThatAreNoImageAreRefusedAfterTheirFirstBytes) {
    qvtest::TempDir dir;
    dir.WriteFile("zeros", "");
    dir.WriteFile("text", "not an image, just a large file\n");
    for (const char* name : {"zeros", "text"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.File(name);
        ASSERT_EQ(truncate(path.c_str(), off_t{1} << 30), 0);
        const char* file = path.c_str();
        const int64_t before = qvtest::BytesReadSoFar();
        EXPECT_EQ(CP_Pos_PrintRasterImageFromFile(handle(), 0, 0, file, kDither, kPlain), 0);
        EXPECT_EQ(CP_Page_DrawRasterImageFromFile(handle(), 0, 0, 0, 0, file, kDither), 0);
        EXPECT_EQ(CP_Label_DrawImageFromFile(handle(), 0, 0, 0, 0, file, kDither, kPlain), 0);
        if (before >= 0) {
            EXPECT_LT(qvtest::BytesReadSoFar() - before, 1 << 20);
        }
    }
    EXPECT_TRUE(writes().empty());
}

// A w x h RGB picture: a black frame and a black diagonal on white, so that scaling and
// binarisation leave recognisable dots.
std::vector<unsigned char> FramePicture(int w, int h) {
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x < 8 || y < 8 || x >= w - 8 || y >= h - 8 || std::abs(x * h / w - y) < 4)
                for (int c = 0; c < 3; ++c) rgb[(static_cast<size_t>(y) * w + x) * 3 + c] = 0;
    return rgb;
}

TEST_F(ReceiptGraphics, FileAndDataImagesScaleToTheTargetSize) {
    qvtest::TempDir dir;
    const std::vector<unsigned char> rgb = FramePicture(640, 480);
    const std::string file = dir.File("frame.png");
    ASSERT_TRUE(stbi_write_png(file.c_str(), 640, 480, 3, rgb.data(), 640 * 3));
    const std::string png = dir.ReadFile("frame.png");
    const auto* data = reinterpret_cast<const unsigned char*>(png.data());

    struct SizeCase {
        int dstw, dsth;
        size_t width, rows;
    };
    const std::vector<SizeCase> sizes = {
        {384, 0, 384, 288},  // the height follows the width
        {0, 120, 160, 120},  // the width follows the height
        {-1, -1, 640, 480},  // the image's own size
        {100, 50, 100, 50},  // both given: the aspect ratio is not kept
    };
    for (const SizeCase& s : sizes) {
        SCOPED_TRACE(std::to_string(s.dstw) + " x " + std::to_string(s.dsth));
        transport().ClearWrites();
        ASSERT_EQ(CP_Pos_PrintRasterImageFromFile(handle(), s.dstw, s.dsth, file.c_str(),
                                                  CP_ImageBinarizationMethod_Thresholding,
                                                  CP_ImageCompressionMethod_None),
                  1);
        ASSERT_EQ(CP_Pos_PrintRasterImageFromData(handle(), s.dstw, s.dsth, data,
                                                  static_cast<unsigned>(png.size()),
                                                  CP_ImageBinarizationMethod_Thresholding,
                                                  CP_ImageCompressionMethod_None),
                  1);
        const auto log = writes();
        ASSERT_EQ(log.size(), 2u);  // one write each
        EXPECT_EQ(log[0].bytes, log[1].bytes);
        const rasterstream::Image image = rasterstream::Decode(log[0].bytes);
        ASSERT_EQ(image.error, "");
        EXPECT_EQ(image.bytes_per_line, (s.width + 7) / 8);
        EXPECT_EQ(image.height, s.rows);
        EXPECT_EQ(image.commands.size(), (s.rows + 23) / 24);  // banks of 24 rows
        // The frame survives around white inside; dots beyond the width stay white.
        EXPECT_TRUE(image.Black(0, 0));
        EXPECT_TRUE(image.Black(s.width - 1, s.rows - 1));
        EXPECT_FALSE(image.Black(s.width / 4, s.rows / 2));
        for (size_t x = s.width; x < image.bytes_per_line * 8; ++x) EXPECT_FALSE(image.Black(x, 0));
    }
}

TEST_F(ReceiptGraphics, FileAndDataImagesGiveExactCommands) {
    // 12 x 2 gray: the first row black on its left 8 dots, the second on its right 4.
    std::vector<unsigned char> gray(24, 255);
    for (int x = 0; x < 8; ++x) gray[x] = 0;
    for (int x = 8; x < 12; ++x) gray[12 + x] = 0;
    qvtest::TempDir dir;
    const std::string file = dir.File("tiny.png");
    ASSERT_TRUE(stbi_write_png(file.c_str(), 12, 2, 1, gray.data(), 12));
    const std::string png = dir.ReadFile("tiny.png");
    const auto* data = reinterpret_cast<const unsigned char*>(png.data());
    const unsigned size = static_cast<unsigned>(png.size());
    ExpectEachCallWritesItsCommands({
        {"FromFile plain",
         [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 0, 0, file.c_str(), kThreshold, kPlain); },
         {{0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x02, 0x00, 0xFF, 0x00, 0x00, 0xF0}}},
        {"FromData run-length",
         [&](void* h) { return CP_Pos_PrintRasterImageFromData(h, -1, 0, data, size, kThreshold, kRunLength); },
         {{0x1F, 0x28, 0x50, 0x03, 0x00, 0x00, 0xFF, 0x00,  //
           0x1F, 0x28, 0x50, 0x03, 0x00, 0x00, 0x00, 0xF0}}},
        {"FromData JBIG",
         [&](void* h) { return CP_Pos_PrintRasterImageFromData(h, 12, 2, data, size, kThreshold, kJbig); },
         {JbigBank16x2({0xF3, 0x46, 0xB5, 0x80, 0xFF, 0x02})}},
    });
    transport().ScriptWriteShort(11);
    EXPECT_EQ(CP_Pos_PrintRasterImageFromFile(handle(), 0, 0, file.c_str(), kThreshold, kPlain), 0);
    transport().ScriptWriteFail();
    EXPECT_EQ(CP_Pos_PrintRasterImageFromData(handle(), 0, 0, data, size, kThreshold, kPlain), 0);
}

TEST_F(ReceiptGraphics, TransparentPixelsPrintWhite) {
    // 12 x 2 RGBA: the left 8 dots opaque black, the rest transparent over black.
    std::vector<unsigned char> rgba(12 * 2 * 4, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) rgba[(y * 12 + x) * 4 + 3] = 255;
    qvtest::TempDir dir;
    ASSERT_TRUE(stbi_write_png(dir.File("logo.png").c_str(), 12, 2, 4, rgba.data(), 12 * 4));
    const std::string png = dir.ReadFile("logo.png");
    const auto* data = reinterpret_cast<const unsigned char*>(png.data());
    const Bytes expected = {0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x02, 0x00, 0xFF, 0x00, 0xFF, 0x00};
    ExpectEachCallWritesItsCommands({
        {"dither", [&](void* h) { return CP_Pos_PrintRasterImageFromData(h, 0, 0, data, static_cast<unsigned>(png.size()), kDither, kPlain); },
         {expected}},
        {"threshold", [&](void* h) { return CP_Pos_PrintRasterImageFromData(h, 0, 0, data, static_cast<unsigned>(png.size()), kThreshold, kPlain); },
         {expected}},
    });
}

// Sizing an image and converting it take one decode, in every call that prints one.
TEST_F(ReceiptGraphics, EachImageCallDecodesItsImageOnce) {
    const std::vector<unsigned char> gray(16 * 4, 0);
    qvtest::TempDir dir;
    const std::string file = dir.File("black.png");
    ASSERT_TRUE(stbi_write_png(file.c_str(), 16, 4, 1, gray.data(), 16));
    const std::string png = dir.ReadFile("black.png");
    const auto* data = reinterpret_cast<const unsigned char*>(png.data());
    const unsigned size = static_cast<unsigned>(png.size());
    const char* path = file.c_str();
    const std::vector<std::pair<const char*, std::function<int(void*)>>> calls = {
        {"receipt file", [&](void* h) { return CP_Pos_PrintRasterImageFromFile(h, 32, 0, path, kDither, kJbig); }},
        {"receipt data", [&](void* h) { return CP_Pos_PrintRasterImageFromData(h, 0, 8, data, size, kDither, kPlain); }},
        {"page file", [&](void* h) { return CP_Page_DrawRasterImageFromFile(h, 0, 0, 0, 0, path, kDither); }},
        {"page data", [&](void* h) { return CP_Page_DrawRasterImageFromData(h, 0, 0, 8, 8, data, size, kDither); }},
        {"label file", [&](void* h) { return CP_Label_DrawImageFromFile(h, 0, 0, 0, 0, path, kDither, kPlain); }},
        {"label data", [&](void* h) { return CP_Label_DrawImageFromData(h, 0, 0, 16, 0, data, size, kDither, kJbig); }},
    };
    for (const auto& [name, call] : calls) {
        const unsigned long before = nzimg::DecodeCount();
        EXPECT_EQ(call(handle()), 1) << name;
        EXPECT_EQ(nzimg::DecodeCount() - before, 1u) << name;
    }
}

// The raster that the conversion gives, with the bits beyond the width cleared: what every
// compression method must carry unchanged.
rasterstream::Image ExpectedRaster(const std::vector<unsigned char>& gray, int w, int h) {
    size_t size = 0, bytes_per_line = 0;
    unsigned char* mono = Quorvantelmise_ImgUtils_ConvertImagePixelsToMonoFormat(
        gray.data(), w, h, w, CP_ImagePixelsFormat_Gray8, CP_ImageBinarizationMethod_Dithering,
        &size, &bytes_per_line);
    unsigned char* clean =
        Quorvantelmise_ImgUtils_DumpRasterDataAndSetOverbound(bytes_per_line, w, h, mono, 0);
    rasterstream::Image out;
    out.bytes_per_line = bytes_per_line;
    out.height = h;
    if (clean != nullptr) out.bits.assign(clean, clean + size);
    std::free(mono);
    std::free(clean);
    return out;
}

TEST_F(ReceiptGraphics, EveryCompressionCarriesTheSameDots) {
    // 301 x 300 gray ramp: odd width, more rows than one JBIG bank.
    const int w = 301, h = 300;
    std::vector<unsigned char> gray(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) gray[static_cast<size_t>(y) * w + x] = (x + 2 * y) % 256;
    const rasterstream::Image expected = ExpectedRaster(gray, w, h);
    ASSERT_EQ(expected.bits.size(), 38u * 300u);

    struct MethodCase {
        CP_ImageCompressionMethod method;
        std::vector<std::string> commands;
    };
    const std::vector<MethodCase> methods = {
        {CP_ImageCompressionMethod_None, std::vector<std::string>(13, "GS v 0")},
        {CP_ImageCompressionMethod_RunLength, std::vector<std::string>(300, "US ( P")},
        {CP_ImageCompressionMethod_Jbig, {"US ( J", "US ( J"}},
    };
    for (const MethodCase& m : methods) {
        SCOPED_TRACE(m.method);
        transport().ClearWrites();
        ASSERT_EQ(CP_Pos_PrintRasterImageFromPixels(handle(), gray.data(), gray.size(), w, h, w,
                                                    CP_ImagePixelsFormat_Gray8,
                                                    CP_ImageBinarizationMethod_Dithering,
                                                    m.method),
                  1);
        ASSERT_EQ(writes().size(), 1u);
        const rasterstream::Image image = rasterstream::Decode(writes()[0].bytes);
        ASSERT_EQ(image.error, "");
        EXPECT_EQ(image.commands, m.commands);
        EXPECT_EQ(image.bytes_per_line, expected.bytes_per_line);
        EXPECT_EQ(image.height, expected.height);
        EXPECT_TRUE(image.bits == expected.bits);
    }
}

TEST_F(ReceiptGraphics, PrintedQrCodeDecodesFromTheBytesSent) {
    const char* text = "https://example.com/receipt/0042?total=4.30";
    int side = 0;
    unsigned char* qr = Quorvantelmise_qrhelper_encode(text, 0, 1, 4, &side);
    ASSERT_NE(qr, nullptr);
    const std::vector<unsigned char> gray(qr, qr + static_cast<size_t>(side) * side);
    Quorvantelmise_qrhelper_free(qr);
    for (CP_ImageCompressionMethod method :
         {CP_ImageCompressionMethod_None, CP_ImageCompressionMethod_RunLength,
          CP_ImageCompressionMethod_Jbig}) {
        SCOPED_TRACE(method);
        transport().ClearWrites();
        ASSERT_EQ(CP_Pos_PrintRasterImageFromPixels(handle(), gray.data(), gray.size(), side,
                                                    side, side, CP_ImagePixelsFormat_Gray8,
                                                    CP_ImageBinarizationMethod_Thresholding,
                                                    method),
                  1);
        const rasterstream::Image image = rasterstream::Decode(writes().at(0).bytes);
        ASSERT_EQ(image.error, "");
        EXPECT_EQ(qvtest::DecodeRasterSymbol(image.bits.data(), image.bytes_per_line,
                                             image.bytes_per_line * 8, image.height,
                                             qvtest::SymbolKind::QRCode),
                  text);
    }
}

TEST_F(ReceiptGraphics, ScaledBarcodeImageFileDecodesFromTheBytesSent) {
    int w = 0, h = 0;
    unsigned char* rgb =
        Quorvantelmise_NZBarcodeUtils_GetBarcodeRGBData(8, 1, 0, 30, "RECEIPT-0042", &w, &h);
    ASSERT_NE(rgb, nullptr);
    qvtest::TempDir dir;
    const std::string file = dir.File("barcode.bmp");
    const int written = stbi_write_bmp(file.c_str(), w, h, 3, rgb);
    std::free(rgb);
    ASSERT_TRUE(written);
    // Three times as wide, the height following: bicubic scaling, then error diffusion.
    ASSERT_EQ(CP_Pos_PrintRasterImageFromFile(handle(), 3 * w, 0, file.c_str(),
                                              CP_ImageBinarizationMethod_ErrorDiffusion,
                                              CP_ImageCompressionMethod_RunLength),
              1);
    const rasterstream::Image image = rasterstream::Decode(writes().at(0).bytes);
    ASSERT_EQ(image.error, "");
    EXPECT_EQ(image.height, static_cast<size_t>(3 * h));
    EXPECT_EQ(qvtest::DecodeRasterSymbol(image.bits.data(), image.bytes_per_line,
                                         image.bytes_per_line * 8, image.height,
                                         qvtest::SymbolKind::LinearCode),
              "RECEIPT-0042");
}

}  // namespace
