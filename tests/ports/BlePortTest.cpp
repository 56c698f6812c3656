// Bluetooth LE ports through the exported port calls, over the process-wide central and the
// simulated radio. Each test uses printer addresses of its own: the central's registry of
// printers seen lives for the whole process.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "TcpUdpTestWait.h"
#include "ble/MBCentralManager.h"
#include "ble/MBPeripheralProxyV1.h"
#include "ports/NZBleBaseIO.h"
#include "ports/IOHandle.h"
#include "ports/NZBleProtoV2IO.h"
#include "quorvantelmise.h"
#include "support/CallbackRecorder.h"
#include "support/ScopedBleTiming.h"
#include "support/ScopedPortTiming.h"
#include "support/SimulatedBle.h"
#include "support/SimulatedCreditPrinter.h"
#include "support/SimulatedProtoV2Printer.h"

namespace {

using namespace std::chrono_literals;
using qvtest::EventKind;

const char* kService = "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2";
const char* kCharacteristic = "BEF8D6C9-9C21-4C9E-B632-BD58C1009F9F";
constexpr int kProfileProperties =
    CBCharacteristicPropertyWrite | CBCharacteristicPropertyWriteWithoutResponse | CBCharacteristicPropertyNotify;

class BlePortTest : public ::testing::Test {
protected:
    void SetUp() override { Settle(); }
    void TearDown() override { Settle(); }
    static void Settle() { MBCentralManager::proxy().queue()->waitIdle(); }

    // A plain-profile printer, in the central's registry when this returns.
    std::shared_ptr<SimulatedPrinter> SeenPrinter(uint8_t last) {
        auto printer = radio.AddPrinter("P58", qvtest::PrinterAdvert({0x30, 0x30, 0x30, 0x0A, 0x0B, last}));
        printer->addService(kService, {{kCharacteristic, kProfileProperties}});
        const std::string address = Address(last);
        EXPECT_NE(MBCentralManager::proxy().findPeripheralByAddress(&address, 5000), nullptr);
        return printer;
    }
    static std::string Address(uint8_t last) {
        char text[18];
        std::snprintf(text, sizeof text, "30:30:30:0A:0B:%02X", last);
        return text;
    }
    static std::vector<uint8_t> Written(const SimulatedPrinter& printer) {
        std::vector<uint8_t> all;
        for (const auto& w : printer.writes()) all.insert(all.end(), w.bytes.begin(), w.bytes.end());
        return all;
    }

    qvtest::ScopedPortTiming portTiming;
    qvtest::ScopedBleTiming timing;
    qvtest::LogCapture log;
    qvtest::ScopedRadio radio;
    qvtest::CallbackRecorder events;
};

TEST_F(BlePortTest, PlainProfilePortOpensWritesReadsAndCloses) {
    auto printer = SeenPrinter(0x01);
    const std::string address = Address(0x01);
    void* port = CP_Port_OpenBtBle(address.c_str(), 0);
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(events.WaitForHandle(EventKind::Opened, port, 1, 2s));
    EXPECT_EQ(events.Of(EventKind::Opened, port)[0].name, address);
    EXPECT_TRUE(CP_Port_IsOpened(port));
    EXPECT_TRUE(printer->isConnected());

    std::vector<uint8_t> bytes(300);
    std::iota(bytes.begin(), bytes.end(), 0);
    EXPECT_EQ(CP_Port_Write(port, bytes.data(), static_cast<unsigned>(bytes.size()), 1000), 300);
    EXPECT_EQ(Written(*printer), bytes);
    for (const auto& w : printer->writes()) {
        EXPECT_EQ(w.type, 0);  // the port's write mode: with response, 120-byte pieces
        EXPECT_LE(w.bytes.size(), 120u);
    }

    ASSERT_TRUE(printer->notify(kCharacteristic, {0x41, 0x42, 0x43}));
    unsigned char buffer[8] = {};
    EXPECT_EQ(CP_Port_Read(port, buffer, 3, 2000), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "ABC");

    EXPECT_TRUE(CP_Port_Close(port));
    EXPECT_TRUE(events.WaitForHandle(EventKind::Closed, port, 1, 2s));
    EXPECT_FALSE(printer->isConnected());
    EXPECT_EQ(MBCentralManager::proxy().proxyCount(), 0u);
}

TEST_F(BlePortTest, LostLinkClosesThePort) {
    auto printer = SeenPrinter(0x02);
    void* port = CP_Port_OpenBtBle(Address(0x02).c_str(), 0);
    ASSERT_NE(port, nullptr);
    printer->disconnect();
    EXPECT_TRUE(events.WaitForHandle(EventKind::Closed, port, 1, 2s));
    const unsigned char byte = 1;
    EXPECT_EQ(CP_Port_Write(port, &byte, 1, 100), -1);  // the handle is gone or its port closed
    CP_Port_Close(port);
    EXPECT_EQ(events.Count(EventKind::Closed, port), 1u);
    EXPECT_EQ(MBCentralManager::proxy().proxyCount(), 0u);
}

TEST_F(BlePortTest, LostLinkThenReopenNeverLetsTheOldHandleIn) {
    auto printer = SeenPrinter(0x05);
    const std::string address = Address(0x05);
    void* old = CP_Port_OpenBtBle(address.c_str(), 0);
    ASSERT_NE(old, nullptr);
    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds && !HasFatalFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        printer->disconnect();
        ASSERT_TRUE(events.WaitForHandle(EventKind::Closed, old, 1, 2s));
        // Gone, so the next open may land where it was.
        ASSERT_TRUE(WaitUntil([&] { return !ptrs().IsRegistered(old); }, 2000));
        printer->clearWrites();
        void* now = CP_Port_OpenBtBle(address.c_str(), 0);
        ASSERT_NE(now, nullptr);
        EXPECT_NE(now, old);
        const unsigned char stale = 0x33, marker = 0x5A;
        EXPECT_EQ(CP_Pos_PrintText(old, "stale"), 0);
        EXPECT_EQ(CP_Port_Write(old, &stale, 1, 100), -1);
        EXPECT_FALSE(CP_Port_IsOpened(old));
        EXPECT_FALSE(CP_Port_Close(old));
        EXPECT_TRUE(CP_Port_IsOpened(now));
        EXPECT_EQ(CP_Port_Write(now, &marker, 1, 1000), 1);
        EXPECT_EQ(Written(*printer), std::vector<uint8_t>{marker});
        EXPECT_EQ(events.Count(EventKind::Closed, old), 1u);
        events.Clear();
        old = now;
    }
    EXPECT_TRUE(CP_Port_Close(old));
}

TEST_F(BlePortTest, OpensFailWithAnOpenFailedEvent) {
    auto printer = SeenPrinter(0x03);
    const std::string address = Address(0x03);
    // A profile the printer does not offer: connected, searched and given up.
    EXPECT_EQ(CP_Port_OpenBtBleProtoV2(address.c_str(), 0), nullptr);
    EXPECT_TRUE(events.WaitForName(EventKind::OpenFailed, address, 1, 2s));
    EXPECT_GE(printer->connectCount(), 1);
    EXPECT_FALSE(printer->isConnected());

    // A printer never seen: the search gives up after its (shortened) time.
    EXPECT_EQ(CP_Port_OpenBtBle("30:30:30:0A:0B:FE", 0), nullptr);
    EXPECT_TRUE(events.WaitForName(EventKind::OpenFailed, "30:30:30:0A:0B:FE", 1, 2s));
    EXPECT_EQ(log.Count("No peripheral for address 30:30:30:0A:0B:FE"), 1u);

    // A printer that refuses the connection.
    printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Fail);
    EXPECT_EQ(CP_Port_OpenBtBle(address.c_str(), 0), nullptr);
    EXPECT_TRUE(events.WaitForName(EventKind::OpenFailed, address, 2, 2s));
    EXPECT_EQ(events.Count(EventKind::Opened), 0u);
    EXPECT_EQ(MBCentralManager::proxy().proxyCount(), 0u);
}

TEST_F(BlePortTest, GroupPacketProfilePortWritesAndCountsItsSends) {
    qvtest::ProtoV2Printer v2(radio, "P2", {0x30, 0x30, 0x30, 0x0A, 0x0B, 0x08});
    void* port = CP_Port_OpenBtBleProtoV2(Address(0x08).c_str(), 0);
    ASSERT_NE(port, nullptr);
    std::vector<uint8_t> bytes(700);
    std::iota(bytes.begin(), bytes.end(), 0);
    EXPECT_EQ(CP_Port_Write(port, bytes.data(), static_cast<unsigned>(bytes.size()), 2000), 700);
    EXPECT_EQ(v2.Received(), bytes);
    EXPECT_TRUE(v2.Errors().empty());

    const int length = CP_Port_GetBtBleProtoV2PacketSendTimesListLength(port);
    EXPECT_EQ(length, static_cast<int>(v2.DataPackets().size()));
    ASSERT_GE(length, 2);
    int values[64] = {};
    EXPECT_EQ(CP_Port_GetBtBleProtoV2PacketSendTimesListValue(port, values, 1), 1);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(CP_Port_GetBtBleProtoV2PacketSendTimesListValue(port, values, 64), length);
    EXPECT_TRUE(CP_Port_ClearBtBleProtoV2PacketSendTimesList(port));
    EXPECT_EQ(CP_Port_GetBtBleProtoV2PacketSendTimesListLength(port), 0);

    ASSERT_TRUE(v2.SendData({0x61, 0x62}));
    unsigned char buffer[2] = {};
    EXPECT_EQ(CP_Port_Read(port, buffer, 2, 2000), 2);
    EXPECT_EQ(buffer[1], 0x62);
    EXPECT_TRUE(CP_Port_Close(port));
    EXPECT_FALSE(v2.printer()->isConnected());
}

// The credit profile's port: the printer announces its MTU and credits when the host
// subscribes, and pays a credit back for every piece.
TEST_F(BlePortTest, CreditProfilePortOpensWritesAndCloses) {
    auto printer = radio.AddPrinter("P80", qvtest::PrinterAdvert({0x30, 0x30, 0x30, 0x0A, 0x0B, 0x06}));
    printer->addService("FF00", {{"FF01", CBCharacteristicPropertyNotify},
                                 {"FF02", CBCharacteristicPropertyWriteWithoutResponse},
                                 {"FF03", CBCharacteristicPropertyNotify}});
    std::weak_ptr<SimulatedPrinter> weak = printer;
    printer->setSubscribeHandler([weak](const std::string& characteristic) {
        auto p = weak.lock();
        if (!p || characteristic != "FF03") return;
        p->notify("FF03", {0x02, 40, 0x00});
        p->notify("FF03", {0x01, 4});
    });
    printer->setWriteHandler([weak](const SimulatedWrite& w) {
        if (auto p = weak.lock(); p && w.characteristic == "FF02") p->notify("FF03", {0x01, 1});
        return SimulatedPrinter::WriteAnswer::None;
    });
    const std::string address = Address(0x06);
    void* port = CP_Port_OpenBtBleProtoV3(address.c_str(), 0);
    ASSERT_NE(port, nullptr);
    std::vector<uint8_t> bytes(200);
    std::iota(bytes.begin(), bytes.end(), 0);
    EXPECT_EQ(CP_Port_Write(port, bytes.data(), static_cast<unsigned>(bytes.size()), 2000), 200);
    std::vector<uint8_t> data;
    for (const auto& w : printer->writes()) {
        if (w.characteristic == "FF02") data.insert(data.end(), w.bytes.begin(), w.bytes.end());
    }
    EXPECT_EQ(data, bytes);
    ASSERT_TRUE(printer->notify("FF01", {0x51}));
    unsigned char byte = 0;
    EXPECT_EQ(CP_Port_Read(port, &byte, 1, 2000), 1);
    EXPECT_EQ(byte, 0x51);
    EXPECT_TRUE(CP_Port_Close(port));
    EXPECT_FALSE(printer->isConnected());
    printer->setSubscribeHandler(nullptr);
    printer->setWriteHandler(nullptr);
}

// The automatic-profile port against a printer of each profile: it opens without knowing
// the profile, and writes and reads through the handler the printer's services choose.
TEST_F(BlePortTest, AutomaticProfilePortDrivesEachPrinterProfile) {
    struct Profile {
        std::function<std::vector<uint8_t>()> received;
        std::function<bool(const std::vector<uint8_t>&)> send;
        std::function<bool()> connected;
    };
    struct Case {
        const char* name;
        uint8_t last;
        std::function<Profile(std::shared_ptr<void>& keep)> make;
    };
    const auto advert = [](uint8_t last) { return qvtest::PrinterAdvert({0x30, 0x30, 0x30, 0x0A, 0x0B, last}); };
    const Case cases[] = {
        {"plain packets", 0x10,
         [&](std::shared_ptr<void>&) {
             auto printer = radio.AddPrinter("P58", advert(0x10));
             printer->addService(kService, {{kCharacteristic, kProfileProperties}});
             return Profile{[printer] { return Written(*printer); },
                            [printer](const std::vector<uint8_t>& b) { return printer->notify(kCharacteristic, b); },
                            [printer] { return printer->isConnected(); }};
         }},
        {"group packets", 0x11,
         [&](std::shared_ptr<void>& keep) {
             auto v2 = std::make_shared<qvtest::ProtoV2Printer>(radio, "P2", std::vector<uint8_t>{0x30, 0x30, 0x30, 0x0A, 0x0B, 0x11});
             keep = v2;
             return Profile{[v2] { return v2->Received(); },
                            [v2](const std::vector<uint8_t>& b) { return v2->SendData(b); },
                            [v2] { return v2->printer()->isConnected(); }};
         }},
        {"credits", 0x12,
         [&](std::shared_ptr<void>& keep) {
             auto printer = radio.AddPrinter("P80", advert(0x12));
             auto credit = std::make_shared<qvtest::CreditPrinter>(printer);
             keep = credit;
             return Profile{[credit] { return credit->Received(); },
                            [printer](const std::vector<uint8_t>& b) { return printer->notify("FF01", b); },
                            [printer] { return printer->isConnected(); }};
         }},
    };
    std::vector<uint8_t> bytes(300);
    std::iota(bytes.begin(), bytes.end(), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<void> keep;
        const Profile profile = c.make(keep);
        const std::string address = Address(c.last);
        void* port = CP_Port_OpenBtBleProtoVA(address.c_str(), 0);
        ASSERT_NE(port, nullptr);
        EXPECT_TRUE(events.WaitForHandle(EventKind::Opened, port, 1, 2s));
        EXPECT_EQ(CP_Port_Write(port, bytes.data(), static_cast<unsigned>(bytes.size()), 2000), 300);
        EXPECT_EQ(profile.received(), bytes);
        ASSERT_TRUE(profile.send({0x41, 0x42, 0x43}));
        unsigned char buffer[3] = {};
        EXPECT_EQ(CP_Port_Read(port, buffer, 3, 2000), 3);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "ABC");
        EXPECT_TRUE(CP_Port_Close(port));
        EXPECT_TRUE(events.WaitForHandle(EventKind::Closed, port, 1, 2s));
        EXPECT_FALSE(profile.connected());
        EXPECT_EQ(MBCentralManager::proxy().proxyCount(), 0u);
        Settle();
    }
}

TEST_F(BlePortTest, TransportsForwardToTheirBridge) {
    NZBleBaseIO_ios closed;
    const unsigned char byte = 1;
    EXPECT_EQ(closed.Write(&byte, 1, 100), -1);
    EXPECT_FALSE(closed.Open(nullptr));
    EXPECT_FALSE(closed.IsOpened());
    NZBleProtoV2IO_ios v2;
    int values[3] = {};
    EXPECT_EQ(v2.GetPacketSendTimesListLength(), 0);
    EXPECT_EQ(v2.GetPacketSendTimesListValue(values, 3), 0);

    auto printer = SeenPrinter(0x04);
    NZBleBaseIO_ios io;
    ASSERT_TRUE(io.Open(Address(0x04).c_str()));
    EXPECT_TRUE(io.IsReaderRunning());
    const std::string address = Address(0x04);
    auto proxy = std::dynamic_pointer_cast<MBPeripheralProxyV1>(MBCentralManager::proxy().findPeripheralProxyByPerihperal(
        MBCentralManager::proxy().findPeripheralByAddress(&address)));
    ASSERT_NE(proxy, nullptr);
    io.SetWriteMode(1, 64, 4000000, 2);  // the packet time-out is limited to an hour
    EXPECT_EQ(proxy->settings().minimumWritePacketTimeout.load(), 3600000);
    EXPECT_EQ(proxy->settings().currentWritePacketMethod.load(), 1);
    EXPECT_EQ(proxy->settings().maximumWritePacketSize.load(), 64);
    io.SetWriteMode(0, 120, 3600000, 3);
    EXPECT_EQ(proxy->settings().minimumWritePacketTimeout.load(), 3600000);
    io.SetWriteMode(0, 120, 500, 3);
    EXPECT_EQ(proxy->settings().minimumWritePacketTimeout.load(), 500);
    io.Close();
    EXPECT_FALSE(io.IsOpened());
    EXPECT_FALSE(printer->isConnected());
    ASSERT_TRUE(io.Open(Address(0x04).c_str()));  // opens again once closed
    io.Close();
}

TEST_F(BlePortTest, EnumerationReportsPrintersFromTheCentral) {
    struct Found {
        int* cancel;
        std::string name;
    };
    int cancel = 0;
    Found found{&cancel, ""};
    auto printer = radio.AddPrinter(std::nullopt, qvtest::PrinterAdvert({0x30, 0x30, 0x30, 0x0A, 0x0B, 0x05}));
    const auto start = std::chrono::steady_clock::now();
    const int number = CP_Port_EnumBleDevice(
        10000, &cancel,
        [](const char* name, const char* address, const void* data) {
            auto* f = static_cast<Found*>(const_cast<void*>(data));
            if (std::string(address) != "30:30:30:0A:0B:05" || f->name != "") return;
            f->name = name;
            __atomic_store_n(f->cancel, 1, __ATOMIC_RELAXED);  // the caller polls it so
        },
        &found);
    EXPECT_GE(number, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(found.name, "null");
    EXPECT_EQ(MBCentralManager::proxy().subscriptionCount(), 0u);

    cancel = 1;  // already set: subscribes, unsubscribes, no wait
    EXPECT_GE(CP_Port_EnumBleDevice(60000, &cancel, nullptr, nullptr), 1);
    EXPECT_EQ(MBCentralManager::proxy().subscriptionCount(), 0u);
}

}  // namespace
