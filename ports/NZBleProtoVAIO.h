#pragma once

#include "ports/NZThreadIO.h"

// Bluetooth LE port, profile VA. Until the Bluetooth LE layer exists it never opens.
class NZBleProtoVAIO : public virtual NZThreadIO {
public:
    virtual bool OpenPeripheral(void* peripheral);
};

class NZBleProtoVAIO_ios : public NZBleProtoVAIO {};
