#pragma once

#include "ports/NZThreadIO.h"

// USB device by vendor and product id. Not reachable on this platform: never opens.
class NZUsbBaseOnVidPidIO : public virtual NZThreadIO {
public:
    using RAZIBase::Open;
    bool Open(const char* name) override;
    virtual bool OpenUsbVidPidMi(unsigned short vid, unsigned short pid, int interface_number);
    virtual bool OpenUsbVidPid(unsigned short vid, unsigned short pid);
    virtual bool InitUsbDevice(unsigned short vid, unsigned short pid, void* device);
};

class NZUsbBaseOnVidPidIO_ios : public NZUsbBaseOnVidPidIO {};
