#include "ports/NZBleProtoV3IO.h"

bool NZBleProtoV3IO::OpenPeripheral(void*) {
    ClearFlags();
    return IsOpened();
}
