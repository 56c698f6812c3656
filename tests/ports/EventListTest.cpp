// The event lists, their exported registration calls and the open and closed event threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TcpUdpTestWait.h"
#include "ports/IOHandle.h"
#include "ports/PortEventLists.h"
#include "ports/RAZIThread.h"
#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/FakeTransport.h"
#include "support/Gate.h"
#include "support/ScopedBleTiming.h"
#include "support/ScopedPortTiming.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;
using qvtest::EventKind;

namespace {

// Calls seen by the two test callbacks of each kind, with their private pointers.
std::mutex g_mutex;
std::vector<std::pair<int, void*>> g_calls;

void note(int which, void* private_data) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.emplace_back(which, private_data);
}

std::vector<std::pair<int, void*>> takeCalls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto calls = g_calls;
    g_calls.clear();
    return calls;
}

void secondOpened(void*, const char*, void* private_data) { note(2, private_data); }
void secondClosed(void*, void* private_data) { note(2, private_data); }
void secondData(void*, const unsigned char*, unsigned int, void* private_data) { note(2, private_data); }
void secondStatus(void*, int64_t, int64_t, void* private_data) { note(2, private_data); }
void secondCount(void*, unsigned int, void* private_data) { note(2, private_data); }

const CP_OnPortOpenedEvent kSecondOpened = &secondOpened;
const CP_OnPortOpenFailedEvent kSecondOpenFailed = &secondOpened;
const CP_OnPortClosedEvent kSecondClosed = &secondClosed;
const CP_OnPortWrittenEvent kSecondWritten = &secondData;
const CP_OnPortReceivedEvent kSecondReceived = &secondData;
const CP_OnPrinterStatusEvent kSecondStatus = &secondStatus;
const CP_OnPrinterReceivedEvent kSecondPrinterReceived = &secondCount;
const CP_OnPrinterPrintedEvent kSecondPrinted = &secondCount;

int g_not_a_handle;
const unsigned char kData[] = {1, 2};

}  // namespace

TEST(EventLists, RegistrationRulesAndOrderForEveryKind) {
    // The first callback of each kind is one captureless lambda; store it once per kind so
    // Add and Remove see the same pointer.
    static const CP_OnPortOpenedEvent opened1 = [](void*, const char*, void* p) { note(1, p); };
    static const CP_OnPortOpenFailedEvent failed1 = [](void*, const char*, void* p) { note(1, p); };
    static const CP_OnPortClosedEvent closed1 = [](void*, void* p) { note(1, p); };
    static const CP_OnPortWrittenEvent written1 = [](void*, const unsigned char*, unsigned int, void* p) { note(1, p); };
    static const CP_OnPortReceivedEvent received1 = [](void*, const unsigned char*, unsigned int, void* p) { note(1, p); };
    static const CP_OnPrinterStatusEvent status1 = [](void*, int64_t, int64_t, void* p) { note(1, p); };
    static const CP_OnPrinterReceivedEvent preceived1 = [](void*, unsigned int, void* p) { note(1, p); };
    static const CP_OnPrinterPrintedEvent printed1 = [](void*, unsigned int, void* p) { note(1, p); };

    struct Kind {
        const char* name;
        std::function<bool(int, void*)> add;      // which callback (1, 2, 0 = null)
        std::function<bool(int)> remove;
        std::function<void()> fire;
    };
    const std::vector<Kind> kinds = {
        {"opened",
         [](int w, void* p) { return CP_Port_AddOnPortOpenedEvent(w == 1 ? opened1 : w == 2 ? kSecondOpened : nullptr, p); },
         [](int w) { return CP_Port_RemoveOnPortOpenedEvent(w == 1 ? opened1 : kSecondOpened); },
         [] { CallPortOpenedEventForStructList(&g_not_a_handle, "x"); }},
        {"open failed",
         [](int w, void* p) { return CP_Port_AddOnPortOpenFailedEvent(w == 1 ? failed1 : w == 2 ? kSecondOpenFailed : nullptr, p); },
         [](int w) { return CP_Port_RemoveOnPortOpenFailedEvent(w == 1 ? failed1 : kSecondOpenFailed); },
         [] { CallPortOpenFailedEventForStructList(nullptr, "x"); }},
        {"closed",
         [](int w, void* p) { return CP_Port_AddOnPortClosedEvent(w == 1 ? closed1 : w == 2 ? kSecondClosed : nullptr, p); },
         [](int w) { return CP_Port_RemoveOnPortClosedEvent(w == 1 ? closed1 : kSecondClosed); },
         [] { CallPortClosedEventForStructList(&g_not_a_handle); }},
        {"written",
         [](int w, void* p) { return CP_Port_AddOnPortWrittenEvent(w == 1 ? written1 : w == 2 ? kSecondWritten : nullptr, p); },
         [](int w) { return CP_Port_RemoveOnPortWrittenEvent(w == 1 ? written1 : kSecondWritten); },
         [] { CallPortWrittenEventForStructList(&g_not_a_handle, kData, 2); }},
        {"received",
         [](int w, void* p) { return CP_Port_AddOnPortReceivedEvent(w == 1 ? received1 : w == 2 ? kSecondReceived : nullptr, p); },
         [](int w) { return CP_Port_RemoveOnPortReceivedEvent(w == 1 ? received1 : kSecondReceived); },
         [] { CallPortReceivedEventForStructList(&g_not_a_handle, kData, 2); }},
        {"printer status",
         [](int w, void* p) { return CP_Printer_AddOnPrinterStatusEvent(w == 1 ? status1 : w == 2 ? kSecondStatus : nullptr, p); },
         [](int w) { return CP_Printer_RemoveOnPrinterStatusEvent(w == 1 ? status1 : kSecondStatus); },
         [] { CallPrinterStatusEventForStructList(&g_not_a_handle, 1, 2); }},
        {"printer received",
         [](int w, void* p) { return CP_Printer_AddOnPrinterReceivedEvent(w == 1 ? preceived1 : w == 2 ? kSecondPrinterReceived : nullptr, p); },
         [](int w) { return CP_Printer_RemoveOnPrinterReceivedEvent(w == 1 ? preceived1 : kSecondPrinterReceived); },
         [] { CallPrinterReceivedEventForStructList(&g_not_a_handle, 7); }},
        {"printer printed",
         [](int w, void* p) { return CP_Printer_AddOnPrinterPrintedEvent(w == 1 ? printed1 : w == 2 ? kSecondPrinted : nullptr, p); },
         [](int w) { return CP_Printer_RemoveOnPrinterPrintedEvent(w == 1 ? printed1 : kSecondPrinted); },
         [] { CallPrinterPrintedEventForStructList(&g_not_a_handle, 9); }},
    };
    int first_data = 0, second_data = 0, other_data = 0;
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        takeCalls();
        EXPECT_FALSE(kind.add(0, nullptr));                // null callback
        EXPECT_FALSE(kind.remove(1));                      // never added
        EXPECT_TRUE(kind.add(1, &first_data));
        EXPECT_FALSE(kind.add(1, &other_data));            // same callback again
        EXPECT_TRUE(kind.add(2, &second_data));
        for (const auto& other : kinds)
            if (&other != &kind) other.fire();
        EXPECT_TRUE(takeCalls().empty()) << "another kind's event reached this list";
        kind.fire();
        auto calls = takeCalls();
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0], std::make_pair(1, static_cast<void*>(&first_data)));  // first private pointer kept
        EXPECT_EQ(calls[1], std::make_pair(2, static_cast<void*>(&second_data)));  // registration order
        EXPECT_TRUE(kind.remove(1));
        EXPECT_FALSE(kind.remove(1));
        kind.fire();
        calls = takeCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].first, 2);
        EXPECT_TRUE(kind.remove(2));
        kind.fire();
        EXPECT_TRUE(takeCalls().empty());
    }
}

TEST(EventThreads, FailedOpenReportsNullHandleAndNameCopyOnAnotherThread) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    char name[] = "/nonexistent-dir-for-test/port.bin";
    EXPECT_EQ(CP_Port_OpenFile(name), nullptr);
    const std::string expected = name;
    std::memset(name, 'x', sizeof name - 1);  // the event holds its own copy
    ASSERT_TRUE(events.WaitForName(EventKind::OpenFailed, expected, 1, 2s));
    auto failed = events.Of(EventKind::OpenFailed);
    EXPECT_EQ(failed.back().handle, nullptr);
    EXPECT_NE(failed.back().thread, std::this_thread::get_id());
    EXPECT_EQ(events.Count(EventKind::Opened), 0u);
}

TEST(EventThreads, UnavailableTransportsFailWithTheirNames) {
    qvtest::ScopedPortTiming timing;
    qvtest::ScopedBleTiming bleTiming;  // the printers are never seen: a short address search
    qvtest::CallbackRecorder events;
    struct Case {
        const char* name;
        void* (*open)();
    };
    const Case cases[] = {
        {"COM7", [] { return CP_Port_OpenCom("COM7", 9600, CP_ComDataBits_8, CP_ComParity_NoParity, CP_ComStopBits_One, CP_ComFlowControl_XonXoff, 1); }},
        {"LPT1", [] { return CP_Port_OpenLpt("LPT1"); }},
        {"VID:0x0483,PID:0x5720", [] { return CP_Port_OpenUsb("VID:0x0483,PID:0x5720", 0); }},
        {"VID:0x0483,PID:0x5720,MI:01", [] { return CP_Port_OpenUsb("VID:0x0483,PID:0x5720,MI:01", 1); }},
        {"Printer/SN001,MI:02", [] { return CP_Port_OpenUsb("Printer/SN001,MI:02", 0); }},
        {"/dev/usb/lp0", [] { return CP_Port_OpenUsb("/dev/usb/lp0", 0); }},
        {"00:11:22:33:44:55", [] { return CP_Port_OpenBtSpp("00:11:22:33:44:55", 0); }},
        {"AA:BB:CC:DD:EE:01", [] { return CP_Port_OpenBtBle("AA:BB:CC:DD:EE:01", 0); }},
        {"AA:BB:CC:DD:EE:02", [] { return CP_Port_OpenBtBleProtoV2("AA:BB:CC:DD:EE:02", 0); }},
        {"AA:BB:CC:DD:EE:03", [] { return CP_Port_OpenBtBleProtoV3("AA:BB:CC:DD:EE:03", 0); }},
        {"AA:BB:CC:DD:EE:04", [] { return CP_Port_OpenBtBleProtoVA("AA:BB:CC:DD:EE:04", 0); }},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.open(), nullptr) << c.name;
        EXPECT_TRUE(events.WaitForName(EventKind::OpenFailed, c.name, 1, 2s)) << c.name;
    }
    // Null names are refused before anything is built: no event.
    EXPECT_EQ(CP_Port_OpenFile(nullptr), nullptr);
    EXPECT_EQ(CP_Port_OpenTcp("0.0.0.0", nullptr, 9100, 100, 0), nullptr);
    EXPECT_EQ(CP_Port_OpenBtBle(nullptr, 0), nullptr);
    EXPECT_EQ(ptrs().RegisteredCount(), 0u);
}

TEST(EventThreads, OpenedThenClosedOnceOnOtherThreads) {
    qvtest::ScopedPortTiming timing;
    qvtest::TempDir dir;
    qvtest::CallbackRecorder events;
    const std::string path = dir.File("out.bin");
    void* handle = CP_Port_OpenFile(path.c_str());
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(events.WaitForHandle(EventKind::Opened, handle, 1, 2s));
    auto opened = events.Of(EventKind::Opened, handle);
    EXPECT_EQ(opened[0].name, path);
    EXPECT_NE(opened[0].thread, std::this_thread::get_id());
    EXPECT_TRUE(CP_Port_Close(handle));
    ASSERT_TRUE(events.WaitForHandle(EventKind::Closed, handle, 1, 2s));
    EXPECT_NE(events.Of(EventKind::Closed, handle)[0].thread, std::this_thread::get_id());
    EXPECT_FALSE(CP_Port_Close(handle));
    EXPECT_EQ(events.Count(EventKind::Closed, handle), 1u);
}

TEST(EventThreads, MemoryPortReportsNothing) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    qvtest::TempDir dir;
    void* handle = CP_Port_OpenMemoryBuffer(16);
    ASSERT_NE(handle, nullptr);
    // A file port open beside it (under a handle of its own): once its closed event is in, the
    // memory port's events would have been too.
    void* marker = CP_Port_OpenFile(dir.File("m").c_str());
    ASSERT_NE(marker, nullptr);
    const unsigned char data[] = {1, 2, 3};
    EXPECT_EQ(CP_Port_Write(handle, data, 3, 10), 3);
    EXPECT_TRUE(CP_Port_Close(handle));
    EXPECT_TRUE(CP_Port_Close(marker));
    ASSERT_TRUE(events.WaitForHandle(EventKind::Closed, marker, 1, 2s));
    EXPECT_EQ(events.Count(EventKind::Opened, handle), 0u);
    EXPECT_EQ(events.Count(EventKind::Closed, handle), 0u);
    ASSERT_EQ(events.Of(EventKind::Written, handle).size(), 1u);
    EXPECT_EQ(events.Of(EventKind::Written, handle)[0].data, qvtest::Bytes({1, 2, 3}));
}

TEST(EventThreads, ReceivedBytesReachRingAndCallbacks) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);
    ASSERT_NE(handle, nullptr);
    fake->PushRead({0x41, 0x42, 0x0A, 0x43});
    ASSERT_TRUE(events.WaitForHandle(EventKind::Received, handle, 1, 2s));
    EXPECT_EQ(events.Of(EventKind::Received, handle)[0].data, qvtest::Bytes({0x41, 0x42, 0x0A, 0x43}));
    EXPECT_EQ(CP_Port_Available(handle), 4);
    EXPECT_TRUE(CP_Port_Close(handle));
}

TEST(EventThreads, NoEventThreadsMeansDeliveryOnTheCaller) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    qvtest::TempDir dir;
    const std::string path = dir.File("p");
    RAZIThread::FailNextStartsForTesting(1);
    void* handle = CP_Port_OpenFile(path.c_str());  // the opened event has no thread
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(events.Count(EventKind::Opened, handle), 1u);
    EXPECT_EQ(events.Of(EventKind::Opened, handle)[0].thread, std::this_thread::get_id());
    RAZIThread::FailNextStartsForTesting(1);
    EXPECT_TRUE(CP_Port_Close(handle));  // the closed event has no thread
    ASSERT_EQ(events.Count(EventKind::Closed, handle), 1u);
    EXPECT_EQ(events.Of(EventKind::Closed, handle)[0].thread, std::this_thread::get_id());
    EXPECT_FALSE(ptrs().IsRegistered(handle));
    RAZIThread::FailNextStartsForTesting(0);
}

namespace {

// What the opened and closed callbacks saw of the handle of the port named "order probe".
struct OrderProbe {
    std::atomic<void*> handle{nullptr};
    std::atomic<bool> opened_ready{false};
    std::atomic<bool> closed_seen{false};
    std::atomic<bool> closed_before_handle_close{false};

    static void OnOpened(void* handle, const char* name, void* context) {
        auto* self = static_cast<OrderProbe*>(context);
        if (std::strcmp(name, "order probe") != 0) return;
        auto* io_handle = ptrs().Peek(handle);
        self->opened_ready = CP_Port_IsOpened(handle) &&
                             io_handle->posPrinter.GetIO() == io_handle->activeTransport;
        self->handle = handle;
    }
    static void OnClosed(void* handle, void* context) {
        auto* self = static_cast<OrderProbe*>(context);
        if (handle != self->handle.load()) return;
        self->closed_before_handle_close =
            !ptrs().Peek(handle)->openReferenceDropped.load() && !CP_Port_IsOpened(handle);
        self->closed_seen = true;
    }
};

}  // namespace

TEST(EventThreads, OpenedSeesAReadyHandleAndClosedRunsBeforeTheHandleIsClosed) {
    qvtest::ScopedPortTiming timing;
    static OrderProbe probe;  // the event threads may outlive a failed assertion
    ASSERT_TRUE(CP_Port_AddOnPortOpenedEvent(&OrderProbe::OnOpened, &probe));
    ASSERT_TRUE(CP_Port_AddOnPortClosedEvent(&OrderProbe::OnClosed, &probe));
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake, CP_PortType_Tcp, "order probe");
    ASSERT_NE(handle, nullptr);
    auto waitFor = [](const std::atomic<bool>& flag) {
        for (int i = 0; i < 2000 && !flag.load(); ++i) RAZISleep::SleepMs(1);
        return flag.load();
    };
    for (int i = 0; i < 2000 && probe.handle.load() == nullptr; ++i) RAZISleep::SleepMs(1);
    EXPECT_EQ(probe.handle.load(), handle);
    EXPECT_TRUE(probe.opened_ready.load());
    // A transport failure: closed callbacks first, then the close that frees the handle.
    fake->PushReadInvalid();
    ASSERT_TRUE(waitFor(probe.closed_seen));
    EXPECT_TRUE(probe.closed_before_handle_close.load());
    for (int i = 0; i < 2000 && ptrs().IsRegistered(handle); ++i)
        RAZISleep::SleepMs(1);
    EXPECT_FALSE(ptrs().IsRegistered(handle));
    EXPECT_TRUE(CP_Port_RemoveOnPortOpenedEvent(&OrderProbe::OnOpened));
    EXPECT_TRUE(CP_Port_RemoveOnPortClosedEvent(&OrderProbe::OnClosed));
}

namespace {

// An opened callback that holds the open report of the port with this name until released.
struct OpenedGate : qvtest::Gate {
    const char* name = "held open report";

    static void OnOpened(void*, const char* name, void* context) {
        auto* self = static_cast<OpenedGate*>(context);
        if (std::strcmp(name, self->name) == 0) self->Hold();
    }
};

}  // namespace

TEST(EventThreads, ClosedWaitsUntilTheOpenedCallbacksHaveReturned) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    static OpenedGate gate;  // the event threads may outlive a failed assertion
    ASSERT_TRUE(CP_Port_AddOnPortOpenedEvent(&OpenedGate::OnOpened, &gate));
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake, CP_PortType_Tcp, gate.name);
    ASSERT_NE(handle, nullptr);
    gate.WaitEntered();
    EXPECT_TRUE(CP_Port_Close(handle));
    // The closed event is due; the open report holds the handle until it has been heard.
    EXPECT_TRUE(WaitUntil([&] { return ptrs().Peek(handle)->ClosedEventsWaitingForOpen() == 1; }, 2000));
    EXPECT_EQ(events.Count(EventKind::Closed, handle), 0u);
    gate.Open();
    ASSERT_TRUE(events.WaitForHandle(EventKind::Closed, handle, 1, 2s));
    EXPECT_EQ(events.OpenedAndClosedOf(handle),
              (std::vector<EventKind>{EventKind::Opened, EventKind::Closed}));
    EXPECT_TRUE(WaitUntil([&] { return !ptrs().IsRegistered(handle); }, 2000));
    EXPECT_TRUE(CP_Port_RemoveOnPortOpenedEvent(&OpenedGate::OnOpened));
}
