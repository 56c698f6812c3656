#include "ble/MBPeripheralProxy.h"

#include "platform/NSLog.h"

MBPeripheralProxy::MBPeripheralProxy(std::shared_ptr<CBCentralManager> central, std::shared_ptr<CBPeripheral> peripheral)
    : myCentralManager_(std::move(central)), myPeripheral_(std::move(peripheral)) {}

bool MBPeripheralProxy::Open() {
    NSLog("MBPeripheralProxy Open");
    return false;
}

void MBPeripheralProxy::CancelOpen() { NSLog("MBPeripheralProxy CancelOpen"); }

void MBPeripheralProxy::Close() { NSLog("MBPeripheralProxy Close"); }

bool MBPeripheralProxy::IsOpened() {
    NSLog("MBPeripheralProxy IsOpened");
    return false;
}

bool MBPeripheralProxy::IsConnectionValid() {
    NSLog("MBPeripheralProxy IsConnectionValid");
    return IsOpened();
}

void MBPeripheralProxy::SkipAvailable() { NSLog("MBPeripheralProxy SkipAvailable"); }

int MBPeripheralProxy::Read(uint8_t*, int, int, int) {
    NSLog("MBPeripheralProxy Read");
    return -1;
}

int MBPeripheralProxy::Write(const uint8_t*, int, int, int) {
    NSLog("MBPeripheralProxy Write");
    return -1;
}

void MBPeripheralProxy::didConnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>&) {
    NSLog("MBPeripheralProxy centralManager didConnectPeripheral");
}

void MBPeripheralProxy::didFailToConnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>&,
                                                   const NSError*) {
    NSLog("MBPeripheralProxy centralManager didFailToConnectPeripheral");
}

void MBPeripheralProxy::didDisconnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>&,
                                                const NSError*) {
    NSLog("MBPeripheralProxy centralManager didDisconnectPeripheral");
}

bool MBPeripheralProxyVAHandler::connectPeripheral(const std::shared_ptr<CBPeripheral>&, const CBServiceList*) {
    return false;
}

int MBPeripheralProxyVAHandler::doRead(const std::shared_ptr<CBPeripheral>&, uint8_t*, int, int, int) { return -1; }

int MBPeripheralProxyVAHandler::doWrite(const std::shared_ptr<CBPeripheral>&, const uint8_t*, int, int, int) {
    return -1;
}
