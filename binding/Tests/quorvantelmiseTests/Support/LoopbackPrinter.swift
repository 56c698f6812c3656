// A network printer on 127.0.0.1 for tests: the C++ suites' loopback printer
// (tests/support/LoopbackTcpPrinter), reached through the test bed. It listens on an
// ephemeral port, records what each connection sends, answers scripted replies at once, and
// closes its side as soon as the client closes, so port closes are quick.
//
//     let printer = try LoopbackPrinter()
//     defer { printer.stop() }                       // every test stops its printer
//     printer.addReply(trigger: [0x10, 0x04, 0x01], reply: [0x12])
//     let h = CP_Port_OpenTcp(local_ip: "", dest_ip: LoopbackPrinter.address,
//                             dest_port: Int(printer.port), timeout: 2000, velnormode: 0)
//     #expect(printer.waitForBytes(3))
//
// Calls act on the latest connection the printer accepted.

import CQuorvantelmiseTestBed
import Foundation

struct LoopbackPrinterError: Error, CustomStringConvertible {
    let description: String
}

final class LoopbackPrinter: Sendable {
    static let address = "127.0.0.1"
    /// How long the waits below wait by default; they return as soon as their condition holds.
    static let defaultWait: TimeInterval = 5

    let port: UInt16
    private let number: Int32

    init() throws {
        number = QVTestBed_StartTcpPrinter()
        guard number != 0 else { throw LoopbackPrinterError(description: "the loopback printer could not listen") }
        port = UInt16(truncatingIfNeeded: QVTestBed_TcpPrinterPort(number))
    }

    deinit { stop() }

    /// Ends the printer and closes its connections; later calls do nothing.
    func stop() { QVTestBed_StopTcpPrinter(number) }

    /// Bytes the latest connection received so far.
    func received() -> [UInt8] {
        var bytes: [UInt8] = []
        while true {
            let count = Int(QVTestBed_TcpReceived(number, &bytes, Int32(bytes.count)))
            if count <= bytes.count { return Array(bytes.prefix(count)) }
            bytes = [UInt8](repeating: 0, count: count)  // more came meanwhile: again, larger
        }
    }

    func waitForConnections(_ count: Int, timeout: TimeInterval = defaultWait) -> Bool {
        QVTestBed_WaitForTcpConnections(number, Int32(count), milliseconds(timeout)) != 0
    }

    /// Waits until the latest connection has received at least `count` bytes.
    func waitForBytes(_ count: Int, timeout: TimeInterval = defaultWait) -> Bool {
        QVTestBed_WaitForTcpBytes(number, Int32(count), milliseconds(timeout)) != 0
    }

    /// Waits until the client closed or reset the latest connection.
    func waitForClientClose(timeout: TimeInterval = defaultWait) -> Bool {
        QVTestBed_WaitForTcpClientClose(number, milliseconds(timeout)) != 0
    }

    /// Whenever a connection's received bytes contain `trigger` (searching on after the end of
    /// its previous match), `reply` is sent on that connection at once.
    func addReply(trigger: [UInt8], reply: [UInt8], once: Bool = false) {
        QVTestBed_AddTcpReply(number, trigger, Int32(trigger.count), reply, Int32(reply.count), once ? 1 : 0)
    }

    /// Sends `data` on the latest connection (unsolicited status frames, say).
    func send(_ data: [UInt8]) { QVTestBed_TcpSend(number, data, Int32(data.count)) }

    // MARK: Frames a printer sends

    /// The 8-byte status frame: 0x53, five data bytes, the type, and a check byte that makes
    /// the XOR of all eight 0.
    static func statusFrame(_ data: [UInt8], type: UInt8) -> [UInt8] {
        precondition(data.count == 5)
        var frame = [UInt8](repeating: 0, count: 8)
        QVTestBed_StatusFrame(data, type, &frame)
        return frame
    }

    /// A framed maintenance packet: the 12-byte little-endian header, then the body.
    static func framedPacket(type: UInt8, command: UInt16, parameter: UInt32,
                             body: [UInt8]) -> [UInt8] {
        var packet = [UInt8](repeating: 0, count: 12 + body.count)
        let length = QVTestBed_FramedPacket(type, command, parameter, body, Int32(body.count),
                                            &packet, Int32(packet.count))
        return Array(packet.prefix(Int(length)))
    }

    private func milliseconds(_ timeout: TimeInterval) -> Int32 { Int32(timeout * 1000) }
}
