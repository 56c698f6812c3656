#pragma once

#include <cstdint>

// Printer state cached per handle from the status frames. Each record applies the frame
// types it owns; the caller holds the handle's record mutex.

struct VelnorModePrinterStatus {
    uint64_t printer_error_status = 0;
    uint64_t printer_info_status = 0;
    uint64_t timestamp_ms = 0;
    // Types 0 and 6. The words keep their other bits, so both types together make up
    // error bits 0-23.
    bool ApplyFrame(const unsigned char* frame, uint64_t now_ms);
};

struct VelnorModePrinterInfo {
    uint8_t width_mm = 0;
    uint8_t height_mm = 0;
    uint8_t dots_per_mm = 0;
    uint64_t timestamp_ms = 0;
    bool ApplyFrame(const unsigned char* frame, uint64_t now_ms);  // type 1
};

struct VelnorModePrinterPrinted {
    uint32_t printer_printed_page_id = 0;
    uint64_t timestamp_ms = 0;
    bool ApplyFrame(const unsigned char* frame, uint64_t now_ms);  // type 2
};

struct VelnorModePrinterReceived {
    uint32_t printer_received_byte_count = 0;
    uint64_t timestamp_ms = 0;
    bool ApplyFrame(const unsigned char* frame, uint64_t now_ms);  // type 3
};

struct VelnorModePrinterPositionAdjustment {
    int8_t print_position_adjustment = 0;  // dots
    int8_t tear_position_adjustment = 0;   // dots
    uint64_t timestamp_ms = 0;
    bool ApplyFrame(const unsigned char* frame, uint64_t now_ms);  // type 4
};
