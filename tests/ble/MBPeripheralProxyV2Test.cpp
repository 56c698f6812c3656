// The group-packet profile against a simulated printer that speaks it: the setup exchange,
// indexed packets paced by the printer's free space, resends on request, the end of a group,
// the printer's frames, and the same profile as a handler of the automatic profile.
#include <gtest/gtest.h>

#include <climits>
#include <numeric>

#include "ble/MBPeripheralProxyV2.h"
#include "support/BleProxyTestBed.h"
#include "support/ScopedBleTiming.h"
#include "support/SimulatedProtoV2Printer.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr auto Data = qvtest::CountingBytes;

std::vector<int> Range(int n) {
    std::vector<int> out(static_cast<size_t>(n));
    std::iota(out.begin(), out.end(), 0);
    return out;
}

class ProxyV2Test : public qvtest::BleProxyTestBed {
protected:
    void SetUp() override {
        BleProxyTestBed::SetUp();
        peripheral = Discover("P2");
        ASSERT_TRUE(peripheral);
        NewProxy();
    }
    void TearDown() override {
        if (proxy) proxy->Close();
        BleProxyTestBed::TearDown();
    }
    void NewProxy() {
        if (proxy) proxy->Close();
        proxy = std::make_shared<MBPeripheralProxyV2>(central, peripheral);
        router->proxy = proxy;
    }
    int Write(const Bytes& bytes, int timeoutMs = 0) {
        return proxy->Write(bytes.data(), 0, static_cast<int>(bytes.size()), timeoutMs);
    }
    std::vector<int> SendTimes() {
        std::vector<int> values(static_cast<size_t>(proxy->GetPacketSendTimesListLength()));
        proxy->GetPacketSendTimesListValue(values.data(), static_cast<int>(values.size()));
        return values;
    }
    Bytes ReadAll(int count, int timeoutMs = 1000) { return qvtest::ReadFrom(*proxy, count, timeoutMs); }

    qvtest::ProtoV2Printer v2{radio};
    std::shared_ptr<CBPeripheral> peripheral;
    std::shared_ptr<MBPeripheralProxyV2> proxy;
};

TEST_F(ProxyV2Test, OneSmallWriteIsOneSetupAndOnePacket) {
    ASSERT_TRUE(proxy->Open());
    EXPECT_TRUE(v2.printer()->isNotifying("2AF0"));
    EXPECT_EQ(log.Count("maximumWriteValueLength Without Response:120"), 1u);
    EXPECT_EQ(Write(Data(10)), 10);
    ASSERT_EQ(v2.Setups().size(), 1u);
    EXPECT_EQ(v2.Setups()[0].bytes,
              (Bytes{0x00, 0x07, 0, 0, 0, 0, 0, 0, 0x0A, 0x02, 0x01, 0x00, 0x78, 0, 0, 0, 0}));
    ASSERT_EQ(v2.DataPackets().size(), 1u);
    EXPECT_EQ(v2.DataPackets()[0], (Bytes{0x0E, 0x0F, 0x00, 0x00, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(SendTimes(), std::vector<int>{1});
    EXPECT_TRUE(v2.Errors().empty());
}

TEST_F(ProxyV2Test, GroupsAreCutIntoIndexedPacketsOfTheMtu) {
    struct Case {
        const char* name;
        int printerMaximum;  // the peripheral's limit for writes without response
        int count;
        int mtu;
        int packets;
        Bytes setupCountAndMtu;
        size_t lastLength;
    };
    const Case cases[] = {
        {"three packets, one byte in the last", 120, 233, 120, 3, {0x03, 0x00, 0x78}, 5},
        {"a 20-byte limit lowers the MTU", 20, 40, 20, 3, {0x03, 0x00, 0x14}, 12},
        {"a larger limit keeps 120", 512, 116, 120, 1, {0x01, 0x00, 0x78}, 120},
        {"300 packets at MTU 100", 100, 300 * 96, 100, 300, {0x2C, 0x01, 0x64}, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        v2.printer()->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, c.printerMaximum);
        NewProxy();
        ASSERT_TRUE(proxy->Open());
        EXPECT_EQ(proxy->session().maximumWriteValueLength(), c.mtu);
        const Bytes data = Data(c.count);
        const size_t setupsBefore = v2.Setups().size();
        const size_t packetsBefore = v2.DataPackets().size();
        ASSERT_EQ(Write(data), c.count);
        const auto setup = v2.Setups()[setupsBefore];
        EXPECT_EQ(Bytes(setup.bytes.begin() + 10, setup.bytes.begin() + 13), c.setupCountAndMtu);
        EXPECT_EQ(v2.Received(), data);
        const auto packets = v2.DataPackets();
        ASSERT_EQ(packets.size() - packetsBefore, static_cast<size_t>(c.packets));
        EXPECT_EQ(packets.back().size(), c.lastLength);
        EXPECT_EQ(packets.back()[0], c.lastLength);
        std::vector<int> order = v2.PacketOrder();
        EXPECT_EQ(std::vector<int>(order.end() - c.packets, order.end()), Range(c.packets));
        EXPECT_EQ(SendTimes(), std::vector<int>(static_cast<size_t>(c.packets), 1));
        EXPECT_TRUE(v2.Errors().empty()) << v2.Errors()[0];
    }
}

TEST_F(ProxyV2Test, FreeSpacePacesNewPacketsButNotResends) {
    v2.printer()->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 20);  // 16 bytes a packet
    v2.SetBufferSize(32);
    v2.DropFirstSendOf({0});
    ASSERT_TRUE(proxy->Open());
    const Bytes data = Data(64);
    EXPECT_EQ(Write(data), 64);
    // Packet 1 fills the space; the printer asks for 0 again, which goes out without space.
    EXPECT_EQ(v2.PacketOrder(), (std::vector<int>{0, 1, 0, 2, 3}));
    EXPECT_EQ(SendTimes(), (std::vector<int>{2, 1, 1, 1}));
    EXPECT_EQ(v2.Received(), data);
    queue->waitIdle();
    // 32 announced, four packets taken off, 64 freed: the resend cost nothing.
    EXPECT_EQ(proxy->session().nPrinterBufferValidSize(), 32);
}

TEST_F(ProxyV2Test, RequestedResendsGoBeforeNewPackets) {
    ASSERT_TRUE(proxy->Open());
    bool asked = false;
    v2.OnPacket([&](int index) {
        if (index != 2 || asked) return;
        asked = true;
        // Resend 0 and 1 (long form), and 99, which lies outside the group.
        v2.Notify({0x00, 0x0C, 0xFF, 0x00, 0x00, 0x00, 0x02, 0x00, 0, 0, 0, 0});
        v2.Notify({0x00, 0x0A, 0xFF, 0x63, 0x00, 0, 0, 0, 0, 0});
        queue->waitIdle();
    });
    const Bytes data = Data(4 * 116);
    EXPECT_EQ(Write(data), 4 * 116);
    EXPECT_EQ(v2.PacketOrder(), (std::vector<int>{0, 1, 2, 0, 1, 3}));
    EXPECT_EQ(SendTimes(), (std::vector<int>{2, 2, 1, 1}));
    EXPECT_EQ(v2.Received(), data);
}

TEST_F(ProxyV2Test, SetupExchangeFailures) {
    ASSERT_TRUE(proxy->Open());
    using Answer = qvtest::ProtoV2Printer::SetupAnswer;
    timing.Set([](BleTiming& t) { t.v2SetupAnswerWaitMs = 10; });
    for (Answer answer : {Answer::Silent, Answer::WrongMtu}) {
        v2.SetSetupAnswer(answer);
        const size_t before = v2.Setups().size();
        EXPECT_EQ(Write(Data(10)), 0);
        EXPECT_EQ(v2.Setups().size() - before, 10u);  // ten attempts
    }
    EXPECT_EQ(log.Count("writeGroupPack setupGroupPack Error"), 2u);
    EXPECT_TRUE(v2.DataPackets().empty());

    // A setup write the peripheral refuses ends the exchange at once.
    v2.SetSetupAnswer(Answer::Echo);
    v2.SetSetupWriteError(true);
    timing.Set([](BleTiming& t) { t.v2SetupWriteWaitMs = 2000; });  // ends when the error arrives
    const size_t before = v2.Setups().size();
    EXPECT_EQ(Write(Data(10)), 0);
    EXPECT_EQ(v2.Setups().size() - before, 1u);
    EXPECT_EQ(log.Count("setupGroupPack retry 0 writePackWithoutResponse Error"), 1u);
    EXPECT_EQ(log.Count("writeGroupPack setupGroupPack Error"), 3u);

    // An answer that arrives after its attempt's wait is seen by the next attempt.
    v2.SetSetupWriteError(false);
    timing.Set([](BleTiming& t) { t = qvtest::ScopedBleTiming::Fast(); });
    v2.SetSetupAnswerDelayMs(80);
    const Bytes data = Data(200);
    EXPECT_EQ(Write(data), 200);
    EXPECT_EQ(v2.Received(), data);
}

TEST_F(ProxyV2Test, GroupEndings) {
    ASSERT_TRUE(proxy->Open());
    // A received count other than the group's fails it.
    v2.SetReportedCount(2);
    EXPECT_EQ(Write(Data(300)), 0);
    v2.SetReportedCount(-1);

    // No free space and no report before the deadline: 0, with nothing sent.
    timing.Set([](BleTiming& t) { t.v2GroupMinimumMs = 30; });
    v2.SetBufferSize(-1);
    v2.Notify({0x00, 0x0A, 0x01, 0x00, 0x00, 0x00, 0, 0, 0, 0});  // free space 0
    queue->waitIdle();
    const size_t before = v2.DataPackets().size();
    EXPECT_EQ(Write(Data(300)), 0);
    EXPECT_EQ(v2.DataPackets().size(), before);
    EXPECT_EQ(SendTimes(), (std::vector<int>{0, 0, 0}));

    // The link dropping during the group: -1.
    timing.Set([](BleTiming& t) { t.v2GroupMinimumMs = 1000; });
    v2.SetBufferSize(4096);
    v2.OnPacket([&](int index) {
        if (index == 1) v2.printer()->disconnect();
    });
    EXPECT_EQ(Write(Data(300)), -1);
    EXPECT_EQ(Write(Data(3)), -1);
}

TEST_F(ProxyV2Test, AReceivedCountFromBeforeTheSetupAnswerDoesNotEndTheGroup) {
    ASSERT_TRUE(proxy->Open());
    // A late report for an earlier group of one packet, sent ahead of this group's answer.
    v2.SetBeforeSetupAnswer({0x00, 0x0A, 0x05, 0x01, 0x00, 0, 0, 0, 0, 0});
    const Bytes data = Data(10);
    EXPECT_EQ(Write(data), 10);
    EXPECT_EQ(v2.DataPackets().size(), 1u);
    EXPECT_EQ(v2.Received(), data);
}

TEST_F(ProxyV2Test, WriteRefusalsAndTimeBudget) {
    const Bytes data = Data(8);
    EXPECT_EQ(Write(data), -1);  // not open
    ASSERT_TRUE(proxy->Open());
    EXPECT_EQ(proxy->Write(nullptr, 0, 8, 0), -1);
    EXPECT_EQ(proxy->Write(data.data(), 0, -1, 0), -1);
    EXPECT_EQ(proxy->Write(data.data(), -1, 8, 0), -1);
    EXPECT_EQ(proxy->Write(data.data(), 0, 0, 0), 0);
    EXPECT_EQ(proxy->writeGroupPack(nullptr, 8, 1000), -1);
    EXPECT_EQ(proxy->writePackWithoutResponse(data.data(), 0, 0, 0), 0);
    EXPECT_TRUE(v2.Setups().empty());
    EXPECT_EQ(proxy->Write(data.data(), 4, 4, 0), 4);  // from the offset on
    EXPECT_EQ(v2.Received(), Bytes(data.begin() + 4, data.end()));
    proxy->Close();
    EXPECT_EQ(Write(data), -1);

    const int least = GetBleTiming().v2GroupMinimumMs;
    EXPECT_EQ(ProtoV2Session::EffectiveTimeout(0, 10), least + 10);
    EXPECT_EQ(ProtoV2Session::EffectiveTimeout(least + 500, 10), least + 500);
    EXPECT_EQ(ProtoV2Session::EffectiveTimeout(-5, 0), least);
    EXPECT_EQ(ProtoV2Session::EffectiveTimeout(0, INT_MAX), INT_MAX);  // no overflow
}

TEST_F(ProxyV2Test, GroupsOnOneConnectionTakeTurns) {
    ASSERT_TRUE(proxy->Open());
    const Bytes first(700, 0xA1), second(700, 0xB2);
    const auto [a, b] = qvtest::WriteTogether([&](const Bytes& bytes) { return Write(bytes, 5000); }, first, second);
    EXPECT_EQ(a, 700);
    EXPECT_EQ(b, 700);
    EXPECT_EQ(v2.Setups().size(), 2u);
    EXPECT_TRUE(v2.Errors().empty());
    // The second group is the whole of one write.
    EXPECT_TRUE(v2.Received() == first || v2.Received() == second);
}

TEST_F(ProxyV2Test, SendCountAccessors) {
    ASSERT_TRUE(proxy->Open());
    ASSERT_EQ(Write(Data(300)), 300);
    int values[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(proxy->GetPacketSendTimesListValue(values, 8), 3);
    EXPECT_EQ(values[2], 1);
    EXPECT_EQ(values[3], 7);
    EXPECT_EQ(proxy->GetPacketSendTimesListValue(values, 2), 2);
    EXPECT_EQ(proxy->GetPacketSendTimesListValue(values, -1), 0);
    EXPECT_EQ(proxy->GetPacketSendTimesListValue(nullptr, 3), 0);
    proxy->ClearPacketSendTimesList();
    EXPECT_EQ(proxy->GetPacketSendTimesListLength(), 0);
    EXPECT_EQ(proxy->GetPacketSendTimesListValue(values, 8), 0);
}

TEST_F(ProxyV2Test, PrinterFramesSteerTheSender) {
    ASSERT_TRUE(proxy->Open());
    ProtoV2Session& s = proxy->session();
    auto notify = [&](const Bytes& bytes) {
        ASSERT_TRUE(v2.Notify(bytes));
        queue->waitIdle();
    };
    notify({0x00, 0x0A, 0x01, 0x00, 0x00, 0x30, 0, 0, 0, 0});  // 12288, capped
    EXPECT_EQ(s.nPrinterBufferValidSize(), 8192);
    notify({0x00, 0x0A, 0x01, 0x01, 0x74, 0x00, 0, 0, 0, 0});  // adds, uncapped
    EXPECT_EQ(s.nPrinterBufferValidSize(), 8308);
    notify({0x00, 0x0A, 0x01, 0x02, 0x74, 0x00, 0, 0, 0, 0});  // unknown mode
    EXPECT_EQ(s.nPrinterBufferValidSize(), 8308);

    notify({0x00, 0x0A, 0xFF, 0x09, 0x00, 0, 0, 0, 0, 0});
    notify({0x00, 0x0A, 0xFF, 0x02, 0x00, 0, 0, 0, 0, 0});
    notify({0x00, 0x0A, 0xFF, 0x05, 0x00, 0, 0, 0, 0, 0});
    notify({0x00, 0x0A, 0xFF, 0x05, 0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(s.packetRetryList(), (std::vector<int>{2, 5, 9}));
    notify({0x00, 0x0C, 0xFF, 0x03, 0x00, 0x00, 0x04, 0x00, 0, 0, 0, 0});
    EXPECT_EQ(s.packetRetryList(), (std::vector<int>{2, 3, 4, 5, 6, 9}));

    notify({0x00, 0x0A, 0x03, 0x2C, 0x01, 0x64, 0, 0, 0, 0});
    EXPECT_EQ(s.nPrinterResponedPacketCountToReceive(), 300);
    EXPECT_EQ(s.nPrinterResponedMTUSize(), 100);
    notify({0x00, 0x0A, 0x05, 0x03, 0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(s.nPrinterResponedPacketCountReceived(), 3);

    // Data frames: bytes 1 and 2 are not data; a frame may span notifications or share one.
    notify({0x05, 0x41, 0x42, 0x43, 0x44});
    notify({0x03, 0x01, 0x02});
    notify({0x06, 0x00, 0x00, 0x61});
    notify({0x62, 0x63, 0x04, 0x00, 0x00, 0x64});
    // Ignored control frames leave the stream in step.
    notify({0x00, 0x0A, 0x02, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x0B, 0xFF, 0x07, 0x00, 0, 0, 0, 0, 0, 0});
    notify({0x04, 0x00, 0x00, 0x65});
    EXPECT_EQ(ReadAll(6), (Bytes{0x43, 0x44, 0x61, 0x62, 0x63, 0x64}));
    EXPECT_EQ(ReadAll(1), Bytes{0x65});
    EXPECT_EQ(s.packetRetryList(), (std::vector<int>{2, 3, 4, 5, 6, 9}));

    ASSERT_TRUE(v2.printer()->notifyError("2AF0"));
    queue->waitIdle();
    EXPECT_EQ(log.Count("Error on UpdateValueForCharacteristic"), 1u);

    // Added space saturates rather than overflowing.
    const Bytes add = {0x00, 0x0A, 0x01, 0x01, 0xFF, 0xFF, 0, 0, 0, 0};
    for (int i = 0; i < 40000; ++i) s.handleNotification(add.data(), add.size());
    EXPECT_EQ(s.nPrinterBufferValidSize(), INT_MAX);
}

TEST_F(ProxyV2Test, CloseDropsAPartlyReceivedFrame) {
    ASSERT_TRUE(proxy->Open());
    ASSERT_TRUE(v2.Notify({0x06, 0x00, 0x00, 0x61}));  // two bytes short
    queue->waitIdle();
    proxy->Close();
    EXPECT_FALSE(proxy->IsOpened());
    ASSERT_TRUE(proxy->Open());
    ASSERT_TRUE(v2.SendData({0x78, 0x79}));
    EXPECT_EQ(ReadAll(2), (Bytes{0x78, 0x79}));
}

// ---- the group-packet profile as a handler of the automatic profile ----

class HandlerV2Test : public ProxyV2Test {
protected:
    void SetUp() override {
        ProxyV2Test::SetUp();
        router->proxy = nullptr;
        proxy = nullptr;
        forwarder->handler = handler;
    }
    CBServiceList ConnectAndDiscover() { return BleProxyTestBed::ConnectAndDiscover(peripheral, forwarder); }

    std::shared_ptr<MBPeripheralProxyVAHandlerV2> handler = std::make_shared<MBPeripheralProxyVAHandlerV2>();
    std::shared_ptr<qvtest::HandlerForwarder> forwarder = std::make_shared<qvtest::HandlerForwarder>();
};

TEST_F(HandlerV2Test, ConnectsWritesAndReads) {
    EXPECT_FALSE(MBPeripheralProxyVAHandlerV2::hasSupportedServiceInServices(nullptr));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV2 hasSupportedServiceInServices: nil"), 1u);
    const CBServiceList lowerCase = {std::make_shared<CBService>(CBUUID("FF00")),
                                     std::make_shared<CBService>(CBUUID("18f0"))};
    EXPECT_TRUE(MBPeripheralProxyVAHandlerV2::hasSupportedServiceInServices(&lowerCase));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV2 hasSupportedServiceInServices, service uuid 18F0"), 1u);

    const auto services = ConnectAndDiscover();
    ASSERT_TRUE(handler->connectPeripheral(peripheral, &services));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV2 discoverCharacteristicsForService: 18F0"), 1u);
    const Bytes data = Data(233);
    EXPECT_EQ(handler->doWrite(peripheral, data.data(), 0, 233, 0), 233);
    EXPECT_EQ(v2.Received(), data);
    EXPECT_TRUE(v2.Errors().empty());

    ASSERT_TRUE(v2.SendData({1, 2, 3}));
    uint8_t buffer[3] = {};
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 3, 1000), 3);
    EXPECT_EQ(buffer[2], 3);

    ASSERT_TRUE(v2.SendData({0x62}));
    ASSERT_TRUE(v2.Notify({0x05, 0x00, 0x00, 0x61}));  // a byte in the ring, then a partial frame
    queue->waitIdle();
    handler->onClose();
    EXPECT_TRUE(handler->link().rxBuffer().isEmpty());
    EXPECT_FALSE(handler->link().writeCharacteristic());
    EXPECT_EQ(handler->doWrite(peripheral, data.data(), 0, 3, 0), -1);
    ASSERT_TRUE(v2.SendData({0x63}));  // read from a fresh frame
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 1, 1000), 1);
    EXPECT_EQ(buffer[0], 0x63);
}

TEST_F(HandlerV2Test, EntryChecksAndLinkLoss) {
    uint8_t buffer[4] = {};
    const size_t lines = log.Lines().size();
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 4, 100), -1);  // not connected, no log
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 4, 100), -1);
    EXPECT_EQ(handler->doWrite(nullptr, buffer, 0, 4, 100), -1);
    EXPECT_EQ(log.Lines().size(), lines);
    EXPECT_TRUE(handler->doSetupGroupPack(peripheral, 120, 1));  // nothing to set up: the send loop reports
    EXPECT_TRUE(v2.Setups().empty());
    EXPECT_FALSE(handler->connectPeripheral(nullptr, nullptr));
    EXPECT_FALSE(handler->connectPeripheral(peripheral, nullptr));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV2 connectPeripheralSupportedServiceInServices: nil"), 2u);

    const auto services = ConnectAndDiscover();
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 0, 100), 0);
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 0, 100), 0);
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, -1, 100), -1);
    EXPECT_EQ(handler->doWrite(peripheral, nullptr, 0, 4, 100), -1);
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 4, 100), -1);  // characteristics not yet found
    ASSERT_TRUE(handler->connectPeripheral(peripheral, &services));
    EXPECT_EQ(handler->doWritePackWithoutResponse(peripheral, buffer, 0, 4, 0), 4);
    EXPECT_EQ(handler->doWriteGroupPack(peripheral, Data(300).data(), 300, 1000), 300);

    v2.OnPacket([&](int index) {
        if (index == 1) v2.printer()->disconnect();
    });
    EXPECT_EQ(handler->doWrite(peripheral, Data(300).data(), 0, 300, 0), -1);
}

TEST_F(HandlerV2Test, AGroupOnALinkAlreadyDownReportsTheLostLink) {
    const auto services = ConnectAndDiscover();
    ASSERT_TRUE(handler->connectPeripheral(peripheral, &services));
    v2.printer()->disconnect();
    ASSERT_TRUE(router->WaitFor("disconnect", 1));
    // Past the entry checks, as when the link drops just after them: no setup is sent, and
    // the group reports the lost link rather than a failed group.
    const Bytes data = Data(50);
    EXPECT_EQ(handler->session().writeGroupPack(peripheral, data.data(), 50, 1000), -1);
    EXPECT_TRUE(v2.Setups().empty());
    EXPECT_EQ(log.Count("writeGroupPack setupGroupPack Error"), 0u);
}

}  // namespace
