#pragma once

#include <cwchar>

#include "ports/NZThreadIO.h"

// Bluetooth serial port profile. Not reachable on this platform: never opens.
class NZBtSppBaseIO : public virtual NZThreadIO {
public:
    using RAZIBase::Open;
    virtual bool OpenAddressUuid(const char* address, const char* uuid);
    virtual bool OpenAddressUuidA(const char* address, const char* uuid);
    virtual bool OpenAddressUuidW(const wchar_t* address, const wchar_t* uuid);
    bool Open(const char* address) override;
};

class NZBtSppBaseIO_ios : public NZBtSppBaseIO {};
