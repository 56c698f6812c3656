#include "ble/GattLink.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "ble/BleTiming.h"
#include "platform/NSDate.h"
#include "platform/NSLog.h"

std::string PeripheralName(const CBPeripheral& peripheral) { return peripheral.name().value_or("(null)"); }

std::shared_ptr<CBCharacteristic> GattLink::writeCharacteristic() const {
    std::lock_guard<std::mutex> lock(characteristicsMutex_);
    return writeCharacteristic_;
}

std::shared_ptr<CBCharacteristic> GattLink::readCharacteristic() const {
    std::lock_guard<std::mutex> lock(characteristicsMutex_);
    return readCharacteristic_;
}

void GattLink::setWriteCharacteristic(std::shared_ptr<CBCharacteristic> characteristic) {
    std::lock_guard<std::mutex> lock(characteristicsMutex_);
    writeCharacteristic_ = std::move(characteristic);
}

void GattLink::setReadCharacteristic(std::shared_ptr<CBCharacteristic> characteristic) {
    std::lock_guard<std::mutex> lock(characteristicsMutex_);
    readCharacteristic_ = std::move(characteristic);
}

void GattLink::forgetCharacteristics() {
    std::lock_guard<std::mutex> lock(characteristicsMutex_);
    writeCharacteristic_.reset();
    readCharacteristic_.reset();
}

int GattLink::read(uint8_t* buffer, int offset, int count, int timeoutMs, const std::function<bool()>& linkUp) {
    if (count > 0 && (!buffer || offset < 0)) return -1;
    const int pollMs = GetBleTiming().pollMs;
    const NSDate deadline = DeadlineAfterMs(timeoutMs);
    int n = 0;
    while (deadline.isInFuture()) {
        if (!linkUp()) return -1;
        if (n >= count) break;
        while (!rxBuffer_.isEmpty() && n < count) buffer[offset + n++] = rxBuffer_.getByte();
        if (n >= count) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return n;
}

void GattLink::write(CBPeripheral& peripheral, const uint8_t* bytes, int count, int type) {
    writeResponse_ = kNoResponse;
    peripheral.writeValue(std::vector<uint8_t>(bytes, bytes + count), writeCharacteristic(), type);
}

GattLink::WaitResult GattLink::writeAndWait(CBPeripheral& peripheral, const uint8_t* bytes, int count, int type,
                                            int timeoutMs, const std::function<bool()>& linkUp) {
    write(peripheral, bytes, count, type);
    const double pollSeconds = GetBleTiming().pollMs / 1000.0;
    const NSDate start = NSDate::date();
    for (;;) {
        if (-start.timeIntervalSinceNow() > timeoutMs / 1000.0) return WaitResult::TimedOut;
        if (!linkUp()) return WaitResult::LinkDown;
        if (writeResponse_.load() != kNoResponse) return WaitResult::Answered;
        writeResponseCondition_.lock();
        writeResponseCondition_.waitUntilDate(NSDate::date().dateByAddingTimeInterval(pollSeconds));
        writeResponseCondition_.unlock();
    }
}

void GattLink::onCharacteristicsDiscovered(
    const std::shared_ptr<CBService>& service, const NSError* error,
    const std::function<void(const std::shared_ptr<CBCharacteristic>&)>& match) {
    if (!service) return;
    const auto characteristics = service->characteristics();
    if (error) {
        NSLog("Characteristics discovery was unsuccessful\n%s\n", error->description().c_str());
    } else {
        NSLog("Discovered %ld characteristics for service %s\n", static_cast<long>(characteristics.size()),
              service->UUID().UUIDString().c_str());
    }
    for (const auto& characteristic : characteristics) {
        NSLog("Discovered characteristic uuid %s\n", characteristic->UUID().UUIDString().c_str());
        match(characteristic);
    }
}

void GattLink::onNotificationState(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error,
                                   const CBUUID& notifyUuid) {
    if (!characteristic) return;
    if (error) {
        NSLog("Error changing notification state: %s, characteristic uuid %s", error->localizedDescription.c_str(),
              characteristic->UUID().UUIDString().c_str());
        return;
    }
    NSLog("didUpdateNotificationStateForCharacteristic %s successed", characteristic->UUID().UUIDString().c_str());
    if (characteristic->UUID() == notifyUuid) setReadCharacteristic(characteristic);
}

void GattLink::onWriteValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    if (error) {
        NSLog("Error writing characteristic value: %s, characteristic uuid %s", error->localizedDescription.c_str(),
              characteristic ? characteristic->UUID().UUIDString().c_str() : "(null)");
        writeResponse_ = kFailed;
    } else {
        writeResponse_ = kConfirmed;
    }
    writeResponseCondition_.lock();
    writeResponseCondition_.signal();
    writeResponseCondition_.unlock();
}

void GattLink::onValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    if (error) {
        NSLog("Error on UpdateValueForCharacteristic");
        return;
    }
    if (!characteristic || characteristic != readCharacteristic()) return;
    for (uint8_t byte : characteristic->value()) rxBuffer_.putByte(byte);
}
