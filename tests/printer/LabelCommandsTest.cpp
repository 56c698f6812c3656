// Label page, text, symbol and shape commands: the exact bytes of each separate write, and
// when a call reports success.

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "CommandTestFixture.h"
#include "quorvantelmise.h"

namespace {

using Call = std::function<int(void*)>;

const std::vector<WriteCase>& Cases() {
    static const std::vector<WriteCase> cases = {
        {"EnableLabelMode", [](void* h) { return CP_Label_EnableLabelMode(h); },
         {{0x1F, 0x28, 0x4C, 0x01, 0x00, 0x31}}},
        {"DisableLabelMode", [](void* h) { return CP_Label_DisableLabelMode(h); },
         {{0x1F, 0x28, 0x4C, 0x01, 0x00, 0x00}}},
        {"CalibrateLabel", [](void* h) { return CP_Label_CalibrateLabel(h); }, {{0x1F, 0x63}}},
        {"FeedLabel", [](void* h) { return CP_Label_FeedLabel(h); }, {{0x1A, 0x0C, 0x30}}},
        {"BackPaperToPrintPosition", [](void* h) { return CP_Label_BackPaperToPrintPosition(h); },
         {{0x1A, 0x0C, 0xFF}}},
        {"FeedPaperToTearPosition", [](void* h) { return CP_Label_FeedPaperToTearPosition(h); },
         {{0x1A, 0x0C, 0x00}}},
        {"PageBegin", [](void* h) { return CP_Label_PageBegin(h, 0, 0, 384, 240, 0); },
         {{0x1A, 0x5B, 0x01, 0x00, 0x00, 0x00, 0x00, 0x80, 0x01, 0xF0, 0x00, 0x00}}},
        {"PageBeginLowBits",
         [](void* h) { return CP_Label_PageBegin(h, -1, 0x12345, 70000, 8, 0x103); },
         {{0x1A, 0x5B, 0x01, 0xFF, 0xFF, 0x45, 0x23, 0x70, 0x11, 0x08, 0x00, 0x03}}},
        {"PagePrint", [](void* h) { return CP_Label_PagePrint(h, 2); }, {{0x1A, 0x4F, 0x01, 0x02}}},
        {"PagePrintLowByte", [](void* h) { return CP_Label_PagePrint(h, 257); },
         {{0x1A, 0x4F, 0x01, 0x01}}},
        {"DrawText", [](void* h) { return CP_Label_DrawText(h, 10, 20, 24, 0, "AB"); },
         {{0x1A, 0x54, 0x01, 0x0A, 0x00, 0x14, 0x00, 0x18, 0x00, 0x00, 0x00, 0x41, 0x42, 0x00}}},
        {"DrawTextFontAndStyle16Bits",
         [](void* h) { return CP_Label_DrawText(h, 0, 0, 0x10018, -2, "x"); },
         {{0x1A, 0x54, 0x01, 0x00, 0x00, 0x00, 0x00, 0x18, 0x00, 0xFE, 0xFF, 0x78, 0x00}}},
        {"DrawTextEmpty", [](void* h) { return CP_Label_DrawText(h, 1, 2, 3, 4, ""); },
         {{0x1A, 0x54, 0x01, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x00}}},
        {"DrawTextInBytes",
         [](void* h) { return CP_Label_DrawTextInBytes(h, 1, 2, 3, 4, "\xB5\xC4xyz", 3); },
         {{0x1A, 0x54, 0x01, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0xB5, 0xC4, 0x78,
           0x00}}},
        {"DrawTextInBytesEmpty", [](void* h) { return CP_Label_DrawTextInBytes(h, 1, 2, 3, 4, "", 0); },
         {{0x1A, 0x54, 0x01, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x00}}},
        {"DrawTextInUTF8", [](void* h) { return CP_Label_DrawTextInUTF8(h, 1, 2, 3, 4, L"\u00fcA"); },
         {{0x1A, 0x54, 0x01, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0xC3, 0xBC, 0x41,
           0x00}}},
        {"DrawTextInGBK", [](void* h) { return CP_Label_DrawTextInGBK(h, 1, 2, 3, 4, L"\u4e2d"); },
         {{0x1A, 0x54, 0x01, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0xD6, 0xD0, 0x00}}},
        {"DrawTextInBIG5", [](void* h) { return CP_Label_DrawTextInBIG5(h, 1, 2, 3, 4, L"\u4e2d"); },
         {{0x1A, 0x54, 0x01, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0xA4, 0xA4, 0x00}}},
        {"DrawTextInShiftJIS",
         [](void* h) { return CP_Label_DrawTextInShiftJIS(h, 1, 2, 3, 4, L"\u65e5"); },
         {{0x1A, 0x54, 0x01, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x93, 0xFA, 0x00}}},
        {"DrawTextInEUCKR",
         [](void* h) { return CP_Label_DrawTextInEUCKR(h, 1, 2, 3, 4, L"\ud55c"); },
         {{0x1A, 0x54, 0x01, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0xC7, 0xD1, 0x00}}},
        // The readable-text position goes first, as the receipt command GS H.
        {"DrawBarcode",
         [](void* h) { return CP_Label_DrawBarcode(h, 10, 20, 0x49, 2, 60, 2, 1, "12345"); },
         {{0x1D, 0x48, 0x02},
          {0x1A, 0x30, 0x00, 0x0A, 0x00, 0x14, 0x00, 0x49, 0x3C, 0x02, 0x01, 0x31, 0x32, 0x33,
           0x34, 0x35, 0x00}}},
        {"DrawBarcodeLowBytes",
         [](void* h) { return CP_Label_DrawBarcode(h, -2, 0x10000, 0x141, 0x103, 300, 0x102, 0x1FF, ""); },
         {{0x1D, 0x48, 0x03},
          {0x1A, 0x30, 0x00, 0xFE, 0xFF, 0x00, 0x00, 0x41, 0x2C, 0x02, 0xFF, 0x00}}},
        {"DrawQRCode", [](void* h) { return CP_Label_DrawQRCode(h, 16, 32, 0, 2, 4, 1, "AB"); },
         {{0x1A, 0x31, 0x00, 0x00, 0x02, 0x10, 0x00, 0x20, 0x00, 0x04, 0x01, 0x41, 0x42, 0x00}}},
        {"DrawQRCodeLowBytes",
         [](void* h) { return CP_Label_DrawQRCode(h, 0x10010, -32, 0x105, 0x104, 0x103, 0x102, "1"); },
         {{0x1A, 0x31, 0x00, 0x05, 0x04, 0x10, 0x00, 0xE0, 0xFF, 0x03, 0x02, 0x31, 0x00}}},
        {"DrawQRCodeInUTF8",
         [](void* h) { return CP_Label_DrawQRCodeInUTF8(h, 16, 32, 3, 1, 4, 0, L"\u00e9!"); },
         {{0x1A, 0x31, 0x00, 0x03, 0x01, 0x10, 0x00, 0x20, 0x00, 0x04, 0x00, 0xC3, 0xA9, 0x21,
           0x00}}},
        {"DrawQRCodeInBytes",
         [](void* h) { return CP_Label_DrawQRCodeInBytes(h, 16, 32, 3, 1, 4, 0, "\x01\xFFzz", 2); },
         {{0x1A, 0x31, 0x00, 0x03, 0x01, 0x10, 0x00, 0x20, 0x00, 0x04, 0x00, 0x01, 0xFF, 0x00}}},
        // Column, ECC level and aspect ratio, in that order.
        {"DrawPDF417Code",
         [](void* h) { return CP_Label_DrawPDF417Code(h, 5, 6, 3, 2, 1, 2, 0, "PDF"); },
         {{0x1A, 0x31, 0x01, 0x03, 0x01, 0x02, 0x05, 0x00, 0x06, 0x00, 0x02, 0x00, 0x50, 0x44,
           0x46, 0x00}}},
        {"DrawLine", [](void* h) { return CP_Label_DrawLine(h, 0, 10, 383, 10, 2, 1); },
         {{0x1A, 0x5C, 0x01, 0x00, 0x00, 0x0A, 0x00, 0x7F, 0x01, 0x0A, 0x00, 0x02, 0x00, 0x01}}},
        {"DrawLineLowBits", [](void* h) { return CP_Label_DrawLine(h, -1, 0x10000, 1, 2, 0x10003, 0x1FE); },
         {{0x1A, 0x5C, 0x01, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0xFE}}},
        {"DrawRect", [](void* h) { return CP_Label_DrawRect(h, 10, 10, 100, 50, 1); },
         {{0x1A, 0x2A, 0x00, 0x0A, 0x00, 0x0A, 0x00, 0x6E, 0x00, 0x3C, 0x00, 0x01}}},
        // Corners past the int range: the sum's low 16 bits, with no overflow on the way.
        {"DrawRectCornersPastIntRange",
         [](void* h) { return CP_Label_DrawRect(h, INT_MAX, INT_MIN, 1, -1, 0); },
         {{0x1A, 0x2A, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00}}},
        {"DrawBox", [](void* h) { return CP_Label_DrawBox(h, 10, 10, 100, 50, 3, 1); },
         {{0x1A, 0x26, 0x01, 0x0A, 0x00, 0x0A, 0x00, 0x6E, 0x00, 0x3C, 0x00, 0x03, 0x00, 0x01}}},
        {"DrawBoxNegativeSize", [](void* h) { return CP_Label_DrawBox(h, 10, 20, -11, -30, 1, 0); },
         {{0x1A, 0x26, 0x01, 0x0A, 0x00, 0x14, 0x00, 0xFF, 0xFF, 0xF6, 0xFF, 0x01, 0x00, 0x00}}},
    };
    return cases;
}

class LabelCommands : public CommandTest {};

TEST_F(LabelCommands, EachCallWritesExactlyItsCommands) { ExpectEachCallWritesItsCommands(Cases()); }

TEST_F(LabelCommands, EveryCallFailsWhenItsWritesFailOrFallShort) {
    ExpectEachCallFailsOnFailedOrShortWrites(Cases());
}

// The GS H write before a label barcode does not decide the call, and leaves the receipt
// side's cached text position alone.
TEST_F(LabelCommands, BarcodeResultIsThatOfTheLabelCommand) {
    const Bytes label = {0x1A, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x49, 0x3C, 0x02, 0x00,
                         0x41, 0x00};
    ScriptWriteResults(-1, 1);
    EXPECT_EQ(CP_Label_DrawBarcode(handle(), 0, 0, 0x49, 0, 60, 2, 0, "A"), 1);
    ExpectWrites(writes(), {{0x1D, 0x48, 0x00}, label});

    transport().ClearWrites();
    transport().ScriptWriteAll();
    ScriptWriteResults(static_cast<int>(label.size()) - 1, 1);
    EXPECT_EQ(CP_Label_DrawBarcode(handle(), 0, 0, 0x49, 0, 60, 2, 0, "A"), 0);
    ExpectWrites(writes(), {{0x1D, 0x48, 0x00}, label});

    EXPECT_EQ(ioHandle().printerProperty.barcodeReadableTextPosition.load(), 2);
}

TEST_F(LabelCommands, WritesUseTheHandlesDefaultTimeout) {
    ASSERT_TRUE(CP_Port_SetDefaultWriteTimeout(handle(), 1234));
    EXPECT_EQ(CP_Label_DrawBarcode(handle(), 0, 0, 0x49, 0, 60, 2, 0, "A"), 1);
    EXPECT_EQ(CP_Label_PagePrint(handle(), 1), 1);
    const std::vector<WriteRecord> log = writes();
    ASSERT_EQ(log.size(), 3u);
    for (const WriteRecord& w : log) EXPECT_EQ(w.timeout_ms, 1234u);
}

// Label texts are NUL-terminated on the wire: a 00 inside byte data would end the text and
// hand the rest to the printer as commands.
TEST_F(LabelCommands, BadTextsSendNothing) {
    const std::vector<std::pair<const char*, Call>> refused = {
        {"DrawText null", [](void* h) { return CP_Label_DrawText(h, 0, 0, 0, 0, nullptr); }},
        {"DrawTextInBytes null", [](void* h) { return CP_Label_DrawTextInBytes(h, 0, 0, 0, 0, nullptr, 1); }},
        {"DrawTextInBytes negative", [](void* h) { return CP_Label_DrawTextInBytes(h, 0, 0, 0, 0, "ab", -1); }},
        {"DrawTextInBytes NUL inside", [](void* h) { return CP_Label_DrawTextInBytes(h, 0, 0, 0, 0, "a\0\x1A\x4F", 4); }},
        {"DrawTextInBytes NUL last", [](void* h) { return CP_Label_DrawTextInBytes(h, 0, 0, 0, 0, "ab", 3); }},
        {"DrawTextInUTF8 null", [](void* h) { return CP_Label_DrawTextInUTF8(h, 0, 0, 0, 0, nullptr); }},
        {"DrawTextInGBK null", [](void* h) { return CP_Label_DrawTextInGBK(h, 0, 0, 0, 0, nullptr); }},
        {"DrawTextInBIG5 null", [](void* h) { return CP_Label_DrawTextInBIG5(h, 0, 0, 0, 0, nullptr); }},
        {"DrawTextInShiftJIS null", [](void* h) { return CP_Label_DrawTextInShiftJIS(h, 0, 0, 0, 0, nullptr); }},
        {"DrawTextInEUCKR null", [](void* h) { return CP_Label_DrawTextInEUCKR(h, 0, 0, 0, 0, nullptr); }},
        {"DrawTextInUTF8 lone surrogate", [](void* h) { return CP_Label_DrawTextInUTF8(h, 0, 0, 0, 0, L"a\xD800"); }},
        {"DrawTextInGBK emoji", [](void* h) { return CP_Label_DrawTextInGBK(h, 0, 0, 0, 0, L"a\U0001F600"); }},
        {"DrawTextInEUCKR emoji", [](void* h) { return CP_Label_DrawTextInEUCKR(h, 0, 0, 0, 0, L"\U0001F600"); }},
        {"DrawBarcode null", [](void* h) { return CP_Label_DrawBarcode(h, 0, 0, 0x49, 2, 60, 2, 0, nullptr); }},
        {"DrawQRCode null", [](void* h) { return CP_Label_DrawQRCode(h, 0, 0, 0, 2, 4, 0, nullptr); }},
        {"DrawQRCodeInUTF8 null", [](void* h) { return CP_Label_DrawQRCodeInUTF8(h, 0, 0, 0, 2, 4, 0, nullptr); }},
        {"DrawQRCodeInUTF8 lone surrogate", [](void* h) { return CP_Label_DrawQRCodeInUTF8(h, 0, 0, 0, 2, 4, 0, L"\xDC00"); }},
        {"DrawQRCodeInBytes null", [](void* h) { return CP_Label_DrawQRCodeInBytes(h, 0, 0, 0, 2, 4, 0, nullptr, 2); }},
        {"DrawQRCodeInBytes negative", [](void* h) { return CP_Label_DrawQRCodeInBytes(h, 0, 0, 0, 2, 4, 0, "ab", -2); }},
        {"DrawQRCodeInBytes NUL inside", [](void* h) { return CP_Label_DrawQRCodeInBytes(h, 0, 0, 0, 2, 4, 0, "a\0b", 3); }},
        {"DrawPDF417Code null", [](void* h) { return CP_Label_DrawPDF417Code(h, 0, 0, 3, 2, 1, 2, 0, nullptr); }},
    };
    for (const auto& [name, call] : refused) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(handle()), 0);
        EXPECT_TRUE(writes().empty());
    }
}

TEST_F(LabelCommands, NullAndClosedHandlesAreRefused) {
    ExpectEachCallRefusesNullAndClosedHandles(Cases());
}

}  // namespace
