#pragma once

#include <atomic>

#include "ble/GattLink.h"
#include "ble/MBPeripheralProxy.h"

// The mechanics every GATT profile proxy shares: opening (wait for the radio, connection
// attempts, discovery up to notifications on), closing, reading from the receive ring, the
// wait for a write response and the delegate callbacks. A profile names its service and
// notify characteristic, matches its characteristics, and writes.
class MBPeripheralProfileProxy : public MBPeripheralProxy {
public:
    using MBPeripheralProxy::MBPeripheralProxy;

    bool Open() override;
    void Close() override;
    bool IsOpened() override { return isOpened_.load(); }
    void SkipAvailable() override { link_.rxBuffer().clear(); }
    int Read(uint8_t* buffer, int offset, int count, int timeoutMs) override;

    bool waitForCBCentralManagerStatePoweredOn(int timeoutMs);
    // One connection attempt; returns isOpened.
    bool BaseOpen();

    bool isConnected() const { return isConnected_.load(); }
    bool isOpening() const { return isOpening_.load(); }
    GattLink& link() { return link_; }

    void didConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) override;
    void didFailToConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                    const NSError* error) override;
    void didDisconnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                 const NSError* error) override;
    void didDiscoverServices(CBPeripheral& peripheral, const NSError* error) override;
    void didDiscoverCharacteristicsForService(CBPeripheral& peripheral, const std::shared_ptr<CBService>& service,
                                              const NSError* error) override;
    void didUpdateNotificationStateForCharacteristic(CBPeripheral& peripheral,
                                                     const std::shared_ptr<CBCharacteristic>& characteristic,
                                                     const NSError* error) override;
    void didWriteValueForCharacteristic(CBPeripheral& peripheral,
                                        const std::shared_ptr<CBCharacteristic>& characteristic,
                                        const NSError* error) override;
    void didUpdateValueForCharacteristic(CBPeripheral& peripheral,
                                         const std::shared_ptr<CBCharacteristic>& characteristic,
                                         const NSError* error) override;

protected:
    virtual const CBUUID& serviceUUID() const = 0;
    virtual const CBUUID& notifyCharacteristicUUID() const = 0;
    // Called for each characteristic of the profile's service as it is discovered.
    virtual void matchCharacteristic(CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic) = 0;
    // An opening attempt: state to reset before connecting, the characteristics the link
    // needs, and what else ends the wait for them early. A profile with more than the read and
    // write characteristics, or with an announcement to wait for, overrides these.
    virtual void beforeConnect() {}
    virtual bool profileCharacteristicsKnown() const { return link_.hasBothCharacteristics(); }
    virtual bool profileReady() const { return profileCharacteristicsKnown(); }
    virtual void forgetProfileCharacteristics() { link_.forgetCharacteristics(); }

    // False, after logging which one is missing, when there is no central or no peripheral.
    bool hasCentralAndPeripheral() const;
    bool centralPoweredOn() const;
    bool ownsEvent(const CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) const;

    GattLink link_;
    std::atomic<bool> isConnected_{false};
    std::atomic<bool> isOpening_{false};
    std::atomic<bool> isOpened_{false};
};
