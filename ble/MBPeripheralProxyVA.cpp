#include "ble/MBPeripheralProxyVA.h"

#include "ble/BleTiming.h"
#include "ble/MBPeripheralProxyV1.h"
#include "ble/MBPeripheralProxyV2.h"
#include "ble/MBPeripheralProxyV3.h"
#include "platform/NSLog.h"

std::shared_ptr<const CBServiceList> MBPeripheralProxyVA::discoveredServices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return discoveredServices_;
}

void MBPeripheralProxyVA::setDiscoveredServices(std::shared_ptr<const CBServiceList> services) {
    std::lock_guard<std::mutex> lock(mutex_);
    discoveredServices_ = std::move(services);
}

std::shared_ptr<MBPeripheralProxyVAHandler> MBPeripheralProxyVA::myHandler() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return myHandler_;
}

void MBPeripheralProxyVA::setHandler(std::shared_ptr<MBPeripheralProxyVAHandler> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    // The replaced handler is released outside the lock, by the last call still holding it.
    myHandler_.swap(handler);
}

std::shared_ptr<MBPeripheralProxyVAHandler> MBPeripheralProxyVA::ChooseHandler(const CBServiceList& services) {
    if (MBPeripheralProxyVAHandlerV3::hasSupportedServiceInServices(&services)) {
        return std::make_shared<MBPeripheralProxyVAHandlerV3>();
    }
    if (MBPeripheralProxyVAHandlerV2::hasSupportedServiceInServices(&services)) {
        return std::make_shared<MBPeripheralProxyVAHandlerV2>();
    }
    if (MBPeripheralProxyVAHandlerV1::hasSupportedServiceInServices(&services)) {
        return std::make_shared<MBPeripheralProxyVAHandlerV1>();
    }
    return nullptr;
}

bool MBPeripheralProxyVA::connectPeripheralAndDiscoverServices() {
    const BleTiming timing = GetBleTiming();
    isOpening_ = true;
    setDiscoveredServices(nullptr);
    myCentralManager()->connectPeripheral(myPeripheral());
    PollUntil(timing.openAttemptMs,
              [this] { return !centralPoweredOn() || !isOpening_.load() || discoveredServices() != nullptr; });
    if (discoveredServices()) {
        PollUntil(timing.openSettleMs, [this] {
            if (!centralPoweredOn()) return true;
            if (peripheralConnected()) return false;
            setDiscoveredServices(nullptr);
            return true;
        });
    }
    if (!discoveredServices()) {
        cancelAndWaitForDisconnected();
        return false;
    }
    return true;
}

bool MBPeripheralProxyVA::BaseOpen() {
    if (!connectPeripheralAndDiscoverServices()) return false;
    const auto services = discoveredServices();
    auto handler = services ? ChooseHandler(*services) : nullptr;
    // A handler of an earlier attempt is replaced, a failed one only by the next attempt.
    setHandler(handler);
    if (!handler || !handler->connectPeripheral(myPeripheral(), services.get())) {
        cancelAndWaitForDisconnected();
    } else {
        isOpened_ = true;
    }
    return isOpened_.load();
}

void MBPeripheralProxyVA::Close() {
    if (!hasCentralAndPeripheral()) return;
    cancelAndWaitWhileConnected();
    if (auto handler = myHandler()) {
        handler->onClose();
        setHandler(nullptr);
    }
    isOpened_ = false;
}

void MBPeripheralProxyVA::SkipAvailable() {
    if (auto handler = myHandler()) handler->doSkipAvailable();
}

std::shared_ptr<MBPeripheralProxyVAHandler> MBPeripheralProxyVA::handlerForTransfer() const {
    if (!hasCentralAndPeripheral()) return nullptr;
    if (!peripheralConnected()) {
        NSLog("myPeripheral.state not connected");
        return nullptr;
    }
    if (!isOpened_.load()) {
        NSLog("isOpened false");
        return nullptr;
    }
    auto handler = myHandler();
    if (!handler) NSLog("handler nil");
    return handler;
}

int MBPeripheralProxyVA::Read(uint8_t* buffer, int offset, int count, int timeoutMs) {
    auto handler = handlerForTransfer();
    return handler ? handler->doRead(myPeripheral(), buffer, offset, count, timeoutMs) : -1;
}

int MBPeripheralProxyVA::Write(const uint8_t* buffer, int offset, int count, int timeoutMs) {
    auto handler = handlerForTransfer();
    return handler ? handler->doWrite(myPeripheral(), buffer, offset, count, timeoutMs) : -1;
}

void MBPeripheralProxyVA::didDiscoverServices(CBPeripheral& peripheral, const NSError* error) {
    if (!ownsPeripheral(peripheral)) return;
    if (error) {
        NSLog("Service discovery was unsuccessful\n%s\n", error->description().c_str());
        myCentralManager()->cancelPeripheralConnection(myPeripheral());
        return;
    }
    auto services = std::make_shared<const CBServiceList>(peripheral.services());
    NSLog("Discovered %d service\n", static_cast<int>(services->size()));
    setDiscoveredServices(std::move(services));
}

std::shared_ptr<MBPeripheralProxyVAHandler> MBPeripheralProxyVA::handlerForCallback(
    const CBPeripheral& peripheral) const {
    if (!ownsPeripheral(peripheral)) return nullptr;
    auto handler = myHandler();
    if (!handler) NSLog("handler nil");
    return handler;
}

void MBPeripheralProxyVA::didDiscoverCharacteristicsForService(CBPeripheral& peripheral,
                                                               const std::shared_ptr<CBService>& service,
                                                               const NSError* error) {
    if (auto handler = handlerForCallback(peripheral)) {
        handler->onDidDiscoverCharacteristicsForService(peripheral, service, error);
    }
}

void MBPeripheralProxyVA::didWriteValueForCharacteristic(CBPeripheral& peripheral,
                                                         const std::shared_ptr<CBCharacteristic>& characteristic,
                                                         const NSError* error) {
    if (auto handler = handlerForCallback(peripheral)) {
        handler->onDidWriteValueForCharacteristic(peripheral, characteristic, error);
    }
}

void MBPeripheralProxyVA::didUpdateNotificationStateForCharacteristic(
    CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    if (auto handler = handlerForCallback(peripheral)) {
        handler->onDidUpdateNotificationStateForCharacteristic(peripheral, characteristic, error);
    }
}

void MBPeripheralProxyVA::didUpdateValueForCharacteristic(CBPeripheral& peripheral,
                                                          const std::shared_ptr<CBCharacteristic>& characteristic,
                                                          const NSError* error) {
    if (auto handler = handlerForCallback(peripheral)) {
        handler->onDidUpdateValueForCharacteristic(peripheral, characteristic, error);
    }
}
