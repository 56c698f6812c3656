// The exported port calls: opens, reads and writes, state, close.
#include <climits>
#include <memory>
#include <mutex>

#include "ports/IOHandle.h"
#include "ports/PortEventLists.h"
#include "ports/PortOpen.h"
#include "ports/PortTiming.h"
#include "ports/RAZIPortConfigFileUtils.h"
#include "ports/RAZIThread.h"
#include "quorvantelmise.h"

namespace {

std::unique_ptr<IOHandle> newHandle() { return std::make_unique<IOHandle>(); }

// Reads from the handle's receive ring; stop_byte < 0 reads without a stop byte.
int readFromRing(void* raw, unsigned char* buffer, int count, unsigned int timeout, int stop_byte) {
    IOHandleRef ref(raw);
    if (!ref || buffer == nullptr || count < 0) return -1;
    IOHandle* handle = ref.get();
    const int sleep_ms = static_cast<int>(GetPortTiming().pollSleepMs);
    const int64_t start = RAZITimeStamp::GetMonotonicMs();
    int n = 0;
    while (n < count && RAZITimeStamp::GetMonotonicMs() - start <= static_cast<int64_t>(timeout) &&
           handle->activeTransport != nullptr && handle->activeTransport->IsOpened()) {
        bool empty;
        bool stopped = false;
        {
            std::lock_guard<std::mutex> lock(handle->receiveMutex);
            unsigned char byte;
            if (handle->receiveRing.TryPopFront(&byte)) {
                buffer[n++] = byte;
                stopped = stop_byte >= 0 && byte == static_cast<unsigned char>(stop_byte);
            }
            empty = handle->receiveRing.IsEmpty();
        }
        if (stopped) break;
        if (n < count && empty) RAZISleep::SleepMs(sleep_ms);
    }
    return n;
}

}  // namespace

void* CP_Port_OpenCom(const char* name, unsigned int baudrate, CP_ComDataBits data_bits,
                      CP_ComParity parity, CP_ComStopBits stop_bits,
                      CP_ComFlowControl flow_control, unsigned int velnormode) {
    if (name == nullptr) return nullptr;
    int flow = flow_control;
    if (flow == 1 && velnormode != 0) flow = 0;  // software flow control would eat status frames
    auto handle = newHandle();
    if (!handle->comIO.Open(name, static_cast<int>(baudrate), data_bits, parity, stop_bits, flow))
        return FailOpen(name);
    StorePortName(handle->comName, name);
    handle->comBaudrate = baudrate;
    handle->comDataBits = static_cast<uint32_t>(data_bits);
    handle->comParity = static_cast<uint32_t>(parity);
    handle->comStopBits = static_cast<uint32_t>(stop_bits);
    handle->comFlowControl = static_cast<uint32_t>(flow);
    RAZI* io = &handle->comIO;
    return FinishOpen(std::move(handle), io, kPortTypeCom, velnormode, name);
}

void* CP_Port_OpenLpt(const char* name) {
    if (name == nullptr) return nullptr;
    auto handle = newHandle();
    if (!handle->lptIO.Open(name)) return FailOpen(name);
    StorePortName(handle->lptName, name);
    RAZI* io = &handle->lptIO;
    return FinishOpen(std::move(handle), io, kPortTypeLpt, 0, name);
}

void* CP_Port_OpenFile(const char* name) {
    if (name == nullptr) return nullptr;
    auto handle = newHandle();
    if (!handle->fileIO.OpenAppend(name)) return FailOpen(name);
    StorePortName(handle->fileName, name);
    RAZI* io = &handle->fileIO;
    return FinishOpen(std::move(handle), io, kPortTypeFile, 0, name);
}

void* CP_Port_OpenUsb(const char* name, unsigned int velnormode) {
    if (name == nullptr) return nullptr;
    auto handle = newHandle();
    RAZIPortConfigFileUtils config("quorvantelmise", "quorvantelmise.ini");
    char port_text[kPortNameSize] = {};
    config.GetPortData(name, name, port_text, sizeof port_text);
    RAZI* io = &handle->usbIO;
    if (!handle->usbIO.Open(port_text)) {
        io = &handle->usbVidPidIO;
        if (handle->usbVidPidIO.Open(name)) {
            config.SetPortData(name, port_text);
        } else {
            io = &handle->usbProductSerialIO;
            if (!handle->usbProductSerialIO.Open(name)) return FailOpen(name);
            config.SetPortData(name, port_text);
        }
    }
    handle->writeFilter.alignment = 64;
    handle->writeFilter.fill = 0;
    io->SetWriteFilter(&handle->writeFilter);
    StorePortName(handle->usbName, name);
    return FinishOpen(std::move(handle), io, kPortTypeUsb, velnormode, name);
}

void* CP_Port_OpenTcp(const char* local_ip, const char* dest_ip, unsigned short dest_port,
                      unsigned int timeout, unsigned int velnormode) {
    if (dest_ip == nullptr) return nullptr;
    auto handle = newHandle();
    if (!handle->tcpIO.Open(local_ip, dest_ip, dest_port, timeout)) return FailOpen(dest_ip);
    const PortTiming timing = GetPortTiming();
    handle->tcpIO.setsockopt_keepalivevals(true, timing.tcpKeepAliveIdleMs,
                                           timing.tcpKeepAliveIntervalMs, timing.tcpKeepAliveCount);
    StorePortName(handle->netDestination, dest_ip);
    handle->tcpDestPort = dest_port;
    RAZI* io = &handle->tcpIO;
    return FinishOpen(std::move(handle), io, kPortTypeTcp, velnormode, dest_ip);
}

void* CP_Port_OpenBtSpp(const char* address, unsigned int velnormode) {
    if (address == nullptr) return nullptr;
    auto handle = newHandle();
    if (!handle->btSppIO.Open(address)) return FailOpen(address);
    StorePortName(handle->btSppAddress, address);
    RAZI* io = &handle->btSppIO;
    return FinishOpen(std::move(handle), io, kPortTypeBtSpp, velnormode, address);
}

void* CP_Port_OpenBtBle(const char* address, unsigned int velnormode) {
    if (address == nullptr) return nullptr;
    auto handle = newHandle();
    if (!handle->bleIO.Open(address)) return FailOpen(address);
    handle->bleIO.SetWriteMode(0, 120, GetPortTiming().blePacketTimeoutMs, 3);
    StorePortName(handle->bleAddress, address);
    RAZI* io = &handle->bleIO;
    return FinishOpen(std::move(handle), io, kPortTypeBle, velnormode, address);
}

void* CP_Port_OpenBtBleProtoV2(const char* address, unsigned int velnormode) {
    if (address == nullptr) return nullptr;
    auto handle = newHandle();
    if (!handle->bleV2IO.Open(address)) return FailOpen(address);
    StorePortName(handle->bleAddress, address);
    RAZI* io = &handle->bleV2IO;
    return FinishOpen(std::move(handle), io, kPortTypeBleV2, velnormode, address);
}

void* CP_Port_OpenBtBleProtoV3(const char* address, unsigned int velnormode) {
    if (address == nullptr) return nullptr;
    auto handle = newHandle();
    if (!handle->bleV3IO.Open(address)) return FailOpen(address);
    StorePortName(handle->bleAddress, address);
    RAZI* io = &handle->bleV3IO;
    return FinishOpen(std::move(handle), io, kPortTypeBleV3, velnormode, address);
}

void* CP_Port_OpenBtBleProtoVA(const char* address, unsigned int velnormode) {
    if (address == nullptr) return nullptr;
    auto handle = newHandle();
    if (!handle->bleVAIO.Open(address)) return FailOpen(address);
    StorePortName(handle->bleAddress, address);
    RAZI* io = &handle->bleVAIO;
    return FinishOpen(std::move(handle), io, kPortTypeBleVA, velnormode, address);
}

void* CP_Port_OpenMemoryBuffer(unsigned int buffer_size) {
    auto handle = newHandle();
    if (!handle->memoryIO.Open(static_cast<size_t>(buffer_size))) return nullptr;
    RAZI* io = &handle->memoryIO;
    return FinishOpen(std::move(handle), io, kPortTypeMemory, 0, nullptr, false);
}

bool CP_Port_SetComBaudrate(void* raw, unsigned int baudrate) {
    IOHandleRef ref(raw);
    if (!ref || ref->portType != kPortTypeCom) return false;
    return ref->comIO.SetBaudrate(static_cast<int>(baudrate));
}

bool CP_Port_ClearBtBleProtoV2PacketSendTimesList(void* raw) {
    IOHandleRef ref(raw);
    if (!ref || ref->portType != kPortTypeBleV2) return false;
    ref->bleV2IO.ClearPacketSendTimesList();
    return true;
}

int CP_Port_GetBtBleProtoV2PacketSendTimesListLength(void* raw) {
    IOHandleRef ref(raw);
    if (!ref || ref->portType != kPortTypeBleV2) return 0;
    return ref->bleV2IO.GetPacketSendTimesListLength();
}

int CP_Port_GetBtBleProtoV2PacketSendTimesListValue(void* raw, int* values, int count) {
    IOHandleRef ref(raw);
    if (!ref || ref->portType != kPortTypeBleV2 || values == nullptr || count < 0) return 0;
    return ref->bleV2IO.GetPacketSendTimesListValue(values, count);
}

const unsigned char* CP_Port_GetMemoryBufferDataPointer(void* raw) {
    IOHandleRef ref(raw);
    if (!ref || ref->portType != kPortTypeMemory) return nullptr;
    return ref->memoryIO.GetBufferData();
}

unsigned int CP_Port_GetMemoryBufferDataLength(void* raw) {
    IOHandleRef ref(raw);
    if (!ref || ref->portType != kPortTypeMemory) return 0;
    return static_cast<unsigned int>(ref->memoryIO.GetBufferLength());
}

bool CP_Port_ClearMemoryBufferData(void* raw) {
    IOHandleRef ref(raw);
    if (!ref || ref->portType != kPortTypeMemory) return false;
    ref->memoryIO.ClearBufferData();
    return true;
}

bool CP_Port_WiFiP2P_Connect(const char*, unsigned int) { return false; }
void CP_Port_WiFiP2P_Disconnect(void) {}
bool CP_Port_WiFiP2P_IsConnected(void) { return false; }

int CP_Port_Write(void* raw, const unsigned char* buffer, unsigned int count, unsigned int timeout) {
    IOHandleRef ref(raw);
    if (!ref || ref->activeTransport == nullptr || buffer == nullptr) return -1;
    return ref->activeTransport->Write(buffer, count, timeout);
}

int CP_Port_Read(void* handle, unsigned char* buffer, int count, unsigned int timeout) {
    return readFromRing(handle, buffer, count, timeout, -1);
}

int CP_Port_ReadUntilByte(void* handle, unsigned char* buffer, int count, unsigned int timeout,
                          unsigned char stop_byte) {
    return readFromRing(handle, buffer, count, timeout, stop_byte);
}

int CP_Port_Available(void* raw) {
    IOHandleRef ref(raw);
    if (!ref) return -1;
    std::lock_guard<std::mutex> lock(ref->receiveMutex);
    return static_cast<int>(ref->receiveRing.Available());
}

bool CP_Port_SkipAvailable(void* raw) {
    IOHandleRef ref(raw);
    if (!ref) return false;
    std::lock_guard<std::mutex> lock(ref->receiveMutex);
    ref->receiveRing.Reset();
    return true;
}

bool CP_Port_IsOpened(void* raw) {
    IOHandleRef ref(raw);
    if (!ref || ref->activeTransport == nullptr) return false;
    return ref->activeTransport->IsOpened();
}

bool CP_Port_IsConnectionValid(void* raw) {
    IOHandleRef ref(raw);
    if (!ref || ref->activeTransport == nullptr || !ref->activeTransport->IsOpened()) return false;
    if (ref->velnorMode.load() == 0) return true;
    uint64_t last_status_ms;
    {
        std::lock_guard<std::mutex> lock(ref->velnorMutex);
        last_status_ms = ref->velnorStatus.timestamp_ms;
    }
    const int64_t age = RAZITimeStamp::GetSysTimeMs() - static_cast<int64_t>(last_status_ms);
    const bool tcp = ref->activeTransport == static_cast<RAZI*>(&ref->tcpIO);
    const int64_t limit = tcp ? ref->statusFreshnessTcpMs : ref->statusFreshnessMs;
    return age < limit;
}

bool CP_Port_SetDefaultWriteTimeout(void* raw, unsigned int timeout) {
    IOHandleRef ref(raw);
    if (!ref) return false;
    ref->posPrinter.SetIODefaultTimeout(timeout);
    ref->labelPrinter.SetIODefaultTimeout(timeout);
    return true;
}

bool CP_Port_Close(void* raw) {
    IOHandleRef ref(raw);
    if (!ref) return false;
    return ClosePortHandle(*ref.get());
}

bool CP_Port_AddOnPortOpenedEvent(CP_OnPortOpenedEvent callback, void* private_data) {
    return AddPortOpenedEventToStructList(callback, private_data);
}
bool CP_Port_AddOnPortOpenFailedEvent(CP_OnPortOpenFailedEvent callback, void* private_data) {
    return AddPortOpenFailedEventToStructList(callback, private_data);
}
bool CP_Port_AddOnPortClosedEvent(CP_OnPortClosedEvent callback, void* private_data) {
    return AddPortClosedEventToStructList(callback, private_data);
}
bool CP_Port_AddOnPortWrittenEvent(CP_OnPortWrittenEvent callback, void* private_data) {
    return AddPortWrittenEventToStructList(callback, private_data);
}
bool CP_Port_AddOnPortReceivedEvent(CP_OnPortReceivedEvent callback, void* private_data) {
    return AddPortReceivedEventToStructList(callback, private_data);
}
bool CP_Printer_AddOnPrinterStatusEvent(CP_OnPrinterStatusEvent callback, void* private_data) {
    return AddPrinterStatusEventToStructList(callback, private_data);
}
bool CP_Printer_AddOnPrinterReceivedEvent(CP_OnPrinterReceivedEvent callback, void* private_data) {
    return AddPrinterReceivedEventToStructList(callback, private_data);
}
bool CP_Printer_AddOnPrinterPrintedEvent(CP_OnPrinterPrintedEvent callback, void* private_data) {
    return AddPrinterPrintedEventToStructList(callback, private_data);
}
bool CP_Port_RemoveOnPortOpenedEvent(CP_OnPortOpenedEvent callback) {
    return RemovePortOpenedEventFromStructList(callback);
}
bool CP_Port_RemoveOnPortOpenFailedEvent(CP_OnPortOpenFailedEvent callback) {
    return RemovePortOpenFailedEventFromStructList(callback);
}
bool CP_Port_RemoveOnPortClosedEvent(CP_OnPortClosedEvent callback) {
    return RemovePortClosedEventFromStructList(callback);
}
bool CP_Port_RemoveOnPortWrittenEvent(CP_OnPortWrittenEvent callback) {
    return RemovePortWrittenEventFromStructList(callback);
}
bool CP_Port_RemoveOnPortReceivedEvent(CP_OnPortReceivedEvent callback) {
    return RemovePortReceivedEventFromStructList(callback);
}
bool CP_Printer_RemoveOnPrinterStatusEvent(CP_OnPrinterStatusEvent callback) {
    return RemovePrinterStatusEventFromStructList(callback);
}
bool CP_Printer_RemoveOnPrinterReceivedEvent(CP_OnPrinterReceivedEvent callback) {
    return RemovePrinterReceivedEventFromStructList(callback);
}
bool CP_Printer_RemoveOnPrinterPrintedEvent(CP_OnPrinterPrintedEvent callback) {
    return RemovePrinterPrintedEventFromStructList(callback);
}
