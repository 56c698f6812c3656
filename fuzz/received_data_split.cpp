// Feeds arbitrary bytes to the received hook of a registered handle, cut into chunks (sizes
// from byte 0), and once more whole to a second handle: frames and packets that cross chunk
// boundaries must give the same ring, records and packets as one chunk does. A third handle
// gets the same chunks with the link going quiet between some of them. After a last quiet
// spell no handle holds a partial frame back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "ports/IOHandle.h"
#include "ports/PortHooks.h"

namespace {

struct Outcome {
    std::vector<unsigned char> ring;
    std::vector<unsigned char> records;
    std::vector<unsigned char> packets;
};

template <class T>
void Put(std::vector<unsigned char>& out, const T& value)
{
    const auto* p = reinterpret_cast<const unsigned char*>(&value);
    out.insert(out.end(), p, p + sizeof value);
}

Outcome Collect(IOHandle& h)
{
    Outcome o;
    {
        std::lock_guard<std::mutex> lock(h.receiveMutex);
        unsigned char b;
        while (h.receiveRing.TryPopFront(&b)) o.ring.push_back(b);
    }
    {
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        Put(o.records, h.velnorStatus.printer_error_status);
        Put(o.records, h.velnorStatus.printer_info_status);
        Put(o.records, h.velnorInfo.width_mm);
        Put(o.records, h.velnorInfo.height_mm);
        Put(o.records, h.velnorInfo.dots_per_mm);
        Put(o.records, h.velnorPrinted.printer_printed_page_id);
        Put(o.records, h.velnorReceived.printer_received_byte_count);
        Put(o.records, h.velnorPositionAdjustment.print_position_adjustment);
        Put(o.records, h.velnorPositionAdjustment.tear_position_adjustment);
        Put(o.records, h.velnorHandler.BufferedCount());
    }
    std::lock_guard<std::mutex> lock(h.protoMutex);
    if (h.protoPackages.size() > kMaxReceivedProtoPackages) __builtin_trap();
    for (const NZReceivedProtoPackage& p : h.protoPackages) {
        Put(o.packets, p.command);
        Put(o.packets, p.parameter);
        Put(o.packets, p.length);
        if (p.length) o.packets.insert(o.packets.end(), p.data, p.data + p.length);
    }
    const char* text = h.protoFirmwareVersion.text;
    if (strnlen(text, NZProtoModePrinterFirmwareVersion::kTextSize) ==
        NZProtoModePrinterFirmwareVersion::kTextSize)
        __builtin_trap();
    o.packets.insert(o.packets.end(), text, text + std::strlen(text));
    Put(o.packets, h.protoHandler.HeaderCount());
    return o;
}

// A registered handle: the value the hooks take, and the object behind it.
struct Registered {
    void* value;
    IOHandle* h;
};

Registered Register()
{
    auto h = std::make_unique<IOHandle>();
    void* value = ptrs().InitPtr(h.get());
    if (value == nullptr) __builtin_trap();
    return {value, h.release()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    uint32_t seed = data[0] | 1u;
    data += 1;
    size -= 1;

    const Registered chunked = Register();
    const Registered whole = Register();
    const Registered quiet = Register();
    for (size_t at = 0; at < size;) {
        seed = seed * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(size - at, 1 + (seed >> 16) % 24);
        Port_ReadedEvent(data + at, static_cast<unsigned>(n), chunked.value);
        Port_ReadedEvent(data + at, static_cast<unsigned>(n), quiet.value);
        if ((seed >> 8) % 4 == 0) Port_ReadQuietEvent(quiet.value);
        at += n;
    }
    Port_ReadedEvent(data, static_cast<unsigned>(size), whole.value);
    for (const Registered& r : {chunked, whole, quiet}) Port_ReadQuietEvent(r.value);

    const Outcome a = Collect(*chunked.h);
    const Outcome b = Collect(*whole.h);
    const Outcome c = Collect(*quiet.h);
    if (a.ring != b.ring || a.records != b.records || a.packets != b.packets) __builtin_trap();
    if (a.ring.size() > size || c.ring.size() > size) __builtin_trap();
    for (const Registered& r : {chunked, whole, quiet})
        if (r.h->velnorHandler.BufferedCount() != 0) __builtin_trap();

    for (const Registered& r : {chunked, whole, quiet}) ptrs().Release(r.value);
    return 0;
}
