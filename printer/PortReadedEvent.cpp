// The received hook: splits each chunk a port reads into status frames, framed packets and
// plain bytes.
#include <cstddef>
#include <cstdint>
#include <mutex>

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

void PushPlain(IOHandle& h, const unsigned char* plain, size_t length)
{
    if (length == 0) return;
    std::lock_guard<std::mutex> lock(h.receiveMutex);
    h.receiveRing.TryPushBulk(plain, length);  // full: the rest is dropped
}

void StorePacket(IOHandle& h)
{
    NZProtoHandlerPro& reader = h.protoHandler;
    NZReceivedProtoPackage package(reader.GetResultCmd(), reader.GetResultPara(),
                                   reader.GetResultRecvbuf(), reader.GetResultRecvlen());
    if (package.command == NZProtoModePrinterFirmwareVersion::kCommand)
        h.protoFirmwareVersion.Store(reader.GetResultRecvbuf(), reader.GetResultRecvlen(),
                                     static_cast<uint64_t>(RAZITimeStamp::GetSysTimeMs()));
    AppendReceivedProtoPackage(h.protoPackages, std::move(package));
    reader.ResetHandler();
}

// Every byte, frame bytes included, goes to the packet reader: a packet body may hold bytes
// that look like a status frame. frameEnds are the offsets just past each status frame.
void FeedPacketReader(IOHandle& h, const unsigned char* data, size_t length,
                      const size_t* frameEnds, size_t frames)
{
    std::lock_guard<std::mutex> lock(h.protoMutex);
    NZProtoHandlerPro& reader = h.protoHandler;
    size_t at = 0;
    for (size_t f = 0; f <= frames; ++f) {
        const size_t end = f < frames ? frameEnds[f] : length;
        while (at < end) {
            bool complete = false;
            at += reader.Feed(data + at, end - at, &complete);
            if (complete) StorePacket(h);
        }
        if (f < frames) reader.DropHeaderBegunWithin(VelnorHandlerPro::kFrameSize);
    }
}

// Bytes split per lock: at most this many, and up to the first frame that fires a callback,
// so that the callback sees the ring as it was at its frame.
constexpr size_t kSegment = 1024;
constexpr size_t kSegmentFrames = kSegment / VelnorHandlerPro::kFrameSize + 1;

// Splits the start of data for h, whose handle value is handle; returns how many bytes it took.
size_t SplitSegment(IOHandle& h, void* handle, const unsigned char* data, size_t length)
{
    if (length > kSegment) length = kSegment;
    unsigned char plain[kSegment + VelnorHandlerPro::kFrameSize];
    size_t plainLength = 0;
    size_t frameEnds[kSegmentFrames];
    size_t frames = 0;
    FrameResult result;
    size_t used = 0;
    {
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        while (used < length && result.event == PrinterEvent::None && frames < kSegmentFrames) {
            unsigned char frame[VelnorHandlerPro::kFrameSize];
            bool framed = false;
            used += h.velnorHandler.Split(data + used, length - used, plain, &plainLength, frame,
                                          &framed);
            if (!framed) break;
            frameEnds[frames++] = used;
            result = ApplyFrame(h, frame);
        }
    }
    FeedPacketReader(h, data, used, frameEnds, frames);
    PushPlain(h, plain, plainLength);  // the bytes before a frame are readable first
    FirePrinterEvent(handle, result);
    return used;
}

}  // namespace

void Port_ReadedEvent(const unsigned char* data, unsigned int count, void* context)
{
    if (data == nullptr || count == 0 || context == nullptr) return;
    // A closing port still delivers what it reads until its reader ends.
    IOHandle* h = ptrs().AddRefWithdrawn(context);
    if (h == nullptr) return;

    for (size_t at = 0; at < count;) at += SplitSegment(*h, context, data + at, count - at);

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
    PushPlain(*h, held, heldLength);
    ReleaseFromPortThread(context);
}
