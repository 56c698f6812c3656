#pragma once

#include "ble/razi_ios_ble_proxy.h"
#include "ports/NZBleBridgedIO.h"
#include "ports/NZThreadIO.h"

// Bluetooth LE port, profile V2. The neutral class never opens.
class NZBleProtoV2IO : public virtual NZThreadIO {
public:
    virtual bool OpenPeripheral(void* peripheral);
    virtual void ClearPacketSendTimesList();
    virtual int GetPacketSendTimesListLength();
    virtual int GetPacketSendTimesListValue(int* values, int count);
};

class NZBleProtoV2IO_ios : public NZBleBridgedIO<NZBleProtoV2IO, razi_ios_ble_proxyv2> {
public:
    void ClearPacketSendTimesList() override { bridge_.ClearPacketSendTimesList(); }
    int GetPacketSendTimesListLength() override { return bridge_.GetPacketSendTimesListLength(); }
    int GetPacketSendTimesListValue(int* values, int count) override {
        return bridge_.GetPacketSendTimesListValue(values, count);
    }
};
