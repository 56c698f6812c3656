#include "ble_clients/BLERWProtoV3.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "ble_clients/BleClientTiming.h"
#include "platform/NSLog.h"

namespace {

// Diagnostic switches of the detailed log lines; nothing turns them on.
constexpr bool debug_send = false;
constexpr bool debug_speed = false;
constexpr bool debug_recv = false;

}  // namespace

std::shared_ptr<BLERWProtoV3> BLERWProtoV3::Create() {
    std::shared_ptr<BLERWProtoV3> client(new BLERWProtoV3());
    client->init();
    return client;
}

BLERWProtoV3::BLERWProtoV3()
    : BLEClientBase(Profile{"com.quorvantelmise.BLERWProtoV3", DispatchQueue::Kind::Concurrent, {}, AddedLine::Bare,
                            "uuid"},
                    20) {}

bool BLERWProtoV3::Usable() const {
    auto peripheral = myCBPeripheral_.get();
    return peripheral && myCBWriteCharacteristic_ && isConnected_.load() &&
           peripheral->state() == CBPeripheral::Connected;
}

void BLERWProtoV3::BeforeConnect() {
    std::lock_guard<std::mutex> lock(printerRespondedLock_);
    printerRespondedMTUSize_.store(0);
    printerRespondedCreditsCurrentValue_.store(0);
}

int BLERWProtoV3::writePackWithoutResponse(const unsigned char* buffer, int offset, int count, int timeout) {
    return WriteWithoutResponseWaiting(buffer, offset, count, timeout);
}

int BLERWProtoV3::writeGroupPack(const unsigned char* data, int count, int timeout) {
    if (!Usable()) return -1;
    if (count < 0 || (!data && count > 0)) return -1;
    const int size = std::min(PACKET_SIZE_.load(), printerRespondedMTUSize_.load());
    if (size < 1) return -1;
    const int chunks = static_cast<int>((static_cast<long long>(count) + size - 1) / size);
    if (printerRespondedCreditsCurrentValue_.load() < 1) return -1;
    {
        std::lock_guard<std::mutex> lock(printerRespondedLock_);
        printerRespondedCreditsTotalValue_.store(0);
    }
    int sent = 0;
    const NSDate deadline = DeadlineAfterMs(timeout);
    while (true) {
        if (!deadline.isInFuture()) return 0;
        if (!isConnected_.load()) return -1;
        if (printerRespondedCreditsTotalValue_.load() == chunks) return count;
        if (sent == chunks || printerRespondedCreditsCurrentValue_.load() <= 0) {
            // Waiting for the printer: give the processor back for a moment.
            std::this_thread::sleep_for(std::chrono::microseconds(1));
            continue;
        }
        const int from = sent * size;
        const int to = std::min(from + size, count);
        writePackWithoutResponse(data, from, to - from, 0);
        ++sent;
        {
            std::lock_guard<std::mutex> lock(printerRespondedLock_);
            printerRespondedCreditsCurrentValue_.fetch_sub(1);
        }
        if (debug_send) NSLog("writeGroupPack %d/%d", sent, chunks);
    }
}

int BLERWProtoV3::Write(const unsigned char* buffer, int offset, int count, int timeout) {
    if (!myCBPeripheral_ || !myCBWriteCharacteristic_ || !isConnected_.load()) return -1;
    if (offset < 0 || count < 0 || (!buffer && count > 0)) return -1;
    const NSDate start = NSDate::date();
    const long long floor = static_cast<long long>(count) + GetBleClientTiming().groupWriteExtraMs;
    if (timeout < floor) timeout = static_cast<int>(std::min<long long>(floor, INT32_MAX));
    const int result = writeGroupPack(buffer ? buffer + offset : nullptr, count, timeout);
    if (result != count) NSLog("Write Failed %d/%d", result, count);
    if (debug_speed) {
        const double seconds = NSDate::date().timeIntervalSinceDate(start);
        if (result > 0 && seconds > 0) {
            NSLog("Written %d Bytes Used %.1f Second. Speed %.1f kb/s", result, seconds, result / seconds / 1024);
        } else {
            NSLog("Written %d Bytes Used %.1f Second.", result, seconds);
        }
    }
    return result;
}

void BLERWProtoV3::ApplyFlowControl(const std::vector<uint8_t>& value) {
    std::lock_guard<std::mutex> lock(printerRespondedLock_);
    if (value.size() == 3 && value[0] == 0x02) {
        printerRespondedMTUSize_.store(value[1]);
    } else if (value.size() == 2 && value[0] == 0x01) {
        printerRespondedCreditsCurrentValue_.fetch_add(value[1]);
        printerRespondedCreditsTotalValue_.fetch_add(value[1]);
        if (debug_recv) NSLog("printerRespondedCreditsCurrentValue %d", printerRespondedCreditsCurrentValue_.load());
    }
}

void BLERWProtoV3::didUpdateValueForCharacteristic(CBPeripheral&,
                                                   const std::shared_ptr<CBCharacteristic>& characteristic,
                                                   const NSError* error) {
    if (error) {
        NSLog("Error on UpdateValueForCharacteristic");
        return;
    }
    const std::vector<uint8_t> value = characteristic->value();
    if (debug_recv) {
        std::string line;
        char hex[4];
        for (uint8_t byte : value) {
            std::snprintf(hex, sizeof hex, " %02X", byte);
            line += hex;
        }
        NSLog("%s Received %02lu Bytes:%s", characteristic->UUID().UUIDString().c_str(),
              static_cast<unsigned long>(value.size()), line.c_str());
    }
    if (characteristic == myCBReadCharacteristic_.get()) {
        // One notification at a time, so the ring keeps their order on the concurrent queue.
        std::lock_guard<std::mutex> lock(receiveLock_);
        for (uint8_t byte : value) rxBuffer_.putByte(byte);
    } else if (characteristic == myCBFlowControlCharacteristic_.get()) {
        ApplyFlowControl(value);
    }
}

void BLERWProtoV3::centralManagerDidUpdateState(CBCentralManager& central) {
    if (central.state() == CBManagerStatePoweredOn) {
        NSLog("CentralManager powered on");
        return;
    }
    isConnected_.store(false);
    NSLog("CentralManager not powered on");
}

void BLERWProtoV3::didDiscoverServices(CBPeripheral& peripheral, const NSError* error) {
    DiscoverProfileCharacteristics(peripheral, error, service_uuid, kLogCount | kLogEach);
}

void BLERWProtoV3::didDiscoverCharacteristicsForService(CBPeripheral& peripheral,
                                                        const std::shared_ptr<CBService>& service,
                                                        const NSError* error) {
    const auto characteristics = service->characteristics();
    if (error) {
        NSLog("Characteristics discovery was unsuccessful\n%s\n", error->description().c_str());
    } else {
        NSLog("Discovered %ld characteristics for service %s\n", static_cast<long>(characteristics.size()),
              service->UUID().UUIDString().c_str());
    }
    for (const auto& characteristic : characteristics) {
        const std::string& uuid = characteristic->UUID().UUIDString();
        NSLog("Discovered characteristic uuid %s\n", uuid.c_str());
        if (uuid == read_characteristic_uuid || uuid == flowcontrol_characteristic_uuid) {
            peripheral.setNotifyValue(true, characteristic);
        }
        if (uuid == write_characteristic_uuid) {
            if (characteristic->properties() & CBCharacteristicPropertyWriteWithoutResponse) {
                PACKET_SIZE_.store(peripheral.maximumWriteValueLengthForType(CBCharacteristicWriteWithoutResponse));
                NSLog("maximumWriteValueLength Without Response:%d", PACKET_SIZE_.load());
            }
            myCBPeripheral_.set(peripheral.shared_from_this());
            myCBWriteCharacteristic_.set(characteristic);
        }
    }
}

void BLERWProtoV3::didUpdateNotificationStateForCharacteristic(CBPeripheral&,
                                                               const std::shared_ptr<CBCharacteristic>& characteristic,
                                                               const NSError* error) {
    const std::string& uuid = characteristic->UUID().UUIDString();
    if (error) {
        NSLog("Error changing notification state: %s, characteristic uuid %s", error->localizedDescription.c_str(),
              uuid.c_str());
        return;
    }
    NSLog("didUpdateNotificationStateForCharacteristic %s successed", uuid.c_str());
    if (uuid == read_characteristic_uuid) {
        myCBReadCharacteristic_.set(characteristic);
    } else if (uuid == flowcontrol_characteristic_uuid) {
        myCBFlowControlCharacteristic_.set(characteristic);
    }
}
