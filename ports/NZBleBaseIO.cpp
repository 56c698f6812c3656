#include "ports/NZBleBaseIO.h"

bool NZBleBaseIO::OpenPeripheral(void*) {
    ClearFlags();
    return IsOpened();
}

void NZBleBaseIO::SetWriteMode(unsigned int, unsigned int, unsigned int, unsigned int) {}
