#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/CBUUID.h"

class CBCentralManager;
class CBPeripheral;
class DispatchStrand;
class SimulatedPrinter;
class SimulatedRadio;

// An error reported with a delegate event.
struct NSError {
    int code = 0;
    std::string localizedDescription;
    const std::string& description() const { return localizedDescription; }
};

// Characteristic property bits.
enum : int {
    CBCharacteristicPropertyRead = 0x02,
    CBCharacteristicPropertyWriteWithoutResponse = 0x04,
    CBCharacteristicPropertyWrite = 0x08,
    CBCharacteristicPropertyNotify = 0x10,
    CBCharacteristicPropertyIndicate = 0x20,
};

// GATT write types.
enum : int { CBCharacteristicWriteWithResponse = 0, CBCharacteristicWriteWithoutResponse = 1 };

class CBCharacteristic {
public:
    CBCharacteristic(CBUUID service, CBUUID uuid, int properties)
        : service_(std::move(service)), uuid_(std::move(uuid)), properties_(properties) {}

    const CBUUID& UUID() const { return uuid_; }
    const CBUUID& serviceUUID() const { return service_; }
    int properties() const { return properties_; }
    bool isNotifying() const { return notifying_.load(); }
    // The last value received; set just before the value event is delivered.
    std::vector<uint8_t> value() const;

private:
    friend class SimulatedRadio;
    void setValue(std::vector<uint8_t> value);

    const CBUUID service_;
    const CBUUID uuid_;
    const int properties_;
    std::atomic<bool> notifying_{false};
    mutable std::mutex valueMutex_;
    std::vector<uint8_t> value_;
};

class CBService {
public:
    explicit CBService(CBUUID uuid) : uuid_(std::move(uuid)) {}
    const CBUUID& UUID() const { return uuid_; }
    // Empty until the characteristics of this service were discovered.
    std::vector<std::shared_ptr<CBCharacteristic>> characteristics() const;

private:
    friend class SimulatedRadio;
    const CBUUID uuid_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<CBCharacteristic>> characteristics_;
};

// Events of one peripheral, delivered on its central's queue, in the order they happened.
class CBPeripheralDelegate {
public:
    virtual ~CBPeripheralDelegate() = default;
    virtual void didDiscoverServices(CBPeripheral&, const NSError*) {}
    virtual void didDiscoverCharacteristicsForService(CBPeripheral&, const std::shared_ptr<CBService>&,
                                                      const NSError*) {}
    virtual void didUpdateNotificationStateForCharacteristic(CBPeripheral&,
                                                             const std::shared_ptr<CBCharacteristic>&,
                                                             const NSError*) {}
    virtual void didUpdateValueForCharacteristic(CBPeripheral&, const std::shared_ptr<CBCharacteristic>&,
                                                 const NSError*) {}
    virtual void didWriteValueForCharacteristic(CBPeripheral&, const std::shared_ptr<CBCharacteristic>&,
                                                const NSError*) {}
};

// A remote device as one central sees it. The central makes one object per device and keeps
// it; every call is safe from any thread.
class CBPeripheral : public std::enable_shared_from_this<CBPeripheral> {
public:
    enum State : int { Disconnected = 0, Connecting = 1, Connected = 2, Disconnecting = 3 };

    ~CBPeripheral();
    CBPeripheral(const CBPeripheral&) = delete;
    CBPeripheral& operator=(const CBPeripheral&) = delete;

    int state() const { return state_.load(); }
    // Empty when the device advertises no name.
    std::optional<std::string> name() const { return name_; }
    // The delegate is not owned: once it is gone, events are dropped.
    void setDelegate(std::weak_ptr<CBPeripheralDelegate> delegate);
    // Empty until services were discovered on the current connection.
    std::vector<std::shared_ptr<CBService>> services() const;

    void discoverServices();
    void discoverCharacteristics(const std::shared_ptr<CBService>& service);
    void setNotifyValue(bool enabled, const std::shared_ptr<CBCharacteristic>& characteristic);
    void writeValue(const std::vector<uint8_t>& data, const std::shared_ptr<CBCharacteristic>& characteristic,
                    int type);
    int maximumWriteValueLengthForType(int type) const;

private:
    friend class SimulatedRadio;
    friend class CBCentralManager;
    CBPeripheral(std::weak_ptr<CBCentralManager> central, std::weak_ptr<SimulatedPrinter> printer,
                 std::optional<std::string> name, std::shared_ptr<DispatchStrand> strand);

    const std::weak_ptr<CBCentralManager> central_;
    const std::weak_ptr<SimulatedPrinter> printer_;
    const std::optional<std::string> name_;
    const std::shared_ptr<DispatchStrand> strand_;  // this device's events, in order
    std::atomic<int> state_{Disconnected};
    // Guarded by the radio's lock.
    std::weak_ptr<CBPeripheralDelegate> delegate_;
    std::vector<std::shared_ptr<CBService>> services_;
};
