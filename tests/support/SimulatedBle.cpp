#include "support/SimulatedBle.h"

#include "platform/DispatchQueue.h"
#include "platform/NSLog.h"

namespace qvtest {

std::vector<uint8_t> PrinterAdvert(const std::vector<uint8_t>& address) {
    std::vector<uint8_t> data;
    data.reserve(2 + address.size());
    data.push_back(0x4B);
    data.push_back(0x43);
    for (uint8_t byte : address) data.push_back(byte);
    return data;
}

ScopedRadio::ScopedRadio(int state) : saved_(SimulatedRadio::Instance().powerState()) {
    SimulatedRadio::Instance().setPowerState(state);
}

ScopedRadio::~ScopedRadio() {
    for (auto& printer : printers_) SimulatedRadio::Instance().removePrinter(printer);
    SimulatedRadio::Instance().setPowerState(saved_);
}

std::shared_ptr<SimulatedPrinter> ScopedRadio::AddPrinter(std::optional<std::string> name,
                                                          std::vector<uint8_t> advert) {
    auto printer = SimulatedPrinter::Create(std::move(name), std::move(advert));
    printers_.push_back(printer);
    SimulatedRadio::Instance().addPrinter(printer);
    return printer;
}

LogCapture::LogCapture() {
    SetLogSinkForTesting([mutex = mutex_, lines = lines_](const std::string& line) {
        std::lock_guard<std::mutex> lock(*mutex);
        lines->push_back(line);
    });
}

LogCapture::~LogCapture() { SetLogSinkForTesting(nullptr); }

std::vector<std::string> LogCapture::Lines() const {
    std::lock_guard<std::mutex> lock(*mutex_);
    return *lines_;
}

size_t LogCapture::Count(const std::string& prefix) const {
    size_t n = 0;
    for (const auto& line : Lines()) n += line.rfind(prefix, 0) == 0;
    return n;
}

std::vector<BleEvent> BleEventRecorder::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<BleEvent> BleEventRecorder::Of(const std::string& what) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<BleEvent> out;
    for (const auto& e : events_) {
        if (e.what == what) out.push_back(e);
    }
    return out;
}

size_t BleEventRecorder::Count(const std::string& what) const { return Of(what).size(); }

bool BleEventRecorder::WaitFor(const std::string& what, size_t count, std::chrono::milliseconds deadline) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return recorded_.wait_for(lock, deadline, [&] {
        size_t n = 0;
        for (const auto& e : events_) n += e.what == what;
        return n >= count;
    });
}

void BleEventRecorder::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

void BleEventRecorder::Record(BleEvent event) {
    const DispatchQueue* queue = DispatchQueue::Current();
    event.queue = queue ? queue->label() : "";
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    recorded_.notify_all();
}

void BleEventRecorder::centralManagerDidUpdateState(CBCentralManager& central) {
    BleEvent e;
    e.what = "state";
    e.number = central.state();
    Record(std::move(e));
}

void BleEventRecorder::willRestoreState(CBCentralManager&) {
    BleEvent e;
    e.what = "restore";
    Record(std::move(e));
}

void BleEventRecorder::didDiscoverPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>& peripheral,
                                             const CBAdvertisementData& data, int rssi) {
    BleEvent e;
    e.what = "discover";
    e.peripheral = peripheral;
    e.name = data.localName;
    e.advert = data.manufacturerData;
    e.number = rssi;
    Record(std::move(e));
}

void BleEventRecorder::didConnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>& peripheral) {
    BleEvent e;
    e.what = "connect";
    e.peripheral = peripheral;
    Record(std::move(e));
}

void BleEventRecorder::didFailToConnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>& peripheral,
                                                  const NSError* error) {
    BleEvent e;
    e.what = "fail";
    e.peripheral = peripheral;
    e.error = error != nullptr;
    Record(std::move(e));
}

void BleEventRecorder::didDisconnectPeripheral(CBCentralManager&, const std::shared_ptr<CBPeripheral>& peripheral,
                                               const NSError* error) {
    BleEvent e;
    e.what = "disconnect";
    e.peripheral = peripheral;
    e.error = error != nullptr;
    Record(std::move(e));
}

void BleEventRecorder::didDiscoverServices(CBPeripheral&, const NSError* error) {
    BleEvent e;
    e.what = "services";
    e.error = error != nullptr;
    Record(std::move(e));
}

void BleEventRecorder::didDiscoverCharacteristicsForService(CBPeripheral&, const std::shared_ptr<CBService>& service,
                                                            const NSError* error) {
    BleEvent e;
    e.what = "characteristics";
    e.service = service;
    e.error = error != nullptr;
    Record(std::move(e));
}

void BleEventRecorder::didUpdateNotificationStateForCharacteristic(
    CBPeripheral&, const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    BleEvent e;
    e.what = "notifying";
    e.characteristic = characteristic;
    e.error = error != nullptr;
    Record(std::move(e));
}

void BleEventRecorder::didUpdateValueForCharacteristic(CBPeripheral&,
                                                       const std::shared_ptr<CBCharacteristic>& characteristic,
                                                       const NSError* error) {
    BleEvent e;
    e.what = "value";
    e.characteristic = characteristic;
    e.error = error != nullptr;
    if (!error) e.value = characteristic->value();
    Record(std::move(e));
}

void BleEventRecorder::didWriteValueForCharacteristic(CBPeripheral&,
                                                      const std::shared_ptr<CBCharacteristic>& characteristic,
                                                      const NSError* error) {
    BleEvent e;
    e.what = "written";
    e.characteristic = characteristic;
    e.error = error != nullptr;
    Record(std::move(e));
}

}  // namespace qvtest
