// The credit-profile proxy and handler over the simulated radio, against a printer that
// announces its MTU, grants credits, and answers, drops or holds back its grants.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>

#include "ble/MBPeripheralProxyV3.h"
#include "support/BleProxyTestBed.h"
#include "support/ScopedBleTiming.h"
#include "support/SimulatedBle.h"
#include "support/SimulatedCreditPrinter.h"

namespace {

using Answer = SimulatedPrinter::WriteAnswer;
using qvtest::HandlerForwarder;
using qvtest::ProxyRouter;
using Clock = std::chrono::steady_clock;
using qvtest::CreditPrinter;

constexpr auto Bytes = qvtest::CountingBytes;
using qvtest::PieceSizes;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class ProxyV3Test : public qvtest::BleProxyTestBed {
protected:
    void SetUp() override {
        BleProxyTestBed::SetUp();
        printer = radio.AddPrinter("P80", qvtest::PrinterAdvert({1, 2, 3, 4, 5, 6}));
        credit = std::make_unique<CreditPrinter>(printer);
        peripheral = Discover("P80");
        ASSERT_TRUE(peripheral);
        proxy = std::make_shared<MBPeripheralProxyV3>(central, peripheral);
        router->proxy = proxy;
    }
    void TearDown() override {
        if (proxy) proxy->Close();
        BleProxyTestBed::TearDown();
        credit.reset();
    }
    int Write(const std::vector<uint8_t>& bytes, int timeoutMs = 0) {
        return proxy->Write(bytes.data(), 0, static_cast<int>(bytes.size()), timeoutMs);
    }

    std::shared_ptr<SimulatedPrinter> printer;
    std::unique_ptr<CreditPrinter> credit;
    std::shared_ptr<CBPeripheral> peripheral;
    std::shared_ptr<MBPeripheralProxyV3> proxy;
};

TEST_F(ProxyV3Test, OpensOnceThePrinterAnnouncedAndReadsItsData) {
    credit->mtu = 64;
    credit->initialCredits = 4;
    ASSERT_TRUE(proxy->Open());
    EXPECT_TRUE(printer->isNotifying("FF01"));
    EXPECT_TRUE(printer->isNotifying("FF03"));
    EXPECT_EQ(proxy->flow().printerRespondedMTUSize(), 64);
    EXPECT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), 4);
    EXPECT_EQ(proxy->flow().maximumWriteValueLength(), 185);
    EXPECT_EQ(log.Count("maximumWriteValueLength Without Response:185"), 1u);
    EXPECT_EQ(log.Count("Discovered service uuid FF00"), 1u);
    EXPECT_EQ(log.Count("didUpdateNotificationStateForCharacteristic FF03 successed"), 1u);

    // FF01 values are the printer's data; FF03 values never reach the ring.
    ASSERT_TRUE(printer->notify("FF03", {0x01, 0x02}));
    ASSERT_TRUE(printer->notify("FF01", {0x10, 0x20, 0x30}));
    // One source's events keep their order: had FF03's value reached the ring, it would lead.
    // The read asks for just the data, with time to spare on a loaded machine.
    std::vector<uint8_t> out(3);
    EXPECT_EQ(proxy->Read(out.data(), 0, 3, 2000), 3);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x10, 0x20, 0x30}));
    EXPECT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), 6);
}

TEST_F(ProxyV3Test, WritesOneRawPiecePerCreditOfTheSmallerOfMtuAndWriteLength) {
    struct Case {
        const char* name;
        int mtu;
        int writeLength;  // the peripheral's largest value without response
        int offset;
        int count;
        std::vector<size_t> pieces;
    };
    const Case cases[] = {
        {"MTU smaller than the write length", 30, 185, 0, 100, {30, 30, 30, 10}},
        {"write length smaller than the MTU", 100, 20, 5, 45, {20, 20, 5}},
        {"a multiple of the piece size", 25, 185, 0, 75, {25, 25, 25}},
        {"one short piece", 50, 185, 3, 7, {7}},
    };
    const auto data = Bytes(200);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        credit->mtu = c.mtu;
        printer->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, c.writeLength);
        printer->clearWrites();
        ASSERT_TRUE(proxy->Open());
        EXPECT_EQ(proxy->Write(data.data(), c.offset, c.count, 0), c.count);
        const auto writes = printer->writes();
        EXPECT_EQ(PieceSizes(writes), c.pieces);
        std::vector<uint8_t> joined;
        for (const auto& w : writes) {
            EXPECT_EQ(w.characteristic, "FF02");
            EXPECT_EQ(w.type, CBCharacteristicWriteWithoutResponse);
            joined.insert(joined.end(), w.bytes.begin(), w.bytes.end());
        }
        EXPECT_EQ(joined, std::vector<uint8_t>(data.begin() + c.offset, data.begin() + c.offset + c.count));
        // One credit at the start, one granted back per piece: one left, the total the pieces.
        EXPECT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), 1);
        EXPECT_EQ(proxy->flow().printerRespondedCreditsTotalValue(), static_cast<int>(c.pieces.size()));
        EXPECT_FALSE(credit->overdrawn);
        proxy->Close();
    }
}

TEST_F(ProxyV3Test, FlowControlNotifications) {
    credit->mtu = 40;
    credit->initialCredits = 3;
    ASSERT_TRUE(proxy->Open());
    struct Case {
        const char* name;
        std::vector<uint8_t> value;
        int mtu, current, total;
    };
    // Starting from MTU 40, 3 current and 3 total credits, each row on top of the last.
    const Case cases[] = {
        {"MTU whatever the third byte", {0x02, 0x50, 0xFF}, 0x50, 3, 3},
        {"grant of n", {0x01, 0x05}, 0x50, 8, 8},
        {"grant of 0", {0x01, 0x00}, 0x50, 8, 8},
        {"grant of 255", {0x01, 0xFF}, 0x50, 263, 263},
        {"four bytes", {0x02, 0x10, 0x00, 0x00}, 0x50, 263, 263},
        {"MTU of two bytes", {0x02, 0x10}, 0x50, 263, 263},
        {"grant of three bytes", {0x01, 0x05, 0x00}, 0x50, 263, 263},
        {"unknown kind", {0x03, 0x05}, 0x50, 263, 263},
        {"empty", {}, 0x50, 263, 263},
        {"MTU of 0", {0x02, 0x00, 0x00}, 0, 263, 263},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(printer->notify("FF03", c.value));
        queue->waitIdle();
        EXPECT_EQ(proxy->flow().printerRespondedMTUSize(), c.mtu);
        EXPECT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), c.current);
        EXPECT_EQ(proxy->flow().printerRespondedCreditsTotalValue(), c.total);
    }
    EXPECT_TRUE(proxy->link().rxBuffer().isEmpty());
    // MTU 0 again: every write fails, even with credits.
    EXPECT_EQ(Write(Bytes(10)), -1);
    EXPECT_EQ(log.Count("Write Failed -1/10"), 1u);
    EXPECT_TRUE(printer->writes().empty());
}

TEST_F(ProxyV3Test, WaitsForGrantsAndNeverWritesWithoutACredit) {
    credit->mtu = 10;
    credit->initialCredits = 2;
    credit->holdGrants = true;
    ASSERT_TRUE(proxy->Open());
    std::atomic<int> result{-5};
    std::thread writer([&] { result = Write(Bytes(50), 5000); });
    // Two credits: two pieces, then the writer waits for the printer.
    ASSERT_TRUE(credit->WaitForPieces(2));
    credit->Grant(1);
    ASSERT_TRUE(credit->WaitForPieces(3));
    credit->Grant(2);  // a batch: pieces 4 and 5
    ASSERT_TRUE(credit->WaitForPieces(5));
    credit->Grant(2);  // the total reaches the five pieces
    writer.join();
    EXPECT_EQ(result, 50);
    EXPECT_EQ(printer->writes().size(), 5u);
    EXPECT_FALSE(credit->overdrawn);
    EXPECT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), 2);  // 2 + 5 granted - 5 used
    EXPECT_EQ(proxy->flow().printerRespondedCreditsTotalValue(), 5);
}

TEST_F(ProxyV3Test, GrantsThatComeEarlyOrOvershootStillEndWithEveryPieceSent) {
    credit->mtu = 10;
    credit->initialCredits = 1;
    credit->holdGrants = true;
    ASSERT_TRUE(proxy->Open());
    // A grant equal to the number of pieces after the first piece must not end the write
    // with pieces unsent.
    std::atomic<int> result{-5};
    std::thread writer([&] { result = Write(Bytes(30), 5000); });
    ASSERT_TRUE(credit->WaitForPieces(1));
    credit->Grant(3);
    writer.join();
    EXPECT_EQ(result, 30);
    EXPECT_EQ(PieceSizes(printer->writes()), (std::vector<size_t>{10, 10, 10}));

    // Three credits back for every piece: the total passes the count without equalling it,
    // and the write is still done, not timed out.
    printer->clearWrites();
    credit->holdGrants = false;
    credit->grantPerPiece = 3;
    ASSERT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), 1);
    const auto start = Clock::now();
    EXPECT_EQ(Write(Bytes(20), 5000), 20);
    EXPECT_LT(ElapsedMs(start), 2000);
    EXPECT_EQ(printer->writes().size(), 2u);
    EXPECT_FALSE(credit->overdrawn);
}

TEST_F(ProxyV3Test, WriteFailures) {
    credit->mtu = 10;
    credit->initialCredits = 1;
    credit->holdGrants = true;
    ASSERT_TRUE(proxy->Open());

    // The printer drops its grants: the write gives up after count + the floor and reports 0.
    auto start = Clock::now();
    EXPECT_EQ(Write(Bytes(10), 1), 0);
    EXPECT_GE(ElapsedMs(start), 10 + timing.Fast().v3WriteTimeoutFloorMs);
    EXPECT_EQ(log.Count("Write Failed 0/10"), 1u);
    // A longer time-out of the caller is kept.
    credit->Grant(1);
    queue->waitIdle();
    start = Clock::now();
    EXPECT_EQ(Write(Bytes(10), 400), 0);
    EXPECT_GE(ElapsedMs(start), 400);

    // No credit left when the write starts.
    EXPECT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), 0);
    printer->clearWrites();
    EXPECT_EQ(Write(Bytes(10)), -1);
    EXPECT_TRUE(printer->writes().empty());

    // Bad arguments.
    credit->Grant(1);
    queue->waitIdle();
    const auto data = Bytes(4);
    EXPECT_EQ(proxy->Write(nullptr, 0, 4, 0), -1);
    EXPECT_EQ(proxy->Write(data.data(), 0, -1, 0), -1);
    EXPECT_EQ(proxy->Write(data.data(), -1, 4, 0), -1);
    EXPECT_EQ(proxy->Write(data.data(), 0, 0, 0), 0);
    EXPECT_EQ(proxy->writePackWithoutResponse(nullptr, 0, 4, 0), -1);
    EXPECT_TRUE(printer->writes().empty());

    // The link lost in the middle of a write.
    std::atomic<int> result{-5};
    std::thread writer([&] { result = Write(Bytes(30), 5000); });
    ASSERT_TRUE(credit->WaitForPieces(3));  // two earlier pieces and this write's first
    printer->disconnect();
    writer.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Write(Bytes(3)), -1);
    EXPECT_TRUE(proxy->IsOpened());  // until Close
}

TEST_F(ProxyV3Test, WritesOnOneConnectionTakeTurns) {
    credit->mtu = 10;
    credit->initialCredits = 2;
    ASSERT_TRUE(proxy->Open());
    const auto [a, b] = qvtest::WriteTogether([&](const std::vector<uint8_t>& bytes) { return Write(bytes, 5000); },
                                              std::vector<uint8_t>(100, 0xA1), std::vector<uint8_t>(100, 0xB2));
    EXPECT_EQ(a, 100);
    EXPECT_EQ(b, 100);
    EXPECT_TRUE(qvtest::TookTurns(printer->writes(), 10));
    EXPECT_FALSE(credit->overdrawn);
}

TEST_F(ProxyV3Test, OnePieceWaitsForAnAnswerOnlyWhenGivenTime) {
    ASSERT_TRUE(proxy->Open());
    const auto data = Bytes(8);
    EXPECT_EQ(proxy->writePackWithoutResponse(data.data(), 2, 5, 0), 5);
    EXPECT_EQ(proxy->writePackWithoutResponse(data.data(), 0, 5, 20), 5);  // silence counts as taken
    credit->answer = Answer::Error;
    EXPECT_EQ(proxy->writePackWithoutResponse(data.data(), 0, 5, 200), 0);
    EXPECT_EQ(proxy->writePackWithoutResponse(data.data(), 0, 5, 0), 5);  // no wait: not examined
    const auto writes = printer->writes();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0].bytes, (std::vector<uint8_t>{2, 3, 4, 5, 6}));
}

TEST_F(ProxyV3Test, PrinterThatNeverAnnouncesOpensAfterTheWholeAttemptButCannotWrite) {
    credit->mtu = 0;
    credit->initialCredits = 0;
    const auto start = Clock::now();
    ASSERT_TRUE(proxy->Open());
    EXPECT_GE(ElapsedMs(start), timing.Fast().openAttemptMs);
    EXPECT_EQ(Write(Bytes(5)), -1);
    // Credits without an MTU are not enough either.
    credit->Grant(3);
    queue->waitIdle();
    EXPECT_EQ(Write(Bytes(5)), -1);
    EXPECT_TRUE(printer->writes().empty());
}

TEST_F(ProxyV3Test, CloseForgetsTheCharacteristicsButNotTheCounters) {
    credit->mtu = 32;
    credit->initialCredits = 5;
    ASSERT_TRUE(proxy->Open());
    ASSERT_TRUE(printer->notify("FF01", {1}));
    queue->waitIdle();
    proxy->Close();
    EXPECT_FALSE(proxy->IsOpened());
    EXPECT_FALSE(proxy->link().writeCharacteristic());
    EXPECT_FALSE(proxy->link().readCharacteristic());
    EXPECT_FALSE(proxy->flow().flowControlCharacteristic());
    EXPECT_TRUE(proxy->link().rxBuffer().isEmpty());
    EXPECT_EQ(proxy->flow().printerRespondedMTUSize(), 32);
    EXPECT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), 5);
    EXPECT_EQ(proxy->flow().printerRespondedCreditsTotalValue(), 5);

    // The next open starts the MTU and the current credits from 0; the total stays.
    credit->mtu = 16;
    credit->initialCredits = 2;
    ASSERT_TRUE(proxy->Open());
    EXPECT_EQ(proxy->flow().printerRespondedMTUSize(), 16);
    EXPECT_EQ(proxy->flow().printerRespondedCreditsCurrentValue(), 2);
    EXPECT_EQ(proxy->flow().printerRespondedCreditsTotalValue(), 7);
}

TEST_F(ProxyV3Test, AProfileWithoutTheFlowControlCharacteristicNeverOpens) {
    // FF02 here takes writes with response only, so its length stays at 20.
    auto other = radio.AddPrinter("HALF", qvtest::PrinterAdvert({6, 6, 6, 6, 6, 6}));
    other->addService("FF00", {{"FF01", CBCharacteristicPropertyNotify}, {"FF02", CBCharacteristicPropertyWrite}});
    other->setMaximumWriteLength(CBCharacteristicWriteWithoutResponse, 185);
    const auto found = Discover("HALF");
    ASSERT_TRUE(found);
    auto half = std::make_shared<MBPeripheralProxyV3>(central, found);
    router->proxy = half;
    EXPECT_FALSE(half->Open());
    EXPECT_FALSE(other->isConnected());
    EXPECT_EQ(half->flow().maximumWriteValueLength(), 20);
    EXPECT_EQ(log.Count("maximumWriteValueLength Without Response:"), 0u);
}

// ---- the credit profile as a handler of the automatic profile ----

class HandlerV3Test : public ProxyV3Test {
protected:
    void SetUp() override {
        ProxyV3Test::SetUp();
        router->proxy = nullptr;
        proxy = nullptr;
        forwarder = std::make_shared<HandlerForwarder>();
        forwarder->handler = handler;
    }
    CBServiceList ConnectAndDiscover() { return BleProxyTestBed::ConnectAndDiscover(peripheral, forwarder); }

    std::shared_ptr<MBPeripheralProxyVAHandlerV3> handler = std::make_shared<MBPeripheralProxyVAHandlerV3>();
    std::shared_ptr<HandlerForwarder> forwarder;
};

TEST_F(HandlerV3Test, ConnectsOnceAnnouncedThenWritesAndReads) {
    credit->mtu = 20;
    credit->initialCredits = 1;
    const auto services = ConnectAndDiscover();
    EXPECT_TRUE(MBPeripheralProxyVAHandlerV3::hasSupportedServiceInServices(&services));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV3 hasSupportedServiceInServices, service uuid FF00"), 1u);
    ASSERT_TRUE(handler->connectPeripheral(peripheral, &services));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV3 discoverCharacteristicsForService: FF00"), 1u);

    const auto data = Bytes(60);
    EXPECT_EQ(handler->doWrite(peripheral, data.data(), 10, 50, 0), 50);
    const auto writes = printer->writes();
    ASSERT_EQ(PieceSizes(writes), (std::vector<size_t>{20, 20, 10}));
    EXPECT_EQ(writes[2].bytes, std::vector<uint8_t>(data.begin() + 50, data.end()));
    EXPECT_FALSE(credit->overdrawn);

    ASSERT_TRUE(printer->notify("FF01", {7, 8}));
    uint8_t buffer[2] = {};
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 2, 1000), 2);
    EXPECT_EQ(buffer[1], 8);

    ASSERT_TRUE(printer->notify("FF01", {9}));
    queue->waitIdle();
    handler->doSkipAvailable();
    EXPECT_TRUE(handler->link().rxBuffer().isEmpty());
    handler->onClose();
    EXPECT_FALSE(handler->flow().flowControlCharacteristic());
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 1, 0), -1);  // no write characteristic now
}

TEST_F(HandlerV3Test, RefusesAPrinterThatNeverAnnounces) {
    credit->mtu = 0;  // grants credits, never an MTU
    const auto services = ConnectAndDiscover();
    const auto start = Clock::now();
    EXPECT_FALSE(handler->connectPeripheral(peripheral, &services));
    EXPECT_GE(ElapsedMs(start), timing.Fast().handlerDiscoveryMs);
    EXPECT_TRUE(handler->link().hasBothCharacteristics());
    EXPECT_TRUE(handler->flow().flowControlCharacteristic());
}

TEST_F(HandlerV3Test, EntryChecks) {
    CBServiceList none;
    EXPECT_FALSE(MBPeripheralProxyVAHandlerV3::hasSupportedServiceInServices(nullptr));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV3 hasSupportedServiceInServices: nil"), 1u);
    EXPECT_FALSE(MBPeripheralProxyVAHandlerV3::hasSupportedServiceInServices(&none));
    EXPECT_FALSE(handler->connectPeripheral(nullptr, &none));
    EXPECT_FALSE(handler->connectPeripheral(peripheral, nullptr));
    EXPECT_EQ(log.Count("MBPeripheralProxyVAHandlerV3 connectPeripheralSupportedServiceInServices: nil"), 2u);
    EXPECT_FALSE(handler->connectPeripheral(peripheral, &none));

    uint8_t buffer[4] = {};
    // Not connected: -1.
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 4, 100), -1);
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 4, 100), -1);
    EXPECT_EQ(handler->doWrite(nullptr, buffer, 0, 4, 100), -1);

    const auto services = ConnectAndDiscover();
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 4, 100), -1);  // characteristics not yet found
    ASSERT_TRUE(handler->connectPeripheral(peripheral, &services));
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 0, 100), 0);
    EXPECT_EQ(handler->doWriteGroupPack(peripheral, buffer, 0, 100), 0);
    EXPECT_EQ(handler->doWritePackWithoutResponse(peripheral, buffer, 0, 0, 100), 0);
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 0, 100), 0);
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, -1, 100), -1);
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, -1, 100), -1);
    EXPECT_EQ(handler->doWrite(peripheral, nullptr, 0, 4, 100), -1);
    EXPECT_EQ(handler->doRead(peripheral, nullptr, 0, 4, 100), -1);
    EXPECT_EQ(handler->doWrite(peripheral, buffer, -1, 4, 100), -1);
    EXPECT_TRUE(printer->writes().empty());
    EXPECT_EQ(handler->doWritePackWithoutResponse(peripheral, buffer, 0, 4, 0), 4);

    // The link lost: -1 for reads and writes.
    printer->disconnect();
    ASSERT_TRUE(router->WaitFor("disconnect", 1));
    EXPECT_EQ(handler->doWrite(peripheral, buffer, 0, 4, 100), -1);
    EXPECT_EQ(handler->doRead(peripheral, buffer, 0, 4, 100), -1);
}

}  // namespace
