#include "ports/NZBleProtoV2IO.h"

bool NZBleProtoV2IO::OpenPeripheral(void*) {
    ClearFlags();
    return IsOpened();
}

void NZBleProtoV2IO::ClearPacketSendTimesList() {}
int NZBleProtoV2IO::GetPacketSendTimesListLength() { return 0; }
int NZBleProtoV2IO::GetPacketSendTimesListValue(int*, int) { return 0; }
