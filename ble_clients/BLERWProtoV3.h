#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "ble_clients/BLEClientBase.h"

// Stand-alone client of the credit profile (service FF00: data from the printer on FF01,
// data to it on FF02, its MTU and credits on FF03). A write goes out in chunks of at most the
// printer's MTU, one chunk per credit, and is complete once the printer has returned as many
// credits as there were chunks.
class BLERWProtoV3 : public BLEClientBase {
public:
    static constexpr const char* service_uuid = "FF00";
    static constexpr const char* read_characteristic_uuid = "FF01";
    static constexpr const char* write_characteristic_uuid = "FF02";
    static constexpr const char* flowcontrol_characteristic_uuid = "FF03";

    static std::shared_ptr<BLERWProtoV3> Create();

    // One write without response on FF02; waits up to timeout ms for a write callback (0 or
    // less: none) and counts a missing one as written.
    int writePackWithoutResponse(const unsigned char* buffer, int offset, int count, int timeout);
    int writeGroupPack(const unsigned char* data, int count, int timeout);
    int Write(const unsigned char* buffer, int offset, int count, int timeout);

    int maximumWriteValueLength() const { return PACKET_SIZE_.load(); }
    int printerRespondedMTUSize() const { return printerRespondedMTUSize_.load(); }
    int printerRespondedCreditsCurrentValue() const { return printerRespondedCreditsCurrentValue_.load(); }
    int printerRespondedCreditsTotalValue() const { return printerRespondedCreditsTotalValue_.load(); }

    void centralManagerDidUpdateState(CBCentralManager& central) override;
    void didDiscoverServices(CBPeripheral& peripheral, const NSError* error) override;
    void didDiscoverCharacteristicsForService(CBPeripheral& peripheral, const std::shared_ptr<CBService>& service,
                                              const NSError* error) override;
    void didUpdateNotificationStateForCharacteristic(CBPeripheral& peripheral,
                                                     const std::shared_ptr<CBCharacteristic>& characteristic,
                                                     const NSError* error) override;
    void didUpdateValueForCharacteristic(CBPeripheral& peripheral,
                                         const std::shared_ptr<CBCharacteristic>& characteristic,
                                         const NSError* error) override;

protected:
    BLERWProtoV3();
    bool ProfileReady() const override {
        return myCBWriteCharacteristic_ && myCBReadCharacteristic_ && myCBFlowControlCharacteristic_;
    }
    bool OpenWaitDone() const override {
        return ProfileReady() && printerRespondedMTUSize_.load() > 0 && printerRespondedCreditsCurrentValue_.load() > 0;
    }
    bool ReadReady() const override { return static_cast<bool>(myCBReadCharacteristic_); }
    void ClearProfile() override {
        myCBWriteCharacteristic_.set(nullptr);
        myCBReadCharacteristic_.set(nullptr);
        myCBFlowControlCharacteristic_.set(nullptr);
    }
    std::shared_ptr<CBCharacteristic> WriteCharacteristic() const override { return myCBWriteCharacteristic_.get(); }
    void BeforeConnect() override;

private:
    bool Usable() const;
    void ApplyFlowControl(const std::vector<uint8_t>& value);

    SharedRef<CBCharacteristic> myCBWriteCharacteristic_;
    SharedRef<CBCharacteristic> myCBReadCharacteristic_;
    SharedRef<CBCharacteristic> myCBFlowControlCharacteristic_;
    std::mutex receiveLock_;
    std::mutex printerRespondedLock_;
    std::atomic<int> printerRespondedMTUSize_{0};
    std::atomic<int> printerRespondedCreditsCurrentValue_{0};
    std::atomic<int> printerRespondedCreditsTotalValue_{0};
};
