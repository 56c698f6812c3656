// The group-packet client: the setup exchange, numbered packets sent within the printer's
// free space, resends on request, the received count that ends a write, the printer's frames
// (split, joined, control and data), and the send counts.
#include <chrono>
#include <climits>

#include "BleClientFixture.h"
#include "support/SimulatedProtoV2Printer.h"
#include "ble_clients/BLERWProtoV2.h"

namespace {

std::vector<uint8_t> Control(uint8_t type, const std::vector<uint8_t>& body, uint8_t length = 10) {
    std::vector<uint8_t> frame(length, 0);
    frame[1] = length;
    frame[2] = type;
    for (size_t k = 0; k < body.size() && 3 + k < frame.size(); ++k) frame[3 + k] = body[k];
    return frame;
}

std::vector<unsigned char> Pattern(int count) {
    std::vector<unsigned char> data(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) data[static_cast<size_t>(i)] = static_cast<unsigned char>(i * 13 + 5);
    return data;
}

class BLERWProtoV2Test : public qvtest::BleClientTest {
protected:
    void SetUp() override { v2.printer()->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 200); }
    void Open() { ASSERT_TRUE(client->OpenAddress("02:02:02:02:02:02")); }
    void TearDown() override { client->Close(); }
    std::vector<int> SendTimes() {
        std::vector<int> values(static_cast<size_t>(client->GetPacketSendTimesListLength()));
        client->GetPacketSendTimesListValue(values.data(), static_cast<int>(values.size()));
        return values;
    }

    qvtest::ProtoV2Printer v2{radio};
    std::shared_ptr<BLERWProtoV2> client = BLERWProtoV2::Create();
};

TEST_F(BLERWProtoV2Test, SetupThenNumberedPacketsUntilTheReceivedCount) {
    Open();
    EXPECT_EQ(client->PACKET_SIZE(), 200);
    EXPECT_TRUE(Logged("Discovered service uuid 18F0"));
    const auto data = Pattern(200);
    EXPECT_EQ(client->Write(data.data(), 3, 197, 0), 197);
    const auto setups = v2.Setups();
    ASSERT_EQ(setups.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(setups[0].bytes.begin(), setups[0].bytes.begin() + 13),
              (std::vector<uint8_t>{0x00, 0x07, 0, 0, 0, 0, 0, 0, 0x0A, 0x02, 2, 0, 200}));
    auto packets = v2.DataPackets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].size(), 200u);
    EXPECT_EQ(packets[1].size(), 5u);
    EXPECT_EQ(packets[1][0], 5);
    EXPECT_EQ(packets[1][2], 1);
    EXPECT_TRUE(v2.Errors().empty());
    EXPECT_EQ(v2.Received(), std::vector<uint8_t>(data.begin() + 3, data.end()));
    EXPECT_EQ(SendTimes(), (std::vector<int>{1, 1}));
    EXPECT_EQ(client->nPrinterBufferValidSize(), 4096);  // each payload given back

    EXPECT_EQ(client->Write(data.data(), 0, 196, 0), 196);
    EXPECT_EQ(v2.DataPackets().size(), 3u);  // one full packet
}

TEST_F(BLERWProtoV2Test, RequestedPacketsAreSentAgainFirst) {
    Open();
    client->setPACKET_SIZE(20);  // 16 bytes a packet
    v2.DropFirstSendOf({1, 3});
    const auto data = Pattern(1000);
    EXPECT_EQ(client->Write(data.data(), 0, 1000, 0), 1000);
    EXPECT_EQ(v2.Received(), std::vector<uint8_t>(data.begin(), data.end()));
    auto times = SendTimes();
    ASSERT_EQ(times.size(), 63u);
    for (size_t i = 0; i < times.size(); ++i) EXPECT_EQ(times[i], i == 1 || i == 3 ? 2 : 1) << "packet " << i;
    EXPECT_TRUE(v2.Errors().empty());
}

TEST_F(BLERWProtoV2Test, RequestsForPacketsAWriteDoesNotHaveAreDropped) {
    Open();
    // Asked for packets 100 to 65634 while the write runs.
    v2.OnPacket([&](int index) {
        if (index == 0) v2.Notify(Control(0xFF, {100, 0, 0, 0xFF, 0xFF}, 12));
    });
    const auto data = Pattern(500);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Write(data.data(), 0, 500, 0), 500);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(SendTimes(), (std::vector<int>{1, 1, 1}));
    EXPECT_TRUE(v2.Errors().empty());
}

TEST_F(BLERWProtoV2Test, FreeSpaceBelowOnePayloadHoldsBackNewPackets) {
    timing.Set([](BleClientTiming& t) { t.groupWriteExtraMs = 60; });
    Open();
    client->setPACKET_SIZE(20);
    v2.SetBufferSize(15);
    const auto data = Pattern(10);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(70));
    EXPECT_EQ(v2.Setups().size(), 1u);
    EXPECT_TRUE(v2.DataPackets().empty());
    EXPECT_EQ(SendTimes(), std::vector<int>{0});
}

TEST_F(BLERWProtoV2Test, FreeSpaceAddsSaturateInsteadOfWrapping) {
    Open();
    v2.SetBufferSize(-1);  // its own announcement would set the space anew
    std::vector<uint8_t> adds;
    const auto add = Control(0x01, {0x01, 0xFF, 0xFF});
    for (int k = 0; k < 33000; ++k) adds.insert(adds.end(), add.begin(), add.end());
    client->ReceiveValue(adds);
    EXPECT_EQ(client->nPrinterBufferValidSize(), INT_MAX);
    const auto data = Pattern(500);
    EXPECT_EQ(client->Write(data.data(), 0, 500, 0), 500);
}

TEST_F(BLERWProtoV2Test, SetupFailures) {
    timing.Set([](BleClientTiming& t) { t.setupReplyMs = 5; });
    Open();
    const auto data = Pattern(500);
    {
        SCOPED_TRACE("wrong packet size");
        v2.SetSetupAnswer(qvtest::ProtoV2Printer::SetupAnswer::WrongMtu);
        EXPECT_EQ(client->Write(data.data(), 0, 500, 0), 0);
        EXPECT_EQ(v2.Setups().size(), 10u);
        EXPECT_TRUE(Logged("writeGroupPack setupGroupPack Error"));
    }
    {
        SCOPED_TRACE("no reply");
        v2.SetSetupAnswer(qvtest::ProtoV2Printer::SetupAnswer::Silent);
        EXPECT_EQ(client->Write(data.data(), 0, 500, 0), 0);
        EXPECT_EQ(v2.Setups().size(), 20u);
    }
    {
        SCOPED_TRACE("more packets than a setup can announce");
        v2.SetSetupAnswer(qvtest::ProtoV2Printer::SetupAnswer::Echo);
        client->setPACKET_SIZE(5);
        std::vector<unsigned char> big(65536, 0x55);
        EXPECT_EQ(client->Write(big.data(), 0, 65536, 0), 0);
        EXPECT_EQ(v2.Setups().size(), 30u);
    }
    {
        SCOPED_TRACE("setup packet not written");
        // The error ends the write's wait at once; a long wait keeps a late one from passing
        // for the silence of a written packet.
        timing.Set([](BleClientTiming& t) { t.setupWriteMs = 5000; });
        v2.SetSetupWriteError(true);
        EXPECT_EQ(client->Write(data.data(), 0, 500, 0), 0);
        EXPECT_EQ(v2.Setups().size(), 31u);  // no second attempt
        EXPECT_TRUE(Logged("setupGroupPack retry 0 writePackWithoutResponse Error"));
    }
    EXPECT_TRUE(v2.DataPackets().empty());
}

TEST_F(BLERWProtoV2Test, ReceivedCountThatDiffersEndsTheWrite) {
    Open();
    v2.SetReportedCount(3);  // of 4
    const auto data = Pattern(600);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Write(data.data(), 0, 600, 0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(v2.DataPackets().size(), 4u);
}

TEST_F(BLERWProtoV2Test, RefusedWrites) {
    timing.Set([](BleClientTiming& t) { t.setupReplyMs = 5; });  // an echo of 0 packets never ends the wait
    const auto data = Pattern(10);
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), -1);  // not open
    Open();
    EXPECT_EQ(client->Write(data.data(), 0, 0, 0), 0);  // nothing to send: at once
    EXPECT_EQ(client->GetPacketSendTimesListLength(), 0);
    EXPECT_EQ(client->Write(nullptr, 0, 10, 0), -1);
    EXPECT_EQ(client->Write(data.data(), -1, 10, 0), -1);
    client->setPACKET_SIZE(4);  // no room for a payload
    EXPECT_EQ(client->Write(data.data(), 0, 10, 0), -1);
}

TEST_F(BLERWProtoV2Test, LinkLostDuringTheSendLoop) {
    Open();
    v2.OnPacket([&](int index) {
        if (index == 1) v2.printer()->disconnect();
    });
    const auto data = Pattern(1000);
    EXPECT_EQ(client->Write(data.data(), 0, 1000, 0), -1);
}

TEST_F(BLERWProtoV2Test, PrinterFramesSteerTheSenderAndFillTheRing) {
    Open();
    auto send = [&](std::vector<uint8_t> bytes) {
        ASSERT_TRUE(v2.Notify(bytes));
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

    v2.printer()->notifyError(BLERWProtoV2::kNotifyUUID);
    client->queue()->waitIdle();
    EXPECT_TRUE(Logged("Error on UpdateValueForCharacteristic"));
}

TEST_F(BLERWProtoV2Test, AFrameCutOffByALostLinkDoesNotSpillIntoTheNextConnection) {
    Open();
    ASSERT_TRUE(v2.Notify({7, 0, 0, 'x'}));  // a data frame of 7 bytes, 3 of them never sent
    client->queue()->waitIdle();
    v2.printer()->disconnect();
    client->queue()->waitIdle();
    Open();  // again, without Close
    ASSERT_TRUE(v2.SendData({'o', 'k'}));
    unsigned char buffer[4] = {};
    EXPECT_EQ(client->Read(buffer, 0, 2, 2000), 2);
    EXPECT_EQ(std::string(buffer, buffer + 2), "ok");
    EXPECT_EQ(client->Read(buffer, 0, 1, 20), 0);
}

TEST_F(BLERWProtoV2Test, SendCountsAreCopiedUpToTheListLength) {
    Open();
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
