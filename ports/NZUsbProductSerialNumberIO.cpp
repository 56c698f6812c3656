#include "ports/NZUsbProductSerialNumberIO.h"

bool NZUsbProductSerialNumberIO::Open(const char*) {
    ClearFlags();
    return IsOpened();
}

bool NZUsbProductSerialNumberIO::OpenUsbProductSerialNumberMi(const char*, const char*, int) {
    ClearFlags();
    return IsOpened();
}
