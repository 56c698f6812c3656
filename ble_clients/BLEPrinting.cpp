#include "ble_clients/BLEPrinting.h"

#include <algorithm>
#include <vector>

#include "ble_clients/BleClientTiming.h"
#include "platform/NSLog.h"

namespace {

const unsigned char kStartCommand[5] = {0x10, 0x07, 0x01, 0x00, 0x01};
const unsigned char kIndexRequest[5] = {0x10, 0x07, 0x01, 0x00, 0x00};
constexpr int kCheckpointEvery = 128;

bool BadBuffer(const unsigned char* buffer, int offset, int count) {
    return count < 0 || offset < 0 || (!buffer && count > 0);
}

}  // namespace

std::shared_ptr<BLEPrinting> BLEPrinting::Create() {
    std::shared_ptr<BLEPrinting> client(new BLEPrinting());
    client->init();
    return client;
}

BLEPrinting::BLEPrinting()
    : BLEClientBase(Profile{"BLEPrinting", DispatchQueue::Kind::Serial, {CBUUID(kServiceUUID)}, AddedLine::NameAndAddress, "UUID"}, 20) {}

bool BLEPrinting::IsOpen() const { return myCBPeripheral_ && myCBCharacteristic_ && isConnected_.load(); }

void BLEPrinting::SetWriteMode(int mode, int packetSize, int packetTimeout, int packetMaxRetry) {
    WRITE_MODE_.store(mode);
    PACKET_SIZE_.store(packetSize);
    PACKET_TIMEOUT_.store(packetTimeout);
    PACKET_MAXRETRY_.store(packetMaxRetry);
    if (auto peripheral = myCBPeripheral_.get()) {
        for (int type : {CBCharacteristicWriteWithResponse, CBCharacteristicWriteWithoutResponse}) {
            const int m = peripheral->maximumWriteValueLengthForType(type);
            if (PACKET_SIZE_.load() > m) PACKET_SIZE_.store(m);
        }
    } else if (PACKET_SIZE_.load() > DEFAULT_MAX_PACKET_SIZE_.load()) {
        PACKET_SIZE_.store(DEFAULT_MAX_PACKET_SIZE_.load());
    }
}

int BLEPrinting::Write(const unsigned char* buffer, int offset, int count) {
    if (!IsOpen()) return -1;
    if (WRITE_MODE_.load() == 2 && count > PACKET_SIZE_.load() * 5) return writeWithProto(buffer, offset, count);
    return writeWithType(buffer, offset, count,
                         WRITE_MODE_.load() == 1 ? CBCharacteristicWriteWithoutResponse
                                                 : CBCharacteristicWriteWithResponse);
}

int BLEPrinting::writeWithType(const unsigned char* buffer, int offset, int count, int type) {
    if (!IsOpen() || BadBuffer(buffer, offset, count)) return -1;
    const int ps = PACKET_SIZE_.load();
    if (ps < 1) return -1;  // no room for a single byte
    int written = 0;
    while (written < count) {
        if (!isConnected_.load()) return -1;
        const int n = writePack(buffer, offset + written, std::min(count - written, ps), type,
                                PACKET_MAXRETRY_.load());
        if (n < 0) return -1;
        if (n == 0) break;
        written += n;
    }
    return written;
}

int BLEPrinting::writePack(const unsigned char* buffer, int offset, int count, int type, int maxRetry) {
    for (int r = maxRetry;; --r) {
        if (!isConnected_.load()) return -1;
        if (writePack(buffer, offset, count, type) == count) return count;
        if (r <= 0) return 0;
    }
}

int BLEPrinting::writePack(const unsigned char* buffer, int offset, int count, int type) {
    if (type == CBCharacteristicWriteWithResponse) {
        return writePackWithResponse(buffer, offset, count, PACKET_TIMEOUT_.load());
    }
    if (type == CBCharacteristicWriteWithoutResponse) {
        return writePackWithoutResponse(buffer, offset, count, PACKET_TIMEOUT_.load());
    }
    return -1;
}

int BLEPrinting::writePackWithoutResponse(const unsigned char* buffer, int offset, int count) {
    return WriteWithoutResponseWaiting(buffer, offset, count, PACKET_SIZE_.load() / 4);
}

int BLEPrinting::writePackWithoutResponse(const unsigned char* buffer, int offset, int count, int timeout) {
    const int limitSeconds = timeout / 1000;
    const NSDate start = NSDate::date();
    int result = 0;
    while (NSDate::date().timeIntervalSinceDate(start) <= limitSeconds && limitSeconds > 0) {
        result = writePackWithoutResponse(buffer, offset, count);
        if (result != 0) return result;
    }
    return result;
}

bool BLEPrinting::WriteCommand(const unsigned char (&command)[5]) {
    return writePack(command, 0, 5, CBCharacteristicWriteWithResponse, PACKET_MAXRETRY_.load()) == 5;
}

bool BLEPrinting::WaitForReport(int seen) {
    const NSDate limit = DeadlineAfterMs(PACKET_TIMEOUT_.load());
    const int slice = static_cast<int>(GetBleClientTiming().indexReportSliceMs);
    while (true) {
        if (!isConnected_.load()) return false;
        notifyCondition_.lock();
        const bool reported = notifyReceived_.load() != seen;
        if (!reported) notifyCondition_.waitUntilDate(std::min(DeadlineAfterMs(slice), limit));
        notifyCondition_.unlock();
        if (reported) return true;
        if (!limit.isInFuture()) {
            NSLog("No Notify Index");
            return false;
        }
    }
}

int BLEPrinting::writeWithProto(const unsigned char* buffer, int offset, int count) {
    if (!IsOpen() || BadBuffer(buffer, offset, count)) return -1;
    const int ps = PACKET_SIZE_.load();
    if (ps < 2) return -1;  // the index byte would leave no room for data
    protoIndex_.store(-1);
    notifyIndex_.store(0);
    const int packets = (count + ps - 2) / (ps - 1);
    protoCount_.store(packets);
    std::vector<unsigned char> packet(static_cast<size_t>(ps));
    while (true) {
        if (!isConnected_.load()) return -1;
        // The printer's index is read once a turn: a report may land at any moment, and every
        // choice of the turn must rest on the same values, or an index at the end of the write
        // could pass for one that needs a data packet.
        const int index = protoIndex_.load();
        const int settled = notifyIndex_.load();
        if (protoTurnHook_) protoTurnHook_();
        if (index < 0) {
            NSLog("Start Proto Send");
            if (!WriteCommand(kStartCommand)) return -1;
            protoIndex_.store(0);
            continue;
        }
        // A report that confirmed the last packet (or one beyond it) before the checkpoint.
        if (index >= packets && index == settled) return index == packets ? count : -1;
        if ((index >= packets || index % kCheckpointEvery == 0) && index != settled) {
            NSLog("Request Notify Index");
            const int seen = notifyReceived_.load();
            if (!WriteCommand(kIndexRequest)) return -1;
            if (!WaitForReport(seen)) return -1;
            const int after = protoIndex_.load();
            if (after == packets) return count;
            if (after > packets) return -1;  // the printer's index lies beyond this write
            continue;
        }
        std::lock_guard<std::mutex> lock(indexLocker_);
        const int current = protoIndex_.load();
        // A report moved the index meanwhile: the turn starts again. No packet lies outside the data.
        if (current != index || current >= packets) continue;
        NSLog("protoIndex: %d", current);
        const int off = current * (ps - 1);
        const int n = std::min(ps - 1, count - off);
        packet[0] = static_cast<unsigned char>(current & 0xFF);
        std::copy(buffer + offset + off, buffer + offset + off + n, packet.begin() + 1);
        const int result = writePack(packet.data(), 0, n + 1, CBCharacteristicWriteWithoutResponse,
                                     PACKET_MAXRETRY_.load());
        if (result <= 0) return -1;
        protoIndex_.store(current + 1);
    }
}

int BLEPrinting::getNotifyIndex(const unsigned char* bytes, int length) {
    if (!bytes) return -1;
    static const unsigned char kReport[3] = {0x10, 0x07, 0xFF};
    int pos = 0;
    while (pos < length) {
        bool matched = true;
        for (unsigned char expected : kReport) {
            if (pos >= length || bytes[pos++] != expected) {
                matched = false;
                break;
            }
        }
        if (matched && pos < length) return bytes[pos];
    }
    return -1;
}

void BLEPrinting::didDiscoverServices(CBPeripheral& peripheral, const NSError* error) {
    DiscoverProfileCharacteristics(peripheral, error, kServiceUUID, kLogCount);
}

void BLEPrinting::didDiscoverCharacteristicsForService(CBPeripheral& peripheral,
                                                       const std::shared_ptr<CBService>& service,
                                                       const NSError* error) {
    const auto characteristics = service->characteristics();
    const std::string& uuid = service->UUID().UUIDString();
    if (error) {
        NSLog("Characteristics discovery was unsuccessful\n%s\n", error->description().c_str());
    } else {
        NSLog("Discovered %ld characteristics of service with UUID %s(%s)\n",
              static_cast<long>(characteristics.size()), uuid.c_str(), uuid.c_str());
    }
    for (const auto& characteristic : characteristics) {
        const std::string& text = characteristic->UUID().UUIDString();
        NSLog("Discovered characteristic with UUID %s(%s)\n", text.c_str(), text.c_str());
        if (text == kCharacteristicUUID) peripheral.setNotifyValue(true, characteristic);
    }
}

void BLEPrinting::didUpdateNotificationStateForCharacteristic(CBPeripheral& peripheral,
                                                              const std::shared_ptr<CBCharacteristic>& characteristic,
                                                              const NSError* error) {
    if (error) {
        NSLog("Error changing notification state: %s, characteristic UUID %s", error->localizedDescription.c_str(),
              characteristic->UUID().UUIDString().c_str());
        return;
    }
    NSLog("didUpdateNotificationStateForCharacteristic successed");
    // The size is lowered before the characteristic is published, so an opener that sees
    // the profile ready never writes with the size of an earlier printer.
    LowerPacketSize(peripheral, *characteristic);
    myCBPeripheral_.set(peripheral.shared_from_this());
    myCBCharacteristic_.set(characteristic);
}

void BLEPrinting::didUpdateValueForCharacteristic(CBPeripheral&, const std::shared_ptr<CBCharacteristic>& characteristic,
                                                  const NSError* error) {
    if (error) {
        NSLog("Error on UpdateValueForCharacteristic");
        return;
    }
    const std::vector<uint8_t> value = characteristic->value();
    for (uint8_t byte : value) rxBuffer_.putByte(byte);
    const int i = getNotifyIndex(value.data(), static_cast<int>(value.size()));
    if (i < 0) return;
    std::lock_guard<std::mutex> lock(indexLocker_);
    int index = protoIndex_.load();
    NSLog("Notify Received. Current protoIndex: %d", index);
    // Before the start command is written there is no packet to place the report against.
    if (index >= 0) {
        if (index >= 256 && (index & 0x80) == 0 && (i & 0x80) != 0) index -= 256;
        if ((index & 0xFF) != i) index = (index & ~0xFF) + i;
        protoIndex_.store(index);
        notifyIndex_.store(index);
    }
    notifyCondition_.lock();
    notifyReceived_.fetch_add(1);
    notifyCondition_.signal();
    notifyCondition_.unlock();
    NSLog("Notify Index: %d(%d)", i, notifyIndex_.load());
}
