// The connection skeleton the stand-alone clients share, driven through the indexed-packet
// client: scanning and the scan list, opening by address and by peripheral, the failures of
// an open, link loss, reading against a deadline, and closing.
#include <chrono>
#include <thread>

#include "BleClientFixture.h"
#include "ble_clients/BLEPrinting.h"
#include "ble_clients/BLERWProtoV2.h"
#include "ble_clients/BLERWProtoV3.h"

namespace {

using qvtest::DiscoveryRecord;

// Each stand-alone client with the profile of its printers, for what their skeleton shares.
struct ClientKind {
    const char* name;
    std::function<std::shared_ptr<BLEClientBase>()> create;
    std::string service;
    std::vector<SimulatedCharacteristic> characteristics;
    // What a printer of the kind does besides its profile.
    std::function<void(SimulatedPrinter&)> prepare = [](SimulatedPrinter&) {};
};

// A credit printer that announces its MTU and a credit as soon as it is subscribed, so that
// an open need not wait out its limit.
void AnnounceCredits(SimulatedPrinter& printer) {
    printer.setSubscribeHandler([&printer](const std::string& characteristic) {
        if (characteristic != BLERWProtoV3::flowcontrol_characteristic_uuid) return;
        printer.notify(characteristic, {0x02, 64, 0x00});
        printer.notify(characteristic, {0x01, 1});
    });
}

const std::vector<ClientKind>& ClientKinds() {
    static const std::vector<ClientKind> kinds = {
        {"indexed-packet", [] { return BLEPrinting::Create(); }, BLEPrinting::kServiceUUID,
         {{BLEPrinting::kCharacteristicUUID, qvtest::kWriteBoth | CBCharacteristicPropertyNotify}}},
        {"group-packet", [] { return BLERWProtoV2::Create(); }, BLERWProtoV2::kServiceUUID,
         {{BLERWProtoV2::kNotifyUUID, CBCharacteristicPropertyNotify}, {BLERWProtoV2::kWriteUUID, qvtest::kWriteBoth}}},
        {"credit", [] { return BLERWProtoV3::Create(); }, BLERWProtoV3::service_uuid,
         {{BLERWProtoV3::read_characteristic_uuid, CBCharacteristicPropertyNotify},
          {BLERWProtoV3::write_characteristic_uuid, qvtest::kWriteBoth},
          {BLERWProtoV3::flowcontrol_characteristic_uuid, CBCharacteristicPropertyNotify}},
         AnnounceCredits},
    };
    return kinds;
}

// A subscriber's private data, and callbacks that each expect their own subscriber's.
struct Subscriber {
    explicit Subscriber(int t) : tag(t) {}
    const int tag;
    std::function<void()> onSimple;
    std::atomic<int> calls{0};

    static std::atomic<int> foreign;
    template <int Tag>
    static void Simple(const char*, const char*, const void* priv) {
        auto* self = Check<Tag>(priv);
        if (self && self->onSimple) self->onSimple();
    }
    template <int Tag>
    static void Full(const void*, const char*, const char*, int, const void* priv) {
        Check<Tag>(priv);
    }
    template <int Tag>
    static Subscriber* Check(const void* priv) {
        auto* self = static_cast<Subscriber*>(const_cast<void*>(priv));
        if (self->tag != Tag) {
            ++foreign;
            return nullptr;
        }
        ++self->calls;
        return self;
    }
};
std::atomic<int> Subscriber::foreign{0};

class BLEClientSkeletonTest : public qvtest::BleClientTest {
protected:
    std::shared_ptr<SimulatedPrinter> AddBasicPrinter(std::vector<uint8_t> address = {0x01, 0x02, 0x03, 0x0A, 0x0B, 0xFF},
                                                      const char* name = "P58") {
        return AddPrinter(BLEPrinting::kServiceUUID,
                          {{BLEPrinting::kCharacteristicUUID, qvtest::kWriteBoth | CBCharacteristicPropertyNotify}},
                          std::move(address), name);
    }
    std::shared_ptr<BLEPrinting> client = BLEPrinting::Create();
};

TEST_F(BLEClientSkeletonTest, ScanListsAddressedPrintersAndCallsBothCallbacksInOrder) {
    AddBasicPrinter();
    AddBasicPrinter({}, nullptr);                                           // no manufacturer data
    AddPrinter("FFFF", {}, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x01}, "Other");  // another profile: not reported
    DiscoveryRecord record;
    ASSERT_TRUE(client->scanPeripheral(&DiscoveryRecord::Full, &DiscoveryRecord::Simple, &record));
    client->queue()->waitIdle();
    auto calls = record.Calls();
    std::sort(calls.begin(), calls.end());
    EXPECT_EQ(calls, (std::vector<std::string>{"full P58 01:02:03:0A:0B:FF -60", "full null null -60",
                                               "simple P58 01:02:03:0A:0B:FF"}));
    EXPECT_TRUE(Logged("Start Scan"));
    EXPECT_TRUE(Logged("Added PeripheralInfo P58 01:02:03:0A:0B:FF"));
    EXPECT_TRUE(client->FindPeripheralBy("01:02:03:0A:0B:FF"));
    EXPECT_FALSE(client->FindPeripheralBy("01:02:03:0a:0b:ff"));  // exact comparison
    // The simple callback precedes the full one of the same report.
    auto ordered = record.Calls();
    auto simple = std::find(ordered.begin(), ordered.end(), "simple P58 01:02:03:0A:0B:FF");
    auto full = std::find(ordered.begin(), ordered.end(), "full P58 01:02:03:0A:0B:FF -60");
    EXPECT_LT(simple - ordered.begin(), full - ordered.begin());
    client->stopScan();
    EXPECT_TRUE(Logged("Stop Scan"));
}

TEST_F(BLEClientSkeletonTest, AReportEndsWithTheSubscriberItBeganWith) {
    AddBasicPrinter();
    Subscriber first(1), second(2);
    // The application subscribes anew, from its own thread, while a report is being delivered.
    first.onSimple = [&] {
        std::thread([&] { client->scanPeripheral(&Subscriber::Full<2>, nullptr, &second); }).join();
    };
    Subscriber::foreign = 0;
    ASSERT_TRUE(client->scanPeripheral(&Subscriber::Full<1>, &Subscriber::Simple<1>, &first));
    client->queue()->waitIdle();
    EXPECT_EQ(Subscriber::foreign.load(), 0);  // no callback saw another subscriber's data
    EXPECT_EQ(first.calls.load(), 2);           // simple, then full, both of the first
}

TEST_F(BLEClientSkeletonTest, ScanFailsWhenTheRadioStaysOff) {
    radio.SetPower(CBManagerStatePoweredOff);
    EXPECT_FALSE(client->scanPeripheral(nullptr, nullptr, nullptr));
    EXPECT_FALSE(client->Open(nullptr));
    EXPECT_TRUE(Logged("peripheral null"));
}

TEST_F(BLEClientSkeletonTest, OpenByAddressScansConnectsReadsAndCloses) {
    auto printer = AddBasicPrinter();
    printer->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 18);
    ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF"));
    EXPECT_TRUE(client->IsOpened());
    EXPECT_TRUE(printer->isNotifying(BLEPrinting::kCharacteristicUUID));
    EXPECT_EQ(client->PACKET_SIZE(), 18);  // lowered to the printer's limit at open
    EXPECT_TRUE(Logged("Stop Scan"));
    EXPECT_TRUE(Logged("maximumWriteValueLength Without Response:18"));

    unsigned char buffer[8] = {};
    EXPECT_EQ(client->Read(buffer, 0, 4, 20), 0);  // nothing came: the deadline ends it
    ASSERT_TRUE(printer->notify(BLEPrinting::kCharacteristicUUID, {1, 2, 3}));
    EXPECT_EQ(client->Read(buffer, 1, 3, 2000), 3);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 4), (std::vector<unsigned char>{0, 1, 2, 3}));
    EXPECT_EQ(client->Read(buffer, 0, 0, 2000), 0);

    client->Close();
    EXPECT_FALSE(client->IsOpened());
    EXPECT_FALSE(printer->isConnected());
    EXPECT_EQ(client->Read(buffer, 0, 1, 10), -1);
    client->Close();  // nothing open: nothing happens
}

TEST_F(BLEClientSkeletonTest, UnknownAddressGivesUpAndLeavesTheScanRunning) {
    AddBasicPrinter();
    EXPECT_FALSE(client->OpenAddress("01:02:03:0a:0b:ff"));
    EXPECT_TRUE(Logged("No peripheral 01:02:03:0a:0b:ff"));
    EXPECT_EQ(log.Count("Stop Scan"), 0u);
}

TEST_F(BLEClientSkeletonTest, OpenRefusesABusyPeripheralAndARadioThatIsOff) {
    auto printer = AddBasicPrinter();
    DiscoveryRecord record;
    ASSERT_TRUE(client->scanPeripheral(&DiscoveryRecord::Full, nullptr, &record));
    client->queue()->waitIdle();
    auto peripheral = client->FindPeripheralBy("01:02:03:0A:0B:FF");
    ASSERT_TRUE(peripheral);
    EXPECT_EQ(client->FindReportedPeripheral(record.peripherals.at(0)), peripheral);
    EXPECT_FALSE(client->FindReportedPeripheral(&record));  // not a peripheral of this client
    ASSERT_TRUE(client->Open(peripheral));
    EXPECT_FALSE(client->Open(peripheral));  // connected already
    EXPECT_TRUE(Logged("Open failed. P58 state 2."));
    client->Close();

    radio.SetPower(CBManagerStatePoweredOff);
    EXPECT_FALSE(client->Open(peripheral));
    EXPECT_TRUE(Logged("Maybe Not PoweredOn"));
}

TEST_F(BLEClientSkeletonTest, RefusedConnectionsAreRetriedUntilTheOpenLimit) {
    timing.Set([](BleClientTiming& t) { t.openMs = 100; });
    auto printer = AddBasicPrinter();
    printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Fail);
    EXPECT_FALSE(client->OpenAddress("01:02:03:0A:0B:FF"));
    EXPECT_GT(printer->connectCount(), 1);
    EXPECT_TRUE(Logged("Failed to connect P58"));
    EXPECT_FALSE(client->IsOpened());
}

TEST_F(BLEClientSkeletonTest, ProfileFailuresEndTheAttemptAndCancelTheLink) {
    struct Case {
        const char* name;
        std::function<void(SimulatedPrinter&)> setup;
        std::string service;
        const char* logLine;
    };
    const Case cases[] = {
        {"notifications refused", [](SimulatedPrinter& p) { p.setNotifyFails(true); }, BLEPrinting::kServiceUUID,
         "Error changing notification state"},
        {"other characteristic", [](SimulatedPrinter&) {}, "", nullptr},
    };
    timing.Set([](BleClientTiming& t) {
        t.openMs = 60;
        t.connectAttemptMs = 40;
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto printer = c.service.empty()
                           ? AddPrinter(BLEPrinting::kServiceUUID, {{"2AF0", CBCharacteristicPropertyNotify}},
                                        {0x01, 0x02, 0x03, 0x04, 0x05, 0x06})
                           : AddBasicPrinter({0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
        c.setup(*printer);
        auto fresh = BLEPrinting::Create();
        EXPECT_FALSE(fresh->OpenAddress("01:02:03:04:05:06"));
        EXPECT_FALSE(printer->isConnected());
        if (c.logLine) {
            EXPECT_TRUE(Logged(c.logLine));
        }
        SimulatedRadio::Instance().removePrinter(printer);
    }
}

TEST_F(BLEClientSkeletonTest, LinkLossKeepsTheOpenFlagUntilClose) {
    auto printer = AddBasicPrinter();
    ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF"));
    printer->disconnect();
    client->queue()->waitIdle();
    EXPECT_TRUE(client->IsOpened());
    unsigned char byte = 0;
    EXPECT_EQ(client->Read(&byte, 0, 1, 100), -1);
    EXPECT_EQ(client->Write(&byte, 0, 1), -1);
    EXPECT_TRUE(Logged("Peripheral disconnected"));
    client->Close();
    EXPECT_FALSE(client->IsOpened());
    // The peripheral is disconnected again, so it may be reopened.
    EXPECT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF"));
    client->Close();
}

TEST_F(BLEClientSkeletonTest, OpenAfterALostLinkStartsAfresh) {
    for (const auto& kind : ClientKinds()) {
        for (auto answer : {SimulatedPrinter::ConnectAnswer::Fail, SimulatedPrinter::ConnectAnswer::Ignore}) {
            SCOPED_TRACE(std::string(kind.name) + (answer == SimulatedPrinter::ConnectAnswer::Fail ? ", refused"
                                                                                                 : ", no answer"));
            auto printer = AddPrinter(kind.service, kind.characteristics, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
            kind.prepare(*printer);
            auto lost = kind.create();
            ASSERT_TRUE(lost->OpenAddress("01:02:03:04:05:06"));
            printer->disconnect();
            lost->queue()->waitIdle();
            printer->setConnectAnswer(answer);
            timing.Set([](BleClientTiming& t) {
                t.openMs = 60;
                t.connectAttemptMs = 20;
            });
            EXPECT_FALSE(lost->OpenAddress("01:02:03:04:05:06"));  // no Close since the loss
            EXPECT_FALSE(lost->IsOpened());
            timing.Set([](BleClientTiming& t) { t = qvtest::ScopedBleClientTiming::Fast(); });
            printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Accept);
            EXPECT_TRUE(lost->OpenAddress("01:02:03:04:05:06"));
            lost->Close();
            EXPECT_FALSE(printer->isConnected());
            SimulatedRadio::Instance().removePrinter(printer);
        }
    }
}

TEST_F(BLEClientSkeletonTest, OpenAfterALostLinkReadsOnlyTheNewConnectionsBytes) {
    auto printer = AddBasicPrinter();
    ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF"));
    ASSERT_TRUE(printer->notify(BLEPrinting::kCharacteristicUUID, {0x41, 0x42}));
    client->queue()->waitIdle();
    printer->disconnect();
    client->queue()->waitIdle();

    // An open that makes no attempt at all does not report the lost one as open.
    timing.Set([](BleClientTiming& t) { t.openMs = 0; });
    EXPECT_FALSE(client->OpenAddress("01:02:03:0A:0B:FF"));
    EXPECT_FALSE(client->IsOpened());

    timing.Set([](BleClientTiming& t) { t = qvtest::ScopedBleClientTiming::Fast(); });
    ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF"));
    ASSERT_TRUE(printer->notify(BLEPrinting::kCharacteristicUUID, {0x43}));
    unsigned char byte = 0;
    EXPECT_EQ(client->Read(&byte, 0, 1, 1000), 1);
    EXPECT_EQ(byte, 0x43) << "the first byte is this connection's";
    client->Close();
}

TEST_F(BLEClientSkeletonTest, ASecondOpenWhileAPrinterIsOpenIsRefused) {
    for (const auto& kind : ClientKinds()) {
        SCOPED_TRACE(kind.name);
        auto first = AddPrinter(kind.service, kind.characteristics, {0x0A, 0, 0, 0, 0, 0x01}, "First");
        auto second = AddPrinter(kind.service, kind.characteristics, {0x0A, 0, 0, 0, 0, 0x02}, "Second");
        kind.prepare(*first);
        kind.prepare(*second);
        auto opener = kind.create();
        ASSERT_TRUE(opener->OpenAddress("0A:00:00:00:00:01"));
        EXPECT_FALSE(opener->OpenAddress("0A:00:00:00:00:02"));
        EXPECT_TRUE(Logged("Open failed. First is open."));
        EXPECT_EQ(second->connectCount(), 0);
        EXPECT_FALSE(opener->OpenAddress("0A:00:00:00:00:03"));  // refused before any search
        EXPECT_FALSE(Logged("No peripheral"));
        EXPECT_TRUE(opener->IsOpened());
        opener->Close();
        EXPECT_FALSE(first->isConnected());
        ASSERT_TRUE(opener->OpenAddress("0A:00:00:00:00:02"));  // once closed, another may open
        opener->Close();
        EXPECT_FALSE(second->isConnected());
        SimulatedRadio::Instance().removePrinter(first);
        SimulatedRadio::Instance().removePrinter(second);
    }
}

TEST_F(BLEClientSkeletonTest, RadioTurnedOffDuringAReadEndsIt) {
    auto printer = AddBasicPrinter();
    ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF"));
    std::thread off([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        radio.SetPower(CBManagerStatePoweredOff);
    });
    unsigned char byte = 0;
    EXPECT_EQ(client->Read(&byte, 0, 1, 5000), -1);
    off.join();
    client->Close();
    EXPECT_FALSE(client->IsOpened());
}

TEST_F(BLEClientSkeletonTest, WriteWithResponseReportsErrorsAndMissingAnswers) {
    auto printer = AddBasicPrinter();
    ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF"));
    const unsigned char data[3] = {1, 2, 3};
    EXPECT_EQ(client->writePackWithResponse(data, 1, 2, 1000), 2);
    printer->setWriteHandler([](const SimulatedWrite&) { return SimulatedPrinter::WriteAnswer::Error; });
    EXPECT_EQ(client->writePackWithResponse(data, 0, 3, 1000), 0);
    EXPECT_TRUE(Logged("Error writing characteristic value"));
    printer->setWriteHandler([](const SimulatedWrite&) { return SimulatedPrinter::WriteAnswer::None; });
    EXPECT_EQ(client->writePackWithResponse(data, 0, 3, 20), 0);
    // Without response: no callback comes, so the write counts as done after its pause.
    EXPECT_EQ(client->writePackWithoutResponse(data, 0, 3), 3);
    auto writes = printer->writes();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0].bytes, (std::vector<uint8_t>{2, 3}));
    EXPECT_EQ(writes[3].type, CBCharacteristicWriteWithoutResponse);
    client->Close();
}

}  // namespace
