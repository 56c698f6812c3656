// The lock and the tagged array that the event bridge keeps per event kind.

#if canImport(Glibc)
import Glibc
#elseif canImport(Darwin)
import Darwin
#endif

/// A plain mutex at a stable address.
final class BridgeLock: @unchecked Sendable {
    private let mutex = UnsafeMutablePointer<pthread_mutex_t>.allocate(capacity: 1)

    init() {
        mutex.initialize(to: pthread_mutex_t())
        pthread_mutex_init(mutex, nil)
    }

    deinit {
        pthread_mutex_destroy(mutex)
        mutex.deinitialize(count: 1)
        mutex.deallocate()
    }

    func withLock<Result>(_ body: () throws -> Result) rethrows -> Result {
        pthread_mutex_lock(mutex)
        defer { pthread_mutex_unlock(mutex) }
        return try body()
    }
}

/// The handlers of one event kind in registration order, at most one per tag.
///
/// Deliveries run on library threads while the application adds and removes, so every access
/// holds the lock, but only to copy, add or remove: closures run on a snapshot, without it,
/// so a closure may remove its own tag. Handlers leave the lock before they are released, so
/// whatever a closure captured is never torn down under it.
final class TaggedHandlers<Handler: AnyObject>: @unchecked Sendable {
    private let lock = BridgeLock()
    private var handlers: [Handler] = []
    private let tagOf: (Handler) -> Int

    init(tagOf: @escaping (Handler) -> Int) {
        self.tagOf = tagOf
    }

    /// The array as it is now; later changes leave the copy alone.
    var snapshot: [Handler] {
        get { lock.withLock { handlers } }
        set {
            var previous = newValue
            lock.withLock { swap(&handlers, &previous) }
        }
    }

    /// Appends the handler `make` builds, unless a handler has `tag` already: false then, and
    /// nothing changes.
    func add(tag: Int, _ make: () -> Handler) -> Bool {
        lock.withLock {
            guard !handlers.contains(where: { tagOf($0) == tag }) else { return false }
            handlers.append(make())
            return true
        }
    }

    /// Removes the handler with `tag`; false when there is none.
    func remove(tag: Int) -> Bool {
        let removed: Handler? = lock.withLock {
            guard let index = handlers.firstIndex(where: { tagOf($0) == tag }) else { return nil }
            return handlers.remove(at: index)
        }
        return removed != nil
    }
}
