#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "ble_clients/BLEClientBase.h"

// Stand-alone client of the indexed-packet profile: one service holding one characteristic
// that carries both notifications and writes. Writes go as plain packets (with or without
// response) or, for long ones, as indexed packets that the printer acknowledges by index.
class BLEPrinting : public BLEClientBase {
public:
    static constexpr const char* kServiceUUID = "E7810A71-73AE-499D-8C15-FAA9AEF0C3F2";
    static constexpr const char* kCharacteristicUUID = "BEF8D6C9-9C21-4C9E-B632-BD58C1009F9F";

    static std::shared_ptr<BLEPrinting> Create();

    void SetWriteMode(int mode, int packetSize, int packetTimeout, int packetMaxRetry);
    int Write(const unsigned char* buffer, int offset, int count);
    int writeWithType(const unsigned char* buffer, int offset, int count, int type);
    int writePack(const unsigned char* buffer, int offset, int count, int type, int maxRetry);
    int writePack(const unsigned char* buffer, int offset, int count, int type);
    // One write without response, then a pause of PACKET_SIZE / 4 ms.
    int writePackWithoutResponse(const unsigned char* buffer, int offset, int count);
    // Repeats the write above while it gives 0, for the whole seconds of timeout.
    int writePackWithoutResponse(const unsigned char* buffer, int offset, int count, int timeout);
    int writeWithProto(const unsigned char* buffer, int offset, int count);
    // The byte after the first 10 07 FF in the bytes, or -1.
    static int getNotifyIndex(const unsigned char* bytes, int length);

    int WRITE_MODE() const { return WRITE_MODE_.load(); }
    void setWRITE_MODE(int value) { WRITE_MODE_.store(value); }
    int PACKET_MAXRETRY() const { return PACKET_MAXRETRY_.load(); }
    void setPACKET_MAXRETRY(int value) { PACKET_MAXRETRY_.store(value); }
    int PACKET_TIMEOUT() const { return PACKET_TIMEOUT_.load(); }
    void setPACKET_TIMEOUT(int value) { PACKET_TIMEOUT_.store(value); }
    int DEFAULT_MAX_PACKET_SIZE() const { return DEFAULT_MAX_PACKET_SIZE_.load(); }
    void setDEFAULT_MAX_PACKET_SIZE(int value) { DEFAULT_MAX_PACKET_SIZE_.store(value); }
    int protoIndex() const { return protoIndex_.load(); }
    int notifyIndex() const { return notifyIndex_.load(); }
    int notifyReceived() const { return notifyReceived_.load(); }
    // Test-only: runs on the writer's thread at each turn of an indexed write, once the turn
    // has read the printer's index, so a test can land a report at that moment. Set it only
    // while no write runs.
    void SetProtoTurnHookForTesting(std::function<void()> hook) { protoTurnHook_ = std::move(hook); }

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
    BLEPrinting();
    bool ProfileReady() const override { return static_cast<bool>(myCBCharacteristic_); }
    bool ReadReady() const override { return ProfileReady(); }
    void ClearProfile() override { myCBCharacteristic_.set(nullptr); }
    std::shared_ptr<CBCharacteristic> WriteCharacteristic() const override { return myCBCharacteristic_.get(); }

private:
    bool IsOpen() const;
    // Writes a start command or an index request (with response, with retries): true when written.
    bool WriteCommand(const unsigned char (&command)[5]);
    // Waits for an index report newer than seen; false when the link drops or the packet
    // time limit passes.
    bool WaitForReport(int seen);

    SharedRef<CBCharacteristic> myCBCharacteristic_;
    std::atomic<int> WRITE_MODE_{0};
    std::atomic<int> PACKET_MAXRETRY_{3};
    std::atomic<int> PACKET_TIMEOUT_{3600000};
    std::atomic<int> DEFAULT_MAX_PACKET_SIZE_{100};
    NSCondition notifyCondition_;
    std::mutex indexLocker_;
    std::atomic<int> protoIndex_{0};
    std::atomic<int> protoCount_{0};
    std::atomic<int> notifyIndex_{0};
    std::atomic<int> notifyReceived_{0};
    std::function<void()> protoTurnHook_;
};
