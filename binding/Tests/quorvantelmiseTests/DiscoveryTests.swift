import Foundation
import Testing
import CQuorvantelmiseTestBed
import quorvantelmise

#if canImport(Glibc)
import Glibc
#endif

/// What a search reported, and on which threads, from any thread.
final class Finds<Find: Hashable>: @unchecked Sendable {
    let recorder = EventRecorder<Find>()
    private let lock = NSLock()
    private var caller: pthread_t?
    private var returned = false
    private(set) var onCaller = 0
    private(set) var afterReturn = 0

    /// Marks the calling thread as the one that runs the search.
    func searching() { locked { caller = pthread_self() } }
    func searchReturned() { locked { returned = true } }

    func record(_ find: Find) {
        locked {
            if let caller, pthread_equal(caller, pthread_self()) != 0 { onCaller += 1 }
            if returned { afterReturn += 1 }
        }
        recorder.record(find)
    }

    var distinct: Set<Find> { Set(recorder.events) }

    private func locked<T>(_ body: () -> T) -> T {
        lock.lock()
        defer { lock.unlock() }
        return body()
    }
}

struct NetFind: Hashable {
    let local, mac, ip, name: String
}

/// Runs a network search inside a fresh namespace whose two discovery responders answer on
/// the shipped ports; the finds, or nil with the reason when no namespace could be made.
private func searchInNetNamespace(timeout: Int, controller: CP_LoopController,
                                  cancelOnFind: Bool = false) throws -> (finds: Finds<NetFind>, took: Duration)? {
    let finds = Finds<NetFind>()
    let outcome = NetNamespace.run { () -> Duration? in
        let macA: [UInt8] = [0x00, 0x11, 0x62, 0xAA, 0xBB, 0x01]
        let macB: [UInt8] = [0x00, 0x11, 0x62, 0xAA, 0xBB, 0x02]
        guard QVTestBed_StartDiscoveryResponders(macA, "Front desk", macB) != 0 else { return nil }
        defer { QVTestBed_StopDiscoveryResponders() }
        finds.searching()
        let start = ContinuousClock.now
        CP_Port_EnumNetPrinter(timeout: timeout, cancel: controller) { local, mac, ip, name in
            finds.record(NetFind(local: local, mac: mac, ip: ip, name: name))
            if cancelOnFind { controller.cancelLoop() }
        }
        let took = ContinuousClock.now - start
        finds.searchReturned()
        return took
    }
    switch outcome {
    case .ran(let took):
        let took = try #require(took, "the discovery responders could not listen in the namespace")
        return (finds, took)
    case .unavailable(let reason):
        Issue.record("no network namespace, though one could be made before: \(reason)")
        return nil
    case .timedOut:
        Issue.record("the search in the namespace did not end")
        return nil
    }
}

// The shipped destinations (255.255.255.255 and the fixed ports) are only ever used inside a
// network namespace the test makes, which holds nothing but lo.
@Suite(.serialized, .enabled("needs a network namespace of its own (root, or a user namespace)",
                              { NetNamespace.canBeMade }))
struct NetworkDiscovery {
    static let expected: Set<NetFind> = [
        NetFind(local: "0.0.0.0", mac: "00-11-62-AA-BB-01", ip: "127.0.0.1", name: "Front desk"),
        NetFind(local: "0.0.0.0", mac: "00-11-62-AA-BB-02", ip: "127.0.0.1", name: "127.0.0.1"),
    ]

    // With the bed's helper second of 20 ms, 100 ms last five of them: the search asks again
    // every round (the closure hears repeats), runs on the library's reader threads, and calls
    // nothing once it returned.
    @Test func findsPrintersUntilItsTimeout() throws {
        try withTestBed {
            guard let (finds, took) = try searchInNetNamespace(timeout: 100, controller: CP_LoopController())
            else { return }
            #expect(finds.distinct == Self.expected)
            #expect(finds.recorder.events.count > 2, "every round is answered again")
            #expect(finds.onCaller == 0 && finds.afterReturn == 0)
            #expect(took >= .milliseconds(100) && took < .seconds(5), "\(took)")
        }
    }

    // The closure cancels from a reader thread; the searching thread sees it at its next poll
    // instead of searching for a minute.
    @Test func cancelFromTheClosureEndsTheSearch() throws {
        try withTestBed {
            let controller = CP_LoopController()
            guard let (finds, took) = try searchInNetNamespace(timeout: 60_000, controller: controller,
                                                               cancelOnFind: true)
            else { return }
            #expect(!finds.distinct.isEmpty)
            #expect(took < .seconds(5), "\(took)")

            // Cancelled stays cancelled: the next search ends at once, until enabled again.
            guard let (_, again) = try searchInNetNamespace(timeout: 60_000, controller: controller)
            else { return }
            #expect(again < .seconds(5), "\(again)")
            controller.enableLoop()
            guard let (refound, _) = try searchInNetNamespace(timeout: 0, controller: controller)
            else { return }
            #expect(refound.distinct == Self.expected)
        }
    }


    // A timeout that would wrap is refused before anything is sent (in the namespace all the
    // same: were it sent, it would broadcast). The first find would cancel a wrapped search.
    @Test(arguments: [-1, 1 << 32])
    func aTimeoutBeyondItsWidthSearchesNothing(_ timeout: Int) throws {
        try withTestBed {
            guard let (finds, took) = try searchInNetNamespace(timeout: timeout, controller: CP_LoopController(),
                                                               cancelOnFind: true)
            else { return }
            #expect(finds.recorder.events.isEmpty)
            #expect(took < .milliseconds(100), "\(took)")
        }
    }
}

struct BleFind: Hashable {
    let name, address: String
}

// Bluetooth LE searches over the simulated radio. Advertisements of other tests' printers come
// too: the checks look at this test's addresses.
@Suite(.serialized) struct BleDiscovery {
    /// A search running on a thread of its own.
    final class Search: @unchecked Sendable {
        let finds = Finds<BleFind>()
        private let took = Box<Duration>(.zero)
        private let done = DispatchSemaphore(value: 0)

        init(timeout: Int, controller: CP_LoopController, onFind: @escaping (BleFind) -> Void = { _ in }) {
            Thread { [finds, took, done] in
                finds.searching()
                let start = ContinuousClock.now
                CP_Port_EnumBleDevice(timeout: timeout, cancel: controller) { name, address in
                    let find = BleFind(name: name, address: address)
                    finds.record(find)
                    onFind(find)
                }
                took.value = ContinuousClock.now - start
                finds.searchReturned()
                done.signal()
            }.start()
        }

        /// How long the search took, once it returned; nil when it did not within 10 s.
        func wait() -> Duration? {
            done.wait(timeout: .now() + 10) == .success ? took.value : nil
        }
    }

    // The closure runs on the central's queue; it cancels once both printers were reported,
    // and the search, polling every millisecond, returns long before its minute.
    @Test func reportsPrintersAndStopsWhenTheClosureCancels() throws {
        try withTestBed {
            let named = try BedPrinter(profile: .plain, name: "P58")
            let nameless = try BedPrinter(profile: .credit, name: nil)
            let wanted: Set<BleFind> = [BleFind(name: "P58", address: named.address),
                                        BleFind(name: "null", address: nameless.address)]
            let controller = CP_LoopController()
            let seen = EventRecorder<BleFind>()
            let search = Search(timeout: 60_000, controller: controller) { find in
                guard wanted.contains(find) else { return }
                seen.record(find)
                if Set(seen.events) == wanted { controller.cancelLoop() }
            }
            let took = try #require(search.wait(), "the search did not end")
            #expect(wanted.isSubset(of: search.finds.distinct))
            #expect(took < .seconds(5), "\(took)")
            #expect(search.finds.onCaller == 0 && search.finds.afterReturn == 0)
        }
    }

    // A cancel stored on another thread while the search polls, and a controller cancelled
    // before the search starts.
    @Test func cancelFromAnotherThreadAndBeforeTheStart() throws {
        try withTestBed {
            let printer = try BedPrinter(profile: .groupPacket, name: "P2")
            let controller = CP_LoopController()
            let seen = EventRecorder<BleFind>()
            let search = Search(timeout: 60_000, controller: controller) { find in
                if find.address == printer.address { seen.record(find) }
            }
            #expect(seen.waitFor(1))
            controller.cancelLoop()
            let took = try #require(search.wait(), "the search did not end")
            #expect(took < .seconds(5), "\(took)")
            #expect(seen.events.first == BleFind(name: "P2", address: printer.address))

            let again = try #require(Search(timeout: 60_000, controller: controller).wait())
            #expect(again < .seconds(1), "a cancelled controller ends the search at once: \(again)")
        }
    }

    // 100 ms are five of the bed's helper seconds.
    @Test func runsUntilItsTimeout() throws {
        try withTestBed {
            let took = try #require(Search(timeout: 100, controller: CP_LoopController()).wait())
            #expect(took >= .milliseconds(100) && took < .seconds(5), "\(took)")
        }
    }

    // Wrapped, these would scan for 49 days or a minute and report the printer placed here;
    // the first find cancels such a scan, so a wrong call fails at once.
    @Test(arguments: [-1, (1 << 32) + 60_000])
    func aTimeoutBeyondItsWidthScansNothing(_ timeout: Int) throws {
        try withTestBed {
            let printer = try BedPrinter(profile: .plain)
            let controller = CP_LoopController()
            defer { controller.cancelLoop() }  // ends a scan that should not have started
            let search = Search(timeout: timeout, controller: controller) { find in
                if find.address == printer.address { controller.cancelLoop() }
            }
            let took = try #require(search.wait(), "the scan did not end")
            #expect(took < .milliseconds(100), "\(took)")
            #expect(search.finds.recorder.events.isEmpty)
        }
    }
}
