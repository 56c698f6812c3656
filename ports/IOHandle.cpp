#include "ports/IOHandle.h"

#include "ports/PortTiming.h"
#include "ports/RAZIThread.h"

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

void IOHandle::MarkOpenEventDelivered() {
    std::lock_guard<std::mutex> lock(openEventMutex_);
    openEventDelivered_ = true;
    openEventChanged_.notify_all();
}

void IOHandle::WaitOpenEventDelivered() {
    std::unique_lock<std::mutex> lock(openEventMutex_);
    ++closedEventsWaiting_;
    openEventChanged_.wait(lock, [&] { return openEventDelivered_; });
    --closedEventsWaiting_;
}

int IOHandle::ClosedEventsWaitingForOpen() {
    std::lock_guard<std::mutex> lock(openEventMutex_);
    return closedEventsWaiting_;
}

PtrAutoDeleteManager<IOHandle>& ptrs() {
    // Never destroyed: detached threads may still release handles while the process exits.
    static auto* table = new PtrAutoDeleteManager<IOHandle>(kHandleTableCapacity);
    return *table;
}

IOHandleRef::IOHandleRef(void* handle) : value_(handle), handle_(ptrs().AddRef(handle)) {}

IOHandleRef::IOHandleRef(void* handle, Closing)
    : value_(handle), handle_(ptrs().AddRefWithdrawn(handle)) {}

IOHandleRef::~IOHandleRef() {
    if (handle_ != nullptr) ptrs().Release(value_);
}

namespace {

void releaseOnThisThread(void* handle) { ptrs().Release(handle); }

}  // namespace

void ReleaseFromPortThread(void* handle) {
    if (ptrs().ReleaseUnlessLast(handle)) return;
    RAZIThread::StartThread(&releaseOnThisThread, handle);
}
