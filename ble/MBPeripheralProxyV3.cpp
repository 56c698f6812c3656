#include "ble/MBPeripheralProxyV3.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "ble/BleTiming.h"
#include "platform/NSDate.h"
#include "platform/NSLog.h"

namespace {

void MatchV3Characteristic(GattLink& link, ProtoV3FlowControl& flow, CBPeripheral& peripheral,
                           const std::shared_ptr<CBCharacteristic>& characteristic) {
    const CBUUID& uuid = characteristic->UUID();
    if (uuid == MBPeripheralProxyV3::ReadCharacteristicUUID() ||
        uuid == MBPeripheralProxyV3::FlowControlCharacteristicUUID()) {
        peripheral.setNotifyValue(true, characteristic);
    }
    if (!(uuid == MBPeripheralProxyV3::WriteCharacteristicUUID())) return;
    link.setWriteCharacteristic(characteristic);
    if (characteristic->properties() & CBCharacteristicPropertyWriteWithoutResponse) {
        flow.setMaximumWriteValueLength(peripheral.maximumWriteValueLengthForType(CBCharacteristicWriteWithoutResponse));
        NSLog("maximumWriteValueLength Without Response:%d", flow.maximumWriteValueLength());
    }
}

void OnV3NotificationState(GattLink& link, ProtoV3FlowControl& flow,
                           const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    link.onNotificationState(characteristic, error, MBPeripheralProxyV3::ReadCharacteristicUUID());
    if (error || !characteristic) return;
    if (characteristic->UUID() == MBPeripheralProxyV3::FlowControlCharacteristicUUID()) {
        flow.setFlowControlCharacteristic(characteristic);
    }
}

void OnV3Value(GattLink& link, ProtoV3FlowControl& flow, const std::shared_ptr<CBCharacteristic>& characteristic,
               const NSError* error) {
    if (!error && characteristic && characteristic == flow.flowControlCharacteristic()) {
        flow.onFlowControlValue(characteristic->value());
        return;
    }
    link.onValue(characteristic, error);
}

// The credit sending loop and its pieces, over either owner's link and counters.
struct CreditWriter {
    GattLink& link;
    ProtoV3FlowControl& flow;
    CBPeripheral& peripheral;
    std::function<bool()> linkUp;

    // A time-out of 0 or less writes without waiting for an answer.
    int piece(const uint8_t* bytes, int count, int timeoutMs) {
        if (timeoutMs <= 0) {
            peripheral.writeValue(std::vector<uint8_t>(bytes, bytes + count), link.writeCharacteristic(),
                                  CBCharacteristicWriteWithoutResponse);
            return count;
        }
        const auto result =
            link.writeAndWait(peripheral, bytes, count, CBCharacteristicWriteWithoutResponse, timeoutMs, linkUp);
        if (result == GattLink::WaitResult::LinkDown) return -1;
        return link.writeResponse() < 0 ? 0 : count;
    }

    int groupPack(const uint8_t* data, int count, int timeoutMs) {
        // The credits and the granted total belong to the connection: one write at a time.
        const auto writing = link.lockWrites();
        const int size = std::min(flow.maximumWriteValueLength(), flow.printerRespondedMTUSize());
        if (size < 1) return -1;
        const int64_t pieces = (int64_t{count} + size - 1) / size;
        if (flow.printerRespondedCreditsCurrentValue() < 1) return -1;
        flow.resetCreditsTotal();
        const int pollMs = GetBleTiming().pollMs;
        const NSDate start = NSDate::date();
        int64_t sent = 0;
        for (;;) {
            const unsigned seen = flow.changes();
            if (!linkUp()) return -1;
            // Done only once every piece went out and the printer granted at least one credit
            // back for each: a batch of grants may overshoot the count.
            if (sent == pieces && flow.printerRespondedCreditsTotalValue() >= pieces) return count;
            if (-start.timeIntervalSinceNow() > timeoutMs / 1000.0) return 0;
            if (sent == pieces || flow.printerRespondedCreditsCurrentValue() < 1) {
                flow.waitForChange(seen, pollMs);
                continue;
            }
            const int64_t offset = sent * size;
            piece(data + offset, static_cast<int>(std::min<int64_t>(size, count - offset)), 0);
            ++sent;
            flow.useCredit();
        }
    }

    int write(const uint8_t* buffer, int offset, int count, int timeoutMs) {
        const int64_t least = int64_t{count} + GetBleTiming().v3WriteTimeoutFloorMs;
        if (timeoutMs < least) timeoutMs = static_cast<int>(std::min<int64_t>(least, INT_MAX));
        const int result = groupPack(buffer + offset, count, timeoutMs);
        if (result != count) NSLog("Write Failed %d/%d", result, count);
        return result;
    }
};

}  // namespace

// ---- ProtoV3FlowControl ----

std::shared_ptr<CBCharacteristic> ProtoV3FlowControl::flowControlCharacteristic() const {
    std::lock_guard<std::mutex> lock(characteristicMutex_);
    return flowControl_;
}

void ProtoV3FlowControl::setFlowControlCharacteristic(std::shared_ptr<CBCharacteristic> characteristic) {
    std::lock_guard<std::mutex> lock(characteristicMutex_);
    flowControl_ = std::move(characteristic);
}

void ProtoV3FlowControl::resetAnnouncements() {
    std::lock_guard<std::mutex> lock(printerRespondedLock_);
    mtu_ = 0;
    creditsCurrent_ = 0;
}

void ProtoV3FlowControl::resetCreditsTotal() {
    std::lock_guard<std::mutex> lock(printerRespondedLock_);
    creditsTotal_ = 0;
}

void ProtoV3FlowControl::useCredit() {
    std::lock_guard<std::mutex> lock(printerRespondedLock_);
    creditsCurrent_ = creditsCurrent_ - 1;
}

void ProtoV3FlowControl::onFlowControlValue(const std::vector<uint8_t>& value) {
    if (value.size() == 3 && value[0] == 0x02) {
        std::lock_guard<std::mutex> lock(printerRespondedLock_);
        mtu_ = value[1];
    } else if (value.size() == 2 && value[0] == 0x01) {
        std::lock_guard<std::mutex> lock(printerRespondedLock_);
        // A printer that keeps granting must not wrap the counters round.
        const int n = value[1];
        creditsCurrent_ = creditsCurrent_ > INT_MAX - n ? INT_MAX : creditsCurrent_ + n;
        creditsTotal_ = creditsTotal_ > INT_MAX - n ? INT_MAX : creditsTotal_ + n;
    } else {
        return;
    }
    changed();
}

void ProtoV3FlowControl::changed() {
    {
        std::lock_guard<std::mutex> lock(printerRespondedLock_);
        ++changes_;
    }
    changedCondition_.notify_all();
}

void ProtoV3FlowControl::waitForChange(unsigned seen, int ms) {
    std::unique_lock<std::mutex> lock(printerRespondedLock_);
    changedCondition_.wait_for(lock, std::chrono::milliseconds(std::max(ms, 1)),
                               [&] { return changes_.load() != seen; });
}

// ---- MBPeripheralProxyV3 ----

const CBUUID& MBPeripheralProxyV3::ServiceUUID() {
    static const CBUUID uuid("FF00");
    return uuid;
}

const CBUUID& MBPeripheralProxyV3::ReadCharacteristicUUID() {
    static const CBUUID uuid("FF01");
    return uuid;
}

const CBUUID& MBPeripheralProxyV3::WriteCharacteristicUUID() {
    static const CBUUID uuid("FF02");
    return uuid;
}

const CBUUID& MBPeripheralProxyV3::FlowControlCharacteristicUUID() {
    static const CBUUID uuid("FF03");
    return uuid;
}

bool MBPeripheralProxyV3::profileCharacteristicsKnown() const {
    return link_.hasBothCharacteristics() && flow_.flowControlCharacteristic();
}

void MBPeripheralProxyV3::forgetProfileCharacteristics() {
    link_.forgetCharacteristics();
    flow_.setFlowControlCharacteristic(nullptr);
}

bool MBPeripheralProxyV3::writeReady(const void* buffer, int offset, int count) const {
    if (!hasCentralAndPeripheral()) return false;
    if (count < 0 || offset < 0 || (count > 0 && !buffer)) return false;
    return myPeripheral()->state() == CBPeripheral::Connected && link_.writeCharacteristic() && isConnected_.load();
}

int MBPeripheralProxyV3::Write(const uint8_t* buffer, int offset, int count, int timeoutMs) {
    if (!writeReady(buffer, offset, count)) return -1;
    return CreditWriter{link_, flow_, *myPeripheral(), [this] { return isConnected_.load(); }}.write(
        buffer, offset, count, timeoutMs);
}

int MBPeripheralProxyV3::writeGroupPack(const uint8_t* data, int count, int timeoutMs) {
    if (!writeReady(data, 0, count)) return -1;
    return CreditWriter{link_, flow_, *myPeripheral(), [this] { return isConnected_.load(); }}.groupPack(
        data, count, timeoutMs);
}

int MBPeripheralProxyV3::writePackWithoutResponse(const uint8_t* buffer, int offset, int count, int timeoutMs) {
    if (!writeReady(buffer, offset, count)) return -1;
    const auto writing = link_.lockWrites();
    return CreditWriter{link_, flow_, *myPeripheral(), [this] { return isConnected_.load(); }}.piece(
        buffer + offset, count, timeoutMs);
}

void MBPeripheralProxyV3::matchCharacteristic(CBPeripheral& peripheral,
                                              const std::shared_ptr<CBCharacteristic>& characteristic) {
    MatchV3Characteristic(link_, flow_, peripheral, characteristic);
}

void MBPeripheralProxyV3::didUpdateNotificationStateForCharacteristic(
    CBPeripheral&, const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    OnV3NotificationState(link_, flow_, characteristic, error);
}

void MBPeripheralProxyV3::didUpdateValueForCharacteristic(CBPeripheral&,
                                                          const std::shared_ptr<CBCharacteristic>& characteristic,
                                                          const NSError* error) {
    OnV3Value(link_, flow_, characteristic, error);
}

// ---- MBPeripheralProxyVAHandlerV3 ----

MBPeripheralProxyVAHandlerV3::MBPeripheralProxyVAHandlerV3()
    : MBPeripheralProxyVAProfileHandler("MBPeripheralProxyVAHandlerV3") {}

bool MBPeripheralProxyVAHandlerV3::hasSupportedServiceInServices(const CBServiceList* services) {
    return HasService("MBPeripheralProxyVAHandlerV3", MBPeripheralProxyV3::ServiceUUID(), services);
}

void MBPeripheralProxyVAHandlerV3::matchCharacteristic(CBPeripheral& peripheral,
                                                       const std::shared_ptr<CBCharacteristic>& characteristic) {
    MatchV3Characteristic(link_, flow_, peripheral, characteristic);
}

bool MBPeripheralProxyVAHandlerV3::profileReady() const {
    return link_.hasBothCharacteristics() && flow_.flowControlCharacteristic() && flow_.announced();
}

void MBPeripheralProxyVAHandlerV3::forgetProfileCharacteristics() {
    link_.forgetCharacteristics();
    flow_.setFlowControlCharacteristic(nullptr);
}

void MBPeripheralProxyVAHandlerV3::onNotificationOn(const std::shared_ptr<CBCharacteristic>& characteristic) {
    if (characteristic->UUID() == MBPeripheralProxyV3::FlowControlCharacteristicUUID()) {
        flow_.setFlowControlCharacteristic(characteristic);
    }
}

void MBPeripheralProxyVAHandlerV3::onValue(const std::shared_ptr<CBCharacteristic>& characteristic,
                                           const NSError* error) {
    OnV3Value(link_, flow_, characteristic, error);
}

int MBPeripheralProxyVAHandlerV3::doWrite(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer,
                                          int offset, int count, int timeoutMs) {
    const int entry = writeEntry(peripheral, buffer, offset, count);
    if (entry != kGoAhead) return entry;
    return CreditWriter{link_, flow_, *peripheral, [peripheral] { return Connected(peripheral); }}.write(
        buffer, offset, count, timeoutMs);
}

int MBPeripheralProxyVAHandlerV3::doWriteGroupPack(const std::shared_ptr<CBPeripheral>& peripheral,
                                                   const uint8_t* data, int count, int timeoutMs) {
    const int entry = writeEntry(peripheral, data, 0, count);
    if (entry != kGoAhead) return entry;
    return CreditWriter{link_, flow_, *peripheral, [peripheral] { return Connected(peripheral); }}.groupPack(
        data, count, timeoutMs);
}

int MBPeripheralProxyVAHandlerV3::doWritePackWithoutResponse(const std::shared_ptr<CBPeripheral>& peripheral,
                                                             const uint8_t* buffer, int offset, int count,
                                                             int timeoutMs) {
    const int entry = writeEntry(peripheral, buffer, offset, count);
    if (entry != kGoAhead) return entry;
    const auto writing = link_.lockWrites();
    return CreditWriter{link_, flow_, *peripheral, [peripheral] { return Connected(peripheral); }}.piece(
        buffer + offset, count, timeoutMs);
}
