#include "ports/NZComIO.h"

#include <cstdlib>

#include "base/NZStringUtils.h"

bool NZComIO::Open(const char*, int, ComDataBits, ComParity, ComStopBits, ComFlowControl) {
    ClearFlags();
    return IsOpened();
}

bool NZComIO::OpenA(const char* name, int baudrate, ComDataBits data_bits, ComParity parity,
                    ComStopBits stop_bits, ComFlowControl flow_control) {
    return Open(name, baudrate, data_bits, parity, stop_bits, flow_control);
}

bool NZComIO::OpenW(const wchar_t* name, int baudrate, ComDataBits data_bits, ComParity parity,
                    ComStopBits stop_bits, ComFlowControl flow_control) {
    char* narrow = NZStringUtils::nzutils_wcstombs_local(name);
    bool opened = Open(narrow, baudrate, data_bits, parity, stop_bits, flow_control);
    std::free(narrow);
    return opened;
}

bool NZComIO::Open(const char* name) { return Open(name, 9600, 8, 0, 0, 0); }
bool NZComIO::SetBaudrate(int) { return false; }
bool NZComIO::SetFlowControl(ComFlowControl) { return false; }
