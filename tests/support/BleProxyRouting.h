#pragma once
// Delegates that route the simulated radio's events to the Bluetooth LE proxies under test.
//
//   auto router = std::make_shared<qvtest::ProxyRouter>();   // the central's delegate
//   router->proxy = proxy;                                   // gets the connection events
//   auto forwarder = std::make_shared<qvtest::HandlerForwarder>();
//   forwarder->handler = handler;  peripheral->setDelegate(forwarder);
#include <memory>

#include "ble/MBPeripheralProxy.h"
#include "support/SimulatedBle.h"

namespace qvtest {

// Stands in for the central manager: records the central's events and hands the connection
// events to the proxy, as the central manager does for the proxies it holds.
class ProxyRouter : public BleEventRecorder {
public:
    std::shared_ptr<MBPeripheralProxy> proxy;

    void didConnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p) override;
    void didFailToConnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p,
                                    const NSError* e) override;
    void didDisconnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p,
                                 const NSError* e) override;
};

// Stands in for the automatic-profile proxy: the peripheral's delegate, which records the
// events and forwards the four characteristic events to the handler.
class HandlerForwarder : public BleEventRecorder {
public:
    std::shared_ptr<MBPeripheralProxyVAHandler> handler;

    void didDiscoverCharacteristicsForService(CBPeripheral& p, const std::shared_ptr<CBService>& s,
                                              const NSError* e) override;
    void didUpdateNotificationStateForCharacteristic(CBPeripheral& p, const std::shared_ptr<CBCharacteristic>& c,
                                                     const NSError* e) override;
    void didUpdateValueForCharacteristic(CBPeripheral& p, const std::shared_ptr<CBCharacteristic>& c,
                                         const NSError* e) override;
    void didWriteValueForCharacteristic(CBPeripheral& p, const std::shared_ptr<CBCharacteristic>& c,
                                        const NSError* e) override;
};

}  // namespace qvtest
