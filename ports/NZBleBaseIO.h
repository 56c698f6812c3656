#pragma once

#include "ble/razi_ios_ble_proxy.h"
#include "ports/NZBleBridgedIO.h"
#include "ports/NZThreadIO.h"

// Bluetooth LE port, plain write profile. The neutral class never opens.
class NZBleBaseIO : public virtual NZThreadIO {
public:
    virtual bool OpenPeripheral(void* peripheral);
    virtual void SetWriteMode(unsigned int mode, unsigned int packet_size,
                              unsigned int packet_timeout_ms, unsigned int retries);
};

class NZBleBaseIO_ios : public NZBleBridgedIO<NZBleBaseIO, razi_ios_ble_proxyv1> {
public:
    // The packet time-out is limited to an hour.
    void SetWriteMode(unsigned int mode, unsigned int packet_size, unsigned int packet_timeout_ms,
                      unsigned int retries) override;
};
