// File and memory ports and the read, write and state calls, through the exported interface.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "ports/IOHandle.h"
#include "ports/NZFileIO.h"
#include "ports/NZMemoryIO.h"
#include "ports/RAZIThread.h"
#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/FakeTransport.h"
#include "support/ScopedPortTiming.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;
using qvtest::Bytes;

namespace {

int64_t elapsedMs(int64_t start) { return RAZITimeStamp::GetMonotonicMs() - start; }

}  // namespace

TEST(FilePort, OpenFileAppendsAndOpenNewTruncates) {
    qvtest::ScopedPortTiming timing;
    qvtest::TempDir dir;
    dir.WriteFile("out.bin", "old:");
    const std::string path = dir.File("out.bin");
    void* handle = CP_Port_OpenFile(path.c_str());
    ASSERT_NE(handle, nullptr);
    const unsigned char data[] = {'n', 'e', 'w'};
    EXPECT_EQ(CP_Port_Write(handle, data, 3, 10), 3);
    unsigned char byte;
    EXPECT_EQ(CP_Port_Read(handle, &byte, 1, 0), 0);  // nothing is ever received
    EXPECT_TRUE(CP_Port_Close(handle));
    EXPECT_EQ(dir.ReadFile("out.bin"), "old:new");

    NZFileIO io;
    ASSERT_TRUE(io.OpenNew(path.c_str()));
    EXPECT_EQ(io.Write(data, 2, 10), 2);
    EXPECT_EQ(io.Read(&byte, 1, 10), -1);
    io.Close();
    EXPECT_EQ(dir.ReadFile("out.bin"), "ne");
    const std::wstring wide_path(path.begin(), path.end());
    ASSERT_TRUE(io.OpenAppendW(wide_path.c_str()));
    EXPECT_EQ(io.Write(data + 2, 1, 10), 1);
    io.Close();
    EXPECT_EQ(dir.ReadFile("out.bin"), "new");
    EXPECT_FALSE(io.OpenAppendW(L""));  // an empty path does not open
    EXPECT_EQ(io.Write(data, 1, 10), -1);
}

TEST(FilePort, EveryOpenFormTruncatesOrAppends) {
    qvtest::TempDir dir;
    const std::string path = dir.File("forms.bin");
    const std::wstring wide_path(path.begin(), path.end());
    struct Case {
        const char* name;
        std::function<bool(NZFileIO&)> open;
        const char* expected;  // after writing "new" over "old:"
    };
    const Case cases[] = {
        {"Open", [&](NZFileIO& io) { return io.Open(path.c_str()); }, "new"},
        {"OpenNew", [&](NZFileIO& io) { return io.OpenNew(path.c_str()); }, "new"},
        {"OpenNewA", [&](NZFileIO& io) { return io.OpenNewA(path.c_str()); }, "new"},
        {"OpenNewW", [&](NZFileIO& io) { return io.OpenNewW(wide_path.c_str()); }, "new"},
        {"OpenAppend", [&](NZFileIO& io) { return io.OpenAppend(path.c_str()); }, "old:new"},
        {"OpenAppendA", [&](NZFileIO& io) { return io.OpenAppendA(path.c_str()); }, "old:new"},
        {"OpenAppendW", [&](NZFileIO& io) { return io.OpenAppendW(wide_path.c_str()); }, "old:new"},
    };
    const unsigned char data[] = {'n', 'e', 'w'};
    for (const Case& c : cases) {
        dir.WriteFile("forms.bin", "old:");
        NZFileIO io;
        ASSERT_TRUE(c.open(io)) << c.name;
        EXPECT_EQ(io.Write(data, 3, 10), 3) << c.name;
        io.Close();
        EXPECT_EQ(dir.ReadFile("forms.bin"), c.expected) << c.name;
    }
    NZFileIO io;
    EXPECT_FALSE(io.OpenNew(dir.File("missing-dir/x").c_str()));
    EXPECT_FALSE(io.IsOpened());
}

TEST(FilePort, FullDiskFailsTheWrite) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full";
    void* handle = CP_Port_OpenFile("/dev/full");  // every write ends in ENOSPC
    ASSERT_NE(handle, nullptr);
    const unsigned char data[] = {0x1B, 0x40};
    EXPECT_EQ(CP_Port_Write(handle, data, 2, 10), -1);
    EXPECT_FALSE(CP_Pos_ResetPrinter(handle));
    EXPECT_TRUE(CP_Port_Close(handle));
}

TEST(FilePort, HandleKeepsTypeAndNameCutTo299Bytes) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    qvtest::TempDir dir;
    const std::string sub = dir.File(std::string(200, 'd'));
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    const std::string path = sub + "/" + std::string(150, 'f');
    ASSERT_GT(path.size(), 299u);
    void* handle = CP_Port_OpenFile(path.c_str());
    ASSERT_NE(handle, nullptr);
    auto* io_handle = ptrs().Peek(handle);
    EXPECT_EQ(io_handle->portType, static_cast<uint32_t>(CP_PortType_File));
    EXPECT_EQ(std::string(io_handle->fileName), path.substr(0, 299));
    EXPECT_EQ(io_handle->velnorMode.load(), 0u);
    ASSERT_TRUE(events.WaitForHandle(qvtest::EventKind::Opened, handle, 1, 2s));
    EXPECT_EQ(events.Of(qvtest::EventKind::Opened, handle)[0].name, path);  // the name as given
    EXPECT_TRUE(CP_Port_Close(handle));

    handle = CP_Port_OpenMemoryBuffer(4);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(ptrs().Peek(handle)->portType, static_cast<uint32_t>(CP_PortType_MemoryBuffer));
    EXPECT_TRUE(CP_Port_Close(handle));
}

TEST(MemoryPort, FixedCapacityAllOrNothingAndClear) {
    void* handle = CP_Port_OpenMemoryBuffer(8);
    ASSERT_NE(handle, nullptr);
    const unsigned char five[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(CP_Port_Write(handle, five, 5, 10), 5);
    EXPECT_EQ(CP_Port_Write(handle, five, 4, 10), -1);  // 9 > 8: nothing stored
    EXPECT_EQ(CP_Port_GetMemoryBufferDataLength(handle), 5u);
    EXPECT_EQ(CP_Port_Write(handle, five + 2, 3, 10), 3);  // exactly full
    EXPECT_EQ(CP_Port_Write(handle, five, 1, 10), -1);
    ASSERT_EQ(CP_Port_GetMemoryBufferDataLength(handle), 8u);
    const unsigned char* data = CP_Port_GetMemoryBufferDataPointer(handle);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Bytes(data, data + 8), Bytes({1, 2, 3, 4, 5, 3, 4, 5}));
    EXPECT_TRUE(CP_Port_ClearMemoryBufferData(handle));
    EXPECT_EQ(CP_Port_GetMemoryBufferDataLength(handle), 0u);
    EXPECT_EQ(CP_Port_Write(handle, five + 4, 1, 10), 1);
    EXPECT_EQ(CP_Port_GetMemoryBufferDataPointer(handle)[0], 5);
    EXPECT_EQ(CP_Port_Write(handle, nullptr, 1, 10), -1);
    EXPECT_TRUE(CP_Port_Close(handle));
    EXPECT_EQ(CP_Port_OpenMemoryBuffer(0), nullptr);
}

TEST(MemoryPort, SinkOpensCloseAndRead) {
    NZMemoryIO io;
    EXPECT_FALSE(io.Open(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(io.Open("0"));
    EXPECT_FALSE(io.Open("-4"));
    ASSERT_TRUE(io.Open("4"));
    ASSERT_TRUE(io.Open(static_cast<size_t>(2)));  // reopening replaces the buffer
    const unsigned char data[] = {1, 2, 3};
    EXPECT_EQ(io.Write(data, 3, 10), -1);
    EXPECT_EQ(io.Write(data, 2, 10), 2);
    unsigned char byte;
    EXPECT_EQ(io.Read(&byte, 1, 10), -1);
    io.Close();
    EXPECT_EQ(io.GetBufferData(), nullptr);
    EXPECT_EQ(io.GetBufferLength(), 0u);
}

TEST(MemoryPort, KindSpecificCallsRefuseOtherPorts) {
    qvtest::ScopedPortTiming timing;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);  // a network port
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(CP_Port_GetMemoryBufferDataPointer(handle), nullptr);
    EXPECT_EQ(CP_Port_GetMemoryBufferDataLength(handle), 0u);
    EXPECT_FALSE(CP_Port_ClearMemoryBufferData(handle));
    EXPECT_FALSE(CP_Port_SetComBaudrate(handle, 115200));
    EXPECT_FALSE(CP_Port_ClearBtBleProtoV2PacketSendTimesList(handle));
    EXPECT_EQ(CP_Port_GetBtBleProtoV2PacketSendTimesListLength(handle), 0);
    EXPECT_TRUE(CP_Port_Close(handle));
    EXPECT_FALSE(CP_Port_WiFiP2P_Connect("p2p", 10));
    EXPECT_FALSE(CP_Port_WiFiP2P_IsConnected());
    CP_Port_WiFiP2P_Disconnect();
}

TEST(PortRead, CountsTimeoutsAndStopByte) {
    qvtest::ScopedPortTiming timing;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);
    ASSERT_NE(handle, nullptr);
    unsigned char buffer[8] = {};

    int64_t start = RAZITimeStamp::GetMonotonicMs();
    EXPECT_EQ(CP_Port_Read(handle, buffer, 0, 5000), 0);  // count 0: at once
    EXPECT_LT(elapsedMs(start), 1000);
    EXPECT_EQ(CP_Port_Read(handle, buffer, -1, 10), -1);
    EXPECT_EQ(CP_Port_Read(handle, nullptr, 4, 10), -1);
    start = RAZITimeStamp::GetMonotonicMs();
    EXPECT_EQ(CP_Port_Read(handle, buffer, 4, 30), 0);  // idle: 0 after the timeout
    EXPECT_GE(elapsedMs(start), 29);

    fake->PushRead({0x41, 0x42, 0x0A, 0x43});
    ASSERT_TRUE(fake->WaitForReadsConsumed(2s));
    for (int i = 0; i < 2000 && CP_Port_Available(handle) < 4; ++i) RAZISleep::SleepMs(1);
    ASSERT_EQ(CP_Port_Available(handle), 4);
    EXPECT_EQ(CP_Port_ReadUntilByte(handle, buffer, 8, 1000, 0x0A), 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), Bytes({0x41, 0x42, 0x0A}));
    EXPECT_EQ(CP_Port_Available(handle), 1);
    EXPECT_EQ(CP_Port_Read(handle, buffer, 8, 0), 1);  // timeout 0 still makes one pass
    EXPECT_EQ(buffer[0], 0x43);

    fake->PushRead({1, 2, 3});
    for (int i = 0; i < 2000 && CP_Port_Available(handle) < 3; ++i) RAZISleep::SleepMs(1);
    EXPECT_TRUE(CP_Port_SkipAvailable(handle));
    EXPECT_EQ(CP_Port_Available(handle), 0);
    EXPECT_TRUE(CP_Port_Close(handle));
}

TEST(PortRead, CloseEndsAWaitingRead) {
    qvtest::ScopedPortTiming timing;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);
    ASSERT_NE(handle, nullptr);
    // The open's report holds a reference of its own until its callbacks have returned.
    while (ptrs().RefCount(handle) != 1) RAZISleep::SleepMs(1);
    int result = -2;
    const int64_t start = RAZITimeStamp::GetMonotonicMs();
    std::thread reader([&] {
        unsigned char buffer[4];
        result = CP_Port_Read(handle, buffer, 4, UINT32_MAX);
    });
    while (ptrs().RefCount(handle) < 2) RAZISleep::SleepMs(1);
    EXPECT_TRUE(CP_Port_Close(handle));
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_LT(elapsedMs(start), 2000);
}

TEST(PortWrite, FilterAndWrittenEventsThroughExportedWrite) {
    qvtest::ScopedPortTiming timing;
    qvtest::CallbackRecorder events;
    auto fake = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(fake);
    ASSERT_NE(handle, nullptr);
    auto* io_handle = ptrs().Peek(handle);
    io_handle->writeFilter.alignment = 64;
    fake->SetWriteFilter(&io_handle->writeFilter);
    const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(CP_Port_Write(handle, data.data(), 10, 100), 10);
    ASSERT_EQ(fake->Writes().size(), 1u);
    EXPECT_EQ(fake->Writes()[0].size(), 64u);
    auto written = events.Of(qvtest::EventKind::Written, handle);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].data, data);
    EXPECT_EQ(written[0].thread, std::this_thread::get_id());
    fake->SetWriteFilter(nullptr);

    fake->ScriptWriteShort(4);
    EXPECT_EQ(CP_Port_Write(handle, data.data(), 10, 100), 4);
    fake->ScriptWriteInvalid();
    EXPECT_EQ(CP_Port_Write(handle, data.data(), 10, 100), -1);
    EXPECT_EQ(CP_Port_Write(handle, data.data(), 10, 100), -1);  // now invalid: refused
    EXPECT_EQ(fake->WriteCount(), 3u);
    EXPECT_EQ(fake->WriteLog()[1].timeout_ms, 100u);
    EXPECT_TRUE(CP_Port_Close(handle));
}

TEST(PortState, OpenedConnectionValidityAndDefaultTimeout) {
    qvtest::ScopedPortTiming timing;  // status freshness 300 ms (500 ms for TCP)
    auto plain = std::make_shared<qvtest::FakeTransport>();
    void* handle = qvtest::OpenFakeHandle(plain, CP_PortType_Tcp, "fake", 0);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(CP_Port_IsOpened(handle));
    EXPECT_TRUE(CP_Port_IsConnectionValid(handle));  // Velnor mode off: no status needed

    auto* io_handle = ptrs().Peek(handle);
    EXPECT_EQ(io_handle->posPrinter.GetIODefaultTimeout(), qvtest::ScopedPortTiming::Fast().defaultWriteTimeoutMs);
    EXPECT_EQ(io_handle->posPrinter.GetIO(), static_cast<RAZI*>(plain.get()));
    EXPECT_EQ(io_handle->settingPackage.GetIO(), static_cast<RAZI*>(plain.get()));
    EXPECT_TRUE(CP_Port_SetDefaultWriteTimeout(handle, 1234));
    EXPECT_EQ(io_handle->posPrinter.GetIODefaultTimeout(), 1234u);
    EXPECT_EQ(io_handle->labelPrinter.GetIODefaultTimeout(), 1234u);
    EXPECT_TRUE(CP_Port_Close(handle));

    auto velnor = std::make_shared<qvtest::FakeTransport>();
    handle = qvtest::OpenFakeHandle(velnor, CP_PortType_Tcp, "fake", 1);
    ASSERT_NE(handle, nullptr);
    io_handle = ptrs().Peek(handle);
    EXPECT_FALSE(CP_Port_IsConnectionValid(handle));  // no status frame yet
    {
        std::lock_guard<std::mutex> lock(io_handle->velnorMutex);
        io_handle->velnorStatus.timestamp_ms = static_cast<uint64_t>(RAZITimeStamp::GetSysTimeMs());
    }
    EXPECT_TRUE(CP_Port_IsConnectionValid(handle));
    {
        std::lock_guard<std::mutex> lock(io_handle->velnorMutex);
        io_handle->velnorStatus.timestamp_ms = static_cast<uint64_t>(RAZITimeStamp::GetSysTimeMs() - 301);
    }
    EXPECT_FALSE(CP_Port_IsConnectionValid(handle));  // older than the non-TCP limit
    EXPECT_TRUE(CP_Port_Close(handle));
    EXPECT_FALSE(CP_Port_IsOpened(handle));
}

TEST(PortTiming, DefaultsAreTheShippedValues) {
    const PortTiming shipped;
    EXPECT_EQ(shipped.pollSleepMs, 1u);
    EXPECT_EQ(shipped.readerReadTimeoutMs, 100u);
    EXPECT_EQ(shipped.helperSecondMs, 1000u);
    EXPECT_EQ(shipped.queryReplyTimeoutMs, 1000u);
    EXPECT_EQ(shipped.defaultWriteTimeoutMs, 3600000u);
    EXPECT_EQ(shipped.tcpKeepAliveIdleMs, 6000u);
    EXPECT_EQ(shipped.tcpKeepAliveIntervalMs, 2000u);
    EXPECT_EQ(shipped.tcpKeepAliveCount, 3u);
    EXPECT_EQ(shipped.blePacketTimeoutMs, 180000u);
    IOHandle fresh;  // built under the shipped values
    EXPECT_EQ(fresh.statusFreshnessMs, 6000u);
    EXPECT_EQ(fresh.statusFreshnessTcpMs, 10000u);
    EXPECT_EQ(fresh.portType, 0u);
    EXPECT_EQ(fresh.activeTransport, nullptr);
    EXPECT_EQ(fresh.velnorMode.load(), 0u);
    EXPECT_EQ(fresh.protoWorkEnabled.load(), 0u);
}
