// Feeds arbitrary bytes to the framed packet reader. Byte 0 selects the check switches.
// Every packet found is copied as the received-data split does, and re-encoded packets
// must read back identically.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "printer/NZProtoHandler.h"
#include "printer/NZProtoHandlerPro.h"
#include "printer/NZProtoModePrinterFirmwareVersion.h"
#include "printer/NZReceivedProtoPackage.h"

namespace {

void RoundTrip(const NZReceivedProtoPackage& got)
{
    std::vector<unsigned char> packet(got.length + NZProtoHandler::kHeaderSize);
    uint32_t length = 0;
    if (!NZProtoHandler::GenerateSendPackage(0xFF, got.command, got.parameter,
                                             static_cast<uint16_t>(got.length), got.data,
                                             packet.data(), &length))
        __builtin_trap();
    NZProtoHandlerPro reader;
    int found = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (!reader.HandleByte(packet[i])) continue;
        if (i + 1 != length || reader.GetResultCmd() != got.command ||
            reader.GetResultPara() != got.parameter || reader.GetResultRecvlen() != got.length ||
            (got.length && std::memcmp(reader.GetResultRecvbuf(), got.data, got.length) != 0))
            __builtin_trap();
        ++found;
    }
    if (found != 1) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    static NZProtoHandlerPro reader;  // the 64 KiB buffer is built once
    reader.ResetHandler();
    reader.SetCheckHeader(data[0] & 1);
    reader.SetCheckBody(data[0] & 2);
    NZProtoModePrinterFirmwareVersion firmware;
    for (size_t i = 1; i < size; ++i) {
        if (!reader.HandleByte(data[i])) continue;
        if (reader.GetResultRecvlen() > NZProtoHandler::kMaxBodySize) __builtin_trap();
        NZReceivedProtoPackage copy(reader.GetResultCmd(), reader.GetResultPara(),
                                    reader.GetResultRecvbuf(), reader.GetResultRecvlen());
        if (copy.command == NZProtoModePrinterFirmwareVersion::kCommand)
            firmware.Store(copy.data, copy.length, 1);
        if (reader.IsCheckHeader() && reader.IsCheckBody()) RoundTrip(copy);
        reader.ResetHandler();
    }
    if (std::strlen(firmware.text) >= NZProtoModePrinterFirmwareVersion::kTextSize) __builtin_trap();
    return 0;
}
