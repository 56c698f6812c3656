#include "support/BleProxyTestBed.h"

#include <future>
#include <numeric>
#include <thread>

namespace qvtest {

void ProxyRouter::didConnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p) {
    if (proxy) proxy->didConnectPeripheral(c, p);
    BleEventRecorder::didConnectPeripheral(c, p);
}

void ProxyRouter::didFailToConnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p,
                                             const NSError* e) {
    if (proxy) proxy->didFailToConnectPeripheral(c, p, e);
    BleEventRecorder::didFailToConnectPeripheral(c, p, e);
}

void ProxyRouter::didDisconnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p,
                                          const NSError* e) {
    if (proxy) proxy->didDisconnectPeripheral(c, p, e);
    BleEventRecorder::didDisconnectPeripheral(c, p, e);
}

void HandlerForwarder::didDiscoverCharacteristicsForService(CBPeripheral& p, const std::shared_ptr<CBService>& s,
                                                            const NSError* e) {
    if (handler) handler->onDidDiscoverCharacteristicsForService(p, s, e);
    BleEventRecorder::didDiscoverCharacteristicsForService(p, s, e);
}

void HandlerForwarder::didUpdateNotificationStateForCharacteristic(CBPeripheral& p,
                                                                   const std::shared_ptr<CBCharacteristic>& c,
                                                                   const NSError* e) {
    if (handler) handler->onDidUpdateNotificationStateForCharacteristic(p, c, e);
    BleEventRecorder::didUpdateNotificationStateForCharacteristic(p, c, e);
}

void HandlerForwarder::didUpdateValueForCharacteristic(CBPeripheral& p, const std::shared_ptr<CBCharacteristic>& c,
                                                       const NSError* e) {
    if (handler) handler->onDidUpdateValueForCharacteristic(p, c, e);
    BleEventRecorder::didUpdateValueForCharacteristic(p, c, e);
}

void HandlerForwarder::didWriteValueForCharacteristic(CBPeripheral& p, const std::shared_ptr<CBCharacteristic>& c,
                                                      const NSError* e) {
    if (handler) handler->onDidWriteValueForCharacteristic(p, c, e);
    BleEventRecorder::didWriteValueForCharacteristic(p, c, e);
}

std::vector<uint8_t> CountingBytes(int count) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    std::iota(bytes.begin(), bytes.end(), 0);
    return bytes;
}

std::vector<size_t> PieceSizes(const std::vector<SimulatedWrite>& writes) {
    std::vector<size_t> sizes;
    for (const auto& w : writes) sizes.push_back(w.bytes.size());
    return sizes;
}

std::pair<int, int> WriteTogether(const std::function<int(const std::vector<uint8_t>&)>& write,
                                  const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int resultA = -5;
    int resultB = -5;
    std::thread writerA([&] { resultA = write(a); });
    std::thread writerB([&] { resultB = write(b); });
    writerA.join();
    writerB.join();
    return {resultA, resultB};
}

::testing::AssertionResult TookTurns(const std::vector<SimulatedWrite>& writes, size_t perWrite) {
    if (writes.size() != 2 * perWrite) return ::testing::AssertionFailure() << writes.size() << " pieces";
    for (size_t k = 0; k < writes.size(); ++k) {
        const uint8_t owner = writes[k < perWrite ? 0 : perWrite].bytes.at(0);
        for (uint8_t byte : writes[k].bytes) {
            if (byte != owner) return ::testing::AssertionFailure() << "piece " << k << " mixes the writes";
        }
    }
    if (writes[0].bytes[0] == writes[perWrite].bytes[0]) return ::testing::AssertionFailure() << "one writer only";
    return ::testing::AssertionSuccess();
}

void BleProxyTestBed::SetUp() {
    queue = std::make_shared<DispatchQueue>("test.ble", DispatchQueue::Kind::Concurrent);
    router = std::make_shared<ProxyRouter>();
    central = CBCentralManager::Create(router, queue);
}

void BleProxyTestBed::TearDown() {
    central.reset();
    queue->waitIdle();
}

std::vector<uint8_t> ReadFrom(MBPeripheralProxy& proxy, int count, int timeoutMs) {
    std::vector<uint8_t> out(static_cast<size_t>(count));
    const int n = proxy.Read(out.data(), 0, count, timeoutMs);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::shared_ptr<CBPeripheral> BleProxyTestBed::Discover(const std::string& name) {
    router->Clear();
    central->scanForPeripheralsWithServices({}, true);
    std::shared_ptr<CBPeripheral> found;
    for (size_t seen = 1; !found && router->WaitFor("discover", seen); ++seen) {
        const auto event = router->Of("discover")[seen - 1];
        if (event.name == name) found = event.peripheral;
    }
    central->stopScan();
    return found;
}

CBServiceList BleProxyTestBed::ConnectAndDiscover(const std::shared_ptr<CBPeripheral>& peripheral,
                                                  const std::shared_ptr<HandlerForwarder>& forwarder) {
    peripheral->setDelegate(forwarder);
    const size_t connects = router->Count("connect");
    central->connectPeripheral(peripheral);
    EXPECT_TRUE(router->WaitFor("connect", connects + 1));
    const size_t discoveries = forwarder->Count("services");
    peripheral->discoverServices();
    EXPECT_TRUE(forwarder->WaitFor("services", discoveries + 1));
    return peripheral->services();
}

bool BleProxyTestBed::OpenEndsWithin(MBPeripheralProxy& proxy, const std::shared_ptr<CBPeripheral>& peripheral,
                                     SimulatedPrinter& printer, long ms, bool& opened) {
    printer.setIgnoresCancel(true);
    auto open = std::async(std::launch::async, [&proxy] { return proxy.Open(); });
    const bool ended = open.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready;
    printer.setIgnoresCancel(false);
    if (!ended) central->cancelPeripheralConnection(peripheral);
    opened = open.get();
    central->cancelPeripheralConnection(peripheral);
    queue->waitIdle();
    return ended;
}

}  // namespace qvtest
