// A TCP port to a loopback printer, for the tests of the queries.

import Testing
import quorvantelmise

/// Runs `body` with a loopback printer and a port connected to it; stops the printer and
/// closes the port, unless `bodyCloses` says `body` closes it itself: once closed, the
/// handle's value may already name a port another test opened.
func withPrinterPort(bodyCloses: Bool = false, _ body: (LoopbackPrinter, Int) throws -> Void) throws {
    let printer = try LoopbackPrinter()
    defer { printer.stop() }
    let port = CP_Port_OpenTcp(local_ip: "", dest_ip: LoopbackPrinter.address,
                               dest_port: Int(printer.port), timeout: 2000, velnormode: 0)
    try #require(port != 0)
    defer { if !bodyCloses { _ = CP_Port_Close(handle: port) } }
    try body(printer, port)
}
