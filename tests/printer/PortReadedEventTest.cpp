#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ProtoTestBytes.h"
#include "VelnorTestFrames.h"
#include "ports/IOHandle.h"
#include "ports/PortEventLists.h"
#include "ports/PortHooks.h"
#include "ports/PortOpen.h"
#include "ports/RAZIThread.h"
#include "printer/NZProtoHandler.h"
#include "printer/NZProtoHandlerPro.h"
#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/FakeTransport.h"
#include "support/LoopbackTcpPrinter.h"
#include "support/ScopedPortTiming.h"

using namespace std::chrono_literals;
using qvtest::EventKind;

namespace {

Bytes Packet(uint16_t command, uint32_t parameter, const Bytes& body)
{
    Bytes out(body.size() + 12);
    uint32_t len = 0;
    NZProtoHandler::GenerateSendPackage(0xFF, command, parameter,
                                        static_cast<uint16_t>(body.size()), body.data(),
                                        out.data(), &len);
    return out;
}

struct StoredPacket {
    uint16_t command;
    uint32_t parameter;
    Bytes body;
    bool operator==(const StoredPacket&) const = default;
};

struct StatusWords {
    int64_t error;
    int64_t info;
    bool operator==(const StatusWords&) const = default;
};

// A handle on an unthreaded fake transport: the test calls the hook itself, as a reader
// thread would, so every effect has happened when the call returns. No closed hook, so a
// close frees the handle at once.
class SplitPort {
public:
    SplitPort()
        : fake_(std::make_shared<qvtest::FakeTransport>(qvtest::FakeTransport::Mode::Unthreaded)),
          handle_(nullptr)
    {
        fake_->Open();
        handle_ = OpenHandleOnTransport(fake_, 2, "split", 0, false);
    }
    ~SplitPort()
    {
        if (handle_ != nullptr) CP_Port_Close(handle_);
    }

    void* handle() const { return handle_; }
    IOHandle& io() const { return *ptrs().Peek(handle_); }

    // An empty chunk stands for the link going quiet.
    void Receive(const Bytes& chunk)
    {
        if (chunk.empty())
            Port_ReadQuietEvent(handle_);
        else
            Port_ReadedEvent(chunk.data(), static_cast<unsigned>(chunk.size()), handle_);
    }

    Bytes Ring() const
    {
        const int available = CP_Port_Available(handle_);
        Bytes out(available > 0 ? available : 0);
        if (!out.empty()) {
            EXPECT_EQ(CP_Port_Read(handle_, out.data(), available, 1000), available);
        }
        return out;
    }

    std::vector<StoredPacket> Packets() const
    {
        std::lock_guard<std::mutex> lock(io().protoMutex);
        std::vector<StoredPacket> out;
        for (const NZReceivedProtoPackage& p : io().protoPackages)
            out.push_back({p.command, p.parameter, Bytes(p.data, p.data + p.length)});
        return out;
    }

private:
    std::shared_ptr<qvtest::FakeTransport> fake_;
    void* handle_;
};

std::vector<StatusWords> StatusEvents(const qvtest::CallbackRecorder& events, void* h)
{
    std::vector<StatusWords> out;
    for (const auto& e : events.Of(EventKind::PrinterStatus, h)) out.push_back({e.value1, e.value2});
    return out;
}

std::vector<int64_t> Values(const qvtest::CallbackRecorder& events, EventKind kind, void* h)
{
    std::vector<int64_t> out;
    for (const auto& e : events.Of(kind, h)) out.push_back(e.value1);
    return out;
}

// The handle's records after a case: status words, resolution, counts, adjustments.
struct RecordValues {
    uint64_t error = 0, info = 0;
    unsigned dots = 0, width = 0, height = 0;
    uint32_t printed = 0, received = 0;
    int print = 0, tear = 0;
    bool operator==(const RecordValues&) const = default;

    static RecordValues Of(IOHandle& h)
    {
        std::lock_guard<std::mutex> lock(h.velnorMutex);
        return {h.velnorStatus.printer_error_status, h.velnorStatus.printer_info_status,
                h.velnorInfo.dots_per_mm, h.velnorInfo.width_mm, h.velnorInfo.height_mm,
                h.velnorPrinted.printer_printed_page_id,
                h.velnorReceived.printer_received_byte_count,
                h.velnorPositionAdjustment.print_position_adjustment,
                h.velnorPositionAdjustment.tear_position_adjustment};
    }
    std::string Describe() const
    {
        std::ostringstream s;
        s << "error " << error << " info " << info << " dots " << dots << " " << width << "x"
          << height << " printed " << printed << " received " << received << " print " << print
          << " tear " << tear;
        return s.str();
    }
};

struct SplitCase {
    const char* name;
    std::vector<Bytes> chunks;
    Bytes ring;
    std::vector<StatusWords> status;
    std::vector<int64_t> printed;
    std::vector<int64_t> received;
    std::vector<StoredPacket> packets;
    RecordValues records;
};

TEST(PortReadedEvent, SplitsChunksIntoFramesPacketsAndPlainBytes)
{
    const Bytes status0 = VelnorFrame(0, 0x01, 0x02, 0x03, 0x04, 0x05);
    const Bytes bad = [&] { Bytes b = status0; b[7] ^= 0xFF; return b; }();
    const Bytes printed = VelnorFrame(2, 0x01, 0x02, 0x03, 0x04);
    const Bytes counted = VelnorFrame(3, 0x01, 0x02, 0x03, 0x04);
    const Bytes status6 = VelnorFrame(6, 0x56, 0x78);
    const Bytes silent = Cat({VelnorFrame(5, 1), VelnorFrame(7, 1), VelnorFrame(8, 1), VelnorFrame(9, 1)});
    const Bytes comm = Packet(32, 0, Text("V1.0.3"));
    const Bytes battery = Packet(63, 86, Text("\x00\x00\x00\x00" "87"));
    // A status frame inside a packet body: the frame is taken out of the plain bytes, the
    // packet reader still sees every byte.
    const Bytes framed = Packet(44, 0x100, Cat({{0xAA}, status0, {0xBB}}));
    const Bytes framedPlain = Cat({Bytes(framed.begin(), framed.begin() + 13), {0xBB}});

    const SplitCase cases[] = {
        {"frame between two plain bytes", {Cat({{0x41}, status0, {0x42}})}, {0x41, 0x42},
         {{0x03, 0x02}}, {}, {}, {}, {.error = 0x03, .info = 0x02}},
        {"frame split 3 + 5 over two chunks",
         {Bytes(status0.begin(), status0.begin() + 3), Bytes(status0.begin() + 3, status0.end())},
         {}, {{0x03, 0x02}}, {}, {}, {}, {.error = 0x03, .info = 0x02}},
        {"chunk ends right after the head byte",
         {{0x41, 0x53}, Cat({Bytes(status0.begin() + 1, status0.end()), {0x42}})}, {0x41, 0x42},
         {{0x03, 0x02}}, {}, {}, {}, {.error = 0x03, .info = 0x02}},
        {"bad check byte, no later 0x53: all eight plain", {bad}, bad, {}, {}, {}, {}, {}},
        {"rejected run resyncs on the later 0x53", {Cat({{0x53, 0x11}, printed})}, {0x53, 0x11},
         {}, {67305985}, {}, {}, {.printed = 67305985}},
        {"types 5, 7, 8, 9 are consumed silently", {silent}, {}, {}, {}, {}, {}, {}},
        {"printed id LSB first, received count MSB first", {Cat({printed, counted})}, {}, {},
         {67305985}, {16909060}, {}, {.printed = 67305985, .received = 16909060}},
        {"resolution and adjustments update records only",
         {Cat({VelnorFrame(1, 0x11, 0x22, 8, 80, 120), VelnorFrame(4, 0xFE, 0x05, 0x33)})}, {},
         {}, {}, {}, {}, {.dots = 8, .width = 80, .height = 120, .print = 5, .tear = -2}},
        {"type 6 keeps the error bits of type 0", {status0, status6}, {},
         {{0x03, 0x02}, {0x567803, 0x02}}, {}, {}, {}, {.error = 0x567803, .info = 0x02}},
        {"packets are stored and also reach the ring as plain bytes",
         {Cat({Text("OK"), comm, battery})}, Cat({Text("OK"), comm, battery}), {}, {}, {},
         {{32, 0, Text("V1.0.3")}, {63, 86, Text("\x00\x00\x00\x00" "87")}}, {}},
        {"packet split over three chunks",
         {Bytes(comm.begin(), comm.begin() + 5), Bytes(comm.begin() + 5, comm.begin() + 13),
          Bytes(comm.begin() + 13, comm.end())},
         comm, {}, {}, {}, {{32, 0, Text("V1.0.3")}}, {}},
        {"status frame inside a packet body", {framed}, framedPlain, {{0x03, 0x02}}, {}, {},
         {{44, 0x100, Cat({{0xAA}, status0, {0xBB}})}}, {.error = 0x03, .info = 0x02}},
        {"reply holding 0x53 goes whole to the ring when the link goes quiet",
         {Cat({Text("_SN0042"), {0x00}}), {}}, Cat({Text("_SN0042"), {0x00}}), {}, {}, {}, {},
         {}},
        {"a quiet spell between plain bytes changes nothing", {{0x41}, {}, {0x42}},
         {0x41, 0x42}, {}, {}, {}, {}, {}},
        {"a frame after a released partial one still counts",
         {Bytes(status0.begin(), status0.begin() + 3), {}, status0},
         Bytes(status0.begin(), status0.begin() + 3), {{0x03, 0x02}}, {}, {}, {},
         {.error = 0x03, .info = 0x02}},
    };
    for (const SplitCase& c : cases) {
        qvtest::CallbackRecorder events;
        SplitPort port;
        ASSERT_NE(port.handle(), nullptr) << c.name;
        for (const Bytes& chunk : c.chunks) port.Receive(chunk);

        const Bytes ring = port.Ring();
        EXPECT_EQ(ring, c.ring) << c.name << "\n got  " << Hex(ring) << "\n want " << Hex(c.ring);
        EXPECT_EQ(StatusEvents(events, port.handle()), c.status) << c.name;
        EXPECT_EQ(Values(events, EventKind::PrinterPrinted, port.handle()), c.printed) << c.name;
        EXPECT_EQ(Values(events, EventKind::PrinterReceived, port.handle()), c.received) << c.name;
        EXPECT_EQ(port.Packets(), c.packets) << c.name;
        const RecordValues records = RecordValues::Of(port.io());
        EXPECT_EQ(records, c.records) << c.name << "\n got  " << records.Describe()
                                      << "\n want " << c.records.Describe();

        // The port-received callbacks get every chunk whole, frame and packet bytes included.
        std::vector<Bytes> received;
        for (const Bytes& chunk : c.chunks)
            if (!chunk.empty()) received.push_back(chunk);
        const auto raw = events.Of(EventKind::Received, port.handle());
        ASSERT_EQ(raw.size(), received.size()) << c.name;
        for (size_t i = 0; i < raw.size(); ++i) EXPECT_EQ(raw[i].data, received[i]) << c.name;
    }
}

// Whether a packet reader of its own, fed every byte of `stream`, would find a packet in it.
bool LoneReaderFindsAPacket(const Bytes& stream, bool checks)
{
    static NZProtoHandlerPro reader;  // its 64 KiB buffer is made once
    reader.ResetHandler();
    reader.SetCheckHeader(checks);
    reader.SetCheckBody(checks);
    for (unsigned char b : stream)
        if (reader.HandleByte(b)) return true;
    return false;
}

// A frame of `type` whose data bytes d1 and d3 are chosen so that a packet header begun at
// the 0x03 inside `lead` passes its check with this frame's bytes and the next frame's, and
// holds a packet reader of its own past `reply`.
Bytes FollowerHidingTheReply(const Bytes& lead, unsigned char type, const Bytes& next,
                             const Bytes& reply)
{
    for (int d3 = 0; d3 < 256; ++d3)
        for (int d1 = 0; d1 < 256; ++d1) {
            const Bytes f = VelnorFrame(type, static_cast<unsigned char>(d1), 0x20,
                                        static_cast<unsigned char>(d3), 0x40, 0x50);
            if (!LoneReaderFindsAPacket(Cat({lead, f, next, reply}), true)) return f;
        }
    return {};
}

// Status frames carry 0x03 bytes (a received-count frame's type byte, data and check bytes)
// that a packet header may begin at. Such a header, made of frame bytes, must not keep the
// packet reader from a reply that follows: every frame kind, every count whose data bytes
// XOR to 0, checks on and off (the UDP framed-protocol open), any cut into chunks.
TEST(PortReadedEvent, StatusFramesInFrontOfAReplyNeverHideIt)
{
    const Bytes body = Cat({Bytes(4, 0), Text("77")});
    const Bytes reply = Packet(63, 86, body);
    const Bytes next = VelnorFrame(2, 9);
    struct Row {
        std::string name;
        Bytes frames;
        bool checks;
    };
    std::vector<Row> rows;
    // A received count whose five data bytes XOR to 0 puts 03 50 at the frame's end, and the
    // next frame then completes a header that passes its check.
    for (uint32_t count : {0u, 771u, 0x11223300u, 0xFFFF0000u})
        for (unsigned char kind = 0; kind <= 9; ++kind)
            rows.push_back({"received count " + std::to_string(count) + ", then a type " +
                                std::to_string(kind) + " frame",
                            Cat({VelnorFrame(3, count >> 24, count >> 16, count >> 8, count),
                                 VelnorFrame(kind, 0x33), next}),
                            true});
    // 0x03 as a data byte at each offset, or as the check byte, of each frame kind.
    for (unsigned char kind = 0; kind <= 9; ++kind) {
        for (int offset = 1; offset <= 5; ++offset) {
            Bytes lead = VelnorFrame(kind, 0x10, 0x11, 0x12, 0x13, 0x14);
            lead[offset] = 0x03;
            // From offset 5 the header's check covers all of the follower, so it can pass
            // only when the lead's last three bytes XOR to 0: d1 makes them.
            if (offset == 5) lead[1] = 0x53 ^ 0x11 ^ 0x12 ^ 0x13;
            lead[7] = 0;
            lead[7] = NZProtoHandler::Xor(lead.data(), 8);
            rows.push_back({"0x03 at offset " + std::to_string(offset) + " of a type " +
                                std::to_string(kind) + " frame",
                            Cat({lead, FollowerHidingTheReply(lead, 0, next, reply), next}),
                            true});
        }
        // The check byte is 0x03 when the other seven bytes XOR to it; the header then holds
        // the whole next frame, and its check is the first data byte of the one after.
        const Bytes lead = VelnorFrame(kind, static_cast<unsigned char>(0x53 ^ 0x03 ^ kind));
        rows.push_back({"check byte 0x03 of a type " + std::to_string(kind) + " frame",
                        Cat({lead, VelnorFrame(1, 0x20), VelnorFrame(2, 0x50)}), true});
        // Unchecked, any 0x03 holds the reader.
        rows.push_back({"checks off: 0x03 in a type " + std::to_string(kind) + " frame",
                        VelnorFrame(kind, 0x01, 0x02, 0x03, 0x04), false});
    }
    rows.push_back({"checks off: received count 16909060", VelnorFrame(3, 1, 2, 3, 4), false});

    const size_t chunkSizes[] = {0, 1, 3, 5, 7, 8, 13};  // 0: one chunk
    for (const Row& row : rows) {
        ASSERT_EQ(row.frames.size() % 8, 0u) << row.name;
        const Bytes stream = Cat({row.frames, reply});
        // The row is a real trap: the frames' bytes alone keep a packet reader from the reply.
        ASSERT_FALSE(LoneReaderFindsAPacket(stream, row.checks)) << row.name << ": " << Hex(stream);
        for (size_t chunk : chunkSizes) {
            SplitPort port;
            ASSERT_NE(port.handle(), nullptr);
            port.io().protoHandler.SetCheckHeader(row.checks);
            port.io().protoHandler.SetCheckBody(row.checks);
            const size_t step = chunk == 0 ? stream.size() : chunk;
            for (size_t at = 0; at < stream.size(); at += step)
                port.Receive(Bytes(stream.begin() + at,
                                   stream.begin() + std::min(stream.size(), at + step)));
            EXPECT_EQ(port.Packets(), (std::vector<StoredPacket>{{63, 86, body}}))
                << row.name << ", chunks of " << chunk << ": " << Hex(stream);
            EXPECT_EQ(port.Ring(), reply) << row.name << ", chunks of " << chunk;
        }
    }
}

TEST(PortReadedEvent, RecordsHoldTheLastValueOfEachKind)
{
    SplitPort port;
    ASSERT_NE(port.handle(), nullptr);
    const int64_t before = RAZITimeStamp::GetSysTimeMs();
    port.Receive(Cat({VelnorFrame(1, 0, 0, 8, 80, 120), VelnorFrame(4, 0xFE, 0x05),
                      VelnorFrame(0, 0, 0x10, 0x20), VelnorFrame(2, 9), VelnorFrame(3, 0, 0, 0, 7),
                      VelnorFrame(2, 10)}));
    IOHandle& h = port.io();
    std::lock_guard<std::mutex> lock(h.velnorMutex);
    EXPECT_EQ(h.velnorInfo.dots_per_mm, 8);
    EXPECT_EQ(h.velnorInfo.width_mm, 80);
    EXPECT_EQ(h.velnorInfo.height_mm, 120);
    EXPECT_EQ(h.velnorPositionAdjustment.tear_position_adjustment, -2);
    EXPECT_EQ(h.velnorPositionAdjustment.print_position_adjustment, 5);
    EXPECT_EQ(h.velnorStatus.printer_error_status, 0x20u);
    EXPECT_EQ(h.velnorStatus.printer_info_status, 0x10u);
    EXPECT_EQ(h.velnorPrinted.printer_printed_page_id, 10u);
    EXPECT_EQ(h.velnorReceived.printer_received_byte_count, 7u);
    for (uint64_t t : {h.velnorInfo.timestamp_ms, h.velnorPositionAdjustment.timestamp_ms,
                       h.velnorStatus.timestamp_ms, h.velnorPrinted.timestamp_ms,
                       h.velnorReceived.timestamp_ms})
        EXPECT_GE(static_cast<int64_t>(t), before);
}

TEST(PortReadedEvent, FullRingDropsPlainBytesButNotFrames)
{
    qvtest::CallbackRecorder events;
    SplitPort port;
    ASSERT_NE(port.handle(), nullptr);
    Bytes flood(RAZIRxBuffer::kDefaultSize + 10);
    for (size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<unsigned char>(i % 0x50);
    port.Receive(Cat({flood, VelnorFrame(0, 0, 0x01, 0x02)}));
    const Bytes ring = port.Ring();
    ASSERT_EQ(ring.size(), RAZIRxBuffer::kDefaultSize - 1);
    EXPECT_TRUE(std::equal(ring.begin(), ring.end(), flood.begin()));
    EXPECT_EQ(StatusEvents(events, port.handle()), (std::vector<StatusWords>{{0x02, 0x01}}));
}

TEST(PortReadedEvent, FirmwareTextIsTheLatestCommand32Body)
{
    SplitPort port;
    ASSERT_NE(port.handle(), nullptr);
    Bytes longVersion(300);
    for (size_t i = 0; i < longVersion.size(); ++i) longVersion[i] = static_cast<unsigned char>('a' + i % 26);
    auto text = [&] {
        std::lock_guard<std::mutex> lock(port.io().protoMutex);
        return std::string(port.io().protoFirmwareVersion.text);
    };
    port.Receive(Packet(32, 0, longVersion));
    EXPECT_EQ(text(), std::string(longVersion.begin(), longVersion.begin() + 255));
    port.Receive(Packet(33, 0, Text("not a version")));
    port.Receive(Packet(32, 0, Text("V2.0")));
    EXPECT_EQ(text(), "V2.0");
    EXPECT_EQ(port.Packets().size(), 3u);
}

TEST(PortReadedEvent, UndrainedPacketListKeepsTheNewest)
{
    SplitPort port;
    ASSERT_NE(port.handle(), nullptr);
    Bytes stream;
    for (uint32_t i = 0; i < kMaxReceivedProtoPackages + 3; ++i) {
        const Bytes p = Packet(63, i, {});
        stream.insert(stream.end(), p.begin(), p.end());
    }
    port.Receive(stream);
    const auto packets = port.Packets();
    ASSERT_EQ(packets.size(), kMaxReceivedProtoPackages);
    EXPECT_EQ(packets.front().parameter, 3u);
    EXPECT_EQ(packets.back().parameter, kMaxReceivedProtoPackages + 2);
}

TEST(PortReadedEvent, RefusedContextsDoNothing)
{
    qvtest::CallbackRecorder events;
    const Bytes chunk = Cat({{0x41}, VelnorFrame(0, 0, 1, 2)});
    int notAHandle = 0;
    Port_ReadedEvent(chunk.data(), static_cast<unsigned>(chunk.size()), nullptr);
    Port_ReadedEvent(chunk.data(), static_cast<unsigned>(chunk.size()), &notAHandle);

    void* stale = nullptr;
    {
        SplitPort port;
        stale = port.handle();
        Port_ReadedEvent(nullptr, 5, stale);
        Port_ReadedEvent(chunk.data(), 0, stale);
        EXPECT_EQ(port.Ring(), Bytes{});
    }
    Port_ReadedEvent(chunk.data(), static_cast<unsigned>(chunk.size()), stale);
    // The written hook refuses the same contexts.
    for (void* context : {static_cast<void*>(nullptr), static_cast<void*>(&notAHandle), stale})
        Port_WritedEvent(chunk.data(), static_cast<unsigned>(chunk.size()), context);
    EXPECT_EQ(events.Count(EventKind::PrinterStatus), 0u);
    EXPECT_EQ(events.Count(EventKind::Received, stale), 0u);
    EXPECT_EQ(events.Count(EventKind::Written, nullptr), 0u);
    EXPECT_EQ(events.Count(EventKind::Written, &notAHandle), 0u);
    EXPECT_EQ(events.Count(EventKind::Written, stale), 0u);
}

// Which of the handle's record, receive-ring and packet mutexes another thread could take
// while a callback of `target` ran, one entry per callback.
struct MutexProbe {
    static inline void* target = nullptr;
    static inline std::mutex mutex;
    static inline std::vector<std::array<bool, 3>> seen;

    static void Probe(void* handle)
    {
        if (handle != target) return;
        auto& h = *ptrs().Peek(handle);
        // try_lock from this thread would be undefined if it held the mutex itself.
        std::array<bool, 3> takeable{};
        std::thread([&] {
            std::mutex* m[3] = {&h.velnorMutex, &h.receiveMutex, &h.protoMutex};
            for (int i = 0; i < 3; ++i)
                if ((takeable[i] = m[i]->try_lock())) m[i]->unlock();
        }).join();
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(takeable);
    }
    static void Status(void* h, int64_t, int64_t, void*) { Probe(h); }
    static void Count(void* h, unsigned int, void*) { Probe(h); }
    static void Raw(void* h, const unsigned char*, unsigned int, void*) { Probe(h); }
};

TEST(PortReadedEvent, CallbacksRunWithNoHandleMutexHeld)
{
    SplitPort port;
    ASSERT_NE(port.handle(), nullptr);
    MutexProbe::target = port.handle();
    ASSERT_TRUE(AddPrinterStatusEventToStructList(&MutexProbe::Status, nullptr));
    ASSERT_TRUE(AddPrinterPrintedEventToStructList(&MutexProbe::Count, nullptr));
    ASSERT_TRUE(AddPrinterReceivedEventToStructList(&MutexProbe::Count, nullptr));
    ASSERT_TRUE(AddPortReceivedEventToStructList(&MutexProbe::Raw, nullptr));
    port.Receive(Cat({{0x41}, VelnorFrame(0, 0, 1, 2), VelnorFrame(2, 1), VelnorFrame(3, 1),
                      Packet(32, 0, Text("V1")), VelnorFrame(6, 1)}));
    RemovePrinterStatusEventFromStructList(&MutexProbe::Status);
    RemovePrinterPrintedEventFromStructList(&MutexProbe::Count);
    RemovePrinterReceivedEventFromStructList(&MutexProbe::Count);
    RemovePortReceivedEventFromStructList(&MutexProbe::Raw);
    MutexProbe::target = nullptr;

    std::lock_guard<std::mutex> lock(MutexProbe::mutex);
    ASSERT_EQ(MutexProbe::seen.size(), 5u);  // two status, printed, received, the raw chunk
    for (const auto& takeable : MutexProbe::seen)
        EXPECT_EQ(takeable, (std::array<bool, 3>{true, true, true}));
}

// Records the thread its last owner destroys it on.
class WatchedTransport : public qvtest::FakeTransport {
public:
    struct Watch {
        std::mutex mutex;
        std::condition_variable destroyed;
        bool gone = false;
        std::thread::id thread;
    };
    explicit WatchedTransport(std::shared_ptr<Watch> watch)
        : FakeTransport(Mode::Unthreaded), watch_(std::move(watch))
    {
    }
    ~WatchedTransport() override
    {
        std::lock_guard<std::mutex> lock(watch_->mutex);
        watch_->gone = true;
        watch_->thread = std::this_thread::get_id();
        watch_->destroyed.notify_all();
    }

private:
    std::shared_ptr<Watch> watch_;
};

void CloseFromCallback(void* handle, const unsigned char*, unsigned int, void* target)
{
    if (handle == target) CP_Port_Close(handle);
}

TEST(PortReadedEvent, NeverDestroysItsHandleOnTheReadingThread)
{
    auto watch = std::make_shared<WatchedTransport::Watch>();
    void* handle = nullptr;
    {
        auto transport = std::make_shared<WatchedTransport>(watch);
        transport->Open();
        // No closed hook: once the callback's close drops the open's reference, the hook's
        // own reference is the last one.
        handle = OpenHandleOnTransport(transport, 2, "last-ref", 0, false);
        ASSERT_NE(handle, nullptr);
    }
    ASSERT_TRUE(AddPortReceivedEventToStructList(&CloseFromCallback, handle));
    const Bytes chunk = {0x41};
    Port_ReadedEvent(chunk.data(), 1, handle);
    RemovePortReceivedEventFromStructList(&CloseFromCallback);

    std::unique_lock<std::mutex> lock(watch->mutex);
    ASSERT_TRUE(watch->destroyed.wait_for(lock, 5s, [&] { return watch->gone; }));
    EXPECT_NE(watch->thread, std::this_thread::get_id());
    EXPECT_FALSE(ptrs().IsRegistered(handle));
}

TEST(PortReadedEvent, ThreadedPortDeliversThroughItsReader)
{
    qvtest::CallbackRecorder events;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake, 2, "split-threaded");
    ASSERT_NE(handle, nullptr);
    const Bytes frame = VelnorFrame(0, 0, 0x04, 0x08);
    fake->PushReads({Cat({{0x41}, Bytes(frame.begin(), frame.begin() + 4)}),
                     Cat({Bytes(frame.begin() + 4, frame.end()), {0x42}})});
    ASSERT_TRUE(events.WaitForHandle(EventKind::Received, handle, 2, 5s));

    unsigned char in[2] = {};
    EXPECT_EQ(CP_Port_Read(handle, in, 2, 1000), 2);
    EXPECT_EQ(Bytes(in, in + 2), (Bytes{0x41, 0x42}));
    const auto status = events.Of(EventKind::PrinterStatus, handle);
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].value1, 0x08);
    EXPECT_EQ(status[0].value2, 0x04);
    EXPECT_NE(status[0].thread, std::this_thread::get_id());
    EXPECT_EQ(status[0].thread, events.Of(EventKind::Received, handle)[0].thread);
    EXPECT_TRUE(CP_Port_Close(handle));
}

// A serial-number reply holds the frame's head byte 0x53 and seven bytes after it, but no
// more comes: the reader gets it whole, long before its timeout.
TEST(PortReadedEvent, ReplyHoldingTheFrameHeadIsNotHeldBack)
{
    qvtest::ScopedPortTiming timing;
    qvtest::LoopbackTcpPrinter printer;
    const Bytes query = {0x1D, 0x49, 0x44};
    const Bytes serial = Cat({Text("_SN0042"), {0x00}});
    printer.AddReply(query, serial);
    void* handle = CP_Port_OpenTcp(nullptr, qvtest::LoopbackTcpPrinter::kAddress, printer.Port(),
                                   2000, 0);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(CP_Port_Write(handle, query.data(), 3, 1000), 3);
    Bytes got(serial.size());
    EXPECT_EQ(CP_Port_Read(handle, got.data(), static_cast<int>(got.size()), 3000), 8);
    EXPECT_EQ(got, serial) << Hex(got);
    EXPECT_TRUE(CP_Port_Close(handle));
}

}  // namespace
