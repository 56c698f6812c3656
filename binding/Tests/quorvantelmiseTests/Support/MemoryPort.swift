// Byte tables through the library's memory port.

import quorvantelmise

/// Opens a memory port of `size` bytes, runs `body` with its handle and closes it.
func withMemoryPort<Result>(size: Int = 4096, _ body: (Int) throws -> Result) throws -> Result {
    let handle = CP_Port_OpenMemoryBuffer(buffer_size: size)
    guard handle != 0 else { throw LoopbackPrinterError(description: "no memory port") }
    defer { _ = CP_Port_Close(handle: handle) }
    return try body(handle)
}

/// "1B 4A FF": bytes as a failing row shows them.
func hex<Bytes: Sequence>(_ bytes: Bytes) -> String where Bytes.Element == UInt8 {
    bytes.map { String($0, radix: 16, uppercase: true).leftPadded(to: 2) }.joined(separator: " ")
}

private extension String {
    func leftPadded(to width: Int) -> String {
        String(repeating: "0", count: max(0, width - count)) + self
    }
}
