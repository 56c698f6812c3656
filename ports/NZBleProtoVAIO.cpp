#include "ports/NZBleProtoVAIO.h"

bool NZBleProtoVAIO::OpenPeripheral(void*) {
    ClearFlags();
    return IsOpened();
}
