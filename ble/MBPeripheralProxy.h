#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/CBCentralManager.h"
#include "platform/CBPeripheral.h"

// The connection object for one Bluetooth LE printer. The central manager creates one per
// open, hands it the central's connection events for its peripheral, and keeps it until it
// is closed; the profile subclasses also serve as the peripheral's delegate.
class MBPeripheralProxy : public CBPeripheralDelegate, public std::enable_shared_from_this<MBPeripheralProxy> {
public:
    MBPeripheralProxy(std::shared_ptr<CBCentralManager> central, std::shared_ptr<CBPeripheral> peripheral);
    ~MBPeripheralProxy() override = default;
    MBPeripheralProxy(const MBPeripheralProxy&) = delete;
    MBPeripheralProxy& operator=(const MBPeripheralProxy&) = delete;

    virtual bool Open();
    virtual void CancelOpen();
    virtual void Close();
    virtual bool IsOpened();
    virtual bool IsConnectionValid();
    virtual void SkipAvailable();
    virtual int Read(uint8_t* buffer, int offset, int count, int timeoutMs);
    virtual int Write(const uint8_t* buffer, int offset, int count, int timeoutMs);
    virtual void didConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral);
    virtual void didFailToConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                            const NSError* error);
    virtual void didDisconnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                         const NSError* error);

    const std::shared_ptr<CBCentralManager>& myCentralManager() const { return myCentralManager_; }
    const std::shared_ptr<CBPeripheral>& myPeripheral() const { return myPeripheral_; }

private:
    const std::shared_ptr<CBCentralManager> myCentralManager_;
    const std::shared_ptr<CBPeripheral> myPeripheral_;
};

using CBServiceList = std::vector<std::shared_ptr<CBService>>;

// A profile handler of the automatic profile: the proxy of that profile passes its peripheral
// into every call and forwards the peripheral events. The base does nothing.
class MBPeripheralProxyVAHandler {
public:
    virtual ~MBPeripheralProxyVAHandler() = default;

    // services is null when the peripheral reported none.
    virtual bool connectPeripheral(const std::shared_ptr<CBPeripheral>& peripheral, const CBServiceList* services);
    virtual void onClose() {}
    virtual void doSkipAvailable() {}
    virtual int doRead(const std::shared_ptr<CBPeripheral>& peripheral, uint8_t* buffer, int offset, int count,
                       int timeoutMs);
    virtual int doWrite(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset, int count,
                        int timeoutMs);
    virtual void onDidDiscoverCharacteristicsForService(CBPeripheral&, const std::shared_ptr<CBService>&,
                                                        const NSError*) {}
    virtual void onDidWriteValueForCharacteristic(CBPeripheral&, const std::shared_ptr<CBCharacteristic>&,
                                                  const NSError*) {}
    virtual void onDidUpdateNotificationStateForCharacteristic(CBPeripheral&, const std::shared_ptr<CBCharacteristic>&,
                                                               const NSError*) {}
    virtual void onDidUpdateValueForCharacteristic(CBPeripheral&, const std::shared_ptr<CBCharacteristic>&,
                                                   const NSError*) {}
};
