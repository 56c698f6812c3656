#pragma once

#include <cwchar>

#include "ports/NZThreadIO.h"

class NZBtSppBaseIO;

// A listening Bluetooth serial-port server, supplied by a platform that has one; the
// library declares it and has no implementation.
class NZBtSppServerSocket {
public:
    virtual ~NZBtSppServerSocket() = default;
    virtual bool IsReady() = 0;
    // Accepts one connection into transport within timeout_ms and writes the peer's
    // address text (17 characters and a NUL) to address_out.
    virtual bool Accept(unsigned int timeout_ms, NZBtSppBaseIO* transport, char* address_out) = 0;
    virtual void Release() = 0;
};

// Bluetooth serial port profile. Not reachable on this platform: never opens.
class NZBtSppBaseIO : public virtual NZThreadIO {
public:
    // Serial port profile UUID, used when no other is named.
    static constexpr const char* kSerialPortUuid = "00001101-0000-1000-8000-00805F9B34FB";
    // Bytes of a peer address text with its NUL.
    static constexpr size_t kAddressSize = 18;

    using RAZIBase::Open;
    virtual bool OpenAddressUuid(const char* address, const char* uuid);
    virtual bool OpenAddressUuidA(const char* address, const char* uuid);
    virtual bool OpenAddressUuidW(const wchar_t* address, const wchar_t* uuid);
    bool Open(const char* address) override;
    // Takes a connection from a ready server; address_out (kAddressSize bytes) receives the
    // peer's address.
    virtual bool OpenWithListen(NZBtSppServerSocket* server, unsigned int timeout_ms,
                                char* address_out);
    virtual bool OpenWithListenA(NZBtSppServerSocket* server, unsigned int timeout_ms,
                                 char* address_out);
    // address_out: kAddressSize wide characters, one per byte of the address text.
    virtual bool OpenWithListenW(NZBtSppServerSocket* server, unsigned int timeout_ms,
                                 wchar_t* address_out);
};

class NZBtSppBaseIO_ios : public NZBtSppBaseIO {};
