#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "ble/BufferPool.h"
#include "platform/CBPeripheral.h"
#include "platform/NSCondition.h"

// What every profile keeps per connection, proxy or automatic-profile handler alike: the
// receive ring, the characteristics written and notifying, and the outcome of the last GATT
// write with the condition that cuts its wait short. The delegate callbacks of the central's
// queue change it; the reading and writing threads poll it.
class GattLink {
public:
    // Outcome of the last write: 0 none yet, 1 confirmed, -1 failed.
    enum : int { kNoResponse = 0, kConfirmed = 1, kFailed = -1 };
    enum class WaitResult { Answered, TimedOut, LinkDown };

    BufferPool& rxBuffer() { return rxBuffer_; }
    std::shared_ptr<CBCharacteristic> writeCharacteristic() const;
    std::shared_ptr<CBCharacteristic> readCharacteristic() const;
    void setWriteCharacteristic(std::shared_ptr<CBCharacteristic> characteristic);
    void setReadCharacteristic(std::shared_ptr<CBCharacteristic> characteristic);
    bool hasBothCharacteristics() const { return writeCharacteristic() && readCharacteristic(); }
    void forgetCharacteristics();
    int writeResponse() const { return writeResponse_.load(); }
    // Held for the whole of one caller's write: the writes of one connection share the
    // outcome field and the printer's flow state, so a second writer waits its turn.
    std::unique_lock<std::mutex> lockWrites() { return std::unique_lock<std::mutex>(writeMutex_); }

    // Takes received bytes into buffer[offset...] until count arrived or the time-out passed;
    // -1 as soon as linkUp() turns false. A time-out of 0 or less returns 0 at once.
    int read(uint8_t* buffer, int offset, int count, int timeoutMs, const std::function<bool()>& linkUp);
    // Writes one value to the write characteristic after clearing the last outcome.
    void write(CBPeripheral& peripheral, const uint8_t* bytes, int count, int type);
    // Writes one value to the write characteristic and waits up to timeoutMs for its outcome,
    // which writeResponse() then holds.
    WaitResult writeAndWait(CBPeripheral& peripheral, const uint8_t* bytes, int count, int type, int timeoutMs,
                            const std::function<bool()>& linkUp);

    // Delegate callbacks shared by the profiles; each logs as the profiles document.
    void onCharacteristicsDiscovered(const std::shared_ptr<CBService>& service, const NSError* error,
                                     const std::function<void(const std::shared_ptr<CBCharacteristic>&)>& match);
    void onNotificationState(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error,
                             const CBUUID& notifyUuid);
    void onWriteValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error);
    void onValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error);

private:
    BufferPool rxBuffer_;
    mutable std::mutex characteristicsMutex_;
    std::shared_ptr<CBCharacteristic> writeCharacteristic_;
    std::shared_ptr<CBCharacteristic> readCharacteristic_;
    std::mutex writeMutex_;
    std::atomic<int> writeResponse_{kNoResponse};
    NSCondition writeResponseCondition_;
};

// The text a peripheral's name prints as in log lines.
std::string PeripheralName(const CBPeripheral& peripheral);
