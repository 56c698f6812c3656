// Receipt text and format commands: the exact bytes of each separate write, and when a call
// reports success.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CommandTestFixture.h"
#include "quorvantelmise.h"

namespace {

const std::vector<WriteCase>& Cases() {
    static const std::vector<WriteCase> cases = {
        {"KickOutDrawer", [](void* h) { return CP_Pos_KickOutDrawer(h, 1, 25, 250); },
         {{0x1B, 0x70, 0x01, 0x19, 0xFA}}},
        {"KickOutDrawerLowBytes", [](void* h) { return CP_Pos_KickOutDrawer(h, 0x100, 0x1FF, -1); },
         {{0x1B, 0x70, 0x00, 0xFF, 0xFF}}},
        {"Beep", [](void* h) { return CP_Pos_Beep(h, 3, 250); }, {{0x1B, 0x42, 0x03, 0x02}}},
        {"BeepLongCount", [](void* h) { return CP_Pos_Beep(h, 0x105, 25600); },
         {{0x1B, 0x42, 0x05, 0x00}}},
        {"FeedAndHalfCutPaper", [](void* h) { return CP_Pos_FeedAndHalfCutPaper(h); },
         {{0x1D, 0x56, 0x42, 0x00}}},
        {"FullCutPaper", [](void* h) { return CP_Pos_FullCutPaper(h); }, {{0x1B, 0x69}}},
        {"HalfCutPaper", [](void* h) { return CP_Pos_HalfCutPaper(h); }, {{0x1B, 0x6D}}},
        {"FeedLine", [](void* h) { return CP_Pos_FeedLine(h, 3); }, {{0x1B, 0x64, 0x03}}},
        {"FeedLineLowByte", [](void* h) { return CP_Pos_FeedLine(h, 258); }, {{0x1B, 0x64, 0x02}}},
        {"FeedDotZero", [](void* h) { return CP_Pos_FeedDot(h, 0); }, {{0x1B, 0x4A, 0x00}}},
        {"FeedDotBelowStep", [](void* h) { return CP_Pos_FeedDot(h, 254); }, {{0x1B, 0x4A, 0xFE}}},
        {"FeedDotOneStep", [](void* h) { return CP_Pos_FeedDot(h, 255); },
         {{0x1B, 0x4A, 0xFF}, {0x1B, 0x4A, 0x00}}},
        {"FeedDotSteps", [](void* h) { return CP_Pos_FeedDot(h, 600); },
         {{0x1B, 0x4A, 0xFF}, {0x1B, 0x4A, 0xFF}, {0x1B, 0x4A, 0x5A}}},
        {"PrintSelfTestPage", [](void* h) { return CP_Pos_PrintSelfTestPage(h); }, {{0x12, 0x54}}},
        {"ResetPrinter", [](void* h) { return CP_Pos_ResetPrinter(h); }, {{0x1B, 0x40}}},
        {"SetPrintSpeed", [](void* h) { return CP_Pos_SetPrintSpeed(h, 300); },
         {{0x1F, 0x28, 0x73, 0x02, 0x00, 0x2C, 0x01}}},
        {"SetPrintSpeedLow16Bits", [](void* h) { return CP_Pos_SetPrintSpeed(h, 70000); },
         {{0x1F, 0x28, 0x73, 0x02, 0x00, 0x70, 0x11}}},
        {"SetPrintDensity", [](void* h) { return CP_Pos_SetPrintDensity(h, 0x10F); },
         {{0x12, 0x23, 0x0F}}},
        {"SetSingleByteMode", [](void* h) { return CP_Pos_SetSingleByteMode(h); }, {{0x1C, 0x2E}}},
        {"SetCharacterSet", [](void* h) { return CP_Pos_SetCharacterSet(h, 15); },
         {{0x1B, 0x52, 0x0F}}},
        {"SetCharacterCodepage", [](void* h) { return CP_Pos_SetCharacterCodepage(h, 255); },
         {{0x1B, 0x74, 0xFF}}},
        {"SetMultiByteMode", [](void* h) { return CP_Pos_SetMultiByteMode(h); }, {{0x1C, 0x26}}},
        {"SetMultiByteEncoding", [](void* h) { return CP_Pos_SetMultiByteEncoding(h, 1); },
         {{0x1B, 0x39, 0x01}}},
        {"SetMovementUnit", [](void* h) { return CP_Pos_SetMovementUnit(h, 180, 360); },
         {{0x1D, 0x50, 0xB4, 0x68}}},
        {"SetPrintAreaLeftMargin", [](void* h) { return CP_Pos_SetPrintAreaLeftMargin(h, 0x1234); },
         {{0x1D, 0x4C, 0x34, 0x12}}},
        {"SetPrintAreaWidth", [](void* h) { return CP_Pos_SetPrintAreaWidth(h, 576); },
         {{0x1D, 0x57, 0x40, 0x02}}},
        {"SetPrintAreaWidthNegative", [](void* h) { return CP_Pos_SetPrintAreaWidth(h, -1); },
         {{0x1D, 0x57, 0xFF, 0xFF}}},
        {"SetAlignment", [](void* h) { return CP_Pos_SetAlignment(h, CP_Pos_Alignment_Right); },
         {{0x1B, 0x61, 0x02}}},
        {"SetTextScale", [](void* h) { return CP_Pos_SetTextScale(h, 1, 2); }, {{0x1D, 0x21, 0x12}}},
        {"SetTextScaleOverRange", [](void* h) { return CP_Pos_SetTextScale(h, 9, 9); },
         {{0x1D, 0x21, 0x11}}},
        {"SetAsciiTextFontType", [](void* h) { return CP_Pos_SetAsciiTextFontType(h, 1); },
         {{0x1B, 0x4D, 0x01}}},
        {"SetTextBold", [](void* h) { return CP_Pos_SetTextBold(h, 1); }, {{0x1B, 0x45, 0x01}}},
        {"SetTextUnderline", [](void* h) { return CP_Pos_SetTextUnderline(h, 2); },
         {{0x1B, 0x2D, 0x02}, {0x1C, 0x2D, 0x02}}},
        {"SetTextUpsideDown", [](void* h) { return CP_Pos_SetTextUpsideDown(h, 1); },
         {{0x1B, 0x7B, 0x01}}},
        {"SetTextWhiteOnBlack", [](void* h) { return CP_Pos_SetTextWhiteOnBlack(h, 1); },
         {{0x1D, 0x42, 0x01}}},
        {"SetTextRotate", [](void* h) { return CP_Pos_SetTextRotate(h, 1); }, {{0x1B, 0x56, 0x01}}},
        {"SetTextLineHeight", [](void* h) { return CP_Pos_SetTextLineHeight(h, 40); },
         {{0x1B, 0x33, 0x28}}},
        {"SetAsciiTextCharRightSpacing",
         [](void* h) { return CP_Pos_SetAsciiTextCharRightSpacing(h, 2); }, {{0x1B, 0x20, 0x02}}},
        {"SetKanjiTextCharSpacing", [](void* h) { return CP_Pos_SetKanjiTextCharSpacing(h, 1, 3); },
         {{0x1C, 0x53, 0x01, 0x03}}},
        {"SetBarcodeUnitWidth", [](void* h) { return CP_Pos_SetBarcodeUnitWidth(h, 3); },
         {{0x1D, 0x77, 0x03}}},
        {"SetBarcodeHeight", [](void* h) { return CP_Pos_SetBarcodeHeight(h, 100); },
         {{0x1D, 0x68, 0x64}}},
        {"SetBarcodeReadableTextFontType",
         [](void* h) { return CP_Pos_SetBarcodeReadableTextFontType(h, 1); }, {{0x1D, 0x66, 0x01}}},
        {"SetBarcodeReadableTextPosition",
         [](void* h) { return CP_Pos_SetBarcodeReadableTextPosition(h, 3); }, {{0x1D, 0x48, 0x03}}},
        {"PrintText", [](void* h) { return CP_Pos_PrintText(h, "AB\r\n"); },
         {{0x41, 0x42, 0x0D, 0x0A}}},
        {"PrintTextEmpty", [](void* h) { return CP_Pos_PrintText(h, ""); }, {{}}},
        {"PrintTextInBytesKeepsNuls", [](void* h) { return CP_Pos_PrintTextInBytes(h, "A\0B\0C", 5); },
         {{0x41, 0x00, 0x42, 0x00, 0x43}}},
        {"PrintTextInBytesEmpty", [](void* h) { return CP_Pos_PrintTextInBytes(h, "", 0); }, {{}}},
        {"PrintTextInBytesShorterThanText",
         [](void* h) { return CP_Pos_PrintTextInBytes(h, "ABC", 2); }, {{0x41, 0x42}}},
    };
    return cases;
}

class ReceiptCommands : public CommandTest {};

TEST_F(ReceiptCommands, EachCallWritesExactlyItsCommands) { ExpectEachCallWritesItsCommands(Cases()); }

TEST_F(ReceiptCommands, EveryCallFailsWhenItsWritesFailOrFallShort) {
    ExpectEachCallFailsOnFailedOrShortWrites(Cases());
}

// A multi-write call sends every write even after a failed one, and then reports failure.
TEST_F(ReceiptCommands, MultiWriteCallsFailWhenAnyWriteFails) {
    ScriptWriteResults(-1, 1);
    EXPECT_EQ(CP_Pos_FeedDot(handle(), 600), 0);
    ExpectWrites(writes(), {{0x1B, 0x4A, 0xFF}, {0x1B, 0x4A, 0xFF}, {0x1B, 0x4A, 0x5A}});

    transport().ClearWrites();
    ScriptWriteResults(2, 1);
    EXPECT_EQ(CP_Pos_SetTextUnderline(handle(), 1), 0);
    ExpectWrites(writes(), {{0x1B, 0x2D, 0x01}, {0x1C, 0x2D, 0x01}});
}

TEST_F(ReceiptCommands, BadArgumentsSendNothing) {
    ExpectEachCallRefused({
        {"PrintText null", [](void* h) { return CP_Pos_PrintText(h, nullptr); }},
        {"PrintTextInBytes null", [](void* h) { return CP_Pos_PrintTextInBytes(h, nullptr, 3); }},
        {"PrintTextInBytes negative", [](void* h) { return CP_Pos_PrintTextInBytes(h, "abc", -1); }},
        {"PrintTextInUTF8 null", [](void* h) { return CP_Pos_PrintTextInUTF8(h, nullptr); }},
        {"PrintTextInGBK null", [](void* h) { return CP_Pos_PrintTextInGBK(h, nullptr); }},
        {"PrintTextInBIG5 null", [](void* h) { return CP_Pos_PrintTextInBIG5(h, nullptr); }},
        {"PrintTextInShiftJIS null", [](void* h) { return CP_Pos_PrintTextInShiftJIS(h, nullptr); }},
        {"PrintTextInEUCKR null", [](void* h) { return CP_Pos_PrintTextInEUCKR(h, nullptr); }},
        {"FeedDot negative", [](void* h) { return CP_Pos_FeedDot(h, -10); }},
    });
}

TEST_F(ReceiptCommands, NullAndClosedHandlesAreRefused) {
    ExpectEachCallRefusesNullAndClosedHandles(Cases());
}

}  // namespace
