#include "ble/MBCentralManager.h"
#include "ble/MBPeripheralProxyV1.h"
#include "ble/MBPeripheralProxyV2.h"
#include "ble/MBPeripheralProxyV3.h"
#include "ble/MBPeripheralProxyVA.h"

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
        return std::make_shared<MBPeripheralProxyVA>(std::move(central), std::move(peripheral));
    default:
        return nullptr;
    }
}
