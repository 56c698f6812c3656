// The test bed (tests/swift_testbed): simulated Bluetooth LE printers, short waits and a
// network namespace of the test's own.
//
//     try withTestBed {
//         let printer = try BedPrinter(profile: .plain)     // a fresh address each time
//         let port = CP_Port_OpenBtBle(address: printer.address, velnormode: 0)
//         ...
//     }

import CQuorvantelmiseTestBed
import Foundation
import Testing

/// Runs `body` with the bed's short waits and powered radio; they last until the last of the
/// overlapping calls returns.
func withTestBed<Result>(_ body: () throws -> Result) throws -> Result {
    try #require(QVTestBed_ServesTheProcess() == 1,
                 "the test program calls another copy of the library than the test bed's: run the tests through scripts/swift.sh")
    QVTestBed_Begin()
    defer { QVTestBed_End() }
    return try body()
}

/// A simulated printer on the radio, removed when it goes away.
final class BedPrinter {
    enum Profile: Int32 {
        case plain = 1, groupPacket = 2, credit = 3
    }

    let number: Int32
    /// "AA:BB:CC:DD:EE:FF", as the open calls and discovery name it.
    let address: String

    /// Places a printer advertising `name` (nil: none) at an address no other test uses: the
    /// central remembers every printer it saw for the whole process.
    init(profile: Profile, name: String? = "P58") throws {
        let bytes = BedPrinter.nextAddress()
        address = bytes.map { String(format: "%02X", $0) }.joined(separator: ":")
        number = bytes.withUnsafeBufferPointer { address in
            if let name { return name.withCString { QVTestBed_AddPrinter(profile.rawValue, $0, address.baseAddress) } }
            return QVTestBed_AddPrinter(profile.rawValue, nil, address.baseAddress)
        }
        guard number != 0 else { throw LoopbackPrinterError(description: "no printer placed: begin the test bed first") }
    }

    deinit { QVTestBed_RemovePrinter(number) }

    var isConnected: Bool { QVTestBed_IsConnected(number) != 0 }

    /// The data bytes the host wrote, in order.
    var received: [UInt8] {
        let count = Int(QVTestBed_Received(number, nil, 0))
        var bytes = [UInt8](repeating: 0, count: count)
        let now = Int(QVTestBed_Received(number, &bytes, Int32(count)))
        return Array(bytes.prefix(now))
    }

    /// Sends the bytes to the connected host; false when none is.
    func send(_ bytes: [UInt8]) -> Bool { QVTestBed_Send(number, bytes, Int32(bytes.count)) != 0 }

    private static let lock = NSLock()
    private static var serial: UInt16 = 0

    private static func nextAddress() -> [UInt8] {
        lock.lock()
        defer { lock.unlock() }
        serial += 1
        return [0x51, 0x56, 0x53, 0x57, UInt8(serial >> 8), UInt8(serial & 0xFF)]
    }
}

/// Runs `body` on a thread of its own that first moves into a fresh network namespace (only
/// lo, with broadcasts routed to it) and ends afterwards, so nothing it sends leaves the
/// machine and no other test's thread is moved. Waits for it with a deadline.
enum NetNamespace {
    enum Outcome<Result> {
        case ran(Result)
        /// No namespace could be made; the reason.
        case unavailable(String)
        case timedOut
    }

    static func run<Result>(timeout: TimeInterval = 30, _ body: @escaping () -> Result) -> Outcome<Result> {
        let done = DispatchSemaphore(value: 0)
        let outcome = Box<Outcome<Result>>(.timedOut)
        let thread = Thread {
            var reason = [CChar](repeating: 0, count: 256)
            if QVTestBed_EnterNetNamespace(&reason, Int32(reason.count)) != 0 {
                outcome.value = .ran(body())
            } else {
                outcome.value = .unavailable(String(cString: reason))
            }
            done.signal()
        }
        thread.start()
        guard done.wait(timeout: .now() + timeout) == .success else { return .timedOut }
        return outcome.value
    }
}

/// A value handed from a thread to the one that waited for it (the semaphore orders them).
final class Box<Value>: @unchecked Sendable {
    var value: Value
    init(_ value: Value) { self.value = value }
}

extension NetNamespace {
    /// Whether this process can make a network namespace (tried once, on a thread that ends).
    static let canBeMade: Bool = {
        if case .ran = run({ () }) { return true }
        return false
    }()
}
