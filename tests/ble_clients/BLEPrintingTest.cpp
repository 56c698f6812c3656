// The indexed-packet client's writes: plain packets with and without response, retries, the
// indexed-packet protocol against a simulated printer that acknowledges by index, the search
// for index reports in notifications, and the write parameters.
#include <future>
#include <map>
#include <numeric>
#include <thread>

#include "BleClientFixture.h"
#include "ble_clients/BLEPrinting.h"

namespace {

const std::vector<uint8_t> kStart = {0x10, 0x07, 0x01, 0x00, 0x01};
const std::vector<uint8_t> kRequest = {0x10, 0x07, 0x01, 0x00, 0x00};

std::vector<unsigned char> Pattern(int count) {
    std::vector<unsigned char> data(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) data[static_cast<size_t>(i)] = static_cast<unsigned char>(i * 7 + i / 256);
    return data;
}

// The printer's side of the indexed-packet protocol: it keeps data packets that come in
// order and answers each index request with the low byte of the packet it expects next.
// A test may change that answer (and the printer's own position) through answer.
class IndexedPrinter {
public:
    explicit IndexedPrinter(std::shared_ptr<SimulatedPrinter> printer) : printer_(std::move(printer)) {
        std::weak_ptr<SimulatedPrinter> weak = printer_;
        printer_->setWriteHandler([this, weak](const SimulatedWrite& write) { return Handle(write, weak); });
    }
    ~IndexedPrinter() { printer_->setWriteHandler(nullptr); }

    std::function<int(int& expected)> answer = [](int& expected) { return expected & 0xFF; };
    std::function<void()> onRequest;

    std::vector<uint8_t> Data() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<uint8_t> data;
        for (const auto& [index, bytes] : packets_) data.insert(data.end(), bytes.begin(), bytes.end());
        return data;
    }
    std::vector<int> RequestsAt() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requestsAt_;
    }
    int Starts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return starts_;
    }

private:
    SimulatedPrinter::WriteAnswer Handle(const SimulatedWrite& write, const std::weak_ptr<SimulatedPrinter>& weak) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (write.type == CBCharacteristicWriteWithoutResponse) {
            if (!write.bytes.empty() && write.bytes[0] == (expected_ & 0xFF)) {
                packets_[expected_].assign(write.bytes.begin() + 1, write.bytes.end());
                ++expected_;
            }
            return SimulatedPrinter::WriteAnswer::None;
        }
        if (write.bytes == kStart) {
            ++starts_;
            expected_ = 0;
            packets_.clear();
        } else if (write.bytes == kRequest) {
            requestsAt_.push_back(expected_);
            const int report = answer(expected_);
            auto hook = onRequest;
            lock.unlock();
            if (hook) hook();
            if (report >= 0) {
                if (auto printer = weak.lock()) {
                    printer->notify(BLEPrinting::kCharacteristicUUID, {0x10, 0x07, 0xFF, static_cast<uint8_t>(report)});
                }
            }
        }
        return SimulatedPrinter::WriteAnswer::Confirm;
    }

    std::shared_ptr<SimulatedPrinter> printer_;
    std::mutex mutex_;
    int expected_ = 0;
    int starts_ = 0;
    std::map<int, std::vector<uint8_t>> packets_;  // by full index; a resend replaces
    std::vector<int> requestsAt_;
};

class BLEPrintingTest : public qvtest::BleClientTest {
protected:
    void SetUp() override {
        printer = AddPrinter(BLEPrinting::kServiceUUID,
                             {{BLEPrinting::kCharacteristicUUID, qvtest::kWriteBoth | CBCharacteristicPropertyNotify}});
    }
    void Open() { ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF")); }
    void TearDown() override { client->Close(); }

    std::vector<std::vector<uint8_t>> WritesOfType(int type) {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& w : printer->writes()) {
            if (w.type == type) out.push_back(w.bytes);
        }
        return out;
    }

    std::shared_ptr<SimulatedPrinter> printer;
    std::shared_ptr<BLEPrinting> client = BLEPrinting::Create();
};

TEST_F(BLEPrintingTest, DefaultModeWritesPiecesWithResponseAndRetriesEachPiece) {
    Open();
    ASSERT_EQ(client->PACKET_SIZE(), 20);
    const auto data = Pattern(45);
    EXPECT_EQ(client->Write(data.data(), 0, 45), 45);
    auto pieces = WritesOfType(CBCharacteristicWriteWithResponse);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[2], std::vector<uint8_t>(data.begin() + 40, data.end()));

    // Three failed tries per piece still get through on the fourth.
    printer->clearWrites();
    std::atomic<int> tries{0};
    printer->setWriteHandler([&](const SimulatedWrite&) {
        return ++tries % 4 == 0 ? SimulatedPrinter::WriteAnswer::Confirm : SimulatedPrinter::WriteAnswer::Error;
    });
    EXPECT_EQ(client->Write(data.data(), 0, 45), 45);
    EXPECT_EQ(tries.load(), 12);

    // A piece that fails every try ends the write with the bytes before it.
    tries = 0;
    printer->setWriteHandler([&](const SimulatedWrite&) {
        return ++tries == 1 ? SimulatedPrinter::WriteAnswer::Confirm : SimulatedPrinter::WriteAnswer::Error;
    });
    EXPECT_EQ(client->Write(data.data(), 0, 45), 20);
    EXPECT_EQ(tries.load(), 5);
    printer->setWriteHandler(nullptr);
}

TEST_F(BLEPrintingTest, WithoutResponseModeAndItsTimeLimit) {
    Open();
    const auto data = Pattern(30);
    client->SetWriteMode(1, 20, 5000, 3);
    EXPECT_EQ(client->Write(data.data(), 0, 30), 30);
    EXPECT_EQ(WritesOfType(CBCharacteristicWriteWithoutResponse).size(), 2u);
    // Below a whole second no write without response is made at all.
    client->SetWriteMode(1, 20, 999, 3);
    EXPECT_EQ(client->Write(data.data(), 0, 30), 0);
    client->SetWriteMode(2, 5, 999, 3);
    IndexedPrinter indexed(printer);
    EXPECT_EQ(client->Write(data.data(), 0, 30), -1);
}

TEST_F(BLEPrintingTest, IndexedModeStartsAboveFivePackets) {
    Open();
    IndexedPrinter indexed(printer);
    client->SetWriteMode(2, 20, 5000, 3);
    const auto data = Pattern(101);
    EXPECT_EQ(client->Write(data.data(), 0, 100), 100);
    EXPECT_EQ(indexed.Starts(), 0);
    EXPECT_EQ(WritesOfType(CBCharacteristicWriteWithResponse).size(), 5u);
    EXPECT_EQ(client->Write(data.data(), 0, 101), 101);
    EXPECT_EQ(indexed.Starts(), 1);
    EXPECT_EQ(indexed.Data(), std::vector<uint8_t>(data.begin(), data.end()));
}

TEST_F(BLEPrintingTest, IndexedWriteOfAThousandBytes) {
    Open();
    IndexedPrinter indexed(printer);
    client->SetWriteMode(2, 20, 5000, 3);
    const auto data = Pattern(1010);
    EXPECT_EQ(client->Write(data.data(), 10, 1000), 1000);
    auto packets = WritesOfType(CBCharacteristicWriteWithoutResponse);
    ASSERT_EQ(packets.size(), 53u);
    for (size_t k = 0; k < packets.size(); ++k) {
        EXPECT_EQ(packets[k][0], k);
        EXPECT_EQ(packets[k].size(), k < 52 ? 20u : 13u);
    }
    EXPECT_EQ(indexed.RequestsAt(), std::vector<int>{53});
    EXPECT_EQ(indexed.Data(), std::vector<uint8_t>(data.begin() + 10, data.end()));
    EXPECT_EQ(client->protoIndex(), 53);
}

TEST_F(BLEPrintingTest, CheckpointsEveryBlockAndReportsThatSetTheIndexBack) {
    Open();
    IndexedPrinter indexed(printer);
    int answered256 = 0, answered384 = 0;
    indexed.answer = [&](int& expected) {
        if (expected == 256 && answered256++ == 0) expected = 240;  // lost 240 to 255
        if (expected == 384 && answered384++ == 0) expected = 368;  // bit 7 of 384 set: same block
        return expected & 0xFF;
    };
    client->SetWriteMode(2, 3, 5000, 3);  // 2 data bytes a packet, no pause
    const auto data = Pattern(800);        // 400 packets
    EXPECT_EQ(client->Write(data.data(), 0, 800), 800);
    EXPECT_EQ(indexed.RequestsAt(), (std::vector<int>{128, 256, 256, 384, 384, 400}));
    EXPECT_EQ(indexed.Data(), std::vector<uint8_t>(data.begin(), data.end()));
    EXPECT_EQ(WritesOfType(CBCharacteristicWriteWithoutResponse).size(), 400u + 16 + 16);
    EXPECT_EQ(client->notifyIndex(), 400);
}

TEST_F(BLEPrintingTest, AReportThatConfirmsTheLastPacketEarlyAddsNoPacket) {
    Open();
    IndexedPrinter indexed(printer);
    client->SetWriteMode(2, 20, 5000, 3);
    struct Case {
        const char* name;
        int count;  // 8 packets of up to 19 bytes
    };
    const Case cases[] = {{"last packet full", 152}, {"last packet short", 145}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        printer->clearWrites();
        constexpr int kPackets = 8;
        bool reported = false;
        // The printer confirms the last packet on its own, just after the writer looked.
        client->SetProtoTurnHookForTesting([&] {
            if (reported || client->protoIndex() != kPackets || client->notifyIndex() == kPackets) return;
            reported = true;
            ASSERT_TRUE(printer->notify(BLEPrinting::kCharacteristicUUID, {0x10, 0x07, 0xFF, kPackets}));
            client->queue()->waitIdle();
        });
        const auto data = Pattern(c.count);
        EXPECT_EQ(client->Write(data.data(), 0, c.count), c.count);
        client->SetProtoTurnHookForTesting(nullptr);
        EXPECT_TRUE(reported);
        const auto packets = WritesOfType(CBCharacteristicWriteWithoutResponse);
        EXPECT_EQ(packets.size(), static_cast<size_t>(kPackets));
        EXPECT_EQ(indexed.Data(), data);
    }
}

TEST_F(BLEPrintingTest, IndexedWriteFailures) {
    Open();
    const auto data = Pattern(300);
    {
        SCOPED_TRACE("a printer that never reports");
        IndexedPrinter silent(printer);
        silent.answer = [](int&) { return -1; };
        client->SetWriteMode(2, 20, 1000, 0);
        EXPECT_EQ(client->Write(data.data(), 0, 300), -1);
        EXPECT_TRUE(Logged("No Notify Index"));
    }
    {
        SCOPED_TRACE("a report beyond the write");
        IndexedPrinter ahead(printer);
        ahead.answer = [](int&) { return 90; };
        client->SetWriteMode(2, 20, 5000, 3);
        EXPECT_EQ(client->Write(data.data(), 0, 300), -1);
    }
    {
        SCOPED_TRACE("start command refused");
        printer->setWriteHandler([](const SimulatedWrite&) { return SimulatedPrinter::WriteAnswer::Error; });
        EXPECT_EQ(client->Write(data.data(), 0, 300), -1);
        printer->setWriteHandler(nullptr);
    }
    {
        SCOPED_TRACE("sizes that leave no room for data");
        client->setPACKET_SIZE(1);
        EXPECT_EQ(client->Write(data.data(), 0, 300), -1);
        client->setWRITE_MODE(0);
        client->setPACKET_SIZE(0);
        EXPECT_EQ(client->Write(data.data(), 0, 300), -1);
        EXPECT_EQ(client->Write(nullptr, 0, 10), -1);
        client->setPACKET_SIZE(20);
        EXPECT_EQ(client->Write(data.data(), -1, 10), -1);
        EXPECT_EQ(client->Write(data.data(), 0, 0), 0);
    }
}

TEST_F(BLEPrintingTest, LinkLostAtACheckpointEndsTheWrite) {
    Open();
    IndexedPrinter indexed(printer);
    std::promise<void> requested;
    indexed.answer = [](int&) { return -1; };
    indexed.onRequest = [&] { requested.set_value(); };
    std::thread drop([&] {
        requested.get_future().wait();
        printer->disconnect();
    });
    client->SetWriteMode(2, 20, 3600000, 3);
    const auto data = Pattern(200);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Write(data.data(), 0, 200), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    drop.join();
}

TEST_F(BLEPrintingTest, ReportsAreFoundAnywhereInANotificationAndStillReachTheReader) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int index;
    };
    const Case cases[] = {
        {"alone", {0x10, 0x07, 0xFF, 0x05}, 5},
        {"amid replies", {0x41, 0x10, 0x07, 0xFF, 0xF0, 0x42}, 0xF0},
        {"first wins", {0x10, 0x07, 0xFF, 0x01, 0x10, 0x07, 0xFF, 0x02}, 1},
        {"second 0x10 consumed", {0x10, 0x10, 0x07, 0xFF, 0x05}, -1},
        {"no index byte", {0x41, 0x10, 0x07, 0xFF}, -1},
        {"empty", {}, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BLEPrinting::getNotifyIndex(c.bytes.data(), static_cast<int>(c.bytes.size())), c.index) << c.name;
    }
    EXPECT_EQ(BLEPrinting::getNotifyIndex(nullptr, 4), -1);

    Open();
    ASSERT_TRUE(printer->notify(BLEPrinting::kCharacteristicUUID, cases[1].bytes));
    unsigned char buffer[6] = {};
    EXPECT_EQ(client->Read(buffer, 0, 6, 2000), 6);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 6), cases[1].bytes);
    EXPECT_EQ(client->notifyReceived(), 1);
    printer->notifyError(BLEPrinting::kCharacteristicUUID);
    client->queue()->waitIdle();
    EXPECT_TRUE(Logged("Error on UpdateValueForCharacteristic"));
}

TEST_F(BLEPrintingTest, PacketSizeIsBoundedByTheCeilingOrThePrinter) {
    client->SetWriteMode(2, 500, 1000, 1);
    EXPECT_EQ(client->PACKET_SIZE(), 100);
    EXPECT_EQ(client->WRITE_MODE(), 2);
    EXPECT_EQ(client->PACKET_TIMEOUT(), 1000);
    EXPECT_EQ(client->PACKET_MAXRETRY(), 1);
    printer->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 180);
    Open();
    EXPECT_EQ(client->PACKET_SIZE(), 100);  // an open only lowers it
    client->SetWriteMode(0, 500, 1000, 1);
    EXPECT_EQ(client->PACKET_SIZE(), 180);
}

}  // namespace
