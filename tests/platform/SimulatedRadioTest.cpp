// The central and peripheral stand-ins over the simulated radio: power, scanning, connection
// and the GATT exchange a profile drives, with the events on the central's queue and in order.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/CBCentralManager.h"
#include "support/SimulatedBle.h"

namespace {

const char* kService = "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2";
const char* kCharacteristic = "BEF8D6C9-9C21-4C9E-B632-BD58C1009F9F";
constexpr int kWriteBoth = CBCharacteristicPropertyWrite | CBCharacteristicPropertyWriteWithoutResponse;

class SimulatedRadioTest : public ::testing::Test {
protected:
    void SetUp() override {
        queue = std::make_shared<DispatchQueue>("test.central", DispatchQueue::Kind::Concurrent);
        events = std::make_shared<qvtest::BleEventRecorder>();
    }
    void TearDown() override {
        central.reset();
        queue->waitIdle();
    }

    std::shared_ptr<SimulatedPrinter> AddV1Printer(const char* name = "P58") {
        auto printer = radio.AddPrinter(name ? std::optional<std::string>(name) : std::nullopt,
                                        qvtest::PrinterAdvert({0x01, 0x02, 0x03, 0x0A, 0x0B, 0xFF}));
        printer->addService(kService, {{kCharacteristic, kWriteBoth | CBCharacteristicPropertyNotify}});
        return printer;
    }
    void StartCentral() {
        central = CBCentralManager::Create(events, queue);
        ASSERT_TRUE(events->WaitFor("state", 1));
    }
    std::shared_ptr<CBPeripheral> Discover() {
        central->scanForPeripheralsWithServices({}, true);
        EXPECT_TRUE(events->WaitFor("discover", 1));
        auto found = events->Of("discover");
        return found.empty() ? nullptr : found[0].peripheral;
    }
    // Connects and walks the GATT chain up to notifications on; returns the characteristic.
    void ConnectAndDiscoverServices(const std::shared_ptr<CBPeripheral>& peripheral) {
        peripheral->setDelegate(events);
        central->connectPeripheral(peripheral);
        EXPECT_TRUE(events->WaitFor("connect", 1));
        peripheral->discoverServices();
        EXPECT_TRUE(events->WaitFor("services", 1));
    }
    std::shared_ptr<CBCharacteristic> Link(const std::shared_ptr<CBPeripheral>& peripheral) {
        ConnectAndDiscoverServices(peripheral);
        auto services = peripheral->services();
        if (services.empty()) return nullptr;
        peripheral->discoverCharacteristics(services[0]);
        EXPECT_TRUE(events->WaitFor("characteristics", 1));
        auto characteristics = services[0]->characteristics();
        if (characteristics.empty()) return nullptr;
        peripheral->setNotifyValue(true, characteristics[0]);
        EXPECT_TRUE(events->WaitFor("notifying", 1));
        return characteristics[0];
    }

    qvtest::ScopedRadio radio;
    std::shared_ptr<DispatchQueue> queue;
    std::shared_ptr<qvtest::BleEventRecorder> events;
    std::shared_ptr<CBCentralManager> central;
};

TEST_F(SimulatedRadioTest, PowerStateIsReportedOnTheQueue) {
    radio.SetPower(CBManagerStatePoweredOff);
    StartCentral();
    EXPECT_EQ(central->state(), CBManagerStatePoweredOff);
    radio.SetPower(CBManagerStatePoweredOn);
    ASSERT_TRUE(events->WaitFor("state", 2));
    auto states = events->Of("state");
    EXPECT_EQ(states[0].number, CBManagerStatePoweredOff);
    EXPECT_EQ(states[1].number, CBManagerStatePoweredOn);
    EXPECT_EQ(states[1].queue, "test.central");
    EXPECT_EQ(central->state(), CBManagerStatePoweredOn);
}

TEST_F(SimulatedRadioTest, ScanReportsAdvertisedPrintersWithTheirData) {
    AddV1Printer();
    auto silent = radio.AddPrinter(std::nullopt, qvtest::PrinterAdvert({9, 9, 9, 9, 9, 9}));
    silent->setRssi(-80);
    StartCentral();
    central->scanForPeripheralsWithServices({}, true);
    ASSERT_TRUE(events->WaitFor("discover", 2));
    auto found = events->Of("discover");
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.number > b.number; });
    EXPECT_EQ(found[0].name, std::optional<std::string>("P58"));
    EXPECT_EQ(found[0].peripheral->name(), std::optional<std::string>("P58"));
    EXPECT_EQ(*found[0].advert, (std::vector<uint8_t>{0x4B, 0x43, 1, 2, 3, 0x0A, 0x0B, 0xFF}));
    EXPECT_EQ(found[0].number, -60);
    EXPECT_EQ(found[0].queue, "test.central");
    EXPECT_EQ(found[1].name, std::nullopt);
    EXPECT_EQ(found[1].number, -80);
    EXPECT_EQ(found[0].peripheral->state(), CBPeripheral::Disconnected);
}

TEST_F(SimulatedRadioTest, DuplicatesOnlyWhenAskedAndTheSameObjectEachTime) {
    auto printer = AddV1Printer();
    StartCentral();
    central->scanForPeripheralsWithServices({}, false);
    printer->advertise();
    printer->advertise();
    queue->waitIdle();
    EXPECT_EQ(events->Count("discover"), 1u);

    central->stopScan();
    events->Clear();
    central->scanForPeripheralsWithServices({}, true);
    printer->advertise();
    printer->advertise();
    ASSERT_TRUE(events->WaitFor("discover", 3));
    auto found = events->Of("discover");
    for (const auto& e : found) EXPECT_EQ(e.peripheral, found[0].peripheral);
}

TEST_F(SimulatedRadioTest, NothingIsHeardUnpoweredUnscannedOrFilteredOut) {
    auto printer = AddV1Printer();
    radio.SetPower(CBManagerStatePoweredOff);
    StartCentral();
    central->scanForPeripheralsWithServices({}, true);  // ignored while off
    EXPECT_FALSE(central->isScanning());
    printer->advertise();

    radio.SetPower(CBManagerStatePoweredOn);
    central->scanForPeripheralsWithServices({CBUUID("18F0")}, true);  // the printer lacks it
    printer->advertise();
    central->scanForPeripheralsWithServices({CBUUID("18F0"), CBUUID(kService)}, true);
    ASSERT_TRUE(events->WaitFor("discover", 1));
    central->stopScan();
    printer->advertise();
    printer->setAdvertising(false);
    central->scanForPeripheralsWithServices({}, true);
    printer->advertise();
    queue->waitIdle();
    EXPECT_EQ(events->Count("discover"), 1u);
}

TEST_F(SimulatedRadioTest, ProfileExchangeRunsInOrderOnTheQueue) {
    auto printer = AddV1Printer();
    printer->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 20);
    printer->setWriteHandler([&](const SimulatedWrite& write) {
        printer->notify(kCharacteristic, {static_cast<uint8_t>(write.bytes.size())});
        return SimulatedPrinter::WriteAnswer::Confirm;
    });
    StartCentral();
    auto peripheral = Discover();
    ASSERT_TRUE(peripheral);
    auto characteristic = Link(peripheral);
    ASSERT_TRUE(characteristic);
    EXPECT_EQ(peripheral->state(), CBPeripheral::Connected);
    EXPECT_EQ(characteristic->UUID().UUIDString(), kCharacteristic);
    EXPECT_EQ(characteristic->properties(), kWriteBoth | CBCharacteristicPropertyNotify);
    EXPECT_TRUE(characteristic->isNotifying());
    EXPECT_TRUE(printer->isNotifying(kCharacteristic));
    EXPECT_EQ(peripheral->maximumWriteValueLengthForType(CBCharacteristicWriteWithResponse), 512);
    EXPECT_EQ(peripheral->maximumWriteValueLengthForType(CBCharacteristicWriteWithoutResponse), 20);

    peripheral->writeValue({1, 2, 3}, characteristic, CBCharacteristicWriteWithResponse);
    ASSERT_TRUE(events->WaitFor("written", 1));
    EXPECT_TRUE(printer->notify(kCharacteristic, {0xAA, 0xBB}));
    ASSERT_TRUE(events->WaitFor("value", 2));

    std::vector<std::string> order;
    for (const auto& e : events->Events()) {
        if (e.what != "discover" && e.what != "state") order.push_back(e.what);
        EXPECT_EQ(e.queue, "test.central") << e.what;
    }
    EXPECT_EQ(order, (std::vector<std::string>{"connect", "services", "characteristics", "notifying", "value",
                                               "written", "value"}));
    auto values = events->Of("value");
    EXPECT_EQ(values[0].value, std::vector<uint8_t>{3});  // sent by the printer before its answer
    EXPECT_EQ(values[1].value, (std::vector<uint8_t>{0xAA, 0xBB}));
    ASSERT_EQ(printer->writes().size(), 1u);
    EXPECT_EQ(printer->writes()[0].bytes, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(printer->writes()[0].service, kService);
    EXPECT_EQ(printer->writes()[0].type, CBCharacteristicWriteWithResponse);
}

TEST_F(SimulatedRadioTest, WriteAnswersAsScripted) {
    auto printer = AddV1Printer();
    StartCentral();
    auto characteristic = Link(Discover());
    ASSERT_TRUE(characteristic);
    auto peripheral = events->Of("connect")[0].peripheral;

    // Without response: no answer by default.
    peripheral->writeValue({1}, characteristic, CBCharacteristicWriteWithoutResponse);
    printer->setWriteHandler([](const SimulatedWrite& w) {
        return w.bytes[0] == 2 ? SimulatedPrinter::WriteAnswer::Error : SimulatedPrinter::WriteAnswer::None;
    });
    peripheral->writeValue({2}, characteristic, CBCharacteristicWriteWithResponse);
    peripheral->writeValue({3}, characteristic, CBCharacteristicWriteWithResponse);  // lost answer
    queue->waitIdle();
    auto written = events->Of("written");
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(written[0].error);
    EXPECT_EQ(printer->writes().size(), 3u);
}

TEST_F(SimulatedRadioTest, WritesAndNotificationsThePropertiesForbid) {
    auto printer = radio.AddPrinter("RO", qvtest::PrinterAdvert({1, 1, 1, 1, 1, 1}));
    printer->addService(kService, {{kCharacteristic, CBCharacteristicPropertyRead}});
    StartCentral();
    auto peripheral = Discover();
    ConnectAndDiscoverServices(peripheral);
    auto service = peripheral->services().at(0);
    peripheral->discoverCharacteristics(service);
    ASSERT_TRUE(events->WaitFor("characteristics", 1));
    auto characteristic = service->characteristics().at(0);
    peripheral->setNotifyValue(true, characteristic);
    peripheral->writeValue({1}, characteristic, CBCharacteristicWriteWithoutResponse);  // dropped
    peripheral->writeValue({1}, characteristic, CBCharacteristicWriteWithResponse);
    ASSERT_TRUE(events->WaitFor("written", 1));
    ASSERT_TRUE(events->WaitFor("notifying", 1));
    EXPECT_TRUE(events->Of("notifying")[0].error);
    EXPECT_TRUE(events->Of("written")[0].error);
    EXPECT_FALSE(characteristic->isNotifying());
    EXPECT_TRUE(printer->writes().empty());
    EXPECT_FALSE(printer->notify(kCharacteristic, {1}));
}

TEST_F(SimulatedRadioTest, ScriptedDiscoveryAndNotificationFailures) {
    auto printer = AddV1Printer();
    printer->setServiceDiscoveryFails(true);
    printer->setNotifyFails(true);
    StartCentral();
    auto peripheral = Discover();
    ConnectAndDiscoverServices(peripheral);
    EXPECT_TRUE(events->Of("services")[0].error);
    EXPECT_TRUE(peripheral->services().empty());

    printer->setServiceDiscoveryFails(false);
    events->Clear();
    peripheral->discoverServices();
    ASSERT_TRUE(events->WaitFor("services", 1));
    peripheral->discoverCharacteristics(peripheral->services().at(0));
    ASSERT_TRUE(events->WaitFor("characteristics", 1));
    auto characteristic = peripheral->services().at(0)->characteristics().at(0);
    peripheral->setNotifyValue(true, characteristic);
    ASSERT_TRUE(events->WaitFor("notifying", 1));
    EXPECT_TRUE(events->Of("notifying")[0].error);
    EXPECT_FALSE(characteristic->isNotifying());
}

TEST_F(SimulatedRadioTest, FailedIgnoredAndCancelledConnections) {
    auto printer = AddV1Printer();
    StartCentral();
    auto peripheral = Discover();
    printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Fail);
    central->connectPeripheral(peripheral);
    ASSERT_TRUE(events->WaitFor("fail", 1));
    EXPECT_TRUE(events->Of("fail")[0].error);
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);

    printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Ignore);
    central->connectPeripheral(peripheral);
    EXPECT_EQ(peripheral->state(), CBPeripheral::Connecting);
    central->connectPeripheral(peripheral);  // already pending: nothing happens
    central->cancelPeripheralConnection(peripheral);
    ASSERT_TRUE(events->WaitFor("disconnect", 1));
    EXPECT_FALSE(events->Of("disconnect")[0].error);
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
    EXPECT_EQ(printer->connectCount(), 2);
    central->cancelPeripheralConnection(peripheral);  // not connected: no event
    queue->waitIdle();
    EXPECT_EQ(events->Count("disconnect"), 1u);
    EXPECT_EQ(events->Count("connect"), 0u);
}

TEST_F(SimulatedRadioTest, LinksDropOnCueWithTheirState) {
    auto printer = AddV1Printer();
    StartCentral();
    auto peripheral = Discover();
    ASSERT_TRUE(Link(peripheral));

    printer->disconnect();
    ASSERT_TRUE(events->WaitFor("disconnect", 1));
    EXPECT_TRUE(events->Of("disconnect")[0].error);
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
    EXPECT_TRUE(peripheral->services().empty());
    EXPECT_FALSE(printer->isConnected());
    EXPECT_FALSE(printer->notify(kCharacteristic, {1}));

    events->Clear();
    ASSERT_TRUE(Link(peripheral));  // the same object connects again
    radio.SetPower(CBManagerStatePoweredOff);
    ASSERT_TRUE(events->WaitFor("disconnect", 1));
    ASSERT_TRUE(events->WaitFor("state", 1));
    EXPECT_FALSE(central->isScanning());
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
    central->connectPeripheral(peripheral);  // unpowered: nothing happens
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);

    radio.SetPower(CBManagerStatePoweredOn);
    events->Clear();
    ASSERT_TRUE(Link(peripheral));
    SimulatedRadio::Instance().removePrinter(printer);
    ASSERT_TRUE(events->WaitFor("disconnect", 1));
    central->connectPeripheral(peripheral);  // out of range: stays pending
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
}

TEST_F(SimulatedRadioTest, EventsStopWhenTheDelegateOrCentralIsGone) {
    auto printer = AddV1Printer();
    StartCentral();
    auto peripheral = Discover();
    ASSERT_TRUE(Link(peripheral));
    auto other = std::make_shared<qvtest::BleEventRecorder>();
    peripheral->setDelegate(other);
    other.reset();
    EXPECT_TRUE(printer->notify(kCharacteristic, {1}));
    queue->waitIdle();
    EXPECT_EQ(events->Count("value"), 0u);

    central.reset();  // leaving the radio drops the link without events
    queue->waitIdle();
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
    EXPECT_FALSE(printer->isConnected());
    EXPECT_EQ(events->Count("disconnect"), 0u);
}

TEST_F(SimulatedRadioTest, StateRestorationOnlyForCentralsThatAskedForIt) {
    auto restoring = std::make_shared<qvtest::BleEventRecorder>();
    auto withRestore = CBCentralManager::Create(restoring, queue, {true, true});
    StartCentral();
    SimulatedRadio::Instance().restoreState();
    ASSERT_TRUE(restoring->WaitFor("restore", 1));
    queue->waitIdle();
    EXPECT_EQ(events->Count("restore"), 0u);
}

}  // namespace
