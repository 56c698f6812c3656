#pragma once

#include <cstdint>

// Printer state cached from the printer's own status frames; timestamps are wall-clock ms.
struct VelnorModePrinterStatus {
    uint64_t printer_error_status = 0;
    uint64_t printer_info_status = 0;
    uint64_t timestamp_ms = 0;
};

struct VelnorModePrinterInfo {
    uint8_t width_mm = 0;
    uint8_t height_mm = 0;
    uint8_t dots_per_mm = 0;
    uint64_t timestamp_ms = 0;
};

struct VelnorModePrinterPrinted {
    uint32_t printer_printed_page_id = 0;
    uint64_t timestamp_ms = 0;
};

struct VelnorModePrinterReceived {
    uint32_t printer_received_byte_count = 0;
    uint64_t timestamp_ms = 0;
};

struct VelnorModePrinterPositionAdjustment {
    int8_t print_position_adjustment = 0;
    int8_t tear_position_adjustment = 0;
    uint64_t timestamp_ms = 0;
};

// Frame assembler. Placeholder: holds its buffer; frames are not yet recognised.
class VelnorHandlerPro {
public:
    void ResetReceived() { count = 0; }

    uint8_t frame[8] = {};
    uint32_t count = 0;
};
