#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ble/BufferPool.h"
#include "ble_clients/BleDiscoveryEvents.h"
#include "platform/CBCentralManager.h"
#include "platform/NSCondition.h"

// One entry of a client's scan list; never changed once listed.
struct PeripheralInfo {
    std::shared_ptr<CBPeripheral> peripheral;
    std::string address;  // "%02X:%02X:%02X:%02X:%02X:%02X"
};

// A reference that one thread replaces while others read it.
template <typename T>
class SharedRef {
public:
    std::shared_ptr<T> get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }
    void set(std::shared_ptr<T> value) {
        std::lock_guard<std::mutex> lock(mutex_);
        value_ = std::move(value);
    }
    explicit operator bool() const { return get() != nullptr; }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<T> value_;
};

// What the three stand-alone clients share: their own central and queue, the scan list with
// one discovery subscriber, opening by address or peripheral, closing, reading the receive
// ring against a deadline, and single GATT writes that wait for the write callback. The
// profile (services, characteristics, notifications) is the subclass's.
//
// Operations block the calling thread and must not be called on the client's own queue.
// Clients are made through their subclass's Create, since the platform holds its delegates
// weakly.
class BLEClientBase : public CBCentralManagerDelegate,
                      public CBPeripheralDelegate,
                      public std::enable_shared_from_this<BLEClientBase> {
public:
    ~BLEClientBase() override;
    BLEClientBase(const BLEClientBase&) = delete;
    BLEClientBase& operator=(const BLEClientBase&) = delete;

    bool waitForCBCentralManagerStatePoweredOn(int ms);
    bool private_scan();
    bool scanPeripheral(peripheral_discovered_event pd, simple_discovered_event sd, void* private_data);
    void stopScan();
    std::shared_ptr<CBPeripheral> FindPeripheralBy(const std::string& address);
    // A peripheral this client's central reported, found by its object pointer; null when
    // the pointer names none (a stale or foreign pointer is refused, not followed).
    std::shared_ptr<CBPeripheral> FindReportedPeripheral(const void* peripheral);
    bool OpenAddress(const std::string& address);
    bool Open(const std::shared_ptr<CBPeripheral>& peripheral);
    bool BaseOpen(const std::shared_ptr<CBPeripheral>& peripheral);
    virtual void Close();
    bool IsOpened() const { return isOpened_.load(); }
    void SkipAvailable() { rxBuffer_.clear(); }
    int Read(unsigned char* buffer, int offset, int count, int timeout);
    int writePackWithResponse(const unsigned char* buffer, int offset, int count, int timeout);
    void WaitMs(int ms);

    // State, for callers and tests.
    bool isConnected() const { return isConnected_.load(); }
    bool isOpening() const { return isOpening_.load(); }
    int centralState() const { return myCentralManager_ ? myCentralManager_->state() : CBManagerStateUnknown; }
    const std::shared_ptr<DispatchQueue>& queue() const { return myCMQueue_; }
    std::shared_ptr<CBPeripheral> openPeripheral() const { return myCBPeripheral_.get(); }
    int PACKET_SIZE() const { return PACKET_SIZE_.load(); }
    void setPACKET_SIZE(int value) { PACKET_SIZE_.store(value); }

    // Delegate events, on the client's queue.
    void centralManagerDidUpdateState(CBCentralManager& central) override;
    void willRestoreState(CBCentralManager& central) override;
    void didDiscoverPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                               const CBAdvertisementData& data, int rssi) override;
    void didConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) override;
    void didFailToConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                    const NSError* error) override;
    void didDisconnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                 const NSError* error) override;
    void didWriteValueForCharacteristic(CBPeripheral& peripheral,
                                        const std::shared_ptr<CBCharacteristic>& characteristic,
                                        const NSError* error) override;

protected:
    // How a peripheral newly added to the scan list is logged.
    enum class AddedLine { NameAndAddress, NameOnly, Bare };
    struct Profile {
        std::string queueLabel;
        DispatchQueue::Kind queueKind;
        std::vector<CBUUID> scanServices;  // empty: every peripheral
        AddedLine addedLine;
        const char* uuidWord;  // "UUID" or "uuid" in the write error line
    };
    BLEClientBase(Profile profile, int packetSize);
    // The second step of construction, once the object is owned by a shared pointer.
    void init();

    // The profile's characteristics: all present (open), cleared, and the one written to.
    virtual bool ProfileReady() const = 0;
    virtual bool ReadReady() const = 0;
    virtual void ClearProfile() = 0;
    virtual std::shared_ptr<CBCharacteristic> WriteCharacteristic() const = 0;
    virtual void OnClosing() {}
    // Before a connection attempt, and what ends its wait early (by default the profile).
    virtual void BeforeConnect() {}
    virtual bool OpenWaitDone() const { return ProfileReady(); }

    // Logs a service discovery (the count of services and each one's UUID when asked) and
    // discovers the characteristics of the first service with the profile's UUID.
    enum ServiceLog { kLogCount = 1, kLogEach = 2 };
    void DiscoverProfileCharacteristics(CBPeripheral& peripheral, const NSError* error, const char* serviceUuid,
                                        int logs);
    // Lowers PACKET_SIZE to the peripheral's write limits of a characteristic's write kinds.
    void LowerPacketSize(CBPeripheral& peripheral, const CBCharacteristic& characteristic);
    bool LinkUsable(const std::shared_ptr<CBCharacteristic>& characteristic) const;
    bool PoweredOn() const { return centralState() == CBManagerStatePoweredOn; }
    // One write without response; waits up to waitMs for a write callback, which the
    // platform normally does not send (0 or less: no wait). count, 0 on a reported error,
    // -1 without a usable link.
    int WriteWithoutResponseWaiting(const unsigned char* buffer, int offset, int count, int waitMs);
    int WritePack(const unsigned char* buffer, int offset, int count, int type, int waitMs, bool zeroMeansNoWait);

    const Profile profile_;
    std::shared_ptr<DispatchQueue> myCMQueue_;
    std::shared_ptr<CBCentralManager> myCentralManager_;
    SharedRef<CBPeripheral> myCBPeripheral_;
    std::atomic<bool> isConnected_{false};
    std::atomic<bool> isOpening_{false};
    std::atomic<bool> isOpened_{false};
    BufferPool rxBuffer_;
    std::atomic<int> PACKET_SIZE_;
    NSCondition responeCondition_;
    std::atomic<int> writeResponed_{0};

private:
    // Logs and refuses while the printer of an earlier open is still linked.
    bool RefusedWhileOpen();
    void WaitForDisconnection(const std::shared_ptr<CBPeripheral>& peripheral);

    // The one discovery subscriber, replaced whole so that no report pairs one subscriber's
    // callback with another's private data.
    struct Subscriber {
        peripheral_discovered_event full = nullptr;
        simple_discovered_event simple = nullptr;
        void* private_data = nullptr;
    };

    // Guards the scan list, the reported peripherals and the subscriber.
    std::mutex arrayPeripheralInfoLocker_;
    std::vector<PeripheralInfo> arrayPeripehralInfo_;
    // Every peripheral the central reported, for Open by pointer.
    std::vector<std::weak_ptr<CBPeripheral>> reported_;
    Subscriber subscriber_;
};
