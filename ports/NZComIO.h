#pragma once

#include <cwchar>

#include "ports/SelectIOBase_ios.h"

using ComDataBits = int;
using ComParity = int;
using ComStopBits = int;
using ComFlowControl = int;

// Serial port. Not reachable on this platform: every open clears the flags and fails.
class NZComIO : public virtual NZThreadIO {
public:
    using RAZIBase::Open;
    using RAZI::OpenA;
    using RAZI::OpenW;
    virtual bool Open(const char* name, int baudrate, ComDataBits data_bits, ComParity parity,
                      ComStopBits stop_bits, ComFlowControl flow_control);
    virtual bool OpenA(const char* name, int baudrate, ComDataBits data_bits, ComParity parity,
                       ComStopBits stop_bits, ComFlowControl flow_control);
    virtual bool OpenW(const wchar_t* name, int baudrate, ComDataBits data_bits, ComParity parity,
                       ComStopBits stop_bits, ComFlowControl flow_control);
    bool Open(const char* name) override;
    virtual bool SetBaudrate(int baudrate);
    virtual bool SetFlowControl(ComFlowControl flow_control);
};

class NZComIO_ios : public SelectIOBase_ios, public NZComIO {};
