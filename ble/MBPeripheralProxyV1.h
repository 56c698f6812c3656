#pragma once

#include <atomic>

#include "ble/MBPeripheralProfileProxy.h"
#include "ble/MBPeripheralProxyVAProfileHandler.h"

// Write settings of the plain profile, shared without a lock between the writer and the
// discovery callback that lowers the value lengths.
struct ProtoV1WriteSettings {
    explicit ProtoV1WriteSettings(int method);

    // 0 with response, 1 without.
    std::atomic<int> currentWritePacketMethod;
    std::atomic<int> maximumWriteValueLengthWithResponse{120};
    std::atomic<int> maximumWriteValueLengthWithoutResponse{120};
    std::atomic<int> maximumWritePacketSize{120};
    std::atomic<int> minimumWriteValueTimeoutWithResponse;
    std::atomic<int> minimumWriteValueTimeoutWithoutResponse;
    std::atomic<int> minimumWritePacketTimeout;
    std::atomic<int> maximumWritePacketRetry{3};
};

// The plain printer profile: one service whose one characteristic notifies the printer's
// bytes and takes the host's, written in pieces with or without response.
class MBPeripheralProxyV1 : public MBPeripheralProfileProxy {
public:
    static const CBUUID& ServiceUUID();
    static const CBUUID& ReadCharacteristicUUID();
    static const CBUUID& WriteCharacteristicUUID();

    MBPeripheralProxyV1(std::shared_ptr<CBCentralManager> central, std::shared_ptr<CBPeripheral> peripheral);

    void SetWriteMode(int mode, int packetSize, int packetTimeoutMs, int packetMaxRetry);
    // The time-out is not used: the per-piece time-outs come from the settings.
    int Write(const uint8_t* buffer, int offset, int count, int timeoutMs) override;
    int writePackages(const uint8_t* buffer, int offset, int count);
    int writePackageWithResponse(const uint8_t* buffer, int offset, int count, int timeoutMs, int maxRetry);
    int writePackageWithoutResponse(const uint8_t* buffer, int offset, int count, int timeoutMs, int maxRetry);

    ProtoV1WriteSettings& settings() { return settings_; }

protected:
    const CBUUID& serviceUUID() const override { return ServiceUUID(); }
    const CBUUID& notifyCharacteristicUUID() const override { return ReadCharacteristicUUID(); }
    void matchCharacteristic(CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic) override;

private:
    bool pieceReady();
    int writePiece(const uint8_t* buffer, int offset, int count, int timeoutMs, int maxRetry, int type);

    ProtoV1WriteSettings settings_{1};
};

// The plain profile as a handler of the automatic profile: the same writes and reads against
// the peripheral passed in.
class MBPeripheralProxyVAHandlerV1 : public MBPeripheralProxyVAProfileHandler {
public:
    static bool hasSupportedServiceInServices(const CBServiceList* services);

    MBPeripheralProxyVAHandlerV1();

    int doWrite(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset, int count,
                int timeoutMs) override;
    int doWritePackages(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset, int count);
    int doWritePackageWithResponse(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset,
                                   int count, int timeoutMs, int maxRetry);
    int doWritePackageWithoutResponse(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer,
                                      int offset, int count, int timeoutMs, int maxRetry);

    ProtoV1WriteSettings& settings() { return settings_; }

protected:
    const CBUUID& serviceUUID() const override { return MBPeripheralProxyV1::ServiceUUID(); }
    const CBUUID& notifyCharacteristicUUID() const override { return MBPeripheralProxyV1::ReadCharacteristicUUID(); }
    void matchCharacteristic(CBPeripheral& peripheral, const std::shared_ptr<CBCharacteristic>& characteristic) override;

private:
    int doWritePiece(const std::shared_ptr<CBPeripheral>& peripheral, const uint8_t* buffer, int offset, int count,
                     int timeoutMs, int maxRetry, int type);
    // The link test (the peripheral's state) and the check at the start of each try.
    static std::function<bool()> linkUp(const std::shared_ptr<CBPeripheral>& peripheral);
    std::function<bool()> pieceReady(const std::shared_ptr<CBPeripheral>& peripheral);

    ProtoV1WriteSettings settings_{0};
};
