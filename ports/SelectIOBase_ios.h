#pragma once

#include "ports/NZThreadIO.h"

// Base of the descriptor transports (serial, parallel, USB). Until device access exists on
// this platform no descriptor is ever opened, so these never open.
class SelectIOBase_ios : public virtual NZThreadIO {
public:
    SelectIOBase_ios() = default;

protected:
    int fd_ = -1;
};
