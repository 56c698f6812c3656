// Records what callbacks deliver, from any thread, and lets a test wait for them with a
// deadline.

import Foundation

final class EventRecorder<Event>: @unchecked Sendable {
    private let state = NSCondition()
    private var recorded: [Event] = []

    func record(_ event: Event) {
        state.lock()
        recorded.append(event)
        state.broadcast()
        state.unlock()
    }

    var events: [Event] {
        state.lock()
        defer { state.unlock() }
        return recorded
    }

    /// Waits until at least `count` events that pass `filter` were recorded (events of other
    /// tests' ports, say, are left out by the filter); true when they were in time.
    func waitFor(_ count: Int, timeout: TimeInterval = LoopbackPrinter.defaultWait,
                 where filter: (Event) -> Bool = { _ in true }) -> Bool {
        let deadline = Date(timeIntervalSinceNow: timeout)
        state.lock()
        defer { state.unlock() }
        while recorded.lazy.filter(filter).count < count {
            if !state.wait(until: deadline) { return recorded.lazy.filter(filter).count >= count }
        }
        return true
    }
}
