#include "ble_clients/BLEClientBase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "ble_clients/BleClientTiming.h"
#include "platform/NSLog.h"

namespace {

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

const char* NameOf(const CBPeripheral& peripheral, std::string& storage) {
    auto name = peripheral.name();
    if (!name) return nullptr;
    storage = *name;
    return storage.c_str();
}

const char* Printable(const char* text) { return text ? text : "(null)"; }

// The address of a printer of ours: manufacturer data 4B 43 and six address bytes.
bool AddressOf(const CBAdvertisementData& data, std::string& address) {
    if (!data.manufacturerData) return false;
    const auto& bytes = *data.manufacturerData;
    if (bytes.size() < 8 || bytes[0] != 0x4B || bytes[1] != 0x43) return false;
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", bytes[2], bytes[3], bytes[4], bytes[5],
                  bytes[6], bytes[7]);
    address = text;
    return true;
}

}  // namespace

BLEClientBase::BLEClientBase(Profile profile, int packetSize)
    : profile_(std::move(profile)), PACKET_SIZE_(packetSize) {}

BLEClientBase::~BLEClientBase() = default;

void BLEClientBase::init() {
    myCMQueue_ = std::make_shared<DispatchQueue>(profile_.queueLabel, profile_.queueKind);
    CBCentralManagerOptions options;
    options.showPowerAlert = true;
    options.restoreIdentifier = true;
    myCentralManager_ = CBCentralManager::Create(weak_from_this(), myCMQueue_, options);
}

bool BLEClientBase::waitForCBCentralManagerStatePoweredOn(int ms) {
    const NSDate deadline = DeadlineAfterMs(ms);
    const uint32_t pause = GetBleClientTiming().pollSleepMs;
    while (deadline.isInFuture() && !PoweredOn()) SleepMs(pause);
    return PoweredOn();
}

bool BLEClientBase::private_scan() {
    waitForCBCentralManagerStatePoweredOn(static_cast<int>(GetBleClientTiming().poweredOnWaitMs));
    if (!PoweredOn()) return false;
    NSLog("Start Scan");
    myCentralManager_->scanForPeripheralsWithServices(profile_.scanServices, false);
    return true;
}

bool BLEClientBase::scanPeripheral(peripheral_discovered_event pd, simple_discovered_event sd, void* private_data) {
    {
        std::lock_guard<std::mutex> lock(arrayPeripheralInfoLocker_);
        subscriber_ = Subscriber{pd, sd, private_data};
        arrayPeripehralInfo_.clear();
    }
    return private_scan();
}

void BLEClientBase::stopScan() {
    NSLog("Stop Scan");
    if (myCentralManager_) myCentralManager_->stopScan();
}

void BLEClientBase::didDiscoverPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>& peripheral,
                                          const CBAdvertisementData& data, int rssi) {
    std::string address;
    const bool hasAddress = AddressOf(data, address);
    bool found = false;
    Subscriber subscriber;
    {
        std::lock_guard<std::mutex> lock(arrayPeripheralInfoLocker_);
        subscriber = subscriber_;
        found = std::any_of(arrayPeripehralInfo_.begin(), arrayPeripehralInfo_.end(),
                            [&](const PeripheralInfo& info) { return info.peripheral == peripheral; });
        if (!found && hasAddress) arrayPeripehralInfo_.push_back({peripheral, address});
        const bool known = std::any_of(reported_.begin(), reported_.end(),
                                       [&](const std::weak_ptr<CBPeripheral>& p) { return p.lock() == peripheral; });
        if (!known) {
            std::erase_if(reported_, [](const std::weak_ptr<CBPeripheral>& p) { return p.expired(); });
            reported_.push_back(peripheral);
        }
    }
    std::string nameStorage;
    const char* name = NameOf(*peripheral, nameStorage);
    if (!found) {
        switch (profile_.addedLine) {
        case AddedLine::NameAndAddress:
            NSLog("Added PeripheralInfo %s %s", Printable(name), address.c_str());
            break;
        case AddedLine::NameOnly:
            NSLog("Added PeripheralInfo %s", Printable(name));
            break;
        case AddedLine::Bare:
            NSLog("%s %s", Printable(name), address.c_str());
            break;
        }
    }
    void* priv = subscriber.private_data;
    if (subscriber.simple && hasAddress) subscriber.simple(name, address.c_str(), priv);
    if (subscriber.full) subscriber.full(peripheral.get(), name, hasAddress ? address.c_str() : nullptr, rssi, priv);
}

std::shared_ptr<CBPeripheral> BLEClientBase::FindPeripheralBy(const std::string& address) {
    std::lock_guard<std::mutex> lock(arrayPeripheralInfoLocker_);
    for (const auto& info : arrayPeripehralInfo_) {
        if (!info.address.empty() && info.address == address) return info.peripheral;
    }
    return nullptr;
}

std::shared_ptr<CBPeripheral> BLEClientBase::FindReportedPeripheral(const void* peripheral) {
    if (!peripheral) return nullptr;
    std::lock_guard<std::mutex> lock(arrayPeripheralInfoLocker_);
    for (const auto& weak : reported_) {
        auto p = weak.lock();
        if (p.get() == peripheral) return p;
    }
    return nullptr;
}

// One connection at a time: a second one would stay up, unseen, after Close. A link that was
// lost does not count; an open starts afresh over it.
bool BLEClientBase::RefusedWhileOpen() {
    auto open = myCBPeripheral_.get();
    if (!open || open->state() == CBPeripheral::Disconnected) return false;
    std::string name;
    NSLog("Open failed. %s is open.", Printable(NameOf(*open, name)));
    return true;
}

bool BLEClientBase::OpenAddress(const std::string& address) {
    if (RefusedWhileOpen()) return false;  // before a search that could take its full time
    auto peripheral = FindPeripheralBy(address);
    if (!peripheral) {
        private_scan();
        const BleClientTiming timing = GetBleClientTiming();
        const NSDate deadline = DeadlineAfterMs(static_cast<int>(timing.addressSearchMs));
        while (deadline.isInFuture()) {
            peripheral = FindPeripheralBy(address);
            if (peripheral) break;
            SleepMs(timing.addressSearchPauseMs);
        }
    }
    if (!peripheral) {
        NSLog("No peripheral %s", address.c_str());
        return false;
    }
    return Open(peripheral);
}

bool BLEClientBase::Open(const std::shared_ptr<CBPeripheral>& peripheral) {
    if (!peripheral) {
        NSLog("peripheral null");
        return false;
    }
    const BleClientTiming timing = GetBleClientTiming();
    waitForCBCentralManagerStatePoweredOn(static_cast<int>(timing.poweredOnWaitMs));
    if (!myCentralManager_ || !PoweredOn()) {
        NSLog("Maybe Not PoweredOn");
        return false;
    }
    std::string nameStorage;
    const char* name = NameOf(*peripheral, nameStorage);
    if (peripheral->state() != CBPeripheral::Disconnected) {
        NSLog("Open failed. %s state %d.", Printable(name), peripheral->state());
        return false;
    }
    if (RefusedWhileOpen()) return false;
    stopScan();
    NSLog("Connecting %s %p", Printable(name), static_cast<const void*>(peripheral.get()));
    const NSDate deadline = DeadlineAfterMs(static_cast<int>(timing.openMs));
    isOpened_.store(false);  // an open that makes no attempt must not report a lost link's
    while (deadline.isInFuture()) {
        if (!PoweredOn()) break;
        if (BaseOpen(peripheral)) break;
        SleepMs(timing.pollSleepMs);
    }
    return isOpened_.load();
}

bool BLEClientBase::BaseOpen(const std::shared_ptr<CBPeripheral>& peripheral) {
    if (!peripheral) return false;
    const BleClientTiming timing = GetBleClientTiming();
    // Nothing of an earlier connection may pass for this one: after a lost link, without
    // Close, its characteristics would end this attempt's wait, its flag would report an
    // open that never happened, and its unread bytes would read as this printer's replies.
    isOpened_.store(false);
    myCBPeripheral_.set(nullptr);
    ClearProfile();
    rxBuffer_.clear();
    isOpening_.store(true);
    BeforeConnect();
    myCentralManager_->connectPeripheral(peripheral);
    const NSDate deadline = DeadlineAfterMs(static_cast<int>(timing.connectAttemptMs));
    while (deadline.isInFuture() && PoweredOn() && isOpening_.load() && !OpenWaitDone()) SleepMs(timing.pollSleepMs);
    if (ProfileReady()) {
        const NSDate settled = DeadlineAfterMs(static_cast<int>(timing.settleMs));
        while (settled.isInFuture() && PoweredOn()) {
            if (peripheral->state() != CBPeripheral::Connected) {
                ClearProfile();
                break;
            }
            SleepMs(timing.pollSleepMs);
        }
    }
    if (ProfileReady()) {
        isOpened_.store(true);
        return true;
    }
    myCentralManager_->cancelPeripheralConnection(peripheral);
    WaitForDisconnection(peripheral);
    return isOpened_.load();
}

// Bounded, and sleeping between polls, so a peripheral that never reports the end of its
// link cannot hold the caller forever.
void BLEClientBase::WaitForDisconnection(const std::shared_ptr<CBPeripheral>& peripheral) {
    const BleClientTiming timing = GetBleClientTiming();
    const NSDate deadline = DeadlineAfterMs(static_cast<int>(timing.disconnectWaitMs));
    while (deadline.isInFuture() && peripheral->state() != CBPeripheral::Disconnected && PoweredOn()) {
        SleepMs(timing.pollSleepMs);
    }
}

void BLEClientBase::Close() {
    auto peripheral = myCBPeripheral_.get();
    if (!myCentralManager_ || !peripheral) return;
    const BleClientTiming timing = GetBleClientTiming();
    myCentralManager_->cancelPeripheralConnection(peripheral);
    const NSDate deadline = DeadlineAfterMs(static_cast<int>(timing.disconnectWaitMs));
    while (deadline.isInFuture() && isConnected_.load()) SleepMs(timing.pollSleepMs);
    rxBuffer_.clear();
    OnClosing();
    myCBPeripheral_.set(nullptr);
    ClearProfile();
    isOpened_.store(false);
}

int BLEClientBase::Read(unsigned char* buffer, int offset, int count, int timeout) {
    auto peripheral = myCBPeripheral_.get();
    if (!peripheral || !ReadReady() || peripheral->state() != CBPeripheral::Connected) return -1;
    if (count < 1) return 0;
    if (!buffer || offset < 0) return -1;
    const uint32_t pause = GetBleClientTiming().pollSleepMs;
    const NSDate deadline = DeadlineAfterMs(timeout);
    int n = 0;
    while (deadline.isInFuture()) {
        if (!isConnected_.load()) return -1;
        if (!rxBuffer_.isEmpty()) {
            buffer[offset + n] = rxBuffer_.getByte();
            ++n;
            if (n >= count) break;
        }
        SleepMs(pause);
    }
    return n;
}

bool BLEClientBase::LinkUsable(const std::shared_ptr<CBCharacteristic>& characteristic) const {
    auto peripheral = myCBPeripheral_.get();
    return peripheral && characteristic && isConnected_.load() && peripheral->state() == CBPeripheral::Connected;
}

int BLEClientBase::WritePack(const unsigned char* buffer, int offset, int count, int type, int waitMs,
                             bool zeroMeansNoWait) {
    auto characteristic = WriteCharacteristic();
    if (!LinkUsable(characteristic)) return -1;
    if (!buffer || offset < 0 || count < 0) return -1;
    auto peripheral = myCBPeripheral_.get();
    if (!peripheral) return -1;
    writeResponed_.store(0);
    peripheral->writeValue(std::vector<uint8_t>(buffer + offset, buffer + offset + count), characteristic, type);
    if (zeroMeansNoWait && waitMs <= 0) return count;
    const NSDate deadline = DeadlineAfterMs(waitMs);
    while (deadline.isInFuture()) {
        if (!isConnected_.load()) return -1;
        if (writeResponed_.load() != 0) break;
        responeCondition_.lock();
        if (writeResponed_.load() == 0) responeCondition_.waitUntilDate(DeadlineAfterMs(1));
        responeCondition_.unlock();
    }
    if (type == CBCharacteristicWriteWithResponse) return writeResponed_.load() > 0 ? count : 0;
    return writeResponed_.load() < 0 ? 0 : count;
}

int BLEClientBase::writePackWithResponse(const unsigned char* buffer, int offset, int count, int timeout) {
    return WritePack(buffer, offset, count, CBCharacteristicWriteWithResponse, timeout, false);
}

int BLEClientBase::WriteWithoutResponseWaiting(const unsigned char* buffer, int offset, int count, int waitMs) {
    return WritePack(buffer, offset, count, CBCharacteristicWriteWithoutResponse, waitMs, true);
}

void BLEClientBase::WaitMs(int ms) {
    const NSDate deadline = DeadlineAfterMs(ms);
    const uint32_t pause = GetBleClientTiming().pollSleepMs;
    while (deadline.isInFuture()) SleepMs(pause);
}

void BLEClientBase::DiscoverProfileCharacteristics(CBPeripheral& peripheral, const NSError* error,
                                                   const char* serviceUuid, int logs) {
    const auto services = peripheral.services();
    if (error) {
        NSLog("Service discovery was unsuccessful\n%s\n", error->description().c_str());
    } else if (logs & kLogCount) {
        NSLog("Discovered %ld service\n", static_cast<long>(services.size()));
    }
    if (logs & kLogEach) {
        for (const auto& service : services) NSLog("Discovered service uuid %s", service->UUID().UUIDString().c_str());
    }
    const CBUUID wanted(serviceUuid);
    for (const auto& service : services) {
        if (service->UUID() == wanted) {
            NSLog("Discovering character");
            peripheral.discoverCharacteristics(service);
            return;
        }
    }
}

void BLEClientBase::LowerPacketSize(CBPeripheral& peripheral, const CBCharacteristic& characteristic) {
    if (characteristic.properties() & CBCharacteristicPropertyWrite) {
        const int m = peripheral.maximumWriteValueLengthForType(CBCharacteristicWriteWithResponse);
        if (PACKET_SIZE_.load() > m) PACKET_SIZE_.store(m);
        NSLog("maximumWriteValueLength With Response:%ld", static_cast<long>(m));
    }
    if (characteristic.properties() & CBCharacteristicPropertyWriteWithoutResponse) {
        const int m = peripheral.maximumWriteValueLengthForType(CBCharacteristicWriteWithoutResponse);
        if (PACKET_SIZE_.load() > m) PACKET_SIZE_.store(m);
        NSLog("maximumWriteValueLength Without Response:%ld", static_cast<long>(m));
    }
}

void BLEClientBase::centralManagerDidUpdateState(CBCentralManager& central) {
    NSLog(central.state() == CBManagerStatePoweredOn ? "CentralManager powered on"
                                                     : "CentralManager not powered on");
}

void BLEClientBase::willRestoreState(CBCentralManager&) { NSLog("willRestoreState"); }

void BLEClientBase::didConnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>& peripheral) {
    NSLog("Peripheral connected");
    isConnected_.store(true);
    peripheral->setDelegate(std::weak_ptr<CBPeripheralDelegate>(shared_from_this()));
    NSLog("Discovering services");
    peripheral->discoverServices();
}

void BLEClientBase::didFailToConnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>& peripheral,
                                               const NSError* error) {
    std::string nameStorage;
    NSLog("Failed to connect %s\n%s\n", Printable(NameOf(*peripheral, nameStorage)),
          error ? error->description().c_str() : "(null)");
    isOpening_.store(false);
}

void BLEClientBase::didDisconnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>& peripheral,
                                            const NSError*) {
    NSLog("Peripheral disconnected %p", static_cast<const void*>(peripheral.get()));
    isConnected_.store(false);
    isOpening_.store(false);
}

void BLEClientBase::didWriteValueForCharacteristic(CBPeripheral&,
                                                   const std::shared_ptr<CBCharacteristic>& characteristic,
                                                   const NSError* error) {
    if (error) {
        NSLog("Error writing characteristic value: %s, characteristic %s %s", error->localizedDescription.c_str(),
              profile_.uuidWord, characteristic->UUID().UUIDString().c_str());
    }
    responeCondition_.lock();
    writeResponed_.store(error ? -1 : 1);
    responeCondition_.signal();
    responeCondition_.unlock();
}
