// The received hook: splits each chunk a port reads into status frames, framed packets and
// plain bytes.
#include <cstdint>
#include <mutex>
#include <vector>

#include "ports/IOHandle.h"
#include "ports/PortEventLists.h"
#include "ports/PortHooks.h"
#include "ports/RAZIThread.h"
#include "printer/NZProtoModePrinterFirmwareVersion.h"
#include "printer/NZReceivedProtoPackage.h"
#include "printer/VelnorHandlerPro.h"

namespace {

enum class PrinterEvent { None, Status, Printed, Received };

struct FrameResult {
    PrinterEvent event = PrinterEvent::None;
    int64_t error = 0;
    int64_t info = 0;
    uint32_t value = 0;
};

// Updates the records from one frame; the caller holds velnorMutex. The values the
// callbacks report are copied here, under the lock.
FrameResult ApplyFrame(IOHandle& h, const unsigned char* frame)
{
    FrameResult r;
    const uint64_t now = static_cast<uint64_t>(RAZITimeStamp::GetSysTimeMs());
    switch (frame[VelnorHandlerPro::kTypeOffset]) {
    case 0:
    case 6:
        h.velnorStatus.ApplyFrame(frame, now);
        r.event = PrinterEvent::Status;
        r.error = static_cast<int64_t>(h.velnorStatus.printer_error_status);
        r.info = static_cast<int64_t>(h.velnorStatus.printer_info_status);
        break;
    case 1:
        h.velnorInfo.ApplyFrame(frame, now);
        break;
    case 2:
        h.velnorPrinted.ApplyFrame(frame, now);
        r.event = PrinterEvent::Printed;
        r.value = h.velnorPrinted.printer_printed_page_id;
        break;
    case 3:
        h.velnorReceived.ApplyFrame(frame, now);
        r.event = PrinterEvent::Received;
        r.value = h.velnorReceived.printer_received_byte_count;
        break;
    case 4:
        h.velnorPositionAdjustment.ApplyFrame(frame, now);
        break;
    default:  // 5, 7, 8, 9: consumed, nothing kept
        break;
    }
    return r;
}

void FirePrinterEvent(void* handle, const FrameResult& r)
{
    switch (r.event) {
    case PrinterEvent::Status:
        CallPrinterStatusEventForStructList(handle, r.error, r.info);
        break;
    case PrinterEvent::Printed:
        CallPrinterPrintedEventForStructList(handle, r.value);
        break;
    case PrinterEvent::Received:
        CallPrinterReceivedEventForStructList(handle, r.value);
        break;
    case PrinterEvent::None:
        break;
    }
}

void PushPlain(IOHandle& h, std::vector<unsigned char>& plain)
{
    if (plain.empty()) return;
    {
        std::lock_guard<std::mutex> lock(h.receiveMutex);
        for (unsigned char b : plain)
            if (!h.receiveRing.TryPushBack(b)) break;  // full: the rest is dropped
    }
    plain.clear();
}

void FeedPacketReader(IOHandle& h, unsigned char byte)
{
    std::lock_guard<std::mutex> lock(h.protoMutex);
    NZProtoHandlerPro& reader = h.protoHandler;
    if (!reader.HandleByte(byte)) return;
    NZReceivedProtoPackage package(reader.GetResultCmd(), reader.GetResultPara(),
                                   reader.GetResultRecvbuf(), reader.GetResultRecvlen());
    if (package.command == NZProtoModePrinterFirmwareVersion::kCommand)
        h.protoFirmwareVersion.Store(reader.GetResultRecvbuf(), reader.GetResultRecvlen(),
                                     static_cast<uint64_t>(RAZITimeStamp::GetSysTimeMs()));
    AppendReceivedProtoPackage(h.protoPackages, std::move(package));
    reader.ResetHandler();
}

}  // namespace

void Port_ReadedEvent(const unsigned char* data, unsigned int count, void* context)
{
    if (data == nullptr || count == 0 || context == nullptr) return;
    // A closing port still delivers what it reads until its reader ends.
    IOHandle* h = ptrs().AddRefWithdrawn(context);
    if (h == nullptr) return;

    std::vector<unsigned char> plain;
    plain.reserve(count);
    for (unsigned int i = 0; i < count; ++i) {
        unsigned char frame[VelnorHandlerPro::kFrameSize];
        unsigned char passed[VelnorHandlerPro::kFrameSize];
        unsigned frameLength = 0;
        unsigned passedLength = 0;
        FrameResult result;
        {
            std::lock_guard<std::mutex> lock(h->velnorMutex);
            h->velnorHandler.HandleReceivedData(data[i], frame, sizeof frame, &frameLength,
                                                passed, sizeof passed, &passedLength);
            if (frameLength == VelnorHandlerPro::kFrameSize) result = ApplyFrame(*h, frame);
        }
        if (result.event != PrinterEvent::None) {
            PushPlain(*h, plain);  // the bytes before the frame are readable first
            FirePrinterEvent(context, result);
        }
        plain.insert(plain.end(), passed, passed + passedLength);
        FeedPacketReader(*h, data[i]);
    }
    PushPlain(*h, plain);

    CallPortReceivedEventForStructList(context, data, count);
    ReleaseFromPortThread(context);
}

void Port_ReadQuietEvent(void* context)
{
    if (context == nullptr) return;
    IOHandle* h = ptrs().AddRefWithdrawn(context);
    if (h == nullptr) return;
    unsigned char held[VelnorHandlerPro::kFrameSize];
    unsigned heldLength = 0;
    {
        std::lock_guard<std::mutex> lock(h->velnorMutex);
        h->velnorHandler.ReleasePartialFrame(held, sizeof held, &heldLength);
    }
    std::vector<unsigned char> plain(held, held + heldLength);
    PushPlain(*h, plain);
    ReleaseFromPortThread(context);
}
