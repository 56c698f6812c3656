#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

#include "ble/BLERWProtoV2Handler.h"
#include "ble/MBPeripheralProfileProxy.h"
#include "ble/MBPeripheralProxyVAProfileHandler.h"

// The group-packet protocol of one connection, proxy or automatic-profile handler alike: one
// caller's write is one group, announced by a setup packet the printer must echo, then sent
// as indexed packets written without response, paced by the free space the printer reports
// and resent when it asks, until it reports the whole group received. The printer's
// notifications are frames that steer this state or carry its data for the receive ring.
class ProtoV2Session {
public:
    static constexpr int kSetupPacketSize = 17;
    static constexpr int kSetupAttempts = 10;
    // The largest free space a mode-0 report may set.
    static constexpr int kFreeSpaceCap = 8192;

    // linkUp: the connection test of the object (proxy flag or peripheral state). With
    // setupPassesDownLink, a setup on a link already down answers YES without sending, so
    // that the send loop reports the lost link (the handler's rule).
    ProtoV2Session(GattLink& link, std::function<bool(const std::shared_ptr<CBPeripheral>&)> linkUp,
                   bool setupPassesDownLink = false);

    // Discovery: notifications on for the notify characteristic; the write characteristic
    // stored, with the packet size lowered to what the peripheral takes without response.
    void matchCharacteristic(CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic);
    // A notification: its bytes go through the reassembler; each complete frame is acted on.
    void onValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error);
    void handleNotification(const uint8_t* bytes, size_t count);
    // Drops a partly gathered frame.
    void resetReceived() { mProtoHandler.ResetReceived(); }

    // After the caller's refusal checks: one write without response, waiting up to timeoutMs
    // for an error answer. count, 0 after an error answer, -1 when the link goes.
    int writePackWithoutResponse(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset,
                                 int count, int timeoutMs);
    bool setupGroupPack(const std::shared_ptr<CBPeripheral>& peripheral, int mtu, int packetCount);
    // After the caller's refusal checks: count when the printer confirmed the whole group, 0
    // when the group failed, -1 when the link went. One group at a time per connection.
    int writeGroupPack(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* data, int count,
                       int timeoutMs);
    // The time a group of count bytes gets: at least the minimum plus 1 ms per byte.
    static int EffectiveTimeout(int timeoutMs, int count);

    void ClearPacketSendTimesList();
    int GetPacketSendTimesListLength() const;
    int GetPacketSendTimesListValue(int* values, int count) const;

    int maximumWriteValueLength() const { return maximumWriteValueLength_.load(); }
    int nPrinterBufferValidSize() const { return nPrinterBufferValidSize_.load(); }
    int nPrinterResponedPacketCountToReceive() const { return nPrinterResponedPacketCountToReceive_.load(); }
    int nPrinterResponedMTUSize() const { return nPrinterResponedMTUSize_.load(); }
    int nPrinterResponedPacketCountReceived() const { return nPrinterResponedPacketCountReceived_.load(); }
    std::vector<int> packetRetryList() const;

private:
    void onFrame(const unsigned char* frame, unsigned length);
    // The next index to send under the list lock: a retry first, else a new index when the
    // printer has room for a full payload. -1 when there is none.
    int takeNextIndex(int payloadSize, bool& isNew);
    void sendPacket(CBPeripheral& peripheral, const uint8_t* data, int count, int index, int payloadSize);

    GattLink& link_;
    const std::function<bool(const std::shared_ptr<CBPeripheral>&)> linkUp_;
    const bool setupPassesDownLink_;
    BLERWProtoV2Handler mProtoHandler;
    std::atomic<int> maximumWriteValueLength_{120};
    std::atomic<int> nPrinterBufferValidSize_{0};
    std::atomic<int> nPrinterResponedPacketCountToReceive_{0};
    std::atomic<int> nPrinterResponedMTUSize_{0};
    std::atomic<int> nPrinterResponedPacketCountReceived_{0};
    // mPacketListLock guards both lists; sets keep them ascending and free of duplicates.
    mutable std::mutex mPacketListLock;
    std::set<int> mPacketIndexList;
    std::set<int> mPacketRetryList;
    // Read by the accessors on any thread while a group may be filling it.
    mutable std::mutex sendTimesMutex_;
    std::vector<int> mPacketSendTimesList;
};

// The group-packet profile: service 18F0, notify characteristic 2AF0, write characteristic
// 2AF1. Opening, closing and reading are the shared mechanics.
class MBPeripheralProxyV2 : public MBPeripheralProfileProxy {
public:
    static const CBUUID& ServiceUUID();
    static const CBUUID& ReadCharacteristicUUID();
    static const CBUUID& WriteCharacteristicUUID();

    MBPeripheralProxyV2(std::shared_ptr<CBCentralManager> central, std::shared_ptr<CBPeripheral> peripheral);

    void Close() override;
    int Write(const uint8_t* buffer, int offset, int count, int timeoutMs) override;
    int writePackWithoutResponse(const uint8_t* buffer, int offset, int count, int timeoutMs);
    bool setupGroupPack(int mtu, int packetCount);
    int writeGroupPack(const uint8_t* data, int count, int timeoutMs);
    void ClearPacketSendTimesList() { session_.ClearPacketSendTimesList(); }
    int GetPacketSendTimesListLength() const { return session_.GetPacketSendTimesListLength(); }
    int GetPacketSendTimesListValue(int* values, int count) const {
        return session_.GetPacketSendTimesListValue(values, count);
    }

    void didUpdateValueForCharacteristic(CBPeripheral& peripheral,
                                         const std::shared_ptr<CBCharacteristic>& characteristic,
                                         const NSError* error) override;

    ProtoV2Session& session() { return session_; }

protected:
    const CBUUID& serviceUUID() const override { return ServiceUUID(); }
    const CBUUID& notifyCharacteristicUUID() const override { return ReadCharacteristicUUID(); }
    void matchCharacteristic(CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic) override;

private:
    // The refusal checks of a write: true when the link can carry one.
    bool writable() const;

    ProtoV2Session session_;
};

// The group-packet profile as a handler of the automatic profile, against the peripheral
// passed in.
class MBPeripheralProxyVAHandlerV2 : public MBPeripheralProxyVAProfileHandler {
public:
    static bool hasSupportedServiceInServices(const CBServiceList* services);

    MBPeripheralProxyVAHandlerV2();

    int doWrite(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset, int count,
                int timeoutMs) override;
    int doWritePackWithoutResponse(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset,
                                   int count, int timeoutMs);
    bool doSetupGroupPack(const std::shared_ptr<CBPeripheral>& peripheral, int mtu, int packetCount);
    int doWriteGroupPack(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* data, int count,
                         int timeoutMs);

    ProtoV2Session& session() { return session_; }

protected:
    const CBUUID& serviceUUID() const override { return MBPeripheralProxyV2::ServiceUUID(); }
    const CBUUID& notifyCharacteristicUUID() const override { return MBPeripheralProxyV2::ReadCharacteristicUUID(); }
    void matchCharacteristic(CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic) override {
        session_.matchCharacteristic(peripheral, characteristic);
    }
    void onValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) override {
        session_.onValue(characteristic, error);
    }
    void onProfileClose() override { session_.resetReceived(); }

private:
    ProtoV2Session session_;
};
