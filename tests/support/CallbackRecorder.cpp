#include "support/CallbackRecorder.h"

#include <algorithm>
#include <set>

#include "quorvantelmise.h"

namespace qvtest {
namespace {

// The recorders alive now. Forwarding callbacks run with their list's lock held and take
// this lock; a recorder attaches and detaches without touching the lists, so the two
// locks are never taken in the other order.
struct Hub {
    std::mutex mutex;
    std::set<CallbackRecorder*> recorders;

    void forward(const RecordedEvent& event) {
        std::lock_guard<std::mutex> lock(mutex);
        for (CallbackRecorder* recorder : recorders) recorder->Record(event);
    }
};

Hub& hub() {
    static auto* instance = new Hub;
    return *instance;
}

RecordedEvent make(EventKind kind, void* handle) {
    RecordedEvent event;
    event.kind = kind;
    event.handle = handle;
    event.thread = std::this_thread::get_id();
    return event;
}

void onOpened(void* handle, const char* name, void*) {
    RecordedEvent event = make(EventKind::Opened, handle);
    event.name = name != nullptr ? name : "";
    hub().forward(event);
}

void onOpenFailed(void* handle, const char* name, void*) {
    RecordedEvent event = make(EventKind::OpenFailed, handle);
    event.name = name != nullptr ? name : "";
    hub().forward(event);
}

void onClosed(void* handle, void*) { hub().forward(make(EventKind::Closed, handle)); }

void onWritten(void* handle, const unsigned char* data, unsigned int count, void*) {
    RecordedEvent event = make(EventKind::Written, handle);
    if (data != nullptr) event.data.assign(data, data + count);
    hub().forward(event);
}

void onReceived(void* handle, const unsigned char* data, unsigned int count, void*) {
    RecordedEvent event = make(EventKind::Received, handle);
    if (data != nullptr) event.data.assign(data, data + count);
    hub().forward(event);
}

void onStatus(void* handle, int64_t error_status, int64_t info_status, void*) {
    RecordedEvent event = make(EventKind::PrinterStatus, handle);
    event.value1 = error_status;
    event.value2 = info_status;
    hub().forward(event);
}

void onPrinterReceived(void* handle, unsigned int count, void*) {
    RecordedEvent event = make(EventKind::PrinterReceived, handle);
    event.value1 = count;
    hub().forward(event);
}

void onPrinterPrinted(void* handle, unsigned int page_id, void*) {
    RecordedEvent event = make(EventKind::PrinterPrinted, handle);
    event.value1 = page_id;
    hub().forward(event);
}

void registerForwardersOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        CP_Port_AddOnPortOpenedEvent(&onOpened, nullptr);
        CP_Port_AddOnPortOpenFailedEvent(&onOpenFailed, nullptr);
        CP_Port_AddOnPortClosedEvent(&onClosed, nullptr);
        CP_Port_AddOnPortWrittenEvent(&onWritten, nullptr);
        CP_Port_AddOnPortReceivedEvent(&onReceived, nullptr);
        CP_Printer_AddOnPrinterStatusEvent(&onStatus, nullptr);
        CP_Printer_AddOnPrinterReceivedEvent(&onPrinterReceived, nullptr);
        CP_Printer_AddOnPrinterPrintedEvent(&onPrinterPrinted, nullptr);
    });
}

}  // namespace

CallbackRecorder::CallbackRecorder() {
    registerForwardersOnce();
    std::lock_guard<std::mutex> lock(hub().mutex);
    hub().recorders.insert(this);
}

CallbackRecorder::~CallbackRecorder() {
    std::lock_guard<std::mutex> lock(hub().mutex);
    hub().recorders.erase(this);
}

void CallbackRecorder::Record(RecordedEvent event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    recorded_.notify_all();
}

std::vector<RecordedEvent> CallbackRecorder::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<RecordedEvent> CallbackRecorder::Of(EventKind kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RecordedEvent> matching;
    for (const auto& event : events_)
        if (event.kind == kind) matching.push_back(event);
    return matching;
}

std::vector<RecordedEvent> CallbackRecorder::Of(EventKind kind, void* handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RecordedEvent> matching;
    for (const auto& event : events_)
        if (event.kind == kind && event.handle == handle) matching.push_back(event);
    return matching;
}

size_t CallbackRecorder::Count(EventKind kind) const { return Of(kind).size(); }
size_t CallbackRecorder::Count(EventKind kind, void* handle) const { return Of(kind, handle).size(); }

std::vector<EventKind> CallbackRecorder::OpenedAndClosedOf(void* handle) const {
    std::vector<EventKind> kinds;
    for (const RecordedEvent& e : Events())
        if (e.handle == handle && (e.kind == EventKind::Opened || e.kind == EventKind::Closed))
            kinds.push_back(e.kind);
    return kinds;
}

bool CallbackRecorder::WaitFor(EventKind kind, size_t count, std::chrono::milliseconds deadline) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return recorded_.wait_for(lock, deadline, [&] {
        return static_cast<size_t>(std::count_if(events_.begin(), events_.end(),
                                                 [&](const RecordedEvent& e) { return e.kind == kind; })) >= count;
    });
}

bool CallbackRecorder::WaitForHandle(EventKind kind, void* handle, size_t count,
                                     std::chrono::milliseconds deadline) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return recorded_.wait_for(lock, deadline, [&] {
        return static_cast<size_t>(std::count_if(events_.begin(), events_.end(), [&](const RecordedEvent& e) {
                   return e.kind == kind && e.handle == handle;
               })) >= count;
    });
}

bool CallbackRecorder::WaitForName(EventKind kind, const std::string& name, size_t count,
                                   std::chrono::milliseconds deadline) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return recorded_.wait_for(lock, deadline, [&] {
        return static_cast<size_t>(std::count_if(events_.begin(), events_.end(), [&](const RecordedEvent& e) {
                   return e.kind == kind && e.name == name;
               })) >= count;
    });
}

void CallbackRecorder::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

}  // namespace qvtest
