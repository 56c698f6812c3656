#include "ble/MBCentralManager.h"
#include "ble/MBPeripheralProxyV1.h"
#include "ble/MBPeripheralProxyV2.h"
#include "ble/MBPeripheralProxyV3.h"
#include "platform/NSLog.h"

// Each profile's proxy joins here when it is built; until then its opens fail.
std::shared_ptr<MBPeripheralProxy> MBCreatePeripheralProxy(int proxyVersion, std::shared_ptr<CBCentralManager> central,
                                                           std::shared_ptr<CBPeripheral> peripheral) {
    switch (proxyVersion) {
    case kBleProfileV1:
        return std::make_shared<MBPeripheralProxyV1>(std::move(central), std::move(peripheral));
    case kBleProfileV2:
        return std::make_shared<MBPeripheralProxyV2>(std::move(central), std::move(peripheral));
    case kBleProfileV3:
        return std::make_shared<MBPeripheralProxyV3>(std::move(central), std::move(peripheral));
    case kBleProfileVA:
        NSLog("No proxy for profile %d on this platform", proxyVersion);
        return nullptr;
    default:
        return nullptr;
    }
}
