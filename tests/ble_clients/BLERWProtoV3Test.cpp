// The credit client: the three characteristics of its profile, the printer's MTU and credits
// on the flow-control characteristic, chunked writes paid one credit each, completion by the
// credits returned, and the ends of a write (deadline, lost link, radio off).
#include <future>
#include <thread>

#include "BleClientFixture.h"
#include "ble_clients/BLERWProtoV3.h"

namespace {

using V3 = BLERWProtoV3;

std::vector<unsigned char> Pattern(int count) {
    std::vector<unsigned char> data(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) data[static_cast<size_t>(i)] = static_cast<unsigned char>(i * 31 + 3);
    return data;
}

// The printer's side of the credit protocol: it keeps each chunk and returns the credits a
// test chooses for the k-th chunk (one each by default).
class CreditPrinter {
public:
    explicit CreditPrinter(std::shared_ptr<SimulatedPrinter> printer) : printer_(std::move(printer)) {
        printer_->setWriteHandler([this](const SimulatedWrite& write) {
            int grant = 0;
            std::function<void()> hook;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                chunks_.push_back(write.bytes);
                grant = creditsFor(static_cast<int>(chunks_.size()));
                if (chunks_.size() == 1) hook = onFirstChunk;
            }
            if (hook) hook();
            if (grant > 0) printer_->notify(V3::flowcontrol_characteristic_uuid, {0x01, static_cast<uint8_t>(grant)});
            return SimulatedPrinter::WriteAnswer::None;
        });
    }
    ~CreditPrinter() { printer_->setWriteHandler(nullptr); }

    std::function<int(int)> creditsFor = [](int) { return 1; };
    std::function<void()> onFirstChunk;

    std::vector<std::vector<uint8_t>> Chunks() {
        std::lock_guard<std::mutex> lock(mutex_);
        return chunks_;
    }

private:
    std::shared_ptr<SimulatedPrinter> printer_;
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> chunks_;
};

class BLERWProtoV3Test : public qvtest::BleClientTest {
protected:
    void SetUp() override {
        // The printers here announce their MTU and credits after the open, so the open
        // waits out its (short) limit for them.
        timing.Set([](BleClientTiming& t) { t.connectAttemptMs = 30; });
        printer = AddPrinter(V3::service_uuid, {{V3::read_characteristic_uuid, CBCharacteristicPropertyNotify},
                                                {V3::write_characteristic_uuid, qvtest::kWriteBoth},
                                                {V3::flowcontrol_characteristic_uuid, CBCharacteristicPropertyNotify}});
        printer->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 182);
    }
    void TearDown() override { client->Close(); }
    void Open() { ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF")); }
    void Flow(std::vector<uint8_t> value) {
        ASSERT_TRUE(printer->notify(V3::flowcontrol_characteristic_uuid, value));
        client->queue()->waitIdle();
    }

    std::shared_ptr<SimulatedPrinter> printer;
    std::shared_ptr<V3> client = V3::Create();
};

TEST_F(BLERWProtoV3Test, ChunksOfTheMtuOneCreditEach) {
    Open();
    EXPECT_EQ(client->maximumWriteValueLength(), 182);
    EXPECT_TRUE(Logged("didUpdateNotificationStateForCharacteristic FF03 successed"));
    Flow({0x02, 100, 0x00});
    Flow({0x01, 1});
    CreditPrinter credits(printer);
    const auto data = Pattern(260);
    EXPECT_EQ(client->Write(data.data(), 10, 250, 0), 250);
    auto chunks = credits.Chunks();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0], std::vector<uint8_t>(data.begin() + 10, data.begin() + 110));
    EXPECT_EQ(chunks[2], std::vector<uint8_t>(data.begin() + 210, data.end()));
    EXPECT_EQ(client->printerRespondedCreditsTotalValue(), 3);

    // Data comes on FF01 alone; flow-control values never reach the reader.
    ASSERT_TRUE(printer->notify(V3::read_characteristic_uuid, {'o', 'k'}));
    unsigned char buffer[3] = {};
    EXPECT_EQ(client->Read(buffer, 0, 3, 50), 2);
    EXPECT_EQ(std::string(buffer, buffer + 2), "ok");
}

TEST_F(BLERWProtoV3Test, CreditsThatPassTheChunkCountLeaveTheWriteToItsDeadline) {
    timing.Set([](BleClientTiming& t) { t.groupWriteExtraMs = 60; });
    Open();
    Flow({0x02, 10, 0x00});
    Flow({0x01, 5});
    CreditPrinter credits(printer);
    credits.creditsFor = [](int k) { return k % 2 == 0 || k == 5 ? 2 : 0; };  // 2, 4, 6 of 5
    const auto data = Pattern(50);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Write(data.data(), 0, 50, 0), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(110));
    EXPECT_TRUE(Logged("Write Failed 0/50"));
}

TEST_F(BLERWProtoV3Test, FlowControlValuesAndWhatAWriteNeedsToStart) {
    const auto data = Pattern(10);
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), -1);  // not open: nothing logged
    EXPECT_FALSE(Logged("Write Failed"));
    Open();
    EXPECT_EQ(client->Write(data.data(), 0, 0, 0), -1);  // no MTU yet
    Flow({0x02, 100, 0x00});
    EXPECT_EQ(client->Write(data.data(), 0, 0, 0), -1);  // no credit in hand
    EXPECT_TRUE(Logged("Write Failed -1/0"));
    Flow({0x01, 2});
    EXPECT_EQ(client->Write(data.data(), 0, 0, 0), 0);  // no chunks: done at once
    EXPECT_EQ(client->printerRespondedCreditsCurrentValue(), 2);

    const std::vector<std::vector<uint8_t>> ignored = {{0x02, 50}, {0x01, 3, 0}, {0x01}, {0x02, 50, 0, 0}, {0x03, 50, 0}};
    for (const auto& value : ignored) Flow(value);
    EXPECT_EQ(client->printerRespondedMTUSize(), 100);
    EXPECT_EQ(client->printerRespondedCreditsCurrentValue(), 2);

    Flow({0x02, 0x00, 0x00});  // MTU 0: no chunk size
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), -1);
    Flow({0x02, 0x08, 0x7F});
    CreditPrinter credits(printer);
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), 10);
    EXPECT_EQ(credits.Chunks().size(), 2u);  // 8 and 2
    EXPECT_EQ(client->Write(nullptr, 0, 10, 0), -1);
}

TEST_F(BLERWProtoV3Test, RadioTurnedOffDuringAWriteEndsIt) {
    Open();
    Flow({0x02, 20, 0x00});
    Flow({0x01, 1});
    CreditPrinter credits(printer);
    credits.creditsFor = [](int) { return 0; };
    std::promise<void> first;
    credits.onFirstChunk = [&] { first.set_value(); };
    std::thread off([&] {
        first.get_future().wait();
        radio.SetPower(CBManagerStatePoweredOff);
    });
    const auto data = Pattern(100);
    EXPECT_EQ(client->Write(data.data(), 0, 100, 0), -1);
    off.join();
    unsigned char byte = 0;
    EXPECT_EQ(client->Read(&byte, 0, 1, 50), -1);
}

TEST_F(BLERWProtoV3Test, OpenEndsOnceTheMtuAndCreditsCameAndEachOpenStartsAfresh) {
    timing.Set([](BleClientTiming& t) { t.connectAttemptMs = 3000; });
    std::atomic<bool> announce{true};
    printer->setSubscribeHandler([&](const std::string& characteristic) {
        if (characteristic != V3::flowcontrol_characteristic_uuid || !announce) return;
        printer->notify(V3::flowcontrol_characteristic_uuid, {0x02, 64, 0x00});
        printer->notify(V3::flowcontrol_characteristic_uuid, {0x01, 4});
    });
    const auto start = std::chrono::steady_clock::now();
    Open();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(client->printerRespondedMTUSize(), 64);
    EXPECT_EQ(client->printerRespondedCreditsCurrentValue(), 4);
    CreditPrinter credits(printer);
    const auto data = Pattern(200);
    EXPECT_EQ(client->Write(data.data(), 0, 200, 0), 200);  // 64, 64, 64, 8
    EXPECT_EQ(credits.Chunks().size(), 4u);
    client->Close();

    // A printer that stays quiet: the open waits its limit, then succeeds without them.
    timing.Set([](BleClientTiming& t) { t.connectAttemptMs = 30; });
    announce = false;
    Open();
    EXPECT_EQ(client->printerRespondedMTUSize(), 0);
    EXPECT_EQ(client->printerRespondedCreditsCurrentValue(), 0);
    EXPECT_EQ(client->Write(data.data(), 0, 200, 0), -1);
    printer->setSubscribeHandler(nullptr);
}

TEST_F(BLERWProtoV3Test, OpenNeedsAllThreeCharacteristics) {
    timing.Set([](BleClientTiming& t) { t.openMs = 60; });
    auto partial = AddPrinter(V3::service_uuid,
                              {{V3::read_characteristic_uuid, CBCharacteristicPropertyNotify},
                               {V3::write_characteristic_uuid, qvtest::kWriteBoth}},
                              {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}, "NoFlow");
    EXPECT_FALSE(client->OpenAddress("0A:0B:0C:0D:0E:0F"));
    EXPECT_FALSE(partial->isConnected());
    EXPECT_TRUE(Logged("NoFlow 0A:0B:0C:0D:0E:0F"));
}

}  // namespace
