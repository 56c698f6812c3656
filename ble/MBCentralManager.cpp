#include "ble/MBCentralManager.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "ble/BleTiming.h"
#include "platform/NSDate.h"
#include "platform/NSLog.h"

// ---- MBPeripheralInfo, MBPeripheralDiscoverInfo ------------------------------------------

std::shared_ptr<CBPeripheral> MBPeripheralInfo::peripheral() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return peripheral_;
}

void MBPeripheralInfo::setPeripheral(std::shared_ptr<CBPeripheral> peripheral) {
    std::lock_guard<std::mutex> hold(mutex_);
    peripheral_ = std::move(peripheral);
}

MBPeripheralDiscoverInfo::MBPeripheralDiscoverInfo(MBPeripheralDiscoveredEvent peripheral_event,
                                                   MBSimpleDiscoveredEvent simple_event, const void* data)
    : number(nextNumber()), peripheral_discovered_event(peripheral_event), simple_discovered_event(simple_event),
      private_data(data) {}

namespace {
std::recursive_mutex& numberLocker() {
    static auto* locker = new std::recursive_mutex;
    return *locker;
}
int currentPeripheralDiscoverInfoNumber = 0;  // guarded by numberLocker()
}  // namespace

int MBPeripheralDiscoverInfo::nextNumber() {
    std::lock_guard<std::recursive_mutex> hold(numberLocker());
    // Unsigned arithmetic: passing the largest int wraps instead of overflowing.
    int next = static_cast<int>(static_cast<unsigned>(currentPeripheralDiscoverInfoNumber) + 1u);
    if (next < 1) next = 1;
    currentPeripheralDiscoverInfoNumber = next;
    return next;
}

void MBPeripheralDiscoverInfo::setCurrentNumberForTesting(int number) {
    std::lock_guard<std::recursive_mutex> hold(numberLocker());
    currentPeripheralDiscoverInfoNumber = number;
}

std::string MBPrinterAddressFromManufacturerData(const std::vector<uint8_t>* data) {
    if (data == nullptr || data->size() < 8 || (*data)[0] != 0x4B || (*data)[1] != 0x43) return {};
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", (*data)[2], (*data)[3], (*data)[4], (*data)[5],
                  (*data)[6], (*data)[7]);
    return text;
}

// ---- MBCentralManagerProxy ---------------------------------------------------------------

std::shared_ptr<MBCentralManagerProxy> MBCentralManagerProxy::Create() {
    auto self = std::make_shared<MBCentralManagerProxy>();
    self->queue_ = std::make_shared<DispatchQueue>(kQueueLabel, DispatchQueue::Kind::Concurrent);
    CBCentralManagerOptions options;
    options.showPowerAlert = true;
    options.restoreIdentifier = true;
    self->myCentralManager_ =
        CBCentralManager::Create(std::weak_ptr<CBCentralManagerDelegate>(self), self->queue_, options);
    self->published_.store(self->myCentralManager_.get());
    self->published_.notify_all();
    return self;
}

CBCentralManager& MBCentralManagerProxy::central() const {
    published_.wait(nullptr);
    return *published_.load();
}

void MBCentralManagerProxy::privateScan() {
    NSLog("myCentralManager scanForPeripherals");
    std::lock_guard<std::recursive_mutex> hold(myCentralManagerLocker_);
    central().scanForPeripheralsWithServices({}, true);
}

int MBCentralManagerProxy::scan(MBPeripheralDiscoveredEvent peripheral_discovered_event,
                                MBSimpleDiscoveredEvent simple_discovered_event, const void* private_data) {
    auto info = std::make_shared<MBPeripheralDiscoverInfo>(peripheral_discovered_event, simple_discovered_event,
                                                           private_data);
    NSLog("scan %d", info->number);
    {
        std::lock_guard<std::recursive_mutex> hold(myPeripheralDiscoverInfoArrayLocker_);
        myPeripheralDiscoverInfoArray_.push_back(info);
    }
    privateScan();
    return info->number;
}

void MBCentralManagerProxy::stopScan(int number) {
    NSLog("stopScan %d", number);
    size_t remaining = 0;
    {
        std::lock_guard<std::recursive_mutex> hold(myPeripheralDiscoverInfoArrayLocker_);
        auto& infos = myPeripheralDiscoverInfoArray_;
        for (auto it = infos.begin(); it != infos.end(); ++it) {
            if ((*it)->number == number) {
                infos.erase(it);
                break;
            }
        }
        remaining = infos.size();
    }
    if (remaining != 0) return;
    NSLog("myCentralManager stopScan");
    {
        std::lock_guard<std::recursive_mutex> hold(myCentralManagerLocker_);
        central().stopScan();
    }
    // A subscription made between the decision and the stop must still leave the radio
    // scanning.
    if (subscriptionCount() != 0) privateScan();
}

size_t MBCentralManagerProxy::subscriptionCount() {
    std::lock_guard<std::recursive_mutex> hold(myPeripheralDiscoverInfoArrayLocker_);
    return myPeripheralDiscoverInfoArray_.size();
}

size_t MBCentralManagerProxy::registrySize() {
    std::lock_guard<std::recursive_mutex> hold(myPeripheralInfoArrayLocker_);
    return myPeripheralInfoArray_.size();
}

size_t MBCentralManagerProxy::proxyCount() {
    std::lock_guard<std::recursive_mutex> hold(myPeripheralProxyArrayLocker_);
    return myPeripheralProxyArray_.size();
}

std::shared_ptr<MBPeripheralInfo> MBCentralManagerProxy::findPeripheralInfoByAddress(const std::string* address) {
    if (address == nullptr) return nullptr;
    std::lock_guard<std::recursive_mutex> hold(myPeripheralInfoArrayLocker_);
    for (const auto& info : myPeripheralInfoArray_) {
        if (info->address() == *address) return info;
    }
    return nullptr;
}

std::shared_ptr<CBPeripheral> MBCentralManagerProxy::findPeripheralByAddress(const std::string* address) {
    auto info = findPeripheralInfoByAddress(address);
    return info ? info->peripheral() : nullptr;
}

std::shared_ptr<CBPeripheral> MBCentralManagerProxy::findPeripheralByAddress(const std::string* address,
                                                                             int timeoutMs) {
    if (address == nullptr) return nullptr;
    auto peripheral = findPeripheralByAddress(address);
    if (peripheral) return peripheral;
    const int number = scan(nullptr, nullptr, nullptr);
    const NSDate deadline = DeadlineAfterMs(timeoutMs);
    while (deadline.isInFuture()) {
        peripheral = findPeripheralByAddress(address);
        if (peripheral) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(GetBleTiming().addressLookupPollMs));
    }
    stopScan(number);
    if (!peripheral) NSLog("No peripheral for address %s", address->c_str());
    return peripheral;
}

std::shared_ptr<CBPeripheral> MBCentralManagerProxy::findPeripheralByObject(const void* object) {
    if (object == nullptr) return nullptr;
    std::lock_guard<std::recursive_mutex> hold(myPeripheralInfoArrayLocker_);
    for (const auto& info : myPeripheralInfoArray_) {
        auto peripheral = info->peripheral();
        if (peripheral.get() == object) return peripheral;
    }
    return nullptr;
}

std::shared_ptr<MBPeripheralProxy> MBCentralManagerProxy::findPeripheralProxyByPerihperal(
    const std::shared_ptr<CBPeripheral>& peripheral) {
    if (!peripheral) return nullptr;
    std::lock_guard<std::recursive_mutex> hold(myPeripheralProxyArrayLocker_);
    for (const auto& proxy : myPeripheralProxyArray_) {
        if (proxy->myPeripheral() == peripheral) return proxy;
    }
    return nullptr;
}

bool MBCentralManagerProxy::addPeripheralProxyToArray(const std::shared_ptr<MBPeripheralProxy>& proxy) {
    if (!proxy || !proxy->myPeripheral()) return false;
    std::lock_guard<std::recursive_mutex> hold(myPeripheralProxyArrayLocker_);
    if (findPeripheralProxyByPerihperal(proxy->myPeripheral())) return false;
    myPeripheralProxyArray_.push_back(proxy);
    return true;
}

void MBCentralManagerProxy::removePeripheralProxyFromArray(const std::shared_ptr<MBPeripheralProxy>& proxy) {
    if (!proxy) return;
    std::lock_guard<std::recursive_mutex> hold(myPeripheralProxyArrayLocker_);
    std::erase(myPeripheralProxyArray_, proxy);
}

std::shared_ptr<MBPeripheralProxy> MBCentralManagerProxy::OpenPeripheral(
    const std::shared_ptr<CBPeripheral>& peripheral, int proxyVersion) {
    if (!peripheral || findPeripheralProxyByPerihperal(peripheral)) return nullptr;
    auto proxy = MBCreatePeripheralProxy(proxyVersion, myCentralManager_, peripheral);
    if (!proxy) return nullptr;
    if (!addPeripheralProxyToArray(proxy)) return nullptr;
    // Registered before Open, so the connection events reach it while it waits.
    if (!proxy->Open()) {
        removePeripheralProxyFromArray(proxy);
        return nullptr;
    }
    return proxy;
}

std::shared_ptr<MBPeripheralProxy> MBCentralManagerProxy::OpenAddress(const std::string* address, int proxyVersion) {
    auto peripheral = findPeripheralByAddress(address, GetBleTiming().addressLookupMs);
    if (!peripheral) return nullptr;
    return OpenPeripheral(peripheral, proxyVersion);
}

void MBCentralManagerProxy::ClosePeripheralProxy(const std::shared_ptr<MBPeripheralProxy>& proxy) {
    if (!proxy) return;
    // Outside the proxy lock: Close waits for the disconnection, which needs it.
    proxy->Close();
    removePeripheralProxyFromArray(proxy);
}

void MBCentralManagerProxy::centralManagerDidUpdateState(CBCentralManager& central) {
    if (!isMine(central)) return;
    if (central.state() == CBManagerStatePoweredOn) {
        NSLog("centralManager powered on");
        privateScan();
    } else {
        NSLog("centralManager not powered on");
    }
}

void MBCentralManagerProxy::willRestoreState(CBCentralManager& central) {
    if (isMine(central)) NSLog("centralManager willRestoreState");
}

void MBCentralManagerProxy::didDiscoverPeripheral(CBCentralManager& central,
                                                  const std::shared_ptr<CBPeripheral>& peripheral,
                                                  const CBAdvertisementData& data, int rssi) {
    if (!isMine(central) || !peripheral) return;
    const std::vector<uint8_t>* manufacturer = data.manufacturerData ? &*data.manufacturerData : nullptr;
    const std::string address = MBPrinterAddressFromManufacturerData(manufacturer);
    if (address.empty()) return;

    const auto name = peripheral->name();
    bool created = false;
    {
        std::lock_guard<std::recursive_mutex> hold(myPeripheralInfoArrayLocker_);
        if (auto info = findPeripheralInfoByAddress(&address)) {
            info->setPeripheral(peripheral);
        } else {
            myPeripheralInfoArray_.insert(myPeripheralInfoArray_.begin(),
                                          std::make_shared<MBPeripheralInfo>(peripheral, address));
            created = true;
        }
    }
    if (created) NSLog("newPeripheralInfo %s %s", name ? name->c_str() : "(null)", address.c_str());

    const char* nameText = name ? name->c_str() : "null";
    std::lock_guard<std::recursive_mutex> hold(myPeripheralDiscoverInfoArrayLocker_);
    // A callback may subscribe or unsubscribe: walk a copy, and skip what left meanwhile.
    const auto infos = myPeripheralDiscoverInfoArray_;
    for (const auto& info : infos) {
        if (std::find(myPeripheralDiscoverInfoArray_.begin(), myPeripheralDiscoverInfoArray_.end(), info) ==
            myPeripheralDiscoverInfoArray_.end()) {
            continue;
        }
        if (info->simple_discovered_event) info->simple_discovered_event(nameText, address.c_str(), info->private_data);
        if (info->peripheral_discovered_event) {
            info->peripheral_discovered_event(peripheral.get(), nameText, address.c_str(), rssi, info->private_data);
        }
    }
}

template <typename Event>
void MBCentralManagerProxy::forwardToProxies(CBCentralManager& central,
                                             const std::shared_ptr<CBPeripheral>& peripheral, Event event) {
    std::lock_guard<std::recursive_mutex> hold(myPeripheralProxyArrayLocker_);
    for (const auto& proxy : myPeripheralProxyArray_) {
        if (proxy->myCentralManager().get() == &central && proxy->myPeripheral() == peripheral) event(*proxy);
    }
}

void MBCentralManagerProxy::didConnectPeripheral(CBCentralManager& central,
                                                 const std::shared_ptr<CBPeripheral>& peripheral) {
    forwardToProxies(central, peripheral,
                     [&](MBPeripheralProxy& proxy) { proxy.didConnectPeripheral(central, peripheral); });
}

void MBCentralManagerProxy::didFailToConnectPeripheral(CBCentralManager& central,
                                                       const std::shared_ptr<CBPeripheral>& peripheral,
                                                       const NSError* error) {
    forwardToProxies(central, peripheral,
                     [&](MBPeripheralProxy& proxy) { proxy.didFailToConnectPeripheral(central, peripheral, error); });
}

void MBCentralManagerProxy::didDisconnectPeripheral(CBCentralManager& central,
                                                    const std::shared_ptr<CBPeripheral>& peripheral,
                                                    const NSError* error) {
    forwardToProxies(central, peripheral,
                     [&](MBPeripheralProxy& proxy) { proxy.didDisconnectPeripheral(central, peripheral, error); });
}

// ---- MBCentralManager --------------------------------------------------------------------

MBCentralManagerProxy& MBCentralManager::proxy() {
    // Never destroyed: the central's queue may run events at process exit.
    static auto* myCentralManagerProxy = [] {
        NSLog("MBCentralManager initialize");
        return new std::shared_ptr<MBCentralManagerProxy>(MBCentralManagerProxy::Create());
    }();
    return **myCentralManagerProxy;
}

int MBCentralManager::scan(MBPeripheralDiscoveredEvent peripheral_discovered_event,
                           MBSimpleDiscoveredEvent simple_discovered_event, const void* private_data) {
    return proxy().scan(peripheral_discovered_event, simple_discovered_event, private_data);
}

void MBCentralManager::stopScan(int number) { proxy().stopScan(number); }

void MBCentralManager::ClosePeripheralProxy(const std::shared_ptr<MBPeripheralProxy>& p) {
    proxy().ClosePeripheralProxy(p);
}

std::shared_ptr<MBPeripheralProxy> MBCentralManager::OpenPeripheralV1(const std::shared_ptr<CBPeripheral>& p) {
    return proxy().OpenPeripheral(p, kBleProfileV1);
}
std::shared_ptr<MBPeripheralProxy> MBCentralManager::OpenPeripheralV2(const std::shared_ptr<CBPeripheral>& p) {
    return proxy().OpenPeripheral(p, kBleProfileV2);
}
std::shared_ptr<MBPeripheralProxy> MBCentralManager::OpenPeripheralV3(const std::shared_ptr<CBPeripheral>& p) {
    return proxy().OpenPeripheral(p, kBleProfileV3);
}
std::shared_ptr<MBPeripheralProxy> MBCentralManager::OpenPeripheralVA(const std::shared_ptr<CBPeripheral>& p) {
    return proxy().OpenPeripheral(p, kBleProfileVA);
}
std::shared_ptr<MBPeripheralProxy> MBCentralManager::OpenAddressV1(const std::string* address) {
    return proxy().OpenAddress(address, kBleProfileV1);
}
std::shared_ptr<MBPeripheralProxy> MBCentralManager::OpenAddressV2(const std::string* address) {
    return proxy().OpenAddress(address, kBleProfileV2);
}
std::shared_ptr<MBPeripheralProxy> MBCentralManager::OpenAddressV3(const std::string* address) {
    return proxy().OpenAddress(address, kBleProfileV3);
}
std::shared_ptr<MBPeripheralProxy> MBCentralManager::OpenAddressVA(const std::string* address) {
    return proxy().OpenAddress(address, kBleProfileVA);
}
