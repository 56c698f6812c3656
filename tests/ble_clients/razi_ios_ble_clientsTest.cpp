// The exported wrappers: each forwards to a client of its own with offset 0, opens by address
// or by a peripheral its scan reported, and refuses pointers and addresses it cannot use.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "BleClientFixture.h"
#include "ble_clients/BLEPrinting.h"
#include "ble_clients/BLERWProtoV2.h"
#include "ble_clients/BLERWProtoV3.h"
#include "ble_clients/razi_ios_ble_clients.h"

namespace {

using qvtest::DiscoveryRecord;

class RaziIosBleClientsTest : public qvtest::BleClientTest {};

// An application's private data whose discovery callback is still running when its wrapper
// is destroyed: the callback holds on until the destructor was entered, then gives it a
// while to return, and notes whether it did while the callback was still using the data.
struct SlowDiscovery {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool destroying = false;
    bool destroyed = false;
    bool usedAfterDestruction = false;
    bool done = false;

    static void Full(const void*, const char*, const char*, int, const void* priv) {
        auto* self = static_cast<SlowDiscovery*>(const_cast<void*>(priv));
        std::unique_lock<std::mutex> lock(self->mutex);
        if (self->entered) return;
        self->entered = true;
        self->changed.notify_all();
        self->changed.wait_for(lock, std::chrono::seconds(5), [&] { return self->destroying; });
        self->changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return self->destroyed; });
        self->usedAfterDestruction = self->destroyed;
        self->done = true;
        self->changed.notify_all();
    }
};

template <typename Wrapper>
void ExpectDestructorWaitsForDiscoveryCallbacks() {
    SlowDiscovery probe;
    auto wrapper = std::make_unique<Wrapper>();
    ASSERT_TRUE(wrapper->scan(&SlowDiscovery::Full, nullptr, &probe));
    std::unique_lock<std::mutex> lock(probe.mutex);
    ASSERT_TRUE(probe.changed.wait_for(lock, std::chrono::seconds(5), [&] { return probe.entered; }));
    probe.destroying = true;
    probe.changed.notify_all();
    lock.unlock();
    wrapper.reset();
    lock.lock();
    probe.destroyed = true;
    probe.changed.notify_all();
    ASSERT_TRUE(probe.changed.wait_for(lock, std::chrono::seconds(5), [&] { return probe.done; }));
    EXPECT_FALSE(probe.usedAfterDestruction);
}

TEST_F(RaziIosBleClientsTest, BasicForwardsEveryCallAndIgnoresTheWriteTimeout) {
    auto printer = AddPrinter(BLEPrinting::kServiceUUID,
                              {{BLEPrinting::kCharacteristicUUID, qvtest::kWriteBoth | CBCharacteristicPropertyNotify}});
    razi_ios_ble_basic basic;
    EXPECT_FALSE(basic.OpenAddress(nullptr));
    ASSERT_TRUE(basic.scan(nullptr, nullptr, nullptr));  // no callbacks: the list still fills
    ASSERT_TRUE(basic.OpenAddress("01:02:03:0A:0B:FF"));
    EXPECT_TRUE(basic.IsOpened());
    EXPECT_EQ(printer->connectCount(), 1);

    unsigned char data[45];
    for (int i = 0; i < 45; ++i) data[i] = static_cast<unsigned char>(i);
    for (int timeout : {0, -1, 100000}) EXPECT_EQ(basic.Write(data, 45, timeout), 45) << timeout;
    EXPECT_EQ(printer->writes().size(), 9u);
    EXPECT_EQ(printer->writes()[0].bytes, std::vector<uint8_t>(data, data + 20));
    basic.SetWriteMode(1, 500, 5000, 0);
    EXPECT_EQ(basic.Write(data, 45, 0), 45);
    EXPECT_EQ(printer->writes().back().type, CBCharacteristicWriteWithoutResponse);
    EXPECT_EQ(basic.Write(nullptr, 45, 0), -1);

    ASSERT_TRUE(printer->notify(BLEPrinting::kCharacteristicUUID, {7, 8, 9}));
    unsigned char in[3] = {};
    EXPECT_EQ(basic.Read(in, 1, 2000), 1);
    basic.SkipAvailable();
    EXPECT_EQ(basic.Read(in, 2, 20), 0);
    EXPECT_EQ(basic.Read(in, -1, 20), 0);
    basic.Close();
    EXPECT_FALSE(basic.IsOpened());
    basic.stopScan();
}

TEST_F(RaziIosBleClientsTest, OpenTakesOnlyAPeripheralItsScanReported) {
    AddPrinter(BLEPrinting::kServiceUUID,
               {{BLEPrinting::kCharacteristicUUID, qvtest::kWriteBoth | CBCharacteristicPropertyNotify}});
    DiscoveryRecord record;
    DiscoveryRecord otherRecord;  // outlive the wrappers whose callbacks they receive
    razi_ios_ble_basic basic;
    razi_ios_ble_basic other;
    ASSERT_TRUE(basic.scan(&DiscoveryRecord::Full, nullptr, &record));
    ASSERT_TRUE(other.scan(&DiscoveryRecord::Full, nullptr, &otherRecord));
    // An open by address finds each scan's report, so both callbacks have run after it.
    for (auto* wrapper : {&basic, &other}) {
        ASSERT_TRUE(wrapper->OpenAddress("01:02:03:0A:0B:FF"));
        wrapper->Close();
    }
    ASSERT_FALSE(record.peripherals.empty());
    void* foreign = const_cast<void*>(otherRecord.peripherals.at(0));  // the other client's object
    EXPECT_FALSE(basic.Open(foreign));
    EXPECT_FALSE(basic.Open(nullptr));
    EXPECT_FALSE(basic.Open(&record));
    EXPECT_GE(log.Count("peripheral null"), 3u);
    EXPECT_TRUE(basic.Open(const_cast<void*>(record.peripherals.at(0))));
    basic.Close();
}

TEST_F(RaziIosBleClientsTest, DestructorsWaitForARunningDiscoveryCallback) {
    // Every client's scan hears this printer.
    AddPrinter(BLEPrinting::kServiceUUID,
               {{BLEPrinting::kCharacteristicUUID, qvtest::kWriteBoth | CBCharacteristicPropertyNotify}});
    {
        SCOPED_TRACE("basic");
        ExpectDestructorWaitsForDiscoveryCallbacks<razi_ios_ble_basic>();
    }
    {
        SCOPED_TRACE("group-packet");
        ExpectDestructorWaitsForDiscoveryCallbacks<razi_ios_ble_rwprotov2>();
    }
    {
        SCOPED_TRACE("credit");
        ExpectDestructorWaitsForDiscoveryCallbacks<razi_ios_ble_rwprotov3>();
    }
}

TEST_F(RaziIosBleClientsTest, GroupPacketWrapper) {
    timing.Set([](BleClientTiming& t) { t.setupReplyMs = 2; });
    auto printer = AddPrinter(BLERWProtoV2::kServiceUUID, {{BLERWProtoV2::kNotifyUUID, CBCharacteristicPropertyNotify},
                                                           {BLERWProtoV2::kWriteUUID, qvtest::kWriteBoth}});
    razi_ios_ble_rwprotov2 v2;
    unsigned char data[10] = {};
    EXPECT_EQ(v2.Write(data, 10, 0), -1);
    ASSERT_TRUE(v2.OpenAddress("01:02:03:0A:0B:FF"));
    EXPECT_EQ(v2.Write(data, 10, 0), 0);  // the printer never answers the setup
    const auto writes = printer->writes();
    ASSERT_EQ(writes.size(), 10u);
    EXPECT_EQ(writes[0].bytes[10], 1);  // one packet announced
    int values[4] = {5, 5, 5, 5};
    EXPECT_EQ(v2.GetPacketSendTimesListLength(), 0);
    EXPECT_EQ(v2.GetPacketSendTimesListValue(values, 4), 0);
    v2.ClearPacketSendTimesList();
    ASSERT_TRUE(printer->notify(BLERWProtoV2::kNotifyUUID, {5, 0, 0, 'h', 'i'}));
    unsigned char in[2] = {};
    EXPECT_EQ(v2.Read(in, 2, 2000), 2);
    EXPECT_EQ(std::string(in, in + 2), "hi");
    v2.SkipAvailable();
    v2.Close();
    EXPECT_FALSE(v2.IsOpened());
}

TEST_F(RaziIosBleClientsTest, CreditWrapper) {
    timing.Set([](BleClientTiming& t) { t.connectAttemptMs = 30; });
    auto printer = AddPrinter(BLERWProtoV3::service_uuid,
                              {{BLERWProtoV3::read_characteristic_uuid, CBCharacteristicPropertyNotify},
                               {BLERWProtoV3::write_characteristic_uuid, qvtest::kWriteBoth},
                               {BLERWProtoV3::flowcontrol_characteristic_uuid, CBCharacteristicPropertyNotify}});
    DiscoveryRecord record;
    razi_ios_ble_rwprotov3 v3;
    ASSERT_TRUE(v3.scan(nullptr, &DiscoveryRecord::Simple, &record));
    ASSERT_TRUE(v3.OpenAddress("01:02:03:0A:0B:FF"));
    EXPECT_EQ(record.Calls().at(0), "simple P58 01:02:03:0A:0B:FF");
    unsigned char data[4] = {1, 2, 3, 4};
    EXPECT_EQ(v3.Write(data, 4, 0), -1);  // neither MTU nor credits yet
    ASSERT_TRUE(printer->notify(BLERWProtoV3::read_characteristic_uuid, {'o', 'k'}));
    unsigned char in[2] = {};
    EXPECT_EQ(v3.Read(in, 2, 2000), 2);
    v3.SkipAvailable();
    v3.stopScan();
    v3.Close();
    EXPECT_FALSE(v3.IsOpened());
}

}  // namespace
