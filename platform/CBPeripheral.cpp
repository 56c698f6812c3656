#include "platform/CBPeripheral.h"

#include "platform/DispatchQueue.h"
#include "platform/SimulatedRadio.h"

std::vector<uint8_t> CBCharacteristic::value() const {
    std::lock_guard<std::mutex> lock(valueMutex_);
    return value_;
}

void CBCharacteristic::setValue(std::vector<uint8_t> value) {
    std::lock_guard<std::mutex> lock(valueMutex_);
    value_ = std::move(value);
}

std::vector<std::shared_ptr<CBCharacteristic>> CBService::characteristics() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return characteristics_;
}

CBPeripheral::CBPeripheral(std::weak_ptr<CBCentralManager> central, std::weak_ptr<SimulatedPrinter> printer,
                           std::optional<std::string> name, std::shared_ptr<DispatchStrand> strand)
    : central_(std::move(central)), printer_(std::move(printer)), name_(std::move(name)), strand_(std::move(strand)) {}

CBPeripheral::~CBPeripheral() = default;

void CBPeripheral::setDelegate(std::weak_ptr<CBPeripheralDelegate> delegate) {
    SimulatedRadio::Instance().SetDelegate(*this, std::move(delegate));
}

std::vector<std::shared_ptr<CBService>> CBPeripheral::services() const {
    return SimulatedRadio::Instance().Services(*this);
}

void CBPeripheral::discoverServices() { SimulatedRadio::Instance().DiscoverServices(*this); }

void CBPeripheral::discoverCharacteristics(const std::shared_ptr<CBService>& service) {
    SimulatedRadio::Instance().DiscoverCharacteristics(*this, service);
}

void CBPeripheral::setNotifyValue(bool enabled, const std::shared_ptr<CBCharacteristic>& characteristic) {
    SimulatedRadio::Instance().SetNotify(*this, enabled, characteristic);
}

void CBPeripheral::writeValue(const std::vector<uint8_t>& data, const std::shared_ptr<CBCharacteristic>& characteristic,
                              int type) {
    SimulatedRadio::Instance().Write(*this, data, characteristic, type);
}

int CBPeripheral::maximumWriteValueLengthForType(int type) const {
    return SimulatedRadio::Instance().MaximumWriteLength(*this, type);
}
