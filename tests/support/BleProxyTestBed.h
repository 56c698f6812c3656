#pragma once
// What the suites of the GATT profiles share: delegates that stand in for the objects that
// route Bluetooth LE events to a peripheral proxy or to a profile handler of the automatic
// profile, and a fixture with a central on the simulated radio.
//
//   class MyTest : public qvtest::BleProxyTestBed { ... };
//   auto peripheral = Discover("P58");               // after radio.AddPrinter("P58", ...)
//   router->proxy = proxy;                            // gets the connection events
//   auto forwarder = std::make_shared<qvtest::HandlerForwarder>();
//   forwarder->handler = handler;
//   auto services = ConnectAndDiscover(peripheral, forwarder);
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "ble/MBPeripheralProxy.h"
#include "support/ScopedBleTiming.h"
#include "support/SimulatedBle.h"

namespace qvtest {

// Records the central's events and hands the connection events to the proxy, as the central
// manager does for the proxies it holds.
class ProxyRouter : public BleEventRecorder {
public:
    std::shared_ptr<MBPeripheralProxy> proxy;

    void didConnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p) override;
    void didFailToConnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p,
                                    const NSError* e) override;
    void didDisconnectPeripheral(CBCentralManager& c, const std::shared_ptr<CBPeripheral>& p,
                                 const NSError* e) override;
};

// The peripheral's delegate in place of the automatic-profile proxy: records the events and
// forwards the four profile callbacks to the handler.
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

// Bytes 0, 1, 2, ... (wrapping at 256).
std::vector<uint8_t> CountingBytes(int count);
// What one read of the proxy gave, up to count bytes.
std::vector<uint8_t> ReadFrom(MBPeripheralProxy& proxy, int count, int timeoutMs = 1000);
// The length of each write, in order.
std::vector<size_t> PieceSizes(const std::vector<SimulatedWrite>& writes);
// Two writes started together on two threads; their results, in order.
std::pair<int, int> WriteTogether(const std::function<int(const std::vector<uint8_t>&)>& write,
                                  const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
// Whether the pieces are those of two writes that took turns: perWrite pieces of one
// writer's bytes, then perWrite of the other's.
::testing::AssertionResult TookTurns(const std::vector<SimulatedWrite>& writes, size_t perWrite);

// Short timings, the radio, the log, and a central on a concurrent queue whose connection
// events go to router->proxy.
class BleProxyTestBed : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Scans until the named printer is heard; null when it is not within the deadline.
    std::shared_ptr<CBPeripheral> Discover(const std::string& name);
    // Connects and discovers the services, with the forwarder as the peripheral's delegate,
    // as the automatic profile does before it picks a handler.
    CBServiceList ConnectAndDiscover(const std::shared_ptr<CBPeripheral>& peripheral,
                                     const std::shared_ptr<HandlerForwarder>& forwarder);
    // Opens the proxy on another thread, with the printer ignoring cancellations: whether the
    // open ended within ms. One still polling for a disconnection then is released by
    // honouring the cancellation again, so the test ends either way.
    bool OpenEndsWithin(MBPeripheralProxy& proxy, const std::shared_ptr<CBPeripheral>& peripheral,
                        SimulatedPrinter& printer, long ms, bool& opened);

    ScopedBleTiming timing;
    ScopedRadio radio;
    LogCapture log;
    std::shared_ptr<DispatchQueue> queue;
    std::shared_ptr<ProxyRouter> router;
    std::shared_ptr<CBCentralManager> central;
};

}  // namespace qvtest
