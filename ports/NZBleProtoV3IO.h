#pragma once

#include "ble/razi_ios_ble_proxy.h"
#include "ports/NZBleBridgedIO.h"
#include "ports/NZThreadIO.h"

// Bluetooth LE port, profile V3. The neutral class never opens.
class NZBleProtoV3IO : public virtual NZThreadIO {
public:
    virtual bool OpenPeripheral(void* peripheral);
};

class NZBleProtoV3IO_ios : public NZBleBridgedIO<NZBleProtoV3IO, razi_ios_ble_proxyv3> {};
