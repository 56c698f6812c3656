#pragma once

#include "ports/NZThreadIO.h"

// Bluetooth LE port, plain write profile. Until the Bluetooth LE layer exists it never
// opens: Open(address) is the base open, which clears the flags and fails.
class NZBleBaseIO : public virtual NZThreadIO {
public:
    virtual bool OpenPeripheral(void* peripheral);
    virtual void SetWriteMode(unsigned int mode, unsigned int packet_size,
                              unsigned int packet_timeout_ms, unsigned int retries);
};

class NZBleBaseIO_ios : public NZBleBaseIO {};
