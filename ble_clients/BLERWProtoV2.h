#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "ble/BLERWProtoV2Handler.h"
#include "ble_clients/BLEClientBase.h"

// Stand-alone client of the group-packet profile (service 18F0, notifications on 2AF0,
// writes on 2AF1). A write announces its packet count and size, then sends numbered packets
// while the printer's announced free space allows, resends what the printer asks for again,
// and ends when the printer reports how many packets it received.
class BLERWProtoV2 : public BLEClientBase {
public:
    static constexpr const char* kServiceUUID = "18F0";
    static constexpr const char* kNotifyUUID = "2AF0";
    static constexpr const char* kWriteUUID = "2AF1";
    static constexpr int kMaxFreeSpaceSet = 8192;

    static std::shared_ptr<BLERWProtoV2> Create();

    // One write without response; waits up to timeout ms for a write callback (0 or less:
    // none) and counts a missing one as written.
    int writePackWithoutResponse(const unsigned char* buffer, int offset, int count, int timeout);
    bool setupGroupPack(int mtusize, int pktcount);
    int writeGroupPack(const unsigned char* data, int count, int timeout);
    int Write(const unsigned char* buffer, int offset, int count, int timeout);

    void ClearPacketSendTimesList();
    int GetPacketSendTimesListLength();
    int GetPacketSendTimesListValue(int* values, int count);

    // One notification value from the printer: its frames steer the sender, its data frames
    // fill the receive ring. Called on the client's queue (and by the fuzz target).
    void ReceiveValue(const std::vector<uint8_t>& value);

    // Protocol state, for tests.
    int nPrinterBufferValidSize() const { return nPrinterBufferValidSize_.load(); }
    std::vector<int> PacketRetryList();
    // Empties the retry list, which otherwise only a new group does (the fuzz target keeps
    // one client across inputs).
    void ClearPacketRetryListForTesting();

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
    BLERWProtoV2();
    bool ProfileReady() const override { return myCBWriteCharacteristic_ && myCBReadCharacteristic_; }
    bool ReadReady() const override { return static_cast<bool>(myCBReadCharacteristic_); }
    void ClearProfile() override {
        myCBWriteCharacteristic_.set(nullptr);
        myCBReadCharacteristic_.set(nullptr);
    }
    std::shared_ptr<CBCharacteristic> WriteCharacteristic() const override { return myCBWriteCharacteristic_.get(); }
    void OnClosing() override { ResetFrames(); }
    // A frame cut off by a lost link must not swallow the first bytes of the next connection.
    void BeforeConnect() override { ResetFrames(); }

private:
    bool Usable() const;
    void ResetFrames() {
        std::lock_guard<std::mutex> lock(frameLock_);
        mProtoHandler_.ResetReceived();
    }
    void HandleFrame(const unsigned char* frame, unsigned length);
    // The next index to send: a requested resend first, else a new packet when the free
    // space allows a full payload. -1 when there is none.
    int TakeIndex(int payload, bool& resend);

    SharedRef<CBCharacteristic> myCBWriteCharacteristic_;
    SharedRef<CBCharacteristic> myCBReadCharacteristic_;
    // Notifications are fed to the assembler one at a time, also on a concurrent queue.
    std::mutex frameLock_;
    BLERWProtoV2Handler mProtoHandler_;
    std::atomic<int> nPrinterBufferValidSize_{0};
    std::atomic<int> nPrinterResponedPacketCountToReceive_{0};
    std::atomic<int> nPrinterResponedMTUSize_{0};
    std::atomic<int> nPrinterResponedPacketCountReceived_{0};
    std::mutex mPacketListLock_;
    std::deque<int> mPacketIndexList_;  // ascending; front taken first
    std::deque<int> mPacketRetryList_;  // ascending, no duplicates
    std::mutex sendTimesLock_;
    std::vector<int> mPacketSendTimesList_;
};
