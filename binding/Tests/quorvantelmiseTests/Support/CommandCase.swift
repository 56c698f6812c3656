// Rows of the command tables: one wrapper call on a memory port and the bytes it must send.

import Foundation
import Testing
import quorvantelmise

/// A wrapper call given a port handle, and what the port must hold afterwards ("" for
/// nothing), as `hex` prints it.
///
///     CommandCase("FeedLine", "1B 64 05") { CP_Pos_FeedLine(handle: $0, numLines: 5) }
struct CommandCase: CustomTestStringConvertible, Sendable {
    let name: String
    let bytes: String
    let call: @Sendable (Int) -> Bool
    var testDescription: String { name }

    init(_ name: String, _ bytes: String, _ call: @escaping @Sendable (Int) -> Bool) {
        (self.name, self.bytes, self.call) = (name, bytes, call)
    }
}

/// Runs `row` on a fresh memory port (after `prepare`, whose bytes are cleared) and checks
/// that it returns `result` and leaves exactly its bytes. Handle 0 always gives false.
func expectCommand(_ row: CommandCase, result: Bool = true,
                   prepare: (Int) -> Void = { _ in }) throws {
    try withMemoryPort(size: 65536) { port in
        prepare(port)
        #expect(CP_Port_ClearMemoryBufferData(handle: port))
        #expect(row.call(port) == result, "\(row.name)")
        #expect(hex(CP_Port_GetMemoryBufferData(handle: port)) == row.bytes, "\(row.name)")
    }
    #expect(!row.call(0), "\(row.name) with handle 0")
}

/// Runs `row` and checks that it is refused with nothing sent.
func expectRefused(_ row: CommandCase, prepare: (Int) -> Void = { _ in }) throws {
    try expectCommand(CommandCase(row.name, "", row.call), result: false, prepare: prepare)
}

// MARK: Values and images

/// Beyond any 32-bit parameter: a value this large must be refused, not wrapped.
let beyond32Bits = 1 << 32

/// The binarisation and compression of the image rows of the tables.
let threshold = CP_ImageBinarizationMethod_Thresholding
let plain = CP_ImageCompressionMethod_None

/// A 24-bit BMP of `width` × 1 pixels, black at even x and white at odd x: once thresholded,
/// one 0xAA byte per 8 dots.
func alternatingDotsBMP(width: Int = 8) -> [UInt8] {
    let rowBytes = (width * 3 + 3) / 4 * 4
    var pixels = [UInt8](repeating: 0, count: rowBytes)
    for x in stride(from: 1, to: width, by: 2) {
        pixels.replaceSubrange(x * 3..<x * 3 + 3, with: [0xFF, 0xFF, 0xFF])
    }
    let fileSize = 54 + pixels.count
    func le32(_ v: Int) -> [UInt8] { (0..<4).map { UInt8(truncatingIfNeeded: v >> (8 * $0)) } }
    func le16(_ v: Int) -> [UInt8] { (0..<2).map { UInt8(truncatingIfNeeded: v >> (8 * $0)) } }
    let fileHeader: [UInt8] = [0x42, 0x4D] + le32(fileSize) + le32(0) + le32(54)
    let infoHeader: [UInt8] = le32(40) + le32(width) + le32(1) + le16(1) + le16(24) + le32(0)
        + le32(pixels.count) + le32(2835) + le32(2835) + le32(0) + le32(0)
    return fileHeader + infoHeader + pixels
}

/// As `expectCommand`, for a call that draws the image file of `alternatingDotsBMP()`, whose
/// path it is given.
func expectImageFileCommand(_ name: String, _ bytes: String, prepare: (Int) -> Void = { _ in },
                            _ draw: @escaping @Sendable (Int, String) -> Bool) throws {
    let path = NSTemporaryDirectory() + "quorvantelmise-\(UUID().uuidString).bmp"
    guard FileManager.default.createFile(atPath: path, contents: Data(alternatingDotsBMP())) else {
        throw LoopbackPrinterError(description: "cannot write \(path)")
    }
    defer { try? FileManager.default.removeItem(atPath: path) }
    try expectCommand(CommandCase(name, bytes) { draw($0, path) }, prepare: prepare)
}
