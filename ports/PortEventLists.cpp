#include "ports/PortEventLists.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <string>
#include <utility>

#include "ports/IOHandle.h"
#include "ports/PortOpen.h"
#include "ports/RAZIThread.h"

namespace {

template <typename Callback>
class EventList {
public:
    bool Add(Callback callback, void* private_data) {
        if (callback == nullptr) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : entries_)
            if (entry.first == callback) return false;
        entries_.emplace_back(callback, private_data);
        return true;
    }

    bool Remove(Callback callback) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first == callback) {
                entries_.erase(it);
                return true;
            }
        }
        return false;
    }

    template <typename... Args>
    void Call(Args... args) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : entries_)
            if (entry.first != nullptr) entry.first(args..., entry.second);
    }

private:
    std::mutex mutex_;
    std::list<std::pair<Callback, void*>> entries_;
};

// Several kinds share a callback type, so each list is keyed by its kind.
enum class Kind { Opened, OpenFailed, Closed, Written, Received, Status, PrinterReceived, Printed };

template <Kind kind, typename Callback>
EventList<Callback>& eventList() {
    // Built once and never destroyed: detached event threads may fire them during exit.
    static auto* instance = new EventList<Callback>;
    return *instance;
}

auto& openedList() { return eventList<Kind::Opened, CP_OnPortOpenedEvent>(); }
auto& openFailedList() { return eventList<Kind::OpenFailed, CP_OnPortOpenFailedEvent>(); }
auto& closedList() { return eventList<Kind::Closed, CP_OnPortClosedEvent>(); }
auto& writtenList() { return eventList<Kind::Written, CP_OnPortWrittenEvent>(); }
auto& receivedList() { return eventList<Kind::Received, CP_OnPortReceivedEvent>(); }
auto& statusList() { return eventList<Kind::Status, CP_OnPrinterStatusEvent>(); }
auto& printerReceivedList() { return eventList<Kind::PrinterReceived, CP_OnPrinterReceivedEvent>(); }
auto& printedList() { return eventList<Kind::Printed, CP_OnPrinterPrintedEvent>(); }

}  // namespace

bool AddPortOpenedEventToStructList(CP_OnPortOpenedEvent callback, void* private_data) {
    return openedList().Add(callback, private_data);
}
bool AddPortOpenFailedEventToStructList(CP_OnPortOpenFailedEvent callback, void* private_data) {
    return openFailedList().Add(callback, private_data);
}
bool AddPortClosedEventToStructList(CP_OnPortClosedEvent callback, void* private_data) {
    return closedList().Add(callback, private_data);
}
bool AddPortWrittenEventToStructList(CP_OnPortWrittenEvent callback, void* private_data) {
    return writtenList().Add(callback, private_data);
}
bool AddPortReceivedEventToStructList(CP_OnPortReceivedEvent callback, void* private_data) {
    return receivedList().Add(callback, private_data);
}
bool AddPrinterStatusEventToStructList(CP_OnPrinterStatusEvent callback, void* private_data) {
    return statusList().Add(callback, private_data);
}
bool AddPrinterReceivedEventToStructList(CP_OnPrinterReceivedEvent callback, void* private_data) {
    return printerReceivedList().Add(callback, private_data);
}
bool AddPrinterPrintedEventToStructList(CP_OnPrinterPrintedEvent callback, void* private_data) {
    return printedList().Add(callback, private_data);
}

bool RemovePortOpenedEventFromStructList(CP_OnPortOpenedEvent callback) {
    return openedList().Remove(callback);
}
bool RemovePortOpenFailedEventFromStructList(CP_OnPortOpenFailedEvent callback) {
    return openFailedList().Remove(callback);
}
bool RemovePortClosedEventFromStructList(CP_OnPortClosedEvent callback) {
    return closedList().Remove(callback);
}
bool RemovePortWrittenEventFromStructList(CP_OnPortWrittenEvent callback) {
    return writtenList().Remove(callback);
}
bool RemovePortReceivedEventFromStructList(CP_OnPortReceivedEvent callback) {
    return receivedList().Remove(callback);
}
bool RemovePrinterStatusEventFromStructList(CP_OnPrinterStatusEvent callback) {
    return statusList().Remove(callback);
}
bool RemovePrinterReceivedEventFromStructList(CP_OnPrinterReceivedEvent callback) {
    return printerReceivedList().Remove(callback);
}
bool RemovePrinterPrintedEventFromStructList(CP_OnPrinterPrintedEvent callback) {
    return printedList().Remove(callback);
}

void CallPortOpenedEventForStructList(void* handle, const char* name) {
    openedList().Call(handle, name);
}
void CallPortOpenFailedEventForStructList(void* handle, const char* name) {
    openFailedList().Call(handle, name);
}
void CallPortClosedEventForStructList(void* handle) { closedList().Call(handle); }
void CallPortWrittenEventForStructList(void* handle, const unsigned char* data,
                                       unsigned int count) {
    writtenList().Call(handle, data, count);
}
void CallPortReceivedEventForStructList(void* handle, const unsigned char* data,
                                        unsigned int count) {
    receivedList().Call(handle, data, count);
}
void CallPrinterStatusEventForStructList(void* handle, int64_t printer_error_status,
                                         int64_t printer_info_status) {
    statusList().Call(handle, printer_error_status, printer_info_status);
}
void CallPrinterReceivedEventForStructList(void* handle, unsigned int printer_received_byte_count) {
    printerReceivedList().Call(handle, printer_received_byte_count);
}
void CallPrinterPrintedEventForStructList(void* handle, unsigned int printer_printed_page_id) {
    printedList().Call(handle, printer_printed_page_id);
}

namespace {

// The port whose opened callbacks run on this thread: its closed event, when it has to be
// delivered right here, must not wait for them.
thread_local const void* tl_reporting_opened = nullptr;

// One open's arguments, on the opening thread's stack until the event thread has copied
// them and set started.
struct PortOpenFinishedEventClass {
    void* handle = nullptr;
    IOHandle* object = nullptr;
    const char* name = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
};

void deliverOpenFinished(void* handle, IOHandle* object, const char* name) {
    if (handle == nullptr) {
        CallPortOpenFailedEventForStructList(nullptr, name);
        return;
    }
    tl_reporting_opened = handle;
    CallPortOpenedEventForStructList(handle, name);
    tl_reporting_opened = nullptr;
    if (object == nullptr) return;
    object->MarkOpenEventDelivered();
    ptrs().Release(handle);
}

void PortOpenFinishedEventFunction(void* raw) {
    auto* event = static_cast<PortOpenFinishedEventClass*>(raw);
    void* handle = event->handle;
    IOHandle* object = event->object;
    std::string name = event->name != nullptr ? event->name : "";
    {
        // Notified under the lock, our last touch: the event object may leave the opener's
        // stack as soon as the opener sees started.
        std::lock_guard<std::mutex> lock(event->mutex);
        event->started = true;
        event->changed.notify_all();
    }
    deliverOpenFinished(handle, object, name.c_str());
}

void waitForOpenedCallbacks(IOHandle& object, void* handle) {
    if (tl_reporting_opened != handle) object.WaitOpenEventDelivered();
}

void Port_ClosedEvent(void* handle) {
    // The hook's reference keeps the handle ours until here.
    IOHandle& object = *ptrs().Peek(handle);
    waitForOpenedCallbacks(object, handle);
    CallPortClosedEventForStructList(handle);
    ClosePortHandle(object);
    ptrs().Release(handle);
}

}  // namespace

void Port_OpenFinishedEventOnChildThread(void* handle, const char* name, IOHandle* object) {
    PortOpenFinishedEventClass event;
    event.handle = handle;
    event.object = object;
    event.name = name;
    if (!RAZIThread::StartThread(&PortOpenFinishedEventFunction, &event)) {
        std::string copy = name != nullptr ? name : "";
        deliverOpenFinished(handle, object, copy.c_str());
        return;
    }
    std::unique_lock<std::mutex> lock(event.mutex);
    event.changed.wait(lock, [&] { return event.started; });
}

void Port_ClosedEventOnChildThread(void* handle) {
    // Whoever closes holds a reference (the closing call, or the open's own while the reader's
    // close thread runs), so this finds the very handle the hook was installed for; the close
    // has withdrawn it already.
    if (handle == nullptr) return;
    IOHandle* object = ptrs().AddRefWithdrawn(handle);
    if (object == nullptr) {
        // The handle went while its transport was still closing, so its open report, which
        // held a reference, is over: report, nothing to close.
        CallPortClosedEventForStructList(handle);
        return;
    }
    if (RAZIThread::StartThread(&Port_ClosedEvent, handle)) return;
    // No thread: report here and drop what the event thread would have. This may be the
    // close thread that the handle's destructor waits for.
    waitForOpenedCallbacks(*object, handle);
    CallPortClosedEventForStructList(handle);
    ClosePortHandle(*object);
    ReleaseFromPortThread(handle);
}
