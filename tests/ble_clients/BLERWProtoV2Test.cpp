// The group-packet client: the setup exchange, numbered packets sent within the printer's
// free space, resends on request, the received count that ends a write, the printer's frames
// (split, joined, control and data), and the send counts.
#include <future>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "BleClientFixture.h"
#include "ble_clients/BLERWProtoV2.h"

namespace {

std::vector<uint8_t> Control(uint8_t type, std::vector<uint8_t> body, uint8_t length = 10) {
    std::vector<uint8_t> frame = {0x00, length, type};
    frame.insert(frame.end(), body.begin(), body.end());
    frame.resize(length, 0);
    return frame;
}

std::vector<unsigned char> Pattern(int count) {
    std::vector<unsigned char> data(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) data[static_cast<size_t>(i)] = static_cast<unsigned char>(i * 13 + 5);
    return data;
}

// The printer's side of the group-packet protocol: it echoes the setup (or answers as a test
// says), announces its free space and gives each packet's room back, keeps packets by index,
// loses chosen packets once and asks for them again, and reports the count once all came.
class GroupPrinter {
public:
    explicit GroupPrinter(std::shared_ptr<SimulatedPrinter> printer) : printer_(std::move(printer)) {
        printer_->setWriteHandler([this](const SimulatedWrite& write) { return Handle(write); });
    }
    ~GroupPrinter() { printer_->setWriteHandler(nullptr); }

    int freeSpace = 1000;
    bool replenish = true;
    std::set<int> dropOnce;
    // The reply to a setup of (count, size); nullopt sends none.
    std::function<std::optional<std::pair<int, int>>(int, int)> setupReply = [](int count, int size) {
        return std::optional<std::pair<int, int>>({count & 0xFFFF, size});
    };
    std::function<int(int)> receivedCount = [](int count) { return count; };
    std::function<void()> onFirstPacket;

    std::vector<uint8_t> Data() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<uint8_t> data;
        for (const auto& [index, bytes] : packets_) data.insert(data.end(), bytes.begin(), bytes.end());
        return data;
    }
    int Setups() {
        std::lock_guard<std::mutex> lock(mutex_);
        return setups_;
    }
    int BadChecksums() {
        std::lock_guard<std::mutex> lock(mutex_);
        return badChecksums_;
    }

private:
    SimulatedPrinter::WriteAnswer Handle(const SimulatedWrite& write) {
        const auto& b = write.bytes;
        std::vector<uint8_t> out;
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (b.size() == 17 && b[0] == 0x00 && b[1] == 0x07 && b[8] == 0x0A && b[9] == 0x02) {
                ++setups_;
                expected_ = b[10] | (b[11] << 8);
                packets_.clear();
                if (auto reply = setupReply(expected_, b[12])) {
                    out = Control(0x03, {static_cast<uint8_t>(reply->first), static_cast<uint8_t>(reply->first >> 8),
                                         static_cast<uint8_t>(reply->second)});
                    auto room = Control(0x01, {0x00, static_cast<uint8_t>(freeSpace), static_cast<uint8_t>(freeSpace >> 8)});
                    out.insert(out.end(), room.begin(), room.end());  // two frames in one notification
                }
            } else if (b.size() >= 4) {
                uint8_t x = 0;
                for (size_t k = 0; k < b.size(); ++k) {
                    if (k != 1) x ^= b[k];
                }
                if (x != b[1] || b[0] != b.size()) ++badChecksums_;
                const int index = b[2] | (b[3] << 8);
                if (packets_.empty() && onFirstPacket) hook = onFirstPacket;
                if (dropOnce.erase(index)) {
                    out = Control(0xFF, {static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8)});
                } else {
                    packets_[index].assign(b.begin() + 4, b.end());
                    if (replenish) {
                        out = Control(0x01, {0x01, static_cast<uint8_t>(b.size() - 4), 0x00});
                    }
                    if (static_cast<int>(packets_.size()) == expected_) {
                        const int reported = receivedCount(expected_);
                        auto done = Control(0x05, {static_cast<uint8_t>(reported), static_cast<uint8_t>(reported >> 8)});
                        out.insert(out.end(), done.begin(), done.end());
                    }
                }
            }
        }
        if (hook) hook();
        if (!out.empty()) printer_->notify(BLERWProtoV2::kNotifyUUID, out);
        return SimulatedPrinter::WriteAnswer::None;
    }

    std::shared_ptr<SimulatedPrinter> printer_;
    std::mutex mutex_;
    int expected_ = 0;
    int setups_ = 0;
    int badChecksums_ = 0;
    std::map<int, std::vector<uint8_t>> packets_;
};

class BLERWProtoV2Test : public qvtest::BleClientTest {
protected:
    void SetUp() override {
        printer = AddPrinter(BLERWProtoV2::kServiceUUID,
                             {{BLERWProtoV2::kNotifyUUID, CBCharacteristicPropertyNotify},
                              {BLERWProtoV2::kWriteUUID, qvtest::kWriteBoth}});
        printer->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 200);
    }
    void Open() { ASSERT_TRUE(client->OpenAddress("01:02:03:0A:0B:FF")); }
    void TearDown() override { client->Close(); }
    std::vector<int> SendTimes() {
        std::vector<int> values(static_cast<size_t>(client->GetPacketSendTimesListLength()));
        client->GetPacketSendTimesListValue(values.data(), static_cast<int>(values.size()));
        return values;
    }
    std::vector<std::vector<uint8_t>> Writes() {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& w : printer->writes()) out.push_back(w.bytes);
        return out;
    }

    std::shared_ptr<SimulatedPrinter> printer;
    std::shared_ptr<BLERWProtoV2> client = BLERWProtoV2::Create();
};

TEST_F(BLERWProtoV2Test, SetupThenNumberedPacketsUntilTheReceivedCount) {
    Open();
    EXPECT_EQ(client->PACKET_SIZE(), 200);
    EXPECT_TRUE(Logged("Discovered service uuid 18F0"));
    GroupPrinter group(printer);
    const auto data = Pattern(200);
    EXPECT_EQ(client->Write(data.data(), 3, 197, 0), 197);
    auto writes = Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(std::vector<uint8_t>(writes[0].begin(), writes[0].begin() + 13),
              (std::vector<uint8_t>{0x00, 0x07, 0, 0, 0, 0, 0, 0, 0x0A, 0x02, 2, 0, 200}));
    EXPECT_EQ(writes[1].size(), 200u);
    EXPECT_EQ(writes[2].size(), 5u);
    EXPECT_EQ(writes[2][0], 5);
    EXPECT_EQ(writes[2][2], 1);
    EXPECT_EQ(group.BadChecksums(), 0);
    EXPECT_EQ(group.Data(), std::vector<uint8_t>(data.begin() + 3, data.end()));
    EXPECT_EQ(SendTimes(), (std::vector<int>{1, 1}));
    EXPECT_EQ(client->nPrinterBufferValidSize(), 1000);  // each payload given back

    printer->clearWrites();
    EXPECT_EQ(client->Write(data.data(), 0, 196, 0), 196);
    EXPECT_EQ(Writes().size(), 2u);  // setup and one full packet
}

TEST_F(BLERWProtoV2Test, RequestedPacketsAreSentAgainFirst) {
    Open();
    client->setPACKET_SIZE(20);  // 16 bytes a packet
    GroupPrinter group(printer);
    group.dropOnce = {1, 3};
    const auto data = Pattern(1000);
    EXPECT_EQ(client->Write(data.data(), 0, 1000, 0), 1000);
    EXPECT_EQ(group.Data(), std::vector<uint8_t>(data.begin(), data.end()));
    auto times = SendTimes();
    ASSERT_EQ(times.size(), 63u);
    for (size_t i = 0; i < times.size(); ++i) EXPECT_EQ(times[i], i == 1 || i == 3 ? 2 : 1) << "packet " << i;
}

TEST_F(BLERWProtoV2Test, RequestsForPacketsAWriteDoesNotHaveAreDropped) {
    Open();
    GroupPrinter group(printer);
    // Asked for packets 100 to 65634 while the write runs.
    group.onFirstPacket = [&] { printer->notify(BLERWProtoV2::kNotifyUUID, Control(0xFF, {100, 0, 0, 0xFF, 0xFF}, 12)); };
    const auto data = Pattern(500);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Write(data.data(), 0, 500, 0), 500);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(SendTimes(), (std::vector<int>{1, 1, 1}));
}

TEST_F(BLERWProtoV2Test, FreeSpaceBelowOnePayloadHoldsBackNewPackets) {
    timing.Set([](BleClientTiming& t) { t.groupWriteExtraMs = 60; });
    Open();
    client->setPACKET_SIZE(20);
    GroupPrinter group(printer);
    group.freeSpace = 15;
    const auto data = Pattern(10);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(70));
    EXPECT_EQ(Writes().size(), 1u);  // the setup alone
    EXPECT_EQ(SendTimes(), std::vector<int>{0});
}

TEST_F(BLERWProtoV2Test, SetupFailures) {
    timing.Set([](BleClientTiming& t) { t.setupReplyMs = 5; });
    Open();
    GroupPrinter group(printer);
    const auto data = Pattern(500);
    {
        SCOPED_TRACE("wrong count");
        group.setupReply = [](int count, int size) { return std::optional<std::pair<int, int>>({count + 1, size}); };
        EXPECT_EQ(client->Write(data.data(), 0, 500, 0), 0);
        EXPECT_EQ(group.Setups(), 10);
        EXPECT_TRUE(Logged("writeGroupPack setupGroupPack Error"));
    }
    {
        SCOPED_TRACE("no reply");
        group.setupReply = [](int, int) { return std::optional<std::pair<int, int>>(); };
        EXPECT_EQ(client->Write(data.data(), 0, 500, 0), 0);
        EXPECT_EQ(group.Setups(), 20);
    }
    {
        SCOPED_TRACE("more packets than a setup can announce");
        group.setupReply = [](int count, int size) {
            return std::optional<std::pair<int, int>>({count & 0xFFFF, size});
        };
        client->setPACKET_SIZE(5);
        std::vector<unsigned char> big(65536, 0x55);
        EXPECT_EQ(client->Write(big.data(), 0, 65536, 0), 0);
    }
    for (const auto& w : Writes()) EXPECT_EQ(w.size(), 17u);  // no data packet went out
}

TEST_F(BLERWProtoV2Test, ReceivedCountThatDiffersEndsTheWrite) {
    Open();
    GroupPrinter group(printer);
    group.receivedCount = [](int count) { return count - 1; };
    const auto data = Pattern(600);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Write(data.data(), 0, 600, 0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(BLERWProtoV2Test, RefusedWrites) {
    const auto data = Pattern(10);
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), -1);  // not open
    Open();
    GroupPrinter group(printer);
    EXPECT_EQ(client->Write(data.data(), 0, 0, 0), 0);  // nothing to send: at once
    EXPECT_EQ(client->GetPacketSendTimesListLength(), 0);
    EXPECT_EQ(client->Write(nullptr, 0, 10, 0), -1);
    EXPECT_EQ(client->Write(data.data(), -1, 10, 0), -1);
    client->setPACKET_SIZE(4);  // no room for a payload
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), -1);
}

TEST_F(BLERWProtoV2Test, LinkLostDuringTheSendLoop) {
    Open();
    GroupPrinter group(printer);
    std::promise<void> first;
    group.onFirstPacket = [&] { first.set_value(); };
    group.replenish = false;
    group.freeSpace = 196;  // one packet, then the sender waits for room
    std::thread drop([&] {
        first.get_future().wait();
        printer->disconnect();
    });
    const auto data = Pattern(1000);
    EXPECT_EQ(client->Write(data.data(), 0, 1000, 0), -1);
    drop.join();
}

TEST_F(BLERWProtoV2Test, PrinterFramesSteerTheSenderAndFillTheRing) {
    Open();
    auto send = [&](std::vector<uint8_t> bytes) {
        ASSERT_TRUE(printer->notify(BLERWProtoV2::kNotifyUUID, bytes));
        client->queue()->waitIdle();
    };
    send(Control(0x01, {0x00, 0x28, 0x23}));  // set 9000
    EXPECT_EQ(client->nPrinterBufferValidSize(), 8192);
    send(Control(0x01, {0x01, 0x28, 0x23}));  // add 9000
    EXPECT_EQ(client->nPrinterBufferValidSize(), 17192);
    send(Control(0x01, {0x02, 0x28, 0x23}));  // neither set nor add
    EXPECT_EQ(client->nPrinterBufferValidSize(), 17192);

    send(Control(0xFF, {6, 0}));
    send(Control(0xFF, {5, 0, 0, 3, 0}, 12));
    send(Control(0xFF, {9, 0, 0, 0, 0}, 12));  // count 0
    EXPECT_EQ(client->PacketRetryList(), (std::vector<int>{5, 6, 7}));
    // The widest request a printer can make is merged at once, not index by index.
    const auto start = std::chrono::steady_clock::now();
    send(Control(0xFF, {0xFF, 0xFF, 0, 0xFF, 0xFF}, 12));
    EXPECT_EQ(client->PacketRetryList().size(), 3u + 65535u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    // A data frame split over two notifications, then two data frames in one.
    send({7, 0xAA, 0xBB, 'a', 'b'});
    send({'c', 'd', 5, 0, 0, 'e', 'f', 3, 0, 0});
    unsigned char buffer[6] = {};
    EXPECT_EQ(client->Read(buffer, 0, 6, 2000), 6);
    EXPECT_EQ(std::string(buffer, buffer + 6), "abcdef");
    EXPECT_EQ(client->Read(buffer, 0, 1, 20), 0);

    printer->notifyError(BLERWProtoV2::kNotifyUUID);
    client->queue()->waitIdle();
    EXPECT_TRUE(Logged("Error on UpdateValueForCharacteristic"));
}

TEST_F(BLERWProtoV2Test, SendCountsAreCopiedUpToTheListLength) {
    Open();
    GroupPrinter group(printer);
    client->setPACKET_SIZE(20);
    const auto data = Pattern(40);
    ASSERT_EQ(client->Write(data.data(), 0, 40, 0), 40);
    int values[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(client->GetPacketSendTimesListValue(values, 5), 3);
    EXPECT_EQ(std::vector<int>(values, values + 5), (std::vector<int>{1, 1, 1, 9, 9}));
    EXPECT_EQ(client->GetPacketSendTimesListValue(values, 0), 0);
    EXPECT_EQ(client->GetPacketSendTimesListValue(nullptr, 3), 0);
    client->ClearPacketSendTimesList();
    EXPECT_EQ(client->GetPacketSendTimesListLength(), 0);
}

TEST_F(BLERWProtoV2Test, OpenNeedsBothCharacteristics) {
    timing.Set([](BleClientTiming& t) {
        t.openMs = 60;
        t.connectAttemptMs = 40;
    });
    auto partial = AddPrinter(BLERWProtoV2::kServiceUUID, {{BLERWProtoV2::kNotifyUUID, CBCharacteristicPropertyNotify}},
                              {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F});
    EXPECT_FALSE(client->OpenAddress("0A:0B:0C:0D:0E:0F"));
    EXPECT_FALSE(partial->isConnected());
}

}  // namespace
