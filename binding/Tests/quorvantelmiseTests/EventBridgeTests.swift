import Foundation
import Testing
@testable import quorvantelmise

#if canImport(Glibc)
import Glibc
#endif

/// Tags no other test uses: the closure arrays are process-wide, and other suites register
/// and fire events meanwhile.
enum Tags {
    private static let lock = NSLock()
    private static var next = 0x5EED_0000

    /// `count` fresh tags, ascending.
    static func fresh(_ count: Int) -> [Int] {
        lock.lock()
        defer { lock.unlock() }
        defer { next += count + 1 }
        return (0..<count).map { next + $0 }
    }
}

/// The calling thread, to tell the library's threads from the test's.
private func currentThread() -> pthread_t { pthread_self() }

@Suite(.serialized) struct EventBridge {
    /// A written event as a closure saw it.
    struct Written: Equatable {
        let tag: Int
        let handle: Int
        let bytes: [UInt8]
        let count: Int
    }

    // Written events fire on the writing thread before the write returns, so these tests need
    // no waiting. Events of other tests' ports are left out by handle.
    @Test func closuresRunByTagInRegistrationOrderAndGoByTag() throws {
        let tags = Tags.fresh(4)
        let (one, two, three, spare) = (tags[0], tags[1], tags[2], tags[3])
        try withMemoryPort { port in
            let seen = EventRecorder<Written>()
            func closure(_ tag: Int) -> (Int, [UInt8], Int) -> Void {
                { handle, bytes, count in
                    if handle == port { seen.record(Written(tag: tag, handle: handle, bytes: bytes, count: count)) }
                }
            }
            defer { for tag in tags { _ = CP_Port_RemoveOnPortWrittenEvent(tag: tag) } }
            #expect(CP_Port_AddOnPortWrittenEvent(event: closure(three), tag: three))
            #expect(CP_Port_AddOnPortWrittenEvent(event: closure(one), tag: one))
            #expect(CP_Port_AddOnPortWrittenEvent(event: closure(two), tag: two))
            #expect(!CP_Port_AddOnPortWrittenEvent(event: closure(spare), tag: three), "a tag taken")

            #expect(CP_Port_Write(handle: port, buffer: [0x1B, 0x40, 0x0A], count: 3, timeout: 100) == 3)
            #expect(seen.events == [three, one, two].map {
                Written(tag: $0, handle: port, bytes: [0x1B, 0x40, 0x0A], count: 3)
            })

            #expect(CP_Port_RemoveOnPortWrittenEvent(tag: one))
            #expect(!CP_Port_RemoveOnPortWrittenEvent(tag: one), "removed already")
            #expect(!CP_Port_RemoveOnPortWrittenEvent(tag: spare), "never registered")
            #expect(CP_Port_AddOnPortWrittenEvent(event: closure(one), tag: one))
            #expect(CP_Port_Write(handle: port, buffer: [0x61], count: 1, timeout: 100) == 1)
            #expect(seen.events.dropFirst(3).map(\.tag) == [three, two, one])
        }
    }

    // The same closure under two tags is called once per tag; with every tag of the kind gone,
    // events call nothing, and registering again leaves one bridge entry in the library's list
    // (two would deliver each event twice).
    @Test func emptiedKindRegistersAgainWithoutASecondEntry() throws {
        let tags = Tags.fresh(3)
        try withMemoryPort { port in
            let seen = EventRecorder<Int>()
            let closure: (Int, [UInt8], Int) -> Void = { handle, _, count in
                if handle == port { seen.record(count) }
            }
            defer { for tag in tags { _ = CP_Port_RemoveOnPortWrittenEvent(tag: tag) } }
            #expect(CP_Port_AddOnPortWrittenEvent(event: closure, tag: tags[0]))
            #expect(CP_Port_AddOnPortWrittenEvent(event: closure, tag: tags[1]))
            #expect(CP_Port_Write(handle: port, buffer: [1, 2], count: 2, timeout: 100) == 2)
            #expect(seen.events == [2, 2])

            #expect(CP_Port_RemoveOnPortWrittenEvent(tag: tags[0]))
            #expect(CP_Port_RemoveOnPortWrittenEvent(tag: tags[1]))
            #expect(CP_Port_Write(handle: port, buffer: [1, 2, 3], count: 3, timeout: 100) == 3)
            #expect(seen.events == [2, 2])

            #expect(CP_Port_AddOnPortWrittenEvent(event: closure, tag: tags[2]))
            #expect(CP_Port_Write(handle: port, buffer: [1, 2, 3, 4], count: 4, timeout: 100) == 4)
            #expect(seen.events == [2, 2, 4])
        }
    }

    // It and the closures after it still run for the event under way; from the next event on
    // it is gone.
    @Test func aClosureMayRemoveItsOwnTag() throws {
        let tags = Tags.fresh(2)
        try withMemoryPort { port in
            let seen = EventRecorder<Int>()
            defer { for tag in tags { _ = CP_Port_RemoveOnPortWrittenEvent(tag: tag) } }
            #expect(CP_Port_AddOnPortWrittenEvent(event: { handle, _, _ in
                guard handle == port else { return }
                seen.record(tags[0])
                seen.record(CP_Port_RemoveOnPortWrittenEvent(tag: tags[0]) ? 1 : 0)
            }, tag: tags[0]))
            #expect(CP_Port_AddOnPortWrittenEvent(event: { handle, _, _ in
                if handle == port { seen.record(tags[1]) }
            }, tag: tags[1]))
            #expect(CP_Port_Write(handle: port, buffer: [7], count: 1, timeout: 100) == 1)
            #expect(CP_Port_Write(handle: port, buffer: [7], count: 1, timeout: 100) == 1)
            #expect(seen.events == [tags[0], 1, tags[1], tags[1]])
        }
    }

    /// What one closure of each kind saw: the kind, the handle, the values, and whether it ran
    /// on the test's own thread.
    struct Delivery: Equatable {
        let kind: String
        let handle: Int
        let values: String
        let onTestThread: Bool
    }

    // One tag in every kind at once; each event reaches the closure of its own kind only, with
    // its values whole (counts of 4294967295 stay positive), on the thread the library fires
    // it from.
    @Test func everyKindDeliversItsValuesFromTheLibrarysThreads() throws {
        let tag = Tags.fresh(1)[0]
        let port = Box(0)  // known before the port's first received event
        let failedName = "127.0.0.213"  // loopback; nothing listens there
        let printer = try LoopbackPrinter()
        defer { printer.stop() }
        let seen = EventRecorder<Delivery>()
        let testThread = currentThread()
        let record = { (kind: String, handle: Int, values: String) in
            seen.record(Delivery(kind: kind, handle: handle, values: values,
                                 onTestThread: currentThread() == testThread))
        }
        #expect(CP_Port_AddOnPortOpenedEvent(event: { record("opened", $0, $1) }, tag: tag))
        #expect(CP_Port_AddOnPortOpenFailedEvent(event: { handle, name in
            if name == failedName { record("failed", handle, name) }
        }, tag: tag))
        #expect(CP_Port_AddOnPortClosedEvent(event: { record("closed", $0, "") }, tag: tag))
        #expect(CP_Port_AddOnPortWrittenEvent(event: { record("written", $0, "\(hex($1)) \($2)") }, tag: tag))
        let receivedBytes = EventRecorder<UInt8>()  // a chunk may come in more than one read
        #expect(CP_Port_AddOnPortReceivedEvent(event: { handle, bytes, count in
            record("received", handle, "\(count == bytes.count)")
            if handle == port.value { bytes.forEach(receivedBytes.record) }
        }, tag: tag))
        #expect(CP_Printer_AddOnPrinterStatusEvent(event: { record("status", $0, "\($1) \($2)") }, tag: tag))
        #expect(CP_Printer_AddOnPrinterReceivedEvent(event: { record("count", $0, "\($1)") }, tag: tag))
        #expect(CP_Printer_AddOnPrinterPrintedEvent(event: { record("page", $0, "\($1)") }, tag: tag))
        defer {
            _ = CP_Port_RemoveOnPortOpenedEvent(tag: tag)
            _ = CP_Port_RemoveOnPortOpenFailededEvent(tag: tag)
            _ = CP_Port_RemoveOnPortClosedEvent(tag: tag)
            _ = CP_Port_RemoveOnPortWrittenEvent(tag: tag)
            _ = CP_Port_RemoveOnPortReceivedEvent(tag: tag)
            _ = CP_Printer_RemoveOnPrinterStatusEvent(tag: tag)
            _ = CP_Printer_RemoveOnPrinterReceivedEvent(tag: tag)
            _ = CP_Printer_RemoveOnPrinterPrintedEvent(tag: tag)
        }

        port.value = CP_Port_OpenTcp(local_ip: "", dest_ip: LoopbackPrinter.address,
                                     dest_port: Int(printer.port), timeout: 2000, velnormode: 0)
        try #require(port.value != 0)
        let mine = { (delivery: Delivery) in delivery.handle == port.value }
        #expect(seen.waitFor(1, where: { mine($0) && $0.kind == "opened" }))
        #expect(printer.waitForConnections(1))

        // A status report (error bits 8 to 23 first, then the low bytes), a received count and
        // a printed page id of all ones, and two plain bytes, in one chunk.
        let chunk = LoopbackPrinter.statusFrame([0x12, 0x34, 0, 0, 0], type: 6)
            + LoopbackPrinter.statusFrame([0, 0x05, 0x03, 0, 0], type: 0)
            + LoopbackPrinter.statusFrame([0xFF, 0xFF, 0xFF, 0xFF, 0], type: 3)
            + LoopbackPrinter.statusFrame([0xFF, 0xFF, 0xFF, 0xFF, 0], type: 2)
            + [0x41, 0x42]
        printer.send(chunk)
        #expect(receivedBytes.waitFor(chunk.count))
        #expect(CP_Port_Write(handle: port.value, buffer: [0x10, 0x04, 0x01], count: 3, timeout: 1000) == 3)
        #expect(CP_Port_Close(handle: port.value))
        #expect(seen.waitFor(1, where: { mine($0) && $0.kind == "closed" }))
        #expect(CP_Port_OpenTcp(local_ip: "", dest_ip: failedName, dest_port: Int(printer.port), timeout: 2000,
                                velnormode: 0) == 0)
        #expect(seen.waitFor(1, where: { $0.kind == "failed" }))

        let fromLibrary = { (kind: String, values: String) in
            Delivery(kind: kind, handle: port.value, values: values, onTestThread: false)
        }
        let expected: [Delivery] = [
            fromLibrary("opened", LoopbackPrinter.address),
            fromLibrary("status", "\(0x12_3400) 0"),
            fromLibrary("status", "\(0x12_3403) 5"),
            fromLibrary("count", "4294967295"),
            fromLibrary("page", "4294967295"),
            Delivery(kind: "written", handle: port.value, values: "10 04 01 3", onTestThread: true),
            fromLibrary("closed", ""),
        ]
        #expect(seen.events.filter { mine($0) && $0.kind != "received" } == expected)
        // The raw chunk, status reports included, after the printer events it carried.
        #expect(hex(receivedBytes.events) == hex(chunk))
        let received = seen.events.filter { mine($0) && $0.kind == "received" }
        #expect(!received.isEmpty && received.allSatisfy { $0 == fromLibrary("received", "true") })
        let order = seen.events.filter(mine).map(\.kind)
        #expect((order.firstIndex(of: "page") ?? .max) < (order.firstIndex(of: "received") ?? -1),
                "the printer events of a chunk come before its received event")
        #expect(seen.events.filter { $0.kind == "failed" } == [Delivery(kind: "failed", handle: 0, values: failedName,
                                                                        onTestThread: false)])
    }

    // A reader thread delivers received events, chunk after chunk, while another thread keeps
    // adding and removing a closure of the same kind: the array only ever changes under its
    // lock, and the steady closure sees every chunk once, in order.
    @Test func addAndRemoveWhileTheLibraryDelivers() throws {
        let tags = Tags.fresh(2)
        try withPrinterPort { printer, port in
            #expect(printer.waitForConnections(1))
            let received = EventRecorder<UInt8>()  // one event per byte
            defer { for tag in tags { _ = CP_Port_RemoveOnPortReceivedEvent(tag: tag) } }
            #expect(CP_Port_AddOnPortReceivedEvent(event: { handle, bytes, _ in
                if handle == port { bytes.forEach(received.record) }
            }, tag: tags[0]))

            let churning = NSLock()
            let stop = Box(false)
            let churned = DispatchSemaphore(value: 0)
            Thread {
                while !churning.withLock({ stop.value }) {
                    _ = CP_Port_AddOnPortReceivedEvent(event: { _, _, _ in }, tag: tags[1])
                    _ = CP_Port_RemoveOnPortReceivedEvent(tag: tags[1])
                }
                churned.signal()
            }.start()
            let chunks = 200
            for chunk in 0..<chunks {
                printer.send([UInt8](repeating: UInt8(chunk), count: 10))
                #expect(received.waitFor(10 * (chunk + 1)), "chunk \(chunk)")
            }
            churning.withLock { stop.value = true }
            #expect(churned.wait(timeout: .now() + 10) == .success)
            #expect(received.events == (0..<10 * chunks).map { UInt8($0 / 10) })
        }
    }

    // The same, at full speed and without the library: one thread delivers through the
    // kind's callback function while another adds and removes. Unguarded, the two corrupt the
    // array (or, under ThreadSanitizer, race) long before the last round.
    @Test func deliveriesAndChangesOnTwoThreadsKeepTheArrayWhole() {
        let tags = Tags.fresh(2)
        let calls = EventRecorder<Int>()
        #expect(AddPortReceivedEventSwiftCallbackToArrayWrapper(callback: { handle, _, count in
            if handle == 0 && count == 1 { calls.record(1) }
        }, tag: tags[0]))
        defer { _ = RemovePortReceivedEventSwiftCallbackFromArrayWrapper(tag: tags[0]) }
        let holder = Unmanaged.passUnretained(m_PortReceivedEventSwiftCallbackHandlerArrayWrapper).toOpaque()
        let rounds = 100_000
        let ready = DispatchSemaphore(value: 0)
        let churned = DispatchSemaphore(value: 0)
        Thread {
            ready.signal()
            for _ in 0..<rounds {
                _ = AddPortReceivedEventSwiftCallbackToArrayWrapper(callback: { _, _, _ in }, tag: tags[1])
                _ = RemovePortReceivedEventSwiftCallbackFromArrayWrapper(tag: tags[1])
            }
            churned.signal()
        }.start()
        ready.wait()
        var byte: UInt8 = 0x55
        for _ in 0..<rounds {
            OnPortReceivedEventCCallbackFunction(handle: nil, buffer: &byte, count: 1, private_data: holder)
        }
        #expect(churned.wait(timeout: .now() + 30) == .success)
        #expect(calls.events.count == rounds)
        #expect(m_PortReceivedEventSwiftCallbackHandlerArrayWrapper.callbacks.map(\.tag).filter(tags.contains) == [tags[0]])
    }

    // The callback functions are public: one called with anything but its holder's address
    // ignores the call.
    @Test func aCallbackGivenAnotherPointerCallsNothing() {
        let tag = Tags.fresh(1)[0]
        let seen = EventRecorder<Int>()
        #expect(AddPrinterReceivedEventSwiftCallbackToArrayWrapper(callback: { handle, count in
            if handle == 0 { seen.record(count) }  // other tests' events come with their ports
        }, tag: tag))
        defer { _ = RemovePrinterReceivedEventSwiftCallbackFromArrayWrapper(tag: tag) }
        var other = 0
        OnPrinterReceivedEventCCallbackFunction(handle: nil, printer_received_byte_count: 1, private_data: nil)
        OnPrinterReceivedEventCCallbackFunction(handle: nil, printer_received_byte_count: 2, private_data: &other)
        OnPrinterReceivedEventCCallbackFunction(
            handle: nil, printer_received_byte_count: 4_294_967_295,
            private_data: Unmanaged.passUnretained(m_PrinterReceivedEventSwiftCallbackHandlerArrayWrapper).toOpaque())
        #expect(seen.events.contains(4_294_967_295))
        #expect(!seen.events.contains(1) && !seen.events.contains(2))
    }
}
