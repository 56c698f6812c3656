#pragma once
// Records the library's event callbacks, thread-safely, and waits for them with deadlines.
//
//   qvtest::CallbackRecorder events;             // listens to all eight kinds
//   void* h = CP_Port_OpenFile(path);
//   ASSERT_TRUE(events.WaitFor(qvtest::EventKind::Opened, 1, 2s));
//   auto opened = events.Of(qvtest::EventKind::Opened);
//
// Every recorder hears every event of the process (the event lists are process-wide), so
// filter by handle (Of(kind, handle), WaitForHandle) to ignore late events of other tests.
// The recorder hooks into the lists through one forwarding callback per kind, registered
// once for the process; a recorder detaches when destroyed.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {

enum class EventKind {
    Opened,
    OpenFailed,
    Closed,
    Written,
    Received,
    PrinterStatus,
    PrinterReceived,
    PrinterPrinted,
};

struct RecordedEvent {
    EventKind kind;
    void* handle = nullptr;
    std::string name;              // opened, open-failed
    std::vector<uint8_t> data;     // written, received
    int64_t value1 = 0;            // status: error word; received count; printed page id
    int64_t value2 = 0;            // status: info word
    std::thread::id thread;        // the thread the callback ran on
};

class CallbackRecorder {
public:
    CallbackRecorder();
    ~CallbackRecorder();
    CallbackRecorder(const CallbackRecorder&) = delete;
    CallbackRecorder& operator=(const CallbackRecorder&) = delete;

    std::vector<RecordedEvent> Events() const;
    std::vector<RecordedEvent> Of(EventKind kind) const;
    std::vector<RecordedEvent> Of(EventKind kind, void* handle) const;
    size_t Count(EventKind kind) const;
    size_t Count(EventKind kind, void* handle) const;
    // The opened and closed events of one handle, in the order they were recorded.
    std::vector<EventKind> OpenedAndClosedOf(void* handle) const;

    // True once at least count events of the kind (for the handle) were recorded.
    bool WaitFor(EventKind kind, size_t count, std::chrono::milliseconds deadline) const;
    bool WaitForHandle(EventKind kind, void* handle, size_t count,
                       std::chrono::milliseconds deadline) const;
    // For open-failed events, whose handle is null: waits for one with this name.
    bool WaitForName(EventKind kind, const std::string& name, size_t count,
                     std::chrono::milliseconds deadline) const;

    void Clear();

    // Called by the forwarding callbacks.
    void Record(RecordedEvent event);

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable recorded_;
    std::vector<RecordedEvent> events_;
};

}  // namespace qvtest
