#include "ble/MBPeripheralProfileProxy.h"

#include "ble/BleTiming.h"
#include "platform/NSLog.h"

bool MBPeripheralProfileProxy::BaseOpen() {
    const BleTiming timing = GetBleTiming();
    // Characteristics of an earlier attempt belong to a link that is gone.
    forgetProfileCharacteristics();
    isOpening_ = true;
    beforeConnect();
    myCentralManager()->connectPeripheral(myPeripheral());

    PollUntil(timing.openAttemptMs, [this] { return !centralPoweredOn() || !isOpening_.load() || profileReady(); });
    if (profileCharacteristicsKnown()) {
        PollUntil(timing.openSettleMs, [this] {
            if (!centralPoweredOn()) return true;
            if (peripheralConnected()) return false;
            forgetProfileCharacteristics();
            return true;
        });
    }
    if (!profileCharacteristicsKnown()) {
        cancelAndWaitForDisconnected();
    } else {
        isOpened_ = true;
    }
    return isOpened_.load();
}

void MBPeripheralProfileProxy::Close() {
    if (!hasCentralAndPeripheral()) return;
    cancelAndWaitWhileConnected();
    link_.rxBuffer().clear();
    forgetProfileCharacteristics();
    isOpened_ = false;
}

int MBPeripheralProfileProxy::Read(uint8_t* buffer, int offset, int count, int timeoutMs) {
    if (!hasCentralAndPeripheral()) return -1;
    if (!peripheralConnected()) return -1;
    return link_.read(buffer, offset, count, timeoutMs, [this] { return isConnected_.load(); });
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
