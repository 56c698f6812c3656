#pragma once

#include "ports/NZThreadIO.h"

// USB device by product name and serial number. Not reachable on this platform: the name is
// parsed and the open by product and serial fails.
class NZUsbProductSerialNumberIO : public virtual NZThreadIO {
public:
    using RAZIBase::Open;
    // "product/serial" or "product/serial,MI:nn" (interface 0 when absent); split at the
    // first "/". Without both parts it opens nothing.
    bool Open(const char* name) override;
    virtual bool OpenUsbProductSerialNumberMi(const char* product, const char* serial,
                                              int interface_number);
};
