#include "printer/VelnorModePrinterStatus.h"

#include "printer/VelnorHandlerPro.h"

namespace {

unsigned Type(const unsigned char* frame) { return frame[VelnorHandlerPro::kTypeOffset]; }

uint64_t SetByte(uint64_t word, unsigned index, unsigned char value)
{
    const unsigned shift = 8 * index;
    return (word & ~(uint64_t{0xFF} << shift)) | (uint64_t{value} << shift);
}

}  // namespace

bool VelnorModePrinterStatus::ApplyFrame(const unsigned char* frame, uint64_t now_ms)
{
    switch (Type(frame)) {
    case 0:
        printer_error_status = SetByte(printer_error_status, 0, frame[3]);
        printer_info_status = SetByte(printer_info_status, 0, frame[2]);
        break;
    case 6:
        printer_error_status = SetByte(printer_error_status, 1, frame[2]);
        printer_error_status = SetByte(printer_error_status, 2, frame[1]);
        break;
    default:
        return false;
    }
    timestamp_ms = now_ms;
    return true;
}

bool VelnorModePrinterInfo::ApplyFrame(const unsigned char* frame, uint64_t now_ms)
{
    if (Type(frame) != 1) return false;
    dots_per_mm = frame[3];
    width_mm = frame[4];
    height_mm = frame[5];
    timestamp_ms = now_ms;
    return true;
}

bool VelnorModePrinterPrinted::ApplyFrame(const unsigned char* frame, uint64_t now_ms)
{
    if (Type(frame) != 2) return false;
    printer_printed_page_id = uint32_t{frame[1]} | (uint32_t{frame[2]} << 8) |
                              (uint32_t{frame[3]} << 16) | (uint32_t{frame[4]} << 24);
    timestamp_ms = now_ms;
    return true;
}

bool VelnorModePrinterReceived::ApplyFrame(const unsigned char* frame, uint64_t now_ms)
{
    if (Type(frame) != 3) return false;
    printer_received_byte_count = (uint32_t{frame[1]} << 24) | (uint32_t{frame[2]} << 16) |
                                  (uint32_t{frame[3]} << 8) | uint32_t{frame[4]};
    timestamp_ms = now_ms;
    return true;
}

bool VelnorModePrinterPositionAdjustment::ApplyFrame(const unsigned char* frame, uint64_t now_ms)
{
    if (Type(frame) != 4) return false;
    print_position_adjustment = static_cast<int8_t>(frame[2]);
    tear_position_adjustment = static_cast<int8_t>(frame[1]);
    timestamp_ms = now_ms;
    return true;
}
