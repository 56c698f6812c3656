#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ble/MBPeripheralProxy.h"
#include "platform/CBCentralManager.h"
#include "platform/DispatchQueue.h"

// Discovery callbacks. The texts are valid only during the call; the peripheral is not
// retained for the callee.
using MBPeripheralDiscoveredEvent = void (*)(const void* peripheral, const char* name, const char* address, int rssi,
                                             const void* private_data);
using MBSimpleDiscoveredEvent = void (*)(const char* name, const char* address, const void* private_data);

// GATT profiles a proxy can be opened with.
enum : int { kBleProfileV1 = 1, kBleProfileV2 = 2, kBleProfileV3 = 3, kBleProfileVA = 65 };

// One printer seen: its address and the peripheral object last reported for it.
class MBPeripheralInfo {
public:
    MBPeripheralInfo(std::shared_ptr<CBPeripheral> peripheral, std::string address)
        : peripheral_(std::move(peripheral)), address_(std::move(address)) {}

    std::shared_ptr<CBPeripheral> peripheral() const;
    void setPeripheral(std::shared_ptr<CBPeripheral> peripheral);
    const std::string& address() const { return address_; }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<CBPeripheral> peripheral_;
    const std::string address_;
};

// One discovery subscription.
class MBPeripheralDiscoverInfo {
public:
    MBPeripheralDiscoverInfo(MBPeripheralDiscoveredEvent peripheral_discovered_event,
                             MBSimpleDiscoveredEvent simple_discovered_event, const void* private_data);

    // The next ScanNumber of the process: 1, 2, ... and 1 again after the largest int.
    static int nextNumber();
    // Test-only: the number last handed out.
    static void setCurrentNumberForTesting(int number);

    const int number;
    const MBPeripheralDiscoveredEvent peripheral_discovered_event;
    const MBSimpleDiscoveredEvent simple_discovered_event;
    const void* const private_data;
};

// The printer address carried by an advertisement's manufacturer data ("%02X:..." of bytes 2
// to 7), or empty when the data does not mark a printer of this library (4B 43, 8 bytes).
std::string MBPrinterAddressFromManufacturerData(const std::vector<uint8_t>* data);

// The process-wide central: scan subscriptions, the registry of printers seen, and the open
// peripheral proxies, to which it routes the central's connection events.
class MBCentralManagerProxy : public CBCentralManagerDelegate {
public:
    static constexpr const char* kQueueLabel = "com.kelvorund.MBCentralManagerProxy";

    // Creates the central, with self as its delegate, on a new concurrent queue.
    static std::shared_ptr<MBCentralManagerProxy> Create();

    void privateScan();
    int scan(MBPeripheralDiscoveredEvent peripheral_discovered_event, MBSimpleDiscoveredEvent simple_discovered_event,
             const void* private_data);
    void stopScan(int number);

    std::shared_ptr<MBPeripheralInfo> findPeripheralInfoByAddress(const std::string* address);
    std::shared_ptr<CBPeripheral> findPeripheralByAddress(const std::string* address);
    std::shared_ptr<CBPeripheral> findPeripheralByAddress(const std::string* address, int timeoutMs);
    // The peripheral of the registry that is this very object, or null: an untyped pointer
    // is compared, never followed.
    std::shared_ptr<CBPeripheral> findPeripheralByObject(const void* object);
    std::shared_ptr<MBPeripheralProxy> findPeripheralProxyByPerihperal(const std::shared_ptr<CBPeripheral>& peripheral);
    bool addPeripheralProxyToArray(const std::shared_ptr<MBPeripheralProxy>& proxy);
    void removePeripheralProxyFromArray(const std::shared_ptr<MBPeripheralProxy>& proxy);

    std::shared_ptr<MBPeripheralProxy> OpenPeripheral(const std::shared_ptr<CBPeripheral>& peripheral,
                                                      int proxyVersion);
    std::shared_ptr<MBPeripheralProxy> OpenAddress(const std::string* address, int proxyVersion);
    void ClosePeripheralProxy(const std::shared_ptr<MBPeripheralProxy>& proxy);

    const std::shared_ptr<CBCentralManager>& myCentralManager() const { return myCentralManager_; }
    const std::shared_ptr<DispatchQueue>& queue() const { return queue_; }
    size_t subscriptionCount();
    size_t registrySize();
    size_t proxyCount();

    void centralManagerDidUpdateState(CBCentralManager& central) override;
    void willRestoreState(CBCentralManager& central) override;
    void didDiscoverPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                               const CBAdvertisementData& data, int rssi) override;
    void didConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) override;
    void didFailToConnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                    const NSError* error) override;
    void didDisconnectPeripheral(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                 const NSError* error) override;

private:
    // The central, once Create has stored it: its first events may come before that.
    CBCentralManager& central() const;
    bool isMine(const CBCentralManager& central) const { return &central == &this->central(); }
    // The open proxies of that peripheral on this central, copied under the proxy lock.
    template <typename Event>
    void forwardToProxies(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral, Event event);

    std::shared_ptr<DispatchQueue> queue_;
    std::shared_ptr<CBCentralManager> myCentralManager_;
    std::atomic<CBCentralManager*> published_{nullptr};
    std::recursive_mutex myCentralManagerLocker_;
    std::vector<std::shared_ptr<MBPeripheralDiscoverInfo>> myPeripheralDiscoverInfoArray_;
    std::recursive_mutex myPeripheralDiscoverInfoArrayLocker_;
    std::vector<std::shared_ptr<MBPeripheralInfo>> myPeripheralInfoArray_;
    std::recursive_mutex myPeripheralInfoArrayLocker_;
    std::vector<std::shared_ptr<MBPeripheralProxy>> myPeripheralProxyArray_;
    std::recursive_mutex myPeripheralProxyArrayLocker_;
};

// The proxy of a profile for a peripheral, or null when the profile is unknown.
std::shared_ptr<MBPeripheralProxy> MBCreatePeripheralProxy(int proxyVersion, std::shared_ptr<CBCentralManager> central,
                                                           std::shared_ptr<CBPeripheral> peripheral);

// Facade over the one process-wide central manager proxy, created on first use and never
// destroyed.
class MBCentralManager {
public:
    static MBCentralManagerProxy& proxy();

    static int scan(MBPeripheralDiscoveredEvent peripheral_discovered_event,
                    MBSimpleDiscoveredEvent simple_discovered_event, const void* private_data);
    static void stopScan(int number);
    static void ClosePeripheralProxy(const std::shared_ptr<MBPeripheralProxy>& proxy);
    static std::shared_ptr<MBPeripheralProxy> OpenPeripheralV1(const std::shared_ptr<CBPeripheral>& p);
    static std::shared_ptr<MBPeripheralProxy> OpenPeripheralV2(const std::shared_ptr<CBPeripheral>& p);
    static std::shared_ptr<MBPeripheralProxy> OpenPeripheralV3(const std::shared_ptr<CBPeripheral>& p);
    static std::shared_ptr<MBPeripheralProxy> OpenPeripheralVA(const std::shared_ptr<CBPeripheral>& p);
    static std::shared_ptr<MBPeripheralProxy> OpenAddressV1(const std::string* address);
    static std::shared_ptr<MBPeripheralProxy> OpenAddressV2(const std::string* address);
    static std::shared_ptr<MBPeripheralProxy> OpenAddressV3(const std::string* address);
    static std::shared_ptr<MBPeripheralProxy> OpenAddressVA(const std::string* address);
};
