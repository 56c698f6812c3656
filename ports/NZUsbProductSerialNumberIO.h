#pragma once

#include "ports/NZThreadIO.h"

// USB device by product name and serial number. Not reachable on this platform.
class NZUsbProductSerialNumberIO : public virtual NZThreadIO {
public:
    using RAZIBase::Open;
    bool Open(const char* name) override;
    virtual bool OpenUsbProductSerialNumberMi(const char* product, const char* serial,
                                              int interface_number);
};
