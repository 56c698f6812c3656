#pragma once

#include "ports/NZThreadIO.h"

// Bluetooth LE port, profile V3. Until the Bluetooth LE layer exists it never opens.
class NZBleProtoV3IO : public virtual NZThreadIO {
public:
    virtual bool OpenPeripheral(void* peripheral);
};

class NZBleProtoV3IO_ios : public NZBleProtoV3IO {};
