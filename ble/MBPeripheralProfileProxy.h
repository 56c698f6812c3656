#pragma once

#include "ble/GattLink.h"
#include "ble/MBPeripheralConnectionProxy.h"

// The mechanics every fixed GATT profile proxy shares: an attempt that discovers the
// profile's service up to notifications on, closing, reading from the receive ring, and the
// delegate callbacks. A profile names its service and notify characteristic, matches its
// characteristics, and writes.
class MBPeripheralProfileProxy : public MBPeripheralConnectionProxy {
public:
    using MBPeripheralConnectionProxy::MBPeripheralConnectionProxy;

    void Close() override;
    void SkipAvailable() override { link_.rxBuffer().clear(); }
    int Read(uint8_t* buffer, int offset, int count, int timeoutMs) override;
    bool BaseOpen() override;

    GattLink& link() { return link_; }

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

    GattLink link_;
};
