// The process-wide central over the simulated radio: the advertisement filter, counted scan
// subscriptions, the registry of printers seen, and opening and closing proxies through it.
// The central and its registry live for the whole process: every test uses addresses of its
// own and ends the subscriptions it made.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ble/MBCentralManager.h"
#include "ble/MBPeripheralProxyV1.h"
#include "ble/razi_ios_ble_proxy.h"
#include "platform/DispatchQueue.h"
#include "support/ScopedBleTiming.h"
#include "support/SimulatedBle.h"

namespace {

using namespace std::chrono_literals;

const char* kService = "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2";
const char* kCharacteristic = "BEF8D6C9-9C21-4C9E-B632-BD58C1009F9F";
constexpr int kProfileProperties =
    CBCharacteristicPropertyWrite | CBCharacteristicPropertyWriteWithoutResponse | CBCharacteristicPropertyNotify;

// What the discovery callbacks of one subscription saw.
struct Discoveries {
    struct Seen {
        std::string kind, name, address;
        int rssi = 0;
        const void* peripheral = nullptr;
    };
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<Seen> seen;

    static void Simple(const char* name, const char* address, const void* data) {
        static_cast<Discoveries*>(const_cast<void*>(data))->Add({"simple", name, address, 0, nullptr});
    }
    static void Full(const void* peripheral, const char* name, const char* address, int rssi, const void* data) {
        static_cast<Discoveries*>(const_cast<void*>(data))->Add({"full", name, address, rssi, peripheral});
    }
    void Add(Seen s) {
        std::lock_guard<std::mutex> hold(mutex);
        seen.push_back(std::move(s));
        changed.notify_all();
    }
    bool WaitFor(const std::string& kind, const std::string& address) {
        std::unique_lock<std::mutex> hold(mutex);
        return changed.wait_for(hold, 5s, [&] { return Find(kind, address) != nullptr; });
    }
    // With the lock held by the caller, or after the subscription ended.
    const Seen* Find(const std::string& kind, const std::string& address) const {
        for (const auto& s : seen) {
            if (s.kind == kind && s.address == address) return &s;
        }
        return nullptr;
    }
    size_t CountAddress(const std::string& address) const {
        std::lock_guard<std::mutex> hold(mutex);
        size_t n = 0;
        for (const auto& s : seen) n += s.address == address;
        return n;
    }
};

class CentralTest : public ::testing::Test {
protected:
    void SetUp() override { Settle(); }
    void TearDown() override { Settle(); }

    static MBCentralManagerProxy& central() { return MBCentralManager::proxy(); }
    // Lets the central's queue run what the radio reported so far.
    static void Settle() { central().queue()->waitIdle(); }
    bool Scanning() { return central().myCentralManager()->isScanning(); }

    std::shared_ptr<SimulatedPrinter> AddV1Printer(const std::string& name, std::vector<uint8_t> address) {
        auto printer = radio.AddPrinter(name, qvtest::PrinterAdvert(address));
        printer->addService(kService, {{kCharacteristic, kProfileProperties}});
        return printer;
    }
    // Adds the printer and waits until the registry knows its address.
    std::shared_ptr<SimulatedPrinter> SeenV1Printer(const std::string& name, std::vector<uint8_t> address,
                                                    const std::string& text) {
        Discoveries found;
        const int number = MBCentralManager::scan(nullptr, &Discoveries::Simple, &found);
        auto printer = AddV1Printer(name, std::move(address));
        EXPECT_TRUE(found.WaitFor("simple", text));
        MBCentralManager::stopScan(number);
        return printer;
    }

    qvtest::ScopedBleTiming timing;
    qvtest::LogCapture log;
    qvtest::ScopedRadio radio;
};

TEST(AdvertisementFilter, AddressFromManufacturerData) {
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        std::string address;
    };
    const Case cases[] = {
        {"printer", {0x4B, 0x43, 0x01, 0x02, 0x03, 0x0A, 0x0B, 0xFF}, "01:02:03:0A:0B:FF"},
        {"longer data", {0x4B, 0x43, 0xAB, 0xCD, 0xEF, 0x00, 0x11, 0x22, 0x99, 0x98}, "AB:CD:EF:00:11:22"},
        {"only five address bytes", {0x4B, 0x43, 1, 2, 3, 4, 5}, ""},
        {"second byte 44", {0x4B, 0x44, 1, 2, 3, 4, 5, 6}, ""},
        {"first byte 4A", {0x4A, 0x43, 1, 2, 3, 4, 5, 6}, ""},
        {"empty", {}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(MBPrinterAddressFromManufacturerData(&c.data), c.address) << c.name;
    EXPECT_EQ(MBPrinterAddressFromManufacturerData(nullptr), "");
}

TEST(ScanNumbers, RiseByOneAndWrapToOne) {
    MBPeripheralDiscoverInfo::setCurrentNumberForTesting(0);
    EXPECT_EQ(MBPeripheralDiscoverInfo::nextNumber(), 1);
    EXPECT_EQ(MBPeripheralDiscoverInfo::nextNumber(), 2);
    MBPeripheralDiscoverInfo::setCurrentNumberForTesting(INT_MAX - 1);
    EXPECT_EQ(MBPeripheralDiscoverInfo::nextNumber(), INT_MAX);
    EXPECT_EQ(MBPeripheralDiscoverInfo::nextNumber(), 1);
}

TEST_F(CentralTest, RunsOnItsOwnQueueAndStopsTheRadioWhenTheLastSubscriberLeaves) {
    EXPECT_EQ(central().queue()->label(), "com.kelvorund.MBCentralManagerProxy");
    EXPECT_TRUE(central().myCentralManager()->options().showPowerAlert);
    EXPECT_TRUE(central().myCentralManager()->options().restoreIdentifier);
    EXPECT_TRUE(Scanning());  // from the power-on report on
    EXPECT_GE(log.Count("centralManager powered on"), 1u);

    const int first = MBCentralManager::scan(nullptr, nullptr, nullptr);
    const int second = MBCentralManager::scan(nullptr, nullptr, nullptr);
    EXPECT_GE(first, 1);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(log.Count("scan " + std::to_string(first)), 1u);

    MBCentralManager::stopScan(first);
    EXPECT_TRUE(Scanning());
    EXPECT_EQ(log.Count("myCentralManager stopScan"), 0u);
    MBCentralManager::stopScan(second);
    EXPECT_FALSE(Scanning());
    EXPECT_EQ(log.Count("myCentralManager stopScan"), 1u);
    EXPECT_EQ(log.Count("stopScan " + std::to_string(second)), 1u);

    MBCentralManager::stopScan(second);  // not subscribed: removes nothing, the radio stays off
    EXPECT_FALSE(Scanning());
    EXPECT_EQ(central().subscriptionCount(), 0u);
}

TEST_F(CentralTest, PowerLossKeepsSubscriptionsAndPowerOnRestartsTheScan) {
    const int number = MBCentralManager::scan(nullptr, nullptr, nullptr);
    radio.SetPower(CBManagerStatePoweredOff);
    Settle();
    EXPECT_FALSE(Scanning());
    EXPECT_GE(log.Count("centralManager not powered on"), 1u);
    radio.SetPower(CBManagerStatePoweredOn);
    Settle();
    EXPECT_TRUE(Scanning());
    MBCentralManager::stopScan(number);
    EXPECT_FALSE(Scanning());
}

TEST_F(CentralTest, ReportsOnlyPrintersAndKeepsOneRegistryEntryPerAddress) {
    Discoveries found;
    const int number = MBCentralManager::scan(&Discoveries::Full, &Discoveries::Simple, &found);
    auto named = radio.AddPrinter("P58", qvtest::PrinterAdvert({0x10, 0x20, 0x30, 0x0A, 0x0B, 0xF1}));
    named->setRssi(-47);
    radio.AddPrinter(std::nullopt, qvtest::PrinterAdvert({0x10, 0x20, 0x30, 0x0A, 0x0B, 0xF2}));
    radio.AddPrinter("Short", qvtest::PrinterAdvert({0x10, 0x20, 0x30, 0x0A, 0x0B}));
    radio.AddPrinter("Other", {0x4B, 0x44, 0x10, 0x20, 0x30, 0x0A, 0x0B, 0xF3});
    radio.AddPrinter("None", {});
    ASSERT_TRUE(found.WaitFor("full", "10:20:30:0A:0B:F1"));
    ASSERT_TRUE(found.WaitFor("full", "10:20:30:0A:0B:F2"));
    Settle();
    named->advertise();  // with the new RSSI
    Settle();
    MBCentralManager::stopScan(number);

    {
        std::lock_guard<std::mutex> hold(found.mutex);
        for (const auto& s : found.seen) {
            EXPECT_TRUE(s.address == "10:20:30:0A:0B:F1" || s.address == "10:20:30:0A:0B:F2") << s.address;
        }
        EXPECT_EQ(found.Find("full", "10:20:30:0A:0B:F1")->name, "P58");
        EXPECT_EQ(found.seen.back().rssi, -47);  // the last advertisement's
        EXPECT_EQ(found.Find("simple", "10:20:30:0A:0B:F2")->name, "null");
        // The simple callback of a subscription runs before its full one.
        EXPECT_EQ(found.seen[0].kind, "simple");
    }
    EXPECT_GE(found.CountAddress("10:20:30:0A:0B:F1"), 4u);  // duplicates are reported

    const std::string address = "10:20:30:0A:0B:F1";
    auto info = central().findPeripheralInfoByAddress(&address);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->peripheral().get(), found.Find("full", address)->peripheral);
    EXPECT_EQ(log.Count("newPeripheralInfo P58 10:20:30:0A:0B:F1"), 1u);
    EXPECT_EQ(log.Count("newPeripheralInfo (null) 10:20:30:0A:0B:F2"), 1u);
    const std::string lower = "10:20:30:0a:0b:f1";
    EXPECT_EQ(central().findPeripheralInfoByAddress(&lower), nullptr);
    EXPECT_EQ(central().findPeripheralInfoByAddress(nullptr), nullptr);

    // The same address from a new peripheral object updates the entry.
    const size_t entries = central().registrySize();
    auto old = info->peripheral();
    SimulatedRadio::Instance().removePrinter(named);
    SeenV1Printer("P58", {0x10, 0x20, 0x30, 0x0A, 0x0B, 0xF1}, address);
    EXPECT_NE(info->peripheral(), old);
    EXPECT_EQ(central().findPeripheralInfoByAddress(&address), info);
    EXPECT_EQ(central().registrySize(), entries);
    EXPECT_EQ(log.Count("newPeripheralInfo P58 10:20:30:0A:0B:F1"), 1u);
}

// A callback that ends its own subscription is not called again, and one that subscribes
// does not upset the walk.
TEST_F(CentralTest, CallbacksMayUnsubscribeAndSubscribe) {
    struct Self {
        int number = 0;
        int extra = 0;
        std::atomic<int> calls{0};
    };
    static Self self;
    self.calls = 0;
    self.extra = 0;
    self.number = MBCentralManager::scan(
        nullptr,
        [](const char*, const char*, const void*) {
            if (self.calls++ == 0) {
                self.extra = MBCentralManager::scan(nullptr, nullptr, nullptr);
                MBCentralManager::stopScan(self.number);
            }
        },
        nullptr);
    Discoveries found;
    const int watcher = MBCentralManager::scan(nullptr, &Discoveries::Simple, &found);
    auto printer = radio.AddPrinter("P", qvtest::PrinterAdvert({0x10, 0x20, 0x30, 0x0A, 0x0B, 0xF4}));
    ASSERT_TRUE(found.WaitFor("simple", "10:20:30:0A:0B:F4"));
    printer->advertise();
    printer->advertise();
    Settle();
    EXPECT_EQ(self.calls, 1);
    EXPECT_GE(found.CountAddress("10:20:30:0A:0B:F4"), 3u);
    MBCentralManager::stopScan(self.extra);
    MBCentralManager::stopScan(watcher);
    EXPECT_EQ(central().subscriptionCount(), 0u);
}

TEST_F(CentralTest, OpensByAddressAtOnceWhenSeenAndClosesThroughTheRegistry) {
    auto printer = SeenV1Printer("P58", {0x20, 0x20, 0x30, 0x0A, 0x0B, 0x01}, "20:20:30:0A:0B:01");
    const size_t scans = log.Count("scan ");
    const std::string address = "20:20:30:0A:0B:01";
    auto proxy = MBCentralManager::OpenAddressV1(&address);
    ASSERT_NE(proxy, nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<MBPeripheralProxyV1>(proxy), nullptr);
    EXPECT_EQ(log.Count("scan "), scans);  // no search for a known address
    EXPECT_TRUE(printer->isConnected());
    EXPECT_EQ(central().findPeripheralProxyByPerihperal(proxy->myPeripheral()), proxy);

    // A second open of the same peripheral, of any profile, fails and leaves the first alone.
    EXPECT_EQ(MBCentralManager::OpenAddressV1(&address), nullptr);
    EXPECT_EQ(MBCentralManager::OpenPeripheralV1(proxy->myPeripheral()), nullptr);
    EXPECT_EQ(central().OpenPeripheral(proxy->myPeripheral(), 4), nullptr);
    EXPECT_EQ(central().proxyCount(), 1u);
    EXPECT_TRUE(proxy->IsOpened());
    EXPECT_EQ(printer->connectCount(), 1);

    // The central routes the printer's data to the proxy.
    ASSERT_TRUE(printer->notify(kCharacteristic, {5, 6, 7}));
    uint8_t buffer[3] = {};
    EXPECT_EQ(proxy->Read(buffer, 0, 3, 1000), 3);
    EXPECT_EQ(buffer[2], 7);

    MBCentralManager::ClosePeripheralProxy(proxy);
    EXPECT_FALSE(printer->isConnected());
    EXPECT_FALSE(proxy->IsOpened());
    EXPECT_EQ(central().proxyCount(), 0u);
    MBCentralManager::ClosePeripheralProxy(nullptr);
}

TEST_F(CentralTest, UnknownProfilesAndMissingProxiesFailWithoutRegistering) {
    auto printer = SeenV1Printer("P58", {0x20, 0x20, 0x30, 0x0A, 0x0B, 0x02}, "20:20:30:0A:0B:02");
    const std::string address = "20:20:30:0A:0B:02";
    auto peripheral = central().findPeripheralByAddress(&address);
    ASSERT_NE(peripheral, nullptr);
    EXPECT_EQ(central().OpenPeripheral(peripheral, 4), nullptr);
    EXPECT_EQ(central().OpenPeripheral(nullptr, kBleProfileV1), nullptr);
    EXPECT_EQ(central().proxyCount(), 0u);
    EXPECT_EQ(printer->connectCount(), 0);
    EXPECT_FALSE(central().addPeripheralProxyToArray(nullptr));
    EXPECT_FALSE(central().addPeripheralProxyToArray(std::make_shared<MBPeripheralProxyV1>(nullptr, nullptr)));
}

TEST_F(CentralTest, OpenFailsWhenThePrinterRefusesTheConnection) {
    auto printer = SeenV1Printer("P58", {0x20, 0x20, 0x30, 0x0A, 0x0B, 0x03}, "20:20:30:0A:0B:03");
    printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Fail);
    const std::string address = "20:20:30:0A:0B:03";
    EXPECT_EQ(MBCentralManager::OpenAddressV1(&address), nullptr);
    EXPECT_GE(printer->connectCount(), 1);
    EXPECT_EQ(central().proxyCount(), 0u);
    EXPECT_GE(log.Count("Failed to connect P58"), 1u);  // the event reached the proxy
}

TEST_F(CentralTest, OpenByAddressWaitsForThePrinterToBeSeen) {
    timing.Set([](BleTiming& t) { t.addressLookupMs = 3000; });
    std::thread late([&] {
        std::this_thread::sleep_for(50ms);
        AddV1Printer("Late", {0x20, 0x20, 0x30, 0x0A, 0x0B, 0x04});
    });
    const std::string address = "20:20:30:0A:0B:04";
    auto proxy = MBCentralManager::OpenAddressV1(&address);
    late.join();
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(central().subscriptionCount(), 0u);  // the search's own subscription ended
    MBCentralManager::ClosePeripheralProxy(proxy);
}

TEST_F(CentralTest, OpenByAnAddressNeverSeenFailsAfterTheLookup) {
    timing.Set([](BleTiming& t) { t.addressLookupMs = 100; });
    SeenV1Printer("P58", {0x20, 0x20, 0x30, 0x0A, 0x0B, 0x05}, "20:20:30:0A:0B:05");
    const std::string lower = "20:20:30:0a:0b:05";  // addresses compare as exact text
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MBCentralManager::OpenAddressV1(&lower), nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_EQ(log.Count("No peripheral for address 20:20:30:0a:0b:05"), 1u);
    EXPECT_EQ(central().subscriptionCount(), 0u);
    EXPECT_EQ(MBCentralManager::OpenAddressV1(nullptr), nullptr);
}

TEST_F(CentralTest, BridgesForwardToTheHeldProxyAndAreEmptyOtherwise) {
    razi_ios_ble_proxyv1 bridge;
    uint8_t buffer[2] = {0xEE, 0xEE};
    EXPECT_FALSE(bridge.IsOpened());
    EXPECT_FALSE(bridge.IsConnectionValid());
    EXPECT_EQ(bridge.Write(buffer, 2, 100), -1);
    EXPECT_EQ(bridge.Read(buffer, 2, 100), -1);
    EXPECT_EQ(buffer[0], 0xEE);
    bridge.SetWriteMode(1, 20, 5, 1);  // not remembered
    bridge.SkipAvailable();
    bridge.Close();
    EXPECT_FALSE(bridge.OpenAddress(nullptr));
    EXPECT_FALSE(bridge.OpenPeripheral(nullptr));

    auto printer = SeenV1Printer("P58", {0x20, 0x20, 0x30, 0x0A, 0x0B, 0x06}, "20:20:30:0A:0B:06");
    ASSERT_TRUE(bridge.OpenAddress("20:20:30:0A:0B:06"));
    EXPECT_TRUE(bridge.IsOpened());
    EXPECT_TRUE(bridge.IsConnectionValid());
    const uint8_t bytes[3] = {1, 2, 3};
    EXPECT_EQ(bridge.Write(bytes, 3, 100), 3);
    ASSERT_FALSE(printer->writes().empty());
    EXPECT_EQ(printer->writes().back().type, 1);  // the proxy's default: without response
    ASSERT_TRUE(printer->notify(kCharacteristic, {9, 8}));
    EXPECT_EQ(bridge.Read(buffer, 2, 1000), 2);
    EXPECT_EQ(buffer[0], 9);

    printer->disconnect();  // the bridge keeps the proxy; reads and writes fail
    Settle();
    EXPECT_TRUE(bridge.IsOpened());
    EXPECT_EQ(bridge.Read(buffer, 2, 100), -1);
    bridge.Close();
    bridge.Close();
    EXPECT_FALSE(bridge.IsOpened());
    EXPECT_EQ(central().proxyCount(), 0u);

    // Opening by the peripheral object itself.
    const std::string address = "20:20:30:0A:0B:06";
    auto peripheral = central().findPeripheralByAddress(&address);
    ASSERT_TRUE(bridge.OpenPeripheral(peripheral.get()));
    bridge.Close();
}

TEST_F(CentralTest, OpensByPeripheralOnlyWhatTheCentralReported) {
    auto printer = SeenV1Printer("P58", {0x20, 0x20, 0x30, 0x0A, 0x0B, 0x08}, "20:20:30:0A:0B:08");
    razi_ios_ble_proxyv1 bridge;
    // Not a peripheral at all: refused, not followed.
    std::vector<uint64_t> notAPeripheral(16, 0x4141414141414141);
    EXPECT_FALSE(bridge.OpenPeripheral(notAPeripheral.data()));
    // A peripheral of another central.
    auto events = std::make_shared<qvtest::BleEventRecorder>();
    auto queue = std::make_shared<DispatchQueue>("test.other", DispatchQueue::Kind::Serial);
    auto other = CBCentralManager::Create(events, queue);
    other->scanForPeripheralsWithServices({}, true);
    ASSERT_TRUE(events->WaitFor("discover", 1));
    other->stopScan();
    EXPECT_FALSE(bridge.OpenPeripheral(events->Of("discover")[0].peripheral.get()));
    EXPECT_EQ(log.Count("Connecting "), 0u);
    EXPECT_EQ(printer->connectCount(), 0);
    EXPECT_EQ(central().proxyCount(), 0u);
    other.reset();
    queue->waitIdle();
}

TEST_F(CentralTest, EnumeratorSubscribesOnTheSharedCentral) {
    Discoveries found;
    const int number = razi_ios_ble_enumerator::scan(nullptr, &Discoveries::Simple, &found);
    EXPECT_GE(number, 1);
    radio.AddPrinter("E", qvtest::PrinterAdvert({0x20, 0x20, 0x30, 0x0A, 0x0B, 0x07}));
    EXPECT_TRUE(found.WaitFor("simple", "20:20:30:0A:0B:07"));
    razi_ios_ble_enumerator::stopScan(number);
    EXPECT_EQ(central().subscriptionCount(), 0u);
}

}  // namespace
