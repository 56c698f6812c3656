#include "ble_clients/BLERWProtoV2.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <random>
#include <thread>

#include "base/SaturatingAdd.h"
#include "ble_clients/BleClientTiming.h"
#include "platform/NSLog.h"

namespace {

constexpr int kSetupPacketSize = 17;
constexpr int kSetupAttempts = 10;
constexpr int kHeaderSize = 4;

unsigned U16(const unsigned char* bytes) { return bytes[0] | (bytes[1] << 8); }

unsigned char RandomByte() {
    thread_local std::minstd_rand generator{std::random_device{}()};
    return static_cast<unsigned char>(generator() % 256);
}

}  // namespace

std::shared_ptr<BLERWProtoV2> BLERWProtoV2::Create() {
    std::shared_ptr<BLERWProtoV2> client(new BLERWProtoV2());
    client->init();
    return client;
}

BLERWProtoV2::BLERWProtoV2()
    : BLEClientBase(Profile{"com.quorvantelmise.BLERWProtoV2", DispatchQueue::Kind::Concurrent, {}, AddedLine::NameOnly, "UUID"}, 200) {}

bool BLERWProtoV2::Usable() const {
    auto peripheral = myCBPeripheral_.get();
    return peripheral && myCBWriteCharacteristic_ && isConnected_.load();
}

int BLERWProtoV2::writePackWithoutResponse(const unsigned char* buffer, int offset, int count, int timeout) {
    return WriteWithoutResponseWaiting(buffer, offset, count, timeout);
}

bool BLERWProtoV2::setupGroupPack(int mtusize, int pktcount) {
    unsigned char packet[kSetupPacketSize] = {0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x02};
    packet[10] = static_cast<unsigned char>(pktcount & 0xFF);
    packet[11] = static_cast<unsigned char>((pktcount >> 8) & 0xFF);
    packet[12] = static_cast<unsigned char>(mtusize & 0xFF);
    for (int i = 13; i < kSetupPacketSize; ++i) packet[i] = RandomByte();
    const BleClientTiming timing = GetBleClientTiming();
    for (int attempt = 0; attempt < kSetupAttempts; ++attempt) {
        if (writePackWithoutResponse(packet, 0, kSetupPacketSize, static_cast<int>(timing.setupWriteMs)) !=
            kSetupPacketSize) {
            NSLog("setupGroupPack retry %d writePackWithoutResponse Error", attempt);
            return false;
        }
        const NSDate deadline = DeadlineAfterMs(static_cast<int>(timing.setupReplyMs));
        while (deadline.isInFuture()) {
            if (!isConnected_.load()) return false;
            if (nPrinterResponedPacketCountToReceive_.load() != 0 && nPrinterResponedMTUSize_.load() != 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(timing.pollSleepMs));
        }
        const int count = nPrinterResponedPacketCountToReceive_.load();
        const int mtu = nPrinterResponedMTUSize_.load();
        if (count == pktcount && mtu == mtusize) return true;
        NSLog("setupGroupPack retry %d received count %d expected %d, received size %d expected %d", attempt, count,
              pktcount, mtu, mtusize);
    }
    return false;
}

int BLERWProtoV2::TakeIndex(int payload, bool& resend) {
    std::lock_guard<std::mutex> lock(mPacketListLock_);
    if (!mPacketRetryList_.empty()) {
        const int index = mPacketRetryList_.front();
        mPacketRetryList_.pop_front();
        resend = true;
        return index;
    }
    if (!mPacketIndexList_.empty() && nPrinterBufferValidSize_.load() >= payload) {
        const int index = mPacketIndexList_.front();
        mPacketIndexList_.pop_front();
        resend = false;
        return index;
    }
    return -1;
}

int BLERWProtoV2::writeGroupPack(const unsigned char* data, int count, int timeout) {
    auto peripheral = myCBPeripheral_.get();
    if (!Usable() || !peripheral || peripheral->state() != CBPeripheral::Connected) return -1;
    if (count < 0 || (!data && count > 0)) return -1;
    nPrinterResponedPacketCountToReceive_.store(0);
    nPrinterResponedMTUSize_.store(0);
    nPrinterResponedPacketCountReceived_.store(0);
    const int mtu = PACKET_SIZE_.load();
    const int payload = mtu - kHeaderSize;
    if (payload < 1) return -1;  // no room for data behind the header
    const int n = static_cast<int>((static_cast<long long>(count) + payload - 1) / payload);
    if (!setupGroupPack(mtu, n)) {
        NSLog("writeGroupPack setupGroupPack Error");
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(mPacketListLock_);
        mPacketIndexList_.clear();
        for (int i = 0; i < n; ++i) mPacketIndexList_.push_back(i);
        mPacketRetryList_.clear();
    }
    {
        std::lock_guard<std::mutex> lock(sendTimesLock_);
        mPacketSendTimesList_.assign(static_cast<size_t>(n), 0);
    }
    // Nothing to send: no received count will come for an empty write.
    if (n == 0) return count;
    std::vector<unsigned char> packet(static_cast<size_t>(mtu));
    const NSDate deadline = DeadlineAfterMs(timeout);
    while (deadline.isInFuture()) {
        if (!isConnected_.load()) return -1;
        if (nPrinterResponedPacketCountReceived_.load() != 0) break;
        bool resend = false;
        const int i = TakeIndex(payload, resend);
        if (i >= n) continue;  // asked for a packet this write does not have: dropped
        if (i < 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(1));
            continue;
        }
        const int o = i * payload;
        const int m = std::min(payload, count - o);
        packet[0] = static_cast<unsigned char>(kHeaderSize + m);
        packet[2] = static_cast<unsigned char>(i & 0xFF);
        packet[3] = static_cast<unsigned char>((i >> 8) & 0xFF);
        unsigned char x = packet[0] ^ packet[2] ^ packet[3];
        for (int k = 0; k < m; ++k) {
            packet[static_cast<size_t>(kHeaderSize + k)] = data[o + k];
            x ^= data[o + k];
        }
        packet[1] = x;
        writePackWithoutResponse(packet.data(), 0, kHeaderSize + m, 0);
        if (!resend) nPrinterBufferValidSize_.fetch_sub(m);
        std::lock_guard<std::mutex> lock(sendTimesLock_);
        if (static_cast<size_t>(i) < mPacketSendTimesList_.size()) ++mPacketSendTimesList_[static_cast<size_t>(i)];
    }
    return nPrinterResponedPacketCountReceived_.load() == n ? count : 0;
}

int BLERWProtoV2::Write(const unsigned char* buffer, int offset, int count, int timeout) {
    if (!Usable()) return -1;
    if (offset < 0 || count < 0 || (!buffer && count > 0)) return -1;
    const long long floor = static_cast<long long>(count) + GetBleClientTiming().groupWriteExtraMs;
    if (timeout < floor) timeout = static_cast<int>(std::min<long long>(floor, INT32_MAX));
    return writeGroupPack(buffer ? buffer + offset : nullptr, count, timeout);
}

void BLERWProtoV2::ClearPacketSendTimesList() {
    std::lock_guard<std::mutex> lock(sendTimesLock_);
    mPacketSendTimesList_.clear();
}

int BLERWProtoV2::GetPacketSendTimesListLength() {
    std::lock_guard<std::mutex> lock(sendTimesLock_);
    return static_cast<int>(mPacketSendTimesList_.size());
}

int BLERWProtoV2::GetPacketSendTimesListValue(int* values, int count) {
    if (!values || count <= 0) return 0;
    std::lock_guard<std::mutex> lock(sendTimesLock_);
    const int n = std::min(count, static_cast<int>(mPacketSendTimesList_.size()));
    std::copy(mPacketSendTimesList_.begin(), mPacketSendTimesList_.begin() + n, values);
    return n;
}

std::vector<int> BLERWProtoV2::PacketRetryList() {
    std::lock_guard<std::mutex> lock(mPacketListLock_);
    return std::vector<int>(mPacketRetryList_.begin(), mPacketRetryList_.end());
}

void BLERWProtoV2::ClearPacketRetryListForTesting() {
    std::lock_guard<std::mutex> lock(mPacketListLock_);
    mPacketRetryList_.clear();
}

void BLERWProtoV2::HandleFrame(const unsigned char* frame, unsigned length) {
    if (frame[0] != 0) {
        for (unsigned k = 3; k < length; ++k) rxBuffer_.putByte(frame[k]);
        return;
    }
    const unsigned declared = frame[1];
    const unsigned type = length > 2 ? frame[2] : 0x100;
    if (declared == 10 && type == 0x01) {
        const int value = static_cast<int>(U16(frame + 4));
        if (frame[3] == 0) {
            nPrinterBufferValidSize_.store(std::min(value, kMaxFreeSpaceSet));
        } else if (frame[3] == 1) {
            AddSaturating(nPrinterBufferValidSize_, value);
        }
    } else if (type == 0xFF && (declared == 10 || declared == 12)) {
        const int first = static_cast<int>(U16(frame + 3));
        const int count = declared == 12 ? static_cast<int>(U16(frame + 6)) : 1;
        std::vector<int> requested(static_cast<size_t>(count));
        for (int k = 0; k < count; ++k) requested[static_cast<size_t>(k)] = first + k;
        // One merge, so a request for thousands of packets costs linear time, not quadratic.
        std::lock_guard<std::mutex> lock(mPacketListLock_);
        std::deque<int> merged;
        std::set_union(mPacketRetryList_.begin(), mPacketRetryList_.end(), requested.begin(), requested.end(),
                       std::back_inserter(merged));
        mPacketRetryList_.swap(merged);
    } else if (declared == 10 && type == 0x05) {
        nPrinterResponedPacketCountReceived_.store(static_cast<int>(U16(frame + 3)));
    } else if (declared == 10 && type == 0x03) {
        nPrinterResponedPacketCountToReceive_.store(static_cast<int>(U16(frame + 3)));
        nPrinterResponedMTUSize_.store(frame[5]);
    }
}

void BLERWProtoV2::didUpdateValueForCharacteristic(CBPeripheral&,
                                                   const std::shared_ptr<CBCharacteristic>& characteristic,
                                                   const NSError* error) {
    if (error) {
        NSLog("Error on UpdateValueForCharacteristic");
        return;
    }
    ReceiveValue(characteristic->value());
}

void BLERWProtoV2::ReceiveValue(const std::vector<uint8_t>& value) {
    std::lock_guard<std::mutex> lock(frameLock_);
    for (uint8_t byte : value) {
        if (!mProtoHandler_.HandleReceivedData(byte)) continue;
        HandleFrame(mProtoHandler_.GetReceivedData(), mProtoHandler_.GetReceivedLen());
        mProtoHandler_.ResetReceived();
    }
}

void BLERWProtoV2::didDiscoverServices(CBPeripheral& peripheral, const NSError* error) {
    DiscoverProfileCharacteristics(peripheral, error, kServiceUUID, kLogEach);
}

void BLERWProtoV2::didDiscoverCharacteristicsForService(CBPeripheral& peripheral,
                                                        const std::shared_ptr<CBService>& service,
                                                        const NSError* error) {
    if (error) NSLog("Characteristics discovery was unsuccessful\n%s\n", error->description().c_str());
    for (const auto& characteristic : service->characteristics()) {
        const std::string& uuid = characteristic->UUID().UUIDString();
        if (uuid == kNotifyUUID) {
            peripheral.setNotifyValue(true, characteristic);
        } else if (uuid == kWriteUUID) {
            LowerPacketSize(peripheral, *characteristic);
            myCBWriteCharacteristic_.set(characteristic);
        }
    }
}

void BLERWProtoV2::didUpdateNotificationStateForCharacteristic(CBPeripheral& peripheral,
                                                               const std::shared_ptr<CBCharacteristic>& characteristic,
                                                               const NSError* error) {
    if (error) {
        NSLog("Error changing notification state: %s, characteristic uuid %s", error->localizedDescription.c_str(),
              characteristic->UUID().UUIDString().c_str());
        return;
    }
    NSLog("didUpdateNotificationStateForCharacteristic successed");
    myCBPeripheral_.set(peripheral.shared_from_this());
    myCBReadCharacteristic_.set(characteristic);
}
