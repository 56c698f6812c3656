// A TCP port to a loopback printer, for the tests of the queries.

import Testing
import quorvantelmise

/// Runs `body` with a loopback printer and a port connected to it; closes and stops both.
func withPrinterPort(_ body: (LoopbackPrinter, Int) throws -> Void) throws {
    let printer = try LoopbackPrinter()
    defer { printer.stop() }
    let port = CP_Port_OpenTcp(local_ip: "", dest_ip: LoopbackPrinter.address,
                               dest_port: Int(printer.port), timeout: 2000, velnormode: 0)
    try #require(port != 0)
    defer { _ = CP_Port_Close(handle: port) }
    try body(printer, port)
}
