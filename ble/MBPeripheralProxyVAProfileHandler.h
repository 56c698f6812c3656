#pragma once

#include "ble/GattLink.h"
#include "ble/MBPeripheralProxy.h"

// What the profile handlers of the automatic profile share: their own link (receive ring,
// characteristics, write outcome), the set-up that discovers the profile's characteristics
// on the peripheral passed in, reading, skipping, closing, and the four peripheral callbacks
// that the automatic-profile proxy forwards. The link test is the peripheral's state. A
// profile names its service and notify characteristic, matches its characteristics, and
// writes.
class MBPeripheralProxyVAProfileHandler : public MBPeripheralProxyVAHandler {
public:
    // Discovers the characteristics of the profile's service and waits until the profile is
    // ready or the peripheral drops.
    bool connectPeripheral(const std::shared_ptr<CBPeripheral>& peripheral, const CBServiceList* services) override;
    void onClose() override;
    void doSkipAvailable() override { link_.rxBuffer().clear(); }
    int doRead(const std::shared_ptr<CBPeripheral>& peripheral, uint8_t* buffer, int offset, int count,
               int timeoutMs) override;

    void onDidDiscoverCharacteristicsForService(CBPeripheral& peripheral, const std::shared_ptr<CBService>& service,
                                                const NSError* error) override;
    void onDidWriteValueForCharacteristic(CBPeripheral& peripheral,
                                          const std::shared_ptr<CBCharacteristic>& characteristic,
                                          const NSError* error) override;
    void onDidUpdateNotificationStateForCharacteristic(CBPeripheral& peripheral,
                                                       const std::shared_ptr<CBCharacteristic>& characteristic,
                                                       const NSError* error) override;
    void onDidUpdateValueForCharacteristic(CBPeripheral& peripheral,
                                           const std::shared_ptr<CBCharacteristic>& characteristic,
                                           const NSError* error) override;

    GattLink& link() { return link_; }

protected:
    // name begins the handler's log lines.
    explicit MBPeripheralProxyVAProfileHandler(const char* name) : name_(name) {}

    // The class test of a handler: whether a service of that UUID is among the services.
    static bool HasService(const char* handlerName, const CBUUID& serviceUuid, const CBServiceList* services);
    static bool Connected(const std::shared_ptr<CBPeripheral>& peripheral);
    // The entry checks of a write: the result they give, or kGoAhead when it may go ahead.
    static constexpr int kGoAhead = -2;
    int writeEntry(const std::shared_ptr<CBPeripheral>& peripheral, const void* buffer, int offset, int count) const;

    virtual const CBUUID& serviceUUID() const = 0;
    virtual const CBUUID& notifyCharacteristicUUID() const = 0;
    // Called for each characteristic of the profile's service as it is discovered.
    virtual void matchCharacteristic(CBPeripheral& peripheral,
                                     const std::shared_ptr<CBCharacteristic>& characteristic) = 0;
    // What a profile with more to set up than the read and write characteristics overrides:
    // state to reset before discovery, when it is ready, whether it stays ready once the
    // link dropped, what to forget, a notification switched on, a value, and closing.
    virtual void beforeDiscovery() {}
    virtual bool profileReady() const { return link_.hasBothCharacteristics(); }
    virtual bool readyWithoutLink() const { return true; }
    virtual void forgetProfileCharacteristics() { link_.forgetCharacteristics(); }
    virtual void onNotificationOn(const std::shared_ptr<CBCharacteristic>&) {}
    virtual void onValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
        link_.onValue(characteristic, error);
    }
    virtual void onProfileClose() {}

    GattLink link_;

private:
    const char* const name_;
};
