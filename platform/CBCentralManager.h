#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/CBPeripheral.h"
#include "platform/DispatchQueue.h"

// Radio states.
enum : int {
    CBManagerStateUnknown = 0,
    CBManagerStateResetting = 1,
    CBManagerStateUnsupported = 2,
    CBManagerStateUnauthorized = 3,
    CBManagerStatePoweredOff = 4,
    CBManagerStatePoweredOn = 5,
};

// What one advertisement carried.
struct CBAdvertisementData {
    std::optional<std::string> localName;
    std::optional<std::vector<uint8_t>> manufacturerData;  // "kCBAdvDataManufacturerData"
    std::vector<CBUUID> serviceUUIDs;
};

struct CBCentralManagerOptions {
    bool showPowerAlert = false;
    bool restoreIdentifier = false;
};

// Events of a central, delivered on its queue. State and discovery events come in order;
// connection events come in order with the GATT events of the same peripheral.
class CBCentralManagerDelegate {
public:
    virtual ~CBCentralManagerDelegate() = default;
    virtual void centralManagerDidUpdateState(CBCentralManager&) {}
    virtual void willRestoreState(CBCentralManager&) {}
    virtual void didDiscoverPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>&,
                                       const CBAdvertisementData&, int /*rssi*/) {}
    virtual void didConnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>&) {}
    virtual void didFailToConnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>&,
                                            const NSError*) {}
    virtual void didDisconnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>&,
                                         const NSError*) {}
};

// A Bluetooth LE central. There is no radio on this platform: a central reaches only the
// simulated printers that tests place on the process-wide SimulatedRadio, and without any it
// never discovers anything. Every call is safe from any thread.
class CBCentralManager : public std::enable_shared_from_this<CBCentralManager> {
public:
    // The delegate is not owned. A null queue gets a serial queue of the central's own. The
    // first state report is delivered right after creation.
    static std::shared_ptr<CBCentralManager> Create(std::weak_ptr<CBCentralManagerDelegate> delegate,
                                                    std::shared_ptr<DispatchQueue> queue,
                                                    CBCentralManagerOptions options = {});
    // Leaves the radio: links of this central drop without events.
    ~CBCentralManager();
    CBCentralManager(const CBCentralManager&) = delete;
    CBCentralManager& operator=(const CBCentralManager&) = delete;

    int state() const;
    bool isScanning() const;
    const std::shared_ptr<DispatchQueue>& queue() const { return queue_; }
    const CBCentralManagerOptions& options() const { return options_; }

    // Only while powered on. An empty service list scans for everything; without duplicates
    // a device is reported once per scan.
    void scanForPeripheralsWithServices(const std::vector<CBUUID>& services, bool allowDuplicates);
    void stopScan();
    void connectPeripheral(const std::shared_ptr<CBPeripheral>& peripheral);
    void cancelPeripheralConnection(const std::shared_ptr<CBPeripheral>& peripheral);

private:
    friend class SimulatedRadio;
    CBCentralManager(std::weak_ptr<CBCentralManagerDelegate> delegate, std::shared_ptr<DispatchQueue> queue,
                     CBCentralManagerOptions options);

    const std::weak_ptr<CBCentralManagerDelegate> delegate_;
    const std::shared_ptr<DispatchQueue> queue_;
    const CBCentralManagerOptions options_;
    const std::shared_ptr<DispatchStrand> strand_;  // state and discovery events
    // Guarded by the radio's lock.
    int state_ = CBManagerStateUnknown;
    bool scanning_ = false;
    bool allowDuplicates_ = false;
    std::vector<CBUUID> scanServices_;
    std::set<const SimulatedPrinter*> reportedThisScan_;
    std::map<const SimulatedPrinter*, std::shared_ptr<CBPeripheral>> peripherals_;
};
