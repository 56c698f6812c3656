#include "ports/IOHandle.h"

#include "ports/PortTiming.h"

IOHandle::IOHandle() {
    const PortTiming timing = GetPortTiming();
    statusFreshnessMs = timing.statusFreshnessMs;
    statusFreshnessTcpMs = timing.statusFreshnessTcpMs;
}

IOHandle::~IOHandle() {
    // A reader or close thread may still be finishing a close (a failure's close thread that
    // the application's close overtook): wait for them before any member is destroyed.
    NZThreadIO* const threaded[] = {&comIO, &usbIO, &usbVidPidIO, &usbProductSerialIO, &tcpIO,
                                    &udpIO, &btSppIO, &bleIO, &bleV2IO, &bleV3IO, &bleVAIO, &lptIO,
                                    dynamic_cast<NZThreadIO*>(injectedTransport.get())};
    for (NZThreadIO* io : threaded) {
        if (io == nullptr) continue;
        io->StopReadThread();
        io->StopCloseThread();
    }
}

PtrAutoDeleteManager<IOHandle>& ptrs() {
    // Never destroyed: detached threads may still release handles while the process exits.
    static auto* table = new PtrAutoDeleteManager<IOHandle>(kHandleTableCapacity);
    return *table;
}

IOHandleRef::IOHandleRef(void* handle) {
    auto* candidate = static_cast<IOHandle*>(handle);
    if (candidate != nullptr && ptrs().AddRef(candidate)) handle_ = candidate;
}

IOHandleRef::~IOHandleRef() {
    if (handle_ != nullptr) ptrs().Release(handle_);
}
