// The automatic-profile proxy over the simulated radio: the handler chosen by the services a
// printer offers, the attempts that find none, the checks in front of reads and writes,
// closing, and the callbacks it forwards to whichever handler is current.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>

#include "ble/MBPeripheralProxyV1.h"
#include "ble/MBPeripheralProxyV2.h"
#include "ble/MBPeripheralProxyV3.h"
#include "ble/MBPeripheralProxyVA.h"
#include "support/BleProxyTestBed.h"
#include "support/ScopedBleTiming.h"
#include "support/SimulatedBle.h"
#include "support/SimulatedCreditPrinter.h"
#include "support/SimulatedProtoV2Printer.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
using qvtest::PieceSizes;
constexpr auto Data = qvtest::CountingBytes;

const char* kV1Service = "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2";
const char* kV1Characteristic = "BEF8D6C9-9C21-4C9E-B632-BD58C1009F9F";
constexpr int kAllWrites = CBCharacteristicPropertyWrite | CBCharacteristicPropertyWriteWithoutResponse;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class ProxyVATest : public qvtest::BleProxyTestBed {
protected:
    void TearDown() override {
        if (va) va->Close();
        BleProxyTestBed::TearDown();
    }
    // A printer offering the plain-packet service, and optionally more.
    std::shared_ptr<SimulatedPrinter> V1Printer(const std::string& name) {
        auto printer = radio.AddPrinter(name, qvtest::PrinterAdvert({1, 2, 3, 4, 5, 6}));
        printer->addService(kV1Service, {{kV1Characteristic, kAllWrites | CBCharacteristicPropertyNotify}});
        return printer;
    }
    // The proxy for the named printer, receiving its connection events.
    void ProxyFor(const std::string& name) {
        peripheral = Discover(name);
        ASSERT_TRUE(peripheral);
        va = std::make_shared<MBPeripheralProxyVA>(central, peripheral);
        router->proxy = va;
    }
    // The proxy for PA1, opened; the plain-packet handler it chose.
    std::shared_ptr<MBPeripheralProxyVAHandlerV1> OpenPlainPrinter() {
        ProxyFor("PA1");
        EXPECT_TRUE(va && va->Open());
        return va ? std::dynamic_pointer_cast<MBPeripheralProxyVAHandlerV1>(va->myHandler()) : nullptr;
    }
    int Write(const Bytes& bytes, int timeoutMs = 2000) {
        return va->Write(bytes.data(), 0, static_cast<int>(bytes.size()), timeoutMs);
    }
    Bytes ReadAll(int count) { return qvtest::ReadFrom(*va, count, 2000); }
    std::shared_ptr<CBPeripheral> peripheral;
    std::shared_ptr<MBPeripheralProxyVA> va;
};

TEST_F(ProxyVATest, CreditsComeFirstEvenBeforeGroupPackets) {
    auto printer = radio.AddPrinter("PA3", qvtest::PrinterAdvert({3, 3, 3, 3, 3, 3}));
    printer->addService("18F0", {{"2AF0", CBCharacteristicPropertyNotify}, {"2AF1", kAllWrites}});
    qvtest::CreditPrinter credit(printer);
    credit.mtu = 40;
    ProxyFor("PA3");
    ASSERT_TRUE(va->Open());
    EXPECT_NE(std::dynamic_pointer_cast<MBPeripheralProxyVAHandlerV3>(va->myHandler()), nullptr);
    EXPECT_EQ(log.Count("Discovered 2 service"), 1u);
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV3 hasSupportedServiceInServices, service uuid FF00"), 1u);
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV2 "), 0u);

    const Bytes data = Data(100);
    EXPECT_EQ(Write(data), 100);
    EXPECT_EQ(credit.Received(), data);
    EXPECT_EQ(PieceSizes(printer->writes()), (std::vector<size_t>{40, 40, 20}));
    EXPECT_FALSE(credit.overdrawn);
    EXPECT_FALSE(printer->isNotifying("2AF0"));
    ASSERT_TRUE(printer->notify("FF01", {0x51, 0x52}));
    EXPECT_EQ(ReadAll(2), (Bytes{0x51, 0x52}));
}

TEST_F(ProxyVATest, GroupPacketsWhenTheirServiceLeads) {
    qvtest::ProtoV2Printer v2(radio, "PA2");
    ProxyFor("PA2");
    ASSERT_TRUE(va->Open());
    EXPECT_NE(std::dynamic_pointer_cast<MBPeripheralProxyVAHandlerV2>(va->myHandler()), nullptr);
    const Bytes data = Data(233);
    EXPECT_EQ(Write(data), 233);
    EXPECT_EQ(v2.Received(), data);
    ASSERT_EQ(v2.Setups().size(), 1u);
    EXPECT_EQ(v2.Setups()[0].packetCount, 3);
    EXPECT_TRUE(v2.Errors().empty());
    ASSERT_TRUE(v2.SendData({0x61, 0x62, 0x63}));
    EXPECT_EQ(ReadAll(3), (Bytes{0x61, 0x62, 0x63}));
}

TEST_F(ProxyVATest, PlainPacketsWithResponseWhenOnlyTheirServiceIsOffered) {
    auto printer = V1Printer("PA1");
    ProxyFor("PA1");
    ASSERT_TRUE(va->Open());
    EXPECT_NE(std::dynamic_pointer_cast<MBPeripheralProxyVAHandlerV1>(va->myHandler()), nullptr);
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV1 hasSupportedServiceInServices, service uuid E7810A71"), 1u);
    const Bytes data = Data(130);
    EXPECT_EQ(Write(data), 130);  // each piece confirmed by the printer
    const auto writes = printer->writes();
    EXPECT_EQ(PieceSizes(writes), (std::vector<size_t>{120, 10}));
    for (const auto& w : writes) EXPECT_EQ(w.type, CBCharacteristicWriteWithResponse);
    ASSERT_TRUE(printer->notify(kV1Characteristic, {7, 8, 9}));
    EXPECT_EQ(ReadAll(3), (Bytes{7, 8, 9}));
    ASSERT_TRUE(printer->notify(kV1Characteristic, {1}));
    queue->waitIdle();
    va->SkipAvailable();
    EXPECT_EQ(qvtest::ReadFrom(*va, 1, 20), Bytes{});
}

TEST_F(ProxyVATest, APrinterWithNoneOfTheServicesIsExaminedAndLetGoUntilTheWindowCloses) {
    auto printer = radio.AddPrinter("PA0", qvtest::PrinterAdvert({4, 4, 4, 4, 4, 4}));
    printer->addService("180A", {{"2A29", CBCharacteristicPropertyRead}});
    ProxyFor("PA0");
    const auto start = Clock::now();
    EXPECT_FALSE(va->Open());
    EXPECT_GE(ElapsedMs(start), timing.Fast().openWindowMs);
    EXPECT_GE(printer->connectCount(), 2);
    queue->waitIdle();
    // Every attempt's connection was cancelled.
    EXPECT_EQ(router->Count("disconnect"), static_cast<size_t>(printer->connectCount()));
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
    EXPECT_FALSE(va->IsOpened());
    EXPECT_EQ(va->myHandler(), nullptr);
}

TEST_F(ProxyVATest, AServiceDiscoveryErrorFailsTheAttemptAndOpenTriesAgain) {
    timing.Set([](BleTiming& t) { t.openWindowMs = 3000; });
    auto printer = V1Printer("PA1");
    printer->setServiceDiscoveryFails(true);
    ProxyFor("PA1");
    auto open = std::async(std::launch::async, [this] { return va->Open(); });
    ASSERT_TRUE(router->WaitFor("disconnect", 1));  // the failed attempt cancelled its link
    printer->setServiceDiscoveryFails(false);
    EXPECT_TRUE(open.get());
    EXPECT_GE(log.Count("Service discovery was unsuccessful"), 1u);
    EXPECT_GE(printer->connectCount(), 2);
}

TEST_F(ProxyVATest, ReadsAndWritesPassFiveChecksInOrder) {
    auto printer = V1Printer("PA1");
    printer->addService("180F", {{"2A19", CBCharacteristicPropertyNotify}});
    ProxyFor("PA1");
    uint8_t buffer[4] = {};
    const auto refused = [&](MBPeripheralProxyVA& proxy, const std::string& line) {
        SCOPED_TRACE(line);
        const size_t before = log.Count(line);
        EXPECT_EQ(proxy.Read(buffer, 0, 4, 100), -1);
        EXPECT_EQ(proxy.Write(buffer, 0, 4, 100), -1);
        EXPECT_EQ(log.Count(line), before + 2);
    };
    MBPeripheralProxyVA noCentral(nullptr, peripheral);
    refused(noCentral, "myCentralManager nil");
    MBPeripheralProxyVA noPeripheral(central, nullptr);
    refused(noPeripheral, "myPeripheral nil");
    refused(*va, "myPeripheral.state not connected");
    central->connectPeripheral(peripheral);
    ASSERT_TRUE(router->WaitFor("connect", 1));
    refused(*va, "isOpened false");
    central->cancelPeripheralConnection(peripheral);
    ASSERT_TRUE(router->WaitFor("disconnect", 1));

    // Opened, then an attempt on a printer that has dropped its profile chooses no handler;
    // the proxy stays opened until Close.
    ASSERT_TRUE(va->Open());
    printer->disconnect();
    ASSERT_TRUE(router->WaitFor("disconnect", 2));
    printer->removeService(kV1Service);
    EXPECT_TRUE(va->BaseOpen());
    EXPECT_EQ(va->myHandler(), nullptr);
    central->connectPeripheral(peripheral);
    ASSERT_TRUE(router->WaitFor("connect", 4));  // ours, the open's, the attempt's, ours
    refused(*va, "handler nil");
    va->SkipAvailable();  // nothing to skip without a handler
    EXPECT_TRUE(printer->writes().empty());
}

TEST_F(ProxyVATest, AfterARemoteDisconnectReadsAndWritesFailWhileItStaysValidUntilClose) {
    auto printer = V1Printer("PA1");
    const auto handler = OpenPlainPrinter();
    ASSERT_NE(handler, nullptr);
    printer->disconnect();
    ASSERT_TRUE(router->WaitFor("disconnect", 1));
    EXPECT_FALSE(va->isConnected());
    uint8_t buffer[2] = {};
    EXPECT_EQ(va->Read(buffer, 0, 2, 100), -1);
    EXPECT_EQ(va->Write(buffer, 0, 2, 100), -1);
    EXPECT_EQ(log.Count("myPeripheral.state not connected"), 2u);
    EXPECT_TRUE(va->IsOpened());
    EXPECT_TRUE(va->IsConnectionValid());
    EXPECT_TRUE(handler->link().writeCharacteristic());  // the handler is not told
    va->Close();
    EXPECT_FALSE(va->IsOpened());
    EXPECT_FALSE(va->IsConnectionValid());
}

TEST_F(ProxyVATest, CloseCancelsWaitsThenClosesAndDropsTheHandler) {
    auto printer = V1Printer("PA1");
    const auto handler = OpenPlainPrinter();
    ASSERT_NE(handler, nullptr);
    ASSERT_TRUE(printer->notify(kV1Characteristic, {1, 2}));
    queue->waitIdle();
    va->Close();
    EXPECT_FALSE(printer->isConnected());
    EXPECT_FALSE(va->isConnected());  // waited for the disconnection
    EXPECT_TRUE(handler->link().rxBuffer().isEmpty());
    EXPECT_FALSE(handler->link().writeCharacteristic());
    EXPECT_EQ(va->myHandler(), nullptr);
    EXPECT_FALSE(va->IsOpened());

    // A link that never goes down holds Close for the close wait only.
    ASSERT_TRUE(va->Open());
    printer->setIgnoresCancel(true);
    const auto start = Clock::now();
    va->Close();
    EXPECT_GE(ElapsedMs(start), timing.Fast().closeWaitMs);
    EXPECT_LT(ElapsedMs(start), timing.Fast().closeWaitMs + 2000);
    EXPECT_EQ(va->myHandler(), nullptr);
    EXPECT_FALSE(va->IsOpened());
    printer->setIgnoresCancel(false);
    central->cancelPeripheralConnection(peripheral);
}

TEST_F(ProxyVATest, AStackThatNeverReportsTheDisconnectionCannotHoldTheOpener) {
    struct Case {
        const char* name;
        bool connects;  // false: the connection is never answered
    };
    const Case cases[] = {{"connection never answered", false}, {"no supported service", true}};
    auto printer = radio.AddPrinter("PA0", qvtest::PrinterAdvert({4, 4, 4, 4, 4, 4}));
    printer->addService("180A", {{"2A29", CBCharacteristicPropertyRead}});
    ProxyFor("PA0");
    const BleTiming fast = timing.Fast();
    const long bound = fast.openWindowMs + fast.openAttemptMs + fast.closeWaitMs + 2000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        printer->setConnectAnswer(c.connects ? SimulatedPrinter::ConnectAnswer::Accept
                                             : SimulatedPrinter::ConnectAnswer::Ignore);
        bool opened = true;
        EXPECT_TRUE(OpenEndsWithin(*va, peripheral, *printer, bound, opened));
        EXPECT_FALSE(opened);
    }
}

TEST_F(ProxyVATest, AFailedHandlerStaysUntilTheNextAttemptAndCreditsNeverFallBack) {
    auto printer = radio.AddPrinter("PA3", qvtest::PrinterAdvert({3, 3, 3, 3, 3, 3}));
    printer->addService("18F0", {{"2AF0", CBCharacteristicPropertyNotify}, {"2AF1", kAllWrites}});
    qvtest::CreditPrinter credit(printer);
    credit.mtu = 0;  // never announces: the credit handler refuses it
    ProxyFor("PA3");
    EXPECT_FALSE(va->Open());
    EXPECT_NE(std::dynamic_pointer_cast<MBPeripheralProxyVAHandlerV3>(va->myHandler()), nullptr);
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV2 "), 0u);
    EXPECT_EQ(peripheral->state(), CBPeripheral::Disconnected);
}

TEST_F(ProxyVATest, CallbacksWithoutAHandlerAreDropped) {
    auto printer = V1Printer("PA1");
    ProxyFor("PA1");
    const auto service = std::make_shared<CBService>(CBUUID(kV1Service));
    const auto characteristic =
        std::make_shared<CBCharacteristic>(CBUUID(kV1Service), CBUUID(kV1Characteristic), CBCharacteristicPropertyNotify);
    const auto deliver = [&](MBPeripheralProxyVA& proxy) {
        proxy.didDiscoverCharacteristicsForService(*peripheral, service, nullptr);
        proxy.didWriteValueForCharacteristic(*peripheral, characteristic, nullptr);
        proxy.didUpdateNotificationStateForCharacteristic(*peripheral, characteristic, nullptr);
        proxy.didUpdateValueForCharacteristic(*peripheral, characteristic, nullptr);
    };
    deliver(*va);
    EXPECT_EQ(log.Count("handler nil"), 4u);
    MBPeripheralProxyVA noCentral(nullptr, peripheral);
    deliver(noCentral);  // passed on only with a central
    EXPECT_EQ(log.Count("handler nil"), 4u);
}

TEST_F(ProxyVATest, CallbacksReachAWholeHandlerWhileAttemptsReplaceIt) {
    auto printer = radio.AddPrinter("PA3", qvtest::PrinterAdvert({3, 3, 3, 3, 3, 3}));
    qvtest::CreditPrinter credit(printer);
    credit.mtu = 0;  // every attempt fails, and the next replaces its handler
    timing.Set([](BleTiming& t) { t.handlerDiscoveryMs = 30; });
    ProxyFor("PA3");
    const auto characteristic =
        std::make_shared<CBCharacteristic>(CBUUID("FF00"), CBUUID("FF01"), CBCharacteristicPropertyNotify);
    std::atomic<bool> done{false};
    std::set<const void*> handlersSeen;
    std::thread callbacks([&] {
        while (!done) {
            va->didWriteValueForCharacteristic(*peripheral, characteristic, nullptr);
            va->didUpdateValueForCharacteristic(*peripheral, characteristic, nullptr);
            if (auto handler = va->myHandler()) handlersSeen.insert(handler.get());
            std::this_thread::yield();
        }
    });
    EXPECT_FALSE(va->Open());
    done = true;
    callbacks.join();
    EXPECT_GE(handlersSeen.size(), 2u);
}

TEST(BleTimingDefaults, AreTheShippedWaits) {
    const BleTiming shipped;
    EXPECT_EQ(shipped.pollMs, 1);
    EXPECT_EQ(shipped.poweredOnWaitMs, 5000);
    EXPECT_EQ(shipped.openWindowMs, 20000);
    EXPECT_EQ(shipped.openAttemptMs, 10000);
    EXPECT_EQ(shipped.openSettleMs, 100);
    EXPECT_EQ(shipped.closeWaitMs, 5000);
    EXPECT_EQ(shipped.addressLookupMs, 20000);
    EXPECT_EQ(shipped.addressLookupPollMs, 200);
    EXPECT_EQ(shipped.handlerDiscoveryMs, 5000);
    EXPECT_EQ(shipped.v1WriteTimeoutWithResponseMs, 180000);
    EXPECT_EQ(shipped.v1WriteTimeoutWithoutResponseMs, 40);
    EXPECT_EQ(shipped.v1PacketTimeoutMs, 40);
    EXPECT_EQ(shipped.v2SetupWriteWaitMs, 40);
    EXPECT_EQ(shipped.v2SetupAnswerWaitMs, 100);
    EXPECT_EQ(shipped.v2GroupMinimumMs, 3000);
    EXPECT_EQ(shipped.v3WriteTimeoutFloorMs, 3000);
}

}  // namespace
