#include "ports/NZUsbBaseOnVidPidIO.h"

bool NZUsbBaseOnVidPidIO::Open(const char*) {
    ClearFlags();
    return IsOpened();
}

bool NZUsbBaseOnVidPidIO::OpenUsbVidPidMi(unsigned short, unsigned short, int) {
    ClearFlags();
    return IsOpened();
}

bool NZUsbBaseOnVidPidIO::OpenUsbVidPid(unsigned short vid, unsigned short pid) {
    return OpenUsbVidPidMi(vid, pid, -1);
}

bool NZUsbBaseOnVidPidIO::InitUsbDevice(unsigned short, unsigned short, void*) { return true; }
