#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "ble/MBPeripheralProfileProxy.h"
#include "ble/MBPeripheralProxyVAProfileHandler.h"

// What the credit profile keeps besides the common link: the flow-control characteristic, the
// largest value the peripheral takes without response, and the MTU and credits the printer
// announces on the flow-control characteristic. The counters change only under one lock;
// the writer reads them without it.
class ProtoV3FlowControl {
public:
    std::shared_ptr<CBCharacteristic> flowControlCharacteristic() const;
    void setFlowControlCharacteristic(std::shared_ptr<CBCharacteristic> characteristic);

    int maximumWriteValueLength() const { return maximumWriteValueLength_.load(); }
    void setMaximumWriteValueLength(int length) { maximumWriteValueLength_ = length; }
    int printerRespondedMTUSize() const { return mtu_.load(); }
    int printerRespondedCreditsCurrentValue() const { return creditsCurrent_.load(); }
    int printerRespondedCreditsTotalValue() const { return creditsTotal_.load(); }
    // Whether a printer announced its MTU and granted a credit.
    bool announced() const { return mtu_.load() > 0 && creditsCurrent_.load() > 0; }

    // Before a connection: MTU and current credits back to 0 (the total stays).
    void resetAnnouncements();
    // At the start of a write.
    void resetCreditsTotal();
    void useCredit();
    // A value of the flow-control characteristic: 02 mtu x sets the MTU, 01 n grants n credits.
    void onFlowControlValue(const std::vector<uint8_t>& value);

    // Changes since the object was made; waitForChange returns once it differs from seen, or
    // after ms, so an idle writer sleeps instead of spinning yet wakes at once on a grant.
    unsigned changes() const { return changes_.load(); }
    void waitForChange(unsigned seen, int ms);

private:
    void changed();

    mutable std::mutex characteristicMutex_;
    std::shared_ptr<CBCharacteristic> flowControl_;
    std::atomic<int> maximumWriteValueLength_{20};
    std::mutex printerRespondedLock_;
    std::condition_variable changedCondition_;
    std::atomic<unsigned> changes_{0};
    std::atomic<int> mtu_{0};
    std::atomic<int> creditsCurrent_{0};
    std::atomic<int> creditsTotal_{0};
};

// The credit-paced printer profile: service FF00, the printer's bytes notified on FF01, the
// host's written without response to FF02 one piece per credit, MTU and credits on FF03.
class MBPeripheralProxyV3 : public MBPeripheralProfileProxy {
public:
    static const CBUUID& ServiceUUID();
    static const CBUUID& ReadCharacteristicUUID();
    static const CBUUID& WriteCharacteristicUUID();
    static const CBUUID& FlowControlCharacteristicUUID();

    using MBPeripheralProfileProxy::MBPeripheralProfileProxy;

    // Bytes written (count), 0 when the printer did not take them all in time, or -1.
    int Write(const uint8_t* buffer, int offset, int count, int timeoutMs) override;
    int writeGroupPack(const uint8_t* data, int count, int timeoutMs);
    int writePackWithoutResponse(const uint8_t* buffer, int offset, int count, int timeoutMs);

    void didUpdateNotificationStateForCharacteristic(CBPeripheral& peripheral,
                                                     const std::shared_ptr<CBCharacteristic>& characteristic,
                                                     const NSError* error) override;
    void didUpdateValueForCharacteristic(CBPeripheral& peripheral,
                                         const std::shared_ptr<CBCharacteristic>& characteristic,
                                         const NSError* error) override;

    ProtoV3FlowControl& flow() { return flow_; }

protected:
    const CBUUID& serviceUUID() const override { return ServiceUUID(); }
    const CBUUID& notifyCharacteristicUUID() const override { return ReadCharacteristicUUID(); }
    void matchCharacteristic(CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic) override;
    void beforeConnect() override { flow_.resetAnnouncements(); }
    bool profileCharacteristicsKnown() const override;
    bool profileReady() const override { return profileCharacteristicsKnown() && flow_.announced(); }
    void forgetProfileCharacteristics() override;

private:
    // The checks in front of every write; false when it must give -1.
    bool writeReady(const void* buffer, int offset, int count) const;

    ProtoV3FlowControl flow_;
};

// The credit profile as a handler of the automatic profile: the same writes and reads against
// the peripheral passed in. Ready only once the printer announced its MTU and granted a
// credit, with the link up.
class MBPeripheralProxyVAHandlerV3 : public MBPeripheralProxyVAProfileHandler {
public:
    static bool hasSupportedServiceInServices(const CBServiceList* services);

    MBPeripheralProxyVAHandlerV3();

    int doWrite(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset, int count,
                int timeoutMs) override;
    int doWriteGroupPack(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* data, int count,
                         int timeoutMs);
    int doWritePackWithoutResponse(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer,
                                   int offset, int count, int timeoutMs);

    ProtoV3FlowControl& flow() { return flow_; }

protected:
    const CBUUID& serviceUUID() const override { return MBPeripheralProxyV3::ServiceUUID(); }
    const CBUUID& notifyCharacteristicUUID() const override { return MBPeripheralProxyV3::ReadCharacteristicUUID(); }
    void matchCharacteristic(CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic) override;
    void beforeDiscovery() override { flow_.resetAnnouncements(); }
    bool profileReady() const override;
    bool readyWithoutLink() const override { return false; }
    void forgetProfileCharacteristics() override;
    void onNotificationOn(const std::shared_ptr<CBCharacteristic>& characteristic) override;
    void onValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) override;

private:
    ProtoV3FlowControl flow_;
};
