#include "ble/MBPeripheralProfileProxy.h"

#include <chrono>
#include <thread>

#include "ble/BleTiming.h"
#include "platform/NSDate.h"
#include "platform/NSLog.h"

namespace {

void SleepPoll() { std::this_thread::sleep_for(std::chrono::milliseconds(GetBleTiming().pollMs)); }

}  // namespace

bool MBPeripheralProfileProxy::hasCentralAndPeripheral() const {
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

bool MBPeripheralProfileProxy::centralPoweredOn() const {
    return myCentralManager() && myCentralManager()->state() == CBManagerStatePoweredOn;
}

bool MBPeripheralProfileProxy::ownsEvent(const CBCentralManager& central,
                                         const std::shared_ptr<CBPeripheral>& peripheral) const {
    return &central == myCentralManager().get() && peripheral && peripheral == myPeripheral();
}

bool MBPeripheralProfileProxy::waitForCBCentralManagerStatePoweredOn(int timeoutMs) {
    const NSDate deadline = DeadlineAfterMs(timeoutMs);
    while (deadline.isInFuture()) {
        if (centralPoweredOn()) break;
        SleepPoll();
    }
    return centralPoweredOn();
}

bool MBPeripheralProfileProxy::Open() {
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
        SleepPoll();
    }
    return isOpened_.load();
}

bool MBPeripheralProfileProxy::BaseOpen() {
    const BleTiming timing = GetBleTiming();
    // Characteristics of an earlier attempt belong to a link that is gone.
    forgetProfileCharacteristics();
    isOpening_ = true;
    beforeConnect();
    myCentralManager()->connectPeripheral(myPeripheral());

    const NSDate deadline = DeadlineAfterMs(timing.openAttemptMs);
    while (deadline.isInFuture()) {
        if (!centralPoweredOn() || !isOpening_.load() || profileReady()) break;
        SleepPoll();
    }
    if (profileCharacteristicsKnown()) {
        const NSDate settled = DeadlineAfterMs(timing.openSettleMs);
        while (settled.isInFuture()) {
            if (!centralPoweredOn()) break;
            if (myPeripheral()->state() != CBPeripheral::Connected) {
                forgetProfileCharacteristics();
                break;
            }
            SleepPoll();
        }
    }
    if (!profileCharacteristicsKnown()) {
        myCentralManager()->cancelPeripheralConnection(myPeripheral());
        while (myPeripheral()->state() != CBPeripheral::Disconnected && centralPoweredOn()) SleepPoll();
    } else {
        isOpened_ = true;
    }
    return isOpened_.load();
}

void MBPeripheralProfileProxy::Close() {
    if (!hasCentralAndPeripheral()) return;
    myCentralManager()->cancelPeripheralConnection(myPeripheral());
    const NSDate deadline = DeadlineAfterMs(GetBleTiming().closeWaitMs);
    while (deadline.isInFuture() && isConnected_.load()) SleepPoll();
    link_.rxBuffer().clear();
    forgetProfileCharacteristics();
    isOpened_ = false;
}

int MBPeripheralProfileProxy::Read(uint8_t* buffer, int offset, int count, int timeoutMs) {
    if (!hasCentralAndPeripheral()) return -1;
    if (myPeripheral()->state() != CBPeripheral::Connected) return -1;
    return link_.read(buffer, offset, count, timeoutMs, [this] { return isConnected_.load(); });
}

void MBPeripheralProfileProxy::didConnectPeripheral(CBCentralManager& central,
                                                    const std::shared_ptr<CBPeripheral>& peripheral) {
    if (!ownsEvent(central, peripheral)) return;
    NSLog("Peripheral %s connected", PeripheralName(*peripheral).c_str());
    peripheral->setDelegate(std::static_pointer_cast<CBPeripheralDelegate>(shared_from_this()));
    isConnected_ = true;
    NSLog("Discovering services");
    peripheral->discoverServices();
}

void MBPeripheralProfileProxy::didFailToConnectPeripheral(CBCentralManager& central,
                                                          const std::shared_ptr<CBPeripheral>& peripheral,
                                                          const NSError* error) {
    if (!ownsEvent(central, peripheral)) return;
    NSLog("Failed to connect %s\n%s\n", PeripheralName(*peripheral).c_str(),
          error ? error->description().c_str() : "(null)");
    isOpening_ = false;
}

void MBPeripheralProfileProxy::didDisconnectPeripheral(CBCentralManager& central,
                                                       const std::shared_ptr<CBPeripheral>& peripheral,
                                                       const NSError*) {
    if (!ownsEvent(central, peripheral)) return;
    NSLog("Peripheral %s disconnected", PeripheralName(*peripheral).c_str());
    isConnected_ = false;
    isOpening_ = false;
}

void MBPeripheralProfileProxy::didDiscoverServices(CBPeripheral& peripheral, const NSError* error) {
    const auto services = peripheral.services();
    if (error) {
        NSLog("Service discovery was unsuccessful\n%s\n", error->description().c_str());
    } else {
        NSLog("Discovered %d service\n", static_cast<int>(services.size()));
    }
    for (const auto& service : services) {
        NSLog("Discovered service uuid %s", service->UUID().UUIDString().c_str());
        if (service->UUID() == serviceUUID()) {
            NSLog("Discovering character");
            peripheral.discoverCharacteristics(service);
            break;
        }
    }
}

void MBPeripheralProfileProxy::didDiscoverCharacteristicsForService(CBPeripheral& peripheral,
                                                                    const std::shared_ptr<CBService>& service,
                                                                    const NSError* error) {
    link_.onCharacteristicsDiscovered(service, error, [&](const std::shared_ptr<CBCharacteristic>& characteristic) {
        matchCharacteristic(peripheral, characteristic);
    });
}

void MBPeripheralProfileProxy::didUpdateNotificationStateForCharacteristic(
    CBPeripheral&, const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    link_.onNotificationState(characteristic, error, notifyCharacteristicUUID());
}

void MBPeripheralProfileProxy::didWriteValueForCharacteristic(CBPeripheral&,
                                                              const std::shared_ptr<CBCharacteristic>& characteristic,
                                                              const NSError* error) {
    link_.onWriteValue(characteristic, error);
}

void MBPeripheralProfileProxy::didUpdateValueForCharacteristic(CBPeripheral&,
                                                               const std::shared_ptr<CBCharacteristic>& characteristic,
                                                               const NSError* error) {
    link_.onValue(characteristic, error);
}
