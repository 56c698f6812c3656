#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/CBCentralManager.h"

// One characteristic of a simulated printer's GATT service.
struct SimulatedCharacteristic {
    std::string uuid;
    int properties = 0;
};

// One GATT write a simulated printer received.
struct SimulatedWrite {
    std::string service;
    std::string characteristic;
    std::vector<uint8_t> bytes;
    int type = 0;
};

// A printer that exists only because a test made it: it advertises manufacturer data,
// answers connections, exposes GATT services, answers writes, sends notifications, and fails
// or drops the link when told to. Place it on the radio with SimulatedRadio::addPrinter.
class SimulatedPrinter : public std::enable_shared_from_this<SimulatedPrinter> {
public:
    enum class ConnectAnswer { Accept, Fail, Ignore };
    enum class WriteAnswer { Confirm, Error, None };
    using WriteHandler = std::function<WriteAnswer(const SimulatedWrite&)>;
    using SubscribeHandler = std::function<void(const std::string& characteristic)>;

    static std::shared_ptr<SimulatedPrinter> Create(std::optional<std::string> name,
                                                    std::vector<uint8_t> manufacturerData);

    void addService(const std::string& uuid, std::vector<SimulatedCharacteristic> characteristics);
    // Offered no longer from the next service discovery on.
    void removeService(const std::string& uuid);
    // Defaults: 512 with response, 20 without.
    void setMaximumWriteLength(int type, int length);
    void setRssi(int rssi);
    void setAdvertising(bool advertising);
    void setConnectAnswer(ConnectAnswer answer);
    // While set, service discovery and notification switches are answered with an error.
    void setServiceDiscoveryFails(bool fails);
    void setNotifyFails(bool fails);
    // While set, a central's cancellation leaves the link as it is: a stack that never
    // reports the disconnection.
    void setIgnoresCancel(bool ignores);
    // Called on the writer's thread, without any lock held; it may notify. Without a handler,
    // writes with response are confirmed and writes without response get no answer.
    void setWriteHandler(WriteHandler handler);
    // Called on the subscribing thread, without any lock held, once a central switched
    // notification on for a characteristic (its UUID string); it may notify, and what it sends
    // arrives after the central learnt that notification is on.
    void setSubscribeHandler(SubscribeHandler handler);

    std::vector<SimulatedWrite> writes() const;
    void clearWrites();
    bool isConnected() const;
    // Connection attempts seen, accepted or not.
    int connectCount() const;
    bool isNotifying(const std::string& characteristic) const;

    // Sends one advertisement to every central that scans for it.
    void advertise();
    // Sends a value to every connected central that switched notification on; false when none.
    bool notify(const std::string& characteristic, const std::vector<uint8_t>& value);
    // Sends a failed value update (the event carries an error) to every such central.
    bool notifyError(const std::string& characteristic);
    // Drops every link from the printer's side.
    void disconnect();

private:
    friend class SimulatedRadio;
    SimulatedPrinter(std::optional<std::string> name, std::vector<uint8_t> manufacturerData)
        : name_(std::move(name)), manufacturerData_(std::move(manufacturerData)) {}

    struct Service {
        CBUUID uuid;
        std::vector<SimulatedCharacteristic> characteristics;
    };
    // Guarded by the radio's lock.
    const std::optional<std::string> name_;
    const std::vector<uint8_t> manufacturerData_;
    std::vector<Service> services_;
    int maxWithResponse_ = 512;
    int maxWithoutResponse_ = 20;
    int rssi_ = -60;
    bool advertising_ = true;
    bool inRange_ = false;
    ConnectAnswer connectAnswer_ = ConnectAnswer::Accept;
    bool serviceDiscoveryFails_ = false;
    bool notifyFails_ = false;
    bool ignoresCancel_ = false;
    WriteHandler writeHandler_;
    SubscribeHandler subscribeHandler_;
    std::vector<SimulatedWrite> writes_;
    int connectCount_ = 0;
};

// The air between the process's centrals and the simulated printers: one per process. It
// holds the radio's power state, which every central reports (unsupported until a test
// switches it), and the printers in range.
class SimulatedRadio {
public:
    static SimulatedRadio& Instance();

    int powerState() const;
    // Reports the new state to every central; leaving powered-on stops scans and drops links.
    void setPowerState(int state);
    // Brings a printer into range; scanning centrals hear it at once when it advertises.
    void addPrinter(const std::shared_ptr<SimulatedPrinter>& printer);
    // Takes it out of range: its links drop, and centrals forget their peripheral for it.
    void removePrinter(const std::shared_ptr<SimulatedPrinter>& printer);
    // Delivers the state-restoration event to centrals made with a restore identifier.
    void restoreState();

    // Called by the central and peripheral objects.
    void Register(CBCentralManager* central);
    void Unregister(CBCentralManager* central);
    void StartScan(CBCentralManager& central, const std::vector<CBUUID>& services, bool allowDuplicates);
    void StopScan(CBCentralManager& central);
    void Connect(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral);
    void CancelConnection(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral);
    void DiscoverServices(CBPeripheral& peripheral);
    void DiscoverCharacteristics(CBPeripheral& peripheral, const std::shared_ptr<CBService>& service);
    void SetNotify(CBPeripheral& peripheral, bool enabled, const std::shared_ptr<CBCharacteristic>& characteristic);
    void Write(CBPeripheral& peripheral, const std::vector<uint8_t>& data,
               const std::shared_ptr<CBCharacteristic>& characteristic, int type);
    int MaximumWriteLength(const CBPeripheral& peripheral, int type) const;
    void SetDelegate(CBPeripheral& peripheral, std::weak_ptr<CBPeripheralDelegate> delegate);
    std::vector<std::shared_ptr<CBService>> Services(const CBPeripheral& peripheral) const;
    int CentralState(const CBCentralManager& central) const;
    bool CentralScanning(const CBCentralManager& central) const;

    // Test side, called by SimulatedPrinter.
    void Advertise(SimulatedPrinter& printer);
    bool Notify(SimulatedPrinter& printer, const CBUUID& characteristic, const std::vector<uint8_t>* value);
    void DisconnectPrinter(SimulatedPrinter& printer, const NSError& error);
    bool PrinterConnectedLocked(const SimulatedPrinter& printer) const;
    bool PrinterNotifyingLocked(const SimulatedPrinter& printer, const CBUUID& characteristic) const;
    std::mutex& mutex() const { return mutex_; }

private:
    SimulatedRadio() = default;
    // With the lock held.
    void ReportLocked(CBCentralManager& central, SimulatedPrinter& printer);
    std::shared_ptr<CBCentralManager> OwnerLocked(const CBPeripheral& peripheral) const;
    std::shared_ptr<SimulatedPrinter> LinkedPrinterLocked(const CBPeripheral& peripheral) const;
    bool OwnsCharacteristicLocked(const CBPeripheral& peripheral,
                                  const std::shared_ptr<CBCharacteristic>& characteristic) const;
    void DropLinkLocked(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                        const NSError* error);
    void PostPeripheralEventLocked(CBPeripheral& peripheral,
                                   std::function<void(CBPeripheralDelegate&, CBPeripheral&)> event);

    mutable std::mutex mutex_;
    int powerState_ = CBManagerStateUnsupported;
    std::vector<CBCentralManager*> centrals_;
    std::vector<std::shared_ptr<SimulatedPrinter>> printers_;
};
