#include "ble/MBPeripheralConnectionProxy.h"

#include <chrono>
#include <thread>

#include "ble/BleTiming.h"
#include "ble/GattLink.h"
#include "platform/NSDate.h"
#include "platform/NSLog.h"

bool MBPeripheralConnectionProxy::hasCentralAndPeripheral() const {
    if (!myCentralManager()) {
        NSLog("myCentralManager nil");
        return false;
    }
    if (!myPeripheral()) {
        NSLog("myPeripheral nil");
        return false;
    }
    return true;
}

bool MBPeripheralConnectionProxy::centralPoweredOn() const {
    return myCentralManager() && myCentralManager()->state() == CBManagerStatePoweredOn;
}

bool MBPeripheralConnectionProxy::ownsEvent(const CBCentralManager& central,
                                            const std::shared_ptr<CBPeripheral>& peripheral) const {
    return &central == myCentralManager().get() && peripheral && peripheral == myPeripheral();
}

bool MBPeripheralConnectionProxy::ownsPeripheral(const CBPeripheral& peripheral) const {
    return myCentralManager() && &peripheral == myPeripheral().get();
}

bool MBPeripheralConnectionProxy::peripheralConnected() const {
    return myPeripheral() && myPeripheral()->state() == CBPeripheral::Connected;
}

bool MBPeripheralConnectionProxy::waitForCBCentralManagerStatePoweredOn(int timeoutMs) {
    PollUntil(timeoutMs, [this] { return centralPoweredOn(); });
    return centralPoweredOn();
}

bool MBPeripheralConnectionProxy::Open() {
    if (!hasCentralAndPeripheral()) return false;
    const BleTiming timing = GetBleTiming();
    waitForCBCentralManagerStatePoweredOn(timing.poweredOnWaitMs);
    if (!centralPoweredOn()) {
        NSLog("CentralManager not powered on");
        return false;
    }
    const int state = myPeripheral()->state();
    if (state != CBPeripheral::Disconnected) {
        NSLog("Open failed. %s state %d.", PeripheralName(*myPeripheral()).c_str(), state);
        return false;
    }
    NSLog("Connecting %s %p", PeripheralName(*myPeripheral()).c_str(), static_cast<void*>(myPeripheral().get()));
    const NSDate deadline = DeadlineAfterMs(timing.openWindowMs);
    while (deadline.isInFuture()) {
        if (!centralPoweredOn()) break;
        if (BaseOpen()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(timing.pollMs));
    }
    return isOpened_.load();
}

void MBPeripheralConnectionProxy::cancelAndWaitForDisconnected() {
    myCentralManager()->cancelPeripheralConnection(myPeripheral());
    PollUntil(GetBleTiming().closeWaitMs,
              [this] { return myPeripheral()->state() == CBPeripheral::Disconnected || !centralPoweredOn(); });
}

void MBPeripheralConnectionProxy::cancelAndWaitWhileConnected() {
    myCentralManager()->cancelPeripheralConnection(myPeripheral());
    PollUntil(GetBleTiming().closeWaitMs, [this] { return !isConnected_.load(); });
}

void MBPeripheralConnectionProxy::didConnectPeripheral(CBCentralManager& central,
                                                       const std::shared_ptr<CBPeripheral>& peripheral) {
    if (!ownsEvent(central, peripheral)) return;
    NSLog("Peripheral %s connected", PeripheralName(*peripheral).c_str());
    peripheral->setDelegate(std::static_pointer_cast<CBPeripheralDelegate>(shared_from_this()));
    isConnected_ = true;
    NSLog("Discovering services");
    peripheral->discoverServices();
}

void MBPeripheralConnectionProxy::didFailToConnectPeripheral(CBCentralManager& central,
                                                             const std::shared_ptr<CBPeripheral>& peripheral,
                                                             const NSError* error) {
    if (!ownsEvent(central, peripheral)) return;
    NSLog("Failed to connect %s\n%s\n", PeripheralName(*peripheral).c_str(),
          error ? error->description().c_str() : "(null)");
    isOpening_ = false;
}

void MBPeripheralConnectionProxy::didDisconnectPeripheral(CBCentralManager& central,
                                                          const std::shared_ptr<CBPeripheral>& peripheral,
                                                          const NSError*) {
    if (!ownsEvent(central, peripheral)) return;
    NSLog("Peripheral %s disconnected", PeripheralName(*peripheral).c_str());
    isConnected_ = false;
    isOpening_ = false;
}
