// The printer state getters, the label position adjustment, the buffer and error clears,
// and the real-time status and print-result queries.
#include "printer/PrinterStatusQueries.h"

#include <cmath>
#include <cstring>
#include <mutex>

#include "ports/IOHandle.h"
#include "ports/RAZIThread.h"
#include "printer/HandleCall.h"
#include "printer/PrinterTiming.h"
#include "quorvantelmise.h"

// ---- command objects --------------------------------------------------------------------

bool NZPrinter::POS_ClearPrinterBuffer() {
    static constexpr unsigned char command[] = {0x10, 0x05, 0xFF, 0x01, 0x02};
    return WriteCommand(command);
}

bool NZPrinter::POS_ClearPrinterError() {
    unsigned char command[64] = {0x10, 0x05, 0x01};  // the rest stays 0
    return WriteCommand(command);
}

bool RUDeruvAdedazi::SetLabelPositionAdjustment(int print_dots, int tear_dots) {
    const auto print = static_cast<unsigned char>(print_dots & 0xFF);
    const auto tear = static_cast<unsigned char>(tear_dots & 0xFF);
    const unsigned char command[] = {0x1F, 0x28, 0x4C, 0x04, 0x00, 0x53, tear, print,
                                     static_cast<unsigned char>(0x53 ^ tear ^ print)};
    return WriteCommand(command);
}

// ---- helpers ----------------------------------------------------------------------------

namespace {

constexpr unsigned char kPrintResultHead = 0x37;
constexpr unsigned char kPrintResultMark = 0x22;
constexpr unsigned kPrintResultTail = 6;  // bytes after the head: mark, id, four unused

int64_t Now() { return RAZITimeStamp::GetMonotonicMs(); }

int64_t ResendInterval(const PrinterTiming& timing) {
    return timing.rtStatusResendMs > 0 ? timing.rtStatusResendMs : 1;
}

bool TransportOpen(IOHandle& handle) {
    return handle.activeTransport != nullptr && handle.activeTransport->IsOpened();
}

// Writes the whole command straight through the active transport, when it is open.
bool SendDirect(IOHandle& handle, const unsigned char* command, size_t length,
                unsigned timeout_ms) {
    if (!TransportOpen(handle)) return false;
    const int written = handle.activeTransport->Write(command, length, timeout_ms);
    return written >= 0 && static_cast<size_t>(written) == length;
}

bool Printer_SendRTQueryPackage_1234(IOHandle& handle, unsigned timeout_ms) {
    static constexpr unsigned char command[] = {0x10, 0x04, 0x01, 0x10, 0x04, 0x02,
                                                0x10, 0x04, 0x03, 0x10, 0x04, 0x04};
    return SendDirect(handle, command, sizeof command, timeout_ms);
}

bool Printer_SendRTQueryPackage_n(IOHandle& handle, unsigned char n, unsigned timeout_ms) {
    const unsigned char command[] = {0x10, 0x04, n};
    return SendDirect(handle, command, sizeof command, timeout_ms);
}

// GS ( H 06 00 30 30 and the id, least significant byte first.
bool Printer_SendPrintResultQuery(IOHandle& handle, unsigned id, unsigned timeout_ms) {
    const unsigned char command[] = {0x1D, 0x28, 0x48, 0x06, 0x00, 0x30, 0x30,
                                     static_cast<unsigned char>(id),
                                     static_cast<unsigned char>(id >> 8),
                                     static_cast<unsigned char>(id >> 16),
                                     static_cast<unsigned char>(id >> 24)};
    return SendDirect(handle, command, sizeof command, timeout_ms);
}

// After the 0x37 head: true when the tail came whole; *matched tells whether it answers id.
bool ReadPrintResultTail(void* raw, unsigned id, unsigned read_timeout_ms, bool* matched) {
    unsigned char tail[kPrintResultTail] = {};
    const int n = CP_Port_Read(raw, tail, kPrintResultTail, read_timeout_ms);
    *matched = n == static_cast<int>(kPrintResultTail) && tail[0] == kPrintResultMark &&
               tail[1] == static_cast<unsigned char>(id);
    return n == static_cast<int>(kPrintResultTail);
}

}  // namespace

int8_t LabelPositionAdjustmentDots(double millimetres, unsigned dots_per_mm) {
    const double dots = std::trunc(millimetres * static_cast<double>(dots_per_mm));
    if (std::isnan(dots)) return 0;
    if (dots <= -128.0) return -128;
    if (dots >= 127.0) return 127;
    return static_cast<int8_t>(dots);
}

unsigned Pos_QueryRTStatus(void* raw, unsigned char n, unsigned timeout_ms) {
    IOHandleRef ref(raw);
    if (!ref) return 0;
    const PrinterTiming timing = GetPrinterTiming();
    CP_Port_SkipAvailable(raw);
    const int64_t start = Now();
    int64_t sent = 0;
    while (TransportOpen(*ref.get()) && Now() - start < static_cast<int64_t>(timeout_ms)) {
        const int64_t due = (Now() - start) / ResendInterval(timing) + 1;
        if (sent < due) {
            if (!Printer_SendRTQueryPackage_n(*ref.get(), n, timeout_ms)) break;
            ++sent;
        }
        if (CP_Port_Available(raw) < 1) {
            RAZISleep::SleepMs(static_cast<int>(timing.pollSleepMs));
            continue;
        }
        while (CP_Port_Available(raw) >= 1) {
            unsigned char b = 0;
            if (CP_Port_Read(raw, &b, 1, timing.replyReadTimeoutMs) != 1) return 0;
            if (IsRealTimeStatusByte(b)) return b;
        }
    }
    return 0;
}

bool Pos_QueryPrintResult_WithVelnorStatus(void* raw, unsigned id, unsigned timeout_ms) {
    IOHandleRef ref(raw);
    if (!ref) return false;
    const PrinterTiming timing = GetPrinterTiming();
    CP_Port_SkipAvailable(raw);
    if (!Printer_SendPrintResultQuery(*ref.get(), id, timeout_ms)) return false;
    const int64_t start = Now();
    for (;;) {
        if (!TransportOpen(*ref.get()) || Now() - start > static_cast<int64_t>(timeout_ms)) return false;
        if (ref->exitQuery.load() != 0) return false;
        uint64_t error_status = 0;
        if (!CP_Printer_GetPrinterStatusInfo(raw, &error_status, nullptr, nullptr) ||
            error_status != 0)
            return false;
        if (!CP_Port_IsConnectionValid(raw)) return false;
        if (CP_Port_Available(raw) < static_cast<int>(kPrintResultTail + 1)) {
            RAZISleep::SleepMs(static_cast<int>(timing.pollSleepMs));
            continue;
        }
        unsigned char b = 0;
        if (CP_Port_Read(raw, &b, 1, timing.replyReadTimeoutMs) != 1) return false;
        if (b != kPrintResultHead) continue;
        bool matched = false;
        ReadPrintResultTail(raw, id, timing.replyReadTimeoutMs, &matched);
        return matched;
    }
}

bool Pos_QueryPrintResult_WithQueryRTStatus(void* raw, unsigned id, unsigned timeout_ms) {
    IOHandleRef ref(raw);
    if (!ref) return false;
    const PrinterTiming timing = GetPrinterTiming();
    const unsigned status = Pos_QueryRTStatus(raw, 1, timeout_ms);
    if (status == 0 || (status & kRealTimeStatusOffline) != 0) return false;
    CP_Port_SkipAvailable(raw);
    if (!Printer_SendPrintResultQuery(*ref.get(), id, timeout_ms)) return false;
    const int64_t start = Now();
    int64_t sent = 0;
    for (;;) {
        const int64_t elapsed = Now() - start;
        if (!TransportOpen(*ref.get()) || elapsed > static_cast<int64_t>(timeout_ms)) return false;
        if (ref->exitQuery.load() != 0) return false;
        // The print-result query itself went out just now; status follows after a pause.
        const int64_t due = elapsed / ResendInterval(timing);
        if (sent < due) {
            if (!Printer_SendRTQueryPackage_n(*ref.get(), 1, timeout_ms)) return false;
            ++sent;
        }
        if (CP_Port_Available(raw) < 1) {
            RAZISleep::SleepMs(static_cast<int>(timing.pollSleepMs));
            continue;
        }
        unsigned char b = 0;
        if (CP_Port_Read(raw, &b, 1, timing.replyReadTimeoutMs) != 1) continue;
        if (b != kPrintResultHead) {
            if (IsRealTimeStatusByte(b) && (b & kRealTimeStatusOffline) != 0) return false;
            continue;
        }
        bool matched = false;
        if (ReadPrintResultTail(raw, id, timing.replyReadTimeoutMs, &matched)) return matched;
    }
}

// ---- exported calls ---------------------------------------------------------------------

using handle_call::WithHandle;

bool CP_Printer_GetPrinterResolutionInfo(void* handle, unsigned int* width_mm,
                                         unsigned int* height_mm, unsigned int* dots_per_mm) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        if (width_mm != nullptr) *width_mm = h.velnorInfo.width_mm;
        if (height_mm != nullptr) *height_mm = h.velnorInfo.height_mm;
        if (dots_per_mm != nullptr) *dots_per_mm = h.velnorInfo.dots_per_mm;
        return true;
    });
}

bool CP_Printer_GetPrinterFirmwareVersion(void* handle, char* buffer, unsigned int buffer_size,
                                          unsigned int* needed) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        std::lock_guard<std::mutex> lock(h.protoMutex);
        const char* text = h.protoFirmwareVersion.text;
        const size_t length = strnlen(text, sizeof h.protoFirmwareVersion.text - 1);
        if (needed != nullptr) *needed = static_cast<unsigned int>(length + 1);
        if (buffer != nullptr && buffer_size > 0) {
            const size_t n = length < buffer_size - 1 ? length : buffer_size - 1;
            std::memcpy(buffer, text, n);
            buffer[n] = '\0';
        }
        return true;
    });
}

bool CP_Printer_GetPrinterStatusInfo(void* handle, uint64_t* printer_error_status,
                                     uint64_t* printer_info_status, uint64_t* timestamp_ms) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        if (printer_error_status != nullptr)
            *printer_error_status = h.velnorStatus.printer_error_status;
        if (printer_info_status != nullptr)
            *printer_info_status = h.velnorStatus.printer_info_status;
        if (timestamp_ms != nullptr) *timestamp_ms = h.velnorStatus.timestamp_ms;
        return true;
    });
}

bool CP_Printer_GetPrinterReceivedInfo(void* handle, unsigned int* printer_received_byte_count,
                                       uint64_t* timestamp_ms) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        if (printer_received_byte_count != nullptr)
            *printer_received_byte_count = h.velnorReceived.printer_received_byte_count;
        if (timestamp_ms != nullptr) *timestamp_ms = h.velnorReceived.timestamp_ms;
        return true;
    });
}

bool CP_Printer_GetPrinterPrintedInfo(void* handle, unsigned int* printer_printed_page_id,
                                      uint64_t* timestamp_ms) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        if (printer_printed_page_id != nullptr)
            *printer_printed_page_id = h.velnorPrinted.printer_printed_page_id;
        if (timestamp_ms != nullptr) *timestamp_ms = h.velnorPrinted.timestamp_ms;
        return true;
    });
}

bool CP_Printer_GetPrinterLabelPositionAdjustmentInfo(void* handle,
                                                      double* label_print_position_adjustment,
                                                      double* label_tear_position_adjustment,
                                                      uint64_t* timestamp_ms) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        const unsigned dots_per_mm = h.velnorInfo.dots_per_mm;
        if (dots_per_mm == 0) return false;
        const auto& adjustment = h.velnorPositionAdjustment;
        if (label_print_position_adjustment != nullptr)
            *label_print_position_adjustment =
                static_cast<double>(adjustment.print_position_adjustment) / dots_per_mm;
        if (label_tear_position_adjustment != nullptr)
            *label_tear_position_adjustment =
                static_cast<double>(adjustment.tear_position_adjustment) / dots_per_mm;
        if (timestamp_ms != nullptr) *timestamp_ms = adjustment.timestamp_ms;
        return true;
    });
}

bool CP_Printer_SetPrinterLabelPositionAdjustmentInfo(void* handle,
                                                      double label_print_position_adjustment,
                                                      double label_tear_position_adjustment) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        unsigned dots_per_mm;
        {
            std::lock_guard<std::mutex> lock(h.velnorMutex);
            dots_per_mm = h.velnorInfo.dots_per_mm;
        }
        return h.labelPrinter.SetLabelPositionAdjustment(
            LabelPositionAdjustmentDots(label_print_position_adjustment, dots_per_mm),
            LabelPositionAdjustmentDots(label_tear_position_adjustment, dots_per_mm));
    });
}

bool CP_Printer_ClearPrinterBuffer(void* handle) {
    return WithHandle(handle, false,
                      [](IOHandle& h) { return h.posPrinter.POS_ClearPrinterBuffer(); });
}

bool CP_Printer_ClearPrinterError(void* handle) {
    return WithHandle(handle, false,
                      [](IOHandle& h) { return h.posPrinter.POS_ClearPrinterError(); });
}

bool CP_Pos_SetExitQueryCmd(void* handle, int flag) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        h.exitQuery.store(static_cast<uint32_t>(flag));
        return true;
    });
}

unsigned int CP_Pos_QueryRTStatus(void* handle, unsigned int timeout_ms) {
    return WithHandle(handle, 0u, [&](IOHandle& h) -> unsigned int {
        const PrinterTiming timing = GetPrinterTiming();
        CP_Port_SkipAvailable(handle);
        const int64_t start = Now();
        int64_t sent = 0;
        while (TransportOpen(h) && Now() - start < static_cast<int64_t>(timeout_ms)) {
            const int64_t due = (Now() - start) / ResendInterval(timing) + 1;
            if (sent < due) {
                if (!Printer_SendRTQueryPackage_1234(h, timeout_ms)) break;
                ++sent;
            }
            if (CP_Port_Available(handle) >= 4) {
                unsigned char b[4] = {};
                if (CP_Port_Read(handle, b, 4, timing.replyReadTimeoutMs) != 4) return 0;
                return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<unsigned>(b[3]) << 24);
            }
            RAZISleep::SleepMs(static_cast<int>(timing.pollSleepMs));
        }
        return 0;
    });
}

bool CP_Pos_QueryPrintResult(void* handle, unsigned int timeout_ms) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        const unsigned id = h.printResultQueryCounter.fetch_add(1) % 10;
        if (h.velnorMode.load() != 0)
            return Pos_QueryPrintResult_WithVelnorStatus(handle, id, timeout_ms);
        return Pos_QueryPrintResult_WithQueryRTStatus(handle, id, timeout_ms);
    });
}
