#pragma once

#include "ble/razi_ios_ble_proxy.h"
#include "ports/NZBleBridgedIO.h"
#include "ports/NZThreadIO.h"

// Bluetooth LE port, profile VA. The neutral class never opens.
class NZBleProtoVAIO : public virtual NZThreadIO {
public:
    virtual bool OpenPeripheral(void* peripheral);
};

class NZBleProtoVAIO_ios : public NZBleBridgedIO<NZBleProtoVAIO, razi_ios_ble_proxyva> {};
