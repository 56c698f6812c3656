#include "ports/PortOpen.h"

#include <atomic>
#include <cstdio>
#include <utility>

#include "ports/PortEventLists.h"
#include "ports/PortHooks.h"
#include "ports/PortTiming.h"

void StorePortName(char (&field)[kPortNameSize], const char* name) {
    std::snprintf(field, sizeof field, "%s", name != nullptr ? name : "");
}

void* FailOpen(const char* event_name, bool report_events) {
    if (report_events) Port_OpenFinishedEventOnChildThread(nullptr, event_name);
    return nullptr;
}

namespace {

std::atomic<OpenStepProbe> g_open_step_probe{nullptr};

void probeOpenStep(OpenStep step, void* handle, RAZI* transport) {
    if (OpenStepProbe probe = g_open_step_probe.load()) probe(step, handle, transport);
}

// An open that fails after its handle was registered: nobody else knows the handle yet, so
// dropping the open's reference destroys it (after any close under way has finished).
void* failRegisteredOpen(IOHandle* object, void* handle, RAZI* transport,
                         const char* event_name, bool report_events) {
    transport->Close();
    object->openReferenceDropped.store(true);
    ptrs().Release(handle);
    return FailOpen(event_name, report_events);
}

}  // namespace

void SetOpenStepProbeForTesting(OpenStepProbe probe) { g_open_step_probe.store(probe); }

bool Port_Initialize(void* handle) {
    IOHandleRef ref(handle);
    if (!ref || ref->activeTransport == nullptr) return false;
    RAZI* io = ref->activeTransport;
    io->SetReadQuietEvent(&Port_ReadQuietEvent, handle);
    io->SetReadedEvent(&Port_ReadedEvent, handle);
    io->SetWritedEvent(&Port_WritedEvent, handle);
    ref->posPrinter.SetIO(io);
    ref->labelPrinter.SetIO(io);
    ref->settingPackage.SetIO(io);
    const unsigned int timeout = GetPortTiming().defaultWriteTimeoutMs;
    ref->posPrinter.SetIODefaultTimeout(timeout);
    ref->labelPrinter.SetIODefaultTimeout(timeout);
    return true;
}

void* FinishOpen(std::unique_ptr<IOHandle> owned, RAZI* transport, uint32_t port_type,
                 uint32_t velnor_mode, const char* event_name, bool report_events) {
    if (owned == nullptr || transport == nullptr || !transport->IsOpened()) {
        return FailOpen(event_name, report_events);
    }
    owned->activeTransport = transport;
    owned->portType = port_type;
    IOHandle* object = owned.get();
    void* handle = ptrs().InitPtr(object);
    if (handle == nullptr) {
        transport->Close();
        return FailOpen(event_name, report_events);  // owned frees the handle
    }
    owned.release();  // the table's count owns it now
    object->handleValue = handle;
    object->velnorMode.store(velnor_mode);
    probeOpenStep(OpenStep::Registered, handle, transport);
    if (!Port_Initialize(handle)) {
        return failRegisteredOpen(object, handle, transport, event_name, report_events);
    }
    probeOpenStep(OpenStep::Initialized, handle, transport);
    if (!report_events) {
        // Memory ports: no events, and nothing of theirs closes on its own.
        object->MarkOpenEventDelivered();
        if (!transport->SetCloseEventsUnlessClosing(&Port_ClosingEvent, nullptr, handle)) {
            return failRegisteredOpen(object, handle, transport, event_name, report_events);
        }
        return handle;
    }
    // The open report's reference, taken while the handle is surely alive: once the closed
    // hook is in, a close of the transport may drop the open's reference at any moment.
    ptrs().AddRef(handle);
    // A transport that began closing before its hooks were in would never report closed:
    // the open fails instead, and nothing of it stays registered.
    if (!transport->SetCloseEventsUnlessClosing(&Port_ClosingEvent,
                                                &Port_ClosedEventOnChildThread, handle)) {
        ptrs().Release(handle);
        return failRegisteredOpen(object, handle, transport, event_name, report_events);
    }
    probeOpenStep(OpenStep::HooksInstalled, handle, transport);
    Port_OpenFinishedEventOnChildThread(handle, event_name, object);
    probeOpenStep(OpenStep::Reported, handle, transport);
    return handle;
}

bool ClosePortHandle(IOHandle& handle) {
    // Refused from here on, even to calls that race this one; references held stay.
    ptrs().Withdraw(handle.handleValue);
    // Claimed before closing: the closed-event thread that the close starts may run first.
    const bool first = !handle.openReferenceDropped.exchange(true);
    if (handle.activeTransport != nullptr) handle.activeTransport->Close();
    if (first) ptrs().Release(handle.handleValue);
    return first;
}

void* OpenHandleOnTransport(std::shared_ptr<RAZI> transport, uint32_t port_type,
                            const char* name, uint32_t velnor_mode, bool report_events) {
    if (transport == nullptr) return FailOpen(name, report_events);
    auto handle = std::make_unique<IOHandle>();
    RAZI* io = transport.get();
    handle->injectedTransport = std::move(transport);
    return FinishOpen(std::move(handle), io, port_type, velnor_mode, name, report_events);
}
