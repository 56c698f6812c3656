#pragma once

#include <atomic>
#include <cstddef>
#include <cwchar>

#include "ports/RAZIBase.h"

// Forwards every port operation to the transport it holds; a holder without a transport
// answers as a closed port does. The holder does not own the transport.
class RAZIHolder {
public:
    RAZIHolder() = default;
    RAZIHolder(const RAZIHolder&) = delete;
    RAZIHolder& operator=(const RAZIHolder&) = delete;
    virtual ~RAZIHolder() = default;

    virtual void SetIO(RAZI* io);
    virtual RAZI* GetIO();
    virtual bool Open(const char* name);
    virtual bool OpenA(const char* name);
    virtual bool OpenW(const wchar_t* name);
    virtual bool IsOpened();
    virtual void Close();
    virtual int BaseWrite(const unsigned char* data, size_t length, unsigned timeout_ms);
    virtual int BaseRead(unsigned char* buffer, size_t length, unsigned timeout_ms);
    virtual void SkipAvailable();
    virtual void FlushBuffer();
    virtual int Write(const unsigned char* data, size_t length, unsigned timeout_ms);
    virtual int Read(unsigned char* buffer, size_t length, unsigned timeout_ms);
    virtual int ReadUntilByte(unsigned char* buffer, size_t length, unsigned timeout_ms,
                              unsigned char stop);
    virtual int ReadUntilBytes(unsigned char* buffer, size_t length, unsigned timeout_ms,
                               const unsigned char* pattern, size_t pattern_length, bool* found);
    virtual int ReadUntilLength(unsigned char* buffer, size_t length, unsigned timeout_ms);
    virtual int WriteUntilLength(const unsigned char* data, size_t length, unsigned timeout_ms);
    virtual int QueryOneByteStatus(const unsigned char* command, size_t length,
                                   unsigned timeout_ms);
    virtual int QueryResponse(const unsigned char* command, size_t length,
                              unsigned char* response, size_t response_length,
                              unsigned timeout_ms);
    virtual void SetReadedEvent(RAZIDataHook hook, void* context);
    virtual void SetWritedEvent(RAZIDataHook hook, void* context);
    virtual void SetClosedEvent(RAZIClosedHook hook, void* context);

private:
    std::atomic<RAZI*> io_{nullptr};
};
