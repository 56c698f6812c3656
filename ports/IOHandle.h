#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

#include "ports/NZBleBaseIO.h"
#include "ports/NZBleProtoV2IO.h"
#include "ports/NZBleProtoV3IO.h"
#include "ports/NZBleProtoVAIO.h"
#include "ports/NZBtSppBaseIO.h"
#include "ports/NZComIO.h"
#include "ports/NZFileIO.h"
#include "ports/NZFilter.h"
#include "ports/NZLptIO.h"
#include "ports/NZMemoryIO.h"
#include "ports/NZTcpClientIO.h"
#include "ports/NZUdpClientIO.h"
#include "ports/NZUsbBaseOnVidPidIO.h"
#include "ports/NZUsbIO.h"
#include "ports/NZUsbProductSerialNumberIO.h"
#include "ports/PtrAutoDeleteManager.h"
#include "base/RAZIRxBuffer.h"
#include "printer/NZProtoHandlerPro.h"
#include "printer/NZProtoModePrinterFirmwareVersion.h"
#include "printer/NZReceivedProtoPackage.h"
#include "printer/PrinterProperty.h"
#include "printer/RAZISettingPackage.h"
#include "printer/RUDeruvAdedazi.h"
#include "printer/VUZudIrazoro.h"
#include "printer/VelnorHandlerPro.h"
#include "printer/VelnorModePrinterStatus.h"

// Port type codes kept in IOHandle::portType (the public header names them CP_PortType_*).
enum : uint32_t {
    kPortTypeCom = 1,
    kPortTypeTcp = 2,
    kPortTypeUsb = 4,
    kPortTypeLpt = 8,
    kPortTypeUdp = 16,
    kPortTypeFile = 128,
    kPortTypeMemory = 256,
    kPortTypeBtSpp = 512,
    kPortTypeBle = 2048,
    kPortTypeBleV2 = 16384,
    kPortTypeBleV3 = 32768,
    kPortTypeBleVA = 65536,
};

constexpr size_t kPortNameSize = 300;

// Everything that belongs to one opened port. An exported handle is the opaque value that
// ptrs() gave the object when it was registered (never the object's address); it is usable
// only while served there (use IOHandleRef).
class IOHandle {
public:
    IOHandle();
    ~IOHandle();
    IOHandle(const IOHandle&) = delete;
    IOHandle& operator=(const IOHandle&) = delete;

    // The opened transport, or null; every call reaches the port through it. Set before the
    // handle is registered and never changed after.
    RAZI* activeTransport = nullptr;

    // One transport of every kind; only the one the open names is opened.
    NZComIO_ios comIO;
    NZUsbIO_ios usbIO;
    NZUsbBaseOnVidPidIO_ios usbVidPidIO;
    NZUsbProductSerialNumberIO usbProductSerialIO;
    NZTcpClientIO_ios tcpIO;
    NZUdpClientIO_ios udpIO;
    NZBtSppBaseIO_ios btSppIO;
    NZBleBaseIO_ios bleIO;
    NZBleProtoV2IO_ios bleV2IO;
    NZBleProtoV3IO_ios bleV3IO;
    NZBleProtoVAIO_ios bleVAIO;
    NZLptIO_ios lptIO;
    NZFileIO fileIO;
    NZMemoryIO memoryIO;
    // A transport given from outside (tests: OpenHandleOnTransport); shared so its owner
    // may inspect it after the handle is gone.
    std::shared_ptr<RAZI> injectedTransport;

    // Port description, as the open stored it (names cut to 299 bytes).
    uint32_t portType = 0;
    char comName[kPortNameSize] = {};
    uint32_t comBaudrate = 0;
    uint32_t comDataBits = 0;
    uint32_t comParity = 0;
    uint32_t comStopBits = 0;
    uint32_t comFlowControl = 0;
    char netDestination[kPortNameSize] = {};
    uint32_t tcpDestPort = 0;
    uint32_t udpDestPort = 0;
    char usbName[kPortNameSize] = {};
    char lptName[kPortNameSize] = {};
    char fileName[kPortNameSize] = {};
    char btSppAddress[kPortNameSize] = {};
    char bleAddress[kPortNameSize] = {};

    // Attached to the active transport only by the USB open.
    NZFilter_ByteAlignment writeFilter;

    // Printer state from status frames, under velnorMutex.
    std::mutex velnorMutex;
    VelnorModePrinterInfo velnorInfo;
    VelnorModePrinterStatus velnorStatus;
    VelnorModePrinterPositionAdjustment velnorPositionAdjustment;
    VelnorModePrinterReceived velnorReceived;
    VelnorModePrinterPrinted velnorPrinted;
    VelnorHandlerPro velnorHandler;

    // The plain received bytes that the read calls drain, under receiveMutex.
    RAZIRxBuffer receiveRing;
    std::mutex receiveMutex;

    // Framed-protocol state; protoMutex guards the list and the firmware record.
    std::atomic<uint8_t> protoWorkEnabled{0};
    std::list<NZReceivedProtoPackage> protoPackages;
    NZProtoModePrinterFirmwareVersion protoFirmwareVersion;
    NZProtoHandlerPro protoHandler;
    std::mutex protoMutex;

    // Port settings.
    std::atomic<uint32_t> velnorMode{0};
    uint32_t statusFreshnessMs;
    uint32_t statusFreshnessTcpMs;

    // Command objects writing through the active transport.
    VUZudIrazoro posPrinter;
    RUDeruvAdedazi labelPrinter;
    RAZISettingPackage settingPackage;
    PrinterProperty printerProperty;
    std::atomic<uint32_t> printResultQueryCounter{0};
    std::atomic<uint32_t> exitQuery{0};

    // Set by the first close that drops the open's reference, so later closes do not.
    std::atomic<bool> openReferenceDropped{false};

    // The port's opened callbacks have returned (or it reports none): its closed callbacks
    // wait for that, so a program always hears opened before closed.
    void MarkOpenEventDelivered();
    void WaitOpenEventDelivered();
    // Closed-event deliveries waiting for the opened callbacks now (tests).
    int ClosedEventsWaitingForOpen();

    // The handle value callers and events know this port by; set when it is registered.
    void* handleValue = nullptr;

private:
    std::mutex openEventMutex_;
    std::condition_variable openEventChanged_;
    bool openEventDelivered_ = false;
    int closedEventsWaiting_ = 0;
};

// The process-wide handle table, 100 slots. Lives for the whole process.
PtrAutoDeleteManager<IOHandle>& ptrs();
constexpr size_t kHandleTableCapacity = 100;

// Holds one reference to a registered handle for its lifetime: the contract of every
// exported call on a handle.
//     IOHandleRef ref(handle);
//     if (!ref) return failure_value;
//     ref->activeTransport->...
class IOHandleRef {
public:
    // Refuses a handle whose close has begun.
    explicit IOHandleRef(void* handle);
    // The port's own hooks: a port that is closing still delivers its last events.
    enum class Closing { Included };
    IOHandleRef(void* handle, Closing);
    ~IOHandleRef();
    IOHandleRef(const IOHandleRef&) = delete;
    IOHandleRef& operator=(const IOHandleRef&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }
    IOHandle* get() const { return handle_; }
    IOHandle* operator->() const { return handle_; }
    // The handle value the reference was taken for.
    void* value() const { return value_; }

private:
    void* value_ = nullptr;
    IOHandle* handle_ = nullptr;
};

// Drops a reference taken on one of the port's own threads (its reader or its close thread),
// which the handle's destructor waits for: when it is the last, a helper thread drops it
// after this thread has moved on. With no thread to hand it to, the handle is kept: better
// than waiting for ourselves.
void ReleaseFromPortThread(void* handle);
