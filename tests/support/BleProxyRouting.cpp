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

}  // namespace qvtest
