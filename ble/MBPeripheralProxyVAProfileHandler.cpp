#include "ble/MBPeripheralProxyVAProfileHandler.h"

#include <algorithm>

#include "ble/BleTiming.h"
#include "platform/NSLog.h"

bool MBPeripheralProxyVAProfileHandler::HasService(const char* handlerName, const CBUUID& serviceUuid,
                                                   const CBServiceList* services) {
    if (!services) {
        NSLog("%s hasSupportedServiceInServices: nil", handlerName);
        return false;
    }
    for (const auto& service : *services) {
        if (service && service->UUID() == serviceUuid) {
            NSLog("%s hasSupportedServiceInServices, service uuid %s", handlerName,
                  service->UUID().UUIDString().c_str());
            return true;
        }
    }
    return false;
}

bool MBPeripheralProxyVAProfileHandler::Connected(const std::shared_ptr<CBPeripheral>& peripheral) {
    return peripheral && peripheral->state() == CBPeripheral::Connected;
}

bool MBPeripheralProxyVAProfileHandler::connectPeripheral(const std::shared_ptr<CBPeripheral>& peripheral,
                                                          const CBServiceList* services) {
    if (!peripheral) {
        NSLog("%s connectPeripheralSupportedServiceInServices: nil peripheral", name_);
        return false;
    }
    if (!services) {
        NSLog("%s connectPeripheralSupportedServiceInServices: nil services", name_);
        return false;
    }
    const auto found = std::find_if(services->begin(), services->end(), [&](const auto& service) {
        return service && service->UUID() == serviceUUID();
    });
    if (found == services->end()) return false;
    forgetProfileCharacteristics();
    beforeDiscovery();
    NSLog("%s discoverCharacteristicsForService: %s", name_, (*found)->UUID().UUIDString().c_str());
    peripheral->discoverCharacteristics(*found);
    PollUntil(GetBleTiming().handlerDiscoveryMs, [&] { return !Connected(peripheral) || profileReady(); });
    return profileReady() && (readyWithoutLink() || Connected(peripheral));
}

void MBPeripheralProxyVAProfileHandler::onClose() {
    link_.rxBuffer().clear();
    onProfileClose();
    forgetProfileCharacteristics();
}

int MBPeripheralProxyVAProfileHandler::doRead(const std::shared_ptr<CBPeripheral>& peripheral, uint8_t* buffer,
                                              int offset, int count, int timeoutMs) {
    if (!Connected(peripheral) || !buffer || count < 0 || offset < 0) return -1;
    if (count == 0) return 0;
    return link_.read(buffer, offset, count, timeoutMs, [peripheral] { return Connected(peripheral); });
}

int MBPeripheralProxyVAProfileHandler::writeEntry(const std::shared_ptr<CBPeripheral>& peripheral,
                                                  const void* buffer, int offset, int count) const {
    if (!Connected(peripheral) || !buffer || count < 0) return -1;
    if (count == 0) return 0;
    if (!link_.writeCharacteristic() || offset < 0) return -1;
    return kGoAhead;
}

void MBPeripheralProxyVAProfileHandler::onDidDiscoverCharacteristicsForService(
    CBPeripheral& peripheral, const std::shared_ptr<CBService>& service, const NSError* error) {
    link_.onCharacteristicsDiscovered(service, error, [&](const std::shared_ptr<CBCharacteristic>& characteristic) {
        matchCharacteristic(peripheral, characteristic);
    });
}

void MBPeripheralProxyVAProfileHandler::onDidWriteValueForCharacteristic(
    CBPeripheral&, const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    link_.onWriteValue(characteristic, error);
}

void MBPeripheralProxyVAProfileHandler::onDidUpdateNotificationStateForCharacteristic(
    CBPeripheral&, const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    link_.onNotificationState(characteristic, error, notifyCharacteristicUUID());
    if (!error && characteristic) onNotificationOn(characteristic);
}

void MBPeripheralProxyVAProfileHandler::onDidUpdateValueForCharacteristic(
    CBPeripheral&, const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    onValue(characteristic, error);
}
