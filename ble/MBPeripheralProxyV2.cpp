#include "ble/MBPeripheralProxyV2.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "base/SaturatingAdd.h"
#include "ble/BleTiming.h"
#include "platform/NSDate.h"
#include "platform/NSLog.h"

namespace {

constexpr int kPacketHeader = 4;

void SleepPoll() { std::this_thread::sleep_for(std::chrono::milliseconds(GetBleTiming().pollMs)); }

unsigned Le16(const unsigned char* bytes) { return bytes[0] | (static_cast<unsigned>(bytes[1]) << 8); }

}  // namespace

// ---- ProtoV2Session ----

ProtoV2Session::ProtoV2Session(GattLink& link, std::function<bool(const std::shared_ptr<CBPeripheral>&)> linkUp,
                               bool setupPassesDownLink)
    : link_(link), linkUp_(std::move(linkUp)), setupPassesDownLink_(setupPassesDownLink) {}

void ProtoV2Session::matchCharacteristic(CBPeripheral& peripheral,
                                         const std::shared_ptr<CBCharacteristic>& characteristic) {
    if (characteristic->UUID() == MBPeripheralProxyV2::ReadCharacteristicUUID()) {
        peripheral.setNotifyValue(true, characteristic);
    }
    if (!(characteristic->UUID() == MBPeripheralProxyV2::WriteCharacteristicUUID())) return;
    link_.setWriteCharacteristic(characteristic);
    if (characteristic->properties() & CBCharacteristicPropertyWriteWithoutResponse) {
        const int m = peripheral.maximumWriteValueLengthForType(CBCharacteristicWriteWithoutResponse);
        if (maximumWriteValueLength_.load() > m) maximumWriteValueLength_ = m;
        NSLog("maximumWriteValueLength Without Response:%d", maximumWriteValueLength_.load());
    }
}

void ProtoV2Session::onValue(const std::shared_ptr<CBCharacteristic>& characteristic, const NSError* error) {
    if (error) {
        NSLog("Error on UpdateValueForCharacteristic");
        return;
    }
    if (!characteristic) return;
    const std::vector<uint8_t> value = characteristic->value();
    handleNotification(value.data(), value.size());
}

void ProtoV2Session::handleNotification(const uint8_t* bytes, size_t count) {
    for (size_t k = 0; k < count; ++k) {
        if (!mProtoHandler.HandleReceivedData(bytes[k])) continue;
        onFrame(mProtoHandler.GetReceivedData(), mProtoHandler.GetReceivedLen());
        mProtoHandler.ResetReceived();
    }
}

void ProtoV2Session::onFrame(const unsigned char* f, unsigned length) {
    if (length < 3) return;
    if (f[0] != 0) {
        for (unsigned k = 3; k < length; ++k) link_.rxBuffer().putByte(f[k]);
        return;
    }
    const bool short10 = length == 10 && f[1] == 10;
    if (short10 && f[2] == 0x01) {
        const int value = static_cast<int>(Le16(f + 4));
        if (f[3] == 0) nPrinterBufferValidSize_ = std::min(value, kFreeSpaceCap);
        if (f[3] == 1) AddSaturating(nPrinterBufferValidSize_, value);
    } else if (f[2] == 0xFF && (short10 || (length == 12 && f[1] == 12))) {
        const int first = static_cast<int>(Le16(f + 3));
        const int count = length == 12 ? static_cast<int>(Le16(f + 6)) : 1;
        std::lock_guard<std::mutex> lock(mPacketListLock);
        for (int i = first; i < first + count; ++i) mPacketRetryList.insert(i);
    } else if (short10 && f[2] == 0x05) {
        nPrinterResponedPacketCountReceived_ = static_cast<int>(Le16(f + 3));
    } else if (short10 && f[2] == 0x03) {
        nPrinterResponedPacketCountToReceive_ = static_cast<int>(Le16(f + 3));
        nPrinterResponedMTUSize_ = f[5];
    }
}

std::vector<int> ProtoV2Session::packetRetryList() const {
    std::lock_guard<std::mutex> lock(mPacketListLock);
    return {mPacketRetryList.begin(), mPacketRetryList.end()};
}

int ProtoV2Session::writePackWithoutResponse(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer,
                                             int offset, int count, int timeoutMs) {
    if (!peripheral || !linkUp_(peripheral) || !link_.writeCharacteristic()) return -1;
    if (timeoutMs <= 0) {
        link_.write(*peripheral, buffer + offset, count, CBCharacteristicWriteWithoutResponse);
        return count;
    }
    const auto result = link_.writeAndWait(*peripheral, buffer + offset, count, CBCharacteristicWriteWithoutResponse,
                                           timeoutMs, [&] { return linkUp_(peripheral); });
    if (result == GattLink::WaitResult::LinkDown) return -1;
    return link_.writeResponse() < 0 ? 0 : count;
}

bool ProtoV2Session::setupGroupPack(const std::shared_ptr<CBPeripheral>& peripheral, int mtu, int packetCount) {
    if (setupPassesDownLink_ && !linkUp_(peripheral)) return true;
    // Bytes 7 on have the shape of a control frame: 00, length 0A, type 02, count, MTU.
    const uint8_t packet[kSetupPacketSize] = {0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A,
                                              0x02, static_cast<uint8_t>(packetCount & 0xFF),
                                              static_cast<uint8_t>((packetCount >> 8) & 0xFF),
                                              static_cast<uint8_t>(mtu & 0xFF), 0x00, 0x00, 0x00, 0x00};
    const BleTiming timing = GetBleTiming();
    for (int attempt = 0; attempt < kSetupAttempts; ++attempt) {
        if (writePackWithoutResponse(peripheral, packet, 0, kSetupPacketSize, timing.v2SetupWriteWaitMs) !=
            kSetupPacketSize) {
            NSLog("setupGroupPack retry %d writePackWithoutResponse Error", attempt);
            return false;
        }
        const NSDate deadline = DeadlineAfterMs(timing.v2SetupAnswerWaitMs);
        while (deadline.isInFuture()) {
            if (!linkUp_(peripheral)) return false;
            if (nPrinterResponedPacketCountToReceive_.load() != 0 && nPrinterResponedMTUSize_.load() != 0) break;
            SleepPoll();
        }
        if (nPrinterResponedPacketCountToReceive_.load() == packetCount && nPrinterResponedMTUSize_.load() == mtu) {
            return true;
        }
    }
    return false;
}

int ProtoV2Session::EffectiveTimeout(int timeoutMs, int count) {
    const long long least = static_cast<long long>(count) + GetBleTiming().v2GroupMinimumMs;
    return static_cast<int>(std::min<long long>(std::max<long long>(timeoutMs, least), INT_MAX));
}

int ProtoV2Session::takeNextIndex(int payloadSize, bool& isNew) {
    std::lock_guard<std::mutex> lock(mPacketListLock);
    if (!mPacketRetryList.empty()) {
        isNew = false;
        return mPacketRetryList.extract(mPacketRetryList.begin()).value();
    }
    if (mPacketIndexList.empty() || nPrinterBufferValidSize_.load() < payloadSize) return -1;
    isNew = true;
    return mPacketIndexList.extract(mPacketIndexList.begin()).value();
}

void ProtoV2Session::sendPacket(CBPeripheral& peripheral, const uint8_t* data, int count, int index,
                                int payloadSize) {
    const int offset = index * payloadSize;
    const int n = std::min(payloadSize, count - offset);
    uint8_t packet[512];
    packet[0] = static_cast<uint8_t>(kPacketHeader + n);
    packet[2] = static_cast<uint8_t>(index & 0xFF);
    packet[3] = static_cast<uint8_t>((index >> 8) & 0xFF);
    std::memcpy(packet + kPacketHeader, data + offset, static_cast<size_t>(n));
    uint8_t check = packet[0] ^ packet[2] ^ packet[3];
    for (int k = 0; k < n; ++k) check ^= packet[kPacketHeader + k];
    packet[1] = check;
    link_.write(peripheral, packet, kPacketHeader + n, CBCharacteristicWriteWithoutResponse);
}

int ProtoV2Session::writeGroupPack(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* data, int count,
                                   int timeoutMs) {
    // The answer fields and lists belong to the connection: a second group waits (setup
    // included), or its answers would end this one.
    const auto writing = link_.lockWrites();
    nPrinterResponedPacketCountToReceive_ = 0;
    nPrinterResponedMTUSize_ = 0;
    nPrinterResponedPacketCountReceived_ = 0;
    const int mtu = maximumWriteValueLength_.load();
    const int payloadSize = mtu - kPacketHeader;
    // A packet size without room for payload cannot carry the group.
    if (payloadSize < 1 || mtu > 512) return -1;
    const int packets = static_cast<int>((static_cast<long long>(count) + payloadSize - 1) / payloadSize);
    if (!setupGroupPack(peripheral, mtu, packets)) {
        NSLog("writeGroupPack setupGroupPack Error");
        return 0;
    }
    // A received count notified before the setup answer belongs to an earlier group.
    nPrinterResponedPacketCountReceived_ = 0;
    {
        std::lock_guard<std::mutex> lock(mPacketListLock);
        mPacketIndexList.clear();
        for (int i = 0; i < packets; ++i) mPacketIndexList.insert(mPacketIndexList.end(), i);
        mPacketRetryList.clear();
    }
    {
        std::lock_guard<std::mutex> lock(sendTimesMutex_);
        mPacketSendTimesList.assign(static_cast<size_t>(packets), 0);
    }
    const NSDate deadline = DeadlineAfterMs(timeoutMs);
    while (deadline.isInFuture()) {
        if (!linkUp_(peripheral)) return -1;
        if (nPrinterResponedPacketCountReceived_.load() != 0) break;
        bool isNew = false;
        const int index = takeNextIndex(payloadSize, isNew);
        if (index < 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(1));
            continue;
        }
        if (index >= packets) continue;  // a retry request outside this group
        // Taken off before the write, so that a report the packet provokes is not undone.
        if (isNew) nPrinterBufferValidSize_ -= std::min(payloadSize, count - index * payloadSize);
        sendPacket(*peripheral, data, count, index, payloadSize);
        std::lock_guard<std::mutex> lock(sendTimesMutex_);
        if (static_cast<size_t>(index) < mPacketSendTimesList.size()) ++mPacketSendTimesList[index];
    }
    return nPrinterResponedPacketCountReceived_.load() == packets ? count : 0;
}

void ProtoV2Session::ClearPacketSendTimesList() {
    std::lock_guard<std::mutex> lock(sendTimesMutex_);
    mPacketSendTimesList.clear();
}

int ProtoV2Session::GetPacketSendTimesListLength() const {
    std::lock_guard<std::mutex> lock(sendTimesMutex_);
    return static_cast<int>(mPacketSendTimesList.size());
}

int ProtoV2Session::GetPacketSendTimesListValue(int* values, int count) const {
    if (!values || count <= 0) return 0;
    std::lock_guard<std::mutex> lock(sendTimesMutex_);
    const int n = std::min(count, static_cast<int>(mPacketSendTimesList.size()));
    std::copy_n(mPacketSendTimesList.begin(), n, values);
    return n;
}

// ---- MBPeripheralProxyV2 ----

const CBUUID& MBPeripheralProxyV2::ServiceUUID() {
    static const CBUUID uuid("18F0");
    return uuid;
}

const CBUUID& MBPeripheralProxyV2::ReadCharacteristicUUID() {
    static const CBUUID uuid("2AF0");
    return uuid;
}

const CBUUID& MBPeripheralProxyV2::WriteCharacteristicUUID() {
    static const CBUUID uuid("2AF1");
    return uuid;
}

MBPeripheralProxyV2::MBPeripheralProxyV2(std::shared_ptr<CBCentralManager> central,
                                         std::shared_ptr<CBPeripheral> peripheral)
    : MBPeripheralProfileProxy(std::move(central), std::move(peripheral)),
      session_(link_, [this](const std::shared_ptr<CBPeripheral>&) { return isConnected_.load(); }) {}

void MBPeripheralProxyV2::Close() {
    MBPeripheralProfileProxy::Close();
    session_.resetReceived();
}

bool MBPeripheralProxyV2::writable() const {
    return myPeripheral() && link_.writeCharacteristic() && isConnected_.load() && peripheralConnected();
}

int MBPeripheralProxyV2::writePackWithoutResponse(const uint8_t* buffer, int offset, int count, int timeoutMs) {
    if (!writable() || !buffer || count < 0 || offset < 0) return -1;
    if (count == 0) return 0;
    return session_.writePackWithoutResponse(myPeripheral(), buffer, offset, count, timeoutMs);
}

bool MBPeripheralProxyV2::setupGroupPack(int mtu, int packetCount) {
    return session_.setupGroupPack(myPeripheral(), mtu, packetCount);
}

int MBPeripheralProxyV2::writeGroupPack(const uint8_t* data, int count, int timeoutMs) {
    if (!writable() || !data || count < 0) return -1;
    if (count == 0) return 0;
    return session_.writeGroupPack(myPeripheral(), data, count, timeoutMs);
}

int MBPeripheralProxyV2::Write(const uint8_t* buffer, int offset, int count, int timeoutMs) {
    if (!writable() || !buffer || count < 0 || offset < 0) return -1;
    if (count == 0) return 0;
    return session_.writeGroupPack(myPeripheral(), buffer + offset, count,
                                   ProtoV2Session::EffectiveTimeout(timeoutMs, count));
}

void MBPeripheralProxyV2::matchCharacteristic(CBPeripheral& peripheral,
                                              const std::shared_ptr<CBCharacteristic>& characteristic) {
    session_.matchCharacteristic(peripheral, characteristic);
}

void MBPeripheralProxyV2::didUpdateValueForCharacteristic(CBPeripheral&,
                                                          const std::shared_ptr<CBCharacteristic>& characteristic,
                                                          const NSError* error) {
    session_.onValue(characteristic, error);
}

// ---- MBPeripheralProxyVAHandlerV2 ----

MBPeripheralProxyVAHandlerV2::MBPeripheralProxyVAHandlerV2()
    : MBPeripheralProxyVAProfileHandler("MBPeripheralProxyVAHandlerV2"), session_(link_, Connected, true) {}

bool MBPeripheralProxyVAHandlerV2::hasSupportedServiceInServices(const CBServiceList* services) {
    return HasService("MBPeripheralProxyVAHandlerV2", MBPeripheralProxyV2::ServiceUUID(), services);
}

int MBPeripheralProxyVAHandlerV2::doWrite(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer,
                                          int offset, int count, int timeoutMs) {
    const int entry = writeEntry(peripheral, buffer, offset, count);
    if (entry != kGoAhead) return entry;
    return session_.writeGroupPack(peripheral, buffer + offset, count,
                                   ProtoV2Session::EffectiveTimeout(timeoutMs, count));
}

int MBPeripheralProxyVAHandlerV2::doWritePackWithoutResponse(const std::shared_ptr<CBPeripheral>& peripheral,
                                                             const uint8_t* buffer, int offset, int count,
                                                             int timeoutMs) {
    const int entry = writeEntry(peripheral, buffer, offset, count);
    if (entry != kGoAhead) return entry;
    return session_.writePackWithoutResponse(peripheral, buffer, offset, count, timeoutMs);
}

bool MBPeripheralProxyVAHandlerV2::doSetupGroupPack(const std::shared_ptr<CBPeripheral>& peripheral, int mtu,
                                                    int packetCount) {
    return session_.setupGroupPack(peripheral, mtu, packetCount);
}

int MBPeripheralProxyVAHandlerV2::doWriteGroupPack(const std::shared_ptr<CBPeripheral>& peripheral,
                                                   const uint8_t* data, int count, int timeoutMs) {
    const int entry = writeEntry(peripheral, data, 0, count);
    if (entry != kGoAhead) return entry;
    return session_.writeGroupPack(peripheral, data, count, timeoutMs);
}
