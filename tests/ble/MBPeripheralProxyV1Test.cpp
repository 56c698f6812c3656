// The plain-profile proxy over the simulated radio: opening, closing, reading, and the
// chunked write with and without response; then the same profile as a handler of the
// automatic profile.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <numeric>

#include "ble/MBPeripheralProxyV1.h"
#include "support/BleProxyTestBed.h"
#include "support/ScopedBleTiming.h"
#include "support/SimulatedBle.h"

namespace {

const char* kService = "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2";
const char* kCharacteristic = "BEF8D6C9-9C21-4C9E-B632-BD58C1009F9F";
constexpr int kAllWrites = CBCharacteristicPropertyWrite | CBCharacteristicPropertyWriteWithoutResponse;
constexpr int kProfileProperties = kAllWrites | CBCharacteristicPropertyNotify;

using Answer = SimulatedPrinter::WriteAnswer;

using qvtest::HandlerForwarder;
using qvtest::ProxyRouter;

constexpr auto Bytes = qvtest::CountingBytes;
using qvtest::PieceSizes;

class ProxyV1Test : public qvtest::BleProxyTestBed {
protected:
    void SetUp() override {
        BleProxyTestBed::SetUp();
        printer = radio.AddPrinter("P58", qvtest::PrinterAdvert({1, 2, 3, 4, 5, 6}));
        printer->addService(kService, {{kCharacteristic, kProfileProperties}});
        peripheral = Discover("P58");
        ASSERT_TRUE(peripheral);
        proxy = std::make_shared<MBPeripheralProxyV1>(central, peripheral);
        router->proxy = proxy;
    }
    void TearDown() override {
        if (proxy) proxy->Close();
        BleProxyTestBed::TearDown();
    }
    void OpenProxy() { ASSERT_TRUE(proxy->Open()); }
    int Write(const std::vector<uint8_t>& bytes) {
        return proxy->Write(bytes.data(), 0, static_cast<int>(bytes.size()), 0);
    }
    std::vector<uint8_t> ReadAll(int count, int timeoutMs = 1000) {
        return qvtest::ReadFrom(*proxy, count, timeoutMs);
    }

    std::shared_ptr<SimulatedPrinter> printer;
    std::shared_ptr<CBPeripheral> peripheral;
    std::shared_ptr<MBPeripheralProxyV1> proxy;
};

TEST_F(ProxyV1Test, OpensUpToNotificationsOnAndReadsWhatThePrinterSends) {
    OpenProxy();
    EXPECT_TRUE(proxy->IsOpened());
    EXPECT_TRUE(proxy->isConnected());
    EXPECT_TRUE(printer->isNotifying(kCharacteristic));
    EXPECT_EQ(log.Count("Connecting P58 "), 1u);
    EXPECT_EQ(log.Count("Peripheral P58 connected"), 1u);
    EXPECT_EQ(log.Count("Discovered service uuid E7810A71-73AE-499D-8C15-FAA9AEF0C3F2"), 1u);
    EXPECT_EQ(log.Count("didUpdateNotificationStateForCharacteristic " + std::string(kCharacteristic) + " successed"), 1u);
    EXPECT_EQ(log.Count("maximumWriteValueLengthWithoutResponse: 20"), 1u);  // the printer's limit
    EXPECT_EQ(log.Count("maximumWriteValueLengthWithResponse: 120"), 1u);   // only ever lowered

    ASSERT_TRUE(printer->notify(kCharacteristic, {1, 2, 3}));
    ASSERT_TRUE(printer->notify(kCharacteristic, {4, 5}));
    EXPECT_EQ(ReadAll(5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(printer->notifyError(kCharacteristic));  // a failed update is dropped
    ASSERT_TRUE(printer->notify(kCharacteristic, {6}));
    EXPECT_EQ(ReadAll(1), std::vector<uint8_t>{6});
    EXPECT_EQ(log.Count("Error on UpdateValueForCharacteristic"), 1u);
    EXPECT_TRUE(proxy->IsConnectionValid());
    EXPECT_EQ(log.Count("MBPeripheralProxy IsConnectionValid"), 1u);
}

TEST_F(ProxyV1Test, ReadEdgeCases) {
    OpenProxy();
    ASSERT_TRUE(printer->notify(kCharacteristic, {9, 8}));
    queue->waitIdle();
    uint8_t buffer[4] = {};
    EXPECT_EQ(proxy->Read(buffer, 0, 2, 0), 0);    // no time: nothing, even with bytes waiting
    EXPECT_EQ(proxy->Read(buffer, 0, 2, -5), 0);
    EXPECT_EQ(proxy->Read(buffer, 0, 0, 1000), 0);
    EXPECT_EQ(proxy->Read(nullptr, 0, 2, 1000), -1);
    EXPECT_EQ(proxy->Read(buffer, -1, 2, 1000), -1);
    EXPECT_EQ(proxy->Read(buffer, 2, 2, 1000), 2);  // stored from the offset on
    EXPECT_EQ(buffer[2], 9);
    EXPECT_EQ(buffer[3], 8);
    EXPECT_EQ(proxy->Read(buffer, 0, 2, 20), 0);    // time-out with nothing

    ASSERT_TRUE(printer->notify(kCharacteristic, {7}));
    queue->waitIdle();
    proxy->SkipAvailable();
    EXPECT_EQ(proxy->Read(buffer, 0, 1, 20), 0);

    // The link dropping during the wait gives -1, even with a byte stored.
    ASSERT_TRUE(printer->notify(kCharacteristic, {7}));
    queue->waitIdle();
    std::atomic<int> result{0};
    std::thread reader([&] { result = proxy->Read(buffer, 0, 2, 5000); });
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!proxy->link().rxBuffer().isEmpty() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
    printer->disconnect();
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(proxy->Read(buffer, 0, 1, 1000), -1);  // not connected
}

TEST_F(ProxyV1Test, RemoteDisconnectionLeavesItOpenedUntilClose) {
    OpenProxy();
    printer->disconnect();
    ASSERT_TRUE(router->WaitFor("disconnect", 1));
    EXPECT_FALSE(proxy->isConnected());
    EXPECT_TRUE(proxy->IsOpened());
    EXPECT_TRUE(proxy->IsConnectionValid());
    EXPECT_EQ(Write({1, 2, 3}), -1);
    EXPECT_EQ(log.Count("Peripheral P58 disconnected"), 1u);
    proxy->Close();
    EXPECT_FALSE(proxy->IsOpened());
}

TEST_F(ProxyV1Test, CloseDropsTheLinkAndTheBufferedBytes) {
    OpenProxy();
    ASSERT_TRUE(printer->notify(kCharacteristic, {1, 2}));
    queue->waitIdle();
    proxy->Close();
    EXPECT_FALSE(proxy->IsOpened());
    EXPECT_FALSE(proxy->isConnected());
    EXPECT_FALSE(printer->isConnected());
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
    EXPECT_TRUE(proxy->link().rxBuffer().isEmpty());
    EXPECT_FALSE(proxy->link().writeCharacteristic());
    // The peripheral is back to disconnected, so the same object opens again.
    OpenProxy();
}

TEST_F(ProxyV1Test, OpenFailures) {
    // Already connecting or connected: refused without touching the link.
    central->connectPeripheral(peripheral);
    ASSERT_TRUE(router->WaitFor("connect", 1));
    EXPECT_FALSE(proxy->Open());
    EXPECT_EQ(log.Count("Open failed. P58 state 2."), 1u);
    EXPECT_EQ(peripheral->state(), CBPeripheral::Connected);
    central->cancelPeripheralConnection(peripheral);
    ASSERT_TRUE(router->WaitFor("disconnect", 1));

    radio.SetPower(CBManagerStatePoweredOff);
    EXPECT_FALSE(proxy->Open());
    EXPECT_EQ(log.Count("CentralManager not powered on"), 1u);
    radio.SetPower(CBManagerStatePoweredOn);

    MBPeripheralProxyV1 orphan(nullptr, peripheral);
    EXPECT_FALSE(orphan.Open());
    EXPECT_EQ(orphan.Read(nullptr, 0, 1, 10), -1);
    orphan.Close();
    EXPECT_EQ(log.Count("myCentralManager nil"), 3u);
    MBPeripheralProxyV1 lonely(central, nullptr);
    EXPECT_FALSE(lonely.Open());
    EXPECT_EQ(lonely.Write(Bytes(3).data(), 0, 3, 0), -1);
    EXPECT_EQ(log.Count("myPeripheral nil"), 1u);
}

TEST_F(ProxyV1Test, FailedAttemptsAreRetriedUntilTheWindowCloses) {
    struct Case {
        const char* name;
        std::function<void()> script;
    };
    const Case cases[] = {
        {"connection refused", [&] { printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Fail); }},
        {"no answer", [&] { printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Ignore); }},
        {"service discovery fails", [&] { printer->setServiceDiscoveryFails(true); }},
        {"notification refused", [&] { printer->setNotifyFails(true); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = printer->connectCount();
        c.script();
        EXPECT_FALSE(proxy->Open());
        EXPECT_GE(printer->connectCount() - before, 2);  // more than one attempt
        EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
        EXPECT_FALSE(proxy->IsOpened());
        printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Accept);
        printer->setServiceDiscoveryFails(false);
        printer->setNotifyFails(false);
    }
    OpenProxy();  // and the next clean attempt succeeds
}

TEST_F(ProxyV1Test, PrinterWithoutTheProfileNeverOpens) {
    auto other = radio.AddPrinter("LBL", qvtest::PrinterAdvert({6, 6, 6, 6, 6, 6}));
    other->addService("18F0", {{"2AF0", CBCharacteristicPropertyNotify}, {"2AF1", kAllWrites}});
    central->scanForPeripheralsWithServices({CBUUID("18F0")}, true);
    router->Clear();
    other->advertise();
    ASSERT_TRUE(router->WaitFor("discover", 1));
    auto wrong = std::make_shared<MBPeripheralProxyV1>(central, router->Of("discover")[0].peripheral);
    router->proxy = wrong;
    EXPECT_FALSE(wrong->Open());
    EXPECT_EQ(log.Count("Discovering character"), 0u);
    EXPECT_FALSE(other->isConnected());
}

TEST_F(ProxyV1Test, ChunkedWritesFollowTheSettingsAndThePrinterLimits) {
    printer->setMaximumWriteLength(CBCharacteristicWriteWithResponse, 100);
    OpenProxy();
    const auto data = Bytes(250);

    proxy->SetWriteMode(2, 120, 0, 3);  // any mode but 1 writes with response
    EXPECT_EQ(Write(data), 250);
    EXPECT_EQ(PieceSizes(printer->writes()), (std::vector<size_t>{100, 100, 50}));
    for (const auto& w : printer->writes()) EXPECT_EQ(w.type, CBCharacteristicWriteWithResponse);

    printer->clearWrites();
    proxy->SetWriteMode(1, 120, 0, 3);
    EXPECT_EQ(Write(Bytes(45)), 45);
    EXPECT_EQ(PieceSizes(printer->writes()), (std::vector<size_t>{20, 20, 5}));
    EXPECT_EQ(printer->writes()[0].type, CBCharacteristicWriteWithoutResponse);

    printer->clearWrites();
    proxy->SetWriteMode(0, 60, 0, 3);
    EXPECT_EQ(proxy->Write(data.data(), 10, 130, 999999), 130);  // the time-out argument is unused
    auto writes = printer->writes();
    ASSERT_EQ(PieceSizes(writes), (std::vector<size_t>{60, 60, 10}));
    std::vector<uint8_t> joined;
    for (const auto& w : writes) joined.insert(joined.end(), w.bytes.begin(), w.bytes.end());
    EXPECT_EQ(joined, std::vector<uint8_t>(data.begin() + 10, data.begin() + 140));

    // A zero piece size cannot stall the write: pieces of one byte.
    printer->clearWrites();
    proxy->SetWriteMode(0, 0, 0, 3);
    EXPECT_EQ(Write(Bytes(3)), 3);
    EXPECT_EQ(PieceSizes(printer->writes()), (std::vector<size_t>{1, 1, 1}));

    printer->clearWrites();
    EXPECT_EQ(Write({}), 0);
    EXPECT_EQ(proxy->Write(data.data(), 0, -4, 0), 0);
    EXPECT_EQ(proxy->Write(nullptr, 0, 4, 0), -1);
    EXPECT_TRUE(printer->writes().empty());
}

TEST_F(ProxyV1Test, ErrorAnswersAreRetriedSilenceIsNot) {
    OpenProxy();
    std::atomic<int> errorsLeft{2};
    printer->setWriteHandler([&](const SimulatedWrite&) {
        return errorsLeft-- > 0 ? Answer::Error : Answer::Confirm;
    });
    proxy->SetWriteMode(0, 120, 0, 3);
    EXPECT_EQ(Write(Bytes(10)), 10);
    EXPECT_EQ(printer->writes().size(), 3u);  // two errors, then confirmed

    printer->clearWrites();
    printer->setWriteHandler([](const SimulatedWrite&) { return Answer::Error; });
    EXPECT_EQ(Write(Bytes(10)), -1);
    EXPECT_EQ(printer->writes().size(), 4u);  // retry 3: four tries
    EXPECT_EQ(log.Count("writePackageWithResponse currentWrited:-1"), 1u);

    printer->clearWrites();
    printer->setWriteHandler([](const SimulatedWrite&) { return Answer::None; });
    EXPECT_EQ(Write(Bytes(10)), -1);          // no answer within the piece time-out
    EXPECT_EQ(printer->writes().size(), 1u);  // and no retry

    // Without response, silence counts as written; errors end the piece with 0, and a piece
    // that keeps failing ends the write.
    printer->clearWrites();
    proxy->SetWriteMode(1, 120, 0, 1);
    EXPECT_EQ(Write(Bytes(25)), 25);
    // An error ends the piece's wait at once; a long wait keeps a late one from passing
    // for silence.
    proxy->SetWriteMode(1, 120, 5000, 1);
    printer->clearWrites();
    printer->setWriteHandler([](const SimulatedWrite&) { return Answer::Error; });
    EXPECT_EQ(Write(Bytes(5)), -1);
    EXPECT_EQ(printer->writes().size(), 4u);  // two rounds of two tries
    EXPECT_EQ(log.Count("writePackageWithoutResponse currentWrited:0"), 2u);
    EXPECT_EQ(proxy->writePackageWithoutResponse(Bytes(5).data(), 0, 5, 5000, 2), 0);
}

TEST_F(ProxyV1Test, LinkLostDuringAWriteFailsIt) {
    OpenProxy();
    printer->setWriteHandler([&](const SimulatedWrite& w) {
        if (w.bytes[0] == 120) printer->disconnect();  // the second piece
        return Answer::Confirm;
    });
    proxy->SetWriteMode(0, 120, 0, 3);
    EXPECT_EQ(Write(Bytes(250)), -1);
    EXPECT_EQ(printer->writes().size(), 2u);
}

TEST_F(ProxyV1Test, AStackThatNeverReportsTheDisconnectionCannotHoldTheOpener) {
    printer->setConnectAnswer(SimulatedPrinter::ConnectAnswer::Ignore);
    const BleTiming fast = timing.Fast();
    bool opened = true;
    EXPECT_TRUE(OpenEndsWithin(*proxy, peripheral, *printer,
                               fast.openWindowMs + fast.openAttemptMs + fast.closeWaitMs + 2000, opened));
    EXPECT_FALSE(opened);
}

TEST_F(ProxyV1Test, WritesOnOneConnectionTakeTurns) {
    OpenProxy();
    proxy->SetWriteMode(0, 120, 0, 3);
    const auto [a, b] = qvtest::WriteTogether([&](const std::vector<uint8_t>& bytes) { return Write(bytes); },
                                              std::vector<uint8_t>(250, 0xA1), std::vector<uint8_t>(250, 0xB2));
    EXPECT_EQ(a, 250);
    EXPECT_EQ(b, 250);
    EXPECT_TRUE(qvtest::TookTurns(printer->writes(), 3));  // pieces of 120, 120 and 10
}

// ---- the plain profile as a handler of the automatic profile ----

class HandlerV1Test : public ProxyV1Test {
protected:
    void SetUp() override {
        ProxyV1Test::SetUp();
        router->proxy = nullptr;
        proxy = nullptr;
        forwarder = std::make_shared<HandlerForwarder>();
        forwarder->handler = handler;
    }
    CBServiceList ConnectAndDiscover() { return BleProxyTestBed::ConnectAndDiscover(peripheral, forwarder); }

    std::shared_ptr<MBPeripheralProxyVAHandlerV1> handler = std::make_shared<MBPeripheralProxyVAHandlerV1>();
    std::shared_ptr<HandlerForwarder> forwarder;
};

TEST_F(HandlerV1Test, ConnectsReadsAndWritesWithResponseByDefault) {
    const auto services = ConnectAndDiscover();
    EXPECT_TRUE(MBPeripheralProxyVAHandlerV1::hasSupportedServiceInServices(&services));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV1 hasSupportedServiceInServices, service uuid E7810A71"), 1u);
    ASSERT_TRUE(handler->connectPeripheral(peripheral, &services));
    EXPECT_TRUE(printer->isNotifying(kCharacteristic));

    EXPECT_EQ(handler->doWrite(peripheral, Bytes(130).data(), 0, 130, 0), 130);
    EXPECT_EQ(PieceSizes(printer->writes()), (std::vector<size_t>{120, 10}));
    EXPECT_EQ(printer->writes()[0].type, CBCharacteristicWriteWithResponse);

    ASSERT_TRUE(printer->notify(kCharacteristic, {5, 6}));
    uint8_t buffer[2] = {};
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 2, 1000), 2);
    EXPECT_EQ(buffer[1], 6);

    ASSERT_TRUE(printer->notify(kCharacteristic, {7}));
    queue->waitIdle();
    handler->onClose();
    EXPECT_FALSE(handler->link().writeCharacteristic());
    EXPECT_TRUE(handler->link().rxBuffer().isEmpty());
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 1, 0), -1);  // no write characteristic now
}

TEST_F(HandlerV1Test, EntryChecks) {
    CBServiceList none;
    EXPECT_FALSE(MBPeripheralProxyVAHandlerV1::hasSupportedServiceInServices(nullptr));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV1 hasSupportedServiceInServices: nil"), 1u);
    EXPECT_FALSE(MBPeripheralProxyVAHandlerV1::hasSupportedServiceInServices(&none));
    EXPECT_FALSE(handler->connectPeripheral(nullptr, &none));
    EXPECT_FALSE(handler->connectPeripheral(peripheral, nullptr));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV1 connectPeripheralSupportedServiceInServices: nil"), 2u);
    EXPECT_FALSE(handler->connectPeripheral(peripheral, &none));

    uint8_t buffer[4] = {};
    const size_t lines = log.Lines().size();
    // Not connected: -1 without a log line.
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 4, 100), -1);
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 4, 100), -1);
    EXPECT_EQ(handler->doRead(nullptr, buffer, 0, 4, 100), -1);
    EXPECT_EQ(log.Lines().size(), lines);

    const auto services = ConnectAndDiscover();
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 0, 100), 0);
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 0, 100), 0);
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, -1, 100), -1);
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, -1, 100), -1);
    EXPECT_EQ(handler->doWrite(peripheral, nullptr, 0, 4, 100), -1);
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 4, 100), -1);  // characteristics not yet found
    ASSERT_TRUE(handler->connectPeripheral(peripheral, &services));
    EXPECT_EQ(handler->doWritePackageWithoutResponse(peripheral, buffer, 0, 4, 5, 0), 4);
    EXPECT_EQ(handler->doWritePackageWithResponse(peripheral, buffer, 0, 4, 300, 0), 4);
}

TEST_F(HandlerV1Test, ConnectGivesUpWhenNotificationsDoNotComeOn) {
    printer->setNotifyFails(true);
    const auto services = ConnectAndDiscover();
    EXPECT_FALSE(handler->connectPeripheral(peripheral, &services));
    EXPECT_EQ(log.Count("Error changing notification state: "), 1u);
}

}  // namespace
