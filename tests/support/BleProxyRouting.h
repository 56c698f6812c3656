#pragma once
// Delegates that route the simulated radio's events to the Bluetooth LE proxies under test.
//
//   auto router = std::make_shared<qvtest::ProxyRouter>();   // the central's delegate
//   router->proxy = proxy;                                   // gets the connection events
//   auto forwarder = std::make_shared<qvtest::HandlerForwarder>();
//   forwarder->handler = handler;  peripheral->setDelegate(forwarder);
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ble/MBPeripheralProxy.h"
#include "platform/DispatchQueue.h"
#include "support/ScopedBleTiming.h"
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

// A central on its own queue, with a router as its delegate, that heard the printer in range.
struct RoutedCentral {
    std::shared_ptr<DispatchQueue> queue;
    std::shared_ptr<ProxyRouter> router;
    std::shared_ptr<CBCentralManager> central;
    std::shared_ptr<CBPeripheral> peripheral;

    // Scans until the first printer is heard; false when none was.
    bool Start();
    // Drops the central and lets its queue run dry.
    void Stop();
};

// Connects the peripheral and discovers its services, as the automatic profile does before it
// picks a handler; centralEvents is the central's delegate, forwarder the peripheral's.
CBServiceList ConnectAndDiscover(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                 const BleEventRecorder& centralEvents, const HandlerForwarder& forwarder);

// What every proxy suite starts from: short waits, a powered radio, the log, and a central
// that routes its events to the proxy under test. A suite adds its printer, then Start()s.
class BleProxyTest : public ::testing::Test {
protected:
    void TearDown() override { routed.Stop(); }
    // What one read of the proxy gave, up to count bytes.
    static std::vector<uint8_t> ReadAll(MBPeripheralProxy& proxy, int count, int timeoutMs = 1000);

    ScopedBleTiming timing;
    ScopedRadio radio;
    LogCapture log;
    RoutedCentral routed;
    std::shared_ptr<DispatchQueue>& queue = routed.queue;
    std::shared_ptr<ProxyRouter>& router = routed.router;
    std::shared_ptr<CBCentralManager>& central = routed.central;
    std::shared_ptr<CBPeripheral>& peripheral = routed.peripheral;
};

}  // namespace qvtest
