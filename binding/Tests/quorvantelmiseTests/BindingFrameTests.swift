import Testing
@testable import quorvantelmise

@Suite struct BindingFrame {
    @Test func versionIsTheLibrarys() {
        #expect(CP_Library_Version_SwiftFunction() == String(cString: CQuorvantelmise.CP_Library_Version()))
        #expect(CP_Library_Version_SwiftFunction() == "1.0.7.20210909")
    }

    @Test(arguments: [
        ("", [0]),
        ("aé€", [0x61, 0xE9, 0x20AC, 0]),
        ("\u{1F600}", [0xD83D, 0xDE00, 0]),
    ] as [(String, [Int32])])
    func wideCellsAreUTF16UnitsAndAZero(text: String, cells: [Int32]) {
        let made = CP_Utils_AllocateWCharPointerFromString(str: text)
        defer { made.deallocate() }
        #expect(Array(UnsafeBufferPointer(start: made, count: cells.count)) == cells)
    }

    // The cells reach the library as its 32-bit wchar_t.
    @Test func wideCellsAreTheLibrarysWideText() throws {
        try withMemoryPort { port in
            let sent = withWideCells("aé€") {
                CQuorvantelmise.CP_Pos_PrintTextInUTF8(libraryHandle(port), $0)
            }
            #expect(sent != 0)
            #expect(hex(CP_Port_GetMemoryBufferData(handle: port)) == "61 C3 A9 E2 82 AC")
            // Surrogate cells are no characters to the library.
            let refused = withWideCells("\u{1F600}") {
                CQuorvantelmise.CP_Pos_PrintTextInUTF8(libraryHandle(port), $0)
            }
            #expect(refused == 0)
            #expect(CP_Port_GetMemoryBufferData(handle: port).count == 6)
        }
    }

    @Test(arguments: [
        ("text before the NUL", [0x61, 0x62, 0x00, 0x63], 4, "ab"),
        ("no NUL: the capacity ends it", [0x61, 0x62, 0x63, 0x64], 3, "abc"),
        ("ill-formed byte repaired", [0x61, 0xFF, 0x62, 0x00], 4, "a\u{FFFD}b"),
        ("sequence cut by the capacity", [0x61, 0xE2, 0x82, 0xAC], 3, "a\u{FFFD}"),
        ("empty buffer", [0x00], 1, ""),
    ] as [(String, [UInt8], Int, String)])
    func textResultsDecodeAtMostTheBuffer(_ name: String, bytes: [UInt8], capacity: Int,
                                          text: String) {
        let decoded = bytes.map { CChar(bitPattern: $0) }.withUnsafeBufferPointer {
            decodedText($0.baseAddress, capacity: capacity)
        }
        #expect(decoded == text, "\(name)")
    }
}
