#include "ble/MBPeripheralProxyV1.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "ble/BleTiming.h"
#include "platform/NSDate.h"
#include "platform/NSLog.h"

namespace {

// One piece, tried up to retries + 1 times while the printer answers with errors. ready()
// is the check at the start of each try; linkUp() the link test during the wait.
int WritePiece(GattLink& link, CBPeripheral& peripheral, const uint8_t* buffer, int offset, int count, int timeoutMs,
               int retries, int type, const std::function<bool()>& ready, const std::function<bool()>& linkUp) {
    retries = std::max(retries, 0);
    for (int tries = 0; tries <= retries; ++tries) {
        if (!ready()) return -1;
        const auto result = link.writeAndWait(peripheral, buffer + offset, count, type, timeoutMs, linkUp);
        if (result == GattLink::WaitResult::LinkDown) return -1;
        const int response = link.writeResponse();
        if (type == CBCharacteristicWriteWithResponse) {
            if (response == GattLink::kNoResponse) return -1;  // no answer at all: no retry
            if (response == GattLink::kConfirmed) return count;
        } else if (response != GattLink::kFailed) {
            return count;  // silence is the normal answer to a write without response
        }
    }
    return type == CBCharacteristicWriteWithResponse ? -1 : 0;
}

// Cuts the bytes into pieces by the settings and writes them one after another.
int WritePackages(GattLink& link, CBPeripheral& peripheral, ProtoV1WriteSettings& s, const uint8_t* buffer,
                  int offset, int count, const std::function<bool()>& ready, const std::function<bool()>& linkUp) {
    const auto writing = link.lockWrites();
    int written = 0;
    int emptyRounds = 0;
    while (written < count) {
        if (!linkUp()) return -1;
        const int method = s.currentWritePacketMethod.load();
        if (method != 0 && method != 1) return -1;
        const bool withResponse = method == 0;
        const int valueLength = withResponse ? s.maximumWriteValueLengthWithResponse.load()
                                             : s.maximumWriteValueLengthWithoutResponse.load();
        // A piece of at least one byte, so that a zero setting cannot stall the write.
        const int length = std::max(1, std::min({count - written, s.maximumWritePacketSize.load(), valueLength}));
        const int timeout = std::max(s.minimumWritePacketTimeout.load(),
                                     withResponse ? s.minimumWriteValueTimeoutWithResponse.load()
                                                  : s.minimumWriteValueTimeoutWithoutResponse.load());
        const int type = withResponse ? CBCharacteristicWriteWithResponse : CBCharacteristicWriteWithoutResponse;
        const int r = WritePiece(link, peripheral, buffer, offset + written, length, timeout,
                                 s.maximumWritePacketRetry.load(), type, ready, linkUp);
        if (r != length) {
            NSLog(withResponse ? "writePackageWithResponse currentWrited:%d" : "writePackageWithoutResponse currentWrited:%d",
                  r);
        }
        if (r < 0) return -1;
        // A piece that kept failing (0) gets one more round before the write gives up.
        emptyRounds = r == 0 ? emptyRounds + 1 : 0;
        if (emptyRounds > 1) return -1;
        written += r;
    }
    return written;
}

void MatchV1Characteristic(GattLink& link, ProtoV1WriteSettings& s, CBPeripheral& peripheral,
                           const std::shared_ptr<CBCharacteristic>& characteristic) {
    if (characteristic->UUID() == MBPeripheralProxyV1::ReadCharacteristicUUID()) {
        peripheral.setNotifyValue(true, characteristic);
    }
    if (!(characteristic->UUID() == MBPeripheralProxyV1::WriteCharacteristicUUID())) return;
    link.setWriteCharacteristic(characteristic);
    if (characteristic->properties() & CBCharacteristicPropertyWrite) {
        const int m = peripheral.maximumWriteValueLengthForType(CBCharacteristicWriteWithResponse);
        if (m < s.maximumWriteValueLengthWithResponse.load()) s.maximumWriteValueLengthWithResponse = m;
        NSLog("maximumWriteValueLengthWithResponse: %d", s.maximumWriteValueLengthWithResponse.load());
    }
    if (characteristic->properties() & CBCharacteristicPropertyWriteWithoutResponse) {
        const int m = peripheral.maximumWriteValueLengthForType(CBCharacteristicWriteWithoutResponse);
        if (m < s.maximumWriteValueLengthWithoutResponse.load()) s.maximumWriteValueLengthWithoutResponse = m;
        NSLog("maximumWriteValueLengthWithoutResponse: %d", s.maximumWriteValueLengthWithoutResponse.load());
    }
}

}  // namespace

ProtoV1WriteSettings::ProtoV1WriteSettings(int method) : currentWritePacketMethod(method) {
    const BleTiming timing = GetBleTiming();
    minimumWriteValueTimeoutWithResponse = timing.v1WriteTimeoutWithResponseMs;
    minimumWriteValueTimeoutWithoutResponse = timing.v1WriteTimeoutWithoutResponseMs;
    minimumWritePacketTimeout = timing.v1PacketTimeoutMs;
}

// ---- MBPeripheralProxyV1 ----

const CBUUID& MBPeripheralProxyV1::ServiceUUID() {
    static const CBUUID uuid("E7810A71-73AE-499D-8C15-FAA9AEF0C3F2");
    return uuid;
}

const CBUUID& MBPeripheralProxyV1::ReadCharacteristicUUID() {
    static const CBUUID uuid("BEF8D6C9-9C21-4C9E-B632-BD58C1009F9F");
    return uuid;
}

const CBUUID& MBPeripheralProxyV1::WriteCharacteristicUUID() { return ReadCharacteristicUUID(); }

MBPeripheralProxyV1::MBPeripheralProxyV1(std::shared_ptr<CBCentralManager> central,
                                         std::shared_ptr<CBPeripheral> peripheral)
    : MBPeripheralProfileProxy(std::move(central), std::move(peripheral)) {}

void MBPeripheralProxyV1::SetWriteMode(int mode, int packetSize, int packetTimeoutMs, int packetMaxRetry) {
    settings_.currentWritePacketMethod = mode == 1 ? 1 : 0;
    settings_.maximumWritePacketSize = packetSize;
    settings_.minimumWritePacketTimeout = packetTimeoutMs;
    settings_.maximumWritePacketRetry = packetMaxRetry;
}

int MBPeripheralProxyV1::Write(const uint8_t* buffer, int offset, int count, int) {
    return writePackages(buffer, offset, count);
}

bool MBPeripheralProxyV1::pieceReady() {
    return hasCentralAndPeripheral() && peripheralConnected() && link_.writeCharacteristic() &&
           isConnected_.load();
}

int MBPeripheralProxyV1::writePackages(const uint8_t* buffer, int offset, int count) {
    if (count <= 0) return 0;
    if (!buffer || offset < 0 || !myPeripheral()) return -1;
    return WritePackages(link_, *myPeripheral(), settings_, buffer, offset, count, [this] { return pieceReady(); },
                         [this] { return isConnected_.load(); });
}

int MBPeripheralProxyV1::writePiece(const uint8_t* buffer, int offset, int count, int timeoutMs, int maxRetry,
                                    int type) {
    if (!hasCentralAndPeripheral() || !buffer || offset < 0 || count < 0) return -1;
    const auto writing = link_.lockWrites();
    return WritePiece(link_, *myPeripheral(), buffer, offset, count, timeoutMs, maxRetry, type,
                      [this] { return pieceReady(); }, [this] { return isConnected_.load(); });
}

int MBPeripheralProxyV1::writePackageWithResponse(const uint8_t* buffer, int offset, int count, int timeoutMs,
                                                  int maxRetry) {
    return writePiece(buffer, offset, count, timeoutMs, maxRetry, CBCharacteristicWriteWithResponse);
}

int MBPeripheralProxyV1::writePackageWithoutResponse(const uint8_t* buffer, int offset, int count, int timeoutMs,
                                                     int maxRetry) {
    return writePiece(buffer, offset, count, timeoutMs, maxRetry, CBCharacteristicWriteWithoutResponse);
}

void MBPeripheralProxyV1::matchCharacteristic(CBPeripheral& peripheral,
                                              const std::shared_ptr<CBCharacteristic>& characteristic) {
    MatchV1Characteristic(link_, settings_, peripheral, characteristic);
}

// ---- MBPeripheralProxyVAHandlerV1 ----

MBPeripheralProxyVAHandlerV1::MBPeripheralProxyVAHandlerV1()
    : MBPeripheralProxyVAProfileHandler("MBPeripheralProxyVAHandlerV1") {}

bool MBPeripheralProxyVAHandlerV1::hasSupportedServiceInServices(const CBServiceList* services) {
    return HasService("MBPeripheralProxyVAHandlerV1", MBPeripheralProxyV1::ServiceUUID(), services);
}

void MBPeripheralProxyVAHandlerV1::matchCharacteristic(CBPeripheral& peripheral,
                                                       const std::shared_ptr<CBCharacteristic>& characteristic) {
    MatchV1Characteristic(link_, settings_, peripheral, characteristic);
}

int MBPeripheralProxyVAHandlerV1::doWrite(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer,
                                          int offset, int count, int) {
    return doWritePackages(peripheral, buffer, offset, count);
}

int MBPeripheralProxyVAHandlerV1::doWritePackages(const std::shared_ptr<CBPeripheral>& peripheral,
                                                  const uint8_t* buffer, int offset, int count) {
    const int entry = writeEntry(peripheral, buffer, offset, count);
    if (entry != kGoAhead) return entry;
    return WritePackages(link_, *peripheral, settings_, buffer, offset, count, pieceReady(peripheral),
                         linkUp(peripheral));
}

int MBPeripheralProxyVAHandlerV1::doWritePiece(const std::shared_ptr<CBPeripheral>& peripheral,
                                               const uint8_t* buffer, int offset, int count, int timeoutMs,
                                               int maxRetry, int type) {
    const int entry = writeEntry(peripheral, buffer, offset, count);
    if (entry != kGoAhead) return entry;
    const auto writing = link_.lockWrites();
    return WritePiece(link_, *peripheral, buffer, offset, count, timeoutMs, maxRetry, type, pieceReady(peripheral),
                      linkUp(peripheral));
}

int MBPeripheralProxyVAHandlerV1::doWritePackageWithResponse(const std::shared_ptr<CBPeripheral>& peripheral,
                                                             const uint8_t* buffer, int offset, int count,
                                                             int timeoutMs, int maxRetry) {
    return doWritePiece(peripheral, buffer, offset, count, timeoutMs, maxRetry, CBCharacteristicWriteWithResponse);
}

int MBPeripheralProxyVAHandlerV1::doWritePackageWithoutResponse(const std::shared_ptr<CBPeripheral>& peripheral,
                                                                const uint8_t* buffer, int offset, int count,
                                                                int timeoutMs, int maxRetry) {
    return doWritePiece(peripheral, buffer, offset, count, timeoutMs, maxRetry, CBCharacteristicWriteWithoutResponse);
}

std::function<bool()> MBPeripheralProxyVAHandlerV1::linkUp(const std::shared_ptr<CBPeripheral>& peripheral) {
    return [peripheral] { return Connected(peripheral); };
}

std::function<bool()> MBPeripheralProxyVAHandlerV1::pieceReady(const std::shared_ptr<CBPeripheral>& peripheral) {
    return [this, peripheral] { return Connected(peripheral) && link_.writeCharacteristic(); };
}
