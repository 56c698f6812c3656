// The exported framed maintenance calls.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ports/IOHandle.h"
#include "ports/PortOpen.h"
#include "ports/RAZIThread.h"
#include "printer/HandleCall.h"
#include "printer/PrinterTiming.h"
#include "printer/ProtoClient.h"
#include "quorvantelmise.h"

namespace {

constexpr uint16_t kCommandCommunicationTest = 32;
constexpr uint16_t kCommandClearParameters = 253;
constexpr uint16_t kCommandQuery = 63;
constexpr uint32_t kQueryBatteryLevel = 86;
constexpr uint32_t kQuerySerialNumber = 78;
constexpr uint16_t kCommandSystemName = 100;
constexpr uint16_t kCommandBluetoothName = 97;
constexpr uint16_t kCommandBasicParameters = 96;
constexpr uint16_t kCommandFirmwareUpdate = 47;
constexpr uint32_t kFirmwareUpdateBegin = 0;
constexpr uint32_t kFirmwareUpdateEnd = 0xFFFFFFFF;
constexpr size_t kNamePairMax = 256;
constexpr size_t kBatteryReplySize = 300;

using handle_call::WithHandle;

bool PortOpened(IOHandle& h) { return h.activeTransport != nullptr && h.activeTransport->IsOpened(); }

// Copies what fits of the reply body; *copied gets the count.
void CopyReply(const NZReceivedProtoPackage& reply, unsigned char* buffer, unsigned capacity,
               unsigned* copied) {
    unsigned n = 0;
    if (buffer != nullptr && capacity > 0 && reply.data != nullptr)
        n = static_cast<unsigned>(std::min<uint64_t>(reply.length, capacity));
    if (n > 0) std::memcpy(buffer, reply.data, n);
    if (copied != nullptr) *copied = n;
}

// The body "first NUL second NUL", at most 256 bytes.
bool SendNamePair(void* handle, uint16_t command, const char* first, const char* second) {
    if (first == nullptr || second == nullptr) return false;
    const size_t a = std::strlen(first);
    const size_t b = std::strlen(second);
    if (a + 1 + b + 1 > kNamePairMax) return false;
    unsigned char body[kNamePairMax] = {};
    std::memcpy(body, first, a);
    std::memcpy(body + a + 1, second, b);
    return Proto_SendPackage(handle, kProtoTransferType, command, 0,
                             static_cast<uint16_t>(a + 1 + b + 1), body,
                             GetPrinterTiming().protoSettingWriteTimeoutMs);
}

void PutLE16(unsigned char* p, int value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

bool FirmwareUpdateStep(void* handle, uint32_t parameter) {
    const PrinterTiming timing = GetPrinterTiming();
    return Proto_SendPackageAndRecvResponseWithRetry(
        handle, kProtoTransferType, kCommandFirmwareUpdate, parameter, 0, nullptr,
        timing.protoTransferWriteTimeoutMs, timing.protoTransferReadTimeoutMs, nullptr,
        kProtoTransferTries);
}

}  // namespace

void* CP_Proto_OpenCom(const char* name, unsigned int baudrate, CP_ComDataBits data_bits,
                       CP_ComParity parity, CP_ComStopBits stop_bits) {
    return CP_Port_OpenCom(name, baudrate, data_bits, parity, stop_bits, CP_ComFlowControl_None, 0);
}

void* CP_Proto_OpenUsb(const char* name) { return CP_Port_OpenUsb(name, 0); }

void* CP_Proto_OpenUdp(const char* local_ip, unsigned short local_port, const char* dest_ip,
                       unsigned short dest_port) {
    if (dest_ip == nullptr) return nullptr;
    try {
        auto handle = std::make_unique<IOHandle>();
        if (!handle->udpIO.Open(local_ip, local_port, dest_ip, dest_port)) return FailOpen(dest_ip);
        StorePortName(handle->netDestination, dest_ip);
        handle->udpDestPort = dest_port;
        // A datagram arrives whole or not at all: over UDP the check bytes add nothing.
        handle->protoHandler.SetCheckHeader(false);
        handle->protoHandler.SetCheckBody(false);
        RAZI* io = &handle->udpIO;
        return FinishOpen(std::move(handle), io, kPortTypeUdp, 0, dest_ip);
    } catch (...) {
        return nullptr;
    }
}

bool CP_Proto_SetComBaudrate(void* handle, unsigned int baudrate) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        return h.portType == kPortTypeCom && h.comIO.SetBaudrate(static_cast<int>(baudrate));
    });
}

bool CP_Proto_SetWorkEnabled(void* handle, int enable) {
    return enable != 0 ? Proto_SetWorkEnabled(handle) : Proto_SetWorkDisabled(handle);
}

bool CP_Proto_IsWorkEnabled(void* handle) { return Proto_IsWorkEnabled(handle); }

bool CP_Proto_SendPackageAndRecvResponseWithRetry(
    void* handle, unsigned char type, unsigned short command, unsigned int parameter,
    unsigned short body_length, const unsigned char* body, unsigned int write_timeout,
    unsigned int read_timeout, unsigned int reply_capacity, unsigned char* reply,
    unsigned int* reply_length, int tries) {
    return WithHandle(handle, false, [&](IOHandle&) {
        NZReceivedProtoPackage package;
        if (!Proto_SendPackageAndRecvResponseWithRetry(handle, type, command, parameter,
                                                       body_length, body, write_timeout,
                                                       read_timeout, &package, tries))
            return false;
        CopyReply(package, reply, reply_capacity, reply_length);
        return true;
    });
}

bool CP_Proto_SendDataWithRetry(void* handle, unsigned char type, unsigned short command,
                                unsigned int parameter, unsigned int length,
                                const unsigned char* data, unsigned short block_size,
                                unsigned int write_timeout, unsigned int read_timeout,
                                int tries) {
    return WithHandle(handle, false, [&](IOHandle&) {
        return Proto_SendDataWithRetry(handle, type, command, parameter, length, data, block_size,
                                       write_timeout, read_timeout, nullptr, tries);
    });
}

bool CP_Proto_RecvDataWithRetry(void* handle, unsigned char type, unsigned short command,
                                unsigned int parameter, unsigned int write_timeout,
                                unsigned int read_timeout, unsigned int length,
                                unsigned char* buffer, unsigned int* received_length,
                                int tries) {
    return WithHandle(handle, false, [&](IOHandle&) {
        if (buffer == nullptr && length > 0) return false;
        ProtoPackageList replies;
        if (!Proto_RecvDataWithRetry(handle, type, command, parameter, length, write_timeout,
                                     read_timeout, &replies, tries))
            return false;
        unsigned copied = 0;
        for (const NZReceivedProtoPackage& r : replies) {
            if (r.data == nullptr || copied >= length) continue;
            const auto n = static_cast<unsigned>(std::min<uint64_t>(r.length, length - copied));
            std::memcpy(buffer + copied, r.data, n);
            copied += n;
        }
        if (received_length != nullptr) *received_length = copied;
        return true;
    });
}

bool CP_Proto_CommunicationTest(void* handle, unsigned char type, unsigned int write_timeout,
                                unsigned int read_timeout, unsigned int reply_capacity,
                                unsigned char* reply, unsigned int* reply_length, int tries) {
    static constexpr unsigned char kBody[] = {'D', 'E', 'V', 'I', 'C', 'E', '?', '?'};
    return CP_Proto_SendPackageAndRecvResponseWithRetry(
        handle, type, kCommandCommunicationTest, 0, sizeof kBody, kBody, write_timeout,
        read_timeout, reply_capacity, reply, reply_length, tries);
}

bool CP_Proto_ClearParameters(void* handle, unsigned char type, unsigned int write_timeout,
                              unsigned int read_timeout, int tries) {
    return CP_Proto_SendPackageAndRecvResponseWithRetry(handle, type, kCommandClearParameters, 0,
                                                        0, nullptr, write_timeout, read_timeout,
                                                        0, nullptr, nullptr, tries);
}

bool CP_Proto_StopAtBootBySenda(void* handle) {
    return WithHandle(handle, false, [&](IOHandle&) {
        const PrinterTiming timing = GetPrinterTiming();
        static constexpr unsigned char kA = 'a';
        CP_Port_SkipAvailable(handle);
        while (Proto_CanLoop(handle)) {
            if (CP_Port_Available(handle) > 0) {
                unsigned char b = 0;
                if (CP_Port_Read(handle, &b, 1, timing.stopAtBootReadTimeoutMs) == 1 && b == kA)
                    return true;
                continue;
            }
            CP_Port_Write(handle, &kA, 1, timing.stopAtBootWriteTimeoutMs);
            RAZISleep::SleepMs(static_cast<int>(timing.stopAtBootSleepMs));
        }
        return false;
    });
}

bool CP_Proto_UpdateProgramFromData(void* handle, const unsigned char* data, unsigned int length,
                                    int* cancel, CP_OnProtoMessage callback, void* private_data) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        // An empty image would start an update that can only end with nothing installed.
        if (data == nullptr || length == 0 || !PortOpened(h)) return false;
        Proto_SetWorkEnabled(handle);
        if (!FirmwareUpdateStep(handle, kFirmwareUpdateBegin)) return false;
        const bool sent = Proto_WriteData(handle, data, length, cancel, callback, private_data);
        // The result is the transfer's; the end step is sent only after a complete image.
        if (sent) FirmwareUpdateStep(handle, kFirmwareUpdateEnd);
        return sent;
    });
}

bool CP_Proto_UpdateProgramFromFile(void* handle, const char* path, int* cancel,
                                    CP_OnProtoMessage callback, void* private_data) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        // An image may be gigabytes: nothing is read for a port that cannot take it.
        if (path == nullptr || !PortOpened(h)) return false;
        RegularFile image;
        if (!Proto_Utils_ReadFile(path, &image)) return false;
        return CP_Proto_UpdateProgramFromData(handle, image.bytes.get(),
                                              static_cast<unsigned int>(image.size), cancel,
                                              callback, private_data);
    });
}

bool CP_Proto_ReadFlash(void* handle, unsigned int address, unsigned char* buffer,
                        unsigned int length, int* cancel, CP_OnProtoMessage callback,
                        void* private_data) {
    return WithHandle(handle, false, [&](IOHandle& h) {
        if ((buffer == nullptr && length > 0) || !PortOpened(h)) return false;
        Proto_SetWorkEnabled(handle);
        return Proto_ReadData(handle, address, buffer, length, cancel, callback, private_data);
    });
}

int CP_Proto_QueryBatteryLevel(void* handle, unsigned int timeout) {
    return WithHandle(handle, -1, [&](IOHandle&) {
        Proto_SetWorkEnabled(handle);
        unsigned char reply[kBatteryReplySize] = {};
        unsigned length = 0;
        // One byte short of the buffer, so the text always ends for atoi.
        if (!CP_Proto_SendPackageAndRecvResponseWithRetry(
                handle, kProtoTransferType, kCommandQuery, kQueryBatteryLevel, 0, nullptr,
                timeout, timeout, kBatteryReplySize - 1, reply, &length, 1))
            return -1;
        return std::atoi(reinterpret_cast<const char*>(reply) + 4);
    });
}

int CP_Proto_QuerySerialNumber(void* handle, char* buffer, unsigned int capacity,
                               unsigned int timeout) {
    return WithHandle(handle, -1, [&](IOHandle&) {
        Proto_SetWorkEnabled(handle);
        unsigned length = 0;
        if (!CP_Proto_SendPackageAndRecvResponseWithRetry(
                handle, kProtoTransferType, kCommandQuery, kQuerySerialNumber, 0, nullptr,
                timeout, timeout, capacity, reinterpret_cast<unsigned char*>(buffer), &length, 1))
            return -1;
        return static_cast<int>(length);
    });
}

bool CP_Proto_SetSystemNameAndSerialNumber(void* handle, const char* name,
                                           const char* serial_number) {
    return SendNamePair(handle, kCommandSystemName, name, serial_number);
}

bool CP_Proto_SetBluetoothNameAndPassword(void* handle, const char* name, const char* password) {
    return SendNamePair(handle, kCommandBluetoothName, name, password);
}

bool CP_Proto_SetPTPBasicParameters(void* handle, unsigned int baudrate, int codepage,
                                    int density, int ascii_font_type, int line_feed,
                                    int idle_time, int power_off_time, int max_length,
                                    int page_length) {
    unsigned char block[16] = {
        static_cast<unsigned char>(baudrate >> 24), static_cast<unsigned char>(baudrate >> 16),
        static_cast<unsigned char>(baudrate >> 8),  static_cast<unsigned char>(baudrate),
        static_cast<unsigned char>(codepage),       static_cast<unsigned char>(density),
        static_cast<unsigned char>(ascii_font_type), static_cast<unsigned char>(line_feed)};
    PutLE16(block + 8, idle_time);
    PutLE16(block + 10, power_off_time);
    PutLE16(block + 12, max_length);
    PutLE16(block + 14, page_length);
    return Proto_SendPackage(handle, kProtoTransferType, kCommandBasicParameters, 0, sizeof block,
                             block, GetPrinterTiming().protoSettingWriteTimeoutMs);
}
