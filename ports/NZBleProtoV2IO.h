#pragma once

#include "ports/NZThreadIO.h"

// Bluetooth LE port, profile V2. Until the Bluetooth LE layer exists it never opens.
class NZBleProtoV2IO : public virtual NZThreadIO {
public:
    virtual bool OpenPeripheral(void* peripheral);
    virtual void ClearPacketSendTimesList();
    virtual int GetPacketSendTimesListLength();
    virtual int GetPacketSendTimesListValue(int* values, int count);
};

class NZBleProtoV2IO_ios : public NZBleProtoV2IO {};
