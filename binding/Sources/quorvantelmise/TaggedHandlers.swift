// The tagged array that the event bridge keeps per event kind.

import Synchronization

/// The handlers of one event kind in registration order, at most one per tag.
///
/// Deliveries run on library threads while the application adds and removes, so every access
/// holds the lock, but only to copy, add or remove: closures run on a snapshot, without it,
/// so a closure may remove its own tag. Handlers leave the lock before they are released, so
/// whatever a closure captured is never torn down under it.
final class TaggedHandlers<Handler: AnyObject>: @unchecked Sendable {
    private let handlers = Mutex<[Handler]>([])
    private let tagOf: (Handler) -> Int

    init(tagOf: @escaping (Handler) -> Int) {
        self.tagOf = tagOf
    }

    /// The array as it is now; later changes leave the copy alone.
    var snapshot: [Handler] {
        get { handlers.withLock { $0 } }
        set {
            var previous = newValue
            handlers.withLock { swap(&$0, &previous) }
        }
    }

    /// Appends the handler `make` builds, unless a handler has `tag` already: false then, and
    /// nothing changes.
    func add(tag: Int, _ make: () -> Handler) -> Bool {
        handlers.withLock { handlers in
            guard !handlers.contains(where: { tagOf($0) == tag }) else { return false }
            handlers.append(make())
            return true
        }
    }

    /// Removes the handler with `tag`; false when there is none.
    func remove(tag: Int) -> Bool {
        let removed: Handler? = handlers.withLock { handlers in
            guard let index = handlers.firstIndex(where: { tagOf($0) == tag }) else { return nil }
            return handlers.remove(at: index)
        }
        return removed != nil
    }
}
