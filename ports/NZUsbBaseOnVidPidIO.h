#pragma once

#include "ports/NZThreadIO.h"

// USB device by vendor and product id. Not reachable on this platform: the name is parsed
// and the open by ids fails.
class NZUsbBaseOnVidPidIO : public virtual NZThreadIO {
public:
    using RAZIBase::Open;
    // "VID:0xVVVV,PID:0xPPPP" (21 characters) or "VID:0xVVVV,PID:0xPPPP,MI:nn" (27): the ids
    // are read from their fixed positions, the separators are not checked. Any other length
    // opens nothing.
    bool Open(const char* name) override;
    virtual bool OpenUsbVidPidMi(unsigned short vid, unsigned short pid, int interface_number);
    // Any interface (-1).
    virtual bool OpenUsbVidPid(unsigned short vid, unsigned short pid);
    virtual bool InitUsbDevice(unsigned short vid, unsigned short pid, void* device);
};

class NZUsbBaseOnVidPidIO_ios : public NZUsbBaseOnVidPidIO {};
