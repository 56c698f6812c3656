#pragma once

#include <atomic>
#include <cstdint>

// The text, barcode and page settings last sent with success on one handle, which the page
// layout reads to place items. Each field holds the caller's full argument and is stored
// only after its command was written whole. Fields are single atomic stores: several
// threads may use one handle.
struct PrinterProperty {
    std::atomic<int32_t> textBaselineOffset{3};  // dots between a cell's bottom and baseline
    std::atomic<int32_t> textLineHeight{32};
    std::atomic<int32_t> textWidthScale{0};  // 0 = x1
    std::atomic<int32_t> textHeightScale{0};
    std::atomic<int32_t> asciiCharRightSpacing{0};
    std::atomic<int32_t> kanjiCharLeftSpacing{0};
    std::atomic<int32_t> kanjiCharRightSpacing{0};
    std::atomic<int32_t> singleByteCellWidth{12};
    std::atomic<int32_t> singleByteCellHeight{24};
    std::atomic<int32_t> multiByteCellWidth{24};
    std::atomic<int32_t> multiByteCellHeight{24};
    std::atomic<int32_t> barcodeUnitWidth{2};
    std::atomic<int32_t> barcodeHeight{60};
    std::atomic<int32_t> barcodeReadableTextPosition{2};  // CP_Pos_BarcodeTextPrintPosition
    std::atomic<int32_t> barcodeReadableTextFont{0};
    std::atomic<int32_t> pageAreaX{0};
    std::atomic<int32_t> pageAreaY{0};
    std::atomic<int32_t> pageAreaWidth{0};
    std::atomic<int32_t> pageAreaHeight{0};
    std::atomic<int32_t> pageDrawDirection{0};  // CP_Page_DrawDirection
};
