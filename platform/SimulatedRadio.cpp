#include "platform/SimulatedRadio.h"

#include <algorithm>

#include "platform/DispatchQueue.h"

namespace {

NSError Error(int code, const char* text) { return NSError{code, text}; }

bool HasService(const std::vector<CBUUID>& wanted, const std::vector<CBUUID>& offered) {
    if (wanted.empty()) return true;
    for (const auto& uuid : wanted) {
        if (std::find(offered.begin(), offered.end(), uuid) != offered.end()) return true;
    }
    return false;
}

void PostCentralEvent(DispatchStrand& strand, CBCentralManager& central,
                      std::function<void(CBCentralManagerDelegate&, CBCentralManager&)> event,
                      const std::weak_ptr<CBCentralManagerDelegate>& delegate) {
    strand.async([weak = central.weak_from_this(), delegate, event = std::move(event)] {
        auto owner = weak.lock();
        auto target = delegate.lock();
        if (owner && target) event(*target, *owner);
    });
}

}  // namespace

// ---- SimulatedPrinter ----

std::shared_ptr<SimulatedPrinter> SimulatedPrinter::Create(std::optional<std::string> name,
                                                           std::vector<uint8_t> manufacturerData) {
    return std::shared_ptr<SimulatedPrinter>(new SimulatedPrinter(std::move(name), std::move(manufacturerData)));
}

#define QV_RADIO_LOCK std::lock_guard<std::mutex> lock(SimulatedRadio::Instance().mutex())

void SimulatedPrinter::addService(const std::string& uuid, std::vector<SimulatedCharacteristic> characteristics) {
    QV_RADIO_LOCK;
    services_.push_back(Service{CBUUID(uuid), std::move(characteristics)});
}

void SimulatedPrinter::removeService(const std::string& uuid) {
    QV_RADIO_LOCK;
    const CBUUID id(uuid);
    std::erase_if(services_, [&](const Service& service) { return service.uuid == id; });
}

void SimulatedPrinter::setMaximumWriteLength(int type, int length) {
    QV_RADIO_LOCK;
    (type == CBCharacteristicWriteWithResponse ? maxWithResponse_ : maxWithoutResponse_) = length;
}

void SimulatedPrinter::setRssi(int rssi) { QV_RADIO_LOCK; rssi_ = rssi; }
void SimulatedPrinter::setAdvertising(bool advertising) { QV_RADIO_LOCK; advertising_ = advertising; }
void SimulatedPrinter::setConnectAnswer(ConnectAnswer answer) { QV_RADIO_LOCK; connectAnswer_ = answer; }
void SimulatedPrinter::setServiceDiscoveryFails(bool fails) { QV_RADIO_LOCK; serviceDiscoveryFails_ = fails; }
void SimulatedPrinter::setNotifyFails(bool fails) { QV_RADIO_LOCK; notifyFails_ = fails; }
void SimulatedPrinter::setIgnoresCancel(bool ignores) { QV_RADIO_LOCK; ignoresCancel_ = ignores; }
void SimulatedPrinter::setWriteHandler(WriteHandler handler) { QV_RADIO_LOCK; writeHandler_ = std::move(handler); }
void SimulatedPrinter::setSubscribeHandler(SubscribeHandler handler) {
    QV_RADIO_LOCK;
    subscribeHandler_ = std::move(handler);
}

std::vector<SimulatedWrite> SimulatedPrinter::writes() const { QV_RADIO_LOCK; return writes_; }
void SimulatedPrinter::clearWrites() { QV_RADIO_LOCK; writes_.clear(); }
int SimulatedPrinter::connectCount() const { QV_RADIO_LOCK; return connectCount_; }

#undef QV_RADIO_LOCK

bool SimulatedPrinter::isConnected() const {
    auto& radio = SimulatedRadio::Instance();
    std::lock_guard<std::mutex> lock(radio.mutex());
    return radio.PrinterConnectedLocked(*this);
}

bool SimulatedPrinter::isNotifying(const std::string& characteristic) const {
    auto& radio = SimulatedRadio::Instance();
    std::lock_guard<std::mutex> lock(radio.mutex());
    return radio.PrinterNotifyingLocked(*this, CBUUID(characteristic));
}

void SimulatedPrinter::advertise() { SimulatedRadio::Instance().Advertise(*this); }

bool SimulatedPrinter::notify(const std::string& characteristic, const std::vector<uint8_t>& value) {
    return SimulatedRadio::Instance().Notify(*this, CBUUID(characteristic), &value);
}

bool SimulatedPrinter::notifyError(const std::string& characteristic) {
    return SimulatedRadio::Instance().Notify(*this, CBUUID(characteristic), nullptr);
}

void SimulatedPrinter::disconnect() {
    SimulatedRadio::Instance().DisconnectPrinter(*this, Error(7, "The specified device has disconnected from us."));
}

// ---- SimulatedRadio ----

SimulatedRadio& SimulatedRadio::Instance() {
    static auto* radio = new SimulatedRadio;  // outlives every central and queue thread
    return *radio;
}

int SimulatedRadio::powerState() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return powerState_;
}

void SimulatedRadio::setPowerState(int state) {
    std::lock_guard<std::mutex> lock(mutex_);
    powerState_ = state;
    for (CBCentralManager* central : centrals_) {
        auto owner = central->weak_from_this().lock();
        if (!owner) continue;
        central->state_ = state;
        if (state != CBManagerStatePoweredOn) {
            central->scanning_ = false;
            const NSError error = Error(4, "Bluetooth is not powered on.");
            for (auto& [printer, peripheral] : central->peripherals_) DropLinkLocked(*central, peripheral, &error);
        }
        PostCentralEvent(*central->strand_, *central,
                         [](CBCentralManagerDelegate& d, CBCentralManager& c) { d.centralManagerDidUpdateState(c); },
                         central->delegate_);
    }
}

void SimulatedRadio::addPrinter(const std::shared_ptr<SimulatedPrinter>& printer) {
    if (!printer) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (printer->inRange_) return;
    printer->inRange_ = true;
    printers_.push_back(printer);
    if (!printer->advertising_) return;
    for (CBCentralManager* central : centrals_) {
        if (central->scanning_ && central->weak_from_this().lock()) ReportLocked(*central, *printer);
    }
}

void SimulatedRadio::removePrinter(const std::shared_ptr<SimulatedPrinter>& printer) {
    if (!printer) return;
    std::lock_guard<std::mutex> lock(mutex_);
    printer->inRange_ = false;
    printers_.erase(std::remove(printers_.begin(), printers_.end(), printer), printers_.end());
    const NSError error = Error(6, "The connection has timed out unexpectedly.");
    for (CBCentralManager* central : centrals_) {
        auto found = central->peripherals_.find(printer.get());
        if (found == central->peripherals_.end()) continue;
        DropLinkLocked(*central, found->second, &error);
        central->peripherals_.erase(found);
        central->reportedThisScan_.erase(printer.get());
    }
}

void SimulatedRadio::restoreState() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (CBCentralManager* central : centrals_) {
        if (!central->options_.restoreIdentifier || !central->weak_from_this().lock()) continue;
        PostCentralEvent(*central->strand_, *central,
                         [](CBCentralManagerDelegate& d, CBCentralManager& c) { d.willRestoreState(c); },
                         central->delegate_);
    }
}

void SimulatedRadio::Register(CBCentralManager* central) {
    std::lock_guard<std::mutex> lock(mutex_);
    centrals_.push_back(central);
    central->state_ = powerState_;
    PostCentralEvent(*central->strand_, *central,
                     [](CBCentralManagerDelegate& d, CBCentralManager& c) { d.centralManagerDidUpdateState(c); },
                     central->delegate_);
}

void SimulatedRadio::Unregister(CBCentralManager* central) {
    std::lock_guard<std::mutex> lock(mutex_);
    centrals_.erase(std::remove(centrals_.begin(), centrals_.end(), central), centrals_.end());
    for (auto& [printer, peripheral] : central->peripherals_) {
        peripheral->state_ = CBPeripheral::Disconnected;
        peripheral->services_.clear();
    }
    central->peripherals_.clear();
}

int SimulatedRadio::CentralState(const CBCentralManager& central) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return central.state_;
}

bool SimulatedRadio::CentralScanning(const CBCentralManager& central) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return central.scanning_;
}

void SimulatedRadio::StartScan(CBCentralManager& central, const std::vector<CBUUID>& services, bool allowDuplicates) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (central.state_ != CBManagerStatePoweredOn) return;
    if (!central.scanning_) central.reportedThisScan_.clear();
    central.scanning_ = true;
    central.scanServices_ = services;
    central.allowDuplicates_ = allowDuplicates;
    for (auto& printer : printers_) {
        if (printer->advertising_) ReportLocked(central, *printer);
    }
}

void SimulatedRadio::StopScan(CBCentralManager& central) {
    std::lock_guard<std::mutex> lock(mutex_);
    central.scanning_ = false;
}

void SimulatedRadio::ReportLocked(CBCentralManager& central, SimulatedPrinter& printer) {
    std::vector<CBUUID> offered;
    for (const auto& service : printer.services_) offered.push_back(service.uuid);
    if (!HasService(central.scanServices_, offered)) return;
    if (!central.allowDuplicates_ && !central.reportedThisScan_.insert(&printer).second) return;

    auto& peripheral = central.peripherals_[&printer];
    if (!peripheral) {
        peripheral.reset(new CBPeripheral(central.weak_from_this(), printer.weak_from_this(), printer.name_,
                                          std::make_shared<DispatchStrand>(central.queue_)));
    }
    CBAdvertisementData data;
    data.localName = printer.name_;
    if (!printer.manufacturerData_.empty()) data.manufacturerData = printer.manufacturerData_;
    data.serviceUUIDs = offered;
    const int rssi = printer.rssi_;
    PostCentralEvent(*central.strand_, central,
                     [peripheral, data, rssi](CBCentralManagerDelegate& d, CBCentralManager& c) {
                         d.didDiscoverPeripheral(c, peripheral, data, rssi);
                     },
                     central.delegate_);
}

std::shared_ptr<CBCentralManager> SimulatedRadio::OwnerLocked(const CBPeripheral& peripheral) const {
    auto central = peripheral.central_.lock();
    if (!central) return nullptr;
    auto found = central->peripherals_.find(peripheral.printer_.lock().get());
    if (found == central->peripherals_.end() || found->second.get() != &peripheral) return nullptr;
    return central;
}

void SimulatedRadio::Connect(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) {
    if (!peripheral) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (OwnerLocked(*peripheral).get() != &central) return;
    if (central.state_ != CBManagerStatePoweredOn || peripheral->state_ != CBPeripheral::Disconnected) return;
    peripheral->state_ = CBPeripheral::Connecting;
    auto printer = peripheral->printer_.lock();
    if (!printer || !printer->inRange_) return;  // stays pending, as with a device out of reach
    ++printer->connectCount_;
    switch (printer->connectAnswer_) {
    case SimulatedPrinter::ConnectAnswer::Accept:
        peripheral->state_ = CBPeripheral::Connected;
        PostCentralEvent(*peripheral->strand_, central,
                         [peripheral](CBCentralManagerDelegate& d, CBCentralManager& c) {
                             d.didConnectPeripheral(c, peripheral);
                         },
                         central.delegate_);
        break;
    case SimulatedPrinter::ConnectAnswer::Fail: {
        peripheral->state_ = CBPeripheral::Disconnected;
        const NSError error = Error(14, "Peer removed pairing information");
        PostCentralEvent(*peripheral->strand_, central,
                         [peripheral, error](CBCentralManagerDelegate& d, CBCentralManager& c) {
                             d.didFailToConnectPeripheral(c, peripheral, &error);
                         },
                         central.delegate_);
        break;
    }
    case SimulatedPrinter::ConnectAnswer::Ignore:
        break;
    }
}

void SimulatedRadio::CancelConnection(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral) {
    if (!peripheral) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (OwnerLocked(*peripheral).get() != &central) return;
    auto printer = peripheral->printer_.lock();
    if (printer && printer->ignoresCancel_) return;
    DropLinkLocked(central, peripheral, nullptr);
}

void SimulatedRadio::DropLinkLocked(CBCentralManager& central, const std::shared_ptr<CBPeripheral>& peripheral,
                                    const NSError* error) {
    if (peripheral->state_ == CBPeripheral::Disconnected) return;
    peripheral->state_ = CBPeripheral::Disconnected;
    for (auto& service : peripheral->services_) {
        for (auto& characteristic : service->characteristics()) characteristic->notifying_ = false;
    }
    peripheral->services_.clear();
    std::optional<NSError> copy;
    if (error) copy = *error;
    PostCentralEvent(*peripheral->strand_, central,
                     [peripheral, copy](CBCentralManagerDelegate& d, CBCentralManager& c) {
                         d.didDisconnectPeripheral(c, peripheral, copy ? &*copy : nullptr);
                     },
                     central.delegate_);
}

void SimulatedRadio::PostPeripheralEventLocked(CBPeripheral& peripheral,
                                               std::function<void(CBPeripheralDelegate&, CBPeripheral&)> event) {
    peripheral.strand_->async([this, weak = peripheral.weak_from_this(), event = std::move(event)] {
        auto target = weak.lock();
        if (!target) return;
        std::shared_ptr<CBPeripheralDelegate> delegate;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            delegate = target->delegate_.lock();
        }
        if (delegate) event(*delegate, *target);
    });
}

void SimulatedRadio::SetDelegate(CBPeripheral& peripheral, std::weak_ptr<CBPeripheralDelegate> delegate) {
    std::lock_guard<std::mutex> lock(mutex_);
    peripheral.delegate_ = std::move(delegate);
}

std::vector<std::shared_ptr<CBService>> SimulatedRadio::Services(const CBPeripheral& peripheral) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return peripheral.services_;
}

std::shared_ptr<SimulatedPrinter> SimulatedRadio::LinkedPrinterLocked(const CBPeripheral& peripheral) const {
    if (peripheral.state_ != CBPeripheral::Connected || !OwnerLocked(peripheral)) return nullptr;
    auto printer = peripheral.printer_.lock();
    return printer && printer->inRange_ ? printer : nullptr;
}

void SimulatedRadio::DiscoverServices(CBPeripheral& peripheral) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto printer = LinkedPrinterLocked(peripheral);
    if (!printer) return;
    if (printer->serviceDiscoveryFails_) {
        const NSError error = Error(3, "Service discovery failed.");
        PostPeripheralEventLocked(peripheral, [error](CBPeripheralDelegate& d, CBPeripheral& p) {
            d.didDiscoverServices(p, &error);
        });
        return;
    }
    std::vector<std::shared_ptr<CBService>> services;
    for (const auto& offered : printer->services_) {
        auto known = std::find_if(peripheral.services_.begin(), peripheral.services_.end(),
                                  [&](const auto& s) { return s->UUID() == offered.uuid; });
        services.push_back(known != peripheral.services_.end() ? *known : std::make_shared<CBService>(offered.uuid));
    }
    peripheral.services_ = std::move(services);
    PostPeripheralEventLocked(peripheral, [](CBPeripheralDelegate& d, CBPeripheral& p) { d.didDiscoverServices(p, nullptr); });
}

void SimulatedRadio::DiscoverCharacteristics(CBPeripheral& peripheral, const std::shared_ptr<CBService>& service) {
    if (!service) return;
    std::lock_guard<std::mutex> lock(mutex_);
    auto printer = LinkedPrinterLocked(peripheral);
    if (!printer) return;
    if (std::find(peripheral.services_.begin(), peripheral.services_.end(), service) == peripheral.services_.end()) return;
    auto offered = std::find_if(printer->services_.begin(), printer->services_.end(),
                                [&](const auto& s) { return s.uuid == service->UUID(); });
    if (offered == printer->services_.end()) return;
    {
        std::lock_guard<std::mutex> serviceLock(service->mutex_);
        std::vector<std::shared_ptr<CBCharacteristic>> characteristics;
        for (const auto& c : offered->characteristics) {
            const CBUUID uuid(c.uuid);
            auto known = std::find_if(service->characteristics_.begin(), service->characteristics_.end(),
                                      [&](const auto& k) { return k->UUID() == uuid; });
            characteristics.push_back(known != service->characteristics_.end()
                                          ? *known
                                          : std::make_shared<CBCharacteristic>(service->UUID(), uuid, c.properties));
        }
        service->characteristics_ = std::move(characteristics);
    }
    PostPeripheralEventLocked(peripheral, [service](CBPeripheralDelegate& d, CBPeripheral& p) {
        d.didDiscoverCharacteristicsForService(p, service, nullptr);
    });
}

bool SimulatedRadio::OwnsCharacteristicLocked(const CBPeripheral& peripheral,
                                              const std::shared_ptr<CBCharacteristic>& characteristic) const {
    if (!characteristic) return false;
    for (const auto& service : peripheral.services_) {
        for (const auto& c : service->characteristics()) {
            if (c == characteristic) return true;
        }
    }
    return false;
}

void SimulatedRadio::SetNotify(CBPeripheral& peripheral, bool enabled,
                               const std::shared_ptr<CBCharacteristic>& characteristic) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto printer = LinkedPrinterLocked(peripheral);
    if (!printer || !OwnsCharacteristicLocked(peripheral, characteristic)) return;
    const bool canNotify = characteristic->properties() & (CBCharacteristicPropertyNotify | CBCharacteristicPropertyIndicate);
    std::optional<NSError> error;
    if (printer->notifyFails_) {
        error = Error(10, "The attribute could not be found.");
    } else if (!canNotify) {
        error = Error(6, "The request is not supported.");
    } else {
        characteristic->notifying_ = enabled;
    }
    PostPeripheralEventLocked(peripheral, [characteristic, error](CBPeripheralDelegate& d, CBPeripheral& p) {
        d.didUpdateNotificationStateForCharacteristic(p, characteristic, error ? &*error : nullptr);
    });
    auto subscribed = printer->subscribeHandler_;
    if (!enabled || error || !subscribed) return;
    lock.unlock();
    subscribed(characteristic->UUID().UUIDString());
}

void SimulatedRadio::Write(CBPeripheral& peripheral, const std::vector<uint8_t>& data,
                           const std::shared_ptr<CBCharacteristic>& characteristic, int type) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto printer = LinkedPrinterLocked(peripheral);
    if (!printer || !OwnsCharacteristicLocked(peripheral, characteristic)) return;
    const bool withResponse = type == CBCharacteristicWriteWithResponse;
    const int needed = withResponse ? CBCharacteristicPropertyWrite : CBCharacteristicPropertyWriteWithoutResponse;
    SimulatedPrinter::WriteAnswer answer = withResponse ? SimulatedPrinter::WriteAnswer::Confirm
                                                        : SimulatedPrinter::WriteAnswer::None;
    if (!(characteristic->properties() & needed)) {
        if (!withResponse) return;  // dropped silently, as the platform does
        answer = SimulatedPrinter::WriteAnswer::Error;
    } else {
        SimulatedWrite write{characteristic->serviceUUID().UUIDString(), characteristic->UUID().UUIDString(), data, type};
        printer->writes_.push_back(write);
        auto handler = printer->writeHandler_;
        if (handler) {
            lock.unlock();
            answer = handler(write);
            lock.lock();
            if (LinkedPrinterLocked(peripheral) != printer) return;  // the link dropped meanwhile
        }
    }
    if (answer == SimulatedPrinter::WriteAnswer::None) return;
    std::optional<NSError> error;
    if (answer == SimulatedPrinter::WriteAnswer::Error) error = Error(3, "Writing is not permitted.");
    PostPeripheralEventLocked(peripheral, [characteristic, error](CBPeripheralDelegate& d, CBPeripheral& p) {
        d.didWriteValueForCharacteristic(p, characteristic, error ? &*error : nullptr);
    });
}

int SimulatedRadio::MaximumWriteLength(const CBPeripheral& peripheral, int type) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto printer = peripheral.printer_.lock();
    if (!printer) return 20;
    return type == CBCharacteristicWriteWithResponse ? printer->maxWithResponse_ : printer->maxWithoutResponse_;
}

void SimulatedRadio::Advertise(SimulatedPrinter& printer) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!printer.inRange_ || !printer.advertising_) return;
    for (CBCentralManager* central : centrals_) {
        if (central->scanning_ && central->weak_from_this().lock()) ReportLocked(*central, printer);
    }
}

bool SimulatedRadio::Notify(SimulatedPrinter& printer, const CBUUID& characteristic, const std::vector<uint8_t>* value) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool delivered = false;
    for (CBCentralManager* central : centrals_) {
        auto found = central->peripherals_.find(&printer);
        if (found == central->peripherals_.end() || found->second->state_ != CBPeripheral::Connected) continue;
        for (const auto& service : found->second->services_) {
            for (const auto& c : service->characteristics()) {
                if (!(c->UUID() == characteristic) || !c->isNotifying()) continue;
                delivered = true;
                std::optional<std::vector<uint8_t>> bytes;
                if (value) bytes = *value;
                PostPeripheralEventLocked(*found->second, [c, bytes](CBPeripheralDelegate& d, CBPeripheral& p) {
                    if (!bytes) {
                        const NSError error = Error(2, "The value could not be read.");
                        d.didUpdateValueForCharacteristic(p, c, &error);
                        return;
                    }
                    c->setValue(*bytes);
                    d.didUpdateValueForCharacteristic(p, c, nullptr);
                });
            }
        }
    }
    return delivered;
}

void SimulatedRadio::DisconnectPrinter(SimulatedPrinter& printer, const NSError& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (CBCentralManager* central : centrals_) {
        auto found = central->peripherals_.find(&printer);
        if (found != central->peripherals_.end()) DropLinkLocked(*central, found->second, &error);
    }
}

bool SimulatedRadio::PrinterConnectedLocked(const SimulatedPrinter& printer) const {
    for (CBCentralManager* central : centrals_) {
        auto found = central->peripherals_.find(&printer);
        if (found != central->peripherals_.end() && found->second->state_ == CBPeripheral::Connected) return true;
    }
    return false;
}

bool SimulatedRadio::PrinterNotifyingLocked(const SimulatedPrinter& printer, const CBUUID& characteristic) const {
    for (CBCentralManager* central : centrals_) {
        auto found = central->peripherals_.find(&printer);
        if (found == central->peripherals_.end() || found->second->state_ != CBPeripheral::Connected) continue;
        for (const auto& service : found->second->services_) {
            for (const auto& c : service->characteristics()) {
                if (c->UUID() == characteristic && c->isNotifying()) return true;
            }
        }
    }
    return false;
}
