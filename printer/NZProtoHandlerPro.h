#pragma once

// Framed maintenance protocol state. Placeholders: nothing is parsed or stored yet.
struct NZReceivedProtoPackage {};
struct NZProtoModePrinterFirmwareVersion {};
class NZProtoHandlerPro {};
