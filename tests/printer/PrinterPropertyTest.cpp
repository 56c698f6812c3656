// The printer property cache: its defaults, and that a setting is kept only after its
// command was written whole.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "CommandTestFixture.h"
#include "printer/PrinterProperty.h"
#include "quorvantelmise.h"

namespace {

std::vector<int32_t> Fields(const PrinterProperty& p) {
    return {p.textBaselineOffset,    p.textLineHeight,        p.textWidthScale,
            p.textHeightScale,       p.asciiCharRightSpacing, p.kanjiCharLeftSpacing,
            p.kanjiCharRightSpacing, p.singleByteCellWidth,   p.singleByteCellHeight,
            p.multiByteCellWidth,    p.multiByteCellHeight,   p.barcodeUnitWidth,
            p.barcodeHeight,         p.barcodeReadableTextPosition,
            p.barcodeReadableTextFont, p.pageAreaX,           p.pageAreaY,
            p.pageAreaWidth,         p.pageAreaHeight,        p.pageDrawDirection};
}

const std::vector<int32_t> kDefaults = {3, 32, 0, 0, 0, 0, 0, 12, 24, 24,
                                        24, 2, 60, 2, 0, 0, 0, 0, 0, 0};

struct CacheCase {
    const char* name;
    std::function<int(void*)> call;
    std::vector<std::pair<int, int32_t>> stored;  // field index, value
};

// Arguments beyond a byte show that the full argument is kept, not the byte sent.
const std::vector<CacheCase> kCacheCases = {
    {"SetTextLineHeight", [](void* h) { return CP_Pos_SetTextLineHeight(h, 300); }, {{1, 300}}},
    {"SetTextScale", [](void* h) { return CP_Pos_SetTextScale(h, 9, 2); }, {{2, 9}, {3, 2}}},
    {"SetAsciiTextCharRightSpacing",
     [](void* h) { return CP_Pos_SetAsciiTextCharRightSpacing(h, 5); }, {{4, 5}}},
    {"SetKanjiTextCharSpacing", [](void* h) { return CP_Pos_SetKanjiTextCharSpacing(h, 1, 257); },
     {{5, 1}, {6, 257}}},
    {"SetBarcodeUnitWidth", [](void* h) { return CP_Pos_SetBarcodeUnitWidth(h, 3); }, {{11, 3}}},
    {"SetBarcodeHeight", [](void* h) { return CP_Pos_SetBarcodeHeight(h, 512); }, {{12, 512}}},
    {"SetBarcodeReadableTextPosition",
     [](void* h) { return CP_Pos_SetBarcodeReadableTextPosition(h, 0); }, {{13, 0}}},
    {"SetBarcodeReadableTextFontType",
     [](void* h) { return CP_Pos_SetBarcodeReadableTextFontType(h, 1); }, {{14, 1}}},
    {"SetPageArea", [](void* h) { return CP_Page_SetPageArea(h, 1, 2, 70000, 400); },
     {{15, 1}, {16, 2}, {17, 70000}, {18, 400}}},
    {"SetPageDrawDirection", [](void* h) { return CP_Page_SetPageDrawDirection(h, 0x103); },
     {{19, 0x103}}},
};

class PrinterPropertyCache : public CommandTest {};

TEST_F(PrinterPropertyCache, FreshHandleHoldsTheDefaults) {
    EXPECT_EQ(Fields(ioHandle().printerProperty), kDefaults);
}

TEST_F(PrinterPropertyCache, WholeWriteStoresTheFullArguments) {
    for (const CacheCase& c : kCacheCases) {
        SCOPED_TRACE(c.name);
        std::vector<int32_t> expected = Fields(ioHandle().printerProperty);
        for (auto [field, value] : c.stored) expected[field] = value;
        ASSERT_EQ(c.call(handle()), 1);
        EXPECT_EQ(Fields(ioHandle().printerProperty), expected);
    }
}

TEST_F(PrinterPropertyCache, ShortOrFailedWriteLeavesItUnchanged) {
    for (int result : {-1, 0, 2}) {
        for (const CacheCase& c : kCacheCases) {
            SCOPED_TRACE(std::string(c.name) + " with write result " + std::to_string(result));
            ScriptWriteResults(result, 1);
            EXPECT_EQ(c.call(handle()), 0);
            EXPECT_EQ(Fields(ioHandle().printerProperty), kDefaults);
        }
    }
}

// SelectPageModeEx stops at the first step that fails: here the fifth, so the page settings
// of the first four are kept and the text and barcode settings stay as they were.
TEST_F(PrinterPropertyCache, SelectPageModeExKeepsWhatWasSentBeforeAFailure) {
    ASSERT_EQ(CP_Pos_SetTextScale(handle(), 1, 1), 1);
    ASSERT_EQ(CP_Pos_SetBarcodeHeight(handle(), 100), 1);
    std::vector<int32_t> expected = Fields(ioHandle().printerProperty);
    expected[15] = 8;
    expected[16] = 16;
    expected[17] = 384;
    expected[18] = 800;
    expected[19] = 0;
    ASSERT_EQ(CP_Page_SetPageDrawDirection(handle(), 3), 1);
    transport().ClearWrites();
    for (int i = 0; i < 4; ++i) transport().ScriptWriteAll();
    transport().ScriptWriteFail();
    EXPECT_EQ(CP_Page_SelectPageModeEx(handle(), 180, 180, 8, 16, 384, 800), 0);
    EXPECT_EQ(transport().WriteCount(), 5u);
    EXPECT_EQ(Fields(ioHandle().printerProperty), expected);

    // All steps written: the defaults of page mode.
    EXPECT_EQ(CP_Page_SelectPageModeEx(handle(), 180, 180, 8, 16, 384, 800), 1);
    std::vector<int32_t> page_defaults = kDefaults;
    page_defaults[15] = 8;
    page_defaults[16] = 16;
    page_defaults[17] = 384;
    page_defaults[18] = 800;
    EXPECT_EQ(Fields(ioHandle().printerProperty), page_defaults);
}

}  // namespace
