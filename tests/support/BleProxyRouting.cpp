#include "support/BleProxyRouting.h"

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

bool RoutedCentral::Start() {
    queue = std::make_shared<DispatchQueue>("test.ble", DispatchQueue::Kind::Concurrent);
    router = std::make_shared<ProxyRouter>();
    central = CBCentralManager::Create(router, queue);
    central->scanForPeripheralsWithServices({}, true);
    if (!router->WaitFor("discover", 1)) return false;
    peripheral = router->Of("discover")[0].peripheral;
    central->stopScan();
    return true;
}

void RoutedCentral::Stop() {
    central.reset();
    if (queue) queue->waitIdle();
}

CBServiceList ConnectAndDiscover(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                 const BleEventRecorder& centralEvents, const HandlerForwarder& forwarder) {
    const size_t connects = centralEvents.Count("connect");
    const size_t discoveries = forwarder.Count("services");
    central.connectPeripheral(peripheral);
    if (!centralEvents.WaitFor("connect", connects + 1)) return {};
    peripheral->discoverServices();
    if (!forwarder.WaitFor("services", discoveries + 1)) return {};
    return peripheral->services();
}

std::vector<uint8_t> BleProxyTest::ReadAll(MBPeripheralProxy& proxy, int count, int timeoutMs) {
    std::vector<uint8_t> out(static_cast<size_t>(count));
    const int n = proxy.Read(out.data(), 0, count, timeoutMs);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

}  // namespace qvtest
