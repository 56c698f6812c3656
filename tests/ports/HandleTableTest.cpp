// The handle table and the handle contract of the exported calls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ports/IOHandle.h"
#include "ports/PtrAutoDeleteManager.h"
#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/FakeTransport.h"
#include "support/Gate.h"
#include "support/ScopedPortTiming.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;
using qvtest::EventKind;

namespace {

struct Counted {
    static std::atomic<int> destroyed;
    ~Counted() { destroyed.fetch_add(1); }
};
std::atomic<int> Counted::destroyed{0};

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 2s) {
    auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(PtrAutoDeleteManager, SlotsAndCounts) {
    Counted::destroyed = 0;
    PtrAutoDeleteManager<Counted> table(2);
    auto* a = new Counted;
    auto* b = new Counted;
    Counted c;  // never registered
    int not_a_handle = 0;
    EXPECT_EQ(table.InitPtr(nullptr), nullptr);
    void* ha = table.InitPtr(a);
    ASSERT_NE(ha, nullptr);
    EXPECT_NE(ha, static_cast<void*>(a));  // a value of its own, not the address
    EXPECT_EQ(table.InitPtr(a), nullptr);  // one object, one slot
    void* hb = table.InitPtr(b);
    ASSERT_NE(hb, nullptr);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(table.InitPtr(&c), nullptr);  // full
    for (void* foreign : {static_cast<void*>(&c), static_cast<void*>(a), static_cast<void*>(&not_a_handle)}) {
        EXPECT_EQ(table.AddRef(foreign), nullptr);
        EXPECT_FALSE(table.Release(foreign));
    }
    EXPECT_EQ(table.AddRef(ha), a);
    EXPECT_EQ(table.RefCount(ha), 2u);
    EXPECT_FALSE(table.Release(ha));  // count 2 -> 1: still registered
    EXPECT_TRUE(table.IsRegistered(ha));
    EXPECT_TRUE(table.Release(ha));  // destroyed
    EXPECT_EQ(Counted::destroyed.load(), 1);
    EXPECT_EQ(table.AddRef(ha), nullptr);  // a stale value is refused
    auto* d = new Counted;
    void* hd = table.InitPtr(d);  // takes the freed slot, under a value never seen before
    ASSERT_NE(hd, nullptr);
    EXPECT_NE(hd, ha);
    EXPECT_EQ(table.AddRef(ha), nullptr);
    EXPECT_EQ(table.Peek(hd), d);
    EXPECT_EQ(table.Peek(ha), nullptr);
    EXPECT_TRUE(table.Release(hb));
    EXPECT_TRUE(table.Release(hd));
    EXPECT_EQ(Counted::destroyed.load(), 3);
}

namespace {

// Every object of this type lives at one address, as an allocator may hand a freed block back.
struct Recycled {
    alignas(std::max_align_t) static unsigned char storage[64];
    static void* operator new(size_t) { return storage; }
    static void operator delete(void*) {}
};
alignas(std::max_align_t) unsigned char Recycled::storage[64];

}  // namespace

TEST(PtrAutoDeleteManager, SameAddressAgainGetsANewValue) {
    PtrAutoDeleteManager<Recycled> table(1);
    std::vector<void*> seen;
    for (int i = 0; i < 3; ++i) {
        auto* object = new Recycled;
        ASSERT_EQ(static_cast<void*>(object), static_cast<void*>(Recycled::storage));
        void* handle = table.InitPtr(object);
        ASSERT_NE(handle, nullptr);
        for (void* old : seen) {
            EXPECT_NE(handle, old);
            EXPECT_EQ(table.AddRef(old), nullptr);
            EXPECT_FALSE(table.Release(old));
        }
        seen.push_back(handle);
        EXPECT_TRUE(table.Release(handle));
    }
}

TEST(PtrAutoDeleteManager, WithdrawnHandleServesOnlyItsHolders) {
    Counted::destroyed = 0;
    PtrAutoDeleteManager<Counted> table(2);
    auto* a = new Counted;
    void* h = table.InitPtr(a);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(table.IsServed(h));
    EXPECT_TRUE(table.Withdraw(h));
    EXPECT_FALSE(table.Withdraw(h));  // once
    EXPECT_FALSE(table.IsServed(h));
    EXPECT_TRUE(table.IsRegistered(h));
    EXPECT_EQ(table.AddRef(h), nullptr);
    EXPECT_EQ(table.AddRefWithdrawn(h), a);  // the owner's own threads finish with it
    EXPECT_EQ(table.RefCount(h), 2u);
    EXPECT_TRUE(table.ReleaseUnlessLast(h));
    EXPECT_FALSE(table.ReleaseUnlessLast(h));  // the last stays
    EXPECT_TRUE(table.Release(h));
    EXPECT_EQ(Counted::destroyed.load(), 1);
    EXPECT_FALSE(table.Withdraw(h));
    EXPECT_EQ(table.AddRefWithdrawn(h), nullptr);
}

TEST(PtrAutoDeleteManager, NewValuesPassOverLiveOnesWhenTheCounterWraps) {
    PtrAutoDeleteManager<Counted> table(3);
    // The last values before the counter wraps, as a 32-bit build reaches them.
    const uintptr_t top = UINTPTR_MAX;
    table.SetLastValueForTesting(top - 4);
    auto* a = new Counted;
    auto* b = new Counted;
    void* ha = table.InitPtr(a);
    void* hb = table.InitPtr(b);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ha), top - 2);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(hb), top);
    ASSERT_TRUE(table.Withdraw(hb));  // withdrawn, still referenced: its value stays taken
    table.SetLastValueForTesting(top - 4);
    auto* c = new Counted;
    void* hc = table.InitPtr(c);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(hc), 1u);  // wrapped, past both live values
    EXPECT_EQ(table.AddRef(ha), a);
    EXPECT_EQ(table.AddRefWithdrawn(hb), b);
    EXPECT_EQ(table.Peek(hc), c);
    EXPECT_FALSE(table.Release(ha));
    EXPECT_TRUE(table.Release(ha));
    EXPECT_FALSE(table.Release(hb));
    EXPECT_TRUE(table.Release(hb));
    EXPECT_TRUE(table.Release(hc));
}

TEST(PtrAutoDeleteManager, WithdrawnObjectLeavesItsSlotForTheNext) {
    Counted::destroyed = 0;
    PtrAutoDeleteManager<Counted> table(1);
    auto* a = new Counted;
    void* ha = table.InitPtr(a);
    ASSERT_NE(ha, nullptr);
    EXPECT_EQ(table.AddRefWithdrawn(ha), a);  // a reference that outlives the withdrawal
    ASSERT_TRUE(table.Withdraw(ha));
    auto* b = new Counted;
    void* hb = table.InitPtr(b);
    ASSERT_NE(hb, nullptr);
    EXPECT_EQ(table.ServedCount(), 1u);
    EXPECT_EQ(table.RegisteredCount(), 2u);
    EXPECT_EQ(table.InitPtr(a), nullptr);  // still registered, though slotless
    EXPECT_FALSE(table.Release(ha));
    EXPECT_EQ(Counted::destroyed.load(), 0);
    EXPECT_TRUE(table.Release(ha));
    EXPECT_EQ(Counted::destroyed.load(), 1);
    EXPECT_EQ(table.AddRefWithdrawn(ha), nullptr);
    EXPECT_TRUE(table.Release(hb));
    EXPECT_EQ(table.RegisteredCount(), 0u);
}

TEST(HandleContract, NullAndUnknownHandlesGetFailureValues) {
    int not_a_handle = 0;
    void* const bad_handles[] = {nullptr, &not_a_handle};
    unsigned char buffer[4] = {};
    int values[2] = {};
    for (void* h : bad_handles) {
        SCOPED_TRACE(h == nullptr ? "null" : "unregistered");
        EXPECT_EQ(CP_Port_Write(h, buffer, 4, 10), -1);
        EXPECT_EQ(CP_Port_Read(h, buffer, 4, 10), -1);
        EXPECT_EQ(CP_Port_ReadUntilByte(h, buffer, 4, 10, 0x0A), -1);
        EXPECT_EQ(CP_Port_Available(h), -1);
        EXPECT_FALSE(CP_Port_SkipAvailable(h));
        EXPECT_FALSE(CP_Port_IsOpened(h));
        EXPECT_FALSE(CP_Port_IsConnectionValid(h));
        EXPECT_FALSE(CP_Port_SetDefaultWriteTimeout(h, 100));
        EXPECT_FALSE(CP_Port_SetComBaudrate(h, 9600));
        EXPECT_FALSE(CP_Port_ClearBtBleProtoV2PacketSendTimesList(h));
        EXPECT_EQ(CP_Port_GetBtBleProtoV2PacketSendTimesListLength(h), 0);
        EXPECT_EQ(CP_Port_GetBtBleProtoV2PacketSendTimesListValue(h, values, 2), 0);
        EXPECT_EQ(CP_Port_GetMemoryBufferDataPointer(h), nullptr);
        EXPECT_EQ(CP_Port_GetMemoryBufferDataLength(h), 0u);
        EXPECT_FALSE(CP_Port_ClearMemoryBufferData(h));
        EXPECT_FALSE(CP_Port_Close(h));
    }
}

TEST(HandleContract, ClosedHandleIsRefusedAndSecondCloseIsFalse) {
    void* handle = CP_Port_OpenMemoryBuffer(8);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(CP_Port_Close(handle));
    EXPECT_FALSE(CP_Port_Close(handle));
    const unsigned char byte = 1;
    EXPECT_EQ(CP_Port_Write(handle, &byte, 1, 10), -1);
    EXPECT_EQ(CP_Port_GetMemoryBufferDataLength(handle), 0u);
}

TEST(HandleContract, HundredSlotsThenOpenFails) {
    qvtest::ScopedPortTiming timing;
    qvtest::TempDir dir;
    qvtest::CallbackRecorder events;
    ASSERT_EQ(ptrs().RegisteredCount(), 0u);
    std::vector<void*> handles;
    for (int i = 0; i < 100; ++i) {
        void* h = CP_Port_OpenFile(dir.File("port" + std::to_string(i)).c_str());
        ASSERT_NE(h, nullptr) << i;
        handles.push_back(h);
    }
    const std::string extra = dir.File("extra");
    EXPECT_EQ(CP_Port_OpenFile(extra.c_str()), nullptr);
    EXPECT_TRUE(events.WaitForName(EventKind::OpenFailed, extra, 1, 2s));
    EXPECT_EQ(events.Of(EventKind::OpenFailed).back().handle, nullptr);
    EXPECT_EQ(CP_Port_OpenMemoryBuffer(4), nullptr);
    auto refused = std::make_shared<qvtest::FakeTransport>(qvtest::FakeTransport::Mode::Unthreaded);
    EXPECT_EQ(qvtest::OpenFakeHandle(refused), nullptr);
    EXPECT_EQ(refused->BaseCloseCount(), 1);  // the transport it had opened is closed again
    EXPECT_FALSE(refused->IsOpened());

    ASSERT_TRUE(CP_Port_Close(handles[37]));
    ASSERT_TRUE(waitFor([&] { return ptrs().RegisteredCount() == 99; }));
    void* again = CP_Port_OpenFile(extra.c_str());
    EXPECT_NE(again, nullptr);
    handles[37] = again;
    for (size_t i = 0; i < handles.size(); ++i) EXPECT_TRUE(CP_Port_Close(handles[i])) << i << " " << handles[i];
    EXPECT_TRUE(waitFor([&] { return ptrs().RegisteredCount() == 0; }));
}

namespace {

// A written or closed callback that holds the call or event thread (and so its reference)
// until released.
struct Gate : qvtest::Gate {
    void* handle = nullptr;

    static void OnWritten(void* handle, const unsigned char*, unsigned int, void* context) {
        static_cast<Gate*>(context)->HoldFor(handle);
    }
    static void OnClosed(void* handle, void* context) { static_cast<Gate*>(context)->HoldFor(handle); }
    void HoldFor(void* seen) {
        if (seen == handle) Hold();
    }
};

}  // namespace

TEST(HandleContract, SlotIsFreeOnceCloseReturns) {
    qvtest::ScopedPortTiming timing;
    qvtest::TempDir dir;
    ASSERT_EQ(ptrs().ServedCount(), 0u);
    std::vector<void*> handles;
    for (int i = 0; i < 100; ++i) {
        void* h = CP_Port_OpenFile(dir.File("port" + std::to_string(i)).c_str());
        ASSERT_NE(h, nullptr) << i;
        handles.push_back(h);
    }
    Gate gate;
    gate.handle = handles[0];
    ASSERT_TRUE(CP_Port_AddOnPortClosedEvent(&Gate::OnClosed, &gate));
    ASSERT_TRUE(CP_Port_Close(handles[0]));
    gate.WaitEntered();  // its closed-event thread still holds the closed port
    void* next = CP_Port_OpenFile(dir.File("next").c_str());
    EXPECT_NE(next, nullptr);
    gate.Open();
    handles[0] = next;
    for (void* h : handles) EXPECT_TRUE(h == nullptr || CP_Port_Close(h));
    EXPECT_TRUE(waitFor([&] { return ptrs().RegisteredCount() == 0; }));
    EXPECT_TRUE(CP_Port_RemoveOnPortClosedEvent(&Gate::OnClosed));
}

TEST(HandleContract, CloseDuringCallFreesOnlyWhenThatCallReturns) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);
    ASSERT_NE(handle, nullptr);
    Gate gate;
    gate.handle = handle;
    ASSERT_TRUE(CP_Port_AddOnPortWrittenEvent(&Gate::OnWritten, &gate));

    int written = 0;
    std::thread writer([&] {
        const unsigned char data[] = {1, 2, 3};
        written = CP_Port_Write(handle, data, 3, 100);
    });
    gate.WaitEntered();
    EXPECT_TRUE(CP_Port_Close(handle));
    EXPECT_FALSE(CP_Port_IsOpened(handle));
    // The closed-event thread closes the handle again; the open's reference is dropped only
    // once, so the writer's references (the call's and its written hook's) keep it alive.
    ASSERT_TRUE(events.WaitForHandle(EventKind::Closed, handle, 1, 2s));
    ASSERT_TRUE(waitFor([&] { return ptrs().RefCount(handle) == 2; }));
    EXPECT_TRUE(ptrs().IsRegistered(handle));
    gate.Open();
    writer.join();
    EXPECT_EQ(written, 3);
    EXPECT_TRUE(waitFor([&] { return !ptrs().IsRegistered(handle); }));
    EXPECT_TRUE(CP_Port_RemoveOnPortWrittenEvent(&Gate::OnWritten));
    EXPECT_EQ(fake->BaseCloseCount(), 1);
}


TEST(HandleContract, ClosedEventThreadClosesOnlyItsOwnHandle) {
    qvtest::ScopedPortTiming timing;
    auto first_io = std::make_shared<qvtest::FakeTransport>();
    void* first = qvtest::OpenFakeHandle(first_io);
    ASSERT_NE(first, nullptr);
    Gate gate;
    gate.handle = first;
    ASSERT_TRUE(CP_Port_AddOnPortClosedEvent(&Gate::OnClosed, &gate));
    ASSERT_TRUE(CP_Port_Close(first));
    gate.WaitEntered();
    // While the first port's closed-event thread is held, a new port opens.
    auto second_io = std::make_shared<qvtest::FakeTransport>();
    void* second = qvtest::OpenFakeHandle(second_io);
    ASSERT_NE(second, nullptr);
    gate.Open();
    EXPECT_TRUE(waitFor([&] { return !ptrs().IsRegistered(first); }));
    EXPECT_TRUE(CP_Port_IsOpened(second));
    EXPECT_EQ(second_io->BaseCloseCount(), 0);
    EXPECT_TRUE(CP_Port_RemoveOnPortClosedEvent(&Gate::OnClosed));
    EXPECT_TRUE(CP_Port_Close(second));
}

TEST(HandleContract, ClosedHandleIsRefusedWhileItsClosedEventRuns) {
    qvtest::ScopedPortTiming timing;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);
    ASSERT_NE(handle, nullptr);
    IOHandle& object = *ptrs().Peek(handle);
    const unsigned char version[] = {'V', '1', '.', '2'};
    {
        std::lock_guard<std::mutex> lock(object.protoMutex);
        object.protoFirmwareVersion.Store(version, sizeof version, 1);
    }
    char text[16] = {};
    ASSERT_TRUE(CP_Printer_GetPrinterFirmwareVersion(handle, text, sizeof text, nullptr));
    ASSERT_STREQ(text, "V1.2");
    Gate gate;
    gate.handle = handle;
    ASSERT_TRUE(CP_Port_AddOnPortClosedEvent(&Gate::OnClosed, &gate));
    ASSERT_TRUE(CP_Port_Close(handle));
    gate.WaitEntered();
    // The closed-event thread still holds the handle, but the application closed it.
    EXPECT_TRUE(ptrs().IsRegistered(handle));
    text[0] = '\0';
    unsigned int needed = 0;
    EXPECT_FALSE(CP_Printer_GetPrinterFirmwareVersion(handle, text, sizeof text, &needed));
    EXPECT_STREQ(text, "");
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(CP_Port_Available(handle), -1);
    EXPECT_FALSE(CP_Port_Close(handle));
    gate.Open();
    EXPECT_TRUE(waitFor([&] { return !ptrs().IsRegistered(handle); }));
    EXPECT_TRUE(CP_Port_RemoveOnPortClosedEvent(&Gate::OnClosed));
}

TEST(HandleContract, TransportFailureClosesAndFreesTheHandle) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);
    ASSERT_NE(handle, nullptr);
    fake->PushReadInvalid();
    ASSERT_TRUE(events.WaitForHandle(EventKind::Closed, handle, 1, 2s));
    EXPECT_TRUE(waitFor([&] { return !ptrs().IsRegistered(handle); }));
    EXPECT_FALSE(CP_Port_Close(handle));
    EXPECT_EQ(events.Count(EventKind::Closed, handle), 1u);
}

TEST(HandleContract, ApplicationCloseDuringFailureCloseIsRefused) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    auto slow = std::make_shared<qvtest::GatedCloseTransport>();
    qvtest::GatedCloseTransport* io = slow.get();
    void* handle = qvtest::OpenFakeHandle(slow);
    ASSERT_NE(handle, nullptr);
    std::weak_ptr<qvtest::GatedCloseTransport> watch = slow;
    slow.reset();  // the handle owns the transport now
    io->PushReadInvalid();
    io->WaitCloseEntered();
    // The failure's close thread is inside BaseClose: the close has begun, so the handle is
    // no longer served, while the close still runs in it.
    EXPECT_FALSE(CP_Port_Close(handle));
    EXPECT_FALSE(CP_Port_IsOpened(handle));
    EXPECT_TRUE(ptrs().IsRegistered(handle));
    EXPECT_FALSE(watch.expired());
    io->OpenGate();
    EXPECT_TRUE(events.WaitForHandle(EventKind::Closed, handle, 1, 2s));
    EXPECT_TRUE(waitFor([&] { return watch.expired(); }));
    EXPECT_FALSE(ptrs().IsRegistered(handle));
    EXPECT_EQ(events.Count(EventKind::Closed, handle), 1u);
}
